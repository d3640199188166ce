#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "library/softrender/soft_triangle.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"
#include "tests/softrender/shape_hits.h"

// Corners of flat triangles are written as {x, y}, their texels left 0.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using shapetest::Hits;

using TriangleTest = rendertest::TablesTest<100, 60>;

constexpr int32_t kSize = 48, kOrigin = 16;

// The pixels a flat triangle covers, with their write counts. It is drawn
// into a view whose pixel (0, 0) lies at (16, 16) of a 48 x 48 image, so
// that corners and rows at negative coordinates can be seen; the area is
// in the view's coordinates.
Hits Cover(const std::vector<TriVertex>& v,
           PixelRect clip = {-kOrigin, -kOrigin, kSize - kOrigin, kSize - kOrigin}) {
  TestImage image(kSize, kSize, MemImgDepth32);
  MEMIMG view = *image.img();
  view.pixels = image.at(kOrigin, kOrigin);
  shapetest::CountingState(clip);
  SoftTriangle(&view, nullptr, v.data(), 0, nullptr, 1);
  return shapetest::ReadHits(image, kOrigin, kOrigin);
}

// Spans listed as (row, first, last, times written), from the top.
Hits Spans(const std::vector<std::array<int32_t, 4>>& spans) {
  Hits hits;
  for (const auto& s : spans)
    for (int32_t x = s[1]; x <= s[2]; ++x) hits[{x, s[0]}] += s[3];
  return hits;
}

TEST_F(TriangleTest, SpansOfEachSideCase) {
  struct Case {
    const char* name;
    std::vector<TriVertex> v;
    Hits expected;
  } cases[] = {
      // clang-format off
      {"flat top", {{0, 0}, {4, 0}, {0, 4}}, Spans({{0, 0, 4, 1}, {1, 0, 3, 1}, {2, 0, 2, 1}, {3, 0, 1, 1}})},
      {"flat bottom", {{2, 0}, {4, 4}, {0, 4}},
       Spans({{0, 2, 2, 1}, {1, 2, 3, 1}, {2, 1, 3, 1}, {3, 1, 4, 1}})},
      {"the middle corner on the right",
       {{0, 0}, {6, 3}, {1, 6}},
       Spans({{0, 0, 0, 1}, {1, 0, 2, 1}, {2, 0, 4, 1}, {3, 0, 6, 1}, {4, 1, 4, 1}, {5, 1, 3, 1}})},
      {"any order of the corners", {{1, 6}, {0, 0}, {6, 3}},
       Spans({{0, 0, 0, 1}, {1, 0, 2, 1}, {2, 0, 4, 1}, {3, 0, 6, 1}, {4, 1, 4, 1}, {5, 1, 3, 1}})},
      {"corners at -1 count as row and column 0", {{-1, -1}, {4, -1}, {-1, 4}},
       Spans({{0, 0, 4, 1}, {1, 0, 3, 1}, {2, 0, 2, 1}, {3, 0, 1, 1}, {4, 0, 0, 1}})},
      {"a negative top: the bent left side visits the middle row twice",
       {{0, -3}, {-4, 2}, {5, 6}},
       Spans({{-2, 0, 0, 1}, {-1, 0, 1, 1}, {0, -1, 1, 1}, {1, -1, 2, 1}, {2, -3, 3, 1}, {2, -2, 2, 1},
              {3, -1, 3, 1}, {4, 1, 4, 1}, {5, 3, 4, 1}})},
      {"a negative top with the bend on the right runs through the bottom row",
       {{0, -3}, {5, 2}, {-2, 6}},
       Spans({{-2, 0, 0, 1}, {-1, 0, 1, 1}, {0, 0, 2, 1}, {1, 0, 3, 1}, {2, 0, 4, 1}, {3, 0, 5, 1},
              {4, 0, 3, 1}, {5, -1, 2, 1}, {6, -1, 0, 1}})},
      {"all corners on one row", {{0, 3}, {5, 3}, {9, 3}}, {}},
      {"two corners in one place", {{0, 0}, {0, 0}, {5, 7}}, {}},
      {"corners on one line", {{0, 0}, {2, 3}, {4, 6}}, {}},
      // clang-format on
  };
  for (const Case& c : cases) EXPECT_EQ(Cover(c.v), c.expected) << c.name;

  // Rows from the top corner's down to, not including, the bottom corner's;
  // in the general case the top row is the top corner alone.
  const auto rows = shapetest::RowExtents(Cover({{3, 2}, {-5, 12}, {8, 9}}));
  EXPECT_EQ(rows.begin()->first, 2);
  EXPECT_EQ(rows.begin()->second, std::make_pair(3, 3));
  EXPECT_EQ(rows.rbegin()->first, 11);
  EXPECT_EQ(rows.size(), 10u);
}

