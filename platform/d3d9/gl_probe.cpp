#include "platform/d3d9/gl_probe.h"

#include <SDL.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/d3d9/d3d9_internal.h"

namespace d3d9 {

namespace {

constexpr unsigned kGlRenderer = 0x1F01, kGlVersion = 0x1F02;
// The longest wait for the child's answer: a context is made in well under
// a second; a display that never answers is no OpenGL.
constexpr int kAnswerMs = 5000;

struct Probe {
  bool started = false, answered = false, found = false;
  pid_t child = -1;
  int pipe = -1;
  std::string renderer, version;
};

Probe& TheProbe() {
  static Probe probe;
  return probe;
}

// In the child: a hidden window with a 3.3 core context on a connection of
// its own; the renderer and version, one line each, into the pipe.
[[noreturn]] void Answer(int out) {
  std::string text;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    using GetString = const unsigned char* (*)(unsigned);
    auto get = context != nullptr ? reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString")) : nullptr;
    if (get != nullptr) {
      const unsigned char* renderer = get(kGlRenderer);
      const unsigned char* version = get(kGlVersion);
      if (renderer != nullptr && version != nullptr)
        text = std::string(reinterpret_cast<const char*>(renderer)) + "\n" + reinterpret_cast<const char*>(version) +
               "\n";
    }
  }
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(out, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  _exit(0);  // nothing of the parent's is run or flushed
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
  int fds[2];
  if (pipe(fds) != 0) return;
  probe.child = fork();
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
  if (probe.pipe >= 0) {
    std::string text;
    char buffer[512];
    pollfd p{probe.pipe, POLLIN, 0};
    while (poll(&p, 1, kAnswerMs) > 0) {
      const ssize_t n = read(probe.pipe, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
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
    probe.answered = true;
  }
  if (!probe.found) return false;
  *renderer = probe.renderer;
  *version = probe.version;
  return true;
}

}  // namespace d3d9
