// The pass-through events: the mushroom, ovrelle's house, the banquet (its
// payments, the order of the guests, its end under 10 coins, its text
// reader), the pitfall, zanberi's coin event and the false square.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/landing_effects.h"
#include "game/board/party_scene.h"
#include "game/board/pass_events.h"
#include "game/shell/message_text.h"
#include "tests/game/board_event_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A human answers every page with A, and at a choice takes the first label
// (yes) or, with one press of down first, the second (no).
struct Answers {
  std::vector<bool> yes;  // the answers to the choices in order
  size_t asked = 0;
  bool movedDown = false;
};

// Presses for the event's human player, whose choice is shown while
// choosing() holds; a choice counts as answered once choosing() stops.
void AnswerHuman(GameHarness& h, std::shared_ptr<Answers> a, std::function<int()> speaker,
                 std::function<bool()> choosing) {
  auto wasChoosing = std::make_shared<bool>(false);
  PressFor(h, [=] {
    bool now = choosing();
    if (*wasChoosing && !now) {
      ++a->asked;
      a->movedDown = false;
    }
    *wasChoosing = now;
    int p = speaker();
    if (!EventRunning() || p < 1 || PlayerTable[p - 1].cpuFlag != 0) return Press{};
    bool yes = a->asked < a->yes.size() ? a->yes[a->asked] : true;
    if (now && !yes && !a->movedDown) {
      a->movedDown = true;
      return Press{p, kButtonDown};
    }
    return Press{p, kButtonA};
  });
}

// ---------------------------------------------------------------- the mushroom and ovrelle's house

TEST(Mushroom, GoesIntoTheFirstEmptyUsableSlot) {
  RunGame({.seed = 2}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1});
    auto a = std::make_shared<Answers>();
    AnswerHuman(h, a, [] { return EventPlayer; }, [] { return MushroomState == 4; });
    PlayerTable[0].items[0] = 2;
    *a = Answers{{true}};
    StartEvent(RunMushroomPickUp, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(PlayerTable[0].items[1], 5);

    // Both usable slots full: nothing grows there, and nothing is given.
    StartEvent(RunMushroomPickUp, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(PlayerTable[0].items[0], 2);
    EXPECT_EQ(PlayerTable[0].items[1], 5);

    PlayerTable[0].items[1] = 0;
    *a = Answers{{false}};
    StartEvent(RunMushroomPickUp, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(PlayerTable[0].items[1], 0) << "declined";

    // A CPU picks it when it has room, and declines at once when it has none.
    PlayerTable[1].items[2] = 24;
    StartEvent(RunMushroomPickUp, 2);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(PlayerTable[1].items[0], 5);
    PlayerTable[1].items[1] = 3;
    StartEvent(RunMushroomPickUp, 2);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(PlayerTable[1].items[0], 5);
    EXPECT_EQ(PlayerTable[1].items[1], 3);
    EXPECT_EQ(PlayerTable[1].items[2], 24);
  });
}

TEST(OvrelleHouse, KnocksWithoutAMushroomAndGivesAGiftForEachForOneFee) {
  RunGame({.seed = 7}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1}, {10, 2, 10, 10});
    auto a = std::make_shared<Answers>();
    AnswerHuman(h, a, [] { return EventPlayer; }, [] { return OvrelleHouseState == 4; });

    StartEvent(RunOvrelleHouse, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 10) << "nobody answers";

    PlayerTable[0].items[0] = 5;
    *a = Answers{{false}};
    StartEvent(RunOvrelleHouse, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 10) << "declined";
    EXPECT_EQ(PlayerTable[0].items[0], 5);

    // Two mushrooms, two gifts, one fee of 3; the line of page 2 names the
    // player's character (1 is Belnora herself).
    PlayerTable[0].items[1] = 5;
    PlayerTable[0].character = 1;
    *a = Answers{{true}};
    StartEvent(RunOvrelleHouse, 1);
    std::string page2;
    while (!EventEnded()) {
      ASSERT_TRUE(h.Frame());
      ASSERT_LT(EventCalls, 2000);
      if (OvrelleHouseState == 5) page2 = MessageLines[0];
    }
    EXPECT_EQ(page2, "こういう事はあなたが担当");
    EXPECT_EQ(Coins(1), 7);
    for (int slot = 0; slot < 2; ++slot) {
      int gift = PlayerTable[0].items[slot];
      EXPECT_TRUE(gift == 1 || gift == 6 || gift == 7) << gift;
    }

    // A CPU with one mushroom and 2 coins: the fee takes the 2 it has.
    PlayerTable[1].items[1] = 5;
    StartEvent(RunOvrelleHouse, 2);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(Coins(2), 0);
    int gift = PlayerTable[1].items[0];
    EXPECT_TRUE(gift == 1 || gift == 6 || gift == 7) << gift;
    EXPECT_EQ(PlayerTable[1].items[1], 0);
  });
}

