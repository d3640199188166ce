#include "library/graphics/graphics_system.h"

#include <cstring>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_buffers.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/d3d_shaders.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/image_load.h"
#include "library/graphics/light_state.h"
#include "library/graphics/mask_screen.h"
#include "library/graphics/texture_tables.h"
#include "library/input/input_devices.h"
#include "library/text/font_handle.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/win32.h"

int32_t GraphicsInitialised = 0;
int32_t ScreenWidth = 0;
int32_t ScreenHeight = 0;
int32_t ScreenColorBits = 0;
int32_t ScreenRefreshRate = 0;
int32_t HardwareActive = 0;
int32_t HalfSizeScreenFlag = 0;
int32_t HalfSizeDisplayFlag = 0;

namespace {

// Kept inverted: 0 waits for the vertical blank.
int32_t WaitVSyncInverse = 0;
GraphRestoreHook RestoreHook = nullptr;

struct DisplayModeEntry {
  int32_t width, height, bits, refresh;
};
DisplayModeEntry* DisplayModes = nullptr;
int32_t DisplayModeCount = 0;
bool DisplayModesListed = false;

void ListDisplayModes() {
  DisplayModesListed = true;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  int32_t total = 0;
  while (EnumDisplaySettingsA(nullptr, static_cast<DWORD>(total), &mode)) ++total;
  if (total == 0) return;
  DisplayModes =
      static_cast<DisplayModeEntry*>(TrackedAlloc(sizeof(DisplayModeEntry) * static_cast<size_t>(total), __FILE__, __LINE__));
  if (DisplayModes == nullptr) return;
  for (int32_t i = 0; i < total && EnumDisplaySettingsA(nullptr, static_cast<DWORD>(i), &mode); ++i) {
    if (mode.dmBitsPerPel < 16) continue;
    DisplayModes[DisplayModeCount++] = {static_cast<int32_t>(mode.dmPelsWidth), static_cast<int32_t>(mode.dmPelsHeight),
                                        static_cast<int32_t>(mode.dmBitsPerPel),
                                        static_cast<int32_t>(mode.dmDisplayFrequency)};
  }
}

// The screen image as a top-down DIB with the masks of its format. A pitch
// wider than the screen's rows makes the DIB wider; only the screen's part
// is drawn.
struct ScreenDibInfo {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

void DescribeScreenImage(ScreenDibInfo* info) {
  const MemImgBuffer* b = ScreenMemImg.buffer;
  std::memset(info, 0, sizeof *info);
  info->header.biSize = 40;
  info->header.biWidth = b->pitch / b->format->bytesPerPixel;
  info->header.biHeight = -ScreenHeight;
  info->header.biPlanes = 1;
  info->header.biBitCount = static_cast<WORD>(b->format->colorBits);
  info->header.biCompression = BI_BITFIELDS;
  info->masks[0] = b->format->redMask;
  info->masks[1] = b->format->greenMask;
  info->masks[2] = b->format->blueMask;
}

int PresentSoftware(const int32_t* rect, bool doubled) {
  if (GetWaitVSync()) WaitVerticalBlank();
  if (!IsMemImgValid(&ScreenMemImg)) return -1;
  ScreenDibInfo info;
  DescribeScreenImage(&info);
  const auto* bitmap = reinterpret_cast<const BITMAPINFO*>(&info);
  const void* bits = ScreenMemImg.pixels;
  HDC dc = GetDC(MainHwnd);
  if (dc == nullptr) return -1;
  const UINT lines = static_cast<UINT>(ScreenHeight);
  if (doubled) {
    StretchDIBits(dc, 0, 0, 640, 480, 0, ScreenHeight - 240, 320, 240, bits, bitmap, DIB_RGB_COLORS, SRCCOPY);
  } else if (rect != nullptr) {
    SetDIBitsToDevice(dc, rect[0], rect[1], static_cast<DWORD>(rect[2] - rect[0]), static_cast<DWORD>(rect[3] - rect[1]),
                      rect[0], ScreenHeight - rect[3], 0, lines, bits, bitmap, DIB_RGB_COLORS);
  } else {
    RECT client{};
    GetClientRect(MainHwnd, &client);
    if (client.right == ScreenWidth && client.bottom == ScreenHeight) {
      SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(ScreenWidth), static_cast<DWORD>(ScreenHeight), 0, 0, 0, lines, bits,
                        bitmap, DIB_RGB_COLORS);
    } else {
      StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, ScreenWidth, ScreenHeight, bits, bitmap,
                    DIB_RGB_COLORS, SRCCOPY);
    }
  }
  ReleaseDC(MainHwnd, dc);
  return 0;
}

}  // namespace

int GetScreenSizeOrDefault(int32_t* width, int32_t* height) {
  if (width != nullptr) *width = ScreenWidth != 0 ? ScreenWidth : 640;
  if (height != nullptr) *height = ScreenHeight != 0 ? ScreenHeight : 480;
  return 0;
}

