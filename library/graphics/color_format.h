// Decoded images in memory (GraphImage) and the pixel layouts that describe
// them (ColorFormat): packed layouts by bit masks, 8-bit palettes, and DXT
// 4x4-block compressed data.
#pragma once

#include <cstdint>

struct ColorFormat {
  uint16_t colorBits;      // 8, 16, 24 or 32; 4 (DXT1) or 8 (DXT2-5) for compressed data
  uint16_t bytesPerPixel;  // 1 to 4 (4 for compressed data, decoded to 32 bits before use)
  uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
  uint8_t redShift, greenShift, blueShift, alphaShift;
  uint32_t redMask, greenMask, blueMask, alphaMask;
  uint32_t unusedMask;     // bits of no channel, set to 1 when a colour is made
  uint8_t palette[256][4]; // blue, green, red, fourth byte
  uint8_t unusedShift, unusedWidth;
  uint32_t compression;    // 0 plain, 1-5 DXT1-DXT5
};

struct GraphImage {
  ColorFormat format;
  int32_t width;
  int32_t height;
  int32_t pitch;
  uint8_t* pixels;     // top row first; tracked allocation owned by the image
  uint32_t mipLevels;  // 0 for one level, else the number of levels in the block
};

// Standard format kinds of GetStandardColorFormat.
constexpr int32_t ColorKind16 = 0;
constexpr int32_t ColorKind32 = 1;
constexpr int32_t ColorKindSingle8 = 2;
constexpr int32_t ColorKindSingle16 = 3;

int SetColorFormatFromMasks(ColorFormat* format, int32_t bits, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, uint32_t alphaMask);
int RecalcUnusedBitsMask(ColorFormat* format);
int SetColorFormatRGB24(ColorFormat* format);
int SetColorFormatXRGB32(ColorFormat* format);
int SetColorFormatARGB32(ColorFormat* format);
int SetColorFormatPal8(ColorFormat* format);
int SetColorFormatGrey8(ColorFormat* format);
// One of the ten standard formats (kinds 0 to 3), or null for another kind.
const ColorFormat* GetStandardColorFormat(int32_t kind, int32_t alpha, int32_t paletted);

uint32_t MakeFormatColor(const ColorFormat* format, int32_t r, int32_t g, int32_t b, int32_t a);
int SplitFormatColor(const ColorFormat* format, uint32_t pixel, int32_t* r, int32_t* g, int32_t* b,
                     int32_t* a);
int GetGraphImagePixel(GraphImage* image, int32_t x, int32_t y, int32_t* r, int32_t* g, int32_t* b,
                       int32_t* a);
int SetGraphImagePixel(GraphImage* image, int32_t x, int32_t y, int32_t r, int32_t g, int32_t b,
                       int32_t a);
uint32_t GetGraphImagePixelARGB(const GraphImage* image, int32_t x, int32_t y);

int CreateGraphImage(int32_t width, int32_t height, GraphImage* image);
int CreateGraphImageARGB(int32_t width, int32_t height, GraphImage* image);
int CreateGraphImageWithFormat(int32_t width, int32_t height, const GraphImage* model, GraphImage* out);
int ReleaseGraphImage(GraphImage* image);
int ClearGraphImageRect(GraphImage* image, int32_t x, int32_t y, int32_t width, int32_t height);
int MirrorGraphImage(GraphImage* image);
int RotateGraphImage180(GraphImage* image);
