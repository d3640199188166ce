// The catching minigame, for the harness.
#include "game/minigames/springset.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(springset) {
  GAME_MACHINE(SpringsetMain, SpringsetStep);
  GAME_MACHINE(SpringsetPlay, SpringsetPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("SpringsetOutcome", "SpringsetOutcomeStep",
                      [] { return static_cast<int64_t>(SpringsetOutcomeStep == 0 ? 1 : SpringsetOutcomeStep); }, 1);
  GAME_VALUE(SpringsetClock);
  GAME_VALUE(SpringsetSpawnCounter);
  GAME_TABLE(SpringsetBallTable);
}
