#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace {

std::vector<MSG> handled;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  handled.push_back(MSG{window, message, wParam, lParam, 0, {}});
  return DefWindowProcA(window, message, wParam, lParam);
}

// A registered class and one window of it, destroyed afterwards.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    handled.clear();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
    wc.lpszClassName = "TestClass";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window = CreateWindowExA(0, "TestClass", "t", WS_POPUP | WS_CAPTION, 10, 10, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    handled.clear();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA("TestClass", nullptr));
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // Takes and dispatches every message, translating key-downs; returns them.
  std::vector<MSG> Pump() {
    std::vector<MSG> taken;
    MSG m;
    for (int i = 0; i < 100 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
      taken.push_back(m);
      if (m.message == WM_QUIT) break;
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    return taken;
  }
  void PushKey(SDL_Scancode code, bool down, uint16_t mod = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = PlatformSdlWindowId(window);
    e.key.keysym.scancode = code;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }
  HWND window = nullptr;
};

TEST_F(WindowTest, QueueOrderPostedThenQuitThenPaint) {
  InvalidateRect(window, nullptr, FALSE);
  PostQuitMessage(3);
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(window, WM_USER + 1, 2, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));  // a look leaves it queued
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));  // a range picks
  EXPECT_EQ(m.message, WM_USER + 1u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  // WM_PAINT stays until the window is painted.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
  }
  DispatchMessageA(&m);  // the default procedure paints
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, KeysBecomeKeyDownsAndCharacters) {
  PushKey(SDL_SCANCODE_DELETE, true);
  PushKey(SDL_SCANCODE_DELETE, false);
  PushKey(SDL_SCANCODE_LCTRL, true);
  PushKey(SDL_SCANCODE_RETURN, true, KMOD_LCTRL);
  PushKey(SDL_SCANCODE_C, true, KMOD_LCTRL);
  PushKey(SDL_SCANCODE_LCTRL, false);
  PushKey(SDL_SCANCODE_BACKSPACE, true);
  PushKey(SDL_SCANCODE_ESCAPE, true);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = PlatformSdlWindowId(window);
  strcpy(text.text.text, reinterpret_cast<const char*>(u8"aあ😀ｱ"));  // the emoji has no Shift-JIS form
  SDL_PushEvent(&text);

  std::vector<MSG> taken = Pump();
  std::vector<std::pair<UINT, WPARAM>> got;
  for (const MSG& m : taken) got.emplace_back(m.message, m.wParam);
  std::vector<std::pair<UINT, WPARAM>> want = {
      {WM_KEYDOWN, VK_DELETE}, {WM_KEYUP, VK_DELETE}, {WM_KEYDOWN, VK_CONTROL},
      {WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 10},         {WM_KEYDOWN, 'C'},
      {WM_CHAR, 3},            {WM_KEYUP, VK_CONTROL}, {WM_KEYDOWN, VK_BACK},
      {WM_CHAR, 8},            {WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27},
      {WM_CHAR, 'a'},          {WM_CHAR, 0x82},       {WM_CHAR, 0xA0},
      {WM_CHAR, 0xB1},
  };
  EXPECT_EQ(got, want);
  // The Delete key's scan code and extended bit ride in lParam.
  EXPECT_EQ((static_cast<uint32_t>(taken[0].lParam) >> 16) & 0x1FF, 0x153u);
  EXPECT_EQ(static_cast<uint32_t>(taken[1].lParam) >> 30, 3u);  // up: previous state and transition
}

TEST_F(WindowTest, CloseActivationAndGeometry) {
  RECT client;
  GetClientRect(window, &client);
  RECT r{0, 0, client.right, client.bottom};
  AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, FALSE, 0);
  EXPECT_EQ(r.right - r.left, 200);  // the window rectangle holds frame and client
  EXPECT_EQ(r.bottom - r.top, 100);

  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = PlatformSdlWindowId(window);
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  Pump();
  std::vector<UINT> order;
  for (const MSG& m : handled) order.push_back(m.message);
  std::vector<UINT> want = {WM_ACTIVATE, WM_ACTIVATEAPP, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY};
  EXPECT_EQ(order, want);
  EXPECT_EQ(handled[0].wParam, WA_INACTIVE);
  EXPECT_EQ(handled[1].wParam, 0u);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
