// Nanoseconds per pixel of the converter on a 640 x 480 frame: each shortcut
// beside the pixel-by-pixel rule for the same pair of formats.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "library/graphics/color_convert.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  SetColorFormatFromMasks(&f, bits, r, g, b, a);
  return f;
}

struct Frame {
  ColorFormat format;
  std::vector<uint8_t> bytes;
  int32_t pitch;
  explicit Frame(const ColorFormat& f) : format(f), bytes(kWidth * kHeight * f.bytesPerPixel), pitch(kWidth * f.bytesPerPixel) {
    std::mt19937 random(1);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    for (auto& entry : format.palette) {
      for (int i = 0; i < 3; ++i) entry[i] = static_cast<uint8_t>(random());
    }
  }
};

void Run(benchmark::State& state, const ColorFormat& from, const ColorFormat& to, bool general, int32_t keyToAlpha) {
  Frame src(from), dest(to);
  PixelRect rect{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    int r = general ? ConvertPixelRectGeneral(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch,
                                              &src.format, nullptr, 0, nullptr, 0, 0, &rect, 0, keyToAlpha, 0xFF00FF,
                                              0, 0, 0, 0)
                    : ConvertPixelRect(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch,
                                       &src.format, nullptr, 0, nullptr, 0, 0, &rect, 0, keyToAlpha, 0xFF00FF, 0, 0, 0,
                                       0, 0);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  state.counters["ns/pixel"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const ColorFormat kRgb565 = Format(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat kRgb24 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kXrgb32 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kArgb32 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat kPal8 = [] {
  ColorFormat f{};
  SetColorFormatPal8(&f);
  return f;
}();

void BM_SameLayout(benchmark::State& s) { Run(s, kXrgb32, kXrgb32, false, 0); }
void BM_KeyToAlphaSameColours(benchmark::State& s) { Run(s, kXrgb32, kArgb32, false, 1); }
void BM_KeyToAlphaSameColours_Rule(benchmark::State& s) { Run(s, kXrgb32, kArgb32, true, 1); }
void BM_Xrgb32To565(benchmark::State& s) { Run(s, kXrgb32, kRgb565, false, 0); }
void BM_Xrgb32To565_Rule(benchmark::State& s) { Run(s, kXrgb32, kRgb565, true, 0); }
void BM_Rgb24ToXrgb32(benchmark::State& s) { Run(s, kRgb24, kXrgb32, false, 0); }
void BM_Rgb24ToXrgb32_Rule(benchmark::State& s) { Run(s, kRgb24, kXrgb32, true, 0); }
void BM_Rgb565ToXrgb32(benchmark::State& s) { Run(s, kRgb565, kXrgb32, false, 0); }
void BM_Pal8To565(benchmark::State& s) { Run(s, kPal8, kRgb565, false, 0); }
void BM_Pal8To565_Rule(benchmark::State& s) { Run(s, kPal8, kRgb565, true, 0); }

BENCHMARK(BM_SameLayout);
BENCHMARK(BM_KeyToAlphaSameColours);
BENCHMARK(BM_KeyToAlphaSameColours_Rule);
BENCHMARK(BM_Xrgb32To565);
BENCHMARK(BM_Xrgb32To565_Rule);
BENCHMARK(BM_Rgb24ToXrgb32);
BENCHMARK(BM_Rgb24ToXrgb32_Rule);
BENCHMARK(BM_Rgb565ToXrgb32);
BENCHMARK(BM_Pal8To565);
BENCHMARK(BM_Pal8To565_Rule);

}  // namespace

BENCHMARK_MAIN();
