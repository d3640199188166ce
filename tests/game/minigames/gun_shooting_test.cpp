// The gun-sight minigame played through the runner: runners dropping
// through ledges but not the floor, a shot that leaves 6 frames after the
// press and bursts after its 45-frame aim, a bomb after 270 frames with its
// reach of 200, the end when the last runner is down, the runners' win at
// the time-out, four CPU players, and failed loads that leave nothing
// loaded (the room tables included).
#include "game/minigames/gun_shooting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "game/minigames/boss_shooting.h"
#include "game/minigames/minigame_screens.h"
#include "game/minigames/shooting.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

// Buttons held per record from the next frame on (tests change them between frames).
struct Held {
  std::vector<int> buttons[5];
  void Clear() {
    for (auto& b : buttons) b.clear();
  }
};

constexpr float kOnLedge17 = 16 * 17 - 17, kOnLedge23 = 16 * 23 - 17, kOnFloor = 16 * 29 - 17;

TEST(GunShooting, DropsShotsBombsAndTheEndWhenTheLastRunnerIsDown) {
  RunGame({.seed = 17}, [](GameHarness& h) {
    START_SHOOTER_GAME(h);
    MinigameSeats seats = HumanSeats({1, 2, 3, 4});
    seats.team[0] = 1;  // participant 1 holds the sight
    seats.team[1] = seats.team[2] = seats.team[3] = 2;
    Held held;
    h.AddInputRule([&held](FrameInput& in) {
      for (int p = 1; p <= 4; ++p)
        for (int b : held.buttons[p]) HoldInFrame(in, p, b);
    });
    EnterMinigame(h, 17, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return GunShootingPlayStep == 2; }, 500));
    EXPECT_EQ(GunShootingCountdown, 2700);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].x, 320.0f);
    ASSERT_TRUE(h.Frames(30));
    // (A standing runner sinks 0.7 pixels in every other frame and is lifted back.)
    for (int p = 2; p <= 4; ++p)
      EXPECT_NEAR(ParticipantTable[p].y, kOnLedge17, 0.75) << "runners land on the middle ledge";

    // Down with A drops runner 2 through a ledge; on the floor it stays.
    const std::vector<float> stands = {kOnLedge23, kOnFloor, kOnFloor};
    for (float expected : stands) {
      held.buttons[2] = {kButtonDown, kButtonA};
      ASSERT_TRUE(h.Frames(40));
      held.Clear();
      ASSERT_TRUE(h.Frames(10));
      EXPECT_NEAR(ParticipantTable[2].y, expected, 0.75);
    }
    // Runner 2 runs to the left wall; runner 3 stands 56 pixels right of
    // runner 4, just beyond a shot's reach (40 and its own 15).
    held.buttons[2] = {kButtonLeft};
    ASSERT_TRUE(h.Frames(110));
    held.Clear();
    EXPECT_LT(ParticipantTable[2].x, 40.0f);
    EXPECT_GT(ParticipantTable[2].x, 32.0f) << "the wall stops it";
    ParticipantTable[3].x = 376.0f;

    // A shot at runner 4 from the sight 15 pixels above it: it leaves in the
    // 6th frame from the press where the sight stood (the sight moves away
    // then), aims for 45 frames and bursts to radius 40, which reaches
    // runner 4 at once and never runner 3.
    h.Tap(1, kButtonA);
    int frame = 0, launched = 0, burst = 0, down4 = 0;
    std::vector<int32_t> radii;
    while (frame < 120) {
      if (frame == 6) held.buttons[1] = {kButtonRight};
      ASSERT_TRUE(h.Frame());
      ++frame;
      const GunProjectile& s = GunProjectileTable[0];
      if (launched == 0 && s.phase == 1) {
        launched = frame;
        EXPECT_EQ(s.kind, 1);
        EXPECT_EQ(s.x, 320.0f);
        EXPECT_EQ(s.y, 240.0f);
      }
      if (burst == 0 && s.phase == 2) burst = frame;
      if (s.phase == 2) radii.push_back(std::min(3 * s.counter, 40));
      if (down4 == 0 && GunRunnerUp(4) == 0) down4 = frame;
    }
    held.Clear();
    EXPECT_EQ(launched, 6);
    EXPECT_EQ(burst - launched + 1, 45) << "the 45th frame of its aim, the launch frame the first";
    EXPECT_EQ(down4, burst + 1) << "the burst's first frame of growth (radius 3) reaches it";
    EXPECT_EQ(radii.size(), 30u);
    EXPECT_EQ(radii.back(), 40);
    EXPECT_EQ(GunProjectileTable[0].phase, 0) << "the burst has ended";
    EXPECT_EQ(GunRunnerUp(3), 1);
    EXPECT_EQ(GunShootingPlayStep, 2);

    // A bomb thrown just above runner 3 bursts 270 frames later with a reach
    // of 200; runner 2 by the far wall stays up. No second bomb until the
    // burst has ended.
    ParticipantTable[1].x = ParticipantTable[3].x;
    ParticipantTable[1].y = 200.0f;
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.Frame());
    ASSERT_TRUE(h.Frame());
    ASSERT_EQ(GunProjectileTable[0].phase, 1);
    EXPECT_EQ(GunProjectileTable[0].kind, 2);
    EXPECT_EQ(GunBombState(1), 2);
    int aim = 2, bombFrames = 0;
    while (GunProjectileTable[0].phase == 1) {
      if (aim == 100) h.Tap(1, kButtonB);
      ASSERT_TRUE(h.Frame());
      ++aim;
    }
    EXPECT_EQ(aim, 270) << "the 270th frame of its aim";
    EXPECT_EQ(GunProjectileTable[1].phase, 0) << "B during the aim throws nothing";
    int32_t widest = 0;
    while (GunProjectileTable[0].phase == 2) {
      widest = std::max(widest, std::min(10 * GunProjectileTable[0].counter, 200));
      if (bombFrames == 5) h.Tap(1, kButtonB);
      ASSERT_TRUE(h.Frame());
      ++bombFrames;
      EXPECT_EQ(GunProjectileTable[1].phase, 0) << "no bomb while the burst lasts";
    }
    EXPECT_EQ(widest, 200);
    EXPECT_EQ(GunRunnerUp(3), 0);
    EXPECT_EQ(GunRunnerUp(2), 1);
    EXPECT_EQ(GunBombState(1), 0) << "ready again";

    // The last runner down ends play in that frame; the sight wins.
    ParticipantTable[1].x = ParticipantTable[2].x + 10.0f;
    ParticipantTable[1].y = ParticipantTable[2].y;
    h.Tap(1, kButtonA);
    bool winnerText = false;
    h.AddFrameHook([&winnerText](GameHarness&) { winnerText = winnerText || WinnerTextStep == 4; });
    ASSERT_TRUE(h.RunUntil([] { return GunRunnerUp(2) == 0; }, 100));
    EXPECT_EQ(GunShootingPlayStep, 3);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    EXPECT_TRUE(winnerText);
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(GunProjectileTable, nullptr) << "the tables are freed at the end";
    EXPECT_EQ(GunRoomGrid, nullptr);
  });
}

