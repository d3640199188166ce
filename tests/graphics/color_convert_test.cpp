#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/softrender/simd_ops.h"

namespace {

ColorFormat Masks(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  SetColorFormatFromMasks(&f, bits, r, g, b, a);
  return f;
}

const ColorFormat kRgb565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat kXrgb1555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat kArgb1555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const ColorFormat kArgb4444 = Masks(16, 0xF00, 0xF0, 0xF, 0xF000);
const ColorFormat kRgb24 = Masks(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kXrgb32 = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kArgb32 = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat kA2R10G10B10 = Masks(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
const ColorFormat kAlpha565 = *GetStandardColorFormat(0, 1, 0);  // 565 and an alpha byte
const ColorFormat kSingle8 = *GetStandardColorFormat(2, 0, 0);

ColorFormat Palette(uint32_t seed) {
  ColorFormat f{};
  SetColorFormatPal8(&f);
  std::mt19937 random(seed);
  for (auto& entry : f.palette) {
    for (int i = 0; i < 3; ++i) entry[i] = static_cast<uint8_t>(random());
  }
  return f;
}

uint32_t Load(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

void Store(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A buffer of pixels in a format, with an odd pitch so that rows never line
// up by accident.
struct Pixels {
  ColorFormat format;
  int32_t width, height, pitch;
  std::vector<uint8_t> bytes;
  Pixels(const ColorFormat& f, int32_t w, int32_t h, uint32_t fill = 0xA5A5A5A5u)
      : format(f), width(w), height(h), pitch(w * f.bytesPerPixel + 3), bytes(pitch * h) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) Set(x, y, fill);
    }
  }
  uint32_t Get(int x, int y) const { return Load(&bytes[y * pitch + x * format.bytesPerPixel], format.bytesPerPixel); }
  void Set(int x, int y, uint32_t v) { Store(&bytes[y * pitch + x * format.bytesPerPixel], format.bytesPerPixel, v); }
  std::vector<uint32_t> Row(int y) const {
    std::vector<uint32_t> out;
    for (int x = 0; x < width; ++x) out.push_back(Get(x, y));
    return out;
  }
};

struct Options {
  int32_t mirror = 0, keyToAlpha = 0;
  uint32_t key = 0;
  int32_t dither = 0, colorOff = 0, alphaFromRed = 0, skipKey = 0, remap = 0;
};

int Convert(Pixels& dest, const Pixels& src, const Options& o = {}, const Pixels* alpha = nullptr,
            int32_t destX = 0, int32_t destY = 0) {
  PixelRect rect{0, 0, src.width, src.height};
  return ConvertPixelRect(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch, &src.format,
                          alpha ? alpha->bytes.data() : nullptr, alpha ? alpha->pitch : 0,
                          alpha ? &alpha->format : nullptr, destX, destY, &rect, o.mirror, o.keyToAlpha, o.key,
                          o.dither, o.colorOff, o.alphaFromRed, o.skipKey, o.remap);
}

int ConvertGeneral(Pixels& dest, const Pixels& src, const Options& o = {}) {
  PixelRect rect{0, 0, src.width, src.height};
  return ConvertPixelRectGeneral(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch,
                                 &src.format, nullptr, 0, nullptr, 0, 0, &rect, o.mirror, o.keyToAlpha, o.key,
                                 o.dither, o.colorOff, o.alphaFromRed, o.skipKey);
}

Pixels Row(const ColorFormat& f, const std::vector<uint32_t>& values) {
  Pixels p(f, static_cast<int32_t>(values.size()), 1);
  for (size_t i = 0; i < values.size(); ++i) p.Set(static_cast<int>(i), 0, values[i]);
  return p;
}

TEST(ConvertPixelRect, CasesOfTheRules) {
  ColorFormat pal = Palette(1);
  pal.palette[4][0] = 0x1F;  // blue
  pal.palette[4][1] = 0x10;  // green
  pal.palette[4][2] = 0xF0;  // red
  ColorFormat otherPal = Palette(2);
  otherPal.palette[200][0] = 0x1F;
  otherPal.palette[200][1] = 0x10;
  otherPal.palette[200][2] = 0xF0;
  ColorFormat redPal{};
  SetColorFormatPal8(&redPal);
  redPal.palette[9][2] = 0xFF;  // pure red; every other entry black
  Options key{.keyToAlpha = 1, .key = 0xFF00FF};
  Options skip{.key = 0xFF00FF, .skipKey = 1};
  struct Case {
    const char* name;
    ColorFormat from;
    std::vector<uint32_t> source;
    ColorFormat to;
    Options options;
    std::vector<uint32_t> expected;
    int result = 0;
  } cases[] = {
      {"565 white widens by shifting", kRgb565, {0xFFFF, 0x0821}, kXrgb32, {}, {0x00F8FCF8, 0x00080408}},
      {"565 into 24 bits by shifting", kRgb565, {0xFFFF}, kRgb24, {}, {0xF8FCF8}},
      {"555 white by the rule", kXrgb1555, {0x7FFF, 0x4210}, kXrgb32, {}, {0xFFFFFFFF, 0xFF838383}},
      {"565 into ARGB without a key by the rule", kRgb565, {0xFFFF}, kArgb32, {}, {0xFFFFFFFF}},
      {"key to alpha, same colours", kXrgb32, {0x00FF00FF, 0x00FF00FE, 0x12FF00FF}, kArgb32, key,
       {0x00FF00FF, 0xFFFF00FE, 0x00FF00FF}},
      {"565 key to ARGB", kRgb565, {0xF81F, 0xF81E}, kArgb32, key, {0x00F800F8, 0xFFF800F0}},
      {"565 key to 1555 compares as 555", kRgb565, {0xF81F, 0xF83F, 0xF81E}, kArgb1555, key,
       {0x7C1F, 0x7C1F, 0xFC1E}},
      {"key with alpha in the source is dropped", kArgb32, {0x12FF00FF}, kArgb32, key, {0x12FF00FF}},
      {"key into no alpha is dropped", kXrgb32, {0x00FF00FF}, kRgb565, key, {0xF81F}},
      {"narrowing to 565", kXrgb32, {0x00FFFFFF, 0x00080400, 0x00070300}, kRgb565, {}, {0xFFFF, 0x0820, 0}},
      {"565 into 555 sets the unused bit", kRgb565, {0x0000, 0xFFFF}, kXrgb1555, {}, {0x8000, 0xFFFF}},
      {"alpha narrows", kArgb32, {0x80FF7F00}, kArgb4444, {}, {0x8F70}},
      {"2-10-10-10 narrows", kA2R10G10B10, {0xFFFFFFFF, 0x7FC80004}, kArgb32, {}, {0xFFFFFFFF, 0x55FF8001}},
      {"alpha widens in the 565 alpha form", kArgb1555, {0x8000, 0x7FFF}, kAlpha565, {}, {0xFFFF0000, 0xFF00FFFF}},
      {"colour off keeps alpha", kArgb32, {0x80123456}, kArgb32, {.colorOff = 1}, {0x80000000}},
      {"alpha from red into one channel", kXrgb32, {0x00C01020}, kSingle8, {.colorOff = 1, .alphaFromRed = 1},
       {0xC0}},
      {"alpha from red is not widened", kRgb565, {0xF800}, kArgb32, {.alphaFromRed = 1}, {0x1FFF0000}},
      {"mirror", kXrgb32, {1, 2, 3}, kXrgb32, {.mirror = 1}, {3, 2, 1}},
      {"mirror through the rule", kXrgb32, {0xFF0000, 0xFF00, 0xFF}, kRgb565, {.mirror = 1}, {0x1F, 0x7E0, 0xF800}},
      {"skip key copies the rest", kXrgb32, {0x00FF00FF, 0xFFFF00FF, 0x00FF00FE}, kXrgb32, skip,
       {0xA5A5A5A5, 0xA5A5A5A5, 0x00FF00FE}},
      {"skip key is ignored with mirror", kXrgb32, {0x00FF00FF, 7}, kXrgb32, {.mirror = 1, .key = 0xFF00FF, .skipKey = 1},
       {7, 0x00FF00FF}},
      {"skip key by the rule", kXrgb32, {0x00FF00FF, 0x00FFFFFF}, kRgb565, skip, {0xA5A5, 0xFFFF}},
      {"8-bit copy returns the highest index", pal, {0, 1, 2, 3, 4, 5, 6, 7}, pal, {}, {0, 1, 2, 3, 4, 5, 6, 7}, 7},
      {"palette into 565", pal, {4}, kRgb565, {}, {0xF083}},
      {"palette key to alpha by nearest entry", pal, {4, 5}, kArgb32, {.keyToAlpha = 1, .key = 0xF0101F},
       {0x00F0101F, 0xFF000000 | (pal.palette[5][2] << 16) | (pal.palette[5][1] << 8) | pal.palette[5][0]}},
      {"palette remap", pal, {4, 4}, otherPal, {.remap = 1}, {200, 200}, 200},
      {"16 bits into a palette, channels brought to 8 bits", kRgb565, {0xF800, 0x0000}, redPal, {}, {9, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pixels src = Row(c.from, c.source);
    Pixels dest(c.to, static_cast<int32_t>(c.expected.size()), 1);
    EXPECT_EQ(Convert(dest, src, c.options), c.result);
    std::vector<uint32_t> expected = c.expected;
    for (uint32_t& e : expected) e &= static_cast<uint32_t>((1ull << c.to.colorBits) - 1);
    EXPECT_EQ(dest.Row(0), expected);
  }
}

TEST(ConvertPixelRect, RefusesEmptyRectanglesAndBadFormats) {
  Pixels src = Row(kXrgb32, {1, 2});
  Pixels dest(kXrgb32, 2, 1);
  ColorFormat dxt = kArgb32;
  dxt.compression = 1;
  for (PixelRect rect : {PixelRect{0, 0, 0, 1}, PixelRect{0, 0, 2, 0}, PixelRect{1, 0, 0, 1}}) {
    EXPECT_EQ(ConvertPixelRect(dest.bytes.data(), dest.pitch, &kXrgb32, src.bytes.data(), src.pitch, &kXrgb32,
                               nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0),
              -1);
  }
  PixelRect rect{0, 0, 2, 1};
  EXPECT_EQ(ConvertPixelRect(dest.bytes.data(), dest.pitch, &kXrgb32, src.bytes.data(), src.pitch, &dxt, nullptr,
                             0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0),
            -1);
  EXPECT_EQ(ConvertPixelRect(dest.bytes.data(), dest.pitch, &kXrgb32, nullptr, src.pitch, &kXrgb32, nullptr, 0,
                             nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0),
            -1);
  EXPECT_EQ(dest.Row(0), (std::vector<uint32_t>{0xA5A5A5A5, 0xA5A5A5A5}));
}

TEST(ConvertPixelRect, PlacesTheRectangleAndReadsTheAlphaImageAtTheSamePlace) {
  Pixels src(kXrgb32, 5, 4);
  ColorFormat grey{};
  SetColorFormatGrey8(&grey);
  Pixels alpha(grey, 5, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      src.Set(x, y, 0x010101u * (10 * y + x));
      alpha.Set(x, y, 100 + 10 * y + x);
    }
  }
  Pixels dest(kArgb4444, 6, 5, 0);
  PixelRect rect{1, 2, 4, 4};  // 3 x 2 from (1, 2)
  ASSERT_EQ(ConvertPixelRect(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch, &src.format,
                             alpha.bytes.data(), alpha.pitch, &alpha.format, 2, 1, &rect, 1, 1, 0, 0, 0, 0, 0, 0),
            0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      uint32_t expected = 0;
      if (x >= 2 && x < 5 && y >= 1 && y < 3) {
        int sx = 1 + (4 - x), sy = 2 + (y - 1);  // mirrored columns
        uint32_t c = (10 * sy + sx) >> 4, a = (100 + 10 * sy + sx) >> 4;
        expected = a << 12 | c << 8 | c << 4 | c;
      }
      EXPECT_EQ(dest.Get(x, y), expected) << x << "," << y;
    }
  }
}

// Random images of odd sizes through the shortcuts and through the rule alone.
TEST(ConvertPixelRect, ShortcutsGiveTheResultsOfTheRule) {
  const ColorFormat pal = Palette(7);
  struct Pair {
    ColorFormat from, to;
  } pairs[] = {
      {pal, kRgb565},          {pal, kXrgb1555},        {pal, kArgb1555},    {pal, kRgb24},
      {pal, kXrgb32},          {pal, kArgb32},          {kRgb24, kRgb565},   {kXrgb32, kRgb565},
      {kArgb32, kRgb565},      {kXrgb32, kXrgb1555},    {kXrgb32, kArgb1555}, {kArgb32, kArgb4444},
      {kRgb24, kXrgb32},       {kRgb24, kArgb32},       {kXrgb32, kRgb24},   {kXrgb1555, kXrgb32},
      {kArgb1555, kArgb32},    {kArgb4444, kArgb32},    {kArgb4444, kRgb24}, {kXrgb1555, kRgb565},
      {kRgb565, kArgb4444},    {kRgb565, kAlpha565},    {kArgb32, kAlpha565}, {kA2R10G10B10, kXrgb32},
      {kXrgb32, kA2R10G10B10}, {kAlpha565, kArgb32},
  };
  std::mt19937 random(2024);
  for (const Pair& p : pairs) {
    for (int keyed = 0; keyed < 2; ++keyed) {
      SCOPED_TRACE(testing::Message() << p.from.colorBits << "/" << std::hex << p.from.redMask << " -> "
                                      << p.to.colorBits << "/" << p.to.redMask << " key " << keyed);
      Pixels src(p.from, 13, 7);
      uint32_t keyColour = 0x00FF00FF;
      for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) src.Set(x, y, random());
      }
      // Some pixels of the key's colour, so the key compare meets them.
      uint32_t keyPixel = MakeFormatColor(&p.from, 0xFF, 0, 0xFF, 0);
      for (int i = 0; i < 12; ++i) src.Set(random() % 13, random() % 7, keyPixel);
      Options o{.keyToAlpha = keyed, .key = keyColour};
      Pixels fast(p.to, 13, 7), rule(p.to, 13, 7);
      ASSERT_EQ(Convert(fast, src, o), 0);
      ASSERT_EQ(ConvertGeneral(rule, src, o), 0);
      EXPECT_EQ(fast.bytes, rule.bytes);
    }
  }
}

