// The mischief shop.
#include "game/board/mischief_shop.h"

#include <cstdio>

#include "game/board/board_helpers.h"
#include "game/board/items.h"
#include "game/board/shop_talk.h"
#include "game/shell/input_mapping.h"
#include "game/shell/item_table.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t MischiefShopState = 0;
int32_t CpuMischiefShopState = 0;
int32_t MischiefMenuCursor = 0;
int32_t MischiefTargetCursor = 0;
int32_t MischiefItemCursor = 0;
int32_t MischiefYesNo = 0;
int32_t MischiefEntry = -1;
int32_t MischiefTarget = 0;
int32_t MischiefItemSlot = 0;
int32_t MischiefFee = 0;
int32_t MischiefAmount = 0;
int32_t MischiefMovedItem = 0;
int32_t MischiefDeparture = 0;
int32_t MischiefWaitFrames = 0;
int32_t MischiefCpuFrames = 0;
int32_t MischiefRefused = 0;
int32_t MischiefTextId = 0;

namespace {

constexpr int32_t kSoundConfirm = 1;
constexpr int32_t kSoundPaid = 15;
// A CPU player's cursors step every 21 frames; its pages end 51 frames
// after the text has been typed.
constexpr int32_t kCpuCursorFrames = 21;
constexpr int32_t kCpuPageFrames = 51;
constexpr int32_t kPortrait = 11;

const char* const kMenuLabels[4] = {"コインを悪戯", "スターをイタズラ", "アイテムをいたずら", "アイテムをプレゼント"};
const char* const kYesLabels[2] = {"はい", "いいえ"};

PlayerRecord& Player(int32_t p) { return PlayerTable[p - 1]; }

bool IsProtected(int32_t p) { return Player(p).items[2] == kMischiefGuard; }

// The three other players in player order.
int32_t OtherPlayers(int32_t buyer, int32_t others[3]) {
  int32_t count = 0;
  for (int32_t q = 1; q <= 4; ++q)
    if (q != buyer && count < 3) others[count++] = q;
  return count;
}

bool AnotherHoldsStar(int32_t buyer) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != buyer && Player(q).stars >= 1) return true;
  return false;
}

bool AnotherHoldsItem(int32_t buyer) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != buyer && HasAnyItem(q)) return true;
  return false;
}

// Slot 1 and 2 of the buyer where not empty, then slot 3: the slots listed
// for a present.
int32_t PresentSlots(int32_t buyer, int32_t slots[3]) {
  int32_t count = 0;
  for (int32_t s = 0; s < 3; ++s)
    if (Player(buyer).items[s] != 0) slots[count++] = s;
  return count;
}

const char* ItemName(int32_t item) { return item >= 1 && item < kItemTableRows ? ItemTable[item].name : ""; }

// The first empty one of slots 1 and 2 (0 or 1), or -1.
int32_t FirstEmptyUsableSlot(const PlayerRecord& r) { return r.items[0] == 0 ? 0 : r.items[1] == 0 ? 1 : -1; }

// Moves the item of from's slot (0 to 2) to the other player, keeping to
// its kind of slot: slot 3 over the other's slot 3, a usable slot into the
// other's first empty usable slot (slot 2 of from moving up). The item
// moved, or 0 when there is none or no room for it.
int32_t MoveItem(PlayerRecord& from, int32_t slot, PlayerRecord& to) {
  if (slot < 0 || slot > 2) return 0;
  int32_t item = from.items[slot];
  if (item == 0) return 0;
  if (slot == 2) {
    to.items[2] = item;
    from.items[2] = 0;
    return item;
  }
  int32_t into = FirstEmptyUsableSlot(to);
  if (into < 0) return 0;
  to.items[into] = TakeItemFromSlot(from, slot);
  return item;
}

// ---------------------------------------------------------------- texts and pages

void NextText() { StartShopText(++MischiefTextId); }

int DrawMischiefText(const char* text, int32_t player) {
  return DrawMessageText(565, MischiefTextId, 358, 150, 200, 16, text, player);
}

