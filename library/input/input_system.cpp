// Input start-up and shut-down: DirectInput 7 (or 8) with the mouse, the
// keyboard and the joypads, or the fallback through the system keyboard state
// and the multimedia joystick services.
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/input/input_devices.h"
#include "platform/win32/win32.h"

InputDeviceState InputDevices = {};
uint8_t KeyStateTable[256] = {};
int32_t PadKeyMapTable[kMaxJoypads][kPadKeyMapEntries][kPadKeyMapCodes] = {};
InputSettingsState InputSettings = {};
int32_t InputF10Flag = 0;
int32_t InputSecondFlag = 0;

namespace {

int32_t padKeyMapFilled = 0;

// Pad 1's keys by default: bit, then up to two key codes.
struct DefaultPadKeys {
  int bit;
  int32_t first;
  int32_t second;
};
const DefaultPadKeys kDefaultPadKeys[] = {
    {0, 0x50, 0xD0},  // down: keypad 2, cursor down
    {1, 0x4B, 0xCB},  // left: keypad 4, cursor left
    {2, 0x4D, 0xCD},  // right: keypad 6, cursor right
    {3, 0x48, 0xC8},  // up: keypad 8, cursor up
    {4, 0x2C, -1},    // Z
    {5, 0x2D, -1},    // X
    {6, 0x2E, -1},    // C
    {7, 0x1E, -1},    // A
    {8, 0x1F, -1},    // S
    {9, 0x20, -1},    // D
    {10, 0x10, -1},   // Q
    {11, 0x11, -1},   // W
    {12, 0x01, -1},   // Esc
    {13, 0x39, -1},   // Space
};

void FillDefaultPadKeyMap() {
  for (auto& pad : PadKeyMapTable)
    for (auto& entry : pad) {
      entry[0] = entry[1] = -1;  // the last two are key code 0, which is never held
      entry[2] = entry[3] = 0;
    }
  for (const DefaultPadKeys& d : kDefaultPadKeys) {
    PadKeyMapTable[0][d.bit][0] = d.first;
    PadKeyMapTable[0][d.bit][1] = d.second;
  }
}

// The device interface of the object's version: DirectInput 7 makes devices
// through CreateDeviceEx.
HRESULT CreateInputDevice(const GUID& instance, IDirectInputDevice7A** out) {
  *out = nullptr;
  if (InputDevices.directInput8) return InputDevices.directInput->CreateDevice(instance, out, nullptr);
  auto* di7 = static_cast<IDirectInput7A*>(InputDevices.directInput);
  void* device = nullptr;
  HRESULT result = di7->CreateDeviceEx(instance, IID_IDirectInputDevice7A, &device, nullptr);
  *out = static_cast<IDirectInputDevice7A*>(device);
  return result;
}

// DirectInput 7, else DirectInput 8; false when neither can be had.
bool CreateDirectInput() {
  HINSTANCE module = GetModuleHandleA(nullptr);
  WriteErrorLog("DirectInput7 の取得中... ");
  void* object = nullptr;
  HRESULT result =
      CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A, &object);
  if (FAILED(result)) {
    WriteErrorLog("取得に失敗。\n");
    WriteErrorLogFormat("エラーコード 0x%x", static_cast<unsigned>(result));
  } else {
    WriteErrorLog("成功\n");
    WriteErrorLog("引き続き初期化処理... ");
    auto* di7 = static_cast<IDirectInput7A*>(object);
    if (FAILED(di7->Initialize(module, 0x700))) {
      WriteErrorLog("初期化に失敗。");
      di7->Release();
    } else {
      InputDevices.directInput = di7;
    }
  }
  if (InputDevices.directInput == nullptr) {
    WriteErrorLog("DirectInput8 の取得を試みます...");
    object = nullptr;
    result = CoCreateInstance(CLSID_DirectInput8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput8A, &object);
    if (FAILED(result)) {
      WriteErrorLog("取得に失敗。");
    } else {
      auto* di8 = static_cast<IDirectInput8A*>(object);
      if (FAILED(di8->Initialize(module, 0x800))) {
        WriteErrorLog("初期化に失敗。");
        di8->Release();
      } else {
        InputDevices.directInput = di8;
        InputDevices.directInput8 = 1;
      }
    }
  }
  if (InputDevices.directInput == nullptr) {
    WriteErrorLog("DirectInput を使用しません。\n");
    return false;
  }
  WriteErrorLog("初期化成功\n");
  return true;
}

