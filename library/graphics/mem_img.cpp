#include "library/graphics/mem_img.h"

#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "library/core/memory.h"
#include "library/graphics/draw_state.h"

namespace {

constexpr int32_t kPaletteBlockSize = 2048;

int32_t PitchShiftOf(int32_t pitch, int64_t laidOut) {
  int64_t power = 1;
  int32_t shift = 0;
  while (power < laidOut) {
    power <<= 1;
    ++shift;
  }
  return power == pitch ? shift : -1;
}

uint32_t ReadPixel(const uint8_t* p, int32_t bytes) {
  switch (bytes) {
    case 1:
      return p[0];
    case 2: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// One pixel of the premultiplied copy: each colour field times alpha,
// shifted right by 8 within its own bits, the alpha kept.
uint32_t Premultiply(uint32_t v, int32_t depthKind) {
  if (depthKind == MemImgDepth16) {
    uint32_t a = (v >> 16) & 0xFF;
    return ((((v & 0xF800) * a) >> 8) & 0xF800) | ((((v & 0x07E0) * a) >> 8) & 0x07E0) |
           (((v & 0x001F) * a) >> 8) | (v & 0x00FF0000);
  }
  uint32_t a = v >> 24;
  return (((v & 0xFF) * a) >> 8) | (((((v >> 8) & 0xFF) * a) >> 8) << 8) | (((((v >> 16) & 0xFF) * a) >> 8) << 16) |
         (v & 0xFF000000);
}

#if defined(__SSE2__)
// Four pixels of Premultiply at once. The products are taken as the high
// halves of 16-bit products with alpha x 256: (c x a x 256) >> 16 is
// (c x a) >> 8 exactly.
__m128i Premultiply4(__m128i v, int32_t depthKind) {
  if (depthKind == MemImgDepth16) {
    const __m128i a8 = _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(v, 16), _mm_set1_epi32(0xFF)), 8);
    const __m128i c = _mm_and_si128(v, _mm_set1_epi32(0xFFFF));
    const __m128i r = _mm_and_si128(_mm_mulhi_epu16(_mm_and_si128(c, _mm_set1_epi32(0xF800)), a8), _mm_set1_epi32(0xF800));
    const __m128i g = _mm_and_si128(_mm_mulhi_epu16(_mm_and_si128(c, _mm_set1_epi32(0x07E0)), a8), _mm_set1_epi32(0x07E0));
    const __m128i b = _mm_mulhi_epu16(_mm_and_si128(c, _mm_set1_epi32(0x001F)), a8);
    return _mm_or_si128(_mm_or_si128(r, g), _mm_or_si128(b, _mm_and_si128(v, _mm_set1_epi32(0x00FF0000))));
  }
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
  const __m128i alo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
  const __m128i ahi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
  lo = _mm_srli_epi16(_mm_mullo_epi16(lo, alo), 8);
  hi = _mm_srli_epi16(_mm_mullo_epi16(hi, ahi), 8);
  const __m128i alphaBits = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  return _mm_or_si128(_mm_andnot_si128(alphaBits, _mm_packus_epi16(lo, hi)), _mm_and_si128(v, alphaBits));
}
#endif

void BuildPremultiplied(MEMIMG* view) {
  MemImgBuffer* b = view->buffer;
  for (int32_t y = 0; y < view->height; ++y) {
    const uint8_t* src = view->pixels + static_cast<int64_t>(y) * b->pitch;
    uint8_t* dst = view->premultipliedPixels + static_cast<int64_t>(y) * b->pitch;
    int32_t x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= view->width; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x * 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x * 4), Premultiply4(v, b->depthKind));
    }
#endif
    for (; x < view->width; ++x) {
      uint32_t v;
      std::memcpy(&v, src + x * 4, 4);
      const uint32_t out = Premultiply(v, b->depthKind);
      std::memcpy(dst + x * 4, &out, 4);
    }
  }
}

