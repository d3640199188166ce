#include <gtest/gtest.h>

#include <initializer_list>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/soft_blit.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::Pack;
using blitref::TestImage;

using SoftBlit16Test = rendertest::TablesTest<>;

constexpr uint8_t kWhite[3] = {255, 255, 255};

// Draws a row of source pixels over a row of destination pixels (one row,
// same width) and returns the destination row.
struct RowCase {
  const char* name;
  int32_t mode, param;
  const uint8_t* bright;
  bool alpha;
  int32_t trans;
  uint32_t transColor;
  int32_t maskByte;  // -1: no mask
  std::vector<uint32_t> src, dst, expected;
};

std::vector<uint32_t> DrawRow16(const RowCase& c) {
  const int32_t n = static_cast<int32_t>(c.src.size());
  TestImage src(n, 1, MemImgDepth16, false, c.alpha), dst(n, 1, MemImgDepth16),
      mask(n, 1, MemImgDepthSingle8);
  src.buffer().transColor = c.transColor;
  for (int32_t i = 0; i < n; ++i) {
    src.Set(i, 0, c.src[i]);
    dst.Set(i, 0, c.dst[i]);
    mask.Set(i, 0, static_cast<uint32_t>(c.maskByte));
  }
  DrawCase(c.mode, c.param, {0, 0, n, 1}, c.bright).Apply();
  SoftBlit(dst.img(), src.img(), 0, 0, c.trans, c.maskByte >= 0 ? mask.img() : nullptr);
  std::vector<uint32_t> out;
  for (int32_t i = 0; i < n; ++i) out.push_back(dst.Get(i, 0));
  return out;
}

