#include "library/graphics/blend_tables.h"

int32_t BlendDiffTable[256][512];
int32_t BlendScaleTable[256][256];
uint8_t Blend6BitTable[64][64][64];
uint8_t MaskRampTable[256];

int BuildBlendTables() {
  for (int32_t p = 0; p < 256; ++p) {
    for (int32_t k = 0; k < 511; ++k) BlendDiffTable[p][k] = ((k - 255) * p) / 255;
    BlendDiffTable[p][511] = 0;
    for (int32_t v = 0; v < 256; ++v) BlendScaleTable[p][v] = v * p / 255;
  }
  for (int32_t a = 0; a < 64; ++a)
    for (int32_t s = 0; s < 64; ++s)
      for (int32_t d = 0; d < 64; ++d)
        Blend6BitTable[a][s][d] = static_cast<uint8_t>((s * a + d * (63 - a)) / 63);
  return 0;
}

int BuildMaskRampTable(int32_t border, int32_t range) {
  border = border < 0 ? 0 : border > 255 ? 255 : border;
  range = range < 0 ? 0 : range > 255 ? 255 : range;
  const int32_t offset = 256 - ((65536 / (range + 1) + 256) * border) / 256;
  for (int32_t k = 0; k < 256; ++k) {
    int32_t v = k * 256 / (range + 1) + offset;
    MaskRampTable[k] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return 0;
}
