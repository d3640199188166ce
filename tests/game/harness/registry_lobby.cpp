// The LAN lobby's state for the harness: its machines, the peers, the ports
// and the link test's measurements.
#include "game/board/lan_lobby.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(lobby) {
  // The scene and the menu start at step 0 and rest at 2 between uses; the
  // client's step 0 runs once, then it rests at 1 like the host.
  RegisterGameMachine("RunLanLobbyScene", "LanLobbyStep", [] { return LanLobbyStep == 0 ? 2 : LanLobbyStep; }, 2);
  RegisterGameMachine("RunLanMenu", "LanMenuStep", [] { return LanMenuStep == 0 ? 2 : LanMenuStep; }, 2);
  GAME_MACHINE(RunLanHost, LanHostStep, 1);
  RegisterGameMachine("RunLanClient", "LanClientStep", [] { return LanClientStep == 0 ? 1 : LanClientStep; }, 1);
  GAME_MACHINE(RunLinkTest, LinkTestStep);
  GAME_VALUE(LanMenuCursor);
  GAME_VALUE(LanMenuCancelled);
  GAME_VALUE(LanClientField);
  GAME_VALUE(LanConnectWait);
  GAME_VALUE(OwnPlayerNumber);
  GAME_TABLE(PeerHandles);
  GAME_TABLE(PeerAddresses);
  GAME_TABLE(ServerAddress);
  GAME_VALUE(LanPort);
  GAME_VALUE(LinkUdpHandle);
  GAME_TABLE(LinkDelayFrames);
  GAME_TABLE(PingSentMs);
  GAME_TABLE(PingReplyMs);
  GAME_TABLE(PingFrameCounters);
  GAME_VALUE(LastSentButtons);
  GAME_VALUE(RefusedLobbyRecords);
  GAME_VALUE(RefusedLinkDatagrams);
  GAME_TEXT("LanNotice", [] { return LanNotice != nullptr ? LanNotice : ""; });
}
