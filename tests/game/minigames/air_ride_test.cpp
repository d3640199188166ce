// The air ride minigame: the course file reader and its refusals, the cell
// and wall rules, the CPU's choice from its rays, and plays through the
// runner: speeds and their limits, grass, riders driving into each other,
// start cells side by side, the zoom, four CPU riders racing to the end,
// and a missing or misshapen course.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/minigames/air_ride.h"
#include "game/minigames/air_ride_course.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr char kCourseFile[] = "media/mini/airride/airridetest.mdt";

void Shot(GameHarness& h, const char* name) {
  if (const char* dir = std::getenv("ZR_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name);
}

// A course of track inside a wall border, with the given cells set.
struct Cell {
  int column, row, value;
};
std::vector<int32_t> Course(const std::vector<Cell>& cells) {
  std::vector<int32_t> g(kAirRideCellCount, kAirRideTrack);
  for (int r = 0; r < kAirRideRows; ++r)
    for (int c = 0; c < kAirRideColumns; ++c)
      if (r == 0 || c == 0 || r == kAirRideRows - 1 || c == kAirRideColumns - 1) g[r * 64 + c] = kAirRideWall;
  for (const Cell& cell : cells) g[cell.row * 64 + cell.column] = cell.value;
  return g;
}

std::vector<uint8_t> CourseText(const std::vector<int32_t>& g, const std::string& head = "64,48,\n") {
  std::string text = head;
  for (size_t i = 0; i < g.size(); ++i) text += std::to_string(g[i]) + (i % 64 == 63 ? ",\n" : ",");
  return {text.begin(), text.end()};
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

void Hold(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}

bool Overlapping(int p, int q) {
  return std::fabs(ParticipantTable[p].x - ParticipantTable[q].x) < 30.0f &&
         std::fabs(ParticipantTable[p].y - ParticipantTable[q].y) < 30.0f;
}

TEST(AirRideCourse, ReadsTheGridAndRefusesOtherSizes) {
  struct Case {
    std::string text;
    int32_t result;
    std::vector<int32_t> first;  // the first cells read
  };
  const std::string twentyOne = std::string(20, '0') + "2";  // cut to its first 20 characters: 0
  const std::vector<Case> cases = {
      {"64,48,1,2,3,", 1, {1, 2, 3, 0}},                   // the rest stays open
      {"64,48,\n 4,\r\n24,7", 1, {4, 24, 7, 0}},           // blanks before a value; the last ends with the file
      {"64,48,," + twentyOne + ",3x,-2,", 1, {0, 0, 3, -2}},
      {"64,48,99999999999999999999,", 1, {2147483647}},
      {"63,48,1,", -1, {}},
      {"64,47,1,", -1, {}},
      {"128,96,", -1, {}},
      {"", -1, {}},
      {"64", -1, {}},
      {"abc,def,", -1, {}},
  };
  for (const Case& c : cases) {
    AirRideCourse course;
    std::vector<uint8_t> bytes = Bytes(c.text);
    EXPECT_EQ(ReadAirRideCourseBytes(bytes.data(), bytes.size(), &course), c.result) << c.text;
    if (c.result < 0) {
      EXPECT_TRUE(course.cells.empty());
      continue;
    }
    ASSERT_EQ(course.cells.size(), static_cast<size_t>(kAirRideCellCount));
    for (size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(course.cells[i], c.first[i]) << c.text << " cell " << i;
  }
  // A whole course reads back cell for cell; values past the grid are not read.
  std::vector<int32_t> g = Course({{5, 5, 24}, {6, 7, kAirRideGrass}});
  std::vector<uint8_t> text = CourseText(g);
  std::string extra = "9,9,9,";
  text.insert(text.end(), extra.begin(), extra.end());
  AirRideCourse course;
  ASSERT_EQ(ReadAirRideCourseBytes(text.data(), text.size(), &course), 1);
  EXPECT_EQ(course.cells, g);
}

TEST(AirRideRules, CellsWallsAndTheCpuChoice) {
  AirRideGrid.assign(kAirRideCellCount, 0);
  AirRideGrid[5 * 64 + 5] = kAirRideWall;  // x 50..59, y 50..59
  AirRideGrid[0] = 7;
  struct CellCase {
    float x, y;
    int32_t cell;
  };
  for (CellCase c : {CellCase{55, 55, 1}, CellCase{-5, 5, 7}, CellCase{5, -9.5f, 7}, CellCase{-10, 5, 0},
                     CellCase{640, 5, 0}, CellCase{5, 480, 0}, CellCase{NAN, 5, 0}})
    EXPECT_EQ(GetAirRideCell(c.x, c.y), c.cell) << c.x << "," << c.y;

  struct ClipCase {
    float x, y, vx, vy;
    int32_t result;
    float clippedVx, clippedVy;
  };
  const ClipCase clips[] = {
      {45, 55, 6, 0, 1, 4, 0},    // stops one pixel before the cell
      {65, 55, -7, 0, 2, -4, 0},  // and one pixel inside the next one back
      {55, 45, 0, 6, 3, 0, 4},
      {55, 65, 0, -7, 4, 0, -4},
      {45, 55, 3, 0, 0, 3, 0},    // short of the wall: unchanged
  };
  for (const ClipCase& c : clips) {
    float vx = c.vx, vy = c.vy;
    EXPECT_EQ(ClipAirRideMoveAtWall(c.x, c.y, &vx, &vy), c.result);
    EXPECT_EQ(vx, c.clippedVx);
    EXPECT_EQ(vy, c.clippedVy);
  }

  struct RayCase {
    std::vector<std::pair<int, int32_t>> rays;  // ray index, length
    int32_t input;
  };
  const RayCase rays[] = {
      {{}, 9},                     // no ray longer than 3
      {{{9, 50}}, 9},              // straight ahead counts on the right, where only rays 10..18 are chosen
      {{{2, 40}}, 4},              // far left: turn and coast
      {{{6, 40}}, 7},              // left and accelerate
      {{{12, 40}}, 9},             // right and accelerate
      {{{16, 40}}, 6},             // far right: turn and coast
      {{{10, 3}}, 9},              // 3 does not count
      {{{5, 40}, {7, 40}}, 7},     // a tie keeps the first
      {{{0, 60}, {9, 50}}, 4},     // more room on the left
      {{{9, 60}, {10, 20}, {1, 30}}, 9},
  };
  for (const RayCase& c : rays) {
    int32_t lengths[19] = {};
    for (auto [i, length] : c.rays) lengths[i] = length;
    EXPECT_EQ(ChooseAirRideInput(lengths), c.input);
  }
  AirRideGrid.clear();
}

// Frame-by-frame record of a play.
struct Trace {
  std::vector<float> speed[5];
  std::vector<bool> onGrass[5];
  bool overlapped = false;
  float minZoom = 10, maxZoom = 0;
  int playFrames = 0;
  int lastStep = 0;
};

// After each frame: the frames that began at play step 2 moved the riders.
void Record(Trace& t) {
  bool played = t.lastStep == 2;
  t.lastStep = AirRidePlayStep;
  if (!played) return;
  ++t.playFrames;
  for (int p = 1; p <= 4; ++p) {
    t.speed[p].push_back(AirRideSpeed(p));
    t.onGrass[p].push_back(GetAirRideCell(ParticipantTable[p].x, ParticipantTable[p].y) == kAirRideGrass);
    for (int q = p + 1; q <= 4; ++q) t.overlapped = t.overlapped || Overlapping(p, q);
  }
  t.minZoom = std::min(t.minZoom, AirRideZoom);
  t.maxZoom = std::max(t.maxZoom, AirRideZoom);
}

TEST(AirRide, SpeedsGrassAndRidersDrivingIntoEachOther) {
  // Riders in reading order of the start cells: 1 at (105, 55) facing left,
  // 2 at (105, 305) facing right towards 3 at (305, 305) facing left, 4 at
  // (55, 405) facing right towards a grass strip; a fifth start cell.
  std::vector<int32_t> g = Course({{10, 5, 24}, {10, 30, 24}, {30, 30, 24}, {5, 40, 24}, {50, 45, 24}});
  for (int r = 38; r <= 42; ++r)
    for (int c = 20; c <= 40; ++c) g[r * 64 + c] = kAirRideGrass;
  RunGame({.seed = 7, .files = {{kCourseFile, CourseText(g)}}}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    // Rider 1 backs for 60 frames, then lets go; riders 2, 3 and 4 hold up.
    Trace t;
    h.AddInputRule([&](FrameInput& in) {
      if (AirRidePlayStep != 2) return;
      if (t.playFrames < 60) Hold(in, 1, kButtonDown);
      for (int p = 2; p <= 4; ++p) Hold(in, p, kButtonUp);
    });
    h.AddFrameHook([&](GameHarness& g2) {
      Record(t);
      if (t.playFrames == 80) Shot(g2, "air_ride_play.png");
      if (AirRidePlayStep == 2 && t.playFrames >= 300) AirRideTimer = 1;
    });
    int winnerFrames = 0;
    h.AddFrameHook([&](GameHarness& g2) {
      if (AirRideStep == 3 && StartBannerStep != 0 && winnerFrames == 0) Shot(g2, "air_ride_setup.png");
      if (WinnerTextStep == 4 && ++winnerFrames == 40) Shot(g2, "air_ride_result.png");
    });
    MinigameOutcome out = PlayMinigame(h, 7, HumanSeats({1, 2, 3, 4}), 2000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(winnerFrames, 102) << "the winner text ran";
    EXPECT_EQ(AirRideGrid[45 * 64 + 50], kAirRideTrack) << "a fifth start cell is track";

    // Rider 1: backing at 0.075 a frame down to -2, then coasting back to a
    // stop and rocking at 0.0375.
    const std::vector<float>& s1 = t.speed[1];
    ASSERT_GT(s1.size(), 250u);
    for (float s : s1) ASSERT_GE(s, -2.0f);
    EXPECT_EQ(*std::min_element(s1.begin(), s1.end()), -2.0f);
    EXPECT_NEAR(s1[0], -0.075f, 1e-6);
    for (size_t i = 200; i < 250; ++i) EXPECT_FLOAT_EQ(s1[i], 0.0375f) << "frame " << i;
    for (size_t i = 61; i < 100; ++i) EXPECT_NEAR(s1[i] - s1[i - 1], 0.0375f, 1e-4) << "frame " << i;
    // Rider 4: up to 4 and no more; on grass above 2 it loses 0.15 a frame.
    const std::vector<float>& s4 = t.speed[4];
    EXPECT_EQ(*std::max_element(s4.begin(), s4.end()), 4.0f);
    int braked = 0;
    for (size_t i = 1; i < s4.size(); ++i) {
      if (!t.onGrass[4][i - 1] || s4[i - 1] <= 2.0f) continue;
      EXPECT_NEAR(s4[i], s4[i - 1] - 0.15f, 1e-4) << "frame " << i;
      ++braked;
    }
    EXPECT_GE(braked, 13) << "from 4 down to 2";
    for (int p = 1; p <= 4; ++p)
      for (float s : t.speed[p]) ASSERT_TRUE(s >= -2.0f && s <= 4.0f);
    // Riders 2 and 3 meet head on and are never inside each other.
    EXPECT_FALSE(t.overlapped);
    EXPECT_LT(std::fabs(ParticipantTable[2].x - ParticipantTable[3].x), 40.0f) << "they did meet";
    EXPECT_GE(t.minZoom, 0.5f);
    EXPECT_LE(t.maxZoom, 1.2f);
    // The winners came farthest round the centre, 10 coins each.
    int32_t best = 0;
    for (int p = 1; p <= 4; ++p) best = std::max(best, AirRideProgress(p));
    ASSERT_GT(best, 0);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], AirRideProgress(p) == best ? 10 : 0) << p;
  });
}

TEST(AirRide, StartCellsSideBySideEndTheirFrame) {
  // Riders 1 and 2 start in one column, 10 pixels apart; 3 and 4 far off.
  std::vector<int32_t> g = Course({{20, 20, 24}, {20, 21, 24}, {50, 30, 24}, {50, 40, 24}});
  RunGame({.seed = 3, .files = {{kCourseFile, CourseText(g)}}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    EnterMinigame(h, 7, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return AirRidePlayStep == 2; }, 600));
    ASSERT_TRUE(h.Frame());
    ASSERT_TRUE(h.RunUntil([] { return AirRidePlayStep == 2; }, 5));
    // The equal x shoved the higher number to the + side; no overlap is left.
    EXPECT_LT(ParticipantTable[1].x, ParticipantTable[2].x);
    EXPECT_FALSE(Overlapping(1, 2));
    for (int i = 0; i < 30; ++i) {
      ASSERT_TRUE(h.Frame());
      EXPECT_FALSE(Overlapping(1, 2)) << "frame " << i;
    }
  });
}

