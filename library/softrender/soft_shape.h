// Shapes of the software renderer: filled boxes, lines and line lists,
// circles and ellipses in one flat colour, drawn into a memory image under
// the current blend mode, parameter, brightness and drawing area. Colours
// are pixel values in the destination's format (XRGB8888, or RGB565 in the
// low 16 bits). Paletted destinations are refused, silently, as is every
// draw state that draws nothing; a destination with the alpha flag is drawn
// as XRGB8888 by lines, circles and ellipses when it is 32-bit, and refused
// by boxes and by 16-bit shapes.
#pragma once

#include <cstdint>

struct MEMIMG;

// One line of a line list: drawn from (x1, y1) up to but not including
// (x2, y2). param is filled by the outline builders and not read here.
struct LineRecord {
  int32_t x1, y1, x2, y2;
  uint32_t colour;
  int32_t param;
};
static_assert(sizeof(LineRecord) == 24);

// Fills columns min(x1, x2) .. max(x1, x2) - 1 of rows min(y1, y2) ..
// max(y1, y2) - 1 of rect = {x1, y1, x2, y2}; null fills the whole image.
void SoftFillBox(MEMIMG* dst, const int32_t* rect, uint32_t colour);

// A one-pixel line from (x1, y1), drawn, to (x2, y2), not drawn.
void SoftLine(MEMIMG* dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// SoftLine for each of count records in order; count <= 0 draws nothing.
void SoftLineList(MEMIMG* dst, const LineRecord* records, int32_t count);

// A circle of radius r about (x, y): the outline when fill is 0, else the
// filled disc, each row of which is written once.
void SoftCircle(MEMIMG* dst, int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill);

// An axis-aligned ellipse of radii rx and ry about (x, y) (negative radii
// count as their magnitude; a zero radius draws nothing): the outline when
// fill is 0, else filled, each row written once.
void SoftEllipse(MEMIMG* dst, int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill);
