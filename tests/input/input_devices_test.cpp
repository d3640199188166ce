#include <climits>
#include <functional>

#include "library/core/library_state.h"
#include "tests/input/input_fixture.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two pads: the first a plain joystick (2 axes, 32 buttons, a hat), the
// second a game controller.
class PadTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    first = AttachPad(2, 32, 1);
    second = AttachPad(6, 15, 0, true);
    ASSERT_EQ(InitLibrary(), 0);
  }
  // Everything released and centred.
  void Rest() {
    for (SDL_Joystick* pad : {first, second}) {
      for (int a = 0; a < SDL_JoystickNumAxes(pad); ++a) SDL_JoystickSetVirtualAxis(pad, a, 0);
      for (int b = 0; b < SDL_JoystickNumButtons(pad); ++b) SDL_JoystickSetVirtualButton(pad, b, 0);
      for (int h = 0; h < SDL_JoystickNumHats(pad); ++h) SDL_JoystickSetVirtualHat(pad, h, SDL_HAT_CENTERED);
    }
    for (SDL_Scancode key : {SDL_SCANCODE_DOWN, SDL_SCANCODE_KP_2, SDL_SCANCODE_Z, SDL_SCANCODE_SPACE,
                             SDL_SCANCODE_ESCAPE, SDL_SCANCODE_A})
      PushKey(key, false);
    Frame();
  }
  SDL_Joystick* first = nullptr;
  SDL_Joystick* second = nullptr;
};

TEST_F(PadTest, StartUpNamesThePadsAndShutDownReleasesEverything) {
  EXPECT_EQ(InputDevices.joypadCount, 2);
  EXPECT_EQ(InputDevices.directInput8, 0);
  std::string log = LogText();
  // Neither virtual pad rumbles, so neither has effects.
  EXPECT_TRUE(Contains(log, "\tジョイパッドの初期化... \n"
                            "\t入力装置を見つけました\n\tデバイスの登録名:Virtual Joystick\n"
                            "\tデバイスの製品登録名:Virtual Joystick\n\t周期的エフェクトの作成に失敗しました。\n"
                            "\tジョイパッドの追加は正常に終了しました\n"
                            "\t入力装置を見つけました\n\tデバイスの登録名:Virtual Controller\n"))
      << SjisForPrint(log);
  EXPECT_GT(PlatformDirectInputObjectCount(), 0);
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_EQ(PlatformDirectInputObjectCount(), 0);
  EXPECT_EQ(InputDevices.joypadCount, 0);
  EXPECT_EQ(InputDevices.directInput, nullptr);
}

