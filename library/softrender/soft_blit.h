// Image blits of the software renderer: a whole memory image drawn into the
// destination memory image at a point (SoftBlit), or scaled and mirrored
// into a rectangle (SoftBlitStretch), under the current blend mode and
// parameter, brightness, drawing area, transparent colour or source alpha,
// and an optional blend mask laid over the source. Every refusal draws
// nothing, silently.
#pragma once

#include <cstdint>

struct MEMIMG;

// The palette of the last paletted source, 256 entries of 4 bytes (2-byte
// entries from the start for 16-bit images); entries beyond the source's
// palette count are zero.
extern uint8_t BlitPaletteCopy[1024];
extern uint8_t StretchPaletteCopy[1024];

// Draws src with its top-left pixel at (x, y). trans != 0: pixels of the
// source's transparent colour are skipped (alpha sources: see the blend
// modes). mask: one byte per source pixel, or null.
void SoftBlit(MEMIMG* dst, const MEMIMG* src, int32_t x, int32_t y, int32_t trans, const MEMIMG* mask);

// Draws src scaled into rect = {x1, y1, x2, y2} (right and bottom exclusive
// once ordered); x1 > x2 mirrors left-right, y1 > y2 top-bottom.
void SoftBlitStretch(MEMIMG* dst, const MEMIMG* src, const int32_t* rect, int32_t trans, const MEMIMG* mask);
