#include <cstddef>
#include <cstring>

#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_entry.h"
#include "library/softrender/simd_ops.h"
#include "library/softrender/soft_blit.h"

alignas(16) uint8_t StretchPaletteCopy[1024];

namespace {

// Sizes the 16.16 stepping can hold.
constexpr int64_t kMaxRectSize = 32767;
constexpr int32_t kMaxSourceSize = 65535;

// For every destination column of a row (the same in every row): the byte
// offset of its source pixel from the row's first, and its source column
// counted from the start edge; then one row of gathered source pixels and
// mask bytes.
ptrdiff_t StretchOffsets[kMaxRectSize];
uint16_t StretchColumns[kMaxRectSize];
alignas(16) uint8_t StretchRowPixels[kMaxRectSize * 4];
uint8_t StretchRowMask[kMaxRectSize];

// Fixed once per call: the stepping of both axes and the start pointers.
struct StretchSetup {
  int32_t dirX, dirY;
  uint32_t stepX, stepY;
  int32_t skipX, skipY;
  int32_t accX0, accY0;
  int32_t width, height;
  const uint8_t* srcRow;
  int32_t srcPixelStep, srcRowStep;
  const uint8_t* maskRow;
  int32_t maskPixelStep, maskRowStep;
  uint8_t* dstRow;
  int32_t dstPitch;
};

// One advance of an accumulator after a destination pixel or row: the
// standard rule moves on while the accumulator is not above 0, the zero-stop
// rule only while it is below 0. Returns the source steps taken.
inline int32_t Advance(int32_t& acc, int32_t step, bool zeroStop) {
  acc -= 65536;
  if (acc > 0) return 0;
  int32_t moved = 0;
  if (zeroStop) {
    do {
      ++moved;
      acc += step;
    } while (acc < 0);
  } else {
    do {
      acc += step;
      ++moved;
    } while (acc <= 0);
  }
  return moved;
}

template <int32_t Bytes>
void GatherRow(uint8_t* out, const uint8_t* row, int32_t n) {
#pragma GCC unroll 4
  for (int32_t i = 0; i < n; ++i) std::memcpy(out + Bytes * i, row + StretchOffsets[i], Bytes);
}

void GatherMask(const uint8_t* row, int32_t step, int32_t n) {
  for (int32_t i = 0; i < n; ++i) StretchRowMask[i] = row[StretchColumns[i] * step];
}

using GatherFn = void (*)(uint8_t*, const uint8_t*, int32_t);

GatherFn GatherFor(int32_t bytes) {
  return bytes == 1 ? &GatherRow<1> : bytes == 2 ? &GatherRow<2> : &GatherRow<4>;
}

#if defined(__SSE2__)
// One vector of destination pixels from the source pixels Step apart that
// start at in (Step of -2, -1 or 2; 16 bytes of 4 or 2-byte pixels). The
// loads cover the pixels from the first to the last taken and, for a Step of
// two, the one beyond the last.
template <int32_t Bytes, int32_t Step>
inline __m128i StridedVector(const uint8_t* in) {
  constexpr int32_t lanes = 16 / Bytes;
  const auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  if constexpr (Step == 2) {
    const __m128i a = load(in), b = load(in + 16);
    if constexpr (Bytes == 4)
      return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    else  // the even 16-bit halves, sign-extended so that the pack keeps them whole
      return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
  } else if constexpr (Step == -1) {
    const __m128i a = load(in - Bytes * (lanes - 1));
    if constexpr (Bytes == 4)
      return _mm_shuffle_epi32(a, _MM_SHUFFLE(0, 1, 2, 3));
    else
      return _mm_shuffle_epi32(
          _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, _MM_SHUFFLE(0, 1, 2, 3)), _MM_SHUFFLE(0, 1, 2, 3)),
          _MM_SHUFFLE(1, 0, 3, 2));
  } else {
    static_assert(Step == -2);
    // a ends at the first pixel taken, b just before a.
    const __m128i a = load(in - 16 + Bytes), b = load(in - 32 + Bytes);
    if constexpr (Bytes == 4) {
      return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(1, 3, 1, 3)));
    } else {  // the odd 16-bit halves, then each half of the result reversed
      const __m128i odd = _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16));
      return _mm_shufflehi_epi16(_mm_shufflelo_epi16(odd, _MM_SHUFFLE(0, 1, 2, 3)), _MM_SHUFFLE(0, 1, 2, 3));
    }
  }
}

// n destination pixels from the source pixels Step apart that start at in.
// A vector is taken while a further pixel of the row follows it, so that no
// load reaches beyond the row's last pixel; the rest go one by one.
template <int32_t Bytes, int32_t Step>
void StridedRow(uint8_t* out, const uint8_t* in, int32_t n) {
  constexpr int32_t lanes = 16 / Bytes;
  int32_t i = 0;
  for (; i + lanes < n; i += lanes)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Bytes * i),
                     StridedVector<Bytes, Step>(in + static_cast<ptrdiff_t>(Bytes * Step) * i));
  for (; i < n; ++i) std::memcpy(out + Bytes * i, in + static_cast<ptrdiff_t>(Bytes * Step) * i, Bytes);
}

#endif

template <int32_t Bytes>
void ForwardRow(uint8_t* out, const uint8_t* in, int32_t n) {
  std::memcpy(out, in, static_cast<size_t>(n) * Bytes);
}

// The copy of a row whose columns after the first are one, or two, source
// pixels apart in either direction (pixel sizes of 2 and 4 bytes), or null.
template <int32_t Bytes>
GatherFn StridedForBytes(int32_t step) {
#if defined(__SSE2__)
  switch (step) {
    case 1:
      return &ForwardRow<Bytes>;
    case 2:
      return &StridedRow<Bytes, 2>;
    case -1:
      return &StridedRow<Bytes, -1>;
    case -2:
      return &StridedRow<Bytes, -2>;
  }
#endif
  (void)step;
  return nullptr;
}

GatherFn StridedFor(int32_t bytes, int32_t step) {
  return bytes == 4 ? StridedForBytes<4>(step) : bytes == 2 ? StridedForBytes<2>(step) : nullptr;
}

// The source pixels between the columns after the first when they are evenly
// spaced (the first is often a step of its own: the zero-stop rule shrinks by
// two as 0, 1, 3, 5...), signed by the direction; 0 otherwise.
int32_t EvenColumnStep(int32_t n, int32_t dir) {
  if (n < 3) return 0;
  const int32_t step = StretchColumns[2] - StretchColumns[1];
  for (int32_t i = 3; i < n; ++i)
    if (StretchColumns[i] - StretchColumns[i - 1] != step) return 0;
  return step * dir;
}

}  // namespace

