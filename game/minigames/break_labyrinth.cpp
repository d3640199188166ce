// Minigame 14, labyrinth.
#include "game/minigames/break_labyrinth.h"

#include <cmath>
#include <initializer_list>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t BreakLabyrinthStep = 0;
int32_t BreakLabyrinthCountdown = 0;
int32_t BreakLabyrinthWinner = 0;
uint8_t BreakLabyrinthGrid[kLabyrinthRows][kLabyrinthColumns] = {};

int32_t& LabyrinthBodyState(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& LabyrinthLastDirection(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& LabyrinthFacing(int32_t p) { return ParticipantTable[p].ints[2]; }
uint8_t& LabyrinthMovingHorizontally(int32_t p) { return ParticipantTable[p].bytes[0]; }
bool LabyrinthInMaze(int32_t p) { return p == 1; }

namespace {

constexpr float kCell = static_cast<float>(kLabyrinthCell);
constexpr float kWalkSpeed = 2.0f;
constexpr float kBodyRadius = 15.0f, kPostRadius = 2.0f, kPostOffset = 18.0f;
constexpr float kSlideRadius = 18.0f;
constexpr float kSlideTurn = 3.14159265358979f / 32.0f;
constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kWalkingStep = 4;  // the entry's play step (numbering A)

int32_t& LastColumn(int32_t p) { return ParticipantTable[p].ints[3]; }
int32_t& LastRow(int32_t p) { return ParticipantTable[p].ints[4]; }

int32_t IndexOf(float v) { return static_cast<int32_t>(std::floor(v / kCell)); }
float CentreOf(int32_t index) { return static_cast<float>(index) * kCell + kCell / 2.0f; }

// Walls outside the grid.
int32_t CellType(int32_t column, int32_t row) {
  if (row < 0 || row >= kLabyrinthRows || column < 0 || column >= kLabyrinthColumns) return 1;
  return BreakLabyrinthGrid[row][column];
}

bool IsCorridor(int32_t type) { return type == 0; }

// Post k (1 top left, 2 top right, 3 bottom left, 4 bottom right) of the
// cell holding (x, y).
Vector2f PostOf(float x, float y, int32_t k) {
  float cx = CentreOf(IndexOf(x)), cy = CentreOf(IndexOf(y));
  return {cx + (k % 2 == 0 ? kPostOffset : -kPostOffset), cy + (k >= 3 ? kPostOffset : -kPostOffset)};
}

void SetUpBreakLabyrinth() {
  BreakLabyrinthBuildMaze();
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = LabyrinthInMaze(p) ? CentreOf(1) : -100.0f;
    r.y = LabyrinthInMaze(p) ? CentreOf(1) : -100.0f;
    r.reals[0] = r.reals[1] = 0.0f;
    LabyrinthBodyState(p) = 2;
    LabyrinthLastDirection(p) = 1;
    LabyrinthFacing(p) = 2;
    LabyrinthMovingHorizontally(p) = 0;
    LastColumn(p) = IndexOf(r.x);
    LastRow(p) = IndexOf(r.y);
  }
  BreakLabyrinthCountdown = kLabyrinthPlayFrames;
  BreakLabyrinthWinner = 0;
}

// Sets the speed of a held diagonal along one of its axes.
void MoveOnAxis(int32_t p, bool horizontal, float vx, float vy) {
  ParticipantRecord& r = ParticipantTable[p];
  LabyrinthMovingHorizontally(p) = horizontal ? 1 : 0;
  if (horizontal) {
    r.reals[0] = vx;
    LabyrinthFacing(p) = vx < 0.0f ? 4 : 6;
  } else {
    r.reals[1] = vy;
    LabyrinthFacing(p) = vy < 0.0f ? 8 : 2;
  }
}

// A wall ahead: the body runs on to the centre of its own cell along the
// axis of the move and stops there (one coming back from beyond the centre
// included, so that it never reaches the wall).
void RunToCentre(float position, float centre, float& along, float& across) {
  float d = centre - position;
  across = 0.0f;
  if (std::fabs(d) < 1.0f)
    along = 0.0f;
  else if (std::fabs(d) < kWalkSpeed)
    along = d;
  else if ((d > 0.0f) != (along > 0.0f))
    along = d > 0.0f ? kWalkSpeed : -kWalkSpeed;
}

// The speed that takes the body around a post: the offset from the post
// turned a little in the direction of the move, at the slide radius.
void SlideAround(ParticipantRecord& r, Vector2f post) {
  float vx = r.reals[0], vy = r.reals[1];
  Vector2f offset = SubtractVectors(r.x, r.y, post.x, post.y);
  Vector2f best = {0.0f, 0.0f};
  float bestDot = -1.0e9f;
  for (float turn : {kSlideTurn, -kSlideTurn}) {
    Vector2f turned = RotateVector(turn, offset.x, offset.y);
    Vector2f unit = NormalizeVector(turned.x, turned.y);
    Vector2f step = {post.x + unit.x * kSlideRadius - r.x, post.y + unit.y * kSlideRadius - r.y};
    float dot = step.x * vx + step.y * vy;
    if (dot > bestDot) {
      bestDot = dot;
      best = step;
    }
  }
  r.reals[0] = best.x;
  r.reals[1] = best.y;
}

void DrawBody(int32_t p, bool walking) {
  const ParticipantRecord& r = ParticipantTable[p];
  int32_t x = static_cast<int32_t>(r.x), y = static_cast<int32_t>(r.y);
  if (!walking) {
    DrawRectangleShape(x - 15, y - 15, x + 15, y + 15, MakeScreenColor(255, 255, 0), 1);
    return;
  }
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t k = 1; k <= 4; ++k) {
    Vector2f post = PostOf(r.x, r.y, k);
    DrawCircleShape(static_cast<int32_t>(post.x), static_cast<int32_t>(post.y), 2, white, 1);
  }
  // Four pictures a second, by the system clock.
  int32_t frame = (GetMillisecondCount(0) / 250) % 4;
  int32_t first = 1, turn = 0;
  switch (LabyrinthFacing(p)) {
    case 4:
      first = 9;
      turn = 1;
      break;
    case 6:
      first = 9;
      break;
    case 8:
      first = 5;
      break;
    default:
      break;
  }
  DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, first + frame), 1, turn);
}

constexpr MinigameSteps kBreakLabyrinth = {
    .step = &BreakLabyrinthStep,
    .numbering = &kMinigameStepsA,
    .setUp = SetUpBreakLabyrinth,
    .draw = BreakLabyrinthDraw,
    .play = BreakLabyrinthPlay,
    .outcome = BreakLabyrinthOutcome,
};

}  // namespace

int BreakLabyrinthMain() { return RunMinigameSteps(kBreakLabyrinth); }

void BreakLabyrinthBuildMaze() {
  for (int32_t r = 0; r < kLabyrinthRows; ++r)
    for (int32_t c = 0; c < kLabyrinthColumns; ++c) {
      uint8_t type = 0;
      if (c == kLabyrinthColumns - 1)
        type = 255;
      else if (r == 0 || r == kLabyrinthRows - 1 || c == 0 || c == kLabyrinthColumns - 2 || (r % 2 == 0 && c % 2 == 0))
        type = 1;
      BreakLabyrinthGrid[r][c] = type;
    }
}

int32_t BreakLabyrinthNextCellAt(float x, float y, float vx, float vy, int32_t* column, int32_t* row) {
  int32_t c = IndexOf(x), r = IndexOf(y);
  if (vx > 0.0f)
    ++c;
  else if (vx < 0.0f)
    --c;
  else if (vy > 0.0f)
    ++r;
  else if (vy < 0.0f)
    --r;
  else
    return -1;
  if (column != nullptr) *column = c;
  if (row != nullptr) *row = r;
  return CellType(c, r);
}

int32_t BreakLabyrinthNextCell(float x, float y, float vx, float vy) {
  return BreakLabyrinthNextCellAt(x, y, vx, vy, nullptr, nullptr);
}

int32_t BreakLabyrinthSameCell(int32_t p, float x, float y) {
  int32_t c = IndexOf(x), r = IndexOf(y);
  if (c == LastColumn(p) && r == LastRow(p)) return 1;
  LastColumn(p) = c;
  LastRow(p) = r;
  return 0;
}

void BreakLabyrinthWalk(int32_t p, int32_t d) {
  ParticipantRecord& r = ParticipantTable[p];
  switch (d) {
    case 2:
    case 8:
      LabyrinthFacing(p) = d;
      r.reals[1] = d == 2 ? kWalkSpeed : -kWalkSpeed;
      LabyrinthLastDirection(p) = d;
      return;
    case 4:
    case 6:
      LabyrinthFacing(p) = d;
      r.reals[0] = d == 6 ? kWalkSpeed : -kWalkSpeed;
      LabyrinthLastDirection(p) = d;
      return;
    case 1:
    case 3:
    case 7:
    case 9:
      break;
    default:
      return;
  }
  float vx = (d == 3 || d == 9) ? kWalkSpeed : -kWalkSpeed;
  float vy = (d == 1 || d == 3) ? kWalkSpeed : -kWalkSpeed;
  bool sideOpen = IsCorridor(BreakLabyrinthNextCell(r.x, r.y, vx, 0.0f));
  bool ahead = IsCorridor(BreakLabyrinthNextCell(r.x, r.y, 0.0f, vy));
  bool first = LabyrinthLastDirection(p) != d;
  bool same = BreakLabyrinthSameCell(p, r.x, r.y) == 1;
  bool horizontal;
  if (first)
    horizontal = sideOpen || !ahead;
  else if (same)
    horizontal = LabyrinthMovingHorizontally(p) != 0;
  else if (LabyrinthMovingHorizontally(p) != 0)
    horizontal = !ahead;  // turns into the vertical way once it opens
  else
    horizontal = sideOpen;
  MoveOnAxis(p, horizontal, vx, vy);
  LabyrinthLastDirection(p) = d;
}

