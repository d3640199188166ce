// Flat-colour drawing: one colour blended into destination pixels under the
// draw state. The box, lines, circles, ellipses and flat triangles resolve
// the blend mode, parameter and brightness once per call into a rule and a
// prepared colour, then run loops specialised for the rule: single pixels
// (FlatPixel32, FlatPixel16), runs along a row (SelectFlatSpan) or the runs
// of many rows at once (SelectFlatRows).
#pragma once

#include <cstdint>

#include "library/softrender/blend_rules.h"

struct MEMIMG;

// The per-pixel rule of a flat-colour draw. Mode 1 at parameter 255 runs
// Copy; mode 10 runs Alpha towards the inverted colour.
enum class FlatRule : uint8_t { Copy, Alpha, Add, Subtract, Multiply, MultiplyAlpha };
constexpr int32_t kFlatRuleCount = 6;

struct FlatColor;
// A loop of wider vectors that draws the first pixels of a run and returns
// how many it drew.
using FlatWideFn = int32_t (*)(uint8_t* dst, int32_t n, const FlatColor& f);

struct FlatColor {
  uint32_t colour;         // brightened (mode 10: and inverted), in the destination's format
  uint32_t term;           // Add, Subtract: the colour's channels scaled by the parameter
  uint32_t param;          // Alpha, MultiplyAlpha: the weight 0..255
  const int32_t* diffRow;  // BlendDiffTable row of the parameter at difference 0
  FlatWideFn wide;         // AVX2 loop of the run, or null
};

// How a routine brightens its colour: (c * b) >> 8 per channel (boxes,
// lines, circles, ellipses) or c * b / 255 from BlendScaleTable (triangles).
enum class FlatBrightness : uint8_t { Shift, Table };

struct FlatTarget {
  uint8_t* pixels;  // pixel (0, 0)
  int32_t pitch;
  bool depth32;
};

// The destination of a flat-colour draw: an unpaletted 32-bit XRGB8888 or
// 16-bit RGB565 image without the alpha flag, with a matching pixel size.
// With alpha32 a 32-bit image with the alpha flag is taken too, and drawn as
// XRGB8888 (lines, circles and ellipses draw so; boxes and triangles do
// not). False for anything else (nothing may be drawn).
bool GetFlatTarget(const MEMIMG* dst, FlatTarget* target, bool alpha32 = false);

// Reads the blend mode, parameter and brightness. False when the draw state
// draws nothing (modes 5 to 9 and beyond 11; modes 1, 2 and 3 at parameter
// 0); otherwise the rule and the colour prepared for it. A 16-bit colour is
// taken from the low 16 bits.
bool PrepareFlatColor(uint32_t colour, bool depth32, FlatBrightness brightness, FlatRule* rule,
                      FlatColor* flat);

// ---- One pixel ----

template <FlatRule R>
inline uint32_t FlatBlend32(uint32_t d, const FlatColor& f) {
  if constexpr (R == FlatRule::Copy)
    return f.colour;
  else if constexpr (R == FlatRule::Alpha)
    return BlendShiftAlpha32(d, f.colour, f.param);
  else if constexpr (R == FlatRule::Add)
    return BlendAdd32A(d, f.term);
  else if constexpr (R == FlatRule::Subtract)
    return BlendSub32(d, f.term);
  else if constexpr (R == FlatRule::Multiply)
    return BlendMultiply32(d, f.colour);
  else
    return BlendShiftAlpha32(d, BlendMultiply32(d, f.colour), f.param);
}

template <FlatRule R>
inline uint32_t FlatBlend16(uint32_t d, const FlatColor& f) {
  if constexpr (R == FlatRule::Copy)
    return f.colour;
  else if constexpr (R == FlatRule::Alpha)
    return BlendTableAlpha16(d, f.colour, f.diffRow);
  else if constexpr (R == FlatRule::Add)
    return BlendAdd16A(d, f.term);
  else if constexpr (R == FlatRule::Subtract)
    return BlendSub16(d, f.term);
  else if constexpr (R == FlatRule::Multiply)
    return BlendMultiply16(d, f.colour);
  else
    return BlendTableAlpha16(d, BlendMultiply16(d, f.colour), f.diffRow);
}

template <FlatRule R, bool Depth32>
inline void FlatPixel(uint8_t* p, const FlatColor& f) {
  if constexpr (Depth32)
    StorePixel32(p, FlatBlend32<R>(R == FlatRule::Copy ? 0 : LoadPixel32(p), f));
  else
    StorePixel16(p, FlatBlend16<R>(R == FlatRule::Copy ? 0 : LoadPixel16(p), f));
}

// Calls body.template operator()<R, Depth32>() for the rule and depth given,
// so that a routine's loop is compiled once per combination.
template <class Body>
inline void WithFlatRule(FlatRule rule, bool depth32, Body&& body) {
  auto withDepth = [&]<FlatRule R>() {
    if (depth32)
      body.template operator()<R, true>();
    else
      body.template operator()<R, false>();
  };
  switch (rule) {
    case FlatRule::Copy:
      withDepth.template operator()<FlatRule::Copy>();
      break;
    case FlatRule::Alpha:
      withDepth.template operator()<FlatRule::Alpha>();
      break;
    case FlatRule::Add:
      withDepth.template operator()<FlatRule::Add>();
      break;
    case FlatRule::Subtract:
      withDepth.template operator()<FlatRule::Subtract>();
      break;
    case FlatRule::Multiply:
      withDepth.template operator()<FlatRule::Multiply>();
      break;
    case FlatRule::MultiplyAlpha:
      withDepth.template operator()<FlatRule::MultiplyAlpha>();
      break;
  }
}

// ---- Runs ----

// Draws n pixels of one row from dst on, left to right.
using FlatSpanFn = void (*)(uint8_t* dst, int32_t n, const FlatColor& f);

// The run loop of a rule and depth; also sets flat->wide.
FlatSpanFn SelectFlatSpan(bool depth32, FlatRule rule, FlatColor* flat);

// Draws height runs of n pixels, the first at row and each pitch bytes after
// the one before.
using FlatRowsFn = void (*)(uint8_t* row, int32_t pitch, int32_t n, int32_t height, const FlatColor& f);

// The same run loop taken over many rows, without a call per row (a box's
// rows are short enough for the call to count); also sets flat->wide.
FlatRowsFn SelectFlatRows(bool depth32, FlatRule rule, FlatColor* flat);

// The AVX2 loops, from a file compiled for AVX2; used only when BlitUseAvx2.
FlatWideFn FlatWideSpanAt(bool depth32, FlatRule rule);
