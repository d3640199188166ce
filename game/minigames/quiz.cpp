// Minigame 6, quiz.
#include "game/minigames/quiz.h"

#include <cstdio>
#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t QuizStep = 0;
int32_t QuizPlayStep = 0;
int32_t QuizOutcomeStep = 0;
char QuizQuestionText[kQuizQuestionBytes] = {};
char QuizAnswerSlots[5][kQuizAnswerBytes] = {};
uint8_t QuizSlotTaken[5] = {};
int32_t QuizRightSlot = 0;
int32_t QuizQuestionNumber = 0;
int32_t QuizChosenLine = 0;
int32_t QuizUsedLines[6] = {};
int32_t QuizClock = 0;
int32_t QuizRevealCounter = 0;
int32_t QuizMessageTextId = 1;
int32_t QuizJingleSound = 0;
int32_t QuizRightSound = 0;
int32_t QuizTakenSound = 0;
const char kQuizQuestionFile[] = "media\\mini\\quizvemla\\QTA.csv";

int32_t& QuizAnswer(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& QuizAnswerTime(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& QuizScore(int32_t p) { return ParticipantTable[p].ints[2]; }

namespace {

constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kAnswerRowY[4] = {208, 256, 304, 352};
constexpr int32_t kAnswerButtons[4] = {kButtonA, kButtonB, kButtonC, kButtonD};

const MinigameMedia kQuizSounds[] = {
    MinigameSound("media\\mini\\quizvemla\\tm2_quiz004.wav", &QuizJingleSound),
    MinigameSound("media\\mini\\quizvemla\\tm2_quiz000goodver2.wav", &QuizRightSound),
    MinigameSound("media\\mini\\quizvemla\\cursor33.wav", &QuizTakenSound),
};

uint8_t NextFileByte(void* context) {
  return static_cast<uint8_t>(FileStreamGetChar(*static_cast<FileId*>(context)));
}

// The question file checked whole: false (with a log line naming the file,
// the line and the fault) when it does not open or holds a fault.
bool CheckQuestionFile() {
  FileId file = FileStreamOpenRead(kQuizQuestionFile, 0);
  if (file == 0) {
    WriteErrorLogFormat("%s を開けませんでした", kQuizQuestionFile);
    return false;
  }
  QuizFileCheck check = CheckQuizFile({NextFileByte, &file});
  FileStreamClose(file);
  if (check.fault == kQuizLineOk) return true;
  WriteErrorLogFormat("%s の %d 行目が不正です: %s", kQuizQuestionFile, check.line, QuizLineFaultText(check.fault));
  return false;
}

int LoadQuiz() {
  if (!CheckQuestionFile()) return -1;
  if (LoadMinigameMedia(kQuizSounds) == -1) return -1;
  for (const MinigameMedia& sound : kQuizSounds) {
    if (SetSoundHandleVolume(SoundEffectVolume, *sound.handles) != -1) continue;
    WriteErrorLogFormat("%s の音量を設定できませんでした", sound.file);
    FreeMinigameMedia(kQuizSounds);
    return -1;
  }
  QuizDraw(2);
  return 1;
}

void ClearQuestion() {
  memset(QuizQuestionText, 0, sizeof QuizQuestionText);
  memset(QuizAnswerSlots, 0, sizeof QuizAnswerSlots);
  memset(QuizSlotTaken, 0, sizeof QuizSlotTaken);
}

// Everything a game starts from, whatever the last one left.
void SetUpQuiz() {
  for (int32_t p = 1; p <= 4; ++p) {
    QuizAnswer(p) = 0;
    QuizAnswerTime(p) = 0;
    QuizScore(p) = 0;
  }
  QuizMessageTextId = 1;
  QuizQuestionNumber = 0;
  QuizClock = 0;
  QuizRevealCounter = 0;
  QuizRightSlot = 0;
  QuizChosenLine = 0;
  memset(QuizUsedLines, 0, sizeof QuizUsedLines);
  ClearQuestion();
  QuizPlayStep = 0;
  QuizOutcomeStep = 0;
  QuizDraw(2);
}

void UnloadQuiz() {
  // Sets the message renderer back to the start of text id 1.
  QuizMessageTextId = 1;
  DrawMessageText(608, QuizMessageTextId, 32, 32, 176, 20, QuizQuestionText, 0);
  FreeMinigameMedia(kQuizSounds);
  ClearQuestion();
}

void DrawQuizScene() { QuizDraw(2); }

int Outcome() {
  QuizDraw(2);
  return QuizOutcome();
}

constexpr MinigameSteps kQuiz = {
    .step = &QuizStep,
    .numbering = &kMinigameStepsA,
    .load = LoadQuiz,
    .setUp = SetUpQuiz,
    .draw = DrawQuizScene,
    .play = QuizPlay,
    .outcome = Outcome,
    .unload = UnloadQuiz,
};

// Play state 3, one frame: the next play state.
int32_t Answering() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p)) {
      QuizCpuAnswer(p);
      continue;
    }
    if (QuizAnswer(p) != 0) continue;
    // The last of several new presses in one frame counts.
    for (int32_t k = 0; k < 4; ++k)
      if (IsNewParticipantPress(p, kAnswerButtons[k])) QuizAnswer(p) = k + 1;
  }
  StampQuizAnswerTimes();
  int32_t next = 4;
  for (int32_t p = 1; p <= 4; ++p)
    if (QuizAnswer(p) == 0) next = 3;
  // Drawn with the next play state as the mode: the question while the
  // answers are open, plainly in the frame that closes them.
  if (QuizClock != 0) {
    --QuizClock;
    QuizDraw(next);
  } else {
    next = 4;
    QuizDraw(4);
  }
  return next;
}

