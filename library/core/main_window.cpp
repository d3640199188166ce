#include "library/core/main_window.h"

#include <cstring>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/random.h"
#include "library/core/system_report.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/input/input_devices.h"
#include "library/input/key_input.h"
#include "library/movie/movie_handle.h"
#include "library/net/network.h"
#include "platform/win32/win32.h"

HWND MainHwnd = nullptr;
int32_t WindowedMode = 1;
int32_t AppActive = 0;
int32_t QuitRequested = 0;
int32_t MainWindowClosed = 0;
int32_t MainWindowDestroyed = 0;
MainWindowSettings MainWindowConfig = {};
MainWindowState MainWindow = {};
MouseClickLogState MouseClickLog = {};
DroppedFileListState DroppedFileList = {};
HMODULE DwmLibrary = nullptr;
DwmEnableCompositionProc DwmEnableCompositionEntry = nullptr;

namespace {

constexpr char kDefaultClassName[] = "Z123987R";
constexpr char kDefaultWindowText[] = "ZrLib";
constexpr UINT kInputFlagMessage1 = 0x46F;
constexpr UINT kInputFlagMessage2 = 0x470;
constexpr UINT kSocketMessage = 0x505;
// The timer test pumps until one clock has changed 60 times or a second has
// passed; a clock that never moves (a virtual clock while nothing sleeps)
// ends it after this many passes instead.
constexpr int kTimerTestPasses = 10000;

void ShowCursorAgain() {
  while (ShowCursor(TRUE) < 0) {
  }
}

void HideCursorNow() {
  while (ShowCursor(FALSE) >= 0) {
  }
}

void StoreWindowRect(HWND window) { GetWindowRect(window, &MainWindow.windowRect); }

void LogMemory() {
  double total = 0, available = 0;
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  auto statusEx = reinterpret_cast<GlobalMemoryStatusExProc>(
      kernel != nullptr ? GetProcAddress(kernel, "GlobalMemoryStatusEx") : nullptr);
  if (OsVersionCode >= 0x106 && statusEx != nullptr) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (statusEx(&status)) {
      total = static_cast<double>(status.ullTotalPhys);
      available = static_cast<double>(status.ullAvailPhys);
    }
  }
  if (kernel != nullptr) FreeLibrary(kernel);
  if (total == 0) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    total = static_cast<double>(status.dwTotalPhys);
    available = static_cast<double>(status.dwAvailPhys);
  }
  WriteErrorLogFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", total / 1048576.0,
                      available / 1048576.0);
}

// Settles the time source: the clock that changes more often while pumping wins.
void ChooseTimer() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  PerformanceCounterFrequency = static_cast<uint64_t>(frequency.QuadPart);
  UsePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;
  TIMECAPS caps{};
  timeGetDevCaps(&caps, sizeof caps);
  MainWindow.timerPeriod = caps.wPeriodMin;
  timeBeginPeriod(caps.wPeriodMin);
  if (!UsePerformanceCounter) return;

  WriteErrorLog("タイマーの精度を検査します\n");
  DWORD start = timeGetTime();
  DWORD lastTime = start;
  LARGE_INTEGER lastCount;
  QueryPerformanceCounter(&lastCount);
  int timeChanges = 0, counterChanges = 0;
  for (int pass = 0; pass < kTimerTestPasses && timeChanges < 60 && counterChanges < 60; ++pass) {
    DWORD now = timeGetTime();
    if (now - start >= 1000) break;
    if (ProcessWindowMessages_Unlocked() != 0) break;
    if (now != lastTime) {
      ++timeChanges;
      lastTime = now;
    }
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    if (count.QuadPart != lastCount.QuadPart) {
      ++counterChanges;
      lastCount = count;
    }
  }
  WriteErrorLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d",
                      timeChanges, counterChanges);
  WriteErrorLog(" ");
  if (timeChanges > counterChanges) {
    WriteErrorLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ",
                        static_cast<int>(caps.wPeriodMin));
    UsePerformanceCounter = 0;
  } else {
    WriteErrorLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                        static_cast<double>(PerformanceCounterFrequency) / 1000.0);
  }
  WriteErrorLog(" ");
}

