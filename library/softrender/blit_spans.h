// Loops over one span of 32-bit pixels for the blits that draw a graph run
// by run (soft_blit.cpp), written once over the vector operations of
// simd_ops.h: the mix of a white source with alpha under the copy mode for
// pixels of alpha below 255, and the guard-bit add (form A) of terms made
// beforehand. Every result equals the one-pixel rules bit for bit. Only the
// vector operations are used here, so that the loops can be compiled for
// several instruction sets in one program.
#pragma once

#include <cstdint>
#include <cstring>

#include "library/softrender/simd_ops.h"

struct BlitSpanLoops {
  // Each channel floor((d x (256 - a) + s x a) / 256) for pixels of alpha a
  // below 255; byte 3 of d kept.
  void (*mixAlpha)(uint8_t* dst, const uint8_t* src, int32_t n);
  // The same for pixels that all have the alpha a (1 to 254).
  void (*mixOneAlpha)(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t a);
  // The guard-bit add (form A) of terms whose byte 3 is 0.
  void (*addTerms)(uint8_t* dst, const uint8_t* terms, int32_t n);
  // The same, but a term whose byte 3 is 0xFF (bytes 0 to 2 zero) leaves
  // the pixel whole.
  void (*addMarkedTerms)(uint8_t* dst, const uint8_t* terms, int32_t n);
  // The white copy of a source with alpha from its kept words (soft_blit.cpp):
  // each channel (d x w + q) >> 8, the q of blue and red in the 16-bit
  // halves of a word of the first plane, of green and w in those of the
  // second; byte 3 255 where w is 0, else d's.
  void (*mixKept)(uint8_t* dst, const uint8_t* first, const uint8_t* second, int32_t n);
};

// The AVX2 loops, from a file compiled for AVX2; called only when BlitUseAvx2.
const BlitSpanLoops& WideBlitSpanLoops();
// The loops for the instruction set in use.
const BlitSpanLoops& CurrentBlitSpanLoops();

