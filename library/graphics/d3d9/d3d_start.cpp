#include "library/graphics/d3d9/d3d_start.h"

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/system_report.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/graphics/d3d9/d3d_buffers.h"
#include "library/graphics/d3d9/d3d_shaders.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/texture_tables.h"
#include "platform/win32/win32.h"

IDirectDraw7* DirectDrawObject = nullptr;
HMODULE D3DModule = nullptr;
IDirect3D9* Direct3DObject = nullptr;
IDirect3D9Ex* Direct3DObjectEx = nullptr;
IDirect3DDevice9* Direct3DDevice = nullptr;
IDirect3DDevice9Ex* Direct3DDeviceEx = nullptr;
IDirect3DSwapChain9* D3DSwapChain = nullptr;
IDirect3DSurface9* D3DBackBuffer = nullptr;
IDirect3DSurface9* D3DWorkBackBuffer = nullptr;
IDirect3DSurface9* D3DZBuffer = nullptr;
int32_t EmulatedFullScreen = 0;
int64_t VSyncPeriodMicroseconds = -1;
int64_t LastVBlankTime = 0;
int32_t SoftwareOnlyFlag = 0;

namespace {

void ReleaseDirectDraw() { ReleaseD3DObject(DirectDrawObject); }

// Everything the device made for the library, the device and the Direct3D
// object, newest first.
void ReleaseDeviceObjects() {
  ReleaseD3DObject(D3DZBuffer);
  ReleaseD3DObject(D3DWorkBackBuffer);
  ReleaseD3DObject(D3DBackBuffer);
  ReleaseD3DObject(D3DSwapChain);
  G_D3D_ReleaseMaxBrightnessTexture();
  Direct3DDeviceEx = nullptr;
  ReleaseD3DObject(Direct3DDevice);
  Direct3DObjectEx = nullptr;
  ReleaseD3DObject(Direct3DObject);
}

}  // namespace

int G_D3D_CreateDirectDraw() {
  ReleaseDirectDraw();
  WriteErrorLog("DirectDraw オブジェクトの取得を行います.... ");
  void* object = nullptr;
  if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, &object) < 0 ||
      object == nullptr) {
    return WriteErrorLog("オブジェクトの取得に失敗しました\n");
  }
  DirectDrawObject = static_cast<IDirectDraw7*>(object);
  WriteErrorLog("成功\n");
  WriteErrorLog("引き続き初期化処理... ");
  if (DirectDrawObject->Initialize(nullptr) < 0) {
    ReleaseDirectDraw();
    return WriteErrorLog("DirectDrawオブジェクトの初期化に失敗しました\n");
  }
  WriteErrorLog("初期化に成功しました\n");
  DirectDrawObject->SetCooperativeLevel(GetMainHwnd(), DDSCL_NORMAL);
  return 0;
}

int G_D3D_Initialize() {
  D3DModule = LoadLibraryA("d3d9.dll");
  if (D3DModule == nullptr) return WriteErrorLog("d3d9.dll の読み込みに失敗しました\n");
  if (G_D3D_CreateDirectDraw() != 0) {
    FreeLibrary(D3DModule);
    D3DModule = nullptr;
    return -1;
  }
  HardwareActive = 0;
  EmulatedFullScreen = 0;
  // A windowed device takes the desktop's depth; without a device the
  // screen keeps the depth asked for.
  const int32_t requestedBits = ScreenColorBits;
  if (!SoftwareOnlyFlag) {
    bool attempt = true;
    if (!WindowedMode && OsVersionCode >= 0x108 && (HalfSizeDisplayFlag || HalfSizeScreenFlag)) {
      EmulatedFullScreen = 1;
      attempt = ChangeScreenDisplayMode() == 0;
    }
    if (attempt && G_D3D_CreateDirect3D() == 0 && G_D3D_CreateDevice() == 0 && G_D3D_CreateZBuffer() == 0) {
      HardwareActive = 1;
      // A full-screen device: how the display shows it.
      if (const char* note = !WindowedMode ? PlatformDisplayModeNote() : nullptr) WriteErrorLogFormat("%s\n", note);
      G_D3D_SetupShaders();
      if (ShadersInUse) {
        G_D3D_CreateVertexDeclarations();
        G_D3D_CreateMaxBrightnessTexture();
      }
    }
    // A device that could not be made completely leaves nothing behind:
    // its swap chain and back buffer go with the Z buffer and the device.
    if (!HardwareActive) {
      ReleaseDeviceObjects();
      ScreenColorBits = requestedBits;
    }
  }
  if (!HardwareActive) {
    if (!WindowedMode && ChangeScreenDisplayMode() != 0) {
      ReleaseDirectDraw();
      FreeLibrary(D3DModule);
      D3DModule = nullptr;
      return -1;
    }
    MeasureVSyncPeriod();
  }
  return 0;
}

