#include "library/softrender/blend_rules.h"

#include <gtest/gtest.h>

#include "tests/softrender/blit_reference.h"

namespace {

// The whole-word guard-bit rules against their per-channel statements.
TEST(BlendRules, GuardBitAddAndSubtractMatchTheChannelRules) {
  std::mt19937 rng(77);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t d = rng(), t = rng() & 0x00FFFFFF;
    ASSERT_EQ(BlendAdd32A(d & 0x00FFFFFF, t), blitref::Add32(d, t, true)) << std::hex << d << " " << t;
    ASSERT_EQ(BlendAdd32B(d & 0x00FFFFFF, t), blitref::Add32(d, t, false)) << std::hex << d << " " << t;
    ASSERT_EQ(BlendSub32(d, t), blitref::Sub32(d, t)) << std::hex << d << " " << t;
    const uint32_t d16 = d & 0xFFFF, t16 = t & 0xFFFF;
    ASSERT_EQ(BlendAdd16A(d16, t16), blitref::Add16(d16, t16, true)) << std::hex << d16 << " " << t16;
    ASSERT_EQ(BlendAdd16B(d16, t16), blitref::Add16(d16, t16, false)) << std::hex << d16 << " " << t16;
    ASSERT_EQ(BlendSub16(d16, t16), blitref::Sub16(d16, t16)) << std::hex << d16 << " " << t16;

    const uint32_t d2 = rng(), s2 = rng();
    bool carry = false;
    const uint32_t left = blitref::Add16(d2 & 0xFFFF, s2 & 0xFFFF, false, false, false, &carry);
    const uint32_t right = blitref::Add16(d2 >> 16, s2 >> 16, false, true, carry);
    ASSERT_EQ(BlendAdd16Pair(d2, s2), left | right << 16) << std::hex << d2 << " " << s2;
    bool redOk = false;
    const uint32_t sl = blitref::Sub16(d2 & 0xFFFF, s2 & 0xFFFF, false, false, &redOk);
    const uint32_t sr = blitref::Sub16(d2 >> 16, s2 >> 16, true, redOk);
    ASSERT_EQ(BlendSub16Pair(d2, s2), sl | sr << 16) << std::hex << d2 << " " << s2;
  }
}

TEST(BlendRules, WorkedValues) {
  EXPECT_EQ(BlendAdd16A(0x001F, 0x0001), 0x003Fu) << "blue's carry lands in green's lowest bit";
  EXPECT_EQ(BlendAdd32A(0x0000FF, 0x000001), 0x000001FFu);
  EXPECT_EQ(BlendSub16(0x07E0, 0), 0x0FC0u);
  EXPECT_EQ(BlendSub32(0xFF000000, 0), 0x00010100u);
  EXPECT_EQ(BlendHalfSum32(0xFF030303, 0xFF050505), 0x00030303u);
  EXPECT_EQ(BlendMix<8>(0, 10, 200), 2u);
  EXPECT_EQ(BlendMix<8>(1, 0, 128), 0u);
  // Three factors stay inside 32 bits.
  EXPECT_EQ(BlendMix<24>(255, 0, 255u * 255 * 255), 252u);
  EXPECT_EQ(BlendMix<24>(0, 255, 255u * 255 * 255), 2u);
  EXPECT_EQ(BlendMix<24>(200, 255, 255u * 255 * 254), (255LL * 16777216 - 55LL * 16516350) >> 24);
}

}  // namespace
