// The landing effects: the coin amounts of blue and red squares, the item
// square's reel, the event square of each map, the warp pairs, and map 4's
// rabbit duel and house; pictures that do not load.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/board/dice_movement.h"
#include "game/board/landing_effects.h"
#include "game/board/magic_square_slot.h"
#include "game/board/turn_machine.h"
#include "game/shell/input_mapping.h"
#include "game/shell/item_table.h"
#include "game/shell/shared_media.h"
#include "library/graphics/draw_api.h"
#include "tests/game/turns_fixture.h"

namespace {

using namespace turns_fixture;

TEST(SquareAmounts, HeldItemsAndRoundEffects) {
  struct Case {
    int32_t item, effect, blue, red;
  };
  const Case cases[] = {
      {0, 0, 3, -3},  {0, 2, 6, -6},  {0, 4, 3, -3},  {21, 0, 4, -2}, {21, 2, 8, -4},
      {21, 4, 5, -1}, {22, 0, 2, -4}, {22, 2, 4, -8}, {22, 4, 1, -5}, {26, 0, 3, 0},
      {26, 2, 6, 0},  {26, 4, 3, 0},  {24, 2, 6, -6}, {21, 3, 4, -2}, {21, 5, 4, -2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SquareCoinAmount(true, c.item, c.effect), c.blue) << c.item << " under " << c.effect;
    EXPECT_EQ(SquareCoinAmount(false, c.item, c.effect), c.red) << c.item << " under " << c.effect;
  }
}

// Starts a game on the board map with four players, player 1 as given.
void StartBoard(GameHarness& h, int32_t map, bool humanFirst) {
  ASSERT_EQ(h.StartUpWithoutMedia(), 0);
  ASSERT_TRUE(h.Frame());  // boot: the tables
  LoadMap(map);
  SetPlayers({!humanFirst, true, true, true});
  for (int p = 1; p <= 4; ++p) Place(p, 1, 0);
  CurrentPlayer = 1;
}

TEST(LandingEffects, BlueRedAndChanceSquares) {
  REQUIRE_MEDIA();
  RunGame({.seed = 1}, [](GameHarness& h) {
    StartBoard(h, 1, false);
    PlayerRecord& p1 = PlayerTable[0];
    p1.items[2] = 21;
    RoundEffect = kRoundEffectDoubleSquares;
    ASSERT_EQ(RunStep(h, [] { return RunLandingEffect(kSquareBlue); }, 200), 1);
    EXPECT_EQ(p1.coins, 8);
    EXPECT_EQ(p1.squareColour, 1);
    RoundEffect = kRoundEffectItemsUp;
    p1.items[2] = 22;
    ASSERT_EQ(RunStep(h, [] { return RunLandingEffect(kSquareBlue); }, 200), 1);
    EXPECT_EQ(p1.coins, 9);
    // The red square cancelled by item 26: "0" stands for 60 frames.
    p1.items[2] = 26;
    int counting = 0;
    ASSERT_EQ(RunStep(
                  h,
                  [&] {
                    counting += RedSquare.state == 3;
                    return RunRedSquare(1);
                  },
                  200),
              1);
    EXPECT_EQ(counting, 60);
    EXPECT_EQ(p1.coins, 9);
    EXPECT_EQ(p1.squareColour, 2);
    // A red square takes at most the coins held.
    p1.items[2] = 22;
    p1.coins = 2;
    ASSERT_EQ(RunStep(h, [] { return RunRedSquare(1); }, 200), 1);
    EXPECT_EQ(RedSquare.amount, -2) << "the amount shown is the amount taken";
    EXPECT_EQ(p1.coins, 0);
    // The chance square and kinds without a handler only set the colour.
    for (int32_t kind : {int32_t{kSquareChance}, 0, 9, int32_t{kSquareStarShop}}) {
      p1.squareColour = 0;
      int frames = 0;
      ASSERT_EQ(RunStep(h, [kind] { return RunLandingEffect(kind); }, 10, &frames), 1) << kind;
      EXPECT_EQ(frames, 3) << kind;
      EXPECT_EQ(p1.squareColour, 3) << kind;
    }
  });
}

bool UsableOnReel(int32_t item) { return item >= 1 && item <= 19 && item != 10 && ItemTable[item].price != 0; }

TEST(ItemSquare, TheInputLockTheSelfStopAndTheAward) {
  REQUIRE_MEDIA();
  RunGame({.seed = 12}, [](GameHarness& h) {
    StartBoard(h, 1, true);
    PlayerRecord& p1 = PlayerTable[0];
    int spinCalls = 0, stoppedAt = 0;
    RunInScene([&] {
      bool spinning = ItemSquare.state == 2 && ItemSquare.stopped == 0;
      RunItemSquare(1);
      if (spinning) {
        ++spinCalls;
        if (ItemSquare.stopped != 0 && stoppedAt == 0) stoppedAt = spinCalls;
      }
      return 0;
    });
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 2; }, 40));
    EXPECT_EQ(p1.squareColour, 3);
    for (int k = 0; k < 4; ++k) {
      EXPECT_TRUE(UsableOnReel(ItemSquare.reel[k])) << ItemSquare.reel[k];
      for (int j = 0; j < k; ++j) EXPECT_NE(ItemSquare.reel[k], ItemSquare.reel[j]);
    }
    EXPECT_GE(ItemSquare.reel[4], 21);
    EXPECT_LE(ItemSquare.reel[4], 28);
    // A held A over the end of the lock is no new press: the reel spins on
    // until the human's 300 frames run out.
    h.HoldButton(1, kButtonA, 30);
    ASSERT_TRUE(h.RunUntil([&] { return stoppedAt != 0; }, 400));
    EXPECT_EQ(stoppedAt, 20 + 300);
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 4; }, 400));
    int32_t won = ItemSquare.reel[ItemSquare.index];
    if (won < 21) {
      EXPECT_EQ(p1.items[0], won);
    } else {
      EXPECT_EQ(p1.items[2], won);
    }
    ASSERT_TRUE(h.Frames(60));
    EXPECT_EQ(ItemSquare.state, 4) << "a human's page waits for A";
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 0; }, 60));

    // A new press after the lock stops the reel at once.
    p1.items[0] = 1;
    p1.items[1] = 2;
    stoppedAt = spinCalls = 0;
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 2 && ItemSquare.inputLock == 0; }, 80));
    EXPECT_EQ(spinCalls, 20);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(stoppedAt, 21);
    // The award: both usable slots full keep their items; a held item
    // always replaces slot 3.
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 3; }, 400));
    ItemSquare.index = 0;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(p1.items[0], 1);
    EXPECT_EQ(p1.items[1], 2);
    ASSERT_TRUE(h.Frame());  // the page wait sees the press that stopped the reel released
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 0; }, 60));
    p1.cpuFlag = 1;
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 3; }, 2000)) << "a CPU's reel stops by chance";
    ItemSquare.index = 4;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(p1.items[2], ItemSquare.reel[4]);
    ASSERT_TRUE(h.RunUntil([] { return ItemSquare.state == 0; }, 100)) << "a CPU's page ends by itself";
  });
}

