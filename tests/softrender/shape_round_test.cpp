#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

#include "library/softrender/soft_shape.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"
#include "tests/softrender/shape_hits.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using shapetest::Hits;
using shapetest::RowExtents;

using ShapeRoundTest = rendertest::TablesTest<>;

constexpr int32_t kSize = 64, kCentre = 32;

// A circle or ellipse call about (x, y), outline or fill.
using Draw = std::function<void(MEMIMG*, int32_t x, int32_t y, uint32_t colour, int32_t fill)>;

Draw Circle(int32_t r) {
  return [r](MEMIMG* dst, int32_t x, int32_t y, uint32_t colour, int32_t fill) {
    SoftCircle(dst, x, y, r, colour, fill);
  };
}
Draw Ellipse(int32_t rx, int32_t ry) {
  return [rx, ry](MEMIMG* dst, int32_t x, int32_t y, uint32_t colour, int32_t fill) {
    SoftEllipse(dst, x, y, rx, ry, colour, fill);
  };
}

// The pixels a shape drawn about the middle of a 64 x 64 image writes, as
// offsets from its centre, with their write counts.
Hits Shape(const Draw& draw, int32_t fill, int32_t depth = MemImgDepth32) {
  TestImage dst(kSize, kSize, depth);
  shapetest::CountingState({0, 0, kSize, kSize});
  draw(dst.img(), kCentre, kCentre, 1, fill);
  return shapetest::ReadHits(dst, kCentre, kCentre);
}

// A fill: each row one run, each pixel written once; returns the half-width
// of every row offset (the runs are centred).
std::map<int32_t, int32_t> FillHalfWidths(const Hits& hits, const std::string& what) {
  std::map<int32_t, int32_t> half;
  for (const auto& [row, ends] : RowExtents(hits)) {
    EXPECT_EQ(ends.first, -ends.second) << what << " row " << row;
    for (int32_t x = ends.first; x <= ends.second; ++x) {
      auto it = hits.find({x, row});
      EXPECT_TRUE(it != hits.end() && it->second == 1) << what << " pixel (" << x << ", " << row << ")";
    }
    half[row] = ends.second;
  }
  return half;
}

// Half-widths listed for row offsets 0, 1, 2, ..., the same above and below.
std::map<int32_t, int32_t> Symmetric(const std::vector<int32_t>& widths) {
  std::map<int32_t, int32_t> half;
  for (size_t i = 0; i < widths.size(); ++i) {
    half[static_cast<int32_t>(i)] = widths[i];
    half[-static_cast<int32_t>(i)] = widths[i];
  }
  return half;
}

// The outline from its quarter of column offset >= 0 and row offset <= 0,
// mirrored into the other three.
Hits Mirrored(const std::vector<std::pair<std::pair<int32_t, int32_t>, int>>& quarter) {
  Hits hits;
  for (const auto& [p, n] : quarter)
    for (int32_t sx : {-1, 1})
      for (int32_t sy : {-1, 1}) hits[{sx * p.first, sy * p.second}] = n;
  return hits;
}

TEST_F(ShapeRoundTest, CirclesOfRadiusZeroToTen) {
  struct Case {
    int32_t r;
    int plots, pixels, filled;
    std::vector<int32_t> halfWidths;
  } cases[] = {
      // clang-format off
      {0, 4, 1, 1, {0}},
      {1, 4, 4, 5, {1, 0}},
      {2, 12, 12, 21, {2, 2, 1}},
      {3, 20, 16, 37, {3, 3, 2, 1}},
      {4, 28, 24, 61, {4, 4, 3, 3, 1}},
      {5, 28, 28, 97, {5, 5, 5, 4, 3, 2}},
      {6, 36, 32, 129, {6, 6, 6, 5, 4, 3, 2}},
      {7, 44, 40, 177, {7, 7, 7, 6, 6, 5, 4, 2}},
      {8, 44, 44, 221, {8, 8, 8, 7, 7, 6, 5, 4, 2}},
      {9, 52, 52, 277, {9, 9, 9, 8, 8, 7, 7, 6, 4, 2}},
      {10, 60, 56, 349, {10, 10, 10, 10, 9, 9, 8, 7, 6, 5, 3}},
      // clang-format on
  };
  for (const Case& c : cases)
    for (int32_t depth : {MemImgDepth32, MemImgDepth16}) {
      const std::string what = "r " + std::to_string(c.r) + " depth " + std::to_string(depth);
      const Hits outline = Shape(Circle(c.r), 0, depth);
      EXPECT_EQ(shapetest::TotalWrites(outline), c.plots) << what;
      EXPECT_EQ(static_cast<int>(outline.size()), c.pixels) << what;
      // Only the diagonal pixels (or the centre of r = 0) are written more than once.
      for (const auto& [p, n] : outline) {
        if (n > 1) {
          EXPECT_EQ(std::abs(p.first), std::abs(p.second)) << what;
        }
      }
      const Hits filled = Shape(Circle(c.r), 1, depth);
      EXPECT_EQ(static_cast<int>(filled.size()), c.filled) << what;
      EXPECT_EQ(FillHalfWidths(filled, what), Symmetric(c.halfWidths)) << what;
    }
  EXPECT_EQ(Shape(Circle(0), 0).at({0, 0}), 4) << "the centre of r = 0 takes all four axis points";
  EXPECT_EQ(Shape(Circle(3), 0).at({2, -2}), 2);
  EXPECT_EQ(RowExtents(Shape(Circle(5), 0)).at(-5), std::make_pair(-2, 2)) << "the top row of r = 5";
}

