// SIMD forms of the 32-bit row loops without a mask, written once over the
// vector operations of simd_ops.h (4 pixels a step with SSE2, 8 with AVX2).
// Every result equals the one-pixel rules bit for bit. Each pixel is split
// into two words of 16-bit lanes, blue and red (s & 0x00FF00FF) and green
// and byte 3 (the 16-bit lanes of s shifted right 8); the weights of the byte-3 lane are 0,
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
  // (Copies of whole rows are block copies.)
  if (V.masked || (IsCopy(V) && (V.src == BlitSource::Palette || !V.trans))) return false;
  if (V.src == BlitSource::Alpha) return !IgnoresAlpha(V);
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
  Vec alphaFull;   // 255
  Vec paramWide;   // the parameter shifted left 8: the weight of alpha 255
  Vec weightFull;  // 256
  // ceil(parameter * 65536 / 255) (parameters below 255): the high half of
  // its product with a channel of up to 255 is the channel's table share,
  // floor(channel * parameter / 255). 0 in the byte-3 lane.
  Vec shareRB, shareGA;
  // The brightness as share weights (below 255 in every channel only).
  Vec brightShareRB, brightShareGA;
};

// Add and subtract rows of a source without alpha whose table share is a
// high product when the parameter is below 255.
template <BlitVariant V>
constexpr bool HasShareProduct() {
  return IsMode(V, 2, 3) && V.src != BlitSource::Alpha && !AddFormB32(V);
}
// Brightened copies of a source without alpha whose brightness is a high
// product when every channel's is below 255.
template <BlitVariant V>
constexpr bool HasBrightProduct() {
  return V.mode == 0 && !V.white && V.src != BlitSource::Alpha;
}

// ceil(v * 65536 / 255) for v below 255 (0 otherwise): the high half of its
// product with a channel of up to 255 is floor(channel * v / 255).
constexpr uint32_t ShareWeight(uint32_t v) { return v < 255 ? (v * 65536 + 254) / 255 : 0; }

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
  k.alphaFull = Ops::Set32(255);
  k.paramWide = Ops::Set32(p << 8);
  k.weightFull = Ops::Set32(256);
  k.shareRB = Ops::Set32(ShareWeight(p) | ShareWeight(p) << 16);
  k.shareGA = Ops::Set32(ShareWeight(p));
  k.brightShareRB = Ops::Set32(ShareWeight(c.bright[0]) | ShareWeight(c.bright[2]) << 16);
  k.brightShareGA = Ops::Set32(ShareWeight(c.bright[1]));
  return k;
}

template <class Ops, class Vec = typename Ops::V>
inline Vec SimdKeepByte3(Vec r, Vec d, const Simd32Consts<Ops>& k) {
  return Ops::Or(Ops::And(r, k.low24), Ops::And(d, k.high8));
}

