#include "library/movie/yuv_tables.h"

YuvToRgbTableSet YuvToRgbTables;

int BuildYuvToRgbTables() {
  YuvToRgbTableSet& t = YuvToRgbTables;
  for (int32_t i = -512; i < 768; ++i) t.clamp[i + 512] = static_cast<uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
  for (int32_t k = 0; k < 256; ++k) {
    t.y[k] = 19070 * k - 305120;
    t.crR[k] = 26148 * k - 3346944;
    t.cbG[k] = 819968 - 6406 * k;
    t.crG[k] = 1705984 - 13320 * k;
    t.cbB[k] = 33062 * k - 4231936;
  }
  return 0;
}

namespace {

// One pixel, bytes B, G, R, 0xFF in memory order, from the luma term and
// the three chroma terms.
inline uint32_t Pixel(const uint8_t* clamp, int32_t l, int32_t b, int32_t g, int32_t r) {
  // Division truncates toward zero, as the tables are meant to be read.
  return static_cast<uint32_t>(clamp[(l + b) / 16384]) | static_cast<uint32_t>(clamp[(l + g) / 16384]) << 8 |
         static_cast<uint32_t>(clamp[(l + r) / 16384]) << 16 | 0xFF000000u;
}

}  // namespace

void ConvertYuvToXrgb(const YuvPlanes& p, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* dest,
                      int32_t pitch) {
  const YuvToRgbTableSet& t = YuvToRgbTables;
  const uint8_t* clamp = t.clamp + 512;
  for (int32_t row = 0; row < height; ++row) {
    const int32_t ly = y + row, cy = ly >> p.chromaShiftY;
    const uint8_t* luma = p.luma + static_cast<intptr_t>(ly) * p.lumaStride;
    const uint8_t* cb = p.cb + static_cast<intptr_t>(cy) * p.chromaStride;
    const uint8_t* cr = p.cr + static_cast<intptr_t>(cy) * p.chromaStride;
    auto* out = reinterpret_cast<uint32_t*>(dest + static_cast<intptr_t>(row) * pitch);
    int32_t column = 0;
    if (p.chromaShiftX == 1) {
      // One chroma pair serves two pixels: an odd first pixel alone, then pairs.
      if (x & 1) {
        const int32_t u = cb[x >> 1], v = cr[x >> 1];
        *out++ = Pixel(clamp, t.y[luma[x]], t.cbB[u], t.cbG[u] + t.crG[v], t.crR[v]);
        column = 1;
      }
      for (; column + 1 < width; column += 2) {
        const int32_t lx = x + column, cx = lx >> 1;
        const int32_t u = cb[cx], v = cr[cx];
        const int32_t b = t.cbB[u], g = t.cbG[u] + t.crG[v], r = t.crR[v];
        out[0] = Pixel(clamp, t.y[luma[lx]], b, g, r);
        out[1] = Pixel(clamp, t.y[luma[lx + 1]], b, g, r);
        out += 2;
      }
    }
    for (; column < width; ++column) {
      const int32_t lx = x + column, cx = lx >> p.chromaShiftX;
      const int32_t u = cb[cx], v = cr[cx];
      *out++ = Pixel(clamp, t.y[luma[lx]], t.cbB[u], t.cbG[u] + t.crG[v], t.crR[v]);
    }
  }
}
