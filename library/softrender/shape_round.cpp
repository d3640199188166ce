// Circles and ellipses. Both step one eighth or one quarter of the curve
// with integer decision values and mirror each position; outlines plot
// single pixels, fills draw one run per row, and a one-byte-per-row buffer
// keeps every row of a fill from being drawn twice.
//
// Positions are carried in 64 bits, so no radius or centre can overflow the
// stepping or the mirrored coordinates.
#include "library/core/memory.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/flat_color.h"
#include "library/softrender/soft_shape.h"

namespace {

// What one call draws into: the inclusive clip bounds, the destination, the
// prepared colour and, for fills, the run loop and the row-done buffer.
struct Canvas {
  int64_t xLo, yLo, xHi, yHi;
  FlatTarget target;
  FlatRule rule;
  FlatColor flat;
  FlatSpanFn span;
  uint8_t* rowDone;
};

// False when nothing can be drawn (refused destination, empty area, a draw
// state that draws nothing, no buffer for a fill).
bool OpenCanvas(MEMIMG* dst, uint32_t colour, bool fill, Canvas* c) {
  if (!GetFlatTarget(dst, &c->target, true)) return false;
  const PixelRect clip = DrawClipRect;
  if (clip.right <= clip.left || clip.bottom <= clip.top) return false;
  c->xLo = clip.left;
  c->yLo = clip.top;
  c->xHi = static_cast<int64_t>(clip.right) - 1;
  c->yHi = static_cast<int64_t>(clip.bottom) - 1;
  if (!PrepareFlatColor(colour, c->target.depth32, FlatBrightness::Shift, &c->rule, &c->flat)) return false;
  c->span = SelectFlatSpan(c->target.depth32, c->rule, &c->flat);
  c->rowDone = nullptr;
  if (fill) {
    // One byte for each row from 0 to the area's bottom.
    c->rowDone = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(clip.bottom), "", 0));
    if (c->rowDone == nullptr) return false;
  }
  return true;
}

template <FlatRule R, bool Depth32>
inline void Plot(const Canvas& c, int64_t px, int64_t py) {
  if (px < c.xLo || px > c.xHi || py < c.yLo || py > c.yHi) return;
  FlatPixel<R, Depth32>(c.target.pixels + py * c.target.pitch + px * (Depth32 ? 4 : 2), c.flat);
}

// The run of row from column xa to xb, unless the row lies outside the area
// or was drawn before; a run wholly beside the area leaves the row undrawn.
inline void Span(const Canvas& c, int64_t row, int64_t xa, int64_t xb) {
  if (row < c.yLo || row > c.yHi || xb < c.xLo || xa > c.xHi || c.rowDone[row] != 0) return;
  c.rowDone[row] = 1;
  if (xa < c.xLo) xa = c.xLo;
  if (xb > c.xHi) xb = c.xHi;
  if (xb < xa) return;
  const int64_t bytes = c.target.depth32 ? 4 : 2;
  c.span(c.target.pixels + row * c.target.pitch + xa * bytes, static_cast<int32_t>(xb - xa + 1), c.flat);
}

// ---- Ellipse stepping ----

// One quarter of an ellipse, from (rx, 0) towards the top column: a circle
// stepping on radius rx with one axis slowed by an accumulator (the row in
// the wide case rx >= ry, the half-width in the tall case).
struct EllipseWalk {
  bool wide;
  int64_t rx, ry, k;
  int64_t h, v, e, d1, d2;

  EllipseWalk(int64_t radiusX, int64_t radiusY)
      : wide(radiusX >= radiusY),
        rx(radiusX),
        ry(radiusY),
        k(wide ? radiusX * radiusX / radiusY : radiusY * radiusY / radiusX),
        h(radiusX),
        v(0),
        e(0),
        d1(3 - 2 * radiusX),
        d2(3 - 4 * radiusX) {}

  // The slowed row of the wide case.
  void SlowRow() {
    e += ry;
    if (e >= k) {
      ++v;
      e -= k;
    }
  }
  void Diagonal() {
    const int64_t q = 4 * (v - h);
    d1 += q + 2;
    d2 += q + 2;
  }

