// Every fixture, cut at many lengths and with its header bytes overwritten,
// goes through the decoders: each copy is refused or decoded into a picture
// whose every byte can be read, and nothing is left allocated.
#include <gtest/gtest.h>

#include <map>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/image_load.h"
#include "tests/graphics/image_fixtures.h"

namespace {

Bytes Bmp(uint16_t bits, int width, int height, uint32_t compression = 0, std::vector<uint32_t> masks = {}) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bits = bits;
  layout.compression = compression;
  layout.masks = std::move(masks);
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i) layout.colors.push_back(Hash(i, 1, 1) & 0xFFFFFF);
  }
  uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  layout.pixels = PackRows(width, std::abs(height), bits, height < 0, [&](int x, int y) { return Hash(x, y, 2) & mask; });
  return MakeBmp(layout);
}

Bytes Rle(bool rle4) {
  BmpLayout layout;
  layout.width = 6;
  layout.height = 4;
  layout.bits = rle4 ? 4 : 8;
  layout.compression = rle4 ? 2 : 1;
  for (int i = 0; i < (rle4 ? 16 : 256); ++i) layout.colors.push_back(i * 0x010203u);
  layout.pixels = {3, 0x12, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 0x34, 0, 0, 6, 9, 0, 1};
  return MakeBmp(layout);
}

Bytes Tga(uint8_t type, uint8_t bits, uint8_t descriptor, bool footer) {
  TgaLayout layout;
  layout.type = type;
  layout.width = 5;
  layout.height = 3;
  layout.descriptor = descriptor;
  layout.footer = footer;
  layout.id = {'x'};
  bool mapped = type == 1 || type == 9;
  int bytes = bits / 8;
  layout.pixelBits = mapped ? 8 : bits;
  if (mapped) {
    layout.mapEntryBits = bits;
    layout.mapFirst = 1;
    layout.colorMap.assign(4 * bytes, 0x66);
  }
  int valueBytes = mapped ? 1 : bytes;
  for (int i = 0; i < 15; ++i) {
    if (type >= 9) layout.data.push_back(i % 2 == 0 ? 0x81 : 0x00);
    for (int b = 0; b < valueBytes; ++b) layout.data.push_back(mapped ? static_cast<uint8_t>(1 + i % 4) : static_cast<uint8_t>(i * 7 + b));
  }
  return MakeTga(layout);
}

Bytes Dds(const char* fourCC, uint32_t levels) {
  DdsLayout layout;
  layout.width = 8;
  layout.height = 8;
  layout.fourCC = fourCC;
  if (levels != 0) {
    layout.flags |= 0x20000;
    layout.caps |= 0x400008;
    layout.mipCount = levels;
  }
  size_t block = std::strcmp(fourCC, "DXT1") == 0 ? 8 : 16;
  for (size_t i = 0; i < (4 + 1 + 1 + 1) * block; ++i) layout.data.push_back(static_cast<uint8_t>(Hash(static_cast<int>(i), 0, 3)));
  return MakeDds(layout);
}

Bytes DdsPacked() {
  DdsLayout layout;
  layout.width = 3;
  layout.height = 3;
  layout.flags |= 0x8;
  layout.pitch = 16;
  layout.pixelFlags = 0x41;
  layout.rgbBits = 32;
  uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  std::memcpy(layout.masks, masks, sizeof masks);
  layout.data.assign(48, 0x3C);
  return MakeDds(layout);
}

Bytes Png(uint8_t colorType, uint8_t depth, bool trns) {
  static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  PngLayout layout;
  layout.width = 5;
  layout.height = 3;
  layout.colorType = colorType;
  layout.bitDepth = depth;
  size_t rowBytes = (5u * kChannels[colorType] * depth + 7) / 8;
  for (size_t i = 0; i < rowBytes * 3; ++i) layout.rows.push_back(static_cast<uint8_t>(colorType == 3 ? i % 3 : Hash(static_cast<int>(i), 0, 4)));
  if (colorType == 3) layout.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  if (trns) layout.trns = colorType == 3 ? Bytes{0, 99} : colorType == 0 ? Bytes{0, 2} : Bytes{0, 1, 0, 2, 0, 3};
  return MakePng(layout);
}

Bytes Jpeg(int components) {
  Bytes samples(static_cast<size_t>(12 * 9 * components));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(Hash(static_cast<int>(i), 0, 5));
  return MakeJpeg(12, 9, components, samples, 75);
}

