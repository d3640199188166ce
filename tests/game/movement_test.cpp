// The move of a piece: the coin steal of the passing items, a human's fork,
// the dead ends, the CPU's route asked again, and the CPU route policies of
// maps 2 and 3 (with walks that never end on a loop).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/turn_machine.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "tests/game/turns_fixture.h"

namespace {

using namespace turns_fixture;

TEST(Movement, PassingWithTheStealItemStartsBothPopupsOrNeither) {
  REQUIRE_MEDIA();
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({true, true, true, true});
    Place(1, 1, 24);
    for (int p = 2; p <= 4; ++p) Place(p, 2, 1);
    PlayerTable[0].items[2] = 23;
    PlayerTable[0].moveCount = 3;
    PlayerTable[1].coins = 10;
    PlayerTable[2].coins = 1;  // has less than the 3 taken
    PlayerTable[3].coins = 5;  // no two records left for it
    RoundEffect = kRoundEffectItemsUp;
    CurrentPlayer = 1;
    CoinPopupRecord started[kCoinPopupCount] = {};
    bool captured = false;
    int frames = 0;
    int32_t landing = RunStep(
        h,
        [&] {
          int r = MovePiece();
          if (!captured && CoinPopups[0].active != 0) {
            memcpy(started, CoinPopups, sizeof started);
            captured = true;
          }
          return r;
        },
        1000, &frames);
    EXPECT_EQ(landing, 5) << "three points: squares 2 and 3, the mushroom square free, then 5";
    ASSERT_TRUE(captured);
    const int32_t expected[5][3] = {{1, 3, 1}, {1, -3, 2}, {1, 1, 1}, {1, -1, 3}, {0, 0, 0}};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(started[i].active, expected[i][0]) << i;
      EXPECT_EQ(started[i].amount, expected[i][1]) << i;
      EXPECT_EQ(started[i].player, expected[i][2]) << i;
    }
    EXPECT_EQ(PlayerTable[0].coins, 4);
    EXPECT_EQ(PlayerTable[1].coins, 7);
    EXPECT_EQ(PlayerTable[2].coins, 0);
    EXPECT_EQ(PlayerTable[3].coins, 5);
    for (const CoinPopupRecord& popup : CoinPopups) EXPECT_EQ(popup.active, 0) << "the move waits for every transfer";
    EXPECT_EQ(PlayerTable[0].moveCount, 0);
    EXPECT_EQ(PlayerTable[0].prevSquare, 4);
  });
}

TEST(Movement, AHumanChoosesAtAForkWithTheDirectionKeys) {
  REQUIRE_MEDIA();
  RunGame({.seed = 6}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({false, true, true, true});
    for (int p = 1; p <= 4; ++p) Place(p, 6, 5);  // square 6 leads to 7 (right) and 25 (down)
    PlayerTable[0].moveCount = 2;
    CurrentPlayer = 1;
    int32_t landing = 0;
    RunInScene([&] {
      if (landing == 0) landing = MovePiece();
      return 0;
    });
    ASSERT_TRUE(h.Frames(8));
    ASSERT_EQ(ForkState, 2);
    EXPECT_EQ(ForkCandidates[0], 7);
    EXPECT_EQ(ForkCandidates[1], 25);
    EXPECT_EQ(ForkCandidates[2], 0);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(ForkState, 2) << "A without a direction chosen does nothing";
    EXPECT_EQ(ForkChoice, -1);
    // C held: the map view, with the camera saved; the fork comes back.
    const float camera[2] = {CameraX, CameraY};
    h.HoldButton(1, kButtonC, 4);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(ForkState, 3);
    EXPECT_EQ(MapViewSavedCamera[0], camera[0]);
    EXPECT_EQ(MapViewSavedCamera[1], camera[1]);
    ASSERT_TRUE(h.RunUntil([] { return ForkState == 2; }, 100));
    h.HoldPad(1, ButtonWord(KeyConfigTable, 1, kButtonDown)[0], 2);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(ForkChoice, 1) << "down points at square 25";
    h.HoldPad(1, ButtonWord(KeyConfigTable, 1, kButtonRight)[0], 2);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(ForkChoice, 0) << "right points at square 7";
    h.HoldPad(1, ButtonWord(KeyConfigTable, 1, kButtonDown)[0], 2);
    ASSERT_TRUE(h.Frames(3));
    h.Tap(1, kButtonA);
    for (int i = 0; i < 200 && landing == 0; ++i) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(landing, 26) << "square 25, then its only way on";
    EXPECT_EQ(PlayerTable[0].prevSquare, 25);
    EXPECT_EQ(PlayerTable[0].facing, 2);
  });
}

