#include "library/graphics/draw_state.h"

#include <utility>

#include "library/core/message_pump.h"
#include "library/graphics/blend_tables.h"
#include "library/graphics/color_format.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/light_state.h"
#include "library/graphics/mask_screen.h"

int32_t DrawBlendMode = 0;
int32_t DrawBlendParam = 0;
DrawBrightBytes DrawBright = {255, 255, 255};
uint32_t PackedDrawColor = 0xFFFFFFFF;
int32_t DrawFilterMode = 0;
float Draw2DDepth = 0.2f;
PixelRect DrawClipRect = {0, 0, 0, 0};
float DrawClipRectF[4] = {0, 0, 0, 0};
PixelRect RequestedClipArea = {0, 0, 0, 0};
int32_t DrawAreaEmpty = 0;
ObjectHandle DrawTarget = FrontScreenHandle;
int32_t DrawTargetWidth = 0, DrawTargetHeight = 0;
BlendGraphState BlendGraph = {-1, 0, 0};
int32_t DrawSuppressed = 0;
MEMIMG* DrawDestMemImg = nullptr;
MEMIMG* BlendMaskMemImg = nullptr;
BackgroundColorRGB BackgroundColor = {0, 0, 0};

namespace {

int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int32_t ClampTo(int32_t v, int32_t high) { return v < 0 ? 0 : v > high ? high : v; }

bool IsScreenHandle(ObjectHandle handle) {
  return handle == BackScreenHandle || handle == FrontScreenHandle || handle == -3 || handle == -5;
}

}  // namespace

int GetScreenColorBits() { return ScreenColorBits == 0 ? 16 : ScreenColorBits; }

int SetDrawBlend(int32_t mode, int32_t param) {
  if (DrawSuppressed || (mode == DrawBlendMode && param == DrawBlendParam)) return 0;
  WaitWhileInactive();
  DrawBlendMode = mode;
  DrawBlendParam = Clamp255(param);
  if (HardwareActive) PackedDrawColor = ComputePackedDrawColor();
  return 0;
}

int SetDrawBrightness(int32_t red, int32_t green, int32_t blue) {
  if (red == DrawBright.red && green == DrawBright.green && blue == DrawBright.blue) return 0;
  DrawBright.red = static_cast<uint8_t>(Clamp255(red));
  DrawBright.green = static_cast<uint8_t>(Clamp255(green));
  DrawBright.blue = static_cast<uint8_t>(Clamp255(blue));
  if (HardwareActive) PackedDrawColor = ComputePackedDrawColor();
  return 0;
}

int SetDrawFilterMode(int32_t mode) {
  if (DrawSuppressed || mode == DrawFilterMode) return 0;
  DrawFilterMode = mode;
  if (HardwareActive) G_D3D_ApplyFilterMode(mode);
  return 0;
}

int GetDrawFilterMode() { return DrawFilterMode; }

int SetDrawClipArea(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (DrawSuppressed) return 0;
  RequestedClipArea = {x1, y1, x2, y2};
  int32_t width, height;
  if (DrawTarget == FrontScreenHandle || DrawTarget == BackScreenHandle) {
    width = ScreenWidth;
    height = ScreenHeight;
  } else {
    const GraphRecord* graph = GetGraphRecordChecked(DrawTarget);
    if (graph == nullptr) return -1;
    width = graph->width;
    height = graph->height;
  }
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  DrawClipRect = {ClampTo(x1, width), ClampTo(y1, height), ClampTo(x2, width), ClampTo(y2, height)};
  DrawClipRectF[0] = static_cast<float>(DrawClipRect.left);
  DrawClipRectF[1] = static_cast<float>(DrawClipRect.top);
  DrawClipRectF[2] = static_cast<float>(DrawClipRect.right);
  DrawClipRectF[3] = static_cast<float>(DrawClipRect.bottom);
  if (DrawClipRect.left == DrawClipRect.right || DrawClipRect.top == DrawClipRect.bottom) {
    DrawAreaEmpty = 1;
    return 0;
  }
  DrawAreaEmpty = 0;
  if (HardwareActive) return G_D3D_ApplyDrawArea();
  return 0;
}

int GetDrawClipArea(int32_t rect[4]) {
  rect[0] = DrawClipRect.left;
  rect[1] = DrawClipRect.top;
  rect[2] = DrawClipRect.right;
  rect[3] = DrawClipRect.bottom;
  return 0;
}

