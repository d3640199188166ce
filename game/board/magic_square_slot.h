// The slot at the start of every fifth round: a spinning card draws one of
// six round effects, which changes the rules of the die, the squares, the
// items or the coins for one or two rounds. Its pictures are loaded with the
// shared media (LoadMagicSquarePictures, shared_media.h).
#pragma once

#include <cstdint>

// The round effects.
enum RoundEffectKind : int32_t {
  kRoundEffectNone = 0,
  kRoundEffectExtraDie = 1,       // two rounds: the action menu rolls two dice
  kRoundEffectDoubleSquares = 2,  // two rounds: blue and red squares count twice
  kRoundEffectNoMove = 3,         // one round: the roll is shown, the piece stays
  kRoundEffectItemsUp = 4,        // two rounds: item effects grow
  kRoundEffectSwapColours = 5,    // two rounds: blue and red squares swapped
  kRoundEffectEvenCoins = 6,      // at once: the coins made equal
};

// The round effect in force, 0 = none; set when the slot ends.
extern int32_t RoundEffect;

extern int32_t SlotState;           // 0 to 9
extern int32_t SlotDarkness;        // 0 to 64: the alpha of the dark overlay
extern int32_t SlotIntroCounters[4];
extern int32_t SlotCardFrame;       // 0 to 8
extern int32_t SlotSpinFrames;
extern int32_t SlotShown;           // the effect on the card, 1 to 6
extern int32_t SlotResult;          // the drawn effect, 1 to 6
extern float SlotCircleScale;
extern float SlotCircleAngle;
extern int32_t SlotCircleAlpha;

// One frame of the slot: 1 when it is over and RoundEffect is set, else 0.
int RunMagicSquareSlot();
// The caption of SlotResult, centred under the card.
void DrawRoundEffectCaption();
// Effect 6 on four coin counts (players 1 to 4): each gets a quarter of the
// total, and the remainder goes one coin each to those who held the most,
// players with equal counts in a random order. The total stays the same.
void AverageCoins(int32_t coins[4]);
