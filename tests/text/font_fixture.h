// Fonts on the software renderer for the tests: graphics started (which
// makes the default font), helpers for character records and cache cells,
// and the cell that the cache's rules make of a FreeType reference glyph.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "library/text/font_handle.h"
#include "library/text/glyph_cells.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/text/glyph_reference.h"

constexpr const char* kGothicFace = "ＭＳ ゴシック";

class FontTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartGraphics(16);
  }
  void TearDown() override {
    ForceTextureGlyphCache = 0;
    GraphicsTest::TearDown();
  }
  // A font with the library's defaults for what is not given.
  static ObjectHandle Font(int size, int type, int thickness = 4, int edge = -1, int italic = 0) {
    ObjectHandle h = CreateFontToHandle(nullptr, size, thickness, type, -1, edge, italic, -1, -1);
    EXPECT_NE(h, -1) << "size " << size << " type " << type;
    return h;
  }
};

// The text metrics GDI gives the face at a size and thickness.
inline TEXTMETRICA GdiMetrics(int size, int thickness) {
  HFONT gdi = CreateFontA(size, 0, 0, 0, thickness * 100, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 3, 1, kGothicFace);
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT old = SelectObject(dc, gdi);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(gdi);
  return tm;
}

// A 3-byte character record.
struct CharRecord {
  uint8_t bytes[3];
};
inline CharRecord Record(uint8_t first, uint8_t second = 0) { return {{first, second, 0}}; }

// One cached glyph by its code (first + 256 x second), or null.
inline const GlyphSlot* CachedSlot(ObjectHandle font, uint8_t first, uint8_t second = 0) {
  const FontHandleRecord* f = GetFontHandleRecord(font);
  const GlyphCodeEntry& e = f->codes[first | second << 8];
  return e.cached ? e.slot : nullptr;
}

// The cell-size square of a memory-cache cell as one value a pixel (bits
// as 0 or 1).
inline std::vector<uint8_t> MemoryCell(const FontHandleRecord* f, int32_t cellIndex) {
  int32_t cx = 0, cy = 0;
  GlyphCellOrigin(f, cellIndex, &cx, &cy);
  std::vector<uint8_t> cell(static_cast<size_t>(f->cellSize) * f->cellSize);
  for (int y = 0; y < f->cellSize; ++y)
    for (int x = 0; x < f->cellSize; ++x) {
      const uint8_t* row = f->cachePixels + static_cast<int64_t>(cy + y) * f->cachePitch;
      cell[static_cast<size_t>(y) * f->cellSize + x] =
          f->cacheBits == 1 ? (row[(cx + x) >> 3] >> (7 - ((cx + x) & 7)) & 1) : row[cx + x];
    }
  return cell;
}

// The edge mask of size e as the rows' widths, each row centred.
inline int MaskHalfWidth(int e, int dy) {
  static const int kRows[5][9] = {{1}, {1, 3, 1}, {3, 5, 5, 5, 3}, {1, 5, 5, 7, 5, 5, 1}, {5, 7, 9, 9, 9, 9, 9, 7, 5}};
  if (e > 4) return e;
  return kRows[e][dy + e] / 2;
}
inline bool InMask(int e, int dx, int dy) { return dy >= -e && dy <= e && std::abs(dx) <= MaskHalfWidth(e, dy); }

// The cell the memory cache should hold for a reference glyph (plain
// reference for type 0 and 1, 17 levels for types 2 and 3), placed e pixels
// in and cut to the room.
inline std::vector<uint8_t> ExpectedMemoryCell(const ReferenceGlyph& g, uint32_t type, int e, int cell, int room) {
  std::vector<uint8_t> out(static_cast<size_t>(cell) * cell, 0);
  if (g.blank) return out;
  auto level = [&](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= g.width || y >= g.height || x + e >= room || y + e >= room) return 0;
    const int v = g.At(x, y);
    return type <= 1 ? (v != 0 ? 16 : 0) : v;
  };
  for (int y = 0; y < room; ++y)
    for (int x = 0; x < room; ++x) {
      uint8_t& v = out[static_cast<size_t>(y) * cell + x];
      const int own = level(x - e, y - e);
      if (type == 0) {
        v = own != 0;
        continue;
      }
      if (type == 2) {
        v = static_cast<uint8_t>(own > 0 ? own - 1 : 0);
        continue;
      }
      int edge = -1;  // the highest glyph level - 1 whose mask reaches here
      for (int dy = -e; dy <= e; ++dy)
        for (int dx = -e; dx <= e; ++dx)
          if (InMask(e, dx, dy) && level(x - e - dx, y - e - dy) > 0) edge = std::max(edge, level(x - e - dx, y - e - dy) - 1);
      if (type == 1) {
        v = own != 0 ? 1 : edge >= 0 ? 2 : 0;
      } else {
        v = static_cast<uint8_t>((own > 0 ? own - 1 : 0) | (edge > 0 ? edge << 4 : 0));
      }
    }
  return out;
}

// Where two cells differ first, for messages.
inline std::string FirstCellDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, int cell) {
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i])
      return "at " + std::to_string(i % cell) + "," + std::to_string(i / cell) + ": " + std::to_string(got[i]) +
             " != " + std::to_string(want[i]);
  return "";
}
