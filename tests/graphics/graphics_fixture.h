// Graphics on the software renderer for the tests: a small screen of the
// depth a test asks for, the archive-aware file set with the extension
// "dat", and no memory left behind once graphics have ended.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/light_state.h"
#include "tests/file/archive_fixture.h"
#include "tests/graphics/image_fixtures.h"

class GraphicsTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    SetFileFunctionTable(nullptr);
    ArchiveSetExtension("dat");
    blocks_ = TrackedBlockCount();
  }
  void TearDown() override {
    StopGraphics();
    CleanupArchives();
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    FileTest::TearDown();
  }

  static void StartGraphics(int bits, int width = 64, int height = 48) {
    ScreenWidth = width;
    ScreenHeight = height;
    ScreenColorBits = bits;
    GraphicsInitialised = 1;
    BuildBlendTables();
    CreateScreenMemImg();
    ResetDrawState();
  }
  static void StopGraphics() {
    if (!GraphicsInitialised) return;
    FreeAllGraphs(0);
    EndLightHandles();
    ReleaseScreenMemImg();
    GraphicsInitialised = 0;
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
