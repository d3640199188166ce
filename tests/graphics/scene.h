// One scene drawn through the public drawing calls: graphs at a point,
// stretched, rotated and on quadrilaterals, boxes, lines, circles, ellipses
// and triangles, under blend modes 0, 1 and 2 with brightness and drawing
// areas. With a reference image, each call is drawn there as well by calling
// the software renderer directly, under the same draw state. An observer
// sees each call after it is made (the Direct3D scene test checks the draws
// it recorded).
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "library/graphics/draw_api.h"
#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_shape.h"
#include "library/softrender/soft_triangle.h"
#include "tests/graphics/graphics_fixture.h"

struct SceneGraphs {
  ObjectHandle plain, small, alpha;
};

// The image of a pattern graph: the pattern, and a hole of the transparent
// colour (black). 32-bit ARGB with an alpha ramp when alpha is set, else in
// the screen's depth.
inline void PatternImage(GraphImage* image, int width, int height, uint32_t seed, bool alpha) {
  GraphImage model{};
  model.format = *GetStandardColorFormat(alpha || GetScreenColorBits() != 16 ? ColorKind32 : ColorKind16, alpha, 0);
  CreateGraphImageWithFormat(width, height, &model, image);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t h = Hash(x, y, seed);
      const bool hole = x >= width / 3 && x < width / 3 + 2 && y >= height / 3 && y < height / 3 + 2;
      // Never black outside the hole, so that only the hole is transparent.
      SetGraphImagePixel(image, x, y, hole ? 0 : h & 0xFF, hole ? 0 : h >> 8 & 0xFF, hole ? 0 : (h >> 16 & 0xFF) | 0x80,
                         alpha ? x * 255 / (width - 1) : 255);
    }
}

// The scene's graphs made from pattern images, as on Direct3D; on either
// renderer they then hold the same pixels.
inline SceneGraphs MakeSceneGraphsFromImages() {
  SceneGraphs g;
  auto make = [](int w, int h, uint32_t seed, bool alpha) {
    GraphImage image{};
    PatternImage(&image, w, h, seed, alpha);
    const ObjectHandle graph = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
    ReleaseGraphImage(&image);
    return graph;
  };
  g.plain = make(48, 32, 1, false);
  g.small = make(19, 13, 2, false);
  g.alpha = make(24, 24, 3, true);
  return g;
}

// Graphs of the screen's depth: two plain ones with transparent pixels and
// one with an alpha channel. On the software renderer their images are
// painted directly; on Direct3D they are made from pattern images.
inline SceneGraphs MakeSceneGraphs() {
  if (HardwareActive) return MakeSceneGraphsFromImages();
  SceneGraphs g;
  g.plain = PatternGraph(48, 32, 1);
  g.small = PatternGraph(19, 13, 2);
  SetEmptyGraphAlphaFlag(1);
  g.alpha = PatternGraph(24, 24, 3);
  SetEmptyGraphAlphaFlag(0);
  return g;
}

inline const MEMIMG* SceneImage(ObjectHandle graph) { return &GetGraphRecordChecked(graph)->image; }

// One pass of the scene: the draw state its calls are made under.
struct ScenePass {
  int mode, param, red, green, blue;
  PixelRect area;
};

// The public calls of the scene, by family.
enum class SceneCallKind {
  GraphAt,
  Stretched,
  Rotated,
  RotatedF,
  Quad,
  FillBox,
  FrameBox,
  Line,
  Circle,
  Ellipse,
  Triangle,
};

// One call: its kind, its graph (or -1), trans and turn flags, its integer
// arguments (corners, centre and radii), its float position, scale and
// angle, its colour and fill flag.
struct SceneCall {
  SceneCallKind kind;
  ObjectHandle graph;
  int32_t trans, turn;
  std::vector<int32_t> ints;
  float fx, fy;
  double scale, angle;
  uint32_t colour;
  int32_t fill;
};

inline std::vector<ScenePass> ScenePasses() {
  return {
      {0, 255, 255, 255, 255, {0, 0, 640, 480}},
      {1, 160, 255, 200, 120, {20, 10, 600, 470}},
      {2, 90, 180, 255, 255, {100, 60, 420, 300}},
  };
}

