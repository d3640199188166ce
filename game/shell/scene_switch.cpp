// The scene switch, the boot scene and the shared fade.
#include "game/board/board_map.h"
#include "game/board/lan_lobby.h"
#include "game/board/party_scene.h"
#include "game/board/story_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/item_table.h"
#include "game/shell/minigame_table.h"
#include "game/shell/options_screen.h"
#include "game/shell/party_setup.h"
#include "game/shell/minigame_mode.h"
#include "game/shell/shared_media.h"
#include "game/shell/title_menu.h"
#include "library/zrlib.h"

int32_t SceneState = 0;
int32_t MainMenuChoice = 0;

int32_t FadeOutRequest = 0;
int32_t FadeInDone = 0;
int32_t FadeLevel = 0;

int UpdateFade() {
  if (FadeInDone == 0) {
    FadeLevel += 15;
    SetDrawBrightness(FadeLevel, FadeLevel, FadeLevel);
    if (FadeLevel >= 255) {
      FadeInDone = 1;
      FadeLevel = 0;
    }
  }
  if (FadeOutRequest == 1) {
    FadeLevel += 15;
    int32_t bright = 255 - FadeLevel;
    SetDrawBrightness(bright, bright, bright);
    if (FadeLevel >= 255) {
      FadeInDone = 0;
      FadeOutRequest = 0;
      FadeLevel = 0;
      return 1;
    }
  }
  return 0;
}

int BootScene() {
  for (int32_t handle : MusicHandles) SetSoundHandleVolume(MusicVolume, handle);
  for (int32_t handle : SoundEffectHandles) SetSoundHandleVolume(SoundEffectVolume, handle);
  StopSoundHandle(MusicHandles[0]);
  StopSoundHandle(MusicHandles[1]);
  PlaySoundHandle(MusicHandles[0], 3, 1);
  LoadMinigameTable();
  LoadItemTable();
  LoadMapData();
  return 1;
}

int (*SceneHandlers[16])() = {
    BootScene,          RunTitleScreen, RunMainMenu, RunMinigameModeScene, RunPartySetupScene, nullptr,
    nullptr,            RunOptionsScene, RunPartyScene, nullptr,           nullptr,            RunSpotlightScene,
    RunLanLobbyScene,   nullptr,        nullptr,     nullptr,
};

namespace {

// The scene that follows a handler's result; the scene itself to stay.
int32_t NextScene(int32_t scene, int32_t result) {
  switch (scene) {
    case 0:
    case 1:
      return result != 0 ? scene + 1 : scene;
    case 2:
      switch (result) {
        case 1:
        case 2:
          return 4;
        case 3:
          return 7;
        case 4:
          return 15;
        case 6:
          return 12;
        case 7:
          return 11;
        default:
          return scene;
      }
    case 3:
    case 8:
    case 11:
      return result == 1 ? 2 : scene;
    case 4:
      return result == -1 ? 2 : result == 1 ? 8 : result == 2 ? 3 : scene;
    case 7:
      return result == 1 ? 2 : result == 2 ? 0 : scene;
    case 12:
      return result != 0 ? 2 : scene;
    default:
      return scene;
  }
}

}  // namespace

void RunCurrentScene() {
  int32_t scene = SceneState;
  if (scene < 0 || scene >= 16 || SceneHandlers[scene] == nullptr) return;  // no handler: the frame does nothing
  if (scene == 0) MainMenuChoice = 0;
  int32_t result = SceneHandlers[scene]();
  if (scene == 2) MainMenuChoice = result;
  SceneState = NextScene(scene, result);
}
