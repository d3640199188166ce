// The software renderer's blits beside the nearest operations of SDL2's
// surface blitter and of pixman on the same shapes, with memcpy for scale;
// the table after the run (bench_table.h) adds our milliseconds per frame.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/softrender/soft_blit.h"

namespace {

using benchtable::FillRandom;
using benchtable::kFrameH;
using benchtable::kFrameW;
using benchtable::OurImage;
using benchtable::PixmanStraightAlpha;
using benchtable::PixmanView;
using benchtable::SetDrawState;
using benchtable::SetPixels;

constexpr int kSprite = 256;
constexpr int kSpriteX = 100, kSpriteY = 80;
constexpr int kGlyph = 16, kGlyphCount = 2000;

// Sprite contents: a quarter fully transparent (alpha 0 and the key colour),
// half opaque, the rest partly transparent.
constexpr uint32_t kKey32 = 0x00FF00FF;
constexpr uint16_t kKey16 = 0xF81F;

uint32_t SpritePixel32(std::mt19937& rng, bool alpha) {
  const uint32_t r = rng() & 0x00FFFFFF;
  const uint32_t pick = rng() % 4;
  if (!alpha) return pick == 0 ? kKey32 : (r == kKey32 ? r ^ 1 : r);
  return pick == 0 ? r : pick == 3 ? r | (rng() % 254 + 1) << 24 : r | 0xFF000000;
}

void FillSprite32(OurImage& img, std::mt19937& rng, bool alpha) {
  for (int y = 0; y < img.buffer.height; ++y)
    for (int x = 0; x < img.buffer.width; ++x) {
      uint32_t v = SpritePixel32(rng, alpha);
      std::memcpy(img.Row(y) + 4 * x, &v, 4);
    }
  img.buffer.transColor = kKey32;
}

// ---- Peers ----

struct Peers {
  SDL_Surface* sdlSrc = nullptr;
  SDL_Surface* sdlDst = nullptr;
  pixman_image_t* pixSrc = nullptr;
  pixman_image_t* pixDst = nullptr;
  pixman_image_t* pixMask = nullptr;
  ~Peers() {
    if (sdlSrc) SDL_FreeSurface(sdlSrc);
    if (sdlDst) SDL_FreeSurface(sdlDst);
    if (pixSrc) pixman_image_unref(pixSrc);
    if (pixDst) pixman_image_unref(pixDst);
    if (pixMask) pixman_image_unref(pixMask);
  }
};

SDL_Surface* SdlCopyOf(OurImage& img, Uint32 format) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, img.buffer.width, img.buffer.height,
                                                  SDL_BITSPERPIXEL(format), format);
  for (int y = 0; y < img.buffer.height; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, img.Row(y),
                static_cast<size_t>(img.buffer.width * img.format.bytesPerPixel));
  return s;
}

// An ARGB copy of a 32-bit source without alpha for the peers' alpha set-ups:
// pixels of the key (keyed) wholly 0, all others opaque. pixman takes ARGB
// as premultiplied, where a transparent pixel has no colour: a key pixel
// kept at alpha 0 with its colour would be added onto the frame.
void OpaqueArgbCopy(OurImage& from, OurImage& to, bool keyed) {
  for (int y = 0; y < from.buffer.height; ++y)
    for (int x = 0; x < from.buffer.width; ++x) {
      uint32_t v;
      std::memcpy(&v, from.Row(y) + 4 * x, 4);
      v &= 0x00FFFFFF;
      v = !keyed || v != from.buffer.transColor ? v | 0xFF000000u : 0;
      std::memcpy(to.Row(y) + 4 * x, &v, 4);
    }
}

// The set-up part of an implementation's name ("sdl2 rle" -> "rle").
bool HasSetup(const std::string& impl, const char* setup) {
  const size_t space = impl.find(' ');
  return space != std::string::npos && impl.compare(space + 1, std::string::npos, setup) == 0;
}
bool IsImpl(const std::string& impl, const char* name) { return impl.rfind(name, 0) == 0; }

pixman_image_t* SolidMask(uint16_t alpha, uint16_t red = 0xFFFF, uint16_t green = 0xFFFF,
                          uint16_t blue = 0xFFFF) {
  pixman_color_t c = {red, green, blue, alpha};
  return pixman_image_create_solid_fill(&c);
}

