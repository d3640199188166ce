// DirectInput 7 and 8: the input object, the system keyboard and mouse and
// joysticks as devices, and force-feedback effects, over SDL2.
//
// The keyboard reports keys by scan code (0x80 added for the extended keys),
// the mouse its motion since the last read and its buttons, both as SDL's
// events arrive on the window thread. Joysticks are SDL's joysticks and game
// controllers: a game controller reads its sticks as X, Y, Z and Rz, its
// triggers as the two sliders, its pad as the first point-of-view value and
// its buttons in SDL's order; a plain joystick reads its axes in order (X, Y,
// Z, Rx, Ry, Rz, two sliders), its hats as point-of-view values and its
// buttons. Force-feedback effects become the pad's rumble.
//
// Objects come from CoCreateInstance (CLSID_DirectInput with
// IID_IDirectInput7A, CLSID_DirectInput8 with IID_IDirectInput8A) and must be
// initialised with the matching version (0x700 or 0x800) before use.
#pragma once

#include <cstddef>

#include "platform/com/com.h"
#include "platform/win32/win32_window.h"

extern const CLSID CLSID_DirectInput;
extern const CLSID CLSID_DirectInput8;
extern const IID IID_IDirectInput7A;
extern const IID IID_IDirectInput8A;
extern const IID IID_IDirectInputDevice7A;

// Devices and effect kinds.
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_ConstantForce;
extern const GUID GUID_Sine;

// Properties.
extern const GUID DIPROP_BUFFERSIZE;
extern const GUID DIPROP_RANGE;
extern const GUID DIPROP_DEADZONE;

// Results.
constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_POLLEDDEVICE = 2;  // the device never sets its notification event
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
constexpr HRESULT DIERR_UNPLUGGED = static_cast<HRESULT>(0x80040209u);

// Cooperative levels.
constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DISCL_BACKGROUND = 0x8;

// Device enumeration: joysticks (DirectInput 7) and game controllers
// (DirectInput 8) share the type value.
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x1;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

// ---------------------------------------------------------------- device states

struct DIJOYSTATE {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];  // hundredths of a degree clockwise from up; 0xFFFFFFFF centred
  BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

struct DIMOUSESTATE2 {
  LONG lX, lY, lZ;  // motion since the last read; the wheel in steps of 120 a notch
  BYTE rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE2) == 20);

constexpr DWORD DIJOFS_X = offsetof(DIJOYSTATE, lX);
constexpr DWORD DIJOFS_Y = offsetof(DIJOYSTATE, lY);
constexpr DWORD DIJOFS_Z = offsetof(DIJOYSTATE, lZ);
constexpr DWORD DIJOFS_RX = offsetof(DIJOYSTATE, lRx);
constexpr DWORD DIJOFS_RY = offsetof(DIJOYSTATE, lRy);
constexpr DWORD DIJOFS_RZ = offsetof(DIJOYSTATE, lRz);

// A data format names the device kind by its state size: 256 bytes of keys,
// 20 bytes of mouse or 80 bytes of joystick. The object list is not examined.
struct DIOBJECTDATAFORMAT;
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  const DIOBJECTDATAFORMAT* rgodf;
};
constexpr DWORD DIDF_ABSAXIS = 0x1;
constexpr DWORD DIDF_RELAXIS = 0x2;
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse2;
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  char tszInstanceName[MAX_PATH];
  char tszProductName[MAX_PATH];
};

// ---------------------------------------------------------------- properties

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;  // DIPH_DEVICE: 0; DIPH_BYOFFSET: the axis's offset in the state
  DWORD dwHow;
};
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;

struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};

struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

// ---------------------------------------------------------------- effects

constexpr DWORD DI_FFNOMINALMAX = 10000;
constexpr DWORD DI_SECONDS = 1000000;
constexpr DWORD DI_DEGREES = 100;
constexpr DWORD DIEB_NOTRIGGER = 0xFFFFFFFFu;
constexpr DWORD DIEFF_OBJECTOFFSETS = 0x02;
constexpr DWORD DIEFF_CARTESIAN = 0x10;
constexpr DWORD DIEFF_POLAR = 0x20;

