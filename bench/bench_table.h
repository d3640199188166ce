// What the renderer benchmarks share: memory images of our own beside the
// peers' copies, and the table printed after the run. Every benchmark is
// named "row/implementation" and reports its pixels in the counter "px";
// the table gives each row's nanoseconds per pixel (best of the repetitions)
// and our ratio to the best peer.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "library/graphics/color_format.h"
#include "library/graphics/mem_img.h"

namespace benchtable {

struct OurImage {
  ColorFormat format{};
  MemImgBuffer buffer{};
  MEMIMG view{};
  uint8_t* pixels = nullptr;

  OurImage(int w, int h, int depthKind) {
    const int bytes = MemImgBytesPerPixel(depthKind, 0, 0);
    format.bytesPerPixel = static_cast<uint16_t>(bytes);
    buffer.refCount = 1;
    buffer.width = w;
    buffer.height = h;
    buffer.pitch = (w * bytes + 3) & ~3;
    buffer.format = &format;
    buffer.depthKind = depthKind;
    pixels = static_cast<uint8_t*>(
        std::aligned_alloc(64, (static_cast<size_t>(buffer.pitch) * h + 63) & ~size_t{63}));
    buffer.pixels = pixels;
    view.magic = MemImgMagic;
    view.width = w;
    view.height = h;
    view.pixels = pixels;
    view.buffer = &buffer;
  }
  ~OurImage() { std::free(pixels); }
  OurImage(const OurImage&) = delete;
  OurImage& operator=(const OurImage&) = delete;
  size_t Bytes() const { return static_cast<size_t>(buffer.pitch) * buffer.height; }
};

inline void SetPixels(benchmark::State& state, int64_t pixels) {
  state.counters["px"] = static_cast<double>(pixels);
}

struct Row {
  std::string name;
  std::vector<std::string> impls;
};
inline std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

// Registers one benchmark per implementation of a row; body(state, impl).
template <class F>
void Register(const std::string& row, std::vector<std::string> impls, F body) {
  Rows().push_back({row, impls});
  for (const std::string& impl : impls)
    benchmark::RegisterBenchmark((row + "/" + impl).c_str(), [body, impl](benchmark::State& s) {
      body(s, impl);
    })->Unit(benchmark::kMicrosecond);
}

// Keeps the best time per pixel of every benchmark while printing as usual.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> best;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto px = run.counters.find("px");
      if (px == run.counters.end()) continue;
      const double ns = run.GetAdjustedRealTime() * 1000.0 / px->second.value;  // microseconds per iteration
      auto it = best.find(run.benchmark_name());
      if (it == best.end() || ns < it->second) best[run.benchmark_name()] = ns;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// One line per row: ours, then each peer column, then ours over the best peer.
inline void PrintTable(const TableReporter& reporter, const std::vector<std::string>& peers) {
  std::printf("\n%-34s %9s", "ns per pixel", "ours");
  for (const std::string& p : peers) std::printf(" %9s", p.c_str());
  std::printf(" %12s\n", "ours / best");
  for (const Row& row : Rows()) {
    auto get = [&](const std::string& impl) {
      auto it = reporter.best.find(row.name + "/" + impl);
      return it == reporter.best.end() ? -1.0 : it->second;
    };
    const double ours = get("ours");
    if (ours < 0) continue;
    std::printf("%-34s %9.3f", row.name.c_str(), ours);
    double bestPeer = -1;
    for (const std::string& p : peers) {
      const double v = get(p);
      if (v < 0) {
        std::printf(" %9s", "-");
      } else {
        std::printf(" %9.3f", v);
        if (bestPeer < 0 || v < bestPeer) bestPeer = v;
      }
    }
    if (bestPeer > 0) std::printf(" %12.2f", ours / bestPeer);
    std::printf("\n");
  }
}

// Runs the registered benchmarks and prints the table.
inline int RunAndPrint(int argc, char** argv, const std::vector<std::string>& peers) {
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable(reporter, peers);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchtable
