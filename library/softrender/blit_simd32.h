// SIMD forms of the 32-bit row loops without a mask, written once over the
// vector operations of simd_ops.h (4 pixels a step with SSE2, 8 with AVX2).
// Every result equals the one-pixel rules bit for bit. Each pixel is split
// into two words of 16-bit lanes, blue and red (s & 0x00FF00FF) and green
// and byte 3 ((s >> 8) & 0x00FF00FF); the weights of the byte-3 lane are 0,
// so that lane keeps the destination's byte 3.
// The mix and the division by 255 are those of simd_ops.h.
// Only the vector operations and the built-in memcpy are used here, so the
// file can be compiled for several instruction sets in one program.
#pragma once

#include <cstring>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/simd_ops.h"

namespace blit_detail {

template <BlitVariant V>
constexpr bool HasSimd32() {
  if (V.masked || (IsCopy(V) && V.src == BlitSource::Palette)) return false;
  if (V.src == BlitSource::Alpha) return V.mode == 0 && !IgnoresAlpha(V);
  return true;
}

template <class Ops>
struct Simd32Consts {
  using Vec = typename Ops::V;
  Vec lowBytes;            // 0x00FF00FF
  Vec weightRB, weightGA;  // the parameter shifted left 1; 0 in the byte-3 lane
  Vec paramRB, paramGA;    // the parameter; 0 in the byte-3 lane
  Vec brightRB, brightGA;  // blue and red; green and 0
  Vec key, low24, high8;
};

template <BlitVariant V, class Ops>
inline Simd32Consts<Ops> MakeSimd32Consts(const BlendContext& c) {
  Simd32Consts<Ops> k;
  const uint32_t p = static_cast<uint32_t>(c.param);
  k.lowBytes = Ops::Set32(0x00FF00FF);
  k.weightRB = Ops::Set32(p << 1 | p << 17);
  k.weightGA = Ops::Set32(p << 1);
  k.paramRB = Ops::Set32(p | p << 16);
  k.paramGA = Ops::Set32(p);
  k.brightRB = Ops::Set32(c.bright[0] | static_cast<uint32_t>(c.bright[2]) << 16);
  k.brightGA = Ops::Set32(c.bright[1]);
  uint32_t key = c.transColor;
  if constexpr (V.src == BlitSource::Palette) key = KeyLowByte32(V) ? (c.transWide & 0xFF) : c.transColor;
  k.key = Ops::Set32(key);
  k.low24 = Ops::Set32(0x00FFFFFF);
  k.high8 = Ops::Set32(0xFF000000u);
  return k;
}

template <class Ops, class Vec = typename Ops::V>
inline Vec SimdKeepByte3(Vec r, Vec d, const Simd32Consts<Ops>& k) {
  return Ops::Or(Ops::And(r, k.low24), Ops::And(d, k.high8));
}

template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormB32(Vec d, Vec t) {
  const Vec m = Ops::Set32(0x00FEFEFF);
  const Vec u = Ops::Add32(Ops::And(d, m), Ops::And(t, m));
  const Vec q = Ops::And(u, Ops::Set32(0x01010100));
  return Ops::Or(u, Ops::Sub32(q, Ops::template Srl32<8>(q)));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormA32(Vec d, Vec t) {
  return Ops::Or(SimdAddFormB32<Ops>(d, t), Ops::And(Ops::Or(d, t), Ops::Set32(0x00010100)));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdSub32(Vec d, Vec t) {
  const Vec v = Ops::Sub32(Ops::Or(d, Ops::Set32(0x01010100)), Ops::And(t, Ops::Set32(0x00FEFEFF)));
  const Vec q = Ops::And(v, Ops::Set32(0x01010100));
  return Ops::And(v, Ops::Sub32(q, Ops::template Srl32<8>(q)));
}

// The source value entering the blend, on one half.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec SourceHalf(Vec s, Vec bright, const Simd32Consts<Ops>& k) {
  if constexpr (V.mode == 10) s = Ops::Xor(s, k.lowBytes);
  if constexpr (!V.white) s = SimdDiv255<Ops>(Ops::MulLo16(s, bright));
  return s;
}

// One half: s and d split, the bright, weight (2w) and parameter lanes of
// that half.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec CombineHalf(Vec s, Vec d, Vec bright, Vec weight, Vec param, const Simd32Consts<Ops>& k) {
  const Vec x = SourceHalf<V, Ops>(s, bright, k);
  if constexpr (V.mode == 0) {
    if constexpr (V.src == BlitSource::Alpha)
      return SimdMix16<Ops>(x, d, weight);
    else
      return x;
  } else if constexpr (V.mode == 1 || V.mode == 10) {
    return SimdMix16<Ops>(x, d, weight);
  } else if constexpr (V.mode == 11) {
    return SimdMix16<Ops>(Ops::template Srl16<8>(Ops::MulLo16(x, d)), d, weight);
  } else if constexpr (V.mode == 2 || V.mode == 3) {
    return SimdDiv255<Ops>(Ops::MulLo16(x, param));
  } else {
    return Ops::template Srl16<8>(Ops::MulLo16(x, d));
  }
}

// A vector of source pixels (palette entries) over a vector of destination pixels.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec Combine32Vec(Vec s, Vec d, const Simd32Consts<Ops>& k) {
  if constexpr (V.mode == 0 && V.white && V.src != BlitSource::Alpha) {
    return s;
  } else if constexpr (HalfSum32(V)) {
    const Vec m = Ops::Set32(0x007F7F7F);
    return Ops::Add32(Ops::And(Ops::template Srl32<1>(s), m), Ops::And(Ops::template Srl32<1>(d), m));
  } else if constexpr (AddFormB32(V)) {
    return SimdAddFormB32<Ops>(d, Ops::And(s, k.low24));
  } else {
    const Vec sRB = Ops::And(s, k.lowBytes), sGA = Ops::And(Ops::template Srl16<8>(s), k.lowBytes);
    const Vec dRB = Ops::And(d, k.lowBytes), dGA = Ops::And(Ops::template Srl16<8>(d), k.lowBytes);
    Vec weightRB = k.weightRB, weightGA = k.weightGA;
    if constexpr (V.src == BlitSource::Alpha) {
      weightGA = Ops::template Sll32<1>(Ops::template Srl32<24>(s));  // 2a; 0 in the byte-3 lane
      weightRB = Ops::Or(weightGA, Ops::template Sll32<16>(weightGA));
    }
    const Vec rb = CombineHalf<V, Ops>(sRB, dRB, k.brightRB, weightRB, k.paramRB, k);
    const Vec ga = CombineHalf<V, Ops>(sGA, dGA, k.brightGA, weightGA, k.paramGA, k);
    const Vec r = Ops::Or(rb, Ops::template Sll16<8>(ga));
    if constexpr (V.mode == 2) {
      return SimdAddFormA32<Ops>(d, Ops::And(r, k.low24));
    } else if constexpr (V.mode == 3) {
      return SimdSub32<Ops>(d, Ops::And(r, k.low24));
    } else if constexpr (V.src == BlitSource::Alpha && V.trans) {
      // Alpha 255 takes the unweighted copy: the pixel whole when white, the
      // scaled channels otherwise. (Alpha 0 mixes to the destination.)
      const Vec full = Ops::CmpEq32(Ops::And(s, k.high8), k.high8);
      Vec unweighted = s;
      if constexpr (!V.white) {
        unweighted = Ops::Or(SourceHalf<V, Ops>(sRB, k.brightRB, k),
                             Ops::template Sll16<8>(SourceHalf<V, Ops>(sGA, k.brightGA, k)));
        unweighted = SimdKeepByte3<Ops>(unweighted, d, k);
      }
      return SimdSelect<Ops>(full, unweighted, r);
    } else if constexpr (V.mode == 0 || V.mode == 4) {
      return SimdKeepByte3<Ops>(r, d, k);
    } else {
      return r;
    }
  }
}

