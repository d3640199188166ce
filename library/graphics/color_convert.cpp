#include "library/graphics/color_convert.h"

#include <cstring>

#include "library/graphics/color_convert_simd.h"
#include "library/graphics/pixel_bytes.h"

namespace {

// Thresholds of the ordered 4x4 dither, in sixteenths of a destination unit.
constexpr uint8_t kOrderedThresholds[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// A palette entry read as the 32-bit value the format's masks describe.
uint32_t PaletteValue(const ColorFormat& f, uint8_t index) {
  const uint8_t* e = f.palette[index];
  return static_cast<uint32_t>(e[0]) | static_cast<uint32_t>(e[1]) << 8 | static_cast<uint32_t>(e[2]) << 16;
}

uint32_t ReadFormatPixel(const ColorFormat& f, const uint8_t* p) {
  return f.bytesPerPixel == 1 ? PaletteValue(f, *p) : ReadPixelBytes(p, f.bytesPerPixel);
}

uint64_t LowBits(int32_t n) { return n >= 64 ? ~0ull : (1ull << n) - 1u; }

// A channel value of width s brought to width d: narrowing drops low bits,
// widening stretches so that full scale stays full scale.
uint32_t ChangeWidth(uint32_t c, int32_t s, int32_t d) {
  if (s == d) return c;
  if (s > d) return c >> (s - d);
  if (s == 0) return 0;
  uint64_t wide = static_cast<uint64_t>(c) << (d - s);
  return static_cast<uint32_t>(wide + c * LowBits(d - s) / LowBits(s));
}

uint32_t ColourMasks(const ColorFormat& f) { return f.redMask | f.greenMask | f.blueMask; }

bool IsPixelFormat(const ColorFormat* f) {
  return f != nullptr && f->compression == 0 && f->bytesPerPixel >= 1 && f->bytesPerPixel <= 4;
}

bool SameMasks(const ColorFormat& a, const ColorFormat& b, bool withAlpha) {
  return a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask &&
         (!withAlpha || a.alphaMask == b.alphaMask);
}

bool HasMasks(const ColorFormat& f, int32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return f.colorBits == bits && f.bytesPerPixel == bits / 8 && f.redMask == r && f.greenMask == g &&
         f.blueMask == b && f.alphaMask == a;
}

bool IsRgb565(const ColorFormat& f) { return HasMasks(f, 16, 0xF800u, 0x7E0u, 0x1Fu, 0); }

// The arguments of one conversion, after the combination rules.
struct Conversion {
  uint8_t* dest;
  int32_t destPitch;
  const ColorFormat* df;
  const uint8_t* src;
  int32_t srcPitch;
  const ColorFormat* sf;
  const uint8_t* alpha;  // null without an alpha image
  int32_t alphaPitch;
  const ColorFormat* af;
  int32_t destX, destY;
  int32_t left, top, width, height;
  bool mirror, keyToAlpha, colorOff, alphaFromRed, skipKey;
  int32_t dither;
  uint32_t key;

  const uint8_t* SrcRow(int32_t row) const {
    return src + static_cast<intptr_t>(top + row) * srcPitch + static_cast<intptr_t>(left) * sf->bytesPerPixel;
  }
  const uint8_t* AlphaRow(int32_t row) const {
    return alpha + static_cast<intptr_t>(top + row) * alphaPitch +
           static_cast<intptr_t>(left) * af->bytesPerPixel;
  }
  // Destination x of the pixel from source column col of the rectangle.
  int32_t DestColumn(int32_t col) const { return destX + (mirror ? width - 1 - col : col); }
  uint8_t* DestPixel(int32_t row, int32_t col) const {
    return dest + static_cast<intptr_t>(destY + row) * destPitch +
           static_cast<intptr_t>(DestColumn(col)) * df->bytesPerPixel;
  }
  // With mirroring the row's pixels are written from its right end leftward.
  uint8_t* DestRowStart(int32_t row) const { return DestPixel(row, 0); }
  intptr_t DestStep() const { return mirror ? -df->bytesPerPixel : df->bytesPerPixel; }
  // Rows that follow each other without a gap in both images, not mirrored:
  // one long row.
  bool Gapless() const {
    return !mirror && srcPitch == width * sf->bytesPerPixel && destPitch == width * df->bytesPerPixel &&
           static_cast<int64_t>(width) * height <= INT32_MAX;
  }
};

int Prepare(Conversion* c, void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
            const void* srcPixels, int32_t srcPitch, const ColorFormat* srcFormat,
            const void* alphaPixels, int32_t alphaPitch, const ColorFormat* alphaFormat,
            int32_t destX, int32_t destY, const PixelRect* rect, int32_t mirror, int32_t keyToAlpha,
            uint32_t keyColor, int32_t dither, int32_t colorOff, int32_t alphaFromRed,
            int32_t skipKey) {
  if (rect == nullptr || destPixels == nullptr || srcPixels == nullptr) return -1;
  if (!IsPixelFormat(destFormat) || !IsPixelFormat(srcFormat)) return -1;
  int64_t width = static_cast<int64_t>(rect->right) - rect->left;
  int64_t height = static_cast<int64_t>(rect->bottom) - rect->top;
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return -1;
  bool hasAlphaImage = alphaPixels != nullptr && alphaFormat != nullptr;
  if (hasAlphaImage && !IsPixelFormat(alphaFormat)) return -1;

  c->dest = static_cast<uint8_t*>(destPixels);
  c->destPitch = destPitch;
  c->df = destFormat;
  c->src = static_cast<const uint8_t*>(srcPixels);
  c->srcPitch = srcPitch;
  c->sf = srcFormat;
  c->alpha = hasAlphaImage ? static_cast<const uint8_t*>(alphaPixels) : nullptr;
  c->alphaPitch = alphaPitch;
  c->af = hasAlphaImage ? alphaFormat : nullptr;
  c->destX = destX;
  c->destY = destY;
  c->left = rect->left;
  c->top = rect->top;
  c->width = static_cast<int32_t>(width);
  c->height = static_cast<int32_t>(height);
  c->mirror = mirror != 0;
  c->colorOff = colorOff != 0;
  c->alphaFromRed = alphaFromRed != 0;
  c->skipKey = skipKey != 0 && !c->mirror;
  c->dither = dither;
  c->key = keyColor & 0xFFFFFFu;
  // Key to alpha only where the key is the one source of the alpha.
  c->keyToAlpha = keyToAlpha != 0 && !hasAlphaImage && srcFormat->alphaWidth == 0 &&
                  destFormat->alphaWidth != 0 && !c->alphaFromRed;
  return 0;
}

// The key colour as a source pixel value: for a paletted source the value of
// the palette entry nearest to it.
uint32_t SourceKeyValue(const Conversion& c) {
  const ColorFormat& sf = *c.sf;
  uint32_t k = MakeFormatColor(&sf, static_cast<int32_t>(c.key >> 16), static_cast<int32_t>(c.key >> 8),
                               static_cast<int32_t>(c.key), 0);
  return sf.bytesPerPixel == 1 ? PaletteValue(sf, static_cast<uint8_t>(k)) : k;
}

// ---------------------------------------------------------------- general rule

struct ChannelStep {
  uint32_t srcMask;
  int32_t srcShift, s, d, destShift;
  uint32_t destMask;
};

struct GeneralPlan {
  ChannelStep colour[3];
  int32_t dither;  // 0 when no colour channel narrows
  uint32_t keyMask, keyValue;
  uint32_t fullAlpha;  // the destination's full alpha, in its width
  uint32_t fill;       // unused bits of 16 and 32-bit destinations
  uint32_t carry[3];   // running sums of the carried-remainder dither
};

GeneralPlan MakeGeneralPlan(const Conversion& c) {
  const ColorFormat& s = *c.sf;
  const ColorFormat& d = *c.df;
  GeneralPlan p{};
  p.colour[0] = {s.redMask, s.redShift, s.redWidth, d.redWidth, d.redShift, d.redMask};
  p.colour[1] = {s.greenMask, s.greenShift, s.greenWidth, d.greenWidth, d.greenShift, d.greenMask};
  p.colour[2] = {s.blueMask, s.blueShift, s.blueWidth, d.blueWidth, d.blueShift, d.blueMask};
  bool narrows = false;
  for (const ChannelStep& ch : p.colour) narrows = narrows || ch.s > ch.d;
  p.dither = (narrows && !c.colorOff && (c.dither == DitherOrdered || c.dither == DitherCarry)) ? c.dither : 0;
  p.keyMask = ColourMasks(s);
  p.keyValue = c.keyToAlpha ? SourceKeyValue(c) & p.keyMask : 0;
  p.fullAlpha = static_cast<uint32_t>(LowBits(d.alphaWidth));
  p.fill = (d.bytesPerPixel == 2 || d.bytesPerPixel == 4) ? d.unusedMask : 0;
  return p;
}

// One pixel by the general rule. alphaValue is the alpha image's pixel (read
// only with an alpha image); x and y are the destination position.
uint32_t GeneralPixel(const Conversion& c, GeneralPlan& p, uint32_t v, uint32_t alphaValue, int32_t x,
                      int32_t y) {
  const ColorFormat& s = *c.sf;
  const ColorFormat& d = *c.df;
  uint32_t out = p.fill;
  if (d.alphaWidth != 0) {
    uint32_t a;
    if (c.alphaFromRed) {
      a = (v & s.redMask) >> s.redShift;
    } else if (c.keyToAlpha) {
      a = (v & p.keyMask) == p.keyValue ? 0 : p.fullAlpha;
    } else if (c.alpha != nullptr) {
      a = ChangeWidth((alphaValue & c.af->redMask) >> c.af->redShift, c.af->redWidth, d.alphaWidth);
    } else if (s.alphaWidth != 0) {
      a = ChangeWidth((v & s.alphaMask) >> s.alphaShift, s.alphaWidth, d.alphaWidth);
    } else {
      a = p.fullAlpha;
    }
    out |= (a << d.alphaShift) & d.alphaMask;
  }
  if (c.colorOff) return out;
  for (int i = 0; i < 3; ++i) {
    const ChannelStep& ch = p.colour[i];
    uint32_t raw = (v & ch.srcMask) >> ch.srcShift;
    uint32_t value = ChangeWidth(raw, ch.s, ch.d);
    if (p.dither != 0 && ch.s > ch.d) {
      int32_t drop = ch.s - ch.d;
      uint32_t dropped = static_cast<uint32_t>(raw & LowBits(drop));
      bool up;
      if (p.dither == DitherOrdered) {
        uint64_t threshold = (static_cast<uint64_t>(kOrderedThresholds[(x & 3) + 4 * (y & 3)]) << drop) >> 4;
        up = dropped > threshold;
      } else {
        uint64_t sum = static_cast<uint64_t>(p.carry[i]) + dropped;
        up = sum > LowBits(drop);
        if (up) sum -= LowBits(drop) + 1;
        p.carry[i] = static_cast<uint32_t>(sum);
      }
      if (up && value < LowBits(ch.d)) ++value;
    }
    out |= (value << ch.destShift) & ch.destMask;
  }
  return out;
}

int RunGeneral(const Conversion& c) {
  GeneralPlan plan = MakeGeneralPlan(c);
  int32_t sb = c.sf->bytesPerPixel, db = c.df->bytesPerPixel;
  int32_t ab = c.alpha != nullptr ? c.af->bytesPerPixel : 0;
  uint32_t colourMask = ColourMasks(*c.sf);
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    const uint8_t* a = c.alpha != nullptr ? c.AlphaRow(row) : nullptr;
    for (int32_t col = 0; col < c.width; ++col) {
      uint32_t v = ReadFormatPixel(*c.sf, s + col * sb);
      if (c.skipKey && (v & colourMask) == c.key) continue;
      uint32_t av = a != nullptr ? ReadFormatPixel(*c.af, a + col * ab) : 0;
      uint32_t out = GeneralPixel(c, plan, v, av, c.DestColumn(col), c.destY + row);
      WritePixelBytes(c.DestPixel(row, col), db, out);
    }
  }
  return 0;
}

// ---------------------------------------------------------------- special cases

// Palette remap between two different palettes, or the plain 8-bit copy;
// returns the highest index written.
int RunIndexCopy(const Conversion& c, const uint8_t* map) {
  uint8_t highest = 0;
  intptr_t step = c.DestStep();
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    uint8_t* d = c.DestRowStart(row);
    for (int32_t col = 0; col < c.width; ++col, d += step) {
      uint8_t index = map != nullptr ? map[s[col]] : s[col];
      *d = index;
      if (index > highest) highest = index;
    }
  }
  return highest;
}