bool MischiefPage(const char* text, int32_t player) {
  DrawWideChoiceWindow(2, kPortrait);
  int result = DrawMischiefText(text, player);
  return IsPageOver(player, result, &MischiefWaitFrames, kCpuPageFrames);
}

// The player's lines: a human's end with '@F' (or '@N' where a choice
// follows), a CPU player's begin with '@A' and end with '@N'.
struct Line {
  const char* human;
  const char* cpu;
};
const Line kHello = {"私たちに何か用？@N", "@A私たちに何か用？@N"};
const Line kNobody = {"対象が確認出来ないわね@F", "@A対象が確認出来ないわね@N"};
const Line kWhom = {"誰にやっちゃう♪@N", "@A誰にやっちゃう♪@N"};
const Line kCannot = {"その人は無理そうね@F", "@Aその人は無理そうね@N"};
const Line kNoStar = {"その人はスターを持ってないよ！？@F", "@Aその人はスターを持ってないよ！？@N"};
const Line kWhichItem = {"どのアイテムを上げるの？@N", "@Aどのアイテムを上げるの？@N"};
const Line kWhatGift = {"あなたはいったい何を上げるつもりなの？@F", "@Aあなたはいったい何を上げるつもりなの？@N"};
const Line kShort = {"コインが足りないわね@R（￢＿￢）@F", "@Aコインが足りないわね@R（￢＿￢）@N"};
const Line kAgreed = {"わかったよ～@N", "@Aわかったよ～@N"};
const Line kBye = {"これにてドロン！！！@N", "@Aこれにてドロン！！！@N"};
const Line kHi = {"こんにちは@N", "@Aこんにちは@N"};

const char* Say(const Line& line, int32_t player) { return IsCpuPlayer(player) ? line.cpu : line.human; }

void GoTo(int32_t* state, int32_t step) {
  NextText();
  MischiefWaitFrames = 0;
  MischiefCpuFrames = 0;
  *state = step;
}

// ---------------------------------------------------------------- choices

ChoiceList MenuList() { return ChoiceList{4, kMenuLabels, 350, 200, 30, 340, 560, 20}; }

char TargetLabels[3][16];
const char* const kTargetLabelPointers[3] = {TargetLabels[0], TargetLabels[1], TargetLabels[2]};

ChoiceList TargetList(int32_t buyer) {
  int32_t others[3];
  int32_t count = OtherPlayers(buyer, others);
  for (int32_t k = 0; k < count; ++k) snprintf(TargetLabels[k], sizeof TargetLabels[k], "player %d", others[k]);
  return ChoiceList{count, kTargetLabelPointers, 350, 200, 40, 340, 480, 20};
}

const char* PresentLabels[3];

ChoiceList PresentList(int32_t buyer, int32_t slots[3]) {
  int32_t count = PresentSlots(buyer, slots);
  for (int32_t k = 0; k < count; ++k) PresentLabels[k] = ItemName(Player(buyer).items[slots[k]]);
  return ChoiceList{count, PresentLabels, 350, 200, 40, 340, 480, 20};
}

ChoiceList FeeList() { return ChoiceList{2, kYesLabels, 350, 200, 40, 340, 480, 20}; }

// The menu's entries that have someone to be done to.
bool IsEntryOpen(int32_t entry, int32_t buyer) {
  switch (entry) {
    case kMischiefStar:
      return AnotherHoldsStar(buyer);
    case kMischiefItem:
      return AnotherHoldsItem(buyer);
    case kMischiefPresent:
      return HasAnyItem(buyer);
    default:
      return true;
  }
}

