#include <gtest/gtest.h>

#include "library/graphics/draw_api.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_shape.h"
#include "library/softrender/soft_triangle.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class DrawApiTest : public GraphicsTest {
 protected:
  void Start(int bits) {
    StartGraphics(bits, 64, 48);
    SelectDrawTarget(BackScreenHandle);
    PaintImage(&ScreenMemImg, 99);
  }
};

// Graphs drawn at a point, stretched and mirrored through the public calls
// land as the renderer draws them, under the blend modes, brightness and a
// drawing area.
TEST_F(DrawApiTest, ImagesMatchTheRenderer) {
  for (int bits : {16, 32}) {
    Start(bits);
    ObjectHandle graph = PatternGraph(13, 9, 5);
    const MEMIMG* source = &GetGraphRecordChecked(graph)->image;
    ImageCopy expected(&ScreenMemImg), original(&ScreenMemImg);
    const struct {
      int mode, param, bright;
    } states[] = {{0, 255, 255}, {1, 128, 200}, {2, 77, 255}, {3, 200, 90}, {1, 255, 255}};
    for (const auto& s : states) {
      SetDrawBlend(s.mode, s.param);
      SetDrawBrightness(s.bright, 255, s.bright);
      SetDrawClipArea(3, 2, 60, 40);
      ASSERT_EQ(DrawGraphAt(-4, 5, graph, 1), 0);
      SoftBlit(&expected.image, source, -4, 5, 1, nullptr);
      ASSERT_EQ(DrawGraphStretched(20, 3, 50, 30, graph, 0), 0);
      const int32_t stretched[4] = {20, 3, 50, 30};
      SoftBlitStretch(&expected.image, source, stretched, 0, nullptr);
      // x1 > x2 mirrors: the graph in (0, 0)-(10, 10), turned left to right.
      ASSERT_EQ(DrawGraphStretched(10, 30, 0, 40, graph, 1), 0);
      const int32_t mirrored[4] = {10, 30, 0, 40};
      SoftBlitStretch(&expected.image, source, mirrored, 1, nullptr);
      ASSERT_EQ(DrawGraphMirrored(40, 35, graph, 1), 0);
      const int32_t mirroredAt[4] = {53, 35, 40, 44};
      SoftBlitStretch(&expected.image, source, mirroredAt, 1, nullptr);
      ASSERT_EQ(DrawGraphStretchedF(5.9f, 1.2f, 30.7f, 20.5f, graph, 1), 0);
      const int32_t truncated[4] = {5, 1, 30, 20};
      SoftBlitStretch(&expected.image, source, truncated, 1, nullptr);
      ExpectSameImage(&ScreenMemImg, &expected.image, "images");
    }
    EXPECT_GT(CountDifferences(&ScreenMemImg, &original.image), 1000);
    StopGraphics();
  }
}

TEST_F(DrawApiTest, RefusalsAndEmptyAreas) {
  Start(16);
  ObjectHandle graph = PatternGraph(8, 8, 1);
  ImageCopy before(&ScreenMemImg);
  EXPECT_EQ(DrawGraphAt(0, 0, graph + 0x10000, 1), -1);
  EXPECT_EQ(DrawGraphStretched(0, 0, 5, 5, -1, 1), -1);
  EXPECT_EQ(DrawGraphMirrored(0, 0, 12345, 1), -1);
  EXPECT_EQ(DrawGraphRegion(0, 0, 0, 0, 4, 4, -1, 1, 0), -1);

  // With an empty area every call returns 0 and draws nothing.
  SetDrawClipArea(5, 5, 5, 30);
  ASSERT_EQ(DrawAreaEmpty, 1);
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 1), 0);
  EXPECT_EQ(DrawGraphAt(0, 0, -1, 1), 0);
  EXPECT_EQ(DrawGraphStretched(0, 0, 30, 30, graph, 0), 0);
  EXPECT_EQ(DrawGraphRegion(0, 0, 0, 0, 4, 4, graph, 0, 1), 0);
  SetDrawClipArea(0, 0, 64, 48);
  DrawSuppressed = 1;
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
  DrawSuppressed = 0;
  ExpectSameImage(&ScreenMemImg, &before.image, "nothing drawn");

  // A blend graph smaller than the drawn graph refuses it.
  ObjectHandle small = CreateEmptyGraph(4, 4);
  ASSERT_EQ(SelectBlendGraph(small, 0, 0), 0);
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), -1);
  ExpectSameImage(&ScreenMemImg, &before.image, "blend graph too small");

  GraphicsInitialised = 0;
  LibraryInitialised = 0;
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), -1);
  LibraryInitialised = 1;
  GraphicsInitialised = 1;
}

