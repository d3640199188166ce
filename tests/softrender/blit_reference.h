// Test fixtures of the blit and shape tests: memory images over vectors,
// random contents, and a plain per-pixel reference of the blits and of
// flat-colour fills written from the blend formulas, one channel at a time,
// without the whole-word tricks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/graphics/blend_tables.h"
#include "library/graphics/color_format.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"

namespace blitref {

// A memory image whose records and storage live in the object. pad: bytes
// after each row (odd values misalign the rows).
class TestImage {
 public:
  TestImage(int32_t width, int32_t height, int32_t depthKind, bool paletted = false, bool alpha = false,
            int32_t pad = 0) {
    bytes_ = MemImgBytesPerPixel(depthKind, paletted ? 1 : 0, alpha ? 1 : 0);
    format_.bytesPerPixel = static_cast<uint16_t>(bytes_);
    buffer_.refCount = 1;
    buffer_.width = width;
    buffer_.height = height;
    buffer_.pitch = width * bytes_ + pad;
    buffer_.pitchShift = -1;
    buffer_.format = &format_;
    buffer_.depthKind = depthKind;
    buffer_.paletted = paletted ? 1 : 0;
    buffer_.alpha = alpha ? 1 : 0;
    storage_.assign(static_cast<size_t>(buffer_.pitch) * height + 1, 0);
    buffer_.pixels = storage_.data();
    if (paletted) {
      palette_.assign(2048, 0);
      buffer_.palette = palette_.data();
      buffer_.workingPalette = palette_.data() + 1024;
      buffer_.paletteCount = 256;
    }
    view_.magic = MemImgMagic;
    view_.width = width;
    view_.height = height;
    view_.pixels = storage_.data();
    view_.buffer = &buffer_;
  }
  TestImage(const TestImage&) = delete;
  TestImage& operator=(const TestImage&) = delete;

  MEMIMG* img() { return &view_; }
  const MEMIMG* img() const { return &view_; }
  MemImgBuffer& buffer() { return buffer_; }
  const MemImgBuffer& buffer() const { return buffer_; }
  int32_t width() const { return view_.width; }
  int32_t height() const { return view_.height; }
  int32_t bytes() const { return bytes_; }
  uint8_t* at(int32_t x, int32_t y) { return storage_.data() + y * buffer_.pitch + x * bytes_; }
  const uint8_t* at(int32_t x, int32_t y) const { return storage_.data() + y * buffer_.pitch + x * bytes_; }

  uint32_t Get(int32_t x, int32_t y) const {
    uint32_t v = 0;
    std::memcpy(&v, at(x, y), static_cast<size_t>(bytes_));
    return v;
  }
  void Set(int32_t x, int32_t y, uint32_t v) { std::memcpy(at(x, y), &v, static_cast<size_t>(bytes_)); }
  uint32_t Palette(uint32_t i) const {
    uint32_t v = 0;
    const size_t entry = buffer_.depthKind == MemImgDepth16 ? 2 : 4;
    std::memcpy(&v, palette_.data() + i * entry, entry);
    return v;
  }
  void SetPalette(uint32_t i, uint32_t v) {
    const size_t entry = buffer_.depthKind == MemImgDepth16 ? 2 : 4;
    std::memcpy(palette_.data() + i * entry, &v, entry);
  }
  // Copies every pixel (not the padding) of another image of the same shape.
  void CopyPixelsFrom(const TestImage& other) {
    for (int32_t y = 0; y < height(); ++y)
      std::memcpy(at(0, y), other.at(0, y), static_cast<size_t>(width() * bytes_));
  }
  bool SamePixels(const TestImage& other, std::string* where = nullptr) const {
    for (int32_t y = 0; y < height(); ++y)
      for (int32_t x = 0; x < width(); ++x)
        if (Get(x, y) != other.Get(x, y)) {
          if (where != nullptr) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%d, %d): got 0x%08X, expected 0x%08X", x, y, Get(x, y),
                          other.Get(x, y));
            *where = text;
          }
          return false;
        }
    return true;
  }

 private:
  ColorFormat format_{};
  MemImgBuffer buffer_{};
  MEMIMG view_{};
  int32_t bytes_ = 0;
  std::vector<uint8_t> storage_;
  std::vector<uint8_t> palette_;
};