// A human's C on the target choice: a random target for coins and for a
// star (among the others who hold one), the one under the cursor for items.
int32_t RandomTarget(int32_t entry, int32_t buyer) {
  int32_t others[3];
  int32_t count = OtherPlayers(buyer, others);
  if (entry == kMischiefCoins) return others[GetRandomNumber(count - 1)];
  if (entry == kMischiefStar) {
    int32_t holders[3];
    int32_t n = 0;
    for (int32_t k = 0; k < count; ++k)
      if (Player(others[k]).stars >= 1) holders[n++] = others[k];
    if (n == 0) return others[MischiefTargetCursor];
    return holders[GetRandomNumber(n - 1)];
  }
  return others[MischiefTargetCursor];
}

// The fee question, written at once, and its yes/no choice. kChoiceRunning,
// kChoiceBack, 0 yes or 1 no.
int RunFeeQuestion(int32_t player) {
  DrawWideChoiceWindow(2, kPortrait);
  DrawFormatTextToHandle(358, 150, MakeScreenColor(255, 255, 255), FontHandlesBySize[15], "%d点頂戴しちゃうよ",
                         MischiefFee);
  return RunChoiceList(FeeList(), player, &MischiefYesNo, 0, &MischiefCpuFrames, kCpuCursorFrames);
}

// The answer to the fee question: pay and go, or be told the coins are short.
void AnswerFee(int32_t* state, int32_t player, int choice) {
  PlayerRecord& buyer = Player(player);
  if (choice == 0 && buyer.coins < MischiefFee) {
    GoTo(state, kMischiefShortOfCoins);
  } else if (choice == 0) {
    buyer.coins -= MischiefFee;
    PlayShopSound(kSoundPaid);
    MischiefDeparture = 255;
    GoTo(state, kMischiefAway);
  }
}

// ---------------------------------------------------------------- the result

char ResultLines[2][64];

void ComposeResult(int32_t value) {
  ResultLines[1][0] = '\0';
  switch (MischiefEntry) {
    case kMischiefCoins:
      snprintf(ResultLines[0], sizeof ResultLines[0], "%dＰから%d[点]とってきたよ！", MischiefTarget, value);
      break;
    case kMischiefStar:
      snprintf(ResultLines[0], sizeof ResultLines[0], "%dＰのスターとってきたよ！", MischiefTarget);
      break;
    case kMischiefItem:
      snprintf(ResultLines[0], sizeof ResultLines[0], "%dＰから「%s」を", MischiefTarget, ItemName(value));
      snprintf(ResultLines[1], sizeof ResultLines[1], "とってきたよ！");
      break;
    default:
      snprintf(ResultLines[0], sizeof ResultLines[0], "%dＰに「%s」を", MischiefTarget, ItemName(value));
      snprintf(ResultLines[1], sizeof ResultLines[1], "あげたよ！");
      break;
  }
}