// The run kind of every pixel of a row into classes (width bytes, each 0, 1
// or 2): by the alpha byte for an alpha buffer, else by comparing the pixel
// (1, 2 or 4 bytes) with the transparent colour.
void ClassifyRow(const MemImgBuffer* b, const uint8_t* row, int32_t width, uint8_t* classes) {
  const int32_t bytes = b->format->bytesPerPixel;
  const bool byAlpha = b->alpha == 1;
  const int32_t alphaShift = b->depthKind == MemImgDepth16 ? 16 : 24;
  int32_t x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i two = _mm_set1_epi8(2), one = _mm_set1_epi8(1);
  if (byAlpha) {
    // Alpha 0 gives 0, alpha 255 gives 1, the rest 2: 2 - 2 x (a == 0) - (a == 255).
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i shift = _mm_cvtsi32_si128(alphaShift);
    for (; x + 16 <= width; x += 16) {
      __m128i a[4];
      for (int i = 0; i < 4; ++i)
        a[i] = _mm_and_si128(
            _mm_srl_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + (x + 4 * i) * 4)), shift), byteMask);
      const __m128i alpha = _mm_packus_epi16(_mm_packs_epi32(a[0], a[1]), _mm_packs_epi32(a[2], a[3]));
      const __m128i isZero = _mm_cmpeq_epi8(alpha, zero);
      const __m128i isFull = _mm_cmpeq_epi8(alpha, _mm_set1_epi8(static_cast<char>(0xFF)));
      const __m128i kind = _mm_add_epi8(_mm_add_epi8(two, isFull), _mm_add_epi8(isZero, isZero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(classes + x), kind);
    }
  } else if (bytes == 4) {
    const __m128i key = _mm_set1_epi32(static_cast<int32_t>(b->transColor));
    for (; x + 16 <= width; x += 16) {
      __m128i e[4];
      for (int i = 0; i < 4; ++i)
        e[i] = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + (x + 4 * i) * 4)), key);
      const __m128i equal = _mm_packs_epi16(_mm_packs_epi32(e[0], e[1]), _mm_packs_epi32(e[2], e[3]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(classes + x), _mm_add_epi8(one, equal));
    }
  } else if (bytes < 4 && (b->transColor >> (8 * bytes)) != 0) {
    // A key wider than the pixel matches none of them.
    std::memset(classes, MemImgRunOpaque, static_cast<size_t>(width));
    return;
  } else if (bytes == 2) {
    const __m128i key = _mm_set1_epi16(static_cast<int16_t>(b->transColor));
    for (; x + 16 <= width; x += 16) {
      const __m128i e0 = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x * 2)), key);
      const __m128i e1 = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x * 2 + 16)), key);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(classes + x), _mm_add_epi8(one, _mm_packs_epi16(e0, e1)));
    }
  } else if (bytes == 1) {
    const __m128i key = _mm_set1_epi8(static_cast<char>(b->transColor));
    for (; x + 16 <= width; x += 16) {
      const __m128i e = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), key);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(classes + x), _mm_add_epi8(one, e));
    }
  }
#endif
  for (; x < width; ++x) {
    const uint32_t v = ReadPixel(row + x * bytes, bytes);
    if (byAlpha) {
      const uint32_t a = (v >> alphaShift) & 0xFF;
      classes[x] = a == 0 ? MemImgRunTransparent : a == 255 ? MemImgRunOpaque : MemImgRunPartial;
    } else {
      classes[x] = v == b->transColor ? MemImgRunTransparent : MemImgRunOpaque;
    }
  }
}

// The first index from x on whose class differs from classes[x]; the byte
// after the row's last is a class of its own, so the search ends there.
int32_t RunEnd(const uint8_t* classes, int32_t x) {
  const uint8_t kind = classes[x];
  int32_t end = x + 1;
#if defined(__SSE2__)
  const __m128i k = _mm_set1_epi8(static_cast<char>(kind));
  for (;; end += 16) {
    const uint32_t same = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(classes + end)), k)));
    if (same != 0xFFFF) return end + __builtin_ctz(~same);
  }
#else
  while (classes[end] == kind) ++end;
  return end;
#endif
}

void BuildRunTable(MEMIMG* view) {
  MemImgBuffer* b = view->buffer;
  // The classes of a row, a stop byte after them and room for the last
  // vector read of RunEnd.
  std::vector<uint8_t> classes(static_cast<size_t>(view->width) + 32);
  uint8_t* out = b->runTable;
  for (int32_t y = 0; y < view->height; ++y) {
    ClassifyRow(b, view->pixels + static_cast<int64_t>(y) * b->pitch, view->width, classes.data());
    classes[view->width] = 3;
    int32_t x = 0;
    while (x < view->width) {
      const uint8_t kind = classes[x];
      const int32_t end = RunEnd(classes.data(), x);
      // Runs of at most 64 pixels.
      for (; end - x > 64; x += 64) *out++ = static_cast<uint8_t>(kind << 6 | 63);
      *out++ = static_cast<uint8_t>(kind << 6 | (end - x - 1));
      x = end;
    }
    *out++ = MemImgRunEndOfRow;
  }
}

bool RectInside(const PixelRect& r, int32_t width, int32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= width &&
         r.bottom <= height;
}

}  // namespace

