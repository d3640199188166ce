// What the renderer benchmarks share: memory images of our own and the
// peers' views of them, pictures of the stand-in media, the draw state of a
// row, the proof that every implementation draws the same frame, and the
// table printed after the run. Every benchmark is named "row/implementation"
// and reports its pixels in the counter "px"; the table gives each row's
// nanoseconds per pixel (best of the repetitions) and our ratio to the best
// peer that draws our picture.
//
// A peer may run a row in several set-ups, named "peer set-up" (such as
// "sdl2 rle"): its column shows the fastest of them that draws our picture.
// With --isa=sse2 the program runs with our AVX2 loops off and pixman's AVX2
// implementation off, so that every column draws with 128-bit vectors.
//
// Sameness: before its timing loop every implementation draws the row once
// onto the row's starting frame (ProveFrame), and the frame is hashed (the
// colour channels: byte 3 of a 32-bit frame is not part of the picture).
// A peer whose frame differs from ours is compared pixel by pixel: it draws
// our picture when no channel differs by more than the row's stated
// tolerance (the rounding of a blend that the peer computes in its own
// way); otherwise it draws another picture and gets no ratio.
#pragma once

#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "library/core/memory.h"
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
  std::vector<uint8_t> runs;     // the run table of a graph (AsGraph)
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
  ~OurImage() {  // (what blits made)
    TrackedFree(buffer.blitSpans);
    TrackedFree(buffer.blitTerms);
  }
  uint8_t* Row(int y) { return pixels + static_cast<size_t>(y) * buffer.pitch; }
  size_t Bytes() const { return static_cast<size_t>(buffer.pitch) * buffer.height; }

  // The image as the library keeps a graph of transparent pixels (a
  // transparent colour or an alpha channel) once its pixels are loaded: with
  // the run table of that load, which the library builds from the pixels as
  // they are now when the image is first drawn.
  void AsGraph() {
    runs.assign(static_cast<size_t>(buffer.width + 5) * buffer.height, 0);
    buffer.runTable = runs.data();
    buffer.hasRunTable = 1;
    buffer.extrasPending = MemImgPendingRunTable;
    buffer.pendingOffset = 0;
    buffer.pendingWidth = buffer.width;
    buffer.pendingHeight = buffer.height;
  }

 private:
  static int Pitch(int w, int depthKind, bool paletted, bool alpha) {
    return (w * MemImgBytesPerPixel(depthKind, paletted, alpha) + 3) & ~3;
  }
};

// Every byte of the image (padding included) random.
inline void FillRandom(OurImage& img, std::mt19937& rng) {
  for (size_t i = 0; i < img.Bytes(); ++i) img.pixels[i] = static_cast<uint8_t>(rng());
}

// ---- Pictures of the stand-in media ----

// A picture as straight-alpha ARGB words (alpha 255 where the file has none).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};

// The generated media folder (ZR_MEDIA_DIR overrides the build's).
inline std::string MediaDir() {
  const char* env = std::getenv("ZR_MEDIA_DIR");
#if defined(ZR_MEDIA_DIR)
  return env != nullptr ? env : ZR_MEDIA_DIR;
#else
  return env != nullptr ? env : "media";
#endif
}

// A PNG of the media folder by its path there (UTF-8); the program ends when
// it cannot be read.
inline const Picture& MediaPicture(const char8_t* path) {
  static std::map<std::string, Picture> loaded;
  const std::string name = reinterpret_cast<const char*>(path);
  auto it = loaded.find(name);
  if (it != loaded.end()) return it->second;
  const std::string file = MediaDir() + "/" + name;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  bool ok = png_image_begin_read_from_file(&image, file.c_str()) != 0;
  if (ok) {
    image.format = PNG_FORMAT_BGRA;  // little-endian ARGB words
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.argb.resize(static_cast<size_t>(p.width) * p.height);
    ok = png_image_finish_read(&image, nullptr, p.argb.data(), 0, nullptr) != 0;
  }
  if (!ok) {
    std::fprintf(stderr, "cannot read %s (build the media target first)\n", file.c_str());
    std::exit(1);
  }
  return loaded.emplace(name, std::move(p)).first->second;
}

