// Minigame 13, climbing race.
#include "game/minigames/fall_climb.h"

#include <cmath>
#include <cstdlib>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t FallClimbStep = 0;
int32_t FallClimbTopFrames = 0;
uint8_t FallClimbGrid[kFallClimbRows][kFallClimbColumns] = {};
FallClimbShot FallClimbShotTable[4] = {};
FallClimbCreature FallClimbCreatureTable[kFallClimbCreatures] = {};
int32_t FallClimbSpawnDelay = 0;

int32_t& FallClimbBodyState(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& FallClimbKnockTimer(int32_t p) { return ParticipantTable[p].ints[1]; }
uint8_t& FallClimbAirborne(int32_t p) { return ParticipantTable[p].bytes[0]; }
uint8_t& FallClimbFacing(int32_t p) { return ParticipantTable[p].bytes[1]; }
float& FallClimbFallSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }
float& FallClimbViewTop() { return ParticipantTable[0].y; }

namespace {

constexpr float kCell = static_cast<float>(kFallClimbCell);
constexpr float kHalf = 16.0f;  // half a body's side
constexpr float kRunSpeed = 3.0f;
constexpr float kJumpSpeed = -13.0f;
constexpr float kGravity = 0.7f;
constexpr float kKnockDrift = 0.25f;
constexpr int32_t kKnockHelplessFrames = 60, kKnockFrames = 120;
constexpr float kShoveDistance = 33.0f;
// The centres a body can take between the walls of columns 0 and 19.
constexpr float kLeftmost = kCell + kHalf, kRightmost = kCell * (kFallClimbColumns - 1) - kHalf;
constexpr float kStartY = 1872.0f;
constexpr float kViewStart = 1600.0f;
constexpr float kLiveLeft = -64.0f, kLiveRight = 704.0f, kLiveHeight = 544.0f;
constexpr int32_t kFramesAtTop = 300;
constexpr float kShotSpeed = 6.0f, kShotReach = 16.0f;
constexpr int32_t kSpawnDelay = 20;
constexpr float kCreatureSpeeds[7] = {0.0f, 2.0f, 2.0f, 3.0f, 2.0f, 4.0f, 4.0f};
constexpr float kWaveStep = 0.024543693f, kWaveEnd = 6.185011f;
constexpr int32_t kAwards[4] = {4, 3, 2, 1};

int32_t& MoveDirection(int32_t p) { return ParticipantTable[p].spare; }

int32_t CellAtIndex(int32_t row, int32_t column) {
  if (row < 0 || row >= kFallClimbRows || column < 0 || column >= kFallClimbColumns) return kFallClimbAir;
  return FallClimbGrid[row][column];
}

int32_t IndexOf(float v) { return static_cast<int32_t>(std::floor(v / kCell)); }

// A solid cell stops a body from every side, a platform only a falling one.
bool Blocks(int32_t cell, bool falling) {
  return cell == kFallClimbSolid || (falling && cell == kFallClimbPlatform);
}

bool BlocksRow(int32_t row, int32_t left, int32_t right, bool falling) {
  for (int32_t c = left; c <= right; ++c)
    if (Blocks(CellAtIndex(row, c), falling)) return true;
  return false;
}

bool BlocksColumn(int32_t column, int32_t top, int32_t bottom) {
  for (int32_t r = top; r <= bottom; ++r)
    if (Blocks(CellAtIndex(r, column), false)) return true;
  return false;
}

void SetUpFallClimb() {
  FallClimbBuildShaft();
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = 100.0f * static_cast<float>(p);
    // Standing on the floor (row 59's top is at 1888).
    r.y = kStartY;
    r.reals[0] = r.reals[1] = 0.0f;
    MoveDirection(p) = 3;
    FallClimbBodyState(p) = kFallClimbStanding;
    FallClimbKnockTimer(p) = 0;
    FallClimbAirborne(p) = 0;
    FallClimbFacing(p) = 0;
    FallClimbFallSpeed(p) = 0.0f;
  }
  FallClimbViewTop() = kViewStart;
  FallClimbTopFrames = 0;
  for (FallClimbShot& s : FallClimbShotTable) s = {};
  for (FallClimbCreature& c : FallClimbCreatureTable) c = {};
  FallClimbSpawnDelay = 0;
}

