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

// The pixels of a chunk that a call is for: from (inclusive) to (exclusive).
struct ChunkPart {
  int32_t from, to;
};

// 0xFF in the bytes of a byte mask from `from` to `to`: the first vector
// read from kBytesFrom + 16 - from, and the second from kBytesTo + 16 - to.
alignas(16) inline constexpr uint8_t kBytesFrom[32] = {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                                       0,    0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
alignas(16) inline constexpr uint8_t kBytesTo[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0,    0,
                                                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0};

// Calls chunk(dest, at, partial) for the box's pixels N at a time: dest is
// the chunk's first pixel and at its cell's index from the box's first
// cell. partial is false for a chunk wholly inside the box; a partial chunk
// is for the pixels of the part given to prepare(part) first (the same for
// every row), and must leave the others. A row's last pixels are taken as a
// chunk reaching past the box when the cells and the destination row reach
// that far, else as the row's last chunk without the pixels already done (a
// load that overlaps the store just made waits for it, so that comes
// second), else one at a time through single(dest, at).
template <int N, typename Prepare, typename Chunk, typename Single>
inline void ForEachChunk(const GlyphBox& box, int32_t pixelBytes, Prepare prepare, Chunk chunk, Single single) {
  const int32_t w = box.width, whole = w - w % N;
  // The row's last chunk: from start (-1 none, -2 pixels one at a time).
  int32_t start = -1;
  if (whole != w) {
    const int64_t lastRow = static_cast<int64_t>(box.height - 1) * box.cellPitch;
    if (box.destRowPixels - box.destLeft >= whole + N &&
        box.cellsEnd - box.cells >= (lastRow + whole + N) * box.cellBytes) {
      start = whole;
      prepare(ChunkPart{0, w - whole});
    } else if (w >= N) {
      start = w - N;
      prepare(ChunkPart{whole - start, N});
    } else {
      start = -2;
    }
  }
  int64_t row = 0;
  uint8_t* dest = box.dest;
  for (int32_t y = 0; y < box.height; ++y, row += box.cellPitch, dest += box.destPitch) {
    for (int32_t i = 0; i < whole; i += N) chunk(dest + i * pixelBytes, row + i, false);
    if (start >= 0) {
      chunk(dest + start * pixelBytes, row + start, true);
    } else if (start == -2) {
      for (int32_t i = 0; i < w; ++i) single(dest + i * pixelBytes, row + i);
    }
  }
}

// RGB565 colours s mixed into RGB565 pixels d with the weights w2 (2 x
// alpha; 512 gives s itself), in 16-bit lanes.
template <class Ops, class V = typename Ops::V>
inline V Mix565(V s, V w2, V d) {
  const V m5 = Ops::Set16(31), m6 = Ops::Set16(63 << 5);
  const V r = SimdMix16<Ops>(Ops::template Srl16<11>(s), Ops::template Srl16<11>(d), w2);
  const V b = SimdMix16<Ops>(Ops::And(s, m5), Ops::And(d, m5), w2);
  // Green where it lies: (s - d) x 32 shifted to (s - d) x 128 is SimdMix16's
  // own product.
  const V dg = Ops::And(d, m6);
  const V g =
      Ops::Add16(dg, Ops::template Sll16<5>(Ops::MulHi16(Ops::template Sll16<2>(Ops::Sub16(Ops::And(s, m6), dg)), w2)));
  return Ops::Or(Ops::Or(Ops::template Sll16<11>(r), g), b);
}

// 16-bit work pixels (colours s, alphas a) over RGB565 pixels d.
template <class Ops, class V = typename Ops::V>
inline V Over565(V s, V a, V d) {
  return SimdSelect<Ops>(Ops::CmpEq16(a, Ops::Set16(255)), s, Mix565<Ops>(s, Ops::Add16(a, a), d));
}

// 32-bit pixels d with colours s (sl, sh: Isa::UnpackLo8 and UnpackHi8 of
// them) mixed in, each channel by its weight in wl and wh (from
// Isa::ChannelWeights).
template <class Isa, class V = typename Isa::Ops::V>
inline V Mix8888(V sl, V sh, V wl, V wh, V d) {
  using Ops = typename Isa::Ops;
  return Isa::PackUs16(SimdMix16<Ops>(sl, Isa::UnpackLo8(d), wl), SimdMix16<Ops>(sh, Isa::UnpackHi8(d), wh));
}

// 32-bit work pixels (alpha in byte 3) over pixels d.
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

// The work pixels of a chunk's cell values c (16-bit lanes), looked up:
// 16-bit colours and alphas, or 32-bit pixels (two vectors).
template <class Isa, class V = typename Isa::Ops::V>
inline void LookUp(V c, const uint32_t* words, V* w) {
  using Ops = typename Isa::Ops;
  alignas(32) uint16_t values[Ops::kBytes / 2];
  Ops::Store(values, c);
  Isa::Gather(values, words, w);
}

template <class Isa>
inline void WriteEdged(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge) {
  using Ops = typename Isa::Ops;
  using V = typename Ops::V;
  constexpr int N = Ops::kBytes / 2;
  auto single = [&](uint8_t* to, int64_t at) { WriteEdgedGlyphPixel(to, pixelBytes, box.cells[at], text, edge); };
  typename Isa::Bytes keep{};
  auto prepare = [&](const ChunkPart& part) { keep = Isa::PartBytes(part); };
  if (pixelBytes == 2) {
    const V t = Ops::Set16(static_cast<uint16_t>(text)), e = Ops::Set16(static_cast<uint16_t>(edge));
    auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
      V c;
      if (!Isa::Cells(box.cells + at, partial, keep, &c)) return;
      const V isText = Ops::CmpEq16(c, Ops::Set16(1)), isEdge = Ops::CmpEq16(c, Ops::Set16(2));
      Ops::Store(dest, SimdSelect<Ops>(isText, t, SimdSelect<Ops>(isEdge, e, Ops::Load(dest))));
    };
    ForEachChunk<N>(box, 2, prepare, chunk, single);
    return;
  }
  const V t = Ops::Set32(text), e = Ops::Set32(edge);
  auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
    V c;
    if (!Isa::Cells(box.cells + at, partial, keep, &c)) return;
    for (int half = 0; half < 2; ++half) {
      const V c32 = Isa::Widen32(c, half);
      uint8_t* to = dest + Ops::kBytes * half;
      Ops::Store(to, SimdSelect<Ops>(Ops::CmpEq32(c32, Ops::Set32(1)), t,
                                     SimdSelect<Ops>(Ops::CmpEq32(c32, Ops::Set32(2)), e, Ops::Load(to))));
    }
  };
  ForEachChunk<N>(box, 4, prepare, chunk, single);
}