// ---- Frame copies ----

// A whole frame copied: RGB565 or XRGB8888.
void CopyFrame(benchmark::State& state, const std::string& impl, int32_t depthKind) {
  const bool depth32 = depthKind == MemImgDepth32;
  std::mt19937 rng(1);
  OurImage src(kFrameW, kFrameH, depthKind), dst(kFrameW, kFrameH, depthKind);
  FillRandom(src, rng);
  Peers peers;
  if (impl == "sdl2") {
    const Uint32 format = depth32 ? SDL_PIXELFORMAT_XRGB8888 : SDL_PIXELFORMAT_RGB565;
    peers.sdlSrc = SdlCopyOf(src, format);
    peers.sdlDst = SdlCopyOf(dst, format);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, SDL_BLENDMODE_NONE);
  } else if (impl == "pixman") {
    const pixman_format_code_t format = depth32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
    peers.pixSrc = PixmanView(src, format);
    peers.pixDst = PixmanView(dst, format);
  }
  SetDrawState(0, 0);
  for (auto _ : state) {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, 0, 0, 0, nullptr);
    } else if (impl == "memcpy") {
      std::memcpy(dst.pixels, src.pixels, src.Bytes());
    } else if (impl == "sdl2") {
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, nullptr);
    } else {
      pixman_image_composite32(PIXMAN_OP_SRC, peers.pixSrc, nullptr, peers.pixDst, 0, 0, 0, 0, 0, 0, kFrameW,
                               kFrameH);
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kFrameW} * kFrameH);
}

// ---- Rows of the 32-bit blit ----

// How a sprite row runs on each implementation.
struct SpriteRow {
  int32_t mode, param;
  uint8_t bright[3];
  bool alpha;
  int32_t trans;
  SDL_BlendMode sdlBlend;
  int sdlAlphaMod;     // -1: none
  int sdlColorMod[3];  // red, green, blue; -1: none
  pixman_op_t pixOp;
  int pixMaskAlpha;       // -1: no mask
  bool pixComponentMask;  // mask of the brightness colour, per channel
};

