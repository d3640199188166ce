// The round-start magic-square slot.
#include "game/board/magic_square_slot.h"

int32_t RoundEffect = 0;

int32_t SlotState = 0;
int32_t SlotDarkness = 0;
int32_t SlotIntroCounters[4] = {};
int32_t SlotCardFrame = 0;
int32_t SlotSpinFrames = 0;
int32_t SlotShown = 0;
int32_t SlotResult = 0;
float SlotCircleScale = 0.0f;
float SlotCircleAngle = 0.0f;
int32_t SlotCircleAlpha = 0;

// empty step: built with its module
int RunMagicSquareSlot() { return 1; }
// empty step: built with its module
void DrawRoundEffectCaption() {}
