// The round bonus, for the harness.
#include "game/board/round_bonus.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(round_bonus) {
  GAME_MACHINE(RunRoundBonus, RoundBonusState);
  GAME_VALUE(RoundBonusPortrait);
}
