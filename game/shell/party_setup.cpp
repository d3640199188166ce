// The restore prompt and the set-up screens.
#include "game/shell/party_setup.h"

#include <cstring>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t HumanCount = 1;
int32_t TurnChoice = 1;
int32_t MapChoice = 1;
int32_t CharacterCursor[5] = {-1, -1, -1, -1, -1};
uint8_t CharacterDecided[5] = {};
uint8_t CharacterTaken[6] = {};
const char* const CharacterDisplayNames[6] = {"タヴィシャ", "ベルノーラ", "クェンドリ",
                                              "ファリッセ", "オドウィナ", "ジュレール"};
const int32_t CharacterCursorStart[5] = {0, 0, 2, 3, 5};

int32_t PartySetupSceneStep = 0;
int32_t SetupStep = 0;
int32_t HumanCountStep = 0;
int32_t CharacterSelectStep = 0;
int32_t TurnCountStep = 0;
int32_t MapChoiceStep = 0;
int32_t ConfirmStep = 0;
int32_t SetupCancelled = 0;
int32_t RestoreCursor = 1;
int32_t ConfirmCursor = 1;
int32_t ChoosingCpu = 0;
int32_t MapCursor = 1;

namespace {

// The guide's texts.
const char kRestoreText[] = "@Aバックアップデータが存在します。復元を行いますか？@N";
const char kHumanCountText[] = "@A何人で遊びますか@N";
const char kCharacterText[] = "@A使用するキャラクターを選んでください@N";
const char kCpuText[] = "@AＣＰＵを選んでください@N";
const char kTurnCountText[] = "@Aどれくらいで遊びますか？@N";
const char kMapText[] = "@Aどのマップで遊びますか？@N";
const char kConfirmText[] = "@Aこの設定でよろしいですか？@N";
const char kFarewellText[] = "@Aそれでは～@N";

bool turnChoiceVisited = false;
// The restore prompt's file, read in step 1 and restored in step 2.
unsigned char backupBytes[kBackupFileSize];

uint32_t White() { return MakeScreenColor(255, 255, 255); }

void PlayCursorSound() { PlaySoundHandle(SoundEffectHandles[0], 1, 1); }
void PlayDecideSound() { PlaySoundHandle(SoundEffectHandles[1], 1, 1); }

bool Pressed(int32_t record, int32_t button) { return IsNewButtonPress(record, button); }

// Each screen reads its buttons before its prompt is drawn: the message
// renderer takes a press of A for skipping its typing, so a press made as a
// prompt starts still counts for the screen.
void Speak(int32_t textId, const char* text) { DrawMessageText(576, textId, 176, 368, 448, 20, text, 1); }

// A row of choices 1 to count on input record 1: left and right move the
// choice (held at the ends) with the cursor sound; A confirms with the
// decide sound (1), B goes back (-1); else 0.
int ChooseInRow(int32_t* choice, int32_t count) {
  if (Pressed(1, kButtonLeft)) {
    PlayCursorSound();
    if (*choice > 1) --*choice;
  } else if (Pressed(1, kButtonRight)) {
    PlayCursorSound();
    if (*choice < count) ++*choice;
  } else if (Pressed(1, kButtonA)) {
    PlayDecideSound();
    return 1;
  } else if (Pressed(1, kButtonB)) {
    return -1;
  }
  return 0;
}

void DrawHeading(const char* heading) { DrawTextToHandle(48, 48, heading, White(), FontHandle35, 0, 0); }

void DrawBlackBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  SetDrawBlend(1, 150);
  DrawRectangleShape(x1, y1, x2, y2, MakeScreenColor(0, 0, 0), 1);
  SetDrawBlend(0, 255);
  DrawWindowFrame(x1, y1, x2, y2);
}

// The screen under every prompt: the background, the guide and the upper box.
void DrawSetupFrame() {
  DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  DrawGuideBox();
  DrawBlackBox(16, 16, 624, 288);
}

