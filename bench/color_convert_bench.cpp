// Nanoseconds per pixel of the converter on a 640 x 480 picture beside the
// nearest conversions of pixman (a SRC composite between the two formats)
// and of SDL2 (a blit between surfaces of the two formats), with the
// pixel-by-pixel rule and memcpy for scale. A peer that converts into
// another picture (the key of a key-to-alpha conversion left opaque) gets
// no ratio (bench_table.h).
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "library/graphics/color_convert.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  SetColorFormatFromMasks(&f, bits, r, g, b, a);
  return f;
}

// The picture every row converts: the background of the media with the
// badge and an event character on it, keyed (the key colour 0xFF00FF where
// they are less than half covered) or with their alpha (ARGB sources).
uint32_t PicturePixel(int32_t x, int32_t y, bool alpha) {
  uint32_t v = benchtable::BackgroundPicture().At(x, y) | 0xFF000000u;
  const benchtable::Picture* pictures[2] = {&benchtable::BadgePicture(), &benchtable::CharacterPicture()};
  const int32_t at[2][2] = {{100, 80}, {400, 200}};
  for (int i = 0; i < 2; ++i) {
    const int32_t px = x - at[i][0], py = y - at[i][1];
    if (px < 0 || py < 0 || px >= pictures[i]->width || py >= pictures[i]->height) continue;
    const uint32_t p = pictures[i]->At(px, py);
    v = alpha ? p : benchtable::KeyedPixel32(p) | 0xFF000000u;
  }
  return v;
}

struct Frame {
  ColorFormat format;
  benchtable::PooledBytes bytes;
  int32_t pitch;
  explicit Frame(const ColorFormat& f)
      : format(f), bytes(kWidth * kHeight * f.bytesPerPixel), pitch(kWidth * f.bytesPerPixel) {
    // Paletted: a 6 x 7 x 6 cube, the key colour at index 0.
    std::memset(format.palette, 0, sizeof format.palette);
    for (int i = 0; i < 252; ++i) {
      format.palette[i + 1][0] = static_cast<uint8_t>(i % 6 * 51);
      format.palette[i + 1][1] = static_cast<uint8_t>(i / 6 % 7 * 255 / 6);
      format.palette[i + 1][2] = static_cast<uint8_t>(i / 42 * 51);
    }
    format.palette[0][0] = format.palette[0][2] = 255;
    const bool alpha = f.alphaMask != 0;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const uint32_t v = PicturePixel(x, y, alpha);
        uint8_t* p = bytes.data() + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * f.bytesPerPixel;
        uint32_t out = 0;
        if (f.bytesPerPixel == 1) {
          const uint32_t c = v & 0x00FFFFFF;
          out = c == 0xFF00FF ? 0
                              : 1 + ((c >> 16 & 0xFF) + 25) / 51 * 42 + ((c >> 8 & 0xFF) * 6 + 127) / 255 * 6 +
                                    ((c & 0xFF) + 25) / 51;
        } else if (f.redMask == 0xF800) {
          out = benchtable::To565(v) | (f.alphaMask != 0 ? (v >> 24) << 16 : 0);
        } else {
          out = f.alphaMask != 0 ? v : v & 0x00FFFFFF;
        }
        std::memcpy(p, &out, f.bytesPerPixel);
      }
  }
  benchtable::FrameView View() const {
    return {bytes.data(), pitch,  kWidth, kHeight, format.bytesPerPixel, format.alphaMask != 0,
            format.redMask == 0xF800};
  }
};

// How a row runs on each side: our formats and options, the peers' formats
// (0: no such peer).
struct ConvertRow {
  ColorFormat from, to;
  int32_t keyToAlpha;
  pixman_format_code_t pixFrom, pixTo;
  Uint32 sdlFrom, sdlTo;
};

void Run(benchmark::State& state, const std::string& impl, const ConvertRow& row) {
  Frame src(row.from), dest(row.to);
  PixelRect rect{0, 0, kWidth, kHeight};
  pixman_image_t* pixSrc = nullptr;
  pixman_image_t* pixDest = nullptr;
  SDL_Surface* sdlSrc = nullptr;
  SDL_Surface* sdlDest = nullptr;
  if (impl == "pixman") {
    pixSrc = pixman_image_create_bits(row.pixFrom, kWidth, kHeight, reinterpret_cast<uint32_t*>(src.bytes.data()),
                                      src.pitch);
    pixDest = pixman_image_create_bits(row.pixTo, kWidth, kHeight, reinterpret_cast<uint32_t*>(dest.bytes.data()),
                                       dest.pitch);
  } else if (impl == "sdl2") {
    sdlSrc = SDL_CreateRGBSurfaceWithFormatFrom(src.bytes.data(), kWidth, kHeight, 32, src.pitch, row.sdlFrom);
    sdlDest = SDL_CreateRGBSurfaceWithFormatFrom(dest.bytes.data(), kWidth, kHeight, 32, dest.pitch, row.sdlTo);
    if (SDL_ISPIXELFORMAT_INDEXED(row.sdlFrom)) {
      std::vector<SDL_Color> colours(256);
      for (int i = 0; i < 256; ++i)
        colours[i] = {src.format.palette[i][2], src.format.palette[i][1], src.format.palette[i][0], 255};
      SDL_SetPaletteColors(sdlSrc->format->palette, colours.data(), 0, 256);
    }
    SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_NONE);
  }
  auto draw = [&] {
    int r = 0;
    if (impl == "ours") {
      r = ConvertPixelRect(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch, &src.format,
                           nullptr, 0, nullptr, 0, 0, &rect, 0, row.keyToAlpha, 0xFF00FF, 0, 0, 0, 0, 0);
    } else if (impl == "rule") {
      r = ConvertPixelRectGeneral(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(), src.pitch,
                                  &src.format, nullptr, 0, nullptr, 0, 0, &rect, 0, row.keyToAlpha, 0xFF00FF, 0, 0,
                                  0, 0);
    } else if (impl == "memcpy") {
      std::memcpy(dest.bytes.data(), src.bytes.data(), dest.bytes.size());
    } else if (impl == "pixman") {
      pixman_image_composite32(PIXMAN_OP_SRC, pixSrc, nullptr, pixDest, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    } else {
      r = SDL_BlitSurface(sdlSrc, nullptr, sdlDest, nullptr);
    }
    benchmark::DoNotOptimize(r);
  };
  benchtable::ProveFrame(dest.View(), draw);
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  if (pixSrc) pixman_image_unref(pixSrc);
  if (pixDest) pixman_image_unref(pixDest);
  if (sdlSrc) SDL_FreeSurface(sdlSrc);
  if (sdlDest) SDL_FreeSurface(sdlDest);
  benchtable::SetPixels(state, int64_t{kWidth} * kHeight);
}

