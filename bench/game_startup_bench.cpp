// The program's start-up on the generated media: from the entry to the first
// frame of the title scene, in a fresh process each time (SDL's dummy video
// and audio drivers, the real clock, a warm file cache after the first run),
// and the resident memory once the title scene runs. Beside it, the peer:
// libpng decoding the same pictures directly into memory.
//
//   ./build/release/bench/game_startup_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/shell/game_main.h"
#include "library/zrlib.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_window.h"

namespace fs = std::filesystem;

namespace {

double Seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

const std::string& MediaDir() {
  static const std::string dir = [] {
    const char* env = getenv("ZR_MEDIA_DIR");
    return std::string(env != nullptr ? env : ZR_MEDIA_DIR);
  }();
  return dir;
}

// A working folder with the media linked in, made once for every run and
// removed again when the benchmark ends (its runs end without cleaning up).
struct WorkFolder {
  std::string path;
  pid_t owner;
  WorkFolder() : path((fs::temp_directory_path() / ("zrstartup" + std::to_string(getpid()))).string()), owner(getpid()) {
    fs::create_directories(path);
    std::error_code ec;
    fs::create_directory_symlink(fs::absolute(MediaDir()), path + "/media", ec);
  }
  ~WorkFolder() {
    std::error_code ec;
    if (getpid() == owner) fs::remove_all(path, ec);
  }
};

const std::string& WorkDir() {
  static const WorkFolder folder;
  return folder.path;
}

double titleReachedAt = 0.0;
int TitleFrame() {
  if (titleReachedAt == 0.0) titleReachedAt = Seconds();
  return 0;
}

long ResidentKilobytes() {
  FILE* f = fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kb = 0;
  while (fgets(line, sizeof line, f) != nullptr)
    if (strncmp(line, "VmRSS:", 6) == 0) kb = strtol(line + 6, nullptr, 10);
  fclose(f);
  return kb;
}

struct StartUpRun {
  double seconds;
  long rssKb;
  double cpuSeconds;  // user and system time of the process up to then
};

double CpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The program's start-up to the first frame of the title scene.
StartUpRun GameToTitle() {
  double start = Seconds();
  SceneHandlers[1] = &TitleFrame;
  if (StartGame() != 0) return {-1.0, 0, 0.0};
  while (titleReachedAt == 0.0 && RunMainLoopFrame() == 0) {
  }
  return {titleReachedAt - start, ResidentKilobytes(), CpuSeconds()};
}

// The library's own start-up, as the game configures it.
StartUpRun LibraryOnly() {
  double start = Seconds();
  SetMainWindowTitle("ZR");
  SetArchiveExtension("dat");
  ChangeWindowMode(1);
  if (InitLibrary() != 0) return {-1.0, 0, 0.0};
  return {Seconds() - start, ResidentKilobytes(), CpuSeconds()};
}

// One start-up in a child process: the game's globals and the library start fresh.
bool RunStartUp(StartUpRun* out, StartUpRun (*what)() = &GameToTitle) {
  // Made by this process, before the first run: every run starts in the same
  // settled folder, as a program started again in its own folder does.
  const std::string& dir = WorkDir();
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    PlatformSetDebugOutput(false);
    // A window scope of its own: another copy of the game elsewhere does not
    // count as this one's double start.
    PlatformSetWindowScope(("bench" + std::to_string(getpid())).c_str());
    if (chdir(dir.c_str()) != 0) _exit(2);
    StartUpRun run = what();
    if (write(fds[1], &run, sizeof run) != sizeof run) _exit(3);
    _exit(0);
  }
  close(fds[1]);
  bool ok = read(fds[0], out, sizeof *out) == sizeof *out && out->seconds >= 0.0;
  close(fds[0]);
  int status;
  waitpid(child, &status, 0);
  return ok;
}

void BM_StartUpToTitle(benchmark::State& state) {
  if (!fs::is_directory(MediaDir() + "/circle")) {
    state.SkipWithError("no generated media (set ZR_MEDIA_DIR)");
    return;
  }
  StartUpRun warm;
  RunStartUp(&warm);  // the file cache
  long rss = 0;
  double cpu = 0.0;
  for (auto _ : state) {
    StartUpRun run;
    if (!RunStartUp(&run)) {
      state.SkipWithError("start-up failed");
      return;
    }
    state.SetIterationTime(run.seconds);
    rss = run.rssKb;
    cpu += run.cpuSeconds;
  }
  state.counters["rss_MB"] = rss / 1024.0;
  // The processor time of a start-up (the process's own, from its fork to
  // the title), which a busy machine stretches less than the wall time.
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_StartUpToTitle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The share of the library's start-up in the row above (its processor-clock
// and vertical-blank measurements wait about 40 ms by themselves).
void BM_LibraryStartUpAlone(benchmark::State& state) {
  long rss = 0;
  double cpu = 0.0;
  for (auto _ : state) {
    StartUpRun run;
    if (!RunStartUp(&run, &LibraryOnly)) {
      state.SkipWithError("library start-up failed");
      return;
    }
    state.SetIterationTime(run.seconds);
    rss = run.rssKb;
    cpu += run.cpuSeconds;
  }
  state.counters["rss_MB"] = rss / 1024.0;
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LibraryStartUpAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---------------------------------------------------------------- the peer

// Every picture of the media tree that start-up reads, as the start-up
// folders hold them (the tree's other pictures belong to later scenes).
std::vector<std::string> StartUpPictures() {
  const char* folders[] = {"circle", "other", "window", "background", "eventchar", "tavisha", "belnora",
                           "quendri", "falisse", "odwyna", "jurelle", "sugoroku/zarvie", "sugoroku/cadris",
                           "sugoroku/other", "mini/river", "mini/leisure", "mini/stair", "mini/pooyan",
                           "mini/shooting", "mini/numbersearch"};
  std::vector<std::string> files;
  for (const char* folder : folders) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(MediaDir() + "/" + folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->path().extension() == ".png") files.push_back(it->path().string());
  }
  return files;
}

bool DecodePng(const std::string& path, std::vector<uint8_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;
  pixels.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

void BM_PeerLibpngDecodesTheStartUpPictures(benchmark::State& state) {
  std::vector<std::string> files = StartUpPictures();
  if (files.empty()) {
    state.SkipWithError("no generated media (set ZR_MEDIA_DIR)");
    return;
  }
  std::vector<uint8_t> pixels;
  for (auto _ : state)
    for (const std::string& f : files) benchmark::DoNotOptimize(DecodePng(f, pixels));
  state.counters["pictures"] = static_cast<double>(files.size());
}
BENCHMARK(BM_PeerLibpngDecodesTheStartUpPictures)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
