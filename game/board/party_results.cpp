// The party results.
#include "game/board/party_results.h"

#include <cstdlib>
#include <cstring>

#include "game/board/event_dialogue.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t ResultsWinner = 0;
int32_t ResultsStep = 0;
int32_t StagingStep = 0;
int32_t RankingStep = 0;
char* ResultText = nullptr;

int32_t StagingPictures[5] = {};
float StagingTimer = 0.0f;
float StagingBeamValues[20] = {};
int32_t StagingBeamCounter = 0;
int32_t StagingFlashAlpha = 0;

int32_t RankingPictures[2] = {};
SpotlightBeam RankingBeams[3] = {};
int32_t RankingOverlayAlpha = 0;
int32_t RankingFrames = 0;
int32_t RankingPauseFrames = 0;
int32_t RankingTextId = 0;
int32_t* RankingRowAlpha = nullptr;
int32_t* RankingRowOffset = nullptr;

namespace {

const char* const kStagingFiles[5] = {
    "media\\other\\spotlightver0.8.png",   "media\\other\\spotlightver0.7.png",
    "media\\other\\spotlightver0.9_2_2.png", "media\\other\\spotlightver0.9_3.png",
    "media\\other\\spotlightver0.9_4.png",
};
enum StagingPicture { kWideBeam = 0, kNarrowBeam = 1, kCone = 2, kLamp = 3, kCentralSpot = 4 };

const char kResultTextFile[] = "media\\text\\sugoresult.txt";

constexpr float kTimerStep = 0.019999999552965164f;
constexpr float kTurnStep = 0.039269909262657166f;   // pi / 80
constexpr float kTurnLimit = 1.4726215600967407f;
constexpr int32_t kLastTurningRow = 14;               // the element of row 15

uint32_t White() { return MakeScreenColor(255, 255, 255); }
uint32_t Black() { return MakeScreenColor(0, 0, 0); }

int32_t LoadOrExit(const char* file) {
  int32_t graph = LoadGraphFile(file, 0);
  if (graph == -1) ExitGame(1, file);
  return graph;
}

void FreePicture(int32_t& graph) {
  if (graph > 0) FreeGraph(graph);
  graph = 0;
}

// A coordinate cut to an integer; far-off values (a row of lights right at
// the eye) are held where they still lie off the screen.
int32_t Cut(float v) {
  if (v > 100000.0f) return 100000;
  if (v < -100000.0f) return -100000;
  return static_cast<int32_t>(v);
}

// The rows of lights coming closer: row i at depth i - t while t < i < t + 9,
// two cones (near rows only) and two lamps each, in additive blending.
void DrawLightRows(float t) {
  for (int32_t i = 1; i <= 20; ++i) {
    float row = static_cast<float>(i);
    if (!(t < row && row < t + 9.0f)) continue;
    float d = row - t;
    int32_t left = Cut(288.0f - 320.0f / d);
    int32_t right = Cut(352.0f + 320.0f / d);
    int32_t y = Cut(240.0f + 240.0f / d);
    float v = StagingBeamValues[i - 1];
    if (240.0f / d > 48.0f) {
      DrawGraphRotatedAbout(left, y, 25, 4, 1.0, 4.614214338362217 - v, StagingPictures[kCone], 1, 0);
      DrawGraphRotatedAbout(right, y, 25, 4, 1.0, 1.6689711436629295 + v, StagingPictures[kCone], 1, 0);
    }
    DrawGraphRotated(left, y, 1.0, 0.0, StagingPictures[kLamp], 1, 0);
    DrawGraphRotated(right, y, 1.0, 0.0, StagingPictures[kLamp], 1, 0);
  }
}

// One frame of the rows' cones turning one row after the other. True once
// the last row has turned.
bool TurnNextRow() {
  if (StagingBeamCounter > kLastTurningRow) return true;
  float& value = StagingBeamValues[StagingBeamCounter];
  if (value >= kTurnLimit) return ++StagingBeamCounter > kLastTurningRow;
  value += kTurnStep;
  if (value > kTurnLimit) value = kTurnLimit;
  return false;
}

// ---------------------------------------------------------------- the ranking's pictures

void DrawLineUp() {
  DrawFinalResultPicture();
  for (int32_t p = 1; p <= 4; ++p) DrawPlayerPiece(p, 160 + 106 * (p - 1), 320);
}

void DrawDarkenedLineUp() {
  DrawLineUp();
  DrawAlphaBox(150, 0, 0, 640, 480, Black());
}

void DrawWhiteScreen() { DrawAlphaBox(255, 0, 0, 640, 480, White()); }

// The dialogue box with the guide standing at its left.
void DrawResultsDialogue() {
  SetDrawBlend(1, 150);
  DrawRectangleShape(16, 352, 624, 464, Black(), 1);
  SetDrawBlend(0, 255);
  DrawWindowFrame(16, 352, 624, 464);
  DrawGraphAt(16, 294, EventPortraitTable[4], 1);
}

int RankingText(const char* text) { return DrawMessageText(576, RankingTextId, 176, 368, 448, 20, text, 1); }

// The spotlight on the winner's piece.
void DrawWinnerSpotlight() {
  int32_t w = ResultsWinner;
  SetDrawBlend(2, 80);
  DrawGraphQuad(160, 120, 480, 120, 120 * w + 180, 368, 120 * w - 140, 368, RankingPictures[0], 1);
  SetDrawBlend(2, 200);
  DrawGraphQuad(160, 0, 480, 0, 120 * w + 184, 368, 120 * w - 136, 368, RankingPictures[1], 1);
  SetDrawBlend(0, 255);
}

void FreeRanking() {
  free(RankingRowAlpha);
  free(RankingRowOffset);
  RankingRowAlpha = nullptr;
  RankingRowOffset = nullptr;
  free(ResultText);
  ResultText = nullptr;
  for (int32_t& picture : RankingPictures) FreePicture(picture);
}

}  // namespace

void DrawFinalResultPicture() { DrawGraphAt(0, 0, FinalResultPicture, 0); }

void DrawResultsBackground() {
  DrawGraphAt(0, 0, BackgroundPictures[2], 1);
  DrawGraphAt(0, 0, ResultBandPicture, 1);
}

int32_t GetFinalRankingRows(int32_t players[4], int32_t places[4]) {
  int32_t rows = 0;
  for (int32_t k = 0; k < 4; ++k) {
    int32_t slot[4];
    int32_t count = SplitStandingsSlot(StandingsTable[k], slot);
    for (int32_t i = 0; i < count && rows < 4; ++i, ++rows) {
      players[rows] = slot[i];
      places[rows] = k + 1;
    }
  }
  return rows;
}

void DrawFinalRanking() {
  int32_t players[4], places[4];
  int32_t rows = GetFinalRankingRows(players, places);
  for (int32_t row = 0; row < rows; ++row) {
    int32_t p = players[row];
    const PlayerRecord& record = PlayerTable[p - 1];
    int32_t alpha = RankingRowAlpha != nullptr ? RankingRowAlpha[row] : 255;
    int32_t o = RankingRowOffset != nullptr ? RankingRowOffset[row] : 0;
    int32_t y = 160 + 80 * row;
    SetDrawBlend(1, alpha);
    DrawGraphAt(o + 100, y - 10, PlacementPictures[places[row] - 1], 1);
    if (record.character >= 0 && record.character < kCharacterCount)
      DrawGraphAt(o + 200, y, CharacterImageTable[record.character][0], 0);
    DrawGraphAt(o + 200, y, CharacterSelectPictures[p - 1], 1);
    char name[sizeof record.name + 1] = {};
    memcpy(name, record.name, sizeof record.name);
    DrawFormatTextToHandle(o + 300, y, White(), FontHandle30, "%s", name);
    DrawGraphStretched(o + 300, y + 40, o + 332, y + 72, StarIconPicture, 1);
    DrawFormatTextToHandle(o + 340, y + 40, White(), FontHandle30, "×%d", record.stars);
    DrawGraphStretched(o + 400, y + 40, o + 432, y + 72, CoinIconPicture, 1);
    DrawFormatTextToHandle(o + 440, y + 40, White(), FontHandle30, "×%d", record.coins);
  }
  SetDrawBlend(0, 255);
}

