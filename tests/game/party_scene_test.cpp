// The party scene and its autosave: the bytes of "backup.dat" at every round
// start against a writer of the file's own offsets, the round-start rules,
// save and restore, damaged files, write failures, the board music, and the
// data files whose absence ends the program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/coin_tally.h"
#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/board/turn_machine.h"
#include "game/shell/game_main.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/graphics/graph_handle.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/party_support.h"
#include "tests/support/test_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- the file's layout, written here on its own

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutInt(Bytes& b, size_t at, int32_t v) { Put32(b, at, static_cast<uint32_t>(v)); }
void PutReal(Bytes& b, size_t at, float v) {
  uint32_t bits;
  memcpy(&bits, &v, 4);
  Put32(b, at, bits);
}

// "backup.dat" as the game's state says it should be, from the file's
// offsets: u32 1 at 0; player p at 4 + 92p; map id 464; total turns 468;
// turns left 472; u32 0 at 476; square s at 480 + 36s; the fated-one
// countdown at 4080; the warp pairs at 4100.
Bytes ExpectedBackup() {
  Bytes b(4140, 0);
  Put32(b, 0, 1);
  for (int p = 1; p <= 4; ++p) {
    const PlayerRecord& r = PlayerTable[p - 1];
    size_t at = 4 + 92 * p;
    for (int i = 0; i < 11; ++i) b[at + i] = static_cast<uint8_t>(r.name[i]);
    b[at + 11] = r.cpuFlag;
    PutInt(b, at + 12, r.cpuLevel);
    PutInt(b, at + 16, r.character);
    PutInt(b, at + 20, r.turnOrder);
    PutInt(b, at + 24, r.coins);
    PutInt(b, at + 28, r.stars);
    PutInt(b, at + 32, r.placement);
    PutInt(b, at + 36, r.items[0]);
    PutInt(b, at + 40, r.items[1]);
    PutInt(b, at + 44, r.items[2]);
    PutInt(b, at + 48, r.itemInUse);
    PutInt(b, at + 52, r.team);
    PutInt(b, at + 56, r.facing);
    PutInt(b, at + 60, r.squareColour);
    PutInt(b, at + 64, r.moveCount);
    PutInt(b, at + 68, r.unused68);
    PutInt(b, at + 72, r.prevSquare);
    PutInt(b, at + 76, r.square);
    PutInt(b, at + 80, r.unused80);
    PutReal(b, at + 84, r.x);
    PutReal(b, at + 88, r.y);
  }
  PutInt(b, 464, CurrentMapId);
  PutInt(b, 468, TotalTurns);
  PutInt(b, 472, TurnsLeft);
  for (int s = 0; s < 100; ++s) {
    const SquareRecord& q = SquareTable[s];
    size_t at = 480 + 36 * s;
    PutInt(b, at, q.id);
    PutReal(b, at + 4, q.x);
    PutReal(b, at + 8, q.y);
    PutInt(b, at + 12, q.occupancy);
    PutInt(b, at + 16, q.kind);
    for (int k = 0; k < 4; ++k) PutInt(b, at + 20 + 4 * k, q.link[k]);
  }
  for (int i = 0; i < 5; ++i) PutInt(b, 4080 + 4 * i, FatedOneCountdown[i]);
  for (int i = 0; i < 10; ++i) PutInt(b, 4100 + 4 * i, WarpPairs[i]);
  return b;
}

int32_t IntAt(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

// The deterministic state the golden file holds (no media needed).
void PokeGoldenState() {
  PokePlayers();
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    r.coins = 10 + p;
    r.stars = p;
    r.placement = 4 - p;
    r.items[0] = p + 1;
    r.items[2] = 24;
    r.itemInUse = p == 1 ? 5 : 0;
    r.team = p % 2;
    r.facing = 2 * (p + 1);
    r.squareColour = p % 3 + 1;
    r.moveCount = p;
    r.prevSquare = 5 + p;
    r.square = 6 + p;
    r.x = 100.5f + p;
    r.y = -0.25f * p;
  }
  memset(SquareTable, 0, sizeof SquareTable);
  for (int s = 1; s <= 68; ++s) {
    SquareRecord& q = SquareTable[s];
    q.id = s;
    q.x = 33.0f * s;
    q.y = 1000.0f - 7.5f * s;
    q.occupancy = s == 6 ? 2 : 0;
    q.kind = s % 23;
    q.link[0] = s % 68 + 1;
    q.link[3] = s >= 59 ? 127 - s : 0;
  }
  CurrentMapId = 2;
  TotalTurns = 20;
  TurnsLeft = 17;
  const int32_t fated[5] = {0, 0, 2, 0, 1};
  memcpy(FatedOneCountdown, fated, sizeof fated);
  const int32_t pairs[10] = {59, 63, 60, 68, 61, 64, 62, 66, 65, 67};
  memcpy(WarpPairs, pairs, sizeof pairs);
}

