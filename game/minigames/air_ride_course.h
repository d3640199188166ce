// The air ride's course file: decimal text, the width, the height and then
// width x height cell values, every value followed by ',' (the last may end
// with the file instead). A value is read up to its comma, its first 20
// characters kept, and converted as a decimal integer (leading blanks
// skipped, the conversion stops at the first other character).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t kAirRideColumns = 64;
constexpr int32_t kAirRideRows = 48;
constexpr int32_t kAirRideCellCount = kAirRideColumns * kAirRideRows;
constexpr int kAirRideFieldChars = 20;

struct AirRideCourse {
  int32_t width = 0, height = 0;  // as the file gives them
  std::vector<int32_t> cells;     // row by row; cells the file does not reach are 0
};

// Reads a course from a source of characters (next returns the next byte
// 0..255, or a negative number at the end). 1 with the 64 x 48 cells; -1
// when the file's width and height are other than 64 and 48 (`out` then
// holds the width and height read and no cells).
int32_t ReadAirRideCourse(int (*next)(void* source), void* source, AirRideCourse* out);
// The same over bytes in memory.
int32_t ReadAirRideCourseBytes(const uint8_t* data, size_t size, AirRideCourse* out);
