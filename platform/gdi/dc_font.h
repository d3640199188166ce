// The font selected into a memory context of dib.cpp, kept alive while it
// is selected (font.cpp owns the font objects).
#pragma once

#include <memory>

#include "platform/gdi/gdi.h"

struct HFONT__;

// Swaps font with the one selected in the context; false (nothing changed)
// for a context that is not live.
bool SwapMemoryDcFont(HDC dc, std::shared_ptr<HFONT__>& font);
// The font selected in a live memory context, or null.
std::shared_ptr<HFONT__> MemoryDcFont(HDC dc);
