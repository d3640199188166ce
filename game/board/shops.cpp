// The star sale, the star shops and the item shop.
#include "game/board/shops.h"

char* StarSaleText = nullptr;
int32_t StarSaleState = 0;
int32_t StarShopState = 0;
int32_t CpuStarShopState = 0;
int32_t ItemShopState = 0;
int32_t ItemShopStock[4] = {};

// empty step: built with its module
int RunStarSale(int32_t, int32_t) { return 1; }
// empty step: built with its module
void LoadStarText(int32_t) {}
// empty step: built with its module
int DrawStarSaleWindow(int32_t, int32_t) { return 1; }
// empty step: built with its module
int RunStarShop(int32_t) { return 1; }
// empty step: built with its module
int RunCpuStarShop(int32_t) { return 1; }
// empty step: built with its module
void MoveStarShop() {}
// empty step: built with its module
int RunItemShop(int32_t) { return 1; }
// empty step: built with its module
void DrawItemShop() {}
