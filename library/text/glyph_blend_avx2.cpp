// The AVX2 form of the glyph loops (this file is compiled for AVX2; its
// functions run only when the processor has it). Only templates over the
// AVX2 operations are instantiated here, so no inline function is compiled
// for AVX2 on behalf of the rest of the program.
#include "library/text/glyph_blend_simd.h"

namespace {

struct Avx2Isa {
  using Ops = Avx2Ops;
  using V = __m256i;
  static __m128i Bytes(const uint64_t* q) {
    return _mm_set_epi64x(static_cast<int64_t>(q[1]), static_cast<int64_t>(q[0]));
  }
  static V Widen(const uint64_t* q) { return _mm256_cvtepu8_epi16(Bytes(q)); }
  static V Widen32(V c16, int half) {
    return _mm256_cvtepu16_epi32(half == 0 ? _mm256_castsi256_si128(c16) : _mm256_extracti128_si256(c16, 1));
  }
  static V UnpackLo8(V v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
  static V UnpackHi8(V v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
  static V PackUs16(V a, V b) { return _mm256_packus_epi16(a, b); }
  static V SpreadAlpha(V v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }
  // floor(n / d) of unsigned 16-bit lanes (d 0 counts as 1), for quotients
  // up to 32767: single floats hold both exactly and their quotient, rounded
  // to 24 bits, truncates to the exact one while n / d is at least 1 / d
  // below the next integer, that is for n / d below 2^15 / d... (d <= 255).
  static V Quotient(V n, V d) {
    d = _mm256_max_epu16(d, Ops::Set16(1));
    auto half = [&](__m128i n8, __m128i d8) {
      return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(n8)),
                                               _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(d8))));
    };
    const V lo = half(_mm256_castsi256_si128(n), _mm256_castsi256_si128(d));
    const V hi = half(_mm256_extracti128_si256(n, 1), _mm256_extracti128_si256(d, 1));
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
  }
  static void LookUp8888(const uint64_t* q, const uint32_t* words, V* s) {
    for (int k = 0; k < 2; ++k) {
      auto w = [&](int i) { return _mm_cvtsi32_si128(static_cast<int32_t>(words[q[k] >> 8 * i & 0xFF])); };
      const __m128i lo = _mm_unpacklo_epi64(_mm_unpacklo_epi32(w(0), w(1)), _mm_unpacklo_epi32(w(2), w(3)));
      const __m128i hi = _mm_unpacklo_epi64(_mm_unpacklo_epi32(w(4), w(5)), _mm_unpacklo_epi32(w(6), w(7)));
      s[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
  }
  static void LookUp565(const uint64_t* q, const uint32_t* words, V* s, V* a) {
    V w[2];
    LookUp8888(q, words, w);
    *s = Ops::PackLow16(w[0], w[1]);
    // (Bits 24 to 31 of a 16-bit work pixel are 0.)
    *a = _mm256_permute4x64_epi64(_mm256_packs_epi32(Ops::Srl32<16>(w[0]), Ops::Srl32<16>(w[1])), 0xD8);
  }
};

}  // namespace

void WriteEdgedGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge) {
  glyph_simd::WriteEdged<Avx2Isa>(box, pixelBytes, text, edge);
}

void BlendGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, const GlyphInk& ink) {
  glyph_simd::Blend<Avx2Isa>(box, pixelBytes, ink);
}
