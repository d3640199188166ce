#include "platform/dinput/dinput.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dinput/dinput_classes.h"
#include "platform/win32/input_sources.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_sync.h"

// This system's own identifiers: Data1 names the thing, the rest marks them as ours.
#define ZR_DI_GUID(name, id) const GUID name = {id, 0x5A52, 0x4449, {'D', 'I', 'N', 'P', 'U', 'T', 0, 1}}
ZR_DI_GUID(CLSID_DirectInput, 0x00000700);
ZR_DI_GUID(CLSID_DirectInput8, 0x00000800);
ZR_DI_GUID(IID_IDirectInput7A, 0x00010700);
ZR_DI_GUID(IID_IDirectInput8A, 0x00010800);
ZR_DI_GUID(IID_IDirectInputDevice7A, 0x00020700);
ZR_DI_GUID(GUID_SysKeyboard, 0x00030001);
ZR_DI_GUID(GUID_SysMouse, 0x00030002);
ZR_DI_GUID(GUID_ConstantForce, 0x00040001);
ZR_DI_GUID(GUID_Sine, 0x00040002);
ZR_DI_GUID(DIPROP_BUFFERSIZE, 0x00050001);
ZR_DI_GUID(DIPROP_RANGE, 0x00050004);
ZR_DI_GUID(DIPROP_DEADZONE, 0x00050005);
#undef ZR_DI_GUID

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 0, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 11, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 16, DIDF_ABSAXIS, sizeof(DIJOYSTATE), 44, nullptr};

namespace {

uint32_t faults = 0;
int liveObjects = 0;

bool Fault(uint32_t which) { return (faults & which) != 0; }

// Joystick instances: Data1 is SDL's instance id, Data2 this tag.
constexpr uint16_t kJoystickTag = 0x4A53;
constexpr uint16_t kJoystickProductTag = 0x4A50;

GUID JoystickGuid(uint32_t id, uint16_t tag) {
  GUID g = {id, tag, 0x4449, {'D', 'I', 'N', 'P', 'U', 'T', 0, 2}};
  return g;
}

// Device names are Shift-JIS, cut after the last whole character that fits.
void CopyName(char (&out)[MAX_PATH], const char* utf8) {
  std::string sjis;
  Utf8ToSjis(utf8 != nullptr ? utf8 : "", sjis);
  size_t n = 0;
  while (n < sjis.size()) {
    unsigned char b = static_cast<unsigned char>(sjis[n]);
    size_t step = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) ? 2 : 1;
    if (n + step > sjis.size() || n + step >= MAX_PATH) break;
    n += step;
  }
  memcpy(out, sjis.data(), n);
  out[n] = '\0';
}

bool IsJoystickGuid(const GUID& g) {
  return g.Data2 == kJoystickTag && IsEqualGUID(g, JoystickGuid(g.Data1, kJoystickTag));
}

// A COM object's reference count; the object deletes itself at zero.
template <class Interface>
class ComObject : public Interface {
 public:
  ComObject() { ++liveObjects; }
  virtual ~ComObject() { --liveObjects; }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  HRESULT Answer(const IID& iid, const IID& own, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, own) || IsEqualGUID(iid, IID_IUnknown)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

 private:
  ULONG references_ = 1;
};

enum class DeviceKind { Keyboard, Mouse, Joystick };

struct AxisSetting {
  LONG min = 0;
  LONG max = 65535;
  DWORD deadZone = 0;  // ten-thousandths of the travel from the centre
};

// SDL's axis value as -1 to 1.
double UnitAxis(Sint16 value) { return value >= 0 ? value / 32767.0 : value / 32768.0; }

LONG ScaleAxis(const AxisSetting& a, double unit) {
  double dead = a.deadZone / 10000.0;
  double magnitude = std::fabs(unit);
  double v = (dead >= 1.0 || magnitude <= dead) ? 0.0 : (magnitude - dead) / (1.0 - dead);
  if (unit < 0) v = -v;
  double centre = (static_cast<double>(a.min) + a.max) / 2.0;
  double half = (static_cast<double>(a.max) - a.min) / 2.0;
  return static_cast<LONG>(std::lround(centre + v * half));
}

