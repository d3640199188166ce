// The labyrinth played through the runner: a scripted walk to the goal in
// its exact frame count, the stop at the centre of the last corridor cell,
// participants parked outside the maze, the time-out's draw with four CPU
// players, a random walk that never enters a wall; and the walker's rules
// (the step onto a centre, a held diagonal turning into the open branch,
// the slide round a corner post) frame by frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/minigames/break_labyrinth.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

void Hold(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}

int CellOf(float v) { return static_cast<int>(std::floor(v / kLabyrinthCell)); }

// The distance from the body's centre to the nearest wall cell around it.
float WallClearance(float x, float y) {
  float nearest = 1.0e9f;
  for (int r = CellOf(y) - 1; r <= CellOf(y) + 1; ++r)
    for (int c = CellOf(x) - 1; c <= CellOf(x) + 1; ++c) {
      if (r >= 0 && r < kLabyrinthRows && c >= 0 && c < kLabyrinthColumns && BreakLabyrinthGrid[r][c] == 0) continue;
      float left = c * 32.0f, top = r * 32.0f;
      float dx = std::fmax(std::fmax(left - x, x - (left + 32.0f)), 0.0f);
      float dy = std::fmax(std::fmax(top - y, y - (top + 32.0f)), 0.0f);
      nearest = std::fmin(nearest, std::sqrt(dx * dx + dy * dy));
    }
  return nearest;
}

TEST(BreakLabyrinth, ScriptedWalkToTheGoalWinsInItsFrameCount) {
  RunGame({.seed = 14}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("RunMinigame", 3000);
    int frame = 0;
    h.AddInputRule([&](FrameInput& in) {
      if (BreakLabyrinthStep != 4) return;
      int f = frame + 1;
      Hold(in, 1, f <= 270 ? kButtonRight : kButtonDown);
      Hold(in, 2, kButtonRight);  // parked outside: walks nowhere
    });
    bool seen[12] = {};
    h.AddFrameHook([&](GameHarness&) {
      if (BreakLabyrinthStep >= 0 && BreakLabyrinthStep < 12) seen[BreakLabyrinthStep] = true;
    });
    EnterMinigame(h, 14, HumanSeats({1, 2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return BreakLabyrinthStep == 4; }, 400));
    EXPECT_EQ(ParticipantTable[1].x, 48.0f);
    EXPECT_EQ(ParticipantTable[1].y, 48.0f);
    EXPECT_EQ(BreakLabyrinthCountdown, kLabyrinthPlayFrames);
    std::vector<float> xs;
    while (BreakLabyrinthStep == 4) {
      ASSERT_TRUE(h.Frame());
      ++frame;
      xs.push_back(ParticipantTable[1].x);
      EXPECT_EQ(ParticipantTable[2].x, -100.0f);
      EXPECT_EQ(ParticipantTable[2].y, -100.0f);
    }
    // Right along row 1 at 2 pixels a frame: the centre of column 17 after
    // 256 frames, and there it stands while right is held; then down column
    // 17 into row 13, the goal, in 184 frames.
    EXPECT_EQ(xs[254], 558.0f);
    for (int i = 255; i < 270; ++i) EXPECT_EQ(xs[i], 560.0f) << "frame " << i + 1;
    EXPECT_EQ(frame, 270 + 184);
    EXPECT_EQ(BreakLabyrinthWinner, 1);
    EXPECT_EQ(ParticipantTable[1].y, 416.0f);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 400));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_TRUE(seen[5] && seen[7]) << "the FINISH banner and the winner text";
    EXPECT_EQ(BreakLabyrinthStep, 0);
  });
}

TEST(BreakLabyrinth, TimeOutIsADrawAndARandomWalkNeverEntersAWall) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Four CPU players: nobody moves, and the time-out is a draw.
    int playFrames = 0, before = 0;
    h.AddFrameHook([&](GameHarness&) {
      playFrames += before == 4;
      before = BreakLabyrinthStep;
    });
    h.When([] { return BreakLabyrinthStep == 4; }, [] { BreakLabyrinthCountdown = 120; });
    MinigameOutcome cpus = PlayMinigame(h, 14, MinigameSeats{}, 1000);
    ASSERT_TRUE(cpus.ended);
    EXPECT_EQ(playFrames, 120);
    EXPECT_EQ(ParticipantTable[1].x, 48.0f);
    EXPECT_EQ(ParticipantTable[1].y, 48.0f);
    EXPECT_EQ(std::vector<int32_t>(cpus.award + 1, cpus.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(cpus.won + 1, cpus.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));

    // A human pressing a new direction (diagonals included) every 12 frames
    // for the whole 2700 frames.
    uint32_t lcg = 12345;
    int held = 5;
    const int kButtonsOf[10][2] = {{-1, -1},         {kButtonDown, kButtonLeft}, {kButtonDown, -1},
                                   {kButtonDown, kButtonRight}, {kButtonLeft, -1}, {-1, -1},
                                   {kButtonRight, -1}, {kButtonUp, kButtonLeft}, {kButtonUp, -1},
                                   {kButtonUp, kButtonRight}};
    int frame = 0;
    h.AddInputRule([&](FrameInput& in) {
      if (BreakLabyrinthStep != 4) return;
      if (frame % 12 == 0) {
        lcg = lcg * 1103515245u + 12345u;
        held = 1 + static_cast<int>((lcg >> 16) % 9);
      }
      for (int b : kButtonsOf[held])
        if (b >= 0) Hold(in, 1, b);
    });
    float nearest = 100.0f;
    int cellsVisited = 0, lastCell = -1;
    h.AddFrameHook([&](GameHarness&) {
      if (BreakLabyrinthStep != 4) return;
      ++frame;
      const ParticipantRecord& r = ParticipantTable[1];
      ASSERT_EQ(BreakLabyrinthGrid[CellOf(r.y)][CellOf(r.x)], 0) << "frame " << frame;
      nearest = std::fmin(nearest, WallClearance(r.x, r.y));
      int cell = CellOf(r.y) * kLabyrinthColumns + CellOf(r.x);
      cellsVisited += cell != lastCell;
      lastCell = cell;
    });
    MinigameOutcome walk = PlayMinigame(h, 14, HumanSeats({1}), 3200);
    ASSERT_TRUE(walk.ended);
    EXPECT_GT(cellsVisited, 20);
    // The body (radius 15) keeps clear of the walls; sliding round a post it
    // may graze a pillar's corner by less than a pixel.
    EXPECT_GT(nearest, 14.0f);
    if (BreakLabyrinthWinner == 0) {
      EXPECT_EQ(BreakLabyrinthCountdown, 0);
      EXPECT_EQ(walk.award[1], 0);
    }
  });
}

