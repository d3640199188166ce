// The party results and the spotlight scene: the ranking by stars then
// coins with the winner the highest player number among the first, the
// music at the start and the end, the closing text's reader, a second
// results in one run, the sweeping beams, and scene 11 entered, left with a
// new press of A and entered again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/board/party_results.h"
#include "game/board/story_scene.h"
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "tests/game/board_event_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

void SetStandings(std::initializer_list<int> stars, std::initializer_list<int> coins) {
  for (int p = 0; p < 4; ++p) {
    PlayerTable[p].stars = stars.begin()[p];
    PlayerTable[p].coins = coins.begin()[p];
  }
}

TEST(PartyResults, TheRankingFollowsTheStandings) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SeatPlayers({0, 1, 1, 1});
    const struct {
      std::vector<int> stars, coins, players, places;
    } cases[] = {
        // Players 2 and 3 tie for first; stars beat coins.
        {{1, 2, 2, 0}, {99, 10, 10, 0}, {2, 3, 1, 4}, {1, 1, 2, 3}},
        {{0, 0, 0, 0}, {5, 5, 5, 5}, {1, 2, 3, 4}, {1, 1, 1, 1}},
        {{3, 3, 1, 1}, {10, 10, 5, 7}, {1, 2, 4, 3}, {1, 1, 2, 3}},
        {{0, 1, 0, 0}, {50, 0, 40, 30}, {2, 1, 3, 4}, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
      for (int p = 0; p < 4; ++p) {
        PlayerTable[p].stars = c.stars[p];
        PlayerTable[p].coins = c.coins[p];
      }
      ComputeStandings();
      int32_t players[4] = {}, places[4] = {};
      ASSERT_EQ(GetFinalRankingRows(players, places), 4);
      EXPECT_EQ(std::vector<int>(players, players + 4), c.players);
      EXPECT_EQ(std::vector<int>(places, places + 4), c.places);
    }
  });
}

int ResultsEvent(int32_t) { return RunPartyResults(); }
int RankingEvent(int32_t) { return RunResultsRanking(); }

TEST(PartyResults, ATieForFirstNamesTheHigherPlayerAndTheTitleMusicEndsThem) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    EnterEventScene(h, true);
    SeatPlayers({0, 1, 1, 1});
    SetStandings({1, 2, 2, 0}, {99, 10, 10, 0});
    // The menu input confirms the closing text, the winner, and the ranking.
    PressFor(h, [] {
      bool waits = RankingStep >= 4 && RankingStep != 5 && RankingStep < 14;
      return waits ? Press{1, kButtonA} : Press{};
    });
    // The long fixed stretches are shortened.
    h.AddFrameHook([](GameHarness&) {
      if (StagingStep == 5 && StagingTimer < 2.5f) StagingTimer = 2.5f;
      if (StagingStep == 6 && StagingTimer < 3.9f) StagingTimer = 3.9f;
      if (RankingStep == 3 && RankingOverlayAlpha > 20) RankingOverlayAlpha = 20;
      if (RankingStep == 6 && RankingFrames < 420) RankingFrames = 420;
      if (RankingStep == 7 && RankingPauseFrames < 50) RankingPauseFrames = 50;
    });
    StartEvent(ResultsEvent, 1);
    ASSERT_TRUE(h.RunUntil([] { return StagingStep == 6; }, 200));
    EXPECT_EQ(CheckSoundHandle(MusicHandles[3]), 1);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 0) << "the title music of the boot stopped";
    ASSERT_TRUE(h.RunUntil([] { return StagingStep == 6 && StagingTimer > 4.0f; }, 400));
    SaveShot(h, "results_staging");
    StagingFlashAlpha = 230;
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 4; }, 1000));
    EXPECT_EQ(ResultsWinner, 3);
    EXPECT_EQ(std::string(ResultText), "パーティ終了！みんなおつかれさま。@C@Rそれでは結果を発表するよ！@N");
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 6; }, 1000));
    ASSERT_TRUE(h.Frames(20));
    SaveShot(h, "results_beams");
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 8; }, 500));
    ASSERT_TRUE(h.Frame());
    SaveShot(h, "results_winner");
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 10; }, 500));
    ASSERT_TRUE(h.Frame());
    SaveShot(h, "results_ranking");
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1) << "the results end in the title music";
    EXPECT_EQ(CheckSoundHandle(MusicHandles[3]), 0);
    EXPECT_EQ(ResultText, nullptr);
    EXPECT_EQ(RankingRowAlpha, nullptr);
    EXPECT_EQ(StagingPictures[0], 0);

    // The next party's results load everything again; a player without a
    // character (a set-up left unfinished) has no piece and no face.
    PlayerTable[3].character = -1;
    StartEvent(RankingEvent, 1);
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 3; }, 10));
    EXPECT_GT(RankingPictures[0], 0);
    EXPECT_NE(ResultText, nullptr);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(RankingPictures[0], 0);
  });
}