// The guard-bit add as the byte-wise saturating add of the masked operands
// OR-ed with their word-wide add. A channel that saturates is 255 in the
// first, whatever the second holds there; one that does not has the same
// sum in both, and the word-wide add puts the carry of the channel below in
// its lowest bit (the masked sums of green and red are even), and red's
// carry in byte 3 (0 in the first). dMask is the mask of d: 0x00FEFEFF, or
// all ones for a pixel whose term is 0 and which keeps the destination whole
// (both adds then give d).
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormB32(Vec d, Vec t, Vec dMask) {
  const Vec m = Ops::Set32(0x00FEFEFF);
  const Vec dm = Ops::And(d, dMask), tm = Ops::And(t, m);
  return Ops::Or(Ops::AddSatU8(dm, tm), Ops::Add32(dm, tm));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormB32(Vec d, Vec t) {
  return SimdAddFormB32<Ops>(d, t, Ops::Set32(0x00FEFEFF));
}
// Form A of a term whose byte 3 may hold anything.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormA32(Vec d, Vec t, Vec dMask) {
  return Ops::Or(SimdAddFormB32<Ops>(d, t, dMask), Ops::And(Ops::Or(d, t), Ops::Set32(0x00010100)));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormA32(Vec d, Vec t) {
  return SimdAddFormA32<Ops>(d, t, Ops::Set32(0x00FEFEFF));
}
// Form A of a term whose byte 3 is 0: the saturating add takes the whole
// term, which gives each green and red sum the term's lowest bit without a
// carry (the sum of the upper seven bits is even, or saturates); the word-wide
// add takes it masked, and the destination's lowest bits are OR-ed in.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormA32Clean(Vec d, Vec t, Vec dMask) {
  const Vec dm = Ops::And(d, dMask);
  return Ops::Or(Ops::Or(Ops::AddSatU8(dm, t), Ops::Add32(dm, Ops::And(t, Ops::Set32(0x00FEFEFF)))),
                 Ops::And(d, Ops::Set32(0x00010100)));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAddFormA32Clean(Vec d, Vec t) {
  return SimdAddFormA32Clean<Ops>(d, t, Ops::Set32(0x00FEFEFF));
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
// that half; with ShareProduct the parameter lanes (the bright lanes, for a
// brightened copy) hold the share weights.
template <BlitVariant V, class Ops, bool ShareProduct = false, class Vec = typename Ops::V>
inline Vec CombineHalf(Vec s, Vec d, Vec bright, Vec weight, Vec param, const Simd32Consts<Ops>& k) {
  if constexpr (V.mode == 0 && ShareProduct) {
    static_assert(HasBrightProduct<V>());
    return Ops::MulHiU16(s, bright);  // bright holds the share weights
  }
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
    if constexpr (ShareProduct)
      return Ops::MulHiU16(x, param);
    else
      return SimdDiv255<Ops>(Ops::MulLo16(x, param));
  } else {
    return Ops::template Srl16<8>(Ops::MulLo16(x, d));
  }
}

// The add of a white source with alpha a at parameter 255 under trans, for
// 128-bit vectors: the term floor(x * a * 255 / 65536), or x itself at
// alpha 255, with byte 3 kept 0, so that the term enters the guard-bit add
// whole (SimdAddFormA32Clean); alpha 0 leaves the destination whole.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAlphaAddFull(Vec s, Vec d, const Simd32Consts<Ops>& k) {
  const Vec xGA = Ops::template Srl16<8>(s);
  // a * 255 in the low half of each lane and 0 in the high (byte 3's lane
  // takes no term), then in both halves for blue and red.
  const Vec wGA = Ops::MAdd16(xGA, Ops::Set32(255u << 16));
  const Vec wRB = Ops::DupLow16(wGA);
  const Vec tG = Ops::template Sll16<8>(Ops::MulHiU16(xGA, wGA));
  // Bytes 0 to 2 all ones where a * 255 is 0xFE01 (alpha 255; byte 3 of the
  // weights never reaches 0xFF): there the larger of each byte and the
  // source's is the source's, floor(x * 255 * 255 / 65536) being at most x.
  const Vec opaque = Ops::And(s, Ops::CmpEq8(wRB, Ops::Set32(0xFF01FE01u)));
  const Vec t = Ops::MaxU8(Ops::Or(Ops::MulHiU16(Ops::And(s, k.lowBytes), wRB), tG), opaque);
  const Vec clear = Ops::CmpEq32(wGA, Ops::Zero());
  return SimdAddFormA32Clean<Ops>(d, t, Ops::Or(clear, Ops::Set32(0x00FEFEFF)));
}

