#include "platform/d3d9/gl_probe.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/d3d9/d3d9_internal.h"
#include "platform/win32/win32_system.h"

// After the library's own headers: Xlib's macros (None, Bool, Status...).
// clang-format off
#include <X11/Xlib.h>
#include <GL/glx.h>
// clang-format on

namespace d3d9 {

namespace {

// The longest wait for the child's answer: a context is made in well under
// a second; a display that never answers is no OpenGL.
constexpr int kAnswerMs = 5000;

struct Probe {
  bool started = false, found = false;
  pid_t child = -1;
  int pipe = -1;
  int children = 0;
  std::string renderer, version;
  std::function<void()> close;
};

Probe& TheProbe() {
  static Probe probe;
  return probe;
}

// In the child: a 3.3 core context on a pixel buffer of the display, on a
// connection of its own, straight through GLX (SDL's video and its window
// would add their own start and a second context); the renderer and
// version, one line each, into the pipe. libX11 and libGL are opened here
// only, as SDL opens them.
[[noreturn]] void Answer(int out) {
  std::string text;
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  void* gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
  auto symbol = [](void* library, const char* name) { return library != nullptr ? dlsym(library, name) : nullptr; };
  auto openDisplay = reinterpret_cast<Display* (*)(const char*)>(symbol(x11, "XOpenDisplay"));
  auto onError = reinterpret_cast<XErrorHandler (*)(XErrorHandler)>(symbol(x11, "XSetErrorHandler"));
  auto defaultScreen = reinterpret_cast<int (*)(Display*)>(symbol(x11, "XDefaultScreen"));
  auto choose = reinterpret_cast<GLXFBConfig* (*)(Display*, int, const int*, int*)>(symbol(gl, "glXChooseFBConfig"));
  auto address = reinterpret_cast<void* (*)(const GLubyte*)>(symbol(gl, "glXGetProcAddressARB"));
  auto pbuffer = reinterpret_cast<GLXPbuffer (*)(Display*, GLXFBConfig, const int*)>(symbol(gl, "glXCreatePbuffer"));
  auto makeCurrent =
      reinterpret_cast<Bool (*)(Display*, GLXDrawable, GLXDrawable, GLXContext)>(symbol(gl, "glXMakeContextCurrent"));
  auto getString = reinterpret_cast<const GLubyte* (*)(GLenum)>(symbol(gl, "glGetString"));
  Display* display = openDisplay != nullptr ? openDisplay(nullptr) : nullptr;
  if (display != nullptr && onError != nullptr && defaultScreen != nullptr && choose != nullptr &&
      address != nullptr && pbuffer != nullptr && makeCurrent != nullptr && getString != nullptr) {
    onError([](Display*, XErrorEvent*) { return 0; });  // a refusal is no answer, not the end of the child
    using CreateContext = GLXContext (*)(Display*, GLXFBConfig, GLXContext, Bool, const int*);
    const auto* name = reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB");
    auto create = reinterpret_cast<CreateContext>(address(name));
    const int wanted[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, None};
    const int version[] = {GLX_CONTEXT_MAJOR_VERSION_ARB, 3, GLX_CONTEXT_MINOR_VERSION_ARB, 3,
                           GLX_CONTEXT_PROFILE_MASK_ARB, GLX_CONTEXT_CORE_PROFILE_BIT_ARB, None};
    const int size[] = {GLX_PBUFFER_WIDTH, 1, GLX_PBUFFER_HEIGHT, 1, None};
    int count = 0;
    GLXFBConfig* configs = choose(display, defaultScreen(display), wanted, &count);
    GLXContext context = configs != nullptr && count > 0 && create != nullptr
                             ? create(display, configs[0], nullptr, True, version)
                             : nullptr;
    const GLXPbuffer surface = context != nullptr ? pbuffer(display, configs[0], size) : 0;
    if (surface != 0 && makeCurrent(display, surface, surface, context)) {
      const GLubyte* renderer = getString(GL_RENDERER);
      const GLubyte* versionText = getString(GL_VERSION);
      if (renderer != nullptr && versionText != nullptr)
        text = std::string(reinterpret_cast<const char*>(renderer)) + "\n" +
               reinterpret_cast<const char*>(versionText) + "\n";
    }
  }
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(out, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  _exit(0);  // nothing of the parent's is run or flushed; the server drops what the child made
}

// Settings of the OpenGL stack that can choose another vendor, driver or
// way of rendering than the display's extensions tell.
bool StackSettingsGiven() {
  for (char** entry = environ; *entry != nullptr; ++entry)
    for (const char* prefix : {"__GLX_", "LIBGL_", "GALLIUM_", "MESA_"})
      if (std::strncmp(*entry, prefix, std::strlen(prefix)) == 0) return true;
  return false;
}

// Whether the display's OpenGL can only be Mesa's software rasteriser, told
// from the X server's extensions in one round trip: OpenGL drawn by a
// graphics card reaches an X display through direct rendering, DRI3 or DRI2
// (Mesa's drivers for the cards) or NVIDIA's own GLX (NV-GLX). A display
// with GLX and none of them (Xvfb, a VNC server, a display across the
// network) gets Mesa's software rasteriser on this processor, and the child
// with its OpenGL driver would only say so some 200 ms later. Anything else,
// or a setting of the OpenGL stack, leaves the question to the child.
bool DisplayOnlyRendersInSoftware() {
  if (StackSettingsGiven()) return false;
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  auto symbol = [x11](const char* name) { return x11 != nullptr ? dlsym(x11, name) : nullptr; };
  auto openDisplay = reinterpret_cast<Display* (*)(const char*)>(symbol("XOpenDisplay"));
  auto closeDisplay = reinterpret_cast<int (*)(Display*)>(symbol("XCloseDisplay"));
  auto list = reinterpret_cast<char** (*)(Display*, int*)>(symbol("XListExtensions"));
  auto freeList = reinterpret_cast<int (*)(char**)>(symbol("XFreeExtensionList"));
  bool software = false;
  if (openDisplay != nullptr && closeDisplay != nullptr && list != nullptr && freeList != nullptr) {
    if (Display* display = openDisplay(nullptr); display != nullptr) {
      int count = 0;
      if (char** names = list(display, &count); names != nullptr) {
        bool glx = false, direct = false;
        for (int i = 0; i < count; ++i) {
          const std::string name = names[i] != nullptr ? names[i] : "";
          glx = glx || name == "GLX";
          direct = direct || name == "DRI3" || name == "DRI2" || name == "NV-GLX";
        }
        freeList(names);
        software = glx && !direct;
      }
      // The connection stays open until the window is made: an X server
      // takes a new client only some time after another has gone (Xvfb:
      // 70 ms), and SDL's video connects in between.
      TheProbe().close = [closeDisplay, display, x11] {
        closeDisplay(display);
        dlclose(x11);
      };
      return software;
    }
  }
  if (x11 != nullptr) dlclose(x11);
  return software;
}

}  // namespace

void StartGlProbe() {
  Probe& probe = TheProbe();
  if (probe.started) return;
  const D3D9AdapterSetup& adapter = Global().adapter;
  if (adapter.executor != D3D9Executor::OpenGL || adapter.rasterizer != D3D9Rasterizer::ByRenderer) return;
  const char* driver = getenv("SDL_VIDEODRIVER");
  const char* display = getenv("DISPLAY");
  if ((driver != nullptr && std::strcmp(driver, "x11") != 0) || display == nullptr || *display == '\0') return;
  probe.started = true;
  if (DisplayOnlyRendersInSoftware()) {
    probe.found = true;
    probe.renderer = kDisplaySoftwareRenderer;
    return;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  probe.child = fork();
  ++probe.children;
  if (probe.child == 0) {
    close(fds[0]);
    Answer(fds[1]);
  }
  close(fds[1]);
  if (probe.child < 0) {
    close(fds[0]);
    return;
  }
  probe.pipe = fds[0];
}

bool GlProbeResult(std::string* renderer, std::string* version) {
  Probe& probe = TheProbe();
  if (probe.close) {
    probe.close();
    probe.close = nullptr;
  }
  if (probe.pipe >= 0) {
    // The wait leaves this thread's processor idle: the work given for it
    // runs there meanwhile, below every other thread (the child's above all).
    std::atomic<bool> answered{false};
    std::thread work;
    if (PlatformWaitWork given = PlatformDisplayWaitWork(); given != nullptr)
      work = std::thread([given, &answered] {
        sched_param lowest{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &lowest);
        given(answered);
      });
    std::string text;
    char buffer[512];
    pollfd p{probe.pipe, POLLIN, 0};
    for (;;) {
      const int ready = poll(&p, 1, kAnswerMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      const ssize_t n = read(probe.pipe, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    answered = true;
    if (work.joinable()) work.join();
    close(probe.pipe);
    probe.pipe = -1;
    kill(probe.child, SIGKILL);  // ended already, unless it never answered
    waitpid(probe.child, nullptr, 0);
    const size_t first = text.find('\n');
    const size_t second = first == std::string::npos ? std::string::npos : text.find('\n', first + 1);
    if (second != std::string::npos) {
      probe.found = true;
      probe.renderer = text.substr(0, first);
      probe.version = text.substr(first + 1, second - first - 1);
    }
  }
  if (!probe.found) return false;
  *renderer = probe.renderer;
  *version = probe.version;
  return true;
}

int GlProbeChildren() { return TheProbe().children; }

}  // namespace d3d9
