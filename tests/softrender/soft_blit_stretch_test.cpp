#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/soft_blit.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::Pack;
using blitref::TestImage;

using SoftBlitStretchTest = rendertest::TablesTest<>;

enum class Family { Direct32, Direct16, Palette32, Palette16 };
constexpr Family kFamilies[] = {Family::Direct32, Family::Direct16, Family::Palette32, Family::Palette16};

bool IsPaletted(Family f) { return f == Family::Palette32 || f == Family::Palette16; }
int32_t DepthOf(Family f) {
  return f == Family::Direct32 || f == Family::Palette32 ? MemImgDepth32 : MemImgDepth16;
}

// A source whose every pixel tells its column and row: 32-bit blue = column,
// green = row; 16-bit blue = column, green = row; paletted index = column +
// 8 x row, the entry equal to the index.
std::unique_ptr<TestImage> PositionSource(Family f, int32_t width, int32_t height) {
  const bool paletted = IsPaletted(f);
  const int32_t depth = DepthOf(f);
  auto src = std::make_unique<TestImage>(width, height, depth, paletted);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      src->Set(x, y,
               paletted                 ? static_cast<uint32_t>(x + 8 * y)
               : depth == MemImgDepth32 ? x | y << 8
                                        : x | y << 5);
  if (paletted)
    for (uint32_t i = 0; i < 256; ++i) src->SetPalette(i, i);
  src->buffer().transColor = 0xFFFF;  // matches nothing here
  return src;
}

// Draws the source into rect over a zero destination; returns the source
// column and row shown by each destination pixel of the clipped area
// (-1 where nothing was drawn).
struct Drawn {
  std::vector<int32_t> columns, rows;
};

Drawn DrawPositions(Family f, int32_t srcW, int32_t srcH, const int32_t rect[4], int32_t mode, int32_t param,
                    PixelRect clip) {
  auto src = PositionSource(f, srcW, srcH);
  const int32_t depth = src->buffer().depthKind;
  TestImage dst(16, 16, depth);
  DrawCase(mode, param, clip).Apply();
  SoftBlitStretch(dst.img(), src->img(), rect, 0, nullptr);
  auto decode = [&](uint32_t v, bool column) -> int32_t {
    if (IsPaletted(f)) return static_cast<int32_t>(column ? v % 8 : v / 8);
    if (depth == MemImgDepth32) return static_cast<int32_t>(column ? v & 0xFF : (v >> 8) & 0xFF);
    return static_cast<int32_t>(column ? v & 31 : (v >> 5) & 63);
  };
  Drawn out;
  for (int32_t x = clip.left; x < clip.right; ++x) out.columns.push_back(decode(dst.Get(x, clip.top), true));
  for (int32_t y = clip.top; y < clip.bottom; ++y) out.rows.push_back(decode(dst.Get(clip.left, y), false));
  return out;
}