void Sprite32(benchmark::State& state, const std::string& impl, SpriteRow row) {
  std::mt19937 rng(2);
  OurImage src(kSprite, kSprite, MemImgDepth32, false, row.alpha), dst(kFrameW, kFrameH, MemImgDepth32);
  OurImage argb(kSprite, kSprite, MemImgDepth32, false, true);
  FillSprite32(src, rng, row.alpha);
  FillRandom(dst, rng);
  // Set-ups: "a8r8g8b8" gives pixman the source as ARGB (keyed pixels 0, all
  // others opaque), "rle" gives SDL2 its run-length encoded source.
  // Sources with alpha: "pixman mask" and "premul" (PixmanStraightAlpha).
  const bool asArgb = HasSetup(impl, "a8r8g8b8");
  const bool maskedByAlpha = HasSetup(impl, "mask");
  const bool straightAlpha = maskedByAlpha || impl == "premul";
  if (asArgb) OpaqueArgbCopy(src, argb, row.trans != 0);
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = SdlCopyOf(src, row.alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_XRGB8888);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_XRGB8888);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, row.sdlBlend);
    if (row.sdlAlphaMod >= 0) SDL_SetSurfaceAlphaMod(peers.sdlSrc, static_cast<Uint8>(row.sdlAlphaMod));
    if (row.sdlColorMod[0] >= 0)
      SDL_SetSurfaceColorMod(peers.sdlSrc, static_cast<Uint8>(row.sdlColorMod[0]),
                             static_cast<Uint8>(row.sdlColorMod[1]), static_cast<Uint8>(row.sdlColorMod[2]));
    if (row.trans && !row.alpha) SDL_SetColorKey(peers.sdlSrc, SDL_TRUE, kKey32);
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
  } else if (straightAlpha) {
    PixmanStraightAlpha(src, maskedByAlpha, &peers.pixSrc, &peers.pixMask);
    peers.pixDst = PixmanView(dst, PIXMAN_x8r8g8b8);
  } else if (IsImpl(impl, "pixman")) {
    peers.pixSrc = asArgb ? PixmanView(argb, PIXMAN_a8r8g8b8) : PixmanView(src, PIXMAN_x8r8g8b8);
    peers.pixDst = PixmanView(dst, PIXMAN_x8r8g8b8);
    if (row.pixComponentMask) {
      peers.pixMask =
          SolidMask(0xFFFF, static_cast<uint16_t>(row.bright[2] * 257),
                    static_cast<uint16_t>(row.bright[1] * 257), static_cast<uint16_t>(row.bright[0] * 257));
      pixman_image_set_component_alpha(peers.pixMask, 1);
    } else if (row.pixMaskAlpha >= 0) {
      peers.pixMask = SolidMask(static_cast<uint16_t>(row.pixMaskAlpha * 257));
    }
  }
  SetDrawState(row.mode, row.param, row.bright[0], row.bright[1], row.bright[2]);
  SDL_Rect at = {kSpriteX, kSpriteY, kSprite, kSprite};
  if (peers.sdlSrc != nullptr) {  // the run-length encoding is made at the first blit
    SDL_Rect d = at;
    SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
  }
  for (auto _ : state) {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, row.trans, nullptr);
    } else if (peers.sdlSrc != nullptr) {
      SDL_Rect d = at;
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    } else {
      pixman_image_composite32(row.pixOp, peers.pixSrc, peers.pixMask, peers.pixDst, 0, 0, 0, 0, kSpriteX,
                               kSpriteY, kSprite, kSprite);
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// Colour-keyed glyphs (pixman: the same glyph as ARGB, the key pixels 0).
void Glyphs32(benchmark::State& state, const std::string& impl) {
  std::mt19937 rng(3);
  OurImage src(kGlyph, kGlyph, MemImgDepth32), argb(kGlyph, kGlyph, MemImgDepth32, false, true);
  OurImage dst(kFrameW, kFrameH, MemImgDepth32);
  FillSprite32(src, rng, false);
  OpaqueArgbCopy(src, argb, true);
  FillRandom(dst, rng);
  std::vector<std::pair<int, int>> places(kGlyphCount);
  for (auto& p : places)
    p = {static_cast<int>(rng() % (kFrameW - kGlyph)), static_cast<int>(rng() % (kFrameH - kGlyph))};
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = SdlCopyOf(src, SDL_PIXELFORMAT_XRGB8888);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_XRGB8888);
    SDL_SetColorKey(peers.sdlSrc, SDL_TRUE, kKey32);
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
    SDL_Rect d = {0, 0, kGlyph, kGlyph};
    SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
  } else if (IsImpl(impl, "pixman")) {
    peers.pixSrc = PixmanView(argb, PIXMAN_a8r8g8b8);
    peers.pixDst = PixmanView(dst, PIXMAN_x8r8g8b8);
  }
  SetDrawState(0, 0);
  for (auto _ : state) {
    for (const auto& p : places) {
      if (impl == "ours") {
        SoftBlit(&dst.view, &src.view, p.first, p.second, 1, nullptr);
      } else if (peers.sdlSrc != nullptr) {
        SDL_Rect d = {p.first, p.second, kGlyph, kGlyph};
        SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
      } else {
        pixman_image_composite32(PIXMAN_OP_OVER, peers.pixSrc, nullptr, peers.pixDst, 0, 0, 0, 0, p.first,
                                 p.second, kGlyph, kGlyph);
      }
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kGlyph} * kGlyph * kGlyphCount);
}

// ---- Rows of the 16-bit and paletted blits ----

uint16_t To565(uint32_t argb) {
  return static_cast<uint16_t>(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
}

// A 16-bit sprite: RGB565 with a constant alpha, or RGB565 with per-pixel
// alpha (the peers draw the same colours from ARGB8888, straight alpha).
struct Sprite16Scene {
  OurImage src, dst, argb;
  explicit Sprite16Scene(bool withAlpha);
};

Sprite16Scene::Sprite16Scene(bool withAlpha)
    : src(kSprite, kSprite, MemImgDepth16, false, withAlpha),
      dst(kFrameW, kFrameH, MemImgDepth16),
      argb(kSprite, kSprite, MemImgDepth32, false, true) {
  std::mt19937 rng(5);
  FillSprite32(argb, rng, true);
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      uint32_t v;
      std::memcpy(&v, argb.Row(y) + 4 * x, 4);
      const uint16_t colour = To565(v);
      // The peers see the colour that the 565 pixel holds.
      const uint32_t wide = (v & 0xFF000000) | ((colour & 0xF800u) << 8) | ((colour & 0x07E0u) << 5) |
                            ((colour & 0x001Fu) << 3);
      std::memcpy(argb.Row(y) + 4 * x, &wide, 4);
      if (withAlpha) {
        const uint32_t packed = colour | ((v >> 24) << 16);
        std::memcpy(src.Row(y) + 4 * x, &packed, 4);
      } else {
        std::memcpy(src.Row(y) + 2 * x, &colour, 2);
      }
    }
  src.buffer.transColor = kKey16;
  FillRandom(dst, rng);
}