int ChangeScreenDisplayMode() {
  int32_t desktopW = 0, desktopH = 0, desktopBits = 0;
  GetDesktopModeInfo(&desktopW, &desktopH, &desktopBits);
  WriteErrorLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", static_cast<unsigned>(desktopW),
                      static_cast<unsigned>(desktopH), static_cast<unsigned>(desktopBits));
  PushLogIndent();
  if (ScreenColorBits != 16 && ScreenColorBits != 32) return -1;
  WriteErrorLog("画面解像度を変更します... ");
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  auto fill = [&]() {
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    mode.dmPelsWidth = static_cast<DWORD>(ScreenWidth);
    mode.dmPelsHeight = static_cast<DWORD>(ScreenHeight);
    mode.dmBitsPerPel = static_cast<DWORD>(ScreenColorBits);
    if (ScreenRefreshRate != 0) {
      mode.dmFields |= DM_DISPLAYFREQUENCY;
      mode.dmDisplayFrequency = static_cast<DWORD>(ScreenRefreshRate);
    }
  };
  fill();
  bool changed = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
  if (!changed) {
    ScreenRefreshRate = 0;
    fill();
    changed = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
  }
  if (!changed && ScreenWidth == 320 && ScreenHeight == 240) {
    ScreenWidth = 640;
    ScreenHeight = 480;
    HalfSizeScreenFlag = 1;
    fill();
    changed = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
    if (changed) UpdateWindowStyle();
  }
  if (!changed) {
    WriteErrorLog("画面モードの変更に失敗しました\n");
    PopLogIndent();
    return -1;
  }
  WriteErrorLog("成功しました\n");
  // How the display shows the mode: its own, or the screen scaled to the desktop.
  if (const char* note = PlatformDisplayModeNote()) WriteErrorLogFormat("%s\n", note);
  return 0;
}

// The display's period is the mean of this many consecutive intervals
// between vertical blanks that each differ from the one before by less than
// a millisecond. The period only places the wait before a present's blank 3
// ms early, so one interval that agrees with the one before it settles it
// closely enough (jitter of a wake-up is a tenth of a millisecond), in half
// the wait that two would take and a sixth of what ten would.
constexpr int32_t kStableIntervals = 1;

int MeasureVSyncPeriod() {
  VSyncPeriodMicroseconds = -1;
  bool measured = false;
  if (DirectDrawObject != nullptr) {
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    int64_t previousTime = GetMicrosecondCount(0), previousInterval = 0, sum = 0;
    int32_t stable = 0;
    for (int32_t i = 0; i < 60; ++i) {
      DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
      const int64_t now = GetMicrosecondCount(0);
      const int64_t interval = now - previousTime;
      previousTime = now;
      const int64_t difference = interval - previousInterval;
      previousInterval = interval;
      if (difference > -1000 && difference < 1000) {
        sum += interval;
        if (++stable == kStableIntervals) {
          VSyncPeriodMicroseconds = sum / kStableIntervals;
          // The measurement ended on a blank that has just begun: it is the
          // last blank waited for, as a further wait would make the next one.
          LastVBlankTime = now;
          measured = true;
          break;
        }
      } else {
        stable = 0;
        sum = 0;
      }
      Sleep(5);
    }
  }
  if (!measured) WaitVerticalBlank();
  return 0;
}

void WaitVerticalBlank() {
  if (DirectDrawObject == nullptr) return;
  const int64_t threshold = VSyncPeriodMicroseconds >= 0 ? VSyncPeriodMicroseconds - 3000 : 4000;
  if (GetMicrosecondCount(0) - LastVBlankTime < threshold) {
    Sleep(0);
    // All but the last millisecond of the wait in one sleep (a wake-up a
    // millisecond, sixty frames a second, was a tenth of the program's time
    // on an idle title), then by milliseconds up to the threshold.
    const int64_t left = threshold - (GetMicrosecondCount(0) - LastVBlankTime);
    if (left >= 2000) Sleep(static_cast<DWORD>(left / 1000 - 1));
    while (GetMicrosecondCount(0) - LastVBlankTime < threshold) Sleep(1);
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    LastVBlankTime = GetMicrosecondCount(0);
  } else {
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    LastVBlankTime = GetMicrosecondCount(0);
    Sleep(0);
  }
}

int G_D3D_ReleaseResourceObjects() {
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    GraphRecord* graph = GraphHandleTable.records[slot];
    if (graph != nullptr && graph->surface != nullptr && graph->surface->request.hardware)
      ReleaseSurfaceTextures(graph->surface);
  }
  ReleaseBufferObjects();
  ReleaseShaderRecordObjects();
  return 0;
}

int G_D3D_Terminate() {
  ReleaseTextureTableDeviceObjects();
  G_D3D_ReleaseVertexDeclarations();
  G_D3D_ReleaseShaders();
  if (!WindowedMode && !(HardwareActive && !EmulatedFullScreen)) ChangeDisplaySettingsA(nullptr, 0);
  ReleaseDeviceObjects();
  ReleaseDirectDraw();
  if (D3DModule != nullptr) FreeLibrary(D3DModule);
  D3DModule = nullptr;
  ReleaseDisplayModeList();
  return 0;
}

void* GetDirectDrawObject() { return DirectDrawObject; }