// ---------------------------------------------------------------- the banquet

// Map 3 with its banquet square (41); every player on square 2.
void SetUpBanquetMap() {
  CurrentMapId = 3;
  LoadBoardSquares(3);
  for (PlayerRecord& r : PlayerTable) {
    r.square = 2;
    r.prevSquare = 1;
    r.x = SquareTable[2].x;
    r.y = SquareTable[2].y;
  }
}

struct BanquetRun {
  std::vector<int> asked;  // the players whose turns came, in order
};

// Runs the banquet of the host with the human answers given, noting whose
// turns came.
void RunBanquetOf(GameHarness& h, std::shared_ptr<Answers> a, int host, std::vector<bool> answers, BanquetRun& run) {
  *a = Answers{answers};
  StartEvent(RunBanquet, host);
  run.asked.clear();
  while (!EventEnded()) {
    ASSERT_TRUE(h.Frame());
    ASSERT_LT(EventCalls, 5000);
    if (BanquetCurrentPlayer != 0 && (run.asked.empty() || run.asked.back() != BanquetCurrentPlayer))
      run.asked.push_back(BanquetCurrentPlayer);
  }
  EXPECT_EQ(EventResult, 1);
  EXPECT_EQ(BanquetText, nullptr);
}

TEST(Banquet, TheHostPaysOnceAndGuestsPayTheHostAskedInPlayerOrder) {
  RunGame({.seed = 11}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 0, 0, 0}, {50, 20, 20, 20});
    SetUpBanquetMap();
    auto a = std::make_shared<Answers>();
    AnswerHuman(h, a, [] { return BanquetCurrentPlayer; }, [] { return BanquetState == 8; });
    BanquetRun run;

    // Host 1 holds it; 2 joins, 3 declines, 4 joins.
    RunBanquetOf(h, a, 1, {true, true, false, true}, run);
    EXPECT_EQ(run.asked, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Coins(1), 50 - 10 + 10 + 5 + 10);
    EXPECT_EQ(Coins(2), 10);
    EXPECT_EQ(Coins(3), 15);
    EXPECT_EQ(Coins(4), 10);
    for (int p : {2, 4}) {
      EXPECT_EQ(PlayerTable[p - 1].square, 41) << "a guest who joins is carried to the banquet";
      EXPECT_EQ(PlayerTable[p - 1].prevSquare, 40);
      EXPECT_EQ(PlayerTable[p - 1].x, SquareTable[41].x);
    }
    EXPECT_EQ(PlayerTable[2].square, 2);

    // Host 3 (a player number of 2 or more): its own fee is taken once;
    // the guests are 1, 2, 4.
    SeatPlayers({0, 0, 0, 0}, {20, 30, 40, 12});
    SetUpBanquetMap();
    RunBanquetOf(h, a, 3, {true, false, false, false}, run);
    EXPECT_EQ(run.asked, (std::vector<int>{3, 1, 2, 4}));
    EXPECT_EQ(Coins(3), 40 - 10 + 5 + 5 + 5);
    EXPECT_EQ(Coins(1), 15);
    EXPECT_EQ(Coins(2), 25);
    EXPECT_EQ(Coins(4), 7);

    // A host who declines ends it: nobody pays.
    SeatPlayers({0, 0, 0, 0}, {20, 30, 40, 12});
    RunBanquetOf(h, a, 2, {false}, run);
    EXPECT_EQ(run.asked, (std::vector<int>{2}));
    EXPECT_EQ(Coins(1) + Coins(2) + Coins(3) + Coins(4), 102);
  });
}

