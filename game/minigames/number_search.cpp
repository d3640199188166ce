// Minigame 5, number search.
#include "game/minigames/number_search.h"

#include <numbers>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t NumberSearchStep = 0;
int32_t NumberSearchPlayStep = 0;
int32_t NumberSearchOutcomeStep = 0;
NumberPanelRecord NumberPanels[kNumberPanels] = {};
int32_t NumberSearchRemaining = 0;
int32_t NumberSearchTarget = 0;
int32_t NumberSearchFrame = 0;
int32_t NumberSearchThinkSteps[5] = {};
int32_t NumberSearchRevealX = 0;
int32_t NumberSearchRevealY = 0;
int32_t NumberSearchRevealOpacity = 0;
float NumberSearchSparkleScale = 0.0f;
float NumberSearchSparkleAngle = 0.0f;
int32_t NumberSearchFlinch = 0;
int32_t NumberSearchSparklePicture = 0;
int32_t NumberSearchTreasurePicture = 0;
int32_t NumberSearchFont = -1;

int32_t& NumberSearchAnswerState(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& NumberSearchCursor(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& NumberSearchPoints(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& NumberSearchDirection(int32_t p) { return ParticipantTable[p].ints[3]; }
uint8_t& NumberSearchSoundPlayed(int32_t p) { return ParticipantTable[p].bytes[0]; }
uint8_t& NumberSearchWrong(int32_t p) { return ParticipantTable[p].bytes[1]; }

namespace {

constexpr int32_t kNumbersInPool = 30;
// Twenty numbers are called: the pool ends at 10, and the twentieth is
// called with 11 left.
constexpr int32_t kPoolAtEnd = 10;
constexpr int32_t kPoolAtLastNumber = 11;
constexpr int32_t kNoAnswerFrames = 20;
constexpr int32_t kFlinchFrames = 45;
constexpr int32_t kCoinsPerPoint = 2;
constexpr int32_t kRightSound = 19;
constexpr int32_t kWrongSound = 21;
constexpr float kSparkleStartScale = 4.5f;
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr int32_t kStartCursors[5] = {0, 0, 5, 24, 29};

// CPU phases (the work record's flag).
constexpr uint8_t kCpuNewNumber = 1;
constexpr uint8_t kCpuThinking = 2;
constexpr uint8_t kCpuGoing = 3;
constexpr int32_t kThinkStepFrames = 8;
constexpr int32_t kWanderFrames = 60;
constexpr int32_t kGoingFrames = 25;
constexpr int32_t kFewestThinkSteps = 10;
constexpr int32_t kMostThinkSteps = 45;

const MinigameMedia kNumberSearchMedia[] = {
    MinigamePicture("media\\mini\\numbersearch\\キラーンver4.png", &NumberSearchSparklePicture),
    MinigamePicture("media\\mini\\numbersearch\\宝塔.png", &NumberSearchTreasurePicture),
};
constexpr const char* kFontFace = "HG創英角ポップ体";

int32_t PanelX(int32_t panel) { return 160 + 64 * (panel % kNumberPanelColumns); }
int32_t PanelY(int32_t panel) { return 48 + 64 * (panel / kNumberPanelColumns); }
int32_t PanelIndex(int32_t row, int32_t column) { return row * kNumberPanelColumns + column; }

// The panel that holds the called number (-1 before the first call).
int32_t TargetPanel() {
  for (int32_t i = 0; i < kNumberPanels; ++i)
    if (NumberPanels[i].number == NumberSearchTarget) return i;
  return -1;
}

int LoadNumberSearch() {
  if (LoadMinigameMedia(kNumberSearchMedia) == -1) return -1;
  NumberSearchFont = CreateFontToHandle(kFontFace, 30, -1, 2, -1, -1, 0, -1, -1);
  if (NumberSearchFont == -1) {
    WriteErrorLogFormat("フォント %s を作れません: 共用のフォントで描きます", kFontFace);
    NumberSearchFont = FontHandle30Type2;
  }
  return 1;
}

void FreeNumberSearch() {
  FreeMinigameMedia(kNumberSearchMedia);
  if (NumberSearchFont != FontHandle30Type2 && NumberSearchFont != -1) DeleteFontHandle(NumberSearchFont);
  NumberSearchFont = -1;
}

void SetUpNumberSearch() {
  for (int32_t p = 1; p <= 4; ++p) {
    NumberSearchAnswerState(p) = 0;
    NumberSearchPoints(p) = 0;
    NumberSearchCursor(p) = kStartCursors[p];
    NumberSearchDirection(p) = 5;
    NumberSearchSoundPlayed(p) = 0;
    NumberSearchWrong(p) = 0;
    NumberSearchThinkSteps[p] = 0;
  }
  for (NumberPanelRecord& panel : NumberPanels) panel = {};
  NumberSearchRemaining = 0;
  NumberSearchTarget = 0;
  NumberSearchFrame = 0;
  NumberSearchRevealX = NumberSearchRevealY = 0;
  NumberSearchRevealOpacity = 0;
  NumberSearchSparkleScale = kSparkleStartScale;
  NumberSearchSparkleAngle = 0.0f;
  NumberSearchFlinch = 0;
  NumberSearchPlayStep = 0;
  NumberSearchOutcomeStep = 0;
}

// The shuffle: the numbers 30 down to 1, each into a panel drawn among those
// still without a number.
void Shuffle() {
  for (int32_t n = kNumbersInPool; n >= 1; --n) {
    int32_t r = GetRandomNumber(n - 1);
    for (NumberPanelRecord& panel : NumberPanels) {
      if (panel.number != 0) continue;
      if (r-- == 0) {
        panel.number = n;
        panel.pending = 1;
        break;
      }
    }
  }
}

// A number drawn among the pending panels becomes the target.
void CallNumber() {
  int32_t r = GetRandomNumber(NumberSearchRemaining - 1);
  for (NumberPanelRecord& panel : NumberPanels) {
    if (panel.pending == 0) continue;
    if (r-- == 0) {
      NumberSearchTarget = panel.number;
      panel.pending = 0;
      break;
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    if (NumberSearchWrong(p) != 0) {
      NumberSearchAnswerState(p) = -1;
    } else {
      NumberSearchAnswerState(p) = 0;
      NumberSearchSoundPlayed(p) = 0;
    }
    NumberSearchWrong(p) = 0;
    CpuWorkTable[p].flag = kCpuNewNumber;
  }
}

// The directions of this frame (humans free to answer read theirs; a CPU
// sets its own while answering is open), then every cursor moves.
void MoveCursors(bool answering) {
  static const int32_t kDirectionButtons[4][2] = {
      {kButtonUp, 8}, {kButtonDown, 2}, {kButtonLeft, 4}, {kButtonRight, 6}};
  for (int32_t p = 1; p <= 4; ++p) {
    NumberSearchDirection(p) = 5;
    if (IsHumanParticipant(p)) {
      if (NumberSearchAnswerState(p) != 0) continue;
      for (const auto& [button, digit] : kDirectionButtons)
        if (IsNewParticipantPress(p, button)) NumberSearchDirection(p) = digit;
      if (answering && IsNewParticipantPress(p, kButtonA)) NumberSearchAnswerState(p) = 1;
    } else if (answering) {
      NumberSearchCpu(p);
    }
  }
  for (int32_t p = 1; p <= 4; ++p)
    NumberSearchCursor(p) = MoveNumberSearchCursor(NumberSearchCursor(p), NumberSearchDirection(p));
}

// The answers of this frame: true when the number is over (a right answer,
// or nobody left who can answer it).
bool JudgeAnswers() {
  bool scored = false;
  for (int32_t p = 1; p <= 4; ++p) {
    if (NumberSearchAnswerState(p) != 1) continue;
    if (NumberPanels[NumberSearchCursor(p)].number == NumberSearchTarget) {
      NumberSearchPoints(p) += NumberSearchRemaining == kPoolAtLastNumber ? 2 : 1;
      PlaySoundHandle(SoundEffectHandles[kRightSound], 1, 1);
      scored = true;
    } else {
      NumberSearchWrong(p) = 1;
      if (NumberSearchSoundPlayed(p) == 0) {
        NumberSearchSoundPlayed(p) = 1;
        PlaySoundHandle(SoundEffectHandles[kWrongSound], 1, 1);
        NumberSearchFlinch = kFlinchFrames;
      }
    }
  }
  if (scored) return true;
  for (int32_t p = 1; p <= 4; ++p)
    if (NumberSearchAnswerState(p) == 0) return false;
  return true;
}

// The call of the step the frame began in: from step 3 on its text, from
// step 5 on with the number in its gap.
void DrawCall(int32_t step) {
  if (step < 3) return;
  DrawTextToHandle(230, 390, "次は   だ！", MakeScreenColor(0, 0, 0), NumberSearchFont, 0, 0);
  if (step >= 5) DrawNumber(NumberSearchTarget, 320, 400, 1.0);
}

constexpr MinigameSteps kNumberSearch = {
    .step = &NumberSearchStep,
    .numbering = &kMinigameStepsB,
    .load = LoadNumberSearch,
    .setUp = SetUpNumberSearch,
    .draw = DrawNumberSearch,
    .play = NumberSearchPlay,
    .outcome = NumberSearchOutcome,
    .unload = FreeNumberSearch,
};

}  // namespace

int NumberSearchMain() { return RunMinigameSteps(kNumberSearch); }

int32_t MoveNumberSearchCursor(int32_t cursor, int32_t direction) {
  const int32_t column = cursor % kNumberPanelColumns, row = cursor - column;
  switch (direction) {
    case 8:
      return (cursor + 24) % kNumberPanels;
    case 2:
      return (cursor + 36) % kNumberPanels;
    case 4:
      return row + (column + 5) % kNumberPanelColumns;
    case 6:
      return row + (column + 7) % kNumberPanelColumns;
    default:
      return cursor;
  }
}

int NumberSearchPlay() {
  DrawNumberSearch();
  const int32_t step = NumberSearchPlayStep;
  int result = 0;
  switch (NumberSearchPlayStep) {
    case 0:
      NumberSearchPlayStep = 1;
      break;
    case 1:
      NumberSearchRemaining = kNumbersInPool;
      NumberSearchTarget = 0;
      NumberSearchPlayStep = 2;
      break;
    case 2:
      Shuffle();
      NumberSearchRemaining = kNumbersInPool;
      NumberSearchPlayStep = 3;
      break;
    case 3:
      CallNumber();
      NumberSearchFrame = 0;
      MoveCursors(false);
      NumberSearchPlayStep = 4;
      break;
    case 4:
      MoveCursors(false);
      if (++NumberSearchFrame >= kNoAnswerFrames) NumberSearchPlayStep = 5;
      break;
    case 5:
      MoveCursors(true);
      if (JudgeAnswers()) NumberSearchPlayStep = 6;
      break;
    case 6:
      --NumberSearchRemaining;
      if (NumberSearchRemaining == kPoolAtEnd) {
        const int32_t panel = TargetPanel();
        NumberSearchRevealX = PanelX(panel < 0 ? 0 : panel);
        NumberSearchRevealY = PanelY(panel < 0 ? 0 : panel);
        NumberSearchPlayStep = 7;
      } else {
        NumberSearchPlayStep = 3;
      }
      break;
    case 7:
      NumberSearchRevealOpacity += 2;
      if (NumberSearchSparkleScale > 1.0f)
        NumberSearchSparkleScale -= 0.025f;
      else
        NumberSearchSparkleScale = 1.0f;
      if (NumberSearchRevealOpacity >= 255) {
        NumberSearchRevealOpacity = 255;
        NumberSearchPlayStep = 9;
      }
      break;
    case 9:
      NumberSearchPlayStep = 0;
      result = 1;
      break;
    default:
      break;
  }
  DrawCall(step);
  return result;
}

// Every CPU level plays by the same rule.
void NumberSearchCpu(int32_t p) {
  CpuWorkRecord& work = CpuWorkTable[p];
  NumberSearchDirection(p) = 5;
  switch (work.flag) {
    case kCpuNewNumber: {
      int32_t steps = CountNumberSearchSteps(p);
      NumberSearchThinkSteps[p] = steps < kFewestThinkSteps ? kFewestThinkSteps
                                  : steps > kMostThinkSteps ? kMostThinkSteps
                                                            : steps;
      work.flag = kCpuThinking;
      work.counter = work.value1 = work.value2 = 0;
      break;
    }
    case kCpuThinking:
      if (++work.value2 > kThinkStepFrames) {
        work.value2 = 1;
        if (++work.value1 == NumberSearchThinkSteps[p]) work.flag = kCpuGoing;
      }
      if (++work.counter > kWanderFrames) work.counter = 1;
      if (work.counter == kWanderFrames) {
        static const int32_t kWander[6] = {5, 5, 8, 2, 4, 6};
        NumberSearchDirection(p) = kWander[GetRandomNumber(5)];
      }
      break;
    case kCpuGoing: {
      if (++work.counter > kGoingFrames) work.counter = 1;
      if (work.counter != kGoingFrames) break;
      const int32_t cursor = NumberSearchCursor(p), target = TargetPanel();
      if (target < 0) break;
      const int32_t row = cursor / kNumberPanelColumns, column = cursor % kNumberPanelColumns;
      const int32_t targetRow = target / kNumberPanelColumns, targetColumn = target % kNumberPanelColumns;
      const int32_t horizontal = targetColumn > column ? 6 : 4, vertical = targetRow > row ? 2 : 8;
      if (cursor == target) {
        if (NumberSearchAnswerState(p) == 0) NumberSearchAnswerState(p) = 1;
      } else if (row == targetRow) {
        NumberSearchDirection(p) = horizontal;
      } else if (column == targetColumn) {
        NumberSearchDirection(p) = vertical;
      } else {
        NumberSearchDirection(p) = GetRandomNumber(1) == 0 ? vertical : horizontal;
      }
      break;
    }
    default:
      break;
  }
}

int32_t CountNumberSearchSteps(int32_t p) {
  const int32_t cursor = NumberSearchCursor(p);
  const int32_t r0 = cursor / kNumberPanelColumns, c0 = cursor % kNumberPanelColumns;
  int32_t count = 0;
  auto holds = [&count](int32_t row, int32_t column) {
    row = row < 0 ? 0 : row >= kNumberPanelRows ? kNumberPanelRows - 1 : row;
    column = column < 0 ? 0 : column >= kNumberPanelColumns ? kNumberPanelColumns - 1 : column;
    ++count;
    return NumberPanels[PanelIndex(row, column)].number == NumberSearchTarget;
  };
  for (int32_t k = 1; k <= 6; ++k) {
    for (int32_t j = 0; j < 2 * k; ++j)
      if (holds(r0 - k, c0 - k + j)) return count;
    for (int32_t j = 0; j < 2 * k; ++j)
      if (holds(r0 - k + j, c0 + k)) return count;
    for (int32_t j = 0; j < 2 * k; ++j)
      if (holds(r0 + k, c0 + k - j)) return count;
    for (int32_t j = 0; j < 2 * k; ++j)
      if (holds(r0 + k - j, c0 - k)) return count;
  }
  return count;
}

int NumberSearchOutcome() {
  DrawNumberSearch();
  switch (NumberSearchOutcomeStep) {
    case 0:
      NumberSearchOutcomeStep = 1;
      break;
    case 1: {
      int32_t best = NumberSearchPoints(1), atBest = 0;
      for (int32_t p = 1; p <= 4; ++p) {
        ParticipantTable[p].award = kCoinsPerPoint * NumberSearchPoints(p);
        if (NumberSearchPoints(p) > best) best = NumberSearchPoints(p);
      }
      for (int32_t p = 1; p <= 4; ++p)
        if (NumberSearchPoints(p) == best) ++atBest;
      // Four equal scores are a draw.
      if (atBest < 4)
        for (int32_t p = 1; p <= 4; ++p)
          if (NumberSearchPoints(p) == best) ParticipantTable[p].won = 1;
      NumberSearchOutcomeStep = 2;
      break;
    }
    default:
      NumberSearchOutcomeStep = 0;
      return 1;
  }
  return 0;
}

void DrawNumberSearch() {
  // 1. Background, the two hosts with their shadows, the call frame.
  DrawGraphAt(0, 0, BackgroundPictures[5], 1);
  SetDrawBlend(1, 180);
  DrawGraphRotated(170, 450, 0.75, 0.0, NumberSearchShadowPicture, 1, 0);
  DrawGraphRotated(485, 455, 0.75, 0.0, NumberSearchShadowPicture, 1, 0);
  SetDrawBlend(0, 255);
  int32_t cell = 0;
  if (NumberSearchFlinch > 0) {
    cell = 2;
    --NumberSearchFlinch;
  }
  DrawGraphRotated(175, 400, 1.0, 0.0, NumberSearchHostPictures[0][cell], 1, 0);
  DrawGraphRotated(480, 400, 1.0, 0.0, NumberSearchHostPictures[1][cell], 1, 0);
  DrawGraphRotated(320, 400, 1.0, 0.0, NumberSearchCallFramePicture, 1, 0);

  // 2. The panels and their numbers.
  for (int32_t i = 0; i < kNumberPanels; ++i) {
    DrawGraphRotated(PanelX(i), PanelY(i), 1.0, 0.0, NumberSearchPanelPicture, 1, 0);
    DrawNumber(NumberPanels[i].number, PanelX(i), PanelY(i), 1.0);
  }

  // 3. The cursors; cursors sharing a panel each show in a corner of their own.
  const uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t c = NumberSearchCursor(p);
    DrawRectangleShape(PanelX(c) - 32, PanelY(c) - 32, PanelX(c) + 32, PanelY(c) + 32, white, 1);
    DrawGraphRotated(PanelX(c), PanelY(c), 1.0, 0.0, CharacterSelectPictures[p - 1], 1, 0);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t c = NumberSearchCursor(p);
    for (int32_t q = 1; q <= 4; ++q) {
      if (q == p || NumberSearchCursor(q) != c) continue;
      const int32_t left = PanelX(c) - 37 + 37 * ((p - 1) % 2), top = PanelY(c) - 37 + 37 * ((p - 1) / 2);
      SetDrawClipArea(left, top, left + 37, top + 37);
      DrawGraphRotated(PanelX(c), PanelY(c), 1.0, 0.0, CharacterSelectPictures[p - 1], 1, 0);
    }
  }
  SetDrawClipArea(0, 0, 640, 480);
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t c = NumberSearchCursor(p);
    DrawNumber(NumberPanels[c].number, PanelX(c), PanelY(c), 1.2);
  }

  // 4. Each participant's frame, face, cross and points.
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t x = 64 + 512 * ((p - 1) % 2), y = 64 + 160 * ((p - 1) / 2);
    DrawGraphRotated(x, y, 1.0, 0.0, NumberSearchFramePictures[p - 1], 1, 0);
    DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, 0), 0, 0);
    if (NumberSearchAnswerState(p) == -1 || NumberSearchWrong(p) != 0) {
      SetDrawBlend(1, 180);
      DrawGraphRotated(x, y, 1.5, 0.0, WrongMarkPicture, 1, 0);
      SetDrawBlend(0, 255);
    }
    // The points stand centred under the face, inside the participant's own
    // frame.
    const int32_t width = GetFormatTextWidthToHandle(NumberSearchFont, "%dまい", NumberSearchPoints(p));
    DrawFormatTextToHandle(x - width / 2, y + 36, MakeScreenColor(0, 0, 0), NumberSearchFont, "%dまい",
                           NumberSearchPoints(p));
  }

  // 5. The sparkle turns; the reveal of the treasure.
  NumberSearchSparkleAngle += std::numbers::pi_v<float> / 80.0f;
  if (NumberSearchSparkleAngle > kTwoPi) NumberSearchSparkleAngle -= kTwoPi;
  if (NumberSearchRevealOpacity > 1) {
    SetDrawBlend(2, 255);
    DrawGraphRotated(NumberSearchRevealX, NumberSearchRevealY, NumberSearchSparkleScale, NumberSearchSparkleAngle,
                     NumberSearchSparklePicture, 1, 0);
    SetDrawBlend(1, NumberSearchRevealOpacity);
    DrawGraphRotated(NumberSearchRevealX, NumberSearchRevealY, 1.0, 0.0, NumberSearchTreasurePicture, 1, 0);
    SetDrawBlend(0, 255);
  }
}
