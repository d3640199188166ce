// The versus shooting minigame played through the runner: the bursts, the
// focus speed, the waves that start together in both fields, enemies that
// take two hits, the chain explosion, orbs that arrive and burst into
// bullets, bullets that put ships down, the end when a team is down, the
// awards by members up, and a game of four CPU players.
#include "game/minigames/shooting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

int ActiveShots(int p) {
  int n = 0;
  for (const ShootingShot& s : ShotTable[p]) n += s.active;
  return n;
}

// A still enemy (its wave of pattern 1 has sent all its enemies).
ShootingEnemy& PlaceEnemy(int side, int slot, float x, float y) {
  ShootingWave& wave = EnemyWaveTable[side][0];
  wave.active = 1;
  wave.pattern = 1;
  wave.frame = 141;
  ShootingEnemy& e = wave.enemies[slot];
  e = {};
  e.active = 1;
  e.hitPoints = 2;
  e.x = x;
  e.y = y;
  return e;
}

void ClearField() {
  std::memset(EnemyWaveTable, 0, sizeof EnemyWaveTable);
  std::memset(EnemyBulletTable, 0, sizeof EnemyBulletTable);
  std::memset(OrbTable, 0, sizeof OrbTable);
  std::memset(ExplosionTable, 0, sizeof ExplosionTable);
}

