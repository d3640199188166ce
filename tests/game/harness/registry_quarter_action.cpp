// The quarter action minigame, for the harness.
#include "game/minigames/quarter_action.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_action) {
  GAME_MACHINE(QuarterActionMain, QuarterActionStep);
  GAME_MACHINE(QuarterActionPlay, QuarterActionPlayStep);
  GAME_MACHINE(QuarterActionOutcome, QuarterActionOutcomeStep);
  GAME_VALUE(QuarterActionTimer);
  GAME_TABLE(QuarterActionWalkers);
  GAME_TABLE(QuarterActionOrigin);
}