TEST(Banquet, EndsForEveryoneAtAPlayerWithFewerThanTenCoins) {
  RunGame({.seed = 12}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 0, 0, 0}, {9, 20, 20, 20});
    SetUpBanquetMap();
    auto a = std::make_shared<Answers>();
    AnswerHuman(h, a, [] { return BanquetCurrentPlayer; }, [] { return BanquetState == 8; });
    BanquetRun run;
    RunBanquetOf(h, a, 1, {}, run);
    EXPECT_EQ(run.asked, (std::vector<int>{1}));
    EXPECT_EQ(Coins(1), 9);

    // Guest 2 has 5 coins: players 3 and 4 are never asked.
    SeatPlayers({0, 0, 0, 0}, {40, 5, 20, 20});
    RunBanquetOf(h, a, 1, {true}, run);
    EXPECT_EQ(run.asked, (std::vector<int>{1, 2}));
    EXPECT_EQ(Coins(1), 30);
    EXPECT_EQ(Coins(2), 5);
    EXPECT_EQ(Coins(3) + Coins(4), 40);

    // CPU players: every coin a guest pays reaches the host; none is made
    // or lost, and nobody goes below 0.
    SeatPlayers({1, 1, 1, 1}, {45, 35, 25, 12});
    SetUpBanquetMap();
    for (int round = 0; round < 6; ++round) {
      int host = round % 4 + 1;
      int before = Coins(1) + Coins(2) + Coins(3) + Coins(4);
      int hostBefore = Coins(host);
      StartEvent(RunBanquet, host);
      ASSERT_TRUE(h.RunUntil(EventEnded, 5000));
      int after = Coins(1) + Coins(2) + Coins(3) + Coins(4);
      EXPECT_TRUE(after == before || after == before - 10) << "only the host's fee leaves the table";
      if (after == before - 10) {
        EXPECT_GE(Coins(host), hostBefore - 10);
      }
      for (int p = 1; p <= 4; ++p) ASSERT_GE(Coins(p), 0);
    }
  });
}

TEST(Banquet, TheTextReaderKeepsPagesOfWholeCharactersUpTo99Bytes) {
  std::string longPage = std::string(98, 'a') + "あ" + "tail@N";  // the character would end at byte 100
  GameOptions options;
  options.files = {
      {"media/sugoroku/cadris/banquet.txt", BytesOf("first@N\r\nsec\nond@N" + longPage + "@@N@Nx\x82")},
      {"media/sugoroku/cadris/bofine.txt", BytesOf("only@N")},
  };
  options.hiddenMedia = {"sugoroku/cadris/anseri.txt"};
  RunGame(options, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    BanquetText = static_cast<char*>(malloc(kBanquetTextBytes));
    memset(BanquetText, 'z', kBanquetTextBytes);
    BuildBanquetText();
    auto page = [](int f, int n) { return std::string(BanquetText + 500 * f + 100 * n); };
    EXPECT_EQ(page(0, 0), "first@N");
    EXPECT_EQ(page(0, 1), "second@N") << "line breaks are skipped";
    EXPECT_EQ(page(0, 2), std::string(98, 'a')) << "a page keeps 99 bytes of whole characters";
    EXPECT_EQ(page(0, 3), "@@N@N") << "an @ is copied with the byte after it";
    EXPECT_EQ(page(0, 4), "x") << "a lead byte at the end of the file ends the page";
    for (int n = 0; n < 5; ++n) EXPECT_EQ(page(1, n), "") << "a missing file leaves its pages empty";
    EXPECT_EQ(page(2, 0), "only@N");
    EXPECT_EQ(page(2, 1), "");
    EXPECT_EQ(page(3, 2), "宴に参加するかい？@N");
    free(BanquetText);
    BanquetText = nullptr;
  });
}

// ---------------------------------------------------------------- the pitfall and zanberi's coins

int CountKind(int kind) {
  int n = 0;
  for (int s = 1; s <= 25; ++s) n += SquareTable[s].kind == kind ? 1 : 0;
  return n;
}

