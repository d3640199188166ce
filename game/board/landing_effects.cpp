// The landing effects of the squares.
#include "game/board/landing_effects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "game/board/board_helpers.h"
#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/board/shops.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/item_table.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

int32_t ImpossibleRequestGiven[7] = {};
int32_t LandingState = 0;

CoinSquareRecord BlueSquare = {};
CoinSquareRecord RedSquare = {};
ItemSquareRecord ItemSquare = {};
int32_t EventSquareState = 0;
int32_t NothingHappensState = 0;
int32_t StoneColourEventState = 0;
int32_t LostEventState = 0;
int32_t EventMessageWait = 0;
PassageClosingRecord PassageClosing = {};
HouseEventRecord HouseEvent = {};
RabbitDuelRecord RabbitDuel = {};

namespace {

constexpr int32_t kTextBufferBytes = kTextFileLines * kTextFileLineBytes;

uint32_t White() { return MakeScreenColor(255, 255, 255); }
void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }
bool IsCpu(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  return record != nullptr && record->cpuFlag != 0;
}

// The page wait of the board events: a human's page ends on a new press of
// A, a CPU's on the 46th frame.
bool PageWaitDone(int32_t player, int32_t& counter) {
  if (IsCpu(player)) {
    if (counter <= 50) ++counter;
    if (counter != 46) return false;
  } else if (!IsNewButtonPress(player, kButtonA)) {
    return false;
  }
  counter = 0;
  return true;
}

// A text buffer for a text file; a failed allocation ends the program.
char* AllocateTextBuffer() {
  char* buffer = static_cast<char*>(calloc(kTextBufferBytes, 1));
  if (buffer == nullptr) {
    MessageBoxA(nullptr, "領域確保失敗", "メモリエラー", MB_OK);
    ExitGame(1, "text buffer");
  }
  return buffer;
}

// A picture of an event; a failure is logged and the event goes on without it.
int32_t LoadEventPicture(const char* path) {
  int32_t graph = LoadGraphFile(path, 0);
  if (graph == -1) WriteErrorLogFormat("%s が読み込めません (イベントは絵なしで続きます)", path);
  return graph;
}

void FreeEventPicture(int32_t& graph) {
  if (graph != -1 && graph != 0) FreeGraph(graph);
  graph = -1;
}

// ---------------------------------------------------------------- blue and red squares

int RunCoinSquare(CoinSquareRecord& square, int32_t player, bool blue) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  switch (square.state) {
    case 0:
      record->squareColour = blue ? 1 : 2;
      square.counter = 0;
      square.amount = 0;
      square.state = 2;
      return 0;
    case 2:
      square.amount = SquareCoinAmount(blue, record->items[2], RoundEffect);
      // A red square takes at most the coins held; the amount shown is the amount taken.
      square.amount = CoinChangeWithinHeld(player, square.amount);
      PlayEffect(blue ? 3 : 4);
      square.state = 3;
      return 0;
    case 3: {
      if (!blue && square.amount == 0) {
        if (square.counter >= 59) {
          square.state = 4;
        } else {
          square.counter += 1;
        }
      } else if (AnimateCoinChange(square.amount, player) == 1) {
        square.state = 4;
      } else {
        square.counter += 1;
      }
      int32_t x = static_cast<int32_t>(record->x - CameraX);
      int32_t y = static_cast<int32_t>(record->y - CameraY);
      if (blue) {
        DrawGraphRotated(x - 16, y - square.counter, 1.0, 0.0, CoinIconPicture, 1, 0);
        DrawFormatTextToHandle(x - 8, y - 8 - square.counter, White(), FontOfSize(16), "＋%d", square.amount);
      } else {
        DrawGraphRotated(x - 16, y - 60 + square.counter, 1.0, 0.0, CoinIconPicture, 1, 0);
        DrawFormatTextToHandle(x - 8, y - 68 + square.counter, White(), FontOfSize(16), "%d", square.amount);
      }
      return 0;
    }
    case 4:
      square.state = 0;
      return 1;
    default:
      square.state = 0;
      return 0;
  }
}

