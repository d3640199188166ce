// The item menu and the item effects: the slots a human and a CPU player
// take from, the items that cannot be used, the dice items with their
// modifiers and digit keys, the random dice item and the place swap.
#include "game/board/items.h"

#include <gtest/gtest.h>

#include <set>

#include "game/board/board_map.h"
#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/turn_machine.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"

namespace {

using namespace shop_fixture;

constexpr int kKeySeven = 8;  // the scan code of the main keyboard's 7

void SetItems(int32_t player, int32_t a, int32_t b, int32_t c) {
  PlayerRecord& r = PlayerTable[player - 1];
  r.items[0] = a;
  r.items[1] = b;
  r.items[2] = c;
}

TEST(Items, OnlyItemsWithAUseCanBeTaken) {
  const std::set<int32_t> used = {1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14};
  for (int32_t id = -1; id <= 40; ++id) EXPECT_EQ(ItemHasUseEffect(id), used.count(id) == 1) << id;
}

TEST(ItemMenu, AHumanTakesAUsableItemAndSlotTwoMovesUp) {
  REQUIRE_MEDIA();
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    // Slot 1 holds item 9, which has no use: A does nothing there.
    SetItems(1, 9, 7, 24);
    Install([] { return RunItemMenu(1); });
    ASSERT_TRUE(h.Frames(2));
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(LastResult, 0);
    EXPECT_EQ(ItemMenuState, 3) << "still choosing";
    EXPECT_EQ(PlayerTable[0].items[0], 9);
    h.Tap(1, kButtonRight);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(ItemMenuCursor, 1);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult != 0; }, 5));
    EXPECT_EQ(LastResult, 7);
    EXPECT_EQ(PlayerTable[0].items[0], 9);
    EXPECT_EQ(PlayerTable[0].items[1], 0);
    EXPECT_EQ(PlayerTable[0].items[2], 24) << "the third slot is never taken";

    // Taking slot 1 moves slot 2 up.
    SetItems(1, 4, 6, 0);
    Install([] { return RunItemMenu(1); });
    ASSERT_TRUE(h.Frames(2));
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult != 0; }, 5));
    EXPECT_EQ(LastResult, 4);
    EXPECT_EQ(PlayerTable[0].items[0], 6);
    EXPECT_EQ(PlayerTable[0].items[1], 0);

    // The cursor does not move onto an empty slot; B cancels.
    Install([] { return RunItemMenu(1); });
    ASSERT_TRUE(h.Frames(2));
    h.Tap(1, kButtonRight);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(ItemMenuCursor, 0);
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.RunUntil([] { return LastResult != 0; }, 5));
    EXPECT_EQ(LastResult, -1);
    EXPECT_EQ(PlayerTable[0].items[0], 6) << "nothing taken";
    EXPECT_EQ(ItemMenuState, 0);
  });
}

TEST(ItemMenu, ACpuTakesItsChosenSlotOrNothing) {
  REQUIRE_MEDIA();
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    // Slot 2: the cursor moves there on the 47th frame and takes it on the 94th.
    SetItems(2, 3, 7, 0);
    CpuItemSlot = 1;
    int frames = RunToEnd(
        h, [] { return RunItemMenu(2) == 7 ? 1 : 0; }, 200);
    EXPECT_GE(frames, 2 * 47);
    EXPECT_LE(frames, 2 * 47 + 4);
    EXPECT_EQ(PlayerTable[1].items[0], 3);
    EXPECT_EQ(PlayerTable[1].items[1], 0);
    // No choice, an empty slot or an item without a use ends the menu at once.
    struct Case {
      int32_t slot, a, b;
    };
    for (Case c : {Case{-1, 3, 7}, Case{1, 3, 0}, Case{0, 9, 7}, Case{1, 5, 31}, Case{0, 10, 0}}) {
      SetItems(2, c.a, c.b, 0);
      CpuItemSlot = c.slot;
      EXPECT_LE(RunToEnd(
                    h, [] { return RunItemMenu(2) == -1 ? 1 : 0; }, 5),
                3)
          << c.slot << " " << c.a << " " << c.b;
      EXPECT_EQ(PlayerTable[1].items[0], c.a);
      EXPECT_EQ(PlayerTable[1].items[1], c.b);
    }
    CpuItemSlot = -1;
  });
}

