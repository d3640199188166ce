// The item menu and the item effects.
#include "game/board/items.h"

#include <cmath>
#include <initializer_list>

#include "game/board/board_helpers.h"
#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/mischief_shop.h"
#include "game/board/shops.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t ItemMenuCursor = 0;
int32_t ItemStepState = 0;
int32_t ItemMenuState = 0;
int32_t ItemMenuCpuFrames = 0;
int32_t ItemMenuTarget = -1;

int32_t SingleDieState = 1;
int32_t SingleDieValue = 0;
int32_t SingleDieStop = 0;
int32_t SingleDieFrames = 0;

int32_t MultiDiceState = 0;
int32_t MultiDiceCount = 0;
int32_t MultiDiceRolled = 0;
int32_t MultiDiceValues[kMaxItemDice] = {};
int32_t MultiDiceAlpha = 0;
int32_t MultiDiceOffset = 0;

int32_t RandomDiceChoice = -1;

int32_t SwapState = 0;
int32_t SwapCounter = 0;
int32_t SwapPartner = 0;
int32_t SwapAlpha = 0;
int32_t SwapSinkFrames = 0;
float SwapHopOffset = 0.0f;
float SwapHopSpeed = 0.0f;

namespace {

constexpr double kPi = 3.14159265358979323846;
// A CPU player acts on the item menu every 47th frame.
constexpr int32_t kCpuMenuFrames = 47;
// A CPU player stops the single die on its 46th frame.
constexpr int32_t kCpuDieFrames = 46;
// The frames of a gap opening or closing, and of the pieces coming up.
constexpr int32_t kGapFrames = 24;

void PlaySound(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

bool IsCpu(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  return record != nullptr && record->cpuFlag != 0;
}

bool HoldsPassive(const PlayerRecord& record, int32_t item) { return record.items[2] == item; }

void EndItemMenu() {
  ItemMenuState = 0;
  ItemMenuCpuFrames = 0;
  ItemMenuTarget = -1;
}

// ---------------------------------------------------------------- single die

// The small die (base 1) and the big die (base 8): base to base + 2.
int RollSingleDie(int32_t player, int32_t base) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  switch (SingleDieState) {
    case 2: {
      int32_t key = GetPressedNumberKey();
      if (key != 0) {
        // A digit key sets the die as it is, without modifiers.
        SingleDieValue = key;
        PlaySound(1);
        SingleDieState = 3;
      } else {
        if (record->cpuFlag != 0) {
          if (++SingleDieFrames >= kCpuDieFrames) SingleDieStop = 1;
        } else if (IsNewButtonPress(player, kButtonA)) {
          SingleDieStop = 1;
        }
        SingleDieValue = base + GetRandomNumber(2);
        if (SingleDieStop == 1) {
          PlaySound(1);
          SingleDieState = 3;
          bool itemsUp = RoundEffect == kRoundEffectItemsUp;
          if (HoldsPassive(*record, 24)) SingleDieValue += itemsUp ? 3 : 2;
          if (HoldsPassive(*record, 25)) {
            SingleDieValue -= itemsUp ? 3 : 2;
            if (SingleDieValue < 2) SingleDieValue = 1;
          }
          if (FatedOneCountdown[player] == 1) SingleDieValue = 1;
        }
      }
      DrawDieNumber(SingleDieValue, 320, 160);
      return 0;
    }
    case 3:
      DrawDieNumber(SingleDieValue, 320, 160);
      record->moveCount = SingleDieValue;
      SingleDieState = 1;
      return 1;
    default:  // 1: a new die
      SingleDieValue = 0;
      SingleDieStop = 0;
      SingleDieFrames = 0;
      SingleDieState = 2;
      return 0;
  }
}

// ---------------------------------------------------------------- several dice

struct DiePlace {
  int32_t x, y;
};
constexpr DiePlace kTwoDice[2] = {{256, 160}, {384, 160}};
constexpr DiePlace kThreeDice[3] = {{256, 160}, {384, 160}, {320, 96}};
constexpr DiePlace kFourDice[4] = {{256, 160}, {384, 160}, {278, 96}, {362, 96}};

const DiePlace* DicePlaces(int32_t count) { return count == 2 ? kTwoDice : count == 3 ? kThreeDice : kFourDice; }

// The dice rolled one after another with the action menu's die, then drawn
// together while they merge into their sum.
int RollDice(int32_t player, int32_t count) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  const DiePlace* places = DicePlaces(count);
  if (MultiDiceState == 0) {
    MultiDiceCount = count;
    MultiDiceRolled = 0;
    for (int32_t& value : MultiDiceValues) value = 0;
    MultiDiceState = 1;
  }
  if (MultiDiceState == 1) {
    for (int32_t i = 0; i < MultiDiceRolled; ++i) DrawDieNumber(MultiDiceValues[i], places[i].x, places[i].y);
    const DiePlace& place = places[MultiDiceRolled];
    int32_t value = GetPressedNumberKey();
    if (value != 0) {
      // A digit key replaces the die in progress, which starts afresh for the next.
      PlaySound(1);
      DieState = 1;
      DrawDieNumber(value, place.x, place.y);
    } else {
      value = RollDie(player, place.x, place.y);
    }
    if (value != 0) {
      MultiDiceValues[MultiDiceRolled++] = value;
      if (MultiDiceRolled == MultiDiceCount) {
        MultiDiceState = 2;
        MultiDiceAlpha = 255;
        MultiDiceOffset = 64;
      }
    }
    return 0;
  }
  // The merge: the dice fade while they move towards x 320, and their sum
  // shows through.
  int32_t sum = 0;
  SetDrawBlend(1, MultiDiceAlpha);
  for (int32_t i = 0; i < MultiDiceCount; ++i) {
    int32_t away = places[i].x - 320;
    int32_t shift = std::abs(away) < MultiDiceOffset ? std::abs(away) : MultiDiceOffset;
    DrawDieNumber(MultiDiceValues[i], 320 + (away < 0 ? -shift : shift), places[i].y);
    sum += MultiDiceValues[i];
  }
  SetDrawBlend(1, 255 - MultiDiceAlpha);
  DrawDieNumber(sum, 320, 160);
  SetDrawBlend(0, 255);
  MultiDiceAlpha -= 5;
  if (MultiDiceOffset > 0) --MultiDiceOffset;
  if (MultiDiceAlpha > 0) return 0;
  record->moveCount = sum;
  MultiDiceState = 0;
  return 1;
}

