// Minigame 9, catching.
#include "game/minigames/springset.h"

#include "game/minigames/best_shot.h"
#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t SpringsetStep = 0;
int32_t SpringsetPlayStep = 0;
int32_t SpringsetOutcomeStep = 0;
int32_t SpringsetClock = 0;
int32_t SpringsetSpawnCounter = 0;
SpringsetBall SpringsetBallTable[kSpringsetBallCount] = {};

int32_t& SpringsetCatchCount(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& SpringsetActionRequest(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

constexpr int32_t kPlayFrames = 2700;
constexpr float kWalkSpeed = 3.0f;
constexpr float kStartX[4] = {192.0f, 288.0f, 384.0f, 480.0f};
// A shoved participant stands this far from its shover, clear of its box.
constexpr float kShoveDistance = 33.0f;
constexpr int32_t kSpawnWait = 10;
constexpr int32_t kSpawnChance = 6;
constexpr float kBallRadius = 5.0f;
// A board-piece cell, for a participant whose picture is missing.
constexpr int32_t kPieceHeight = 32;

uint32_t Brown() { return MakeScreenColor(190, 80, 0); }

// The height of the participant's board-piece picture, which carries the tray.
int32_t PieceHeight(int32_t p) {
  int32_t h = 0;
  if (QueryGraphSize(ParticipantPicture(p, 1), nullptr, &h) != 0) h = kPieceHeight;
  return h;
}

RectRecord TrayOf(int32_t p) {
  const ParticipantRecord& r = ParticipantTable[p];
  float top = r.y - static_cast<float>(PieceHeight(p));
  return {r.x - 15.0f, top - 16.0f, r.x + 15.0f, top};
}

int DrawWhileLoading() {
  SpringsetDraw();
  return 1;
}

void SetUpSpringset() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].x = kStartX[p - 1];
    ParticipantTable[p].y = kSpringsetFloorY;
    SpringsetCatchCount(p) = 0;
    SpringsetActionRequest(p) = 0;
  }
  for (SpringsetBall& b : SpringsetBallTable) b = {};
  SpringsetSpawnCounter = 0;
}

void ReadInput() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p)) {
      // The CPU choice lands in the action request; CPU participants do
      // not walk.
      BestShotCpu(p);
      continue;
    }
    float& speedX = ParticipantTable[p].reals[0];
    speedX = 0.0f;
    if (IsParticipantButtonHeld(p, kButtonRight)) speedX = kWalkSpeed;
    if (IsParticipantButtonHeld(p, kButtonLeft)) speedX = -kWalkSpeed;
    if (IsNewParticipantPress(p, kButtonA)) SpringsetActionRequest(p) = 1;
  }
}

// The push chain's view of the participants: x and the horizontal speed.
float PushPosition(int32_t p) { return ParticipantTable[p].x; }
float PushSpeed(int32_t p) { return ParticipantTable[p].reals[0]; }

// Moves p by its speeds and shoves aside everyone its box now overlaps;
// the last one shoved moves next (0: nobody).
int32_t PushMoveOne(int32_t p) {
  ParticipantRecord& m = ParticipantTable[p];
  m.x += m.reals[0];
  m.y += m.reals[1];
  m.reals[0] = 0.0f;
  m.reals[1] = 0.0f;
  RectRecord box = {m.x - 16.0f, m.y - 15.0f, m.x + 16.0f, m.y + 15.0f};
  int32_t shoved = 0;
  for (int32_t q = 1; q <= 4; ++q) {
    if (q == p) continue;
    ParticipantRecord& o = ParticipantTable[q];
    if (!HitRectRect(box, {o.x - 16.0f, o.y - 16.0f, o.x + 16.0f, o.y + 16.0f})) continue;
    o.x = m.x + kShoveDistance * static_cast<float>(ShoveSide(m.x, o.x, p, q));
    shoved = q;
  }
  return shoved;
}

void MoveBall(SpringsetBall& b) {
  if (b.phase == 1) {
    b.speedX += b.drift == 1 ? 0.02f : -0.02f;
    b.speedY += 0.1f;
    if (b.speedY > 2.0f) {
      b.phase = 0;
      b.speedX = b.drift == 1 ? 1.0f : -1.0f;
    }
  } else {
    // Towards 0, stopping there.
    if (b.speedX > 0.02f)
      b.speedX -= 0.02f;
    else if (b.speedX < -0.02f)
      b.speedX += 0.02f;
    else
      b.speedX = 0.0f;
    b.speedY -= 0.05f;
  }
  if (b.speedY < 0.1f) {
    b.phase = 1;
    int32_t drift = GetRandomNumber(1);
    if (drift != b.drift) {
      b.drift = drift;
      b.speedX = 0.0f;
    }
  }
}

void PlayFrame() {
  ReadInput();
  SpringsetClampMove();
  SpringsetBalls();
  SpringsetDraw();
  if (SpringsetClock == 0) {
    SpringsetPlayStep = 3;
    return;
  }
  --SpringsetClock;
  DrawNumber(SpringsetClock / 60, 320, 100, 1.0);
}