// ---------------------------------------------------------------- the item square

bool ReelHolds(int32_t item) {
  for (int32_t entry : ItemSquare.reel)
    if (entry == item) return true;
  return false;
}

int32_t ItemPrice(int32_t item) { return item >= 0 && item < kItemTableRows ? ItemTable[item].price : 0; }

// A usable item for the reel: not 10, one that exists, and not on the reel yet.
bool FitsReel(int32_t item) { return item != 10 && ItemPrice(item) != 0 && !ReelHolds(item); }

// Entries 0 to 3 usable items 1 to 19, all different; entry 4 a held item
// 21 to 29. An entry for which no item fits keeps what it holds.
void FillItemReel() {
  for (int32_t k = 0; k < 4; ++k) {
    bool any = false;
    for (int32_t item = 1; item <= 19; ++item)
      if (FitsReel(item)) any = true;
    if (!any) continue;
    int32_t item;
    do {
      item = GetRandomNumber(18) + 1;
    } while (!FitsReel(item));
    ItemSquare.reel[k] = item;
  }
  bool any = false;
  for (int32_t item = 21; item <= 29; ++item)
    if (ItemPrice(item) != 0) any = true;
  if (any) {
    int32_t item;
    do {
      item = GetRandomNumber(8) + 21;
    } while (ItemPrice(item) == 0);
    ItemSquare.reel[4] = item;
  }
}

void DrawItemReel() {
  for (int32_t k = 0; k < 5; ++k) {
    int32_t base = 30 + 30 * k;
    int32_t d = base + ItemSquare.offset;
    int32_t size = d < 90 ? d / 4 + 1 : 46 - d / 4;
    if (size <= 8) continue;
    int32_t item = ItemSquare.reel[(ItemSquare.index + 3 + k) % 5];
    if (item < 0 || item >= kItemTableRows) continue;
    DrawCentredText(320, base - size / 2 + ItemSquare.offset + 122, ItemTable[item].name, FontOfSize(size));
  }
}

// One step of the rows towards the next entry.
void AdvanceItemReel(int32_t pixels) {
  ItemSquare.offset += pixels;
  if (ItemSquare.offset >= 30) {
    ItemSquare.offset = 0;
    ItemSquare.index = (ItemSquare.index + 1) % 5;
    PlayEffect(5);
  }
}

void SpinItemReel(int32_t player, bool cpu) {
  ItemSquareRecord& reel = ItemSquare;
  if (reel.stopped == 0) {
    if (reel.inputLock > 0) {
      reel.inputLock -= 1;
      if (!cpu) IsNewButtonPress(player, kButtonA);  // a press now only sets its latch
    } else if (!cpu) {
      if (IsNewButtonPress(player, kButtonA)) reel.stopped = 1;
      reel.humanTime -= 1;
      if (reel.humanTime < 1) reel.stopped = 1;
    } else if (GetRandomNumber(99) == 0) {
      reel.stopped = 1;
    }
  }
  if (reel.stopped == 0) {
    AdvanceItemReel(5);
    return;
  }
  if (reel.decelerate < 200) {
    AdvanceItemReel(4 - reel.decelerate / 50);
    reel.decelerate += 1;
  } else {
    if (reel.offset > 0) reel.offset -= 1;
    if (reel.offset <= 0) reel.state = 3;
  }
}

// The current entry goes into the first empty usable slot (a usable item),
// or replaces the held item of slot 3.
void AwardReelItem(PlayerRecord& record) {
  int32_t item = ItemSquare.reel[ItemSquare.index];
  if (item >= 21) {
    record.items[2] = item;
  } else if (record.items[0] == 0) {
    record.items[0] = item;
  } else if (record.items[1] == 0) {
    record.items[1] = item;
  }
}

// ---------------------------------------------------------------- the per-map events

// The shape the event square's handlers share: idle frames (three on the
// first run, one later), the event's work, a window with a one-line message
// until the page wait, and the window shrunk.
struct MessageEvent {
  int32_t left, right;
  const char* text;
  bool centred;
  void (*work)(int32_t player);
};

