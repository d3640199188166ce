// The balloon-climb minigame played through the runner: the climb at level
// 20, the leak, the boost and its cost, the pellet's delay, a stray balloon
// that swallows a pellet, a full set of pellets, a pellet that pops a
// balloon, the time-out that wins for the lone participant even over a
// challenger at the top in the same frame, and four CPU players.
#include <gtest/gtest.h>

#include <vector>

#include "game/minigames/pooyan.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int32_t kPooyan = 16;

// Participant 1 alone on team 1, the others challengers; all human (they
// give no input unless a test presses for them).
MinigameSeats LoneFirst(std::initializer_list<int> humans = {1, 2, 3, 4}) {
  MinigameSeats seats = HumanSeats(humans);
  const int32_t teams[4] = {1, 2, 2, 2};
  for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
  return seats;
}

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award[1], out.award[2], out.award[3], out.award[4]}; }

void Ride(int32_t p, uint8_t ride, int32_t level, float y) {
  PooyanRideOf(p) = ride;
  PooyanLevel(p) = level;
  ParticipantTable[p].y = y;
  PooyanLeakTimers[p] = 0;
  PooyanBoostTimers[p] = 0;
}

void EnterPlay(GameHarness& h, const MinigameSeats& seats) {
  h.SetStallLimit("RunMinigame", 4000);
  EnterMinigame(h, kPooyan, seats);
  PressStartOnExplanation(h);
  ASSERT_TRUE(h.RunUntil([] { return PooyanPlayStep == 2; }, 400));
  EXPECT_EQ(PooyanCountdown, kPooyanPlayFrames);
}

