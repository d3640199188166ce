// Minigame 4, stair race.
#include "game/minigames/stair.h"

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t StairStep = 0;
int32_t StairPlayStep = 0;
int32_t StairOutcomeStep = 0;
int32_t StairRoundClock = 0;
int32_t StairRevealCounter = 0;
int32_t StairPanelOffsets[5] = {};
int32_t StairFadeCounters[5] = {};
int32_t StairBlossomCounter = 0;
int32_t StairBackground = 0;
int32_t StairStaircase = 0;
int32_t StairSpirit = 0;
int32_t StairBlossom = 0;

int32_t& StairStepCount(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& StairChoice(int32_t p) { return ParticipantTable[p].ints[1]; }
uint8_t& StairClash(int32_t p) { return ParticipantTable[p].bytes[0]; }

namespace {

constexpr int32_t kWinnerCoins = 10;
constexpr float kHopSpeedX = 0.5f;
constexpr float kHopSpeedY = -5.0f;
constexpr float kHopGravity = 0.3f;
constexpr int32_t kBlossomPeriod = 240;
// The panel's column and its rows.
constexpr int32_t kPanelLeft = 512;
constexpr int32_t kMarkX = 544;
int32_t PanelRowY(int32_t p) { return 64 + 100 * (p - 1); }

// Reveal frames: the cards slide out, hold, the marks fade in shrinking,
// stand, and the cards slide back.
constexpr int32_t kSlideOutEnd = 20;
constexpr int32_t kMarksFadeStart = 40;
constexpr int32_t kMarksStandStart = 56;
constexpr int32_t kSlideBackStart = 86;
constexpr int32_t kSlideStep = 5;

const MinigameMedia kStairMedia[] = {
    MinigamePicture("media\\mini\\stair\\階段 背景.png", &StairBackground),
    MinigamePicture("media\\mini\\stair\\階段　単品.png", &StairStaircase),
    MinigamePicture("media\\mini\\stair\\階段 ミュラグ.png", &StairSpirit),
    MinigamePicture("media\\mini\\stair\\階段 桜吹雪.png", &StairBlossom),
};

int LoadStair() { return LoadMinigameMedia(kStairMedia); }
void FreeStair() { FreeMinigameMedia(kStairMedia); }

void DrawAll() {
  StairDraw();
  StairDrawPanel();
}

// Everything a game starts from, whatever the last one left.
void SetUpStair() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = 48.0f + 96.0f * static_cast<float>(p - 1);
    r.y = kStairFloorY;
    r.reals[0] = r.reals[1] = 0.0f;
    r.phase = kStairStanding;
    StairStepCount(p) = 0;
    StairChoice(p) = 0;
    StairClash(p) = 0;
    StairPanelOffsets[p] = 0;
    StairFadeCounters[p] = 0;
  }
  StairPlayStep = 0;
  StairOutcomeStep = 0;
  StairRoundClock = 0;
  StairRevealCounter = 0;
  StairBlossomCounter = 0;
  DrawAll();
}

void StartRound() {
  StairRoundClock = kStairRoundFrames;
  StairRevealCounter = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].phase = kStairStanding;
    StairChoice(p) = 0;
    StairClash(p) = 0;
    StairFadeCounters[p] = 0;
  }
}

// Play state 2: a human may change the choice until the clock runs out; the
// last of several new presses in one frame counts (A, B, C in this order).
void Choose() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p)) {
      StairCpuChoose(p);
      continue;
    }
    if (IsNewParticipantPress(p, kButtonA)) StairChoice(p) = 1;
    if (IsNewParticipantPress(p, kButtonB)) StairChoice(p) = 3;
    if (IsNewParticipantPress(p, kButtonC)) StairChoice(p) = 5;
  }
  --StairRoundClock;
  if (StairRoundClock > 0) DrawNumber(StairRoundClock / 60 + 1, 64, 100, 1.0);
}

void DrawMark(int32_t p, double scale) {
  int32_t mark = StairClash(p) == 1 ? WrongMarkPicture : RightMarkPicture;
  DrawGraphRotated(kMarkX - StairPanelOffsets[p], PanelRowY(p) + 32, scale, 0.0, mark, 1, 0);
}

// Play state 4, one frame of the reveal; true once its last frame is done.
bool Reveal() {
  int32_t frame = StairRevealCounter;
  if (frame < kSlideOutEnd) {
    for (int32_t p = 1; p <= 4; ++p) StairPanelOffsets[p] += kSlideStep;
  } else if (frame >= kMarksFadeStart && frame < kMarksStandStart) {
    SetDrawBlend(1, 16 * StairFadeCounters[1]);
    SetDrawFilterMode(1);
    for (int32_t p = 1; p <= 4; ++p) DrawMark(p, 2.5 - 0.09375 * StairFadeCounters[p]);
    SetDrawBlend(0, 255);
    SetDrawFilterMode(0);
    for (int32_t p = 1; p <= 4; ++p) ++StairFadeCounters[p];
  } else if (frame >= kMarksStandStart && frame < kSlideBackStart) {
    for (int32_t p = 1; p <= 4; ++p) DrawMark(p, 1.0);
  } else if (frame >= kSlideBackStart) {
    for (int32_t p = 1; p <= 4; ++p) StairPanelOffsets[p] -= kSlideStep;
  }
  ++StairRevealCounter;
  return StairRevealCounter >= kStairRevealFrames;
}

