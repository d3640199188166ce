// Reading the keyboard, the mouse and the joypads, and the queries over them.
#include <algorithm>
#include <cstring>

#include "library/core/library_state.h"
#include "library/core/lock.h"
#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/system_report.h"
#include "library/graphics/graphics_system.h"
#include "library/input/input_devices.h"
#include "platform/win32/win32.h"

namespace {

// Each key of the system keyboard state and its DirectInput key code.
struct VirtualKeyPair {
  uint8_t virtualKey;
  uint8_t keyCode;
};
const VirtualKeyPair kVirtualKeyTable[] = {
    {'A', 0x1E}, {'B', 0x30}, {'C', 0x2E}, {'D', 0x20}, {'E', 0x12}, {'F', 0x21}, {'G', 0x22},
    {'H', 0x23}, {'I', 0x17}, {'J', 0x24}, {'K', 0x25}, {'L', 0x26}, {'M', 0x32}, {'N', 0x31},
    {'O', 0x18}, {'P', 0x19}, {'Q', 0x10}, {'R', 0x13}, {'S', 0x1F}, {'T', 0x14}, {'U', 0x16},
    {'V', 0x2F}, {'W', 0x11}, {'X', 0x2D}, {'Y', 0x15}, {'Z', 0x2C},
    {'0', 0x0B}, {'1', 0x02}, {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07},
    {'7', 0x08}, {'8', 0x09}, {'9', 0x0A},
    {VK_LEFT, 0xCB}, {VK_UP, 0xC8}, {VK_RIGHT, 0xCD}, {VK_DOWN, 0xD0},
    {0xBA, 0x27}, {0xBB, 0x0D}, {0xBC, 0x33}, {0xBD, 0x0C}, {0xBE, 0x34}, {0xBF, 0x35},
    {0xC0, 0x29}, {0xDB, 0x1A}, {0xDC, 0x2B}, {0xDD, 0x1B}, {0xE2, 0x56},
    {VK_DELETE, 0xD3}, {VK_ESCAPE, 0x01}, {VK_SPACE, 0x39}, {VK_BACK, 0x0E}, {VK_TAB, 0x0F},
    {VK_RETURN, 0x1C}, {VK_RETURN, 0x9C},
    {VK_NUMPAD0, 0x52}, {VK_NUMPAD0 + 1, 0x4F}, {VK_NUMPAD0 + 2, 0x50}, {VK_NUMPAD0 + 3, 0x51},
    {VK_NUMPAD0 + 4, 0x4B}, {VK_NUMPAD0 + 5, 0x4C}, {VK_NUMPAD0 + 6, 0x4D}, {VK_NUMPAD0 + 7, 0x47},
    {VK_NUMPAD0 + 8, 0x48}, {VK_NUMPAD0 + 9, 0x49},
    {VK_MULTIPLY, 0x37}, {VK_ADD, 0x4E}, {VK_SUBTRACT, 0x4A}, {VK_DECIMAL, 0x53}, {VK_DIVIDE, 0xB5},
    {VK_LSHIFT, 0x2A}, {VK_RSHIFT, 0x36}, {VK_LCONTROL, 0x1D}, {VK_RCONTROL, 0x9D}, {VK_LMENU, 0x38},
    {VK_RMENU, 0xB8},
    {VK_PRIOR, 0xC9}, {VK_NEXT, 0xD1}, {VK_END, 0xCF}, {VK_HOME, 0xC7}, {VK_INSERT, 0xD2},
    {VK_SCROLL, 0x46}, {VK_CAPITAL, 0x3A}, {VK_PAUSE, 0xC5},
    {VK_F1, 0x3B}, {VK_F1 + 1, 0x3C}, {VK_F1 + 2, 0x3D}, {VK_F1 + 3, 0x3E}, {VK_F1 + 4, 0x3F},
    {VK_F1 + 5, 0x40}, {VK_F1 + 6, 0x41}, {VK_F1 + 7, 0x42}, {VK_F1 + 8, 0x43}, {VK_F1 + 9, 0x44},
    {VK_F1 + 10, 0x57}, {VK_F1 + 11, 0x58},
};
static_assert(sizeof kVirtualKeyTable / sizeof kVirtualKeyTable[0] == 99);

constexpr int kKeyRightShift = 0x36;

bool InputStarted() { return InputDevices.directInput != nullptr || InputDevices.fallbackMode; }

// A query made before input has started (while the library is not ending)
// starts input instead and answers with the start-up's result.
bool StartedByQuery(int* result) {
  if (InputStarted() || LibraryEnding != 0) return false;
  *result = InitInputSystem();
  return true;
}

// DirectInput reads the keyboard and the mouse only on systems older than
// Vista, unless the setting asks for it everywhere.
bool DirectInputReadsKeyboard() {
  return OsVersionCode < 0x108 || InputSettings.directInputKeyboardAlways;
}

int PollDirectInputKeyboard() {
  IDirectInputDevice7A* keyboard = InputDevices.keyboard;
  DWORD now = timeGetTime();
  if (now == InputDevices.keyboardLastRefresh &&
      WaitForSingleObject(InputDevices.keyboardEvent, 0) != WAIT_OBJECT_0)
    return 0;
  if (ProcessWindowMessages_Unlocked() != 0) return 0;
  uint8_t keys[256];
  if (FAILED(keyboard->GetDeviceState(sizeof keys, keys))) {
    keyboard->Acquire();
    if (FAILED(keyboard->GetDeviceState(sizeof keys, keys))) return 0;
  }
  memcpy(KeyStateTable, keys, sizeof keys);
  InputDevices.keyboardLastRefresh = now;
  ResetEvent(InputDevices.keyboardEvent);
  BYTE system[256];
  GetKeyboardState(system);
  KeyStateTable[kKeyRightShift] = system[VK_RSHIFT];
  return 1;
}

// The system keyboard state belongs to the window's thread: only the thread
// holding the library lock reads it; others keep the last table.
int PollSystemKeyboard() {
  if (!LibraryLockHeldByCaller()) return 0;
  DWORD now = timeGetTime();
  if (InputDevices.fallbackKeyboardRead && now == InputDevices.keyboardLastRefresh) return 0;
  ProcessWindowMessages_Unlocked();
  BYTE system[256];
  GetKeyboardState(system);
  memset(KeyStateTable, 0, sizeof KeyStateTable);
  for (const VirtualKeyPair& pair : kVirtualKeyTable) KeyStateTable[pair.keyCode] = system[pair.virtualKey];
  InputDevices.fallbackMouseButtons[0] = system[VK_LBUTTON] & 0x80;
  InputDevices.fallbackMouseButtons[1] = system[VK_RBUTTON] & 0x80;
  InputDevices.fallbackMouseButtons[2] = system[VK_MBUTTON] & 0x80;
  InputDevices.fallbackKeyboardRead = 1;
  InputDevices.keyboardLastRefresh = now;
  return 1;
}

// Fallback mode: one pad through the multimedia joystick services.
void PollFallbackJoypad(int index, JoypadRecord& pad) {
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNALL;
  memset(&pad.state, 0, sizeof pad.state);
  if (joyGetPosEx(static_cast<UINT>(index), &info) != JOYERR_NOERROR) return;
  pad.state.lX = MapFallbackAxis(info.dwXpos);
  pad.state.lY = MapFallbackAxis(info.dwYpos);
  if (pad.hasZAndR) {
    pad.state.lZ = MapFallbackAxis(info.dwZpos);
    pad.state.lRz = MapFallbackAxis(info.dwRpos);
  }
  for (int b = 0; b < 24; ++b) pad.state.rgbButtons[b] = (info.dwButtons >> b) & 1 ? 128 : 0;
}

}  // namespace

