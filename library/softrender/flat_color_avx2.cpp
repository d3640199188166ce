// The AVX2 loops of flat-colour runs (this file is compiled for AVX2; its
// loops run only when the processor has it). Only the vector operations are
// used here, so no shared inline function is compiled for AVX2 on behalf of
// the rest of the program.
#include "library/softrender/flat_simd.h"

namespace {

template <FlatRule R>
int32_t WideSpan32(uint8_t* dst, int32_t n, const FlatColor& f) {
  return flat_detail::FlatSpanSimd32<R, Avx2Ops>(dst, n, f);
}

template <FlatRule R>
int32_t WideSpan16(uint8_t* dst, int32_t n, const FlatColor& f) {
  return flat_detail::FlatSpanSimd16<R, Avx2Ops>(dst, n, f);
}

constexpr FlatWideFn kWide32[kFlatRuleCount] = {
    &WideSpan32<FlatRule::Copy>,     &WideSpan32<FlatRule::Alpha>,    &WideSpan32<FlatRule::Add>,
    &WideSpan32<FlatRule::Subtract>, &WideSpan32<FlatRule::Multiply>, &WideSpan32<FlatRule::MultiplyAlpha>};

}  // namespace

FlatWideFn FlatWideSpanAt(bool depth32, FlatRule rule) {
  // The 16-bit runs have a vector form for the copy and alpha only.
  if (!depth32)
    return rule == FlatRule::Copy    ? &WideSpan16<FlatRule::Copy>
           : rule == FlatRule::Alpha ? &WideSpan16<FlatRule::Alpha>
                                     : nullptr;
  return kWide32[static_cast<int32_t>(rule)];
}
