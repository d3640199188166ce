// The three-stage rocket played through the runner on the generated media:
// the gauge's 200-frame swing, a stage at 90 and a blow-up at 91, presses
// out of turn, the riders, a rocket that rests on its pad after its last
// stage while the other side still fires, the winners (equal heights go to
// the lone participant), challenger orders with fewer than three
// challengers, a four-CPU game and a failed load.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "game/minigames/three_rocket.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

void HoldA(FrameInput& in, int record) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, kButtonA);
  in.pads[b.pad - 1] |= b.mask;
}

// Player 1 alone against players 2 to 4.
MinigameSeats OneAgainstThree(bool humans) {
  MinigameSeats seats = humans ? HumanSeats({1, 2, 3, 4}) : MinigameSeats{};
  seats.team[0] = 1;
  seats.team[1] = seats.team[2] = seats.team[3] = 2;
  return seats;
}

ThreeRocketRecord& Left() { return ThreeRocketRockets[1]; }
ThreeRocketRecord& Right() { return ThreeRocketRockets[2]; }

TEST(ThreeRocket, WinnersByHeight) {
  struct Case {
    int32_t active1, height1, active2, height2;
    std::vector<int32_t> awards;  // participants 1..4; 1 is alone on team 1
  };
  const std::vector<Case> cases = {
      {1, 500, 1, 500, {10, 0, 0, 0}},   // equal heights go to team 1
      {1, 500, 1, 501, {0, 10, 10, 10}},
      {1, 900, 1, 20, {10, 0, 0, 0}},
      {0, 900, 1, 20, {0, 10, 10, 10}},  // a blown-up rocket cannot win
      {1, 300, 0, 900, {10, 0, 0, 0}},
      {0, 300, 0, 900, {0, 0, 0, 0}},    // both blown up: a draw
      {1, 0, 1, 0, {0, 0, 0, 0}},        // neither left the pad
      {1, 0, 1, 1, {0, 10, 10, 10}},
  };
  for (const Case& c : cases) {
    for (int p = 1; p <= 4; ++p) {
      ParticipantTable[p].team = p == 1 ? 1 : 2;
      ParticipantTable[p].award = 0;
      ParticipantTable[p].won = 0;
    }
    Left().active = c.active1;
    Left().bestHeight = c.height1;
    Right().active = c.active2;
    Right().bestHeight = c.height2;
    ThreeRocketOutcomeStep = 0;
    EXPECT_EQ(ThreeRocketOutcome(), 0);
    EXPECT_EQ(ThreeRocketOutcome(), 1);
    std::vector<int32_t> awards;
    for (int p = 1; p <= 4; ++p) {
      awards.push_back(ParticipantTable[p].award);
      EXPECT_EQ(ParticipantTable[p].won, ParticipantTable[p].award == 10 ? 1 : 0);
    }
    EXPECT_EQ(awards, c.awards) << c.active1 << " " << c.height1 << " / " << c.active2 << " " << c.height2;
  }
}

TEST(ThreeRocket, ChallengerOrdersWithFewerThanThreeChallengersEnd) {
  struct Case {
    std::vector<int32_t> teams;
    size_t challengers;
  };
  const std::vector<Case> cases = {
      {{1, 2, 2, 2}, 3}, {{2, 2, 1, 2}, 3}, {{1, 2, 2, 1}, 2},
      {{1, 1, 1, 2}, 1}, {{1, 1, 1, 1}, 0}, {{0, 0, 0, 0}, 3},  // without a team 1 everybody is a challenger
  };
  SeedRandom(3);
  for (const Case& c : cases) {
    for (int round = 0; round < 20; ++round) {
      for (int p = 1; p <= 4; ++p) ParticipantTable[p].team = c.teams[p - 1];
      ThreeRocketSetUp();
      const ThreeRocketRecord& right = Right();
      std::set<int32_t> distinct(right.order, right.order + 3);
      if (c.challengers == 0) {
        EXPECT_EQ(distinct, std::set<int32_t>{0});
        continue;
      }
      EXPECT_EQ(distinct.size(), c.challengers);
      for (int k = 0; k < 3; ++k) {
        EXPECT_NE(c.teams[right.order[k] - 1], 1);
        if (k >= static_cast<int>(c.challengers)) {
          EXPECT_EQ(right.order[k], right.order[k % c.challengers]);
        }
      }
      int32_t lone = 0;
      for (int p = 4; p >= 1; --p)
        if (c.teams[p - 1] == 1) lone = p;
      EXPECT_EQ(Left().order[0], lone);
      EXPECT_EQ(Left().order[2], lone);
      EXPECT_EQ(ThreeRocketRider(1), lone);
      EXPECT_EQ(ThreeRocketRider(2), right.order[0]);
    }
  }
  // Set-up starts from scratch whatever the last game left.
  Left().done = 1;
  Left().stage = 3;
  Right().active = 0;
  ThreeRocketPlayStep = 2;
  ThreeRocketSetUp();
  EXPECT_EQ(Left().done, 0);
  EXPECT_EQ(Left().stage, 0);
  EXPECT_EQ(Right().active, 1);
  EXPECT_EQ(Right().y, kThreeRocketPadY);
  EXPECT_EQ(Right().viewScroll, 240.0f);
  EXPECT_EQ(ThreeRocketPlayStep, 0);
}

