// The software renderer's blits beside SDL2's surface blitter and pixman,
// each peer in its fastest set-up that draws our picture (sprites run-length
// encoded for SDL2, premultiplied once at load for pixman), with memcpy for
// scale; the table after the run (bench_table.h) adds our milliseconds per
// frame, and the frames section proves that every column draws the same
// frame.
//
// The pictures come from the stand-in media: a 640 x 480 background as the
// frame, a 256 x 256 badge (a soft-edged disc on a transparent field) as the
// sprite, keyed (its field in the key colour), with its alpha, or opaque,
// and glyphs of the IPA font as keyed images. Two scattered sprites (a
// quarter of the pixels keyed or transparent at random) stay as rows of
// their own.
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/softrender/soft_blit.h"
#include "platform/gdi/gdi_font.h"

namespace {

using benchtable::FrameView;
using benchtable::kFrameH;
using benchtable::kFrameW;
using benchtable::kKey16;
using benchtable::kKey32;
using benchtable::OurImage;
using benchtable::PictureAs;
using benchtable::PixmanView;
using benchtable::ProveFrame;
using benchtable::SetDrawState;
using benchtable::SetPixels;
using benchtable::To565;
using benchtable::Tolerance;
using benchtable::ViewOf;

constexpr int kSprite = 256;
constexpr int kSpriteX = 100, kSpriteY = 80;
constexpr int kGlyphCount = 2000;

// What a sprite row draws.
enum class Sprite {
  Badge,            // the badge's colours, opaque
  KeyedBadge,       // the badge keyed
  AlphaBadge,       // the badge with its alpha
  ScatteredKey,     // random colours, a quarter keyed
  ScatteredAlpha,   // random colours, a quarter transparent, half opaque
};

// The frame: the background picture (byte 3 zero).
void FillFrame(OurImage& frame) {
  frame.buffer.transColor = 0;
  benchtable::PutPicture(frame, benchtable::BackgroundPicture(), PictureAs::Opaque);
}

// A scattered sprite pixel: a quarter keyed (without alpha) or fully
// transparent, half opaque, the rest partly transparent.
uint32_t ScatteredPixel(std::mt19937& rng, bool alpha) {
  const uint32_t r = rng() & 0x00FFFFFF;
  const uint32_t pick = rng() % 4;
  if (!alpha) return pick == 0 ? kKey32 : (r == kKey32 ? r ^ 1 : r);
  return pick == 0 ? r : pick == 3 ? r | (rng() % 254 + 1) << 24 : r | 0xFF000000;
}

// A 32-bit sprite (with alpha for AlphaBadge and ScatteredAlpha), as a graph
// with its run table where it has transparent pixels.
void FillSprite(OurImage& img, Sprite kind) {
  img.buffer.transColor = kKey32;
  if (kind == Sprite::ScatteredKey || kind == Sprite::ScatteredAlpha) {
    std::mt19937 rng(2);
    for (int y = 0; y < img.buffer.height; ++y)
      for (int x = 0; x < img.buffer.width; ++x) {
        const uint32_t v = ScatteredPixel(rng, kind == Sprite::ScatteredAlpha);
        std::memcpy(img.Row(y) + 4 * x, &v, 4);
      }
  } else {
    benchtable::PutPicture(img, benchtable::BadgePicture(),
                           kind == Sprite::Badge        ? PictureAs::Opaque
                           : kind == Sprite::KeyedBadge ? PictureAs::Keyed
                                                        : PictureAs::Alpha);
  }
  if (kind != Sprite::Badge) img.AsGraph();
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
  // The frame the implementation draws into: SDL2's own surface, else ours.
  FrameView Frame(OurImage& ours) const { return sdlDst != nullptr ? ViewOf(sdlDst) : ViewOf(ours); }
};

SDL_Surface* SdlCopyOf(OurImage& img, Uint32 format) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, img.buffer.width, img.buffer.height,
                                                  SDL_BITSPERPIXEL(format), format);
  for (int y = 0; y < img.buffer.height; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, img.Row(y),
                static_cast<size_t>(img.buffer.width * img.format.bytesPerPixel));
  return s;
}