// Left and right on the pad; B jumps from the ground; releasing B while
// rising cuts the jump.
void Steer(int32_t p, bool human, bool jump, bool cutJump) {
  ParticipantRecord& r = ParticipantTable[p];
  if (human && IsParticipantButtonHeld(p, kButtonLeft)) {
    FallClimbFacing(p) = 0;
    r.reals[0] = -kRunSpeed;
  }
  if (human && IsParticipantButtonHeld(p, kButtonRight)) {
    FallClimbFacing(p) = 1;
    r.reals[0] = kRunSpeed;
  }
  if (jump && human && FallClimbAirborne(p) == 0 && IsNewParticipantPress(p, kButtonB))
    FallClimbFallSpeed(p) = kJumpSpeed;
  if (cutJump && FallClimbFallSpeed(p) < 0.0f && !(human && IsParticipantButtonHeld(p, kButtonB)))
    FallClimbFallSpeed(p) = 0.0f;
  FallClimbFallSpeed(p) += kGravity;
}

// A CPU participant gets no input: it only falls and is shoved.
void Control(int32_t p) {
  bool human = IsHumanParticipant(p);
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[0] = 0.0f;
  switch (FallClimbBodyState(p)) {
    case kFallClimbStanding:
      Steer(p, human, true, false);
      if (FallClimbAirborne(p) != 0) FallClimbBodyState(p) = kFallClimbInAir;
      break;
    case kFallClimbInAir:
      Steer(p, human, false, true);
      if (FallClimbAirborne(p) == 0) FallClimbBodyState(p) = kFallClimbStanding;
      break;
    case kFallClimbKnocked:
      if (FallClimbKnockTimer(p) < kKnockHelplessFrames) {
        r.reals[0] = FallClimbFacing(p) == 0 ? kKnockDrift : -kKnockDrift;
        FallClimbFallSpeed(p) = 0.0f;
      } else {
        Steer(p, human, true, true);
      }
      if (++FallClimbKnockTimer(p) >= kKnockFrames) {
        FallClimbBodyState(p) = kFallClimbStanding;
        FallClimbKnockTimer(p) = 0;
      }
      break;
    default:
      break;
  }
  r.reals[1] = FallClimbFallSpeed(p);
}

float PushPosition(int32_t p) { return ParticipantTable[p].x; }
float PushSpeed(int32_t p) { return ParticipantTable[p].reals[0]; }

// Moves p and shoves aside the bodies it now overlaps (never through a
// wall: a body shoved against one stops there and so does the mover); the
// last one shoved moves next.
int32_t PushMoveOne(int32_t p) {
  ParticipantRecord& m = ParticipantTable[p];
  FallClimbMoveBody(m.x, m.y, m.reals[1], m.reals[0], FallClimbFallSpeed(p), FallClimbAirborne(p));
  m.reals[0] = m.reals[1] = 0.0f;
  int32_t shoved = 0;
  for (int32_t q = 1; q <= 4; ++q) {
    if (q == p) continue;
    ParticipantRecord& o = ParticipantTable[q];
    if (!FallClimbBoxesTouch(m.x, m.y, kHalf, kHalf - 1.0f, o.x, o.y, kHalf, kHalf)) continue;
    float side = static_cast<float>(ShoveSide(m.x, o.x, p, q));
    o.x = m.x + kShoveDistance * side;
    if (o.x < kLeftmost || o.x > kRightmost) {
      o.x = o.x < kLeftmost ? kLeftmost : kRightmost;
      m.x = o.x - kShoveDistance * side;
    }
    shoved = q;
  }
  return shoved;
}

