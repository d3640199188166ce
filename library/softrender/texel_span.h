// Textured runs: a row of destination pixels, each taking the source texel
// under a position (u, v) that moves by a fixed step from pixel to pixel.
// Triangles and rotated blits share them. Positions are 14.18 fixed point
// (2^18 per texel) held in 64 bits; a pixel whose position lies outside the
// source is left as it is. The per-pixel rules are those of the blits
// without the shortcuts that only the unscaled blit takes; what differs is
// the texel test: a transparent index or colour is compared whole, and a
// source alpha of 0 under the transparent flag skips the pixel only in the
// modes that say so.
#pragma once

#include <cstdint>

#include "library/softrender/blit_kernels.h"

struct MEMIMG;

// 2^18: one texel or pixel in 14.18 fixed point.
constexpr int64_t kFixedOne = 262144;

struct TexelContext;
// Whether the run draws the pixel whose position is (u, v): the position
// lies inside the source and the texel there passes the transparent test.
using TexelDrawnFn = bool (*)(int64_t u, int64_t v, const TexelContext& c);

// What a run reads besides its position: fixed once per call.
struct TexelContext {
  BlendContext blend;
  const uint8_t* src;  // texel (0, 0)
  int32_t srcPitch;
  const uint8_t* mask;  // blend-graph byte of texel (0, 0), or null
  int32_t maskPitch;
  int64_t uLimit, vLimit;  // the source's width and height in 14.18
  TexelDrawnFn drawn;      // the run's own test of a pixel
};

// n destination pixels from dst on; the first samples (u, v), each next one
// (u + du, v + dv) on from the last. |u|, |v| up to 2^60, |du|, |dv| up to 2^40.
using TexelSpanFn = void (*)(uint8_t* dst, int32_t n, int64_t u, int64_t v, int64_t du, int64_t dv,
                             const TexelContext& c);

// Sets up the context of a textured draw of src onto dst with the current
// draw state and picks its run loop: null when nothing is to be drawn
// (records that do not fit, see BlitRecordsFit; a draw state that draws
// nothing). paletteCopy (1024 bytes) receives the source palette.
TexelSpanFn PrepareTexelSpan(const MEMIMG* dst, const MEMIMG* src, int32_t trans, const MEMIMG* mask,
                             uint8_t* paletteCopy, TexelContext* context);

// Truncation toward zero of a double, clamped to +-limit.
inline int64_t TruncClamped(double value, int64_t limit) {
  const double l = static_cast<double>(limit);
  return value >= l ? limit : value <= -l ? -limit : static_cast<int64_t>(value);
}
