// Minigame 12, quarter action.
#include "game/minigames/quarter_action.h"

#include <initializer_list>

#include "game/minigames/best_shot.h"
#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/minigames/quarter_jump.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t QuarterActionStep = 0;
int32_t QuarterActionPlayStep = 0;
int32_t QuarterActionOutcomeStep = 0;
int32_t QuarterActionTimer = 0;
QuarterActionTile QuarterActionTiles[kQuarterActionTiles] = {};
float QuarterActionOrigin[2] = {320.0f, 64.0f};
QuarterActionWalker QuarterActionWalkers[5] = {};

int32_t& QuarterActionDirection(int32_t p) { return ParticipantTable[p].ints[0]; }

namespace {

constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kWinnerCoins = 10;
constexpr float kWalkSpeed = 3.0f;
constexpr int32_t kBoardSide = 10;
constexpr int32_t kDrawnLayers = 3;
// A CPU waits this many frames, plus up to as many again, before a step.
constexpr int32_t kCpuWait = 8;
// Fill colours of the owners' marks, participants 1 to 4.
constexpr uint8_t kOwnerColours[5][3] = {{0, 0, 0}, {230, 60, 60}, {60, 100, 240}, {240, 210, 40}, {60, 190, 80}};

int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

// Steps of `step` added to `line` while it stays below y (at most past the
// far edge of the board).
int32_t StepsBelow(int32_t line, int32_t step, int32_t y) {
  int32_t n = 0;
  while (n < kBoardSide && line + n * step < y) ++n;
  return n;
}

void SetUpQuarterAction() {
  QuarterActionOrigin[0] = 320.0f;
  QuarterActionOrigin[1] = 64.0f;
  for (QuarterActionTile& t : QuarterActionTiles) t = {0, 1};
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = QuarterActionOrigin[0];
    r.y = QuarterActionOrigin[1];
    r.reals[0] = r.reals[1] = 0.0f;
    QuarterActionDirection(p) = 5;
    QuarterActionWalkers[p] = {};
    QuarterActionWalkers[p].target = -1;
    QuarterActionWalkers[p].facing = 2;
    QuarterActionWalkers[p].from = -1;
    CpuWorkTable[p].counter = 0;
  }
  QuarterActionTimer = kPlayFrames;
  DrawQuarterAction();
}

int LoadQuarterAction() {
  int result = LoadQuarterPictures();
  if (result == 1) DrawQuarterAction();
  return result;
}

// The neighbour of (row, column) in the step's direction when it lies on the
// board over a ground block, else (row, column) itself.
int32_t StepTarget(int32_t row, int32_t column, int32_t step) {
  int32_t r = row, c = column;
  if (step == 2 && row < kBoardSide - 1) ++r;
  if (step == 8 && row > 0) --r;
  if (step == 4 && column > 0) --c;
  if (step == 6 && column < kBoardSide - 1) ++c;
  r = Clamp(r, 0, kBoardSide - 1);
  c = Clamp(c, 0, kBoardSide - 1);
  if (QuarterActionTiles[r * kBoardSide + c].block == 0) {
    r = Clamp(row, 0, kBoardSide - 1);
    c = Clamp(column, 0, kBoardSide - 1);
  }
  return r * kBoardSide + c;
}

int32_t ReduceDirection(int32_t digit) {
  if (digit >= 7 && digit <= 9) return 8;
  if (digit >= 1 && digit <= 3) return 2;
  if (digit == 4 || digit == 6) return digit;
  return 5;
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterActionDirection(p) = 5;
    if (IsHumanParticipant(p)) {
      QuarterActionDirection(p) = GetPadDirection(p);
      if (IsNewParticipantPress(p, kButtonA)) QuarterActionWalkers[p].action = 1;
    } else {
      BestShotCpu(p);
      QuarterActionCpu(p);
    }
  }
  QuarterActionWalk();
  DrawQuarterAction();
  if (QuarterActionTimer == 0) {
    QuarterActionPlayStep = 3;
    return;
  }
  --QuarterActionTimer;
  DrawNumber(QuarterActionTimer / 60 + 1, 320, 24, 1.0);
}

