// A private X server for the tests that look at real windows: Xvfb started
// on a free display, child processes that end with the test, and window
// look-ups by title. Include after gtest: Xlib's macros (None, Bool...)
// would break gtest's templates.
#pragma once

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

#include <string>
#include <vector>

// Sleeps the given milliseconds for real (the tests' virtual clock is not used here).
inline void Pause(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

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

// Starts a server that writes one line (its display, its address) to a
// pipe once it is ready: each "{fd}" in the arguments becomes the pipe's
// descriptor. Returns the line, or "" on failure. The server's errors are
// not shown, and it never outlives the process that started it.
inline std::string StartServerReadingLine(Child& server, std::vector<std::string> args) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  const std::string fd = std::to_string(fds[1]);
  for (std::string& a : args)
    for (size_t at = a.find("{fd}"); at != std::string::npos; at = a.find("{fd}", at + fd.size()))
      a.replace(at, 4, fd);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  server.pid = fork();
  if (server.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that was killed
    close(fds[0]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string line;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  close(fds[0]);
  return line;
}

// Starts Xvfb on a free display; returns the display name, or "" on failure.
inline std::string StartXvfb(Child& server) {
  const std::string number = StartServerReadingLine(
      server, {"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
  return number.empty() ? "" : ":" + number;
}

inline std::string WindowTitle(Display* display, Window window) {
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

// Windows come and go while a test looks for one (SDL makes and drops
// windows of its own while it starts): a question about a window that has
// just gone is an X error, which by default ends the process. Here it only
// makes that question come back empty.
inline int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The first top-level window (or child of one) that carries a title.
inline Window FindTitledWindow(Display* display, Window parent, std::string* title) {
  XSetErrorHandler(IgnoreXError);
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
