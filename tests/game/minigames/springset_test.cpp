// The catching minigame played through the runner: the 2700 counted frames,
// walls, pushes (the right-mover first, equal places resolved by
// participant number within one frame), the balls' flutter, loss and
// catches, CPU participants that stand still, and the winners without coins.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/minigames/springset.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

void SetX(int32_t p, float x, float speed = 0.0f) {
  ParticipantTable[p].x = x;
  ParticipantTable[p].reals[0] = speed;
}

std::vector<float> Xs() {
  std::vector<float> xs;
  for (int p = 1; p <= 4; ++p) xs.push_back(ParticipantTable[p].x);
  return xs;
}

SpringsetBall FallingBall(float x, float y, float speedX, float speedY, int32_t drift) {
  return {1, x, y, speedX, speedY, 0, drift};
}

TEST(Springset, FourCpuPlayersWallsPushesBallsAndTheWinners) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("RunMinigame", 3400);
    EnterMinigame(h, 9, MinigameSeats{});
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return SpringsetPlayStep == 2; }, 400));
    EXPECT_EQ(SpringsetClock, 2700);
    EXPECT_EQ(Xs(), (std::vector<float>{192, 288, 384, 480}));

    // Walls: participant 1 walks left from 104, participant 4 right from
    // 539; each stops flush against its wall and stays there.
    SetX(1, 104.0f);
    SetX(4, 539.0f);
    std::vector<float> left, right;
    for (int i = 0; i < 6; ++i) {
      ParticipantTable[1].reals[0] = -3.0f;
      ParticipantTable[4].reals[0] = 3.0f;
      ASSERT_TRUE(h.Frame());
      left.push_back(ParticipantTable[1].x);
      right.push_back(ParticipantTable[4].x);
    }
    EXPECT_EQ(left, (std::vector<float>{101, 98, 96, 96, 96, 96}));
    EXPECT_EQ(right, (std::vector<float>{542, 544, 544, 544, 544, 544}));

    struct PushCase {
      const char* what;
      std::vector<float> x, speed, after;
    };
    const std::vector<PushCase> pushes = {
        // 2 walking right meets 3 walking left: 2 moves first and is shoved
        // back by 3 (the left-mover first would end at 201 and 234).
        {"right-mover first", {96, 200, 234, 544}, {0, 3, -3, 0}, {96, 200, 233, 544}},
        // A walker shoves a standing one along, 33 pixels apart.
        {"shove along", {96, 300, 330, 544}, {0, 3, 0, 0}, {96, 303, 336, 544}},
        // Equal places: the higher number ends on the right, in one frame.
        {"two at one place", {96, 300, 300, 544}, {0, 0, 0, 0}, {96, 267, 300, 544}},
        {"four at one place", {300, 300, 300, 300}, {0, 0, 0, 0}, {201, 234, 267, 300}},
    };
    for (const PushCase& c : pushes) {
      for (int p = 1; p <= 4; ++p) SetX(p, c.x[p - 1], c.speed[p - 1]);
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(Xs(), c.after) << c.what;
    }

    // Balls, in one frame: a rightward drift below a pixel a frame keeps x,
    // the same leftward moves a pixel; a ball reaching below the floor and
    // one drifting out at the left are lost; one over participant 4's tray
    // (384..400 high, 285..315 across) is caught.
    for (SpringsetBall& b : SpringsetBallTable) b = {};
    SpringsetBallTable[19] = FallingBall(400, 100, 0.5f, 1.5f, 1);
    SpringsetBallTable[18] = FallingBall(400, 100, -0.5f, 1.5f, 0);
    SpringsetBallTable[17] = FallingBall(450, 432, 0.0f, 1.5f, 1);
    SpringsetBallTable[16] = FallingBall(0, 200, -1.5f, 1.5f, 0);
    SpringsetBallTable[15] = FallingBall(300, 380, 0.0f, 2.0f, 1);
    int32_t caught = SpringsetCatchCount(4);
    SpringsetSpawnCounter = 0;  // no new ball in this frame
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SpringsetBallTable[19].x, 400.0f);
    EXPECT_EQ(SpringsetBallTable[18].x, 399.0f);
    EXPECT_EQ(SpringsetBallTable[19].y, 101.0f);
    EXPECT_EQ(SpringsetBallTable[17].state, 0) << "lost on the floor";
    EXPECT_EQ(SpringsetBallTable[16].state, 0) << "lost at the side";
    EXPECT_EQ(SpringsetBallTable[15].state, 0) << "caught";
    EXPECT_EQ(SpringsetCatchCount(4), caught + 1);

    // The rest of the 2700 frames; the CPU participants never walk.
    std::vector<float> standing = Xs();
    int playFrames = 6 + static_cast<int>(pushes.size()) + 1;
    int counted = 2700 - SpringsetClock;
    while (SpringsetPlayStep == 2) {
      int32_t before = SpringsetClock;
      ASSERT_TRUE(h.Frame());
      ++playFrames;
      counted += SpringsetClock != before ? 1 : 0;
      ASSERT_EQ(Xs(), standing);
    }
    EXPECT_EQ(counted, 2700);
    EXPECT_EQ(playFrames, 2701) << "2700 counted down, then the frame that finds 0";
    for (int p = 1; p <= 4; ++p) {
      int32_t choice = SpringsetActionRequest(p);
      EXPECT_TRUE(choice == 1 || choice == 3 || choice == 5) << "the CPU choice lands in the action request";
    }
    int32_t counts[5] = {};
    for (int p = 1; p <= 4; ++p) counts[p] = SpringsetCatchCount(p);
    EXPECT_EQ(std::vector<int32_t>(counts + 1, counts + 5), (std::vector<int32_t>{5, 2, 1, 1})) << "seed 21";
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(SpringsetStep, 0);
    EXPECT_EQ(SpringsetPlayStep, 0);
  });
}

