// The one global draw state of the library: blend mode and parameter,
// brightness, drawing area, and the memory images that software drawing
// writes to and masks with. The Direct3D back end and the software renderer
// both read these values.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"

struct MEMIMG;

// Brightness bytes in memory order blue, green, red; 255 leaves a channel as it is.
struct DrawBrightBytes {
  uint8_t blue, green, red;
};

// 0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply, 10 alpha with inverted
// source, 11 multiply then alpha; 5 to 9 are drawn by no software path.
extern int32_t DrawBlendMode;
// 0 to 255.
extern int32_t DrawBlendParam;
extern DrawBrightBytes DrawBright;
// The drawing area in target pixels; right and bottom are exclusive.
extern PixelRect DrawClipRect;
// Destination of software drawing.
extern MEMIMG* DrawDestMemImg;
// The blend graph's memory image, laid over sources as a per-pixel weight, or null.
extern MEMIMG* BlendMaskMemImg;
// ScreenColorBits, or 16 while it is still 0.
int GetScreenColorBits();

// True when all three brightness bytes are 255.
inline bool IsDrawBrightWhite() {
  return DrawBright.blue == 255 && DrawBright.green == 255 && DrawBright.red == 255;
}
