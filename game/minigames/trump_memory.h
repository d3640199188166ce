// Minigame 28, pair-matching cards ("media\mini\trumpmemory"): two teams of
// two, each with its own 16 face-down cards (eight pairs, 4 x 4). Each
// participant moves a cursor over its team's cards and turns one up; when
// both members of a team hold a card up and the faces match, the pair leaves
// the table. The first team to clear its cards wins 10 coins each.
#pragma once

#include <cstdint>

struct TrumpCard {
  int32_t present;  // 1 on the table, 0 removed
  int32_t face;     // 1 to 8
  uint8_t faceUp;
};
// Deck 0 is team 1's, deck 1 team 2's; card i at column i % 4, row i / 4.
extern TrumpCard CardDeckTable[2][16];

// What a CPU participant remembers of each card of its team's deck.
struct TrumpMemoryEntry {
  int32_t face;   // -1 while not remembered
  int32_t count;  // frames the card has lain face up
};
extern TrumpMemoryEntry CardMemoryTable[5][16];
// A card is remembered once it has lain face up this long in all.
constexpr int32_t kTrumpRememberFrames = 60;

extern int32_t TrumpMemoryStep;  // the entry's step
extern int32_t TrumpMemoryPlayStep;
extern int32_t TrumpMemoryOutcomeStep;

extern int32_t TrumpBackPicture;
extern int32_t TrumpFacePictures[8];
extern int32_t TrumpCursorPictures[4];

// The participant record's fields: the cursor is (x, y) = (column, row);
// this frame's move (a keypad digit, 5 none), the turn request, holding a
// card, the held card (-1 none). A CPU keeps its target card (-1 none) and
// its pacing counter in its CpuWorkTable record.
int32_t& TrumpMove(int32_t p);
int32_t& TrumpTurn(int32_t p);
int32_t& TrumpHolding(int32_t p);
int32_t& TrumpHeldCard(int32_t p);
int32_t& TrumpCpuTarget(int32_t p);
int32_t& TrumpCpuPacing(int32_t p);

void TrumpMemoryDraw();
int TrumpMemoryPlay();
void TrumpMemoryCpu(int32_t p);
int TrumpMemoryOutcome();
