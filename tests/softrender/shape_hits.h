// Shape tests: drawing with the add mode at full parameter and a colour of
// blue 1 onto a black image makes every pixel's blue the number of times it
// was written, so the tests read which pixels a shape covers and how often.
#pragma once

#include <algorithm>
#include <map>
#include <utility>

#include "tests/softrender/blit_reference.h"

namespace shapetest {

using Hits = std::map<std::pair<int32_t, int32_t>, int>;

// The draw state that counts: add, parameter 255, white, the given area.
inline void CountingState(const PixelRect& clip) {
  blitref::DrawCase dc;
  dc.mode = 2;
  dc.param = 255;
  dc.clip = clip;
  dc.Apply();
}

// Pixel -> times written, for the pixels written at least once; the
// coordinates are shifted by (-ox, -oy).
inline Hits ReadHits(const blitref::TestImage& img, int32_t ox = 0, int32_t oy = 0) {
  Hits hits;
  for (int32_t y = 0; y < img.height(); ++y)
    for (int32_t x = 0; x < img.width(); ++x) {
      const uint32_t blue = img.Get(x, y) & (img.buffer().depthKind == MemImgDepth32 ? 0xFF : 0x1F);
      if (blue != 0) hits[{x - ox, y - oy}] = static_cast<int>(blue);
    }
  return hits;
}

// Row -> (leftmost, rightmost) column of the pixels written on it.
inline std::map<int32_t, std::pair<int32_t, int32_t>> RowExtents(const Hits& hits) {
  std::map<int32_t, std::pair<int32_t, int32_t>> rows;
  for (const auto& [p, n] : hits) {
    const int32_t x = p.first, y = p.second;
    auto it = rows.find(y);
    if (it == rows.end())
      rows[y] = {x, x};
    else
      it->second = {std::min(it->second.first, x), std::max(it->second.second, x)};
  }
  return rows;
}

inline int TotalWrites(const Hits& hits) {
  int n = 0;
  for (const auto& h : hits) n += h.second;
  return n;
}

}  // namespace shapetest
