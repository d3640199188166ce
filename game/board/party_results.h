// The results after the last round: a spotlight show, the guide's closing
// text, the spotlight on the winner and the final ranking of all four
// players by stars, then coins; then back to the main menu.
#pragma once

#include <cstdint>

// The winner named: the highest player number among those in first place.
extern int32_t ResultsWinner;

extern int32_t ResultsStep;
extern int32_t StagingStep;
extern int32_t RankingStep;

// The closing text of "media\text\sugoresult.txt", without its line breaks:
// 300 bytes, allocated while the ranking runs.
constexpr int kResultTextBytes = 300;
extern char* ResultText;

// One frame of the results: 1 on the call that finishes, else 0.
int RunPartyResults();
// The rows of lights and the flash: 1 when finished.
int RunResultsStaging();
// The closing text, the spotlight on the winner and the ranking: 1 when finished.
int RunResultsRanking();
// Reads "media\text\sugoresult.txt" into ResultText, leaving out line breaks.
void LoadResultText();
// The ranking table from StandingsTable.
void DrawFinalRanking();
// The general background 03, then the results picture.
void DrawResultsBackground();
// The final result picture over the whole screen, opaque.
void DrawFinalResultPicture();
