// Small encoders for the image tests: each writes a file of one format from
// header fields and pixels the test chooses, so every variant a decoder
// accepts (and every way to damage one) can be made on the spot.
#pragma once

#include <gtest/gtest.h>
// (The system stand-in's TRUE and FALSE come before libjpeg's macros of
// those names, whichever file of a batch includes this one first.)
#include "platform/win32/win32_types.h"
#include <jpeglib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "library/file/memory_stream.h"
#include "library/graphics/image_decoders.h"

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Put32Be(Bytes& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A colour with alpha, as the tests compare pixels.
struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Rgba& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

// A value that differs from pixel to pixel.
inline uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^ seed * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

// The pixel as GetGraphImagePixel reads it (palette entries for 8 bits).
inline Rgba PixelAt(GraphImage* image, int x, int y) {
  int32_t r = 0, g = 0, b = 0, a = 0;
  EXPECT_EQ(GetGraphImagePixel(image, x, y, &r, &g, &b, &a), 0);
  return {r, g, b, a};
}

// Every pixel of the image against the expected colour (alpha compared only
// when compareAlpha).
inline void ExpectPixels(GraphImage* image, int width, int height, const std::function<Rgba(int, int)>& expected,
                         bool compareAlpha = true, int tolerance = 0) {
  ASSERT_EQ(image->width, width);
  ASSERT_EQ(image->height, height);
  int failures = 0;
  for (int y = 0; y < height && failures < 5; ++y) {
    for (int x = 0; x < width && failures < 5; ++x) {
      Rgba got = PixelAt(image, x, y), want = expected(x, y);
      if (!compareAlpha) got.a = want.a;
      bool near = std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
                  std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance;
      if (!near) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << got << ", expected " << want;
        ++failures;
      }
    }
  }
}

// Runs a decoder over bytes held in a memory stream.
inline int DecodeBytes(int (*decoder)(DecoderStream*, GraphImage*), const Bytes& bytes, GraphImage* image) {
  DecoderStream stream{*GetMemoryStreamInterface(), 0};
  stream.handle = reinterpret_cast<uintptr_t>(OpenMemoryStream(bytes.data(), static_cast<uint32_t>(bytes.size())));
  std::memset(image, 0, sizeof *image);
  int result = decoder(&stream, image);
  stream.ops.Close(stream.handle);
  return result;
}

// ---------------------------------------------------------------- BMP

struct BmpLayout {
  int32_t width = 1, height = 1;  // a negative height is top-down
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  std::vector<uint32_t> colors;  // 0x00RRGGBB, written as the colour table
  std::vector<uint32_t> masks;   // written behind the header (bit fields)
  Bytes pixels;                  // as stored in the file
};

inline Bytes MakeBmp(const BmpLayout& layout) {
  Bytes info;
  Put32(info, layout.headerSize);
  Put32(info, static_cast<uint32_t>(layout.width));
  Put32(info, static_cast<uint32_t>(layout.height));
  Put16(info, 1);
  Put16(info, layout.bits);
  Put32(info, layout.compression);
  Put32(info, static_cast<uint32_t>(layout.pixels.size()));
  for (int i = 0; i < 4; ++i) Put32(info, 0);
  for (uint32_t m : layout.masks) Put32(info, m);
  info.resize(std::max<size_t>(info.size(), layout.headerSize));
  for (uint32_t c : layout.colors) Put32(info, c);
  Bytes out = {'B', 'M'};
  Put32(out, static_cast<uint32_t>(14 + info.size() + layout.pixels.size()));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(14 + info.size()));
  Append(out, info);
  Append(out, layout.pixels);
  return out;
}

// Rows of `bits`-bit values (1 to 32), padded to 4 bytes, in file order:
// bottom row first unless topDown.
inline Bytes PackRows(int width, int height, int bits, bool topDown, const std::function<uint32_t(int, int)>& value) {
  size_t rowBytes = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  Bytes out(rowBytes * height, 0);
  for (int r = 0; r < height; ++r) {
    int y = topDown ? r : height - 1 - r;
    uint8_t* row = out.data() + rowBytes * r;
    for (int x = 0; x < width; ++x) {
      uint32_t v = value(x, y);
      if (bits < 8) {
        int shift = 8 - bits - (x * bits) % 8;
        row[x * bits / 8] |= static_cast<uint8_t>(v << shift);
      } else {
        for (int i = 0; i < bits / 8; ++i) row[x * bits / 8 + i] = static_cast<uint8_t>(v >> (8 * i));
      }
    }
  }
  return out;
}

// ---------------------------------------------------------------- TGA

struct TgaLayout {
  uint8_t type = 2;
  uint8_t pixelBits = 24;
  uint8_t descriptor = 0x20;
  int width = 1, height = 1;
  Bytes id;
  uint16_t mapFirst = 0;
  uint8_t mapEntryBits = 0;
  Bytes colorMap;  // entries of mapEntryBits, back to back
  uint16_t xOrigin = 0;
  Bytes data;      // pixels or packets as stored
  bool footer = false;
};

inline Bytes MakeTga(const TgaLayout& layout) {
  Bytes out;
  out.push_back(static_cast<uint8_t>(layout.id.size()));
  out.push_back(layout.colorMap.empty() ? 0 : 1);
  out.push_back(layout.type);
  Put16(out, layout.mapFirst);
  Put16(out, layout.mapEntryBits == 0 ? 0 : static_cast<uint32_t>(layout.colorMap.size() / ((layout.mapEntryBits + 7) / 8)));
  out.push_back(layout.mapEntryBits);
  Put16(out, layout.xOrigin);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(layout.width));
  Put16(out, static_cast<uint32_t>(layout.height));
  out.push_back(layout.pixelBits);
  out.push_back(layout.descriptor);
  Append(out, layout.id);
  Append(out, layout.colorMap);
  Append(out, layout.data);
  if (layout.footer) {
    Put32(out, 0);
    Put32(out, 0);
    const char* signature = "TRUEVISION-XFILE.";
    out.insert(out.end(), signature, signature + 18);
  }
  return out;
}

