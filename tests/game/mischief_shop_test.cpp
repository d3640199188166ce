// The mischief shop: who can be targeted, the CPU player's choice and its
// thresholds, what each mischief moves (never more coins than held, items
// between slots of their own kind; at the bound of coins and stars the
// target loses only what the buyer gains), every CPU path within its
// budget, and a human's visits.
#include "game/board/mischief_shop.h"

#include <gtest/gtest.h>

#include <set>

#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"

namespace {

using namespace shop_fixture;

void Items(int32_t p, int32_t a, int32_t b, int32_t c) {
  PlayerTable[p - 1].items[0] = a;
  PlayerTable[p - 1].items[1] = b;
  PlayerTable[p - 1].items[2] = c;
}

// Stars and coins of players 1 to 4.
void Wealth(std::initializer_list<int32_t> stars, std::initializer_list<int32_t> coins) {
  int p = 0;
  for (int32_t s : stars) PlayerTable[p++].stars = s;
  p = 0;
  for (int32_t c : coins) PlayerTable[p++].coins = c;
}

TEST(MischiefRules, WhoIsAFitTarget) {
  InOwnProcess([] {
    PokeParty(false, true, true, true);
    Wealth({0, 2, 0, 1}, {10, 10, 10, 10});
    Items(2, 5, 0, 0);
    Items(4, 0, 0, 23);
    for (int entry = 0; entry < 4; ++entry) EXPECT_FALSE(IsMischiefTargetFit(entry, 1, 1)) << "never the buyer";
    EXPECT_TRUE(IsMischiefTargetFit(kMischiefCoins, 1, 3));
    EXPECT_TRUE(IsMischiefTargetFit(kMischiefStar, 1, 2));
    EXPECT_FALSE(IsMischiefTargetFit(kMischiefStar, 1, 3)) << "no star";
    EXPECT_TRUE(IsMischiefTargetFit(kMischiefItem, 1, 2));
    EXPECT_FALSE(IsMischiefTargetFit(kMischiefItem, 1, 3)) << "no item";
    EXPECT_TRUE(IsMischiefTargetFit(kMischiefPresent, 1, 3));
    // With both usable slots full, only a slot-3 item can be stolen.
    Items(1, 1, 2, 0);
    EXPECT_FALSE(IsMischiefTargetFit(kMischiefItem, 1, 2));
    EXPECT_TRUE(IsMischiefTargetFit(kMischiefItem, 1, 4));
    // Item 26 protects from everything.
    Items(2, 5, 0, kMischiefGuard);
    for (int entry = 0; entry < 4; ++entry) EXPECT_FALSE(IsMischiefTargetFit(entry, 1, 2)) << entry;
    EXPECT_FALSE(IsMischiefTargetFit(kMischiefCoins, 1, 0));
    EXPECT_FALSE(IsMischiefTargetFit(kMischiefCoins, 1, 5));
  });
}

TEST(MischiefRules, TheCpuThresholds) {
  InOwnProcess([] {
    SeedRandom(7);
    PokeParty(true, true, true, true);
    int32_t entry = -1, target = 0;
    // More than 50 coins: a star from one of those with the most stars.
    Wealth({0, 3, 1, 3}, {51, 5, 80, 0});
    std::set<int32_t> targets;
    for (int i = 0; i < 30; ++i) {
      ASSERT_TRUE(ChooseCpuMischief(1, &entry, &target));
      EXPECT_EQ(entry, kMischiefStar);
      targets.insert(target);
    }
    EXPECT_EQ(targets, (std::set<int32_t>{2, 4}));
    // Exactly 50: coins, from the richest.
    Wealth({0, 3, 1, 3}, {50, 5, 80, 0});
    ASSERT_TRUE(ChooseCpuMischief(1, &entry, &target));
    EXPECT_EQ(entry, kMischiefCoins);
    EXPECT_EQ(target, 3);
    // Rich, but nobody else has a star: coins.
    Wealth({5, 0, 0, 0}, {90, 7, 7, 2});
    targets.clear();
    for (int i = 0; i < 30; ++i) {
      ASSERT_TRUE(ChooseCpuMischief(1, &entry, &target));
      EXPECT_EQ(entry, kMischiefCoins);
      targets.insert(target);
    }
    EXPECT_EQ(targets, (std::set<int32_t>{2, 3})) << "ties at the most coins";
    // 4 coins: coins, even from players who hold none.
    Wealth({0, 0, 0, 0}, {4, 0, 0, 0});
    ASSERT_TRUE(ChooseCpuMischief(1, &entry, &target));
    EXPECT_EQ(entry, kMischiefCoins);
    EXPECT_NE(target, 1);
    // 3 coins: nothing.
    Wealth({0, 9, 9, 9}, {3, 50, 50, 50});
    EXPECT_FALSE(ChooseCpuMischief(1, &entry, &target));
  });
}

TEST(MischiefRules, WhatEachMischiefMoves) {
  InOwnProcess([] {
    SeedRandom(11);
    PokeParty(false, true, true, true);
    // Coins: 3 to 6, but never more than the target holds.
    for (int32_t held : {0, 2, 20}) {
      Wealth({0, 0, 0, 0}, {0, held, 0, 0});
      int32_t taken = ApplyMischief(kMischiefCoins, 1, 2, 0);
      EXPECT_GE(taken, held < 3 ? held : 3);
      EXPECT_LE(taken, held < 6 ? held : 6);
      EXPECT_EQ(PlayerTable[0].coins, taken);
      EXPECT_EQ(PlayerTable[1].coins, held - taken);
      EXPECT_GE(PlayerTable[1].coins, 0);
    }
    // A star.
    Wealth({1, 2, 0, 0}, {0, 0, 0, 0});
    EXPECT_EQ(ApplyMischief(kMischiefStar, 1, 2, 0), 1);
    EXPECT_EQ(PlayerTable[0].stars, 2);
    EXPECT_EQ(PlayerTable[1].stars, 1);
    // An item from a usable slot: slot 2 moves up when slot 1 is taken.
    for (int round = 0; round < 12; ++round) {
      Items(1, 0, 0, 0);
      Items(2, 5, 6, 0);
      int32_t item = ApplyMischief(kMischiefItem, 1, 2, 0);
      ASSERT_TRUE(item == 5 || item == 6);
      EXPECT_EQ(PlayerTable[0].items[0], item);
      EXPECT_EQ(PlayerTable[1].items[0], item == 5 ? 6 : 5) << "what is left stands in slot 1";
      EXPECT_EQ(PlayerTable[1].items[1], 0);
    }
    // An impossible-request item keeps to the usable slots.
    Items(1, 7, 0, 24);
    Items(2, 33, 0, 0);
    EXPECT_EQ(ApplyMischief(kMischiefItem, 1, 2, 0), 33);
    EXPECT_EQ(PlayerTable[0].items[1], 33);
    EXPECT_EQ(PlayerTable[0].items[2], 24) << "the buyer's slot-3 item stays";
    // A full buyer takes only the target's slot 3.
    Items(1, 1, 2, 0);
    Items(2, 5, 6, 27);
    EXPECT_EQ(ApplyMischief(kMischiefItem, 1, 2, 0), 27);
    EXPECT_EQ(PlayerTable[0].items[2], 27);
    EXPECT_EQ(PlayerTable[1].items[2], 0);
    EXPECT_EQ(PlayerTable[1].items[0], 5);
    // Presents: a usable item to the first free usable slot, the giver's slot 2 moving up.
    Items(1, 31, 4, 22);
    Items(3, 7, 0, 21);
    EXPECT_EQ(ApplyMischief(kMischiefPresent, 1, 3, 0), 31);
    EXPECT_EQ(PlayerTable[2].items[1], 31);
    EXPECT_EQ(PlayerTable[2].items[2], 21) << "not over the target's slot 3";
    EXPECT_EQ(PlayerTable[0].items[0], 4);
    EXPECT_EQ(PlayerTable[0].items[1], 0);
    EXPECT_EQ(PlayerTable[0].items[2], 22) << "the giver's slot 3 stays";
    // A held item replaces the target's slot 3.
    EXPECT_EQ(ApplyMischief(kMischiefPresent, 1, 3, 2), 22);
    EXPECT_EQ(PlayerTable[2].items[2], 22);
    EXPECT_EQ(PlayerTable[0].items[2], 0);
  });
}

// At the bound of coins and stars the buyer gains nothing more, and the
// target loses only what the buyer gains.
TEST(MischiefRules, TheTargetLosesOnlyWhatTheBuyerGains) {
  InOwnProcess([] {
    SeedRandom(5);
    PokeParty(false, true, true, true);
    constexpr int32_t kMost = kMostCoinsOrStars;
    struct Case {
      int32_t entry;
      int32_t buyer, target;  // coins, or stars for the star
      int32_t least, most;    // the amount moved, whatever the draw of 3 to 6 coins
    } const cases[] = {
        {kMischiefCoins, kMost, 20, 0, 0}, {kMischiefCoins, kMost - 2, 20, 2, 2}, {kMischiefCoins, kMost - 2, 1, 1, 1},
        {kMischiefCoins, kMost - 6, 20, 3, 6}, {kMischiefStar, kMost, 2, 0, 0},    {kMischiefStar, kMost - 1, 2, 1, 1},
    };
    for (const Case& c : cases) {
      for (int draw = 0; draw < 8; ++draw) {
        SCOPED_TRACE(testing::Message() << "entry " << c.entry << ", buyer " << c.buyer << ", target " << c.target);
        bool coins = c.entry == kMischiefCoins;
        Wealth({coins ? 0 : c.buyer, 0, coins ? 0 : c.target, 0}, {coins ? c.buyer : 0, 0, coins ? c.target : 0, 0});
        int32_t taken = ApplyMischief(c.entry, 1, 3, 0);
        EXPECT_GE(taken, c.least);
        EXPECT_LE(taken, c.most);
        const PlayerRecord& buyer = PlayerTable[0];
        const PlayerRecord& target = PlayerTable[2];
        EXPECT_EQ(coins ? buyer.coins : buyer.stars, c.buyer + taken);
        EXPECT_EQ(coins ? target.coins : target.stars, c.target - taken);
        EXPECT_LE(coins ? buyer.coins : buyer.stars, kMost);
      }
    }
  });
}

TEST(MischiefShop, EveryCpuPathEndsWithinItsBudget) {
  REQUIRE_MEDIA();
  RunGame({.seed = 22, .stallFrames = 150}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    struct Case {
      const char* what;
      int32_t coins;
      int32_t guards;  // bit k: player k + 1 holds item 26
      bool paid;
      int32_t fee;
    };
    const Case cases[] = {
        {"3 coins: leaves", 3, 0, false, 0},
        {"coins from the richest", 10, 0, true, 3},
        {"a star", 60, 0, true, 50},
        {"exactly 50: coins", 50, 0, true, 3},
        {"the richest is protected: another target", 10, 1 << 2, true, 3},
        {"the star holders are protected: leaves without paying", 60, (1 << 1) | (1 << 3), false, 0},
        {"everyone is protected: leaves without paying", 10, (1 << 1) | (1 << 2) | (1 << 3), false, 0},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      PokeParty(true, true, true, true);
      Wealth({0, 2, 0, 2}, {5, 5, 30, 5});
      PlayerTable[0].coins = c.coins;
      for (int p = 1; p <= 4; ++p) Items(p, 0, 0, (c.guards >> (p - 1)) & 1 ? kMischiefGuard : 0);
      PlayerRecord before[4];
      memcpy(before, PlayerTable, sizeof before);
      int frames = RunToEnd(
          h, [] { return RunCpuMischiefShop(1); }, 2500);
      ASSERT_GT(frames, 0);
      int32_t total = 0, totalBefore = 0, stars = 0, starsBefore = 0;
      for (int p = 0; p < 4; ++p) {
        total += PlayerTable[p].coins;
        totalBefore += before[p].coins;
        stars += PlayerTable[p].stars;
        starsBefore += before[p].stars;
        EXPECT_GE(PlayerTable[p].coins, 0);
      }
      EXPECT_EQ(stars, starsBefore);
      if (!c.paid) {
        EXPECT_EQ(memcmp(before, PlayerTable, sizeof before), 0) << "nothing changed";
        continue;
      }
      EXPECT_EQ(total, totalBefore - c.fee) << "the fee is the only coins that leave";
      EXPECT_EQ(stars, starsBefore);
      for (int p = 2; p <= 4; ++p) {
        if ((c.guards >> (p - 1)) & 1) {
          const PlayerRecord& r = PlayerTable[p - 1];
          EXPECT_EQ(r.coins, before[p - 1].coins) << "protected " << p;
          EXPECT_EQ(r.stars, before[p - 1].stars) << "protected " << p;
          EXPECT_EQ(memcmp(r.items, before[p - 1].items, sizeof r.items), 0) << "protected " << p;
        }
      }
      if (c.fee == 50) {
        EXPECT_EQ(PlayerTable[0].stars, 1);
      } else {
        EXPECT_GT(PlayerTable[0].coins, before[0].coins - c.fee) << "some coins taken";
      }
    }
    EXPECT_EQ(CpuMischiefShopState, 0);
  });
}

