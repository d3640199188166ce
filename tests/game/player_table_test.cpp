// The player table: standings and placements, the turn-order and item
// lookups, the coin animation's timing and its floor at 0, and the digits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

namespace {

void ResetPlayers() {
  memset(PlayerTable, 0, sizeof PlayerTable);
  memset(StandingsTable, 0, sizeof StandingsTable);
  memset(CoinAnimationState, 0, sizeof CoinAnimationState);
}

struct StandingsCase {
  const char* what;
  int32_t stars[4], coins[4];
  int32_t slots[4], placements[4];
};

TEST(PlayerTable, StandingsAndPlacements) {
  const StandingsCase cases[] = {
      {"four equal players", {0, 0, 0, 0}, {5, 5, 5, 5}, {1234, 0, 0, 0}, {1, 1, 1, 1}},
      {"stars decide, then coins; ties share", {3, 3, 1, 1}, {10, 10, 5, 7}, {12, 4, 3, 0}, {1, 1, 3, 2}},
      {"all different", {0, 2, 1, 3}, {9, 0, 0, 0}, {4, 2, 3, 1}, {4, 2, 3, 1}},
      {"coins order equal stars", {1, 1, 1, 1}, {3, 9, 1, 4}, {2, 4, 1, 3}, {3, 1, 4, 2}},
      {"a later, better player replaces a tie group", {0, 0, 5, 0}, {0, 0, 0, 0}, {3, 124, 0, 0}, {2, 2, 1, 2}},
      {"players 2 and 4 tie for second", {4, 1, 0, 1}, {0, 6, 0, 6}, {1, 24, 3, 0}, {1, 2, 3, 2}},
      {"three tie for first, one behind", {2, 2, 2, 2}, {8, 8, 3, 8}, {124, 3, 0, 0}, {1, 1, 2, 1}},
  };
  for (const StandingsCase& c : cases) {
    ResetPlayers();
    for (int p = 0; p < 4; ++p) {
      PlayerTable[p].stars = c.stars[p];
      PlayerTable[p].coins = c.coins[p];
    }
    AssignPlacements();
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(StandingsTable[k], c.slots[k]) << c.what << ", slot " << k;
      EXPECT_EQ(PlayerTable[k].placement, c.placements[k]) << c.what << ", player " << k + 1;
    }
  }
}

TEST(PlayerTable, LookupsAndItemSlots) {
  ResetPlayers();
  const int32_t order[4] = {3, 1, 4, 2};
  for (int p = 0; p < 4; ++p) PlayerTable[p].turnOrder = order[p];
  EXPECT_EQ(GetPlayerByTurnOrder(1), 2);
  EXPECT_EQ(GetPlayerByTurnOrder(2), 4);
  EXPECT_EQ(GetPlayerByTurnOrder(3), 1);
  EXPECT_EQ(GetPlayerByTurnOrder(4), 3);
  EXPECT_EQ(GetPlayerByTurnOrder(5), 0);
  EXPECT_EQ(GetPlayerByTurnOrder(0), 0);

  PlayerTable[0].items[2] = 7;  // only slot 3
  PlayerTable[1].items[0] = 1;
  PlayerTable[1].items[1] = 2;
  PlayerTable[2].items[0] = 4;
  EXPECT_TRUE(HasAnyItem(1));
  EXPECT_FALSE(AreFirstTwoItemSlotsFull(1)) << "slot 3 is not looked at";
  EXPECT_TRUE(AreFirstTwoItemSlotsFull(2));
  EXPECT_FALSE(AreFirstTwoItemSlotsFull(3));
  EXPECT_FALSE(HasAnyItem(4));
  EXPECT_FALSE(HasAnyItem(0));
  EXPECT_FALSE(HasAnyItem(5));

  int32_t players[4];
  ASSERT_EQ(SplitStandingsSlot(1234, players), 4);
  EXPECT_EQ(players[0], 1);
  EXPECT_EQ(players[3], 4);
  ASSERT_EQ(SplitStandingsSlot(24, players), 2);
  EXPECT_EQ(players[0], 2);
  EXPECT_EQ(players[1], 4);
  EXPECT_EQ(SplitStandingsSlot(0, players), 0);
}

// Runs an animation to its end: the calls it took and the calls at which a
// coin moved (numbered from 1).
struct AnimationRun {
  int calls = 0;
  std::vector<int> moves;
};