void ChooseCharacterSet() {
  if (LibraryCharSet != 0) return;
  switch (GetOEMCP()) {
    case 932:
      LibraryCharSet = CharSetShiftJis;
      LibraryCodePage = 932;
      break;
    case 936:
      LibraryCharSet = CharSetSimplified;
      LibraryCodePage = 936;
      break;
    case 949:
      LibraryCharSet = CharSetKorean;
      LibraryCodePage = 949;
      break;
    case 950:
      LibraryCharSet = CharSetBig5;
      LibraryCodePage = 950;
      break;
    default:
      LibraryCharSet = CharSetShiftJis;
      LibraryCodePage = 0;
      break;
  }
}

int FailCreation(const char* message) {
  WriteErrorLog(message);
  MainWindowClosed = 1;
  MainWindow.creating = 0;
  return -1;
}

void ClientSize(int* width, int* height) {
  int w, h;
  GetScreenSizeOrDefault(&w, &h);
  double sx, sy;
  GetWindowScale(&sx, &sy);
  *width = static_cast<int>(w * sx);
  *height = static_cast<int>(h * sy);
}

void StoreClientRect(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  MainWindow.clientRect[0] = origin.x;
  MainWindow.clientRect[1] = origin.y;
  MainWindow.clientRect[2] = origin.x + client.right;
  MainWindow.clientRect[3] = origin.y + client.bottom;
}

void OnActivate(WPARAM wParam, bool active) {
  if (active) {
    if (WindowedMode && HardwareActive && G_D3D_EndSceneAndPresent() != 0) RestoreGraphicsDevice();
    if (WindowedMode || LibraryInitialised) {
      if (!WindowedMode && HIWORD(wParam) == 0) RestoreGraphicsDevice();
      ResumeMoviesAfterActivate();
      ReacquireInputDevices();
    }
    NoteImeActivation();
  } else if (!WindowedMode) {
    if (OsVersionCode < 0x108 || !HardwareActive) {
      ChangeDisplaySettingsA(nullptr, 0);
      ShowWindow(MainHwnd, SW_MINIMIZE);
    }
    if (GetDirectDrawObject() != nullptr && MainWindow.compositionOff) SetDesktopComposition(1);
    if (HasGraphRestoreHook()) {
      PauseMoviesOnDeactivate();
    } else {
      WriteErrorLog("復元関数が登録されていないため終了します\n");
      if (!QuitRequested) {
        QuitRequested = 1;
        PostMessageA(MainHwnd, WM_CLOSE, 0, 0);
      }
    }
  } else {
    PauseMoviesOnDeactivate();
    ReacquireInputDevices();
  }
  ApplyJoypadVibration();
}

// Keeps the client area's aspect ratio at the screen's while an edge or a
// corner is dragged; the resulting factor becomes both window scales.
void KeepAspectWhileSizing(WPARAM edge, RECT* r) {
  int screenW, screenH;
  GetScreenSizeOrDefault(&screenW, &screenH);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_EXSTYLE)));
  int extraW = frame.right - frame.left, extraH = frame.bottom - frame.top;
  int clientW = r->right - r->left - extraW;
  int clientH = r->bottom - r->top - extraH;
  bool fromWidth;
  if (edge == WMSZ_LEFT || edge == WMSZ_RIGHT)
    fromWidth = true;
  else if (edge == WMSZ_TOP || edge == WMSZ_BOTTOM)
    fromWidth = false;
  else
    fromWidth = static_cast<double>(clientW) / screenW > static_cast<double>(clientH) / screenH;
  if (fromWidth) {
    clientH = clientW * screenH / screenW;
    r->bottom = r->top + clientH + extraH;
  } else {
    clientW = clientH * screenW / screenH;
    r->right = r->left + clientW + extraW;
  }
  double factor = static_cast<double>(clientW) / screenW;
  MainWindowConfig.scaleX = factor;
  MainWindowConfig.scaleY = factor;
}

void StoreDroppedFiles(HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
  for (UINT i = 0; i < count && DroppedFileList.count < 1000; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    char* name = static_cast<char*>(TrackedAlloc(length + 1));
    if (name == nullptr) break;
    DragQueryFileA(drop, i, name, length + 1);
    DroppedFileList.names[DroppedFileList.count++] = name;
  }
  DragFinish(drop);
}