TEST_F(TriangleTest, ClippingAndRefusals) {
  // A clipped triangle draws exactly its pixels inside the area.
  const std::vector<TriVertex> v = {{-9, -4}, {20, 3}, {2, 25}};
  const Hits whole = Cover(v);
  EXPECT_EQ(whole.size(), 391u);
  const PixelRect area = {-2, -4, 14, 17};
  Hits expected;
  for (const auto& [p, n] : whole)
    if (p.first >= area.left && p.first < area.right && p.second >= area.top && p.second < area.bottom)
      expected[p] = n;
  EXPECT_EQ(Cover(v, area), expected);
  EXPECT_TRUE(Cover(v, {4, -10, 4, 30}).empty()) << "an area of no width";
  EXPECT_TRUE(Cover({{24, 0}, {28, 0}, {24, 4}}, {0, 0, 10, 10}).empty()) << "wholly outside the area";

  // Corners or texels beyond the 14-bit range are refused.
  EXPECT_TRUE(Cover({{0, 0}, {8192, 0}, {0, 4}}).empty());
  EXPECT_TRUE(Cover({{0, -8193}, {4, 0}, {0, 4}}).empty());
  EXPECT_FALSE(Cover({{0, -8192}, {4, 0}, {0, 4}}).empty());
  TestImage src(4, 4, MemImgDepth32), dst(8, 8, MemImgDepth32);
  for (int32_t i = 0; i < 16; ++i) src.Set(i % 4, i / 4, 0x00FFFFFF);
  DrawCase(0, 0, {0, 0, 8, 8}).Apply();
  const TriVertex far[3] = {{0, 0, 0, 0}, {4, 0, 9000, 0}, {0, 4, 0, 4}};
  SoftTriangle(dst.img(), src.img(), far, 0, nullptr, 0);
  EXPECT_TRUE(shapetest::ReadHits(dst).empty());

  // Destinations: paletted, alpha, another depth than the source.
  const TriVertex in[3] = {{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}};
  TestImage paletted(8, 8, MemImgDepth32, true), alpha(8, 8, MemImgDepth32, false, true),
      d16(8, 8, MemImgDepth16);
  for (TestImage* d : {&paletted, &alpha, &d16}) {
    SoftTriangle(d->img(), src.img(), in, 0, nullptr, 0);
    SoftTriangle(d->img(), nullptr, in, 0, nullptr, 0xFFFFFFFF);
    EXPECT_EQ(shapetest::ReadHits(*d).empty(), d != &d16);
  }
  EXPECT_EQ(shapetest::ReadHits(d16).size(), 14u) << "the flat triangle still draws on 16 bits";
}

