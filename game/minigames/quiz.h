// Minigame 6, quiz ("media\mini\quizvemla"): four participants each alone
// answer five questions drawn from "QTA.csv" with A, B, C or D. A right
// answer scores the frames left on the 20-second clock when it was taken;
// the highest total (ties all, four scores of 0 included) wins 10 coins.
#pragma once

#include <cstdint>

#include "game/minigames/quiz_questions.h"

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t QuizStep;
extern int32_t QuizPlayStep;
extern int32_t QuizOutcomeStep;

// The question typed in the message window ("@N" appended) and the answer
// slots 1 to 4 beside A to D (slot 0 unused); a slot is taken once its flag
// is 1, whatever its text.
extern char QuizQuestionText[kQuizQuestionBytes];
extern char QuizAnswerSlots[5][kQuizAnswerBytes];
extern uint8_t QuizSlotTaken[5];
extern int32_t QuizRightSlot;       // 1 to 4
extern int32_t QuizQuestionNumber;  // 1 to 5; 0 before the first question
extern int32_t QuizChosenLine;      // 1 to 19
extern int32_t QuizUsedLines[6];    // by question number 1 to 5
extern int32_t QuizClock;           // answering frames left (1200 at a question's start)
extern int32_t QuizRevealCounter;   // frames of the answer shown (to 120)
extern int32_t QuizMessageTextId;   // 1, then one more a question

// The sounds: the question jingle, the right-answer sound, the answer taken.
extern int32_t QuizJingleSound;
extern int32_t QuizRightSound;
extern int32_t QuizTakenSound;

constexpr int32_t kQuizQuestions = 5;
constexpr int32_t kQuizAnswerFrames = 1200;
constexpr int32_t kQuizRevealFrames = 120;
// A CPU answers only once the clock is below this (120 frames gone).
constexpr int32_t kQuizCpuWaitClock = 1080;
extern const char kQuizQuestionFile[];

// The participant record's fields this game uses, in its own area: the
// answer to the current question (0 none, 1 to 4 for A to D), the answer
// time (the clock in the frame the answer was taken; 0 not yet) and the
// score (frames, the answer times of right answers).
int32_t& QuizAnswer(int32_t p);
int32_t& QuizAnswerTime(int32_t p);
int32_t& QuizScore(int32_t p);

// The entry (slot 5 of the runner's table) is QuizMain in minigame_entries.h.
// One frame of the scene: mode 3 the question open, 6 the answer shown,
// anything else the plain scene.
void QuizDraw(int32_t mode);
// Picks a line not asked yet in this game, fills the question and the
// shuffled answer slots and the right slot; the line.
int32_t LoadQuizQuestion();
// One frame of a CPU participant.
void QuizCpuAnswer(int32_t p);
// Takes the answer time of everybody who has just answered.
void StampQuizAnswerTimes();
// One frame of the five questions: 1 when they are over.
int QuizPlay();
// The winners: 1 when done.
int QuizOutcome();