// The draw state a case runs under.
struct DrawCase {
  int32_t mode = 0;
  int32_t param = 0;
  uint8_t bright[3] = {255, 255, 255};  // blue, green, red
  PixelRect clip = {0, 0, 0, 0};

  DrawCase() = default;
  // b: the brightness (blue, green, red), null for white.
  DrawCase(int32_t m, int32_t p, const PixelRect& area, const uint8_t* b = nullptr)
      : mode(m), param(p), clip(area) {
    if (b != nullptr) std::copy(b, b + 3, bright);
  }

  void Apply() const {
    DrawBlendMode = mode;
    DrawBlendParam = param;
    DrawBright = {bright[0], bright[1], bright[2]};
    DrawClipRect = clip;
  }
  bool White() const { return bright[0] == 255 && bright[1] == 255 && bright[2] == 255; }
};

// ---- Random contents ----

// Fills a source with values that hit the interesting cases often: the
// transparent colour, the transparent colour with another byte 3 (or high
// half), alpha 0 and 255, palette indices up to count - 1.
inline void FillSource(TestImage& img, std::mt19937& rng, uint32_t transColor, int32_t paletteCount = 256) {
  MemImgBuffer& b = img.buffer();
  b.transColor = transColor;
  std::uniform_int_distribution<uint32_t> word;
  for (int32_t y = 0; y < img.height(); ++y)
    for (int32_t x = 0; x < img.width(); ++x) {
      uint32_t r = word(rng);
      uint32_t pick = word(rng) % 8;
      uint32_t v;
      if (b.paletted) {
        v = pick < 2 ? (transColor & 0xFF) : r % static_cast<uint32_t>(paletteCount);
      } else if (b.depthKind == MemImgDepth32) {
        v = pick < 2 ? transColor : pick == 2 ? (transColor ^ 0x01000000u) : r;
        if (b.alpha) {
          uint32_t a = word(rng) % 4;
          if (a == 0) v &= 0x00FFFFFF;
          if (a == 1) v |= 0xFF000000;
        }
      } else if (b.alpha) {
        v = (pick < 2 ? transColor & 0xFFFF : r & 0xFFFF) | (r & 0xFF000000);
        uint32_t a = word(rng) % 4;
        v |= (a == 0 ? 0 : a == 1 ? 255 : (r >> 16) & 0xFF) << 16;
      } else {
        v = pick < 3 ? transColor & 0xFFFF : r & 0xFFFF;
      }
      img.Set(x, y, v);
    }
  if (b.paletted) {
    b.paletteCount = paletteCount;
    for (uint32_t i = 0; i < 256; ++i) img.SetPalette(i, word(rng));
  }
}

inline void FillRandom(TestImage& img, std::mt19937& rng) {
  std::uniform_int_distribution<uint32_t> word;
  for (int32_t y = 0; y < img.height(); ++y)
    for (int32_t x = 0; x < img.width(); ++x) img.Set(x, y, word(rng));
}

// ---- Channel formulas ----

inline int64_t Mix(int64_t x, int64_t d, int64_t w, int factors) {
  const int k = 8 * factors;
  return (d * (int64_t{1} << k) + (x - d) * w) >> k;
}
inline int64_t Part(int64_t x, int64_t w, int factors) { return (x * w) >> (8 * factors); }
inline int64_t Scale(int64_t v, int64_t p) { return v * p / 255; }
inline int64_t DiffMix(int64_t x, int64_t d, int64_t p) { return d + ((x - d) * p) / 255; }
inline int64_t Six(int64_t x, int64_t d, int64_t p) {
  const int64_t a = p / 4;
  return (x * a + d * (63 - a)) / 63;
}

// Guard-bit add of 32-bit pixels, per channel: blue saturates, green and red
// add their upper seven bits, their lowest bit the carry of the channel
// below (and in form A the lowest bits of the operands); byte 3 red's carry.
inline uint32_t Add32(uint32_t d, uint32_t t, bool formA) {
  auto ch = [](uint32_t v, int i) { return (v >> (8 * i)) & 0xFF; };
  uint32_t blue = std::min<uint32_t>(ch(d, 0) + ch(t, 0), 255);
  bool carry = ch(d, 0) + ch(t, 0) >= 256;
  uint32_t out = blue;
  for (int i = 1; i <= 2; ++i) {
    uint32_t half = (ch(d, i) >> 1) + (ch(t, i) >> 1);
    uint32_t low = carry || (formA && ((ch(d, i) | ch(t, i)) & 1));
    uint32_t v = half >= 128 ? 255 : (half << 1) | low;
    carry = half >= 128;
    out |= v << (8 * i);
  }
  return out | (carry ? 0x01000000u : 0);
}

