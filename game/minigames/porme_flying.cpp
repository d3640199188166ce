// Minigame 11, porme flying.
#include "game/minigames/porme_flying.h"

#include <cmath>
#include <cstdio>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t PormeFlyingStep = 0;
int32_t PormeThrowStep = 0;
int32_t PormeOutcomeStep = 0;
int32_t PormeThrower = 0;
int32_t PormeThrowWait = 0;
int32_t PormeGhostFrame = 0, PormeGhostX = 0, PormeGhostY = 0, PormeGhostCount = 0;
int32_t PormeCells[6] = {};
int32_t PormeTurnCells[36] = {};

int32_t& PormeFrameCounter(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& PormePower(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& PormePhase(int32_t p) { return ParticipantTable[p].ints[2]; }
uint8_t& PormeReleased(int32_t p) { return ParticipantTable[p].bytes[0]; }
float& PormeVerticalSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }

namespace {

constexpr int32_t kMaxPower = 10;
constexpr int32_t kWhirlStepFrames = 60;  // the counter runs 0..60: a power step every 61 frames
constexpr int32_t kSlideStepFrames = 10;  // 0..10: a speed step every 11 frames
constexpr float kReleaseSpeed = -2.0f;
constexpr float kGravity = 0.02f;
constexpr int32_t kRestFrames = 59;
constexpr int32_t kCpuReleaseChance = 121;
constexpr float kStartX = 128.0f, kStartY = 336.0f;
constexpr int32_t kGhostStay = 5;

// Camera offset of the scene, kept in record 0 as its last two reals.
float& CameraX() { return ParticipantTable[0].reals[2]; }
float& CameraY() { return ParticipantTable[0].reals[3]; }

const MinigameMedia kPormeMedia[] = {
    MinigamePictureCells("media\\mini\\flyingporme\\ポルメ.png", PormeCells, 6, 6, 1, 110, 110),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_tavisha.png", PormeTurnCells + 0, 6, 6, 1, 80, 115),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_belnora.png", PormeTurnCells + 6, 6, 6, 1, 80, 115),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_quendri.png", PormeTurnCells + 12, 6, 6, 1, 80, 115),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_falisse.png", PormeTurnCells + 18, 6, 6, 1, 80, 115),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_odwyna.png", PormeTurnCells + 24, 6, 6, 1, 80, 115),
    MinigamePictureCells("media\\mini\\flyingporme\\turn_jurelle.png", PormeTurnCells + 30, 6, 6, 1, 80, 115),
};

int LoadPorme() {
  if (LoadMinigameMedia(kPormeMedia) < 0) return -1;
  DrawPormeFlying(1);
  return 1;
}
void FreePorme() { FreeMinigameMedia(kPormeMedia); }

void SetUpPorme() {
  PormeThrower = 0;
  PormeThrowWait = 0;
  PormeThrowStep = 0;
  PormeOutcomeStep = 0;
  PormeGhostFrame = PormeGhostX = PormeGhostY = PormeGhostCount = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = -100.0f;
    r.reals[0] = r.reals[1] = 0.0f;
    PormeFrameCounter(p) = 0;
    PormePower(p) = 0;
    PormePhase(p) = 0;
    PormeReleased(p) = 0;
    PormeVerticalSpeed(p) = 0.0f;
  }
  ParticipantTable[0].x = 128.0f;
  ParticipantTable[0].y = 368.0f;
  CameraX() = CameraY() = 0.0f;
  DrawPormeFlying(1);
}

// The START banner stands over the scene before play; the later steps show
// the last throw at rest.
void DrawScene() { DrawPormeFlying(PormeFlyingStep == 3 ? 1 : 5); }

constexpr MinigameSteps kPorme = {
    .step = &PormeFlyingStep,
    .numbering = &kMinigameStepsA,
    .load = LoadPorme,
    .setUp = SetUpPorme,
    .draw = DrawScene,
    .play = PormeThrowPlay,
    .outcome = PormeFlyingOutcome,
    .unload = FreePorme,
};

