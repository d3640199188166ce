// The snowball fight, for the harness.
#include "game/minigames/snowball.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(snowball) {
  GAME_MACHINE(SnowballMain, SnowballStep);
  GAME_MACHINE(SnowballPlay, SnowballPlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("SnowballOutcome", "SnowballOutcomeStep",
                      [] { return static_cast<int64_t>(SnowballOutcomeStep == 0 ? 1 : SnowballOutcomeStep); }, 1);
  GAME_VALUE(SnowballTimer);
  GAME_VALUE(SnowballSpawnCounter);
  GAME_TABLE(SnowballFighters);
  GAME_TABLE(SnowballBalls);
}
