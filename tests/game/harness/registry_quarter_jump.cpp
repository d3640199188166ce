// The quarter jump minigame, for the harness.
#include "game/minigames/quarter_jump.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_jump) {
  GAME_MACHINE(QuarterJumpMain, QuarterJumpEntryStep);
  GAME_MACHINE(QuarterJumpPlay, QuarterJumpPlayStep);
  GAME_MACHINE(QuarterJumpOutcome, QuarterJumpOutcomeStep);
  GAME_VALUE(QuarterJumpTimer);
  GAME_VALUE(QuarterJumpBarTimer);
  GAME_TABLE(QuarterJumpBodies);
  GAME_TABLE(QuarterJumpObstacles);
}
