// The river-crossing minigame: the course file (read once a run, hostile
// files refused, a missing one shown and the program ended), the opening
// jump, the jump power and the wind-ups, landings strictly inside a stone,
// the rescue, and the goal with its winners, through the runner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/river.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kRiver = 2;

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award + 1, out.award + 5}; }

std::string SeedPath(const std::string& name) { return std::string(ZR_SOURCE_DIR) + "/fuzz/river_course/seeds/" + name; }

// A picture of one transparent pixel: the tests that run many frames put it
// in place of the game's five large pictures, whose drawing under the
// sanitizers would take most of their time.
const std::vector<uint8_t> kDot = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
    0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00,
    0x01, 0x7A, 0x5E, 0xAB, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

GameOptions QuickRiver(uint32_t seed, const std::string& course = "") {
  GameOptions options;
  options.seed = seed;
  if (!course.empty()) options.files.push_back({"media/data/Mini_RJ2.csv", ReadFileBytes(SeedPath(course))});
  for (const char* name : {"川渡り_goal.png", "夕日.png", "山.png", "背面雲.png", "前面雲.png"})
    options.files.push_back({std::string("media/mini/river/") + name, kDot});
  return options;
}


// The first row of the generated course.
const RiverStone kRow0[5] = {{0, 100}, {183, 280}, {325, 408}, {506, 606}, {0, 0}};

// The wind-up by the power at its start (values as the power's steps make
// them): a stronger jump takes longer to start.
TEST(River, WindUpLastsByThePower) {
  struct Case {
    float power;
    int frames;
  };
  const Case cases[] = {
      {0.0f, 4},         {0.300000012f, 4},  {0.30000025f, 4},  {0.900000036f, 4}, {1.20000005f, 8},
      {1.20000029f, 8},  {2.39999986f, 8},   {2.4000001f, 12},  {3.59999967f, 12}, {3.5999999f, 12},
      {4.80000019f, 20}, {4.5f, 16},         {6.00000095f, 20},
  };
  for (const Case& c : cases) {
    RiverPower(1) = c.power;
    int32_t counter = -1;
    int frames = 1;
    while (RiverWindUp(1, counter) == 0 && frames < 100) ++frames;
    EXPECT_EQ(frames, c.frames) << "power " << c.power;
    EXPECT_EQ(counter, -1);
  }
}

// Coming down at or below the ground line over a stone's inside lands; on a
// stone's edge or between stones is the water; past the piece's last stone
// the fall goes on (below the water) until the next piece's first stone.
TEST(River, LandingIsStrictlyInsideAStone) {
  struct Case {
    int32_t piece;
    float rel, y;
    uint8_t motion;  // after the test
  };
  const Case cases[] = {
      {0, 50.0f, 65.0f, kRiverStanding},     {0, 99.9f, 65.0f, kRiverStanding},
      {0, 100.0f, 65.0f, kRiverInTheWater},  {0, 0.0f, 65.0f, kRiverInTheWater},
      {0, 183.0f, 70.0f, kRiverInTheWater},  {0, 183.5f, 70.0f, kRiverStanding},
      {0, 280.0f, 65.0f, kRiverInTheWater},  {0, 606.0f, 65.0f, kRiverInTheAir},
      {0, 630.0f, 80.0f, kRiverInTheAir},    {2, 400.0f, 65.0f, kRiverStanding},
      {2, 420.0f, 65.0f, kRiverInTheWater},  {0, 50.0f, 64.9f, kRiverInTheAir},
  };
  for (int i = 0; i < 5; ++i) RiverCourse.stones[3][i] = kRow0[i];
  for (const Case& c : cases) {
    RiverRows[1][1] = 3;
    RiverPiece(1) = c.piece;
    ParticipantTable[1].x = static_cast<float>(c.piece * 640) + c.rel;
    ParticipantTable[1].y = c.y;
    RiverGround(1) = 65;
    RiverMotion(1) = kRiverInTheAir;
    RiverVerticalSpeed(1) = 4.0f;
    RiverHorizontalSpeed(1) = 3.0f;
    RiverPower(1) = 3.0f;
    for (int p = 2; p <= 4; ++p) RiverMotion(p) = kRiverStanding;
    RiverLanding();
    EXPECT_EQ(RiverMotion(1), c.motion) << "piece " << c.piece << " at " << c.rel << ", y " << c.y;
    if (c.motion == kRiverInTheAir) continue;
    EXPECT_EQ(ParticipantTable[1].y, 65.0f);
    EXPECT_EQ(RiverHorizontalSpeed(1), 0.0f);
    EXPECT_EQ(RiverPower(1), 0.0f);
    EXPECT_EQ(RiverVerticalSpeed(1), c.motion == kRiverInTheWater ? 0.4f : 4.0f);
  }
}