TEST(PartyResults, TheClosingTextKeeps299BytesWithoutLineBreaksOrIsEmpty) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "１２３４５６７８９\r\n";  // 18 bytes a line without its break
  RunGame({.files = {{"media/text/sugoresult.txt", BytesOf(text)}}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ResultText = static_cast<char*>(calloc(kResultTextBytes, 1));
    LoadResultText();
    std::string kept = ResultText;
    EXPECT_EQ(kept.size(), 298u) << "299 bytes would cut a character";
    EXPECT_EQ(kept.find('\r'), std::string::npos);
    EXPECT_EQ(kept.find('\n'), std::string::npos);
    EXPECT_EQ(kept.substr(0, 36), "１２３４５６７８９１２３４５６７８９");
    free(ResultText);
    ResultText = nullptr;
  });
  // Without the file the text is empty: it ends at once and A goes on.
  RunGame({.hiddenMedia = {"text/sugoresult.txt"}}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 1, 1, 1});
    StartEvent(RankingEvent, 1);
    ASSERT_TRUE(h.RunUntil([] { return RankingStep == 4; }, 400));
    EXPECT_EQ(ResultText[0], '\0');
    ASSERT_TRUE(h.Frames(2));
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(RankingStep, 5);
  });
}

// ---------------------------------------------------------------- the spotlight scene

TEST(SpotlightBeam, SwingsHalfASineThenSlidesToOneSideAndBack) {
  for (int index = 0; index < 3; ++index) {
    SpotlightBeam beam{};
    std::vector<int> changes;  // the calls on which the motion changed
    std::vector<float> ends;   // the offset at the end of each slide
    for (int call = 1; call <= 2000; ++call) {
      SpotlightBeam before = beam;
      MoveSpotlightBeam(&beam, index);
      ASSERT_LE(std::fabs(beam.offset), 100.0f);
      ASSERT_LE(std::fabs(beam.swing), 100.0f);
      if (before.motion == 1) {
        ASSERT_EQ(beam.swing, before.swing) << "the swing holds while sliding";
      }
      if (beam.motion != before.motion) {
        changes.push_back(call);
        if (before.motion == 1) ends.push_back(beam.offset);
      }
    }
    ASSERT_GE(changes.size(), 6u);
    float swing = 80.0f - 8.0f * index;  // calls for half a sine
    float speed = 4.0f + 0.5f * index;
    // Swing, slide right to 100, swing the other half, slide left to -100, ...
    EXPECT_NEAR(changes[0], swing, 1.0) << "beam " << index;
    EXPECT_NEAR(changes[1] - changes[0], 100.0f / speed, 1.0) << "beam " << index;
    EXPECT_NEAR(changes[2] - changes[1], swing, 1.0);
    EXPECT_NEAR(changes[3] - changes[2], 200.0f / speed, 1.0);
    EXPECT_NEAR(changes[4] - changes[3], swing, 1.0);
    EXPECT_EQ(ends[0], 100.0f);
    EXPECT_EQ(ends[1], -100.0f);
    EXPECT_EQ(ends[2], 100.0f);
  }
}

TEST(SpotlightScene, EndsOnANewPressOfAAndStartsAfreshWhenEnteredAgain) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 1; }, 10));
    SeatPlayers({0, 1, 1, 1});
    PlayerTable[1].character = -1;  // a set-up left unfinished: no piece
    h.SetStallLimit("RunSpotlightScene", 0);
    // A held over from the screen before, whose press set the latch.
    KeyLatchTable[1].a = 1;
    h.HoldButton(1, kButtonA, 12);
    SceneState = 11;
    ASSERT_TRUE(h.Frames(12));
    EXPECT_EQ(SceneState, 11) << "a held A does not end the scene";
    EXPECT_EQ(SpotlightSceneStep, 9);
    EXPECT_GT(SpotlightScenePictures[0], 0);
    EXPECT_GT(SpotlightBeams[0].phase, 0.0f);
    ASSERT_TRUE(h.Frames(20));
    SaveShot(h, "spotlight_scene");
    // The beams light the stage: the pixel under the middle of the wide beam
    // is brighter than the darkened corner.
    uint32_t lit = h.Pixel(320, 200), dark = h.Pixel(630, 20);
    EXPECT_GT((lit >> 16 & 0xFF) + (lit >> 8 & 0xFF) + (lit & 0xFF), (dark >> 16 & 0xFF) + (dark >> 8 & 0xFF) + (dark & 0xFF));
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 5));
    EXPECT_EQ(SpotlightSceneStep, 0);
    EXPECT_EQ(SpotlightScenePictures[0], 0);

    SceneState = 11;
    ASSERT_TRUE(h.RunUntil([] { return SpotlightSceneStep == 9; }, 5));
    EXPECT_GT(SpotlightScenePictures[0], 0) << "loaded afresh";
    EXPECT_EQ(SpotlightBeams[0].phase, 0.0f) << "the beams start from zero";
    EXPECT_EQ(SpotlightBeams[2].offset, 0.0f);
  });
}

}  // namespace
