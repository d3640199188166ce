// Minigame 12, quarter action ("media\mini\quarteraction"; its pictures are
// quarter jump's): the four participants walk tile by tile over a 10 x 10
// board of blocks seen in quarter view. A tile belongs to the participant
// who last completed a step onto it; after 2700 frames (45 seconds) the
// participants owning the most tiles win 10 coins each (ties shared; nobody
// wins while no tile is owned).
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t QuarterActionStep;
extern int32_t QuarterActionPlayStep;
extern int32_t QuarterActionOutcomeStep;
// Play frames left (2700 at the start).
extern int32_t QuarterActionTimer;

// A place of the board: its owner (the participant 1..4 who last completed
// a step onto it, 0 nobody) and its block (1 ground, 0 nothing).
struct QuarterActionTile {
  int32_t owner;
  int32_t block;
};
// Ten layers of 100 places, index layer * 100 + row * 10 + column. Layer 0
// decides where one may step and holds the owners; layers 0 to 2 are drawn.
constexpr int kQuarterActionTiles = 1000;
extern QuarterActionTile QuarterActionTiles[kQuarterActionTiles];
// The board's top corner on the screen, (320, 64).
extern float QuarterActionOrigin[2];

// A participant's walk: the tile it is walking to (-1 standing), its facing
// (8, 2, 4 or 6), the action flag a new press of A sets (nothing reads it)
// and the tile its step started from. 56 bytes.
struct QuarterActionWalker {
  int32_t target;
  int32_t facing;
  int32_t action;
  int32_t from;
  int32_t spare[10];
};
static_assert(sizeof(QuarterActionWalker) == 56);
// Index 1..4 (0 unused).
extern QuarterActionWalker QuarterActionWalkers[5];

// The participant record's fields: x, y the feet on the screen; reals 0, 1
// the walking velocity; ints 0 the direction digit (5 none).
int32_t& QuarterActionDirection(int32_t p);

// The entry (slot 11 of the runner's table) is QuarterActionMain in minigame_entries.h.
// The tile (row * 10 + column) under a screen point; rows and columns past
// the board's far edges come out as 10.
int32_t QuarterTileAt(int32_t x, int32_t y);
// The screen point of a tile (row * 10 + column).
void QuarterTilePosition(int32_t tile, float* x, float* y);
// Steps and walking of the four participants.
void QuarterActionWalk();
// One frame of a CPU participant: standing, it waits a little and then
// takes a step onto the board, rather onto a tile it does not own.
void QuarterActionCpu(int32_t p);
// The number of layer-0 tiles participant p owns.
int32_t QuarterActionTileCount(int32_t p);
void DrawQuarterAction();
int QuarterActionPlay();
int QuarterActionOutcome();