TEST_F(PadTest, PadBitsFollowKeysAxesAndButtons) {
  struct Case {
    const char* what;
    std::function<void()> set;
    int pad;
    int bits;
  };
  auto key = [](SDL_Scancode k) { return [k] { PushKey(k, true); }; };
  auto axis = [this](int a, int16_t v) { return [this, a, v] { SDL_JoystickSetVirtualAxis(first, a, v); }; };
  auto button = [](SDL_Joystick*& pad, int b) { return [&pad, b] { SDL_JoystickSetVirtualButton(pad, b, 1); }; };
  const Case cases[] = {
      {"cursor down on pad 1's keys", key(SDL_SCANCODE_DOWN), 0x1000, 0x1},
      {"keypad 2 on pad 1's keys", key(SDL_SCANCODE_KP_2), 0x1000, 0x1},
      {"Space with pad 1", key(SDL_SCANCODE_SPACE), 1 | 0x1000, 0x2000},
      {"Esc", key(SDL_SCANCODE_ESCAPE), 0x1000, 0x1000},
      {"a key alone is no pad input", key(SDL_SCANCODE_Z), 1, 0},
      {"A is pad 1's 0x80", key(SDL_SCANCODE_A), 0x1000, 0x80},
      {"X left", axis(0, -32768), 1, 0x2},
      {"X right", axis(0, 32767), 1, 0x4},
      {"Y up", axis(1, -32768), 1, 0x8},
      {"Y down", axis(1, 32767), 1, 0x1},
      {"inside the dead zone", axis(0, 12000), 1, 0},
      {"button 0", button(first, 0), 1, 0x10},
      {"button 23", button(first, 23), 1, 0x8000000},
      {"button 24 is past the pad bits", button(first, 24), 1, 0},
      {"the hat is no pad input", [this] { SDL_JoystickSetVirtualHat(first, 0, SDL_HAT_UP); }, 1, 0},
      {"pad 2's B", button(second, SDL_CONTROLLER_BUTTON_B), 2, 0x20},
      {"pad 2's stick", [this] { SDL_JoystickSetVirtualAxis(second, 0, 32767); }, 2, 0x4},
      {"pad and keys together", [&] { axis(0, -32768)(); key(SDL_SCANCODE_Z)(); }, 1 | 0x1000, 0x12},
      {"pad 3 does not exist", button(first, 0), 3, 0},
      {"pad 3's keys: none by default", key(SDL_SCANCODE_Z), 3 | 0x1000, 0},
      {"pad 16's keys", key(SDL_SCANCODE_Z), 16 | 0x1000, 0},
      {"pad 17 lies past the key map", key(SDL_SCANCODE_Z), 17 | 0x1000, 0},
      {"pad 0", button(first, 0), 0, 0},
      {"a negative pad", key(SDL_SCANCODE_Z), -5, 0},
      {"the lowest pad number", key(SDL_SCANCODE_Z), INT_MIN, 0},
  };
  for (const Case& c : cases) {
    Rest();
    c.set();
    Frame();
    EXPECT_EQ(GetPadInputBits(c.pad), c.bits) << c.what;
  }
  Rest();  // the keyboard state is the process's: no key stays held for later tests
}

TEST_F(InputTest, WithoutPadsOnlyTheKeysAnswer) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(InputDevices.joypadCount, 0);
  PushKey(SDL_SCANCODE_X, true);
  Frame();
  EXPECT_EQ(GetPadInputBits(1), 0);
  EXPECT_EQ(GetPadInputBits(3), 0);
  EXPECT_EQ(GetPadInputBits(3 | 0x1000), 0);
  EXPECT_EQ(GetPadInputBits(1 | 0x1000), 0x20);
}

TEST_F(PadTest, AnyInputSkipsTheLockKeysAndReportsF10PadsAndMouse) {
  PushKey(SDL_SCANCODE_CAPSLOCK, true);
  Frame();
  EXPECT_EQ(CheckAnyInput(1), 0);
  PushKey(SDL_SCANCODE_S, true);
  Frame();
  EXPECT_EQ(CheckAnyInput(1), 0x1F);
  PushKey(SDL_SCANCODE_S, false);
  Frame();

  SendMessageA(MainHwnd, 0x46F, 1, 0);
  EXPECT_EQ(CheckAnyInput(1), 0x44);
  SendMessageA(MainHwnd, 0x46F, 0, 0);
  SendMessageA(MainHwnd, 0x470, 1, 0);
  EXPECT_EQ(InputSecondFlag, 1);
  EXPECT_EQ(CheckAnyInput(1), 0);

  SDL_JoystickSetVirtualButton(second, 2, 1);
  Sleep(1);
  EXPECT_EQ(CheckAnyInput(1), -1);
  EXPECT_EQ(CheckAnyInput(4), 0);
  SDL_JoystickSetVirtualButton(second, 2, 0);
  Sleep(1);

  PushMouseButton(SDL_BUTTON_LEFT, true, 700, 10);  // right of the client area
  Frame();
  EXPECT_EQ(CheckAnyInput(4), 0);
  PushMouseButton(SDL_BUTTON_LEFT, false, 700, 10);
  PushMouseButton(SDL_BUTTON_LEFT, true, 20, 30);
  Frame();
  EXPECT_EQ(CheckAnyInput(4), -1);
  EXPECT_EQ(CheckAnyInput(2), 0);  // the mouse is bit 4, not 2
  EXPECT_EQ(CheckAnyInput(1), 0);
}