// Play state 4: the right answers score their times.
void Judge() {
  bool anyRight = false;
  for (int32_t p = 1; p <= 4; ++p) {
    if (QuizAnswer(p) != QuizRightSlot) continue;
    QuizScore(p) += QuizAnswerTime(p);
    anyRight = true;
  }
  if (anyRight) PlaySoundHandle(QuizRightSound, 1, 1);
  QuizDraw(6);
}

void DrawCentred(int32_t centreX, int32_t y, int32_t font, const char* text) {
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t width = GetTextWidthToHandle(text, static_cast<int32_t>(strlen(text)), font, 0);
  DrawTextToHandle(centreX - width / 2, y, text, white, font, 0, 0);
}

void DrawTranslucentRow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  SetDrawBlend(1, 150);
  DrawRectangleShape(x1, y1, x2, y2, MakeScreenColor(0, 0, 0), 1);
  SetDrawBlend(0, 255);
}

}  // namespace

int QuizMain() { return RunMinigameSteps(kQuiz); }

void QuizDraw(int32_t mode) {
  if (mode != 3 && mode != 6) mode = 2;
  uint32_t white = MakeScreenColor(255, 255, 255);
  char text[32];
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  DrawTranslucentRow(16, 16, 624, 192);
  DrawWindowFrame(16, 16, 624, 192);
  for (int32_t y : kAnswerRowY) {
    DrawTranslucentRow(16, y, 624, y + 32);
    DrawWindowFrame(16, y - 5, 624, y + 37);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t x = 149 * p - 85;
    DrawGraphRotated(x, 432, 1.0, 0.0, ParticipantPicture(p, 1), 1, 0);
    snprintf(text, sizeof text, "%.2f", QuizScore(p) / 60.0);
    DrawCentred(x, 448, FontHandlesBySize[15], text);
  }
  if (mode == 3 || mode == 6) {
    DrawMessageText(kQuizTextRight, QuizMessageTextId, kQuizTextLeft, kQuizTextTop, kQuizTextBottom, kQuizTextSize,
                    QuizQuestionText, 0);
    for (int32_t k = 0; k < 4; ++k) {
      const char letter[2] = {static_cast<char>('A' + k), '\0'};
      DrawTextToHandle(128, kAnswerRowY[k] + 6, letter, white, FontHandlesBySize[19], 0, 0);
      DrawCentred(320, kAnswerRowY[k] + 6, FontHandlesBySize[19], QuizAnswerSlots[k + 1]);
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t answer = QuizAnswer(p);
    int32_t x = 96 + 149 * (p - 1);
    if (mode == 3 && answer != 0) DrawTextToHandle(x, 432, "!", white, FontHandle35, 0, 0);
    if (mode == 6 && answer >= 1 && answer <= 4)
      DrawFormatTextToHandle(x, 432, white, FontHandle35, "%c", 'A' + answer - 1);
  }
  if (mode == 6) {
    for (int32_t p = 1; p <= 4; ++p) {
      int32_t mark = QuizAnswer(p) == QuizRightSlot ? RightMarkPicture : WrongMarkPicture;
      DrawGraphRotated(64 + 149 * (p - 1), 432, 1.0, 0.0, mark, 1, 0);
    }
  }
  if (QuizClock > 0) {
    snprintf(text, sizeof text, "%.2f", QuizClock / 60.0);
    DrawCentred(320, 32, FontHandlesBySize[23], text);
  }
  if (QuizQuestionNumber > 0) {
    snprintf(text, sizeof text, "第%d問目", QuizQuestionNumber);
    DrawCentred(160, 32, FontHandlesBySize[23], text);
  }
}

int32_t LoadQuizQuestion() {
  ClearQuestion();
  int32_t line = GetRandomNumber(kQuizQuestionLines - 1) + 1;
  // Lines asked before in this game are drawn again (at most four of 19).
  int32_t asked = QuizQuestionNumber - 1;
  if (asked > kQuizQuestions) asked = kQuizQuestions;
  auto used = [asked](int32_t candidate) {
    for (int32_t q = 1; q <= asked; ++q)
      if (QuizUsedLines[q] == candidate) return true;
    return false;
  };
  while (used(line)) line = GetRandomNumber(kQuizQuestionLines - 1) + 1;

  QuizQuestionLine read;
  FileId file = FileStreamOpenRead(kQuizQuestionFile, 0);
  QuizByteSource source = {NextFileByte, &file};
  bool ended = false;
  QuizLineFault fault = SkipQuizLines(source, line) ? ReadQuizQuestionLine(source, &read, &ended) : kQuizLineMissing;
  if (file != 0) FileStreamClose(file);
  if (fault != kQuizLineOk) {
    // The file was checked at load; it has changed since.
    WriteErrorLogFormat("%s の %d 行目が不正です: %s", kQuizQuestionFile, line, QuizLineFaultText(fault));
    memset(&read, 0, sizeof read);
  }
  snprintf(QuizQuestionText, sizeof QuizQuestionText, "%s@N", read.question);
  // The four answers shuffled into the slots; the right one's slot noted.
  for (int32_t k = 0; k < 4; ++k) {
    int32_t slot;
    do {
      slot = GetRandomNumber(3) + 1;
    } while (QuizSlotTaken[slot] != 0);
    QuizSlotTaken[slot] = 1;
    memcpy(QuizAnswerSlots[slot], read.answers[k], kQuizAnswerBytes);
    if (k == 0) QuizRightSlot = slot;
  }
  QuizChosenLine = line;
  return line;
}

void QuizCpuAnswer(int32_t p) {
  if (ParticipantTable[p].cpuLevel != 1) return;
  if (QuizClock >= kQuizCpuWaitClock || QuizAnswer(p) != 0) return;
  if (GetRandomNumber(120) != 0) return;
  QuizAnswer(p) = GetRandomNumber(1) == 0 ? QuizRightSlot : GetRandomNumber(3) + 1;
}

void StampQuizAnswerTimes() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (QuizAnswer(p) == 0 || QuizAnswerTime(p) != 0) continue;
    QuizAnswerTime(p) = QuizClock;
    PlaySoundHandle(QuizTakenSound, 1, 1);
  }
}

