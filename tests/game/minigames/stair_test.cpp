// The stair race played through the runner on the generated media: the
// round's 300 choosing frames and 106 reveal frames, equal choices that
// stay, the climb, the game that ends in the frame somebody reaches the
// tenth step, the CPU's choice by level, a four-CPU game and a failed load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/stair.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

// The button of input record `record` held in this frame's input.
void Hold(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}

std::vector<int32_t> StepCounts() {
  std::vector<int32_t> counts;
  for (int p = 1; p <= 4; ++p) counts.push_back(StairStepCount(p));
  return counts;
}

std::vector<int32_t> Clashes() {
  std::vector<int32_t> flags;
  for (int p = 1; p <= 4; ++p) flags.push_back(StairClash(p));
  return flags;
}

TEST(Stair, ClashTestKeepsEqualAndMissingChoicesDown) {
  struct Case {
    std::vector<int32_t> choices, clashes;
  };
  const std::vector<Case> cases = {
      {{1, 1, 3, 5}, {1, 1, 0, 0}},  // two equal choices both stay
      {{1, 3, 5, 0}, {0, 0, 0, 1}},  // three different numbers climb; no choice stays
      {{3, 3, 3, 3}, {1, 1, 1, 1}},
      {{5, 1, 5, 1}, {1, 1, 1, 1}},
      {{0, 0, 0, 0}, {1, 1, 1, 1}},
      {{5, 3, 3, 5}, {1, 1, 1, 1}},
      {{1, 5, 3, 3}, {0, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    for (int p = 1; p <= 4; ++p) {
      StairChoice(p) = c.choices[p - 1];
      StairClash(p) = 0;
    }
    StairMarkClashes();
    EXPECT_EQ(Clashes(), c.clashes) << "choices " << ::testing::PrintToString(c.choices);
  }
}

TEST(Stair, CpuChoiceFollowsItsLevelsTable) {
  // By level, the choice for each roll r = 1..10.
  const std::vector<std::vector<int32_t>> table = {
      {1, 1, 1, 3, 3, 3, 5, 5, 5, 5},  // level 1
      {1, 1, 1, 3, 3, 3, 5, 5, 5, 5},  // level 2
      {1, 1, 3, 3, 5, 5, 5, 5, 5, 5},  // level 3
      {1, 1, 3, 3, 3, 5, 5, 5, 5, 5},  // level 4
  };
  SeedRandom(5);
  for (int level = 1; level <= 4; ++level) {
    bool seen[11] = {};
    for (int i = 0; i < 200; ++i) {
      ParticipantTable[2].cpuLevel = level;
      StairChoice(2) = 0;
      RandomState before = Random;
      int32_t r = GetRandomNumber(9) + 1;
      Random = before;
      StairCpuChoose(2);
      seen[r] = true;
      ASSERT_EQ(StairChoice(2), table[level - 1][r - 1]) << "level " << level << ", roll " << r;
      // A CPU with a choice keeps it and draws nothing.
      uint64_t draws = RandomDrawCount;
      StairCpuChoose(2);
      EXPECT_EQ(RandomDrawCount, draws);
    }
    for (int r = 1; r <= 10; ++r) EXPECT_TRUE(seen[r]) << "roll " << r;
  }
}

TEST(Stair, RoundsRevealClimbAndTheTopStepEndsTheGame) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    START_GAME(h);
    // Round 1: players 1 and 2 choose 1, player 3 chooses 3; player 4 first
    // chooses 1, then A and C in one frame (the later, 5, counts).
    // Round 2 (player 1 set on step 8): player 1 chooses 5, player 2 chooses
    // 1, player 3 nothing, player 4 chooses 3.
    int round = 0;
    h.AddInputRule([&round](FrameInput& in) {
      if (StairPlayStep != 2) return;
      if (round == 1 && StairRoundClock == 250) {
        Hold(in, 1, kButtonA);
        Hold(in, 2, kButtonA);
        Hold(in, 3, kButtonB);
        Hold(in, 4, kButtonA);
      }
      if (round == 1 && StairRoundClock == 100) {
        Hold(in, 4, kButtonA);
        Hold(in, 4, kButtonC);
      }
      if (round == 2 && StairRoundClock == 1) {  // the last choosing frame
        Hold(in, 1, kButtonC);
        Hold(in, 2, kButtonA);
        Hold(in, 4, kButtonB);
      }
    });
    int frames[10] = {};
    int hops[5] = {};
    uint8_t lastPhase[5] = {};
    h.AddFrameHook([&](GameHarness&) {
      if (StairPlayStep == 1) {
        ++round;
        if (round == 2) {  // player 1 stands on step 8
          StairStepCount(1) = 8;
          ParticipantTable[1].y = kStairStepTops[7];
        }
      }
      // Round 2's choosing is cut short.
      if (round == 2 && StairPlayStep == 2 && StairRoundClock > 5) StairRoundClock = 5;
    });
    EnterMinigame(h, 4, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return StairPlayStep == 2; }, 400));
    EXPECT_EQ(ParticipantTable[1].x, 48.0f);
    EXPECT_EQ(ParticipantTable[4].x, 336.0f);
    EXPECT_EQ(ParticipantTable[4].y, kStairFloorY);

    // Round 1.
    int32_t step = StairPlayStep;
    while (StairPlayStep != 6) {
      ASSERT_TRUE(h.Frame());
      ++frames[step];
      if (step == 4 && StairRevealCounter == 30) {
        EXPECT_EQ(StairPanelOffsets[1], 100) << "the cards slid out";
      }
      step = StairPlayStep;
    }
    EXPECT_EQ(frames[2], kStairRoundFrames);
    EXPECT_EQ(frames[4], kStairRevealFrames);
    EXPECT_EQ(StairPanelOffsets[1], 0) << "and back";
    EXPECT_EQ(Clashes(), (std::vector<int32_t>{1, 1, 0, 0}));
    EXPECT_EQ(StairChoice(1), 0);
    EXPECT_EQ(StairChoice(3), 3);
    EXPECT_EQ(StairChoice(4), 5);
    ASSERT_TRUE(h.RunUntil([] { return StairPlayStep == 1; }, 400));
    EXPECT_EQ(StepCounts(), (std::vector<int32_t>{0, 0, 3, 5}));
    EXPECT_EQ(ParticipantTable[3].y, kStairStepTops[2]);
    EXPECT_EQ(ParticipantTable[4].y, kStairStepTops[4]);
    EXPECT_EQ(ParticipantTable[1].y, kStairFloorY) << "who stayed did not move";

    // Round 2: the game ends in the frame player 1 lands on step 10, after two
    // hops; player 4, hopping alongside, stays on step 7.
    ASSERT_TRUE(h.RunUntil([] { return StairPlayStep == 6; }, 500));
    EXPECT_EQ(Clashes(), (std::vector<int32_t>{0, 0, 1, 0}));
    int climbFrames = 0;
    while (StairPlayStep == 6) {
      ASSERT_TRUE(h.Frame());
      ++climbFrames;
      for (int p = 1; p <= 4; ++p) {
        if (ParticipantTable[p].phase == kStairHopping && lastPhase[p] != kStairHopping) ++hops[p];
        lastPhase[p] = ParticipantTable[p].phase;
      }
    }
    EXPECT_EQ(StairPlayStep, 8);
    EXPECT_EQ(hops[1], 2);
    EXPECT_EQ(hops[4], 2);
    EXPECT_EQ(StepCounts(), (std::vector<int32_t>{10, 1, 3, 7}));
    EXPECT_EQ(StairChoice(4), 1) << "one step left when the game ended";
    EXPECT_EQ(ParticipantTable[1].y, kStairStepTops[9]);
    EXPECT_LT(climbFrames, 60);

    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(StairStep, 0);
    EXPECT_EQ(StairPlayStep, 0);
    EXPECT_EQ(StairBackground, -1) << "the media are freed";
  });
}

