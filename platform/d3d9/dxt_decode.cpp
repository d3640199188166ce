#include "platform/d3d9/dxt_decode.h"

namespace d3d9 {

namespace {

struct Texel {
  uint8_t b, g, r, a;
};

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A 5- or 6-bit channel widened by repeating its top bits.
uint8_t Widen(uint32_t v, int bits) {
  return static_cast<uint8_t>(bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4));
}

Texel Colour565(uint16_t c) { return {Widen(c & 31, 5), Widen(c >> 5 & 63, 6), Widen(c >> 11, 5), 255}; }

Texel Mix(const Texel& x, const Texel& y, uint32_t wx, uint32_t wy, uint32_t sum) {
  return {static_cast<uint8_t>((x.b * wx + y.b * wy) / sum), static_cast<uint8_t>((x.g * wx + y.g * wy) / sum),
          static_cast<uint8_t>((x.r * wx + y.r * wy) / sum), 255};
}

// The sixteen colours of a colour block; `opaque` forces the four-colour form.
void ColourBlock(const uint8_t* p, bool opaque, Texel out[16]) {
  const uint16_t c0 = Word(p), c1 = Word(p + 2);
  Texel table[4] = {Colour565(c0), Colour565(c1), {}, {}};
  if (opaque || c0 > c1) {
    table[2] = Mix(table[0], table[1], 2, 1, 3);
    table[3] = Mix(table[0], table[1], 1, 2, 3);
  } else {
    table[2] = Mix(table[0], table[1], 1, 1, 2);
    table[3] = {0, 0, 0, 0};
  }
  const uint32_t bits = static_cast<uint32_t>(Word(p + 4)) | static_cast<uint32_t>(Word(p + 6)) << 16;
  for (int i = 0; i < 16; ++i) out[i] = table[bits >> (2 * i) & 3];
}

void ExplicitAlpha(const uint8_t* p, Texel out[16]) {
  for (int i = 0; i < 16; ++i) {
    const uint32_t v = p[i / 2] >> (4 * (i & 1)) & 15;
    out[i].a = static_cast<uint8_t>(v * 17);
  }
}

void InterpolatedAlpha(const uint8_t* p, Texel out[16]) {
  const uint32_t a0 = p[0], a1 = p[1];
  uint32_t table[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t i = 1; i < 7; ++i) table[1 + i] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (uint32_t i = 1; i < 5; ++i) table[1 + i] = ((5 - i) * a0 + i * a1) / 5;
    table[6] = 0;
    table[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(p[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) out[i].a = static_cast<uint8_t>(table[bits >> (3 * i) & 7]);
}

}  // namespace

void DecodeDxtLevel(D3DFORMAT format, const uint8_t* blocks, uint32_t width, uint32_t height, uint8_t* out,
                    size_t outPitch) {
  const bool dxt1 = format == D3DFMT_DXT1;
  const bool explicitAlpha = format == D3DFMT_DXT2 || format == D3DFMT_DXT3;
  const uint32_t blockBytes = dxt1 ? 8 : 16;
  for (uint32_t by = 0; by < height; by += 4)
    for (uint32_t bx = 0; bx < width; bx += 4, blocks += blockBytes) {
      Texel texels[16];
      ColourBlock(dxt1 ? blocks : blocks + 8, !dxt1, texels);
      if (explicitAlpha)
        ExplicitAlpha(blocks, texels);
      else if (!dxt1)
        InterpolatedAlpha(blocks, texels);
      for (uint32_t y = 0; y < 4 && by + y < height; ++y)
        for (uint32_t x = 0; x < 4 && bx + x < width; ++x) {
          uint8_t* d = out + (by + y) * outPitch + 4 * (bx + x);
          const Texel& t = texels[4 * y + x];
          d[0] = t.b;
          d[1] = t.g;
          d[2] = t.r;
          d[3] = t.a;
        }
    }
}

}  // namespace d3d9
