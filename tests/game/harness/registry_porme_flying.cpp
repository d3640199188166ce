// The porme flying minigame, for the harness.
#include "game/minigames/porme_flying.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(porme_flying) {
  GAME_MACHINE(PormeFlyingMain, PormeFlyingStep);
  GAME_MACHINE(PormeThrowPlay, PormeThrowStep);
  GAME_MACHINE(PormeFlyingOutcome, PormeOutcomeStep);
  GAME_VALUE(PormeThrower);
  GAME_VALUE(PormeThrowWait);
  GAME_VALUE(PormeGhostFrame);
  GAME_VALUE(PormeGhostCount);
}