TEST_F(TriangleTest, TexturesMapTexelByTexel) {
  TestImage src(4, 4, MemImgDepth32);
  rendertest::FillCoordinates(src);
  const DrawCase dc(0, 0, {0, 0, 32, 32});
  struct Case {
    const char* name;
    TriVertex v[3];
    int32_t x0, y0, scale;
    std::pair<int32_t, int32_t> skipped;
  } cases[] = {
      // clang-format off
      {"1:1", {{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}}, 0, 0, 1, {4, 0}},
      {"2:1", {{10, 10, 0, 0}, {18, 10, 4, 0}, {10, 18, 0, 4}}, 10, 10, 2, {18, 10}},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(32, 32, MemImgDepth32), cover(32, 32, MemImgDepth32);
    shapetest::CountingState(dc.clip);
    SoftTriangle(cover.img(), nullptr, c.v, 0, nullptr, 1);
    dc.Apply();
    SoftTriangle(dst.img(), src.img(), c.v, 0, nullptr, 0);
    int drawn = 0;
    for (const auto& [p, n] : shapetest::ReadHits(cover)) {
      const uint32_t got = dst.Get(p.first, p.second);
      if (p == c.skipped) {
        EXPECT_EQ(got, 0u) << c.name << ": the texel beyond the source's right edge";
        continue;
      }
      const int32_t tu = (p.first - c.x0) / c.scale, tv = (p.second - c.y0) / c.scale;
      EXPECT_EQ(got, src.Get(tu, tv)) << c.name << " at " << p.first << ", " << p.second;
      ++drawn;
    }
    EXPECT_EQ(drawn, c.scale == 1 ? 13 : 43) << c.name;
  }
}

TEST_F(TriangleTest, FlatColourRules) {
  const TriVertex v[3] = {{0, 0}, {6, 0}, {0, 6}};
  struct Case {
    const char* name;
    int32_t depth, mode, param;
    uint8_t bright[3];
    uint32_t colour, dst, expected;
  } cases[] = {
      // clang-format off
      {"brightness by table: red 255 at 128 gives 128", MemImgDepth32, 0, 0, {255, 255, 128}, 0x44FFFFFF, 0,
       0x4480FFFF},
      {"16-bit red 31 at 128 gives 15", MemImgDepth16, 0, 0, {255, 255, 128}, 0xFFFF, 0, 0x7FFF},
      {"copy stores byte 3", MemImgDepth32, 1, 255, {255, 255, 255}, 0xAB123456, 0xFF000000, 0xAB123456},
      {"alpha keeps the destination's byte 3", MemImgDepth32, 1, 200, {255, 255, 255}, 0, 0x770A0A0A,
       0x77020202},
      {"alpha at 0 draws nothing", MemImgDepth32, 1, 0, {255, 255, 255}, 0, 0x770A0A0A, 0x770A0A0A},
      {"add at 0 draws nothing", MemImgDepth32, 2, 0, {255, 255, 255}, 0xFFFFFF, 0x770A0A0A, 0x770A0A0A},
      {"subtract at 0 draws nothing", MemImgDepth32, 3, 0, {255, 255, 255}, 0xFFFFFF, 0x770A0A0A, 0x770A0A0A},
      {"multiply then alpha at 0 leaves the pixel", MemImgDepth32, 11, 0, {255, 255, 255}, 0, 0x77123456,
       0x77123456},
      {"mode 7 draws nothing", MemImgDepth32, 7, 255, {255, 255, 255}, 0xFFFFFF, 0x01020304, 0x01020304},
      // clang-format on
  };
  for (const Case& c : cases) {
    TestImage dst(8, 8, c.depth);
    dst.Set(1, 1, c.dst);
    DrawCase(c.mode, c.param, {0, 0, 8, 8}, c.bright).Apply();
    SoftTriangle(dst.img(), nullptr, v, 0, nullptr, c.colour);
    EXPECT_EQ(dst.Get(1, 1), c.expected) << c.name;
  }

  // A mask and the transparent flag play no part in a flat triangle.
  TestImage a(8, 8, MemImgDepth32), b(8, 8, MemImgDepth32), mask(8, 8, MemImgDepthSingle8);
  DrawCase(1, 100, {0, 0, 8, 8}).Apply();
  SoftTriangle(a.img(), nullptr, v, 0, nullptr, 0x00FF8040);
  SoftTriangle(b.img(), nullptr, v, 1, mask.img(), 0x00FF8040);
  EXPECT_TRUE(rendertest::SameImage(a, b));
  // Nor do texel coordinates, which its callers leave unset.
  TestImage c(8, 8, MemImgDepth32);
  const TriVertex unset[3] = {{0, 0, INT32_MIN, 77777}, {6, 0, -1, INT32_MAX}, {0, 6, 123456, INT32_MIN}};
  SoftTriangle(c.img(), nullptr, unset, 0, nullptr, 0x00FF8040);
  EXPECT_TRUE(rendertest::SameImage(a, c));
}

