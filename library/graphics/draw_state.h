// The one global draw state of the library: blend mode and parameter,
// brightness, filter mode, drawing area, draw target and blend graph, and
// the memory images that software drawing writes to and masks with. The
// setters keep the Direct3D back end and the software renderer in step; the
// colour values that shape calls take are pixels of the screen format.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/object_handle.h"

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
// The Direct3D vertex colour: A << 24 | R << 16 | G << 8 | B, A being the
// blend parameter while a blend mode is set, else 255.
extern uint32_t PackedDrawColor;
// Texture filter of scaled and rotated draws: 0, 1 or 2.
extern int32_t DrawFilterMode;
// z of every vertex of the 2-D Direct3D draws.
extern float Draw2DDepth;
// The drawing area in target pixels; right and bottom are exclusive.
extern PixelRect DrawClipRect;
// The same area as floats: left, top, right, bottom.
extern float DrawClipRectF[4];
// The four values last given to SetDrawClipArea, before ordering and clamping.
extern PixelRect RequestedClipArea;
// Set while the drawing area has no pixels: every draw call returns 0 at once.
extern int32_t DrawAreaEmpty;
// -2 back screen, -4 front screen, -3 and -5 further screen values, or a
// drawable graph.
extern ObjectHandle DrawTarget;
extern int32_t DrawTargetWidth, DrawTargetHeight;

// The graph laid over sources as a per-pixel weight (-1 none), with its
// border parameter and range (0 to 255).
struct BlendGraphState {
  ObjectHandle handle;
  int32_t borderParam;
  int32_t borderRange;
};
extern BlendGraphState BlendGraph;

// While set, draw calls and the blend, filter, area and blend-graph setters
// return 0 and do nothing (the text cache sets it while it renders).
extern int32_t DrawSuppressed;

// Destination of software drawing.
extern MEMIMG* DrawDestMemImg;
// The blend graph's memory image, laid over sources as a per-pixel weight, or null.
extern MEMIMG* BlendMaskMemImg;

// The colour that ClearDrawTarget fills with (black).
struct BackgroundColorRGB {
  uint8_t red, green, blue;
};
extern BackgroundColorRGB BackgroundColor;

// ScreenColorBits, or 16 while it is still 0.
int GetScreenColorBits();

// True when all three brightness bytes are 255.
inline bool IsDrawBrightWhite() {
  return DrawBright.blue == 255 && DrawBright.green == 255 && DrawBright.red == 255;
}

int SetDrawBlend(int32_t mode, int32_t param);
int SetDrawBrightness(int32_t red, int32_t green, int32_t blue);
int SetDrawFilterMode(int32_t mode);
int GetDrawFilterMode();
// 0, or -1 when the draw target is no valid graph or screen, or the
// Direct3D device is missing.
int SetDrawClipArea(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Copies left, top, right, bottom.
int GetDrawClipArea(int32_t rect[4]);
// A screen (-2, -4, -3, -5) or a drawable graph; -1 (nothing changed) for
// anything else and before graphics start-up.
int SelectDrawTarget(ObjectHandle handle);
ObjectHandle GetDrawTarget();
// A graph handle or -1 (none); both parameters clamped to 0..255.
int SelectBlendGraph(ObjectHandle handle, int32_t borderParam, int32_t borderRange);

// The pixel value of a colour in the screen format (the low byte of each
// channel is used).
uint32_t MakeScreenColor(int32_t red, int32_t green, int32_t blue);
int SplitScreenColor(uint32_t color, int32_t* red, int32_t* green, int32_t* blue);
// The screen size the program draws in (320 x 240 while the picture is shown
// doubled) and its depth; null pointers are skipped.
int GetShownScreenSize(int32_t* width, int32_t* height, int32_t* bits);

// Called when a graph is deleted (with the address of its surface's image
// when the surface went too): a deleted draw target gives way to the back
// screen, and a released blend graph image is no longer laid over sources.
void ForgetDeletedGraph(ObjectHandle handle, const MEMIMG* releasedSurfaceImage);

// The draw state of graphics start-up: blend, brightness, filter, blend
// graph, the draw target (-2, then the front screen selected) with the whole
// target as area; DrawSuppressed cleared.
void ResetDrawState();
