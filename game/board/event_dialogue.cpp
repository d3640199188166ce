// The board events' pages, lines and yes/no choice.
#include "game/board/event_dialogue.h"

#include <cstring>

#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

namespace {

bool IsCpu(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  return record != nullptr && record->cpuFlag != 0;
}

int DrawEventText(int32_t textId, const char* text, int32_t player) {
  return DrawMessageText(kEventTextRight, textId, kEventTextLeft, kEventTextTop, kEventTextBottom, kEventTextSize,
                         text, player);
}

uint32_t White() { return MakeScreenColor(255, 255, 255); }

}  // namespace

void RestartEventText() { MessageTextState = 2; }

void PlayEventSound(int32_t slot) {
  if (slot >= 0 && slot < kSoundEffectSlots) PlaySoundHandle(SoundEffectHandles[slot], 1, 1);
}

bool PageWaitDone(int32_t* wait, int32_t player, int32_t cpuFrames) {
  if (!IsCpu(player)) return IsNewButtonPress(player, kButtonA);
  if (*wait <= 50) ++*wait;
  return *wait == cpuFrames;
}

int RunEventPage(EventPageRecord* page, int32_t textId, const char* text, int32_t player) {
  int result = DrawEventText(textId, text, player);
  if (page->typed == 0) {
    if (result != 0) page->typed = 1;
    return 0;
  }
  if (!PageWaitDone(&page->wait, player, kCpuPageFrames)) return 0;
  *page = EventPageRecord{};
  return 1;
}

int RunEventLine(EventPageRecord* page, int32_t textId, const char* text, int32_t player) {
  int result = DrawEventText(textId, text, player);
  if (!IsCpu(player)) {
    // '@F' confirmed; a line without it (it reached its end) waits for A.
    if (result == 1) {
      *page = EventPageRecord{};
      return 1;
    }
    if (result == -1 && IsNewButtonPress(player, kButtonA)) {
      *page = EventPageRecord{};
      return 1;
    }
    return 0;
  }
  if (page->typed == 0) {
    if (result != 0) page->typed = 1;
    return 0;
  }
  if (!PageWaitDone(&page->wait, player, kCpuLineFrames)) return 0;
  *page = EventPageRecord{};
  return 1;
}

void ResetEventChoice(EventChoiceRecord* choice, int32_t cpuDecision) {
  choice->cursor = 0;
  choice->decision = cpuDecision == 1 ? 1 : 0;
  choice->frames = 0;
}

int RunEventChoice(EventChoiceRecord* choice, int32_t player, const char* first, const char* second) {
  int32_t font = FontHandlesBySize[19];
  DrawTextToHandle(320, 220, first, White(), font, 0, 0);
  DrawTextToHandle(320, 260, second, White(), font, 0, 0);
  int result = 0;
  if (IsCpu(player)) {
    if (++choice->frames >= kCpuPageFrames) {
      choice->frames = 0;
      if (choice->cursor == choice->decision) {
        result = choice->cursor + 1;
      } else {
        choice->cursor = choice->decision;
        PlayEventSound(0);
      }
    }
  } else {
    bool up = IsNewButtonPress(player, kButtonUp);
    bool down = IsNewButtonPress(player, kButtonDown);
    if (up || down) {
      choice->cursor ^= 1;
      PlayEventSound(0);
    }
    if (IsNewButtonPress(player, kButtonA)) result = choice->cursor + 1;
  }
  DrawWindowFrame(310, 210 + 40 * choice->cursor, 430, 250 + 40 * choice->cursor);
  return result;
}

void DrawCentredEventText(int32_t y, const char* text) {
  int32_t font = FontHandlesBySize[kEventTextSize - 1];
  int32_t width = GetTextWidthToHandle(text, static_cast<int32_t>(strlen(text)), font, 0);
  DrawTextToHandle(320 - width / 2, y, text, White(), font, 0, 0);
}

size_t WholeCharacterLength(const char* text, size_t length) {
  size_t at = 0;
  while (at < length) {
    unsigned char b = static_cast<unsigned char>(text[at]);
    size_t step = b >= 0x20 && b <= 0x7E ? 1 : 2;
    if (at + step > length) break;
    at += step;
  }
  return at;
}
