// The banquet and the other pass-through events.
#include "game/board/pass_events.h"

#include <cstdlib>
#include <cstring>

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/event_dialogue.h"
#include "game/board/landing_effects.h"
#include "game/shell/game_main.h"
#include "game/shell/item_table.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

char* BanquetText = nullptr;
int32_t MushroomState = 0;
int32_t OvrelleHouseState = 0;
int32_t BanquetState = 0;
int32_t PitfallState = 0;
int32_t ZanberiCoinState = 0;
int32_t FalseSquareState = 0;

int32_t BanquetHost = 0;
int32_t BanquetTextIndex = 0;
int32_t BanquetCurrentPlayer = 0;

namespace {

constexpr int32_t kEventTextBytes = kTextFileLines * kTextFileLineBytes;

PlayerRecord& Player(int32_t player) { return PlayerTable[(player >= 1 && player <= 4 ? player : 1) - 1]; }

bool IsCpu(int32_t player) { return Player(player).cpuFlag != 0; }

// A zeroed event text buffer; the program ends when there is no memory.
char* AllocateEventText() {
  char* buffer = static_cast<char*>(calloc(kEventTextBytes, 1));
  if (buffer == nullptr) {
    MessageBoxA(nullptr, "領域確保失敗", "メモリエラー", MB_OK);
    ExitGame(1, "event text");
  }
  return buffer;
}

const char* PageOf(const char* buffer, int32_t n) { return buffer + kTextFileLineBytes * n; }

// Puts the item into the first empty of slots 1 and 2 (nothing when both are full).
void GiveUsableItem(PlayerRecord& record, int32_t item) {
  for (int32_t slot = 0; slot < 2; ++slot)
    if (record.items[slot] == 0) {
      record.items[slot] = item;
      return;
    }
}

bool HoldsInFirstTwoSlots(const PlayerRecord& record, int32_t item) {
  return record.items[0] == item || record.items[1] == item;
}

// A text shown (not waited on) while a choice is made.
void ShowText(int32_t textId, const char* text, int32_t player) {
  DrawMessageText(kEventTextRight, textId, kEventTextLeft, kEventTextTop, kEventTextBottom, kEventTextSize, text,
                  player);
}

// The working values every event keeps: its page, choice and text id.
struct EventWork {
  EventPageRecord page;
  EventChoiceRecord choice;
  int32_t textId;
};

void StartWork(EventWork& w, int32_t cpuDecision) {
  w = EventWork{};
  w.textId = 1;
  ResetEventChoice(&w.choice, cpuDecision);
  RestartEventText();
}

// The page under way; the text id steps on once it has ended.
int Page(EventWork& w, const char* text, int32_t player) {
  if (RunEventPage(&w.page, w.textId, text, player) != 1) return 0;
  ++w.textId;
  return 1;
}

// A coin change animated once a frame until it ends, on its own state.
struct CoinChange {
  bool on;
  int32_t amount;
  int32_t player;
  int32_t counter, state;
};

// Starts a loss of at most the coins held: the amount taken.
int32_t StartLoss(CoinChange& change, int32_t player, int32_t loss) {
  change = CoinChange{true, CoinChangeWithinHeld(player, -loss), player, 0, 0};
  return change.amount;
}

void StartGain(CoinChange& change, int32_t player, int32_t gain) { change = CoinChange{true, gain, player, 0, 0}; }

void StepCoinChange(CoinChange& change) {
  if (change.on && AnimateCoinChangeWithState(change.amount, change.player, &change.counter, &change.state) == 1)
    change.on = false;
}

// The board and the status panels drawn again for the player.
void RedrawBoardFor(int32_t player) {
  DrawBoard(player);
  AssignPlacements();
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
}

// ---------------------------------------------------------------- the mushroom

constexpr int32_t kMushroomTop = 134, kMushroomBottom = 326, kMushroomLeft = 192, kMushroomRight = 448;
int MushroomWindow(int32_t command) {
  return DrawAnimatedWindow(kMushroomTop, kMushroomBottom, kMushroomLeft, kMushroomRight, 20, command);
}
EventWork MushroomWork{};
bool MushroomSlotsFull = false;

// ---------------------------------------------------------------- ovrelle's house

const char kOvrelleText[] = "media\\sugoroku\\thornyle\\ovrelle.txt";
const int32_t kOvrelleGifts[3] = {1, 6, 7};
char* OvrelleText = nullptr;
EventWork OvrelleWork{};
CoinChange OvrelleFee{};
bool OvrelleHasMushroom = false;
int32_t OvrelleMushrooms = 0;  // removed for the gifts
int32_t OvrelleGiven = 0;
int32_t OvrelleGift = 0;

// Draws the next gift (1, 6 or 7) and writes its line over page 3.
void PrepareOvrelleGift() {
  OvrelleGift = kOvrelleGifts[GetRandomNumber(2)];
  FormatString(OvrelleText + 3 * kTextFileLineBytes, kTextFileLineBytes,
               OvrelleGiven == 0 ? "えっと「%s」のようね@N" : "次は「%s」ね@N", ItemTable[OvrelleGift].name);
}

// ---------------------------------------------------------------- the banquet

const char* const kBanquetKeys[kBanquetTexts] = {"banquet", "anseri", "bofine", "yuxta"};
EventWork BanquetWork{};
CoinChange BanquetPayment{};  // the current player's payment
CoinChange BanquetCredit{};   // the host's share of a guest's payment
int32_t BanquetFade = 0;
bool BanquetEnding = false;
bool BanquetGuestJoined = false;

// The player of banquet text f: the host for text 0, then the other three
// players in player order.
int32_t BanquetPlayerOf(int32_t text) {
  if (text == 0) return BanquetHost;
  int32_t seen = 0;
  for (int32_t q = 1; q <= 4; ++q)
    if (q != BanquetHost && ++seen == text) return q;
  return 0;
}

int32_t BanquetPortrait(int32_t text) { return text <= 1 ? 17 : text == 2 ? 18 : 19; }

const char* BanquetPage(int32_t text, int32_t page) {
  return BanquetText + kBanquetPages * kBanquetPageBytes * text + kBanquetPageBytes * page;
}

int32_t FirstBanquetSquare() {
  for (int32_t s = 1; s < kSquareCount; ++s)
    if (SquareTable[s].kind == kSquareBanquet) return s;
  return 0;
}

// ---------------------------------------------------------------- the pitfall and zanberi's coins

const char kPitfallText[] = "media\\sugoroku\\brimwold\\pikolda.txt";
char* PitfallText = nullptr;
EventWork PitfallWork{};

bool IsImpossibleRequestItem(int32_t item) { return item >= 31 && item <= 35; }

// Hands the impossible-request items of slots 1 and 2 back: each becomes
// available to the rabbit duel again and turns a blue square among 1 to 25
// into a rabbit square (none when no such square is blue).
void ReturnImpossibleRequestItems(PlayerRecord& record) {
  for (int32_t slot = 0; slot < 2; ++slot) {
    int32_t item = record.items[slot];
    if (!IsImpossibleRequestItem(item)) continue;
    record.items[slot] = 0;
    ImpossibleRequestGiven[item - 30] = 0;
    bool anyBlue = false;
    for (int32_t s = 1; s <= 25; ++s) anyBlue |= SquareTable[s].kind == kSquareBlue;
    if (!anyBlue) {
      WriteErrorLogFormat("青マスがないのでうさぎマスを増やせません");
      continue;
    }
    int32_t square;
    do {
      square = GetRandomNumber(24) + 1;
    } while (SquareTable[square].kind != kSquareBlue);
    SquareTable[square].kind = kSquareRabbit;
  }
}

const char kZanberiText[] = "media\\sugoroku\\brimwold\\zanberi.txt";
char* ZanberiText = nullptr;
EventWork ZanberiWork{};
CoinChange ZanberiFee{};

}  // namespace