// The ten warps of map 2 are paired with each other, and WarpPairs lists the pairs.
void ExpectWarpsPaired(int pairs) {
  std::vector<int32_t> listed(WarpPairs, WarpPairs + 10);
  for (int i = 0; i < 10; i += 2) {
    if (i / 2 >= pairs) {
      EXPECT_EQ(listed[i], 0);
      EXPECT_EQ(listed[i + 1], 0);
      continue;
    }
    int32_t a = listed[i], b = listed[i + 1];
    ASSERT_EQ(SquareTable[a].kind, kSquareWarp);
    ASSERT_EQ(SquareTable[b].kind, kSquareWarp);
    EXPECT_NE(a, b);
    EXPECT_EQ(SquareTable[a].link[3], b);
    EXPECT_EQ(SquareTable[b].link[3], a);
  }
}

TEST(WarpPairs, ReshufflingStartsThePairTableAfresh) {
  REQUIRE_MEDIA();
  RunGame({.seed = 21}, [](GameHarness& h) {
    StartBoard(h, 2, false);
    for (int32_t& w : WarpPairs) w = 99;
    ReshuffleWarpPairs();
    ExpectWarpsPaired(5);
    std::vector<int32_t> first(WarpPairs, WarpPairs + 10);
    ReshuffleWarpPairs();
    ExpectWarpsPaired(5);
    // Nine warps: four pairs and one left alone, without waiting for a partner.
    SquareTable[68].kind = kSquareBlue;
    SquareTable[68].link[3] = 0;
    ReshuffleWarpPairs();
    ExpectWarpsPaired(4);
    int alone = 0;
    for (int s = 1; s < 100; ++s) alone += SquareTable[s].kind == kSquareWarp && SquareTable[s].link[3] == 0;
    EXPECT_EQ(alone, 1);
    // No warps at all.
    LoadMap(1);
    ReshuffleWarpPairs();
    ExpectWarpsPaired(0);
  });
}