int SetupMemImg(MEMIMG* view, int32_t width, int32_t height, int32_t pitch, uint32_t transColor,
                int32_t depthKind, int32_t paletted, int32_t alpha, int32_t extras, void* externalPixels) {
  if (view->magic == MemImgMagic) return -1;
  if (width < 0 || height < 0 || depthKind < MemImgDepth16 || depthKind > MemImgDepthSingle16) return -1;
  if (depthKind == MemImgDepthSingle8 || depthKind == MemImgDepthSingle16) paletted = alpha = 0;
  paletted = paletted == 1 ? 1 : 0;
  alpha = alpha == 1 && !paletted ? 1 : 0;

  const int32_t bytes = MemImgBytesPerPixel(depthKind, paletted, alpha);
  const int64_t rowBytes = static_cast<int64_t>(bytes) * width;
  const int64_t laidPitch = pitch == -1 ? (rowBytes + 15) / 16 * 16 : pitch;
  if (laidPitch < rowBytes || laidPitch * height > INT32_MAX) return -1;

  const bool newRecord = view->buffer == nullptr;
  if (newRecord) {
    view->buffer = static_cast<MemImgBuffer*>(TrackedCalloc(sizeof(MemImgBuffer), __FILE__, __LINE__));
    if (view->buffer == nullptr) return -1;
  }
  MemImgBuffer* b = view->buffer;
  b->refCount = 1;
  b->width = width;
  b->height = height;
  b->transColor = transColor;
  b->depthKind = depthKind;
  b->paletted = paletted;
  b->alpha = alpha;
  b->hasPremultiplied = 0;
  b->hasRunTable = 0;
  b->extrasPending = 0;
  TrackedFree(b->blitSpans);  // (made for the old pixels and size)
  TrackedFree(b->blitTerms);
  b->blitSpans = b->blitTerms = nullptr;

  auto fail = [&]() {
    if (newRecord) {
      TrackedFree(b->palette);
      if (!b->pixelsNotOwned) TrackedFree(b->pixels);
      TrackedFree(b->premultipliedPixels);
      TrackedFree(b->runTable);
      TrackedFree(b);
      view->buffer = nullptr;
    }
    return -1;
  };

  if (paletted && b->palette == nullptr) {
    // Zeroed, so that indices beyond the palette count read black.
    uint8_t* block = static_cast<uint8_t*>(TrackedCalloc(kPaletteBlockSize, __FILE__, __LINE__));
    if (block == nullptr) return fail();
    b->palette = block;
    b->workingPalette = block + kPaletteBlockSize / 2;
  }

  b->pitch = static_cast<int32_t>(laidPitch);
  b->pitchShift = PitchShiftOf(b->pitch, pitch == -1 ? rowBytes : pitch);
  b->format = GetStandardColorFormat(depthKind, alpha, paletted);

  const size_t blockSize = static_cast<size_t>(laidPitch * height);
  if (externalPixels != nullptr) {
    b->pixels = static_cast<uint8_t*>(externalPixels);
    b->pixelsNotOwned = 1;
  } else {
    b->pixels = static_cast<uint8_t*>(TrackedAlloc(blockSize, __FILE__, __LINE__));
    b->pixelsNotOwned = 0;
    if (b->pixels == nullptr) return fail();
  }

  // The premultiplied copy and the run table are built when first asked for
  // (most images are drawn without either); taken zeroed, a large one is on
  // pages of its own that take memory only once it is built, wherever the
  // heap would have placed it (see TrackedOwnPagesFrom).
  if (extras) {
    if (alpha && b->premultipliedPixels == nullptr) {
      b->premultipliedPixels = static_cast<uint8_t*>(TrackedCalloc(blockSize, __FILE__, __LINE__));
      if (b->premultipliedPixels == nullptr) return fail();
    }
    if (depthKind != MemImgDepthSingle8 && b->runTable == nullptr) {
      b->runTable = static_cast<uint8_t*>(
          TrackedCalloc(static_cast<size_t>(width + 5) * static_cast<size_t>(height), __FILE__, __LINE__));
      if (b->runTable == nullptr) return fail();
    }
  }

  view->magic = MemImgMagic;
  view->width = width;
  view->height = height;
  view->pixels = b->pixels;
  view->premultipliedPixels = b->premultipliedPixels;
  return 0;
}

int CreateMemImg(MEMIMG* view, int32_t width, int32_t height, int32_t depthKind) {
  std::memset(view, 0, sizeof(*view));
  if (depthKind == -1) depthKind = GetScreenColorBits() == 16 ? MemImgDepth16 : MemImgDepth32;
  return SetupMemImg(view, width, height, -1, 0, depthKind, 0, 0, 0, nullptr);
}

