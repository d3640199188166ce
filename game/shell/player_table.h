// The four players of a party: their records (written whole into
// "backup.dat"), the standings by stars then coins, the turn-order lookup,
// the item-slot tests, the coin count-up and count-down that every coin
// change on the board goes through, and numbers drawn with the small digits.
#pragma once

#include <cstddef>
#include <cstdint>

// One player. The layout is part of "backup.dat": 92 bytes, little-endian.
struct PlayerRecord {
  char name[11];         // the character's name, NUL-terminated Shift-JIS
  uint8_t cpuFlag;       // 1 CPU, 0 human
  int32_t cpuLevel;      // 0 human, 1 CPU
  int32_t character;     // 0..5, -1 none
  int32_t turnOrder;     // 1..4
  int32_t coins;         // never below 0
  int32_t stars;
  int32_t placement;     // 1..4; tied players share a place
  int32_t items[3];      // item ids, 0 = empty
  int32_t itemInUse;     // the item chosen for this turn
  int32_t team;          // side in a team minigame
  int32_t facing;        // 2, 4, 6 or 8 as on the numeric keypad
  int32_t squareColour;  // this round's landing: 1 blue, 2 red, 3 other
  int32_t moveCount;     // steps left of the roll
  int32_t unused68;
  int32_t prevSquare;
  int32_t square;
  int32_t unused80;
  float x, y;  // the piece's board position
};
static_assert(sizeof(PlayerRecord) == 92);
static_assert(offsetof(PlayerRecord, cpuFlag) == 11);
static_assert(offsetof(PlayerRecord, cpuLevel) == 12);
static_assert(offsetof(PlayerRecord, character) == 16);
static_assert(offsetof(PlayerRecord, turnOrder) == 20);
static_assert(offsetof(PlayerRecord, coins) == 24);
static_assert(offsetof(PlayerRecord, stars) == 28);
static_assert(offsetof(PlayerRecord, placement) == 32);
static_assert(offsetof(PlayerRecord, items) == 36);
static_assert(offsetof(PlayerRecord, itemInUse) == 48);
static_assert(offsetof(PlayerRecord, team) == 52);
static_assert(offsetof(PlayerRecord, facing) == 56);
static_assert(offsetof(PlayerRecord, squareColour) == 60);
static_assert(offsetof(PlayerRecord, moveCount) == 64);
static_assert(offsetof(PlayerRecord, prevSquare) == 72);
static_assert(offsetof(PlayerRecord, square) == 76);
static_assert(offsetof(PlayerRecord, x) == 84);
static_assert(offsetof(PlayerRecord, y) == 88);

// Player p (1..4) is element p - 1.
extern PlayerRecord PlayerTable[4];

// Slot k holds the player of place k + 1, or the tied players' numbers as
// the decimal digits of one number in increasing order (2 and 4 tied: 24);
// 0 for a place nobody reaches.
extern int32_t StandingsTable[4];

// The coin animation of each player (element p - 1).
struct CoinAnimationRecord {
  int32_t state;
  int32_t counter;
  float step;
};
extern CoinAnimationRecord CoinAnimationState[4];

// The record of player p, or null outside 1..4.
PlayerRecord* GetPlayer(int32_t player);

bool HasAnyItem(int32_t player);
// Slots 1 and 2 both hold an item (slot 3 is not looked at).
bool AreFirstTwoItemSlotsFull(int32_t player);

// Fills StandingsTable: stars first, coins second, ties share a slot.
void ComputeStandings();
// ComputeStandings, then every player's placement (dense: two first places,
// then second).
void AssignPlacements();

// The player whose turnOrder is the position, 0 when none.
int32_t GetPlayerByTurnOrder(int32_t position);

// The digits of a standings slot as player numbers, most significant first,
// into players (4 entries); returns their count. Digits outside 1..4 are
// skipped.
int32_t SplitStandingsSlot(int32_t slot, int32_t players[4]);

// The most coins, and the most stars, a player can hold. A party has at
// most 99 rounds, and a round brings a player a few dozen coins at most (a
// minigame award, a blue square, the round bonus, coins taken from the
// players passed), so no party comes near it; a saved count above it is
// refused, and every gain stops at it. Four times the bound (the even-coins
// effect adds up all four counts) stays far inside 32 bits.
constexpr int32_t kMostCoinsOrStars = 99999;

// The count after a gain, held at kMostCoinsOrStars.
int32_t GainWithinBound(int32_t count, int32_t gain);

// The amount of a coin change that can be applied to the player: a loss
// takes at most the coins held (so -10 on 6 coins gives -6); a gain at most
// the room below kMostCoinsOrStars. Callers show and animate this amount.
int32_t CoinChangeWithinHeld(int32_t player, int32_t amount);

// Counts the player's coins by amount, one coin at a time with the coin
// sound; called once a frame until it returns 1 (0 while it runs). A change
// of -14..15 or 0 takes 63 calls; a gain of 16 or more 2 x amount + 2 calls,
// a loss of 15 or more the same. The count never goes below 0, nor above
// kMostCoinsOrStars.
int AnimateCoinChange(int32_t amount, int32_t player);
// The same animation on the caller's counter and state (the step is
// recomputed from the amount on each call).
int AnimateCoinChangeWithState(int32_t amount, int32_t player, int32_t* counter, int32_t* state);

// The number with the small digit pictures, centred on (x, y), 20 pixels a
// digit whatever the scale; a negative value draws 0. Returns 0.
int DrawNumber(int32_t value, int32_t x, int32_t y, double scale);
// The blank die centred at (x, y) with the number over it.
int DrawDieNumber(int32_t value, int32_t x, int32_t y);
