// Entries of modules that are not built yet, which start-up, shut-down, the
// message pump and the window procedure call. Each is an empty step here and
// moves to its own module, with its body, when that module is built.
#pragma once

#include <cstdint>

#include "library/graphics/draw_state.h"
#include "library/graphics/graph_image_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/graphics/texture_tables.h"

// ---------------------------------------------------------------- graphics

int GetDisplayModeCount();
int* GetDisplayModeEntry(int out[4], int index);
int GetUseHardwareFlag();
typedef void (*GraphRestoreHook)();
int SetGraphRestoreHook(GraphRestoreHook hook);
int HasGraphRestoreHook();
int InitGraphicsSystem();
int EndGraphicsSystem();
int PresentScreenRect(const int rect[4]);
int ApplyScreenModeChange(int width, int height, int colorBits, int force, int refreshRate);
int RestoreGraphicsDevice();
void* GetDirectDrawObject();
// Ends the open Direct3D scene and presents; -1 when the present fails.
int G_D3D_EndSceneAndPresent();

// ---------------------------------------------------------------- movies

int BuildYuvToRgbTables();
int ResumeMoviesAfterActivate();
int PauseMoviesOnDeactivate();

// ---------------------------------------------------------------- sound

int InitSoundSystem();
int EndSoundSystem();
int UpdateStreamSounds();

// ---------------------------------------------------------------- fonts

int DeleteFontHandle(int handle);

// ---------------------------------------------------------------- input

int InitInputSystem();
// Until input exists, tests can make its start fail (start-up's failure path).
extern int32_t PendingInputStartFails;
int EndInputSystem();
int PollKeyboard();
int UpdateJoypadVibrationTimer();
int ApplyJoypadVibration();
int ReacquireInputDevices();
int CheckAnyInput(int mask);
// The two flags that window messages 0x46F and 0x470 set; the first is F10's.
extern int32_t InputF10Flag;
extern int32_t InputSecondFlag;

// ---------------------------------------------------------------- key-input strings and IME

int InitCharCodeBuffer();
int PutCharCode(int code);
int UpdateKeyInputs();
int DeleteAllKeyInputHandles();
// The IME messages of the window procedure; the result is the message's answer.
intptr_t HandleImeMessage(uintptr_t wParam, unsigned message, intptr_t lParam, void* window);
// 1 while key-input handles want the input method switched on.
int IsImeEnabled();
