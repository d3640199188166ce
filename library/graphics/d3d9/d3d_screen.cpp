#include "library/graphics/d3d9/d3d_screen.h"

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/startup.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_buffers.h"
#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/graphics/mem_img.h"
#include "library/graphics/texture_tables.h"

namespace {

// The viewport over the draw area, sent whatever the shadow holds.
void ViewportToDrawArea() {
  if (DrawAreaEmpty) return;
  const int32_t forced = StateResendForced;
  StateResendForced = 1;
  G_D3D_SetViewportRect(DrawClipRect.left, DrawClipRect.top, DrawClipRect.right, DrawClipRect.bottom);
  StateResendForced = forced;
}

IDirect3DSurface9* GraphTargetSurface(const GraphRecord* graph) {
  if (graph == nullptr || graph->surface == nullptr || !graph->surface->request.hardware || graph->drawPieceCount < 1)
    return nullptr;
  return graph->drawPieces[0].piece->surface;
}

// The back buffer (or the given rectangles of it) presented.
HRESULT PresentBackBuffer(const RECT* source, const RECT* dest) {
  if (D3DSwapChain != nullptr) return D3DSwapChain->Present(source, dest, MainHwnd, nullptr, 0);
  return Direct3DDevice->Present(source, dest, MainHwnd, nullptr);
}

// ---------------------------------------------------------------- mask screen objects

IDirect3DTexture9* MaskImageTexture = nullptr;
IDirect3DTexture9* MaskScreenTexture = nullptr;
IDirect3DSurface9* MaskScreenSurface = nullptr;
D3DFORMAT MaskAlphaFormat = D3DFMT_UNKNOWN;
int32_t MaskTextureWidth = 0, MaskTextureHeight = 0;

int32_t MaskTexelBytes() { return MaskAlphaFormat == D3DFMT_A8R8G8B8 ? 4 : 2; }

bool Accepted(D3DFORMAT format, DWORD usage) {
  return Direct3DObject != nullptr &&
         Direct3DObject->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, ScreenD3DFormat, usage, D3DRTYPE_TEXTURE,
                                           format) >= 0;
}

// The draw settings that the write-back changed, sent again from the shadow.
void RestoreCachedStates() {
  D3DShadowState& s = D3DStateShadow;
  const UserBlendInfo& b = s.blendState;
  IDirect3DDevice9* d = Direct3DDevice;
  d->SetRenderState(D3DRS_ALPHATESTENABLE, static_cast<DWORD>(b.alphaTestEnable));
  // A function never set is the device's own default.
  d->SetRenderState(D3DRS_ALPHAFUNC, b.alphaFunc > 0 ? static_cast<DWORD>(b.alphaFunc) : D3DCMP_ALWAYS);
  d->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(b.alphaRef));
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, static_cast<DWORD>(b.alphaBlendEnable));
  for (DWORD stage = 0; stage < 3; ++stage) {
    const TextureStageEntry& e = b.stages[stage];
    d->SetTexture(stage, s.stageTextures[stage]);
    d->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(s.texCoordIndex[stage]));
    d->SetTextureStageState(stage, D3DTSS_COLOROP, static_cast<uint16_t>(e.colorOp));
    d->SetTextureStageState(stage, D3DTSS_COLORARG1, static_cast<uint16_t>(e.colorArg1));
    d->SetTextureStageState(stage, D3DTSS_ALPHAOP, static_cast<uint16_t>(e.alphaOp));
    d->SetTextureStageState(stage, D3DTSS_ALPHAARG1, static_cast<uint16_t>(e.alphaArg1));
  }
}

// ---------------------------------------------------------------- subtract emulation

struct SubtractSaved {
  int32_t param;
  DrawBrightBytes bright;
};
SubtractSaved Subtract;

// The box that inverts the destination over the rectangle.
void InvertingBox(const PixelRect& r) {
  SetDrawBrightness(255, 255, 255);
  SetDrawBlend(3, 255);
  G_D3D_FillRectangle(r.left, r.top, r.right, r.bottom, MakeScreenColor(255, 255, 255));
  SetDrawBrightness(Subtract.bright.red, Subtract.bright.green, Subtract.bright.blue);
}

}  // namespace

// ---------------------------------------------------------------- present and lost device

int G_D3D_PresentFrame(const int32_t* rect, bool doubled) {
  if (Direct3DDevice == nullptr) return -1;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  if (D3DDeviceLost) return -1;
  if (D3DWorkBackBuffer != nullptr &&
      Direct3DDevice->StretchRect(D3DWorkBackBuffer, nullptr, D3DBackBuffer, nullptr, D3DTEXF_NONE) < 0)
    return -1;
  RECT source{}, dest{};
  const RECT* s = nullptr;
  const RECT* d = nullptr;
  if (doubled) {
    source = {0, 0, 320, 240};
    dest = {0, 0, 640, 480};
    s = &source;
    d = &dest;
  } else if (rect != nullptr) {
    source = {rect[0], rect[1], rect[2], rect[3]};
    s = d = &source;
  }
  const HRESULT result = PresentBackBuffer(s, d);
  if (result == D3DERR_DEVICELOST) {
    // The frame is gone with the device: what it queued is dropped, and the
    // device is made again as soon as it can be had.
    D3DDeviceLost = 1;
    G_D3D_DiscardVertexBatch();
  }
  return result < 0 ? -1 : 0;
}

int G_D3D_EndSceneAndPresent() {
  if (Direct3DDevice == nullptr) return -1;
  return G_D3D_PresentFrame(nullptr, false);
}

void G_D3D_CopyBackBufferToWork() {
  if (Direct3DDevice == nullptr || D3DWorkBackBuffer == nullptr || D3DBackBuffer == nullptr) return;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  Direct3DDevice->StretchRect(D3DBackBuffer, nullptr, D3DWorkBackBuffer, nullptr, D3DTEXF_NONE);
}

void G_D3D_CheckLostDevice() {
  if (!D3DDeviceLost || !HardwareActive) return;
  if (Direct3DDevice != nullptr && Direct3DDevice->TestCooperativeLevel() == D3DERR_DEVICELOST) return;
  RestoreGraphicsDevice();
}

void G_D3D_RebuildDevice(void (*restartInput)()) {
  // Everything made on the old device goes with it; the records stay.
  G_D3D_ReleaseMaskTextures();
  G_D3D_ReleaseResourceObjects();
  G_D3D_Terminate();
  if (restartInput != nullptr) restartInput();
  if (G_D3D_Initialize() != 0 || !HardwareActive) {
    // No device yet: the graphs stay texture graphs, draws are dropped, and
    // the next present tries again.
    HardwareActive = 1;
    D3DDeviceLost = 1;
    return;
  }
  D3DDeviceLost = 0;
  G_D3D_SetDeviceDefaults();
  PackedDrawColor = ComputePackedDrawColor();
  G_D3D_RecreateResourceObjects();
  RestoreMaskScreen();
  Scene3DState& scene = Scene3D;
  const Matrix4F world = scene.world, view = scene.view, projection = scene.projection, viewport = scene.viewport;
  SelectDrawTarget(DrawTarget);
  for (int i = 0; i < 2; ++i) {
    G_D3D_ClearDrawTarget(nullptr);
    G_D3D_PresentFrame(nullptr, false);
  }
  RestoreGraphs();
  RebuildTextureTables();
  if (BlendGraph.handle != -1) G_D3D_SetBlendTexture(GetGraphRecordChecked(BlendGraph.handle));
  scene.resendAllLights = 1;
  SetDrawClipArea(RequestedClipArea.left, RequestedClipArea.top, RequestedClipArea.right, RequestedClipArea.bottom);
  SetWorldMatrix(&world);
  SetViewMatrix(&view);
  SetProjectionMatrix(&projection);
  SetViewportMatrix(&viewport);
}

int G_D3D_SetDialogBoxMode(int32_t flag) {
  if (Direct3DDevice == nullptr) return 0;
  G_D3D_EndScene();
  Direct3DDevice->SetDialogBoxMode(flag ? TRUE : FALSE);
  return 0;
}

int G_D3D_ResetDialogBoxMode(int32_t flag) {
  if (Direct3DDevice == nullptr) return 0;
  G_D3D_SetDialogBoxMode(0);
  if (flag) G_D3D_SetDialogBoxMode(1);
  return 0;
}