TEST(ThreeRocket, GaugeStagesBlowUpsAndPressesOutOfTurn) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    START_GAME(h);
    // Frame numbers of play (1 = the first frame of play step 2); the gauge
    // a press meets is the one the frame before left.
    int frame = 0;
    std::vector<int32_t> gauges;
    h.AddInputRule([&frame](FrameInput& in) {
      if (ThreeRocketPlayStep != 2) return;
      const ThreeRocketRecord& left = Left();
      const ThreeRocketRecord& right = Right();
      // Challengers pressing out of turn change nothing.
      if (frame + 1 == 20) {
        HoldA(in, right.order[1]);
        HoldA(in, right.order[2]);
      }
      // Player 1: stage 1 at 90, then stages 2 and 3, then a press too many.
      if (left.gauge == 90 && left.gaugeFalling == 0 && left.stage == 0) HoldA(in, 1);
      if (left.gauge == 60 && left.gaugeFalling == 1 && left.stage == 1) HoldA(in, 1);
      if (left.gauge == 50 && left.gaugeFalling == 1 && left.stage == 2) HoldA(in, 1);
      if (left.gauge == 30 && left.gaugeFalling == 1 && left.stage == 3) HoldA(in, 1);
      // The first challenger presses at 91.
      if (right.gauge == 91 && right.stage == 0) HoldA(in, right.order[0]);
    });
    EnterMinigame(h, 18, OneAgainstThree(true));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return ThreeRocketPlayStep == 2; }, 400));
    const std::vector<int32_t> order(Right().order, Right().order + 3);
    EXPECT_EQ(std::set<int32_t>(order.begin(), order.end()), (std::set<int32_t>{2, 3, 4}));
    EXPECT_EQ(ThreeRocketRider(1), 1);
    EXPECT_EQ(ThreeRocketRider(2), order[0]);
    float speedBefore = 0.0f;
    for (frame = 1; frame <= 200; ++frame) {
      speedBefore = Left().speedY;
      int32_t stageBefore = Left().stage;
      ASSERT_TRUE(h.Frame());
      gauges.push_back(Left().gauge);
      if (frame == 20) {
        EXPECT_EQ(Right().stage, 0) << "out of turn";
        EXPECT_EQ(Right().speedY, 0.0f);
        EXPECT_EQ(Right().active, 1);
      }
      if (Left().stage == 1 && stageBefore == 0) {
        EXPECT_EQ(frame, 91);
        // The push of a stage at 90 is 30, then a frame of gravity.
        EXPECT_EQ(Left().speedY, speedBefore - 30.0f + 0.05f);
      }
      if (frame == 92) {
        EXPECT_EQ(Right().active, 0) << "a press at 91 blows the rocket up";
        EXPECT_EQ(Right().stage, 1);
        EXPECT_EQ(Right().done, 1);
      }
    }
    // A triangle from 0 up to 100 and back in 200 frames.
    for (int k = 1; k <= 200; ++k) ASSERT_EQ(gauges[k - 1], k <= 100 ? k : 200 - k) << "frame " << k;
    EXPECT_EQ(Left().gaugeFalling, 0);
    ASSERT_TRUE(h.RunUntil([] { return Left().stage == 3; }, 400));
    EXPECT_EQ(ThreeRocketRider(1), 1);
    // The fourth press (at 30) changes nothing.
    ASSERT_TRUE(h.RunUntil([] { return Left().gauge == 20; }, 400));
    EXPECT_EQ(Left().stage, 3);
    EXPECT_LT(Left().speedY, 0.0f);
    EXPECT_EQ(ThreeRocketPlayStep, 2) << "side 1 still climbs";
    // Its climb is cut short: it turns.
    Left().speedY = 0.0f;
    ASSERT_TRUE(h.RunUntil([] { return ThreeRocketPlayStep != 2; }, 5));
    EXPECT_GT(Left().bestHeight, 1000);
    float turned = Left().y;
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    EXPECT_GT(Left().y, turned + 100.0f) << "the rockets go on behind the results";
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(ThreeRocketStep, 0);
    EXPECT_EQ(ThreeRocketPlain, -1) << "the media are freed";
  });
}

