// The climbing race played through the runner: the shaft's platforms, the
// full jump through a platform and the cut hop, a knocked body's helpless
// drift and blinking, the view's scroll, the three ends of play (the top of
// the shaft, everybody below the live area, the view's time at the top),
// awards shared by equal heights, and shoves that stop at the walls.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/minigames/fall_climb.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

void Hold(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}

// The first column of the platform on a row.
int PlatformStart(int row) {
  for (int c = 0; c < kFallClimbColumns; ++c)
    if (FallClimbGrid[row][c] == kFallClimbPlatform) return c;
  return -1;
}

// (255, 128, 0) as the screen's format keeps it.
bool IsOrange(uint32_t pixel) {
  uint32_t green = (pixel >> 8) & 0xFF;
  return (pixel >> 16) == 0xFF && green >= 0x78 && green <= 0x88 && (pixel & 0xFF) < 0x10;
}

void Place(int32_t p, float x, float y) {
  ParticipantTable[p].x = x;
  ParticipantTable[p].y = y;
  FallClimbFallSpeed(p) = 0.0f;
}

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award + 1, out.award + 5}; }
std::vector<uint8_t> Won(const MinigameOutcome& out) { return {out.won + 1, out.won + 5}; }

TEST(FallClimb, JumpsKnocksScrollAndTheTopOfTheShaftEndsPlay) {
  RunGame({.seed = 13}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("RunMinigame", 3000);
    int frame = 0;           // play frames run
    bool jumpToTop = false;  // player 1 holds B again on the top platform
    h.AddInputRule([&](FrameInput& in) {
      if (FallClimbStep != 4) return;
      int f = frame + 1;  // the frame this input is for
      if (f <= 40 || jumpToTop) Hold(in, 1, kButtonB);
      if (f == 1) Hold(in, 2, kButtonB);
      if (f == 70) Hold(in, 2, kButtonRight);
      if (f == 72) Hold(in, 2, kButtonA);
      if (FallClimbBodyState(3) == kFallClimbKnocked) Hold(in, 3, kButtonRight);
    });
    bool seen[12] = {};
    h.AddFrameHook([&](GameHarness&) { if (FallClimbStep >= 0 && FallClimbStep < 12) seen[FallClimbStep] = true; });
    EnterMinigame(h, 13, HumanSeats({1, 2, 3}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return FallClimbStep == 3; }, 400));

    // The shaft: walls, the floor, and 19 platforms of 7 cells on every third
    // row, each starting more than 2 columns from the one below.
    for (int r = 0; r < kFallClimbRows; ++r) {
      ASSERT_EQ(FallClimbGrid[r][0], kFallClimbSolid);
      ASSERT_EQ(FallClimbGrid[r][19], kFallClimbSolid);
    }
    for (int c = 0; c < kFallClimbColumns; ++c) ASSERT_EQ(FallClimbGrid[59][c], kFallClimbSolid);
    int platformCells = 0, previous = -1, platforms = 0;
    for (int r = 56; r >= 2; r -= 3) {
      int start = PlatformStart(r);
      ASSERT_GE(start, 2) << "row " << r;
      ASSERT_LE(start, 12) << "row " << r;
      for (int c = start; c < start + 7; ++c) EXPECT_EQ(FallClimbGrid[r][c], kFallClimbPlatform);
      EXPECT_GT(std::abs(start - previous), 2) << "row " << r;
      previous = start;
      ++platforms;
    }
    for (int r = 0; r < kFallClimbRows; ++r)
      for (int c = 0; c < kFallClimbColumns; ++c) platformCells += FallClimbGrid[r][c] == kFallClimbPlatform;
    EXPECT_EQ(platforms, 19);
    EXPECT_EQ(platformCells, 19 * 7);
    EXPECT_EQ(FallClimbViewTop(), 1600.0f);

    // Player 1 under the middle of the lowest platform; 2 and 3 side by side
    // elsewhere on the floor; the CPU player 4 by the right wall.
    float p1x = static_cast<float>((PlatformStart(56) + 3) * 32 + 16);
    bool right = p1x <= 320.0f;
    Place(1, p1x, 1872.0f);
    Place(2, right ? 380.0f : 64.0f, 1872.0f);
    Place(3, right ? 480.0f : 164.0f, 1872.0f);
    Place(4, 592.0f, 1872.0f);
    ASSERT_TRUE(h.RunUntil([] { return FallClimbStep == 4; }, 200));

    std::vector<float> y1, y2, view, x3;
    std::vector<int> blink;
    int knockedAt = 0;
    while (frame < 300) {
      ASSERT_TRUE(h.Frame());
      ++frame;
      ASSERT_EQ(FallClimbStep, 4) << "frame " << frame;
      y1.push_back(ParticipantTable[1].y);
      y2.push_back(ParticipantTable[2].y);
      view.push_back(FallClimbViewTop());
      if (knockedAt == 0 && FallClimbBodyState(3) == kFallClimbKnocked) knockedAt = frame;
      if (knockedAt != 0) {
        x3.push_back(ParticipantTable[3].x);
        int x = static_cast<int>(ParticipantTable[3].x) - 12;
        int y = static_cast<int>(ParticipantTable[3].y - FallClimbViewTop()) - 12;
        blink.push_back(IsOrange(h.Pixel(x, y)) ? 1 : 0);
      }
    }
    // The full jump rises for 18 frames (13 / 0.7), passes up through the
    // platform and lands on it; the tapped hop rises twice and falls back.
    int rising = 0;
    while (y1[rising] < (rising == 0 ? 1872.0f : y1[rising - 1])) ++rising;
    EXPECT_EQ(rising, 18);
    EXPECT_NEAR(1872.0f - y1[17], 114.3f, 0.01f);
    EXPECT_EQ(y1[60], 56 * 32 - 16.0f) << "standing on the platform it jumped through";
    EXPECT_NEAR(y2[0], 1872.0f - 12.3f, 0.001f);
    EXPECT_NEAR(y2[1], 1872.0f - 23.9f, 0.001f);
    EXPECT_GT(y2[2], y2[1]) << "releasing B cuts the rise";
    EXPECT_EQ(y2[20], 1872.0f);
    // The view rises one pixel a frame.
    for (int i = 0; i < 300; ++i) ASSERT_EQ(view[i], 1599.0f - static_cast<float>(i));
    // Player 2's shot knocks player 3: 60 frames of drift away from its
    // facing whatever it holds, then its steering; 120 frames knocked,
    // blinking 5 frames on and 5 off.
    ASSERT_GT(knockedAt, 72);
    ASSERT_LT(knockedAt, 100);
    for (int i = 1; i < 60; ++i) EXPECT_FLOAT_EQ(x3[i] - x3[i - 1], 0.25f) << "knocked frame " << i;
    EXPECT_FLOAT_EQ(x3[61] - x3[60], 3.0f);
    EXPECT_EQ(FallClimbBodyState(3), kFallClimbStanding);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(blink[i], i % 10 < 5 ? 1 : 0) << "knocked frame " << i;
    for (int i = 120; i < 130; ++i) EXPECT_EQ(blink[i], 0) << "no longer knocked";

    // Player 1 on the top platform jumps out of the shaft: play ends.
    Place(1, static_cast<float>((PlatformStart(2) + 3) * 32 + 16), 48.0f);
    FallClimbViewTop() = 0.0f;
    jumpToTop = true;
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    EXPECT_LT(ParticipantTable[1].y, 0.0f);
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{4, 3, 3, 3})) << "equal heights share a value";
    EXPECT_EQ(Won(out), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_TRUE(seen[5] && seen[7]) << "the FINISH banner and the winner text";
    EXPECT_EQ(FallClimbStep, 0);
  });
}