const std::map<std::string, std::function<Bytes()>>& Fixtures() {
  static const std::map<std::string, std::function<Bytes()>> fixtures = {
      {"Bmp24", [] { return Bmp(24, 3, 2); }},
      {"Bmp32TopDown", [] { return Bmp(32, 2, -3); }},
      {"Bmp8", [] { return Bmp(8, 5, 3); }},
      {"Bmp4", [] { return Bmp(4, 5, 3); }},
      {"Bmp1", [] { return Bmp(1, 9, 2); }},
      {"Bmp16", [] { return Bmp(16, 3, 2); }},
      {"BmpBitFields", [] { return Bmp(32, 3, 2, 3, {0xFF, 0xFF00, 0xFF0000}); }},
      {"BmpRle8", [] { return Rle(false); }},
      {"BmpRle4", [] { return Rle(true); }},
      {"Tga24", [] { return Tga(2, 24, 0x00, true); }},
      {"Tga16RightToLeft", [] { return Tga(2, 16, 0x30, false); }},
      {"TgaRle32", [] { return Tga(10, 32, 0x08, true); }},
      {"TgaMapped", [] { return Tga(1, 24, 0x20, false); }},
      {"TgaRleMapped", [] { return Tga(9, 16, 0x00, true); }},
      {"DdsDxt1", [] { return Dds("DXT1", 4); }},
      {"DdsDxt3", [] { return Dds("DXT3", 0); }},
      {"DdsDxt5", [] { return Dds("DXT5", 4); }},
      {"DdsPacked", [] { return DdsPacked(); }},
      {"Bgra8", [] { return MakeBgra(0x08080808, 3, 2, Bytes(24, 0x42)); }},
      {"Bgra16", [] { return MakeBgra(0x10101010, 2, 2, Bytes(32, 0x42)); }},
      {"PngPalette", [] { return Png(3, 8, false); }},
      {"PngPaletteAlpha", [] { return Png(3, 4, true); }},
      {"PngRgb16", [] { return Png(2, 16, false); }},
      {"PngRgba", [] { return Png(6, 8, false); }},
      {"PngGrey2", [] { return Png(0, 2, true); }},
      {"PngGreyAlpha", [] { return Png(4, 8, false); }},
      {"JpegColour", [] { return Jpeg(3); }},
      {"JpegGrey", [] { return Jpeg(1); }},
      {"JpegInk", [] { return Jpeg(4); }},
  };
  return fixtures;
}

// Decodes one copy every way the loader can: plain, then mirrored into a
// DIB. A decoded picture is read to its last byte.
void Exercise(const Bytes& bytes) {
  GraphImage image;
  if (DecodeBytes(DecodeImageStream, bytes, &image) == 0) {
    ASSERT_GE(image.width, 1);
    ASSERT_GE(image.height, 1);
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(DecodeCompressedGraphImage(&image), 0);
    ASSERT_GE(image.pitch, image.width * image.format.bytesPerPixel);
    uint32_t sum = 0;
    for (size_t i = 0; i < static_cast<size_t>(image.pitch) * image.height; ++i) sum += image.pixels[i];
    int32_t r, g, b, a;
    EXPECT_EQ(GetGraphImagePixel(&image, image.width - 1, image.height - 1, &r, &g, &b, &a), 0) << sum;
    ReleaseGraphImage(&image);
  }
  DibHeaderBlock* header = nullptr;
  void* bits = nullptr;
  if (LoadImageToGraphImage(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()), 1, 1, 1, nullptr, &header,
                            &bits) == 0) {
    const BITMAPINFOHEADER& h = header->header;
    const auto* p = static_cast<const uint8_t*>(bits);
    size_t size = static_cast<size_t>((h.biWidth * h.biBitCount + 31) / 32 * 4) * static_cast<size_t>(-h.biHeight);
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum += p[i];
    EXPECT_GE(sum, 0u);
    TrackedFree(header);
    TrackedFree(bits);
  }
}

class DamagedImage : public testing::TestWithParam<std::string> {};

TEST_P(DamagedImage, IsRefusedOrDecodedInBounds) {
  const Bytes good = Fixtures().at(GetParam())();
  const int32_t blocks = TrackedBlockCount();
  GraphImage image;
  ASSERT_EQ(DecodeBytes(DecodeImageStream, good, &image), 0) << "the fixture itself decodes";
  ReleaseGraphImage(&image);

  for (size_t length : {0, 1, 2, 3, 4, 8, 12, 13, 14, 16, 17, 18, 19, 26, 30, 53, 54, 57, 58, 70, 100, 127, 128, 129, 200}) {
    if (length >= good.size()) continue;
    SCOPED_TRACE(testing::Message() << "cut at " << length);
    Exercise(Bytes(good.begin(), good.begin() + static_cast<long>(length)));
  }
  for (size_t length : {good.size() / 2, good.size() - 26, good.size() - 8, good.size() - 2, good.size() - 1}) {
    SCOPED_TRACE(testing::Message() << "cut at " << length);
    Exercise(Bytes(good.begin(), good.begin() + static_cast<long>(length)));
  }

  // Each header byte, and each 32-bit field from every offset, overwritten.
  const size_t headerBytes = std::min<size_t>(good.size(), GetParam().rfind("Jpeg", 0) == 0 ? 320 : 160);
  for (size_t offset = 0; offset < headerBytes; ++offset) {
    SCOPED_TRACE(testing::Message() << "offset " << offset);
    for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      Bytes bad = good;
      bad[offset] = value;
      Exercise(bad);
    }
    if (offset + 4 > good.size()) continue;
    for (uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x00010000u, 0x0000FFFFu}) {
      Bytes bad = good;
      for (int i = 0; i < 4; ++i) bad[offset + i] = static_cast<uint8_t>(value >> (8 * i));
      Exercise(bad);
    }
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

std::vector<std::string> FixtureNames() {
  std::vector<std::string> names;
  for (const auto& [name, make] : Fixtures()) names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedImage, testing::ValuesIn(FixtureNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
