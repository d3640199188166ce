// The paddle-hockey minigame played through the runner: the reflection and
// the angle limits of a hit, puck speeds (4 to 20, 30 smashed), the paddles'
// halves, goals on both sides, more pucks as the clock runs, a draw without
// winners, and CPU players of every level to the end of the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/minigames/hockey.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr float kPi = 3.14159265f;

TEST(Hockey, ReflectAngle) {
  struct Case {
    float axis, angle, reflected;
  };
  const Case cases[] = {
      {kPi / 2, 0.1f, kPi - 0.1f},          // straight back off an upright paddle
      {kPi / 2, kPi - 0.1f, 0.1f},          //
      {kPi / 2, -0.1f, 0.1f},               // the difference brought back by pi
      {kPi / 4, kPi, kPi / 2},              //
      {1.3744469f, 3.0f, 2.8904865f},       //
      {-1.3744469f, -3.0f, -2.8904865f},    //
      {kPi / 2, -kPi + 0.1f, kPi - 0.1f},   // the difference first taken round by 2 pi
      {0.0f, 100.0f * kPi + 0.3f, -0.3f},   // far outside -pi..pi
  };
  for (const Case& c : cases)
    EXPECT_NEAR(ReflectAngle(c.axis, c.angle), c.reflected, 1e-4) << c.axis << " " << c.angle;
  EXPECT_TRUE(std::isfinite(ReflectAngle(kPi / 2, NAN)));
}

// Only puck 0 in play, at (x, y) travelling at `angle` with base speed `base`.
void Launch(float x, float y, float angle, float base) {
  for (HockeyPuck& k : HockeyPucks) k.active = 0;
  HockeyPuck& k = HockeyPucks[0];
  k.active = 1;
  k.x = x;
  k.y = y;
  k.angle = angle;
  k.baseSpeed = base;
  k.speed = base;
  k.speedX = base * std::cos(angle);
  k.speedY = base * std::sin(angle);
  k.heading = k.speedX < 0.0f ? 1 : 2;
  k.smash = 0;
  k.hitPending = 0;
  ClearPuckTrail(0);
}

int ActivePucks() {
  int n = 0;
  for (const HockeyPuck& k : HockeyPucks) n += k.active != 0 ? 1 : 0;
  return n;
}

