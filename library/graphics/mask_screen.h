// Mask screens: a byte per screen pixel that limits drawing. While the mask
// screen is active, each draw call draws into a screen-sized image of its
// own and writes back to the real target only where the mask byte is 0.
// Mask patterns (mask handles) are combined into the mask bytes with AND, OR
// or copy.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/mem_img.h"
#include "library/graphics/object_handle.h"
#include "platform/gdi/gdi.h"

extern int32_t MaskScreenCreated;
// 1 after the draw-state reset.
extern int32_t MaskScreenEnabled;
// Enabled and created.
extern int32_t MaskScreenActive;
// Software renderer: the image draw calls draw into while the mask screen is active.
extern MEMIMG MaskScreenMemImg;

// A mask pattern, held in the table itself.
struct MaskRecord {
  uint32_t checkNumber;
  uint8_t* bytes;
  int32_t pitch;  // width rounded up to a multiple of 4
  int32_t width, height;
  int32_t inUse;
  int32_t flag;
};
constexpr int32_t MaskHandleCapacity = 512;
extern MaskRecord MaskTable[MaskHandleCapacity];

// The mask bytes: one a screen pixel, 0 lets drawing through.
struct MaskBytesState {
  uint8_t* bytes;
  int32_t pitch, width, height;
};
extern MaskBytesState MaskBytes;

// Creates the mask screen and draws through it.
int MakeMaskScreen();
// flag 0 does nothing; else the mask bytes and the mask-screen image.
int CreateMaskScreen(int32_t flag);
// Switches drawing through the mask screen on or off and points drawing at
// the mask screen or the real target. -1 while no mask bytes exist.
int EnableMaskScreen(int32_t flag);
int IsMaskScreenEnabled();
// Every mask byte 0xFF (flag != 0: nothing passes) or 0. -1 without mask bytes.
int PaintMaskScreen(int32_t flag);
// An empty pattern, or -1 when all 512 are in use.
ObjectHandle CreateMaskData(int32_t width, int32_t height);
int DeleteMaskData(ObjectHandle handle);
int DeleteAllMaskData();
// A pattern from an image file: its blue channel.
ObjectHandle LoadMaskFile(const char* fileName);
// The pattern's bytes from the blue bytes of a 24-bit bitmap, from its pixel (x, y).
int SetMaskDataFromBitmap(HBITMAP bitmap, int32_t x, int32_t y, ObjectHandle handle);
// Mode 0 AND, 1 OR, 2 copy; the pattern's top-left at (x, y).
int DrawMaskData(int32_t x, int32_t y, ObjectHandle handle, int32_t mode);
// The bracket of a draw call over the rectangle it may touch: the outermost
// Begin copies the real target into the mask-screen image, the outermost End
// writes the drawn pixels back where the mask lets them through. While the
// bracket is open the drawing area stays inside the mask screen.
int BeginMaskScreenDraw(PixelRect rect);
int EndMaskScreenDraw(PixelRect rect);
// Disables and releases the mask screen.
int EndMaskScreen();
int RestoreMaskScreen();