TEST(Shooting, BurstsFocusWavesHitsOrbsAndTheEndWhenATeamIsDown) {
  RunGame({.seed = 25}, [](GameHarness& h) {
    START_SHOOTER_GAME(h);
    MinigameSeats seats = HumanSeats({1, 2, 3, 4});
    seats.team[0] = seats.team[1] = 1;
    seats.team[2] = seats.team[3] = 2;
    // A wave timer left over from an earlier game does not carry into this one.
    h.When([] { return ExplanationStep == 3; }, [] { ShootingWaveTimer = 77; });
    EnterMinigame(h, 25, seats);
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return ShootingPlayStep == 2; }, 500));
    EXPECT_EQ(ShootingCountdown, 7200);
    EXPECT_EQ(ParticipantTable[1].x, 80.0f);
    EXPECT_EQ(ParticipantTable[2].x, 112.0f);
    EXPECT_EQ(ParticipantTable[3].x, 400.0f);
    EXPECT_EQ(ParticipantTable[4].x, 432.0f);
    EXPECT_EQ(ParticipantTable[4].y, 300.0f);

    // Input of the first frames: player 1 holds B and then right, player 3
    // right without B; player 2 taps A on play frame 1 and again on frame
    // 10 (during the burst, which starts over with three shots).
    int frame = 0;
    h.AddInputRule([&frame](FrameInput& in) {
      if (ShootingPlayStep != 2) return;
      int next = frame + 1;
      if (next <= 20) HoldInFrame(in, 1, kButtonB);
      if (next >= 3 && next <= 20) HoldInFrame(in, 1, kButtonRight);
      if (next >= 5 && next <= 20) HoldInFrame(in, 1, kButtonUp);
      if (next <= 20) HoldInFrame(in, 3, kButtonRight);
      if (next == 1 || next == 10) HoldInFrame(in, 2, kButtonA);
    });
    std::vector<int> shotFrames, glow;
    std::vector<float> x1, y1, x3;
    std::vector<int> waveFrames;
    while (frame < 260) {
      int shotsBefore = ActiveShots(2);
      ASSERT_TRUE(h.Frame());
      ++frame;
      if (ActiveShots(2) > shotsBefore) shotFrames.push_back(frame);
      if (frame <= 20) {
        glow.push_back(ShootingGlow(1));
        x1.push_back(ParticipantTable[1].x);
        y1.push_back(ParticipantTable[1].y);
        x3.push_back(ParticipantTable[3].x);
      }
      for (int slot = 0; slot < kShootingWaves; ++slot)
        if (EnemyWaveTable[0][slot].active && EnemyWaveTable[0][slot].frame == 1) {
          waveFrames.push_back(frame);
          EXPECT_EQ(EnemyWaveTable[1][slot].active, 1);
          EXPECT_EQ(EnemyWaveTable[1][slot].pattern, EnemyWaveTable[0][slot].pattern)
              << "both fields start the same pattern";
          EXPECT_EQ(EnemyWaveTable[1][slot].frame, 1);
        }
    }
    // Three shots at frames 6, 12, 18 of a burst; the press on frame 10
    // starts three more from the count it found.
    EXPECT_EQ(shotFrames, (std::vector<int>{6, 12, 18, 24}));
    EXPECT_EQ(glow[0], 15);
    EXPECT_EQ(glow[16], 255);
    // Focus: 2.0 a frame, a diagonal scaled to length 2; without, 3.5.
    EXPECT_EQ(x1[2] - x1[1], 2.0f);
    EXPECT_EQ(y1[3], y1[2]);
    EXPECT_NEAR(std::hypot(x1[6] - x1[5], y1[6] - y1[5]), 2.0, 1e-4);
    EXPECT_EQ(x3[1] - x3[0], 3.5f);
    EXPECT_EQ(waveFrames, (std::vector<int>{120, 240})) << "a wave every 120 frames, the first at 120";

    // Enemies take two hits; the explosion's chain at its eighth frame
    // destroys the enemy within reach and leaves the one beyond it.
    ClearField();
    for (auto& shots : ShotTable) std::memset(shots, 0, sizeof shots);
    h.AddFrameHook([](GameHarness&) { ShootingWaveTimer = 0; });  // no new waves from here
    ParticipantTable[1].x = 100.0f;
    ParticipantTable[1].y = 400.0f;
    ShootingEnemy& target = PlaceEnemy(0, 0, 100.0f, 200.0f);
    ShootingEnemy& near = PlaceEnemy(0, 1, 140.0f, 200.0f);  // 40 apart: circles of 15 and 35 meet
    ShootingEnemy& far = PlaceEnemy(0, 2, 40.0f, 200.0f);    // 60 apart
    h.Tap(1, kButtonA);
    int hitFrame = 0, killFrame = 0, chainFrame = 0;
    for (int i = 1; i <= 80 && chainFrame == 0; ++i) {
      ASSERT_TRUE(h.Frame());
      if (hitFrame == 0 && target.hitPoints == 1) hitFrame = i;
      if (killFrame == 0 && target.active == 0) {
        killFrame = i;
        EXPECT_EQ(ExplosionTable[0][0].active, 1);
        EXPECT_EQ(ExplosionTable[0][0].x, 100.0f);
      }
      if (chainFrame == 0 && near.active == 0) chainFrame = i;
    }
    ASSERT_GT(hitFrame, 0);
    EXPECT_GT(killFrame, hitFrame) << "the first hit leaves the enemy flying";
    EXPECT_EQ(chainFrame - killFrame, 8) << "the chain at the explosion's frame 8";
    EXPECT_EQ(ExplosionTable[0][1].active, 1) << "the chained enemy explodes too";
    EXPECT_EQ(far.active, 1);

    // Orbs reach their target points and burst into bullets in the other
    // field, from a corner of the far field in at most 130 frames.
    ClearField();
    struct OrbCase {
      int side;
      float x, y, tx, ty;
    };
    const OrbCase orbCases[] = {{0, 16, 464, 624, 16}, {1, 624, 464, 16, 112}, {0, 300, 20, 336, 16}};
    for (const OrbCase& c : orbCases) {
      ShootingOrb& orb = OrbTable[c.side][0];
      orb = {1, c.x, c.y, c.x, c.y, c.tx, c.ty, 0, 0, 0};
      int frames = 0;
      while (orb.active && frames < 200) {
        ASSERT_TRUE(h.Frame());
        ++frames;
      }
      const float distance = std::hypot(c.tx - c.x, c.ty - c.y);
      EXPECT_LE(frames, static_cast<int>(distance / kShootingOrbSpeed) + 4) << c.x << "," << c.y;
      const ShootingBullet& b = EnemyBulletTable[1 - c.side][0];
      EXPECT_EQ(b.active, 1);
      EXPECT_GE(b.speed, 1.29f);  // level 1: 1.3 to 2.3
      EXPECT_LE(b.speed, 2.31f);
      EXPECT_LE(std::fabs(b.heading), 0.5236f) << "within 30 degrees of straight down";
      EXPECT_GT(b.vy, 0.0f);
      ClearField();
    }

    // A bullet puts a ship down and raises its team's level; the second
    // member of the same team down ends play in that frame.
    const int32_t level = TeamLevel[1];
    EnemyBulletTable[1][0] = {1, ParticipantTable[3].x, ParticipantTable[3].y - 6.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1};
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ParticipantTable[3].phase, kShootingDown);
    EXPECT_EQ(TeamLevel[1], level + 1);
    EXPECT_EQ(EnemyBulletTable[1][0].active, 0);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(ShootingPlayStep, 2) << "one member down: play goes on";
    EnemyBulletTable[1][1] = {1, ParticipantTable[4].x, ParticipantTable[4].y - 6.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0};
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ShootingPlayStep, 4);
    bool winnerText = false;
    h.AddFrameHook([&winnerText](GameHarness&) { winnerText = winnerText || WinnerTextStep == 4; });
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    EXPECT_TRUE(winnerText);
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 10, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 0, 0}));
  });
}

