// The best shot minigame played through the runner: the target's legs
// faster after every turn, snapshots (a second press replacing the first),
// play ending on the fourth shot or after 6000 frames, the course circle
// back to 300 at the set-up, and the winners without coins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/minigames/best_shot.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

TEST(BestShot, LegsSnapshotsAndTheFourthShotEndingPlay) {
  RunGame({.seed = 17}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, 10, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return BestShotPlayStep == 2; }, 400));
    EXPECT_EQ(BestShotCountdown, 6000);
    EXPECT_EQ(BestShotTarget.x, -100.0f);
    EXPECT_EQ(BestShotTarget.y, 240.0f);

    // Presses by play frame: player 1 twice, the others once; player 4's
    // is the fourth shot.
    struct Press {
      int frame, player;
    };
    const Press presses[] = {{5, 1}, {10, 2}, {20, 3}, {40, 1}, {150, 4}};
    std::vector<float> speeds;
    int frame = 0;
    while (BestShotPlayStep == 2) {
      ++frame;
      ASSERT_LE(frame, 150);
      int pressed = 0;
      for (const Press& p : presses)
        if (p.frame == frame) {
          h.Tap(p.player, kButtonA);
          pressed = p.player;
        }
      float x = BestShotTarget.x, y = BestShotTarget.y;
      ASSERT_TRUE(h.Frame());
      if (pressed != 0) {
        EXPECT_EQ(BestShotState(pressed), 2) << frame;
        EXPECT_EQ(ParticipantTable[pressed].x, x) << frame << ": the snapshot is where the target was";
        EXPECT_EQ(ParticipantTable[pressed].y, y) << frame;
      }
      if (frame == 39) {
        EXPECT_EQ(BestShotState(1), 2) << "the first shot stays taken";
      }
      if (speeds.empty() || speeds.back() != BestShotTarget.speed) speeds.push_back(BestShotTarget.speed);
    }
    EXPECT_EQ(frame, 150) << "play ends in the frame of the fourth shot";
    EXPECT_EQ(BestShotCountdown, 6000 - 149);
    ASSERT_EQ(speeds.size(), 4u);
    const float legs[] = {15.0f, 23.511410f, 32.360680f, 38.0f};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(speeds[i], legs[i], 1e-3) << "leg " << i;

    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(BestShotStep, 0);
    EXPECT_EQ(BestShotPlayStep, 0);
  });
}

// CPU players never shoot: play runs its 6000 frames and all four win. The
// course circle left over from an earlier game is back to 300 at the
// set-up, so the target turns in its first frame.
TEST(BestShot, FourCpuPlayersRunTheClockOutAndAllWin) {
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    BestShotCircleRadius = 900.0f;
    MinigameSeats seats;
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    for (const char* machine : {"RunMinigame", "BestShotMain", "BestShotPlay"}) h.SetStallLimit(machine, 6400);
    EnterMinigame(h, 10, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return BestShotPlayStep == 2; }, 400));
    EXPECT_EQ(BestShotCircleRadius, 300.0f);
    ASSERT_TRUE(h.Frame());
    EXPECT_FLOAT_EQ(BestShotTarget.ramp, 0.31415927f) << "turned in the first frame";
    int frames = 1;
    while (BestShotPlayStep == 2) {
      ASSERT_TRUE(h.Frame());
      ++frames;
      ASSERT_GE(BestShotTarget.speed, 15.0f);
      ASSERT_LE(BestShotTarget.speed, 38.0f);
    }
    EXPECT_EQ(frames, 6001) << "6000 counted down, then the frame that finds 0";
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(BestShotState(p), 0) << p;
      int32_t choice = BestShotCpuChoice(p);
      EXPECT_TRUE(choice == 1 || choice == 3 || choice == 5) << p;
    }
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
  });
}

// The CPU choice by level, from the same draw r = 1..10.
TEST(BestShot, CpuChoiceByLevel) {
  RunGame({.seed = 1}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Choices 1, 3 and 5 for r = 1..10 by level.
    const std::vector<std::vector<int32_t>> expected = {
        {1, 1, 3, 3, 3, 5, 5, 5, 5, 5},  // level 1
        {1, 1, 1, 3, 3, 3, 5, 5, 5, 5},  // level 2
        {1, 1, 3, 3, 5, 5, 5, 5, 5, 5},  // level 3
        {1, 1, 3, 3, 3, 5, 5, 5, 5, 5},  // level 4
    };
    for (int level = 1; level <= 4; ++level) {
      std::vector<int32_t> byDraw(10, 0);
      int guard = 0;
      while (std::count(byDraw.begin(), byDraw.end(), 0) > 0 && ++guard < 2000) {
        RandomState before = Random;
        int32_t r = GetRandomNumber(9) + 1;
        Random = before;
        ParticipantTable[1].cpuLevel = level;
        BestShotCpuChoice(1) = 0;
        BestShotCpu(1);
        byDraw[r - 1] = BestShotCpuChoice(1);
        BestShotCpu(1);
        ASSERT_EQ(BestShotCpuChoice(1), byDraw[r - 1]) << "it chooses only while the choice is 0";
      }
      EXPECT_EQ(byDraw, expected[level - 1]) << "level " << level;
    }
  });
}

}  // namespace
