// The map list, the square files, and the set-up of a new party's board.
#include "game/board/board_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/landing_effects.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/board/turn_machine.h"
#include "game/shell/csv_reader.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

MapInfoRecord MapInfoTable[kMapInfoRows] = {};
SquareRecord SquareTable[kSquareCount] = {};
int32_t WanderingSquare = 0;
int32_t WanderingSquareKind = 0;
int32_t WanderingSquareMove = 0;
int32_t SetUpBoardState = 0;

namespace {

const char kMapDataPath[] = "media\\data\\mapdata.csv";

const char* const kBoardFolderNames[8] = {"kelbrin", "thornyle", "zarvie", "cadris",
                                          "brimwold", "damuel", "urdena", "cardomina"};

struct KindKeyword {
  const char* keyword;
  int32_t kind;
};

const KindKeyword kKindKeywords[] = {
    {"blue", kSquareBlue},        {"red", kSquareRed},
    {"item", kSquareItem},        {"event", kSquareEvent},
    {"chance", kSquareChance},    {"fonterica", kSquareHouse},
    {"rabbit", kSquareRabbit},    {"way", kSquareWay},
    {"starshop", kSquareStarShop}, {"itemshop", kSquareItemShop},
    {"attackshop", kSquareMischiefShop}, {"round", kSquareRoundBonus},
    {"getkinoko", kSquareMushroom}, {"ovrelle", kSquareOvrelle},
    {"brounya", kSquareStoneShop}, {"warp", kSquareWarp},
    {"banquet", kSquareBanquet},  {"gimhole", kSquarePitfall},
    {"zanberiin", kSquareZanberi}, {"pseudomasu", kSquareFalse},
};

// Reads the rows of a table of `columns` fields a row into store(row,
// column, text), at most maxRows rows; a line feed or the last column ends
// a row (what follows the last column on its line is skipped). Returns the
// rows read; logs rows past the table.
template <class Store>
int32_t ReadCsvRows(CsvReader* reader, const char* path, int32_t columns, int32_t maxRows, Store store) {
  int32_t rows = 0;
  while (!reader->ended && rows < maxRows) {
    bool any = false;
    for (int32_t column = 0; column < columns; ++column) {
      char text[20];
      CsvFieldEnd end = ReadCsvField(reader, text, sizeof text);
      if (end == kCsvFileEnd && column == 0 && text[0] == '\0') break;  // nothing after the last line
      any = true;
      store(rows, column, text);
      if (end != kCsvComma) break;
      if (column == columns - 1) SkipCsvLine(reader);
    }
    if (!any) break;
    ++rows;
  }
  if (CsvHasMoreRows(reader)) WriteErrorLogFormat("%s: %d 行目より後の行は読みません", path, maxRows);
  return rows;
}

void PlaceAllPiecesOn(int32_t square, int32_t previous) {
  for (PlayerRecord& player : PlayerTable) {
    player.x = SquareTable[square].x;
    player.y = SquareTable[square].y;
    player.square = square;
    player.prevSquare = previous;
  }
  SquareTable[square].occupancy += 4;
}

// A blue square other than the one the pieces start on becomes the star
// shop; nothing when the board has no such square.
void PlaceStarShop(int32_t startSquare) {
  bool candidate = false;
  for (int32_t s = 1; s < kSquareCount; ++s)
    if (SquareTable[s].kind == kSquareBlue && s != startSquare) candidate = true;
  if (!candidate) {
    WriteErrorLog("スターショップを置ける青マスがありません");
    return;
  }
  int32_t r;
  do {
    r = GetRandomNumber(98) + 1;
  } while (SquareTable[r].kind != kSquareBlue || r == startSquare);
  SquareTable[r].kind = kSquareStarShop;
}

// Map 2: the ten warp squares joined in five random pairs, each warp's
// fourth link naming its partner.
void PairWarpSquares() {
  int32_t warps[10];
  int32_t count = 0;
  for (int32_t s = 1; s < kSquareCount && count < 10; ++s)
    if (SquareTable[s].kind == kSquareWarp) warps[count++] = s;
  memset(WarpPairs, 0, sizeof WarpPairs);
  int32_t pairs = 0;
  auto open = [&](int32_t j) { return j < count && SquareTable[warps[j]].link[3] == 0; };
  for (int32_t i = 0; i < count; ++i) {
    if (!open(i)) continue;
    bool partner = false;
    for (int32_t j = 0; j < count; ++j)
      if (j != i && open(j)) partner = true;
    if (!partner) {
      WriteErrorLogFormat("ワープマス %d の相手がありません", warps[i]);
      continue;
    }
    int32_t j;
    do {
      j = GetRandomNumber(9);
    } while (j == i || !open(j));
    SquareTable[warps[i]].link[3] = warps[j];
    SquareTable[warps[j]].link[3] = warps[i];
    if (pairs < 5) {
      WarpPairs[2 * pairs] = warps[i];
      WarpPairs[2 * pairs + 1] = warps[j];
      ++pairs;
    }
  }
}

}  // namespace

