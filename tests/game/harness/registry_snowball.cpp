// The snowball fight, for the harness.
#include "game/minigames/snowball.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(snowball) {
  GAME_MACHINE(SnowballMain, SnowballStep);
  GAME_MACHINE(SnowballPlay, SnowballPlayStep);
  GAME_MACHINE(SnowballOutcome, SnowballOutcomeStep);
  GAME_VALUE(SnowballTimer);
  GAME_VALUE(SnowballSpawnCounter);
  GAME_TABLE(SnowballFighters);
  GAME_TABLE(SnowballBalls);
}