// The rescue lets go strictly before the end of the stone behind (one let
// go on the end itself would come down on the edge and fall straight back
// in), and the participant dropped there stands.
TEST(River, RescueLetsGoOverTheStoneBehind) {
  struct Case {
    int32_t piece;
    float from, letGo;  // x within the piece
  };
  const Case cases[] = {
      {0, 140.0f, 99.0f}, {0, 300.5f, 279.5f}, {2, 450.0f, 407.0f}, {1, 100.0f, 99.0f},
  };
  for (int i = 0; i < 5; ++i) RiverCourse.stones[3][i] = kRow0[i];
  for (const Case& c : cases) {
    const float base = static_cast<float>(c.piece * 640);
    RiverRows[1][0] = RiverRows[1][1] = 3;
    RiverPiece(1) = c.piece;
    ParticipantTable[1].x = base + c.from;
    RiverRescues[1] = {1, base + c.from, 0.0f, 60, 1};
    int frames = 0;
    while (RiverRescues[1].phase == 1 && frames++ < 1000) RiverRescue();
    EXPECT_EQ(RiverRescues[1].phase, 2);
    EXPECT_EQ(ParticipantTable[1].x, base + c.letGo) << "carried from " << c.from << " in piece " << c.piece;
    EXPECT_EQ(RiverPiece(1), c.piece);
    ParticipantTable[1].y = 70.0f;
    RiverGround(1) = 65;
    RiverMotion(1) = kRiverInTheAir;
    for (int p = 2; p <= 4; ++p) RiverMotion(p) = kRiverStanding;
    RiverLanding();
    EXPECT_EQ(RiverMotion(1), kRiverStanding) << "dropped after a carry from " << c.from;
  }
}

// The course file as read: the accepted ones and the refused ones (the fuzz
// target's seeds).
TEST(River, CourseFilesAcceptedAndRefused) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Case {
      const char* file;
      int32_t rows;  // 0: refused
    };
    const Case cases[] = {
        {"generated.csv", 16},       {"crlf.csv", 16},          {"thirteen_rows.csv", 13},
        {"no_final_line_feed.csv", 14}, {"twenty_two_rows.csv", 20}, {"long_label.csv", 16},
        {"shift_jis_label.csv", 16}, {"twelve_rows.csv", 0},     {"trailing_commas.csv", 0},
        {"truncated_inside_a_row.csv", 0}, {"first_stone_short.csv", 0}, {"overlap.csv", 0},
        {"stone_after_gap.csv", 0},  {"huge_numbers.csv", 0},    {"stone_past_the_edge.csv", 0},
        {"empty.csv", 0},
    };
    RiverCourseTable generated = {};
    ASSERT_EQ(ReadRiverCourse(SeedPath("generated.csv").c_str(), &generated), kRiverCourseRead);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(generated.stones[0][i].start, kRow0[i].start);
      EXPECT_EQ(generated.stones[0][i].end, kRow0[i].end);
    }
    for (const Case& c : cases) {
      RiverCourseTable course = {};
      course.rows = 77;
      const size_t logLines = h.LogLines().size();
      RiverCourseResult result = ReadRiverCourse(SeedPath(c.file).c_str(), &course);
      if (c.rows == 0) {
        EXPECT_EQ(result, kRiverCourseRefused) << c.file;
        EXPECT_EQ(course.rows, 77) << c.file << ": the table stays as it was";
        EXPECT_GT(h.LogLines().size(), logLines) << c.file << ": a log line says why";
        continue;
      }
      ASSERT_EQ(result, kRiverCourseRead) << c.file;
      EXPECT_EQ(course.rows, c.rows) << c.file;
      for (int32_t row = 0; row < 13; ++row)
        for (int i = 0; i < 5; ++i) {
          EXPECT_EQ(course.stones[row][i].start, generated.stones[row % 16][i].start) << c.file << " row " << row;
          EXPECT_EQ(course.stones[row][i].end, generated.stones[row % 16][i].end) << c.file << " row " << row;
        }
    }
    RiverCourseTable course;
    EXPECT_EQ(ReadRiverCourse("media\\data\\no such course.csv", &course), kRiverCourseMissing);
  });
}

// Holds A of input record 1 in this frame's input.
void HoldA(FrameInput& in) {
  GameHarness::PadButton a = GameHarness::ButtonOf(1, kButtonA);
  in.pads[a.pad - 1] |= a.mask;
}

// The opening, then player 1's power frame by frame, a jump from the top of
// the power and one from its bottom.
TEST(River, OpeningPowerAndWindUps) {
  RunGame(QuickRiver(2), [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, kRiver, HumanSeats({1}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return RiverIntroStep == 2; }, 400));
    EXPECT_EQ(RiverCourseOrder[0], 0);
    for (int i = 1; i < kRiverOrderEntries; ++i) {
      EXPECT_GE(RiverCourseOrder[i], 0);
      EXPECT_LE(RiverCourseOrder[i], 12);
    }
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(std::vector<int32_t>(RiverRows[p], RiverRows[p] + 3), (std::vector<int32_t>{0, 0, 1}));
    int opening = 0;
    while (RiverStep == 3) {
      ASSERT_TRUE(h.Frame());
      ++opening;
    }
    EXPECT_EQ(opening, 33) << "32 frames in the air, and the frame that ends the opening";
    for (int p = 1; p <= 4; ++p) {
      EXPECT_EQ(RiverMotion(p), kRiverStanding) << p;
      EXPECT_EQ(ParticipantTable[p].x, RiverOpeningLandingX(kRiverLaneGround[p])) << p;
      EXPECT_EQ(ParticipantTable[p].y, kRiverLaneGround[p]) << p;
    }
    ASSERT_TRUE(h.RunUntil([] { return RiverPlayStep == 2; }, 300));

    // The power: a step of 0.3 every second frame, from 0.3 up to 6.0, down
    // to 0.3 and up again.
    std::vector<float> powers;
    for (int i = 0; i < 84; ++i) {
      ASSERT_TRUE(h.Frame());
      powers.push_back(RiverPower(1));
    }
    float expected = 0.0f;
    bool falling = false;
    for (int i = 0; i < 84; ++i) {
      if (i % 2 == 0) expected += falling ? -0.3f : 0.3f;
      if (!falling && expected >= 6.0f) falling = true;
      if (falling && expected <= 0.5f) falling = false;
      EXPECT_EQ(powers[i], expected) << "frame " << i << ": " << powers[i] - expected;
    }
    EXPECT_EQ(powers[38], 6.00000095f) << "the top";
    EXPECT_EQ(powers[76], 0.30000025f) << "the bottom";

    // A press at the top: 20 frames of wind-up, then a jump at 6.0.
    bool pressed = false;
    h.AddInputRule([&](FrameInput& in) {
      if (!pressed && RiverMotion(1) == kRiverStanding && RiverPowerPhase(1) == 1 && RiverPower(1) >= 6.0f &&
          RiverPowerFrame(1) % 2 == 1) {
        pressed = true;
        HoldA(in);
      }
    });
    ASSERT_TRUE(h.RunUntil([] { return RiverMotion(1) == kRiverWindingUp; }, 200));
    const float ground = ParticipantTable[1].y;
    int windUp = 0;
    while (RiverMotion(1) == kRiverWindingUp) {
      EXPECT_EQ(ParticipantTable[1].y, ground) << "the wind-up stays on the stone";
      ASSERT_TRUE(h.Frame());
      ++windUp;
    }
    EXPECT_EQ(windUp, 20);
    EXPECT_EQ(RiverMotion(1), kRiverInTheAir);
    EXPECT_EQ(RiverHorizontalSpeed(1), 6.00000095f);
    EXPECT_EQ(RiverVerticalSpeed(1), -3.3f);
    ASSERT_TRUE(h.RunUntil([] { return RiverMotion(1) != kRiverInTheAir; }, 100));
    ASSERT_EQ(RiverMotion(1), kRiverStanding) << "seed 2: the long jump lands on the second stone";
    EXPECT_GT(ParticipantTable[1].x, 183.0f);
    EXPECT_LT(ParticipantTable[1].x, 280.0f);

    // A press at the bottom: 4 frames of wind-up, then a hop at 0.3.
    pressed = false;
    float bottom = 0.0f;
    h.AddInputRule([&](FrameInput& in) {
      if (!pressed && RiverMotion(1) == kRiverStanding && RiverPower(1) < 0.4f && RiverPower(1) > 0.0f &&
          RiverPowerFrame(1) % 2 == 1) {
        pressed = true;
        bottom = RiverPower(1);
        HoldA(in);
      }
    });
    ASSERT_TRUE(h.RunUntil([] { return RiverMotion(1) == kRiverWindingUp; }, 200));
    windUp = 0;
    while (RiverMotion(1) == kRiverWindingUp) {
      ASSERT_TRUE(h.Frame());
      ++windUp;
    }
    EXPECT_EQ(windUp, 4);
    EXPECT_NEAR(bottom, 0.3f, 1e-6f);
    EXPECT_EQ(RiverHorizontalSpeed(1), bottom);
  });
}

