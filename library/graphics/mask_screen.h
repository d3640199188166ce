// Mask screens: a byte per screen pixel that limits drawing. While the mask
// screen is active, draw calls draw into a screen-sized image of their own
// and write back to the real target only where the mask byte is 0.
#pragma once

#include <cstdint>

#include "library/graphics/mem_img.h"

extern int32_t MaskScreenCreated;
// 1 after the draw-state reset.
extern int32_t MaskScreenEnabled;
// Enabled and created.
extern int32_t MaskScreenActive;
// Software renderer: the image draw calls draw into while the mask screen is active.
extern MEMIMG MaskScreenMemImg;

// Switches drawing through the mask screen on or off and points drawing at
// the mask screen or the real target. -1 while no mask bytes exist.
int EnableMaskScreen(int32_t flag);
