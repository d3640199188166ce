// Lines and line lists: the line is clipped to the drawing area in floating
// point once, then stepped with an integer error term.
#include "library/core/text_helpers.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/flat_color.h"
#include "library/softrender/soft_shape.h"

namespace {

inline int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// n pixels from p, each one major step after the last, with a minor step
// whenever the error reaches n (so pixel k lies floor(k * m / n) minor steps
// from the first).
template <FlatRule R, bool Depth32>
void StepLine(uint8_t* p, int32_t n, int32_t m, intptr_t majorStep, intptr_t minorStep, const FlatColor& f) {
  int32_t err = 0;
  for (int32_t k = 0; k < n; ++k) {
    FlatPixel<R, Depth32>(p, f);
    err += m;
    p += majorStep;
    const bool minor = err >= n;
    p += minor ? minorStep : 0;
    err -= minor ? n : 0;
  }
}

}  // namespace

void SoftLine(MEMIMG* dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  FlatTarget target;
  if (!GetFlatTarget(dst, &target, true)) return;
  const int32_t left = DrawClipRect.left, top = DrawClipRect.top;
  const int32_t right = DrawClipRect.right, bottom = DrawClipRect.bottom;
  // An empty area would clamp the start outside it.
  if (right <= left || bottom <= top) return;
  if ((x1 < x2 ? x1 : x2) >= right || (y1 < y2 ? y1 : y2) >= bottom || (y1 > y2 ? y1 : y2) < top ||
      (x1 > x2 ? x1 : x2) < left)
    return;

  // The line through the unclipped end points: x at row 0 and slope per row,
  // y at column 0 and slope per column.
  const double xPerY = y1 == y2 ? 0.0 : (static_cast<double>(x2) - x1) / (static_cast<double>(y2) - y1);
  const double yPerX = x1 == x2 ? 0.0 : (static_cast<double>(y2) - y1) / (static_cast<double>(x2) - x1);
  const double x0 = x1 - xPerY * y1;
  const double y0 = y1 - yPerX * x1;
  auto yAt = [&](int32_t x) { return DoubleToIntTrunc(y0 + yPerX * x); };
  auto xAt = [&](int32_t y) { return DoubleToIntTrunc(x0 + xPerY * y); };

  // The start comes inside the area, the end at most one pixel outside it.
  if (x1 < left) {
    x1 = left;
    y1 = yAt(left);
  } else if (x1 >= right) {
    x1 = right - 1;
    y1 = yAt(right - 1);
  }
  if (x2 < left) {
    x2 = left - 1;
    y2 = yAt(left - 1);
  } else if (x2 >= right) {
    x2 = right;
    y2 = yAt(right);
  }
  if (y1 < top) {
    y1 = top;
    x1 = xAt(top);
  } else if (y1 >= bottom) {
    y1 = bottom - 1;
    x1 = xAt(bottom - 1);
  }
  if (y2 < top) {
    y2 = top - 1;
    x2 = xAt(top - 1);
  } else if (y2 >= bottom) {
    y2 = bottom;
    x2 = xAt(bottom);
  }
  x1 = Clamp(x1, left, right - 1);
  x2 = Clamp(x2, left - 1, right);
  y1 = Clamp(y1, top, bottom - 1);
  y2 = Clamp(y2, top - 1, bottom);

  const int32_t xDelta = x2 - x1, yDelta = y2 - y1;
  if (xDelta == 0 && yDelta == 0) return;
  FlatRule rule;
  FlatColor flat;
  if (!PrepareFlatColor(colour, target.depth32, FlatBrightness::Shift, &rule, &flat)) return;

  const int32_t bytes = target.depth32 ? 4 : 2;
  const intptr_t xStep = xDelta < 0 ? -bytes : bytes;
  const intptr_t yStep = yDelta < 0 ? -static_cast<intptr_t>(target.pitch) : target.pitch;
  const int32_t ax = xDelta < 0 ? -xDelta : xDelta, ay = yDelta < 0 ? -yDelta : yDelta;
  uint8_t* start =
      target.pixels + static_cast<intptr_t>(y1) * target.pitch + static_cast<intptr_t>(x1) * bytes;
  // A diagonal counts as x-major.
  const bool xMajor = ax >= ay;
  WithFlatRule(rule, target.depth32, [&]<FlatRule R, bool Depth32>() {
    if (xMajor)
      StepLine<R, Depth32>(start, ax, ay, xStep, yStep, flat);
    else
      StepLine<R, Depth32>(start, ay, ax, yStep, xStep, flat);
  });
}

void SoftLineList(MEMIMG* dst, const LineRecord* records, int32_t count) {
  if (records == nullptr) return;
  for (int32_t i = 0; i < count; ++i)
    SoftLine(dst, records[i].x1, records[i].y1, records[i].x2, records[i].y2, records[i].colour);
}
