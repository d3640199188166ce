// The banquet and the other pass-through events.
#include "game/board/pass_events.h"

char* BanquetText = nullptr;
int32_t MushroomState = 0;
int32_t OvrelleHouseState = 0;
int32_t BanquetState = 0;
int32_t PitfallState = 0;
int32_t ZanberiCoinState = 0;
int32_t FalseSquareState = 0;

// empty step: built with its module
int RunMushroomPickUp(int32_t) { return 1; }
// empty step: built with its module
int RunOvrelleHouse(int32_t) { return 1; }
// empty step: built with its module
int RunBanquet(int32_t) { return 1; }
// empty step: built with its module
int RunPitfall(int32_t) { return 1; }
// empty step: built with its module
int RunZanberiCoinEvent(int32_t) { return 1; }
// empty step: built with its module
int RunFalseSquare(int32_t) { return 1; }
// empty step: built with its module
void BuildBanquetText() {}