// Player 1 comes down between the first two stones: the rescuer comes down
// (40 frames), lifts (20), carries back a pixel a frame to the first stone's
// end, lets go (20 frames) and flies off; the participant stands again.
TEST(River, RescueCarriesBackToTheStoneBehind) {
  RunGame(QuickRiver(4), [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, kRiver, HumanSeats({1}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return RiverPlayStep == 2; }, 600));
    ParticipantTable[1].x = 140.0f;
    RiverMotion(1) = kRiverInTheAir;
    RiverVerticalSpeed(1) = 1.0f;
    RiverPower(1) = 0.0f;
    ASSERT_TRUE(h.Frame());
    ASSERT_EQ(RiverMotion(1), kRiverInTheWater);
    EXPECT_EQ(RiverVerticalSpeed(1), 0.120000005f) << "1.2 times 0.1";
    const float water = ParticipantTable[1].y;
    EXPECT_EQ(water, 65.0f);
    const RiverRescueRecord& rescue = RiverRescues[1];
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(rescue.active, 1);
    EXPECT_EQ(rescue.counter, 1);
    EXPECT_EQ(rescue.x, 140.0f);
    const float top = rescue.y;
    EXPECT_NEAR(top, ParticipantTable[1].y - RiverMovedVerticalSpeed(1) - 100.0f, 0.001f);
    ASSERT_TRUE(h.Frames(39));
    EXPECT_EQ(rescue.counter, 40);
    EXPECT_EQ(rescue.y, top + 78.0f);
    ASSERT_TRUE(h.Frames(20));
    EXPECT_EQ(rescue.counter, 60);
    EXPECT_EQ(rescue.y, top + 58.0f);
    int carried = 0;
    while (rescue.phase == 1) {
      ASSERT_TRUE(h.Frame());
      ++carried;
      EXPECT_EQ(ParticipantTable[1].x, rescue.x);
      ASSERT_LT(carried, 100);
    }
    EXPECT_EQ(carried, 41) << "from 140 to 99, strictly before the stone's end at 100";
    EXPECT_EQ(rescue.x, 99.0f);
    EXPECT_NEAR(ParticipantTable[1].y - RiverMovedVerticalSpeed(1), top + 158.0f, 0.001f)
        << "let go 100 pixels below the rescuer";
    EXPECT_EQ(RiverMotion(1), kRiverInTheWater);
    ASSERT_TRUE(h.Frames(20));
    EXPECT_EQ(rescue.counter, 20);
    EXPECT_EQ(RiverMotion(1), kRiverInTheWater);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(RiverMotion(1), kRiverStanding) << "dropped onto the first stone";
    EXPECT_EQ(ParticipantTable[1].x, 99.0f);
    EXPECT_EQ(ParticipantTable[1].y, 65.0f);
    ASSERT_TRUE(h.RunUntil([] { return RiverRescues[1].active == 0; }, 400));
    EXPECT_LT(rescue.y, -40.0f);
  });
}