TEST(AirRide, FourCpuRidersRaceToTheEndAndTheZoomStaysForTheNextPlay) {
  RunGame({.seed = 21}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    Trace t;
    h.AddFrameHook([&](GameHarness&) { Record(t); });
    h.SetStallLimit("AirRideMain", kAirRidePlayFrames + 10);
    MinigameOutcome out = PlayMinigame(h, 7, MinigameSeats{}, 5000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
    EXPECT_FALSE(t.overlapped);
    EXPECT_GE(t.minZoom, 0.5f);
    EXPECT_LE(t.maxZoom, 1.2f);
    // The race ended by its rule: three laps, or the 3600 frames.
    bool home = false;
    for (int p = 1; p <= 4; ++p) home = home || AirRideProgress(p) >= 3 * 360;
    EXPECT_TRUE(home || t.playFrames >= kAirRidePlayFrames) << t.playFrames;
    int32_t best = 0;
    for (int p = 1; p <= 4; ++p) best = std::max(best, AirRideProgress(p));
    EXPECT_GT(best, 360) << "the CPU riders go round";
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], AirRideProgress(p) == best ? 10 : 0) << p;
    // The next play starts from the zoom this one ended with (one camera
    // step in its set-up).
    float zoom = AirRideZoom;
    EnterMinigame(h, 7, MinigameSeats{});
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return AirRideStep == 3; }, 600));
    EXPECT_NEAR(AirRideZoom, zoom, 0.02f);
  });
}