// Every mode, parameter case, blend graph, brightness and transparent flag
// for each source kind, on random triangles over random images, against
// the reference. The texture coordinates follow the corners one to one, so
// that the pixel at (x, y) takes the texel (x - 2, y - 3).
TEST_F(TriangleTest, VariantMatrixOfTexturedSpansMatchesTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 12, -1};
  const int32_t params[] = {0, 1, 128, 255};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(2024);
  int drawn = 0;
  for (const rendertest::SourceKind& kind : rendertest::kSourceKinds)
    for (int32_t mode : modes)
      for (int32_t param : params)
        for (int flags = 0; flags < 8; ++flags) {
          const bool masked = flags & 1, white = flags & 2, trans = flags & 4;
          TestImage src(15, 13, kind.depth, kind.paletted, kind.alpha, static_cast<int32_t>(rng() % 3));
          TestImage mask(16, 13, MemImgDepthSingle8, false, false, 1);
          TestImage dst(21, 19, kind.depth), expected(21, 19, kind.depth), cover(21, 19, MemImgDepth32);
          rendertest::FillScene(src, rendertest::RandomKey(kind, rng), 200, dst, mask, expected, rng);
          const DrawCase dc(mode, param,
                            {static_cast<int32_t>(rng() % 4), static_cast<int32_t>(rng() % 4),
                             21 - static_cast<int32_t>(rng() % 4), 19 - static_cast<int32_t>(rng() % 4)},
                            white ? nullptr : coloured);
          TriVertex v[3];
          for (TriVertex& t : v) {
            t.x = 2 + static_cast<int32_t>(rng() % 17);
            t.y = 3 + static_cast<int32_t>(rng() % 15);
            t.u = t.x - 2;
            t.v = t.y - 3;
          }
          shapetest::CountingState(dc.clip);
          SoftTriangle(cover.img(), nullptr, v, 0, nullptr, 1);
          dc.Apply();
          SoftTriangle(dst.img(), src.img(), v, trans, masked ? mask.img() : nullptr, 0);
          const int32_t m = blitref::EffectiveMode(dc, kind.paletted);
          for (const auto& [p, n] : shapetest::ReadHits(cover)) {
            const int32_t tu = p.first - 2, tv = p.second - 3;
            if (m < 0 || tu >= src.width() || tv >= src.height()) continue;
            blitref::DrawTexel(dc, m, expected, p.first, p.second, src, tu, tv, trans,
                               masked ? &mask : nullptr);
          }
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha
              << " mode " << mode << " param " << param << " masked " << masked << " white " << white
              << " trans " << trans;
          ++drawn;
        }
  EXPECT_EQ(drawn, 6 * 10 * 4 * 8);
}