// ---------------------------------------------------------------- target, area, blend graph

IDirect3DSurface9* G_D3D_TargetSurface() {
  IDirect3DSurface9* surface = GraphTargetSurface(GetGraphRecordChecked(DrawTarget));
  if (surface != nullptr) return surface;
  return D3DWorkBackBuffer != nullptr ? D3DWorkBackBuffer : D3DBackBuffer;
}

void G_D3D_SelectTargetSurface(GraphRecord* graph) {
  if (Direct3DDevice == nullptr) return;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  IDirect3DSurface9* surface = GraphTargetSurface(graph);
  if (surface == nullptr) surface = D3DWorkBackBuffer != nullptr ? D3DWorkBackBuffer : D3DBackBuffer;
  G_D3D_SetRenderTarget(surface);
}

int G_D3D_ApplyDrawArea() {
  if (Direct3DDevice == nullptr) return -1;
  const PixelRect& a = DrawClipRect;
  G_D3D_SetViewportRect(a.left, a.top, a.right, a.bottom);
  const float w = static_cast<float>(a.right - a.left), h = static_cast<float>(a.bottom - a.top);
  Scene3DState& s = Scene3D;
  BuildViewportMatrix(&s.areaMatrix, static_cast<float>(a.left) + w / 2, static_cast<float>(a.top) + h / 2, w, h);
  if (InvertMatrix(&s.areaMatrixInverse, &s.areaMatrix) != 0) SetIdentityMatrix(&s.areaMatrixInverse);
  G_D3D_SendTransforms();
  return 0;
}

int G_D3D_SetBlendTexture(GraphRecord* graph) {
  if (Direct3DDevice == nullptr) return -1;
  if (graph == nullptr) {
    G_D3D_SetBlendGraphTexture(nullptr, -1, -1);
    return 0;
  }
  if (graph->surface == nullptr || !graph->surface->request.hardware || graph->drawPieceCount < 1) return -1;
  const GraphDrawPiece& d = graph->drawPieces[0];
  BlendGraphTexture = {1.0f / static_cast<float>(d.piece->textureWidth), 1.0f / static_cast<float>(d.piece->textureHeight),
                       static_cast<float>(d.srcX), static_cast<float>(d.srcY)};
  G_D3D_SetBlendGraphTexture(d.piece->texture, BlendGraph.borderParam, BlendGraph.borderRange);
  return 0;
}

void G_D3D_ApplyFilterMode(int32_t mode) { G_D3D_SetFilterMode(mode); }

int G_D3D_ClearDrawTarget(const int32_t* rect) {
  G_D3D_CheckLostDevice();
  if (!G_D3D_CanDraw()) return -1;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  IDirect3DSurface9* real = G_D3D_TargetSurface();
  if (MaskScreenActive) G_D3D_SetRenderTarget(real);
  const int32_t forced = StateResendForced;
  StateResendForced = 1;
  G_D3D_SetViewportRect(0, 0, DrawTargetWidth, DrawTargetHeight);
  StateResendForced = forced;
  const D3DCOLOR colour = static_cast<D3DCOLOR>(BackgroundColor.red) << 16 |
                          static_cast<D3DCOLOR>(BackgroundColor.green) << 8 | BackgroundColor.blue;
  const bool whole = rect == nullptr || rect[0] < 0 || rect[1] < 0;
  const RECT area = whole ? RECT{} : RECT{rect[0], rect[1], rect[2], rect[3]};
  const DWORD flags = D3DCLEAR_TARGET | (D3DZBuffer != nullptr ? D3DCLEAR_ZBUFFER : 0);
  Direct3DDevice->Clear(whole ? 0 : 1, whole ? nullptr : &area, flags, colour, 1.0f, 0);
  if (MaskScreenActive) G_D3D_PointRenderTargetAtMask(1);
  ViewportToDrawArea();
  return 0;
}

int G_D3D_CopyTargetToGraph(const PixelRect& rect, GraphRecord* graph) {
  if (!G_D3D_CanDraw()) return -1;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  IDirect3DSurface9* source = G_D3D_TargetSurface();
  if (graph->surface->request.drawable) {
    IDirect3DSurface9* dest = GraphTargetSurface(graph);
    if (dest == nullptr) return -1;
    const GraphDrawPiece& d = graph->drawPieces[0];
    const RECT from = {rect.left, rect.top, rect.right, rect.bottom};
    const RECT to = {d.srcX, d.srcY, d.srcX + graph->width, d.srcY + graph->height};
    return Direct3DDevice->StretchRect(source, &from, dest, &to, D3DTEXF_NONE) < 0 ? -1 : 0;
  }
  // Read back into system memory, then into the graph's textures.
  D3DSURFACE_DESC desc{};
  if (source->GetDesc(&desc) < 0) return -1;
  const ColorFormat* format = GetD3DColorFormat(desc.Format);
  if (format == nullptr) return -1;
  IDirect3DSurface9* system = nullptr;
  if (Direct3DDevice->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &system,
                                                  nullptr) < 0)
    return WriteErrorLog("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
  int result = -1;
  D3DLOCKED_RECT locked{};
  if (Direct3DDevice->GetRenderTargetData(source, system) >= 0 && system->LockRect(&locked, nullptr, D3DLOCK_READONLY) >= 0) {
    GraphImage image{};
    image.format = *format;
    image.width = static_cast<int32_t>(desc.Width);
    image.height = static_cast<int32_t>(desc.Height);
    image.pitch = locked.Pitch;
    image.pixels = static_cast<uint8_t*>(locked.pBits);
    result = G_D3D_TransferImageToTextures(graph, &rect, 0, 0, &image, nullptr, 0, 0);
    system->UnlockRect();
  }
  ReleaseD3DObject(system);
  return result;
}

int G_D3D_FillGraph(GraphRecord* graph, uint32_t argb) {
  if (!G_D3D_CanDraw()) return -1;
  G_D3D_FlushVertexBatch();
  for (int32_t i = 0; i < graph->drawPieceCount; ++i) {
    const GraphDrawPiece& d = graph->drawPieces[i];
    if (d.piece->surface == nullptr) continue;
    const RECT r = {d.srcX, d.srcY, d.srcX + d.width, d.srcY + d.height};
    Direct3DDevice->ColorFill(d.piece->surface, &r, argb);
  }
  return 0;
}

// ---------------------------------------------------------------- 3-D settings

void G_D3D_SendLight(int32_t index, const LightDescription* light) {
  D3DLIGHT9 l{};
  l.Type = static_cast<DWORD>(light->type);
  l.Diffuse = {light->diffuse.r, light->diffuse.g, light->diffuse.b, light->diffuse.a};
  l.Specular = {light->specular.r, light->specular.g, light->specular.b, light->specular.a};
  l.Ambient = {light->ambient.r, light->ambient.g, light->ambient.b, light->ambient.a};
  l.Position = {light->position.x, light->position.y, light->position.z};
  l.Direction = {light->direction.x, light->direction.y, light->direction.z};
  l.Range = light->range;
  l.Falloff = light->falloff;
  l.Attenuation0 = light->attenuation0;
  l.Attenuation1 = light->attenuation1;
  l.Attenuation2 = light->attenuation2;
  l.Theta = light->theta;
  l.Phi = light->phi;
  G_D3D_SetLight(index, &l);
}

void G_D3D_SendLightEnable(int32_t index, int32_t flag) { G_D3D_EnableLight(index, flag); }

void G_D3D_SendLighting(int32_t on) { G_D3D_SetLighting(on); }

void G_D3D_SendTransforms() {
  if (Direct3DDevice == nullptr) return;
  G_D3D_FlushVertexBatch();
  const Scene3DState& s = Scene3D;
  const D3DMATRIX world = AsD3DMatrix(s.world), view = AsD3DMatrix(s.view);
  G_D3D_SetWorldTransform(&world);
  G_D3D_SetViewMatrix(&view);
  Matrix4F projectionViewport, constant;
  MultiplyMatrix(&projectionViewport, &s.projection, &s.viewport);
  MultiplyMatrix(&constant, &projectionViewport, &s.areaMatrixInverse);
  const D3DMATRIX projection = AsD3DMatrix(constant);
  G_D3D_SetProjectionMatrix(&projection);
}

void G_D3D_SendFog() {
  if (Direct3DDevice == nullptr) return;
  const Scene3DState& s = Scene3D;
  G_D3D_SetFogMode(s.fogMode);
  G_D3D_SetFogColor(s.fogColor);
  G_D3D_SetFogStartEnd(s.fogStart, s.fogEnd);
}

// ---------------------------------------------------------------- subtract emulation

bool G_D3D_NeedsSubtractEmulation() { return HardwareActive && Direct3DDevice != nullptr && !CanUseBlendOp; }

void BeginSubtractBlendEmulation(const PixelRect& rect) {
  Subtract = {DrawBlendParam, DrawBright};
  InvertingBox(rect);
  SetDrawBlend(5, Subtract.param);
}

void EndSubtractBlendEmulation(const PixelRect& rect) {
  InvertingBox(rect);
  SetDrawBlend(3, Subtract.param);
}

// ---------------------------------------------------------------- mask screen

void G_D3D_CreateMaskTextures() {
  if (Direct3DDevice == nullptr) return;
  if (MaskImageTexture == nullptr) {
    MaskAlphaFormat = D3DFMT_UNKNOWN;
    for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5})
      if (MaskAlphaFormat == D3DFMT_UNKNOWN && Accepted(f, D3DUSAGE_DYNAMIC)) MaskAlphaFormat = f;
    if (MaskAlphaFormat == D3DFMT_UNKNOWN)
      FatalErrorExit("マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした");
    if (!Accepted(ScreenD3DFormat, D3DUSAGE_RENDERTARGET))
      FatalErrorExit("マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした");
    int32_t width, height;
    GetScreenSizeOrDefault(&width, &height);
    MaskTextureWidth = MaskTextureHeight = 1;
    while (MaskTextureWidth < width) MaskTextureWidth *= 2;
    while (MaskTextureHeight < height) MaskTextureHeight *= 2;
    if (Direct3DDevice->CreateTexture(static_cast<UINT>(MaskTextureWidth), static_cast<UINT>(MaskTextureHeight), 1,
                                      D3DUSAGE_DYNAMIC, MaskAlphaFormat, D3DPOOL_DEFAULT, &MaskImageTexture,
                                      nullptr) < 0) {
      MaskImageTexture = nullptr;
      FatalErrorExit("マスク用イメージテクスチャの作成に失敗しました");
    }
    // The texture takes the mask bytes as they are: cleared on first
    // creation, the mask drawn so far after a lost device.
    G_D3D_PaintMaskTexture(0);
    G_D3D_UploadMaskBytes({0, 0, MaskBytes.width, MaskBytes.height});
  }
  if (MaskScreenTexture == nullptr) {
    if (Direct3DDevice->CreateTexture(static_cast<UINT>(MaskTextureWidth), static_cast<UINT>(MaskTextureHeight), 1,
                                      D3DUSAGE_RENDERTARGET, ScreenD3DFormat, D3DPOOL_DEFAULT, &MaskScreenTexture,
                                      nullptr) < 0) {
      MaskScreenTexture = nullptr;
      FatalErrorExit("マスク用スクリーンテクスチャの作成に失敗しました");
    }
    if (MaskScreenTexture->GetSurfaceLevel(0, &MaskScreenSurface) < 0) MaskScreenSurface = nullptr;
  }
}

void G_D3D_ReleaseMaskTextures() {
  if (MaskScreenSurface != nullptr && MaskScreenSurface == CurrentRenderTarget) {
    G_D3D_FlushVertexBatch();
    if (D3DBackBuffer != nullptr) G_D3D_SetRenderTarget(D3DBackBuffer);
  }
  G_D3D_ForgetTexture(MaskImageTexture);
  G_D3D_ForgetTexture(MaskScreenTexture);
  ReleaseD3DObject(MaskScreenSurface);
  ReleaseD3DObject(MaskScreenTexture);
  ReleaseD3DObject(MaskImageTexture);
}

void G_D3D_PointRenderTargetAtMask(int32_t active) {
  if (Direct3DDevice == nullptr) return;
  G_D3D_FlushVertexBatch();
  IDirect3DSurface9* surface = active && MaskScreenSurface != nullptr ? MaskScreenSurface : G_D3D_TargetSurface();
  if (surface == CurrentRenderTarget) return;
  G_D3D_SetRenderTarget(surface);
  ViewportToDrawArea();
}

void G_D3D_BeginMaskDraw(const PixelRect& r) {
  if (!G_D3D_CanDraw() || MaskScreenSurface == nullptr || r.left >= r.right || r.top >= r.bottom) return;
  G_D3D_FlushVertexBatch();
  G_D3D_EndScene();
  const RECT area = {r.left, r.top, r.right, r.bottom};
  Direct3DDevice->StretchRect(G_D3D_TargetSurface(), &area, MaskScreenSurface, &area, D3DTEXF_NONE);
}

void G_D3D_EndMaskDraw(const PixelRect& r) {
  if (!G_D3D_CanDraw() || MaskScreenSurface == nullptr || MaskImageTexture == nullptr) return;
  G_D3D_FlushVertexBatch();
  G_D3D_SetRenderTarget(G_D3D_TargetSurface());
  G_D3D_BeginScene();
  ViewportToDrawArea();
  IDirect3DDevice9* d = Direct3DDevice;
  const float w = static_cast<float>(MaskTextureWidth), h = static_cast<float>(MaskTextureHeight);
  const float l = static_cast<float>(r.left), t = static_cast<float>(r.top), rt = static_cast<float>(r.right),
              b = static_cast<float>(r.bottom);
  const BatchVertexTextured quad[4] = {{l - 0.5f, t - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu, l / w, t / h},
                                       {rt - 0.5f, t - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu, rt / w, t / h},
                                       {l - 0.5f, b - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu, l / w, b / h},
                                       {rt - 0.5f, b - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu, rt / w, b / h}};
  // The mask screen's colour, written only where the mask's alpha is 0.
  d->SetTexture(0, MaskScreenTexture);
  d->SetTexture(1, MaskImageTexture);
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
  d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
  d->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 0);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_EQUAL);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  VertexBatch.lastFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(BatchVertexTextured));
  G_D3D_EndScene();
  RestoreCachedStates();
  G_D3D_SetRenderTarget(MaskScreenSurface);
  ViewportToDrawArea();
}

void G_D3D_UploadMaskBytes(const PixelRect& rect) {
  if (MaskImageTexture == nullptr || MaskBytes.bytes == nullptr) return;
  PixelRect r = rect;
  const PixelRect limit = {0, 0, std::min(MaskBytes.width, MaskTextureWidth), std::min(MaskBytes.height, MaskTextureHeight)};
  ClipRectToArea(&r, &limit);
  if (r.left >= r.right || r.top >= r.bottom) return;
  const RECT area = {r.left, r.top, r.right, r.bottom};
  D3DLOCKED_RECT locked{};
  if (MaskImageTexture->LockRect(0, &locked, &area, 0) < 0) return;
  const int32_t bytes = MaskTexelBytes();
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint8_t* mask = MaskBytes.bytes + static_cast<int64_t>(y) * MaskBytes.pitch + r.left;
    uint8_t* texel = static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(y - r.top) * locked.Pitch;
    // The mask byte is the texel's top byte: the alpha of ARGB8888, the high
    // byte of the 16-bit formats.
    for (int32_t x = 0; x < r.right - r.left; ++x) texel[x * bytes + bytes - 1] = mask[x];
  }
  MaskImageTexture->UnlockRect(0);
}

IDirect3DTexture9* G_D3D_MaskImageTexture(D3DFORMAT* format) {
  if (format != nullptr) *format = MaskAlphaFormat;
  return MaskImageTexture;
}

void G_D3D_PaintMaskTexture(int32_t flag) {
  if (MaskImageTexture == nullptr) return;
  D3DLOCKED_RECT locked{};
  if (MaskImageTexture->LockRect(0, &locked, nullptr, 0) < 0) return;
  int32_t width, height;
  GetScreenSizeOrDefault(&width, &height);
  const int32_t rows = std::min(height, MaskTextureHeight);
  const int32_t rowBytes = std::min(width, MaskTextureWidth) * MaskTexelBytes();
  for (int32_t y = 0; y < rows; ++y)
    std::memset(static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(y) * locked.Pitch, flag ? 0xFF : 0,
                static_cast<size_t>(rowBytes));
  MaskImageTexture->UnlockRect(0);
}
