// Minigame 3, leisure.
#include "game/minigames/leisure.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t LeisureStep = 0;
int32_t LeisurePlayStep = 0;
int32_t LeisureOutcomeStep = 0;
LeisureStone LeisureStones[5] = {};
int32_t LeisureTurn = 0;
int32_t LeisureChoiceTimer = 0;
int32_t LeisureWait = 0;
int32_t LeisureAnimFrame = 0;
int32_t LeisureSparkleFrame = 0;
int32_t LeisureHits = 0;
int32_t LeisureSwordCells[11] = {};
int32_t LeisureDescentCells[7] = {};
int32_t LeisureSitCells[5] = {};
int32_t LeisurePose029 = 0, LeisureStone030 = 0, LeisureBack031 = 0;
int32_t LeisureBackground = 0, LeisureFrontClouds = 0, LeisureSparkle = 0;

int32_t& LeisureChosenStone(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& LeisureReachedStone(int32_t p) { return ParticipantTable[p].ints[1]; }
uint8_t& LeisureInGame(int32_t p) { return ParticipantTable[p].bytes[0]; }
int32_t& LeisureStruckStone() { return ParticipantTable[0].ints[0]; }

namespace {

constexpr float kStoneX[5] = {0.0f, 128.0f, 256.0f, 384.0f, 512.0f};
constexpr float kGroundY = 400.0f;
constexpr int32_t kTurns = 3;
constexpr int32_t kChoiceFrames = 300;
constexpr float kWalkSpeed = 2.0f;
constexpr float kStrikeStep = 50.0f;
constexpr float kStoneDepth = 400.0f;
constexpr float kRiseStep = 5.0f;
constexpr int32_t kFlightFrames = 90;
constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kStrikeSound = 26;

const MinigameMedia kLeisureMedia[] = {
    MinigamePictureCells("media\\mini\\leisure\\ミラドゥン_剣.png", LeisureSwordCells, 11, 11, 1, 150, 170),
    MinigamePictureCells("media\\mini\\leisure\\ミラドゥン_降りる.png", LeisureDescentCells, 7, 7, 1, 150, 170),
    MinigamePictureCells("media\\mini\\leisure\\ミラドゥン_座る.png", LeisureSitCells, 5, 5, 1, 150, 170),
    MinigamePicture("media\\mini\\leisure\\ミラドゥン_029.png", &LeisurePose029),
    MinigamePicture("media\\mini\\leisure\\ミラドゥン_030.png", &LeisureStone030),
    MinigamePicture("media\\mini\\leisure\\ミラドゥン_031.png", &LeisureBack031),
    MinigamePicture("media\\mini\\leisure\\天神　背景　手前石無し.png", &LeisureBackground),
    MinigamePicture("media\\mini\\leisure\\天神　背景　手前雲のみ.png", &LeisureFrontClouds),
    MinigamePicture("media\\mini\\leisure\\キラーンver4.png", &LeisureSparkle),
};

int LoadLeisure() { return LoadMinigameMedia(kLeisureMedia); }
void FreeLeisure() { FreeMinigameMedia(kLeisureMedia); }

void DrawBehindStriker() {
  DrawGraphRotated(330, 240, 1.0, 0.0, LeisureBack031, 1, 0);
  DrawGraphRotated(320, 240, 1.0, 0.0, LeisureStone030, 1, 0);
}

// The striker waiting over the stones.
void DrawWaitingScene() {
  LeisureDrawBackground();
  LeisureDrawStriker(1);
  LeisureDrawStones();
}

// The striker after the strike.
void DrawStruckScene() {
  LeisureDrawBackground();
  DrawBehindStriker();
  DrawGraphRotated(320, 240, 1.0, 0.0, LeisurePose029, 1, 0);
  LeisureDrawStones();
}

void SetUpLeisure() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    LeisureChosenStone(p) = p;
    LeisureReachedStone(p) = p;
    LeisureInGame(p) = 1;
    r.x = kStoneX[p];
    r.y = kGroundY;
  }
  for (int32_t k = 0; k < 5; ++k) LeisureStones[k] = {k, kStoneX[k], 0.0f};
  LeisureStruckStone() = 0;
  LeisurePlayStep = 0;
  LeisureOutcomeStep = 0;
  LeisureTurn = 0;
  LeisureChoiceTimer = 0;
  LeisureWait = 0;
  LeisureAnimFrame = 0;
  LeisureSparkleFrame = 0;
  LeisureHits = 0;
  DrawWaitingScene();
}

// Under the banners the striker waits; after the outcome the stones stay.
void DrawScene() {
  if (LeisureStep == 9) {
    LeisureDrawBackground();
    LeisureDrawStones();
    return;
  }
  DrawWaitingScene();
}

constexpr MinigameSteps kLeisure = {
    .step = &LeisureStep,
    .numbering = &kMinigameStepsA,
    .load = LoadLeisure,
    .setUp = SetUpLeisure,
    .draw = DrawScene,
    .play = LeisurePlay,
    .outcome = LeisureOutcome,
    .unload = FreeLeisure,
};