// Play state 6, one frame of hops; the next play state.
int32_t Climb() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    if (StairChoice(p) <= 0) continue;
    if (StairStepCount(p) >= kStairSteps) {
      StairChoice(p) = 0;  // nothing above the top step
      continue;
    }
    if (r.phase != kStairHopping) {
      r.reals[0] = kHopSpeedX;
      r.reals[1] = kHopSpeedY;
      r.phase = kStairHopping;
      PlaySoundHandle(SoundEffectHandles[17], 1, 1);
      continue;
    }
    r.reals[1] += kHopGravity;
    Vector2f at = AddVectors(r.x, r.y, r.reals[0], r.reals[1]);
    r.x = at.x;
    r.y = at.y;
    float tread = kStairStepTops[StairStepCount(p)];
    if (r.reals[1] > 0.0f && r.y > tread) {
      r.y = tread;
      ++StairStepCount(p);
      --StairChoice(p);
      r.phase = kStairStanding;
    }
  }
  int32_t next = 1;
  for (int32_t p = 1; p <= 4; ++p)
    if (StairChoice(p) > 0) next = 6;
  for (int32_t p = 1; p <= 4; ++p)
    if (StairStepCount(p) >= kStairSteps) next = 8;
  return next;
}

constexpr MinigameSteps kStair = {
    .step = &StairStep,
    .numbering = &kMinigameStepsA,
    .load = LoadStair,
    .setUp = SetUpStair,
    .draw = DrawAll,
    .play = StairPlay,
    .outcome = StairOutcome,
    .unload = FreeStair,
};

}  // namespace

int StairMain() { return RunMinigameSteps(kStair); }

void StairDraw() {
  DrawGraphAt(0, 0, StairBackground, 1);
  DrawGraphAt(0, 4, StairStaircase, 1);
  DrawGraphAt(-4, 0, StairSpirit, 1);
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    int32_t picture = ParticipantPicture(p, 17);
    int32_t height = 0;
    QueryGraphSize(picture, nullptr, &height);
    DrawGraphRotated(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y - static_cast<float>(height) / 2.0f), 1.0,
                     0.0, picture, 1, 0);
  }
  // The blossom layer drifts down to the right, four copies tiling the screen.
  if (++StairBlossomCounter > kBlossomPeriod) StairBlossomCounter = 0;
  int32_t dx = StairBlossomCounter * 640 / kBlossomPeriod;
  int32_t dy = StairBlossomCounter * 480 / kBlossomPeriod;
  for (int32_t i = 0; i < 4; ++i) DrawGraphAt(dx - 640 * (i % 2), dy - 480 * (i / 2), StairBlossom, 1);
}

void StairDrawPanel() {
  // The choice cards lie under the panel until the reveal slides them out.
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t choice = StairChoice(p);
    if (choice > 0 && choice <= 9)
      DrawGraphAt(kPanelLeft - StairPanelOffsets[p], PanelRowY(p), SmallDigitPictures[choice], 0);
  }
  DrawRectangleShape(kPanelLeft, 0, 640, 480, MakeScreenColor(0, 0, 0), 1);
  DrawWindowFrame(kPanelLeft, 0, 640, 480);
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t p = 1; p <= 4; ++p)
    DrawFormatTextToHandle(kMarkX, PanelRowY(p), white, FontHandlesBySize[19], "%dP:%d", p, StairStepCount(p));
}

void StairCpuChoose(int32_t p) {
  if (StairChoice(p) != 0) return;
  int32_t level = ParticipantTable[p].cpuLevel;
  if (level < 1 || level > 4) return;
  int32_t r = GetRandomNumber(9) + 1;
  // The highest roll for 1 and for 3 by level; the rest choose 5.
  int32_t upToOne = level <= 2 ? 3 : 2;
  int32_t upToThree = level <= 2 ? 6 : level == 3 ? 4 : 5;
  StairChoice(p) = r <= upToOne ? 1 : r <= upToThree ? 3 : 5;
}

void StairMarkClashes() {
  for (int32_t p = 1; p <= 4; ++p) {
    bool clashed = false;
    for (int32_t q = 1; q <= 4; ++q) {
      if (q == p || StairChoice(q) != StairChoice(p)) continue;
      StairClash(q) = 1;
      clashed = true;
    }
    if (clashed || StairChoice(p) == 0) StairClash(p) = 1;
  }
}

int StairPlay() {
  DrawAll();
  switch (StairPlayStep) {
    case 0:
      for (int32_t p = 1; p <= 4; ++p) StairPanelOffsets[p] = 0;
      StairRevealCounter = 0;
      StairPlayStep = 1;
      break;
    case 1:
      StartRound();
      StairPlayStep = 2;
      break;
    case 2:
      Choose();
      if (StairRoundClock <= 0) StairPlayStep = 3;
      break;
    case 3:
      StairMarkClashes();
      StairPlayStep = 4;
      break;
    case 4:
      if (Reveal()) StairPlayStep = 5;
      break;
    case 5:
      for (int32_t p = 1; p <= 4; ++p)
        if (StairClash(p) == 1) StairChoice(p) = 0;
      StairPlayStep = 6;
      break;
    case 6:
      StairPlayStep = Climb();
      break;
    case 8:
      StairPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int StairOutcome() {
  DrawAll();
  switch (StairOutcomeStep) {
    case 0:
      StairOutcomeStep = 1;
      break;
    case 1:
      for (int32_t p = 1; p <= 4; ++p)
        if (StairStepCount(p) > kStairSteps - 1) AwardParticipant(p, kWinnerCoins);
      StairOutcomeStep = 2;
      break;
    case 2:
      StairOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
