// Minigame 24, paddle hockey.
#include "game/minigames/hockey.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t HockeyStep = 0;
int32_t HockeyPlayStep = 0;
int32_t HockeyOutcomeStep = 0;
int32_t HockeyClock = 0;
int32_t HockeyAllowedPucks = 0;
int32_t HockeySpawnDelay = 0;
int32_t HockeyScores[2] = {};
HockeyPuck HockeyPucks[kHockeyPuckCount] = {};

int32_t& HockeySwingState(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& HockeySwingCounter(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kHalfPi = 1.57079633f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.35619449f;
constexpr float kSteepAxis = 1.3744469f;  // 7 pi / 16

constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kSpawnWait = 61;
constexpr int32_t kWinnerCoins = 10;
constexpr float kPaddleSpeed = 4.0f;
constexpr float kPaddleHalfWidth = 8.0f, kPaddleHalfHeight = 32.0f;
constexpr float kPuckRadius = 5.0f;
// The boards along the top and the bottom, and the goal lines.
constexpr float kTopBoard = 32.0f, kBottomBoard = 448.0f;
constexpr float kLeftGoalLine = 32.0f;
constexpr float kTrailEmpty = -100.0f;

enum SwingState : int32_t { kReady = 0, kSwinging = 1, kRecovering = 2 };

// Team 1 plays on the left half, everyone else on the right.
bool OnLeftSide(int32_t p) { return ParticipantTable[p].team == 1; }

void PlacePaddles() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].x = OnLeftSide(p) ? 96.0f : 544.0f;
    ParticipantTable[p].y = 240.0f;
  }
}

void DrawHockey() {
  HockeyDrawRink();
  HockeyDrawPucks();
}

void SetUpHockey() {
  for (int32_t i = 0; i < kHockeyPuckCount; ++i) {
    ClearPuckTrail(i);
    ResetPuck(i);
  }
  HockeyScores[0] = 0;
  HockeyScores[1] = 0;
  // The paddles stand at their places while the START banner shows.
  PlacePaddles();
  DrawHockey();
}

void ReadPaddleInput(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[0] = 0.0f;
  r.reals[1] = 0.0f;
  if (IsParticipantButtonHeld(p, kButtonUp)) r.reals[1] -= kPaddleSpeed;
  if (IsParticipantButtonHeld(p, kButtonDown)) r.reals[1] += kPaddleSpeed;
  if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] += kPaddleSpeed;
  if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] -= kPaddleSpeed;
  if (IsNewParticipantPress(p, kButtonA) && HockeySwingState(p) == kReady) HockeySwingState(p) = kSwinging;
}

// The paddle moves and stays in its half, its edges off the boards.
void MovePaddle(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  r.x += r.reals[0];
  r.y += r.reals[1];
  float low = OnLeftSide(p) ? 32.0f : 384.0f;
  float high = OnLeftSide(p) ? 256.0f : 608.0f;
  if (r.x - kPaddleHalfWidth < low) r.x = low + kPaddleHalfWidth;
  if (r.x + kPaddleHalfWidth > high) r.x = high - kPaddleHalfWidth;
  if (r.y - kPaddleHalfHeight < kTopBoard) r.y = kTopBoard + kPaddleHalfHeight;
  if (r.y + kPaddleHalfHeight > kBottomBoard) r.y = kBottomBoard - kPaddleHalfHeight;
}

void CountSwing(int32_t p) {
  if (HockeySwingState(p) == kReady) return;
  int32_t& counter = HockeySwingCounter(p);
  ++counter;
  if (counter >= 30) {
    HockeySwingState(p) = kReady;
    counter = 0;
  } else if (counter >= 10) {
    HockeySwingState(p) = kRecovering;
  }
}

void SpawnPuck() {
  if (HockeySpawnDelay < kSpawnWait) {
    ++HockeySpawnDelay;
    return;
  }
  int32_t active = 0;
  for (const HockeyPuck& k : HockeyPucks) active += k.active != 0 ? 1 : 0;
  if (active >= HockeyAllowedPucks) return;
  if (HockeyPuck* free = FirstFreeRecord(HockeyPucks, &HockeyPuck::active))
    ResetPuck(static_cast<int32_t>(free - HockeyPucks));
}