TEST(FallClimb, FourCpuPlayersEndBelowTheLiveAreaOrAfterTheViewsTimeAtTheTop) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Nobody moves: the four fall below the live area once the view has
    // risen 289 pixels, all at one height.
    int playFrames = 0, before = 0;
    h.AddFrameHook([&](GameHarness&) {
      playFrames += before == 4;
      before = FallClimbStep;
    });
    MinigameOutcome first = PlayMinigame(h, 13, MinigameSeats{}, 900);
    ASSERT_TRUE(first.ended);
    EXPECT_EQ(playFrames, 289);
    EXPECT_EQ(Awards(first), (std::vector<int32_t>{4, 4, 4, 4}));
    EXPECT_EQ(Won(first), (std::vector<uint8_t>{1, 1, 1, 1}));

    // The four on the top platform with the view 10 pixels from the top:
    // play ends 300 frames after the view has reached it.
    playFrames = 0;
    h.When([] { return FallClimbStep == 3; },
           [] {
             float left = static_cast<float>(PlatformStart(2) * 32);
             for (int p = 1; p <= 4; ++p) Place(p, left + 16.0f + 54.0f * static_cast<float>(p - 1), 48.0f);
             FallClimbViewTop() = 10.0f;
           });
    MinigameOutcome second = PlayMinigame(h, 13, MinigameSeats{}, 900);
    ASSERT_TRUE(second.ended);
    EXPECT_EQ(playFrames, 310);
    EXPECT_EQ(FallClimbTopFrames, 300);
    EXPECT_EQ(Awards(second), (std::vector<int32_t>{4, 4, 4, 4}));
  });
}

// Shoves along the floor: a body shoved against a wall stops there, and so
// does the body shoving it.
TEST(FallClimb, ShovesStopAtTheWalls) {
  struct Case {
    float mover, other, speed;
    float moverAfter, otherAfter;
  };
  const Case cases[] = {
      {82.0f, 50.0f, -3.0f, 81.0f, 48.0f},     // shoved into the left wall
      {558.0f, 590.0f, 3.0f, 559.0f, 592.0f},  // into the right wall
      {200.0f, 232.0f, 3.0f, 203.0f, 236.0f},  // in the open: 33 pixels on
  };
  for (const Case& c : cases) {
    FallClimbBuildShaft();
    for (int r = 0; r < 59; ++r)
      for (int col = 1; col < 19; ++col) FallClimbGrid[r][col] = kFallClimbAir;
    for (int p = 1; p <= 4; ++p) {
      ParticipantTable[p] = {};
      Place(p, 300.0f + 0.0f, -500.0f * static_cast<float>(p));
    }
    Place(1, c.mover, 1872.0f);
    Place(2, c.other, 1872.0f);
    ParticipantTable[1].reals[0] = c.speed;
    FallClimbMoveAll();
    EXPECT_EQ(ParticipantTable[1].x, c.moverAfter) << c.mover;
    EXPECT_EQ(ParticipantTable[2].x, c.otherAfter) << c.mover;
    EXPECT_EQ(FallClimbAirborne(2), 0) << "on the floor";
  }
}

// With every creature slot in use a spawn starts nothing: the five keep
// their kinds and the spawn delay is never restarted.
TEST(FallClimb, AFullCreaturePoolStartsNothing) {
  for (int p = 1; p <= 4; ++p) Place(p, 300.0f, 1872.0f);
  FallClimbViewTop() = 0.0f;
  for (int i = 0; i < kFallClimbCreatures; ++i)
    FallClimbCreatureTable[i] = {1, static_cast<int16_t>(i % 2 == 0 ? 1 : 5), -5000.0f, 100.0f * i, 1, 0, 0.0f};
  for (int frame = 0; frame < 400; ++frame) {
    FallClimbSpawnDelay = -1;
    FallClimbCreatures();
    ASSERT_EQ(FallClimbSpawnDelay, -2) << "frame " << frame;
  }
  for (int i = 0; i < kFallClimbCreatures; ++i) {
    EXPECT_EQ(FallClimbCreatureTable[i].active, 1);
    EXPECT_EQ(FallClimbCreatureTable[i].kind, i % 2 == 0 ? 1 : 5);
    EXPECT_EQ(FallClimbCreatureTable[i].y, 100.0f * i);
  }
}

}  // namespace
