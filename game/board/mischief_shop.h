// The mischief shop of square kind 13 (and of item 14): for a fee the trio
// steals coins, a star or an item from another player, or carries one of
// the player's items to another player as a present.
#pragma once

#include <cstdint>

// The four kinds of mischief, by menu entry.
enum MischiefKind : int32_t {
  kMischiefCoins = 0,
  kMischiefStar = 1,
  kMischiefItem = 2,
  kMischiefPresent = 3,
};
constexpr int32_t kMischiefFees[4] = {3, 50, 10, 5};
// Item 26 in slot 3 protects its holder from all four.
constexpr int32_t kMischiefGuard = 26;

// The steps of both shops (MischiefShopState, CpuMischiefShopState).
enum MischiefStep : int32_t {
  kMischiefIdle = 0,
  kMischiefOpen = 1,
  kMischiefGreeting = 2,     // a CPU player's greeting, after which it decides
  kMischiefMenu = 3,
  kMischiefMenuRefused = 4,  // "nobody to do it to", back to the menu
  kMischiefTarget = 5,
  kMischiefTargetRefused = 6,  // an unfit target, back to the target choice
  kMischiefPresentItem = 7,
  kMischiefPresentRefused = 8,  // the target cannot take the item, back to the item choice
  kMischiefFee = 9,
  kMischiefShortOfCoins = 10,  // back to the menu
  kMischiefAway = 11,          // paid: the trio is away for 51 frames
  kMischiefResult = 12,
  kMischiefFarewell = 13,
  kMischiefClose = 14,
};

extern int32_t MischiefShopState;     // 0 idle
extern int32_t CpuMischiefShopState;  // 0 idle
// The working state of the visit that runs (only one runs at a time).
extern int32_t MischiefMenuCursor;    // 0 to 3
extern int32_t MischiefTargetCursor;  // 0 to 2: the other players in player order
extern int32_t MischiefItemCursor;    // the present: the buyer's listed items
extern int32_t MischiefYesNo;         // the fee question: 0 yes, 1 no
extern int32_t MischiefEntry;         // the mischief chosen, -1 = none
extern int32_t MischiefTarget;        // the target player, 0 = none
extern int32_t MischiefItemSlot;      // the present: the buyer's slot (0 to 2) given
extern int32_t MischiefFee;
extern int32_t MischiefAmount;     // the coins taken
extern int32_t MischiefMovedItem;  // the item taken or given
extern int32_t MischiefDeparture;  // 255 to 0 by 5 while the trio is away
extern int32_t MischiefWaitFrames;  // a page wait
extern int32_t MischiefCpuFrames;   // a CPU player's cursor steps
extern int32_t MischiefRefused;     // the target a CPU player was refused last
extern int32_t MischiefTextId;

// One frame of the shop for a human or a CPU buyer: 1 on the frame it ends.
int RunMischiefShop(int32_t player);
int RunCpuMischiefShop(int32_t player);

// Whether player t is a fit target of the mischief for buyer p: never the
// buyer himself nor a holder of item 26; a star only from a holder of one;
// an item only from a holder of one that fits the buyer's slots (only a
// slot-3 item when the buyer's slots 1 and 2 are full).
bool IsMischiefTargetFit(int32_t entry, int32_t buyer, int32_t target);
// The CPU player's choice: the entry and target, or false to buy nothing.
bool ChooseCpuMischief(int32_t buyer, int32_t* entry, int32_t* target);
// The mischief done once paid: the coins taken (at most those held, and at
// most the buyer's room below kMostCoinsOrStars), the star (none when the
// buyer holds the most stars there can be) or the item moved. The target
// loses only what the buyer gains. Returns the amount of coins, the stars
// taken (0 or 1) or the item moved.
int32_t ApplyMischief(int32_t entry, int32_t buyer, int32_t target, int32_t presentSlot);
