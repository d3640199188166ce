// The AVX2 loops of 16-bit and 32-bit rows (this file is compiled for AVX2;
// its loops run only when the processor has it). Only constant evaluation
// and the vector operations are used here, so no shared inline function is
// compiled for AVX2 on behalf of the rest of the program.
#include <array>
#include <utility>

#include "library/softrender/blit_simd16.h"
#include "library/softrender/blit_simd32.h"
#include "library/softrender/simd_ops.h"

using namespace blit_detail;

namespace {

template <bool Depth32, BlitVariant V>
void WideRect(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n, int32_t rows,
              const BlendContext& c) {
  if constexpr (Depth32)
    SimdRect32<V, Avx2Ops>(dst, dstPitch, src, srcPitch, n, rows, c);
  else
    SimdRect16<V, Avx2Ops>(dst, dstPitch, src, srcPitch, n, rows, c);
}

template <bool Depth32, int32_t I>
constexpr BlitRectFn WideEntry() {
  constexpr BlitVariant v = Depth32 ? Canonical32(BlitVariantAt(I)) : Canonical16(BlitVariantAt(I));
  if constexpr (Depth32 ? HasSimd32<v>() : HasSimd16<v>())
    return &WideRect<Depth32, v>;
  else
    return nullptr;
}

template <bool Depth32, size_t... I>
constexpr std::array<BlitRectFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {WideEntry<Depth32, static_cast<int32_t>(I)>()...};
}

constexpr auto kTable16 = MakeTable<false>(std::make_index_sequence<kBlitVariantCount>());
constexpr auto kTable32 = MakeTable<true>(std::make_index_sequence<kBlitVariantCount>());

}  // namespace

BlitRectFn WideRect16At(int32_t variantIndex) { return kTable16.data()[variantIndex]; }
BlitRectFn WideRect32At(int32_t variantIndex) { return kTable32.data()[variantIndex]; }
