// The library's main window: creation inside start-up, its window procedure,
// the cursor, the clipboard and the window's settings and getters.
#pragma once

#include <cstdint>

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"
#include "platform/win32/win32_system.h"

extern HWND MainHwnd;
extern int32_t WindowedMode;         // 1 window, 0 full screen
extern int32_t AppActive;
extern int32_t QuitRequested;        // the library itself asked the window to close
extern int32_t MainWindowClosed;
extern int32_t MainWindowDestroyed;

// Settings made before start-up; window creation keeps them.
struct MainWindowSettings {
  char windowText[256];
  char className[256];
  int32_t iconId;
  double scaleX;  // 0 or less: 1.0
  double scaleY;
};
extern MainWindowSettings MainWindowConfig;

// State of the running window, reset at creation.
struct MainWindowState {
  int32_t clientRect[4];   // left, top, right, bottom on the screen (window mode)
  RECT windowRect;
  int32_t captionOffset;
  int32_t cursorSetting;   // 1 shown, 0 hidden
  int32_t cursorShown;     // what was last applied
  int32_t painting;
  int32_t displayChanged;
  int32_t modeChangeRunning;
  int32_t creating;
  int32_t windowShown;     // set by the first mode change or sizing
  int32_t wheelCount;
  uint32_t mainThreadId;
  int32_t desktopWidth;
  int32_t desktopHeight;
  int32_t desktopBits;
  uint32_t timerPeriod;    // the multimedia timer period begun at creation
  int32_t compositionOff;  // the library switched desktop composition off
  HINSTANCE instance;
  FARPROC updateLayeredWindow;
};
extern MainWindowState MainWindow;

struct MouseClickRecord {
  int32_t button;  // 1 left, 2 right, 4 middle
  int32_t x;
  int32_t y;
};
struct MouseClickLogState {
  MouseClickRecord entries[32];
  int32_t count;
};
extern MouseClickLogState MouseClickLog;

struct DroppedFileListState {
  char* names[1000];  // tracked allocations
  int32_t count;
};
extern DroppedFileListState DroppedFileList;

// The desktop composition switch, looked up in "dwmapi.dll" at start-up.
extern HMODULE DwmLibrary;
extern DwmEnableCompositionProc DwmEnableCompositionEntry;

int CreateMainWindow();
int DestroyMainWindow();
LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int SetMainWindowTitle(const char* text);
int SetMainWindowIcon(int32_t iconId);
int ForceForegroundWindow(HWND window, int32_t topmost);
int SetWindowSizeToScreen();
int OnMainWindowMoved(LPARAM position);
int SetMouseDispFlag(int32_t flag);
int GetMousePoint(int* x, int* y);
int GetWindowClientArea(int out[4]);
// With a buffer of bufferSize bytes: copies the clipboard text (cut at a
// character boundary when it does not fit, since another program may change
// the clipboard between two calls) and returns 0; with null: the text's size
// + 1. -1 when the clipboard cannot be opened or holds no text.
int GetClipboardText(char* buffer, size_t bufferSize);
int SetClipboardText(const char* text);

int IsMainWindowClosed();
int IsAppActive();
HWND GetMainHwnd();
int IsWindowedMode();
int IsRunInBackground();
int GetQuitRequestedFlag();
double GetWindowScale(double* x, double* y);
int GetDesktopModeInfo(int* width, int* height, int* colorBits);
int SetDesktopComposition(int flag);

// The typed-character code of a key-down (Delete, cursor keys, Home, End,
// Page Up, Page Down) or of a WM_CHAR character; -1 when it puts nothing.
int CharCodeOfKey(WPARAM virtualKey);
int CharCodeOfChar(WPARAM character);
