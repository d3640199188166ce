// The item menu that takes an item out of one of the two usable slots, and
// the effects of the usable items 1 to 14: the dice items that decide how
// far the piece moves, the place swap through a gap, and the items that
// open a shop.
#pragma once

#include <cstdint>

extern int32_t ItemMenuCursor;  // the usable slot under the cursor, 0 or 1
extern int32_t ItemStepState;
extern int32_t ItemMenuState;

// The item step of the action menu: 0 running, -1 cancelled (or a CPU chose
// nothing), 1 the item settled the move, 2 the item finished without
// settling the move.
int RunItemStep(int32_t player);
// 0 running, -1 cancelled, else the id of the item taken out of its slot.
int RunItemMenu(int32_t player);
// One frame of item id's effect: 0 running, 1 done with moveCount set, 2
// done without settling the move.
int UseItem(int32_t item, int32_t player);

// The dice items: 0 running, 1 done with moveCount set.
int RollTwoDice(int32_t player);
int RollThreeDice(int32_t player);
int RollFourDice(int32_t player);
int RollSmallDie(int32_t player);  // 1 to 3
int RollBigDie(int32_t player);    // 8 to 10
int RunRandomDiceItem(int32_t player);
// The place swap with a random other player: 0 running, 1 done.
int SwapPlacesThroughGap(int32_t player);
