// The river crossing's course file "media\data\Mini_RJ2.csv": two header
// lines, then fields ended by ',' or a line feed, taken eleven to a row (a
// label, then start and end of five stones in pixels from the start of a
// 640-pixel course piece; (0, 0) is no stone). The reader takes at most 30
// characters of a field and at most 20 rows, and refuses a course that the
// game could not be played on: fewer than 13 rows, a row that does not
// begin with a stone at 0, stones that do not follow each other or lie
// outside the piece, or a first stone of row 0 that does not hold the
// points where the opening jump comes down.
#pragma once

#include <cstdint>

constexpr int32_t kRiverCourseRows = 20;   // the table's rows
constexpr int32_t kRiverRowsDrawn = 13;    // the course is drawn from rows 0..12
constexpr int32_t kRiverStonesPerRow = 5;
constexpr int32_t kRiverPieceWidth = 640;  // one course piece
constexpr int32_t kRiverFieldChars = 30;   // the longest field kept

struct RiverStone {
  int32_t start, end;  // pixels from the start of the piece; (0, 0) no stone
};

struct RiverCourseTable {
  RiverStone stones[kRiverCourseRows][kRiverStonesPerRow];
  int32_t rows;  // rows read (13..20 in a course that was accepted)
};

// The opening: every participant leaves x = -50 from its lane's ground line
// with a jump of power 3.0 and vertical speed -3.3, gravity 0.2 a frame.
constexpr float kRiverStartX = -50.0f;
constexpr float kRiverOpeningPower = 3.0f;
constexpr float kRiverOpeningRise = -3.3f;
constexpr float kRiverGravity = 0.2f;
// The ground line of lanes 1..4 (index 0 unused).
constexpr float kRiverLaneGround[5] = {0.0f, 65.0f, 180.0f, 315.0f, 430.0f};
// Where the opening jump from a ground line comes down (the x of the first
// frame that finds the participant at or below the line).
float RiverOpeningLandingX(float ground);

enum RiverCourseResult : int32_t {
  kRiverCourseRead = 1,     // read and accepted
  kRiverCourseMissing = 0,  // the file does not open
  kRiverCourseRefused = -1, // read, but not a course the game can be played on (logged)
};

// Reads the course file into course (which is left as it was unless the
// course is accepted). A refusal writes a log line naming the file and the
// fault.
RiverCourseResult ReadRiverCourse(const char* path, RiverCourseTable* course);
// The checks of an accepted course; false after a log line naming the file
// and the first fault.
bool CheckRiverCourse(const RiverCourseTable& course, const char* path);