// はい and いいえ with the frame around the choice.
void DrawYesNo(int32_t choice) {
  DrawTextToHandle(48, 48, "はい", White(), FontHandle35, 0, 0);
  DrawTextToHandle(176, 48, "いいえ", White(), FontHandle35, 0, 0);
  DrawWindowFrame(42 + 128 * choice, 38, 160 + 128 * choice, 93);
}

void DrawHumanCounts() {
  for (int32_t n = 1; n <= 4; ++n) DrawFormatTextToHandle(48 + 48 * n, 112, White(), FontHandlesBySize[19], "%d人", n);
  DrawWindowFrame(42 + 48 * HumanCount, 102, 94 + 48 * HumanCount, 142);
}

void DrawCharacterGrid() {
  for (int32_t c = 0; c < 6; ++c)
    DrawGraphRotated((c % 3) * 96 + 336, (c / 3) * 96 + 128, 1.0, 0.0, CharacterImageTable[c][0], 1, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t c = CharacterCursor[p];
    if (c < 0 || c > 5) continue;
    DrawGraphRotated((c % 3) * 96 + 336, (c / 3) * 96 + 128, 1.0, 0.0, CharacterSelectPictures[p - 1], 1, 0);
    DrawFormatTextToHandle((c % 3) * 96 + 312, (c / 3) * 96 + 152, White(), FontHandle35, "%dＰ", p);
  }
}

void DrawTurnCounts() {
  for (int32_t i = 0; i < 6; ++i)
    DrawFormatTextToHandle(48 + 40 * i, 162, White(), FontHandlesBySize[19], "%d", kTurnCounts[i]);
  DrawWindowFrame(40 * TurnChoice + 2, 152, 40 * TurnChoice + 44, 192);
}

void DrawMapName(int32_t map) {
  if (map < 0 || map >= kMapInfoRows) return;
  const char* name = MapInfoTable[map].name;
  int32_t width = GetTextWidthToHandle(name, -1, FontHandle35, 0);
  DrawTextToHandle(176 - width / 2, 209, name, White(), FontHandle35, 0, 0);
}

// ---------------------------------------------------------------- character cursors

// The first character from `start` onward (modulo 6) that no cursor holds; -1 when all are held.
int32_t FirstFreeCharacter(int32_t start) {
  for (int32_t i = 0; i < 6; ++i) {
    int32_t c = (start + i) % 6;
    if (!CharacterTaken[c]) return c;
  }
  return -1;
}

void TakeCursor(int32_t player, int32_t character) {
  CharacterCursor[player] = character;
  if (character >= 0) CharacterTaken[character] = 1;
}

void ReleaseCursor(int32_t player) {
  int32_t c = CharacterCursor[player];
  if (c >= 0 && c <= 5) CharacterTaken[c] = 0;
  CharacterCursor[player] = -1;
}

// The character a cursor on `from` moves to with the direction; `from` when
// it stays. Left and right walk the row (wrapping) past held characters;
// up and down go to the other row's same column, else its first free one.
int32_t CursorTarget(int32_t from, int32_t button) {
  int32_t row = from / 3, column = from % 3;
  if (button == kButtonLeft || button == kButtonRight) {
    int32_t step = button == kButtonLeft ? 2 : 1;  // modulo 3
    for (int32_t k = 1; k <= 2; ++k) {
      int32_t c = row * 3 + (column + step * k) % 3;
      if (!CharacterTaken[c]) return c;
    }
    return from;
  }
  int32_t other = 1 - row;
  if (!CharacterTaken[other * 3 + column]) return other * 3 + column;
  for (int32_t k = 0; k < 3; ++k)
    if (!CharacterTaken[other * 3 + k]) return other * 3 + k;
  return from;
}

// The directions of a record move the player's cursor (the cursor sound on
// every press, moved or not).
void MoveCursor(int32_t record, int32_t player) {
  static const int32_t kDirections[4] = {kButtonLeft, kButtonRight, kButtonUp, kButtonDown};
  for (int32_t button : kDirections) {
    if (!Pressed(record, button)) continue;
    PlayCursorSound();
    int32_t from = CharacterCursor[player];
    if (from < 0 || from > 5) continue;
    int32_t to = CursorTarget(from, button);
    if (to == from) continue;
    ReleaseCursor(player);
    TakeCursor(player, to);
  }
}

