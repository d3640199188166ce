// The falling-block minigame played through the runner: the set-up's blocks
// and holes, the first piece and the next one, the sideways repeat, the hard
// drop and the lock on the third failed fall, a row clear, a covered runner
// raising its well, the end on a settled block in row 2 and the awards; the
// quarter turn at the well's edges; hostile piece files; four CPU players.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/minigames/falling_block.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int kFallingBlock = 29;

MinigameSeats Pairs(std::initializer_list<int> humans) {
  MinigameSeats seats = HumanSeats(humans);
  const int32_t teams[4] = {1, 1, 2, 2};
  for (int i = 0; i < 4; ++i) seats.team[i] = teams[i];
  return seats;
}

std::vector<int32_t> Row(int32_t well, int32_t row) {
  std::vector<int32_t> cells;
  for (int32_t c = 0; c < kBlockWellColumns; ++c) cells.push_back(BlockCell(well, row, c));
  return cells;
}

// The piece cells of a well as "row,column" pairs in index order.
std::string PieceCells(int32_t well) {
  std::string out;
  for (int32_t r = 0; r < kBlockWellRows; ++r)
    for (int32_t c = 0; c < kBlockWellColumns; ++c)
      if (BlockCell(well, r, c) == kBlockPiece) out += std::to_string(r) + "," + std::to_string(c) + " ";
  return out;
}

// Watches every dropper's spawns: the first piece is pattern 0 and every
// newly drawn next pattern differs from the one before it.
struct SpawnWatch {
  int32_t next[5] = {};
  int spawns[5] = {};
  bool firstWasZero[5] = {true, true, true, true, true};
  bool repeated = false;
  void Check() {
    for (int32_t p = 1; p <= 4; ++p) {
      if (BlockRole(p) != kBlockDropper || DropperStateTable[p][kDropperPattern] < 0) continue;
      int32_t now = DropperStateTable[p][kDropperNext];
      if (spawns[p] == 0 || now != next[p]) {
        if (spawns[p] == 0 && DropperStateTable[p][kDropperPattern] != 0) firstWasZero[p] = false;
        if (spawns[p] > 0 && DropperStateTable[p][kDropperPattern] != next[p]) repeated = true;
        if (now == next[p]) repeated = true;
        next[p] = now;
        ++spawns[p];
      }
    }
  }
};

