// The slot, the item menu, the shops and the tally as a player sees them,
// on the generated media: a few pixels that show each screen is drawn, and
// with ZR_SHOP_SCREENS=<folder> the pictures saved there to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game/board/board_view.h"
#include "game/board/coin_tally.h"
#include "game/board/dice_movement.h"
#include "game/board/items.h"
#include "game/board/magic_square_slot.h"
#include "game/board/mischief_shop.h"
#include "game/board/shops.h"
#include "game/board/turn_machine.h"
#include "game/minigames/participants.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"

namespace {

using namespace shop_fixture;

// Saves the screen as <folder>/<name>.bmp when ZR_SHOP_SCREENS names a folder.
void Shot(GameHarness& h, const std::string& name) {
  const char* folder = getenv("ZR_SHOP_SCREENS");
  if (folder != nullptr && *folder != '\0') h.SaveScreen(std::string(folder) + "/" + name + ".bmp");
}

// Runs frames until the condition holds, then one more frame so the
// screen shows that state, and saves it.
void ShotWhen(GameHarness& h, const std::string& name, const std::function<bool()>& condition, int budget = 600) {
  ASSERT_TRUE(h.RunUntil(condition, budget)) << name;
  ASSERT_TRUE(h.Frames(3));
  Shot(h, name);
}

// The board and the four panels of the turn, and the step over them.
int OverBoard(const std::function<int()>& step) {
  CenterCameraOnPlayer(1);
  DrawBoard(1);
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
  return step();
}

// The text of that id has been typed to its end.
bool TextShown(int32_t id) { return MessageTextId == id && MessageTextEnded == 1; }

bool Bright(uint32_t rgb) { return ((rgb >> 16) & 255) > 200 && ((rgb >> 8) & 255) > 200 && (rgb & 255) > 200; }

// Any white text pixel in the rectangle.
bool HasWhite(GameHarness& h, int x1, int y1, int x2, int y2) {
  for (int y = y1; y < y2; ++y)
    for (int x = x1; x < x2; ++x)
      if (Bright(h.Pixel(x, y))) return true;
  return false;
}

TEST(ShopScreens, WhatThePlayerSees) {
  REQUIRE_MEDIA();
  RunGame({.seed = 77}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    LoadBoardSquares(1);
    for (int p = 0; p < 4; ++p) {
      PlayerTable[p].coins = 40 + 7 * p;
      PlayerTable[p].stars = p;
    }
    PlayerTable[0].items[0] = 14;
    PlayerTable[0].items[2] = 28;

    // The slot: the spin and the result with its caption.
    Install([] { return RunMagicSquareSlot(); });
    ShotWhen(h, "slot_intro", [] { return SlotState == 3 && SlotIntroCounters[3] > 10; });
    ShotWhen(h, "slot_spin", [] { return SlotState == 6 && SlotCardFrame == 2; });
    ShotWhen(h, "slot_reveal", [] { return SlotState == 7 && SlotCircleAlpha < 150; });
    ShotWhen(h, "slot_result", [] { return SlotState == 8; });
    EXPECT_TRUE(HasWhite(h, 100, 292, 540, 318)) << "the caption";
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 200));

