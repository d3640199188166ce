// The leisure minigame, for the harness.
#include "game/minigames/leisure.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(leisure) {
  GAME_MACHINE(LeisureMain, LeisureStep);
  GAME_MACHINE(LeisurePlay, LeisurePlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("LeisureOutcome", "LeisureOutcomeStep",
                      [] { return static_cast<int64_t>(LeisureOutcomeStep == 0 ? 1 : LeisureOutcomeStep); }, 1);
  GAME_TABLE(LeisureStones);
  GAME_VALUE(LeisureTurn);
  GAME_VALUE(LeisureChoiceTimer);
  GAME_VALUE(LeisureWait);
  GAME_VALUE(LeisureAnimFrame);
  GAME_VALUE(LeisureSparkleFrame);
  GAME_VALUE(LeisureHits);
}
