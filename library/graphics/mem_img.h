// Memory images: the pictures of the software renderer. A MEMIMG is a view
// (possibly of a sub-rectangle) over a reference-counted MemImgBuffer that
// holds the pixels, their format, the palette and the transparent colour.
#pragma once

#include <cstdint>

#include "library/graphics/color_convert.h"
#include "library/graphics/color_format.h"

constexpr uint32_t MemImgMagic = 0x12345678;

// Depth kinds of a memory image.
constexpr int32_t MemImgDepth16 = 0;        // RGB565 (with alpha: 4 bytes, alpha in bits 16-23)
constexpr int32_t MemImgDepth32 = 1;        // XRGB8888 (with alpha: ARGB8888)
constexpr int32_t MemImgDepthSingle8 = 2;   // one 8-bit channel
constexpr int32_t MemImgDepthSingle16 = 3;  // one 16-bit channel

// Run kinds of the run table (bits 6 and 7 of a run byte).
constexpr uint8_t MemImgRunTransparent = 0;
constexpr uint8_t MemImgRunOpaque = 1;
constexpr uint8_t MemImgRunPartial = 2;
constexpr uint8_t MemImgRunEndOfRow = 0xC0;

struct MemImgBuffer {
  uint32_t refCount;
  int32_t width, height;
  int32_t pitch;
  int32_t pitchShift;  // log2 of the pitch when it is a power of two as laid out, else -1
  const ColorFormat* format;
  uint32_t transColor;  // pixel value (paletted: index) that counts as transparent
  int32_t depthKind;
  int32_t paletted;
  int32_t paletteCount;  // highest index used + 1
  int32_t alpha;
  int32_t hasPremultiplied;
  int32_t hasRunTable;
  int32_t pixelsNotOwned;
  void* palette;         // 256 entries: u16 RGB565 (kind 0) or u32 0x00RRGGBB (kind 1)
  void* workingPalette;  // second half of the palette block, a copy of the palette
  uint8_t* pixels;
  uint8_t* premultipliedPixels;
  uint8_t* runTable;  // (width + 5) x height bytes
  // The premultiplied copy and the run table of the last whole fill are
  // built when first asked for, or before the pixels next change, from the
  // view that was filled: its offset in the pixel block and its size.
  int32_t extrasPending;  // MemImgPendingPremultiplied | MemImgPendingRunTable
  int64_t pendingOffset;
  int32_t pendingWidth, pendingHeight;
  uint32_t fillCount;  // whole fills so far
  // What the software renderer's blits make from the pixels of the last
  // whole fill (soft_blit.cpp), freed with the buffer: the spans of its rows
  // (with the fill they were made from), and terms of a blend mode for a
  // blend parameter and brightness (a block of the pixel block's size, the
  // key they were made for, the key last asked for and the fill they were
  // made from). Either describes the pixels only while the run table does
  // (hasRunTable) and fillCount is the one it was made from.
  uint8_t* blitSpans;
  uint8_t* blitTerms;
  uint32_t blitTermsKey;
  uint32_t blitTermsAsked;
  uint32_t blitTermsFill;
};

constexpr int32_t MemImgPendingPremultiplied = 1;
constexpr int32_t MemImgPendingRunTable = 2;

struct MEMIMG {
  uint32_t magic;
  int32_t width;
  int32_t height;
  uint8_t* pixels;               // the view's top-left pixel
  uint8_t* premultipliedPixels;  // the same pixel in the premultiplied block, or null
  MemImgBuffer* buffer;
};

// Bytes per pixel of a buffer laid out with these flags.
constexpr int32_t MemImgBytesPerPixel(int32_t depthKind, int32_t paletted, int32_t alpha) {
  return paletted == 1                     ? 1
         : depthKind == MemImgDepth16      ? (alpha == 1 ? 4 : 2)
         : depthKind == MemImgDepth32      ? 4
         : depthKind == MemImgDepthSingle8 ? 1
                                           : 2;
}

// pitch -1: automatic (bytes per pixel x width, rounded up to 16). extras:
// premultiplied block (alpha buffers) and run table. externalPixels: a block
// of the caller's that the buffer does not own. Returns 0 or -1.
int SetupMemImg(MEMIMG* view, int32_t width, int32_t height, int32_t pitch, uint32_t transColor,
                int32_t depthKind, int32_t paletted, int32_t alpha, int32_t extras, void* externalPixels);
// depthKind -1: the screen's family (16-bit screen: kind 0, else kind 1).
int CreateMemImg(MEMIMG* view, int32_t width, int32_t height, int32_t depthKind);
// Copies a rectangle of a base image (with its alpha image, or null) into the
// view at (destX, destY). Returns 0 or -1.
int FillMemImgFromGraphImage(const GraphImage* rgb, const GraphImage* alphaImage, MEMIMG* view, int32_t srcX,
                             int32_t srcY, int32_t width, int32_t height, int32_t destX, int32_t destY,
                             int32_t transFlag);
// FillMemImgFromGraphImage in parts, for a picture that comes in bands of
// rows: each band converted into the view (the rectangle unchecked) gives the
// converter's result; once every band is in, the fill is finished as a fill
// of width x height from an image of rgbFormat (converterResult: the highest
// of the bands' results, the palette count of a paletted buffer).
int ConvertIntoMemImg(const GraphImage* rgb, const GraphImage* alphaImage, MEMIMG* view, int32_t srcX, int32_t srcY,
                      int32_t width, int32_t height, int32_t destX, int32_t destY, int32_t transFlag);
void FinishMemImgFill(MEMIMG* view, const ColorFormat& rgbFormat, bool withAlphaImage, int converterResult,
                      int32_t width, int32_t height);
// A view of a rectangle of another view, sharing its buffer. -1 (and the view
// untouched) when the rectangle does not lie inside the source view.
// Builds what the last whole fill left pending (see MemImgBuffer); every
// write into a buffer's pixels calls it first, so the premultiplied copy and
// the run table always describe the pixels of that fill.
void SettleMemImgExtras(MemImgBuffer* buffer);
// The buffer's run table and the view's premultiplied pixels (null when the
// buffer has none), settled first.
const uint8_t* MemImgRunTable(const MEMIMG* view);
const uint8_t* MemImgPremultipliedPixels(const MEMIMG* view);
int CreateMemImgView(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width, int32_t height);
int IsMemImgValid(const MEMIMG* view);
int ReleaseMemImg(MEMIMG* view);
// Fills the rectangle (null: the whole view), clipped to the view, with a raw pixel value.
int FillMemImgRect(MEMIMG* view, const PixelRect* rect, uint32_t value);
// Converts the rectangle of the source view (null: all of it) into the
// destination view at (x, y). Returns the converter's result, -1 when the
// rectangle does not lie inside both views.
int CopyMemImgRect(MEMIMG* dest, const MEMIMG* source, const PixelRect* rect, int32_t x, int32_t y);

// Raises right to left and bottom to top when smaller, then clamps bottom,
// top, right and left into the area. Returns 0.
int ClipRectToArea(PixelRect* rect, const PixelRect* area);
