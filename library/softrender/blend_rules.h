// The per-pixel blend rules of the software renderer, shared by every pixel
// loop (blits, stretched and rotated blits, triangle spans, shapes): the
// weighted mix, the weighted share, the half-sum, the guard-bit add and
// subtract that saturate all channels of a pixel in one word, and the
// whole-pixel alpha and multiply of one colour over a pixel.
//
// 32-bit pixels are little-endian words, blue in byte 0, green in byte 1,
// red in byte 2, byte 3 alpha or nothing. 16-bit pixels are RGB565 (blue
// bits 0-4, green 5-10, red 11-15); the rules work on the raw 5- and 6-bit
// channel values.
#pragma once

#include <cstdint>
#include <cstring>

// Pixel loads and stores at any address.
inline uint32_t LoadPixel32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void StorePixel32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline uint32_t LoadPixel16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void StorePixel16(uint8_t* p, uint32_t v) {
  uint16_t w = static_cast<uint16_t>(v);
  std::memcpy(p, &w, 2);
}

// floor((d * 2^Shift + (x - d) * w) / 2^Shift): the channel moved from d
// toward x by the weight w (a product of one to three factors of 0..255,
// Shift = 8 per factor). Written as d * (2^Shift - w) + x * w, which never
// leaves 32 unsigned bits for channels up to 255.
template <int Shift>
inline uint32_t BlendMix(uint32_t x, uint32_t d, uint32_t w) {
  return (d * ((1u << Shift) - w) + x * w) >> Shift;
}

// floor(x * w / 2^Shift): the share of x that the add and subtract modes apply.
template <int Shift>
inline uint32_t BlendPart(uint32_t x, uint32_t w) {
  return (x * w) >> Shift;
}

// d + diffRow[x - d]: the division by 255 of the difference, truncated
// toward zero, so the result rounds toward d. diffRow points at the entry
// for difference 0 of a BlendDiffTable row.
inline uint32_t BlendDiff(const int32_t* diffRow, uint32_t x, uint32_t d) {
  return static_cast<uint32_t>(static_cast<int32_t>(d) +
                               diffRow[static_cast<int32_t>(x) - static_cast<int32_t>(d)]);
}

// ---- 32-bit pixels ----

// Each channel (s >> 1) + (d >> 1); byte 3 becomes 0.
inline uint32_t BlendHalfSum32(uint32_t s, uint32_t d) {
  return ((s >> 1) & 0x007F7F7Fu) + ((d >> 1) & 0x007F7F7Fu);
}

// Guard-bit add of the term t (byte 3 zero) to d. Blue saturates exactly;
// green and red add their upper seven bits and saturate there, their lowest
// bit taking the carry of the channel below; byte 3 takes red's carry.
// Form A also keeps the lowest bits of both operands in green and red.
inline uint32_t BlendAdd32B(uint32_t d, uint32_t t) {
  uint32_t u = (d & 0x00FEFEFFu) + (t & 0x00FEFEFFu);
  uint32_t q = u & 0x01010100u;
  return u | (q - (q >> 8));
}
inline uint32_t BlendAdd32A(uint32_t d, uint32_t t) { return BlendAdd32B(d, t) | ((d | t) & 0x00010100u); }

// Guard-bit subtract of the term t (byte 3 zero) from d; each channel stops
// at 0; green and red borrow through their lowest bit; byte 3 becomes 0.
inline uint32_t BlendSub32(uint32_t d, uint32_t t) {
  uint32_t v = (d | 0x01010100u) - (t & 0x00FEFEFFu);
  uint32_t k = v & 0x01010100u;
  return v & (k - (k >> 8));
}

// ---- 16-bit RGB565 pixels ----

// Half-sum of two pixel pairs (or of one pixel in the low half).
inline uint32_t BlendHalfSum16(uint32_t s, uint32_t d) {
  return ((s >> 1) & 0x7BEF7BEFu) + ((d >> 1) & 0x7BEF7BEFu);
}

// Guard-bit add of one pixel (form B, and form A keeping the operands'
// lowest green and red bits).
inline uint32_t BlendAdd16B(uint32_t d, uint32_t t) {
  uint32_t u = (d & 0xF7DFu) + (t & 0xF7DFu);
  uint32_t q = u & 0x10820u;
  return (u | (q - (q >> 5))) & 0xFFFFu;
}
inline uint32_t BlendAdd16A(uint32_t d, uint32_t t) { return BlendAdd16B(d, t) | ((d | t) & 0x0820u); }

