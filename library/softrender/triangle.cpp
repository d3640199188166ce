// The triangle: its set-up in 14.18 fixed point (the texture gradients over
// the corners ordered by x, the two sides over the corners ordered by y),
// then one span per row between the sides. A pair of triangles (the two
// halves of a quadrilateral) draws the pixels both cover once.
//
// Edge positions and texture positions are held in 64 bits, so that no
// difference or product of in-range coordinates wraps.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/flat_color.h"
#include "library/softrender/soft_triangle.h"
#include "library/softrender/texel_span.h"

alignas(16) uint8_t TrianglePalette[1024];

namespace {

// Gradients beyond this many fixed-point units per pixel leave the source
// from one pixel to the next anyway.
constexpr int64_t kGradientLimit = int64_t{1} << 40;

// One straight part of a side: its start position, change per row and rows.
struct Segment {
  int64_t x, slope;
  int32_t rows;
};

struct Side {
  Segment first, second;
  int32_t secondRow;  // the row the second segment starts on (left side)
  bool twoSegments;
};

// The three corners as the set-up sees them.
struct Corners {
  int64_t x[3], y[3];  // 14.18, at the pixel's centre
  int64_t u[3], v[3];  // 14.18, at the texel's corner
};

// Ordered exchange sort of the corner indices by key (equal keys keep
// their order as the exchanges leave it).
void SortBy(const int64_t* key, int32_t* order) {
  for (int32_t i = 0; i < 2; ++i)
    for (int32_t j = i + 1; j < 3; ++j)
      if (key[order[i]] > key[order[j]]) std::swap(order[i], order[j]);
}

// Whole pixels of a 14.18 value: division truncating toward zero.
inline int64_t Whole(int64_t fixed) { return fixed / kFixedOne; }

Segment MakeSegment(int64_t fromX, int64_t toX, int64_t fromY, int64_t toY) {
  const int32_t rows = static_cast<int32_t>(Whole(toY - fromY));
  return {fromX, rows > 0 ? (toX - fromX) / rows : 0, rows};
}

// The two sides over the corners ordered by y; false when a side has no
// rows.
bool MakeSides(const Corners& c, Side* left, Side* right, int32_t* firstRow) {
  int32_t b[3] = {0, 1, 2};
  SortBy(c.y, b);
  const int64_t X0 = c.x[b[0]], X1 = c.x[b[1]], X2 = c.x[b[2]];
  const int64_t Y0 = c.y[b[0]], Y1 = c.y[b[1]], Y2 = c.y[b[2]];
  *left = {};
  *right = {};
  if (Y0 == Y1) {
    // Flat top: each side runs from a top corner to the bottom one.
    const int64_t xl = X0 <= X1 ? X0 : X1, xr = X0 <= X1 ? X1 : X0;
    left->first = MakeSegment(xl, X2, Y0, Y2);
    right->first = MakeSegment(xr, X2, Y0, Y2);
  } else if (Y1 == Y2) {
    // Flat bottom: both sides from the top corner.
    const int64_t xl = X1 <= X2 ? X1 : X2, xr = X1 <= X2 ? X2 : X1;
    left->first = MakeSegment(X0, xl, Y0, Y1);
    right->first = MakeSegment(X0, xr, Y0, Y2);
  } else {
    const double s1 = static_cast<double>(X1 - X0) / static_cast<double>(Y1 - Y0);
    const double s2 = static_cast<double>(X2 - X0) / static_cast<double>(Y2 - Y0);
    if (s1 < s2) {
      // The middle corner on the left: the left side bends there.
      left->first = MakeSegment(X0, X1, Y0, Y1);
      left->second = MakeSegment(X1, X2, Y1, Y2);
      left->secondRow = static_cast<int32_t>(Whole(Y1));
      left->twoSegments = true;
      right->first = MakeSegment(X0, X2, Y0, Y2);
    } else {
      // On the right: its second segment starts one unit right of the corner.
      left->first = MakeSegment(X0, X2, Y0, Y2);
      right->first = MakeSegment(X0, X1, Y0, Y1);
      right->second = MakeSegment(X1 + 1, X2, Y1, Y2);
      right->twoSegments = true;
    }
  }
  if (left->first.rows <= 0 || right->first.rows <= 0) return false;
  if ((left->twoSegments && left->second.rows <= 0) || (right->twoSegments && right->second.rows <= 0))
    return false;
  *firstRow = static_cast<int32_t>(Whole(Y0));
  return true;
}

// The texture plane over the corners ordered by x: the gradients and the
// reference corner.
struct Plane {
  int64_t dudx, dudy, dvdx, dvdy;
  int64_t xRef, yRef, uRef, vRef;
};

// False for collinear or repeated corners. The gradients only when textured
// (a flat triangle's u and v are not set).
bool MakePlane(const TriVertex* vtx, const Corners& c, bool textured, Plane* plane) {
  int32_t a[3] = {0, 1, 2};
  SortBy(c.x, a);
  const int64_t dx1 = int64_t{vtx[a[1]].x} - vtx[a[0]].x, dx2 = int64_t{vtx[a[2]].x} - vtx[a[0]].x;
  const int64_t dy1 = int64_t{vtx[a[1]].y} - vtx[a[0]].y, dy2 = int64_t{vtx[a[2]].y} - vtx[a[0]].y;
  const int64_t det = dy1 * dx2 - dy2 * dx1;
  if (det == 0) return false;
  if (!textured) return true;
  const int64_t du1 = int64_t{vtx[a[1]].u} - vtx[a[0]].u, du2 = int64_t{vtx[a[2]].u} - vtx[a[0]].u;
  const int64_t dv1 = int64_t{vtx[a[1]].v} - vtx[a[0]].v, dv2 = int64_t{vtx[a[2]].v} - vtx[a[0]].v;
  auto gradient = [det](int64_t numerator) {
    return TruncClamped(static_cast<double>(numerator) * 262144.0 / static_cast<double>(det), kGradientLimit);
  };
  plane->dudx = gradient(dy1 * du2 - dy2 * du1);
  plane->dudy = gradient(du1 * dx2 - dx1 * du2);
  plane->dvdx = gradient(dy1 * dv2 - dv1 * dy2);
  plane->dvdy = gradient(dv1 * dx2 - dv2 * dx1);
  plane->xRef = Whole(c.x[a[0]]);
  plane->yRef = Whole(c.y[a[0]]);
  plane->uRef = c.u[a[0]];
  plane->vRef = c.v[a[0]];
  return true;
}

// A triangle ready to be walked: its texture plane and its two sides.
struct Triangle {
  Plane plane;
  Side left, right;
  int32_t firstRow;
};

// False when the triangle draws nothing: a corner beyond the coordinate
// range, corners on one line, or a side without rows.
bool SetUpTriangle(const TriVertex* vertices, bool textured, Triangle* t) {
  // Positions beyond the 14-bit range would not fit the fixed point.
  auto inRange = [](int32_t value) {
    return value >= -kTriangleCoordinateLimit && value < kTriangleCoordinateLimit;
  };
  Corners corners;
  for (int32_t i = 0; i < 3; ++i) {
    const TriVertex& v = vertices[i];
    if (!inRange(v.x) || !inRange(v.y) || (textured && (!inRange(v.u) || !inRange(v.v)))) return false;
    corners.x[i] = v.x * kFixedOne + kFixedOne / 2;
    corners.y[i] = v.y * kFixedOne + kFixedOne / 2;
    corners.u[i] = v.u * kFixedOne;
    corners.v[i] = v.v * kFixedOne;
  }
  t->plane = {};
  return MakePlane(vertices, corners, textured, &t->plane) &&
         MakeSides(corners, &t->left, &t->right, &t->firstRow);
}

// The rows of a triangle in the order they are visited, each with the ends
// of its span (both included). A left side that bends goes on from the
// middle corner's row, so a row may be visited twice (a top corner on a
// negative row).
class RowWalk {
 public:
  explicit RowWalk(const Triangle& t)
      : t_(t), l_(t.left.first), r_(t.right.first), y_(t.firstRow),
        leftOnLast_(!t.left.twoSegments), rightOnLast_(!t.right.twoSegments) {}

