#include <gtest/gtest.h>

#include "library/graphics/mem_img.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class DrawStateTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartGraphics(16, 640, 480);
  }
};

TEST_F(DrawStateTest, BlendAndBrightnessAreClamped) {
  EXPECT_EQ(SetDrawBlend(1, 300), 0);
  EXPECT_EQ(DrawBlendMode, 1);
  EXPECT_EQ(DrawBlendParam, 255);
  // 300 as given differs from the stored 255, so the call stores again.
  DrawBlendParam = 7;
  EXPECT_EQ(SetDrawBlend(1, 300), 0);
  EXPECT_EQ(DrawBlendParam, 255);
  EXPECT_EQ(SetDrawBlend(2, -9), 0);
  EXPECT_EQ(DrawBlendParam, 0);

  EXPECT_EQ(SetDrawBrightness(-1, 128, 999), 0);
  EXPECT_EQ(DrawBright.red, 0);
  EXPECT_EQ(DrawBright.green, 128);
  EXPECT_EQ(DrawBright.blue, 255);

  // Suppressed drawing keeps blend and filter but not brightness.
  DrawSuppressed = 1;
  EXPECT_EQ(SetDrawBlend(0, 10), 0);
  EXPECT_EQ(SetDrawFilterMode(1), 0);
  EXPECT_EQ(SetDrawBrightness(9, 9, 9), 0);
  EXPECT_EQ(DrawBlendMode, 2);
  EXPECT_EQ(GetDrawFilterMode(), 0);
  EXPECT_EQ(DrawBright.red, 9);
  DrawSuppressed = 0;
  EXPECT_EQ(SetDrawFilterMode(2), 0);
  EXPECT_EQ(GetDrawFilterMode(), 2);

  SetDrawBrightnessPacked(0x123456);
  EXPECT_EQ(DrawBright.red, 0x12);
  EXPECT_EQ(DrawBright.green, 0x34);
  EXPECT_EQ(DrawBright.blue, 0x56);
}

TEST_F(DrawStateTest, PackedDrawColor) {
  SetDrawBrightness(0x11, 0x22, 0x33);
  const struct {
    int mode, param;
    uint32_t packed;
  } cases[] = {{0, 77, 0xFF112233}, {1, 128, 0x80112233}, {2, 0, 0x00112233}};
  for (const auto& c : cases) {
    SetDrawBlend(c.mode, c.param);
    EXPECT_EQ(ComputePackedDrawColor(), c.packed) << c.mode;
  }
}

TEST_F(DrawStateTest, DrawAreaIsOrderedAndClampedToTheTarget) {
  const struct {
    int x1, y1, x2, y2;
    PixelRect area;
    int empty;
  } cases[] = {
      {100, 50, 10, 5, {10, 5, 100, 50}, 0},
      {-20, -20, 9999, 9999, {0, 0, 640, 480}, 0},
      {30, 10, 30, 200, {30, 10, 30, 200}, 1},
      {700, 0, 800, 10, {640, 0, 640, 10}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SetDrawClipArea(c.x1, c.y1, c.x2, c.y2), 0);
    int32_t area[4];
    GetDrawClipArea(area);
    EXPECT_EQ(area[0], c.area.left);
    EXPECT_EQ(area[1], c.area.top);
    EXPECT_EQ(area[2], c.area.right);
    EXPECT_EQ(area[3], c.area.bottom);
    EXPECT_EQ(DrawClipRectF[2], static_cast<float>(c.area.right));
    EXPECT_EQ(DrawAreaEmpty, c.empty) << c.x1;
    EXPECT_EQ(RequestedClipArea.left, c.x1);
  }
}