// An ARGB copy of a 32-bit source without alpha for pixman: pixels of the
// key (keyed) wholly 0, all others opaque. pixman takes ARGB as
// premultiplied, where a transparent pixel has no colour, so OVER leaves the
// key pixels undrawn and copies the others.
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
  OurImage src(kFrameW, kFrameH, depthKind), dst(kFrameW, kFrameH, depthKind);
  FillFrame(src);
  std::memset(dst.pixels, 0, dst.Bytes());
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
  auto draw = [&] {
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
  };
  ProveFrame(peers.Frame(dst), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kFrameW} * kFrameH);
}

// ---- Rows of the 32-bit blit ----

// How a sprite row runs on each implementation.
struct SpriteRow {
  int32_t mode, param;
  uint8_t bright[3];
  Sprite sprite;
  int32_t trans;
  SDL_BlendMode sdlBlend;
  int sdlAlphaMod;     // -1: none
  int sdlColorMod[3];  // red, green, blue; -1: none
  pixman_op_t pixOp;
  int pixMaskAlpha;       // -1: no mask
  bool pixComponentMask;  // mask of the brightness colour, per channel
};

bool HasAlpha(Sprite s) { return s == Sprite::AlphaBadge || s == Sprite::ScatteredAlpha; }

void Sprite32(benchmark::State& state, const std::string& impl, SpriteRow row) {
  const bool alpha = HasAlpha(row.sprite);
  OurImage src(kSprite, kSprite, MemImgDepth32, false, alpha), dst(kFrameW, kFrameH, MemImgDepth32);
  OurImage argb(kSprite, kSprite, MemImgDepth32, false, true);
  FillSprite(src, row.sprite);
  FillFrame(dst);
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    // SDL2 draws a source with alpha from ARGB (straight alpha), and keys
    // with its colour key; "rle": its run-length encoded source.
    peers.sdlSrc = SdlCopyOf(src, alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_XRGB8888);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_XRGB8888);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, row.sdlBlend);
    if (row.sdlAlphaMod >= 0) SDL_SetSurfaceAlphaMod(peers.sdlSrc, static_cast<Uint8>(row.sdlAlphaMod));
    if (row.sdlColorMod[0] >= 0)
      SDL_SetSurfaceColorMod(peers.sdlSrc, static_cast<Uint8>(row.sdlColorMod[0]),
                             static_cast<Uint8>(row.sdlColorMod[1]), static_cast<Uint8>(row.sdlColorMod[2]));
    if (row.trans && !alpha) SDL_SetColorKey(peers.sdlSrc, SDL_TRUE, kKey32);
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
  } else if (IsImpl(impl, "pixman")) {
    // pixman: a source with alpha premultiplied once at load; a keyed
    // source as ARGB with its key pixels 0 ("pixman a8r8g8b8" for the rows
    // that need no key, where it may be faster than x8r8g8b8).
    if (alpha)
      benchtable::PremultiplyWithPixman(src, argb);
    else if (row.trans || HasSetup(impl, "a8r8g8b8"))
      OpaqueArgbCopy(src, argb, row.trans != 0);
    peers.pixSrc = alpha || row.trans || HasSetup(impl, "a8r8g8b8") ? PixmanView(argb, PIXMAN_a8r8g8b8)
                                                                     : PixmanView(src, PIXMAN_x8r8g8b8);
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
  auto draw = [&] {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, row.trans, nullptr);
    } else if (peers.sdlSrc != nullptr) {
      SDL_Rect d = at;
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    } else {
      pixman_image_composite32(row.pixOp, peers.pixSrc, peers.pixMask, peers.pixDst, 0, 0, 0, 0, kSpriteX,
                               kSpriteY, kSprite, kSprite);
    }
  };
  // (SDL2 makes its run-length encoding at the first blit, and ours its run
  // table at its first draw.)
  ProveFrame(peers.Frame(dst), draw);
  draw();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// ---- Glyphs ----

// Glyphs of the IPA font at 16 pixels, rendered once, one bit a pixel, as
// keyed 32-bit images: the ink in one colour on the key colour.
struct GlyphImages {
  std::vector<std::unique_ptr<OurImage>> keyed, argb;
};

