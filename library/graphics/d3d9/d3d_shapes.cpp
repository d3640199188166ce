// The shapes on Direct3D: untextured, drawn with the blend mode, parameter
// and brightness of the draw settings. Boxes, lines and triangles go into the
// batch; circles and ellipses are stepped on the processor and drawn at once
// as points (outline) or horizontal spans (filled).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "library/core/memory.h"
#include "library/core/startup.h"
#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"

namespace {

constexpr DWORD kColourFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// The scene open and the untextured state prepared; -1 without a device.
int BeginShape() {
  if (!G_D3D_CanDraw()) return -1;
  G_D3D_BeginScene();
  G_D3D_SetDrawTexture(nullptr);
  G_D3D_PrepareDrawState(nullptr, nullptr, DrawPrepModulate);
  return 0;
}

BatchVertexColour* Reserve(uint32_t type, int32_t n) {
  return reinterpret_cast<BatchVertexColour*>(G_D3D_ReserveBatchVertices(type, n));
}

void Put(BatchVertexColour* v, float x, float y, uint32_t colour) {
  v->x = x;
  v->y = y;
  v->z = Draw2DDepth;
  v->diffuse = colour;
}

// A box (right and bottom exclusive) as two triangles.
void PutBox(BatchVertexColour* v, float left, float top, float right, float bottom, uint32_t colour) {
  Put(v + 0, left, top, colour);
  Put(v + 1, right, top, colour);
  Put(v + 2, left, bottom, colour);
  Put(v + 3, right, bottom, colour);
  Put(v + 4, left, bottom, colour);
  Put(v + 5, right, top, colour);
}

// Points and spans of a circle or an ellipse, drawn straight from a local
// buffer in groups of 40 points or 10 lines.
class ShapeRun {
 public:
  ShapeRun(uint32_t type, uint32_t colour) : type_(type) {
    for (BatchVertexColour& v : buffer_) {
      v.z = Draw2DDepth;
      v.rhw = 1.0f;
      v.diffuse = colour;
    }
  }
  ~ShapeRun() { Draw(); }
  ShapeRun(const ShapeRun&) = delete;
  ShapeRun& operator=(const ShapeRun&) = delete;

  void Point(int32_t x, int32_t y) {
    const PixelRect& c = DrawClipRect;
    if (x < 0 || x > c.right || y < c.top || y > c.bottom) return;
    Add(static_cast<float>(x), static_cast<float>(y));
  }
  void Span(int32_t left, int32_t right, int32_t row) {
    Add(static_cast<float>(left), static_cast<float>(row));
    Add(static_cast<float>(right + 1), static_cast<float>(row));
  }

 private:
  void Add(float x, float y) {
    buffer_[count_].x = x;
    buffer_[count_].y = y;
    if (++count_ == 40) Draw();
  }
  void Draw() {
    const UINT primitives = static_cast<UINT>(type_ == D3DPT_LINELIST ? count_ / 2 : count_);
    if (primitives > 0 && Direct3DDevice != nullptr) {
      if (VertexBatch.lastFvf != kColourFvf) {
        Direct3DDevice->SetFVF(kColourFvf);
        VertexBatch.lastFvf = kColourFvf;
      }
      if (!VertexBatch.skip) Direct3DDevice->DrawPrimitiveUP(type_, primitives, buffer_, sizeof(BatchVertexColour));
    }
    count_ = 0;
  }
  uint32_t type_;
  BatchVertexColour buffer_[40];
  int32_t count_ = 0;
};

// The widest span of each row of the drawing area that a filled shape
// reaches; every row is drawn once.
class RowSpans {
 public:
  explicit RowSpans(const char* failure) : top_(DrawClipRect.top), rows_(DrawClipRect.bottom - DrawClipRect.top) {
    half_ = static_cast<int32_t*>(TrackedAlloc(sizeof(int32_t) * static_cast<size_t>(std::max(rows_, 1)), __FILE__,
                                               __LINE__));
    if (half_ == nullptr) FatalErrorExit(failure);
    for (int32_t i = 0; i < rows_; ++i) half_[i] = -1;
  }
  ~RowSpans() { TrackedFree(half_); }
  RowSpans(const RowSpans&) = delete;
  RowSpans& operator=(const RowSpans&) = delete;

  void Reach(int32_t row, int32_t half) {
    const int32_t i = row - top_;
    if (i >= 0 && i < rows_ && half > half_[i]) half_[i] = half;
  }
  void Draw(int32_t cx, uint32_t colour) {
    ShapeRun run(D3DPT_LINELIST, colour);
    const PixelRect& c = DrawClipRect;
    for (int32_t i = 0; i < rows_; ++i) {
      if (half_[i] < 0) continue;
      const int64_t left = static_cast<int64_t>(cx) - half_[i], right = static_cast<int64_t>(cx) + half_[i];
      if (right < c.left || left >= c.right) continue;
      run.Span(static_cast<int32_t>(std::max<int64_t>(left, c.left)),
               static_cast<int32_t>(std::min<int64_t>(right, c.right - 1)), top_ + i);
    }
  }

