// The mischief shop.
#include "game/board/mischief_shop.h"

int32_t MischiefShopState = 0;
int32_t CpuMischiefShopState = 0;

// empty step: built with its module
int RunMischiefShop(int32_t) { return 1; }
// empty step: built with its module
int RunCpuMischiefShop(int32_t) { return 1; }
