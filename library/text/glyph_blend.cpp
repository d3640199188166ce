#include "library/text/glyph_blend.h"

#include <cstring>

#include "library/softrender/blend_rules.h"
#include "library/softrender/blit_kernels.h"
#include "library/text/glyph_blend_simd.h"

void BlendGlyphPixel(uint8_t* at, int32_t pixelBytes, uint32_t word) {
  if (pixelBytes == 2) {
    const uint32_t s = word & 0xFFFF, a = word >> 16 & 0xFF;
    if (a == 0) return;
    if (a == 255) {
      StorePixel16(at, s);
      return;
    }
    const uint32_t d = LoadPixel16(at);
    StorePixel16(at, Pack565(BlendMix<8>(Red565(s), Red565(d), a), BlendMix<8>(Green565(s), Green565(d), a),
                             BlendMix<8>(Blue565(s), Blue565(d), a)));
    return;
  }
  const uint32_t a = word >> 24;
  if (a == 0) return;
  if (a == 255) {
    StorePixel32(at, word);
    return;
  }
  const uint32_t d = LoadPixel32(at);
  uint32_t out = d & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) out |= BlendMix<8>(word >> shift & 0xFF, d >> shift & 0xFF, a) << shift;
  StorePixel32(at, out);
}

uint32_t InkedGlyphWord(const GlyphBox& box, int64_t at, int32_t pixelBytes) {
  uint16_t weight = 0;
  uint32_t word = 0;
  std::memcpy(&weight, box.cells + 2 * at, 2);
  std::memcpy(&word, box.colours + at * pixelBytes, static_cast<size_t>(pixelBytes));
  return pixelBytes == 2 ? word | static_cast<uint32_t>(weight == 512 ? 255 : weight / 2) << 16 : word;
}

void WriteEdgedGlyphPixel(uint8_t* at, int32_t pixelBytes, uint8_t value, uint32_t text, uint32_t edge) {
  if (value != 1 && value != 2) return;
  const uint32_t v = value == 1 ? text : edge;
  std::memcpy(at, &v, static_cast<size_t>(pixelBytes));
}