void Sprite16(benchmark::State& state, const std::string& impl, int32_t mode, int32_t param, bool alpha) {
  Sprite16Scene scene(alpha);
  OurImage &src = scene.src, &dst = scene.dst, &argb = scene.argb;
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = alpha ? SdlCopyOf(argb, SDL_PIXELFORMAT_ARGB8888) : SdlCopyOf(src, SDL_PIXELFORMAT_RGB565);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_RGB565);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, SDL_BLENDMODE_BLEND);
    if (!alpha) SDL_SetSurfaceAlphaMod(peers.sdlSrc, static_cast<Uint8>(param));
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
    SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
    SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
  } else if (alpha) {  // "pixman mask" or "premul" (PixmanStraightAlpha)
    PixmanStraightAlpha(argb, HasSetup(impl, "mask"), &peers.pixSrc, &peers.pixMask);
    peers.pixDst = PixmanView(dst, PIXMAN_r5g6b5);
  } else if (impl == "pixman") {
    peers.pixSrc = PixmanView(src, PIXMAN_r5g6b5);
    peers.pixDst = PixmanView(dst, PIXMAN_r5g6b5);
    peers.pixMask = SolidMask(static_cast<uint16_t>(param * 257));
  }
  SetDrawState(mode, param);
  for (auto _ : state) {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, alpha ? 1 : 0, nullptr);
    } else if (peers.sdlSrc != nullptr) {
      SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    } else {
      pixman_image_composite32(PIXMAN_OP_OVER, peers.pixSrc, peers.pixMask, peers.pixDst, 0, 0, 0, 0,
                               kSpriteX, kSpriteY, kSprite, kSprite);
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// A paletted sprite copied onto a 16 or 32-bit frame (trans: index 0 is transparent).
void Paletted(benchmark::State& state, const std::string& impl, int32_t depthKind, bool trans) {
  std::mt19937 rng(6);
  OurImage src(kSprite, kSprite, depthKind, true), dst(kFrameW, kFrameH, depthKind);
  FillRandom(src, rng);
  FillRandom(dst, rng);
  std::vector<SDL_Color> colours(256);
  for (int i = 0; i < 256; ++i) {
    const uint32_t v = rng() & 0x00FFFFFF;
    if (depthKind == MemImgDepth16) {
      const uint16_t c = To565(v);
      std::memcpy(src.palette.data() + 2 * i, &c, 2);
      colours[i] = {static_cast<Uint8>((c >> 8) & 0xF8), static_cast<Uint8>((c >> 3) & 0xFC),
                    static_cast<Uint8>((c << 3) & 0xF8), 255};
    } else {
      std::memcpy(src.palette.data() + 4 * i, &v, 4);
      colours[i] = {static_cast<Uint8>(v >> 16), static_cast<Uint8>(v >> 8), static_cast<Uint8>(v), 255};
    }
  }
  src.buffer.transColor = 0;
  const Uint32 dstFormat = depthKind == MemImgDepth16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = SdlCopyOf(src, SDL_PIXELFORMAT_INDEX8);
    SDL_SetPaletteColors(peers.sdlSrc->format->palette, colours.data(), 0, 256);
    peers.sdlDst = SdlCopyOf(dst, dstFormat);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, SDL_BLENDMODE_NONE);
    if (trans) SDL_SetColorKey(peers.sdlSrc, SDL_TRUE, 0);
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
    SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
    SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
  }
  SetDrawState(0, 0);
  for (auto _ : state) {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, trans ? 1 : 0, nullptr);
    } else {
      SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// ---- Rows of the stretched blit ----

// A source of srcW x srcH drawn nearest-neighbour into destW x destH at the
// top-left of a frame, in mode 0 or in mode 1 at 128.
// A source of srcW x srcH drawn nearest-neighbour into destW x destH at the
// top-left of a frame, in mode 0 or in mode 1 at 128. The peers' "two-step"
// set-up scales into an image of the destination's size, then blends that.
void Stretch32(benchmark::State& state, const std::string& impl, int srcW, int srcH, int destW, int destH,
               int frameW, int frameH, int32_t mode) {
  std::mt19937 rng(7);
  OurImage src(srcW, srcH, MemImgDepth32), dst(frameW, frameH, MemImgDepth32);
  OurImage scaled(destW, destH, MemImgDepth32);
  FillRandom(src, rng);
  FillRandom(dst, rng);
  const bool twoStep = HasSetup(impl, "two-step");
  Peers peers;
  SDL_Surface* sdlScaled = nullptr;
  pixman_image_t* pixScaled = nullptr;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = SdlCopyOf(src, SDL_PIXELFORMAT_XRGB8888);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_XRGB8888);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, mode == 0 || twoStep ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    if (mode == 1 && !twoStep) SDL_SetSurfaceAlphaMod(peers.sdlSrc, 128);
    if (twoStep) {
      sdlScaled = SdlCopyOf(scaled, SDL_PIXELFORMAT_XRGB8888);
      SDL_SetSurfaceBlendMode(sdlScaled, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceAlphaMod(sdlScaled, 128);
    }
  } else if (IsImpl(impl, "pixman")) {
    peers.pixSrc = PixmanView(src, PIXMAN_x8r8g8b8);
    peers.pixDst = PixmanView(dst, PIXMAN_x8r8g8b8);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(srcW) / destW),
                                pixman_double_to_fixed(static_cast<double>(srcH) / destH));
    pixman_image_set_transform(peers.pixSrc, &t);
    pixman_image_set_filter(peers.pixSrc, PIXMAN_FILTER_NEAREST, nullptr, 0);
    if (mode == 1) peers.pixMask = SolidMask(128 * 257);
    if (twoStep) pixScaled = PixmanView(scaled, PIXMAN_x8r8g8b8);
  }
  SetDrawState(mode, 128);
  DrawClipRect = {0, 0, frameW, frameH};
  const int32_t rect[4] = {0, 0, destW, destH};
  for (auto _ : state) {
    if (impl == "ours") {
      SoftBlitStretch(&dst.view, &src.view, rect, 0, nullptr);
    } else if (IsImpl(impl, "sdl2")) {
      SDL_Rect d = {0, 0, destW, destH};
      if (twoStep) {
        SDL_BlitScaled(peers.sdlSrc, nullptr, sdlScaled, nullptr);
        SDL_BlitSurface(sdlScaled, nullptr, peers.sdlDst, &d);
      } else {
        SDL_BlitScaled(peers.sdlSrc, nullptr, peers.sdlDst, &d);
      }
    } else if (twoStep) {
      pixman_image_composite32(PIXMAN_OP_SRC, peers.pixSrc, nullptr, pixScaled, 0, 0, 0, 0, 0, 0, destW, destH);
      pixman_image_composite32(PIXMAN_OP_OVER, pixScaled, peers.pixMask, peers.pixDst, 0, 0, 0, 0, 0, 0, destW,
                               destH);
    } else {
      pixman_image_composite32(mode == 0 ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, peers.pixSrc, peers.pixMask,
                               peers.pixDst, 0, 0, 0, 0, 0, 0, destW, destH);
    }
    benchmark::ClobberMemory();
  }
  if (sdlScaled != nullptr) SDL_FreeSurface(sdlScaled);
  if (pixScaled != nullptr) pixman_image_unref(pixScaled);
  SetPixels(state, int64_t{destW} * destH);
}