TEST_F(InputTest, KeyStateFollowsKeyEvents) {
  ASSERT_EQ(InitLibrary(), 0);
  uint8_t keys[256];
  auto held = [&] {
    std::vector<int> codes;
    EXPECT_EQ(GetAllKeyState(keys), 0);
    for (int i = 0; i < 256; ++i)
      if (keys[i]) codes.push_back(i);
    return codes;
  };
  PushKey(SDL_SCANCODE_A, true);
  PushKey(SDL_SCANCODE_LSHIFT, true);
  PushKey(SDL_SCANCODE_RSHIFT, true);
  PushKey(SDL_SCANCODE_KP_ENTER, true);
  Frame();
  EXPECT_EQ(held(), (std::vector<int>{0x1C, 0x1E, 0x2A, 0x36, 0x9C}));  // Enter reads as both Enter keys
  EXPECT_EQ(CheckKeyDown(0x36), 1);
  PushKey(SDL_SCANCODE_A, false);
  PushKey(SDL_SCANCODE_LSHIFT, false);
  PushKey(SDL_SCANCODE_KP_ENTER, false);
  Frame();
  EXPECT_EQ(held(), (std::vector<int>{0x36}));
  EXPECT_EQ(CheckKeyDown(0x1E), 0);
  EXPECT_EQ(CheckKeyDown(-1), 0);
  EXPECT_EQ(CheckKeyDown(256), 0);

  // The table is read once a millisecond, by the thread holding the lock.
  PushKey(SDL_SCANCODE_B, true);
  ProcessWindowMessages();
  EXPECT_EQ(CheckKeyDown(0x30), 0);
  Frame();
  EXPECT_EQ(CheckKeyDown(0x30), 1);
}

TEST_F(InputTest, MouseButtonsThroughTheKeyboardState) {
  ASSERT_EQ(InitLibrary(), 0);
  PushMouseButton(SDL_BUTTON_LEFT, true);
  Frame();
  EXPECT_EQ(GetMouseInput(), 1);
  PushMouseButton(SDL_BUTTON_RIGHT, true);
  PushMouseButton(SDL_BUTTON_MIDDLE, true);
  PushMouseButton(SDL_BUTTON_X1, true);  // not seen by the keyboard state
  Frame();
  EXPECT_EQ(GetMouseInput(), 7);
  PushMouseButton(SDL_BUTTON_LEFT, false);
  PushMouseButton(SDL_BUTTON_MIDDLE, false);
  Frame();
  EXPECT_EQ(GetMouseInput(), 2);
}

TEST_F(InputTest, DirectInputReadsKeyboardAndMouseWhenAskedTo) {
  InputSettings.directInputKeyboardAlways = 1;
  ASSERT_EQ(InitLibrary(), 0);
  Frame();
  // The keyboard's event brings a refresh within the same millisecond.
  PushKey(SDL_SCANCODE_RSHIFT, true);
  PushKey(SDL_SCANCODE_Q, true);
  ProcessWindowMessages();
  EXPECT_EQ(CheckKeyDown(0x36), 1);
  EXPECT_EQ(CheckKeyDown(0x10), 1);
  PushKey(SDL_SCANCODE_RSHIFT, false);
  Frame();
  EXPECT_EQ(CheckKeyDown(0x36), 0);
  EXPECT_EQ(CheckKeyDown(0x10), 1);

  PushMouseButton(SDL_BUTTON_X1, true);
  PushMouseButton(SDL_BUTTON_RIGHT, true);
  Frame();
  EXPECT_EQ(GetMouseInput(), 2 | 8);
}

