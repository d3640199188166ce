#include "library/graphics/color_format.h"

#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/pixel_bytes.h"

namespace {

// All bits of a pixel of the given size.
uint32_t AllPixelBits(int32_t bits) {
  if (bits >= 32) return 0xFFFFFFFFu;
  if (bits <= 0) return 0;
  return (1u << bits) - 1u;
}

// Lowest set bit and the run of set bits from there; 0 and 0 for no bits.
void MaskShiftWidth(uint32_t mask, uint8_t* shift, uint8_t* width) {
  *shift = 0;
  *width = 0;
  if (mask == 0) return;
  uint8_t s = 0;
  while (((mask >> s) & 1u) == 0) ++s;
  uint8_t w = 0;
  while (s + w < 32 && ((mask >> (s + w)) & 1u) != 0) ++w;
  *shift = s;
  *width = w;
}

// An 8-bit channel value brought to a channel of the given width by dropping
// (or, past 8 bits, adding) low bits.
uint32_t FromByte(uint32_t c, uint8_t width) {
  c &= 0xFFu;
  return width <= 8 ? c >> (8 - width) : c << (width - 8);
}

// c * 255 / (2^width - 1), the full-scale stretch of a channel to 8 bits.
int32_t ScaleToByte(uint32_t c, uint8_t width) {
  if (width == 0) return 0;
  uint64_t max = (width >= 32) ? 0xFFFFFFFFull : ((1ull << width) - 1u);
  return static_cast<int32_t>(static_cast<uint64_t>(c) * 255u / max);
}

uint32_t Channel(uint32_t pixel, uint32_t mask, uint8_t shift) { return (pixel & mask) >> shift; }

uint32_t PaletteEntryValue(const ColorFormat& format, uint8_t index) {
  const uint8_t* e = format.palette[index];
  return static_cast<uint32_t>(e[0]) | static_cast<uint32_t>(e[1]) << 8 |
         static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[3]) << 24;
}

// The moves of GetGraphImagePixelARGB: the channel's top bit to the top bit
// of its byte in A8R8G8B8.
uint32_t ChannelToArgbByte(uint32_t pixel, uint32_t mask, uint8_t shift, uint8_t width,
                           int byteShift) {
  if (width == 0) return 0;
  int top = shift + width - 1;
  int target = byteShift + 7;
  uint32_t c = pixel & mask;
  c = (target >= top) ? c << (target - top) : c >> (top - target);
  return c & (0xFFu << byteShift);
}

// Allocates the pixels of a width x height image whose rows take
// bytesPerPixel x width bytes, rounded up to a multiple of `align`; -1 for
// negative sizes and for sizes past 2 GB.
int AllocatePixels(int32_t width, int32_t height, int32_t bytesPerPixel, int32_t align,
                   int32_t* pitch, uint8_t** out) {
  if (width < 0 || height < 0) return -1;
  int64_t row = static_cast<int64_t>(bytesPerPixel) * width;
  row = (row + align - 1) / align * align;
  int64_t size = row * height;
  if (size > 0x7FFFFFFF) return -1;
  void* p = TrackedAlloc(size == 0 ? 1 : static_cast<size_t>(size), __FILE__, __LINE__);
  if (p == nullptr) return -1;
  *pitch = static_cast<int32_t>(row);
  *out = static_cast<uint8_t*>(p);
  return 0;
}

bool InsideImage(const GraphImage* image, int32_t x, int32_t y) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(image->width) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(image->height);
}

uint8_t* PixelAddress(const GraphImage* image, int32_t x, int32_t y) {
  return image->pixels + static_cast<intptr_t>(y) * image->pitch +
         static_cast<intptr_t>(x) * image->format.bytesPerPixel;
}

void SwapBytes(uint8_t* a, uint8_t* b, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

void ReverseRow(uint8_t* row, int32_t width, int32_t bytes) {
  for (int32_t i = 0, j = width - 1; i < j; ++i, --j) SwapBytes(row + i * bytes, row + j * bytes, bytes);
}

}  // namespace