TEST(Movement, DeadEndsAndARouteThatGivesNothing) {
  REQUIRE_MEDIA();
  RunGame({.seed = 7}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    // Squares 29 to 31 below the board: 29 -> 30, 30 leads only back to 29,
    // 31 has no link at all.
    const float xs[3] = {200, 340, 480};
    for (int s = 29; s <= 31; ++s) {
      SquareTable[s] = SquareRecord{s, xs[s - 29], 600, 0, kSquareBlue, {0, 0, 0, 0}};
    }
    SquareTable[29].link[0] = 30;
    SquareTable[30].link[0] = 29;
    SetPlayers({true, true, true, true});
    for (int p = 2; p <= 4; ++p) Place(p, 1, 24);
    CurrentPlayer = 1;
    Place(1, 29, 0);
    PlayerTable[0].moveCount = 2;
    EXPECT_EQ(RunStep(h, [] { return MovePiece(); }, 300), 29) << "the way back is the only way on";
    Place(1, 31, 30);
    PlayerTable[0].moveCount = 3;
    int32_t occupancy = SquareTable[31].occupancy;
    EXPECT_EQ(RunStep(h, [] { return MovePiece(); }, 50), 31) << "no link: the move ends where it is";
    EXPECT_EQ(PlayerTable[0].moveCount, 0);
    EXPECT_EQ(SquareTable[31].occupancy, occupancy + 1);

    // A CPU whose route gives no candidate waits at the fork and asks again.
    Place(1, 6, 5);
    PlayerTable[0].moveCount = 1;
    PlayerTable[0].cpuLevel = 0;
    int frames = 0;
    EXPECT_EQ(RunStep(h, [] { return MovePiece(); }, 200, &frames), 0);
    EXPECT_EQ(ForkState, 2);
    EXPECT_EQ(ForkChoice, -1);
    EXPECT_LT(CpuWaitFrames[kCpuWaitFork], 60);
    // Levels above 1 follow the level-1 route.
    PlayerTable[0].cpuLevel = 3;
    int32_t landing = RunStep(h, [] { return MovePiece(); }, 200);
    EXPECT_TRUE(landing == 7 || landing == 25) << landing;
  });
}

// Squares that spend no point and lead round (a path square linked to
// itself, a ring of them) end the move after 99 squares, where the piece
// stands, with a log line; a move that lands sooner is not touched.
TEST(Movement, ALoopWithoutPointsEndsTheMoveAfter99Squares) {
  REQUIRE_MEDIA();
  RunGame({.seed = 7}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({true, true, true, true});
    for (int p = 2; p <= 4; ++p) Place(p, 1, 24);
    CurrentPlayer = 1;
    struct Case {
      const char* what;
      std::vector<int32_t> ring;  // path squares after square 29, the last linked to the first
    } cases[] = {{"a path square linked to itself", {30}}, {"a ring of three", {30, 31, 32}}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      SquareTable[29] = SquareRecord{29, 200, 600, 0, kSquareBlue, {c.ring[0], 0, 0, 0}};
      for (size_t i = 0; i < c.ring.size(); ++i) {
        int32_t next = c.ring[(i + 1) % c.ring.size()];
        SquareTable[c.ring[i]] = SquareRecord{c.ring[i], 210.0f + 8 * i, 600, 0, kSquareWay, {next, 0, 0, 0}};
      }
      Place(1, 29, 0);
      PlayerTable[0].moveCount = 3;
      int32_t landing = RunStep(h, [] { return MovePiece(); }, 2000);
      EXPECT_EQ(MoveSquaresWalked, kMoveWalkLimit);
      EXPECT_EQ(landing, PlayerTable[0].square);
      EXPECT_TRUE(std::count(c.ring.begin(), c.ring.end(), landing) == 1) << landing;
      EXPECT_EQ(PlayerTable[0].moveCount, 0);
      EXPECT_TRUE(h.LogHas("移動が 99 マスに達したので"));
    }
    // A ring with a blue square in it: the points run out and the move lands.
    SquareTable[31].kind = kSquareBlue;
    Place(1, 29, 0);
    PlayerTable[0].moveCount = 2;
    EXPECT_EQ(RunStep(h, [] { return MovePiece(); }, 500), 31);
    EXPECT_EQ(MoveSquaresWalked, 5) << "30, 31, 32, 30, 31";
  });
}

