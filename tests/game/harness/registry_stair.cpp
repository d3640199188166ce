// The stair race, for the harness.
#include "game/minigames/stair.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(stair) {
  GAME_MACHINE(StairMain, StairStep);
  GAME_MACHINE(StairPlay, StairPlayStep);
  GAME_MACHINE(StairOutcome, StairOutcomeStep);
  GAME_VALUE(StairRoundClock);
  GAME_VALUE(StairRevealCounter);
  GAME_TABLE(StairPanelOffsets);
  GAME_TABLE(StairFadeCounters);
  GAME_VALUE(StairBlossomCounter);
}
