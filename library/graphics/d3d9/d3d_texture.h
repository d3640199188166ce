// Graph pixels on the Direct3D path: a size is cut into power-of-two texture
// pieces no larger than the device allows, each piece gets its texture (and,
// when the surface keeps one, a system-memory staging texture sent with
// UpdateTexture), every graph records the parts of the pieces its rectangle
// overlaps with the corners it draws them by, and image pixels are converted
// into the pieces with their mip levels, compressed blocks and edge texels.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/graph_handle.h"
#include "platform/d3d9/d3d9.h"

// One texture of a surface.
struct TexturePiece {
  IDirect3DTexture9* texture;
  IDirect3DTexture9* staging;   // written by the processor, sent with UpdateTexture
  IDirect3DSurface9* surface;   // level 0 of the texture
  IUnknown* targetCompanion;    // draw-target companion; never made in this system
  int32_t x, y;                 // where the piece starts in the surface
  int32_t width, height;        // the part of the texture holding pixels
  int32_t textureWidth, textureHeight;
};

// Corner order of a draw piece: (left, top), (right, top), (left, bottom),
// (right, bottom).
struct DrawPieceCorner {
  float x, y;  // in the graph's own pixels
  float u, v;
};

// The part of one texture piece that a graph's rectangle overlaps.
struct GraphDrawPiece {
  int32_t destX, destY;  // where the part starts inside the graph
  int32_t srcX, srcY;    // where it starts inside the piece's texture
  int32_t width, height;
  DrawPieceCorner corners[4];
  // 1 when the corner lies on or above the graph's anti-diagonal.
  uint8_t cornerFlags[4];
  TexturePiece* piece;
};

// While set, every size that fits the size limit is made one piece (movie
// graphs set it).
extern uint32_t SingleTextureRequest;

// The texture sizes a size is cut into: the count, the sizes written to out
// (which holds 32). single 1: one piece whenever the limit allows it.
int32_t SplitTextureSize(int32_t size, int32_t* out, int32_t single);

// The row of TextureD3DFormats (and of the texture colour formats) of a request.
int32_t ChooseTextureFormatIndex(const GraphFormatRequest* request);

// The pieces of a new texture surface of w x h and their textures. -1 (logged)
// when they cannot be made.
int G_D3D_SetupSurfacePieces(GraphSurface* surface, int32_t w, int32_t h);
// Textures of every piece that has none. 0 for a memory surface, -1 without a
// device or when one cannot be made.
int CreateSurfaceTextures(GraphSurface* surface);
// Level-0 surface, texture and staging texture of every piece.
int ReleaseSurfaceTextures(GraphSurface* surface);
// The draw-target companions (none are made in this system).
int ReleaseSurfaceTargetObjects(GraphSurface* surface);
// The textures and the piece array of a surface whose last graph goes.
void G_D3D_FreeSurfacePieces(GraphSurface* surface);
// The draw pieces of a texture graph after its surface exists.
int G_D3D_BuildGraphDrawPieces(GraphRecord* graph);
// The graph's draw pieces, freed when the graph goes.
void G_D3D_FreeGraphDrawPieces(GraphRecord* graph);
// The rectangle of the image into the graph's textures at (destX, destY): a
// point of the whole surface when surfaceRelative, else of the graph.
int G_D3D_TransferImageToTextures(GraphRecord* graph, const PixelRect* srcRect, int32_t destX, int32_t destY,
                                  GraphImage* rgb, GraphImage* alpha, int32_t useTransColor,
                                  int32_t surfaceRelative);
// The colour format of a surface's textures (by its format row).
const ColorFormat* SurfaceTextureColorFormat(const GraphSurface* surface);
// The first texture of a graph, or null.
IDirect3DTexture9* GraphFirstTexture(const GraphRecord* graph);
// A released texture is no longer drawn with: the batch drawn first, the
// stage and the blend request forget it.
void G_D3D_ForgetTexture(IDirect3DBaseTexture9* texture);
