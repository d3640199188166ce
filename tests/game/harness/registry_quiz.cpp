// The quiz, for the harness.
#include "game/minigames/quiz.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quiz) {
  GAME_MACHINE(QuizMain, QuizStep);
  GAME_MACHINE(QuizPlay, QuizPlayStep);
  GAME_MACHINE(QuizOutcome, QuizOutcomeStep);
  GAME_TABLE(QuizQuestionText);
  GAME_TABLE(QuizAnswerSlots);
  GAME_TABLE(QuizSlotTaken);
  GAME_VALUE(QuizRightSlot);
  GAME_VALUE(QuizQuestionNumber);
  GAME_VALUE(QuizChosenLine);
  GAME_TABLE(QuizUsedLines);
  GAME_VALUE(QuizClock);
  GAME_VALUE(QuizRevealCounter);
  GAME_VALUE(QuizMessageTextId);
}
