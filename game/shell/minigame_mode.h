// Minigame mode (scene 3): the players pick any minigame from three category
// pages, set up the teams of a team minigame, play it, and come back to the
// picker.
#pragma once

#include <cstdint>

#include "game/shell/minigame_table.h"

// Page k: copies of the minigame table's rows of category k, in table
// order; the rest of the twelve entries empty.
constexpr int kPickerPages = 3;
constexpr int kPickerPageEntries = 12;
extern MinigameInfoRecord MinigamePickerPages[kPickerPages][kPickerPageEntries];

extern int32_t MinigameModeStep;    // the scene's step
extern int32_t MinigamePickerStep;  // 0 to 9; 0 and 1 only on the first visit
extern int32_t PickerPageOrder[3];  // the pages front to back
extern int32_t PickerCategoryCursor;  // 0 to 2
extern int32_t PickerEntryCursor;     // 0 to 11
extern int32_t PickerSlideOffset;
extern int32_t PickerSlideFrames;
extern int32_t PickerAlonePlayer;     // one against three: the player alone, 1 to 4
extern int32_t PickerPairSlots[5];    // two against two: slots 1 to 4 hold players, pairs (1, 2) and (3, 4)
extern int32_t PickerChosenNumber;
extern int32_t PickerCancelled;

// One frame of the scene: 0 running, 1 back to the main menu.
int RunMinigameModeScene();
// One frame of the picker: 0 running, -1 cancelled, else the chosen
// minigame's number.
int RunMinigamePicker();
