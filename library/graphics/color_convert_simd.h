// Vector loops of the converter for pairs whose every destination bit is a
// shifted source bit (or a constant): each channel shifted into place and
// masked, a constant OR-ed in, and optionally an alpha set where the source
// differs from a key. Written once over the vector operations of
// softrender/simd_ops.h for SSE2 and, in a file compiled for it, AVX2; only
// those operations, templates over them and the built-in memcpy and memset
// are used here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "library/softrender/simd_ops.h"

// One conversion of this shape, fixed per call.
struct ShiftConversion {
  int32_t srcBytes;   // 2, 3 or 4
  int32_t destBytes;  // 2 or 4
  int32_t channels;
  int32_t shift[4];   // > 0: right by that many bits, < 0: left
  uint32_t mask[4];   // destination bits of the channel
  uint32_t constant;  // bits set in every pixel
  bool keyed;         // keyAlpha set where (source & keyMask) != keyValue
  uint32_t keyMask, keyValue, keyAlpha;
};

// The shapes with loops of their own (their shifts and masks fixed).
// To565: 24 or 32-bit RGB into RGB565. To565Alpha: ARGB8888 into RGB565
// with the alpha byte in bits 16 to 23 (the software renderer's 16-bit
// pictures with alpha), a constant OR-ed in. SetAlpha: SameColours where
// every bit outside the colour bits is an alpha bit (XRGB8888 to ARGB8888
// with the key to alpha).
enum class ShiftShape { General, To565, To565Alpha, From565, SameColours, SetAlpha };

// (A template, as everything here, so that no copy compiled for AVX2 stands
// in for the others.)
template <class Ops>
ShiftShape ShapeOf(const ShiftConversion& k) {
  if ((k.srcBytes == 4 || k.srcBytes == 3) && k.destBytes == 2 && k.channels == 3 && !k.keyed && k.constant == 0 &&
      k.shift[0] == 8 && k.mask[0] == 0xF800u && k.shift[1] == 5 && k.mask[1] == 0x7E0u && k.shift[2] == 3 &&
      k.mask[2] == 0x1Fu)
    return ShiftShape::To565;
  if (k.srcBytes == 4 && k.destBytes == 4 && k.channels == 3 && !k.keyed && (k.constant & 0xFFFFFFu) == 0 &&
      k.shift[0] == 8 && k.mask[0] == 0xFFF800u && k.shift[1] == 5 && k.mask[1] == 0x7E0u && k.shift[2] == 3 &&
      k.mask[2] == 0x1Fu)
    return ShiftShape::To565Alpha;
  if (k.srcBytes == 2 && k.destBytes == 4 && k.channels == 3 && k.shift[0] == -8 && k.mask[0] == 0xF80000u &&
      k.shift[1] == -5 && k.mask[1] == 0xFC00u && k.shift[2] == -3 && k.mask[2] == 0xF8u)
    return ShiftShape::From565;
  if (k.srcBytes == 4 && k.destBytes == 4 && k.channels == 1 && k.shift[0] == 0 && k.constant == 0 && k.keyed &&
      k.keyMask == k.mask[0] && (k.keyValue & ~k.keyMask) == 0)
    return (k.mask[0] | k.keyAlpha) == 0xFFFFFFFFu && (k.mask[0] & k.keyAlpha) == 0 ? ShiftShape::SetAlpha
                                                                                       : ShiftShape::SameColours;
  return ShiftShape::General;
}