namespace blit_spans {

// step(i) for each whole vector of the span's pixels from its first, then
// tail(i) for each pixel left.
template <class Ops, class Step, class Tail>
inline void Span32(int32_t n, Step step, Tail tail) {
  constexpr int32_t lanes = Ops::kBytes / 4;
  int32_t i = 0;
#pragma GCC unroll 2
  for (; i + lanes <= n; i += lanes) step(i);
  for (; i < n; ++i) tail(i);
}

template <class Ops>
void MixAlpha(uint8_t* dst, const uint8_t* src, int32_t n) {
  using Vec = typename Ops::V;
  const Vec lowBytes = Ops::Set32(0x00FF00FF);
  Span32<Ops>(
      n,
      [&](int32_t i) {
        const Vec s = Ops::Load(src + 4 * i), d = Ops::Load(dst + 4 * i);
        const Vec sRB = Ops::And(s, lowBytes), sGA = Ops::template Srl16<8>(s);
        const Vec dRB = Ops::And(d, lowBytes), dGA = Ops::template Srl16<8>(d);
        // 2a in both halves for blue and red; 2a and 0 (byte 3 kept) for green.
        const Vec wGA = Ops::template Sll32<1>(Ops::template Srl32<24>(s));
        const Vec wRB = Ops::Or(wGA, Ops::template Sll32<16>(wGA));
        const Vec rb = SimdMix16<Ops>(sRB, dRB, wRB), ga = SimdMix16<Ops>(sGA, dGA, wGA);
        Ops::Store(dst + 4 * i, Ops::Or(rb, Ops::template Sll16<8>(ga)));
      },
      [&](int32_t i) {
        // (BlendShiftAlpha32 written out: no shared inline function is
        // compiled here for another instruction set.)
        uint32_t s, d;
        std::memcpy(&s, src + 4 * i, 4);
        std::memcpy(&d, dst + 4 * i, 4);
        const uint32_t k = s >> 24;
        const uint32_t rb = ((d & 0x00FF00FFu) * (256 - k) + (s & 0x00FF00FFu) * k) >> 8;
        const uint32_t g = ((d & 0x0000FF00u) * (256 - k) + (s & 0x0000FF00u) * k) >> 8;
        const uint32_t out = (rb & 0x00FF00FFu) | (g & 0x0000FF00u) | (d & 0xFF000000u);
        std::memcpy(dst + 4 * i, &out, 4);
      });
}

template <class Ops>
void MixOneAlpha(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t a) {
  using Vec = typename Ops::V;
  const Vec lowBytes = Ops::Set32(0x00FF00FF);
  const Vec wRB = Ops::Set32(2 * a * 0x00010001u), wGA = Ops::Set32(2 * a);  // (byte 3 kept)
  Span32<Ops>(
      n,
      [&](int32_t i) {
        const Vec s = Ops::Load(src + 4 * i), d = Ops::Load(dst + 4 * i);
        const Vec rb = SimdMix16<Ops>(Ops::And(s, lowBytes), Ops::And(d, lowBytes), wRB);
        const Vec ga = SimdMix16<Ops>(Ops::template Srl16<8>(s), Ops::template Srl16<8>(d), wGA);
        Ops::Store(dst + 4 * i, Ops::Or(rb, Ops::template Sll16<8>(ga)));
      },
      [&](int32_t i) {
        uint32_t s, d;
        std::memcpy(&s, src + 4 * i, 4);
        std::memcpy(&d, dst + 4 * i, 4);
        const uint32_t rb = ((d & 0x00FF00FFu) * (256 - a) + (s & 0x00FF00FFu) * a) >> 8;
        const uint32_t g = ((d & 0x0000FF00u) * (256 - a) + (s & 0x0000FF00u) * a) >> 8;
        const uint32_t out = (rb & 0x00FF00FFu) | (g & 0x0000FF00u) | (d & 0xFF000000u);
        std::memcpy(dst + 4 * i, &out, 4);
      });
}

template <class Ops, bool Marked>
void AddTerms(uint8_t* dst, const uint8_t* terms, int32_t n) {
  using Vec = typename Ops::V;
  const Vec guard = Ops::Set32(0x00FEFEFF), high = Ops::Set32(0xFF000000u);
  const Vec carries = Ops::Set32(0x01010100), lowBits = Ops::Set32(0x00010100);
  Span32<Ops>(
      n,
      [&](int32_t i) {
        const Vec t = Ops::Load(terms + 4 * i), d = Ops::Load(dst + 4 * i);
        if constexpr (Marked && Ops::kMaskStore32) {
          // The pixels of marked terms (byte 3 all ones) are not stored.
          const Vec dm = Ops::And(d, guard);
          const Vec sum = Ops::Or(Ops::AddSatU8(dm, t), Ops::And(Ops::Add32(dm, Ops::And(t, guard)), carries));
          Ops::MaskStore32(dst + 4 * i, Ops::Xor(t, Ops::CmpEq32(t, t)), Ops::Or(sum, Ops::And(d, lowBits)));
          return;
        }
        // A marked term (byte 3 all ones, bytes 0 to 2 zero) keeps all of d.
        const Vec dm = Ops::And(d, Marked ? Ops::Or(guard, Ops::And(t, high)) : guard);
        // The saturating add of the whole term gives each channel its sum
        // with the term's lowest bit (the sum of the upper seven bits is
        // even, or saturates to 255); the carries come from the masked term.
        // (A marked term adds nothing: its byte 3 only meets d's.)
        const Vec sum = Ops::Or(Ops::AddSatU8(dm, Marked ? Ops::And(t, Ops::Set32(0x00FFFFFF)) : t),
                                Ops::And(Ops::Add32(dm, Ops::And(t, guard)), carries));
        Ops::Store(dst + 4 * i, Ops::Or(sum, Ops::And(d, lowBits)));
      },
      [&](int32_t i) {
        // (BlendAdd32A written out.)
        uint32_t t, d;
        std::memcpy(&t, terms + 4 * i, 4);
        if (Marked && (t >> 24) != 0) return;
        std::memcpy(&d, dst + 4 * i, 4);
        const uint32_t u = (d & 0x00FEFEFFu) + (t & 0x00FEFEFFu);
        const uint32_t q = u & 0x01010100u;
        const uint32_t out = u | (q - (q >> 8)) | ((d | t) & 0x00010100u);
        std::memcpy(dst + 4 * i, &out, 4);
      });
}

template <class Ops>
void MixKept(uint8_t* dst, const uint8_t* first, const uint8_t* second, int32_t n) {
  using Vec = typename Ops::V;
  const Vec lowBytes = Ops::Set32(0x00FF00FF), green = Ops::Set32(0x0000FF00), high = Ops::Set32(0xFF000000u);
  Span32<Ops>(
      n,
      [&](int32_t i) {
        const Vec d = Ops::Load(dst + 4 * i), qRB = Ops::Load(first + 4 * i), qGW = Ops::Load(second + 4 * i);
        const Vec w = Ops::DupHigh16(qGW);
        const Vec rb = Ops::template Srl16<8>(Ops::Add16(Ops::MulLo16(Ops::And(d, lowBytes), w), qRB));
        const Vec g = Ops::And(Ops::Add16(Ops::MulLo16(Ops::template Srl16<8>(d), w), qGW), green);
        // Byte 3: 255 where w is 0 (alpha 255), else the destination's.
        const Vec opaque = Ops::And(Ops::CmpEq16(qGW, Ops::Zero()), high);
        Ops::Store(dst + 4 * i, Ops::Or(Ops::Or(rb, g), Ops::And(Ops::Or(d, opaque), high)));
      },
      [&](int32_t i) {
        uint32_t d, q, gw;
        std::memcpy(&d, dst + 4 * i, 4);
        std::memcpy(&q, first + 4 * i, 4);
        std::memcpy(&gw, second + 4 * i, 4);
        const uint32_t w = gw >> 16;
        const uint32_t b = ((d & 0xFF) * w + (q & 0xFFFF)) >> 8, r = (((d >> 16) & 0xFF) * w + (q >> 16)) >> 8;
        const uint32_t g = (((d >> 8) & 0xFF) * w + (gw & 0xFFFF)) >> 8;
        const uint32_t out = b | g << 8 | r << 16 | (w == 0 ? 0xFF000000u : d & 0xFF000000u);
        std::memcpy(dst + 4 * i, &out, 4);
      });
}

template <class Ops>
constexpr BlitSpanLoops kLoops = {&MixAlpha<Ops>, &MixOneAlpha<Ops>, &AddTerms<Ops, false>, &AddTerms<Ops, true>,
                                   &MixKept<Ops>};

}  // namespace blit_spans