void DrawBody(int32_t p, int32_t viewTop) {
  const ParticipantRecord& r = ParticipantTable[p];
  uint32_t colour;
  switch (FallClimbBodyState(p)) {
    case kFallClimbKnocked:
      if (FallClimbKnockTimer(p) % 10 >= 5) return;
      colour = MakeScreenColor(255, 128, 0);
      break;
    case kFallClimbInAir:
      colour = MakeScreenColor(0, 255, 255);
      break;
    default:
      colour = MakeScreenColor(255, 255, 0);
      break;
  }
  int32_t x = static_cast<int32_t>(r.x), y = static_cast<int32_t>(r.y) - viewTop;
  DrawRectangleShape(x - 16, y - 16, x + 16, y + 16, colour, 1);
  DrawNumber(p, x, y, 0.5);
}

bool OutsideLiveArea(float x, float y) {
  float top = FallClimbViewTop();
  return x < kLiveLeft || x > kLiveRight || y < top || y > top + kLiveHeight;
}

// Play is over: somebody has left the top of the shaft, everybody's body
// lies wholly below the live area, or the view has stood at the top for
// its frames.
bool PlayIsOver() {
  bool allBelow = true;
  for (int32_t p = 1; p <= 4; ++p) {
    if (ParticipantTable[p].y < 0.0f) return true;
    if (ParticipantTable[p].y - kHalf <= FallClimbViewTop() + kLiveHeight) allBelow = false;
  }
  return allBelow || FallClimbTopFrames >= kFramesAtTop;
}

constexpr MinigameSteps kFallClimb = {
    .step = &FallClimbStep,
    .numbering = &kMinigameStepsA,
    .setUp = SetUpFallClimb,
    .draw = FallClimbDraw,
    .play = FallClimbPlay,
    .outcome = FallClimbOutcome,
};

}  // namespace

int FallClimbMain() { return RunMinigameSteps(kFallClimb); }

void FallClimbBuildShaft() {
  for (int32_t r = 0; r < kFallClimbRows; ++r)
    for (int32_t c = 0; c < kFallClimbColumns; ++c)
      FallClimbGrid[r][c] = (r == kFallClimbRows - 1 || c == 0 || c == kFallClimbColumns - 1) ? kFallClimbSolid
                                                                                               : kFallClimbAir;
  int32_t previous = -1;
  for (int32_t row = 56; row >= 2; row -= 3) {
    int32_t c;
    do {
      c = GetRandomNumber(10) + 1;
    } while (std::abs(c - previous) <= 2);
    for (int32_t col = c + 1; col <= c + 7; ++col) FallClimbGrid[row][col] = kFallClimbPlatform;
    previous = c;
  }
}

int32_t FallClimbCellAt(float x, float y) { return CellAtIndex(IndexOf(y), IndexOf(x)); }

void FallClimbMoveBody(float& x, float& y, float vy, float vx, float& fallSpeed, uint8_t& airborne) {
  int32_t left = IndexOf(x - kHalf), right = IndexOf(x + kHalf - 0.01f);
  if (vy > 0.0f) {
    // The row tops the bottom edge reaches on its way down, nearest first.
    float bottom = y + kHalf, target = bottom + vy;
    bool landed = false;
    for (int32_t row = static_cast<int32_t>(std::ceil(bottom / kCell)); row * kCell <= target; ++row) {
      if (row >= kFallClimbRows) break;
      if (row >= 0 && BlocksRow(row, left, right, true)) {
        y = row * kCell - kHalf;
        fallSpeed = 0.0f;
        landed = true;
        break;
      }
    }
    if (!landed) y += vy;
  } else if (vy < 0.0f) {
    // The row bottoms the top edge reaches on its way up, nearest first.
    float top = y - kHalf, target = top + vy;
    bool bumped = false;
    for (int32_t row = IndexOf(top) - 1; (row + 1) * kCell >= target && row >= 0; --row) {
      if (row < kFallClimbRows && BlocksRow(row, left, right, false)) {
        y = (row + 1) * kCell + kHalf;
        fallSpeed = 0.0f;
        bumped = true;
        break;
      }
    }
    if (!bumped) y += vy;
  }
  int32_t top = IndexOf(y - kHalf), bottom = IndexOf(y + kHalf - 0.01f);
  if (vx > 0.0f) {
    float edge = x + kHalf, target = edge + vx;
    bool stopped = false;
    for (int32_t col = static_cast<int32_t>(std::ceil(edge / kCell)); col * kCell <= target; ++col) {
      if (col >= kFallClimbColumns) break;
      if (col >= 0 && BlocksColumn(col, top, bottom)) {
        x = col * kCell - kHalf;
        stopped = true;
        break;
      }
    }
    if (!stopped) x += vx;
  } else if (vx < 0.0f) {
    float edge = x - kHalf, target = edge + vx;
    bool stopped = false;
    for (int32_t col = IndexOf(edge) - 1; (col + 1) * kCell >= target && col >= 0; --col) {
      if (col < kFallClimbColumns && BlocksColumn(col, top, bottom)) {
        x = (col + 1) * kCell + kHalf;
        stopped = true;
        break;
      }
    }
    if (!stopped) x += vx;
  }
  // It stands when its bottom edge lies on the top of a cell that holds it.
  float under = (y + kHalf) / kCell;
  left = IndexOf(x - kHalf);
  right = IndexOf(x + kHalf - 0.01f);
  bool standing = under == std::floor(under) && BlocksRow(static_cast<int32_t>(under), left, right, true);
  airborne = standing ? 0 : 1;
}

