// The shell's state for the harness: the fade, the menus' choice, the
// settings and input tables, the key configuration's steps, the music.
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(shell) {
  GAME_MACHINE(RunKeyConfigScreen, KeyConfigStep);
  GAME_VALUE(MainMenuChoice);
  GAME_VALUE(FadeOutRequest);
  GAME_VALUE(FadeInDone);
  GAME_VALUE(FadeLevel);
  GAME_TABLE(OptionRecord);
  GAME_VALUE(MusicVolume);
  GAME_VALUE(SoundEffectVolume);
  GAME_TABLE(KeyConfigTable);
  GAME_VALUE(CurrentBgmIndex);
}