TEST_F(DrawStateTest, DrawTargets) {
  EXPECT_EQ(DrawTarget, FrontScreenHandle);
  EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
  SetDrawClipArea(10, 20, 30, 40);
  // Another screen of the same size keeps the area.
  EXPECT_EQ(SelectDrawTarget(BackScreenHandle), 0);
  EXPECT_EQ(DrawClipRect.left, 10);
  EXPECT_EQ(DrawClipRect.bottom, 40);

  // A graph of another size: the area becomes the whole graph.
  ObjectHandle graph = CreateEmptyGraph(50, 60);
  ASSERT_NE(graph, -1);
  EXPECT_EQ(SelectDrawTarget(graph), 0);
  EXPECT_EQ(GetDrawTarget(), graph);
  EXPECT_EQ(DrawDestMemImg, &GetGraphRecordChecked(graph)->image);
  EXPECT_EQ(DrawClipRect.right, 50);
  EXPECT_EQ(DrawClipRect.bottom, 60);
  EXPECT_FLOAT_EQ(Scene3D.screenCentreX, 25.0f);

  // Refused handles leave the whole state as it was.
  SetDrawClipArea(1, 2, 3, 4);
  for (ObjectHandle bad : {-1, -6, 0, graph + 0x10000}) {
    EXPECT_EQ(SelectDrawTarget(bad), -1) << bad;
    EXPECT_EQ(DrawTarget, graph);
    EXPECT_EQ(DrawClipRect.right, 3);
  }
  // -3 and -5 are screens without a size: size and area stay.
  EXPECT_EQ(SelectDrawTarget(-3), 0);
  EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
  EXPECT_EQ(DrawTargetWidth, 50);
  EXPECT_EQ(DrawClipRect.right, 3);

  EXPECT_EQ(SelectDrawTarget(FrontScreenHandle), 0);
  EXPECT_EQ(DrawClipRect.right, 640);
  GraphicsInitialised = 0;
  EXPECT_EQ(SelectDrawTarget(BackScreenHandle), -1);
  GraphicsInitialised = 1;
}

// Deleting the graph that is the draw target or the blend graph must not
// leave drawing pointed at its freed pixels.
TEST_F(DrawStateTest, DeletedTargetAndBlendGraphAreLetGo) {
  ObjectHandle target = CreateEmptyGraph(8, 8);
  ObjectHandle blend = CreateEmptyGraph(8, 8);
  ASSERT_EQ(SelectDrawTarget(target), 0);
  ASSERT_EQ(SelectBlendGraph(blend, 10, 20), 0);
  ASSERT_NE(BlendMaskMemImg, nullptr);
  FreeGraph(target);
  EXPECT_EQ(DrawTarget, BackScreenHandle);
  EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
  EXPECT_EQ(DrawClipRect.right, 640);
  FreeGraph(blend);
  EXPECT_EQ(BlendMaskMemImg, nullptr);
}

TEST_F(DrawStateTest, BlendGraph) {
  ObjectHandle mask = CreateEmptyGraph(64, 64);
  ObjectHandle tall = CreateEmptyGraph(64, 65);
  ObjectHandle small = CreateEmptyGraph(10, 10);
  EXPECT_EQ(CheckBlendGraphSize(GetGraphRecordChecked(small)), -1);  // none selected
  EXPECT_EQ(SelectBlendGraph(mask, 300, -5), 0);
  EXPECT_EQ(BlendGraph.borderParam, 255);
  EXPECT_EQ(BlendGraph.borderRange, 0);
  EXPECT_EQ(BlendMaskMemImg, &GetGraphRecordChecked(mask)->surface->image);
  EXPECT_EQ(CheckBlendGraphSize(GetGraphRecordChecked(small)), 0);
  EXPECT_EQ(CheckBlendGraphSize(GetGraphRecordChecked(tall)), -1);
  EXPECT_EQ(SelectBlendGraph(small + 0x10000, 0, 0), -1);
  EXPECT_EQ(BlendGraph.handle, mask);
  EXPECT_EQ(SelectBlendGraph(-1, 0, 0), 0);
  EXPECT_EQ(BlendMaskMemImg, nullptr);
}

TEST_F(DrawStateTest, ScreenColours) {
  const struct {
    int bits, r, g, b;
    uint32_t value;
    int sr, sg, sb;
  } cases[] = {
      {16, 255, 255, 255, 0xFFFF, 255, 255, 255},  {16, 0, 255, 0, 0x07E0, 0, 255, 0},
      {16, 0x1FF, 0x100, 0x108, 0xF801, 255, 0, 8}, {32, 255, 255, 255, 0xFFFFFFFF, 255, 255, 255},
      {32, 0x12, 0x34, 0x56, 0xFF123456, 0x12, 0x34, 0x56},
  };
  for (const auto& c : cases) {
    ScreenColorBits = c.bits;
    EXPECT_EQ(MakeScreenColor(c.r, c.g, c.b), c.value) << c.bits;
    int32_t r = -1, g = -1, b = -1;
    EXPECT_EQ(SplitScreenColor(c.value, &r, &g, &b), 0);
    EXPECT_EQ(r, c.sr);
    EXPECT_EQ(g, c.sg);
    EXPECT_EQ(b, c.sb);
  }
  ScreenColorBits = 16;
}

TEST_F(DrawStateTest, ShownScreenSize) {
  int32_t w = 0, h = 0, bits = 0;
  GetShownScreenSize(&w, &h, &bits);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(bits, 16);
  HalfSizeScreenFlag = 1;
  GetShownScreenSize(&w, &h, nullptr);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  HalfSizeScreenFlag = 0;
}

}  // namespace
