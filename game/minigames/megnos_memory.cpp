// Minigame 22, sequence memory.
#include "game/minigames/megnos_memory.h"

#include <cmath>
#include <numbers>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t MegnosMemoryStep = 0;
int32_t MegnosMemoryPlayStep = 0;
int32_t MegnosMemoryOutcomeStep = 0;
int32_t MegnosMemoryStage = 0;
int32_t MegnosMemoryLength = 0;
int32_t MegnosMemoryLone = 0;
int32_t MegnosMemoryStillIn[5] = {};
int32_t MegnosMemorySequence[kMegnosMemorySymbols] = {};
int32_t MegnosMemoryAnswers[kMegnosMemorySymbols] = {};
int32_t MegnosMemoryAnswerers[kMegnosMemorySymbols] = {};
int32_t MegnosMemoryEntryPosition = 0;
int32_t MegnosMemoryAnswerPosition = 0;
int32_t MegnosMemoryWait = 0;
int32_t MegnosMemoryCountdown = 0;

namespace {

constexpr int32_t kStages = 3;
constexpr int32_t kFirstLength = 5;
constexpr int32_t kMemoriseFrames = 300;
constexpr int32_t kWrongWait = 60;
constexpr int32_t kRightWait = 120;
constexpr int32_t kWinnerCoins = 10;
// A CPU acts when its counter, counted up to this, is found there again.
constexpr int32_t kCpuPace = 30;
constexpr int32_t kRightSound = 19;
constexpr int32_t kWrongSound = 21;

// The buttons of the symbols 1 to 4.
constexpr int32_t kSymbolButtons[4] = {kButtonA, kButtonB, kButtonC, kButtonD};

// Play states.
enum : int32_t {
  kPlayStart = 0,
  kPlayNewGame = 1,
  kPlayNewSequence = 2,
  kPlayEnter = 3,
  kPlayMemorise = 4,
  kPlayAnswer = 5,
  kPlayWrong = 6,
  kPlayRight = 7,
  kPlayOver = 9,
};

// Every button A to D newly pressed on the participant's record writes its
// symbol into the slot, so the last of several in one frame stays.
void ReadSymbol(int32_t p, int32_t* slot) {
  for (int32_t s = 0; s < 4; ++s)
    if (IsNewParticipantPress(p, kSymbolButtons[s])) *slot = s + 1;
}

void GiveSymbol(int32_t p, int32_t* slot) {
  if (IsHumanParticipant(p))
    ReadSymbol(p, slot);
  else
    MegnosMemoryCpu(p);
}

bool IsChallenger(int32_t p) { return p >= 1 && p <= 4 && p != MegnosMemoryLone; }

bool AnyChallengerIn() {
  for (int32_t p = 1; p <= 4; ++p)
    if (IsChallenger(p) && MegnosMemoryStillIn[p] == 1) return true;
  return false;
}

// Each symbol's answerer: a challenger still in, drawn at random (the draw
// is repeated until it names one; with none left nobody is drawn).
void DrawAnswerers() {
  if (!AnyChallengerIn()) return;
  for (int32_t i = 0; i < MegnosMemoryLength; ++i) {
    int32_t c;
    do {
      c = GetRandomNumber(3) + 1;
    } while (!IsChallenger(c) || MegnosMemoryStillIn[c] != 1);
    MegnosMemoryAnswerers[i] = c;
  }
}

void ClearSequence() {
  for (int32_t i = 0; i < kMegnosMemorySymbols; ++i) {
    MegnosMemorySequence[i] = 0;
    MegnosMemoryAnswers[i] = 0;
    MegnosMemoryAnswerers[i] = 0;
  }
}

void SetUp() {
  ClearSequence();
  MegnosMemoryPlayStep = kPlayStart;
  MegnosMemoryOutcomeStep = 0;
  MegnosMemoryStage = 0;
  MegnosMemoryLength = 0;
  MegnosMemoryLone = 0;
  for (int32_t& in : MegnosMemoryStillIn) in = 0;
  MegnosMemoryEntryPosition = 0;
  MegnosMemoryAnswerPosition = 0;
  MegnosMemoryWait = 0;
  MegnosMemoryCountdown = 0;
}

// The symbol boxes of one line: a white box 32 pixels wide per symbol from
// x 100, with the text at its top-left corner.
void DrawBox(int32_t i, int32_t top) {
  DrawRectangleShape(100 + 32 * i, top, 132 + 32 * i, top + 32, MakeScreenColor(255, 255, 255), 1);
}

void DrawDigitBox(int32_t i, int32_t top, int32_t digit) {
  DrawBox(i, top);
  DrawFormatTextToHandle(100 + 32 * i, top, MakeScreenColor(0, 0, 0), FontHandlesBySize[15], "%d", digit);
}

// The memorising clock: a disc of 60 triangles of 6 degrees, turning from
// the top towards the left, in the colour of the whole seconds left, with
// the part of the running second over it in the next colour.
void DrawClock() {
  static const int32_t kColours[6][3] = {
      {0, 0, 0}, {255, 0, 0}, {255, 140, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}};
  const int32_t seconds = MegnosMemoryCountdown / 60;
  const int32_t frames = MegnosMemoryCountdown - 60 * seconds;
  auto fan = [](int32_t count, int32_t colourIndex) {
    uint32_t colour =
        MakeScreenColor(kColours[colourIndex][0], kColours[colourIndex][1], kColours[colourIndex][2]);
    for (int32_t k = 0; k < count; ++k) {
      double a1 = 2 * k * std::numbers::pi / 60, a2 = (2 * k + 2) * std::numbers::pi / 60;
      DrawTriangleShape(320, 240, static_cast<int32_t>(320 - 32 * sin(a1)), static_cast<int32_t>(240 - 32 * cos(a1)),
                        static_cast<int32_t>(320 - 32 * sin(a2)), static_cast<int32_t>(240 - 32 * cos(a2)), colour, 1);
    }
  };
  if (seconds >= 1 && seconds <= 4) {
    fan(60, seconds);
    fan(frames + 1, seconds + 1);
  } else if (seconds == 0) {
    fan(frames + 1, 1);
  }
}

constexpr MinigameSteps kMegnosMemory = {
    .step = &MegnosMemoryStep,
    .numbering = &kMinigameStepsB,
    .setUp = SetUp,
    .draw = MegnosMemoryDraw,
    .play = MegnosMemoryPlay,
    .outcome = MegnosMemoryOutcome,
};

}  // namespace