// The window's sides for the message: as given, widened about the middle of
// the screen when the text would not fit between its frames.
void MessageWindowSides(const MessageEvent& event, int32_t width, int32_t& left, int32_t& right) {
  constexpr int32_t kFrameMargin = 16;
  left = event.left;
  right = event.right;
  if (width + 2 * kFrameMargin <= right - left) return;
  int32_t half = (width + 1) / 2 + kFrameMargin;
  left = 320 - half;
  right = 320 + half;
}

int RunMessageEvent(int32_t& state, int32_t player, const MessageEvent& event) {
  int32_t font = FontOfSize(16);
  int32_t width = GetTextWidthToHandle(event.text, static_cast<int32_t>(strlen(event.text)), font, 0);
  int32_t left, right;
  MessageWindowSides(event, width, left, right);
  // A text the given window cannot hold is centred in the widened one.
  bool centred = event.centred || left != event.left;
  switch (state) {
    case 0:
    case 1:
    case 2:
      state += 1;
      return 0;
    case 3:
      if (event.work != nullptr) event.work(player);
      EventMessageWait = 0;
      state = 4;
      [[fallthrough]];
    case 4:
      if (DrawAnimatedWindow(198, 262, left, right, 20, 1) == 1) state = 5;
      return 0;
    case 5:
      DrawAnimatedWindow(198, 262, left, right, 20, 2);
      if (centred) {
        DrawCentredText(320, 222, event.text, font);
      } else {
        DrawTextToHandle(event.left, 222, event.text, White(), font, 0, 0);
      }
      if (PageWaitDone(player, EventMessageWait)) state = 6;
      return 0;
    case 6:
      if (DrawAnimatedWindow(198, 262, left, right, 20, 3) == 1) {
        state = 2;
        return 1;
      }
      return 0;
    default:
      state = 2;
      return 0;
  }
}

void ReshuffleWarpsWork(int32_t) { ReshuffleWarpPairs(); }
void ShuffleKindsWork(int32_t player) { ShuffleSquareKinds(player); }

void DrawPassageClosingScene() {
  PassageClosingRecord& event = PassageClosing;
  int32_t alpha = event.fade < 0 ? 0 : event.fade > 255 ? 255 : event.fade;
  float s = static_cast<float>(event.scroll);
  float px = 4.266666666666667f * s, py = 3.2f * s;
  SetDrawBlend(1, alpha);
  const float corners[4][2] = {{px, py}, {px - 640, py}, {px, py - 480}, {px - 640, py - 480}};
  for (const auto& corner : corners)
    DrawGraphAt(static_cast<int32_t>(corner[0]), static_cast<int32_t>(corner[1]), event.petals, 1);
  SetDrawBlend(0, 255);
  int32_t c = event.slide;
  double y = 230.0 + 5.0 * std::sin((c % 128) * 0.04908738657832146);
  DrawGraphRotated(690 - 4 * c, static_cast<int32_t>(y), 1.0, 0.0, event.character, 1, 0);
  event.scroll = (event.scroll + 1) % 150;
  if (event.slide < 210) event.slide += 1;
}

void ClosePassage(int32_t square, int32_t target) {
  for (int32_t& link : SquareTable[square].link)
    if (link == target) link = 0;
}

// ---------------------------------------------------------------- the rabbit duel

const char* const kRabbitPicturePaths[5] = {
    "media\\sugoroku\\brimwold\\勝.png",       "media\\sugoroku\\brimwold\\利.png",
    "media\\sugoroku\\brimwold\\引き分け.png", "media\\sugoroku\\brimwold\\負.png",
    "media\\sugoroku\\brimwold\\け.png",
};

void DrawFaded(int32_t x, int32_t y, double scale, double angle, int32_t graph, int32_t alpha) {
  if (alpha <= 0) return;
  SetDrawBlend(1, alpha > 255 ? 255 : alpha);
  DrawGraphRotated(x, y, scale, angle, graph, 1, 0);
  SetDrawBlend(0, 255);
}

