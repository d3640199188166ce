// Minigame mode: the picker, the team screens and the play.
#include "game/shell/minigame_mode.h"

#include <cstring>

#include "game/minigames/minigame_runner.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

MinigameInfoRecord MinigamePickerPages[kPickerPages][kPickerPageEntries] = {};
int32_t MinigameModeStep = 0;
int32_t MinigamePickerStep = 0;
int32_t PickerPageOrder[3] = {0, 1, 2};
int32_t PickerCategoryCursor = 0;
int32_t PickerEntryCursor = 0;
int32_t PickerSlideOffset = 0;
int32_t PickerSlideFrames = 0;
int32_t PickerAlonePlayer = 1;
int32_t PickerPairSlots[5] = {0, 1, 2, 3, 4};
int32_t PickerChosenNumber = 0;
int32_t PickerCancelled = 0;

namespace {

constexpr int32_t kSlideFrames = 25;
constexpr int32_t kSlideStep = 15;

void PlayCursorSound() { PlaySoundHandle(SoundEffectHandles[0], 1, 1); }

int32_t FrontPage() { return PickerPageOrder[0]; }

// Every row of the table whose number names a minigame, on the page of its
// category, in table order; at most twelve a page.
void BuildPickerPages() {
  memset(MinigamePickerPages, 0, sizeof MinigamePickerPages);
  int32_t filled[kPickerPages] = {};
  for (const MinigameInfoRecord& row : MinigameInfoTable) {
    if (!MinigameNumberHasEntry(row.number)) continue;
    if (row.category < 0 || row.category >= kPickerPages) continue;
    int32_t& count = filled[row.category];
    if (count >= kPickerPageEntries) {
      WriteErrorLogFormat("ミニゲーム %d はページ %d に入りきりません", row.number, row.category);
      continue;
    }
    MinigamePickerPages[row.category][count++] = row;
  }
}

void DrawPage(int32_t page) {
  int32_t shift = page == PickerCategoryCursor ? PickerSlideOffset : 0;
  DrawGraphAt(50 - shift, 50, MinigameTextBackgrounds[page], 1);
  DrawGraphAt(0 - shift, 50 + 80 * page, MinigameTypeTags[page], 1);
  uint32_t black = MakeScreenColor(0, 0, 0);
  for (int32_t i = 0; i < kPickerPageEntries; ++i) {
    const MinigameInfoRecord& entry = MinigamePickerPages[page][i];
    char name[sizeof entry.name + 1] = {};
    memcpy(name, entry.name, sizeof entry.name);
    DrawTextToHandle(70 - shift, 50 + 32 * i, name, black, FontHandle30Type2, 0, 0);
  }
}

// Player p's face centred at (x, 240) with the player mark over it.
void DrawTeamFace(int32_t player, int32_t x) {
  const PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return;
  if (record->character >= 0 && record->character < kCharacterCount)
    DrawGraphRotated(x, 240, 1.0, 0.0, CharacterImageTable[record->character][0], 0, 0);
  DrawGraphRotated(x, 240, 1.0, 0.0, CharacterSelectPictures[player - 1], 1, 0);
}

// The team screen's box, frame and "ＶＳ"; the faces are the caller's.
void DrawTeamScreen() {
  DrawAlphaBox(150, 64, 176, 576, 304, MakeScreenColor(0, 0, 0));
  DrawWindowFrame(64, 176, 576, 304);
  DrawTextToHandle(293, 223, "ＶＳ", MakeScreenColor(255, 255, 255), FontHandle35, 0, 0);
}

// The alone player at the left, the other three in ascending order at the right.
void DrawOneAgainstThree() {
  DrawTeamScreen();
  DrawTeamFace(PickerAlonePlayer, 178);
  int32_t x = 398;
  for (int32_t p = 1; p <= 4; ++p)
    if (p != PickerAlonePlayer) {
      DrawTeamFace(p, x);
      x += 71;
    }
}

void DrawTwoAgainstTwo() {
  DrawTeamScreen();
  DrawTeamFace(PickerPairSlots[1], 140);
  DrawTeamFace(PickerPairSlots[2], 216);
  DrawTeamFace(PickerPairSlots[3], 434);
  DrawTeamFace(PickerPairSlots[4], 508);
}

// Slots 3 and 4: the two players not paired with player 1, in ascending order.
void FillOtherPair() {
  int32_t slot = 3;
  for (int32_t p = 2; p <= 4; ++p)
    if (p != PickerPairSlots[2]) PickerPairSlots[slot++] = p;
}

void SetTeam(int32_t player, int32_t team) {
  PlayerRecord* record = GetPlayer(player);
  if (record != nullptr) record->team = team;
}

void MovePageToFront(int32_t page) {
  int32_t order[3] = {page, 0, 0};
  int32_t n = 1;
  for (int32_t k : PickerPageOrder)
    if (k != page) order[n++] = k;
  memcpy(PickerPageOrder, order, sizeof order);
}

}  // namespace