// The pictures the rows draw: a 256 x 256 badge (a disc with a star and a
// word, soft-edged on a transparent field), a 640 x 480 background, and an
// event character of 160 x 170 on a transparent field.
inline const Picture& BadgePicture() { return MediaPicture(u8"mini/gunshooting/マークver3.png"); }
inline const Picture& BackgroundPicture() { return MediaPicture(u8"background/汎用背景01.png"); }
inline const Picture& CharacterPicture() { return MediaPicture(u8"eventchar/アンセリ.png"); }

// The key colour of the keyed pictures, as a 32-bit and an RGB565 pixel.
constexpr uint32_t kKey32 = 0x00FF00FF;
constexpr uint16_t kKey16 = 0xF81F;

inline uint16_t To565(uint32_t argb) {
  return static_cast<uint16_t>(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
}
inline uint32_t From565(uint32_t c) {
  return ((c & 0xF800u) << 8) | ((c & 0x07E0u) << 5) | ((c & 0x001Fu) << 3);
}

// The picture's pixel as a keyed image holds it: the key colour where the
// picture is less than half covered, else its colour (never the key).
inline uint32_t KeyedPixel32(uint32_t argb) {
  if ((argb >> 24) < 128) return kKey32;
  const uint32_t c = argb & 0x00FFFFFF;
  return c == kKey32 ? c ^ 1 : c;
}

// Copies a picture into a 32-bit image at (x, y), the image's rows and
// columns beyond the picture left alone: as ARGB (alpha images), keyed, or
// opaque colours (byte 3 zero).
enum class PictureAs { Alpha, Keyed, Opaque };
inline void PutPicture(OurImage& img, const Picture& p, PictureAs as, int x0 = 0, int y0 = 0) {
  for (int y = 0; y < p.height && y0 + y < img.buffer.height; ++y)
    for (int x = 0; x < p.width && x0 + x < img.buffer.width; ++x) {
      const uint32_t argb = p.At(x, y);
      uint32_t v = as == PictureAs::Alpha ? argb : as == PictureAs::Keyed ? KeyedPixel32(argb) : argb & 0x00FFFFFF;
      if (img.buffer.depthKind == MemImgDepth16 && !img.buffer.paletted) {
        const uint32_t c = as == PictureAs::Keyed && v == kKey32 ? kKey16 : To565(v);
        const uint32_t packed = img.buffer.alpha ? c | (argb >> 24) << 16 : c;
        std::memcpy(img.Row(y0 + y) + img.format.bytesPerPixel * (x0 + x), &packed, img.format.bytesPerPixel);
      } else {
        std::memcpy(img.Row(y0 + y) + 4 * (x0 + x), &v, 4);
      }
    }
}

// ---- Draw state and peers' views ----

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

// A straight-alpha ARGB image premultiplied once, as a program using pixman
// does when it loads the picture: by pixman itself (the colour as x8r8g8b8
// weighed by the same pixels as an a8r8g8b8 mask), into premul (ARGB, the
// same size).
inline void PremultiplyWithPixman(OurImage& straight, OurImage& premul) {
  pixman_image_t* colour = PixmanView(straight, PIXMAN_x8r8g8b8);
  pixman_image_t* alpha = PixmanView(straight, PIXMAN_a8r8g8b8);
  pixman_image_t* out = PixmanView(premul, PIXMAN_a8r8g8b8);
  pixman_image_composite32(PIXMAN_OP_SRC, colour, alpha, out, 0, 0, 0, 0, 0, 0, straight.buffer.width,
                           straight.buffer.height);
  for (pixman_image_t* img : {colour, alpha, out}) pixman_image_unref(img);
}

inline void SetPixels(benchmark::State& state, int64_t pixels) {
  state.counters["px"] = static_cast<double>(pixels);
}

// ---- Rows and the proof of sameness ----

// How far a peer may draw from our picture and still draw it: the largest
// difference of a colour channel, in the channel's own steps, and why.
struct Tolerance {
  int steps = 0;
  const char* why = nullptr;
};

struct Row {
  std::string name;
  std::vector<std::string> impls;
  Tolerance tolerance;
};
inline std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

// A frame an implementation drew into: its first pixel, pitch, size and
// bytes per pixel (4: XRGB8888, 2: RGB565, 3: RGB888), and whether its
// byte 3 is alpha and part of the picture (ARGB8888, and RGB565 with alpha
// in byte 2 when bytes is 4 and rgb565 is set).
struct FrameView {
  const uint8_t* pixels;
  int32_t pitch, width, height, bytes;
  bool alpha = false, rgb565 = false;
};
inline FrameView ViewOf(OurImage& img) {
  return {img.pixels, img.buffer.pitch, img.buffer.width, img.buffer.height, img.format.bytesPerPixel};
}
inline FrameView ViewOf(SDL_Surface* s) {
  return {static_cast<const uint8_t*>(s->pixels), s->pitch, s->w, s->h, s->format->BytesPerPixel};
}

// What the proof found for one implementation of a row.
struct Proof {
  uint64_t hash = 0;
  bool compared = false;  // against our frame
  int64_t differing = 0;  // pixels
  int largest = 0;        // channel steps
};
inline std::map<std::string, Proof>& Proofs() {
  static std::map<std::string, Proof> proofs;
  return proofs;
}
// Our frame of the row being run, for the peers that follow.
inline std::vector<uint32_t>& OurFrame() {
  static std::vector<uint32_t> frame;
  return frame;
}
// The row and implementation of the benchmark being run.
inline std::string& CurrentRow() {
  static std::string row;
  return row;
}
inline std::string& CurrentImpl() {
  static std::string impl;
  return impl;
}

// The channels of a frame's pixel as (shift, bits): red, green, blue and
// alpha (bits 0 when the frame has none).
inline void ChannelsOf(const FrameView& f, int channels[4][2]) {
  const bool wide = (f.bytes == 4 || f.bytes == 3) && !f.rgb565;
  const int c32[4][2] = {{16, 8}, {8, 8}, {0, 8}, {24, f.alpha ? 8 : 0}};
  const int c16[4][2] = {{11, 5}, {5, 6}, {0, 5}, {16, f.alpha ? 8 : 0}};
  std::memcpy(channels, wide ? c32 : c16, sizeof c32);
}

// The colour (and alpha) of every pixel of the frame, row by row.
inline std::vector<uint32_t> FrameColours(const FrameView& f) {
  std::vector<uint32_t> out(static_cast<size_t>(f.width) * f.height);
  const uint32_t mask = f.rgb565 ? (f.alpha ? 0x00FFFFFF : 0xFFFF)
                        : f.bytes == 4 ? (f.alpha ? 0xFFFFFFFF : 0x00FFFFFF)
                        : f.bytes == 3 ? 0x00FFFFFF
                                       : 0xFFFF;
  for (int32_t y = 0; y < f.height; ++y)
    for (int32_t x = 0; x < f.width; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, f.pixels + static_cast<size_t>(y) * f.pitch + static_cast<size_t>(x) * f.bytes,
                  static_cast<size_t>(f.bytes));
      out[static_cast<size_t>(y) * f.width + x] = v & mask;
    }
  return out;
}

