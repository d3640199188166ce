// The landing effects of the squares.
#include "game/board/landing_effects.h"

int32_t ImpossibleRequestGiven[7] = {};
int32_t LandingState = 0;

// empty step: built with its module
int RunLandingEffect(int32_t) { return 1; }
// empty step: built with its module
int RunBlueSquare(int32_t) { return 1; }
// empty step: built with its module
int RunRedSquare(int32_t) { return 1; }
// empty step: built with its module
int RunItemSquare(int32_t) { return 1; }
// empty step: built with its module
int RunEventSquare(int32_t, int32_t) { return 1; }
// empty step: built with its module
int RunHouseEvent(int32_t) { return 1; }
// empty step: built with its module
int RunRabbitDuel(int32_t) { return 1; }
// empty step: built with its module
int RunNothingHappensEvent(int32_t, int32_t) { return 1; }
// empty step: built with its module
int RunStoneColourEvent(int32_t, int32_t) { return 1; }
// empty step: built with its module
int RunPassageClosingEvent(int32_t, int32_t) { return 1; }
// empty step: built with its module
int RunLostEvent(int32_t, int32_t) { return 1; }
// empty step: built with its module
void ReshuffleWarpPairs() {}