// The exceptions to the rule: 565 widened by shifting alone.
TEST(ConvertPixelRect, Rgb565ShortcutsShiftOnly) {
  std::mt19937 random(5);
  Pixels src(kRgb565, 11, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 11; ++x) src.Set(x, y, random() & 0xFFFF);
  }
  src.Set(3, 2, 0xF81F);  // the key, magenta
  src.Set(4, 2, 0xF83F);  // a green step off it: the same in 555
  auto shifted = [](uint32_t p) { return (p & 0xF800) << 8 | (p & 0x7E0) << 5 | (p & 0x1F) << 3; };
  Options key{.keyToAlpha = 1, .key = 0xFF00FF};
  Pixels rgb24(kRgb24, 11, 5), xrgb(kXrgb32, 11, 5), argb(kArgb32, 11, 5), argb1555(kArgb1555, 11, 5);
  ASSERT_EQ(Convert(rgb24, src), 0);
  ASSERT_EQ(Convert(xrgb, src), 0);
  ASSERT_EQ(Convert(argb, src, key), 0);
  ASSERT_EQ(Convert(argb1555, src, key), 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 11; ++x) {
      uint32_t p = src.Get(x, y);
      uint32_t n = (p & 0xFFC0) >> 1 | (p & 0x1F);
      EXPECT_EQ(rgb24.Get(x, y), shifted(p));
      EXPECT_EQ(xrgb.Get(x, y), shifted(p));
      EXPECT_EQ(argb.Get(x, y), shifted(p) | (p == 0xF81F ? 0 : 0xFF000000u));
      EXPECT_EQ(argb1555.Get(x, y), n | (n == 0x7C1F ? 0 : 0x8000u));
    }
  }
}