// Blend modes other than the copy from a source with alpha a: weights of
// up to 16 bits in the low 16-bit lane of each pixel (0 in byte 3's lane).
// Under trans, alpha 255 draws as a source without alpha: the weight of the
// one-factor rules (the parameter times 256, or 256 for the multiply), and
// the add and subtract take the parameter's table share; alpha 0 leaves the
// pixel in the modes that skip it.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec CombineAlpha32Vec(Vec s, Vec d, const Simd32Consts<Ops>& k) {
  const Vec a = Ops::template Srl32<24>(s);
  Vec full = Ops::Zero();
  if constexpr (V.trans) full = Ops::CmpEq32(a, k.alphaFull);
  const Vec sRB = Ops::And(s, k.lowBytes), sGA = Ops::template Srl16<8>(s);
  const Vec dRB = Ops::And(d, k.lowBytes), dGA = Ops::template Srl16<8>(d);
  const Vec xRB = SourceHalf<V, Ops>(sRB, k.brightRB, k), xGA = SourceHalf<V, Ops>(sGA, k.brightGA, k);
  Vec r;
  if constexpr (V.mode == 4) {
    Vec w = a;
    if constexpr (V.trans) w = SimdSelect<Ops>(full, k.weightFull, w);
    const Vec wRB = Ops::Or(w, Ops::template Sll32<16>(w));
    const Vec rb = Ops::MulHiU16(Ops::MulLo16(dRB, xRB), wRB);
    const Vec ga = Ops::MulHiU16(Ops::MulLo16(dGA, xGA), w);
    r = SimdKeepByte3<Ops>(Ops::Or(rb, Ops::template Sll16<8>(ga)), d, k);
  } else if constexpr (V.mode == 2 && V.trans && V.param == BlitParam::Full && V.white && Ops::kBytes == 16) {
    return SimdAlphaAddFull<Ops>(s, d, k);
  } else if constexpr (V.mode == 2 || V.mode == 3) {
    // The weight a * parameter in both 16-bit halves of a lane; the
    // product of the byte-3 half lands in byte 3 of the term, which the
    // add and subtract do not read.
    const Vec aPair = Ops::HighBytePair(s);
    // Under trans alpha 255 adds the source itself at parameter 255 when
    // white (x * 255 / 255), the parameter's table share otherwise. With
    // 128-bit vectors, where a select is three operations, the source's
    // pixels rather take the larger of each byte and the source's own:
    // floor(x * 255 * 255 / 65536) is at most x.
    constexpr bool sourceAtFull = V.trans && V.param == BlitParam::Full && V.white;
    constexpr bool sourceMax = sourceAtFull && Ops::kBytes == 16;
    const Vec w = Ops::MulLo16(aPair, k.paramRB);
    Vec t = Ops::Or(Ops::MulHiU16(xRB, w), Ops::template Sll16<8>(Ops::MulHiU16(xGA, w)));
    if constexpr (sourceMax) {
      const Vec opaque = Ops::CmpEq16(aPair, k.lowBytes);  // 255 in both halves
      t = Ops::MaxU8(t, Ops::And(s, opaque));
    } else if constexpr (V.trans) {
      const Vec allSet = Ops::CmpEq32(s, s);
      const Vec opaque = Ops::CmpEq32(Ops::template Sra32<24>(s), allSet);  // alpha 255
      if constexpr (sourceAtFull) {
        t = SimdSelect<Ops>(opaque, s, t);
      } else {
        const Vec shareRB = SimdDiv255<Ops>(Ops::MulLo16(xRB, k.paramRB));
        const Vec shareGA = SimdDiv255<Ops>(Ops::MulLo16(xGA, k.paramGA));
        t = SimdSelect<Ops>(opaque, Ops::Or(shareRB, Ops::template Sll16<8>(shareGA)), t);
      }
    }
    const Vec clear = Ops::CmpEq32(aPair, Ops::Zero());
    if constexpr (V.mode == 2) {
      // Alpha 0 adds a term of 0: under trans the destination's byte 3
      // is kept too, by adding to the whole destination pixel.
      if constexpr (V.trans)
        return SimdAddFormA32<Ops>(d, t, Ops::Or(clear, Ops::Set32(0x00FEFEFF)));
      else
        return SimdAddFormA32<Ops>(d, t);
    } else {
      r = SimdSub32<Ops>(d, t);
      if constexpr (V.trans) r = SimdSelect<Ops>(clear, d, r);
      return r;
    }
  } else {
    Vec w = Ops::MulLo16(a, k.paramGA);
    if constexpr (V.trans) w = SimdSelect<Ops>(full, k.paramWide, w);
    const Vec wRB = Ops::Or(w, Ops::template Sll32<16>(w));
    Vec mRB = xRB, mGA = xGA;
    if constexpr (V.mode == 11) {
      mRB = Ops::template Srl16<8>(Ops::MulLo16(xRB, dRB));
      mGA = Ops::template Srl16<8>(Ops::MulLo16(xGA, dGA));
    }
    const Vec rb = SimdMixWide16<Ops>(mRB, dRB, wRB), ga = SimdMixWide16<Ops>(mGA, dGA, w);
    r = Ops::Or(rb, Ops::template Sll16<8>(ga));
  }
  if constexpr (V.trans && SkipsAlphaZero32(V)) r = SimdSelect<Ops>(Ops::CmpEq32(a, Ops::Zero()), d, r);
  return r;
}

