// The state of the graphics module as a whole: whether it has started, and
// the screen mode.
#pragma once

#include <cstdint>

// 1 between a successful graphics start-up and its shut-down.
extern int32_t GraphicsInitialised;

// The screen mode; 0 until set (start-up makes an unset mode 640 x 480 at 16 bits).
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
extern int32_t ScreenColorBits;

// 1 while the Direct3D device is in use, 0 on the software renderer.
extern int32_t HardwareActive;
// Full screen asked for at 320 x 240: the screen is 640 x 480 and its
// top-left quarter is shown doubled.
extern int32_t HalfSizeScreenFlag;
// The same doubling asked for directly.
extern int32_t HalfSizeDisplayFlag;

// ScreenWidth and ScreenHeight, or 640 and 480 while they are still 0. Either
// pointer may be null. Returns 0.
int GetScreenSizeOrDefault(int32_t* width, int32_t* height);