const SpriteRow kAlpha128 = {1,   128,          {255, 255, 255}, false, 0,    SDL_BLENDMODE_BLEND,
                             128, {-1, -1, -1}, PIXMAN_OP_OVER,  128,   false};
const SpriteRow kAlpha100 = {1,   100,          {255, 255, 255}, false, 0,    SDL_BLENDMODE_BLEND,
                             100, {-1, -1, -1}, PIXMAN_OP_OVER,  100,   false};
const SpriteRow kPixelAlpha = {
    0, 0, {255, 255, 255}, true, 1, SDL_BLENDMODE_BLEND, -1, {-1, -1, -1}, PIXMAN_OP_OVER, -1, false};
const SpriteRow kAdd255 = {2,  255,          {255, 255, 255}, false, 0,    SDL_BLENDMODE_ADD,
                           -1, {-1, -1, -1}, PIXMAN_OP_ADD,   -1,    false};
const SpriteRow kAdd100 = {2,   100,          {255, 255, 255}, false, 0,    SDL_BLENDMODE_ADD,
                           100, {-1, -1, -1}, PIXMAN_OP_ADD,   100,   false};
const SpriteRow kPixelAlphaAdd = {
    2, 255, {255, 255, 255}, true, 1, SDL_BLENDMODE_ADD, -1, {-1, -1, -1}, PIXMAN_OP_ADD, -1, false};
