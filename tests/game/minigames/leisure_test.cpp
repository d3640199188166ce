// The leisure minigame played through the runner: the seeded strikes, two
// participants on one stone both thrown out, a strike on an empty stone
// without the sparkle, a strike that waits for a late walk, the early end
// when nobody is left, the awards by who is still standing, four CPU
// participants, and a failed load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/minigames/leisure.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

void Shot(GameHarness& h, const char* name) {
  if (const char* dir = std::getenv("ZR_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name);
}

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award + 1, out.award + 5}; }
std::vector<uint8_t> Wins(const MinigameOutcome& out) { return {out.won + 1, out.won + 5}; }

// What each turn showed.
struct Turn {
  int choosingFrames = 0;  // frames at play step 2
  int strike = 0;
  int strikeFrames = 0;    // frames at play step 6
  int hits = 0;
  int sparkleFrames = 0;   // the sparkle's counter when the stone is back up
  std::vector<int> out;    // participants thrown out
  bool reachedAtStrike = true;
};

TEST(Leisure, ThreeSeededStrikesThrowOutWhoeverStandsOnTheStone) {
  RunGame({.seed = 7}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    // Seed 7 strikes stones 1, 4 and 2. Turn 0: player 2 joins player 1 on
    // stone 1. Turn 1: player 4 joins player 3 on stone 3, so stone 4 is
    // struck empty. Turn 2: player 3 chooses stone 2 two frames before the
    // time is up and is still walking when it ends.
    h.PressWhile([] { return LeisureTurn == 0 && LeisurePlayStep == 2 && LeisureChoiceTimer == 250; }, 2, kButtonA);
    h.PressWhile([] { return LeisureTurn == 1 && LeisurePlayStep == 2 && LeisureChoiceTimer == 250; }, 4, kButtonC);
    h.PressWhile([] { return LeisureTurn == 2 && LeisurePlayStep == 2 && LeisureChoiceTimer == 2; }, 3, kButtonB);
    Turn turns[3];
    int lastStep = -1;
    h.AddFrameHook([&](GameHarness& g) {
      Turn& t = turns[LeisureTurn];
      if (LeisurePlayStep == 2) ++t.choosingFrames;
      if (LeisurePlayStep == 2 && LeisureTurn == 0 && t.choosingFrames == 120) Shot(g, "leisure_choose.png");
      if (LeisurePlayStep == 3) {
        for (int p = 1; p <= 4; ++p)
          if (LeisureInGame(p) == 1 && LeisureReachedStone(p) != LeisureChosenStone(p)) t.reachedAtStrike = false;
      }
      if (LeisurePlayStep == 4) t.strike = LeisureStruckStone();
      if (lastStep == 6) ++t.strikeFrames;
      if (LeisurePlayStep == 7 && LeisureWait == 30 && LeisureTurn == 0) Shot(g, "leisure_throw.png");
      if (LeisurePlayStep == 8 && LeisureSparkleFrame == 20 && LeisureTurn == 0) Shot(g, "leisure_sparkle.png");
      if (LeisurePlayStep == 7 && lastStep == 6) {
        t.hits = LeisureHits;
        for (int p = 1; p <= 4; ++p)
          if (LeisureInGame(p) == 0 && LeisureChosenStone(p) == t.strike) t.out.push_back(p);
      }
      if (LeisurePlayStep == 9 && lastStep == 8) t.sparkleFrames = LeisureSparkleFrame;
      lastStep = LeisurePlayStep;
    });
    int winnerFrames = 0;
    h.AddFrameHook([&](GameHarness& g) {
      if (WinnerTextStep == 4 && ++winnerFrames == 40) Shot(g, "leisure_result.png");
    });
    MinigameOutcome out = PlayMinigame(h, 3, HumanSeats({1, 2, 3, 4}), 4000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(winnerFrames, 102) << "the winner text ran";
    struct Expected {
      int strike, hits;
      std::vector<int> out;
      bool sparkle;
    };
    const Expected expected[3] = {{1, 2, {1, 2}, true}, {4, 0, {}, false}, {2, 1, {3}, true}};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(turns[i].strike, expected[i].strike) << "turn " << i;
      EXPECT_EQ(turns[i].hits, expected[i].hits) << "turn " << i;
      EXPECT_EQ(turns[i].out, expected[i].out) << "turn " << i;
      EXPECT_EQ(turns[i].sparkleFrames > 0, expected[i].sparkle) << "turn " << i;
      EXPECT_EQ(turns[i].strikeFrames, 8) << "the stone goes down 50 a frame to 400";
      EXPECT_TRUE(turns[i].reachedAtStrike) << "turn " << i;
    }
    EXPECT_EQ(turns[0].choosingFrames, 300);
    EXPECT_EQ(turns[1].choosingFrames, 300);
    // The late walk: 128 pixels at 2 a frame, begun two frames before the end.
    EXPECT_EQ(turns[2].choosingFrames, 300 - 2 + 64);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 10}));
    EXPECT_EQ(Wins(out), (std::vector<uint8_t>{0, 0, 0, 1}));
    EXPECT_EQ(LeisureBackground, -1) << "the media are freed";
  });
}