// The stepping examples, for every family, along columns and rows: copies
// step with the zero-stop rule, the add at 255 with the standard rule (it
// adds the source to a zero destination unchanged).
TEST_F(SoftBlitStretchTest, SourceColumnsAndRowsOfTheSteppingExamples) {
  struct Case {
    const char* name;
    int32_t srcSize;
    int32_t from, to;  // rectangle edges on the tested axis, in that order
    int32_t clipFrom;  // first destination pixel of the area
    int32_t mode;
    std::vector<int32_t> expected;
  } cases[] = {
      // clang-format off
      {"4 to 6", 4, 0, 6, 0, 2, {0, 0, 1, 2, 2, 3}},
      {"4 to 6, two clipped", 4, 0, 6, 2, 2, {1, 2, 2, 3}},
      {"4 to 6 mirrored, two clipped", 4, 6, 0, 2, 2, {2, 1, 1, 0}},
      {"8 to 4, standard", 8, 0, 4, 0, 2, {0, 2, 4, 6}},
      {"8 to 4, zero-stop", 8, 0, 4, 0, 0, {0, 1, 3, 5}},
      {"4 to 8", 4, 0, 8, 0, 0, {0, 0, 1, 1, 2, 2, 3, 3}},
      {"4 to 8, standard", 4, 0, 8, 0, 2, {0, 0, 1, 1, 2, 2, 3, 3}},
      {"same size mirrored", 5, 5, 0, 0, 0, {4, 3, 2, 1, 0}},
      {"1 to 5", 1, 0, 5, 0, 2, {0, 0, 0, 0, 0}},
      // clang-format on
  };
  for (Family f : kFamilies) {
    for (const Case& c : cases) {
      const int32_t extent = std::max(c.from, c.to);
      const int32_t param = c.mode == 2 ? 255 : 0;
      // Columns: the other axis is a plain 1 to 1.
      const int32_t horizontal[4] = {c.from, 0, c.to, 1};
      Drawn d = DrawPositions(f, c.srcSize, 1, horizontal, c.mode, param, {c.clipFrom, 0, extent, 1});
      EXPECT_EQ(d.columns, c.expected) << c.name << ", columns, family " << static_cast<int>(f);
      const int32_t vertical[4] = {0, c.from, 1, c.to};
      d = DrawPositions(f, 1, c.srcSize, vertical, c.mode, param, {0, c.clipFrom, 1, extent});
      EXPECT_EQ(d.rows, c.expected) << c.name << ", rows, family " << static_cast<int>(f);
    }
  }
  // Mode 3 steps with the zero-stop rule at 255 only.
  const int32_t halve[4] = {0, 0, 4, 1};
  auto subtractColumns = [&](int32_t param) {
    auto src = PositionSource(Family::Direct32, 8, 1);
    TestImage dst(4, 1, MemImgDepth32);
    for (int x = 0; x < 4; ++x) dst.Set(x, 0, 0x00FEFEFF);
    DrawCase(3, param, {0, 0, 4, 1}).Apply();
    SoftBlitStretch(dst.img(), src->img(), halve, 0, nullptr);
    std::vector<int32_t> columns;
    for (int x = 0; x < 4; ++x) {
      // 0xFF minus t gives 0xFF - t on blue at 255; at 254, t = column * 254 / 255.
      const int32_t t = 0xFF - static_cast<int32_t>(dst.Get(x, 0) & 0xFF);
      columns.push_back(param == 255 ? t : (t * 255 + 253) / 254);
    }
    return columns;
  };
  EXPECT_EQ(subtractColumns(255), (std::vector<int32_t>{0, 1, 3, 5}));
  EXPECT_EQ(subtractColumns(254), (std::vector<int32_t>{0, 2, 4, 6}));
}

TEST_F(SoftBlitStretchTest, TheSourceSizeUnmirroredGoesToTheUnscaledBlit) {
  // Mode 1 at 128 tells them apart: the unscaled blit takes the half-sum
  // (3 over 5 gives 3, byte 3 cleared), the stretched loops mix (4, byte 3 kept).
  TestImage src(2, 2, MemImgDepth32), dst(4, 4, MemImgDepth32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) src.Set(x, y, 0x11030303);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) dst.Set(x, y, 0xEE050505);
  DrawCase dc(1, 128, {0, 0, 4, 4});
  dc.Apply();
  const int32_t same[4] = {1, 1, 3, 3};
  SoftBlitStretch(dst.img(), src.img(), same, 0, nullptr);
  EXPECT_EQ(dst.Get(1, 1), 0x00030303u);
  EXPECT_EQ(dst.Get(2, 2), 0x00030303u);
  const int32_t mirrored[4] = {2, 0, 0, 2};
  SoftBlitStretch(dst.img(), src.img(), mirrored, 0, nullptr);
  EXPECT_EQ(dst.Get(0, 0), 0xEE040404u);
  EXPECT_EQ(dst.Get(1, 1), 0x00030303u) << "mix(3, 3) keeps byte 3";
  const int32_t flipped[4] = {2, 4, 4, 2};
  SoftBlitStretch(dst.img(), src.img(), flipped, 0, nullptr);
  EXPECT_EQ(dst.Get(3, 3), 0xEE040404u);

  // The trans flag and the mask go along to the unscaled blit.
  TestImage mask(2, 2, MemImgDepthSingle8);
  src.buffer().transColor = 0x11030303;
  TestImage target(2, 2, MemImgDepth32);
  dc.mode = 0;
  dc.Apply();
  const int32_t whole[4] = {0, 0, 2, 2};
  SoftBlitStretch(target.img(), src.img(), whole, 1, nullptr);
  EXPECT_EQ(target.Get(0, 0), 0u);
  src.buffer().transColor = 0;
  SoftBlitStretch(target.img(), src.img(), whole, 0, mask.img());
  EXPECT_EQ(target.Get(0, 0), 0u) << "mask weight 0";
}