constexpr MinigameSteps kSpringset = {
    .step = &SpringsetStep,
    .numbering = &kMinigameStepsA,
    .load = DrawWhileLoading,
    .setUp = SetUpSpringset,
    .draw = SpringsetDraw,
    .play = SpringsetPlay,
    .outcome = SpringsetOutcome,
};

}  // namespace

int SpringsetMain() { return RunMinigameSteps(kSpringset); }

void SpringsetDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  uint32_t brown = Brown();
  DrawRectangleShape(0, 0, 96, 480, brown, 1);
  DrawRectangleShape(544, 0, 640, 480, brown, 1);
  DrawRectangleShape(0, 432, 640, 480, brown, 1);
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    int32_t h = PieceHeight(p);
    int32_t x = static_cast<int32_t>(r.x), y = static_cast<int32_t>(r.y);
    DrawGraphRotated(x, y - h / 2, 1.0, 0.0, ParticipantPicture(p, 1), 1, 0);
    DrawRectangleShape(x - 15, y - h - 16, x + 15, y - h, brown, 1);
    // The catches so far, on the floor under the participant.
    DrawNumber(SpringsetCatchCount(p), x, 456, 1.0);
  }
  uint32_t pink = MakeScreenColor(255, 150, 255);
  for (const SpringsetBall& b : SpringsetBallTable)
    if (b.state == 1) DrawCircleShape(static_cast<int32_t>(b.x), static_cast<int32_t>(b.y), 5, pink, 1);
}

void SpringsetPushMove() {
  static constexpr PushChain kChain = {
      .position = PushPosition,
      .speed = PushSpeed,
      .move = PushMoveOne,
      .firstLow = -99.0f,
      .firstHigh = 999.0f,
      .low = -64.0f,
      .high = 640.0f,
  };
  RunPushChain(kChain);
}

void SpringsetClampMove() {
  // A step that would pass a wall ends flush against it.
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    if (r.x + r.reals[0] < kSpringsetLeftWall)
      r.reals[0] = kSpringsetLeftWall - r.x;
    else if (r.x + r.reals[0] > kSpringsetRightWall)
      r.reals[0] = kSpringsetRightWall - r.x;
  }
  SpringsetPushMove();
}

void SpringsetBalls() {
  // Start: after 10 quiet frames, one chance in six a frame.
  if (SpringsetSpawnCounter < kSpawnWait) {
    ++SpringsetSpawnCounter;
  } else if (GetRandomNumber(kSpawnChance - 1) == 0) {
    SpringsetSpawnCounter = 0;
    if (SpringsetBall* b = FirstFreeRecord(SpringsetBallTable, &SpringsetBall::state)) {
      b->state = 1;
      b->x = static_cast<float>(96 + GetRandomNumber(448));
      b->y = static_cast<float>(GetRandomNumber(32) - 32);
      b->drift = GetRandomNumber(1);
      b->speedX = static_cast<float>(b->drift * 2 - 1);
      b->speedY = 2.0f;
      b->phase = 1;
    }
  }
  for (SpringsetBall& b : SpringsetBallTable)
    if (b.state == 1) MoveBall(b);
  // Positions stay whole: each step is cut toward zero.
  for (SpringsetBall& b : SpringsetBallTable) {
    if (b.state != 1) continue;
    b.x = static_cast<float>(static_cast<int32_t>(b.x + b.speedX));
    b.y = static_cast<float>(static_cast<int32_t>(b.y + b.speedY));
  }
  for (int32_t p = 1; p <= 4; ++p) {
    RectRecord tray = TrayOf(p);
    for (SpringsetBall& b : SpringsetBallTable) {
      if (b.state != 1 || !HitCircleRect({b.x, b.y, kBallRadius}, tray)) continue;
      ++SpringsetCatchCount(p);
      b.state = 0;
    }
  }
  for (SpringsetBall& b : SpringsetBallTable)
    if (b.state == 1 && (b.x < 0.0f || b.x > 640.0f || b.y > kSpringsetFloorY)) b.state = 0;
}

int SpringsetPlay() {
  switch (SpringsetPlayStep) {
    case 0:
      SpringsetClock = 0;
      SpringsetDraw();
      SpringsetPlayStep = 1;
      break;
    case 1:
      SpringsetClock = kPlayFrames;
      for (int32_t p = 1; p <= 4; ++p) SpringsetActionRequest(p) = 0;
      SpringsetDraw();
      SpringsetPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      SpringsetPlayStep = 0;
      SpringsetDraw();
      return 1;
    default:
      break;
  }
  return 0;
}

int SpringsetOutcome() {
  SpringsetDraw();
  switch (SpringsetOutcomeStep) {
    case 0:
      SpringsetOutcomeStep = 1;
      break;
    case 1: {
      // The most catches win, without coins; nobody caught anything: all four.
      int32_t counts[kParticipantRecords] = {};
      for (int32_t p = 1; p <= 4; ++p) counts[p] = SpringsetCatchCount(p);
      AwardHighestScores(counts, 0);
      SpringsetOutcomeStep = 2;
      break;
    }
    case 2:
      SpringsetOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
