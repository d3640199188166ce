// Reading "minidata.csv".
#include "game/shell/minigame_table.h"

#include <cstring>

#include "game/shell/csv_reader.h"
#include "game/shell/game_main.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

MinigameInfoRecord MinigameInfoTable[kMinigameInfoRows] = {};

namespace {

const char kMinigameTablePath[] = "media\\data\\minidata.csv";

void StoreField(MinigameInfoRecord& record, int32_t field, const char* text) {
  switch (field) {
    case 0:
      record.number = CsvFieldToInt(text);
      break;
    case 1:
      StrCopy(record.name, text);
      break;
    case 2:
      record.category = CsvFieldToInt(text);
      break;
    default:
      record.groupWord = CsvFieldToInt(text);
      break;
  }
}

}  // namespace

bool MinigameNumberHasEntry(int32_t number) {
  return number >= 1 && number <= 31 && number != 15 && number != 23 && number != 30;
}

void LoadMinigameTable() {
  CsvReader reader;
  if (!OpenCsvTable(&reader, kMinigameTablePath)) {
    WriteErrorLogFormat("%s が開けません", kMinigameTablePath);
    MessageBoxA(nullptr, "ミニゲームデータがありません", "読み込みエラー", 0);
    ExitGame(-1, kMinigameTablePath);
  }
  memset(MinigameInfoTable, 0, sizeof MinigameInfoTable);
  int32_t record = 1, field = 0;
  bool overflow = false;
  for (;;) {
    char text[40];
    CsvFieldEnd end = ReadCsvField(&reader, text, sizeof text);
    if (end == kCsvFileEnd) {
      if (record < kMinigameInfoRows) StoreField(MinigameInfoTable[record], 3, text);
      break;
    }
    if (record >= kMinigameInfoRows) {
      overflow = true;
      SkipCsvLine(&reader);
      continue;
    }
    StoreField(MinigameInfoTable[record], field, text);
    if (++field == 4) {
      field = 0;
      ++record;
    }
  }
  CloseCsvTable(&reader);
  if (overflow)
    WriteErrorLogFormat("%s: %d 行目より後の行は読みません", kMinigameTablePath, kMinigameInfoRows - 1);
  int32_t rows = record < kMinigameInfoRows ? record : kMinigameInfoRows - 1;
  for (int32_t r = 1; r <= rows; ++r) {
    const MinigameInfoRecord& info = MinigameInfoTable[r];
    bool placeholder = info.number == 0 && info.name[0] == '\0';
    if (!placeholder && !MinigameNumberHasEntry(info.number))
      WriteErrorLogFormat("%s: %d 行目の番号 %d のミニゲームはありません", kMinigameTablePath, r, info.number);
  }
}
