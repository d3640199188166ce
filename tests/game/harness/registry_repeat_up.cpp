// The stone-climbing minigame, for the harness.
#include "game/minigames/repeat_up.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(repeat_up) {
  GAME_MACHINE(RepeatUpMain, RepeatUpEntryStep);
  GAME_MACHINE(RepeatUpPlay, RepeatUpPlayStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("RepeatUpOutcome", "RepeatUpOutcomeStep",
                      [] { return static_cast<int64_t>(RepeatUpOutcomeStep == 0 ? 1 : RepeatUpOutcomeStep); }, 1);
  GAME_TABLE(StoneTable);
}
