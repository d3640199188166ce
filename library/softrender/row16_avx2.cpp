// The AVX2 loops of 16-bit rows (this file is compiled for AVX2; its loops
// run only when the processor has it). Only constant evaluation and the
// vector operations are used here, so no shared inline function is compiled
// for AVX2 on behalf of the rest of the program.
#include <array>
#include <utility>

#include "library/softrender/blit_simd16.h"
#include "library/softrender/simd_ops.h"

using namespace blit_detail;

namespace {

template <BlitVariant V>
int32_t WideRow16(uint8_t* dst, const uint8_t* src, int32_t n, const BlendContext& c) {
  return SimdRow16<V, Avx2Ops>(dst, src, n, c);
}

template <int32_t I>
constexpr BlitWideFn WideEntry() {
  constexpr BlitVariant v = Canonical16(BlitVariantAt(I));
  if constexpr (HasSimd16<v>())
    return &WideRow16<v>;
  else
    return nullptr;
}

template <size_t... I>
constexpr std::array<BlitWideFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {WideEntry<static_cast<int32_t>(I)>()...};
}

constexpr auto kTable = MakeTable(std::make_index_sequence<kBlitVariantCount>());

}  // namespace

BlitWideFn WideRow16At(int32_t variantIndex) { return kTable.data()[variantIndex]; }
