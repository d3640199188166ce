// Fonts and text beside SDL2_ttf on the same font file:
// - glyph rendering into the glyph cache (glyphs per second), every glyph
//   rendered anew, beside SDL2_ttf rendering the same glyphs into surfaces;
// - a 40-character Japanese line drawn at 16 pixels with its glyphs cached
//   (microseconds per line), on 16- and 32-bit screens, beside SDL2 blitting
//   the same glyphs cached as a program would (each rendered once and kept
//   as a run-length encoded surface), and SDL2_ttf's own glyphs cached the
//   same way (another picture, for scale).
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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

// The line's characters (Shift-JIS, all double-byte) and the pen position
// of each in the line.
struct LineText {
  std::string sjis;
  std::vector<int32_t> pens;
  int32_t Count() const { return static_cast<int32_t>(sjis.size() / 2); }
};
LineText MakeLineText(ObjectHandle font) {
  LineText t;
  Utf8ToSjis(reinterpret_cast<const char*>(kLineUtf8), t.sjis);
  for (int32_t i = 0; i < t.Count(); ++i) t.pens.push_back(GetTextWidthToHandle(t.sjis.c_str(), 2 * i, font, 0));
  return t;
}

// The screen's frame, and the background picture drawn into a frame.
benchtable::FrameView ScreenFrame() {
  const MEMIMG& s = ScreenMemImg;
  return {s.pixels, s.buffer->pitch, s.width, s.height, s.buffer->format->bytesPerPixel};
}
void PutBackground(const benchtable::FrameView& f) {
  const benchtable::Picture& p = benchtable::BackgroundPicture();
  for (int32_t y = 0; y < f.height && y < p.height; ++y)
    for (int32_t x = 0; x < f.width && x < p.width; ++x) {
      const uint32_t v = p.At(x, y) & 0x00FFFFFF;
      const uint32_t out = f.bytes == 2 ? benchtable::To565(v) : v;
      std::memcpy(const_cast<uint8_t*>(f.pixels) + static_cast<size_t>(y) * f.pitch + static_cast<size_t>(x) * f.bytes,
                  &out, static_cast<size_t>(f.bytes));
    }
}

constexpr int32_t kGlyphPad = 4;  // room around a character's cell for its bearings and edge

// Our glyphs of the line, each character drawn once by the library on a
// 32-bit screen and taken off it as a straight-alpha ARGB image of its cell
// (the pen's advance and the line's height, kGlyphPad more on every side):
// drawn on six grey backgrounds, each pixel becomes the colour and alpha
// that give those six frames by our blend (alpha 255 the colour itself,
// else floor((d x (256 - a) + s x a) / 256) on each channel), alpha 0 where
// every frame keeps its background. The glyphs a program using SDL2 would
// cache for our picture.
struct CapturedGlyphs {
  int32_t width = 0, height = 0;
  std::map<std::string, std::vector<uint32_t>> argb;  // by character
};

constexpr int kBackgrounds = 6;
constexpr uint8_t kBackground[kBackgrounds] = {0, 255, 128, 37, 200, 90};

// The colour and alpha of a pixel drawn as o[channel][k] on the
// backgrounds kBackground[k], as an ARGB word.
uint32_t SolveGlyphPixel(const uint32_t o[3][kBackgrounds]) {
  bool same = true, kept = true;
  for (int ch = 0; ch < 3; ++ch)
    for (int k = 0; k < kBackgrounds; ++k) {
      same = same && o[ch][k] == o[ch][0];
      kept = kept && o[ch][k] == kBackground[k];
    }
  if (kept) return 0;
  if (same) return 0xFF000000u | o[2][0] << 16 | o[1][0] << 8 | o[0][0];
  for (uint32_t a = 254; a >= 1; --a) {
    uint32_t colour = 0;
    bool all = true;
    for (int ch = 0; ch < 3 && all; ++ch) {
      bool found = false;
      for (uint32_t c = 0; c < 256 && !found; ++c) {
        bool fits = true;
        for (int k = 0; k < kBackgrounds && fits; ++k) fits = (kBackground[k] * (256 - a) + c * a) / 256 == o[ch][k];
        if (fits) {
          colour |= c << (8 * ch);
          found = true;
        }
      }
      all = found;
    }
    if (all) return a << 24 | colour;
  }
  return 0;
}

