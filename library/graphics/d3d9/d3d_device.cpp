// The Direct3D object, the device for the main window, its Z buffer, the
// formats chosen for textures and render targets, and the read-back test of
// the back buffer.
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "platform/win32/win32.h"

D3DCAPS9 D3DDeviceCaps;
int32_t ShaderModel2Capable = 0;
int32_t VertexShader20Usable = 0;
int32_t PixelShader20Usable = 0;
int32_t CanUseResultArg = 0;
int32_t CanUseBlendOp = 0;
int32_t MaxTextureSize = 256;
int32_t RefreshPeriodMilliseconds = 0;
int32_t BackBufferLockPreferred = 0;
D3DFORMAT ScreenD3DFormat = D3DFMT_UNKNOWN;
D3DFORMAT ZBufferD3DFormat = D3DFMT_UNKNOWN;
D3DFORMAT TextureD3DFormats[16];

namespace {

bool Model20(DWORD version) { return (version & 0xFFFF) >= 0x0200; }

// The background colour of ClearDrawTarget as 0x00RRGGBB.
D3DCOLOR BackgroundD3DColor() {
  return static_cast<D3DCOLOR>(BackgroundColor.red) << 16 | static_cast<D3DCOLOR>(BackgroundColor.green) << 8 |
         BackgroundColor.blue;
}

// The back-buffer format of a full-screen device by ScreenColorBits, or
// D3DFMT_UNKNOWN (logged) for a depth without one.
D3DFORMAT FullScreenFormat() {
  if (ScreenColorBits == 16)
    return Direct3DObject->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_R5G6B5) != 0 ? D3DFMT_R5G6B5
                                                                                        : D3DFMT_X1R5G5B5;
  if (ScreenColorBits == 32) return D3DFMT_X8R8G8B8;
  WriteErrorLog("非対応のバックバッファービット深度が指定されました\n");
  return D3DFMT_UNKNOWN;
}

// Waits until the raster status reports InVBlank equal to `inBlank`; gives
// up after the time or poll limit (false).
bool WaitRasterBlank(BOOL inBlank) {
  const DWORD start = timeGetTime();
  for (int32_t polls = 0; polls < RasterWaitPollLimit; ++polls) {
    D3DRASTER_STATUS status{};
    if (D3DSwapChain->GetRasterStatus(&status) < 0) return false;
    if ((status.InVBlank != FALSE) == (inBlank != FALSE)) return true;
    if (timeGetTime() - start > RasterWaitLimitMilliseconds) return false;
  }
  return false;
}

// The length of one display refresh, from the end of one blank to the end
// of the next; 0 when the raster status does not show the blanks.
int32_t MeasureRefreshPeriod() {
  if (!WaitRasterBlank(TRUE) || !WaitRasterBlank(FALSE)) return 0;
  const DWORD start = timeGetTime();
  if (!WaitRasterBlank(TRUE) || !WaitRasterBlank(FALSE)) return 0;
  return static_cast<int32_t>(timeGetTime() - start);
}

struct FormatCandidate {
  D3DFORMAT format;
  const char* name;
};

// The first candidate the device takes as a texture (or a render-target
// texture), or null.
const FormatCandidate* FirstAccepted(const FormatCandidate* list, int count, DWORD usage) {
  for (int i = 0; i < count; ++i)
    if (Direct3DObject->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, ScreenD3DFormat, usage,
                                          D3DRTYPE_TEXTURE, list[i].format) >= 0)
      return &list[i];
  return nullptr;
}

