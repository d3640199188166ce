#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dinput/dinput.h"
#include "platform/win32/win32.h"

namespace {

int rumbleLow = -1;
int rumbleHigh = -1;

int RecordRumble(void*, Uint16 low, Uint16 high) {
  rumbleLow = low;
  rumbleHigh = high;
  return 0;
}

// COM on the test thread and SDL's joysticks for virtual pads.
class DirectInputTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    if (input != nullptr) input->Release();
    EXPECT_EQ(PlatformDirectInputObjectCount(), 0);
    for (SDL_Joystick* pad : pads) SDL_JoystickClose(pad);
    while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
    CoUninitialize();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  SDL_Joystick* Attach(int axes, int buttons, int hats, bool controller = false, const char* name = nullptr,
                       bool rumble = false) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = controller ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name;
    if (rumble) desc.Rumble = RecordRumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    EXPECT_NE(pad, nullptr);
    pads.push_back(pad);
    return pad;
  }
  void Start() {
    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                               reinterpret_cast<void**>(&input)),
              S_OK);
    ASSERT_EQ(input->Initialize(nullptr, 0x700), DI_OK);
  }
  std::vector<DIDEVICEINSTANCEA> Enumerate() {
    std::vector<DIDEVICEINSTANCEA> found;
    input->EnumDevices(
        DIDEVTYPE_JOYSTICK,
        [](const DIDEVICEINSTANCEA* i, void* list) {
          static_cast<std::vector<DIDEVICEINSTANCEA>*>(list)->push_back(*i);
          return DIENUM_CONTINUE;
        },
        &found, DIEDFL_ATTACHEDONLY);
    return found;
  }
  // The joystick of the enumeration's position, formatted and acquired.
  IDirectInputDevice7A* Open(int position) {
    IDirectInputDevice7A* device = nullptr;
    EXPECT_EQ(input->CreateDevice(Enumerate().at(position).guidInstance, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }
  static DIJOYSTATE Read(IDirectInputDevice7A* device) {
    DIJOYSTATE state{};
    EXPECT_EQ(device->Poll(), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    return state;
  }
  IDirectInput7A* input = nullptr;
  std::vector<SDL_Joystick*> pads;
};

TEST_F(DirectInputTest, ObjectsAreMadeAndInitialisedByVersion) {
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, 0, IID_IDirectInput8A, &object), E_NOINTERFACE);
  EXPECT_EQ(CoCreateInstance(IID_IDirectInput7A, nullptr, 0, IID_IDirectInput7A, &object), REGDB_E_CLASSNOTREG);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, 0, IID_IDirectInput7A, &object), CO_E_NOTINITIALIZED);
  CoInitialize(nullptr);

  ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, 0, IID_IDirectInput7A, reinterpret_cast<void**>(&input)),
            S_OK);
  IDirectInputDevice7A* device = nullptr;
  EXPECT_EQ(input->CreateDevice(GUID_SysKeyboard, &device, nullptr), DIERR_NOTINITIALIZED);
  EXPECT_EQ(input->Initialize(nullptr, 0x800), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(input->Initialize(nullptr, 0x200), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(input->Initialize(nullptr, 0x700), DI_OK);
  void* keyboard = nullptr;
  EXPECT_EQ(input->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInput7A, &keyboard, nullptr), E_NOINTERFACE);
  ASSERT_EQ(input->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, &keyboard, nullptr), DI_OK);
  static_cast<IDirectInputDevice7A*>(keyboard)->Release();

  IDirectInput8A* input8 = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_DirectInput8, nullptr, 0, IID_IDirectInput8A, reinterpret_cast<void**>(&input8)),
            S_OK);
  EXPECT_EQ(input8->Initialize(nullptr, 0x700), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(input8->Initialize(nullptr, 0x800), DI_OK);
  input8->Release();
}

