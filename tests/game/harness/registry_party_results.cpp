// The party results, for the harness.
#include "game/board/party_results.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(party_results) {
  GAME_MACHINE(RunPartyResults, ResultsStep);
  GAME_MACHINE(RunResultsStaging, StagingStep);
  GAME_MACHINE(RunResultsRanking, RankingStep);
  GAME_VALUE(ResultsWinner);
  GAME_VALUE(StagingTimer);
  GAME_TABLE(StagingBeamValues);
  GAME_VALUE(StagingBeamCounter);
  GAME_VALUE(StagingFlashAlpha);
  GAME_TABLE(RankingBeams);
  GAME_VALUE(RankingOverlayAlpha);
  GAME_VALUE(RankingFrames);
  GAME_VALUE(RankingPauseFrames);
  GAME_VALUE(RankingTextId);
}
