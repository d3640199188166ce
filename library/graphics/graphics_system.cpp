#include "library/graphics/graphics_system.h"

int32_t GraphicsInitialised = 0;
int32_t ScreenWidth = 0;
int32_t ScreenHeight = 0;
int32_t ScreenColorBits = 0;
int32_t HardwareActive = 0;
int32_t HalfSizeScreenFlag = 0;
int32_t HalfSizeDisplayFlag = 0;

int GetScreenSizeOrDefault(int32_t* width, int32_t* height) {
  if (width != nullptr) *width = ScreenWidth != 0 ? ScreenWidth : 640;
  if (height != nullptr) *height = ScreenHeight != 0 ? ScreenHeight : 480;
  return 0;
}