constexpr MinigameSteps kQuarterAction = {
    .step = &QuarterActionStep,
    .numbering = &kMinigameStepsA,
    .load = LoadQuarterAction,
    .setUp = SetUpQuarterAction,
    .draw = DrawQuarterAction,
    .play = QuarterActionPlay,
    .outcome = QuarterActionOutcome,
    .unload = FreeQuarterPictures,
};

}  // namespace

int QuarterActionMain() { return RunMinigameSteps(kQuarterAction); }

void QuarterTilePosition(int32_t tile, float* x, float* y) {
  int32_t hw = QuarterGroundWidth / 2;
  int32_t row = tile / kBoardSide % kBoardSide, column = tile % kBoardSide;
  float ox = QuarterActionOrigin[0], oy = QuarterActionOrigin[1];
  int32_t sx = static_cast<int32_t>(ox - static_cast<float>(hw * row)) + column * hw;
  *x = static_cast<float>(sx);
  *y = static_cast<float>(static_cast<int32_t>(oy - ox / 2.0f + static_cast<float>(QuarterGroundHeight * row / 2)) +
                          sx / 2);
}

int32_t QuarterTileAt(int32_t x, int32_t y) {
  float ox = QuarterActionOrigin[0], oy = QuarterActionOrigin[1];
  int32_t h = QuarterGroundHeight;
  int32_t rowLine = static_cast<int32_t>(oy - ox / 2.0f + static_cast<float>(h / 4)) + x / 2;
  int32_t columnLine = static_cast<int32_t>(oy + ox / 2.0f + static_cast<float>(h / 4)) - x / 2;
  return StepsBelow(rowLine, h / 2, y) * kBoardSide + StepsBelow(columnLine, h / 2, y);
}

void QuarterActionWalk() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    QuarterActionWalker& w = QuarterActionWalkers[p];
    if (w.target == -1) {
      int32_t step = ReduceDirection(QuarterActionDirection(p));
      QuarterActionDirection(p) = step;
      if (step != 5) w.facing = step;
      int32_t tile = QuarterTileAt(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y));
      w.from = Clamp(tile / kBoardSide, 0, kBoardSide - 1) * kBoardSide + Clamp(tile % kBoardSide, 0, kBoardSide - 1);
      w.target = StepTarget(tile / kBoardSide, tile % kBoardSide, step);
    }
    if (w.target == -1) continue;
    float tx, ty;
    QuarterTilePosition(w.target, &tx, &ty);
    ty -= static_cast<float>(w.target / 100 * QuarterGroundHeight / 4);
    Vector2f v = GetUnitVector(tx - r.x, ty - r.y);
    r.reals[0] = v.x * kWalkSpeed;
    r.reals[1] = v.y * kWalkSpeed;
    r.x += r.reals[0];
    r.y += r.reals[1];
    if (HitCircleCircle(r.x, r.y, 2.0f, tx, ty, 2.0f)) {
      r.x = tx;
      r.y = ty;
      if (w.target != w.from) QuarterActionTiles[w.target % 100].owner = p;
      w.target = -1;
    }
  }
}

void QuarterActionCpu(int32_t p) {
  if (QuarterActionWalkers[p].target != -1) return;
  CpuWorkRecord& cpu = CpuWorkTable[p];
  if (cpu.counter == 0) {
    cpu.counter = kCpuWait + GetRandomNumber(kCpuWait);
    return;
  }
  if (--cpu.counter > 0) return;
  const ParticipantRecord& r = ParticipantTable[p];
  int32_t tile = QuarterTileAt(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y));
  int32_t row = tile / kBoardSide, column = tile % kBoardSide;
  int32_t steps[4], count = 0, fresh[4], freshCount = 0;
  for (int32_t step : {2, 4, 6, 8}) {
    int32_t target = StepTarget(row, column, step);
    if (target == Clamp(row, 0, 9) * kBoardSide + Clamp(column, 0, 9)) continue;
    steps[count++] = step;
    if (QuarterActionTiles[target].owner != p) fresh[freshCount++] = step;
  }
  if (freshCount > 0)
    QuarterActionDirection(p) = fresh[GetRandomNumber(freshCount - 1)];
  else if (count > 0)
    QuarterActionDirection(p) = steps[GetRandomNumber(count - 1)];
}

