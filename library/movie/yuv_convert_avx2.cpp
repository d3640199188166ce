// The YUV to RGB conversion's vector loop for AVX2 (see yuv_convert_simd.h).
#include <immintrin.h>

#include "library/movie/yuv_convert_simd.h"
#include "library/movie/yuv_tables.h"

namespace {

struct Avx2Ops {
  using V = __m256i;
  static constexpr int32_t kPixels = 32;
  static V Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
  static V LoadWidenHalf(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static void Store(uint32_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set32(int32_t v) { return _mm256_set1_epi32(v); }
  static V Slli16(V a, int n) { return _mm256_slli_epi16(a, n); }
  static V UnpackLo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V Madd16(V a, V b) { return _mm256_madd_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V HighWords(V a, V b) { return _mm256_blend_epi16(_mm256_srli_epi32(a, 16), b, 0xAA); }
  static V PackUs16(V a, V b) { return _mm256_packus_epi16(a, b); }
  // Dword 2j + l of the whole becomes lane l's dword j, so that the pixels
  // the lanes unpack are consecutive in each stored vector.
  static V ForStores(V a) { return _mm256_permutevar8x32_epi32(a, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)); }
};

}  // namespace

int32_t ConvertYuvRowsAvx2(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                           uint32_t* out0, uint32_t* out1, int32_t width) {
  return yuvsimd::ConvertRows<Avx2Ops>(row0, row1, cb, cr, out0, out1, width);
}
