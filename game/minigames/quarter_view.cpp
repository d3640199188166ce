// Minigame 31, quarter view.
#include "game/minigames/quarter_view.h"

#include "game/minigames/best_shot.h"
#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t QuarterViewStep = 0;
int32_t QuarterViewPlayStep = 0;
int32_t QuarterViewOutcomeStep = 0;
int32_t QuarterViewTiles[25] = {};
float QuarterViewOriginX = 320.0f, QuarterViewOriginY = 64.0f;
int32_t QuarterViewTimer = 0;
int32_t QuarterViewBlock = 0;

int32_t& QuarterViewScore(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& QuarterViewAFlag(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kBoardSize = 5;

const MinigameMedia kQuarterViewMedia[] = {
    MinigamePicture("media\\mini\\quarterview\\ground2.png", &QuarterViewBlock),
};

int LoadQuarterView() {
  if (LoadMinigameMedia(kQuarterViewMedia) < 0) return -1;
  DrawQuarterView();
  return 1;
}
void FreeQuarterView() { FreeMinigameMedia(kQuarterViewMedia); }

void SetUpQuarterView() {
  QuarterViewOriginX = 320.0f;
  QuarterViewOriginY = 64.0f;
  for (int32_t i = 0; i < kBoardSize * kBoardSize; ++i) QuarterViewTiles[i] = i % 2 == 0 ? 1 : 0;
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterViewScore(p) = 0;
    QuarterViewAFlag(p) = 0;
    ParticipantTable[p].x = 0.0f;
    ParticipantTable[p].y = 0.0f;
  }
  QuarterViewPlayStep = 0;
  QuarterViewOutcomeStep = 0;
  QuarterViewTimer = 0;
  DrawQuarterView();
}

constexpr MinigameSteps kQuarterView = {
    .step = &QuarterViewStep,
    .numbering = &kMinigameStepsA,
    .load = LoadQuarterView,
    .setUp = SetUpQuarterView,
    .draw = DrawQuarterView,
    .play = QuarterViewPlay,
    .outcome = QuarterViewOutcome,
    .unload = FreeQuarterView,
};

}  // namespace

int QuarterViewMain() { return RunMinigameSteps(kQuarterView); }

QuarterViewPoint QuarterViewPlace(int32_t row, int32_t column, int32_t w, int32_t h) {
  // Each diagonal (row + column) stands a quarter block lower than the one
  // behind it; along a diagonal the places stand a block width apart.
  return {static_cast<int32_t>(QuarterViewOriginX) + (column - row) * w / 2,
          static_cast<int32_t>(QuarterViewOriginY) + (row + column) * h / 4};
}

void DrawQuarterView() {
  DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  int32_t w = 0, h = 0;
  if (QueryGraphSize(QuarterViewBlock, &w, &h) != 0) w = h = 0;
  const uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t number = 0;
  for (int32_t d = 0; d < 2 * kBoardSize - 1; ++d) {
    int32_t row = d < kBoardSize - 1 ? d : kBoardSize - 1;
    int32_t column = d - row;
    for (; row >= 0 && column < kBoardSize; --row, ++column, ++number) {
      QuarterViewPoint at = QuarterViewPlace(row, column, w, h);
      // An empty place has no block.
      if (QuarterViewTiles[row * kBoardSize + column] == 1) DrawGraphAt(at.x - w / 2, at.y, QuarterViewBlock, 1);
      int32_t textWidth = GetFormatTextWidthToHandle(FontHandlesBySize[15], "%d", number);
      DrawFormatTextToHandle(at.x - textWidth / 2, at.y + h / 4 - 8, white, FontHandlesBySize[15], "%d", number);
    }
  }
}

int QuarterViewPlay() {
  DrawQuarterView();
  switch (QuarterViewPlayStep) {
    case 0:
      QuarterViewTimer = 0;
      QuarterViewPlayStep = 1;
      break;
    case 1:
      QuarterViewTimer = kPlayFrames;
      for (int32_t p = 1; p <= 4; ++p) {
        ParticipantTable[p].phase = 0;
        QuarterViewAFlag(p) = 0;
        ParticipantTable[p].bytes[0] = 0;
      }
      QuarterViewPlayStep = 2;
      break;
    case 2:
      for (int32_t p = 1; p <= 4; ++p) {
        if (IsHumanParticipant(p)) {
          ParticipantTable[p].reals[0] = 0.0f;
          if (IsNewParticipantPress(p, kButtonA)) QuarterViewAFlag(p) = 1;
        } else {
          BestShotCpu(p);
        }
      }
      if (QuarterViewTimer == 0) {
        QuarterViewPlayStep = 3;
        break;
      }
      --QuarterViewTimer;
      DrawNumber(QuarterViewTimer / 60 + 1, 320, 100, 1.0);
      break;
    case 3:
      QuarterViewPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int QuarterViewOutcome() {
  DrawQuarterView();
  switch (QuarterViewOutcomeStep) {
    case 0:
      QuarterViewOutcomeStep = 1;
      break;
    case 1: {
      // Everybody with the greatest score wins; nothing raises a score, so
      // all four win, and no coins go with the win.
      int32_t best = 0;
      for (int32_t p = 1; p <= 4; ++p)
        if (QuarterViewScore(p) > best) best = QuarterViewScore(p);
      for (int32_t p = 1; p <= 4; ++p)
        if (QuarterViewScore(p) == best) AwardParticipant(p, 0);
      QuarterViewOutcomeStep = 2;
      break;
    }
    case 2:
      QuarterViewOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