TEST(EventSquare, EachMapsEvent) {
  REQUIRE_MEDIA();
  RunGame({.seed = 14}, [](GameHarness& h) {
    StartBoard(h, 1, false);
    int first = 0, later = 0;
    ASSERT_EQ(RunStep(h, [] { return RunLandingEffect(kSquareEvent); }, 400, &first), 1);
    ASSERT_EQ(RunStep(h, [] { return RunLandingEffect(kSquareEvent); }, 400, &later), 1);
    EXPECT_EQ(first - later, 2) << "three idle frames on the first run, one later";
    EXPECT_EQ(PlayerTable[0].squareColour, 3);
    EXPECT_EQ(NothingHappensState, 2);
    // A map without an event of its own: nothing happens.
    CurrentMapId = 6;
    NothingHappensState = 0;
    ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 400), 1);
    EXPECT_EQ(NothingHappensState, 2);

    // Map 2: the warps are paired anew.
    LoadMap(2);
    ReshuffleWarpPairs();
    std::vector<SquareRecord> before(SquareTable, SquareTable + 100);
    ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 400), 1);
    ExpectWarpsPaired(5);
    bool changed = false;
    for (int s = 59; s <= 68; ++s) changed |= SquareTable[s].link[3] != before[s].link[3];
    EXPECT_TRUE(changed);

    // Map 4: the kinds of squares 1 to 25 are dealt anew, the player's own kept.
    LoadMap(4);
    Place(1, 7, 0);
    std::vector<SquareRecord> grid(SquareTable, SquareTable + 26);
    ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 400), 1);
    int moved = 0;
    for (int s = 1; s <= 25; ++s) moved += SquareTable[s].kind != grid[s].kind;
    EXPECT_GT(moved, 0);
    EXPECT_EQ(SquareTable[7].kind, grid[7].kind);

    // Map 3: the passages close for two rounds; landing again while they
    // are closed only resets the count.
    LoadMap(3);
    PassageClosedRounds = 0;
    ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 1000), 1);
    EXPECT_EQ(PassageClosedRounds, 2);
    for (int32_t link : SquareTable[6].link) EXPECT_NE(link, 9);
    for (int32_t link : SquareTable[47].link) EXPECT_NE(link, 53);
    EXPECT_EQ(SquareTable[6].link[0], 7) << "the other way stays";
    EXPECT_EQ(SquareTable[47].link[0], 48);
    SquareTable[6].link[1] = 9;  // as if reopened, while the count says closed
    PassageClosedRounds = 1;
    ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 1000), 1);
    EXPECT_EQ(PassageClosedRounds, 2);
    EXPECT_EQ(SquareTable[6].link[1], 9);
    EXPECT_EQ(PassageClosing.character, -1) << "its pictures are freed";
  });
}

