// Y'CbCr to RGB for movie frames: tables in 14-bit fixed point, built once at
// library start-up, and the conversion of one picture through them.
#pragma once

#include <cstdint>

// Each table is linear: entry k = step * k + base.
constexpr int32_t YuvYStep = 19070, YuvYBase = -305120;       // 1.164 (k - 16)
constexpr int32_t YuvCrRStep = 26148, YuvCrRBase = -3346944;  // 1.596 (k - 128)
constexpr int32_t YuvCbGStep = -6406, YuvCbGBase = 819968;    // -0.391 (k - 128)
constexpr int32_t YuvCrGStep = -13320, YuvCrGBase = 1705984;  // -0.813 (k - 128), plus 1024
constexpr int32_t YuvCbBStep = 33062, YuvCbBBase = -4231936;  // 2.018 (k - 128)

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
// apart. The caller keeps the rectangle inside the planes. Pictures with
// chroma halved across convert with vector loops that give the tables'
// pixels exactly.
void ConvertYuvToXrgb(const YuvPlanes& planes, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* dest,
                      int32_t pitch);

// The vector loops the conversion uses: the widest the processor has, chosen
// at start-up; tests and benchmarks may lower it.
constexpr int32_t YuvLoopsSse2 = 0, YuvLoopsAvx2 = 1, YuvLoopsAvx512 = 2;
extern int32_t YuvConvertLoops;
int32_t YuvWidestLoops();

// The leading pixels of one or two luma rows that share a chroma row (row1
// and out1 null for one row), from an even column: whole vectors of them
// within width. Returns how many were converted.
using YuvRowsFn = int32_t (*)(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                              uint32_t* out0, uint32_t* out1, int32_t width);
int32_t ConvertYuvRowsSse2(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                           uint32_t* out0, uint32_t* out1, int32_t width);
// From files compiled for AVX2 and AVX-512 (F, BW): called only when the
// processor has them.
int32_t ConvertYuvRowsAvx2(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                           uint32_t* out0, uint32_t* out1, int32_t width);
int32_t ConvertYuvRowsAvx512(const uint8_t* row0, const uint8_t* row1, const uint8_t* cb, const uint8_t* cr,
                             uint32_t* out0, uint32_t* out1, int32_t width);
