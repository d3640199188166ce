// The balloon-climb minigame, for the harness.
#include "game/minigames/pooyan.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(pooyan) {
  // The entry rests at the set-up step between games; 0 before the first.
  RegisterGameMachine("PooyanMain", "PooyanStep",
                      [] { return static_cast<int64_t>(PooyanStep == 0 ? 2 : PooyanStep); }, 2);
  GAME_MACHINE(PooyanPlay, PooyanPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("PooyanOutcome", "PooyanOutcomeStep",
                      [] { return static_cast<int64_t>(PooyanOutcomeStep == 0 ? 1 : PooyanOutcomeStep); }, 1);
  GAME_TABLE(PooyanPellets);
  GAME_TABLE(PooyanBalloons);
  GAME_TABLE(PooyanLeakTimers);
  GAME_TABLE(PooyanBoostTimers);
  GAME_VALUE(PooyanCountdown);
  GAME_VALUE(PooyanPullCounter);
  GAME_VALUE(PooyanPushCounter);
}