// ---------------------------------------------------------------- the gap

float ScreenX(float x) { return x - CameraX; }
float ScreenY(float y) { return y - CameraY; }

// The gap over a board point, counter 0 to 23: cell counter / 3, scale counter / 12.
void DrawGap(float x, float y, int32_t counter) {
  if (counter < 0) counter = 0;
  if (counter > kGapFrames - 1) counter = kGapFrames - 1;
  DrawGraphRotatedF(ScreenX(x), ScreenY(y), counter / 12.0, 0.0, GapAnimationPictures[counter / 3], 1, 0);
}

void DrawPieceAt(int32_t player, float x, float y, double scale, double angle, int32_t alpha) {
  const PlayerRecord* record = GetPlayer(player);
  if (record == nullptr || record->character < 0 || record->character >= kCharacterCount) return;
  SetDrawBlend(1, alpha < 0 ? 0 : alpha > 255 ? 255 : alpha);
  DrawGraphRotatedF(ScreenX(x), ScreenY(y), scale, angle, CharacterImageTable[record->character][1], 1, 0);
  SetDrawBlend(0, 255);
}

void ChangeOccupancy(int32_t square, int32_t change) {
  if (square >= 0 && square < kSquareCount) SquareTable[square].occupancy += change;
}

// p and q change places: squares, previous squares and positions.
void ExchangePlaces(int32_t p, int32_t q) {
  PlayerRecord& a = PlayerTable[p - 1];
  PlayerRecord& b = PlayerTable[q - 1];
  ChangeOccupancy(a.square, -1);
  ChangeOccupancy(b.square, -1);
  int32_t square = a.square, previous = a.prevSquare;
  a.square = b.square;
  a.prevSquare = b.prevSquare;
  b.square = square;
  b.prevSquare = previous;
  for (PlayerRecord* r : {&a, &b}) {
    if (r->square >= 0 && r->square < kSquareCount) {
      r->x = SquareTable[r->square].x;
      r->y = SquareTable[r->square].y;
    }
    ChangeOccupancy(r->square, 1);
  }
  a.facing = 2;
  a.moveCount = 0;
}

}  // namespace

int32_t TakeItemFromSlot(PlayerRecord& record, int32_t slot) {
  if (slot < 0 || slot > 1) return 0;
  int32_t item = record.items[slot];
  record.items[slot] = 0;
  if (record.items[0] == 0) {
    record.items[0] = record.items[1];
    record.items[1] = 0;
  }
  return item;
}

