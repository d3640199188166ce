// The turn machine: the banner texts, the minigame type from the landing
// colours and the drum roll that picks the minigame, the CPU's item choice,
// the action menu under round effect 3 and the fated one, and the pause.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/turn_machine.h"
#include "tests/game/turns_fixture.h"

namespace {

using namespace turns_fixture;

TEST(TurnBanner, TheTextsOfATwentyTurnParty) {
  // In the test process itself: the games that later tests fork start from its globals.
  const int32_t savedTotal = TotalTurns, savedLeft = TurnsLeft;
  TotalTurns = 20;
  const struct {
    int32_t left;
    const char* text;
  } cases[] = {
      {20, "1 Turn!!"}, {4, "17 Turn!!"}, {3, "Last 3 Turn!!"}, {2, "Last 2 Turn!!"}, {1, "Last Turn!!"},
  };
  for (const auto& c : cases) {
    TurnsLeft = c.left;
    char text[32];
    FormatTurnBanner(text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.left << " turns left";
  }
  TotalTurns = savedTotal;
  TurnsLeft = savedLeft;
}

// Runs DecideMinigameType with the players' landing colours until it gives
// the type; the calls it took go to *calls.
int DecideWith(std::initializer_list<int32_t> colours, int* calls) {
  int p = 0;
  for (int32_t colour : colours) {
    PlayerTable[p].squareColour = colour;
    PlayerTable[p].team = 0;
    ++p;
  }
  *calls = 0;
  for (int i = 0; i < 1000; ++i) {
    ++*calls;
    int type = DecideMinigameType();
    if (type != 0) return type;
  }
  return 0;
}

std::vector<int32_t> Teams() {
  std::vector<int32_t> teams;
  for (const PlayerRecord& r : PlayerTable) teams.push_back(r.team);
  return teams;
}

TEST(MinigameChoice, TheTypeFollowsTheColoursAndTheOddOneOutIsTeamOne) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());  // boot: the tables
    SetPlayers({true, true, true, true});
    CurrentPlayer = 1;
    int calls;
    EXPECT_EQ(DecideWith({1, 1, 2, 1}, &calls), 2);
    EXPECT_EQ(calls, 4) << "no roulette";
    EXPECT_EQ(Teams(), (std::vector<int32_t>{2, 2, 1, 2})) << "the red player alone is team 1";
    EXPECT_EQ(DecideWith({2, 2, 1, 2}, &calls), 2);
    EXPECT_EQ(Teams(), (std::vector<int32_t>{2, 2, 1, 2})) << "the blue player alone is team 1";
    EXPECT_EQ(DecideWith({1, 2, 2, 1}, &calls), 3);
    EXPECT_EQ(Teams(), (std::vector<int32_t>{1, 2, 2, 1}));
    EXPECT_EQ(DecideWith({1, 1, 1, 1}, &calls), 1);
    EXPECT_EQ(Teams(), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(DecideWith({2, 2, 2, 2}, &calls), 1);
    EXPECT_EQ(Teams(), (std::vector<int32_t>{0, 0, 0, 0}));

    // A landing of colour 3 takes part in the roulette: blue and red in
    // turn every 10 frames for 121 frames, then blue or red at random.
    PlayerTable[0].squareColour = 3;
    PlayerTable[1].squareColour = 1;
    PlayerTable[2].squareColour = 2;
    PlayerTable[3].squareColour = 3;
    std::string shown;
    int type = 0;
    for (calls = 1; calls < 1000 && type == 0; ++calls) {
      bool roulette = TypeState == 2;
      type = DecideMinigameType();
      if (roulette) shown += static_cast<char>('0' + PlayerTable[0].squareColour);
    }
    EXPECT_EQ(calls - 1, 2 + 121 + 3);
    ASSERT_EQ(shown.size(), 121u);
    EXPECT_EQ(shown.substr(0, 21), "111111111122222222221");
    EXPECT_EQ(shown.substr(110), "22222222221");
    for (int p : {0, 3}) {
      EXPECT_TRUE(PlayerTable[p].squareColour == 1 || PlayerTable[p].squareColour == 2);
    }
    EXPECT_EQ(PlayerTable[1].squareColour, 1) << "others keep their colours";
    int blue = 0;
    for (const PlayerRecord& r : PlayerTable) blue += r.squareColour == 1;
    EXPECT_EQ(type, blue == 2 ? 3 : blue == 0 || blue == 4 ? 1 : 2);
    EXPECT_EQ(TypeState, 0);
  });
}

