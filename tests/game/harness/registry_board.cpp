// The board's data and the party scene for the harness: the map list, the
// squares, the party-wide state and the set-up's and the party's steps.
#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/dice_movement.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/shell/item_table.h"
#include "game/shell/minigame_table.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(board) {
  GAME_MACHINE(RunPartyScene, PartySceneState);
  GAME_VALUE(SetUpBoardState);  // runs whole within one frame
  GAME_VALUE(PartyRestored);
  GAME_VALUE(CurrentMapId);
  GAME_VALUE(TotalTurns);
  GAME_VALUE(TurnsLeft);
  GAME_VALUE(BoardMinigameNumber);
  GAME_VALUE(RoundEffect);
  GAME_VALUE(RoundEffectRoundsLeft);
  GAME_VALUE(PassageClosedRounds);
  GAME_TABLE(FatedOneCountdown);
  GAME_TABLE(WarpPairs);
  GAME_VALUE(BoardMusic);
  GAME_TABLE(SquareTable);
  GAME_TABLE(MapInfoTable);
  GAME_VALUE(WanderingSquare);
  GAME_VALUE(WanderingSquareKind);
  GAME_VALUE(WanderingSquareMove);
  GAME_TABLE(BoardPictures);
  GAME_TABLE(BambooBoardPictures);
  GAME_TABLE(MinigameInfoTable);
  GAME_TABLE(ItemTable);
}
