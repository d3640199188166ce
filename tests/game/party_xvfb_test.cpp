// The program under a real X server, in a working folder that holds the
// generated media: it opens its window with the game's title and a 640 x 480
// client area, and closing the window ends it with exit code 0. The test
// starts its own Xvfb, so it needs no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

namespace {

TEST(PartyProgram, OpensItsWindowAndEndsWhenItIsClosed) {
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
  TempDir work;
  ASSERT_EQ(symlink(GeneratedMediaDir().c_str(), (work.path() + "/media").c_str()), 0);
  Child server;
  std::string displayName = StartXvfb(server);
  ASSERT_FALSE(displayName.empty()) << "Xvfb did not start (scripts/setup.sh installs it)";

  Child party;
  party.pid = fork();
  if (party.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setenv("DISPLAY", displayName.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    // The system libraries SDL loads for X (D-Bus among them) keep a few
    // allocations until exit; the library's own leaks are the unit tests' to find.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    if (chdir(work.path().c_str()) != 0) _exit(126);
    execl(ZR_PARTY_PATH, "party", static_cast<char*>(nullptr));
    _exit(127);
  }

  Display* display = nullptr;
  for (int i = 0; i < 100 && display == nullptr; ++i) {
    display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) Pause(50);
  }
  ASSERT_NE(display, nullptr);

  std::string title;
  Window window = 0;
  for (int i = 0; i < 300 && window == 0; ++i) {
    window = FindTitledWindow(display, DefaultRootWindow(display), &title);
    if (window == 0) Pause(50);
  }
  ASSERT_NE(window, 0u) << "no window appeared";
  EXPECT_EQ(title, reinterpret_cast<const char*>(u8"ベルノーラパーティ ver1.00"));

  XWindowAttributes attributes;
  for (int i = 0; i < 100; ++i) {  // the size settles once the window is mapped
    XGetWindowAttributes(display, window, &attributes);
    if (attributes.map_state == IsViewable && attributes.width == 640 && attributes.height == 480) break;
    Pause(50);
  }
  EXPECT_EQ(attributes.width, 640);
  EXPECT_EQ(attributes.height, 480);

  // Close it as a window manager does.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &close);
  XFlush(display);

  EXPECT_EQ(party.WaitExit(20000), 0);
  XCloseDisplay(display);
}

}  // namespace