TEST(AirRide, AMissingOrMisshapenCourseShowsItsMessageAndEnds) {
  struct Case {
    std::vector<std::string> hidden;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  };
  const std::vector<Case> cases = {
      {{"mini/airride/airridetest.mdt"}, {}},
      {{}, {{kCourseFile, Bytes("63,48,1,1,1,")}}},
      {{}, {{kCourseFile, Bytes("")}}},
  };
  for (const Case& c : cases) {
    RunGame({.hiddenMedia = c.hidden, .files = c.files}, [](GameHarness& h) {
      ASSERT_EQ(h.StartUpWithoutMedia(), 0);
      MinigameOutcome out = PlayMinigame(h, 7, HumanSeats({1}), 300);
      ASSERT_TRUE(out.ended);
      EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{0, 0, 0, 0}));
      ASSERT_EQ(h.messageBoxes().size(), 1u);
      EXPECT_EQ(h.messageBoxes()[0].text, "多分存在しないかも");
      EXPECT_EQ(h.messageBoxes()[0].caption, "err");
      EXPECT_TRUE(h.LogHas("airridetest.mdt"));
      EXPECT_EQ(AirRideStep, 1) << "the next start reads the course again";
    });
  }
  // An image that fails frees the ones before it.
  RunGame({.hiddenMedia = {"mini/airride/矢印.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 7, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(AirRideRiderPictures[0], -1);
    EXPECT_TRUE(h.LogHas("矢印.png"));
  });
}

}  // namespace
