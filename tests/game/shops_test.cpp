// The star sale, the star shops of the item, the moving star shop and the
// item shop: prices and coupons, the stock draws, a human's purchases, and
// every CPU path through each shop within its frame budget.
#include "game/board/shops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/magic_square_slot.h"
#include "game/shell/item_table.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"
#include "tests/support/test_support.h"

namespace {

using namespace shop_fixture;

// The prices of the generated item table (ids 1 to 39).
constexpr int32_t kPrices[40] = {0, 10, 20, 5,  25, 8,  15, 5,  0,  0, 0, 20, 10, 30, 10, 0,  0, 0, 0, 0,
                                 0, 10, 10, 15, 15, 10, 20, 20, 10, 0, 0, 15, 15, 15, 15, 15, 0, 0, 0, 0};

void SetPrices(const int32_t* prices) {
  for (int id = 0; id < kItemTableRows; ++id) ItemTable[id].price = prices[id];
}

void ResetPlayer(int32_t coins, int32_t slot3) {
  memset(PlayerTable, 0, sizeof PlayerTable);
  PlayerTable[0].coins = coins;
  PlayerTable[0].items[2] = slot3;
}

TEST(ShopPrices, StarPricesAndTheCpuRule) {
  InOwnProcess([] {
    struct Case {
      int32_t slot3, effect, price, cpuPrice;
    };
    for (Case c :
         {Case{0, 0, 20, 20}, Case{0, 4, 20, 20}, Case{27, 0, 15, 15}, Case{27, 4, 10, 15}, Case{28, 4, 20, 20}}) {
      ResetPlayer(0, c.slot3);
      RoundEffect = c.effect;
      EXPECT_EQ(GetStarPrice(1), c.price) << c.slot3 << " " << c.effect;
      EXPECT_EQ(GetCpuStarPrice(1), c.cpuPrice) << c.slot3 << " " << c.effect;
    }
    RoundEffect = 0;
  });
}

TEST(ShopPrices, TheItemShopCoupon) {
  InOwnProcess([] {
    SetPrices(kPrices);
    struct Case {
      int32_t item, slot3, effect, price;
    };
    for (Case c : {Case{2, 0, 0, 20}, Case{1, 28, 0, 8}, Case{1, 28, 4, 6}, Case{4, 28, 0, 22}, Case{4, 28, 4, 17},
                   Case{1, 27, 4, 10}, Case{9, 28, 0, 0}}) {
      ResetPlayer(0, c.slot3);
      RoundEffect = c.effect;
      EXPECT_EQ(GetItemShopPrice(1, c.item), c.price) << c.item << " " << c.slot3 << " " << c.effect;
    }
    RoundEffect = 0;
  });
}

TEST(ItemShopStock, NeverItemTenOrTwentyFiveAndNoRepeats) {
  InOwnProcess([] {
    SetPrices(kPrices);
    SeedRandom(41);
    memset(ItemShopStock, 0, sizeof ItemShopStock);
    std::set<int32_t> offered;
    for (int visit = 0; visit < 400; ++visit) {
      int32_t before[4];
      memcpy(before, ItemShopStock, sizeof before);
      DrawItemShopStock();
      for (int k = 0; k < 3; ++k) {
        int32_t v = ItemShopStock[k];
        offered.insert(v);
        EXPECT_TRUE(v >= 1 && v <= 19 && v != 10 && kPrices[v] != 0) << v;
        for (int j = k + 1; j < 3; ++j) EXPECT_NE(v, before[j]) << "not yet redrawn entries count too";
        for (int j = 0; j < k; ++j) EXPECT_NE(v, ItemShopStock[j]);
      }
      int32_t held = ItemShopStock[3];
      offered.insert(held);
      EXPECT_TRUE(held >= 21 && held <= 29 && held != 25 && kPrices[held] != 0) << held;
    }
    EXPECT_EQ(offered.size(), 11u + 7u) << "every item with a price is offered in time";
  });
}

// An item table whose prices lie below 0 (refused at load) gives the shop
// nothing that pays its buyer.
TEST(ItemShopStock, NoNegativePriceIsOffered) {
  InOwnProcess([] {
    std::string file = "number,price,name,description\n";
    for (int id = 1; id < kItemTableRows; ++id)
      file += std::to_string(id) + "," + std::to_string(id % 2 == 0 ? -(id * 3) : id) + ",n,d\n";
    std::filesystem::create_directories("media/data");
    WriteFileText("media/data/item.csv", file);
    LoadItemTable();
    std::filesystem::remove_all("media");
    SeedRandom(7);
    memset(ItemShopStock, 0, sizeof ItemShopStock);
    for (int visit = 0; visit < 200; ++visit) {
      DrawItemShopStock();
      for (int32_t item : ItemShopStock) {
        EXPECT_GE(ItemTable[item].price, 0) << item;
        EXPECT_TRUE(item == 0 || item % 2 == 1) << item;
        PlayerTable[0].items[2] = 0;
        EXPECT_GE(GetItemShopPrice(1, item), 0) << item;
      }
    }
    SetPrices(kPrices);
  });
}

TEST(ItemShopStock, AnEntryWithNothingLeftStaysEmpty) {
  InOwnProcess([] {
    // Only items 3 and 7 sold among 1 to 19, nothing among 21 to 29.
    int32_t prices[40] = {};
    prices[3] = 5;
    prices[7] = 5;
    SetPrices(prices);
    SeedRandom(3);
    const int32_t previous[4] = {3, 12, 7, 22};
    memcpy(ItemShopStock, previous, sizeof previous);
    uint64_t draws = RandomDrawCount;
    DrawItemShopStock();
    EXPECT_EQ(ItemShopStock[0], 0) << "3 and 7 both stand in the stock";
    EXPECT_TRUE(ItemShopStock[1] == 3 || ItemShopStock[1] == 7);
    EXPECT_EQ(ItemShopStock[2], 0) << "the other one stands in entry 1";
    EXPECT_EQ(ItemShopStock[3], 0);
    EXPECT_LT(RandomDrawCount - draws, 1000u);
    SetPrices(kPrices);
  });
}

TEST(MoveStarShop, OneStarShopOnABlueSquareOrNoChange) {
  InOwnProcess([] {
    SeedRandom(9);
    std::set<int> landed;
    for (int round = 0; round < 60; ++round) {
      memset(SquareTable, 0, sizeof SquareTable);
      for (int s = 1; s <= 30; ++s) SquareTable[s].kind = s % 3 == 0 ? kSquareBlue : kSquareRed;
      SquareTable[7].kind = kSquareStarShop;
      MoveStarShop();
      EXPECT_EQ(CountSquares(kSquareStarShop), 1);
      EXPECT_EQ(CountSquares(kSquareBlue), 10) << "the old shop became blue, a blue square the shop";
      for (int s = 1; s < kSquareCount; ++s) {
        if (SquareTable[s].kind == kSquareStarShop) landed.insert(s);
      }
    }
    EXPECT_TRUE(landed.count(7)) << "it can land back where it was";
    EXPECT_GE(landed.size(), 8u);
    // The only blue square is the old shop's: it stays there.
    memset(SquareTable, 0, sizeof SquareTable);
    SquareTable[40].kind = kSquareStarShop;
    SquareTable[41].kind = kSquareRed;
    MoveStarShop();
    EXPECT_EQ(SquareTable[40].kind, kSquareStarShop);
    // No shop and no blue square: nothing to move, nothing drawn.
    memset(SquareTable, 0, sizeof SquareTable);
    SquareTable[5].kind = kSquareRed;
    uint64_t draws = RandomDrawCount;
    MoveStarShop();
    EXPECT_EQ(RandomDrawCount, draws);
    EXPECT_EQ(CountSquares(kSquareStarShop), 0);
    EXPECT_EQ(SquareTable[5].kind, kSquareRed);
  });
}

// A game on map 1 (its star shop and blue squares) with a human player 1
// and CPU players 2 to 4.
void StartShopGame(GameHarness& h) {
  ASSERT_EQ(h.StartUpWithoutMedia(), 0);
  ASSERT_TRUE(h.Frame());
  PokeParty(false, true, true, true);
  LoadBoardSquares(1);
  ASSERT_EQ(CountSquares(kSquareStarShop), 1);
}

TEST(StarSale, AHumanBuysWithTheCoinsAndCouponsOfTheTable) {
  REQUIRE_MEDIA();
  RunGame({.seed = 14}, [](GameHarness& h) {
    StartShopGame(h);
    // A on every other frame: each page and the first choice, "買う".
    h.PressWhile([] { return StarSaleState != 0 || StarShopState != 0; }, 1, kButtonA);
    struct Case {
      int32_t coins, slot3, effect;
      bool buys;
      int32_t left;
    };
    const Case cases[] = {{20, 0, 0, true, 0},    {19, 0, 0, false, 19}, {15, 27, 0, true, 0},
                          {14, 27, 0, false, 14}, {10, 27, 4, true, 0},  {12, 0, 4, false, 12}};
    for (bool itemShop : {false, true}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.coins << " coins, slot 3 " << c.slot3 << ", effect " << c.effect
                                        << (itemShop ? ", the item's shop" : ", the square's sale"));
        PlayerTable[0].coins = c.coins;
        PlayerTable[0].stars = 2;
        PlayerTable[0].items[2] = c.slot3;
        RoundEffect = c.effect;
        int32_t shopBefore = 0;
        for (int s = 1; s < kSquareCount; ++s)
          if (SquareTable[s].kind == kSquareStarShop) shopBefore = s;
        int frames = RunToEnd(
            h, [itemShop] { return itemShop ? RunStarShop(1) : RunStarSale(1, 1); }, 800);
        EXPECT_GT(frames, 0);
        EXPECT_EQ(PlayerTable[0].stars, c.buys ? 3 : 2);
        EXPECT_EQ(PlayerTable[0].coins, c.left);
        EXPECT_EQ(CountSquares(kSquareStarShop), 1);
        if (!c.buys) {
          EXPECT_EQ(SquareTable[shopBefore].kind, kSquareStarShop) << "no sale: the shop stays";
        }
        EXPECT_EQ(StarSaleText, nullptr) << "the text is freed";
      }
    }
    RoundEffect = 0;
  });
}

