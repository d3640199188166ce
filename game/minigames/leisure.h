// Minigame 3, leisure ("media\mini\leisure"): four participants each alone
// stand on four floating stones Ａ to Ｄ. In each of three turns they have
// five seconds to walk to a stone (buttons A to D); then the striker
// ミラドゥン comes down and drives one stone, chosen at random, into the
// ground, throwing out everybody on it. After the third strike, or once
// nobody is left, those still standing win 10 coins each, provided somebody
// was thrown out.
#pragma once

#include <cstdint>

extern int32_t LeisureStep;         // the entry (numbering A)
extern int32_t LeisurePlayStep;     // 0 to 12
extern int32_t LeisureOutcomeStep;  // left at 1 after a game

// The stones: records 1 to 4 (record 0 serves no stone).
struct LeisureStone {
  int32_t number;
  float x;
  float sink;  // how far it has been driven down, 0 to 400
};
extern LeisureStone LeisureStones[5];

extern int32_t LeisureTurn;          // 0 to 2
extern int32_t LeisureChoiceTimer;   // 300 frames a turn
extern int32_t LeisureWait;          // frames of the throw-out flight
extern int32_t LeisureAnimFrame;     // frames of the striker's animation
extern int32_t LeisureSparkleFrame;  // frames the sparkle has shown
extern int32_t LeisureHits;          // participants thrown out this turn

// The media.
extern int32_t LeisureSwordCells[11];
extern int32_t LeisureDescentCells[7];
extern int32_t LeisureSitCells[5];
extern int32_t LeisurePose029, LeisureStone030, LeisureBack031;
extern int32_t LeisureBackground, LeisureFrontClouds, LeisureSparkle;

// The participant record's fields (x, y are the feet; y = 400 in the game).
int32_t& LeisureChosenStone(int32_t p);   // 1 to 4; 0 once thrown out
int32_t& LeisureReachedStone(int32_t p);  // the stone the participant stands on
uint8_t& LeisureInGame(int32_t p);        // 1 in the game, 0 thrown out
// The stone struck this turn (1 to 4), kept in participant record 0.
int32_t& LeisureStruckStone();

int LeisurePlay();
int LeisureOutcome();
void LeisureCpu(int32_t p);
void LeisureDrawBackground();
// Modes: 1 waiting, 2 after the strike, 3 descent, 4 sword, 5 sit-down; 1
// when the animation is complete.
int LeisureDrawStriker(int32_t mode);
void LeisureDrawStones();