// Player 1 chases the lowest ball; player 2 stands and presses A; the
// second game catches nothing at all, and all four win.
TEST(Springset, AChasingPlayerCatchesMostAndNobodyCatchingMakesFourWinners) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.AddInputRule([](FrameInput& in) {
      if (SpringsetPlayStep != 2) return;
      const SpringsetBall* lowest = nullptr;
      for (const SpringsetBall& b : SpringsetBallTable)
        if (b.state == 1 && b.x > 96 && b.x < 544 && (lowest == nullptr || b.y > lowest->y)) lowest = &b;
      if (lowest == nullptr) return;
      float x = ParticipantTable[1].x;
      int button = lowest->x > x + 2 ? kButtonRight : lowest->x < x - 2 ? kButtonLeft : -1;
      if (button >= 0) {
        GameHarness::PadButton b = GameHarness::ButtonOf(1, button);
        in.pads[b.pad - 1] |= b.mask;
      }
    });
    h.PressWhile([] { return SpringsetPlayStep == 2 && SpringsetActionRequest(2) == 0; }, 2, kButtonA);
    bool emptied = false;
    h.AddFrameHook([&emptied](GameHarness&) {
      if (!emptied || SpringsetPlayStep != 2) return;
      for (SpringsetBall& b : SpringsetBallTable) b = {};
      if (SpringsetClock > 300) SpringsetClock = 300;
    });
    MinigameOutcome first = PlayMinigame(h, 9, HumanSeats({1, 2}));
    ASSERT_TRUE(first.ended);
    EXPECT_EQ(SpringsetActionRequest(2), 1) << "A asks for an action";
    std::vector<int32_t> counts;
    for (int p = 1; p <= 4; ++p) counts.push_back(SpringsetCatchCount(p));
    EXPECT_EQ(counts, (std::vector<int32_t>{11, 1, 0, 0})) << "seed 5";
    EXPECT_EQ(std::vector<uint8_t>(first.won + 1, first.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(std::vector<int32_t>(first.award + 1, first.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));

    emptied = true;
    MinigameOutcome second = PlayMinigame(h, 9, HumanSeats({1, 2}));
    ASSERT_TRUE(second.ended);
    EXPECT_EQ(SpringsetCatchCount(1), 0) << "the set-up clears the counts";
    EXPECT_EQ(std::vector<uint8_t>(second.won + 1, second.won + 5), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(std::vector<int32_t>(second.award + 1, second.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
  });
}

}  // namespace