std::string GoldenPath() { return std::string(ZR_SOURCE_DIR) + "/tests/game/golden/backup_round.dat"; }

TEST(Autosave, TheFileMatchesTheGoldenBytes) {
  PokeGoldenState();
  Bytes expected = ExpectedBackup();
  if (getenv("ZR_WRITE_GOLDEN") != nullptr) WriteFileBytes(GoldenPath(), expected);
  Bytes golden = ReadFileBytes(GoldenPath());
  ASSERT_EQ(golden.size(), 4140u);
  EXPECT_EQ(expected, golden) << "the test's own writer agrees with the golden file";
  ASSERT_EQ(WriteBackupFile(), 0);
  EXPECT_EQ(ReadFileBytes(TestScratchDir() + "/backup.dat"), golden);
  EXPECT_FALSE(std::filesystem::exists(TestScratchDir() + "/backup.dat.tmp"));
  // Spot checks of the layout, by literal offsets.
  EXPECT_EQ(IntAt(golden, 0), 1);
  EXPECT_EQ(IntAt(golden, 4 + 92 + 24), 10) << "player 1's coins";
  EXPECT_EQ(golden[4 + 92 * 3 + 11], 1) << "player 3 is a CPU";
  EXPECT_EQ(IntAt(golden, 4 + 92 * 4 + 76), 9) << "player 4's square";
  EXPECT_EQ(IntAt(golden, 464), 2);
  EXPECT_EQ(IntAt(golden, 472), 17);
  EXPECT_EQ(IntAt(golden, 480 + 36 * 59 + 32), 68) << "square 59's fourth link";
  EXPECT_EQ(IntAt(golden, 4100 + 4 * 3), 68);
  EXPECT_TRUE(IsBackupValid(golden.data(), golden.size()));
}

TEST(Autosave, DamagedFilesAreNotValid) {
  PokeGoldenState();
  const Bytes good = ExpectedBackup();
  ASSERT_TRUE(IsBackupValid(good.data(), good.size()));
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
  };
  const size_t p2 = 4 + 92 * 2;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  uint32_t nanBits, infBits;
  memcpy(&nanBits, &nan, 4);
  memcpy(&infBits, &inf, 4);
  const Case cases[] = {
      {"no party saved", 0, 0},
      {"map 0", 464, 0},
      {"map 5", 464, 5},
      {"12 turns", 468, 12},
      {"no turns left", 472, 0},
      {"more turns left than turns", 472, 21},
      {"a human of a CPU level", p2 + 12, 1},
      {"a CPU player of level 0", p2 + 92 + 12, 0},
      {"character 6", p2 + 16, 6},
      {"character -1", p2 + 16, -1},
      {"turn order 5", p2 + 20, 5},
      {"turn order twice", p2 + 20, 2},
      {"negative coins", p2 + 24, -1},
      {"negative stars", p2 + 28, -3},
      {"item 40", p2 + 36, 40},
      {"item -1 in slot 3", p2 + 44, -1},
      {"item in use 99", p2 + 48, 99},
      {"square 100", p2 + 76, 100},
      {"previous square -1", p2 + 72, -1},
      {"a NaN x", p2 + 84, static_cast<int32_t>(nanBits)},
      {"an infinite y", p2 + 88, static_cast<int32_t>(infBits)},
      {"a link to 100", 480 + 36 * 5 + 20, 100},
      {"a negative link", 480 + 36 * 99 + 32, -2},
      {"a square at NaN", 480 + 36 * 7 + 4, static_cast<int32_t>(nanBits)},
      {"a warp pair square 120", 4100 + 4 * 9, 120},
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    PutInt(bad, c.at, c.value);
    EXPECT_FALSE(IsBackupValid(bad.data(), bad.size())) << c.what;
  }
  Bytes name = good;
  memset(name.data() + p2, 'A', 11);
  EXPECT_FALSE(IsBackupValid(name.data(), name.size())) << "a name without its NUL";
  Bytes cpu = good;
  cpu[p2 + 11] = 2;
  EXPECT_FALSE(IsBackupValid(cpu.data(), cpu.size())) << "a CPU flag of 2";
  EXPECT_FALSE(IsBackupValid(good.data(), 4139));
  EXPECT_FALSE(IsBackupValid(good.data(), 0));
  EXPECT_FALSE(IsBackupValid(nullptr, 4140));
}

