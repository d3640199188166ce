#include "library/core/startup.h"

#include <cstdarg>
#include <cstdlib>

#include "library/core/library_state.h"
#include "library/core/lock.h"
#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/system_report.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/file/archive_files.h"
#include "library/file/file_table.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_image_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/texture_tables.h"
#include "library/input/input_devices.h"
#include "library/input/key_input.h"
#include "library/movie/movie_handle.h"
#include "library/movie/yuv_tables.h"
#include "library/net/network.h"
#include "library/sound/sound_handle.h"
#include "library/text/font_handle.h"
#include "platform/com/com.h"
#include "platform/win32/win32.h"

namespace {

// Full screen needs a display mode of the screen's size; without one the
// library starts in a window (320 x 240 runs as 640 x 480 shown doubled).
void CheckFullScreenMode() {
  int width, height;
  GetScreenSizeOrDefault(&width, &height);
  bool found = false;
  int count = GetDisplayModeCount();
  for (int i = 0; i < count && !found; ++i) {
    int mode[4];
    GetDisplayModeEntry(mode, i);
    found = mode[0] == width && mode[1] == height;
  }
  if (!found && !(width == 320 && height == 240 && GetUseHardwareFlag())) ChangeWindowMode(1);
  GetScreenSizeOrDefault(&width, &height);
  if (width == 320 && height == 240 && !WindowedMode) {
    HalfSizeScreenFlag = 1;
    ScreenWidth = 640;
    ScreenHeight = 480;
  }
}

bool DesktopRefused() {
  HDC screen = GetDC(nullptr);
  int desktopBits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return (desktopBits == 24 && WindowedMode) || GetScreenColorBits() == 24;
}

void StartCom() {
  if (ComInitialised) return;
  WriteErrorLog("ＣＯＭの初期化... ");
  if (CoInitialize(nullptr) >= 0) {
    WriteErrorLog("成功しました\n");
    ComInitialised = 1;
  } else {
    WriteErrorLog("ＣＯＭの初期化に失敗しました\n");
  }
}

// The shut-down steps. A start-up that fails part-way runs them as well, so
// whatever it had started (the window among it) is released again; each step
// leaves alone a module that never started.
int ShutDown() {
  LibraryEnding = 1;
  if (OnScreenLog.prepared) {
    if (!OnScreenLog.fontLost && OnScreenLog.fontHandle != -1) DeleteFontHandle(OnScreenLog.fontHandle);
    OnScreenLog.fontHandle = -1;
    OnScreenLog.prepared = 0;
  }
  EndNetWorkSystem();
  ReleaseGraphicsTables();
  EndGraphicsSystem();
  // Movies without a graph: their threads, graphs and temporary files.
  CloseAllMovieHandles();
  EndInputSystem();
  EndSoundSystem();
  DestroyMainWindow();
  if (ComInitialised) {
    CoUninitialize();
    WriteErrorLog("ＣＯＭを終了... 完了\n");
    ComInitialised = 0;
  }
  FreeAllGraphImageHandles();
  LibraryInitialised = 0;
  // Once the window is gone there is nothing left to pump, so this ends.
  while (ProcessWindowMessages_Unlocked() == 0 && !MainWindowClosed && !MainWindowDestroyed &&
         MainHwnd != nullptr) {
  }
  ActiveFileFunctions.SetCurrentDir(SavedCurrentDirectory);
  CleanupArchives();
  DumpTrackedHeap();
  if (DwmLibrary != nullptr) {
    FreeLibrary(DwmLibrary);
    DwmLibrary = nullptr;
    DwmEnableCompositionEntry = nullptr;
  }
  return 0;
}

// While the first window waits on the display (the renderer check), the
// pixel span's first pages are made: the pictures a game loads as it starts
// take tens of megabytes of them (this game's title holds some 77 MB), and
// made there, they cost the loading no page faults. On the OpenGL path,
// whose pictures live in textures, what no picture took goes back.
constexpr size_t kStartPixelBytes = 64 << 20;

void MakeStartPixels(const std::atomic<bool>& stop) { PrefaultPixelSpan(kStartPixelBytes, stop); }

int FailStartUp() {
  ShutDown();
  LibraryStarting = 0;
  return -1;
}

}  // namespace

int InitLibrary_Unlocked() {
  if (LibraryInitialised) return 0;
  LibraryStarting = 1;
  PlatformKeepFreedHeapMemory();
  if (!WindowedMode) CheckFullScreenMode();
  BuildYuvToRgbTables();
  CleanupArchives();
  SetFileFunctionTable(nullptr);
  ActiveFileFunctions.GetCurrentDir(SavedCurrentDirectory);
  StartLogFile();

  if (DesktopRefused()) {
    WriteErrorLog("ＺＲライブラリは２４ビットカラーモードに対応していません\n");
    LibraryStarting = 0;
    return -1;
  }

  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  PerformanceCounterFrequency = static_cast<uint64_t>(frequency.QuadPart);
  UsePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;

  LogSystemReport();
  if (DwmLibrary == nullptr) {
    DwmLibrary = LoadLibraryA("dwmapi.dll");
    if (DwmLibrary != nullptr)
      DwmEnableCompositionEntry =
          reinterpret_cast<DwmEnableCompositionProc>(GetProcAddress(DwmLibrary, "DwmEnableComposition"));
  }
  SetGraphRestoreHook(nullptr);
  StartCom();

  PlatformSetDisplayWaitWork(MakeStartPixels);
  const int windowMade = CreateMainWindow();
  PlatformSetDisplayWaitWork(nullptr);
  if (windowMade == -1) return FailStartUp();
  if (InitInputSystem() == -1) return FailStartUp();
  InitSoundSystem();  // a machine without sound runs silent
  if (InitGraphicsSystem() < 0) return FailStartUp();
  if (HardwareActive) ReturnUnusedPixelSpan();
  InitCharCodeBuffer();

  LibraryInitialised = 1;
  if (!WindowedMode) ForceForegroundWindow(MainHwnd, 1);
  InitOnScreenLog();
  SelectDrawTarget(-2);
  SelectDrawTarget(-4);
  InitGraphicsTables();
  LibraryStarting = 0;
  return 0;
}

int InitLibrary() {
  if (LibraryInitialised) return 0;
  EnterLibraryLock();
  int result = InitLibrary_Unlocked();
  LeaveLibraryLock();
  return result;
}

int EndLibrary_Unlocked() {
  if (!LibraryInitialised) return 0;
  return ShutDown();
}

int EndLibrary() {
  if (!LibraryInitialised) return 0;
  EnterLibraryLock();
  int result = EndLibrary_Unlocked();
  LeaveLibraryLock();
  DestroyLibraryLock();
  return result;
}

void FatalErrorExit(const char* text) {
  WriteErrorLog(text);
  WriteErrorLog("\n");
  EndLibrary_Unlocked();
  DestroyLibraryLock();
  exit(-1);
}

void FatalErrorExitFormat(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  FormatStringV(text, sizeof text, format, args);
  va_end(args);
  FatalErrorExit(text);
}