// The worked pixels of the source kinds.
TEST_F(TriangleTest, WorkedTexels) {
  struct Case {
    const char* name;
    int32_t depth;
    bool paletted, alpha;
    int32_t mode, param, trans;
    uint32_t key, texel, entry, dst, expected;
  } cases[] = {
      // clang-format off
      {"a key above 255 matches no index", MemImgDepth32, true, false, 0, 0, 1, 0x105, 5, 0x11223344, 0,
       0x11223344},
      {"the key index is skipped", MemImgDepth32, true, false, 0, 0, 1, 5, 5, 0x11223344, 0x99999999,
       0x99999999},
      {"a paletted subtract at 0 still runs", MemImgDepth32, true, false, 3, 0, 0, 0x100, 1, 0, 0xFF000000,
       0x00010100},
      {"a direct subtract at 0 draws nothing", MemImgDepth32, false, false, 3, 0, 0, 0x100, 0, 0, 0xFF000000,
       0xFF000000},
      {"16-bit paletted subtract at 0", MemImgDepth16, true, false, 3, 0, 0, 0x100, 1, 0, 0x07E0, 0x0FC0},
      {"the whole key with another byte 3 is drawn", MemImgDepth32, false, false, 0, 0, 1, 0x00ABCDEF,
       0x01ABCDEF, 0, 0,
       0x01ABCDEF},
      {"alpha 255 without trans weighs 255/256", MemImgDepth32, false, true, 0, 0, 0, 0, 0xFFFFFFFF, 0,
       0x55000000,
       0x55FEFEFE},
      {"alpha 255 with trans copies the whole texel", MemImgDepth32, false, true, 0, 0, 1, 0, 0xFFFFFFFF, 0,
       0x55000000, 0xFFFFFFFF},
      {"alpha 0 with trans skips a copy", MemImgDepth32, false, true, 0, 0, 1, 0, 0x00FFFFFF, 0, 0x55123456,
       0x55123456},
      {"alpha 0 with trans multiplies to black", MemImgDepth32, false, true, 4, 0, 1, 0, 0x00FFFFFF, 0,
       0x55123456,
       0x55000000},
      {"alpha 0 with trans, inverted source, writes the pixel back", MemImgDepth32, false, true, 10, 90, 1, 0,
       0x00FFFFFF, 0, 0x55123456, 0x55123456},
      {"add at 255 with alpha 128: 200 gives 99", MemImgDepth32, false, true, 2, 255, 0, 0, 0x800000C8, 0, 0,
       0x63},
      {"16-bit alpha 255 without trans", MemImgDepth16, false, true, 0, 0, 0, 0, 0x00FFFFFF, 0, 0, 0xF7DE},
      {"16-bit alpha 255 with trans", MemImgDepth16, false, true, 0, 0, 1, 0, 0x00FFFFFF, 0, 0, 0xFFFF},
      {"16-bit alpha 0 with trans multiplies to black", MemImgDepth16, false, true, 4, 0, 1, 0, 0x0000FFFF, 0,
       0x1234, 0},
      {"16-bit alpha 0 with trans skips the inverted source", MemImgDepth16, false, true, 10, 90, 1, 0,
       0x0000FFFF,
       0, 0x1234, 0x1234},
      {"16-bit key skipped before the inversion", MemImgDepth16, false, false, 10, 90, 1, 0x1234, 0x1234, 0,
       0x5555,
       0x5555},
      // clang-format on
  };
  const TriVertex v[3] = {{0, 0, 0, 0}, {2, 0, 1, 0}, {0, 2, 0, 1}};
  for (const Case& c : cases) {
    TestImage src(1, 1, c.depth, c.paletted, c.alpha), dst(2, 2, c.depth);
    src.buffer().transColor = c.key;
    src.Set(0, 0, c.texel);
    if (c.paletted) src.SetPalette(c.texel, c.entry);
    dst.Set(0, 0, c.dst);
    DrawCase(c.mode, c.param, {0, 0, 2, 2}).Apply();
    SoftTriangle(dst.img(), src.img(), v, c.trans, nullptr, 0);
    EXPECT_EQ(dst.Get(0, 0), c.expected) << c.name;
  }
}

// ---- Two triangles that share pixels: the halves of a quadrilateral ----

// The halves (0, 1, 2) and (1, 2, 3) of a quadrilateral whose corners p are
// where a w x h source's top-left, top-right, bottom-left and bottom-right
// corners land.
struct Quad {
  const char* name;
  int32_t p[8];
  PixelRect clip;
};
void Halves(const int32_t* p, int32_t w, int32_t h, TriVertex* v) {
  const TriVertex corners[4] = {{p[0], p[1], 0, 0}, {p[2], p[3], w, 0}, {p[4], p[5], 0, h}, {p[6], p[7], w, h}};
  std::copy(corners, corners + 4, v);
}