bool IsNobodyLeft() {
  for (int32_t p = 1; p <= 4; ++p)
    if (LeisureInGame(p) == 1) return false;
  return true;
}

// Play step 2: 1 once the time is up and every walk has ended.
bool ChooseAndWalk() {
  constexpr int32_t kStoneButtons[4] = {kButtonA, kButtonB, kButtonC, kButtonD};
  if (LeisureChoiceTimer != 0) {
    for (int32_t p = 1; p <= 4; ++p) {
      if (LeisureInGame(p) != 1) continue;
      if (!IsHumanParticipant(p)) {
        LeisureCpu(p);
        continue;
      }
      for (int32_t k = 0; k < 4; ++k)
        if (IsNewParticipantPress(p, kStoneButtons[k])) LeisureChosenStone(p) = k + 1;
    }
  }
  bool walking = false;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    int32_t chosen = LeisureChosenStone(p);
    float target = chosen >= 0 && chosen <= 4 ? kStoneX[chosen] : 0.0f;
    if (r.x < target)
      r.x += kWalkSpeed;
    else if (r.x > target)
      r.x -= kWalkSpeed;
    if (std::fabs(r.x - target) < kWalkSpeed) {
      r.x = target;
      LeisureReachedStone(p) = chosen;
    }
    if (LeisureReachedStone(p) != chosen) walking = true;
  }
  DrawWaitingScene();
  if (LeisureChoiceTimer > 0) --LeisureChoiceTimer;
  if (LeisureChoiceTimer > 0) DrawNumber(LeisureChoiceTimer / 60 + 1, 320, 100, 1.0);
  return LeisureChoiceTimer == 0 && !walking;
}

// Play step 6: 1 once the stone is down and its riders are thrown out.
bool Strike() {
  const int32_t s = LeisureStruckStone();
  for (int32_t p = 1; p <= 4; ++p)
    if (LeisureChosenStone(p) == s) ParticipantTable[p].y -= kStrikeStep;
  LeisureStone& stone = LeisureStones[s];
  stone.sink += kStrikeStep;
  if (stone.sink > kStoneDepth) stone.sink = kStoneDepth;
  DrawStruckScene();
  bool down = false;
  for (const LeisureStone& k : LeisureStones) down = down || k.sink >= kStoneDepth;
  if (!down) return false;
  for (int32_t p = 1; p <= 4; ++p) {
    if (LeisureChosenStone(p) != s) continue;
    ParticipantTable[p].y = -100.0f;
    LeisureInGame(p) = 0;
    ++LeisureHits;
  }
  return true;
}

// Play step 7: 1 when the thrown-out participants have flown off.
bool ThrowOut() {
  const int32_t s = LeisureStruckStone();
  bool over = LeisureWait > kFlightFrames;
  const float dx = 320.0f - LeisureStones[s].x, dy = 180.0f;
  const Vector2f unit = GetUnitVector(dx, dy);
  const float speed = std::sqrt(dx * dx + dy * dy) / static_cast<float>(kFlightFrames);
  for (int32_t p = 1; p <= 4; ++p) {
    if (LeisureChosenStone(p) != s) continue;
    ParticipantRecord& r = ParticipantTable[p];
    if (over) {
      LeisureChosenStone(p) = 0;
      LeisureReachedStone(p) = 0;
      r.x = 320.0f;
      r.y = 80.0f;
    } else {
      r.x += unit.x * speed;
      r.y += unit.y * speed;
    }
  }
  // The stones stay in view while the pieces fly.
  LeisureDrawBackground();
  LeisureDrawStones();
  const double w = LeisureWait;
  for (int32_t p = 1; p <= 4; ++p) {
    if (LeisureInGame(p) != 0 || LeisureChosenStone(p) == 0) continue;
    DrawGraphRotated(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y),
                     1.0 - w / 120.0, w * M_PI / 6.0, ParticipantPicture(p, 1), 1, 0);
  }
  DrawBehindStriker();
  DrawGraphRotated(320, 240, 1.0, 0.0, LeisurePose029, 1, 0);
  ++LeisureWait;
  return over;
}

// Play step 8: 1 once every stone is back up.
bool Rise() {
  LeisureStone& stone = LeisureStones[LeisureStruckStone()];
  stone.sink -= kRiseStep;
  if (stone.sink < 0.0f) stone.sink = 0.0f;
  DrawStruckScene();
  // A strike that threw somebody out sparkles.
  if (LeisureHits > 0) {
    const double s = LeisureSparkleFrame;
    SetDrawBlend(2, 96);
    DrawGraphRotated(320, 80, std::sin(s * M_PI / 90.0) * 0.5, s * M_PI / 45.0, LeisureSparkle, 1, 0);
    SetDrawBlend(0, 255);
    ++LeisureSparkleFrame;
  }
  for (const LeisureStone& k : LeisureStones)
    if (k.sink != 0.0f) return false;
  return true;
}

}  // namespace

int LeisureMain() { return RunMinigameSteps(kLeisure); }