// Any source into an 8-bit palette destination: the nearest entry of each
// colour (channels brought to 8 bits first).
int RunToPalette(const Conversion& c) {
  const ColorFormat& s = *c.sf;
  int32_t sb = s.bytesPerPixel;
  uint32_t colourMask = ColourMasks(s);
  bool cached = false;
  uint32_t lastValue = 0, lastIndex = 0;
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* sp = c.SrcRow(row);
    for (int32_t col = 0; col < c.width; ++col) {
      uint32_t v = ReadFormatPixel(s, sp + col * sb);
      if (c.skipKey && (v & colourMask) == c.key) continue;
      if (!cached || v != lastValue) {
        uint32_t r = ChangeWidth((v & s.redMask) >> s.redShift, s.redWidth, 8);
        uint32_t g = ChangeWidth((v & s.greenMask) >> s.greenShift, s.greenWidth, 8);
        uint32_t b = ChangeWidth((v & s.blueMask) >> s.blueShift, s.blueWidth, 8);
        lastIndex = MakeFormatColor(c.df, static_cast<int32_t>(r), static_cast<int32_t>(g),
                                    static_cast<int32_t>(b), 0);
        lastValue = v;
        cached = true;
      }
      *c.DestPixel(row, col) = static_cast<uint8_t>(lastIndex);
    }
  }
  return 0;
}