int32_t BreakLabyrinthCornerHit(int32_t p, float vx, float vy) {
  const ParticipantRecord& r = ParticipantTable[p];
  float nx = r.x + vx, ny = r.y + vy;
  for (int32_t k = 1; k <= 4; ++k) {
    Vector2f post = PostOf(r.x, r.y, k);
    if (HitCircleCircle(nx, ny, kBodyRadius, post.x, post.y, kPostRadius)) return vx != 0.0f ? k : 10 + k;
  }
  return 0;
}

void BreakLabyrinthCollide() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!LabyrinthInMaze(p)) continue;
    ParticipantRecord& r = ParticipantTable[p];
    int32_t column = 0, row = 0;
    int32_t ahead = BreakLabyrinthNextCellAt(r.x, r.y, r.reals[0], r.reals[1], &column, &row);
    if (ahead > 0) {
      if (r.reals[0] != 0.0f)
        RunToCentre(r.x, CentreOf(IndexOf(r.x)), r.reals[0], r.reals[1]);
      else
        RunToCentre(r.y, CentreOf(IndexOf(r.y)), r.reals[1], r.reals[0]);
    } else if (ahead == 0) {
      int32_t hit = BreakLabyrinthCornerHit(p, r.reals[0], r.reals[1]);
      if (hit != 0) {
        SlideAround(r, PostOf(r.x, r.y, hit % 10));
      } else if (r.reals[0] != 0.0f) {
        r.reals[1] = 0.0f;
      } else {
        r.reals[0] = 0.0f;
      }
    }
    r.x += r.reals[0];
    r.y += r.reals[1];
  }
}

void BreakLabyrinthDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t r = 0; r < kLabyrinthRows; ++r)
    for (int32_t c = 0; c < kLabyrinthColumns; ++c) {
      int32_t x = c * kLabyrinthCell, y = r * kLabyrinthCell;
      uint8_t type = BreakLabyrinthGrid[r][c];
      if (c == kLabyrinthGoalColumn && r == kLabyrinthGoalRow)
        DrawRectangleShape(x, y, x + kLabyrinthCell, y + kLabyrinthCell, MakeScreenColor(0, 160, 0), 1);
      if (type == 1 || type == 0) DrawRectangleShape(x, y, x + kLabyrinthCell, y + kLabyrinthCell, white, type);
    }
  bool walking = BreakLabyrinthStep >= kWalkingStep;
  for (int32_t p = 1; p <= 4; ++p)
    if (LabyrinthInMaze(p)) DrawBody(p, walking);
}

int BreakLabyrinthPlay() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].reals[0] = 0.0f;
    ParticipantTable[p].reals[1] = 0.0f;
  }
  for (int32_t p = 1; p <= 4; ++p) {
    // A CPU participant gives no input; A does nothing but its latch follows it.
    if (!LabyrinthInMaze(p) || LabyrinthBodyState(p) != 2 || !IsHumanParticipant(p)) continue;
    BreakLabyrinthWalk(p, GetPadDirection(p));
    IsNewParticipantPress(p, kButtonA);
  }
  BreakLabyrinthCollide();
  BreakLabyrinthDraw();
  for (int32_t p = 1; p <= 4 && BreakLabyrinthWinner == 0; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    if (LabyrinthInMaze(p) && IndexOf(r.x) == kLabyrinthGoalColumn && IndexOf(r.y) == kLabyrinthGoalRow)
      BreakLabyrinthWinner = p;
  }
  if (BreakLabyrinthWinner != 0) return 1;
  if (--BreakLabyrinthCountdown <= 0) return 1;
  DrawNumber(BreakLabyrinthCountdown / 60 + 1, 320, 16, 0.5);
  return 0;
}

int BreakLabyrinthOutcome() {
  BreakLabyrinthDraw();
  if (BreakLabyrinthWinner != 0) AwardParticipant(BreakLabyrinthWinner, kWinnerCoins);
  return 1;
}