int SetColorFormatFromMasks(ColorFormat* format, int32_t bits, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, uint32_t alphaMask) {
  format->colorBits = static_cast<uint16_t>(bits);
  format->bytesPerPixel = static_cast<uint16_t>(bits / 8);
  format->compression = 0;
  format->redMask = redMask;
  format->greenMask = greenMask;
  format->blueMask = blueMask;
  format->alphaMask = alphaMask;
  MaskShiftWidth(redMask, &format->redShift, &format->redWidth);
  MaskShiftWidth(greenMask, &format->greenShift, &format->greenWidth);
  MaskShiftWidth(blueMask, &format->blueShift, &format->blueWidth);
  MaskShiftWidth(alphaMask, &format->alphaShift, &format->alphaWidth);
  format->unusedMask = AllPixelBits(bits) & ~(redMask | greenMask | blueMask | alphaMask);
  MaskShiftWidth(format->unusedMask, &format->unusedShift, &format->unusedWidth);
  return 0;
}

int RecalcUnusedBitsMask(ColorFormat* format) {
  int32_t sum = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
  if (sum == format->colorBits) {
    format->unusedMask = 0;
  } else {
    format->unusedMask = AllPixelBits(format->colorBits) &
                         ~(format->redMask | format->greenMask | format->blueMask | format->alphaMask);
  }
  return 0;
}

int SetColorFormatRGB24(ColorFormat* format) {
  return SetColorFormatFromMasks(format, 24, 0xFF0000u, 0xFF00u, 0xFFu, 0);
}

int SetColorFormatXRGB32(ColorFormat* format) {
  return SetColorFormatFromMasks(format, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0);
}

int SetColorFormatARGB32(ColorFormat* format) {
  return SetColorFormatFromMasks(format, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u);
}

int SetColorFormatPal8(ColorFormat* format) {
  // The masks describe a palette entry read as a 32-bit value, whose fourth
  // byte belongs to no channel.
  SetColorFormatFromMasks(format, 8, 0xFF0000u, 0xFF00u, 0xFFu, 0);
  format->unusedMask = 0xFF000000u;
  format->unusedShift = 24;
  format->unusedWidth = 8;
  return 0;
}

int SetColorFormatGrey8(ColorFormat* format) {
  SetColorFormatPal8(format);
  for (int i = 0; i < 256; ++i) {
    format->palette[i][0] = static_cast<uint8_t>(i);
    format->palette[i][1] = static_cast<uint8_t>(i);
    format->palette[i][2] = static_cast<uint8_t>(i);
    format->palette[i][3] = 0;
  }
  return 0;
}

const ColorFormat* GetStandardColorFormat(int32_t kind, int32_t alpha, int32_t paletted) {
  struct FormatEntry {
    int32_t bits;
    uint32_t r, g, b, a;
  };
  // Index: kind * 4 + alpha * 2 + paletted for kinds 0 and 1; 8 and 9 for kinds 2 and 3.
  static const FormatEntry kFormatEntries[10] = {
      {16, 0xF800u, 0x7E0u, 0x1Fu, 0},
      {8, 0xF800u, 0x7E0u, 0x1Fu, 0},
      {32, 0xF800u, 0x7E0u, 0x1Fu, 0xFF0000u},
      {8, 0xF800u, 0x7E0u, 0x1Fu, 0xFF0000u},
      {32, 0xFF0000u, 0xFF00u, 0xFFu, 0},
      {8, 0xFF0000u, 0xFF00u, 0xFFu, 0},
      {32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u},
      {8, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u},
      {8, 0xFFu, 0xFFu, 0xFFu, 0xFFu},
      {16, 0xFFFFu, 0xFFFFu, 0xFFFFu, 0xFFFFu},
  };
  struct Formats {
    ColorFormat format[10];
  };
  // All ten made on the first request, once whichever thread asks first.
  static const Formats formats = [] {
    Formats made{};
    for (int i = 0; i < 10; ++i) {
      const FormatEntry& s = kFormatEntries[i];
      SetColorFormatFromMasks(&made.format[i], s.bits, s.r, s.g, s.b, s.a);
    }
    return made;
  }();
  if (kind < 0 || kind > 3) return nullptr;
  int index = kind >= 2 ? 6 + kind : kind * 4 + (alpha != 0 ? 2 : 0) + (paletted != 0 ? 1 : 0);
  return &formats.format[index];
}

