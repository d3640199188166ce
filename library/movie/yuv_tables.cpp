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

void ConvertYuvToXrgb(const YuvPlanes& p, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* dest,
                      int32_t pitch) {
  const YuvToRgbTableSet& t = YuvToRgbTables;
  const uint8_t* clamp = t.clamp + 512;
  for (int32_t row = 0; row < height; ++row) {
    const int32_t ly = y + row, cy = ly >> p.chromaShiftY;
    const uint8_t* luma = p.luma + static_cast<intptr_t>(ly) * p.lumaStride;
    const uint8_t* cb = p.cb + static_cast<intptr_t>(cy) * p.chromaStride;
    const uint8_t* cr = p.cr + static_cast<intptr_t>(cy) * p.chromaStride;
    uint8_t* out = dest + static_cast<intptr_t>(row) * pitch;
    for (int32_t column = 0; column < width; ++column) {
      const int32_t lx = x + column, cx = lx >> p.chromaShiftX;
      const int32_t l = t.y[luma[lx]];
      const int32_t u = cb[cx], v = cr[cx];
      // Division truncates toward zero, as the tables are meant to be read.
      out[0] = clamp[(l + t.cbB[u]) / 16384];
      out[1] = clamp[(l + t.cbG[u] + t.crG[v]) / 16384];
      out[2] = clamp[(l + t.crR[v]) / 16384];
      out[3] = 0xFF;
      out += 4;
    }
  }
}
