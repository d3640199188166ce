#include "game/shell/game_main.h"

#include "library/zrlib.h"
#include "platform/win32/win32_time.h"

namespace {

// The current scene's frame; the scenes come with the game's shell.
void RunCurrentScene() {}

// Frame pacing: a plain frame's sleep until the 60-frame pacing comes with
// the game's shell.
void WaitNextFrame() { Sleep(16); }

}  // namespace

int WinMain() {
  SetMainWindowTitle("ベルノーラパーティ ver1.00");
  SetMainWindowIcon(103);
  SetArchiveExtension("dat");
  if (InitLibrary() == -1) return -1;
  while (ProcessWindowMessages() == 0) {
    RunCurrentScene();
    WaitNextFrame();
  }
  EndLibrary();
  return 0;
}
