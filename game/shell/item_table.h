// The items players carry, "media\data\item.csv", read by scene 0: names,
// descriptions and prices for the item menu, the item square and the shops.
#pragma once

#include <cstdint>

struct ItemRecord {
  int32_t number;         // the first column, kept
  int32_t price;          // 0: the item does not exist
  char name[20];          // Shift-JIS
  char description[100];  // Shift-JIS
};
static_assert(sizeof(ItemRecord) == 128);

constexpr int kItemTableRows = 40;
// Data row n is item id n (1 to 39); record 0 holds no item. Its icon is
// ItemIcons[n - 1].
extern ItemRecord ItemTable[kItemTableRows];

// Reads the table: four fields a row (counted across the rows), each ending
// at ',' or at the line end (CR LF or LF); a field keeps 99 bytes at most,
// the name 19 and the description 99; rows past 39 are not read. A row whose
// price is below 0 is refused (logged, and left empty: no such item). A
// missing file ends the program after a message box.
void LoadItemTable();
