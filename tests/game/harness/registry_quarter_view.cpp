// The quarter view minigame, for the harness.
#include "game/minigames/quarter_view.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_view) {
  GAME_MACHINE(QuarterViewMain, QuarterViewStep);
  GAME_MACHINE(QuarterViewPlay, QuarterViewPlayStep);
  GAME_MACHINE(QuarterViewOutcome, QuarterViewOutcomeStep);
  GAME_TABLE(QuarterViewTiles);
  GAME_VALUE(QuarterViewTimer);
}
