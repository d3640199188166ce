// The presented screen under a real X server: a child process starts the
// library in a window, draws the scene and keeps presenting it; the test
// reads the window's pixels back from the server and compares them with
// the screen image the child drew.
#include <gtest/gtest.h>

#include <SDL.h>
#include <poll.h>

#include <vector>

#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "platform/win32/sdl_window.h"
#include "platform/win32/win32_window.h"
#include "tests/graphics/scene.h"
#include "tests/support/xvfb.h"

namespace {

constexpr const char* kTitle = "ZR present test";

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  auto* p = static_cast<uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The child: the library in a window of the X server, the scene drawn on
// the back screen, its colours sent to the parent, then presented every
// frame until the parent closes its pipe.
[[noreturn]] void RunPresenter(const std::string& display, int bits, int toParent, int fromParent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("SDL_VIDEODRIVER");
  // Video started by earlier tests in this process runs on the dummy driver:
  // it is started again, on the X server.
  if (!PlatformRestartVideo()) _exit(4);
  SetMainWindowTitle(kTitle);
  // The screen this test reads back is 640 x 480, whatever tests ran before
  // in this process left behind.
  ScreenWidth = 640;
  ScreenHeight = 480;
  ScreenColorBits = bits;
  // The software renderer's present is what this test looks at; the X
  // server would otherwise give the library an OpenGL device.
  SetUseHardwareFlag(0);
  if (InitLibrary() != 0) _exit(2);
  SelectDrawTarget(BackScreenHandle);
  PaintImage(&ScreenMemImg, 21);
  DrawScene(MakeSceneGraphs(), nullptr);
  std::vector<uint32_t> colours(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const Rgba c = MemImgColour(&ScreenMemImg, x, y);
      colours[y * 640 + x] = static_cast<uint32_t>(c.r) << 16 | c.g << 8 | c.b;
    }
  if (!WriteAll(toParent, colours.data(), colours.size() * 4)) _exit(3);
  pollfd done{fromParent, POLLIN, 0};
  while (ProcessWindowMessages() == 0 && poll(&done, 1, 0) == 0) PresentScreen();
  // The frames went to the window as they are: SDL put no renderer of its
  // own (an OpenGL context, a software rasteriser's here) behind the window.
  if (SDL_GetRenderer(PlatformSdlWindow(GetMainHwnd())) != nullptr) _exit(5);
  // No shut-down: the X libraries keep allocations the leak check would list.
  _exit(0);
}

TEST(PresentUnderX, TheWindowShowsTheScreenImage) {
  Child server;
  const std::string display = StartXvfb(server);
  ASSERT_FALSE(display.empty()) << "Xvfb did not start (scripts/setup.sh installs it)";
  Display* x = XOpenDisplay(display.c_str());
  ASSERT_NE(x, nullptr);

  for (int bits : {16, 32}) {
    int up[2], down[2];
    ASSERT_EQ(pipe(up), 0);
    ASSERT_EQ(pipe(down), 0);
    Child presenter;
    presenter.pid = fork();
    if (presenter.pid == 0) {
      close(up[0]);
      close(down[1]);
      RunPresenter(display, bits, up[1], down[0]);
    }
    close(up[1]);
    close(down[0]);
    std::vector<uint32_t> expected(640 * 480);
    ASSERT_TRUE(ReadAll(up[0], expected.data(), expected.size() * 4)) << "the presenter did not start";
    close(up[0]);

    std::string title;
    Window window = 0;
    XWindowAttributes attributes{};
    for (int i = 0; i < 300; ++i) {
      window = FindTitledWindow(x, DefaultRootWindow(x), &title);
      if (window != 0 && XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable &&
          attributes.width == 640 && attributes.height == 480)
        break;
      Pause(20);
    }
    ASSERT_NE(window, 0u);
    ASSERT_EQ(title, kTitle);
    // Frames keep arriving; compare once one is all there.
    int mismatches = -1;
    for (int attempt = 0; attempt < 50 && mismatches != 0; ++attempt) {
      Pause(40);
      XImage* image = XGetImage(x, window, 0, 0, 640, 480, AllPlanes, ZPixmap);
      ASSERT_NE(image, nullptr);
      mismatches = 0;
      for (int y = 0; y < 480; ++y)
        for (int px = 0; px < 640; ++px) mismatches += (XGetPixel(image, px, y) & 0xFFFFFF) != expected[y * 640 + px];
      XDestroyImage(image);
    }
    EXPECT_EQ(mismatches, 0) << bits << " bits";
    close(down[1]);
    EXPECT_EQ(presenter.WaitExit(10000), 0);
  }
  XCloseDisplay(x);
}

}  // namespace
