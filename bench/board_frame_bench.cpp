// One frame of the board scene on the software renderer: the screen cleared,
// the board of a map with the four pieces (player 1's animated), the four
// status panels, an open window with a line of text, at 32 and at 16 bits
// per pixel. Beside it the floor: a plain memcpy of the same screen.
//
// Each screen depth runs in a child process of its own (the game starts
// once per process) on the generated media:
//
//   ./build/release/bench/board_frame_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/board_view.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/graphics_system.h"
#include "library/zrlib.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_window.h"

namespace fs = std::filesystem;

namespace {

const std::string& MediaDir() {
  static const std::string dir = [] {
    const char* env = getenv("ZR_MEDIA_DIR");
    return std::string(env != nullptr ? env : ZR_MEDIA_DIR);
  }();
  return dir;
}

// Four players on the map as a new party starts, spread over the squares
// after player 1's, with items, coins and turn order.
void SetUpBoard(int32_t map) {
  const int32_t characters[4] = {0, 2, 3, 5};
  const int32_t order[4] = {2, 4, 1, 3};
  memset(PlayerTable, 0, sizeof PlayerTable);
  for (int p = 0; p < 4; ++p) {
    StrCopy(PlayerTable[p].name, "ベルノーラ");
    PlayerTable[p].character = characters[p];
  }
  CurrentMapId = map;
  LoadBoardImages();
  while (::SetUpBoard() != 1) {
  }
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    int32_t square = map == 4 ? (r.square + p - 1) % 25 + 1 : map == 3 ? (p == 0 ? 68 : p) : r.square + p;
    if (p > 0) {
      r.square = square;
      r.x = SquareTable[square].x;
      r.y = SquareTable[square].y;
    }
    r.turnOrder = order[p];
    r.coins = 5 + 7 * p;
    r.stars = p % 2;
    r.items[0] = p + 1;
    r.items[1] = 24;
    r.squareColour = p;
    r.facing = 2 + 2 * p;
  }
  AssignPlacements();
  CenterCameraOnPlayer(1);
}

// The window of an event, open.
void OpenWindow() {
  AnimatedWindow = {};
  for (int i = 0; i < 100 && DrawAnimatedWindow(120, 330, 100, 540, 16, 1) != 1; ++i) {
  }
}

void DrawBoardFrame() {
  ClearDrawTarget(nullptr);
  DrawBoard(1);
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
  DrawAnimatedWindow(120, 330, 100, 540, 16, 2);
  DrawTextToHandle(130, 150, "ショップへようこそ！何を買っていく？", MakeScreenColor(255, 255, 255),
                   FontHandlesBySize[19], 0, 0);
}

void BoardFrame(benchmark::State& state, int32_t map) {
  SetUpBoard(map);
  OpenWindow();
  for (auto _ : state) DrawBoardFrame();
}

void ScreenMemcpy(benchmark::State& state) {
  size_t bytes = static_cast<size_t>(ScreenMemImg.buffer->pitch) * ScreenMemImg.height;
  std::vector<uint8_t> copy(bytes);
  for (auto _ : state) {
    memcpy(copy.data(), ScreenMemImg.buffer->pixels, bytes);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

// Keeps each benchmark's best milliseconds per iteration.
class BestReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> best;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      double ms = run.GetAdjustedRealTime() / 1000.0;  // the unit is microseconds
      auto it = best.find(run.benchmark_name());
      if (it == best.end() || ms < it->second) best[run.benchmark_name()] = ms;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// The game at one screen depth in this (child) process; the best times go
// to the pipe as "name milliseconds" lines.
int RunDepth(int argc, char** argv, int32_t bits, int out) {
  std::string work = (fs::temp_directory_path() / ("zrboardframe" + std::to_string(getpid()))).string();
  fs::create_directories(work);
  std::error_code ec;
  fs::create_directory_symlink(fs::absolute(MediaDir()), work + "/media", ec);
  if (chdir(work.c_str()) != 0) return 2;
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  PlatformSetDebugOutput(false);
  // A window scope of its own: another copy of the game elsewhere does not
  // count as this one's double start.
  PlatformSetWindowScope(("bench" + std::to_string(getpid())).c_str());
  SetUseHardwareFlag(0);
  ScreenWidth = 640;
  ScreenHeight = 480;
  ScreenColorBits = bits;
  if (StartGame() != 0 || HardwareActive != 0 || ScreenColorBits != bits) {
    std::fprintf(stderr, "the game did not start on the software renderer at %d bits\n", bits);
    return 3;
  }
  FadeInDone = 1;
  SetDrawBrightness(255, 255, 255);
  const std::string depth = std::to_string(bits) + "-bit";
  for (int32_t map = 1; map <= 4; ++map)
    benchmark::RegisterBenchmark(("map " + std::to_string(map) + ", " + depth).c_str(),
                                 [map](benchmark::State& s) { BoardFrame(s, map); })
        ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(("memcpy of the screen, " + depth).c_str(), ScreenMemcpy)
      ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  BestReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& [name, ms] : reporter.best) dprintf(out, "%s\t%.6f\n", name.c_str(), ms);
  fs::remove_all(work, ec);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!fs::is_directory(MediaDir() + "/sugoroku")) {
    std::fprintf(stderr, "no generated media (set ZR_MEDIA_DIR)\n");
    return 1;
  }
  std::map<std::string, double> best;
  for (int32_t bits : {32, 16}) {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      int code = RunDepth(argc, argv, bits, fds[1]);
      close(fds[1]);
      std::fflush(stdout);
      _exit(code);
    }
    close(fds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      std::string line = text.substr(at, end - at);
      size_t tab = line.find('\t');
      if (tab != std::string::npos) best[line.substr(0, tab)] = std::atof(line.c_str() + tab + 1);
      at = end == std::string::npos ? text.size() : end + 1;
    }
  }
  std::printf("\n%-30s %12s %12s %12s %12s\n", "board frame (ms per frame)", "32-bit", "16-bit", "memcpy 32", "memcpy 16");
  const double copy32 = best["memcpy of the screen, 32-bit"], copy16 = best["memcpy of the screen, 16-bit"];
  for (int32_t map = 1; map <= 4; ++map) {
    const std::string row = "map " + std::to_string(map);
    std::printf("%-30s %12.3f %12.3f %12.3f %12.3f\n", row.c_str(), best[row + ", 32-bit"], best[row + ", 16-bit"],
                copy32, copy16);
  }
  return 0;
}
