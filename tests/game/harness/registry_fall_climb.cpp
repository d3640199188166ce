// The climbing race, for the harness.
#include "game/minigames/fall_climb.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(fall_climb) {
  GAME_MACHINE(FallClimbMain, FallClimbStep);
  GAME_VALUE(FallClimbTopFrames);
  GAME_VALUE(FallClimbSpawnDelay);
  GAME_TABLE(FallClimbGrid);
  GAME_TABLE(FallClimbShotTable);
  GAME_TABLE(FallClimbCreatureTable);
}