// Side 1 fires its three stages at 3 and is back on its pad long before
// side 2 fires; side 2 fires its three from the pad at 0 and never leaves
// it. Both are done, and the game ends.
TEST(ThreeRocket, ARocketBackOnItsPadStaysDoneWhileTheOtherSideFires) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    START_GAME(h);
    bool leftResting = false;
    int leftFrames = 0;
    h.AddInputRule([&](FrameInput& in) {
      if (ThreeRocketPlayStep != 2) return;
      const ThreeRocketRecord& left = Left();
      const ThreeRocketRecord& right = Right();
      if (left.gauge == 3 && left.stage < 3) HoldA(in, 1);
      if (leftResting && right.gauge == 0 && right.stage < 3) HoldA(in, right.order[right.stage]);
    });
    h.AddFrameHook([&](GameHarness&) {
      if (ThreeRocketPlayStep != 2) return;
      ++leftFrames;
      const ThreeRocketRecord& left = Left();
      if (!leftResting && left.stage == 3 && left.y > kThreeRocketPadY - 1.0f && left.speedY == 0.0f) {
        leftResting = true;
        EXPECT_EQ(left.done, 1);
        EXPECT_LT(leftFrames, 300);
        EXPECT_EQ(Right().stage, 0) << "side 2 has waited";
      }
    });
    EnterMinigame(h, 18, OneAgainstThree(true));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return ThreeRocketPlayStep == 2; }, 400));
    ASSERT_TRUE(h.RunUntil([] { return ThreeRocketPlayStep != 2; }, 900));
    EXPECT_TRUE(leftResting);
    EXPECT_EQ(Left().done, 1);
    EXPECT_GT(Left().y, kThreeRocketPadY - 1.0f) << "resting on its pad";
    EXPECT_EQ(Left().speedY, 0.0f);
    EXPECT_EQ(Right().stage, 3);
    EXPECT_EQ(Right().bestHeight, 0);
    EXPECT_EQ(Right().done, 1);
    EXPECT_GT(Left().bestHeight, 0);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
  });
}

TEST(ThreeRocket, AFourCpuGameEnds) {
  RunGame({.seed = 12}, [](GameHarness& h) {
    START_GAME(h);
    MinigameOutcome out = PlayMinigame(h, 18, OneAgainstThree(false), 6000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
    EXPECT_EQ(Left().stage, Left().active == 1 ? 3 : Left().stage);
    int winner = Left().active == 1 && Left().bestHeight > 0 ? 1 : 0;
    if (Right().active == 1 && Right().bestHeight > (winner == 1 ? Left().bestHeight : 0)) winner = 2;
    for (int p = 1; p <= 4; ++p) {
      int side = p == 1 ? 1 : 2;
      EXPECT_EQ(out.award[p], side == winner ? 10 : 0) << "participant " << p;
    }
  });
}

TEST(ThreeRocket, AFailedLoadEndsWithNobodyWinning) {
  RunGame({.hiddenMedia = {"mini/threerocket/bom11.wav"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 18, OneAgainstThree(false), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(ThreeRocketStep, 1) << "the next start loads again";
    EXPECT_EQ(ThreeRocketBlueStar, -1);
    EXPECT_EQ(ThreeRocketFlames[1], -1);
    EXPECT_TRUE(h.LogHas("bom11.wav"));
  });
}

}  // namespace