TEST(FallingBlock, PlayedThroughTheRunner) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SpawnWatch watch;
    h.AddFrameHook([&](GameHarness&) {
      if (FallingBlockPlayStep == 3) watch.Check();
    });
    EnterMinigame(h, kFallingBlock, Pairs({1, 2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return FallingBlockPlayStep == 3; }, 600));

    // Team 1: participant 1 runs, 2 drops; team 2: 3 drops, 4 runs.
    EXPECT_EQ(BlockRole(1), kBlockRunner);
    EXPECT_EQ(BlockRole(2), kBlockDropper);
    EXPECT_EQ(BlockRole(3), kBlockDropper);
    EXPECT_EQ(BlockRole(4), kBlockRunner);
    // Rows 12 to 21 hold the same blocks in both wells, with the holes of
    // the counter (3 + row) mod 4: column 8 filled in rows 12, 16, 20,
    // column 1 in rows 14, 18, neither elsewhere.
    for (int32_t r = 0; r < kBlockWellRows; ++r) {
      if (r < 12) {
        for (int32_t c = 0; c < kBlockWellColumns; ++c)
          EXPECT_TRUE(BlockCell(1, r, c) == 0 || BlockCell(1, r, c) == kBlockPiece) << r;
        continue;
      }
      EXPECT_EQ(Row(1, r), Row(2, r)) << r;
      int32_t counter = (3 + r) % 4;
      EXPECT_EQ(BlockCell(1, r, 1) != 0, counter == 1) << r;
      EXPECT_EQ(BlockCell(1, r, 8) != 0, counter == 3) << r;
      for (int32_t c : {0, 2, 3, 4, 5, 6, 7, 9}) EXPECT_TRUE(BlockCell(1, r, c) >= 2 && BlockCell(1, r, c) <= 4);
    }
    EXPECT_EQ(BlockHoleCounters[1], 1);
    EXPECT_EQ(BlockHoleCounters[2], 1);
    EXPECT_EQ(ParticipantTable[1].x, 80.0f);
    EXPECT_EQ(BlockFacing(1), 5);
    // The first piece of both droppers is pattern 0 (the bar, in row 1).
    EXPECT_EQ(DropperStateTable[2][kDropperPattern], 0);
    EXPECT_EQ(DropperStateTable[3][kDropperPattern], 0);
    EXPECT_EQ(PieceCells(1), "1,3 1,4 1,5 1,6 ");
    EXPECT_EQ(ParticipantTable[2].x, 5.0f);
    EXPECT_EQ(ParticipantTable[2].y, 2.0f);

    // Row 11 filled but for columns 0 to 3, where the bar goes.
    for (int32_t c = 4; c < kBlockWellColumns; ++c) BlockCell(1, 11, c) = kBlockBlue;
    const std::vector<int32_t> row12 = Row(1, 12);

    // Left held for 17 frames: a move in the first frame and from the 15th
    // on, until column 0 stops the bar.
    h.HoldButton(2, kButtonLeft, 17);
    std::vector<float> columns;
    for (int i = 0; i < 17; ++i) {
      ASSERT_TRUE(h.Frame());
      columns.push_back(ParticipantTable[2].x);
    }
    std::vector<float> expected(17, 4.0f);
    expected[14] = 3.0f;
    expected[15] = expected[16] = 2.0f;
    EXPECT_EQ(columns, expected);
    EXPECT_EQ(PieceCells(1), "1,0 1,1 1,2 1,3 ");
    ASSERT_TRUE(h.Frame());

    // A hard drop (up) takes the bar to row 11; it locks on the third failed
    // fall, in the 180th frame counting the drop's.
    h.Tap(2, kButtonUp);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PieceCells(1), "11,0 11,1 11,2 11,3 ");
    EXPECT_EQ(ParticipantTable[2].y, 12.0f);
    int frames = 1;
    while (ParticipantTable[2].phase == kBlockFalling && frames < 400) {
      ASSERT_TRUE(h.Frame());
      ++frames;
      if (frames == 60) {
        EXPECT_EQ(DropperStateTable[2][kDropperLock], 1);
      }
    }
    EXPECT_EQ(frames, 180);
    EXPECT_EQ(ParticipantTable[2].phase, kBlockSettling);
    for (int32_t c = 0; c < 4; ++c) EXPECT_TRUE(BlockCell(1, 11, c) >= 2 && BlockCell(1, 11, c) <= 4);
    // 30 frames later the full row goes and the rows above come down.
    ASSERT_TRUE(h.Frames(29));
    EXPECT_EQ(ParticipantTable[2].phase, kBlockSettling);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ParticipantTable[2].phase, kBlockSpawnNext);
    EXPECT_EQ(Row(1, 11), std::vector<int32_t>(10, 0));
    EXPECT_EQ(Row(1, 12), row12);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ParticipantTable[2].phase, kBlockFalling);
    watch.Check();
    EXPECT_EQ(watch.spawns[2], 2);

    // A block on the runner: it goes back to (16, 64) facing 5, and its
    // well rises by a row whose hole follows the counter (1: column 8 open).
    ASSERT_TRUE(h.RunUntil([] { return BlockInAir(1) == 0; }, 60)) << "the runner lands on row 12";
    EXPECT_EQ(ParticipantTable[1].y, 184.5f);
    // The runner jumps (A) into a block above it: covered, it goes back to
    // (16, 64) facing 5, and its well rises by a row whose hole follows the
    // counter (1: column 8 open).
    BlockCell(1, 10, 5) = kBlockYellow;
    h.HoldButton(1, kButtonA, 3);
    std::vector<std::vector<int32_t>> before;
    float dropperRow = 0.0f;
    std::string piece;
    for (int i = 0; i < 3 && ParticipantTable[1].x != 16.0f; ++i) {
      before.clear();
      for (int32_t r = 0; r < kBlockWellRows; ++r) before.push_back(Row(1, r));
      dropperRow = ParticipantTable[2].y;
      piece = PieceCells(1);
      ASSERT_TRUE(h.Frame());
    }
    EXPECT_EQ(ParticipantTable[1].x, 16.0f);
    EXPECT_EQ(ParticipantTable[1].y, 64.0f);
    EXPECT_EQ(BlockFacing(1), 5);
    // Everything below the new piece moved up a row (a cell in row 0 has
    // no row above: it trades places with the one below).
    for (int32_t r = 4; r < kBlockWellRows - 1; ++r) EXPECT_EQ(Row(1, r), before[r + 1]) << r;
    EXPECT_EQ(BlockCell(1, 9, 5), kBlockYellow);
    EXPECT_NE(BlockCell(1, 21, 1), 0);
    EXPECT_EQ(BlockCell(1, 21, 8), 0);
    EXPECT_EQ(BlockHoleCounters[1], 2);
    EXPECT_EQ(BlockHoleCounters[2], 1);
    EXPECT_EQ(ParticipantTable[2].y, dropperRow - 1.0f) << "the centre follows its piece";

    // A piece left without a cell in its well (a turn drops cells that land
    // on blocks) locks at once instead of falling for ever.
    ASSERT_EQ(ParticipantTable[3].phase, kBlockFalling);
    for (int32_t& v : BlockWellTable)
      if (&v >= BlockWellTable + 2 * kBlockWellCells && v == kBlockPiece) v = 0;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ParticipantTable[3].phase, kBlockSettling);
    // A falling piece's cell in row 2 does not end play; a settled block
    // in row 2 of team 2's well does, in that frame; team 1 wins.
    BlockCell(2, 2, 0) = kBlockPiece;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(FallingBlockPlayStep, 3);
    BlockCell(2, 2, 9) = kBlockGreen;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(FallingBlockPlayStep, 7);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    EXPECT_GT(WinnerTextFrame, 0) << "the winner text was shown";
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 10, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 0, 0}));
    EXPECT_TRUE(watch.firstWasZero[2] && watch.firstWasZero[3]);
    EXPECT_FALSE(watch.repeated);
  });
}

