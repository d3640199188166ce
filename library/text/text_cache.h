// The text cache: a string split into characters, each given a glyph in its
// font's cache, then measured or drawn: on Direct3D as regions of the
// font's cache graphs tinted by the draw brightness, on the software
// renderer by writing the cached glyph pixels into a memory image.
//
// Characters are 3-byte records (first byte, second byte or 0, 0); strings
// of up to 256 bytes use the module's own buffers, longer ones tracked
// allocations freed at the end of the call. The pen is a double that adds up
// the advances; a draw or measure answers it truncated toward zero.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/object_handle.h"

struct MEMIMG;

// Splits up to maxLength bytes of text (-1: all of it) into character
// records (records may be null; it must hold 3 bytes a byte of text), and
// renders the missing glyphs, each distinct character once, in one batch of
// at most the font's slot count. -1 for a bad handle or a failed allocation.
int PrepareFontText(int32_t maxLength, const char* text, ObjectHandle font, uint8_t* records, int32_t* count);

// Measures (draw 0) or draws (draw 1) length bytes (-1: all) of the text
// with its left and top at (x, y). Scales apply only to draws through the
// texture cache with scaled set. dest and clip are the memory image and
// rectangle of a software draw (without dest nothing is drawn there);
// transparent 1 leaves pixels without coverage untouched, 0 clears them.
// vertical 1 runs the text downward, each glyph turned a quarter turn
// clockwise. size gets {width, height} (vertical: {line height, advance}).
// The advance, 0 for a null or empty text, -1 while drawing is suppressed,
// for a bad handle, or when a glyph cannot be cached.
int DrawFontTextCore(int32_t draw, int32_t x, int32_t y, int32_t scaled, double scaleX, double scaleY,
                     const char* text, uint32_t colour, MEMIMG* dest, const PixelRect* clip, int32_t transparent,
                     ObjectHandle font, uint32_t edgeColour, int32_t length, int32_t vertical, int32_t* size);

// The text through the font's cache graphs (made again first when lost). 0.
int G_D3D_DrawFontText(ObjectHandle font, int32_t x, int32_t y, const char* text, uint32_t colour,
                       uint32_t edgeColour, int32_t vertical);
// The text into the software renderer's destination: written directly for
// a plain font in blend mode 0 (or 1 at 255), else drawn into a glyph work
// image and blitted from there as one image under the draw state. In copy
// mode without a blend mask, horizontal anti-aliased text whose glyph boxes
// do not meet is laid glyph by glyph straight onto the destination, which
// gives the same pixels as that blit. 0.
int G_Soft_DrawFontText(ObjectHandle font, int32_t x, int32_t y, const char* text, uint32_t colour,
                        uint32_t edgeColour, int32_t vertical);