const char8_t* const kGlyphText =
    u8"ベルノーラパーティへようこそ。サイコロを振ってマスを進み、星とコインを集めよう！"
    u8"一番多く星を持っているプレイヤーの勝ちです。";

std::vector<uint32_t> CodePoints(const char8_t* utf8) {
  std::vector<uint32_t> out;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8);
  while (*s != 0) {
    uint32_t c = *s;
    int more = 0;
    if (c >= 0xF0) {
      c &= 0x07;
      more = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      more = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      more = 1;
    }
    ++s;
    for (; more > 0 && *s != 0; --more, ++s) c = c << 6 | (*s & 0x3Fu);
    bool seen = false;
    for (uint32_t o : out) seen = seen || o == c;
    if (!seen) out.push_back(c);
  }
  return out;
}

GlyphImages& Glyphs() {
  static GlyphImages glyphs = [] {
    GlyphImages g;
    const int ppem = static_cast<int>((PlatformFontCharSize26_6("ＭＳ ゴシック", 16) + 32) / 64);
    TTF_Font* font = TTF_OpenFontDPI(PlatformFontFileForFace("ＭＳ ゴシック"), ppem, 72, 72);
    if (font == nullptr) {
      std::fprintf(stderr, "TTF_OpenFont: %s\n", TTF_GetError());
      std::exit(1);
    }
    const SDL_Color ink = {0xF0, 0xE8, 0xD0, 255};
    for (uint32_t cp : CodePoints(kGlyphText)) {
      SDL_Surface* s = TTF_RenderGlyph32_Solid(font, cp, ink);
      if (s == nullptr || s->w == 0) continue;
      auto keyed = std::make_unique<OurImage>(s->w, s->h, MemImgDepth32);
      auto argb = std::make_unique<OurImage>(s->w, s->h, MemImgDepth32, false, true);
      keyed->buffer.transColor = kKey32;
      for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
          const bool on = static_cast<const uint8_t*>(s->pixels)[y * s->pitch + x] != 0;
          const uint32_t v = on ? (ink.r << 16 | ink.g << 8 | ink.b) : kKey32;
          std::memcpy(keyed->Row(y) + 4 * x, &v, 4);
        }
      OpaqueArgbCopy(*keyed, *argb, true);
      keyed->AsGraph();
      g.keyed.push_back(std::move(keyed));
      g.argb.push_back(std::move(argb));
      SDL_FreeSurface(s);
    }
    TTF_CloseFont(font);
    return g;
  }();
  return glyphs;
}

// 2000 glyphs at random places of the frame, the glyphs of a text in turn.
void Glyphs32(benchmark::State& state, const std::string& impl) {
  GlyphImages& glyphs = Glyphs();
  const size_t kinds = glyphs.keyed.size();
  OurImage dst(kFrameW, kFrameH, MemImgDepth32);
  FillFrame(dst);
  std::mt19937 rng(3);
  struct Place {
    int x, y;
    size_t glyph;
  };
  std::vector<Place> places(kGlyphCount);
  int64_t pixels = 0;
  for (size_t i = 0; i < places.size(); ++i) {
    const OurImage& g = *glyphs.keyed[i % kinds];
    places[i] = {static_cast<int>(rng() % (kFrameW - g.buffer.width)),
                 static_cast<int>(rng() % (kFrameH - g.buffer.height)), i % kinds};
    pixels += int64_t{g.buffer.width} * g.buffer.height;
  }
  Peers peers;
  std::vector<SDL_Surface*> sdlGlyphs;
  std::vector<pixman_image_t*> pixGlyphs;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_XRGB8888);
    for (size_t k = 0; k < kinds; ++k) {
      SDL_Surface* s = SdlCopyOf(*glyphs.keyed[k], SDL_PIXELFORMAT_XRGB8888);
      SDL_SetColorKey(s, SDL_TRUE, kKey32);
      if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(s, 1);
      sdlGlyphs.push_back(s);
    }
  } else if (IsImpl(impl, "pixman")) {
    peers.pixDst = PixmanView(dst, PIXMAN_x8r8g8b8);
    for (size_t k = 0; k < kinds; ++k) pixGlyphs.push_back(PixmanView(*glyphs.argb[k], PIXMAN_a8r8g8b8));
  }
  SetDrawState(0, 0);
  auto draw = [&] {
    for (const Place& p : places) {
      OurImage& g = *glyphs.keyed[p.glyph];
      if (impl == "ours") {
        SoftBlit(&dst.view, &g.view, p.x, p.y, 1, nullptr);
      } else if (peers.sdlDst != nullptr) {
        SDL_Rect d = {p.x, p.y, g.buffer.width, g.buffer.height};
        SDL_BlitSurface(sdlGlyphs[p.glyph], nullptr, peers.sdlDst, &d);
      } else {
        pixman_image_composite32(PIXMAN_OP_OVER, pixGlyphs[p.glyph], nullptr, peers.pixDst, 0, 0, 0, 0, p.x, p.y,
                                 g.buffer.width, g.buffer.height);
      }
    }
  };
  ProveFrame(peers.Frame(dst), draw);
  draw();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  for (SDL_Surface* s : sdlGlyphs) SDL_FreeSurface(s);
  for (pixman_image_t* p : pixGlyphs) pixman_image_unref(p);
  SetPixels(state, pixels);
}