AnimationRun RunAnimation(int32_t amount, int32_t player, bool withState) {
  AnimationRun run;
  int32_t counter = 0, state = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    int32_t before = PlayerTable[player - 1].coins;
    int result = withState ? AnimateCoinChangeWithState(amount, player, &counter, &state)
                           : AnimateCoinChange(amount, player);
    ++run.calls;
    if (PlayerTable[player - 1].coins != before) run.moves.push_back(run.calls);
    if (result == 1) return run;
  }
  ADD_FAILURE() << "the animation of " << amount << " does not end";
  return run;
}

TEST(PlayerTable, CoinAnimationTiming) {
  struct Case {
    int32_t amount, startCoins, calls, endCoins;
  };
  const Case cases[] = {
      {15, 0, 63, 15},   // a gain of 15 is slow
      {16, 0, 34, 16},   // 16 or more: a coin every second call
      {-20, 30, 42, 10}, // a loss of 15 or more is fast
      {-15, 15, 32, 0},
      {-14, 20, 63, 6},
      {0, 9, 63, 9},
      {1, 0, 63, 1},
      {40, 3, 82, 43},
  };
  for (bool withState : {false, true}) {
    for (const Case& c : cases) {
      ResetPlayers();
      PlayerTable[1].coins = c.startCoins;
      AnimationRun run = RunAnimation(c.amount, 2, withState);
      EXPECT_EQ(run.calls, c.calls) << c.amount << (withState ? " with state" : "");
      EXPECT_EQ(PlayerTable[1].coins, c.endCoins) << c.amount << (withState ? " with state" : "");
      EXPECT_EQ(CoinAnimationState[1].state, 0) << "back to state 0 for the next change";
    }
  }
  // A slow change moves exactly abs(amount) coins, spread over 60 frames.
  for (int32_t amount = 1; amount <= 15; ++amount) {
    ResetPlayers();
    PlayerTable[0].coins = 100;
    EXPECT_EQ(RunAnimation(amount, 1, false).moves.size(), static_cast<size_t>(amount)) << amount;
    EXPECT_EQ(RunAnimation(-amount, 1, false).moves.size(), static_cast<size_t>(amount)) << -amount;
    EXPECT_EQ(PlayerTable[0].coins, 100);
  }
  ResetPlayers();
  EXPECT_EQ(RunAnimation(3, 1, false).moves, (std::vector<int>{3, 23, 43}));  // counters 0, 20, 40
  EXPECT_EQ(RunAnimation(7, 1, false).moves, (std::vector<int>{3, 12, 21, 29, 38, 46, 55}));
  // The next call after the end starts afresh.
  EXPECT_EQ(RunAnimation(16, 1, false).calls, 34);
  EXPECT_EQ(PlayerTable[0].coins, 26);
}

TEST(PlayerTable, NoCoinCountGoesBelowZero) {
  ResetPlayers();
  PlayerTable[2].coins = 6;
  EXPECT_EQ(CoinChangeWithinHeld(3, -10), -6);
  EXPECT_EQ(CoinChangeWithinHeld(3, -6), -6);
  EXPECT_EQ(CoinChangeWithinHeld(3, -5), -5);
  EXPECT_EQ(CoinChangeWithinHeld(3, 12), 12);
  EXPECT_EQ(CoinChangeWithinHeld(3, 0), 0);
  PlayerTable[2].coins = 0;
  EXPECT_EQ(CoinChangeWithinHeld(3, -3), 0);
  // Given a whole loss anyway, the animation keeps its timing and stops at 0.
  PlayerTable[2].coins = 5;
  EXPECT_EQ(RunAnimation(-20, 3, false).calls, 42);
  EXPECT_EQ(PlayerTable[2].coins, 0);
  PlayerTable[2].coins = 2;
  EXPECT_EQ(RunAnimation(-7, 3, true).calls, 63);
  EXPECT_EQ(PlayerTable[2].coins, 0);
  // A player number outside 1..4 ends at once and touches nothing.
  EXPECT_EQ(AnimateCoinChange(5, 0), 1);
  EXPECT_EQ(AnimateCoinChange(5, 5), 1);
}