const SpriteRow kKeyed = {
    0, 0, {255, 255, 255}, false, 1, SDL_BLENDMODE_NONE, -1, {-1, -1, -1}, PIXMAN_OP_OVER, -1, false};
const SpriteRow kBright = {
    0, 0, {100, 150, 200}, false, 0, SDL_BLENDMODE_NONE, -1, {200, 150, 100}, PIXMAN_OP_SRC, -1, true};

// The pixels that pixman's two set-ups of a straight-alpha row draw
// differently from ours, from the same sprite onto the same frame as the
// row's benchmark.
void PrintDifferences32(const char* name, const SpriteRow& row) {
  std::mt19937 rng(2);
  OurImage src(kSprite, kSprite, MemImgDepth32, false, true), dst(kFrameW, kFrameH, MemImgDepth32);
  FillSprite32(src, rng, true);
  FillRandom(dst, rng);
  benchtable::PrintStraightAlphaDifferences(
      name, src, dst, PIXMAN_x8r8g8b8, int64_t{kSprite} * kSprite,
      [&](OurImage& target) {
        SetDrawState(row.mode, row.param);
        SoftBlit(&target.view, &src.view, kSpriteX, kSpriteY, row.trans, nullptr);
      },
      [&](pixman_image_t* source, pixman_image_t* mask, pixman_image_t* target) {
        pixman_image_composite32(row.pixOp, source, mask, target, 0, 0, 0, 0, kSpriteX, kSpriteY, kSprite,
                                 kSprite);
      });
}

void PrintDifferences16(const char* name) {
  Sprite16Scene scene(true);
  benchtable::PrintStraightAlphaDifferences(
      name, scene.argb, scene.dst, PIXMAN_r5g6b5, int64_t{kSprite} * kSprite,
      [&](OurImage& target) {
        SetDrawState(0, 0);
        SoftBlit(&target.view, &scene.src.view, kSpriteX, kSpriteY, 1, nullptr);
      },
      [&](pixman_image_t* source, pixman_image_t* mask, pixman_image_t* target) {
        pixman_image_composite32(PIXMAN_OP_OVER, source, mask, target, 0, 0, 0, 0, kSpriteX, kSpriteY, kSprite,
                                 kSprite);
      });
}