TEST(Hockey, HitsGoalsMorePucksAndADrawWithoutWinners) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Four humans without input: the paddles stand. Teams 1 (left) and 2
    // (right) from the seats.
    MinigameSeats seats = HumanSeats({1, 2, 3, 4});
    const int32_t teams[4] = {1, 2, 2, 1};
    for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
    h.SetStallLimit("RunMinigame", 6000);
    EnterMinigame(h, 24, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return HockeyPlayStep == 2; }, 400));
    EXPECT_EQ(HockeyClock, 2700);
    EXPECT_EQ(HockeyAllowedPucks, 1);
    const float placed[4][2] = {{96, 240}, {544, 240}, {544, 240}, {96, 240}};
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(ParticipantTable[p].x, placed[p - 1][0]) << p;
      EXPECT_EQ(ParticipantTable[p].y, placed[p - 1][1]) << p;
    }
    EXPECT_EQ(HockeyScores[0] + HockeyScores[1], 0);

    // Hits: the puck meets the paddle of participant 1 (team 1, face at
    // x 104) or 2 (team 2, face at 536) dy pixels off its middle; it stops
    // at the face in that frame and leaves in the next at the reflected
    // angle, limited to 45 degrees about the horizontal, at base speed 4 at
    // least (20 at most, 1.5 times that when smashed).
    struct HitCase {
      const char* what;
      int32_t hitter;
      float dy, angle, base;
      bool swing;
      float after, baseAfter, speedAfter;
    };
    const float q = kPi / 4;
    const std::vector<HitCase> hits = {
        {"team 1, the middle", 1, 0, kPi - 0.1f, 3.0f, false, 0.1f, 4.0f, 4.0f},
        {"team 1, upper edge", 1, -20, kPi - 0.1f, 3.0f, false, q, 4.0f, 4.0f},
        {"team 1, top", 1, -30, kPi, 3.0f, false, q, 4.0f, 4.0f},
        {"team 1, lower edge", 1, 20, kPi, 3.0f, false, -q, 4.0f, 4.0f},
        {"team 1, bottom", 1, 30, kPi, 3.0f, false, -q, 4.0f, 4.0f},
        {"team 2, the middle", 2, 0, 0.1f, 3.0f, false, kPi - 0.1f, 4.0f, 4.0f},
        {"team 2, upper edge", 2, -20, 0.1f, 3.0f, false, -2.8488928f, 4.0f, 4.0f},
        {"team 2, top", 2, -30, 0.1f, 3.0f, false, -3 * q, 4.0f, 4.0f},
        {"team 2, bottom", 2, 30, 0.1f, 3.0f, false, 3 * q, 4.0f, 4.0f},
        {"faster", 1, 0, kPi - 0.1f, 10.0f, false, 0.1f, 10.5f, 10.5f},
        {"at most 20", 1, 0, kPi - 0.1f, 19.5f, false, 0.1f, 20.0f, 20.0f},
        {"smashed", 2, 0, 0.1f, 19.5f, true, kPi - 0.1f, 20.0f, 30.0f},
    };
    for (const HitCase& c : hits) {
      bool left = c.hitter == 1;
      HockeySwingState(c.hitter) = c.swing ? 1 : 0;
      HockeySwingCounter(c.hitter) = 0;
      Launch(left ? 106.0f : 534.0f, 240.0f + c.dy, c.angle, c.base);
      ASSERT_TRUE(h.Frame());
      const HockeyPuck& k = HockeyPucks[0];
      EXPECT_EQ(k.hitPending, 1) << c.what;
      EXPECT_EQ(k.hitter, c.hitter) << c.what;
      EXPECT_FLOAT_EQ(k.x, left ? 104.0f : 536.0f) << c.what << ": stopped at the face";
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(k.hitPending, 0) << c.what;
      EXPECT_NEAR(k.angle, c.after, 1e-4) << c.what;
      EXPECT_FLOAT_EQ(k.baseSpeed, c.baseAfter) << c.what;
      EXPECT_FLOAT_EQ(k.speed, c.speedAfter) << c.what;
      EXPECT_NEAR(std::hypot(k.speedX, k.speedY), c.speedAfter, 1e-3) << c.what;
      EXPECT_EQ(k.smash, c.swing ? 1 : 0) << c.what;
      EXPECT_EQ(k.heading, left ? 2 : 1) << c.what;
    }

    // Goals: out at the left scores for team 2, out at the right for team 1.
    Launch(2.0f, 100.0f, kPi, 3.0f);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(HockeyPucks[0].active, 0);
    EXPECT_EQ(HockeyScores[0], 0);
    EXPECT_EQ(HockeyScores[1], 1);
    Launch(638.0f, 100.0f, 0.0f, 3.0f);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(HockeyScores[0], 1);
    EXPECT_EQ(HockeyScores[1], 1);

    // Paddles keep to their halves and off the boards.
    const int32_t moves[][2] = {{1, kButtonRight}, {1, kButtonUp},   {2, kButtonLeft},
                                {2, kButtonDown},  {4, kButtonLeft}, {3, kButtonRight}};
    for (const auto& m : moves) {
      h.HoldButton(m[0], m[1], 60);
      ASSERT_TRUE(h.Frames(60));
    }
    const float stops[4][2] = {{248, 64}, {392, 416}, {600, 240}, {40, 240}};
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(ParticipantTable[p].x, stops[p - 1][0]) << p;
      EXPECT_EQ(ParticipantTable[p].y, stops[p - 1][1]) << p;
    }

    // More pucks: 2, 3 and 5 allowed as the clock passes 2100, 1500 and
    // 900, one new puck a frame, none past the five.
    const int32_t allowed[3][2] = {{2100, 2}, {1500, 3}, {900, 5}};
    for (const auto& a : allowed) {
      HockeyClock = a[0] + 1;
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(HockeyAllowedPucks, a[1]) << a[0];
    }
    for (HockeyPuck& k : HockeyPucks) k.active = 0;
    std::vector<int> active;
    for (int i = 0; i < 6; ++i) {
      ASSERT_TRUE(h.Frame());
      active.push_back(ActivePucks());
    }
    EXPECT_EQ(active, (std::vector<int>{1, 2, 3, 4, 5, 5}));

    // Equal scores at the end: nobody wins.
    HockeyScores[0] = 4;
    HockeyScores[1] = 4;
    for (HockeyPuck& k : HockeyPucks) k.active = 0;
    HockeyAllowedPucks = 0;
    HockeyClock = 1;
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(HockeyStep, 2) << "the next game starts at the set-up";
  });
}

// CPU players of every level play out the 45 seconds; the side with more
// goals gets 10 coins each. The next game starts from nil.
TEST(Hockey, FourCpuPlayersPlayTheClockOutAndTheLeadingSideWins) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameSeats seats;
    const int32_t teams[4] = {1, 2, 1, 2};
    for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = 1;
    int playFrames = 0;
    int fastest = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (HockeyPlayStep != 2) return;
      ++playFrames;
      for (const HockeyPuck& k : HockeyPucks)
        if (k.active != 0) fastest = std::max(fastest, static_cast<int>(std::ceil(std::hypot(k.speedX, k.speedY))));
    });
    MinigameOutcome out = PlayMinigame(h, 24, seats, 3400);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(playFrames, 2700);
    EXPECT_LE(fastest, 30);
    int32_t one = HockeyScores[0], two = HockeyScores[1];
    EXPECT_GT(one + two, 0) << "seed 8";
    int32_t winner = one > two ? 1 : two > one ? 2 : 0;
    for (int p = 1; p <= 4; ++p) {
      bool won = winner != 0 && teams[p - 1] == winner;
      EXPECT_EQ(out.award[p], won ? 10 : 0) << p;
      EXPECT_EQ(out.won[p], won ? 1 : 0) << p;
    }

    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    h.When([] { return HockeyPlayStep == 2; },
           [] { EXPECT_EQ(HockeyScores[0] + HockeyScores[1], 0) << "the set-up clears the scores"; });
    out = PlayMinigame(h, 24, seats, 3400);
    ASSERT_TRUE(out.ended);
  });
}

}  // namespace