// ---- Rows of the 16-bit and paletted blits ----

// A 16-bit sprite: the badge's colours in RGB565 (drawn with a constant
// alpha), or in RGB565 with its alpha, or the scattered sprite with alpha.
// The peers draw the same colours from ARGB8888: SDL2 with straight alpha,
// pixman premultiplied once at load.
struct Sprite16Scene {
  OurImage src, dst, argb, premul;
  explicit Sprite16Scene(Sprite kind);
};

Sprite16Scene::Sprite16Scene(Sprite kind)
    : src(kSprite, kSprite, MemImgDepth16, false, HasAlpha(kind)),
      dst(kFrameW, kFrameH, MemImgDepth16),
      argb(kSprite, kSprite, MemImgDepth32, false, true),
      premul(kSprite, kSprite, MemImgDepth32, false, true) {
  const bool alpha = HasAlpha(kind);
  if (kind == Sprite::ScatteredAlpha) {
    std::mt19937 rng(5);
    for (int y = 0; y < kSprite; ++y)
      for (int x = 0; x < kSprite; ++x) {
        const uint32_t v = ScatteredPixel(rng, true);
        std::memcpy(argb.Row(y) + 4 * x, &v, 4);
      }
  } else {
    benchtable::PutPicture(argb, benchtable::BadgePicture(), PictureAs::Alpha);
  }
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      uint32_t v;
      std::memcpy(&v, argb.Row(y) + 4 * x, 4);
      const uint16_t colour = To565(v);
      // The peers see the colour that the 565 pixel holds.
      const uint32_t wide = (alpha ? v & 0xFF000000 : 0xFF000000) | benchtable::From565(colour);
      std::memcpy(argb.Row(y) + 4 * x, &wide, 4);
      if (alpha) {
        const uint32_t packed = colour | ((v >> 24) << 16);
        std::memcpy(src.Row(y) + 4 * x, &packed, 4);
      } else {
        std::memcpy(src.Row(y) + 2 * x, &colour, 2);
      }
    }
  src.buffer.transColor = kKey16;
  if (alpha) {
    src.AsGraph();
    benchtable::PremultiplyWithPixman(argb, premul);
  }
  FillFrame(dst);
}

