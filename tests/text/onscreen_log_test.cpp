#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library/core/log.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "tests/core/library_fixture.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class OnScreenLogTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // A screen of 200 rows holds 12 lines of 16 pixels.
    ScreenWidth = 320;
    ScreenHeight = 200;
    ScreenColorBits = 16;
    ASSERT_EQ(InitLibrary(), 0);
    SelectDrawTarget(BackScreenHandle);
  }
  void TearDown() override {
    LibraryTest::TearDown();
    ScreenWidth = ScreenHeight = ScreenColorBits = 0;
  }
  static void Clear() { FillMemImgRect(&ScreenMemImg, nullptr, 0); }
  // The log's lines as the text calls draw them.
  static void DrawLinesByHand(int count) {
    for (int i = 0; i < count; ++i) {
      char line[256] = {};
      std::memcpy(line, OnScreenLog.lines[i], 255);
      DrawTextToHandle(0, 16 * i, line, MakeScreenColor(255, 255, 255), OnScreenLog.fontHandle,
                       MakeScreenColor(0, 0, 0), 0);
    }
  }
};

TEST_F(OnScreenLogTest, PreparedAtStartUpAndHidden) {
  EXPECT_EQ(OnScreenLog.prepared, 1);
  EXPECT_EQ(OnScreenLog.display, 0);
  EXPECT_EQ(OnScreenLog.lineHeight, 16);
  EXPECT_EQ(OnScreenLog.fontLost, 0);
  const FontHandleRecord* f = GetFontHandleRecord(OnScreenLog.fontHandle);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->size, 16);
  EXPECT_EQ(f->thickness, 4);
  EXPECT_EQ(f->type, FontTypeEdge);
  EXPECT_EQ(InitOnScreenLog(), 0);  // a second call changes nothing
}

TEST_F(OnScreenLogTest, TheLinesTheScreenHoldsAreDrawn) {
  for (int i = 0; i < 14; ++i) std::snprintf(OnScreenLog.lines[i], 255, "line %d ログ", i);
  std::memset(OnScreenLog.lines[1], 'W', 255);  // a full line has no terminator
  Clear();
  EXPECT_EQ(DrawOnScreenLog(), 0);
  ImageCopy drawn(&ScreenMemImg);
  // Twelve lines, white with a black edge; the thirteenth, which would show
  // its top rows, is not drawn.
  Clear();
  DrawLinesByHand(12);
  ExpectSameImage(&drawn.image, &ScreenMemImg, "the log");
  Clear();
  DrawLinesByHand(13);
  EXPECT_GT(CountDifferences(&drawn.image, &ScreenMemImg), 0);

  // A lost font is made again by the next draw.
  DeleteFontHandle(OnScreenLog.fontHandle);
  EXPECT_EQ(OnScreenLog.fontLost, 1);
  Clear();
  EXPECT_EQ(DrawOnScreenLog(), 0);
  EXPECT_EQ(OnScreenLog.fontLost, 0);
  EXPECT_EQ(IsValidFontHandle(OnScreenLog.fontHandle), 1);
  ExpectSameImage(&drawn.image, &ScreenMemImg, "the log with its font made again");
}

TEST_F(OnScreenLogTest, ThePresentDrawsItOnlyWhileShown) {
  std::snprintf(OnScreenLog.lines[0], 255, "shown");
  Clear();
  PresentScreen();
  ImageCopy blank(&ScreenMemImg);
  EXPECT_EQ(CountDifferences(&blank.image, &ScreenMemImg), 0);
  OnScreenLog.display = 1;
  PresentScreen();
  OnScreenLog.display = 0;
  EXPECT_GT(CountDifferences(&blank.image, &ScreenMemImg), 0);
}

}  // namespace
