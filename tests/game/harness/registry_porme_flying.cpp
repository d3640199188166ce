// The porme flying minigame, for the harness.
#include "game/minigames/porme_flying.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(porme_flying) {
  GAME_MACHINE(PormeFlyingMain, PormeFlyingStep);
  GAME_MACHINE(PormeThrowPlay, PormeThrowStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("PormeFlyingOutcome", "PormeOutcomeStep",
                      [] { return static_cast<int64_t>(PormeOutcomeStep == 0 ? 1 : PormeOutcomeStep); }, 1);
  GAME_VALUE(PormeThrower);
  GAME_VALUE(PormeThrowWait);
  GAME_VALUE(PormeGhostFrame);
  GAME_VALUE(PormeGhostCount);
}