void LoadResultText() {
  if (ResultText == nullptr) return;
  memset(ResultText, 0, kResultTextBytes);
  FileId file = FileStreamOpenRead(kResultTextFile, 0);
  if (file == 0) {
    // The closing text stays empty: it ends at once.
    WriteErrorLogFormat("%s が開けません", kResultTextFile);
    return;
  }
  size_t length = 0;
  bool cut = false;
  for (;;) {
    char c = FileStreamGetChar(file);
    if (c == static_cast<char>(0xFF)) break;
    if (c == '\r' || c == '\n') continue;
    if (length < kResultTextBytes - 1)
      ResultText[length++] = c;
    else
      cut = true;
  }
  ResultText[WholeCharacterLength(ResultText, length)] = '\0';
  if (cut) WriteErrorLogFormat("%s: 299 バイトを超える部分を切り詰めました", kResultTextFile);
  FileStreamClose(file);
}

int RunResultsStaging() {
  switch (StagingStep) {
    case 0:
      StagingStep = 1;
      return 0;
    case 1:
      for (int32_t i = 0; i < 5; ++i) StagingPictures[i] = LoadOrExit(kStagingFiles[i]);
      StagingStep = 2;
      return 0;
    case 2:
      StagingTimer = 0.0f;
      for (float& value : StagingBeamValues) value = 0.0f;
      StagingBeamCounter = 1;
      StagingFlashAlpha = 150;
      StagingStep = 5;
      return 0;
    case 5:
      SetDrawBlend(2, 255);
      DrawLightRows(StagingTimer);
      SetDrawBlend(0, 255);
      StagingTimer += kTimerStep;
      if (StagingTimer > 3.0f) {
        StagingTimer = 0.0f;
        StagingStep = 6;
      }
      return 0;
    case 6: {
      SetDrawBlend(2, 255);
      DrawLightRows(StagingTimer);
      double scale = static_cast<double>(StagingTimer) * StagingTimer;
      DrawGraphRotated(320, 240, scale, 0.0, StagingPictures[kCentralSpot], 1, 0);
      SetDrawBlend(0, 255);
      StagingTimer += kTimerStep;
      bool turned = TurnNextRow();
      bool flashed = false;
      if (StagingTimer > 5.0f) {
        DrawAlphaBox(StagingFlashAlpha, 0, 0, 640, 480, White());
        flashed = ++StagingFlashAlpha >= 255;
      }
      if (turned || flashed) StagingStep = 9;
      return 0;
    }
    case 9:
      for (int32_t& picture : StagingPictures) FreePicture(picture);
      StagingStep = 0;
      return 1;
    default:  // a step nothing leads to
      StagingStep = 9;
      return 0;
  }
}

