// Inside the platform layer: the SDL window behind a window handle, for the
// stand-ins that draw into it (the Direct3D device's OpenGL context).
#pragma once

#include "platform/win32/win32_window.h"

struct SDL_Window;

// Null for a window that is not live or is a child window.
SDL_Window* PlatformSdlWindow(HWND window);
