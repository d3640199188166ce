// Quarter jump played through the runner: one jump per held A and the cut
// of an early release, the 60-frame stun, lane obstacles that a full table
// does not start, the bar that sweeps every lane, three stuns that put a
// challenger down, the early end when all three are down and the time-out
// that the challengers win, and four CPU players.
#include "game/minigames/quarter_jump.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

constexpr float kPlateauTop = 80.0f;  // five cells of 16

MinigameSeats OneAgainstThree() {
  MinigameSeats seats = HumanSeats({1, 2, 3, 4});
  seats.team[0] = 1;
  seats.team[1] = seats.team[2] = seats.team[3] = 2;
  return seats;
}

// Starts minigame 19 and runs to its first frame of play, with the bar held
// back (tests start obstacles themselves).
void EnterPlay(GameHarness& h, const MinigameSeats& seats) {
  h.AddFrameHook([](GameHarness&) { QuarterJumpBarTimer = 0; });
  EnterMinigame(h, 19, seats);
  PressStartOnExplanation(h);
  ASSERT_TRUE(h.RunUntil([] { return QuarterJumpPlayStep == 2; }, 600));
}

// An obstacle of the kind just behind challenger p, on the plateau.
void SendAt(int32_t slot, int32_t kind, int32_t p) {
  const QuarterJumpBody& b = QuarterJumpBodies[p];
  QuarterJumpObstacles[slot] = {1, b.x - 9.0f, kind == 2 ? 0.5f * QuarterJumpCellA : b.z, kPlateauTop, 0, 0, 0, 0,
                                kind};
}

TEST(QuarterJump, JumpsStunsObstaclesAndTheTimeOut) {
  RunGame({.seed = 19}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    bool holdA[5] = {};
    h.AddInputRule([&holdA](FrameInput& in) {
      for (int p = 1; p <= 4; ++p)
        if (holdA[p]) HoldInFrame(in, p, kButtonA);
    });
    for (QuarterJumpBody& b : QuarterJumpBodies) b = {2, 0, 0, 0, 0, 0, 0, 0, 30, 4, 0, 1, 0, 0, 3};
    for (QuarterJumpObstacle& o : QuarterJumpObstacles) o.active = 1;
    EnterPlay(h, OneAgainstThree());
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(QuarterJumpTimer, 2698);
    for (const QuarterJumpObstacle& o : QuarterJumpObstacles) EXPECT_EQ(o.active, 0);
    for (int p = 1; p <= 4; ++p) {
      const QuarterJumpBody& b = QuarterJumpBodies[p];
      EXPECT_EQ(b.stance, 1);
      EXPECT_EQ(b.stun | b.jumping | b.stuns, 0);
      EXPECT_EQ(b.facing, p == 1 ? 2 : 8);
    }
    // The lone participant at the back, the challengers one per lane.
    EXPECT_NEAR(QuarterJumpBodies[1].x, 2.5f * QuarterJumpCellA, 1e-3);
    for (int p = 2; p <= 4; ++p) {
      EXPECT_NEAR(QuarterJumpBodies[p].x, 7.5f * QuarterJumpCellA, 1e-3);
      EXPECT_NEAR(QuarterJumpBodies[p].z, (0.5f + ParticipantTable[p].teamIndex) * QuarterJumpCellA, 1e-3);
      EXPECT_EQ(QuarterJumpBodies[p].height, kPlateauTop);
    }

    // A held A: one jump of 10 less gravity each frame, landing, and no
    // second jump while A stays down.
    holdA[2] = true;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterJumpBodies[2].height, kPlateauTop + 9.5f);
    float peak = 0.0f;
    for (int i = 0; i < 80; ++i) {
      ASSERT_TRUE(h.Frame());
      peak = std::max(peak, QuarterJumpBodies[2].height);
    }
    EXPECT_EQ(peak, kPlateauTop + 95.0f);  // 9.5 + 9 + ... + 0.5
    EXPECT_EQ(QuarterJumpBodies[2].height, kPlateauTop);
    EXPECT_EQ(QuarterJumpBodies[2].jumping, 1);
    // Released on the ground, pressed again: a jump; released after four
    // frames: the rise stops in that frame.
    holdA[2] = false;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterJumpBodies[2].jumping, 0);
    holdA[2] = true;
    ASSERT_TRUE(h.Frames(4));
    float risen = QuarterJumpBodies[2].height;
    EXPECT_EQ(risen, kPlateauTop + 9.5f + 9.0f + 8.5f + 8.0f);
    holdA[2] = false;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterJumpBodies[2].height, risen - 0.5f);
    ASSERT_TRUE(h.RunUntil([] { return QuarterJumpBodies[2].jumping == 0; }, 60));

    // A lane obstacle stuns challenger 3 for 60 frames, in which A does
    // nothing; the obstacle rolls on.
    SendAt(0, 1, 3);
    ASSERT_TRUE(h.Frame());
    holdA[3] = true;
    EXPECT_EQ(QuarterJumpBodies[3].stance, 2);
    EXPECT_EQ(QuarterJumpBodies[3].stuns, 1);
    EXPECT_EQ(QuarterJumpBodies[2].stance, 1);  // another lane
    for (int i = 0; i < 60; ++i) {
      EXPECT_EQ(QuarterJumpBodies[3].stance, 2) << i;
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(QuarterJumpBodies[3].height, kPlateauTop) << i;
    }
    EXPECT_EQ(QuarterJumpBodies[3].stance, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterJumpBodies[3].height, kPlateauTop + 9.5f);
    holdA[3] = false;
    ASSERT_TRUE(h.RunUntil([] { return QuarterJumpBodies[3].jumping == 0; }, 60));
    ASSERT_TRUE(h.RunUntil([] { return QuarterJumpObstacles[0].active == 0; }, 400));

    // A full table starts nothing: the lone participant's request waits for
    // a free slot (and a slot near its x).
    for (int32_t i = 0; i < kQuarterJumpObstacles; ++i)
      QuarterJumpObstacles[i] = {1, 2.5f * QuarterJumpCellA, 0.0f, 500.0f, 0, 0, 0, 0, 1};
    h.PressWhile([] { return QuarterJumpRequest(1) == 0; }, 1, kButtonB);
    ASSERT_TRUE(h.RunUntil([] { return QuarterJumpRequest(1) == 2; }, 10));
    for (const QuarterJumpObstacle& o : QuarterJumpObstacles) EXPECT_EQ(o.z, 0.0f);
    for (QuarterJumpObstacle& o : QuarterJumpObstacles) o = {};
    QuarterJumpObstacles[7].x = 2.5f * QuarterJumpCellA;  // a free slot near the lone participant
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterJumpRequest(1), 0);
    EXPECT_EQ(QuarterJumpObstacles[0].active, 1);
    EXPECT_EQ(QuarterJumpObstacles[0].kind, 1);
    EXPECT_NEAR(QuarterJumpObstacles[0].z, 2.5f * QuarterJumpCellA, 1e-3);  // lane 2 (B)

    // Time is up with every challenger up: team 2 wins.
    QuarterJumpTimer = 1;
    h.PressWhile([] { return QuarterJumpEntryStep == 7; }, 1, kButtonA);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    // Every picture is freed, character 0's figure too.
    EXPECT_EQ(QuarterGroundPicture, -1);
    for (const auto& cells : QuarterCharacterCells) EXPECT_EQ(cells[0] & cells[1], -1);
    EXPECT_EQ(out.award[1] | out.won[1], 0);
    for (int p = 2; p <= 4; ++p) {
      EXPECT_EQ(out.award[p], 10) << p;
      EXPECT_EQ(out.won[p], 1) << p;
    }
  });
}

