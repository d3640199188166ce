// The river crossing's course file: reading and checking.
#include "game/minigames/river_course.h"

#include "game/shell/csv_reader.h"
#include "library/zrlib.h"

float RiverOpeningLandingX(float ground) {
  const int32_t line = static_cast<int32_t>(ground);
  float x = kRiverStartX, y = ground, vy = kRiverOpeningRise;
  // The jump comes down after about 33 frames; the bound only guards the loop.
  for (int32_t frame = 0; frame < 1000; ++frame) {
    vy += kRiverGravity;
    x += kRiverOpeningPower;
    y += vy;
    if (y >= static_cast<float>(line)) break;
  }
  return x;
}

namespace {

constexpr int32_t kFieldsPerRow = 1 + 2 * kRiverStonesPerRow;

bool Refuse(const char* path, const char* fault, int32_t row, int32_t stone) {
  WriteErrorLogFormat("%s: 行 %d の石 %d: %s", path, row, stone, fault);
  return false;
}

}  // namespace

bool CheckRiverCourse(const RiverCourseTable& course, const char* path) {
  if (course.rows < kRiverRowsDrawn || course.rows > kRiverCourseRows) {
    WriteErrorLogFormat("%s: コースが %d 行しかありません (%d 行から %d 行)", path, course.rows, kRiverRowsDrawn,
                        kRiverCourseRows);
    return false;
  }
  for (int32_t row = 0; row < course.rows; ++row) {
    const RiverStone* stones = course.stones[row];
    if (stones[0].start != 0 || stones[0].end <= 0) return Refuse(path, "最初の石が 0 から始まりません", row, 0);
    bool ended = false;
    for (int32_t i = 0; i < kRiverStonesPerRow; ++i) {
      const RiverStone& s = stones[i];
      if (i > 0 && s.start == 0 && s.end == 0) {
        ended = true;
        continue;
      }
      if (ended) return Refuse(path, "石のない組のあとに石があります", row, i);
      if (s.start < 0 || s.end > kRiverPieceWidth || s.start >= s.end)
        return Refuse(path, "石の始まりと終わりがコースの中で並んでいません", row, i);
      if (i > 0 && s.start < stones[i - 1].end) return Refuse(path, "石が前の石と重なっています", row, i);
    }
  }
  // The opening has no rescue: every lane must come down on row 0's first stone.
  for (int32_t lane = 1; lane <= 4; ++lane) {
    const float x = RiverOpeningLandingX(kRiverLaneGround[lane]);
    const RiverStone& first = course.stones[0][0];
    if (!(static_cast<float>(first.start) < x && x < static_cast<float>(first.end)))
      return Refuse(path, "最初の跳びの着地点に石がありません", 0, 0);
  }
  return true;
}

RiverCourseResult ReadRiverCourse(const char* path, RiverCourseTable* course) {
  CsvReader reader;
  if (!OpenCsvTable(&reader, path)) return kRiverCourseMissing;
  SkipCsvLine(&reader);  // the second header line
  RiverCourseTable read = {};
  int32_t field = 0;       // the field's place in its row
  bool cut = false;        // rows past the table were left out
  char text[kRiverFieldChars + 1];
  for (;;) {
    const CsvFieldEnd end = ReadCsvField(&reader, text, sizeof text);
    // The end of the file ends no field of its own when nothing stood before it.
    if (end == kCsvFileEnd && field == 0 && text[0] == '\0') break;
    if (read.rows >= kRiverCourseRows) {
      cut = true;
    } else if (field > 0) {
      RiverStone& stone = read.stones[read.rows][(field - 1) / 2];
      ((field - 1) % 2 == 0 ? stone.start : stone.end) = CsvFieldToInt(text);
    }
    if (++field == kFieldsPerRow) {
      field = 0;
      if (read.rows < kRiverCourseRows) ++read.rows;
    }
    if (end == kCsvFileEnd) break;
  }
  CloseCsvTable(&reader);
  if (cut) WriteErrorLogFormat("%s: %d 行より後の行は読みません", path, kRiverCourseRows);
  if (field != 0 && read.rows < kRiverCourseRows) {
    // A row the file ends inside is left out.
    WriteErrorLogFormat("%s: 最後の行 %d は途中で終わっています", path, read.rows);
    for (RiverStone& s : read.stones[read.rows]) s = {};
  }
  if (!CheckRiverCourse(read, path)) return kRiverCourseRefused;
  *course = read;
  return kRiverCourseRead;
}
