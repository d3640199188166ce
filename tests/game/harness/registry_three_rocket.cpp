// The three-stage rocket, for the harness.
#include "game/minigames/three_rocket.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(three_rocket) {
  GAME_MACHINE(ThreeRocketMain, ThreeRocketStep);
  GAME_MACHINE(ThreeRocketPlay, ThreeRocketPlayStep);
  GAME_MACHINE(ThreeRocketOutcome, ThreeRocketOutcomeStep);
  GAME_TABLE(ThreeRocketRockets);
  GAME_TABLE(ThreeRocketStars);
}