TEST(Stair, AFourCpuGameEndsWithEveryoneOnTheTopStepWinning) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    START_GAME(h);
    // CPU players choose in the first frame: the rounds are cut to 10 frames.
    h.AddFrameHook([](GameHarness&) {
      if (StairPlayStep == 2 && StairRoundClock > 10) StairRoundClock = 10;
    });
    // What a last game may leave over is set up again.
    StairPlayStep = 6;
    StairRevealCounter = 77;
    StairPanelOffsets[2] = 40;
    StairOutcomeStep = 2;
    MinigameOutcome out = PlayMinigame(h, 4, MinigameSeats{}, 4000);
    ASSERT_TRUE(out.ended);
    int winners = 0;
    for (int p = 1; p <= 4; ++p) {
      bool top = StairStepCount(p) == kStairSteps;
      EXPECT_EQ(out.award[p], top ? 10 : 0) << "participant " << p;
      EXPECT_EQ(out.won[p], top ? 1 : 0) << "participant " << p;
      EXPECT_LE(StairStepCount(p), kStairSteps);
      winners += top;
    }
    EXPECT_GE(winners, 1);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
  });
}

TEST(Stair, AFailedLoadEndsWithNobodyWinning) {
  RunGame({.hiddenMedia = {"mini/stair/階段 桜吹雪.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 4, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(StairStep, 1) << "the next start loads again";
    EXPECT_EQ(StairBackground, -1);
    EXPECT_EQ(StairSpirit, -1);
    EXPECT_TRUE(h.LogHas("階段 桜吹雪.png"));
  });
}

}  // namespace