// Coins and stars stop at the bound: every gain saturates, through the
// animation, the amount shown for a change and the helper the shops use; a
// count already at the top of the 32 bits (never reached, never saved) is not
// overflowed by a gain.
TEST(PlayerTable, NoCountGoesAboveTheBound) {
  ResetPlayers();
  PlayerTable[2].coins = kMostCoinsOrStars - 3;
  EXPECT_EQ(CoinChangeWithinHeld(3, 10), 3);
  EXPECT_EQ(CoinChangeWithinHeld(3, -10), -10);
  PlayerTable[2].coins = kMostCoinsOrStars;
  EXPECT_EQ(CoinChangeWithinHeld(3, 1), 0);
  for (bool withState : {false, true}) {
    for (int32_t gain : {3, 16, 40}) {
      PlayerTable[2].coins = kMostCoinsOrStars - 2;
      RunAnimation(gain, 3, withState);
      EXPECT_EQ(PlayerTable[2].coins, kMostCoinsOrStars) << gain;
    }
    PlayerTable[2].coins = 0x7FFFFFFF;
    RunAnimation(16, 3, withState);
    EXPECT_EQ(PlayerTable[2].coins, 0x7FFFFFFF);
  }
  EXPECT_EQ(GainWithinBound(5, 5), 10);
  EXPECT_EQ(GainWithinBound(kMostCoinsOrStars - 1, 5), kMostCoinsOrStars);
  EXPECT_EQ(GainWithinBound(kMostCoinsOrStars, 0x7FFFFFFF), kMostCoinsOrStars);
  EXPECT_EQ(GainWithinBound(0x7FFFFFFF, 1), 0x7FFFFFFF);
}

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

TEST(PlayerTable, CoinSoundAndDigits) {
  REQUIRE_MEDIA();
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    int32_t coinSound = SoundEffectHandles[2];
    // A change of 0 plays nothing.
    for (int i = 0; i < 62; ++i) ASSERT_EQ(AnimateCoinChange(0, 1), 0);
    EXPECT_EQ(AnimateCoinChange(0, 1), 1);
    EXPECT_EQ(CheckSoundHandle(coinSound), 0);
    // A gain plays the coin sound with its first coin (the third call).
    AnimateCoinChange(3, 1);
    AnimateCoinChange(3, 1);
    EXPECT_EQ(CheckSoundHandle(coinSound), 0);
    AnimateCoinChange(3, 1);
    EXPECT_EQ(CheckSoundHandle(coinSound), 1);

    // Digits: 120 is 1, 2, 0 at x - 20, x, x + 20; a negative value draws 0.
    auto screen = [&](auto draw) {
      ClearDrawTarget(nullptr);
      draw();
      return h.ScreenHash();
    };
    uint64_t number = screen([] { DrawNumber(120, 320, 240, 1.0); });
    uint64_t digits = screen([] {
      DrawGraphRotated(300, 240, 1.0, 0.0, SmallDigitPictures[1], 1, 0);
      DrawGraphRotated(320, 240, 1.0, 0.0, SmallDigitPictures[2], 1, 0);
      DrawGraphRotated(340, 240, 1.0, 0.0, SmallDigitPictures[0], 1, 0);
    });
    EXPECT_EQ(number, digits);
    uint64_t zero = screen([] { DrawGraphRotated(100, 50, 1.0, 0.0, SmallDigitPictures[0], 1, 0); });
    EXPECT_EQ(screen([] { DrawNumber(0, 100, 50, 1.0); }), zero);
    EXPECT_EQ(screen([] { DrawNumber(-37, 100, 50, 1.0); }), zero);
    // The spacing stays 20 pixels at scale 2, drawn smoothed; the filter is reset.
    uint64_t scaled = screen([] { DrawNumber(45, 320, 240, 2.0); });
    uint64_t scaledDigits = screen([] {
      SetDrawFilterMode(1);
      DrawGraphRotated(310, 240, 2.0, 0.0, SmallDigitPictures[4], 1, 0);
      DrawGraphRotated(330, 240, 2.0, 0.0, SmallDigitPictures[5], 1, 0);
      SetDrawFilterMode(0);
    });
    EXPECT_EQ(scaled, scaledDigits);
    EXPECT_EQ(GetDrawFilterMode(), 0);
    uint64_t die = screen([] { DrawDieNumber(7, 200, 200); });
    uint64_t dieParts = screen([] {
      DrawGraphRotated(200, 200, 1.0, 0.0, DieBlockPicture, 1, 0);
      DrawGraphRotated(200, 200, 1.0, 0.0, SmallDigitPictures[7], 1, 0);
    });
    EXPECT_EQ(die, dieParts);
    EXPECT_NE(die, zero);
  });
}

}  // namespace
