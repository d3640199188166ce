// Minigame 14, labyrinth ("media\mini\breaklabyrinth"): participant 1 walks
// a top-down maze of 32-pixel cells with the direction pad, turning corners
// smoothly; the other three are parked outside it. Reaching the goal cell in
// the far corner within 2700 frames wins 10 coins; a time-out is a draw.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A; the game loads nothing).
extern int32_t BreakLabyrinthStep;
// Play frames left (2700 at the start); the participant that reached the
// goal (0: nobody yet).
extern int32_t BreakLabyrinthCountdown;
extern int32_t BreakLabyrinthWinner;

// The maze: 15 rows of 20 cells (0 corridor, 1 wall; column 19 holds 255 and
// is never entered). Rows 0 and 14 and columns 0 and 18 are walls, and so is
// every inner cell whose row and column are both even.
constexpr int kLabyrinthRows = 15, kLabyrinthColumns = 20;
constexpr int kLabyrinthCell = 32;
extern uint8_t BreakLabyrinthGrid[kLabyrinthRows][kLabyrinthColumns];
// The goal cell (column, row): the corner farthest from the start.
constexpr int32_t kLabyrinthGoalColumn = 17, kLabyrinthGoalRow = 13;
constexpr int32_t kLabyrinthPlayFrames = 2700;

// The participant record's fields this game uses: x, y the body's centre
// in the maze; reals 0 and 1 this frame's speeds; ints 0 to 4: the body
// state (2), the last pad direction (a numeric-keypad digit), the facing (2
// down, 4 left, 6 right, 8 up), the last cell's column and row; byte 0 set
// while a held diagonal moves horizontally.
int32_t& LabyrinthBodyState(int32_t p);
int32_t& LabyrinthLastDirection(int32_t p);
int32_t& LabyrinthFacing(int32_t p);
uint8_t& LabyrinthMovingHorizontally(int32_t p);
// Participant p walks in the maze (participant 1); the others stand
// outside it and neither walk nor collide.
bool LabyrinthInMaze(int32_t p);

// The entry (slot 13 of the runner's table) is BreakLabyrinthMain in minigame_entries.h.
void BreakLabyrinthBuildMaze();
void BreakLabyrinthDraw();
int BreakLabyrinthPlay();
// Reads participant p's pad and sets its speeds and facing.
void BreakLabyrinthWalk(int32_t p, int32_t direction);
// Keeps every body in the corridors and rounds it around corner posts;
// then moves it.
void BreakLabyrinthCollide();
// The type of the cell next to the body's cell in the direction of the
// speed (-1 for no speed; walls outside the grid); with the cell's column
// and row.
int32_t BreakLabyrinthNextCellAt(float x, float y, float vx, float vy, int32_t* column, int32_t* row);
int32_t BreakLabyrinthNextCell(float x, float y, float vx, float vy);
// 1 while the body is in the cell remembered for p, else 0 after
// remembering the new cell.
int32_t BreakLabyrinthSameCell(int32_t p, float x, float y);
// Which corner post of the body's cell the moved body would touch: 1 to 4
// for a horizontal move, 11 to 14 for a vertical one, 0 for none.
int32_t BreakLabyrinthCornerHit(int32_t p, float vx, float vy);
// 10 coins to the participant that reached the goal.
int BreakLabyrinthOutcome();
