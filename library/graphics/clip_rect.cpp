#include "library/graphics/mem_img.h"

int ClipRectToArea(PixelRect* rect, const PixelRect* area) {
  auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; };
  if (rect->right < rect->left) rect->right = rect->left;
  if (rect->bottom < rect->top) rect->bottom = rect->top;
  rect->bottom = clamp(rect->bottom, area->top, area->bottom);
  rect->top = clamp(rect->top, area->top, area->bottom);
  rect->right = clamp(rect->right, area->left, area->right);
  rect->left = clamp(rect->left, area->left, area->right);
  return 0;
}
