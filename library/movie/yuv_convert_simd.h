// The vector loop of the YUV to RGB conversion, as a template over the
// vector operations of one instruction set (an Ops struct: SSE2 in
// yuv_tables.cpp, AVX2 and AVX-512 in files compiled for them).
//
// It gives the pixels of the tables exactly. Every table is linear
// (entry k = step * k + base), so a channel is
//   clamp[trunc((Y[y] + C) / 16384)] = clamp[floor((19070 y + C') / 16384)]
// with C' the sum of the chroma entries and the luma base: a sum below 0
// gives 0 either way, and the clamp is a saturation to 0..255. Scaled by 4,
// the sum's high 16 bits are that floor; the products come from
// multiply-adds of 16-bit pairs: 4 y by 19070 for the luma, 8 cb and 8 cr by
// a quarter of the chroma steps for the chroma (both fit in 16 bits).
//
// Within each 128-bit lane of a vector the loop works on whole pixel pairs
// that share a chroma pair: a lane's 16 luma bytes, its even and its odd
// pixels each against the chroma of the pair. Only the last step, which
// spreads the channel bytes to 32-bit pixels, crosses lanes: the channel
// bytes are first put in the order that makes each stored vector a run of
// consecutive pixels (Ops::ForStores).
#pragma once

#include <cstdint>

#include "library/movie/yuv_tables.h"

namespace yuvsimd {

constexpr int32_t kLumaStep4 = YuvYStep;  // times 4 y
constexpr int32_t kCbBStep8 = YuvCbBStep / 2;  // times 8 cb: 4 x 33062 cb
constexpr int32_t kCbGStep8 = YuvCbGStep / 2;
constexpr int32_t kCrGStep8 = YuvCrGStep / 2;
constexpr int32_t kCrRStep8 = YuvCrRStep / 2;
static_assert(YuvCbBStep % 2 == 0 && YuvCbGStep % 2 == 0 && YuvCrGStep % 2 == 0 && YuvCrRStep % 2 == 0,
              "the chroma steps halve exactly");
static_assert(kLumaStep4 < 32768 && kCbBStep8 < 32768 && kCrRStep8 < 32768 && kCbGStep8 >= -32768 &&
                  kCrGStep8 >= -32768,
              "the steps fit in 16 bits");
// The chroma sums' constant parts, times 4.
constexpr int32_t kBaseB = 4 * (YuvCbBBase + YuvYBase);
constexpr int32_t kBaseG = 4 * (YuvCbGBase + YuvCrGBase + YuvYBase);
constexpr int32_t kBaseR = 4 * (YuvCrRBase + YuvYBase);

// Two 16-bit words as one 32-bit lane: low first.
constexpr int32_t Pair(int32_t low, int32_t high) {
  return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFFu));
}

// Converts the first pixels of one or two luma rows that share a chroma row
// (row1 and out1 null for one row): as many as whole vectors of Ops::kPixels
// cover within width, which it returns. The luma rows start on an even
// column, the chroma rows at its chroma pair.
template <class Ops>
inline int32_t ConvertRows(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                           uint32_t* out0, uint32_t* out1, int32_t width) {
  using V = typename Ops::V;
  const V lumaEven = Ops::Set32(Pair(kLumaStep4, 0)), lumaOdd = Ops::Set32(Pair(0, kLumaStep4));
  const V stepB = Ops::Set32(Pair(kCbBStep8, 0)), stepG = Ops::Set32(Pair(kCbGStep8, kCrGStep8)),
          stepR = Ops::Set32(Pair(0, kCrRStep8));
  const V baseB = Ops::Set32(kBaseB), baseG = Ops::Set32(kBaseG), baseR = Ops::Set32(kBaseR);
  const V zero = Ops::Zero(), opaque = Ops::Set32(-1);
  // One row against the chroma sums of its first and second half-lanes.
  auto row = [&](const uint8_t* luma, uint32_t* out, V bA, V bB, V gA, V gB, V rA, V rB) {
    const V y = Ops::Load(luma);
    const V yA = Ops::Slli16(Ops::UnpackLo8(y, zero), 2), yB = Ops::Slli16(Ops::UnpackHi8(y, zero), 2);
    const V evenA = Ops::Madd16(yA, lumaEven), oddA = Ops::Madd16(yA, lumaOdd);
    const V evenB = Ops::Madd16(yB, lumaEven), oddB = Ops::Madd16(yB, lumaOdd);
    auto channel = [&](V cA, V cB) {
      const V a = Ops::HighWords(Ops::Add32(evenA, cA), Ops::Add32(oddA, cA));
      const V b = Ops::HighWords(Ops::Add32(evenB, cB), Ops::Add32(oddB, cB));
      return Ops::ForStores(Ops::PackUs16(a, b));
    };
    const V blue = channel(bA, bB), green = channel(gA, gB), red = channel(rA, rB);
    const V bg0 = Ops::UnpackLo8(blue, green), bg1 = Ops::UnpackHi8(blue, green);
    const V ra0 = Ops::UnpackLo8(red, opaque), ra1 = Ops::UnpackHi8(red, opaque);
    constexpr int32_t q = Ops::kPixels / 4;
    Ops::Store(out, Ops::UnpackLo16(bg0, ra0));
    Ops::Store(out + q, Ops::UnpackHi16(bg0, ra0));
    Ops::Store(out + 2 * q, Ops::UnpackLo16(bg1, ra1));
    Ops::Store(out + 3 * q, Ops::UnpackHi16(bg1, ra1));
  };
  const int32_t whole = width / Ops::kPixels * Ops::kPixels;
  for (int32_t i = 0; i < whole; i += Ops::kPixels) {
    const V u = Ops::Slli16(Ops::LoadWidenHalf(cb + i / 2), 3), v = Ops::Slli16(Ops::LoadWidenHalf(cr + i / 2), 3);
    const V uvA = Ops::UnpackLo16(u, v), uvB = Ops::UnpackHi16(u, v);
    const V bA = Ops::Add32(Ops::Madd16(uvA, stepB), baseB), bB = Ops::Add32(Ops::Madd16(uvB, stepB), baseB);
    const V gA = Ops::Add32(Ops::Madd16(uvA, stepG), baseG), gB = Ops::Add32(Ops::Madd16(uvB, stepG), baseG);
    const V rA = Ops::Add32(Ops::Madd16(uvA, stepR), baseR), rB = Ops::Add32(Ops::Madd16(uvB, stepR), baseR);
    row(row0 + i, out0 + i, bA, bB, gA, gB, rA, rB);
    if (row1 != nullptr) row(row1 + i, out1 + i, bA, bB, gA, gB, rA, rB);
  }
  return whole;
}

}  // namespace yuvsimd
