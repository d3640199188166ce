// The party results.
#include "game/board/party_results.h"

int32_t ResultsWinner = 0;
int32_t ResultsStep = 0;
int32_t StagingStep = 0;
int32_t RankingStep = 0;
char* ResultText = nullptr;

// empty step: built with its module
int RunPartyResults() { return 1; }
// empty step: built with its module
int RunResultsStaging() { return 1; }
// empty step: built with its module
int RunResultsRanking() { return 1; }
// empty step: built with its module
void LoadResultText() {}
// empty step: built with its module
void DrawFinalRanking() {}
// empty step: built with its module
void DrawResultsBackground() {}
// empty step: built with its module
void DrawFinalResultPicture() {}
