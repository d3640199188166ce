// Fonts and text beside SDL2_ttf on the same font file:
// - glyph rendering into the glyph cache (glyphs per second), every glyph
//   rendered anew, beside SDL2_ttf rendering the same glyphs into surfaces;
// - a 40-character Japanese line drawn at 16 pixels with its glyphs cached
//   (microseconds per line), on 16- and 32-bit screens, beside SDL2_ttf
//   rendering the line and blitting it onto a screen surface of the same
//   depth.
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "library/core/library_state.h"
#include "library/core/main_window.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/softrender/simd_ops.h"
#include "library/text/font_handle.h"
#include "library/text/glyph_blend.h"
#include "library/text/text_draw.h"
#include "platform/com/com.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32.h"

namespace {

using benchtable::Register;

constexpr const char* kFace = "ＭＳ ゴシック";
constexpr int kBatch = 50;  // glyphs a benchmark iteration renders

// 2000 distinct double-byte characters (kanji rows) as records and as code points.
struct GlyphSet {
  std::vector<uint8_t> records;
  std::vector<uint32_t> codePoints;
};

uint32_t FirstCodePoint(const std::string& utf8) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (s[0] < 0x80) return s[0];
  if (s[0] < 0xE0) return (s[0] & 0x1Fu) << 6 | (s[1] & 0x3Fu);
  if (s[0] < 0xF0) return (s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
  return (s[0] & 0x07u) << 18 | (s[1] & 0x3Fu) << 12 | (s[2] & 0x3Fu) << 6 | (s[3] & 0x3Fu);
}

const GlyphSet& Glyphs() {
  static GlyphSet set = [] {
    GlyphSet g;
    for (int lead = 0x88; lead <= 0x9F && g.codePoints.size() < 2000; ++lead)
      for (int trail = 0x40; trail <= 0xFC && g.codePoints.size() < 2000; ++trail) {
        if (trail == 0x7F) continue;
        const char sjis[3] = {static_cast<char>(lead), static_cast<char>(trail), 0};
        std::string utf8;
        if (!SjisToUtf8(sjis, utf8) || utf8.empty()) continue;
        g.records.insert(g.records.end(), {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail), 0});
        g.codePoints.push_back(FirstCodePoint(utf8));
      }
    return g;
  }();
  return set;
}

// SDL2_ttf at the pixel size our fonts give FreeType.
TTF_Font* OpenPeerFont(int size) {
  const int ppem = static_cast<int>((PlatformFontCharSize26_6(kFace, size) + 32) / 64);
  TTF_Font* font = TTF_OpenFontDPI(PlatformFontFileForFace(kFace), ppem, 72, 72);
  if (font == nullptr) std::fprintf(stderr, "TTF_OpenFont: %s\n", TTF_GetError());
  return font;
}

void GlyphRendering(benchmark::State& state, int size, int type, bool ours) {
  const GlyphSet& glyphs = Glyphs();
  const size_t count = glyphs.codePoints.size();
  size_t next = 0;
  if (ours) {
    const ObjectHandle font = CreateFontToHandle(nullptr, size, 4, type, -1, -1, -1, -1, -1);
    for (auto _ : state) {
      if (next + kBatch > count) next = 0;
      benchmark::DoNotOptimize(CacheGlyphs(font, kBatch, &glyphs.records[next * 3]));
      next += kBatch;
    }
    DeleteFontHandle(font);
  } else {
    TTF_Font* font = OpenPeerFont(size);
    if (font == nullptr) {
      state.SkipWithError("no font");
      return;
    }
    const SDL_Color white = {255, 255, 255, 255}, black = {0, 0, 0, 255};
    for (auto _ : state) {
      if (next + kBatch > count) next = 0;
      for (int i = 0; i < kBatch; ++i) {
        const uint32_t cp = glyphs.codePoints[next + i];
        SDL_Surface* s = type & 2 ? TTF_RenderGlyph32_Shaded(font, cp, white, black) : TTF_RenderGlyph32_Solid(font, cp, white);
        benchmark::DoNotOptimize(s);
        SDL_FreeSurface(s);
      }
      next += kBatch;
    }
    TTF_CloseFont(font);
  }
  benchtable::SetPixels(state, kBatch);
}

// "ベルノーラパーティへようこそ。サイコロを振ってマスを進み、星とコインを集めよう！"
constexpr const char8_t* kLineUtf8 = u8"ベルノーラパーティへようこそ。サイコロを振ってマスを進み、星とコインを集めよう！";

// Graphics started at the depth (made again when it differs).
bool UseScreenDepth(int bits) {
  if (ScreenColorBits == bits) return true;
  EndGraphicsSystem();
  ScreenColorBits = bits;
  return InitGraphicsSystem() == 0;
}

void LineDrawing(benchmark::State& state, int type, int bits, bool ours) {
  std::string utf8 = reinterpret_cast<const char*>(kLineUtf8), sjis;
  Utf8ToSjis(utf8, sjis);
  if (ours) {
    if (!UseScreenDepth(bits)) {
      state.SkipWithError("graphics did not start");
      return;
    }
    const ObjectHandle font = CreateFontToHandle(nullptr, 16, 4, type, -1, -1, -1, -1, -1);
    const uint32_t white = MakeScreenColor(255, 255, 255), black = MakeScreenColor(0, 0, 0);
    DrawTextToHandle(0, 0, sjis.c_str(), white, font, black, 0);  // glyphs cached
    int y = 0;
    for (auto _ : state) {
      DrawTextToHandle(8, y, sjis.c_str(), white, font, black, 0);
      y = (y + 16) % 448;
    }
    DeleteFontHandle(font);
  } else {
    TTF_Font* font = OpenPeerFont(16);
    if (font == nullptr) {
      state.SkipWithError("no font");
      return;
    }
    benchtable::OurImage frame(640, 480, bits == 32 ? MemImgDepth32 : MemImgDepth16);
    SDL_Surface* screen = benchtable::SdlView(frame, bits == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
    const SDL_Color white = {255, 255, 255, 255};
    int y = 0;
    for (auto _ : state) {
      SDL_Surface* line = TTF_RenderUTF8_Blended(font, utf8.c_str(), white);
      SDL_Rect at = {8, y, 0, 0};
      SDL_BlitSurface(line, nullptr, screen, &at);
      SDL_FreeSurface(line);
      y = (y + 16) % 448;
    }
    SDL_FreeSurface(screen);
    TTF_CloseFont(font);
  }
  benchtable::SetPixels(state, 1);
}

// One line per row: ours, the peer, and their ratio.
void PrintTable(const benchtable::TableReporter& reporter) {
  auto best = [&](const std::string& name) {
    auto it = reporter.best.find(name);
    return it == reporter.best.end() ? -1.0 : it->second;
  };
  std::printf("\n%-40s %14s %14s %10s\n", "glyph rendering (glyphs per second)", "ours", "sdl2_ttf", "ours/peer");
  for (const benchtable::Row& row : benchtable::Rows()) {
    if (row.name.rfind("glyphs", 0) != 0) continue;
    const double ours = best(row.name + "/ours"), peer = best(row.name + "/sdl2_ttf");
    if (ours <= 0 || peer <= 0) continue;
    std::printf("%-40s %14.0f %14.0f %10.2f\n", row.name.c_str(), 1e9 / ours, 1e9 / peer, peer / ours);
  }
  std::printf("\n%-40s %14s %14s %10s\n", "40-character line (microseconds)", "ours", "sdl2_ttf", "peer/ours");
  for (const benchtable::Row& row : benchtable::Rows()) {
    if (row.name.rfind("line", 0) != 0) continue;
    const double ours = best(row.name + "/ours"), peer = best(row.name + "/sdl2_ttf");
    if (ours <= 0 || peer <= 0) continue;
    std::printf("%-40s %14.2f %14.2f %10.2f\n", row.name.c_str(), ours / 1000, peer / 1000, peer / ours);
  }
}

}  // namespace

int main(int argc, char** argv) {
  PlatformSetDebugOutput(false);
  PlatformUseVirtualClock(true, 1000000);
  CoInitialize(nullptr);
  WindowedMode = 1;
  ScreenWidth = 640;
  ScreenHeight = 480;
  ScreenColorBits = 16;
  if (InitGraphicsSystem() != 0 || TTF_Init() != 0) {
    std::fprintf(stderr, "graphics or SDL2_ttf did not start\n");
    return 1;
  }
  LibraryInitialised = 1;
  // ZR_BENCH_GLYPH_AVX2=1 measures the AVX2 loops on a processor with AVX-512.
  const char* forceAvx2 = std::getenv("ZR_BENCH_GLYPH_AVX2");
  if (forceAvx2 != nullptr && std::strcmp(forceAvx2, "0") != 0) GlyphUseAvx512 = false;
  std::printf("glyph loops: %s\n", GlyphUseAvx512 ? "AVX-512" : BlitUseAvx2 ? "AVX2" : "SSE2");
  for (int size : {16, 32})
    for (int type : {0, 3}) {
      const std::string row = "glyphs size " + std::to_string(size) + " type " + std::to_string(type);
      Register(row, {"ours", "sdl2_ttf"}, [size, type](benchmark::State& s, const std::string& impl) {
        GlyphRendering(s, size, type, impl == "ours");
      });
    }
  for (int bits : {16, 32})
    for (int type : {0, 1, 2, 3})
      Register("line 16px type " + std::to_string(type) + ", " + std::to_string(bits) + "-bit screen",
               {"ours", "sdl2_ttf"}, [type, bits](benchmark::State& s, const std::string& impl) {
                 LineDrawing(s, type, bits, impl == "ours");
               });

  benchmark::Initialize(&argc, argv);
  benchtable::TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable(reporter);
  benchmark::Shutdown();
  EndGraphicsSystem();
  TTF_Quit();
  return 0;
}