TEST(GunShooting, RunnersWinAtTheTimeOutWithOneUpAndFourCpuPlayersFinish) {
  RunGame({.seed = 18}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameSeats seats = HumanSeats({1, 2, 3, 4});
    seats.team[2] = 1;  // participant 3 holds the sight
    seats.team[0] = seats.team[1] = seats.team[3] = 2;
    int cut = 40, playFrames = 0;
    bool downTwo = true;
    h.AddFrameHook([&](GameHarness&) {
      if (GunShootingPlayStep != 2 || playFrames++ != 0) return;
      GunShootingCountdown = cut;
      if (downTwo) GunRunnerUp(1) = GunRunnerUp(4) = 0;
    });
    MinigameOutcome out = PlayMinigame(h, 17, seats);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(playFrames, 41) << "40 counted down and the one that finds 0";
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 10, 0, 10}));

    // Four CPU players in a game of 900 frames: the sight moves and fires,
    // the runners move, and the game ends by its time-out.
    MinigameSeats cpus;
    cpus.team[1] = 1;
    cpus.team[0] = cpus.team[2] = cpus.team[3] = 2;
    cut = 900;
    downTwo = false;
    playFrames = 0;
    int launches = 0;
    float runnerMoves = 0.0f;
    h.AddFrameHook([&](GameHarness&) {
      if (GunShootingPlayStep != 2 || GunProjectileTable == nullptr) return;
      for (int i = 0; i < kGunProjectiles; ++i)
        launches += GunProjectileTable[i].phase == 1 && GunProjectileTable[i].counter == 1;
      for (int p : {1, 3, 4}) runnerMoves += std::fabs(ParticipantTable[p].reals[0]);
    });
    MinigameOutcome cpu = PlayMinigame(h, 17, cpus);
    ASSERT_TRUE(cpu.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_LE(playFrames, 901);
    EXPECT_GT(launches, 5);
    EXPECT_GT(runnerMoves, 30.0f);
    bool anyUp = GunRunnerUp(1) || GunRunnerUp(3) || GunRunnerUp(4);
    EXPECT_EQ(cpu.award[2], anyUp ? 0 : 10);
    EXPECT_EQ(cpu.award[1], anyUp ? 10 : 0);
  });
}

// A picture that fails to load ends each game at once, nobody having won,
// with a log line naming it and nothing left loaded (the gun sight's two
// tables included); the next start loads again.
TEST(GunShooting, FailedLoadsFreeWhatTheyLoaded) {
  RunGame({.hiddenMedia = {"mini/gunshooting/空_001.png", "mini/shooting/花シュー2.png",
                           "mini/shootingboss/花シュー2.png"}},
          [](GameHarness& h) {
            ASSERT_EQ(h.StartUpWithoutMedia(), 0);
            struct Case {
              int32_t n;
              const int32_t* step;
              std::string file;
            };
            const Case cases[] = {{17, &GunShootingStep, "media\\mini\\gunshooting\\空_001.png"},
                                  {17, &GunShootingStep, "media\\mini\\gunshooting\\空_001.png"},
                                  {25, &ShootingStep, "media\\mini\\shooting\\花シュー2.png"},
                                  {20, &BossShootingStep, "media\\mini\\shootingboss\\花シュー2.png"}};
            for (const Case& c : cases) {
              size_t lines = h.LogLines().size();
              MinigameOutcome out = PlayMinigame(h, c.n, {}, 600);
              ASSERT_TRUE(out.ended);
              EXPECT_EQ(*c.step, 1) << c.n;
              for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0);
              bool named = false;
              std::vector<std::string> log = h.LogLines();
              for (size_t i = lines; i < log.size(); ++i) named = named || log[i].find(c.file) != std::string::npos;
              EXPECT_TRUE(named) << c.file;
            }
            EXPECT_EQ(GunProjectileTable, nullptr);
            EXPECT_EQ(GunRoomGrid, nullptr);
            EXPECT_EQ(GunSightPicture, -1);
            EXPECT_EQ(GunEmblemPicture, -1);
            EXPECT_EQ(ShootingBackground, -1);
          });
}

}  // namespace