// Rows 0 to 13 of TextureD3DFormats, each with its log line; rows 14 and 15
// follow the screen depth. -1 when a row the library cannot do without has
// no format.
int ChooseTextureFormats() {
  std::memset(TextureD3DFormats, 0, sizeof TextureD3DFormats);
  struct Row {
    const char* line;
    FormatCandidate candidates[3];
    int count;
    const char* missing;  // null: a row that may stay without a format
  };
  static const Row kPlainRows[] = {
      {"16bit カラーフォーマットは %s です",
       {{D3DFMT_R5G6B5, "D_D3DFMT_R5G6B5"}, {D3DFMT_X1R5G5B5, "D_D3DFMT_X1R5G5B5"}},
       2,
       "使用できる 16bit カラーフォーマットが見つかりませんでした\n"},
      {"32bit カラーフォーマットは %s です", {{D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}}, 1, nullptr},
      {"アルファ付き 16bit カラーフォーマットは %s です",
       {{D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}, {D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}},
       2,
       "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした\n"},
      {"アルファ付き 32bit カラーフォーマットは %s です",
       {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}, {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}},
       2,
       "使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした\n"},
      {"アルファテスト用 16bit カラーフォーマットは %s です",
       {{D3DFMT_A1R5G5B5, "D_D3DFMT_A1R5G5B5"},
        {D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"},
        {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}},
       3,
       "使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした\n"},
      {"アルファテスト用 32bit カラーフォーマットは %s です",
       {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"},
        {D3DFMT_A1R5G5B5, "D_D3DFMT_A1R5G5B5"},
        {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}},
       3,
       "使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした\n"},
  };
  const char* row0Name = "";
  for (int row = 0; row < 6; ++row) {
    const Row& r = kPlainRows[row];
    const FormatCandidate* found = FirstAccepted(r.candidates, r.count, 0);
    if (found == nullptr && row == 1) {
      // No 32-bit texture: the 16-bit one stands in.
      TextureD3DFormats[1] = TextureD3DFormats[0];
      WriteErrorLogFormat(r.line, row0Name);
      continue;
    }
    if (found == nullptr) return WriteErrorLog(r.missing);
    TextureD3DFormats[row] = found->format;
    if (row == 0) row0Name = found->name;
    WriteErrorLogFormat(r.line, found->name);
  }

  static const char* const kDxtLines[5] = {"ＤＸＴ１テクスチャフォーマットは%s", "ＤＸＴ２テクスチャフォーマットは%s",
                                           "ＤＸＴ３テクスチャフォーマットは%s", "ＤＸＴ４テクスチャフォーマットは%s",
                                           "ＤＸＴ５テクスチャフォーマットは%s"};
  static const FormatCandidate kDxt[5] = {{D3DFMT_DXT1, " D_D3DFMT_DXT1 です"},
                                          {D3DFMT_DXT2, " D_D3DFMT_DXT2 です"},
                                          {D3DFMT_DXT3, " D_D3DFMT_DXT3 です"},
                                          {D3DFMT_DXT4, " D_D3DFMT_DXT4 です"},
                                          {D3DFMT_DXT5, " D_D3DFMT_DXT5 です"}};
  for (int kind = 0; kind < 5; ++kind) {
    const FormatCandidate* found = FirstAccepted(&kDxt[kind], 1, 0);
    // Without it, compressed images become images with a transparent colour
    // (kind 1) or with alpha (kinds 2 to 5).
    TextureD3DFormats[6 + kind] =
        found != nullptr ? found->format : TextureD3DFormats[kind == 0 ? 4 : 3];
    WriteErrorLogFormat(kDxtLines[kind], found != nullptr ? found->name : "使えません");
  }

  const bool screen565 = ScreenD3DFormat == D3DFMT_R5G6B5;
  const FormatCandidate target16[3] = {
      screen565 ? FormatCandidate{D3DFMT_R5G6B5, "D3DFMT_R5G6B5"} : FormatCandidate{D3DFMT_X1R5G5B5, "D_D3DFMT_R5G5B5"},
      screen565 ? FormatCandidate{D3DFMT_X1R5G5B5, "D3DFMT_R5G5B5"} : FormatCandidate{D3DFMT_R5G6B5, "D_D3DFMT_R5G6B5"},
      {D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}};
  static const FormatCandidate kTarget32[3] = {
      {D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}, {D3DFMT_R5G6B5, "D3DFMT_R5G6B5"}, {D3DFMT_X1R5G5B5, "D3DFMT_R5G5B5"}};
  static const FormatCandidate kTargetAlpha[2] = {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"},
                                                  {D3DFMT_A4R4G4B4, "D3DFMT_A4R4G4B4"}};
  struct TargetRow {
    const FormatCandidate* candidates;
    int count;
    const char* line;
    const char* missing;
  };
  const TargetRow targetRows[3] = {
      {target16, 3, "描画用 16bit カラーフォーマットは %s です",
       "使用できる描画用 16bit カラーフォーマットがありませんでした\n"},
      {kTarget32, 3, "描画用 32bit カラーフォーマットは %s です",
       "使用できる描画用 32bit カラーフォーマットがありませんでした\n"},
      {kTargetAlpha, 2, "描画用アルファ付き 32bit カラーフォーマットは %s です",
       "使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした\n"},
  };
  for (int i = 0; i < 3; ++i) {
    const FormatCandidate* found = FirstAccepted(targetRows[i].candidates, targetRows[i].count, D3DUSAGE_RENDERTARGET);
    if (found == nullptr) {
      WriteErrorLog(targetRows[i].missing);
      continue;
    }
    TextureD3DFormats[11 + i] = found->format;
    WriteErrorLogFormat(targetRows[i].line, found->name);
  }
  TextureD3DFormats[14] = TextureD3DFormats[ScreenColorBits == 32 ? 12 : 11];
  TextureD3DFormats[15] = TextureD3DFormats[ScreenColorBits == 32 ? 5 : 4];
  return 0;
}

