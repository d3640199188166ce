// DirectDraw surfaces: DXT1 to DXT5 block data, or packed pixels described
// by their masks, with or without a mip chain.
#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/image_decoders.h"

namespace {

constexpr uint32_t kHeaderPitch = 0x8;
constexpr uint32_t kHeaderMipCount = 0x20000;
constexpr uint32_t kPixelAlpha = 0x1;
constexpr uint32_t kPixelFourCC = 0x4;
constexpr uint32_t kPixelRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsMipMap = 0x400000;

// Levels from the full size down to 1 x 1.
uint32_t FullChainLength(uint32_t width, uint32_t height) {
  uint32_t side = width > height ? width : height;
  uint32_t levels = 1;
  while (side > 1) {
    side >>= 1;
    ++levels;
  }
  return levels;
}

int32_t LevelSide(uint32_t side, uint32_t level) {
  uint32_t s = side >> level;
  return static_cast<int32_t>(s < 1 ? 1 : s);
}

}  // namespace

int ReadDdsImage(DecoderStream* stream, GraphImage* image) {
  uint8_t magic[4];
  uint8_t h[124];
  if (!DecoderStreamReadAll(stream, magic, sizeof magic) || std::memcmp(magic, "DDS", 3) != 0) return -1;
  if (!DecoderStreamReadAll(stream, h, sizeof h)) return -1;
  uint32_t flags = ReadLe32(h + 4), height = ReadLe32(h + 8), width = ReadLe32(h + 12);
  uint32_t headerPitch = ReadLe32(h + 16), mipCount = ReadLe32(h + 24);
  uint32_t pixelFlags = ReadLe32(h + 76), rgbBits = ReadLe32(h + 84), caps = ReadLe32(h + 104);
  if (!DecodedSizeAllowed(width, height)) return -1;

  uint32_t levels = 0;
  if ((flags & kHeaderMipCount) && (caps & kCapsMipMap) && (caps & kCapsComplex)) levels = mipCount;
  if (levels > FullChainLength(width, height)) return -1;

  ColorFormat format{};
  int64_t size = 0;
  int64_t pitch = 0;
  if (pixelFlags & kPixelFourCC) {
    // Only the DXT block formats are read.
    const uint8_t* fourCC = h + 80;
    if (std::memcmp(fourCC, "DXT", 3) != 0 || fourCC[3] < '1' || fourCC[3] > '5') return -1;
    uint32_t kind = static_cast<uint32_t>(fourCC[3] - '0');
    SetColorFormatFromMasks(&format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    format.colorBits = kind == 1 ? 4 : 8;
    format.compression = kind;
    // The levels are sized as the block decoder walks them: partial blocks
    // count, and a level's sides are halved down to 1.
    for (uint32_t l = 0; l < (levels > 1 ? levels : 1); ++l) {
      size += CompressedLevelSize(kind, LevelSide(width, l), LevelSide(height, l));
    }
  } else {
    if ((pixelFlags & kPixelRgb) && !(pixelFlags & kPixelAlpha)) return -1;
    if (rgbBits != 8 && rgbBits != 16 && rgbBits != 24 && rgbBits != 32) return -1;
    SetColorFormatFromMasks(&format, static_cast<int32_t>(rgbBits), ReadLe32(h + 88), ReadLe32(h + 92),
                            ReadLe32(h + 96), ReadLe32(h + 100));
    int64_t rowBytes = static_cast<int64_t>(rgbBits / 8) * width;
    pitch = (flags & kHeaderPitch) ? headerPitch : rowBytes;
    // Rows shorter than their pixels would overlap.
    if (pitch < rowBytes) return -1;
    int64_t levelSize = pitch * height;
    for (uint32_t l = 0; l < (levels > 1 ? levels : 1); ++l, levelSize /= 4) size += levelSize;
  }
  // No more bytes than the stream holds are asked for.
  if (size > DecoderStreamRemaining(stream) || pitch > INT32_MAX) return -1;

  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(size), __FILE__, __LINE__));
  if (pixels == nullptr) return -1;
  if (!DecoderStreamReadAll(stream, pixels, static_cast<uint32_t>(size))) {
    TrackedFree(pixels);
    return -1;
  }
  image->format = format;
  image->width = static_cast<int32_t>(width);
  image->height = static_cast<int32_t>(height);
  image->pitch = static_cast<int32_t>(pitch);
  image->pixels = pixels;
  image->mipLevels = levels;
  return 0;
}
