// Empty steps of modules not built yet; see pending_modules.h.
#include "library/core/pending_modules.h"

#include "platform/win32/win32.h"

// ---------------------------------------------------------------- graphics

int GetDisplayModeCount() { return 0; }  // the display mode list comes with graphics
int* GetDisplayModeEntry(int out[4], int) {
  out[0] = out[1] = out[2] = out[3] = -1;
  return out;
}
int GetUseHardwareFlag() { return 1; }
int SetGraphRestoreHook(GraphRestoreHook) { return 0; }  // graphics: installs the hook
int HasGraphRestoreHook() { return 1; }                  // start-up always installs one
int InitGraphicsSystem() { return 0; }                   // graphics: back end, screen, fonts
int EndGraphicsSystem() { return 0; }                    // graphics: graphs, masks, back end
int PresentScreenRect(const int*) { return 0; }  // graphics: shows the back screen
int ApplyScreenModeChange(int, int, int, int, int) { return 0; }
int RestoreGraphicsDevice() { return 0; }
void* GetDirectDrawObject() { return nullptr; }
int G_D3D_EndSceneAndPresent() { return 0; }

// ---------------------------------------------------------------- movies

int BuildYuvToRgbTables() { return 0; }
int ResumeMoviesAfterActivate() { return 0; }
int PauseMoviesOnDeactivate() { return 0; }

// ---------------------------------------------------------------- sound

int InitSoundSystem() { return 0; }  // sound: device, buffers, sound thread
int EndSoundSystem() { return 0; }
int UpdateStreamSounds() { return 0; }

// ---------------------------------------------------------------- fonts

int DeleteFontHandle(int) { return 0; }

// ---------------------------------------------------------------- input

int32_t InputF10Flag = 0;
int32_t InputSecondFlag = 0;

int32_t PendingInputStartFails = 0;

int InitInputSystem() { return PendingInputStartFails ? -1 : 0; }  // input: keyboard, mouse, joypads
int EndInputSystem() { return 0; }
int PollKeyboard() { return 0; }
int UpdateJoypadVibrationTimer() { return 0; }
int ApplyJoypadVibration() { return 0; }
int ReacquireInputDevices() { return 0; }
int CheckAnyInput(int) { return 0; }

// ---------------------------------------------------------------- key-input strings and IME

int InitCharCodeBuffer() { return 0; }
int PutCharCode(int) { return 0; }  // key input: the typed-character ring
int UpdateKeyInputs() { return 0; }
int DeleteAllKeyInputHandles() { return 0; }
intptr_t HandleImeMessage(uintptr_t wParam, unsigned message, intptr_t lParam, void* window) {
  return DefWindowProcA(static_cast<HWND>(window), message, wParam, lParam);
}
int IsImeEnabled() { return 0; }
