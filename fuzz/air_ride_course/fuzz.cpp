// The air ride's course file: the input is the file's bytes, read by
// ReadAirRideCourseBytes. Besides memory safety: a course is accepted exactly
// when its first two fields read 64 and 48, an accepted course holds 3072
// cells, a refused one none, and every cell is what a plain reading of the
// comma-separated fields gives (each cut to 20 characters, blanks, a sign and
// digits, held to the 32-bit range; cells past the end of the file 0).
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "game/minigames/air_ride_course.h"

namespace {

int32_t PlainNumber(const std::string& field) {
  size_t i = 0;
  while (i < field.size() && std::string(" \t\n\v\f\r").find(field[i]) != std::string::npos) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (field[i] - '0'), 2147483648LL);
  if (negative) value = -value;
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int32_t> fields;
  std::string field;
  bool open = false;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == ',') {
      fields.push_back(PlainNumber(field.substr(0, kAirRideFieldChars)));
      field.clear();
      open = false;
    } else {
      field.push_back(static_cast<char>(data[i]));
      open = true;
    }
  }
  if (open) fields.push_back(PlainNumber(field.substr(0, kAirRideFieldChars)));

  AirRideCourse course;
  int32_t result = ReadAirRideCourseBytes(data, size, &course);
  bool fits = fields.size() >= 2 && fields[0] == kAirRideColumns && fields[1] == kAirRideRows;
  FUZZ_CHECK(result == (fits ? 1 : -1), "accepted exactly when the grid is 64 x 48");
  if (!fits) {
    FUZZ_CHECK(course.cells.empty(), "a refused course holds no cells");
    return 0;
  }
  FUZZ_CHECK(course.cells.size() == static_cast<size_t>(kAirRideCellCount), "3072 cells");
  for (size_t i = 0; i < course.cells.size(); ++i) {
    int32_t expected = i + 2 < fields.size() ? fields[i + 2] : 0;
    FUZZ_CHECK(course.cells[i] == expected, "cell " + std::to_string(i) + " as its field reads");
  }
  return 0;
}