// Copies `side` rows of `side` pixels between two locked rectangles.
void CopyLockedRows(const D3DLOCKED_RECT& from, const D3DLOCKED_RECT& to, UINT side, UINT bytesPerPixel) {
  for (UINT row = 0; row < side; ++row)
    std::memcpy(static_cast<uint8_t*>(to.pBits) + static_cast<size_t>(row) * static_cast<size_t>(to.Pitch),
                static_cast<const uint8_t*>(from.pBits) + static_cast<size_t>(row) * static_cast<size_t>(from.Pitch),
                static_cast<size_t>(side) * bytesPerPixel);
}

// One run of the read-back measurement: the time to read a square of the
// back buffer by locking it, and through a temporary render target. Times
// stay -1 from the first failing call on; whatever the run made is released.
void MeasureReadBack(UINT side, UINT bytesPerPixel, int64_t* lockTime, int64_t* targetTime) {
  *lockTime = *targetTime = -1;
  const RECT rect = {0, 0, static_cast<LONG>(side), static_cast<LONG>(side)};
  IDirect3DSurface9 *a = nullptr, *target = nullptr, *b = nullptr;
  D3DLOCKED_RECT lockedA{}, locked{};
  bool aLocked = false;
  do {
    if (Direct3DDevice->CreateOffscreenPlainSurface(side, side, ScreenD3DFormat, D3DPOOL_SYSTEMMEM, &a, nullptr) < 0)
      break;
    if (a->LockRect(&lockedA, &rect, D3DLOCK_READONLY) < 0) break;
    aLocked = true;

    const int64_t t0 = GetMicrosecondCount(0);
    if (D3DBackBuffer->LockRect(&locked, &rect, D3DLOCK_READONLY) < 0) break;
    CopyLockedRows(locked, lockedA, side, bytesPerPixel);
    D3DBackBuffer->UnlockRect();
    *lockTime = GetMicrosecondCount(0) - t0;

    const int64_t t1 = GetMicrosecondCount(0);
    if (Direct3DDevice->CreateRenderTarget(side, side, ScreenD3DFormat, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                           nullptr) < 0 ||
        Direct3DDevice->CreateOffscreenPlainSurface(side, side, ScreenD3DFormat, D3DPOOL_SYSTEMMEM, &b, nullptr) < 0 ||
        Direct3DDevice->StretchRect(D3DBackBuffer, &rect, target, nullptr, D3DTEXF_NONE) < 0 ||
        Direct3DDevice->GetRenderTargetData(target, b) < 0 || b->LockRect(&locked, &rect, D3DLOCK_READONLY) < 0)
      break;
    CopyLockedRows(locked, lockedA, side, bytesPerPixel);
    b->UnlockRect();
    ReleaseD3DObject(target);
    ReleaseD3DObject(b);
    *targetTime = GetMicrosecondCount(0) - t1;
  } while (false);
  ReleaseD3DObject(target);
  ReleaseD3DObject(b);
  if (aLocked) a->UnlockRect();
  ReleaseD3DObject(a);
}