TEST_F(SoftBlit16Test, WorkedExamplesOf16BitBlends) {
  const uint8_t dim[3] = {255, 255, 254};
  const uint32_t p3 = Pack(3, 3, 3), p5 = Pack(5, 5, 5), white = 0xFFFF, red31 = Pack(31, 0, 0);
  const uint32_t p111 = Pack(1, 1, 1);
  const RowCase cases[] = {
      // clang-format off
      {"half-sum at 128", 1, 128, kWhite, false, 0, 0, -1, {p3}, {p5}, {p3}},
      {"6-bit table at 127", 1, 127, kWhite, false, 0, 0, -1, {p3}, {p5}, {Pack(4, 4, 4)}},
      {"6-bit table at 252 gives the source", 1, 252, kWhite, false, 0, 0, -1, {p3}, {p5}, {p3}},
      {"6-bit table at 254 gives the source", 1, 254, kWhite, false, 0, 0, -1, {p3}, {p5}, {p3}},
      {"6-bit table at 253 gives the source", 1, 253, kWhite, false, 0, 0, -1, {p3}, {p5}, {p3}},
      {"dmix rounds toward the destination", 1, 128, dim, false, 0, 0, -1, {0}, {red31}, {Pack(16, 0, 0)}},
      {"the masked mix floors", 1, 128, dim, false, 0, 0, 255, {0}, {red31}, {Pack(15, 0, 0)}},
      {"copy of an alpha source ignores the alpha", 0, 0, kWhite, true, 0, 0, -1, {0x00FFFF}, {0}, {0xFFFF}},
      {"alpha 0 with trans leaves the destination", 0, 0, kWhite, true, 1, 0, -1, {0x00FFFF}, {7}, {7}},
      {"alpha 255 with trans copies", 0, 0, kWhite, true, 1, 0, -1, {0xFF1234}, {7}, {0x1234}},
      {"alpha 128 with trans mixes", 0, 0, kWhite, true, 1, 0, -1, {0x80F800}, {0}, {Pack(15, 0, 0)}},
      {"mask 255 falls one short", 0, 0, kWhite, false, 0, 0, 255, {red31}, {0}, {Pack(30, 0, 0)}},
      {"mask 0 leaves the destination", 0, 0, kWhite, false, 0, 0, 0, {red31}, {0}, {0}},
      {"add pair at 255, form B", 2, 255, kWhite, false, 0, 0, -1, {p111, p111}, {p111, p111},
       {Pack(0, 0, 2), Pack(0, 0, 0)}},
      {"add at 254 adds nothing, form A", 2, 254, kWhite, false, 0, 0, -1, {p111}, {p111}, {p111}},
      {"blue overflow sets green's lowest bit", 2, 255, kWhite, false, 0, 0, -1, {20}, {20}, {Pack(0, 1, 31)}},
      {"left red's carry lands in the right blue", 2, 255, kWhite, false, 0, 0, -1,
       {Pack(16, 0, 0), Pack(0, 0, 2)}, {Pack(16, 0, 0), Pack(0, 0, 2)}, {Pack(31, 0, 0), Pack(0, 0, 5)}},
      {"one transparent pixel of a pair: the other alone, form B", 2, 255, kWhite, false, 1, 0x1234, -1,
       {0x1234, p111}, {p111, p111}, {p111, Pack(0, 0, 2)}},
      {"both transparent: nothing", 2, 255, kWhite, false, 1, 0x1234, -1, {0x1234, 0x1234}, {p111, 9},
       {p111, 9}},
      {"white minus nothing", 3, 255, kWhite, false, 0, 0, -1, {0}, {white}, {Pack(31, 62, 31)}},
      {"black minus nothing", 3, 255, kWhite, false, 0, 0, -1, {0}, {0}, {Pack(1, 0, 0)}},
      {"(4, 4, 4) minus nothing", 3, 255, kWhite, false, 0, 0, -1, {0}, {Pack(4, 4, 4)}, {Pack(5, 4, 4)}},
      {"blue stops at 0", 3, 255, kWhite, false, 0, 0, -1, {20}, {Pack(10, 5, 10)}, {Pack(11, 4, 0)}},
      {"subtract pair", 3, 255, kWhite, false, 0, 0, -1, {Pack(1, 0, 0), Pack(0, 0, 1)}, {0, Pack(0, 0, 4)},
       {Pack(1, 0, 0), Pack(1, 0, 5)}},
      {"multiply divides by 2^w", 4, 0, kWhite, false, 0, 0, -1, {white}, {white}, {Pack(30, 62, 30)}},
      {"multiply by alpha 0, trans on", 4, 9, kWhite, true, 1, 0, -1, {0x00FFFF}, {white}, {0}},
      {"multiply by alpha 0, trans off", 4, 9, kWhite, true, 0, 0, -1, {0x00FFFF}, {white}, {0}},
      {"mode 10 at 0 leaves the destination", 10, 0, kWhite, false, 0, 0, -1, {white}, {p5}, {p5}},
      {"mode 11 at 0 leaves the destination", 11, 0, kWhite, false, 0, 0, -1, {white}, {p5}, {p5}},
      {"mode 10 at 255 inverts", 10, 255, kWhite, false, 0, 0, -1, {Pack(1, 2, 3)}, {p5}, {Pack(30, 61, 28)}},
      {"subtract at 0 draws nothing", 3, 0, kWhite, false, 0, 0, -1, {0}, {p5}, {p5}},
      // A key above 16 bits: the two-pixel and 6-bit loops compare its low 16
      // bits, the one-pixel loops the whole key.
      {"wide key, two-pixel copy", 0, 0, kWhite, false, 1, 0x10000 | 0x1234, -1, {0x1234, 5}, {9, 9}, {9, 5}},
      {"wide key, 6-bit loop", 1, 100, kWhite, false, 1, 0x10000 | 0x1234, -1, {0x1234}, {9}, {9}},
      {"wide key, one-pixel dmix", 1, 100, dim, false, 1, 0x10000 | 0x1234, -1, {0x1234}, {red31},
       {Pack(20, 6, 7)}},
      {"wide key, one-pixel multiply", 4, 0, kWhite, false, 1, 0x10000 | 0x1234, -1, {0x1234}, {white},
       {Pack(1, 16, 19)}},
      // clang-format on
  };
  for (const RowCase& c : cases) {
    const std::vector<uint32_t> got = DrawRow16(c);
    for (size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ(got[i], c.expected[i]) << c.name << ", pixel " << i;
  }
}

// A paletted source whose entries 1 and 2 have the same colour, 2 the transparent index.
TEST_F(SoftBlit16Test, PalettedSourcesSkipTheTransparentIndexOnly) {
  for (int32_t depth : {MemImgDepth16, MemImgDepth32}) {
    for (int32_t mode : {0, 1, 2, 3, 4, 10, 11})
      for (bool white : {true, false})
        for (bool masked : {false, true}) {
          const int32_t width = 9;
          TestImage src(width, 1, depth, true), dst(width, 1, depth), mask(width, 1, MemImgDepthSingle8);
          src.buffer().transColor = 2;
          src.buffer().paletteCount = 3;
          src.SetPalette(0, 0x00102030);
          src.SetPalette(1, depth == MemImgDepth16 ? 0xF81F : 0x80FF00FF);
          src.SetPalette(2, depth == MemImgDepth16 ? 0xF81F : 0x80FF00FF);
          const uint32_t indices[width] = {2, 2, 2, 2, 1, 2, 1, 2, 0};
          for (int32_t i = 0; i < width; ++i) {
            src.Set(i, 0, indices[i]);
            dst.Set(i, 0, 0x12345678u & (depth == MemImgDepth16 ? 0xFFFF : 0xFFFFFFFF));
            mask.Set(i, 0, 200);
          }
          DrawCase dc(mode, 128, {0, 0, width, 1});
          if (!white) dc.bright[1] = 100;
          dc.Apply();
          SoftBlit(dst.img(), src.img(), 0, 0, 1, masked ? mask.img() : nullptr);
          for (int32_t i = 0; i < width; ++i) {
            const bool unchanged =
                dst.Get(i, 0) == (0x12345678u & (depth == MemImgDepth16 ? 0xFFFF : 0xFFFFFFFF));
            if (indices[i] == 2) {
              EXPECT_TRUE(unchanged) << depth << " " << mode << " pixel " << i;
            }
            if (indices[i] == 1 && mode != 4 && mode != 11) {
              EXPECT_FALSE(unchanged) << depth << " " << mode;
            }
          }
        }
  }
}

TEST_F(SoftBlit16Test, WorkedExamplesOfPalettedSources) {
  struct Case {
    const char* name;
    int32_t depth, mode, param;
    bool white, masked;
    int32_t trans;
    std::vector<uint32_t> indices;
    uint32_t entry7, entry9, dst;
    std::vector<uint32_t> expected;
  } cases[] = {
      // clang-format off
      {"copy keeps the entry's byte 3", MemImgDepth32, 0, 0, true, false, 0, {7}, 0xAA010203, 0, 0x55000000,
       {0xAA010203}},
      {"scaled copy keeps the destination's byte 3", MemImgDepth32, 0, 0, false, false, 0, {7}, 0xAAFFFFFF, 0,
       0x55000000, {0x55FFFF80}},
      {"masked copy keeps the destination's byte 3", MemImgDepth32, 0, 0, true, true, 0, {7}, 0xAAFFFFFF, 0,
       0x55000000, {0x55FEFEFE}},
      {"group of four transparent, then one", MemImgDepth32, 0, 0, true, false, 1, {3, 3, 3, 3, 7}, 0x01010101,
       0, 0x99, {0x99, 0x99, 0x99, 0x99, 0x01010101}},
      {"a group with two drawn", MemImgDepth32, 0, 0, true, false, 1, {3, 7, 3, 3, 9}, 0x01010101, 0x02020202,
       0x99, {0x99, 0x01010101, 0x99, 0x99, 0x02020202}},
      {"16-bit group", MemImgDepth16, 0, 0, true, false, 1, {3, 7, 3, 3, 9, 3, 7}, 0x1111, 0x2222, 0x99,
       {0x99, 0x1111, 0x99, 0x99, 0x2222, 0x99, 0x1111}},
      {"eight transparent, then one", MemImgDepth16, 0, 0, true, false, 1, {3, 3, 3, 3, 3, 3, 3, 3, 7}, 0x1111,
       0, 0x99, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x1111}},
      {"eight without the transparent index", MemImgDepth32, 0, 0, true, false, 1, {7, 9, 7, 9, 7, 9, 7, 9, 3},
       0x01010101, 0x02020202, 0x99, {0x01010101, 0x02020202, 0x01010101, 0x02020202, 0x01010101, 0x02020202,
       0x01010101, 0x02020202, 0x99}},
      {"half-sum at 128 clears byte 3", MemImgDepth32, 1, 128, true, false, 0, {7}, 0xFF030303, 0, 0xFF050505,
       {0x00030303}},
      {"subtract at 0 still subtracts", MemImgDepth32, 3, 0, true, false, 0, {7}, 0x00FFFFFF, 0, 0xFF0A0A0C,
       {0x000B0B0C}},
      {"16-bit subtract at 0, black", MemImgDepth16, 3, 0, true, false, 0, {7}, 0xFFFF, 0, 0, {Pack(1, 0, 0)}},
      {"16-bit subtract at 0, white", MemImgDepth16, 3, 0, false, false, 0, {7}, 0xFFFF, 0, 0xFFFF,
       {Pack(31, 62, 31)}},
      {"add at 0 draws nothing", MemImgDepth32, 2, 0, true, false, 0, {7}, 0x00FFFFFF, 0, 5, {5}},
      {"alpha at 0 draws nothing", MemImgDepth16, 1, 0, true, false, 0, {7}, 0xFFFF, 0, 5, {5}},
      {"mode 7 draws nothing", MemImgDepth16, 7, 0, true, false, 0, {7}, 0xFFFF, 0, 5, {5}},
      {"an index past the palette count reads zero", MemImgDepth32, 0, 0, true, false, 0, {7, 200}, 0x00ABCDEF,
       0, 0x55555555, {0x00ABCDEF, 0}},
      // clang-format on
  };
  for (const Case& c : cases) {
    const int32_t n = static_cast<int32_t>(c.indices.size());
    TestImage src(n, 1, c.depth, true), dst(n, 1, c.depth), mask(n, 1, MemImgDepthSingle8);
    src.buffer().transColor = 3;
    src.buffer().paletteCount = 10;
    src.SetPalette(7, c.entry7);
    src.SetPalette(9, c.entry9);
    src.SetPalette(200, 0x77777777);  // beyond the count: not this source's
    for (int32_t i = 0; i < n; ++i) {
      src.Set(i, 0, c.indices[i]);
      dst.Set(i, 0, c.dst);
      mask.Set(i, 0, 255);
    }
    DrawCase dc(c.mode, c.param, {0, 0, n, 1});
    if (!c.white) dc.bright[0] = 128;
    dc.Apply();
    SoftBlit(dst.img(), src.img(), 0, 0, c.trans, c.masked ? mask.img() : nullptr);
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(dst.Get(i, 0), c.expected[i]) << c.name << ", pixel " << i;
  }
}