TEST(MinigameChoice, TheDrumRollAdvances29TimesAndWeightsStayAboveZero) {
  REQUIRE_MEDIA();
  RunGame({.seed = 11}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    SetPlayers({true, true, true, true});
    CurrentPlayer = 2;
    for (int32_t& w : MinigameWeights) w = 3;
    MinigameType = 2;
    int advances = 0, calls = 0, row = 0;
    int32_t lastSelected = -1;
    int32_t weighted = 0;
    while (row == 0 && calls < 2000) {
      ++calls;
      row = PickBoardMinigame();
      if (PickState == 4 && weighted == 0) weighted = ReelSlots[2];
      if ((PickState == 4 || PickState == 5) && lastSelected != -1 && ReelSelected != lastSelected) ++advances;
      if (PickState == 4 || PickState == 5) lastSelected = ReelSelected;
    }
    EXPECT_EQ(advances, 29);
    EXPECT_EQ(ReelSelected, 1);
    EXPECT_EQ(row, ReelSlots[1]) << "the middle row when the reel stops";
    EXPECT_GE(row, 16);
    EXPECT_LE(row, 22);
    for (int32_t slot : ReelSlots) {
      EXPECT_GE(slot, 16);
      EXPECT_LE(slot, 22);
    }
    ASSERT_NE(weighted, 0);
    for (int r = 1; r < 30; ++r) EXPECT_EQ(MinigameWeights[r], r == weighted ? 2 : 3) << "row " << r;
    EXPECT_EQ(PickState, 2) << "later rolls start at state 2";

    // Weights below 1 count as 1 and the choice never takes one below 1.
    MinigameType = 3;
    const int32_t start[6] = {0, -4, 1, 1, 1, 2};
    for (int r = 24; r <= 29; ++r) MinigameWeights[r] = start[r - 24];
    for (int roll = 0; roll < 4; ++roll) {
      int32_t chosen = 0;
      for (int i = 0; i < 2000 && chosen == 0; ++i) chosen = PickBoardMinigame();
      ASSERT_GE(chosen, 24);
      ASSERT_LE(chosen, 29);
      for (int r = 24; r <= 29; ++r) ASSERT_GE(MinigameWeights[r], 1) << "row " << r << " roll " << roll;
    }
  });
}

TEST(CpuItems, OnlyItemsWithAUseAreChosen) {
  REQUIRE_MEDIA();
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SetPlayers({true, true, true, true});
    PlayerRecord& r = PlayerTable[0];
    struct Case {
      int32_t item, square, coins;
      bool used;
    };
    const Case cases[] = {
        {1, 7, 0, true},    {2, 7, 0, true},    {4, 7, 0, true},    {5, 7, 0, true},   {6, 7, 0, true},
        {7, 7, 0, true},    {3, 7, 0, false},   {3, 2, 0, true},    {3, 4, 0, true},   {8, 7, 99, false},
        {9, 7, 99, false},  {10, 7, 99, false}, {11, 7, 19, false}, {11, 7, 20, true}, {14, 7, 20, true},
        {15, 7, 99, false}, {20, 7, 99, false}, {31, 7, 99, false}, {35, 7, 99, false},
    };
    for (const Case& c : cases) {
      r.items[0] = c.item;
      r.items[1] = 0;
      r.square = c.square;
      r.coins = c.coins;
      EXPECT_EQ(ChooseCpuItem(1), c.used ? 0 : -1) << "item " << c.item << " on " << c.square << " with " << c.coins;
    }
    r.items[0] = 0;
    r.items[1] = 1;
    EXPECT_EQ(ChooseCpuItem(1), -1) << "an empty first slot";
    // Two items: either slot may be drawn; the third slot never is.
    r.items[0] = 1;
    r.items[1] = 6;
    r.items[2] = 24;
    std::set<int> slots;
    for (int i = 0; i < 40; ++i) slots.insert(ChooseCpuItem(1));
    EXPECT_EQ(slots, (std::set<int>{0, 1}));
  });
}

