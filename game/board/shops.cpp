// The star sale, the star shops and the item shop.
#include "game/board/shops.h"

#include <cstdlib>
#include <cstring>

#include "game/board/board_helpers.h"
#include "game/board/board_map.h"
#include "game/board/magic_square_slot.h"
#include "game/board/shop_talk.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/item_table.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

char* StarSaleText = nullptr;
int32_t StarSaleState = 0;
int32_t StarShopState = 0;
int32_t CpuStarShopState = 0;
int32_t StarSaleCursor = 0;
int32_t StarSaleDecision = 0;
int32_t StarSaleTextId = 0;
int32_t StarSaleWaitFrames = 0;
int32_t StarSaleCpuFrames = 0;

int32_t ItemShopState = 2;
int32_t ItemShopStock[4] = {};
int32_t ItemShopCursor = 0;
int32_t ItemShopPrevCursor = 0;
int32_t ItemShopYesNo = 0;
int32_t ItemShopTarget = -1;
int32_t ItemShopWaitFrames = 0;
int32_t ItemShopCpuFrames = 0;
int32_t ItemShopTextId = 0;
float ItemShopPulseScale = 1.0f;

namespace {

// Sound slots.
constexpr int32_t kSoundCursor = 0;
constexpr int32_t kSoundConfirm = 1;
constexpr int32_t kSoundPurchase = 13;

// The CPU's steps on a yes/no choice and on the item shop's menu, and its
// page wait in the sales that read their lines and in the item shop.
constexpr int32_t kCpuChoiceFrames = 46;
constexpr int32_t kCpuPageFrames = 46;
// The CPU's page wait in the star shop of the item.
constexpr int32_t kCpuStarShopPageFrames = 51;

constexpr int32_t kStarShopPortrait = 2;
constexpr int32_t kItemShopPortrait = 10;

const char* const kBuyLabels[2] = {"買う", "買わない"};
const char* const kYesLabels[2] = {"はい", "いいえ"};

ChoiceList YesNoList(const char* const* labels) { return ChoiceList{2, labels, 320, 220, 40, 310, 430, 20}; }

const char* const kStarShopLines[kStarTextLines] = {
    "ん～コインが足りませんね。またのお越しを～@F",
    "いらっしゃいませ@F",
    "割引券を持っているので安くしておきますね@F",
    "スターを買いますか？@N",
    "そうですか・・・（´・ω・）@F",
    "どうぞスターを受け取ってください@F",
};
const char* const kCpuStarShopLines[kStarTextLines] = {
    "@Aん～コインが足りませんね。またのお越しを～@N",
    "@Aいらっしゃいませ@N",
    "@A割引券を持っているので安くしておきますね@N",
    "@Aスターを買いますか？@N",
    "@Aそうですか・・・（´・ω・）@N",
    "@Aどうぞスターを受け取ってください@N",
};

bool HoldsPassive(int32_t player, int32_t item) {
  const PlayerRecord* record = GetPlayer(player);
  return record != nullptr && record->items[2] == item;
}

// ---------------------------------------------------------------- the star sales

// One of the three star sales: the star-shop square's (lines read for a
// text set, the host's portrait) and the item's two (built-in lines,
// portrait 2).
struct StarSaleKind {
  int32_t* state;
  int32_t textSet;  // -1: built-in lines
  const char* const* builtInLines;
  int32_t cpuPageFrames;
  const char* questionHelp;  // the help band during the question, or null
};

const char* SaleLine(const StarSaleKind& kind, int32_t line) {
  if (kind.textSet < 0) return kind.builtInLines[line];
  return StarSaleText != nullptr ? StarSaleText + kStarTextLineBytes * line : "@N";
}

int DrawSaleWindow(const StarSaleKind& kind, int32_t command) {
  if (kind.textSet < 0) return DrawChoiceWindow(command, kStarShopPortrait);
  return DrawStarSaleWindow(command, kind.textSet);
}

void NextSaleLine() { StartShopText(++StarSaleTextId); }

// The current line's frame, in the held window: true when its page is over.
bool SalePage(const StarSaleKind& kind, int32_t line, int32_t player) {
  DrawSaleWindow(kind, 2);
  int result = DrawShopText(StarSaleTextId, SaleLine(kind, line), player);
  return IsPageOver(player, result, &StarSaleWaitFrames, kind.cpuPageFrames);
}

void FreeStarText() {
  free(StarSaleText);
  StarSaleText = nullptr;
}

int RunSale(const StarSaleKind& kind, int32_t player) {
  int32_t& state = *kind.state;
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) {
    state = 0;
    return 1;
  }
  switch (state) {
    case 0:
      state = 1;
      return 0;
    case 1:
      if (kind.textSet >= 0) {
        FreeStarText();
        StarSaleText = static_cast<char*>(calloc(kStarTextLines * kStarTextLineBytes, 1));
        if (StarSaleText == nullptr) {
          WriteErrorLogFormat("スターの台詞のメモリを確保できません");
          state = 14;
          return 0;
        }
        LoadStarText(kind.textSet);
      }
      state = 2;
      return 0;
    case 2:
      StarSaleCursor = 0;
      StarSaleCpuFrames = 0;
      StarSaleWaitFrames = 0;
      StarSaleTextId = 100;
      StartShopText(StarSaleTextId);
      state = record->cpuFlag != 0 ? 3 : 4;
      return 0;
    case 3:
      StarSaleDecision = record->coins < GetCpuStarPrice(player) ? 1 : 0;
      state = 4;
      return 0;
    case 4:
      if (DrawSaleWindow(kind, 1) == 1) state = record->coins < GetStarPrice(player) ? 5 : 7;
      return 0;
    case 5:
      if (SalePage(kind, 0, player)) {
        NextSaleLine();
        PlayShopSound(kSoundConfirm);
        state = 6;
      }
      return 0;
    case 6:
      if (DrawSaleWindow(kind, 3) == 1) state = 14;
      return 0;
    case 7:
      if (SalePage(kind, 1, player)) {
        NextSaleLine();
        PlayShopSound(kSoundConfirm);
        state = HoldsPassive(player, kStarCoupon) ? 8 : 9;
      }
      return 0;
    case 8:
      if (SalePage(kind, 2, player)) {
        NextSaleLine();
        PlayShopSound(kSoundConfirm);
        state = 9;
      }
      return 0;
    case 9: {
      DrawSaleWindow(kind, 2);
      DrawShopText(StarSaleTextId, SaleLine(kind, 3), player);
      if (kind.questionHelp != nullptr) DrawHelpLine(kind.questionHelp);
      int choice = RunChoiceList(YesNoList(kBuyLabels), player, &StarSaleCursor, StarSaleDecision, &StarSaleCpuFrames,
                                 kCpuChoiceFrames);
      int32_t price = GetStarPrice(player);
      if (choice == 1 || (choice == 0 && record->coins < price)) {
        NextSaleLine();
        PlayShopSound(kSoundConfirm);
        state = 10;
      } else if (choice == 0) {
        record->stars = GainWithinBound(record->stars, 1);
        record->coins -= price;
        PlayShopSound(kSoundPurchase);
        NextSaleLine();
        state = 11;
      }
      return 0;
    }
    case 10:
      if (SalePage(kind, 4, player)) state = 6;
      return 0;
    case 11:
      if (SalePage(kind, 5, player)) state = 12;
      return 0;
    case 12:
      if (DrawSaleWindow(kind, 3) == 1) state = 13;
      return 0;
    case 13:
      MoveStarShop();
      state = 14;
      return 0;
    default:  // 14: the sale is over
      if (kind.textSet >= 0) FreeStarText();
      state = 0;
      return 1;
  }
}