inline uint32_t Sub32(uint32_t d, uint32_t t) {
  auto ch = [](uint32_t v, int i) { return static_cast<int32_t>((v >> (8 * i)) & 0xFF); };
  int32_t blue = ch(d, 0) - ch(t, 0);
  bool borrow = blue < 0;
  uint32_t out = static_cast<uint32_t>(blue < 0 ? 0 : blue);
  for (int i = 1; i <= 2; ++i) {
    int32_t g = (ch(d, i) | 1) - (ch(t, i) & 0xFE) - (borrow ? 1 : 0);
    borrow = g < 0;
    out |= static_cast<uint32_t>(g < 0 ? 0 : g) << (8 * i);
  }
  return out;
}

inline uint32_t R5(uint32_t c) { return (c >> 11) & 31; }
inline uint32_t G6(uint32_t c) { return (c >> 5) & 63; }
inline uint32_t B5(uint32_t c) { return c & 31; }
inline uint32_t Pack(uint32_t r, uint32_t g, uint32_t b) { return r << 11 | g << 5 | b; }

// Guard-bit add of one RGB565 pixel. rightOfPair: the right pixel of the
// two-pixel add, whose blue adds its upper four bits and takes the left
// pixel's red carry (carryIn) as its lowest bit. carryOut: red's carry.
inline uint32_t Add16(uint32_t d, uint32_t t, bool formA, bool rightOfPair = false, bool carryIn = false,
                      bool* carryOut = nullptr) {
  uint32_t blue;
  bool blueCarry;
  if (rightOfPair) {
    uint32_t half = (B5(d) >> 1) + (B5(t) >> 1);
    blueCarry = half >= 16;
    blue = blueCarry ? 31 : (half << 1) | (carryIn ? 1 : 0);
  } else {
    blueCarry = B5(d) + B5(t) >= 32;
    blue = std::min<uint32_t>(B5(d) + B5(t), 31);
  }
  uint32_t gh = (G6(d) >> 1) + (G6(t) >> 1);
  uint32_t green = (gh >= 32 ? 62 : gh << 1) | (blueCarry || (formA && ((G6(d) | G6(t)) & 1)) ? 1 : 0);
  uint32_t rh = (R5(d) >> 1) + (R5(t) >> 1);
  uint32_t red = rh >= 16 ? 31 : (rh << 1) | (gh >= 32 || (formA && ((R5(d) | R5(t)) & 1)) ? 1 : 0);
  if (carryOut != nullptr) *carryOut = rh >= 16;
  return Pack(red, green, blue);
}

// Guard-bit subtract of one RGB565 pixel; rightOfPair as for Add16, with
// redIn: whether the left pixel's red difference was not negative.
inline uint32_t Sub16(uint32_t d, uint32_t t, bool rightOfPair = false, bool redIn = false,
                      bool* redOut = nullptr) {
  int32_t blue;
  if (rightOfPair) {
    int32_t half = static_cast<int32_t>(B5(d) >> 1) - static_cast<int32_t>(B5(t) >> 1);
    blue = half < 0 ? 0 : 2 * half + (redIn ? 1 : 0);
  } else {
    blue = std::max<int32_t>(static_cast<int32_t>(B5(d)) - static_cast<int32_t>(B5(t)), 0);
  }
  int32_t gh = static_cast<int32_t>(G6(d) >> 1) - static_cast<int32_t>(G6(t) >> 1);
  uint32_t green = gh < 0 ? 0 : static_cast<uint32_t>(2 * gh);
  int32_t rh = static_cast<int32_t>(R5(d) >> 1) - static_cast<int32_t>(R5(t) >> 1);
  uint32_t red = rh < 0 ? 0 : static_cast<uint32_t>(2 * rh + (gh >= 0 ? 1 : 0));
  if (redOut != nullptr) *redOut = rh >= 0;
  return Pack(red, green, static_cast<uint32_t>(blue));
}

// ---- The blend of one pixel ----

enum class Kind { Plain, Alpha, Palette };

