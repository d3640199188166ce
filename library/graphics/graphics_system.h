// The state of the graphics module as a whole: whether it has started, and
// the screen mode.
#pragma once

#include <cstdint>

// 1 between a successful graphics start-up and its shut-down.
extern int32_t GraphicsInitialised;

// The screen mode; 0 until set (start-up makes an unset mode 640 x 480 at 16 bits).
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
extern int32_t ScreenColorBits;
// 0: the display's default.
extern int32_t ScreenRefreshRate;

// 1 while the Direct3D device is in use, 0 on the software renderer.
extern int32_t HardwareActive;
// Full screen asked for at 320 x 240: the screen is 640 x 480 and its
// top-left quarter is shown doubled.
extern int32_t HalfSizeScreenFlag;
// The same doubling asked for directly.
extern int32_t HalfSizeDisplayFlag;

// ScreenWidth and ScreenHeight, or 640 and 480 while they are still 0. Either
// pointer may be null. Returns 0.
int GetScreenSizeOrDefault(int32_t* width, int32_t* height);

// ---------------------------------------------------------------- start-up, shut-down, present

// Run after the Direct3D device was lost, to bring the graphs' pixels back.
typedef void (*GraphRestoreHook)();

// The graph table emptied, the back end started (the software renderer when
// no Direct3D device can be made), the screen image made and the draw state
// reset. 0, or -1 with graphics ended again.
int InitGraphicsSystem();
// Every graph, mask, light and the back end released. Returns 0.
int EndGraphicsSystem();
// PresentScreenRect(null).
int PresentScreen();
// Shows the back screen (or the rectangle of it) in the main window. -1
// before graphics start-up, once the window is closed, or for a rectangle
// without area.
int PresentScreenRect(const int32_t rect[4]);
int FlushAndPresentScreen();
// A new screen mode (-1 or -2 keep a value); graphics are ended and started
// again. Returns 0; a mode that cannot start at all ends the program.
int ApplyScreenModeChange(int32_t width, int32_t height, int32_t colorBits, int32_t force, int32_t refreshRate);
// Restore mode: the back end rebuilt and input restarted. Returns 0.
int ResetGraphicsDevice();
int RestoreGraphicsDevice();
// Null installs the default hook, which loads every graph's file again.
int SetGraphRestoreHook(GraphRestoreHook hook);
int HasGraphRestoreHook();
// The default hook.
void RestoreGraphsFromFiles();
// After a lost device: the hook (or the default hook), then the graph
// textures and the fonts.
void RestoreGraphs();

int SetWaitVSync(int32_t flag);
int GetWaitVSync();
int SetHalfSizeDisplay(int32_t flag);
// Before library start-up only (-1 afterwards): 0 keeps Direct3D off.
int SetUseHardwareFlag(int32_t flag);
int GetUseHardwareFlag();

// The display modes of 16 bits or more, listed on first use.
int GetDisplayModeCount();
// out = {width, height, bits, refresh}, all -1 for an index out of range.
int* GetDisplayModeEntry(int32_t out[4], int32_t index);
int HasDisplayMode(int32_t width, int32_t height, int32_t bits);
// Frees the list (the back end's shut-down).
void ReleaseDisplayModeList();
int IsFullScreenMode();
