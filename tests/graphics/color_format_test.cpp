#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "library/core/memory.h"
#include "library/graphics/color_format.h"

namespace {

ColorFormat FromMasks(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  SetColorFormatFromMasks(&f, bits, r, g, b, a);
  return f;
}

// An image of the given format whose pixel bytes are 1, 2, 3, ... (row
// padding included), released at the end of the test.
struct TestImage {
  GraphImage image{};
  TestImage(const ColorFormat& format, int32_t w, int32_t h) {
    GraphImage model{};
    model.format = format;
    EXPECT_EQ(CreateGraphImageWithFormat(w, h, &model, &image), 0);
    for (int32_t i = 0; i < image.pitch * h; ++i) image.pixels[i] = static_cast<uint8_t>(i + 1);
  }
  ~TestImage() { ReleaseGraphImage(&image); }
  std::vector<uint8_t> Pixel(int32_t x, int32_t y) const {
    const uint8_t* p = image.pixels + y * image.pitch + x * image.format.bytesPerPixel;
    return std::vector<uint8_t>(p, p + image.format.bytesPerPixel);
  }
};

TEST(ColorFormat, MasksGiveWidthsShiftsAndUnusedBits) {
  struct Case {
    const char* name;
    int bits;
    uint32_t r, g, b, a;
    uint8_t widths[4], shifts[4];
    uint32_t unused;
    uint8_t unusedShift, unusedWidth;
  } cases[] = {
      {"565", 16, 0xF800, 0x7E0, 0x1F, 0, {5, 6, 5, 0}, {11, 5, 0, 0}, 0, 0, 0},
      {"555", 16, 0x7C00, 0x3E0, 0x1F, 0, {5, 5, 5, 0}, {10, 5, 0, 0}, 0x8000, 15, 1},
      {"1555", 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {5, 5, 5, 1}, {10, 5, 0, 15}, 0, 0, 0},
      {"4444", 16, 0xF00, 0xF0, 0xF, 0xF000, {4, 4, 4, 4}, {8, 4, 0, 12}, 0, 0, 0},
      {"RGB24", 24, 0xFF0000, 0xFF00, 0xFF, 0, {8, 8, 8, 0}, {16, 8, 0, 0}, 0, 0, 0},
      {"XRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0, {8, 8, 8, 0}, {16, 8, 0, 0}, 0xFF000000, 24, 8},
      {"2-10-10-10", 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, {10, 10, 10, 2}, {20, 10, 0, 30}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ColorFormat f{};
    f.palette[7][1] = 99;  // the palette is left alone
    f.compression = 3;
    EXPECT_EQ(SetColorFormatFromMasks(&f, c.bits, c.r, c.g, c.b, c.a), 0);
    EXPECT_EQ(f.colorBits, c.bits);
    EXPECT_EQ(f.bytesPerPixel, c.bits / 8);
    EXPECT_EQ(f.compression, 0u);
    uint8_t widths[4] = {f.redWidth, f.greenWidth, f.blueWidth, f.alphaWidth};
    uint8_t shifts[4] = {f.redShift, f.greenShift, f.blueShift, f.alphaShift};
    EXPECT_EQ(0, memcmp(widths, c.widths, 4));
    EXPECT_EQ(0, memcmp(shifts, c.shifts, 4));
    EXPECT_EQ(f.unusedMask, c.unused);
    EXPECT_EQ(f.unusedShift, c.unusedShift);
    EXPECT_EQ(f.unusedWidth, c.unusedWidth);
    EXPECT_EQ(f.palette[7][1], 99);
  }
}

TEST(ColorFormat, FixedSettersAndUnusedRecalculation) {
  ColorFormat f{};
  SetColorFormatXRGB32(&f);
  EXPECT_EQ(f.unusedMask, 0xFF000000u);
  SetColorFormatARGB32(&f);
  EXPECT_EQ(f.alphaMask, 0xFF000000u);
  EXPECT_EQ(f.unusedMask, 0u);
  SetColorFormatRGB24(&f);
  EXPECT_EQ(f.bytesPerPixel, 3);
  EXPECT_EQ(f.unusedMask, 0u);

  // The palette format describes an entry read as a 32-bit value.
  f.palette[5][0] = 42;
  SetColorFormatPal8(&f);
  EXPECT_EQ(f.colorBits, 8);
  EXPECT_EQ(f.bytesPerPixel, 1);
  EXPECT_EQ(f.redMask, 0xFF0000u);
  EXPECT_EQ(f.unusedMask, 0xFF000000u);
  EXPECT_EQ(f.unusedShift, 24);
  EXPECT_EQ(f.unusedWidth, 8);
  EXPECT_EQ(f.palette[5][0], 42);
  SetColorFormatGrey8(&f);
  for (int i : {0, 5, 128, 255}) {
    EXPECT_EQ(f.palette[i][0], i);
    EXPECT_EQ(f.palette[i][1], i);
    EXPECT_EQ(f.palette[i][2], i);
    EXPECT_EQ(f.palette[i][3], 0);
  }

  // Widths that fill the pixel leave no unused bits; else the rest of the
  // pixel is unused, with shift and width as they were.
  ColorFormat x = FromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
  x.alphaMask = 0xFF000000;
  x.alphaWidth = 8;
  RecalcUnusedBitsMask(&x);
  EXPECT_EQ(x.unusedMask, 0u);
  EXPECT_EQ(x.unusedShift, 24);
  ColorFormat y = FromMasks(16, 0x7C00, 0x3E0, 0x1F, 0);
  y.unusedMask = 0;
  RecalcUnusedBitsMask(&y);
  EXPECT_EQ(y.unusedMask, 0x8000u);
}

TEST(ColorFormat, StandardFormats) {
  struct Case {
    int kind, alpha, paletted;
    int bits;
    uint32_t r, g, b, a;
  } cases[] = {
      {0, 0, 0, 16, 0xF800, 0x7E0, 0x1F, 0},        {0, 0, 1, 8, 0xF800, 0x7E0, 0x1F, 0},
      {0, 1, 0, 32, 0xF800, 0x7E0, 0x1F, 0xFF0000}, {0, 1, 1, 8, 0xF800, 0x7E0, 0x1F, 0xFF0000},
      {1, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},     {1, 0, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0},
      {1, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {2, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF},         {3, 1, 1, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << c.alpha << c.paletted);
    const ColorFormat* f = GetStandardColorFormat(c.kind, c.alpha, c.paletted);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, GetStandardColorFormat(c.kind, c.alpha, c.paletted));
    EXPECT_EQ(f->colorBits, c.bits);
    EXPECT_EQ(f->bytesPerPixel, c.bits / 8);
    EXPECT_EQ(f->redMask, c.r);
    EXPECT_EQ(f->greenMask, c.g);
    EXPECT_EQ(f->blueMask, c.b);
    EXPECT_EQ(f->alphaMask, c.a);
  }
  const ColorFormat* single16 = GetStandardColorFormat(3, 0, 0);
  EXPECT_EQ(single16->redWidth, 16);
  EXPECT_EQ(single16->unusedMask, 0u);
  EXPECT_EQ(GetStandardColorFormat(2, 0, 0)->unusedMask, 0u);
  EXPECT_EQ(GetStandardColorFormat(4, 0, 0), nullptr);
  EXPECT_EQ(GetStandardColorFormat(-1, 0, 0), nullptr);
}

TEST(ColorFormat, MakeColour) {
  ColorFormat argb{}, xrgb{};
  SetColorFormatARGB32(&argb);
  SetColorFormatXRGB32(&xrgb);
  struct Case {
    const char* name;
    ColorFormat f;
    int r, g, b, a;
    uint32_t expected;
  } cases[] = {
      {"XRGB fills the unused byte", xrgb, 1, 2, 3, 4, 0xFF010203},
      {"ARGB takes alpha", argb, 1, 2, 3, 4, 0x04010203},
      {"only the low byte counts", argb, 0x1FF, 0x300, -1, 0x180, 0x80FF00FF},
      {"565 white", FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 255, 255, 255, 0, 0xFFFF},
      {"565 drops low bits", FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 0x0F, 0x07, 0xFF, 0xFF, 0x83F},
      {"555 sets its unused bit", FromMasks(16, 0x7C00, 0x3E0, 0x1F, 0), 0, 0, 0, 0, 0x8000},
      {"1555 alpha", FromMasks(16, 0x7C00, 0x3E0, 0x1F, 0x8000), 0, 0, 0, 0x80, 0x8000},
      {"2-10-10-10", FromMasks(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), 255, 1, 0, 255, 0xFFC01000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeFormatColor(&c.f, c.r, c.g, c.b, c.a), c.expected) << c.name;
  }
}

TEST(ColorFormat, MakeColourOnAPaletteTakesTheNearestFirstEntry) {
  ColorFormat f{};
  SetColorFormatPal8(&f);  // all 256 entries black
  auto set = [&](int i, uint8_t r, uint8_t g, uint8_t b) {
    f.palette[i][0] = b;
    f.palette[i][1] = g;
    f.palette[i][2] = r;
  };
  for (int i = 0; i < 256; ++i) set(i, 200, 200, 200);
  set(10, 100, 0, 0);
  set(20, 110, 0, 0);
  set(30, 100, 0, 0);  // the same colour as entry 10, later
  EXPECT_EQ(MakeFormatColor(&f, 100, 0, 0, 0), 10u);
  EXPECT_EQ(MakeFormatColor(&f, 105, 0, 0, 0), 10u);  // exactly between 10 and 20
  EXPECT_EQ(MakeFormatColor(&f, 106, 0, 0, 0), 20u);
  EXPECT_EQ(MakeFormatColor(&f, 200, 200, 201, 0), 0u);
}

TEST(ColorFormat, SplitColour) {
  ColorFormat argb{}, xrgb{};
  SetColorFormatARGB32(&argb);
  SetColorFormatXRGB32(&xrgb);
  struct Case {
    const char* name;
    ColorFormat f;
    uint32_t pixel;
    int r, g, b, a;  // -7: left unwritten
  } cases[] = {
      {"565 red", FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 0xF800, 255, 0, 0, 0},
      {"565 green", FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 0x07E0, 0, 255, 0, 0},
      {"565 middle", FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 0x8410, 131, 129, 131, 0},
      {"1555 alpha", FromMasks(16, 0x7C00, 0x3E0, 0x1F, 0x8000), 0x801F, 0, 0, 255, 255},
      {"4444", FromMasks(16, 0xF00, 0xF0, 0xF, 0xF000), 0x7F31, 255, 51, 17, 119},
      {"ARGB unscaled", argb, 0x80FF1002, 255, 16, 2, 128},
      {"XRGB leaves alpha alone", xrgb, 0xFF010203, 1, 2, 3, -7},
      {"8-bit colour, 4-bit alpha", FromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0x0F000000), 0x0A000000, 0, 0, 0, 170},
      {"missing blue", FromMasks(16, 0xFF00, 0xFF, 0, 0), 0x1234, 18, 52, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t r = -7, g = -7, b = -7, a = -7;
    EXPECT_EQ(SplitFormatColor(&c.f, c.pixel, &r, &g, &b, &a), 0);
    EXPECT_EQ(r, c.r);
    EXPECT_EQ(g, c.g);
    EXPECT_EQ(b, c.b);
    EXPECT_EQ(a, c.a);
    EXPECT_EQ(SplitFormatColor(&c.f, c.pixel, nullptr, nullptr, nullptr, nullptr), 0);
  }
}

TEST(GraphImage, PixelsAtEveryDepthStayInside) {
  ColorFormat pal{}, rgb24{}, argb{};
  SetColorFormatPal8(&pal);
  pal.palette[7][0] = 30;  // the entry nearest to magenta; the others are black
  pal.palette[7][1] = 20;
  pal.palette[7][2] = 10;
  pal.palette[7][3] = 99;
  SetColorFormatRGB24(&rgb24);
  SetColorFormatARGB32(&argb);
  struct Case {
    ColorFormat f;
    int r, g, b, a;  // magenta with alpha 0x80 set, read back
    uint32_t argb;
  } cases[] = {
      {pal, 10, 20, 30, 99, 0x0A141E},
      {FromMasks(16, 0xF800, 0x7E0, 0x1F, 0), 255, 0, 255, 0, 0xF800F8},
      {rgb24, 255, 0, 255, -1, 0xFF00FF},
      {argb, 255, 0, 255, 0x80, 0x80FF00FF},
  };
  const std::pair<int, int> outside[] = {{4, 0}, {0, 3}, {-1, 0}, {0, -1}, {100000, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.f.bytesPerPixel);
    // Four pixels a row: the last pixel's bytes end exactly at the row's end
    // for every depth, so a read past them is caught.
    TestImage t(c.f, 4, 3);
    GraphImage* im = &t.image;
    ASSERT_EQ(im->pitch, 4 * c.f.bytesPerPixel);
    int32_t r = -1, g = -1, b = -1, a = -1;
    for (auto [x, y] : outside) {
      EXPECT_EQ(GetGraphImagePixel(im, x, y, &r, &g, &b, &a), -1);
      EXPECT_EQ(SetGraphImagePixel(im, x, y, 1, 2, 3, 4), -1);
      EXPECT_EQ(GetGraphImagePixelARGB(im, x, y), 0u);
    }
    EXPECT_EQ(r, -1);  // refused reads write nothing
    ASSERT_EQ(SetGraphImagePixel(im, 3, 2, 255, 0, 255, 0x80), 0);
    ASSERT_EQ(GetGraphImagePixel(im, 3, 2, &r, &g, &b, &a), 0);
    EXPECT_EQ(r, c.r);
    EXPECT_EQ(g, c.g);
    EXPECT_EQ(b, c.b);
    EXPECT_EQ(a, c.a);
    EXPECT_EQ(GetGraphImagePixelARGB(im, 3, 2), c.argb);
    EXPECT_EQ(t.Pixel(2, 2), TestImage(c.f, 4, 3).Pixel(2, 2));  // the neighbour untouched
  }
}

TEST(GraphImage, ArgbOfNarrowChannelsKeepsTheTopBits) {
  TestImage t(FromMasks(16, 0x7C00, 0x3E0, 0x1F, 0x8000), 1, 1);
  t.image.pixels[0] = 0x1F;  // 1 11111 00000 11111 with alpha
  t.image.pixels[1] = 0xFC;
  EXPECT_EQ(GetGraphImagePixelARGB(&t.image, 0, 0), 0x80F800F8u);
  GraphImage empty{};
  EXPECT_EQ(GetGraphImagePixelARGB(&empty, 0, 0), 0u);
}

TEST(GraphImage, CreateAndRelease) {
  int32_t blocks = TrackedBlockCount();
  GraphImage a{}, b{}, c{};
  ASSERT_EQ(CreateGraphImage(5, 3, &a), 0);
  EXPECT_EQ(a.pitch, 20);
  EXPECT_EQ(a.format.unusedMask, 0xFF000000u);
  EXPECT_EQ(a.mipLevels, 0u);
  ASSERT_EQ(CreateGraphImageARGB(2, 2, &b), 0);
  EXPECT_EQ(b.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(b.pitch, 8);
  EXPECT_EQ(TrackedBlockCount(), blocks + 2);

  // Rows rounded up to whole 32-bit words.
  ColorFormat rgb24{};
  SetColorFormatRGB24(&rgb24);
  const std::tuple<ColorFormat, int, int> rounding[] = {
      {rgb24, 5, 16}, {rgb24, 4, 12}, {*GetStandardColorFormat(1, 0, 1), 5, 8}, {*GetStandardColorFormat(0, 0, 0), 3, 8}};
  for (auto [format, width, pitch] : rounding) {
    GraphImage model{};
    model.format = format;
    model.format.palette[3][2] = 77;
    ASSERT_EQ(CreateGraphImageWithFormat(width, 2, &model, &c), 0);
    EXPECT_EQ(c.pitch, pitch);
    EXPECT_EQ(c.format.palette[3][2], 77);
    ReleaseGraphImage(&c);
  }

  GraphImage untouched{};
  untouched.width = 9;
  EXPECT_EQ(CreateGraphImage(-1, 5, &untouched), -1);
  EXPECT_EQ(CreateGraphImage(0x40000000, 4, &untouched), -1);
  EXPECT_EQ(untouched.width, 9);

  ReleaseGraphImage(&a);
  ReleaseGraphImage(&b);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  GraphImage zero{};
  EXPECT_EQ(memcmp(&a, &zero, sizeof zero), 0);
  EXPECT_EQ(ReleaseGraphImage(&a), 0);  // releasing an empty image is harmless
}

TEST(GraphImage, ClearRectStaysInsideTheImage) {
  ColorFormat rgb24{};
  SetColorFormatRGB24(&rgb24);
  TestImage t(rgb24, 5, 4);
  TestImage original(rgb24, 5, 4);
  ClearGraphImageRect(&t.image, 1, 1, 2, 0);  // no rows: nothing
  EXPECT_EQ(memcmp(t.image.pixels, original.image.pixels, 16 * 4), 0);
  EXPECT_EQ(ClearGraphImageRect(&t.image, 1, 1, 2, 2), 0);
  ClearGraphImageRect(&t.image, 3, 3, 100, 100);  // cut at the right and bottom
  ClearGraphImageRect(&t.image, -3, -3, 4, 4);    // and at the left and top
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      bool cleared = (x >= 1 && x < 3 && y >= 1 && y < 3) || (x >= 3 && y >= 3) || (x < 1 && y < 1);
      EXPECT_EQ(t.Pixel(x, y), cleared ? std::vector<uint8_t>(3, 0) : original.Pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(GraphImage, MirrorAndHalfTurnAtEveryDepth) {
  ColorFormat rgb24{};
  SetColorFormatRGB24(&rgb24);
  const ColorFormat formats[] = {*GetStandardColorFormat(1, 0, 1), *GetStandardColorFormat(0, 0, 0), rgb24,
                                 *GetStandardColorFormat(1, 1, 0)};
  for (const ColorFormat& f : formats) {
    const std::pair<int, int> sizes[] = {{5, 3}, {4, 2}, {1, 1}, {3, 4}};
    for (auto [w, h] : sizes) {
      SCOPED_TRACE(testing::Message() << f.bytesPerPixel << " bytes " << w << "x" << h);
      TestImage original(f, w, h), mirrored(f, w, h), turned(f, w, h);
      ASSERT_EQ(MirrorGraphImage(&mirrored.image), 0);
      ASSERT_EQ(RotateGraphImage180(&turned.image), 0);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          EXPECT_EQ(mirrored.Pixel(x, y), original.Pixel(w - 1 - x, y));
          EXPECT_EQ(turned.Pixel(x, y), original.Pixel(w - 1 - x, h - 1 - y));
        }
      }
    }
  }
  GraphImage empty{};
  EXPECT_EQ(MirrorGraphImage(&empty), -1);
}

}  // namespace
