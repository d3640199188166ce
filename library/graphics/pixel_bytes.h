// Reading and writing pixel values of 1 to 4 little-endian bytes, for the
// image and conversion code of this folder.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

inline uint32_t ReadPixelBytes(const uint8_t* p, int32_t bytes) {
  uint32_t v = 0;
  for (int32_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

inline void WritePixelBytes(uint8_t* p, int32_t bytes, uint32_t v) {
  for (int32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The same for a size known at compile time, for the pixel loops (the
// processor's words are little-endian too).
template <int Bytes>
inline uint32_t LoadPixel(const uint8_t* p) {
  if constexpr (Bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    return ReadPixelBytes(p, Bytes);
  }
}

template <int Bytes>
inline void StorePixel(uint8_t* p, uint32_t v) {
  if constexpr (Bytes == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bytes == 4) {
    std::memcpy(p, &v, 4);
  } else {
    WritePixelBytes(p, Bytes, v);
  }
}

template <int N>
using PixelBytes = std::integral_constant<int, N>;

// Calls f with PixelBytes<2>, <3> or <4> for a size of 2, 3 or 4 bytes.
template <typename F>
inline void WithPixelBytes(int32_t bytes, F&& f) {
  switch (bytes) {
    case 2: f(PixelBytes<2>{}); break;
    case 3: f(PixelBytes<3>{}); break;
    default: f(PixelBytes<4>{}); break;
  }
}
