#include <gtest/gtest.h>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/soft_shape.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;

using ShapeBoxTest = rendertest::TablesTest<>;

// Every mode, parameter case and brightness at both depths against the
// reference, on rows long enough for the vector loops and their tails, with
// the wider loops on and off; rectangles in either corner order, partly or
// wholly outside the area, and images with and without gaps between rows.
TEST_F(ShapeBoxTest, EveryModeParameterAndBrightnessMatchesTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 6, 7, 8, 9, 12, -1};
  const int32_t params[] = {0, 1, 127, 128, 254, 255};
  const uint8_t coloured[3] = {128, 255, 37};
  std::mt19937 rng(4242);
  const bool hasAvx2 = BlitUseAvx2;
  int drawn = 0;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hasAvx2;
    for (int32_t depth : {MemImgDepth32, MemImgDepth16})
      for (int32_t mode : modes)
        for (int32_t param : params)
          for (bool white : {true, false}) {
            const int32_t pad = static_cast<int32_t>(rng() % 3);
            TestImage dst(37, 6, depth, false, false, pad), expected(37, 6, depth);
            blitref::FillRandom(dst, rng);
            expected.CopyPixelsFrom(dst);
            DrawCase dc(mode, param,
                        {static_cast<int32_t>(rng() % 3), static_cast<int32_t>(rng() % 2),
                         37 - static_cast<int32_t>(rng() % 3), 6},
                        white ? nullptr : coloured);
            if (rng() % 4 == 0) dc.clip = {0, 0, 37, 6};
            int32_t rect[4] = {static_cast<int32_t>(rng() % 50) - 6, static_cast<int32_t>(rng() % 10) - 2,
                               static_cast<int32_t>(rng() % 50) - 6, static_cast<int32_t>(rng() % 10) - 2};
            const bool whole = rng() % 5 == 0;
            uint32_t colour = static_cast<uint32_t>(rng());
            if (depth == MemImgDepth16) colour &= 0xFFFF;
            dc.Apply();
            SoftFillBox(dst.img(), whole ? nullptr : rect, colour);
            blitref::ReferenceFillBox(expected, whole ? nullptr : rect, colour, dc);
            ASSERT_TRUE(rendertest::SameImage(dst, expected))
                << "depth " << depth << " mode " << mode << " param " << param << " white " << white
                << " avx2 " << BlitUseAvx2 << " rect " << rect[0] << "," << rect[1] << "," << rect[2] << ","
                << rect[3];
            ++drawn;
          }
  }
  BlitUseAvx2 = hasAvx2;
  EXPECT_EQ(drawn, 2 * 2 * 14 * 6 * 2);
}

// Translucent boxes on a 16-bit screen, whose vector loops divide by 255
// without the difference table: every weight, every source level and every
// destination level of each channel (pixel x of a row holds red x mod 32,
// green x and blue 31 - x mod 32; source k the same of k), in the vector
// loops, their tails and the pixels they leave, with the wider loops on and
// off; mode 10 blends towards the inverted colour alike.
TEST_F(ShapeBoxTest, TranslucentBoxesOnASixteenBitScreenMatchTheReferenceForEveryLevelAndWeight) {
  const auto levels = [](uint32_t x) { return (x & 31) << 11 | (x & 63) << 5 | (31 - (x & 31)); };
  const bool hasAvx2 = BlitUseAvx2;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hasAvx2;
    for (int32_t mode : {1, 10})
      for (int32_t param = 0; param < 256; ++param) {
        constexpr int32_t kWidth = 67;  // four AVX2 vectors and a tail
        TestImage dst(kWidth, 64, MemImgDepth16), expected(kWidth, 64, MemImgDepth16);
        for (int32_t y = 0; y < 64; ++y)
          for (int32_t x = 0; x < kWidth; ++x) dst.Set(x, y, levels(static_cast<uint32_t>(x)));
        expected.CopyPixelsFrom(dst);
        const DrawCase dc(mode, param, {0, 0, kWidth, 64});
        dc.Apply();
        // One row of each source level.
        for (int32_t k = 0; k < 64; ++k) {
          const int32_t rect[4] = {0, k, kWidth, k + 1};
          SoftFillBox(dst.img(), rect, levels(static_cast<uint32_t>(k)));
          blitref::ReferenceFillBox(expected, rect, levels(static_cast<uint32_t>(k)), dc);
        }
        ASSERT_TRUE(rendertest::SameImage(dst, expected))
            << "mode " << mode << " param " << param << " avx2 " << BlitUseAvx2;
      }
  }
  BlitUseAvx2 = hasAvx2;
}

// The copy rule on runs long enough for the string store (the full-width
// rows of a gapless image are one run), starting at every offset within a
// vector (the image's width moves the first row drawn).
TEST_F(ShapeBoxTest, LongCopyRunsMatchTheReference) {
  std::mt19937 rng(77);
  const bool hasAvx2 = BlitUseAvx2;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hasAvx2;
    for (int32_t depth : {MemImgDepth32, MemImgDepth16})
      for (int32_t width = 96; width < 105; ++width) {
        TestImage dst(width, 60, depth), expected(width, 60, depth);
        blitref::FillRandom(dst, rng);
        expected.CopyPixelsFrom(dst);
        const DrawCase dc(0, 0, {0, 0, width, 60});
        dc.Apply();
        const int32_t rect[4] = {0, 1, width, 59};
        const uint32_t colour = depth == MemImgDepth16 ? 0xA5C3u : 0x12A5C3E7u;
        SoftFillBox(dst.img(), rect, colour);
        blitref::ReferenceFillBox(expected, rect, colour, dc);
        ASSERT_TRUE(rendertest::SameImage(dst, expected))
            << "depth " << depth << " width " << width << " avx2 " << BlitUseAvx2;
      }
  }
  BlitUseAvx2 = hasAvx2;
}

