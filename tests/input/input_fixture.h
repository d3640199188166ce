// A fixture for the input tests: the library fixture's settings, input's
// settings and the stand-in's faults reset, SDL's joysticks for virtual pads,
// and helpers that push keys and mouse buttons through SDL and run frames.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/input/input_devices.h"
#include "library/input/key_input.h"
#include "tests/core/library_fixture.h"
#include "tests/support/test_support.h"

inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class InputTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    InputSettings = InputSettingsState{};
    PlatformSetDirectInputFaults(0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  }

  void TearDown() override {
    ReleaseHeldKeys();
    LibraryTest::TearDown();
    EndInputSystem();  // input started without the library
    for (SDL_Joystick* pad : pads_) SDL_JoystickClose(pad);
    while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    InputSettings = InputSettingsState{};
    PlatformSetDirectInputFaults(0);
  }

  // A virtual pad; the returned joystick sets its axes, buttons and hats.
  SDL_Joystick* AttachPad(int axes, int buttons, int hats, bool controller = false) {
    int index = SDL_JoystickAttachVirtual(controller ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_UNKNOWN,
                                          axes, buttons, hats);
    SDL_Joystick* pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    EXPECT_NE(pad, nullptr) << SDL_GetError();
    if (pad != nullptr) pads_.push_back(pad);
    return pad;
  }

  static void PushKey(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = PlatformSdlWindowId(MainHwnd);
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
  }

  // The keyboard state belongs to the process: a key a test left held would
  // still be down in the next test of the same program.
  static void ReleaseHeldKeys() {
    if (MainHwnd == nullptr || !IsWindow(MainHwnd)) return;
    BYTE state[256];
    if (!GetKeyboardState(state)) return;
    bool held = false;
    for (BYTE s : state) held = held || (s & 0x80) != 0;
    if (!held) return;
    for (int code = SDL_SCANCODE_A; code < SDL_NUM_SCANCODES; ++code) PushKey(static_cast<SDL_Scancode>(code), false);
    Frame();
  }

  static void PushMouseButton(uint8_t button, bool down, int x = 10, int y = 10) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = PlatformSdlWindowId(MainHwnd);
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }

  static void PushText(const std::string& utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = PlatformSdlWindowId(MainHwnd);
    SDL_strlcpy(e.text.text, utf8.c_str(), sizeof e.text.text);
    SDL_PushEvent(&e);
  }

  static void PushEditing(const std::string& utf8, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    e.edit.windowID = PlatformSdlWindowId(MainHwnd);
    SDL_strlcpy(e.edit.text, utf8.c_str(), sizeof e.edit.text);
    e.edit.start = start;
    e.edit.length = length;
    SDL_PushEvent(&e);
  }

  // Frames (a millisecond, then the pump) until every queued message is
  // delivered, so the key table is refreshed after the last of them.
  static void Frame() {
    MSG m;
    for (int i = 0; i < 50; ++i) {
      Sleep(1);
      ProcessWindowMessages();
      if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) break;
    }
  }

  static std::string LogText() {
    std::string all;
    for (const std::string& line : ReadLogLines("Log.txt")) all += line + "\n";
    return all;
  }

 private:
  std::vector<SDL_Joystick*> pads_;
};
