#include <gtest/gtest.h>

#include "library/core/window_mode.h"
#include "tests/core/library_fixture.h"
#include "tests/support/test_support.h"

namespace {

TEST_F(LibraryTest, ChangeToTheCurrentModeWritesOneLine) {
  ASSERT_EQ(InitLibrary(), 0);
  size_t before = ReadLogLines("Log.txt").size();
  EXPECT_EQ(ChangeWindowMode(1), 0);
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  ASSERT_EQ(lines.size(), before + 1);
  EXPECT_EQ(lines.back(), "ChangeWindowMode実行 ");
}

TEST_F(LibraryTest, FullScreenWithoutADisplayModeStaysWindowed) {
  PlatformOfferScaledDisplayModes(false);  // a display with no mode of 640 x 480 and none scaled
  EXPECT_EQ(ChangeWindowMode(0), 0);  // before start-up: only recorded
  EXPECT_EQ(WindowedMode, 0);
  ASSERT_EQ(InitLibrary(), 0);  // no display mode of 640 x 480: a window after all
  EXPECT_EQ(WindowedMode, 1);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_STYLE)) & ~WS_VISIBLE, kWindowModeStyle);
  EXPECT_EQ(ChangeWindowMode(0), -1);  // still none: refused, nothing changed
  EXPECT_EQ(WindowedMode, 1);
}

TEST_F(LibraryTest, SwitchingToWindowModeIsBoundedAndCentres) {
  ASSERT_EQ(InitLibrary(), 0);
  // As if running full screen; no display change will arrive from the
  // display stand-in, and the wait still ends (after the graphics restart,
  // which measures the display's refresh over a few frames).
  WindowedMode = 0;
  uint32_t before = timeGetTime();
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_LE(timeGetTime() - before, 1400u);
  EXPECT_EQ(MainWindow.modeChangeRunning, 0);
  RECT r;
  GetWindowRect(MainHwnd, &r);
  // Centred, give or take the frame (the offset is taken from the frame's size).
  EXPECT_NEAR(r.left, MainWindow.desktopWidth - r.right, 10);
  EXPECT_NEAR(r.top, MainWindow.desktopHeight - r.bottom, 50);

  // A window larger than the desktop is moved so its client area starts on it.
  MainWindowConfig.scaleX = MainWindowConfig.scaleY = 2.0;
  UpdateWindowStyle();
  POINT origin{0, 0};
  ClientToScreen(MainHwnd, &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

}  // namespace
