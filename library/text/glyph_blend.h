// Glyph boxes written straight onto a destination image, eight pixels at a
// time: edged plain glyphs (cell values 1 glyph, 2 edge) written over the
// pixels, and anti-aliased glyphs laid over them the way the copy-mode blit
// lays a work image with alpha: a work pixel with alpha 0 leaves the pixel,
// alpha 255 replaces it, any other alpha a mixes each channel as
// floor((d x (256 - a) + s x a) / 256) (32-bit pixels keep their byte 3).
//
// Every pixel of the box is written at most once and pixels outside it keep
// their values (a row's last eight pixels may be read and stored back
// unchanged beside the box).
#pragma once

#include <cstdint>

// A glyph's clipped box: rows of cell values (one byte a pixel) and the
// destination pixels they land on.
struct GlyphBox {
  const uint8_t* cells;     // the box's first cell value
  int32_t cellPitch;
  const uint8_t* cellsEnd;  // the end of the cell buffer: nothing at or past it is read
  uint8_t* dest;            // the box's first destination pixel
  int32_t destPitch;
  int32_t destLeft;        // the box's column in the destination row
  int32_t destRowPixels;   // pixels in a destination row
  int32_t width, height;
};

// Edged plain glyph: value 1 writes text, 2 writes edge, others keep the
// pixel. pixelBytes 2 or 4.
void WriteEdgedGlyphBox(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge);

// The pixels of an anti-aliased glyph's cell values. words[v] is the
// work-image pixel of cell value v (0 where the value leaves the pixel): on
// 16-bit images the RGB565 colour in bits 0 to 15 and the alpha in bits 16
// to 23, on 32-bit ones the colour with the alpha as byte 3. The other
// kinds give the same pixels without looking them up:
// - Levels (coverage levels, type 2, colour without alpha bits): the words'
//   colour with alpha (v & 15) x 16;
// - OverEdge (glyph level g over edge level e, type 3, RGB565 colours text
//   and edge): alpha A = 16g + (15 - g)e, 16e where g is 0, 255 where g is
//   15, and each channel edge + ((text - edge) x t) >> 8 with t = 4096g / A
//   (0 where g is 0, 256 where g is 15).
enum class GlyphInkKind { Table, Levels, OverEdge };
struct GlyphInk {
  GlyphInkKind kind;
  const uint32_t* words;
  uint32_t text, edge;
};

// Anti-aliased glyph over the destination. pixelBytes 2 or 4 (OverEdge: 2).
void BlendGlyphBox(const GlyphBox& box, int32_t pixelBytes, const GlyphInk& ink);

// One pixel of each: a work pixel over the destination pixel, and a cell
// value of an edged plain glyph.
void BlendGlyphPixel(uint8_t* at, int32_t pixelBytes, uint32_t word);
void WriteEdgedGlyphPixel(uint8_t* at, int32_t pixelBytes, uint8_t value, uint32_t text, uint32_t edge);

// The AVX2 forms, from a file compiled for AVX2; called only when the
// processor has it (BlitUseAvx2).
void WriteEdgedGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge);
void BlendGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, const GlyphInk& ink);
