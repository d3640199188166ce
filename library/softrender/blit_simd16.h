// SIMD forms of the 16-bit row loops without a mask, written once over the
// vector operations of simd_ops.h (8 pixels a step with SSE2, 16 with AVX2):
// copies, the half-sum, the 6-bit blend, the blend through BlendDiffTable,
// and copies of alpha sources. Every result equals the one-pixel rules bit
// for bit; the channels are the raw 5- and 6-bit fields in 16-bit lanes:
//   /63:   floor(v / 63) = (v * 2081) >> 17 for v up to 63 * 63;
//   dmix:  d + trunc((x - d) * p / 255), the magnitude divided and the sign put back;
// the mix and the division by 255 are those of simd_ops.h.
// Only the vector operations and the built-in memcpy are used here, so the
// file can be compiled for several instruction sets in one program.
#pragma once

#include <cstring>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/simd_ops.h"

namespace blit_detail {

template <BlitVariant V>
constexpr bool HasSimd16() {
  // (Copies of whole rows are block copies.)
  if (V.masked || (IsCopy(V) && (V.src == BlitSource::Palette || (!V.trans && V.src == BlitSource::Plain))))
    return false;
  if (V.src == BlitSource::Alpha) return true;
  return V.mode == 0 || V.mode == 1 || V.mode == 10;
}

template <class Ops>
struct Simd16Consts {
  using Vec = typename Ops::V;
  Vec bright[3];  // red, green, blue
  Vec param, sixA, sixB;
  Vec key;
  bool keyOn;
};

template <BlitVariant V, class Ops>
inline Simd16Consts<Ops> MakeSimd16Consts(const BlendContext& c) {
  Simd16Consts<Ops> k;
  k.bright[0] = Ops::Set16(c.bright[2]);
  k.bright[1] = Ops::Set16(c.bright[1]);
  k.bright[2] = Ops::Set16(c.bright[0]);
  k.param = Ops::Set16(static_cast<uint16_t>(c.param));
  k.sixA = Ops::Set16(static_cast<uint16_t>(c.param / 4));
  k.sixB = Ops::Set16(static_cast<uint16_t>(63 - c.param / 4));
  // A key that no 16-bit value (or index) can equal makes nothing transparent.
  if constexpr (V.src == BlitSource::Palette) {
    const bool low = KeyLowByte16(V);
    k.key = Ops::Set16(static_cast<uint16_t>(low ? c.transWide & 0xFF : c.transColor));
    k.keyOn = low || c.transColor <= 0xFFFF;
  } else {
    k.key = Ops::Set16(static_cast<uint16_t>(c.transColor));
    k.keyOn = KeyLow16(V) || c.transColor <= 0xFFFF;
  }
  return k;
}

template <class Ops, class Vec = typename Ops::V>
inline Vec SimdDiv63(Vec v) {
  return Ops::template Srl16<1>(Ops::MulHiU16(v, Ops::Set16(2081)));
}

// The source field entering the blend (field 0 red, 1 green, 2 blue).
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec SourceField(Vec s, Vec max, int field, const Simd16Consts<Ops>& k) {
  if constexpr (V.mode == 10) s = Ops::Sub16(max, s);
  if constexpr (!V.white) s = SimdDiv255<Ops>(Ops::MulLo16(s, k.bright[field]));
  return s;
}

// d + trunc((x - d) * p / 255): the magnitude divided and the sign put back.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdDiffMix16(Vec x, Vec d, Vec p) {
  const Vec diff = Ops::Sub16(x, d);
  const Vec sign = Ops::template Sra16<15>(diff);
  const Vec magnitude = Ops::Sub16(Ops::Xor(diff, sign), sign);
  const Vec share = SimdDiv255<Ops>(Ops::MulLo16(magnitude, p));
  return Ops::Add16(d, Ops::Sub16(Ops::Xor(share, sign), sign));
}

// The guard-bit add (form A) and subtract of RGB565 terms t, on 16-bit lanes:
// the carry out of red (bit 16 of the wide sum) is the unsigned overflow of
// the lane, the subtract's red keeps its bits unless the lane borrows.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdAdd16A(Vec d, Vec t) {
  const Vec m = Ops::Set16(0xF7DF), carries = Ops::Set16(0x0820);
  const Vec dm = Ops::And(d, m), tm = Ops::And(t, m);
  const Vec u = Ops::Add16(dm, tm);
  const Vec noCarry = Ops::CmpEq16(Ops::AddSatU16(dm, tm), u);
  const Vec q = Ops::And(u, carries);
  const Vec b = Ops::Or(Ops::Or(u, Ops::Sub16(q, Ops::template Srl16<5>(q))), Ops::AndNot(noCarry, Ops::Set16(0xF800)));
  return Ops::Or(b, Ops::And(Ops::Or(d, t), carries));
}
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdSub16(Vec d, Vec t) {
  const Vec carries = Ops::Set16(0x0820);
  const Vec minuend = Ops::Or(d, carries), subtrahend = Ops::And(t, Ops::Set16(0xF7DF));
  const Vec v = Ops::Sub16(minuend, subtrahend);
  const Vec noBorrow = Ops::CmpEq16(Ops::SubSatU16(subtrahend, minuend), Ops::Zero());
  const Vec k = Ops::And(v, carries);
  return Ops::And(v, Ops::Or(Ops::Sub16(k, Ops::template Srl16<5>(k)), Ops::And(noBorrow, Ops::Set16(0xF800))));
}