// Random corners around and inside a 48 x 48 image, in a random area.
Quad RandomQuad(std::mt19937& rng) {
  Quad q{"random", {}, {}};
  for (int32_t& c : q.p) c = static_cast<int32_t>(rng() % 60) - 6;
  q.clip = {static_cast<int32_t>(rng() % 8), static_cast<int32_t>(rng() % 8), 48 - static_cast<int32_t>(rng() % 8),
            48 - static_cast<int32_t>(rng() % 8)};
  return q;
}

// Added at full parameter over black, each pixel of a quadrilateral holds
// its texel (or the flat colour) once: where both halves cover a pixel, the
// second half's texel when it draws one there, else the first half's; every
// other pixel what its one half gives it.
TEST_F(TriangleTest, APairDrawsThePixelsBothHalvesCoverOnce) {
  // Texels name their coordinates (never 0); every fifth one is the
  // transparent colour, so that the second half passes over some shared pixels.
  TestImage src(16, 16, MemImgDepth32);
  rendertest::FillCoordinates(src);
  src.buffer().transColor = 0x00ABCDEF;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      if ((x + 2 * y) % 5 == 0) src.Set(x, y, 0x00ABCDEF);
  const PixelRect all = {0, 0, 48, 48};
  std::vector<Quad> quads = {
      // clang-format off
      {"1:1", {4, 4, 20, 4, 4, 20, 20, 20}, all},
      {"a wide beam", {8, 0, 40, 0, 2, 40, 30, 40}, all},
      {"a narrow beam leaning right", {16, 0, 26, 0, 20, 37, 44, 37}, all},
      {"turned by a quarter", {40, 4, 40, 44, 4, 4, 4, 44}, all},
      {"a diamond: the diagonal upright", {2, 20, 24, 2, 24, 46, 46, 24}, all},
      {"a diamond: the diagonal level", {24, 2, 46, 24, 2, 24, 24, 46}, all},
      {"a steep shear", {10, 1, 13, 1, 35, 46, 38, 46}, all},
      {"above and left of the area", {-5, -7, 30, -3, -2, 35, 33, 38}, all},
      {"the first half visits its bend's row twice", {2, 10, 30, -6, 10, 40, 44, 30}, all},
      {"cut by the area", {3, 3, 45, 9, 1, 41, 44, 44}, {5, 7, 39, 40}},
      {"crossed: the halves overlap", {0, 0, 44, 44, 44, 0, 0, 44}, all},
      // clang-format on
  };
  std::mt19937 rng(508);
  for (int i = 0; i < 200; ++i) quads.push_back(RandomQuad(rng));

  int shared = 0;
  for (const Quad& q : quads)
    for (int32_t trans : {0, 1}) {
      TriVertex v[4];
      Halves(q.p, 16, 16, v);
      // Each half alone: the pixels it covers, what it adds, and its texels
      // copied once (a half whose top corner lies above row 0 may visit a
      // row twice, and adds its texels there twice).
      TestImage coverA(48, 48, MemImgDepth32), coverB(48, 48, MemImgDepth32);
      TestImage addA(48, 48, MemImgDepth32), addB(48, 48, MemImgDepth32), pair(48, 48, MemImgDepth32);
      TestImage copyA(48, 48, MemImgDepth32), copyB(48, 48, MemImgDepth32);
      shapetest::CountingState(q.clip);
      SoftTriangle(coverA.img(), nullptr, v, 0, nullptr, 1);
      SoftTriangle(coverB.img(), nullptr, v + 1, 0, nullptr, 1);
      SoftTriangle(addA.img(), src.img(), v, trans, nullptr, 0);
      SoftTriangle(addB.img(), src.img(), v + 1, trans, nullptr, 0);
      SoftTrianglePair(pair.img(), src.img(), v, v + 1, trans, nullptr, 0);
      DrawCase(0, 0, q.clip).Apply();
      SoftTriangle(copyA.img(), src.img(), v, trans, nullptr, 0);
      SoftTriangle(copyB.img(), src.img(), v + 1, trans, nullptr, 0);
      for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 48; ++x) {
          const bool both = coverA.Get(x, y) != 0 && coverB.Get(x, y) != 0;
          shared += both;
          const uint32_t expected = both ? (copyB.Get(x, y) != 0 ? copyB.Get(x, y) : copyA.Get(x, y))
                                         : addA.Get(x, y) | addB.Get(x, y);
          ASSERT_EQ(pair.Get(x, y), expected) << q.name << " trans " << trans << " at " << x << "," << y;
        }
    }
  EXPECT_GT(shared, 2000);

  // Flat halves: every pixel of either written once, on both depths.
  for (int32_t depth : {MemImgDepth32, MemImgDepth16})
    for (const Quad& q : quads) {
      TriVertex v[4];
      Halves(q.p, 0, 0, v);
      TestImage first(48, 48, depth), second(48, 48, depth), pair(48, 48, depth);
      shapetest::CountingState(q.clip);
      SoftTriangle(first.img(), nullptr, v, 0, nullptr, 1);
      SoftTriangle(second.img(), nullptr, v + 1, 0, nullptr, 1);
      SoftTrianglePair(pair.img(), nullptr, v, v + 1, 0, nullptr, 1);
      Hits expected = shapetest::ReadHits(first);
      for (const auto& [p, n] : shapetest::ReadHits(second)) expected[p] = expected.count(p) ? 1 : n;
      ASSERT_EQ(shapetest::ReadHits(pair), expected) << q.name << " depth " << depth;
    }
}

