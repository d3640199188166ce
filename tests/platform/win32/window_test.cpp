#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win32/sdl_window.h"
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

  // The keyboard state is the process's: nothing stays held for later tests.
  for (SDL_Scancode code : {SDL_SCANCODE_RETURN, SDL_SCANCODE_C, SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_ESCAPE})
    PushKey(code, false);
  Pump();
}

TEST_F(WindowTest, KeyboardStateFollowsTheMessagesTaken) {
  auto held = [] {
    BYTE state[256];
    EXPECT_TRUE(GetKeyboardState(state));
    std::vector<int> keys;
    for (int i = 0; i < 256; ++i)
      if (state[i] & 0x80) keys.push_back(i);
    return keys;
  };
  PushKey(SDL_SCANCODE_LSHIFT, true);
  PushKey(SDL_SCANCODE_RSHIFT, true);
  PushKey(SDL_SCANCODE_RCTRL, true);
  PushKey(SDL_SCANCODE_Q, true);
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = PlatformSdlWindowId(window);
  e.button.button = SDL_BUTTON_LEFT;
  SDL_PushEvent(&e);
  EXPECT_EQ(held(), std::vector<int>{});  // nothing taken yet
  Pump();
  std::vector<int> want{VK_LBUTTON, VK_SHIFT, VK_CONTROL, 'Q', VK_LSHIFT, VK_RSHIFT, VK_RCONTROL};
  EXPECT_EQ(held(), want);

  // Shift stays held while either Shift key is.
  PushKey(SDL_SCANCODE_LSHIFT, false);
  PushKey(SDL_SCANCODE_RCTRL, false);
  Pump();
  want = {VK_LBUTTON, VK_SHIFT, 'Q', VK_RSHIFT};
  EXPECT_EQ(held(), want);
  PushKey(SDL_SCANCODE_RSHIFT, false);
  PushKey(SDL_SCANCODE_Q, false);
  e.type = SDL_MOUSEBUTTONUP;
  SDL_PushEvent(&e);
  Pump();
  EXPECT_EQ(held(), std::vector<int>{});
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

// Timers come after the queue's messages, once their period has passed on
// the clock; taking one starts the next period; a procedure takes the
// message in place of the window.
std::vector<UINT_PTR> timerCalls;
void RecordTimer(HWND, UINT message, UINT_PTR id, DWORD) {
  if (message == WM_TIMER) timerCalls.push_back(id);
}

TEST_F(WindowTest, TimersFollowTheClock) {
  PlatformUseVirtualClock(true, 1000000);
  timerCalls.clear();
  EXPECT_EQ(SetTimer(window, 7, 32, RecordTimer), 7u);
  EXPECT_EQ(SetTimer(window, 8, 50, nullptr), 8u);
  EXPECT_TRUE(Pump().empty());
  Sleep(31);
  EXPECT_TRUE(Pump().empty());
  Sleep(1);
  PostMessageA(window, WM_USER, 0, 0);
  std::vector<MSG> taken = Pump();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].message, WM_USER);
  EXPECT_EQ(taken[1].message, WM_TIMER);
  EXPECT_EQ(timerCalls, std::vector<UINT_PTR>{7});
  Sleep(20);  // 52 ms: the second timer's first, the first's not yet again
  handled.clear();
  Pump();
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].message, WM_TIMER);
  EXPECT_EQ(handled[0].wParam, 8u);
  EXPECT_TRUE(KillTimer(window, 7));
  EXPECT_FALSE(KillTimer(window, 7));
  Sleep(100);
  Pump();
  EXPECT_EQ(timerCalls.size(), 1u);
  EXPECT_EQ(SetTimer(nullptr, 9, 10, RecordTimer), 0u);
  DestroyWindow(window);  // its timers go with it
  Sleep(100);
  EXPECT_TRUE(Pump().empty());
  PlatformUseVirtualClock(false);
}

// Blits into a window's context land in its client area; a context that is
// gone or never was is refused.
TEST_F(WindowTest, BlitsIntoTheClientArea) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header = {40, 4, -2, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  const uint16_t pixels[8] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0, 0x8410, 0xF81F, 0x07FF};
  const auto* bitmap = reinterpret_cast<const BITMAPINFO*>(&info);
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetDIBitsToDevice(dc, 10, 20, 4, 2, 0, 0, 0, 2, pixels, bitmap, DIB_RGB_COLORS), 2);
  const uint32_t expected[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x838183, 0xFF00FF, 0x00FFFF};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(PlatformWindowPixel(window, 10 + i % 4, 20 + i / 4), expected[i]) << i;
  // Doubled: each source pixel covers two by two.
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 8, 4, 0, 0, 4, 2, pixels, bitmap, DIB_RGB_COLORS, SRCCOPY), 4);
  EXPECT_EQ(PlatformWindowPixel(window, 7, 3), 0x00FFFFu);
  EXPECT_EQ(PlatformWindowPixel(window, 2, 1), 0x00FF00u);
  ReleaseDC(window, dc);
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 2, 0, 0, 0, 2, pixels, bitmap, DIB_RGB_COLORS), 0);
  HDC fake = reinterpret_cast<HDC>(&info);
  EXPECT_EQ(SetDIBitsToDevice(fake, 0, 0, 4, 2, 0, 0, 0, 2, pixels, bitmap, DIB_RGB_COLORS), 0);
}