// The blend modes other than the copy of a source with alpha a (16-bit
// lanes). Under trans, alpha 255 draws as a source without alpha
// (the table blend of the parameter; the multiply by 256); alpha 0 leaves
// the pixel in the modes that skip it.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec CombineAlpha16Vec(Vec s, Vec a, Vec d, const Simd16Consts<Ops>& k) {
  const Vec m5 = Ops::Set16(31), m6 = Ops::Set16(63);
  const Vec sf[3] = {Ops::template Srl16<11>(s), Ops::And(Ops::template Srl16<5>(s), m6), Ops::And(s, m5)};
  const Vec df[3] = {Ops::template Srl16<11>(d), Ops::And(Ops::template Srl16<5>(d), m6), Ops::And(d, m5)};
  Vec full = Ops::Zero();
  if constexpr (V.trans) full = Ops::CmpEq16(a, Ops::Set16(255));
  if constexpr (V.mode == 2 || V.mode == 3) {
    // Each field's share (s a) >> 8, brightened, then the parameter's table
    // share of it; at alpha 255 under trans the brightened field's.
    Vec t[3];
    for (int f = 0; f < 3; ++f) {
      Vec y = Ops::template Srl16<8>(Ops::MulLo16(sf[f], a));
      if constexpr (!V.white) y = SimdDiv255<Ops>(Ops::MulLo16(y, k.bright[f]));
      if constexpr (V.trans) y = SimdSelect<Ops>(full, SourceField<V, Ops>(sf[f], f == 1 ? m6 : m5, f, k), y);
      t[f] = SimdDiv255<Ops>(Ops::MulLo16(y, k.param));
    }
    const Vec term = Ops::Or(Ops::Or(Ops::template Sll16<11>(t[0]), Ops::template Sll16<5>(t[1])), t[2]);
    Vec r = V.mode == 2 ? SimdAdd16A<Ops>(d, term) : SimdSub16<Ops>(d, term);
    if constexpr (V.trans) r = SimdSelect<Ops>(Ops::CmpEq16(a, Ops::Zero()), d, r);
    return r;
  }
  const Vec ap = Ops::MulLo16(a, k.param);  // up to 65025: unsigned
  Vec out[3];
  for (int f = 0; f < 3; ++f) {
    const Vec x = SourceField<V, Ops>(sf[f], f == 1 ? m6 : m5, f, k);
    Vec r;
    if constexpr (V.mode == 4) {
      // (d x a) >> (bits + 8), and (d x) >> bits at alpha 255 under trans.
      const Vec w = V.trans ? SimdSelect<Ops>(full, Ops::Set16(256), a) : a;
      const Vec product = Ops::MulLo16(df[f], x);
      r = Ops::MulHiU16(f == 1 ? Ops::template Sll16<2>(product) : Ops::template Sll16<3>(product), w);
    } else {
      Vec m = x;
      if constexpr (V.mode == 11) {
        const Vec product = Ops::MulLo16(x, df[f]);
        m = f == 1 ? Ops::template Srl16<6>(product) : Ops::template Srl16<5>(product);
      }
      if constexpr (V.mode == 11 && V.white) {
        if (f == 1) {  // green from the product with five more bits
          const Vec diff = Ops::Sub16(Ops::template Srl16<1>(Ops::MulLo16(x, df[f])), Ops::template Sll16<5>(df[f]));
          const Vec high = Ops::Add16(Ops::MulHi16(diff, ap), Ops::And(diff, Ops::template Sra16<15>(ap)));
          r = Ops::Add16(df[f], Ops::template Sra16<5>(high));
        } else {
          r = SimdMixWide16<Ops>(m, df[f], ap);
        }
      } else {
        r = SimdMixWide16<Ops>(m, df[f], ap);
      }
      if constexpr (V.trans) r = SimdSelect<Ops>(full, SimdDiffMix16<Ops>(m, df[f], k.param), r);
    }
    out[f] = r;
  }
  Vec r = Ops::Or(Ops::Or(Ops::template Sll16<11>(out[0]), Ops::template Sll16<5>(out[1])), out[2]);
  if constexpr (V.trans && SkipsAlphaZero16(V)) r = SimdSelect<Ops>(Ops::CmpEq16(a, Ops::Zero()), d, r);
  return r;
}

