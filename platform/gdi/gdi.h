// GDI device-independent bitmaps: DIB sections held in memory, memory device
// contexts, and the blits that draw a packed DIB into the section selected in
// a memory context or into a window's client area, converting its pixel
// layout.
//
// Sources of the blits: 1, 4 and 8 bits with a colour table, 16 and 32 bits
// (BI_RGB, or BI_BITFIELDS with three masks behind the header), 24 bits. The
// colour table or the masks follow the first 40 bytes of the header whatever
// its size field says. Sections: the same layouts from 8 bits up; an 8-bit
// section takes the nearest entry of its own colour table (a source index
// whose entry holds the same colour in both tables is kept). Rows of every DIB
// are padded to 4 bytes; a positive height means the rows are stored
// bottom-up, a negative one top-down.
#pragma once

#include "platform/win32/win32_types.h"

struct HDC__;
typedef HDC__* HDC;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// The header followed by the colour table (or, with BI_BITFIELDS, the red,
// green and blue masks as three dwords); callers allocate room for as many
// entries as the header needs.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;

// A memory context; null stands for the screen. Null on failure.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// A section of the header's size and layout (BI_RGB with 8, 16, 24 or 32
// bits, or BI_BITFIELDS with 16 or 32), pixels cleared to 0; *bits gets
// the pixel pointer. Null (and *bits null) for any other layout, an empty or
// oversized bitmap, or usage other than DIB_RGB_COLORS. The section handle
// and offset must be null and 0.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Selects the bitmap into the memory context and returns the one selected
// before (null at first); null for a handle that is not live.
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
// Frees the bitmap (a bitmap still selected stays usable until its context is
// deleted or selects another). FALSE for a handle that is not live.
BOOL DeleteObject(HBITMAP bitmap);
// Fills a DIBSECTION (size of one or more) or a BITMAP (size of one or more
// but less than a DIBSECTION); returns the bytes written, 0 on failure. The
// height reported in the BITMAP is positive whatever the row order.
int GetObjectA(HBITMAP bitmap, int size, void* out);

// Draws the source rectangle (width x height from xSrc, ySrc, with y counted
// up from the bottom row of the source) at (xDest, yDest) of the bitmap
// selected in dc, or of the client area of a window's context (GetDC). The
// bits hold `lines` scan lines from startScan on, which must be 0. Returns
// the number of scan lines drawn, 0 on failure (another layout, no bitmap
// selected, a context of neither kind).
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);
// Draws the source rectangle (ySrc counted up from the bottom row) into the
// destination rectangle, scaled by nearest pixel; a negative source or
// destination width or height mirrors along that axis. Only SRCCOPY. Returns
// the number of scan lines drawn, 0 on failure.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop);

// Tests only: the number of live memory contexts and bitmaps.
int PlatformLiveGdiObjectCount();
// Tests only: blits to a window's context report their scan lines drawn
// without copying pixels (headless runs read the picture before the blit).
void PlatformSkipWindowBlits(bool skip);
