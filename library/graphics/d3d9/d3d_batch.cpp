#include "library/graphics/d3d9/d3d_batch.h"

#include <cstring>

#include "library/core/main_window.h"
#include "library/graphics/d3d9/d3d_shaders.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/light_state.h"

// The 2-D colour buffer holds 64512 bytes: 3225 vertices of 20 bytes.
const BatchLayout BatchLayouts[6] = {
    {D3DFVF_XYZRHW | D3DFVF_DIFFUSE, 20, 64512 / 20},
    {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 28, 65536 / 28},
    {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2, 40, 65536 / 40},
    {D3DFVF_XYZ | D3DFVF_DIFFUSE, 16, 65536 / 16},
    {D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, 24, 65536 / 24},
    {0, 0, 0},
};

VertexBatchState VertexBatch;

namespace {

alignas(16) uint8_t ColourBuffer2D[64512];
alignas(16) uint8_t TexturedBuffer2D[65536];
alignas(16) uint8_t BlendBuffer2D[65536];
alignas(16) uint8_t Buffer3D[65536];

uint32_t CurrentIndex() { return VertexBatch.vertexKind + 3 * VertexBatch.mode3D; }

uint32_t PrimitiveCount(uint32_t type, int32_t n) {
  switch (type) {
    case D3DPT_POINTLIST:
      return static_cast<uint32_t>(n);
    case D3DPT_LINELIST:
      return static_cast<uint32_t>(n / 2);
    case D3DPT_LINESTRIP:
      return n > 1 ? static_cast<uint32_t>(n - 1) : 0;
    case D3DPT_TRIANGLELIST:
      return static_cast<uint32_t>(n / 3);
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return n > 2 ? static_cast<uint32_t>(n - 2) : 0;
    default:
      return 0;
  }
}

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

// The initial shadow of the blend state: no stages in use, each stage
// texture by diffuse, disabled.
void ClearBlendStateCache() {
  UserBlendInfo& b = D3DStateShadow.blendState;
  std::memset(&b, 0, sizeof b);
  std::memset(D3DStateShadow.stageTextures, 0, sizeof D3DStateShadow.stageTextures);
  for (TextureStageEntry& e : b.stages) {
    e.colorArg1 = e.alphaArg1 = static_cast<int16_t>(D3DTA_TEXTURE);
    e.colorArg2 = e.alphaArg2 = static_cast<int16_t>(D3DTA_DIFFUSE);
    e.colorOp = e.alphaOp = static_cast<int16_t>(D3DTOP_DISABLE);
  }
}

}  // namespace

D3DMATRIX AsD3DMatrix(const Matrix4F& m) {
  D3DMATRIX out;
  static_assert(sizeof out == sizeof m);
  std::memcpy(&out, &m, sizeof out);
  return out;
}

// ---------------------------------------------------------------- scene

void G_D3D_BeginScene() {
  if (Direct3DDevice == nullptr || VertexBatch.sceneOpen) return;
  Direct3DDevice->BeginScene();
  VertexBatch.sceneOpen = 1;
  std::memset(&LastPreparedDraw, 0, sizeof LastPreparedDraw);
}

void G_D3D_EndScene() {
  if (Direct3DDevice == nullptr || !VertexBatch.sceneOpen) return;
  Direct3DDevice->EndScene();
  VertexBatch.sceneOpen = 0;
}

// ---------------------------------------------------------------- the batch

int G_D3D_FlushVertexBatch() {
  if (Direct3DDevice == nullptr) return -1;
  VertexBatchState& b = VertexBatch;
  const uint32_t index = CurrentIndex();
  if (b.count != 0 && !IsMainWindowClosed()) {
    if (!b.sceneOpen) G_D3D_BeginScene();
    if (!b.skip) {
      const uint32_t primitives = PrimitiveCount(b.primitiveType, b.count);
      const BatchLayout& layout = BatchLayouts[index];
      if (layout.fvf != b.lastFvf) {
        Direct3DDevice->SetFVF(layout.fvf);
        b.lastFvf = layout.fvf;
      }
      if (b.mode3D) {
        const D3DMATRIX identity = IdentityMatrix();
        Direct3DDevice->SetTransform(D3DTS_WORLD, &identity);
      }
      if (primitives != 0 && b.buffers[index] != nullptr)
        Direct3DDevice->DrawPrimitiveUP(b.primitiveType, primitives, b.buffers[index], layout.size);
      if (b.mode3D) {
        const D3DMATRIX world = AsD3DMatrix(Scene3D.world);
        Direct3DDevice->SetTransform(D3DTS_WORLD, &world);
      }
    }
  }
  b.count = 0;
  b.write = b.buffers[index];
  return 0;
}