// ---------------------------------------------------------------- the item shop

int32_t ItemPrice(int32_t item) { return item >= 1 && item < kItemTableRows ? ItemTable[item].price : 0; }

// A usable item (slots 1 and 2) as opposed to a held one (slot 3).
bool IsUsableKind(int32_t item) { return item < 21; }

// draw() drawn again while refused(value) holds; drawn only when some value
// of low..high is not refused, else 0 (nothing is drawn).
template <class Draw, class Refused>
int32_t DrawUntilAccepted(int32_t low, int32_t high, Draw draw, Refused refused) {
  bool any = false;
  for (int32_t v = low; v <= high && !any; ++v) any = !refused(v);
  if (!any) return 0;
  int32_t v = draw();
  while (refused(v)) v = draw();
  return v;
}

void NextShopText() { StartShopText(++ItemShopTextId); }

// The pulse of the entry under the cursor: the wave's phase grows a 128th of
// a turn a frame and starts again once past 3.0925055.
void ItemShopPhaseStep() {
  ItemShopWavePhase += 0.04908738657832146f;
  if (ItemShopWavePhase > 3.0925055f) ItemShopWavePhase = 0.0f;
}

bool ShopPage(const char* text, int32_t player) {
  int result = DrawShopText(ItemShopTextId, text, player);
  return IsPageOver(player, result, &ItemShopWaitFrames, kCpuPageFrames);
}