// Raw copy between equal layouts; with skip key, pixels equal to the key stay
// unwritten.
int RunSameLayout(const Conversion& c) {
  int32_t bytes = c.sf->bytesPerPixel;
  size_t rowBytes = static_cast<size_t>(c.width) * bytes;
  uint32_t keyMask = bytes == 4 ? ColourMasks(*c.sf) : static_cast<uint32_t>(LowBits(8 * bytes));
  intptr_t step = c.DestStep();
  if (!c.mirror && !c.skipKey && c.Gapless()) {
    std::memmove(c.DestRowStart(0), c.SrcRow(0), rowBytes * c.height);
    return 0;
  }
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    uint8_t* d = c.DestRowStart(row);
    if (!c.mirror && !c.skipKey) {
      std::memmove(d, s, rowBytes);
      continue;
    }
    for (int32_t col = 0; col < c.width; ++col, d += step, s += bytes) {
      if (c.skipKey && (ReadPixelBytes(s, bytes) & keyMask) == c.key) continue;
      std::memcpy(d, s, bytes);
    }
  }
  return 0;
}

// Key to alpha between layouts with the same colour masks: the key's pixels
// get their alpha bits cleared, all others set.
template <int Bytes>
void RunKeyToAlphaSameColours(const Conversion& c) {
  const ColorFormat& d = *c.df;
  uint32_t colourMask = ColourMasks(d);
  uint32_t k = MakeFormatColor(&d, static_cast<int32_t>(c.key >> 16), static_cast<int32_t>(c.key >> 8),
                               static_cast<int32_t>(c.key), 255) & colourMask;
  uint32_t outside = Bytes == 4 ? ~colourMask : 0;
  intptr_t step = c.DestStep();
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    uint8_t* dp = c.DestRowStart(row);
    for (int32_t col = 0; col < c.width; ++col, dp += step, s += Bytes) {
      uint32_t v = LoadPixel<Bytes>(s) | outside;
      StorePixel<Bytes>(dp, (v & colourMask) == k ? v & ~d.alphaMask : v | d.alphaMask);
    }
  }
}

// A conversion whose destination bits are shifted source bits, by the
// vector loops (AVX2 when the processor has it). Without mirroring.
void RunShift(const Conversion& c, const ShiftConversion& k) {
  const ShiftConvertFn run = BlitUseAvx2 ? ShiftConvertLoopAvx2(k) : ShiftConvertLoop<Sse2Ops>(k);
  if (c.Gapless())
    run(k, c.DestRowStart(0), 0, c.SrcRow(0), 0, c.width * c.height, 1);
  else
    run(k, c.DestRowStart(0), c.destPitch, c.SrcRow(0), c.srcPitch, c.width, c.height);
}

// Adds a channel narrowed (or kept) from a contiguous source field to a
// contiguous destination field: the kept high bits moved in one shift.
// False when the source field is wider than 8 bits or narrower than the
// destination's (the widening rule is no shift).
bool AddShiftChannel(ShiftConversion* k, uint32_t srcMask, int32_t srcShift, int32_t srcWidth, int32_t destWidth,
                     int32_t destShift, uint32_t destMask) {
  if (srcMask == 0 || destMask == 0 || destWidth == 0) return true;  // the channel adds no bits
  if (srcWidth > 8 || srcWidth < destWidth) return false;
  if (srcMask != static_cast<uint32_t>(LowBits(srcWidth) << srcShift) ||
      destMask != static_cast<uint32_t>(LowBits(destWidth) << destShift))
    return false;
  k->shift[k->channels] = srcShift + (srcWidth - destWidth) - destShift;
  k->mask[k->channels] = destMask;
  ++k->channels;
  return true;
}

// The table conversion of a 24 or 32-bit source into a 16 or 32-bit destination
// as shifts, when every channel narrows or keeps its width.
bool MakeShiftTablePlan(const Conversion& c, ShiftConversion* k) {
  const ColorFormat& s = *c.sf;
  const ColorFormat& d = *c.df;
  if (s.bytesPerPixel < 3 || (d.bytesPerPixel != 2 && d.bytesPerPixel != 4)) return false;
  *k = ShiftConversion{};
  k->srcBytes = s.bytesPerPixel;
  k->destBytes = d.bytesPerPixel;
  k->constant = d.unusedMask;
  if (d.alphaWidth != 0) {
    if (c.keyToAlpha) {
      k->keyed = true;
      k->keyMask = ColourMasks(s);
      k->keyValue = SourceKeyValue(c) & k->keyMask;
      k->keyAlpha = d.alphaMask;
    } else if (s.alphaWidth != 0) {
      if (!AddShiftChannel(k, s.alphaMask, s.alphaShift, s.alphaWidth, d.alphaWidth, d.alphaShift, d.alphaMask))
        return false;
    } else {
      k->constant |= d.alphaMask;
    }
  }
  if (!AddShiftChannel(k, s.redMask, s.redShift, s.redWidth, d.redWidth, d.redShift, d.redMask) ||
      !AddShiftChannel(k, s.greenMask, s.greenShift, s.greenWidth, d.greenWidth, d.greenShift, d.greenMask) ||
      !AddShiftChannel(k, s.blueMask, s.blueShift, s.blueWidth, d.blueWidth, d.blueShift, d.blueMask))
    return false;
  // Channels moved by the same shift move together.
  int32_t kept = 0;
  for (int32_t i = 0; i < k->channels; ++i) {
    const int32_t shift = k->shift[i];
    const uint32_t mask = k->mask[i];
    int32_t j = 0;
    while (j < kept && k->shift[j] != shift) ++j;
    if (j == kept) {
      k->shift[kept] = shift;
      k->mask[kept++] = 0;
    }
    k->mask[j] |= mask;
  }
  k->channels = kept;
  return true;
}

// RGB565 widened by shifting alone into 24-bit RGB (32-bit XRGB and ARGB
// go through RunShift), and narrowed into 1555 with the key's alpha bit clear.
enum class Rgb565Target { Rgb24, Argb1555Key };

template <Rgb565Target Target>
void Run565(const Conversion& c) {
  constexpr int kDestBytes = Target == Rgb565Target::Rgb24 ? 3 : 2;
  uint32_t kr = c.key >> 16 & 0xFF, kg = c.key >> 8 & 0xFF, kb = c.key & 0xFF;
  uint32_t key555 = (kr >> 3) << 10 | (kg >> 3) << 5 | kb >> 3;
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    uint8_t* d = c.DestRowStart(row);
    for (int32_t col = 0; col < c.width; ++col, s += 2, d += kDestBytes) {
      uint32_t p = LoadPixel<2>(s);
      uint32_t out;
      if constexpr (Target == Rgb565Target::Argb1555Key) {
        uint32_t n = (p & 0xFFC0u) >> 1 | (p & 0x1Fu);
        out = n == key555 ? n : n | 0x8000u;
      } else {
        out = (p & 0xF800u) << 8 | (p & 0x7E0u) << 5 | (p & 0x1Fu) << 3;
      }
      StorePixel<kDestBytes>(d, out);
    }
  }
}

bool TryRun565(const Conversion& c) {
  if (!IsRgb565(*c.sf)) return false;
  const ColorFormat& d = *c.df;
  if (HasMasks(d, 24, 0xFF0000u, 0xFF00u, 0xFFu, 0)) {
    Run565<Rgb565Target::Rgb24>(c);
  } else if (HasMasks(d, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0) ||
             (c.keyToAlpha && HasMasks(d, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u))) {
    // Into 32-bit XRGB, or ARGB with the key's alpha clear: by shifts, as
    // Run565 does them.
    ShiftConversion k{};
    k.srcBytes = 2;
    k.destBytes = 4;
    k.channels = 3;
    k.shift[0] = -8;
    k.mask[0] = 0xF80000u;
    k.shift[1] = -5;
    k.mask[1] = 0xFC00u;
    k.shift[2] = -3;
    k.mask[2] = 0xF8u;
    if (d.alphaMask != 0) {
      const uint32_t kr = c.key >> 16 & 0xFF, kg = c.key >> 8 & 0xFF, kb = c.key & 0xFF;
      k.keyed = true;
      k.keyMask = 0xFFFFu;
      k.keyValue = (kr >> 3) << 11 | (kg >> 2) << 5 | kb >> 3;
      k.keyAlpha = 0xFF000000u;
    }
    RunShift(c, k);
  } else if (c.keyToAlpha && HasMasks(d, 16, 0x7C00u, 0x3E0u, 0x1Fu, 0x8000u)) {
    Run565<Rgb565Target::Argb1555Key>(c);
  } else {
    return false;
  }
  return true;
}

// The general results through lookup tables: each source channel (at most 8
// bits wide) indexes a table of its destination bits.
enum class TableAlpha { None, Table, Key };

struct TablePlan {
  int32_t shift[4];
  uint32_t low[4];
  uint32_t table[4][256];
  uint32_t constant;  // unused bits and a constant full alpha
  uint32_t keyMask, keyValue, keyAlpha;
};

template <int SrcBytes, int DestBytes, TableAlpha Alpha>
void RunTableLoop(const Conversion& c, const TablePlan& t) {
  for (int32_t row = 0; row < c.height; ++row) {
    const uint8_t* s = c.SrcRow(row);
    uint8_t* d = c.DestRowStart(row);
    for (int32_t col = 0; col < c.width; ++col, s += SrcBytes, d += DestBytes) {
      uint32_t v = LoadPixel<SrcBytes>(s);
      uint32_t out = t.constant | t.table[0][(v >> t.shift[0]) & t.low[0]] |
                     t.table[1][(v >> t.shift[1]) & t.low[1]] | t.table[2][(v >> t.shift[2]) & t.low[2]];
      if constexpr (Alpha == TableAlpha::Table) out |= t.table[3][(v >> t.shift[3]) & t.low[3]];
      if constexpr (Alpha == TableAlpha::Key) {
        if ((v & t.keyMask) != t.keyValue) out |= t.keyAlpha;
      }
      StorePixel<DestBytes>(d, out);
    }
  }
}

template <int SrcBytes, int DestBytes>
void RunTableLoopFor(const Conversion& c, const TablePlan& t, TableAlpha alpha) {
  switch (alpha) {
    case TableAlpha::None: RunTableLoop<SrcBytes, DestBytes, TableAlpha::None>(c, t); break;
    case TableAlpha::Table: RunTableLoop<SrcBytes, DestBytes, TableAlpha::Table>(c, t); break;
    case TableAlpha::Key: RunTableLoop<SrcBytes, DestBytes, TableAlpha::Key>(c, t); break;
  }
}

void FillChannelTable(TablePlan* t, int i, uint32_t srcMask, int32_t srcShift, int32_t s, int32_t d,
                      int32_t destShift, uint32_t destMask) {
  t->shift[i] = srcShift;
  t->low[i] = srcMask == 0 ? 0 : static_cast<uint32_t>(LowBits(s));
  for (uint32_t v = 0; v <= t->low[i]; ++v) t->table[i][v] = (ChangeWidth(v, s, d) << destShift) & destMask;
}

bool TryRunTables(const Conversion& c) {
  const ColorFormat& s = *c.sf;
  const ColorFormat& d = *c.df;
  if (s.bytesPerPixel < 2 || d.bytesPerPixel < 2) return false;
  ShiftConversion k;
  if (MakeShiftTablePlan(c, &k)) {  // the same results by shifts
    RunShift(c, k);
    return true;
  }
  if (s.redWidth > 8 || s.greenWidth > 8 || s.blueWidth > 8) return false;
  TableAlpha alpha = TableAlpha::None;
  TablePlan t{};
  t.constant = (d.bytesPerPixel == 2 || d.bytesPerPixel == 4) ? d.unusedMask : 0;
  if (d.alphaWidth != 0) {
    if (c.keyToAlpha) {
      alpha = TableAlpha::Key;
      t.keyMask = ColourMasks(s);
      t.keyValue = SourceKeyValue(c) & t.keyMask;
      t.keyAlpha = d.alphaMask;
    } else if (s.alphaWidth != 0) {
      if (s.alphaWidth > 8) return false;
      alpha = TableAlpha::Table;
      FillChannelTable(&t, 3, s.alphaMask, s.alphaShift, s.alphaWidth, d.alphaWidth, d.alphaShift, d.alphaMask);
    } else {
      t.constant |= d.alphaMask;
    }
  }
  FillChannelTable(&t, 0, s.redMask, s.redShift, s.redWidth, d.redWidth, d.redShift, d.redMask);
  FillChannelTable(&t, 1, s.greenMask, s.greenShift, s.greenWidth, d.greenWidth, d.greenShift, d.greenMask);
  FillChannelTable(&t, 2, s.blueMask, s.blueShift, s.blueWidth, d.blueWidth, d.blueShift, d.blueMask);
  WithPixelBytes(s.bytesPerPixel, [&](auto src) {
    WithPixelBytes(d.bytesPerPixel, [&](auto dest) { RunTableLoopFor<src.value, dest.value>(c, t, alpha); });
  });
  return true;
}

// A paletted source through the general results of its 256 entries.
bool TryRunPaletteTable(const Conversion& c) {
  if (c.sf->bytesPerPixel != 1 || c.df->bytesPerPixel < 2) return false;
  GeneralPlan plan = MakeGeneralPlan(c);
  uint32_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = GeneralPixel(c, plan, PaletteValue(*c.sf, static_cast<uint8_t>(i)), 0, 0, 0);
  if (c.df->bytesPerPixel == 2) {
    // The entries as 16-bit values: one load and one store a pixel.
    uint16_t narrow[256];
    for (int i = 0; i < 256; ++i) narrow[i] = static_cast<uint16_t>(table[i]);
    const bool gapless = c.Gapless();
    const int32_t rows = gapless ? 1 : c.height, width = gapless ? c.width * c.height : c.width;
    // Each entry also pre-shifted into the four 16-bit places of a 64-bit
    // word: four pixels are four lookups joined by ORs, stored at once.
    alignas(64) uint64_t placed[4][256];
    for (int i = 0; i < 256; ++i) {
      for (int k = 0; k < 4; ++k) placed[k][i] = uint64_t{narrow[i]} << (16 * k);
    }
    const uint16_t* t = narrow;
    const uint64_t* p0 = placed[0];
    const uint64_t* p1 = placed[1];
    const uint64_t* p2 = placed[2];
    const uint64_t* p3 = placed[3];
    for (int32_t row = 0; row < rows; ++row) {
      const uint8_t* s = c.SrcRow(row);
      uint8_t* d = c.DestRowStart(row);
      int32_t col = 0;
      // Eight pixels a step, stored four at a time (the first pixel in the
      // low bits). The first four indices are read one by one, the last four
      // by one load and shifts: the work shared between the load and the
      // arithmetic units.
      for (; col + 8 <= width; col += 8) {
        uint32_t i4;
        std::memcpy(&i4, s + col + 4, 4);
        // Kept in a general register: vectorised, the lookups become slow
        // lane-by-lane gathers.
        asm("" : "+r"(i4));
        const uint64_t lo = p0[s[col]] | p1[s[col + 1]] | p2[s[col + 2]] | p3[s[col + 3]];
        const uint64_t hi = p0[i4 & 0xFF] | p1[i4 >> 8 & 0xFF] | p2[i4 >> 16 & 0xFF] | p3[i4 >> 24];
        std::memcpy(d + 2 * col, &lo, 8);
        std::memcpy(d + 2 * col + 8, &hi, 8);
      }
      for (; col < width; ++col) std::memcpy(d + 2 * col, &t[s[col]], 2);
    }
    return true;
  }
  WithPixelBytes(c.df->bytesPerPixel, [&](auto bytes) {
    for (int32_t row = 0; row < c.height; ++row) {
      const uint8_t* s = c.SrcRow(row);
      uint8_t* d = c.DestRowStart(row);
      for (int32_t col = 0; col < c.width; ++col, d += bytes.value) StorePixel<bytes.value>(d, table[s[col]]);
    }
  });
  return true;
}

}  // namespace

int ConvertPixelRectGeneral(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                            const void* srcPixels, int32_t srcPitch, const ColorFormat* srcFormat,
                            const void* alphaPixels, int32_t alphaPitch,
                            const ColorFormat* alphaFormat, int32_t destX, int32_t destY,
                            const PixelRect* rect, int32_t mirror, int32_t keyToAlpha,
                            uint32_t keyColor, int32_t dither, int32_t colorOff,
                            int32_t alphaFromRed, int32_t skipKey) {
  Conversion c;
  if (Prepare(&c, destPixels, destPitch, destFormat, srcPixels, srcPitch, srcFormat, alphaPixels,
              alphaPitch, alphaFormat, destX, destY, rect, mirror, keyToAlpha, keyColor, dither,
              colorOff, alphaFromRed, skipKey) != 0) {
    return -1;
  }
  return RunGeneral(c);
}

int ConvertPixelRect(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                     const void* srcPixels, int32_t srcPitch, const ColorFormat* srcFormat,
                     const void* alphaPixels, int32_t alphaPitch, const ColorFormat* alphaFormat,
                     int32_t destX, int32_t destY, const PixelRect* rect, int32_t mirror,
                     int32_t keyToAlpha, uint32_t keyColor, int32_t dither, int32_t colorOff,
                     int32_t alphaFromRed, int32_t skipKey, int32_t paletteRemap) {
  Conversion c;
  if (Prepare(&c, destPixels, destPitch, destFormat, srcPixels, srcPitch, srcFormat, alphaPixels,
              alphaPitch, alphaFormat, destX, destY, rect, mirror, keyToAlpha, keyColor, dither,
              colorOff, alphaFromRed, skipKey) != 0) {
    return -1;
  }
  const ColorFormat& s = *c.sf;
  const ColorFormat& d = *c.df;

  if (paletteRemap != 0 && s.bytesPerPixel == 1 && d.bytesPerPixel == 1 &&
      std::memcmp(s.palette, d.palette, sizeof(s.palette)) != 0) {
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) {
      map[i] = static_cast<uint8_t>(MakeFormatColor(&d, s.palette[i][2], s.palette[i][1], s.palette[i][0], 0));
    }
    return RunIndexCopy(c, map);
  }

  if (d.colorBits == 8) {
    if (s.colorBits != 8 && !c.alphaFromRed) return RunToPalette(c);
    if (s.colorBits == 8 && !c.colorOff && !c.skipKey && !c.alphaFromRed) return RunIndexCopy(c, nullptr);
    return RunGeneral(c);
  }

  if (s.colorBits == d.colorBits && s.bytesPerPixel == d.bytesPerPixel && SameMasks(s, d, true) &&
      !c.keyToAlpha && c.alpha == nullptr && !c.colorOff && !c.alphaFromRed) {
    return RunSameLayout(c);
  }

  if (c.keyToAlpha && !c.colorOff && s.colorBits == d.colorBits && s.bytesPerPixel == d.bytesPerPixel &&
      SameMasks(s, d, false) && d.bytesPerPixel == 4 && !c.mirror) {
    // The key's pixels keep their colour with the alpha bits clear, all
    // others get them set (bits outside the colour masks set first).
    const uint32_t colourMask = ColourMasks(d);
    ShiftConversion k{};
    k.srcBytes = 4;
    k.destBytes = 4;
    k.channels = 1;
    k.shift[0] = 0;
    k.mask[0] = ~d.alphaMask;
    k.constant = ~colourMask & ~d.alphaMask;
    k.keyed = true;
    k.keyMask = colourMask;
    k.keyValue = MakeFormatColor(&d, static_cast<int32_t>(c.key >> 16), static_cast<int32_t>(c.key >> 8),
                                 static_cast<int32_t>(c.key), 255) & colourMask;
    k.keyAlpha = d.alphaMask;
    RunShift(c, k);
    return 0;
  }
  if (c.keyToAlpha && !c.colorOff && s.colorBits == d.colorBits && s.bytesPerPixel == d.bytesPerPixel &&
      SameMasks(s, d, false)) {
    WithPixelBytes(d.bytesPerPixel, [&](auto bytes) { RunKeyToAlphaSameColours<bytes.value>(c); });
    return 0;
  }

  if (!c.mirror && c.dither == DitherNone && !c.colorOff && !c.alphaFromRed && c.alpha == nullptr &&
      !c.skipKey) {
    if (TryRun565(c) || TryRunPaletteTable(c) || TryRunTables(c)) return 0;
  }
  return RunGeneral(c);
}

int ReduceImageForMipLevel(const ColorFormat* format, void* dest, int32_t destPitch, const void* src,
                           int32_t srcPitch, int32_t offset0, int32_t offset1, int32_t offset2,
                           int32_t offset3, int32_t srcWidth, int32_t srcHeight) {
  // The four sample offsets are always 0 in this library.
  (void)offset0;
  (void)offset1;
  (void)offset2;
  (void)offset3;
  if (format == nullptr || dest == nullptr || src == nullptr || srcWidth < 1 || srcHeight < 1) return -1;
  if ((srcWidth != 1 && srcWidth % 2 != 0) || (srcHeight != 1 && srcHeight % 2 != 0)) return -1;
  const ColorFormat& f = *format;
  int32_t bytes = f.bytesPerPixel;
  if (bytes != 2 && bytes != 4) return -1;
  const uint32_t masks[4] = {f.redMask, f.greenMask, f.blueMask, f.alphaMask};
  const int32_t shifts[4] = {f.redShift, f.greenShift, f.blueShift, f.alphaShift};
  // Each output pixel is the mean of a 2x2 block, of a pair along a side of
  // 1, or the one pixel of a 1x1 source.
  int32_t cols = srcWidth == 1 ? 1 : 2;
  int32_t rows = srcHeight == 1 ? 1 : 2;
  uint32_t samples = static_cast<uint32_t>(cols * rows);
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dest);
  for (int32_t y = 0; y < srcHeight / rows; ++y) {
    const uint8_t* top = s + static_cast<intptr_t>(y * rows) * srcPitch;
    uint8_t* out = d + static_cast<intptr_t>(y) * destPitch;
    for (int32_t x = 0; x < srcWidth / cols; ++x) {
      if (samples == 1) {
        std::memcpy(out, top, bytes);
        continue;
      }
      uint32_t p[4];
      for (int32_t i = 0; i < rows; ++i) {
        for (int32_t j = 0; j < cols; ++j) {
          p[i * cols + j] = ReadPixelBytes(top + static_cast<intptr_t>(i) * srcPitch + (x * cols + j) * bytes, bytes);
        }
      }
      uint32_t value = f.unusedMask;
      for (int ch = 0; ch < 4; ++ch) {
        if (masks[ch] == 0) continue;
        uint64_t sum = 0;
        for (uint32_t i = 0; i < samples; ++i) sum += (p[i] & masks[ch]) >> shifts[ch];
        value |= (static_cast<uint32_t>(sum / samples) << shifts[ch]) & masks[ch];
      }
      WritePixelBytes(out + x * bytes, bytes, value);
    }
  }
  return 0;
}

int CopyGraphImageRect(int32_t destX, int32_t destY, int32_t width, int32_t height, int32_t srcX,
                       int32_t srcY, GraphImage* src, GraphImage* dest) {
  if (src->format.compression != 0 && DecodeCompressedGraphImage(src) != 0) return -1;
  if (dest->format.compression != 0 && DecodeCompressedGraphImage(dest) != 0) return -1;
  int64_t dx = destX, dy = destY, sx = srcX, sy = srcY, w = width, h = height;
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  if (w > dest->width - dx) w = dest->width - dx;
  if (h > dest->height - dy) h = dest->height - dy;
  if (w > src->width - sx) w = src->width - sx;
  if (h > src->height - sy) h = src->height - sy;
  if (w <= 0 || h <= 0) return 0;
  PixelRect rect = {static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(sx + w),
                    static_cast<int32_t>(sy + h)};
  return ConvertPixelRect(dest->pixels, dest->pitch, &dest->format, src->pixels, src->pitch, &src->format,
                          nullptr, 0, nullptr, static_cast<int32_t>(dx), static_cast<int32_t>(dy), &rect, 0,
                          0, 0, DitherNone, 0, 0, 0, 1);
}

void SwapRedAndBlue(uint8_t* pixels, size_t count, int32_t bytesPerPixel) {
  if (bytesPerPixel != 3 && bytesPerPixel != 4) return;
  if (BlitUseAvx2) {
    SwapRedBlueAvx2(pixels, count, bytesPerPixel);
  } else if (bytesPerPixel == 4) {
    SwapRedBlue32<Sse2Ops>(pixels, count);
  } else {
    for (uint8_t* p = pixels; count > 0; --count, p += 3) {
      const uint8_t first = p[0];
      p[0] = p[2];
      p[2] = first;
    }
  }
}