TEST_F(DirectInputTest, JoysticksAreListedAndSetUpLikeDevices) {
  Attach(2, 2, 0, false, "\xE3\x83\x91\xE3\x83\x83\xE3\x83\x89");  // "パッド" in UTF-8
  Attach(2, 2, 0);
  Start();
  std::vector<DIDEVICEINSTANCEA> found = Enumerate();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_STREQ(found[0].tszProductName, "パッド");  // Shift-JIS, as the A interface gives text
  EXPECT_EQ(found[0].dwDevType, DIDEVTYPE_JOYSTICK);
  EXPECT_FALSE(IsEqualGUID(found[0].guidInstance, found[1].guidInstance));
  int calls = 0;
  input->EnumDevices(
      DIDEVTYPE_JOYSTICK, [](const DIDEVICEINSTANCEA*, void* n) { return ++*static_cast<int*>(n), DIENUM_STOP; },
      &calls, DIEDFL_ATTACHEDONLY);
  EXPECT_EQ(calls, 1);

  IDirectInputDevice7A* device = nullptr;
  ASSERT_EQ(input->CreateDevice(found[1].guidInstance, &device, nullptr), DI_OK);
  DIJOYSTATE state;
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INVALIDPARAM);  // no format yet
  EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_EXCLUSIVE | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  EXPECT_EQ(device->SetEventNotification(nullptr), DI_POLLEDDEVICE);
  EXPECT_EQ(device->Acquire(), DI_OK);
  EXPECT_EQ(device->Acquire(), S_FALSE);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
  EXPECT_EQ(device->GetDeviceState(sizeof state - 1, &state), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);

  // An unplugged pad is lost and cannot be taken again.
  SDL_JoystickClose(pads[1]);
  pads.pop_back();
  SDL_JoystickDetachVirtual(1);
  EXPECT_EQ(device->Poll(), DIERR_INPUTLOST);
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
  EXPECT_EQ(device->Unacquire(), DI_OK);
  EXPECT_EQ(device->Acquire(), DIERR_UNPLUGGED);
  device->Release();
  EXPECT_EQ(input->CreateDevice(found[1].guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
}

TEST_F(DirectInputTest, AxesFollowTheirRangeAndDeadZone) {
  SDL_Joystick* pad = Attach(3, 1, 0);
  Start();
  IDirectInputDevice7A* device = Open(0);
  DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, -1000, 1000};
  EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
  DIPROPDWORD zone{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, 5000};
  EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &zone.diph), DI_OK);
  zone.dwData = 10001;
  EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &zone.diph), DIERR_INVALIDPARAM);
  range.diph.dwObj = 3;  // no axis lies there
  EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM);
  // Z through the whole device: every axis takes it, X included.
  DIPROPRANGE all{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 0, 100};
  DIPROPRANGE x = range;
  x.diph.dwObj = DIJOFS_X;
  EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &all.diph), DI_OK);
  EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &x.diph), DI_OK);

  const struct {
    int16_t raw;
    LONG x;   // -1000 to 1000, half the travel dead
    LONG y;   // 0 to 100, no dead zone
  } cases[] = {{0, 0, 50},          {32767, 1000, 100}, {-32768, -1000, 0},
               {16384, 0, 75},      {24576, 500, 88},   {-24576, -500, 13}};
  for (const auto& c : cases) {
    SDL_JoystickSetVirtualAxis(pad, 0, c.raw);
    SDL_JoystickSetVirtualAxis(pad, 1, c.raw);
    DIJOYSTATE s = Read(device);
    EXPECT_EQ(s.lX, c.x) << c.raw;
    EXPECT_EQ(s.lY, c.y) << c.raw;
    EXPECT_EQ(s.lRz, 50) << c.raw;  // an axis the pad lacks rests in the middle
  }
  device->Release();
}

