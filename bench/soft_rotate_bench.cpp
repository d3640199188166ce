// The software renderer's rotated blit and textured quadrilaterals beside
// pixman's transformed nearest composite and SDL2's software renderer
// (rotated copy, textured geometry). The rotation rows report nanoseconds
// per source pixel, the quadrilateral rows per destination pixel drawn.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_table.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/softrender/soft_triangle.h"

namespace {

using benchtable::kFrameH;
using benchtable::kFrameW;
using benchtable::OurImage;
using benchtable::PictureAs;
using benchtable::SetDrawState;
using benchtable::SetPixels;

constexpr int kSource = 256, kQuadSource = 64, kQuadCount = 100;
constexpr double kPi = 3.14159265358979323846;

// The frame: the background picture (byte 3 zero).
void FillFrame(OurImage& frame) { benchtable::PutPicture(frame, benchtable::BackgroundPicture(), PictureAs::Opaque); }

// The source: the badge of the media, with its alpha (a soft-edged disc on
// a transparent field, with the run table a graph of it has) or its colours
// alone; the 64 x 64 source of the quads is the badge's middle.
void FillSource(OurImage& img, bool alpha) {
  const int offset = (kSource - img.buffer.width) / 2;
  const benchtable::Picture& badge = benchtable::BadgePicture();
  for (int y = 0; y < img.buffer.height; ++y)
    for (int x = 0; x < img.buffer.width; ++x) {
      const uint32_t v = badge.At(x + offset, y + offset);
      const uint32_t pixel = alpha ? v : v & 0x00FFFFFF;
      std::memcpy(img.Row(y) + 4 * x, &pixel, 4);
    }
  if (alpha) img.AsGraph();
}

// A frame and a source of ours, and the peers' views of them.
struct Scene {
  OurImage frame{kFrameW, kFrameH, MemImgDepth32};
  OurImage source;
  OurImage premul;  // pixman's copy of a source with alpha, premultiplied once at load
  SDL_Surface* frameSurface = nullptr;
  SDL_Surface* sourceSurface = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  pixman_image_t* pixFrame = nullptr;
  pixman_image_t* pixSource = nullptr;

  // alpha: a source whose pixels carry straight alpha, drawn blended.
  Scene(int sourceSize, const std::string& impl, bool alpha = false)
      : source(sourceSize, sourceSize, MemImgDepth32, false, alpha),
        premul(sourceSize, sourceSize, MemImgDepth32, false, true) {
    FillFrame(frame);
    FillSource(source, alpha);
    if (impl == "sdl2") {
      frameSurface = benchtable::SdlView(frame, SDL_PIXELFORMAT_XRGB8888);
      sourceSurface = benchtable::SdlView(source, alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_XRGB8888);
      SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
      renderer = SDL_CreateSoftwareRenderer(frameSurface);
      texture = SDL_CreateTextureFromSurface(renderer, sourceSurface);
      SDL_SetTextureBlendMode(texture, alpha ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    } else if (impl == "pixman") {
      pixFrame = benchtable::PixmanView(frame, PIXMAN_x8r8g8b8);
      if (alpha) {
        benchtable::PremultiplyWithPixman(source, premul);
        pixSource = benchtable::PixmanView(premul, PIXMAN_a8r8g8b8);
      } else {
        pixSource = benchtable::PixmanView(source, PIXMAN_x8r8g8b8);
      }
      pixman_image_set_filter(pixSource, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
  }
  ~Scene() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (sourceSurface) SDL_FreeSurface(sourceSurface);
    if (frameSurface) SDL_FreeSurface(frameSurface);
    if (pixSource) pixman_image_unref(pixSource);
    if (pixFrame) pixman_image_unref(pixFrame);
  }
};

// One placement of the source: centre, angle (radians, clockwise on screen) and scale.
struct Placement {
  double x, y, angle, scale;
};

// pixman: the source composited through the inverse of the placement over
// the box of the turned image, nearest pixel.
void PixmanPlace(pixman_image_t* source, pixman_image_t* frame, const Placement& p, int size) {
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  const double half = size * p.scale * 0.5;
  const double extent = half * (std::fabs(std::cos(p.angle)) + std::fabs(std::sin(p.angle)));
  const int left = static_cast<int>(std::floor(p.x - extent)),
            top = static_cast<int>(std::floor(p.y - extent));
  const int box = static_cast<int>(std::ceil(2 * extent)) + 1;
  // Destination (left + i, top + j) -> source: translate to the centre,
  // turn back, scale down, translate to the source's centre.
  pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(left - p.x),
                             pixman_double_to_fixed(top - p.y));
  pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(-p.angle)),
                          pixman_double_to_fixed(std::sin(-p.angle)));
  pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(1 / p.scale),
                         pixman_double_to_fixed(1 / p.scale));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(size / 2), pixman_int_to_fixed(size / 2));
  pixman_image_set_transform(source, &t);
  pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, frame, 0, 0, 0, 0, left, top, box, box);
}
void PixmanPlace(Scene& s, const Placement& p, int size) { PixmanPlace(s.pixSource, s.pixFrame, p, size); }

void SdlPlace(Scene& s, const Placement& p, int size) {
  const double w = size * p.scale;
  SDL_FRect rect = {static_cast<float>(p.x - w / 2), static_cast<float>(p.y - w / 2), static_cast<float>(w),
                    static_cast<float>(w)};
  SDL_RenderCopyExF(s.renderer, s.texture, nullptr, &rect, p.angle * 180 / kPi, nullptr, SDL_FLIP_NONE);
}

