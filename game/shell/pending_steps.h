// Entries of the game's later modules that the shell and the party
// already call: scene handlers, the party scene's steps, and the party-wide
// tables those modules own. Each is an empty step here and moves to its own
// module, with its body, when that module is built. A scene handler here
// returns 0, so its scene simply stays; a party step returns the result
// that lets the party go on at once.
#pragma once

#include <cstdint>

int RunMinigameModeScene();  // scene 3
int RunSpotlightScene();     // scene 11

// ---------------------------------------------------------------- the party's steps

// The opening (line-up, map introduction, turn order): 1 when it has ended.
// Empty: ends at once.
int RunPartyOpening();
// The round-start slot: 1 when over and RoundEffect is set. Empty: ends at once.
int RunMagicSquareSlot();
// The round's four turns: 0 while they run, then the chosen minigame's
// number. Empty: the round ends at once with minigame 1.
int RunTurnMachine();
// One frame of minigame n: 1 once it has ended. Empty: ends at once.
int RunMinigame(int32_t n);
// The coin tally after a minigame: 1 when done. Empty: ends at once.
int RunCoinTally();
// The party's results: 1 when finished. Empty: ends at once.
int RunPartyResults();

// The camera on player p's piece. Empty: the camera stays.
void CenterCameraOnPlayer(int32_t player);

// By turn position (entry 0 unused): how far each status panel is slid out.
extern int32_t PanelSlideOffsets[5];
// The board's minigame pick weights by minigame table row, 3 at a party start.
extern int32_t MinigameWeights[30];
// Entry k = 1 once impossible-request item 30 + k has been handed out.
extern int32_t ImpossibleRequestGiven[7];