#if defined(__SSE2__)
namespace {

struct Sse2Isa {
  using Ops = Sse2Ops;
  using V = __m128i;
  using Bytes = V;  // eight bytes, one a pixel
  // 0xFF in the bytes of the part.
  static Bytes PartBytes(const glyph_simd::ChunkPart& part) {
    return _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const V*>(glyph_simd::kBytesFrom + 16 - part.from)),
                         _mm_loadl_epi64(reinterpret_cast<const V*>(glyph_simd::kBytesTo + 16 - part.to)));
  }
  // A chunk's eight cell values (those outside keep cleared when partial)
  // in 16-bit lanes; false when all are 0.
  static bool Cells(const uint8_t* p, bool partial, Bytes keep, V* c) {
    V bytes = _mm_loadl_epi64(reinterpret_cast<const V*>(p));
    if (partial) bytes = _mm_and_si128(bytes, keep);
    if (IsZero(bytes)) return false;
    *c = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    return true;
  }
  static V Keep16(const glyph_simd::ChunkPart& part) {
    const V k = PartBytes(part);
    return _mm_unpacklo_epi8(k, k);
  }
  static bool IsZero(V v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xFFFF; }
  static V Widen32(V c16, int half) {
    return half == 0 ? _mm_unpacklo_epi16(c16, _mm_setzero_si128()) : _mm_unpackhi_epi16(c16, _mm_setzero_si128());
  }
  static V UnpackLo8(V v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
  static V UnpackHi8(V v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
  static V PackUs16(V a, V b) { return _mm_packus_epi16(a, b); }
  static V PackSigned32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V SpreadAlpha(V v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }
  // The channel weights of pixels 4 half to 4 half + 3 from their 16-bit
  // weights w (2 x alpha, 512 for alpha 255): the colour channels take w,
  // byte 3 takes 512 where w is 512, else 0 (w is at most 510 there); wl
  // for the pixels of UnpackLo8, wh for those of UnpackHi8.
  static void ChannelWeights(V w, int half, V* wl, V* wh) {
    const V pairs = half == 0 ? _mm_unpacklo_epi16(w, w) : _mm_unpackhi_epi16(w, w);
    const V keep = _mm_set_epi32(0x0200FFFF, -1, 0x0200FFFF, -1);
    *wl = _mm_and_si128(_mm_unpacklo_epi32(pairs, pairs), keep);
    *wh = _mm_and_si128(_mm_unpackhi_epi32(pairs, pairs), keep);
  }
  // The chunk's weights ordered for PairWeights (as they come).
  static V OrderWeights(V w) { return w; }
  // The weights of pixels 4 half to 4 half + 3 in both 16-bit halves of
  // their 32 bits.
  static V PairWeights(V w, int half) { return half == 0 ? _mm_unpacklo_epi16(w, w) : _mm_unpackhi_epi16(w, w); }
  // words[values[i]] for the eight values, put together in registers (a
  // vector loaded from words just stored one by one would wait for the
  // stores).
  static void Gather(const uint16_t* values, const uint32_t* words, V* w) {
    auto at = [&](int i) { return _mm_cvtsi32_si128(static_cast<int32_t>(words[values[i]])); };
    w[0] = _mm_unpacklo_epi64(_mm_unpacklo_epi32(at(0), at(1)), _mm_unpacklo_epi32(at(2), at(3)));
    w[1] = _mm_unpacklo_epi64(_mm_unpacklo_epi32(at(4), at(5)), _mm_unpacklo_epi32(at(6), at(7)));
  }
};

}  // namespace
#endif

void WriteEdgedGlyphBox(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge) {
#if defined(__SSE2__)
  if (BlitUseAvx2) {
    WriteEdgedGlyphBoxAvx2(box, pixelBytes, text, edge);
    return;
  }
  glyph_simd::WriteEdged<Sse2Isa>(box, pixelBytes, text, edge);
#else
  for (int32_t y = 0; y < box.height; ++y)
    for (int32_t x = 0; x < box.width; ++x)
      WriteEdgedGlyphPixel(box.dest + static_cast<int64_t>(y) * box.destPitch + x * pixelBytes, pixelBytes,
                           box.cells[static_cast<int64_t>(y) * box.cellPitch + x], text, edge);
#endif
}

namespace {

bool DetectAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl");
}

}  // namespace

bool GlyphUseAvx512 = DetectAvx512();

void BlendGlyphBoxes(const GlyphBox* boxes, int32_t count, int32_t pixelBytes, const GlyphInk& ink) {
  if (GlyphUseAvx512 && pixelBytes == 4 && ink.kind == GlyphInkKind::Inked) {
    BlendInkedGlyphBoxes32Avx512(boxes, count);
    return;
  }
#if defined(__SSE2__)
  if (BlitUseAvx2) {
    BlendGlyphBoxesAvx2(boxes, count, pixelBytes, ink);
    return;
  }
  glyph_simd::Blend<Sse2Isa>(boxes, count, pixelBytes, ink);
#else
  for (int32_t i = 0; i < count; ++i) {
    const GlyphBox& box = boxes[i];
    for (int32_t y = 0; y < box.height; ++y)
      for (int32_t x = 0; x < box.width; ++x) {
        const int64_t at = static_cast<int64_t>(y) * box.cellPitch + x;
        const uint32_t word =
            ink.kind == GlyphInkKind::Inked ? InkedGlyphWord(box, at, pixelBytes) : ink.words[box.cells[at]];
        BlendGlyphPixel(box.dest + static_cast<int64_t>(y) * box.destPitch + x * pixelBytes, pixelBytes, word);
      }
  }
#endif
}
