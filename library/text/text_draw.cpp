#include "library/text/text_draw.h"

#include <cstdarg>

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/graphics/draw_frame.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mask_screen.h"
#include "library/text/font_handle.h"
#include "library/text/text_cache.h"

int DrawTextToHandle(int32_t x, int32_t y, const char* text, uint32_t colour, ObjectHandle font, uint32_t edgeColour,
                     int32_t vertical) {
  if (text == nullptr || text[0] == '\0' || DrawSuppressed || DrawAreaEmpty) return 0;
  const FontHandleRecord* f = GetFontHandleRecord(font);
  if (f == nullptr) return WriteErrorLog("フォントハンドル値が異常です\n");
  const bool texture = f->textureCache != 0;
  WaitWhileInactive();
  PixelRect rect{};
  const bool bracket = (DrawBlendMode == 3 && texture) || MaskScreenActive || DrawTarget == FrontScreenHandle;
  if (bracket) {
    const int32_t extent = f->size + 3;
    rect = vertical ? PixelRect{x, y, draw_frame::AddClamped(x, extent), DrawClipRect.bottom}
                    : PixelRect{x, y, DrawClipRect.right, draw_frame::AddClamped(y, extent)};
    if (rect.left >= DrawClipRect.right) return 0;
  }
  const bool masked = bracket && MaskScreenActive;
  if (masked) BeginMaskScreenDraw(rect);
  int result;
  if (texture) {
    result = draw_frame::WithSubtractEmulation([&]() { return rect; },
                                               [&]() { return G_D3D_DrawFontText(font, x, y, text, colour, edgeColour, vertical); });
  } else {
    result = G_Soft_DrawFontText(font, x, y, text, colour, edgeColour, vertical);
  }
  if (masked) EndMaskScreenDraw(rect);
  return result;
}

int DrawFormatTextToHandle(int32_t x, int32_t y, uint32_t colour, ObjectHandle font, const char* format, ...) {
  char text[kFormatTextBufferSize];
  va_list args;
  va_start(args, format);
  FormatStringV(text, sizeof text, format, args);
  va_end(args);
  return DrawTextToHandle(x, y, text, colour, font, 0, 0);
}

int DrawTextWithDefaultFont(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t edgeColour) {
  SyncDefaultFont();
  return DrawTextToHandle(x, y, text, colour, QueryDefaultFontHandle(), edgeColour, 0);
}

int DrawFormatTextWithDefaultFont(int32_t x, int32_t y, uint32_t colour, const char* format, ...) {
  char text[kFormatTextBufferSize];
  va_list args;
  va_start(args, format);
  FormatStringV(text, sizeof text, format, args);
  va_end(args);
  SyncDefaultFont();
  return DrawTextToHandle(x, y, text, colour, QueryDefaultFontHandle(), 0, 0);
}

int GetTextWidthToHandle(const char* text, int32_t length, ObjectHandle font, int32_t vertical) {
  return DrawFontTextCore(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, length, vertical, nullptr);
}

int GetFormatTextWidthToHandle(ObjectHandle font, const char* format, ...) {
  char text[kFormatTextBufferSize];
  va_list args;
  va_start(args, format);
  FormatStringV(text, sizeof text, format, args);
  va_end(args);
  return GetTextWidthToHandle(text, -1, font, 0);
}
