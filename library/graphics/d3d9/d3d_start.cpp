#include "library/graphics/d3d9/d3d_start.h"

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/graphics/graphics_system.h"
#include "platform/win32/win32.h"

IDirectDraw7* DirectDrawObject = nullptr;
int64_t VSyncPeriodMicroseconds = -1;
int64_t LastVBlankTime = 0;
int32_t SoftwareOnlyFlag = 0;

namespace {

// The Direct3D device stand-in loads "d3d9.dll" and makes the Direct3D
// object, the device and the Z buffer here. Until it renders, no device can
// be made and the software renderer draws.
int G_D3D_CreateDeviceObjects() { return -1; }
// The Direct3D device stand-in releases its objects here.
void G_D3D_ReleaseDeviceObjects() {}

void ReleaseDirectDraw() {
  if (DirectDrawObject != nullptr) DirectDrawObject->Release();
  DirectDrawObject = nullptr;
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
  if (G_D3D_CreateDirectDraw() != 0) return -1;
  HardwareActive = 0;
  if (!SoftwareOnlyFlag && G_D3D_CreateDeviceObjects() == 0) HardwareActive = 1;
  if (!HardwareActive) {
    G_D3D_ReleaseDeviceObjects();
    if (!WindowedMode && ChangeScreenDisplayMode() != 0) {
      ReleaseDirectDraw();
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
  return 0;
}

int MeasureVSyncPeriod() {
  VSyncPeriodMicroseconds = -1;
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
        if (++stable == 10) {
          VSyncPeriodMicroseconds = sum / 10;
          break;
        }
      } else {
        stable = 0;
        sum = 0;
      }
      Sleep(5);
    }
  }
  WaitVerticalBlank();
  return 0;
}

void WaitVerticalBlank() {
  if (DirectDrawObject == nullptr) return;
  const int64_t threshold = VSyncPeriodMicroseconds >= 0 ? VSyncPeriodMicroseconds - 3000 : 4000;
  if (GetMicrosecondCount(0) - LastVBlankTime < threshold) {
    Sleep(0);
    while (GetMicrosecondCount(0) - LastVBlankTime < threshold) Sleep(1);
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    LastVBlankTime = GetMicrosecondCount(0);
  } else {
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    LastVBlankTime = GetMicrosecondCount(0);
    Sleep(0);
  }
}

int G_D3D_Terminate() {
  G_D3D_ReleaseDeviceObjects();
  if (!WindowedMode && !(HardwareActive && !HalfSizeScreenFlag)) ChangeDisplaySettingsA(nullptr, 0);
  ReleaseDirectDraw();
  ReleaseDisplayModeList();
  return 0;
}

void* GetDirectDrawObject() { return DirectDrawObject; }