// Where the stretched loops differ from the unscaled ones: each case draws a
// 1 x 1 source mirrored (so the stretched loops run, one source pixel to one
// destination pixel) and the same pixel unscaled.
TEST_F(SoftBlitStretchTest, StretchedLoopsDifferWhereListed) {
  const uint32_t p111 = Pack(1, 1, 1);
  struct Case {
    const char* name;
    Family family;
    int32_t mode, param;
    bool alpha;
    int32_t trans;
    uint32_t transColor, src, dst, stretched, unscaled;
  } cases[] = {
      // clang-format off
      {"32: copy of an alpha source mixes", Family::Direct32, 0, 0, true, 0, 0, 0xFFFFFFFF, 0xAA000000,
       0xAAFEFEFE, 0xFFFFFFFF},
      {"32: alpha 0 leaves the pixel", Family::Direct32, 0, 0, true, 0, 0, 0x00FFFFFF, 0xAA000000, 0xAA000000,
       0x00FFFFFF},
      {"32: alpha 255 with trans is stored whole", Family::Direct32, 0, 0, true, 1, 0, 0xFFFFFFFF, 0xAA000000,
       0xFFFFFFFF, 0xFFFFFFFF},
      {"32: no half-sum at 128", Family::Direct32, 1, 128, false, 0, 0, 0xFF030303, 0xAA050505, 0xAA040404,
       0x00030303},
      {"32: add at 255 in form A", Family::Direct32, 2, 255, false, 0, 0, 0x00010101, 0x00010101, 0x00010102,
       0x00000002},
      {"32: multiply skips alpha 0 with trans", Family::Direct32, 4, 0, true, 1, 0, 0x00FFFFFF, 0xAA808080,
       0xAA808080, 0xAA000000},
      {"32: multiply by alpha 0 without trans", Family::Direct32, 4, 0, true, 0, 0, 0x00FFFFFF, 0xAA808080,
       0xAA000000, 0xAA000000},
      {"32: the whole key is compared", Family::Direct32, 0, 0, false, 1, 0x00ABCDEF, 0x01ABCDEF, 0,
       0x01ABCDEF, 0x01ABCDEF},
      {"16: copy of an alpha source mixes", Family::Direct16, 0, 0, true, 0, 0, 0xFFFFFF, 0, Pack(30, 62, 30),
       0xFFFF},
      {"16: alpha 255 with trans is copied", Family::Direct16, 0, 0, true, 1, 0, 0xFFFFFF, 0, 0xFFFF, 0xFFFF},
      {"16: blend by the diff table at 128", Family::Direct16, 1, 128, false, 0, 0, Pack(31, 0, 0), 0,
       Pack(15, 0, 0), Pack(15, 0, 0)},
      {"16: blend by the diff table, not the 6-bit table", Family::Direct16, 1, 100, false, 0, 0,
       Pack(3, 3, 3), Pack(5, 5, 5), Pack(5, 5, 5), Pack(4, 4, 4)},
      {"16: add at 255 in form A", Family::Direct16, 2, 255, false, 0, 0, p111, p111, Pack(1, 1, 2),
       Pack(0, 0, 2)},
      {"16: multiply skips alpha 0 with trans", Family::Direct16, 4, 0, true, 1, 0, 0x00FFFF, 0xFFFF, 0xFFFF,
       0},
      {"16: the copy compares the key's low 16 bits", Family::Direct16, 0, 0, false, 1, 0x11234, 0x1234, 7, 7,
       7},
      {"16: the blend compares the whole key", Family::Direct16, 1, 128, false, 1, 0x11234, 0x1234, 0,
       Pack(1, 8, 10), 0},
      {"16: the subtract compares the whole key", Family::Direct16, 3, 255, false, 1, 0x11234, 0x1234, 0xFFFF,
       Pack(29, 46, 11), 0xFFFF},
      {"paletted 32: no half-sum at 128", Family::Palette32, 1, 128, false, 0, 300, 0xFF030303, 0xAA050505,
       0xAA040404, 0x00030303},
      {"paletted 32: add at 255 in form A", Family::Palette32, 2, 255, false, 0, 300, 0x00010101, 0x00010101,
       0x00010102, 0x00000002},
      {"paletted 16: diff table at 128", Family::Palette16, 1, 128, false, 0, 300, 0, Pack(31, 0, 0),
       Pack(16, 0, 0), Pack(15, 0, 0)},
      {"paletted 16: add at 255 in form A", Family::Palette16, 2, 255, false, 0, 300, p111, p111,
       Pack(1, 1, 2), Pack(0, 0, 2)},
      {"paletted: a key above 255 skips nothing", Family::Palette32, 0, 0, false, 1, 0x107, 0x00ABCDEF, 0,
       0x00ABCDEF, 0},
      {"paletted: subtract at 0 still subtracts", Family::Palette32, 3, 0, false, 0, 300, 0, 0xFF0A0A0C,
       0x000B0B0C, 0x000B0B0C},
      // clang-format on
  };
  for (const Case& c : cases) {
    const bool paletted = IsPaletted(c.family);
    const int32_t depth = DepthOf(c.family);
    TestImage src(1, 1, depth, paletted, c.alpha);
    src.buffer().transColor = c.transColor;
    if (paletted) {
      src.SetPalette(7, c.src);
      src.Set(0, 0, 7);
    } else {
      src.Set(0, 0, c.src);
    }
    DrawCase(c.mode, c.param, {0, 0, 1, 1}).Apply();
    TestImage stretched(1, 1, depth), unscaled(1, 1, depth);
    stretched.Set(0, 0, c.dst);
    unscaled.Set(0, 0, c.dst);
    const int32_t mirrored[4] = {1, 0, 0, 1};
    SoftBlitStretch(stretched.img(), src.img(), mirrored, c.trans, nullptr);
    SoftBlit(unscaled.img(), src.img(), 0, 0, c.trans, nullptr);
    EXPECT_EQ(stretched.Get(0, 0), c.stretched) << c.name;
    EXPECT_EQ(unscaled.Get(0, 0), c.unscaled) << c.name << " (unscaled)";
  }
}