// Four CPU players give no input: pieces fall straight down the middle until
// a well tops out. A second game in the same run starts from a fresh set-up
// and ends with both wells in one frame: a draw.
TEST(FallingBlock, FourCpuPlayersEndAndBothWellsAtOnceIsADraw) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SpawnWatch watch;
    bool moved = false;
    h.AddFrameHook([&](GameHarness&) {
      if (FallingBlockPlayStep != 3) return;
      watch.Check();
      for (int32_t p = 1; p <= 4; ++p) {
        if (BlockRole(p) == kBlockDropper && ParticipantTable[p].x != 5.0f) moved = true;
        if (BlockRole(p) == kBlockRunner && ParticipantTable[p].x != 80.0f && ParticipantTable[p].x != 16.0f)
          moved = true;
      }
    });
    h.SetStallLimit("FallingBlockPlay", 20000);
    MinigameOutcome out = PlayMinigame(h, kFallingBlock, Pairs({}), 20000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_FALSE(moved) << "a CPU never steers, rotates or runs";
    EXPECT_GT(watch.spawns[2], 3);
    EXPECT_TRUE(watch.firstWasZero[2] && watch.firstWasZero[3]);
    EXPECT_FALSE(watch.repeated);
    // The pair whose well stayed below row 2 wins.
    bool topped[3] = {};
    for (int32_t w = 1; w <= 2; ++w)
      for (int32_t c = 0; c < kBlockWellColumns; ++c)
        topped[w] |= BlockCell(w, 2, c) != 0 && BlockCell(w, 2, c) != kBlockPiece;
    ASSERT_NE(topped[1], topped[2]) << "seed 9 ends on one well";
    int32_t won = topped[1] ? 2 : 1;
    for (int32_t p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], ParticipantTable[p].team == won ? 10 : 0) << p;

    // The second game: the set-up starts everything again.
    bool poked = false;
    h.AddFrameHook([&](GameHarness&) {
      if (FallingBlockPlayStep == 3 && !poked) {
        poked = true;
        EXPECT_EQ(BlockHoleCounters[1], 1);
        EXPECT_EQ(ParticipantTable[1].x, 80.0f);
        for (int32_t p : {2, 3}) EXPECT_EQ(DropperStateTable[p][kDropperPattern], 0);
        BlockCell(1, 2, 4) = kBlockBlue;
        BlockCell(2, 2, 5) = kBlockYellow;
      }
    });
    out = PlayMinigame(h, kFallingBlock, Pairs({}), 2000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(poked) << "the second game was played";
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));
  });
}

