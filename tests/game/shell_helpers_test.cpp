// The geometry, sprite and music helpers: their edge cases as one table.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

namespace {

constexpr float kPi = 3.1415927410125732f;

bool Near(Vector2f v, float x, float y) { return std::fabs(v.x - x) < 1e-6f && std::fabs(v.y - y) < 1e-6f; }

bool Exactly(Vector2f v, float x, float y) { return v.x == x && v.y == y; }

// The fork's table for NearestAngleIndex: angles of the candidates given.
int32_t Nearest(float angle, std::initializer_list<std::pair<int32_t, float>> slots) {
  int i = 0;
  for (int k = 0; k < 4; ++k) {
    ForkCandidates[k] = 0;
    ForkArrowAngles[k] = -9.0f;
  }
  for (auto [candidate, a] : slots) {
    ForkCandidates[i] = candidate;
    ForkArrowAngles[i] = a;
    ++i;
  }
  return NearestAngleIndex(angle);
}

float Wave(float phase) {
  ItemShopWavePhase = phase;
  return TriangleWave();
}

struct Case {
  const char* what;
  std::function<bool()> holds;
};

TEST(Helpers, EdgeCases) {
  const SegmentRecord unitX{0, 0, 10, 0};
  const Case cases[] = {
      // Vectors.
      {"a near-zero vector is not normalised", [] { return Exactly(NormalizeVector(0.000005f, -0.000005f), 0.000005f, -0.000005f); }},
      {"(3, 4) normalises to (0.6, 0.8)", [] { return Near(NormalizeVector(3, 4), 0.6f, 0.8f); }},
      {"the unit vector of zero is zero", [] { return Exactly(GetUnitVector(0, 0), 0, 0); }},
      {"the unit vector of (0, -2)", [] { return Exactly(GetUnitVector(0, -2), 0, -1); }},
      {"a near-zero vector is not rotated", [] { return Exactly(RotateVector(1.0f, 0.000001f, 0), 0.000001f, 0); }},
      {"a quarter turn", [] { return Near(RotateVector(kPi / 2, 1, 0), 0, 1); }},
      {"a near-zero vector is not scaled", [] { return Exactly(ScaleVector(3, 0, 0.000009f), 0, 0.000009f); }},
      {"scaled", [] { return Exactly(ScaleVector(3, 1, -2), 3, -6); }},
      {"sum and difference", [] { return Exactly(AddVectors(1, 2, 3, 4), 4, 6) && Exactly(SubtractVectors(1, 2, 3, 5), -2, -3); }},
      {"squared distance", [] { return GetDistanceSquared(1, 1, 4, 5) == 25.0f; }},
      {"angle vector", [] { return Near(GetAngleVector(kPi), -1, 0); }},
      // Points, circles.
      {"a point on the left edge is outside", [] { return !HitPointRect({0, 0, 10, 10}, 0, 5); }},
      {"a point inside", [] { return HitPointRect({0, 0, 10, 10}, 0.001f, 5); }},
      {"touching circles do not hit", [] { return !HitCircleCircle(0, 0, 2, 5, 0, 3); }},
      {"overlapping circles hit", [] { return HitCircleCircle(0, 0, 2, 4.9f, 0, 3); }},
      {"within a radius is strict", [] { return !IsWithinRadius(0, 0, 5, 3, 4) && IsWithinRadius(0, 0, 5.001f, 3, 4); }},
      // Segments and circles.
      {"the centre projecting onto the first end, a radius away", [=] { return !HitSegmentCircle(unitX, {0, 3, 3}); }},
      {"the centre projecting before the first end", [=] { return !HitSegmentCircle(unitX, {-1, 0.5f, 3}); }},
      {"the centre projecting past the second end", [=] { return !HitSegmentCircle(unitX, {11, 0.5f, 3}); }},
      {"the centre projecting inside, near", [=] { return HitSegmentCircle(unitX, {5, 2.9f, 3}); }},
      {"the centre projecting inside, too far", [=] { return !HitSegmentCircle(unitX, {5, 3, 3}); }},
      {"a zero-length segment never hits", [] { return !HitSegmentCircle({2, 2, 2, 2}, {2, 2, 5}); }},
      // Segments.
      {"crossing segments hit", [] { return HitSegmentSegment({0, 0, 10, 10}, {0, 10, 10, 0}); }},
      {"parallel segments do not", [] { return !HitSegmentSegment({0, 0, 10, 0}, {0, 5, 10, 5}); }},
      {"segments apart on one line do not", [] { return !HitSegmentSegment({0, 0, 4, 0}, {6, 0, 10, 0}); }},
      {"overlapping segments on one line hit", [] { return HitSegmentSegment({0, 0, 6, 0}, {4, 0, 10, 0}); }},
      {"a segment through a rectangle hits", [] { return HitSegmentRect({-5, 5, 15, 5}, 0, 0, 10, 10); }},
      {"a segment wholly inside is no hit", [] { return !HitSegmentRect({2, 5, 8, 5}, 0, 0, 10, 10); }},
      {"a circle whose centre is inside", [] { return HitCircleRect({5, 5, 1}, {0, 0, 10, 10}); }},
      {"a circle over an edge", [] { return HitCircleRect({5, -1, 2}, {0, 0, 10, 10}); }},
      {"a circle apart", [] { return !HitCircleRect({5, -3, 2}, {0, 0, 10, 10}); }},
      {"a small rectangle inside a larger one is no hit", [] { return !HitRectRect({2, 2, 4, 4}, {0, 0, 10, 10}); }},
      {"overlapping rectangles hit", [] { return HitRectRect({5, 5, 15, 15}, {0, 0, 10, 10}); }},
      // Floats against integers.
      {"3.000001 equals 3", [] { return CompareFloatWithInt(2, 3.000001f, 3); }},
      {"3.0 is at least 3", [] { return CompareFloatWithInt(0, 3.0f, 3); }},
      {"2.9 is below 3", [] { return CompareFloatWithInt(1, 2.9f, 3) && !CompareFloatWithInt(0, 2.9f, 3); }},
      {"3.1 is not 3", [] { return CompareFloatWithInt(3, 3.1f, 3) && !CompareFloatWithInt(3, 3.0f, 3); }},
      {"kinds past 3 are false", [] { return !CompareFloatWithInt(4, 3.0f, 3) && !CompareFloatWithInt(-1, 3.0f, 3); }},
      // The fork's nearest direction.
      {"the nearest of two", [] { return Nearest(kPi / 2 - 0.1f, {{5, 0}, {6, kPi / 2}}) == 1; }},
      {"ties keep the earlier", [] { return Nearest(kPi / 4, {{5, 0}, {6, kPi / 2}}) == 0; }},
      {"differences of pi or more come down by 2 pi", [] { return Nearest(7 * kPi / 4, {{5, 0}, {6, kPi / 2}}) == 0; }},
      {"an empty slot never wins",
       [] {
         // The fork gives empty slots the angle opposite the target: without
         // the guard slot 2 (|d| = pi) would beat slot 0 (|d| = 3 pi / 2).
         return Nearest(0, {{5, 3 * kPi / 2}, {6, 3 * kPi / 2}, {0, -kPi}}) == 0;
       }},
      {"no candidates at all", [] { return Nearest(1, {}) == -1; }},
      // The triangle wave.
      {"wave at 0, pi/2, pi, 3pi/2", [] { return Wave(0) == 0 && std::fabs(Wave(kPi / 2) - 1) < 1e-6f && std::fabs(Wave(kPi)) < 1e-6f && std::fabs(Wave(3 * kPi / 2) + 1) < 1e-6f; }},
      {"wave past 2 pi wraps", [] { return std::fabs(Wave(2 * kPi + kPi / 4) - 0.5f) < 1e-5f; }},
      {"a negative phase is returned as it is", [] { return Wave(-0.25f) == -0.25f; }},
  };
  RunGame({.pads = 0, .media = ""}, [&](GameHarness&) {
    for (const Case& c : cases) EXPECT_TRUE(c.holds()) << c.what;
  });
}

TEST(Helpers, MoveSpriteTowardArrivesWithinTwoPixels) {
  SpriteRecord s{0, 100.0f, 200.0f, 255, 1.0f};
  EXPECT_EQ(MoveSpriteToward(&s, 103.0f), 1);
  EXPECT_EQ(s.x, 103.0f);
  EXPECT_EQ(s.y, 200.0f);
  SpriteRecord far{0, 0.0f, 0.0f, 255, 1.0f};
  int calls = 1;
  while (MoveSpriteToward(&far, 300.0f) != 1 && calls < 1000) ++calls;
  EXPECT_EQ(far.x, 300.0f);
  EXPECT_EQ(far.y, 200.0f);
  EXPECT_EQ(calls, 180) << "2 pixels a call along 360 pixels";
  SpriteRecord there{0, 50.0f, 200.0f, 255, 1.0f};
  EXPECT_EQ(MoveSpriteToward(&there, 50.0f), 1) << "already there";
}

int pressed = -1;
int ReadNumberKey() {
  pressed = GetPressedNumberKey();
  return 0;
}

TEST(Helpers, NumberKeysCountOnTheirFirstFrameAndZeroWins) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SceneHandlers[1] = &ReadNumberKey;
    ASSERT_TRUE(h.Frame());
    h.HoldKey(0x04, 2);  // 3
    h.HoldKey(0x0B, 1);  // 0
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(pressed, 10);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(pressed, 0) << "3 is held for a second frame";
    h.HoldKey(0x0A, 1);  // 9
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(pressed, 9);
  });
}

TEST(Helpers, LoopedMusicStartsOnceUntilStopped) {
  RunGame({}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());  // scene 0 starts the title music in slot 0
    MusicHandles[5] = MusicHandles[3];
    EXPECT_EQ(CurrentBgmIndex, 0);
    PlayBgmLooped(5);
    EXPECT_EQ(CurrentBgmIndex, 5);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[5]), 1);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 0) << "the other slots are stopped";
    // A second call leaves the track alone: stopped behind its back, it stays stopped.
    StopSoundHandle(MusicHandles[5]);
    PlayBgmLooped(5);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[5]), 0);
    StopAllBgm();
    EXPECT_EQ(CurrentBgmIndex, 0);
    PlayBgmLooped(5);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[5]), 1) << "started again after StopAllBgm";
    PlayMusicSlotOnce(0);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[5]), 0);
  });
}

}  // namespace
