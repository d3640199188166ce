#include <gtest/gtest.h>

#include "library/graphics/draw_api.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/soft_blit.h"
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

}  // namespace