int32_t MapFallbackAxis(uint32_t value) {
  int32_t v = static_cast<int32_t>(std::min<uint32_t>(value, 65535));
  if (v < 16384) return (v - 16384) * 1000 / 16384;
  if (v > 49152) return (v - 49152) * 1000 / 16384;
  return 0;
}

int PollKeyboard() {
  if (InputDevices.keyboardPolling) return 0;
  InputDevices.keyboardPolling = 1;
  int result = InputDevices.keyboard != nullptr && DirectInputReadsKeyboard() ? PollDirectInputKeyboard()
                                                                              : PollSystemKeyboard();
  InputDevices.keyboardPolling = 0;
  return result;
}

int PollJoypad(int index) {
  if (index < 0 || index >= kMaxJoypads || MainWindowClosed) return -1;
  JoypadRecord& pad = InputDevices.joypads[index];
  DWORD now = timeGetTime();
  if (InputDevices.fallbackMode) {
    if (now == pad.lastRefresh) return 0;
    pad.lastRefresh = now;
    PollFallbackJoypad(index, pad);
    return 0;
  }
  if (pad.device == nullptr) return 0;
  bool signalled = pad.event != nullptr && WaitForSingleObject(pad.event, 0) == WAIT_OBJECT_0;
  if (now == pad.lastRefresh && !signalled) return 0;
  pad.lastRefresh = now;
  pad.device->Poll();
  DIJOYSTATE state;
  HRESULT result = pad.device->GetDeviceState(sizeof state, &state);
  if (FAILED(result)) {
    if (ProcessWindowMessages_Unlocked() != 0) return -1;
    if (SUCCEEDED(pad.device->Acquire())) {
      if (ProcessWindowMessages_Unlocked() != 0) return -1;
      result = pad.device->GetDeviceState(sizeof state, &state);
    }
  }
  if (SUCCEEDED(result)) pad.state = state;
  if (pad.event != nullptr) ResetEvent(pad.event);
  return 0;
}