  bool Next(int64_t* y, int64_t* first, int64_t* last) {
    if (done_) return false;
    *y = y_;
    *first = Whole(l_.x);
    *last = Whole(r_.x);
    l_.x += l_.slope;
    r_.x += r_.slope;
    ++y_;
    if (--l_.rows == 0) {
      if (leftOnLast_) {
        done_ = true;
        return true;
      }
      l_ = t_.left.second;
      y_ = t_.left.secondRow;
      leftOnLast_ = true;
    }
    if (--r_.rows == 0) {
      if (rightOnLast_) {
        done_ = true;
        return true;
      }
      r_ = t_.right.second;
      rightOnLast_ = true;
    }
    return true;
  }

 private:
  const Triangle& t_;
  Segment l_, r_;
  int64_t y_;
  bool leftOnLast_, rightOnLast_, done_ = false;
};

// What draws the runs of a call's triangles: textured from one source or
// flat in one colour, into the destination inside the drawing area.
class RunPainter {
 public:
  // False when nothing is to be drawn.
  bool Prepare(MEMIMG* dst, const MEMIMG* src, int32_t trans, const MEMIMG* mask, uint32_t colour) {
    if (src != nullptr) {
      texelSpan_ = PrepareTexelSpan(dst, src, trans, mask, TrianglePalette, &texels_);
      if (texelSpan_ == nullptr) return false;
      bytes_ = dst->buffer->depthKind == MemImgDepth32 ? 4 : 2;
      pixels_ = dst->pixels;
      pitch_ = dst->buffer->pitch;
    } else {
      FlatTarget target;
      FlatRule rule;
      if (!GetFlatTarget(dst, &target) ||
          !PrepareFlatColor(colour, target.depth32, FlatBrightness::Table, &rule, &flat_))
        return false;
      flatSpan_ = SelectFlatSpan(target.depth32, rule, &flat_);
      bytes_ = target.depth32 ? 4 : 2;
      pixels_ = target.pixels;
      pitch_ = target.pitch;
    }
    clipLeft_ = DrawClipRect.left;
    clipTop_ = DrawClipRect.top;
    clipRight_ = DrawClipRect.right;
    clipBottom_ = DrawClipRect.bottom;
    return true;
  }

