#include "library/movie/yuv_tables.h"

#include <emmintrin.h>

#include "library/movie/yuv_convert_simd.h"

YuvToRgbTableSet YuvToRgbTables;

int BuildYuvToRgbTables() {
  YuvToRgbTableSet& t = YuvToRgbTables;
  for (int32_t i = -512; i < 768; ++i) t.clamp[i + 512] = static_cast<uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
  for (int32_t k = 0; k < 256; ++k) {
    t.y[k] = YuvYStep * k + YuvYBase;
    t.crR[k] = YuvCrRStep * k + YuvCrRBase;
    t.cbG[k] = YuvCbGStep * k + YuvCbGBase;
    t.crG[k] = YuvCrGStep * k + YuvCrGBase;
    t.cbB[k] = YuvCbBStep * k + YuvCbBBase;
  }
  return 0;
}

namespace {

struct Sse2Ops {
  using V = __m128i;
  static constexpr int32_t kPixels = 16;
  static V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static V LoadWidenHalf(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const V*>(p)), _mm_setzero_si128());
  }
  static void Store(uint32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set32(int32_t v) { return _mm_set1_epi32(v); }
  static V Slli16(V a, int n) { return _mm_slli_epi16(a, n); }
  static V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V Madd16(V a, V b) { return _mm_madd_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  // The high words of a's and b's 32-bit lanes, a's low in each lane.
  static V HighWords(V a, V b) {
    return _mm_or_si128(_mm_srli_epi32(a, 16), _mm_and_si128(b, _mm_set1_epi32(static_cast<int32_t>(0xFFFF0000u))));
  }
  static V PackUs16(V a, V b) { return _mm_packus_epi16(a, b); }
  static V ForStores(V a) { return a; }  // one lane: already in order
};

}  // namespace

int32_t ConvertYuvRowsSse2(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                           uint32_t* out0, uint32_t* out1, int32_t width) {
  return yuvsimd::ConvertRows<Sse2Ops>(row0, row1, cb, cr, out0, out1, width);
}

int32_t YuvWidestLoops() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return YuvLoopsAvx512;
  if (__builtin_cpu_supports("avx2")) return YuvLoopsAvx2;
  return YuvLoopsSse2;
}

int32_t YuvConvertLoops = YuvWidestLoops();

namespace {

// One pixel, bytes B, G, R, 0xFF in memory order, from the luma term and
// the three chroma terms.
inline uint32_t Pixel(const uint8_t* clamp, int32_t l, int32_t b, int32_t g, int32_t r) {
  // Division truncates toward zero, as the tables are meant to be read.
  return static_cast<uint32_t>(clamp[(l + b) / 16384]) | static_cast<uint32_t>(clamp[(l + g) / 16384]) << 8 |
         static_cast<uint32_t>(clamp[(l + r) / 16384]) << 16 | 0xFF000000u;
}

YuvRowsFn RowsFunction() {
  switch (YuvConvertLoops) {
    case YuvLoopsAvx512:
      return ConvertYuvRowsAvx512;
    case YuvLoopsAvx2:
      return ConvertYuvRowsAvx2;
    default:
      return ConvertYuvRowsSse2;
  }
}

}  // namespace

void ConvertYuvToXrgb(const YuvPlanes& p, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* dest,
                      int32_t pitch) {
  const YuvToRgbTableSet& t = YuvToRgbTables;
  const uint8_t* clamp = t.clamp + 512;
  const YuvRowsFn vectorRows = RowsFunction();
  for (int32_t row = 0; row < height;) {
    const int32_t ly = y + row, cy = ly >> p.chromaShiftY;
    // Two rows at once when they share their chroma row.
    const int32_t count = p.chromaShiftY == 1 && row + 1 < height && ((ly + 1) >> 1) == cy ? 2 : 1;
    const uint8_t* cb = p.cb + static_cast<intptr_t>(cy) * p.chromaStride;
    const uint8_t* cr = p.cr + static_cast<intptr_t>(cy) * p.chromaStride;
    const uint8_t* luma[2];
    uint32_t* out[2];
    for (int32_t r = 0; r < count; ++r) {
      luma[r] = p.luma + static_cast<intptr_t>(ly + r) * p.lumaStride;
      out[r] = reinterpret_cast<uint32_t*>(dest + static_cast<intptr_t>(row + r) * pitch);
    }
    // Columns from..to of the rows, a pixel at a time.
    auto pixels = [&](int32_t from, int32_t to) {
      for (int32_t r = 0; r < count; ++r) {
        for (int32_t column = from; column < to; ++column) {
          const int32_t lx = x + column, cx = lx >> p.chromaShiftX;
          const int32_t u = cb[cx], v = cr[cx];
          out[r][column] = Pixel(clamp, t.y[luma[r][lx]], t.cbB[u], t.cbG[u] + t.crG[v], t.crR[v]);
        }
      }
    };
    int32_t column = 0;
    if (p.chromaShiftX == 1) {
      // One chroma pair serves two pixels: an odd first pixel alone, then
      // whole vectors of pairs.
      if (x & 1) {
        pixels(0, 1);
        column = 1;
      }
      const int32_t lx = x + column;
      column += vectorRows(luma[0] + lx, count == 2 ? luma[1] + lx : nullptr, cb + (lx >> 1), cr + (lx >> 1),
                           out[0] + column, count == 2 ? out[1] + column : nullptr, width - column);
    }
    pixels(column, width);
    row += count;
  }
}