int32_t ParseSquareKind(const char* text) {
  for (const KindKeyword& k : kKindKeywords)
    if (strcmp(text, k.keyword) == 0) return k.kind;
  return kSquarePlain;
}

bool GetBoardFolderName(int32_t map, char* buffer) {
  if (map < 0 || map >= 8) return false;
  strcpy(buffer, kBoardFolderNames[map]);
  return true;
}

void LoadMapData() {
  CsvReader reader;
  if (!OpenCsvTable(&reader, kMapDataPath)) {
    WriteErrorLogFormat("%s が開けません", kMapDataPath);
    DrawTextWithDefaultFont(10, 10, kMapDataPath, MakeScreenColor(255, 255, 255), 0);
    PresentScreen();
    WaitAnyInputPress();
    ExitGame(-1, kMapDataPath);
  }
  memset(MapInfoTable, 0, sizeof MapInfoTable);
  ReadCsvRows(&reader, kMapDataPath, 4, kMapInfoRows, [](int32_t row, int32_t column, const char* text) {
    MapInfoRecord& map = MapInfoTable[row];
    switch (column) {
      case 0:
        StrCopy(map.name, text);
        break;
      case 1:
        map.height = CsvFieldToInt(text);
        break;
      case 2:
        map.width = CsvFieldToInt(text);
        break;
      default:
        map.extra = CsvFieldToInt(text);
        break;
    }
  });
  CloseCsvTable(&reader);
}

void LoadBoardSquares(int32_t mapId) {
  memset(SquareTable, 0, sizeof SquareTable);
  char key[16] = "";
  char path[64];
  bool named = GetBoardFolderName(mapId, key);
  FormatString(path, sizeof path, "media\\data\\map\\%s.csv", key);
  CsvReader reader;
  if (!named || !OpenCsvTable(&reader, path)) {
    WriteErrorLogFormat("%s が開けません (マップ %d)", path, mapId);
    MessageBoxA(nullptr, "マップデータが見つからないッス", "Load error", 0);
    ExitGame(-1, path);
  }
  int32_t rows = ReadCsvRows(&reader, path, 8, kSquareCount - 1, [](int32_t row, int32_t column, const char* text) {
    SquareRecord& square = SquareTable[row + 1];
    switch (column) {
      case 0:
        square.id = CsvFieldToInt(text);
        break;
      case 1:
        square.x = static_cast<float>(CsvFieldToInt(text));
        break;
      case 2:
        square.y = static_cast<float>(CsvFieldToInt(text));
        break;
      case 3:
        square.kind = ParseSquareKind(text);
        break;
      default:
        square.link[column - 4] = CsvFieldToInt(text);
        break;
    }
  });
  CloseCsvTable(&reader);
  for (int32_t s = 1; s <= rows; ++s) {
    // A piece walks to a square a few pixels a frame: a square far off the
    // board would hold a move for days.
    SquareRecord& square = SquareTable[s];
    if (std::fabs(square.x) > kSquareCoordinateLimit || std::fabs(square.y) > kSquareCoordinateLimit) {
      WriteErrorLogFormat("%s: マス %d の位置 (%.0f, %.0f) は盤の外です", path, s, square.x, square.y);
      square.x = std::clamp(square.x, -kSquareCoordinateLimit, kSquareCoordinateLimit);
      square.y = std::clamp(square.y, -kSquareCoordinateLimit, kSquareCoordinateLimit);
    }
  }
  for (int32_t s = 1; s <= rows; ++s)
    for (int32_t& link : SquareTable[s].link)
      if (link < 0 || link > rows) {
        WriteErrorLogFormat("%s: マス %d のリンク %d はありません", path, s, link);
        link = 0;
      }
}

