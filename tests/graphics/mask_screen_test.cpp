#include <gtest/gtest.h>

#include <vector>

#include "library/graphics/draw_api.h"
#include "library/graphics/mask_screen.h"
#include "library/softrender/soft_blit.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class MaskScreenTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartGraphics(16, 64, 48);
    SelectDrawTarget(BackScreenHandle);
    PaintImage(&ScreenMemImg, 7);
  }
  static uint8_t MaskAt(int x, int y) { return MaskBytes.bytes[y * MaskBytes.pitch + x]; }
  // A pattern whose byte at (x, y) is 10 * y + x + 1.
  static ObjectHandle CountingPattern(int w, int h) {
    ObjectHandle pattern = CreateMaskData(w, h);
    MaskRecord& record = MaskTable[pattern & 0xFFFF];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) record.bytes[y * record.pitch + x] = static_cast<uint8_t>(10 * y + x + 1);
    return pattern;
  }
};

TEST_F(MaskScreenTest, NothingBeforeTheMaskScreenIsMade) {
  EXPECT_EQ(EnableMaskScreen(1), -1);
  EXPECT_EQ(PaintMaskScreen(1), -1);
  ObjectHandle pattern = CreateMaskData(4, 4);
  EXPECT_EQ(DrawMaskData(0, 0, pattern, 2), 0);
  EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
}

TEST_F(MaskScreenTest, DrawingGoesThroughTheMask) {
  ObjectHandle graph = PatternGraph(30, 20, 3);
  ASSERT_EQ(MakeMaskScreen(), 0);
  EXPECT_EQ(MaskScreenActive, 1);
  EXPECT_EQ(DrawDestMemImg, &MaskScreenMemImg);

  // Every byte set: nothing passes.
  ImageCopy before(&ScreenMemImg);
  PaintMaskScreen(1);
  ASSERT_EQ(DrawGraphStretched(0, 0, 64, 48, graph, 0), 0);
  ExpectSameImage(&ScreenMemImg, &before.image, "all masked");

  // Every byte clear: drawn as without a mask.
  PaintMaskScreen(0);
  SetDrawBlend(1, 100);
  ASSERT_EQ(DrawGraphAt(5, 6, graph, 1), 0);
  ImageCopy expected(&before.image);
  SoftBlit(&expected.image, &GetGraphRecordChecked(graph)->image, 5, 6, 1, nullptr);
  ExpectSameImage(&ScreenMemImg, &expected.image, "nothing masked");

  // Half the mask set: only the other half changes.
  for (int y = 0; y < 48; ++y) std::memset(MaskBytes.bytes + y * MaskBytes.pitch, 0xFF, 32);
  ImageCopy half(&ScreenMemImg);
  SetDrawBlend(0, 0);
  ASSERT_EQ(DrawGraphStretched(0, 0, 64, 48, graph, 0), 0);
  ImageCopy drawn(&half.image);
  const int32_t whole[4] = {0, 0, 64, 48};
  SoftBlitStretch(&drawn.image, &GetGraphRecordChecked(graph)->image, whole, 0, nullptr);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      ASSERT_EQ(RawPixel(&ScreenMemImg, x, y), RawPixel(x < 32 ? &half.image : &drawn.image, x, y)) << x << "," << y;

  EXPECT_EQ(EnableMaskScreen(0), 0);
  EXPECT_EQ(IsMaskScreenEnabled(), 0);
  EXPECT_EQ(DrawDestMemImg, &ScreenMemImg);
  // A change of target keeps the mask screen's state.
  EnableMaskScreen(1);
  SelectDrawTarget(FrontScreenHandle);
  EXPECT_EQ(MaskScreenActive, 1);
  EXPECT_EQ(DrawDestMemImg, &MaskScreenMemImg);
}

TEST_F(MaskScreenTest, PatternsCombineOnlyInsideTheArea) {
  MakeMaskScreen();
  ObjectHandle pattern = CountingPattern(4, 4);
  SetDrawClipArea(10, 10, 40, 40);
  PaintMaskScreen(0);
  // At (8, 9): only columns 10, 11 and rows 10 to 12 are inside, from the
  // pattern's (2, 1) on.
  ASSERT_EQ(DrawMaskData(8, 9, pattern, 2), 0);
  EXPECT_EQ(MaskAt(10, 10), 13);
  EXPECT_EQ(MaskAt(11, 12), 34);
  EXPECT_EQ(MaskAt(9, 10), 0);
  EXPECT_EQ(MaskAt(10, 9), 0);
  EXPECT_EQ(MaskAt(12, 10), 0);
  // AND and OR; any other mode leaves the mask alone. Byte (3, 1) of the
  // pattern is 14.
  const struct {
    int mode;
    uint8_t after;
  } modes[] = {{0, 0xF0 & 14}, {1, 0xF0 | 14}, {2, 14}, {3, 0xF0}};
  for (const auto& m : modes) {
    MaskBytes.bytes[20 * MaskBytes.pitch + 20] = 0xF0;
    DrawMaskData(17, 19, pattern, m.mode);
    EXPECT_EQ(MaskAt(20, 20), m.after) << m.mode;
  }
  EXPECT_EQ(DrawMaskData(0, 0, pattern + 0x10000, 2), -1);
}

