// The board part of a round: the four players' turns in turn order (turn
// banner, action menu, move, landing effect), the pause, then the choice of
// the minigame type from the colours the players landed on and the drum
// roll that picks the round's minigame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/board/board_helpers.h"

// ---------------------------------------------------------------- the round

extern int32_t TurnState;      // 0 to 10, 0 between rounds
extern int32_t TurnIndex;      // 1 to 4: the turn of the round that runs
extern int32_t LandingSquare;  // the square where the current move ended
extern int32_t MinigameType;   // 1 four alone, 2 one against three, 3 two against two
extern uint8_t PausedFlag;     // 1 while the game is paused
extern int32_t PausingPlayer;  // the key record whose start button paused it
extern int32_t RoundMinigameRow;  // the minigame the drum roll chose, returned after the fade-out

// ---------------------------------------------------------------- the action menu

extern int32_t TurnMenuState;     // 0 to 10
extern float BannerSpinAngle;     // the round-effect pictures behind the banner, 0 to 2 pi
extern uint8_t BannerSoundPlayed; // 1 once the banner's sound has started this turn

// ---------------------------------------------------------------- the minigame choice

// By minigame table row: the board's pick weight, 3 at a party start,
// never below 1.
extern int32_t MinigameWeights[30];

extern int32_t TypeState;
extern int32_t TypeFrames;
extern int32_t BlueCount;
extern uint8_t RerollFlags[5];  // by player: takes part in the colour roulette

extern int32_t PickState;
extern int32_t ReelSlots[5];  // minigame table rows on the reel
extern int32_t ReelOffset;
extern int32_t ReelFrames;
extern int32_t ReelSelected;
extern int32_t ReelNext;
extern int32_t ReelHoldFrames;

// ---------------------------------------------------------------- steps

// One frame of the round: 0 while it runs, then (once, after the fade-out)
// the chosen minigame's table row, 1 to 29.
int RunTurnMachine();
// The start of a turn: the acting player (0 when none).
int PrepareTurn();
// The banner and action menu of CurrentPlayer: 1 once the move count is
// fixed (or the turn otherwise decided), else 0.
int RunTurnMenu();
// A CPU player's item choice: usable slot 0 or 1, or -1 for none.
int ChooseCpuItem(int32_t player);
// The first line of the turn banner ("%d Turn!!", "Last %d Turn!!" or
// "Last Turn!!") for the turns left.
void FormatTurnBanner(char* buffer, size_t size);
// 0 while working, then the minigame type 1, 2 or 3.
int DecideMinigameType();
// 0 while the reel runs, then the chosen minigame table row.
int PickBoardMinigame();