// alpha: the source's alpha blends it (ours: mode 0 with the transparent flag).
void Rotation(benchmark::State& state, const std::string& impl, double scale, bool alpha = false) {
  Scene s(kSource, impl, alpha);
  SetDrawState(0, 255);
  const Placement p = {kFrameW / 2, kFrameH / 2, kPi / 6, scale};
  auto draw = [&] {
    if (impl == "ours")
      SoftBlitRotate(&s.frame.view, &s.source.view, kFrameW / 2, kFrameH / 2, static_cast<float>(p.angle),
                     static_cast<float>(scale), alpha ? 1 : 0, 0, nullptr);
    else if (impl == "sdl2")
      SdlPlace(s, p, kSource);
    else
      PixmanPlace(s, p, kSource);
  };
  benchtable::ProveFrame(benchtable::ViewOf(s.frame), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSource} * kSource);
}

std::vector<Placement> QuadPlacements() {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<Placement> places(kQuadCount);
  for (Placement& p : places)
    p = {60 + unit(rng) * (kFrameW - 120), 60 + unit(rng) * (kFrameH - 120), unit(rng) * 2 * kPi,
         0.6 + unit(rng) * 1.2};
  return places;
}

// Where the source's top-left, top-right, bottom-left and bottom-right
// corners land, in whole pixels.
void QuadCorners(const Placement& p, int size, int32_t* points) {
  const double half = size * p.scale * 0.5, c = std::cos(p.angle), s = std::sin(p.angle);
  const double corners[4][2] = {{-half, -half}, {half, -half}, {-half, half}, {half, half}};
  for (int i = 0; i < 4; ++i) {
    points[2 * i] = static_cast<int32_t>(std::lround(p.x + corners[i][0] * c - corners[i][1] * s));
    points[2 * i + 1] = static_cast<int32_t>(std::lround(p.y + corners[i][0] * s + corners[i][1] * c));
  }
}

void SdlQuad(Scene& s, const int32_t* points) {
  SDL_Vertex v[4];
  const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (int i = 0; i < 4; ++i)
    v[i] = {{static_cast<float>(points[2 * i]), static_cast<float>(points[2 * i + 1])},
            {255, 255, 255, 255},
            {uv[i][0], uv[i][1]}};
  const int indices[6] = {0, 1, 2, 1, 2, 3};
  SDL_RenderGeometry(s.renderer, s.texture, v, 4, indices, 6);
}

// Destination pixels the quadrilaterals draw, each counted by the add mode.
int64_t QuadPixels(const std::vector<Placement>& places) {
  OurImage scratch(kFrameW, kFrameH, MemImgDepth32), ones(kQuadSource, kQuadSource, MemImgDepth32);
  for (size_t i = 0; i < ones.Bytes(); i += 4) {
    const uint32_t one = 1;
    std::memcpy(ones.pixels + i, &one, 4);
  }
  std::memset(scratch.pixels, 0, scratch.Bytes());
  SetDrawState(2, 255);
  int32_t points[8];
  for (const Placement& p : places) {
    QuadCorners(p, kQuadSource, points);
    SoftBlitQuad(&scratch.view, &ones.view, points, 0, nullptr);
  }
  int64_t n = 0;
  for (size_t i = 0; i < scratch.Bytes(); i += 4) n += scratch.pixels[i];
  return n;
}

void Quads(benchmark::State& state, const std::string& impl) {
  Scene s(kQuadSource, impl);
  const std::vector<Placement> places = QuadPlacements();
  std::vector<std::array<int32_t, 8>> corners(places.size());
  for (size_t i = 0; i < places.size(); ++i) QuadCorners(places[i], kQuadSource, corners[i].data());
  const int64_t pixels = QuadPixels(places);
  SetDrawState(0, 255);
  auto draw = [&] {
    for (size_t i = 0; i < places.size(); ++i) {
      if (impl == "ours")
        SoftBlitQuad(&s.frame.view, &s.source.view, corners[i].data(), 0, nullptr);
      else if (impl == "sdl2")
        SdlQuad(s, corners[i].data());
      else
        PixmanPlace(s, places[i], kQuadSource);
    }
  };
  benchtable::ProveFrame(benchtable::ViewOf(s.frame), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, pixels);
}

void RegisterAll() {
  using benchtable::Register;
  const std::vector<std::string> all = {"ours", "sdl2", "pixman"};
  Register("256x256 turned 30 deg, scale 1", all,
           [](benchmark::State& s, const std::string& impl) { Rotation(s, impl, 1.0); });
  Register("256x256 turned 30 deg, scale 1.5", all,
           [](benchmark::State& s, const std::string& impl) { Rotation(s, impl, 1.5); });
  Register(
      "256x256 alpha turned 30 deg", all,
      [](benchmark::State& s, const std::string& impl) { Rotation(s, impl, 1.0, true); },
      {2, "the peers round the weighted sum where ours takes its floor"});
  Register("100 textured quads 64x64", all, Quads);
}

}  // namespace

int main(int argc, char** argv) {
  BuildBlendTables();
  RegisterAll();
  return benchtable::RunAndPrint(argc, argv, {"sdl2", "pixman"});
}
