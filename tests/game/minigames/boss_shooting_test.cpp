// The boss shooting minigame played through the runner: the challengers'
// fire every 6 frames, a full shot block, focus, the field's bounds, hits
// that take the boss down, the boss's aimed bullets, the time-out, and a
// game of four CPU players.
#include "game/minigames/boss_shooting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

int ActiveShots(int p) {
  int n = 0;
  for (const BossShootingBullet& b : BossShootingShots[p - 1]) n += b.active;
  return n;
}

bool InField(const ParticipantRecord& r) {
  return r.x >= kBossFieldLeft && r.x <= kBossFieldRight && r.y >= kBossFieldTop && r.y <= kBossFieldBottom;
}

TEST(BossShooting, ChallengersFireFocusStayInTheFieldAndShootTheBossDown) {
  RunGame({.seed = 20}, [](GameHarness& h) {
    START_SHOOTER_GAME(h);
    MinigameSeats seats = HumanSeats({1, 2, 3, 4});
    seats.team[0] = seats.team[2] = seats.team[3] = 2;
    seats.team[1] = 1;  // participant 2 is the boss
    EnterMinigame(h, 20, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return BossShootingPlayStep == 2; }, 500));
    EXPECT_EQ(BossShootingBoss, 2);
    EXPECT_EQ(BossShootingCountdown, 5400);
    EXPECT_EQ(ParticipantTable[2].x, 216.0f);
    EXPECT_EQ(ParticipantTable[2].y, 80.0f);
    EXPECT_EQ(std::vector<float>({ParticipantTable[1].x, ParticipantTable[3].x, ParticipantTable[4].x}),
              (std::vector<float>{96, 128, 160}));
    EXPECT_EQ(ParticipantTable[4].y, 300.0f);

    // Challenger 3's block is full: holding A starts nothing.
    for (BossShootingBullet& b : BossShootingShots[2]) b = {1, 128.0f, 200.0f, 0.0f, 0.0f, {}};
    // Frames 1..30: challengers 1 and 3 hold A; 4 holds B and right for 20
    // frames; the boss holds up and left, then 4 down and right, to the
    // field's corners.
    int frame = 0;
    h.AddInputRule([&frame](FrameInput& in) {
      int next = frame + 1;
      if (BossShootingPlayStep != 2 || next > 300) return;
      if (next <= 30) {
        HoldInFrame(in, 1, kButtonA);
        HoldInFrame(in, 3, kButtonA);
      }
      if (next <= 20) {
        HoldInFrame(in, 4, kButtonB);
        HoldInFrame(in, 4, kButtonRight);
      } else {
        HoldInFrame(in, 4, kButtonDown);
        HoldInFrame(in, 4, kButtonRight);
      }
      HoldInFrame(in, 2, kButtonUp);
      HoldInFrame(in, 2, kButtonLeft);
    });
    std::vector<int> shotFrames, focus;
    std::vector<float> x4;
    float fastest[5] = {};
    while (frame < 300) {
      int before = ActiveShots(1);
      float x[5], y[5];
      for (int p = 1; p <= 4; ++p) x[p] = ParticipantTable[p].x, y[p] = ParticipantTable[p].y;
      ASSERT_TRUE(h.Frame());
      ++frame;
      if (ActiveShots(1) > before) shotFrames.push_back(frame);
      if (frame <= 20) {
        focus.push_back(BossShootingFocus(4));
        x4.push_back(ParticipantTable[4].x);
      }
      for (int p = 1; p <= 4; ++p) {
        EXPECT_TRUE(InField(ParticipantTable[p])) << "participant " << p << " frame " << frame;
        fastest[p] = std::max(fastest[p], std::hypot(ParticipantTable[p].x - x[p], ParticipantTable[p].y - y[p]));
      }
      for (const BossShootingBullet& b : BossShootingShots[2]) ASSERT_EQ(b.y, 200.0f);
    }
    EXPECT_EQ(shotFrames, (std::vector<int>{6, 12, 18, 24, 30}));
    EXPECT_EQ(ActiveShots(3), 20);
    EXPECT_EQ(focus[0], 15);
    EXPECT_EQ(focus[16], 255);
    EXPECT_EQ(x4[5] - x4[4], 2.0f) << "B held: 2.0 a frame";
    EXPECT_LE(fastest[2], 2.0001f) << "the boss's diagonal is no faster than 2.0";
    EXPECT_LE(fastest[4], 3.5001f);
    EXPECT_GT(fastest[4], 3.4f);
    EXPECT_LT(ParticipantTable[2].x, 50.0f) << "in the top left corner";
    EXPECT_LT(ParticipantTable[2].y, 34.0f);
    EXPECT_GT(ParticipantTable[4].x, 380.0f);
    EXPECT_GT(ParticipantTable[4].y, 444.0f);
    EXPECT_EQ(BossShootingHitPoints, kBossHitPoints) << "no shot came near the boss";

    // Challenger 1 under the boss with 3 hit points left: three hits take it
    // down, play ends and the three challengers win.
    ParticipantTable[1].x = ParticipantTable[2].x;
    ParticipantTable[1].y = ParticipantTable[2].y + 100.0f;
    BossShootingHitPoints = 3;
    h.AddInputRule([](FrameInput& in) {
      if (BossShootingPlayStep == 2) HoldInFrame(in, 1, kButtonA);
    });
    bool winnerText = false;
    h.AddFrameHook([&winnerText](GameHarness&) { winnerText = winnerText || WinnerTextStep == 4; });
    ASSERT_TRUE(h.RunUntil([] { return BossShootingPlayStep != 2; }, 120));
    EXPECT_EQ(BossShootingHitPoints, 0);
    EXPECT_EQ(ParticipantTable[2].phase, kBossShootingDown);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    EXPECT_TRUE(winnerText);
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 10, 10}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 1, 1}));
  });
}

