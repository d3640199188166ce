// The round bonus.
#include "game/board/round_bonus.h"

#include <cstdlib>
#include <cstring>

#include "game/board/event_dialogue.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"

char* RoundBonusText = nullptr;
int32_t RoundBonusState = 0;
int32_t RoundBonusPortrait = 0;

namespace {

constexpr int32_t kRoundBonusTextBytes = kRoundBonusTextLines * kRoundBonusLineBytes;

// The text files' keys by map id; map 7 has none.
const char* const kRoundBonusKeys[7] = {"kelbrin", "zarvie", "cadris", "fonterica", "damuel", "urdena", "cardomina"};

const char* RoundBonusKey(int32_t map) { return map >= 0 && map < 7 ? kRoundBonusKeys[map] : nullptr; }

EventPageRecord BonusPage{};
bool BonusHasPages = false;    // false on a map without a text file: the coins only

const char* Line(int32_t n) { return RoundBonusText + kRoundBonusLineBytes * n; }

}  // namespace

void LoadRoundBonusText() {
  const char* key = RoundBonusKey(CurrentMapId);
  if (key == nullptr || RoundBonusText == nullptr) return;
  char path[64];
  FormatString(path, sizeof path, "media\\text\\roundbonus\\%s.txt", key);
  FileId file = FileStreamOpenRead(path, 0);
  if (file == 0) {
    WriteErrorLogFormat("%s が開けません", path);
    DrawTextWithDefaultFont(10, 10, path, MakeScreenColor(255, 255, 255), 0);
    PresentScreen();
    WaitAnyInputPress();
    ExitGame(-1, path);
  }
  char work[kRoundBonusLineBytes];
  bool cut = ReadTextLines(file, RoundBonusText, kRoundBonusTextLines, kRoundBonusLineBytes, work);
  // A character cut in two by the limit is left out whole.
  for (int32_t n = 0; n < kRoundBonusTextLines; ++n) {
    char* line = RoundBonusText + kRoundBonusLineBytes * n;
    line[WholeCharacterLength(line, strlen(line))] = '\0';
  }
  if (cut) WriteErrorLogFormat("%s: 59 バイトを超える行を切り詰めました", path);
  FileStreamClose(file);
}

int RunRoundBonus(int32_t player) {
  switch (RoundBonusState) {
    case 0:
      RoundBonusState = 1;
      return 0;
    case 1:
      RoundBonusText = static_cast<char*>(calloc(kRoundBonusTextBytes, 1));
      if (RoundBonusText == nullptr) ExitGame(1, "RunRoundBonus");
      RoundBonusState = 2;
      return 0;
    case 2:
      BonusPage = EventPageRecord{};
      BonusHasPages = RoundBonusKey(CurrentMapId) != nullptr;
      if (!BonusHasPages) WriteErrorLogFormat("マップ %d にラウンドボーナスのテキストがありません", CurrentMapId);
      LoadRoundBonusText();
      if (CurrentMapId != 1) RoundBonusPortrait = CurrentMapId + 2;
      RestartEventText();
      RoundBonusState = 3;
      return 0;
    case 3:
      if (DrawChoiceWindow(1, 0) == 1) RoundBonusState = BonusHasPages ? 4 : 6;
      return 0;
    case 4:
      DrawChoiceWindow(2, RoundBonusPortrait);
      if (RunEventPage(&BonusPage, 1, Line(0), player) == 1) {
        PlayEventSound(1);
        RoundBonusState = 5;
      }
      return 0;
    case 5:
      DrawChoiceWindow(2, RoundBonusPortrait);
      if (RunEventPage(&BonusPage, 0, Line(1), player) == 1) RoundBonusState = 6;
      return 0;
    case 6:
      DrawChoiceWindow(2, RoundBonusPortrait);
      if (BonusHasPages)
        DrawMessageText(kEventTextRight, 0, kEventTextLeft, kEventTextTop, kEventTextBottom, kEventTextSize, Line(1),
                        player);
      if (AnimateCoinChange(kRoundBonusCoins, player) == 1) RoundBonusState = BonusHasPages ? 7 : 8;
      return 0;
    case 7:
      DrawChoiceWindow(2, RoundBonusPortrait);
      if (RunEventPage(&BonusPage, 30, Line(2), player) == 1) {
        PlayEventSound(1);
        RoundBonusState = 8;
      }
      return 0;
    case 8:
      if (DrawChoiceWindow(3, 0) == 1) RoundBonusState = 9;
      return 0;
    default:
      free(RoundBonusText);
      RoundBonusText = nullptr;
      RoundBonusState = 0;
      return 1;
  }
}
