// The desktop benchmark's probe, loaded into the program it starts
// (LD_PRELOAD): it changes nothing the program does, and writes one line for
// every frame the program presents (SDL's OpenGL buffer swap on the OpenGL
// path, SDL's window-surface update on the software path) into the file
// named by ZR_PROBE_OUT:
//
//   <end> <busy> <present> <value>...
//
// end: CLOCK_MONOTONIC nanoseconds when the present returned; busy: the
// nanoseconds of the main thread since the previous present returned, less
// the time it slept (the frame pacing's and the vertical-blank waits), that
// is the frame's drawing and presenting; present: the nanoseconds inside the
// present call; then the 32-bit values at the program's addresses listed in
// ZR_PROBE_WATCH (hexadecimal offsets from the program's load address,
// separated by commas), read as the present returns.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxWatch = 16;

struct Probe {
  bool ready = false;
  int fd = -1;
  uintptr_t base = 0;
  uintptr_t watch[kMaxWatch] = {};
  int watchCount = 0;
  int64_t lastEnd = 0;
  int64_t slept = 0;
};

Probe probe;

int64_t Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool OnMainThread() { return syscall(SYS_gettid) == getpid(); }

int FirstObject(dl_phdr_info* info, size_t, void* out) {
  *static_cast<uintptr_t*>(out) = info->dlpi_addr;
  return 1;  // the program itself comes first
}

void Start() {
  if (probe.ready) return;
  probe.ready = true;
  probe.lastEnd = Now();
  const char* out = getenv("ZR_PROBE_OUT");
  if (out != nullptr) probe.fd = open(out, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  dl_iterate_phdr(FirstObject, &probe.base);
  const char* list = getenv("ZR_PROBE_WATCH");
  while (list != nullptr && *list != '\0' && probe.watchCount < kMaxWatch) {
    char* end = nullptr;
    const unsigned long long offset = strtoull(list, &end, 16);
    if (end == list) break;
    probe.watch[probe.watchCount++] = probe.base + static_cast<uintptr_t>(offset);
    list = *end == ',' ? end + 1 : end;
  }
}

void Record(int64_t began, int64_t ended) {
  if (probe.fd < 0) return;
  char line[64 + kMaxWatch * 12];
  int n = snprintf(line, sizeof line, "%lld %lld %lld", static_cast<long long>(ended),
                   static_cast<long long>(ended - probe.lastEnd - probe.slept), static_cast<long long>(ended - began));
  for (int i = 0; i < probe.watchCount; ++i) {
    int32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const void*>(probe.watch[i]), sizeof value);
    n += snprintf(line + n, sizeof line - static_cast<size_t>(n), " %d", value);
  }
  line[n++] = '\n';
  ssize_t written = write(probe.fd, line, static_cast<size_t>(n));
  (void)written;
  probe.lastEnd = ended;
  probe.slept = 0;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Time slept by the main thread, counted out of its busy time.
template <typename F, typename... A>
int Slept(F real, A... args) {
  if (!OnMainThread()) return real(args...);
  const int64_t began = Now();
  const int result = real(args...);
  probe.slept += Now() - began;
  return result;
}

}  // namespace

extern "C" {

struct SDL_Window;
struct SDL_Rect;

void SDL_GL_SwapWindow(SDL_Window* window) {
  static auto real = Next<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
  Start();
  const int64_t began = Now();
  real(window);
  if (OnMainThread()) Record(began, Now());
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
  static auto real = Next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
  Start();
  const int64_t began = Now();
  const int result = real(window);
  if (OnMainThread()) Record(began, Now());
  return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  static auto real = Next<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
  Start();
  const int64_t began = Now();
  const int result = real(window, rects, count);
  if (OnMainThread()) Record(began, Now());
  return result;
}

int nanosleep(const timespec* request, timespec* remaining) {
  static auto real = Next<int (*)(const timespec*, timespec*)>("nanosleep");
  return Slept(real, request, remaining);
}

int clock_nanosleep(clockid_t clock, int flags, const timespec* request, timespec* remaining) {
  static auto real = Next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
  return Slept(real, clock, flags, request, remaining);
}

}  // extern "C"