TEST(Leisure, NobodyLeftEndsEarlyAndTheAwardsNeedSomebodyOut) {
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // All four walk to stone 1, which is struck (the strike is set here).
    for (int p = 1; p <= 4; ++p)
      h.PressWhile([] { return LeisurePlayStep == 2 && LeisureChoiceTimer == 90; }, p, kButtonA);
    h.AddFrameHook([](GameHarness&) {
      if (LeisurePlayStep == 2 && LeisureChoiceTimer > 100) LeisureChoiceTimer = 100;
      if (LeisurePlayStep == 4) LeisureStruckStone() = 1;
    });
    int turnsSeen = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (LeisurePlayStep == 3) ++turnsSeen;
    });
    MinigameOutcome out = PlayMinigame(h, 3, HumanSeats({1, 2, 3, 4}), 3000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(turnsSeen, 1) << "no strike after nobody is left";
    EXPECT_EQ(Wins(out), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));

    // The outcome by who is still in the game.
    struct Case {
      std::vector<uint8_t> in;
      std::vector<int32_t> awards;
    };
    const Case cases[] = {
        {{1, 1, 1, 1}, {0, 0, 0, 0}},     // nobody fell: a draw
        {{0, 0, 0, 0}, {0, 0, 0, 0}},     // nobody left: a draw
        {{0, 1, 0, 1}, {0, 10, 0, 10}},
        {{1, 0, 0, 0}, {10, 0, 0, 0}},
        {{1, 1, 1, 0}, {10, 10, 10, 0}},
    };
    for (const Case& c : cases) {
      for (int p = 1; p <= 4; ++p) {
        ParticipantTable[p].award = 0;
        ParticipantTable[p].won = 0;
        LeisureInGame(p) = c.in[p - 1];
      }
      LeisureOutcomeStep = 0;
      int result = 0;
      for (int i = 0; i < 5 && result == 0; ++i) result = LeisureOutcome();
      EXPECT_EQ(result, 1);
      MinigameOutcome o = ReadMinigameOutcome();
      EXPECT_EQ(Awards(o), c.awards);
      for (int p = 1; p <= 4; ++p) EXPECT_EQ(o.won[p], c.awards[p - 1] != 0 ? 1 : 0);
    }
  });
}

TEST(Leisure, FourCpuParticipantsEndUnderTheWatchdogAndAFailedLoadEndsAtOnce) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.AddFrameHook([](GameHarness&) {
      if (LeisurePlayStep == 2 && LeisureChoiceTimer > 60) LeisureChoiceTimer = 60;
    });
    int moves = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (LeisurePlayStep == 2)
        for (int p = 1; p <= 4; ++p) moves += LeisureReachedStone(p) != LeisureChosenStone(p) ? 1 : 0;
    });
    MinigameSeats seats;
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    MinigameOutcome out = PlayMinigame(h, 3, seats, 3000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
    EXPECT_GT(moves, 0) << "the CPU participants wander";
    bool anyOut = false;
    for (int p = 1; p <= 4; ++p) anyOut = anyOut || LeisureInGame(p) == 0;
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], anyOut && LeisureInGame(p) == 1 ? 10 : 0) << p;
  });
  RunGame({.hiddenMedia = {"mini/leisure/ミラドゥン_031.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 3, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Wins(out), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(LeisureStep, 1) << "the next start loads again";
    EXPECT_EQ(LeisureSwordCells[0], -1) << "what was loaded is freed";
    EXPECT_EQ(LeisureStone030, -1);
    bool named = false;
    for (const std::string& line : h.LogLines()) named = named || line.find("ミラドゥン_031.png") != std::string::npos;
    EXPECT_TRUE(named);
  });
}

}  // namespace