int FillMemImgFromGraphImage(const GraphImage* rgb, const GraphImage* alphaImage, MEMIMG* view, int32_t srcX,
                             int32_t srcY, int32_t width, int32_t height, int32_t destX, int32_t destY,
                             int32_t transFlag) {
  if (!IsMemImgValid(view) || rgb == nullptr) return -1;
  MemImgBuffer* b = view->buffer;
  SettleMemImgExtras(b);
  const PixelRect rect = {srcX, srcY, static_cast<int32_t>(static_cast<int64_t>(srcX) + width),
                          static_cast<int32_t>(static_cast<int64_t>(srcY) + height)};
  const PixelRect target = {destX, destY, static_cast<int32_t>(static_cast<int64_t>(destX) + width),
                            static_cast<int32_t>(static_cast<int64_t>(destY) + height)};
  if (width < 0 || height < 0 || !RectInside(rect, rgb->width, rgb->height) ||
      !RectInside(target, view->width, view->height) ||
      (alphaImage != nullptr && !RectInside(rect, alphaImage->width, alphaImage->height)))
    return -1;

  const bool single = b->depthKind == MemImgDepthSingle8 || b->depthKind == MemImgDepthSingle16;
  const bool keyToAlpha = alphaImage == nullptr && transFlag != 0;
  const int result = ConvertPixelRect(
      view->pixels, b->pitch, b->format, rgb->pixels, rgb->pitch, &rgb->format,
      alphaImage != nullptr ? alphaImage->pixels : nullptr, alphaImage != nullptr ? alphaImage->pitch : 0,
      alphaImage != nullptr ? &alphaImage->format : nullptr, destX, destY, &rect, 0, keyToAlpha ? 1 : 0,
      b->transColor, DitherNone, single ? 1 : 0, single ? 1 : 0, 0, 0);
  if (result == -1) return -1;

  if (b->paletted) {
    if (alphaImage == nullptr) b->paletteCount = result + 1;
    for (int i = 0; i < 256; ++i) {
      const uint8_t* e = rgb->format.palette[i];  // blue, green, red
      if (b->depthKind == MemImgDepth16) {
        static_cast<uint16_t*>(b->palette)[i] =
            static_cast<uint16_t>((e[2] & 0xF8) << 8 | (e[1] & 0xFC) << 3 | e[0] >> 3);
      } else {
        static_cast<uint32_t*>(b->palette)[i] = e[0] | e[1] << 8 | e[2] << 16;
      }
    }
    std::memcpy(b->workingPalette, b->palette, kPaletteBlockSize / 2);
  }

  b->hasPremultiplied = 0;
  b->hasRunTable = 0;
  if (width == view->width && height == view->height) {
    // Both are built from these pixels when first asked for (most images
    // are drawn without either).
    int32_t pending = 0;
    if (b->alpha && view->premultipliedPixels != nullptr) {
      pending |= MemImgPendingPremultiplied;
      b->hasPremultiplied = 1;
    }
    if ((b->depthKind == MemImgDepth16 || b->depthKind == MemImgDepth32) && b->runTable != nullptr) {
      pending |= MemImgPendingRunTable;
      b->hasRunTable = 1;
    }
    b->extrasPending = pending;
    ++b->fillCount;
    b->pendingOffset = view->pixels - b->pixels;
    b->pendingWidth = view->width;
    b->pendingHeight = view->height;
  }
  return 0;
}

void SettleMemImgExtras(MemImgBuffer* b) {
  if (b == nullptr || b->extrasPending == 0) return;
  MEMIMG filled{};
  filled.magic = MemImgMagic;
  filled.width = b->pendingWidth;
  filled.height = b->pendingHeight;
  filled.pixels = b->pixels + b->pendingOffset;
  filled.premultipliedPixels = b->premultipliedPixels != nullptr ? b->premultipliedPixels + b->pendingOffset : nullptr;
  filled.buffer = b;
  if ((b->extrasPending & MemImgPendingPremultiplied) != 0) BuildPremultiplied(&filled);
  if ((b->extrasPending & MemImgPendingRunTable) != 0) BuildRunTable(&filled);
  b->extrasPending = 0;
}

const uint8_t* MemImgRunTable(const MEMIMG* view) {
  if (!IsMemImgValid(view)) return nullptr;
  SettleMemImgExtras(view->buffer);
  return view->buffer->runTable;
}

const uint8_t* MemImgPremultipliedPixels(const MEMIMG* view) {
  if (!IsMemImgValid(view)) return nullptr;
  SettleMemImgExtras(view->buffer);
  return view->premultipliedPixels;
}

