// The board drawing and the party opening for the harness: the camera, the
// panels, the map views, the opening's steps and the turn-order draw.
#include <string>

#include "game/board/board_view.h"
#include "game/board/party_opening.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(board_view) {
  GAME_VALUE(CameraX);
  GAME_VALUE(CameraY);
  GAME_TABLE(PanelSlideOffsets);
  GAME_MACHINE(RunMapView, MapViewState);
  GAME_MACHINE(RunWholeMapView, WholeMapViewState);
  GAME_VALUE(MapViewFloor);
  GAME_TABLE(MapViewSavedCamera);
  GAME_VALUE(WholeMapCoverAlpha);

  GAME_MACHINE(RunPartyOpening, PartyOpeningState);
  GAME_MACHINE(RunPrincessRequestIntro, PrincessIntroState);
  GAME_MACHINE(RunGemGuideIntro, GemGuideIntroState);
  GAME_MACHINE(RunBanquetHostIntro, BanquetHostIntroState);
  GAME_VALUE(IntroTextIndex);
  GAME_VALUE(IntroAlpha);
  GAME_VALUE(IntroSecondAlpha);
  GAME_VALUE(IntroOverlayClearing);
  GAME_VALUE(IntroSecondShowing);
  GAME_MACHINE(RunTurnOrderDraw, TurnOrderDrawStep);
  GAME_TABLE(OrderDraws);
  GAME_VALUE(NextOrderNumber);
  GAME_TABLE(DieShowCounters);
  GAME_TABLE(CpuDrawWait);
  GAME_VALUE(OrderCoinsCounted);
  GAME_TEXT("OrderAnnouncement", [] { return std::string(OrderAnnouncement); });
  GAME_TEXT("OrderTextLines", [] { return std::string(OrderTextLines != nullptr ? "allocated" : "none"); });
}