TEST_F(ShapeRoundTest, EllipseFillsByRow) {
  struct Case {
    int32_t rx, ry;
    std::vector<int32_t> halfWidths;
  } cases[] = {
      // clang-format off
      {7, 4, {7, 7, 6, 5, 2}},
      {-7, 4, {7, 7, 6, 5, 2}},
      {3, 9, {3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 1}},
      {1, 5, {1, 1, 1, 1, 1, 1, 1}},
      {5, 1, {5, 0}},
      {5, -1, {5, 0}},
      {1, 1, {1, 0}},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::string what = "rx " + std::to_string(c.rx) + " ry " + std::to_string(c.ry);
    EXPECT_EQ(FillHalfWidths(Shape(Ellipse(c.rx, c.ry), 1), what), Symmetric(c.halfWidths)) << what;
  }
  // A tall ellipse runs beyond its vertical radius.
  TestImage dst(8, 400, MemImgDepth32);
  shapetest::CountingState({0, 0, 8, 400});
  SoftEllipse(dst.img(), 4, 200, 1, 119, 1, 1);
  const auto rows = RowExtents(shapetest::ReadHits(dst, 4, 200));
  EXPECT_EQ(rows.begin()->first, -168);
  EXPECT_EQ(rows.rbegin()->first, 168);
}

TEST_F(ShapeRoundTest, EllipseOutlines) {
  using Quarter = std::vector<std::pair<std::pair<int32_t, int32_t>, int>>;
  struct Case {
    int32_t rx, ry;
    Quarter quarter;
  } cases[] = {
      // clang-format off
      {1, 1, {{{0, -1}, 1}, {{1, 0}, 1}}},
      {5, 5,
       {{{0, -5}, 1}, {{1, -5}, 1}, {{2, -5}, 1}, {{3, -4}, 1}, {{4, -3}, 1}, {{5, -2}, 1}, {{5, -1}, 1},
        {{5, 0}, 1}}},
      {10, 3, [] {
         Quarter q = {{{0, -3}, 1}, {{1, -3}, 1}, {{8, -1}, 1}, {{9, -1}, 1}, {{9, 0}, 2}, {{10, 0}, 1}};
         for (int32_t x = 2; x <= 7; ++x) q.push_back({{x, -2}, 1});
         return q;
       }()},
      {2, 1, {{{0, -1}, 1}, {{1, 0}, 2}, {{2, 0}, 1}}},
      {3, 9, [] {
         Quarter q = {{{0, -10}, 1}, {{1, -10}, 1}, {{1, -9}, 1}, {{2, -9}, 1}, {{2, -8}, 1}, {{2, -7}, 1}};
         for (int32_t v = -7; v <= 0; ++v) q.push_back({{3, v}, 1});
         return q;
       }()},
      // clang-format on
  };
  for (const Case& c : cases)
    for (int32_t depth : {MemImgDepth32, MemImgDepth16})
      EXPECT_EQ(Shape(Ellipse(c.rx, c.ry), 0, depth), Mirrored(c.quarter))
          << "rx " << c.rx << " ry " << c.ry << " depth " << depth;
  // Negative radii draw as their magnitudes; a zero radius draws nothing.
  EXPECT_EQ(Shape(Ellipse(-10, -3), 0), Shape(Ellipse(10, 3), 0));
  for (int32_t fill : {0, 1}) {
    EXPECT_TRUE(Shape(Ellipse(0, 5), fill).empty());
    EXPECT_TRUE(Shape(Ellipse(5, 0), fill).empty());
  }
}

