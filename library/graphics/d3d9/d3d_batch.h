// The scene and the vertex batch of the Direct3D back end: every draw writes
// its vertices into one fixed system-memory buffer, which goes to the device
// as one DrawPrimitiveUP when something forces it out (another primitive
// type or mode, a full buffer, a state change, a render-target switch, a
// present). Also the state a device is put in once after creation and again
// after every rebuild.
#pragma once

#include <cstdint>

#include "library/graphics/matrix.h"
#include "platform/d3d9/d3d9.h"

// One layout per mode and kind, indexed by kind + 3 x mode.
struct BatchLayout {
  DWORD fvf;           // 0: no layout
  uint32_t size;       // bytes of one vertex
  uint32_t capacity;   // vertices the buffer holds
};
extern const BatchLayout BatchLayouts[6];

struct VertexBatchState {
  uint32_t mode3D;      // 0: pre-transformed 2-D vertices, 1: 3-D
  uint32_t vertexKind;  // 0 colour only, 1 one texture, 2 two textures and a specular colour
  uint32_t primitiveType;
  int32_t count;
  uint8_t* write;
  uint8_t* buffers[6];
  DWORD lastFvf;  // the FVF last given to the device, 0 for none
  int32_t sceneOpen;
  // Set by the blend application when the request draws nothing: the batch
  // is dropped at the flush.
  int32_t skip;
};
extern VertexBatchState VertexBatch;

// The 2-D vertex layouts (pre-transformed: x, y, z, rhw).
struct BatchVertexColour {
  float x, y, z, rhw;
  uint32_t diffuse;
};
struct BatchVertexTextured {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
struct BatchVertexBlend {
  float x, y, z, rhw;
  uint32_t diffuse, specular;
  float u1, v1, u2, v2;
};

// The library's matrix as the device takes it (the same layout).
D3DMATRIX AsD3DMatrix(const Matrix4F& m);

void G_D3D_BeginScene();
void G_D3D_EndScene();
// 0, or -1 without a device.
int G_D3D_FlushVertexBatch();
// The queued vertices dropped undrawn (a lost device).
void G_D3D_DiscardVertexBatch();
int G_D3D_SetWorldTransform(const D3DMATRIX* matrix);
// Not flushed first. 0, or -1 when the device call fails.
int G_D3D_SetLighting(int32_t flag);
// Once after a device is made.
int G_D3D_SetDeviceDefaults();
// A new or rebuilt device: samplers, stage coordinates, render states and
// shader constants; -1 without a device.
int G_D3D_ApplyBaseStates();

// The append rule every draw follows: room for n vertices of the primitive
// type in the current kind's 2-D layout. The batch is flushed first unless it
// is already a 2-D batch of that type with count + n below its capacity.
// Returns where the n vertices go; the count already includes them.
uint8_t* G_D3D_ReserveBatchVertices(uint32_t primitiveType, int32_t n);
// The vertex kind of the next vertices (the blend application chooses it);
// a change flushes the batch.
void G_D3D_SetBatchVertexKind(uint32_t kind);
