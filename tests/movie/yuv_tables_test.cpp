// The YUV tables (built at library start-up) and the picture conversion
// against the formulas: every Y'CbCr triple through each set of vector loops
// the processor has, and random planes at every start column and row parity,
// widths that end inside and outside a vector, for 4:2:0, for chroma halved
// across only and for planes without subsampling.
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

// The vector loops this processor can run, the widest last.
std::vector<int32_t> LoopsToTest() {
  std::vector<int32_t> loops;
  for (int32_t l = YuvLoopsSse2; l <= YuvWidestLoops(); ++l) loops.push_back(l);
  return loops;
}

struct LoopsScope {
  explicit LoopsScope(int32_t loops) { YuvConvertLoops = loops; }
  ~LoopsScope() { YuvConvertLoops = YuvWidestLoops(); }
};

// A 4:2:0 picture 512 pixels square whose chroma pairs are every (cb, cr)
// and whose four luma samples of a pair are 4k to 4k + 3: over k = 0 to 63
// every triple converts once.
TEST(YuvTables, EveryTripleConvertsAsTheFormulasSay) {
  BuildYuvToRgbTables();
  constexpr int N = 512;
  std::vector<uint8_t> luma(N * N), cb(N / 2 * N / 2), cr(N / 2 * N / 2), out(N * N * 4);
  for (int cy = 0; cy < N / 2; ++cy) {
    for (int cx = 0; cx < N / 2; ++cx) {
      cb[cy * N / 2 + cx] = static_cast<uint8_t>(cx);
      cr[cy * N / 2 + cx] = static_cast<uint8_t>(cy);
    }
  }
  for (int32_t loops : LoopsToTest()) {
    SCOPED_TRACE(testing::Message() << "loops " << loops);
    LoopsScope scope(loops);
    for (int k = 0; k < 64; ++k) {
      for (int ly = 0; ly < N; ++ly)
        for (int lx = 0; lx < N; ++lx) luma[ly * N + lx] = static_cast<uint8_t>(4 * k + (ly & 1) * 2 + (lx & 1));
      const YuvPlanes planes = {luma.data(), cb.data(), cr.data(), N, N / 2, 1, 1};
      ConvertYuvToXrgb(planes, 0, 0, N, N, out.data(), N * 4);
      for (int ly = 0; ly < N; ++ly) {
        for (int lx = 0; lx < N; ++lx) {
          uint8_t want[4];
          PixelFromYuv(luma[ly * N + lx], lx / 2, ly / 2, want);
          ASSERT_EQ(0, std::memcmp(want, &out[(static_cast<size_t>(ly) * N + lx) * 4], 4))
              << "y " << int(luma[ly * N + lx]) << " cb " << lx / 2 << " cr " << ly / 2;
        }
      }
    }
  }
}

TEST(YuvTables, PicturesConvertAsTheFormulasSay) {
  BuildYuvToRgbTables();
  std::mt19937 random(11);
  constexpr int W = 157, H = 9;
  std::vector<uint8_t> luma(W * H), cb(W * H), cr(W * H);
  for (auto* plane : {&luma, &cb, &cr})
    for (uint8_t& v : *plane) v = static_cast<uint8_t>(random());
  // Extremes: full black, full white, saturated chroma.
  luma[0] = 0, cb[0] = 255, cr[0] = 0;
  luma[1] = 255, cb[1] = 0, cr[1] = 255;
  for (int32_t loops : LoopsToTest()) {
    LoopsScope scope(loops);
    for (auto [shiftX, shiftY] : {std::pair{1, 1}, std::pair{1, 0}, std::pair{0, 0}}) {
      const int chromaStride = shiftX ? (W + 1) / 2 : W;
      for (int y0 : {0, 1}) {
        for (int x0 : {0, 1, 2}) {
          for (int width : {1, 2, 7, 16, 17, 33, 64, 65, 127, W - x0}) {
            const int height = H - y0 - (width & 1);
            SCOPED_TRACE(testing::Message() << "loops " << loops << " shift " << shiftX << "," << shiftY << " at "
                                            << x0 << "," << y0 << " width " << width << " height " << height);
            std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4, 0);
            const YuvPlanes planes = {luma.data(), cb.data(), cr.data(), W, chromaStride, shiftX, shiftY};
            ConvertYuvToXrgb(planes, x0, y0, width, height, out.data(), width * 4);
            for (int y = 0; y < height; ++y) {
              for (int x = 0; x < width; ++x) {
                const int lx = x0 + x, ly = y0 + y;
                const int c = (ly >> shiftY) * chromaStride + (lx >> shiftX);
                uint8_t want[4];
                PixelFromYuv(luma[ly * W + lx], cb[c], cr[c], want);
                ASSERT_EQ(0, std::memcmp(want, &out[(static_cast<size_t>(y) * width + x) * 4], 4)) << x << "," << y;
              }
            }
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