// A vector of RGB565 source colours (a: their alphas, alpha sources) over
// destination pixels.
template <BlitVariant V, class Ops, class Vec = typename Ops::V>
inline Vec Combine16Vec(Vec s, Vec a, Vec d, const Simd16Consts<Ops>& k) {
  if constexpr (V.mode == 0 && V.white && (V.src != BlitSource::Alpha || IgnoresAlpha(V))) {
    return s;
  } else if constexpr (HalfSum16(V)) {
    const Vec m = Ops::Set16(0x7BEF);
    return Ops::Add16(Ops::And(Ops::template Srl16<1>(s), m), Ops::And(Ops::template Srl16<1>(d), m));
  } else if constexpr (V.src == BlitSource::Alpha && V.mode != 0) {
    return CombineAlpha16Vec<V, Ops>(s, a, d, k);
  } else {
    const Vec m5 = Ops::Set16(31), m6 = Ops::Set16(63);
    const Vec sf[3] = {Ops::template Srl16<11>(s), Ops::And(Ops::template Srl16<5>(s), m6), Ops::And(s, m5)};
    const Vec df[3] = {Ops::template Srl16<11>(d), Ops::And(Ops::template Srl16<5>(d), m6), Ops::And(d, m5)};
    Vec out[3];
    Vec w2;
    if constexpr (V.src == BlitSource::Alpha) w2 = Ops::Add16(a, a);
    for (int f = 0; f < 3; ++f) {
      const Vec x = SourceField<V, Ops>(sf[f], f == 1 ? m6 : m5, f, k);
      if constexpr (V.mode == 0) {
        if constexpr (V.src == BlitSource::Alpha) {
          out[f] = SimdMix16<Ops>(x, df[f], w2);
        } else {
          out[f] = x;
        }
      } else if constexpr (SixBit16(V)) {
        out[f] = SimdDiv63<Ops>(Ops::Add16(Ops::MulLo16(x, k.sixA), Ops::MulLo16(df[f], k.sixB)));
      } else {
        out[f] = SimdDiffMix16<Ops>(x, df[f], k.param);
      }
    }
    const Vec r = Ops::Or(Ops::Or(Ops::template Sll16<11>(out[0]), Ops::template Sll16<5>(out[1])), out[2]);
    if constexpr (V.src == BlitSource::Alpha && V.trans) {
      // Alpha 255 takes the unweighted copy (alpha 0 mixes to the destination).
      const Vec full = Ops::CmpEq16(a, Ops::Set16(255));
      Vec unweighted = s;
      if constexpr (!V.white) {
        unweighted = Ops::Or(Ops::Or(Ops::template Sll16<11>(SourceField<V, Ops>(sf[0], m5, 0, k)),
                                     Ops::template Sll16<5>(SourceField<V, Ops>(sf[1], m6, 1, k))),
                             SourceField<V, Ops>(sf[2], m5, 2, k));
      }
      return SimdSelect<Ops>(full, unweighted, r);
    } else {
      return r;
    }
  }
}

// One vector of pixels; a keyed source passes over a vector without a pixel
// to draw, and a copy stores a vector without a transparent pixel whole.
template <BlitVariant V, class Ops>
inline void SimdStep16(uint8_t* out, const uint8_t* dst, const uint8_t* src, const BlendContext& c,
                       const Simd16Consts<Ops>& k) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / 2;
  Vec s, a = Ops::Zero(), transparent = Ops::Zero();
  if constexpr (V.src == BlitSource::Palette) {
    alignas(32) uint16_t entries[lanes], indices[lanes];
    for (int32_t j = 0; j < lanes; ++j) {
      indices[j] = src[j];
      std::memcpy(&entries[j], c.palette + 2 * indices[j], 2);
    }
    s = Ops::Load(entries);
    if (V.trans && k.keyOn) transparent = Ops::CmpEq16(Ops::Load(indices), k.key);
  } else if constexpr (V.src == BlitSource::Alpha) {
    const Vec lo = Ops::Load(src), hi = Ops::Load(src + Ops::kBytes);
    s = Ops::PackLow16(lo, hi);
    const Vec byte = Ops::Set32(0xFF);
    a = Ops::PackLow16(Ops::And(Ops::template Srl32<16>(lo), byte), Ops::And(Ops::template Srl32<16>(hi), byte));
  } else {
    s = Ops::Load(src);
    if (V.trans && k.keyOn) transparent = Ops::CmpEq16(s, k.key);
  }
  if constexpr (V.trans && V.src != BlitSource::Alpha) {
    const uint32_t bits = Ops::MoveMask8(transparent);
    if (bits == Ops::kAllBytes) return;
    if constexpr (V.mode == 0 && V.white) {
      if (bits == 0) {
        Ops::Store(out, s);
        return;
      }
    }
  }
  const Vec d = Ops::Load(dst);
  Vec r = Combine16Vec<V, Ops>(s, a, d, k);
  if constexpr (V.trans && V.src != BlitSource::Alpha) r = SimdSelect<Ops>(transparent, d, r);
  Ops::Store(out, r);
}

// Draws rows of n pixels a vector at a time (SimdRows).
template <BlitVariant V, class Ops>
inline void SimdRect16(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n,
                       int32_t rows, const BlendContext& c) {
  const Simd16Consts<Ops> k = MakeSimd16Consts<V, Ops>(c);
  SimdRows<Ops, 2, BlitSourceBytes(V.src, false)>(dst, dstPitch, src, srcPitch, n, rows,
                                         [&](uint8_t* out, const uint8_t* d, const uint8_t* s) {
                                           SimdStep16<V, Ops>(out, d, s, c, k);
                                         });
}

}  // namespace blit_detail
