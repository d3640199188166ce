// The TGA, DDS and BGRA readers.
#include <gtest/gtest.h>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "tests/graphics/image_fixtures.h"

namespace {

int Stretch(uint32_t c, int width) { return static_cast<int>(c * 255 / ((1u << width) - 1)); }

// A pixel value of `bytes` bytes in the TGA's colour layouts and its colour.
uint32_t TgaValue(int x, int y, int bytes) { return Hash(x, y, 11) & (bytes == 4 ? 0xFFFFFFFFu : bytes == 3 ? 0xFFFFFFu : 0x7FFFu); }

Rgba TgaColour(uint32_t v, int bytes) {
  if (bytes == 2) return {Stretch(v >> 10 & 31, 5), Stretch(v >> 5 & 31, 5), Stretch(v & 31, 5), 0};
  return {static_cast<int>(v >> 16 & 0xFF), static_cast<int>(v >> 8 & 0xFF), static_cast<int>(v & 0xFF),
          bytes == 4 ? static_cast<int>(v >> 24) : 0};
}

void PutValue(Bytes& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Run-length packets over a sequence of values: runs of two or more equal
// values as run packets, the rest as raw packets, at most 128 values each.
Bytes EncodePackets(const std::vector<uint32_t>& values, int bytes) {
  Bytes out;
  size_t i = 0;
  while (i < values.size()) {
    size_t run = 1;
    while (i + run < values.size() && run < 128 && values[i + run] == values[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      PutValue(out, values[i], bytes);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < values.size() && raw < 128 && values[i + raw] != values[i + raw - 1]) ++raw;
    if (i + raw < values.size() && raw > 1) --raw;  // leave the start of the next run
    out.push_back(static_cast<uint8_t>(raw - 1));
    for (size_t k = 0; k < raw; ++k) PutValue(out, values[i + k], bytes);
    i += raw;
  }
  return out;
}

struct TgaCase {
  const char* name;
  uint8_t type, bits, descriptor;
  int width, height;
  bool withId, footer;
  int mapFirst;  // colour-mapped: index of the first map entry
};

TEST(TgaReader, EveryTypeInEveryOrder) {
  const TgaCase cases[] = {
      {"24-bit bottom-up", 2, 24, 0x00, 3, 2, false, false, 0},
      {"32-bit top-down", 2, 32, 0x28, 3, 2, false, false, 0},
      {"16-bit right to left", 2, 16, 0x30, 3, 3, true, false, 0},
      {"24-bit bottom-up right to left", 2, 24, 0x10, 4, 3, false, true, 0},
      {"run-length 24-bit", 10, 24, 0x00, 5, 4, true, true, 0},
      {"run-length 32-bit top-down", 10, 32, 0x20, 7, 3, false, false, 0},
      {"colour-mapped 24-bit", 1, 24, 0x20, 3, 2, false, false, 2},
      {"run-length colour-mapped 16-bit", 9, 16, 0x00, 6, 3, false, true, 5},
  };
  for (const TgaCase& c : cases) {
    SCOPED_TRACE(c.name);
    int bytes = c.bits / 8;
    bool mapped = c.type == 1 || c.type == 9;
    bool bottomUp = (c.descriptor & 0x20) == 0, rightToLeft = (c.descriptor & 0x10) != 0;
    // Pixels repeat in pairs so that the run-length forms get runs.
    auto visual = [&](int x, int y) { return (x / 2 + y) % 4; };
    auto colourValue = [&](int x, int y) { return TgaValue(visual(x, y), 0, bytes); };
    std::vector<uint32_t> stored;  // in file order
    for (int r = 0; r < c.height; ++r) {
      for (int col = 0; col < c.width; ++col) {
        int x = rightToLeft ? c.width - 1 - col : col, y = bottomUp ? c.height - 1 - r : r;
        stored.push_back(mapped ? static_cast<uint32_t>(c.mapFirst + visual(x, y)) : colourValue(x, y));
      }
    }
    TgaLayout layout;
    layout.type = c.type;
    layout.pixelBits = mapped ? 8 : c.bits;
    layout.descriptor = c.descriptor;
    layout.width = c.width;
    layout.height = c.height;
    if (c.withId) layout.id = {'i', 'd', '!'};
    layout.footer = c.footer;
    int valueBytes = mapped ? 1 : bytes;
    if (mapped) {
      layout.mapFirst = static_cast<uint16_t>(c.mapFirst);
      layout.mapEntryBits = c.bits;
      for (int i = 0; i < 4; ++i) PutValue(layout.colorMap, TgaValue(i, 0, bytes), bytes);
    }
    if (c.type >= 9) {
      layout.data = EncodePackets(stored, valueBytes);
    } else {
      for (uint32_t v : stored) PutValue(layout.data, v, valueBytes);
    }
    GraphImage image;
    ASSERT_EQ(DecodeBytes(ReadTgaImage, MakeTga(layout), &image), 0);
    EXPECT_EQ(image.format.colorBits, c.bits);
    EXPECT_EQ(image.pitch, c.width * bytes);
    ExpectPixels(&image, c.width, c.height, [&](int x, int y) { return TgaColour(colourValue(x, y), bytes); });
    ReleaseGraphImage(&image);
  }
}

TEST(TgaReader, LimitsAndDamage) {
  auto plain = [](int width, int height) {
    TgaLayout layout;
    layout.type = 10;
    layout.width = width;
    layout.height = height;
    std::vector<uint32_t> values(static_cast<size_t>(width) * height, 0x123456);
    layout.data = EncodePackets(values, 3);
    return layout;
  };
  GraphImage image;
  for (auto [w, h] : {std::pair{8192, 1}, std::pair{1, 8192}}) {
    ASSERT_EQ(DecodeBytes(ReadTgaImage, MakeTga(plain(w, h)), &image), 0) << w << "x" << h;
    EXPECT_EQ(PixelAt(&image, w - 1, h - 1), (Rgba{0x12, 0x34, 0x56, 0}));
    ReleaseGraphImage(&image);
  }

  const int32_t blocks = TrackedBlockCount();
  struct Refusal {
    const char* name;
    std::function<void(TgaLayout&)> change;
  } refusals[] = {
      {"x origin 1", [](TgaLayout& s) { s.xOrigin = 1; }},
      {"width 8193", [&](TgaLayout& s) { s = plain(8193, 1); }},
      {"height 8193", [&](TgaLayout& s) { s = plain(1, 8193); }},
      {"zero width", [](TgaLayout& s) { s.width = 0; }},
      {"15-bit pixels", [](TgaLayout& s) { s.pixelBits = 15; }},
      {"grey", [](TgaLayout& s) { s.type = 3; }},
      {"type 11", [](TgaLayout& s) { s.type = 11; }},
      {"no data", [](TgaLayout& s) { s.type = 0; }},
      {"run-length data cut short", [](TgaLayout& s) { s.data.pop_back(); }},
      {"plain data cut short", [](TgaLayout& s) { s.type = 2; s.data.assign(3 * 4 - 1, 0); }},
      {"colour map past 256 entries",
       [](TgaLayout& s) {
         s.type = 1;
         s.mapFirst = 250;
         s.mapEntryBits = 24;
         s.colorMap.assign(10 * 3, 0);
         s.data.assign(4, 250);
       }},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    TgaLayout layout = plain(2, 2);
    r.change(layout);
    EXPECT_EQ(DecodeBytes(ReadTgaImage, MakeTga(layout), &image), -1);
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

// DXT5 blocks of one colour (red) at full alpha.
Bytes RedDxt5Blocks(size_t count) {
  Bytes out;
  for (size_t i = 0; i < count; ++i) out.insert(out.end(), {255, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0, 0, 0, 0, 0, 0});
  return out;
}

TEST(DdsReader, BlockDataWithMipChains) {
  GraphImage image;
  // 256 x 256 DXT1 with 9 levels: 32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8 bytes.
  DdsLayout dxt1;
  dxt1.width = dxt1.height = 256;
  dxt1.flags |= 0x20000;
  dxt1.mipCount = 9;
  dxt1.caps |= 0x400008;
  dxt1.data.assign(43704, 0);
  ASSERT_EQ(DecodeBytes(ReadDdsImage, MakeDds(dxt1), &image), 0);
  EXPECT_EQ(image.mipLevels, 9u);
  EXPECT_EQ(image.format.compression, 1u);
  EXPECT_EQ(image.format.colorBits, 4);
  EXPECT_EQ(image.format.bytesPerPixel, 4);
  EXPECT_EQ(image.pitch, 0);
  ReleaseGraphImage(&image);
  dxt1.data.pop_back();
  EXPECT_EQ(DecodeBytes(ReadDdsImage, MakeDds(dxt1), &image), -1);
  // Without the mip-map caps the count is not used.
  dxt1.caps = 0x1000;
  ASSERT_EQ(DecodeBytes(ReadDdsImage, MakeDds(dxt1), &image), 0);
  EXPECT_EQ(image.mipLevels, 0u);
  ReleaseGraphImage(&image);

  // The small levels of 16-byte blocks take a whole block each (5 levels of
  // 16 x 16: 256 + 64 + 16 + 16 + 16 bytes), and a side that is no multiple
  // of 4 takes partial blocks, as the block decoder reads them.
  struct BlockCase {
    uint32_t width, height, levels;
    size_t blocks;
  } cases[] = {{16, 16, 5, 16 + 4 + 1 + 1 + 1}, {6, 6, 0, 4}, {8, 2, 4, 2 + 1 + 1 + 1}};
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " levels " << c.levels);
    DdsLayout layout;
    layout.fourCC = "DXT5";
    layout.width = c.width;
    layout.height = c.height;
    layout.mipCount = c.levels;
    layout.flags |= 0x20000;
    layout.caps |= 0x400008;
    layout.data = RedDxt5Blocks(c.blocks - 1);
    EXPECT_EQ(DecodeBytes(ReadDdsImage, MakeDds(layout), &image), -1);
    layout.data = RedDxt5Blocks(c.blocks);
    ASSERT_EQ(DecodeBytes(ReadDdsImage, MakeDds(layout), &image), 0);
    EXPECT_EQ(image.format.colorBits, 8);
    ASSERT_EQ(DecodeCompressedGraphImage(&image), 0);
    ExpectPixels(&image, static_cast<int>(c.width), static_cast<int>(c.height),
                 [](int, int) { return Rgba{255, 0, 0, 255}; });
    ReleaseGraphImage(&image);
  }
}

TEST(DdsReader, PackedPixelsThroughTheirMasks) {
  GraphImage image;
  // ARGB with a padded pitch.
  DdsLayout argb;
  argb.width = 2;
  argb.height = 2;
  argb.flags |= 0x8;
  argb.pitch = 12;
  argb.pixelFlags = 0x41;
  argb.rgbBits = 32;
  uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  std::memcpy(argb.masks, masks, sizeof masks);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) Put32(argb.data, Hash(x, y, 5));
    Put32(argb.data, 0xDEADBEEF);  // row padding
  }
  ASSERT_EQ(DecodeBytes(ReadDdsImage, MakeDds(argb), &image), 0);
  EXPECT_EQ(image.pitch, 12);
  ExpectPixels(&image, 2, 2, [](int x, int y) {
    uint32_t v = Hash(x, y, 5);
    return Rgba{static_cast<int>(v >> 16 & 255), static_cast<int>(v >> 8 & 255), static_cast<int>(v & 255),
                static_cast<int>(v >> 24)};
  });
  ReleaseGraphImage(&image);

  // 565 without the RGB flag, three levels of 4 x 4 (32 + 8 + 2 bytes).
  DdsLayout rgb565;
  rgb565.pixelFlags = 0;
  rgb565.rgbBits = 16;
  uint32_t masks565[4] = {0xF800, 0x7E0, 0x1F, 0};
  std::memcpy(rgb565.masks, masks565, sizeof masks565);
  rgb565.flags |= 0x20000;
  rgb565.mipCount = 3;
  rgb565.caps |= 0x400008;
  for (int i = 0; i < 21; ++i) Put16(rgb565.data, 0xF800);
  ASSERT_EQ(DecodeBytes(ReadDdsImage, MakeDds(rgb565), &image), 0);
  EXPECT_EQ(image.pitch, 8);
  EXPECT_EQ(image.mipLevels, 3u);
  ExpectPixels(&image, 4, 4, [](int, int) { return Rgba{255, 0, 0, 0}; });
  ReleaseGraphImage(&image);

  const int32_t blocks = TrackedBlockCount();
  struct Refusal {
    const char* name;
    std::function<void(DdsLayout&)> change;
  } refusals[] = {
      {"RGB without alpha pixels", [](DdsLayout& s) { s.pixelFlags = 0x40; }},
      {"other FourCC", [](DdsLayout& s) { s.pixelFlags = 0x4; s.fourCC = "ATI2"; }},
      {"12-bit pixels", [](DdsLayout& s) { s.rgbBits = 12; }},
      {"pitch below the row", [](DdsLayout& s) { s.pitch = 4; }},
      {"more levels than the chain", [](DdsLayout& s) { s.flags |= 0x20000; s.caps |= 0x400008; s.mipCount = 3; }},
      {"zero width", [](DdsLayout& s) { s.width = 0; }},
      {"pixels cut short", [](DdsLayout& s) { s.data.pop_back(); }},
      {"block data missing", [](DdsLayout& s) { s.fourCC = "DXT1"; s.pixelFlags = 0x4; s.data.clear(); }},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    DdsLayout layout = argb;
    r.change(layout);
    EXPECT_EQ(DecodeBytes(ReadDdsImage, MakeDds(layout), &image), -1);
  }
  Bytes notDds = MakeDds(argb);
  notDds[2] = 'X';
  EXPECT_EQ(DecodeBytes(ReadDdsImage, notDds, &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST(BgraReader, EightAndSixteenBitChannels) {
  GraphImage image;
  Bytes pixels;
  for (int i = 0; i < 3 * 2; ++i) Put32(pixels, Hash(i, 0, 9));
  ASSERT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x08080808, 3, 2, pixels), &image), 0);
  EXPECT_EQ(image.pitch, 12);
  EXPECT_EQ(image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(Bytes(image.pixels, image.pixels + 24), pixels);
  ReleaseGraphImage(&image);

  // Channels blue, green, red, alpha of 16 bits keep their high bytes.
  Bytes wide;
  for (uint32_t v : {0x0102u, 0x3456u, 0x12ABu, 0xFF00u, 0u, 0u, 0u, 0u}) Put16(wide, v);
  ASSERT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x10101010, 2, 1, wide), &image), 0);
  EXPECT_EQ(PixelAt(&image, 0, 0), (Rgba{0x12, 0x34, 0x01, 0xFF}));
  EXPECT_EQ(PixelAt(&image, 1, 0), (Rgba{0, 0, 0, 0}));
  ReleaseGraphImage(&image);

  EXPECT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x08080800, 3, 2, pixels), &image), -1);
  pixels.pop_back();
  EXPECT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x08080808, 3, 2, pixels), &image), -1);
  wide.pop_back();
  EXPECT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x10101010, 2, 1, wide), &image), -1);
  EXPECT_EQ(DecodeBytes(ReadBgraImage, MakeBgra(0x08080808, 0x10000, 0x10000, {}), &image), -1);
}

}  // namespace
