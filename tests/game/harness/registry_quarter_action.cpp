// The quarter action minigame, for the harness.
#include "game/minigames/quarter_action.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(quarter_action) {
  GAME_MACHINE(QuarterActionMain, QuarterActionStep);
  GAME_MACHINE(QuarterActionPlay, QuarterActionPlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("QuarterActionOutcome", "QuarterActionOutcomeStep",
                      [] { return static_cast<int64_t>(QuarterActionOutcomeStep == 0 ? 1 : QuarterActionOutcomeStep); }, 1);
  GAME_VALUE(QuarterActionTimer);
  GAME_TABLE(QuarterActionWalkers);
  GAME_TABLE(QuarterActionOrigin);
}