// ---------------------------------------------------------------- start-up and shut-down

int InitGraphicsSystem() {
  if (GraphicsInitialised) return 0;
  GraphHandleTable.Reset();
  if (ScreenWidth == 0 || ScreenHeight == 0) {
    ScreenWidth = 640;
    ScreenHeight = 480;
  }
  if (ScreenColorBits == 0) ScreenColorBits = 16;
  if (!WindowedMode && ScreenWidth == 320 && ScreenHeight == 240) {
    HalfSizeScreenFlag = 1;
    ScreenWidth = 640;
    ScreenHeight = 480;
  }
  if (G_D3D_Initialize() != 0) {
    EndGraphicsSystem();
    return -1;
  }
  GraphicsInitialised = 1;
  if (HardwareActive)
    G_D3D_SetDeviceDefaults();
  else
    CreateScreenMemImg();
  ResetDrawState();
  BuildBlendTables();
  // Without its font files the library can show no text: start-up fails.
  if (InitFontSystem() != 0) {
    EndGraphicsSystem();
    return -1;
  }
  return 0;
}

int EndGraphicsSystem() {
  EndGraphReadAhead();
  EndFontSystem();
  if (GraphicsInitialised) {
    FreeAllGraphs(0);
    DeleteAllVertexBuffers();
    DeleteAllIndexBuffers();
    DeleteAllShaders();
    DeleteAllMaskData();
    EndMaskScreen();
    EndLightHandles();
    G_D3D_Terminate();
    ReleaseScreenMemImg();
    ReleaseShaderPack();
    GraphicsInitialised = 0;
  }
  return 0;
}

// ---------------------------------------------------------------- present

int PresentScreen() { return PresentScreenRect(nullptr); }

int PresentScreenRect(const int32_t rect[4]) {
  if (!GraphicsInitialised || MainWindowClosed || MainHwnd == nullptr) return -1;
  if (rect != nullptr && (rect[2] <= rect[0] || rect[3] <= rect[1])) return -1;
  if (OnScreenLog.display) DrawOnScreenLog();
  const bool doubled = (HalfSizeDisplayFlag || HalfSizeScreenFlag) && ScreenWidth == 640 && ScreenHeight == 480;
  // (A layered main window would take the frame instead; this system never
  // makes one.)
  if (HardwareActive) {
    G_D3D_CheckLostDevice();
    return G_D3D_PresentFrame(rect, doubled);
  }
  return PresentSoftware(rect, doubled);
}

int FlushAndPresentScreen() {
  if (HardwareActive && !WindowedMode) G_D3D_CopyBackBufferToWork();
  return PresentScreenRect(nullptr);
}

// ---------------------------------------------------------------- screen mode

int ApplyScreenModeChange(int32_t width, int32_t height, int32_t colorBits, int32_t force, int32_t refreshRate) {
  auto keep = [](int32_t value, int32_t current) { return value == -1 || value == -2 ? current : value; };
  width = keep(width, ScreenWidth);
  height = keep(height, ScreenHeight);
  colorBits = keep(colorBits, ScreenColorBits);
  refreshRate = keep(refreshRate, ScreenRefreshRate);
  const int32_t emulationBefore = HalfSizeScreenFlag;
  if (!WindowedMode) {
    if (width == 320 && height == 240) {
      HalfSizeScreenFlag = 1;
      width = 640;
      height = 480;
    }
  } else {
    HalfSizeScreenFlag = 0;
    if (force && emulationBefore && ScreenWidth == 640 && ScreenHeight == 480) {
      width = 320;
      height = 240;
    }
  }
  if (!force && width == ScreenWidth && height == ScreenHeight && colorBits == ScreenColorBits &&
      refreshRate == ScreenRefreshRate && HalfSizeScreenFlag == emulationBefore)
    return 0;

  WriteErrorLog("画面モード変更処理を開始します\n");
  PushLogIndent();
  RememberDefaultFont();
  if (!LibraryInitialised && !LibraryStarting) return 0;

  const int32_t oldWidth = ScreenWidth, oldHeight = ScreenHeight, oldBits = ScreenColorBits,
                oldRefresh = ScreenRefreshRate;
  auto start = [](int32_t w, int32_t h, int32_t bits, int32_t refresh) {
    EndGraphicsSystem();
    ScreenWidth = w;
    ScreenHeight = h;
    ScreenColorBits = bits;
    ScreenRefreshRate = refresh;
    return InitGraphicsSystem() == 0;
  };
  if (!start(width, height, colorBits, refreshRate)) {
    bool started = false;
    if (width == 320 && height == 240) {
      HalfSizeDisplayFlag = 1;
      started = start(640, 480, colorBits, refreshRate);
    }
    if (!started) started = start(oldWidth, oldHeight, oldBits, oldRefresh);
    if (!started) started = start(640, 480, 16, 0);
    if (!started) FatalErrorExit("予期せぬ画面モード変更不能現象が起きました2");
  }
  if (WindowedMode) SetWindowSizeToScreen();
  RecreateDefaultFont();
  HeapReturnPending = 1;
  PopLogIndent();
  WriteErrorLog("画面モード変更処理は正常に終了しました\n");
  SelectDrawTarget(DrawTarget);
  return 0;
}