TEST(ItemStep, UsesTheItemTaken) {
  REQUIRE_MEDIA();
  RunGame({.seed = 6}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    // Item 3: the piece stays; item 11 leaves the move to the coin theft.
    for (auto [item, result, moves] : {std::tuple{3, 1, 0}, std::tuple{11, 2, 5}}) {
      SetItems(3, item, 0, 0);
      PlayerTable[2].moveCount = 5;
      CpuItemSlot = 0;
      int got = 0;
      ASSERT_GT(RunToEnd(
                    h, [&got] { return (got = RunItemStep(3)) != 0 ? 1 : 0; }, 200),
                0);
      EXPECT_EQ(got, result) << item;
      EXPECT_EQ(PlayerTable[2].itemInUse, item);
      EXPECT_EQ(PlayerTable[2].moveCount, moves);
      EXPECT_EQ(PlayerTable[2].items[0], 0);
      EXPECT_EQ(ItemStepState, 0);
    }
    // Nothing chosen: -1.
    SetItems(3, 1, 0, 0);
    CpuItemSlot = -1;
    int got = 0;
    RunToEnd(
        h, [&got] { return (got = RunItemStep(3)) != 0 ? 1 : 0; }, 5);
    EXPECT_EQ(got, -1);
    EXPECT_EQ(PlayerTable[2].items[0], 1);
    // An id without a use ends at once without settling the move.
    EXPECT_EQ(UseItem(8, 3), 2);
    EXPECT_EQ(UseItem(33, 3), 2);
    CpuItemSlot = -1;
  });
}

TEST(DiceItems, HowManyDiceAndTheirSum) {
  REQUIRE_MEDIA();
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    // Under the fated one every die shows 1, so the sum counts the dice.
    FatedOneCountdown[2] = 1;
    struct Case {
      int32_t item, effect, dice;
    };
    for (Case c : {Case{1, 0, 2}, Case{1, 1, 3}, Case{1, 4, 3}, Case{2, 0, 3}, Case{2, 1, 4}, Case{2, 4, 4}}) {
      RoundEffect = c.effect;
      int32_t most = 0;
      ASSERT_GT(RunToEnd(
                    h,
                    [&] {
                      most = std::max(most, MultiDiceCount);
                      return UseItem(c.item, 2);
                    },
                    600),
                0);
      EXPECT_EQ(most, c.dice) << "item " << c.item << " effect " << c.effect;
      EXPECT_EQ(PlayerTable[1].moveCount, c.dice);
      EXPECT_EQ(MultiDiceState, 0);
    }
    RoundEffect = 0;
    FatedOneCountdown[2] = 0;
    // The merge: 51 frames of fading once the dice are rolled.
    int merging = 0;
    RunToEnd(
        h,
        [&] {
          if (MultiDiceState == 2) ++merging;
          return RollTwoDice(2);
        },
        600);
    EXPECT_EQ(merging, 51);
  });
}

TEST(DiceItems, SingleDiceWithPassiveItemsAndDigitKeys) {
  REQUIRE_MEDIA();
  RunGame({.seed = 12}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    static bool pressA = true;
    h.PressWhile([] { return pressA && SingleDieState == 2; }, 1, kButtonA);
    struct Case {
      int32_t item, slot3, effect, low, high;
    };
    const Case cases[] = {
        {7, 0, 0, 1, 3},  {7, 25, 0, 1, 1},   {7, 25, 4, 1, 1}, {7, 24, 0, 3, 5}, {7, 24, 4, 4, 6},
        {6, 0, 0, 8, 10}, {6, 24, 4, 11, 13}, {6, 25, 0, 6, 8}, {6, 25, 4, 5, 7},
    };
    for (const Case& c : cases) {
      SetItems(1, 0, 0, c.slot3);
      RoundEffect = c.effect;
      std::set<int32_t> seen;
      for (int use = 0; use < 12; ++use) {
        ASSERT_GT(RunToEnd(
                      h, [&c] { return UseItem(c.item, 1); }, 100),
                  0);
        seen.insert(PlayerTable[0].moveCount);
      }
      EXPECT_GE(*seen.begin(), c.low) << c.item << " " << c.slot3 << " " << c.effect;
      EXPECT_LE(*seen.rbegin(), c.high) << c.item << " " << c.slot3 << " " << c.effect;
    }
    RoundEffect = 0;
    // The fated one rolls 1 on the big die.
    SetItems(1, 0, 0, 24);
    FatedOneCountdown[1] = 1;
    RunToEnd(
        h, [] { return RollBigDie(1); }, 100);
    EXPECT_EQ(PlayerTable[0].moveCount, 1);
    FatedOneCountdown[1] = 0;
    // A digit key sets the die as it is, without the item's change.
    SetItems(1, 0, 0, 25);
    pressA = false;
    Install([] { return RollSmallDie(1); });
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(SingleDieState, 2);
    h.HoldKey(kKeySeven, 1);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 5));
    EXPECT_EQ(PlayerTable[0].moveCount, 7);
    // A CPU player stops the die on its 46th frame.
    int frames = RunToEnd(
        h, [] { return RollSmallDie(2); }, 100);
    EXPECT_GE(frames, 47);
    EXPECT_LE(frames, 49);
  });
}

