// What the renderer benchmarks share: memory images of our own and the
// peers' views of them, the draw state of a row, and the table printed after
// the run. Every benchmark is named "row/implementation" and reports its
// pixels in the counter "px"; the table gives each row's nanoseconds per
// pixel (best of the repetitions) and our ratio to the best peer.
//
// A peer may run a row in several set-ups, named "peer set-up" (such as
// "sdl2 rle"): its column shows the fastest of them. With --isa=sse2 the
// program runs with our AVX2 loops off and pixman's AVX2 implementation off,
// so that every column draws with 128-bit vectors.
#pragma once

#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "library/graphics/color_format.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_kernels.h"

namespace benchtable {

// The frame the benchmarks draw into.
constexpr int kFrameW = 640, kFrameH = 480;

// Image memory, kept for the program's life and handed out again by size,
// the block given back last first. Each run of a benchmark makes its images
// afresh; with fresh memory every time, where its pages fell in the cache
// moved a frame-sized row by several per cent from one implementation to the
// next. Taken from here, every implementation of a row draws on the same
// memory.
class PooledBytes {
 public:
  explicit PooledBytes(size_t size) : size_(size), block_((size + 63) & ~size_t{63}) {
    auto [first, last] = Spare().equal_range(block_);
    if (first == last) {
      data_ = static_cast<uint8_t*>(std::aligned_alloc(64, block_));
    } else {
      --last;
      data_ = last->second;
      Spare().erase(last);
    }
  }
  ~PooledBytes() { Spare().emplace(block_, data_); }
  PooledBytes(const PooledBytes&) = delete;
  PooledBytes& operator=(const PooledBytes&) = delete;
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  static std::multimap<size_t, uint8_t*>& Spare() {
    static std::multimap<size_t, uint8_t*> spare;
    return spare;
  }
  size_t size_, block_;
  uint8_t* data_ = nullptr;
};

struct OurImage {
  ColorFormat format{};
  MemImgBuffer buffer{};
  MEMIMG view{};
  uint8_t* pixels = nullptr;
  std::vector<uint8_t> palette;  // paletted images: 256 entries
  PooledBytes memory;

  OurImage(int w, int h, int depthKind, bool paletted = false, bool alpha = false)
      : memory(static_cast<size_t>(Pitch(w, depthKind, paletted, alpha)) * h) {
    format.bytesPerPixel = static_cast<uint16_t>(MemImgBytesPerPixel(depthKind, paletted, alpha));
    buffer.refCount = 1;
    buffer.width = w;
    buffer.height = h;
    buffer.pitch = Pitch(w, depthKind, paletted, alpha);
    buffer.format = &format;
    buffer.depthKind = depthKind;
    buffer.paletted = paletted;
    buffer.alpha = alpha;
    pixels = memory.data();
    buffer.pixels = pixels;
    if (paletted) {
      palette.assign(2048, 0);
      buffer.palette = palette.data();
      buffer.paletteCount = 256;
    }
    view.magic = MemImgMagic;
    view.width = w;
    view.height = h;
    view.pixels = pixels;
    view.buffer = &buffer;
  }
  OurImage(const OurImage&) = delete;
  OurImage& operator=(const OurImage&) = delete;
  uint8_t* Row(int y) { return pixels + static_cast<size_t>(y) * buffer.pitch; }
  size_t Bytes() const { return static_cast<size_t>(buffer.pitch) * buffer.height; }