TEST(TurnMenu, EffectThreeShowsTheRollAndTheFatedOneRollsOne) {
  REQUIRE_MEDIA();
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({true, true, true, true});
    for (int p = 1; p <= 4; ++p) Place(p, 1, 24);
    CurrentPlayer = 1;
    RoundEffect = kRoundEffectNoMove;
    int banner = 0, frames = 0;
    int result = RunStep(
        h,
        [&] {
          banner += TurnMenuState == 4;
          return RunTurnMenu();
        },
        500, &frames);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(banner, 45) << "a CPU's banner stands 45 frames";
    EXPECT_EQ(frames, 3 + 45 + 47 + 1) << "menu start, banner, the die's reset and 46 frames, the end";
    EXPECT_GE(DieValue, 1) << "the roll was made and shown";
    EXPECT_LE(DieValue, 10);
    EXPECT_EQ(PlayerTable[0].moveCount, 0) << "round effect 3: no move";
    int32_t landing = RunStep(h, [] { return MovePiece(); }, 100);
    EXPECT_EQ(landing, 1) << "the move ends where it started";
    EXPECT_EQ(PlayerTable[0].square, 1);
    EXPECT_EQ(PlayerTable[0].x, SquareTable[1].x);

    // The fated one: a roll of 1 whatever the die shows, and the countdown
    // ends with this turn.
    RoundEffect = 0;
    PlayerTable[1].items[2] = 24;  // even with the +3 die
    FatedOneCountdown[2] = 1;
    CurrentPlayer = 2;
    ASSERT_EQ(RunStep(h, [] { return RunTurnMenu(); }, 500), 1);
    EXPECT_EQ(DieValue, 1);
    EXPECT_EQ(PlayerTable[1].moveCount, 1);
    EXPECT_EQ(FatedOneCountdown[2], 0);
    // A countdown of 2 only counts down.
    FatedOneCountdown[3] = 2;
    CurrentPlayer = 3;
    ASSERT_EQ(RunStep(h, [] { return RunTurnMenu(); }, 500), 1);
    EXPECT_EQ(FatedOneCountdown[3], 1);
  });
}

TEST(TurnMachine, OnlyThePausingRecordResumes) {
  REQUIRE_MEDIA();
  RunGame({.seed = 4}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({true, true, true, true});
    for (int p = 1; p <= 4; ++p) Place(p, 1, 24);
    TotalTurns = TurnsLeft = 10;
    RunInScene([] { return RunTurnMachine(); });
    ASSERT_TRUE(h.Frames(60));
    ASSERT_EQ(PausedFlag, 0);
    h.Tap(2, kButtonStart);
    ASSERT_TRUE(h.Frame());
    ASSERT_EQ(PausedFlag, 1);
    EXPECT_EQ(PausingPlayer, 2);
    auto frozen = [&] {
      // Everything but the frame counters of the harness and the random draws.
      return std::vector<int64_t>{TurnState,       TurnMenuState, DieState, CpuDieFrames,        CpuWaitFrames[0],
                                  CpuWaitFrames[1], MoveState,    TypeState, (int64_t)PlayerTable[0].x};
    };
    auto still = frozen();
    ASSERT_TRUE(h.Frames(30));
    EXPECT_EQ(frozen(), still) << "nothing advances while paused";
    h.Tap(1, kButtonStart);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(PausedFlag, 1) << "another record's start does not resume";
    h.Tap(2, kButtonStart);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PausedFlag, 0);
    ASSERT_TRUE(h.Frames(30));
    EXPECT_NE(frozen(), still) << "the turn goes on";
    EXPECT_EQ(PausedFlag, 0) << "the held start does not pause again";
  });
}

}  // namespace