// The verdict pictures at frame f of the verdict.
void DrawVerdict(int32_t f) {
  RabbitDuelRecord& duel = RabbitDuel;
  if (duel.playerRoll > duel.rabbitRoll) {
    // 勝 and 利 grow in turn, each followed by a larger copy that fades.
    for (int32_t i = 0; i < 2; ++i) {
      int32_t start = 5 * i;
      if (f < start) continue;
      double scale = 0.2 * (f - start);
      int32_t x = i == 0 ? 288 : 352;
      if (scale < 1.0) {
        DrawGraphRotated(x, 240, scale, 0.0, duel.pictures[i], 1, 0);
      } else {
        DrawGraphRotated(x, 240, 1.0, 0.0, duel.pictures[i], 1, 0);
        int32_t t = f - start - 5;
        DrawFaded(x, 240, 1.0 + 0.05 * t, 0.0, duel.pictures[i], 255 - 15 * t);
      }
    }
  } else if (duel.playerRoll == duel.rabbitRoll) {
    int32_t alpha = f < 30 ? 8 * f : f < 60 ? 240 : 240 - 6 * (f - 60);
    int32_t k = f < 30 ? 30 - f : 0;
    DrawFaded(320, 208 + k, 1.0, 0.0, duel.pictures[2], alpha);
  } else {
    // 負 and け drop in; け turns as it falls and comes to rest tilted.
    int32_t fall1 = f < 15 ? 15 - f : 0;
    DrawGraphRotated(288, 240 - 8 * fall1, 1.0, 0.0, duel.pictures[3], 1, 0);
    if (f >= 10) {
      int32_t fall2 = f < 25 ? 25 - f : 0;
      double angle = 0.3 + 0.2 * fall2;
      DrawGraphRotated(352, 240 - 8 * fall2, 1.0, angle, duel.pictures[4], 1, 0);
    }
  }
}

const char* ItemName(int32_t item) { return item > 0 && item < kItemTableRows ? ItemTable[item].name : ""; }

// The prize of a won duel: an impossible-request item not handed out yet
// into the first empty usable slot (nothing when both are full or every
// one has been handed out).
void GiveImpossibleRequest(PlayerRecord& record) {
  if (record.items[0] != 0 && record.items[1] != 0) return;
  int32_t count = 0;
  for (int32_t k = 1; k <= 5; ++k)
    if (ImpossibleRequestGiven[k] == 0) ++count;
  if (count == 0) return;
  int32_t r = GetRandomNumber(count - 1) + 1;
  for (int32_t k = 1; k <= 5; ++k) {
    if (ImpossibleRequestGiven[k] != 0 || --r != 0) continue;
    record.items[record.items[0] == 0 ? 0 : 1] = 30 + k;
    ImpossibleRequestGiven[k] = 1;
    RabbitDuel.itemGiven = 1;
    return;
  }
}

void FreeRabbitMedia() {
  for (int32_t& graph : RabbitDuel.pictures) FreeEventPicture(graph);
  free(RabbitDuel.text);
  RabbitDuel.text = nullptr;
  RabbitDuel.mediaLoaded = 0;
}

}  // namespace

int32_t SquareCoinAmount(bool blue, int32_t heldItem, int32_t roundEffect) {
  int32_t column = roundEffect == kRoundEffectDoubleSquares ? 1 : roundEffect == kRoundEffectItemsUp ? 2 : 0;
  // By held item, then no effect, effect 2, effect 4.
  static const int32_t kBlue[4][3] = {{3, 6, 3}, {4, 8, 5}, {2, 4, 1}, {3, 6, 3}};
  static const int32_t kRed[4][3] = {{-3, -6, -3}, {-2, -4, -1}, {-4, -8, -5}, {0, 0, 0}};
  int32_t row = heldItem == 21 ? 1 : heldItem == 22 ? 2 : heldItem == 26 ? 3 : 0;
  return blue ? kBlue[row][column] : kRed[row][column];
}

