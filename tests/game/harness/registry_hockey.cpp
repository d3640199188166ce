// The paddle-hockey minigame, for the harness.
#include "game/minigames/hockey.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(hockey) {
  // The entry rests at the set-up step between games; 0 before the first.
  RegisterGameMachine("HockeyMain", "HockeyStep",
                      [] { return static_cast<int64_t>(HockeyStep == 0 ? 2 : HockeyStep); }, 2);
  GAME_MACHINE(HockeyPlay, HockeyPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("HockeyOutcome", "HockeyOutcomeStep",
                      [] { return static_cast<int64_t>(HockeyOutcomeStep == 0 ? 1 : HockeyOutcomeStep); }, 1);
  GAME_VALUE(HockeyClock);
  GAME_VALUE(HockeyAllowedPucks);
  GAME_VALUE(HockeySpawnDelay);
  GAME_TABLE(HockeyScores);
  GAME_TABLE(HockeyPucks);
}
