// The party opening: map introduction, line-up and turn-order draw.
#include "game/board/party_opening.h"

#include <cstdlib>

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

int32_t PartyOpeningState = 0;
int32_t PrincessIntroState = 0;
int32_t GemGuideIntroState = 0;
int32_t BanquetHostIntroState = 0;
int32_t IntroTextIndex = 0;
int32_t IntroAlpha = 0;
int32_t IntroSecondAlpha = 0;
int32_t IntroOverlayClearing = 0;
int32_t IntroSecondShowing = 0;

int32_t TurnOrderDrawStep = 0;
char* OrderTextLines = nullptr;
int32_t OrderDraws[5] = {};
int32_t NextOrderNumber = 1;
int32_t DieShowCounters[5] = {};
int32_t CpuDrawWait[5] = {};
int32_t OrderCoinsCounted = 0;
char OrderAnnouncement[64] = {};

namespace {

constexpr int32_t kPrincessPortrait = 6;
constexpr int32_t kGemGuidePortrait = 4;
constexpr int32_t kBanquetHostPortrait = 5;

uint32_t Black() { return MakeScreenColor(0, 0, 0); }

void DrawBlackScreen() { DrawRectangleShape(0, 0, 640, 480, Black(), 1); }

// One frame of an introduction's text in the dialogue box.
int IntroText(const char* text) { return DrawMessageText(576, 1, 176, 368, 448, 20, text, 1); }

// The last fade of an introduction: the final result picture comes in from
// black, 5 a frame, under the dialogue box. True once it is clear.
bool FadeInFinalPicture(int32_t portrait) {
  IntroAlpha -= 5;
  DrawGraphAt(0, 0, FinalResultPicture, 0);
  DrawAlphaBox(IntroAlpha, 0, 0, 640, 480, Black());
  DrawDialogueBox(portrait);
  return IntroAlpha < 1;
}

// The introduction's last frame: the picture and the dialogue box.
int FinishIntro(int32_t* state, int32_t portrait) {
  *state = 0;
  DrawGraphAt(0, 0, FinalResultPicture, 0);
  DrawDialogueBox(portrait);
  return 1;
}

// The gem markers of the warp squares whose numbers lie in one of the two
// ranges, on the overview (the board at a fifth of its size from (80, 32));
// pair k wears stone picture k.
void DrawGemMarkers(int32_t first1, int32_t last1, int32_t first2, int32_t last2) {
  for (int32_t i = 0; i < 10; ++i) {
    int32_t square = WarpPairs[i];
    if (!((square >= first1 && square <= last1) || (square >= first2 && square <= last2))) continue;
    int32_t x = 80 - static_cast<int32_t>(SquareTable[square].x / -5.0);
    int32_t y = 32 - static_cast<int32_t>(SquareTable[square].y / -5.0);
    DrawGraphRotated(x, y, 1.0, 0.0, StonePictures[i / 2], 1, 0);
  }
}

// The gem guide's picture: overview 1 with its gems, overview 2 with its
// gems coming in at the second alpha, and the black overlay over both.
void DrawGemOverviews() {
  DrawBlackScreen();
  DrawGraphRotated(320, 240, 1.0, 0.0, MansionMapPictures[2], 1, 0);
  DrawGemMarkers(1, 22, 59, 62);
  SetDrawBlend(1, IntroSecondAlpha);
  DrawBlackScreen();
  DrawGraphRotated(320, 240, 1.0, 0.0, MansionMapPictures[3], 1, 0);
  DrawGemMarkers(24, 58, 63, 68);
  SetDrawBlend(0, 255);
  DrawAlphaBox(IntroAlpha, 0, 0, 640, 480, Black());
}

// ---------------------------------------------------------------- the turn-order draw

int OrderText(int32_t textId, const char* text) { return DrawMessageText(608, textId, 176, 368, 448, 20, text, 1); }

const char* OrderLine(int32_t line) { return OrderTextLines + kOrderTextLineBytes * line; }

// A number 1 to 10 that nobody has drawn yet. At most three are drawn when
// a player stops, so one is always left.
int32_t DrawDistinctNumber() {
  auto taken = [](int32_t n) {
    for (int32_t p = 1; p <= 4; ++p)
      if (OrderDraws[p] == n) return true;
    return false;
  };
  int32_t n;
  do {
    n = GetRandomNumber(9) + 1;
  } while (taken(n));
  return n;
}

// The player with the highest number among those without a turn position,
// 0 when none is left.
int32_t HighestUnplacedPlayer() {
  int32_t best = 0, player = 0;
  for (int32_t p = 1; p <= 4; ++p)
    if (PlayerTable[p - 1].turnOrder == 0 && OrderDraws[p] > best) {
      best = OrderDraws[p];
      player = p;
    }
  return player;
}

void Announce(int32_t position, int32_t player) {
  FormatString(OrderAnnouncement, sizeof OrderAnnouncement, "%d番目はプレイヤー%dです@N", position, player);
}

// The dice above the line-up while their turn position's counter lasts:
// the number drawn, or while rolling (when `rolling`) a new number a frame.
void DrawOrderDice(bool rolling) {
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t position = PlayerTable[p - 1].turnOrder;
    if (position < 0 || position > 4 || DieShowCounters[position] == 0) continue;
    int32_t value = OrderDraws[p];
    if (value == 0) {
      if (!rolling) continue;
      value = GetRandomNumber(9) + 1;
    }
    DrawDieNumber(value, 160 + 106 * (p - 1), 240);
  }
}