  void Step() {
    if (wide) {
      if (d1 < 0) {
        SlowRow();
        d2 += 4 * v;
        d1 += 4 * v + 2;
      } else {
        --h;
        if (d2 >= 0) {
          d1 -= 4 * h;
          d2 += 2 - 4 * h;
        } else {
          SlowRow();
          Diagonal();
        }
      }
    } else {
      if (d1 < 0) {
        ++v;
        d2 += 4 * v;
        d1 += 4 * v + 2;
      } else {
        e += rx;
        if (e >= k) {
          --h;
          e -= k;
        }
        if (d2 >= 0) {
          d1 -= 4 * h;
          d2 += 2 - 4 * h;
        } else {
          ++v;
          Diagonal();
        }
      }
    }
  }
};

}  // namespace

void SoftCircle(MEMIMG* dst, int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill) {
  Canvas c;
  if (!OpenCanvas(dst, colour, fill != 0, &c)) return;
  const int64_t cx = x, cy = y;
  int64_t a = 0, b = r, d = 3 - 2 * static_cast<int64_t>(r);

  if (fill != 0) {
    // Rows y +- a take the half-width b when first reached, rows y +- b the
    // half-width a of the last step before b drops.
    for (; b >= a; ++a) {
      Span(c, cy + a, cx - b, cx + b);
      Span(c, cy - a, cx - b, cx + b);
      if (d >= 0) {
        Span(c, cy + b, cx - a, cx + a);
        Span(c, cy - b, cx - a, cx + a);
        d += 4 * (a - b) + 10;
        --b;
      } else {
        d += 4 * a + 6;
      }
    }
    TrackedFree(c.rowDone);
    return;
  }

  WithFlatRule(c.rule, c.target.depth32, [&]<FlatRule R, bool Depth32>() {
    auto plot = [&](int64_t px, int64_t py) { Plot<R, Depth32>(c, px, py); };
    auto advance = [&] {
      if (d < 0) {
        d += 4 * a + 6;
      } else {
        d += 4 * (a - b) + 10;
        --b;
      }
      ++a;
    };
    // The four axis points once each, then eight mirrored points a step.
    plot(cx - b, cy);
    plot(cx + b, cy);
    plot(cx, cy + b);
    plot(cx, cy - b);
    advance();
    while (b >= a) {
      plot(cx - b, cy + a);
      plot(cx + b, cy + a);
      plot(cx - b, cy - a);
      plot(cx + b, cy - a);
      plot(cx - a, cy + b);
      plot(cx + a, cy + b);
      plot(cx - a, cy - b);
      plot(cx + a, cy - b);
      advance();
    }
  });
}

void SoftEllipse(MEMIMG* dst, int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill) {
  if (rx == 0 || ry == 0) return;
  Canvas c;
  if (!OpenCanvas(dst, colour, fill != 0, &c)) return;
  const int64_t cx = x, cy = y;
  EllipseWalk w(rx < 0 ? -static_cast<int64_t>(rx) : rx, ry < 0 ? -static_cast<int64_t>(ry) : ry);

  if (fill != 0) {
    Span(c, cy, cx - w.h, cx + w.h);
    for (;;) {
      const int64_t row = w.v;
      w.Step();
      if (w.h <= 0) break;
      if (w.v != row) {
        Span(c, cy + w.v, cx - w.h, cx + w.h);
        Span(c, cy - w.v, cx - w.h, cx + w.h);
      }
    }
    Span(c, cy - w.v, cx, cx);
    Span(c, cy + w.v, cx, cx);
    TrackedFree(c.rowDone);
    return;
  }

  WithFlatRule(c.rule, c.target.depth32, [&]<FlatRule R, bool Depth32>() {
    auto plot = [&](int64_t px, int64_t py) { Plot<R, Depth32>(c, px, py); };
    plot(cx - w.h, cy);
    plot(cx + w.h, cy);
    for (;;) {
      const int64_t h = w.h, v = w.v;
      w.Step();
      if (w.h <= 0) break;
      // A position reached again without moving is not drawn again; the
      // centre row's points come twice, once for each half.
      if (w.h != h || w.v != v) {
        plot(cx - w.h, cy + w.v);
        plot(cx + w.h, cy + w.v);
        plot(cx - w.h, cy - w.v);
        plot(cx + w.h, cy - w.v);
      }
    }
    plot(cx, cy - w.v);
    plot(cx, cy + w.v);
  });
}