// Members up decide: two against one wins, one against one is a draw (where
// the last one down in participant order would have named a side).
TEST(Shooting, TheTeamWithMoreMembersUpWinsAndFourCpuPlayersFinish) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameSeats seats;
    seats.team[0] = seats.team[2] = 1;
    seats.team[1] = seats.team[3] = 2;
    struct Case {
      std::vector<int> down;
      std::vector<int32_t> award;
    };
    const std::vector<Case> cases = {
        {{4}, {10, 0, 10, 0}},   // team 1 two up, team 2 one
        {{1, 4}, {0, 0, 0, 0}},  // one each: a draw
        {{}, {0, 0, 0, 0}},      // nobody down at the time-out: a draw
    };
    size_t game = 0;
    // Short games: the poked countdown ends each at its own time-out; CPU
    // hits are undone so the table's downs alone decide.
    h.AddFrameHook([&](GameHarness&) {
      if (ShootingPlayStep != 2 || game >= cases.size()) return;
      for (int p = 1; p <= 4; ++p) ParticipantTable[p].phase = 0;
      for (int p : cases[game].down) ParticipantTable[p].phase = kShootingDown;
      if (ShootingCountdown > 2) ShootingCountdown = 2;
    });
    for (const Case& c : cases) {
      MinigameOutcome out = PlayMinigame(h, 25, seats);
      ASSERT_TRUE(out.ended);
      EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), c.award) << "game " << game;
      ++game;
    }

    // Four CPU players in a game of 2500 frames (past a level rise): they
    // move and fire, waves come, and the game ends by its time-out at the
    // latest.
    int playFrames = 0, shots = 0;
    float moved = 0.0f;
    h.AddFrameHook([&](GameHarness&) {
      if (ShootingPlayStep != 2) return;
      if (playFrames++ == 0) ShootingCountdown = 2500;
      for (int p = 1; p <= 4; ++p) {
        moved += std::fabs(ParticipantTable[p].reals[0]) + std::fabs(ParticipantTable[p].reals[1]);
        shots += ShootingShotsLeft(p) == 3 ? 1 : 0;
      }
    });
    MinigameOutcome out = PlayMinigame(h, 25, seats);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_LE(playFrames, 2501);
    EXPECT_GT(moved, 100.0f);
    EXPECT_GT(shots, 10);
    int up[2] = {};
    for (int p = 1; p <= 4; ++p)
      if (ParticipantTable[p].phase == 0) ++up[ShootingSide(p)];
    for (int p = 1; p <= 4; ++p) {
      int side = ShootingSide(p);
      EXPECT_EQ(out.award[p], up[side] > up[1 - side] ? 10 : 0) << "participant " << p;
    }
    fprintf(stderr, "%s\n",
            ("four CPU players: " + std::to_string(playFrames) + " play frames, up " + std::to_string(up[0]) + ":" +
             std::to_string(up[1]))
                .c_str());
  });
}

}  // namespace