inline uint64_t HashColours(const std::vector<uint32_t>& colours) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a over the colour words
  for (uint32_t v : colours)
    for (int i = 0; i < 4; ++i) h = (h ^ ((v >> (8 * i)) & 0xFF)) * 1099511628211ull;
  return h;
}

// The first time an implementation of a row runs: draws once onto the frame
// as it stands (draw()), hashes the frame, compares it with our frame of the
// row (ours runs first), and puts the frame back as it was, so that the
// timing starts from the same frame.
template <class Draw>
void ProveFrame(const FrameView& frame, Draw draw) {
  const std::string key = CurrentRow() + "/" + CurrentImpl();
  if (Proofs().count(key) != 0) return;
  std::vector<uint8_t> saved(static_cast<size_t>(frame.pitch) * frame.height);
  std::memcpy(saved.data(), frame.pixels, saved.size());
  draw();
  const std::vector<uint32_t> colours = FrameColours(frame);
  Proof proof;
  proof.hash = HashColours(colours);
  if (CurrentImpl() == "ours") {
    OurFrame() = colours;
  } else if (OurFrame().size() == colours.size() && Proofs().count(CurrentRow() + "/ours") != 0) {
    proof.compared = true;
    int channels[4][2];
    ChannelsOf(frame, channels);
    for (size_t i = 0; i < colours.size(); ++i) {
      const uint32_t a = OurFrame()[i], b = colours[i];
      if (a == b) continue;
      ++proof.differing;
      for (const auto& c : channels) {
        if (c[1] == 0) continue;
        const int m = (1 << c[1]) - 1;
        const int d = std::abs(static_cast<int>((a >> c[0]) & m) - static_cast<int>((b >> c[0]) & m));
        if (d > proof.largest) proof.largest = d;
      }
    }
  }
  Proofs()[key] = proof;
  std::memcpy(const_cast<uint8_t*>(frame.pixels), saved.data(), saved.size());
}

