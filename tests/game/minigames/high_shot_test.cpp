// The high shooting minigame played through the runner: the lone
// participant's speed and dash, team 2 slowed by B with its hit point fading
// in, aimed shots every 6 frames at 10 pixels a frame, a full shot pool, the
// arena's edge, a hit ending play for team 2, the time-out for team 1, and a
// failed load.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/minigames/high_shot.h"
#include "game/minigames/minigame_runner.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

MinigameSeats OneAgainstThree(std::initializer_list<int> humans) {
  MinigameSeats seats = HumanSeats(humans);
  const int32_t teams[4] = {1, 2, 2, 2};
  for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
  return seats;
}

float FromCentre(int32_t p) {
  return std::hypot(ParticipantTable[p].x - kHighShotArenaX, ParticipantTable[p].y - kHighShotArenaY);
}

// A step to a thousandth of a pixel.
float Rounded(float step) { return std::round(step * 1000.0f) / 1000.0f; }

int ActiveShots(int32_t p) {
  int n = 0;
  for (const HighShotBullet& b : HighShotBullets[p]) n += b.active != 0 ? 1 : 0;
  return n;
}

TEST(HighShot, MovesShotsAndAHitEndingPlayForTeamTwo) {
  RunGame({.seed = 6}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, 21, OneAgainstThree({1, 2, 3}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return HighShotPlayStep == 2; }, 600));
    EXPECT_EQ(HighShotTimer, 5400);
    // The lone one in the middle, the three 160 away at 2, 4 and 6 radians.
    EXPECT_EQ(ParticipantTable[1].x, 320.0f);
    EXPECT_EQ(ParticipantTable[1].y, 320.0f);
    for (int p = 2; p <= 4; ++p) {
      double a = 2.0 * (p - 1);
      EXPECT_NEAR(ParticipantTable[p].x, 320.0 + 160.0 * std::cos(a), 1e-3) << p;
      EXPECT_NEAR(ParticipantTable[p].y, 320.0 + 160.0 * std::sin(a), 1e-3) << p;
    }

    // The lone one: 2 a frame, diagonally too; a dash on A makes 18 frames
    // of 10, then 2 again, and A starts no new dash before the counter has
    // passed 29.
    h.HoldButton(1, kButtonUp, 1);
    h.HoldButton(1, kButtonRight, 1);
    float x0 = ParticipantTable[1].x, y0 = ParticipantTable[1].y;
    ASSERT_TRUE(h.Frame());
    EXPECT_NEAR(std::hypot(ParticipantTable[1].x - x0, ParticipantTable[1].y - y0), 2.0, 1e-4);
    EXPECT_LT(ParticipantTable[1].y, y0);
    h.HoldButton(1, kButtonLeft, 31);
    h.HoldButton(1, kButtonA, 12);
    std::vector<float> steps;
    for (int i = 0; i < 31; ++i) {
      float x = ParticipantTable[1].x;
      ASSERT_TRUE(h.Frame());
      steps.push_back(Rounded(x - ParticipantTable[1].x));
    }
    std::vector<float> dash(18, 10.0f);
    dash.resize(31, 2.0f);
    EXPECT_EQ(steps, dash);

    // Team 2 at 3.5 a frame; holding B, at 2, its hit point fading in over
    // 17 frames and out again without B.
    std::vector<int32_t> opacity;
    std::vector<float> slow;
    h.HoldButton(2, kButtonB, 18);
    h.HoldButton(2, kButtonDown, 20);
    for (int i = 0; i < 20; ++i) {
      float y = ParticipantTable[2].y;
      ASSERT_TRUE(h.Frame());
      slow.push_back(Rounded(ParticipantTable[2].y - y));
      opacity.push_back(HighShotDashOrOpacity(2));
    }
    EXPECT_EQ(opacity[0], 15);
    EXPECT_EQ(opacity[16], 255);
    EXPECT_EQ(opacity[17], 255);
    EXPECT_EQ(opacity[18], 240);
    EXPECT_EQ(std::vector<float>(slow.begin(), slow.begin() + 18), std::vector<float>(18, 2.0f));
    EXPECT_EQ(slow[18], 3.5f);

    // Nobody leaves the arena: the lone one and participant 2 walk into its
    // edge and stay inside.
    h.HoldButton(1, kButtonRight, 200);
    h.HoldButton(1, kButtonA, 200);
    h.HoldButton(2, kButtonDown, 200);
    for (int i = 0; i < 200; ++i) {
      ASSERT_TRUE(h.Frame());
      for (int p = 1; p <= 4; ++p) ASSERT_LT(FromCentre(p), 320.0f) << p;
    }
    EXPECT_GT(FromCentre(1), 300.0f);
    EXPECT_GT(FromCentre(2), 300.0f);

    // A full pool starts nothing: participant 3's twenty records in use.
    for (HighShotBullet& b : HighShotBullets[3]) b = {1, 320.0f, 100.0f, 0.0f, 0.0f, 0.0f, 0.0f, {0, 0}};
    h.HoldButton(3, kButtonA, 12);
    ASSERT_TRUE(h.Frames(12));
    for (const HighShotBullet& b : HighShotBullets[3]) ASSERT_EQ(b.x, 320.0f);
    for (HighShotBullet& b : HighShotBullets[3]) b = {};

    // Participant 3 holds A: a shot every 6 frames, 10 a frame straight at
    // where the lone one stood. The lone one stands in the middle again; the
    // first shot that reaches it ends play.
    ParticipantTable[1].x = 320.0f;
    ParticipantTable[1].y = 320.0f;
    h.AddInputRule([](FrameInput& in) {
      GameHarness::PadButton a = GameHarness::ButtonOf(3, kButtonA);
      if (HighShotPlayStep == 2) in.pads[a.pad - 1] |= a.mask;
    });
    const float tx = ParticipantTable[1].x, ty = ParticipantTable[1].y;
    const float sx = ParticipantTable[3].x, sy = ParticipantTable[3].y;
    const float toTarget = std::hypot(tx - sx, ty - sy);
    std::vector<int> fired;
    int frame = 0;
    while (HighShotPlayStep == 2 && frame < 200) {
      int before = ActiveShots(3);
      ASSERT_TRUE(h.Frame());
      ++frame;
      if (ActiveShots(3) > before) {
        fired.push_back(frame);
        const HighShotBullet& b = HighShotBullets[3][fired.size() - 1];
        EXPECT_NEAR(std::hypot(b.x - sx, b.y - sy), 10.0, 1e-3) << "10 in its first frame";
        EXPECT_NEAR(b.angle, std::atan2(ty - sy, tx - sx), 1e-5);
      }
    }
    EXPECT_EQ(HighShotPlayStep, 4) << "the hit ended play";
    EXPECT_EQ(ParticipantTable[1].phase, kHighShotHit);
    // The first shot meets the lone one's circle (5 + 3) within
    // (distance - 8) / 10 frames of flight.
    ASSERT_GE(fired.size(), 2u);
    EXPECT_EQ(fired[0], 6);
    EXPECT_EQ(fired[1], 12);
    EXPECT_EQ(frame, 6 + static_cast<int>(std::ceil((toTarget - 8.0f) / 10.0f)) - 1);
    EXPECT_EQ(HighShotBullets[3][0].active, 0) << "the hitting shot ends";
    EXPECT_GT(HighShotTimer, 0);

    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 10, 10, 10}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 1, 1, 1}));
    EXPECT_LE(HighShotZoom, 1.5f);
    EXPECT_EQ(HighShotStep, 0);
    EXPECT_EQ(HighShotPicture, -1) << "freed";
  });
}

