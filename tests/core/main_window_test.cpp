#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library/core/memory.h"
#include "tests/core/library_fixture.h"

namespace {

void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }

SDL_Event Button(uint8_t button, int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = PlatformSdlWindowId(MainHwnd);
  e.button.button = button;
  e.button.state = SDL_PRESSED;
  e.button.x = x;
  e.button.y = y;
  return e;
}

void PumpAll() {
  for (int i = 0; i < 20; ++i) ProcessWindowMessages();
}

TEST(MainWindowCharCodes, KeysAndCharactersPutTheirCodes) {
  struct {
    WPARAM key;
    int code;
  } keys[] = {{VK_DELETE, 0x10}, {VK_LEFT, 0x1D}, {VK_RIGHT, 0x1C}, {VK_UP, 0x1E}, {VK_DOWN, 0x1F},
              {VK_HOME, 0x1A},   {VK_END, 0x19},  {VK_PRIOR, 0x17}, {VK_NEXT, 0x15}, {'A', -1},
              {VK_RETURN, -1}};
  for (const auto& k : keys) EXPECT_EQ(CharCodeOfKey(k.key), k.code) << k.key;
  struct {
    WPARAM ch;
    int code;
  } chars[] = {{10, 13}, {13, 13}, {1, 1},   {3, 3},     {8, 8},     {9, 9},   {16, 16}, {22, 22},
               {24, 24}, {27, 27}, {2, -1},  {4, -1},    {31, -1},   {32, 32}, {'a', 'a'},
               {0x82, 0x82}, {0xFF, 0xFF}};
  for (const auto& c : chars) EXPECT_EQ(CharCodeOfChar(c.ch), c.code) << c.ch;
}

TEST_F(LibraryTest, MouseClicksWheelAndCursor) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  // A click is logged with the cursor's position when it is handled.
  Push(Button(SDL_BUTTON_LEFT, 10, 20));
  PumpAll();
  Push(Button(SDL_BUTTON_RIGHT, 30, 40));
  PumpAll();
  Push(Button(SDL_BUTTON_MIDDLE, 639, 479));
  PumpAll();
  ASSERT_EQ(MouseClickLog.count, 3);
  const MouseClickRecord expected[] = {{1, 10, 20}, {2, 30, 40}, {4, 639, 479}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(MouseClickLog.entries[i].button, expected[i].button);
    EXPECT_EQ(MouseClickLog.entries[i].x, expected[i].x);
    EXPECT_EQ(MouseClickLog.entries[i].y, expected[i].y);
  }
  for (int i = 0; i < 40; ++i) Push(Button(SDL_BUTTON_LEFT, i, i));
  PumpAll();
  EXPECT_EQ(MouseClickLog.count, 32);  // the 33rd and later are not recorded

  for (int y : {1, 1, -1, 2}) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = PlatformSdlWindowId(MainHwnd);
    e.wheel.y = y;
    Push(e);
  }
  PumpAll();
  EXPECT_EQ(MainWindow.wheelCount, 2);

  EXPECT_TRUE(PlatformCursorVisible());
  SetMouseDispFlag(0);
  EXPECT_FALSE(PlatformCursorVisible());
  SetMouseDispFlag(1);
  EXPECT_TRUE(PlatformCursorVisible());
}

