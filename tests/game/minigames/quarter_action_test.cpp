// Quarter action played through the runner: the board's geometry, steps
// refused at the edge that still turn the walker, a step read only once the
// last one is done, walking at 3 pixels a frame with the snap onto the
// tile, the owners of a scripted path and the award, four CPU walkers, and
// failed loads (a missing or too small block).
#include "game/minigames/quarter_action.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "game/minigames/quarter_jump.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/game/minigames/shooter_test_support.h"

namespace {

// A 2 x 2 picture: too small a block for the board.
const std::vector<uint8_t> kTinyPng = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x72, 0xb6, 0x0d, 0x24, 0x00, 0x00, 0x00, 0x11, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0x68, 0x68, 0x68, 0xf8, 0x0f, 0xc2, 0x0c, 0x30, 0x06, 0x00, 0x56, 0xf4, 0x09,
    0xfd, 0x4b, 0x4b, 0xe9, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

struct Held {
  int button[5] = {-1, -1, -1, -1, -1};
};

int32_t TileOf(int32_t p) {
  return QuarterTileAt(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y));
}

TEST(QuarterAction, TilePositionsAndTheTileUnderAPoint) {
  QuarterGroundWidth = QuarterGroundHeight = 64;
  QuarterActionOrigin[0] = 320.0f;
  QuarterActionOrigin[1] = 64.0f;
  struct Case {
    int32_t tile;
    float x, y;
  };
  // A row down moves 32 pixels left and 16 down; a column right 32 right and 16 down.
  const Case cases[] = {{0, 320, 64}, {1, 352, 80}, {10, 288, 80}, {11, 320, 96}, {9, 608, 208}, {90, 32, 208},
                        {99, 320, 352}};
  for (const Case& c : cases) {
    float x, y;
    QuarterTilePosition(c.tile, &x, &y);
    EXPECT_EQ(x, c.x) << c.tile;
    EXPECT_EQ(y, c.y) << c.tile;
  }
  for (int32_t t = 0; t < 100; ++t) {
    float x, y;
    QuarterTilePosition(t, &x, &y);
    EXPECT_EQ(QuarterTileAt(static_cast<int32_t>(x), static_cast<int32_t>(y)), t);
  }
  // Far below the board the search stops past the far edge.
  EXPECT_EQ(QuarterTileAt(320, 1 << 30), 10 * 10 + 10);
}

TEST(QuarterAction, StepsWalkingOwnersAndTheAward) {
  RunGame({.seed = 12}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    Held held;
    h.AddInputRule([&held](FrameInput& in) {
      for (int p = 1; p <= 4; ++p)
        if (held.button[p] >= 0) HoldInFrame(in, p, held.button[p]);
    });
    // Owners and walks a previous game left are cleared at the set-up.
    for (QuarterActionTile& t : QuarterActionTiles) t = {3, 0};
    for (QuarterActionWalker& w : QuarterActionWalkers) w.target = 55;
    EnterMinigame(h, 12, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return QuarterActionPlayStep == 2; }, 600));
    EXPECT_EQ(QuarterActionTimer, 2700);
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(TileOf(p), 0);
      EXPECT_EQ(QuarterActionWalkers[p].facing, 2);
      EXPECT_EQ(QuarterActionTileCount(p), 0);
    }

    // Up and left lead off the board: refused, but the walker turns.
    for (int button : {kButtonUp, kButtonLeft}) {
      held.button[1] = button;
      ASSERT_TRUE(h.Frames(3));
      EXPECT_EQ(QuarterActionWalkers[1].facing, button == kButtonUp ? 8 : 4);
      EXPECT_EQ(ParticipantTable[1].x, 320.0f);
      EXPECT_EQ(ParticipantTable[1].y, 64.0f);
    }

    // Down: tile 10 at (288, 80), 3 pixels a frame, then the snap; right is
    // held from the second frame on and read only after the arrival.
    held.button[1] = kButtonDown;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterActionWalkers[1].target, 10);
    held.button[1] = kButtonRight;
    int frames = 1;
    float x = ParticipantTable[1].x, y = ParticipantTable[1].y;
    EXPECT_NEAR(std::hypot(x - 320.0f, y - 64.0f), 3.0f, 1e-4);
    while (QuarterActionWalkers[1].target == 10 && frames < 40) {
      ASSERT_TRUE(h.Frame());
      ++frames;
      float moved = std::hypot(ParticipantTable[1].x - x, ParticipantTable[1].y - y);
      if (QuarterActionWalkers[1].target == 10) {
        EXPECT_NEAR(moved, 3.0f, 1e-4);
      }
      x = ParticipantTable[1].x;
      y = ParticipantTable[1].y;
    }
    EXPECT_EQ(frames, 11);  // 35.8 pixels: 11 steps, the last ends within 4 of the tile
    EXPECT_EQ(ParticipantTable[1].x, 288.0f);
    EXPECT_EQ(ParticipantTable[1].y, 80.0f);
    EXPECT_EQ(QuarterActionTiles[10].owner, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuarterActionWalkers[1].target, 11);

    // The rest of the path: 11, 21, 22, 12; player 2 then takes tile 10 by
    // walking 0 -> 10 while player 1 stands elsewhere.
    auto walk = [&h, &held](int p, int button) {
      held.button[p] = button;
      ASSERT_TRUE(h.RunUntil([p] { return QuarterActionWalkers[p].target != -1 && TileOf(p) != -1; }, 5));
      held.button[p] = -1;
      ASSERT_TRUE(h.RunUntil([p] { return QuarterActionWalkers[p].target == -1; }, 40));
    };
    held.button[1] = -1;
    ASSERT_TRUE(h.RunUntil([] { return QuarterActionWalkers[1].target == -1; }, 40));
    walk(1, kButtonDown);
    walk(1, kButtonRight);
    walk(1, kButtonUp);
    walk(2, kButtonDown);
    EXPECT_EQ(TileOf(1), 12);
    std::vector<int32_t> owned;
    for (int32_t t = 0; t < 100; ++t)
      if (QuarterActionTiles[t].owner == 1) owned.push_back(t);
    EXPECT_EQ(owned, (std::vector<int32_t>{11, 12, 21, 22}));
    EXPECT_EQ(QuarterActionTiles[10].owner, 2);
    EXPECT_EQ(QuarterActionTileCount(2), 1);
    EXPECT_EQ(QuarterActionTiles[0].owner, 0);  // standing still owns nothing

    // Time is up: player 1 owns the most tiles.
    QuarterActionTimer = 1;
    int32_t bannerSeen = 0;
    h.AddFrameHook([&bannerSeen](GameHarness&) {
      if (QuarterActionStep == 7) bannerSeen = 1;
    });
    h.PressWhile([] { return QuarterActionStep == 7; }, 1, kButtonA);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 1200));
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(bannerSeen, 1);
    EXPECT_EQ(out.award[1], 10);
    EXPECT_EQ(out.won[1], 1);
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0) << p;
  });
}