 private:
  static int Pitch(int w, int depthKind, bool paletted, bool alpha) {
    return (w * MemImgBytesPerPixel(depthKind, paletted, alpha) + 3) & ~3;
  }
};

// Every byte of the image (padding included) random.
inline void FillRandom(OurImage& img, std::mt19937& rng) {
  for (size_t i = 0; i < img.Bytes(); ++i) img.pixels[i] = static_cast<uint8_t>(rng());
}

// The draw state of a row: blend mode and parameter, brightness, and the
// whole frame as the drawing area.
inline void SetDrawState(int32_t mode, int32_t param, uint8_t blue = 255, uint8_t green = 255,
                         uint8_t red = 255) {
  DrawBlendMode = mode;
  DrawBlendParam = param;
  DrawBright = {blue, green, red};
  DrawClipRect = {0, 0, kFrameW, kFrameH};
}

// The peers' views of our image's pixels (no copy).
inline SDL_Surface* SdlView(OurImage& img, Uint32 format) {
  return SDL_CreateRGBSurfaceWithFormatFrom(img.pixels, img.buffer.width, img.buffer.height,
                                            SDL_BYTESPERPIXEL(format) * 8, img.buffer.pitch, format);
}
inline pixman_image_t* PixmanView(OurImage& img, pixman_format_code_t format) {
  return pixman_image_create_bits(format, img.buffer.width, img.buffer.height,
                                  reinterpret_cast<uint32_t*>(img.pixels), img.buffer.pitch);
}

// pixman's two set-ups of a source whose pixels carry straight alpha (ARGB
// words). masked ("pixman mask"): the pixels as an x8r8g8b8 source weighed
// by the same pixels as an a8r8g8b8 mask, so that pixman multiplies the
// straight colour by its alpha as ours does. Otherwise ("premul"): the
// pixels as an a8r8g8b8 source, which pixman takes as premultiplied: less
// work, and another picture (a reference, not a peer). *mask stays null
// without one; the caller unrefs both.
inline void PixmanStraightAlpha(OurImage& img, bool masked, pixman_image_t** source, pixman_image_t** mask) {
  *source = PixmanView(img, masked ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8);
  *mask = masked ? PixmanView(img, PIXMAN_a8r8g8b8) : nullptr;
}

// Draws a straight-alpha source once with ours and once with each of
// pixman's two set-ups above, each onto its own copy of frame, and prints
// how many pixels each set-up draws differently from ours (the colour
// channels of a 32-bit frame, the whole pixel of a 16-bit one).
// drawOurs(OurImage& target); drawPixman(source, mask, pixman_image_t* target).
template <class Ours, class Pixman>
void PrintStraightAlphaDifferences(const char* row, OurImage& sprite, OurImage& frame,
                                   pixman_format_code_t frameFormat, int64_t spritePixels, Ours drawOurs,
                                   Pixman drawPixman) {
  const int w = frame.buffer.width, h = frame.buffer.height, bytes = frame.format.bytesPerPixel;
  OurImage ours(w, h, frame.buffer.depthKind), premul(w, h, frame.buffer.depthKind),
      masked(w, h, frame.buffer.depthKind);
  for (OurImage* img : {&ours, &premul, &masked}) std::memcpy(img->pixels, frame.pixels, frame.Bytes());
  drawOurs(ours);
  for (OurImage* target : {&premul, &masked}) {
    pixman_image_t *source, *mask;
    PixmanStraightAlpha(sprite, target == &masked, &source, &mask);
    pixman_image_t* dst = PixmanView(*target, frameFormat);
    drawPixman(source, mask, dst);
    for (pixman_image_t* img : {source, mask, dst})
      if (img != nullptr) pixman_image_unref(img);
  }
  // The colour channels as (shift, bits): XRGB8888 or RGB565.
  const int channels[3][2] = {{bytes == 4 ? 16 : 11, bytes == 4 ? 8 : 5},
                              {bytes == 4 ? 8 : 5, bytes == 4 ? 8 : 6},
                              {0, bytes == 4 ? 8 : 5}};
  // Pixels that differ, and the largest difference of a channel (in its own steps).
  auto differing = [&](OurImage& other, int* largest) {
    int count = 0;
    *largest = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t a = 0, b = 0;
        std::memcpy(&a, ours.Row(y) + bytes * x, static_cast<size_t>(bytes));
        std::memcpy(&b, other.Row(y) + bytes * x, static_cast<size_t>(bytes));
        bool differs = false;
        for (const auto& c : channels) {
          const int mask = (1 << c[1]) - 1;
          const int d = std::abs(static_cast<int>((a >> c[0]) & mask) - static_cast<int>((b >> c[0]) & mask));
          differs = differs || d != 0;
          if (d > *largest) *largest = d;
        }
        count += differs;
      }
    return count;
  };
  int premulLargest, maskedLargest;
  const int premulCount = differing(premul, &premulLargest), maskedCount = differing(masked, &maskedLargest);
  std::printf("\n%s: of the sprite's %lld pixels, pixman's premultiplied set-up (\"premul\", not a peer)"
              " draws %d differently from ours (by up to %d steps of a channel); its set-up with the alpha"
              " mask (\"pixman mask\") %d (up to %d)\n",
              row, static_cast<long long>(spritePixels), premulCount, premulLargest, maskedCount, maskedLargest);
}

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