// The panels of the turn positions given so far (a position nobody holds
// has no panel).
void DrawOrderPanels() {
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
}

// Whether player p stops the die this frame: a human with a new press of A
// on its own input record, a CPU after 31 frames with a chance of 1 in 31 a
// frame.
bool StopsDie(int32_t p) {
  if (PlayerTable[p - 1].cpuFlag == 0) return IsNewButtonPress(p, kButtonA);
  if (CpuDrawWait[p] < 31) {
    ++CpuDrawWait[p];
    return false;
  }
  return GetRandomNumber(30) == 0;
}

bool MenuPressOfA() { return IsNewButtonPress(1, kButtonA); }

}  // namespace

// ---------------------------------------------------------------- the opening

int RunPartyOpening() {
  switch (PartyOpeningState) {
    case 0:
      PartyOpeningState = 2;
      return 0;
    case 2:
      if (RunMapIntroduction(CurrentMapId) != 0) PartyOpeningState = 3;
      return 0;
    case 3:
      DrawOpeningLineUp();
      if (RunTurnOrderDraw(CurrentMapId) == 1) PartyOpeningState = 4;
      return 0;
    case 4:
      PartyOpeningState = 0;
      return 1;
    default:  // a state no step leads to: start over
      PartyOpeningState = 0;
      return 0;
  }
}

void DrawOpeningLineUp() {
  DrawGraphAt(0, 0, FinalResultPicture, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t character = PlayerTable[p - 1].character;
    if (character < 0 || character >= kCharacterCount) continue;
    DrawGraphRotated(160 + 106 * (p - 1), 320, 1.0, 0.0, CharacterImageTable[character][1], 1, 0);
  }
}

// ---------------------------------------------------------------- introductions

int RunMapIntroduction(int32_t map) {
  switch (map) {
    case 1:
    case 2:
    case 5:
    case 6:
    case 7:
      return RunGemGuideIntro();
    case 3:
      return RunBanquetHostIntro();
    case 4:
      return RunPrincessRequestIntro();
    default:  // no host: nothing to introduce
      return 1;
  }
}

int RunPrincessRequestIntro() {
  static const char* const kTexts[4] = {
      "いきなりで悪いのだけどお願いがあるの@F",
      "ピコルダが姫様の難題の品を盗んでいってしまったの@F",
      "ネブロッサに逃げ込んだらしいからよかったら難題の品を集めてきてくれないかしら@C勿論お礼はするわ@F",
      "竹林は迷子になりやすいから気をつけてね@F",
  };
  if (UpdateFade() == 1) PrincessIntroState = 6;
  if (PrincessIntroState == 0) {
    IntroTextIndex = 0;
    IntroAlpha = 255;
    PrincessIntroState = 3;
  }
  DrawBlackScreen();
  DrawAlphaBox(IntroAlpha, 0, 0, 640, 480, Black());
  switch (PrincessIntroState) {
    case 3:
      DrawDialogueBox(kPrincessPortrait);
      if (IntroText(kTexts[IntroTextIndex]) != 0 && ++IntroTextIndex >= 4) PrincessIntroState = 5;
      return 0;
    case 5:
      if (FadeInFinalPicture(kPrincessPortrait)) PrincessIntroState = 6;
      return 0;
    case 6:
      return FinishIntro(&PrincessIntroState, kPrincessPortrait);
    default:  // a step no state leads to: start over
      PrincessIntroState = 0;
      return 0;
  }
}

