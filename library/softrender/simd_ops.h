// The vector operations the SIMD pixel loops are written with, as one struct
// per instruction set: Sse2Ops (every x86-64 processor) and, in files
// compiled for it, Avx2Ops. The loops are templates over these structs, so
// the same source gives both widths.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

// True when the processor has AVX2 and the AVX2 loops may run (tests and
// benchmarks may clear it to run the SSE2 loops).
extern bool BlitUseAvx2;

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
  static V AddSatU16(V a, V b) { return _mm_adds_epu16(a, b); }
  static V AddSatU8(V a, V b) { return _mm_adds_epu8(a, b); }
  static V MaxU8(V a, V b) { return _mm_max_epu8(a, b); }
  static V SubSatU16(V a, V b) { return _mm_subs_epu16(a, b); }
  static V MulHi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
  // Byte 3 of each 32-bit lane in both of its 16-bit halves.
  static V HighBytePair(V a) {
    const V odd = _mm_srli_epi16(a, 8);  // bytes 1 and 3 in the low bytes of the halves
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(odd, 0xF5), 0xF5);
  }
  static V MulHiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  static V CmpEq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static V CmpEq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  // The low 16-bit half of each 32-bit lane in both halves; the high one.
  static V DupLow16(V a) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xA0), 0xA0); }
  static V DupHigh16(V a) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xF5), 0xF5); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
  static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
  // Pairs of signed 16-bit products summed into 32-bit lanes.
  static V MAdd16(V a, V b) { return _mm_madd_epi16(a, b); }
  template <int N>
  static V Sra32(V a) {
    return _mm_srai_epi32(a, N);
  }
  // The top bit of every byte, one bit each; kAllBytes when all are set.
  static uint32_t MoveMask8(V a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
  // Shifts of 32-bit lanes by a count known only at run time.
  static V SrlVar32(V a, int32_t n) { return _mm_srl_epi32(a, _mm_cvtsi32_si128(n)); }
  static V SllVar32(V a, int32_t n) { return _mm_sll_epi32(a, _mm_cvtsi32_si128(n)); }
  // One 16-bit value a 32-bit lane (zero-extended), and back (low 16 bits).
  static V LoadWiden16(const void* p) {
    return _mm_unpacklo_epi16(_mm_loadl_epi64(static_cast<const V*>(p)), _mm_setzero_si128());
  }
  static void StoreNarrow16(void* p, V a) { _mm_storel_epi64(static_cast<V*>(p), PackLow16(a, a)); }
  // 3-byte values a 32-bit lane (zero-extended); reads up to 4 bytes beyond them.
  static V Load24(const uint8_t* p) {
    const V v = _mm_loadu_si128(reinterpret_cast<const V*>(p));
    const V low = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
    const V high = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
    return _mm_and_si128(_mm_unpacklo_epi64(low, high), _mm_set1_epi32(0x00FFFFFF));
  }
  // mask ? a : b, bit by bit (mask lanes all ones or all zeros).
  static V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
  static constexpr bool kMaskStore32 = false;  // (no masked store of 32-bit lanes)
  static constexpr uint32_t kAllBytes = 0xFFFF;
  // The top bit of every 32-bit lane, one bit each; kAllLanes when all are set.
  static uint32_t MoveMask32(V a) { return static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(a))); }
  static constexpr uint32_t kAllLanes = 0xF;
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
  // The 32-bit lanes of a, then of b, the even-numbered ones into *even and
  // the odd-numbered ones into *odd, each in order.
  static void EvenOdd32(V a, V b, V* even, V* odd) {
    *even = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0x88));
    *odd = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0xDD));
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
  static V AddSatU16(V a, V b) { return _mm256_adds_epu16(a, b); }
  static V AddSatU8(V a, V b) { return _mm256_adds_epu8(a, b); }
  static V MaxU8(V a, V b) { return _mm256_max_epu8(a, b); }
  static V SubSatU16(V a, V b) { return _mm256_subs_epu16(a, b); }
  static V HighBytePair(V a) {
    const V pick = _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1,  //
                                    3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
    return _mm256_shuffle_epi8(a, pick);
  }
  static V MulHi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
  static V MulHiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  static V CmpEq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static V CmpEq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V DupLow16(V a) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xA0), 0xA0); }
  static V DupHigh16(V a) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xF5), 0xF5); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
  static V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
  static V MAdd16(V a, V b) { return _mm256_madd_epi16(a, b); }
  template <int N>
  static V Sra32(V a) {
    return _mm256_srai_epi32(a, N);
  }
  static uint32_t MoveMask8(V a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
  static V SrlVar32(V a, int32_t n) { return _mm256_srl_epi32(a, _mm_cvtsi32_si128(n)); }
  static V SllVar32(V a, int32_t n) { return _mm256_sll_epi32(a, _mm_cvtsi32_si128(n)); }
  static V LoadWiden16(const void* p) { return _mm256_cvtepu16_epi32(_mm_loadu_si128(static_cast<const __m128i*>(p))); }
  static void StoreNarrow16(void* p, V a) {
    _mm_storeu_si128(static_cast<__m128i*>(p), _mm256_castsi256_si128(PackLow16(a, a)));
  }
  static V Load24(const uint8_t* p) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const V spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                      0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), spread);
  }
  static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
  // Stores the 32-bit lanes of a whose mask lane has its top bit set.
  static constexpr bool kMaskStore32 = true;
  static void MaskStore32(void* p, V mask, V a) { _mm256_maskstore_epi32(static_cast<int*>(p), mask, a); }
  static constexpr uint32_t kAllBytes = 0xFFFFFFFF;
  static uint32_t MoveMask32(V a) { return static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(a))); }
  static constexpr uint32_t kAllLanes = 0xFF;
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
  // The same for lanes that already hold sign-extended 16-bit values.
  static V PackSigned32(V a, V b) { return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8); }
};
#endif

