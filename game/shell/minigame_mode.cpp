// Minigame mode: the picker, the team screens and the play.
#include "game/shell/minigame_mode.h"

MinigameInfoRecord MinigamePickerPages[kPickerPages][kPickerPageEntries] = {};
int32_t MinigameModeStep = 0;
int32_t MinigamePickerStep = 0;
int32_t PickerPageOrder[3] = {0, 1, 2};
int32_t PickerCategoryCursor = 0;
int32_t PickerEntryCursor = 0;
int32_t PickerSlideOffset = 0;
int32_t PickerSlideFrames = 0;
int32_t PickerAlonePlayer = 1;
int32_t PickerPairSlots[5] = {0, 1, 2, 3, 4};
int32_t PickerChosenNumber = 0;
int32_t PickerCancelled = 0;

// empty step: built with its module (the scene stays)
int RunMinigameModeScene() { return 0; }
// empty step: built with its module
int RunMinigamePicker() { return -1; }
