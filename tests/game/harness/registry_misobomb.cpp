// The beam-team minigame, for the harness.
#include "game/minigames/misobomb.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(misobomb) {
  GAME_MACHINE(MisobombMain, MisobombStep);
  GAME_MACHINE(MisobombPlay, MisobombPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("MisobombOutcome", "MisobombOutcomeStep",
                      [] { return static_cast<int64_t>(MisobombOutcomeStep == 0 ? 1 : MisobombOutcomeStep); }, 1);
  GAME_TABLE(MisobombBeamTable);
  GAME_TABLE(MisobombFairyTable);
  GAME_VALUE(MisobombClock);
  GAME_VALUE(MisobombSpawnCounter);
}
