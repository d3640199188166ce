// The round bonus: 10 coins announced in three lines of the map's text file
// (text ids 1, 0 and 30), for a human who reads each page and for a CPU
// player; the text file of each map; the reader's limits; a missing file;
// map 7, which has no text; and the portrait kept on map 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/board/party_scene.h"
#include "game/board/round_bonus.h"
#include "game/shell/message_text.h"
#include "tests/game/board_event_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string LineOf(int n) { return std::string(RoundBonusText + kRoundBonusLineBytes * n); }

TEST(RoundBonus, PaysTenCoinsOverThreePagesWithTextIds1_0And30) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    EnterEventScene(h);
    CurrentMapId = 2;  // "cadris"
    SeatPlayers({0, 1, 1, 1}, {7, 0, 10, 10});
    PressFor(h, [] { return EventRunning() && EventPlayer == 1 ? Press{1, kButtonA} : Press{}; });

    // A human: each page ends on a new press of A.
    StartEvent(RunRoundBonus, 1);
    std::vector<int> ids;
    std::vector<std::string> shown;  // the first row of each page as it was typed
    while (!EventEnded()) {
      int state = RoundBonusState;  // the step this frame runs
      ASSERT_TRUE(h.Frame());
      ASSERT_LT(EventCalls, 2000);
      if (state < 4 || state > 7) continue;
      if (ids.empty() || ids.back() != MessageTextId) {
        ids.push_back(MessageTextId);
        shown.push_back("");
      }
      shown.back() = MessageLines[0];
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 0, 30}));
    EXPECT_EQ(shown, (std::vector<std::string>{"ラウンドボーナス！", "10コインをプレゼント！", "またね！"}));
    EXPECT_EQ(Coins(1), 17);
    EXPECT_EQ(RoundBonusPortrait, 4);
    EXPECT_EQ(RoundBonusText, nullptr) << "the text is freed at the end";
    EXPECT_EQ(RoundBonusState, 0);

    // A CPU player: each page ends 46 frames after it was typed; the bonus
    // is paid on every pass.
    for (int pass = 1; pass <= 2; ++pass) {
      StartEvent(RunRoundBonus, 2);
      ASSERT_TRUE(h.RunUntil(EventEnded, 600));
      EXPECT_EQ(Coins(2), 10 * pass);
    }
  });
}

TEST(RoundBonus, ReadsTheTextFileOfTheMapsKey) {
  // Each map's file names its key, so the key read shows.
  static const char* const keys[7] = {"kelbrin", "zarvie", "cadris", "fonterica", "damuel", "urdena", "cardomina"};
  GameOptions options;
  for (const char* key : keys)
    options.files.push_back({std::string("media/text/roundbonus/") + key + ".txt", BytesOf(std::string(key) + "@N\n")});
  RunGame(options, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    RoundBonusText = static_cast<char*>(calloc(kRoundBonusTextLines * kRoundBonusLineBytes, 1));
    for (int map = 0; map < 7; ++map) {
      CurrentMapId = map;
      LoadRoundBonusText();
      EXPECT_EQ(LineOf(0), std::string(keys[map]) + "@N") << "map " << map;
    }
    free(RoundBonusText);
    RoundBonusText = nullptr;
  });
}

TEST(RoundBonus, TheReaderKeepsFiftyNineBytesOfWholeCharactersAndFiveLines) {
  std::string longLine = std::string(58, 'a') + "あ" + "bbb\n";  // the character straddles byte 59
  std::string text = longLine + std::string(59, 'c') + "dd\r\nx@N\n\n4\n5\n6\n";
  RunGame({.files = {{"media/text/roundbonus/kelbrin.txt", BytesOf(text)}}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    RoundBonusText = static_cast<char*>(calloc(kRoundBonusTextLines * kRoundBonusLineBytes, 1));
    memset(RoundBonusText, 'z', kRoundBonusTextLines * kRoundBonusLineBytes);
    CurrentMapId = 0;
    LoadRoundBonusText();
    EXPECT_EQ(LineOf(0), std::string(58, 'a'));
    EXPECT_EQ(LineOf(1), std::string(59, 'c'));
    EXPECT_EQ(LineOf(2), "x@N");
    EXPECT_EQ(LineOf(3), "");
    EXPECT_EQ(LineOf(4), "4") << "five lines; the sixth is not read";
    free(RoundBonusText);
    RoundBonusText = nullptr;
  });
  // A file of one line: the other pages are empty and end at once.
  RunGame({.files = {{"media/text/roundbonus/kelbrin.txt", BytesOf("ひとこと@N")}}}, [](GameHarness& h) {
    EnterEventScene(h);
    CurrentMapId = 0;
    SeatPlayers({0, 1, 1, 1});
    PressFor(h, [] { return EventRunning() ? Press{1, kButtonA} : Press{}; });
    StartEvent(RunRoundBonus, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 20);
  });
}

TEST(RoundBonus, AMissingTextShowsItsPathAndEndsTheProgram) {
  RunGame({.hiddenMedia = {"text/roundbonus/cadris.txt"}}, [](GameHarness& h) {
    EnterEventScene(h);
    CurrentMapId = 2;
    SeatPlayers({0, 1, 1, 1});
    StartEvent(RunRoundBonus, 1);
    for (int i = 0; i < 10 && h.Frame(); ++i) {
    }
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), -1);
    EXPECT_EQ(h.waitAnyInputCalls(), 1);
  });
}

TEST(RoundBonus, Map7PaysWithoutPagesAndMap1KeepsTheLastPortrait) {
  RunGame({}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1}, {0, 0, 0, 0});
    EXPECT_EQ(RoundBonusPortrait, 0);
    CurrentMapId = 1;
    PressFor(h, [] { return EventRunning() && CurrentMapId == 1 ? Press{1, kButtonA} : Press{}; });
    StartEvent(RunRoundBonus, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(RoundBonusPortrait, 0) << "map 1 sets no portrait";

    // Map 7 has no text: the window opens, the coins are counted, it closes;
    // no input is needed and no text is typed.
    CurrentMapId = 7;
    MessageTextId = 999;
    StartEvent(RunRoundBonus, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 200));
    EXPECT_EQ(Coins(1), 20);
    EXPECT_EQ(MessageTextId, 999);
    EXPECT_EQ(RoundBonusPortrait, 9);

    CurrentMapId = 1;
    StartEvent(RunRoundBonus, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(RoundBonusPortrait, 9) << "map 1 keeps the portrait of the last bonus";
    EXPECT_EQ(Coins(1), 30);
  });
}

}  // namespace
