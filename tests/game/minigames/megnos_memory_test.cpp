// The sequence memory minigame played through the runner: the lone
// participant's entry (new presses only, the later of two buttons in one
// frame), the hidden sequence and the memorising clock, the CPU's pace and
// its right answers by the random draw, the waits after a wrong symbol and
// after a completed sequence, the end after three sequences, and the winners
// (the challengers while one of them is in, else the lone participant, who
// is participant 1 when the teams name none).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/megnos_memory.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int kMegnosMemory = 22;

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award + 1, out.award + 5}; }
std::vector<int32_t> Symbols(const int32_t* s, int32_t n) { return {s, s + n}; }

// One against three with the given lone player (team 1); the others team 2.
MinigameSeats OneAgainstThree(int lone, std::initializer_list<int> humans) {
  MinigameSeats seats = HumanSeats(humans);
  for (int p = 1; p <= 4; ++p) seats.team[p - 1] = p == lone ? 1 : 2;
  return seats;
}

// The worked figures: of the 101 draws 0..100, those that give a right
// answer at each chance of the table.
TEST(MegnosMemory, RightAnswersOfTheCpuByDraw) {
  struct Case {
    int32_t stage, position, rights;
  };
  const Case cases[] = {
      {0, 0, 101}, {0, 1, 95}, {0, 2, 95}, {0, 3, 90}, {0, 4, 90}, {0, 5, 81}, {0, 6, 70}, {0, 7, 101},
      {1, 0, 101}, {1, 1, 95}, {1, 2, 90}, {1, 3, 90}, {1, 4, 90}, {1, 5, 81}, {1, 6, 70}, {2, 2, 90},
      {2, 6, 70},  {2, 9, 101},
  };
  for (const Case& c : cases) {
    int32_t rights = 0;
    for (int32_t r = 0; r <= 100; ++r)
      if (r <= static_cast<double>(MegnosMemoryRightChance(c.stage, c.position)) * 100.0) ++rights;
    EXPECT_EQ(rights, c.rights) << "stage " << c.stage << " position " << c.position;
  }
}