// Against the two triangles drawn one after the other, on random images in
// every mode: the pixels only one half covers are the same, and so is every
// pixel of a copy (a source without alpha in mode 0, or 1 at 255).
TEST_F(TriangleTest, APairChangesOnlyThePixelsBothHalvesBlend) {
  const std::pair<int32_t, int32_t> states[] = {{0, 0}, {1, 255}, {1, 128}, {2, 200}, {3, 90},
                                               {4, 0},  {10, 77}, {11, 140}};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(1107);
  int copies = 0;
  for (const rendertest::SourceKind& kind : rendertest::kSourceKinds)
    for (const auto& [mode, param] : states)
      for (int flags = 0; flags < 4; ++flags)
        for (int round = 0; round < 6; ++round) {
          const bool white = flags & 1, trans = flags & 2;
          TestImage src(13, 11, kind.depth, kind.paletted, kind.alpha);
          TestImage mask(13, 11, MemImgDepthSingle8, false, false, 1);
          TestImage dst(48, 48, kind.depth), old(48, 48, kind.depth);
          rendertest::FillScene(src, rendertest::RandomKey(kind, rng), 200, dst, mask, old, rng);
          const Quad q = RandomQuad(rng);
          TriVertex v[4];
          Halves(q.p, 13, 11, v);
          TestImage first(48, 48, MemImgDepth32), second(48, 48, MemImgDepth32);
          shapetest::CountingState(q.clip);
          SoftTriangle(first.img(), nullptr, v, 0, nullptr, 1);
          SoftTriangle(second.img(), nullptr, v + 1, 0, nullptr, 1);
          const Hits a = shapetest::ReadHits(first), b = shapetest::ReadHits(second);

          DrawCase(mode, param, q.clip, white ? nullptr : coloured).Apply();
          SoftTriangle(old.img(), src.img(), v, trans, nullptr, 0);
          SoftTriangle(old.img(), src.img(), v + 1, trans, nullptr, 0);
          SoftTrianglePair(dst.img(), src.img(), v, v + 1, trans, nullptr, 0);
          const bool copy = !kind.alpha && (mode == 0 || (mode == 1 && param == 255));
          copies += copy;
          for (int32_t y = 0; y < 48; ++y)
            for (int32_t x = 0; x < 48; ++x) {
              if (!copy && a.count({x, y}) && b.count({x, y})) continue;
              ASSERT_EQ(dst.Get(x, y), old.Get(x, y))
                  << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha
                  << " mode " << mode << " param " << param << " white " << white << " trans " << trans
                  << " at " << x << "," << y;
            }
        }
  EXPECT_EQ(copies, 4 * 2 * 4 * 6);
}

}  // namespace