int RunLandingEffect(int32_t kind) {
  int32_t player = CurrentPlayer;
  DrawTurnBoard(player, true, true);
  switch (LandingState) {
    case 0:
      LandingState = 1;
      return 0;
    case 1: {
      int result;
      switch (kind) {
        case kSquareBlue:
          result = RunBlueSquare(player);
          break;
        case kSquareRed:
          result = RunRedSquare(player);
          break;
        case kSquareItem:
          result = RunItemSquare(player);
          break;
        case kSquareEvent:
          result = RunEventSquare(player, kind);
          break;
        case kSquareHouse:
          result = RunHouseEvent(player);
          break;
        case kSquareRabbit:
          result = RunRabbitDuel(player);
          break;
        default: {  // the chance square and every kind without a handler
          PlayerRecord* record = GetPlayer(player);
          if (record != nullptr) record->squareColour = 3;
          result = 1;
          break;
        }
      }
      if (result == 1) LandingState = 4;
      return 0;
    }
    case 4:
      LandingState = 0;
      return 1;
    default:
      LandingState = 0;
      return 0;
  }
}

int RunBlueSquare(int32_t player) { return RunCoinSquare(BlueSquare, player, true); }
int RunRedSquare(int32_t player) { return RunCoinSquare(RedSquare, player, false); }

int RunItemSquare(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  ItemSquareRecord& reel = ItemSquare;
  bool cpu = record->cpuFlag != 0;
  int result = 0;
  switch (reel.state) {
    case 0:
      record->squareColour = 3;
      reel.decelerate = 0;
      reel.index = 0;
      reel.offset = 0;
      reel.inputLock = 20;
      reel.humanTime = 300;
      reel.stopped = 0;
      reel.pageWait = 0;
      FillItemReel();
      reel.state = 1;
      return 0;
    case 1:
      if (DrawAnimatedWindow(116, 308, 192, 448, 20, 1) == 1) reel.state = 2;
      return 0;
    case 2:
      DrawAnimatedWindow(116, 308, 192, 448, 20, 2);
      SpinItemReel(player, cpu);
      break;
    case 3:
      DrawAnimatedWindow(116, 308, 192, 448, 20, 2);
      AwardReelItem(*record);
      reel.state = 4;
      break;
    case 4:
      DrawAnimatedWindow(116, 308, 192, 448, 20, 2);
      if (PageWaitDone(player, reel.pageWait)) reel.state = 5;
      break;
    case 5:
      if (DrawAnimatedWindow(116, 308, 192, 448, 20, 3) == 1) reel.state = 6;
      break;
    case 6:
      reel.state = 0;
      result = 1;
      break;
    default:
      reel.state = 0;
      return 0;
  }
  DrawItemReel();
  return result;
}

int RunEventSquare(int32_t player, int32_t kind) {
  switch (EventSquareState) {
    case 0: {
      PlayerRecord* record = GetPlayer(player);
      if (record != nullptr) record->squareColour = 3;
      EventSquareState = 1;
      return 0;
    }
    case 1: {
      int result;
      switch (CurrentMapId) {
        case 2:
          result = RunStoneColourEvent(player, kind);
          break;
        case 3:
          result = RunPassageClosingEvent(player, kind);
          break;
        case 4:
          result = RunLostEvent(player, kind);
          break;
        default:  // maps 0 and 1, and the maps without an event of their own
          result = RunNothingHappensEvent(player, kind);
          break;
      }
      if (result == 1) EventSquareState = 2;
      return 0;
    }
    case 2:
      EventSquareState = 0;
      return 1;
    default:
      EventSquareState = 0;
      return 0;
  }
}

int RunNothingHappensEvent(int32_t player, int32_t) {
  static const MessageEvent event{192, 448, "特に何も起こらなかった･･･(´・ω・`)", false, nullptr};
  return RunMessageEvent(NothingHappensState, player, event);
}

int RunStoneColourEvent(int32_t player, int32_t) {
  static const MessageEvent event{176, 464, "賢者の石の色が変化しました！", true, ReshuffleWarpsWork};
  return RunMessageEvent(StoneColourEventState, player, event);
}

int RunLostEvent(int32_t player, int32_t) {
  static const MessageEvent event{176, 464, "いつの間にか迷子になってしまったウサ", true, ShuffleKindsWork};
  return RunMessageEvent(LostEventState, player, event);
}