// Every frame until the party scene is left; after each round start the
// file written is checked against the state.
struct PartyRun {
  std::vector<Bytes> files;                // one per round start
  std::vector<int32_t> stateAfterStart;    // the state the round start chose
  std::vector<PlayerRecord> players;       // the players at the first round start
  std::vector<SquareRecord> squares;
};

PartyRun PlayParty(GameHarness& h, const std::function<void(int round)>& beforeRound = nullptr) {
  PartyRun run;
  const std::string file = h.workDir() + "/backup.dat";
  for (int guard = 0; guard < 4000 && SceneState == 8; ++guard) {
    int32_t before = PartySceneState;
    if (before == 3 && beforeRound) beforeRound(static_cast<int>(run.files.size()));
    if (before == 3) {
      run.players.assign(PlayerTable, PlayerTable + 4);
      run.squares.assign(SquareTable, SquareTable + 100);
    }
    Bytes expected = before == 3 ? ExpectedBackup() : Bytes();
    if (!h.Frame()) break;
    if (before == 3) {
      Bytes written = ReadFileBytes(file);
      EXPECT_EQ(written, expected) << "round start " << run.files.size() + 1;
      run.files.push_back(written);
      run.stateAfterStart.push_back(PartySceneState);
    }
  }
  return run;
}

// The board part of every round ends at once with minigame 1, the round's
// minigame and the results are passed over, and the slot and the coin tally
// end at once (each has tests of its own): the slot with no effect drawn.
// The opening is played through by presses of A.
void StartParty(GameHarness& h, int32_t map, int32_t turns) {
  h.AddFrameHook([](GameHarness&) {
    if (SceneState != 8) return;
    if (PartySceneState == 5 && TurnState == 0) {
      RoundMinigameRow = 1;
      TurnState = 10;
    }
    if (PartySceneState == 6) PartySceneState = 7;
    if (PartySceneState == 8) PartySceneState = 10;
    if (PartySceneState == 4 && SlotState == 0) {
      SlotResult = 0;
      SlotDarkness = 0;
      SlotState = 9;
    }
    if (PartySceneState == 7 && (TallyState == 0 || TallyState == 2)) TallyState = 9;
  });
  PressThroughOpening(h);
  PokePlayers();
  CurrentMapId = map;
  LoadBoardImages();
  TotalTurns = turns;
  TurnsLeft = turns;
  PartyRestored = 0;
  SceneState = 8;
}

