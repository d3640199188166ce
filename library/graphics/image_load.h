// Image loading: a file (through the file function table, so archive members
// too) or a memory block is decoded by the first decoder of ImageDecoderTable
// that accepts it, optionally mirrored, and handed back as a GraphImage, a
// top-down DIB, or a GDI DIB section. LoadGraphImageFile also loads the
// image's alpha image.
#pragma once

#include <cstdint>

#include "library/graphics/color_format.h"
#include "library/graphics/image_decoders.h"
#include "platform/gdi/gdi.h"

using ImageDecoder = int (*)(DecoderStream* stream, GraphImage* image);

// BMP, JPEG, PNG, BGRA, TGA, DDS, then null.
extern const ImageDecoder ImageDecoderTable[];

// A DIB header with room for a full colour table and one spare dword.
struct DibHeaderBlock {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
  DWORD spare;
};
static_assert(sizeof(DibHeaderBlock) == 1068);

inline const BITMAPINFO* AsBitmapInfo(const DibHeaderBlock* block) {
  return reinterpret_cast<const BITMAPINFO*>(block);
}

// Tries each decoder from the start of the stream on a zeroed image; 0 for
// the first that accepts, -1 when all refuse.
int DecodeImageStream(DecoderStream* stream, GraphImage* image);

// Loads a file (fromMemory 0) or a memory block into out; with mirror 1 the
// picture is mirrored left-right. With dib 1 the picture is turned into a
// top-down DIB instead: *headerOut gets a tracked DibHeaderBlock and *bitsOut
// tracked pixels, both the caller's, and out is not written. 0 or -1.
int LoadImageToGraphImage(const char* fileName, const void* data, int32_t size, int32_t fromMemory, int32_t dib,
                          int32_t mirror, GraphImage* out, DibHeaderBlock** headerOut, void** bitsOut);
int LoadGraphImageOnly(const char* fileName, const void* data, int32_t size, int32_t fromMemory, GraphImage* out,
                       int32_t mirror);

// Alpha modes of LoadGraphImageFile.
constexpr int32_t AlphaImageFromFile = 0;    // the file named by MakeAlphaImageFileName
constexpr int32_t AlphaImageFromMemory = 1;  // the alpha memory block

// Loads the colour image and its alpha image. -1 when the colour image
// fails; else 0 with an alpha image loaded, 1 without one (alphaOut zeroed).
int LoadGraphImageFile(const char* fileName, const void* data, int32_t size, int32_t fromMemory,
                       const void* alphaData, int32_t alphaSize, int32_t alphaMode, GraphImage* rgbOut,
                       int32_t mirror, GraphImage* alphaOut);

// The alpha image's name: "_a" inserted before the first '.' of the file
// name (the part after the last separator), or appended when it has none.
// out holds 260 bytes; a name that would not fit gives -1 and an empty out.
int MakeAlphaImageFileName(const char* name, char* out);

// Describes the image as a top-down DIB (8 bits with its palette, else 24
// bits) in header; *bits gets the image's own pixels (0) or a new tracked
// buffer (1); -1 on failure or for block-compressed data.
int GraphImageToDIB(const GraphImage* image, DibHeaderBlock* header, void** bits, int32_t forceCopy,
                    int32_t force24);

// A GDI DIB section holding the picture of the packed DIB (header, bits),
// mirrored left-right with mirror 1, in the layout the format asks for (null:
// 8 bits for an 8-bit source, else 24); a 32-bit format met with a 24-bit
// source is rewritten to RGB24. Null on failure (logged).
HBITMAP CreateDIBGraph(const DibHeaderBlock* header, const void* bits, int32_t mirror, ColorFormat* format);
HBITMAP LoadImageToDIBSection(const char* fileName, const void* data, int32_t size, int32_t fromMemory,
                              int32_t mirror, ColorFormat* format);
HBITMAP LoadImageFileToDIBSection(const char* fileName, int32_t mirror, ColorFormat* format);
