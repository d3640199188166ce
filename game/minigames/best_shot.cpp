// Minigame 10, best shot.
#include "game/minigames/best_shot.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t BestShotStep = 0;
int32_t BestShotPlayStep = 0;
int32_t BestShotOutcomeStep = 0;
int32_t BestShotCountdown = 0;
BestShotTargetRecord BestShotTarget = {};
float BestShotCircleRadius = 300.0f;

int32_t& BestShotState(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& BestShotCpuChoice(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

constexpr int32_t kPlayFrames = 6000;
constexpr float kCentreX = 320.0f, kCentreY = 240.0f;
constexpr float kStartRadius = 300.0f;
constexpr float kTargetRadius = 5.0f;
constexpr float kRampStep = 0.31415927f;     // pi / 10
constexpr float kRampLimit = 1.5707963705f;  // pi / 2
constexpr float kMinSpeed = 15.0f, kMaxSpeed = 38.0f;

enum ShotState : int32_t { kNotShot = 0, kAsked = 1, kTaken = 2 };

int DrawWhileLoading() {
  BestShotDraw();
  return 1;
}

void SetUpBestShot() {
  for (int32_t p = 1; p <= 4; ++p) {
    BestShotState(p) = kNotShot;
    BestShotCpuChoice(p) = 0;
  }
  BestShotTarget = {};
  BestShotTarget.x = -100.0f;
  BestShotTarget.y = 240.0f;
  // The course circle is redrawn at every turn; each game starts on the
  // same one.
  BestShotCircleRadius = kStartRadius;
  // No seconds shown before play starts.
  BestShotCountdown = 0;
  BestShotDraw();
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p))
      BestShotCpu(p);
    else if (IsNewParticipantPress(p, kButtonA))
      BestShotState(p) = kAsked;  // a later press replaces the snapshot
  }
  BestShotTakeShots();
  BestShotMoveTarget();
  BestShotDraw();
  bool allShot = true;
  for (int32_t p = 1; p <= 4; ++p) allShot = allShot && BestShotState(p) == kTaken;
  if (allShot || BestShotCountdown == 0)
    BestShotPlayStep = 3;
  else
    --BestShotCountdown;
}

constexpr MinigameSteps kBestShot = {
    .step = &BestShotStep,
    .numbering = &kMinigameStepsA,
    .load = DrawWhileLoading,
    .setUp = SetUpBestShot,
    .draw = BestShotDraw,
    .play = BestShotPlay,
    .outcome = BestShotOutcome,
};

}  // namespace

int BestShotMain() { return RunMinigameSteps(kBestShot); }

void BestShotDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  DrawRectangleShape(0, 0, 16, 480, MakeScreenColor(190, 80, 0), 1);
  const BestShotTargetRecord& t = BestShotTarget;
  DrawRectangleShape(static_cast<int32_t>(t.x - 16.0f), static_cast<int32_t>(t.y - 16.0f),
                     static_cast<int32_t>(t.x + 16.0f), static_cast<int32_t>(t.y + 16.0f),
                     MakeScreenColor(200, 200, 200), 1);
  // Each snapshot taken shows the shooter's piece where the target was.
  for (int32_t p = 1; p <= 4; ++p)
    if (BestShotState(p) == kTaken)
      DrawGraphRotated(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 1.0,
                       0.0, ParticipantPicture(p, 1), 1, 0);
  if (BestShotCountdown > 0) DrawNumber(BestShotCountdown / 60 + 1, 320, 100, 1.0);
}

int BestShotPlay() {
  switch (BestShotPlayStep) {
    case 0:
      BestShotDraw();
      BestShotPlayStep = 1;
      break;
    case 1:
      BestShotCountdown = kPlayFrames;
      for (int32_t p = 1; p <= 4; ++p) {
        ParticipantTable[p].phase = 0;
        BestShotCpuChoice(p) = 0;
        ParticipantTable[p].bytes[0] = 0;
      }
      BestShotDraw();
      BestShotPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      BestShotDraw();
      BestShotPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void BestShotCpu(int32_t p) {
  if (BestShotCpuChoice(p) != 0) return;
  int32_t level = ParticipantTable[p].cpuLevel;
  int32_t r = GetRandomNumber(9) + 1;
  int32_t low = level == 2 ? 4 : 3;
  int32_t middle = level == 2 ? 6 : level == 3 ? 4 : 5;
  BestShotCpuChoice(p) = r < low ? 1 : r <= middle ? 3 : 5;
}

void BestShotTakeShots() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (BestShotState(p) != kAsked) continue;
    BestShotState(p) = kTaken;
    ParticipantTable[p].x = BestShotTarget.x;
    ParticipantTable[p].y = BestShotTarget.y;
  }
}

void BestShotMoveTarget() {
  BestShotTargetRecord& t = BestShotTarget;
  float speed = 40.0f * std::sin(t.ramp);
  if (speed < kMinSpeed) speed = kMinSpeed;
  if (speed > kMaxSpeed) speed = kMaxSpeed;
  t.speed = speed;
  Vector2f step = ScaleVector(speed, std::cos(t.heading), std::sin(t.heading));
  t.stepX = step.x;
  t.stepY = step.y;
  t.x += step.x;
  t.y += step.y;
  if (HitCircleCircle(t.x, t.y, kTargetRadius, kCentreX, kCentreY, BestShotCircleRadius)) return;
  BestShotCircleRadius = kStartRadius + static_cast<float>(GetRandomNumber(300));
  float aimX = static_cast<float>(288 + GetRandomNumber(64));
  float aimY = static_cast<float>(208 + GetRandomNumber(64));
  t.heading = std::atan2(aimY - t.y, aimX - t.x);
  t.ramp += kRampStep;
  if (t.ramp > kRampLimit) t.ramp = kRampLimit;
}

int BestShotOutcome() {
  BestShotDraw();
  switch (BestShotOutcomeStep) {
    case 0: {
      // Everyone who shot wins (and all four when nobody did); no coins.
      int32_t states[kParticipantRecords] = {};
      for (int32_t p = 1; p <= 4; ++p) states[p] = BestShotState(p);
      AwardHighestScores(states, 0);
      BestShotOutcomeStep = 1;
      break;
    }
    case 1:
      BestShotOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