// A transparent source pixel stretched over three columns leaves all three,
// and a mirrored draw skips the mirrored places.
TEST_F(SoftBlitStretchTest, TransparentPixelsCoverTheirWholeSpan) {
  for (Family f : kFamilies) {
    auto src = PositionSource(f, 2, 1);
    src->buffer().transColor = 0;  // column 0 (index 0, pixel 0)
    const int32_t depth = src->buffer().depthKind;
    TestImage dst(6, 1, depth);
    for (int x = 0; x < 6; ++x) dst.Set(x, 0, 9);
    DrawCase(0, 0, {0, 0, 6, 1}).Apply();
    const int32_t rect[4] = {0, 0, 6, 1};
    SoftBlitStretch(dst.img(), src->img(), rect, 1, nullptr);
    EXPECT_EQ(dst.Get(0, 0), 9u);
    EXPECT_EQ(dst.Get(2, 0), 9u);
    EXPECT_EQ(dst.Get(3, 0), 1u);
    const int32_t mirrored[4] = {6, 0, 0, 1};
    for (int x = 0; x < 6; ++x) dst.Set(x, 0, 9);
    SoftBlitStretch(dst.img(), src->img(), mirrored, 1, nullptr);
    EXPECT_EQ(dst.Get(0, 0), 1u);
    EXPECT_EQ(dst.Get(3, 0), 9u);
    EXPECT_EQ(dst.Get(5, 0), 9u);
  }
}

