// Minigame 13, climbing race ("media\mini\fallclimb"): four participants
// each on their own climb a tall shaft of one-way platforms by jumping while
// the view scrolls upwards by itself; shots and the creatures crossing the
// shaft knock them about. Play ends when one of them leaves the top of the
// shaft, when everybody has fallen below the live area, or 300 frames after
// the view has reached the top; then the participants are ranked by height
// and receive 4, 3, 2 and 1 coins (equal heights share a value), the highest
// winning. Everything is drawn with plain boxes over the general background.
#pragma once

#include <cstdint>

// The entry's step (numbering A; the game loads nothing).
extern int32_t FallClimbStep;
// Frames of play since the view reached the top of the shaft.
extern int32_t FallClimbTopFrames;

// The shaft: 60 rows of 20 cells of 32 x 32 pixels (a world of 640 x 1920, y
// growing downwards). Row 59 and columns 0 and 19 are solid.
constexpr int kFallClimbRows = 60, kFallClimbColumns = 20;
constexpr int kFallClimbCell = 32;
enum FallClimbCellType : uint8_t { kFallClimbAir = 0, kFallClimbSolid = 1, kFallClimbPlatform = 2 };
extern uint8_t FallClimbGrid[kFallClimbRows][kFallClimbColumns];

// A shot; slot p - 1 is participant p's.
struct FallClimbShot {
  uint8_t active;
  float x, y;
  uint8_t direction;  // 1 right, 0 left
};
extern FallClimbShot FallClimbShotTable[4];

// A creature crossing the shaft (kind 1 to 6 picks its path).
struct FallClimbCreature {
  uint8_t active;
  int16_t kind;
  float x, y;         // the centre of its 32 x 32 box
  uint8_t direction;  // 1 right, 0 left
  int32_t counter;    // frames since it started
  float angle;        // kind 2's wave
};
constexpr int kFallClimbCreatures = 5;
extern FallClimbCreature FallClimbCreatureTable[kFallClimbCreatures];
extern int32_t FallClimbSpawnDelay;

// The participant record's fields this game uses: x, y the centre of its 32 x
// 32 body in the shaft; reals 0 and 1 this frame's horizontal move and
// vertical move; spare the move direction (1 right, 2 left, 3 still); ints 0
// and 1 the body state and the knock timer; bytes 0 and 1 in the air and
// the facing (0 left, 1 right); word 0 (real) the vertical speed (downwards).
enum FallClimbBodyState : int32_t { kFallClimbStanding = 2, kFallClimbKnocked = 4, kFallClimbInAir = 6 };
int32_t& FallClimbBodyState(int32_t p);
int32_t& FallClimbKnockTimer(int32_t p);
uint8_t& FallClimbAirborne(int32_t p);
uint8_t& FallClimbFacing(int32_t p);
float& FallClimbFallSpeed(int32_t p);
// The view's top edge in the shaft (kept in participant record 0's y):
// 1600 at the start, 1 less a frame down to 0. The live area runs from 64
// pixels left of the screen to 64 right of it, and from the view's top to
// 544 pixels below it.
float& FallClimbViewTop();

// The entry (slot 12 of the runner's table) is FallClimbMain in minigame_entries.h.
// The shaft's outline and the platforms: for rows 56, 53, ..., 2 a column c
// of 1 to 11 drawn again while it lies within 2 of the previous one; the
// platform fills columns c + 1 to c + 7.
void FallClimbBuildShaft();
// The cell at a point of the shaft; air outside the grid.
int32_t FallClimbCellAt(float x, float y);
void FallClimbDraw();
int FallClimbPlay();
// Spawns, moves the creatures and knocks the participants they touch.
void FallClimbCreatures();
// Fires and moves the shots and knocks the participants they reach.
void FallClimbShots();
// Moves the four bodies through the shaft, each shoving the others aside.
void FallClimbMoveAll();
// One body's move of (vx, vy) through the shaft: the vertical move first
// (landing on solid cells and, when falling, on platforms; a landing or a
// head bump clears fallSpeed), then the horizontal one (walls stop it). The
// in-air flag tells whether it now stands on nothing.
void FallClimbMoveBody(float& x, float& y, float vy, float vx, float& fallSpeed, uint8_t& airborne);
// Two boxes, given by their centres and half sizes, overlap.
bool FallClimbBoxesTouch(float ax, float ay, float ahw, float ahh, float bx, float by, float bhw, float bhh);
// Knocks participant p (a knocked one stays as it is).
void FallClimbKnock(int32_t p);
// The awards: 4, 3, 2, 1 by height; the highest win.
int FallClimbOutcome();