// CPU players give no input: nothing moves, nobody fires, and after 90
// seconds the lone participant (team 1) wins.
TEST(HighShot, FourCpuPlayersRunOutTheTimeAndTeamOneWins) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    for (const char* machine : {"RunMinigame", "HighShotMain", "HighShotPlay"}) h.SetStallLimit(machine, 6000);
    MinigameSeats seats = OneAgainstThree({});
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    EnterMinigame(h, 21, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return HighShotPlayStep == 2; }, 600));
    float placed[5][2];
    for (int p = 1; p <= 4; ++p) {
      placed[p][0] = ParticipantTable[p].x;
      placed[p][1] = ParticipantTable[p].y;
    }
    int frames = 0;
    while (HighShotPlayStep == 2) {
      ASSERT_TRUE(h.Frame());
      ++frames;
    }
    EXPECT_EQ(frames, 5400);
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(ParticipantTable[p].x, placed[p][0]) << p;
      EXPECT_EQ(ParticipantTable[p].y, placed[p][1]) << p;
      EXPECT_EQ(ActiveShots(p), 0) << p;
    }
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
  });
}

TEST(HighShot, AFailedLoadEndsAtTheLoadStepWithALogLine) {
  RunGame({.hiddenMedia = {"mini/shootingboss/花シュー2.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 21, OneAgainstThree({1}), 600);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(WinnerTextStep, 0) << "no winner text";
    EXPECT_EQ(HighShotStep, 1) << "the next start loads again";
    EXPECT_EQ(HighShotPicture, -1);
    EXPECT_TRUE(h.LogHas("media\\mini\\shootingboss\\花シュー2.png"));
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
  });
}

}  // namespace
