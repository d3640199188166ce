// The labyrinth, for the harness.
#include "game/minigames/break_labyrinth.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(break_labyrinth) {
  GAME_MACHINE(BreakLabyrinthMain, BreakLabyrinthStep);
  GAME_VALUE(BreakLabyrinthCountdown);
  GAME_VALUE(BreakLabyrinthWinner);
  GAME_TABLE(BreakLabyrinthGrid);
}
