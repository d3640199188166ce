// Internal to the platform layer: what the input stand-ins (DirectInput, the
// multimedia joystick services, the input method) share with the window
// stand-in. Library code never includes this header.
#pragma once

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"

// Translates SDL's queued events into window messages and device state (on
// the window thread only; elsewhere nothing happens).
void PumpInputEvents();

// The keyboard as SDL reports it, before any message is read: keys by scan
// code (0x80 added for the extended keys), 0x80 while held.
void ReadDeviceKeys(uint8_t out[256]);
// The mouse's motion and wheel (120 a notch) since the last read, then zeroed,
// and its eight buttons, 0x80 while held.
void ReadDeviceMouse(int32_t* dx, int32_t* dy, int32_t* wheel, uint8_t buttons[8]);
// Events set whenever the keyboard or the mouse reports something (null: none).
void SetKeyboardNotifyEvent(HANDLE event);
void SetMouseNotifyEvent(HANDLE event);

// SDL's joystick and game controller subsystems, counted: every successful
// start is paired with a stop.
bool StartSdlJoysticks();
void StopSdlJoysticks();

// The input method's side of the window stand-in. Composition text arrives
// as UTF-8 with its cursor and edited run in characters; it reaches windows
// whose input method is enabled as IME messages, sent as Windows sends them.
void ImeTranslateEditing(HWND window, bool enabled, const char* utf8, int start, int length);
// Text typed while a composition runs is its result (true); otherwise it is
// left to become WM_CHAR messages (false).
bool ImeTranslateText(HWND window, bool enabled, const char* utf8);
// Forgets the input context of a window being destroyed.
void ImeForgetWindow(HWND window);