int QuizPlay() {
  switch (QuizPlayStep) {
    case 0:
      QuizClock = 0;
      QuizDraw(2);
      QuizPlayStep = 1;
      break;
    case 1:
      for (int32_t p = 1; p <= 4; ++p) QuizAnswerTime(p) = 0;
      memset(QuizUsedLines, 0, sizeof QuizUsedLines);
      QuizQuestionNumber = 1;
      QuizDraw(2);
      QuizPlayStep = 2;
      break;
    case 2:
      QuizClock = kQuizAnswerFrames;
      QuizRevealCounter = 0;
      for (int32_t p = 1; p <= 4; ++p) {
        QuizAnswer(p) = 0;
        QuizAnswerTime(p) = 0;
      }
      if (QuizQuestionNumber < 1 || QuizQuestionNumber > kQuizQuestions) QuizQuestionNumber = 1;
      QuizUsedLines[QuizQuestionNumber] = LoadQuizQuestion();
      PlaySoundHandle(QuizJingleSound, 1, 1);
      QuizDraw(2);
      QuizPlayStep = 3;
      break;
    case 3:
      QuizPlayStep = Answering();
      break;
    case 4:
      Judge();
      QuizPlayStep = 6;
      break;
    case 6:
      if (QuizRevealCounter < kQuizRevealFrames) {
        ++QuizRevealCounter;
        QuizDraw(6);
        break;
      }
      ++QuizMessageTextId;
      QuizRevealCounter = 0;
      if (QuizQuestionNumber + 1 > kQuizQuestions) {
        QuizDraw(7);
        QuizPlayStep = 7;
      } else {
        ++QuizQuestionNumber;
        QuizDraw(2);
        QuizPlayStep = 2;
      }
      break;
    case 7:
      QuizPlayStep = 0;
      QuizDraw(2);
      return 1;
    default:
      break;
  }
  return 0;
}

int QuizOutcome() {
  switch (QuizOutcomeStep) {
    case 0:
      QuizOutcomeStep = 1;
      break;
    case 1: {
      // The highest total wins; ties all win, four totals of 0 included.
      int32_t scores[kParticipantRecords] = {};
      for (int32_t p = 1; p <= 4; ++p) scores[p] = QuizScore(p);
      AwardHighestScores(scores, kWinnerCoins);
      QuizOutcomeStep = 2;
      break;
    }
    case 2:
      QuizOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