// Guard-bit add of two adjacent pixels held in one word (left pixel low). The
// right pixel's blue adds only its upper four bits and takes the left red's
// carry as its lowest bit.
inline uint32_t BlendAdd16Pair(uint32_t d2, uint32_t s2) {
  uint64_t wide = static_cast<uint64_t>(d2 & 0xF7DEF7DFu) + (s2 & 0xF7DEF7DFu);
  uint32_t u = static_cast<uint32_t>(wide);
  uint32_t c = static_cast<uint32_t>(wide >> 32);
  uint32_t q = u & 0x08210820u;
  return u | (q - ((q >> 5) | (c << 27)));
}

// Guard-bit subtract of one pixel.
inline uint32_t BlendSub16(uint32_t d, uint32_t t) {
  uint32_t v = (d | 0x10820u) - (t & 0xF7DFu);
  uint32_t k = v & 0x10820u;
  return v & (k - (k >> 5)) & 0xFFFFu;
}

// Guard-bit subtract of two adjacent pixels held in one word.
inline uint32_t BlendSub16Pair(uint32_t d2, uint32_t s2) {
  uint32_t minuend = d2 | 0x08210820u;
  uint32_t subtrahend = s2 & 0xF7DEF7DFu;
  uint32_t v = minuend - subtrahend;
  uint32_t f = minuend >= subtrahend ? 0xF8000000u : 0u;
  uint32_t k = v & 0x08210820u;
  return v & ((k - (k >> 5)) | f);
}

// RGB565 channel fields and their packing.
inline uint32_t Red565(uint32_t c) { return (c >> 11) & 31; }
inline uint32_t Green565(uint32_t c) { return (c >> 5) & 63; }
inline uint32_t Blue565(uint32_t c) { return c & 31; }
inline uint32_t Pack565(uint32_t r, uint32_t g, uint32_t b) { return r << 11 | g << 5 | b; }

// ---- Whole-pixel forms of the channel rules ----

// Shift alpha on B, G and R: each channel floor((d * 256 + (s - d) * k) / 256),
// k in 0..256; byte 3 of d is kept. Blue and red share one word (no lane
// exceeds 255 * 256, so none carries into the next).
inline uint32_t BlendShiftAlpha32(uint32_t d, uint32_t s, uint32_t k) {
  const uint32_t rb = ((d & 0x00FF00FFu) * (256 - k) + (s & 0x00FF00FFu) * k) >> 8;
  const uint32_t g = ((d & 0x0000FF00u) * (256 - k) + (s & 0x0000FF00u) * k) >> 8;
  return (rb & 0x00FF00FFu) | (g & 0x0000FF00u) | (d & 0xFF000000u);
}

// Multiply on B, G and R: (d * s) >> 8 per channel; byte 3 of d is kept.
inline uint32_t BlendMultiply32(uint32_t d, uint32_t s) {
  const uint32_t b = ((d & 0xFF) * (s & 0xFF)) >> 8;
  const uint32_t g = (((d >> 8) & 0xFF) * ((s >> 8) & 0xFF)) >> 8;
  const uint32_t r = (((d >> 16) & 0xFF) * ((s >> 16) & 0xFF)) >> 8;
  return (d & 0xFF000000u) | r << 16 | g << 8 | b;
}

// Table alpha of RGB565 pixels: each channel d + diffRow[s - d].
inline uint32_t BlendTableAlpha16(uint32_t d, uint32_t s, const int32_t* diffRow) {
  return Pack565(BlendDiff(diffRow, Red565(s), Red565(d)), BlendDiff(diffRow, Green565(s), Green565(d)),
                 BlendDiff(diffRow, Blue565(s), Blue565(d)));
}

// Multiply of RGB565 pixels: (d * s) >> 5 for red and blue, >> 6 for green.
inline uint32_t BlendMultiply16(uint32_t d, uint32_t s) {
  return Pack565((Red565(d) * Red565(s)) >> 5, (Green565(d) * Green565(s)) >> 6,
                 (Blue565(d) * Blue565(s)) >> 5);
}
