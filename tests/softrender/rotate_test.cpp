#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_triangle.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"
#include "tests/softrender/shape_hits.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using rendertest::FillCoordinates;
using shapetest::Hits;

using RotateTest = rendertest::TablesTest<100, 60>;

constexpr float kPi = 3.14159265358979f;

// The copy mode over the given area.
DrawCase Copy(const PixelRect& clip) { return DrawCase(0, 0, clip); }

// The destination that maps each pixel (px, py) to texel map(px, py), or
// leaves it when the texel lies outside the source.
using TexelMap = std::function<std::pair<int32_t, int32_t>(int32_t px, int32_t py)>;
void ExpectMap(const TestImage& dst, const TestImage& src, const PixelRect& clip, const TexelMap& map,
               const std::string& what) {
  for (int32_t py = 0; py < dst.height(); ++py)
    for (int32_t px = 0; px < dst.width(); ++px) {
      const auto [tu, tv] = map(px, py);
      const bool inside = px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom &&
                          tu >= 0 && tu < src.width() && tv >= 0 && tv < src.height();
      ASSERT_EQ(dst.Get(px, py), inside ? src.Get(tu, tv) : 0u) << what << " at (" << px << ", " << py << ")";
    }
}

// floor(a / b) for b > 0.
int32_t Floor(int32_t a, int32_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

TEST_F(RotateTest, UnturnedUnscaledDrawMatchesTheBlit) {
  struct Kind {
    int32_t depth;
    bool paletted;
  } kinds[] = {{MemImgDepth32, false}, {MemImgDepth32, true}, {MemImgDepth16, false}, {MemImgDepth16, true}};
  std::mt19937 rng(3);
  for (const Kind& kind : kinds)
    for (int32_t w : {10, 7})
      for (int32_t trans : {0, 1}) {
        TestImage src(w, 5, kind.depth, kind.paletted);
        blitref::FillSource(src, rng, kind.paletted ? 7 : rng() & 0xFFFF);
        TestImage rotated(30, 20, kind.depth), blitted(30, 20, kind.depth);
        Copy({0, 0, 30, 20}).Apply();
        // The source's pixel (w / 2, 2) lands on (12, 9).
        SoftBlitRotate(rotated.img(), src.img(), 12, 9, 0.0f, 1.0f, trans, 0, nullptr);
        SoftBlit(blitted.img(), src.img(), 12 - w / 2, 7, trans, nullptr);
        EXPECT_TRUE(rendertest::SameImage(rotated, blitted))
            << "depth " << kind.depth << " paletted " << kind.paletted << " width " << w << " trans "
            << trans;
      }
}

// Quarter, half and whole turns and scales 2 and 0.5 map every pixel onto an
// exact texel, also where the drawing area cuts the image. The destination
// pixel's integer position is mapped with no half-pixel offset, so a turned
// image of even size lies one pixel to the right of the unturned one after
// a quarter turn, one pixel lower after three quarters, and both after half
// a turn (the window frame's right, left and bottom tiles).
TEST_F(RotateTest, TurnsAndScalesGiveExactSourceMaps) {
  TestImage src(10, 6, MemImgDepth32);
  FillCoordinates(src);
  const int32_t x = 20, y = 15;  // the centre texel (5, 3) lands here
  struct Case {
    const char* name;
    float angle, scale;
    TexelMap map;
  } cases[] = {
      // clang-format off
      {"no turn", 0.0f, 1.0f, [](int32_t px, int32_t py) { return std::make_pair(5 + px - x, 3 + py - y); }},
      {"a whole turn", 2 * kPi, 1.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 + px - x, 3 + py - y); }},
      {"a half turn", kPi, 1.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 - (px - x), 3 - (py - y)); }},
      {"a quarter turn", kPi / 2, 1.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 + py - y, 3 - (px - x)); }},
      {"three quarter turns", 3 * kPi / 2, 1.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 - (py - y), 3 + px - x); }},
      {"scale 2", 0.0f, 2.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 + Floor(px - x, 2), 3 + Floor(py - y, 2)); }},
      {"scale 0.5", 0.0f, 0.5f,
       [](int32_t px, int32_t py) { return std::make_pair(5 + 2 * (px - x), 3 + 2 * (py - y)); }},
      {"a half turn at scale 2", kPi, 2.0f,
       [](int32_t px, int32_t py) { return std::make_pair(5 + Floor(x - px, 2), 3 + Floor(y - py, 2)); }},
      // clang-format on
  };
  const PixelRect areas[] = {{0, 0, 40, 30}, {17, 13, 40, 30}, {0, 0, 22, 16}, {21, 9, 23, 30}};
  for (const Case& c : cases)
    for (const PixelRect& area : areas) {
      TestImage dst(40, 30, MemImgDepth32);
      Copy(area).Apply();
      SoftBlitRotate(dst.img(), src.img(), x, y, c.angle, c.scale, 0, 0, nullptr);
      ExpectMap(dst, src, area, c.map, std::string(c.name) + " in area from " + std::to_string(area.left));
    }
}

