#include <cmath>

#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_frame.h"
#include "library/softrender/soft_shape.h"

using namespace draw_frame;

int DrawRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t fill) {
  return fill ? FillRectangleShape(x1, y1, x2, y2, colour) : FrameRectangleShape(x1, y1, x2, y2, colour);
}

int FillRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  return DrawShape([&]() { return PixelRect{x1, y1, x2, y2}; },
                   [&]() { return G_Soft_FillRectangle(x1, y1, x2, y2, colour); },
                   [&]() { return G_D3D_FillRectangle(x1, y1, x2, y2, colour); });
}

int FrameRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  return DrawShape([&]() { return PixelRect{x1, y1, x2, y2}; },
                   [&]() { return G_Soft_FrameRectangle(x1, y1, x2, y2, colour); },
                   [&]() { return G_D3D_FrameRectangle(x1, y1, x2, y2, colour); });
}

int DrawLineShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t thickness) {
  if (thickness > 1) return DrawThickLine(colour, x1, y1, x2, y2, thickness);
  return DrawShape(
      [&]() {
        const PixelRect r = Ordered(x1, y1, x2, y2);
        return PixelRect{r.left, r.top, AddClamped(r.right, 1), AddClamped(r.bottom, 1)};
      },
      [&]() {
        SoftLine(SoftDrawDest(), x1, y1, x2, y2, colour);
        return 0;
      },
      [&]() { return G_D3D_DrawLine(x1, y1, x2, y2, colour); });
}

int DrawThickLine(uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness) {
  // The perpendicular of the line, half the thickness long.
  const float dx = static_cast<float>(x2) - static_cast<float>(x1);
  const float dy = static_cast<float>(y2) - static_cast<float>(y1);
  const float length = std::sqrt(dx * dx + dy * dy);
  const float px = length > 0 ? -dy / length * static_cast<float>(thickness) * 0.5f : 0;
  const float py = length > 0 ? dx / length * static_cast<float>(thickness) * 0.5f : 0;
  const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
  const float fx2 = static_cast<float>(x2), fy2 = static_cast<float>(y2);
  const float corners[8] = {fx1 - px, fy1 - py, fx2 - px, fy2 - py, fx2 + px, fy2 + py, fx1 + px, fy1 + py};
  return DrawShape(
      [&]() {
        const float xs[4] = {corners[0], corners[2], corners[4], corners[6]};
        const float ys[4] = {corners[1], corners[3], corners[5], corners[7]};
        const PixelRect r = BoundingBox(xs, ys, 4);
        return PixelRect{r.left, r.top, AddClamped(r.right, 1), AddClamped(r.bottom, 1)};
      },
      [&]() {
        int32_t points[8];
        for (int i = 0; i < 8; ++i) points[i] = Truncate(corners[i]);
        return G_Soft_DrawQuadShape(points, colour, 1);
      },
      [&]() { return G_D3D_DrawThickLine(colour, corners); });
}

int DrawCircleShape(int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill) {
  if (r < 0) return 0;
  return DrawShape(
      [&]() {
        return PixelRect{AddClamped(x, -r - 1), AddClamped(y, -r - 1), AddClamped(x, AddClamped(r, 1)),
                         AddClamped(y, AddClamped(r, 1))};
      },
      [&]() {
        SoftCircle(SoftDrawDest(), x, y, r, colour, fill);
        return 0;
      },
      [&]() { return G_D3D_DrawCircle(x, y, r, colour, fill); });
}

int DrawEllipseShape(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill) {
  if (rx < 0 || ry < 0) return 0;
  return DrawShape(
      [&]() {
        return PixelRect{AddClamped(x, -rx - 1), AddClamped(y, -ry - 1), AddClamped(x, AddClamped(rx, 1)),
                         AddClamped(y, AddClamped(ry, 1))};
      },
      [&]() { return G_Soft_DrawEllipse(x, y, rx, ry, colour, fill); },
      [&]() { return G_D3D_DrawEllipse(x, y, rx, ry, colour, fill); });
}

int DrawTriangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                      int32_t fill) {
  return DrawShape(
      [&]() {
        const float xs[3] = {static_cast<float>(x1), static_cast<float>(x2), static_cast<float>(x3)};
        const float ys[3] = {static_cast<float>(y1), static_cast<float>(y2), static_cast<float>(y3)};
        return BoundingBox(xs, ys, 3);
      },
      [&]() { return G_Soft_DrawTriangle(x1, y1, x2, y2, x3, y3, colour, fill); },
      [&]() { return G_D3D_DrawTriangle(x1, y1, x2, y2, x3, y3, colour, fill); });
}

int FillGraphWithColor(ObjectHandle handle, int32_t red, int32_t green, int32_t blue, int32_t alpha) {
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface == nullptr) return -1;
  auto clamp = [](int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  red = clamp(red);
  green = clamp(green);
  blue = clamp(blue);
  alpha = clamp(alpha);
  if (graph->surface->request.hardware) {
    if (!graph->surface->request.drawable) return 0;
    return G_D3D_FillGraph(graph, static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(red) << 16 |
                                      static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue));
  }
  // The whole graph, whatever the drawing area of the draw target, in the
  // graph's own pixel format.
  const PixelRect savedArea = DrawClipRect;
  DrawClipRect = {0, 0, graph->width, graph->height};
  const int32_t box[4] = {0, 0, graph->width, graph->height};
  DropMemImgDerivedData(&graph->image);
  SoftFillBox(&graph->image, box, MakeFormatColor(graph->image.buffer->format, red, green, blue, 0));
  DrawClipRect = savedArea;
  return 0;
}
