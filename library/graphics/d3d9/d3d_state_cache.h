// The device-state cache of the Direct3D back end: every render state,
// sampler state, transform, viewport, scissor rectangle, light and shader
// constant the library sets goes through one setter here. A setter keeps a
// shadow copy of what the device holds, does nothing when asked for the value
// the device already has, and otherwise flushes the vertex batch first, so
// that vertices already queued are drawn under the old state. While
// StateResendForced is set, every setter sends its value even when it is
// unchanged (a new device, a growing sampler count).
//
// The blend request (blend mode, texture transparency, draw and blend-graph
// textures) is only recorded here; the blend application turns it into
// device states just before a draw.
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

// One texture stage of a stage set (24 bytes); -1 (or 0xFFFF in the 16-bit
// fields) leaves the device value as it is.
struct TextureStageEntry {
  uint32_t texture;  // a graph handle in a caller's record; stage 0 of a stage set: the stage count
  int32_t texCoordIndex;
  int32_t resultArg;  // 0: D3DTA_CURRENT, else D3DTA_TEMP
  int16_t alphaArg1, alphaArg2, alphaOp;
  int16_t colorArg1, colorArg2, colorOp;
};
static_assert(sizeof(TextureStageEntry) == 24);

// A complete blend state: nine render-state words, then eight stages.
struct UserBlendInfo {
  int32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable, textureFactor, srcBlend, destBlend, blendOp;
  int32_t stageCount;
  TextureStageEntry stages[8];
};
static_assert(sizeof(UserBlendInfo) == 228);

// What the library asks the blend application for.
struct BlendRequestState {
  int32_t blendMode;
  int32_t alphaChannel;
  int32_t colorKey;
  IDirect3DBaseTexture9* drawTexture;
  IDirect3DBaseTexture9* blendGraphTexture;
  int32_t borderParam;
  int32_t borderRange;
  int32_t blendDirty;
  int32_t textureDirty;
  // Derived by the draw preparation: the vertex colour modulates the texture
  // (b) and the vertex alpha takes part (a).
  int32_t vertexColorModulates;
  int32_t vertexAlphaUsed;
};

struct D3DShadowState {
  // Texture stages the current stage set uses; the filter and anisotropy
  // setters work on samplers 0 to this count - 1.
  int32_t activeSamplerCount;
  int32_t filterMode;  // 0 to 2; 3 until a mode has reached the device
  int32_t magFilter[8], minFilter[8], mipFilter[8];
  int32_t maxAnisotropy;
  int32_t samplerAnisotropy[8];
  int32_t addressU[8], addressV[8], addressW[8];
  int32_t textureTransformEnable[8];
  D3DMATRIX textureTransform[8];
  int32_t zEnable, zWriteEnable, zFunc, depthBias, fillMode, shadeMode, cullMode;
  int32_t fogEnable, fogMode, fogColor;
  int32_t diffuseMaterialSource, specularMaterialSource, specularEnable, lighting;
  float fogStart, fogEnd, fogDensity;
  D3DVIEWPORT9 viewport;
  int32_t scissor[4];  // left, top, right, bottom
  // Written whether or not shaders are in use, so they can be sent as a block.
  float vertexConstants[256][4];
  float pixelConstants[32][4];
  BOOL vertexBoolConstants[16];
  // Texture-coordinate index and result argument of stages 0 to 7.
  int32_t texCoordIndex[8];
  int32_t resultArg[8];
  // The blend state last applied (the nine words and the stages), and the
  // texture of each stage.
  UserBlendInfo blendState;
  IDirect3DBaseTexture9* stageTextures[8];
  BlendRequestState request;
  // Lights: up to 256, their enable flags and the highest enabled index; the
  // material and the global ambient colour (value / 255).
  D3DLIGHT9 lights[256];
  int32_t lightEnabled[256];
  int32_t highestLight;
  D3DMATERIAL9 material;
  float ambient[4];
  // The view and projection matrices last sent (the light constants are in
  // view space).
  D3DMATRIX view, projection;
};
extern D3DShadowState D3DStateShadow;
extern int32_t StateResendForced;

// Caches of the draw preparation: the shaders set on the device, and the
// texture format, texture and flags of the last prepared draw (cleared when
// a scene begins).
extern IDirect3DVertexShader9* CurrentVertexShader;
extern IDirect3DPixelShader9* CurrentPixelShader;
struct GraphFormatRequest;
struct PreparedDrawCache {
  const GraphFormatRequest* format;
  IDirect3DBaseTexture9* texture;
  int32_t flags;
};
extern PreparedDrawCache LastPreparedDraw;
// The surface drawn into.
extern IDirect3DSurface9* CurrentRenderTarget;

// The address modes of samplers 0 to 7 that the draw settings ask for (0
// until set: clamp).
extern int32_t DrawSamplerAddress[3][8];

// ---------------------------------------------------------------- setters

