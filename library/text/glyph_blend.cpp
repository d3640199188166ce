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
  static V Widen(const uint64_t* q) {
    return _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<int64_t>(q[0])), _mm_setzero_si128());
  }
  static V Widen32(V c16, int half) {
    return half == 0 ? _mm_unpacklo_epi16(c16, _mm_setzero_si128()) : _mm_unpackhi_epi16(c16, _mm_setzero_si128());
  }
  static V UnpackLo8(V v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
  static V UnpackHi8(V v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
  static V PackUs16(V a, V b) { return _mm_packus_epi16(a, b); }
  static V SpreadAlpha(V v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }
  // The work pixels of eight cell values, put together in registers (a
  // vector loaded from words just stored one by one would wait for the
  // stores).
  static V Quotient(V n, V d) {
    const V zero = _mm_setzero_si128();
    d = Ops::Or(d, Ops::And(Ops::CmpEq16(d, zero), Ops::Set16(1)));
    auto half = [&](V n32, V d32) { return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(n32), _mm_cvtepi32_ps(d32))); };
    return _mm_packs_epi32(half(_mm_unpacklo_epi16(n, zero), _mm_unpacklo_epi16(d, zero)),
                           half(_mm_unpackhi_epi16(n, zero), _mm_unpackhi_epi16(d, zero)));
  }
  static void LookUp8888(const uint64_t* q, const uint32_t* words, V* s) {
    auto w = [&](int i) { return _mm_cvtsi32_si128(static_cast<int32_t>(words[q[0] >> 8 * i & 0xFF])); };
    s[0] = _mm_unpacklo_epi64(_mm_unpacklo_epi32(w(0), w(1)), _mm_unpacklo_epi32(w(2), w(3)));
    s[1] = _mm_unpacklo_epi64(_mm_unpacklo_epi32(w(4), w(5)), _mm_unpacklo_epi32(w(6), w(7)));
  }
  static void LookUp565(const uint64_t* q, const uint32_t* words, V* s, V* a) {
    V w[2];
    LookUp8888(q, words, w);
    *s = Ops::PackLow16(w[0], w[1]);
    // (Bits 24 to 31 of a 16-bit work pixel are 0.)
    *a = _mm_packs_epi32(Ops::Srl32<16>(w[0]), Ops::Srl32<16>(w[1]));
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

void BlendGlyphBox(const GlyphBox& box, int32_t pixelBytes, const GlyphInk& ink) {
#if defined(__SSE2__)
  if (BlitUseAvx2) {
    BlendGlyphBoxAvx2(box, pixelBytes, ink);
    return;
  }
  glyph_simd::Blend<Sse2Isa>(box, pixelBytes, ink);
#else
  const uint32_t* words = ink.words;
  for (int32_t y = 0; y < box.height; ++y)
    for (int32_t x = 0; x < box.width; ++x)
      BlendGlyphPixel(box.dest + static_cast<int64_t>(y) * box.destPitch + x * pixelBytes, pixelBytes,
                      words[box.cells[static_cast<int64_t>(y) * box.cellPitch + x]]);
#endif
}
