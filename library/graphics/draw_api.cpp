#include "library/graphics/draw_api.h"

#include "library/core/library_state.h"
#include "library/core/main_window.h"
#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/draw_frame.h"
#include "library/graphics/graph_create.h"
#include "platform/win32/win32.h"

using namespace draw_frame;

namespace {

void SetClipRect(const PixelRect& area, const float* areaF) {
  DrawClipRect = area;
  for (int i = 0; i < 4; ++i) DrawClipRectF[i] = areaF[i];
}

void WindowRefreshTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
  KillTimer(window, WindowRefreshTimerId);
  if (DrawTarget != FrontScreenHandle) return;
  FlushAndPresentScreen();
  SetTimer(window, WindowRefreshTimerId, 32, WindowRefreshTimerProc);
}

}  // namespace

int DrawGraphAt(int32_t x, int32_t y, ObjectHandle handle, int32_t trans) {
  if (!LibraryInitialised) return -1;
  return DrawImage(
      handle,
      [&](const GraphRecord* graph) {
        return PixelRect{x, y, AddClamped(x, graph->width), AddClamped(y, graph->height)};
      },
      [&](GraphRecord* graph) { return G_Soft_DrawGraph(x, y, trans, graph); },
      [&](GraphRecord* graph) {
        return G_D3D_DrawGraph(graph, static_cast<float>(x), static_cast<float>(y), trans, 1);
      });
}

int DrawGraphStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, ObjectHandle handle, int32_t trans) {
  return DrawImage(
      handle, [&](const GraphRecord*) { return Ordered(x1, y1, x2, y2); },
      [&](GraphRecord* graph) { return G_Soft_DrawGraphStretched(x1, y1, x2, y2, graph, trans); },
      [&](GraphRecord* graph) {
        return G_D3D_DrawGraphStretched(graph, static_cast<float>(x1), static_cast<float>(y1),
                                        static_cast<float>(x2), static_cast<float>(y2), trans, 0);
      });
}

int DrawGraphStretchedF(float x1, float y1, float x2, float y2, ObjectHandle handle, int32_t trans) {
  const int32_t ix1 = Truncate(x1), iy1 = Truncate(y1), ix2 = Truncate(x2), iy2 = Truncate(y2);
  return DrawImage(
      handle, [&](const GraphRecord*) { return Ordered(ix1, iy1, ix2, iy2); },
      [&](GraphRecord* graph) { return G_Soft_DrawGraphStretched(ix1, iy1, ix2, iy2, graph, trans); },
      [&](GraphRecord* graph) { return G_D3D_DrawGraphStretched(graph, x1, y1, x2, y2, trans, 0); });
}

int DrawGraphMirrored(int32_t x, int32_t y, ObjectHandle handle, int32_t trans) {
  const GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr) return DrawSuppressed || DrawAreaEmpty ? 0 : -1;
  return DrawGraphStretched(AddClamped(x, graph->width), y, x, AddClamped(y, graph->height), handle, trans);
}

int DrawGraphRegion(int32_t x, int32_t y, int32_t srcX, int32_t srcY, int32_t w, int32_t h, ObjectHandle handle,
                    int32_t trans, int32_t turn) {
  const GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr) return DrawSuppressed || DrawAreaEmpty ? 0 : -1;
  const PixelRect savedArea = DrawClipRect;
  float savedAreaF[4];
  for (int i = 0; i < 4; ++i) savedAreaF[i] = DrawClipRectF[i];
  PixelRect area = {x, y, AddClamped(x, w), AddClamped(y, h)};
  ClipRectToArea(&area, &savedArea);
  const float areaF[4] = {static_cast<float>(area.left), static_cast<float>(area.top), static_cast<float>(area.right),
                          static_cast<float>(area.bottom)};
  SetClipRect(area, areaF);
  const int result =
      turn ? DrawGraphMirrored(AddClamped(AddClamped(x - graph->width, srcX), w), y - srcY, handle, trans)
           : DrawGraphAt(x - srcX, y - srcY, handle, trans);
  SetClipRect(savedArea, savedAreaF);
  return result;
}

int DrawGraphRegionStretchedF(float x1, float y1, float x2, float y2, int32_t srcX, int32_t srcY, int32_t w,
                              int32_t h, ObjectHandle handle, int32_t trans) {
  const ObjectHandle part = CreateGraphPart(srcX, srcY, w, h, handle);
  if (part <= 0) return 0;
  DrawGraphStretchedF(x1, y1, x2, y2, part, trans);
  FreeGraph(part);
  return 0;
}

int ClearDrawTarget(const int32_t rect[4]) {
  if (HardwareActive) {
    G_D3D_ClearDrawTarget(rect);
    return 0;
  }
  GraphRecord* graph = GetGraphRecordChecked(DrawTarget);
  MEMIMG* target = graph != nullptr ? &graph->image : &ScreenMemImg;
  if (!IsMemImgValid(target)) return 0;
  const bool whole = rect == nullptr || rect[0] < 0 || rect[1] < 0;
  const PixelRect area =
      whole ? PixelRect{0, 0, target->width, target->height} : PixelRect{rect[0], rect[1], rect[2], rect[3]};
  DropMemImgDerivedData(target);
  FillMemImgRect(target, &area,
                 MakeFormatColor(target->buffer->format, BackgroundColor.red, BackgroundColor.green,
                                 BackgroundColor.blue, 0));
  return 0;
}

int CopyScreenToGraph(int32_t x1, int32_t y1, int32_t x2, int32_t y2, ObjectHandle handle, int32_t) {
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface == nullptr) return -1;
  GraphRecord* targetGraph = GetGraphRecordChecked(DrawTarget);
  MEMIMG* source = targetGraph != nullptr ? &targetGraph->image : &ScreenMemImg;
  const int32_t width = targetGraph != nullptr ? targetGraph->width : ScreenWidth;
  const int32_t height = targetGraph != nullptr ? targetGraph->height : ScreenHeight;
  if (x1 < 0 || x1 >= x2 || x2 > width || y1 < 0 || y1 >= y2 || y2 > height) return -1;
  if (graph->width != x2 - x1 || graph->height != y2 - y1) return -1;
  const PixelRect rect = {x1, y1, x2, y2};
  if (graph->surface->request.hardware) return G_D3D_CopyTargetToGraph(rect, graph);
  DropMemImgDerivedData(&graph->image);
  return CopyMemImgRect(&graph->image, source, &rect, 0, 0) < 0 ? -1 : 0;
}

void ArmWindowRefreshTimer() { SetTimer(MainHwnd, WindowRefreshTimerId, 32, WindowRefreshTimerProc); }