TEST(StarSale, AHumanCanDecline) {
  REQUIRE_MEDIA();
  RunGame({.seed = 15}, [](GameHarness& h) {
    StartShopGame(h);
    PlayerTable[0].coins = 40;
    // "買わない": down once on the question, then A.
    Autopilot(h, 1, [] {
      if (StarSaleState == 0) return -1;
      if (StarSaleState == 9 && StarSaleCursor == 0) return static_cast<int>(kButtonDown);
      return static_cast<int>(kButtonA);
    });
    EXPECT_GT(RunToEnd(
                  h, [] { return RunStarSale(1, 1); }, 800),
              0);
    EXPECT_EQ(PlayerTable[0].coins, 40);
    EXPECT_EQ(PlayerTable[0].stars, 0);
  });
}

TEST(StarSale, EveryCpuPathEndsWithinItsBudget) {
  REQUIRE_MEDIA();
  RunGame({.seed = 16, .stallFrames = 120}, [](GameHarness& h) {
    StartShopGame(h);
    struct Case {
      int32_t coins, slot3, effect;
      bool buys;
    };
    // Too few coins, declining (the coupon at 14 coins under effect 4: the
    // price is 10, but the CPU reckons with 15), buying (10 coins under
    // effect 4 with the coupon); the house's sale also at the plain prices.
    const Case everyShop[] = {{5, 0, 0, false}, {14, 27, 4, false}, {15, 27, 4, true}};
    const Case houseOnly[] = {{19, 0, 0, false}, {20, 0, 0, true}, {15, 27, 0, true}};
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<Case> cases(everyShop, everyShop + 3);
      if (kind == 0) cases.insert(cases.end(), houseOnly, houseOnly + 3);
      for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "shop " << kind << ": " << c.coins << " coins, slot 3 " << c.slot3
                                        << ", effect " << c.effect);
        PlayerRecord& cpu = PlayerTable[2];
        cpu.coins = c.coins;
        cpu.stars = 0;
        cpu.items[2] = c.slot3;
        RoundEffect = c.effect;
        int frames = RunToEnd(
            h, [kind] { return kind == 0   ? RunStarSale(4, 3)
                               : kind == 1 ? RunCpuStarShop(3)
                                           : RunStarSale(1, 3); },
            700);
        ASSERT_GT(frames, 0);
        EXPECT_EQ(cpu.stars, c.buys ? 1 : 0);
        EXPECT_EQ(cpu.coins, c.buys ? c.coins - GetStarPrice(3) : c.coins);
        EXPECT_EQ(CountSquares(kSquareStarShop), 1);
      }
    }
    RoundEffect = 0;
  });
}