int SetUpBoard() {
  switch (SetUpBoardState) {
    case 0:
      SetUpBoardState = 2;
      return 0;
    case 2:
      memset(StandingsTable, 0, sizeof StandingsTable);
      for (int32_t p = 1; p <= 4; ++p) {
        PlayerRecord& player = PlayerTable[p - 1];
        player.coins = 0;
        player.stars = 0;
        memset(player.items, 0, sizeof player.items);
        player.facing = 2;
        player.team = 0;
        player.squareColour = 0;
        KeyLatchTable[p].c = 0;
      }
      CenterCameraOnPlayer(1);
      for (int32_t& weight : MinigameWeights) weight = 3;
      PassageClosedRounds = -1;
      RoundEffect = 0;
      RoundEffectRoundsLeft = 0;
      switch (CurrentMapId) {
        case 0:
          SetUpBoardState = 3;
          break;
        case 1:
          SetUpBoardState = 4;
          break;
        case 2:
          SetUpBoardState = 5;
          break;
        case 3:
          PassageClosedRounds = 0;
          SetUpBoardState = 6;
          break;
        case 4:
          SetUpBoardState = 7;
          break;
        default:  // a map without board rules: set up as the plain maps
          WriteErrorLogFormat("マップ %d には盤の規則がありません", CurrentMapId);
          SetUpBoardState = 3;
          break;
      }
      memset(FatedOneCountdown, 0, sizeof FatedOneCountdown);
      WanderingSquare = 0;
      WanderingSquareKind = 0;
      WanderingSquareMove = 0;
      return 0;
    case 3:
    case 4:
      PlaceAllPiecesOn(1, 24);
      SetUpBoardState = 11;
      return 0;
    case 5:
      PlaceAllPiecesOn(1, 5);
      PairWarpSquares();
      memset(FatedOneCountdown, 0, sizeof FatedOneCountdown);
      PlaceStarShop(1);
      SetUpBoardState = 11;
      return 0;
    case 6:
      PlaceAllPiecesOn(68, 62);
      PlaceStarShop(68);
      SetUpBoardState = 11;
      return 0;
    case 7:
      for (PlayerRecord& player : PlayerTable) {
        int32_t square = GetRandomNumber(24) + 1;
        player.square = square;
        player.x = SquareTable[square].x;
        player.y = SquareTable[square].y;
        player.prevSquare = 0;
        SquareTable[square].occupancy += 1;
      }
      memset(ImpossibleRequestGiven, 0, sizeof ImpossibleRequestGiven);
      WanderingSquare = PickRandomColouredSquare();
      WanderingSquareKind = SquareTable[WanderingSquare].kind;
      for (int32_t p = 1; p <= 4; ++p) ShuffleSquareKinds(p);
      SetUpBoardState = 11;
      return 0;
    case 11:
      SetUpBoardState = 2;
      return 1;
    default:  // a state no step leads to: start over
      SetUpBoardState = 2;
      return 0;
  }
}

void ShuffleSquareKinds(int32_t player) {
  if (player < 1 || player > 4) return;
  bool taken[26] = {};
  int32_t held = PlayerTable[player - 1].square;
  if (held >= 1 && held <= 25) taken[held] = true;
  int32_t kinds[26];
  for (int32_t s = 1; s <= 25; ++s) kinds[s] = SquareTable[s].kind;
  bool markMoved = false;
  int32_t n = 24;
  for (int32_t source = 1; source <= 25; ++source, --n) {
    int32_t r = GetRandomNumber(n) + 1;
    int32_t target = 0;
    for (int32_t t = 1, free = 0; t <= 25; ++t) {
      if (taken[t]) continue;
      if (++free == r) {
        target = t;
        break;
      }
    }
    if (target == 0) continue;  // fewer free squares than r: this kind finds none
    SquareTable[target].kind = kinds[source];
    taken[target] = true;
    if (WanderingSquare == source && !markMoved) {
      WanderingSquare = target;
      markMoved = true;
    }
  }
}

int32_t PickRandomColouredSquare() {
  auto coloured = [](int32_t s) { return SquareTable[s].kind == kSquareBlue || SquareTable[s].kind == kSquareRed; };
  bool any = false;
  for (int32_t s = 1; s <= 25; ++s)
    if (coloured(s)) any = true;
  if (!any) return 0;
  int32_t r;
  do {
    r = GetRandomNumber(24) + 1;
  } while (!coloured(r));
  return r;
}
