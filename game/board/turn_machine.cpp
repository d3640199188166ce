// The turn machine, the turn banner and action menu, and the round's
// minigame choice.
#include "game/board/turn_machine.h"

#include <cstring>
#include <initializer_list>

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/items.h"
#include "game/board/landing_effects.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/minigame_table.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t TurnState = 0;
int32_t TurnIndex = 0;
int32_t LandingSquare = 0;
int32_t MinigameType = 0;
uint8_t PausedFlag = 0;
int32_t PausingPlayer = 0;
int32_t RoundMinigameRow = 0;

int32_t TurnMenuState = 0;
float BannerSpinAngle = 0.0f;
uint8_t BannerSoundPlayed = 0;

int32_t MinigameWeights[30] = {};

int32_t TypeState = 0;
int32_t TypeFrames = 0;
int32_t BlueCount = 0;
uint8_t RerollFlags[5] = {};

int32_t PickState = 0;
int32_t ReelSlots[5] = {};
int32_t ReelOffset = 0;
int32_t ReelFrames = 0;
int32_t ReelSelected = 0;
int32_t ReelNext = 0;
int32_t ReelHoldFrames = 0;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
constexpr float kBannerSpinStep = 0.049087387f;  // 2 pi / 128

uint32_t White() { return MakeScreenColor(255, 255, 255); }
uint32_t Black() { return MakeScreenColor(0, 0, 0); }

void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }


// ---------------------------------------------------------------- the banner and the action menu

void DrawBanner(int32_t player) {
  if (RoundEffect >= 1 && RoundEffect <= 6) {
    const int32_t* pictures = MagicSquarePictures[RoundEffect - 1];
    DrawGraphRotated(320, 240, 0.5, 0.0, pictures[0], 1, 0);
    DrawGraphRotated(320, 240, 0.5, BannerSpinAngle, pictures[1], 1, 0);
    DrawGraphRotated(320, 240, 0.5, BannerSpinAngle + kPi / 4, pictures[1], 1, 0);
    DrawGraphRotated(320, 240, 0.5, -BannerSpinAngle, pictures[2], 1, 0);
  }
  char turn[32];
  FormatTurnBanner(turn, sizeof turn);
  // A shadow at half opacity, then the white text over it.
  SetDrawBlend(1, 128);
  DrawTextToHandle(200, 150, turn, Black(), FontHandle35, 0, 0);
  DrawFormatTextToHandle(200, 200, Black(), FontHandle35, "Player%d's turn!!", player);
  SetDrawBlend(0, 255);
  DrawTextToHandle(195, 145, turn, White(), FontHandle35, 0, 0);
  DrawFormatTextToHandle(195, 195, White(), FontHandle35, "Player%d's turn!!", player);
}

void RunBanner(int32_t player, bool cpu) {
  if (BannerSoundPlayed == 0) {
    PlayEffect(8);
    BannerSoundPlayed = 1;
  }
  bool leave = cpu ? ++CpuWaitFrames[kCpuWaitBanner] > 44 : IsNewButtonPress(player, kButtonA);
  BannerSpinAngle += kBannerSpinStep;
  if (BannerSpinAngle >= kTwoPi) BannerSpinAngle = 0.0f;
  DrawBanner(player);
  if (leave) TurnMenuState = 5;
}

void RunActionMenu(int32_t player, PlayerRecord& record, bool cpu) {
  if (RoundEffect == kRoundEffectExtraDie) {
    if (RollTwoDice(player) == 1) TurnMenuState = 10;
  } else {
    int32_t roll = RollDie(player, 320, 160);
    if (!cpu) {
      record.moveCount = roll;
      if (roll != 0) {
        TurnMenuState = 10;
        PlayEffect(1);
      }
    } else if (roll != 0) {
      if (CpuItemSlot == -1) {
        record.moveCount = roll;
        TurnMenuState = 10;
        PlayEffect(1);
      } else {  // the roll gives way to the item the CPU chose
        record.moveCount = 0;
        TurnMenuState = 7;
      }
    }
  }
  if (!cpu && TurnMenuState == 5) {
    if (IsNewButtonPress(player, kButtonB) && record.items[0] != 0 && record.itemInUse == 0) {
      TurnMenuState = 7;
    } else if (int key = MapViewKeyPressed(player); key != 0) {
      TurnMenuState = key == 1 ? 8 : 9;
    }
  }
  DrawHelpLine(CurrentMapId == 4 ? "Ａ：サイコロ　Ｂ：アイテム"
                                 : "Ａ：サイコロ　Ｂ：アイテム　Ｃホールド：マップを見る　Ｄ：全体図");
}

// ---------------------------------------------------------------- the minigame drum roll

struct TypeRows {
  int32_t first, last;
};
// Rows 15 and 23 are never chosen on the board.
TypeRows RowsOfType(int32_t type) {
  switch (type) {
    case 2:
      return {16, 22};
    case 3:
      return {24, 29};
    default:
      return {1, 14};
  }
}

void ChooseReelSlots() {
  TypeRows rows = RowsOfType(MinigameType);
  // A weight below 1 counts as 1 and is kept so.
  int32_t total = 0;
  for (int32_t row = rows.first; row <= rows.last; ++row) {
    if (MinigameWeights[row] < 1) MinigameWeights[row] = 1;
    total += MinigameWeights[row];
  }
  int32_t r = GetRandomNumber(total - 1);
  int32_t chosen = rows.last;
  int32_t sum = 0;
  for (int32_t row = rows.first; row <= rows.last; ++row) {
    sum += MinigameWeights[row];
    if (r + 1 - sum <= 0) {
      chosen = row;
      break;
    }
  }
  ReelSlots[2] = chosen;
  for (int32_t slot : {0, 1, 3, 4}) ReelSlots[slot] = rows.first + GetRandomNumber(rows.last - rows.first);
  if (MinigameWeights[chosen] > 1) MinigameWeights[chosen] -= 1;
}

void DrawMinigameReel() {
  DrawAlphaBox(150, 192, 116, 448, 308, Black());
  DrawWindowFrame(192, 116, 448, 308);
  for (int32_t k = 0; k < 5; ++k) {
    int32_t base = 30 + 30 * k;
    int32_t q = base + ReelOffset;
    int32_t size = q < 90 ? q / 4 + 1 : 46 - q / 4;
    if (size < 8) continue;
    int32_t row = ReelSlots[(ReelSelected + 3 + k) % 5];
    if (row < 0 || row >= kMinigameInfoRows) continue;
    DrawCentredText(320, base - size / 2 + 122 + ReelOffset, MinigameInfoTable[row].name, FontOfSize(size));
  }
}

// The next turn of the round, or the minigame choice after the fourth.
void EndTurn() {
  if (TurnIndex < 4) {
    TurnIndex += 1;
    TurnState = 3;
  } else {
    TurnIndex = 1;
    TurnState = 7;
  }
}

}  // namespace

void FormatTurnBanner(char* buffer, size_t size) {
  if (TurnsLeft == 1) {
    FormatString(buffer, size, "Last Turn!!");
  } else if (TurnsLeft == 2 || TurnsLeft == 3) {
    FormatString(buffer, size, "Last %d Turn!!", TurnsLeft);
  } else {
    FormatString(buffer, size, "%d Turn!!", TotalTurns - TurnsLeft + 1);
  }
}

int RunTurnMachine() {
  if (UpdateFade() == 1) TurnState = 10;
  if (PausedFlag == 1) {
    if (IsNewButtonPress(PausingPlayer, kButtonStart)) PausedFlag = 0;
    DrawCentredText(320, 262, "PAUSE", FontOfSize(21));
    return 0;
  }
  int32_t first = GetPlayerByTurnOrder(1);
  switch (TurnState) {
    case 0:
    case 1:
      DrawTurnBoard(first, false, false);
      if (first != 0) CenterCameraOnPlayer(first);
      TurnState = 2;
      break;
    case 2:
      TurnIndex = 1;
      for (PlayerRecord& record : PlayerTable) {
        record.team = 0;
        record.squareColour = 0;
      }
      PausedFlag = 0;
      DrawTurnBoard(first, false, false);
      if (first != 0) CenterCameraOnPlayer(first);
      TurnState = 3;
      break;
    case 3:
      // A turn position nobody holds is passed over.
      if (PrepareTurn() == 0) {
        EndTurn();
      } else {
        TurnState = 4;
      }
      break;
    case 4:
      if (RunTurnMenu() == 1) TurnState = 5;
      break;
    case 5: {
      int32_t square = MovePiece();
      if (square != 0) {
        LandingSquare = square;
        TurnState = 6;
      }
      break;
    }
    case 6: {
      int32_t kind = LandingSquare > 0 && LandingSquare < kSquareCount ? SquareTable[LandingSquare].kind : 0;
      if (RunLandingEffect(kind) == 1) EndTurn();
      break;
    }
    case 7: {
      int32_t type = DecideMinigameType();
      if (type != 0) {
        MinigameType = type;
        TurnState = 8;
      }
      break;
    }
    case 8: {
      int32_t row = PickBoardMinigame();
      if (row != 0) {
        RoundMinigameRow = row;
        TurnState = 9;
      }
      break;
    }
    case 9:
      // The board stays drawn while the screen fades out.
      DrawTurnBoard(CurrentPlayer, false, false);
      FadeOutRequest = 1;
      break;
    case 10:
      TurnState = 0;
      return RoundMinigameRow;
    default:  // a state no step leads to: the round starts over
      TurnState = 0;
      break;
  }
  for (int32_t record = 1; record <= 4; ++record) {
    if (IsNewButtonPress(record, kButtonStart)) {
      PausedFlag = 1;
      PausingPlayer = record;
    }
  }
  return 0;
}

int PrepareTurn() {
  CurrentPlayer = GetPlayerByTurnOrder(TurnIndex);
  PlayerRecord* record = GetPlayer(CurrentPlayer);
  if (record != nullptr) {
    CenterCameraOnPlayer(CurrentPlayer);
    DrawTurnBoard(CurrentPlayer, true, true);
    record->itemInUse = 0;
  }
  CpuWaitFrames[kCpuWaitBanner] = 0;
  CpuWaitFrames[kCpuWaitFork] = 0;
  // Map 4's wandering mark moves on: its square gets its kind back, and a
  // blue or red square takes the mark (none when the board has neither).
  if (WanderingSquareMove == 1) {
    if (WanderingSquare > 0 && WanderingSquare < kSquareCount) SquareTable[WanderingSquare].kind = WanderingSquareKind;
    WanderingSquare = PickRandomColouredSquare();
    WanderingSquareKind = WanderingSquare != 0 ? SquareTable[WanderingSquare].kind : 0;
  }
  WanderingSquareMove = 0;
  return CurrentPlayer;
}

int RunTurnMenu() {
  int32_t player = CurrentPlayer;
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) {
    TurnMenuState = 2;
    return 1;
  }
  DrawTurnBoard(player, true, true);
  bool cpu = record->cpuFlag != 0;
  switch (TurnMenuState) {
    case 0:
    case 1:
      TurnMenuState = 2;
      return 0;
    case 2:
      BannerSpinAngle = 0.0f;
      BannerSoundPlayed = 0;
      MapViewSavedCamera[0] = 0.0f;
      MapViewSavedCamera[1] = 0.0f;
      CpuItemSlot = -1;
      TurnMenuState = cpu ? 3 : 4;
      return 0;
    case 3:
      if (GetRandomNumber(1) == 0) CpuItemSlot = ChooseCpuItem(player);
      if (record->itemInUse != 0) CpuItemSlot = -1;
      TurnMenuState = 4;
      return 0;
    case 4:
      RunBanner(player, cpu);
      return 0;
    case 5:
      RunActionMenu(player, *record, cpu);
      return 0;
    case 7: {
      int result = RunItemStep(player);
      if (result == 1) {
        CpuItemSlot = -1;
        TurnMenuState = 10;
      } else if (result == 2 || result == -1) {
        CpuItemSlot = -1;
        TurnMenuState = 5;
      }
      return 0;
    }
    case 8:
      if (RunMapView(player) == 1) TurnMenuState = 5;
      return 0;
    case 9:
      if (RunWholeMapView(player) == 1) TurnMenuState = 5;
      return 0;
    case 10:
      if (FatedOneCountdown[player] != 0) {
        FatedOneCountdown[player] -= 1;
        if (FatedOneCountdown[player] == 0) PlayEffect(15);
      }
      if (RoundEffect == kRoundEffectNoMove) record->moveCount = 0;
      TurnMenuState = 2;
      return 1;
    default:  // a state no step leads to: the menu starts over
      TurnMenuState = 2;
      return 0;
  }
}

int ChooseCpuItem(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  if (record == nullptr || record->items[0] == 0) return -1;
  int32_t held = (record->items[0] != 0 ? 1 : 0) + (record->items[1] != 0 ? 1 : 0);
  int32_t slot = GetRandomNumber(held - 1);
  int32_t item = record->items[slot];
  // Only items with a use effect: an item without one would hold the turn.
  if (item >= 1 && item <= 7 && item != 3) return slot;
  if (item == 3 && (record->square == 2 || record->square == 4)) return slot;
  if (item >= 11 && item <= 14 && record->coins >= 20) return slot;
  return -1;
}

int DecideMinigameType() {
  DrawTurnBoard(CurrentPlayer, true, true);
  switch (TypeState) {
    case 0:
      BlueCount = 0;
      TypeFrames = 0;
      for (uint8_t& flag : RerollFlags) flag = 0;
      TypeState = 1;
      return 0;
    case 1: {
      bool any = false;
      for (int32_t p = 1; p <= 4; ++p) {
        if (PlayerTable[p - 1].squareColour == 3) {
          RerollFlags[p] = 1;
          any = true;
        }
      }
      TypeState = any ? 2 : 4;
      return 0;
    }
    case 2: {
      // The roulette: blue and red in turn every 10 frames, 121 frames.
      for (int32_t p = 1; p <= 4; ++p)
        if (RerollFlags[p] != 0) PlayerTable[p - 1].squareColour = TypeFrames / 10 % 2 + 1;
      bool done = TypeFrames == 120;
      TypeFrames += 1;
      if (done) TypeState = 3;
      return 0;
    }
    case 3:
      for (int32_t p = 1; p <= 4; ++p)
        if (RerollFlags[p] != 0) PlayerTable[p - 1].squareColour = GetRandomNumber(1) + 1;
      TypeState = 4;
      return 0;
    case 4:
      BlueCount = 0;
      for (const PlayerRecord& record : PlayerTable)
        if (record.squareColour == 1) BlueCount += 1;
      // One against three: the lone player is always team 1.
      if (BlueCount == 1 || BlueCount == 2 || BlueCount == 3) {
        int32_t blueTeam = BlueCount == 3 ? 2 : 1;
        for (PlayerRecord& record : PlayerTable) record.team = record.squareColour == 1 ? blueTeam : 3 - blueTeam;
      }
      TypeState = 5;
      return 0;
    case 5:
      TypeState = 0;
      return BlueCount == 0 || BlueCount == 4 ? 1 : BlueCount == 2 ? 3 : 2;
    default:
      TypeState = 0;
      return 0;
  }
}

int PickBoardMinigame() {
  DrawTurnBoard(CurrentPlayer, false, true);
  switch (PickState) {
    case 0:
    case 1:
      PickState = 2;
      return 0;
    case 2:
      for (int32_t& slot : ReelSlots) slot = 0;
      ReelFrames = 0;
      ReelOffset = 0;
      ReelSelected = 0;
      ReelNext = 4;
      ReelHoldFrames = 0;
      PickState = 3;
      return 0;
    case 3:
      ChooseReelSlots();
      PickState = 4;
      return 0;
    case 4:
      if (ReelFrames < 300) {
        ReelOffset += 5 - ReelFrames / 60;
        if (ReelOffset >= 30) {
          ReelSelected = ReelNext;
          ReelNext = (ReelNext + 4) % 5;
          ReelOffset = 0;
          PlayEffect(5);
        }
      } else {
        if (ReelOffset > 0) ReelOffset -= 1;
        if (ReelOffset <= 0) {
          PlayEffect(6);
          PickState = 5;
        }
      }
      ReelFrames += 1;
      DrawMinigameReel();
      return 0;
    case 5:
      DrawMinigameReel();
      if (ReelHoldFrames > 90) PickState = 7;
      ReelHoldFrames += 1;
      return 0;
    case 7:
      PickState = 2;
      return ReelSlots[ReelSelected];
    default:
      PickState = 2;
      return 0;
  }
}