  // The pixels x0 .. x1 of the span first .. last of row y that lie inside
  // the drawing area; false when none do.
  bool Clip(int64_t y, int64_t first, int64_t last, int64_t* x0, int64_t* x1) const {
    if (y < clipTop_ || y >= clipBottom_) return false;
    *x0 = std::max(first, clipLeft_);
    *x1 = std::min(last, clipRight_ - 1);
    return *x0 <= *x1;
  }

  // Draws the pixels x0 .. x1 (inside the area) of row y of the triangle
  // with this plane.
  void Draw(const Plane& plane, int64_t y, int64_t x0, int64_t x1) const {
    const int32_t n = static_cast<int32_t>(x1 - x0 + 1);
    uint8_t* row = pixels_ + y * pitch_ + x0 * bytes_;
    if (texelSpan_ != nullptr) {
      // The run's first position afresh from the reference corner.
      const int64_t u = plane.uRef + (x0 - plane.xRef) * plane.dudx + (y - plane.yRef) * plane.dudy;
      const int64_t v = plane.vRef + (x0 - plane.xRef) * plane.dvdx + (y - plane.yRef) * plane.dvdy;
      texelSpan_(row, n, u, v, plane.dudx, plane.dvdx, texels_);
    } else {
      flatSpan_(row, n, flat_);
    }
  }

  // Whether Draw writes pixel (x, y) of the triangle with this plane: a flat
  // pixel always, a textured one when its texel is drawn.
  bool Draws(const Plane& plane, int64_t x, int64_t y) const {
    if (texelSpan_ == nullptr) return true;
    const int64_t u = plane.uRef + (x - plane.xRef) * plane.dudx + (y - plane.yRef) * plane.dudy;
    const int64_t v = plane.vRef + (x - plane.xRef) * plane.dvdx + (y - plane.yRef) * plane.dvdy;
    return texels_.drawn(u, v, texels_);
  }

