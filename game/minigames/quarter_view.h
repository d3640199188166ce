// Minigame 31, quarter view ("media\mini\quarterview"): an isometric board
// of 5 x 5 places, a ground block on every second place, each place showing
// its number, under a countdown of 45 seconds. A human's A press only sets
// a flag; when the time is up every participant wins, without coins.
#pragma once

#include <cstdint>

extern int32_t QuarterViewStep;         // the entry (numbering A)
extern int32_t QuarterViewPlayStep;     // 0 to 3
extern int32_t QuarterViewOutcomeStep;  // left at 1 after a game
// Places, index row * 5 + column: 1 a ground block, 0 an empty place.
extern int32_t QuarterViewTiles[25];
// The board's top corner.
extern float QuarterViewOriginX, QuarterViewOriginY;
// Frames of play left (2700 at the start).
extern int32_t QuarterViewTimer;
// The ground block.
extern int32_t QuarterViewBlock;

// The participant record's fields: the score the outcome compares (0
// throughout) and the A flag.
int32_t& QuarterViewScore(int32_t p);
int32_t& QuarterViewAFlag(int32_t p);

// The screen point of a place's top corner (the block is drawn with its
// top centre there), for a block of width w and height h.
struct QuarterViewPoint {
  int32_t x, y;
};
QuarterViewPoint QuarterViewPlace(int32_t row, int32_t column, int32_t w, int32_t h);

void DrawQuarterView();
int QuarterViewPlay();
int QuarterViewOutcome();
