#include "library/softrender/soft_blit.h"

#include <gtest/gtest.h>

#include "library/softrender/blit_kernels.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using rendertest::SameImage;

using SoftBlitTest = rendertest::TablesTest<>;

// One source pixel drawn over one destination pixel.
struct OnePixel {
  const char* name;
  int32_t mode, param;
  uint8_t bright[3];
  bool alpha;
  int32_t trans;
  uint32_t src, dst, expected;
};

TEST_F(SoftBlitTest, WorkedExamplesOf32BitBlends) {
  const OnePixel cases[] = {
      // clang-format off
      {"half-sum at 128 drops the odd bits and clears byte 3", 1, 128, {255, 255, 255}, false, 0, 0xAA030303,
       0xBB050505, 0x00030303},
      {"mix at 127", 1, 127, {255, 255, 255}, false, 0, 0xAA030303, 0xBB050505, 0xBB040404},
      {"alpha blend at 0 draws nothing", 1, 0, {255, 255, 255}, false, 0, 0x00FFFFFF, 0x12345678, 0x12345678},
      {"add at 0 draws nothing", 2, 0, {255, 255, 255}, false, 0, 0x00FFFFFF, 0x12345678, 0x12345678},
      {"subtract at 0 draws nothing", 3, 0, {255, 255, 255}, false, 0, 0x00FFFFFF, 0x12345678, 0x12345678},
      {"alpha blend at 255 copies", 1, 255, {255, 255, 255}, false, 0, 0xAB123456, 0x00FFFFFF, 0xAB123456},
      {"copy of an alpha source ignores the alpha", 0, 0, {255, 255, 255}, true, 0, 0x00102030, 0xFF000000,
       0x00102030},
      {"alpha 0 with trans leaves the destination", 0, 0, {255, 255, 255}, true, 1, 0x00102030, 0x44556677,
       0x44556677},
      {"alpha 255 with trans copies the whole pixel", 0, 0, {255, 255, 255}, true, 1, 0xFF102030, 0x44556677,
       0xFF102030},
      {"alpha 128 with trans mixes", 0, 0, {255, 255, 255}, true, 1, 0x80FFFFFF, 0x99000000, 0x997F7F7F},
      {"add at 255 uses form B", 2, 255, {255, 255, 255}, false, 0, 0x00010101, 0x00010101, 0x00000002},
      {"add at 254 adds nothing", 2, 254, {255, 255, 255}, false, 0, 0x00010101, 0x00010101, 0x00010101},
      {"blue overflow saturates and carries into green", 2, 255, {255, 255, 255}, false, 0, 0x00000064,
       0x000000C8, 0x000001FF},
      {"red overflow sets byte 3", 2, 255, {255, 255, 255}, false, 0, 0x00800000, 0x00800000, 0x01FF0000},
      {"subtract of nothing sets green and red low bits", 3, 255, {255, 255, 255}, false, 0, 0x00000000,
       0xFF000000, 0x00010100},
      {"blue borrows from green", 3, 255, {255, 255, 255}, false, 0, 0x00000014, 0x0000050A, 0x00010400},
      {"an even green turns odd", 3, 255, {255, 255, 255}, false, 0, 0x00000000, 0x00000400, 0x00010500},
      {"multiply by alpha 0 turns black, trans on", 4, 77, {255, 255, 255}, true, 1, 0x00FFFFFF, 0xAB808080,
       0xAB000000},
      {"multiply by alpha 0 turns black, trans off", 4, 200, {255, 255, 255}, true, 0, 0x00FFFFFF, 0xAB808080,
       0xAB000000},
      {"only the whole key is transparent", 0, 0, {255, 255, 255}, false, 1, 0x01ABCDEF, 0x00000000,
       0x01ABCDEF},
      {"the key is skipped", 0, 0, {255, 255, 255}, false, 1, 0x00ABCDEF, 0x00000000, 0x00000000},
      {"a parameter above 255 counts as 255", 10, 1000, {255, 255, 255}, false, 0, 0x00000000, 0x00000000,
       0x00FEFEFE},
      {"a negative parameter counts as 0", 10, -7, {255, 255, 255}, false, 0, 0x00000000, 0x00123456,
       0x00123456},
      {"brightness scales each channel and keeps byte 3", 0, 0, {255, 128, 0}, false, 0, 0x11FFFFFF,
       0x22000000, 0x220080FF},
      // clang-format on
  };
  for (const OnePixel& c : cases) {
    TestImage src(1, 1, MemImgDepth32, false, c.alpha), dst(1, 1, MemImgDepth32);
    src.buffer().transColor = 0x00ABCDEF;
    src.Set(0, 0, c.src);
    dst.Set(0, 0, c.dst);
    DrawCase(c.mode, c.param, {0, 0, 1, 1}, c.bright).Apply();
    SoftBlit(dst.img(), src.img(), 0, 0, c.trans, nullptr);
    EXPECT_EQ(dst.Get(0, 0), c.expected) << c.name;
  }
}