// What a human at the shop does, state by state: the entry and the target
// (by cursor, or C for a random one), the item given, and whether to walk
// away from a refused target.
struct HumanPlan {
  int32_t entry = 0;
  int32_t targetCursor = 0;
  bool random = false;
  int32_t itemCursor = 0;
  bool leaveWhenRefused = false;
};
HumanPlan plan;
bool refusedOnce = false;

int HumanButton() {
  switch (MischiefShopState) {
    case kMischiefIdle:
    case kMischiefOpen:
    case kMischiefAway:
    case kMischiefClose:
      return -1;
    case kMischiefMenu:
      if (refusedOnce && plan.leaveWhenRefused) return kButtonB;
      return MischiefMenuCursor != plan.entry ? kButtonDown : kButtonA;
    case kMischiefTarget:
      if (refusedOnce && plan.leaveWhenRefused) return kButtonB;
      if (plan.random) return kButtonC;
      return MischiefTargetCursor != plan.targetCursor ? kButtonDown : kButtonA;
    case kMischiefPresentItem:
      if (refusedOnce && plan.leaveWhenRefused) return kButtonB;
      return MischiefItemCursor != plan.itemCursor ? kButtonDown : kButtonA;
    case kMischiefTargetRefused:
    case kMischiefPresentRefused:
    case kMischiefMenuRefused:
    case kMischiefShortOfCoins:
      refusedOnce = true;
      return kButtonA;
    default:
      return kButtonA;
  }
}