int RunMinigamePicker() {
  if (UpdateFade() == 1) MinigamePickerStep = 9;
  DrawGraphAt(0, 0, BackgroundPictures[1], 0);
  for (int32_t k = 2; k >= 0; --k) DrawPage(PickerPageOrder[k]);
  switch (MinigamePickerStep) {
    case 0:
      BuildPickerPages();
      PickerPageOrder[0] = 0;
      PickerPageOrder[1] = 1;
      PickerPageOrder[2] = 2;
      PickerCategoryCursor = 0;
      PickerEntryCursor = 0;
      PickerSlideOffset = 0;
      MinigamePickerStep = 1;
      return 0;
    case 1:
      PickerAlonePlayer = 1;
      for (int32_t slot = 0; slot < 5; ++slot) PickerPairSlots[slot] = slot;
      MinigamePickerStep = 2;
      return 0;
    case 2:
      PickerCancelled = 0;
      MinigamePickerStep = 5;
      return 0;
    case 3: {
      DrawGraphRotated(10, 100 + 80 * PickerCategoryCursor, 1.0, 3.14159265358979 / 2, ArrowPicture, 1, 0);
      if (IsNewButtonPress(1, kButtonUp)) {
        PickerCategoryCursor = (PickerCategoryCursor + 2) % 3;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonDown)) {
        PickerCategoryCursor = (PickerCategoryCursor + 1) % 3;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonRight)) {
        PlayCursorSound();
        MinigamePickerStep = 5;
      } else if (IsNewButtonPress(1, kButtonA) && PickerCategoryCursor != FrontPage()) {
        PickerSlideFrames = 0;
        MinigamePickerStep = 4;
      } else if (IsNewButtonPress(1, kButtonB)) {
        PickerCancelled = 1;
        MinigamePickerStep = 8;
      }
      return 0;
    }
    case 4:  // the chosen page slides out, comes to the front and slides back
      if (PickerSlideFrames < kSlideFrames) {
        PickerSlideOffset += kSlideStep;
        if (++PickerSlideFrames == kSlideFrames) MovePageToFront(PickerCategoryCursor);
      } else {
        PickerSlideOffset -= kSlideStep;
        if (PickerSlideOffset <= 0) {
          PickerSlideOffset = 0;
          MinigamePickerStep = 3;
        }
      }
      return 0;
    case 5: {
      int32_t i = PickerEntryCursor;
      DrawWindowFrame(48, 44 + 32 * i, 352, 88 + 32 * i);
      if (IsNewButtonPress(1, kButtonUp)) {
        PickerEntryCursor = (i + 11) % 12;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonDown)) {
        PickerEntryCursor = (i + 1) % 12;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonLeft)) {
        PickerCategoryCursor = FrontPage();
        PlayCursorSound();
        MinigamePickerStep = 3;
      } else if (IsNewButtonPress(1, kButtonA)) {
        int32_t number = MinigamePickerPages[FrontPage()][i].number;
        if (number != 0) {
          PickerChosenNumber = number;
          if (FrontPage() == 0) {
            // Four each alone: no teams.
            for (int32_t p = 1; p <= 4; ++p) SetTeam(p, 0);
            MinigamePickerStep = 8;
          } else {
            MinigamePickerStep = FrontPage() == 1 ? 6 : 7;
          }
        }
      } else if (IsNewButtonPress(1, kButtonB)) {
        PickerCancelled = 1;
        MinigamePickerStep = 8;
      }
      return 0;
    }
    case 6:
      if (IsNewButtonPress(1, kButtonRight)) {
        PickerAlonePlayer = PickerAlonePlayer % 4 + 1;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonLeft)) {
        PickerAlonePlayer = (PickerAlonePlayer + 2) % 4 + 1;
        PlayCursorSound();
      }
      if (IsNewButtonPress(1, kButtonD)) {
        int32_t other;
        do {
          other = 1 + GetRandomNumber(3);
        } while (other == PickerAlonePlayer);
        PickerAlonePlayer = other;
        PlayCursorSound();
      }
      DrawOneAgainstThree();
      if (IsNewButtonPress(1, kButtonA)) {
        for (int32_t p = 1; p <= 4; ++p) SetTeam(p, p == PickerAlonePlayer ? 1 : 2);
        MinigamePickerStep = 8;
      } else if (IsNewButtonPress(1, kButtonB)) {
        MinigamePickerStep = 5;
      }
      return 0;
    case 7:
      if (IsNewButtonPress(1, kButtonD)) {
        int32_t partner;
        do {
          partner = 2 + GetRandomNumber(2);
        } while (partner == PickerPairSlots[2]);
        PickerPairSlots[1] = 1;
        PickerPairSlots[2] = partner;
        FillOtherPair();
        PlayCursorSound();
      }
      DrawTwoAgainstTwo();
      if (IsNewButtonPress(1, kButtonA)) {
        for (int32_t slot = 1; slot <= 4; ++slot) SetTeam(PickerPairSlots[slot], slot <= 2 ? 1 : 2);
        MinigamePickerStep = 8;
      } else if (IsNewButtonPress(1, kButtonB)) {
        MinigamePickerStep = 5;
      }
      return 0;
    case 8:
      FadeOutRequest = 1;
      return 0;
    case 9:
      MinigamePickerStep = 2;
      return PickerCancelled != 0 ? -1 : PickerChosenNumber;
    default:  // a step nothing leads to
      MinigamePickerStep = 2;
      return 0;
  }
}

int RunMinigameModeScene() {
  switch (MinigameModeStep) {
    case 0:
      MinigameModeStep = 1;
      return 0;
    case 1:
      PickerChosenNumber = 0;
      MinigameModeStep = 2;
      return 0;
    case 2: {
      int32_t result = RunMinigamePicker();
      if (result == -1)
        MinigameModeStep = 4;
      else if (result != 0)
        MinigameModeStep = 3;
      return 0;
    }
    case 3: {
      int32_t result = RunMinigame(PickerChosenNumber);
      if (result == 1 || result == -1) {
        MinigameModeStep = 1;
        StopAllBgm();
        PlaySoundHandle(MusicHandles[0], 1, 1);
      }
      return 0;
    }
    default:
      MinigameModeStep = 1;
      return 1;
  }
}