DWORD HatToPov(bool up, bool right, bool down, bool left) {
  if (up && !down) return right && !left ? 4500 : left && !right ? 31500 : 0;
  if (down && !up) return right && !left ? 13500 : left && !right ? 22500 : 18000;
  if (right && !left) return 9000;
  if (left && !right) return 27000;
  return 0xFFFFFFFFu;
}

DWORD HatToPov(Uint8 hat) {
  return HatToPov((hat & SDL_HAT_UP) != 0, (hat & SDL_HAT_RIGHT) != 0, (hat & SDL_HAT_DOWN) != 0,
                  (hat & SDL_HAT_LEFT) != 0);
}

class Device;

class Effect final : public ComObject<IDirectInputEffect> {
 public:
  Effect(Device* device, bool constant, uint16_t strength);
  ~Effect() override;
  HRESULT QueryInterface(const IID& iid, void** out) override { return Answer(iid, IID_IUnknown, out); }
  HRESULT Start(DWORD iterations, DWORD flags) override;
  HRESULT Stop() override;

  bool constant;
  uint16_t strength;
  bool playing = false;

 private:
  Device* device_;
};

class Device final : public ComObject<IDirectInputDevice7A> {
 public:
  Device(DeviceKind kind, SDL_Joystick* joystick, SDL_GameController* controller)
      : kind_(kind), joystick_(joystick), controller_(controller) {}

  ~Device() override {
    if (kind_ == DeviceKind::Keyboard) SetKeyboardNotifyEvent(nullptr);
    if (kind_ == DeviceKind::Mouse) SetMouseNotifyEvent(nullptr);
    if (joystick_ != nullptr) SDL_JoystickRumble(joystick_, 0, 0, 0);
    if (controller_ != nullptr)
      SDL_GameControllerClose(controller_);
    else if (joystick_ != nullptr)
      SDL_JoystickClose(joystick_);
    if (joystick_ != nullptr) StopSdlJoysticks();
  }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return Answer(iid, IID_IDirectInputDevice7A, out);
  }

  HRESULT GetDeviceState(DWORD size, void* data) override {
    if (data == nullptr || formatSize_ == 0 || size != formatSize_) return DIERR_INVALIDPARAM;
    if (!acquired_) return DIERR_NOTACQUIRED;
    switch (kind_) {
      case DeviceKind::Keyboard:
        PumpInputEvents();
        ReadDeviceKeys(static_cast<uint8_t*>(data));
        return DI_OK;
      case DeviceKind::Mouse: {
        PumpInputEvents();
        DIMOUSESTATE2 state{};
        ReadDeviceMouse(&state.lX, &state.lY, &state.lZ, state.rgbButtons);
        memcpy(data, &state, size);  // 16 bytes: the first four buttons
        return DI_OK;
      }
      case DeviceKind::Joystick:
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(joystick_)) return DIERR_INPUTLOST;
        ReadJoystick(static_cast<DIJOYSTATE*>(data));
        return DI_OK;
    }
    return DIERR_INVALIDPARAM;
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    if (acquired_) return DIERR_ACQUIRED;
    if (format == nullptr || format->dwSize != sizeof(DIDATAFORMAT)) return DIERR_INVALIDPARAM;
    bool fits = false;
    switch (kind_) {
      case DeviceKind::Keyboard:
        fits = format->dwDataSize == 256;
        break;
      case DeviceKind::Mouse:
        fits = format->dwDataSize == 16 || format->dwDataSize == sizeof(DIMOUSESTATE2);
        break;
      case DeviceKind::Joystick:
        fits = format->dwDataSize == sizeof(DIJOYSTATE) && !Fault(PlatformDiJoystickFormat);
        break;
    }
    if (!fits) return DIERR_INVALIDPARAM;
    formatSize_ = format->dwDataSize;
    return DI_OK;
  }

  HRESULT SetEventNotification(HANDLE event) override {
    if (acquired_) return DIERR_ACQUIRED;
    switch (kind_) {
      case DeviceKind::Keyboard:
        if (Fault(PlatformDiKeyboardEvent)) return DIERR_INVALIDPARAM;
        SetKeyboardNotifyEvent(event);
        return DI_OK;
      case DeviceKind::Mouse:
        SetMouseNotifyEvent(event);
        return DI_OK;
      case DeviceKind::Joystick:
        return DI_POLLEDDEVICE;
    }
    return DIERR_INVALIDPARAM;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    if (acquired_) return DIERR_ACQUIRED;
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool shared = (flags & DISCL_NONEXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    bool background = (flags & DISCL_BACKGROUND) != 0;
    if (exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
    // Shared access does not depend on the window, which may be gone already.
    if (exclusive && !IsWindow(window)) return DIERR_INVALIDPARAM;
    return DI_OK;
  }

  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override {
    if (info == nullptr || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
    switch (kind_) {
      case DeviceKind::Keyboard:
        FillInstance(info, GUID_SysKeyboard, GUID_SysKeyboard, 3, "Keyboard");
        break;
      case DeviceKind::Mouse:
        FillInstance(info, GUID_SysMouse, GUID_SysMouse, 2, "Mouse");
        break;
      case DeviceKind::Joystick: {
        uint32_t id = static_cast<uint32_t>(SDL_JoystickInstanceID(joystick_));
        uint32_t product = (static_cast<uint32_t>(SDL_JoystickGetProduct(joystick_)) << 16) |
                           SDL_JoystickGetVendor(joystick_);
        const char* name = controller_ != nullptr ? SDL_GameControllerName(controller_)
                                                  : SDL_JoystickName(joystick_);
        FillInstance(info, JoystickGuid(id, kJoystickTag), JoystickGuid(product, kJoystickProductTag),
                     DIDEVTYPE_JOYSTICK, name);
        break;
      }
    }
    return DI_OK;
  }

  HRESULT SetProperty(const GUID& property, const DIPROPHEADER* header) override {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (IsEqualGUID(property, DIPROP_BUFFERSIZE)) {
      if (acquired_) return DIERR_ACQUIRED;
      if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
      return DI_OK;  // events are not buffered here; the state is read whole
    }
    bool range = IsEqualGUID(property, DIPROP_RANGE);
    if (!range && !IsEqualGUID(property, DIPROP_DEADZONE)) return DIERR_UNSUPPORTED;
    if (kind_ != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
    if (header->dwSize != (range ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
    int first = 0, last = 7;
    if (header->dwHow == DIPH_BYOFFSET) {
      if (header->dwObj % 4 != 0 || header->dwObj / 4 > 7) return DIERR_INVALIDPARAM;
      first = last = static_cast<int>(header->dwObj / 4);
    } else if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) {
      return DIERR_INVALIDPARAM;
    }
    if (range) {
      const auto* r = reinterpret_cast<const DIPROPRANGE*>(header);
      if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
      if (Fault(PlatformDiJoystickRangeY) && header->dwObj == DIJOFS_Y) return DIERR_INVALIDPARAM;
      for (int i = first; i <= last; ++i) {
        axes_[i].min = r->lMin;
        axes_[i].max = r->lMax;
      }
    } else {
      DWORD zone = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
      if (zone > 10000) return DIERR_INVALIDPARAM;
      for (int i = first; i <= last; ++i) axes_[i].deadZone = zone;
    }
    return DI_OK;
  }

  HRESULT Acquire() override {
    if (formatSize_ == 0) return DIERR_INVALIDPARAM;
    if (kind_ == DeviceKind::Keyboard) {
      if (Fault(PlatformDiKeyboardAcquireOnce)) {
        faults &= ~static_cast<uint32_t>(PlatformDiKeyboardAcquireOnce);
        return DIERR_NOTACQUIRED;
      }
      if (Fault(PlatformDiKeyboardAcquire)) return DIERR_NOTACQUIRED;
    }
    if (kind_ == DeviceKind::Joystick && !SDL_JoystickGetAttached(joystick_)) return DIERR_UNPLUGGED;
    if (acquired_) return S_FALSE;
    acquired_ = true;
    return DI_OK;
  }

  HRESULT Unacquire() override {
    if (!acquired_) return DI_NOEFFECT;
    acquired_ = false;
    return DI_OK;
  }

  HRESULT CreateEffect(const GUID& kind, const DIEFFECT* parameters, IDirectInputEffect** out,
                       IUnknown* outer) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (kind_ != DeviceKind::Joystick || Fault(PlatformDiEffects) || !SDL_JoystickHasRumble(joystick_))
      return DIERR_UNSUPPORTED;
    if (parameters == nullptr || parameters->dwSize != sizeof(DIEFFECT) ||
        parameters->lpvTypeSpecificParams == nullptr)
      return DIERR_INVALIDPARAM;
    long magnitude;
    bool constant = IsEqualGUID(kind, GUID_ConstantForce);
    if (constant) {
      if (parameters->cbTypeSpecificParams != sizeof(DICONSTANTFORCE)) return DIERR_INVALIDPARAM;
      magnitude = std::labs(static_cast<const DICONSTANTFORCE*>(parameters->lpvTypeSpecificParams)->lMagnitude);
    } else if (IsEqualGUID(kind, GUID_Sine)) {
      if (parameters->cbTypeSpecificParams != sizeof(DIPERIODIC)) return DIERR_INVALIDPARAM;
      magnitude = static_cast<long>(static_cast<const DIPERIODIC*>(parameters->lpvTypeSpecificParams)->dwMagnitude);
    } else {
      return DIERR_UNSUPPORTED;
    }
    double share = std::min(1.0, magnitude / 10000.0) * std::min(1.0, parameters->dwGain / 10000.0);
    *out = new Effect(this, constant, static_cast<uint16_t>(std::lround(share * 65535.0)));
    return DI_OK;
  }

  HRESULT Poll() override {
    if (kind_ != DeviceKind::Joystick) return DI_NOEFFECT;
    if (!acquired_) return DIERR_NOTACQUIRED;
    SDL_JoystickUpdate();
    return SDL_JoystickGetAttached(joystick_) ? DI_OK : DIERR_INPUTLOST;
  }

  // The pad rumbles as strongly as its strongest playing effect of each kind:
  // constant forces drive the low-frequency motor, sine effects the high one.
  void UpdateRumble() {
    uint16_t low = 0, high = 0;
    for (const Effect* e : effects_) {
      if (!e->playing) continue;
      uint16_t& motor = e->constant ? low : high;
      motor = std::max(motor, e->strength);
    }
    SDL_JoystickRumble(joystick_, low, high, low != 0 || high != 0 ? SDL_MAX_UINT32 : 0);
  }
  void AddEffect(Effect* e) { effects_.push_back(e); }
  void RemoveEffect(Effect* e) { effects_.erase(std::remove(effects_.begin(), effects_.end(), e), effects_.end()); }

 private:
  static void FillInstance(DIDEVICEINSTANCEA* info, const GUID& instance, const GUID& product, DWORD type,
                           const char* name) {
    info->guidInstance = instance;
    info->guidProduct = product;
    info->dwDevType = type;
    CopyName(info->tszInstanceName, name);
    CopyName(info->tszProductName, name);
  }

  void ReadJoystick(DIJOYSTATE* state) {
    memset(state, 0, sizeof *state);
    double unit[8] = {};
    for (DWORD& pov : state->rgdwPOV) pov = 0xFFFFFFFFu;
    if (controller_ != nullptr) {
      SDL_GameController* c = controller_;
      unit[0] = UnitAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX));
      unit[1] = UnitAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
      unit[2] = UnitAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTX));
      unit[5] = UnitAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTY));
      // Triggers rest at the low end of their slider.
      unit[6] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT) / 32767.0 * 2.0 - 1.0;
      unit[7] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) / 32767.0 * 2.0 - 1.0;
      int n = 0;
      for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX && n < 32; ++b) {
        if (b >= SDL_CONTROLLER_BUTTON_DPAD_UP && b <= SDL_CONTROLLER_BUTTON_DPAD_RIGHT) continue;
        state->rgbButtons[n++] = SDL_GameControllerGetButton(c, static_cast<SDL_GameControllerButton>(b)) ? 0x80 : 0;
      }
      state->rgdwPOV[0] = HatToPov(SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP),
                                   SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
                                   SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN),
                                   SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT));
    } else {
      int axisCount = std::min(SDL_JoystickNumAxes(joystick_), 8);
      for (int a = 0; a < axisCount; ++a) unit[a] = UnitAxis(SDL_JoystickGetAxis(joystick_, a));
      int hats = std::min(SDL_JoystickNumHats(joystick_), 4);
      for (int h = 0; h < hats; ++h) state->rgdwPOV[h] = HatToPov(SDL_JoystickGetHat(joystick_, h));
      int buttons = std::min(SDL_JoystickNumButtons(joystick_), 32);
      for (int b = 0; b < buttons; ++b) state->rgbButtons[b] = SDL_JoystickGetButton(joystick_, b) ? 0x80 : 0;
    }
    LONG* slots[8] = {&state->lX,  &state->lY,  &state->lZ,           &state->lRx,
                      &state->lRy, &state->lRz, &state->rglSlider[0], &state->rglSlider[1]};
    for (int a = 0; a < 8; ++a) *slots[a] = ScaleAxis(axes_[a], unit[a]);
  }

  DeviceKind kind_;
  SDL_Joystick* joystick_;
  SDL_GameController* controller_;
  DWORD formatSize_ = 0;
  bool acquired_ = false;
  AxisSetting axes_[8];
  std::vector<Effect*> effects_;
};

