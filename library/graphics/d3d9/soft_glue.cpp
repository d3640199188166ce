#include "library/graphics/d3d9/soft_glue.h"

#include "library/core/startup.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/softrender/soft_blit.h"

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
