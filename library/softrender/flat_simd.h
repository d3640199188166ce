// Vector forms of the flat-colour runs, written once over the vector
// operations of simd_ops.h. Each returns how many of the first pixels of the
// run it drew, a whole vector at a time; the results equal the one-pixel
// rules bit for bit.
//
// 32-bit pixels are split into two words of 16-bit lanes, blue and red
// (d & 0x00FF00FF) and green and byte 3 (d >> 8 per 16-bit lane). Alpha and
// multiply are then one lane product each: (d * f + g) with f, g per lane
// constants, never above 255 * 256; blue and red take the high byte of the
// lane, green and byte 3 keep the lane's high byte in place. The byte-3 lane
// has f = 256 and g = 0, so it keeps the destination's byte 3.
// Only the vector operations are used here, so the file can be compiled for
// several instruction sets in one program.
#pragma once

#include <cstdint>

#include "library/softrender/blit_simd32.h"
#include "library/softrender/flat_color.h"
#include "library/softrender/simd_ops.h"

namespace flat_detail {

// Runs of at least this many bytes are filled by the string store, which
// then writes faster than vector stores; shorter ones, the rows of a box
// as wide as a screen among them, are quicker with vector stores.
constexpr int32_t kFlatStringFillBytes = 8192;

// The copy rule: a first vector where the run starts, then vectors from
// the first vector-aligned address on (four a pass), and a last vector
// ending where the run ends (the overlapping pixels get the same colour
// again). A long run is the string store from the first 64-byte boundary on.
template <class Ops, int32_t Bytes>
inline int32_t FlatCopySimd(uint8_t* dst, int32_t n, typename Ops::V c, uint32_t colour) {
  constexpr int32_t lanes = Ops::kBytes / Bytes;
  if (n < lanes) return 0;
  const uintptr_t address = reinterpret_cast<uintptr_t>(dst);
  if (n >= kFlatStringFillBytes / Bytes) {
    int32_t head = 0;
    if (address % Bytes == 0) {
      head = static_cast<int32_t>((64 - (address & 63)) & 63) / Bytes;
      for (int32_t i = 0; i < head; i += lanes) Ops::Store(dst + Bytes * i, c);
    }
    void* at = dst + Bytes * head;
    size_t count = static_cast<size_t>(n - head);
    if constexpr (Bytes == 4)
      asm volatile("rep stosl" : "+D"(at), "+c"(count) : "a"(colour) : "memory");
    else
      asm volatile("rep stosw" : "+D"(at), "+c"(count) : "a"(static_cast<uint16_t>(colour)) : "memory");
    return n;
  }
  Ops::Store(dst, c);
  const uintptr_t misaligned = address & (Ops::kBytes - 1);
  int32_t i = misaligned % Bytes == 0 ? static_cast<int32_t>((Ops::kBytes - misaligned) & (Ops::kBytes - 1)) / Bytes
                                      : lanes;
  for (; i + 4 * lanes <= n; i += 4 * lanes) {
    Ops::Store(dst + Bytes * i, c);
    Ops::Store(dst + Bytes * (i + lanes), c);
    Ops::Store(dst + Bytes * (i + 2 * lanes), c);
    Ops::Store(dst + Bytes * (i + 3 * lanes), c);
  }
  for (; i + lanes <= n; i += lanes) Ops::Store(dst + Bytes * i, c);
  Ops::Store(dst + Bytes * (n - lanes), c);
  return n;
}

template <FlatRule R, class Ops>
inline int32_t FlatSpanSimd32(uint8_t* dst, int32_t n, const FlatColor& f) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / 4;
  int32_t i = 0;
  if constexpr (R == FlatRule::Copy) {
    return FlatCopySimd<Ops, 4>(dst, n, Ops::Set32(f.colour), f.colour);
  } else if constexpr (R == FlatRule::Add || R == FlatRule::Subtract) {
    const Vec t = Ops::Set32(f.term);
    for (; i + lanes <= n; i += lanes) {
      const Vec d = Ops::Load(dst + 4 * i);
      if constexpr (R == FlatRule::Add)
        Ops::Store(dst + 4 * i, blit_detail::SimdAddFormA32Clean<Ops>(d, t));
      else
        Ops::Store(dst + 4 * i, blit_detail::SimdSub32<Ops>(d, t));
    }
  } else {
    const uint32_t b = f.colour & 0xFF, g = (f.colour >> 8) & 0xFF, r = (f.colour >> 16) & 0xFF;
    const uint32_t k = f.param, keep = 256 - k;
    const Vec lowBytes = Ops::Set32(0x00FF00FF), highBytes = Ops::Set32(0xFF00FF00u);
    // Per-lane factors of the destination and the added terms.
    Vec fRB, fGA, gRB, gGA, cRB, cG, kRB, kGA;
    if constexpr (R == FlatRule::Alpha) {
      fRB = Ops::Set32(keep | keep << 16);
      fGA = Ops::Set32(keep | 256u << 16);
      gRB = Ops::Set32(b * k | (r * k) << 16);
      gGA = Ops::Set32(g * k);
    } else if constexpr (R == FlatRule::Multiply) {
      fRB = Ops::Set32(b | r << 16);
      fGA = Ops::Set32(g | 256u << 16);
    } else {
      fRB = Ops::Set32(keep | keep << 16);
      fGA = Ops::Set32(keep | 256u << 16);
      cRB = Ops::Set32(b | r << 16);
      cG = Ops::Set32(g);
      kRB = Ops::Set32(k | k << 16);
      kGA = Ops::Set32(k);
    }
    for (; i + lanes <= n; i += lanes) {
      const Vec d = Ops::Load(dst + 4 * i);
      const Vec dRB = Ops::And(d, lowBytes);
      const Vec dGA = Ops::template Srl16<8>(d);
      Vec rb = Ops::MulLo16(dRB, fRB), ga = Ops::MulLo16(dGA, fGA);
      if constexpr (R == FlatRule::Alpha) {
        rb = Ops::Add16(rb, gRB);
        ga = Ops::Add16(ga, gGA);
      } else if constexpr (R == FlatRule::MultiplyAlpha) {
        const Vec mRB = Ops::template Srl16<8>(Ops::MulLo16(dRB, cRB));
        const Vec mGA = Ops::template Srl16<8>(Ops::MulLo16(dGA, cG));
        rb = Ops::Add16(rb, Ops::MulLo16(mRB, kRB));
        ga = Ops::Add16(ga, Ops::MulLo16(mGA, kGA));
      }
      Ops::Store(dst + 4 * i, Ops::Or(Ops::template Srl16<8>(rb), Ops::And(ga, highBytes)));
    }
  }
  return i;
}