bool FallClimbBoxesTouch(float ax, float ay, float ahw, float ahh, float bx, float by, float bhw, float bhh) {
  return std::fabs(ax - bx) < ahw + bhw && std::fabs(ay - by) < ahh + bhh;
}

void FallClimbKnock(int32_t p) {
  if (FallClimbBodyState(p) == kFallClimbKnocked) return;
  FallClimbBodyState(p) = kFallClimbKnocked;
  FallClimbKnockTimer(p) = 0;
}

void FallClimbCreatures() {
  if (GetRandomNumber(99) < 2 && FallClimbSpawnDelay < 0) {
    FallClimbCreature* c = FirstFreeRecord(FallClimbCreatureTable, &FallClimbCreature::active);
    if (c != nullptr) {
      *c = {};
      c->active = 1;
      c->kind = static_cast<int16_t>(GetRandomNumber(5) + 1);
      c->y = FallClimbViewTop();
      bool fromLeft = GetRandomNumber(1) == 0;
      c->x = fromLeft ? -40.0f : 680.0f;
      c->direction = fromLeft ? 1 : 0;
      FallClimbSpawnDelay = kSpawnDelay;
    }
  }
  --FallClimbSpawnDelay;
  for (FallClimbCreature& c : FallClimbCreatureTable) {
    if (c.active == 0) continue;
    int32_t kind = c.kind >= 1 && c.kind <= 6 ? c.kind : 1;
    c.x += c.direction == 1 ? kCreatureSpeeds[kind] : -kCreatureSpeeds[kind];
    switch (kind) {
      case 2:
        c.y += std::sin(c.angle);
        c.angle += kWaveStep;
        if (c.angle > kWaveEnd) c.angle = 0.0f;
        break;
      case 3:
      case 6:
        if (c.counter % 2 == 0) c.y -= 1.0f;
        break;
      case 4:
        if (c.counter % 3 == 0) c.y += 1.0f;
        break;
      default:
        break;
    }
    ++c.counter;
    for (int32_t p = 1; p <= 4; ++p) {
      const ParticipantRecord& r = ParticipantTable[p];
      if (FallClimbBoxesTouch(c.x, c.y, kHalf, kHalf, r.x, r.y, kHalf, kHalf)) {
        FallClimbKnock(p);
        break;
      }
    }
    if ((c.direction == 1 && c.x > 660.0f) || (c.direction == 0 && c.x < -30.0f)) c.active = 0;
  }
}

