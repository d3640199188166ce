// The number search minigame played through the runner: the shuffle, twenty
// calls with the twentieth counting double, answers in the same frame,
// wrong answers that sit out the next number, a number nobody can answer any
// more dropped, the wrapping cursors, the CPU's search, the awards of 2
// coins a point with a four-way tie a draw, and the font that falls back to
// the shared one.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "game/minigames/number_search.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int kNumberSearch = 5;

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award + 1, out.award + 5}; }
std::vector<int32_t> Won(const MinigameOutcome& out) { return {out.won + 1, out.won + 5}; }

int32_t TargetPanel() {
  for (int32_t i = 0; i < kNumberPanels; ++i)
    if (NumberPanels[i].number == NumberSearchTarget) return i;
  return -1;
}

TEST(NumberSearch, CursorsWrapAtTheEdges) {
  struct Case {
    int32_t from, direction, to;
  };
  const Case cases[] = {{0, 4, 5}, {0, 8, 24}, {5, 6, 0},  {29, 2, 5},  {24, 2, 0},
                        {14, 5, 14}, {7, 6, 8}, {6, 4, 11}, {13, 8, 7}, {13, 2, 19}};
  for (const Case& c : cases)
    EXPECT_EQ(MoveNumberSearchCursor(c.from, c.direction), c.to) << c.from << " towards " << c.direction;
}

// The CPU's search: panels read ring by ring around the cursor, indices held
// to the grid, up to the called number.
TEST(NumberSearch, CpuSearchCountsThePanelsRead) {
  struct Case {
    int32_t cursor, targetPanel, count;
  };
  const Case cases[] = {
      {0, 1, 3},     // ring 1, its right side: (0,0) twice, then (0,1)
      {14, 15, 4},   // the right side's second panel
      {14, 13, 8},   // the last panel of ring 1
      {0, 29, 100},  // ring 5's right side reaches the far corner
      {14, 14, 168}, // the cursor's own panel is never read: all six rings
  };
  for (const Case& c : cases) {
    for (int32_t i = 0; i < kNumberPanels; ++i) NumberPanels[i] = {1, i + 1};
    NumberSearchTarget = c.targetPanel + 1;
    NumberSearchCursor(2) = c.cursor;
    EXPECT_EQ(CountNumberSearchSteps(2), c.count) << "cursor " << c.cursor << ", number on " << c.targetPanel;
  }
}

// What each human does on a number: nothing, find the number and answer, or
// answer on a panel that does not hold it.
enum Plan { kIdle, kRight, kWrong };

// Four humans play twenty numbers by script:
//   1: players 1 and 2 answer right in the same frame; player 4 moves right
//      then down from the far corner (29 -> 24 -> 0) and stays idle;
//   2: player 1 answers wrong, then player 2 right;
//   3: player 1 sits out; players 2, 3 and 4 answer wrong: dropped;
//   4: players 2 to 4 sit out, player 1 answers right;
//   5 to 19: player 1 answers right;
//   20: players 1 and 3 answer right in the same frame, 2 points each.
Plan PlanOf(int number, int p) {
  switch (number) {
    case 1:
      return p <= 2 ? kRight : kIdle;
    case 2:
      return p == 1 ? kWrong : p == 2 ? kRight : kIdle;
    case 3:
      return p == 1 ? kRight : kWrong;  // player 1's plan is ignored: it sits out
    case 20:
      return p == 1 || p == 3 ? kRight : kIdle;
    default:
      return p == 1 ? kRight : kIdle;
  }
}