void ReleaseEffect(IDirectInputEffect*& effect) {
  if (effect == nullptr) return;
  effect->Stop();
  effect->Release();
  effect = nullptr;
}

void ReleaseJoypad(JoypadRecord& pad) {
  if (pad.device != nullptr) {
    pad.device->Unacquire();
    pad.device->SetEventNotification(nullptr);
  }
  ReleaseEffect(pad.constantEffect);
  ReleaseEffect(pad.periodicEffect);
  if (pad.device != nullptr) pad.device->Release();
  if (pad.event != nullptr) CloseHandle(pad.event);
  pad = JoypadRecord{};
}

bool SetAxisRange(IDirectInputDevice7A* device, DWORD axis) {
  DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, -1000, 1000};
  return SUCCEEDED(device->SetProperty(DIPROP_RANGE, &range.diph));
}

bool SetAxisDeadZone(IDirectInputDevice7A* device, DWORD axis) {
  DIPROPDWORD zone{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 5000};
  return SUCCEEDED(device->SetProperty(DIPROP_DEADZONE, &zone.diph));
}

// A sine wave (1.5 s period, rising over 0.5 s and fading over 1 s) and a
// constant force, both on the X and Y axes at full strength without end.
void CreateJoypadEffects(JoypadRecord& pad, IDirectInputDevice7A* device) {
  DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
  LONG direction[2] = {0, 0};
  DIENVELOPE envelope{sizeof(DIENVELOPE), 0, DI_SECONDS / 2, 0, DI_SECONDS};
  DIPERIODIC periodic{DI_FFNOMINALMAX, 0, 0, DI_SECONDS * 3 / 2};
  DIEFFECT effect{};
  effect.dwSize = sizeof effect;
  effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
  effect.dwDuration = INFINITE;
  effect.dwGain = DI_FFNOMINALMAX;
  effect.dwTriggerButton = DIEB_NOTRIGGER;
  effect.cAxes = 2;
  effect.rgdwAxes = axes;
  effect.rglDirection = direction;
  effect.lpEnvelope = &envelope;
  effect.cbTypeSpecificParams = sizeof periodic;
  effect.lpvTypeSpecificParams = &periodic;
  bool made = SUCCEEDED(device->CreateEffect(GUID_Sine, &effect, &pad.periodicEffect, nullptr));

  DICONSTANTFORCE constant{static_cast<LONG>(DI_FFNOMINALMAX)};
  effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
  effect.lpEnvelope = nullptr;
  effect.cbTypeSpecificParams = sizeof constant;
  effect.lpvTypeSpecificParams = &constant;
  made = SUCCEEDED(device->CreateEffect(GUID_ConstantForce, &effect, &pad.constantEffect, nullptr)) && made;
  if (!made) WriteErrorLog("周期的エフェクトの作成に失敗しました。\n");
}

