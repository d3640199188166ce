// The falling-block minigame, for the harness.
#include "game/minigames/falling_block.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(falling_block) {
  GAME_MACHINE(FallingBlockMain, FallingBlockMainStep);
  GAME_MACHINE(FallingBlockPlay, FallingBlockPlayStep);
  GAME_VALUE(BlockFallInterval);
  GAME_TABLE(BlockHoleCounters);
  GAME_TABLE(DropperStateTable);
  GAME_TABLE(BlockWellTable);
}
