// The loops of glyph_blend.h, written once over an instruction set's
// vector operations (Isa: its Ops of simd_ops.h and the few operations that
// differ between the sets) and compiled for SSE2 and, in a file of its own,
// for AVX2. A chunk is one vector of 16-bit lanes: 8 pixels with SSE2, 16
// with AVX2. Everything here is a template over Isa, so no code made for
// one set stands in for another's.
#pragma once

#include <cstdint>
#include <cstring>

#include "library/softrender/simd_ops.h"
#include "library/text/glyph_blend.h"

namespace glyph_simd {

// Calls chunk(dest, cells) for the row's pixels Q x 8 at a time: cells holds
// Q words of eight cell values (the first in the low byte), 0 for pixels
// outside the part of the row the call is for; dest is the first pixel of
// the chunk. The last pixels of a row are taken as a chunk reaching past
// the box when the cells and the destination row reach that far, else as
// the row's last chunk with the pixels already done cleared (a load that
// overlaps the store just made waits for it, so that comes second), else
// one at a time through single(dest, value).
template <int Q, typename Chunk, typename Single>
inline void ForEachChunk(const GlyphBox& box, int32_t pixelBytes, Chunk chunk, Single single) {
  constexpr int32_t n = 8 * Q;
  const int32_t w = box.width;
  const int32_t whole = w - w % n;
  const bool pastBox = box.destRowPixels - box.destLeft >= whole + n;
  for (int32_t y = 0; y < box.height; ++y) {
    const uint8_t* cells = box.cells + static_cast<int64_t>(y) * box.cellPitch;
    uint8_t* dest = box.dest + static_cast<int64_t>(y) * box.destPitch;
    uint64_t q[Q];
    auto any = [&q]() {
      uint64_t bits = 0;
      for (int k = 0; k < Q; ++k) bits |= q[k];
      return bits != 0;
    };
    for (int32_t i = 0; i < whole; i += n) {
      std::memcpy(q, cells + i, sizeof q);
      if (any()) chunk(dest + i * pixelBytes, q);
    }
    if (whole == w) continue;
    // keepFrom..keepTo: the chunk's pixels that belong to this call.
    int32_t start = 0, keepFrom = 0, keepTo = 0;
    if (pastBox && box.cellsEnd - (cells + whole) >= n) {
      start = whole, keepFrom = 0, keepTo = w - whole;
    } else if (w >= n) {
      start = w - n, keepFrom = whole - start, keepTo = n;
    } else {
      for (int32_t i = 0; i < w; ++i)
        if (cells[i] != 0) single(dest + i * pixelBytes, cells[i]);
      continue;
    }
    std::memcpy(q, cells + start, sizeof q);
    for (int k = 0; k < Q; ++k) {
      const int32_t from = keepFrom - 8 * k, to = keepTo - 8 * k;  // within this word
      const uint64_t high = to >= 8 ? ~uint64_t{0} : to <= 0 ? 0 : ~uint64_t{0} >> 8 * (8 - to);
      const uint64_t low = from <= 0 ? ~uint64_t{0} : from >= 8 ? 0 : ~uint64_t{0} << 8 * from;
      q[k] &= high & low;
    }
    if (any()) chunk(dest + start * pixelBytes, q);
  }
}

// One vector of RGB565 work pixels (colour s, alpha a, in 16-bit lanes)
// over RGB565 pixels d.
template <class Ops, class V = typename Ops::V>
inline V Over565(V s, V a, V d, bool maybeOpaque) {
  const V m5 = Ops::Set16(31), m6 = Ops::Set16(63), w2 = Ops::Add16(a, a);
  const V r = SimdMix16<Ops>(Ops::template Srl16<11>(s), Ops::template Srl16<11>(d), w2);
  const V g = SimdMix16<Ops>(Ops::And(Ops::template Srl16<5>(s), m6), Ops::And(Ops::template Srl16<5>(d), m6), w2);
  const V b = SimdMix16<Ops>(Ops::And(s, m5), Ops::And(d, m5), w2);
  const V mixed = Ops::Or(Ops::Or(Ops::template Sll16<11>(r), Ops::template Sll16<5>(g)), b);
  return maybeOpaque ? SimdSelect<Ops>(Ops::CmpEq16(a, Ops::Set16(255)), s, mixed) : mixed;
}

// One vector of 32-bit work pixels (alpha in byte 3) over pixels d.
template <class Isa, class V = typename Isa::Ops::V>
inline V Over8888(V s, V d) {
  using Ops = typename Isa::Ops;
  const V sl = Isa::UnpackLo8(s), sh = Isa::UnpackHi8(s), dl = Isa::UnpackLo8(d), dh = Isa::UnpackHi8(d);
  const V al = Isa::SpreadAlpha(sl), ah = Isa::SpreadAlpha(sh);
  const V mixed = Isa::PackUs16(SimdMix16<Ops>(sl, dl, Ops::Add16(al, al)), SimdMix16<Ops>(sh, dh, Ops::Add16(ah, ah)));
  const V top = Ops::Set32(0xFF000000u);
  const V kept = Ops::Or(Ops::AndNot(top, mixed), Ops::And(d, top));
  return SimdSelect<Ops>(Ops::CmpEq32(Ops::And(s, top), top), s, kept);
}

template <class Isa>
inline void WriteEdged(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge) {
  using Ops = typename Isa::Ops;
  using V = typename Ops::V;
  constexpr int Q = Ops::kBytes / 16;
  auto single = [&](uint8_t* at, uint8_t value) { WriteEdgedGlyphPixel(at, pixelBytes, value, text, edge); };
  const V one = Ops::Set16(1), two = Ops::Set16(2);
  if (pixelBytes == 2) {
    const V t = Ops::Set16(static_cast<uint16_t>(text)), e = Ops::Set16(static_cast<uint16_t>(edge));
    ForEachChunk<Q>(box, 2, [&](uint8_t* dest, const uint64_t* q) {
      const V c = Isa::Widen(q);
      Ops::Store(dest, SimdSelect<Ops>(Ops::CmpEq16(c, one), t, SimdSelect<Ops>(Ops::CmpEq16(c, two), e, Ops::Load(dest))));
    }, single);
    return;
  }
  const V t = Ops::Set32(text), e = Ops::Set32(edge);
  ForEachChunk<Q>(box, 4, [&](uint8_t* dest, const uint64_t* q) {
    const V c = Isa::Widen(q);
    for (int half = 0; half < 2; ++half) {
      const V c32 = Isa::Widen32(c, half);
      uint8_t* at = dest + Ops::kBytes * half;
      Ops::Store(at, SimdSelect<Ops>(Ops::CmpEq32(c32, Ops::Set32(1)), t,
                                     SimdSelect<Ops>(Ops::CmpEq32(c32, Ops::Set32(2)), e, Ops::Load(at))));
    }
    (void)one, (void)two;
  }, single);
}

// The work pixels of cell values c (16-bit lanes) of a glyph over its edge,
// as RGB565 colours and alphas.
template <class Isa, class V = typename Isa::Ops::V>
inline void OverEdge565(V c, const V* edge, const V* diff, V* s, V* a) {
  using Ops = typename Isa::Ops;
  const V fifteen = Ops::Set16(15), zero = Ops::Zero();
  const V g = Ops::And(c, fifteen), e = Ops::template Srl16<4>(c);
  const V level = Ops::Add16(Ops::template Sll16<4>(g), Ops::MulLo16(Ops::Sub16(fifteen, g), e));
  const V t = Isa::Quotient(Ops::template Sll16<12>(g), level);
  V ch[3];
  for (int k = 0; k < 3; ++k) ch[k] = Ops::Add16(edge[k], Ops::template Sra16<8>(Ops::MulLo16(diff[k], t)));
  *s = Ops::Or(Ops::Or(Ops::template Sll16<11>(ch[0]), Ops::template Sll16<5>(ch[1])), ch[2]);
  // 16e where g is 0 (the level is 15e there), 255 where g is 15 (240).
  *a = Ops::Add16(Ops::Add16(level, Ops::And(Ops::CmpEq16(g, zero), e)),
                  Ops::And(Ops::CmpEq16(g, fifteen), fifteen));
}

template <class Isa>
inline void Blend(const GlyphBox& box, int32_t pixelBytes, const GlyphInk& ink) {
  using Ops = typename Isa::Ops;
  using V = typename Ops::V;
  constexpr int Q = Ops::kBytes / 16;
  const uint32_t* words = ink.words;
  auto single = [&](uint8_t* at, uint8_t value) { BlendGlyphPixel(at, pixelBytes, words[value]); };
  const V fifteen = Ops::Set16(15);
  if (pixelBytes == 2) {
    if (ink.kind == GlyphInkKind::Levels) {
      // Alpha (v & 15) x 16: never 255.
      const V colour = Ops::Set16(static_cast<uint16_t>(words[1]));
      ForEachChunk<Q>(box, 2, [&](uint8_t* dest, const uint64_t* q) {
        const V a = Ops::template Sll16<4>(Ops::And(Isa::Widen(q), fifteen));
        Ops::Store(dest, Over565<Ops>(colour, a, Ops::Load(dest), false));
      }, single);
    } else if (ink.kind == GlyphInkKind::OverEdge) {
      V edge[3], diff[3];
      for (int k = 0; k < 3; ++k) {
        const int shift = k == 0 ? 11 : k == 1 ? 5 : 0, mask = k == 1 ? 63 : 31;
        const int te = static_cast<int>(ink.text >> shift) & mask, ee = static_cast<int>(ink.edge >> shift) & mask;
        edge[k] = Ops::Set16(static_cast<uint16_t>(ee));
        diff[k] = Ops::Set16(static_cast<uint16_t>(te - ee));
      }
      ForEachChunk<Q>(box, 2, [&](uint8_t* dest, const uint64_t* q) {
        V s, a;
        OverEdge565<Isa>(Isa::Widen(q), edge, diff, &s, &a);
        Ops::Store(dest, Over565<Ops>(s, a, Ops::Load(dest), true));
      }, single);
    } else {
      ForEachChunk<Q>(box, 2, [&](uint8_t* dest, const uint64_t* q) {
        V s, a;
        Isa::LookUp565(q, words, &s, &a);
        Ops::Store(dest, Over565<Ops>(s, a, Ops::Load(dest), true));
      }, single);
    }
    return;
  }
  const V colour = Ops::Set32(words[1] & 0x00FFFFFFu);
  const bool levels = ink.kind == GlyphInkKind::Levels;
  ForEachChunk<Q>(box, 4, [&](uint8_t* dest, const uint64_t* q) {
    V s[2];
    if (levels) {
      const V c = Ops::And(Isa::Widen(q), fifteen);
      for (int half = 0; half < 2; ++half) s[half] = Ops::Or(Ops::template Sll32<28>(Isa::Widen32(c, half)), colour);
    } else {
      Isa::LookUp8888(q, words, s);
    }
    for (int half = 0; half < 2; ++half) {
      uint8_t* at = dest + Ops::kBytes * half;
      Ops::Store(at, Over8888<Isa>(s[half], Ops::Load(at)));
    }
  }, single);
}

}  // namespace glyph_simd
