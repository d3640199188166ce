// Graphs with transparent pixels drawn from what they keep of their pixels:
// span by span from the run table, and in the add mode and the white copy
// from words made beforehand. Every drawn pixel must be the reference's, and nothing kept
// may be used once the pixels have changed.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "library/core/memory.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_kernels.h"
#include "library/softrender/soft_blit.h"
#include "tests/softrender/blit_reference.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;
using rendertest::SameImage;
using rendertest::SourceKind;

using RunTableBlitTest = rendertest::TablesTest<>;

// A source whose rows are runs of random lengths up to longest: transparent
// pixels (the key, or alpha 0), opaque ones and, with alpha, partly
// transparent ones (of random alphas, or of one alpha), each run of one
// kind with random colours.
void FillRuns(TestImage& src, std::mt19937& rng, uint32_t key, int32_t longest) {
  MemImgBuffer& b = src.buffer();
  b.transColor = key;
  for (int32_t y = 0; y < src.height(); ++y)
    for (int32_t x = 0; x < src.width();) {
      const uint32_t kind = rng() % (b.alpha ? 3 : 2);
      const uint32_t oneAlpha = rng() % 2 == 0 ? 1 + rng() % 254 : 0;
      const int32_t end = std::min(src.width(), x + 1 + static_cast<int32_t>(rng() % longest));
      for (; x < end; ++x) {
        uint32_t v = rng();
        if (b.paletted) {
          v = kind == 0 ? key : (key + 1 + v % 255) & 0xFF;
        } else if (b.alpha) {
          const uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : oneAlpha != 0 ? oneAlpha : 1 + v % 254;
          v = b.depthKind == MemImgDepth32 ? (v & 0x00FFFFFF) | a << 24 : (v & 0xFFFF) | a << 16;
        } else {
          v = b.depthKind == MemImgDepth32 ? v : v & 0xFFFF;
          if (kind == 0) v = key;
          if (kind == 1 && v == key) v ^= 1;
        }
        src.Set(x, y, v);
      }
    }
  if (b.paletted)
    for (uint32_t i = 0; i < 256; ++i) src.SetPalette(i, rng());
}

// The state a whole fill of a graph's pixels leaves, the graph being the
// rectangle (x, y, w, h) of its buffer (w -1: all of it): the run table of
// that rectangle pending, built from the pixels when first asked for, and a
// new fill counted.
void AsFilledGraph(TestImage& img, std::vector<uint8_t>& runs, int32_t x = 0, int32_t y = 0, int32_t w = -1,
                   int32_t h = -1) {
  MemImgBuffer& b = img.buffer();
  if (w < 0) {
    w = b.width;
    h = b.height;
  }
  runs.assign(static_cast<size_t>(w + 5) * h, 0);
  b.runTable = runs.data();
  b.hasRunTable = 1;
  b.extrasPending = MemImgPendingRunTable;
  b.pendingOffset = img.at(x, y) - img.at(0, 0);
  b.pendingWidth = w;
  b.pendingHeight = h;
  ++b.fillCount;
}

// A view of the rectangle (x, y, w, h) of an image, sharing its buffer.
MEMIMG ViewOf(TestImage& img, int32_t x, int32_t y, int32_t w, int32_t h) {
  MEMIMG view = *img.img();
  view.pixels = img.at(x, y);
  view.width = w;
  view.height = h;
  return view;
}

// The same rectangle as an image of its own, for the reference.
void CopyRect(const TestImage& from, int32_t x, int32_t y, TestImage& to) {
  to.buffer().transColor = from.buffer().transColor;
  for (int32_t j = 0; j < to.height(); ++j)
    for (int32_t i = 0; i < to.width(); ++i) to.Set(i, j, from.Get(x + i, y + j));
  if (from.buffer().paletted)
    for (uint32_t i = 0; i < 256; ++i) to.SetPalette(i, from.Palette(i));
}