// Puts the item into the buyer's slots: a usable one into the first empty
// of slots 1 and 2, a held one over slot 3.
void GiveItem(PlayerRecord& record, int32_t item) {
  if (!IsUsableKind(item)) {
    record.items[2] = item;
  } else if (record.items[0] == 0) {
    record.items[0] = item;
  } else if (record.items[1] == 0) {
    record.items[1] = item;
  }
}

// The CPU player's move on the menu: to the target's row first, then along it.
void StepCpuShopCursor() {
  int32_t before = ItemShopCursor;
  if (ItemShopCursor / 2 != ItemShopTarget / 2) {
    ItemShopCursor = (ItemShopCursor + 2) % 4;
  } else {
    ItemShopCursor ^= 1;
  }
  if (ItemShopCursor != before) PlayShopSound(kSoundCursor);
}

// A (or the CPU's confirmation) on the stock entry under the cursor.
void ChooseStockEntry(const PlayerRecord& record) {
  int32_t item = ItemShopStock[ItemShopCursor];
  if (item == 0) return;  // an empty entry
  if (!IsUsableKind(item) || record.items[1] == 0) {
    ItemShopYesNo = 0;
    ItemShopCpuFrames = 0;
    PlayShopSound(kSoundConfirm);
    ItemShopState = 10;
  } else {
    NextShopText();
    ItemShopState = 9;
  }
}

void RunItemShopMenu(int32_t player, PlayerRecord& record) {
  ItemShopPrevCursor = ItemShopCursor;
  if (record.cpuFlag != 0) {
    if (++ItemShopCpuFrames < kCpuChoiceFrames) return;
    ItemShopCpuFrames = 0;
    if (ItemShopTarget < 0 || ItemShopTarget > 3) {
      NextShopText();
      ItemShopState = 13;
    } else if (ItemShopCursor != ItemShopTarget) {
      StepCpuShopCursor();
    } else {
      ChooseStockEntry(record);
    }
    return;
  }
  if (IsNewButtonPress(player, kButtonUp) || IsNewButtonPress(player, kButtonDown))
    ItemShopCursor = (ItemShopCursor + 2) % 4;
  if (IsNewButtonPress(player, kButtonLeft) || IsNewButtonPress(player, kButtonRight)) ItemShopCursor ^= 1;
  if (ItemShopCursor != ItemShopPrevCursor) PlayShopSound(kSoundCursor);
  if (IsNewButtonPress(player, kButtonA)) {
    ChooseStockEntry(record);
  } else if (IsNewButtonPress(player, kButtonB)) {
    PlayShopSound(kSoundConfirm);
    NextShopText();
    ItemShopState = 13;
  }
}

void RunItemShopConfirmation(int32_t player, PlayerRecord& record) {
  int32_t item = ItemShopStock[ItemShopCursor];
  int32_t price = GetItemShopPrice(player, item);
  // The price shown is the price charged, the coupon's when one applies.
  DrawFormatTextToHandle(294, 150, MakeScreenColor(255, 255, 255), FontHandlesBySize[15], "%d点になります", price);
  int choice = RunChoiceList(YesNoList(kYesLabels), player, &ItemShopYesNo, 0, &ItemShopCpuFrames, kCpuChoiceFrames);
  if (choice == kChoiceBack || choice == 1) {
    ItemShopCpuFrames = 0;
    ItemShopState = 7;
    return;
  }
  if (choice != 0) return;
  if (record.coins < price) {
    PlayShopSound(kSoundConfirm);
    NextShopText();
    ItemShopState = 8;
  } else if (IsUsableKind(item) && record.items[1] != 0) {
    PlayShopSound(kSoundConfirm);
    NextShopText();
    ItemShopState = 9;
  } else {
    GiveItem(record, item);
    record.coins -= price;
    PlayShopSound(kSoundPurchase);
    NextShopText();
    ItemShopState = 11;
  }
}

// Back to the menu after a refusal; a CPU player, whose choice was checked
// before, then leaves rather than choose again.
void BackToShopMenu(const PlayerRecord& record) {
  if (record.cpuFlag != 0) ItemShopTarget = -1;
  ItemShopCpuFrames = 0;
  ItemShopState = 7;
}

}  // namespace

