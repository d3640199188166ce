// What the square where a piece stops does to its player: blue and red
// squares (coins), the item square (a reel of items), the event square (one
// event per board map), the house and the rabbit duel of map 4, and the
// chance square. Each handler also records the player's colour class of
// the landing (squareColour), which later decides the minigame type.
#pragma once

#include <cstdint>

// Entry k (1 to 5) = 1 once impossible-request item 30 + k has been handed
// out by the rabbit duel in this party; cleared by the board set-up.
extern int32_t ImpossibleRequestGiven[7];

extern int32_t LandingState;  // 0 idle, 1 a handler runs, 4 ended

// One frame of the landing effect of the square kind for CurrentPlayer: 1 on
// the frame after the handler has ended, else 0.
int RunLandingEffect(int32_t kind);

// ---------------------------------------------------------------- handlers
// Each: one frame, 1 on the frame it ends, else 0 (-1 for a frame in which a
// picture failed to load: called again next frame).

int RunBlueSquare(int32_t player);
int RunRedSquare(int32_t player);
int RunItemSquare(int32_t player);
int RunEventSquare(int32_t player, int32_t kind);
// Map 4's house; also run by the coin square of kind 21 (pass_events).
int RunHouseEvent(int32_t player);
int RunRabbitDuel(int32_t player);

// The event square's handler of each board map.
int RunNothingHappensEvent(int32_t player, int32_t kind);  // maps 0 and 1
int RunStoneColourEvent(int32_t player, int32_t kind);     // map 2
int RunPassageClosingEvent(int32_t player, int32_t kind);  // map 3
int RunLostEvent(int32_t player, int32_t kind);            // map 4

// Pairs the ten warp squares anew (their fourth links) and records the
// pairs in WarpPairs.
void ReshuffleWarpPairs();
