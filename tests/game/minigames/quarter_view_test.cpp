// The quarter view minigame played through the runner: the board's places,
// the countdown from 45 to 1 over 2700 frames, a human's A flag, the CPU's
// choice, and the outcome that makes all four winners without coins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/quarter_view.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

TEST(QuarterView, PlacesFormTheDiamondUnderTheTopCorner) {
  QuarterViewOriginX = 320.0f;
  QuarterViewOriginY = 64.0f;
  struct Case {
    int32_t row, column, x, y;
  };
  const Case cases[] = {
      {0, 0, 320, 64}, {4, 0, 192, 128}, {0, 4, 448, 128}, {4, 4, 320, 192}, {2, 2, 320, 128}, {1, 0, 288, 80},
  };
  for (const Case& c : cases) {
    QuarterViewPoint at = QuarterViewPlace(c.row, c.column, 64, 64);
    EXPECT_EQ(at.x, c.x) << c.row << "," << c.column;
    EXPECT_EQ(at.y, c.y) << c.row << "," << c.column;
  }
}

TEST(QuarterView, CountdownFrom45To1ThenEveryoneWinsWithoutCoins) {
  RunGame({.seed = 31}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    // Player 1 presses A once in play; the others are CPU players of levels 1, 2, 3.
    h.PressWhile([] { return QuarterViewPlayStep == 2 && QuarterViewTimer < 2000; }, 1, kButtonA);
    std::vector<int32_t> seconds;
    bool sawBoard = false;
    uint32_t blockPixel = 0, emptyPixel = 0;
    h.AddFrameHook([&](GameHarness& g) {
      if (QuarterViewPlayStep == 2 && QuarterViewTimer < 2700) seconds.push_back(QuarterViewTimer / 60 + 1);
      if (QuarterViewPlayStep == 2 && QuarterViewTimer == 1000 && !sawBoard) {
        sawBoard = true;
        if (std::getenv("ZR_SHOTS")) g.SaveScreen(std::string(std::getenv("ZR_SHOTS")) + "/quarter_view_play.png");
        // Place 0 (a block) and place 1 (row 0, column 1: empty), a little
        // below their top corners.
        blockPixel = g.Pixel(320, 72);
        emptyPixel = g.Pixel(352, 72);
      }
    });
    MinigameSeats seats = HumanSeats({1});
    seats.cpuLevel[1] = 1;
    seats.cpuLevel[2] = 2;
    seats.cpuLevel[3] = 3;
    bool sawWinnerText = false;
    int winnerFrames = 0;
    h.AddFrameHook([&](GameHarness& g) {
      if (WinnerTextStep == 4 && ++winnerFrames == 40) {
        sawWinnerText = true;
        if (std::getenv("ZR_SHOTS")) g.SaveScreen(std::string(std::getenv("ZR_SHOTS")) + "/quarter_view_result.png");
      }
    });
    MinigameOutcome out = PlayMinigame(h, 31, seats, 4000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(sawWinnerText);
    ASSERT_EQ(seconds.size(), 2700u) << "one countdown frame per frame of the 45 seconds";
    EXPECT_EQ(seconds.front(), 45);
    EXPECT_EQ(seconds.back(), 1);
    EXPECT_EQ(seconds[59], 45);
    EXPECT_EQ(seconds[60], 44);
    EXPECT_EQ(QuarterViewAFlag(1), 1) << "the press only sets the flag";
    // The CPU routine draws 1, 3 or 5 once.
    for (int p = 2; p <= 4; ++p) EXPECT_TRUE(QuarterViewAFlag(p) == 1 || QuarterViewAFlag(p) == 3 || QuarterViewAFlag(p) == 5);
    EXPECT_NE(blockPixel, emptyPixel) << "an empty place shows no block";
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(QuarterViewBlock, -1) << "the block is freed";
    EXPECT_EQ(QuarterViewStep, 0);
    for (const std::string& line : h.LogLines()) EXPECT_EQ(line.find("handle"), std::string::npos) << line;
  });
}

TEST(QuarterView, FourCpuPlayersEndUnderTheWatchdogAndAFailedLoadEndsAtOnce) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.AddFrameHook([](GameHarness&) {
      if (QuarterViewPlayStep == 2 && QuarterViewTimer > 30) QuarterViewTimer = 30;
    });
    MinigameOutcome out = PlayMinigame(h, 31, MinigameSeats{}, 1500);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_TRUE(h.stall().empty()) << h.stall();
  });
  RunGame({.hiddenMedia = {"mini/quarterview/ground2.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 31, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(QuarterViewStep, 1) << "the next start loads again";
    bool named = false;
    for (const std::string& line : h.LogLines()) named = named || line.find("ground2.png") != std::string::npos;
    EXPECT_TRUE(named);
  });
}

}  // namespace
