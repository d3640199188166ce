// The leisure minigame, for the harness.
#include "game/minigames/leisure.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(leisure) {
  GAME_MACHINE(LeisureMain, LeisureStep);
  GAME_MACHINE(LeisurePlay, LeisurePlayStep);
  GAME_MACHINE(LeisureOutcome, LeisureOutcomeStep);
  GAME_TABLE(LeisureStones);
  GAME_VALUE(LeisureTurn);
  GAME_VALUE(LeisureChoiceTimer);
  GAME_VALUE(LeisureWait);
  GAME_VALUE(LeisureAnimFrame);
  GAME_VALUE(LeisureSparkleFrame);
  GAME_VALUE(LeisureHits);
}
