// Row loops of 16-bit RGB565 images and their selection table.
#include <array>
#include <cstring>
#include <utility>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/blit_rect_table.h"
#include "library/softrender/simd_ops.h"

using namespace blit_detail;

namespace {

// The two-pixel add or subtract of the source pair itself: each pair read as
// one word from the row's first pixel on, a pair with one transparent pixel
// drawn one pixel at a time, an odd last pixel on its own.
template <BlitVariant V>
void PairRow16(uint8_t* dst, const uint8_t* src, int32_t n, const BlendContext& c) {
  const int32_t pairs = n / 2;
  for (int32_t i = 0; i < pairs; ++i) {
    uint8_t* dp = dst + 4 * i;
    uint32_t left, right;
    bool skipLeft = false, skipRight = false;
    if constexpr (V.src == BlitSource::Palette) {
      const uint32_t il = src[2 * i], ir = src[2 * i + 1];
      if constexpr (V.trans) {
        skipLeft = IndexHit<V>(il, c);
        skipRight = IndexHit<V>(ir, c);
      }
      left = LoadPixel16(c.palette + 2 * il);
      right = LoadPixel16(c.palette + 2 * ir);
    } else {
      const uint32_t s2 = LoadPixel32(src + 4 * i);
      left = s2 & 0xFFFF;
      right = s2 >> 16;
      if constexpr (V.trans) {
        skipLeft = KeyHit16<V>(left, c);
        skipRight = KeyHit16<V>(right, c);
      }
    }
    if constexpr (V.trans) {
      if (skipLeft && skipRight) continue;
      if (skipLeft || skipRight) {
        uint8_t* p = skipLeft ? dp + 2 : dp;
        StorePixel16(p, Combine16<V, false>(skipLeft ? right : left, LoadPixel16(p), 255, 0, c));
        continue;
      }
    }
    const uint32_t s2 = left | right << 16;
    const uint32_t d2 = LoadPixel32(dp);
    StorePixel32(dp, V.mode == 2 ? BlendAdd16Pair(d2, s2) : BlendSub16Pair(d2, s2));
  }
  if (n & 1) Pixel16<V>(dst + 4 * pairs, src + BlitSourceBytes(V.src, false) * 2 * pairs, 0, c);
}

template <BlitVariant V>
void Row16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, const BlendContext& c) {
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, false);
  if constexpr (IsCopy(V) && !V.trans && V.src == BlitSource::Plain) {
    std::memcpy(dst, src, static_cast<size_t>(n) * 2);
  } else if constexpr (IsCopy(V) && V.src == BlitSource::Palette) {
    PaletteCopyRow<V, 2>(dst, src, n, c);
  } else if constexpr (PairOp16(V)) {
    PairRow16<V>(dst, src, n, c);
  } else {
    if constexpr (HasSimd16<V>()) {
      c.rect(dst, 0, src, 0, n, 1, c);
    } else {
      for (int32_t i = 0; i < n; ++i) Pixel16<V>(dst + 2 * i, src + srcBytes * i, V.masked ? mask[i] : 0, c);
    }
  }
}

// (Not for the two-pixel loops, whose pairs start at a row's first pixel.)
template <BlitVariant V>
void PixelRow16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, const BlendContext& c) {
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, false);
  for (int32_t i = 0; i < n; ++i) Pixel16<V>(dst + 2 * i, src + srcBytes * i, V.masked ? mask[i] : 0, c);
}

template <size_t... I>
constexpr std::array<BlitRowFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {&Row16<Canonical16(BlitVariantAt(static_cast<int32_t>(I)))>...};
}

template <int32_t I>
constexpr BlitRowFn PixelEntry() {
  constexpr BlitVariant v = Canonical16(BlitVariantAt(I));
  if constexpr (v.trans && !v.stretched && !PairOp16(v))
    return &PixelRow16<v>;
  else
    return nullptr;
}
template <size_t... I>
constexpr std::array<BlitRowFn, sizeof...(I)> MakePixelTable(std::index_sequence<I...>) {
  return {PixelEntry<static_cast<int32_t>(I)>()...};
}

constexpr auto kTable = MakeTable(std::make_index_sequence<kBlitVariantCount>());
constexpr auto kPixelTable = MakePixelTable(std::make_index_sequence<kBlitVariantCount>());

}  // namespace

BlitRowFn SelectPixelRow16(const BlitVariant& v) { return kPixelTable[BlitVariantIndex(v)]; }

BlitRowFn SelectRow16(const BlitVariant& v, BlendContext* context) {
  const int32_t index = BlitVariantIndex(v);
  context->rect = BlitUseAvx2 ? WideRect16At(index) : kRectTable<Sse2Ops, false>[index];
  return kTable[index];
}