// ---------------------------------------------------------------- the mushroom

int RunMushroomPickUp(int32_t player) {
  PlayerRecord& record = Player(player);
  switch (MushroomState) {
    case 0:
    case 1:  // idle frames, on the first visit only
      ++MushroomState;
      return 0;
    case 2:
      MushroomSlotsFull = AreFirstTwoItemSlotsFull(player);
      // A CPU picks the mushroom when it has room for it.
      StartWork(MushroomWork, MushroomSlotsFull ? 1 : 0);
      MushroomState = 3;
      return 0;
    case 3:
      if (MushroomWindow(1) == 1) MushroomState = 4;
      return 0;
    case 4:
      MushroomWindow(2);
      if (MushroomSlotsFull) {
        DrawCentredEventText(214, "何もない…ッ！何も…");
        if (PageWaitDone(&MushroomWork.page.wait, player, kCpuPageFrames)) MushroomState = 5;
        return 0;
      }
      DrawCentredEventText(158, "きのこが生えています");
      DrawCentredEventText(182, "拾いますか？");
      switch (RunEventChoice(&MushroomWork.choice, player, "はい", "いいえ")) {
        case 1:
          GiveUsableItem(record, kMushroomItem);
          MushroomState = 5;
          break;
        case 2:
          MushroomState = 5;
          break;
        default:
          break;
      }
      return 0;
    default:
      if (MushroomWindow(3) == 1) {
        MushroomState = 2;
        return 1;
      }
      return 0;
  }
}

