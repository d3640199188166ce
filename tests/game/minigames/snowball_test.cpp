// The snowball fight played through the runner: walking in eight
// directions within the field, no throw without a snowball, a snowball that
// flies 5 pixels a frame and never hits its thrower, the 60-frame stun and
// the 90 frames without a hit, at most three carried, seeded spawns, the
// hits that win, four CPU fighters, and a failed load.
#include "game/minigames/snowball.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

struct Held {
  std::vector<int> buttons[5];
};

int FlyingBalls() {
  int n = 0;
  for (const SnowballBall& b : SnowballBalls) n += b.state == 1;
  return n;
}

TEST(Snowball, WalkingThrowingHitsPickUpsAndTheWinner) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    Held held;
    h.AddInputRule([&held](FrameInput& in) {
      for (int p = 1; p <= 4; ++p)
        for (int b : held.buttons[p]) HoldInFrame(in, p, b);
    });
    // Spawns are checked on their own below; here the field stays empty.
    bool spawns = false;
    h.AddFrameHook([&spawns](GameHarness&) {
      if (!spawns) SnowballSpawnCounter = 0;
    });
    // What a previous game left is cleared at the set-up.
    for (SnowballFighter& f : SnowballFighters) f = {2, 0, 0, 0, 0, 4, -5, {0, 0, 0}, 40, 7};
    for (SnowballBall& b : SnowballBalls) b.state = 1;
    EnterMinigame(h, 8, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return SnowballPlayStep == 3; }, 600));
    const float starts[4][2] = {{256, 208}, {384, 208}, {256, 272}, {384, 272}};
    for (int p = 1; p <= 4; ++p) {
      const SnowballFighter& f = SnowballFighters[p];
      EXPECT_EQ(f.x, starts[p - 1][0]);
      EXPECT_EQ(f.y, starts[p - 1][1]);
      EXPECT_EQ(f.facing, 2);
      EXPECT_EQ(f.carried[0] + f.carried[1] + f.carried[2], 3);
      EXPECT_EQ(f.state | f.tally | f.stun | f.landed, 0);
    }
    EXPECT_EQ(FlyingBalls(), 0);

    // Eight directions, 2 pixels a frame on each axis; the facing follows.
    struct Walk {
      std::vector<int> buttons;
      int facing;
      float dx, dy;
    };
    const Walk walks[] = {{{kButtonUp}, 8, 0, -2},           {{kButtonDown}, 2, 0, 2},
                          {{kButtonLeft}, 4, -2, 0},         {{kButtonRight}, 6, 2, 0},
                          {{kButtonUp, kButtonLeft}, 7, -2, -2}, {{kButtonUp, kButtonRight}, 9, 2, -2},
                          {{kButtonDown, kButtonLeft}, 1, -2, 2}, {{kButtonDown, kButtonRight}, 3, 2, 2}};
    for (const Walk& w : walks) {
      held.buttons[4] = w.buttons;
      float x = SnowballFighters[4].x, y = SnowballFighters[4].y;
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(SnowballFighters[4].x - x, w.dx) << w.facing;
      EXPECT_EQ(SnowballFighters[4].y - y, w.dy) << w.facing;
      EXPECT_EQ(SnowballFighters[4].facing, w.facing);
    }
    // Walking into the corners stops at the field's bounds.
    const std::vector<int> corners[2] = {{kButtonDown, kButtonRight}, {kButtonUp, kButtonLeft}};
    const float bounds[2][2] = {{584, 376}, {56, 104}};
    for (int i = 0; i < 2; ++i) {
      held.buttons[4] = corners[i];
      SnowballFighters[4].x = bounds[i][0] + (i == 0 ? -6.0f : 6.0f);
      SnowballFighters[4].y = bounds[i][1] + (i == 0 ? -8.0f : 8.0f);
      ASSERT_TRUE(h.Frames(6));
      EXPECT_EQ(SnowballFighters[4].x, bounds[i][0]);
      EXPECT_EQ(SnowballFighters[4].y, bounds[i][1]);
    }
    held.buttons[4].clear();

    // Player 1 faces right and throws at player 2, 128 pixels away: the
    // ball starts on the thrower without hitting it and flies 5 a frame.
    held.buttons[1] = {kButtonRight};
    ASSERT_TRUE(h.Frame());
    held.buttons[1].clear();
    held.buttons[1] = {kButtonA};
    ASSERT_TRUE(h.Frame());
    held.buttons[1].clear();
    ASSERT_EQ(FlyingBalls(), 1);
    const SnowballBall* ball = nullptr;
    for (const SnowballBall& b : SnowballBalls)
      if (b.state == 1) ball = &b;
    EXPECT_EQ(ball->thrower, 1);
    EXPECT_EQ(ball->vx, 5.0f);
    EXPECT_NEAR(ball->vy, 0.0f, 1e-5);
    EXPECT_EQ(ball->x, SnowballFighters[1].x + 5.0f);
    EXPECT_EQ(SnowballFighters[1].state, 0);
    EXPECT_EQ(SnowballFighters[1].carried[0] + SnowballFighters[1].carried[1], 2);
    EXPECT_EQ(SnowballFighters[1].carried[2], 0);
    float bx = ball->x;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ball->x, bx + 5.0f);
    // Player 2 is hit: stunned 60 frames (held still), then it walks but no
    // ball hits it until 90 frames have passed.
    ASSERT_TRUE(h.RunUntil([] { return SnowballFighters[2].state == 2; }, 40));
    held.buttons[2] = {kButtonUp};
    EXPECT_EQ(SnowballFighters[2].tally, -1);
    EXPECT_EQ(SnowballFighters[1].landed, 1);
    EXPECT_EQ(FlyingBalls(), 0);
    float y2 = SnowballFighters[2].y;
    for (int i = 1; i < 60; ++i) {
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(SnowballFighters[2].y, y2) << i;
    }
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SnowballFighters[2].y, y2 - 2.0f);
    held.buttons[2].clear();
    // A ball laid on it while it is guarded flies through.
    SnowballBalls[0] = {1, 1, SnowballFighters[2].x - 5.0f, SnowballFighters[2].y, 5.0f, 0.0f, 0, 3};
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SnowballBalls[0].state, 1);
    EXPECT_EQ(SnowballFighters[2].state, 2);
    ASSERT_TRUE(h.RunUntil([] { return SnowballFighters[2].state == 0; }, 40));
    EXPECT_EQ(SnowballFighters[2].stun, 0);
    EXPECT_EQ(SnowballFighters[2].tally, -1);
    SnowballBalls[0] = {};

    // Player 3 throws its three snowballs; with none left A throws nothing.
    for (int i = 0; i < 4; ++i) {
      held.buttons[3] = {kButtonA};
      ASSERT_TRUE(h.Frame());
      held.buttons[3].clear();
      ASSERT_TRUE(h.Frame());
    }
    EXPECT_EQ(SnowballFighters[3].carried[0], 0);
    ASSERT_TRUE(h.RunUntil([] { return FlyingBalls() == 0; }, 200));
    held.buttons[3] = {kButtonA};
    ASSERT_TRUE(h.Frame());
    held.buttons[3].clear();
    EXPECT_EQ(FlyingBalls(), 0);
    // A lying snowball under player 1 (two carried) is picked up; one more
    // under it stays, three being the most.
    const SnowballFighter& one = SnowballFighters[1];
    SnowballBalls[0] = {2, 1, one.x, one.y, 0, 0, 0, 0};
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SnowballBalls[0].state, 0);
    EXPECT_EQ(one.carried[0] + one.carried[1] + one.carried[2], 3);
    SnowballBalls[0] = {2, 1, one.x, one.y, 0, 0, 0, 0};
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(SnowballBalls[0].state, 2);
    SnowballBalls[0] = {};

    // Seeded spawns: once the counter passes 59, one chance in 61 a frame,
    // at a point drawn inside the field.
    spawns = true;
    SnowballSpawnCounter = 59;
    RandomState before = Random;
    ASSERT_TRUE(h.RunUntil(
        [] {
          for (const SnowballBall& b : SnowballBalls)
            if (b.state == 2) return true;
          return false;
        },
        1000));
    RandomState after = Random;
    Random = before;
    while (GetRandomNumber(60) != 0) {
    }
    float x = 56.0f + static_cast<float>(GetRandomNumber(528));
    float y = 104.0f + static_cast<float>(GetRandomNumber(272));
    EXPECT_EQ(std::memcmp(&Random, &after, sizeof after), 0) << "no other draws";
    Random = after;
    EXPECT_EQ(SnowballBalls[0].state, 2);
    EXPECT_EQ(SnowballBalls[0].x, x);
    EXPECT_EQ(SnowballBalls[0].y, y);
    EXPECT_EQ(SnowballSpawnCounter, 0);

    // Time is up: player 1 landed the only hit.
    SnowballTimer = 1;
    h.PressWhile([] { return SnowballStep == 7; }, 1, kButtonA);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.award[1], 10);
    EXPECT_EQ(out.won[1], 1);
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0) << p;
  });
}

