// Empty steps of the game's later modules; see pending_steps.h.
#include "game/shell/pending_steps.h"

int RunMinigameModeScene() { return 0; }
int RunSpotlightScene() { return 0; }

int RunPartyOpening() { return 1; }
int RunMagicSquareSlot() { return 1; }
int RunTurnMachine() { return 1; }
int RunMinigame(int32_t) { return 1; }
int RunCoinTally() { return 1; }
int RunPartyResults() { return 1; }

void CenterCameraOnPlayer(int32_t) {}

int32_t PanelSlideOffsets[5] = {};
int32_t MinigameWeights[30] = {};
int32_t ImpossibleRequestGiven[7] = {};