TEST_F(LibraryTest, DroppedFilesAreKeptAsWindowsPaths) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  const int32_t blocks = TrackedBlockCount();
  DragAcceptFiles(MainHwnd, TRUE);
  uint32_t id = PlatformSdlWindowId(MainHwnd);
  SDL_Event e{};
  e.drop.windowID = id;
  e.type = SDL_DROPBEGIN;
  Push(e);
  for (const char* path : {"/tmp/a.png", reinterpret_cast<const char*>(u8"/tmp/表.txt")}) {
    e.type = SDL_DROPFILE;
    e.drop.file = SDL_strdup(path);
    Push(e);
  }
  e.type = SDL_DROPCOMPLETE;
  e.drop.file = nullptr;
  Push(e);
  PumpAll();
  ASSERT_EQ(DroppedFileList.count, 2);
  EXPECT_STREQ(DroppedFileList.names[0], "C:\\tmp\\a.png");
  EXPECT_STREQ(DroppedFileList.names[1], "C:\\tmp\\表.txt");  // Shift-JIS
  EXPECT_EQ(TrackedBlockCount(), blocks + 2);
  EndLibrary();
  EXPECT_EQ(DroppedFileList.count, 0);
  EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(LibraryTest, ClipboardTextIsShiftJis) {
  ASSERT_EQ(InitLibrary(), 0);
  const char text[] = "テキスト abc";
  EXPECT_EQ(SetClipboardText(text), 0);
  char* utf8 = SDL_GetClipboardText();
  EXPECT_STREQ(utf8, reinterpret_cast<const char*>(u8"テキスト abc"));
  SDL_free(utf8);
  EXPECT_EQ(GetClipboardText(nullptr, 0), static_cast<int>(sizeof text));
  char buffer[64] = {};
  EXPECT_EQ(GetClipboardText(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, text);
  // A buffer sized before the clipboard grew: cut at a whole character.
  char small[6];
  EXPECT_EQ(GetClipboardText(small, sizeof small), 0);
  EXPECT_STREQ(small, "テキ");
  SDL_SetClipboardText("");
  EXPECT_EQ(GetClipboardText(nullptr, 0), -1);
}

TEST_F(LibraryTest, TitleSetBeforeAndAfterStart) {
  SetMainWindowTitle("ベルノーラ");
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_STREQ(MainWindowConfig.className, "ベルノーラ");
  SDL_Window* window = SDL_GetWindowFromID(PlatformSdlWindowId(MainHwnd));
  EXPECT_STREQ(SDL_GetWindowTitle(window), reinterpret_cast<const char*>(u8"ベルノーラ"));
  SetMainWindowTitle("ver2");
  EXPECT_STREQ(SDL_GetWindowTitle(window), "ver2");
}

TEST_F(LibraryTest, SizingKeepsTheScreenAspect) {
  ASSERT_EQ(InitLibrary(), 0);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(MainHwnd, GWL_EXSTYLE)));
  int extraW = frame.right - frame.left, extraH = frame.bottom - frame.top;
  struct {
    WPARAM edge;
    int clientW, clientH;  // dragged to
    int wantW, wantH;      // kept at 4:3
  } cases[] = {
      {WMSZ_RIGHT, 800, 480, 800, 600},
      {WMSZ_BOTTOM, 640, 720, 960, 720},
      {WMSZ_BOTTOMRIGHT, 1000, 600, 1000, 750},  // wider than tall: width rules
      {WMSZ_BOTTOMRIGHT, 700, 900, 1200, 900},   // taller: height rules
  };
  for (const auto& c : cases) {
    RECT r{100, 100, 100 + c.clientW + extraW, 100 + c.clientH + extraH};
    SendMessageA(MainHwnd, WM_SIZING, c.edge, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.right - r.left - extraW, c.wantW) << c.edge;
    EXPECT_EQ(r.bottom - r.top - extraH, c.wantH) << c.edge;
    EXPECT_DOUBLE_EQ(MainWindowConfig.scaleX, c.wantW / 640.0);
    EXPECT_DOUBLE_EQ(MainWindowConfig.scaleY, c.wantW / 640.0);
  }
}

TEST_F(LibraryTest, UnbearableDisplayChangeClosesTheWindowOnce) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  SendMessageA(MainHwnd, WM_DISPLAYCHANGE, 16, MAKELPARAM(1024, 768));
  EXPECT_EQ(MainWindow.displayChanged, 1);
  EXPECT_EQ(QuitRequested, 0);
  SendMessageA(MainHwnd, WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768));
  SendMessageA(MainHwnd, WM_DISPLAYCHANGE, 16, MAKELPARAM(320, 240));
  EXPECT_EQ(QuitRequested, 1);
  EXPECT_EQ(ProcessWindowMessages(), -1);  // the one WM_CLOSE posted closes it
  EXPECT_EQ(SendMessageA(MainHwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);  // no window any more
}

TEST_F(LibraryTest, ScreenSaverRequestsAreRefused) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(SendMessageA(MainHwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
  EXPECT_EQ(SendMessageA(MainHwnd, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 1);
  BOOL active = TRUE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  EXPECT_FALSE(active);
  EndLibrary();
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  EXPECT_TRUE(active);
}

}  // namespace