void CountGoals() {
  for (HockeyPuck& k : HockeyPucks) {
    if (k.active == 0 || (k.x > 0.0f && k.x < 640.0f)) continue;
    k.active = 0;
    ++HockeyScores[k.x < kLeftGoalLine ? 1 : 0];
  }
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsHumanParticipant(p))
      ReadPaddleInput(p);
    else
      HockeyCpu(p);
  }
  for (int32_t p = 1; p <= 4; ++p) MovePaddle(p);
  for (int32_t p = 1; p <= 4; ++p) CountSwing(p);
  SpawnPuck();
  HockeyPuckPhysics();
  CountGoals();
  DrawHockey();
  --HockeyClock;
  if (HockeyClock == 2100) HockeyAllowedPucks = 2;
  if (HockeyClock == 1500) HockeyAllowedPucks = 3;
  if (HockeyClock == 900) HockeyAllowedPucks = 5;
  DrawNumber(HockeyClock / 60 + 1, 320, 20, 1.0);
  if (HockeyClock <= 0) HockeyPlayStep = 9;
}

// The reflection axis of a hit: the middle of the paddle sends the puck
// straight back, its edges at steeper angles.
float HitAxis(float dy, bool leftSide) {
  float axis;
  if (dy >= -16.0f && dy <= 16.0f) return kHalfPi;
  if (dy < -28.0f)
    axis = kQuarterPi;
  else if (dy < -16.0f)
    axis = kSteepAxis;
  else if (dy <= 28.0f)
    axis = -kSteepAxis;
  else
    axis = -kQuarterPi;
  return leftSide ? axis : -axis;
}

// Team 1 sends the puck off within 45 degrees of the right; team 2 within
// 45 degrees of the left.
float LimitHitAngle(float angle, bool leftSide) {
  if (leftSide) {
    if (angle > kQuarterPi) return kQuarterPi;
    if (angle < -kQuarterPi) return -kQuarterPi;
    return angle;
  }
  if (angle > -kThreeQuarterPi && angle <= 0.0f) return -kThreeQuarterPi;
  if (angle > 0.0f && angle < kThreeQuarterPi) return kThreeQuarterPi;
  return angle;
}

void SetVelocityFromAngle(HockeyPuck& k) {
  k.speedX = k.speed * std::cos(k.angle);
  k.speedY = k.speed * std::sin(k.angle);
}

void RespondToHit(int32_t i) {
  HockeyPuck& k = HockeyPucks[i];
  k.hitPending = 0;
  PlaySoundHandle(SoundEffectHandles[27], 1, 1);
  const ParticipantRecord* hitter = GetParticipant(k.hitter);
  if (hitter == nullptr) return;
  bool leftSide = OnLeftSide(k.hitter);
  float dy = k.y - hitter->y;
  k.angle = LimitHitAngle(ReflectAngle(HitAxis(dy, leftSide), k.angle), leftSide);
  k.baseSpeed *= 1.05f;
  if (k.baseSpeed < 4.0f) k.baseSpeed = 4.0f;
  if (k.baseSpeed > 20.0f) k.baseSpeed = 20.0f;
  if (HockeySwingState(k.hitter) == kSwinging) {
    k.smash = 1;
    k.speed = k.baseSpeed * 1.5f;
    ClearPuckTrail(i);
  } else {
    k.smash = 0;
    k.speed = k.baseSpeed;
  }
  SetVelocityFromAngle(k);
  k.heading = k.heading == 1 ? 2 : 1;
}

// The first paddle of the side the puck heads for that it meets this frame
// stops it at the paddle's face; the hit answers in the next frame.
void TestPaddles(HockeyPuck& k) {
  bool towardsLeft = k.heading == 1;
  SegmentRecord path = {k.x, k.y, k.x + k.speedX, k.y + k.speedY};
  for (int32_t p = 1; p <= 4; ++p) {
    if (OnLeftSide(p) != towardsLeft) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    RectRecord paddle = {r.x - kPaddleHalfWidth, r.y - kPaddleHalfHeight, r.x + kPaddleHalfWidth,
                         r.y + kPaddleHalfHeight};
    if (!HitSegmentRect(path, paddle.left, paddle.top, paddle.right, paddle.bottom) &&
        !HitCircleRect({k.x, k.y, kPuckRadius}, paddle))
      continue;
    k.speedX = (towardsLeft ? paddle.right : paddle.left) - k.x;
    k.speedY = k.speedX * std::tan(k.angle);
    k.hitter = p;
    k.hitPending = 1;
    return;
  }
}

constexpr MinigameSteps kHockey = {
    .step = &HockeyStep,
    .numbering = &kMinigameStepsA,
    .setUp = SetUpHockey,
    .draw = DrawHockey,
    .play = HockeyPlay,
    .outcome = HockeyOutcome,
    .restartStep = 2,
};

}  // namespace

int HockeyMain() { return RunMinigameSteps(kHockey); }

void ClearPuckTrail(int32_t puck) {
  HockeyPuck& k = HockeyPucks[puck];
  for (auto& point : k.trail) {
    point[0] = kTrailEmpty;
    point[1] = kTrailEmpty;
  }
  k.trailIndex = 0;
}