int SelectDrawTarget(ObjectHandle handle) {
  if (!GraphicsInitialised) return -1;
  WaitWhileInactive();
  GraphRecord* graph = nullptr;
  if (!IsScreenHandle(handle)) {
    graph = GetGraphRecordChecked(handle);
    if (graph == nullptr || graph->surface == nullptr || !graph->surface->request.drawable) return -1;
  }

  const int32_t maskWasEnabled = MaskScreenEnabled;
  EnableMaskScreen(0);
  if (HardwareActive)
    G_D3D_SelectTargetSurface(graph);
  else
    DrawDestMemImg = graph != nullptr ? &graph->image : &ScreenMemImg;
  DrawTarget = handle;
  if (handle == FrontScreenHandle) ArmWindowRefreshTimer();

  // -3 and -5 have no size of their own: target size and area stay.
  int32_t width, height;
  if (QueryGraphSize(handle, &width, &height) == 0) {
    PixelRect area = DrawClipRect;
    if (width != DrawTargetWidth || height != DrawTargetHeight) area = {0, 0, width, height};
    DrawTargetWidth = width;
    DrawTargetHeight = height;
    SetDrawClipArea(area.left, area.top, area.right, area.bottom);
  }
  Setup2DCamera(DrawTargetWidth, DrawTargetHeight);
  if (maskWasEnabled) EnableMaskScreen(1);
  return 0;
}

ObjectHandle GetDrawTarget() { return DrawTarget; }

int SelectBlendGraph(ObjectHandle handle, int32_t borderParam, int32_t borderRange) {
  if (DrawSuppressed || (handle == BlendGraph.handle && borderParam == BlendGraph.borderParam &&
                         borderRange == BlendGraph.borderRange))
    return 0;
  GraphRecord* graph = nullptr;
  if (handle != -1) {
    graph = GetGraphRecordChecked(handle);
    if (graph == nullptr) return -1;
  }
  WaitWhileInactive();
  BlendGraph = {handle, Clamp255(borderParam), Clamp255(borderRange)};
  if (HardwareActive) return G_D3D_SetBlendTexture(graph);
  BlendMaskMemImg = graph != nullptr && graph->surface != nullptr ? &graph->surface->image : nullptr;
  BuildMaskRampTable(BlendGraph.borderParam, BlendGraph.borderRange);
  return 0;
}

void ForgetDeletedGraph(ObjectHandle handle, const MEMIMG* releasedSurfaceImage) {
  if (releasedSurfaceImage != nullptr && BlendMaskMemImg == releasedSurfaceImage) BlendMaskMemImg = nullptr;
  if (handle == DrawTarget) SelectDrawTarget(BackScreenHandle);
}

namespace {

// The screen's pixel format: the standard format of its depth (the Direct3D
// screen formats, X8R8G8B8 and R5G6B5, have the same masks).
const ColorFormat* ScreenColorFormat() {
  return GetStandardColorFormat(GetScreenColorBits() != 16 ? ColorKind32 : ColorKind16, 0, 0);
}

}  // namespace

uint32_t MakeScreenColor(int32_t red, int32_t green, int32_t blue) {
  return MakeFormatColor(ScreenColorFormat(), red, green, blue, 0);
}

int SplitScreenColor(uint32_t color, int32_t* red, int32_t* green, int32_t* blue) {
  SplitFormatColor(ScreenColorFormat(), color, red, green, blue, nullptr);
  return 0;
}

int GetShownScreenSize(int32_t* width, int32_t* height, int32_t* bits) {
  const bool doubled = HalfSizeDisplayFlag || HalfSizeScreenFlag;
  if (width != nullptr) *width = doubled ? 320 : ScreenWidth;
  if (height != nullptr) *height = doubled ? 240 : ScreenHeight;
  if (bits != nullptr) *bits = ScreenColorBits;
  return 0;
}

void ResetDrawState() {
  BlendGraph = {-1, 0, 0};
  BlendMaskMemImg = nullptr;
  DrawBlendMode = 0;
  DrawBlendParam = 0;
  DrawBright = {255, 255, 255};
  DrawFilterMode = 0;
  Draw2DDepth = 0.2f;
  DrawAreaEmpty = 0;
  DrawSuppressed = 0;
  GraphCreateSettings.transColorFlag = 1;
  GraphCreateSettings.bitDepth = 0;
  MaskScreenEnabled = 1;
  MaskScreenActive = 0;
  PackedDrawColor = ComputePackedDrawColor();
  Reset3DState();
  DrawTarget = BackScreenHandle;
  DrawTargetWidth = DrawTargetHeight = 0;
  SelectDrawTarget(FrontScreenHandle);
}