// ---------------------------------------------------------------- DDS

struct DdsLayout {
  uint32_t width = 4, height = 4;
  uint32_t flags = 0x1007;
  uint32_t pitch = 0;
  uint32_t mipCount = 0;
  uint32_t pixelFlags = 0x4;
  const char* fourCC = "DXT1";
  uint32_t rgbBits = 0;
  uint32_t masks[4] = {};
  uint32_t caps = 0x1000;
  Bytes data;
};

inline Bytes MakeDds(const DdsLayout& layout) {
  Bytes out = {'D', 'D', 'S', ' '};
  Put32(out, 124);
  Put32(out, layout.flags);
  Put32(out, layout.height);
  Put32(out, layout.width);
  Put32(out, layout.pitch);
  Put32(out, 0);  // depth
  Put32(out, layout.mipCount);
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  Put32(out, 32);  // pixel format size
  Put32(out, layout.pixelFlags);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(layout.fourCC[i]));
  Put32(out, layout.rgbBits);
  for (uint32_t m : layout.masks) Put32(out, m);
  Put32(out, layout.caps);
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  Append(out, layout.data);
  return out;
}

// ---------------------------------------------------------------- BGRA

inline Bytes MakeBgra(uint32_t depth, uint32_t width, uint32_t height, const Bytes& pixels) {
  Bytes out = {'B', 'G', 'R', 'A'};
  Put32(out, depth);
  Put32(out, width);
  Put32(out, height);
  Append(out, pixels);
  return out;
}

// ---------------------------------------------------------------- PNG

inline void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32Be(out, static_cast<uint32_t>(data.size()));
  Bytes body(type, type + 4);
  Append(body, data);
  Append(out, body);
  Put32Be(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

struct PngLayout {
  uint32_t width = 1, height = 1;
  uint8_t bitDepth = 8;
  uint8_t colorType = 2;
  Bytes rows;     // packed rows without filter bytes
  Bytes palette;  // PLTE: red, green, blue per entry
  Bytes trns;     // tRNS as stored
  bool interlaced = false;  // Adam7 (whole-byte pixels only)
};

inline Bytes MakePng(const PngLayout& layout) {
  static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  size_t rowBytes = (static_cast<size_t>(layout.width) * kChannels[layout.colorType] * layout.bitDepth + 7) / 8;
  Bytes raw;
  if (layout.interlaced) {
    // The seven passes, each a picture of its own of every step-th pixel
    // from its start.
    const size_t pixelBytes = kChannels[layout.colorType] * layout.bitDepth / 8;
    const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& p : passes) {
      if (p[0] >= layout.width || p[1] >= layout.height) continue;
      for (uint32_t y = p[1]; y < layout.height; y += p[3]) {
        raw.push_back(0);
        for (uint32_t x = p[0]; x < layout.width; x += p[2]) {
          auto at = layout.rows.begin() + static_cast<ptrdiff_t>(y * rowBytes + x * pixelBytes);
          raw.insert(raw.end(), at, at + static_cast<ptrdiff_t>(pixelBytes));
        }
      }
    }
  } else {
    for (uint32_t y = 0; y < layout.height; ++y) {
      raw.push_back(0);  // filter: none
      raw.insert(raw.end(), layout.rows.begin() + y * rowBytes, layout.rows.begin() + (y + 1) * rowBytes);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  EXPECT_EQ(compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
  packed.resize(packedSize);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32Be(header, layout.width);
  Put32Be(header, layout.height);
  header.insert(header.end(), {layout.bitDepth, layout.colorType, 0, 0, static_cast<uint8_t>(layout.interlaced)});
  PutChunk(out, "IHDR", header);
  if (!layout.palette.empty()) PutChunk(out, "PLTE", layout.palette);
  if (!layout.trns.empty()) PutChunk(out, "tRNS", layout.trns);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

// ---------------------------------------------------------------- JPEG

// A baseline JPEG of 1 (grey), 3 (RGB) or 4 (CMYK, with the Adobe marker
// libjpeg writes for it) components, samples interleaved; progressive with
// libjpeg's standard scans when asked.
inline Bytes MakeJpeg(int width, int height, int components, const Bytes& samples, int quality = 100,
                      bool progressive = false) {
  jpeg_compress_struct object{};
  jpeg_error_mgr error{};
  object.err = jpeg_std_error(&error);
  jpeg_create_compress(&object);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&object, &buffer, &size);
  object.image_width = static_cast<JDIMENSION>(width);
  object.image_height = static_cast<JDIMENSION>(height);
  object.input_components = components;
  object.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&object);
  jpeg_set_quality(&object, quality, TRUE);
  for (int i = 0; i < object.num_components; ++i) {  // no subsampled colour
    object.comp_info[i].h_samp_factor = 1;
    object.comp_info[i].v_samp_factor = 1;
  }
  if (progressive) jpeg_simple_progression(&object);
  jpeg_start_compress(&object, TRUE);
  while (object.next_scanline < object.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(samples.data()) + object.next_scanline * width * components;
    jpeg_write_scanlines(&object, &row, 1);
  }
  jpeg_finish_compress(&object);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&object);
  free(buffer);
  return out;
}