// The humans' cursors, fresh: each at its character, else the first free one
// from its start.
void PlaceHumanCursors() {
  for (int32_t p = 1; p <= 4; ++p) CharacterCursor[p] = -1;
  memset(CharacterTaken, 0, sizeof CharacterTaken);
  for (int32_t p = 1; p <= HumanCount; ++p) {
    int32_t own = PlayerTable[p - 1].character;
    TakeCursor(p, own >= 0 && own <= 5 && !CharacterTaken[own] ? own : FirstFreeCharacter(CharacterCursorStart[p]));
    CharacterDecided[p] = 0;
  }
}

}  // namespace

// ---------------------------------------------------------------- drawing helpers

void DrawGuideBox() {
  DrawBlackBox(16, 352, 624, 464);
  int32_t w = 0, h = 0;
  QueryGraphSize(EventPortraitTable[1], &w, &h);
  DrawGraphRotated(w / 3 + 16, 464 - h / 2, 1.0, 0.0, EventPortraitTable[1], 1, 0);
}

void DrawSetupSummary(int32_t mode) {
  if (SetupStep >= 4) DrawHumanCounts();
  if (SetupStep >= 6) DrawCharacterGrid();
  if (mode == 1 && SetupStep >= 7) DrawTurnCounts();
  if (mode == 1 && SetupStep >= 8) DrawMapName(MapChoice);
}

// ---------------------------------------------------------------- screens

int ChooseHumanCount() {
  if (HumanCountStep == 0) {
    HumanCount = 1;
    for (PlayerRecord& player : PlayerTable) {
      player.cpuFlag = 0;
      player.cpuLevel = 0;
    }
    HumanCountStep = 1;
  }
  int result = ChooseInRow(&HumanCount, 4);
  if (result == 1)
    for (int32_t p = HumanCount + 1; p <= 4; ++p) PlayerTable[p - 1].cpuFlag = 1;
  DrawHeading("プレイヤーの人数");
  Speak(1, kHumanCountText);
  DrawHumanCounts();
  if (result != 0) HumanCountStep = 0;
  return result;
}

int ChooseCharacters() {
  int result = 0;
  switch (CharacterSelectStep) {
    case 0:
      for (PlayerRecord& player : PlayerTable) {
        player.character = -1;
        player.coins = 0;
        player.stars = 0;
        player.items[0] = 0;
        player.items[1] = 0;
      }
      for (int32_t& cursor : CharacterCursor) cursor = -1;
      CharacterSelectStep = 1;
      break;
    case 1:
      PlaceHumanCursors();
      CharacterSelectStep = 2;
      Speak(2, kCharacterText);
      break;
    case 2: {
      for (int32_t p = 1; p <= HumanCount; ++p) {
        if (CharacterDecided[p]) continue;
        MoveCursor(p, p);
        if (Pressed(p, kButtonA)) {
          PlayerTable[p - 1].character = CharacterCursor[p];
          CharacterDecided[p] = 1;
          PlayDecideSound();
        }
      }
      for (int32_t p = 1; p <= 4 && result == 0; ++p) {
        if (!Pressed(p, kButtonB)) continue;
        PlayDecideSound();
        if (p <= HumanCount && CharacterDecided[p]) {
          CharacterDecided[p] = 0;
          PlayerTable[p - 1].character = -1;
        } else {
          result = -1;
        }
      }
      Speak(2, kCharacterText);
      if (result != 0) break;
      bool all = true;
      for (int32_t p = 1; p <= HumanCount; ++p)
        if (!CharacterDecided[p]) all = false;
      if (all) {
        ChoosingCpu = HumanCount + 1;
        CharacterSelectStep = HumanCount < 4 ? 3 : 8;
      }
      break;
    }
    case 3:
      TakeCursor(ChoosingCpu, FirstFreeCharacter(CharacterCursorStart[ChoosingCpu]));
      CharacterSelectStep = 4;
      Speak(3, kCpuText);
      break;
    case 4:
      MoveCursor(1, ChoosingCpu);
      if (Pressed(1, kButtonA)) {
        PlayerRecord& cpu = PlayerTable[ChoosingCpu - 1];
        cpu.character = CharacterCursor[ChoosingCpu];
        cpu.cpuLevel = 1;
        PlayDecideSound();
        if (ChoosingCpu < 4) {
          ++ChoosingCpu;
          CharacterSelectStep = 3;
        } else {
          CharacterSelectStep = 8;
        }
      } else if (Pressed(1, kButtonB)) {
        ReleaseCursor(ChoosingCpu);
        PlayerTable[ChoosingCpu - 1].character = -1;
        if (ChoosingCpu == HumanCount + 1) {
          CharacterSelectStep = 1;  // the humans choose again
        } else {
          --ChoosingCpu;
          ReleaseCursor(ChoosingCpu);
          PlayerTable[ChoosingCpu - 1].character = -1;
          CharacterSelectStep = 3;
        }
      }
      Speak(3, kCpuText);
      break;
    case 8:
      for (PlayerRecord& player : PlayerTable)
        if (player.character >= 0 && player.character <= 5)
          StrCopy(player.name, CharacterDisplayNames[player.character]);
      result = 1;
      break;
    default:
      CharacterSelectStep = 0;
      break;
  }
  DrawHeading("キャラクターセレクト");
  DrawCharacterGrid();
  if (result != 0) CharacterSelectStep = 0;
  return result;
}