// A vector of source pixels (palette entries) over a vector of destination
// pixels; ShareProduct as for CombineHalf.
template <BlitVariant V, class Ops, bool ShareProduct = false, class Vec = typename Ops::V>
inline Vec Combine32Vec(Vec s, Vec d, const Simd32Consts<Ops>& k) {
  if constexpr (V.mode == 0 && V.white && V.src != BlitSource::Alpha) {
    return s;
  } else if constexpr (HalfSum32(V)) {
    const Vec m = Ops::Set32(0x007F7F7F);
    return Ops::Add32(Ops::And(Ops::template Srl32<1>(s), m), Ops::And(Ops::template Srl32<1>(d), m));
  } else if constexpr (AddFormB32(V)) {
    return SimdAddFormB32<Ops>(d, s);  // (the add masks byte 3 of the term off)
  } else if constexpr (V.src == BlitSource::Alpha && V.mode != 0) {
    return CombineAlpha32Vec<V, Ops>(s, d, k);
  } else {
    const Vec sRB = Ops::And(s, k.lowBytes), sGA = Ops::template Srl16<8>(s);
    const Vec dRB = Ops::And(d, k.lowBytes), dGA = Ops::template Srl16<8>(d);
    Vec weightRB = k.weightRB, weightGA = k.weightGA;
    if constexpr (V.src == BlitSource::Alpha) {
      weightGA = Ops::template Sll32<1>(Ops::template Srl32<24>(s));  // 2a; 0 in the byte-3 lane
      weightRB = Ops::Or(weightGA, Ops::template Sll32<16>(weightGA));
    }
    const Vec paramRB = ShareProduct ? k.shareRB : k.paramRB, paramGA = ShareProduct ? k.shareGA : k.paramGA;
    constexpr bool brightShare = ShareProduct && V.mode == 0;
    const Vec brightRB = brightShare ? k.brightShareRB : k.brightRB;
    const Vec brightGA = brightShare ? k.brightShareGA : k.brightGA;
    const Vec rb = CombineHalf<V, Ops, ShareProduct>(sRB, dRB, brightRB, weightRB, paramRB, k);
    const Vec ga = CombineHalf<V, Ops, ShareProduct>(sGA, dGA, brightGA, weightGA, paramGA, k);
    const Vec r = Ops::Or(rb, Ops::template Sll16<8>(ga));
    // (The add and subtract shares have 0 in byte 3: its parameter lane is 0.)
    if constexpr (V.mode == 2) {
      return SimdAddFormA32Clean<Ops>(d, r);
    } else if constexpr (V.mode == 3) {
      return SimdSub32<Ops>(d, r);
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
    } else if constexpr (V.mode == 0) {
      // Byte 3's lane holds the destination's byte 3 after the alpha mix
      // (weight 0) and 0 after the brightness (its brightness lane is 0).
      if constexpr (V.src == BlitSource::Alpha)
        return r;
      else
        return Ops::Or(r, Ops::And(d, k.high8));
    } else if constexpr (V.mode == 4) {
      return SimdKeepByte3<Ops>(r, d, k);
    } else {
      return r;
    }
  }
}