TEST(ItemShop, EveryCpuPathEndsWithinItsBudget) {
  REQUIRE_MEDIA();
  // The longest step: the menu, where the CPU player takes 46 frames for
  // each of its three moves.
  RunGame({.seed = 18, .stallFrames = 150}, [](GameHarness& h) {
    StartShopGame(h);
    int bought = 0, left = 0;
    for (int visit = 0; visit < 12; ++visit) {
      PlayerRecord& cpu = PlayerTable[3];
      // Rich or poor, with room or with both usable slots full, with or without the coupon.
      cpu.coins = visit % 3 == 0 ? 2 : 60;
      cpu.items[0] = visit % 4 >= 2 ? 1 : 0;
      cpu.items[1] = visit % 4 >= 2 ? 2 : 0;
      cpu.items[2] = visit % 5 == 0 ? kItemShopCoupon : 0;
      PlayerRecord before = cpu;
      int32_t target = -2, item = 0, price = 0;
      int frames = RunToEnd(
          h,
          [&] {
            int r = RunItemShop(4);
            if (target == -2 && ItemShopState >= 4) {
              target = ItemShopTarget;
              item = target >= 0 ? ItemShopStock[target] : 0;
              price = GetItemShopPrice(4, item);
            }
            return r;
          },
          800);
      ASSERT_GT(frames, 0) << visit;
      if (target < 0) {
        ++left;
        EXPECT_EQ(cpu.coins, before.coins) << visit;
        EXPECT_EQ(memcmp(cpu.items, before.items, sizeof cpu.items), 0) << visit;
      } else {
        ++bought;
        EXPECT_EQ(cpu.coins, before.coins - price) << visit;
        if (item >= 21) {
          EXPECT_EQ(cpu.items[2], item);
        } else {
          EXPECT_EQ(before.items[1], 0) << "a usable item only with room for it";
          EXPECT_TRUE(cpu.items[0] == item || cpu.items[1] == item);
        }
      }
    }
    EXPECT_GT(bought, 0);
    EXPECT_GT(left, 0);
    EXPECT_EQ(ItemShopState, 2);
  });
}

