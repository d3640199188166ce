// The YUV tables (built at library start-up) and the picture conversion
// against the formulas, on random planes, every start column parity and odd
// widths, for 4:2:0 and for planes without subsampling.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/library_fixture.h"
#include "tests/movie/movie_fixture.h"

namespace {

using namespace movietest;

TEST(YuvTables, EntriesAndClamp) {
  BuildYuvToRgbTables();
  const YuvToRgbTableSet& t = YuvToRgbTables;
  EXPECT_EQ(t.y[16], 0);
  EXPECT_EQ(t.y[235], 19070 * 235 - 305120);
  EXPECT_EQ(t.crR[128], 0);
  EXPECT_EQ(t.cbB[128], 0);
  EXPECT_EQ(t.cbG[128], 0);
  EXPECT_EQ(t.crG[128], 1024);
  EXPECT_EQ(t.cbB[255], 33062 * 255 - 4231936);
  EXPECT_EQ(t.clamp[0], 0);
  EXPECT_EQ(t.clamp[512 - 1], 0);
  EXPECT_EQ(t.clamp[512 + 0], 0);
  EXPECT_EQ(t.clamp[512 + 254], 254);
  EXPECT_EQ(t.clamp[512 + 255], 255);
  EXPECT_EQ(t.clamp[512 + 767], 255);
}

TEST(YuvTables, PicturesConvertAsTheFormulasSay) {
  BuildYuvToRgbTables();
  std::mt19937 random(11);
  constexpr int W = 23, H = 9;
  std::vector<uint8_t> luma(W * H), cb(W * H), cr(W * H);
  for (auto* plane : {&luma, &cb, &cr})
    for (uint8_t& v : *plane) v = static_cast<uint8_t>(random());
  // Extremes: full black, full white, saturated chroma.
  luma[0] = 0, cb[0] = 255, cr[0] = 0;
  luma[1] = 255, cb[1] = 0, cr[1] = 255;
  for (int shift : {1, 0}) {
    const int chromaStride = shift ? (W + 1) / 2 : W;
    for (int x0 : {0, 1, 2}) {
      for (int width : {1, 2, 7, W - x0}) {
        SCOPED_TRACE(testing::Message() << "shift " << shift << " x " << x0 << " width " << width);
        std::vector<uint8_t> out(static_cast<size_t>(width) * H * 4, 0);
        const YuvPlanes planes = {luma.data(), cb.data(), cr.data(), W, chromaStride, shift, shift};
        ConvertYuvToXrgb(planes, x0, 1, width, H - 1, out.data(), width * 4);
        for (int y = 0; y < H - 1; ++y) {
          for (int x = 0; x < width; ++x) {
            const int lx = x0 + x, ly = 1 + y;
            uint8_t want[4];
            PixelFromYuv(luma[ly * W + lx], cb[(ly >> shift) * chromaStride + (lx >> shift)],
                         cr[(ly >> shift) * chromaStride + (lx >> shift)], want);
            ASSERT_EQ(0, std::memcmp(want, &out[(static_cast<size_t>(y) * width + x) * 4], 4)) << x << "," << y;
          }
        }
      }
    }
  }
}

// Library start-up builds the tables before any movie can open.
TEST_F(LibraryTest, StartUpBuildsTheYuvTables) {
  YuvToRgbTables = YuvToRgbTableSet{};
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(YuvToRgbTables.y[255], 19070 * 255 - 305120);
  EXPECT_EQ(YuvToRgbTables.clamp[512 + 300], 255);
}

}  // namespace