bool ItemHasUseEffect(int32_t item) { return (item >= 1 && item <= 7) || (item >= 11 && item <= 14); }

int RunItemStep(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) {
    ItemStepState = 0;
    return -1;
  }
  switch (ItemStepState) {
    case 4: {
      int result = UseItem(record->itemInUse, player);
      if (result == 1 || result == 2) ItemStepState = 0;
      return result;
    }
    default: {  // 0 and 2: the menu
      ItemStepState = 2;
      int item = RunItemMenu(player);
      if (item == -1) {
        ItemStepState = 0;
        return -1;
      }
      if (item > 0) {
        record->itemInUse = item;
        ItemStepState = 4;
      }
      return 0;
    }
  }
}

int RunItemMenu(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) {
    EndItemMenu();
    return -1;
  }
  switch (ItemMenuState) {
    case 2: {
      int32_t slot = CpuItemSlot;
      if (slot < 0 || slot > 1 || !ItemHasUseEffect(record->items[slot])) {
        EndItemMenu();
        return -1;
      }
      ItemMenuTarget = slot;
      ItemMenuCpuFrames = 0;
      ItemMenuState = 3;
      return 0;
    }
    case 3: {
      int32_t column = (record->turnOrder - 1) % 2, row = (record->turnOrder - 1) / 2;
      DrawGraphAt(column * 400 + ItemMenuCursor * 34 + 78, row * 300 + 100, ItemFramePicture, 1);
      bool take = false;
      if (record->cpuFlag != 0) {
        if (++ItemMenuCpuFrames >= kCpuMenuFrames) {
          ItemMenuCpuFrames = 0;
          if (ItemMenuCursor == ItemMenuTarget) {
            take = true;
          } else {
            ItemMenuCursor = 1 - ItemMenuCursor;
            PlaySound(0);
          }
        }
      } else {
        bool left = IsNewButtonPress(player, kButtonLeft);
        bool right = IsNewButtonPress(player, kButtonRight);
        if ((left || right) && record->items[1 - ItemMenuCursor] != 0) {
          ItemMenuCursor = 1 - ItemMenuCursor;
          PlaySound(0);
        }
        // Only an item that does something when used can be taken.
        if (IsNewButtonPress(player, kButtonA) && ItemHasUseEffect(record->items[ItemMenuCursor])) take = true;
        if (!take && IsNewButtonPress(player, kButtonB)) {
          EndItemMenu();
          return -1;
        }
      }
      if (take) ItemMenuState = 4;
      return 0;
    }
    case 4: {
      int32_t item = TakeItemFromSlot(*record, ItemMenuCursor);
      EndItemMenu();
      return item;
    }
    default:  // 0 and 1: a new menu
      record->itemInUse = 0;
      ItemMenuCursor = 0;
      ItemMenuCpuFrames = 0;
      ItemMenuState = record->cpuFlag != 0 ? 2 : 3;
      return 0;
  }
}

int UseItem(int32_t item, int32_t player) {
  bool strong = RoundEffect == kRoundEffectExtraDie || RoundEffect == kRoundEffectItemsUp;
  switch (item) {
    case 1:
      return strong ? RollThreeDice(player) : RollTwoDice(player);
    case 2:
      return strong ? RollFourDice(player) : RollThreeDice(player);
    case 3:
      if (PlayerRecord* record = GetPlayer(player)) record->moveCount = 0;
      return 1;
    case 4:
      return SwapPlacesThroughGap(player);
    case 5:
      return RunRandomDiceItem(player);
    case 6:
      return RollBigDie(player);
    case 7:
      return RollSmallDie(player);
    case 11:
      // The move takes coins from the players passed while itemInUse is 11.
      return 2;
    case 12:
      return RunItemShop(player) == 1 ? 2 : 0;
    case 13:
      DrawMovingPiece(player);
      return (IsCpu(player) ? RunCpuStarShop(player) : RunStarShop(player)) == 1 ? 2 : 0;
    case 14:
      return (IsCpu(player) ? RunCpuMischiefShop(player) : RunMischiefShop(player)) == 1 ? 2 : 0;
    default:
      // No use: the turn goes on as after a cancelled menu.
      WriteErrorLogFormat("アイテム %d には使用効果がありません", item);
      return 2;
  }
}

int RollTwoDice(int32_t player) { return RollDice(player, 2); }
int RollThreeDice(int32_t player) { return RollDice(player, 3); }
int RollFourDice(int32_t player) { return RollDice(player, 4); }
int RollSmallDie(int32_t player) { return RollSingleDie(player, 1); }
int RollBigDie(int32_t player) { return RollSingleDie(player, 8); }

