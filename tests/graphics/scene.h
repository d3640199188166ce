// One scene drawn through the public drawing calls: graphs at a point,
// stretched, rotated and on quadrilaterals, boxes, lines, circles, ellipses
// and triangles, under blend modes 0, 1 and 2 with brightness and drawing
// areas. With a reference image, each call is drawn there as well by calling
// the software renderer directly, under the same draw state.
#pragma once

#include <gtest/gtest.h>

#include "library/graphics/draw_api.h"
#include "library/softrender/soft_blit.h"
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
  }
  SetDrawBlend(0, 0);
  SetDrawBrightness(255, 255, 255);
  SetDrawClipArea(0, 0, 640, 480);
}