void Sprite16(benchmark::State& state, const std::string& impl, int32_t mode, int32_t param, Sprite kind) {
  const bool alpha = HasAlpha(kind);
  Sprite16Scene scene(kind);
  OurImage &src = scene.src, &dst = scene.dst;
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = alpha ? SdlCopyOf(scene.argb, SDL_PIXELFORMAT_ARGB8888) : SdlCopyOf(src, SDL_PIXELFORMAT_RGB565);
    peers.sdlDst = SdlCopyOf(dst, SDL_PIXELFORMAT_RGB565);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, SDL_BLENDMODE_BLEND);
    if (!alpha) SDL_SetSurfaceAlphaMod(peers.sdlSrc, static_cast<Uint8>(param));
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
  } else if (alpha) {
    peers.pixSrc = PixmanView(scene.premul, PIXMAN_a8r8g8b8);
    peers.pixDst = PixmanView(dst, PIXMAN_r5g6b5);
  } else if (impl == "pixman") {
    peers.pixSrc = PixmanView(src, PIXMAN_r5g6b5);
    peers.pixDst = PixmanView(dst, PIXMAN_r5g6b5);
    peers.pixMask = SolidMask(static_cast<uint16_t>(param * 257));
  }
  SetDrawState(mode, param);
  auto draw = [&] {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, alpha ? 1 : 0, nullptr);
    } else if (peers.sdlSrc != nullptr) {
      SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    } else {
      pixman_image_composite32(PIXMAN_OP_OVER, peers.pixSrc, peers.pixMask, peers.pixDst, 0, 0, 0, 0, kSpriteX,
                               kSpriteY, kSprite, kSprite);
    }
  };
  ProveFrame(peers.Frame(dst), draw);
  draw();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// The badge as a paletted image: index 0 where it is less than half covered
// (the transparent index of the keyed rows), else the nearest colour of a
// 6 x 7 x 6 cube in indices 1 to 252.
void FillPalettedBadge(OurImage& src, std::vector<SDL_Color>& colours) {
  const benchtable::Picture& badge = benchtable::BadgePicture();
  colours.assign(256, SDL_Color{0, 0, 0, 255});
  colours[0] = {255, 0, 255, 255};
  for (int i = 0; i < 252; ++i)
    colours[i + 1] = {static_cast<Uint8>(i / 42 * 51), static_cast<Uint8>(i / 6 % 7 * 255 / 6),
                      static_cast<Uint8>(i % 6 * 51), 255};
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      const uint32_t v = badge.At(x, y);
      uint8_t index = 0;
      if ((v >> 24) >= 128) {
        const int r = ((v >> 16 & 0xFF) + 25) / 51, g = ((v >> 8 & 0xFF) * 6 + 127) / 255, b = ((v & 0xFF) + 25) / 51;
        index = static_cast<uint8_t>(1 + r * 42 + g * 6 + b);
      }
      src.Row(y)[x] = index;
    }
}

// The paletted badge copied onto a 16 or 32-bit frame (trans: index 0 is transparent).
void Paletted(benchmark::State& state, const std::string& impl, int32_t depthKind, bool trans) {
  OurImage src(kSprite, kSprite, depthKind, true), dst(kFrameW, kFrameH, depthKind);
  std::vector<SDL_Color> colours;
  FillPalettedBadge(src, colours);
  FillFrame(dst);
  for (int i = 0; i < 256; ++i) {
    const uint32_t v = static_cast<uint32_t>(colours[i].r) << 16 | colours[i].g << 8 | colours[i].b;
    if (depthKind == MemImgDepth16) {
      const uint16_t c = To565(v);
      std::memcpy(src.palette.data() + 2 * i, &c, 2);
      colours[i] = {static_cast<Uint8>((c >> 8) & 0xF8), static_cast<Uint8>((c >> 3) & 0xFC),
                    static_cast<Uint8>((c << 3) & 0xF8), 255};
    } else {
      std::memcpy(src.palette.data() + 4 * i, &v, 4);
    }
  }
  src.buffer.transColor = 0;
  if (trans) src.AsGraph();
  const Uint32 dstFormat = depthKind == MemImgDepth16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
  Peers peers;
  if (IsImpl(impl, "sdl2")) {
    peers.sdlSrc = SdlCopyOf(src, SDL_PIXELFORMAT_INDEX8);
    SDL_SetPaletteColors(peers.sdlSrc->format->palette, colours.data(), 0, 256);
    peers.sdlDst = SdlCopyOf(dst, dstFormat);
    SDL_SetSurfaceBlendMode(peers.sdlSrc, SDL_BLENDMODE_NONE);
    if (trans) SDL_SetColorKey(peers.sdlSrc, SDL_TRUE, 0);
    if (HasSetup(impl, "rle")) SDL_SetSurfaceRLE(peers.sdlSrc, 1);
  }
  SetDrawState(0, 0);
  auto draw = [&] {
    if (impl == "ours") {
      SoftBlit(&dst.view, &src.view, kSpriteX, kSpriteY, trans ? 1 : 0, nullptr);
    } else {
      SDL_Rect d = {kSpriteX, kSpriteY, kSprite, kSprite};
      SDL_BlitSurface(peers.sdlSrc, nullptr, peers.sdlDst, &d);
    }
  };
  ProveFrame(peers.Frame(dst), draw);
  draw();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{kSprite} * kSprite);
}

