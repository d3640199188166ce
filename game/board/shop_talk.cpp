// The shops' texts, page waits and choice lists.
#include "game/board/shop_talk.h"

#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int DrawShopText(int32_t textId, const char* text, int32_t player) {
  return DrawMessageText(501, textId, 294, 150, 200, 16, text, player);
}

void StartShopText(int32_t textId) {
  // The renderer restarts a text when its id changes; the same id as the
  // last text shown would otherwise carry on where that text stood.
  if (MessageTextId == textId) MessageTextState = 2;
}

bool IsCpuPlayer(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  return record != nullptr && record->cpuFlag != 0;
}

bool IsPageOver(int32_t player, int textResult, int32_t* counter, int32_t cpuFrames) {
  bool over = false;
  if (textResult == 1) {
    over = true;
  } else if (!IsCpuPlayer(player)) {
    over = IsNewButtonPress(player, kButtonA);
  } else if (textResult == -1) {
    if (*counter <= 50) ++*counter;
    over = *counter >= cpuFrames;
  }
  if (over) *counter = 0;
  return over;
}

void PlayShopSound(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

void DrawChoiceList(const ChoiceList& list, int32_t cursor) {
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t font = FontHandlesBySize[list.fontSize - 1];
  for (int32_t k = 0; k < list.count; ++k)
    DrawTextToHandle(list.x, list.y + list.step * k, list.labels[k], white, font, 0, 0);
  int32_t top = list.y + list.step * cursor - 10;
  DrawWindowFrame(list.frameLeft, top, list.frameRight, top + 40);
}

int RunChoiceList(const ChoiceList& list, int32_t player, int32_t* cursor, int32_t cpuTarget, int32_t* cpuCounter,
                  int32_t cpuFrames) {
  if (list.count <= 0) return kChoiceBack;
  if (*cursor < 0 || *cursor >= list.count) *cursor = 0;
  int result = kChoiceRunning;
  int32_t before = *cursor;
  if (IsCpuPlayer(player)) {
    if (++*cpuCounter >= cpuFrames) {
      *cpuCounter = 0;
      if (*cursor == cpuTarget || cpuTarget < 0 || cpuTarget >= list.count)
        result = *cursor;
      else
        *cursor = (*cursor + 1) % list.count;
    }
  } else {
    if (IsNewButtonPress(player, kButtonUp)) *cursor = (*cursor + list.count - 1) % list.count;
    if (IsNewButtonPress(player, kButtonDown)) *cursor = (*cursor + 1) % list.count;
    if (IsNewButtonPress(player, kButtonA)) {
      result = *cursor;
    } else if (IsNewButtonPress(player, kButtonB)) {
      result = kChoiceBack;
    }
  }
  if (*cursor != before) PlayShopSound(0);
  DrawChoiceList(list, *cursor);
  return result;
}
