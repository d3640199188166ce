// Minigame 9, catching ("media\mini\springset"): four participants each
// alone walk left and right on a floor between two walls, trays on their
// heads, and catch the balls that flutter down. They push each other aside.
// After 45 seconds the most catches win (ties all win; nobody caught
// anything: all four win); the game pays no coins.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t SpringsetStep;
extern int32_t SpringsetPlayStep;
extern int32_t SpringsetOutcomeStep;  // left at 1 after a game
// Play frames left (2700 at the start).
extern int32_t SpringsetClock;
// Frames since the last ball started (it counts up to 10 first).
extern int32_t SpringsetSpawnCounter;

struct SpringsetBall {
  int32_t state;  // 0 free, 1 falling
  float x, y;     // whole numbers
  float speedX, speedY;
  uint8_t phase;  // 1 speeding up, 0 slowing down
  int32_t drift;  // 1 right, 0 left
};
constexpr int kSpringsetBallCount = 20;
extern SpringsetBall SpringsetBallTable[kSpringsetBallCount];

// The floor and the walls: participants stand at y 432, x within 96..544.
constexpr float kSpringsetFloorY = 432.0f;
constexpr float kSpringsetLeftWall = 96.0f;
constexpr float kSpringsetRightWall = 544.0f;

// The participant record's fields this game uses (x, y: the feet; the first
// two speed fields: the speeds): the catch count and the action request
// (set by A, or by the CPU choice; nothing reads it).
int32_t& SpringsetCatchCount(int32_t p);
int32_t& SpringsetActionRequest(int32_t p);

// The entry (slot 8 of the runner's table) is SpringsetMain in minigame_entries.h.
void SpringsetDraw();
// Moves the four by their speeds, the one in front first; a mover shoves
// whoever it overlaps aside, and the shoved one moves next.
void SpringsetPushMove();
// Holds the participants between the walls, then SpringsetPushMove.
void SpringsetClampMove();
// Starts, flutters, moves and catches the balls.
void SpringsetBalls();
// One frame of play: 1 when the 45 seconds are over.
int SpringsetPlay();
// Marks the winners: 1 when done.
int SpringsetOutcome();