// ---- Rows of the stretched blit ----

// A source of srcW x srcH (the top-left of the background, or the badge's
// colours) drawn nearest-neighbour into destW x destH at the top-left of a
// frame, in mode 0 or in mode 1 at 128. The peers' "two-step" set-up scales
// into an image of the destination's size, then blends that.
void Stretch32(benchmark::State& state, const std::string& impl, int srcW, int srcH, int destW, int destH,
               int frameW, int frameH, int32_t mode) {
  OurImage src(srcW, srcH, MemImgDepth32), dst(frameW, frameH, MemImgDepth32);
  OurImage scaled(destW, destH, MemImgDepth32);
  benchtable::PutPicture(src, srcW == kSprite ? benchtable::BadgePicture() : benchtable::BackgroundPicture(),
                         PictureAs::Opaque);
  std::memset(dst.pixels, 0, dst.Bytes());
  benchtable::PutPicture(dst, benchtable::BackgroundPicture(), PictureAs::Opaque);
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
  auto draw = [&] {
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
  };
  ProveFrame(peers.Frame(dst), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  if (sdlScaled != nullptr) SDL_FreeSurface(sdlScaled);
  if (pixScaled != nullptr) pixman_image_unref(pixScaled);
  SetPixels(state, int64_t{destW} * destH);
}

SpriteRow Row(int32_t mode, int32_t param, Sprite sprite, int32_t trans, SDL_BlendMode sdlBlend, int sdlAlphaMod,
              pixman_op_t pixOp, int pixMaskAlpha) {
  return {mode, param, {255, 255, 255}, sprite, trans, sdlBlend, sdlAlphaMod, {-1, -1, -1}, pixOp, pixMaskAlpha,
          false};
}

// How far the peers' own rounding takes a blend from ours (bench_table.h).
constexpr Tolerance kBlendRounding = {2, "the peers round the weighted sum where ours takes its floor"};
constexpr Tolerance kAddRounding = {4,
                                    "the peers round the weighted share and add whole bytes; ours takes the "
                                    "share's floor and adds green and red on their upper seven bits"};

void RegisterAll() {
  using benchtable::Register;
  auto copy = [](int32_t depthKind) {
    return [=](benchmark::State& s, const std::string& impl) { CopyFrame(s, impl, depthKind); };
  };
  auto sprite = [](SpriteRow row) {
    return [row](benchmark::State& s, const std::string& impl) { Sprite32(s, impl, row); };
  };
  // Each peer in every set-up that can draw the row; the table keeps its
  // fastest that draws our picture.
  const std::vector<std::string> opaque = {"ours", "sdl2", "pixman", "pixman a8r8g8b8"};
  const std::vector<std::string> keyed = {"ours", "sdl2", "sdl2 rle", "pixman"};
  const std::vector<std::string> pixelAlpha = {"ours", "sdl2", "sdl2 rle", "pixman"};
  Register("copy 640x480", {"ours", "memcpy", "sdl2", "pixman"}, copy(MemImgDepth32));
  Register("keyed badge 256x256", keyed,
           sprite(Row(0, 0, Sprite::KeyedBadge, 1, SDL_BLENDMODE_NONE, -1, PIXMAN_OP_OVER, -1)));
  Register("keyed 256x256, scattered key", keyed,
           sprite(Row(0, 0, Sprite::ScatteredKey, 1, SDL_BLENDMODE_NONE, -1, PIXMAN_OP_OVER, -1)));
  Register("alpha 128, 256x256", opaque,
           sprite(Row(1, 128, Sprite::Badge, 0, SDL_BLENDMODE_BLEND, 128, PIXMAN_OP_OVER, 128)), kBlendRounding);
  Register("alpha 100, 256x256", opaque,
           sprite(Row(1, 100, Sprite::Badge, 0, SDL_BLENDMODE_BLEND, 100, PIXMAN_OP_OVER, 100)), kBlendRounding);
  Register("pixel alpha badge 256x256", pixelAlpha,
           sprite(Row(0, 0, Sprite::AlphaBadge, 1, SDL_BLENDMODE_BLEND, -1, PIXMAN_OP_OVER, -1)), kBlendRounding);
  Register("pixel alpha 256x256, scattered", pixelAlpha,
           sprite(Row(0, 0, Sprite::ScatteredAlpha, 1, SDL_BLENDMODE_BLEND, -1, PIXMAN_OP_OVER, -1)),
           kBlendRounding);
  Register("pixel alpha add badge 256x256", pixelAlpha,
           sprite(Row(2, 255, Sprite::AlphaBadge, 1, SDL_BLENDMODE_ADD, -1, PIXMAN_OP_ADD, -1)), kAddRounding);
  Register("pixel alpha add 256x256, scattered", pixelAlpha,
           sprite(Row(2, 255, Sprite::ScatteredAlpha, 1, SDL_BLENDMODE_ADD, -1, PIXMAN_OP_ADD, -1)), kAddRounding);
  Register("add 255, 256x256", opaque,
           sprite(Row(2, 255, Sprite::Badge, 0, SDL_BLENDMODE_ADD, -1, PIXMAN_OP_ADD, -1)), kAddRounding);
  Register("add 100, 256x256", opaque,
           sprite(Row(2, 100, Sprite::Badge, 0, SDL_BLENDMODE_ADD, 100, PIXMAN_OP_ADD, 100)), kAddRounding);
  const SpriteRow bright = {0, 0, {100, 150, 200}, Sprite::Badge, 0, SDL_BLENDMODE_NONE, -1, {200, 150, 100},
                            PIXMAN_OP_SRC, -1, true};
  Register("brightness, 256x256", opaque, sprite(bright),
           {1, "the peers round the brightness product where ours takes its floor"});
  Register("2000 keyed glyphs", keyed, Glyphs32);

  Register("565 copy 640x480", {"ours", "memcpy", "sdl2", "pixman"}, copy(MemImgDepth16));
  auto sprite16 = [](int32_t mode, int32_t param, Sprite kind) {
    return [=](benchmark::State& s, const std::string& impl) { Sprite16(s, impl, mode, param, kind); };
  };
  Register("565 alpha 128, 256x256", {"ours", "sdl2", "pixman"}, sprite16(1, 128, Sprite::Badge), kBlendRounding);
  Register("565 alpha 100, 256x256", {"ours", "sdl2", "pixman"}, sprite16(1, 100, Sprite::Badge), kBlendRounding);
  Register("565 pixel alpha badge 256x256", pixelAlpha, sprite16(0, 0, Sprite::AlphaBadge), kBlendRounding);
  Register("565 pixel alpha 256x256, scattered", pixelAlpha, sprite16(0, 0, Sprite::ScatteredAlpha),
           kBlendRounding);
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
  Register("stretch 256x256 x2, mode 1", stretchedBlend, stretch(256, 256, 512, 512, 640, 640, 1), kBlendRounding);
  Register("stretch 256x256 x0.5, mode 0", stretched, stretch(256, 256, 128, 128, 640, 640, 0));
  Register("stretch 256x256 x0.5, mode 1", stretchedBlend, stretch(256, 256, 128, 128, 640, 640, 1),
           kBlendRounding);
}

}  // namespace

int main(int argc, char** argv) {
  BuildBlendTables();
  BuildMaskRampTable(0, 255);
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "SDL2_ttf did not start\n");
    return 1;
  }
  RegisterAll();
  // Beside the peers, memcpy for scale, and our milliseconds for a whole
  // 640 x 480 frame of such pixels.
  const int result = benchtable::RunAndPrint(argc, argv, {"sdl2", "pixman"}, {"memcpy"}, int64_t{kFrameW} * kFrameH);
  TTF_Quit();
  return result;
}
