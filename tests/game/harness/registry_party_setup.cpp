// The restore prompt and the set-up screens for the harness.
#include "game/shell/party_setup.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(party_setup) {
  GAME_MACHINE(RunPartySetupScene, PartySetupSceneStep);
  GAME_MACHINE(RunPartySetup, SetupStep);
  GAME_MACHINE(ChooseHumanCount, HumanCountStep);
  GAME_MACHINE(ChooseCharacters, CharacterSelectStep);
  GAME_MACHINE(ChooseTurnCount, TurnCountStep);
  GAME_MACHINE(ChooseBoardMap, MapChoiceStep);
  GAME_MACHINE(ConfirmSetup, ConfirmStep);
  GAME_VALUE(HumanCount);
  GAME_VALUE(TurnChoice);
  GAME_VALUE(MapChoice);
  GAME_VALUE(MapCursor);
  GAME_TABLE(CharacterCursor);
  GAME_TABLE(CharacterDecided);
  GAME_TABLE(CharacterTaken);
  GAME_VALUE(SetupCancelled);
  GAME_VALUE(RestoreCursor);
  GAME_VALUE(ConfirmCursor);
  GAME_VALUE(ChoosingCpu);
}
