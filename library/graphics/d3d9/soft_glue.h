// The software path: the screen as a memory image, and the thin functions
// through which the drawing API hands graphs and shapes to the software
// renderer, always drawing into DrawDestMemImg with BlendMaskMemImg. Also the
// helpers both back ends share: the packed vertex colour, the blend-graph
// size test and the packed brightness setter.
#pragma once

#include <cstdint>

#include "library/graphics/graph_handle.h"
#include "library/graphics/mem_img.h"

// The screen on the software path: screen size, RGB565 at 16 bits, else XRGB8888.
extern MEMIMG ScreenMemImg;
// Scratch images of screen size and depth for text drawing: the first plain,
// the second with an alpha channel.
extern MEMIMG GlyphWorkMemImg[2];

// PackedDrawColor as the current draw state gives it.
uint32_t ComputePackedDrawColor();
// 0 when the selected blend graph is live and at least as large as the
// graph, else -1 (also without a blend graph).
int CheckBlendGraphSize(const GraphRecord* graph);
// Makes ScreenMemImg and the glyph work images, clears the screen to the
// background colour and draws into it. A screen image that cannot be made
// ends the program.
int CreateScreenMemImg();
// Releases what CreateScreenMemImg made.
void ReleaseScreenMemImg();
// 0xRRGGBB as the brightness, when it differs.
void SetDrawBrightnessPacked(uint32_t rgb);

// The memory image the software renderer draws into now. Writing into a
// graph makes its run table and premultiplied copy stale: they are dropped
// here, so the graph is never drawn through them again.
MEMIMG* SoftDrawDest();
// Drops the run table and premultiplied copy of an image whose pixels are
// about to change.
void DropMemImgDerivedData(MEMIMG* image);

int G_Soft_DrawGraph(int32_t x, int32_t y, int32_t trans, GraphRecord* graph);
int G_Soft_DrawGraphStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, GraphRecord* graph, int32_t trans);
