#include "library/graphics/blend_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(BlendTables, EntriesFollowTheirFormulas) {
  BuildBlendTables();
  EXPECT_EQ(BlendDiffTable[128][255 - 255], -128);
  EXPECT_EQ(BlendDiffTable[128][255 + 255], 128);
  EXPECT_EQ(BlendDiffTable[200][255 - 10], -7) << "truncated toward zero, not floored";
  EXPECT_EQ(BlendDiffTable[1][255 - 31], 0);
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ(BlendScaleTable[255][v], v);
    ASSERT_EQ(BlendScaleTable[0][v], 0);
    ASSERT_EQ(BlendScaleTable[128][v], v * 128 / 255);
  }
  for (int s = 0; s < 64; ++s)
    for (int d = 0; d < 64; ++d) {
      ASSERT_EQ(Blend6BitTable[63][s][d], s);
      ASSERT_EQ(Blend6BitTable[0][s][d], d);
    }
  EXPECT_EQ(Blend6BitTable[31][3][5], 4);  // (3 * 31 + 5 * 32) / 63
  EXPECT_EQ(Blend6BitTable[32][0][31], 15);
}

TEST(BlendTables, MaskRampFromBorderAndRange) {
  struct Case {
    int32_t border, range;
    int k;
    uint8_t weight;
  } cases[] = {
      {0, 255, 0, 255},    {0, 255, 255, 255},  // k + 256, clamped
      {255, 255, 254, 0},  {255, 255, 255, 1},  // k - 254
      {128, 64, 95, 0},    {128, 64, 96, 2},    {128, 64, 160, 254},
      {128, 64, 161, 255}, {-5, 300, 255, 255},  // clamped to border 0, range 255
  };
  for (const Case& c : cases) {
    BuildMaskRampTable(c.border, c.range);
    EXPECT_EQ(MaskRampTable[c.k], c.weight) << c.border << " " << c.range << " " << c.k;
  }
}

}  // namespace
