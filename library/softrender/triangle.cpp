// The triangle: its set-up in 14.18 fixed point (the texture gradients over
// the corners ordered by x, the two sides over the corners ordered by y),
// then one span per row between the sides.
//
// Edge positions and texture positions are held in 64 bits, so that no
// difference or product of in-range coordinates wraps.
#include <cstdint>
#include <utility>

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

}  // namespace

void SoftTriangle(MEMIMG* dst, const MEMIMG* src, const TriVertex* vertices, int32_t trans,
                  const MEMIMG* mask, uint32_t colour) {
  if (dst == nullptr || vertices == nullptr) return;
  // Positions beyond the 14-bit range would not fit the fixed point.
  auto inRange = [](int32_t value) {
    return value >= -kTriangleCoordinateLimit && value < kTriangleCoordinateLimit;
  };
  Corners corners;
  for (int32_t i = 0; i < 3; ++i) {
    const TriVertex& t = vertices[i];
    if (!inRange(t.x) || !inRange(t.y) || (src != nullptr && (!inRange(t.u) || !inRange(t.v)))) return;
    corners.x[i] = t.x * kFixedOne + kFixedOne / 2;
    corners.y[i] = t.y * kFixedOne + kFixedOne / 2;
    corners.u[i] = t.u * kFixedOne;
    corners.v[i] = t.v * kFixedOne;
  }
  Plane plane{};
  Side left, right;
  int32_t y;
  if (!MakePlane(vertices, corners, src != nullptr, &plane) || !MakeSides(corners, &left, &right, &y)) return;

  // What one row draws: a textured run or a flat one.
  TexelContext texels;
  TexelSpanFn texelSpan = nullptr;
  FlatColor flat;
  FlatSpanFn flatSpan = nullptr;
  int32_t bytes;
  uint8_t* pixels;
  int32_t pitch;
  if (src != nullptr) {
    texelSpan = PrepareTexelSpan(dst, src, trans, mask, TrianglePalette, &texels);
    if (texelSpan == nullptr) return;
    bytes = dst->buffer->depthKind == MemImgDepth32 ? 4 : 2;
    pixels = dst->pixels;
    pitch = dst->buffer->pitch;
  } else {
    FlatTarget target;
    FlatRule rule;
    if (!GetFlatTarget(dst, &target) ||
        !PrepareFlatColor(colour, target.depth32, FlatBrightness::Table, &rule, &flat))
      return;
    flatSpan = SelectFlatSpan(target.depth32, rule, &flat);
    bytes = target.depth32 ? 4 : 2;
    pixels = target.pixels;
    pitch = target.pitch;
  }

  const int64_t clipLeft = DrawClipRect.left, clipTop = DrawClipRect.top;
  const int64_t clipRight = DrawClipRect.right, clipBottom = DrawClipRect.bottom;
  Segment l = left.first, r = right.first;
  bool leftOnLast = !left.twoSegments, rightOnLast = !right.twoSegments;
  for (;;) {
    const int64_t xFirst = Whole(l.x), xLast = Whole(r.x);
    int64_t count = xLast - xFirst + 1, x = xFirst;
    if (x < clipLeft) {
      count -= clipLeft - x;
      x = clipLeft;
    }
    if (y >= clipTop && y < clipBottom && x < clipRight && count > 0) {
      const int32_t n = static_cast<int32_t>(count < clipRight - x ? count : clipRight - x);
      uint8_t* row = pixels + static_cast<int64_t>(y) * pitch + x * bytes;
      if (texelSpan != nullptr) {
        // The row's first position afresh from the reference corner.
        const int64_t u = plane.uRef + (x - plane.xRef) * plane.dudx + (y - plane.yRef) * plane.dudy;
        const int64_t v = plane.vRef + (x - plane.xRef) * plane.dvdx + (y - plane.yRef) * plane.dvdy;
        texelSpan(row, n, u, v, plane.dudx, plane.dvdx, texels);
      } else {
        flatSpan(row, n, flat);
      }
    }
    l.x += l.slope;
    r.x += r.slope;
    ++y;
    if (--l.rows == 0) {
      if (leftOnLast) break;
      l = left.second;
      y = left.secondRow;
      leftOnLast = true;
    }
    if (--r.rows == 0) {
      if (rightOnLast) break;
      r = right.second;
      rightOnLast = true;
    }
  }
}
