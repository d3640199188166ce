// The board's map files: the map list "media\data\mapdata.csv" and a square
// file "media\data\map\<key>.csv", read as the game reads them.
//
// Input: a byte choosing the file (even: the map list; odd: the square file
// of map (byte >> 1) % 8, and a move of 1 + 3 x (byte >> 4) points), then the
// file's bytes, written to the working folder.
//
// Besides memory safety: every map name is NUL-terminated within its 12
// bytes; square 0 is never filled, no square lies past the file's lines,
// every kind is one a keyword names (or 0), and every link is 0 or a square
// the file filled (1 to the rows read). On the squares read, a CPU player's
// move from the first square with a link ends, on the square where its
// piece stands, having entered no more than 99 squares.
//
// The game library is not built for fuzzing (only the library is): the
// reader and the move are compiled into the target from their sources
// (game_sources.cpp), with the board's drawing and events standing in.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "game/board/board_helpers.h"
#include "game/board/board_map.h"
#include "game/board/dice_movement.h"
#include "game/board/party_scene.h"
#include "game/shell/player_table.h"
#include "library/core/random.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

bool KnownKind(int32_t kind) {
  static const int32_t kKinds[] = {0, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  for (int32_t k : kKinds)
    if (k == kind) return true;
  return false;
}

// One move of player 1, a CPU player, over the squares read: `points` to
// spend from the first square with a link. The squares are laid on a small
// grid first (their places do not steer the move, and far places would only
// make each step long).
void CheckMove(int32_t map, int32_t rows, int32_t points) {
  int32_t start = 0;
  for (int32_t s = 1; s <= rows && start == 0; ++s)
    for (int32_t link : SquareTable[s].link)
      if (link != 0) start = s;
  if (start == 0) return;
  for (int32_t s = 0; s < kSquareCount; ++s) {
    SquareTable[s].x = static_cast<float>(8 * (s % 10));
    SquareTable[s].y = static_cast<float>(8 * (s / 10));
  }
  SeedRandom(static_cast<uint32_t>(rows));
  CurrentMapId = map;
  WanderingSquare = 0;
  memset(PlayerTable, 0, sizeof PlayerTable);
  for (int32_t p = 0; p < 4; ++p) {
    PlayerTable[p].cpuFlag = 1;
    PlayerTable[p].cpuLevel = 1;
    PlayerTable[p].turnOrder = p + 1;
  }
  PlayerRecord& mover = PlayerTable[0];
  mover.square = start;
  mover.x = SquareTable[start].x;
  mover.y = SquareTable[start].y;
  mover.moveCount = points;
  CurrentPlayer = 1;
  MoveState = 3;
  ForkState = 0;
  StepState = 2;
  PassEventState = 2;
  PassEventKind = -1;
  memset(CpuWaitFrames, 0, sizeof CpuWaitFrames);
  memset(CoinPopups, 0, sizeof CoinPopups);
  int landing = 0;
  // Each square takes at most a fork's 60 frames, a step of a few dozen and
  // an event's few.
  for (int frame = 0; frame < 30000 && landing == 0; ++frame) {
    landing = MovePiece();
    FUZZ_CHECK(MoveSquaresWalked <= kMoveWalkLimit, "a move longer than 99 squares");
  }
  FUZZ_CHECK(landing != 0, "a move that does not end");
  FUZZ_CHECK(landing == mover.square, "a move that ends away from the piece");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint8_t which = in.Byte();
  const std::vector<uint8_t> file = in.Rest();
  if ((which & 1) == 0) {
    WriteScratchFile("media/data/mapdata.csv", file);
    memset(MapInfoTable, 0x5A, sizeof MapInfoTable);
    LoadMapData();
    for (const MapInfoRecord& map : MapInfoTable)
      FUZZ_CHECK(memchr(map.name, 0, sizeof map.name) != nullptr, "a map name without its end");
    return 0;
  }
  const int32_t map = (which >> 1) % 8;
  char key[16] = "";
  FUZZ_CHECK(GetBoardFolderName(map, key), "a map 0 to 7 without its folder key");
  WriteScratchFile(std::string("media/data/map/") + key + ".csv", file);
  memset(SquareTable, 0x5A, sizeof SquareTable);
  LoadBoardSquares(map);
  // Data rows start on the second line; each line holds one at most.
  int32_t lines = 1;
  for (uint8_t b : file) {
    if (b == 0xFF) break;
    lines += b == '\n';
  }
  const int32_t rows = std::min(lines - 1, kSquareCount - 1);
  const SquareRecord zero{};
  FUZZ_CHECK(memcmp(&SquareTable[0], &zero, sizeof zero) == 0, "square 0 filled");
  for (int32_t s = 1; s < kSquareCount; ++s) {
    const SquareRecord& square = SquareTable[s];
    if (s > rows) {
      FUZZ_CHECK(memcmp(&square, &zero, sizeof zero) == 0, "a square past the file's lines");
      continue;
    }
    FUZZ_CHECK(KnownKind(square.kind), "a kind no keyword names");
    for (int32_t link : square.link) FUZZ_CHECK(link >= 0 && link <= rows, "a link to a square the file has not");
  }
  CheckMove(map, rows, 1 + 3 * (which >> 4));
  return 0;
}
