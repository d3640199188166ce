// Writing one rendered glyph into its cache cell: the memory cache's bits
// and bytes, or the texture cache's base image of white pixels with alpha,
// with the edge grown around the glyph by the edge mask. Everything written
// stays inside the cell; a glyph larger than its cell is clipped to it.
#pragma once

#include <cstdint>

#include "library/text/font_handle.h"

// A glyph as the glyph-outline service gives it: one bit a pixel (most
// significant first) or one byte a pixel holding levels 0 to 16; rows of
// pitch bytes.
struct GlyphBitmap {
  const uint8_t* bits;
  int32_t width, height, pitch;
  int32_t grey;
};

// The half width of row dy (-e to e) of the edge mask of size e: the row
// covers columns -halfWidth to +halfWidth. Size 1 is a plus sign, sizes 2
// to 4 discs, larger sizes the full square, 0 the pixel alone.
int32_t EdgeMaskHalfWidth(int32_t edgeSize, int32_t dy);

// The pixels of a cell (the glyph placed edge-size pixels right and down of
// the cell's origin) for a font of the memory cache: 1-bit rows for type 0, else one byte a pixel (type 1:
// 1 glyph, 2 edge; type 2: level - 1; type 3: glyph level - 1 in the low
// four bits, the edge level in the high four).
void WriteMemoryCacheGlyph(FontHandleRecord* font, int32_t cellIndex, const GlyphBitmap& glyph);
// The same for the texture cache's base image (the edge image in its right
// half for an edged font), in the cache's colour format: white, opaque for
// plain glyphs, with the coverage as alpha for anti-aliased ones.
void WriteTextureCacheGlyph(FontHandleRecord* font, int32_t cellIndex, const GlyphBitmap& glyph);
// Clears the cell-size square of the cell (and its edge twin) and drops the
// glyph inked from it.
void ClearGlyphCell(FontHandleRecord* font, int32_t cellIndex);
// The room for a glyph in one cell: the cell size, one pixel less in the
// texture cache (whose glyphs sit one pixel in).
int32_t GlyphCellRoom(const FontHandleRecord* font);
