// Inside the platform layer: the SDL window behind a window handle, for the
// stand-ins that draw into it (the Direct3D device's OpenGL context).
#pragma once

#include "platform/win32/win32_window.h"

struct SDL_Window;
struct SDL_Rect;

// Null for a window that is not live or is a child window.
SDL_Window* PlatformSdlWindow(HWND window);

// For a window shown full screen on a display without the program's screen
// mode: where, in a drawable of width x height, the client area's picture is
// shown scaled with its aspect kept (centred, black around it). False for
// every other window.
bool PlatformScaledRect(SDL_Window* window, int width, int height, SDL_Rect* out);