int ChooseTurnCount() {
  if (TurnCountStep == 0) {
    if (!turnChoiceVisited) TurnChoice = 1;
    turnChoiceVisited = true;
    TurnCountStep = 1;
  }
  int result = ChooseInRow(&TurnChoice, 6);
  if (result == 1) {
    TotalTurns = kTurnCounts[TurnChoice - 1];
    TurnsLeft = TotalTurns;
  }
  DrawHeading("ターン数");
  Speak(4, kTurnCountText);
  DrawTurnCounts();
  if (result != 0) TurnCountStep = 0;
  return result;
}

int ChooseBoardMap() {
  if (MapChoiceStep == 0) {
    LoadMapData();
    // Only the maps with board rules are offered.
    MapCursor = MapChoice >= kFirstPlayableMap && MapChoice <= kLastPlayableMap ? MapChoice : kFirstPlayableMap;
    MapChoiceStep = 1;
  }
  constexpr int32_t kPlayable = kLastPlayableMap - kFirstPlayableMap + 1;
  int32_t leftAlpha = 128, rightAlpha = 128;
  int result = 0;
  if (Pressed(1, kButtonLeft)) {
    PlayCursorSound();
    MapCursor = (MapCursor - kFirstPlayableMap + kPlayable - 1) % kPlayable + kFirstPlayableMap;
    leftAlpha = 255;
  } else if (Pressed(1, kButtonRight)) {
    PlayCursorSound();
    MapCursor = (MapCursor - kFirstPlayableMap + 1) % kPlayable + kFirstPlayableMap;
    rightAlpha = 255;
  } else if (Pressed(1, kButtonA)) {
    PlayDecideSound();
    CurrentMapId = MapCursor;
    MapChoice = MapCursor;
    result = 1;
  } else if (Pressed(1, kButtonB)) {
    result = -1;
  }
  DrawHeading("マップ選択");
  Speak(5, kMapText);
  DrawMapName(MapCursor);
  int32_t h = 0;
  QueryGraphSize(ArrowPicture, nullptr, &h);
  SetDrawBlend(1, leftAlpha);
  DrawGraphRotated(112, 209 + h / 2, 1.0, 4.71238911151886, ArrowPicture, 1, 0);
  SetDrawBlend(1, rightAlpha);
  DrawGraphRotated(240, 209 + h / 2, 1.0, 1.5707963705062866, ArrowPicture, 1, 0);
  SetDrawBlend(0, 255);
  if (result != 0) MapChoiceStep = 0;
  return result;
}

