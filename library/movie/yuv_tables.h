// Y'CbCr to RGB for movie frames: tables in 14-bit fixed point, built once at
// library start-up, and the conversion of one picture through them.
#pragma once

#include <cstdint>

struct YuvToRgbTableSet {
  // clamp[i + 512] for i = -512 to 767: 0 below 0, 255 from 255 on.
  uint8_t clamp[1280];
  int32_t y[256];    // 1.164 (k - 16)
  int32_t crR[256];  // 1.596 (k - 128)
  int32_t cbG[256];  // -0.391 (k - 128)
  int32_t crG[256];  // -0.813 (k - 128), plus 1024
  int32_t cbB[256];  // 2.018 (k - 128)
};
extern YuvToRgbTableSet YuvToRgbTables;

int BuildYuvToRgbTables();

// One planar picture: the luma plane and the two chroma planes, each with its
// stride (rows top first), and how far the chroma planes are subsampled
// (shift 1 = half size on that axis).
struct YuvPlanes {
  const uint8_t* luma;
  const uint8_t* cb;
  const uint8_t* cr;
  int32_t lumaStride, chromaStride;
  int32_t chromaShiftX, chromaShiftY;
};

// Converts the width x height picture whose top-left luma sample is at
// (x, y) into 32-bit pixels (bytes B, G, R, 0xFF) at dest, rows pitch bytes
// apart. The caller keeps the rectangle inside the planes.
void ConvertYuvToXrgb(const YuvPlanes& planes, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* dest,
                      int32_t pitch);
