// The one converter between any two colour formats, the DXT decoder, mip
// reduction and the clipped image-to-image copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/graphics/color_format.h"

// A source rectangle: left, top, right, bottom (right and bottom exclusive).
struct PixelRect {
  int32_t left, top, right, bottom;
};

// Dither modes of ConvertPixelRect.
constexpr int32_t DitherNone = 0;
constexpr int32_t DitherOrdered = 1;
constexpr int32_t DitherCarry = 2;

// Converts a rectangle of pixels between two formats. Returns 0 (for an 8-bit
// to 8-bit copy the highest index copied), or -1.
int ConvertPixelRect(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                     const void* srcPixels, int32_t srcPitch, const ColorFormat* srcFormat,
                     const void* alphaPixels, int32_t alphaPitch, const ColorFormat* alphaFormat,
                     int32_t destX, int32_t destY, const PixelRect* rect, int32_t mirror,
                     int32_t keyToAlpha, uint32_t keyColor, int32_t dither, int32_t colorOff,
                     int32_t alphaFromRed, int32_t skipKey, int32_t paletteRemap);
// The same conversion by the pixel-by-pixel rule alone, without the copies
// and table loops that ConvertPixelRect takes where it can. Sources and
// destinations of 2 to 4 bytes per pixel (8-bit sources read their palette).
int ConvertPixelRectGeneral(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                            const void* srcPixels, int32_t srcPitch, const ColorFormat* srcFormat,
                            const void* alphaPixels, int32_t alphaPitch,
                            const ColorFormat* alphaFormat, int32_t destX, int32_t destY,
                            const PixelRect* rect, int32_t mirror, int32_t keyToAlpha,
                            uint32_t keyColor, int32_t dither, int32_t colorOff,
                            int32_t alphaFromRed, int32_t skipKey);

// Exchanges the first and the third byte of each of count pixels of 3 or 4
// bytes (blue and red of 8-bit channels), in place.
void SwapRedAndBlue(uint8_t* pixels, size_t count, int32_t bytesPerPixel);

// Decodes a DXT1 to DXT5 image (every level of its mip chain) into ARGB32 in
// place; 0 for a plain image, -1 when the new buffer cannot be made.
int DecodeCompressedGraphImage(GraphImage* image);
// Bytes of one level of block data (compression kind 1 to 5): 4x4 blocks of
// 8 bytes (DXT1) or 16 bytes (DXT2 to DXT5), partial blocks counted, at least
// one block. 0 for a plain kind. Block data of several levels holds them one
// after the other, each level's sides halved (at least 1).
int64_t CompressedLevelSize(uint32_t compression, int32_t width, int32_t height);

int ReduceImageForMipLevel(const ColorFormat* format, void* dest, int32_t destPitch, const void* src,
                           int32_t srcPitch, int32_t offset0, int32_t offset1, int32_t offset2,
                           int32_t offset3, int32_t srcWidth, int32_t srcHeight);
int CopyGraphImageRect(int32_t destX, int32_t destY, int32_t width, int32_t height, int32_t srcX,
                       int32_t srcY, GraphImage* src, GraphImage* dest);