// The steps after paying, the same for both shops: the trio away, the
// result, the window closing. 1 on the frame the shop ends.
int RunPaidSteps(int32_t* state, int32_t player) {
  switch (*state) {
    case kMischiefAway:
      MischiefPage(Say(kAgreed, player), player);
      MischiefDeparture -= 5;
      if (MischiefDeparture <= 0) {
        MischiefDeparture = 0;
        int32_t value = ApplyMischief(MischiefEntry, player, MischiefTarget, MischiefItemSlot);
        if (MischiefEntry == kMischiefCoins) {
          MischiefAmount = value;
        } else if (MischiefEntry != kMischiefStar) {
          MischiefMovedItem = value;
        }
        ComposeResult(value);
        AssignPlacements();
        GoTo(state, kMischiefResult);
      }
      return 0;
    case kMischiefResult: {
      DrawWideChoiceWindow(2, kPortrait);
      uint32_t white = MakeScreenColor(255, 255, 255);
      DrawTextToHandle(358, 150, ResultLines[0], white, FontHandlesBySize[15], 0, 0);
      DrawTextToHandle(358, 166, ResultLines[1], white, FontHandlesBySize[15], 0, 0);
      if (IsPageOver(player, -1, &MischiefWaitFrames, kCpuPageFrames)) GoTo(state, kMischiefClose);
      return 0;
    }
    case kMischiefClose:
      if (DrawWideChoiceWindow(3, kPortrait) == 1) {
        *state = kMischiefIdle;
        MischiefEntry = -1;
        MischiefTarget = 0;
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

void StartVisit(int32_t* state) {
  MischiefMenuCursor = 0;
  MischiefTargetCursor = 0;
  MischiefItemCursor = 0;
  MischiefYesNo = 0;
  MischiefEntry = -1;
  MischiefTarget = 0;
  MischiefItemSlot = 0;
  MischiefFee = 0;
  MischiefAmount = 0;
  MischiefMovedItem = 0;
  MischiefRefused = 0;
  MischiefTextId = 300;
  StartShopText(MischiefTextId);
  MischiefWaitFrames = 0;
  MischiefCpuFrames = 0;
  *state = kMischiefOpen;
}

// The window opening, the same for both shops: true when the step was one
// of the opening's.
bool RunOpeningSteps(int32_t* state, int32_t next) {
  if (*state == kMischiefIdle) {
    StartVisit(state);
    DrawWideChoiceWindow(1, kPortrait);
    return true;
  }
  if (*state != kMischiefOpen) return false;
  if (DrawWideChoiceWindow(1, kPortrait) == 1) GoTo(state, next);
  return true;
}

// The target choice's cursor index of a player.
int32_t TargetIndex(int32_t buyer, int32_t target) {
  int32_t others[3];
  int32_t count = OtherPlayers(buyer, others);
  for (int32_t k = 0; k < count; ++k)
    if (others[k] == target) return k;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- rules

bool IsMischiefTargetFit(int32_t entry, int32_t buyer, int32_t target) {
  if (GetPlayer(buyer) == nullptr || GetPlayer(target) == nullptr || target == buyer) return false;
  if (IsProtected(target)) return false;
  const PlayerRecord& t = Player(target);
  switch (entry) {
    case kMischiefStar:
      return t.stars >= 1;
    case kMischiefItem:
      if (AreFirstTwoItemSlotsFull(buyer)) return t.items[2] != 0;
      return HasAnyItem(target);
    default:
      return true;
  }
}

bool ChooseCpuMischief(int32_t buyer, int32_t* entry, int32_t* target) {
  const PlayerRecord& p = Player(buyer);
  int32_t others[3];
  int32_t count = OtherPlayers(buyer, others);
  int32_t best[3];
  int32_t n = 0;
  if (p.coins > 50) {
    int32_t most = 1;
    for (int32_t k = 0; k < count; ++k) {
      int32_t stars = Player(others[k]).stars;
      if (stars > most) {
        most = stars;
        n = 0;
      }
      if (stars == most) best[n++] = others[k];
    }
    if (n > 0) {
      *entry = kMischiefStar;
      *target = best[GetRandomNumber(n - 1)];
      return true;
    }
  }
  if (p.coins >= 4) {
    int32_t most = -1;
    for (int32_t k = 0; k < count; ++k) {
      int32_t coins = Player(others[k]).coins;
      if (coins > most) {
        most = coins;
        n = 0;
      }
      if (coins == most) best[n++] = others[k];
    }
    *entry = kMischiefCoins;
    *target = best[GetRandomNumber(n - 1)];
    return true;
  }
  return false;
}

int32_t ApplyMischief(int32_t entry, int32_t buyer, int32_t target, int32_t presentSlot) {
  PlayerRecord& p = Player(buyer);
  PlayerRecord& t = Player(target);
  switch (entry) {
    case kMischiefCoins: {
      // At most the coins the target holds, and at most the room the buyer
      // has below the bound: the target loses only what the buyer gains.
      int32_t taken = -CoinChangeWithinHeld(target, -(GetRandomNumber(3) + 3));
      taken = CoinChangeWithinHeld(buyer, taken);
      p.coins += taken;
      t.coins -= taken;
      return taken;
    }
    case kMischiefStar:
      // A buyer at the bound cannot take the star: it stays with the target.
      if (t.stars < 1 || GainWithinBound(p.stars, 1) == p.stars) return 0;
      p.stars += 1;
      t.stars -= 1;
      return 1;
    case kMischiefItem: {
      if (!HasAnyItem(target)) return 0;
      int32_t slot = 2;
      if (!AreFirstTwoItemSlotsFull(buyer)) {
        slot = GetRandomNumber(2);
        while (t.items[slot] == 0) slot = GetRandomNumber(2);
      }
      return MoveItem(t, slot, p);
    }
    default:  // the present
      return MoveItem(p, presentSlot, t);
  }
}

// ---------------------------------------------------------------- the human's shop

int RunMischiefShop(int32_t player) {
  int32_t* state = &MischiefShopState;
  if (GetPlayer(player) == nullptr) {
    *state = kMischiefIdle;
    return 1;
  }
  if (RunOpeningSteps(state, kMischiefMenu)) return 0;
  switch (*state) {
    case kMischiefMenu: {
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kHello.human, player);
      DrawHelpLine("Ａ：決定　Ｂ：バイバイ");
      int choice = RunChoiceList(MenuList(), player, &MischiefMenuCursor, -1, &MischiefCpuFrames, 1);
      if (choice == kChoiceBack) {
        GoTo(state, kMischiefFarewell);
      } else if (choice >= 0) {
        PlayShopSound(kSoundConfirm);
        if (IsEntryOpen(choice, player)) {
          MischiefEntry = choice;
          MischiefFee = kMischiefFees[choice];
          MischiefTargetCursor = 0;
          GoTo(state, kMischiefTarget);
        } else {
          GoTo(state, kMischiefMenuRefused);
        }
      }
      return 0;
    }
    case kMischiefMenuRefused:
      if (MischiefPage(kNobody.human, player)) GoTo(state, kMischiefMenu);
      return 0;
    case kMischiefTarget: {
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kWhom.human, player);
      DrawHelpLine("Ａ：決定　Ｂ：戻る　Ｃ：ランダム");
      int32_t others[3];
      OtherPlayers(player, others);
      bool random = IsNewButtonPress(player, kButtonC);
      int choice = RunChoiceList(TargetList(player), player, &MischiefTargetCursor, -1, &MischiefCpuFrames, 1);
      if (choice == kChoiceBack) {
        GoTo(state, kMischiefMenu);
        return 0;
      }
      if (choice < 0 && !random) return 0;
      MischiefTarget = random ? RandomTarget(MischiefEntry, player) : others[choice];
      if (!IsMischiefTargetFit(MischiefEntry, player, MischiefTarget)) {
        GoTo(state, kMischiefTargetRefused);
      } else if (MischiefEntry == kMischiefPresent) {
        MischiefItemCursor = 0;
        GoTo(state, kMischiefPresentItem);
      } else {
        MischiefYesNo = 0;
        GoTo(state, kMischiefFee);
      }
      return 0;
    }
    case kMischiefTargetRefused:
      if (MischiefPage(kCannot.human, player)) GoTo(state, kMischiefTarget);
      return 0;
    case kMischiefPresentItem: {
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kWhichItem.human, player);
      int32_t slots[3];
      int choice = RunChoiceList(PresentList(player, slots), player, &MischiefItemCursor, -1, &MischiefCpuFrames, 1);
      if (choice == kChoiceBack) {
        GoTo(state, kMischiefTarget);
      } else if (choice >= 0) {
        MischiefItemSlot = slots[choice];
        // A usable item needs a free usable slot of the target's.
        if (MischiefItemSlot < 2 && AreFirstTwoItemSlotsFull(MischiefTarget)) {
          GoTo(state, kMischiefPresentRefused);
        } else {
          MischiefYesNo = 0;
          GoTo(state, kMischiefFee);
        }
      }
      return 0;
    }
    case kMischiefPresentRefused:
      if (MischiefPage(kWhatGift.human, player)) GoTo(state, kMischiefPresentItem);
      return 0;
    case kMischiefFee: {
      int choice = RunFeeQuestion(player);
      if (choice == kChoiceBack) {
        GoTo(state, kMischiefTarget);
      } else if (choice == 1) {
        GoTo(state, kMischiefMenu);
      } else if (choice == 0) {
        AnswerFee(state, player, choice);
      }
      return 0;
    }
    case kMischiefShortOfCoins:
      if (MischiefPage(kShort.human, player)) GoTo(state, kMischiefMenu);
      return 0;
    case kMischiefFarewell:
      // A last new press of A on the menu record closes the window.
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kBye.human, player);
      if (IsNewButtonPress(1, kButtonA)) GoTo(state, kMischiefClose);
      return 0;
    default:
      return RunPaidSteps(state, player);
  }
}

