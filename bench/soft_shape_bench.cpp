// The software renderer's shapes beside the nearest operations of pixman and
// of SDL2 (its surface fill and its software renderer) on the same shapes.
// Circles and ellipses have no peer. Every row reports nanoseconds per pixel
// written.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_table.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/softrender/soft_shape.h"

namespace {

using benchtable::kFrameH;
using benchtable::kFrameW;
using benchtable::OurImage;
using benchtable::SetDrawState;
using benchtable::SetPixels;

constexpr int kBoxX = 20, kBoxY = 40, kBoxW = 600, kBoxH = 400;
constexpr int32_t kBoxRect[4] = {kBoxX, kBoxY, kBoxX + kBoxW, kBoxY + kBoxH};
constexpr SDL_Rect kSdlBox = {kBoxX, kBoxY, kBoxW, kBoxH};
constexpr uint32_t kColour = 0xFF4080C0;

// A frame of ours and the peers' views of the same kind of frame.
struct Frame {
  OurImage ours{kFrameW, kFrameH, MemImgDepth32};
  SDL_Surface* surface = nullptr;
  SDL_Renderer* renderer = nullptr;
  pixman_image_t* pixman = nullptr;
  // The background picture of the media (byte 3 zero).
  Frame() { benchtable::PutPicture(ours, benchtable::BackgroundPicture(), benchtable::PictureAs::Opaque); }
  ~Frame() {
    if (renderer) SDL_DestroyRenderer(renderer);
    if (surface) SDL_FreeSurface(surface);
    if (pixman) pixman_image_unref(pixman);
  }
  void MakeSurface() { surface = benchtable::SdlView(ours, SDL_PIXELFORMAT_XRGB8888); }
  // SDL2's software renderer drawing into the frame.
  void MakeRenderer(SDL_BlendMode blend, uint8_t alpha) {
    MakeSurface();
    renderer = SDL_CreateSoftwareRenderer(surface);
    SDL_SetRenderDrawBlendMode(renderer, blend);
    SDL_SetRenderDrawColor(renderer, (kColour >> 16) & 0xFF, (kColour >> 8) & 0xFF, kColour & 0xFF, alpha);
  }
  void MakePixman() { pixman = benchtable::PixmanView(ours, PIXMAN_x8r8g8b8); }
};

// ---- Boxes ----

void FillBox(benchmark::State& state, const std::string& impl) {
  Frame f;
  if (impl == "sdl2") f.MakeSurface();
  SetDrawState(0, 0);
  auto draw = [&] {
    if (impl == "ours")
      SoftFillBox(&f.ours.view, kBoxRect, kColour);
    else if (impl == "memset")  // for scale: the box's rows set to one byte value
      for (int y = kBoxY; y < kBoxY + kBoxH; ++y) std::memset(f.ours.Row(y) + 4 * kBoxX, 0x40, 4 * kBoxW);
    else if (impl == "sdl2")
      SDL_FillRect(f.surface, &kSdlBox, kColour);
    else
      pixman_fill(reinterpret_cast<uint32_t*>(f.ours.pixels), f.ours.buffer.pitch / 4, 32, kBoxX, kBoxY,
                  kBoxW, kBoxH, kColour);
  };
  benchtable::ProveFrame(benchtable::ViewOf(f.ours), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kBoxW} * kBoxH);
}

void BlendedBox(benchmark::State& state, const std::string& impl) {
  constexpr int32_t kParam = 100;
  Frame f;
  pixman_image_t* solid = nullptr;
  if (impl == "sdl2") {
    f.MakeRenderer(SDL_BLENDMODE_BLEND, kParam);
  } else if (impl == "pixman") {
    f.MakePixman();
    // Premultiplied colour of alpha kParam.
    auto channel = [](uint32_t c) { return static_cast<uint16_t>(c * 257 * kParam / 255); };
    pixman_color_t c = {channel((kColour >> 16) & 0xFF), channel((kColour >> 8) & 0xFF),
                        channel(kColour & 0xFF), static_cast<uint16_t>(kParam * 257)};
    solid = pixman_image_create_solid_fill(&c);
  }
  SetDrawState(1, kParam);
  auto draw = [&] {
    if (impl == "ours")
      SoftFillBox(&f.ours.view, kBoxRect, kColour);
    else if (impl == "sdl2")
      SDL_RenderFillRect(f.renderer, &kSdlBox);
    else
      pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, f.pixman, 0, 0, 0, 0, kBoxX, kBoxY, kBoxW,
                               kBoxH);
  };
  benchtable::ProveFrame(benchtable::ViewOf(f.ours), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  if (solid) pixman_image_unref(solid);
  SetPixels(state, int64_t{kBoxW} * kBoxH);
}

// ---- Lines ----

struct Segment {
  int32_t x1, y1, x2, y2;
};

std::vector<Segment> RandomLines() {
  std::mt19937 rng(7);
  std::vector<Segment> lines(1000);
  for (Segment& s : lines)
    s = {static_cast<int32_t>(rng() % kFrameW), static_cast<int32_t>(rng() % kFrameH),
         static_cast<int32_t>(rng() % kFrameW), static_cast<int32_t>(rng() % kFrameH)};
  return lines;
}