int CreateMemImgView(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
  if (!IsMemImgValid(source) || width < 0 || height < 0) return -1;
  const PixelRect rect = {x, y, static_cast<int32_t>(static_cast<int64_t>(x) + width),
                          static_cast<int32_t>(static_cast<int64_t>(y) + height)};
  if (static_cast<int64_t>(x) + width > INT32_MAX || static_cast<int64_t>(y) + height > INT32_MAX ||
      !RectInside(rect, source->width, source->height))
    return -1;
  MemImgBuffer* b = source->buffer;
  const int64_t offset =
      static_cast<int64_t>(y) * b->pitch + static_cast<int64_t>(x) * b->format->bytesPerPixel;
  view->magic = MemImgMagic;
  view->width = width;
  view->height = height;
  view->pixels = source->pixels + offset;
  view->premultipliedPixels =
      source->premultipliedPixels != nullptr ? source->premultipliedPixels + offset : nullptr;
  view->buffer = b;
  ++b->refCount;
  return 0;
}

int IsMemImgValid(const MEMIMG* view) {
  return view != nullptr && view->magic == MemImgMagic && view->buffer != nullptr ? 1 : 0;
}

int ReleaseMemImg(MEMIMG* view) {
  if (view == nullptr || view->magic != MemImgMagic) return -1;
  MemImgBuffer* b = view->buffer;
  if (b != nullptr && --b->refCount == 0) {
    if (!b->pixelsNotOwned) TrackedFree(b->pixels);
    TrackedFree(b->premultipliedPixels);
    TrackedFree(b->runTable);
    TrackedFree(b->blitSpans);
    TrackedFree(b->blitTerms);
    TrackedFree(b->palette);
    TrackedFree(b);
  }
  view->buffer = nullptr;
  view->magic = 0;
  return 0;
}

int FillMemImgRect(MEMIMG* view, const PixelRect* rect, uint32_t value) {
  if (!IsMemImgValid(view)) return -1;
  SettleMemImgExtras(view->buffer);
  const PixelRect whole = {0, 0, view->width, view->height};
  PixelRect r = rect != nullptr ? *rect : whole;
  ClipRectToArea(&r, &whole);
  const int32_t bytes = view->buffer->format->bytesPerPixel;
  const int32_t n = r.right - r.left;
  // A value whose bytes are all alike fills rows with memset; the others
  // are written a pixel at a time, one loop per pixel size.
  const uint32_t used = bytes >= 4 ? value : value & ((1u << (8 * bytes)) - 1);
  const uint8_t low = static_cast<uint8_t>(value);
  const bool uniform = used == low * (bytes == 1 ? 1u : bytes == 2 ? 0x0101u : bytes == 3 ? 0x010101u : 0x01010101u);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p =
        view->pixels + static_cast<int64_t>(y) * view->buffer->pitch + static_cast<int64_t>(r.left) * bytes;
    if (uniform || bytes == 1) {
      std::memset(p, low, static_cast<size_t>(n) * bytes);
    } else if (bytes == 2) {
      const uint16_t v = static_cast<uint16_t>(value);
      for (int32_t x = 0; x < n; ++x) std::memcpy(p + x * 2, &v, 2);
    } else if (bytes == 4) {
      for (int32_t x = 0; x < n; ++x) std::memcpy(p + static_cast<int64_t>(x) * 4, &value, 4);
    } else {
      for (int32_t x = 0; x < n; ++x) std::memcpy(p + static_cast<int64_t>(x) * bytes, &value, static_cast<size_t>(bytes));
    }
  }
  return 0;
}

int CopyMemImgRect(MEMIMG* dest, const MEMIMG* source, const PixelRect* rect, int32_t x, int32_t y) {
  if (!IsMemImgValid(dest) || !IsMemImgValid(source)) return -1;
  SettleMemImgExtras(dest->buffer);
  const PixelRect whole = {0, 0, source->width, source->height};
  const PixelRect r = rect != nullptr ? *rect : whole;
  const PixelRect target = {x, y, static_cast<int32_t>(static_cast<int64_t>(x) + r.right - r.left),
                            static_cast<int32_t>(static_cast<int64_t>(y) + r.bottom - r.top)};
  if (!RectInside(r, source->width, source->height) || !RectInside(target, dest->width, dest->height))
    return -1;
  return ConvertPixelRect(dest->pixels, dest->buffer->pitch, dest->buffer->format, source->pixels,
                          source->buffer->pitch, source->buffer->format, nullptr, 0, nullptr, x, y, &r, 0, 0,
                          0, DitherNone, 0, 0, 0, 0);
}
