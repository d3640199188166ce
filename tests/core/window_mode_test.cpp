#include <gtest/gtest.h>

#include <ostream>

#include "library/core/memory.h"
#include "library/core/window_mode.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "platform/d3d9/d3d9_control.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_font.h"
#include "tests/core/library_fixture.h"
#include "tests/graphics/image_fixtures.h"
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

// What a program holds after each change of window mode. The change ends
// graphics, which takes every graph, font and mask with it, and the program
// makes its own again, as the game reloads its pictures and fonts: a
// picture, a picture cut into cells, two fonts with text drawn in them, the
// mask screen with a pattern. Each change to a mode must leave the library
// holding exactly what the first change to that mode left: tracked memory,
// graph and font handles, the display stand-in's fonts and bitmaps, and on
// Direct3D the device stand-in's objects (textures, surfaces, buffers).
struct Held {
  int32_t trackedBytes, trackedBlocks;
  uint32_t graphs, fonts;
  int gdiObjects, gdiFonts, direct3dObjects;
  bool operator==(const Held&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Held& h) {
  return os << h.trackedBytes << " bytes in " << h.trackedBlocks << " blocks, " << h.graphs << " graphs, " << h.fonts
            << " fonts, " << h.gdiObjects << " GDI objects, " << h.gdiFonts << " GDI fonts, " << h.direct3dObjects
            << " Direct3D objects";
}

Held HeldNow() {
  return {TrackedTotalSize(),           TrackedBlockCount(),    GraphHandleTable.count, FontHandleTable.count,
          PlatformLiveGdiObjectCount(), PlatformLiveFontCount(), D3D9LiveObjectCount()};
}

void MakeProgramObjects() {
  ASSERT_NE(LoadGraphFile("picture.bmp", 0), -1);
  int32_t cells[4];
  ASSERT_EQ(LoadDividedGraph("picture.bmp", 4, 2, 2, 48, 40, cells, 0), 0);
  SelectDrawTarget(BackScreenHandle);
  for (int32_t cell : cells) DrawGraphAt(10, 10, cell, 1);
  for (int size : {16, 24}) {
    const ObjectHandle font = CreateFontToHandle(nullptr, size, 4, 3, -1, -1, 0, -1, -1);
    ASSERT_NE(font, -1);
    DrawTextToHandle(0, 0, "ABC漢字", 0xFFFFFF, font, 0, 0);
  }
  ASSERT_EQ(MakeMaskScreen(), 0);
  const ObjectHandle mask = LoadMaskFile("picture.bmp");
  ASSERT_NE(mask, -1);
  DrawMaskData(0, 0, mask, 1);
}

class WindowModeSwitches : public LibraryTest, public testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    LibraryTest::TearDown();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
    D3D9ResetAdapter();
  }
};

TEST_P(WindowModeSwitches, EachLeavesWhatTheFirstToItsModeLeft) {
  const bool direct3d = GetParam();
  if (direct3d) D3D9SetAdapter(D3D9FullAdapter());  // a device that records (no OpenGL)
  BmpLayout picture;
  picture.width = 96;
  picture.height = 80;
  picture.pixels = PackRows(96, 80, 24, false, [](int x, int y) { return Hash(x, y, 7) & 0xFFFFFF; });
  WriteFileBytes("picture.bmp", MakeBmp(picture));
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(HardwareActive, direct3d ? 1 : 0);
  MakeProgramObjects();
  Held first[2];  // after the first change to full screen, and to a window
  for (int change = 1; change <= 6; ++change) {
    const int32_t mode = change % 2 == 1 ? 0 : 1;
    ASSERT_EQ(ChangeWindowMode(mode), 0) << "change " << change;
    MakeProgramObjects();
    ProcessWindowMessages();
    if (change <= 2)
      first[mode] = HeldNow();
    else
      EXPECT_EQ(HeldNow(), first[mode]) << "change " << change << (mode ? " to a window" : " to full screen");
  }
}

INSTANTIATE_TEST_SUITE_P(BackEnds, WindowModeSwitches, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Direct3D" : "SoftwareRenderer";
                         });

}  // namespace