struct PixelCase {
  int32_t mode;  // after mode 1 at 255 became mode 0
  int32_t p;
  bool white, masked, trans, stretched;
  Kind kind;
  const uint8_t* bright;  // blue, green, red
};

struct Outcome {
  bool skip;
  uint32_t value;
};

// 32-bit: S the source pixel (palette entry), D the destination, m the mask weight.
inline Outcome Blend32(const PixelCase& k, uint32_t S, uint32_t D, uint32_t m) {
  const bool alphaSrc = k.kind == Kind::Alpha;
  const uint32_t a = S >> 24;
  const bool plainWhite = !k.masked && k.white && !alphaSrc;
  if (alphaSrc && k.trans && a == 0 && (k.stretched || k.mode <= 3)) return {true, 0};
  // Mode 0 of an alpha source, white, no mask, trans off: the source whole.
  if (!k.stretched && k.mode == 0 && !k.masked && k.white && alphaSrc && !k.trans) return {false, S};
  const bool withA = alphaSrc && !(k.trans && a == 255);
  if (k.mode == 0 && !k.masked && !withA && k.white) return {false, S};
  if (k.mode == 1 && k.p == 128 && plainWhite && !k.stretched)
    return {false, ((S >> 1) & 0x7F7F7F) + ((D >> 1) & 0x7F7F7F)};
  if (k.mode == 2 && k.p == 255 && plainWhite && !k.stretched) return {false, Add32(D, S & 0xFFFFFF, false)};

  const int factors = (k.masked ? 1 : 0) + (withA ? 1 : 0);
  const int64_t w = (k.masked ? m : 1) * (withA ? a : 1);
  uint32_t out = D & 0xFF000000u, t = 0;
  for (int i = 0; i < 3; ++i) {
    const int64_t s = (S >> (8 * i)) & 0xFF, d = (D >> (8 * i)) & 0xFF, b = k.bright[i];
    const int64_t inv = k.mode == 10 ? 255 - s : s;
    const int64_t x = k.white ? inv : Scale(inv, b);
    int64_t v = 0;
    switch (k.mode) {
      case 0:
        v = factors == 0 ? x : Mix(x, d, w, factors);
        break;
      case 1:
      case 10:
        v = Mix(x, d, w * k.p, factors + 1);
        break;
      case 11:
        v = Mix(x * d / 256, d, w * k.p, factors + 1);
        break;
      case 4:
        v = (d * x * w) >> (8 * (factors + 1));
        break;
      default:
        t |= static_cast<uint32_t>(factors == 0 ? Scale(x, k.p) : Part(x, w * k.p, factors + 1)) << (8 * i);
    }
    out |= static_cast<uint32_t>(v) << (8 * i);
  }
  if (k.mode == 2) return {false, Add32(D, t, true)};
  if (k.mode == 3) return {false, Sub32(D, t)};
  return {false, out};
}