int MegnosMemoryMain() { return RunMinigameSteps(kMegnosMemory); }

void MegnosMemoryDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  switch (MegnosMemoryPlayStep) {
    case kPlayEnter:
      // The sequence stays hidden while it is entered.
      for (int32_t i = 0; i < MegnosMemoryLength; ++i) {
        if (MegnosMemorySequence[i] == 0) continue;
        DrawBox(i, 100);
        DrawTextToHandle(100 + 32 * i, 100, "?", MakeScreenColor(0, 0, 0), FontHandlesBySize[15], 0, 0);
      }
      break;
    case kPlayMemorise:
      DrawClock();
      for (int32_t i = 0; i < MegnosMemoryLength; ++i)
        if (MegnosMemorySequence[i] != 0) DrawDigitBox(i, 100, MegnosMemorySequence[i]);
      break;
    case kPlayAnswer:
      for (int32_t i = 0; i < MegnosMemoryLength; ++i) {
        DrawDigitBox(i, 50, MegnosMemoryAnswerers[i]);
        if (MegnosMemoryAnswers[i] != 0) DrawDigitBox(i, 100, MegnosMemoryAnswers[i]);
      }
      break;
    default:
      break;
  }
}

int MegnosMemoryPlay() {
  MegnosMemoryDraw();
  switch (MegnosMemoryPlayStep) {
    case kPlayStart:
      MegnosMemoryPlayStep = kPlayNewGame;
      break;
    case kPlayNewGame:
      MegnosMemoryStage = 0;
      MegnosMemoryLength = 0;
      MegnosMemoryLone = GetLoneParticipant();
      if (MegnosMemoryLone == 0) MegnosMemoryLone = 1;
      for (int32_t p = 1; p <= 4; ++p) MegnosMemoryStillIn[p] = 1;
      MegnosMemoryStillIn[MegnosMemoryLone] = 0;
      MegnosMemoryStillIn[0] = 0;
      MegnosMemoryPlayStep = kPlayNewSequence;
      break;
    case kPlayNewSequence:
      ClearSequence();
      MegnosMemoryEntryPosition = 0;
      MegnosMemoryAnswerPosition = 0;
      MegnosMemoryWait = 0;
      MegnosMemoryCountdown = kMemoriseFrames;
      MegnosMemoryLength = kFirstLength + MegnosMemoryStage;
      MegnosMemoryPlayStep = kPlayEnter;
      break;
    case kPlayEnter:
      GiveSymbol(MegnosMemoryLone, &MegnosMemorySequence[MegnosMemoryEntryPosition]);
      if (MegnosMemorySequence[MegnosMemoryEntryPosition] != 0) ++MegnosMemoryEntryPosition;
      if (MegnosMemoryEntryPosition >= MegnosMemoryLength) {
        DrawAnswerers();
        MegnosMemoryPlayStep = kPlayMemorise;
      }
      break;
    case kPlayMemorise:
      if (MegnosMemoryCountdown > 0)
        --MegnosMemoryCountdown;
      else
        MegnosMemoryPlayStep = kPlayAnswer;
      break;
    case kPlayAnswer: {
      const int32_t at = MegnosMemoryAnswerPosition;
      GiveSymbol(MegnosMemoryAnswerers[at], &MegnosMemoryAnswers[at]);
      if (MegnosMemoryAnswers[at] == 0) break;
      if (MegnosMemoryAnswers[at] == MegnosMemorySequence[at]) {
        if (at == MegnosMemoryLength - 1) {
          PlaySoundHandle(SoundEffectHandles[kRightSound], 1, 1);
          MegnosMemoryPlayStep = kPlayRight;
        } else {
          ++MegnosMemoryAnswerPosition;
        }
      } else {
        PlaySoundHandle(SoundEffectHandles[kWrongSound], 1, 1);
        MegnosMemoryPlayStep = kPlayWrong;
      }
      break;
    }
    case kPlayWrong:
      if (MegnosMemoryWait < kWrongWait) {
        ++MegnosMemoryWait;
        break;
      }
      MegnosMemoryStillIn[MegnosMemoryAnswerers[MegnosMemoryAnswerPosition]] = 0;
      MegnosMemoryWait = 0;
      MegnosMemoryPlayStep = AnyChallengerIn() ? kPlayNewSequence : kPlayOver;
      break;
    case kPlayRight:
      if (MegnosMemoryWait < kRightWait) {
        ++MegnosMemoryWait;
        break;
      }
      ++MegnosMemoryStage;
      MegnosMemoryWait = 0;
      MegnosMemoryPlayStep = MegnosMemoryStage < kStages ? kPlayNewSequence : kPlayOver;
      break;
    case kPlayOver:
      MegnosMemoryPlayStep = kPlayStart;
      return 1;
    default:
      break;
  }
  return 0;
}