TEST_F(DrawApiTest, RegionsKeepTheDrawingArea) {
  Start(32);
  ObjectHandle graph = PatternGraph(16, 12, 2);
  const MEMIMG* source = &GetGraphRecordChecked(graph)->image;
  ImageCopy expected(&ScreenMemImg);
  const uint32_t graphs = GraphHandleTable.count;
  SetDrawClipArea(2, 2, 40, 30);
  const PixelRect area = DrawClipRect;

  // The 5 x 4 part at (3, 2) at (20, 10), plain and turned.
  ASSERT_EQ(DrawGraphRegion(20, 10, 3, 2, 5, 4, graph, 1, 0), 0);
  ASSERT_EQ(DrawGraphRegion(30, 20, 3, 2, 5, 4, graph, 1, 1), 0);
  // Outside the area: nothing, and the area is still the same.
  ASSERT_EQ(DrawGraphRegion(50, 40, 0, 0, 5, 5, graph, 1, 0), 0);
  EXPECT_EQ(DrawClipRect.left, area.left);
  EXPECT_EQ(DrawClipRect.right, area.right);
  EXPECT_EQ(DrawClipRectF[3], 30.0f);
  DrawClipRect = {20, 10, 25, 14};
  SoftBlit(&expected.image, source, 17, 8, 1, nullptr);
  DrawClipRect = {30, 20, 35, 24};
  // Turned: the graph mirrored with its part's columns landing at 30 to 34.
  const int32_t mirror[4] = {38, 18, 22, 30};
  SoftBlitStretch(&expected.image, source, mirror, 1, nullptr);
  DrawClipRect = area;
  ExpectSameImage(&ScreenMemImg, &expected.image, "regions");

  // A stretched region goes through a part graph that is gone afterwards.
  EXPECT_EQ(DrawGraphRegionStretchedF(0, 0, 10.5f, 10.5f, 4, 4, 6, 6, graph, 0), 0);
  EXPECT_EQ(GraphHandleTable.count, graphs);
}