TEST(MischiefShop, AHumanVisits) {
  REQUIRE_MEDIA();
  RunGame({.seed = 23}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    Autopilot(h, 1, [] { return HumanButton(); });
    auto visit = [&h](HumanPlan p) {
      plan = p;
      refusedOnce = false;
      return RunToEnd(
          h, [] { return RunMischiefShop(1); }, 3000);
    };
    // Coins from player 3, the second in the target list.
    PokeParty(false, true, true, true);
    Wealth({0, 0, 0, 0}, {10, 10, 4, 10});
    ASSERT_GT(visit({.entry = kMischiefCoins, .targetCursor = 1}), 0);
    EXPECT_LE(PlayerTable[2].coins, 1) << "4 coins held: 3 or 4 taken";
    EXPECT_GE(PlayerTable[0].coins, 10 - 3 + 3);
    EXPECT_EQ(PlayerTable[0].coins + PlayerTable[2].coins, 10 - 3 + 4);
    // A random star target is never the buyer, who holds the most stars.
    for (int round = 0; round < 4; ++round) {
      Wealth({5, 1, 0, 0}, {60, 10, 10, 10});
      ASSERT_GT(visit({.entry = kMischiefStar, .random = true}), 0);
      EXPECT_EQ(PlayerTable[0].stars, 6);
      EXPECT_EQ(PlayerTable[1].stars, 0);
      EXPECT_EQ(PlayerTable[0].coins, 10);
    }
    // A present of an impossible-request item to player 4.
    Items(1, 31, 0, 24);
    Items(4, 0, 0, 23);
    Wealth({0, 0, 0, 0}, {5, 0, 0, 0});
    ASSERT_GT(visit({.entry = kMischiefPresent, .targetCursor = 2}), 0);
    EXPECT_EQ(PlayerTable[3].items[0], 31);
    EXPECT_EQ(PlayerTable[3].items[2], 23);
    EXPECT_EQ(PlayerTable[0].items[0], 0);
    EXPECT_EQ(PlayerTable[0].items[2], 24);
    EXPECT_EQ(PlayerTable[0].coins, 0);
    // A protected target is refused; the buyer walks away without paying.
    Items(2, 0, 0, kMischiefGuard);
    Wealth({0, 0, 0, 0}, {10, 10, 10, 10});
    ASSERT_GT(visit({.entry = kMischiefCoins, .targetCursor = 0, .leaveWhenRefused = true}), 0);
    EXPECT_TRUE(refusedOnce);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(PlayerTable[p].coins, 10);
    // Too few coins for a star: told so, and back to the menu.
    Items(2, 0, 0, 0);
    Wealth({0, 1, 0, 0}, {49, 10, 10, 10});
    ASSERT_GT(visit({.entry = kMischiefStar, .targetCursor = 0, .leaveWhenRefused = true}), 0);
    EXPECT_EQ(PlayerTable[0].coins, 49);
    EXPECT_EQ(PlayerTable[1].stars, 1);
  });
}

}  // namespace
