// Minigame 11, porme flying ("media\mini\flyingporme"): the four
// participants throw in turn, whirling Porme while the power climbs from 1
// to 10; A lets go, Porme flies right under a light gravity, lands and
// slides to a stop. The farthest throw wins (ties share), without coins.
#pragma once

#include <cstdint>

extern int32_t PormeFlyingStep;   // the entry (numbering A)
extern int32_t PormeThrowStep;    // the play, 0 to 8
extern int32_t PormeOutcomeStep;  // left at 1 after a game
// The participant now throwing: 0 before the first throw, then 1 to 4.
extern int32_t PormeThrower;
// Frames counted after a throw has come to rest (60 show the distance).
extern int32_t PormeThrowWait;
// The whirl ghost: the whirl frame it shows, its offset and the frames it
// has stayed.
extern int32_t PormeGhostFrame, PormeGhostX, PormeGhostY, PormeGhostCount;

// The media: Porme's six whirl cells, and six cells of each character's
// turning strip (loaded and freed; the drawing takes the character pictures).
extern int32_t PormeCells[6];
extern int32_t PormeTurnCells[36];

// The participant record's fields: x, y are Porme's position for that
// participant's throw (x is the score); the first two reals its velocity.
int32_t& PormeFrameCounter(int32_t p);  // counts the power steps
int32_t& PormePower(int32_t p);         // 1 to 10, then decaying while sliding
int32_t& PormePhase(int32_t p);         // whirl phase 0 to 59
uint8_t& PormeReleased(int32_t p);
float& PormeVerticalSpeed(int32_t p);

constexpr float kPormeGroundY = 400.0f;

// Drawing modes: 1 before play, 3 whirling, 4 in flight, 5 at rest, 6 at
// rest with the distance.
void DrawPormeFlying(int32_t mode);
int PormeThrowPlay();
// The CPU thrower's release decision: 1 to let go this frame.
int PormeCpuRelease();
int PormeFlyingOutcome();
