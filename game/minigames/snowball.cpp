// Minigame 8, snowball fight.
#include "game/minigames/snowball.h"

#include <cmath>
#include <cstdio>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t SnowballStep = 0;
int32_t SnowballPlayStep = 0;
int32_t SnowballOutcomeStep = 0;
int32_t SnowballTimer = 0;
int32_t SnowballSpawnCounter = 0;
float SnowballField[4] = {56.0f, 104.0f, 584.0f, 376.0f};
SnowballFighter SnowballFighters[5] = {};
SnowballBall SnowballBalls[kSnowballBalls] = {};
int32_t SnowballPieceCells[6][12] = {};
int32_t SnowballThrowerCells[2] = {};
int32_t SnowballGround = 0, SnowballUpper = 0, SnowballPicture = 0;

int32_t& SnowballThrowRequest(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& SnowballWanted(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kWinnerCoins = 10;
constexpr float kWalkSpeed = 2.0f;
constexpr float kBallSpeed = 5.0f;
constexpr float kFighterRadius = 16.0f, kBallRadius = 5.0f;
constexpr int32_t kStunFrames = 60, kGuardFrames = 90;
constexpr int32_t kSpawnWait = 59, kSpawnChance = 60;
constexpr float kPi = 3.14159265358979f;
// A CPU fighter rethinks its way every so many frames and waits between throws.
constexpr int32_t kCpuRethink = 20, kCpuThrowWait = 30;
constexpr float kCpuLineUp = 4.0f;

// The board-piece files, filled from the characters' folders at load.
char PieceFiles[6][48] = {};

const MinigameMedia kSnowballMedia[] = {
    MinigamePictureCells(PieceFiles[0], SnowballPieceCells[0], 12, 4, 3, 32, 32),
    MinigamePictureCells(PieceFiles[1], SnowballPieceCells[1], 12, 4, 3, 32, 32),
    MinigamePictureCells(PieceFiles[2], SnowballPieceCells[2], 12, 4, 3, 32, 32),
    MinigamePictureCells(PieceFiles[3], SnowballPieceCells[3], 12, 4, 3, 32, 32),
    MinigamePictureCells(PieceFiles[4], SnowballPieceCells[4], 12, 4, 3, 32, 32),
    MinigamePictureCells(PieceFiles[5], SnowballPieceCells[5], 12, 4, 3, 32, 32),
    MinigamePictureCells("media\\mini\\snowballfight\\quarter_タヴィシャ.png", SnowballThrowerCells, 2, 2, 1, 64, 64),
    MinigamePicture("media\\mini\\snowballfight\\雪合戦背景.png", &SnowballGround),
    MinigamePicture("media\\mini\\snowballfight\\雪合戦背景(上).png", &SnowballUpper),
    MinigamePicture("media\\mini\\snowballfight\\弾_敵5.png", &SnowballPicture),
};

int LoadSnowball() {
  for (int32_t c = 0; c < 6; ++c) {
    char folder[32] = {};
    GetCharacterFolder(c, folder);
    std::snprintf(PieceFiles[c], sizeof PieceFiles[c], "%skoma.png", folder);
  }
  int result = LoadMinigameMedia(kSnowballMedia);
  if (result == 1) SnowballDraw();
  return result;
}

void FreeSnowball() { FreeMinigameMedia(kSnowballMedia); }

void SetUpSnowball() {
  SnowballField[0] = 56.0f;
  SnowballField[1] = 104.0f;
  SnowballField[2] = 584.0f;
  SnowballField[3] = 376.0f;
  for (int32_t k = 0; k < 4; ++k) {
    SnowballFighter& f = SnowballFighters[k + 1];
    f = {};
    f.x = 256.0f + 128.0f * static_cast<float>(k % 2);
    f.y = 208.0f + 64.0f * static_cast<float>(k / 2);
    f.facing = 2;
    for (int32_t& slot : f.carried) slot = 1;
    SnowballThrowRequest(k + 1) = 0;
    SnowballWanted(k + 1) = 5;
    CpuWorkTable[k + 1].counter = 0;
    CpuWorkTable[k + 1].value1 = 0;
    CpuWorkTable[k + 1].value2 = 5;
  }
  for (SnowballBall& b : SnowballBalls) b = {};
  SnowballSpawnCounter = 0;
  SnowballTimer = kPlayFrames;
  SnowballDraw();
}

int32_t CarriedCount(const SnowballFighter& f) { return f.carried[0] + f.carried[1] + f.carried[2]; }

float FacingAngle(int32_t facing) {
  switch (facing) {
    case 1: return 3.0f * kPi / 4.0f;
    case 2: return kPi / 2.0f;
    case 3: return kPi / 4.0f;
    case 4: return kPi;
    case 7: return 5.0f * kPi / 4.0f;
    case 8: return 3.0f * kPi / 2.0f;
    case 9: return 7.0f * kPi / 4.0f;
    default: return 0.0f;
  }
}

// The numeric-keypad digit of a step (sx, sy each -1, 0 or +1).
int32_t Digit(int32_t sx, int32_t sy) { return 5 + sx - 3 * sy; }

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    SnowballThrowRequest(p) = 0;
    if (IsHumanParticipant(p)) {
      SnowballWanted(p) = GetPadDirection(p);
      if (IsNewParticipantPress(p, kButtonA)) SnowballThrowRequest(p) = 1;
    } else {
      SnowballCpu(p);
    }
  }
  SnowballMove();
  SnowballThrow();
  SnowballSpawn();
  SnowballDraw();
  if (SnowballTimer == 0) {
    SnowballPlayStep = 4;
    return;
  }
  --SnowballTimer;
  DrawNumber(SnowballTimer / 60 + 1, 320, 40, 1.0);
}

