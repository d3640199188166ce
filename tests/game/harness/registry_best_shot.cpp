// The best shot minigame, for the harness.
#include "game/minigames/best_shot.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(best_shot) {
  GAME_MACHINE(BestShotMain, BestShotStep);
  GAME_MACHINE(BestShotPlay, BestShotPlayStep);
  GAME_MACHINE(BestShotOutcome, BestShotOutcomeStep);
  GAME_VALUE(BestShotCountdown);
  GAME_VALUE(BestShotCircleRadius);
  GAME_TABLE(BestShotTarget);
}