// A human lone participant against three CPU challengers, the whole game
// with its natural draws (seed 3: one elimination, then three sequences).
TEST(MegnosMemory, HumanEntersAndCpusAnswerThroughThreeSequences) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("MegnosMemoryMain", 6000);
    EnterMinigame(h, kMegnosMemory, OneAgainstThree(1, {1}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return MegnosMemoryPlayStep == 3; }, 400));
    EXPECT_EQ(MegnosMemoryLone, 1);
    EXPECT_EQ(Symbols(MegnosMemoryStillIn, 5), (std::vector<int32_t>{0, 0, 1, 1, 1}));
    EXPECT_EQ(MegnosMemoryLength, 5);

    // A held for three frames enters one symbol; then A, B, C, D.
    auto press = [&h](uint32_t mask, int frames) {
      h.HoldPad(1, mask, frames);
      EXPECT_TRUE(h.Frames(frames));
      EXPECT_TRUE(h.Frame());  // released
    };
    auto mask = [](int button) { return GameHarness::ButtonOf(1, button).mask; };
    press(mask(kButtonA), 3);
    EXPECT_EQ(MegnosMemoryEntryPosition, 1) << "a held button enters once";
    // While entered, each symbol is a white box (its "?" is hidden text).
    EXPECT_EQ(h.Pixel(120, 125), 0xFFFFFFu);
    EXPECT_NE(h.Pixel(152, 125), 0xFFFFFFu);
    for (int button : {kButtonA, kButtonB, kButtonC}) press(mask(button), 1);
    EXPECT_EQ(MegnosMemoryPlayStep, 3);
    h.HoldPad(1, mask(kButtonD), 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(Symbols(MegnosMemorySequence, 6), (std::vector<int32_t>{1, 1, 2, 3, 4, 0}));
    EXPECT_EQ(MegnosMemoryPlayStep, 4);
    for (int i = 0; i < 5; ++i) {
      EXPECT_GE(MegnosMemoryAnswerers[i], 2);
      EXPECT_LE(MegnosMemoryAnswerers[i], 4);
    }

    // The countdown: 300 frames down to 0, and the frame that finds 0.
    int memorise = 0;
    while (MegnosMemoryPlayStep == 4) {
      ASSERT_TRUE(h.Frame());
      ++memorise;
      if (memorise == 50) {
        // 250 left: a green disc, its first 11 sixths of a second (from the
        // top towards the left) still cyan.
        EXPECT_EQ(MegnosMemoryCountdown, 250);
        EXPECT_EQ(h.Pixel(310, 224), 0x00FFFFu) << "30 degrees left of the top";
        EXPECT_EQ(h.Pixel(310, 260), 0x00FF00u) << "150 degrees";
        EXPECT_EQ(h.Pixel(330, 224), 0x00FF00u) << "330 degrees";
      }
    }
    EXPECT_EQ(memorise, 301);
    EXPECT_EQ(MegnosMemoryCountdown, 0);

    // From now on the lone human enters A for every symbol (B and C pressed
    // together first in the second sequence: C stays).
    bool secondStarted = false;
    h.AddInputRule([&](FrameInput& in) {
      if (MegnosMemoryPlayStep != 3 || h.frame() % 2 != 0) return;
      if (MegnosMemoryStage == 1 && MegnosMemoryEntryPosition == 0 && !secondStarted) {
        secondStarted = true;
        in.pads[0] |= mask(kButtonB) | mask(kButtonC);
        return;
      }
      in.pads[0] |= mask(kButtonA);
    });

    // The CPU answers, frame by frame: each acts on the 31st frame it is
    // asked, and answers right exactly when its draw of 0..100 is within
    // the chance.
    int asked[5] = {};
    int answers = 0, wrongs = 0, completed = 0;
    int waiting = 0, waitStep = 0;
    while (!MinigameEnded() && MegnosMemoryPlayStep != 0) {
      const int32_t step = MegnosMemoryPlayStep, at = MegnosMemoryAnswerPosition, stage = MegnosMemoryStage;
      const int32_t answerer = MegnosMemoryAnswerers[at];
      const RandomState before = Random;
      const uint64_t drawsBefore = RandomDrawCount;
      ASSERT_TRUE(h.Frame());
      if (step == 6 || step == 7) {
        if (waitStep != step) waiting = 0;
        waitStep = step;
        ++waiting;
        if (MegnosMemoryPlayStep != step) {
          EXPECT_EQ(waiting, step == 6 ? 61 : 121) << "the wait of step " << step;
          if (step == 6) {
            EXPECT_EQ(MegnosMemoryStillIn[answerer], 0) << "the wrong answerer is out";
          } else {
            EXPECT_EQ(MegnosMemoryStage, stage + 1);
          }
        }
        continue;
      }
      waitStep = 0;
      if (step != 5) continue;
      ++asked[answerer];
      if (MegnosMemoryAnswers[at] == 0) continue;
      ++answers;
      EXPECT_EQ(asked[answerer], 31) << "answer " << answers;
      asked[answerer] = 0;
      const RandomState after = Random;
      const uint64_t drawsAfter = RandomDrawCount;
      Random = before;
      RandomDrawCount = drawsBefore;
      const bool right = GetRandomNumber(100) <= static_cast<double>(MegnosMemoryRightChance(stage, at)) * 100.0;
      int32_t expected = MegnosMemorySequence[at];
      if (!right) {
        do {
          expected = GetRandomNumber(3) + 1;
        } while (expected == MegnosMemorySequence[at]);
      }
      EXPECT_EQ(RandomDrawCount, drawsAfter) << "the answer's draws";
      Random = after;
      RandomDrawCount = drawsAfter;
      EXPECT_EQ(MegnosMemoryAnswers[at], expected) << "answer " << answers;
      if (right && at == MegnosMemoryLength - 1) {
        ++completed;
        EXPECT_EQ(MegnosMemoryPlayStep, 7);
      } else if (!right) {
        ++wrongs;
        EXPECT_EQ(MegnosMemoryPlayStep, 6);
      }
    }
    EXPECT_TRUE(secondStarted);
    EXPECT_GE(wrongs, 1) << "seed 3";
    EXPECT_EQ(completed, 3) << "three sequences end the game";
    EXPECT_EQ(MegnosMemoryStage, 3);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 10, 10, 10})) << "a challenger is still in";
    EXPECT_EQ(MegnosMemoryStep, 0);
  });
}