// The vector loops over rows long enough for whole vectors and an aligned
// destination, and over gapless images drawn as one long row, on both
// instruction sets: the rule's results (565 sources: widened by shifts).
TEST(ConvertPixelRect, VectorLoopsOnLongAndGaplessRows) {
  const ColorFormat pal = Palette(3);
  struct Pair {
    ColorFormat from, to;
    int32_t keyToAlpha;
  } pairs[] = {
      {kXrgb32, kRgb565, 0}, {kArgb32, kRgb565, 0},  {kArgb32, kAlpha565, 0}, {kXrgb32, kAlpha565, 1},
      {kXrgb32, kArgb32, 1}, {kRgb24, kXrgb32, 0},   {kRgb24, kRgb565, 0},    {kRgb24, kArgb32, 1},
      {pal, kRgb565, 0},     {kRgb565, kXrgb32, 0}, {kRgb565, kArgb32, 1},
  };
  auto shifted = [](uint32_t p) { return (p & 0xF800) << 8 | (p & 0x7E0) << 5 | (p & 0x1F) << 3; };
  const bool hadAvx2 = BlitUseAvx2;
  std::mt19937 random(77);
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hadAvx2;
    for (const Pair& p : pairs)
      for (int32_t width : {1, 9, 70, 301})
        for (int32_t pad : {0, 5}) {
          SCOPED_TRACE(testing::Message() << p.from.colorBits << "/" << std::hex << p.from.redMask << " -> "
                                          << p.to.colorBits << "/" << p.to.redMask << std::dec << " width "
                                          << width << " pad " << pad << " avx2 " << BlitUseAvx2);
          const int32_t height = 3, sb = p.from.bytesPerPixel, db = p.to.bytesPerPixel;
          const int32_t srcPitch = width * sb + pad, destPitch = width * db + pad;
          // One byte more than the rows, so that a read past the last pixel shows.
          std::vector<uint8_t> src(static_cast<size_t>(srcPitch) * height), fast(destPitch * height + 1, 0x5A),
              rule(destPitch * height + 1, 0x5A);
          for (uint8_t& b : src) b = static_cast<uint8_t>(random());
          const uint32_t keyPixel = MakeFormatColor(&p.from, 0xFF, 0, 0xFF, 0);
          // A few key pixels: long rows keep whole steps of vectors without
          // one as well as steps with one.
          for (int i = 0; i < std::min(width / 3 + 1, 6); ++i)
            Store(&src[(random() % height) * srcPitch + (random() % width) * sb], sb, keyPixel);
          PixelRect rect{0, 0, width, height};
          ASSERT_EQ(ConvertPixelRect(fast.data(), destPitch, &p.to, src.data(), srcPitch, &p.from, nullptr, 0,
                                     nullptr, 0, 0, &rect, 0, p.keyToAlpha, 0xFF00FF, 0, 0, 0, 0, 0),
                    0);
          if (p.from.colorBits == 16) {
            for (int32_t y = 0; y < height; ++y)
              for (int32_t x = 0; x < width; ++x) {
                const uint32_t v = Load(&src[y * srcPitch + x * 2], 2);
                const uint32_t alpha = p.keyToAlpha && v != 0xF81F ? 0xFF000000u : 0;
                Store(&rule[y * destPitch + x * 4], 4, shifted(v) | alpha);
              }
          } else {
            ASSERT_EQ(ConvertPixelRectGeneral(rule.data(), destPitch, &p.to, src.data(), srcPitch, &p.from,
                                              nullptr, 0, nullptr, 0, 0, &rect, 0, p.keyToAlpha, 0xFF00FF, 0, 0,
                                              0, 0),
                      0);
          }
          EXPECT_EQ(fast, rule);
        }
  }
  BlitUseAvx2 = hadAvx2;
}