 private:
  int32_t top_, rows_;
  int32_t* half_;
};

const char* kCircleMemory = "メモリの確保に失敗しました in G_D3D_DrawCircle";

// Radii beyond any target: nothing of such a shape is stepped, so that a
// wild radius costs no time.
constexpr int32_t kLargestRadius = 1 << 20;

}  // namespace

uint32_t ShapeVertexColour(uint32_t colour) {
  int32_t r = 0, g = 0, b = 0;
  SplitScreenColor(colour, &r, &g, &b);
  const uint32_t packed = PackedDrawColor;
  const uint32_t pr = (packed >> 16 & 0xFF) * static_cast<uint32_t>(r) / 255;
  const uint32_t pg = (packed >> 8 & 0xFF) * static_cast<uint32_t>(g) / 255;
  const uint32_t pb = (packed & 0xFF) * static_cast<uint32_t>(b) / 255;
  return (packed & 0xFF000000u) | pr << 16 | pg << 8 | pb;
}

int G_D3D_FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (BeginShape() != 0) return -1;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  PixelRect r = {x1, y1, x2, y2};
  ClipRectToArea(&r, &DrawClipRect);
  if (r.left >= r.right || r.top >= r.bottom) return 0;
  BatchVertexColour* v = Reserve(D3DPT_TRIANGLELIST, 6);
  if (v == nullptr) return 0;
  PutBox(v, static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
         static_cast<float>(r.bottom), ShapeVertexColour(colour));
  return 0;
}

int G_D3D_FrameRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (BeginShape() != 0) return -1;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  BatchVertexColour* v = Reserve(D3DPT_TRIANGLELIST, 24);
  if (v == nullptr) return 0;
  const uint32_t c = ShapeVertexColour(colour);
  const float l = static_cast<float>(x1), t = static_cast<float>(y1), r = static_cast<float>(x2),
              b = static_cast<float>(y2);
  PutBox(v, l, t, r, t + 1, c);
  PutBox(v + 6, r - 1, t + 1, r, b, c);
  PutBox(v + 12, l, t + 1, l + 1, b, c);
  PutBox(v + 18, l + 1, b - 1, r - 1, b, c);
  return 0;
}

int G_D3D_DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (BeginShape() != 0) return -1;
  if (x1 == x2 && y1 == y2) return 0;
  BatchVertexColour* v = Reserve(D3DPT_LINELIST, 2);
  if (v == nullptr) return 0;
  float ex = static_cast<float>(x2), ey = static_cast<float>(y2);
  // The end point is drawn by no line: a straight line stops just before it.
  if (x1 == x2) ey += y1 < y2 ? -0.1f : 0.1f;
  if (y1 == y2) ex += x1 < x2 ? -0.1f : 0.1f;
  const uint32_t c = ShapeVertexColour(colour);
  Put(v, static_cast<float>(x1), static_cast<float>(y1), c);
  Put(v + 1, ex, ey, c);
  return 0;
}

int G_D3D_DrawThickLine(uint32_t colour, const float corners[8]) {
  if (!G_D3D_CanDraw()) return -1;
  int32_t r = 0, g = 0, b = 0;
  SplitScreenColor(colour, &r, &g, &b);
  const uint32_t c = 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
                     static_cast<uint32_t>(b);
  // Corners round the outline: the quad's top-left, top-right, bottom-right
  // and bottom-left.
  static const int kOrder[6] = {0, 1, 3, 2, 3, 1};
  BatchVertexTextured v[6];
  for (int i = 0; i < 6; ++i) {
    v[i] = {corners[2 * kOrder[i]], corners[2 * kOrder[i] + 1], Draw2DDepth, 1.0f, c, 0.0f, 0.0f};
  }
  return G_D3D_DrawPolygonList(nullptr, v, 6, D3DPT_TRIANGLELIST, 0, 0, 0);
}