// ---------------------------------------------------------------- the CPU player's shop

int RunCpuMischiefShop(int32_t player) {
  int32_t* state = &CpuMischiefShopState;
  if (GetPlayer(player) == nullptr) {
    *state = kMischiefIdle;
    return 1;
  }
  if (RunOpeningSteps(state, kMischiefGreeting)) return 0;
  switch (*state) {
    case kMischiefGreeting:
      if (MischiefPage(kHi.cpu, player)) {
        int32_t entry = -1, target = 0;
        if (ChooseCpuMischief(player, &entry, &target)) {
          MischiefEntry = entry;
          MischiefTarget = target;
          MischiefFee = kMischiefFees[entry];
          GoTo(state, kMischiefMenu);
        } else {
          GoTo(state, kMischiefFarewell);
        }
      }
      return 0;
    case kMischiefMenu: {
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kHello.cpu, player);
      int choice =
          RunChoiceList(MenuList(), player, &MischiefMenuCursor, MischiefEntry, &MischiefCpuFrames, kCpuCursorFrames);
      if (choice >= 0) {
        PlayShopSound(kSoundConfirm);
        MischiefTargetCursor = 0;
        GoTo(state, kMischiefTarget);
      }
      return 0;
    }
    case kMischiefTarget: {
      DrawWideChoiceWindow(2, kPortrait);
      DrawMischiefText(kWhom.cpu, player);
      int choice = RunChoiceList(TargetList(player), player, &MischiefTargetCursor, TargetIndex(player, MischiefTarget),
                                 &MischiefCpuFrames, kCpuCursorFrames);
      if (choice < 0) return 0;
      if (IsMischiefTargetFit(MischiefEntry, player, MischiefTarget)) {
        MischiefYesNo = 0;
        GoTo(state, kMischiefFee);
      } else {
        MischiefRefused = MischiefTarget;
        GoTo(state, kMischiefTargetRefused);
      }
      return 0;
    }
    case kMischiefTargetRefused: {
      const Line& line = IsProtected(MischiefRefused) ? kCannot : kNoStar;
      if (!MischiefPage(line.cpu, player)) return 0;
      // Another target at random, when some other player would fit; else
      // the CPU player leaves without paying.
      bool any = false;
      for (int32_t q = 1; q <= 4; ++q) any = any || IsMischiefTargetFit(MischiefEntry, player, q);
      if (!any) {
        GoTo(state, kMischiefFarewell);
        return 0;
      }
      int32_t q = 1 + GetRandomNumber(3);
      while (q == player || q == MischiefRefused) q = 1 + GetRandomNumber(3);
      MischiefTarget = q;
      GoTo(state, kMischiefTarget);
      return 0;
    }
    case kMischiefFee: {
      int choice = RunFeeQuestion(player);
      if (choice >= 0) AnswerFee(state, player, choice);
      return 0;
    }
    case kMischiefShortOfCoins:
      if (MischiefPage(kShort.cpu, player)) GoTo(state, kMischiefFarewell);
      return 0;
    case kMischiefFarewell:
      if (MischiefPage(kBye.cpu, player)) GoTo(state, kMischiefClose);
      return 0;
    default:
      return RunPaidSteps(state, player);
  }
}
