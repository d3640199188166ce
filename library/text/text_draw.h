// The public text calls: a string drawn with a font handle or with the
// library's default font, printf-style formatted text, and the width of a
// string. Colours are values of MakeScreenColor; an edge colour is used by
// edged fonts. The draw is bracketed by the mask screen like every graph
// draw and goes to the Direct3D or the software text path.
#pragma once

#include <cstdint>

#include "library/graphics/object_handle.h"

// Formatted texts are made in a buffer of this many bytes, cut at a
// character boundary when longer.
constexpr int32_t kFormatTextBufferSize = 2048;

// 0, or -1 (logged) for a bad handle; a null or empty text, suppressed
// drawing and an empty draw area give 0 without drawing.
int DrawTextToHandle(int32_t x, int32_t y, const char* text, uint32_t colour, ObjectHandle font, uint32_t edgeColour,
                     int32_t vertical);
// Horizontal, without edge colour.
int DrawFormatTextToHandle(int32_t x, int32_t y, uint32_t colour, ObjectHandle font, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
int DrawTextWithDefaultFont(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t edgeColour);
int DrawFormatTextWithDefaultFont(int32_t x, int32_t y, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// The pen advance of length bytes (-1: all); 0 for an empty text, -1 for a
// bad handle or while drawing is suppressed.
int GetTextWidthToHandle(const char* text, int32_t length, ObjectHandle font, int32_t vertical);
int GetFormatTextWidthToHandle(ObjectHandle font, const char* format, ...) __attribute__((format(printf, 2, 3)));