int RunRandomDiceItem(int32_t player) {
  if (RandomDiceChoice < 0) {
    int32_t r = GetRandomNumber(4);
    while (r == 4) r = GetRandomNumber(4);
    RandomDiceChoice = r;
  }
  int result = 1;
  switch (RandomDiceChoice) {
    case 0:
      result = RollTwoDice(player);
      break;
    case 1:
      result = RollSmallDie(player);
      break;
    case 2:
      result = RollBigDie(player);
      break;
    default:
      if (PlayerRecord* record = GetPlayer(player)) record->moveCount = 0;
      break;
  }
  if (result == 1) RandomDiceChoice = -1;
  return result;
}

int SwapPlacesThroughGap(int32_t player) {
  const PlayerRecord* self = GetPlayer(player);
  if (self == nullptr) {
    SwapState = 0;
    return 1;
  }
  const PlayerRecord* partner = GetPlayer(SwapPartner);
  switch (SwapState) {
    case 1:  // the gap opens over the user
      DrawGap(self->x, self->y, SwapCounter);
      if (++SwapCounter >= kGapFrames) SwapState = 2;
      return 0;
    case 2: {  // the partner: any other player
      int32_t q = 1 + GetRandomNumber(3);
      while (q == player) q = 1 + GetRandomNumber(3);
      SwapPartner = q;
      SwapCounter = 0;
      SwapState = 3;
      DrawGap(self->x, self->y, kGapFrames - 1);
      return 0;
    }
    case 3:  // the gap opens over the partner
      DrawGap(self->x, self->y, kGapFrames - 1);
      if (partner != nullptr) DrawGap(partner->x, partner->y, SwapCounter);
      if (++SwapCounter >= kGapFrames) {
        SwapState = 4;
        SwapAlpha = 255;
        SwapSinkFrames = 0;
        SwapHopOffset = 0.0f;
        SwapHopSpeed = -3.0f;
      }
      return 0;
    case 4:  // both sink: the partner turns and shrinks, the user hops and falls
      DrawGap(self->x, self->y, kGapFrames - 1);
      if (partner != nullptr) {
        DrawGap(partner->x, partner->y, kGapFrames - 1);
        DrawPieceAt(SwapPartner, partner->x, partner->y, 1.0 - 0.00625 * SwapSinkFrames, SwapSinkFrames * kPi / 30.0,
                    SwapAlpha);
      }
      DrawPieceAt(player, self->x, self->y + SwapHopOffset, 1.2, 0.0, SwapAlpha);
      SwapHopOffset += SwapHopSpeed;
      SwapHopSpeed += 0.05f;
      if (SwapSinkFrames < 120) ++SwapSinkFrames;
      SwapAlpha -= 2;
      if (SwapAlpha <= 0) SwapState = 5;
      return 0;
    case 5:  // the exchange
      if (partner != nullptr) ExchangePlaces(player, SwapPartner);
      SwapCounter = 0;
      SwapState = 6;
      return 0;
    case 6:  // the camera on the user; the pieces come up out of the gaps
      CenterCameraOnPlayer(player);
      for (int32_t who : {player, SwapPartner}) {
        const PlayerRecord* r = GetPlayer(who);
        if (r == nullptr) continue;
        DrawGap(r->x, r->y, kGapFrames - 1);
        DrawPieceAt(who, r->x, r->y + 16.0f * (kGapFrames - SwapCounter) / kGapFrames, 1.2, 0.0,
                    255 * SwapCounter / kGapFrames);
      }
      if (++SwapCounter >= kGapFrames) {
        SwapCounter = kGapFrames - 1;
        SwapState = 7;
      }
      return 0;
    case 7:  // both gaps close
      for (int32_t who : {player, SwapPartner}) {
        const PlayerRecord* r = GetPlayer(who);
        if (r == nullptr) continue;
        DrawGap(r->x, r->y, SwapCounter);
        DrawPieceAt(who, r->x, r->y, 1.2, 0.0, 255);
      }
      if (--SwapCounter < 0) {
        SwapCounter = 0;
        SwapPartner = 0;
        SwapState = 0;
        return 1;
      }
      return 0;
    default:  // 0: a new swap
      SwapCounter = 0;
      SwapPartner = 0;
      SwapState = 1;
      DrawGap(self->x, self->y, 0);
      return 0;
  }
}