// The second sequence's first symbol: B and C newly pressed in one frame.
TEST(MegnosMemory, LaterButtonOfOneFrameStays) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, kMegnosMemory, OneAgainstThree(2, {2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return MegnosMemoryPlayStep == 3; }, 400));
    EXPECT_EQ(MegnosMemoryLone, 2);
    auto mask = [](int button) { return GameHarness::ButtonOf(2, button).mask; };
    h.HoldPad(GameHarness::ButtonOf(2, kButtonB).pad, mask(kButtonB) | mask(kButtonC), 1);
    ASSERT_TRUE(h.Frame());
    h.HoldPad(GameHarness::ButtonOf(2, kButtonA).pad, mask(kButtonA) | mask(kButtonD), 1);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(Symbols(MegnosMemorySequence, 3), (std::vector<int32_t>{3, 4, 0}));
  });
}

// The winners, on games cut short once the lone participant is known: the
// challengers' flags as the game leaves them decide.
TEST(MegnosMemory, ChallengersWinWhileOneIsInElseTheLoneParticipant) {
  struct Case {
    const char* name;
    int32_t teams[4];
    std::vector<int32_t> stillIn;  // participants 1..4 at the end
    int32_t lone;
    std::vector<int32_t> awards;
  };
  const std::vector<Case> cases = {
      {"lone 3, all out", {2, 2, 1, 2}, {0, 0, 0, 0}, 3, {0, 0, 10, 0}},
      {"lone 1, one in", {1, 2, 2, 2}, {0, 0, 1, 0}, 1, {0, 10, 10, 10}},
      {"lone on team 2", {1, 1, 2, 1}, {1, 0, 0, 0}, 3, {10, 10, 0, 10}},
      {"each alone: participant 1", {0, 0, 0, 0}, {0, 1, 1, 1}, 1, {0, 10, 10, 10}},
      {"two against two: participant 1, all out", {1, 1, 2, 2}, {0, 0, 0, 0}, 1, {10, 0, 0, 0}},
  };
  RunGame({.seed = 9}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    const Case* current = nullptr;
    int32_t lone = -1, loneFlag = -1;
    h.AddFrameHook([&](GameHarness&) {
      if (current == nullptr || MegnosMemoryPlayStep != 3) return;
      lone = MegnosMemoryLone;
      loneFlag = MegnosMemoryStillIn[lone];
      for (int p = 1; p <= 4; ++p) MegnosMemoryStillIn[p] = current->stillIn[p - 1];
      MegnosMemoryPlayStep = 9;
    });
    for (const Case& c : cases) {
      current = &c;
      MinigameSeats seats;
      for (int p = 0; p < 4; ++p) seats.team[p] = c.teams[p];
      MinigameOutcome out = PlayMinigame(h, kMegnosMemory, seats);
      ASSERT_TRUE(out.ended) << c.name;
      EXPECT_EQ(lone, c.lone) << c.name;
      EXPECT_EQ(loneFlag, 0) << c.name << ": the lone participant never answers";
      EXPECT_EQ(Awards(out), c.awards) << c.name;
    }
  });
}

// Four CPU players, one of each level: the lone CPU (level 4) enters a
// symbol every 31 frames and the game ends within its bound.
TEST(MegnosMemory, FourCpuPlayersFinish) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("MegnosMemoryMain", 5000);
    std::vector<int> entered;
    int32_t lastPosition = 0;
    h.AddFrameHook([&](GameHarness& g) {
      if (MegnosMemoryPlayStep == 3 && MegnosMemoryEntryPosition != lastPosition && MegnosMemoryEntryPosition > 0)
        entered.push_back(g.frame());
      lastPosition = MegnosMemoryEntryPosition;
    });
    MinigameSeats seats = OneAgainstThree(4, {});
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    MinigameOutcome out = PlayMinigame(h, kMegnosMemory, seats, 5200);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    ASSERT_GE(entered.size(), 4u);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(entered[i] - entered[i - 1], 31) << "symbol " << i;
    int winners = 0;
    for (int p = 1; p <= 4; ++p) winners += out.won[p];
    EXPECT_TRUE(winners == 1 ? out.award[4] == 10 : winners == 3 && out.award[4] == 0);
  });
}

}  // namespace
