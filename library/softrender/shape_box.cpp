// The filled box.
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/flat_color.h"
#include "library/softrender/soft_shape.h"

void SoftFillBox(MEMIMG* dst, const int32_t* rect, uint32_t colour) {
  FlatTarget target;
  if (!GetFlatTarget(dst, &target)) return;
  PixelRect box;
  if (rect == nullptr) {
    box = {0, 0, dst->width, dst->height};
  } else {
    box.left = rect[0] < rect[2] ? rect[0] : rect[2];
    box.right = rect[0] < rect[2] ? rect[2] : rect[0];
    box.top = rect[1] < rect[3] ? rect[1] : rect[3];
    box.bottom = rect[1] < rect[3] ? rect[3] : rect[1];
  }
  ClipRectToArea(&box, &DrawClipRect);
  int32_t width = box.right - box.left;
  int32_t height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return;

  FlatRule rule;
  FlatColor flat;
  if (!PrepareFlatColor(colour, target.depth32, FlatBrightness::Shift, &rule, &flat)) return;
  const FlatRowsFn rows = SelectFlatRows(target.depth32, rule, &flat);
  const int32_t bytes = target.depth32 ? 4 : 2;
  uint8_t* row =
      target.pixels + static_cast<int64_t>(box.top) * target.pitch + static_cast<int64_t>(box.left) * bytes;
  // Rows that follow each other without a gap are one long run.
  if (target.pitch == width * bytes && static_cast<int64_t>(width) * height <= INT32_MAX) {
    width *= height;
    height = 1;
  }
  rows(row, target.pitch, width, height, flat);
}
