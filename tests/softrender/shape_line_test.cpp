#include <gtest/gtest.h>

#include <vector>

#include "library/softrender/soft_shape.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"
#include "tests/softrender/shape_hits.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using shapetest::Hits;

using ShapeLineTest = rendertest::TablesTest<>;

Hits Once(const std::vector<std::pair<int32_t, int32_t>>& pixels) {
  Hits hits;
  for (const auto& p : pixels) hits[p] = 1;
  return hits;
}

Hits Row(int32_t y, int32_t from, int32_t to) {
  Hits hits;
  for (int32_t x = std::min(from, to); x <= std::max(from, to); ++x) hits[{x, y}] = 1;
  return hits;
}

// The pixels of a line from (x1, y1) to (x2, y2) that the clipping leaves
// whole: pixel k lies k steps along the major axis and floor(k * minor /
// major) steps along the minor one; the end is not drawn.
std::vector<std::pair<int32_t, int32_t>> Path(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t ax = std::abs(x2 - x1), ay = std::abs(y2 - y1);
  const int32_t sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
  std::vector<std::pair<int32_t, int32_t>> path;
  const int32_t major = std::max(ax, ay);
  for (int32_t k = 0; k < major; ++k) {
    if (ax >= ay)
      path.push_back({x1 + sx * k, y1 + sy * (k * ay / ax)});
    else
      path.push_back({x1 + sx * (k * ax / ay), y1 + sy * k});
  }
  return path;
}

TEST_F(ShapeLineTest, EndPointsStepsAndClipping) {
  const PixelRect area50 = {0, 0, 50, 50}, area100 = {0, 0, 100, 100};
  struct Case {
    const char* name;
    PixelRect clip;
    int32_t x1, y1, x2, y2;
    Hits expected;
  } cases[] = {
      // clang-format off
      {"equal end points draw nothing", area50, 5, 5, 5, 5, {}},
      {"one step draws the start alone", area50, 5, 5, 6, 5, Once({{5, 5}})},
      {"minor steps come at the end of each run", area50, 0, 0, 4, 1, Once({{0, 0}, {1, 0}, {2, 0}, {3, 0}})},
      {"steep lines step in y", area50, 0, 0, 1, 4, Once({{0, 0}, {0, 1}, {0, 2}, {0, 3}})},
      {"a diagonal drawn backwards", area50, 4, 4, 0, 0, Once({{4, 4}, {3, 3}, {2, 2}, {1, 1}})},
      {"the end is clamped to the right edge and not drawn", area50, 0, 10, 100, 10, Row(10, 0, 49)},
      {"the start is clamped to 49 and the end to -1", area50, 60, 10, -10, 10, Row(10, 49, 0)},
      {"a line above the area is rejected", area50, 0, -5, 40, -1, {}},
      {"a line left of the area is rejected", area50, -9, 3, -1, 40, {}},
      {"a vertical line is cut at both edges", area50, 3, -10, 3, 100,
       [] {
         Hits h;
         for (int32_t y = 0; y < 50; ++y) h[{3, y}] = 1;
         return h;
       }()},
      {"a line cut at the left edge keeps its course", area50, -4, 0, 8, 6,
       Once({{0, 2}, {1, 2}, {2, 3}, {3, 3}, {4, 4}, {5, 4}, {6, 5}, {7, 5}})},
      {"a line passing outside a corner is clamped onto it", area100, -10, 5, 5, -10, Once({{0, 0}})},
      {"an offset area", {10, 20, 30, 40}, 0, 25, 100, 25, Row(25, 10, 29)},
      // clang-format on
  };
  for (const Case& c : cases) {
    for (int32_t depth : {MemImgDepth32, MemImgDepth16}) {
      TestImage dst(104, 104, depth);
      shapetest::CountingState(c.clip);
      SoftLine(dst.img(), c.x1, c.y1, c.x2, c.y2, 1);
      EXPECT_EQ(shapetest::ReadHits(dst), c.expected) << c.name << ", depth " << depth;
    }
  }
}

// Lines in every direction that lie inside the area: each pixel once, on the
// course that the error stepping gives.
TEST_F(ShapeLineTest, LinesInEveryDirectionFollowTheirCourse) {
  std::mt19937 rng(5);
  for (int i = 0; i < 300; ++i) {
    const int32_t depth = i % 2 == 0 ? MemImgDepth32 : MemImgDepth16;
    const int32_t x1 = static_cast<int32_t>(rng() % 40), y1 = static_cast<int32_t>(rng() % 40);
    const int32_t x2 = static_cast<int32_t>(rng() % 40), y2 = static_cast<int32_t>(rng() % 40);
    TestImage dst(40, 40, depth, false, false, static_cast<int32_t>(rng() % 3));
    shapetest::CountingState({0, 0, 40, 40});
    SoftLine(dst.img(), x1, y1, x2, y2, 1);
    ASSERT_EQ(shapetest::ReadHits(dst), Once(Path(x1, y1, x2, y2)))
        << "(" << x1 << ", " << y1 << ") to (" << x2 << ", " << y2 << ")";
  }
}

