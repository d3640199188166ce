// The number search minigame, for the harness.
#include "game/minigames/number_search.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(number_search) {
  GAME_MACHINE(NumberSearchMain, NumberSearchStep);
  GAME_MACHINE(NumberSearchPlay, NumberSearchPlayStep);
  GAME_MACHINE(NumberSearchOutcome, NumberSearchOutcomeStep);
  GAME_TABLE(NumberPanels);
  GAME_VALUE(NumberSearchRemaining);
  GAME_VALUE(NumberSearchTarget);
  GAME_VALUE(NumberSearchFrame);
  GAME_TABLE(NumberSearchThinkSteps);
  GAME_VALUE(NumberSearchRevealOpacity);
  GAME_VALUE(NumberSearchSparkleScale);
  GAME_VALUE(NumberSearchFlinch);
  GAME_VALUE(NumberSearchFont);
}
