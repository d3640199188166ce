// The vector loops on rows long enough for their aligned stores and made of
// runs (keyed, transparent, opaque and mixed stretches of pixels), so that
// whole vectors are passed over or stored without the destination, against
// the reference, on both instruction sets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "library/graphics/draw_state.h"
#include "library/softrender/simd_ops.h"
#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_triangle.h"
#include "tests/softrender/render_fixture.h"

namespace {

using blitref::DrawCase;
using blitref::TestImage;

using VectorRowsTest = rendertest::TablesTest<>;

// Random contents as FillSource gives them, then stretches of 1 to 40 pixels
// of one class: transparent (the key, alpha 0), opaque (alpha 255, a colour
// not the key) or left mixed.
void FillRuns(TestImage& src, uint32_t key, std::mt19937& rng) {
  blitref::FillSource(src, rng, key, 256);
  const MemImgBuffer& b = src.buffer();
  for (int32_t y = 0; y < src.height(); ++y)
    for (int32_t x = 0; x < src.width();) {
      const int32_t run = 1 + static_cast<int32_t>(rng() % 40), kind = static_cast<int32_t>(rng() % 3);
      for (int32_t i = x; i < x + run && i < src.width(); ++i) {
        if (kind == 2) continue;
        const uint32_t colour = rng();
        uint32_t v;
        if (b.paletted)
          v = kind == 0 ? key & 0xFF : (key + 1 + colour % 200) & 0xFF;
        else if (b.alpha)
          v = b.depthKind == MemImgDepth32 ? (colour & 0x00FFFFFF) | (kind == 0 ? 0 : 0xFF000000u)
                                           : (colour & 0xFF00FFFF) | (kind == 0 ? 0 : 0xFF0000u);
        else if (kind == 0)
          v = key;
        else
          v = b.depthKind == MemImgDepth32 ? (colour == key ? colour ^ 1 : colour)
                                           : ((colour & 0xFFFF) == key ? colour ^ 1 : colour) & 0xFFFF;
        src.Set(i, y, v);
      }
      x += run;
    }
}

class BothInstructionSets {
 public:
  BothInstructionSets() : had_(BlitUseAvx2) {}
  ~BothInstructionSets() { BlitUseAvx2 = had_; }
  // false, then true when the processor has AVX2.
  std::vector<bool> Sets() const { return had_ ? std::vector<bool>{false, true} : std::vector<bool>{false}; }

