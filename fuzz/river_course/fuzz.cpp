// The river crossing's course file: the input is the file's bytes, read by
// ReadRiverCourse through the library's file layer. Besides memory safety:
// a course is accepted only when it can be played (13 to 20 rows, each
// beginning with a stone at 0, stones in order within the piece, row 0's
// first stone under the opening jump's landing points), a refused course
// leaves the caller's table as it was, and for a file of plain ASCII the
// table holds exactly what a plain reading of the fields gives (two header
// lines, fields ended by ',' or a line feed eleven to a row, carriage
// returns dropped, fields cut at 30 characters, rows past 20 and a row the
// file ends inside left out).
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "game/minigames/river_course.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

// A field's number as the game's tables read one: blanks, a sign, digits,
// held to the 32-bit range.
int32_t FieldNumber(const std::string& field) {
  size_t i = 0;
  while (i < field.size() && strchr(" \t\n\r\v\f", field[i]) != nullptr && field[i] != '\0') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) value = std::min<int64_t>(value * 10 + (field[i] - '0'), 2147483648LL);
  if (negative) value = -value;
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

// The plain reading of an ASCII file; false when the bytes hold anything else.
bool PlainReading(const uint8_t* data, size_t size, RiverCourseTable* out) {
  std::string text;
  for (size_t i = 0; i < size && data[i] != 0xFF; ++i) {
    if (data[i] >= 0x80) return false;
    if (data[i] != '\r') text.push_back(static_cast<char>(data[i]));
  }
  size_t at = 0;
  for (int line = 0; line < 2; ++line) {
    size_t lf = text.find('\n', at);
    at = lf == std::string::npos ? text.size() : lf + 1;
  }
  std::vector<std::string> fields;
  std::string field;
  bool open = false;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] == ',' || text[i] == '\n') {
      fields.push_back(field.substr(0, kRiverFieldChars));
      field.clear();
      open = false;
    } else {
      field.push_back(text[i]);
      open = true;
    }
  }
  if (open || fields.size() % 11 != 0) fields.push_back(field.substr(0, kRiverFieldChars));
  *out = {};
  for (size_t row = 0; row < fields.size() / 11 && row < static_cast<size_t>(kRiverCourseRows); ++row) {
    for (int i = 0; i < kRiverStonesPerRow; ++i) {
      out->stones[row][i].start = FieldNumber(fields[row * 11 + 1 + 2 * i]);
      out->stones[row][i].end = FieldNumber(fields[row * 11 + 2 + 2 * i]);
    }
    out->rows = static_cast<int32_t>(row) + 1;
  }
  return true;
}

// The conditions of a playable course, written out again.
bool Playable(const RiverCourseTable& c) {
  if (c.rows < 13 || c.rows > 20) return false;
  for (int32_t row = 0; row < c.rows; ++row) {
    const RiverStone* s = c.stones[row];
    if (s[0].start != 0 || s[0].end <= 0 || s[0].end > 640) return false;
    int32_t present = 1;
    while (present < kRiverStonesPerRow && !(s[present].start == 0 && s[present].end == 0)) ++present;
    for (int32_t i = present; i < kRiverStonesPerRow; ++i)
      if (s[i].start != 0 || s[i].end != 0) return false;
    for (int32_t i = 1; i < present; ++i)
      if (s[i].start < s[i - 1].end || s[i].start >= s[i].end || s[i].end > 640) return false;
  }
  for (int lane = 1; lane <= 4; ++lane) {
    const float x = RiverOpeningLandingX(kRiverLaneGround[lane]);
    if (!(x > 0.0f && x < static_cast<float>(c.stones[0][0].end))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  const std::string path = ScratchPath("Mini_RJ2.csv");
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  RiverCourseTable course;
  memset(&course, 0x5A, sizeof course);
  RiverCourseTable untouched;
  memcpy(&untouched, &course, sizeof course);
  const RiverCourseResult result = ReadRiverCourse(path.c_str(), &course);
  FUZZ_CHECK(result != kRiverCourseMissing, "the written file did not open");
  if (result == kRiverCourseRefused) {
    FUZZ_CHECK(memcmp(&course, &untouched, sizeof course) == 0, "a refused course changed the caller's table");
  } else {
    FUZZ_CHECK(Playable(course), "an unplayable course was accepted");
  }
  RiverCourseTable plain;
  if (PlainReading(data, size, &plain)) {
    FUZZ_CHECK((result == kRiverCourseRead) == Playable(plain),
               result == kRiverCourseRead ? "accepted a course that reads unplayable" : "refused a playable course");
    if (result == kRiverCourseRead) {
      FUZZ_CHECK(course.rows == plain.rows, "the row count differs from the plain reading");
      FUZZ_CHECK(memcmp(course.stones, plain.stones, sizeof plain.stones) == 0,
                 "the stones differ from the plain reading");
    }
  }
  return 0;
}
