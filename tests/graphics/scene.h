// One scene drawn through the public drawing calls: graphs at a point,
// stretched, rotated and on quadrilaterals, boxes, lines, circles, ellipses
// and triangles, under blend modes 0, 1 and 2 with brightness and drawing
// areas. With a reference image, each call is drawn there as well by calling
// the software renderer directly, under the same draw state.
#pragma once

#include <gtest/gtest.h>

#include "library/graphics/draw_api.h"
#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_shape.h"
#include "library/softrender/soft_triangle.h"
#include "tests/graphics/graphics_fixture.h"

struct SceneGraphs {
  ObjectHandle plain, small, alpha;
};

// Graphs of the screen's depth: two plain ones with transparent pixels and
// one with an alpha channel.
inline SceneGraphs MakeSceneGraphs() {
  SceneGraphs g;
  g.plain = PatternGraph(48, 32, 1);
  g.small = PatternGraph(19, 13, 2);
  SetEmptyGraphAlphaFlag(1);
  g.alpha = PatternGraph(24, 24, 3);
  SetEmptyGraphAlphaFlag(0);
  return g;
}

inline const MEMIMG* SceneImage(ObjectHandle graph) { return &GetGraphRecordChecked(graph)->image; }

// Draws the scene on the current draw target (the back screen), and on
// reference when it is given.
inline void DrawScene(const SceneGraphs& g, MEMIMG* reference) {
  auto same = [&](int apiResult) { EXPECT_EQ(apiResult, 0); };
  const struct {
    int mode, param, red, green, blue;
    PixelRect area;
  } passes[] = {
      {0, 255, 255, 255, 255, {0, 0, 640, 480}},
      {1, 160, 255, 200, 120, {20, 10, 600, 470}},
      {2, 90, 180, 255, 255, {100, 60, 420, 300}},
  };
  int32_t shift = 0;
  for (const auto& p : passes) {
    SetDrawBlend(p.mode, p.param);
    SetDrawBrightness(p.red, p.green, p.blue);
    SetDrawClipArea(p.area.left, p.area.top, p.area.right, p.area.bottom);
    const int32_t s = shift;
    shift += 37;

    same(DrawGraphAt(10 + s, 15 + s, g.plain, 1));
    same(DrawGraphAt(80 + s, 5 + s, g.alpha, 1));
    same(DrawGraphAt(-5 + s, 200, g.small, 0));
    const int32_t stretch[4] = {300 + s, 40, 420 + s, 130};
    same(DrawGraphStretched(stretch[0], stretch[1], stretch[2], stretch[3], g.plain, 1));
    const int32_t mirror[4] = {520, 300 - s, 440, 360 - s};
    same(DrawGraphStretched(mirror[0], mirror[1], mirror[2], mirror[3], g.small, 1));
    if (reference != nullptr) {
      SoftBlit(reference, SceneImage(g.plain), 10 + s, 15 + s, 1, nullptr);
      SoftBlit(reference, SceneImage(g.alpha), 80 + s, 5 + s, 1, nullptr);
      SoftBlit(reference, SceneImage(g.small), -5 + s, 200, 0, nullptr);
      SoftBlitStretch(reference, SceneImage(g.plain), stretch, 1, nullptr);
      SoftBlitStretch(reference, SceneImage(g.small), mirror, 1, nullptr);
    }
    const uint32_t colour = MakeScreenColor(40 + s, 200, 90);
    const float turnX = 200.5f + s, turnY = 330.7f;
    same(DrawGraphRotated(150 + s, 250, 1.5, 0.6, g.plain, 1, 0));
    same(DrawGraphRotatedF(turnX, turnY, 0.8, -2.1, g.small, 1, 1));
    same(DrawGraphQuad(400, 200 + s, 470, 210 + s, 460, 280 + s, 390, 260 + s, g.plain, 1));
    same(FillRectangleShape(500 - s, 20, 560 - s, 70, colour));
    same(FrameRectangleShape(30, 400 - s, 90, 440 - s, colour));
    same(DrawLineShape(5, 470, 630 - s, 300, colour, 1));
    same(DrawCircleShape(320, 240, 40 + s / 4, colour, 1));
    same(DrawCircleShape(100, 100, 25, colour, 0));
    same(DrawEllipseShape(540, 400, 60, 25 + s / 8, colour, 1));
    same(DrawEllipseShape(250, 420, 30, 50, colour, 0));
    same(DrawTriangleShape(10, 300 + s, 120, 280, 60, 380, colour, 1));
    same(DrawTriangleShape(600, 100, 630, 200, 560, 170 - s, colour, 0));
    if (reference != nullptr) {
      SoftBlitRotate(reference, SceneImage(g.plain), 150 + s, 250, 0.6f, 1.5f, 1, 0, nullptr);
      SoftBlitRotate(reference, SceneImage(g.small), static_cast<int32_t>(turnX), static_cast<int32_t>(turnY),
                     -2.1f, 0.8f, 1, 1, nullptr);
      const int32_t w = 48, h = 32;
      const TriVertex quad[4] = {{400, 200 + s, 0, 0}, {470, 210 + s, w, 0}, {390, 260 + s, 0, h}, {460, 280 + s, w, h}};
      SoftTriangle(reference, SceneImage(g.plain), &quad[0], 1, nullptr, 0);
      SoftTriangle(reference, SceneImage(g.plain), &quad[1], 1, nullptr, 0);
      const int32_t box[4] = {500 - s, 20, 560 - s, 70};
      SoftFillBox(reference, box, colour);
      const LineRecord frame[4] = {{30, 400 - s, 89, 400 - s, colour, p.param},
                                   {89, 400 - s, 89, 439 - s, colour, p.param},
                                   {89, 439 - s, 30, 439 - s, colour, p.param},
                                   {30, 439 - s, 30, 400 - s, colour, p.param}};
      SoftLineList(reference, frame, 4);
      SoftLine(reference, 5, 470, 630 - s, 300, colour);
      SoftCircle(reference, 320, 240, 40 + s / 4, colour, 1);
      SoftCircle(reference, 100, 100, 25, colour, 0);
      SoftEllipse(reference, 540, 400, 60, 25 + s / 8, colour, 1);
      SoftEllipse(reference, 250, 420, 30, 50, colour, 0);
      const TriVertex triangle[3] = {{10, 300 + s, 0, 0}, {120, 280, 0, 0}, {60, 380, 0, 0}};
      SoftTriangle(reference, nullptr, triangle, 0, nullptr, colour);
      const LineRecord edges[3] = {{600, 100, 630, 200, colour, p.param},
                                   {630, 200, 560, 170 - s, colour, p.param},
                                   {560, 170 - s, 600, 100, colour, p.param}};
      SoftLineList(reference, edges, 3);
    }
  }
  SetDrawBlend(0, 0);
  SetDrawBrightness(255, 255, 255);
  SetDrawClipArea(0, 0, 640, 480);
}