uint32_t MakeFormatColor(const ColorFormat* format, int32_t r, int32_t g, int32_t b, int32_t a) {
  r &= 0xFF;
  g &= 0xFF;
  b &= 0xFF;
  if (format->bytesPerPixel == 1) {
    int best = 0;
    int32_t bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
      const uint8_t* e = format->palette[i];
      int32_t dr = e[2] - r, dg = e[1] - g, db = e[0] - b;
      int32_t d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    return static_cast<uint32_t>(best);
  }
  uint32_t value = FromByte(r, format->redWidth) << format->redShift |
                   FromByte(g, format->greenWidth) << format->greenShift |
                   FromByte(b, format->blueWidth) << format->blueShift | format->unusedMask;
  if (format->alphaWidth != 0) value |= FromByte(a, format->alphaWidth) << format->alphaShift;
  return value;
}

int SplitFormatColor(const ColorFormat* format, uint32_t pixel, int32_t* r, int32_t* g, int32_t* b,
                     int32_t* a) {
  uint32_t cr = Channel(pixel, format->redMask, format->redShift);
  uint32_t cg = Channel(pixel, format->greenMask, format->greenShift);
  uint32_t cb = Channel(pixel, format->blueMask, format->blueShift);
  uint32_t ca = Channel(pixel, format->alphaMask, format->alphaShift);
  if (format->redWidth == 8 && format->greenWidth == 8 && format->blueWidth == 8) {
    if (r) *r = static_cast<int32_t>(cr);
    if (g) *g = static_cast<int32_t>(cg);
    if (b) *b = static_cast<int32_t>(cb);
    if (a && format->alphaWidth != 0) {
      *a = format->alphaWidth == 8 ? static_cast<int32_t>(ca) : ScaleToByte(ca, format->alphaWidth);
    }
    return 0;
  }
  if (r) *r = ScaleToByte(cr, format->redWidth);
  if (g) *g = ScaleToByte(cg, format->greenWidth);
  if (b) *b = ScaleToByte(cb, format->blueWidth);
  if (a) *a = ScaleToByte(ca, format->alphaWidth);
  return 0;
}

int GetGraphImagePixel(GraphImage* image, int32_t x, int32_t y, int32_t* r, int32_t* g, int32_t* b,
                       int32_t* a) {
  // Block data cannot be read pixel by pixel; an image that cannot be
  // decoded has no pixels to give.
  if (image->format.compression != 0 && DecodeCompressedGraphImage(image) != 0) return -1;
  if (image->pixels == nullptr || !InsideImage(image, x, y)) return -1;
  const uint8_t* p = PixelAddress(image, x, y);
  int32_t bytes = image->format.bytesPerPixel;
  if (bytes == 1) {
    const uint8_t* e = image->format.palette[*p];
    if (r) *r = e[2];
    if (g) *g = e[1];
    if (b) *b = e[0];
    if (a) *a = e[3];
    return 0;
  }
  if (bytes < 1 || bytes > 4) return -1;
  return SplitFormatColor(&image->format, ReadPixelBytes(p, bytes), r, g, b, a);
}

int SetGraphImagePixel(GraphImage* image, int32_t x, int32_t y, int32_t r, int32_t g, int32_t b,
                       int32_t a) {
  if (image->format.compression != 0 && DecodeCompressedGraphImage(image) != 0) return -1;
  if (image->pixels == nullptr || !InsideImage(image, x, y)) return -1;
  int32_t bytes = image->format.bytesPerPixel;
  if (bytes < 1 || bytes > 4) return -1;
  WritePixelBytes(PixelAddress(image, x, y), bytes, MakeFormatColor(&image->format, r, g, b, a));
  return 0;
}

