// Minigame mode (scene 3), for the harness. The scene idles at step 1 and
// the picker at step 2 (the steps below run once, on the first visit).
#include "game/shell/minigame_mode.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(minigame_mode) {
  RegisterGameMachine("RunMinigameModeScene", "MinigameModeStep",
                      [] { return MinigameModeStep < 1 ? 1 : MinigameModeStep; }, 1);
  RegisterGameMachine("RunMinigamePicker", "MinigamePickerStep",
                      [] { return MinigamePickerStep < 2 ? 2 : MinigamePickerStep; }, 2);
  GAME_TABLE(PickerPageOrder);
  GAME_VALUE(PickerCategoryCursor);
  GAME_VALUE(PickerEntryCursor);
  GAME_VALUE(PickerSlideOffset);
  GAME_VALUE(PickerAlonePlayer);
  GAME_TABLE(PickerPairSlots);
  GAME_VALUE(PickerChosenNumber);
  GAME_VALUE(PickerCancelled);
}
