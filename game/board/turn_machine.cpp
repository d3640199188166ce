// The turn machine, the turn banner and action menu, and the round's
// minigame choice.
#include "game/board/turn_machine.h"

int32_t TurnState = 0;
int32_t TurnIndex = 0;
int32_t CurrentPlayer = 0;
int32_t LandingSquare = 0;
int32_t MinigameType = 0;
uint8_t PausedFlag = 0;
int32_t PausingPlayer = 0;

int32_t TurnMenuState = 0;
int32_t CpuItemSlot = -1;
float BannerSpinAngle = 0.0f;
int32_t CpuWaitFrames[2] = {};

int32_t MinigameWeights[30] = {};

int32_t TypeState = 0;
int32_t TypeFrames = 0;
int32_t BlueCount = 0;
uint8_t RerollFlags[5] = {};

int32_t PickState = 0;
int32_t ReelSlots[5] = {};
int32_t ReelOffset = 0;
int32_t ReelFrames = 0;
int32_t ReelSelected = 0;
int32_t ReelNext = 0;
int32_t ReelHoldFrames = 0;

// empty step: built with its module (the round ends at once with minigame 1)
int RunTurnMachine() { return 1; }
// empty step: built with its module
int PrepareTurn() { return 0; }
// empty step: built with its module
int RunTurnMenu() { return 1; }
// empty step: built with its module
int ChooseCpuItem(int32_t) { return -1; }
// empty step: built with its module
void DrawHelpLine(const char*) {}
// empty step: built with its module
int DecideMinigameType() { return 1; }
// empty step: built with its module
int PickBoardMinigame() { return 1; }