// ---------------------------------------------------------------- ovrelle's house

int RunOvrelleHouse(int32_t player) {
  PlayerRecord& record = Player(player);
  StepCoinChange(OvrelleFee);
  EventWork& w = OvrelleWork;
  switch (OvrelleHouseState) {
    case 0:
      OvrelleText = AllocateEventText();
      LoadTextFile(kOvrelleText, OvrelleText);
      OvrelleHasMushroom = HoldsInFirstTwoSlots(record, kMushroomItem);
      OvrelleMushrooms = 0;
      OvrelleGiven = 0;
      // A CPU asks when it brings a mushroom.
      StartWork(w, OvrelleHasMushroom ? 0 : 1);
      OvrelleHouseState = 1;
      return 0;
    case 1:
      if (DrawChoiceWindow(1, 0) == 1) OvrelleHouseState = OvrelleHasMushroom ? 3 : 2;
      return 0;
    case 2:  // nobody answers
      DrawChoiceWindow(2, 0);
      DrawCentredEventText(190, "ﾄﾝﾄﾝ");
      DrawCentredEventText(222, "へんじがない。ただのあきやのようだ");
      if (PageWaitDone(&w.page.wait, player, kCpuPageFrames)) OvrelleHouseState = 9;
      return 0;
    case 3:
      DrawChoiceWindow(2, kOvrellePortrait);
      if (Page(w, PageOf(OvrelleText, 0), player) == 1) OvrelleHouseState = 4;
      return 0;
    case 4: {
      DrawChoiceWindow(2, kOvrellePortrait);
      ShowText(w.textId, PageOf(OvrelleText, 1), player);
      int choice = RunEventChoice(&w.choice, player, "お願いする", "断る");
      if (choice == 0) return 0;
      ++w.textId;
      if (choice == 2) {
        OvrelleHouseState = 8;
        return 0;
      }
      StartLoss(OvrelleFee, player, kOvrelleFee);
      for (int32_t slot = 0; slot < 2; ++slot)
        if (record.items[slot] == kMushroomItem) {
          record.items[slot] = 0;
          ++OvrelleMushrooms;
        }
      StrCopy(OvrelleText + 2 * kTextFileLineBytes, kTextFileLineBytes,
              record.character == 1 ? "こういう事はあなたが担当するような気がするけど@N"
                                    : "こういう事はベルノーラが担当するような気がするけど@N");
      OvrelleHouseState = 5;
      return 0;
    }
    case 5:
      DrawChoiceWindow(2, kOvrellePortrait);
      if (Page(w, PageOf(OvrelleText, 2), player) == 1) {
        if (OvrelleMushrooms > 0) PrepareOvrelleGift();
        OvrelleHouseState = OvrelleMushrooms > 0 ? 7 : 8;
      }
      return 0;
    case 7:  // a gift for each mushroom
      DrawChoiceWindow(2, kOvrellePortrait);
      if (Page(w, PageOf(OvrelleText, 3), player) == 1) {
        GiveUsableItem(record, OvrelleGift);
        if (++OvrelleGiven < OvrelleMushrooms) {
          PrepareOvrelleGift();
        } else {
          OvrelleHouseState = 8;
        }
      }
      return 0;
    case 8:
      DrawChoiceWindow(2, kOvrellePortrait);
      if (Page(w, PageOf(OvrelleText, 4), player) == 1) OvrelleHouseState = 9;
      return 0;
    case 9:
      if (DrawChoiceWindow(3, 0) == 1) OvrelleHouseState = 10;
      return 0;
    default:
      // The event ends once the fee has been counted.
      if (OvrelleFee.on) return 0;
      free(OvrelleText);
      OvrelleText = nullptr;
      OvrelleHouseState = 0;
      return 1;
  }
}