// 16-bit: S the RGB565 colour, a its alpha (alpha sources), D the destination.
inline Outcome Blend16(const PixelCase& k, uint32_t S, uint32_t a, uint32_t D, uint32_t m) {
  const bool alphaSrc = k.kind == Kind::Alpha;
  const bool plainWhite = !k.masked && k.white && !alphaSrc;
  const bool skipsZero = k.stretched || k.mode <= 3 || k.mode == 10;
  if (alphaSrc && k.trans && a == 0 && skipsZero) return {true, 0};
  if (!k.stretched && k.mode == 0 && !k.masked && k.white && alphaSrc && !k.trans) return {false, S};
  const bool withA = alphaSrc && !(k.trans && a == 255);
  if (k.mode == 0 && !k.masked && !withA && k.white) return {false, S};
  if (!k.stretched && plainWhite && k.mode == 1 && k.p == 128)
    return {false,
            Pack((R5(S) >> 1) + (R5(D) >> 1), (G6(S) >> 1) + (G6(D) >> 1), (B5(S) >> 1) + (B5(D) >> 1))};
  if (!k.stretched && plainWhite && k.mode == 1)
    return {false, Pack(Six(R5(S), R5(D), k.p), Six(G6(S), G6(D), k.p), Six(B5(S), B5(D), k.p))};
  if (!k.stretched && plainWhite && k.p == 255 && k.mode == 2) return {false, Add16(D, S, false)};
  if (!k.stretched && plainWhite && k.p == 255 && k.mode == 3) return {false, Sub16(D, S)};

  const int factors = (k.masked ? 1 : 0) + (withA ? 1 : 0);
  const int64_t w = (k.masked ? m : 1) * (withA ? a : 1);
  uint32_t field[3], tfield[3];
  const uint32_t sf[3] = {B5(S), G6(S), R5(S)}, df[3] = {B5(D), G6(D), R5(D)};
  for (int i = 0; i < 3; ++i) {
    const int bits = i == 1 ? 6 : 5;
    const int64_t max = (1 << bits) - 1, s = sf[i], d = df[i], b = k.bright[i];
    const int64_t inv = k.mode == 10 ? max - s : s;
    const int64_t x = k.white ? inv : Scale(inv, b);
    int64_t v = d, t = 0;
    switch (k.mode) {
      case 0:
        v = factors == 0 ? x : Mix(x, d, w, factors);
        break;
      case 1:
      case 10:
      case 11: {
        const int64_t y = k.mode == 11 ? (x * d) >> bits : x;
        if (!k.masked && !withA)
          v = DiffMix(y, d, k.p);
        else if (k.mode == 11 && !k.masked && withA && k.white && bits == 6)
          v = (d * (1 << 21) + ((s * d) / 2 - 32 * d) * a * k.p) >> 21;
        else
          v = Mix(y, d, w * k.p, factors + 1);
        break;
      }
      case 4:
        v = (d * x * w) >> (bits + 8 * factors);
        break;
      default:
        if (k.masked)
          t = Scale(Part(x, w, factors), k.p);
        else if (withA)
          t = Scale(k.white ? Part(s, a, 1) : Scale(Part(s, a, 1), b), k.p);
        else
          t = Scale(x, k.p);
    }
    field[i] = static_cast<uint32_t>(v);
    tfield[i] = static_cast<uint32_t>(t);
  }
  const uint32_t T = Pack(tfield[2], tfield[1], tfield[0]);
  if (k.mode == 2) return {false, Add16(D, T, true)};
  if (k.mode == 3) return {false, Sub16(D, T)};
  return {false, Pack(field[2], field[1], field[0])};
}

// ---- Whole draws ----

struct SourcePixel {
  uint32_t colour;  // 32-bit pixel, RGB565 colour, or palette entry
  uint32_t alpha;
  uint32_t index;  // palette index
  uint32_t raw;    // the pixel as stored (direct sources)
};

inline SourcePixel ReadSource(const TestImage& src, int32_t x, int32_t y) {
  const MemImgBuffer& b = src.buffer();
  SourcePixel p{};
  p.raw = src.Get(x, y);
  if (b.paletted) {
    p.index = p.raw;
    p.colour = p.index < static_cast<uint32_t>(b.paletteCount) ? src.Palette(p.index) : 0;
  } else if (b.depthKind == MemImgDepth32) {
    p.colour = p.raw;
    p.alpha = p.raw >> 24;
  } else {
    p.colour = p.raw & 0xFFFF;
    p.alpha = (p.raw >> 16) & 0xFF;
  }
  return p;
}

inline Kind KindOf(const TestImage& src) {
  return src.buffer().paletted ? Kind::Palette : src.buffer().alpha ? Kind::Alpha : Kind::Plain;
}

// The effective mode, or -1 when the draw state draws nothing.
inline int32_t EffectiveMode(const DrawCase& dc, bool paletted) {
  if (dc.mode < 0 || dc.mode > 11 || (dc.mode >= 5 && dc.mode <= 9)) return -1;
  if (dc.mode == 1 && dc.param == 0) return -1;
  if (dc.mode == 1 && dc.param == 255) return 0;
  if (dc.mode == 2 && dc.param == 0) return -1;
  if (dc.mode == 3 && dc.param == 0 && !paletted) return -1;
  return dc.mode;
}

// Whether the transparent test of this unscaled variant compares only the low
// bits of the key (16 bits of a direct 16-bit pixel, 8 of a palette index).
inline bool KeyLowBits(const PixelCase& k, bool depth32) {
  const bool plainWhite = !k.masked && k.white && k.kind != Kind::Alpha;
  if (!plainWhite) return false;
  if (k.stretched) return !depth32 && k.kind == Kind::Plain && k.mode == 0;
  if (depth32 && k.kind == Kind::Plain) return false;
  if (k.mode == 0 || (k.mode == 1 && (!depth32 || k.p == 128))) return true;
  return (k.mode == 2 || k.mode == 3) && k.p == 255;
}