int RunResultsRanking() {
  switch (RankingStep) {
    case 0:
      DrawWhiteScreen();
      RankingStep = 1;
      return 0;
    case 1:
      DrawWhiteScreen();
      RankingPictures[0] = LoadOrExit(kStagingFiles[kWideBeam]);
      RankingPictures[1] = LoadOrExit(kStagingFiles[kNarrowBeam]);
      ResultText = static_cast<char*>(calloc(kResultTextBytes, 1));
      RankingRowAlpha = static_cast<int32_t*>(calloc(kRankingRows, sizeof(int32_t)));
      RankingRowOffset = static_cast<int32_t*>(calloc(kRankingRows, sizeof(int32_t)));
      if (ResultText == nullptr || RankingRowAlpha == nullptr || RankingRowOffset == nullptr)
        ExitGame(1, "RunResultsRanking");
      LoadResultText();
      RankingStep = 2;
      return 0;
    case 2:
      DrawWhiteScreen();
      for (SpotlightBeam& beam : RankingBeams) {
        beam = SpotlightBeam{};
        beam.offset = static_cast<float>(GetRandomNumber(100) - 50);
      }
      // The second beam starts sliding leftwards.
      RankingBeams[1].motion = 1;
      RankingBeams[1].direction = 1;
      RankingOverlayAlpha = 255;
      RankingFrames = 0;
      RankingPauseFrames = 0;
      AssignPlacements();
      ResultsWinner = 0;
      for (int32_t p = 1; p <= 4; ++p)
        if (PlayerTable[p - 1].placement == 1) ResultsWinner = p;
      for (int32_t r = 0; r < kRankingRows; ++r) {
        RankingRowAlpha[r] = 255;
        RankingRowOffset[r] = 0;
      }
      RankingTextId = 0;
      RestartEventText();
      RankingStep = 3;
      return 0;
    case 3:
      DrawLineUp();
      DrawAlphaBox(RankingOverlayAlpha, 0, 0, 640, 480, White());
      if (--RankingOverlayAlpha <= 0) {
        RankingOverlayAlpha = 0;
        RankingStep = 4;
      }
      return 0;
    case 4:
    case 5: {
      DrawLineUp();
      DrawResultsDialogue();
      int result = RankingText(ResultText);
      if (RankingStep == 4) {
        if (result == -1 && IsNewButtonPress(1, kButtonA)) RankingStep = 5;
        return 0;
      }
      RankingOverlayAlpha += 2;
      if (RankingOverlayAlpha > 150) {
        RankingOverlayAlpha = 150;
        RankingStep = 6;
      }
      DrawAlphaBox(RankingOverlayAlpha, 0, 0, 640, 480, Black());
      return 0;
    }
    case 6:
      DrawDarkenedLineUp();
      for (int32_t i = 0; i < 3; ++i) {
        MoveSpotlightBeam(&RankingBeams[i], i);
        DrawSpotlightBeam(RankingBeams[i], RankingPictures[0], RankingPictures[1]);
      }
      if (++RankingFrames > 450) RankingStep = 7;
      return 0;
    case 7:
      DrawDarkenedLineUp();
      if (++RankingPauseFrames > 60) RankingStep = 8;
      return 0;
    case 8:
      DrawDarkenedLineUp();
      DrawWinnerSpotlight();
      DrawResultsDialogue();
      DrawFormatTextToHandle(176, 368, White(), FontHandlesBySize[19], "Player%dです！おめでとうございます！",
                             ResultsWinner);
      if (IsNewButtonPress(1, kButtonA)) {
        ++RankingTextId;
        RankingStep = 9;
      }
      return 0;
    case 9:
      DrawDarkenedLineUp();
      DrawWinnerSpotlight();
      DrawResultsDialogue();
      if (RankingText("次に全員の結果を表示します@F") == 1) RankingStep = 10;
      return 0;
    case 10:
      DrawResultsBackground();
      DrawFinalRanking();
      if (IsNewButtonPress(1, kButtonA)) {
        ++RankingTextId;
        RankingStep = 11;
      }
      return 0;
    case 11:
      DrawLineUp();
      DrawResultsDialogue();
      if (RankingText("よろしければ、またこのマップで遊んでくださいね。@Pまたのお越しをお待ちしています♪@F") == 1)
        RankingStep = 14;
      return 0;
    case 14:
      // Everything the ranking loaded goes, so the next party's results
      // start afresh.
      FreeRanking();
      RankingStep = 0;
      return 1;
    default:  // a step nothing leads to
      RankingStep = 14;
      return 0;
  }
}

int RunPartyResults() {
  if (UpdateFade() == 1) ResultsStep = 9;
  switch (ResultsStep) {
    case 0:
    case 1:
      ++ResultsStep;
      return 0;
    case 2:
      StopAllBgm();
      PlaySoundHandle(MusicHandles[3], 3, 1);
      AssignPlacements();
      ResultsStep = 3;
      return 0;
    case 3:
      if (RunResultsStaging() != 0) ResultsStep = 4;
      return 0;
    case 4:
      if (RunResultsRanking() != 0) ResultsStep = 9;
      return 0;
    case 9:
      StopAllBgm();
      PlaySoundHandle(MusicHandles[0], 3, 1);
      ResultsStep = 0;
      return 1;
    default:
      ResultsStep = 9;
      return 0;
  }
}
