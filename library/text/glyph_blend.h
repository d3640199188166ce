// Glyph boxes written straight onto a destination image, 8 or 16 pixels at
// a time: edged plain glyphs (cell values 1 glyph, 2 edge) written over the
// pixels, and anti-aliased glyphs laid over them the way the copy-mode blit
// lays a work image with alpha: a work pixel with alpha 0 leaves the pixel,
// alpha 255 replaces it, any other alpha a mixes each channel as
// floor((d x (256 - a) + s x a) / 256) (32-bit pixels keep their byte 3).
//
// Every pixel of a box is written at most once, and pixels outside it keep
// their values (a row's last 8 or 16 pixels may be read and stored back
// unchanged beside the box).
#pragma once

#include <cstdint>

// A glyph's clipped box: rows of cells (cell values, one byte each, or the
// planes of an inked glyph) and the destination pixels they land on.
struct GlyphBox {
  const uint8_t* cells;     // the box's first cell
  int32_t cellBytes;        // bytes a cell
  int32_t cellPitch;        // cells a row
  const uint8_t* cellsEnd;  // nothing at or past it is read
  const uint8_t* colours;   // inked glyphs: the colour of the box's first pixel
  uint8_t* dest;            // the box's first destination pixel
  int32_t destPitch;
  int32_t destLeft;       // the box's column in the destination row
  int32_t destRowPixels;  // pixels in a destination row
  int32_t width, height;
};

// Edged plain glyph: value 1 writes text, 2 writes edge, others keep the
// pixel. pixelBytes 2 or 4.
void WriteEdgedGlyphBox(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge);

// Where an anti-aliased glyph's pixels come from. words[v] is the
// work-image pixel of cell value v (0 where the value leaves the pixel): on
// 16-bit images the RGB565 colour in bits 0 to 15 and the alpha in bits 16
// to 23, on 32-bit ones the colour with the alpha as byte 3.
// - Table: looked up in words;
// - Levels (coverage levels, type 2, a colour without alpha bits): the
//   colour of words[1] with alpha (v & 15) x 16, worked out;
// - Inked: the cells are an inked glyph's weights (16 bits: 2 x alpha, 512
//   for alpha 255), GlyphBox::colours its colours (RGB565, or 32-bit
//   work-image pixels).
enum class GlyphInkKind { Table, Levels, Inked };
struct GlyphInk {
  GlyphInkKind kind;
  const uint32_t* words;
};

// Anti-aliased glyphs over the destination. pixelBytes 2 or 4.
void BlendGlyphBoxes(const GlyphBox* boxes, int32_t count, int32_t pixelBytes, const GlyphInk& ink);

// The weight of an inked 16-bit pixel of alpha a.
inline uint16_t InkWeight(uint32_t alpha) { return static_cast<uint16_t>(alpha == 255 ? 512 : 2 * alpha); }

// One pixel of each: a work pixel over the destination pixel, and a cell
// value of an edged plain glyph.
void BlendGlyphPixel(uint8_t* at, int32_t pixelBytes, uint32_t word);
// The work pixel of an inked glyph's cell at (its index from the box's
// first cell).
uint32_t InkedGlyphWord(const GlyphBox& box, int64_t at, int32_t pixelBytes);
void WriteEdgedGlyphPixel(uint8_t* at, int32_t pixelBytes, uint8_t value, uint32_t text, uint32_t edge);

// The AVX2 forms, from a file compiled for AVX2; called only when the
// processor has it (BlitUseAvx2).
void WriteEdgedGlyphBoxAvx2(const GlyphBox& box, int32_t pixelBytes, uint32_t text, uint32_t edge);
void BlendGlyphBoxesAvx2(const GlyphBox* boxes, int32_t count, int32_t pixelBytes, const GlyphInk& ink);

// True when the processor has AVX-512 (F, BW and VL) and inked glyphs are
// laid onto 32-bit pixels with it (tests and benchmarks may clear it to run
// the other loops).
extern bool GlyphUseAvx512;
// Inked glyphs over 32-bit pixels, from a file compiled for AVX-512.
void BlendInkedGlyphBoxes32Avx512(const GlyphBox* boxes, int32_t count);