void OnDisplayChange(WPARAM bits, LPARAM size) {
  if (!WindowedMode || MainWindow.modeChangeRunning) {
    MainWindow.displayChanged = 1;
    return;
  }
  int screenW, screenH;
  GetScreenSizeOrDefault(&screenW, &screenH);
  int shownBits = GetScreenColorBits();
  int newW = LOWORD(static_cast<uintptr_t>(size)), newH = HIWORD(static_cast<uintptr_t>(size));
  int newBits = static_cast<int>(bits);
  bool same = newBits == shownBits && newW == screenW && newH == screenH;
  bool unbearable = newBits == 24 || (newBits == 8 && shownBits != 8) || newW < screenW ||
                    newH < screenH || !HasGraphRestoreHook();
  if (same || !unbearable) {
    if (!same) ResumeMoviesAfterActivate();
    MainWindow.displayChanged = 1;
    return;
  }
  WriteErrorLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
  WriteErrorLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
  if (!QuitRequested) {
    QuitRequested = 1;
    PostMessageA(MainHwnd, WM_CLOSE, 0, 0);
  }
}

}  // namespace

// ---------------------------------------------------------------- creation and destruction

int CreateMainWindow() {
  MainWindow = MainWindowState{};
  MouseClickLog = MouseClickLogState{};
  AppActive = 0;
  QuitRequested = 0;
  MainWindowClosed = 0;
  MainWindowDestroyed = 0;

  HMODULE user = LoadLibraryA("user32");
  if (user != nullptr) {
    MainWindow.updateLayeredWindow = GetProcAddress(user, "UpdateLayeredWindow");
    FreeLibrary(user);
  }
  if (MainWindowConfig.className[0] == '\0')
    StrCopy(MainWindowConfig.className,
            MainWindowConfig.windowText[0] != '\0' ? MainWindowConfig.windowText : kDefaultClassName);
  MainWindow.instance = GetModuleHandleA(nullptr);
  MainWindow.mainThreadId = GetCurrentThreadId();

  LogMemory();

  MainWindow.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
  MainWindow.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  MainWindow.desktopBits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);

  ChooseTimer();
  SeedRandom(timeGetTime() & 0x7FFFFFFFu);
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, SPIF_SENDWININICHANGE);
  ChooseCharacterSet();

  WriteErrorLog("ソフトの二重起動検査... ");
  if (FindWindowA(MainWindowConfig.className, nullptr) != nullptr) {
    WriteErrorLog("二重起動されています、ソフトを終了します\n");
    MainWindowClosed = 1;
    return -1;
  }
  WriteErrorLog("二重起動はされていませんでした\n");

  MainWindow.creating = 1;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = MainWindow.instance;
  wc.hIcon = MainWindowConfig.iconId != 0
                 ? LoadIconA(MainWindow.instance, MAKEINTRESOURCEA(MainWindowConfig.iconId))
                 : LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_APPLICATION));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  wc.lpszClassName = MainWindowConfig.className;
  WriteErrorLog("ウインドウクラスを登録します... ");
  if (RegisterClassExA(&wc) == 0) return FailCreation("ウインドウクラスの登録に失敗しました\n");
  WriteErrorLog("登録に成功しました\n");

  if (MainWindowConfig.windowText[0] == '\0') StrCopy(MainWindowConfig.windowText, kDefaultWindowText);

  if (WindowedMode) {
    WriteErrorLog("ウインドウモード起動用のウインドウを作成します\n");
    MainWindow.cursorSetting = 1;
    int clientW, clientH;
    ClientSize(&clientW, &clientH);
    RECT r{0, 0, clientW, clientH};
    AdjustWindowRectEx(&r, kWindowModeStyle, FALSE, kWindowModeExStyle);
    MainWindow.captionOffset = -r.top;
    int offsetX = (MainWindow.desktopWidth - (r.right - r.left)) / 2;
    int offsetY = (MainWindow.desktopHeight - (r.bottom - r.top)) / 2;
    MainHwnd = CreateWindowExA(kWindowModeExStyle, MainWindowConfig.className, MainWindowConfig.windowText,
                               kWindowModeStyle, r.left + offsetX, r.top + offsetY, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, MainWindow.instance, nullptr);
  } else {
    WriteErrorLog("フルスクリーンモード用のウインドウを作成します\n");
    MainWindow.cursorSetting = 0;
    int w, h;
    GetScreenSizeOrDefault(&w, &h);
    MainHwnd = CreateWindowExA(kFullScreenExStyle, MainWindowConfig.className, MainWindowConfig.windowText,
                               kFullScreenStyle, 0, 0, w, h, nullptr, nullptr, MainWindow.instance, nullptr);
  }
  if (MainHwnd == nullptr) {
    UnregisterClassA(MainWindowConfig.className, MainWindow.instance);
    return FailCreation("ウインドウの作成に失敗しました\n");
  }
  WriteErrorLog("ウインドウの作成に成功しました\n");
  ShowWindow(MainHwnd, SW_SHOW);
  UpdateWindow(MainHwnd);

  QuitRequested = 0;
  MainWindowDestroyed = 0;
  AppActive = 1;
  if (!WindowedMode) {
    WriteErrorLog("カーソルを不可視にしました\n");
    SetCursor(nullptr);
  }
  WriteErrorLog("ＩＭＥを無効にしました\n");
  if (!IsImeEnabled()) WINNLSEnableIME(MainHwnd, FALSE);

  if (WindowedMode) StoreClientRect(MainHwnd);
  SetMouseDispFlag(MainWindow.cursorSetting);
  LibraryEnding = 0;
  BringWindowToTop(MainHwnd);
  SetWindowSizeToScreen();
  MainWindow.creating = 0;
  return 0;
}