void AdvancePhase(int32_t p) {
  PormePhase(p) += PormePower(p);
  if (PormePhase(p) > 59) PormePhase(p) -= 60;
}

// Step 3: 1 when the thrower lets go this frame.
bool Whirl(int32_t p) {
  bool release = IsHumanParticipant(p) ? IsNewParticipantPress(p, kButtonA) : PormeCpuRelease() != 0;
  if (release) {
    PormeReleased(p) = 1;
    PormeVerticalSpeed(p) = kReleaseSpeed;
    return true;
  }
  if (PormeFrameCounter(p) >= kWhirlStepFrames) {
    PormeFrameCounter(p) = 0;
    if (PormePower(p) < kMaxPower) ++PormePower(p);
  } else {
    ++PormeFrameCounter(p);
  }
  AdvancePhase(p);
  return false;
}

// Step 4: 1 when Porme has landed.
bool Fly(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[0] = static_cast<float>(PormePower(p) + 10);
  PormeVerticalSpeed(p) += kGravity;
  r.reals[1] = PormeVerticalSpeed(p);
  r.x += r.reals[0];
  r.y += r.reals[1];
  AdvancePhase(p);
  return r.y > kPormeGroundY;
}

// Step 5: 1 when Porme has stopped.
bool Slide(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  if (PormePower(p) < 1) return true;
  if (PormeFrameCounter(p) >= kSlideStepFrames) {
    PormeFrameCounter(p) = 0;
    --PormePower(p);
  } else {
    ++PormeFrameCounter(p);
  }
  r.reals[0] = static_cast<float>(PormePower(p) * 2);
  r.reals[1] = 0.0f;
  r.x += r.reals[0];
  return false;
}

}  // namespace

int PormeFlyingMain() { return RunMinigameSteps(kPorme); }

int PormeThrowPlay() {
  int32_t p = PormeThrower;
  int32_t mode = 5;
  int result = 0;
  switch (PormeThrowStep) {
    case 0:
      PormeThrowStep = 1;
      mode = 1;
      break;
    case 1:
      for (int32_t q = 1; q <= 4; ++q) {
        ParticipantTable[q].phase = 0;
        PormePower(q) = 0;
        PormeReleased(q) = 0;
      }
      PormeThrowStep = 2;
      break;
    case 2:
      p = ++PormeThrower;
      ParticipantTable[p].x = kStartX;
      ParticipantTable[p].y = kStartY;
      PormePower(p) = 1;
      PormeThrowWait = 0;
      PormeThrowStep = 3;
      break;
    case 3:
      mode = 3;
      if (Whirl(p)) {
        PormeThrowStep = 4;
        mode = 4;
      }
      break;
    case 4:
      mode = 4;
      if (Fly(p)) {
        PormeThrowStep = 5;
        mode = 5;
      }
      break;
    case 5:
      if (Slide(p)) {
        PormeThrowStep = 6;
        mode = 6;
      }
      break;
    case 6:
      mode = 6;
      if (++PormeThrowWait > kRestFrames) PormeThrowStep = 7;
      break;
    case 7:
      mode = 6;
      PormeThrowStep = PormeThrower != 4 ? 2 : 8;
      break;
    case 8:
      mode = 6;
      PormeThrowStep = 0;
      result = 1;
      break;
    default:
      break;
  }
  DrawPormeFlying(mode);
  return result;
}

int PormeCpuRelease() {
  // Every CPU level lets go with one chance in 121 a frame.
  return CpuOneChanceIn(kCpuReleaseChance) ? 1 : 0;
}