// Converts rows of n pixels (each pointer moved on by its pitch after a row),
// four vectors of pixels at a time (two into 16-bit pixels, eight for the
// alpha OR); a row's first pixels (up to an aligned destination) and last
// pixels go through a copy.
template <class Ops, int32_t SrcBytes, int32_t DestBytes, ShiftShape Shape>
void ShiftConvertRows(const ShiftConversion& k, uint8_t* dest, int32_t destPitch, const uint8_t* src,
                      int32_t srcPitch, int32_t n, int32_t rows) {
  using Vec = typename Ops::V;
  constexpr int32_t lanes = Ops::kBytes / 4;
  // Pixels of one step: four vectors of 32-bit lanes (two into 16-bit
  // pixels other than RGB565; eight for the alpha OR, whose key test then
  // costs one mask and one branch per eight vectors).
  constexpr int32_t stepVectors =
      Shape == ShiftShape::SetAlpha ? 8 : DestBytes == 4 || Shape == ShiftShape::To565 ? 4 : 2;
  constexpr int32_t stepPixels = stepVectors * lanes;
  Vec masks[4];
  for (int32_t i = 0; i < k.channels; ++i) masks[i] = Ops::Set32(k.mask[i]);
  const Vec constant = Ops::Set32(k.constant), keyMask = Ops::Set32(k.keyMask);
  const Vec keyValue = Ops::Set32(k.keyValue), keyAlpha = Ops::Set32(k.keyAlpha);
  const bool keyed = k.keyed;
  auto convert = [&](Vec v) {
    Vec r = constant;
    if constexpr (Shape == ShiftShape::To565 || Shape == ShiftShape::To565Alpha) {
      // Red and blue moved by one multiply-add (blue times 4, red times
      // 2^13), green by its mask: the pixel lands in bits 5 to 20.
      const Vec rb = Ops::MAdd16(Ops::And(v, Ops::Set32(0x00F800F8u)), Ops::Set32(0x20000004u));
      const Vec rgb = Ops::Or(rb, Ops::And(v, Ops::Set32(0xFC00u)));
      if constexpr (Shape == ShiftShape::To565) return rgb;
      // Down to bits 0 to 15, the alpha byte to bits 16 to 23.
      return Ops::Or(Ops::Or(Ops::template Srl32<5>(rgb), Ops::And(Ops::template Srl32<8>(v), Ops::Set32(0xFF0000u))),
                     constant);
    } else if constexpr (Shape == ShiftShape::From565) {
      r = Ops::Or(r, Ops::Or(Ops::And(Ops::template Sll32<8>(v), Ops::Set32(0xF80000u)),
                             Ops::Or(Ops::And(Ops::template Sll32<5>(v), Ops::Set32(0xFC00u)),
                                     Ops::And(Ops::template Sll32<3>(v), Ops::Set32(0xF8u)))));
    } else if constexpr (Shape == ShiftShape::SameColours) {
      // The kept bits, and the alpha bits unless they equal the key.
      const Vec kept = Ops::And(v, masks[0]);
      return Ops::Or(kept, Ops::AndNot(Ops::CmpEq32(kept, keyValue), keyAlpha));
    } else {
      for (int32_t i = 0; i < k.channels; ++i) {
        const Vec moved = k.shift[i] >= 0 ? Ops::SrlVar32(v, k.shift[i]) : Ops::SllVar32(v, -k.shift[i]);
        r = Ops::Or(r, Ops::And(moved, masks[i]));
      }
    }
    if (keyed) r = Ops::Or(r, Ops::AndNot(Ops::CmpEq32(Ops::And(v, keyMask), keyValue), keyAlpha));
    return r;
  };
  auto load = [&](const uint8_t* in) {
    if constexpr (SrcBytes == 4)
      return Ops::Load(in);
    else if constexpr (SrcBytes == 3)
      return Ops::Load24(in);
    else
      return Ops::LoadWiden16(in);
  };
  auto step = [&](uint8_t* out, const uint8_t* in) {
    if constexpr (Shape == ShiftShape::SetAlpha) {
      // Source OR alpha is the pixel, unless it is the key. Eight vectors
      // are tested at once; those with a key pixel (rare in most pictures)
      // go through the kept-bits rule of SameColours.
      const Vec keyed = Ops::Or(keyValue, keyAlpha);
      Vec v[stepVectors], hit[stepVectors];
      for (int32_t j = 0; j < stepVectors; ++j) {
        v[j] = Ops::Or(load(in + 4 * lanes * j), keyAlpha);
        hit[j] = Ops::CmpEq32(v[j], keyed);
      }
      const Vec any = Ops::Or(Ops::Or(Ops::Or(hit[0], hit[1]), Ops::Or(hit[2], hit[3])),
                              Ops::Or(Ops::Or(hit[4], hit[5]), Ops::Or(hit[6], hit[7])));
      if (Ops::MoveMask8(any) != 0) [[unlikely]] {
        for (int32_t j = 0; j < stepVectors; ++j) {
          const Vec kept = Ops::And(load(in + 4 * lanes * j), masks[0]);
          Ops::Store(out + Ops::kBytes * j, Ops::Or(kept, Ops::AndNot(Ops::CmpEq32(kept, keyValue), keyAlpha)));
        }
        return;
      }
      for (int32_t j = 0; j < stepVectors; ++j) Ops::Store(out + Ops::kBytes * j, v[j]);
    } else if constexpr (DestBytes == 4) {
      for (int32_t j = 0; j < 4; ++j) Ops::Store(out + Ops::kBytes * j, convert(load(in + SrcBytes * lanes * j)));
    } else if constexpr (Shape == ShiftShape::To565) {
      // The pixels, in bits 5 to 20 of their lanes, packed to 16 bits. With
      // 128-bit vectors the lanes are split into even and odd ones, and the
      // even pixels shifted to the low half of each lane and the odd ones to
      // the high half: a shift each in place of a shift pair each and a pack.
      // With 256-bit vectors the split costs more than it saves.
      // (The split comes first: the shuffle is quicker on the loaded
      // pixels than between the integer operations.)
      for (int32_t j = 0; j < stepVectors; j += 2) {
        const Vec a = load(in + SrcBytes * lanes * j), b = load(in + SrcBytes * lanes * (j + 1));
        Vec packed;
        if constexpr (Ops::kBytes == 16) {
          Vec even, odd;
          Ops::EvenOdd32(a, b, &even, &odd);
          packed = Ops::Or(Ops::template Srl32<5>(convert(even)), Ops::template Sll32<11>(convert(odd)));
        } else {
          packed = Ops::PackSigned32(Ops::template Sra32<16>(Ops::template Sll32<11>(convert(a))),
                                     Ops::template Sra32<16>(Ops::template Sll32<11>(convert(b))));
        }
        Ops::Store(out + Ops::kBytes * (j / 2), packed);
      }
    } else {
      Ops::Store(out, Ops::PackLow16(convert(load(in)), convert(load(in + SrcBytes * lanes))));
    }
  };
  // 3-byte loads read up to 4 bytes past their pixels: those are left to the
  // copy when the row ends there.
  constexpr int32_t overread = SrcBytes == 3 ? 4 : 0;
  alignas(32) uint8_t in[stepPixels * SrcBytes + overread], out[stepPixels * DestBytes];
  const int32_t whole = overread == 0 || n * SrcBytes >= overread ? (n * SrcBytes - overread) / SrcBytes : 0;
  const int32_t end = whole - whole % stepPixels;
  auto copied = [&](uint8_t* d, const uint8_t* s, int32_t count) {
    std::memset(in, 0, sizeof in);
    std::memcpy(in, s, static_cast<size_t>(count) * SrcBytes);
    step(out, in);
    std::memcpy(d, out, static_cast<size_t>(count) * DestBytes);
  };
  for (int32_t row = 0; row < rows; ++row, dest += destPitch, src += srcPitch) {
    // Long rows first reach a vector-aligned destination address.
    int32_t head = 0;
    const uintptr_t misaligned = reinterpret_cast<uintptr_t>(dest) & (Ops::kBytes - 1);
    if (end >= 8 * stepPixels && misaligned % DestBytes == 0) {
      head = static_cast<int32_t>((Ops::kBytes - misaligned) & (Ops::kBytes - 1)) / DestBytes;
      if (head != 0) copied(dest, src, head);
    }
    const int32_t stop = end - (end - head) % stepPixels;
    // (Pointers stepped on, not an index multiplied out each step.)
    uint8_t* to = dest + DestBytes * static_cast<ptrdiff_t>(head);
    const uint8_t* from = src + SrcBytes * static_cast<ptrdiff_t>(head);
    for (uint8_t* const toEnd = dest + DestBytes * static_cast<ptrdiff_t>(stop); to < toEnd;
         to += DestBytes * stepPixels, from += SrcBytes * stepPixels)
      step(to, from);
    for (int32_t i = stop; i < n; i += stepPixels)
      copied(dest + DestBytes * i, src + SrcBytes * i, n - i < stepPixels ? n - i : stepPixels);
  }
}