void RegisterAll() {
  using benchtable::Register;
  // Each peer in every set-up that can draw the row; the table keeps its fastest.
  const std::vector<std::string> opaque = {"ours", "sdl2", "pixman", "pixman a8r8g8b8"};
  // Sources with straight alpha: pixman's peer set-up weighs the straight
  // colour by the alpha; "premul" (pixman taking the pixels as
  // premultiplied, less work and another picture) is shown for scale only.
  const std::vector<std::string> pixelAlpha = {"ours", "sdl2", "sdl2 rle", "pixman mask", "premul"};
  auto copy = [](int32_t depthKind) {
    return [=](benchmark::State& s, const std::string& impl) { CopyFrame(s, impl, depthKind); };
  };
  Register("copy 640x480", {"ours", "memcpy", "sdl2", "pixman"}, copy(MemImgDepth32));
  auto sprite = [](SpriteRow row) {
    return [row](benchmark::State& s, const std::string& impl) { Sprite32(s, impl, row); };
  };
  // (pixman's keyed set-up: an x8r8g8b8 source would draw the key colour.)
  Register("keyed copy, 256x256", {"ours", "sdl2", "sdl2 rle", "pixman a8r8g8b8"}, sprite(kKeyed));
  Register("alpha 128, 256x256", opaque, sprite(kAlpha128));
  Register("alpha 100, 256x256", opaque, sprite(kAlpha100));
  Register("pixel alpha + trans, 256x256", pixelAlpha, sprite(kPixelAlpha));
  Register("pixel alpha add + trans, 256x256", pixelAlpha, sprite(kPixelAlphaAdd));
  Register("add 255, 256x256", opaque, sprite(kAdd255));
  Register("add 100, 256x256", opaque, sprite(kAdd100));
  Register("brightness, 256x256", opaque, sprite(kBright));
  Register("2000 keyed glyphs 16x16", {"ours", "sdl2", "sdl2 rle", "pixman"}, Glyphs32);

  Register("565 copy 640x480", {"ours", "memcpy", "sdl2", "pixman"}, copy(MemImgDepth16));
  auto sprite16 = [](int32_t mode, int32_t param, bool alpha) {
    return [=](benchmark::State& s, const std::string& impl) { Sprite16(s, impl, mode, param, alpha); };
  };
  Register("565 alpha 128, 256x256", {"ours", "sdl2", "pixman"}, sprite16(1, 128, false));
  Register("565 alpha 100, 256x256", {"ours", "sdl2", "pixman"}, sprite16(1, 100, false));
  Register("565 pixel alpha + trans, 256x256", pixelAlpha, sprite16(0, 0, true));
  auto paletted = [](int32_t depthKind, bool trans) {
    return [=](benchmark::State& s, const std::string& impl) { Paletted(s, impl, depthKind, trans); };
  };
  Register("paletted to 565, 256x256", {"ours", "sdl2"}, paletted(MemImgDepth16, false));
  Register("paletted to 565 + trans, 256x256", {"ours", "sdl2", "sdl2 rle"}, paletted(MemImgDepth16, true));
  Register("paletted to 8888, 256x256", {"ours", "sdl2"}, paletted(MemImgDepth32, false));
  Register("paletted to 8888 + trans, 256x256", {"ours", "sdl2", "sdl2 rle"}, paletted(MemImgDepth32, true));

  auto stretch = [](int srcW, int srcH, int destW, int destH, int frameW, int frameH, int32_t mode) {
    return [=](benchmark::State& s, const std::string& impl) {
      Stretch32(s, impl, srcW, srcH, destW, destH, frameW, frameH, mode);
    };
  };
  const std::vector<std::string> stretched = {"ours", "sdl2", "pixman"};
  const std::vector<std::string> stretchedBlend = {"ours", "sdl2", "sdl2 two-step", "pixman", "pixman two-step"};
  Register("stretch 320x240 to 640x480", stretched, stretch(320, 240, 640, 480, 640, 480, 0));
  Register("stretch 256x256 x2, mode 0", stretched, stretch(256, 256, 512, 512, 640, 640, 0));
  Register("stretch 256x256 x2, mode 1", stretchedBlend, stretch(256, 256, 512, 512, 640, 640, 1));
  Register("stretch 256x256 x0.5, mode 0", stretched, stretch(256, 256, 128, 128, 640, 640, 0));
  Register("stretch 256x256 x0.5, mode 1", stretchedBlend, stretch(256, 256, 128, 128, 640, 640, 1));
}

}  // namespace

int main(int argc, char** argv) {
  BuildBlendTables();
  BuildMaskRampTable(0, 255);
  RegisterAll();
  // Beside the peers, memcpy and pixman's premultiplied blends for scale, and
  // our milliseconds for a whole 640 x 480 frame of such pixels.
  const int result =
      benchtable::RunAndPrint(argc, argv, {"sdl2", "pixman"}, {"memcpy", "premul"}, int64_t{kFrameW} * kFrameH);
  PrintDifferences32("pixel alpha + trans", kPixelAlpha);
  PrintDifferences32("pixel alpha add + trans", kPixelAlphaAdd);
  PrintDifferences16("565 pixel alpha + trans");
  return result;
}