// 16-bit runs: the copy, and alpha (the translucent boxes of windows and
// panels). Alpha is d + (s - d) * p / 255 per channel, truncated towards
// zero as the difference table holds it: the product's magnitude is at most
// 63 * 255, where its quotient by 255 is ((m + 1) * 257) >> 16, the high
// half of one lane product.
template <FlatRule R, class Ops>
inline int32_t FlatSpanSimd16(uint8_t* dst, int32_t n, const FlatColor& f) {
  using Vec = typename Ops::V;
  if constexpr (R == FlatRule::Copy) {
    return FlatCopySimd<Ops, 2>(dst, n, Ops::Set16(static_cast<uint16_t>(f.colour)), f.colour);
  } else if constexpr (R == FlatRule::Alpha) {
    constexpr int32_t lanes = Ops::kBytes / 2;
    const Vec sR = Ops::Set16(static_cast<uint16_t>((f.colour >> 11) & 31));
    const Vec sG = Ops::Set16(static_cast<uint16_t>((f.colour >> 5) & 63));
    const Vec sB = Ops::Set16(static_cast<uint16_t>(f.colour & 31));
    const Vec weight = Ops::Set16(static_cast<uint16_t>(f.param)), one = Ops::Set16(1), k257 = Ops::Set16(257);
    const Vec six = Ops::Set16(63), five = Ops::Set16(31);
    const auto channel = [&](Vec d, Vec s) {
      const Vec difference = Ops::Sub16(s, d);
      const Vec sign = Ops::template Sra16<15>(difference);
      const Vec magnitude = Ops::Sub16(Ops::Xor(difference, sign), sign);
      const Vec quotient = Ops::MulHiU16(Ops::Add16(Ops::MulLo16(magnitude, weight), one), k257);
      return Ops::Add16(d, Ops::Sub16(Ops::Xor(quotient, sign), sign));
    };
    int32_t i = 0;
    for (; i + lanes <= n; i += lanes) {
      const Vec d = Ops::Load(dst + 2 * i);
      const Vec r = channel(Ops::template Srl16<11>(d), sR);
      const Vec g = channel(Ops::And(Ops::template Srl16<5>(d), six), sG);
      const Vec b = channel(Ops::And(d, five), sB);
      Ops::Store(dst + 2 * i, Ops::Or(Ops::Or(Ops::template Sll16<11>(r), Ops::template Sll16<5>(g)), b));
    }
    return i;
  }
  return 0;
}

}  // namespace flat_detail