inline bool Transparent(const PixelCase& k, const SourcePixel& sp, uint32_t key, bool depth32) {
  if (!k.trans || k.kind == Kind::Alpha) return false;
  const bool low = KeyLowBits(k, depth32);
  if (k.kind == Kind::Palette) return low ? sp.index == (key & 0xFF) : sp.index == key;
  if (depth32) return sp.raw == key;
  return low ? sp.raw == (key & 0xFFFF) : sp.raw == key;
}

// Draws one destination pixel from a source pixel.
inline void DrawPixel(const PixelCase& k, TestImage& dst, int32_t dx, int32_t dy, const SourcePixel& sp,
                      uint32_t key, uint32_t maskByte) {
  const bool depth32 = dst.buffer().depthKind == MemImgDepth32;
  if (Transparent(k, sp, key, depth32)) return;
  const uint32_t m = k.masked ? MaskRampTable[maskByte] : 0;
  const Outcome o = depth32 ? Blend32(k, sp.colour, dst.Get(dx, dy), m)
                            : Blend16(k, sp.colour, sp.alpha, dst.Get(dx, dy), m);
  if (!o.skip) dst.Set(dx, dy, o.value);
}

// The unscaled blit. The two-pixel add and subtract of 16-bit images walk
// each row in pairs from its first pixel.
inline void ReferenceBlit(TestImage& dst, const TestImage& src, int32_t x, int32_t y, int32_t trans,
                          const TestImage* mask, const DrawCase& dc) {
  const MemImgBuffer& sb = src.buffer();
  const MemImgBuffer& db = dst.buffer();
  if (sb.depthKind != db.depthKind || db.paletted || db.alpha) return;
  if (mask != nullptr && (mask->width() < src.width() || mask->height() < src.height())) return;
  const int32_t mode = EffectiveMode(dc, sb.paletted == 1);
  if (mode < 0) return;
  const bool depth32 = db.depthKind == MemImgDepth32;
  PixelCase k{mode, dc.param, dc.White(), mask != nullptr, trans != 0, false, KindOf(src), dc.bright};
  const int32_t left = std::max(x, dc.clip.left), right = std::min(x + src.width(), dc.clip.right);
  const int32_t top = std::max(y, dc.clip.top), bottom = std::min(y + src.height(), dc.clip.bottom);
  const bool pairs = !depth32 && (mode == 2 || mode == 3) && dc.param == 255 && !k.masked && k.white &&
                     k.kind != Kind::Alpha;
  for (int32_t dy = top; dy < bottom; ++dy) {
    for (int32_t dx = left; dx < right; ++dx) {
      const int32_t sx = dx - x, sy = dy - y;
      const SourcePixel sp = ReadSource(src, sx, sy);
      const uint32_t mb = mask != nullptr ? mask->Get(sx, sy) : 0;
      const bool inPair = pairs && dx + 1 < right && (dx - left) % 2 == 0;
      if (!inPair) {
        DrawPixel(k, dst, dx, dy, sp, sb.transColor, mb);
        continue;
      }
      const SourcePixel right1 = ReadSource(src, sx + 1, sy);
      const bool tl = Transparent(k, sp, sb.transColor, false);
      const bool tr = Transparent(k, right1, sb.transColor, false);
      if (!tl && !tr) {
        const uint32_t dl = dst.Get(dx, dy), dr = dst.Get(dx + 1, dy);
        bool carry;
        if (mode == 2) {
          dst.Set(dx, dy, Add16(dl, sp.colour, false, false, false, &carry));
          dst.Set(dx + 1, dy, Add16(dr, right1.colour, false, true, carry));
        } else {
          dst.Set(dx, dy, Sub16(dl, sp.colour, false, false, &carry));
          dst.Set(dx + 1, dy, Sub16(dr, right1.colour, true, carry));
        }
      } else {
        DrawPixel(k, dst, dx, dy, sp, sb.transColor, mb);
        DrawPixel(k, dst, dx + 1, dy, right1, sb.transColor, mask != nullptr ? mask->Get(sx + 1, sy) : 0);
      }
      ++dx;
    }
  }
}

