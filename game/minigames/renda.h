// Minigame 1, button mashing ("media\mini\renda"): four participants each
// alone press A as often as they can for ten seconds; the most presses win
// 10 coins each (ties all win). Each press makes the participant's piece hop
// and its partner sprite spin.
#pragma once

#include <cstdint>

// The steps: the entry (numbering B without step 3), the play and the outcome.
extern int32_t RendaStep;
extern int32_t RendaPlayStep;     // left at 1 after a game
extern int32_t RendaOutcomeStep;
// Play frames left (600 at the start); the result screen's lock (60 frames).
extern int32_t RendaCountdown;
extern int32_t RendaOutcomeWait;
// Per participant (index 1..4; 0 unused): the partner sprite's frame, 0 to 4
// (4 idle; a press restarts it at 0).
extern int32_t RendaPartnerFrames[5];

// The media: background, light overlay (drawn additively), the partner
// sprite's four cells.
extern int32_t RendaBackground;
extern int32_t RendaLight;
extern int32_t RendaPartnerCells[4];

// The participant record's fields this game uses: the press count and the
// hop speed (pixels a frame, downwards) in its own area; y is the piece's
// height, and the second speed field mirrors the hop speed.
int32_t& RendaPressCount(int32_t p);
float& RendaHopSpeed(int32_t p);
constexpr float kRendaGroundY = 336.0f;

// The entry (slot 0 of the runner's table) is RendaMain in minigame_entries.h.
// One frame of the scene.
void RendaDraw();
// One frame of play: 1 when the ten seconds are over.
int RendaPlay();
// One frame of a CPU participant's pressing.
void RendaCpuPress(int32_t p);
// One frame of the result screen and the awards: 1 when done.
int RendaOutcome();
