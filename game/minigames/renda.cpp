// Minigame 1, button mashing.
#include "game/minigames/renda.h"

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t RendaStep = 0;
int32_t RendaPlayStep = 0;
int32_t RendaOutcomeStep = 0;
int32_t RendaCountdown = 0;
int32_t RendaOutcomeWait = 0;
int32_t RendaPartnerFrames[5] = {};
int32_t RendaBackground = 0;
int32_t RendaLight = 0;
int32_t RendaPartnerCells[4] = {};

int32_t& RendaPressCount(int32_t p) { return ParticipantTable[p].ints[0]; }
float& RendaHopSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }

namespace {

constexpr int32_t kPlayFrames = 600;
constexpr int32_t kResultLockFrames = 60;
constexpr int32_t kWinnerCoins = 10;
constexpr float kPressHopSpeed = -45.0f;
constexpr float kGravity = 15.0f;
// A CPU participant stays silent for its first frames of play, then presses
// with one chance in nine a frame.
constexpr int32_t kCpuSilentFrames = 7;
constexpr int32_t kCpuPressChance = 9;

const MinigameMedia kRendaMedia[] = {
    MinigamePictureCells("media\\mini\\renda\\ティボラ.png", RendaPartnerCells, 4, 4, 1, 60, 60),
    MinigamePicture("media\\mini\\renda\\背景.png", &RendaBackground),
    MinigamePicture("media\\mini\\renda\\ライト.png", &RendaLight),
};

int LoadRenda() { return LoadMinigameMedia(kRendaMedia); }
void FreeRenda() { FreeMinigameMedia(kRendaMedia); }

void SetUpRenda() {
  for (int32_t& frame : RendaPartnerFrames) frame = 4;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].x = 128.0f * static_cast<float>(p);
    ParticipantTable[p].y = kRendaGroundY;
  }
}

// A counted press: the piece leaves the ground, the partner spins, a blip.
void Press(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  ++RendaPressCount(p);
  r.y = kRendaGroundY;
  r.reals[1] = 0.0f;
  RendaHopSpeed(p) = kPressHopSpeed;
  RendaPartnerFrames[p] = 0;
  PlaySoundHandle(SoundEffectHandles[17], 1, 1);
}

// Gravity on the piece; the ground stops it.
void Hop(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  RendaHopSpeed(p) += kGravity;
  r.reals[1] = RendaHopSpeed(p);
  r.y += RendaHopSpeed(p);
  if (r.y > kRendaGroundY) {
    r.y = kRendaGroundY;
    RendaHopSpeed(p) = 0.0f;
    r.reals[1] = 0.0f;
  }
}

// Play step 2. Input counts in 601 frames: the 600 counted down and the one
// that finds the countdown at 0.
void PlayFrame() {
  RendaDraw();
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p))
      RendaCpuPress(p);
    else if (IsNewParticipantPress(p, kButtonA))
      Press(p);
  }
  for (int32_t p = 1; p <= 4; ++p) Hop(p);
  for (int32_t p = 1; p <= 4; ++p)
    if (RendaPartnerFrames[p] < 4) ++RendaPartnerFrames[p];
  if (RendaCountdown == 0) {
    RendaPlayStep = 4;
    return;
  }
  DrawNumber(RendaCountdown / 60 + 1, 320, 160, 1.0);
  --RendaCountdown;
}

// Button mashing is numbering B without step 3: the set-up goes straight on
// to the START banner, and the outcome draws its own screen.
constexpr MinigameNumbering kRendaSteps = {{kStepNothing, kStepLoad, kStepSetUp, kStepUnused, kStepStartBanner,
                                            kStepPlay, kStepFinishBanner, kStepOutcome, kStepWinners, kStepUnused,
                                            kStepFadeOut, kStepUnload}};

constexpr MinigameSteps kRenda = {
    .step = &RendaStep,
    .numbering = &kRendaSteps,
    .load = LoadRenda,
    .setUp = SetUpRenda,
    .draw = RendaDraw,
    .play = RendaPlay,
    .outcome = RendaOutcome,
    .unload = FreeRenda,
};

}  // namespace

int RendaMain() { return RunMinigameSteps(kRenda); }

void RendaDraw() {
  DrawGraphAt(0, 0, RendaBackground, 1);
  for (int32_t p = 1; p <= 4; ++p)
    DrawGraphRotated(128 * p, static_cast<int32_t>(ParticipantTable[p].y - 15.0), 1.5, 0.0, ParticipantPicture(p, 1),
                     1, 0);
  // An idle partner (frame 4) shows cell 0; a press runs cells 1, 2, 3 and back to 0.
  for (int32_t p = 1; p <= 4; ++p)
    DrawGraphRotated(static_cast<int32_t>(128 * p - 7.5), 369, 1.5, 0.0, RendaPartnerCells[RendaPartnerFrames[p] % 4],
                     1, 0);
  SetDrawBlend(2, 255);
  DrawGraphAt(0, 0, RendaLight, 1);
  SetDrawBlend(0, 255);
}

int RendaPlay() {
  switch (RendaPlayStep) {
    case 0:
      RendaDraw();
      RendaPlayStep = 1;
      break;
    case 1:
      RendaDraw();
      for (int32_t p = 1; p <= 4; ++p) {
        RendaPressCount(p) = 0;
        RendaHopSpeed(p) = 0.0f;
        ParticipantTable[p].reals[0] = 0.0f;
        ParticipantTable[p].reals[1] = 0.0f;
      }
      RendaCountdown = kPlayFrames;
      RendaPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      RendaDraw();
      // The next game starts at step 1, which clears the same fields.
      RendaPlayStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}

void RendaCpuPress(int32_t p) {
  // Every CPU level presses at the same rate.
  if (CountCpuFrame(p) <= kCpuSilentFrames) return;
  if (CpuOneChanceIn(kCpuPressChance)) Press(p);
}

int RendaOutcome() {
  RendaDraw();
  switch (RendaOutcomeStep) {
    case 0:
      RendaOutcomeWait = kResultLockFrames;
      RendaOutcomeStep = 1;
      break;
    case 1: {
      for (int32_t p = 1; p <= 4; ++p) DrawNumber(RendaPressCount(p), 128 * p, 160, 1.0);
      if (RendaOutcomeWait > 0) {
        --RendaOutcomeWait;
        break;
      }
      // Any of the four input records leaves the screen, CPU seats included.
      if (IsNewButtonPressOnAnyRecord(kButtonA)) RendaOutcomeStep = 2;
      break;
    }
    case 2: {
      int32_t scores[kParticipantRecords] = {};
      for (int32_t p = 1; p <= 4; ++p) scores[p] = RendaPressCount(p);
      AwardHighestScores(scores, kWinnerCoins);
      RendaOutcomeStep = 3;
      break;
    }
    case 3:
      RendaOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