TEST_F(SoftBlit16Test, PaletteCopiesHoldAtMost256EntriesAndZeroTheRest) {
  TestImage src(2, 1, MemImgDepth16, true), dst(2, 1, MemImgDepth16);
  for (uint32_t i = 0; i < 256; ++i) src.SetPalette(i, 0x1000 + i);
  src.Set(0, 0, 255);
  src.Set(1, 0, 16);
  DrawCase dc(0, 0, {0, 0, 2, 1});
  dc.Apply();
  std::memset(BlitPaletteCopy, 0xEE, sizeof BlitPaletteCopy);
  src.buffer().paletteCount = 100000;  // more than the storage holds: 256 are copied
  SoftBlit(dst.img(), src.img(), 0, 0, 0, nullptr);
  EXPECT_EQ(dst.Get(0, 0), 0x10FFu);

  src.buffer().paletteCount = 16;
  SoftBlit(dst.img(), src.img(), 0, 0, 0, nullptr);
  EXPECT_EQ(dst.Get(0, 0), 0u) << "entry 255 is past the count";
  EXPECT_EQ(dst.Get(1, 0), 0u) << "entry 16 is past the count";
  uint16_t entry15;
  std::memcpy(&entry15, BlitPaletteCopy + 30, 2);
  EXPECT_EQ(entry15, 0x100F);

  src.buffer().paletteCount = -5;
  src.buffer().palette = nullptr;
  SoftBlit(dst.img(), src.img(), 0, 0, 0, nullptr);
  EXPECT_EQ(dst.Get(1, 0), 0u);

  // The copy happens before the mode is looked at.
  std::memset(BlitPaletteCopy, 0xEE, sizeof BlitPaletteCopy);
  dc.mode = 7;
  dc.Apply();
  SoftBlit(dst.img(), src.img(), 0, 0, 0, nullptr);
  EXPECT_EQ(BlitPaletteCopy[0], 0);
}