float MegnosMemoryRightChance(int32_t stage, int32_t position) {
  static const float kChances[2][kMegnosMemorySymbols] = {
      {1.0f, 0.95f, 0.95f, 0.9f, 0.9f, 0.8f, 0.7f, 1.0f, 1.0f, 1.0f},
      {1.0f, 0.95f, 0.9f, 0.9f, 0.9f, 0.8f, 0.7f, 1.0f, 1.0f, 1.0f},
  };
  if (position < 0 || position >= kMegnosMemorySymbols) return 1.0f;
  return kChances[stage == 0 ? 0 : 1][position];
}

// Every CPU level plays by the same rule.
void MegnosMemoryCpu(int32_t p) {
  if (p < 1 || p > 4) return;
  int32_t& counter = CpuWorkTable[p].counter;
  if (counter < kCpuPace) {
    ++counter;
    return;
  }
  counter = 0;
  if (MegnosMemoryPlayStep == kPlayEnter) {
    MegnosMemorySequence[MegnosMemoryEntryPosition] = GetRandomNumber(3) + 1;
  } else if (MegnosMemoryPlayStep == kPlayAnswer) {
    const int32_t at = MegnosMemoryAnswerPosition;
    const int32_t right = MegnosMemorySequence[at];
    const float chance = MegnosMemoryRightChance(MegnosMemoryStage, at);
    if (GetRandomNumber(100) <= static_cast<double>(chance) * 100.0) {
      MegnosMemoryAnswers[at] = right;
      return;
    }
    int32_t wrong;
    do {
      wrong = GetRandomNumber(3) + 1;
    } while (wrong == right);
    MegnosMemoryAnswers[at] = wrong;
  }
}

int MegnosMemoryOutcome() {
  MegnosMemoryDraw();
  switch (MegnosMemoryOutcomeStep) {
    case 0:
      // The challengers win when one of them is still in; otherwise the one
      // who entered the sequences.
      if (AnyChallengerIn()) {
        for (int32_t p = 1; p <= 4; ++p)
          if (IsChallenger(p)) AwardParticipant(p, kWinnerCoins);
      } else {
        AwardParticipant(MegnosMemoryLone, kWinnerCoins);
      }
      MegnosMemoryOutcomeStep = 1;
      break;
    default:
      MegnosMemoryOutcomeStep = 0;
      return 1;
  }
  return 0;
}
