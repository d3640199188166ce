#include <gtest/gtest.h>

#include "library/core/memory.h"
#include "platform/gdi/gdi.h"
#include "tests/graphics/image_fixtures.h"

namespace {

// A colour table whose entries all differ.
std::vector<uint32_t> Colors(int count) {
  std::vector<uint32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(Hash(i, 0, 7) & 0xFFFFFF);
  return out;
}

Rgba FromRgb(uint32_t rgb, int a = 0) {
  return {static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF), a};
}

// A channel of `width` bits stretched to 8 bits.
int Stretch(uint32_t c, int width) { return static_cast<int>(c * 255 / ((1u << width) - 1)); }

struct BmpCase {
  const char* name;
  int width, height;  // negative height: top-down
  uint16_t bits;
  uint32_t compression;
  std::vector<uint32_t> masks;
  int colorCount;          // colour table entries written
  int expectedPixelBytes;  // of the decoded image
  std::function<Rgba(uint32_t value, const std::vector<uint32_t>& colors)> colour;
};

// The file holds Hash values cut to the pixel size (indices within the table).
TEST(BmpReader, EveryPlainLayoutDecodesToItsPixels) {
  auto indexed = [](uint32_t v, const std::vector<uint32_t>& colors) { return FromRgb(colors[v]); };
  auto rgb24 = [](uint32_t v, const std::vector<uint32_t>&) { return FromRgb(v & 0xFFFFFF); };
  auto argb32 = [](uint32_t v, const std::vector<uint32_t>&) { return FromRgb(v & 0xFFFFFF, static_cast<int>(v >> 24)); };
  auto rgb555 = [](uint32_t v, const std::vector<uint32_t>&) {
    return Rgba{Stretch(v >> 10 & 31, 5), Stretch(v >> 5 & 31, 5), Stretch(v & 31, 5), 0};
  };
  auto rgb565 = [](uint32_t v, const std::vector<uint32_t>&) {
    return Rgba{Stretch(v >> 11 & 31, 5), Stretch(v >> 5 & 63, 6), Stretch(v & 31, 5), 0};
  };
  auto bgrx = [](uint32_t v, const std::vector<uint32_t>&) {  // masks red 0xFF, green 0xFF00, blue 0xFF0000
    return Rgba{static_cast<int>(v & 0xFF), static_cast<int>(v >> 8 & 0xFF), static_cast<int>(v >> 16 & 0xFF), 0};
  };
  const BmpCase cases[] = {
      {"24-bit width 1", 1, 3, 24, 0, {}, 0, 3, rgb24},
      {"24-bit width 2", 2, 3, 24, 0, {}, 0, 3, rgb24},
      {"24-bit width 3", 3, 2, 24, 0, {}, 0, 3, rgb24},
      {"24-bit top-down", 3, -2, 24, 0, {}, 0, 3, rgb24},
      {"32-bit keeps alpha", 3, 2, 32, 0, {}, 0, 4, argb32},
      {"32-bit top-down", 2, -3, 32, 0, {}, 0, 4, argb32},
      {"8-bit", 5, 3, 8, 0, {}, 256, 1, indexed},
      {"8-bit top-down", 5, -3, 8, 0, {}, 256, 1, indexed},
      {"4-bit odd width", 3, 3, 4, 0, {}, 16, 1, indexed},
      {"4-bit top-down", 5, -2, 4, 0, {}, 16, 1, indexed},
      {"1-bit", 10, 3, 1, 0, {}, 2, 3, indexed},
      {"1-bit top-down", 9, -2, 1, 0, {}, 2, 3, indexed},
      {"16-bit 555", 3, 2, 16, 0, {}, 0, 3, rgb555},
      {"16-bit bit fields 565", 3, -2, 16, 3, {0xF800, 0x7E0, 0x1F}, 0, 3, rgb565},
      {"32-bit bit fields", 2, 2, 32, 3, {0xFF, 0xFF00, 0xFF0000}, 0, 3, bgrx},
  };
  for (const BmpCase& c : cases) {
    SCOPED_TRACE(c.name);
    BmpLayout layout;
    layout.width = c.width;
    layout.height = c.height;
    layout.bits = c.bits;
    layout.compression = c.compression;
    layout.masks = c.masks;
    layout.colors = Colors(c.colorCount);
    int height = std::abs(c.height);
    uint32_t mask = c.bits == 32 ? 0xFFFFFFFFu : (1u << c.bits) - 1;
    auto value = [&](int x, int y) { return Hash(x, y, c.bits) & mask; };
    layout.pixels = PackRows(c.width, height, c.bits, c.height < 0, value);
    GraphImage image;
    ASSERT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(layout), &image), 0);
    EXPECT_EQ(image.format.bytesPerPixel, c.expectedPixelBytes);
    EXPECT_GE(image.pitch, c.width * c.expectedPixelBytes);
    ExpectPixels(&image, c.width, height, [&](int x, int y) { return c.colour(value(x, y), layout.colors); });
    ReleaseGraphImage(&image);
  }
}

// An index grid from run-length data; '.' marks index 0.
struct RleCase {
  const char* name;
  bool rle4;
  int width, height;
  Bytes data;
  std::vector<std::string> rows;  // top row first, one digit (hex) per pixel
};

