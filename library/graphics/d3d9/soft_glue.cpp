#include "library/graphics/d3d9/soft_glue.h"

#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/softrender/soft_blit.h"
#include "library/softrender/soft_shape.h"
#include "library/softrender/soft_triangle.h"

MEMIMG ScreenMemImg;
MEMIMG GlyphWorkMemImg[2];

uint32_t ComputePackedDrawColor() {
  const uint32_t alpha = DrawBlendMode != 0 ? static_cast<uint32_t>(DrawBlendParam) & 0xFF : 255;
  return alpha << 24 | static_cast<uint32_t>(DrawBright.red) << 16 | static_cast<uint32_t>(DrawBright.green) << 8 |
         DrawBright.blue;
}

int CheckBlendGraphSize(const GraphRecord* graph) {
  const GraphRecord* blend = GetGraphRecordChecked(BlendGraph.handle);
  if (blend == nullptr || graph == nullptr || blend->width < graph->width || blend->height < graph->height)
    return -1;
  return 0;
}

int CreateScreenMemImg() {
  const int32_t depthKind = GetScreenColorBits() == 16 ? MemImgDepth16 : MemImgDepth32;
  if (CreateMemImg(&ScreenMemImg, ScreenWidth, ScreenHeight, depthKind) != 0) {
    FatalErrorExit("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
  }
  for (int32_t i = 0; i < 2; ++i) {
    GlyphWorkMemImg[i] = MEMIMG{};
    SetupMemImg(&GlyphWorkMemImg[i], ScreenWidth, ScreenHeight, -1, 0, depthKind, 0, i, 0, nullptr);
  }
  FillMemImgRect(&ScreenMemImg, nullptr,
                 MakeFormatColor(ScreenMemImg.buffer->format, BackgroundColor.red, BackgroundColor.green,
                                 BackgroundColor.blue, 0));
  DrawDestMemImg = &ScreenMemImg;
  return 0;
}

void ReleaseScreenMemImg() {
  if (DrawDestMemImg == &ScreenMemImg) DrawDestMemImg = nullptr;
  ReleaseMemImg(&ScreenMemImg);
  ReleaseMemImg(&GlyphWorkMemImg[0]);
  ReleaseMemImg(&GlyphWorkMemImg[1]);
}

void SetDrawBrightnessPacked(uint32_t rgb) {
  const uint8_t red = static_cast<uint8_t>(rgb >> 16), green = static_cast<uint8_t>(rgb >> 8),
                blue = static_cast<uint8_t>(rgb);
  if (red == DrawBright.red && green == DrawBright.green && blue == DrawBright.blue) return;
  DrawBright = {blue, green, red};
  if (HardwareActive) PackedDrawColor = ComputePackedDrawColor();
}

void DropMemImgDerivedData(MEMIMG* image) {
  if (image != nullptr && image->buffer != nullptr) {
    SettleMemImgExtras(image->buffer);
    image->buffer->hasRunTable = 0;
    image->buffer->hasPremultiplied = 0;
  }
}

MEMIMG* SoftDrawDest() {
  DropMemImgDerivedData(DrawDestMemImg);
  return DrawDestMemImg;
}

int G_Soft_DrawGraph(int32_t x, int32_t y, int32_t trans, GraphRecord* graph) {
  SoftBlit(SoftDrawDest(), &graph->image, x, y, trans, BlendMaskMemImg);
  return 0;
}

int G_Soft_DrawGraphStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, GraphRecord* graph, int32_t trans) {
  const int32_t rect[4] = {x1, y1, x2, y2};
  SoftBlitStretch(SoftDrawDest(), &graph->image, rect, trans, BlendMaskMemImg);
  return 0;
}

int G_Soft_DrawGraphRotated(float x, float y, double scale, double angle, GraphRecord* graph, int32_t trans,
                            int32_t turn) {
  SoftBlitRotate(SoftDrawDest(), &graph->image, FloatToIntTrunc(x), FloatToIntTrunc(y),
                 static_cast<float>(angle), static_cast<float>(scale), trans, turn, BlendMaskMemImg);
  return 0;
}

int G_Soft_DrawGraphQuad(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                         int32_t y4, GraphRecord* graph, int32_t trans) {
  const int32_t w = graph->width, h = graph->height;
  const TriVertex v[4] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
  SoftTrianglePair(SoftDrawDest(), &graph->image, &v[0], &v[1], trans, BlendMaskMemImg, 0);
  return 0;
}

int G_Soft_DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                          GraphRecord* graph, int32_t trans) {
  auto t = FloatToIntTrunc;
  return G_Soft_DrawGraphQuad(t(x1), t(y1), t(x2), t(y2), t(x3), t(y3), t(x4), t(y4), graph, trans);
}

int G_Soft_FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  const int32_t rect[4] = {x1, y1, x2, y2};
  SoftFillBox(SoftDrawDest(), rect, colour);
  return 0;
}

int G_Soft_DrawEllipse(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill) {
  SoftEllipse(SoftDrawDest(), x, y, rx, ry, colour, fill);
  return 0;
}

int G_Soft_FrameRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  const LineRecord lines[4] = {{x1, y1, x2 - 1, y1, colour, DrawBlendParam},
                               {x2 - 1, y1, x2 - 1, y2 - 1, colour, DrawBlendParam},
                               {x2 - 1, y2 - 1, x1, y2 - 1, colour, DrawBlendParam},
                               {x1, y2 - 1, x1, y1, colour, DrawBlendParam}};
  SoftLineList(SoftDrawDest(), lines, 4);
  return 0;
}

int G_Soft_DrawTriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                        int32_t fill) {
  MEMIMG* dest = SoftDrawDest();
  if (fill) {
    const TriVertex v[3] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}};
    SoftTriangle(dest, nullptr, v, 0, BlendMaskMemImg, colour);
  } else {
    const LineRecord lines[3] = {{x1, y1, x2, y2, colour, DrawBlendParam},
                                 {x2, y2, x3, y3, colour, DrawBlendParam},
                                 {x3, y3, x1, y1, colour, DrawBlendParam}};
    SoftLineList(dest, lines, 3);
  }
  return 0;
}

int G_Soft_DrawQuadShape(const int32_t* points, uint32_t colour, int32_t fill) {
  MEMIMG* dest = SoftDrawDest();
  if (fill) {
    const TriVertex a[3] = {{points[0], points[1], 0, 0}, {points[2], points[3], 0, 0}, {points[4], points[5], 0, 0}};
    const TriVertex b[3] = {{points[0], points[1], 0, 0}, {points[4], points[5], 0, 0}, {points[6], points[7], 0, 0}};
    SoftTrianglePair(dest, nullptr, a, b, 0, BlendMaskMemImg, colour);
  } else {
    LineRecord lines[4];
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) % 4;
      lines[i] = {points[2 * i], points[2 * i + 1], points[2 * j], points[2 * j + 1], colour, DrawBlendParam};
    }
    SoftLineList(dest, lines, 4);
  }
  return 0;
}
