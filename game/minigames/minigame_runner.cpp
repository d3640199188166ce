// The minigame runner, its table of entries and folders, and the explanation
// screen.
#include "game/minigames/minigame_runner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/minigame_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

const char kMinigameMusicFile[] = "media\\sound\\BGM\\楓-Remake.Ver-.ogg";

int32_t MinigameRunnerStep = 0;

int (*const MinigameEntryTable[kMinigameSlots])() = {
    RendaMain,        RiverMain,          LeisureMain,     StairMain,        NumberSearchMain, QuizMain,
    AirRideMain,      SnowballMain,       SpringsetMain,   BestShotMain,     PormeFlyingMain,  QuarterActionMain,
    FallClimbMain,    BreakLabyrinthMain, nullptr,         PooyanMain,       GunShootingMain,  ThreeRocketMain,
    QuarterJumpMain,  BossShootingMain,   HighShotMain,    MegnosMemoryMain, nullptr,          HockeyMain,
    ShootingMain,     MisobombMain,       RepeatUpMain,    TrumpMemoryMain,  FallingBlockMain, nullptr,
    QuarterViewMain,
};

int32_t ExplanationStep = 0;
char* ExplanationText = nullptr;
int32_t ExplanationScreenshot = 0;
int32_t ExplanationTextId = 25;

namespace {

const char* const kMinigameFolders[kMinigameSlots] = {
    "media\\mini\\renda",          "media\\mini\\river",        "media\\mini\\leisure",
    "media\\mini\\stair",          "media\\mini\\numbersearch", "media\\mini\\quizvemla",
    "media\\mini\\airride",        "media\\mini\\snowballfight", "media\\mini\\springset",
    "media\\mini\\bestshot",       "media\\mini\\flyingporme",  "media\\mini\\quarteraction",
    "media\\mini\\fallclimb",      "media\\mini\\breaklabyrinth", nullptr,
    "media\\mini\\pooyan",         "media\\mini\\gunshooting",  "media\\mini\\threerocket",
    "media\\mini\\quarterjump",    "media\\mini\\shootingboss", "media\\mini\\highshooting",
    "media\\mini\\megnosmemory",   nullptr,                     "media\\mini\\hockey",
    "media\\mini\\shooting",       "media\\mini\\misobomb",     "media\\mini\\repeatup",
    "media\\mini\\trumpmemory",    "media\\mini\\tumbrick",     nullptr,
    "media\\mini\\quarterview",
};

const char kStartPrompt[] = "Startボタンを押すとゲームスタート";
// The explanation buffer is asked for this many times before the game gives up.
constexpr int kExplanationAllocTries = 3;

// Folder + "\" + file, written over the folder buffer.
void AppendFileName(char* folder, const char* file) {
  char path[kMinigameFolderBytes];
  snprintf(path, sizeof path, "%s\\%s", folder, file);
  memcpy(folder, path, sizeof path);
}

char* AllocateExplanationText() {
  for (int attempt = 0; attempt < kExplanationAllocTries; ++attempt) {
    void* block = calloc(kExplanationTextBytes, 1);
    if (block != nullptr) return static_cast<char*>(block);
  }
  MessageBoxA(nullptr, "メモリ確保に失敗しました", "メモリ不足", MB_OK);
  ExitGame(1, "ExplanationText");
}

// Step 1 of the explanation screen: the text and the screenshot.
void LoadExplanation(int32_t n) {
  ExplanationText = AllocateExplanationText();
  char folder[kMinigameFolderBytes] = {};
  GetMinigameFolder(n, folder);
  LoadMinigameExplanation(folder);
  GetMinigameFolder(n, folder);
  AppendFileName(folder, "screenshot.png");
  ExplanationScreenshot = LoadGraphFile(folder, 0);
  if (ExplanationScreenshot == -1) ExitGame(1, folder);
}

void DrawExplanationPieces() {
  DrawExplanationText();
  DrawExplanationScreenshot();
  DrawExplanationLineup();
}

}  // namespace

int CallMinigameEntry(int32_t slot) {
  if (slot < 0 || slot >= kMinigameSlots || MinigameEntryTable[slot] == nullptr) return 0;
  return MinigameEntryTable[slot]() != 0 ? 1 : 0;
}

