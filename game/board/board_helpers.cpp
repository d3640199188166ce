// What the steps of a turn on the board share.
#include "game/board/board_helpers.h"

#include <cstring>

#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t CurrentPlayer = 0;
int32_t CpuItemSlot = -1;
int32_t CpuWaitFrames[2] = {};

namespace {

uint32_t White() { return MakeScreenColor(255, 255, 255); }

}  // namespace

int32_t FontOfSize(int32_t size) { return FontHandlesBySize[size < 1 ? 0 : size > 24 ? 23 : size - 1]; }

void DrawCentredText(int32_t x, int32_t y, const char* text, int32_t font) {
  int32_t width = GetTextWidthToHandle(text, static_cast<int32_t>(strlen(text)), font, 0);
  DrawTextToHandle(x - width / 2, y, text, White(), font, 0, 0);
}

void DrawHelpLine(const char* text) {
  DrawAlphaBox(80, 0, 450, 640, 480, MakeScreenColor(0, 0, 0));
  DrawTextToHandle(10, 460, text, White(), FontOfSize(16), 0, 0);
}
