// One frame of 2,000 alpha-blended sprites through the library's drawing
// calls, on the software renderer and on the Direct3D device that draws
// through OpenGL (on this machine Mesa's software rasteriser: its renderer
// string is printed), each frame cleared, drawn and presented in a 640 x 480
// window of an X server (a private Xvfb unless DISPLAY names one). The
// library is started afresh for each path; the table after the run gives
// milliseconds per frame.
//
//   ./build/release/bench/gl_sprite_bench --benchmark_repetitions=3
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "library/graphics/color_format.h"
#include "library/zrlib.h"
#include "platform/d3d9/d3d9_control.h"
#include "tests/support/xvfb.h"

namespace {

constexpr int kSprites = 2000, kGraphs = 8, kSide = 32;

// A sprite: a disc of colour with an alpha ramp, transparent outside.
ObjectHandle SpriteGraph(int index) {
  GraphImage model{};
  model.format = *GetStandardColorFormat(ColorKind32, 1, 0);
  GraphImage image{};
  CreateGraphImageWithFormat(kSide, kSide, &model, &image);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int dx = 2 * x - kSide + 1, dy = 2 * y - kSide + 1;
      const int d2 = dx * dx + dy * dy, r2 = kSide * kSide;
      const int alpha = d2 >= r2 ? 0 : 255 - 255 * d2 / r2;
      SetGraphImagePixel(&image, x, y, (index * 97 + x * 5) & 0xFF, (index * 41 + y * 7) & 0xFF, 255 - index * 20,
                         alpha);
    }
  const ObjectHandle graph = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
  ReleaseGraphImage(&image);
  return graph;
}

struct Path {
  const char* name;
  bool hardware;
};

std::map<std::string, double>& BestMilliseconds() {
  static std::map<std::string, double> best;
  return best;
}
std::string& Renderer() {
  static std::string renderer;
  return renderer;
}

void DrawFrames(benchmark::State& state, Path path) {
  // The OpenGL path whatever the display's renderer: on Mesa's llvmpipe
  // (Xvfb) the default adapter sends the library to its software path.
  if (path.hardware)
    D3D9SetAdapter(D3D9OpenGLAdapter());
  else
    D3D9ResetAdapter();
  SetUseHardwareFlag(path.hardware ? 1 : 0);
  SetWaitVSync(0);
  SetMainWindowTitle("ZR sprite benchmark");
  if (InitLibrary() != 0) {
    state.SkipWithError("the library did not start");
    return;
  }
  if (path.hardware != D3D9DeviceExecutes()) {
    EndLibrary();
    state.SkipWithError(("no OpenGL device: " + D3D9ExecutorError()).c_str());
    return;
  }
  if (path.hardware) Renderer() = D3D9RendererString();
  SelectDrawTarget(-2);
  ObjectHandle graphs[kGraphs];
  for (int i = 0; i < kGraphs; ++i) graphs[i] = SpriteGraph(i);
  // Fixed positions; sprites of one graph follow one another, as a game
  // draws its characters.
  int x[kSprites], y[kSprites];
  uint32_t seed = 12345;
  for (int i = 0; i < kSprites; ++i) {
    seed = seed * 1103515245u + 12345u;
    x[i] = static_cast<int>(seed >> 8) % (640 - kSide);
    seed = seed * 1103515245u + 12345u;
    y[i] = static_cast<int>(seed >> 8) % (480 - kSide);
  }
  for (auto _ : state) {
    ProcessWindowMessages();
    ClearDrawTarget(nullptr);
    SetDrawBlend(1, 200);
    for (int i = 0; i < kSprites; ++i) DrawGraphAt(x[i], y[i], graphs[i * kGraphs / kSprites], 1);
    SetDrawBlend(0, 0);
    PresentScreen();
  }
  state.counters["sprites"] = kSprites;
  EndLibrary();
}

class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double ms = run.GetAdjustedRealTime();
      auto it = BestMilliseconds().find(run.benchmark_name());
      if (it == BestMilliseconds().end() || ms < it->second) BestMilliseconds()[run.benchmark_name()] = ms;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // A display of our own unless one is given; no sound device.
  Child server;
  if (getenv("DISPLAY") == nullptr) {
    const std::string display = StartXvfb(server);
    if (display.empty()) {
      std::fprintf(stderr, "no X server: Xvfb did not start\n");
      return 1;
    }
    setenv("DISPLAY", display.c_str(), 1);
  }
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // The library's log goes into a folder of its own.
  char folder[] = "/tmp/zrspritesXXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
  for (const Path& p : {Path{"software", false}, Path{"opengl", true}})
    benchmark::RegisterBenchmark((std::string("sprites2000/") + p.name).c_str(),
                                 [p](benchmark::State& s) { DrawFrames(s, p); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n%-28s %12s\n", "2,000 blended sprites", "ms / frame");
  for (const auto& [name, ms] : BestMilliseconds()) std::printf("%-28s %12.2f\n", name.c_str(), ms);
  std::printf("OpenGL renderer: %s\n", Renderer().empty() ? "(none)" : Renderer().c_str());
  // SDL lets go of the display before the display goes.
  PlatformRestartVideo();
  std::remove("Log.txt");
  rmdir(folder);
  return 0;
}