TEST(Pooyan, LeakBoostPelletsStrayBalloonsAndTheClimb) {
  RunGame({.seed = 4}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterPlay(h, LoneFirst());
    const float startX[4] = {550, 240, 290, 340};
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].x, startX[p - 1]) << p;
    EXPECT_EQ(ParticipantTable[2].y, kPooyanGroundY);
    // No stray balloons in this test.
    h.AddFrameHook([](GameHarness&) {
      for (PooyanObject& b : PooyanBalloons)
        if (b.x != 150.0f) b.active = 0;
    });

    // A pumping balloon leaks one level every 61 frames.
    Ride(2, kPooyanPumping, 5, kPooyanGroundY);
    std::vector<int> drops;
    for (int f = 1; f <= 125; ++f) {
      int32_t before = PooyanLevel(2);
      ASSERT_TRUE(h.Frame());
      if (PooyanLevel(2) != before) drops.push_back(f);
    }
    EXPECT_EQ(drops, (std::vector<int>{61, 122}));
    EXPECT_EQ(PooyanLevel(2), 3);
    // Letting the air out empties the balloon at once.
    h.Tap(2, kButtonDown);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PooyanRideOf(2), kPooyanGround);
    EXPECT_EQ(PooyanLevel(2), 0);

    // A boost: 30 frames at 1.8 times the rise, then 5 levels less.
    Ride(3, kPooyanFlying, 10, 400.0f);
    ASSERT_TRUE(h.Frame());
    EXPECT_FLOAT_EQ(ParticipantTable[3].reals[1], -0.5f);
    h.Tap(3, kButtonB);
    std::vector<float> rise;
    for (int f = 0; f < 32; ++f) {
      ASSERT_TRUE(h.Frame());
      rise.push_back(ParticipantTable[3].reals[1]);
    }
    for (int f = 0; f < 30; ++f) EXPECT_FLOAT_EQ(rise[f], -0.9f) << f;
    EXPECT_FLOAT_EQ(rise[31], -0.25f);
    EXPECT_EQ(PooyanLevel(3), 5);
    // At level 3 the boost's end leaves the balloon empty: the fall.
    Ride(4, kPooyanFlying, 3, 300.0f);
    h.Tap(4, kButtonB);
    ASSERT_TRUE(h.Frames(31));
    EXPECT_EQ(PooyanRideOf(4), kPooyanFalling);
    EXPECT_EQ(PooyanLevel(4), 0);
    ASSERT_TRUE(h.RunUntil([] { return PooyanRideOf(4) == kPooyanGround; }, 100));
    EXPECT_EQ(ParticipantTable[4].y, kPooyanGroundY);

    // The pellet leaves 10 frames after the press, from the lift.
    Ride(3, kPooyanGround, 0, kPooyanGroundY);
    h.Tap(1, kButtonA);
    int frames = 0;
    while (PooyanPellets[0].active == 0 && frames < 20) {
      ASSERT_TRUE(h.Frame());
      ++frames;
    }
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(PooyanPellets[0].x, 550.0f - 6.0f);
    EXPECT_EQ(PooyanPellets[0].y, 112.0f) << "the lift stops at 112";
    // A stray balloon in its path swallows it; the challenger behind keeps
    // flying. Then a pellet pops a flying challenger's balloon.
    PooyanPellets[0] = {1, 300.0f, 200.0f, -6.0f, 0.0f};
    PooyanBalloons[0] = {1, 150.0f, 202.0f, 0.0f, 0.0f};
    Ride(2, kPooyanFlying, 0, 200.0f);
    ParticipantTable[2].x = 140.0f;
    ASSERT_TRUE(h.RunUntil([] { return PooyanPellets[0].active == 0; }, 60));
    EXPECT_EQ(PooyanBalloons[0].active, 0);
    EXPECT_EQ(PooyanRideOf(2), kPooyanFlying);
    PooyanPellets[1] = {1, 160.0f, 200.0f, -6.0f, 0.0f};
    ASSERT_TRUE(h.RunUntil([] { return PooyanPellets[1].active == 0; }, 10));
    EXPECT_EQ(PooyanRideOf(2), kPooyanFalling);

    // With all four pellets in the air a shot is used up without a pellet.
    for (PooyanObject& pellet : PooyanPellets) pellet = {1, 600.0f, 50.0f, 0.0f, 0.0f};
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(12));
    EXPECT_EQ(PooyanLevel(1), 0) << "the request is used up";
    for (const PooyanObject& pellet : PooyanPellets) EXPECT_EQ(pellet.x, 600.0f);
    for (PooyanObject& pellet : PooyanPellets) pellet.active = 0;

    // At level 20 a balloon rises a pixel a frame: 374 frames to the top.
    Ride(4, kPooyanPumping, 20, kPooyanGroundY);
    h.Tap(4, kButtonUp);
    ASSERT_TRUE(h.Frame());
    ASSERT_EQ(PooyanRideOf(4), kPooyanFlying);
    int climb = 0;
    while (PooyanPlayStep == 2 && climb < 400) {
      ASSERT_TRUE(h.Frame());
      ++climb;
    }
    EXPECT_EQ(climb, 374);
    h.RunUntil(MinigameEnded, 600);
    MinigameOutcome out = ReadMinigameOutcome();
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 10, 10, 10}));
    EXPECT_EQ(PooyanStep, 2) << "the next game starts at the set-up";
  });
}

TEST(Pooyan, TheTimeOutWinsOverAChallengerAtTheTop) {
  RunGame({.seed = 6}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterPlay(h, LoneFirst());
    // The challenger reaches y 64 in the frame that finds the clock at 0.
    Ride(3, kPooyanFlying, 20, 66.0f);
    PooyanCountdown = 1;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PooyanPlayStep, 2);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ParticipantTable[3].y, 64.0f);
    EXPECT_EQ(PooyanPlayStep, 3);
    h.RunUntil(MinigameEnded, 600);
    MinigameOutcome out = ReadMinigameOutcome();
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{10, 0, 0, 0}));
  });
}

TEST(Pooyan, FourCpuPlayersEndWithinTheClock) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterPlay(h, LoneFirst({}));
    int frames = 0;
    while (PooyanPlayStep == 2 && frames < 2800) {
      ASSERT_TRUE(h.Frame());
      ++frames;
    }
    EXPECT_LE(frames, 2701);
    h.RunUntil(MinigameEnded, 600);
    MinigameOutcome out = ReadMinigameOutcome();
    ASSERT_TRUE(out.ended);
    int32_t winners = 0;
    for (int p = 1; p <= 4; ++p) winners += out.award[p] == 10 ? 1 : 0;
    EXPECT_TRUE(winners == 1 || winners == 3) << winners;
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.won[p], out.award[p] == 10 ? 1 : 0);
  });
}

}  // namespace