TEST_F(WindowTest, DisplayModesAtBothDepths) {
  std::vector<DEVMODEA> modes;
  DEVMODEA mode{};
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) modes.push_back(mode);
  ASSERT_FALSE(modes.empty());
  EXPECT_EQ(modes.size() % 2, 0u);
  EXPECT_EQ(modes[0].dmBitsPerPel, 16u);
  EXPECT_EQ(modes[1].dmBitsPerPel, 32u);
  EXPECT_EQ(modes[1].dmPelsWidth, modes[0].dmPelsWidth);
  EXPECT_EQ(ChangeDisplaySettingsA(&modes[1], CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
  mode = modes[0];
  mode.dmPelsWidth = 12345;
  EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
  EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
  EXPECT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  EXPECT_GT(mode.dmPelsWidth, 0u);
}

// Full screen where the display has no 640 x 480 mode (SDL's dummy display
// has one mode, 1024 x 768): the mode is offered and taken, a window without
// a caption covering it fills the desktop with the picture scaled, its aspect
// kept, and the note for the log says so; the desktop's mode back, it is a
// 640 x 480 window again.
TEST(FullScreen, ScreenModeTheDisplayLacksIsShownScaled) {
  std::vector<DEVMODEA> modes;
  DEVMODEA mode{};
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) modes.push_back(mode);
  bool offered = false;
  for (const DEVMODEA& m : modes) offered |= m.dmPelsWidth == 640 && m.dmPelsHeight == 480 && m.dmBitsPerPel == 16;
  ASSERT_TRUE(offered);
  EXPECT_EQ(PlatformDisplayModeNote(), nullptr);

  mode = DEVMODEA{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
  mode.dmPelsWidth = 640;
  mode.dmPelsHeight = 480;
  mode.dmBitsPerPel = 16;
  ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
  ASSERT_NE(PlatformDisplayModeNote(), nullptr);
  std::string note = PlatformDisplayModeNote();
  EXPECT_NE(note.find("640 x 480"), std::string::npos) << note;
  EXPECT_NE(note.find("1024 x 768"), std::string::npos) << note;

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "FullScreenClass";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND window = CreateWindowExA(0, "FullScreenClass", "f", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  SDL_Window* sdl = PlatformSdlWindow(window);
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 640);  // the program still sees its 640 x 480 screen
  EXPECT_EQ(client.bottom, 480);

  // A picture whose left half is red and right half blue, blitted whole.
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header = {40, 640, -480, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  std::vector<uint16_t> pixels(640 * 480);
  for (int i = 0; i < 640 * 480; ++i) pixels[i] = i % 640 < 320 ? 0xF800 : 0x001F;
  HDC dc = GetDC(window);
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 640, 480, 0, 0, 0, 480, pixels.data(),
                              reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS),
            480);
  ReleaseDC(window, dc);
  EXPECT_EQ(PlatformWindowPixel(window, 0, 0), 0xFF0000u);
  EXPECT_EQ(PlatformWindowPixel(window, 510, 767), 0xFF0000u);  // scaled 1.6 times
  EXPECT_EQ(PlatformWindowPixel(window, 514, 0), 0x0000FFu);
  EXPECT_EQ(PlatformWindowPixel(window, 1023, 767), 0x0000FFu);

  // On a wider or taller drawable the picture keeps its aspect, centred.
  SDL_Rect r;
  ASSERT_TRUE(PlatformScaledRect(sdl, 1280, 1024, &r));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 32);
  EXPECT_EQ(r.w, 1280);
  EXPECT_EQ(r.h, 960);
  ASSERT_TRUE(PlatformScaledRect(sdl, 1920, 1080, &r));
  EXPECT_EQ(r.x, 240);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.w, 1440);
  EXPECT_EQ(r.h, 1080);

  EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(PlatformDisplayModeNote(), nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_FALSE(PlatformScaledRect(sdl, 1280, 1024, &r));
  int w = 0, h = 0;
  SDL_GetWindowSize(sdl, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("FullScreenClass", nullptr));
}

}  // namespace