TEST(ConvertPixelRect, DitheringSpreadsTheDroppedBitsAndStaysInsideTheMask) {
  // Red 0x84 drops 4 of its 8 low units into 565: half the pixels step up.
  Pixels mid(kXrgb32, 8, 4, 0x00840000);
  Pixels ordered(kRgb565, 8, 4), carried(kRgb565, 8, 4);
  ASSERT_EQ(Convert(ordered, mid, {.dither = DitherOrdered}), 0);
  ASSERT_EQ(Convert(carried, mid, {.dither = DitherCarry}), 0);
  const char* orderedUp[4] = {"1010", "0101", "1010", "0101"};
  int carriedUp = 0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(ordered.Get(x, y), (orderedUp[y][x % 4] == '1' ? 17u : 16u) << 11) << x << "," << y;
      uint32_t r = carried.Get(x, y) >> 11;
      EXPECT_TRUE(r == 16 || r == 17);
      carriedUp += r == 17;
      // The running sum carries over row ends: every second pixel steps up.
      EXPECT_EQ(r, ((y * 8 + x) % 2 == 1) ? 17u : 16u) << x << "," << y;
    }
  }
  EXPECT_EQ(carriedUp, 16);

  // Near full scale a step up would pass the mask: it stays at the top.
  Pixels high(kXrgb32, 9, 5, 0x00FEFEFE);
  for (int32_t mode : {DitherOrdered, DitherCarry}) {
    Pixels out(kRgb565, 9, 5);
    ASSERT_EQ(Convert(out, high, {.dither = mode}), 0);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 9; ++x) ASSERT_EQ(out.Get(x, y), 0xFFFFu) << mode;
    }
  }
  // Dithering without a narrowing channel changes nothing.
  std::mt19937 random(3);
  Pixels narrow(kXrgb1555, 9, 5);
  for (uint8_t& b : narrow.bytes) b = static_cast<uint8_t>(random());
  Pixels plain(kXrgb32, 9, 5), dithered(kXrgb32, 9, 5);
  ASSERT_EQ(Convert(plain, narrow), 0);
  ASSERT_EQ(Convert(dithered, narrow, {.dither = DitherOrdered}), 0);
  EXPECT_EQ(plain.bytes, dithered.bytes);
}