// An event that lets the move go on sends it back to the fork step, whatever
// points are left.
TEST(Movement, AnEventThatContinuesReturnsToTheForkStep) {
  REQUIRE_MEDIA();
  RunGame({.seed = 7}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    LoadMap(1);
    SetPlayers({true, true, true, true});
    CurrentPlayer = 1;
    Place(1, 6, 5);
    for (int32_t points : {2, 0}) {
      PlayerTable[0].moveCount = points;
      MoveState = 6;
      PassEventState = 3;  // the event's last frame: it gives 1
      MovePiece();
      EXPECT_EQ(MoveState, 4) << points;
    }
    MoveState = 3;
    ForkState = 0;
  });
}

// A small board for the route policies: square 1 forks to 2 and 5; each
// way is a chain given by the test.
void Chain(std::initializer_list<std::pair<int, int32_t>> squares) {
  int previous = 1;
  for (auto [square, kind] : squares) {
    SquareRecord& s = SquareTable[square];
    s = SquareRecord{square, 100.0f * square, 100.0f, 0, kind, {0, 0, 0, 0}};
    if (previous == 1) {
      SquareTable[1].link[SquareTable[1].link[0] == 0 ? 0 : 1] = square;
    } else {
      SquareTable[previous].link[0] = square;
    }
    previous = square;
  }
}

void ForkBoard() {
  memset(SquareTable, 0, sizeof SquareTable);
  SquareTable[1] = SquareRecord{1, 0, 0, 0, kSquareBlue, {0, 0, 0, 0}};
  SetPlayers({true, true, true, true});
  Place(1, 1, 0);
  ForkCandidates[0] = 2;
  ForkCandidates[1] = 5;
  ForkCandidates[2] = ForkCandidates[3] = 0;
}

std::set<int> Routes(int calls) {
  std::set<int> chosen;
  for (int i = 0; i < calls; ++i) chosen.insert(FindCpuRoute(1));
  return chosen;
}

TEST(CpuRoutes, StarShopsRedSquaresAndEndlessLoops) {
  REQUIRE_MEDIA();
  RunGame({.seed = 9}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    PlayerRecord& cpu = PlayerTable[0];
    // Map 3 with coins for a star: the nearer star shop (3 squares against 4).
    CurrentMapId = 3;
    ForkBoard();
    Chain({{2, kSquareBlue}, {3, kSquareBlue}, {4, kSquareStarShop}});
    Chain({{5, kSquareBlue}, {6, kSquareBlue}, {7, kSquareBlue}, {8, kSquareStarShop}});
    cpu.coins = 20;
    EXPECT_EQ(Routes(10), (std::set<int>{2}));
    // The star shop itself is a candidate (the highest-numbered one).
    SquareTable[5].kind = kSquareStarShop;
    SquareTable[8].kind = kSquareBlue;
    EXPECT_EQ(Routes(10), (std::set<int>{5}));
    // Map 2 below 20 coins always avoids a predicted red landing; path
    // squares cost no point.
    CurrentMapId = 2;
    ForkBoard();
    Chain({{2, kSquareWay}, {3, kSquareRed}, {4, kSquareBlue}});
    Chain({{5, kSquareBlue}, {6, kSquareRed}});
    cpu.coins = 5;
    cpu.moveCount = 1;
    EXPECT_EQ(Routes(20), (std::set<int>{5}));
    cpu.moveCount = 2;
    EXPECT_EQ(Routes(20), (std::set<int>{2}));
    SquareTable[4].kind = kSquareRed;
    EXPECT_EQ(Routes(40), (std::set<int>{2, 5})) << "every way lands on red: either";
    // Loops without a fork or a star shop: the walks give up.
    for (int map : {2, 3}) {
      CurrentMapId = map;
      ForkBoard();
      Chain({{2, kSquareBlue}, {3, kSquareBlue}, {4, kSquareBlue}});
      Chain({{5, kSquareBlue}, {6, kSquareBlue}, {7, kSquareBlue}});
      SquareTable[4].link[0] = 2;
      SquareTable[7].link[0] = 5;
      SquareTable[20].kind = kSquareStarShop;  // out of reach
      cpu.coins = 25;
      std::set<int> chosen = Routes(30);
      EXPECT_TRUE(chosen.count(2) + chosen.count(5) == chosen.size()) << map;
      cpu.coins = 0;
      cpu.moveCount = 500;
      chosen = Routes(30);
      EXPECT_EQ(chosen, (std::set<int>{2, 5})) << "a loop is an open way: both may be taken, map " << map;
    }
    // Level 0 has no route; other CPU levels use level 1's.
    cpu.cpuLevel = 0;
    EXPECT_EQ(FindCpuRoute(1), 0);
    cpu.cpuLevel = 4;
    EXPECT_NE(FindCpuRoute(1), 0);
  });
}

}  // namespace
