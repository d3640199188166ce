// The board part of a round: the four players' turns in turn order (turn
// banner, action menu, move, landing effect), the pause, then the choice of
// the minigame type from the colours the players landed on and the drum
// roll that picks the round's minigame.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- the round

extern int32_t TurnState;      // 0 to 10, 0 between rounds
extern int32_t TurnIndex;      // 1 to 4: the turn of the round that runs
extern int32_t CurrentPlayer;  // the acting player, 0 when no player has the turn order
extern int32_t LandingSquare;  // the square where the current move ended
extern int32_t MinigameType;   // 1 four alone, 2 one against three, 3 two against two
extern uint8_t PausedFlag;     // 1 while the game is paused
extern int32_t PausingPlayer;  // the key record whose start button paused it
extern int32_t RoundMinigameRow;  // the minigame the drum roll chose, returned after the fade-out

// ---------------------------------------------------------------- the action menu

extern int32_t TurnMenuState;     // 0 to 10
extern int32_t CpuItemSlot;       // the usable slot (0 or 1) a CPU player chose this turn, -1 = none
extern float BannerSpinAngle;     // the round-effect pictures behind the banner, 0 to 2 pi
extern uint8_t BannerSoundPlayed; // 1 once the banner's sound has started this turn
// A CPU player's frame counters of the turn, cleared at each turn start.
constexpr int kCpuWaitBanner = 0;
constexpr int kCpuWaitFork = 1;
extern int32_t CpuWaitFrames[2];

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
// The help band at the bottom of the screen.
void DrawHelpLine(const char* text);
// The font of the size (1 to 24; sizes beyond are clamped).
int32_t FontOfSize(int32_t size);
// The text in white, centred on x, its top at y.
void DrawCentredText(int32_t x, int32_t y, const char* text, int32_t font);
// The map keys of the action menu and the fork (none on map 4): 1 for a new
// press of C (the map view; the camera position is saved for it), 2 for D
// (the whole map), else 0.
int MapViewKeyPressed(int32_t player);
// The first line of the turn banner ("%d Turn!!", "Last %d Turn!!" or
// "Last Turn!!") for the turns left.
void FormatTurnBanner(char* buffer, size_t size);
// The board for the player as every turn step draws it: the board, the die
// with the player's move count when it is not 0 (die), the placements
// brought up to date (placements), and the four status panels.
void DrawTurnBoard(int32_t player, bool die, bool placements);
// 0 while working, then the minigame type 1, 2 or 3.
int DecideMinigameType();
// 0 while the reel runs, then the chosen minigame table row.
int PickBoardMinigame();
