#include "library/text/glyph_cells.h"

#include <algorithm>
#include <cstring>

namespace {

// The glyph's coverage at (x, y): 0 to 16 (a set bit counts as 16).
int32_t GlyphLevel(const GlyphBitmap& g, int32_t x, int32_t y) {
  const uint8_t* row = g.bits + static_cast<int64_t>(y) * g.pitch;
  if (g.grey) return row[x] > 16 ? 16 : row[x];
  return (row[x >> 3] >> (7 - (x & 7)) & 1) != 0 ? 16 : 0;
}

int32_t EdgeOf(const FontHandleRecord* font) { return (font->type & FontTypeEdge) != 0 ? font->edgeSize : 0; }

// Where a glyph goes: the cell's origin, the room in it, the edge size and
// the part of the glyph (w x h) that fits with its edge offset.
struct CellPlacement {
  int32_t cellX, cellY, room, e, w, h;
};

CellPlacement PlaceGlyph(const FontHandleRecord* font, int32_t cellIndex, const GlyphBitmap& glyph) {
  CellPlacement p{};
  GlyphCellOrigin(font, cellIndex, &p.cellX, &p.cellY);
  p.room = GlyphCellRoom(font);
  p.e = EdgeOf(font);
  p.w = std::min(glyph.width, p.room - p.e);
  p.h = std::min(glyph.height, p.room - p.e);
  return p;
}

// Calls visit(x, y) for every pixel of the edge mask of size e centred on
// (cx, cy) that lies inside the room x room square.
template <typename Visit>
void ForEachMasked(int32_t e, int32_t cx, int32_t cy, int32_t room, Visit visit) {
  for (int32_t dy = -e; dy <= e; ++dy) {
    const int32_t y = cy + dy;
    if (y < 0 || y >= room) continue;
    const int32_t half = EdgeMaskHalfWidth(e, dy);
    const int32_t x0 = std::max(cx - half, 0), x1 = std::min(cx + half, room - 1);
    for (int32_t x = x0; x <= x1; ++x) visit(x, y);
  }
}

// A pixel of the base image as a word of its size.
uint32_t ReadBasePixel(const FontHandleRecord* font, int32_t x, int32_t y) {
  uint32_t v = 0;
  std::memcpy(&v, font->basePixels + static_cast<int64_t>(y) * font->basePitch + x * font->cacheFormat.bytesPerPixel,
              font->cacheFormat.bytesPerPixel);
  return v;
}

void WriteBasePixel(FontHandleRecord* font, int32_t x, int32_t y, uint32_t v) {
  std::memcpy(font->basePixels + static_cast<int64_t>(y) * font->basePitch + x * font->cacheFormat.bytesPerPixel, &v,
              font->cacheFormat.bytesPerPixel);
}

// White with the alpha of coverage level v (1 to 16) in a format of the
// given alpha width: v x 2^(width - 4) - 1; level 0 is white with alpha 0.
uint32_t WhiteWithLevel(const ColorFormat& f, int32_t v) {
  const uint32_t white = f.redMask | f.greenMask | f.blueMask;
  if (v <= 0 || f.alphaMask == 0) return v <= 0 ? white : white | f.alphaMask;
  int32_t alpha = (v << f.alphaWidth) / 16 - 1;
  if (alpha < 0) alpha = 0;
  return white | ((static_cast<uint32_t>(alpha) << f.alphaShift) & f.alphaMask);
}

}  // namespace

int32_t EdgeMaskHalfWidth(int32_t edgeSize, int32_t dy) {
  static const int8_t kDisc2[5] = {1, 2, 2, 2, 1};
  static const int8_t kDisc3[7] = {0, 2, 2, 3, 2, 2, 0};
  static const int8_t kDisc4[9] = {2, 3, 4, 4, 4, 4, 4, 3, 2};
  switch (edgeSize) {
    case 0:
      return 0;
    case 1:
      return dy == 0 ? 1 : 0;
    case 2:
      return kDisc2[dy + 2];
    case 3:
      return kDisc3[dy + 3];
    case 4:
      return kDisc4[dy + 4];
    default:
      return edgeSize;
  }
}

int32_t GlyphCellRoom(const FontHandleRecord* font) { return font->textureCache ? font->cellSize - 1 : font->cellSize; }

void ClearGlyphCell(FontHandleRecord* font, int32_t cellIndex) {
  // The glyph inked from the cell goes with it.
  if (font->inkCount > 0 && cellIndex >= 0) {
    GlyphInkEntry& ink = font->inks[cellIndex & (font->inkCount - 1)];
    if (ink.slot == cellIndex) ink.bits = 0;
  }
  const int32_t column = cellIndex / font->cellsPerColumn, row = cellIndex % font->cellsPerColumn;
  const int32_t x = column * font->cellSize, y = row * font->cellSize, side = font->cellSize;
  if (font->textureCache) {
    const int32_t bpp = font->cacheFormat.bytesPerPixel;
    const int32_t halves = (font->type & FontTypeEdge) != 0 ? 2 : 1;
    for (int32_t h = 0; h < halves; ++h)
      for (int32_t r = 0; r < side; ++r)
        std::memset(font->basePixels + static_cast<int64_t>(y + r) * font->basePitch +
                        static_cast<int64_t>(x + h * font->cacheWidth) * bpp,
                    0, static_cast<size_t>(side) * bpp);
    return;
  }
  std::memset(font->cachePixels + static_cast<int64_t>(y) * font->cachePitch, 0,
              static_cast<size_t>(side) * static_cast<size_t>(font->cachePitch));
}