void TestBackBufferReadBack() {
  BackBufferLockPreferred = 0;
  UINT side = 256;
  while (side > 1 && (side > static_cast<UINT>(ScreenWidth) || side > static_cast<UINT>(ScreenHeight))) side /= 2;
  const ColorFormat* format = GetD3DColorFormat(ScreenD3DFormat);
  const UINT bytesPerPixel = format != nullptr ? format->bytesPerPixel : 4;
  int64_t lockTime = -1, targetTime = -1;
  for (int run = 0; run < 3; ++run) MeasureReadBack(side, bytesPerPixel, &lockTime, &targetTime);
  if (lockTime == -1 || targetTime == -1) {
    WriteErrorLog("バックバッファロックはロックできません\n");
    return;
  }
  WriteErrorLogFormat("バックバッファロック転送の時間:%dnsec  一時的な描画可能バッファを使用した転送の時間:%dnsec",
                      static_cast<int32_t>(lockTime), static_cast<int32_t>(targetTime));
  if (lockTime < targetTime) {
    BackBufferLockPreferred = 1;
    WriteErrorLog("バックバッファロックを使用します\n");
  } else {
    WriteErrorLog("バックバッファロックを使用しません\n");
  }
}

}  // namespace

// ---------------------------------------------------------------- the Direct3D object

int G_D3D_CreateDirect3D() {
  Direct3DObjectEx = nullptr;
  ReleaseD3DObject(Direct3DObject);
  WriteErrorLog("IDirect3D9Ex オブジェクトを取得します.... ");
  auto create9Ex = reinterpret_cast<Direct3DCreate9ExProc>(GetProcAddress(D3DModule, "Direct3DCreate9Ex"));
  IDirect3D9Ex* ex = nullptr;
  if (create9Ex != nullptr && create9Ex(D3D_SDK_VERSION, &ex) >= 0 && ex != nullptr) {
    Direct3DObjectEx = ex;
    Direct3DObject = ex;
  } else {
    WriteErrorLog("IDirect3D9 オブジェクトを取得します.... ");
    auto create9 = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(D3DModule, "Direct3DCreate9"));
    if (create9 == nullptr) return WriteErrorLog("Direct3DCreate9 APIのアドレス取得に失敗しました\n");
    Direct3DObject = create9(D3D_SDK_VERSION);
    if (Direct3DObject == nullptr) return WriteErrorLog("IDirect3D9 オブジェクトの取得に失敗しました\n");
  }
  WriteErrorLog("成功\n");
  return 0;
}

// ---------------------------------------------------------------- the device

// Direct3D without hardware rasterisation (a processor draws behind it, as
// Mesa's llvmpipe does on a desktop without a graphics card) is slower and
// heavier than the software renderer: no device is kept, and the software
// path is taken. The log names the adapter and the choice.
namespace {
int RefuseSoftwareRasterization() {
  D3DADAPTER_IDENTIFIER9 identifier;
  std::memset(&identifier, 0, sizeof identifier);
  Direct3DObject->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
  WriteErrorLogFormat("Driver:%s  Description:%s", identifier.Driver, identifier.Description);
  return WriteErrorLog("描画デバイスはハードウエアラスタライズを行いません ソフトウエアレンダラを使用します\n");
}
}  // namespace