TEST(PartyScene, AutosavesEveryRoundAndRestoresIt) {
  REQUIRE_MEDIA();
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());  // boot: the tables
    StartParty(h, 2, 10);
    int32_t firstPictures[4];
    memcpy(firstPictures, &BoardPictures[1], sizeof firstPictures);
    PartyRun run = PlayParty(h);
    ASSERT_EQ(run.files.size(), 10u);
    for (int round = 0; round < 10; ++round) {
      EXPECT_EQ(IntAt(run.files[round], 468), 10);
      EXPECT_EQ(IntAt(run.files[round], 472), 10 - round) << "turns left counts down";
      int32_t left = 10 - round;
      EXPECT_EQ(run.stateAfterStart[round], left == 6 || left == 1 ? 4 : 5) << "10 turns: the slot with 6 and 1 left";
    }
    EXPECT_EQ(SceneState, 2) << "back to the main menu";
    EXPECT_EQ(PartySceneState, 0);
    EXPECT_EQ(TurnsLeft, 0);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/backup.dat"), run.files.back()) << "nothing written after the last round";
    Bytes first = run.files.front();
    EXPECT_NE(IntAt(first, 4100), 0) << "map 2's warp pairs are saved";

    // Restore the first round over a changed state.
    unsigned char bytes[4140];
    memcpy(bytes, first.data(), sizeof bytes);
    ASSERT_TRUE(IsBackupValid(bytes, sizeof bytes));
    memset(PlayerTable, 0x5A, sizeof PlayerTable);
    memset(SquareTable, 0x33, sizeof SquareTable);
    CurrentMapId = 4;
    TotalTurns = 99;
    RoundEffect = 2;
    PartyRestored = 0;
    RestoreBackup(bytes);
    EXPECT_EQ(PartyRestored, 1);
    EXPECT_EQ(CurrentMapId, 2);
    EXPECT_EQ(TotalTurns, 10);
    EXPECT_EQ(TurnsLeft, 10);
    EXPECT_EQ(memcmp(PlayerTable, run.players.data(), sizeof PlayerTable), 0);
    EXPECT_EQ(memcmp(SquareTable, run.squares.data(), sizeof SquareTable), 0);
    EXPECT_EQ(ExpectedBackup(), first) << "every saved field is back";
    EXPECT_EQ(RoundEffect, 2) << "not saved, not restored";
    for (int slot = 1; slot <= 4; ++slot) {
      EXPECT_TRUE(IsGraphHandleValid(BoardPictures[slot])) << "the saved map's pictures are loaded";
      EXPECT_FALSE(IsGraphHandleValid(firstPictures[slot - 1])) << "the earlier party's pictures are freed";
    }
  });
}

TEST(PartyScene, RoundStartRules) {
  REQUIRE_MEDIA();
  RunGame({.seed = 9}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    // 15 turns on map 3: the slot runs with 11, 6 and 1 rounds left.
    StartParty(h, 3, 15);
    SquareRecord swapped[100];
    PartyRun run = PlayParty(h, [&](int round) {
      if (round == 0) {
        // Effect 5 (blue and red swapped) with one round to go, and the
        // passages closed as the closing event leaves them.
        for (SquareRecord& s : SquareTable) {
          if (s.kind == kSquareBlue) {
            s.kind = kSquareRed;
          } else if (s.kind == kSquareRed) {
            s.kind = kSquareBlue;
          }
        }
        memcpy(swapped, SquareTable, sizeof swapped);
        RoundEffect = 5;
        RoundEffectRoundsLeft = 1;
        for (int32_t& l : SquareTable[6].link)
          if (l == 9) l = 0;
        for (int32_t& l : SquareTable[47].link)
          if (l == 53) l = 0;
        PassageClosedRounds = 2;
      }
    });
    ASSERT_EQ(run.files.size(), 15u);
    for (int round = 0; round < 15; ++round) {
      int32_t left = 15 - round;
      EXPECT_EQ(run.stateAfterStart[round], left == 11 || left == 6 || left == 1 ? 4 : 5) << left;
    }
    // Round 1's file holds the swapped board; the round start swapped it back.
    EXPECT_EQ(IntAt(run.files[0], 480 + 36 * 1 + 16), swapped[1].kind);
    for (int s = 0; s < 100; ++s) {
      int32_t k = swapped[s].kind;
      int32_t back = k == kSquareBlue ? kSquareRed : k == kSquareRed ? kSquareBlue : k;
      EXPECT_EQ(IntAt(run.files[1], 480 + 36 * s + 16), back) << s;
    }
    auto hasLink = [](const Bytes& f, int square, int target) {
      for (int k = 0; k < 4; ++k)
        if (IntAt(f, 480 + 36 * square + 20 + 4 * k) == target) return true;
      return false;
    };
    EXPECT_FALSE(hasLink(run.files[0], 6, 9));
    EXPECT_FALSE(hasLink(run.files[1], 6, 9)) << "closed through the next round";
    EXPECT_TRUE(hasLink(run.files[2], 6, 9)) << "open again at the start of the round after";
    EXPECT_TRUE(hasLink(run.files[2], 47, 53));
    EXPECT_EQ(RoundEffect, 0);
  });
}