// The source columns (or rows) of a stretched draw along one axis: for each
// destination pixel from the clipped start, the source index counted from
// the start edge. size: the ordered rectangle's extent; clipped: pixels cut
// at the start; count: pixels drawn; source: the source's extent.
inline std::vector<int32_t> StretchSteps(int64_t size, int32_t source, int32_t clipped, int32_t count,
                                         bool zeroStop) {
  const uint32_t step = static_cast<uint32_t>((size << 16) / source);
  std::vector<int32_t> out;
  if (!zeroStop) {
    // Destination pixel u (from the unclipped edge) shows source floor(u * 65536 / step).
    for (int32_t u = clipped; u < clipped + count; ++u)
      out.push_back(static_cast<int32_t>((static_cast<int64_t>(u) << 16) / step));
    return out;
  }
  // The zero-stop rule: the accumulator starts at step minus the remainder
  // of the clipped offset, drops by 65536 per pixel, and the source moves on
  // while it is below 0.
  const int64_t offset = static_cast<int64_t>(clipped) << 16;
  int64_t acc = step - offset % step;
  int32_t index = static_cast<int32_t>(offset / step);
  for (int32_t k = 0; k < count; ++k) {
    out.push_back(index);
    acc -= 65536;
    if (acc <= 0) {
      do {
        ++index;
        acc += step;
      } while (acc < 0);
    }
  }
  return out;
}

// The stretched blit of rect = {x1, y1, x2, y2}.
inline void ReferenceStretch(TestImage& dst, const TestImage& src, const int32_t* rect, int32_t trans,
                             const TestImage* mask, const DrawCase& dc) {
  const MemImgBuffer& sb = src.buffer();
  const MemImgBuffer& db = dst.buffer();
  const bool mirrorX = rect[0] > rect[2], mirrorY = rect[1] > rect[3];
  const int64_t left = std::min(rect[0], rect[2]), right = std::max(rect[0], rect[2]);
  const int64_t top = std::min(rect[1], rect[3]), bottom = std::max(rect[1], rect[3]);
  const int64_t w = right - left, h = bottom - top;
  if (w == 0 || h == 0) return;
  if (sb.depthKind != db.depthKind || db.paletted || db.alpha) return;
  if (w == src.width() && h == src.height() && !mirrorX && !mirrorY) {
    ReferenceBlit(dst, src, static_cast<int32_t>(left), static_cast<int32_t>(top), trans, mask, dc);
    return;
  }
  if (w >= 32768 || h >= 32768 || src.width() < 1 || src.height() < 1 || src.width() >= 65536 ||
      src.height() >= 65536)
    return;
  if (mask != nullptr && (mask->width() < src.width() || mask->height() < src.height())) return;
  const int32_t mode = EffectiveMode(dc, sb.paletted == 1);
  if (mode < 0) return;
  PixelCase k{mode, dc.param, dc.White(), mask != nullptr, trans != 0, true, KindOf(src), dc.bright};
  const int64_t cl = std::max<int64_t>(left, dc.clip.left), cr = std::min<int64_t>(right, dc.clip.right);
  const int64_t ct = std::max<int64_t>(top, dc.clip.top), cb = std::min<int64_t>(bottom, dc.clip.bottom);
  if (cl >= cr || ct >= cb) return;
  const bool zeroStop =
      !k.masked && k.white && k.kind != Kind::Alpha && (mode == 0 || (mode == 3 && dc.param == 255));
  const std::vector<int32_t> cols =
      StretchSteps(w, src.width(), static_cast<int32_t>(cl - left), static_cast<int32_t>(cr - cl), zeroStop);
  const std::vector<int32_t> rows =
      StretchSteps(h, src.height(), static_cast<int32_t>(ct - top), static_cast<int32_t>(cb - ct), zeroStop);
  for (size_t j = 0; j < rows.size(); ++j)
    for (size_t i = 0; i < cols.size(); ++i) {
      const int32_t sx = mirrorX ? src.width() - 1 - cols[i] : cols[i];
      const int32_t sy = mirrorY ? src.height() - 1 - rows[j] : rows[j];
      DrawPixel(k, dst, static_cast<int32_t>(cl + i), static_cast<int32_t>(ct + j), ReadSource(src, sx, sy),
                sb.transColor, mask != nullptr ? mask->Get(sx, sy) : 0);
    }
}

// ---- Flat colours (boxes, lines, circles, ellipses) ----

// The flat colour's brightness: (c * b) >> 8 on each channel in its own
// width, byte 3 kept; nothing when white.
inline uint32_t FlatBright(uint32_t c, const DrawCase& dc, bool depth32) {
  if (dc.White()) return depth32 ? c : c & 0xFFFF;
  if (depth32) {
    uint32_t out = c & 0xFF000000u;
    for (int i = 0; i < 3; ++i) out |= ((((c >> (8 * i)) & 0xFF) * dc.bright[i]) >> 8) << (8 * i);
    return out;
  }
  return Pack((R5(c) * dc.bright[2]) >> 8, (G6(c) * dc.bright[1]) >> 8, (B5(c) * dc.bright[0]) >> 8);
}

// One destination pixel under a brightened flat colour c; mode as
// EffectiveMode gives it. The rules as they stand, without the shortcuts
// that only the unscaled blit takes.
inline uint32_t FlatPixel(int32_t mode, int32_t p, uint32_t c, uint32_t D, bool depth32) {
  static const uint8_t white[3] = {255, 255, 255};
  const PixelCase k{mode, p, true, false, false, true, Kind::Plain, white};
  return depth32 ? Blend32(k, c, D, 0).value : Blend16(k, c, 0, D, 0).value;
}

// The filled box; rect null for the whole image.
inline void ReferenceFillBox(TestImage& dst, const int32_t* rect, uint32_t colour, const DrawCase& dc) {
  const MemImgBuffer& b = dst.buffer();
  if (b.paletted || b.alpha) return;
  const int32_t mode = EffectiveMode(dc, false);
  if (mode < 0) return;
  const bool depth32 = b.depthKind == MemImgDepth32;
  const uint32_t c = FlatBright(colour, dc, depth32);
  const int32_t whole[4] = {0, 0, dst.width(), dst.height()};
  const int32_t* r = rect != nullptr ? rect : whole;
  const int32_t left = std::max(std::min(r[0], r[2]), dc.clip.left);
  const int32_t right = std::min(std::max(r[0], r[2]), dc.clip.right);
  const int32_t top = std::max(std::min(r[1], r[3]), dc.clip.top);
  const int32_t bottom = std::min(std::max(r[1], r[3]), dc.clip.bottom);
  for (int32_t y = top; y < bottom; ++y)
    for (int32_t x = left; x < right; ++x) dst.Set(x, y, FlatPixel(mode, dc.param, c, dst.Get(x, y), depth32));
}

// ---- Textured draws (triangles, quadrilaterals, rotated blits) ----

// Source pixel (sx, sy) drawn onto destination pixel (dx, dy) by a textured
// draw; mode as EffectiveMode gives it. The rules without the unscaled
// blit's shortcuts; the transparent index or colour compared whole; under
// trans, alpha 0 skips the pixel in modes 0 to 3 (and 10 on 16-bit images)
// and weighs it by 0 in the others; the mask byte is the texel's own.
inline void DrawTexel(const DrawCase& dc, int32_t mode, TestImage& dst, int32_t dx, int32_t dy,
                      const TestImage& src, int32_t sx, int32_t sy, bool trans, const TestImage* mask) {
  const MemImgBuffer& sb = src.buffer();
  const bool depth32 = sb.depthKind == MemImgDepth32;
  const Kind kind = KindOf(src);
  const SourcePixel sp = ReadSource(src, sx, sy);
  if (trans && kind == Kind::Palette && sp.index == sb.transColor) return;
  if (trans && kind == Kind::Plain && sp.raw == sb.transColor) return;
  PixelCase k{mode, dc.param, dc.White(), mask != nullptr, trans, true, kind, dc.bright};
  if (kind == Kind::Alpha && trans && sp.alpha == 0) {
    if (mode <= 3 || (!depth32 && mode == 10)) return;
    k.trans = false;
  }
  const uint32_t m = mask != nullptr ? MaskRampTable[mask->Get(sx, sy)] : 0;
  const Outcome o = depth32 ? Blend32(k, sp.colour, dst.Get(dx, dy), m)
                            : Blend16(k, sp.colour, sp.alpha, dst.Get(dx, dy), m);
  if (!o.skip) dst.Set(dx, dy, o.value);
}

}  // namespace blitref