struct DIENVELOPE {
  DWORD dwSize;
  DWORD dwAttackLevel;
  DWORD dwAttackTime;  // microseconds
  DWORD dwFadeLevel;
  DWORD dwFadeTime;
};

struct DIPERIODIC {
  DWORD dwMagnitude;
  LONG lOffset;
  DWORD dwPhase;
  DWORD dwPeriod;  // microseconds
};

struct DICONSTANTFORCE {
  LONG lMagnitude;
};

struct DIEFFECT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDuration;  // microseconds; INFINITE for no end
  DWORD dwSamplePeriod;
  DWORD dwGain;
  DWORD dwTriggerButton;
  DWORD dwTriggerRepeatInterval;
  DWORD cAxes;
  DWORD* rgdwAxes;
  LONG* rglDirection;
  DIENVELOPE* lpEnvelope;
  DWORD cbTypeSpecificParams;
  void* lpvTypeSpecificParams;
  DWORD dwStartDelay;
};

struct IDirectInputEffect : IUnknown {
  virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
};

// ---------------------------------------------------------------- devices and the input object

struct IDirectInputDevice7A : IUnknown {
  // DIERR_NOTACQUIRED while not acquired; DIERR_INPUTLOST once a joystick is unplugged.
  virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  // The keyboard and mouse set the event whenever they report something;
  // joysticks answer DI_POLLEDDEVICE and never set it.
  virtual HRESULT SetEventNotification(HANDLE event) = 0;
  // DIERR_ACQUIRED while acquired. Exclusive access needs a live window.
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) = 0;
  // DIPROP_BUFFERSIZE of the device; DIPROP_RANGE and DIPROP_DEADZONE of a
  // joystick's axes (by offset, or all of them through DIPH_DEVICE).
  virtual HRESULT SetProperty(const GUID& property, const DIPROPHEADER* header) = 0;
  // Needs a data format; S_FALSE when already acquired.
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  // Joysticks only: GUID_ConstantForce or GUID_Sine.
  virtual HRESULT CreateEffect(const GUID& effect, const DIEFFECT* parameters, IDirectInputEffect** out,
                               IUnknown* outer) = 0;
  virtual HRESULT Poll() = 0;
};
// DirectInput 8 devices offer the same operations.
typedef IDirectInputDevice7A IDirectInputDevice8A;

// Returns DIENUM_CONTINUE or DIENUM_STOP.
typedef BOOL (*LPDIENUMDEVICESCALLBACKA)(const DIDEVICEINSTANCEA* instance, void* context);

// The operations both versions of the input object offer.
struct IDirectInputA : IUnknown {
  virtual HRESULT CreateDevice(const GUID& instance, IDirectInputDevice7A** out, IUnknown* outer) = 0;
  virtual HRESULT EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) = 0;
  virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
};
typedef IDirectInputA IDirectInput8A;

struct IDirectInput7A : IDirectInputA {
  // IID_IDirectInputDevice7A only.
  virtual HRESULT CreateDeviceEx(const GUID& instance, const IID& iid, void** out, IUnknown* outer) = 0;
};

// ---------------------------------------------------------------- tests only

// Failures the stand-in can be told to produce.
enum PlatformDirectInputFault : uint32_t {
  PlatformDiCreate7 = 1u << 0,            // creating the DirectInput 7 object
  PlatformDiInitialize7 = 1u << 1,        // initialising it
  PlatformDiCreate8 = 1u << 2,
  PlatformDiInitialize8 = 1u << 3,
  PlatformDiMouseCreate = 1u << 4,        // creating the system mouse
  PlatformDiKeyboardEvent = 1u << 5,      // the keyboard's event notification
  PlatformDiKeyboardAcquireOnce = 1u << 6, // the next keyboard acquisition
  PlatformDiKeyboardAcquire = 1u << 7,    // every keyboard acquisition
  PlatformDiJoystickFormat = 1u << 8,     // a joystick's data format
  PlatformDiJoystickRangeY = 1u << 9,     // a joystick's Y axis range
  PlatformDiEffects = 1u << 10,           // creating effects
};
void PlatformSetDirectInputFaults(uint32_t faults);
// The number of DirectInput objects and devices alive.
int PlatformDirectInputObjectCount();
