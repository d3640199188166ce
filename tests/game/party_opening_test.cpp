// The party opening: the introductions of maps 1 to 4 played through with
// the line-up and the turn-order draw, the draw's rules and timing with a
// fixed seed, the order text file, and the maps without an introduction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/board_view.h"
#include "game/board/party_opening.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/party_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// Screens are saved for a look when ZR_OPENING_SHOTS names a folder.
void Shot(GameHarness& h, const std::string& name) {
  if (const char* dir = getenv("ZR_OPENING_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name + ".bmp");
}

// A new party on the map, entered as the set-up scene enters it.
void StartParty(int32_t map) {
  PokePlayers();
  CurrentMapId = map;
  LoadBoardImages();
  TotalTurns = 10;
  TurnsLeft = 10;
  PartyRestored = 0;
  PartySceneState = 0;
  SceneState = 8;
}

// The openings of maps 1 to 4 one after the other in one game. Without
// ZR_OPENING_SHOTS the shared pictures and fonts are left out (the rules
// are the same, the frames cheaper).
TEST(PartyOpening, MapsOneToFourPlayThrough) {
  REQUIRE_MEDIA();
  RunGame({.seed = 11}, [](GameHarness& h) {
    ASSERT_EQ(getenv("ZR_OPENING_SHOTS") != nullptr ? h.StartUp() : h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PressThroughOpening(h);
    for (int32_t map = 1; map <= 4; ++map) {
      StartParty(map);
      std::string prefix = "map" + std::to_string(map) + "-";
      std::set<std::string> taken;
      auto shotOnce = [&](const std::string& name, bool when) {
        if (when && taken.insert(name).second) Shot(h, prefix + name);
      };
      while (SceneState == 8 && PartySceneState <= 2) {
        ASSERT_TRUE(h.Frame());
        int32_t introState = map == 4 ? PrincessIntroState : map == 3 ? BanquetHostIntroState : GemGuideIntroState;
        shotOnce("1-intro", PartyOpeningState == 2 && introState == 3 && IntroTextIndex == 1 &&
                                MessageTextState == 3 && MessageReadPos >= 30);
        shotOnce("2-intro-later", PartyOpeningState == 2 && introState == 3 &&
                                      IntroTextIndex == (map == 3 ? 1 : 3) && MessageTextState == 3 &&
                                      MessageReadPos >= 50);
        shotOnce("3-fade", PartyOpeningState == 2 && introState == 5 && IntroAlpha <= 125);
        shotOnce("4-rolling", TurnOrderDrawStep == 3 && CpuDrawWait[3] == 20);
        shotOnce("5-announce", TurnOrderDrawStep == 4 && DieShowCounters[1] == 120);
        shotOnce("6-coins", TurnOrderDrawStep == 5 && CoinAnimationState[3].counter == 30);
        shotOnce("7-last", TurnOrderDrawStep == 6 && MessageTextId == 0 && MessageTextEnded == 1);
        ASSERT_LT(h.frame(), 20000) << "the opening of map " << map << " does not end";
      }
      EXPECT_EQ(PartySceneState, 3) << map;
      EXPECT_EQ(PartyOpeningState, 0);
      EXPECT_EQ(TurnOrderDrawStep, 0);
      EXPECT_EQ(OrderTextLines, nullptr) << "the order text is freed";
      std::set<int32_t> orders, draws;
      for (int p = 1; p <= 4; ++p) {
        orders.insert(PlayerTable[p - 1].turnOrder);
        draws.insert(OrderDraws[p]);
        EXPECT_EQ(PlayerTable[p - 1].coins, 10) << "map " << map << ", player " << p;
        for (int q = 1; q <= 4; ++q)
          if (OrderDraws[p] > OrderDraws[q]) {
            EXPECT_LT(PlayerTable[p - 1].turnOrder, PlayerTable[q - 1].turnOrder) << "highest number first";
          }
      }
      EXPECT_EQ(orders, (std::set<int32_t>{1, 2, 3, 4}));
      EXPECT_EQ(draws.size(), 4u) << "four distinct numbers";
    }
  });
}


// One frame of the opening as the test saw it after the frame.
struct OpeningFrame {
  int32_t opening, intro, step, next, coinsCounted;
  int32_t draws[5], counters[5], cpuWait[5], coins[4];
};

// The turn-order draw on map 4 with a fixed seed and scripted presses.
// Player 1 keeps holding A from the press that confirms the order text's
// first line, lets go at the draw's 11th frame and presses again at its
// 12th; player 2 presses at the 20th; players 3 and 4 are CPU players.
// After the fourth announcement input record 1 waits 100 frames before its
// next press; elsewhere it presses A on every other frame.
TEST(PartyOpening, TurnOrderDrawWithAFixedSeed) {
  REQUIRE_MEDIA();
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    StartParty(4);
    h.When([] { return PartySceneState == 2; }, [] {
      const int32_t coins[4] = {7, 0, 3, 12};
      for (int p = 0; p < 4; ++p) PlayerTable[p].coins = coins[p];
    });
    struct Script {
      bool pressedLast = false;
      int drawFrame = 0;     // frames run in step 3, the coming one included
      int waitAtFive = 0;
    };
    auto script = std::make_shared<Script>();
    h.AddInputRule([script](FrameInput& in) {
      if (SceneState != 8 || PartySceneState != 2) return;
      auto hold = [&in](int record) {
        GameHarness::PadButton b = GameHarness::ButtonOf(record, kButtonA);
        in.pads[b.pad - 1] |= b.mask;
      };
      bool press = false;
      if (PartyOpeningState == 3 && TurnOrderDrawStep == 3) {
        ++script->drawFrame;
        press = script->drawFrame <= 10 || script->drawFrame == 12;
        if (script->drawFrame == 20) hold(2);
      } else if (TurnOrderDrawStep == 4 && NextOrderNumber == 5 && script->waitAtFive < 100) {
        ++script->waitAtFive;
      } else {
        press = !script->pressedLast;
      }
      script->pressedLast = press;
      if (press) hold(1);
    });

    std::vector<OpeningFrame> frames;
    while (PartySceneState <= 2) {
      ASSERT_TRUE(h.Frame());
      OpeningFrame f{PartyOpeningState, PrincessIntroState, TurnOrderDrawStep, NextOrderNumber, OrderCoinsCounted};
      memcpy(f.draws, OrderDraws, sizeof f.draws);
      memcpy(f.counters, DieShowCounters, sizeof f.counters);
      memcpy(f.cpuWait, CpuDrawWait, sizeof f.cpuWait);
      for (int p = 0; p < 4; ++p) f.coins[p] = PlayerTable[p].coins;
      if (PartySceneState == 2) frames.push_back(f);
      ASSERT_LT(frames.size(), 3000u);
    }
    // frames[0] is the party scene's step to state 2; every later frame,
    // and the last one (not kept: the scene goes to state 3), runs the
    // opening once.
    const int openingCalls = static_cast<int>(frames.size());
    auto count = [&](auto pred) {
      int n = 0;
      for (const OpeningFrame& f : frames) n += pred(f) ? 1 : 0;
      return n;
    };
    auto first = [&](auto pred) {
      for (size_t i = 0; i < frames.size(); ++i)
        if (pred(frames[i])) return static_cast<int>(i);
      return -1;
    };
    // The introduction's last fade: 51 frames from black (the frame that
    // confirms the fourth text enters it; the fade's 51st frame leaves it).
    EXPECT_EQ(count([](const OpeningFrame& f) { return f.opening == 2 && f.intro == 5; }), 51);
    EXPECT_EQ(count([](const OpeningFrame& f) { return f.opening == 2 && f.intro == 6; }), 1);

    // The draw (step 3): drawStart is the frame that enters it, its frame k
    // is at drawStart + k.
    const int drawStart = first([](const OpeningFrame& f) { return f.step == 3; });
    ASSERT_GE(drawStart, 0);
    auto drawFrameOf = [&](int p) { return first([p](const OpeningFrame& f) { return f.draws[p] != 0; }) - drawStart; };
    EXPECT_EQ(drawFrameOf(1), 12) << "player 1 held A from the text: only its new press stops the die";
    EXPECT_EQ(drawFrameOf(2), 20);
    for (int p : {3, 4}) {
      EXPECT_GE(drawFrameOf(p), 32) << "a CPU stops at the earliest on the 32nd frame";
      for (int k = 1; k < drawFrameOf(p) && k <= 40; ++k)
        EXPECT_EQ(frames[drawStart + k].cpuWait[p], k < 31 ? k : 31) << "player " << p << ", frame " << k;
    }
    const OpeningFrame& last = frames.back();
    std::set<int32_t> numbers(last.draws + 1, last.draws + 5);
    EXPECT_EQ(numbers.size(), 4u) << "four distinct numbers";
    for (int p = 1; p <= 4; ++p) {
      EXPECT_GE(last.draws[p], 1);
      EXPECT_LE(last.draws[p], 10);
      int higher = 0;
      for (int q = 1; q <= 4; ++q) higher += last.draws[q] > last.draws[p];
      EXPECT_EQ(PlayerTable[p - 1].turnOrder, higher + 1) << "the highest number plays first";
    }

    // The dice of position 1 stay until position 2 is announced, then go in 25 frames.
    const int second = first([](const OpeningFrame& f) { return f.step == 4 && f.next == 3; });
    const int gone1 = first([](const OpeningFrame& f) { return f.step >= 4 && f.counters[1] == 0; });
    EXPECT_EQ(frames[second - 1].counters[1], 250);
    EXPECT_EQ(gone1 - second, 25);
    const int gone2 = first([](const OpeningFrame& f) { return f.step >= 4 && f.counters[2] == 0; });
    EXPECT_EQ(gone2 - gone1, 25) << "then those of position 2";
    // After the fourth announcement the dice of position 4 wait for one more press.
    const int fourth = first([](const OpeningFrame& f) { return f.next == 5; });
    const int sixth = first([](const OpeningFrame& f) { return f.next == 6; });
    EXPECT_GE(sixth - fourth, 100);
    EXPECT_EQ(frames[sixth - 1].counters[3], 0) << "position 3's dice went meanwhile";
    for (int i = fourth; i < sixth; ++i) EXPECT_EQ(frames[i].counters[4], 250) << i - fourth;
    const int gone4 = first([](const OpeningFrame& f) { return f.step >= 4 && f.counters[4] == 0; });
    EXPECT_EQ(gone4 - sixth, 25);

    // The starting coins: all four count up together over 63 frames.
    const int coinStart = first([](const OpeningFrame& f) { return f.step == 5; });
    EXPECT_EQ(coinStart, gone4) << "the coins follow in the frame the last dice go";
    const int counted = first([](const OpeningFrame& f) { return f.coinsCounted == 1; });
    EXPECT_EQ(counted - coinStart, 63);
    const int32_t before[4] = {7, 0, 3, 12};
    for (int p = 0; p < 4; ++p) {
      EXPECT_EQ(frames[coinStart - 1].coins[p], before[p]);
      EXPECT_EQ(PlayerTable[p].coins, before[p] + 10) << "player " << p + 1 << " has 10 more coins";
    }
    // The fade-out: the frame that enters step 7 asks for it, 17 frames
    // bring it to black, the last of them ends the draw.
    EXPECT_EQ(count([](const OpeningFrame& f) { return f.step == 7; }), 18);
    EXPECT_EQ(OrderTextLines, nullptr);
    EXPECT_EQ(PartyOpeningState, 0);
    // The whole opening with this script and seed: 1 start, 1 + 36 for the
    // four texts, 51 of fade, 1 to finish; 2 steps to the order text and 8
    // for its first line; 56 for the draw (the last CPU stop); 7 + 8 + 8
    // for announcements 2 to 4, 101 waiting and pressing at the fourth,
    // 25 for the last dice; 65 for the coins and their line, 8 for the last
    // line, 18 of fade-out; and the opening's closing call.
    EXPECT_EQ(openingCalls, 397);
  });
}

TEST(PartyOpening, MapsWithoutAnIntroduction) {
  for (int32_t map : {0, 8, -1, 100}) EXPECT_EQ(RunMapIntroduction(map), 1) << map;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(PartyOpening, TheOrderTextFile) {
  REQUIRE_MEDIA();
  // Line 0 of 80 bytes keeps 59; '\r' stays; a 0xFF byte ends the reading.
  std::string longLine(80, 'x');
  longLine[58] = 'y';
  longLine[59] = 'z';
  const std::string file = longLine + "\nsecond\r\nthird\n" + std::string("four\xFFthe rest\n");
  RunGame({.files = {{"media/text/order/brimwold.txt", Bytes(file)}}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    OrderTextLines = static_cast<char*>(calloc(kOrderTextLines * kOrderTextLineBytes, 1));
    memset(OrderTextLines + 4 * kOrderTextLineBytes, 'q', kOrderTextLineBytes);
    LoadOrderText(4);
    EXPECT_EQ(std::string(OrderTextLines), std::string(58, 'x') + "y");
    EXPECT_STREQ(OrderTextLines + 60, "second\r");
    EXPECT_STREQ(OrderTextLines + 120, "third");
    EXPECT_STREQ(OrderTextLines + 180, "four");
    EXPECT_EQ(OrderTextLines[240], 'q') << "the reading ended at 0xFF";
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("59") != std::string::npos;
    EXPECT_TRUE(logged) << "the cut line is logged";
    free(OrderTextLines);
    OrderTextLines = nullptr;
  });
  RunGame({.hiddenMedia = {"text/order/zarvie.txt"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    SceneHandlers[13] = [] {
      OrderTextLines = static_cast<char*>(calloc(kOrderTextLines * kOrderTextLineBytes, 1));
      LoadOrderText(2);
      return 0;
    };
    SceneState = 13;
    EXPECT_FALSE(h.Frame());
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), -1);
    ASSERT_EQ(h.messageBoxes().size(), 1u);
    EXPECT_EQ(h.messageBoxes()[0].text, "読み込みできませんでした");
    EXPECT_EQ(h.messageBoxes()[0].caption, "error");
  });
}

}  // namespace