TEST_F(SoftBlitTest, ClippingCutsTheSourceAndPositionsTheMaskBySourceOffsets) {
  TestImage src(10, 10, MemImgDepth32), dst(100, 20, MemImgDepth32);
  TestImage mask(12, 11, MemImgDepthSingle8, false, false, 3);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) src.Set(x, y, static_cast<uint32_t>(y << 8 | x) | 0x00400000);
  // Weight 255 under source pixel (3, 2) only.
  mask.Set(3, 2, 255);

  DrawCase(0, 0, {0, 0, 100, 100}).Apply();
  SoftBlit(dst.img(), src.img(), -3, -2, 0, nullptr);
  EXPECT_EQ(dst.Get(0, 0), src.Get(3, 2));
  EXPECT_EQ(dst.Get(6, 7), src.Get(9, 9));
  EXPECT_EQ(dst.Get(7, 0), 0u) << "width 7";
  EXPECT_EQ(dst.Get(0, 8), 0u) << "height 8";

  // The mask's byte (3, 2) lies under the first pixel drawn.
  TestImage masked(100, 20, MemImgDepth32);
  SoftBlit(masked.img(), src.img(), -3, -2, 0, mask.img());
  EXPECT_EQ(masked.Get(0, 0), 0x003F0102u) << "mix(x, 0, 255) of source pixel (3, 2)";
  EXPECT_EQ(masked.Get(1, 0), 0u);

  TestImage right(100, 20, MemImgDepth32);
  SoftBlit(right.img(), src.img(), 95, 0, 0, nullptr);
  EXPECT_EQ(right.Get(95, 0), src.Get(0, 0));
  EXPECT_EQ(right.Get(99, 9), src.Get(4, 9));
}

TEST_F(SoftBlitTest, RefusalsDrawNothing) {
  TestImage src32(4, 4, MemImgDepth32), src16(4, 4, MemImgDepth16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      src32.Set(x, y, 0x00FFFFFF);
      src16.Set(x, y, 0xFFFF);
    }
  TestImage dst32(8, 8, MemImgDepth32), dstPal(8, 8, MemImgDepth32, true),
      dstAlpha(8, 8, MemImgDepth32, false, true);
  TestImage smallMask(4, 3, MemImgDepthSingle8), narrowMask(3, 4, MemImgDepthSingle8);
  DrawCase dc(0, 0, {0, 0, 8, 8});
  struct Refusal {
    const char* name;
    MEMIMG* dst;
    const MEMIMG* src;
    int32_t x, mode;
    PixelRect clip;
    const MEMIMG* mask;
  } refusals[] = {
      // clang-format off
      {"16-bit source onto a 32-bit destination", dst32.img(), src16.img(), 0, 0, dc.clip, nullptr},
      {"paletted destination", dstPal.img(), src32.img(), 0, 0, dc.clip, nullptr},
      {"alpha destination", dstAlpha.img(), src32.img(), 0, 0, dc.clip, nullptr},
      {"wholly left of the area", dst32.img(), src32.img(), -4, 0, dc.clip, nullptr},
      {"area of zero width", dst32.img(), src32.img(), 0, 0, {3, 0, 3, 8}, nullptr},
      {"mode 7", dst32.img(), src32.img(), 0, 7, dc.clip, nullptr},
      {"mode 5", dst32.img(), src32.img(), 0, 5, dc.clip, nullptr},
      {"mode 9", dst32.img(), src32.img(), 0, 9, dc.clip, nullptr},
      {"mode 12", dst32.img(), src32.img(), 0, 12, dc.clip, nullptr},
      {"mode -1", dst32.img(), src32.img(), 0, -1, dc.clip, nullptr},
      {"right edge past the coordinate range", dst32.img(), src32.img(), INT32_MAX - 2, 0, dc.clip, nullptr},
      {"mask shorter than the source", dst32.img(), src32.img(), 0, 0, dc.clip, smallMask.img()},
      {"mask narrower than the source", dst32.img(), src32.img(), 0, 0, dc.clip, narrowMask.img()},
      // clang-format on
  };
  for (const Refusal& r : refusals) {
    TestImage* target = r.dst == dstPal.img() ? &dstPal : r.dst == dstAlpha.img() ? &dstAlpha : &dst32;
    dc.mode = r.mode;
    dc.clip = r.clip;
    dc.Apply();
    SoftBlit(r.dst, r.src, r.x, 0, 1, r.mask);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(target->Get(x, y), 0u) << r.name;
  }
  // A null source or destination, or records without a buffer, are refused too.
  dc.mode = 0;
  dc.clip = {0, 0, 8, 8};
  dc.Apply();
  SoftBlit(nullptr, src32.img(), 0, 0, 0, nullptr);
  SoftBlit(dst32.img(), nullptr, 0, 0, 0, nullptr);
  MEMIMG bare = *src32.img();
  bare.buffer = nullptr;
  SoftBlit(dst32.img(), &bare, 0, 0, 0, nullptr);
  EXPECT_EQ(dst32.Get(0, 0), 0u);
  // A buffer whose pixel size disagrees with its depth kind is not read.
  TestImage narrow(4, 4, MemImgDepth32);
  ColorFormat twoBytes{};
  twoBytes.bytesPerPixel = 2;
  narrow.buffer().format = &twoBytes;
  SoftBlit(dst32.img(), narrow.img(), 0, 0, 0, nullptr);
  SoftBlit(narrow.img(), src32.img(), 0, 0, 0, nullptr);
  EXPECT_EQ(dst32.Get(0, 0), 0u);
  EXPECT_EQ(narrow.Get(0, 0), 0u);

  // trans 2 counts as trans on.
  src32.buffer().transColor = 0x00FFFFFF;
  SoftBlit(dst32.img(), src32.img(), 0, 0, 2, nullptr);
  EXPECT_EQ(dst32.Get(0, 0), 0u);
}

