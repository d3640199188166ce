// The quarter jump minigame, for the harness.
#include "game/minigames/quarter_jump.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_jump) {
  GAME_MACHINE(QuarterJumpMain, QuarterJumpEntryStep);
  GAME_MACHINE(QuarterJumpPlay, QuarterJumpPlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("QuarterJumpOutcome", "QuarterJumpOutcomeStep",
                      [] { return static_cast<int64_t>(QuarterJumpOutcomeStep == 0 ? 1 : QuarterJumpOutcomeStep); }, 1);
  GAME_VALUE(QuarterJumpTimer);
  GAME_VALUE(QuarterJumpBarTimer);
  GAME_TABLE(QuarterJumpBodies);
  GAME_TABLE(QuarterJumpObstacles);
}