TEST(NumberSearch, TwentyNumbersByScript) {
  RunGame({.seed = 13}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("NumberSearchMain", 3000);
    int called = 0;
    // Player 4's moves on the first number.
    std::vector<int> corner = {kButtonRight, kButtonDown};
    h.AddInputRule([&](FrameInput& in) {
      const int32_t step = NumberSearchPlayStep;
      if (step < 4 || step > 5 || h.frame() % 2 != 0) return;
      const int32_t target = TargetPanel();
      auto press = [&in](int p, int button) {
        GameHarness::PadButton b = GameHarness::ButtonOf(p, button);
        in.pads[b.pad - 1] |= b.mask;
      };
      if (called == 1 && !corner.empty()) {
        press(4, corner.front());
        corner.erase(corner.begin());
      }
      bool allOnTarget = true;
      for (int p = 1; p <= 4; ++p)
        if (PlanOf(called, p) == kRight && NumberSearchAnswerState(p) == 0 && NumberSearchCursor(p) != target)
          allOnTarget = false;
      for (int p = 1; p <= 4; ++p) {
        if (NumberSearchAnswerState(p) != 0) continue;
        const int32_t c = NumberSearchCursor(p);
        switch (PlanOf(called, p)) {
          case kIdle:
            break;
          case kWrong:
            if (c == target)
              press(p, kButtonRight);
            else if (step == 5)
              press(p, kButtonA);
            break;
          case kRight:
            if (c % 6 != target % 6)
              press(p, c % 6 < target % 6 ? kButtonRight : kButtonLeft);
            else if (c / 6 != target / 6)
              press(p, c / 6 < target / 6 ? kButtonDown : kButtonUp);
            else if (step == 5 && allOnTarget)
              press(p, kButtonA);
            break;
        }
      }
    });
    EnterMinigame(h, kNumberSearch, MinigameSeats{.cpuLevel = {0, 0, 0, 0}});
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return NumberSearchPlayStep == 3; }, 400));
    EXPECT_EQ(NumberSearchFont > 0, true) << "the font's face falls back to one the system has";
    EXPECT_EQ(NumberSearchRemaining, 30);
    std::vector<int32_t> numbers;
    for (const NumberPanelRecord& panel : NumberPanels) {
      numbers.push_back(panel.number);
      EXPECT_EQ(panel.pending, 1);
    }
    std::sort(numbers.begin(), numbers.end());
    for (int32_t i = 0; i < 30; ++i) EXPECT_EQ(numbers[i], i + 1) << "the shuffle is a permutation of 1..30";
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(NumberSearchCursor(p), (std::vector<int32_t>{0, 5, 24, 29})[p - 1]);

    std::set<int32_t> targets;
    int32_t pointsBefore[5] = {};
    bool sawDrop = false;
    int32_t sittingCursor = -1;
    while (NumberSearchPlayStep != 7) {
      const int32_t step = NumberSearchPlayStep;
      for (int p = 1; p <= 4; ++p) pointsBefore[p] = NumberSearchPoints(p);
      ASSERT_TRUE(h.Frame());
      if (step == 3) {
        ++called;
        EXPECT_EQ(NumberSearchRemaining, 31 - called);
        EXPECT_TRUE(targets.insert(NumberSearchTarget).second) << "a number is called once";
        EXPECT_EQ(NumberPanels[TargetPanel()].pending, 0);
        // A wrong answer on the number before sits this one out.
        for (int p = 1; p <= 4; ++p) {
          const bool sitsOut = (called == 3 && p == 1) || (called == 4 && p >= 2);
          EXPECT_EQ(NumberSearchAnswerState(p), sitsOut ? -1 : 0) << "number " << called << ", player " << p;
        }
        if (called == 3) {
          // Its cursor stays while it sits out.
          sittingCursor = NumberSearchCursor(1);
          h.HoldButton(1, kButtonLeft, 1);
        }
      }
      if (called == 1 && step == 4 && NumberSearchFrame == 5) {
        EXPECT_EQ(NumberSearchCursor(4), 0) << "29 -> 24 -> 0";
      }
      if (step != 5 || NumberSearchPlayStep != 6) continue;
      // The number is over in this frame.
      int32_t gained[5] = {};
      for (int p = 1; p <= 4; ++p) gained[p] = NumberSearchPoints(p) - pointsBefore[p];
      std::vector<int32_t> got(gained + 1, gained + 5);
      switch (called) {
        case 1:
          EXPECT_EQ(got, (std::vector<int32_t>{1, 1, 0, 0})) << "two right in one frame both score";
          break;
        case 2:
          EXPECT_EQ(got, (std::vector<int32_t>{0, 1, 0, 0}));
          EXPECT_EQ(NumberSearchWrong(1), 1);
          EXPECT_EQ(NumberSearchSoundPlayed(1), 1);
          break;
        case 3:
          sawDrop = true;
          EXPECT_EQ(got, (std::vector<int32_t>{0, 0, 0, 0})) << "dropped without a score";
          for (int p = 2; p <= 4; ++p) EXPECT_EQ(NumberSearchWrong(p), 1);
          EXPECT_EQ(NumberSearchFlinch, 45);
          break;
        case 20:
          EXPECT_EQ(got, (std::vector<int32_t>{2, 0, 2, 0})) << "the twentieth number counts double";
          break;
        default:
          EXPECT_EQ(got, (std::vector<int32_t>{1, 0, 0, 0})) << "number " << called;
          break;
      }
      if (called == 3) {
        EXPECT_EQ(NumberSearchCursor(1), sittingCursor) << "a participant sitting out stays";
      }
    }
    EXPECT_TRUE(sawDrop);
    EXPECT_EQ(called, 20);
    EXPECT_EQ(NumberSearchRemaining, 10);
    const int32_t last = TargetPanel();
    EXPECT_EQ(NumberSearchRevealX, 160 + 64 * (last % 6));
    EXPECT_EQ(NumberSearchRevealY, 48 + 64 * (last / 6));
    int reveal = 0;
    while (NumberSearchPlayStep == 7) {
      ASSERT_TRUE(h.Frame());
      ++reveal;
    }
    EXPECT_EQ(reveal, 128) << "the treasure fades in by 2 a frame";
    EXPECT_EQ(NumberSearchRevealOpacity, 255);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{38, 4, 4, 0}));
    EXPECT_EQ(Won(out), (std::vector<int32_t>{1, 0, 0, 0}));
  });
}