int DestroyMainWindow() {
  if (MainHwnd == nullptr) return 0;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, SPIF_SENDWININICHANGE);
  WINNLSEnableIME(MainHwnd, TRUE);
  if (!MainWindow.cursorShown) {
    ShowCursorAgain();
    MainWindow.cursorShown = 1;
    PostMessageA(MainHwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainHwnd),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }

  if (!QuitRequested) {
    QuitRequested = 1;
    PostMessageA(MainHwnd, WM_CLOSE, 0, 0);
  }
  // Only the window's own thread can take the window down; from any other
  // thread the wait would never end.
  if (GetCurrentThreadId() == MainWindow.mainThreadId) {
    while (!MainWindowDestroyed && IsWindow(MainHwnd) && ProcessWindowMessages_Unlocked() == 0) {
    }
  }
  UnregisterClassA(MainWindowConfig.className, MainWindow.instance);

  DeleteAllKeyInputHandles();
  for (int32_t i = 0; i < DroppedFileList.count; ++i) {
    TrackedFree(DroppedFileList.names[i]);
    DroppedFileList.names[i] = nullptr;
  }
  DroppedFileList.count = 0;

  timeEndPeriod(MainWindow.timerPeriod);
  MainHwnd = nullptr;
  return 0;
}

// ---------------------------------------------------------------- the window procedure

int CharCodeOfKey(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_DELETE:
      return 0x10;
    case VK_LEFT:
      return 0x1D;
    case VK_RIGHT:
      return 0x1C;
    case VK_UP:
      return 0x1E;
    case VK_DOWN:
      return 0x1F;
    case VK_HOME:
      return 0x1A;
    case VK_END:
      return 0x19;
    case VK_PRIOR:
      return 0x17;
    case VK_NEXT:
      return 0x15;
    default:
      return -1;
  }
}

