// The AVX-512 form of the loop that lays inked glyphs onto 32-bit pixels
// (this file is compiled for AVX-512 F, BW and VL; its function runs only
// when the processor has them, GlyphUseAvx512). A row of up to 16 pixels is
// one vector; the pixels past the box are masked off, neither read nor
// written.
//
// Each 16-bit half of a pixel is mixed whole, with no unpacking of bytes:
// the low bytes (bytes 0 and 2) as d & 0xFF, the high bytes (bytes 1 and 3)
// as d >> 8, each moved by ((s - d) x 128 x w) >> 16 with the weights w of
// the ink (2 x alpha, 512 for alpha 255; byte 3 only takes 512), which
// gives floor((d x (256 - a) + s x a) / 256), or s where w is 512. Every
// byte stays within 0 to 255, so the two moves are added to the pixel's
// 16-bit halves as they are, the high one shifted up a byte.
#include <immintrin.h>

#include "library/text/glyph_blend.h"

void BlendInkedGlyphBoxes32Avx512(const GlyphBox* boxes, int32_t count) {
  const __m512i lowBytes = _mm512_set1_epi16(0x00FF), keepTop = _mm512_set1_epi32(0x0200FFFF);
  // Weight k into both 16-bit halves of pixel k.
  const __m512i pairs = _mm512_set_epi16(15, 15, 14, 14, 13, 13, 12, 12, 11, 11, 10, 10, 9, 9, 8, 8,  //
                                         7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0);
  for (int32_t i = 0; i < count; ++i) {
    const GlyphBox& box = boxes[i];
    const int64_t weightPitch = 2 * static_cast<int64_t>(box.cellPitch), colourPitch = 2 * weightPitch;
    const int64_t destPitch = box.destPitch;
    const int32_t height = box.height;
    for (int32_t x = 0; x < box.width; x += 16) {
      const int32_t n = box.width - x < 16 ? box.width - x : 16;
      const __mmask16 part = static_cast<__mmask16>((1u << n) - 1);
      const uint8_t* weights = box.cells + 2 * static_cast<int64_t>(x);
      const uint8_t* colours = box.colours + 4 * static_cast<int64_t>(x);
      uint8_t* dest = box.dest + 4 * static_cast<int64_t>(x);
      for (int32_t y = 0; y < height; ++y, weights += weightPitch, colours += colourPitch, dest += destPitch) {
        const __m256i w16 = _mm256_maskz_loadu_epi16(part, weights);
        if (_mm256_testz_si256(w16, w16)) continue;  // every pixel keeps its value
        const __m512i wEven = _mm512_permutexvar_epi16(pairs, _mm512_castsi256_si512(w16));  // bytes 0 and 2
        const __m512i wOdd = _mm512_and_si512(wEven, keepTop);                                // bytes 1 and 3
        const __m512i s = _mm512_maskz_loadu_epi32(part, colours), d = _mm512_maskz_loadu_epi32(part, dest);
        const __m512i dEven = _mm512_and_si512(d, lowBytes), sEven = _mm512_and_si512(s, lowBytes);
        const __m512i dOdd = _mm512_srli_epi16(d, 8), sOdd = _mm512_srli_epi16(s, 8);
        const __m512i even = _mm512_mulhi_epi16(_mm512_slli_epi16(_mm512_sub_epi16(sEven, dEven), 7), wEven);
        const __m512i odd = _mm512_mulhi_epi16(_mm512_slli_epi16(_mm512_sub_epi16(sOdd, dOdd), 7), wOdd);
        _mm512_mask_storeu_epi32(dest, part, _mm512_add_epi16(_mm512_add_epi16(d, even), _mm512_slli_epi16(odd, 8)));
      }
    }
  }
}
