// The quadrilateral blit (two triangles) and the rotated blit: the turned
// and scaled corners, the destination box around them, and the inverse
// mapping of the box's pixels onto the source, one textured run per row.
//
// Positions are 14.18 fixed point held in 64 bits, so a centre or a box far
// from the source, or a large scale, cannot overflow them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "library/core/text_helpers.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_entry.h"
#include "library/softrender/soft_triangle.h"
#include "library/softrender/texel_span.h"

alignas(16) uint8_t RotatePalette[1024];

namespace {

// Steps beyond this many units per pixel leave the source from one pixel to
// the next; positions beyond the next lie far outside any source.
constexpr int64_t kStepLimit = int64_t{1} << 40;
constexpr int64_t kPositionLimit = int64_t{1} << 60;
// Half sizes (in pixels) of a turned image beyond which nothing is drawn.
constexpr double kHalfSizeLimit = 1073741824.0;

// A value rounded to a 32-bit float (far beyond any position it is clamped first).
inline float F32(double v) { return static_cast<float>(v > 1e30 ? 1e30 : v < -1e30 ? -1e30 : v); }

inline int32_t Saturate(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

}  // namespace

void SoftBlitQuad(MEMIMG* dst, const MEMIMG* src, const int32_t* points, int32_t trans, const MEMIMG* mask) {
  if (src == nullptr || points == nullptr) return;
  int32_t p[8];
  std::memcpy(p, points, sizeof p);
  int32_t minX = p[0], maxX = p[0], minY = p[1], maxY = p[1];
  for (int32_t i = 1; i < 4; ++i) {
    if (p[2 * i] < minX) minX = p[2 * i];
    if (p[2 * i] > maxX) maxX = p[2 * i];
    if (p[2 * i + 1] < minY) minY = p[2 * i + 1];
    if (p[2 * i + 1] > maxY) maxY = p[2 * i + 1];
  }
  // The corners' box, widened a little, must keep some area inside the drawing area.
  PixelRect box = {Saturate(int64_t{minX} - 2), Saturate(int64_t{minY} - 2), Saturate(int64_t{maxX} + 4),
                   Saturate(int64_t{maxY} + 4)};
  ClipRectToArea(&box, &DrawClipRect);
  if (box.left == box.right || box.top == box.bottom) return;
  const int32_t w = src->width, h = src->height;
  const TriVertex v[4] = {{p[0], p[1], 0, 0}, {p[2], p[3], w, 0}, {p[4], p[5], 0, h}, {p[6], p[7], w, h}};
  // Split along the diagonal from the top-right to the bottom-left corner,
  // whose pixels are drawn once.
  SoftTrianglePair(dst, src, v, v + 1, trans, mask, 0);
}

void SoftBlitRotate(MEMIMG* dst, const MEMIMG* src, int32_t x, int32_t y, float angle, float scale,
                    int32_t trans, int32_t turn, const MEMIMG* mask) {
  if (!BlitRecordsFit(dst, src, mask)) return;
  if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return;
  const double sigma = scale;
  const double width = static_cast<uint32_t>(src->width), height = static_cast<uint32_t>(src->height);
  if (std::fabs(width * sigma * 0.5) > kHalfSizeLimit || std::fabs(height * sigma * 0.5) > kHalfSizeLimit)
    return;

  // Sine and cosine in 14.18, of -angle for the inverse mapping and of angle
  // for the corners and the step.
  float sinMinus, cosMinus, sinPlus, cosPlus;
  ComputeSinCos(-angle, &sinMinus, &cosMinus);
  ComputeSinCos(angle, &sinPlus, &cosPlus);
  const int32_t sm = FloatToIntTrunc(F32(sinMinus * 262144.0)),
                cm = FloatToIntTrunc(F32(cosMinus * 262144.0));
  const int32_t sp = FloatToIntTrunc(F32(sinPlus * 262144.0)), cp = FloatToIntTrunc(F32(cosPlus * 262144.0));

  // The corners: the half sizes turned, about the centre (x, y).
  const float hw = F32(width * sigma * 0.5), hh = F32(height * sigma * 0.5);
  const float a = F32(static_cast<float>(cp) * static_cast<double>(hw));
  const float b = F32(static_cast<float>(sp) * static_cast<double>(hw));
  const float c = F32(static_cast<float>(cp) * static_cast<double>(hh));
  const float e = F32(static_cast<float>(sp) * static_cast<double>(hh));
  const double ad = a, bd = b, cd = c, ed = e;
  const double offsets[4][2] = {
      {ed - ad, -cd - bd},  // the source's top-left corner
      {-ad - ed, cd - bd},  // bottom-left
      {ad - ed, cd + bd},   // bottom-right
      {ad + ed, bd - cd},   // top-right
  };
  int64_t cornerX[4], cornerY[4];
  for (int32_t i = 0; i < 4; ++i) {
    cornerX[i] = x * kFixedOne + static_cast<int64_t>(F32(offsets[i][0]));
    cornerY[i] = y * kFixedOne + static_cast<int64_t>(F32(offsets[i][1]));
  }

  if (turn != 0) {
    // Mirrored: the source's left edge goes to the turned right edge, drawn
    // as a quadrilateral on whole-pixel corners.
    const int32_t order[4] = {3, 0, 2, 1};
    int32_t points[8];
    for (int32_t i = 0; i < 4; ++i) {
      points[2 * i] = Saturate(cornerX[order[i]] / kFixedOne);
      points[2 * i + 1] = Saturate(cornerY[order[i]] / kFixedOne);
    }
    SoftBlitQuad(dst, src, points, trans, mask);
    return;
  }

  const int64_t du = TruncClamped(F32(static_cast<float>(cp) / sigma), kStepLimit);
  const int64_t dv = TruncClamped(F32(static_cast<float>(sm) / sigma), kStepLimit);

  // The destination box: the corners' box, 2 pixels wider on the left and
  // top and 4 on the right and bottom, inside the drawing area.
  int64_t minX = cornerX[0], maxX = cornerX[0], minY = cornerY[0], maxY = cornerY[0];
  for (int32_t i = 1; i < 4; ++i) {
    minX = std::min(minX, cornerX[i]);
    maxX = std::max(maxX, cornerX[i]);
    minY = std::min(minY, cornerY[i]);
    maxY = std::max(maxY, cornerY[i]);
  }
  PixelRect box = {Saturate(minX / kFixedOne - 2), Saturate(minY / kFixedOne - 2),
                   Saturate(maxX / kFixedOne + 4), Saturate(maxY / kFixedOne + 4)};
  ClipRectToArea(&box, &DrawClipRect);
  if (box.left == box.right || box.top == box.bottom) return;
  const int32_t cols = box.right - box.left, rows = box.bottom - box.top;

  TexelContext texels;
  const TexelSpanFn span = PrepareTexelSpan(dst, src, trans, mask, RotatePalette, &texels);
  if (span == nullptr) return;

  // The source positions of the box's left edge at its top and bottom; the
  // source centre is the whole texel (W / 2, H / 2).
  const int64_t ex = int64_t{box.left} - x, ey = int64_t{box.top} - y, eb = int64_t{box.bottom} - y;
  const int64_t centreU = static_cast<int64_t>(static_cast<uint32_t>(src->width) / 2) * kFixedOne;
  const int64_t centreV = static_cast<int64_t>(static_cast<uint32_t>(src->height) / 2) * kFixedOne;
  auto mapU = [&](int64_t ry) {
    return TruncClamped(F32(static_cast<double>(ex * cm - ry * sm) / sigma), kPositionLimit) + centreU;
  };
  auto mapV = [&](int64_t ry) {
    return TruncClamped(F32(static_cast<double>(ry * cm + ex * sm) / sigma), kPositionLimit) + centreV;
  };
  const int64_t uTop = mapU(ey), vTop = mapV(ey);
  const int64_t uRow = (mapU(eb) - uTop) / rows, vRow = (mapV(eb) - vTop) / rows;

  const int32_t bytes = dst->buffer->depthKind == MemImgDepth32 ? 4 : 2;
  uint8_t* row = dst->pixels + static_cast<int64_t>(box.top) * dst->buffer->pitch +
                 static_cast<int64_t>(box.left) * bytes;
  for (int32_t j = 0; j < rows; ++j, row += dst->buffer->pitch)
    span(row, cols, uTop + j * uRow, vTop + j * vRow, du, dv, texels);
}