// The turn flag mirrors the image left to right through the quadrilateral
// path, on whole-pixel corners.
TEST_F(RotateTest, TurnFlagMirrorsThroughTheQuadrilateral) {
  TestImage src(8, 6, MemImgDepth32);
  FillCoordinates(src);
  const PixelRect area = {0, 0, 30, 20};
  TestImage dst(30, 20, MemImgDepth32);
  Copy(area).Apply();
  SoftBlitRotate(dst.img(), src.img(), 12, 9, 0.0f, 1.0f, 0, 1, nullptr);
  ExpectMap(
      dst, src, area, [](int32_t px, int32_t py) { return std::make_pair(4 + 12 - px, py - 9 + 3); },
      "mirrored");
  // The quadrilateral draws its triangles: the palette they copy shows it.
  TestImage pal(8, 6, MemImgDepth32, true);
  pal.SetPalette(0, 0x12345678);
  std::fill(std::begin(TrianglePalette), std::end(TrianglePalette), 0xEE);
  SoftBlitRotate(dst.img(), pal.img(), 12, 9, 0.0f, 1.0f, 0, 1, nullptr);
  EXPECT_EQ(TrianglePalette[0], 0x78);
}

// At any angle and scale each drawn pixel shows the texel under its ideal
// source position (within the truncations of the fixed point), every pixel
// well inside the turned image is drawn, and the drawing area only cuts.
TEST_F(RotateTest, TurnedImagesSampleTheirIdealTexels) {
  TestImage src(40, 30, MemImgDepth32);
  FillCoordinates(src);
  struct Case {
    float angle, scale;
    int32_t x, y;
    PixelRect area;
  } cases[] = {
      // clang-format off
      {kPi / 6, 1.0f, 50, 40, {0, 0, 100, 80}},    {kPi / 6, 1.5f, 50, 40, {0, 0, 100, 80}},
      {-1.2f, 0.7f, 30, 50, {5, 7, 90, 60}},       {3.5f, 2.0f, 60, 30, {0, 0, 100, 80}},
      {0.3f, 600.0f, 9000, 40, {0, 0, 100, 80}},   {2.0f, 1.0f, 50, -20, {0, 0, 100, 80}},
      {1.0f, 700.0f, -8000, -9000, {0, 0, 100, 80}},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(100, 80, MemImgDepth32);
    Copy(c.area).Apply();
    SoftBlitRotate(dst.img(), src.img(), c.x, c.y, c.angle, c.scale, 0, 0, nullptr);
    const double cs = std::cos(static_cast<double>(c.angle)), sn = std::sin(static_cast<double>(c.angle));
    int drawn = 0;
    for (int32_t py = 0; py < dst.height(); ++py)
      for (int32_t px = 0; px < dst.width(); ++px) {
        const double dx = px - c.x, dy = py - c.y;
        const double u = (dx * cs + dy * sn) / c.scale + src.width() / 2;
        const double v = (dy * cs - dx * sn) / c.scale + src.height() / 2;
        const uint32_t got = dst.Get(px, py);
        const bool inArea = px >= c.area.left && px < c.area.right && py >= c.area.top && py < c.area.bottom;
        if (got == 0) {
          ASSERT_FALSE(inArea && u >= 1 && u < src.width() - 1 && v >= 1 && v < src.height() - 1)
              << "angle " << c.angle << " scale " << c.scale << ": (" << px << ", " << py << ") not drawn";
          continue;
        }
        ++drawn;
        ASSERT_TRUE(inArea) << "angle " << c.angle << ": (" << px << ", " << py << ") outside the area";
        const double tu = got & 0xFF, tv = (got >> 8) & 0xFF;
        ASSERT_LT(std::fabs(tu + 0.5 - u), 1.01)
            << "angle " << c.angle << " scale " << c.scale << " at (" << px << ", " << py << ")";
        ASSERT_LT(std::fabs(tv + 0.5 - v), 1.01)
            << "angle " << c.angle << " scale " << c.scale << " at (" << px << ", " << py << ")";
      }
    EXPECT_GT(drawn, 0) << "angle " << c.angle << " scale " << c.scale;
  }
}