// Enumeration callback: sets up one joypad and keeps it when its mandatory
// steps succeed.
BOOL AddJoypadDevice(const DIDEVICEINSTANCEA* instance, void*) {
  WriteErrorLog("入力装置を見つけました\n");
  JoypadRecord& pad = InputDevices.joypads[InputDevices.joypadCount];
  IDirectInputDevice7A* device = nullptr;
  if (FAILED(CreateInputDevice(instance->guidInstance, &device))) {
    WriteErrorLog("入力装置の取得に失敗しました\n");
    return DIENUM_CONTINUE;
  }
  DIDEVICEINSTANCEA info{};
  info.dwSize = sizeof info;
  device->GetDeviceInfo(&info);
  StrCopy(pad.instanceName, info.tszInstanceName);
  StrCopy(pad.productName, info.tszProductName);
  WriteErrorLogFormat("デバイスの登録名:%s", pad.instanceName);
  WriteErrorLogFormat("デバイスの製品登録名:%s", pad.productName);

  auto skip = [&](const char* message) {
    pad.device = device;
    ReleaseJoypad(pad);
    WriteErrorLog(message);
    return DIENUM_CONTINUE;
  };
  if (FAILED(device->SetDataFormat(&c_dfDIJoystick)))
    return skip("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
  if (FAILED(device->SetCooperativeLevel(MainHwnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND)))
    WriteErrorLog("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
  if (!SetAxisRange(device, DIJOFS_X)) return skip("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
  if (!SetAxisRange(device, DIJOFS_Y)) return skip("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
  SetAxisRange(device, DIJOFS_Z);
  SetAxisRange(device, DIJOFS_RZ);
  if (!SetAxisDeadZone(device, DIJOFS_X)) WriteErrorLog("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
  if (!SetAxisDeadZone(device, DIJOFS_Y)) WriteErrorLog("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
  SetAxisDeadZone(device, DIJOFS_Z);
  SetAxisDeadZone(device, DIJOFS_RZ);
  if (!InputSettings.forceFeedbackOff) CreateJoypadEffects(pad, device);

  pad.vibrationOn = 0;
  pad.vibrationPower = 10000;
  pad.constantPlaying = pad.periodicPlaying = 0;
  pad.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (FAILED(device->SetEventNotification(pad.event)))
    return skip("ジョイパッドイベントのセットアップが失敗しました\n");
  device->Acquire();
  pad.device = device;
  memset(&pad.state, 0, sizeof pad.state);
  ++InputDevices.joypadCount;
  WriteErrorLog("ジョイパッドの追加は正常に終了しました\n");
  return InputDevices.joypadCount < kMaxJoypads ? DIENUM_CONTINUE : DIENUM_STOP;
}

void EnumerateJoypads() {
  for (int i = 0; i < InputDevices.joypadCount; ++i) ReleaseJoypad(InputDevices.joypads[i]);
  InputDevices.joypadCount = 0;
  WriteErrorLog("ジョイパッドの初期化... \n");
  InputDevices.directInput->EnumDevices(InputDevices.directInput8 ? DI8DEVCLASS_GAMECTRL : DIDEVTYPE_JOYSTICK,
                                        AddJoypadDevice, nullptr, DIEDFL_ATTACHEDONLY);
  WriteErrorLog("ジョイパッドの初期化は正常に終了しました\n");
}

void StartMouse() {
  WriteErrorLog("マウスデバイスの初期化... ");
  IDirectInputDevice7A*& mouse = InputDevices.mouse;
  if (FAILED(CreateInputDevice(GUID_SysMouse, &mouse))) FatalErrorExit("マウスデバイスの取得に失敗しました");
  if (FAILED(mouse->SetDataFormat(&c_dfDIMouse2)))
    FatalErrorExit("マウスデバイスのデータ形式の設定に失敗しました");
  if (FAILED(mouse->SetCooperativeLevel(MainHwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
    FatalErrorExit("マウスデバイスの協調レベルの設定に失敗しました");
  WriteErrorLog("初期化成功\n");
}

// 0, or -1 when the keyboard's event cannot be set up.
int StartKeyboard() {
  WriteErrorLog("キーボードデバイスの初期化... ");
  IDirectInputDevice7A*& keyboard = InputDevices.keyboard;
  if (FAILED(CreateInputDevice(GUID_SysKeyboard, &keyboard)))
    FatalErrorExit("キーボードデバイスの取得に失敗しました");
  if (FAILED(keyboard->SetDataFormat(&c_dfDIKeyboard)))
    FatalErrorExit("キーボードデバイスのデータ形式の設定に失敗しました");
  if (FAILED(keyboard->SetCooperativeLevel(MainHwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
    FatalErrorExit("キーボードデバイスの協調レベルの設定に失敗しました");
  DIPROPDWORD buffer{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 100};
  if (FAILED(keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
    WriteErrorLog("キーボードのプロパティ設定に失敗しました\n");
  InputDevices.keyboardEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HRESULT result = keyboard->SetEventNotification(InputDevices.keyboardEvent);
  if (result != DI_OK && result != DI_POLLEDDEVICE) {
    WriteErrorLog("キーボードイベントのセットアップが失敗しました\n");
    return -1;
  }
  if (FAILED(keyboard->Acquire()) && FAILED(keyboard->Acquire()))
    FatalErrorExit("キーボードデバイスの取得に失敗しました");
  WriteErrorLog("初期化成功\n");
  return 0;
}

// The multimedia joystick services: every one of the 16 slots is polled, the
// pads that are not there read as zero.
void StartFallbackMode() {
  int found = 0;
  for (; found < kMaxJoypads; ++found) {
    JOYCAPSA caps{};
    if (joyGetDevCapsA(static_cast<uintptr_t>(found), &caps, sizeof caps) != JOYERR_NOERROR) break;
    InputDevices.joypads[found].hasZAndR =
        (caps.wCaps & JOYCAPS_HASZ) != 0 && (caps.wCaps & JOYCAPS_HASR) != 0 ? 1 : 0;
  }
  WriteErrorLogFormat("パッドの数は %d 個です", found);
  WriteErrorLog("入力関連の初期化をしました\n");
  InputDevices.joypadCount = kMaxJoypads;
  InputDevices.fallbackMode = 1;
}

int StartDirectInputDevices() {
  BringWindowToTop(MainHwnd);
  ProcessWindowMessages_Unlocked();
  EnumerateJoypads();
  StartMouse();
  int result = StartKeyboard();
  PopLogIndent();
  if (result == 0) WriteErrorLog("DirectInput 関連の初期化は正常に終了しました\n");
  return result;
}

}  // namespace

int InitInputSystem() {
  if (InputDevices.directInput != nullptr || InputDevices.fallbackMode || InputDevices.starting) return 0;
  InputDevices = InputDeviceState{};
  memset(KeyStateTable, 0, sizeof KeyStateTable);
  InputDevices.starting = 1;

  int result = 0;
  bool directInput = false;
  if (!InputSettings.directInputOff) {
    WriteErrorLog("DirectInput関係初期化処理\n");
    PushLogIndent();
    directInput = CreateDirectInput();
    if (!directInput) PopLogIndent();
  }
  if (directInput)
    result = StartDirectInputDevices();
  else
    StartFallbackMode();

  if (!padKeyMapFilled) {
    FillDefaultPadKeyMap();
    padKeyMapFilled = 1;
  }
  // A failed start-up ends here as well, so a later one can run.
  InputDevices.starting = 0;
  return result;
}

int EndInputSystem() {
  bool fallback = InputDevices.fallbackMode != 0;
  if (InputDevices.directInput == nullptr && !fallback) return 0;
  for (int i = 0; i < InputDevices.joypadCount; ++i) ReleaseJoypad(InputDevices.joypads[i]);
  InputDevices.joypadCount = 0;
  if (InputDevices.keyboard != nullptr) {
    InputDevices.keyboard->Unacquire();
    InputDevices.keyboard->Release();
    InputDevices.keyboard = nullptr;
  }
  if (InputDevices.keyboardEvent != nullptr) {
    CloseHandle(InputDevices.keyboardEvent);
    InputDevices.keyboardEvent = nullptr;
  }
  if (InputDevices.mouse != nullptr) {
    InputDevices.mouse->Unacquire();
    InputDevices.mouse->Release();
    InputDevices.mouse = nullptr;
  }
  if (InputDevices.directInput != nullptr) {
    InputDevices.directInput->Release();
    InputDevices.directInput = nullptr;
  }
  InputDevices.fallbackMode = 0;
  WriteErrorLog(fallback ? "入力関連の終了処理... 完了\n" : "DirectInput 関連の終了処理... 完了\n");
  return 0;
}

int ReacquireInputDevices() {
  DWORD level = (AppActive ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE) | DISCL_BACKGROUND;
  for (int i = 0; i < InputDevices.joypadCount; ++i) {
    IDirectInputDevice7A* device = InputDevices.joypads[i].device;
    if (device == nullptr) continue;
    device->Unacquire();
    device->SetCooperativeLevel(MainHwnd, level);
    device->Acquire();
  }
  if (InputDevices.keyboard != nullptr) {
    InputDevices.keyboard->Unacquire();
    InputDevices.keyboard->Acquire();
  }
  return 0;
}