// Fills cover, row by row, exactly the columns from the outline's leftmost
// to its rightmost pixel, each pixel once.
TEST_F(ShapeRoundTest, FillsSpanTheirOutlines) {
  std::vector<std::pair<std::string, Draw>> shapes;
  for (int32_t r = 0; r <= 30; ++r) shapes.push_back({"circle " + std::to_string(r), Circle(r)});
  for (int32_t rx = 1; rx <= 14; ++rx)
    for (int32_t ry = 1; ry <= 14; ++ry)
      shapes.push_back({"ellipse " + std::to_string(rx) + " " + std::to_string(ry), Ellipse(rx, ry)});
  for (const auto& [name, draw] : shapes) {
    const Hits filled = Shape(draw, 1);
    const auto outline = RowExtents(Shape(draw, 0));
    const auto half = FillHalfWidths(filled, name);
    ASSERT_EQ(half.size(), outline.size()) << name;
    for (const auto& [row, ends] : outline) {
      ASSERT_EQ(half.count(row), 1u) << name << " row " << row;
      EXPECT_EQ(ends, std::make_pair(-half.at(row), half.at(row))) << name << " row " << row;
    }
  }
}

// A shape partly outside the area draws exactly its pixels inside it: its
// centre anywhere, also off the image.
TEST_F(ShapeRoundTest, ClippingKeepsThePixelsInsideTheArea) {
  const PixelRect area = {20, 24, 44, 40};
  std::mt19937 rng(31);
  const Draw draws[] = {Circle(9), Circle(20), Ellipse(13, 5), Ellipse(4, 15)};
  for (int i = 0; i < 200; ++i) {
    const Draw& draw = draws[i % 4];
    const int32_t fill = (i / 4) % 2;
    const int32_t x = static_cast<int32_t>(rng() % 90) - 13, y = static_cast<int32_t>(rng() % 90) - 13;
    // The whole shape on a larger canvas, the image being its middle.
    TestImage whole(kSize + 80, kSize + 80, MemImgDepth32), clipped(kSize, kSize, MemImgDepth32);
    shapetest::CountingState({0, 0, kSize + 80, kSize + 80});
    draw(whole.img(), x + 40, y + 40, 1, fill);
    shapetest::CountingState(area);
    draw(clipped.img(), x, y, 1, fill);
    Hits expected;
    for (const auto& [p, n] : shapetest::ReadHits(whole, 40, 40))
      if (p.first >= area.left && p.first < area.right && p.second >= area.top && p.second < area.bottom)
        expected[p] = n;
    ASSERT_EQ(shapetest::ReadHits(clipped), expected)
        << "shape " << i % 4 << " fill " << fill << " at " << x << ", " << y;
  }
}

// Every blend mode on the pixels the shape covers, as often as it covers
// them, against the reference; the modes that draw nothing; brightness and
// byte 3.
TEST_F(ShapeRoundTest, BlendRulesOfOutlinesAndFills) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11};
  const uint8_t coloured[3] = {128, 255, 37};
  const Draw draws[] = {Circle(10), Ellipse(10, 3)};
  std::mt19937 rng(77);
  for (const Draw& draw : draws)
    for (int32_t fill : {0, 1})
      for (int32_t depth : {MemImgDepth32, MemImgDepth16}) {
        const Hits cover = Shape(draw, fill, depth);
        for (int32_t mode : modes)
          for (int32_t param : {0, 90, 255})
            for (bool white : {true, false}) {
              TestImage dst(kSize, kSize, depth), expected(kSize, kSize, depth);
              blitref::FillRandom(dst, rng);
              expected.CopyPixelsFrom(dst);
              const DrawCase dc(mode, param, {0, 0, kSize, kSize}, white ? nullptr : coloured);
              dc.Apply();
              const bool depth32 = depth == MemImgDepth32;
              const uint32_t colour = depth32 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;
              draw(dst.img(), kCentre, kCentre, colour, fill);
              const int32_t m = blitref::EffectiveMode(dc, false);
              for (const auto& [p, n] : cover)
                for (int k = 0; k < n && m >= 0; ++k) {
                  const int32_t x = p.first + kCentre, y = p.second + kCentre;
                  expected.Set(x, y,
                               blitref::FlatPixel(m, param, blitref::FlatBright(colour, dc, depth32),
                                                  expected.Get(x, y), depth32));
                }
              ASSERT_TRUE(rendertest::SameImage(dst, expected))
                  << "fill " << fill << " depth " << depth << " mode " << mode << " param " << param;
            }
      }

  // Modes that draw nothing, and modes 10 and 11 at parameter 0, leave every pixel.
  const std::pair<int32_t, int32_t> still[] = {{1, 0},    {2, 0},    {3, 0},  {5, 255}, {9, 255},
                                               {12, 255}, {-1, 255}, {10, 0}, {11, 0}};
  for (const Draw& draw : draws)
    for (int32_t fill : {0, 1})
      for (const auto& [mode, param] : still) {
        TestImage dst(kSize, kSize, MemImgDepth32), before(kSize, kSize, MemImgDepth32);
        blitref::FillRandom(dst, rng);
        before.CopyPixelsFrom(dst);
        DrawCase(mode, param, {0, 0, kSize, kSize}).Apply();
        draw(dst.img(), kCentre, kCentre, 0x00FFFFFF, fill);
        EXPECT_TRUE(rendertest::SameImage(dst, before))
            << "mode " << mode << " param " << param << " fill " << fill;
      }

  // Mode 0 stores the colour's byte 3 and the brightened channels.
  for (const Draw& draw : draws)
    for (int32_t fill : {0, 1}) {
      TestImage dst(kSize, kSize, MemImgDepth32);
      const uint8_t blueHalved[3] = {128, 255, 255};
      DrawCase(0, 0, {0, 0, kSize, kSize}, blueHalved).Apply();
      draw(dst.img(), kCentre, kCentre, 0x80FFFFFF, fill);
      EXPECT_EQ(dst.Get(kCentre + 10, kCentre), 0x80FEFE7Fu) << "fill " << fill;
    }
}

