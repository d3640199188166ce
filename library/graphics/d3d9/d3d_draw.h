// The Direct3D draws of the drawing API: graphs at a point, stretched
// (mirrored when the corners are reversed), rotated and scaled about their
// centre, mapped onto quadrilaterals, lists of textured triangles, and the
// shapes (boxes, frames, lines, circles, ellipses, triangles). Each prepares
// the device state and writes its vertices into the batch, piece by piece for
// graphs made of several textures. All return 0, or -1 without a device or
// while the device is lost.
#pragma once

#include <cstdint>

#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/graph_handle.h"

// Set from a present that finds the device lost until the device is made
// again: draws are dropped meanwhile.
extern int32_t D3DDeviceLost;
// A device to draw on.
bool G_D3D_CanDraw();

// The blend graph as the draws read it: its first texture's reciprocal size
// and where the graph lies in that texture.
struct BlendGraphTextureState {
  float reciprocalWidth, reciprocalHeight;
  float offsetX, offsetY;
};
extern BlendGraphTextureState BlendGraphTexture;

// keepTransparency: the graph's own transparency kind under any filter (the
// drawing API always passes 1).
int G_D3D_DrawGraph(GraphRecord* graph, float x, float y, int32_t trans, int32_t keepTransparency);
// filterSensitive: the transparency kind is kept unless the filter is bilinear.
int G_D3D_DrawGraphStretched(GraphRecord* graph, float x1, float y1, float x2, float y2, int32_t trans,
                             int32_t filterSensitive);
// flags: the draw preparation flags (the drawing API passes its trans flag).
int G_D3D_DrawGraphRotated(GraphRecord* graph, float x, float y, double scale, double angle, int32_t flags,
                           int32_t turn);
// corners: (x, y) of the graph's top-left, top-right, bottom-left and
// bottom-right, in that order.
int G_D3D_DrawGraphQuad(GraphRecord* graph, const int32_t corners[8], int32_t trans);
// corners: (x, y) of the graph's top-left, top-right, bottom-right and
// bottom-left (the public order, round the graph).
int G_D3D_DrawGraphQuadF(GraphRecord* graph, const float corners[8], int32_t trans);
// One piece onto the quadrilateral of its four corners (top-left, top-right,
// bottom-left, bottom-right): one quad for a parallelogram, else a grid of
// 8 x 8 vertices drawn at once.
int G_D3D_DrawGraphPieceOnQuad(const GraphDrawPiece* piece, const float corners[8]);
// columns x rows pre-transformed textured vertices as triangle strips.
int G_D3D_DrawGridMesh(int32_t columns, int32_t rows, const BatchVertexTextured* vertices);
// The caller's textured vertices drawn at once with the graph's first
// texture (or none); turn 1 swaps u of the left and right vertices of each
// six-vertex quad.
int G_D3D_DrawPolygonList(GraphRecord* graph, const BatchVertexTextured* vertices, int32_t count, uint32_t type,
                          int32_t flags, int32_t turn, int32_t turnDirection);
// The surface drawn into, with a viewport over all of it.
int G_D3D_SetRenderTarget(IDirect3DSurface9* surface);

int G_D3D_FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
int G_D3D_FrameRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
int G_D3D_DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// corners: the quadrilateral of a thick line, round its outline.
int G_D3D_DrawThickLine(uint32_t colour, const float corners[8]);
int G_D3D_DrawCircle(int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill);
int G_D3D_DrawEllipse(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill);
int G_D3D_DrawTriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                       int32_t fill);
// The vertex colour of a shape: the packed draw colour with each of its
// red, green and blue multiplied by the colour's.
uint32_t ShapeVertexColour(uint32_t colour);