void FallClimbShots() {
  for (int32_t p = 1; p <= 4; ++p) {
    FallClimbShot& s = FallClimbShotTable[p - 1];
    if (s.active == 0 && IsHumanParticipant(p) && IsNewParticipantPress(p, kButtonA)) {
      s.active = 1;
      s.x = ParticipantTable[p].x;
      s.y = ParticipantTable[p].y;
      s.direction = FallClimbFacing(p);
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    FallClimbShot& s = FallClimbShotTable[p - 1];
    if (s.active == 0) continue;
    s.x += s.direction == 1 ? kShotSpeed : -kShotSpeed;
    for (int32_t q = 1; q <= 4; ++q) {
      const ParticipantRecord& r = ParticipantTable[q];
      if (q != p && std::fabs(s.x - r.x) < kShotReach && std::fabs(s.y - r.y) < kShotReach) {
        FallClimbKnock(q);
        s.active = 0;
        break;
      }
    }
    if (OutsideLiveArea(s.x, s.y)) s.active = 0;
  }
}

void FallClimbMoveAll() {
  for (int32_t p = 1; p <= 4; ++p) {
    float vx = ParticipantTable[p].reals[0];
    MoveDirection(p) = vx > 0.0f ? 1 : (vx < 0.0f ? 2 : 3);
  }
  static constexpr PushChain kChain = {
      .position = PushPosition,
      .speed = PushSpeed,
      .move = PushMoveOne,
      .firstLow = -1000.0f,
      .firstHigh = 2000.0f,
      .low = -1000.0f,
      .high = 2000.0f,
  };
  RunPushChain(kChain);
}

void FallClimbDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  int32_t viewTop = static_cast<int32_t>(FallClimbViewTop());
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t firstRow = viewTop / kFallClimbCell, lastRow = (viewTop + 480) / kFallClimbCell;
  for (int32_t r = firstRow; r <= lastRow && r < kFallClimbRows; ++r) {
    int32_t y = r * kFallClimbCell - viewTop;
    for (int32_t c = 0; c < kFallClimbColumns; ++c) {
      int32_t x = c * kFallClimbCell;
      if (FallClimbGrid[r][c] == kFallClimbSolid)
        DrawRectangleShape(x, y, x + kFallClimbCell, y + kFallClimbCell, white, 1);
      else if (FallClimbGrid[r][c] == kFallClimbPlatform)
        DrawRectangleShape(x, y, x + kFallClimbCell, y + kFallClimbCell, white, 0);
    }
  }
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (const FallClimbCreature& c : FallClimbCreatureTable) {
    if (c.active == 0) continue;
    int32_t x = static_cast<int32_t>(c.x), y = static_cast<int32_t>(c.y) - viewTop;
    DrawRectangleShape(x - 16, y - 16, x + 16, y + 16, red, 0);
  }
  for (int32_t p = 1; p <= 4; ++p) DrawBody(p, viewTop);
  uint32_t cyan = MakeScreenColor(0, 255, 255);
  for (const FallClimbShot& s : FallClimbShotTable) {
    if (s.active == 0) continue;
    int32_t x = static_cast<int32_t>(s.x), y = static_cast<int32_t>(s.y) - viewTop;
    DrawRectangleShape(x - 4, y - 4, x + 4, y + 4, cyan, 1);
  }
}

int FallClimbPlay() {
  FallClimbCreatures();
  for (int32_t p = 1; p <= 4; ++p) Control(p);
  FallClimbMoveAll();
  FallClimbShots();
  if (FallClimbViewTop() > 0.0f)
    FallClimbViewTop() = std::fmax(FallClimbViewTop() - 1.0f, 0.0f);
  else
    ++FallClimbTopFrames;
  FallClimbDraw();
  return PlayIsOver() ? 1 : 0;
}

int FallClimbOutcome() {
  FallClimbDraw();
  for (int32_t award : kAwards) {
    int32_t best = 0;
    bool found = false;
    for (int32_t p = 1; p <= 4; ++p) {
      int32_t y = static_cast<int32_t>(ParticipantTable[p].y);
      if (ParticipantTable[p].award == 0 && (!found || y < best)) {
        best = y;
        found = true;
      }
    }
    if (!found) break;
    for (int32_t p = 1; p <= 4; ++p) {
      ParticipantRecord& r = ParticipantTable[p];
      if (r.award != 0 || static_cast<int32_t>(r.y) != best) continue;
      r.award = award;
      // The highest body wins.
      if (award == kAwards[0]) r.won = 1;
    }
  }
  return 1;
}
