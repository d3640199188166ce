// The keyboard, the mouse and up to 16 joypads, read through DirectInput, or
// through the system keyboard state and the multimedia joystick services when
// DirectInput cannot be had. Keys are DirectInput key codes; a joypad and the
// keyboard keys assigned to it are reported together as one bit mask:
// 0x1 down, 0x2 left, 0x4 right, 0x8 up, and button n (0 to 23) at bit 4 + n.
#pragma once

#include <cstdint>

#include "platform/dinput/dinput.h"
#include "platform/win32/win32_types.h"

constexpr int kMaxJoypads = 16;
constexpr int kPadKeyMapEntries = 32;  // one per bit of the pad bits
constexpr int kPadKeyMapCodes = 4;
// GetPadInputBits: the pad number with this flag also reads the keyboard keys
// assigned to the pad.
constexpr int32_t kPadWithKeyboard = 0x1000;

struct JoypadRecord {
  IDirectInputDevice7A* device;
  IDirectInputEffect* constantEffect;
  IDirectInputEffect* periodicEffect;
  HANDLE event;
  DIJOYSTATE state;
  uint32_t hasZAndR;     // fallback mode: the pad has both Z and R axes
  uint32_t lastRefresh;  // milliseconds
  // Vibration.
  uint32_t vibrationOn;
  int32_t vibrationPower;     // 0 to 10000
  int32_t vibrationDuration;  // milliseconds; negative: no limit
  int32_t vibrationElapsed;
  uint32_t vibrationLastStep;
  uint32_t constantPlaying;
  uint32_t periodicPlaying;
  char instanceName[260];
  char productName[260];
};

struct InputDeviceState {
  IDirectInputA* directInput;  // null before start-up, after shut-down and in fallback mode
  int32_t directInput8;        // the object is DirectInput 8 (else 7)
  int32_t fallbackMode;        // started without DirectInput
  int32_t starting;
  IDirectInputDevice7A* keyboard;
  HANDLE keyboardEvent;
  uint32_t keyboardLastRefresh;
  int32_t keyboardPolling;  // re-entry guard of PollKeyboard
  IDirectInputDevice7A* mouse;
  DIMOUSESTATE2 mouseState;
  // The left, right and middle buttons the fallback keyboard read keeps.
  uint8_t fallbackMouseButtons[3];
  int32_t fallbackKeyboardRead;  // the fallback keyboard read has run
  JoypadRecord joypads[kMaxJoypads];
  int32_t joypadCount;
};
extern InputDeviceState InputDevices;

// 256 bytes by DirectInput key code, the high bit set while the key is held.
extern uint8_t KeyStateTable[256];

// The keys assigned to each pad's bits: four key codes an entry, below 0
// unassigned. Kept across a restart of input; filled with the defaults at the
// first start-up.
extern int32_t PadKeyMapTable[kMaxJoypads][kPadKeyMapEntries][kPadKeyMapCodes];

// Settings kept across a restart of input; all off, and nothing in this
// system switches them on.
struct InputSettingsState {
  int32_t directInputOff;
  int32_t forceFeedbackOff;
  int32_t directInputKeyboardAlways;  // keyboard and mouse through DirectInput on every system
};
extern InputSettingsState InputSettings;

// Set and cleared by the window messages 0x46F and 0x470; the first is the
// F10 flag that CheckAnyInput reports.
extern int32_t InputF10Flag;
extern int32_t InputSecondFlag;

// Start-up: 0, or -1 when keyboard events cannot be set up. A keyboard or
// mouse device that cannot be made ready ends the program.
int InitInputSystem();
int EndInputSystem();

// Refresh the keyboard table (1 when refreshed) and one joypad (0, or -1 for
// an index of 16 or more or a closed window).
int PollKeyboard();
int PollJoypad(int index);

// Queries. Each waits while the application is inactive and, when input has
// not started (and the library is not ending), starts it and returns the
// start-up's result instead of its own.
int CheckKeyDown(int keyCode);
int GetAllKeyState(uint8_t out[256]);
// The bits of pad number pad (1-based), with kPadWithKeyboard also the keys
// assigned to it (the flag alone: the keyboard with pad 1's keys).
int GetPadInputBits(int pad);
// 1 left, 2 right, 4 middle; through DirectInput also 8 to 128 for buttons 4 to 8.
int GetMouseInput();
// Mask 1: the code of the first held key (the lock keys left out), 0x44 for
// the F10 flag, or -1 for any joypad input; mask 4: -1 while a mouse button is
// held over the client area of the active window. Else 0.
int CheckAnyInput(int mask);

// Takes the devices again with the cooperative level of the window's state;
// the window procedure calls it when the activation changes.
int ReacquireInputDevices();

// Vibration: started by nothing in this system, stopped and applied here.
int ApplyJoypadVibration();
int StopJoypadVibration(int pad);
// Each message-pump pass: advances the vibration time of every vibrating pad
// and stops the pads whose duration ran out, then applies.
int UpdateJoypadVibrationTimer();

// The fallback mode's axis mapping from 0..65535 to -1000..1000.
int32_t MapFallbackAxis(uint32_t value);
