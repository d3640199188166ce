#include "library/graphics/d3d9/d3d_state_cache.h"

#include <cstring>

#include "library/core/log.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_shaders.h"
#include "library/graphics/d3d9/d3d_start.h"

D3DShadowState D3DStateShadow;
int32_t StateResendForced = 0;
IDirect3DVertexShader9* CurrentVertexShader = nullptr;
IDirect3DPixelShader9* CurrentPixelShader = nullptr;
PreparedDrawCache LastPreparedDraw;
IDirect3DSurface9* CurrentRenderTarget = nullptr;
int32_t DrawSamplerAddress[3][8];
int32_t ShaderConstantUploadMode = 0;

namespace {

D3DShadowState& Shadow() { return D3DStateShadow; }

DWORD Bits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

// The common rule of the render-state setters: nothing when the shadow
// already holds the value (unless forced); else flush, send, store.
int CachedRenderState(int32_t* shadow, int32_t value, D3DRENDERSTATETYPE state, DWORD deviceValue) {
  if (Direct3DDevice == nullptr) return -1;
  if (*shadow == value && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  Direct3DDevice->SetRenderState(state, deviceValue);
  *shadow = value;
  return 0;
}

// The material-source setters: the shadow holds the device value.
int CachedMaterialSource(int32_t* shadow, DWORD value, D3DRENDERSTATETYPE state) {
  if (Direct3DDevice == nullptr) return 0;
  if (*shadow == static_cast<int32_t>(value) && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  *shadow = static_cast<int32_t>(value);
  return Direct3DDevice->SetRenderState(state, value) < 0 ? -1 : 0;
}

// Addressing of one, or (sampler -1) all eight samplers, for the given
// coordinates (bit 0 U, bit 1 V, bit 2 W).
int SetAddress(int32_t mode, int32_t sampler, int32_t axes) {
  if (Direct3DDevice == nullptr) return 0;
  if (sampler < -1 || sampler > 7) return -1;
  D3DShadowState& s = Shadow();
  int32_t* shadows[3] = {s.addressU, s.addressV, s.addressW};
  static const D3DSAMPLERSTATETYPE kStates[3] = {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_ADDRESSW};
  const int32_t first = sampler < 0 ? 7 : sampler, last = sampler < 0 ? 0 : sampler;
  bool same = !StateResendForced;
  for (int32_t i = last; same && i <= first; ++i)
    for (int32_t axis = 0; axis < 3; ++axis)
      if ((axes >> axis & 1) != 0 && shadows[axis][i] != mode) same = false;
  if (same) return 0;
  G_D3D_FlushVertexBatch();
  HRESULT result = D3D_OK;
  for (int32_t i = first; i >= last; --i)
    for (int32_t axis = 0; axis < 3; ++axis) {
      if ((axes >> axis & 1) == 0) continue;
      result = Direct3DDevice->SetSamplerState(static_cast<DWORD>(i), kStates[axis], static_cast<DWORD>(mode));
      shadows[axis][i] = mode;
    }
  return result < 0 ? -1 : 0;
}

void Transpose(const D3DMATRIX& m, float out[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r][c] = m.m[c][r];
}

// Vertex constants 14 + 7i: position and direction of light i in view
// space, its diffuse and specular colours, (18 + 7i) its ambient term,
// {range, attenuation 0, 1, 2} and {falloff, theta, phi, type}.
void WriteLightConstants(int32_t index) {
  const D3DShadowState& s = Shadow();
  const D3DLIGHT9& l = s.lights[index];
  const D3DMATRIX& v = s.view;
  float c[7][4];
  const D3DVECTOR& p = l.Position;
  const D3DVECTOR& d = l.Direction;
  for (int k = 0; k < 3; ++k) {
    c[0][k] = p.x * v.m[0][k] + p.y * v.m[1][k] + p.z * v.m[2][k] + v.m[3][k];
    c[1][k] = d.x * v.m[0][k] + d.y * v.m[1][k] + d.z * v.m[2][k];
  }
  c[0][3] = 1.0f;
  c[1][3] = 0.0f;
  const D3DCOLORVALUE* colours[2] = {&l.Diffuse, &l.Specular};
  for (int k = 0; k < 2; ++k) {
    c[2 + k][0] = colours[k]->r;
    c[2 + k][1] = colours[k]->g;
    c[2 + k][2] = colours[k]->b;
    c[2 + k][3] = colours[k]->a;
  }
  std::memcpy(c[4], s.vertexConstants[18 + 7 * index], sizeof c[4]);
  c[5][0] = l.Range;
  c[5][1] = l.Attenuation0;
  c[5][2] = l.Attenuation1;
  c[5][3] = l.Attenuation2;
  c[6][0] = l.Falloff;
  c[6][1] = l.Theta;
  c[6][2] = l.Phi;
  c[6][3] = static_cast<float>(l.Type);
  G_D3D_SetVSConstantF(14 + 7 * index, &c[0][0], 7);
}

void WriteFogConstant() {
  const D3DShadowState& s = Shadow();
  const float range = s.fogEnd - s.fogStart;
  const float c[4] = {s.fogEnd / range, -1.0f / range, s.fogDensity, 2.7182817f};
  G_D3D_SetVSConstantF(10, c, 1);
}

int SetConstants(float (*shadow)[4], int32_t size, int32_t start, const float* data, int32_t count, bool vertex) {
  if (data == nullptr || start < 0 || count < 0 || count > size - start) return -1;
  std::memcpy(shadow[start], data, sizeof(float) * 4 * static_cast<size_t>(count));
  if (!ShadersInUse || Direct3DDevice == nullptr || count == 0) return 0;
  if (ShaderConstantUploadMode != 0) UploadShaderConstants(0);
  const HRESULT r = vertex ? Direct3DDevice->SetVertexShaderConstantF(static_cast<UINT>(start), data, static_cast<UINT>(count))
                           : Direct3DDevice->SetPixelShaderConstantF(static_cast<UINT>(start), data, static_cast<UINT>(count));
  return r < 0 ? -1 : 0;
}

}  // namespace

// ---------------------------------------------------------------- samplers

int G_D3D_SetFilterMode(int32_t mode) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (mode == s.filterMode && !StateResendForced) return 0;
  static const int32_t kWanted[3][3] = {{D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
                                        {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE},
                                        {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR}};
  if (mode < 0 || mode > 2) return -1;
  G_D3D_FlushVertexBatch();
  int32_t* shadows[3] = {s.magFilter, s.minFilter, s.mipFilter};
  static const D3DSAMPLERSTATETYPE kStates[3] = {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER};
  for (int32_t sampler = 0; sampler < s.activeSamplerCount && sampler < 8; ++sampler)
    for (int k = 0; k < 3; ++k) {
      if (shadows[k][sampler] == kWanted[mode][k] && !StateResendForced) continue;
      Direct3DDevice->SetSamplerState(static_cast<DWORD>(sampler), kStates[k], static_cast<DWORD>(kWanted[mode][k]));
      shadows[k][sampler] = kWanted[mode][k];
    }
  s.filterMode = mode;
  return 0;
}

int G_D3D_SetMaxAnisotropy(int32_t value) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (value < 1) value = 1;
  if (value == s.maxAnisotropy && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  for (int32_t sampler = 0; sampler < s.activeSamplerCount && sampler < 8; ++sampler) {
    if (s.samplerAnisotropy[sampler] == value && !StateResendForced) continue;
    Direct3DDevice->SetSamplerState(static_cast<DWORD>(sampler), D3DSAMP_MAXANISOTROPY, static_cast<DWORD>(value));
    s.samplerAnisotropy[sampler] = value;
  }
  s.maxAnisotropy = value;
  return 0;
}

int G_D3D_SetTextureAddress(int32_t mode, int32_t sampler) { return SetAddress(mode, sampler, 7); }
int G_D3D_SetTextureAddressU(int32_t mode, int32_t sampler) { return SetAddress(mode, sampler, 1); }
int G_D3D_SetTextureAddressV(int32_t mode, int32_t sampler) { return SetAddress(mode, sampler, 2); }
int G_D3D_SetTextureAddressW(int32_t mode, int32_t sampler) { return SetAddress(mode, sampler, 4); }

int G_D3D_SetTextureTransform(int32_t stage, int32_t enable, const D3DMATRIX* matrix) {
  if (Direct3DDevice == nullptr) return -1;
  if (stage < -1 || stage > 7 || matrix == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (stage == -1) {
    G_D3D_FlushVertexBatch();
    for (DWORD i = 0; i < 4; ++i) {
      Direct3DDevice->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, enable == 1 ? D3DTTFF_COUNT3 : D3DTTFF_DISABLE);
      if (enable == 1) Direct3DDevice->SetTransform(D3DTS_TEXTURE0 + i, matrix);
      s.textureTransformEnable[i] = enable == 1 ? 1 : 0;
      s.textureTransform[i] = *matrix;
    }
    return 0;
  }
  if (s.textureTransformEnable[stage] == 0 && enable == 0 && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  const auto i = static_cast<DWORD>(stage);
  if (enable == 1) {
    if (s.textureTransformEnable[stage] == 0 || StateResendForced)
      Direct3DDevice->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
    Direct3DDevice->SetTransform(D3DTS_TEXTURE0 + i, matrix);
    s.textureTransformEnable[stage] = 1;
  } else {
    Direct3DDevice->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    s.textureTransformEnable[stage] = 0;
  }
  s.textureTransform[stage] = *matrix;
  return 0;
}

// ---------------------------------------------------------------- render states

int G_D3D_SetZEnable(int32_t value) {
  return CachedRenderState(&Shadow().zEnable, value, D3DRS_ZENABLE, value == 1 ? D3DZB_TRUE : D3DZB_FALSE);
}
int G_D3D_SetZWriteEnable(int32_t value) {
  return CachedRenderState(&Shadow().zWriteEnable, value, D3DRS_ZWRITEENABLE, static_cast<DWORD>(value));
}
int G_D3D_SetZFunc(int32_t value) {
  return CachedRenderState(&Shadow().zFunc, value, D3DRS_ZFUNC, static_cast<DWORD>(value));
}
int G_D3D_SetDepthBias(int32_t value) {
  return CachedRenderState(&Shadow().depthBias, value, D3DRS_DEPTHBIAS, static_cast<DWORD>(value));
}
int G_D3D_SetFillMode(int32_t value) {
  return CachedRenderState(&Shadow().fillMode, value, D3DRS_FILLMODE, static_cast<DWORD>(value));
}
int G_D3D_SetShadeMode(int32_t value) {
  return CachedRenderState(&Shadow().shadeMode, value, D3DRS_SHADEMODE, static_cast<DWORD>(value));
}
int G_D3D_SetSpecularEnable(int32_t flag) {
  return CachedRenderState(&Shadow().specularEnable, flag, D3DRS_SPECULARENABLE, static_cast<DWORD>(flag));
}

int G_D3D_SetCullMode(int32_t mode) {
  if (Direct3DDevice == nullptr) return 0;
  const DWORD cull = mode == 0 ? D3DCULL_NONE : mode == 2 ? D3DCULL_CW : D3DCULL_CCW;
  return CachedRenderState(&Shadow().cullMode, mode, D3DRS_CULLMODE, cull);
}

int G_D3D_SetDiffuseFromVertex(int32_t flag) {
  return CachedMaterialSource(&Shadow().diffuseMaterialSource, flag ? D3DMCS_COLOR1 : D3DMCS_MATERIAL,
                              D3DRS_DIFFUSEMATERIALSOURCE);
}

int G_D3D_SetSpecularFromVertex(int32_t flag) {
  return CachedMaterialSource(&Shadow().specularMaterialSource, flag ? D3DMCS_COLOR2 : D3DMCS_MATERIAL,
                              D3DRS_SPECULARMATERIALSOURCE);
}

// ---------------------------------------------------------------- fog
//
// The library draws with one vertex and one pixel shader whatever the fog
// and light settings: there is no shader selection to redo when they change.

int G_D3D_SetFogEnable(int32_t flag) {
  if (Direct3DDevice == nullptr) return 0;
  return CachedRenderState(&Shadow().fogEnable, flag, D3DRS_FOGENABLE, static_cast<DWORD>(flag));
}

int G_D3D_SetFogMode(int32_t mode) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (mode == s.fogMode && !StateResendForced) return 0;
  CachedRenderState(&s.fogMode, mode, D3DRS_FOGVERTEXMODE, static_cast<DWORD>(mode));
  const BOOL flags[4] = {mode == 3, mode == 1, mode == 2, mode != 0};
  G_D3D_SetVSConstantB(0, flags, 4);
  return 0;
}

int G_D3D_SetFogColor(uint32_t color) {
  return CachedRenderState(&Shadow().fogColor, static_cast<int32_t>(color), D3DRS_FOGCOLOR, color);
}

int G_D3D_SetFogStartEnd(float start, float end) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  G_D3D_FlushVertexBatch();
  if (start != s.fogStart || StateResendForced == 1) {
    Direct3DDevice->SetRenderState(D3DRS_FOGSTART, Bits(start));
    s.fogStart = start;
    WriteFogConstant();
  }
  if (end != s.fogEnd || StateResendForced == 1) {
    Direct3DDevice->SetRenderState(D3DRS_FOGEND, Bits(end));
    s.fogEnd = end;
    WriteFogConstant();
  }
  return 0;
}

int G_D3D_SetFogDensity(float density) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (density == s.fogDensity && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  s.fogDensity = density;
  WriteFogConstant();
  Direct3DDevice->SetRenderState(D3DRS_FOGDENSITY, Bits(density));
  return 0;
}

// ---------------------------------------------------------------- viewport and scissor

int G_D3D_SetViewport(const D3DVIEWPORT9* viewport) {
  if (Direct3DDevice == nullptr || viewport == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (viewport->X == s.viewport.X && viewport->Y == s.viewport.Y && viewport->Width == s.viewport.Width &&
      viewport->Height == s.viewport.Height && !StateResendForced)
    return 0;
  G_D3D_FlushVertexBatch();
  const HRESULT r = Direct3DDevice->SetViewport(viewport);
  if (r < 0) {
    char line[128];
    FormatString(line, sizeof line, "ビューポートのセットに失敗しました ErrorCode %x\n", static_cast<unsigned>(r));
    return WriteErrorLog(line);
  }
  s.viewport = *viewport;
  return 0;
}

int G_D3D_SetViewportRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const D3DVIEWPORT9 v = {static_cast<DWORD>(x1), static_cast<DWORD>(y1), static_cast<DWORD>(x2 - x1),
                          static_cast<DWORD>(y2 - y1), 0.0f, 1.0f};
  return G_D3D_SetViewport(&v);
}

int G_D3D_SetScissorRect(const RECT* rect) {
  if (Direct3DDevice == nullptr || rect == nullptr) return -1;
  int32_t* s = Shadow().scissor;
  if (s[0] == rect->left && s[1] == rect->top && s[2] == rect->right && s[3] == rect->bottom && !StateResendForced)
    return 0;
  G_D3D_FlushVertexBatch();
  Direct3DDevice->SetScissorRect(rect);
  s[0] = rect->left;
  s[1] = rect->top;
  s[2] = rect->right;
  s[3] = rect->bottom;
  return 0;
}

// ---------------------------------------------------------------- matrices and constants

int G_D3D_SetViewMatrix(const D3DMATRIX* matrix) {
  if (matrix == nullptr) return -1;
  D3DShadowState& s = Shadow();
  G_D3D_FlushVertexBatch();
  if (Direct3DDevice != nullptr) Direct3DDevice->SetTransform(D3DTS_VIEW, matrix);
  s.view = *matrix;
  float t[4][4];
  Transpose(*matrix, t);
  G_D3D_SetVSConstantF(6, &t[0][0], 4);
  for (int32_t i = 0; i < 4; ++i) WriteLightConstants(i);
  return 0;
}

int G_D3D_SetProjectionMatrix(const D3DMATRIX* matrix) {
  if (matrix == nullptr) return 0;
  G_D3D_FlushVertexBatch();
  if (Direct3DDevice != nullptr) Direct3DDevice->SetTransform(D3DTS_PROJECTION, matrix);
  Shadow().projection = *matrix;
  float t[4][4];
  Transpose(*matrix, t);
  G_D3D_SetVSConstantF(2, &t[0][0], 4);
  return 0;
}

int G_D3D_SetVSConstantF(int32_t start, const float* data, int32_t count) {
  return SetConstants(Shadow().vertexConstants, 256, start, data, count, true);
}

int G_D3D_SetPSConstantF(int32_t start, const float* data, int32_t count) {
  return SetConstants(Shadow().pixelConstants, 32, start, data, count, false);
}

int G_D3D_SetVSConstantB(int32_t start, const BOOL* data, int32_t count) {
  D3DShadowState& s = Shadow();
  if (data == nullptr || start < 0 || count < 0 || count > 16 - start) return -1;
  std::memcpy(s.vertexBoolConstants + start, data, sizeof(BOOL) * static_cast<size_t>(count));
  if (!ShadersInUse || Direct3DDevice == nullptr || count == 0) return 0;
  return Direct3DDevice->SetVertexShaderConstantB(static_cast<UINT>(start), data, static_cast<UINT>(count)) < 0 ? -1 : 0;
}

int UploadShaderConstants(int32_t mode) {
  if (mode != 0 || Direct3DDevice == nullptr || !ShadersInUse) return 0;
  Direct3DDevice->SetVertexShaderConstantF(0, &Shadow().vertexConstants[0][0], 256);
  Direct3DDevice->SetPixelShaderConstantF(0, &Shadow().pixelConstants[0][0], 32);
  return 0;
}

// ---------------------------------------------------------------- lights and material

int G_D3D_SetLight(int32_t index, const D3DLIGHT9* light) {
  if (light == nullptr || index < 0 || index > 255) return -1;
  D3DShadowState& s = Shadow();
  s.lights[index] = *light;
  if (index < 4) WriteLightConstants(index);
  if (Direct3DDevice == nullptr) return 0;
  G_D3D_FlushVertexBatch();
  return Direct3DDevice->SetLight(static_cast<DWORD>(index), light) < 0 ? -1 : 0;
}

int G_D3D_EnableLight(int32_t index, int32_t flag) {
  if (index < 0) return -1;
  D3DShadowState& s = Shadow();
  if (index < 256) {
    s.lightEnabled[index] = flag;
    if (flag == 1 && index > s.highestLight) s.highestLight = index;
    if (flag == 0 && index == s.highestLight) {
      int32_t next = index - 1;
      while (next >= 0 && !s.lightEnabled[next]) --next;
      s.highestLight = next > 0 ? next : 0;
    }
  }
  G_D3D_UpdateLightConstants();
  if (index < 4) {
    const BOOL on = flag;
    G_D3D_SetVSConstantB(4 + 3 * index, &on, 1);
  }
  if (Direct3DDevice == nullptr) return -1;
  G_D3D_FlushVertexBatch();
  return Direct3DDevice->LightEnable(static_cast<DWORD>(index), flag) < 0 ? -1 : 0;
}

int G_D3D_SetMaterial(const D3DMATERIAL9* material) {
  if (Direct3DDevice == nullptr || material == nullptr) return -1;
  D3DShadowState& s = Shadow();
  if (std::memcmp(material, &s.material, sizeof *material) == 0 && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  Direct3DDevice->SetMaterial(material);
  s.material = *material;
  const D3DCOLORVALUE& d = material->Diffuse;
  const D3DCOLORVALUE& p = material->Specular;
  const float c[3][4] = {{d.r, d.g, d.b, d.a}, {p.r, p.g, p.b, p.a}, {material->Power, 0.0f, 0.0f, 0.0f}};
  G_D3D_SetVSConstantF(11, &c[0][0], 3);
  G_D3D_SetPSConstantF(2, &c[0][0], 3);
  G_D3D_UpdateLightConstants();
  return 0;
}

int G_D3D_SetAmbientLight(uint32_t color) {
  D3DShadowState& s = Shadow();
  const float ambient[4] = {static_cast<float>(color >> 16 & 0xFF) / 255.0f, static_cast<float>(color >> 8 & 0xFF) / 255.0f,
                            static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>(color >> 24) / 255.0f};
  if (Direct3DDevice == nullptr) return -1;
  if (std::memcmp(ambient, s.ambient, sizeof ambient) == 0 && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  Direct3DDevice->SetRenderState(D3DRS_AMBIENT, color);
  std::memcpy(s.ambient, ambient, sizeof ambient);
  G_D3D_UpdateLightConstants();
  return 0;
}

int G_D3D_UpdateLightConstants() {
  const D3DShadowState& s = Shadow();
  const D3DCOLORVALUE& m = s.material.Ambient;
  for (int32_t i = 0; i < 4; ++i) {
    if (!s.lightEnabled[i]) continue;
    const D3DCOLORVALUE& a = s.lights[i].Ambient;
    const float c[4] = {a.r * m.r, a.g * m.g, a.b * m.b, a.a * m.a};
    G_D3D_SetVSConstantF(18 + 7 * i, c, 1);
    G_D3D_SetPSConstantF(11 + 3 * i, c, 1);
  }
  const D3DCOLORVALUE& e = s.material.Emissive;
  const float global[4] = {s.ambient[0] * m.r + e.r, s.ambient[1] * m.g + e.g, s.ambient[2] * m.b + e.b,
                           s.ambient[3] * m.a + e.a};
  G_D3D_SetVSConstantF(1, global, 1);
  G_D3D_SetPSConstantF(1, global, 1);
  return 0;
}

// ---------------------------------------------------------------- the blend request

int G_D3D_SetBlendRequest(int32_t blendMode, int32_t alphaChannel, int32_t colorKey) {
  BlendRequestState& r = Shadow().request;
  if (r.blendMode == blendMode && r.alphaChannel == alphaChannel && r.colorKey == colorKey && !StateResendForced)
    return 0;
  G_D3D_FlushVertexBatch();
  r.blendMode = blendMode;
  r.alphaChannel = alphaChannel;
  r.colorKey = colorKey;
  r.blendDirty = 1;
  return 0;
}

int G_D3D_SetDrawTexture(IDirect3DBaseTexture9* texture) {
  BlendRequestState& r = Shadow().request;
  if (r.drawTexture == texture && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  if ((r.drawTexture == nullptr) != (texture == nullptr)) r.blendDirty = 1;
  r.drawTexture = texture;
  r.textureDirty = 1;
  return 0;
}

int G_D3D_SetBlendGraphTexture(IDirect3DBaseTexture9* texture, int32_t borderParam, int32_t borderRange) {
  BlendRequestState& r = Shadow().request;
  const bool same = (texture == nullptr && r.blendGraphTexture == nullptr) ||
                    (texture == r.blendGraphTexture && borderParam == r.borderParam && borderRange == r.borderRange);
  if (same && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  r.blendGraphTexture = texture;
  if (borderParam != -1) r.borderParam = borderParam;
  if (borderRange != -1) r.borderRange = borderRange;
  r.blendDirty = 1;
  return 0;
}

// ---------------------------------------------------------------- re-sending

int G_D3D_ReapplyDeviceStates() {
  D3DShadowState& s = Shadow();
  StateResendForced = 1;
  const D3DVIEWPORT9 viewport = s.viewport;
  G_D3D_SetViewport(&viewport);
  const RECT scissor = {s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]};
  G_D3D_SetScissorRect(&scissor);
  G_D3D_ApplyBaseStates();
  G_D3D_SetFilterMode(s.filterMode);
  G_D3D_ApplyBlendState(1, nullptr, 0);
  G_D3D_SetZEnable(s.zEnable);
  G_D3D_SetZWriteEnable(s.zWriteEnable);
  G_D3D_SetZFunc(s.zFunc);
  G_D3D_SetDepthBias(s.depthBias);
  G_D3D_SetFillMode(s.fillMode);
  G_D3D_SetCullMode(s.cullMode);
  G_D3D_SetShadeMode(s.shadeMode);
  StateResendForced = 0;
  return 0;
}

int ReapplyDeviceState() {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = Shadow();
  StateResendForced = 1;
  G_D3D_SetZEnable(s.zEnable);
  G_D3D_SetZWriteEnable(s.zWriteEnable);
  G_D3D_SetZFunc(s.zFunc);
  G_D3D_SetDepthBias(s.depthBias);
  G_D3D_SetFillMode(s.fillMode);
  G_D3D_SetShadeMode(s.shadeMode);
  G_D3D_SetCullMode(s.cullMode);
  G_D3D_SetLighting(s.lighting);
  G_D3D_SetSpecularEnable(s.specularEnable);
  if (s.diffuseMaterialSource != 255) G_D3D_SetDiffuseFromVertex(s.diffuseMaterialSource == D3DMCS_COLOR1);
  if (s.specularMaterialSource != 255) G_D3D_SetSpecularFromVertex(s.specularMaterialSource == D3DMCS_COLOR2);
  G_D3D_SetFilterMode(s.filterMode);
  G_D3D_SetMaxAnisotropy(s.maxAnisotropy);
  for (int32_t sampler = 0; sampler < 8; ++sampler) {
    G_D3D_SetTextureAddressU(s.addressU[sampler], sampler);
    G_D3D_SetTextureAddressV(s.addressV[sampler], sampler);
    G_D3D_SetTextureAddressW(s.addressW[sampler], sampler);
  }
  for (DWORD stage = 0; stage < 8; ++stage) {
    Direct3DDevice->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
    s.texCoordIndex[stage] = static_cast<int32_t>(stage);
  }
  G_D3D_SetFogEnable(s.fogEnable);
  G_D3D_SetFogMode(s.fogMode);
  G_D3D_SetFogColor(static_cast<uint32_t>(s.fogColor));
  G_D3D_SetFogStartEnd(s.fogStart, s.fogEnd);
  G_D3D_SetFogDensity(s.fogDensity);
  const D3DMATERIAL9 material = s.material;
  G_D3D_SetMaterial(&material);
  const D3DMATRIX view = s.view, projection = s.projection;
  G_D3D_SetViewMatrix(&view);
  G_D3D_SetProjectionMatrix(&projection);
  StateResendForced = 0;
  return 0;
}