int G_D3D_CreateDevice() {
  if (Direct3DObject == nullptr) return -1;
  ReleaseD3DObject(D3DZBuffer);
  ReleaseD3DObject(D3DWorkBackBuffer);
  ReleaseD3DObject(D3DBackBuffer);
  ReleaseD3DObject(D3DSwapChain);
  Direct3DDeviceEx = nullptr;
  ReleaseD3DObject(Direct3DDevice);

  D3DPRESENT_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.BackBufferWidth = static_cast<UINT>(ScreenWidth);
  parameters.BackBufferHeight = static_cast<UINT>(ScreenHeight);
  parameters.BackBufferCount = 1;
  parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
  parameters.SwapEffect = D3DSWAPEFFECT_COPY;
  parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  parameters.EnableAutoDepthStencil = FALSE;
  parameters.hDeviceWindow = GetMainHwnd();
  parameters.PresentationInterval = GetWaitVSync() ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;

  D3DDISPLAYMODEEX mode;
  std::memset(&mode, 0, sizeof mode);
  bool trueFullScreen = false;
  if (WindowedMode) {
    D3DDISPLAYMODE desktop{};
    Direct3DObject->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop);
    parameters.Windowed = TRUE;
    parameters.BackBufferFormat = desktop.Format;
    if (desktop.Format == D3DFMT_X8R8G8B8) ScreenColorBits = 32;
    if (desktop.Format == D3DFMT_R5G6B5 || desktop.Format == D3DFMT_X1R5G5B5 || desktop.Format == D3DFMT_A1R5G5B5)
      ScreenColorBits = 16;
    SetDesktopComposition(1);
  } else if (EmulatedFullScreen) {
    parameters.Windowed = TRUE;
    parameters.BackBufferFormat = FullScreenFormat();
    if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) return -1;
  } else {
    trueFullScreen = true;
    parameters.Windowed = FALSE;
    parameters.BackBufferFormat = FullScreenFormat();
    if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) return -1;
    parameters.FullScreen_RefreshRateInHz = static_cast<UINT>(ScreenRefreshRate);
    mode = {sizeof(D3DDISPLAYMODEEX), parameters.BackBufferWidth, parameters.BackBufferHeight,
            parameters.FullScreen_RefreshRateInHz, parameters.BackBufferFormat, D3DSCANLINEORDERING_PROGRESSIVE};
    SetDesktopComposition(0);
    if (DwmEnableCompositionEntry != nullptr) WriteErrorLog("Desktop Window Manager を無効にしました\n");
  }

  D3DCAPS9 adapterCaps;
  std::memset(&adapterCaps, 0, sizeof adapterCaps);
  Direct3DObject->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &adapterCaps);
  ShaderModel2Capable = Model20(adapterCaps.VertexShaderVersion) && Model20(adapterCaps.PixelShaderVersion) ? 1 : 0;
  if ((adapterCaps.DevCaps & D3DDEVCAPS_HWRASTERIZATION) == 0) return RefuseSoftwareRasterization();

  WriteErrorLog(Direct3DObjectEx != nullptr ? "IDirect3DDevice9Ex オブジェクトを取得します.... "
                                            : "IDirect3DDevice9 オブジェクトを取得します.... ");
  auto create = [&](DWORD behaviour) {
    D3DPRESENT_PARAMETERS p = parameters;
    if (Direct3DObjectEx != nullptr) {
      IDirect3DDevice9Ex* device = nullptr;
      if (Direct3DObjectEx->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetMainHwnd(), behaviour, &p,
                                           trueFullScreen ? &mode : nullptr, &device) < 0)
        return false;
      Direct3DDeviceEx = device;
      Direct3DDevice = device;
      return true;
    }
    return Direct3DObject->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetMainHwnd(), behaviour, &p,
                                        &Direct3DDevice) >= 0;
  };
  if (create(ShaderModel2Capable ? D3DCREATE_MIXED_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING)) {
    WriteErrorLog("ハードウエア頂点演算を使用します\n");
  } else {
    ShaderModel2Capable = 0;
    if (!create(D3DCREATE_SOFTWARE_VERTEXPROCESSING))
      return WriteErrorLog(Direct3DObjectEx != nullptr ? "Direct3DDevice9Ex の作成に失敗しました\n"
                                                       : "Direct3DDevice9 の作成に失敗しました\n");
    WriteErrorLog("ソフトウエア頂点演算を使用します\n");
  }
  // The device's own word on its rasterisation (the adapter's may not have
  // known the renderer).
  D3DCAPS9 deviceCaps;
  std::memset(&deviceCaps, 0, sizeof deviceCaps);
  Direct3DDevice->GetDeviceCaps(&deviceCaps);
  if ((deviceCaps.DevCaps & D3DDEVCAPS_HWRASTERIZATION) == 0) {
    Direct3DDeviceEx = nullptr;
    ReleaseD3DObject(Direct3DDevice);
    return RefuseSoftwareRasterization();
  }
  if (Direct3DDeviceEx != nullptr) Direct3DDeviceEx->SetMaximumFrameLatency(1);

  MeasureVSyncPeriod();
  CurrentVertexShader = nullptr;
  CurrentPixelShader = nullptr;
  VertexBatch.lastFvf = 0;
  Direct3DDevice->SetRenderState(D3DRS_ZENABLE, TRUE);

  for (int i = 0; i < 3; ++i) {
    Direct3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, BackgroundD3DColor(), 1.0f, 0);
    Direct3DDevice->Present(nullptr, nullptr, GetMainHwnd(), nullptr);
  }
  Direct3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, BackgroundD3DColor(), 1.0f, 0);
  // Without its back buffer and swap chain the device is of no use.
  if (Direct3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &D3DBackBuffer) < 0 ||
      Direct3DDevice->GetSwapChain(0, &D3DSwapChain) < 0)
    return WriteErrorLog(Direct3DObjectEx != nullptr ? "Direct3DDevice9Ex の作成に失敗しました\n"
                                                     : "Direct3DDevice9 の作成に失敗しました\n");

  RefreshPeriodMilliseconds = MeasureRefreshPeriod();
  WriteErrorLog("成功\n");

  std::memset(&D3DDeviceCaps, 0, sizeof D3DDeviceCaps);
  Direct3DDevice->GetDeviceCaps(&D3DDeviceCaps);
  CanUseResultArg = (D3DDeviceCaps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) != 0 ? 1 : 0;
  CanUseBlendOp = (D3DDeviceCaps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) != 0 ? 1 : 0;
  VertexShader20Usable = ShaderModel2Capable && Model20(D3DDeviceCaps.VertexShaderVersion) ? 1 : 0;
  PixelShader20Usable = ShaderModel2Capable && Model20(D3DDeviceCaps.PixelShaderVersion) ? 1 : 0;
  const int32_t width = D3DDeviceCaps.MaxTextureWidth != 0 ? static_cast<int32_t>(D3DDeviceCaps.MaxTextureWidth) : 256;
  const int32_t height = D3DDeviceCaps.MaxTextureHeight != 0 ? static_cast<int32_t>(D3DDeviceCaps.MaxTextureHeight) : 256;
  MaxTextureSize = width < height ? width : height;
  D3DStateShadow.diffuseMaterialSource = 255;
  D3DStateShadow.specularMaterialSource = 255;

  D3DADAPTER_IDENTIFIER9 identifier;
  std::memset(&identifier, 0, sizeof identifier);
  Direct3DObject->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
  WriteErrorLogFormat("Driver:%s  Description:%s", identifier.Driver, identifier.Description);

  D3DSURFACE_DESC desc;
  std::memset(&desc, 0, sizeof desc);
  D3DBackBuffer->GetDesc(&desc);
  ScreenD3DFormat = desc.Format;
  switch (ScreenD3DFormat) {
    case D3DFMT_X8R8G8B8:
      WriteErrorLogFormat("画面のフォーマットは %s です", "D3DFMT_X8R8G8B8");
      break;
    case D3DFMT_R5G6B5:
      WriteErrorLogFormat("画面のフォーマットは %s です", "D3DFMT_R5G6B5");
      break;
    case D3DFMT_X1R5G5B5:
      WriteErrorLogFormat("画面のフォーマットは %s です", "D3DFMT_X1R5G5B5");
      break;
    default:
      WriteErrorLogFormat("バックバッファが対応していないフォーマット %d です", static_cast<int>(ScreenD3DFormat));
      break;
  }

  static const FormatCandidate kDepth[3] = {
      {D3DFMT_D16, "D3DFMT_D16"}, {D3DFMT_D24X8, "D3DFMT_D24X8"}, {D3DFMT_D32, "D3DFMT_D32"}};
  ZBufferD3DFormat = D3DFMT_UNKNOWN;
  for (const FormatCandidate& c : kDepth) {
    if (Direct3DObject->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, ScreenD3DFormat, ScreenD3DFormat,
                                               c.format) >= 0) {
      ZBufferD3DFormat = c.format;
      WriteErrorLogFormat("Ｚバッファのフォーマットは %s です", c.name);
      break;
    }
  }
  if (ZBufferD3DFormat == D3DFMT_UNKNOWN) return WriteErrorLog("使用できる Zバッファフォーマットが見つかりませんでした\n");

  if (ChooseTextureFormats() != 0) return -1;
  TestBackBufferReadBack();
  return 0;
}

