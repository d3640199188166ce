// The party scene and its round start.
#include "game/board/party_scene.h"

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/coin_tally.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_opening.h"
#include "game/board/party_results.h"
#include "game/board/turn_machine.h"
#include "game/minigames/minigame_runner.h"
#include "game/shell/game_helpers.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t PartySceneState = 0;
int32_t PartyRestored = 0;
int32_t CurrentMapId = 0;
int32_t TotalTurns = 0;
int32_t TurnsLeft = 0;
int32_t BoardMinigameNumber = 0;
int32_t RoundEffectRoundsLeft = 0;
int32_t PassageClosedRounds = 0;
int32_t WarpPairs[10] = {};
int32_t& BoardMusic = MusicHandles[1];

namespace {

// Puts the link into the square's first empty link slot (none free: nothing).
void AddLink(int32_t square, int32_t target) {
  for (int32_t& link : SquareTable[square].link)
    if (link == 0) {
      link = target;
      return;
    }
}

// The round start (one frame): the autosave, the next state, and the
// countdowns of the round effect and of map 3's closed passages.
void StartRound() {
  WriteBackupFile();
  PartySceneState = TurnsLeft != TotalTurns && TurnsLeft % 5 == 1 ? 4 : 5;
  if (RoundEffectRoundsLeft > 0 && --RoundEffectRoundsLeft == 0) {
    if (RoundEffect == 5) {  // blue and red swap back
      for (SquareRecord& square : SquareTable) {
        if (square.kind == kSquareBlue) {
          square.kind = kSquareRed;
        } else if (square.kind == kSquareRed) {
          square.kind = kSquareBlue;
        }
      }
    }
    RoundEffect = 0;
  }
  if (PassageClosedRounds > 0 && --PassageClosedRounds == 0) {
    AddLink(6, 9);
    AddLink(47, 53);
  }
}

void RestartBoardMusic() {
  StopAllBgm();
  PlaySoundHandle(BoardMusic, 3, 1);
}

// Loads this party's board music (the previous party's is deleted first).
// 0, or -1 when it cannot be loaded.
int LoadBoardMusic() {
  if (BoardMusic != 0 && BoardMusic != -1) DeleteSoundHandle(BoardMusic, 0);
  const char* path = CurrentMapId == 3 ? "media\\sound\\BGM\\賀正素材その２.ogg"
                                       : "media\\sound\\BGM\\蒼ノ月-AoNoTuki-.ogg";
  SetSoundLoadType(2);
  BoardMusic = LoadSoundFile(path, 3, -1);
  SetSoundLoadType(0);  // also after a failure, so later sounds load whole
  if (BoardMusic == -1) {
    WriteErrorLogFormat("%s の読み込みに失敗しました", path);
    return -1;
  }
  SetSoundHandleVolume(MusicVolume, BoardMusic);
  return 0;
}

}  // namespace

int RunPartyScene() {
  switch (PartySceneState) {
    case 0:
      for (int32_t& offset : PanelSlideOffsets) offset = 0;
      if (PartyRestored == 0) {
        while (SetUpBoard() != 1) {
        }
        PartySceneState = 1;
      } else {
        for (int32_t& weight : MinigameWeights) weight = 3;
        RoundEffect = 0;
        RoundEffectRoundsLeft = 0;
        PassageClosedRounds = 0;
        PartySceneState = 3;
      }
      return LoadBoardMusic();
    case 1:
      PartySceneState = 2;
      return 0;
    case 2:
      if (RunPartyOpening() == 1) {
        PartySceneState = 3;
        RestartBoardMusic();
      }
      return 0;
    case 3:
      StartRound();
      return 0;
    case 4:
      if (RunMagicSquareSlot() == 1) PartySceneState = 5;
      return 0;
    case 5: {
      int32_t minigame = RunTurnMachine();
      if (minigame != 0) {
        BoardMinigameNumber = minigame;
        PartySceneState = 6;
      }
      return 0;
    }
    case 6:
      if (RunMinigame(BoardMinigameNumber) == 1) PartySceneState = 7;
      return 0;
    case 7:
      if (RunCoinTally() == 1) {
        if (--TurnsLeft == 0) {
          PartySceneState = 8;
        } else {
          PartySceneState = 3;
          RestartBoardMusic();
        }
      }
      return 0;
    case 8:
      if (RunPartyResults() == 1) PartySceneState = 10;
      return 0;
    case 10:
      PartySceneState = 0;
      return 1;
    default:  // a state no step leads to: the party ends
      PartySceneState = 10;
      return 0;
  }
}
