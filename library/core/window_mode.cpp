#include "library/core/window_mode.h"

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "platform/win32/win32.h"

namespace {

// The wait for the display change after a mode switch ends after this long
// even when no display change arrives. It sleeps while it waits, so a
// virtual clock moves on too.
constexpr DWORD kDisplayChangeWaitMs = 1000;

// True when a full-screen mode of the screen's size exists; a 320 x 240
// screen falls back to 640 x 480 shown doubled unless drawing is software only.
bool FullScreenModeAvailable() {
  int width, height;
  GetScreenSizeOrDefault(&width, &height);
  int count = GetDisplayModeCount();
  for (int i = 0; i < count; ++i) {
    int mode[4];
    GetDisplayModeEntry(mode, i);
    if (mode[0] == width && mode[1] == height) return true;
  }
  if (width == 320 && height == 240 && GetUseHardwareFlag()) {
    HalfSizeScreenFlag = 1;
    ScreenWidth = 640;
    ScreenHeight = 480;
    return true;
  }
  return false;
}

}  // namespace

int ApplyWindowModeFlag(int32_t flag) {
  WindowedMode = flag;
  WriteErrorLog(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
  return 0;
}

int ChangeWindowMode(int32_t flag) {
  WriteErrorLog("ChangeWindowMode実行 \n");
  if (flag == WindowedMode) return 0;
  if (!flag && MainHwnd != nullptr && !FullScreenModeAvailable()) return -1;
  MainWindow.windowShown = 1;
  MainWindow.displayChanged = 0;
  ApplyWindowModeFlag(flag);
  if (MainHwnd == nullptr) return 0;

  MainWindow.modeChangeRunning = 1;
  UpdateWindowStyle();
  int width, height;
  GetScreenSizeOrDefault(&width, &height);
  int result = ApplyScreenModeChange(width, height, GetScreenColorBits(), 1, -1);
  if (result == 0) {
    DWORD start = timeGetTime();
    while (ProcessWindowMessages_Unlocked() == 0 && !MainWindow.displayChanged &&
           timeGetTime() - start < kDisplayChangeWaitMs)
      Sleep(1);
  }
  MainWindow.modeChangeRunning = 0;
  return result;
}

void UpdateWindowStyle() {
  if (MainHwnd == nullptr) return;
  int width, height;
  GetScreenSizeOrDefault(&width, &height);
  if (WindowedMode) {
    WriteErrorLog("ウインドウスタイルをウインドウモード用に変更します... ");
    DWORD style = kWindowModeStyle | (MainWindow.windowShown ? WS_VISIBLE : 0);
    SetWindowLongA(MainHwnd, GWL_EXSTYLE, static_cast<LONG>(kWindowModeExStyle));
    SetWindowLongA(MainHwnd, GWL_STYLE, static_cast<LONG>(style));
    double sx, sy;
    GetWindowScale(&sx, &sy);
    RECT r{0, 0, static_cast<LONG>(width * sx), static_cast<LONG>(height * sy)};
    AdjustWindowRectEx(&r, style, FALSE, kWindowModeExStyle);
    LONG offsetX = (MainWindow.desktopWidth - (r.right - r.left)) / 2;
    LONG offsetY = (MainWindow.desktopHeight - (r.bottom - r.top)) / 2;
    r = RECT{r.left + offsetX, r.top + offsetY, r.right + offsetX, r.bottom + offsetY};
    SetWindowPos(MainHwnd, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
    POINT origin{0, 0};
    ClientToScreen(MainHwnd, &origin);
    if (origin.x < 0 || origin.y < 0) {
      LONG dx = origin.x < 0 ? -origin.x : 0, dy = origin.y < 0 ? -origin.y : 0;
      SetWindowPos(MainHwnd, HWND_NOTOPMOST, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, 0);
    }
    SetMouseDispFlag(1);
  } else {
    WriteErrorLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    SetWindowLongA(MainHwnd, GWL_EXSTYLE, static_cast<LONG>(kFullScreenExStyle));
    SetWindowLongA(MainHwnd, GWL_STYLE, static_cast<LONG>(kFullScreenStyle));
    MainWindow.clientRect[0] = 0;
    MainWindow.clientRect[1] = 0;
    MainWindow.clientRect[2] = width;
    MainWindow.clientRect[3] = height;
    ShowWindow(MainHwnd, SW_SHOW);
    UpdateWindow(MainHwnd);
    SetWindowPos(MainHwnd, HWND_TOPMOST, 0, 0, width, height, SWP_NOREDRAW);
    SetMouseDispFlag(0);
  }
  WriteErrorLog("完了\n");
  SetActiveWindow(MainHwnd);
  PostMessageA(MainHwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainHwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}
