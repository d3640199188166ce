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

// The glue of the drawing calls: each draws into SoftDrawDest() with
// BlendMaskMemImg as the mask and returns 0.
int G_Soft_DrawGraph(int32_t x, int32_t y, int32_t trans, GraphRecord* graph);
int G_Soft_DrawGraphStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, GraphRecord* graph, int32_t trans);
// The graph's centre at (x, y), truncated toward zero.
int G_Soft_DrawGraphRotated(float x, float y, double scale, double angle, GraphRecord* graph, int32_t trans,
                            int32_t turn);
// Corners of the graph's top-left, top-right, bottom-left and bottom-right,
// drawn as the triangles 1-2-3 and 2-3-4.
int G_Soft_DrawGraphQuad(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                         int32_t y4, GraphRecord* graph, int32_t trans);
int G_Soft_DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                          GraphRecord* graph, int32_t trans);
int G_Soft_FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
int G_Soft_DrawEllipse(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill);
// The one-pixel outline of the box, right and bottom edges at x2 - 1 and y2 - 1.
int G_Soft_FrameRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
int G_Soft_DrawTriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                        int32_t fill);
// points: the four corners (x, y) in order round the quadrilateral.
int G_Soft_DrawQuadShape(const int32_t* points, uint32_t colour, int32_t fill);