// ---------------------------------------------------------------- lost device

namespace {

void RestartInput() {
  EndInputSystem();
  InitInputSystem();
}

}  // namespace

int ResetGraphicsDevice() {
  // The input restart pumps window messages, and an activation among them
  // asks for a restore again: the one under way serves it.
  static bool resetting = false;
  if (resetting) return 0;
  resetting = true;
  if (HardwareActive)
    G_D3D_RebuildDevice(RestartInput);
  else
    RestartInput();
  resetting = false;
  return 0;
}

int RestoreGraphicsDevice() { return ResetGraphicsDevice(); }

int SetGraphRestoreHook(GraphRestoreHook hook) {
  RestoreHook = hook != nullptr ? hook : RestoreGraphsFromFiles;
  return 0;
}

int HasGraphRestoreHook() { return RestoreHook != nullptr ? 1 : 0; }

void RestoreGraphs() {
  (RestoreHook != nullptr ? RestoreHook : RestoreGraphsFromFiles)();
  RestoreGraphTextures();
  RestoreFontHandles();
}

void RestoreGraphsFromFiles() {
  WriteErrorLog("グラフィックを復帰します\n");
  GraphImage rgb{}, alpha{};
  int loaded = -1;  // the images of the last file: -1 none, else LoadGraphImageFile's result
  char lastName[1024] = "";
  uint32_t lastFlag = 0;
  auto release = [&]() {
    if (loaded >= 0) ReleaseGraphImage(&rgb);
    if (loaded == 0) ReleaseGraphImage(&alpha);
    loaded = -1;
  };
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    GraphRecord* graph = GraphHandleTable.records[slot];
    if (graph == nullptr || graph->fileName == nullptr) continue;
    // A copy: the transfer gives the graph its name record anew.
    char name[1024];
    StrCopy(name, graph->fileName->Path());
    if (loaded < 0 || std::strcmp(lastName, name) != 0 || lastFlag != graph->loadFlag) {
      release();
      loaded = LoadGraphImageFile(name, nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb,
                                  static_cast<int32_t>(graph->loadFlag), &alpha);
      if (loaded < 0) {
        lastName[0] = '\0';
        WriteErrorLogFormat("ファイル:%s がロードできませんでした", name);
        continue;
      }
      StrCopy(lastName, name);
      lastFlag = graph->loadFlag;
    }
    TransferGraphImageToGraph(name, &rgb, loaded == 0 ? &alpha : nullptr, graph->sourceX, graph->sourceY,
                              GraphHandleTable.HandleAt(slot), graph->loadFlag);
  }
  release();
}

// ---------------------------------------------------------------- settings

int SetWaitVSync(int32_t flag) {
  WaitVSyncInverse = !flag;
  return 0;
}

int GetWaitVSync() { return !WaitVSyncInverse; }

int SetHalfSizeDisplay(int32_t flag) {
  HalfSizeDisplayFlag = flag;
  return 0;
}

int SetUseHardwareFlag(int32_t flag) {
  if (LibraryInitialised) return -1;
  SoftwareOnlyFlag = !flag;
  return 0;
}

int GetUseHardwareFlag() { return !SoftwareOnlyFlag; }

int GetDisplayModeCount() {
  if (!DisplayModesListed) ListDisplayModes();
  return DisplayModeCount;
}

int* GetDisplayModeEntry(int32_t out[4], int32_t index) {
  if (index < 0 || index >= GetDisplayModeCount()) {
    out[0] = out[1] = out[2] = out[3] = -1;
    return out;
  }
  const DisplayModeEntry& m = DisplayModes[index];
  out[0] = m.width;
  out[1] = m.height;
  out[2] = m.bits;
  out[3] = m.refresh;
  return out;
}

int HasDisplayMode(int32_t width, int32_t height, int32_t bits) {
  for (int32_t i = 0; i < GetDisplayModeCount(); ++i) {
    const DisplayModeEntry& m = DisplayModes[i];
    if (m.width == width && m.height == height && m.bits == bits) return 1;
  }
  return 0;
}

void ReleaseDisplayModeList() {
  TrackedFree(DisplayModes);
  DisplayModes = nullptr;
  DisplayModeCount = 0;
  DisplayModesListed = false;
}

int IsFullScreenMode() { return WindowedMode ? 0 : 1; }