TEST_F(DrawApiTest, ClearAndCopyTheTarget) {
  Start(16);
  ObjectHandle target = PatternGraph(20, 10, 3);
  ObjectHandle copy = CreateEmptyGraph(4, 3);
  // From the screen.
  ASSERT_EQ(CopyScreenToGraph(7, 5, 11, 8, copy), 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(RawPixel(&GetGraphRecordChecked(copy)->image, x, y), RawPixel(&ScreenMemImg, 7 + x, 5 + y));
  const struct {
    int x1, y1, x2, y2;
  } refused[] = {{7, 5, 12, 8}, {-1, 0, 3, 3}, {62, 46, 66, 49}, {5, 5, 5, 8}};
  for (const auto& r : refused) EXPECT_EQ(CopyScreenToGraph(r.x1, r.y1, r.x2, r.y2, copy), -1) << r.x1;
  EXPECT_EQ(CopyScreenToGraph(0, 0, 4, 3, -1), -1);

  // From a graph target, and clearing it: a rectangle, then all of it.
  ASSERT_EQ(SelectDrawTarget(target), 0);
  ASSERT_EQ(CopyScreenToGraph(16, 7, 20, 10, copy), 0);
  EXPECT_EQ(RawPixel(&GetGraphRecordChecked(copy)->image, 3, 2), RawPixel(&GetGraphRecordChecked(target)->image, 19, 9));
  EXPECT_EQ(CopyScreenToGraph(16, 7, 20, 11, copy), -1);  // past the target's bottom
  const int32_t rect[4] = {2, 3, 5, 4};
  ImageCopy screen(&ScreenMemImg);
  ClearDrawTarget(rect);
  const MEMIMG* image = &GetGraphRecordChecked(target)->image;
  EXPECT_EQ(RawPixel(image, 2, 3), 0u);
  EXPECT_EQ(RawPixel(image, 4, 3), 0u);
  EXPECT_NE(RawPixel(image, 5, 3), 0u);
  const int32_t whole[4] = {-1, 0, 0, 0};
  ClearDrawTarget(whole);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(RawPixel(image, x, y), 0u);
  ExpectSameImage(&ScreenMemImg, &screen.image, "the screen stays");
  SelectDrawTarget(BackScreenHandle);
  ClearDrawTarget(nullptr);
  EXPECT_EQ(RawPixel(&ScreenMemImg, 63, 47), 0u);
}

// Turned graphs: about a point of the graph, and with angle 0 as the
// stretched or mirrored draw it comes down to.
TEST_F(DrawApiTest, TurnedAndQuadrilateralGraphs) {
  Start(32);
  ObjectHandle graph = PatternGraph(14, 10, 4);
  const MEMIMG* source = &GetGraphRecordChecked(graph)->image;
  ImageCopy expected(&ScreenMemImg);
  ASSERT_EQ(DrawGraphRotatedAbout(30, 20, 3, 4, 1.0, 0.0, graph, 1, 1), 0);
  const int32_t mirrored[4] = {27 + 14, 16, 27, 26};
  SoftBlitStretch(&expected.image, source, mirrored, 1, nullptr);
  ASSERT_EQ(DrawGraphRotatedAbout(10, 30, 2, 2, 2.0, 0.0, graph, 1, 0), 0);
  const int32_t doubled[4] = {6, 26, 34, 46};
  SoftBlitStretch(&expected.image, source, doubled, 1, nullptr);
  // Turned by a quarter about (7, 5), the graph's centre: the centre stays.
  ASSERT_EQ(DrawGraphRotatedAbout(45, 25, 7, 5, 1.0, 1.5707963, graph, 1, 0), 0);
  SoftBlitRotate(&expected.image, source, 45, 25, 1.5707963f, 1.0f, 1, 0, nullptr);
  ASSERT_EQ(DrawGraphRotated(20, 40, 0.5, -0.3, graph, 0, 1), 0);
  SoftBlitRotate(&expected.image, source, 20, 40, -0.3f, 0.5f, 0, 1, nullptr);
  // Corners round the graph: 1 top-left, 2 top-right, 3 bottom-right, 4 bottom-left.
  ASSERT_EQ(DrawGraphQuad(40, 30, 60, 32, 58, 47, 42, 44, graph, 1), 0);
  const TriVertex corners[4] = {{40, 30, 0, 0}, {60, 32, 14, 0}, {42, 44, 0, 10}, {58, 47, 14, 10}};
  SoftTrianglePair(&expected.image, source, &corners[0], &corners[1], 1, nullptr, 0);
  ExpectSameImage(&ScreenMemImg, &expected.image, "turned");

  // The graph's own rectangle as the quadrilateral draws the graph unturned.
  PaintImage(&ScreenMemImg, 1);
  ImageCopy plain(&ScreenMemImg);
  ASSERT_EQ(DrawGraphQuad(5, 6, 19, 6, 19, 16, 5, 16, graph, 0), 0);
  SoftBlit(&plain.image, source, 5, 6, 0, nullptr);
  ExpectSameImage(&ScreenMemImg, &plain.image, "quad of the graph's rectangle");
}

TEST_F(DrawApiTest, ShapesMatchTheRenderer) {
  Start(16);
  ImageCopy expected(&ScreenMemImg);
  const uint32_t colour = MakeScreenColor(250, 40, 90);
  SetDrawBlend(1, 140);
  EXPECT_EQ(DrawCircleShape(20, 20, -1, colour, 1), 0);
  EXPECT_EQ(DrawEllipseShape(20, 20, 5, -1, colour, 1), 0);
  ASSERT_EQ(DrawCircleShape(30, 30, 0, colour, 0), 0);
  SoftCircle(&expected.image, 30, 30, 0, colour, 0);
  for (int thickness : {0, 1}) {
    ASSERT_EQ(DrawLineShape(2, 3 + thickness, 50, 20, colour, thickness), 0);
    SoftLine(&expected.image, 2, 3 + thickness, 50, 20, colour);
  }
  // A thick line is a filled quadrilateral about the line.
  ASSERT_EQ(DrawLineShape(10, 40, 50, 40, colour, 4), 0);
  const TriVertex top[3] = {{10, 38, 0, 0}, {50, 38, 0, 0}, {50, 42, 0, 0}};
  const TriVertex bottom[3] = {{10, 38, 0, 0}, {50, 42, 0, 0}, {10, 42, 0, 0}};
  SoftTrianglePair(&expected.image, nullptr, top, bottom, 0, nullptr, colour);
  ExpectSameImage(&ScreenMemImg, &expected.image, "shapes");

  // A framed box blends each border pixel once: its corners match a box of one pixel.
  ASSERT_EQ(DrawRectangleShape(10, 10, 20, 20, colour, 0), 0);
  ImageCopy once(&expected.image);
  for (const auto& [x, y] : {std::pair{10, 10}, {19, 10}, {19, 19}, {10, 19}, {15, 10}, {10, 15}}) {
    const int32_t pixel[4] = {x, y, x + 1, y + 1};
    SoftFillBox(&once.image, pixel, colour);
    EXPECT_EQ(RawPixel(&ScreenMemImg, x, y), RawPixel(&once.image, x, y)) << x << "," << y;
  }
  EXPECT_EQ(RawPixel(&ScreenMemImg, 15, 15), RawPixel(&expected.image, 15, 15));
  EXPECT_EQ(RawPixel(&ScreenMemImg, 20, 15), RawPixel(&expected.image, 20, 15));
}

// A graph is filled whole, in its own format, whatever the drawing area of
// the draw target.
TEST_F(DrawApiTest, FillingGraphs) {
  Start(16);
  SetGraphCreateBitDepth(32);
  ObjectHandle graph = PatternGraph(30, 20, 6);
  SetDrawClipArea(0, 0, 5, 5);
  ASSERT_EQ(FillGraphWithColor(graph, 300, 128, -4, 255), 0);
  const MEMIMG* image = &GetGraphRecordChecked(graph)->image;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(RawPixel(image, x, y), 0xFFFF8000u) << x << "," << y;
  EXPECT_EQ(DrawClipRect.right, 5);
  EXPECT_EQ(FillGraphWithColor(graph + 0x10000, 1, 2, 3, 4), -1);
}

// A selected blend graph is laid over every graph drawn.
TEST_F(DrawApiTest, BlendGraphMasksImages) {
  Start(16);
  ObjectHandle graph = PatternGraph(16, 16, 7);
  SetGraphCreateBitDepth(32);
  ObjectHandle blend = PatternGraph(20, 20, 8);
  ASSERT_EQ(SelectBlendGraph(blend, 100, 30), 0);
  ImageCopy expected(&ScreenMemImg);
  ASSERT_EQ(DrawGraphAt(3, 4, graph, 1), 0);
  SoftBlit(&expected.image, &GetGraphRecordChecked(graph)->image, 3, 4, 1, BlendMaskMemImg);
  ExpectSameImage(&ScreenMemImg, &expected.image, "masked");
}

}  // namespace