TEST(Snowball, FourCpuFightersThrowAndHit) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.AddFrameHook([](GameHarness&) {
      if (SnowballPlayStep == 3 && SnowballTimer > 600) SnowballTimer = 600;
    });
    MinigameOutcome out = PlayMinigame(h, 8, {}, 1200);
    ASSERT_TRUE(out.ended);
    int32_t best = 0, taken = 0;
    for (int p = 1; p <= 4; ++p) {
      best = std::max(best, SnowballFighters[p].landed);
      taken -= SnowballFighters[p].tally;
    }
    EXPECT_GT(best, 0);
    int32_t landed = 0;
    for (int p = 1; p <= 4; ++p) landed += SnowballFighters[p].landed;
    EXPECT_EQ(landed, taken);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], SnowballFighters[p].landed == best ? 10 : 0) << p;
  });
}

TEST(Snowball, AFailedLoadNamesTheFileAndLeavesNothingLoaded) {
  RunGame({.hiddenMedia = {"mini/snowballfight/弾_敵5.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    size_t lines = h.LogLines().size();
    MinigameOutcome out = PlayMinigame(h, 8, {}, 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(SnowballStep, 1);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0);
    bool named = false;
    std::vector<std::string> log = h.LogLines();
    for (size_t i = lines; i < log.size(); ++i)
      named = named || log[i].find("media\\mini\\snowballfight\\弾_敵5.png") != std::string::npos;
    EXPECT_TRUE(named);
    EXPECT_EQ(SnowballGround, -1);
    EXPECT_EQ(SnowballPieceCells[5][11], -1);
  });
}

}  // namespace