int G_D3D_DrawCircle(int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill) {
  if (BeginShape() != 0) return -1;
  G_D3D_FlushVertexBatch();
  if (r > kLargestRadius) return 0;
  const uint32_t c = ShapeVertexColour(colour);
  // Midpoint stepping: hy runs down from r while i runs up.
  int32_t d = 3 - 2 * r, hy = r;
  if (d >= 0) {
    hy = r - 1;
    d -= 4 * (r - 1);
  }
  d += 6;
  if (!fill) {
    ShapeRun run(D3DPT_POINTLIST, c);
    run.Point(x - r, y);
    run.Point(x + r, y);
    run.Point(x, y + r);
    run.Point(x, y - r);
    for (int32_t i = 1; i <= hy;) {
      run.Point(x - hy, y + i);
      run.Point(x + hy, y + i);
      run.Point(x + i, y + hy);
      run.Point(x - i, y + hy);
      run.Point(x + hy, y - i);
      run.Point(x - hy, y - i);
      run.Point(x + i, y - hy);
      run.Point(x - i, y - hy);
      if (d >= 0) {
        --hy;
        d -= 4 * hy;
      }
      ++i;
      d += 4 * i + 2;
    }
    return 0;
  }
  RowSpans spans(kCircleMemory);
  spans.Reach(y, r);
  spans.Reach(y + r, 0);
  spans.Reach(y - r, 0);
  for (int32_t i = 1; i <= hy;) {
    spans.Reach(y + i, hy);
    spans.Reach(y - i, hy);
    spans.Reach(y + hy, i);
    spans.Reach(y - hy, i);
    if (d >= 0) {
      --hy;
      d -= 4 * hy;
    }
    ++i;
    d += 4 * i + 2;
  }
  spans.Draw(x, c);
  return 0;
}

int G_D3D_DrawEllipse(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill) {
  if (!G_D3D_CanDraw() || rx == 0 || ry == 0) return -1;
  if (BeginShape() != 0) return -1;
  G_D3D_FlushVertexBatch();
  const int64_t absX = std::llabs(rx), absY = std::llabs(ry);
  if (absX > kLargestRadius || absY > kLargestRadius) return 0;
  rx = static_cast<int32_t>(absX);
  ry = static_cast<int32_t>(absY);
  const uint32_t c = ShapeVertexColour(colour);
  // The quarter from (rx, 0) to (0, ry) by midpoint stepping: steps along y
  // while the curve is steep, then along x. Values are kept four times over
  // so that they stay whole.
  auto trace = [&](auto plot) {
    const int64_t a2 = static_cast<int64_t>(rx) * rx, b2 = static_cast<int64_t>(ry) * ry;
    int64_t hx = rx, hy = 0;
    int64_t dx = 2 * b2 * hx, dy = 0;
    int64_t e = 4 * a2 - 4 * b2 * rx + b2;  // at (hx - 1/2, hy + 1)
    while (dy <= dx) {
      plot(static_cast<int32_t>(hx), static_cast<int32_t>(hy));
      ++hy;
      dy += 2 * a2;
      if (e < 0) {
        e += 4 * (dy + a2);
      } else {
        --hx;
        dx -= 2 * b2;
        e += 4 * (dy - dx + a2);
      }
    }
    e = a2 * (2 * hy + 1) * (2 * hy + 1) + 4 * b2 * (hx - 1) * (hx - 1) - 4 * a2 * b2;
    while (hx >= 0) {
      plot(static_cast<int32_t>(hx), static_cast<int32_t>(hy));
      --hx;
      dx -= 2 * b2;
      if (e > 0) {
        e += 4 * (b2 - dx);
      } else {
        ++hy;
        dy += 2 * a2;
        e += 4 * (dy - dx + b2);
      }
    }
  };
  if (!fill) {
    ShapeRun run(D3DPT_POINTLIST, c);
    run.Point(x - rx, y);
    run.Point(x + rx, y);
    int32_t lastX = rx, lastY = 0;
    trace([&](int32_t hx, int32_t hy) {
      if (hx == lastX && hy == lastY) return;
      lastX = hx;
      lastY = hy;
      run.Point(x - hx, y + hy);
      if (hx != 0) run.Point(x + hx, y + hy);
      if (hy != 0) {
        run.Point(x - hx, y - hy);
        if (hx != 0) run.Point(x + hx, y - hy);
      }
    });
    return 0;
  }
  RowSpans spans(kCircleMemory);
  spans.Reach(y, rx);
  trace([&](int32_t hx, int32_t hy) {
    spans.Reach(y + hy, hx);
    spans.Reach(y - hy, hx);
  });
  spans.Draw(x, c);
  return 0;
}

int G_D3D_DrawTriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                       int32_t fill) {
  if (BeginShape() != 0) return -1;
  const uint32_t c = ShapeVertexColour(colour);
  const float p[3][2] = {{static_cast<float>(x1), static_cast<float>(y1)},
                         {static_cast<float>(x2), static_cast<float>(y2)},
                         {static_cast<float>(x3), static_cast<float>(y3)}};
  if (fill) {
    BatchVertexColour* v = Reserve(D3DPT_TRIANGLELIST, 3);
    if (v == nullptr) return 0;
    for (int i = 0; i < 3; ++i) Put(v + i, p[i][0], p[i][1], c);
    return 0;
  }
  BatchVertexColour* v = Reserve(D3DPT_LINELIST, 6);
  if (v == nullptr) return 0;
  for (int i = 0; i < 3; ++i) {
    Put(v + 2 * i, p[i][0], p[i][1], c);
    Put(v + 2 * i + 1, p[(i + 1) % 3][0], p[(i + 1) % 3][1], c);
  }
  return 0;
}