int CharCodeOfChar(WPARAM character) {
  int c = static_cast<int>(character & 0xFF);
  if (c == 10) return 13;
  if (c >= 32) return c;
  switch (c) {
    case 1:
    case 3:
    case 8:
    case 9:
    case 13:
    case 16:
    case 22:
    case 24:
    case 27:
      return c;
    default:
      return -1;
  }
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      StoreWindowRect(window);
      if (wParam != SIZE_MAXIMIZED) SetWindowSizeToScreen();
      break;
    case WM_MOVE:
      StoreWindowRect(window);
      if (WindowedMode && !MainWindow.modeChangeRunning) OnMainWindowMoved(lParam);
      break;
    case WM_SIZING:
      StoreWindowRect(window);
      if (WindowedMode && lParam != 0) KeepAspectWhileSizing(wParam, reinterpret_cast<RECT*>(lParam));
      break;
    case WM_MOVING:
      StoreWindowRect(window);
      if (!WindowedMode && lParam != 0) *reinterpret_cast<RECT*>(lParam) = MainWindow.windowRect;
      break;
    case WM_ACTIVATE:
      AppActive = LOWORD(wParam) != 0 ? 1 : 0;
      if (!MainWindow.creating) OnActivate(wParam, AppActive != 0);
      break;
    case WM_ACTIVATEAPP:
      if (wParam == 0) {
        AppActive = 0;
        if (!MainWindow.creating) OnActivate(0, false);
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (WindowedMode) {
        MainWindow.painting = 1;
        if (!LibraryInitialised) {
          FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        } else if (GetDrawTarget() == -2) {
          int rect[4] = {ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom};
          PresentScreenRect(rect);
        }
        MainWindow.painting = 0;
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_CLOSE:
      WriteErrorLog("ウインドウを閉じようとしています\n");
      DestroyWindow(window);
      if (LibraryEnding == 0) LibraryEnding = 4;
      return 0;
    case WM_DESTROY:
      WriteErrorLog("ウインドウが破棄されようとしています\n");
      MainWindowDestroyed = 1;
      PostQuitMessage(0);
      MainWindowClosed = 1;
      WriteErrorLog("ソフトを終了する準備が整いました\n");
      break;
    case WM_DISPLAYCHANGE:
      OnDisplayChange(wParam, lParam);
      break;
    case WM_NCHITTEST:
      if (!WindowedMode && HardwareActive && static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))) < 8)
        return HTMENU;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (MouseClickLog.count < 32) {
        MouseClickRecord& click = MouseClickLog.entries[MouseClickLog.count++];
        click.button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 4;
        GetMousePoint(&click.x, &click.y);
      }
      [[fallthrough]];
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (MainWindow.cursorSetting == 0) {
        SetCursor(nullptr);
        HideCursorNow();
      }
      break;
    case WM_MOUSEWHEEL:
      MainWindow.wheelCount += static_cast<int16_t>(HIWORD(wParam)) > 0 ? 1 : -1;
      break;
    case WM_KEYDOWN: {
      int code = CharCodeOfKey(wParam);
      if (code >= 0) PutCharCode(code);
      break;
    }
    case WM_CHAR: {
      int code = CharCodeOfChar(wParam);
      if (code >= 0) PutCharCode(code);
      break;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 1;
      break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
      return HandleImeMessage(wParam, message, lParam, window);
    case WM_DROPFILES:
      StoreDroppedFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kInputFlagMessage1:
      InputF10Flag = wParam == 1 ? 1 : 0;
      return 0;
    case kInputFlagMessage2:
      InputSecondFlag = wParam == 1 ? 1 : 0;
      return 0;
    case kSocketMessage:
      return HandleSocketEvent(lParam, wParam);
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- settings and operations

int SetMainWindowTitle(const char* text) {
  StrCopy(MainWindowConfig.windowText, text != nullptr ? text : "");
  if (MainHwnd != nullptr) SetWindowTextA(MainHwnd, MainWindowConfig.windowText);
  return 0;
}

int SetMainWindowIcon(int32_t iconId) {
  MainWindowConfig.iconId = iconId;
  if (MainHwnd != nullptr) {
    HICON icon = iconId != 0 ? LoadIconA(MainWindow.instance, MAKEINTRESOURCEA(iconId))
                             : LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_APPLICATION));
    SetClassLongPtrA(MainHwnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
  }
  return 0;
}

int ForceForegroundWindow(HWND window, int32_t topmost) {
  HWND foreground = GetForegroundWindow();
  DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
  DWORD self = GetCurrentThreadId();
  AttachThreadInput(self, foregroundThread, TRUE);
  DWORD timeout = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
  SetForegroundWindow(window);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                        reinterpret_cast<void*>(static_cast<uintptr_t>(timeout)), 0);
  AttachThreadInput(self, foregroundThread, FALSE);
  if (topmost == 1) SetWindowPos(MainHwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return 0;
}

