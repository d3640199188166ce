// The message text renderer, its windows, the title, the main menu and the
// options screen, for the harness.
//
// The renderer and the windows are values, not machines: a caller may stop
// calling them in any state (a confirmed text waits in its restart state, a
// window may be left open), and the callers' own machines stall when a text
// does.
#include <cstring>
#include <string>

#include "game/shell/message_text.h"
#include "game/shell/options_screen.h"
#include "game/shell/title_menu.h"
#include "tests/game/harness/game_registry.h"

namespace {

std::string MessageLinesText() {
  std::string out;
  for (int i = 0; i < kMessageLineCount; ++i) {
    if (i > 0) out += " | ";
    out += HexBytes(MessageLines[i], strnlen(MessageLines[i], kMessageLineBytes));
  }
  return out;
}

}  // namespace

GAME_REGISTRY(menus) {
  GAME_VALUE(MessageTextId);
  GAME_VALUE(MessageTextState);
  GAME_VALUE(MessageReadPos);
  GAME_VALUE(MessageLine);
  GAME_VALUE(MessageColumn);
  GAME_VALUE(MessageTypingCounter);
  GAME_VALUE(MessageTextEnded);
  GAME_TEXT("MessageLines", MessageLinesText);
  GAME_TABLE(AnimatedWindow);
  GAME_TABLE(ChoiceWindow);
  GAME_TABLE(WideChoiceWindow);

  GAME_MACHINE(RunTitleScreen, TitleStep);
  GAME_VALUE(TitlePicture);
  GAME_VALUE(TitleBlinkCounter);
  GAME_MACHINE(RunMainMenu, MainMenuStep);
  GAME_VALUE(MainMenuCursor);
  GAME_VALUE(MainMenuTarget);
  GAME_VALUE(MainMenuScroll);
  // Both rest at 2 between visits; before the first visit they are 0.
  RegisterGameMachine("RunOptionsScene", "OptionsSceneStep",
                      [] { return static_cast<int64_t>(OptionsSceneStep == 0 ? 2 : OptionsSceneStep); }, 2);
  RegisterGameMachine("RunOptionsScreen", "OptionsStep",
                      [] { return static_cast<int64_t>(OptionsStep == 0 ? 2 : OptionsStep); }, 2);
  GAME_VALUE(WindowModeChoice);
  GAME_VALUE(OptionsSampleCounter);
}