TEST_F(ShapeRoundTest, RefusalsAndTheRowBuffer) {
  const Draw draws[] = {Circle(5), Ellipse(6, 4)};
  // Paletted destinations and 16-bit ones with the alpha flag are refused:
  // the shapes would write a pixel size those images do not have.
  for (const Draw& draw : draws)
    for (int32_t fill : {0, 1})
      for (int32_t depth : {MemImgDepth32, MemImgDepth16}) {
        const bool paletted = depth == MemImgDepth32;
        TestImage dst(16, 16, depth, paletted, !paletted);
        shapetest::CountingState({0, 0, 16, 16});
        draw(dst.img(), 8, 8, 0xFFFFFFFF, fill);
        EXPECT_TRUE(shapetest::ReadHits(dst).empty()) << "depth " << depth << " fill " << fill;
      }
  // A 32-bit destination with the alpha flag is drawn as XRGB8888.
  for (const Draw& draw : draws)
    for (int32_t fill : {0, 1})
      for (int32_t mode : {0, 1, 4}) {
        TestImage alpha(16, 16, MemImgDepth32, false, true), plain(16, 16, MemImgDepth32),
            untouched(16, 16, MemImgDepth32);
        for (TestImage* dst : {&alpha, &plain, &untouched})
          for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) dst->Set(x, y, 0x7F305070u ^ static_cast<uint32_t>(x * 16 + y));
        for (TestImage* dst : {&alpha, &plain}) {
          DrawCase(mode, 100, {0, 0, 16, 16}).Apply();
          draw(dst->img(), 8, 8, 0x20E0C0A0, fill);
        }
        EXPECT_TRUE(rendertest::SameImage(alpha, plain)) << "fill " << fill << " mode " << mode;
        EXPECT_FALSE(rendertest::SameImage(alpha, untouched)) << "fill " << fill << " mode " << mode;
      }

  // Without a row buffer a fill draws nothing, while its outline (which needs
  // none) is still drawn. The area's bottom sizes the buffer beyond what the
  // allocator gives.
  for (const Draw& draw : draws) {
    TestImage dst(16, 16, MemImgDepth32);
    shapetest::CountingState({0, 0, 16, INT32_MAX});
    draw(dst.img(), 8, 8, 1, 1);
    EXPECT_TRUE(shapetest::ReadHits(dst).empty());
    draw(dst.img(), 8, 8, 1, 0);
    EXPECT_FALSE(shapetest::ReadHits(dst).empty());
  }

  // Radii whose squares leave 32 bits are stepped without overflow: the
  // right end of this ellipse lies in the area's column 10.
  for (int32_t fill : {0, 1}) {
    TestImage dst(20, 10, MemImgDepth32);
    shapetest::CountingState({0, 0, 20, 10});
    SoftEllipse(dst.img(), -49990, 5, 50000, 50000, 1, fill);
    const Hits hits = shapetest::ReadHits(dst);
    EXPECT_EQ(hits.count({10, 5}), 1u) << "fill " << fill;
    EXPECT_EQ(hits.count({11, 5}), 0u) << "fill " << fill;
  }
}

}  // namespace