int ConfirmSetup() {
  if (ConfirmStep == 0) {
    ConfirmCursor = 1;
    ConfirmStep = 1;
  }
  int result = 0;
  if (Pressed(1, kButtonLeft)) {
    PlayCursorSound();
    ConfirmCursor = 0;
  } else if (Pressed(1, kButtonRight)) {
    PlayCursorSound();
    ConfirmCursor = 1;
  } else if (Pressed(1, kButtonB)) {
    ConfirmCursor = 1;
  } else if (Pressed(1, kButtonA)) {
    PlayDecideSound();
    result = ConfirmCursor == 0 ? 1 : -1;
  }
  Speak(6, kConfirmText);
  DrawYesNo(ConfirmCursor);
  if (result != 0) ConfirmStep = 0;
  return result;
}

// ---------------------------------------------------------------- the set-up and the scene

int RunPartySetup(int32_t mode) {
  if (UpdateFade() == 1) SetupStep = 10;
  DrawSetupFrame();
  if (!SetupCancelled) DrawSetupSummary(mode);
  switch (SetupStep) {
    case 0:
      SetupCancelled = 0;
      SetupStep = 1;
      return 0;
    case 1:
      SetupStep = 3;
      return 0;
    case 3: {
      int r = ChooseHumanCount();
      if (r == -1) {
        SetupCancelled = 1;
        SetupStep = 9;
      } else if (r == 1) {
        SetupStep = 4;
      }
      return 0;
    }
    case 4: {
      int r = ChooseCharacters();
      if (r == -1) {
        SetupStep = 3;
      } else if (r == 1) {
        SetupStep = mode == 1 ? 6 : 8;
      }
      return 0;
    }
    case 6: {
      int r = ChooseTurnCount();
      if (r != 0) SetupStep = r == 1 ? 7 : 4;
      return 0;
    }
    case 7: {
      int r = ChooseBoardMap();
      if (r != 0) SetupStep = r == 1 ? 8 : 6;
      return 0;
    }
    case 8: {
      int r = ConfirmSetup();
      if (r != 0) SetupStep = r == 1 ? 9 : 3;
      return 0;
    }
    case 9:
      FadeOutRequest = 1;
      Speak(7, kFarewellText);
      return 0;
    case 10:
      LoadBoardImages();
      SetupStep = 0;
      return SetupCancelled ? -1 : mode;
    default:
      SetupStep = 0;
      return 0;
  }
}

int RunPartySetupScene() {
  switch (PartySetupSceneStep) {
    case 0:
      RestoreCursor = 1;
      PartyRestored = 0;
      SetupCancelled = 0;
      PartySetupSceneStep = MainMenuChoice == 1 ? 1 : 3;
      return 0;
    case 1:
      PartySetupSceneStep = ReadBackupFile(backupBytes) ? 2 : 3;
      return 0;
    case 2:
      // The prompt fades in and stands on the set-up's screen.
      UpdateFade();
      DrawSetupFrame();
      if (Pressed(1, kButtonLeft)) {
        RestoreCursor = 0;
      } else if (Pressed(1, kButtonRight)) {
        RestoreCursor = 1;
      } else if (Pressed(1, kButtonA)) {
        if (RestoreCursor == 0) {
          RestoreBackup(backupBytes);
          PartySetupSceneStep = 6;
        } else {
          PartySetupSceneStep = 3;
        }
      }
      Speak(100, kRestoreText);
      DrawYesNo(RestoreCursor);
      return 0;
    case 3: {
      int r = RunPartySetup(MainMenuChoice);
      if (r == -1) {
        SetupCancelled = 1;
        PartySetupSceneStep = 6;
      } else if (r == 1 || r == 2) {
        PartySetupSceneStep = 6;
      }
      return 0;
    }
    case 6:
      PartySetupSceneStep = 0;
      return SetupCancelled ? -1 : MainMenuChoice == 2 ? 2 : 1;
    default:
      PartySetupSceneStep = 0;
      return 0;
  }
}
