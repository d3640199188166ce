// The vector operations the SIMD pixel loops are written with, as one struct
// per instruction set: Sse2Ops (every x86-64 processor) and, in files
// compiled for it, Avx2Ops. The loops are templates over these structs, so
// the same source gives both widths.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#if defined(__SSE2__)
struct Sse2Ops {
  using V = __m128i;
  static constexpr int kBytes = 16;
  static V Load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
  static void Store(void* p, V v) { _mm_storeu_si128(static_cast<V*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set32(uint32_t v) { return _mm_set1_epi32(static_cast<int32_t>(v)); }
  static V Set16(uint16_t v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V MulHi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
  static V MulHiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
  static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  template <int N>
  static V Sll16(V a) {
    return _mm_slli_epi16(a, N);
  }
  template <int N>
  static V Srl16(V a) {
    return _mm_srli_epi16(a, N);
  }
  template <int N>
  static V Sll32(V a) {
    return _mm_slli_epi32(a, N);
  }
  template <int N>
  static V Srl32(V a) {
    return _mm_srli_epi32(a, N);
  }
  template <int N>
  static V Sra16(V a) {
    return _mm_srai_epi16(a, N);
  }
  // The low 16 bits of each 32-bit lane of a, then of b, in order.
  static V PackLow16(V a, V b) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16),
                           _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
  }
};
#endif

#if defined(__AVX2__)
struct Avx2Ops {
  using V = __m256i;
  static constexpr int kBytes = 32;
  static V Load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
  static void Store(void* p, V v) { _mm256_storeu_si256(static_cast<V*>(p), v); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int32_t>(v)); }
  static V Set16(uint16_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V MulLo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V MulHi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
  static V MulHiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  static V CmpEq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
  static V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  template <int N>
  static V Sll16(V a) {
    return _mm256_slli_epi16(a, N);
  }
  template <int N>
  static V Srl16(V a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static V Sll32(V a) {
    return _mm256_slli_epi32(a, N);
  }
  template <int N>
  static V Srl32(V a) {
    return _mm256_srli_epi32(a, N);
  }
  template <int N>
  static V Sra16(V a) {
    return _mm256_srai_epi16(a, N);
  }
  static V PackLow16(V a, V b) {
    const V packed = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16),
                                        _mm256_srai_epi32(_mm256_slli_epi32(b, 16), 16));
    return _mm256_permute4x64_epi64(packed, 0xD8);  // the packs work per 128-bit half
  }
};
#endif

// Lane-wise helpers of the pixel loops, for any of the structs above.

// mask ? ifSet : ifClear, bit by bit.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdSelect(Vec mask, Vec ifSet, Vec ifClear) {
  return Ops::Or(Ops::And(mask, ifSet), Ops::AndNot(mask, ifClear));
}
// floor(v / 255) = (v * 0x8081) >> 23, exact for every 16-bit v.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdDiv255(Vec v) {
  return Ops::template Srl16<7>(Ops::MulHiU16(v, Ops::Set16(0x8081)));
}
// floor((d * 256 + (x - d) * w) / 256) = d + ((((x - d) << 7) * 2w) >> 16) on
// 16-bit lanes, w2 = 2w: for channels up to 255 and w up to 255 both factors
// fit signed 16 bits, and the high half of the product is floored.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdMix16(Vec x, Vec d, Vec w2) {
  return Ops::Add16(d, Ops::MulHi16(Ops::template Sll16<7>(Ops::Sub16(x, d)), w2));
}