void G_D3D_DiscardVertexBatch() {
  VertexBatch.count = 0;
  VertexBatch.write = VertexBatch.buffers[CurrentIndex()];
}

uint8_t* G_D3D_ReserveBatchVertices(uint32_t primitiveType, int32_t n) {
  VertexBatchState& b = VertexBatch;
  const BatchLayout& layout = BatchLayouts[b.vertexKind];
  if (n <= 0 || static_cast<uint32_t>(n) >= layout.capacity || b.buffers[b.vertexKind] == nullptr) return nullptr;
  if (b.mode3D != 0 || b.primitiveType != primitiveType || static_cast<uint32_t>(b.count + n) >= layout.capacity)
    G_D3D_FlushVertexBatch();
  if (b.count == 0) b.write = b.buffers[b.vertexKind];
  b.mode3D = 0;
  b.primitiveType = primitiveType;
  uint8_t* at = b.write;
  b.count += n;
  b.write += static_cast<size_t>(n) * layout.size;
  return at;
}

void G_D3D_SetBatchVertexKind(uint32_t kind) {
  if (kind > 2 || kind == VertexBatch.vertexKind) return;
  G_D3D_FlushVertexBatch();
  VertexBatch.vertexKind = kind;
  VertexBatch.write = VertexBatch.buffers[CurrentIndex()];
}

int G_D3D_SetWorldTransform(const D3DMATRIX* matrix) {
  if (Direct3DDevice != nullptr) Direct3DDevice->SetTransform(D3DTS_WORLD, matrix);
  return 0;
}

int G_D3D_SetLighting(int32_t flag) {
  if (flag == D3DStateShadow.lighting && !StateResendForced) return 0;
  D3DStateShadow.lighting = flag;
  if (Direct3DDevice == nullptr || Direct3DDevice->SetRenderState(D3DRS_LIGHTING, static_cast<DWORD>(flag)) < 0)
    return -1;
  return 0;
}

// ---------------------------------------------------------------- device defaults

int G_D3D_SetDeviceDefaults() {
  VertexBatchState& b = VertexBatch;
  D3DShadowState& s = D3DStateShadow;

  // The 2-D vertices keep z 0 and rhw 1 (and a white specular colour), so
  // that the draws write only positions, colours and texture coordinates.
  auto prefill = [](uint8_t* buffer, const BatchLayout& layout, bool specular) {
    for (uint32_t i = 0; i < layout.capacity; ++i) {
      uint8_t* v = buffer + static_cast<size_t>(i) * layout.size;
      const float z = 0.0f, rhw = 1.0f;
      std::memcpy(v + 8, &z, 4);
      std::memcpy(v + 12, &rhw, 4);
      if (specular) {
        const uint32_t white = 0xFFFFFFFFu;
        std::memcpy(v + 20, &white, 4);
      }
    }
  };
  prefill(ColourBuffer2D, BatchLayouts[0], false);
  prefill(TexturedBuffer2D, BatchLayouts[1], false);
  prefill(BlendBuffer2D, BatchLayouts[2], true);
  b.buffers[0] = ColourBuffer2D;
  b.buffers[1] = TexturedBuffer2D;
  b.buffers[2] = BlendBuffer2D;
  b.buffers[3] = Buffer3D;
  b.buffers[4] = Buffer3D;
  b.buffers[5] = nullptr;

  if (Direct3DDevice != nullptr) {
    static const DWORD kFilters[3] = {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC};
    for (int32_t axis = 0; axis < 3; ++axis)
      for (int32_t sampler = 0; sampler < 8; ++sampler)
        if (DrawSamplerAddress[axis][sampler] == 0) DrawSamplerAddress[axis][sampler] = D3DTADDRESS_CLAMP;
    for (DWORD sampler = 0; sampler < 8; ++sampler) {
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSU, static_cast<DWORD>(DrawSamplerAddress[0][sampler]));
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSV, static_cast<DWORD>(DrawSamplerAddress[1][sampler]));
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSW, static_cast<DWORD>(DrawSamplerAddress[2][sampler]));
      if (s.filterMode >= 0 && s.filterMode <= 2)
        s.magFilter[sampler] = s.minFilter[sampler] = s.mipFilter[sampler] = static_cast<int32_t>(kFilters[s.filterMode]);
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_MAGFILTER, static_cast<DWORD>(s.magFilter[sampler]));
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_MINFILTER, static_cast<DWORD>(s.minFilter[sampler]));
      Direct3DDevice->SetSamplerState(sampler, D3DSAMP_MIPFILTER, static_cast<DWORD>(s.mipFilter[sampler]));
      s.samplerAnisotropy[sampler] = 1;
    }
    Direct3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Direct3DDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    Direct3DDevice->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Direct3DDevice->SetRenderState(D3DRS_DITHERENABLE, FALSE);
    Direct3DDevice->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    Direct3DDevice->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    Direct3DDevice->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    Direct3DDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    Direct3DDevice->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    Direct3DDevice->SetRenderState(D3DRS_FOGCOLOR, 0);
    const float fogStart = 0.0f, fogEnd = 1.0f;
    DWORD bits;
    std::memcpy(&bits, &fogStart, 4);
    Direct3DDevice->SetRenderState(D3DRS_FOGSTART, bits);
    std::memcpy(&bits, &fogEnd, 4);
    Direct3DDevice->SetRenderState(D3DRS_FOGEND, bits);
  }

  ClearBlendStateCache();
  s.activeSamplerCount = 0;
  s.viewport = {0, 0, static_cast<DWORD>(ScreenWidth), static_cast<DWORD>(ScreenHeight), 0.0f, 1.0f};
  for (int32_t sampler = 0; sampler < 8; ++sampler) {
    s.addressU[sampler] = DrawSamplerAddress[0][sampler];
    s.addressV[sampler] = DrawSamplerAddress[1][sampler];
    s.addressW[sampler] = DrawSamplerAddress[2][sampler];
  }
  s.zEnable = 1;
  s.zWriteEnable = 0;
  s.zFunc = D3DCMP_LESSEQUAL;
  s.depthBias = 0;
  s.fillMode = D3DFILL_SOLID;
  s.shadeMode = D3DSHADE_FLAT;
  s.lighting = 1;
  s.specularEnable = 1;  // as sent above: the first draw preparation turns it off
  s.fogEnable = 0;
  s.fogMode = 0;
  s.fogColor = 0;
  s.fogStart = 0.0f;
  s.fogEnd = 1.0f;
  s.fogDensity = 1.0f;  // the device's own
  s.filterMode = 3;  // none yet: the next filter setting reaches the device
  s.maxAnisotropy = 1;
  s.request.blendDirty = 1;
  s.request.drawTexture = nullptr;
  s.request.blendGraphTexture = nullptr;
  CurrentRenderTarget = D3DBackBuffer;
  PackedDrawColor = 0xFFFFFFFFu;
  b.sceneOpen = 0;
  b.count = 0;
  b.vertexKind = 1;
  b.mode3D = 0;
  b.write = b.buffers[1];

  G_D3D_ReapplyDeviceStates();
  G_D3D_BeginScene();
  G_D3D_PrepareDrawState(nullptr, nullptr, 0);
  if (s.request.blendDirty) G_D3D_ApplyBlendState(1, nullptr, 0);

  // One point at the origin: the first flush draws it.
  uint8_t* vertex = G_D3D_ReserveBatchVertices(D3DPT_POINTLIST, 1);
  if (vertex != nullptr) std::memset(vertex, 0, 12);
  return 0;
}

int G_D3D_ApplyBaseStates() {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = D3DStateShadow;
  G_D3D_FlushVertexBatch();
  for (DWORD sampler = 0; sampler < 4; ++sampler) {
    Direct3DDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSU, static_cast<DWORD>(s.addressU[sampler]));
    Direct3DDevice->SetSamplerState(sampler, D3DSAMP_ADDRESSV, static_cast<DWORD>(s.addressV[sampler]));
  }
  static const int32_t kTexCoord[4] = {0, 1, 1, 0};
  for (DWORD stage = 0; stage < 4; ++stage) {
    Direct3DDevice->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(kTexCoord[stage]));
    s.texCoordIndex[stage] = kTexCoord[stage];
  }
  if (CanUseResultArg) {
    for (DWORD stage = 0; stage < 4; ++stage) {
      Direct3DDevice->SetTextureStageState(stage, D3DTSS_RESULTARG, D3DTA_CURRENT);
      s.resultArg[stage] = 0;
    }
  }
  Direct3DDevice->SetRenderState(D3DRS_SHADEMODE, static_cast<DWORD>(s.shadeMode));
  Direct3DDevice->SetRenderState(D3DRS_LIGHTING, static_cast<DWORD>(s.lighting));
  Direct3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Direct3DDevice->SetRenderState(D3DRS_DITHERENABLE, FALSE);
  G_D3D_SetShaderRegisterZero();
  if (CurrentVertexShader != nullptr) Direct3DDevice->SetVertexShader(nullptr);
  if (CurrentPixelShader != nullptr) Direct3DDevice->SetPixelShader(nullptr);
  CurrentVertexShader = nullptr;
  CurrentPixelShader = nullptr;
  VertexBatch.lastFvf = 0;
  std::memset(&LastPreparedDraw, 0, sizeof LastPreparedDraw);
  return 0;
}