// ---------------------------------------------------------------- the banquet

void BuildBanquetText() {
  if (BanquetText == nullptr) return;
  memset(BanquetText, 0, kBanquetTextBytes);
  constexpr char kEnd = static_cast<char>(0xFF);
  for (int32_t f = 0; f < kBanquetTexts; ++f) {
    char path[64];
    FormatString(path, sizeof path, "media\\sugoroku\\cadris\\%s.txt", kBanquetKeys[f]);
    FileId file = FileStreamOpenRead(path, 0);
    if (file == 0) {
      // Its pages stay empty: each ends at once.
      WriteErrorLogFormat("%s が開けません", path);
      continue;
    }
    bool end = false, cut = false;
    for (int32_t n = 0; n < kBanquetPages && !end; ++n) {
      char* page = BanquetText + kBanquetPages * kBanquetPageBytes * f + kBanquetPageBytes * n;
      int32_t length = 0;
      bool full = false;
      // Appends a whole character when it fits in the page's 99 bytes.
      auto append = [&](const char* bytes, int32_t count) {
        if (full || length + count > kBanquetPageBytes - 1) {
          full = true;
          return;
        }
        memcpy(page + length, bytes, static_cast<size_t>(count));
        length += count;
      };
      for (;;) {
        char c = FileStreamGetChar(file);
        if (c == kEnd) {
          end = true;
          break;
        }
        if (c == '\n' || c == '\r') continue;
        if (c == '@' || static_cast<unsigned char>(c) > 127) {
          char pair[2] = {c, FileStreamGetChar(file)};
          if (pair[1] == kEnd) {  // a character cut off by the end of the file
            end = true;
            break;
          }
          append(pair, 2);
          if (c == '@' && pair[1] == 'N') break;
          continue;
        }
        append(&c, 1);
      }
      cut |= full;
    }
    if (cut) WriteErrorLogFormat("%s: 99 バイトを超えるページを切り詰めました", path);
    FileStreamClose(file);
  }
}