void ResetPuck(int32_t puck) {
  HockeyPuck& k = HockeyPucks[puck];
  k.active = 1;
  k.x = 320.0f;
  k.y = 240.0f;
  k.baseSpeed = 3.0f;
  k.speed = 3.0f;
  k.angle = static_cast<float>(GetRandomNumber(30)) * 0.05235988f - kQuarterPi;
  float side = static_cast<float>(GetRandomNumber(1) * 2 - 1);
  k.speedX = 2.0f * std::cos(k.angle) * side;
  k.speedY = 2.0f * std::sin(k.angle);
  k.heading = k.speedX < 0.0f ? 1 : 2;
  k.smash = 0;
  k.hitPending = 0;
  k.trailTimer = 0;
  ClearPuckTrail(puck);
}

void HockeyDrawRink() {
  uint32_t black = MakeScreenColor(0, 0, 0);
  uint32_t white = MakeScreenColor(255, 255, 255);
  uint32_t pink = MakeScreenColor(255, 200, 200);
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(200, 200, 255), 1);
  DrawRectangleShape(256, 0, 384, 480, pink, 1);
  DrawRectangleShape(0, 0, 32, 480, pink, 1);
  DrawRectangleShape(608, 0, 640, 480, pink, 1);
  DrawRectangleShape(-5, -5, 320, 485, MakeScreenColor(255, 80, 40), 0);
  DrawRectangleShape(0, 0, 640, 32, white, 1);
  DrawRectangleShape(0, 0, 640, 32, black, 0);
  DrawRectangleShape(0, 448, 640, 480, white, 1);
  DrawRectangleShape(0, 448, 640, 480, black, 0);
  DrawNumber(HockeyScores[0], 256, 20, 1.0);
  DrawNumber(HockeyScores[1], 384, 20, 1.0);
  static constexpr uint8_t kColours[4][3] = {{255, 130, 130}, {130, 130, 255}, {255, 255, 130}, {130, 255, 130}};
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    const uint8_t* c = kColours[p - 1];
    int32_t x1 = static_cast<int32_t>(r.x - kPaddleHalfWidth), y1 = static_cast<int32_t>(r.y - kPaddleHalfHeight);
    int32_t x2 = static_cast<int32_t>(r.x + kPaddleHalfWidth), y2 = static_cast<int32_t>(r.y + kPaddleHalfHeight);
    DrawRectangleShape(x1, y1, x2, y2, MakeScreenColor(c[0], c[1], c[2]), 1);
    DrawRectangleShape(x1, y1, x2, y2, black, 0);
  }
}

void HockeyDrawPucks() {
  uint32_t black = MakeScreenColor(0, 0, 0);
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (const HockeyPuck& k : HockeyPucks) {
    if (k.active == 0) continue;
    if (k.smash != 0) {
      SetDrawBlend(1, 100);
      for (const auto& point : k.trail)
        if (point[0] != kTrailEmpty)
          DrawCircleShape(static_cast<int32_t>(point[0]), static_cast<int32_t>(point[1]), 5, white, 1);
      SetDrawBlend(0, 255);
    }
    int32_t x = static_cast<int32_t>(k.x), y = static_cast<int32_t>(k.y);
    DrawCircleShape(x, y, 6, black, 0);
    DrawCircleShape(x, y, 5, white, 1);
  }
}

