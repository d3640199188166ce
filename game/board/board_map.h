// The board's data: the list of board maps ("mapdata.csv"), the squares of
// the chosen map (its own square file), the square kinds and their
// keywords, and the set-up of a new party on the chosen map (pieces on
// their start squares, map 2's warp pairs, the star shop, map 4's shuffled
// squares), with the two square helpers the events use.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- map list

struct MapInfoRecord {
  char name[12];   // Shift-JIS, at most 11 bytes
  int32_t height;  // of the board picture, in pixels
  int32_t width;
  int32_t extra;  // the fourth column, unused
};
static_assert(sizeof(MapInfoRecord) == 24);

constexpr int kMapInfoRows = 10;
// Row r describes board map id r.
extern MapInfoRecord MapInfoTable[kMapInfoRows];

// The board maps a new party can be played on: the ids that have board rules.
constexpr int32_t kFirstPlayableMap = 1;
constexpr int32_t kLastPlayableMap = 4;

// ---------------------------------------------------------------- squares

// Square kind codes (the fourth column of a square file).
enum SquareKind : int32_t {
  kSquarePlain = 0,
  kSquareBlue = 2,
  kSquareRed = 3,
  kSquareItem = 4,
  kSquareEvent = 5,
  kSquareChance = 6,
  kSquareHouse = 7,   // "fonterica", map 4
  kSquareRabbit = 8,  // map 4
  kSquareWay = 10,
  kSquareStarShop = 11,
  kSquareItemShop = 12,
  kSquareMischiefShop = 13,
  kSquareRoundBonus = 14,
  kSquareMushroom = 15,
  kSquareOvrelle = 16,
  kSquareStoneShop = 17,  // "brounya"
  kSquareWarp = 18,
  kSquareBanquet = 19,
  kSquarePitfall = 20,  // "gimhole"
  kSquareZanberi = 21,
  kSquareFalse = 22,  // "pseudomasu"
};

struct SquareRecord {
  int32_t id;         // the first column, kept as read
  float x, y;         // centre on the board picture
  int32_t occupancy;  // pieces standing here
  int32_t kind;
  int32_t link[4];  // squares a piece may move on to, 0 = none; on map 2 a warp's fourth link is its partner
};
static_assert(sizeof(SquareRecord) == 36);

constexpr int kSquareCount = 100;
// How far from the board's origin a square may lie, in pixels either way.
constexpr float kSquareCoordinateLimit = 4096.0f;
// Record 0 is never filled; data row k of the square file is square k.
extern SquareRecord SquareTable[kSquareCount];

// The kind code of a keyword (exact, case-sensitive); any other text gives 0.
int32_t ParseSquareKind(const char* text);

// ---------------------------------------------------------------- map 4's wandering mark

extern int32_t WanderingSquare;      // the square under the mark, 0 = none
extern int32_t WanderingSquareKind;  // that square's kind when the mark came
extern int32_t WanderingSquareMove;  // 1: move the mark at the next turn start

// ---------------------------------------------------------------- loading

// The folder key of a board map 0 to 7 ("kelbrin", "thornyle", "zarvie",
// "cadris", "brimwold", "damuel", "urdena", "cardomina") into buffer (at
// least 10 bytes); a map outside 0..7 leaves the buffer unchanged and
// returns false.
bool GetBoardFolderName(int32_t map, char* buffer);

// Reads "media\data\mapdata.csv" into MapInfoTable (rows past 10 ignored).
// A missing file shows its path, waits for any input and ends the program.
void LoadMapData();
// Clears the 100 squares and reads "media\data\map\<key>.csv" of the map:
// eight columns a row (id, x, y, kind keyword, four links); rows past 99 are
// ignored and links outside 1..rows read as 0. A missing file (or a map
// without a key) ends the program after a message box.
void LoadBoardSquares(int32_t mapId);

// ---------------------------------------------------------------- set-up

// The step of SetUpBoard: 0 before the program's first set-up, 2 at the
// start of one, 3 to 7 the map's own rules, 11 done.
extern int32_t SetUpBoardState;
// One step of a new party's set-up on CurrentMapId; 1 when done, else 0
// (the party scene calls it in a loop within one frame).
int SetUpBoard();
// Deals the kinds of squares 1 to 25 anew over squares 1 to 25, leaving the
// square player p stands on as it is (one kind finds no square).
void ShuffleSquareKinds(int32_t player);
// A random square among 1 to 25 whose kind is blue or red; 0 when there is none.
int32_t PickRandomColouredSquare();
