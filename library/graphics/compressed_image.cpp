// Decoding of DXT1 to DXT5 (S3TC) 4x4-block images into 32-bit ARGB pixels.
#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/pixel_bytes.h"

namespace {

constexpr uint32_t kDxt1 = 1, kDxt2 = 2, kDxt3 = 3, kDxt4 = 4, kDxt5 = 5;

uint32_t Read16(const uint8_t* p) { return ReadPixelBytes(p, 2); }

uint32_t Read32(const uint8_t* p) { return ReadPixelBytes(p, 4); }

struct Rgba {
  uint32_t r, g, b, a;
};

Rgba Widen565(uint32_t c) {
  return {((c >> 11) & 31u) * 255u / 31u, ((c >> 5) & 63u) * 255u / 63u, (c & 31u) * 255u / 31u, 255u};
}

// The four colours of a colour block; the three-colour form (with the fourth
// the average at alpha 0) only for DXT1 blocks whose first colour is not
// above the second.
void ColorBlockPalette(const uint8_t* block, bool dxt1, Rgba out[4]) {
  uint32_t c0 = Read16(block), c1 = Read16(block + 2);
  Rgba a = Widen565(c0), b = Widen565(c1);
  out[0] = a;
  out[1] = b;
  if (!dxt1 || c0 > c1) {
    out[2] = {(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3, 255u};
    out[3] = {(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3, 255u};
  } else {
    out[2] = {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2, 255u};
    out[3] = out[2];
    out[3].a = 0;
  }
}

// The eight values of an interpolated alpha block.
void AlphaBlockPalette(const uint8_t* block, uint32_t out[8]) {
  uint32_t a0 = block[0], a1 = block[1];
  out[0] = a0;
  out[1] = a1;
  if (a0 > a1) {
    for (uint32_t i = 1; i <= 6; ++i) out[1 + i] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (uint32_t i = 1; i <= 4; ++i) out[1 + i] = ((5 - i) * a0 + i * a1) / 5;
    out[6] = 0;
    out[7] = 255;
  }
}

uint32_t Unpremultiply(uint32_t c, uint32_t alpha) {
  if (alpha == 0) return 0;
  uint32_t v = c * 255u / alpha;
  return v > 255u ? 255u : v;
}

// Decodes one block into the 4x4 pixels at dest, writing only the columns
// and rows below cols and rows (the partial blocks at the right and bottom).
void DecodeBlock(const uint8_t* block, uint32_t kind, uint8_t* dest, int32_t pitch, int32_t cols,
                 int32_t rows) {
  Rgba pixels[16];
  const uint8_t* colorBlock = kind == kDxt1 ? block : block + 8;
  Rgba colors[4];
  ColorBlockPalette(colorBlock, kind == kDxt1, colors);
  uint32_t indices = Read32(colorBlock + 4);
  for (int i = 0; i < 16; ++i) pixels[i] = colors[(indices >> (2 * i)) & 3u];

  if (kind == kDxt2 || kind == kDxt3) {
    uint64_t bits = static_cast<uint64_t>(Read32(block)) | static_cast<uint64_t>(Read32(block + 4)) << 32;
    for (int i = 0; i < 16; ++i) pixels[i].a = static_cast<uint32_t>((bits >> (4 * i)) & 15u) * 255u / 15u;
  } else if (kind == kDxt4 || kind == kDxt5) {
    uint32_t alphas[8];
    AlphaBlockPalette(block, alphas);
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) pixels[i].a = alphas[(bits >> (3 * i)) & 7u];
  }
  if (kind == kDxt2 || kind == kDxt4) {
    for (Rgba& p : pixels) {
      p.r = Unpremultiply(p.r, p.a);
      p.g = Unpremultiply(p.g, p.a);
      p.b = Unpremultiply(p.b, p.a);
    }
  }
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* row = dest + static_cast<intptr_t>(y) * pitch;
    for (int32_t x = 0; x < cols; ++x) {
      const Rgba& p = pixels[y * 4 + x];
      row[4 * x + 0] = static_cast<uint8_t>(p.b);
      row[4 * x + 1] = static_cast<uint8_t>(p.g);
      row[4 * x + 2] = static_cast<uint8_t>(p.r);
      row[4 * x + 3] = static_cast<uint8_t>(p.a);
    }
  }
}

// A side of mip level `level`: halved per level, at least 1.
int32_t LevelSize(int32_t size, uint32_t level) {
  if (level == 0) return size;
  int32_t s = size >> level;
  return s < 1 ? 1 : s;
}

}  // namespace

int64_t CompressedLevelSize(uint32_t compression, int32_t width, int32_t height) {
  if (compression < kDxt1 || compression > kDxt5 || width < 0 || height < 0) return 0;
  int64_t blocksX = (static_cast<int64_t>(width) + 3) / 4;
  int64_t blocksY = (static_cast<int64_t>(height) + 3) / 4;
  if (blocksX < 1) blocksX = 1;
  if (blocksY < 1) blocksY = 1;
  return blocksX * blocksY * (compression == kDxt1 ? 8 : 16);
}

int DecodeCompressedGraphImage(GraphImage* image) {
  uint32_t kind = image->format.compression;
  if (kind == 0) return 0;
  if (kind > kDxt5 || image->width < 0 || image->height < 0 || image->pixels == nullptr) return -1;

  // Every level of a mip chain is decoded, so the block keeps holding the
  // levels one after the other.
  uint32_t levels = image->mipLevels == 0 ? 1 : image->mipLevels;
  int64_t total = 0;
  for (uint32_t l = 0; l < levels && l < 32; ++l) {
    total += static_cast<int64_t>(LevelSize(image->width, l)) * LevelSize(image->height, l) * 4;
    if (total > 0x7FFFFFFF) return -1;
  }
  uint8_t* out = static_cast<uint8_t*>(TrackedAlloc(total == 0 ? 1 : static_cast<size_t>(total), __FILE__, __LINE__));
  if (out == nullptr) return -1;

  const uint8_t* src = image->pixels;
  uint8_t* dest = out;
  int32_t blockBytes = kind == kDxt1 ? 8 : 16;
  for (uint32_t l = 0; l < levels && l < 32; ++l) {
    int32_t w = LevelSize(image->width, l), h = LevelSize(image->height, l);
    int32_t pitch = 4 * w;
    for (int32_t by = 0; by < h; by += 4) {
      for (int32_t bx = 0; bx < w; bx += 4) {
        int32_t cols = w - bx < 4 ? w - bx : 4;
        int32_t rows = h - by < 4 ? h - by : 4;
        DecodeBlock(src, kind, dest + static_cast<intptr_t>(by) * pitch + 4 * bx, pitch, cols, rows);
        src += blockBytes;
      }
    }
    dest += static_cast<intptr_t>(pitch) * h;
  }

  TrackedFree(image->pixels);
  image->pixels = out;
  image->pitch = 4 * image->width;
  SetColorFormatARGB32(&image->format);
  return 0;
}
