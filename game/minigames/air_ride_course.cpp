// The air ride's course file reader.
#include "game/minigames/air_ride_course.h"

#include <climits>

namespace {

// One value: the characters up to the next comma or the end, the first 20
// kept and converted. False at the end of the source with nothing read.
bool ReadValue(int (*next)(void*), void* source, int32_t* value) {
  char field[kAirRideFieldChars];
  int kept = 0;
  bool any = false;
  int c = next(source);
  for (; c >= 0 && c != ','; c = next(source)) {
    any = true;
    if (kept < kAirRideFieldChars) field[kept++] = static_cast<char>(c);
  }
  any = any || c == ',';
  // A field that ends with the source but holds nothing is no value; an
  // empty field before a comma is 0.
  if (!any) {
    *value = 0;
    return false;
  }
  int i = 0;
  auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r'; };
  while (i < kept && blank(field[i])) ++i;
  bool negative = false;
  if (i < kept && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  int64_t n = 0;
  for (; i < kept && field[i] >= '0' && field[i] <= '9'; ++i) {
    n = n * 10 + (field[i] - '0');
    if (n > static_cast<int64_t>(INT32_MAX) + 1) n = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT32_MAX) n = INT32_MAX;
  *value = static_cast<int32_t>(n);
  return any;
}

struct ByteSource {
  const uint8_t* data;
  size_t size, at;
};

int NextByte(void* source) {
  ByteSource* s = static_cast<ByteSource*>(source);
  return s->at < s->size ? s->data[s->at++] : -1;
}

}  // namespace

int32_t ReadAirRideCourse(int (*next)(void*), void* source, AirRideCourse* out) {
  out->width = out->height = 0;
  out->cells.clear();
  int32_t width = 0, height = 0;
  ReadValue(next, source, &width);
  ReadValue(next, source, &height);
  out->width = width;
  out->height = height;
  // The play area is the 640 x 480 screen: the drawing, the walls and the
  // CPU address a cell as row * 64 + column.
  if (width != kAirRideColumns || height != kAirRideRows) return -1;
  out->cells.assign(kAirRideCellCount, 0);
  for (int32_t i = 0; i < kAirRideCellCount; ++i) {
    // A file that ends early leaves the remaining cells open.
    int32_t value = 0;
    if (!ReadValue(next, source, &value)) break;
    out->cells[i] = value;
  }
  return 1;
}

int32_t ReadAirRideCourseBytes(const uint8_t* data, size_t size, AirRideCourse* out) {
  ByteSource source{data, size, 0};
  return ReadAirRideCourse(NextByte, &source, out);
}