// The bar reaches every lane: three sweeps stun all three challengers three
// times, which puts them down and ends play at once; team 1 wins.
TEST(QuarterJump, ThreeStunsPutChallengersDownAndEndPlay) {
  RunGame({.seed = 20}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterPlay(h, OneAgainstThree());
    ASSERT_TRUE(h.Frames(2));
    for (int32_t sweep = 1; sweep <= 3; ++sweep) {
      SendAt(0, 2, 2);
      ASSERT_TRUE(h.Frame());
      for (int p = 2; p <= 4; ++p) {
        EXPECT_EQ(QuarterJumpBodies[p].stance, 2) << p;
        EXPECT_EQ(QuarterJumpBodies[p].stuns, sweep) << p;
        EXPECT_EQ(QuarterJumpChallengerUp(p), sweep < 3) << p;
      }
      if (sweep < 3) {
        ASSERT_TRUE(h.RunUntil([] { return QuarterJumpBodies[2].stance == 1; }, 70));
      }
      QuarterJumpObstacles[0] = {};
    }
    int32_t left = QuarterJumpTimer;
    ASSERT_TRUE(h.RunUntil([] { return QuarterJumpPlayStep != 2; }, 3));
    EXPECT_GT(left, 2000);
    h.PressWhile([] { return QuarterJumpEntryStep == 7; }, 1, kButtonA);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.award[1], 10);
    EXPECT_EQ(out.won[1], 1);
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0) << p;
  });
}

TEST(QuarterJump, FourCpuPlayersEnd) {
  RunGame({.seed = 4}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameSeats seats;
    seats.team[0] = 1;
    seats.team[1] = seats.team[2] = seats.team[3] = 2;
    int32_t lanes = 0;
    h.AddFrameHook([&lanes](GameHarness&) {
      if (QuarterJumpPlayStep == 2 && QuarterJumpTimer > 300) QuarterJumpTimer = 300;
      for (const QuarterJumpObstacle& o : QuarterJumpObstacles)
        if (o.active != 0 && o.kind == 1) lanes |= 1 << static_cast<int>(o.z / QuarterJumpCellA);
    });
    MinigameOutcome out = PlayMinigame(h, 19, seats, 1000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(lanes, 2 | 4 | 8) << "the CPU sends obstacles down every lane";
    bool up = QuarterJumpChallengerUp(2) || QuarterJumpChallengerUp(3) || QuarterJumpChallengerUp(4);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], (p == 1) != up ? 10 : 0) << p;
  });
}

}  // namespace