// Exchanges the first and the third byte of each of n 4-byte pixels (red and
// blue of 8-bit channels), the second and the fourth staying.
template <class Ops>
void SwapRedBlue32(uint8_t* p, size_t n) {
  using Vec = typename Ops::V;
  constexpr size_t lanes = Ops::kBytes / 4;
  const Vec kept = Ops::Set32(0xFF00FF00u), low = Ops::Set32(0xFFu), third = Ops::Set32(0xFF0000u);
  size_t i = 0;
  for (; i + lanes <= n; i += lanes, p += Ops::kBytes) {
    const Vec v = Ops::Load(p);
    Ops::Store(p, Ops::Or(Ops::And(v, kept), Ops::Or(Ops::And(Ops::template Srl32<16>(v), low),
                                                     Ops::And(Ops::template Sll32<16>(v), third))));
  }
  for (; i < n; ++i, p += 4) {
    const uint8_t first = p[0];
    p[0] = p[2];
    p[2] = first;
  }
}
// Both sizes, in the file compiled for AVX2 (3-byte pixels by byte shuffles).
void SwapRedBlueAvx2(uint8_t* p, size_t n, int32_t bytesPerPixel);

// The loop for the conversion's shape and pixel sizes and the instruction set.
using ShiftConvertFn = void (*)(const ShiftConversion& k, uint8_t* dest, int32_t destPitch, const uint8_t* src,
                                int32_t srcPitch, int32_t n, int32_t rows);