TEST_F(MaskScreenTest, PatternTable) {
  std::vector<ObjectHandle> handles;
  for (int i = 0; i < 512; ++i) handles.push_back(CreateMaskData(2, 2));
  // The kind and the slot; the check numbers run on from the masks made
  // before (by earlier tests in this process).
  EXPECT_EQ(handles[0] & ~HandleCheckBits, 0x28000000);
  EXPECT_EQ(handles[1] & ~HandleCheckBits, 0x28000001);
  EXPECT_EQ((handles[1] & HandleCheckBits) >> 16, (((handles[0] & HandleCheckBits) >> 16) + 1) % 2048);
  EXPECT_EQ(CreateMaskData(2, 2), -1);
  EXPECT_EQ(DeleteMaskData(handles[7]), 0);
  EXPECT_EQ(DeleteMaskData(handles[7]), -1);
  ObjectHandle again = CreateMaskData(3, 3);
  EXPECT_EQ(again & 0xFFFF, 7);
  EXPECT_NE(again, handles[7]);
  EXPECT_EQ(CreateMaskData(-1, 3), -1);
  EXPECT_EQ(DeleteAllMaskData(), 0);
  EXPECT_EQ(DeleteMaskData(again), -1);
}

TEST_F(MaskScreenTest, PatternsFromFilesTakeTheBlueChannel) {
  BmpLayout layout;
  layout.width = 5;
  layout.height = 3;
  layout.pixels = PackRows(5, 3, 24, false, [](int x, int y) { return 0x7F7F00u | static_cast<uint32_t>(x + 10 * y); });
  WriteFileBytes("mask.bmp", MakeBmp(layout));
  ObjectHandle pattern = LoadMaskFile("mask.bmp");
  ASSERT_NE(pattern, -1);
  const MaskRecord& record = MaskTable[pattern & 0xFFFF];
  EXPECT_EQ(record.width, 5);
  EXPECT_EQ(record.pitch, 8);
  EXPECT_EQ(record.bytes[2 * 8 + 4], 24);
  EXPECT_EQ(record.bytes[0], 0);
  EXPECT_EQ(LoadMaskFile("missing.bmp"), -1);
}

// A draw call that draws through other draw calls copies the target in and
// writes it back once, at the outermost level.
TEST_F(MaskScreenTest, NestedBracketsCopyOnce) {
  MakeMaskScreen();
  PaintMaskScreen(0);
  const PixelRect rect = {0, 0, 10, 10};
  BeginMaskScreenDraw(rect);
  const PixelRect one = {2, 2, 3, 3};
  FillMemImgRect(&MaskScreenMemImg, &one, 0x1234);
  BeginMaskScreenDraw(rect);  // no second copy over the drawn pixel
  EXPECT_EQ(RawPixel(&MaskScreenMemImg, 2, 2), 0x1234u);
  EndMaskScreenDraw(rect);  // no write-back yet
  EXPECT_NE(RawPixel(&ScreenMemImg, 2, 2), 0x1234u);
  EndMaskScreenDraw(rect);
  EXPECT_EQ(RawPixel(&ScreenMemImg, 2, 2), 0x1234u);
}

// The draw target may be larger than the mask screen: nothing is read or
// written past the mask's own size.
TEST_F(MaskScreenTest, TargetsLargerThanTheMask) {
  SetGraphCreateBitDepth(16);
  ObjectHandle big = PatternGraph(100, 80, 4);
  ObjectHandle graph = PatternGraph(30, 30, 5);
  MakeMaskScreen();
  ASSERT_EQ(SelectDrawTarget(big), 0);
  ASSERT_EQ(DrawClipRect.right, 100);
  EXPECT_EQ(PaintMaskScreen(0), 0);
  ObjectHandle pattern = CountingPattern(20, 20);
  EXPECT_EQ(DrawMaskData(55, 40, pattern, 2), 0);
  EXPECT_EQ(MaskAt(63, 47), 10 * 7 + 8 + 1);

  PaintMaskScreen(0);
  const MEMIMG* target = &GetGraphRecordChecked(big)->image;
  ImageCopy before(target);
  ASSERT_EQ(DrawGraphAt(50, 40, graph, 0), 0);
  EXPECT_EQ(DrawClipRect.right, 100);  // the area is the target's again
  EXPECT_EQ(RawPixel(target, 50, 40), RawPixel(&GetGraphRecordChecked(graph)->image, 0, 0));
  EXPECT_EQ(RawPixel(target, 63, 47), RawPixel(&GetGraphRecordChecked(graph)->image, 13, 7));
  EXPECT_EQ(RawPixel(target, 64, 47), RawPixel(&before.image, 64, 47));
  EXPECT_EQ(RawPixel(target, 70, 60), RawPixel(&before.image, 70, 60));
}


// The write-back copies exactly the pixels whose mask byte is 0: runs of
// open bytes of every length, at the rectangle's edges and between closed
// ones; in the lower rows runs of open and closed bytes of 2 to 25 bytes,
// longer than the words the write-back looks at, starting at every offset.
TEST_F(MaskScreenTest, WriteBackFollowsTheMaskByteForByte) {
  MakeMaskScreen();
  PaintMaskScreen(0);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool closed = y < 24 ? ((x * 7 + y * 3) % 11 < 4 || x == 5) : ((x + y) / (y - 22)) % 2 == 1;
      MaskBytes.bytes[y * MaskBytes.pitch + x] = closed ? (y % 3 == 0 ? 0x80 : 0xFF) : 0;
    }
  ImageCopy before(&ScreenMemImg);
  const PixelRect rect = {3, 2, 61, 45};
  BeginMaskScreenDraw(rect);
  FillMemImgRect(&MaskScreenMemImg, nullptr, 0x5A5A);
  EndMaskScreenDraw(rect);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
      bool open = MaskAt(x, y) == 0;
      uint32_t want = inside && open ? 0x5A5Au : RawPixel(&before.image, x, y);
      ASSERT_EQ(RawPixel(&ScreenMemImg, x, y), want) << x << ", " << y;
    }
}

}  // namespace