TEST_F(InputTest, FallbackModeReadsTheSystemKeyboardAndJoysticks) {
  InputSettings.directInputOff = 1;
  SDL_Joystick* pad = AttachPad(4, 26, 0);
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(InputDevices.fallbackMode, 1);
  EXPECT_EQ(InputDevices.joypadCount, 16);
  EXPECT_EQ(InputDevices.joypads[0].hasZAndR, 1u);
  std::string log = LogText();
  EXPECT_TRUE(Contains(log, "パッドの数は 1 個です\n入力関連の初期化をしました\n")) << SjisForPrint(log);
  EXPECT_FALSE(Contains(log, "DirectInput"));

  SDL_JoystickSetVirtualAxis(pad, 0, -32768);
  SDL_JoystickSetVirtualAxis(pad, 1, 32767);
  SDL_JoystickSetVirtualButton(pad, 23, 1);
  SDL_JoystickSetVirtualButton(pad, 25, 1);  // past the 24 buttons read here
  PushKey(SDL_SCANCODE_C, true);
  Frame();
  EXPECT_EQ(GetPadInputBits(1 | 0x1000), 0x2 | 0x1 | 0x8000000 | 0x40);
  EXPECT_EQ(GetPadInputBits(2), 0);  // every slot answers; absent pads read zero
  SDL_JoystickSetVirtualAxis(pad, 3, 8192 - 32768);
  Sleep(1);
  GetPadInputBits(1);
  EXPECT_EQ(InputDevices.joypads[0].state.lRz, -500);

  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_TRUE(Contains(LogText(), "入力関連の終了処理... 完了\n"));
}

TEST(FallbackAxis, MapsTheRawScaleWithAWideCentre) {
  const struct {
    uint32_t raw;
    int32_t mapped;
  } cases[] = {{0, -1000}, {8192, -500}, {16383, 0}, {16384, 0}, {20000, 0}, {32767, 0},
               {49152, 0}, {57344, 500}, {65535, 999}, {70000, 999}};
  for (const auto& c : cases) EXPECT_EQ(MapFallbackAxis(c.raw), c.mapped) << c.raw;
}

TEST_F(InputTest, StartUpFallsBackStepByStep) {
  struct Case {
    uint32_t faults;
    int pads;  // joypads attached for the case
    const char* log;
    int directInput8;
    int fallback;
    int joypads;
  };
  const Case cases[] = {
      {PlatformDiCreate7, 0,
       "\tDirectInput7 の取得中... 取得に失敗。\n\tエラーコード 0x80040154\n"
       "\tDirectInput8 の取得を試みます...初期化成功\n",
       1, 0, 0},
      {PlatformDiInitialize7, 0,
       "\t引き続き初期化処理... 初期化に失敗。DirectInput8 の取得を試みます...初期化成功\n", 1, 0, 0},
      {PlatformDiCreate7 | PlatformDiCreate8, 0,
       "DirectInput8 の取得を試みます...取得に失敗。DirectInput を使用しません。\nパッドの数は 0 個です\n", 0, 1,
       16},
      {PlatformDiInitialize7 | PlatformDiInitialize8, 0,
       "DirectInput8 の取得を試みます...初期化に失敗。DirectInput を使用しません。\n", 0, 1, 16},
      {PlatformDiKeyboardAcquireOnce, 0, "\tキーボードデバイスの初期化... 初期化成功\n", 0, 0, 0},
      {PlatformDiJoystickFormat, 1,
       "\tジョイパッドデバイスではありませんでした、又は設定に失敗しました\n\tジョイパッドの初期化は正常に終了しました\n",
       0, 0, 0},
      {PlatformDiJoystickRangeY, 1, "\tジョイパッドデバイスのＹ軸関係の設定に失敗しました\n", 0, 0, 0},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < c.pads; ++i) AttachPad(2, 4, 0);
    PlatformSetDirectInputFaults(c.faults);
    ASSERT_EQ(InitLibrary(), 0) << c.faults;
    std::string log = LogText();
    EXPECT_TRUE(Contains(log, c.log)) << c.faults << "\n" << SjisForPrint(log);
    EXPECT_EQ(InputDevices.directInput8, c.directInput8) << c.faults;
    EXPECT_EQ(InputDevices.fallbackMode, c.fallback) << c.faults;
    EXPECT_EQ(InputDevices.joypadCount, c.joypads) << c.faults;
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(PlatformDirectInputObjectCount(), 0) << c.faults;
  }
}