void HockeyCpu(int32_t p) {
  ParticipantRecord& me = ParticipantTable[p];
  float& speedX = me.reals[0];
  float& speedY = me.reals[1];
  if (me.cpuLevel == 2) {
    // Follows the first puck up and down.
    speedX = 0.0f;
    float puckY = HockeyPucks[0].y;
    speedY = puckY < me.y ? -kPaddleSpeed : puckY > me.y ? kPaddleSpeed : 0.0f;
    return;
  }
  if (me.cpuLevel != 1) {
    // Other levels keep their paddle where it is.
    speedX = 0.0f;
    speedY = 0.0f;
    return;
  }
  // The nearest puck in front of the paddle within 200 pixels (puck 0 when
  // there is none).
  int32_t target = 0;
  float best = 200.0f;
  bool leftSide = OnLeftSide(p);
  for (int32_t i = 0; i < kHockeyPuckCount; ++i) {
    const HockeyPuck& k = HockeyPucks[i];
    if (k.active == 0 || (leftSide ? k.x < me.x : k.x > me.x)) continue;
    float d = std::sqrt(GetDistanceSquared(me.x, me.y, k.x, k.y));
    if (d < best) {
      best = d;
      target = i;
    }
  }
  const HockeyPuck& puck = HockeyPucks[target];
  int32_t& delay = CpuWorkTable[p].counter;
  if (delay == 0) {
    speedX = 0.0f;
    speedY = 0.0f;
    if (puck.heading == me.team) {
      // The puck comes for its goal: meet it.
      if (puck.y < me.y - 16.0f) speedY = -kPaddleSpeed;
      if (puck.y > me.y + 16.0f) speedY = kPaddleSpeed;
    } else if (me.y < 72.0f || (me.y >= 240.0f && me.y < 280.0f)) {
      // Otherwise back into the nearer of the bands 72..200 and 280..408.
      speedY = kPaddleSpeed;
    } else if ((me.y > 200.0f && me.y < 240.0f) || me.y > 408.0f) {
      speedY = -kPaddleSpeed;
    }
    delay = GetRandomNumber(4) + 4;
  } else {
    --delay;
  }
  float distance = std::sqrt(GetDistanceSquared(me.x, me.y, puck.x, puck.y));
  if (distance < 23.0f && HockeySwingState(p) == kReady && CpuOneChanceIn(21)) HockeySwingState(p) = kSwinging;
  // Keep apart from the team mate.
  int32_t mateNumber = FindTeammate(p);
  if (mateNumber == 0) return;
  const ParticipantRecord& mate = ParticipantTable[mateNumber];
  if (me.y == mate.y) {
    if (mate.reals[1] != 0.0f)
      speedY = mate.reals[1] > 0.0f ? -kPaddleSpeed : kPaddleSpeed;
    else
      speedY = GetRandomNumber(1) == 0 ? -kPaddleSpeed : kPaddleSpeed;
  } else if (me.y < mate.y) {
    if (me.y > static_cast<float>(224 + GetRandomNumber(16)))
      speedY = -kPaddleSpeed;
    else if (me.y + speedY > static_cast<float>(208 + GetRandomNumber(16)))
      speedY = 0.0f;
  } else {
    if (me.y < static_cast<float>(240 + GetRandomNumber(16)))
      speedY = kPaddleSpeed;
    else if (me.y + speedY < static_cast<float>(256 + GetRandomNumber(16)))
      speedY = 0.0f;
  }
}

float ReflectAngle(float axis, float angle) {
  if (!std::isfinite(axis) || !std::isfinite(angle)) return axis;
  float d = std::remainder(angle - axis, 2.0f * kPi);  // within -pi..pi first
  while (d > kHalfPi) d -= kPi;
  while (d < -kHalfPi) d += kPi;
  float r = std::remainder(axis - d, 2.0f * kPi);
  while (r > kPi) r -= 2.0f * kPi;
  while (r < -kPi) r += 2.0f * kPi;
  return r;
}

void HockeyPuckPhysics() {
  for (int32_t i = 0; i < kHockeyPuckCount; ++i) {
    HockeyPuck& k = HockeyPucks[i];
    if (k.active == 0) continue;
    if (k.hitPending != 0) RespondToHit(i);
    if (k.y <= kTopBoard || k.y >= kBottomBoard) k.speedY = -k.speedY;
    k.angle = std::atan2(k.speedY, k.speedX);
    SetVelocityFromAngle(k);
    TestPaddles(k);
    if (k.y + k.speedY < kTopBoard) k.speedY = kTopBoard - k.y;
    if (k.y + k.speedY > kBottomBoard) k.speedY = kBottomBoard - k.y;
    if (k.smash != 0 && ++k.trailTimer % 2 == 0) {
      k.trail[k.trailIndex][0] = k.x;
      k.trail[k.trailIndex][1] = k.y;
      k.trailIndex = (k.trailIndex + 1) % 5;
    }
    k.x += k.speedX;
    k.y += k.speedY;
  }
}

int HockeyPlay() {
  switch (HockeyPlayStep) {
    case 0:
      PlacePaddles();
      HockeyClock = kPlayFrames;
      HockeyAllowedPucks = 1;
      HockeySpawnDelay = 0;
      DrawHockey();
      HockeyPlayStep = 1;
      break;
    case 1:
      for (HockeyPuck& k : HockeyPucks) k.active = 0;
      ResetPuck(0);
      DrawHockey();
      HockeyPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 9:
      HockeyPlayStep = 0;
      DrawHockey();
      return 1;
    default:
      break;
  }
  return 0;
}

int HockeyOutcome() {
  DrawHockey();
  switch (HockeyOutcomeStep) {
    case 0:
      HockeyOutcomeStep = 1;
      break;
    case 1: {
      int32_t winner = HockeyScores[0] > HockeyScores[1] ? 1 : HockeyScores[1] > HockeyScores[0] ? 2 : 0;
      if (winner != 0) AwardTeam(winner, kWinnerCoins);
      HockeyOutcomeStep = 2;
      break;
    }
    case 2:
      HockeyOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