int SetWindowSizeToScreen() {
  if (MainHwnd == nullptr) return 0;
  if (WindowedMode && !MainWindow.windowShown) {
    MainWindow.windowShown = 1;
    UpdateWindowStyle();
  }
  int clientW, clientH;
  ClientSize(&clientW, &clientH);
  RECT r{0, 0, clientW, clientH};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_EXSTYLE)));
  SetWindowPos(MainHwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

int OnMainWindowMoved(LPARAM position) {
  int x = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(position)));
  int y = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(position)));
  RECT client{};
  GetClientRect(MainHwnd, &client);
  MainWindow.clientRect[0] = x;
  MainWindow.clientRect[1] = y;
  MainWindow.clientRect[2] = x + client.right;
  MainWindow.clientRect[3] = y + client.bottom;
  if (GetDrawTarget() == -4) {
    int32_t mask = MaskScreenEnabled;
    EnableMaskScreen(0);
    EnableMaskScreen(mask);
    int area[4];
    GetDrawClipArea(area);
    SetDrawClipArea(area[0], area[1], area[2], area[3]);
  }
  return 0;
}

int SetMouseDispFlag(int32_t flag) {
  if (flag != -1) MainWindow.cursorSetting = flag;
  int32_t want = MainWindow.cursorSetting != 0 ? 1 : 0;
  if (flag != -1 && want == MainWindow.cursorShown) return 0;
  if (want)
    ShowCursorAgain();
  else
    HideCursorNow();
  MainWindow.cursorShown = want;
  if (MainHwnd != nullptr)
    PostMessageA(MainHwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainHwnd),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return 0;
}

int GetMousePoint(int* x, int* y) {
  POINT p{};
  GetCursorPos(&p);
  if (WindowedMode) {
    double sx, sy;
    GetWindowScale(&sx, &sy);
    p.x = static_cast<LONG>((p.x - MainWindow.clientRect[0]) / sx);
    p.y = static_cast<LONG>((p.y - MainWindow.clientRect[1]) / sy);
  }
  if (x != nullptr) *x = p.x;
  if (y != nullptr) *y = p.y;
  return 0;
}

int GetWindowClientArea(int out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = MainWindow.clientRect[i];
  return 0;
}

int GetClipboardText(char* buffer, size_t bufferSize) {
  if (!OpenClipboard(MainHwnd)) return -1;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data == nullptr) {
    CloseClipboard();
    return -1;
  }
  const char* text = static_cast<const char*>(GlobalLock(data));
  int result = 0;
  if (buffer != nullptr)
    StrCopy(buffer, bufferSize, text);
  else
    result = static_cast<int>(strlen(text)) + 1;
  GlobalUnlock(data);
  CloseClipboard();
  return result;
}

int SetClipboardText(const char* text) {
  if (text == nullptr || !OpenClipboard(MainHwnd)) return 0;
  EmptyClipboard();
  size_t length = strlen(text);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  memcpy(GlobalLock(memory), text, length + 1);
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();
  return 0;
}

// ---------------------------------------------------------------- getters

int IsMainWindowClosed() { return MainWindowClosed; }
int IsAppActive() { return AppActive; }
HWND GetMainHwnd() { return MainHwnd; }
int IsWindowedMode() { return WindowedMode; }
int IsRunInBackground() { return 0; }
int GetQuitRequestedFlag() { return QuitRequested; }

double GetWindowScale(double* x, double* y) {
  double sx = MainWindowConfig.scaleX, sy = MainWindowConfig.scaleY;
  if (!WindowedMode || sx <= 0 || sy <= 0) sx = sy = 1.0;
  if (x != nullptr) *x = sx;
  if (y != nullptr) *y = sy;
  return sx;
}

int GetDesktopModeInfo(int* width, int* height, int* colorBits) {
  int w = MainWindow.desktopWidth, h = MainWindow.desktopHeight, bits = MainWindow.desktopBits;
  if (!LibraryInitialised) {
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
  }
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  if (colorBits != nullptr) *colorBits = bits;
  return 0;
}

int SetDesktopComposition(int flag) {
  int32_t off = flag ? 0 : 1;
  if (DwmEnableCompositionEntry == nullptr || off == MainWindow.compositionOff) return 0;
  DwmEnableCompositionEntry(static_cast<UINT>(flag));
  MainWindow.compositionOff = off;
  return 0;
}