void SoftBlitStretch(MEMIMG* dst, const MEMIMG* src, const int32_t* rect, int32_t trans, const MEMIMG* mask) {
  if (rect == nullptr) return;
  StretchSetup s;
  // Ordered in 64 bits, so that no pair of coordinates overflows.
  const int64_t x1 = rect[0], y1 = rect[1], x2 = rect[2], y2 = rect[3];
  s.dirX = x1 > x2 ? -1 : 1;
  s.dirY = y1 > y2 ? -1 : 1;
  const int64_t left = s.dirX < 0 ? x2 : x1, right = s.dirX < 0 ? x1 : x2;
  const int64_t top = s.dirY < 0 ? y2 : y1, bottom = s.dirY < 0 ? y1 : y2;
  const int64_t rectWidth = right - left, rectHeight = bottom - top;
  if (rectWidth == 0 || rectHeight == 0) return;
  if (!BlitRecordsFit(dst, src, nullptr)) return;

  if (rectWidth == src->width && rectHeight == src->height && s.dirX > 0 && s.dirY > 0) {
    SoftBlit(dst, src, static_cast<int32_t>(left), static_cast<int32_t>(top), trans, mask);
    return;
  }
  if (rectWidth > kMaxRectSize || rectHeight > kMaxRectSize || src->width < 1 ||
      src->width > kMaxSourceSize || src->height < 1 || src->height > kMaxSourceSize)
    return;
  if (!BlitRecordsFit(dst, src, mask)) return;
  const MemImgBuffer* sb = src->buffer;
  const MemImgBuffer* db = dst->buffer;

  s.stepX = (static_cast<uint32_t>(rectWidth) << 16) / static_cast<uint32_t>(src->width);
  s.stepY = (static_cast<uint32_t>(rectHeight) << 16) / static_cast<uint32_t>(src->height);
  const int32_t origLeft = static_cast<int32_t>(left), origTop = static_cast<int32_t>(top);
  PixelRect clipped = {origLeft, origTop, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  ClipRectToArea(&clipped, &DrawClipRect);
  s.width = clipped.right - clipped.left;
  s.height = clipped.bottom - clipped.top;
  // Tested before the clipped offsets are scaled: only a rectangle that keeps
  // pixels has offsets below its size.
  if (s.width == 0 || s.height == 0) return;
  const int32_t offsetX = (clipped.left - origLeft) << 16;
  const int32_t offsetY = (clipped.top - origTop) << 16;
  s.skipX = offsetX / static_cast<int32_t>(s.stepX);
  s.skipY = offsetY / static_cast<int32_t>(s.stepY);
  s.accX0 = static_cast<int32_t>(s.stepX) - offsetX % static_cast<int32_t>(s.stepX);
  s.accY0 = static_cast<int32_t>(s.stepY) - offsetY % static_cast<int32_t>(s.stepY);

  const int32_t srcBytes = sb->format->bytesPerPixel;
  const int32_t column = s.dirX > 0 ? s.skipX : src->width - s.skipX - 1;
  const int32_t row = s.dirY > 0 ? s.skipY : src->height - s.skipY - 1;
  s.srcPixelStep = s.dirX * srcBytes;
  s.srcRowStep = s.dirY * sb->pitch;
  s.srcRow = src->pixels + static_cast<int64_t>(row) * sb->pitch + static_cast<int64_t>(column) * srcBytes;
  s.maskRow = nullptr;
  s.maskPixelStep = s.dirX;
  s.maskRowStep = 0;
  if (mask != nullptr) {
    s.maskRowStep = s.dirY * mask->buffer->pitch;
    s.maskRow = mask->pixels + static_cast<int64_t>(row) * mask->buffer->pitch + column;
  }
  s.dstPitch = db->pitch;
  s.dstRow = dst->pixels + static_cast<int64_t>(clipped.top) * db->pitch +
             static_cast<int64_t>(clipped.left) * db->format->bytesPerPixel;

  BlendContext context;
  BlitVariant v;
  const BlitRowFn rowFn = PrepareBlitRow(sb, mask != nullptr, trans, true, StretchPaletteCopy, &context, &v);
  if (rowFn == nullptr) return;
  // The hand-made copy and subtract loops step with the zero-stop rule.
  const bool handMade = !v.masked && v.white && v.src != BlitSource::Alpha;
  const bool zeroStop = handMade && (v.mode == 0 || (v.mode == 3 && v.param == BlitParam::Full));
  // Rows whose pixels do not depend on the destination: a repeated source
  // row repeats the destination row above.
  const bool overwrites = handMade && v.mode == 0 && !v.trans;

  int32_t acc = s.accX0;
  int32_t sourceColumn = 0;
  for (int32_t i = 0;;) {
    StretchColumns[i] = static_cast<uint16_t>(sourceColumn);
    StretchOffsets[i] = static_cast<ptrdiff_t>(sourceColumn) * s.srcPixelStep;
    if (++i == s.width) break;
    sourceColumn += Advance(acc, static_cast<int32_t>(s.stepX), zeroStop);
  }

  // Evenly spaced columns: the first pixel, then the others with vector
  // loads and shuffles.
  const GatherFn gather = GatherFor(srcBytes);
  const GatherFn strided = StridedFor(srcBytes, EvenColumnStep(s.width, s.dirX));
  const auto gatherRow = [&](uint8_t* out, const uint8_t* row) {
    if (strided == nullptr) {
      gather(out, row, s.width);
    } else {
      std::memcpy(out, row, static_cast<size_t>(srcBytes));
      strided(out + srcBytes, row + StretchOffsets[1], s.width - 1);
    }
  };
  const int32_t dstRowBytes = s.width * db->format->bytesPerPixel;
  // A plain copy gathers straight into the destination; a repeated source
  // row of it repeats the destination row above.
  const bool directCopy = overwrites && v.src != BlitSource::Palette;
  const bool repeatRows = overwrites && (s.dstPitch >= dstRowBytes || s.dstPitch <= -dstRowBytes);
  const uint8_t* srcRow = s.srcRow;
  const uint8_t* maskRow = s.maskRow;
  const uint8_t* gathered = nullptr;
  uint8_t* dstRow = s.dstRow;
  int32_t accY = s.accY0;
  for (int32_t r = 0;;) {
    if (srcRow == gathered && repeatRows) {
      std::memcpy(dstRow, dstRow - s.dstPitch, static_cast<size_t>(dstRowBytes));
    } else if (directCopy) {
      gatherRow(dstRow, srcRow);
      gathered = srcRow;
    } else {
      if (srcRow != gathered) {
        gatherRow(StretchRowPixels, srcRow);
        if (maskRow != nullptr) GatherMask(maskRow, s.maskPixelStep, s.width);
        gathered = srcRow;
      }
      rowFn(dstRow, StretchRowPixels, StretchRowMask, s.width, context);
    }
    if (++r == s.height) break;
    dstRow += s.dstPitch;
    const int32_t moved = Advance(accY, static_cast<int32_t>(s.stepY), zeroStop);
    srcRow += static_cast<int64_t>(moved) * s.srcRowStep;
    if (maskRow != nullptr) maskRow += static_cast<int64_t>(moved) * s.maskRowStep;
  }
}
