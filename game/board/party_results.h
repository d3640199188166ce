// The results after the last round: a spotlight show, the guide's closing
// text, the spotlight on the winner and the final ranking of all four
// players by stars, then coins; then back to the main menu.
#pragma once

#include <cstdint>

#include "game/board/story_scene.h"

// The winner named: the highest player number among those in first place.
extern int32_t ResultsWinner;

extern int32_t ResultsStep;
extern int32_t StagingStep;
extern int32_t RankingStep;

// The closing text of "media\text\sugoresult.txt", without its line breaks:
// 300 bytes, allocated while the ranking runs.
constexpr int kResultTextBytes = 300;
extern char* ResultText;

// ---------------------------------------------------------------- the staging

// "media\other\spotlightver0.8.png", "0.7", "0.9_2_2", "0.9_3", "0.9_4",
// loaded while the staging runs.
extern int32_t StagingPictures[5];
extern float StagingTimer;
// By row of lights 1 to 20 (element row - 1): how far its cones have turned.
extern float StagingBeamValues[20];
// The element of the row whose cones turn now (1: row 2).
extern int32_t StagingBeamCounter;
extern int32_t StagingFlashAlpha;

// ---------------------------------------------------------------- the ranking

// "media\other\spotlightver0.8.png" and "0.7", loaded while the ranking runs.
extern int32_t RankingPictures[2];
extern SpotlightBeam RankingBeams[3];
extern int32_t RankingOverlayAlpha;  // the white, then the black over the picture
extern int32_t RankingFrames;        // the beams' sweep
extern int32_t RankingPauseFrames;   // the dark before the winner's spotlight
extern int32_t RankingTextId;
// By ranking row 0 to 4: its blend alpha and x offset; allocated while the
// ranking runs.
constexpr int kRankingRows = 5;
extern int32_t* RankingRowAlpha;
extern int32_t* RankingRowOffset;

// One frame of the results: 1 on the call that finishes, else 0.
int RunPartyResults();
// The rows of lights and the flash: 1 when finished.
int RunResultsStaging();
// The closing text, the spotlight on the winner and the ranking: 1 when finished.
int RunResultsRanking();
// Reads "media\text\sugoresult.txt" into ResultText, leaving out line breaks:
// at most 299 bytes of whole characters; a missing file leaves it empty.
void LoadResultText();
// The rows of the ranking table: the slots of StandingsTable in order, the
// players of a tied slot by increasing number; players[r] and places[r]
// (1 to 4, tied players sharing one) of row r. Returns the number of rows.
int32_t GetFinalRankingRows(int32_t players[4], int32_t places[4]);
// The ranking table from StandingsTable.
void DrawFinalRanking();
// The general background 03, then the results picture.
void DrawResultsBackground();
// The final result picture over the whole screen, opaque.
void DrawFinalResultPicture();
