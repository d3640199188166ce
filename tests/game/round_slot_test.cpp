// The round-start slot: its timing frame by frame, the effects applied on
// the confirming press, and the coin averaging of effect 6.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"

namespace {

using namespace shop_fixture;

// Frames the slot spent in each state, the effect on the card in every
// spin frame, and the card frame and effect on the card when the spin ended.
struct SlotRun {
  std::map<int32_t, int> framesIn;
  std::vector<int32_t> shownDuringSpin;
  int32_t cardFrameAtEnd = -1, shownAtEnd = -1;
};

// The confirming press comes from input record 1 (set up once per game:
// PressWhile(SlotState == 8)).
SlotRun RunSlot(GameHarness& h) {
  SlotRun run;
  Install([] { return RunMagicSquareSlot(); });
  for (int guard = 0; guard < 2000 && LastResult != 1; ++guard) {
    int32_t before = SlotState;
    if (!h.Frame()) break;
    ++run.framesIn[before];
    if (before == 6) {
      run.shownDuringSpin.push_back(SlotShown);
      if (SlotState == 7) {
        run.cardFrameAtEnd = SlotCardFrame;
        run.shownAtEnd = SlotShown;
      }
    }
  }
  EXPECT_EQ(LastResult, 1) << "the slot ended";
  return run;
}

TEST(RoundSlot, TimingAndResult) {
  REQUIRE_MEDIA();
  for (uint32_t seed : {3u, 29u}) {
    RunGame({.seed = seed}, [seed](GameHarness& h) {
      ASSERT_EQ(h.StartUpWithoutMedia(), 0);
      ASSERT_TRUE(h.Frame());
      PokeParty(false, true, true, true);
      h.PressWhile([] { return SlotState == 8; }, 1, kButtonA);
      SlotRun run = RunSlot(h);
      SCOPED_TRACE(seed);
      EXPECT_EQ(run.framesIn[2], 64) << "64 frames of dimming";
      EXPECT_GE(run.framesIn[6], 90) << "the spin lasts at least 90 frames";
      EXPECT_EQ(run.cardFrameAtEnd, 0) << "it stops face-on";
      EXPECT_EQ(run.shownAtEnd, SlotResult) << "showing the result";
      EXPECT_EQ(run.framesIn[7], 51) << "the reveal";
      EXPECT_EQ(run.framesIn[9], 64) << "the light comes back";
      // Every effect shown is shown for 9 frames (the first one since the
      // spin started, the last up to the stop).
      std::vector<int> runs(1, 1);
      for (size_t i = 1; i < run.shownDuringSpin.size(); ++i) {
        if (run.shownDuringSpin[i] == run.shownDuringSpin[i - 1]) {
          ++runs.back();
        } else {
          EXPECT_EQ(run.shownDuringSpin[i], run.shownDuringSpin[i - 1] % 6 + 1) << "the next effect";
          runs.push_back(1);
        }
      }
      ASSERT_GE(runs.size(), 3u);
      for (size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i], 9) << "run " << i;
      EXPECT_EQ(RoundEffect, SlotResult);
      EXPECT_GE(SlotResult, 1);
      EXPECT_LE(SlotResult, 6);
      EXPECT_EQ(RoundEffectRoundsLeft, SlotResult == 3 || SlotResult == 6 ? 1 : 2);
      EXPECT_EQ(SlotState, 0);
      EXPECT_EQ(SlotDarkness, 0);
    });
  }
}

TEST(RoundSlot, TheConfirmingPressAppliesEffectsFiveAndSix) {
  REQUIRE_MEDIA();
  RunGame({.seed = 4}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    LoadBoardSquares(1);
    int blue = CountSquares(kSquareBlue), red = CountSquares(kSquareRed);
    ASSERT_GT(blue, 0);
    h.PressWhile([] { return SlotState == 8; }, 1, kButtonA);
    // Effect 5: the colours swap once A is pressed on the result, not before.
    h.When([] { return SlotState == 6; }, [] { SlotResult = 5; });
    bool swappedEarly = false;
    h.AddFrameHook([&](GameHarness&) {
      if (SlotState == 8 && CountSquares(kSquareBlue) != blue) swappedEarly = true;
    });
    RunSlot(h);
    EXPECT_FALSE(swappedEarly);
    EXPECT_EQ(RoundEffect, 5);
    EXPECT_EQ(CountSquares(kSquareBlue), red);
    EXPECT_EQ(CountSquares(kSquareRed), blue);

    // Effect 6: the coins made equal.
    const int32_t coins[4] = {10, 7, 7, 0};
    for (int p = 0; p < 4; ++p) PlayerTable[p].coins = coins[p];
    h.When([] { return SlotState == 6; }, [] { SlotResult = 6; });
    RunSlot(h);
    EXPECT_EQ(RoundEffect, 6);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(PlayerTable[p].coins, 6);
  });
}

TEST(CoinAveraging, SharesTheTotalAndTheRemainderGoesToTheRichest) {
  InOwnProcess([] {
    SeedRandom(17);
    int32_t even[4] = {10, 7, 7, 0};
    AverageCoins(even);
    for (int32_t c : even) EXPECT_EQ(c, 6);
    int32_t odd[4] = {5, 3, 3, 0};
    AverageCoins(odd);
    EXPECT_EQ(odd[0], 3);
    EXPECT_EQ(odd[1], 3);
    EXPECT_EQ(odd[2], 3);
    EXPECT_EQ(odd[3], 2);
    // Ties: one of the three players with 3 gets the one coin left over, by
    // the seeded order; each of them gets it for some seed.
    std::map<int, int> winners;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
      SeedRandom(seed);
      int32_t tied[4] = {3, 0, 3, 3};
      AverageCoins(tied);
      EXPECT_EQ(tied[1], 2) << "the poorest gets no extra coin";
      int rich = 0;
      for (int p : {0, 2, 3}) {
        EXPECT_TRUE(tied[p] == 2 || tied[p] == 3);
        if (tied[p] == 3) {
          ++rich;
          ++winners[p];
        }
      }
      EXPECT_EQ(rich, 1) << "seed " << seed;
    }
    EXPECT_EQ(winners.size(), 3u) << "every tied player can be first";
    // The total never changes.
    SeedRandom(5);
    for (int round = 0; round < 200; ++round) {
      int32_t c[4];
      int32_t total = 0;
      for (int32_t& v : c) total += v = GetRandomNumber(120);
      int32_t before[4] = {c[0], c[1], c[2], c[3]};
      AverageCoins(c);
      EXPECT_EQ(c[0] + c[1] + c[2] + c[3], total);
      for (int p = 0; p < 4; ++p) {
        EXPECT_GE(c[p], total / 4);
        EXPECT_LE(c[p], total / 4 + 1);
        // A player with fewer coins never gets the extra coin over a richer one.
        for (int q = 0; q < 4; ++q) {
          if (before[p] > before[q]) {
            EXPECT_GE(c[p], c[q]);
          }
        }
      }
    }
  });
}

}  // namespace
