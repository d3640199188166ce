// The sequence memory minigame, for the harness.
#include "game/minigames/megnos_memory.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(megnos_memory) {
  GAME_MACHINE(MegnosMemoryMain, MegnosMemoryStep);
  GAME_MACHINE(MegnosMemoryPlay, MegnosMemoryPlayStep);
  GAME_MACHINE(MegnosMemoryOutcome, MegnosMemoryOutcomeStep);
  GAME_VALUE(MegnosMemoryStage);
  GAME_VALUE(MegnosMemoryLength);
  GAME_VALUE(MegnosMemoryLone);
  GAME_TABLE(MegnosMemoryStillIn);
  GAME_TABLE(MegnosMemorySequence);
  GAME_TABLE(MegnosMemoryAnswers);
  GAME_TABLE(MegnosMemoryAnswerers);
  GAME_VALUE(MegnosMemoryEntryPosition);
  GAME_VALUE(MegnosMemoryAnswerPosition);
  GAME_VALUE(MegnosMemoryWait);
  GAME_VALUE(MegnosMemoryCountdown);
}