int RunMinigame(int32_t n) {
  switch (MinigameRunnerStep) {
    case 0:
      MinigameRunnerStep = 1;
      break;
    case 1: {
      SetSoundLoadType(2);
      int32_t handle = LoadSoundFile(kMinigameMusicFile, 3, -1);
      SetSoundLoadType(0);
      MusicHandles[5] = handle;
      // Without it the minigames go on in silence.
      if (handle == -1)
        WriteErrorLogFormat("%s の読み込みに失敗しました", kMinigameMusicFile);
      else
        SetSoundHandleVolume(MusicVolume, handle);
      MinigameRunnerStep = 2;
      break;
    }
    case 2:
      ResetParticipants();
      if (!MinigameNumberHasEntry(n) || MinigameEntryTable[n - 1] == nullptr) {
        WriteErrorLogFormat("ミニゲーム %d はありません", n);
        return 1;
      }
      MinigameRunnerStep = 3;
      break;
    case 3:
      if (ShowMinigameExplanation(n) == 1) {
        PlayBgmLooped(5);
        MinigameRunnerStep = 4;
      }
      break;
    case 4:
      if (n >= 1 && n <= kMinigameSlots && CallMinigameEntry(n - 1) == 1) MinigameRunnerStep = 7;
      break;
    case 7:
      StopAllBgm();
      MinigameRunnerStep = 2;
      return 1;
    default:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------- the explanation screen

void GetMinigameFolder(int32_t n, char* out) {
  if (n < 1 || n > kMinigameSlots || kMinigameFolders[n - 1] == nullptr) return;
  snprintf(out, kMinigameFolderBytes, "%s", kMinigameFolders[n - 1]);
}

void LoadMinigameExplanation(char* folder) {
  AppendFileName(folder, "explain.txt");
  if (ExplanationText == nullptr) return;
  FileId file = FileStreamOpenRead(folder, 0);
  if (file == 0) {
    WriteErrorLogFormat("%s が開けません", folder);
    return;
  }
  int32_t length = 0;
  bool cut = false;
  for (;;) {
    char c = FileStreamGetChar(file);
    if (static_cast<uint8_t>(c) == 0xFF || c == '\0') break;
    if (c == '\n' || c == '\r') continue;
    // The last byte of the buffer stays the text's terminating zero.
    if (length >= kExplanationTextBytes - 1) {
      cut = true;
      break;
    }
    ExplanationText[length++] = c;
  }
  FileStreamClose(file);
  if (cut) WriteErrorLogFormat("%s: %d バイトを超える説明を切り詰めました", folder, kExplanationTextBytes - 1);
}

int ShowMinigameExplanation(int32_t n) {
  if (UpdateFade() == 1) ExplanationStep = 5;
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  DrawExplanationTitle(n);
  switch (ExplanationStep) {
    case 0:
      ExplanationStep = 1;
      break;
    case 1:
      LoadExplanation(n);
      ExplanationStep = 2;
      break;
    case 2:
      ExplanationStep = 3;
      break;
    case 3:
      DrawExplanationPieces();
      if (IsNewButtonPress(1, kButtonStart)) ExplanationStep = 4;
      break;
    case 4:
      FadeOutRequest = 1;
      DrawExplanationPieces();
      break;
    case 5:
      ExplanationTextId = ExplanationTextId == 25 ? 26 : 25;
      free(ExplanationText);
      ExplanationText = nullptr;
      FreeGraph(ExplanationScreenshot);
      ExplanationStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void DrawExplanationTitle(int32_t n) {
  DrawAlphaBox(80, 100, 10, 540, 70, MakeScreenColor(0, 0, 0));
  DrawWindowFrame(100, 10, 540, 70);
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (const MinigameInfoRecord& row : MinigameInfoTable) {
    if (row.number != n) continue;
    // The name's 40 bytes at most, whatever the table holds.
    int32_t width = GetFormatTextWidthToHandle(FontHandle35, "%.40s", row.name);
    DrawFormatTextToHandle(320 - width / 2, 20, white, FontHandle35, "%.40s", row.name);
  }
}

void DrawExplanationText() {
  DrawAlphaBox(80, 16, 352, 624, 464, MakeScreenColor(0, 0, 0));
  DrawWindowFrame(16, 352, 624, 464);
  int32_t font = FontHandlesBySize[19];
  int32_t width = GetTextWidthToHandle(kStartPrompt, static_cast<int32_t>(strlen(kStartPrompt)), font, 0);
  DrawTextToHandle(320 - width / 2, 310, kStartPrompt, MakeScreenColor(255, 255, 255), font, 0, 0);
  DrawMessageText(608, ExplanationTextId, 32, 368, 448, 16, ExplanationText != nullptr ? ExplanationText : "", 1);
}

void DrawExplanationScreenshot() {
  DrawGraphRotated(320, 200, 1.0, 0.0, ExplanationScreenshot, 0, 0);
  DrawWindowFrame(195, 105, 445, 295);
}

void DrawExplanationLineup() {
  for (int32_t p = 1; p <= 4; ++p)
    DrawGraphRotated(128 + 384 * ((p - 1) % 2), 160 + 128 * ((p - 1) / 2), 1.5, 0.0, ParticipantPicture(p, 1), 1, 0);
}
