// An X display with OpenGL for the tests of the drawing Direct3D device: a
// private Xvfb (Mesa's software rasteriser draws for it), SDL's video moved
// onto it while the object lives, and back to what the test process had
// afterwards. No window may be open when it starts or ends. Include after
// gtest (see xvfb.h).
//
// While it lives, the leak checker overlooks this thread's allocations: the
// OpenGL driver keeps some for the life of the process, and SDL unloads it
// before the check runs, so that they cannot even be told by their module.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/win32/win32_window.h"
#include "tests/support/xvfb.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
inline void GlLeakCheckPause(bool on) { on ? __lsan_disable() : __lsan_enable(); }
#else
inline void GlLeakCheckPause(bool) {}
#endif

class GlDisplay {
 public:
  GlDisplay() {
    GlLeakCheckPause(true);
    const char* driver = getenv("SDL_VIDEODRIVER");
    const char* display = getenv("DISPLAY");
    if (driver != nullptr) driver_ = driver;
    if (display != nullptr) display_ = display;
  }
  ~GlDisplay() {
    PlatformRestartVideo();
    Restore("SDL_VIDEODRIVER", driver_);
    Restore("DISPLAY", display_);
    GlLeakCheckPause(false);
  }
  GlDisplay(const GlDisplay&) = delete;
  GlDisplay& operator=(const GlDisplay&) = delete;

  // False when Xvfb does not start or a window is still open.
  bool Start() {
    name_ = StartXvfb(server_);
    if (name_.empty()) return false;
    setenv("DISPLAY", name_.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return PlatformRestartVideo();
  }
  const std::string& name() const { return name_; }

 private:
  static void Restore(const char* variable, const std::string& value) {
    if (value.empty())
      unsetenv(variable);
    else
      setenv(variable, value.c_str(), 1);
  }
  Child server_;
  std::string name_, driver_, display_;
};
