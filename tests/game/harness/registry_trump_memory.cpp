// The pair-matching card minigame, for the harness.
#include "game/minigames/trump_memory.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(trump_memory) {
  GAME_MACHINE(TrumpMemoryMain, TrumpMemoryStep);
  GAME_MACHINE(TrumpMemoryPlay, TrumpMemoryPlayStep);
  GAME_MACHINE(TrumpMemoryOutcome, TrumpMemoryOutcomeStep);
  GAME_TABLE(CardDeckTable);
  GAME_TABLE(CardMemoryTable);
}