// One vector of pixels. A keyed source passes over a vector without a pixel
// to draw, and a copy stores only the pixels drawn; an alpha source passes
// over a vector that alpha 0 leaves alone, and its white copy stores an
// opaque vector whole.
template <BlitVariant V, class Ops, bool ShareProduct = false>
inline void SimdStep32(uint8_t* out, const uint8_t* dst, const uint8_t* src, const BlendContext& c,
                       const Simd32Consts<Ops>& k) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / 4;
  Vec s;
  Vec transparent;
  if constexpr (V.src == BlitSource::Palette) {
    alignas(32) uint32_t entries[lanes], indices[lanes];
    for (int32_t j = 0; j < lanes; ++j) {
      indices[j] = src[j];
      std::memcpy(&entries[j], c.palette + 4 * indices[j], 4);
    }
    s = Ops::Load(entries);
    if constexpr (V.trans) transparent = Ops::CmpEq32(Ops::Load(indices), k.key);
  } else {
    s = Ops::Load(src);
    if constexpr (V.trans && V.src == BlitSource::Plain) transparent = Ops::CmpEq32(s, k.key);
  }
  constexpr bool copies = V.mode == 0 && V.white && V.src != BlitSource::Alpha;
  if constexpr (V.trans && V.src != BlitSource::Alpha) {
    const uint32_t bits = Ops::MoveMask8(transparent);
    if (bits == Ops::kAllBytes) return;
    if constexpr (copies) {
      if (bits == 0) {
        Ops::Store(out, s);
        return;
      }
    }
  }
  if constexpr (V.src == BlitSource::Alpha && V.trans) {
    // The top bits of the alphas first: all clear or all set leaves the
    // exact test to a few vectors.
    const uint32_t top = Ops::MoveMask32(s);
    if constexpr (SkipsAlphaZero32(V)) {
      if (top == 0 && Ops::MoveMask8(Ops::CmpEq32(Ops::And(s, k.high8), Ops::Zero())) == Ops::kAllBytes) return;
    }
    if constexpr (V.mode == 0 && V.white) {
      if (top == Ops::kAllLanes && Ops::MoveMask8(Ops::CmpEq32(Ops::And(s, k.high8), k.high8)) == Ops::kAllBytes) {
        Ops::Store(out, s);
        return;
      }
    }
  }
  const Vec d = Ops::Load(dst);
  Vec r = Combine32Vec<V, Ops, ShareProduct>(s, d, k);
  if constexpr (V.trans && V.src != BlitSource::Alpha) r = SimdSelect<Ops>(transparent, d, r);
  Ops::Store(out, r);
}

// Draws rows of n pixels a vector at a time (SimdRows).
template <BlitVariant V, class Ops>
inline void SimdRect32(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n,
                       int32_t rows, const BlendContext& c) {
  const Simd32Consts<Ops> k = MakeSimd32Consts<V, Ops>(c);
  auto run = [&]<bool ShareProduct>() {
    SimdRows<Ops, 4, BlitSourceBytes(V.src, true)>(dst, dstPitch, src, srcPitch, n, rows,
                                                   [&](uint8_t* out, const uint8_t* d, const uint8_t* s) {
                                                     SimdStep32<V, Ops, ShareProduct>(out, d, s, c, k);
                                                   });
  };
  if constexpr (HasShareProduct<V>() || HasBrightProduct<V>()) {
    if (HasShareProduct<V>() ? c.param < 255 : c.bright[0] < 255 && c.bright[1] < 255 && c.bright[2] < 255)
      return run.template operator()<true>();
  }
  run.template operator()<false>();
}

}  // namespace blit_detail