int RunPassageClosingEvent(int32_t player, int32_t) {
  PassageClosingRecord& event = PassageClosing;
  static const char kMessage[] = "一部通路が封鎖されました！";
  switch (event.state) {
    case 0:
    case 1:
    case 2:
      event.state += 1;
      return 0;
    case 3:
      // Pictures that do not load leave the event without them.
      event.character = LoadEventPicture("media\\sugoroku\\cadris\\トゥミナ.png");
      event.petals = LoadEventPicture("media\\sugoroku\\cadris\\階段 桜吹雪.png");
      event.slide = 0;
      event.scroll = 0;
      event.fade = 0;
      event.pageWait = 0;
      if (PassageClosedRounds < 1) {
        ClosePassage(6, 9);
        ClosePassage(47, 53);
      }
      PassageClosedRounds = 2;
      event.state = 4;
      return 0;
    default:
      break;
  }
  DrawPassageClosingScene();
  switch (event.state) {
    case 4:
      event.fade += 3;
      if (DrawAnimatedWindow(198, 262, 176, 464, 20, 1) == 1) event.state = 5;
      return 0;
    case 5:
      event.fade += 3;
      DrawAnimatedWindow(198, 262, 176, 464, 20, 2);
      DrawCentredText(320, 222, kMessage, FontOfSize(16));
      if (PageWaitDone(player, event.pageWait)) event.state = 6;
      return 0;
    case 6:
      event.fade -= 10;
      DrawAnimatedWindow(198, 262, 176, 464, 20, 2);
      DrawCentredText(320, 222, kMessage, FontOfSize(16));
      if (event.slide >= 210 && event.fade <= 0) event.state = 7;
      return 0;
    case 7:
      if (DrawAnimatedWindow(198, 262, 176, 464, 20, 3) == 1) {
        FreeEventPicture(event.character);
        FreeEventPicture(event.petals);
        event.state = 2;
        return 1;
      }
      return 0;
    default:
      event.state = 2;
      return 0;
  }
}

void ReshuffleWarpPairs() {
  int32_t warps[10];
  int32_t count = 0;
  for (int32_t s = 1; s < kSquareCount; ++s) {
    if (SquareTable[s].kind != kSquareWarp) continue;
    SquareTable[s].link[3] = 0;
    if (count < 10) warps[count++] = s;
  }
  for (int32_t& square : WarpPairs) square = 0;
  auto unpaired = [&](int32_t i) { return SquareTable[warps[i]].link[3] == 0; };
  int32_t pairs = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!unpaired(i)) continue;
    bool partner = false;
    for (int32_t j = 0; j < count; ++j)
      if (j != i && unpaired(j)) partner = true;
    if (!partner) continue;
    int32_t j;
    do {
      j = GetRandomNumber(count - 1);
    } while (j == i || !unpaired(j));
    SquareTable[warps[i]].link[3] = warps[j];
    SquareTable[warps[j]].link[3] = warps[i];
    WarpPairs[2 * pairs] = warps[i];
    WarpPairs[2 * pairs + 1] = warps[j];
    ++pairs;
  }
}

