// The START and FINISH banners and the winner text.
#include "game/minigames/minigame_screens.h"

#include <cmath>

#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t StartBannerStep = 0;
int32_t StartBannerFrame = 0;
int32_t FinishBannerStep = 0;
int32_t FinishBannerFrame = 0;
int32_t WinnerTextStep = 0;
int32_t WinnerTextFrame = 0;

namespace {

constexpr float kLetterStarts[5][2] = {{120, 120}, {200, 280}, {280, 120}, {360, 280}, {440, 120}};

// The word's fading zoom trail of the frame c (0..9): eleven copies, each
// larger, centred on the word.
void DrawZoomTrail(const SpriteRecord& word, int32_t c) {
  SetDrawBlend(1, (9 - c) * 5);
  for (int32_t k = 0; k <= 10; ++k)
    DrawGraphRotated(static_cast<int32_t>(word.x), static_cast<int32_t>(word.y), 1.0 + 0.1 * k * c, 0.0, word.graph,
                     1, 0);
  SetDrawBlend(0, 255);
}

void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

// A white text of the 35-pixel font centred on x 320.
template <class... Args>
void DrawCentredText(int32_t y, const char* format, Args... args) {
  int32_t width = GetFormatTextWidthToHandle(FontHandle35, format, args...);
  DrawFormatTextToHandle(320 - width / 2, y, MakeScreenColor(255, 255, 255), FontHandle35, format, args...);
}

void DrawWinnerNames() {
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t winners[4];
  int32_t count = 0;
  for (int32_t p = 1; p <= 4; ++p)
    if (ParticipantTable[p].won == 1) winners[count++] = p;
  if (count == 0) {
    DrawCentredText(240, "Draw");
    return;
  }
  if (count == 1) {
    DrawCentredText(200, "Player%d Won", winners[0]);
    return;
  }
  DrawFormatTextToHandle(144, 200, white, FontHandle35, "Player%d", winners[0]);
  DrawFormatTextToHandle(340, 200, white, FontHandle35, "Player%d", winners[1]);
  if (count >= 3) DrawCentredText(160, "Player %d", winners[2]);
  // Four winners: the fourth name stands above the third.
  if (count == 4) DrawCentredText(120, "Player %d", winners[3]);
  DrawCentredText(240, "Won");
}

}  // namespace

int ShowStartBanner() {
  int32_t& c = StartBannerFrame;
  switch (StartBannerStep) {
    case 0:
      StartWordSprite.x = 320.0f;
      StartWordSprite.y = 240.0f;
      StartWordSprite.opacity = 255;
      StartWordSprite.scale = 1.0f;
      StartBannerStep = 1;
      break;
    case 1:
      StartBannerStep = 2;
      break;
    case 2:
      for (int i = 0; i < 5; ++i) {
        StartLetterSprites[i].opacity = 0;
        StartLetterSprites[i].x = kLetterStarts[i][0];
        StartLetterSprites[i].y = kLetterStarts[i][1];
      }
      c = 0;
      StartBannerStep = 4;
      break;
    case 4: {
      int lastArrived = 0;
      for (int i = 0; i < 5; ++i) {
        if (c <= 15 * i) continue;
        SpriteRecord& letter = StartLetterSprites[i];
        lastArrived = MoveSpriteToward(&letter, kLetterStarts[i][0]);
        letter.opacity += 8;
        if (lastArrived == 1 || letter.opacity > 255) letter.opacity = 255;
      }
      ++c;
      if (lastArrived == 1) {
        PlayEffect(10);
        c = 0;
        StartBannerStep = 5;
      }
      for (const SpriteRecord& letter : StartLetterSprites) {
        SetDrawBlend(1, letter.opacity);
        DrawGraphAt(static_cast<int32_t>(letter.x), static_cast<int32_t>(letter.y), letter.graph, 1);
      }
      SetDrawBlend(0, 255);
      break;
    }
    case 5:
      SetDrawFilterMode(1);
      SetDrawBlend(1, 200);
      DrawGraphStretched(70 - 40 * c, 40 - 40 * c, 570 + 40 * c, 440 + 40 * c, StartCircleImage, 1);
      SetDrawFilterMode(0);
      SetDrawBlend(0, 255);
      DrawSpriteRecord(StartWordSprite);
      if (c < 10) DrawZoomTrail(StartWordSprite, c);
      if (c >= 20) StartBannerStep = 6;
      ++c;
      break;
    case 6:
      StartBannerStep = 2;
      return 1;
    default:
      break;
  }
  return 0;
}

int ShowFinishBanner() {
  int32_t& c = FinishBannerFrame;
  switch (FinishBannerStep) {
    case 0:
      FinishWordSprite.x = 320.0f;
      FinishWordSprite.y = 200.0f;
      FinishWordSprite.opacity = 255;
      FinishBannerStep = 1;
      break;
    case 1:
      FinishBannerStep = 2;
      break;
    case 2:
      FinishWordSprite.scale = 0.4f;
      c = 0;
      PlayEffect(9);
      FinishBannerStep = 4;
      break;
    case 4:
      if (std::fabs(FinishWordSprite.scale - 1.0f) >= 0.00001f)
        FinishWordSprite.scale += 0.2f;
      else
        FinishBannerStep = 5;
      DrawSpriteRecord(FinishWordSprite);
      break;
    case 5:
      DrawSpriteRecord(FinishWordSprite);
      if (c < 10) DrawZoomTrail(FinishWordSprite, c);
      if (c >= 20) FinishBannerStep = 6;
      ++c;
      break;
    case 6:
      FinishBannerStep = 2;
      return 1;
    default:
      break;
  }
  return 0;
}

int ShowMinigameWinners() {
  int32_t& c = WinnerTextFrame;
  switch (WinnerTextStep) {
    case 0:
    case 1:
      ++WinnerTextStep;
      break;
    case 2:
      c = 0;
      WinnerTextStep = 3;
      break;
    case 3:
      if (++c > 20) {
        c = 0;
        WinnerTextStep = 4;
      }
      break;
    case 4:
      DrawWinnerNames();
      if (c > 100) WinnerTextStep = 6;
      ++c;
      break;
    case 6:
      WinnerTextStep = 2;
      return 1;
    default:
      break;
  }
  return 0;
}
