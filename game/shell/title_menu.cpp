// The title screen and the main menu.
#include "game/shell/title_menu.h"

#include <cstring>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t TitlePicture = 0;
int32_t TitleStep = 0;
int32_t TitleBlinkCounter = 0;

const char* const MainMenuLabels[6] = {
    "パーティモード", "ミニゲームモード", "オプション", "ＥＸＩＴ", "ネット対戦モード", "ストーリーモード",
};
int32_t MainMenuStep = 0;
int32_t MainMenuCursor = 0;
int32_t MainMenuTarget = 0;
int32_t MainMenuScroll = 0;

namespace {

const char kTitleFile[] = "media\\other\\titleimage2.png";
const char kPushAnyButton[] = "push any button";

// The menu's window: (192, 254)-(448, 446), opened and closed over 20 calls.
int MenuWindow(int32_t command) { return DrawAnimatedWindow(254, 446, 192, 448, 20, command); }

void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

void DrawPushAnyButton() {
  int32_t font = FontHandlesBySize[23];
  int32_t width = GetTextWidthToHandle(kPushAnyButton, static_cast<int32_t>(strlen(kPushAnyButton)), font, 0);
  DrawTextToHandle(320 - width / 2, 350, kPushAnyButton, MakeScreenColor(255, 255, 255), font, 0, 0);
}

}  // namespace

void DrawTitlePicture() {
  int32_t height = 0;
  QueryGraphSize(TitlePicture, nullptr, &height);
  DrawGraphRotated(320, height / 2, 1.0, 0.0, TitlePicture, 1, 0);
}

int RunTitleScreen() {
  if (UpdateFade() == 1) TitleStep = 5;
  DrawGraphAt(0, 0, BackgroundPictures[0], 0);
  switch (TitleStep) {
    case 0:
      TitleBlinkCounter = 0;
      TitleStep = 1;
      break;
    case 1:
      // Each visit loads the picture again: the last visit's copy goes first.
      if (TitlePicture > 0) FreeGraph(TitlePicture);
      TitlePicture = LoadGraphFile(kTitleFile, 0);
      if (TitlePicture == -1) ExitGame(1, kTitleFile);
      TitleStep = 2;
      break;
    case 2:
      TitleStep = 3;
      break;
    case 3:
      DrawTitlePicture();
      // Held input counts: a button held on entry ends the title at once.
      if (FindActiveDevice() != 0) TitleStep = 4;
      // "push any button" shows 29 frames of every 61.
      ++TitleBlinkCounter;
      if (TitleBlinkCounter < 30) DrawPushAnyButton();
      if (TitleBlinkCounter > 60) TitleBlinkCounter = 0;
      break;
    case 4:
      FadeOutRequest = 1;
      DrawTitlePicture();
      break;
    case 5:
      DrawTitlePicture();
      TitleStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void DrawMainMenuList() {
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t k = 0; k < 5; ++k) {
    int32_t y = 30 + 30 * k;
    int32_t v = y + MainMenuScroll;
    int32_t size = v < 90 ? v / 4 + 1 : 46 - v / 4;
    if (size < 8 || size > 24) continue;
    const char* label = MainMenuLabels[((MainMenuCursor + 2 + k) % 4 + 4) % 4];
    int32_t font = FontHandlesBySize[size - 1];
    int32_t width = GetTextWidthToHandle(label, static_cast<int32_t>(strlen(label)), font, 0);
    DrawTextToHandle(320 - width / 2, y - size / 2 + MainMenuScroll + 260, label, white, font, 0, 0);
  }
}

int RunMainMenu() {
  if (UpdateFade() == 1) MainMenuStep = 9;
  DrawGraphAt(0, 0, BackgroundPictures[0], 0);
  DrawTitlePicture();
  switch (MainMenuStep) {
    case 0:
    case 1:
    case 2:
      ++MainMenuStep;
      break;
    case 3:
      if (MenuWindow(1) == 1) MainMenuStep = 4;
      break;
    case 4: {
      MenuWindow(2);
      DrawMainMenuList();
      // All three are read every frame; a later one overrides an earlier one.
      bool up = IsNewButtonPress(1, kButtonUp);
      bool down = IsNewButtonPress(1, kButtonDown);
      bool decide = IsNewButtonPress(1, kButtonA);
      if (up) {
        MainMenuTarget = (MainMenuCursor + 3) % 4;
        MainMenuStep = 5;
      }
      if (down) {
        MainMenuTarget = (MainMenuCursor + 1) % 4;
        MainMenuStep = 6;
      }
      if (decide) MainMenuStep = 7;
      break;
    }
    case 5:
    case 6: {
      MenuWindow(2);
      DrawMainMenuList();
      bool done;
      if (MainMenuStep == 5) {
        MainMenuScroll += 3;
        done = MainMenuScroll > 32;
      } else {
        MainMenuScroll -= 3;
        done = MainMenuScroll < -32;
      }
      if (done) {
        MainMenuCursor = MainMenuTarget;
        MainMenuScroll = 0;
        MainMenuStep = 4;
        PlayEffect(5);
      }
      break;
    }
    case 7:
      if (MenuWindow(3) == 1) MainMenuStep = 8;
      break;
    case 8:
      FadeOutRequest = 1;
      break;
    case 9:
      MainMenuStep = 0;
      return MainMenuCursor + 1;
    default:
      break;
  }
  return 0;
}
