// The AVX2 form of the glyph loops (this file is compiled for AVX2; its
// functions run only when the processor has it). Only templates over the
// AVX2 operations are instantiated here, so no inline function is compiled
// for AVX2 on behalf of the rest of the program.
#include "library/text/glyph_blend_simd.h"

namespace {

struct Avx2Isa {
  using Ops = Avx2Ops;
  using V = __m256i;
  using Bytes = __m128i;  // sixteen bytes, one a pixel
  // 0xFF in the bytes of the part.
  static Bytes PartBytes(const glyph_simd::ChunkPart& part) {
    return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(glyph_simd::kBytesFrom + 16 - part.from)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyph_simd::kBytesTo + 16 - part.to)));
  }
  // A chunk's sixteen cell values (those outside keep cleared when partial)
  // in 16-bit lanes; false when all are 0.
  static bool Cells(const uint8_t* p, bool partial, Bytes keep, V* c) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (partial) bytes = _mm_and_si128(bytes, keep);
    if (_mm_testz_si128(bytes, bytes)) return false;
    *c = _mm256_cvtepu8_epi16(bytes);
    return true;
  }
  static V Keep16(const glyph_simd::ChunkPart& part) { return _mm256_cvtepi8_epi16(PartBytes(part)); }
  static bool IsZero(V v) { return _mm256_testz_si256(v, v) != 0; }
  static V Widen32(V c16, int half) {
    return _mm256_cvtepu16_epi32(half == 0 ? _mm256_castsi256_si128(c16) : _mm256_extracti128_si256(c16, 1));
  }
  static V UnpackLo8(V v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
  static V UnpackHi8(V v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
  static V PackUs16(V a, V b) { return _mm256_packus_epi16(a, b); }
  // (The packs work per 128-bit half.)
  static V PackSigned32(V a, V b) { return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8); }
  static V SpreadAlpha(V v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }
  // The channel weights of pixels 8 half to 8 half + 7 (see the SSE2 form):
  // UnpackLo8 holds pixels 0, 1 and 4, 5 of the eight, UnpackHi8 2, 3 and
  // 6, 7.
  static void ChannelWeights(V w, int half, V* wl, V* wh) {
    const V eight = _mm256_broadcastsi128_si256(half == 0 ? _mm256_castsi256_si128(w) : _mm256_extracti128_si256(w, 1));
    // Weight k is bytes 2k and 2k + 1; each pixel's four lanes take its weight.
    const V lo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 2, 3,  //
                                  8, 9, 8, 9, 8, 9, 8, 9, 10, 11, 10, 11, 10, 11, 10, 11);
    const V hi = _mm256_setr_epi8(4, 5, 4, 5, 4, 5, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7,  //
                                  12, 13, 12, 13, 12, 13, 12, 13, 14, 15, 14, 15, 14, 15, 14, 15);
    const V keep = _mm256_set_epi32(0x0200FFFF, -1, 0x0200FFFF, -1, 0x0200FFFF, -1, 0x0200FFFF, -1);
    *wl = _mm256_and_si256(_mm256_shuffle_epi8(eight, lo), keep);
    *wh = _mm256_and_si256(_mm256_shuffle_epi8(eight, hi), keep);
  }
  // The chunk's sixteen weights ordered for PairWeights: pixels 0 to 3 and
  // 8 to 11 in the low 128-bit lane, 4 to 7 and 12 to 15 in the high one.
  static V OrderWeights(V w) { return _mm256_permute4x64_epi64(w, 0xD8); }
  // The weights of pixels 8 half to 8 half + 7 (w from OrderWeights) in
  // both 16-bit halves of their 32 bits.
  static V PairWeights(V w, int half) { return half == 0 ? _mm256_unpacklo_epi16(w, w) : _mm256_unpackhi_epi16(w, w); }
  // words[values[i]] for the sixteen values, put together in registers.
  static void Gather(const uint16_t* values, const uint32_t* words, V* w) {
    for (int k = 0; k < 2; ++k) {
      auto at = [&](int i) { return _mm_cvtsi32_si128(static_cast<int32_t>(words[values[8 * k + i]])); };
      const __m128i lo = _mm_unpacklo_epi64(_mm_unpacklo_epi32(at(0), at(1)), _mm_unpacklo_epi32(at(2), at(3)));
      const __m128i hi = _mm_unpacklo_epi64(_mm_unpacklo_epi32(at(4), at(5)), _mm_unpacklo_epi32(at(6), at(7)));
      w[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
  }
};

// An inked glyph over 32-bit pixels, 8 pixels (one vector) at a time, so
// that a box's last pixels take at most one vector more (each pixel mixed
// as in the AVX-512 form).
void BlendInked32(const GlyphBox& box) {
  const __m256i lowBytes = _mm256_set1_epi16(0x00FF), keepTop = _mm256_set1_epi32(0x0200FFFF);
  // (Locals: the stores to the pixels could alias the box.)
  const uint8_t* const weights = box.cells;
  const uint8_t* const colours = box.colours;
  __m256i keep = _mm256_setzero_si256();
  auto prepare = [&](const glyph_simd::ChunkPart& part) { keep = _mm256_cvtepi8_epi32(Avx2Isa::PartBytes(part)); };
  auto chunk = [&](uint8_t* dest, int64_t at, bool partial) {
    // Weight k in the low 16 bits of pixel k's lane.
    __m256i w = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 2 * at)));
    if (partial) w = _mm256_and_si256(w, keep);
    if (_mm256_testz_si256(w, w)) return;  // every pixel keeps its value
    const __m256i wEven = _mm256_or_si256(w, _mm256_slli_epi32(w, 16)), wOdd = _mm256_and_si256(wEven, keepTop);
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colours + 4 * at));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest));
    const __m256i dEven = _mm256_and_si256(d, lowBytes), dOdd = _mm256_srli_epi16(d, 8);
    const __m256i even =
        _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(_mm256_and_si256(s, lowBytes), dEven), 7), wEven);
    const __m256i odd = _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), dOdd), 7), wOdd);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest),
                        _mm256_add_epi16(_mm256_add_epi16(d, even), _mm256_slli_epi16(odd, 8)));
  };
  auto single = [&](uint8_t* to, int64_t at) { BlendGlyphPixel(to, 4, InkedGlyphWord(box, at, 4)); };
  glyph_simd::ForEachChunk<8>(box, 4, prepare, chunk, single);
}

}  // namespace

void WriteEdgedGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge) {
  glyph_simd::WriteEdged<Avx2Isa>(box, pixelBytes, text, edge);
}

void BlendGlyphBoxesAvx2(const GlyphBox* boxes, int32_t count, int32_t pixelBytes, const GlyphInk& ink) {
  if (pixelBytes == 4 && ink.kind == GlyphInkKind::Inked) {
    for (int32_t i = 0; i < count; ++i) BlendInked32(boxes[i]);
    return;
  }
  glyph_simd::Blend<Avx2Isa>(boxes, count, pixelBytes, ink);
}