// The first past 5120 ends the game; everyone beyond 5110 then wins. The
// course is read once a run: a second game plays on after the file has
// been spoiled.
TEST(River, GoalEndsAndEveryoneBeyond5110Wins) {
  RunGame(QuickRiver(6, "generated.csv"), [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Case {
      float x[4];
      std::vector<int32_t> awards;
    };
    const std::vector<Case> cases = {
        {{5121.0f, 5111.0f, 5110.0f, 300.0f}, {10, 10, 0, 0}},
        {{5110.5f, 400.0f, 5120.5f, 5120.0f}, {10, 0, 10, 10}},
    };
    const Case* current = nullptr;
    h.AddFrameHook([&](GameHarness&) {
      if (current == nullptr || RiverPlayStep != 2) return;
      for (int p = 1; p <= 4; ++p) {
        ParticipantTable[p].x = current->x[p - 1];
        RiverMotion(p) = kRiverStanding;
        RiverHorizontalSpeed(p) = 0.0f;
      }
      current = nullptr;
    });
    for (const Case& c : cases) {
      current = &c;
      MinigameOutcome out = PlayMinigame(h, kRiver, HumanSeats({1, 2, 3, 4}));
      ASSERT_TRUE(out.ended);
      EXPECT_EQ(Awards(out), c.awards);
      EXPECT_EQ(RiverCourseLoaded, 1);
      WriteFileText(h.workDir() + "/media/data/Mini_RJ2.csv", "spoiled\n");
    }
  });
}

// A refused course ends the minigame at once (nobody wins), and the next
// start reads the file again; a missing one is shown, any input is waited
// for and the program ends with -1.
TEST(River, RefusedCourseEndsTheMinigameAndMissingEndsTheProgram) {
  RunGame(QuickRiver(8, "first_stone_short.csv"), [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kRiver, HumanSeats({1}));
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(RiverStep, 1) << "the next start loads again";
    EXPECT_EQ(RiverCourseLoaded, 0);
    bool logged = false;
    for (const std::string& line : h.LogLines())
      logged |= line.find("Mini_RJ2.csv") != std::string::npos;
    EXPECT_TRUE(logged);
    WriteFileBytes(h.workDir() + "/media/data/Mini_RJ2.csv", ReadFileBytes(SeedPath("generated.csv")));
    h.AddFrameHook([](GameHarness&) {
      if (RiverPlayStep == 2) ParticipantTable[3].x = 5200.0f;
    });
    out = PlayMinigame(h, kRiver, HumanSeats({1}));
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(RiverCourseLoaded, 1);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 10, 0}));
  });
  RunGame({.hiddenMedia = {"data/Mini_RJ2.csv"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, kRiver, HumanSeats({1}));
    PressStartOnExplanation(h);
    h.RunUntil([&h] { return h.exited(); }, 400);
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), -1);
    EXPECT_EQ(h.waitAnyInputCalls(), 1);
  });
}

// A picture that does not load ends the minigame at once, nobody having
// won, with what was loaded freed and the file named in the log; the course
// stays read.
TEST(River, MissingPictureEndsTheMinigame) {
  RunGame({.hiddenMedia = {"mini/river/前面雲.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kRiver, HumanSeats({1}));
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(RiverStep, 1);
    EXPECT_EQ(RiverGoalPicture, -1) << "freed";
    EXPECT_EQ(RiverBackCloudPicture, -1) << "freed";
    EXPECT_EQ(RiverCourseLoaded, 1);
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("前面雲.png") != std::string::npos;
    EXPECT_TRUE(logged);
  });
}

// Four CPU players, one of each level: the first across ends the game
// within its bound.
TEST(River, FourCpuPlayersFinish) {
  RunGame(QuickRiver(12), [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.SetStallLimit("RiverMain", 12000);
    MinigameOutcome out = PlayMinigame(h, kRiver, {.cpuLevel = {1, 2, 3, 4}}, 12000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    int winners = 0;
    for (int p = 1; p <= 4; ++p) {
      winners += out.won[p];
      EXPECT_EQ(out.award[p], out.won[p] != 0 ? 10 : 0);
      if (out.won[p] != 0) {
        EXPECT_GT(ParticipantTable[p].x, 5110.0f);
      }
    }
    EXPECT_GE(winners, 1);
  });
}

}  // namespace