TEST(Pitfall, StopsTheMoveAndReturnsTheImpossibleRequestItems) {
  RunGame({.seed = 13}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1});
    CurrentMapId = 4;
    LoadBoardSquares(4);
    PressFor(h, [] { return EventRunning() && EventPlayer == 1 ? Press{1, kButtonA} : Press{}; });
    PlayerTable[0].items[0] = 32;
    PlayerTable[0].items[1] = 5;
    PlayerTable[0].moveCount = 4;
    ImpossibleRequestGiven[2] = 1;
    ImpossibleRequestGiven[3] = 1;
    int blue = CountKind(kSquareBlue), rabbits = CountKind(kSquareRabbit);
    StartEvent(RunPitfall, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(EventResult, 1);
    EXPECT_EQ(PlayerTable[0].moveCount, 0);
    EXPECT_EQ(PlayerTable[0].items[0], 0);
    EXPECT_EQ(PlayerTable[0].items[1], 5);
    EXPECT_EQ(ImpossibleRequestGiven[2], 0) << "the rabbit duel may give it again";
    EXPECT_EQ(ImpossibleRequestGiven[3], 1);
    EXPECT_EQ(CountKind(kSquareBlue), blue - 1);
    EXPECT_EQ(CountKind(kSquareRabbit), rabbits + 1);
    EXPECT_EQ(WanderingSquareMove, 1);

    // No blue square left among 1 to 25: the item goes back, no square changes.
    for (int s = 1; s <= 25; ++s)
      if (SquareTable[s].kind == kSquareBlue) SquareTable[s].kind = kSquareRed;
    PlayerTable[1].items[1] = 35;
    ImpossibleRequestGiven[5] = 1;
    StartEvent(RunPitfall, 2);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(PlayerTable[1].items[1], 0);
    EXPECT_EQ(ImpossibleRequestGiven[5], 0);
    EXPECT_EQ(CountKind(kSquareRabbit), rabbits + 1);
  });
}

TEST(ZanberiCoinEvent, NeedsFiveCoinsAndACpuWithFewerThan26Declines) {
  RunGame({.seed = 14}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1}, {3, 25, 10, 10});
    CurrentMapId = 4;
    LoadBoardSquares(4);
    auto a = std::make_shared<Answers>();
    AnswerHuman(h, a, [] { return EventPlayer; }, [] { return ZanberiCoinState == 3; });
    *a = Answers{{true}};
    StartEvent(RunZanberiCoinEvent, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(Coins(1), 3) << "too few coins";
    PlayerTable[0].coins = 30;
    *a = Answers{{false}};
    StartEvent(RunZanberiCoinEvent, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(Coins(1), 30) << "declined";
    for (int i = 0; i < 3; ++i) {
      uint64_t draws = RandomDrawCount;
      StartEvent(RunZanberiCoinEvent, 2);
      ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
      EXPECT_EQ(Coins(2), 25);
      EXPECT_EQ(RandomDrawCount, draws) << "no draw below 26 coins";
    }
    EXPECT_EQ(ZanberiCoinState, 0);
  });
}

// ---------------------------------------------------------------- the false square

TEST(FalseSquare, JumpsFiveSquaresBetweenTheFourRowsBothWays) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SeatPlayers({0, 1, 1, 1});
    for (int s = 1; s < kSquareCount; ++s) {
      SquareTable[s].x = 10.0f * s;
      SquareTable[s].y = -3.0f * s;
    }
    const struct {
      int from, to;
    } cases[] = {{26, 31}, {30, 35}, {31, 26}, {35, 30}, {36, 41}, {40, 45}, {41, 36}, {45, 40}, {25, 25}, {46, 46}, {3, 3}};
    bool first = true;
    for (const auto& c : cases) {
      PlayerRecord& r = PlayerTable[0];
      r.square = c.from;
      r.x = r.y = 0.5f;
      int calls = 1;
      while (RunFalseSquare(1) != 1) ++calls;
      EXPECT_EQ(calls, first ? 4 : 1) << "three idle frames on the first visit only";
      first = false;
      EXPECT_EQ(r.square, c.to) << c.from;
      EXPECT_EQ(r.x, 10.0f * c.to);
      EXPECT_EQ(r.y, -3.0f * c.to);
    }
  });
}

}  // namespace
