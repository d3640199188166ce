// What the renderer's tests share besides the reference: the fixture that
// builds the tables, the random images of a reference comparison, the
// comparison itself, and the sources whose pixels name their coordinates.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "library/graphics/blend_tables.h"
#include "tests/softrender/blit_reference.h"

namespace rendertest {

// Builds the blend tables and the blend graph's ramp for (border, range)
// before each test; (128, 64) weighs mask byte 0 as 0 and byte 255 as 255.
template <int32_t Border = 128, int32_t Range = 64>
class TablesTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    BuildMaskRampTable(Border, Range);
  }
};

// Random images of a reference comparison, in this order: the source as
// FillSource gives it (key, paletteCount), the destination, the mask; the
// expected image starts as a copy of the destination.
inline void FillScene(blitref::TestImage& src, uint32_t key, int32_t paletteCount, blitref::TestImage& dst,
                      blitref::TestImage& mask, blitref::TestImage& expected, std::mt19937& rng) {
  blitref::FillSource(src, rng, key, paletteCount);
  blitref::FillRandom(dst, rng);
  blitref::FillRandom(mask, rng);
  expected.CopyPixelsFrom(dst);
}

// Every pixel of got equals expected's; the first that differs otherwise.
inline testing::AssertionResult SameImage(const blitref::TestImage& got, const blitref::TestImage& expected) {
  std::string where;
  if (got.SamePixels(expected, &where)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << where;
}

// The source kinds a textured draw reads, and a transparent colour or index
// for one: any value the pixels hold, for paletted sources also keys above
// the indices.
struct SourceKind {
  int32_t depth;
  bool paletted, alpha;
};
constexpr SourceKind kSourceKinds[] = {{MemImgDepth32, false, false}, {MemImgDepth32, false, true},
                                       {MemImgDepth32, true, false},  {MemImgDepth16, false, false},
                                       {MemImgDepth16, false, true},  {MemImgDepth16, true, false}};
inline uint32_t RandomKey(const SourceKind& kind, std::mt19937& rng) {
  return kind.paletted ? rng() % 300 : kind.depth == MemImgDepth16 ? rng() & 0xFFFF : rng();
}

// Each source pixel (x, y) holds 0x01yyxx (x, y below 256), so that a drawn
// pixel tells which texel it took; 0 marks a pixel not drawn.
inline void FillCoordinates(blitref::TestImage& src) {
  for (int32_t y = 0; y < src.height(); ++y)
    for (int32_t x = 0; x < src.width(); ++x)
      src.Set(x, y, static_cast<uint32_t>(0x010000 | (y & 0xFF) << 8 | (x & 0xFF)));
}

}  // namespace rendertest