 private:
  TexelContext texels_;
  TexelSpanFn texelSpan_ = nullptr;
  FlatColor flat_;
  FlatSpanFn flatSpan_ = nullptr;
  uint8_t* pixels_ = nullptr;
  int64_t pitch_ = 0, bytes_ = 0;
  int64_t clipLeft_ = 0, clipTop_ = 0, clipRight_ = 0, clipBottom_ = 0;
};

// The pixels x0 .. x1 of row y.
struct Run {
  int64_t y, x0, x1;
};

// A triangle's runs inside the drawing area, in the order it visits them.
std::vector<Run> VisibleRuns(const Triangle& t, const RunPainter& painter) {
  std::vector<Run> runs;
  RowWalk walk(t);
  int64_t y, first, last, x0, x1;
  while (walk.Next(&y, &first, &last))
    if (painter.Clip(y, first, last, &x0, &x1)) runs.push_back({y, x0, x1});
  return runs;
}

// The pixels that runs of a and of b both hold, as runs ordered by row and,
// within a row, by column, none touching another.
std::vector<Run> SharedRuns(std::vector<Run> a, std::vector<Run> b) {
  auto byRow = [](const Run& p, const Run& q) { return p.y < q.y; };
  std::stable_sort(a.begin(), a.end(), byRow);
  std::stable_sort(b.begin(), b.end(), byRow);
  std::vector<Run> shared, row;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].y < b[j].y) {
      ++i;
    } else if (b[j].y < a[i].y) {
      ++j;
    } else {
      const int64_t y = a[i].y;
      size_t iEnd = i, jEnd = j;
      while (iEnd < a.size() && a[iEnd].y == y) ++iEnd;
      while (jEnd < b.size() && b[jEnd].y == y) ++jEnd;
      row.clear();
      for (size_t p = i; p < iEnd; ++p)
        for (size_t q = j; q < jEnd; ++q) {
          const int64_t x0 = std::max(a[p].x0, b[q].x0), x1 = std::min(a[p].x1, b[q].x1);
          if (x0 <= x1) row.push_back({y, x0, x1});
        }
      std::sort(row.begin(), row.end(), [](const Run& p, const Run& q) { return p.x0 < q.x0; });
      for (const Run& r : row) {
        if (!shared.empty() && shared.back().y == y && r.x0 <= shared.back().x1 + 1)
          shared.back().x1 = std::max(shared.back().x1, r.x1);
        else
          shared.push_back(r);
      }
      i = iEnd;
      j = jEnd;
    }
  }
  return shared;
}

// Draws a triangle's runs without the shared pixels.
void DrawUnshared(const RunPainter& painter, const Plane& plane, const std::vector<Run>& runs,
                  const std::vector<Run>& shared) {
  for (const Run& run : runs) {
    auto it = std::lower_bound(shared.begin(), shared.end(), run.y,
                               [](const Run& s, int64_t y) { return s.y < y; });
    int64_t x = run.x0;
    for (; it != shared.end() && it->y == run.y && x <= run.x1; ++it) {
      if (it->x1 < x) continue;
      if (it->x0 > run.x1) break;
      if (it->x0 > x) painter.Draw(plane, run.y, x, it->x0 - 1);
      x = it->x1 + 1;
    }
    if (x <= run.x1) painter.Draw(plane, run.y, x, run.x1);
  }
}

}  // namespace

void SoftTriangle(MEMIMG* dst, const MEMIMG* src, const TriVertex* vertices, int32_t trans,
                  const MEMIMG* mask, uint32_t colour) {
  if (dst == nullptr || vertices == nullptr) return;
  Triangle t;
  if (!SetUpTriangle(vertices, src != nullptr, &t)) return;
  RunPainter painter;
  if (!painter.Prepare(dst, src, trans, mask, colour)) return;
  RowWalk walk(t);
  int64_t y, first, last, x0, x1;
  while (walk.Next(&y, &first, &last))
    if (painter.Clip(y, first, last, &x0, &x1)) painter.Draw(t.plane, y, x0, x1);
}

void SoftTrianglePair(MEMIMG* dst, const MEMIMG* src, const TriVertex* first, const TriVertex* second,
                      int32_t trans, const MEMIMG* mask, uint32_t colour) {
  if (dst == nullptr || first == nullptr || second == nullptr) return;
  Triangle a, b;
  const bool hasA = SetUpTriangle(first, src != nullptr, &a);
  const bool hasB = SetUpTriangle(second, src != nullptr, &b);
  if (!hasA && !hasB) return;
  RunPainter painter;
  if (!painter.Prepare(dst, src, trans, mask, colour)) return;
  const std::vector<Run> runsA = hasA ? VisibleRuns(a, painter) : std::vector<Run>();
  const std::vector<Run> runsB = hasB ? VisibleRuns(b, painter) : std::vector<Run>();
  const std::vector<Run> shared = SharedRuns(runsA, runsB);
  DrawUnshared(painter, a.plane, runsA, shared);
  DrawUnshared(painter, b.plane, runsB, shared);
  // A shared pixel takes what drawing the first triangle and then the second
  // would leave in a copy: the second's texel where it draws one, else the
  // first's. Runs of pixels that take the same triangle are drawn together.
  for (const Run& s : shared) {
    for (int64_t x = s.x0; x <= s.x1;) {
      const bool second = painter.Draws(b.plane, x, s.y);
      int64_t end = x;
      while (end < s.x1 && painter.Draws(b.plane, end + 1, s.y) == second) ++end;
      painter.Draw(second ? b.plane : a.plane, s.y, x, end);
      x = end + 1;
    }
  }
}