int RunGemGuideIntro() {
  static const char* const kTexts[4] = {
      "こんにちは～@F",
      "それでは私グラヴォネがこのマップの特徴などを説明させてもらいますよ@F",
      "このマップではあちらこちらに宝石があります。@Cそれぞれ宝石は色が同じもの同士が繋がっています@F",
      "宝石をうまく使いこなすことが勝利の秘訣です。@Cただし使いすぎには気をつけてくださいね@F",
  };
  if (UpdateFade() == 1) GemGuideIntroState = 6;
  switch (GemGuideIntroState) {
    case 0:
      IntroTextIndex = 0;
      IntroAlpha = 255;
      IntroSecondAlpha = 0;
      IntroOverlayClearing = 0;
      IntroSecondShowing = 0;
      GemGuideIntroState = 3;
      return 0;
    case 3:
      if (IntroOverlayClearing) IntroAlpha = IntroAlpha > 5 ? IntroAlpha - 5 : 0;
      if (IntroSecondShowing) IntroSecondAlpha = IntroSecondAlpha < 253 ? IntroSecondAlpha + 2 : 255;
      DrawGemOverviews();
      DrawDialogueBox(kGemGuidePortrait);
      if (IntroText(kTexts[IntroTextIndex]) != 0) {
        ++IntroTextIndex;
        IntroOverlayClearing = 1;  // the overlay clears after the first text
        if (IntroTextIndex == 2) IntroSecondShowing = 1;
        if (IntroTextIndex >= 4) GemGuideIntroState = 4;
      }
      return 0;
    case 4:
      IntroAlpha += 5;
      if (IntroAlpha >= 255) {
        IntroAlpha = 255;
        GemGuideIntroState = 5;
      }
      DrawGemOverviews();
      DrawDialogueBox(kGemGuidePortrait);
      return 0;
    case 5:
      if (FadeInFinalPicture(kGemGuidePortrait)) GemGuideIntroState = 6;
      return 0;
    case 6:
      return FinishIntro(&GemGuideIntroState, kGemGuidePortrait);
    default:
      GemGuideIntroState = 0;
      return 0;
  }
}

int RunBanquetHostIntro() {
  static const char* const kTexts[3] = {
      "あら、いらっしゃい@C@Rこのキャドリスマップでは、私ペロナントが司会を担当しますわ@F",
      "貴方達はブラモルテという桜をご存知かしら@Pあの桜には封印があって、前にソムニカの春を集めたけど咲かせることが出来な"
      "かったの@C@Rだから今回は宴会を開いてみたわ！@P・・・@Cあらだって、桜も宴会の喧騒とお酒に誘われて起きるかもし"
      "れないじゃない@P桜の前にいる騒霊に話は通してあるから良かったら開いてみるといいわ@F",
      "それではマップと一緒に宴会など開いて楽しんいってね@F",
  };
  if (UpdateFade() == 1) BanquetHostIntroState = 6;
  DrawBlackScreen();
  switch (BanquetHostIntroState) {
    case 0:
      IntroTextIndex = 0;
      IntroAlpha = 0;
      BanquetHostIntroState = 3;
      return 0;
    case 3:
      DrawGraphRotated(320, 240, 1.0, 0.0, BanquetMapPictures[2], 1, 0);
      DrawDialogueBox(kBanquetHostPortrait);
      if (IntroText(kTexts[IntroTextIndex]) == 1 && ++IntroTextIndex >= 3) BanquetHostIntroState = 4;
      return 0;
    case 4:
      IntroAlpha += 5;
      DrawGraphRotated(320, 240, 1.0, 0.0, BanquetMapPictures[2], 1, 0);
      DrawAlphaBox(IntroAlpha, 0, 0, 640, 480, Black());
      DrawDialogueBox(kBanquetHostPortrait);
      if (IntroAlpha >= 255) {
        IntroAlpha = 255;
        BanquetHostIntroState = 5;
      }
      return 0;
    case 5:
      if (FadeInFinalPicture(kBanquetHostPortrait)) BanquetHostIntroState = 6;
      return 0;
    case 6:
      return FinishIntro(&BanquetHostIntroState, kBanquetHostPortrait);
    default:
      BanquetHostIntroState = 0;
      return 0;
  }
}

// ---------------------------------------------------------------- the turn-order draw

void LoadOrderText(int32_t map) {
  char key[16] = "";
  char path[64];
  GetBoardFolderName(map, key);
  FormatString(path, sizeof path, "media\\text\\order\\%s.txt", key);
  FileId file = FileStreamOpenRead(path, 0);
  if (file == 0) {
    WriteErrorLogFormat("%s が開けません", path);
    MessageBoxA(nullptr, "読み込みできませんでした", "error", 0);
    ExitGame(-1, path);
  }
  if (OrderTextLines != nullptr) {
    char work[kOrderTextLineBytes];
    if (ReadTextLines(file, OrderTextLines, kOrderTextLines, kOrderTextLineBytes, work))
      WriteErrorLogFormat("%s: 59 バイトを超える行を切り詰めました", path);
  }
  FileStreamClose(file);
}