template <class Isa>
inline void BlendInked(const GlyphBox& box, int32_t pixelBytes) {
  using Ops = typename Isa::Ops;
  using V = typename Ops::V;
  constexpr int N = Ops::kBytes / 2;
  auto single = [&](uint8_t* to, int64_t at) { BlendGlyphPixel(to, pixelBytes, InkedGlyphWord(box, at, pixelBytes)); };
  // The chunk's weights (0 outside the part); false when all are 0.
  V keep = Ops::Zero();
  auto prepare = [&](const ChunkPart& part) { keep = Isa::Keep16(part); };
  auto weights = [&](int64_t at, bool partial, V* w) {
    *w = Ops::Load(box.cells + 2 * at);
    if (partial) *w = Ops::And(*w, keep);
    return !Isa::IsZero(*w);
  };
  if (pixelBytes == 2) {
    auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
      V w;
      if (weights(at, partial, &w)) Ops::Store(dest, Mix565<Ops>(Ops::Load(box.colours + 2 * at), w, Ops::Load(dest)));
    };
    ForEachChunk<N>(box, 2, prepare, chunk, single);
    return;
  }
  // Each 16-bit half of a pixel is mixed whole (as in the AVX-512 form):
  // bytes 0 and 2 with the weight, bytes 1 and 3 with it and 512 or 0.
  const V lowBytes = Ops::Set16(0x00FF), keepTop = Ops::Set32(0x0200FFFFu);
  auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
    V w;
    if (!weights(at, partial, &w)) return;
    const V ordered = Isa::OrderWeights(w);
    for (int half = 0; half < 2; ++half) {
      const V s = Ops::Load(box.colours + 4 * at + Ops::kBytes * half);
      uint8_t* to = dest + Ops::kBytes * half;
      const V d = Ops::Load(to), wEven = Isa::PairWeights(ordered, half), wOdd = Ops::And(wEven, keepTop);
      const V dEven = Ops::And(d, lowBytes), dOdd = Ops::template Srl16<8>(d);
      const V even = Ops::MulHi16(Ops::template Sll16<7>(Ops::Sub16(Ops::And(s, lowBytes), dEven)), wEven);
      const V odd = Ops::MulHi16(Ops::template Sll16<7>(Ops::Sub16(Ops::template Srl16<8>(s), dOdd)), wOdd);
      Ops::Store(to, Ops::Add16(Ops::Add16(d, even), Ops::template Sll16<8>(odd)));
    }
  };
  ForEachChunk<N>(box, 4, prepare, chunk, single);
}

template <class Isa>
inline void Blend(const GlyphBox* boxes, int32_t count, int32_t pixelBytes, const GlyphInk& ink) {
  using Ops = typename Isa::Ops;
  using V = typename Ops::V;
  constexpr int N = Ops::kBytes / 2;
  const uint32_t* words = ink.words;
  const bool levels = ink.kind == GlyphInkKind::Levels;
  const V fifteen = Ops::Set16(15);
  // (One colour for levels: on 32-bit pixels both unpacked halves are alike.)
  const V colour16 = Ops::Set16(static_cast<uint16_t>(words[1]));
  const V colour32 = Isa::UnpackLo8(Ops::Set32(words[1] & 0x00FFFFFFu));
  for (int32_t i = 0; i < count; ++i) {
    const GlyphBox& box = boxes[i];
    if (ink.kind == GlyphInkKind::Inked) {
      BlendInked<Isa>(box, pixelBytes);
      continue;
    }
    auto single = [&](uint8_t* to, int64_t at) { BlendGlyphPixel(to, pixelBytes, words[box.cells[at]]); };
    typename Isa::Bytes keep{};
    auto prepare = [&](const ChunkPart& part) { keep = Isa::PartBytes(part); };
    if (pixelBytes == 2) {
      auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
        V c;
        if (!Isa::Cells(box.cells + at, partial, keep, &c)) return;
        if (levels) {
          // Alpha (v & 15) x 16: never 255.
          Ops::Store(dest, Mix565<Ops>(colour16, Ops::template Sll16<5>(Ops::And(c, fifteen)), Ops::Load(dest)));
          return;
        }
        V w[2];
        LookUp<Isa>(c, words, w);
        // (Bits 24 to 31 of a 16-bit work pixel are 0.)
        const V s = Ops::PackLow16(w[0], w[1]);
        const V a = Isa::PackSigned32(Ops::template Srl32<16>(w[0]), Ops::template Srl32<16>(w[1]));
        Ops::Store(dest, Over565<Ops>(s, a, Ops::Load(dest)));
      };
      ForEachChunk<N>(box, 2, prepare, chunk, single);
      continue;
    }
    auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
      V c;
      if (!Isa::Cells(box.cells + at, partial, keep, &c)) return;
      if (levels) {
        // Weights 2 x 16 x (v & 15), at most 480.
        const V w = Ops::template Sll16<5>(Ops::And(c, fifteen));
        for (int half = 0; half < 2; ++half) {
          V wl, wh;
          Isa::ChannelWeights(w, half, &wl, &wh);
          uint8_t* to = dest + Ops::kBytes * half;
          Ops::Store(to, Mix8888<Isa>(colour32, colour32, wl, wh, Ops::Load(to)));
        }
        return;
      }
      V s[2];
      LookUp<Isa>(c, words, s);
      for (int half = 0; half < 2; ++half) {
        uint8_t* to = dest + Ops::kBytes * half;
        Ops::Store(to, Over8888<Isa>(s[half], Ops::Load(to)));
      }
    };
    ForEachChunk<N>(box, 4, prepare, chunk, single);
  }
}

}  // namespace glyph_simd