// ---------------------------------------------------------------- prices

int32_t GetStarPrice(int32_t player) {
  if (!HoldsPassive(player, kStarCoupon)) return kStarPrice;
  return RoundEffect == kRoundEffectItemsUp ? kStarPriceWithCouponItemsUp : kStarPriceWithCoupon;
}

int32_t GetCpuStarPrice(int32_t player) {
  return HoldsPassive(player, kStarCoupon) ? kStarPriceWithCoupon : kStarPrice;
}

int32_t GetItemShopPrice(int32_t player, int32_t item) {
  int32_t price = ItemPrice(item);
  if (!HoldsPassive(player, kItemShopCoupon)) return price;
  double rate = RoundEffect == kRoundEffectItemsUp ? 0.69 : 0.89;
  return static_cast<int32_t>(price * rate);
}

// ---------------------------------------------------------------- star sales

void LoadStarText(int32_t textSet) {
  char key[16] = "";
  char path[64];
  bool named = GetBoardFolderName(textSet, key);
  FormatString(path, sizeof path, "media\\text\\star\\%s.txt", key);
  FileId file = named ? FileStreamOpenRead(path, 0) : 0;
  if (file == 0) {
    WriteErrorLogFormat("%s が開けません (テキスト %d)", path, textSet);
    MessageBoxA(nullptr, "読み込みエラー", "error", MB_OK);
    ExitGame(-1, path);
  }
  if (StarSaleText == nullptr) StarSaleText = static_cast<char*>(calloc(kStarTextLines * kStarTextLineBytes, 1));
  if (StarSaleText == nullptr) {
    FileStreamClose(file);
    WriteErrorLogFormat("スターの台詞のメモリを確保できません");
    return;
  }
  memset(StarSaleText, 0, kStarTextLines * kStarTextLineBytes);
  bool end = false;
  for (int line = 0; line < kStarTextLines && !end; ++line) {
    char* out = StarSaleText + kStarTextLineBytes * line;
    int32_t length = 0;
    for (;;) {
      char c = FileStreamGetChar(file);
      if (c == static_cast<char>(0xFF)) {
        end = true;
        break;
      }
      if (c == '\n') break;
      if (c == '\r') continue;
      if (length < kStarTextLineBytes - 1) out[length++] = c;  // the rest of a longer line is skipped
    }
  }
  FileStreamClose(file);
}

int DrawStarSaleWindow(int32_t command, int32_t textSet) {
  return DrawChoiceWindow(command, command == 2 ? textSet + 2 : 0);
}

int RunStarSale(int32_t textSet, int32_t player) {
  return RunSale(StarSaleKind{&StarSaleState, textSet, nullptr, kCpuPageFrames, nullptr}, player);
}

int RunStarShop(int32_t player) {
  return RunSale(StarSaleKind{&StarShopState, -1, kStarShopLines, kCpuPageFrames, nullptr}, player);
}

int RunCpuStarShop(int32_t player) {
  return RunSale(
      StarSaleKind{&CpuStarShopState, -1, kCpuStarShopLines, kCpuStarShopPageFrames, "Ａ：購入　Ｂ：ｻﾗﾀﾞﾊﾞｰ"}, player);
}

void MoveStarShop() {
  for (int32_t s = 1; s < kSquareCount; ++s) {
    if (SquareTable[s].kind == kSquareStarShop) {
      SquareTable[s].kind = kSquareBlue;
      break;
    }
  }
  int32_t square = DrawUntilAccepted(
      1, kSquareCount - 1, [] { return GetRandomNumber(kSquareCount - 2) + 1; },
      [](int32_t s) { return SquareTable[s].kind != kSquareBlue; });
  if (square != 0) SquareTable[square].kind = kSquareStarShop;
}

// ---------------------------------------------------------------- the item shop

void DrawItemShopStock() {
  for (int k = 0; k < 3; ++k) {
    ItemShopStock[k] = DrawUntilAccepted(
        1, 19, [] { return GetRandomNumber(18) + 1; },
        [](int32_t v) {
          if (v == 10 || ItemPrice(v) == 0) return true;
          for (int32_t held : ItemShopStock)
            if (held == v) return true;
          return false;
        });
  }
  ItemShopStock[3] = DrawUntilAccepted(
      21, 29, [] { return GetRandomNumber(8) + 21; }, [](int32_t v) { return v == 25 || ItemPrice(v) == 0; });
}