Effect::Effect(Device* device, bool isConstant, uint16_t effectStrength)
    : constant(isConstant), strength(effectStrength), device_(device) {
  device_->AddRef();
  device_->AddEffect(this);
}

Effect::~Effect() {
  device_->RemoveEffect(this);
  if (playing) device_->UpdateRumble();
  device_->Release();
}

HRESULT Effect::Start(DWORD, DWORD) {
  playing = true;
  device_->UpdateRumble();
  return DI_OK;
}

HRESULT Effect::Stop() {
  playing = false;
  device_->UpdateRumble();
  return DI_OK;
}

// One object serves both versions; the version 8 interface is the shared part.
class DirectInput final : public ComObject<IDirectInput7A> {
 public:
  explicit DirectInput(DWORD version) : version_(version) {}
  ~DirectInput() override {
    if (joysticksStarted_) StopSdlJoysticks();
  }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return Answer(iid, version_ == 0x800 ? IID_IDirectInput8A : IID_IDirectInput7A, out);
  }

  HRESULT Initialize(HINSTANCE, DWORD version) override {
    if (Fault(version_ == 0x800 ? PlatformDiInitialize8 : PlatformDiInitialize7)) return E_FAIL;
    DWORD oldest = version_ == 0x800 ? 0x800 : 0x300;
    if (version < oldest) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > version_) return DIERR_BETADIRECTINPUTVERSION;
    // Without SDL's joysticks the object still works; it finds no joystick.
    if (!initialised_) joysticksStarted_ = StartSdlJoysticks();
    initialised_ = true;
    return DI_OK;
  }

  HRESULT EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD) override {
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if (callback == nullptr) return DIERR_INVALIDPARAM;
    if (type != DIDEVTYPE_JOYSTICK || !joysticksStarted_) return DI_OK;
    SDL_JoystickUpdate();
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
      DIDEVICEINSTANCEA info{};
      info.dwSize = sizeof info;
      uint32_t id = static_cast<uint32_t>(SDL_JoystickGetDeviceInstanceID(i));
      uint32_t product = (static_cast<uint32_t>(SDL_JoystickGetDeviceProduct(i)) << 16) |
                         SDL_JoystickGetDeviceVendor(i);
      info.guidInstance = JoystickGuid(id, kJoystickTag);
      info.guidProduct = JoystickGuid(product, kJoystickProductTag);
      info.dwDevType = DIDEVTYPE_JOYSTICK;
      const char* name = SDL_IsGameController(i) ? SDL_GameControllerNameForIndex(i) : SDL_JoystickNameForIndex(i);
      CopyName(info.tszInstanceName, name);
      CopyName(info.tszProductName, name);
      if (callback(&info, context) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT CreateDevice(const GUID& instance, IDirectInputDevice7A** out, IUnknown* outer) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (IsEqualGUID(instance, GUID_SysKeyboard)) {
      *out = new Device(DeviceKind::Keyboard, nullptr, nullptr);
      return DI_OK;
    }
    if (IsEqualGUID(instance, GUID_SysMouse)) {
      if (Fault(PlatformDiMouseCreate)) return DIERR_DEVICENOTREG;
      *out = new Device(DeviceKind::Mouse, nullptr, nullptr);
      return DI_OK;
    }
    if (!IsJoystickGuid(instance) || !joysticksStarted_) return DIERR_DEVICENOTREG;
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
      if (static_cast<uint32_t>(SDL_JoystickGetDeviceInstanceID(i)) != instance.Data1) continue;
      SDL_GameController* controller = SDL_IsGameController(i) ? SDL_GameControllerOpen(i) : nullptr;
      SDL_Joystick* joystick =
          controller != nullptr ? SDL_GameControllerGetJoystick(controller) : SDL_JoystickOpen(i);
      if (joystick == nullptr || !StartSdlJoysticks()) {
        if (controller != nullptr)
          SDL_GameControllerClose(controller);
        else if (joystick != nullptr)
          SDL_JoystickClose(joystick);
        return DIERR_DEVICENOTREG;
      }
      *out = new Device(DeviceKind::Joystick, joystick, controller);
      return DI_OK;
    }
    return DIERR_DEVICENOTREG;
  }

  HRESULT CreateDeviceEx(const GUID& instance, const IID& iid, void** out, IUnknown* outer) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IDirectInputDevice7A)) return E_NOINTERFACE;
    IDirectInputDevice7A* device = nullptr;
    HRESULT result = CreateDevice(instance, &device, outer);
    *out = device;
    return result;
  }

 private:
  DWORD version_;
  bool initialised_ = false;
  bool joysticksStarted_ = false;
};

}  // namespace

HRESULT CreateDirectInputClassObject(const CLSID& classId, const IID& iid, void** out) {
  DWORD version;
  const IID* own;
  if (IsEqualGUID(classId, CLSID_DirectInput)) {
    if (Fault(PlatformDiCreate7)) return REGDB_E_CLASSNOTREG;
    version = 0x700;
    own = &IID_IDirectInput7A;
  } else if (IsEqualGUID(classId, CLSID_DirectInput8)) {
    if (Fault(PlatformDiCreate8)) return REGDB_E_CLASSNOTREG;
    version = 0x800;
    own = &IID_IDirectInput8A;
  } else {
    return REGDB_E_CLASSNOTREG;
  }
  if (!IsEqualGUID(iid, *own) && !IsEqualGUID(iid, IID_IUnknown)) return E_NOINTERFACE;
  auto* object = new DirectInput(version);
  if (version == 0x800)
    *out = static_cast<IDirectInput8A*>(object);
  else
    *out = static_cast<IDirectInput7A*>(object);
  return S_OK;
}

void PlatformSetDirectInputFaults(uint32_t which) { faults = which; }

int PlatformDirectInputObjectCount() { return liveObjects; }
