#include <gtest/gtest.h>

#include "library/core/library_state.h"
#include "library/core/memory.h"
#include "library/core/timer.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "tests/core/library_fixture.h"
#include "tests/support/scratch_log.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

// A pattern in the screen image, different in every pixel.
void PaintScreen(uint32_t seed) {
  for (int y = 0; y < ScreenMemImg.height; ++y)
    for (int x = 0; x < ScreenMemImg.width; ++x) {
      const uint32_t v = Hash(x, y, seed);
      const PixelRect one = {x, y, x + 1, y + 1};
      FillMemImgRect(&ScreenMemImg, &one, v);
    }
}

// The screen image's pixel as the window shows it.
uint32_t Shown(int x, int y) {
  Rgba c = MemImgColour(&ScreenMemImg, x, y);
  return static_cast<uint32_t>(c.r) << 16 | c.g << 8 | c.b;
}

void ExpectWindowShowsScreen(int step = 7) {
  int failures = 0;
  for (int y = 0; y < ScreenHeight && failures < 5; y += step)
    for (int x = 0; x < ScreenWidth && failures < 5; x += step)
      if (PlatformWindowPixel(MainHwnd, x, y) != Shown(x, y)) {
        ADD_FAILURE() << "window pixel " << x << "," << y;
        ++failures;
      }
}

class GraphicsStartTest : public LibraryTest {};

TEST_F(GraphicsStartTest, GraphicsStartAndEndWithTheLibrary) {
  for (int bits : {16, 32}) {
    ScreenColorBits = bits;
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(GraphicsInitialised, 1);
    EXPECT_EQ(HardwareActive, 0);
    EXPECT_NE(GetDirectDrawObject(), nullptr);
    EXPECT_NEAR(static_cast<double>(VSyncPeriodMicroseconds), 16667, 1);
    ASSERT_TRUE(IsMemImgValid(&ScreenMemImg));
    EXPECT_EQ(ScreenMemImg.width, 640);
    EXPECT_EQ(ScreenMemImg.buffer->depthKind, bits == 16 ? MemImgDepth16 : MemImgDepth32);
    EXPECT_EQ(GetDrawTarget(), FrontScreenHandle);
    EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
    EXPECT_EQ(RawPixel(&ScreenMemImg, 5, 5), bits == 16 ? 0u : 0xFF000000u);  // the background, black
    EXPECT_EQ(SetUseHardwareFlag(1), -1);
    EndLibrary();
    EXPECT_EQ(GraphicsInitialised, 0);
    EXPECT_EQ(PlatformLiveDirectDrawCount(), 0);
    EXPECT_EQ(TrackedBlockCount(), 0);
  }
}

// Start-up measures the display period over the first blank and two
// intervals, and ends on the blank it waited for last: the library is ready
// within three periods (and the processor clock's few milliseconds), and the
// first present shows on the very next blank.
TEST_F(GraphicsStartTest, StartUpWaitsThreeBlanksAtMostAndPresentsOnTheNext) {
  const int64_t before = GetMicrosecondCount(0);
  ASSERT_EQ(InitLibrary(), 0);
  const int64_t started = GetMicrosecondCount(0);
  EXPECT_LT(started - before, 3 * 16667 + 5000);
  EXPECT_EQ(LastVBlankTime, started);
  ASSERT_EQ(PresentScreen(), 0);
  EXPECT_NEAR(static_cast<double>(GetMicrosecondCount(0) - started), 16667, 1);
  EndLibrary();
}

TEST_F(GraphicsStartTest, PresentShowsTheScreenAtSixtyFramesASecond) {
  for (int bits : {16, 32}) {
    ScreenColorBits = bits;
    ASSERT_EQ(InitLibrary(), 0);
    SelectDrawTarget(BackScreenHandle);
    PaintScreen(bits);
    int64_t previous = GetMicrosecondCount(0);
    for (int frame = 0; frame < 4; ++frame) {
      ASSERT_EQ(PresentScreen(), 0);
      const int64_t now = GetMicrosecondCount(0);
      if (frame > 0) {
        EXPECT_NEAR(static_cast<double>(now - previous), 16667, 1001) << frame;
      }
      previous = now;
    }
    ExpectWindowShowsScreen();

    // A rectangle shows only itself; one without area is refused.
    PaintScreen(bits + 1);
    const int32_t rect[4] = {100, 50, 120, 60};
    EXPECT_EQ(PresentScreenRect(rect), 0);
    EXPECT_EQ(PlatformWindowPixel(MainHwnd, 100, 50), Shown(100, 50));
    EXPECT_EQ(PlatformWindowPixel(MainHwnd, 119, 59), Shown(119, 59));
    EXPECT_NE(PlatformWindowPixel(MainHwnd, 120, 59), Shown(120, 59));
    const int32_t empty[4] = {100, 50, 100, 60};
    EXPECT_EQ(PresentScreenRect(empty), -1);

    // Without the wait the present takes no time.
    SetWaitVSync(0);
    EXPECT_EQ(GetWaitVSync(), 0);
    const int64_t before = GetMicrosecondCount(0);
    PresentScreen();
    EXPECT_EQ(GetMicrosecondCount(0), before);
    SetWaitVSync(1);
    EndLibrary();
    EXPECT_EQ(PresentScreen(), -1);
  }
}

