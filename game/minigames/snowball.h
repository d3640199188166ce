// Minigame 8, snowball fight ("media\mini\snowballfight"): four participants
// each alone walk in eight directions over a snow field, pick up the
// snowballs that appear on it (carrying up to three) and throw them the way
// they face. A fighter hit is stunned for 60 frames and cannot be hit again
// for 90. After 2700 frames (45 seconds) the fighters who landed the most
// hits win 10 coins each (ties shared; nobody wins without a hit).
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t SnowballStep;
extern int32_t SnowballPlayStep;
extern int32_t SnowballOutcomeStep;
// Play frames left (2700 at the start); the spawn counter.
extern int32_t SnowballTimer;
extern int32_t SnowballSpawnCounter;

// The field: left, top, right, bottom.
extern float SnowballField[4];

struct SnowballFighter {
  int32_t state;  // 0 normal, 2 stunned
  float x, y;
  float vx, vy;
  int32_t facing;   // numeric-keypad digit, never 5
  int32_t tally;    // minus one per hit taken
  int32_t carried[3];  // 1 a snowball, filled slots first
  int32_t stun;     // frames since the hit
  int32_t landed;   // hits this fighter's snowballs landed
};
extern SnowballFighter SnowballFighters[5];  // index 1..4

struct SnowballBall {
  int32_t state;  // 0 free, 1 flying, 2 lying on the ground
  int32_t kind;   // 1 a snowball
  float x, y, vx, vy;
  int32_t spare;
  int32_t thrower;  // participant 1..4
};
constexpr int kSnowballBalls = 30;
extern SnowballBall SnowballBalls[kSnowballBalls];

// The media: per character 0..5 the twelve board-piece cells, the thrower
// figure (two cells), the field, its upper layer, the snowball.
extern int32_t SnowballPieceCells[6][12];
extern int32_t SnowballThrowerCells[2];
extern int32_t SnowballGround, SnowballUpper, SnowballPicture;

// The participant record's fields: ints 0 the throw request (1 in the frame
// A was newly pressed), ints 1 the wanted direction (numeric-keypad digit).
int32_t& SnowballThrowRequest(int32_t p);
int32_t& SnowballWanted(int32_t p);

// The entry (slot 7 of the runner's table) is SnowballMain in minigame_entries.h.
void SnowballDraw();
// One frame of a CPU fighter: it fetches snowballs, lines up with another
// fighter and throws when one stands in a line it can throw along.
void SnowballCpu(int32_t p);
void SnowballMove();
void SnowballThrow();
void SnowballSpawn();
int SnowballPlay();
int SnowballOutcome();