// Draws the first pixels of a row, a whole vector at a time; returns how many.
template <BlitVariant V, class Ops>
inline int32_t SimdRow32(uint8_t* dst, const uint8_t* src, int32_t n, const BlendContext& c) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / 4;
  const Simd32Consts<Ops> k = MakeSimd32Consts<V, Ops>(c);
  int32_t i = 0;
  for (; i + lanes <= n; i += lanes) {
    Vec s;
    Vec transparent;
    if constexpr (V.src == BlitSource::Palette) {
      alignas(32) uint32_t entries[lanes], indices[lanes];
      for (int32_t j = 0; j < lanes; ++j) {
        indices[j] = src[i + j];
        std::memcpy(&entries[j], c.palette + 4 * indices[j], 4);
      }
      s = Ops::Load(entries);
      if constexpr (V.trans) transparent = Ops::CmpEq32(Ops::Load(indices), k.key);
    } else {
      s = Ops::Load(src + 4 * i);
      if constexpr (V.trans && V.src == BlitSource::Plain) transparent = Ops::CmpEq32(s, k.key);
    }
    const Vec d = Ops::Load(dst + 4 * i);
    Vec r = Combine32Vec<V, Ops>(s, d, k);
    if constexpr (V.trans && V.src != BlitSource::Alpha) r = SimdSelect<Ops>(transparent, d, r);
    Ops::Store(dst + 4 * i, r);
  }
  return i;
}

}  // namespace blit_detail
