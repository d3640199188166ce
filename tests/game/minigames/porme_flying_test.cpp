// The porme flying minigame played through the runner: the power climbing
// every 61 frames to 10, the release, the flight's frames and speed, the
// slide's speed steps, the farthest throw winning without coins (ties
// shared), four CPU throwers, and a failed load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/porme_flying.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

void Shot(GameHarness& h, const char* name) {
  if (const char* dir = std::getenv("ZR_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name);
}

// One throw as seen frame by frame.
struct Throw {
  std::vector<int32_t> whirlPower;  // the power in each frame that ends at the whirl step
  std::vector<float> flightVx;
  std::vector<float> slideVx;
  float landingX = 0, restX = 0;
};

TEST(PormeFlying, PowerFlightSlideAndTheFarthestThrowsWin) {
  RunGame({.seed = 11}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    // Player 1 lets go at power 1 after 30 frames, player 2 waits for power
    // 10 and 100 frames more; players 3 and 4 are CPU throwers.
    h.PressWhile([] { return PormeThrower == 1 && PormeThrowStep == 3 && PormeFrameCounter(1) == 30; }, 1,
                 kButtonA);
    int atTen = 0;
    h.PressWhile([&] { return PormeThrower == 2 && PormeThrowStep == 3 && atTen >= 100; }, 2, kButtonA);
    Throw throws[5];
    int lastStep = -1;
    bool shotWhirl = false, shotFlight = false, shotRest = false;
    h.AddFrameHook([&](GameHarness& g) {
      int32_t p = PormeThrower;
      if (p < 1 || p > 4) return;
      Throw& t = throws[p];
      const ParticipantRecord& r = ParticipantTable[p];
      if (PormeThrowStep == 3) {
        t.whirlPower.push_back(PormePower(p));
        if (p == 2 && PormePower(2) == 10) ++atTen;
        if (p == 2 && atTen == 50 && !shotWhirl) shotWhirl = true, Shot(g, "porme_whirl.png");
      }
      if (lastStep == 4) t.flightVx.push_back(r.reals[0]);  // a frame of flight
      if (PormeThrowStep == 5 && lastStep == 4) t.landingX = r.x;
      if (PormeThrowStep == 5 && lastStep == 5) t.slideVx.push_back(r.reals[0]);
      if (p == 2 && PormeThrowStep == 4 && t.flightVx.size() == 150 && !shotFlight)
        shotFlight = true, Shot(g, "porme_flight.png");
      if (PormeThrowStep == 6 && lastStep != 6) t.restX = r.x;
      if (p == 2 && PormeThrowStep == 6 && PormeThrowWait == 30 && !shotRest) shotRest = true, Shot(g, "porme_rest.png");
      lastStep = PormeThrowStep;
    });
    // Player 3's throw is made to end where player 2's did: both win.
    h.AddFrameHook([](GameHarness&) {
      if (PormeOutcomeStep == 1 && PormeFlyingStep == 6 && ParticipantTable[3].x != ParticipantTable[2].x)
        ParticipantTable[3].x = ParticipantTable[2].x;
    });
    int winnerFrames = 0;
    h.AddFrameHook([&](GameHarness& g) {
      if (WinnerTextStep == 4 && ++winnerFrames == 40) Shot(g, "porme_result.png");
    });
    MinigameOutcome out = PlayMinigame(h, 11, HumanSeats({1, 2}), 6000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(winnerFrames, 102) << "the winner text ran";

    // Player 1: the thrower's first frame and 30 whirl frames at power 1.
    EXPECT_EQ(throws[1].whirlPower.size(), 31u);
    // Player 2: power +1 every 61 frames up to 10.
    const std::vector<int32_t>& power = throws[2].whirlPower;
    ASSERT_GT(power.size(), 9u * 61u);
    for (size_t i = 0; i < 9 * 61; ++i) ASSERT_EQ(power[i], static_cast<int32_t>(1 + i / 61)) << "frame " << i;
    EXPECT_EQ(power.back(), 10);

    // The flight: 228 frames from y = 336, up at 2 with gravity 0.02, at
    // power + 10 pixels a frame.
    struct FlightCase {
      int p;
      float vx;
    };
    for (FlightCase c : {FlightCase{1, 11.0f}, FlightCase{2, 20.0f}}) {
      const Throw& t = throws[c.p];
      ASSERT_EQ(t.flightVx.size(), 228u) << "player " << c.p;
      for (float vx : t.flightVx) ASSERT_EQ(vx, c.vx);
      EXPECT_EQ(t.landingX, 128.0f + 228.0f * c.vx) << "player " << c.p;
    }
    // The slide of the power-10 throw: 2 pixels a frame per power step, 11
    // frames at each speed after the first, and 0 when it stops.
    std::vector<float> slide = throws[2].slideVx;
    ASSERT_FALSE(slide.empty());
    EXPECT_EQ(slide.back(), 0.0f);
    size_t i = 0;
    float first = slide[0];
    while (i < slide.size() && slide[i] == first) ++i;
    EXPECT_LE(i, 11u);
    for (float speed = first - 2.0f; speed >= 2.0f; speed -= 2.0f)
      for (int k = 0; k < 11; ++k, ++i) ASSERT_EQ(slide[i], speed) << "slide frame " << i;
    float slid = 0;
    for (float vx : slide) slid += vx;
    EXPECT_EQ(throws[2].restX, throws[2].landingX + slid);

    // Ties share the win; nobody gets coins.
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 1, 1, 0}));
    EXPECT_EQ(PormeThrowStep, 0);
    EXPECT_EQ(PormeCells[0], -1) << "the media are freed";
  });
}

TEST(PormeFlying, AHumanWhoNeverLetsGoKeepsTheGameWaiting) {
  RunGame({.seed = 3, .stallFrames = 0}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, 11, HumanSeats({1}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return PormeThrowStep == 3; }, 600));
    for (int i = 0; i < 1200; ++i) ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PormeThrowStep, 3);
    EXPECT_EQ(PormeThrower, 1);
    EXPECT_EQ(PormePower(1), 10);
  });
}

TEST(PormeFlying, FourCpuThrowersEndUnderTheWatchdogAndAFailedLoadEndsAtOnce) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameSeats seats;
    for (int p = 0; p < 4; ++p) seats.cpuLevel[p] = p + 1;
    MinigameOutcome out = PlayMinigame(h, 11, seats, 5000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
    float best = 0;
    for (int p = 1; p <= 4; ++p) {
      EXPECT_GE(ParticipantTable[p].x, 128.0f + 228.0f * 11.0f) << "every CPU level threw";
      if (ParticipantTable[p].x > best) best = ParticipantTable[p].x;
    }
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.won[p], ParticipantTable[p].x == best ? 1 : 0);
  });
  RunGame({.hiddenMedia = {"mini/flyingporme/turn_odwyna.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 11, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(PormeFlyingStep, 1) << "the next start loads again";
    EXPECT_EQ(PormeCells[0], -1) << "what was loaded is freed";
    EXPECT_EQ(PormeTurnCells[0], -1);
    bool named = false;
    for (const std::string& line : h.LogLines()) named = named || line.find("turn_odwyna.png") != std::string::npos;
    EXPECT_TRUE(named);
  });
}

}  // namespace
