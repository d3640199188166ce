// Row loops of 32-bit images and their selection table.
#include <array>
#include <cstring>
#include <utility>

#include "library/softrender/blit_kernels.h"

using namespace blit_detail;

namespace {

template <BlitVariant V>
void Row32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, const BlendContext& c) {
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, true);
  if constexpr (IsCopy(V) && !V.trans && V.src != BlitSource::Palette) {
    std::memcpy(dst, src, static_cast<size_t>(n) * 4);
  } else {
    for (int32_t i = 0; i < n; ++i)
      Pixel32<V>(dst + 4 * i, src + srcBytes * i, V.masked ? mask[i] : 0, c);
  }
}

// Parameter cases that draw like the general case share its loop.
constexpr BlitVariant Canonical32(BlitVariant v) {
  if ((v.param == BlitParam::Half && !HalfSum32(v)) || (v.param == BlitParam::Full && !AddFormB32(v)))
    v.param = BlitParam::General;
  return v;
}

template <size_t... I>
constexpr std::array<BlitRowFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {&Row32<Canonical32(BlitVariantAt(static_cast<int32_t>(I)))>...};
}

constexpr auto kTable = MakeTable(std::make_index_sequence<kBlitVariantCount>());

}  // namespace

BlitRowFn SelectRow32(const BlitVariant& v) { return kTable[BlitVariantIndex(v)]; }