TEST(DiceItems, TheRandomDiceItemRunsOneOfFour) {
  REQUIRE_MEDIA();
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    std::set<int32_t> choices;
    for (int use = 0; use < 16; ++use) {
      int32_t choice = -1;
      ASSERT_GT(RunToEnd(
                    h,
                    [&choice] {
                      int r = RunRandomDiceItem(2);
                      if (RandomDiceChoice >= 0) choice = RandomDiceChoice;
                      return r;
                    },
                    400),
                0);
      // Only "stay" ends on its first call, before its choice could be seen.
      if (choice == -1) choice = 3;
      choices.insert(choice);
      int32_t moves = PlayerTable[1].moveCount;
      if (choice == 1) {
        EXPECT_TRUE(moves >= 1 && moves <= 3);
      } else if (choice == 2) {
        EXPECT_TRUE(moves >= 8 && moves <= 10);
      } else if (choice == 3) {
        EXPECT_EQ(moves, 0);
      }
    }
    EXPECT_EQ(*choices.begin(), 0);
    EXPECT_EQ(*choices.rbegin(), 3) << "never 4";
    EXPECT_EQ(RandomDiceChoice, -1);
  });
}

TEST(PlaceSwap, NeverPicksTheUserAndExchangesTheSquares) {
  REQUIRE_MEDIA();
  RunGame({.seed = 33}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    LoadBoardSquares(1);
    for (int p = 1; p <= 4; ++p) {
      PlayerRecord& r = PlayerTable[p - 1];
      r.square = 2 + 3 * p;
      r.prevSquare = 1 + 3 * p;
      r.x = SquareTable[r.square].x;
      r.y = SquareTable[r.square].y;
      SquareTable[r.square].occupancy = 1;
    }
    std::set<int32_t> partners;
    for (int use = 0; use < 8; ++use) {
      int32_t p = use % 4 + 1;
      PlayerRecord before[4];
      memcpy(before, PlayerTable, sizeof before);
      PlayerTable[p - 1].moveCount = 6;
      PlayerTable[p - 1].facing = 8;
      ASSERT_GT(RunToEnd(
                    h, [p] { return UseItem(4, p); }, 400),
                0);
      int32_t q = 0;
      for (int k = 1; k <= 4; ++k)
        if (k != p && PlayerTable[k - 1].square != before[k - 1].square) q = k;
      ASSERT_NE(q, 0) << "someone else moved";
      partners.insert(q);
      const PlayerRecord& a = PlayerTable[p - 1];
      const PlayerRecord& b = PlayerTable[q - 1];
      EXPECT_EQ(a.square, before[q - 1].square);
      EXPECT_EQ(a.prevSquare, before[q - 1].prevSquare);
      EXPECT_EQ(b.square, before[p - 1].square);
      EXPECT_EQ(b.prevSquare, before[p - 1].prevSquare);
      EXPECT_EQ(a.x, SquareTable[a.square].x);
      EXPECT_EQ(b.y, SquareTable[b.square].y);
      EXPECT_EQ(a.facing, 2);
      EXPECT_EQ(a.moveCount, 0);
      EXPECT_EQ(SquareTable[a.square].occupancy, 1);
      EXPECT_EQ(SquareTable[b.square].occupancy, 1);
      for (int k = 1; k <= 4; ++k) {
        if (k != p && k != q) {
          EXPECT_EQ(PlayerTable[k - 1].square, before[k - 1].square);
        }
      }
    }
    EXPECT_GE(partners.size(), 3u);
    EXPECT_EQ(SwapState, 0);
  });
}

}  // namespace