// Whether an implementation of a row drew our picture: the same frame, or
// one within the row's tolerance.
inline bool DrawsOurPicture(const Row& row, const std::string& impl) {
  auto it = Proofs().find(row.name + "/" + impl);
  if (it == Proofs().end() || !it->second.compared) return false;
  return it->second.differing == 0 || it->second.largest <= row.tolerance.steps;
}

// Registers one benchmark per implementation of a row; body(state, impl).
template <class F>
void Register(const std::string& row, std::vector<std::string> impls, F body, Tolerance tolerance = {}) {
  Rows().push_back({row, impls, tolerance});
  for (const std::string& impl : impls)
    benchmark::RegisterBenchmark((row + "/" + impl).c_str(), [body, row, impl](benchmark::State& s) {
      CurrentRow() = row;
      CurrentImpl() = impl;
      body(s, impl);
    })->Unit(benchmark::kMicrosecond);
}

// Keeps the best time per pixel of every benchmark while printing as usual:
// the processor time of the benchmark's thread (every implementation draws
// on that one thread), which on an idle machine is the time that passes and
// on a busy one leaves out the time the thread waits for a processor.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> best;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto px = run.counters.find("px");
      if (px == run.counters.end()) continue;
      const double ns = run.GetAdjustedCPUTime() * 1000.0 / px->second.value;  // microseconds per iteration
      auto it = best.find(run.benchmark_name());
      if (it == best.end() || ns < it->second) best[run.benchmark_name()] = ns;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// The frames of every row: each implementation's hash, and for a frame
// other than ours the pixels that differ, by how much, and whether that is
// within the row's tolerance.
inline void PrintFrames() {
  std::printf("\nframes (hash of the colour channels; a peer that draws another picture gets no ratio)\n");
  for (const Row& row : Rows()) {
    auto ours = Proofs().find(row.name + "/ours");
    if (ours == Proofs().end()) continue;
    std::printf("%s\n", row.name.c_str());
    if (row.tolerance.steps > 0)
      std::printf("    tolerance: %d step%s of a channel (%s)\n", row.tolerance.steps,
                  row.tolerance.steps == 1 ? "" : "s", row.tolerance.why);
    for (const std::string& impl : row.impls) {
      auto it = Proofs().find(row.name + "/" + impl);
      if (it == Proofs().end()) continue;
      const Proof& p = it->second;
      std::printf("    %-18s %016llx", impl.c_str(), static_cast<unsigned long long>(p.hash));
      if (impl == "ours") {
        std::printf("\n");
      } else if (!p.compared) {
        std::printf("  (not compared)\n");
      } else if (p.differing == 0) {
        std::printf("  the same frame\n");
      } else {
        std::printf("  %lld pixels differ, by up to %d step%s: %s\n", static_cast<long long>(p.differing), p.largest,
                    p.largest == 1 ? "" : "s",
                    p.largest <= row.tolerance.steps ? "within the tolerance" : "another picture");
      }
    }
  }
}

