// The high shooting minigame, for the harness.
#include "game/minigames/high_shot.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(high_shot) {
  GAME_MACHINE(HighShotMain, HighShotStep);
  GAME_MACHINE(HighShotPlay, HighShotPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("HighShotOutcome", "HighShotOutcomeStep",
                      [] { return static_cast<int64_t>(HighShotOutcomeStep == 0 ? 1 : HighShotOutcomeStep); }, 1);
  GAME_VALUE(HighShotTimer);
  GAME_VALUE(HighShotZoom);
  GAME_TABLE(HighShotCamera);
  GAME_TABLE(HighShotBullets);
}