int RunBanquet(int32_t player) {
  StepCoinChange(BanquetPayment);
  StepCoinChange(BanquetCredit);
  if (BanquetCurrentPlayer != 0) RedrawBoardFor(BanquetCurrentPlayer);
  EventWork& w = BanquetWork;
  int32_t current = BanquetCurrentPlayer;
  switch (BanquetState) {
    case 0:
      BanquetState = 1;
      return 0;
    case 1:
      BanquetText = static_cast<char*>(calloc(kBanquetTextBytes, 1));
      if (BanquetText == nullptr) {
        WriteErrorLogFormat("宴会のテキストの領域を確保できません");
        return -1;
      }
      BuildBanquetText();
      BanquetState = 2;
      return 0;
    case 2:
      BanquetHost = player;
      BanquetTextIndex = 0;
      BanquetCurrentPlayer = 0;
      BanquetPayment = CoinChange{};
      BanquetCredit = CoinChange{};
      BanquetEnding = false;
      BanquetState = 3;
      return 0;
    case 3:  // a turn starts
      BanquetCurrentPlayer = BanquetPlayerOf(BanquetTextIndex);
      BanquetGuestJoined = false;
      BanquetFade = 0;
      CenterCameraOnPlayer(BanquetCurrentPlayer);
      StartWork(w, 1);
      BanquetState = IsCpu(BanquetCurrentPlayer) ? 4 : 5;
      return 0;
    case 4: {  // a CPU decides
      int32_t coins = Player(current).coins;
      bool accept;
      if (BanquetTextIndex == 0)
        accept = coins > 30 && GetRandomNumber(4) == 0;
      else if (coins >= 30)
        accept = GetRandomNumber(1) == 0;
      else
        accept = GetRandomNumber(60 - coins) != 0;
      ResetEventChoice(&w.choice, accept ? 0 : 1);
      BanquetState = 5;
      return 0;
    }
    case 5:
      if (DrawChoiceWindow(1, 0) == 1) BanquetState = 6;
      return 0;
    case 6:
      DrawChoiceWindow(2, BanquetPortrait(BanquetTextIndex));
      if (Page(w, BanquetPage(BanquetTextIndex, 0), current) == 1)
        BanquetState = Player(current).coins < kBanquetFee ? 7 : 8;
      return 0;
    case 7:  // too few coins: the whole banquet ends
      DrawChoiceWindow(2, BanquetPortrait(BanquetTextIndex));
      if (Page(w, BanquetPage(BanquetTextIndex, 1), current) == 1) {
        BanquetEnding = true;
        BanquetState = 11;
      }
      return 0;
    case 8: {
      DrawChoiceWindow(2, BanquetPortrait(BanquetTextIndex));
      ShowText(w.textId, BanquetPage(BanquetTextIndex, 2), current);
      int choice = RunEventChoice(&w.choice, current, BanquetTextIndex == 0 ? "開催する" : "参加する", "断る");
      if (choice == 0) return 0;
      ++w.textId;
      BanquetState = choice == 1 ? 9 : 10;
      return 0;
    }
    case 9:  // accepted: the fee; a guest's goes to the host, and the guest comes over
      DrawChoiceWindow(2, BanquetPortrait(BanquetTextIndex));
      if (Page(w, BanquetPage(BanquetTextIndex, 3), current) == 1) {
        int32_t paid = StartLoss(BanquetPayment, current, kBanquetFee);
        if (current != BanquetHost) {
          StartGain(BanquetCredit, BanquetHost, -paid);
          BanquetGuestJoined = true;
        }
        BanquetState = 11;
      }
      return 0;
    case 10:  // declined: a host ends the banquet, a guest pays the host 5 coins
      DrawChoiceWindow(2, BanquetPortrait(BanquetTextIndex));
      if (Page(w, BanquetPage(BanquetTextIndex, 4), current) == 1) {
        if (current == BanquetHost) {
          BanquetEnding = true;
        } else {
          int32_t paid = StartLoss(BanquetPayment, current, kBanquetDeclineFee);
          StartGain(BanquetCredit, BanquetHost, -paid);
        }
        BanquetState = 11;
      }
      return 0;
    case 11:
      if (DrawChoiceWindow(3, 0) == 1) BanquetState = BanquetGuestJoined ? 12 : 14;
      return 0;
    case 12:  // the guest is carried to the banquet square in the dark
      BanquetFade += 5;
      if (BanquetFade >= 255) {
        BanquetFade = 255;
        int32_t square = FirstBanquetSquare();
        if (square != 0) {
          PlayerRecord& guest = Player(current);
          guest.square = square;
          guest.prevSquare = 40;
          guest.x = SquareTable[square].x;
          guest.y = SquareTable[square].y;
          CenterCameraOnPlayer(current);
        }
        BanquetState = 13;
      }
      DrawAlphaBox(BanquetFade, 0, 0, 640, 480, MakeScreenColor(0, 0, 0));
      return 0;
    case 13:
      BanquetFade -= 5;
      if (BanquetFade <= 0) {
        BanquetFade = 0;
        BanquetState = 14;
      }
      DrawAlphaBox(BanquetFade, 0, 0, 640, 480, MakeScreenColor(0, 0, 0));
      return 0;
    case 14:  // the next turn, once the coins are counted
      if (BanquetPayment.on || BanquetCredit.on) return 0;
      if (BanquetEnding || BanquetTextIndex == kBanquetTexts - 1) {
        BanquetState = 15;
      } else {
        ++BanquetTextIndex;
        BanquetState = 3;
      }
      return 0;
    default:
      free(BanquetText);
      BanquetText = nullptr;
      BanquetCurrentPlayer = 0;
      CenterCameraOnPlayer(BanquetHost);
      BanquetState = 0;
      return 1;
  }
}

// ---------------------------------------------------------------- the pitfall

int RunPitfall(int32_t player) {
  PlayerRecord& record = Player(player);
  EventWork& w = PitfallWork;
  switch (PitfallState) {
    case 0:
      PitfallText = AllocateEventText();
      LoadTextFile(kPitfallText, PitfallText);
      StartWork(w, 0);
      PitfallState = 1;
      return 0;
    case 1:
      if (DrawChoiceWindow(1, 0) == 1) PitfallState = 2;
      return 0;
    case 2:
      DrawChoiceWindow(2, kPitfallPortrait);
      if (Page(w, PageOf(PitfallText, 0), player) == 1) {
        record.moveCount = 0;
        bool returning = false;
        for (int32_t slot = 0; slot < 2; ++slot) returning |= IsImpossibleRequestItem(record.items[slot]);
        if (returning) ReturnImpossibleRequestItems(record);
        PitfallState = returning ? 3 : 4;
      }
      return 0;
    case 3:
      DrawChoiceWindow(2, kPitfallPortrait);
      if (Page(w, PageOf(PitfallText, 1), player) == 1) PitfallState = 4;
      return 0;
    case 4:
      DrawChoiceWindow(2, kPitfallPortrait);
      if (Page(w, PageOf(PitfallText, 2), player) == 1) PitfallState = 5;
      return 0;
    default:
      if (DrawChoiceWindow(3, 0) != 1) return 0;
      free(PitfallText);
      PitfallText = nullptr;
      WanderingSquareMove = 1;
      PitfallState = 0;
      return 1;
  }
}