TEST_F(DirectInputTest, HatsButtonsAndTheControllerLayout) {
  SDL_Joystick* stick = Attach(0, 33, 2);
  SDL_Joystick* controller = Attach(6, 15, 0, true);
  Start();
  IDirectInputDevice7A* plain = Open(0);
  const struct {
    Uint8 hat;
    DWORD pov;
  } hats[] = {{SDL_HAT_CENTERED, 0xFFFFFFFFu}, {SDL_HAT_UP, 0},         {SDL_HAT_RIGHTUP, 4500},
              {SDL_HAT_RIGHT, 9000},           {SDL_HAT_RIGHTDOWN, 13500}, {SDL_HAT_DOWN, 18000},
              {SDL_HAT_LEFTDOWN, 22500},       {SDL_HAT_LEFT, 27000},   {SDL_HAT_LEFTUP, 31500}};
  for (const auto& h : hats) {
    SDL_JoystickSetVirtualHat(stick, 1, h.hat);
    DIJOYSTATE s = Read(plain);
    EXPECT_EQ(s.rgdwPOV[1], h.pov) << int(h.hat);
    EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
    EXPECT_EQ(s.rgdwPOV[2], 0xFFFFFFFFu);  // no third hat
  }
  SDL_JoystickSetVirtualButton(stick, 31, 1);
  SDL_JoystickSetVirtualButton(stick, 32, 1);
  DIJOYSTATE s = Read(plain);
  EXPECT_EQ(s.rgbButtons[31], 0x80);
  EXPECT_EQ(s.rgbButtons[0], 0);
  plain->Release();

  // Sticks as X, Y, Z and Rz, triggers as sliders, the pad as the first point
  // of view, the other buttons in order.
  IDirectInputDevice7A* pad = Open(1);
  SDL_JoystickSetVirtualAxis(controller, SDL_CONTROLLER_AXIS_LEFTX, -32768);
  SDL_JoystickSetVirtualAxis(controller, SDL_CONTROLLER_AXIS_RIGHTY, 32767);
  SDL_JoystickSetVirtualAxis(controller, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);  // released
  SDL_JoystickSetVirtualAxis(controller, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  SDL_JoystickSetVirtualButton(controller, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
  SDL_JoystickSetVirtualButton(controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  SDL_JoystickSetVirtualButton(controller, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1);
  s = Read(pad);
  EXPECT_EQ(s.lX, 0);
  EXPECT_EQ(s.lRz, 65535);
  EXPECT_EQ(s.lZ, 32768);
  EXPECT_EQ(s.rglSlider[0], 0);
  EXPECT_EQ(s.rglSlider[1], 65535);
  EXPECT_EQ(s.rgdwPOV[0], 31500u);
  std::vector<int> pressed;
  for (int b = 0; b < 32; ++b)
    if (s.rgbButtons[b]) pressed.push_back(b);
  EXPECT_EQ(pressed, std::vector<int>{SDL_CONTROLLER_BUTTON_RIGHTSHOULDER});
  pad->Release();
}

TEST_F(DirectInputTest, EffectsRumbleThePad) {
  Attach(2, 2, 0);
  Attach(2, 2, 0, false, "Rumbling", true);
  Start();
  DICONSTANTFORCE force{5000};
  DIEFFECT effect{};
  effect.dwSize = sizeof effect;
  effect.dwGain = 10000;
  effect.cbTypeSpecificParams = sizeof force;
  effect.lpvTypeSpecificParams = &force;
  IDirectInputEffect* constant = nullptr;
  IDirectInputDevice7A* still = Open(0);
  EXPECT_EQ(still->CreateEffect(GUID_ConstantForce, &effect, &constant, nullptr), DIERR_UNSUPPORTED);
  still->Release();

  IDirectInputDevice7A* device = Open(1);
  ASSERT_EQ(device->CreateEffect(GUID_ConstantForce, &effect, &constant, nullptr), DI_OK);
  DIPERIODIC wave{10000, 0, 0, DI_SECONDS};
  effect.cbTypeSpecificParams = sizeof wave;
  effect.lpvTypeSpecificParams = &wave;
  IDirectInputEffect* sine = nullptr;
  EXPECT_EQ(device->CreateEffect(GUID_ConstantForce, &effect, &sine, nullptr), DIERR_INVALIDPARAM);
  ASSERT_EQ(device->CreateEffect(GUID_Sine, &effect, &sine, nullptr), DI_OK);
  device->Release();  // the effects keep the device

  constant->Start(1, 0);
  EXPECT_EQ(rumbleLow, 32768);
  EXPECT_EQ(rumbleHigh, 0);
  sine->Start(1, 0);
  EXPECT_EQ(rumbleHigh, 65535);
  constant->Stop();
  EXPECT_EQ(rumbleLow, 0);
  EXPECT_EQ(rumbleHigh, 65535);
  sine->Release();  // a playing effect stops when released
  EXPECT_EQ(rumbleHigh, 0);
  constant->Release();
}

}  // namespace