TEST_F(GraphicsStartTest, DoubledQuarterAndTheFrontScreensTimer) {
  ASSERT_EQ(InitLibrary(), 0);
  PaintScreen(3);
  SetHalfSizeDisplay(1);
  PresentScreen();
  for (int y = 0; y < 480; y += 37)
    for (int x = 0; x < 640; x += 41) ASSERT_EQ(PlatformWindowPixel(MainHwnd, x, y), Shown(x / 2, y / 2));
  SetHalfSizeDisplay(0);

  // The front screen is shown every 32 ms without a call to present.
  PaintScreen(4);
  ASSERT_EQ(GetDrawTarget(), FrontScreenHandle);
  Sleep(33);
  ProcessWindowMessages();
  ExpectWindowShowsScreen();
  // Once another target is selected the timer is not armed again.
  SelectDrawTarget(BackScreenHandle);
  PaintScreen(5);
  Sleep(33);
  ProcessWindowMessages();
  Sleep(33);
  ProcessWindowMessages();
  EXPECT_NE(PlatformWindowPixel(MainHwnd, 1, 1), Shown(1, 1));
}

TEST_F(GraphicsStartTest, DisplayModesAndSettings) {
  const int count = GetDisplayModeCount();
  ASSERT_GT(count, 0);
  int mode[4];
  GetDisplayModeEntry(mode, 0);
  EXPECT_GE(mode[2], 16);
  EXPECT_EQ(HasDisplayMode(mode[0], mode[1], mode[2]), 1);
  EXPECT_EQ(HasDisplayMode(mode[0], mode[1], 8), 0);
  GetDisplayModeEntry(mode, count);
  EXPECT_EQ(mode[0], -1);
  EXPECT_EQ(mode[3], -1);
  ReleaseDisplayModeList();

  EXPECT_EQ(SetUseHardwareFlag(0), 0);
  EXPECT_EQ(GetUseHardwareFlag(), 0);
  SetUseHardwareFlag(1);
  EXPECT_EQ(IsFullScreenMode(), 0);
}

TEST_F(GraphicsStartTest, ScreenModeChangesRestartGraphics) {
  ASSERT_EQ(InitLibrary(), 0);
  ObjectHandle graph = CreateEmptyGraph(4, 4);
  const std::string before = ReadScratchLog();
  // Nothing to change: nothing happens.
  EXPECT_EQ(ApplyScreenModeChange(-1, -1, -1, 0, -1), 0);
  EXPECT_EQ(ReadScratchLog(), before);

  EXPECT_EQ(ApplyScreenModeChange(320, 200, 32, 0, -1), 0);
  EXPECT_EQ(ScreenWidth, 320);
  EXPECT_EQ(ScreenColorBits, 32);
  EXPECT_EQ(ScreenMemImg.height, 200);
  EXPECT_EQ(ScreenMemImg.buffer->depthKind, MemImgDepth32);
  EXPECT_EQ(IsGraphHandleValid(graph), 0);  // the game loads its graphs again
  RECT client;
  GetClientRect(MainHwnd, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);
  const std::string log = ReadScratchLog();
  EXPECT_NE(log.find("画面モード変更処理を開始します"), std::string::npos);
  EXPECT_NE(log.find("画面モード変更処理は正常に終了しました"), std::string::npos);
  ExpectWindowShowsScreen();
}

// After a lost device each graph with a file gets its pixels from the file
// again; a file that is gone is named in the log and its graph kept.
TEST_F(GraphicsStartTest, GraphsAreRestoredFromTheirFiles) {
  ASSERT_EQ(InitLibrary(), 0);
  BmpLayout layout;
  layout.width = 8;
  layout.height = 4;
  layout.pixels = PackRows(8, 4, 24, false, [](int x, int y) { return Hash(x, y, 6) & 0xFFFFFF; });
  WriteFileBytes("cells.bmp", MakeBmp(layout));
  WriteFileBytes("gone.bmp", MakeBmp(layout));
  ObjectHandle cells[3];
  ASSERT_EQ(LoadDividedGraph("cells.bmp", 3, 2, 2, 4, 2, cells, 0), 0);
  ObjectHandle gone = LoadGraphFile("gone.bmp", 0);
  ImageCopy first(&GetGraphRecordChecked(cells[2])->image);
  for (ObjectHandle h : {cells[0], cells[1], cells[2], gone}) FillMemImgRect(&GetGraphRecordChecked(h)->image, nullptr, 0x1234);
  remove("gone.bmp");
  RestoreGraphsFromFiles();
  ExpectSameImage(&GetGraphRecordChecked(cells[2])->image, &first.image, "restored cell");
  EXPECT_NE(RawPixel(&GetGraphRecordChecked(cells[1])->image, 3, 1), 0x1234u);
  EXPECT_EQ(RawPixel(&GetGraphRecordChecked(gone)->image, 0, 0), 0x1234u);
  EXPECT_EQ(GetGraphRecordChecked(cells[1])->sourceX, 4);
  EXPECT_NE(ReadScratchLog().find("がロードできませんでした"), std::string::npos);
}

}  // namespace
