// The coin tally: the awards changed by the passive items and added to the
// coins, the standings sliding in row by row, the victory music loaded once
// (and the tally going on without it when it is missing).
#include "game/board/coin_tally.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/shop_fixture.h"

namespace {

using namespace shop_fixture;

void SetAwards(std::initializer_list<int32_t> awards, std::initializer_list<int32_t> won) {
  memset(ParticipantTable, 0, sizeof ParticipantTable);
  int p = 1;
  for (int32_t a : awards) ParticipantTable[p++].award = a;
  p = 1;
  for (int32_t w : won) ParticipantTable[p++].won = static_cast<uint8_t>(w);
}

struct TallyRun {
  int frames = 0;
  std::vector<int> rowFrames;  // frames each standings row took to slide in, bottom row first
  std::vector<int> results;    // every result other than 0
};

TallyRun RunTally(GameHarness& h) {
  TallyRun run;
  Install([] { return RunCoinTally(); });
  std::vector<int> moved;  // by frame of the standings: the row that slid
  for (int guard = 0; guard < 1500; ++guard) {
    int32_t before[4];
    memcpy(before, TallySlide, sizeof before);
    bool standings = TallyState == 6;
    if (!h.Frame()) break;
    ++run.frames;
    if (LastResult != 0) run.results.push_back(LastResult);
    if (standings) {
      for (int r = 3; r >= 0; --r) {
        if (TallySlide[r] != before[r]) {
          moved.push_back(r);
          break;
        }
      }
    }
    if (LastResult == 1) break;
  }
  for (size_t i = 0; i < moved.size(); ++i) {
    if (i == 0 || moved[i] != moved[i - 1]) run.rowFrames.push_back(0);
    ++run.rowFrames.back();
  }
  return run;
}

TEST(CoinTally, AwardsWithPassiveItemsAndTheStandings) {
  REQUIRE_MEDIA();
  RunGame({.seed = 31}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    h.PressWhile([] { return TallyState == 3 || TallyState == 5 || TallyState == 6; }, 1, kButtonA);
    // Item 21 adds a coin to an award, item 22 takes one; no award stays none.
    const int32_t coins[4] = {5, 5, 5, 5};
    for (int p = 0; p < 4; ++p) PlayerTable[p].coins = coins[p];
    PlayerTable[0].items[2] = 21;
    PlayerTable[1].items[2] = 21;
    PlayerTable[2].items[2] = 22;
    PlayerTable[1].stars = 1;
    SetAwards({10, 0, 10, 10}, {1, 0, 1, 1});
    TallyRun run = RunTally(h);
    EXPECT_EQ(run.results, std::vector<int>{1});
    EXPECT_EQ(PlayerTable[0].coins, 16);
    EXPECT_EQ(PlayerTable[1].coins, 5) << "an award of 0 is not changed";
    EXPECT_EQ(PlayerTable[2].coins, 14);
    EXPECT_EQ(PlayerTable[3].coins, 15);
    EXPECT_EQ(ParticipantTable[1].award, 11);
    EXPECT_EQ(run.rowFrames, (std::vector<int>{20, 20, 20, 20})) << "the bottom row first, 20 frames a row";
    EXPECT_EQ(PlayerTable[1].placement, 1) << "placements recomputed";
    EXPECT_EQ(PlayerTable[0].placement, 2);
    EXPECT_EQ(PlayerTable[2].placement, 4);
    EXPECT_EQ(FadeOutRequest, 0) << "ended after its fade-out";
    EXPECT_EQ(TallyState, 2) << "the music is loaded: later tallies start at 2";
    int32_t music = VictoryMusic;
    EXPECT_EQ(CheckSoundHandle(music), 1) << "playing";
    EXPECT_EQ(CurrentBgmIndex, 2);
    // The next tally: the same music, restarted after the board's music.
    StopAllBgm();
    SetAwards({0, 0, 0, 0}, {0, 0, 0, 0});
    run = RunTally(h);
    EXPECT_EQ(run.results, std::vector<int>{1});
    EXPECT_EQ(VictoryMusic, music);
    EXPECT_EQ(CheckSoundHandle(music), 1);
    EXPECT_EQ(PlayerTable[0].coins, 16);
  });
}

TEST(CoinTally, GoesOnWithoutItsMusic) {
  REQUIRE_MEDIA();
  RunGame({.seed = 32, .hiddenMedia = {"sound/BGM/…Wish .ogg"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    PokeParty(false, true, true, true);
    h.PressWhile([] { return TallyState == 3 || TallyState == 5 || TallyState == 6; }, 1, kButtonA);
    for (int tally = 0; tally < 2; ++tally) {
      SetAwards({10, 0, 0, 0}, {1, 0, 0, 0});
      TallyRun run = RunTally(h);
      EXPECT_EQ(run.results, (std::vector<int>{-1, 1})) << "one failed frame, then the tally ran to its end";
      EXPECT_EQ(VictoryMusic, -1);
      EXPECT_EQ(TallyState, 0) << "the next tally tries the music once more";
    }
    EXPECT_EQ(PlayerTable[0].coins, 30);
    int failures = 0;
    for (const std::string& line : h.LogLines()) {
      if (line.find("Wish .ogg の読み込みに失敗しました") != std::string::npos) ++failures;
    }
    EXPECT_EQ(failures, 2) << "logged once a tally";
    EXPECT_EQ(GetSoundLoadType(), 0);
  });
}

}  // namespace
