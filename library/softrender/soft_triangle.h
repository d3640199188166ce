// Triangles, quadrilaterals and rotated blits of the software renderer,
// drawn into a memory image under the current blend mode, parameter,
// brightness and drawing area. A triangle is textured from a source image
// or filled with one colour; a quadrilateral maps a whole image onto four
// points as two triangles; a rotated blit turns and scales an image about
// its centre. Every refusal draws nothing, silently.
#pragma once

#include <cstdint>

struct MEMIMG;

// One corner: destination pixel (x, y) and source texel corner (u, v).
struct TriVertex {
  int32_t x, y, u, v;
};

// Coordinates of corners and texels lie in -8192 .. 8191; a triangle with
// any beyond is not drawn.
constexpr int32_t kTriangleCoordinateLimit = 8192;

// The palette of the last paletted triangle or rotated source, 256 entries
// of 4 bytes (2-byte entries from the start for 16-bit images); entries
// beyond the source's palette count are zero.
extern uint8_t TrianglePalette[1024];
extern uint8_t RotatePalette[1024];

// src null: a flat triangle in colour (a pixel value in the destination's
// format); trans and mask are then not used. Otherwise textured from src,
// trans != 0 turning on the texel test, mask (one byte per texel) or null.
// Rows run from the top corner's row up to, not including, the bottom
// corner's; each row's span includes both of its ends.
void SoftTriangle(MEMIMG* dst, const MEMIMG* src, const TriVertex* vertices, int32_t trans,
                  const MEMIMG* mask, uint32_t colour);

// Two triangles drawn as SoftTriangle draws each, first then second, except
// that the pixels both cover (the edge two halves of a quadrilateral share)
// are drawn once: with the second's texel where it draws one there, else
// with the first's, so a copy leaves what the two calls would and a blend
// blends those pixels once.
void SoftTrianglePair(MEMIMG* dst, const MEMIMG* src, const TriVertex* first, const TriVertex* second,
                      int32_t trans, const MEMIMG* mask, uint32_t colour);

// points: (x, y) of where the source's top-left, top-right, bottom-left and
// bottom-right corners land. Drawn as the triangle pair (0, 1, 2) and
// (1, 2, 3), split along the diagonal from the top-right to the bottom-left
// corner.
void SoftBlitQuad(MEMIMG* dst, const MEMIMG* src, const int32_t* points, int32_t trans, const MEMIMG* mask);

// src turned by angle (radians, clockwise on screen) and scaled by scale
// about its centre, the centre landing on (x, y); turn != 0 mirrors it left
// to right first. A zero, infinite or undefined scale or angle draws nothing.
void SoftBlitRotate(MEMIMG* dst, const MEMIMG* src, int32_t x, int32_t y, float angle, float scale,
                    int32_t trans, int32_t turn, const MEMIMG* mask);