TEST(QuarterAction, FourCpuWalkersSpreadOverTheBoard) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.AddFrameHook([](GameHarness&) {
      if (QuarterActionPlayStep == 2 && QuarterActionTimer > 300) QuarterActionTimer = 300;
    });
    MinigameOutcome out = PlayMinigame(h, 12, {}, 1000);
    ASSERT_TRUE(out.ended);
    int32_t best = 0, total = 0;
    for (int p = 1; p <= 4; ++p) {
      EXPECT_GT(QuarterActionTileCount(p), 1) << p;
      best = std::max(best, QuarterActionTileCount(p));
      total += QuarterActionTileCount(p);
    }
    EXPECT_LE(total, 100);
    for (int p = 1; p <= 4; ++p) {
      bool wins = QuarterActionTileCount(p) == best;
      EXPECT_EQ(out.award[p], wins ? 10 : 0) << p;
      EXPECT_EQ(out.won[p], wins ? 1 : 0) << p;
    }
  });
}

// A missing block, or one too small to build the board on, ends both
// quarter games at once, nobody having won, with the file in the log and
// nothing left loaded.
TEST(QuarterAction, MissingOrTinyBlockFailsTheLoad) {
  std::vector<GameOptions> runs(2);
  runs[0].hiddenMedia = {"mini/quarterjump/ground2.png"};
  runs[1].files = {{"media/mini/quarterjump/ground2.png", kTinyPng}};
  for (const GameOptions& options : runs) {
    RunGame(options, [](GameHarness& h) {
      ASSERT_EQ(h.StartUpWithoutMedia(), 0);
      for (int32_t n : {12, 19}) {
        size_t lines = h.LogLines().size();
        MinigameOutcome out = PlayMinigame(h, n, {}, 300);
        ASSERT_TRUE(out.ended);
        EXPECT_EQ(n == 12 ? QuarterActionStep : QuarterJumpEntryStep, 1);
        for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p] | out.won[p], 0);
        bool named = false;
        std::vector<std::string> log = h.LogLines();
        for (size_t i = lines; i < log.size(); ++i)
          named = named || log[i].find("media\\mini\\quarterjump\\ground2.png") != std::string::npos;
        EXPECT_TRUE(named) << n;
        EXPECT_EQ(QuarterGroundPicture, -1);
        for (const auto& cells : QuarterCharacterCells) EXPECT_EQ(cells[0] & cells[1], -1);
      }
    });
  }
}

}  // namespace
