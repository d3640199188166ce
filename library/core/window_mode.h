// Switching between window and full-screen mode.
#pragma once

#include <cstdint>

#include "platform/win32/win32_window.h"

// The window styles of the two modes.
constexpr DWORD kWindowModeStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowModeExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
constexpr DWORD kFullScreenStyle = WS_POPUP;
constexpr DWORD kFullScreenExStyle = WS_EX_TOPMOST;

// Before start-up only records the mode; afterwards re-styles the window,
// has graphics re-create the screen and waits for the display change.
// 0, -1 (no full-screen display mode of the screen size) or the graphics result.
int ChangeWindowMode(int32_t flag);
int ApplyWindowModeFlag(int32_t flag);
void UpdateWindowStyle();