int LeisurePlay() {
  switch (LeisurePlayStep) {
    case 0:
      LeisureTurn = 0;
      DrawWaitingScene();
      LeisurePlayStep = 1;
      break;
    case 1:
      LeisureChoiceTimer = kChoiceFrames;
      LeisureWait = 0;
      DrawWaitingScene();
      LeisurePlayStep = 2;
      break;
    case 2:
      if (ChooseAndWalk()) LeisurePlayStep = 3;
      break;
    case 3:
      LeisureStruckStone() = GetRandomNumber(3) + 1;
      DrawWaitingScene();
      LeisurePlayStep = 4;
      break;
    case 4:
      LeisureDrawBackground();
      LeisureDrawStones();
      if (LeisureDrawStriker(3) == 1) LeisurePlayStep = 5;
      break;
    case 5:
      LeisureDrawBackground();
      LeisureDrawStones();
      if (LeisureDrawStriker(4) == 1) {
        PlaySoundHandle(SoundEffectHandles[kStrikeSound], 1, 1);
        LeisurePlayStep = 6;
      }
      break;
    case 6:
      if (Strike()) LeisurePlayStep = 7;
      break;
    case 7:
      if (ThrowOut()) LeisurePlayStep = 8;
      break;
    case 8:
      if (Rise()) LeisurePlayStep = 9;
      break;
    case 9:
      LeisureDrawBackground();
      LeisureDrawStones();
      if (LeisureDrawStriker(5) == 1) {
        LeisureAnimFrame = 0;
        LeisureSparkleFrame = 0;
        LeisureHits = 0;
        LeisurePlayStep = 10;
      }
      break;
    case 10:
      if (LeisureTurn == kTurns - 1) {
        LeisurePlayStep = 12;
      } else {
        ++LeisureTurn;
        LeisurePlayStep = 1;
      }
      if (IsNobodyLeft()) LeisurePlayStep = 12;
      DrawWaitingScene();
      break;
    case 12:
      LeisurePlayStep = 0;
      DrawWaitingScene();
      return 1;
    default:
      break;
  }
  return 0;
}

void LeisureCpu(int32_t p) {
  // Every CPU level wanders: each arrival picks the next stone at random.
  if (LeisureReachedStone(p) == LeisureChosenStone(p)) LeisureChosenStone(p) = GetRandomNumber(3) + 1;
}

int LeisureOutcome() {
  DrawWaitingScene();
  switch (LeisureOutcomeStep) {
    case 0:
      LeisureOutcomeStep = 1;
      break;
    case 1: {
      // Those still standing win, but only when somebody fell.
      bool anyOut = false;
      for (int32_t p = 1; p <= 4; ++p) anyOut = anyOut || LeisureInGame(p) == 0;
      if (anyOut)
        for (int32_t p = 1; p <= 4; ++p)
          if (LeisureInGame(p) == 1) AwardParticipant(p, kWinnerCoins);
      LeisureOutcomeStep = 2;
      break;
    }
    case 2:
      LeisureOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}

void LeisureDrawBackground() { DrawGraphAt(0, 0, LeisureBackground, 1); }

int LeisureDrawStriker(int32_t mode) {
  DrawBehindStriker();
  int32_t& k = LeisureAnimFrame;
  switch (mode) {
    case 1:
      DrawGraphRotated(320, 240, 1.0, 0.0, LeisureDescentCells[0], 1, 0);
      return 1;
    case 2:
      DrawGraphRotated(320, 240, 1.0, 0.0, LeisurePose029, 1, 0);
      return 1;
    case 3:
      DrawGraphRotated(320, 240, 1.0, 0.0, LeisureDescentCells[static_cast<int32_t>(k / 5.714) % 7], 1, 0);
      if (++k < 40) return 0;
      k = 0;
      return 1;
    case 4: {
      int32_t cell = k < 44 ? static_cast<int32_t>(k / 5.625) : k < 49 ? 8 : 9;
      DrawGraphRotated(320, 186, 1.0, 0.0, LeisureSwordCells[cell % 11], 1, 0);
      if (++k < 50) return 0;
      k = 0;
      return 1;
    }
    case 5:
      DrawGraphRotated(320, 240, 1.0, 0.0, LeisureSitCells[k / 6 % 5], 1, 0);
      if (++k < 30) return 0;
      k = 0;
      return 1;
    default:
      return 1;
  }
}

void LeisureDrawStones() {
  for (int32_t k = 1; k <= 4; ++k)
    DrawGraphRotated(static_cast<int32_t>(LeisureStones[k].x + 40.0f), static_cast<int32_t>(416.0f - LeisureStones[k].sink),
                     3.0, 0.0, LeisureStone030, 1, 0);
  DrawGraphAt(0, 0, LeisureFrontClouds, 1);
  static const char* const kLetters[4] = {"Ａ", "Ｂ", "Ｃ", "Ｄ"};
  const uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t k = 0; k < 4; ++k) DrawTextToHandle(111 + 128 * k, 400, kLetters[k], white, FontHandle35, 0, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    if (LeisureInGame(p) != 1) continue;
    DrawGraphAt(static_cast<int32_t>(ParticipantTable[p].x) - 40, static_cast<int32_t>(ParticipantTable[p].y) - 80,
                ParticipantPicture(p, 17), 1);
  }
}