int G_D3D_SetFilterMode(int32_t mode);
int G_D3D_SetMaxAnisotropy(int32_t value);
int G_D3D_SetZEnable(int32_t value);
int G_D3D_SetZWriteEnable(int32_t value);
int G_D3D_SetZFunc(int32_t value);
int G_D3D_SetDepthBias(int32_t value);
int G_D3D_SetFillMode(int32_t value);
int G_D3D_SetShadeMode(int32_t value);
int G_D3D_SetCullMode(int32_t mode);
int G_D3D_SetDiffuseFromVertex(int32_t flag);
int G_D3D_SetSpecularFromVertex(int32_t flag);
int G_D3D_SetSpecularEnable(int32_t flag);
// sampler -1: all eight.
int G_D3D_SetTextureAddress(int32_t mode, int32_t sampler);
int G_D3D_SetTextureAddressU(int32_t mode, int32_t sampler);
int G_D3D_SetTextureAddressV(int32_t mode, int32_t sampler);
int G_D3D_SetTextureAddressW(int32_t mode, int32_t sampler);
// stage -1: stages 0 to 3, always sent.
int G_D3D_SetTextureTransform(int32_t stage, int32_t enable, const D3DMATRIX* matrix);
int G_D3D_SetFogEnable(int32_t flag);
int G_D3D_SetFogMode(int32_t mode);
int G_D3D_SetFogColor(uint32_t color);
int G_D3D_SetFogStartEnd(float start, float end);
int G_D3D_SetFogDensity(float density);
int G_D3D_SetViewport(const D3DVIEWPORT9* viewport);
int G_D3D_SetViewportRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int G_D3D_SetScissorRect(const RECT* rect);
int G_D3D_SetViewMatrix(const D3DMATRIX* matrix);
int G_D3D_SetProjectionMatrix(const D3DMATRIX* matrix);
int G_D3D_SetVSConstantF(int32_t start, const float* data, int32_t count);
int G_D3D_SetPSConstantF(int32_t start, const float* data, int32_t count);
int G_D3D_SetVSConstantB(int32_t start, const BOOL* data, int32_t count);
int G_D3D_SetLight(int32_t index, const D3DLIGHT9* light);
int G_D3D_EnableLight(int32_t index, int32_t flag);
int G_D3D_SetMaterial(const D3DMATERIAL9* material);
int G_D3D_SetAmbientLight(uint32_t color);
int G_D3D_UpdateLightConstants();
// The blend request: recorded, marked dirty, no device call.
int G_D3D_SetBlendRequest(int32_t blendMode, int32_t alphaChannel, int32_t colorKey);
int G_D3D_SetDrawTexture(IDirect3DBaseTexture9* texture);
int G_D3D_SetBlendGraphTexture(IDirect3DBaseTexture9* texture, int32_t borderParam, int32_t borderRange);
// The sampler addressing and texture-coordinate states, Z, fill, cull and
// shade modes, viewport, scissor, filter and blend state sent again to a new
// or reset device.
int G_D3D_ReapplyDeviceStates();
// Every cached state sent again through its own setter: render states, the
// eight texture stages, fog, material and matrices. -1 without a device.
int ReapplyDeviceState();

// While set (never, in this system), the shader constants go up through
// UploadShaderConstants before the library writes its own.
extern int32_t ShaderConstantUploadMode;
// 0: the 256 vertex and 32 pixel float4 constants from the shadow copies.
int UploadShaderConstants(int32_t mode);

// The draw preparation flags.
constexpr int32_t DrawPrepTransparency = 0x1;     // the texture's alpha channel or colour key is honoured
constexpr int32_t DrawPrepKeepTransparency = 0x2; // its own transparency kind even under bilinear filtering
constexpr int32_t DrawPrepGouraud = 0x8;
constexpr int32_t DrawPrepModulate = 0x20;        // always modulate by the vertex colour
constexpr int32_t DrawPrepVertexAlpha = 0x40;     // always use the vertex alpha
constexpr int32_t DrawPrepFog = 0x80;
constexpr int32_t DrawPrepKeepBlend = 0x100;
constexpr int32_t DrawPrepLit = 0x200;
constexpr int32_t DrawPrepSpecular = 0x400;
constexpr int32_t DrawPrepSecondZ = 0x800;
constexpr int32_t DrawPrepAddressing = 0x1000;    // sampler addressing from the draw settings
constexpr int32_t DrawPrepKeepShaders = 0x2000;

// The blend application: turns the request (or a caller's record) into
// alpha-test and blend render states, the texture factor, the stages and
// their textures, the batch's vertex kind and its skip mark. -1 without a
// device or with nothing dirty.
int G_D3D_ApplyBlendState(int32_t graphHandleFlag, const UserBlendInfo* record, int32_t texturesOnly);
// A caller's complete blend state in place of the library's (null: none).
int G_D3D_SetUserBlendInfo(const UserBlendInfo* record, int32_t texturesOnly);
// The draw preparation: the device brought in line with the draw settings
// and the texture to be drawn (format: the texture's request, whose alpha
// channel and colour-key bytes are read; null for no texture).
void G_D3D_PrepareDrawState(const GraphFormatRequest* format, IDirect3DBaseTexture9* texture, int32_t flags);

// The stage sets of the library's blend states: 60 of them, the stage count
// in stage 0's texture word, a DISABLE entry after the last used stage.
struct TextureStageSet {
  TextureStageEntry stages[8];
};
extern const TextureStageSet* const TextureStageSetTable;
// A row of the blend modes' states (-1 leaves the device value).
struct BlendModeStates {
  int32_t destBlend, srcBlend, stageKind, blendOp, alphaBlend;
};
extern const BlendModeStates BlendModeStateTable[12];
