// The converter's vector loops compiled for AVX2 (run only when the
// processor has it).
#include "library/graphics/color_convert_simd.h"

ShiftConvertFn ShiftConvertLoopAvx2(const ShiftConversion& k) { return ShiftConvertLoop<Avx2Ops>(k); }

void SwapRedBlueAvx2(uint8_t* p, size_t n, int32_t bytesPerPixel) {
  size_t i = 0;
  if (bytesPerPixel == 4) {
    // Sixteen pixels a step, by byte shuffles.
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15,  //
                                           2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    for (; i + 16 <= n; i += 16, p += 64) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_shuffle_epi8(a, order));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), _mm256_shuffle_epi8(b, order));
    }
    SwapRedBlue32<Avx2Ops>(p, n - i);
    return;
  }
  // Sixteen pixels (48 bytes) a step: three loads, then three stores, each
  // output block gathered by byte shuffles from the blocks it draws on. (A
  // shuffle of five pixels in each overlapping 16 bytes read bytes that the
  // store before it had just written, a stalled load each time: most of the
  // time of a 24-bit picture's decoding.)
  constexpr char z = static_cast<char>(0x80);  // a zero byte from this block
  const __m128i a0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, z);
  const __m128i b0 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, z, 1);
  const __m128i a1 = _mm_setr_epi8(z, 15, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i b1 = _mm_setr_epi8(0, z, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, z, 15);
  const __m128i c1 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, 0, z);
  const __m128i b2 = _mm_setr_epi8(14, z, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i c2 = _mm_setr_epi8(z, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
  for (; i + 16 <= n; i += 16, p += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(_mm_shuffle_epi8(a, a0), _mm_shuffle_epi8(b, b0)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                     _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, a1), _mm_shuffle_epi8(b, b1)),
                                  _mm_shuffle_epi8(c, c1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm_or_si128(_mm_shuffle_epi8(b, b2), _mm_shuffle_epi8(c, c2)));
  }
  for (; i < n; ++i, p += 3) {
    const uint8_t first = p[0];
    p[0] = p[2];
    p[2] = first;
  }
}
