// The round-start magic-square slot.
#include "game/board/magic_square_slot.h"

#include <cmath>
#include <cstring>

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t RoundEffect = 0;

int32_t SlotState = 0;
int32_t SlotDarkness = 0;
int32_t SlotIntroCounters[4] = {};
int32_t SlotCardFrame = 0;
int32_t SlotSpinFrames = 0;
int32_t SlotShown = 0;
int32_t SlotResult = 0;
float SlotCircleScale = 0.0f;
float SlotCircleAngle = 0.0f;
int32_t SlotCircleAlpha = 0;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kCircleTurn = 0.06544985f;  // 2 pi / 96 a frame
constexpr float kFullTurn = 6.2831855f;

const char* const kEffectCaptions[7] = {
    "",
    "移動に対するサイコロを１つ追加する",
    "青マスと赤マスの効果を２倍にする",
    "このターンの移動不可",
    "アイテムの効果上昇",
    "青マスと赤マスの色を反転",
    "コインを平均化",
};

// A counter of the intro runs up to 54.
constexpr int32_t kIntroCounterTop = 54;
// Each counter starts once the one before has passed this.
constexpr int32_t kIntroStagger = 26;

bool IsEffect(int32_t effect) { return effect >= 1 && effect <= 6; }

// The picture drawn as a card turning about its vertical axis, centred at
// (x, y) at the scale: the cosine of the turn narrows it, and a negative
// cosine shows its back (the picture mirrored, half transparent).
void DrawTurningCard(int32_t x, int32_t y, double scale, double turn, int32_t picture) {
  int32_t width = 0, height = 0;
  if (QueryGraphSize(picture, &width, &height) != 0) return;
  double c = std::cos(turn);
  float halfWidth = static_cast<float>(width * scale / 2.0 * c);
  float halfHeight = static_cast<float>(height * scale / 2.0);
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  if (c < 0) SetDrawBlend(1, 128);
  DrawGraphQuadF(fx - halfWidth, fy - halfHeight, fx + halfWidth, fy - halfHeight, fx + halfWidth, fy + halfHeight,
                 fx - halfWidth, fy + halfHeight, picture, 1);
  if (c < 0) SetDrawBlend(0, 255);
}

void DrawCard(int32_t effect) {
  if (IsEffect(effect)) DrawGraphRotated(320, 240, 2.0, 0.0, MagicSquareCards[effect - 1], 1, 0);
}

// The intro: the letters ス, ペ and ル turn in like cards one after the
// other, and the title grows while it turns.
void DrawIntro() {
  static const int32_t kLetterX[3] = {224, 320, 416};
  for (int i = 0; i < 3; ++i) {
    int32_t c = SlotIntroCounters[i];
    if (c == 0) continue;
    // From edge-on to face-on over the stagger, then held.
    double progress = c > kIntroStagger ? 1.0 : static_cast<double>(c) / kIntroStagger;
    DrawTurningCard(kLetterX[i], 176, 1.5, (1.0 - progress) * kPi / 2.0, SlotLetterPictures[i]);
  }
  int32_t c = SlotIntroCounters[3];
  if (c > 0) DrawGraphRotated(320, 300, 0.05 * c + 0.1, c * 2.0 * kPi / 19.0, SlotTitlePicture, 1, 0);
}

// The result's three magic-square pictures at the circle's alpha, scale and angle.
void DrawMagicSquare() {
  if (!IsEffect(SlotResult)) return;
  const int32_t* pictures = MagicSquarePictures[SlotResult - 1];
  SetDrawBlend(1, SlotCircleAlpha);
  DrawGraphRotated(320, 240, SlotCircleScale, 0.0, pictures[0], 1, 0);
  DrawGraphRotated(320, 240, SlotCircleScale, SlotCircleAngle, pictures[1], 1, 0);
  DrawGraphRotated(320, 240, SlotCircleScale, SlotCircleAngle + kPi / 4.0, pictures[1], 1, 0);
  DrawGraphRotated(320, 240, SlotCircleScale, -SlotCircleAngle, pictures[2], 1, 0);
  SetDrawBlend(0, 255);
}

// Blue squares become red and red squares blue, on all 100 records.
void SwapBlueAndRed() {
  for (SquareRecord& square : SquareTable) {
    if (square.kind == kSquareBlue) {
      square.kind = kSquareRed;
    } else if (square.kind == kSquareRed) {
      square.kind = kSquareBlue;
    }
  }
}

void ApplySlotResult() {
  if (SlotResult == kRoundEffectSwapColours) SwapBlueAndRed();
  if (SlotResult == kRoundEffectEvenCoins) {
    int32_t coins[4];
    for (int p = 0; p < 4; ++p) coins[p] = PlayerTable[p].coins;
    AverageCoins(coins);
    for (int p = 0; p < 4; ++p) PlayerTable[p].coins = coins[p];
  }
}

void DrawBoardUnderSlot() {
  int32_t first = GetPlayerByTurnOrder(1);
  CenterCameraOnPlayer(first);
  DrawBoard(first);
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
  DrawAlphaBox(SlotDarkness, 0, 0, 640, 480, MakeScreenColor(0, 0, 0));
}

void StepIntro() {
  for (int i = 0; i < 4; ++i) {
    bool started = i == 0 || SlotIntroCounters[i - 1] > kIntroStagger;
    if (started && SlotIntroCounters[i] < kIntroCounterTop) ++SlotIntroCounters[i];
  }
}

}  // namespace

void AverageCoins(int32_t coins[4]) {
  int32_t total = 0;
  for (int p = 0; p < 4; ++p) total += coins[p];
  if (total < 0) return;  // no count is ever negative; nothing to share out
  // The players by coins, most first; a player joins at a random place
  // among those already listed with as many coins.
  int32_t order[4];
  int32_t listed = 0;
  for (int32_t p = 0; p < 4; ++p) {
    int32_t first = 0;
    while (first < listed && coins[order[first]] > coins[p]) ++first;
    int32_t equal = 0;
    while (first + equal < listed && coins[order[first + equal]] == coins[p]) ++equal;
    int32_t at = first + (equal > 0 ? GetRandomNumber(equal) : 0);
    for (int32_t i = listed; i > at; --i) order[i] = order[i - 1];
    order[at] = p;
    ++listed;
  }
  int32_t share = total / 4, remainder = total % 4;
  int32_t averaged[4];
  for (int p = 0; p < 4; ++p) averaged[p] = share;
  for (int32_t i = 0; i < remainder; ++i) ++averaged[order[i]];
  for (int p = 0; p < 4; ++p) coins[p] = averaged[p];
}

int RunMagicSquareSlot() {
  UpdateFade();
  DrawBoardUnderSlot();
  switch (SlotState) {
    case 0:
      for (int32_t& counter : SlotIntroCounters) counter = 0;
      SlotDarkness = 0;
      SlotState = 1;
      return 0;
    case 1:
      SlotState = 2;
      return 0;
    case 2:
      if (++SlotDarkness > 63) SlotState = 3;
      return 0;
    case 3:
      DrawIntro();
      StepIntro();
      if (SlotIntroCounters[3] > 18) SlotState = 4;
      return 0;
    case 4:
      SlotCardFrame = 0;
      SlotSpinFrames = 0;
      SlotResult = 0;
      SlotShown = GetRandomNumber(5) + 1;
      SlotCircleScale = 0.5f;
      SlotCircleAngle = 0.0f;
      SlotCircleAlpha = 255;
      SlotState = 5;
      return 0;
    case 5:
      SlotResult = GetRandomNumber(5) + 1;
      RoundEffectRoundsLeft = SlotResult == kRoundEffectNoMove || SlotResult == kRoundEffectEvenCoins ? 1 : 2;
      SlotState = 6;
      return 0;
    case 6:
      if (IsEffect(SlotShown))
        DrawTurningCard(320, 240, 2.0, SlotCardFrame * kPi / 9.0, MagicSquareCards[SlotShown - 1]);
      SlotCardFrame = (SlotCardFrame + 1) % 9;
      if (SlotCardFrame == 5) SlotShown = SlotShown % 6 + 1;  // edge-on: the next effect
      if (SlotSpinFrames > 89 && SlotShown == SlotResult && SlotCardFrame == 0) SlotState = 7;
      ++SlotSpinFrames;
      return 0;
    case 7:
      DrawMagicSquare();
      DrawCard(SlotResult);
      DrawRoundEffectCaption();
      SlotCircleAlpha = SlotCircleAlpha > 5 ? SlotCircleAlpha - 5 : 0;
      SlotCircleScale += 0.05f;
      if (SlotCircleScale >= 10.0f) SlotCircleScale = 0.0f;
      SlotCircleAngle += kCircleTurn;
      if (SlotCircleAngle >= kFullTurn) SlotCircleAngle = 0.0f;
      if (SlotCircleAlpha < 1 || SlotCircleScale > 9.0f) SlotState = 8;
      return 0;
    case 8:
      DrawCard(SlotResult);
      DrawRoundEffectCaption();
      if (IsNewButtonPress(1, kButtonA)) {
        ApplySlotResult();
        SlotState = 9;
      }
      return 0;
    case 9:
      for (int32_t& counter : SlotIntroCounters) counter = 0;
      if (--SlotDarkness < 1) {
        SlotState = 0;
        RoundEffect = SlotResult;
        return 1;
      }
      return 0;
    default:  // a state no step leads to: start again
      SlotState = 0;
      return 0;
  }
}

void DrawRoundEffectCaption() {
  if (!IsEffect(SlotResult)) return;
  const char* caption = kEffectCaptions[SlotResult];
  int32_t font = FontHandlesBySize[23];
  int32_t width = GetTextWidthToHandle(caption, static_cast<int32_t>(strlen(caption)), font, 0);
  DrawTextToHandle(320 - width / 2, 292, caption, MakeScreenColor(255, 255, 255), font, 0, 0);
}
