// The game's entry: start-up, the loading step and the main loop.
#include "game/shell/game_main.h"

#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_system.h"

int32_t LogoPicture = 0;
int32_t LoadingPicture = 0;

namespace {

const char kWindowTitle[] = "ベルノーラパーティ ver1.00";
const char kLogoFile[] = "media\\circle\\サークルロゴ.png";
const char kLoadingFile[] = "media\\circle\\NowLoading_ver2.png";

// Set once InitGame has loaded the images and fonts, so that a second run
// frees them first.
bool gameMediaMade = false;

int FailStep(const char* step) {
  WriteErrorLogFormat("%s に失敗しました", step);
  return -1;
}

}  // namespace

void ExitGame(int32_t exitCode, const char* cause) {
  WriteErrorLogFormat("%s のため終了します (終了コード %d)", cause, exitCode);
  ExitProcess(static_cast<UINT>(exitCode));
}

int InitGame() {
  if (gameMediaMade) FreeGameImagesAndFonts();
  if (SelectDrawTarget(-2) != 0) return FailStep("SelectDrawTarget");
  LoadingPicture = LoadGraphFile(kLoadingFile, 0);
  if (LoadingPicture == -1) return FailStep(kLoadingFile);
  DrawGraphAt(300, 400, LoadingPicture, 1);
  PresentScreen();
  ReadAheadGamePictures();
  const bool loaded = LoadCommonImages() != -1 && LoadCharacterImages() != -1 && LoadStageImages() != -1;
  EndGraphReadAhead();
  if (!loaded) return -1;
  CreateGameFonts();
  FreeGraph(LoadingPicture);
  SetDrawClipArea(0, 0, 640, 480);
  if (gameMediaMade) {
    // The window-mode change rebuilt the screen: the mask screen too.
    MakeMaskScreen();
    EnableMaskScreen(0);
  }
  gameMediaMade = true;
  return 0;
}

int StartGame() {
  SetMainWindowTitle(kWindowTitle);
  SetMainWindowIcon(103);
  SetArchiveExtension("dat");
  ReadOptionFile();
  ChangeWindowMode(static_cast<int32_t>(WindowModeFlag));
  if (InitLibrary() == -1) return FailStep("InitLibrary");
  LogOptionFileNote();
  if (SelectDrawTarget(-2) != 0) return FailStep("SelectDrawTarget");
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(255, 255, 255), 1);
  LogoPicture = LoadGraphFile(kLogoFile, 0);
  if (LogoPicture == -1) return FailStep(kLogoFile);
  DrawGraphRotated(320, 240, 1.0, 0.0, LogoPicture, 1, 0);
  if (InitGame() == -1) return FailStep("InitGame");
  FreeGraph(LogoPicture);
  if (LoadSounds() == -1) return FailStep("LoadSounds");
  ReadKeyConfigFile();
  MakeMaskScreen();
  EnableMaskScreen(0);
  return 0;
}

int RunMainLoopFrame() {
  if (ProcessWindowMessages() != 0) return 1;
  if (ClearDrawTarget(nullptr) != 0) {
    FailStep("ClearDrawTarget");
    return 1;
  }
  if (UpdateKeyHoldCounters() != 0) return 1;
  RunCurrentScene();
  if (SceneState == 15) return 1;
  WaitNextFrame();
  DrawFrameRate();
  PresentScreen();
  return 0;
}

int WinMain() {
  if (StartGame() != 0) return -1;
  while (RunMainLoopFrame() == 0) {
  }
  EndLibrary();
  return 0;
}
