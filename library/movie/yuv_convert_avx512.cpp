// The YUV to RGB conversion's vector loop for AVX-512 (F, BW; see
// yuv_convert_simd.h).
#include <immintrin.h>

#include "library/movie/yuv_convert_simd.h"
#include "library/movie/yuv_tables.h"

namespace {

struct Avx512Ops {
  using V = __m512i;
  static constexpr int32_t kPixels = 64;
  static V Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
  static V LoadWidenHalf(const uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
  static void Store(uint32_t* p, V v) { _mm512_storeu_si512(p, v); }
  static V Zero() { return _mm512_setzero_si512(); }
  static V Set32(int32_t v) { return _mm512_set1_epi32(v); }
  static V Slli16(V a, int n) { return _mm512_slli_epi16(a, static_cast<unsigned>(n)); }
  static V UnpackLo8(V a, V b) { return _mm512_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm512_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
  static V Madd16(V a, V b) { return _mm512_madd_epi16(a, b); }
  static V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
  // (The zero-masked forms: GCC 12 warns of the unmasked forms' undefined
  // pass-through operand.)
  static V HighWords(V a, V b) {
    return _mm512_mask_blend_epi16(0xAAAAAAAAu, _mm512_maskz_srli_epi32(0xFFFF, a, 16), b);
  }
  static V PackUs16(V a, V b) { return _mm512_packus_epi16(a, b); }
  // Dword 4j + l of the whole becomes lane l's dword j, so that the pixels
  // the lanes unpack are consecutive in each stored vector.
  static V ForStores(V a) {
    return _mm512_maskz_permutexvar_epi32(0xFFFF,
                                          _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), a);
  }
};

}  // namespace

int32_t ConvertYuvRowsAvx512(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                             uint32_t* out0, uint32_t* out1, int32_t width) {
  return yuvsimd::ConvertRows<Avx512Ops>(row0, row1, cb, cr, out0, out1, width);
}