 private:
  bool had_;
};

TEST_F(VectorRowsTest, LongRowsOfRunsMatchTheReference) {
  const uint8_t coloured[3] = {200, 90, 255};
  std::mt19937 rng(4242);
  BothInstructionSets isa;
  int drawn = 0;
  for (bool avx2 : isa.Sets()) {
    BlitUseAvx2 = avx2;
    for (const rendertest::SourceKind& kind : rendertest::kSourceKinds)
      for (int32_t mode : {0, 1, 2, 3, 4, 10, 11})
        for (int32_t param : {100, 128, 255})
          for (int flags = 0; flags < 8; ++flags) {
            const bool white = flags & 1, trans = flags & 2, stretched = flags & 4;
            TestImage src(77, 3, kind.depth, kind.paletted, kind.alpha, static_cast<int32_t>(rng() % 3));
            TestImage mask(1, 1, MemImgDepthSingle8);
            TestImage dst(97, 5, kind.depth, false, false, static_cast<int32_t>(rng() % 5));
            TestImage expected(97, 5, kind.depth);
            const uint32_t key = kind.paletted ? rng() % 256 : kind.depth == MemImgDepth16 ? rng() & 0xFFFF : rng();
            rendertest::FillScene(src, key, 256, dst, mask, expected, rng);
            FillRuns(src, key, rng);
            const DrawCase dc(mode, param, {0, 0, 97, 5}, white ? nullptr : coloured);
            dc.Apply();
            const int32_t x = static_cast<int32_t>(rng() % 11) - 2;
            if (stretched) {
              const int32_t rect[4] = {x, 0, x + 93, 5};
              SoftBlitStretch(dst.img(), src.img(), rect, trans, nullptr);
              blitref::ReferenceStretch(expected, src, rect, trans, nullptr, dc);
            } else {
              SoftBlit(dst.img(), src.img(), x, 1, trans, nullptr);
              blitref::ReferenceBlit(expected, src, x, 1, trans, nullptr, dc);
            }
            ASSERT_TRUE(rendertest::SameImage(dst, expected))
                << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha << " mode "
                << mode << " param " << param << " white " << white << " trans " << trans << " stretched "
                << stretched << " avx2 " << avx2;
            ++drawn;
          }
  }
  EXPECT_EQ(drawn, static_cast<int>(isa.Sets().size()) * 6 * 7 * 3 * 8);
}

// The add and subtract terms for every channel value and weight: pixel
// (x, y) of a source with alpha holds the channels x, 255 - x and 7x and
// alpha x + y (mod 256, so that neighbours differ), at parameter 255 (which
// has loops of its own) and below it; a source without alpha holds the same
// channels in one row, drawn at every parameter.
TEST_F(VectorRowsTest, AddAndSubtractMatchTheReferenceForEveryChannelAndWeight) {
  std::mt19937 rng(31);
  BothInstructionSets isa;
  auto channels = [](uint32_t x) { return x | (255 - x) << 8 | (x * 7 & 0xFF) << 16; };
  TestImage alphaSrc(256, 256, MemImgDepth32, false, true), plainSrc(256, 1, MemImgDepth32);
  for (uint32_t y = 0; y < 256; ++y)
    for (uint32_t x = 0; x < 256; ++x)
      alphaSrc.Set(static_cast<int32_t>(x), static_cast<int32_t>(y), channels(x) | (x + y) << 24);
  for (uint32_t x = 0; x < 256; ++x) plainSrc.Set(static_cast<int32_t>(x), 0, channels(x));
  for (bool avx2 : isa.Sets()) {
    BlitUseAvx2 = avx2;
    for (int32_t mode : {2, 3}) {
      for (int32_t param : {255, 200})
        for (int32_t trans : {0, 1}) {
          TestImage dst(256, 256, MemImgDepth32), expected(256, 256, MemImgDepth32);
          blitref::FillRandom(dst, rng);
          expected.CopyPixelsFrom(dst);
          const DrawCase dc(mode, param, {0, 0, 256, 256});
          dc.Apply();
          SoftBlit(dst.img(), alphaSrc.img(), 0, 0, trans, nullptr);
          blitref::ReferenceBlit(expected, alphaSrc, 0, 0, trans, nullptr, dc);
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "alpha source, mode " << mode << " param " << param << " trans " << trans << " avx2 " << avx2;
        }
      for (int32_t param = 0; param < 256; ++param) {
        TestImage dst(256, 1, MemImgDepth32), expected(256, 1, MemImgDepth32);
        blitref::FillRandom(dst, rng);
        expected.CopyPixelsFrom(dst);
        const DrawCase dc(mode, param, {0, 0, 256, 1});
        dc.Apply();
        SoftBlit(dst.img(), plainSrc.img(), 0, 0, 0, nullptr);
        blitref::ReferenceBlit(expected, plainSrc, 0, 0, 0, nullptr, dc);
        ASSERT_TRUE(rendertest::SameImage(dst, expected))
            << "source without alpha, mode " << mode << " param " << param << " avx2 " << avx2;
      }
    }
  }
}

// Brightened copies for every channel value and brightness: a source
// without alpha holding the channels x, 255 - x and 7x in one row, drawn
// under every brightness below 255 in each channel (one product each) and
// under brightnesses with a channel at 255, with and without trans.
TEST_F(VectorRowsTest, BrightenedCopiesMatchTheReferenceForEveryChannelAndBrightness) {
  std::mt19937 rng(57);
  BothInstructionSets isa;
  TestImage src(256, 1, MemImgDepth32);
  for (uint32_t x = 0; x < 256; ++x)
    src.Set(static_cast<int32_t>(x), 0, x | (255 - x) << 8 | (x * 7 & 0xFF) << 16 | (x ^ 0x5A) << 24);
  for (bool avx2 : isa.Sets()) {
    BlitUseAvx2 = avx2;
    for (uint32_t b = 0; b < 256; ++b)
      for (int32_t trans : {0, 1}) {
        const uint8_t bright[3] = {static_cast<uint8_t>(b), static_cast<uint8_t>(254 - b % 255),
                                   static_cast<uint8_t>(b * 7 % 255)};
        TestImage dst(256, 1, MemImgDepth32), expected(256, 1, MemImgDepth32);
        blitref::FillRandom(dst, rng);
        expected.CopyPixelsFrom(dst);
        const DrawCase dc(0, 0, {0, 0, 256, 1}, bright);
        dc.Apply();
        SoftBlit(dst.img(), src.img(), 0, 0, trans, nullptr);
        blitref::ReferenceBlit(expected, src, 0, 0, trans, nullptr, dc);
        ASSERT_TRUE(rendertest::SameImage(dst, expected))
            << "brightness " << b << " trans " << trans << " avx2 " << avx2;
      }
  }
}

// Rotated runs gather their texels for the same vector loops.
TEST_F(VectorRowsTest, LongRotatedRunsMatchTheReference) {
  const uint8_t coloured[3] = {17, 255, 140};
  std::mt19937 rng(99);
  BothInstructionSets isa;
  for (bool avx2 : isa.Sets()) {
    BlitUseAvx2 = avx2;
    for (const rendertest::SourceKind& kind : rendertest::kSourceKinds)
      for (int32_t mode : {0, 1, 2, 3, 4, 10, 11})
        for (int flags = 0; flags < 8; ++flags) {
          const bool white = flags & 1, trans = flags & 2, half = flags & 4;
          TestImage src(71, 5, kind.depth, kind.paletted, kind.alpha, 1);
          TestImage mask(1, 1, MemImgDepthSingle8);
          TestImage dst(90, 9, kind.depth), expected(90, 9, kind.depth);
          rendertest::FillScene(src, rendertest::RandomKey(kind, rng), 256, dst, mask, expected, rng);
          FillRuns(src, src.buffer().transColor, rng);
          const DrawCase dc(mode, 150, {0, 0, 90, 9}, white ? nullptr : coloured);
          dc.Apply();
          const int32_t x = 40 + static_cast<int32_t>(rng() % 7), y = 4;
          SoftBlitRotate(dst.img(), src.img(), x, y, half ? static_cast<float>(M_PI) : 0.0f, 1.0f, trans, 0,
                         nullptr);
          const int32_t m = blitref::EffectiveMode(dc, kind.paletted);
          for (int32_t py = 0; py < 9 && m >= 0; ++py)
            for (int32_t px = 0; px < 90; ++px) {
              const int32_t tu = half ? 35 - (px - x) : 35 + px - x, tv = half ? 2 - (py - y) : 2 + py - y;
              if (tu < 0 || tu >= 71 || tv < 0 || tv >= 5) continue;
              blitref::DrawTexel(dc, m, expected, px, py, src, tu, tv, trans, nullptr);
            }
          ASSERT_TRUE(rendertest::SameImage(dst, expected))
              << "depth " << kind.depth << " paletted " << kind.paletted << " alpha " << kind.alpha << " mode "
              << mode << " white " << white << " trans " << trans << " half turn " << half << " avx2 " << avx2;
        }
  }
}

}  // namespace