TEST(BmpReader, RunLengthDataWithMovesAndAbsoluteRuns) {
  const RleCase cases[] = {
      {"RLE8 runs, end of line, end of picture", false, 4, 3,
       {3, 5, 0, 0, 2, 7, 2, 8, 0, 0, 1, 9, 0, 1},
       {"9...", "7788", "555."}},
      {"RLE8 move and an odd absolute run padded", false, 5, 3,
       {0, 2, 1, 1, 0, 3, 1, 2, 3, 0, 1, 4, 0, 1},
       {".....", ".1234", "....."}},
      {"RLE8 without end of picture leaves 0", false, 3, 2, {2, 6}, {"...", "66."}},
      {"RLE8 runs past the row and rows past the top are cut", false, 2, 2,
       {5, 1, 0, 2, 0, 5, 3, 2}, {"..", "11"}},
      {"RLE4 runs and an odd absolute run", true, 5, 2,
       {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1},
       {"345..", "12121"}},
      {"RLE4 move", true, 4, 2, {0, 2, 2, 1, 2, 0xAB, 0, 1}, {"..AB", "...."}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    BmpLayout layout;
    layout.width = c.width;
    layout.height = c.height;
    layout.bits = c.rle4 ? 4 : 8;
    layout.compression = c.rle4 ? 2 : 1;
    layout.colors = Colors(c.rle4 ? 16 : 256);
    layout.pixels = c.data;
    GraphImage image;
    ASSERT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(layout), &image), 0);
    EXPECT_EQ(image.format.bytesPerPixel, 1);
    EXPECT_EQ(image.pitch, (c.width + 3) & ~3);
    ExpectPixels(&image, c.width, c.height, [&](int x, int y) {
      char ch = c.rows[y][x];
      int index = ch == '.' ? 0 : ch <= '9' ? ch - '0' : ch - 'A' + 10;
      return FromRgb(layout.colors[index]);
    });
    // RLE4 palettes hold the 16 entries and zeros beyond.
    if (c.rle4) {
      EXPECT_EQ(image.format.palette[16][0] | image.format.palette[255][2], 0);
    }
    ReleaseGraphImage(&image);
  }
}

TEST(BmpReader, ColourTablesOfShortAndLongHeaders) {
  // A small 8-bit file with a two-entry table: the table read runs into the
  // end of the file, which is no reason to refuse it.
  BmpLayout small;
  small.width = 2;
  small.height = 2;
  small.bits = 8;
  small.colors = {0x102030, 0x405060};
  small.pixels = PackRows(2, 2, 8, false, [](int x, int y) { return static_cast<uint32_t>((x + y) & 1); });
  GraphImage image;
  ASSERT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(small), &image), 0);
  ExpectPixels(&image, 2, 2, [&](int x, int y) { return FromRgb(small.colors[(x + y) & 1]); });
  ReleaseGraphImage(&image);

  // A 124-byte info header: the colour table follows the whole header.
  for (uint16_t bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    BmpLayout layout;
    layout.headerSize = 124;
    layout.width = 3;
    layout.height = 2;
    layout.bits = bits;
    layout.colors = Colors(1 << bits);
    auto value = [&](int x, int y) { return Hash(x, y, 3) & ((1u << bits) - 1); };
    layout.pixels = PackRows(3, 2, bits, false, value);
    ASSERT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(layout), &image), 0);
    ExpectPixels(&image, 3, 2, [&](int x, int y) { return FromRgb(layout.colors[value(x, y)]); });
    ReleaseGraphImage(&image);
  }
}

TEST(BmpReader, SmallestFilesAndRefusals) {
  // A 1 x 1 32-bit picture: nothing is read past the pixel.
  BmpLayout tiny;
  tiny.bits = 32;
  tiny.pixels = {1, 2, 3, 4};
  GraphImage image;
  ASSERT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(tiny), &image), 0);
  EXPECT_EQ(PixelAt(&image, 0, 0), (Rgba{3, 2, 1, 4}));
  ReleaseGraphImage(&image);

  const int32_t blocks = TrackedBlockCount();
  const int live = PlatformLiveGdiObjectCount();
  struct Refusal {
    const char* name;
    std::function<void(BmpLayout&)> change;
  } refusals[] = {
      {"pixels cut short", [](BmpLayout& s) { s.pixels.pop_back(); }},
      {"1-bit pixels cut short", [](BmpLayout& s) { s.bits = 1; s.colors = Colors(2); s.pixels = {0, 0, 0}; }},
      {"zero width", [](BmpLayout& s) { s.width = 0; }},
      {"zero height", [](BmpLayout& s) { s.height = 0; }},
      {"negative width", [](BmpLayout& s) { s.width = -2; }},
      {"huge picture", [](BmpLayout& s) { s.width = 100000; s.height = 100000; s.compression = 1; }},
      {"24-bit bit fields", [](BmpLayout& s) { s.compression = 3; s.masks = {0xFF0000, 0xFF00, 0xFF}; }},
      {"JPEG inside", [](BmpLayout& s) { s.compression = 4; }},
      {"2-bit", [](BmpLayout& s) { s.bits = 2; s.colors = Colors(4); }},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.pixels = PackRows(2, 2, 24, false, [](int x, int y) { return Hash(x, y, 1); });
    r.change(layout);
    EXPECT_EQ(DecodeBytes(ReadBmpImage, MakeBmp(layout), &image), -1);
  }
  Bytes notBmp = MakeBmp(tiny);
  notBmp[1] = 'N';
  EXPECT_EQ(DecodeBytes(ReadBmpImage, notBmp, &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  EXPECT_EQ(PlatformLiveGdiObjectCount(), live);
}

}  // namespace
