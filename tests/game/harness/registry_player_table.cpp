// The player table for the harness: the four records as "backup.dat" holds
// them, the standings and the coin animations.
#include "game/shell/player_table.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(player_table) {
  GAME_TABLE(PlayerTable);
  GAME_TABLE(StandingsTable);
  GAME_MACHINE(AnimateCoinChange, CoinAnimationState[0].state);
  GAME_MACHINE(AnimateCoinChange, CoinAnimationState[1].state);
  GAME_MACHINE(AnimateCoinChange, CoinAnimationState[2].state);
  GAME_MACHINE(AnimateCoinChange, CoinAnimationState[3].state);
}