    // The item menu over player 1's panel, the two dice.
    PlayerTable[0].items[1] = 3;
    PlayerTable[0].placement = 4;
    Install([] { return OverBoard([] { return RunItemMenu(1); }); });
    ShotWhen(h, "item_menu", [] { return ItemMenuState == 3; });
    h.Tap(1, kButtonRight);
    ASSERT_TRUE(h.Frames(3));
    Shot(h, "item_menu_right");
    EXPECT_EQ(ItemMenuCursor, 1);
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == -1; }, 10));
    PlayerTable[0].items[1] = 0;
    Install([] { return OverBoard([] { return RollTwoDice(1); }); });
    for (int32_t die = 1; die <= 2; ++die) {  // a human stops each die with A
      ASSERT_TRUE(h.RunUntil([] { return DieState == 2; }, 10));
      ASSERT_TRUE(h.Frames(1));  // A seen released by the rolling die
      h.Tap(1, kButtonA);
      ASSERT_TRUE(h.RunUntil([die] { return MultiDiceRolled == die; }, 10));
    }
    ShotWhen(
        h, "dice_merge", [] { return MultiDiceState == 2 && MultiDiceAlpha < 130; }, 300);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 100));

    // The star sale of map 1, with its question.
    Install([] { return RunStarSale(1, 1); });
    ShotWhen(h, "star_sale_greeting", [] { return StarSaleState == 7 && TextShown(StarSaleTextId); });
    h.Tap(1, kButtonA);
    ShotWhen(h, "star_sale_question", [] { return StarSaleState == 9 && TextShown(StarSaleTextId); });
    EXPECT_TRUE(HasWhite(h, 320, 220, 420, 290)) << "the choice";
    h.Tap(1, kButtonA);
    ShotWhen(h, "star_sale_thanks", [] { return StarSaleState == 11 && TextShown(StarSaleTextId); });
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 400));

    // The item shop: the menu and the confirmation with the coupon price.
    Install([] { return RunItemShop(1); });
    ShotWhen(h, "item_shop_greeting", [] { return ItemShopState == 5 && TextShown(ItemShopTextId); });
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "item_shop_coupon", [] { return ItemShopState == 6 && TextShown(ItemShopTextId); }, 100);
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "item_shop_menu", [] { return ItemShopState == 7; }, 100);
    h.Tap(1, kButtonRight);
    ASSERT_TRUE(h.Frames(20));
    Shot(h, "item_shop_menu_right");
    EXPECT_TRUE(HasWhite(h, 136, 334, 500, 360)) << "the description";
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "item_shop_confirm", [] { return ItemShopState == 10; }, 100);
    h.Tap(1, kButtonDown);
    ASSERT_TRUE(h.Frames(3));
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return ItemShopState == 7; }, 20));
    ASSERT_TRUE(h.Frames(2));
    h.Tap(1, kButtonB);
    ShotWhen(
        h, "item_shop_bye", [] { return ItemShopState == 13 && TextShown(ItemShopTextId); }, 100);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 400));

    // The mischief shop: the menu, the targets, the fee, the result.
    Install([] { return RunMischiefShop(1); });
    ShotWhen(h, "mischief_menu", [] { return MischiefShopState == kMischiefMenu && TextShown(MischiefTextId); });
    h.Tap(1, kButtonA);
    ShotWhen(h, "mischief_target", [] { return MischiefShopState == kMischiefTarget && TextShown(MischiefTextId); });
    h.Tap(1, kButtonDown);
    ASSERT_TRUE(h.Frames(3));
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "mischief_fee", [] { return MischiefShopState == kMischiefFee; }, 60);
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "mischief_result", [] { return MischiefShopState == kMischiefResult; }, 200);
    EXPECT_TRUE(HasWhite(h, 358, 150, 560, 182)) << "the result line";
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 100));

    // The tally: the awards, then the standings.
    memset(ParticipantTable, 0, sizeof ParticipantTable);
    ParticipantTable[2].award = 10;
    ParticipantTable[2].won = 1;
    ParticipantTable[4].award = 10;
    ParticipantTable[4].won = 1;
    Install([] { return RunCoinTally(); });
    ShotWhen(
        h, "tally_awards", [] { return TallyState == 3; }, 60);
    ASSERT_TRUE(h.Frames(20));
    Shot(h, "tally_awards_shown");
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return TallyState == 5; }, 100));
    h.Tap(1, kButtonA);
    ShotWhen(
        h, "tally_standings", [] { return TallyState == 6 && TallySlide[0] == 0; }, 200);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return LastResult == 1; }, 100));
  });
}

}  // namespace