int RunHouseEvent(int32_t player) {
  HouseEventRecord& house = HouseEvent;
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  if (house.rewardOn == 1 && AnimateCoinChange(house.reward, player) == 1) house.rewardOn = 0;
  switch (house.state) {
    case 0:
      house.rewardOn = 0;
      house.page = 0;
      house.reward = 0;
      house.textId = 100;
      house.pageWait = 0;
      record->squareColour = 3;
      free(house.text);
      house.text = AllocateTextBuffer();
      LoadTextFile("media\\sugoroku\\brimwold\\princess.txt", house.text);
      house.state = 1;
      return 0;
    case 1: {
      if (RunStarSale(4, player) != 1) return 0;
      for (int32_t s = 1; s < kSquareCount; ++s) {
        if (SquareTable[s].kind == kSquareStarShop) {
          SquareTable[s].kind = kSquareBlue;
          break;
        }
      }
      int32_t count = 0;
      for (int32_t slot = 0; slot < 2; ++slot)
        if (record->items[slot] >= 31 && record->items[slot] <= 35) ++count;
      house.reward = count * 15;
      FormatString(house.text + kTextFileLineBytes, kTextFileLineBytes, "ありがとう、じゃあご褒美に%d[点]上げるわ@N",
                   house.reward);
      house.state = count > 0 ? 2 : 7;
      return 0;
    }
    case 2:
      if (DrawChoiceWindow(1, 0) == 1) {
        MessageTextId = -1;  // the first page starts afresh whatever text came before
        house.state = 3;
      }
      return 0;
    case 3:
    case 4:
    case 5: {
      DrawChoiceWindow(2, 22);
      int typed = DrawMessageText(501, house.textId, 294, 150, 200, 16, house.text + kTextFileLineBytes * house.page,
                                  player);
      if (typed != 0 && PageWaitDone(player, house.pageWait)) {
        house.page += 1;
        house.textId += 1;
        PlayEffect(1);
        if (house.state == 4) {
          for (int32_t slot = 0; slot < 2; ++slot)
            if (record->items[slot] >= 31 && record->items[slot] <= 35) record->items[slot] = 0;
          house.rewardOn = 1;
        }
        house.state += 1;
      }
      return 0;
    }
    case 6:
      if (DrawChoiceWindow(3, 0) == 1) house.state = 7;
      return 0;
    case 7:
      // The reward is counted in full before the event ends.
      if (house.rewardOn == 1) return 0;
      free(house.text);
      house.text = nullptr;
      for (int32_t p = 1; p <= 4; ++p) ShuffleSquareKinds(p);
      house.state = 0;
      return 1;
    default:
      house.state = 0;
      return 0;
  }
}

