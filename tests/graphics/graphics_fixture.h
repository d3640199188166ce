// Graphics on the software renderer for the tests: a small screen of the
// depth a test asks for, the archive-aware file set with the extension
// "dat", and no memory left behind once graphics have ended.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "library/core/library_state.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/light_state.h"
#include "platform/com/com.h"
#include "tests/file/archive_fixture.h"
#include "tests/graphics/image_fixtures.h"

class GraphicsTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    PlatformUseVirtualClock(true, 1000000);
    CoInitialize(nullptr);
    SetFileFunctionTable(nullptr);
    ArchiveSetExtension("dat");
    // The graph-creation settings as a process starts with them, whatever
    // an earlier test of the process left.
    GraphCreateSettings = GraphCreateSettingsState{0, 0, 1, 0, 0, 0, 0, 0};
    blocks_ = TrackedBlockCount();
  }
  void TearDown() override {
    StopGraphics();
    CleanupArchives();
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    CoUninitialize();
    PlatformUseVirtualClock(false);
    FileTest::TearDown();
  }

  // Graphics started as the library starts them, without a window; the
  // library counts as started so that every draw call draws (also after an
  // earlier test of the process closed its main window).
  static void StartGraphics(int bits, int width = 64, int height = 48) {
    MainWindowClosed = 0;
    MainWindowDestroyed = 0;
    ScreenWidth = width;
    ScreenHeight = height;
    ScreenColorBits = bits;
    WindowedMode = 1;
    ASSERT_EQ(InitGraphicsSystem(), 0);
    LibraryInitialised = 1;
  }
  static void StopGraphics() {
    EndGraphicsSystem();
    LibraryInitialised = 0;
  }

 private:
  int32_t blocks_ = 0;
};

// The raw pixel of a memory image (1, 2 or 4 bytes).
inline uint32_t RawPixel(const MEMIMG* image, int x, int y) {
  const MemImgBuffer* b = image->buffer;
  const uint8_t* p = image->pixels + static_cast<int64_t>(y) * b->pitch + x * b->format->bytesPerPixel;
  uint32_t v = 0;
  std::memcpy(&v, p, b->format->bytesPerPixel);
  return v;
}

// The colour of a memory image's pixel (palette entries for paletted images).
inline Rgba MemImgColour(const MEMIMG* image, int x, int y) {
  const MemImgBuffer* b = image->buffer;
  uint32_t v = RawPixel(image, x, y);
  if (b->paletted) {
    v = b->depthKind == MemImgDepth16 ? static_cast<const uint16_t*>(b->palette)[v]
                                      : static_cast<const uint32_t*>(b->palette)[v];
  }
  const ColorFormat* f = GetStandardColorFormat(b->depthKind, b->alpha, 0);
  int32_t r = 0, g = 0, bl = 0, a = 0;
  SplitFormatColor(f, v, &r, &g, &bl, &a);
  return {r, g, bl, b->alpha ? a : 0};
}

// The colour as an image of the given depth kind keeps it.
inline Rgba Quantised(Rgba c, int32_t depthKind) {
  if (depthKind == MemImgDepth32) return c;
  int32_t r, g, b;
  SplitFormatColor(GetStandardColorFormat(MemImgDepth16, 0, 0),
                   MakeFormatColor(GetStandardColorFormat(MemImgDepth16, 0, 0), c.r, c.g, c.b, 0), &r, &g, &b,
                   nullptr);
  return {r, g, b, c.a};
}

// A copy of a memory image of the same layout (the renderer's reference target).
struct ImageCopy {
  MEMIMG image{};
  explicit ImageCopy(const MEMIMG* from) {
    const MemImgBuffer* b = from->buffer;
    EXPECT_EQ(SetupMemImg(&image, from->width, from->height, -1, 0, b->depthKind, 0, 0, 0, nullptr), 0);
    for (int y = 0; y < from->height; ++y)
      std::memcpy(image.pixels + static_cast<int64_t>(y) * image.buffer->pitch,
                  from->pixels + static_cast<int64_t>(y) * b->pitch,
                  static_cast<size_t>(from->width) * b->format->bytesPerPixel);
  }
  ~ImageCopy() { ReleaseMemImg(&image); }
  ImageCopy(const ImageCopy&) = delete;
  ImageCopy& operator=(const ImageCopy&) = delete;
};

// The raw pixels of two images of one size; reports the first differences.
inline void ExpectSameImage(const MEMIMG* got, const MEMIMG* want, const char* what = "") {
  ASSERT_EQ(got->width, want->width);
  ASSERT_EQ(got->height, want->height);
  int failures = 0;
  for (int y = 0; y < got->height && failures < 5; ++y)
    for (int x = 0; x < got->width && failures < 5; ++x)
      if (RawPixel(got, x, y) != RawPixel(want, x, y)) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << RawPixel(got, x, y)
                      << ", expected " << RawPixel(want, x, y) << std::dec;
        ++failures;
      }
}

// The number of pixels in which two images of one size differ.
inline int CountDifferences(const MEMIMG* a, const MEMIMG* b) {
  int n = 0;
  for (int y = 0; y < a->height; ++y)
    for (int x = 0; x < a->width; ++x) n += RawPixel(a, x, y) != RawPixel(b, x, y);
  return n;
}

// Fills a memory image with a pattern that differs from pixel to pixel.
inline void PaintImage(MEMIMG* image, uint32_t seed) {
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) {
      const PixelRect one = {x, y, x + 1, y + 1};
      FillMemImgRect(image, &one, Hash(x, y, seed));
    }
}

// A graph of the given size holding a pattern, with some pixels of the
// transparent colour (black).
inline ObjectHandle PatternGraph(int width, int height, uint32_t seed) {
  ObjectHandle graph = CreateEmptyGraph(width, height);
  MEMIMG* image = &GetGraphRecordChecked(graph)->image;
  PaintImage(image, seed);
  const PixelRect hole = {width / 3, height / 3, width / 3 + 2, height / 3 + 2};
  FillMemImgRect(image, &hole, image->buffer->transColor);
  return graph;
}