int CheckKeyDown(int keyCode) {
  WaitWhileInactive();
  int started;
  if (StartedByQuery(&started)) return started;
  PollKeyboard();
  if (keyCode < 0 || keyCode > 255) return 0;
  return (KeyStateTable[keyCode] & 0x80) != 0 ? 1 : 0;
}

int GetAllKeyState(uint8_t out[256]) {
  WaitWhileInactive();
  int started;
  if (StartedByQuery(&started)) return started;
  if (out == nullptr) return -1;
  PollKeyboard();
  for (int i = 0; i < 256; ++i) out[i] = (KeyStateTable[i] & 0x80) != 0 ? 1 : 0;
  return 0;
}

int GetPadInputBits(int pad) {
  WaitWhileInactive();
  int started;
  if (StartedByQuery(&started)) return started;
  bool withKeys = (pad & kPadWithKeyboard) != 0;
  int64_t index = static_cast<int64_t>(pad & ~kPadWithKeyboard) - 1;
  int count = InputDevices.joypadCount;
  if (count > 0 && (index < -1 || (index >= count && !withKeys))) return 0;

  uint32_t bits = 0;
  if (index >= 0 && index < count) {
    PollJoypad(static_cast<int>(index));
    const DIJOYSTATE& s = InputDevices.joypads[index].state;
    if (s.lX < 0) bits |= 0x2;
    if (s.lX > 0) bits |= 0x4;
    if (s.lY < 0) bits |= 0x8;
    if (s.lY > 0) bits |= 0x1;
    for (int n = 0; n < 24; ++n)
      if (s.rgbButtons[n] & 0x80) bits |= 1u << (4 + n);
  }
  // A pad number past the key map's table has no keys.
  int64_t map = std::max<int64_t>(index, 0);
  if (withKeys && map < kMaxJoypads) {
    PollKeyboard();
    for (int entry = 0; entry < kPadKeyMapEntries; ++entry) {
      for (int32_t code : PadKeyMapTable[map][entry]) {
        if (code >= 0 && code < 256 && (KeyStateTable[code] & 0x80) != 0) {
          bits |= 1u << entry;
          break;
        }
      }
    }
  }
  return static_cast<int>(bits);
}

int GetMouseInput() {
  WaitWhileInactive();
  int started;
  if (StartedByQuery(&started)) return started;
  if (InputDevices.mouse != nullptr && DirectInputReadsKeyboard()) {
    DIMOUSESTATE2 state;
    if (FAILED(InputDevices.mouse->GetDeviceState(sizeof state, &state))) {
      InputDevices.mouse->Acquire();
      if (FAILED(InputDevices.mouse->GetDeviceState(sizeof state, &state))) return 0;
    }
    InputDevices.mouseState = state;
    int bits = 0;
    for (int n = 0; n < 8; ++n)
      if (state.rgbButtons[n] & 0x80) bits |= 1 << n;
    return bits;
  }
  PollKeyboard();
  uint8_t buttons[3];
  if (InputDevices.fallbackKeyboardRead) {
    memcpy(buttons, InputDevices.fallbackMouseButtons, sizeof buttons);
  } else {
    BYTE system[256];
    GetKeyboardState(system);
    buttons[0] = system[VK_LBUTTON];
    buttons[1] = system[VK_RBUTTON];
    buttons[2] = system[VK_MBUTTON];
  }
  return ((buttons[0] & 0x80) ? 1 : 0) | ((buttons[1] & 0x80) ? 2 : 0) | ((buttons[2] & 0x80) ? 4 : 0);
}

int CheckAnyInput(int mask) {
  WaitWhileInactive();
  int started;
  if (StartedByQuery(&started)) return started;
  if (mask & 1) {
    PollKeyboard();
    for (int code = 0; code < 256; ++code) {
      if (code == 0x94 || code == 0x3A || code == 0x70) continue;  // Kanji, Caps Lock and Kana lock
      if (KeyStateTable[code] & 0x80) return code;
    }
    if (InputF10Flag) return 0x44;
    for (int i = 0; i < InputDevices.joypadCount; ++i)
      if (GetPadInputBits(i + 1) != 0) return -1;
  }
  if ((mask & 4) && AppActive) {
    int x, y, width, height;
    GetMousePoint(&x, &y);
    GetScreenSizeOrDefault(&width, &height);
    if (x >= 0 && y >= 0 && x < width && y < height && GetMouseInput() != 0) return -1;
  }
  return 0;
}