// One line per row: ours, then each reference and each peer column, ours
// over the best peer, and (framePixels set) our milliseconds for a frame of
// that many pixels. References (such as memcpy) are shown for scale: each
// line ends with ours as a multiple of them.
inline void PrintTable(const TableReporter& reporter, const std::vector<std::string>& peers,
                       const std::vector<std::string>& references, int64_t framePixels) {
  std::vector<std::string> shown = references;
  shown.insert(shown.end(), peers.begin(), peers.end());
  std::printf("\n%-34s %9s", "ns per pixel", "ours");
  for (const std::string& c : shown) std::printf(" %9s", c.c_str());
  std::printf(" %12s", "ours / best");
  if (framePixels > 0) std::printf(" %10s", "ms / frame");
  std::printf("\n");
  for (const Row& row : Rows()) {
    // The fastest set-up of an implementation; its name in *setup.
    auto get = [&](const std::string& impl, std::string* setup = nullptr) {
      double best = -1.0;
      for (const std::string& i : row.impls) {
        if (i != impl && i.rfind(impl + " ", 0) != 0) continue;
        auto it = reporter.best.find(row.name + "/" + i);
        if (it == reporter.best.end() || (best >= 0 && it->second >= best)) continue;
        best = it->second;
        if (setup != nullptr) *setup = i;
      }
      return best;
    };
    const double ours = get("ours");
    if (ours < 0) continue;
    std::printf("%-34s %9.3f", row.name.c_str(), ours);
    for (const std::string& c : shown) {
      const double v = get(c);
      if (v < 0)
        std::printf(" %9s", "-");
      else
        std::printf(" %9.3f", v);
    }
    double bestPeer = -1;
    for (const std::string& p : peers) {
      const double v = get(p);
      if (v > 0 && (bestPeer < 0 || v < bestPeer)) bestPeer = v;
    }
    if (bestPeer > 0)
      std::printf(" %12.2f", ours / bestPeer);
    else
      std::printf(" %12s", "-");
    if (framePixels > 0) std::printf(" %10.3f", ours * static_cast<double>(framePixels) / 1e6);
    for (const std::string& r : references) {
      const double v = get(r);
      if (v > 0) std::printf("   (%s x%.2f)", r.c_str(), ours / v);
    }
    for (const std::string& p : peers) {
      std::string setup;
      if (get(p, &setup) > 0 && setup != p) std::printf("   [%s]", setup.c_str());
    }
    std::printf("\n");
  }
}

// --isa=sse2: our AVX2 loops off, and the program run again with pixman's
// AVX2 implementation off (pixman chooses its implementation when loaded).
// Returns the instruction set's name for the table.
inline const char* ChooseInstructionSet(int argc, char** argv) {
  bool sse2 = false;
  for (int i = 1; i < argc; ++i) sse2 = sse2 || std::strcmp(argv[i], "--isa=sse2") == 0;
  if (!sse2) return BlitUseAvx2 ? "AVX2" : "SSE2 (no AVX2 on this processor)";
  if (std::getenv("PIXMAN_DISABLE") == nullptr) {
    setenv("PIXMAN_DISABLE", "avx2", 1);
    execv("/proc/self/exe", argv);
    std::perror("execv");
    std::exit(1);
  }
  BlitUseAvx2 = false;
  return "SSE2 only (our AVX2 loops and pixman's off)";
}

// Runs the registered benchmarks and prints the table.
inline int RunAndPrint(int argc, char** argv, const std::vector<std::string>& peers,
                       const std::vector<std::string>& references = {}, int64_t framePixels = 0) {
  const char* isa = ChooseInstructionSet(argc, argv);
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i)
    if (std::strcmp(argv[i], "--isa=sse2") != 0) args.push_back(argv[i]);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\ninstruction set: %s", isa);
  PrintTable(reporter, peers, references, framePixels);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchtable
