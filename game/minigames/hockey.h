// Minigame 24, paddle hockey ("media\mini\hockey"): two against two at air
// hockey, team 1 on the left and team 2 on the right, each participant with
// a paddle in its own half. Pucks start at the centre; more come into play
// as the 45 seconds run. A puck out at the left scores for team 2, at the
// right for team 1. The side with more goals wins 10 coins each; a draw
// gives no winner.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A; a game over comes back to the set-up),
// the play and the outcome.
extern int32_t HockeyStep;
extern int32_t HockeyPlayStep;
extern int32_t HockeyOutcomeStep;  // left at 1 after a game
// Play frames left (2700 at the start), the pucks allowed in play (1, then
// 2, 3 and 5 as the clock passes 2100, 1500 and 900) and the frames before
// the first spawn (counted up to 61).
extern int32_t HockeyClock;
extern int32_t HockeyAllowedPucks;
extern int32_t HockeySpawnDelay;
// The goals of team 1 and team 2.
extern int32_t HockeyScores[2];

struct HockeyPuck {
  int32_t active;
  float x, y;
  float speedX, speedY;
  float angle;      // radians, the direction of travel
  float baseSpeed;  // raised by every hit, within 4..20
  float speed;      // the speed it travels at (1.5 x the base when smashed)
  int32_t smash;
  float trail[5][2];  // earlier positions of a smashed puck; -100 when empty
  int32_t trailIndex;
  int32_t trailTimer;
  int32_t heading;  // 1 towards the left (team 1's goal), 2 towards the right
  int32_t hitPending;
  int32_t hitter;  // the participant whose paddle hit it
};
constexpr int kHockeyPuckCount = 5;
extern HockeyPuck HockeyPucks[kHockeyPuckCount];

// The participant record's fields this game uses (x, y: the paddle's
// centre; the first two speed fields: its speeds): the swing state (0
// ready, 1 swinging, 2 recovering) and the swing counter (frames).
// The CPU's decision delay is its CpuWorkTable counter.
int32_t& HockeySwingState(int32_t p);
int32_t& HockeySwingCounter(int32_t p);

// The entry (slot 23 of the runner's table) is HockeyMain in minigame_entries.h.
void ClearPuckTrail(int32_t puck);
// Puts the puck into play at the centre, at a random angle within 45
// degrees of either side.
void ResetPuck(int32_t puck);
// The rink with the scores and the paddles; the pucks. Always drawn together.
void HockeyDrawRink();
void HockeyDrawPucks();
// One frame of a CPU paddle.
void HockeyCpu(int32_t p);
// The direction mirrored in the axis: 2 x axis - angle, the difference from
// the axis first brought into -pi/2..pi/2 by steps of pi, the result into
// -pi..pi.
float ReflectAngle(float axis, float angle);
// One frame of every puck in play.
void HockeyPuckPhysics();
// One frame of play: 1 when the 45 seconds are over.
int HockeyPlay();
// Awards the side with more goals: 1 when done.
int HockeyOutcome();