int G_D3D_CreateZBuffer() {
  if (Direct3DDevice == nullptr) return -1;
  ReleaseD3DObject(D3DZBuffer);
  WriteErrorLog("Ｚバッファを作成します.... ");
  UINT width = 1, height = 1;
  while (width < static_cast<UINT>(ScreenWidth)) width *= 2;
  while (height < static_cast<UINT>(ScreenHeight)) height *= 2;
  if (Direct3DDevice->CreateDepthStencilSurface(width, height, ZBufferD3DFormat, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                &D3DZBuffer, nullptr) < 0) {
    D3DZBuffer = nullptr;
    return WriteErrorLog("Ｚバッファの作成に失敗しました\n");
  }
  Direct3DDevice->SetDepthStencilSurface(D3DZBuffer);
  Direct3DDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  WriteErrorLog("成功\n");
  return 0;
}

int G_D3D_CreateWorkBackBuffer() {
  if (Direct3DDevice == nullptr) return -1;
  ReleaseD3DObject(D3DWorkBackBuffer);
  if (Direct3DDevice->CreateRenderTarget(static_cast<UINT>(ScreenWidth), static_cast<UINT>(ScreenHeight),
                                         ScreenD3DFormat, D3DMULTISAMPLE_NONE, 0, FALSE, &D3DWorkBackBuffer,
                                         nullptr) < 0) {
    D3DWorkBackBuffer = nullptr;
    return WriteErrorLog("サブバックバッファの作成に失敗しました\n");
  }
  return 0;
}

