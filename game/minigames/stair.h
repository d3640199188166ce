// Minigame 4, stair race ("media\mini\stair"): four participants each alone
// at the foot of ten steps. Every round each one secretly chooses to climb
// 1, 3 or 5 steps (A, B, C); the choices are shown, a number chosen by more
// than one (or no choice) stays put, the others climb. Whoever reaches the
// tenth step ends the game; everybody on the tenth step wins 10 coins.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t StairStep;
extern int32_t StairPlayStep;
extern int32_t StairOutcomeStep;
// Choosing frames left in the round (300 at its start); the reveal's frame
// (0 to 105); the panel offsets and the marks' fade counters (index 1..4,
// 0 unused); the blossom counter (0 to 240).
extern int32_t StairRoundClock;
extern int32_t StairRevealCounter;
extern int32_t StairPanelOffsets[5];
extern int32_t StairFadeCounters[5];
extern int32_t StairBlossomCounter;

// The media: background, staircase, spirit, blossom layer.
extern int32_t StairBackground;
extern int32_t StairStaircase;
extern int32_t StairSpirit;
extern int32_t StairBlossom;

constexpr int32_t kStairSteps = 10;
constexpr int32_t kStairRoundFrames = 300;
constexpr int32_t kStairRevealFrames = 106;
constexpr float kStairFloorY = 400.0f;
// The y of the tread the k-th step reaches (k = 0 to 9).
inline constexpr float kStairStepTops[kStairSteps] = {368, 336, 304, 272, 240, 208, 176, 144, 112, 80};

// The participant record's fields this game uses: the steps climbed (0 to
// 10), the choice (0 none, 1, 3 or 5; while climbing, the steps left) and
// the clash flag (1: the choice is void this round) in its own area; the
// phase byte is the motion (0 standing, 2 hopping), reals[0] and reals[1]
// the horizontal and vertical speeds.
int32_t& StairStepCount(int32_t p);
int32_t& StairChoice(int32_t p);
uint8_t& StairClash(int32_t p);
constexpr uint8_t kStairStanding = 0;
constexpr uint8_t kStairHopping = 2;

// The entry (slot 3 of the runner's table) is StairMain in minigame_entries.h.
// The scene and the right-hand panel (always drawn together).
void StairDraw();
void StairDrawPanel();
// A CPU participant's choice (only while it has none).
void StairCpuChoose(int32_t p);
// The clash test: every participant whose choice another also chose, or
// who chose nothing, gets the clash flag.
void StairMarkClashes();
// One frame of play: 1 once somebody has reached the tenth step.
int StairPlay();
// The awards: 1 when done.
int StairOutcome();
