// Preparation of flat colours and the run loops of every rule and depth.
#include "library/softrender/flat_color.h"

#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_kernels.h"
#include "library/softrender/flat_simd.h"

namespace {

template <FlatRule R>
inline void FlatSpan32(uint8_t* dst, int32_t n, const FlatColor& f) {
  int32_t i = 0;
  if (f.wide != nullptr) i = f.wide(dst, n, f);
  i += flat_detail::FlatSpanSimd32<R, Sse2Ops>(dst + 4 * i, n - i, f);
  for (; i < n; ++i) FlatPixel<R, true>(dst + 4 * i, f);
}

template <FlatRule R>
inline void FlatSpan16(uint8_t* dst, int32_t n, const FlatColor& f) {
  int32_t i = 0;
  if (f.wide != nullptr) i = f.wide(dst, n, f);
  i += flat_detail::FlatSpanSimd16<R, Sse2Ops>(dst + 2 * i, n - i, f);
  for (; i < n; ++i) FlatPixel<R, false>(dst + 2 * i, f);
}

template <FlatRule R, bool Depth32>
void FlatRows(uint8_t* row, int32_t pitch, int32_t n, int32_t height, const FlatColor& f) {
  for (int32_t y = 0; y < height; ++y, row += pitch) {
    if constexpr (Depth32)
      FlatSpan32<R>(row, n, f);
    else
      FlatSpan16<R>(row, n, f);
  }
}

constexpr FlatSpanFn kSpans32[kFlatRuleCount] = {
    &FlatSpan32<FlatRule::Copy>,     &FlatSpan32<FlatRule::Alpha>,    &FlatSpan32<FlatRule::Add>,
    &FlatSpan32<FlatRule::Subtract>, &FlatSpan32<FlatRule::Multiply>, &FlatSpan32<FlatRule::MultiplyAlpha>};
constexpr FlatSpanFn kSpans16[kFlatRuleCount] = {
    &FlatSpan16<FlatRule::Copy>,     &FlatSpan16<FlatRule::Alpha>,    &FlatSpan16<FlatRule::Add>,
    &FlatSpan16<FlatRule::Subtract>, &FlatSpan16<FlatRule::Multiply>, &FlatSpan16<FlatRule::MultiplyAlpha>};

// (c * b) >> 8, or c * b / 255 from the table.
inline uint32_t Brighten(uint32_t c, uint8_t b, FlatBrightness how) {
  return how == FlatBrightness::Shift ? (c * b) >> 8 : static_cast<uint32_t>(BlendScaleTable[b][c]);
}

}  // namespace

bool GetFlatTarget(const MEMIMG* dst, FlatTarget* target, bool alpha32) {
  if (dst == nullptr || dst->buffer == nullptr) return false;
  const MemImgBuffer* b = dst->buffer;
  if (b->paletted == 1 || (b->alpha == 1 && !(alpha32 && b->depthKind == MemImgDepth32))) return false;
  if (b->depthKind != MemImgDepth16 && b->depthKind != MemImgDepth32) return false;
  if (b->format == nullptr || b->format->bytesPerPixel != MemImgBytesPerPixel(b->depthKind, 0, 0))
    return false;
  target->pixels = dst->pixels;
  target->pitch = b->pitch;
  target->depth32 = b->depthKind == MemImgDepth32;
  return true;
}

bool PrepareFlatColor(uint32_t colour, bool depth32, FlatBrightness brightness, FlatRule* rule,
                      FlatColor* flat) {
  // The setter keeps the parameter in 0..255; a stray value must not index
  // outside the tables.
  const int32_t p = DrawBlendParam < 0 ? 0 : DrawBlendParam > 255 ? 255 : DrawBlendParam;
  bool inverted = false;
  switch (static_cast<uint32_t>(DrawBlendMode)) {
    case 0:
      *rule = FlatRule::Copy;
      break;
    case 1:
      if (p == 0) return false;
      *rule = p == 255 ? FlatRule::Copy : FlatRule::Alpha;
      break;
    case 2:
      if (p == 0) return false;
      *rule = FlatRule::Add;
      break;
    case 3:
      if (p == 0) return false;
      *rule = FlatRule::Subtract;
      break;
    case 4:
      *rule = FlatRule::Multiply;
      break;
    case 10:
      *rule = FlatRule::Alpha;
      inverted = true;
      break;
    case 11:
      *rule = FlatRule::MultiplyAlpha;
      break;
    default:
      return false;
  }

  // Brightness (the shift form leaves a white brightness out; the table
  // form is the identity then), then mode 10's inversion, then the term of
  // add and subtract, all on the channels in their own widths.
  const bool apply = brightness == FlatBrightness::Table || !IsDrawBrightWhite();
  const int32_t* scale = BlendScaleTable[p];
  if (depth32) {
    uint32_t b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
    if (apply) {
      b = Brighten(b, DrawBright.blue, brightness);
      g = Brighten(g, DrawBright.green, brightness);
      r = Brighten(r, DrawBright.red, brightness);
    }
    flat->colour = (colour & 0xFF000000u) | r << 16 | g << 8 | b;
    if (inverted) flat->colour ^= 0x00FFFFFFu;
    flat->term = static_cast<uint32_t>(scale[b] | scale[g] << 8 | scale[r] << 16);
  } else {
    uint32_t r = Red565(colour), g = Green565(colour), b = Blue565(colour);
    if (apply) {
      r = Brighten(r, DrawBright.red, brightness);
      g = Brighten(g, DrawBright.green, brightness);
      b = Brighten(b, DrawBright.blue, brightness);
    }
    flat->colour = Pack565(r, g, b);
    if (inverted) flat->colour ^= 0xFFFFu;
    flat->term = Pack565(static_cast<uint32_t>(scale[r]), static_cast<uint32_t>(scale[g]),
                         static_cast<uint32_t>(scale[b]));
  }
  flat->param = static_cast<uint32_t>(p);
  flat->diffRow = &BlendDiffTable[p][255];
  flat->wide = nullptr;
  return true;
}

FlatSpanFn SelectFlatSpan(bool depth32, FlatRule rule, FlatColor* flat) {
  flat->wide = BlitUseAvx2 ? FlatWideSpanAt(depth32, rule) : nullptr;
  return (depth32 ? kSpans32 : kSpans16)[static_cast<int32_t>(rule)];
}

FlatRowsFn SelectFlatRows(bool depth32, FlatRule rule, FlatColor* flat) {
  flat->wide = BlitUseAvx2 ? FlatWideSpanAt(depth32, rule) : nullptr;
  FlatRowsFn rows = nullptr;
  WithFlatRule(rule, depth32, [&]<FlatRule R, bool Depth32>() { rows = &FlatRows<R, Depth32>; });
  return rows;
}
