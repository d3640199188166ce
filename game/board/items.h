// The item menu that takes an item out of one of the two usable slots, and
// the effects of the usable items 1 to 14: the dice items that decide how
// far the piece moves, the place swap through a gap, and the items that
// open a shop.
#pragma once

#include <cstdint>

struct PlayerRecord;

extern int32_t ItemMenuCursor;  // the usable slot under the cursor, 0 or 1
extern int32_t ItemStepState;   // 0 idle, 2 the menu, 4 the item's effect
extern int32_t ItemMenuState;   // 1 start, 2 a CPU's choice, 3 choosing, 4 taken
// A CPU player's frames on the menu (it acts every 47th) and its target slot.
extern int32_t ItemMenuCpuFrames;
extern int32_t ItemMenuTarget;

// The single die of the small and big die items.
extern int32_t SingleDieState;  // 1 start, 2 rolling, 3 stopped
extern int32_t SingleDieValue;
extern int32_t SingleDieStop;    // 1 once stopped
extern int32_t SingleDieFrames;  // a CPU's frames before it stops

// The two, three and four dice rolled one after another, then merged.
constexpr int kMaxItemDice = 4;
extern int32_t MultiDiceState;  // 0 idle, 1 rolling, 2 merging
extern int32_t MultiDiceCount;
extern int32_t MultiDiceRolled;  // dice finished so far
extern int32_t MultiDiceValues[kMaxItemDice];
extern int32_t MultiDiceAlpha;   // the merge: the dice fade from 255
extern int32_t MultiDiceOffset;  // the merge: horizontal offset from 320

// The random dice item: its draw (0 two dice, 1 small, 2 big, 3 stay), -1 = not yet drawn.
extern int32_t RandomDiceChoice;

// The place swap through a gap.
extern int32_t SwapState;    // 0 idle, 1 to 7 the steps
extern int32_t SwapCounter;  // frames of the running step (the gap's cell and scale)
extern int32_t SwapPartner;
extern int32_t SwapAlpha;       // the pieces fading as they sink
extern int32_t SwapSinkFrames;  // frames of sinking, at most 120 counted
extern float SwapHopOffset;     // the user's piece, vertical offset
extern float SwapHopSpeed;

// The item step of the action menu: 0 running, -1 cancelled (or a CPU chose
// nothing), 1 the item settled the move, 2 the item finished without
// settling the move.
int RunItemStep(int32_t player);
// 0 running, -1 cancelled, else the id of the item taken out of its slot.
// A CPU player takes the usable slot CpuItemSlot (turn_machine.h) names;
// with none, an empty slot or an item without a use its menu ends with -1.
int RunItemMenu(int32_t player);
// One frame of item id's effect: 0 running, 1 done with moveCount set, 2
// done without settling the move (also at once for an id without a use).
int UseItem(int32_t item, int32_t player);
// Takes the item of the usable slot (0 or 1) out and returns it: the slot
// empties, and the item of slot 2 moves up when slot 1 is left empty.
int32_t TakeItemFromSlot(PlayerRecord& record, int32_t slot);
// True for the items that do something when used: 1 to 7 and 11 to 14. The
// menu refuses the others (a human's A does nothing on them, a CPU's
// choice of one ends its menu).
bool ItemHasUseEffect(int32_t item);

// The dice items: 0 running, 1 done with moveCount set.
int RollTwoDice(int32_t player);
int RollThreeDice(int32_t player);
int RollFourDice(int32_t player);
int RollSmallDie(int32_t player);  // 1 to 3
int RollBigDie(int32_t player);    // 8 to 10
int RunRandomDiceItem(int32_t player);
// The place swap with a random other player: 0 running, 1 done.
int SwapPlacesThroughGap(int32_t player);
