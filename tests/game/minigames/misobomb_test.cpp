// The beam-team minigame played through the runner: the 1800-frame clock,
// the charge counter (65 at the start, a human fires above 60), a beam's 30
// frames of 18 pixels, one beam scoring two fairies, the stun of the player
// opposite (30 frames still, open again at 60) that frees the shooter, a
// full set of fairies that starts none, equal totals a draw, the won flags
// without coins, four CPU players, and a failed load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/misobomb.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int32_t kMisobomb = 26;

// 1 and 3 (team A) against 2 and 4 (team B).
MinigameSeats Teams(std::initializer_list<int> humans) {
  MinigameSeats seats = HumanSeats(humans);
  const int32_t teams[4] = {1, 2, 1, 2};
  for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
  return seats;
}

void PlaceFairy(int i, float x, float y) { MisobombFairyTable[i] = {1, x, y, 0.0f, 0}; }
constexpr float kParked = -200.0f;

TEST(Misobomb, BeamsFairiesStunsAndADraw) {
  RunGame({.seed = 2}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("RunMinigame", 2400);
    EnterMinigame(h, kMisobomb, Teams({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return MisobombPlayStep == 2; }, 400));
    // Every fairy slot the test does not use holds a fairy parked off the
    // field, so none starts at random.
    h.AddFrameHook([](GameHarness&) {
      for (int i = 0; i < kMisobombFairies; ++i)
        if (MisobombFairyTable[i].active == 0) PlaceFairy(i, kParked, kParked);
    });
    EXPECT_EQ(MisobombClock, 1800);
    const float places[4][2] = {{112, 240}, {528, 240}, {320, 32}, {320, 448}};
    const int32_t roles[4] = {kMisobombSidePlayer, kMisobombSidePlayer, kMisobombEndPlayer, kMisobombEndPlayer};
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(ParticipantTable[p].x, places[p - 1][0]) << p;
      EXPECT_EQ(ParticipantTable[p].y, places[p - 1][1]) << p;
      EXPECT_EQ(MisobombRole(p), roles[p - 1]) << p;
      EXPECT_EQ(MisobombCharge(p), 65) << p;
    }

    // One beam, 30 frames of 18 pixels, scores both fairies on its line
    // (player 2 stands aside).
    ParticipantTable[2].y = 100.5f;
    PlaceFairy(0, 200.0f, 240.0f);
    PlaceFairy(1, 300.0f, 250.0f);
    h.Tap(1, kButtonA);
    std::vector<float> ends;
    ASSERT_TRUE(h.RunUntil([] { return MisobombBeamTable[1].active != 0; }, 5));
    ends.push_back(MisobombBeamTable[1].endX);
    EXPECT_EQ(MisobombStateOf(1), kMisobombFiring);
    while (MisobombBeamTable[1].active != 0 && ends.size() < 40) {
      ASSERT_TRUE(h.Frame());
      if (MisobombBeamTable[1].active != 0) ends.push_back(MisobombBeamTable[1].endX);
    }
    ASSERT_EQ(ends.size(), 30u);
    for (size_t k = 0; k < ends.size(); ++k) EXPECT_EQ(ends[k], 112.0f + 18.0f * (k + 1)) << k;
    EXPECT_EQ(MisobombScore(1), 2);
    EXPECT_EQ(MisobombFairyTable[0].x, kParked) << "both hit";
    EXPECT_EQ(MisobombFairyTable[1].x, kParked);
    EXPECT_EQ(MisobombStateOf(1), kMisobombFree);
    EXPECT_EQ(MisobombFireRequest(1), 0);

    // The beam stuns the player opposite and ends; its shooter is free.
    ParticipantTable[2].y = 240.0f;
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return MisobombStateOf(2) == kMisobombStunned; }, 40));
    EXPECT_EQ(MisobombOpen(2), 0);
    EXPECT_EQ(MisobombCharge(2), 0);
    EXPECT_EQ(MisobombBeamTable[1].active, 0);
    EXPECT_EQ(MisobombStateOf(1), kMisobombFree);
    // Still for 30 frames, holding up; free in the next; open again at 60.
    h.HoldButton(2, kButtonUp, 30);
    int free = 0, open = 0;
    for (int f = 1; f <= 70; ++f) {
      ASSERT_TRUE(h.Frame());
      if (free == 0 && MisobombStateOf(2) == kMisobombFree) free = f;
      if (open == 0 && MisobombOpen(2) == 1) open = f;
      if (f == 30) {
        EXPECT_EQ(ParticipantTable[2].y, 240.0f);
      }
      if (f == 35) h.Tap(2, kButtonA);  // charge 34: no beam
    }
    EXPECT_EQ(free, 31);
    EXPECT_EQ(open, 61);
    EXPECT_EQ(MisobombBeamTable[2].active, 0) << "a human fires only above 60";
    // Above 60 it fires.
    h.Tap(2, kButtonA);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(MisobombBeamTable[2].active, 1);

    // Thirty fairies out: none starts, even with the counter past 29.
    for (int i = 0; i < kMisobombFairies; ++i) PlaceFairy(i, 150.5f + i, 60.5f);
    MisobombSpawnCounter = 40;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MisobombSpawnCounter, 0);
    for (int i = 0; i < kMisobombFairies; ++i) EXPECT_EQ(MisobombFairyTable[i].x, 150.5f + i);

    // Equal totals (2 + 0 against 1 + 1) at the end of the clock: a draw.
    MisobombScore(1) = 2;
    MisobombScore(3) = 0;
    MisobombScore(2) = 1;
    MisobombScore(4) = 1;
    MisobombClock = 2;
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(MisobombPlayStep, 3);
    h.RunUntil(MinigameEnded, 600);
    MinigameOutcome out = ReadMinigameOutcome();
    ASSERT_TRUE(out.ended);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.won[p], 0) << p;

    // The outcome on the members' scores: won flags for the higher total,
    // never coins.
    struct Case {
      int32_t scores[4];
      std::vector<int> won;
    };
    const Case cases[] = {
        {{2, 0, 0, 1}, {1, 0, 1, 0}},
        {{0, 3, 1, 0}, {0, 1, 0, 1}},
        {{1, 2, 1, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
      for (int p = 1; p <= 4; ++p) {
        MisobombScore(p) = c.scores[p - 1];
        ParticipantTable[p].won = 0;
      }
      MisobombOutcomeStep = 1;
      while (MisobombOutcome() == 0) {
      }
      std::vector<int> won;
      for (int p = 1; p <= 4; ++p) {
        won.push_back(ParticipantTable[p].won);
        EXPECT_EQ(ParticipantTable[p].award, 0);
      }
      EXPECT_EQ(won, c.won);
    }
  });
}

TEST(Misobomb, FourCpuPlayersPlayTheClockOut) {
  RunGame({.seed = 12}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kMisobomb, Teams({}), 2400);
    ASSERT_TRUE(out.ended);
    int32_t a = MisobombScore(1) + MisobombScore(3), b = MisobombScore(2) + MisobombScore(4);
    EXPECT_GT(a + b, 0) << "the CPU players hit fairies";
    EXPECT_EQ(out.won[1], a > b ? 1 : 0);
    EXPECT_EQ(out.won[2], b > a ? 1 : 0);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], 0);
    EXPECT_EQ(MisobombStep, 0);
  });
}

TEST(Misobomb, AMissingSoundFreesWhatWasLoaded) {
  RunGame({.hiddenMedia = {"mini/misobomb/don14.wav"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kMisobomb, Teams({1}), 600);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(MisobombStep, 1) << "the next start loads again";
    EXPECT_EQ(MisobombFairyPicture, -1);
    EXPECT_EQ(MisobombBeamSound, -1);
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("don14.wav") != std::string::npos;
    EXPECT_TRUE(logged);
  });
}

}  // namespace