const CapturedGlyphs& CaptureOurGlyphs(int type) {
  static std::map<int, CapturedGlyphs> captured;
  auto it = captured.find(type);
  if (it != captured.end()) return it->second;
  const int previousBits = ScreenColorBits;
  UseScreenDepth(32);
  const ObjectHandle font = CreateFontToHandle(nullptr, 16, 4, type, -1, -1, -1, -1, -1);
  const LineText line = MakeLineText(font);
  CapturedGlyphs g;
  g.height = GetFontHandleSize(font) + 2 * kGlyphPad + 8;
  g.width = 0;
  for (int32_t i = 0; i < line.Count(); ++i) {
    const int32_t next = i + 1 < line.Count() ? line.pens[i + 1] : GetTextWidthToHandle(line.sjis.c_str(), -1, font, 0);
    g.width = std::max(g.width, next - line.pens[i] + 2 * kGlyphPad);
  }
  const uint32_t white = MakeScreenColor(255, 255, 255), black = MakeScreenColor(0, 0, 0);
  const benchtable::FrameView screen = ScreenFrame();
  for (int32_t i = 0; i < line.Count(); ++i) {
    const std::string ch = line.sjis.substr(static_cast<size_t>(2 * i), 2);
    if (g.argb.count(ch) != 0) continue;
    std::vector<uint32_t> on[kBackgrounds];
    for (int k = 0; k < kBackgrounds; ++k) {
      for (int32_t y = 0; y < g.height; ++y)
        std::memset(const_cast<uint8_t*>(screen.pixels) + static_cast<size_t>(y) * screen.pitch, kBackground[k],
                    static_cast<size_t>(g.width) * 4);
      DrawTextToHandle(kGlyphPad, kGlyphPad, ch.c_str(), white, font, black, 0);
      for (int32_t y = 0; y < g.height; ++y)
        for (int32_t x = 0; x < g.width; ++x) {
          uint32_t v;
          std::memcpy(&v, screen.pixels + static_cast<size_t>(y) * screen.pitch + 4 * x, 4);
          on[k].push_back(v);
        }
    }
    std::vector<uint32_t> argb(on[0].size());
    for (size_t p = 0; p < argb.size(); ++p) {
      uint32_t o[3][kBackgrounds];
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kBackgrounds; ++k) o[c][k] = on[k][p] >> (8 * c) & 0xFF;
      argb[p] = SolveGlyphPixel(o);
    }
    g.argb[ch] = std::move(argb);
  }
  DeleteFontHandle(font);
  UseScreenDepth(previousBits);
  return captured[type] = std::move(g);
}

// A captured glyph as SDL2 caches it for a screen of the depth: a keyed
// surface in the screen's format for a plain glyph (every pixel opaque or
// transparent), else ARGB8888 blended; run-length encoded.
SDL_Surface* CachedSurface(const CapturedGlyphs& g, const std::vector<uint32_t>& argb, bool keyed, int bits) {
  const Uint32 format = !keyed ? SDL_PIXELFORMAT_ARGB8888 : bits == 32 ? SDL_PIXELFORMAT_XRGB8888 : SDL_PIXELFORMAT_RGB565;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, g.width, g.height, SDL_BITSPERPIXEL(format), format);
  const uint32_t key = bits == 32 ? benchtable::kKey32 : benchtable::kKey16;
  for (int32_t y = 0; y < g.height; ++y)
    for (int32_t x = 0; x < g.width; ++x) {
      const uint32_t v = argb[static_cast<size_t>(y) * g.width + x];
      uint32_t out = v;
      if (keyed) out = (v >> 24) == 0 ? key : bits == 32 ? v & 0x00FFFFFF : benchtable::To565(v);
      std::memcpy(static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch + static_cast<size_t>(x) * SDL_BYTESPERPIXEL(format),
                  &out, SDL_BYTESPERPIXEL(format));
    }
  if (keyed) SDL_SetColorKey(s, SDL_TRUE, key);
  SDL_SetSurfaceBlendMode(s, keyed ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
  SDL_SetSurfaceRLE(s, 1);
  return s;
}

// A 40-character line drawn at 16 pixels, white with a black edge, onto the
// background picture. Ours draws it with its glyphs cached. The peers cache
// their glyphs as a program would, each rendered once, and blit them at the
// pens of the line: "sdl2" our glyphs (CaptureOurGlyphs), "sdl2_ttf" the
// glyphs SDL2_ttf renders from the same font file (its own rasteriser:
// another picture; the edge an outline drawn under the glyph).
void LineDrawing(benchmark::State& state, int type, int bits, const std::string& impl) {
  if (!UseScreenDepth(bits)) {
    state.SkipWithError("graphics did not start");
    return;
  }
  const ObjectHandle font = CreateFontToHandle(nullptr, 16, 4, type, -1, -1, -1, -1, -1);
  const LineText line = MakeLineText(font);
  const bool plain = (type & 2) == 0, edged = (type & 1) != 0;
  const uint32_t white = MakeScreenColor(255, 255, 255), black = MakeScreenColor(0, 0, 0);
  DrawTextToHandle(0, 0, line.sjis.c_str(), white, font, black, 0);  // glyphs cached
  benchtable::OurImage frame(640, 480, bits == 32 ? MemImgDepth32 : MemImgDepth16);
  SDL_Surface* screen = benchtable::SdlView(frame, bits == 32 ? SDL_PIXELFORMAT_XRGB8888 : SDL_PIXELFORMAT_RGB565);
  // The peers' cached glyphs: one surface (two with an outline) a character.
  std::vector<SDL_Surface*> under(static_cast<size_t>(line.Count()), nullptr), over(under.size(), nullptr);
  std::vector<SDL_Rect> at(under.size()), underAt(under.size());
  std::map<std::string, std::pair<SDL_Surface*, SDL_Surface*>> cache;
  TTF_Font* ttf = nullptr;
  if (impl == "sdl2") {
    const CapturedGlyphs& g = CaptureOurGlyphs(type);
    for (int32_t i = 0; i < line.Count(); ++i) {
      const std::string ch = line.sjis.substr(static_cast<size_t>(2 * i), 2);
      auto& c = cache[ch];
      if (c.second == nullptr) c.second = CachedSurface(g, g.argb.at(ch), plain, bits);
      over[i] = c.second;
      at[i] = {8 + line.pens[i] - kGlyphPad, -kGlyphPad, 0, 0};
    }
  } else if (impl == "sdl2_ttf") {
    ttf = OpenPeerFont(16);
    std::vector<uint32_t> codes;
    const char8_t* u = kLineUtf8;
    std::string utf8 = reinterpret_cast<const char*>(u);
    for (size_t k = 0; k < utf8.size();) {
      const std::string one = utf8.substr(k, 3);  // the line's characters are three UTF-8 bytes each
      codes.push_back(FirstCodePoint(one));
      k += 3;
    }
    const SDL_Color whiteInk = {255, 255, 255, 255}, blackInk = {0, 0, 0, 255};
    for (int32_t i = 0; i < line.Count() && i < static_cast<int32_t>(codes.size()); ++i) {
      const std::string ch = line.sjis.substr(static_cast<size_t>(2 * i), 2);
      auto& c = cache[ch];
      if (c.second == nullptr) {
        auto render = [&](SDL_Color ink) {
          SDL_Surface* r = plain ? TTF_RenderGlyph32_Solid(ttf, codes[i], ink) : TTF_RenderGlyph32_Blended(ttf, codes[i], ink);
          SDL_Surface* conv = SDL_ConvertSurfaceFormat(r, plain ? screen->format->format : static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888), 0);
          SDL_FreeSurface(r);
          SDL_SetSurfaceRLE(conv, 1);
          return conv;
        };
        if (edged) {
          TTF_SetFontOutline(ttf, 1);
          c.first = render(blackInk);
          TTF_SetFontOutline(ttf, 0);
        }
        c.second = render(whiteInk);
      }
      under[i] = c.first;
      over[i] = c.second;
      at[i] = {8 + line.pens[i], 0, 0, 0};
      underAt[i] = {8 + line.pens[i] - 1, -1, 0, 0};
    }
  }
  auto draw = [&](int32_t y) {
    if (impl == "ours") {
      DrawTextToHandle(8, y, line.sjis.c_str(), white, font, black, 0);
      return;
    }
    for (int32_t i = 0; i < line.Count(); ++i) {
      if (under[i] != nullptr) {
        SDL_Rect r = {underAt[i].x, underAt[i].y + y, 0, 0};
        SDL_BlitSurface(under[i], nullptr, screen, &r);
      }
      if (over[i] != nullptr) {
        SDL_Rect r = {at[i].x, at[i].y + y, 0, 0};
        SDL_BlitSurface(over[i], nullptr, screen, &r);
      }
    }
  };
  const benchtable::FrameView f = impl == "ours" ? ScreenFrame() : benchtable::ViewOf(frame);
  PutBackground(f);
  benchtable::ProveFrame(f, [&] { draw(16); });
  int y = 0;
  for (auto _ : state) {
    draw(y);
    y = (y + 16) % 448;
  }
  for (auto& c : cache) {
    if (c.second.first != nullptr) SDL_FreeSurface(c.second.first);
    if (c.second.second != nullptr) SDL_FreeSurface(c.second.second);
  }
  if (ttf != nullptr) TTF_CloseFont(ttf);
  SDL_FreeSurface(screen);
  DeleteFontHandle(font);
  benchtable::SetPixels(state, 1);
}

// The glyph-rendering rows as glyphs per second, ours and SDL2_ttf
// rendering the same characters of the same font file each with its own
// rasteriser; the line rows in microseconds, ours over the fastest peer
// that draws our picture (bench_table.h; '*': another picture, no ratio).
void PrintTable(const benchtable::TableReporter& reporter) {
  auto best = [&](const std::string& name) {
    auto it = reporter.best.find(name);
    return it == reporter.best.end() ? -1.0 : it->second;
  };
  std::printf("\n%-40s %14s %14s %14s\n", "glyph rendering (glyphs per second)", "ours", "sdl2_ttf",
              "time ours/peer");
  for (const benchtable::Row& row : benchtable::Rows()) {
    if (row.name.rfind("glyphs", 0) != 0) continue;
    const double ours = best(row.name + "/ours"), peer = best(row.name + "/sdl2_ttf");
    if (ours <= 0 || peer <= 0) continue;
    std::printf("%-40s %14.0f %14.0f %14.2f\n", row.name.c_str(), 1e9 / ours, 1e9 / peer, ours / peer);
  }
  std::printf("\n%-40s %10s %10s %10s %12s\n", "40-character line (microseconds)", "ours", "sdl2", "sdl2_ttf",
              "ours / best");
  for (const benchtable::Row& row : benchtable::Rows()) {
    if (row.name.rfind("line", 0) != 0) continue;
    const double ours = best(row.name + "/ours");
    if (ours <= 0) continue;
    std::printf("%-40s %10.2f", row.name.c_str(), ours / 1000);
    double bestPeer = -1;
    for (const char* peer : {"sdl2", "sdl2_ttf"}) {
      const double v = best(row.name + "/" + peer);
      const bool same = benchtable::DrawsOurPicture(row, peer);
      if (v <= 0)
        std::printf(" %10s", "-");
      else
        std::printf(same ? " %10.2f" : " %9.2f*", v / 1000);
      if (v > 0 && same && (bestPeer < 0 || v < bestPeer)) bestPeer = v;
    }
    if (bestPeer > 0)
      std::printf(" %12.2f\n", ours / bestPeer);
    else
      std::printf(" %12s\n", "-");
  }
  std::printf("(* the peer draws another picture: no ratio)\n");
}

}  // namespace

int main(int argc, char** argv) {
  // --isa=sse2: our SSE2 loops (bench_table.h); --isa=avx2: the AVX2 glyph
  // loops on a processor that has AVX-512 (ZR_BENCH_GLYPH_AVX2=1 too).
  const char* isa = benchtable::ChooseInstructionSet(argc, argv);
  bool avx2 = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    avx2 = avx2 || std::strcmp(argv[i], "--isa=avx2") == 0;
    if (std::strncmp(argv[i], "--isa=", 6) != 0) args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
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
  const char* forceAvx2 = std::getenv("ZR_BENCH_GLYPH_AVX2");
  if (avx2 || !BlitUseAvx2 || (forceAvx2 != nullptr && std::strcmp(forceAvx2, "0") != 0)) GlyphUseAvx512 = false;
  std::printf("instruction set: %s; glyph loops: %s\n", isa,
              GlyphUseAvx512 ? "AVX-512" : BlitUseAvx2 ? "AVX2" : "SSE2");
  for (int size : {16, 32})
    for (int type : {0, 3}) {
      const std::string row = "glyphs size " + std::to_string(size) + " type " + std::to_string(type);
      Register(row, {"ours", "sdl2_ttf"}, [size, type](benchmark::State& s, const std::string& impl) {
        GlyphRendering(s, size, type, impl == "ours");
      });
    }
  for (int bits : {16, 32})
    for (int type : {0, 1, 2, 3})
      Register(
          "line 16px type " + std::to_string(type) + ", " + std::to_string(bits) + "-bit screen",
          {"ours", "sdl2", "sdl2_ttf"},
          [type, bits](benchmark::State& s, const std::string& impl) { LineDrawing(s, type, bits, impl); },
          // SDL2 blends our anti-aliased glyphs by its own rounding: on a
          // 32-bit screen red and blue in one word, where blue's borrow can
          // lower red by one; onto RGB565 through 8-bit channels.
          (type & 2) == 0 ? benchtable::Tolerance{}
          : bits == 32    ? benchtable::Tolerance{1, "SDL2 blends red and blue in one word: blue's borrow can lower red"}
                          : benchtable::Tolerance{2, "SDL2 blends onto RGB565 through 8-bit channels, rounding its own way"});

  benchmark::Initialize(&count, args.data());
  benchtable::TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchtable::PrintFrames();
  PrintTable(reporter);
  benchmark::Shutdown();
  EndGraphicsSystem();
  TTF_Quit();
  return 0;
}