// ---------------------------------------------------------------- colour formats

const ColorFormat* GetD3DColorFormat(D3DFORMAT format) {
  struct Entry {
    D3DFORMAT format;
    int32_t bits;
    uint32_t red, green, blue, alpha;
  };
  static const Entry kEntries[14] = {
      {D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
      {D3DFMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {D3DFMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
      {D3DFMT_R5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
      {D3DFMT_X1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},
      {D3DFMT_A1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
      {D3DFMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
      {D3DFMT_R3G3B2, 8, 0xE0, 0x1C, 0x3, 0},
      {D3DFMT_A8R3G3B2, 16, 0xE0, 0x1C, 0x3, 0xFF00},
      {D3DFMT_X4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0},
      {D3DFMT_A2B10G10R10, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
      {D3DFMT_A8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
      {D3DFMT_X8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0},
      {D3DFMT_A2R10G10B10, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
  };
  static ColorFormat formats[14];
  static bool built = false;
  if (!built) {
    for (int i = 0; i < 14; ++i) {
      const Entry& e = kEntries[i];
      SetColorFormatFromMasks(&formats[i], e.bits, e.red, e.green, e.blue, e.alpha);
    }
    built = true;
  }
  for (int i = 0; i < 14; ++i)
    if (kEntries[i].format == format) return &formats[i];
  return nullptr;
}