uint32_t GetGraphImagePixelARGB(const GraphImage* image, int32_t x, int32_t y) {
  // Block data and places outside the image have no pixel value.
  if (image->pixels == nullptr || image->format.compression != 0 || !InsideImage(image, x, y)) {
    return 0;
  }
  const ColorFormat& f = image->format;
  const uint8_t* p = PixelAddress(image, x, y);
  uint32_t value;
  switch (f.bytesPerPixel) {
    case 1: value = PaletteEntryValue(f, *p); break;
    case 2: value = ReadPixelBytes(p, 2); break;
    case 3: value = ReadPixelBytes(p, 3) & 0xFFFFFFu; break;
    case 4: value = ReadPixelBytes(p, 4); break;
    default: return 0;
  }
  uint32_t argb = ChannelToArgbByte(value, f.redMask, f.redShift, f.redWidth, 16) |
                  ChannelToArgbByte(value, f.greenMask, f.greenShift, f.greenWidth, 8) |
                  ChannelToArgbByte(value, f.blueMask, f.blueShift, f.blueWidth, 0);
  if (f.alphaWidth != 0) argb |= ChannelToArgbByte(value, f.alphaMask, f.alphaShift, f.alphaWidth, 24);
  return argb;
}

int CreateGraphImage(int32_t width, int32_t height, GraphImage* image) {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  if (AllocatePixels(width, height, 4, 1, &pitch, &pixels) != 0) return -1;
  std::memset(&image->format, 0, sizeof(image->format));
  SetColorFormatXRGB32(&image->format);
  image->width = width;
  image->height = height;
  image->pitch = pitch;
  image->pixels = pixels;
  image->mipLevels = 0;
  return 0;
}

int CreateGraphImageARGB(int32_t width, int32_t height, GraphImage* image) {
  if (CreateGraphImage(width, height, image) != 0) return -1;
  SetColorFormatARGB32(&image->format);
  return 0;
}

int CreateGraphImageWithFormat(int32_t width, int32_t height, const GraphImage* model, GraphImage* out) {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  if (AllocatePixels(width, height, model->format.bytesPerPixel, 4, &pitch, &pixels) != 0) return -1;
  out->format = model->format;
  out->width = width;
  out->height = height;
  out->pitch = pitch;
  out->pixels = pixels;
  out->mipLevels = 0;
  return 0;
}

int ReleaseGraphImage(GraphImage* image) {
  if (image->pixels != nullptr) TrackedFree(image->pixels);
  std::memset(image, 0, sizeof(*image));
  return 0;
}

int ClearGraphImageRect(GraphImage* image, int32_t x, int32_t y, int32_t width, int32_t height) {
  // Kept inside the image, so a careless rectangle cannot write past it.
  int32_t left = x < 0 ? 0 : x;
  int32_t top = y < 0 ? 0 : y;
  int64_t right = static_cast<int64_t>(x) + width;
  int64_t bottom = static_cast<int64_t>(y) + height;
  if (right > image->width) right = image->width;
  if (bottom > image->height) bottom = image->height;
  if (image->pixels == nullptr || right <= left || bottom <= top) return 0;
  int32_t bytes = image->format.bytesPerPixel;
  size_t rowBytes = static_cast<size_t>(right - left) * bytes;
  for (int32_t row = top; row < bottom; ++row) std::memset(PixelAddress(image, left, row), 0, rowBytes);
  return 0;
}

int MirrorGraphImage(GraphImage* image) {
  if (image->width <= 0 || image->height <= 0) return -1;
  // Blocks cannot be mirrored: the image is decoded first.
  if (image->format.compression != 0 && DecodeCompressedGraphImage(image) != 0) return -1;
  int32_t bytes = image->format.bytesPerPixel;
  if (bytes < 1 || bytes > 4 || image->pixels == nullptr) return 0;
  for (int32_t row = 0; row < image->height; ++row) {
    ReverseRow(PixelAddress(image, 0, row), image->width, bytes);
  }
  return 0;
}

int RotateGraphImage180(GraphImage* image) {
  if (image->format.compression != 0) return -1;
  int32_t w = image->width, h = image->height;
  int32_t bytes = image->format.bytesPerPixel;
  if (w <= 0 || h <= 0 || bytes < 1 || bytes > 4 || image->pixels == nullptr) return 0;
  for (int32_t row = 0; row < h / 2; ++row) {
    uint8_t* top = PixelAddress(image, 0, row);
    uint8_t* bottom = PixelAddress(image, 0, h - 1 - row);
    for (int32_t x = 0; x < w; ++x) SwapBytes(top + x * bytes, bottom + (w - 1 - x) * bytes, bytes);
  }
  // The middle row of an odd height turns too: it is reversed in place.
  if (h % 2 != 0) ReverseRow(PixelAddress(image, 0, h / 2), w, bytes);
  return 0;
}