// The reference comparison of every variant for 16-bit direct sources and
// for paletted sources of both depths, on narrow rows so that the pairs,
// groups and vector loops meet their edges.
void RunMatrix(int32_t depth, bool paletted, uint32_t seed) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
  const int32_t params[] = {0, 1, 127, 128, 254, 255};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(seed);
  const bool hasAvx2 = BlitUseAvx2;
  for (int32_t width : {1, 2, 3, 5, 7, 29})
    for (int32_t mode : modes)
      for (int32_t param : params)
        for (int flags = 0; flags < 16; ++flags) {
          const bool masked = flags & 1, white = flags & 2, alpha = (flags & 4) && !paletted,
                     trans = flags & 8;
          if (paletted && (flags & 4)) continue;
          BlitUseAvx2 = hasAvx2 && (rng() & 1);
          TestImage src(width, 3, depth, paletted, alpha, rng() % 3);
          TestImage mask(width + 1, 3, MemImgDepthSingle8, false, false, 1);
          TestImage dst(width + 4, 4, depth, false, false, rng() % 3), expected(width + 4, 4, depth);
          const uint32_t key = depth == MemImgDepth16 && !paletted ? rng() & 0xFFFF : rng() & 0xFF;
          rendertest::FillScene(src, key, paletted ? 200 : 256, dst, mask, expected, rng);
          const DrawCase dc(
              mode, param,
              {static_cast<int32_t>(rng() % 2), 0, width + 4 - static_cast<int32_t>(rng() % 2), 4},
              white ? nullptr : coloured);
          const int32_t x = static_cast<int32_t>(rng() % 6) - 1, y = static_cast<int32_t>(rng() % 3) - 1;
          dc.Apply();
          SoftBlit(dst.img(), src.img(), x, y, trans, masked ? mask.img() : nullptr);
          blitref::ReferenceBlit(expected, src, x, y, trans, masked ? &mask : nullptr, dc);
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "width " << width << " mode " << mode << " param " << param << " masked " << masked
              << " white " << white << " alpha " << alpha << " trans " << trans << " at " << x << "," << y;
        }
  BlitUseAvx2 = hasAvx2;
}

TEST_F(SoftBlit16Test, VariantMatrixOf16BitSourcesMatchesTheReference) { RunMatrix(MemImgDepth16, false, 5); }
TEST_F(SoftBlit16Test, VariantMatrixOfPalettedSourcesTo16BitMatchesTheReference) {
  RunMatrix(MemImgDepth16, true, 6);
}
TEST_F(SoftBlit16Test, VariantMatrixOfPalettedSourcesTo32BitMatchesTheReference) {
  RunMatrix(MemImgDepth32, true, 7);
}

}  // namespace