// ---------------------------------------------------------------- zanberi's coins

int RunZanberiCoinEvent(int32_t player) {
  PlayerRecord& record = Player(player);
  StepCoinChange(ZanberiFee);
  EventWork& w = ZanberiWork;
  switch (ZanberiCoinState) {
    case 0: {
      ZanberiText = AllocateEventText();
      LoadTextFile(kZanberiText, ZanberiText);
      // A CPU with 26 coins or more joins, 1 chance in 3.
      bool join = IsCpu(player) && record.coins >= 26 && GetRandomNumber(2) == 0;
      StartWork(w, join ? 0 : 1);
      ZanberiCoinState = 1;
      return 0;
    }
    case 1:
      if (DrawChoiceWindow(1, 0) == 1) ZanberiCoinState = 2;
      return 0;
    case 2:
      DrawChoiceWindow(2, kZanberiPortrait);
      if (Page(w, PageOf(ZanberiText, 0), player) == 1) ZanberiCoinState = 3;
      return 0;
    case 3: {
      DrawChoiceWindow(2, kZanberiPortrait);
      ShowText(w.textId, PageOf(ZanberiText, 1), player);
      int choice = RunEventChoice(&w.choice, player, "参加する", "断る");
      if (choice == 0) return 0;
      ++w.textId;
      if (choice == 2) {
        ZanberiCoinState = 7;
      } else if (record.coins >= kZanberiFee) {
        StartLoss(ZanberiFee, player, kZanberiFee);
        ZanberiCoinState = 4;
      } else {
        ZanberiCoinState = 6;
      }
      return 0;
    }
    case 4:  // joined: then the house
      DrawChoiceWindow(2, kZanberiPortrait);
      if (Page(w, PageOf(ZanberiText, 3), player) == 1) ZanberiCoinState = 5;
      return 0;
    case 5:
      if (DrawChoiceWindow(3, 0) == 1) ZanberiCoinState = 8;
      return 0;
    case 6:  // too few coins
      DrawChoiceWindow(2, kZanberiPortrait);
      if (Page(w, PageOf(ZanberiText, 2), player) == 1) ZanberiCoinState = 7;
      return 0;
    case 7:
      DrawChoiceWindow(2, kZanberiPortrait);
      if (Page(w, PageOf(ZanberiText, 4), player) == 1) ZanberiCoinState = 9;
      return 0;
    case 8:
      // The house counts coins of its own: it starts once the fee is counted.
      if (ZanberiFee.on) return 0;
      if (RunHouseEvent(player) == 1) ZanberiCoinState = 10;
      return 0;
    case 9:
      if (DrawChoiceWindow(3, 0) == 1) ZanberiCoinState = 10;
      return 0;
    default:
      if (ZanberiFee.on) return 0;
      free(ZanberiText);
      ZanberiText = nullptr;
      ZanberiCoinState = 0;
      return 1;
  }
}

// ---------------------------------------------------------------- the false square

int RunFalseSquare(int32_t player) {
  if (FalseSquareState < 3) {  // idle frames, on the first visit only
    ++FalseSquareState;
    return 0;
  }
  PlayerRecord& record = Player(player);
  int32_t s = record.square;
  int32_t target = s;
  if ((s >= 26 && s <= 30) || (s >= 36 && s <= 40))
    target = s + 5;
  else if ((s >= 31 && s <= 35) || (s >= 41 && s <= 45))
    target = s - 5;
  if (target >= 1 && target < kSquareCount) {
    record.square = target;
    record.x = SquareTable[target].x;
    record.y = SquareTable[target].y;
  }
  if (target != s) RedrawBoardFor(player);
  return 1;
}