TEST_F(RotateTest, DegenerateCallsDrawNothing) {
  TestImage src(8, 8, MemImgDepth32);
  FillCoordinates(src);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    float angle, scale;
  } cases[] = {
      // clang-format off
      {"scale 0", 0.3f, 0.0f},      {"scale -0", 0.3f, -0.0f},  {"undefined scale", 0.3f, nan},
      {"infinite scale", 0.3f, inf}, {"undefined angle", nan, 1.0f}, {"infinite angle", -inf, 1.0f},
      {"a scale too large for any position", 0.3f, 3e38f},
      // clang-format on
  };
  for (const Case& c : cases)
    for (int32_t turn : {0, 1}) {
      TestImage dst(40, 40, MemImgDepth32);
      Copy({0, 0, 40, 40}).Apply();
      SoftBlitRotate(dst.img(), src.img(), 20, 20, c.angle, c.scale, 0, turn, nullptr);
      EXPECT_TRUE(shapetest::ReadHits(dst).empty()) << c.name << " turn " << turn;
    }
  // A tiny scale draws at most the centre texel.
  TestImage dst(40, 40, MemImgDepth32);
  SoftBlitRotate(dst.img(), src.img(), 20, 20, 0.3f, 1e-30f, 0, 0, nullptr);
  const Hits hits = shapetest::ReadHits(dst);
  EXPECT_LE(hits.size(), 1u);

  // A blend graph smaller than the source, a paletted or alpha destination,
  // or another depth: nothing.
  TestImage small(8, 7, MemImgDepthSingle8), paletted(40, 40, MemImgDepth32, true),
      alpha(40, 40, MemImgDepth32, false, true), d16(40, 40, MemImgDepth16);
  TestImage plain(40, 40, MemImgDepth32);
  SoftBlitRotate(plain.img(), src.img(), 20, 20, 0.3f, 1.0f, 0, 0, small.img());
  for (TestImage* d : {&paletted, &alpha, &d16})
    SoftBlitRotate(d->img(), src.img(), 20, 20, 0.3f, 1.0f, 0, 0, nullptr);
  for (TestImage* d : {&plain, &paletted, &alpha, &d16}) EXPECT_TRUE(shapetest::ReadHits(*d).empty());
}

// Sources taller than 4096 rows are drawn whole.
TEST_F(RotateTest, TallSources) {
  TestImage src(2, 5000, MemImgDepth32);
  FillCoordinates(src);
  TestImage dst(6, 10, MemImgDepth32);
  const PixelRect area = {0, 0, 6, 10};
  Copy(area).Apply();
  // The centre texel (1, 2500) lands on (3, -2000): rows 4500 and on are seen.
  SoftBlitRotate(dst.img(), src.img(), 3, -2000, 0.0f, 1.0f, 0, 0, nullptr);
  for (int32_t py = 0; py < 10; ++py)
    for (int32_t px = 2; px < 4; ++px) {
      const uint32_t got = dst.Get(px, py);
      EXPECT_EQ(got & 0xFF, static_cast<uint32_t>(px - 2)) << py;
      EXPECT_EQ((got >> 8) & 0xFF, static_cast<uint32_t>((4500 + py) & 0xFF)) << py;
    }
}

