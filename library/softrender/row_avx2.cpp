// The AVX2 loops of 16-bit and 32-bit rows (this file is compiled for AVX2;
// its loops run only when the processor has it). Only constant evaluation
// and the vector operations are used here, so no shared inline function is
// compiled for AVX2 on behalf of the rest of the program.
#include "library/softrender/blit_rect_table.h"

using namespace blit_detail;

BlitRectFn WideRect16At(int32_t variantIndex) { return kRectTable<Avx2Ops, false>.data()[variantIndex]; }
BlitRectFn WideRect32At(int32_t variantIndex) { return kRectTable<Avx2Ops, true>.data()[variantIndex]; }

#include "library/softrender/blit_spans.h"

const BlitSpanLoops& WideBlitSpanLoops() { return blit_spans::kLoops<Avx2Ops>; }