// Cuts a game to its last number, answered at once by participant 1.
void CutToTheLastNumber(GameHarness& h) {
  h.AddFrameHook([](GameHarness&) {
    if (NumberSearchPlayStep == 3 && NumberSearchRemaining > 11) NumberSearchRemaining = 11;
    if (NumberSearchPlayStep == 5 && NumberSearchAnswerState(1) == 0) {
      NumberSearchCursor(1) = TargetPanel();
      NumberSearchAnswerState(1) = 1;
    }
  });
}

// The awards from the points as the outcome finds them.
TEST(NumberSearch, AwardsTwoCoinsAPointAndFourEqualScoresDraw) {
  struct Case {
    int32_t points[4];
    std::vector<int32_t> awards, won;
  };
  const std::vector<Case> cases = {
      {{21, 0, 5, 21}, {42, 0, 10, 42}, {1, 0, 0, 1}},
      {{3, 3, 3, 3}, {6, 6, 6, 6}, {0, 0, 0, 0}},
      {{0, 0, 0, 1}, {0, 0, 0, 2}, {0, 0, 0, 1}},
      {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  RunGame({.seed = 17}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    CutToTheLastNumber(h);
    size_t game = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (NumberSearchOutcomeStep == 1 && game < cases.size()) {
        EXPECT_EQ(NumberSearchPoints(1), 2) << "the last number counts double";
        for (int p = 1; p <= 4; ++p) NumberSearchPoints(p) = cases[game].points[p - 1];
        ++game;
      }
    });
    for (const Case& c : cases) {
      MinigameOutcome out = PlayMinigame(h, kNumberSearch, HumanSeats({1}));
      ASSERT_TRUE(out.ended);
      EXPECT_EQ(Awards(out), c.awards);
      EXPECT_EQ(Won(out), c.won);
    }
    EXPECT_EQ(game, cases.size());
  });
}

// The game's own font cannot be made (the font table is full): the shared
// size-30 font serves, and stays when the game frees its media.
TEST(NumberSearch, FontFallsBackToTheSharedOne) {
  RunGame({.seed = 19}, [&](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    std::vector<int32_t> fillers;
    int32_t fontInGame = -1;
    h.AddFrameHook([&](GameHarness&) {
      if (NumberSearchStep == 1 && fontInGame == -1 && fillers.empty())
        for (int32_t f; (f = CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1)) != -1;) fillers.push_back(f);
      if (NumberSearchStep == 2 && !fillers.empty()) {
        fontInGame = NumberSearchFont;
        for (int32_t f : fillers) DeleteFontHandle(f);
        fillers.clear();
        NumberSearchStep = 10;  // straight to the fade-out and the freeing
      }
    });
    MinigameOutcome out = PlayMinigame(h, kNumberSearch, HumanSeats({1}));
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(fontInGame, FontHandle30Type2);
    EXPECT_GT(FontHandle30Type2, 0);
    EXPECT_GT(GetTextWidthToHandle("a", 1, FontHandle30Type2, 0), 0) << "the shared font is not deleted";
    EXPECT_EQ(NumberSearchFont, -1);
    EXPECT_EQ(NumberSearchSparklePicture, -1) << "the pictures are freed";
  });
}

// A picture that does not load ends the minigame at once, nobody having
// won, with the picture loaded before it freed and the file named in the log.
TEST(NumberSearch, MissingPictureEndsTheMinigame) {
  RunGame({.hiddenMedia = {"mini/numbersearch/宝塔.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kNumberSearch, HumanSeats({1}));
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(NumberSearchStep, 1) << "the next start loads again";
    EXPECT_EQ(NumberSearchSparklePicture, -1) << "freed";
    EXPECT_EQ(NumberSearchFont, -1) << "no font made";
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("宝塔.png") != std::string::npos;
    EXPECT_TRUE(logged);
  });
}

// Four CPU players, one of each level, find every number within the bound;
// their thinking lengths are held to 10..45 steps.
TEST(NumberSearch, FourCpuPlayersFinish) {
  RunGame({.seed = 29}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("NumberSearchMain", 14000);
    int32_t lowest = 100, highest = 0, scored = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (NumberSearchPlayStep == 6) ++scored;
      for (int p = 1; p <= 4; ++p) {
        if (CpuWorkTable[p].flag != 2) continue;
        lowest = std::min(lowest, NumberSearchThinkSteps[p]);
        highest = std::max(highest, NumberSearchThinkSteps[p]);
      }
    });
    MinigameOutcome out = PlayMinigame(h, kNumberSearch, {.cpuLevel = {1, 2, 3, 4}}, 14000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_EQ(scored, 20);
    EXPECT_GE(lowest, 10);
    EXPECT_LE(highest, 45);
    int32_t coins = 0;
    for (int p = 1; p <= 4; ++p) coins += out.award[p];
    EXPECT_GE(coins, 42) << "every number scored, the last double";
  });
}

}  // namespace