int RunTurnOrderDraw(int32_t map) {
  if (UpdateFade() == 1) TurnOrderDrawStep = 8;
  switch (TurnOrderDrawStep) {
    case 0:
      for (int32_t& counter : DieShowCounters) counter = 250;
      for (int32_t& draw : OrderDraws) draw = 0;
      NextOrderNumber = 1;
      for (PlayerRecord& player : PlayerTable) player.turnOrder = 0;
      for (int32_t& wait : CpuDrawWait) wait = 0;
      OrderCoinsCounted = 0;
      TurnOrderDrawStep = 1;
      DrawHostDialogueBox(map);
      return 0;
    case 1:
      free(OrderTextLines);
      OrderTextLines = static_cast<char*>(calloc(kOrderTextLines * kOrderTextLineBytes, 1));
      if (OrderTextLines == nullptr) {
        MessageBoxA(nullptr, "メモリ確保に失敗しました", "メモリ不足", 0);
        ExitGame(-1, "RunTurnOrderDraw");
      }
      LoadOrderText(map);
      TurnOrderDrawStep = 2;
      DrawHostDialogueBox(map);
      return 0;
    case 2:
      DrawHostDialogueBox(map);
      if (OrderText(1, OrderLine(0)) != 0) {
        PlaySoundHandle(SoundEffectHandles[1], 1, 1);
        TurnOrderDrawStep = 3;
      }
      return 0;
    case 3: {
      bool allDrawn = true;
      for (int32_t p = 1; p <= 4; ++p) {
        if (OrderDraws[p] == 0 && StopsDie(p)) OrderDraws[p] = DrawDistinctNumber();
        if (OrderDraws[p] == 0) allDrawn = false;
      }
      DrawOrderDice(true);
      DrawHostDialogueBox(map);
      OrderText(1, OrderLine(1));
      if (allDrawn) {
        int32_t first = HighestUnplacedPlayer();
        PlayerTable[first - 1].turnOrder = 1;
        Announce(1, first);
        NextOrderNumber = 2;
        ClearMessageLines();
        TurnOrderDrawStep = 4;
      }
      return 0;
    }
    case 4: {
      // The dice of one position after the other go, 25 frames each, once
      // the next position has been announced.
      for (int32_t k = 1; k < NextOrderNumber - 1 && k <= 4; ++k) {
        if (DieShowCounters[k] == 0) continue;
        DieShowCounters[k] = DieShowCounters[k] > 10 ? DieShowCounters[k] - 10 : 0;
        break;
      }
      DrawOrderDice(false);
      AssignPlacements();
      DrawOrderPanels();
      DrawHostDialogueBox(map);
      int32_t textId = NextOrderNumber < 5 ? NextOrderNumber : 5;
      if (OrderText(textId, OrderAnnouncement) == -1 && MenuPressOfA()) {
        if (NextOrderNumber < 5) {
          int32_t next = HighestUnplacedPlayer();
          if (next != 0) PlayerTable[next - 1].turnOrder = NextOrderNumber;
          Announce(NextOrderNumber, next);
          ++NextOrderNumber;
        } else if (NextOrderNumber == 5) {
          ++NextOrderNumber;  // the dice of position 4 may go now
        }
      }
      if (DieShowCounters[4] == 0) TurnOrderDrawStep = 5;
      return 0;
    }
    case 5: {
      if (OrderCoinsCounted == 0) {
        for (int32_t p = 1; p <= 4; ++p)
          if (AnimateCoinChange(10, p) == 1 && p == 4) OrderCoinsCounted = 1;
      }
      AssignPlacements();
      DrawOrderPanels();
      DrawHostDialogueBox(map);
      if (OrderText(6, OrderLine(3)) == -1 && OrderCoinsCounted == 1 && MenuPressOfA()) TurnOrderDrawStep = 6;
      return 0;
    }
    case 6:
      DrawOrderPanels();
      DrawHostDialogueBox(map);
      if (OrderText(0, OrderLine(4)) == -1 && MenuPressOfA()) TurnOrderDrawStep = 7;
      return 0;
    case 7:
      FadeOutRequest = 1;
      DrawOrderPanels();
      DrawHostDialogueBox(map);
      OrderText(0, OrderLine(4));
      return 0;
    case 8:
      free(OrderTextLines);
      OrderTextLines = nullptr;
      TurnOrderDrawStep = 0;
      return 1;
    default:  // a step no state leads to: start over
      TurnOrderDrawStep = 0;
      return 0;
  }
}