// One line per row: ours, then each reference and each peer column, ours
// over the best peer that draws our picture, and (framePixels set) our
// milliseconds for a frame of that many pixels. A column whose fastest
// set-up draws another picture shows its time with a '*' and enters no
// ratio. References (such as memcpy) are shown for scale: each line ends
// with ours as a multiple of them.
inline void PrintTable(const TableReporter& reporter, const std::vector<std::string>& peers,
                       const std::vector<std::string>& references, int64_t framePixels) {
  std::vector<std::string> shown = references;
  shown.insert(shown.end(), peers.begin(), peers.end());
  std::printf("\n%-38s %9s", "ns per pixel", "ours");
  for (const std::string& c : shown) std::printf(" %9s", c.c_str());
  std::printf(" %12s", "ours / best");
  if (framePixels > 0) std::printf(" %10s", "ms / frame");
  std::printf("\n");
  for (const Row& row : Rows()) {
    // The fastest set-up of an implementation (only those that draw our
    // picture when same); its name in *setup.
    auto get = [&](const std::string& impl, bool same, std::string* setup = nullptr) {
      double best = -1.0;
      for (const std::string& i : row.impls) {
        if (i != impl && i.rfind(impl + " ", 0) != 0) continue;
        if (same && !DrawsOurPicture(row, i)) continue;
        auto it = reporter.best.find(row.name + "/" + i);
        if (it == reporter.best.end() || (best >= 0 && it->second >= best)) continue;
        best = it->second;
        if (setup != nullptr) *setup = i;
      }
      return best;
    };
    const double ours = get("ours", false);
    if (ours < 0) continue;
    std::printf("%-38s %9.3f", row.name.c_str(), ours);
    for (const std::string& c : shown) {
      const bool isPeer = std::find(peers.begin(), peers.end(), c) != peers.end();
      const double same = get(c, true), any = get(c, false);
      if (same >= 0 || (!isPeer && any >= 0))
        std::printf(" %9.3f", same >= 0 ? same : any);
      else if (any >= 0)
        std::printf(" %8.3f*", any);
      else
        std::printf(" %9s", "-");
    }
    double bestPeer = -1;
    for (const std::string& p : peers) {
      const double v = get(p, true);
      if (v > 0 && (bestPeer < 0 || v < bestPeer)) bestPeer = v;
    }
    if (bestPeer > 0)
      std::printf(" %12.2f", ours / bestPeer);
    else
      std::printf(" %12s", "-");
    if (framePixels > 0) std::printf(" %10.3f", ours * static_cast<double>(framePixels) / 1e6);
    for (const std::string& r : references) {
      const double v = get(r, false);
      if (v > 0) std::printf("   (%s x%.2f)", r.c_str(), ours / v);
    }
    for (const std::string& p : peers) {
      std::string setup;
      if (get(p, true, &setup) > 0 && setup != p) std::printf("   [%s]", setup.c_str());
    }
    std::printf("\n");
  }
  std::printf("(* the peer's fastest set-up draws another picture: no ratio)\n");
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

// Runs the registered benchmarks and prints the table and the frames.
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
  PrintFrames();
  std::printf("\ninstruction set: %s", isa);
  PrintTable(reporter, peers, references, framePixels);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchtable
