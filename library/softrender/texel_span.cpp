// The run loops of textured draws, one per depth, source kind, blend mode,
// blend graph, brightness and transparent flag, and their selection.
#include "library/softrender/texel_span.h"

#include <array>
#include <cstring>
#include <utility>

#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_entry.h"

using namespace blit_detail;

namespace {

// ---- Which pixels of a run lie inside the source ----

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Narrows [*first, *last] to the pixels i with 0 <= p + i * step < limit.
void KeepInside(int64_t p, int64_t step, int64_t limit, int64_t* first, int64_t* last) {
  if (step == 0) {
    if (p < 0 || p >= limit) *last = *first - 1;
    return;
  }
  int64_t lo, hi;
  if (step > 0) {
    lo = CeilDiv(-p, step);
    hi = FloorDiv(limit - 1 - p, step);
  } else {
    lo = CeilDiv(limit - 1 - p, step);
    hi = FloorDiv(-p, step);
  }
  if (lo > *first) *first = lo;
  if (hi < *last) *last = hi;
}

// ---- One pixel ----

// Whether the transparent test passes over the texel at sp: a transparent
// index or colour, compared whole; under the transparent flag, alpha 0 in
// the modes that skip it (the others weigh it by 0).
template <BlitVariant V, bool Depth32>
inline bool TexelPassedOver(const uint8_t* sp, const BlendContext& c) {
  if constexpr (!V.trans) {
    return false;
  } else if constexpr (V.src == BlitSource::Palette) {
    return *sp == c.transColor;
  } else if constexpr (V.src == BlitSource::Alpha) {
    constexpr bool skipsZero = V.mode <= 3 || (!Depth32 && V.mode == 10);
    const uint32_t word = LoadPixel32(sp);
    return skipsZero && (Depth32 ? word >> 24 : (word >> 16) & 0xFF) == 0;
  } else {
    return (Depth32 ? LoadPixel32(sp) : LoadPixel16(sp)) == c.transColor;
  }
}

template <BlitVariant V, bool Depth32>
inline void TexelPixel(uint8_t* dp, const uint8_t* sp, const uint8_t* mp, const BlendContext& c) {
  if (TexelPassedOver<V, Depth32>(sp, c)) return;
  const uint32_t m = V.masked ? MaskRampTable[*mp] : 0;
  uint32_t s;
  uint32_t a = 255;
  if constexpr (V.src == BlitSource::Palette) {
    const uint32_t index = *sp;
    s = Depth32 ? LoadPixel32(c.palette + 4 * index) : LoadPixel16(c.palette + 2 * index);
  } else if constexpr (V.src == BlitSource::Alpha) {
    const uint32_t word = LoadPixel32(sp);
    s = Depth32 ? word : word & 0xFFFF;
    a = Depth32 ? word >> 24 : (word >> 16) & 0xFF;
  } else {
    s = Depth32 ? LoadPixel32(sp) : LoadPixel16(sp);
  }
  const uint32_t d = Depth32 ? LoadPixel32(dp) : LoadPixel16(dp);
  auto store = [&](uint32_t value) {
    if constexpr (Depth32)
      StorePixel32(dp, value);
    else
      StorePixel16(dp, value);
  };
  auto combine = [&]<bool HasA>() {
    if constexpr (Depth32)
      return Combine32<V, HasA>(s, d, a, m, c);
    else
      return Combine16<V, HasA>(s, d, a, m, c);
  };
  if constexpr (V.src == BlitSource::Alpha) {
    if constexpr (V.trans) {
      // Alpha 255 draws as a source without alpha.
      if (a == 255) {
        store(combine.template operator()<false>());
        return;
      }
    }
    store(combine.template operator()<true>());
  } else {
    store(combine.template operator()<false>());
  }
}

// ---- The run ----

// The pixels of a run of n whose positions lie inside the source: false
// when none; else the first one's index and position, and the last one's index.
bool InsideRun(int32_t n, int64_t* u, int64_t* v, int64_t du, int64_t dv, const TexelContext& c, int64_t* first,
               int64_t* last) {
  *first = 0;
  *last = static_cast<int64_t>(n) - 1;
  KeepInside(*u, du, c.uLimit, first, last);
  KeepInside(*v, dv, c.vLimit, first, last);
  if (*first > *last) return false;
  *u += *first * du;
  *v += *first * dv;
  return true;
}

template <BlitVariant V, bool Depth32>
void TexelSpan(uint8_t* dst, int32_t n, int64_t u, int64_t v, int64_t du, int64_t dv, const TexelContext& c) {
  int64_t first, last;
  if (!InsideRun(n, &u, &v, du, dv, c, &first, &last)) return;
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, Depth32);
  constexpr int32_t dstBytes = Depth32 ? 4 : 2;
  uint8_t* dp = dst + first * dstBytes;
  for (int64_t i = first; i <= last; ++i, dp += dstBytes, u += du, v += dv) {
    // Both positions are inside, so not negative: the shift is the division.
    const int64_t tu = u >> 18, tv = v >> 18;
    const uint8_t* mp = V.masked ? c.mask + tv * c.maskPitch + tu : nullptr;
    TexelPixel<V, Depth32>(dp, c.src + tv * c.srcPitch + tu * srcBytes, mp, c.blend);
  }
}

// Whether the run would draw the pixel at (u, v): inside the source and
// not passed over.
template <BlitVariant V, bool Depth32>
bool TexelDrawn(int64_t u, int64_t v, const TexelContext& c) {
  if (u < 0 || u >= c.uLimit || v < 0 || v >= c.vLimit) return false;
  const uint8_t* sp = c.src + (v >> 18) * c.srcPitch + (u >> 18) * BlitSourceBytes(V.src, Depth32);
  return !TexelPassedOver<V, Depth32>(sp, c.blend);
}

// ---- Runs through the blits' vector loops ----

// The texels of a run gathered into a row, a block at a time, and drawn by
// the vector loop of the variant (context.blend.rect), which gives each
// pixel what TexelPixel gives it.
constexpr int32_t kGatherBlock = 256;

template <int32_t SrcBytes, int32_t DstBytes>
void GatheredSpan(uint8_t* dst, int32_t n, int64_t u, int64_t v, int64_t du, int64_t dv, const TexelContext& c) {
  int64_t first, last;
  if (!InsideRun(n, &u, &v, du, dv, c, &first, &last)) return;
  uint8_t* dp = dst + first * DstBytes;
  alignas(32) uint8_t texels[kGatherBlock * SrcBytes];
  for (int64_t left = last - first + 1; left > 0;) {
    const int32_t count = left < kGatherBlock ? static_cast<int32_t>(left) : kGatherBlock;
    for (int32_t i = 0; i < count; ++i, u += du, v += dv)
      std::memcpy(texels + SrcBytes * i, c.src + (v >> 18) * c.srcPitch + (u >> 18) * SrcBytes, SrcBytes);
    c.blend.rect(dp, 0, texels, 0, count, 1, c.blend);
    dp += static_cast<int64_t>(count) * DstBytes;
    left -= count;
  }
}

// The blit variant whose vector loop draws a textured run as TexelPixel
// does: a stretched one, but the multiply of an alpha source weighs
// alpha 0 (as the unscaled blit does) instead of passing over it. Null when
// the variant has no vector loop, is a plain copy (the run loop is already
// a gather), or compares a 16-bit key on its low half only.
BlitRectFn TexelRect(const BlitVariant& texel, bool depth32, uint32_t transColor, BlendContext* blend) {
  if (IsCopy(texel) && !texel.trans) return nullptr;
  BlitVariant v = texel;
  if (v.mode == 4 && v.src == BlitSource::Alpha) v.stretched = false;
  if (!depth32 && v.trans && KeyLow16(v) && transColor > 0xFFFF) return nullptr;
  BlendContext probe = *blend;
  if (depth32)
    SelectRow32(v, &probe);
  else
    SelectRow16(v, &probe);
  blend->rect = probe.rect;
  return probe.rect;
}

TexelSpanFn GatheredSpanFor(bool depth32, BlitSource src) {
  if (depth32) return src == BlitSource::Palette ? &GatheredSpan<1, 4> : &GatheredSpan<4, 4>;
  return src == BlitSource::Palette ? &GatheredSpan<1, 2> : src == BlitSource::Alpha ? &GatheredSpan<4, 2>
                                                                                     : &GatheredSpan<2, 2>;
}

// ---- Selection ----

constexpr int32_t kModeCount = 7;
constexpr int32_t kVariantCount = kModeCount * 2 * 2 * 2 * 3;

// The blit variant whose rules a textured draw runs: the parameter case and
// the stretched flag chosen so that no shortcut of the unscaled blit applies.
constexpr BlitVariant TexelVariantAt(int32_t i) {
  BlitVariant v{};
  v.src = static_cast<BlitSource>(i % 3);
  i /= 3;
  v.trans = i % 2 != 0;
  i /= 2;
  v.white = i % 2 != 0;
  i /= 2;
  v.masked = i % 2 != 0;
  v.mode = kBlitModeSlots[i / 2];
  v.param = BlitParam::General;
  v.stretched = true;
  return v;
}

constexpr int32_t TexelVariantIndex(int32_t mode, bool masked, bool white, bool trans, BlitSource src) {
  int32_t slot = 0;
  while (slot < kModeCount - 1 && kBlitModeSlots[slot] != mode) ++slot;
  return (((slot * 2 + (masked ? 1 : 0)) * 2 + (white ? 1 : 0)) * 2 + (trans ? 1 : 0)) * 3 +
         static_cast<int32_t>(src);
}

template <bool Depth32, size_t... I>
constexpr std::array<TexelSpanFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {&TexelSpan<TexelVariantAt(static_cast<int32_t>(I)), Depth32>...};
}

constexpr auto kSpans32 = MakeTable<true>(std::make_index_sequence<kVariantCount>());
constexpr auto kSpans16 = MakeTable<false>(std::make_index_sequence<kVariantCount>());

template <bool Depth32, size_t... I>
constexpr std::array<TexelDrawnFn, sizeof...(I)> MakeDrawnTable(std::index_sequence<I...>) {
  return {&TexelDrawn<TexelVariantAt(static_cast<int32_t>(I)), Depth32>...};
}

constexpr auto kDrawn32 = MakeDrawnTable<true>(std::make_index_sequence<kVariantCount>());
constexpr auto kDrawn16 = MakeDrawnTable<false>(std::make_index_sequence<kVariantCount>());

}  // namespace

TexelSpanFn PrepareTexelSpan(const MEMIMG* dst, const MEMIMG* src, int32_t trans, const MEMIMG* mask,
                             uint8_t* paletteCopy, TexelContext* context) {
  if (!BlitRecordsFit(dst, src, mask)) return nullptr;
  const MemImgBuffer* sb = src->buffer;
  if (sb->depthKind != MemImgDepth16 && sb->depthKind != MemImgDepth32) return nullptr;
  const bool paletted = sb->paletted == 1;
  if (paletted) CopySourcePalette(paletteCopy, sb);
  const int32_t mode = EffectiveBlendMode(paletted);
  if (mode < 0) return nullptr;
  context->blend = MakeBlendContext(sb, paletteCopy);
  context->blend.rect = nullptr;
  context->src = src->pixels;
  context->srcPitch = sb->pitch;
  context->mask = mask != nullptr ? mask->pixels : nullptr;
  context->maskPitch = mask != nullptr ? mask->buffer->pitch : 0;
  context->uLimit = static_cast<int64_t>(src->width) * kFixedOne;
  context->vLimit = static_cast<int64_t>(src->height) * kFixedOne;
  const int32_t index =
      TexelVariantIndex(mode, mask != nullptr, IsDrawBrightWhite(), trans != 0, SourceKindOf(sb));
  const bool depth32 = sb->depthKind == MemImgDepth32;
  context->drawn = depth32 ? kDrawn32[index] : kDrawn16[index];
  if (TexelRect(TexelVariantAt(index), depth32, sb->transColor, &context->blend) != nullptr)
    return GatheredSpanFor(depth32, SourceKindOf(sb));
  return depth32 ? kSpans32[index] : kSpans16[index];
}