int PormeFlyingOutcome() {
  DrawPormeFlying(5);
  switch (PormeOutcomeStep) {
    case 0:
      PormeOutcomeStep = 1;
      break;
    case 1: {
      float best = ParticipantTable[1].x;
      for (int32_t p = 2; p <= 4; ++p)
        if (ParticipantTable[p].x > best) best = ParticipantTable[p].x;
      // The farthest throws win, without coins.
      for (int32_t p = 1; p <= 4; ++p)
        if (ParticipantTable[p].x == best) AwardParticipant(p, 0);
      PormeOutcomeStep = 2;
      break;
    }
    case 2:
      PormeOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}

void DrawPormeFlying(int32_t mode) {
  const ParticipantRecord& subject = ParticipantTable[PormeThrower >= 1 && PormeThrower <= 4 ? PormeThrower : 0];
  float offsetX = subject.x - 320.0f;
  float offsetY = subject.y - 240.0f;
  if (offsetX < 0.0f) offsetX = 0.0f;
  if (offsetY > 0.0f) offsetY = 0.0f;
  CameraX() = offsetX;
  CameraY() = offsetY;
  const int32_t ox = static_cast<int32_t>(offsetX), oy = static_cast<int32_t>(offsetY);

  DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  FillRectangleShape(0, 400 - oy, 640, 480 - oy, MakeScreenColor(190, 80, 0));
  FillRectangleShape(-ox, 384 - oy, 256 - ox, 480 - oy, MakeScreenColor(0, 120, 0));
  const uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t m = 256; m < 6256; m += 200) FillRectangleShape(m - ox, 400 - oy, m + 4 - ox, 480 - oy, white);

  if (mode == 1) {
    for (int32_t p = 1; p <= 4; ++p)
      DrawCircleShape(static_cast<int32_t>(ParticipantTable[p].x) - ox, static_cast<int32_t>(ParticipantTable[p].y) - oy, 5,
                      MakeScreenColor(0, 0, 255), 1);
    return;
  }
  if (PormeThrower < 1 || PormeThrower > 4) return;
  const int32_t p = PormeThrower;
  const ParticipantRecord& r = ParticipantTable[p];
  const int32_t frame = PormePhase(p) / 10 % 6;
  const int32_t thrower = ParticipantPicture(p, 33 + frame);
  int32_t w = 0, h = 0;
  if (QueryGraphSize(thrower, &w, &h) != 0) h = 0;
  const int32_t px = static_cast<int32_t>(r.x - offsetX), py = static_cast<int32_t>(r.y - offsetY);
  switch (mode) {
    case 3: {
      const double a = (PormePhase(p) + 46) * M_PI / 30.0;
      const int32_t u = static_cast<int32_t>(std::cos(a) * 64.0), v = static_cast<int32_t>(std::sin(a) * 10.0);
      const bool throwerFirst = frame == 0 || frame == 5;
      if (throwerFirst) DrawGraphRotated(128, 400 - h / 2, 1.0, 0.0, thrower, 1, 0);
      // The ghost shows the last whirl frame for a moment after it changes.
      SetDrawBlend(1, 100);
      DrawGraphRotated(px - PormeGhostX, py - PormeGhostY, 1.0, 0.0, PormeCells[PormeGhostFrame % 6], 1, 0);
      SetDrawBlend(0, 255);
      if (PormeGhostFrame != frame || PormeGhostCount >= kGhostStay) {
        PormeGhostFrame = frame;
        PormeGhostX = u;
        PormeGhostY = v;
        PormeGhostCount = 0;
      } else {
        ++PormeGhostCount;
      }
      DrawGraphRotated(px - u, py - v, 1.0, 0.0, PormeCells[frame], 1, 0);
      if (!throwerFirst) DrawGraphRotated(128, 400 - h / 2, 1.0, 0.0, thrower, 1, 0);
      break;
    }
    case 4:
      DrawGraphRotated(128 - ox, 400 - h / 2 - oy, 1.0, 0.0, thrower, 1, 0);
      DrawGraphRotated(px, py, 1.0, 0.0, PormeCells[frame], 1, 0);
      break;
    case 5:
    case 6:
      DrawGraphRotated(px, py, 1.0, 0.0, PormeCells[1], 1, 0);
      if (mode == 6) DrawNumber(static_cast<int32_t>(r.x), 240, 100, 1.0);
      break;
    default:
      break;
  }
}
