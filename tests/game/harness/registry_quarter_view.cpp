// The quarter view minigame, for the harness.
#include "game/minigames/quarter_view.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_view) {
  GAME_MACHINE(QuarterViewMain, QuarterViewStep);
  GAME_MACHINE(QuarterViewPlay, QuarterViewPlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("QuarterViewOutcome", "QuarterViewOutcomeStep",
                      [] { return static_cast<int64_t>(QuarterViewOutcomeStep == 0 ? 1 : QuarterViewOutcomeStep); }, 1);
  GAME_TABLE(QuarterViewTiles);
  GAME_VALUE(QuarterViewTimer);
}
