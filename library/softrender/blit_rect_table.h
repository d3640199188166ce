// The table of a depth's vector loops for one instruction set, indexed as
// the variants are (BlitVariantIndex): null where a variant has no vector
// loop. Only constant evaluation and the loops' templates over the vector
// operations are used here, so that the table can be built in a file
// compiled for AVX2 as well as in the others.
#pragma once

#include <array>
#include <utility>

#include "library/softrender/blit_simd16.h"
#include "library/softrender/blit_simd32.h"

namespace blit_detail {

template <class Ops, bool Depth32, BlitVariant V>
void RectLoop(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t n, int32_t rows,
              const BlendContext& c) {
  if constexpr (Depth32)
    SimdRect32<V, Ops>(dst, dstPitch, src, srcPitch, n, rows, c);
  else
    SimdRect16<V, Ops>(dst, dstPitch, src, srcPitch, n, rows, c);
}

template <class Ops, bool Depth32, int32_t I>
constexpr BlitRectFn RectEntry() {
  constexpr BlitVariant v = Depth32 ? Canonical32(BlitVariantAt(I)) : Canonical16(BlitVariantAt(I));
  if constexpr (Depth32 ? HasSimd32<v>() : HasSimd16<v>())
    return &RectLoop<Ops, Depth32, v>;
  else
    return nullptr;
}

template <class Ops, bool Depth32, size_t... I>
constexpr std::array<BlitRectFn, sizeof...(I)> MakeRectTable(std::index_sequence<I...>) {
  return {RectEntry<Ops, Depth32, static_cast<int32_t>(I)>()...};
}

template <class Ops, bool Depth32>
constexpr auto kRectTable = MakeRectTable<Ops, Depth32>(std::make_index_sequence<kBlitVariantCount>());

}  // namespace blit_detail
