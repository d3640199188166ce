// Row loops of 32-bit images and their selection table.
#include <array>
#include <cstring>
#include <utility>

#include "library/softrender/blit_kernels.h"
#include "library/softrender/blit_rect_table.h"
#include "library/softrender/simd_ops.h"

using namespace blit_detail;

namespace {

template <BlitVariant V>
void Row32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, const BlendContext& c) {
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, true);
  if constexpr (IsCopy(V) && !V.trans && V.src != BlitSource::Palette) {
    std::memcpy(dst, src, static_cast<size_t>(n) * 4);
  } else if constexpr (IsCopy(V) && V.src == BlitSource::Palette) {
    PaletteCopyRow<V, 4>(dst, src, n, c);
  } else {
    if constexpr (HasSimd32<V>()) {
      c.rect(dst, 0, src, 0, n, 1, c);
    } else {
      for (int32_t i = 0; i < n; ++i) Pixel32<V>(dst + 4 * i, src + srcBytes * i, V.masked ? mask[i] : 0, c);
    }
  }
}

template <BlitVariant V>
void PixelRow32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, const BlendContext& c) {
  constexpr int32_t srcBytes = BlitSourceBytes(V.src, true);
  for (int32_t i = 0; i < n; ++i) Pixel32<V>(dst + 4 * i, src + srcBytes * i, V.masked ? mask[i] : 0, c);
}

template <size_t... I>
constexpr std::array<BlitRowFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {&Row32<Canonical32(BlitVariantAt(static_cast<int32_t>(I)))>...};
}

template <int32_t I>
constexpr BlitRowFn PixelEntry() {
  constexpr BlitVariant v = Canonical32(BlitVariantAt(I));
  if constexpr (v.trans && !v.stretched)
    return &PixelRow32<v>;
  else
    return nullptr;
}
template <size_t... I>
constexpr std::array<BlitRowFn, sizeof...(I)> MakePixelTable(std::index_sequence<I...>) {
  return {PixelEntry<static_cast<int32_t>(I)>()...};
}

constexpr auto kTable = MakeTable(std::make_index_sequence<kBlitVariantCount>());
constexpr auto kPixelTable = MakePixelTable(std::make_index_sequence<kBlitVariantCount>());

bool DetectAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace

bool BlitUseAvx2 = DetectAvx2();

BlitRowFn SelectPixelRow32(const BlitVariant& v) { return kPixelTable[BlitVariantIndex(v)]; }

BlitRowFn SelectRow32(const BlitVariant& v, BlendContext* context) {
  const int32_t index = BlitVariantIndex(v);
  context->rect = BlitUseAvx2 ? WideRect32At(index) : kRectTable<Sse2Ops, true>[index];
  return kTable[index];
}