// A quarter turn about the window's centre at the well's edges: the centre
// moves the turned piece back inside; cells of the other well or past the
// table are never read or written.
TEST(FallingBlock, QuarterTurnsAtTheEdges) {
  struct Case {
    const char* what;
    int32_t well, angle;
    float x, y;                        // the centre before
    std::vector<std::pair<int, int>> cells;  // the piece before
    int32_t result;
    float toX, toY;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"the bar turned upright", 1, 1, 5, 2, {{1, 3}, {1, 4}, {1, 5}, {1, 6}}, 1, 5, 2, "0,5 1,5 2,5 3,5 "},
      {"row 0: moved down", 1, 1, 5, 1, {{0, 3}, {0, 4}, {0, 5}, {0, 6}}, 1, 5, 2, "0,5 1,5 2,5 3,5 "},
      {"column 0: moved right twice", 1, -1, 0, 4, {{2, 0}, {3, 0}, {4, 0}, {5, 0}}, 1, 2, 4, "3,0 3,1 3,2 3,3 "},
      {"column 9: moved left", 2, 1, 9, 4, {{2, 9}, {3, 9}, {4, 9}, {5, 9}}, 1, 8, 4, "4,6 4,7 4,8 4,9 "},
      {"row 21 of well 2: the window ends at the table", 2, 1, 5, 20,
       {{20, 4}, {20, 5}, {21, 4}, {21, 5}}, 1, 5, 20, "19,3 19,4 20,3 20,4 "},
      {"row 21 of well 1: moved up twice, well 2 not read", 1, 1, 5, 22, {{21, 3}, {21, 4}, {21, 5}, {21, 6}}, 1, 5,
       20, "18,5 19,5 20,5 21,5 "},
  };
  for (const Case& c : cases) {
    std::memset(BlockWellTable, 0, sizeof BlockWellTable);
    for (int32_t p = 1; p <= 4; ++p) ParticipantTable[p].team = p <= 2 ? 1 : 2;
    int32_t p = c.well == 1 ? 2 : 3;
    ParticipantTable[p].x = c.x;
    ParticipantTable[p].y = c.y;
    for (auto [r, col] : c.cells) BlockCell(c.well, r, col) = kBlockPiece;
    // Another piece in the top rows of the other well.
    int32_t other = 3 - c.well;
    for (int32_t col = 0; col < 3; ++col) BlockCell(other, 0, col) = kBlockPiece;
    EXPECT_EQ(FallingBlockRotatePiece(c.angle, c.well, p), c.result) << c.what;
    EXPECT_EQ(PieceCells(c.well), c.after) << c.what;
    EXPECT_EQ(PieceCells(other), "0,0 0,1 0,2 ") << c.what;
    EXPECT_EQ(ParticipantTable[p].x, c.toX) << c.what;
    EXPECT_EQ(ParticipantTable[p].y, c.toY) << c.what;
  }
  // A turned cell that lands on a settled block is dropped.
  std::memset(BlockWellTable, 0, sizeof BlockWellTable);
  ParticipantTable[2].x = 5;
  ParticipantTable[2].y = 2;
  for (int32_t col = 3; col <= 6; ++col) BlockCell(1, 1, col) = kBlockPiece;
  BlockCell(1, 0, 5) = kBlockGreen;
  EXPECT_EQ(FallingBlockRotatePiece(1, 1, 2), 1);
  EXPECT_EQ(PieceCells(1), "1,5 2,5 3,5 ");
  EXPECT_EQ(BlockCell(1, 0, 5), kBlockGreen);
  std::memset(BlockWellTable, 0, sizeof BlockWellTable);
}

