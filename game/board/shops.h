// The star sale of the star-shop square (its lines read per board map), the
// two star shops with built-in lines that the star-shop item opens, the
// moving of the star shop after every sale, and the item shop with its
// stock, prices, discount coupon and the CPU's buying rules.
#pragma once

#include <cstdint>

constexpr int32_t kStarPrice = 20;
constexpr int32_t kStarPriceWithCoupon = 15;         // coupon 27 in slot 3
constexpr int32_t kStarPriceWithCouponItemsUp = 10;  // coupon 27 under round effect 4

constexpr int32_t kStarCoupon = 27;
constexpr int32_t kItemShopCoupon = 28;

// The star-sale text: six lines of 100 bytes, allocated while a sale runs.
constexpr int kStarTextLines = 6;
constexpr int kStarTextLineBytes = 100;
extern char* StarSaleText;

extern int32_t StarSaleState;     // 0 idle, 1 to 14 the steps
extern int32_t StarShopState;     // the human's star shop of the item
extern int32_t CpuStarShopState;  // the CPU's star shop of the item
// The working state of the sale that runs (only one runs at a time).
extern int32_t StarSaleCursor;     // the yes/no choice: 0 buy, 1 decline
extern int32_t StarSaleDecision;   // a CPU's answer
extern int32_t StarSaleTextId;
extern int32_t StarSaleWaitFrames;  // a CPU's page wait
extern int32_t StarSaleCpuFrames;   // a CPU's choice steps

extern int32_t ItemShopState;  // 2 idle, 3 to 15 the steps
// The item shop's four items, kept between visits (the redraws of the next
// visit look at them); 0 = an entry left empty.
extern int32_t ItemShopStock[4];
extern int32_t ItemShopCursor;     // stock entry 0 to 3: 0 and 1 the top row
extern int32_t ItemShopPrevCursor;
extern int32_t ItemShopYesNo;      // the confirmation: 0 yes, 1 no
extern int32_t ItemShopTarget;     // a CPU's stock entry, -1 = buy nothing
extern int32_t ItemShopWaitFrames;  // a CPU's page wait
extern int32_t ItemShopCpuFrames;   // a CPU's menu steps
extern int32_t ItemShopTextId;
extern float ItemShopPulseScale;  // the entry under the cursor

// The star price player p pays: 20, 15 with coupon 27, 10 with the coupon
// under round effect 4.
int32_t GetStarPrice(int32_t player);
// The price a CPU player decides by: 20, or 15 with coupon 27.
int32_t GetCpuStarPrice(int32_t player);
// The item-shop price of the item for player p: the table's price, times
// 0.89 (0.69 under round effect 4) truncated with coupon 28 in slot 3.
int32_t GetItemShopPrice(int32_t player, int32_t item);

// The star sale with the lines of text set (a board map id 0 to 7): one
// frame, 1 on the frame it ends.
int RunStarSale(int32_t textSet, int32_t player);
// Reads "media\text\star\<key>.txt" of the text set into StarSaleText
// (allocated here when it is not): six lines, each ending at LF, a CR
// dropped, at most 99 bytes kept. A file that does not open ends the
// program after a message box.
void LoadStarText(int32_t textSet);
// The choice window of the sale: portrait text set + 2 while holding
// (command 2), none while growing (1) or shrinking (3). As DrawChoiceWindow.
int DrawStarSaleWindow(int32_t command, int32_t textSet);
// The star shops of the star-shop item: 1 on the frame they end.
int RunStarShop(int32_t player);
int RunCpuStarShop(int32_t player);
// The first star-shop square becomes blue, and a random blue square the
// star shop (it may be the same square). With no star shop and no blue
// square nothing changes.
void MoveStarShop();
// The item shop: 1 on the frame it ends.
int RunItemShop(int32_t player);
// Draws a new stock into ItemShopStock: entries 0 to 2 from items 1 to 19
// (never 10, an item without a price or one already in the stock as it
// stands), entry 3 from 21 to 29 (never 25 or one without a price); an
// entry with nothing left to draw stays empty (0).
void DrawItemShopStock();
// The shop's window, stock, description and help band.
void DrawItemShop();
