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

extern int32_t MischiefShopState;
extern int32_t CpuMischiefShopState;

// One frame of the shop for a human or a CPU buyer: 1 on the frame it ends.
int RunMischiefShop(int32_t player);
int RunCpuMischiefShop(int32_t player);
