#include "library/graphics/mask_screen.h"

#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"

int32_t MaskScreenCreated = 0;
int32_t MaskScreenEnabled = 1;
int32_t MaskScreenActive = 0;
MEMIMG MaskScreenMemImg;

namespace {

// The mask bytes: one per screen pixel, rows MaskPitch bytes apart.
uint8_t* MaskBytes = nullptr;

// The Direct3D back end flushes and points the render target at the mask
// screen surface (active) or the real target here.
void G_D3D_PointRenderTargetAtMask(int32_t) {}

// The image of the real draw target: the target graph's, else the screen's.
MEMIMG* RealTargetMemImg() {
  GraphRecord* graph = GetGraphRecordChecked(DrawTarget);
  return graph != nullptr ? &graph->image : &ScreenMemImg;
}

}  // namespace

int EnableMaskScreen(int32_t flag) {
  if (MaskBytes == nullptr) return -1;
  MaskScreenEnabled = flag;
  MaskScreenActive = flag && MaskScreenCreated ? 1 : 0;
  if (HardwareActive)
    G_D3D_PointRenderTargetAtMask(MaskScreenActive);
  else
    DrawDestMemImg = MaskScreenActive ? &MaskScreenMemImg : RealTargetMemImg();
  return 0;
}