TEST_F(ShapeBoxTest, RectangleOrderClippingAndRefusals) {
  DrawCase(0, 0, {2, 1, 12, 9}).Apply();
  auto count = [](const TestImage& img) {
    int n = 0;
    for (int32_t y = 0; y < img.height(); ++y)
      for (int32_t x = 0; x < img.width(); ++x) n += img.Get(x, y) != 0;
    return n;
  };
  struct Case {
    const char* name;
    int32_t rect[4];
    bool whole;
    int pixels;
  } cases[] = {
      // clang-format off
      {"null fills the whole image inside the area only", {}, true, 10 * 8},
      {"corners in either order", {10, 10, 0, 0}, false, 8 * 8},
      {"the same box ordered", {0, 0, 10, 10}, false, 8 * 8},
      {"equal x draws nothing", {5, 2, 5, 8}, false, 0},
      {"equal y draws nothing", {3, 4, 9, 4}, false, 0},
      {"wholly right of the area", {12, 0, 20, 9}, false, 0},
      {"wholly above the area", {0, -5, 12, 1}, false, 0},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(16, 12, MemImgDepth32);
    SoftFillBox(dst.img(), c.whole ? nullptr : c.rect, 0x00FFFFFF);
    EXPECT_EQ(count(dst), c.pixels) << c.name;
    if (c.pixels > 0) {
      EXPECT_EQ(dst.Get(2, 1), 0x00FFFFFFu) << c.name;
      EXPECT_EQ(dst.Get(1, 1), 0u) << c.name;
    }
  }

  // Neither a paletted destination nor one with the alpha flag is drawn into.
  for (bool paletted : {false, true}) {
    TestImage dst(16, 12, MemImgDepth32, paletted, !paletted);
    SoftFillBox(dst.img(), nullptr, 0xFFFFFFFF);
    EXPECT_EQ(count(dst), 0) << "paletted " << paletted;
  }
  // Nor one of a depth kind without colour channels.
  TestImage single(16, 12, MemImgDepthSingle8);
  SoftFillBox(single.img(), nullptr, 0xFFFFFFFF);
  EXPECT_EQ(count(single), 0);
}

TEST_F(ShapeBoxTest, WorkedPixels) {
  struct Case {
    const char* name;
    int32_t depth, mode, param;
    uint8_t bright[3];
    uint32_t colour, dst, expected;
  } cases[] = {
      // clang-format off
      {"alpha rounds down: 0 under 1 at 128 stays 0", MemImgDepth32, 1, 128, {255, 255, 255}, 0x01010101,
       0xAA000000, 0xAA000000},
      {"copy stores the colour's byte 3 through the brightness", MemImgDepth32, 0, 0, {128, 255, 255},
       0x80FFFFFF, 0x11000000, 0x80FEFE7F},
      {"alpha 255 is a copy", MemImgDepth32, 1, 255, {255, 255, 255}, 0x12345678, 0xFF000000, 0x12345678},
      {"alpha keeps the destination's byte 3", MemImgDepth32, 1, 200, {255, 255, 255}, 0x00000000,
       0x770A0A0A, 0x77020202},
      {"inverted colour at 0 leaves the pixel", MemImgDepth32, 10, 0, {255, 255, 255}, 0x00000000, 0x77123456,
       0x77123456},
      {"multiply then alpha at 0 leaves the pixel", MemImgDepth32, 11, 0, {255, 255, 255}, 0x00000000,
       0x77123456, 0x77123456},
      {"add carries blue into green", MemImgDepth32, 2, 255, {255, 255, 255}, 0x00000001, 0x000000FF,
       0x000001FF},
      {"subtract of nothing never happens at 0", MemImgDepth32, 3, 0, {255, 255, 255}, 0, 0xFF000000,
       0xFF000000},
      {"multiply under brightness keeps the destination's byte 3", MemImgDepth32, 4, 0, {128, 255, 255},
       0x00FFFFFF, 0x55FFFFFF, 0x55FDFD7E},
      {"a parameter above 255 counts as 255", MemImgDepth32, 1, 300, {255, 255, 255}, 0x12345678, 0,
       0x12345678},
      {"a negative parameter counts as 0", MemImgDepth32, 2, -5, {255, 255, 255}, 0xFFFFFF, 0x01020304,
       0x01020304},
      {"multiply ignores the parameter", MemImgDepth32, 4, 0, {255, 255, 255}, 0x00808080, 0x55FFFFFF,
       0x557F7F7F},
      {"16-bit alpha truncates toward zero", MemImgDepth16, 1, 200, {255, 255, 255}, 0x0000, 0x000A, 0x0003},
      {"16-bit alpha at 1 leaves 31", MemImgDepth16, 1, 1, {255, 255, 255}, 0x0000, 0x001F, 0x001F},
      {"16-bit add carries blue into green", MemImgDepth16, 2, 255, {255, 255, 255}, 0x0001, 0x001F, 0x003F},
      {"16-bit white brightness leaves the colour", MemImgDepth16, 0, 0, {255, 255, 255}, 0xFFFF, 0, 0xFFFF},
      {"16-bit brightness on the narrow fields", MemImgDepth16, 0, 0, {128, 255, 254}, 0xFFFF, 0, 0xF7CF},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(3, 1, c.depth);
    for (int32_t x = 0; x < 3; ++x) dst.Set(x, 0, c.dst);
    DrawCase(c.mode, c.param, {0, 0, 3, 1}, c.bright).Apply();
    const int32_t rect[4] = {0, 0, 3, 1};
    SoftFillBox(dst.img(), rect, c.colour);
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(dst.Get(x, 0), c.expected) << c.name << " at " << x;
  }
}

}  // namespace