// The calls of pass `index`, in the order they are made.
inline std::vector<SceneCall> SceneCalls(const SceneGraphs& g, int index) {
  const int32_t s = 37 * index;
  const uint32_t colour = MakeScreenColor(40 + s, 200, 90);
  using K = SceneCallKind;
  auto graph = [](K kind, ObjectHandle h, int32_t trans, std::vector<int32_t> ints) {
    return SceneCall{kind, h, trans, 0, std::move(ints), 0, 0, 1.0, 0.0, 0, 0};
  };
  auto shape = [&](K kind, std::vector<int32_t> ints, int32_t fill) {
    return SceneCall{kind, -1, 0, 0, std::move(ints), 0, 0, 1.0, 0.0, colour, fill};
  };
  return {
      graph(K::GraphAt, g.plain, 1, {10 + s, 15 + s}),
      graph(K::GraphAt, g.alpha, 1, {80 + s, 5 + s}),
      graph(K::GraphAt, g.small, 0, {-5 + s, 200}),
      graph(K::Stretched, g.plain, 1, {300 + s, 40, 420 + s, 130}),
      graph(K::Stretched, g.small, 1, {520, 300 - s, 440, 360 - s}),
      SceneCall{K::Rotated, g.plain, 1, 0, {150 + s, 250}, 0, 0, 1.5, 0.6, 0, 0},
      SceneCall{K::RotatedF, g.small, 1, 1, {}, 200.5f + s, 330.7f, 0.8, -2.1, 0, 0},
      graph(K::Quad, g.plain, 1, {400, 200 + s, 470, 210 + s, 460, 280 + s, 390, 260 + s}),
      shape(K::FillBox, {500 - s, 20, 560 - s, 70}, 1),
      shape(K::FrameBox, {30, 400 - s, 90, 440 - s}, 0),
      shape(K::Line, {5, 470, 630 - s, 300}, 0),
      shape(K::Circle, {320, 240, 40 + s / 4}, 1),
      shape(K::Circle, {100, 100, 25}, 0),
      shape(K::Ellipse, {540, 400, 60, 25 + s / 8}, 1),
      shape(K::Ellipse, {250, 420, 30, 50}, 0),
      shape(K::Triangle, {10, 300 + s, 120, 280, 60, 380}, 1),
      shape(K::Triangle, {600, 100, 630, 200, 560, 170 - s}, 0),
  };
}

// The call through the public drawing API.
inline int DrawSceneCall(const SceneCall& c) {
  const std::vector<int32_t>& v = c.ints;
  switch (c.kind) {
    case SceneCallKind::GraphAt:
      return DrawGraphAt(v[0], v[1], c.graph, c.trans);
    case SceneCallKind::Stretched:
      return DrawGraphStretched(v[0], v[1], v[2], v[3], c.graph, c.trans);
    case SceneCallKind::Rotated:
      return DrawGraphRotated(v[0], v[1], c.scale, c.angle, c.graph, c.trans, c.turn);
    case SceneCallKind::RotatedF:
      return DrawGraphRotatedF(c.fx, c.fy, c.scale, c.angle, c.graph, c.trans, c.turn);
    case SceneCallKind::Quad:
      return DrawGraphQuad(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], c.graph, c.trans);
    case SceneCallKind::FillBox:
      return FillRectangleShape(v[0], v[1], v[2], v[3], c.colour);
    case SceneCallKind::FrameBox:
      return FrameRectangleShape(v[0], v[1], v[2], v[3], c.colour);
    case SceneCallKind::Line:
      return DrawLineShape(v[0], v[1], v[2], v[3], c.colour, 1);
    case SceneCallKind::Circle:
      return DrawCircleShape(v[0], v[1], v[2], c.colour, c.fill);
    case SceneCallKind::Ellipse:
      return DrawEllipseShape(v[0], v[1], v[2], v[3], c.colour, c.fill);
    case SceneCallKind::Triangle:
      return DrawTriangleShape(v[0], v[1], v[2], v[3], v[4], v[5], c.colour, c.fill);
  }
  return -1;
}