int32_t QuarterActionTileCount(int32_t p) {
  int32_t count = 0;
  for (int32_t i = 0; i < kBoardSide * kBoardSide; ++i)
    if (QuarterActionTiles[i].owner == p) ++count;
  return count;
}

void DrawQuarterAction() {
  DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  int32_t w = QuarterGroundWidth, h = QuarterGroundHeight;
  // The tile's point is the middle of its top block's upper face.
  int32_t faceOffset = h / 2 - w / 4;
  for (int32_t d = 0; d < 2 * kBoardSide - 1; ++d) {
    for (int32_t row = d < kBoardSide ? d : kBoardSide - 1; row >= 0 && d - row < kBoardSide; --row) {
      int32_t column = d - row;
      float x, y;
      QuarterTilePosition(row * kBoardSide + column, &x, &y);
      for (int32_t layer = 0; layer < kDrawnLayers; ++layer) {
        if (QuarterActionTiles[layer * 100 + row * kBoardSide + column].block == 0) continue;
        DrawGraphRotated(static_cast<int32_t>(x), static_cast<int32_t>(y) + faceOffset + (kDrawnLayers - 1 - layer) * h / 4,
                         1.0, 0.0, QuarterGroundPicture, 1, 0);
      }
      int32_t owner = QuarterActionTiles[row * kBoardSide + column].owner;
      if (owner >= 1 && owner <= 4) {
        const uint8_t* c = kOwnerColours[owner];
        SetDrawBlend(1, 160);
        DrawEllipseShape(static_cast<int32_t>(x), static_cast<int32_t>(y), w / 4, w / 8,
                         MakeScreenColor(c[0], c[1], c[2]), 1);
        SetDrawBlend(0, 255);
      }
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    int32_t character = r.character >= 0 && r.character < 6 ? r.character : 0;
    int32_t facing = QuarterActionWalkers[p].facing;
    int32_t cell = facing == 8 || facing == 4 ? 1 : 0;
    int32_t turn = facing == 6 || facing == 4 ? 1 : 0;
    int32_t cw = 0, ch = 0;
    QueryGraphSize(QuarterCharacterCells[character][cell], &cw, &ch);
    // A disc in the participant's colour at its feet, the colour of its tiles.
    const uint8_t* c = kOwnerColours[p];
    DrawEllipseShape(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y) + 4, 16, 8, MakeScreenColor(c[0], c[1], c[2]),
                     1);
    DrawEllipseShape(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y) + 4, 16, 8, MakeScreenColor(255, 255, 255),
                     0);
    DrawGraphRotated(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y) - ch / 2 + 8, 1.0, 0.0,
                     QuarterCharacterCells[character][cell], 1, turn);
  }
  // Each participant's tile count in its colour along the top.
  for (int32_t p = 1; p <= 4; ++p) {
    const uint8_t* c = kOwnerColours[p];
    DrawFormatTextToHandle(16 + 160 * (p - 1), 440, MakeScreenColor(c[0], c[1], c[2]), FontHandlesBySize[19],
                           "%dP %d", p, QuarterActionTileCount(p));
  }
}

int QuarterActionPlay() {
  switch (QuarterActionPlayStep) {
    case 0:
      DrawQuarterAction();
      QuarterActionPlayStep = 1;
      break;
    case 1:
      DrawQuarterAction();
      QuarterActionTimer = kPlayFrames;
      QuarterActionPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      DrawQuarterAction();
      QuarterActionPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int QuarterActionOutcome() {
  DrawQuarterAction();
  switch (QuarterActionOutcomeStep) {
    case 0:
      QuarterActionOutcomeStep = 1;
      break;
    case 1: {
      int32_t scores[kParticipantRecords] = {};
      int32_t best = 0;
      for (int32_t p = 1; p <= 4; ++p) {
        scores[p] = QuarterActionTileCount(p);
        if (scores[p] > best) best = scores[p];
      }
      // With no tile owned nobody wins.
      if (best > 0) AwardHighestScores(scores, kWinnerCoins);
      QuarterActionOutcomeStep = 2;
      break;
    }
    case 2:
      QuarterActionOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
