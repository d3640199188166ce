#include <cmath>

#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_frame.h"

using namespace draw_frame;

namespace {

PixelRect CornerBox(const float* corners) {
  const float xs[4] = {corners[0], corners[2], corners[4], corners[6]};
  const float ys[4] = {corners[1], corners[3], corners[5], corners[7]};
  return BoundingBox(xs, ys, 4);
}

}  // namespace

int DrawGraphRotated(int32_t x, int32_t y, double scale, double angle, ObjectHandle handle, int32_t trans,
                     int32_t turn) {
  return DrawGraphRotatedF(static_cast<float>(x), static_cast<float>(y), scale, angle, handle, trans, turn);
}

int DrawGraphRotatedF(float x, float y, double scale, double angle, ObjectHandle handle, int32_t trans,
                      int32_t turn) {
  return DrawImage(
      handle,
      [&](const GraphRecord* graph) {
        // The four corners turned about the centre, the box widened by 5.
        const double halfW = graph->width / 2, halfH = graph->height / 2;
        const double dx[2] = {-halfW, graph->width - halfW}, dy[2] = {-halfH, graph->height - halfH};
        const double c = std::cos(angle) * scale, s = std::sin(angle) * scale;
        float corners[8];
        for (int i = 0; i < 4; ++i) {
          const double px = dx[i & 1], py = dy[i >> 1];
          corners[2 * i] = static_cast<float>(x + px * c - py * s);
          corners[2 * i + 1] = static_cast<float>(y + px * s + py * c);
        }
        const PixelRect r = CornerBox(corners);
        return PixelRect{r.left - 5, r.top - 5, r.right + 5, r.bottom + 5};
      },
      [&](GraphRecord* graph) { return G_Soft_DrawGraphRotated(x, y, scale, angle, graph, trans, turn); },
      [&](GraphRecord* graph) { return G_D3D_DrawGraphRotated(graph, x, y, scale, angle, trans, turn); });
}

int DrawGraphRotatedAbout(int32_t x, int32_t y, int32_t cx, int32_t cy, double scale, double angle,
                          ObjectHandle handle, int32_t trans, int32_t turn) {
  const GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr) return DrawSuppressed || DrawAreaEmpty ? 0 : -1;
  const double w = graph->width, h = graph->height;
  if (angle != 0) {
    const double ox = (w * 0.5 - cx) * scale, oy = (h * 0.5 - cy) * scale;
    const double rx = std::cos(angle) * ox - std::sin(angle) * oy;
    const double ry = std::sin(angle) * ox + std::cos(angle) * oy;
    return DrawGraphRotatedF(static_cast<float>(x + rx), static_cast<float>(y + ry), scale, angle, handle, trans,
                             turn);
  }
  if (scale != 1) {
    double x1 = x - cx * scale, y1 = y - cy * scale;
    double x2 = x1 + w * scale, y2 = y1 + h * scale;
    if (turn) std::swap(x1, x2);
    return DrawGraphStretchedF(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                               static_cast<float>(y2), handle, trans);
  }
  return turn ? DrawGraphMirrored(x - cx, y - cy, handle, trans) : DrawGraphAt(x - cx, y - cy, handle, trans);
}

// The public corners run round the graph (top-left, top-right, bottom-right,
// bottom-left); the glue takes them row by row (top-left, top-right,
// bottom-left, bottom-right).
int DrawGraphQuad(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4,
                  ObjectHandle handle, int32_t trans) {
  const float corners[8] = {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                            static_cast<float>(y2), static_cast<float>(x3), static_cast<float>(y3),
                            static_cast<float>(x4), static_cast<float>(y4)};
  return DrawImage(
      handle, [&](const GraphRecord*) { return CornerBox(corners); },
      [&](GraphRecord* graph) { return G_Soft_DrawGraphQuad(x1, y1, x2, y2, x4, y4, x3, y3, graph, trans); },
      [&](GraphRecord* graph) {
        const int32_t rows[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
        return G_D3D_DrawGraphQuad(graph, rows, trans);
      });
}

int DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                   ObjectHandle handle, int32_t trans) {
  const float corners[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
  return DrawImage(
      handle, [&](const GraphRecord*) { return CornerBox(corners); },
      [&](GraphRecord* graph) { return G_Soft_DrawGraphQuadF(x1, y1, x2, y2, x4, y4, x3, y3, graph, trans); },
      [&](GraphRecord* graph) { return G_D3D_DrawGraphQuadF(graph, corners, trans); });
}
