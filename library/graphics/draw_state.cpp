#include "library/graphics/draw_state.h"

#include "library/graphics/graphics_system.h"

int32_t DrawBlendMode = 0;
int32_t DrawBlendParam = 0;
DrawBrightBytes DrawBright = {255, 255, 255};
PixelRect DrawClipRect = {0, 0, 0, 0};
MEMIMG* DrawDestMemImg = nullptr;
MEMIMG* BlendMaskMemImg = nullptr;

int GetScreenColorBits() { return ScreenColorBits == 0 ? 16 : ScreenColorBits; }
