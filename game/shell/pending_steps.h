// Entries of the game's later modules that the shell already calls: the
// scene handlers and the data-table loaders of scene 0. Each is an empty
// step here and moves to its own module, with its body, when that module is
// built. A scene handler here returns 0, so its scene simply stays.
#pragma once

#include <cstdint>

int RunMinigameModeScene();  // scene 3
int RunPartySetupScene();    // scene 4
int RunPartyScene();         // scene 8
int RunSpotlightScene();     // scene 11
int RunLanLobbyScene();      // scene 12

void LoadMinigameTable();  // "media\data\minidata.csv"
void LoadItemTable();      // "media\data\item.csv"
void LoadMapData();        // "media\data\mapdata.csv"