struct Source {
  std::string bytes;
  size_t at = 0;
  static char Next(void* context) {
    Source* s = static_cast<Source*>(context);
    return s->at < s->bytes.size() ? s->bytes[s->at++] : static_cast<char>(0xFF);
  }
};

// Seven patterns: a bar in row `row` of every pattern.
std::string Patterns(int row, const std::string& separator = ",") {
  std::string out;
  for (int k = 0; k < 7; ++k)
    for (int r = 0; r < 10; ++r)
      for (int c = 0; c < 10; ++c) {
        out += r == row && c >= 3 && c <= 6 ? '1' : (c == 0 ? '7' : '0');
        out += c < 9 ? separator : "\r\n";
      }
  return out;
}

TEST(FallingBlock, PieceFilesAreCheckedAtLoad) {
  std::string noSpawnRow = Patterns(4);
  for (size_t i = 0, cells = 0; i < noSpawnRow.size(); ++i) {
    if (noSpawnRow[i] != '0' && noSpawnRow[i] != '1' && noSpawnRow[i] != '7') continue;
    if (cells / 100 == 5 && noSpawnRow[i] == '1') noSpawnRow[i] = '0';
    if (cells / 100 == 5 && cells % 100 == 23) noSpawnRow[i] = '1';  // row 2: above the well
    ++cells;
  }
  std::string letter = Patterns(4);
  letter[letter.find('0', 400)] = 'x';
  const struct {
    const char* what;
    std::string bytes;
    BlockPatternsResult result;
    int32_t bad;
  } cases[] = {
      {"commas, CR LF, digits other than 1 empty", Patterns(4), kBlockPatternsOk, -1},
      {"no separators, pieces in the last row", Patterns(9, ""), kBlockPatternsOk, -1},
      {"cells beyond 700 are not read", Patterns(4) + "1x1", kBlockPatternsOk, -1},
      {"empty", "", kBlockPatternsShort, -1},
      {"699 cells", Patterns(4).substr(0, Patterns(4).size() - 3), kBlockPatternsShort, -1},
      {"0xFF ends the file", std::string(5, '1') + "\xff" + Patterns(4), kBlockPatternsShort, -1},
      {"a letter", letter, kBlockPatternsNotDigit, -1},
      {"pattern 5 only above the well", noSpawnRow, kBlockPatternsEmptyPiece, 5},
      {"all empty", std::string(700, '0'), kBlockPatternsEmptyPiece, 0},
  };
  for (const auto& c : cases) {
    int32_t table[kBlockPatternCells];
    for (int32_t& v : table) v = -9;
    Source s{c.bytes};
    int32_t bad = 99;
    EXPECT_EQ(ReadBlockPatterns(Source::Next, &s, table, &bad), c.result) << c.what;
    if (c.result == kBlockPatternsOk) {
      EXPECT_EQ(table[0], 7) << c.what;
      EXPECT_EQ(table[100 * 6 + 10 * (c.bytes.find(",") == std::string::npos ? 9 : 4) + 3], 1) << c.what;
    } else {
      EXPECT_EQ(table[0], -9) << c.what << ": a refused file changes nothing";
      if (c.result != kBlockPatternsNotDigit) {
        EXPECT_EQ(bad, c.bad) << c.what;
      }
    }
  }
}

TEST(FallingBlock, ARefusedPieceFileFailsTheLoad) {
  const std::string bad = std::string(700, '0');
  GameOptions options;
  options.files = {{"media/mini/tumbrick/block.csv", std::vector<uint8_t>(bad.begin(), bad.end())}};
  RunGame(options, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kFallingBlock, Pairs({1}), 600);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(WinnerTextStep, 0) << "no winner text";
    EXPECT_EQ(FallingBlockMainStep, 1) << "the next start loads again";
    EXPECT_TRUE(h.LogHas("media\\mini\\tumbrick\\block.csv"));
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
  });
}

}  // namespace