TEST(ItemShop, AHumanBuysAtTheCouponPriceAndIsRefusedWhenFull) {
  REQUIRE_MEDIA();
  RunGame({.seed = 19}, [](GameHarness& h) {
    StartShopGame(h);
    // Buy the entry under the cursor at once: A on the menu, A on "はい".
    static bool leave = false;  // B on the menu
    Autopilot(h, 1, [] {
      if (ItemShopState == 2) return -1;
      return static_cast<int>(leave && ItemShopState == 7 ? kButtonB : kButtonA);
    });
    for (int effect : {0, 4}) {
      PlayerTable[0].coins = 50;
      PlayerTable[0].items[0] = 0;
      PlayerTable[0].items[1] = 0;
      PlayerTable[0].items[2] = kItemShopCoupon;
      RoundEffect = effect;
      int32_t item = 0, charged = -1;
      RunToEnd(
          h,
          [&] {
            int r = RunItemShop(1);
            if (ItemShopState == 10) {
              item = ItemShopStock[ItemShopCursor];
              charged = GetItemShopPrice(1, item);
            }
            return r;
          },
          600);
      ASSERT_GT(item, 0);
      EXPECT_EQ(charged, static_cast<int32_t>(ItemTable[item].price * (effect == 4 ? 0.69 : 0.89)));
      EXPECT_EQ(PlayerTable[0].coins, 50 - charged);
      EXPECT_EQ(PlayerTable[0].items[0], item);
      EXPECT_EQ(PlayerTable[0].items[2], kItemShopCoupon) << "the coupon is not used up";
    }
    RoundEffect = 0;
    // Both usable slots full: entry 0 (a usable item) is refused, B leaves.
    PlayerTable[0].coins = 50;
    PlayerTable[0].items[0] = 1;
    PlayerTable[0].items[1] = 2;
    bool refused = false;
    RunToEnd(
        h,
        [&] {
          refused = refused || ItemShopState == 9;
          leave = refused;
          return RunItemShop(1);
        },
        600);
    EXPECT_TRUE(refused);
    EXPECT_EQ(PlayerTable[0].coins, 50);
    EXPECT_EQ(PlayerTable[0].items[0], 1);
    EXPECT_EQ(PlayerTable[0].items[1], 2);
  });
}

}  // namespace