// Lane-wise helpers of the pixel loops, for any of the structs above.

// mask ? ifSet : ifClear, bit by bit.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdSelect(Vec mask, Vec ifSet, Vec ifClear) {
  return Ops::Select(mask, ifSet, ifClear);
}
// floor(v / 255) = (v * 0x8081) >> 23, exact for every 16-bit v.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdDiv255(Vec v) {
  return Ops::template Srl16<7>(Ops::MulHiU16(v, Ops::Set16(0x8081)));
}
// floor((d * 65536 + (x - d) * w) / 65536) for a weight w of 0..65535 on
// 16-bit lanes: the signed high product takes w above 32767 as w - 65536,
// which the difference added back makes good.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdMixWide16(Vec x, Vec d, Vec w) {
  const Vec diff = Ops::Sub16(x, d);
  return Ops::Add16(d, Ops::Add16(Ops::MulHi16(diff, w), Ops::And(diff, Ops::template Sra16<15>(w))));
}
// floor((d * 256 + (x - d) * w) / 256) = d + ((((x - d) << 7) * 2w) >> 16) on
// 16-bit lanes, w2 = 2w: for channels up to 255 and w up to 255 both factors
// fit signed 16 bits, and the high half of the product is floored.
template <class Ops, class Vec = typename Ops::V>
inline Vec SimdMix16(Vec x, Vec d, Vec w2) {
  return Ops::Add16(d, Ops::MulHi16(Ops::template Sll16<7>(Ops::Sub16(x, d)), w2));
}

// Runs step(out, dstIn, src) over rows of n pixels, one vector of
// destination pixels a time: the step reads the destination pixels at dstIn
// and the source pixels at src, and writes the pixels it draws at out. Rows
// of at least one vector start at a vector-aligned destination address
// (when long enough to gain from it) and end on a vector of their own; the
// vectors before and after overlap the aligned ones, and read copies of the
// destination taken before the row is drawn, so that each overlapped pixel is
// written twice with the same value. Shorter rows go through copies on the
// stack. Each pointer moves on by its pitch after a row.
template <class Ops, int32_t DstBytes, int32_t SrcBytes, class Step>
inline void SimdRows(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n,
                     int32_t rows, Step step) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / DstBytes;
  alignas(32) uint8_t first[Ops::kBytes] = {}, last[Ops::kBytes] = {};
  alignas(32) uint8_t scopy[Ops::kBytes / DstBytes * SrcBytes];
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch) {
    if (n < lanes) {
      std::memset(first, 0, sizeof first);
      std::memset(scopy, 0, sizeof scopy);
      std::memcpy(first, dst, static_cast<size_t>(n) * DstBytes);
      std::memcpy(scopy, src, static_cast<size_t>(n) * SrcBytes);
      step(first, first, scopy);
      std::memcpy(dst, first, static_cast<size_t>(n) * DstBytes);
      continue;
    }
    int32_t head = 0;
    if (n >= 4 * lanes) {
      const uintptr_t misaligned = reinterpret_cast<uintptr_t>(dst) & (Ops::kBytes - 1);
      if (misaligned % DstBytes == 0) head = static_cast<int32_t>((Ops::kBytes - misaligned) & (Ops::kBytes - 1)) / DstBytes;
    }
    const int32_t rest = (n - head) % lanes, end = n - rest;
    if (head != 0) Ops::Store(first, Ops::Load(dst));
    if (rest != 0) Ops::Store(last, Ops::Load(dst + DstBytes * (n - lanes)));
    // (Two vectors a pass: the loop's own count and branch are a large part
    // of a 128-bit step.)
#pragma GCC unroll 2
    for (int32_t i = head; i < end; i += lanes) step(dst + DstBytes * i, dst + DstBytes * i, src + SrcBytes * i);
    if (head != 0) step(dst, first, src);
    if (rest != 0) step(dst + DstBytes * (n - lanes), last, src + SrcBytes * (n - lanes));
  }
  (void)sizeof(Vec);
}