// The one-line messages of the event square stay inside their windows (a
// text wider than the window given widens it). Over a grey screen the
// window is the darker band; no white text pixel may stand outside it.
TEST(EventSquare, MessagesStayInsideTheirWindows) {
  REQUIRE_MEDIA();
  RunGame({.seed = 16}, [](GameHarness& h) {
    StartBoard(h, 1, true);
    struct Case {
      int32_t map;
      int32_t* state;
    };
    for (const Case& c : {Case{1, &NothingHappensState}, Case{2, &StoneColourEventState}, Case{4, &LostEventState}}) {
      LoadMap(c.map);
      Place(1, 1, 0);
      RunInScene([] {
        DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(128, 128, 128), 1);
        RunEventSquare(1, kSquareEvent);
        return 0;
      });
      ASSERT_TRUE(h.RunUntil([&] { return *c.state == 5; }, 200)) << c.map;
      ASSERT_TRUE(h.Frames(3));
      // The window's sides on a row above the text.
      int darkLeft = 640, darkRight = -1;
      for (int x = 0; x < 640; ++x) {
        uint32_t blue = h.Pixel(x, 212) & 0xff;
        if (blue > 30 && blue < 90) {
          darkLeft = std::min(darkLeft, x);
          darkRight = std::max(darkRight, x);
        }
      }
      ASSERT_LT(darkLeft, darkRight) << "map " << c.map << ": the window is open";
      int white = 0;
      for (int y = 214; y < 246; ++y) {
        for (int x = 0; x < 640; ++x) {
          uint32_t pixel = h.Pixel(x, y);
          if ((pixel & 0xff) < 220 || (pixel >> 8 & 0xff) < 220 || (pixel >> 16 & 0xff) < 220) continue;
          ++white;
          EXPECT_TRUE(x > darkLeft + 6 && x < darkRight - 6) << "map " << c.map << ": text at " << x << "," << y;
        }
      }
      EXPECT_GT(white, 100) << "map " << c.map << ": the message is drawn";
      h.Tap(1, kButtonA);
      ASSERT_TRUE(h.RunUntil([&] { return *c.state == 2; }, 100)) << c.map;
      SceneStep() = nullptr;
    }
  });
}

int CountLog(const GameHarness& h, const std::string& part) {
  int count = 0;
  for (const std::string& line : h.LogLines()) count += line.find(part) != std::string::npos;
  return count;
}

TEST(EventPictures, EventsGoOnWithoutPicturesThatDoNotLoad) {
  REQUIRE_MEDIA();
  RunGame({.seed = 15,
           .hiddenMedia = {"sugoroku/cadris/トゥミナ.png", "sugoroku/brimwold/勝.png"}},
          [](GameHarness& h) {
            StartBoard(h, 3, false);
            PassageClosedRounds = 0;
            ASSERT_EQ(RunStep(h, [] { return RunEventSquare(1, kSquareEvent); }, 1000), 1);
            EXPECT_EQ(PassageClosedRounds, 2);
            EXPECT_EQ(CountLog(h, "トゥミナ.png が読み込めません"), 1) << "logged once, not retried";
            LoadMap(4);
            Place(1, 10, 5);
            ASSERT_EQ(RunStep(h, [] { return RunLandingEffect(kSquareRabbit); }, 3000), 1);
            EXPECT_EQ(CountLog(h, "勝.png が読み込めません"), 1);
            EXPECT_EQ(RabbitDuel.mediaLoaded, 0);
          });
}

// Rabbit duels of a CPU with the rolls set at each verdict.
struct DuelCase {
  const char* what;
  std::vector<std::pair<int32_t, int32_t>> rolls;  // player, rabbit, one per verdict
  int32_t items[2];
  int32_t given;  // ImpossibleRequestGiven entries 1 to 4 already handed out (entry 5 as well when 5)
  int32_t coins, item0, item1, kind;
};