template <class Ops>
ShiftConvertFn ShiftConvertLoop(const ShiftConversion& k) {
  switch (ShapeOf<Ops>(k)) {
    case ShiftShape::To565:
      return k.srcBytes == 3 ? &ShiftConvertRows<Ops, 3, 2, ShiftShape::To565>
                             : &ShiftConvertRows<Ops, 4, 2, ShiftShape::To565>;
    case ShiftShape::To565Alpha: return &ShiftConvertRows<Ops, 4, 4, ShiftShape::To565Alpha>;
    case ShiftShape::From565: return &ShiftConvertRows<Ops, 2, 4, ShiftShape::From565>;
    case ShiftShape::SameColours: return &ShiftConvertRows<Ops, 4, 4, ShiftShape::SameColours>;
    case ShiftShape::SetAlpha: return &ShiftConvertRows<Ops, 4, 4, ShiftShape::SetAlpha>;
    default: break;
  }
  constexpr ShiftShape g = ShiftShape::General;
  if (k.srcBytes == 4) return k.destBytes == 4 ? &ShiftConvertRows<Ops, 4, 4, g> : &ShiftConvertRows<Ops, 4, 2, g>;
  if (k.srcBytes == 3) return k.destBytes == 4 ? &ShiftConvertRows<Ops, 3, 4, g> : &ShiftConvertRows<Ops, 3, 2, g>;
  return k.destBytes == 4 ? &ShiftConvertRows<Ops, 2, 4, g> : &ShiftConvertRows<Ops, 2, 2, g>;
}
// From color_convert_avx2.cpp.
ShiftConvertFn ShiftConvertLoopAvx2(const ShiftConversion& k);
