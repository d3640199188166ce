#include "library/softrender/soft_blit.h"

#include <cstring>

#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_entry.h"

alignas(16) uint8_t BlitPaletteCopy[1024];

namespace {

// Fixed once per call and read by the row loops.
struct BlitSetup {
  int32_t width, height;
  int32_t srcX, srcY;
  const uint8_t* srcStart;
  int32_t srcPitch;
  uint8_t* dstStart;
  int32_t dstPitch;
  const uint8_t* maskStart;
  int32_t maskPitch;
};

int32_t AddClamped(int32_t a, int32_t b) {
  int64_t sum = static_cast<int64_t>(a) + b;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

}  // namespace

bool BlitRecordsFit(const MEMIMG* dst, const MEMIMG* src, const MEMIMG* mask) {
  if (dst == nullptr || src == nullptr || dst->buffer == nullptr || src->buffer == nullptr) return false;
  const MemImgBuffer* db = dst->buffer;
  const MemImgBuffer* sb = src->buffer;
  if (sb->depthKind != db->depthKind || db->paletted == 1 || db->alpha == 1) return false;
  if (db->format == nullptr || sb->format == nullptr ||
      db->format->bytesPerPixel != MemImgBytesPerPixel(db->depthKind, 0, 0) ||
      sb->format->bytesPerPixel != MemImgBytesPerPixel(sb->depthKind, sb->paletted, sb->alpha))
    return false;
  if (mask != nullptr && (mask->buffer == nullptr || mask->width < src->width || mask->height < src->height))
    return false;
  return true;
}

BlendContext MakeBlendContext(const MemImgBuffer* src, const uint8_t* paletteCopy) {
  // The setter keeps the parameter in 0..255; a stray value must not index
  // outside the tables.
  const int32_t p = DrawBlendParam < 0 ? 0 : DrawBlendParam > 255 ? 255 : DrawBlendParam;
  BlendContext c;
  c.param = p;
  c.scaleParam = BlendScaleTable[p];
  c.scaleBright[0] = BlendScaleTable[DrawBright.blue];
  c.scaleBright[1] = BlendScaleTable[DrawBright.green];
  c.scaleBright[2] = BlendScaleTable[DrawBright.red];
  c.bright[0] = DrawBright.blue;
  c.bright[1] = DrawBright.green;
  c.bright[2] = DrawBright.red;
  c.diffRow = &BlendDiffTable[p][255];
  c.sixRow = &Blend6BitTable[p / 4][0][0];
  c.transColor = src->transColor;
  if (src->paletted == 1)
    c.transWide = (src->transColor & 0xFF) * 0x01010101u;
  else if (src->depthKind == MemImgDepth16)
    c.transWide = src->transColor | (src->transColor << 16);
  else
    c.transWide = src->transColor;
  c.palette = paletteCopy;
  return c;
}

void CopySourcePalette(uint8_t* copy, const MemImgBuffer* src) {
  const int32_t entryBytes = src->depthKind == MemImgDepth16 ? 2 : 4;
  int32_t count = src->palette == nullptr || src->paletteCount < 0 ? 0 : src->paletteCount;
  if (count > 256) count = 256;
  if (count > 0) std::memcpy(copy, src->palette, static_cast<size_t>(count * entryBytes));
  std::memset(copy + count * entryBytes, 0, static_cast<size_t>((256 - count) * entryBytes));
}

int32_t EffectiveBlendMode(bool paletted) {
  const uint32_t mode = static_cast<uint32_t>(DrawBlendMode);
  if (mode > 11 || (mode >= 5 && mode <= 9)) return -1;
  const int32_t p = DrawBlendParam;
  switch (mode) {
    case 1:
      return p <= 0 ? -1 : p >= 255 ? 0 : 1;
    case 2:
      return p <= 0 ? -1 : 2;
    case 3:
      return p <= 0 && !paletted ? -1 : 3;
    default:
      return static_cast<int32_t>(mode);
  }
}

BlitSource SourceKindOf(const MemImgBuffer* src) {
  return src->paletted == 1 ? BlitSource::Palette : src->alpha == 1 ? BlitSource::Alpha : BlitSource::Plain;
}

BlitRowFn PrepareBlitRow(const MemImgBuffer* src, bool masked, int32_t trans, bool stretched,
                         uint8_t* paletteCopy, BlendContext* context, BlitVariant* variant) {
  const bool paletted = src->paletted == 1;
  if (paletted) CopySourcePalette(paletteCopy, src);
  if (src->depthKind != MemImgDepth16 && src->depthKind != MemImgDepth32) return nullptr;
  const int32_t mode = EffectiveBlendMode(paletted);
  if (mode < 0) return nullptr;

  *context = MakeBlendContext(src, paletteCopy);
  BlitVariant& v = *variant;
  v.mode = mode;
  v.masked = masked;
  v.white = IsDrawBrightWhite();
  v.trans = trans != 0;
  v.src = SourceKindOf(src);
  // (A case without loops of its own, such as 128 in a stretched draw, runs
  // the general ones: the tables map it there.)
  v.param = context->param == 128   ? BlitParam::Half
            : context->param == 255 ? BlitParam::Full
                                    : BlitParam::General;
  v.stretched = stretched;
  return src->depthKind == MemImgDepth32 ? SelectRow32(v, context) : SelectRow16(v, context);
}

void SoftBlit(MEMIMG* dst, const MEMIMG* src, int32_t x, int32_t y, int32_t trans, const MEMIMG* mask) {
  if (!BlitRecordsFit(dst, src, mask)) return;
  const MemImgBuffer* sb = src->buffer;
  const MemImgBuffer* db = dst->buffer;

  PixelRect rect = {x, y, AddClamped(x, src->width), AddClamped(y, src->height)};
  ClipRectToArea(&rect, &DrawClipRect);
  BlitSetup s;
  s.width = rect.right - rect.left;
  s.height = rect.bottom - rect.top;
  if (s.width == 0 || s.height == 0) return;
  s.srcX = rect.left - x;
  s.srcY = rect.top - y;

  const int32_t srcBytes = sb->format->bytesPerPixel;
  const int32_t dstBytes = db->format->bytesPerPixel;
  s.srcPitch = sb->pitch;
  s.srcStart =
      src->pixels + static_cast<int64_t>(s.srcY) * sb->pitch + static_cast<int64_t>(s.srcX) * srcBytes;
  s.dstPitch = db->pitch;
  s.dstStart =
      dst->pixels + static_cast<int64_t>(rect.top) * db->pitch + static_cast<int64_t>(rect.left) * dstBytes;
  s.maskStart = nullptr;
  s.maskPitch = 0;
  if (mask != nullptr) {
    s.maskPitch = mask->buffer->pitch;
    s.maskStart = mask->pixels + static_cast<int64_t>(s.srcY) * s.maskPitch + s.srcX;
  }

  BlendContext context;
  BlitVariant v;
  const BlitRowFn row = PrepareBlitRow(sb, mask != nullptr, trans, false, BlitPaletteCopy, &context, &v);
  if (row == nullptr) return;

  // Rows that follow each other without a gap in every image are one long
  // row (not for the two-pixel loops when a row's width is odd: each row's
  // pairs start at its first pixel).
  if (s.srcPitch == s.width * srcBytes && s.dstPitch == s.width * dstBytes &&
      (mask == nullptr || s.maskPitch == s.width) && (sb->depthKind == MemImgDepth32 || s.width % 2 == 0) &&
      static_cast<int64_t>(s.width) * s.height <= INT32_MAX) {
    s.width *= s.height;
    s.height = 1;
  }

  if (context.rect != nullptr) {  // the vector loops take every row at once
    context.rect(s.dstStart, s.dstPitch, s.srcStart, s.srcPitch, s.width, s.height, context);
    return;
  }
  uint8_t* d = s.dstStart;
  const uint8_t* p = s.srcStart;
  const uint8_t* m = s.maskStart;
  for (int32_t r = 0;;) {
    row(d, p, m, s.width, context);
    if (++r == s.height) break;
    d += s.dstPitch;
    p += s.srcPitch;
    if (m != nullptr) m += s.maskPitch;
  }
}
