// The banquet and the other pass-through events, for the harness. The
// mushroom idles at step 2 and the false square at step 3 (the steps below
// are idle frames of the first visit).
#include "game/board/pass_events.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(pass_events) {
  RegisterGameMachine("RunMushroomPickUp", "MushroomState", [] { return MushroomState < 2 ? 2 : MushroomState; },
                      2);
  GAME_MACHINE(RunOvrelleHouse, OvrelleHouseState);
  GAME_MACHINE(RunBanquet, BanquetState);
  GAME_MACHINE(RunPitfall, PitfallState);
  GAME_MACHINE(RunZanberiCoinEvent, ZanberiCoinState);
  RegisterGameMachine("RunFalseSquare", "FalseSquareState",
                      [] { return FalseSquareState < 3 ? 3 : FalseSquareState; }, 3);
  GAME_VALUE(BanquetHost);
  GAME_VALUE(BanquetTextIndex);
  GAME_VALUE(BanquetCurrentPlayer);
}
