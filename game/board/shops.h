// The star sale of the star-shop square (its lines read per board map), the
// two star shops with built-in lines that the star-shop item opens, the
// moving of the star shop after every sale, and the item shop with its
// stock, prices, discount coupon and the CPU's buying rules.
#pragma once

#include <cstdint>

constexpr int32_t kStarPrice = 20;
constexpr int32_t kStarPriceWithCoupon = 15;         // coupon 27 in slot 3
constexpr int32_t kStarPriceWithCouponItemsUp = 10;  // coupon 27 under round effect 4

// The star-sale text: six lines of 100 bytes, allocated while a sale runs.
constexpr int kStarTextLines = 6;
constexpr int kStarTextLineBytes = 100;
extern char* StarSaleText;

extern int32_t StarSaleState;
extern int32_t StarShopState;     // the human's star shop of the item
extern int32_t CpuStarShopState;  // the CPU's star shop of the item
extern int32_t ItemShopState;
// The item shop's four items, kept between visits (the redraws of the next
// visit look at them).
extern int32_t ItemShopStock[4];

// The star sale with the lines of text set (a board map id 0 to 7): one
// frame, 1 on the frame it ends.
int RunStarSale(int32_t textSet, int32_t player);
// Reads "media\text\star\<key>.txt" of the text set into StarSaleText.
void LoadStarText(int32_t textSet);
// The choice window of the sale: portrait text set + 2 while holding
// (command 2), none while growing (1) or shrinking (3). As DrawChoiceWindow.
int DrawStarSaleWindow(int32_t command, int32_t textSet);
// The star shops of the star-shop item: 1 on the frame they end.
int RunStarShop(int32_t player);
int RunCpuStarShop(int32_t player);
// The first star-shop square becomes blue, and a random blue square the star shop.
void MoveStarShop();
// The item shop: 1 on the frame it ends.
int RunItemShop(int32_t player);
// The shop's window, stock, description and help band.
void DrawItemShop();