// Every mode, parameter case, mask, brightness, source alpha and trans flag on
// random images against the reference; rows wide enough for the vector loops
// of both widths and their tails, with the wider loops on and off.
TEST_F(SoftBlitTest, VariantMatrixOf32BitSourcesMatchesTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 6, 7, 8, 9, 12, -1};
  const int32_t params[] = {0, 1, 127, 128, 254, 255};
  const uint8_t coloured[3] = {255, 128, 37};
  std::mt19937 rng(1234);
  int drawn = 0;
  const bool hasAvx2 = BlitUseAvx2;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hasAvx2;
    for (int32_t mode : modes)
      for (int32_t param : params)
        for (int flags = 0; flags < 16; ++flags) {
          const bool masked = flags & 1, white = flags & 2, alpha = flags & 4, trans = flags & 8;
          TestImage src(19, 4, MemImgDepth32, false, alpha, rng() % 5);
          TestImage mask(21, 5, MemImgDepthSingle8, false, false, 1);
          TestImage dst(23, 7, MemImgDepth32, false, false, rng() % 3), expected(23, 7, MemImgDepth32);
          rendertest::FillScene(src, rng() | 0x80, 256, dst, mask, expected, rng);
          const DrawCase dc(mode, param,
                            {static_cast<int32_t>(rng() % 3), static_cast<int32_t>(rng() % 3),
                             23 - static_cast<int32_t>(rng() % 3), 7},
                            white ? nullptr : coloured);
          const int32_t x = static_cast<int32_t>(rng() % 9) - 3, y = static_cast<int32_t>(rng() % 6) - 2;
          dc.Apply();
          SoftBlit(dst.img(), src.img(), x, y, trans, masked ? mask.img() : nullptr);
          blitref::ReferenceBlit(expected, src, x, y, trans, masked ? &mask : nullptr, dc);
          ASSERT_TRUE(SameImage(dst, expected))
              << "mode " << mode << " param " << param << " masked " << masked << " white " << white
              << " alpha " << alpha << " trans " << trans << " avx2 " << BlitUseAvx2;
          ++drawn;
        }
  }
  BlitUseAvx2 = hasAvx2;
  EXPECT_EQ(drawn, 2 * 14 * 6 * 16);
}

// Images whose rows follow each other without a gap are drawn as one long row.
TEST_F(SoftBlitTest, GaplessImagesMatchTheReference) {
  std::mt19937 rng(99);
  for (int32_t mode : {0, 1, 2, 3, 4, 10, 11})
    for (int flags = 0; flags < 8; ++flags) {
      const bool masked = flags & 1, alpha = flags & 2, trans = flags & 4;
      TestImage src(9, 5, MemImgDepth32, false, alpha), mask(9, 5, MemImgDepthSingle8);
      TestImage dst(9, 5, MemImgDepth32), expected(9, 5, MemImgDepth32);
      rendertest::FillScene(src, rng(), 256, dst, mask, expected, rng);
      const DrawCase dc(mode, 100, {0, 0, 9, 5});
      dc.Apply();
      SoftBlit(dst.img(), src.img(), 0, 0, trans, masked ? mask.img() : nullptr);
      blitref::ReferenceBlit(expected, src, 0, 0, trans, masked ? &mask : nullptr, dc);
      ASSERT_TRUE(SameImage(dst, expected)) << "mode " << mode << " flags " << flags;
    }
}

}  // namespace
