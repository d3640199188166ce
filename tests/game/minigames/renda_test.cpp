// The button-mashing minigame played through the runner on the generated
// media: the presses counted over its 601 input frames, a held A, the CPU's
// silence and chance, the hop, the locked result screen, ties, and the
// awards handed to the coin tally.
#include <gtest/gtest.h>

#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/renda.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

// A of input record `record` held in this frame's input.
void HoldA(FrameInput& in, int record) {
  GameHarness::PadButton a = GameHarness::ButtonOf(record, kButtonA);
  in.pads[a.pad - 1] |= a.mask;
}

struct HopFrame {
  float y, hop, second;
};

TEST(Renda, PressesCountOverThe601InputFramesAndTheMostPressesWin) {
  RunGame({.seed = 11}, [](GameHarness& h) {
    START_GAME(h);
    // Player 1 presses in every frame whose countdown is even: 600, 598, ...,
    // 0, the last input frame included. Player 2 holds A from the first play
    // frame to the end. Players 3 and 4 are CPU players.
    h.AddInputRule([](FrameInput& in) {
      if (RendaPlayStep != 2) return;
      if (RendaCountdown % 2 == 0) HoldA(in, 1);
      HoldA(in, 2);
    });
    int playFrames = 0;
    int firstCpuPress[5] = {0, 0, 0, -1, -1};
    uint64_t drawsAtPlay = 0, drawsAfterPlay = 0;
    std::vector<HopFrame> hop;
    RandomState atPlay{};
    h.AddFrameHook([&](GameHarness&) {
      if (RendaPlayStep != 2 || playFrames != 0) return;
      drawsAtPlay = RandomDrawCount;
      atPlay = Random;
    });
    EnterMinigame(h, 1, HumanSeats({1, 2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return RendaPlayStep == 2; }, 400));
    while (RendaPlayStep == 2) {
      ASSERT_TRUE(h.Frame());
      ++playFrames;
      if (playFrames <= 7) hop.push_back({ParticipantTable[2].y, RendaHopSpeed(2), ParticipantTable[2].reals[1]});
      for (int p = 3; p <= 4; ++p)
        if (firstCpuPress[p] < 0 && RendaPressCount(p) > 0) firstCpuPress[p] = playFrames;
    }
    drawsAfterPlay = RandomDrawCount;
    EXPECT_EQ(playFrames, 601);
    EXPECT_EQ(RendaPressCount(1), 301) << "a press in the last frame counts";
    EXPECT_EQ(RendaPressCount(2), 1) << "a held A counts once";
    // The CPU players are silent for 7 frames, then draw one number a frame.
    EXPECT_GE(firstCpuPress[3], 8);
    EXPECT_GE(firstCpuPress[4], 8);
    EXPECT_EQ(drawsAfterPlay - drawsAtPlay, 2u * (601 - 7));
    EXPECT_EQ(RendaPressCount(3), 55) << "seed 11";
    EXPECT_EQ(RendaPressCount(4), 57) << "seed 11";
    // The same draws replayed: after the silence, participant 3 then 4 draws
    // 0..8 each frame and presses on 0.
    RandomState after = Random;
    uint64_t drawCount = RandomDrawCount;
    Random = atPlay;
    int32_t replayed[5] = {};
    for (int frame = 8; frame <= 601; ++frame)
      for (int p = 3; p <= 4; ++p)
        if (GetRandomNumber(8) == 0) ++replayed[p];
    Random = after;
    RandomDrawCount = drawCount;
    EXPECT_EQ(replayed[3], RendaPressCount(3));
    EXPECT_EQ(replayed[4], RendaPressCount(4));

    // Player 2's one hop, frame by frame from the press.
    const std::vector<float> heights = {306, 291, 291, 306, 336, 336, 336};
    const std::vector<float> speeds = {-30, -15, 0, 15, 30, 0, 0};
    for (size_t i = 0; i < heights.size(); ++i) {
      EXPECT_EQ(hop[i].y, heights[i]) << "frame " << i;
      EXPECT_EQ(hop[i].hop, speeds[i]) << "frame " << i;
      EXPECT_EQ(hop[i].second, speeds[i]) << "frame " << i;
    }

    // The result screen: record 3 (a CPU seat) presses A while it is locked,
    // then once it is open.
    ASSERT_TRUE(h.RunUntil([] { return RendaOutcomeStep == 1; }, 100));
    int locked = 0;
    while (RendaOutcomeWait > 0) {
      if (locked % 2 == 0) h.Tap(3, kButtonA);
      ASSERT_TRUE(h.Frame());
      ++locked;
      ASSERT_EQ(RendaOutcomeStep, 1);
    }
    EXPECT_EQ(locked, 60);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(RendaOutcomeStep, 1) << "no new press yet";
    h.Tap(3, kButtonA);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(RendaOutcomeStep, 2);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(RendaStep, 0);
    EXPECT_EQ(RendaPlayStep, 1) << "the next game starts at play step 1";
    EXPECT_EQ(RendaBackground, -1) << "the media are freed";
  });
}

TEST(Renda, TiesAllWinAndEveryCpuLevelPresses) {
  RunGame({.seed = 4}, [](GameHarness& h) {
    START_GAME(h);
    h.PressWhile([] { return RendaOutcomeStep == 1 && RendaOutcomeWait == 0; }, 1, kButtonA);
    // Plays of 200 frames.
    h.AddFrameHook([](GameHarness&) {
      if (RendaPlayStep == 2 && RendaCountdown > 200) RendaCountdown = 200;
    });
    MinigameSeats seats;
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    // The counts as the awards find them.
    std::vector<std::vector<int32_t>> counts = {{5, 9, 9, 2}, {0, 0, 0, 0}};
    size_t game = 0;
    int32_t played[5] = {};
    h.AddFrameHook([&](GameHarness&) {
      if (RendaOutcomeStep != 2 || game >= counts.size()) return;
      for (int p = 1; p <= 4; ++p) {
        played[p] = RendaPressCount(p);
        RendaPressCount(p) = counts[game][p - 1];
      }
      ++game;
    });
    MinigameOutcome first = PlayMinigame(h, 1, seats);
    ASSERT_TRUE(first.ended);
    for (int p = 1; p <= 4; ++p) EXPECT_GT(played[p], 5) << "CPU level " << p << " presses";
    EXPECT_EQ(std::vector<int32_t>(first.award + 1, first.award + 5), (std::vector<int32_t>{0, 10, 10, 0}));
    EXPECT_EQ(std::vector<uint8_t>(first.won + 1, first.won + 5), (std::vector<uint8_t>{0, 1, 1, 0}));
    MinigameOutcome second = PlayMinigame(h, 1, seats);
    ASSERT_TRUE(second.ended);
    EXPECT_EQ(std::vector<int32_t>(second.award + 1, second.award + 5), (std::vector<int32_t>{10, 10, 10, 10}))
        << "four equal counts: four winners";
    EXPECT_EQ(game, 2u);
  });
}

}  // namespace