void WriteMemoryCacheGlyph(FontHandleRecord* font, int32_t cellIndex, const GlyphBitmap& glyph) {
  const auto [cellX, cellY, room, e, w, h] = PlaceGlyph(font, cellIndex, glyph);
  if (w <= 0 || h <= 0) return;
  const int32_t pitch = font->cachePitch;
  uint8_t* cell = font->cachePixels + static_cast<int64_t>(cellY) * pitch + cellX;

  if (font->cacheBits == 1) {
    // Rows copied as they are, as many bytes as both rows hold; bits past
    // the cell's right edge are cleared.
    const int32_t bytes = std::min((room + 7) / 8, glyph.grey ? 0 : glyph.pitch);
    const uint8_t lastMask = room % 8 == 0 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - room % 8));
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = cell + static_cast<int64_t>(y) * pitch;
      std::memcpy(row, glyph.bits + static_cast<int64_t>(y) * glyph.pitch, static_cast<size_t>(bytes));
      if (bytes == (room + 7) / 8) row[bytes - 1] &= lastMask;
    }
    return;
  }

  auto at = [&](int32_t x, int32_t y) -> uint8_t& { return cell[static_cast<int64_t>(y) * pitch + x]; };
  const uint32_t type = font->type & 3;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t v = GlyphLevel(glyph, x, y);
      if (v == 0) continue;
      if (type == 1) {
        at(e + x, e + y) = 1;
      } else {
        at(e + x, e + y) = static_cast<uint8_t>(v - 1);
      }
    }
  if (e == 0 && type != 3) return;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t v = GlyphLevel(glyph, x, y);
      if (v == 0) continue;
      if (type == 1) {
        ForEachMasked(e, e + x, e + y, room, [&](int32_t px, int32_t py) {
          if (at(px, py) == 0) at(px, py) = 2;
        });
      } else if (type == 3) {
        const uint8_t level = static_cast<uint8_t>((v - 1) << 4);
        ForEachMasked(e, e + x, e + y, room, [&](int32_t px, int32_t py) {
          uint8_t& b = at(px, py);
          if ((b & 0xF0) < level) b = static_cast<uint8_t>((b & 0x0F) | level);
        });
      }
    }
}

void WriteTextureCacheGlyph(FontHandleRecord* font, int32_t cellIndex, const GlyphBitmap& glyph) {
  const auto [cellX, cellY, room, e, w, h] = PlaceGlyph(font, cellIndex, glyph);
  if (w <= 0 || h <= 0) return;
  const ColorFormat& f = font->cacheFormat;
  const bool edged = (font->type & FontTypeEdge) != 0;
  const int32_t edgeX = cellX + font->cacheWidth;  // the edge image's twin of the cell

  if ((font->type & FontTypeAntialiased) == 0) {
    const uint32_t opaque = WhiteWithLevel(f, 16);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        if (GlyphLevel(glyph, x, y) == 0) continue;
        WriteBasePixel(font, cellX + e + x, cellY + e + y, opaque);
        if (!edged) continue;
        ForEachMasked(e, e + x, e + y, room, [&](int32_t px, int32_t py) {
          if (ReadBasePixel(font, edgeX + px, cellY + py) == 0) WriteBasePixel(font, edgeX + px, cellY + py, opaque);
        });
      }
    return;
  }

  // Coverage levels first, as words in the cleared cell, then white with
  // the level's alpha over the glyph's whole box.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t v = GlyphLevel(glyph, x, y);
      WriteBasePixel(font, cellX + e + x, cellY + e + y, static_cast<uint32_t>(v));
      if (!edged || v == 0) continue;
      ForEachMasked(e, e + x, e + y, room, [&](int32_t px, int32_t py) {
        const int32_t n = static_cast<int32_t>(ReadBasePixel(font, edgeX + px, cellY + py));
        WriteBasePixel(font, edgeX + px, cellY + py, static_cast<uint32_t>((256 - (16 - n) * (16 - v)) >> 4));
      });
    }
  const int32_t boxW = std::min(w + 2 * e, room), boxH = std::min(h + 2 * e, room);
  const int32_t halves = edged ? 2 : 1;
  for (int32_t half = 0; half < halves; ++half)
    for (int32_t y = 0; y < boxH; ++y)
      for (int32_t x = 0; x < boxW; ++x) {
        const int32_t px = cellX + half * font->cacheWidth + x, py = cellY + y;
        WriteBasePixel(font, px, py, WhiteWithLevel(f, static_cast<int32_t>(ReadBasePixel(font, px, py))));
      }
}