TEST(PartyScene, WriteFailuresKeepThePreviousFileAndPlayGoesOn) {
  REQUIRE_MEDIA();
  const Bytes previous(4140, 7);
  RunGame({.files = {{"backup.dat", previous}}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    std::filesystem::create_directory(h.workDir() + "/backup.dat.tmp");  // the temporary file cannot be made
    StartParty(h, 1, 10);
    for (int guard = 0; guard < 1500 && SceneState == 8; ++guard) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 2) << "the party went on to its end";
    ASSERT_EQ(h.messageBoxes().size(), 10u) << "one message a round";
    EXPECT_EQ(h.messageBoxes()[0].text, "バックアップ生成失敗");
    EXPECT_EQ(h.messageBoxes()[0].caption, "どういうことなの･･･");
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/backup.dat"), previous);
  });
  RunGame({}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    std::filesystem::create_directory(h.workDir() + "/backup.dat");  // nothing can be renamed over it
    StartParty(h, 1, 10);
    for (int guard = 0; guard < 1500 && SceneState == 8; ++guard) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(h.messageBoxes().size(), 10u);
    EXPECT_FALSE(std::filesystem::exists(h.workDir() + "/backup.dat.tmp")) << "the temporary file is removed";
  });
}

TEST(PartyScene, BoardMusicPerPartyAndWithoutIt) {
  REQUIRE_MEDIA();
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    StartParty(h, 1, 10);
    ASSERT_TRUE(h.Frame());
    int32_t first = BoardMusic;
    EXPECT_EQ(CheckSoundHandle(first), 0) << "loaded, not yet playing";
    ASSERT_TRUE(h.RunUntil([] { return PartySceneState >= 3; }, 1500));
    EXPECT_EQ(CheckSoundHandle(first), 1) << "started after the opening";
    for (int guard = 0; guard < 1500 && SceneState == 8; ++guard) ASSERT_TRUE(h.Frame());
    StartParty(h, 3, 10);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(CheckSoundHandle(first), -1) << "the previous party's music is deleted";
    EXPECT_EQ(CheckSoundHandle(BoardMusic), 0);
  });
  RunGame({.hiddenMedia = {"sound/BGM/蒼ノ月-AoNoTuki-.ogg"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    StartParty(h, 2, 10);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(BoardMusic, -1);
    EXPECT_EQ(SceneState, 8);
    EXPECT_EQ(GetSoundLoadType(), 0) << "later sounds load whole again";
    for (int guard = 0; guard < 1500 && SceneState == 8; ++guard) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 2) << "the party ran without music";
  });
}

// A scene handler that loads the squares of map 2.
int LoadZarvieSquares() {
  LoadBoardSquares(2);
  return 0;
}

TEST(DataFiles, AMissingTableEndsTheProgram) {
  REQUIRE_MEDIA();
  struct Case {
    const char* hidden;
    const char* text;
    const char* caption;
    int exitCode;
    int waits;
  };
  const Case cases[] = {
      {"data/minidata.csv", "ミニゲームデータがありません", "読み込みエラー", -1, 0},
      {"data/item.csv", "itemdata load error", "error", -1, 0},
      {"data/mapdata.csv", nullptr, nullptr, -1, 1},
      {"data/map/zarvie.csv", "マップデータが見つからないッス", "Load error", -1, 0},
  };
  for (const Case& c : cases) {
    RunGame({.hiddenMedia = {c.hidden}}, [&](GameHarness& h) {
      ASSERT_EQ(h.StartUpWithoutMedia(), 0);
      if (std::string(c.hidden) == "data/map/zarvie.csv") {
        ASSERT_TRUE(h.Frame());
        SceneHandlers[1] = &LoadZarvieSquares;
      }
      EXPECT_FALSE(h.Frames(2)) << c.hidden;
      EXPECT_TRUE(h.exited()) << c.hidden;
      EXPECT_EQ(h.exitCode(), c.exitCode) << c.hidden;
      EXPECT_EQ(h.waitAnyInputCalls(), c.waits) << c.hidden;
      if (c.text != nullptr) {
        ASSERT_EQ(h.messageBoxes().size(), 1u) << c.hidden;
        EXPECT_EQ(h.messageBoxes()[0].text, c.text);
        EXPECT_EQ(h.messageBoxes()[0].caption, c.caption);
      }
    });
  }
}

}  // namespace