TEST(BossShooting, TheBossAimsAndWinsWhenEveryChallengerIsDownOrTimeRunsOut) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // A human boss (participant 3) holding A: one bullet every 6 frames,
    // aimed at the nearest challenger; the game cut to 40 frames ends at its
    // time-out with the challengers up, and the boss wins.
    MinigameSeats humans = HumanSeats({1, 2, 3, 4});
    humans.team[0] = humans.team[1] = humans.team[3] = 2;
    humans.team[2] = 1;
    int cut = 40;
    h.AddInputRule([](FrameInput& in) {
      if (BossShootingPlayStep == 2) HoldInFrame(in, 3, kButtonA);
    });
    int playFrames = 0;
    std::vector<int> bulletFrames;
    h.AddFrameHook([&](GameHarness&) {
      if (BossShootingPlayStep != 2) return;
      if (playFrames == 0 && cut > 0) BossShootingCountdown = cut;
      int n = 0;
      for (const BossShootingBullet& b : BossShootingEnemyBullets) n += b.active;
      if (n > static_cast<int>(bulletFrames.size())) bulletFrames.push_back(playFrames);
      ++playFrames;
    });
    MinigameOutcome timeOut = PlayMinigame(h, 20, humans);
    ASSERT_TRUE(timeOut.ended);
    EXPECT_EQ(playFrames, 40);
    EXPECT_EQ(std::vector<int32_t>(timeOut.award + 1, timeOut.award + 5), (std::vector<int32_t>{0, 0, 10, 0}));
    ASSERT_GE(bulletFrames.size(), 2u);
    EXPECT_EQ(bulletFrames[1] - bulletFrames[0], 6);
    const BossShootingBullet& first = BossShootingEnemyBullets[0];
    // The first bullet heads for participant 4 at (160, 300) from (216, 80).
    EXPECT_NEAR(first.vx / first.vy, (160.0 - 216.0) / (300.0 - 80.0), 1e-4);
    EXPECT_NEAR(std::hypot(first.vx, first.vy), kBossBulletSpeed, 1e-4);

    // Four CPU players: the CPU boss fires all the time at challengers who
    // stay still, downs all three and wins.
    MinigameSeats cpus;
    cpus.team[0] = 1;
    cpus.team[1] = cpus.team[2] = cpus.team[3] = 2;
    playFrames = 0;
    cut = 0;
    MinigameOutcome out = PlayMinigame(h, 20, cpus);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_LT(playFrames, 600);
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].phase, kBossShootingDown);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
  });
}

}  // namespace