// The walker, one frame at a time: participant 1 with the pad direction d.
struct WalkFrame {
  float x, y, vx, vy;
};
std::vector<WalkFrame> Walk(float x, float y, int d, int frames, int lastDirection) {
  BreakLabyrinthBuildMaze();
  ParticipantTable[1] = {};
  ParticipantTable[1].x = x;
  ParticipantTable[1].y = y;
  LabyrinthLastDirection(1) = lastDirection;
  std::vector<WalkFrame> out;
  for (int i = 0; i < frames; ++i) {
    ParticipantRecord& r = ParticipantTable[1];
    r.reals[0] = r.reals[1] = 0.0f;
    BreakLabyrinthWalk(1, d);
    BreakLabyrinthCollide();
    out.push_back({r.x, r.y, r.reals[0], r.reals[1]});
  }
  return out;
}

TEST(BreakLabyrinth, WalkerRules) {
  // Towards a wall: a body less than 2 pixels short of the centre steps
  // exactly onto it, one within a pixel stands, one beyond it comes back.
  struct Stop {
    float x;
    std::vector<float> after;
  };
  const Stop stops[] = {
      {556.0f, {558.0f, 560.0f, 560.0f}},
      {558.5f, {560.0f, 560.0f, 560.0f}},
      {559.5f, {559.5f, 559.5f, 559.5f}},
      {565.0f, {563.0f, 561.0f, 560.0f}},
  };
  for (const Stop& s : stops) {
    std::vector<WalkFrame> w = Walk(s.x, 48.0f, 6, 3, 6);
    for (size_t i = 0; i < s.after.size(); ++i) EXPECT_EQ(w[i].x, s.after[i]) << s.x << " frame " << i;
  }

  // Down-right held along row 1: right past the pillar under column 2, then
  // down into column 3 without stopping, sliding round the post.
  std::vector<WalkFrame> diagonal = Walk(48.0f, 48.0f, 3, 60, 5);
  int turnedAt = -1;
  for (size_t i = 0; i < diagonal.size(); ++i) {
    const WalkFrame& f = diagonal[i];
    EXPECT_GT(std::hypot(f.vx, f.vy), 1.0f) << "frame " << i << " moves";
    if (turnedAt < 0 && f.vy > 0.0f) turnedAt = static_cast<int>(i);
  }
  ASSERT_GT(turnedAt, 0);
  EXPECT_EQ(CellOf(diagonal[turnedAt].x), 3) << "the branch down is column 3";
  EXPECT_EQ(diagonal[turnedAt - 1].y, 48.0f);
  // Column 3's centre line, then in row 3 the branch right opens: the turn
  // again (a held diagonal climbs down a staircase).
  EXPECT_NEAR(diagonal[turnedAt + 20].x, 112.0f, 1.0f);
  EXPECT_EQ(CellOf(diagonal.back().y), 3);
  EXPECT_GT(diagonal.back().vx, 0.0f);

  // Down from the left side of cell (1, 1): the post at (30, 66) turns the
  // body round it towards the centre line; it never stops.
  std::vector<WalkFrame> slide = Walk(40.0f, 48.0f, 2, 30, 2);
  bool slid = false;
  for (size_t i = 0; i < slide.size(); ++i) {
    EXPECT_GT(slide[i].vy, 0.0f) << "frame " << i;
    slid = slid || slide[i].vx > 0.0f;
    EXPECT_GE(std::hypot(slide[i].x - 30.0f, slide[i].y - 66.0f), 17.0f) << "frame " << i;
  }
  EXPECT_TRUE(slid);
  EXPECT_GT(slide.back().y, 96.0f) << "through row 2";
}

}  // namespace