// Every mode, parameter case, mask and brightness with trans set, from each
// source kind with long runs, clipped on each side and through views of a
// part of the graph, with the vector loops of both widths: each case drawn
// twice onto the same destination (the second draw finds the add mode's
// terms made), both times the reference's pixels.
TEST_F(RunTableBlitTest, GraphsDrawnRunByRunMatchTheReference) {
  const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11};
  const int32_t params[] = {1, 100, 128, 255};
  const uint8_t coloured[3] = {200, 128, 37};
  std::mt19937 rng(57);
  const bool hasAvx2 = BlitUseAvx2;
  int drawn = 0;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hasAvx2;
    for (const SourceKind& kind : rendertest::kSourceKinds)
      for (int32_t mode : modes)
        for (int32_t param : params)
          for (int flags = 0; flags < 4; ++flags) {
            const bool masked = flags & 1, white = flags & 2;
            const int32_t w = 37 + static_cast<int32_t>(rng() % 60), h = 9;
            TestImage src(w, h, kind.depth, kind.paletted, kind.alpha, static_cast<int32_t>(rng() % 3) * 4);
            const uint32_t key = kind.paletted ? rng() % 256 : kind.depth == MemImgDepth16 ? rng() & 0xFFFF : rng();
            FillRuns(src, rng, key, 1 + static_cast<int32_t>(rng() % 40));
            // The graph all of its buffer, or a part (which views may cross).
            std::vector<uint8_t> runs;
            const bool inner = rng() % 3 == 0;
            if (inner)
              AsFilledGraph(src, runs, 2, 1, w - 4, h - 2);
            else
              AsFilledGraph(src, runs);
            // The whole buffer, or a view of a part of it.
            const bool part = rng() % 2 != 0;
            const int32_t vx = part ? static_cast<int32_t>(rng() % 5) : 0, vy = part ? 1 : 0;
            const int32_t vw = part ? w - vx - static_cast<int32_t>(rng() % 5) : w, vh = part ? h - 2 : h;
            MEMIMG view = ViewOf(src, vx, vy, vw, vh);
            TestImage whole(vw, vh, kind.depth, kind.paletted, kind.alpha);
            CopyRect(src, vx, vy, whole);
            TestImage mask(vw, vh, MemImgDepthSingle8), dst(110, 14, kind.depth), expected(110, 14, kind.depth);
            blitref::FillRandom(mask, rng);
            blitref::FillRandom(dst, rng);
            expected.CopyPixelsFrom(dst);
            const DrawCase dc(mode, param, {static_cast<int32_t>(rng() % 4), 1, 110 - static_cast<int32_t>(rng() % 4), 13},
                              white ? nullptr : coloured);
            const int32_t x = static_cast<int32_t>(rng() % 30) - 8, y = static_cast<int32_t>(rng() % 8) - 3;
            for (int round = 0; round < 2; ++round) {
              dc.Apply();
              SoftBlit(dst.img(), &view, x, y, 1, masked ? mask.img() : nullptr);
              blitref::ReferenceBlit(expected, whole, x, y, 1, masked ? &mask : nullptr, dc);
              ASSERT_TRUE(SameImage(dst, expected))
                  << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha << " mode "
                  << mode << " param " << param << " masked " << masked << " white " << white << " round " << round
                  << " inner " << inner << " view " << vx << "," << vy << " " << vw << "x" << vh << " at " << x << ","
                  << y
                  << " avx2 " << BlitUseAvx2;
              ++drawn;
            }
            TrackedFree(src.buffer().blitSpans);
            TrackedFree(src.buffer().blitTerms);
          }
  }
  BlitUseAvx2 = hasAvx2;
  EXPECT_EQ(drawn, 2 * 6 * 7 * 4 * 4 * 2);
}

// What a graph keeps for the add mode (its terms, for one parameter and
// brightness) and for the white copy of a graph whose transparent pixels
// are scattered (its weighted colours) is made from the pixels of one fill:
// a whole refill with other pixels, pixels changed with the run table's
// flag cleared (as drawing into the graph leaves it), another parameter and
// another brightness each draw from the pixels as they are.
TEST_F(RunTableBlitTest, KeptWordsAreNotUsedOnceThePixelsChange) {
  std::mt19937 rng(5757);
  for (int32_t mode : {2, 0})
    for (int change = 0; change < 4; ++change) {
      TestImage src(40, 6, MemImgDepth32, false, true);
      const int32_t longest = mode == 2 ? 12 : 1;  // (the copy keeps words for scattered pixels only)
      FillRuns(src, rng, 0, longest);
      std::vector<uint8_t> runs;
      AsFilledGraph(src, runs);
      TestImage dst(48, 8, MemImgDepth32), expected(48, 8, MemImgDepth32);
      blitref::FillRandom(dst, rng);
      expected.CopyPixelsFrom(dst);
      DrawCase dc(mode, 200, {0, 0, 48, 8});
      auto draw = [&] {
        dc.Apply();
        SoftBlit(dst.img(), src.img(), 3, 1, 1, nullptr);
        blitref::ReferenceBlit(expected, src, 3, 1, 1, nullptr, dc);
      };
      draw();
      draw();  // the words are made
      ASSERT_NE(src.buffer().blitTerms, nullptr) << "mode " << mode;
      if (change == 0) {  // a whole refill with other pixels
        FillRuns(src, rng, 0, longest);
        AsFilledGraph(src, runs);
      } else if (change == 1) {  // drawn into: the pixels change, the flag is cleared
        for (int32_t x = 0; x < src.width(); ++x) src.Set(x, 2, 0x80FFFFFFu);
        src.buffer().hasRunTable = 0;
      } else if (change == 2) {
        dc.param = 201;
      } else {
        dc.bright[1] = 17;
      }
      draw();
      draw();
      EXPECT_TRUE(SameImage(dst, expected)) << "mode " << mode << " change " << change;
      TrackedFree(src.buffer().blitSpans);
      TrackedFree(src.buffer().blitTerms);
    }
}

}  // namespace