// Pixels of a line without its end point.
int64_t LinePixels(const std::vector<Segment>& lines) {
  int64_t n = 0;
  for (const Segment& s : lines) n += std::max(std::abs(s.x2 - s.x1), std::abs(s.y2 - s.y1));
  return n;
}

void Lines(benchmark::State& state, const std::string& impl, int32_t mode, int32_t param) {
  Frame f;
  if (impl == "sdl2")
    f.MakeRenderer(mode == 0 ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND,
                   static_cast<uint8_t>(mode == 0 ? 255 : param));
  SetDrawState(mode, param);
  const std::vector<Segment> lines = RandomLines();
  auto draw = [&] {
    for (const Segment& s : lines) {
      if (impl == "ours")
        SoftLine(&f.ours.view, s.x1, s.y1, s.x2, s.y2, kColour);
      else
        SDL_RenderDrawLine(f.renderer, s.x1, s.y1, s.x2, s.y2);
    }
  };
  benchtable::ProveFrame(benchtable::ViewOf(f.ours), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, LinePixels(lines));
}

// ---- Circles and ellipses ----

struct Round {
  int32_t x, y, rx, ry;
};

std::vector<Round> RandomRounds(int count, int32_t smallest, int32_t largest, bool circles) {
  std::mt19937 rng(11);
  std::vector<Round> rounds(static_cast<size_t>(count));
  const uint32_t range = static_cast<uint32_t>(largest - smallest + 1);
  for (Round& r : rounds) {
    r.x = static_cast<int32_t>(rng() % kFrameW);
    r.y = static_cast<int32_t>(rng() % kFrameH);
    r.rx = smallest + static_cast<int32_t>(rng() % range);
    r.ry = circles ? r.rx : smallest + static_cast<int32_t>(rng() % range);
  }
  return rounds;
}

void DrawRound(MEMIMG* dst, const Round& r, bool circle, int32_t fill) {
  if (circle)
    SoftCircle(dst, r.x, r.y, r.rx, kColour, fill);
  else
    SoftEllipse(dst, r.x, r.y, r.rx, r.ry, kColour, fill);
}

// Pixel writes of the shapes: each drawn alone by the add mode onto black.
int64_t RoundWrites(const std::vector<Round>& rounds, bool circle, int32_t fill) {
  OurImage scratch(kFrameW, kFrameH, MemImgDepth32);
  int64_t writes = 0;
  SetDrawState(2, 255);
  for (const Round& r : rounds) {
    std::memset(scratch.pixels, 0, scratch.Bytes());
    if (circle)
      SoftCircle(&scratch.view, r.x, r.y, r.rx, 1, fill);
    else
      SoftEllipse(&scratch.view, r.x, r.y, r.rx, r.ry, 1, fill);
    for (size_t i = 0; i < scratch.Bytes(); i += 4) writes += scratch.pixels[i];
  }
  return writes;
}

void Rounds(benchmark::State& state, bool circle, int32_t fill, int32_t mode, int32_t param) {
  Frame f;
  const std::vector<Round> rounds =
      fill ? RandomRounds(200, 4, 60, circle) : RandomRounds(1000, 4, 100, circle);
  const int64_t writes = RoundWrites(rounds, circle, fill);
  SetDrawState(mode, param);
  for (auto _ : state) {
    for (const Round& r : rounds) DrawRound(&f.ours.view, r, circle, fill);
    benchmark::ClobberMemory();
  }
  SetPixels(state, writes);
}

void RegisterAll() {
  using benchtable::Register;
  Register("fill 600x400, copy", {"ours", "memset", "sdl2", "pixman"}, FillBox);
  Register("fill 600x400, alpha 100", {"ours", "sdl2", "pixman"}, BlendedBox,
           {2, "the peers round the weighted sum where ours takes its floor"});
  Register("1000 lines, copy", {"ours", "sdl2"},
           [](benchmark::State& s, const std::string& impl) { Lines(s, impl, 0, 0); });
  Register(
      "1000 lines, alpha 100", {"ours", "sdl2"},
      [](benchmark::State& s, const std::string& impl) { Lines(s, impl, 1, 100); },
      {2, "the peers round the weighted sum where ours takes its floor"});
  struct RoundRow {
    const char* name;
    bool circle;
    int32_t fill, mode, param;
  };
  const RoundRow rows[] = {
      {"200 filled circles, copy", true, 1, 0, 0},
      {"200 filled circles, alpha 100", true, 1, 1, 100},
      {"1000 circle outlines, copy", true, 0, 0, 0},
      {"200 filled ellipses, copy", false, 1, 0, 0},
      {"200 filled ellipses, alpha 100", false, 1, 1, 100},
      {"1000 ellipse outlines, copy", false, 0, 0, 0},
  };
  for (const RoundRow& r : rows)
    Register(r.name, {"ours"},
             [r](benchmark::State& s, const std::string&) { Rounds(s, r.circle, r.fill, r.mode, r.param); });
}

}  // namespace

int main(int argc, char** argv) {
  BuildBlendTables();
  RegisterAll();
  return benchtable::RunAndPrint(argc, argv, {"sdl2", "pixman"}, {"memset"});
}
