// The frame that every public draw call shares: suppressed drawing and an
// empty draw area return 0 at once, graphs are checked, the mask screen
// brackets the draw, and the draw goes to Direct3D or to the software glue.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

#include "library/core/message_pump.h"
#include "library/core/text_helpers.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/movie/movie_handle.h"

namespace draw_frame {

// Toward zero; values beyond the 32-bit range (and NaN) give INT32_MIN.
inline int32_t Truncate(float v) { return FloatToIntTrunc(v); }

// a + b, held inside the 32-bit range.
inline int32_t AddClamped(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

inline PixelRect Ordered(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  return {x1, y1, x2, y2};
}

inline PixelRect BoundingBox(const float* xs, const float* ys, int32_t n) {
  float left = xs[0], right = xs[0], top = ys[0], bottom = ys[0];
  for (int32_t i = 1; i < n; ++i) {
    left = std::fmin(left, xs[i]);
    right = std::fmax(right, xs[i]);
    top = std::fmin(top, ys[i]);
    bottom = std::fmax(bottom, ys[i]);
  }
  return {Truncate(left), Truncate(top), Truncate(right), Truncate(bottom)};
}

// The mask-screen bracket around the draw; the rectangle is worked out only
// while the mask screen needs it.
template <typename Rect, typename Draw>
int Bracketed(Rect rect, Draw draw) {
  if (!MaskScreenActive) return draw();
  const PixelRect r = rect();
  BeginMaskScreenDraw(r);
  const int result = draw();
  EndMaskScreenDraw(r);
  return result;
}

// A Direct3D draw, between the inverting boxes when blend mode 3 needs them.
template <typename Rect, typename Draw>
int WithSubtractEmulation(Rect rect, Draw draw) {
  if (DrawBlendMode != 3 || !G_D3D_NeedsSubtractEmulation()) return draw();
  const PixelRect r = rect();
  BeginSubtractBlendEmulation(r);
  const int result = draw();
  EndSubtractBlendEmulation(r);
  return result;
}

// The image calls: the graph must be live, and no larger than the blend
// graph when one is selected; texture graphs go to Direct3D (hard), memory
// graphs to the software glue (soft). rect(graph) gives the bracket.
template <typename Rect, typename Soft, typename Hard>
int DrawImage(ObjectHandle handle, Rect rect, Soft soft, Hard hard) {
  if (DrawSuppressed || DrawAreaEmpty) return 0;
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface == nullptr) return -1;
  if (BlendGraph.handle != -1 && CheckBlendGraphSize(graph) != 0) return -1;
  WaitWhileInactive();
  if (graph->movie != -1) RefreshMovieFrame(graph->movie, 0);
  const bool texture = graph->surface->request.hardware != 0;
  auto bracket = [&]() { return rect(graph); };
  return Bracketed(bracket, [&]() {
    return texture ? WithSubtractEmulation(bracket, [&]() { return hard(graph); }) : soft(graph);
  });
}

// The shapes: Direct3D while it is in use, else the software renderer.
template <typename Rect, typename Soft, typename Hard>
int DrawShape(Rect rect, Soft soft, Hard hard) {
  if (DrawSuppressed || DrawAreaEmpty) return 0;
  WaitWhileInactive();
  return Bracketed(rect, [&]() {
    return HardwareActive ? WithSubtractEmulation(rect, hard) : soft();
  });
}

}  // namespace draw_frame