void DrawItemShop() {
  if (ItemShopState < 5 || ItemShopState > 13) return;
  DrawChoiceWindow(2, kItemShopPortrait);
  ItemShopPhaseStep();
  ItemShopPulseScale = 0.5f * TriangleWave() + 1.0f;
  // The stock stands where the texts and the yes/no choice are written, so
  // it is shown while the menu waits for a choice, and the texts have the
  // window to themselves.
  for (int32_t k = 0; k < 4 && ItemShopState == 7; ++k) {
    int32_t item = ItemShopStock[k];
    if (item < 1 || item > kItemTableRows) continue;
    double scale = k == ItemShopCursor ? ItemShopPulseScale : 1.0;
    DrawGraphRotated(366 + 50 * (k % 2), 166 + 50 * (k / 2), scale, 0.0, ItemIcons[item - 1], 1, 0);
  }
  DrawAlphaBox(150, 128, 326, 512, 366, MakeScreenColor(0, 0, 0));
  DrawWindowFrame(128, 326, 512, 366);
  int32_t item = ItemShopStock[ItemShopCursor & 3];
  if (item >= 1 && item < kItemTableRows)
    DrawTextToHandle(136, 334, ItemTable[item].description, MakeScreenColor(255, 255, 255), FontHandlesBySize[15], 0,
                     0);
  DrawHelpLine(ItemShopState == 10 ? "Ａ：決定　Ｂ：戻る" : "Ａ：アイテムを購入する　Ｂ：店を出る");
}

int RunItemShop(int32_t player) {
  DrawItemShop();
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) {
    ItemShopState = 2;
    return 1;
  }
  switch (ItemShopState) {
    case 3: {
      int32_t r = GetRandomNumber(3);
      int32_t item = ItemShopStock[r];
      bool fits = !IsUsableKind(item) || record->items[1] == 0;
      ItemShopTarget = item != 0 && record->coins >= GetItemShopPrice(player, item) && fits ? r : -1;
      ItemShopState = 4;
      return 0;
    }
    case 4:
      if (DrawChoiceWindow(1, 0) == 1) {
        NextShopText();
        ItemShopState = 5;
      }
      return 0;
    case 5:
      if (ShopPage("@Aいらっしゃい@N", player)) {
        PlayShopSound(kSoundConfirm);
        NextShopText();
        ItemShopState = HoldsPassive(player, kItemShopCoupon) ? 6 : 7;
      }
      return 0;
    case 6:
      if (ShopPage("@A割引券を持っているから安くしとくよ@N", player)) ItemShopState = 7;
      return 0;
    case 7:
      RunItemShopMenu(player, *record);
      return 0;
    case 8:
      if (ShopPage("@A・・・コインが足りないな@N", player)) BackToShopMenu(*record);
      return 0;
    case 9:
      if (ShopPage("@A・・・もう持ちきれないな@N", player)) BackToShopMenu(*record);
      return 0;
    case 10:
      RunItemShopConfirmation(player, *record);
      return 0;
    case 11:
      if (ShopPage("@Aちょっと待っておくれよ　・・・さぁどうぞ@N", player)) {
        PlayShopSound(kSoundConfirm);
        NextShopText();
        ItemShopState = 12;
      }
      return 0;
    case 12:
      if (ShopPage("@Aありがとございました@N", player)) ItemShopState = 14;
      return 0;
    case 13:
      if (ShopPage("@Aそうか・・・（´・ω・）@N", player)) ItemShopState = 14;
      return 0;
    case 14:
      if (DrawChoiceWindow(3, 0) == 1) ItemShopState = 15;
      return 0;
    case 15:
      ItemShopState = 2;
      return 1;
    default:  // 2: a visit starts with a new stock
      DrawItemShopStock();
      ItemShopCursor = 0;
      ItemShopPrevCursor = 0;
      ItemShopYesNo = 0;
      ItemShopWaitFrames = 0;
      ItemShopCpuFrames = 0;
      ItemShopTarget = -1;
      ItemShopPulseScale = 1.0f;
      ItemShopWavePhase = 0.0f;
      ItemShopTextId = 200;
      StartShopText(ItemShopTextId);
      ItemShopState = record->cpuFlag != 0 ? 3 : 4;
      return 0;
  }
}
