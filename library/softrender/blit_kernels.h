// The pixel loops of the image blits. One template per depth (Row32, Row16)
// draws one row of pixels for a variant fixed at compile time: blend mode,
// parameter case, mask, white brightness, source kind, transparency, and
// whether the row belongs to a stretched draw (whose loops differ in a few
// listed places). The blit entries choose the variant once per call from a
// table (SelectRow32, SelectRow16) and call it for every row; a stretched
// draw first gathers each row's source pixels and mask bytes, so both draws
// share the same loops.
#pragma once

#include <cstdint>
#include <cstring>

#include "library/graphics/blend_tables.h"
#include "library/softrender/blend_rules.h"
#include "library/softrender/simd_ops.h"

enum class BlitSource : uint8_t { Plain, Alpha, Palette };
// Parameter values with loops of their own.
enum class BlitParam : uint8_t { General, Half /* 128 */, Full /* 255 */ };

struct BlitVariant {
  int32_t mode;  // 0, 1, 2, 3, 4, 10 or 11 (mode 1 at 255 comes as mode 0)
  bool masked;
  bool white;
  bool trans;
  BlitSource src;
  BlitParam param;
  bool stretched;
  constexpr bool operator==(const BlitVariant&) const = default;
};

struct BlendContext;
// The vector loop of a variant over a block of rows (rows of n pixels, each
// pointer moved on by its pitch after a row), the last pixels of each row
// included.
using BlitRectFn = void (*)(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n,
                            int32_t rows, const BlendContext& c);

// What a pixel loop reads besides the pixels: fixed once per call.
struct BlendContext {
  int32_t param;
  const int32_t* scaleParam;      // BlendScaleTable row of the parameter
  const int32_t* scaleBright[3];  // BlendScaleTable rows of the blue, green, red brightness
  uint8_t bright[3];              // the brightness bytes, blue, green, red
  const int32_t* diffRow;         // BlendDiffTable row of the parameter, at difference 0
  const uint8_t* sixRow;          // Blend6BitTable plane of parameter / 4
  uint32_t transColor;
  uint32_t transWide;      // key repeated for whole-word compares
  const uint8_t* palette;  // the source palette's copy (paletted sources)
  BlitRectFn rect;         // the vector loop of the variant (AVX2 or SSE2), or null
};

// One row: n destination pixels from n source pixels (and n mask bytes).
using BlitRowFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n,
                           const BlendContext& c);

// The row loop of a variant; also sets context->rect.
BlitRowFn SelectRow32(const BlitVariant& v, BlendContext* context);
BlitRowFn SelectRow16(const BlitVariant& v, BlendContext* context);
// A plain pixel-by-pixel loop of an unscaled variant with trans set, for a
// few pixels (null for the other variants).
BlitRowFn SelectPixelRow32(const BlitVariant& v);
BlitRowFn SelectPixelRow16(const BlitVariant& v);

// The AVX2 loops, from a file compiled for AVX2; called only when BlitUseAvx2.
BlitRectFn WideRect32At(int32_t variantIndex);
BlitRectFn WideRect16At(int32_t variantIndex);

// Position of a variant in the selection tables.
constexpr int32_t kBlitModeSlots[7] = {0, 1, 2, 3, 4, 10, 11};
constexpr int32_t kBlitVariantCount = 7 * 3 * 2 * 2 * 2 * 3 * 2;

constexpr int32_t BlitVariantIndex(const BlitVariant& v) {
  int32_t slot = 0;
  while (slot < 6 && kBlitModeSlots[slot] != v.mode) ++slot;
  int32_t i = slot;
  i = i * 3 + static_cast<int32_t>(v.param);
  i = i * 2 + (v.masked ? 1 : 0);
  i = i * 2 + (v.white ? 1 : 0);
  i = i * 2 + (v.trans ? 1 : 0);
  i = i * 3 + static_cast<int32_t>(v.src);
  return i * 2 + (v.stretched ? 1 : 0);
}

constexpr BlitVariant BlitVariantAt(int32_t i) {
  BlitVariant v{};
  v.stretched = i % 2 != 0;
  i /= 2;
  v.src = static_cast<BlitSource>(i % 3);
  i /= 3;
  v.trans = i % 2 != 0;
  i /= 2;
  v.white = i % 2 != 0;
  i /= 2;
  v.masked = i % 2 != 0;
  i /= 2;
  v.param = static_cast<BlitParam>(i % 3);
  v.mode = kBlitModeSlots[i / 3];
  return v;
}

// Bytes per source pixel of a row of the given kind and depth.
constexpr int32_t BlitSourceBytes(BlitSource src, bool depth32) {
  return src == BlitSource::Palette ? 1 : depth32 || src == BlitSource::Alpha ? 4 : 2;
}

// ---- Variant properties ----

namespace blit_detail {

constexpr bool IsMode(const BlitVariant& v, int32_t a, int32_t b = -1, int32_t c = -1) {
  return v.mode == a || v.mode == b || v.mode == c;
}
// No mask, white brightness, a source without alpha: the case with the
// hand-made loops.
constexpr bool PlainWhite(const BlitVariant& v) { return !v.masked && v.white && v.src != BlitSource::Alpha; }
// Mode 0 copy of an alpha source without mask, white, trans off (unscaled):
// the colour is stored and the alpha not looked at.
constexpr bool IgnoresAlpha(const BlitVariant& v) {
  return v.mode == 0 && !v.masked && v.white && !v.trans && v.src == BlitSource::Alpha && !v.stretched;
}
// Whole-pixel copy of the source, one row a block copy when trans is off.
constexpr bool IsCopy(const BlitVariant& v) {
  return v.mode == 0 && !v.masked && v.white && (v.src != BlitSource::Alpha || IgnoresAlpha(v));
}

constexpr bool HalfSum32(const BlitVariant& v) {
  return v.mode == 1 && v.param == BlitParam::Half && PlainWhite(v) && !v.stretched;
}
constexpr bool AddFormB32(const BlitVariant& v) {
  return v.mode == 2 && v.param == BlitParam::Full && PlainWhite(v) && !v.stretched;
}
constexpr bool SkipsAlphaZero32(const BlitVariant& v) {
  return v.stretched || IsMode(v, 0, 1) || IsMode(v, 2, 3);
}
// Paletted loops that compare the index with the low byte of the widened key.
constexpr bool KeyLowByte32(const BlitVariant& v) {
  return v.src == BlitSource::Palette && !v.stretched && PlainWhite(v) &&
         (v.mode == 0 || HalfSum32(v) || (IsMode(v, 2, 3) && v.param == BlitParam::Full));
}

constexpr bool HalfSum16(const BlitVariant& v) {
  return v.mode == 1 && v.param == BlitParam::Half && PlainWhite(v) && !v.stretched;
}
constexpr bool SixBit16(const BlitVariant& v) {
  return v.mode == 1 && v.param != BlitParam::Half && PlainWhite(v) && !v.stretched;
}
// The two-pixel add and subtract of the source pair itself.
constexpr bool PairOp16(const BlitVariant& v) {
  return IsMode(v, 2, 3) && v.param == BlitParam::Full && PlainWhite(v) && !v.stretched;
}
constexpr bool SkipsAlphaZero16(const BlitVariant& v) {
  return v.stretched || IsMode(v, 0, 1) || IsMode(v, 2, 3, 10);
}
// Loops that compare a direct source pixel with the low 16 bits of the key.
constexpr bool KeyLow16(const BlitVariant& v) {
  if (v.src != BlitSource::Plain || !PlainWhite(v)) return false;
  if (v.stretched) return v.mode == 0;
  return v.mode == 0 || v.mode == 1 || PairOp16(v);
}
constexpr bool KeyLowByte16(const BlitVariant& v) {
  return v.src == BlitSource::Palette && !v.stretched && PlainWhite(v) &&
         (v.mode == 0 || v.mode == 1 || PairOp16(v));
}

// Parameter cases that draw like the general case share its loops.
constexpr BlitVariant Canonical32(BlitVariant v) {
  // (The paletted subtract at 255 draws like the general one but compares
  // the key's low byte.)
  // (The add and subtract of an alpha source at 255 take the source itself
  // for its opaque pixels in their vector loops.)
  const bool ownFull = AddFormB32(v) || (v.mode == 3 && KeyLowByte32(v)) ||
                       (IsMode(v, 2, 3) && v.src == BlitSource::Alpha && !v.masked);
  if ((v.param == BlitParam::Half && !HalfSum32(v)) || (v.param == BlitParam::Full && !ownFull))
    v.param = BlitParam::General;
  return v;
}
constexpr BlitVariant Canonical16(BlitVariant v) {
  if ((v.param == BlitParam::Half && !HalfSum16(v)) || (v.param == BlitParam::Full && !PairOp16(v)))
    v.param = BlitParam::General;
  return v;
}

// ---- 32-bit combine ----

template <int32_t Factors>
constexpr int kShift = 8 * Factors;

// The source value of one channel entering the blend: brightness applied,
// mode 10's inversion before it.
template <BlitVariant V>
inline uint32_t Source32(uint32_t s, const int32_t* brightRow) {
  if constexpr (V.mode == 10) s = 255 - s;
  if constexpr (V.white)
    return s;
  else
    return static_cast<uint32_t>(brightRow[s]);
}

template <BlitVariant V, bool HasA>
inline uint32_t Combine32(uint32_t s, uint32_t d, uint32_t a, uint32_t m, const BlendContext& c) {
  constexpr int32_t factors = (V.masked ? 1 : 0) + (HasA ? 1 : 0);
  const uint32_t maskAlpha = (V.masked ? m : 1) * (HasA ? a : 1);

  if constexpr (V.mode == 0) {
    if constexpr (!V.masked && !HasA && V.white) {
      return s;
    } else {
      uint32_t out = d & 0xFF000000u;
      for (int ch = 0; ch < 3; ++ch) {
        uint32_t x = Source32<V>((s >> (8 * ch)) & 0xFF, c.scaleBright[ch]);
        uint32_t dc = (d >> (8 * ch)) & 0xFF;
        uint32_t v;
        if constexpr (factors == 0)
          v = x;
        else
          v = BlendMix<kShift<factors>>(x, dc, maskAlpha);
        out |= v << (8 * ch);
      }
      return out;
    }
  } else if constexpr (V.mode == 1 || V.mode == 10 || V.mode == 11) {
    if constexpr (HalfSum32(V)) {
      return BlendHalfSum32(s, d);
    } else {
      const uint32_t w = maskAlpha * static_cast<uint32_t>(c.param);
      uint32_t out = d & 0xFF000000u;
      for (int ch = 0; ch < 3; ++ch) {
        uint32_t dc = (d >> (8 * ch)) & 0xFF;
        uint32_t x;
        if constexpr (V.mode == 11) {
          uint32_t sc = (s >> (8 * ch)) & 0xFF;
          x = (Source32<V>(sc, c.scaleBright[ch]) * dc) >> 8;
        } else {
          x = Source32<V>((s >> (8 * ch)) & 0xFF, c.scaleBright[ch]);
        }
        out |= BlendMix<kShift<factors + 1>>(x, dc, w) << (8 * ch);
      }
      return out;
    }
  } else if constexpr (AddFormB32(V)) {
    return BlendAdd32B(d, s & 0x00FFFFFFu);
  } else if constexpr (V.mode == 2 || V.mode == 3) {
    // The three shares form the term T (byte 3 zero).
    const uint32_t w = maskAlpha * static_cast<uint32_t>(c.param);
    uint32_t t = 0;
    for (int ch = 0; ch < 3; ++ch) {
      uint32_t x = Source32<V>((s >> (8 * ch)) & 0xFF, c.scaleBright[ch]);
      uint32_t tc;
      if constexpr (factors == 0)
        tc = static_cast<uint32_t>(c.scaleParam[x]);
      else
        tc = BlendPart<kShift<factors + 1>>(x, w);
      t |= tc << (8 * ch);
    }
    if constexpr (V.mode == 2)
      return BlendAdd32A(d, t);
    else
      return BlendSub32(d, t);
  } else {  // mode 4
    uint32_t out = d & 0xFF000000u;
    for (int ch = 0; ch < 3; ++ch) {
      uint32_t x = Source32<V>((s >> (8 * ch)) & 0xFF, c.scaleBright[ch]);
      uint32_t dc = (d >> (8 * ch)) & 0xFF;
      out |= ((dc * x * maskAlpha) >> kShift<factors + 1>) << (8 * ch);
    }
    return out;
  }
}

template <BlitVariant V>
inline void Pixel32(uint8_t* dp, const uint8_t* sp, uint32_t maskByte, const BlendContext& c) {
  uint32_t s;
  if constexpr (V.src == BlitSource::Palette) {
    uint32_t index = *sp;
    if constexpr (V.trans) {
      if (KeyLowByte32(V) ? index == (c.transWide & 0xFF) : index == c.transColor) return;
    }
    s = LoadPixel32(c.palette + 4 * index);
  } else {
    s = LoadPixel32(sp);
    if constexpr (V.src == BlitSource::Plain && V.trans) {
      if (s == c.transColor) return;
    }
  }
  const uint32_t d = LoadPixel32(dp);
  const uint32_t m = V.masked ? MaskRampTable[maskByte] : 0;
  if constexpr (V.src == BlitSource::Alpha && !IgnoresAlpha(V)) {
    const uint32_t a = s >> 24;
    if constexpr (V.trans) {
      if (SkipsAlphaZero32(V) && a == 0) return;
      if (a == 255) {
        StorePixel32(dp, Combine32<V, false>(s, d, a, m, c));
        return;
      }
    }
    StorePixel32(dp, Combine32<V, true>(s, d, a, m, c));
  } else {
    StorePixel32(dp, Combine32<V, false>(s, d, 255, m, c));
  }
}

// ---- 16-bit combine ----

template <BlitVariant V>
inline uint32_t Source16(uint32_t s, uint32_t max, const int32_t* brightRow) {
  if constexpr (V.mode == 10) s = max - s;
  if constexpr (V.white)
    return s;
  else
    return static_cast<uint32_t>(brightRow[s]);
}

// Per channel of an RGB565 pixel: f(channel index 0 blue..2 red, s, d, bits).
template <class F>
inline uint32_t ForChannels565(uint32_t s, uint32_t d, F f) {
  return Pack565(f(2, Red565(s), Red565(d), 5), f(1, Green565(s), Green565(d), 6),
                 f(0, Blue565(s), Blue565(d), 5));
}

template <BlitVariant V, bool HasA>
inline uint32_t Combine16(uint32_t s, uint32_t d, uint32_t a, uint32_t m, const BlendContext& c) {
  constexpr int32_t factors = (V.masked ? 1 : 0) + (HasA ? 1 : 0);
  const uint32_t maskAlpha = (V.masked ? m : 1) * (HasA ? a : 1);
  const uint32_t p = static_cast<uint32_t>(c.param);

  if constexpr (V.mode == 0) {
    if constexpr (!V.masked && !HasA && V.white) {
      return s;
    } else {
      return ForChannels565(s, d, [&](int ch, uint32_t sc, uint32_t dc, int bits) {
        uint32_t x = Source16<V>(sc, (1u << bits) - 1, c.scaleBright[ch]);
        if constexpr (factors == 0)
          return x;
        else
          return BlendMix<kShift<factors>>(x, dc, maskAlpha);
      });
    }
  } else if constexpr (V.mode == 1 || V.mode == 10 || V.mode == 11) {
    if constexpr (HalfSum16(V)) {
      return BlendHalfSum16(s, d) & 0xFFFF;
    } else if constexpr (SixBit16(V)) {
      return ForChannels565(s, d, [&](int, uint32_t sc, uint32_t dc, int) {
        return static_cast<uint32_t>(c.sixRow[sc * 64 + dc]);
      });
    } else {
      return ForChannels565(s, d, [&](int ch, uint32_t sc, uint32_t dc, int bits) -> uint32_t {
        uint32_t x;
        if constexpr (V.mode == 11) {
          x = (Source16<V>(sc, 0, c.scaleBright[ch]) * dc) >> bits;
        } else {
          x = Source16<V>(sc, (1u << bits) - 1, c.scaleBright[ch]);
        }
        if constexpr (!V.masked && !HasA) {
          return BlendDiff(c.diffRow, x, dc);
        } else if constexpr (V.mode == 11 && !V.masked && HasA && V.white) {
          if (bits == 6) {  // green from the product with five more bits
            int32_t num = static_cast<int32_t>(dc << 21) +
                          (static_cast<int32_t>((sc * dc) >> 1) - static_cast<int32_t>(32 * dc)) *
                              static_cast<int32_t>(a * p);
            return static_cast<uint32_t>(num) >> 21;
          }
          return BlendMix<16>(x, dc, a * p);
        } else {
          return BlendMix<kShift<factors + 1>>(x, dc, maskAlpha * p);
        }
      });
    }
  } else if constexpr (V.mode == 2 || V.mode == 3) {
    if constexpr (PairOp16(V)) {
      // A pixel of the two-pixel loop handled on its own: T is the source itself.
      if constexpr (V.mode == 2)
        return BlendAdd16B(d, s);
      else
        return BlendSub16(d, s);
    } else {
      const uint32_t t = ForChannels565(s, 0, [&](int ch, uint32_t sc, uint32_t, int bits) -> uint32_t {
        const uint32_t max = (1u << bits) - 1;
        uint32_t y;
        if constexpr (!V.masked && HasA) {
          y = BlendPart<8>(sc, a);
          if constexpr (!V.white) y = static_cast<uint32_t>(c.scaleBright[ch][y]);
        } else if constexpr (V.masked) {
          y = BlendPart<kShift<factors>>(Source16<V>(sc, max, c.scaleBright[ch]), maskAlpha);
        } else {
          y = Source16<V>(sc, max, c.scaleBright[ch]);
        }
        return static_cast<uint32_t>(c.scaleParam[y]);
      });
      if constexpr (V.mode == 2)
        return BlendAdd16A(d, t);
      else
        return BlendSub16(d, t);
    }
  } else {  // mode 4
    return ForChannels565(s, d, [&](int ch, uint32_t sc, uint32_t dc, int bits) {
      uint32_t x = Source16<V>(sc, (1u << bits) - 1, c.scaleBright[ch]);
      return (dc * x * maskAlpha) >> (bits + kShift<factors>);
    });
  }
}

template <BlitVariant V>
inline bool KeyHit16(uint32_t s, const BlendContext& c) {
  return KeyLow16(V) ? s == (c.transWide & 0xFFFF) : s == c.transColor;
}
template <BlitVariant V>
inline bool IndexHit(uint32_t index, const BlendContext& c) {
  constexpr bool low = KeyLowByte16(V) || KeyLowByte32(V);
  return low ? index == (c.transWide & 0xFF) : index == c.transColor;
}

template <BlitVariant V>
inline void Pixel16(uint8_t* dp, const uint8_t* sp, uint32_t maskByte, const BlendContext& c) {
  uint32_t s;
  uint32_t a = 255;
  if constexpr (V.src == BlitSource::Palette) {
    uint32_t index = *sp;
    if constexpr (V.trans) {
      if (IndexHit<V>(index, c)) return;
    }
    s = LoadPixel16(c.palette + 2 * index);
  } else if constexpr (V.src == BlitSource::Alpha) {
    uint32_t word = LoadPixel32(sp);
    s = word & 0xFFFF;
    a = (word >> 16) & 0xFF;
  } else {
    s = LoadPixel16(sp);
    if constexpr (V.trans) {
      if (KeyHit16<V>(s, c)) return;
    }
  }
  const uint32_t d = LoadPixel16(dp);
  const uint32_t m = V.masked ? MaskRampTable[maskByte] : 0;
  if constexpr (V.src == BlitSource::Alpha && !IgnoresAlpha(V)) {
    if constexpr (V.trans) {
      if (SkipsAlphaZero16(V) && a == 0) return;
      if (a == 255) {
        StorePixel16(dp, Combine16<V, false>(s, d, a, m, c));
        return;
      }
    }
    StorePixel16(dp, Combine16<V, true>(s, d, a, m, c));
  } else {
    StorePixel16(dp, Combine16<V, false>(s, d, a, m, c));
  }
}

// ---- Copies from a palette ----

// Entry-sized words at any address that may alias the byte buffers they are
// read from and written to.
template <int32_t Bytes>
struct PaletteWord;
template <>
struct PaletteWord<2> {
  typedef uint16_t __attribute__((may_alias, aligned(1))) Type;
};
template <>
struct PaletteWord<4> {
  typedef uint32_t __attribute__((may_alias, aligned(1))) Type;
};

// The entries of the eight indices at src stored at dst. The entries are
// loaded into a vector register one by one and stored at once: a pixel costs
// the one load of its entry and a share of a store. The first four indices
// are read one by one, the last four by one load and shifts, which shares
// the work between the load and the arithmetic units.
template <int32_t EntryBytes>
inline void PaletteCopy8(uint8_t* dst, const uint8_t* src, const typename PaletteWord<EntryBytes>::Type* palette) {
  uint32_t high;
  std::memcpy(&high, src + 4, 4);
  // Kept in a general register: vectorised, the lookups become slow
  // lane-by-lane gathers.
  asm("" : "+r"(high));
  const size_t idx[8] = {src[0],       src[1],           src[2],            src[3],
                         high & 0xFFu, high >> 8 & 0xFFu, high >> 16 & 0xFFu, high >> 24};
#if defined(__SSE2__)
  if constexpr (EntryBytes == 4) {
    __m128i e[8];
    for (int32_t k = 0; k < 8; ++k) e[k] = _mm_cvtsi32_si128(static_cast<int32_t>(palette[idx[k]]));
    const __m128i lo = _mm_unpacklo_epi64(_mm_unpacklo_epi32(e[0], e[1]), _mm_unpacklo_epi32(e[2], e[3]));
    const __m128i hi = _mm_unpacklo_epi64(_mm_unpacklo_epi32(e[4], e[5]), _mm_unpacklo_epi32(e[6], e[7]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), hi);
  } else {
    __m128i v = _mm_cvtsi32_si128(palette[idx[0]]);
    v = _mm_insert_epi16(v, palette[idx[1]], 1);
    v = _mm_insert_epi16(v, palette[idx[2]], 2);
    v = _mm_insert_epi16(v, palette[idx[3]], 3);
    v = _mm_insert_epi16(v, palette[idx[4]], 4);
    v = _mm_insert_epi16(v, palette[idx[5]], 5);
    v = _mm_insert_epi16(v, palette[idx[6]], 6);
    v = _mm_insert_epi16(v, palette[idx[7]], 7);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
  }
#else
  using Word = typename PaletteWord<EntryBytes>::Type;
  for (int32_t k = 0; k < 8; ++k) reinterpret_cast<Word*>(dst)[k] = palette[idx[k]];
#endif
}

// Mode 0, no mask, white: each index's entry stored, the whole entry (byte 3
// included for 32-bit images), eight at a time. With trans set, indices are
// read eight and then four at a time: a group without the transparent index
// is copied whole, a group of transparent indices passed over at once, and
// in any other group every index is tested on its own.
template <BlitVariant V, int32_t EntryBytes>
inline void PaletteCopyRow(uint8_t* dst, const uint8_t* src, int32_t n, const BlendContext& c) {
  using Word = typename PaletteWord<EntryBytes>::Type;
  constexpr bool low = EntryBytes == 2 ? KeyLowByte16(V) : KeyLowByte32(V);
  const bool keyed = V.trans && (low || c.transColor <= 0xFF);
  const uint32_t key = c.transColor & 0xFF;
  const uint32_t keyWord = key * 0x01010101u;
  const Word* const palette = reinterpret_cast<const Word*>(c.palette);
  Word* const out = reinterpret_cast<Word*>(dst);
  int32_t i = 0;
  if (!keyed) {
    for (; i + 8 <= n; i += 8) PaletteCopy8<EntryBytes>(dst + EntryBytes * i, src + i, palette);
    for (; i < n; ++i) out[i] = palette[src[i]];
    return;
  }
  // Eight indices at a time: none transparent (no byte of q ^ keys is zero)
  // copies all eight, all transparent passes over them.
  const uint64_t keys = key * 0x0101010101010101ull;
  for (; i + 8 <= n; i += 8) {
    uint64_t q;
    std::memcpy(&q, src + i, 8);
    const uint64_t x = q ^ keys;
    if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) == 0) {
      PaletteCopy8<EntryBytes>(dst + EntryBytes * i, src + i, palette);
    } else if (q != keys) {
      for (int32_t j = i; j < i + 8; ++j)
        if (src[j] != key) out[j] = palette[src[j]];
    }
  }
  for (; i + 4 <= n; i += 4) {
    if (LoadPixel32(src + i) == keyWord) continue;
    for (int32_t j = i; j < i + 4; ++j)
      if (src[j] != key) out[j] = palette[src[j]];
  }
  for (; i < n; ++i)
    if (src[i] != key) out[i] = palette[src[i]];
}

}  // namespace blit_detail