constexpr MinigameSteps kSnowball = {
    .step = &SnowballStep,
    .numbering = &kMinigameStepsA,
    .load = LoadSnowball,
    .setUp = SetUpSnowball,
    .draw = SnowballDraw,
    .play = SnowballPlay,
    .outcome = SnowballOutcome,
    .unload = FreeSnowball,
};

}  // namespace

int SnowballMain() { return RunMinigameSteps(kSnowball); }

void SnowballMove() {
  for (int32_t p = 1; p <= 4; ++p) {
    SnowballFighter& f = SnowballFighters[p];
    int32_t d = SnowballWanted(p);
    f.vx = f.vy = 0.0f;
    if (d == 1 || d == 2 || d == 3) f.vy = kWalkSpeed;
    if (d == 7 || d == 8 || d == 9) f.vy = -kWalkSpeed;
    if (d == 3 || d == 6 || d == 9) f.vx = kWalkSpeed;
    if (d == 1 || d == 4 || d == 7) f.vx = -kWalkSpeed;
    if (d >= 1 && d <= 9 && d != 5) f.facing = d;
    if (f.state == 2) {
      ++f.stun;
      if (f.stun < kStunFrames) {
        f.vx = f.vy = 0.0f;
        SnowballThrowRequest(p) = 0;
      } else if (f.stun >= kGuardFrames) {
        f.stun = 0;
        f.state = 0;
      }
    }
    if (f.x + f.vx < SnowballField[0] || f.x + f.vx > SnowballField[2]) f.vx = 0.0f;
    if (f.y + f.vy < SnowballField[1] || f.y + f.vy > SnowballField[3]) f.vy = 0.0f;
    f.x += f.vx;
    f.y += f.vy;
  }
}

void SnowballThrow() {
  for (int32_t p = 1; p <= 4; ++p) {
    SnowballFighter& f = SnowballFighters[p];
    if (SnowballThrowRequest(p) == 0 || CarriedCount(f) == 0) continue;
    SnowballBall* ball = FirstFreeRecord(SnowballBalls, &SnowballBall::state);
    if (ball == nullptr) continue;  // every record flies or lies: the snowball stays carried
    for (int32_t& slot : f.carried)
      if (slot != 0) {
        slot = 0;
        break;
      }
    Vector2f v = GetAngleVector(FacingAngle(f.facing));
    *ball = {1, 1, f.x, f.y, v.x * kBallSpeed, v.y * kBallSpeed, 0, p};
    int32_t count = CarriedCount(f);
    for (int32_t i = 0; i < 3; ++i) f.carried[i] = i < count ? 1 : 0;
  }
  for (SnowballBall& b : SnowballBalls) {
    if (b.state != 1) continue;
    b.x += b.vx;
    b.y += b.vy;
    bool hit = false;
    for (int32_t q = 1; q <= 4; ++q) {
      SnowballFighter& f = SnowballFighters[q];
      if (q == b.thrower || f.state != 0 || !HitCircleCircle(f.x, f.y, kFighterRadius, b.x, b.y, kBallRadius))
        continue;
      --f.tally;
      f.state = 2;
      f.stun = 0;
      if (b.thrower >= 1 && b.thrower <= 4) ++SnowballFighters[b.thrower].landed;
      hit = true;
    }
    if (hit || !HitCircleRect({b.x, b.y, kBallRadius}, {0.0f, 0.0f, 640.0f, 480.0f})) b = {};
  }
}

