// The item menu and the item effects.
#include "game/board/items.h"

int32_t ItemMenuCursor = 0;
int32_t ItemStepState = 0;
int32_t ItemMenuState = 0;

// empty step: built with its module
int RunItemStep(int32_t) { return -1; }
// empty step: built with its module
int RunItemMenu(int32_t) { return -1; }
// empty step: built with its module
int UseItem(int32_t, int32_t) { return 2; }
// empty step: built with its module
int RollTwoDice(int32_t) { return 1; }
// empty step: built with its module
int RollThreeDice(int32_t) { return 1; }
// empty step: built with its module
int RollFourDice(int32_t) { return 1; }
// empty step: built with its module
int RollSmallDie(int32_t) { return 1; }
// empty step: built with its module
int RollBigDie(int32_t) { return 1; }
// empty step: built with its module
int RunRandomDiceItem(int32_t) { return 1; }
// empty step: built with its module
int SwapPlacesThroughGap(int32_t) { return 1; }
