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
  // Five pixels (15 bytes) a shuffle, four shuffles a step; each shuffle
  // reads and writes back a sixteenth byte unchanged, so the steps stop a
  // pixel short of the end.
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  auto five = [&](uint8_t* at) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), order));
  };
  for (; i + 21 <= n; i += 20, p += 60) {
    five(p);
    five(p + 15);
    five(p + 30);
    five(p + 45);
  }
  for (; i + 6 <= n; i += 5, p += 15) five(p);
  for (; i < n; ++i, p += 3) {
    const uint8_t first = p[0];
    p[0] = p[2];
    p[2] = first;
  }
}
