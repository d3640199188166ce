// The list of minigames, "media\data\minidata.csv", read by scene 0: what
// the board's minigame choice, the explanation screen and the picker of
// minigame mode know of each minigame.
#pragma once

#include <cstdint>

struct MinigameInfoRecord {
  char name[40];      // Shift-JIS, NUL-terminated
  int32_t number;     // the number RunMinigame takes
  int32_t groupWord;  // kept; nothing chooses by it
  int32_t category;   // 0 four alone, 1 one against three, 2 two against two
};
static_assert(sizeof(MinigameInfoRecord) == 52);

constexpr int kMinigameInfoRows = 70;
// Record 0 stays empty; data row r fills record r (at most 69 rows).
extern MinigameInfoRecord MinigameInfoTable[kMinigameInfoRows];

// Reads the table. Fields are counted across the rows, four to a record (a
// short row shifts the fields after it); the text after the last line feed
// becomes the group word of one more record. A field keeps 39 bytes at
// most, rows past 69 are ignored, and a row whose number has no minigame is
// logged. A missing file ends the program after a message box.
void LoadMinigameTable();
// True for the numbers that have a minigame: 1 to 31 except 15, 23 and 30.
bool MinigameNumberHasEntry(int32_t number);
