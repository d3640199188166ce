// The program under a real X server: it opens its window with the game's
// title and a 640 x 480 client area, and closing the window ends it with
// exit code 0. The test starts its own Xvfb, so it needs no display.
// gtest before Xlib: Xlib's macros (None, Bool...) would break gtest's templates.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
// clang-format on
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/test_support.h"

namespace {

// Sleeps the given milliseconds for real (the tests' virtual clock is not used here).
void Pause(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// A child process, killed when the object goes away unless it has ended.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  // The exit status once it has ended within the time, else -1.
  int WaitExit(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
      }
      Pause(20);
    }
    return -1;
  }
};

// Starts Xvfb on a free display; returns the display name, or "" on failure.
std::string StartXvfb(Child& server) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  server.pid = fork();
  if (server.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that was killed
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? "" : ":" + number;
}

std::string WindowTitle(Display* display, Window window) {
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return title;
}

// The first top-level window (or child of one) that carries a title.
Window FindTitledWindow(Display* display, Window parent, std::string* title) {
  Window root, up, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    std::string t = WindowTitle(display, children[i]);
    if (!t.empty()) {
      *title = t;
      found = children[i];
    } else {
      found = FindTitledWindow(display, children[i], title);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST(PartyProgram, OpensItsWindowAndEndsWhenItIsClosed) {
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