// The records of a rectangle's outline as the frame drawing builds them.
std::vector<LineRecord> Frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return {{x1, y1, x2 - 1, y1, 1, 255},
          {x2 - 1, y1, x2 - 1, y2 - 1, 1, 255},
          {x2 - 1, y2 - 1, x1, y2 - 1, 1, 255},
          {x1, y2 - 1, x1, y1, 1, 255}};
}

TEST_F(ShapeLineTest, OutlinesDrawEveryCornerOnce) {
  struct Case {
    const char* name;
    int32_t x1, y1, x2, y2;
    int pixels;
  } cases[] = {
      // clang-format off
      {"1 x 1 draws nothing", 3, 3, 4, 4, 0},
      {"2 x 2 draws its four pixels", 3, 3, 5, 5, 4},
      {"5 x 3 draws its border", 2, 1, 7, 4, 12},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(10, 10, MemImgDepth32);
    shapetest::CountingState({0, 0, 10, 10});
    const std::vector<LineRecord> records = Frame(c.x1, c.y1, c.x2, c.y2);
    SoftLineList(dst.img(), records.data(), 4);
    const Hits hits = shapetest::ReadHits(dst);
    EXPECT_EQ(static_cast<int>(hits.size()), c.pixels) << c.name;
    EXPECT_EQ(shapetest::TotalWrites(hits), c.pixels) << c.name << ": a pixel written twice";
  }

  // No records, a negative count or a null list draw nothing.
  TestImage dst(10, 10, MemImgDepth32);
  const std::vector<LineRecord> records = Frame(1, 1, 6, 6);
  SoftLineList(dst.img(), records.data(), 0);
  SoftLineList(dst.img(), records.data(), -3);
  SoftLineList(dst.img(), nullptr, 4);
  EXPECT_TRUE(shapetest::ReadHits(dst).empty());
}

// Each blend mode, parameter case and brightness on the pixels of one line,
// against the reference; and the refusals.
TEST_F(ShapeLineTest, BlendRulesAndRefusals) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
  const uint8_t coloured[3] = {128, 255, 37};
  const auto path = Path(1, 1, 30, 9);
  std::mt19937 rng(8);
  for (int32_t depth : {MemImgDepth32, MemImgDepth16})
    for (int32_t mode : modes)
      for (int32_t param : {0, 100, 255})
        for (bool white : {true, false}) {
          TestImage dst(32, 12, depth), expected(32, 12, depth);
          blitref::FillRandom(dst, rng);
          expected.CopyPixelsFrom(dst);
          const DrawCase dc(mode, param, {0, 0, 32, 12}, white ? nullptr : coloured);
          dc.Apply();
          const uint32_t colour = depth == MemImgDepth32 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;
          SoftLine(dst.img(), 1, 1, 30, 9, colour);
          const int32_t m = blitref::EffectiveMode(dc, false);
          const bool depth32 = depth == MemImgDepth32;
          if (m >= 0)
            for (const auto& p : path)
              expected.Set(p.first, p.second,
                           blitref::FlatPixel(m, param, blitref::FlatBright(colour, dc, depth32),
                                              expected.Get(p.first, p.second), depth32));
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "depth " << depth << " mode " << mode << " param " << param << " white " << white;
        }

  // Lines write a pixel size the image may not have: paletted images and
  // 16-bit images with the alpha flag are left alone, as is an empty area.
  for (int32_t depth : {MemImgDepth32, MemImgDepth16}) {
    const bool paletted = depth == MemImgDepth32;
    TestImage dst(8, 8, depth, paletted, !paletted);
    shapetest::CountingState({0, 0, 8, 8});
    SoftLine(dst.img(), 0, 0, 7, 7, 0xFFFFFFFF);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(dst.Get(x, y), 0u) << "depth " << depth;
  }
  // A 32-bit image with the alpha flag is drawn as XRGB8888, in every mode.
  for (int32_t mode : {0, 1, 2, 3, 4, 10, 11}) {
    TestImage alpha(8, 8, MemImgDepth32, false, true), plain(8, 8, MemImgDepth32);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) alpha.Set(x, y, 0x80402010u + x + y * 8), plain.Set(x, y, 0x80402010u + x + y * 8);
    for (TestImage* dst : {&alpha, &plain}) {
      DrawCase(mode, 160, {0, 0, 8, 8}).Apply();
      SoftLine(dst->img(), 0, 1, 7, 6, 0x11C0E0F0);
      const LineRecord list[2] = {{7, 0, 0, 7, 0x22FF8040, 0}, {0, 7, 7, 7, 0x33102030, 0}};
      SoftLineList(dst->img(), list, 2);
    }
    ASSERT_TRUE(rendertest::SameImage(alpha, plain)) << "mode " << mode;
    ASSERT_NE(alpha.Get(0, 1), 0x80402010u + 8) << "mode " << mode;
  }
  TestImage dst(8, 8, MemImgDepth32);
  shapetest::CountingState({4, 0, 4, 8});
  SoftLine(dst.img(), 0, 2, 7, 2, 1);
  EXPECT_TRUE(shapetest::ReadHits(dst).empty());
}

}  // namespace
