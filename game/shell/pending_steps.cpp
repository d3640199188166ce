// Empty steps of the game's later modules; see pending_steps.h.
#include "game/shell/pending_steps.h"

int RunMinigameModeScene() { return 0; }
int RunPartySetupScene() { return 0; }
int RunPartyScene() { return 0; }
int RunSpotlightScene() { return 0; }
int RunLanLobbyScene() { return 0; }

void LoadMinigameTable() {}
void LoadItemTable() {}
void LoadMapData() {}