TEST(RabbitDuel, VerdictsPrizesAndTheSquare) {
  REQUIRE_MEDIA();
  const DuelCase cases[] = {
      {"won with both slots full: three pages and 5 coins", {{9, 2}}, {1, 2}, 0, 5, 1, 2, kSquareRabbit},
      {"won: the last impossible request", {{9, 2}}, {1, 0}, 4, 0, 1, 35, kSquareBlue},
      {"won with nothing left to give", {{9, 2}}, {0, 0}, 5, 0, 0, 0, kSquareRabbit},
      {"lost", {{2, 5}}, {0, 0}, 0, 0, 0, 0, kSquareRabbit},
      {"a draw, then won", {{5, 5}, {6, 4}}, {0, 6}, 4, 0, 35, 6, kSquareBlue},
  };
  RunGame({.seed = 16}, [&](GameHarness& h) {
    StartBoard(h, 4, false);
    for (const DuelCase& c : cases) {
      SCOPED_TRACE(c.what);
      Place(1, 10, 5);
      SquareTable[10].kind = kSquareRabbit;
      PlayerRecord& p1 = PlayerTable[0];
      p1.coins = 0;
      p1.items[0] = c.items[0];
      p1.items[1] = c.items[1];
      for (int k = 1; k <= 5; ++k) ImpossibleRequestGiven[k] = k <= c.given ? 1 : 0;
      size_t verdict = 0;
      int frames = 0;
      ASSERT_EQ(RunStep(
                    h,
                    [&] {
                      if (RabbitDuel.state == 4 && RabbitDuel.verdictFrames == 0 && verdict < c.rolls.size()) {
                        RabbitDuel.playerRoll = c.rolls[verdict].first;
                        RabbitDuel.rabbitRoll = c.rolls[verdict].second;
                        ++verdict;
                      }
                      return RunLandingEffect(kSquareRabbit);
                    },
                    4000, &frames),
                1);
      EXPECT_EQ(verdict, c.rolls.size());
      EXPECT_EQ(p1.coins, c.coins);
      EXPECT_EQ(p1.items[0], c.item0);
      EXPECT_EQ(p1.items[1], c.item1);
      EXPECT_EQ(SquareTable[10].kind, c.kind);
      EXPECT_EQ(p1.squareColour, 3);
      EXPECT_EQ(RabbitDuel.mediaLoaded, 0) << "its media are freed";
      EXPECT_EQ(RabbitDuel.text, nullptr);
    }
    EXPECT_EQ(ImpossibleRequestGiven[5], 1);
  });
}

TEST(House, TheRewardForImpossibleRequests) {
  REQUIRE_MEDIA();
  RunGame({.seed = 17}, [](GameHarness& h) {
    StartBoard(h, 4, false);
    PlayerRecord& p1 = PlayerTable[0];
    Place(1, 6, 5);
    p1.coins = 0;  // too few for a star: the sale only says so
    p1.items[0] = 31;
    p1.items[1] = 33;
    SquareTable[3].kind = kSquareStarShop;
    int dialogue = 0;  // frames of the reward dialogue after the sale
    auto house = [&dialogue] {
      dialogue += HouseEvent.state >= 2 && HouseEvent.state <= 6;
      return RunLandingEffect(kSquareHouse);
    };
    ASSERT_EQ(RunStep(h, house, 3000), 1);
    EXPECT_EQ(p1.coins, 30);
    EXPECT_EQ(p1.items[0], 0);
    EXPECT_EQ(p1.items[1], 0);
    EXPECT_EQ(p1.squareColour, 3);
    for (int s = 1; s < kSquareCount; ++s) EXPECT_NE(SquareTable[s].kind, kSquareStarShop) << "the star shop leaves";
    EXPECT_EQ(HouseEvent.text, nullptr);
    EXPECT_GT(dialogue, 100);
    // Without impossible requests: the star is bought, the star shop the sale
    // moved is turned back to blue, and no dialogue follows.
    p1.items[0] = 5;
    int32_t stars = p1.stars;
    dialogue = 0;
    ASSERT_EQ(RunStep(h, house, 3000), 1);
    EXPECT_EQ(p1.coins, 10);
    EXPECT_EQ(p1.stars, stars + 1);
    EXPECT_EQ(p1.items[0], 5);
    for (int s = 1; s < kSquareCount; ++s) EXPECT_NE(SquareTable[s].kind, kSquareStarShop) << "no star shop is left";
    EXPECT_EQ(dialogue, 0);
  });
}

}  // namespace
