// Minigame 18, three-stage rocket ("media\mini\threerocket"): one against
// three, one rocket a side. A stage fires on a press of A while a gauge
// swings between 0 and 100: the higher the gauge the stronger the push, but
// 91 or more blows the rocket up. The lone participant (team 1, left half)
// fires all three stages; the three challengers (right half) fire one each
// in an order drawn at random. The rocket that climbs higher wins 10 coins
// for each member of its side (equal heights go to the lone participant).
#pragma once

#include <cstdint>

// The steps: the entry (numbering B, its intro a frame of nothing), the
// play and the outcome.
extern int32_t ThreeRocketStep;
extern int32_t ThreeRocketPlayStep;
extern int32_t ThreeRocketOutcomeStep;

// One rocket (side 1: the lone participant's, side 2: the challengers').
struct ThreeRocketRecord {
  int32_t active;  // 1 flying or on the pad, 0 blown up
  float x, y;      // y 400 on the pad, smaller is higher
  float speedX;    // always 0
  float speedY;    // negative upwards
  float viewTop;     // 320 at set-up
  float viewScroll;  // 240 at set-up, then 400 - best height while that is below 240
  int32_t stage;     // stages fired, 0 to 3
  int32_t order[3];  // the participant who fires stage k (0: nobody)
  int32_t gauge;     // 0 to 100
  uint8_t gaugeFalling;
  int32_t bestHeight;    // the largest 400 - y reached
  int32_t flameCounter;  // 0 to 9: flame frame 0, then 1, five frames each
  // Once done (blown up, or falling or resting after its last stage, or
  // with nobody left to fire it), a rocket stays done.
  uint8_t done;
};
// Index 1 and 2 by side; 0 unused.
extern ThreeRocketRecord ThreeRocketRockets[3];

struct ThreeRocketStar {
  int32_t x, y;
  float scale;   // 0.00 to 0.10
  int32_t kind;  // 0 blue, 1 red
};
constexpr int kThreeRocketStars = 200;
extern ThreeRocketStar ThreeRocketStars[kThreeRocketStars];

// The media: the two stars, the rocket without flame and its two flame
// frames, the firing sound.
extern int32_t ThreeRocketBlueStar;
extern int32_t ThreeRocketRedStar;
extern int32_t ThreeRocketPlain;
extern int32_t ThreeRocketFlames[2];
extern int32_t ThreeRocketFireSound;

constexpr float kThreeRocketPadY = 400.0f;
constexpr int32_t kThreeRocketBlowUpGauge = 91;

// The participant's press mark in its own area: 0 pressed A this frame, -1 not.
int32_t& ThreeRocketPressMark(int32_t p);
// The side whose rocket the participant fires: 1 for team 1, 2 for everybody else.
int32_t ThreeRocketSideOf(int32_t p);
// The shared pause of every CPU participant after a press (frames).
int32_t& ThreeRocketCpuDelay();

// The entry (slot 17 of the runner's table) is ThreeRocketMain in minigame_entries.h.
// The set-up: both rockets on their pads, the stars drawn, the lone
// participant in all three entries of side 1's order and the challengers
// drawn into side 2's (with fewer than three, the order repeats from its
// start; with none, nobody fires side 2 and it is done at once).
void ThreeRocketSetUp();
// The participant drawn riding the side's rocket: the lone participant on
// the left, the challenger whose turn it is on the right (the last one once
// all three stages are fired); 0 for nobody.
int32_t ThreeRocketRider(int32_t side);
// The split-screen scene.
void ThreeRocketDraw();
// The gauges and the rockets' flight, one frame.
void ThreeRocketUpdate();
// One frame of play: 1 once both rockets are done.
int ThreeRocketPlay();
// One frame of a CPU participant: its press mark.
void ThreeRocketCpu(int32_t p);
// The winners: 1 when done.
int ThreeRocketOutcome();
