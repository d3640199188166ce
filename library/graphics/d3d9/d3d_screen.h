// The Direct3D side of the graphics module's screen work: the present and
// the clear, the draw target and the draw area, the blend graph and the
// filter, copies between the target and graphs, the 3-D settings sent to the
// device, the subtract emulation, the mask screen's textures and its
// write-back, and the device made again after it was lost.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/light_state.h"
#include "platform/d3d9/d3d9.h"

// ---------------------------------------------------------------- present and lost device

// Flushes, ends the scene and presents the frame: all of it, the rectangle,
// or (doubled) the top-left quarter over the whole window. -1 when the
// present fails; a lost device is marked and the frame's draws dropped.
int G_D3D_PresentFrame(const int32_t* rect, bool doubled);
// Ends the open scene and presents; -1 when the present fails.
int G_D3D_EndSceneAndPresent();
// Full screen: the back buffer into the work back buffer, when there is one.
void G_D3D_CopyBackBufferToWork();
// While the device is lost: once it can be had again, the device is made
// again and every graph, font and mask restored (RestoreGraphicsDevice).
void G_D3D_CheckLostDevice();
// The device made again in restore mode: the back end's objects released
// and the device ended, then the back end started again and everything on
// it re-created from the library's own records. restartInput runs between
// the two halves.
void G_D3D_RebuildDevice(void (*restartInput)());
int G_D3D_SetDialogBoxMode(int32_t flag);
int G_D3D_ResetDialogBoxMode(int32_t flag);

// ---------------------------------------------------------------- target, area, blend graph

// The surface the current draw target stands for: the graph's texture, the
// work back buffer or the back buffer.
IDirect3DSurface9* G_D3D_TargetSurface();
// Flushes, ends the scene and draws into the graph (or, null, the screen).
void G_D3D_SelectTargetSurface(GraphRecord* graph);
// The viewport over the draw area and the area's projection; -1 without a device.
int G_D3D_ApplyDrawArea();
// The graph (null: none) as the blend graph; -1 without a device or for a
// graph that is no texture graph.
int G_D3D_SetBlendTexture(GraphRecord* graph);
void G_D3D_ApplyFilterMode(int32_t mode);
// The target (or the rectangle; a negative left or top: all of it) cleared
// to the background colour.
int G_D3D_ClearDrawTarget(const int32_t* rect);
// The rectangle of the draw target into a graph of its size.
int G_D3D_CopyTargetToGraph(const PixelRect& rect, GraphRecord* graph);
// Every piece of a drawable texture graph filled with an ARGB colour.
int G_D3D_FillGraph(GraphRecord* graph, uint32_t argb);

// ---------------------------------------------------------------- 3-D settings

void G_D3D_SendLight(int32_t index, const LightDescription* light);
void G_D3D_SendLightEnable(int32_t index, int32_t flag);
void G_D3D_SendLighting(int32_t on);
// The world and view transforms and the projection constant (projection x
// viewport x the inverse of the area matrix).
void G_D3D_SendTransforms();
void G_D3D_SendFog();

// ---------------------------------------------------------------- subtract emulation

// Blend mode 3 on a device without a reverse-subtract blend: the draw sits
// between two boxes that invert the destination, and draws in mode 5.
bool G_D3D_NeedsSubtractEmulation();
void BeginSubtractBlendEmulation(const PixelRect& rect);
void EndSubtractBlendEmulation(const PixelRect& rect);

// ---------------------------------------------------------------- mask screen

// The mask image texture (the mask bytes in its alpha) and the mask screen
// texture drawn into while the mask screen is active. A missing format or a
// texture that cannot be made ends the program.
void G_D3D_CreateMaskTextures();
void G_D3D_ReleaseMaskTextures();
// The render target: the mask screen (active) or the real target.
void G_D3D_PointRenderTargetAtMask(int32_t active);
// The rectangle of the real target onto the mask screen.
void G_D3D_BeginMaskDraw(const PixelRect& rect);
// The mask screen's rectangle drawn onto the real target where the mask byte is 0.
void G_D3D_EndMaskDraw(const PixelRect& rect);
// The rectangle of the mask bytes into the mask image texture.
void G_D3D_UploadMaskBytes(const PixelRect& rect);
// Every texel of the mask image texture 0xFF (flag) or 0.
void G_D3D_PaintMaskTexture(int32_t flag);
// The mask image texture and its format, or null.
IDirect3DTexture9* G_D3D_MaskImageTexture(D3DFORMAT* format);