void SnowballSpawn() {
  if (++SnowballSpawnCounter > kSpawnWait && GetRandomNumber(kSpawnChance) == 0) {
    SnowballSpawnCounter = 0;
    SnowballBall* ball = FirstFreeRecord(SnowballBalls, &SnowballBall::state);
    if (ball != nullptr) {
      float x = SnowballField[0] +
                static_cast<float>(GetRandomNumber(static_cast<int32_t>(SnowballField[2] - SnowballField[0])));
      float y = SnowballField[1] +
                static_cast<float>(GetRandomNumber(static_cast<int32_t>(SnowballField[3] - SnowballField[1])));
      *ball = {2, 1, x, y, 0.0f, 0.0f, 0, 0};
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    SnowballFighter& f = SnowballFighters[p];
    for (int32_t& slot : f.carried) {
      if (slot != 0) continue;
      for (SnowballBall& b : SnowballBalls) {
        if (b.state != 2 || !HitCircleCircle(f.x, f.y, kFighterRadius, b.x, b.y, kBallRadius)) continue;
        b = {};
        slot = 1;
        break;
      }
      break;
    }
  }
}

void SnowballCpu(int32_t p) {
  SnowballFighter& f = SnowballFighters[p];
  CpuWorkRecord& cpu = CpuWorkTable[p];
  // A fighter in line with another (up, down, left or right) turns to it
  // and throws.
  if (cpu.value1 > 0) --cpu.value1;
  if (CarriedCount(f) > 0 && cpu.value1 == 0) {
    for (int32_t q = 1; q <= 4; ++q) {
      const SnowballFighter& o = SnowballFighters[q];
      if (q == p || o.state != 0) continue;
      int32_t digit = 5;
      if (o.x > f.x - kCpuLineUp && o.x < f.x + kCpuLineUp) digit = Digit(0, o.y > f.y ? 1 : -1);
      if (o.y > f.y - kCpuLineUp && o.y < f.y + kCpuLineUp) digit = Digit(o.x > f.x ? 1 : -1, 0);
      if (digit == 5) continue;
      SnowballWanted(p) = digit;
      SnowballThrowRequest(p) = 1;
      cpu.value1 = kCpuThrowWait;
      return;
    }
  }
  if (cpu.counter > 0) {
    --cpu.counter;
    SnowballWanted(p) = cpu.value2;
    return;
  }
  cpu.counter = kCpuRethink;
  // Fetch the nearest lying snowball while a slot is free, else close in
  // on the nearest fighter along the shorter axis.
  float tx = f.x, ty = f.y, best = -1.0f;
  if (CarriedCount(f) < 3)
    for (const SnowballBall& b : SnowballBalls) {
      float d = GetDistanceSquared(f.x, f.y, b.x, b.y);
      if (b.state == 2 && (best < 0.0f || d < best)) {
        best = d;
        tx = b.x;
        ty = b.y;
      }
    }
  if (best < 0.0f)
    for (int32_t q = 1; q <= 4; ++q) {
      const SnowballFighter& o = SnowballFighters[q];
      float d = GetDistanceSquared(f.x, f.y, o.x, o.y);
      if (q == p || (best >= 0.0f && d >= best)) continue;
      best = d;
      if (std::fabs(o.x - f.x) < std::fabs(o.y - f.y)) {
        tx = o.x;
        ty = f.y;
      } else {
        tx = f.x;
        ty = o.y;
      }
    }
  int32_t sx = tx > f.x + 2.0f ? 1 : tx < f.x - 2.0f ? -1 : 0;
  int32_t sy = ty > f.y + 2.0f ? 1 : ty < f.y - 2.0f ? -1 : 0;
  // Now and then a step aside, so that two fighters do not mirror each other.
  if (CpuOneChanceIn(4)) sx = GetRandomNumber(2) - 1;
  cpu.value2 = Digit(sx, sy);
  SnowballWanted(p) = cpu.value2;
}

void SnowballDraw() {
  DrawGraphRotated(320, 240, 1.0, 0.0, SnowballGround, 1, 0);
  int32_t order[4] = {1, 2, 3, 4};
  for (int32_t i = 1; i < 4; ++i)
    for (int32_t j = i; j > 0 && SnowballFighters[order[j]].y < SnowballFighters[order[j - 1]].y; --j) {
      int32_t t = order[j];
      order[j] = order[j - 1];
      order[j - 1] = t;
    }
  int32_t black = MakeScreenColor(0, 0, 0);
  for (int32_t p : order) {
    const SnowballFighter& f = SnowballFighters[p];
    int32_t x = static_cast<int32_t>(f.x), y = static_cast<int32_t>(f.y);
    SetDrawBlend(1, 64);
    DrawEllipseShape(x, y + 12, 10, 6, black, 1);
    SetDrawBlend(0, 255);
    if (f.state != 2 || (f.stun / 5) % 2 == 0) {
      int32_t character = ParticipantTable[p].character;
      if (character < 0 || character > 5) character = 0;
      // Rows: down, up, sideways (facing right; mirrored for left).
      int32_t row = f.facing == 2 ? 0 : f.facing == 8 ? 1 : 2;
      int32_t turn = f.facing == 1 || f.facing == 4 || f.facing == 7 ? 1 : 0;
      DrawGraphRotated(x, y, 1.0, 0.0, SnowballPieceCells[character][row * 4], 1, turn);
    }
    DrawCircleShape(x, y, static_cast<int32_t>(kFighterRadius), MakeScreenColor(0, 0, 255), 0);
  }
  DrawGraphRotated(320, 240, 1.0, 0.0, SnowballUpper, 1, 0);
  for (const SnowballBall& b : SnowballBalls)
    if (b.state != 0) DrawGraphRotated(static_cast<int32_t>(b.x), static_cast<int32_t>(b.y), 1.0, 0.0, SnowballPicture, 1, 0);
  int32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t cx = p % 2 == 1 ? 64 : 564, cy = p <= 2 ? 48 : 412;
    SetDrawBlend(1, 150);
    DrawEllipseShape(cx, cy, 48, 32, black, 1);
    SetDrawBlend(0, 255);
    DrawEllipseShape(cx, cy, 53, 37, black, 0);
    DrawFormatTextToHandle(cx - 32, cy - 32, white, FontHandlesBySize[16], "Player%d", p);
    DrawFormatTextToHandle(cx + 16, cy + 8, white, FontHandlesBySize[16], "%d", SnowballFighters[p].landed);
    for (int32_t i = 0; i < 3; ++i)
      if (SnowballFighters[p].carried[i] != 0) DrawGraphRotated(cx - 24 + 24 * i, cy, 1.0, 0.0, SnowballPicture, 1, 0);
  }
}

int SnowballPlay() {
  switch (SnowballPlayStep) {
    case 0:
    case 1:
    case 2:
      SnowballDraw();
      ++SnowballPlayStep;
      break;
    case 3:
      PlayFrame();
      break;
    case 4:
      SnowballPlayStep = 0;
      SnowballDraw();
      return 1;
    default:
      break;
  }
  return 0;
}

int SnowballOutcome() {
  SnowballDraw();
  switch (SnowballOutcomeStep) {
    case 0:
      SnowballOutcomeStep = 1;
      break;
    case 1: {
      int32_t scores[kParticipantRecords] = {};
      int32_t best = 0;
      for (int32_t p = 1; p <= 4; ++p) {
        scores[p] = SnowballFighters[p].landed;
        if (scores[p] > best) best = scores[p];
      }
      // Without a hit nobody wins.
      if (best > 0) AwardHighestScores(scores, kWinnerCoins);
      SnowballOutcomeStep = 2;
      break;
    }
    case 2:
      SnowballOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
