// Minigame 29, falling block ("media\mini\tumbrick"): two teams of two, each
// on a well of 22 x 10 cells. A team's dropper steers falling pieces (read
// from block.csv) and clears full rows; its runner runs and jumps on the
// blocks and breaks a block beside it whose colour matches the button. A
// covered runner goes back to its start and its well rises by a row of
// random blocks. Play ends when a settled block lies in row 2 of a well; the
// other pair wins 10 coins each (both wells in one frame: a draw).
#pragma once

#include <cstdint>

#include "game/minigames/block_patterns.h"

constexpr int kBlockWellRows = 22;
constexpr int kBlockWellColumns = 10;
constexpr int kBlockWellCells = kBlockWellRows * kBlockWellColumns;  // 220
// Cell values of a well.
enum : int32_t {
  kBlockEmpty = 0,
  kBlockSolid = 1,  // read for points outside the well
  kBlockBlue = 2,
  kBlockYellow = 3,
  kBlockGreen = 4,
  kBlockPiece = 5,  // a cell of the falling piece
};
// Well w (0..2; 0 unused) cell (row r, column c) is BlockWellTable[220 w + 10 r + c].
extern int32_t BlockWellTable[3 * kBlockWellCells];
extern int32_t BlockPatternTable[kBlockPatternCells];
// Per participant (1..4) eight words; the ones used:
enum : int {
  kDropperPattern = 0,  // current pattern
  kDropperNext = 1,     // next pattern
  kDropperFall = 2,     // fall timer
  kDropperLock = 3,     // failed falls so far
  kDropperRepeat = 4,   // sideways / soft-drop repeat counter
  kDropperSettle = 6,   // settle wait
};
extern int32_t DropperStateTable[5][8];
// Per well (0..2): 0..3, which decides the holes of a row of random blocks.
extern int32_t BlockHoleCounters[3];
extern int32_t BlockFallInterval;  // frames between falls (60)

extern int32_t FallingBlockMainStep;  // the entry's step
extern int32_t FallingBlockPlayStep;

// Phases of a dropper.
constexpr uint8_t kBlockFalling = 1, kBlockSettling = 4, kBlockSpawnNext = 6;
constexpr int32_t kBlockDropper = 1, kBlockRunner = 2;
constexpr float kBlockRunnerStartX = 16.0f, kBlockRunnerStartY = 64.0f;

// The participant record's fields: a dropper's pad digit or a runner's break
// colour; a dropper's rotate request or a runner's jump-held flag; the
// runner's facing (4, 5, 6); the role; in the air; jump ready; the runner's
// vertical speed. reals[0] and reals[1] are the runner's horizontal speed and
// this frame's vertical step; x and y a dropper's centre column and row, a
// runner's centre in pixels from its well's top-left corner.
int32_t& BlockDirection(int32_t p);    // dropper
int32_t& BlockBreakColour(int32_t p);  // runner
int32_t& BlockRotate(int32_t p);       // dropper
int32_t& BlockJumpHeld(int32_t p);     // runner
int32_t& BlockFacing(int32_t p);
int32_t& BlockRole(int32_t p);
uint8_t& BlockInAir(int32_t p);
uint8_t& BlockJumpReady(int32_t p);
float& BlockFallSpeed(int32_t p);

// The well of a participant's team (1 or 2), 0 for none.
int32_t BlockWellOf(int32_t p);
int32_t& BlockCell(int32_t well, int32_t row, int32_t column);

void FallingBlockDraw();
int FallingBlockPlay();
void FallingBlockStep();  // one frame of all four participants
int FallingBlockLoadPatterns();  // 1, or -1 (logged) when block.csv is missing or refused
int FallingBlockOutcome();
void FallingBlockSpawnPiece(int32_t p, int32_t role);
// 1 moved, -1 blocked (the well unchanged). direction 2 down, 4 left, 6 right.
int32_t FallingBlockShiftPiece(int32_t direction, int32_t well);
// A quarter turn: angle +1 or -1. 1 turned, -1 refused (the well unchanged).
int32_t FallingBlockRotatePiece(int32_t angle, int32_t well, int32_t p);
void FallingBlockRaiseWell(int32_t well);
int32_t FallingBlockCellAt(int32_t p, float x, float y);
int32_t FallingBlockClipVelocity(int32_t p, float px, float py, float* vx, float* vy);
void FallingBlockMoveRunner(int32_t p);