TEST_F(RotateTest, QuadrilateralsDrawTheirDiagonalOnceAndRejectByTheirBox) {
  // A source of blue 1 added at full parameter counts the writes.
  TestImage ones(4, 4, MemImgDepth32);
  for (int32_t i = 0; i < 16; ++i) ones.Set(i % 4, i / 4, 1);
  struct Case {
    const char* name;
    int32_t points[8];
    Hits expected;
  } cases[] = {
      // clang-format off
      {"1:1, the diagonal from the top-right to the bottom-left once",
       {2, 2, 6, 2, 2, 6, 6, 6},
       [] {
         Hits h;
         for (int32_t y = 2; y < 6; ++y)
           for (int32_t x = 2; x < 6; ++x) h[{x, y}] = 1;
         return h;
       }()},
      {"the first half degenerate", {2, 2, 4, 4, 6, 6, 6, 2}, {}},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(12, 12, MemImgDepth32);
    shapetest::CountingState({0, 0, 12, 12});
    SoftBlitQuad(dst.img(), ones.img(), c.points, 0, nullptr);
    if (c.expected.empty()) {
      // (2, 2), (4, 4), (6, 6) lie on one line: only the second half draws.
      TestImage second(12, 12, MemImgDepth32);
      const TriVertex v[3] = {{4, 4, 4, 0}, {6, 6, 0, 4}, {6, 2, 4, 4}};
      SoftTriangle(second.img(), ones.img(), v, 0, nullptr, 0);
      EXPECT_FALSE(shapetest::ReadHits(second).empty());
      EXPECT_EQ(shapetest::ReadHits(dst), shapetest::ReadHits(second)) << c.name;
    } else {
      EXPECT_EQ(shapetest::ReadHits(dst), c.expected) << c.name;
    }
  }

  // The corners' box widened by 2 to the left and top and 4 to the right and
  // bottom must reach into the area, or no triangle is drawn (their palette
  // copy shows whether they ran).
  TestImage pal(4, 4, MemImgDepth32, true);
  pal.SetPalette(0, 0x12345678);
  const PixelRect area = {10, 10, 30, 30};
  struct Box {
    const char* name;
    int32_t left, top, size;
    bool runs;
  } boxes[] = {
      // clang-format off
      {"three pixels left of the area", 3, 15, 4, true}, {"four pixels left", 2, 15, 4, false},
      {"one pixel right of the area", 31, 15, 4, true},  {"two pixels right", 32, 15, 4, false},
      {"three pixels above", 15, 3, 4, true},            {"four pixels above", 15, 2, 4, false},
      {"one pixel below", 15, 31, 4, true},              {"two pixels below", 15, 32, 4, false},
      // clang-format on
  };
  for (const Box& b : boxes) {
    TestImage dst(40, 40, MemImgDepth32);
    Copy(area).Apply();
    std::fill(std::begin(TrianglePalette), std::end(TrianglePalette), 0xEE);
    const int32_t l = b.left, t = b.top, r = b.left + b.size, d = b.top + b.size;
    const int32_t points[8] = {l, t, r, t, l, d, r, d};
    SoftBlitQuad(dst.img(), pal.img(), points, 0, nullptr);
    EXPECT_EQ(TrianglePalette[0], b.runs ? 0x78 : 0xEE) << b.name;
    EXPECT_TRUE(shapetest::ReadHits(dst).empty()) << b.name;
  }
}

// Every mode, parameter case, blend graph, brightness and transparent flag
// for each source kind against the reference, drawn unturned or half
// turned (exact maps) into random areas.
TEST_F(RotateTest, VariantMatrixOfRotatedSpansMatchesTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 12, -1};
  const int32_t params[] = {0, 1, 128, 255};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(77);
  int drawn = 0;
  for (const rendertest::SourceKind& kind : rendertest::kSourceKinds)
    for (int32_t mode : modes)
      for (int32_t param : params)
        for (int flags = 0; flags < 16; ++flags) {
          const bool masked = flags & 1, white = flags & 2, trans = flags & 4, half = flags & 8;
          TestImage src(13, 9, kind.depth, kind.paletted, kind.alpha, static_cast<int32_t>(rng() % 3));
          TestImage mask(14, 9, MemImgDepthSingle8, false, false, 1);
          TestImage dst(23, 17, kind.depth), expected(23, 17, kind.depth);
          rendertest::FillScene(src, rendertest::RandomKey(kind, rng), 200, dst, mask, expected, rng);
          const DrawCase dc(mode, param,
                            {static_cast<int32_t>(rng() % 5), static_cast<int32_t>(rng() % 5),
                             23 - static_cast<int32_t>(rng() % 5), 17 - static_cast<int32_t>(rng() % 5)},
                            white ? nullptr : coloured);
          dc.Apply();
          const int32_t x = 8 + static_cast<int32_t>(rng() % 7), y = 6 + static_cast<int32_t>(rng() % 5);
          SoftBlitRotate(dst.img(), src.img(), x, y, half ? kPi : 0.0f, 1.0f, trans, 0,
                         masked ? mask.img() : nullptr);
          const int32_t m = blitref::EffectiveMode(dc, kind.paletted);
          for (int32_t py = dc.clip.top; py < dc.clip.bottom && m >= 0; ++py)
            for (int32_t px = dc.clip.left; px < dc.clip.right; ++px) {
              const int32_t tu = half ? 6 - (px - x) : 6 + px - x, tv = half ? 4 - (py - y) : 4 + py - y;
              if (tu < 0 || tu >= 13 || tv < 0 || tv >= 9) continue;
              blitref::DrawTexel(dc, m, expected, px, py, src, tu, tv, trans, masked ? &mask : nullptr);
            }
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha
              << " mode " << mode << " param " << param << " masked " << masked << " white " << white
              << " trans " << trans << " half turn " << half;
          ++drawn;
        }
  EXPECT_EQ(drawn, 6 * 10 * 4 * 16);
}

}  // namespace