const ColorFormat kRgb565 = Format(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat kRgb24 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kXrgb32 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kArgb32 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
// The 16-bit memory image with alpha: RGB565 in bits 0-15, alpha in 16-23.
const ColorFormat kRgb565A8 = Format(32, 0xF800, 0x7E0, 0x1F, 0xFF0000);
const ColorFormat kPal8 = [] {
  ColorFormat f{};
  SetColorFormatPal8(&f);
  return f;
}();

void RegisterAll() {
  using benchtable::Register;
  auto row = [](ConvertRow r) {
    return [r](benchmark::State& s, const std::string& impl) { Run(s, impl, r); };
  };
  const std::vector<std::string> all = {"ours", "rule", "pixman", "sdl2"};
  const pixman_format_code_t none = static_cast<pixman_format_code_t>(0);
  Register("XRGB8888 to XRGB8888", {"ours", "memcpy", "pixman", "sdl2"},
           row({kXrgb32, kXrgb32, 0, PIXMAN_x8r8g8b8, PIXMAN_x8r8g8b8, SDL_PIXELFORMAT_XRGB8888,
                SDL_PIXELFORMAT_XRGB8888}));
  Register("XRGB8888 to RGB565", all,
           row({kXrgb32, kRgb565, 0, PIXMAN_x8r8g8b8, PIXMAN_r5g6b5, SDL_PIXELFORMAT_XRGB8888,
                SDL_PIXELFORMAT_RGB565}));
  Register("ARGB8888 to RGB565", all,
           row({kArgb32, kRgb565, 0, PIXMAN_a8r8g8b8, PIXMAN_r5g6b5, SDL_PIXELFORMAT_ARGB8888,
                SDL_PIXELFORMAT_RGB565}));
  Register("RGB565 to XRGB8888", all,
           row({kRgb565, kXrgb32, 0, PIXMAN_r5g6b5, PIXMAN_x8r8g8b8, SDL_PIXELFORMAT_RGB565,
                SDL_PIXELFORMAT_XRGB8888}));
  // With a colour key the peers have no such conversion: their nearest is
  // the plain one into the format with alpha.
  Register("RGB565 to ARGB8888, key to alpha", all,
           row({kRgb565, kArgb32, 1, PIXMAN_r5g6b5, PIXMAN_a8r8g8b8, SDL_PIXELFORMAT_RGB565,
                SDL_PIXELFORMAT_ARGB8888}));
  // A copy that sets byte 3 on every pixel but the key's: memcpy for scale.
  Register("XRGB8888 to ARGB8888, key to alpha", {"ours", "rule", "memcpy", "pixman", "sdl2"},
           row({kXrgb32, kArgb32, 1, PIXMAN_x8r8g8b8, PIXMAN_a8r8g8b8, SDL_PIXELFORMAT_XRGB8888,
                SDL_PIXELFORMAT_ARGB8888}));
  Register("ARGB8888 to 565 + A8", {"ours", "rule"}, row({kArgb32, kRgb565A8, 0, none, none, 0, 0}));
  Register("XRGB8888 to 565 + A8, key to alpha", {"ours", "rule"}, row({kXrgb32, kRgb565A8, 1, none, none, 0, 0}));
  Register("RGB888 to XRGB8888", all,
           row({kRgb24, kXrgb32, 0, PIXMAN_r8g8b8, PIXMAN_x8r8g8b8, SDL_PIXELFORMAT_BGR24,
                SDL_PIXELFORMAT_XRGB8888}));
  Register("8-bit palette to RGB565", {"ours", "rule", "sdl2"},
           row({kPal8, kRgb565, 0, none, none, SDL_PIXELFORMAT_INDEX8, SDL_PIXELFORMAT_RGB565}));
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return benchtable::RunAndPrint(argc, argv, {"pixman", "sdl2"}, {"memcpy", "rule"});
}