TEST_F(InputTest, KeyboardEventsThatCannotBeSetUpFailTheStartUp) {
  PlatformSetDirectInputFaults(PlatformDiKeyboardEvent);
  EXPECT_EQ(InitLibrary(), -1);
  std::string log = LogText();
  EXPECT_TRUE(Contains(log, "\tキーボードデバイスの初期化... キーボードイベントのセットアップが失敗しました\n"
                            "DirectInput 関連の終了処理... 完了\n"))
      << SjisForPrint(log);
  EXPECT_EQ(PlatformDirectInputObjectCount(), 0);
  // A later start-up runs in full.
  PlatformSetDirectInputFaults(0);
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_NE(InputDevices.keyboard, nullptr);
}

TEST_F(InputTest, UnusableMouseOrKeyboardEndsTheProgram) {
  const struct {
    uint32_t faults;
    const char* line;
  } cases[] = {{PlatformDiMouseCreate, "\tマウスデバイスの初期化... マウスデバイスの取得に失敗しました"},
               {PlatformDiKeyboardAcquire, "\tキーボードデバイスの初期化... キーボードデバイスの取得に失敗しました"}};
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          PlatformSetDirectInputFaults(c.faults);
          InitLibrary();
        },
        testing::ExitedWithCode(255), "");
    std::string log = LogText();
    EXPECT_TRUE(Contains(log, std::string(c.line) + "\n")) << SjisForPrint(log);
  }
}

TEST_F(InputTest, AQueryBeforeStartUpStartsInputInstead) {
  EXPECT_EQ(GetPadInputBits(0x1000), 0);
  // Without COM there is no DirectInput.
  EXPECT_EQ(InputDevices.fallbackMode, 1);
  EXPECT_EQ(EndInputSystem(), 0);

  // After shut-down a query starts nothing.
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(CheckKeyDown(0x2C), 0);
  EXPECT_EQ(InputDevices.directInput, nullptr);
  EXPECT_EQ(InputDevices.fallbackMode, 0);
}

struct Rumble {
  int calls = 0;
  uint16_t low = 0, high = 0;
};
Rumble rumble;

int RecordRumble(void*, Uint16 low, Uint16 high) {
  ++rumble.calls;
  rumble.low = low;
  rumble.high = high;
  return 0;
}

TEST_F(InputTest, VibrationPlaysWhileOnAndStopsWhenDoneOrInactive) {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.naxes = 2;
  desc.nbuttons = 4;
  desc.Rumble = RecordRumble;
  ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0);
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(InputDevices.joypadCount, 1);
  JoypadRecord& pad = InputDevices.joypads[0];
  ASSERT_NE(pad.constantEffect, nullptr);
  ASSERT_NE(pad.periodicEffect, nullptr);
  EXPECT_EQ(pad.vibrationPower, 10000);

  pad.vibrationOn = 1;
  pad.vibrationDuration = 100;
  pad.vibrationLastStep = timeGetTime();
  UpdateJoypadVibrationTimer();
  EXPECT_EQ(rumble.low, 65535);  // the constant force
  EXPECT_EQ(rumble.high, 65535);  // the sine wave, above half power
  pad.vibrationPower = 5000;
  UpdateJoypadVibrationTimer();
  EXPECT_EQ(rumble.low, 65535);
  EXPECT_EQ(rumble.high, 0);

  Sleep(100);
  UpdateJoypadVibrationTimer();
  EXPECT_EQ(pad.vibrationOn, 0u);
  EXPECT_EQ(pad.vibrationPower, 10000);
  EXPECT_EQ(rumble.low, 0);
  EXPECT_EQ(pad.constantPlaying, 0u);

  // No limit; the application going to the background stops it.
  pad.vibrationOn = 1;
  pad.vibrationDuration = -1;
  pad.vibrationLastStep = timeGetTime();
  Sleep(5000);
  UpdateJoypadVibrationTimer();
  EXPECT_EQ(pad.vibrationOn, 1u);
  EXPECT_EQ(rumble.high, 65535);
  AppActive = 0;
  ApplyJoypadVibration();
  AppActive = 1;
  EXPECT_EQ(rumble.low, 0);
  EXPECT_EQ(rumble.high, 0);
  EXPECT_EQ(pad.periodicPlaying, 0u);
}

}  // namespace