// ---------------------------------------------------------------- DXT

std::vector<uint8_t> ColourBlock(uint16_t c0, uint16_t c1, uint32_t indices) {
  return {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
          static_cast<uint8_t>(c1 >> 8), static_cast<uint8_t>(indices), static_cast<uint8_t>(indices >> 8),
          static_cast<uint8_t>(indices >> 16), static_cast<uint8_t>(indices >> 24)};
}

// Block data in a tracked block of exactly its size, so that reads past it
// are caught.
GraphImage CompressedImage(uint32_t kind, int32_t w, int32_t h, const std::vector<uint8_t>& data,
                           uint32_t mipLevels = 0) {
  GraphImage image{};
  SetColorFormatARGB32(&image.format);
  image.format.compression = kind;
  image.format.colorBits = kind == 1 ? 4 : 8;
  image.width = w;
  image.height = h;
  image.mipLevels = mipLevels;
  image.pixels = static_cast<uint8_t*>(TrackedAlloc(data.size()));
  memcpy(image.pixels, data.data(), data.size());
  return image;
}

uint32_t PixelOf(const GraphImage& image, int x, int y) { return Load(image.pixels + y * image.pitch + 4 * x, 4); }

TEST(CompressedImage, ColourAndAlphaBlocks) {
  uint32_t indices0123 = 0b11100100 * 0x01010101u;  // each row: indices 0, 1, 2, 3
  struct Case {
    const char* name;
    uint32_t kind;
    std::vector<uint8_t> block;
    uint32_t row0[4];  // ARGB of the first row
  } cases[] = {
      {"DXT1 four colours", 1, ColourBlock(0xFFFF, 0x0000, indices0123),
       {0xFFFFFFFF, 0xFF000000, 0xFFAAAAAA, 0xFF555555}},
      {"DXT1 equal colours: three and a clear average", 1, ColourBlock(0xF800, 0xF800, indices0123),
       {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x00FF0000}},
      {"DXT1 three colours", 1, ColourBlock(0x001F, 0xF800, indices0123),
       {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x007F007F}},
      {"DXT3 explicit alpha", 3,
       [&] {
         std::vector<uint8_t> b = {0x50, 0xAF, 0, 0, 0, 0, 0, 0};
         auto c = ColourBlock(0x0000, 0xFFFF, indices0123);  // four colours always
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }(),
       {0x00000000, 0x55FFFFFF, 0xFF555555, 0xAAAAAAAA}},
      {"DXT5 eight alphas", 5,
       [&] {
         // alpha indices 0, 1, 2, 7 for the first row: bits 000 001 010 111
         std::vector<uint8_t> b = {200, 60, 0b10001000, 0b00001110, 0, 0, 0, 0};
         auto c = ColourBlock(0xFFFF, 0xFFFF, 0);
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }(),
       {0xC8FFFFFF, 0x3CFFFFFF, 0xB4FFFFFF, 0x50FFFFFF}},
      {"DXT5 six alphas with 0 and 255", 5,
       [&] {
         // alpha indices 2, 5, 6, 7
         std::vector<uint8_t> b = {60, 200, 0xAA, 0x0F, 0, 0, 0, 0};
         auto c = ColourBlock(0xFFFF, 0xFFFF, 0);
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }(),
       {0x58FFFFFF, 0xACFFFFFF, 0x00FFFFFF, 0xFFFFFFFF}},
      {"DXT2 divides by alpha", 2,
       [&] {
         std::vector<uint8_t> b = {0x08, 0x0F, 0, 0, 0, 0, 0, 0};  // alphas 136, 0, 255, 0
         auto c = ColourBlock(0x4208, 0x4208, 0);                   // 65, 64, 65 premultiplied
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }(),
       {0x88797879, 0x00000000, 0xFF414041, 0x00000000}},
      {"DXT4 colour above its alpha stays at full scale", 4,
       [&] {
         std::vector<uint8_t> b = {17, 17, 0, 0, 0, 0, 0, 0};
         auto c = ColourBlock(0xFFFF, 0x0000, indices0123);
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }(),
       {0x11FFFFFF, 0x11000000, 0x11FFFFFF, 0x11FFFFFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphImage image = CompressedImage(c.kind, 4, 4, c.block);
    ASSERT_EQ(DecodeCompressedGraphImage(&image), 0);
    EXPECT_EQ(image.format.compression, 0u);
    EXPECT_EQ(image.format.alphaMask, 0xFF000000u);
    EXPECT_EQ(image.format.colorBits, 32);
    EXPECT_EQ(image.pitch, 16);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(image, x, 0), c.row0[x]) << x;
    ReleaseGraphImage(&image);
  }
}

TEST(CompressedImage, PartialBlocksAndMipLevels) {
  // 5 x 6 in DXT1 takes 2 x 2 blocks: the right column and the bottom rows
  // come from partial blocks.
  std::vector<uint8_t> data;
  const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  for (uint16_t c : colours) {
    auto b = ColourBlock(c, 0, 0);
    data.insert(data.end(), b.begin(), b.end());
  }
  ASSERT_EQ(CompressedLevelSize(1, 5, 6), 32);
  GraphImage image = CompressedImage(1, 5, 6, data);
  int32_t r = 0, g = 0, b = 0, a = 0;
  ASSERT_EQ(GetGraphImagePixel(&image, 4, 5, &r, &g, &b, &a), 0);  // decodes first
  EXPECT_EQ(image.format.compression, 0u);
  EXPECT_EQ(std::vector<int>({r, g, b, a}), std::vector<int>({255, 255, 255, 255}));
  EXPECT_EQ(PixelOf(image, 3, 3), 0xFFFF0000u);
  EXPECT_EQ(PixelOf(image, 4, 0), 0xFF00FF00u);
  EXPECT_EQ(PixelOf(image, 0, 4), 0xFF0000FFu);
  ReleaseGraphImage(&image);

  // DXT5 levels of 8 x 4, 4 x 2 and 2 x 1: 2 + 1 + 1 blocks of 16 bytes.
  EXPECT_EQ(CompressedLevelSize(5, 8, 4) + CompressedLevelSize(5, 4, 2) + CompressedLevelSize(5, 2, 1), 64);
  EXPECT_EQ(CompressedLevelSize(5, 1, 1), 16);
  EXPECT_EQ(CompressedLevelSize(1, 1, 1), 8);
  EXPECT_EQ(CompressedLevelSize(0, 4, 4), 0);
  std::vector<uint8_t> levels;
  for (uint8_t alpha : {10, 20, 30, 40}) {
    std::vector<uint8_t> block = {alpha, alpha, 0, 0, 0, 0, 0, 0};
    auto c = ColourBlock(0xFFFF, 0xFFFF, 0);
    block.insert(block.end(), c.begin(), c.end());
    levels.insert(levels.end(), block.begin(), block.end());
  }
  GraphImage chain = CompressedImage(5, 8, 4, levels, 3);
  ASSERT_EQ(DecodeCompressedGraphImage(&chain), 0);
  EXPECT_EQ(chain.mipLevels, 3u);
  const uint8_t* level1 = chain.pixels + 8 * 4 * 4;
  const uint8_t* level2 = level1 + 4 * 2 * 4;
  EXPECT_EQ(PixelOf(chain, 7, 3) >> 24, 20u);
  EXPECT_EQ(Load(level1 + 4 * 2 * 4 - 4, 4) >> 24, 30u);
  EXPECT_EQ(Load(level2 + 4, 4) >> 24, 40u);
  ReleaseGraphImage(&chain);
}

TEST(CompressedImage, MirrorDecodesFirstAndHalfTurnRefuses) {
  std::vector<uint8_t> data = ColourBlock(0xFFFF, 0x0000, 0b11100100 * 0x01010101u);
  GraphImage image = CompressedImage(1, 4, 4, data);
  EXPECT_EQ(RotateGraphImage180(&image), -1);
  ASSERT_EQ(MirrorGraphImage(&image), 0);
  EXPECT_EQ(image.format.compression, 0u);
  EXPECT_EQ(PixelOf(image, 0, 0), 0xFF555555u);
  EXPECT_EQ(PixelOf(image, 3, 0), 0xFFFFFFFFu);
  ReleaseGraphImage(&image);
}

// ---------------------------------------------------------------- mip levels and copies

TEST(ReduceImageForMipLevel, AveragesBlocksPairsAndSingles) {
  struct Case {
    const char* name;
    ColorFormat format;
    int w, h;
    std::vector<uint32_t> source;  // row by row
    std::vector<uint32_t> expected;
  } cases[] = {
      {"2x2 of 565", kRgb565, 2, 2, {0xF800, 0x0000, 0x0800, 0x001F}, {0x4007}},
      {"4x2 of ARGB", kArgb32, 4, 2, {0xFF000000, 0x00000000, 0x10203040, 0x10203040,
                                      0x01000000, 0x00000000, 0x10203040, 0x10203043}, {0x40000000, 0x10203040}},
      {"width 1: vertical pairs", kXrgb32, 1, 4, {0x00000010, 0x00000031, 0x00100000, 0x00300000},
       {0xFF000020, 0xFF200000}},
      {"height 1: horizontal pairs", kXrgb1555, 2, 1, {0x001E, 0x0001}, {0x800F}},
      {"1x1 copies", kXrgb32, 1, 1, {0x12345678}, {0x12345678}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pixels src(c.format, c.w, c.h);
    for (int i = 0; i < c.w * c.h; ++i) src.Set(i % c.w, i / c.w, c.source[i]);
    int ow = c.w == 1 ? 1 : c.w / 2, oh = c.h == 1 ? 1 : c.h / 2;
    Pixels dest(c.format, ow, oh);
    ASSERT_EQ(ReduceImageForMipLevel(&c.format, dest.bytes.data(), dest.pitch, src.bytes.data(), src.pitch, 0, 0, 0,
                                     0, c.w, c.h),
              0);
    std::vector<uint32_t> got;
    for (int y = 0; y < oh; ++y) {
      for (uint32_t v : dest.Row(y)) got.push_back(v);
    }
    EXPECT_EQ(got, c.expected);
  }
  Pixels src(kXrgb32, 3, 2), dest(kXrgb32, 2, 1, 7);
  EXPECT_EQ(ReduceImageForMipLevel(&kXrgb32, dest.bytes.data(), dest.pitch, src.bytes.data(), src.pitch, 0, 0, 0, 0,
                                   3, 2),
            -1);
  EXPECT_EQ(ReduceImageForMipLevel(&kXrgb32, dest.bytes.data(), dest.pitch, src.bytes.data(), src.pitch, 0, 0, 0, 0,
                                   2, 3),
            -1);
  EXPECT_EQ(ReduceImageForMipLevel(&kRgb24, dest.bytes.data(), dest.pitch, src.bytes.data(), src.pitch, 0, 0, 0, 0,
                                   2, 2),
            -1);
  EXPECT_EQ(dest.Row(0), (std::vector<uint32_t>{7, 7}));
}

TEST(CopyGraphImageRect, ClipsAgainstBothImages) {
  GraphImage src{}, dest{};
  ASSERT_EQ(CreateGraphImage(4, 3, &src), 0);
  for (int i = 0; i < 12; ++i) Store(src.pixels + 4 * i, 4, 0x00101010u * (i + 1));
  GraphImage model{};
  model.format = kRgb565;
  ASSERT_EQ(CreateGraphImageWithFormat(5, 4, &model, &dest), 0);
  struct Case {
    const char* name;
    int dx, dy, w, h, sx, sy;
    std::vector<std::string> rows;  // source pixel number (1-12) landing at each dest pixel, '.' untouched
  } cases[] = {
      {"inside", 1, 1, 2, 2, 1, 0, {".....", ".23..", ".67..", "....."}},
      {"negative destination moves the source", -1, -1, 3, 3, 0, 0, {"67...", "ab...", ".....", "....."}},
      {"negative source moves the destination", 0, 0, 3, 3, -2, -1, {".....", "..1..", "..5..", "....."}},
      {"cut at both far edges", 3, 2, 9, 9, 1, 0, {".....", ".....", "...23", "...67"}},
      {"nothing left", 5, 0, 2, 2, 0, 0, {".....", ".....", ".....", "....."}},
      {"nothing left in the source", 0, 0, 2, 2, 4, 0, {".....", ".....", ".....", "....."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    memset(dest.pixels, 0xEE, dest.pitch * dest.height);
    EXPECT_EQ(CopyGraphImageRect(c.dx, c.dy, c.w, c.h, c.sx, c.sy, &src, &dest), 0);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        char n = c.rows[y][x];
        uint32_t number = n == '.' ? 0 : (n >= 'a' ? n - 'a' + 10 : n - '0');
        uint32_t expected = n == '.' ? 0xEEEE : MakeFormatColor(&kRgb565, 16 * number, 16 * number, 16 * number, 0);
        EXPECT_EQ(Load(dest.pixels + y * dest.pitch + 2 * x, 2), expected) << x << "," << y;
      }
    }
  }
  ReleaseGraphImage(&src);
  ReleaseGraphImage(&dest);
}

}  // namespace