int RunRabbitDuel(int32_t player) {
  RabbitDuelRecord& duel = RabbitDuel;
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 1;
  bool cpu = record->cpuFlag != 0;
  if (duel.coinFlag == 1 && AnimateCoinChange(5, player) == 1) duel.coinFlag = 2;
  DrawAlphaBox(128, 192, 144, 448, 336, MakeScreenColor(0, 0, 0));
  DrawWindowFrame(192, 144, 448, 336);
  int32_t shownState = duel.state;
  switch (duel.state) {
    case 0:
      record->squareColour = 3;
      duel.pageWait = 0;
      duel.page = 0;
      duel.playerFrames = duel.playerFace = duel.playerRoll = 0;
      duel.rabbitFrames = duel.rabbitFace = duel.rabbitRoll = 0;
      duel.verdictFrames = 0;
      duel.cursor = 0;
      duel.cursorFrames = 0;
      duel.cpuChoice = 0;
      duel.itemGiven = 0;
      duel.coinFlag = 0;
      duel.textId = 100;
      duel.state = duel.mediaLoaded == 0 ? 1 : cpu ? 2 : 3;
      break;
    case 1:
      for (int32_t i = 0; i < 5; ++i) duel.pictures[i] = LoadEventPicture(kRabbitPicturePaths[i]);
      free(duel.text);
      duel.text = AllocateTextBuffer();
      LoadTextFile("media\\sugoroku\\brimwold\\rabbit.txt", duel.text);
      duel.mediaLoaded = 1;
      duel.state = cpu ? 2 : 3;
      break;
    case 2:
      duel.cpuChoice = 2;  // a CPU keeps its items
      duel.state = 3;
      break;
    case 3:
      if (duel.playerRoll == 0) {
        bool stop = cpu ? ++duel.playerFrames == 46 : IsNewButtonPress(player, kButtonA);
        if (stop) {
          duel.playerRoll = GetRandomNumber(9) + 1;
        } else {
          duel.playerFace = GetRandomNumber(9) + 1;
        }
      }
      if (duel.rabbitRoll == 0) {
        if (duel.rabbitFrames < 45) {
          duel.rabbitFace = GetRandomNumber(9) + 1;
        } else if (duel.rabbitFrames == 45) {
          duel.rabbitRoll = GetRandomNumber(6) + 2;
        }
        duel.rabbitFrames += 1;
      }
      if (duel.playerRoll != 0 && duel.rabbitRoll != 0) duel.state = 4;
      break;
    case 4: {
      int32_t f = duel.verdictFrames++;
      if (duel.playerRoll > duel.rabbitRoll) {
        if (f >= 40) duel.state = AreFirstTwoItemSlotsFull(player) ? 5 : 7;
      } else if (duel.playerRoll == duel.rabbitRoll) {
        if (f >= 100) duel.state = 0;  // a draw: the duel starts again
      } else if (f >= 45) {
        duel.state = 8;
      }
      break;
    }
    case 5: {
      DrawCentredText(320, 168 - 8, "どのアイテムを『破棄』しますか？", FontOfSize(16));
      DrawCentredText(320, 198, ItemName(record->items[0]), FontOfSize(20));
      DrawCentredText(320, 238, ItemName(record->items[1]), FontOfSize(20));
      DrawCentredText(320, 278, "難題アイテム", FontOfSize(20));
      DrawWindowFrame(224, 188 + 40 * duel.cursor, 416, 228 + 40 * duel.cursor);
      bool confirm = false;
      if (cpu) {
        if (++duel.cursorFrames >= 46) {
          duel.cursorFrames = 0;
          if (duel.cursor == duel.cpuChoice) {
            confirm = true;
          } else {
            duel.cursor = (duel.cursor + 2) % 3;
            PlayEffect(0);
          }
        }
      } else if (IsNewButtonPress(player, kButtonUp)) {
        duel.cursor = (duel.cursor + 2) % 3;
        PlayEffect(0);
      } else if (IsNewButtonPress(player, kButtonDown)) {
        duel.cursor = (duel.cursor + 1) % 3;
        PlayEffect(0);
      } else if (IsNewButtonPress(player, kButtonA)) {
        confirm = true;
      }
      if (confirm) {
        PlayEffect(1);
        if (duel.cursor == 2) {
          MessageTextId = -1;  // the first page starts afresh whatever text came before
          duel.state = 6;
        } else {
          record->items[duel.cursor] = 0;
          duel.state = 7;
        }
      }
      break;
    }
    case 6: {
      int typed = DrawMessageText(440, duel.textId, 200, 176, 304, 16, duel.text + kTextFileLineBytes * duel.page,
                                  player);
      if (typed != 0 && PageWaitDone(player, duel.pageWait)) {
        duel.page += 1;
        duel.textId += 1;
        if (duel.page > 2) {
          duel.coinFlag = 1;  // 5 coins instead of an item
          duel.state = 9;
        }
      }
      break;
    }
    case 7:
      DrawCentredText(320, 304, "難題のアイテムを入手しました", FontOfSize(16));
      if (PageWaitDone(player, duel.pageWait)) {
        GiveImpossibleRequest(*record);
        duel.coinFlag = 2;
        duel.state = 9;
      }
      break;
    case 8:
      DrawCentredText(320, 304, "うさぎだけに脱兎の如く逃げ出した", FontOfSize(16));
      if (PageWaitDone(player, duel.pageWait)) {
        duel.coinFlag = 2;
        duel.state = 9;
      }
      break;
    case 9:
      if (duel.coinFlag != 2) break;
      duel.state = 0;
      if (duel.itemGiven == 1 && record->square > 0 && record->square < kSquareCount)
        SquareTable[record->square].kind = kSquareBlue;
      FreeRabbitMedia();
      return 1;
    default:
      duel.state = 0;
      break;
  }
  if (shownState == 3 || shownState == 4 || shownState == 7 || shownState == 8) {
    int32_t font = FontOfSize(16);
    DrawCentredText(256, 176, "Player", font);
    DrawCentredText(384, 176, "Rabbit", font);
    DrawDieNumber(duel.playerRoll != 0 ? duel.playerRoll : duel.playerFace, 256, 240);
    DrawDieNumber(duel.rabbitRoll != 0 ? duel.rabbitRoll : duel.rabbitFace, 384, 240);
  }
  if (shownState == 4) DrawVerdict(duel.verdictFrames - 1);  // over the dice
  return 0;
}