// The same call made on the software renderer directly.
inline void DrawSceneReference(const SceneCall& c, int32_t param, MEMIMG* reference) {
  const std::vector<int32_t>& v = c.ints;
  const uint32_t colour = c.colour;
  switch (c.kind) {
    case SceneCallKind::GraphAt:
      SoftBlit(reference, SceneImage(c.graph), v[0], v[1], c.trans, nullptr);
      break;
    case SceneCallKind::Stretched:
      SoftBlitStretch(reference, SceneImage(c.graph), v.data(), c.trans, nullptr);
      break;
    case SceneCallKind::Rotated:
      SoftBlitRotate(reference, SceneImage(c.graph), v[0], v[1], static_cast<float>(c.angle),
                     static_cast<float>(c.scale), c.trans, c.turn, nullptr);
      break;
    case SceneCallKind::RotatedF:
      SoftBlitRotate(reference, SceneImage(c.graph), static_cast<int32_t>(c.fx), static_cast<int32_t>(c.fy),
                     static_cast<float>(c.angle), static_cast<float>(c.scale), c.trans, c.turn, nullptr);
      break;
    case SceneCallKind::Quad: {
      const GraphRecord* graph = GetGraphRecordChecked(c.graph);
      const int32_t w = graph->width, h = graph->height;
      const TriVertex quad[4] = {{v[0], v[1], 0, 0}, {v[2], v[3], w, 0}, {v[6], v[7], 0, h}, {v[4], v[5], w, h}};
      SoftTrianglePair(reference, SceneImage(c.graph), &quad[0], &quad[1], c.trans, nullptr, 0);
      break;
    }
    case SceneCallKind::FillBox:
      SoftFillBox(reference, v.data(), colour);
      break;
    case SceneCallKind::FrameBox: {
      const int32_t x1 = v[0], y1 = v[1], x2 = v[2] - 1, y2 = v[3] - 1;
      const LineRecord frame[4] = {{x1, y1, x2, y1, colour, param},
                                   {x2, y1, x2, y2, colour, param},
                                   {x2, y2, x1, y2, colour, param},
                                   {x1, y2, x1, y1, colour, param}};
      SoftLineList(reference, frame, 4);
      break;
    }
    case SceneCallKind::Line:
      SoftLine(reference, v[0], v[1], v[2], v[3], colour);
      break;
    case SceneCallKind::Circle:
      SoftCircle(reference, v[0], v[1], v[2], colour, c.fill);
      break;
    case SceneCallKind::Ellipse:
      SoftEllipse(reference, v[0], v[1], v[2], v[3], colour, c.fill);
      break;
    case SceneCallKind::Triangle:
      if (c.fill) {
        const TriVertex triangle[3] = {{v[0], v[1], 0, 0}, {v[2], v[3], 0, 0}, {v[4], v[5], 0, 0}};
        SoftTriangle(reference, nullptr, triangle, 0, nullptr, colour);
      } else {
        const LineRecord edges[3] = {{v[0], v[1], v[2], v[3], colour, param},
                                     {v[2], v[3], v[4], v[5], colour, param},
                                     {v[4], v[5], v[0], v[1], colour, param}};
        SoftLineList(reference, edges, 3);
      }
      break;
  }
}

// Sees each call of the scene just after it was made.
struct SceneObserver {
  virtual ~SceneObserver() = default;
  virtual void Called(const ScenePass& pass, const SceneCall& call) = 0;
};

// Draws the scene on the current draw target (the back screen), and on
// reference when it is given.
inline void DrawScene(const SceneGraphs& g, MEMIMG* reference, SceneObserver* observer = nullptr) {
  const std::vector<ScenePass> passes = ScenePasses();
  for (size_t i = 0; i < passes.size(); ++i) {
    const ScenePass& p = passes[i];
    SetDrawBlend(p.mode, p.param);
    SetDrawBrightness(p.red, p.green, p.blue);
    SetDrawClipArea(p.area.left, p.area.top, p.area.right, p.area.bottom);
    for (const SceneCall& c : SceneCalls(g, static_cast<int>(i))) {
      EXPECT_EQ(DrawSceneCall(c), 0);
      if (reference != nullptr) DrawSceneReference(c, p.param, reference);
      if (observer != nullptr) observer->Called(p, c);
    }
  }
  SetDrawBlend(0, 0);
  SetDrawBrightness(255, 255, 255);
  SetDrawClipArea(0, 0, 640, 480);
}
