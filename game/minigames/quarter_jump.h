// Minigame 19, quarter jump ("media\mini\quarterjump"): one against three on
// a block world in quarter view. The lone participant (team 1) sends
// obstacles rolling down one of three lanes of a plateau; the challengers
// (team 2), one in each lane, jump over them, and every 30 frames a bar
// sweeps across the world. An obstacle that touches a challenger stuns it
// for 60 frames; a challenger is down at its third stun. Play lasts 2700
// frames (45 seconds) or until all three challengers are down; team 2 wins
// 10 coins each with a challenger still up, otherwise team 1 wins.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- the quarter-view pictures
// Quarter jump's folder holds the block and the characters' figures that
// quarter action draws too: each game loads them at its start and frees them
// at its end.
extern int32_t QuarterGroundPicture;
extern int32_t QuarterGroundWidth, QuarterGroundHeight;
// Per character 0..5: cell 0 facing down or right, cell 1 facing up or left.
extern int32_t QuarterCharacterCells[6][2];
// Loads the block and the six figures; a block smaller than 4 x 4 pixels
// (no room for the tile steps) is refused. 1, or -1 after a log line naming
// the file, with everything freed.
int LoadQuarterPictures();
void FreeQuarterPictures();

// ---------------------------------------------------------------- quarter jump

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t QuarterJumpEntryStep;
extern int32_t QuarterJumpPlayStep;
extern int32_t QuarterJumpOutcomeStep;
// Play frames left (2700 at the start); the bar's timer (0 to 29).
extern int32_t QuarterJumpTimer;
extern int32_t QuarterJumpBarTimer;

// The world: 13 (x) by 5 (z) by 8 (height) cells, cell (x, z, h) at
// z + (h * 13 + x) * 5; the first word 1 solid, 0 air.
constexpr int kQuarterJumpX = 13, kQuarterJumpZ = 5, kQuarterJumpH = 8;
extern int32_t QuarterJumpWorld[kQuarterJumpX * kQuarterJumpZ * kQuarterJumpH][2];
// A cell's size: A along x and z, H (the block's height / 4) upwards.
extern float QuarterJumpCellA;
extern float QuarterJumpCellH;

// A participant's body.
struct QuarterJumpBody {
  int32_t stance;  // 1 normal, 2 stunned
  float x, z, height;
  float vx, vz, vh;
  float storedVh;
  int32_t stun;     // frames stunned
  int32_t facing;   // 2 the lone participant, 8 a challenger
  int32_t recompute;  // -1: speeds from the direction each frame
  int32_t jumping;  // 1 while a jump is under way
  float screenX, screenY;
  int32_t stuns;    // stuns taken in this game; down at the third
};
extern QuarterJumpBody QuarterJumpBodies[5];  // index 1..4
constexpr int32_t kQuarterJumpStunsDown = 3;

// An obstacle: kind 1 sent down a lane by the lone participant, 2 the bar.
struct QuarterJumpObstacle {
  int32_t active;
  float x, z, height;
  float vx, vz, vh;
  float storedVh;
  int32_t kind;
};
constexpr int kQuarterJumpObstacles = 20;
extern QuarterJumpObstacle QuarterJumpObstacles[kQuarterJumpObstacles];

// The participant record's fields: ints 0 the direction (5), ints 1 the
// request (the lone participant's lane 1 to 3, 0 none; a challenger's jump
// button, 1 held).
int32_t& QuarterJumpDirection(int32_t p);
int32_t& QuarterJumpRequest(int32_t p);
// A challenger still up (fewer than three stuns).
bool QuarterJumpChallengerUp(int32_t p);

// The entry (slot 18 of the runner's table) is QuarterJumpMain in minigame_entries.h.
int32_t QuarterJumpCellIndex(int32_t x, int32_t z, int32_t h);
// The height of the highest solid top below the point, -1 off the grid or
// over a column without solid cells.
float QuarterJumpFloorUnder(float x, float z, float height);
// Screen point of a world point for a picture of the given height.
void QuarterJumpProject(float x, float z, float height, int32_t pictureHeight, float* sx, float* sy);
void QuarterJumpDraw();
int QuarterJumpPlay();
// One frame of physics.
void QuarterJumpStep();
void QuarterJumpCpu(int32_t p);
int QuarterJumpOutcome();
