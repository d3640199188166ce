// Reading "item.csv".
#include "game/shell/item_table.h"

#include <cstring>

#include "game/shell/csv_reader.h"
#include "game/shell/game_main.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

ItemRecord ItemTable[kItemTableRows] = {};

namespace {

const char kItemTablePath[] = "media\\data\\item.csv";

}  // namespace

void LoadItemTable() {
  CsvReader reader;
  if (!OpenCsvTable(&reader, kItemTablePath)) {
    WriteErrorLogFormat("%s が開けません", kItemTablePath);
    MessageBoxA(nullptr, "itemdata load error", "error", 0);
    ExitGame(-1, kItemTablePath);
  }
  memset(ItemTable, 0, sizeof ItemTable);
  for (int32_t row = 1; row < kItemTableRows && !reader.ended; ++row) {
    ItemRecord& item = ItemTable[row];
    for (int32_t field = 0; field < 4; ++field) {
      char text[100];
      CsvFieldEnd end = ReadCsvField(&reader, text, sizeof text);
      switch (field) {
        case 0:
          item.number = CsvFieldToInt(text);
          break;
        case 1:
          item.price = CsvFieldToInt(text);
          break;
        case 2:
          StrCopy(item.name, text);
          break;
        default:
          StrCopy(item.description, text);
          break;
      }
      if (end == kCsvFileEnd) break;
    }
    // A price below 0 would pay the buyer: the row is refused, so the item
    // does not exist (price 0) and no shop offers it.
    if (item.price < 0) {
      WriteErrorLogFormat("%s: %d 行目の値段 %d は使えません", kItemTablePath, row, item.price);
      item = ItemRecord{};
    }
  }
  if (CsvHasMoreRows(&reader))
    WriteErrorLogFormat("%s: %d 行目より後の行は読みません", kItemTablePath, kItemTableRows - 1);
  CloseCsvTable(&reader);
}
