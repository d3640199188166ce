// The converter's vector loops compiled for AVX2 (run only when the
// processor has it).
#include "library/graphics/color_convert_simd.h"

ShiftConvertFn ShiftConvertLoopAvx2(const ShiftConversion& k) { return ShiftConvertLoop<Avx2Ops>(k); }