TEST_F(SoftBlitStretchTest, DegenerateAndHostileRectanglesDrawNothing) {
  TestImage src(4, 4, MemImgDepth32), dst(8, 8, MemImgDepth32), alphaDst(8, 8, MemImgDepth32, false, true);
  TestImage smallMask(4, 3, MemImgDepthSingle8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.Set(x, y, 0x00FFFFFF);
  // A source 65536 pixels wide, and one 0 pixels wide.
  TestImage wide(65536, 1, MemImgDepth32), empty(0, 1, MemImgDepth32);
  DrawCase(0, 0, {0, 0, 8, 8}).Apply();
  struct Case {
    const char* name;
    MEMIMG* target;
    const MEMIMG* source;
    int32_t rect[4];
    const MEMIMG* mask;
  } cases[] = {
      // clang-format off
      {"zero width", dst.img(), src.img(), {3, 0, 3, 8}, nullptr},
      {"zero height", dst.img(), src.img(), {0, 5, 8, 5}, nullptr},
      {"far outside the area", dst.img(), src.img(), {1000000, 1000000, 1000006, 1000003}, nullptr},
      {"mirrored far left", dst.img(), src.img(), {-100, 0, -200, 8}, nullptr},
      {"a million pixels left and above", dst.img(), src.img(), {-1000000, -1000000, -999990, -999993},
       nullptr},
      {"wider than 32767", dst.img(), src.img(), {0, 0, 40000, 8}, nullptr},
      {"the whole coordinate range", dst.img(), src.img(), {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, nullptr},
      {"reversed whole range", dst.img(), src.img(), {INT_MAX, 0, INT_MIN, 8}, nullptr},
      {"a source of 65536 columns", dst.img(), wide.img(), {0, 0, 8, 8}, nullptr},
      {"a source of no columns", dst.img(), empty.img(), {0, 0, 8, 8}, nullptr},
      {"an alpha destination", alphaDst.img(), src.img(), {0, 0, 8, 8}, nullptr},
      {"a mask smaller than the source", dst.img(), src.img(), {0, 0, 8, 8}, smallMask.img()},
      // clang-format on
  };
  for (const Case& c : cases) {
    SoftBlitStretch(c.target, c.source, c.rect, 0, c.mask);
    TestImage& check = c.target == alphaDst.img() ? alphaDst : dst;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(check.Get(x, y), 0u) << c.name;
  }
  SoftBlitStretch(dst.img(), src.img(), nullptr, 0, nullptr);
  // An alpha destination of the source's size is refused by the unscaled blit too.
  const int32_t same[4] = {0, 0, 4, 4};
  SoftBlitStretch(alphaDst.img(), src.img(), same, 0, nullptr);
  EXPECT_EQ(alphaDst.Get(0, 0), 0u);
  // A 1 x 1 source fills any rectangle.
  TestImage dot(1, 1, MemImgDepth32);
  dot.Set(0, 0, 0x00123456);
  const int32_t any[4] = {7, 6, 1, 2};
  SoftBlitStretch(dst.img(), dot.img(), any, 0, nullptr);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(dst.Get(x, y), x >= 1 && x < 7 && y >= 2 && y < 6 ? 0x00123456u : 0u) << x << "," << y;
}

// Every mode, parameter case, mask, brightness, source kind and trans flag,
// stretched, shrunk and mirrored, against the reference.
TEST_F(SoftBlitStretchTest, VariantMatrixOfStretchedDrawsMatchesTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
  const int32_t params[] = {0, 1, 127, 128, 254, 255};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(31);
  const bool hasAvx2 = BlitUseAvx2;
  for (Family f : kFamilies)
    for (int32_t mode : modes)
      for (int32_t param : params)
        for (int flags = 0; flags < 16; ++flags) {
          const bool paletted = IsPaletted(f);
          if (paletted && (flags & 4)) continue;
          const bool masked = flags & 1, white = flags & 2, alpha = flags & 4, trans = flags & 8;
          const int32_t depth = DepthOf(f);
          BlitUseAvx2 = hasAvx2 && (rng() & 1);
          const int32_t sw = 1 + static_cast<int32_t>(rng() % 9), sh = 1 + static_cast<int32_t>(rng() % 5);
          TestImage src(sw, sh, depth, paletted, alpha, rng() % 3);
          TestImage mask(sw + 1, sh, MemImgDepthSingle8, false, false, 1);
          TestImage dst(30, 12, depth, false, false, rng() % 3), expected(30, 12, depth);
          const uint32_t key = depth == MemImgDepth16 && !paletted ? rng() & 0xFFFF : rng() & 0xFF;
          rendertest::FillScene(src, key, paletted ? 200 : 256, dst, mask, expected, rng);
          const DrawCase dc(mode, param,
                            {static_cast<int32_t>(rng() % 4), static_cast<int32_t>(rng() % 3),
                             30 - static_cast<int32_t>(rng() % 4), 12 - static_cast<int32_t>(rng() % 3)},
                            white ? nullptr : coloured);
          // Extents of every kind: random, the source's, and whole ratios of
          // it (where the two advance rules part), each possibly mirrored.
          auto extent = [&](int32_t source, int32_t random) {
            const int32_t pick = static_cast<int32_t>(rng() % 5);
            const int32_t size = pick == 0   ? random
                                 : pick == 1 ? source
                                 : pick == 2 ? 2 * source
                                 : pick == 3 ? std::max(1, source / 2)
                                             : 3 * source;
            return rng() & 1 ? size : -size;
          };
          int32_t rect[4] = {static_cast<int32_t>(rng() % 34) - 2, static_cast<int32_t>(rng() % 14) - 2, 0,
                             0};
          rect[2] = rect[0] + extent(sw, static_cast<int32_t>(rng() % 17));
          rect[3] = rect[1] + extent(sh, static_cast<int32_t>(rng() % 9));
          dc.Apply();
          SoftBlitStretch(dst.img(), src.img(), rect, trans, masked ? mask.img() : nullptr);
          blitref::ReferenceStretch(expected, src, rect, trans, masked ? &mask : nullptr, dc);
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "family " << static_cast<int>(f) << " mode " << mode << " param " << param << " masked "
              << masked << " white " << white << " alpha " << alpha << " trans " << trans << " source " << sw
              << "x" << sh << " rect " << rect[0] << "," << rect[1] << "," << rect[2] << "," << rect[3];
        }
  BlitUseAvx2 = hasAvx2;
}

// Rows long enough for the vector copies of evenly spaced columns: the
// source's width mirrored, half of it either way round (the zero-stop rule of
// the copies takes columns 0, 1, 3, 5..., the standard rule of the blends 0,
// 2, 4...), the width with the rows stretched, and a little over half (steps
// of two, then of one: not evenly spaced); clipped on either side, so that a
// row may start or end anywhere in the pattern. The source rows have no
// padding: a load beyond the first or last row's pixels leaves the image.
TEST_F(SoftBlitStretchTest, EvenlySpacedColumnsOnLongRowsMatchTheReference) {
  std::mt19937 rng(77);
  const bool hasAvx2 = BlitUseAvx2;
  int drawn = 0;
  for (const rendertest::SourceKind& kind : rendertest::kSourceKinds) {
    if (kind.paletted) continue;
    for (int32_t sw = 37; sw <= 46; ++sw)
      for (int32_t shape = 0; shape < 6; ++shape)
        for (int flags = 0; flags < 8; ++flags) {
          const bool blend = flags & 1, trans = flags & 2, masked = flags & 4;
          BlitUseAvx2 = hasAvx2 && (rng() & 1);
          const int32_t sh = 3;
          TestImage src(sw, sh, kind.depth, false, kind.alpha);
          TestImage mask(sw, sh, MemImgDepthSingle8);
          TestImage dst(60, 8, kind.depth, false, false, 3), expected(60, 8, kind.depth);
          const uint32_t key = kind.depth == MemImgDepth16 ? rng() & 0xFFFF : rng();
          rendertest::FillScene(src, key, 256, dst, mask, expected, rng);
          // Signed extents: negative ones mirror.
          const int32_t widths[6] = {-sw, sw / 2, -(sw / 2), sw, sw, sw / 2 + 2};
          const int32_t heights[6] = {sh, sh, -sh, 2 * sh, -2 * sh, sh};
          const int32_t w = widths[shape], h = heights[shape];
          const int32_t left = static_cast<int32_t>(rng() % 7) - 3, top = 1;
          const int32_t rect[4] = {w < 0 ? left - w : left, h < 0 ? top - h : top, w < 0 ? left : left + w,
                                   h < 0 ? top : top + h};
          const DrawCase dc(blend ? 1 : 0, 100,
                            {static_cast<int32_t>(rng() % 3), 0, 60 - static_cast<int32_t>(rng() % 25), 8});
          dc.Apply();
          SoftBlitStretch(dst.img(), src.img(), rect, trans, masked ? mask.img() : nullptr);
          blitref::ReferenceStretch(expected, src, rect, trans, masked ? &mask : nullptr, dc);
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "depth " << kind.depth << " alpha " << kind.alpha << " width " << sw << " shape " << shape
              << " blend " << blend << " trans " << trans << " masked " << masked << " avx2 " << BlitUseAvx2;
          ++drawn;
        }
  }
  BlitUseAvx2 = hasAvx2;
  EXPECT_EQ(drawn, 4 * 10 * 6 * 8);
}

}  // namespace
