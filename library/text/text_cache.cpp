#include "library/text/text_cache.h"

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/mem_img.h"
#include "library/softrender/blit_entry.h"
#include "library/softrender/simd_ops.h"
#include "library/softrender/soft_blit.h"
#include "library/text/font_handle.h"
#include "library/text/glyph_blend.h"

namespace {

// Strings up to this many bytes need no allocation.
constexpr int32_t kStaticTextBytes = 256;
uint8_t StaticRecords[kStaticTextBytes * 3];
uint8_t StaticWork[kStaticTextBytes * 5];

// A buffer of n bytes: the static one when it is large enough, else a
// tracked allocation freed with the holder.
struct TextBuffer {
  uint8_t* bytes = nullptr;
  bool owned = false;
  bool Take(uint8_t* fixed, size_t fixedSize, size_t n) {
    if (n <= fixedSize) {
      bytes = fixed;
      return true;
    }
    bytes = static_cast<uint8_t*>(TrackedAlloc(n, __FILE__, __LINE__));
    owned = bytes != nullptr;
    return owned;
  }
  ~TextBuffer() {
    if (owned) TrackedFree(bytes);
  }
};

int32_t TextBytes(const char* text, int32_t maxLength) {
  const size_t n = std::strlen(text);
  const int32_t length = n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(n);
  return maxLength < 0 || maxLength > length ? length : maxLength;
}

bool IsBlank(const uint8_t* record) {
  return (record[0] == 0x20 && record[1] == 0) || (record[0] == 0x81 && record[1] == 0x40);
}

uint32_t CodeOf(const uint8_t* record) { return static_cast<uint32_t>(record[0]) | static_cast<uint32_t>(record[1]) << 8; }

// Reads the character at text[i] (of bytes) into record[0] and record[1]
// (0 for a single byte): the index past it, or -1 when the text ends there
// (a lead byte without its trail byte ends the text).
int32_t ReadCharacter(const char* text, int32_t i, int32_t bytes, int32_t charSet, uint8_t* record) {
  record[0] = static_cast<uint8_t>(text[i]);
  record[1] = 0;
  if (!CheckDoubleByteLead(text + i, charSet)) return i + 1;
  if (i + 1 >= bytes) return -1;
  record[1] = static_cast<uint8_t>(text[i + 1]);
  return i + 2;
}

// The colour scaled by the draw brightness: the screen colour value and
// 0xFFRRGGBB.
void BrightColour(uint32_t colour, uint32_t* screen, uint32_t* packed) {
  int32_t r = 0, g = 0, b = 0;
  SplitScreenColor(colour, &r, &g, &b);
  r = r * DrawBright.red / 255;
  g = g * DrawBright.green / 255;
  b = b * DrawBright.blue / 255;
  *packed = 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
  *screen = MakeScreenColor(r, g, b);
}

// ---------------------------------------------------------------- software glyphs

struct GlyphColours {
  uint32_t text, edge;  // screen values without the bits of MakeScreenColor(0, 0, 0)
  bool wide;            // 32-bit screen
};

// Type 3: the glyph (level g, 0 to 15) laid over its edge (level e) with the
// alpha A = 16g + (15 - g) x e.
uint32_t BlendOverEdge(const GlyphColours& c, int32_t g, int32_t e) {
  const int32_t a = (16 * g + (15 - g) * e) & 0xFF;
  const int32_t t = g * 4096 / a;
  auto mix = [t](int32_t text, int32_t edge) { return edge + (((text - edge) * t) >> 8); };
  if (c.wide) {
    uint32_t out = static_cast<uint32_t>(a) << 24;
    for (int shift = 0; shift <= 16; shift += 8)
      out |= static_cast<uint32_t>(mix(c.text >> shift & 0xFF, c.edge >> shift & 0xFF) & 0xFF) << shift;
    return out;
  }
  const int32_t r = mix(c.text >> 11 & 0x1F, c.edge >> 11 & 0x1F), gr = mix(c.text >> 5 & 0x3F, c.edge >> 5 & 0x3F),
                b = mix(c.text & 0x1F, c.edge & 0x1F);
  return static_cast<uint32_t>(a) << 16 | static_cast<uint32_t>(r & 0x1F) << 11 | static_cast<uint32_t>(gr & 0x3F) << 5 |
         static_cast<uint32_t>(b & 0x1F);
}

// The pixel of a cell value; false when the value leaves the destination
// cleared (written 0, or untouched when drawing transparently).
bool CellPixel(uint32_t type, uint32_t value, const GlyphColours& c, uint32_t* pixel) {
  const int alphaShift = c.wide ? 28 : 20;
  switch (type) {
    case 0:
      *pixel = c.text;
      return value != 0;
    case 1:
      *pixel = value == 1 ? c.text : c.edge;
      return value == 1 || value == 2;
    case 2:
      *pixel = (value & 15) << alphaShift | c.text;
      return value != 0;
    default: {
      const int32_t g = static_cast<int32_t>(value & 15), e = static_cast<int32_t>(value >> 4);
      if (g == 0) {
        *pixel = static_cast<uint32_t>(e) << alphaShift | c.edge;
        return e != 0;
      }
      *pixel = g == 15 ? (c.wide ? 0xFF000000u : 0xFF0000u) | c.text : BlendOverEdge(c, g, e);
      return true;
    }
  }
}

// Every cell value of a type as its pixel, made once for the colours in use.
struct CellPixelTable {
  uint32_t pixel[256];
  uint8_t set[256];
  uint32_t word[256];  // the pixel where set, else 0
};

const CellPixelTable& CellPixelsFor(uint32_t type, const GlyphColours& c) {
  static CellPixelTable tables[4];
  static GlyphColours made[4];
  static bool valid[4] = {};
  CellPixelTable& t = tables[type];
  if (!valid[type] || made[type].text != c.text || made[type].edge != c.edge || made[type].wide != c.wide) {
    for (uint32_t v = 0; v < 256; ++v) {
      t.set[v] = CellPixel(type, v, c, &t.pixel[v]) ? 1 : 0;
      t.word[v] = t.set[v] ? t.pixel[v] : 0;
    }
    made[type] = c;
    valid[type] = true;
  }
  return t;
}

// Eight pixels of a 1-bit cell row (most significant bit first): set bits
// become the colour, clear ones keep the pixel (or clear it).
template <typename T>
void WriteEightBits(T* out, uint8_t byte, T colour, bool transparent) {
#if defined(__SSE2__)
  using Ops = Sse2Ops;
  const Ops::V spread = Ops::Set16(byte);
  if constexpr (sizeof(T) == 2) {
    const Ops::V lanes = _mm_setr_epi16(0x80, 0x40, 0x20, 0x10, 8, 4, 2, 1);
    const Ops::V mask = Ops::CmpEq16(Ops::And(spread, lanes), lanes);
    const Ops::V fill = Ops::And(mask, Ops::Set16(colour));
    Ops::Store(out, transparent ? Ops::Or(fill, Ops::AndNot(mask, Ops::Load(out))) : fill);
  } else {
    const Ops::V high = _mm_setr_epi32(0x80, 0x40, 0x20, 0x10), low = _mm_setr_epi32(8, 4, 2, 1);
    const Ops::V spread32 = Ops::Set32(byte);
    for (int half = 0; half < 2; ++half) {
      const Ops::V lanes = half == 0 ? high : low;
      const Ops::V mask = Ops::CmpEq32(Ops::And(spread32, lanes), lanes);
      const Ops::V fill = Ops::And(mask, Ops::Set32(colour));
      T* at = out + half * 4;
      Ops::Store(at, transparent ? Ops::Or(fill, Ops::AndNot(mask, Ops::Load(at))) : fill);
    }
    (void)spread;
  }
#else
  for (int i = 0; i < 8; ++i) {
    if ((byte >> (7 - i) & 1) != 0)
      out[i] = colour;
    else if (!transparent)
      out[i] = 0;
  }
#endif
}

// The clipped part of a glyph's box, written row by row in the
// destination's pixel size T.
// levelShift >= 0: the type-2 pixel (v << levelShift) | textColour.
template <typename T>
void WriteGlyphPixels(const FontHandleRecord* font, const GlyphSlot& slot, int32_t left, int32_t top, bool vertical,
                      const PixelRect& r, MEMIMG* dest, int32_t transparent, const CellPixelTable& table,
                      int32_t levelShift, uint32_t textColour) {
  int32_t cellX = 0, cellY = 0;
  GlyphCellOrigin(font, slot.cellIndex, &cellX, &cellY);
  const int32_t pitch = font->cachePitch;
  const uint8_t* cache = font->cachePixels + static_cast<int64_t>(cellY) * pitch;
  const bool bits = font->cacheBits == 1;
  const int32_t destPitch = dest->buffer->pitch;
  auto put = [&](uint8_t* row, int32_t x, uint32_t value) {
    if (table.set[value]) {
      const T v = static_cast<T>(table.pixel[value]);
      std::memcpy(row + static_cast<int64_t>(x) * sizeof(T), &v, sizeof(T));
    } else if (!transparent) {
      const T zero = 0;
      std::memcpy(row + static_cast<int64_t>(x) * sizeof(T), &zero, sizeof(T));
    }
  };
  if (vertical) {
    // The cell turned a quarter turn clockwise: box column dx shows glyph
    // row h - 1 - dx.
    for (int32_t y = r.top; y < r.bottom; ++y) {
      uint8_t* row = dest->pixels + static_cast<int64_t>(y) * destPitch;
      const int32_t gx = cellX + y - top;
      for (int32_t x = r.left; x < r.right; ++x) {
        const uint8_t* cellRow = cache + static_cast<int64_t>(slot.height - 1 - (x - left)) * pitch;
        put(row, x, bits ? cellRow[gx >> 3] >> (7 - (gx & 7)) & 1 : cellRow[gx]);
      }
    }
    return;
  }
  const int32_t gx0 = cellX + r.left - left, n = r.right - r.left;
  const int32_t rowPixels = destPitch / static_cast<int32_t>(sizeof(T));
  const int32_t wholeBytes = (n + 7) / 8;
  if (bits && transparent && (gx0 & 7) == 0 && r.left + wholeBytes * 8 <= rowPixels) {
    // Rows from a byte boundary, drawn transparently with room for whole
    // bytes: every byte writes eight pixels, its bits past the box cleared
    // (the pixels under clear bits keep their values).
    const uint8_t lastMask = static_cast<uint8_t>(0xFF << (wholeBytes * 8 - n));
    const T colour = static_cast<T>(table.pixel[1]);
    for (int32_t y = r.top; y < r.bottom; ++y) {
      T* out = reinterpret_cast<T*>(dest->pixels + static_cast<int64_t>(y) * destPitch) + r.left;
      const uint8_t* cellRow = cache + static_cast<int64_t>(y - top) * pitch + (gx0 >> 3);
      for (int32_t k = 0; k < wholeBytes; ++k) {
        const uint8_t byte = k + 1 == wholeBytes ? cellRow[k] & lastMask : cellRow[k];
        if (byte != 0) WriteEightBits(out + k * 8, byte, colour, true);
      }
    }
    return;
  }
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* row = dest->pixels + static_cast<int64_t>(y) * destPitch;
    const uint8_t* cellRow = cache + static_cast<int64_t>(y - top) * pitch;
    if (!bits) {
      T* out = reinterpret_cast<T*>(row) + r.left;
      int32_t i = 0;
#if defined(__SSE2__)
      if constexpr (sizeof(T) == 4) {
        if (levelShift >= 0 && transparent) {
          // Type 2: four levels at a time become (v << shift) | colour
          // where v is not 0.
          const __m128i colour = _mm_set1_epi32(static_cast<int32_t>(textColour));
          const __m128i shift = _mm_cvtsi32_si128(levelShift), zero = _mm_setzero_si128();
          for (; i + 4 <= n; i += 4) {
            uint32_t word;
            std::memcpy(&word, cellRow + gx0 + i, 4);
            if (word == 0) continue;
            const __m128i v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int32_t>(word)), zero), zero);
            const __m128i value = _mm_or_si128(_mm_sll_epi32(v, shift), colour);
            const __m128i keep = _mm_cmpeq_epi32(v, zero);
            __m128i* at = reinterpret_cast<__m128i*>(out + i);
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(at)), _mm_andnot_si128(keep, value)));
          }
        }
      }
#endif
      for (; i < n; ++i) {
        const uint8_t v = cellRow[gx0 + i];
        // Without a branch on the pixel: cleared values keep (or zero) it.
        const T kept = transparent ? out[i] : T{0};
        out[i] = table.set[v] ? static_cast<T>(table.pixel[v]) : kept;
      }
      continue;
    }
    for (int32_t bit = gx0, end = gx0 + n; bit < end;) {
      const int32_t first = bit & ~7;                       // the byte's first bit
      const int32_t window = r.left + (first - gx0);        // its pixel in the row
      const int32_t count = std::min(8, end - first);       // bits of the byte inside the box
      const uint8_t byte = cellRow[bit >> 3] & (0xFF >> (bit & 7)) & static_cast<uint8_t>(0xFF << (8 - count));
      if (bit == first && count == 8) {
        // A whole byte: eight pixels at once.
        if (byte != 0 || !transparent)
          WriteEightBits(reinterpret_cast<T*>(row) + window, byte, static_cast<T>(table.pixel[1]), transparent != 0);
      } else if (transparent && window >= 0 && window + 8 <= rowPixels) {
        // Part of a byte, its other bits cleared: the pixels outside keep
        // their values.
        if (byte != 0) WriteEightBits(reinterpret_cast<T*>(row) + window, byte, static_cast<T>(table.pixel[1]), true);
      } else {
        for (int32_t b = bit; b < first + count; ++b) put(row, r.left + b - gx0, byte >> (7 - (b & 7)) & 1);
      }
      bit = first + count;
    }
  }
}

// What glyph boxes need of their destination image (read once for a text).
struct BoxDest {
  uint8_t* pixels;
  int32_t pitch, pixelBytes, width;
  explicit BoxDest(const MEMIMG* dest)
      : pixels(dest->pixels),
        pitch(dest->buffer->pitch),
        pixelBytes(dest->buffer->format->bytesPerPixel),
        width(dest->width) {}
};

// The destination side of a glyph box: the part r of dest.
void PlaceBox(const PixelRect& r, const BoxDest& dest, GlyphBox* box) {
  box->destPitch = dest.pitch;
  box->dest = dest.pixels + static_cast<int64_t>(r.top) * dest.pitch + static_cast<int64_t>(r.left) * dest.pixelBytes;
  box->destLeft = r.left;
  box->destRowPixels = dest.width;
  box->width = r.right - r.left;
  box->height = r.bottom - r.top;
}

// The cells of a glyph box: those of the part r of the horizontal glyph at
// (left, top) in the memory cache.
void CellBox(const FontHandleRecord* font, const GlyphSlot& slot, int32_t left, int32_t top, const PixelRect& r,
             GlyphBox* box) {
  int32_t cellX = 0, cellY = 0;
  GlyphCellOrigin(font, slot.cellIndex, &cellX, &cellY);
  box->cellBytes = 1;
  box->cellPitch = font->cachePitch;
  box->cells = font->cachePixels + static_cast<int64_t>(cellY + r.top - top) * box->cellPitch + cellX + (r.left - left);
  box->cellsEnd = font->cachePixels + static_cast<int64_t>(font->cacheHeight) * box->cellPitch;
  box->colours = nullptr;
}

// Draws a glyph of the memory cache at its box (left, top) of w x h
// (vertical: h x w, the cell turned a quarter turn clockwise).
void DrawGlyphSoft(const FontHandleRecord* font, const GlyphSlot& slot, int32_t left, int32_t top, bool vertical,
                   MEMIMG* dest, const PixelRect& clip, int32_t transparent, const GlyphColours& colours) {
  const int32_t boxW = vertical ? slot.height : slot.width, boxH = vertical ? slot.width : slot.height;
  PixelRect r = {left, top, left + boxW, top + boxH};
  r.left = std::max({r.left, clip.left, 0});
  r.top = std::max({r.top, clip.top, 0});
  r.right = std::min({r.right, clip.right, dest->width});
  r.bottom = std::min({r.bottom, clip.bottom, dest->height});
  if (r.left >= r.right || r.top >= r.bottom) return;
  const uint32_t type = font->type & 3;
  // The destination must have the pixel size this type writes.
  const int32_t bytes = type >= 2 || colours.wide ? 4 : 2;
  if (dest->buffer == nullptr || dest->buffer->format->bytesPerPixel != bytes) return;
  if (type == 1 && transparent && !vertical) {
    GlyphBox box;
    PlaceBox(r, BoxDest(dest), &box);
    CellBox(font, slot, left, top, r, &box);
    WriteEdgedGlyphBox(box, bytes, colours.text, colours.edge);
    return;
  }
  const CellPixelTable& table = CellPixelsFor(type, colours);
  const int32_t levelShift = type == 2 ? (colours.wide ? 28 : 20) : -1;
  if (bytes == 2)
    WriteGlyphPixels<uint16_t>(font, slot, left, top, vertical, r, dest, transparent, table, levelShift, colours.text);
  else
    WriteGlyphPixels<uint32_t>(font, slot, left, top, vertical, r, dest, transparent, table, levelShift, colours.text);
}

// ---------------------------------------------------------------- texture glyphs

void DrawGlyphGraph(ObjectHandle graph, const FontHandleRecord* font, const GlyphSlot& slot, int32_t x, int32_t y,
                    double pen, bool vertical, int32_t scaled, double scaleX, double scaleY) {
  int32_t srcX = 0, srcY = 0;
  GlyphCellOrigin(font, slot.cellIndex, &srcX, &srcY);
  const int32_t w = slot.width, h = slot.height;
  const int32_t penInt = DoubleToIntTrunc(pen);
  if (!vertical) {
    if (!scaled) {
      DrawGraphRegion(x + penInt + slot.originX, y + slot.topOffset, srcX, srcY, w, h, graph, 1, 0);
      return;
    }
    const int32_t left = DoubleToIntTrunc(x + pen + slot.originX * scaleX);
    const int32_t top = DoubleToIntTrunc(y + slot.topOffset * scaleY);
    const int32_t right = DoubleToIntTrunc(left + w * scaleX), bottom = DoubleToIntTrunc(top + h * scaleY);
    DrawGraphRegionStretchedF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                              static_cast<float>(bottom), srcX, srcY, w, h, graph, 1);
    return;
  }
  // Texel (u, v) lands at (X0 - v, Y0 + u): the glyph's rows run leftward.
  if (!scaled) {
    const float x0 = static_cast<float>(x + font->lineHeight - slot.topOffset + srcY);
    const float y0 = static_cast<float>(y + penInt + slot.originX - srcX);
    int32_t gw = 0, gh = 0;
    QueryGraphSize(graph, &gw, &gh);
    const int32_t saved[4] = {DrawClipRect.left, DrawClipRect.top, DrawClipRect.right, DrawClipRect.bottom};
    const int32_t colRight = x + font->lineHeight - slot.topOffset;
    PixelRect box = {colRight - h - 1, y + penInt + slot.originX, colRight + 1, y + penInt + slot.originX + w};
    const PixelRect area = DrawClipRect;
    ClipRectToArea(&box, &area);
    SetDrawClipArea(box.left, box.top, box.right, box.bottom);
    const float gwf = static_cast<float>(gw), ghf = static_cast<float>(gh);
    DrawGraphQuadF(x0 - 0.5f, y0 - 0.5f, x0 - 0.5f, y0 + gwf - 0.5f, x0 - ghf - 0.5f, y0 + gwf - 0.5f,
                   x0 - ghf - 0.5f, y0 - 0.5f, graph, 1);
    SetDrawClipArea(saved[0], saved[1], saved[2], saved[3]);
    return;
  }
  const ObjectHandle part = CreateGraphPart(srcX, srcY, w, h, graph);
  if (part == -1) return;
  const double x0 = x + (font->lineHeight - slot.topOffset) * scaleX;
  const double y0 = y + pen + slot.originX * scaleY;
  const float xa = static_cast<float>(x0 - 0.5), ya = static_cast<float>(y0 - 0.5);
  const float xb = static_cast<float>(x0 - h * scaleX - 0.5), yb = static_cast<float>(y0 + w * scaleY - 0.5);
  DrawGraphQuadF(xa, ya, xa, yb, xb, yb, xb, ya, part, 1);
  FreeGraph(part);
}

void DrawGlyphTexture(const FontHandleRecord* font, const GlyphSlot& slot, int32_t x, int32_t y, double pen,
                      bool vertical, int32_t scaled, double scaleX, double scaleY, uint32_t textPacked,
                      uint32_t edgePacked) {
  const BlendGraphState savedBlend = BlendGraph;
  const DrawBrightBytes savedBright = DrawBright;
  SelectBlendGraph(-1, 0, 0);
  if ((font->type & FontTypeEdge) != 0 && font->edgeGraph != -1) {
    SetDrawBrightnessPacked(edgePacked & 0xFFFFFF);
    DrawGlyphGraph(font->edgeGraph, font, slot, x, y, pen, vertical, scaled, scaleX, scaleY);
  }
  SetDrawBrightnessPacked(textPacked & 0xFFFFFF);
  DrawGlyphGraph(font->glyphGraph, font, slot, x, y, pen, vertical, scaled, scaleX, scaleY);
  SelectBlendGraph(savedBlend.handle, savedBlend.borderParam, savedBlend.borderRange);
  SetDrawBrightnessPacked(static_cast<uint32_t>(savedBright.red) << 16 | static_cast<uint32_t>(savedBright.green) << 8 |
                          savedBright.blue);
}

// ---------------------------------------------------------------- anti-aliased text without the work image

// A glyph of a string placed on the destination.
struct PlacedGlyph {
  const GlyphSlot* slot;
  int32_t left, top;
  PixelRect box;  // cut to the drawn area
};
PlacedGlyph StaticPlaced[kStaticTextBytes];
GlyphBox StaticBoxes[kStaticTextBytes];

int32_t ClampedSum(int32_t a, int64_t b) {
  const int64_t sum = a + b;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

// Makes the font's room for inked glyphs when it has none. False without it.
bool PrepareGlyphInks(FontHandleRecord* f) {
  if (f->inkPixels != nullptr) return true;
  // A power of two, so that a slot's entry is its number's low bits.
  int32_t count = kMaxGlyphInks;
  while (count > f->slotCount) count /= 2;
  // (Colours are read as far past a row's end as weights are, and 32-bit
  // ones take twice the bytes: for the smallest cells that can pass the
  // last entry's end.)
  const int64_t bytes = int64_t{kInkBytesPerPixel} * f->cellSize * f->cellSize * count + 64;
  if (count <= 0 || bytes > 0x7FFFFFFF) return false;
  f->inkPixels = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(bytes), __FILE__, __LINE__));
  if (f->inkPixels == nullptr) return false;
  f->inkCount = count;
  for (GlyphInkEntry& entry : f->inks) entry.bits = 0;
  return true;
}

// The cells of a glyph box: those of the glyph at (left, top) inked for the
// colours (its part r), inked now when its entry holds another slot or
// other colours.
void InkBox(FontHandleRecord* f, const GlyphSlot& slot, int32_t left, int32_t top, const PixelRect& r,
            const GlyphColours& c, const uint32_t* words, GlyphBox* box) {
  const int32_t side = f->cellSize, bits = c.wide ? 32 : 16, colourBytes = c.wide ? 4 : 2;
  const int64_t area = static_cast<int64_t>(side) * side;
  const int32_t index = slot.cellIndex & (f->inkCount - 1);
  GlyphInkEntry& entry = f->inks[index];
  uint8_t* colours = f->inkPixels + kInkBytesPerPixel * area * index;
  uint8_t* weights = colours + colourBytes * area;
  if (entry.bits != bits || entry.slot != slot.cellIndex || entry.text != c.text || entry.edge != c.edge) {
    int32_t cellX = 0, cellY = 0;
    GlyphCellOrigin(f, slot.cellIndex, &cellX, &cellY);
    for (int32_t y = 0; y < slot.height; ++y) {
      const uint8_t* cells = f->cachePixels + static_cast<int64_t>(cellY + y) * f->cachePitch + cellX;
      for (int32_t x = 0; x < slot.width; ++x) {
        const uint32_t word = words[cells[x]];
        const int64_t at = static_cast<int64_t>(y) * side + x;
        const uint16_t weight = InkWeight(c.wide ? word >> 24 : word >> 16 & 0xFF);
        std::memcpy(colours + at * colourBytes, &word, static_cast<size_t>(colourBytes));
        std::memcpy(weights + 2 * at, &weight, 2);
      }
    }
    entry = {slot.cellIndex, bits, c.text, c.edge};
  }
  const int64_t at = static_cast<int64_t>(r.top - top) * side + (r.left - left);
  box->cellBytes = 2;
  box->cellPitch = side;
  box->cellsEnd = f->inkPixels + kInkBytesPerPixel * area * f->inkCount;
  box->cells = weights + 2 * at;
  box->colours = colours + colourBytes * at;
}

// Anti-aliased horizontal text in copy mode without a blend mask, laid onto
// the destination glyph by glyph. The work image would hold, inside the
// measured rectangle, each glyph's pixels over alpha 0, and the blit lays
// every pixel of it over the destination on its own, leaving those of
// alpha 0. So when no two glyph boxes meet inside the drawn area, each
// destination pixel is laid under the pixel of at most one glyph, exactly
// as the blit of the work image would lay it. False (nothing drawn) when
// the text must go through the work image: another draw state, vertical
// or long text, glyphs not all cached, overlapping boxes.
bool DrawAntialiasedTextDirect(FontHandleRecord* f, ObjectHandle font, int32_t x, int32_t y, const char* text,
                               uint32_t colour, uint32_t edgeColour, MEMIMG* work) {
  if (DrawSuppressed || f->textureCache || text == nullptr || text[0] == '\0' || BlendMaskMemImg != nullptr ||
      EffectiveBlendMode(false) != 0)
    return false;
  const int32_t bits = GetScreenColorBits();
  MEMIMG* dest = SoftDrawDest();
  if ((bits != 16 && bits != 32) || !IsMemImgValid(work) || !BlitRecordsFit(dest, work, nullptr) ||
      SourceKindOf(work->buffer) != BlitSource::Alpha ||
      work->buffer->depthKind != (bits == 32 ? MemImgDepth32 : MemImgDepth16) ||
      work->buffer->format->bytesPerPixel != 4)
    return false;
  const int32_t bytes = TextBytes(text, -1);
  if (bytes > kStaticTextBytes) return false;

  // The walk of the measure, read straight from the text: the glyphs'
  // places and the advance. The advances are whole pixels, so the pen is
  // kept in an integer (the measure's sum of them in a double is exact).
  // When a glyph is not cached, the text's glyphs are cached and the walk
  // made again; false when one still is not.
  int64_t pen = 0;
  int32_t placed = 0;
  for (int pass = 0;; ++pass) {
    bool cached = true;
    pen = 0;
    placed = 0;
    for (int32_t i = 0; i < bytes;) {
      uint8_t record[2];
      i = ReadCharacter(text, i, bytes, f->charSet, record);
      if (i < 0) break;
      const GlyphCodeEntry& entry = f->codes[CodeOf(record)];
      if (!entry.cached) {
        cached = false;
        break;
      }
      const GlyphSlot& slot = *entry.slot;
      if (!IsBlank(record) && slot.width > 0 && slot.height > 0) {
        PlacedGlyph& g = StaticPlaced[placed++];
        g.slot = &slot;
        // (The pen is truncated as DoubleToIntTrunc does.)
        const int32_t penInt = pen >= INT32_MIN && pen <= INT32_MAX ? static_cast<int32_t>(pen) : INT32_MIN;
        g.left = ClampedSum(x, static_cast<int64_t>(penInt) + slot.originX);
        g.top = ClampedSum(y, slot.topOffset);
      }
      pen += slot.advance + f->spacing;
    }
    if (cached) break;
    if (pass > 0 || PrepareFontText(-1, text, font, nullptr, nullptr) != 0) return false;
  }
  // The measured rectangle, cut to the work image, at (x, y) within the
  // draw area: what the blit would draw.
  const int32_t penWidth = pen >= INT32_MIN && pen <= INT32_MAX ? static_cast<int32_t>(pen) : INT32_MIN;
  const int32_t width = std::min(penWidth, work->width), height = std::min(f->lineHeight, work->height);
  work->buffer->transColor = 0;
  if (width <= 0 || height <= 0) return true;
  PixelRect area = {x, y, ClampedSum(x, width), ClampedSum(y, height)};
  const PixelRect destRect = {0, 0, dest->width, dest->height};
  ClipRectToArea(&area, &DrawClipRect);
  ClipRectToArea(&area, &destRect);
  if (area.left >= area.right || area.top >= area.bottom) return true;

  uint32_t textScreen = 0, edgeScreen = 0, unused = 0;
  BrightColour(colour, &textScreen, &unused);
  BrightColour(edgeColour, &edgeScreen, &unused);
  const uint32_t black = MakeScreenColor(0, 0, 0);
  const GlyphColours colours = {textScreen & ~black, edgeScreen & ~black, bits == 32};
  const uint32_t type = f->type & 3;
  const CellPixelTable& table = CellPixelsFor(type, colours);
  // Coverage levels give their pixels without a look-up while the colour
  // leaves the alpha bits clear; a glyph over its edge is inked.
  GlyphInk ink = {GlyphInkKind::Table, table.word};
  if (type == 2 && (colours.text & (bits == 32 ? 0xFF000000u : 0xFFFF0000u)) == 0) ink.kind = GlyphInkKind::Levels;
  if (type == 3 && PrepareGlyphInks(f)) ink.kind = GlyphInkKind::Inked;

  // The boxes cut to the area, each wholly right of the ones before it;
  // the glyphs with nothing inside the area are dropped from the list.
  int32_t right = INT32_MIN, kept = 0;
  for (int32_t i = 0; i < placed; ++i) {
    const PlacedGlyph& g = StaticPlaced[i];
    const PixelRect r = {std::max(g.left, area.left), std::max(g.top, area.top),
                         std::min(ClampedSum(g.left, g.slot->width), area.right),
                         std::min(ClampedSum(g.top, g.slot->height), area.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) continue;
    if (r.left < right) return false;
    right = r.right;
    PlacedGlyph& out = StaticPlaced[kept++];
    out = g;
    out.box = r;
  }
  // Glyphs of two slots may share an ink entry: the boxes that read the
  // entry are laid before it is inked for the other slot.
  static_assert(kMaxGlyphInks <= 64, "one bit an ink entry");
  uint64_t inked = 0;  // the entries the boxes not yet laid read
  int32_t drawn = 0;
  const BoxDest boxDest(dest);
  for (int32_t i = 0; i < kept; ++i) {
    const PlacedGlyph& g = StaticPlaced[i];
    const PixelRect& r = g.box;
    if (ink.kind == GlyphInkKind::Inked) {
      const int32_t index = g.slot->cellIndex & (f->inkCount - 1);
      if ((inked >> index & 1) != 0 && f->inks[index].slot != g.slot->cellIndex) {
        BlendGlyphBoxes(StaticBoxes, drawn, bits == 32 ? 4 : 2, ink);
        drawn = 0;
        inked = 0;
      }
      inked |= uint64_t{1} << index;
    }
    GlyphBox* box = &StaticBoxes[drawn++];
    PlaceBox(r, boxDest, box);
    if (ink.kind == GlyphInkKind::Inked)
      InkBox(f, *g.slot, g.left, g.top, r, colours, table.word, box);
    else
      CellBox(f, *g.slot, g.left, g.top, r, box);
  }
  BlendGlyphBoxes(StaticBoxes, drawn, bits == 32 ? 4 : 2, ink);
  return true;
}

}  // namespace

int PrepareFontText(int32_t maxLength, const char* text, ObjectHandle font, uint8_t* records, int32_t* count) {
  FontHandleRecord* f = GetFontHandleRecord(font);
  if (f == nullptr) return -1;
  if (text == nullptr) text = "";
  const int32_t bytes = TextBytes(text, maxLength);
  TextBuffer work;
  if (!work.Take(StaticWork, sizeof StaticWork, static_cast<size_t>(bytes) * 5)) return -1;
  uint8_t* missing = work.bytes;                                // 3 bytes a character
  uint8_t* codes = work.bytes + static_cast<size_t>(bytes) * 3;  // 2 bytes a character
  int32_t n = 0, collected = 0;
  for (int32_t i = 0; i < bytes;) {
    uint8_t record[3] = {0, 0, 0};
    i = ReadCharacter(text, i, bytes, f->charSet, record);
    if (i < 0) break;
    if (records != nullptr) std::memcpy(records + n * 3, record, 3);
    ++n;
    GlyphCodeEntry& entry = f->codes[CodeOf(record)];
    if (!entry.cached && collected < f->slotCount) {
      entry.cached = 1;  // so that repeats are not collected again
      std::memcpy(missing + collected * 3, record, 3);
      const auto code = static_cast<uint16_t>(CodeOf(record));
      std::memcpy(codes + collected * 2, &code, 2);
      ++collected;
    }
  }
  for (int32_t i = 0; i < collected; ++i) {
    uint16_t code = 0;
    std::memcpy(&code, codes + i * 2, 2);
    f->codes[code].cached = 0;
  }
  if (collected > 0) CacheGlyphs(font, collected, missing);
  if (count != nullptr) *count = n;
  return 0;
}

int DrawFontTextCore(int32_t draw, int32_t x, int32_t y, int32_t scaled, double scaleX, double scaleY,
                     const char* text, uint32_t colour, MEMIMG* dest, const PixelRect* clip, int32_t transparent,
                     ObjectHandle font, uint32_t edgeColour, int32_t length, int32_t vertical, int32_t* size) {
  if (DrawSuppressed) return -1;
  FontHandleRecord* f = GetFontHandleRecord(font);
  if (f == nullptr) return -1;
  if (!f->textureCache || (draw && !scaled)) {
    scaled = 0;
    scaleX = scaleY = 1.0;
  }
  const double step = vertical ? scaleY : scaleX;
  uint32_t textScreen = 0, textPacked = 0, edgeScreen = 0, edgePacked = 0;
  BrightColour(colour, &textScreen, &textPacked);
  BrightColour(edgeColour, &edgeScreen, &edgePacked);
  if (text == nullptr || text[0] == '\0' || length == 0) {
    if (size != nullptr) size[0] = size[1] = 0;
    return 0;
  }
  const int32_t bytes = TextBytes(text, length);
  TextBuffer records;
  if (!records.Take(StaticRecords, sizeof StaticRecords, static_cast<size_t>(bytes) * 3)) return -1;
  int32_t count = 0;
  if (PrepareFontText(length, text, font, records.bytes, &count) != 0) return -1;

  const uint32_t black = MakeScreenColor(0, 0, 0);
  const GlyphColours colours = {textScreen & ~black, edgeScreen & ~black, GetScreenColorBits() == 32};
  const bool soft = !f->textureCache && dest != nullptr && clip != nullptr &&
                    (GetScreenColorBits() == 16 || GetScreenColorBits() == 32);
  double pen = 0.0;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = records.bytes + i * 3;
    GlyphCodeEntry* entry = &f->codes[CodeOf(record)];
    if (!entry->cached && CacheGlyphs(font, 1, record) == nullptr) {
      WriteErrorLog("テキストキャッシュの作成に失敗しました");
      return -1;
    }
    const GlyphSlot& slot = *entry->slot;
    if (draw && !IsBlank(record) && slot.width > 0 && slot.height > 0) {
      if (f->textureCache) {
        DrawGlyphTexture(f, slot, x, y, pen, vertical != 0, scaled, scaleX, scaleY, textPacked, edgePacked);
      } else if (soft) {
        const int32_t penInt = DoubleToIntTrunc(pen);
        const int32_t left = vertical ? x + f->lineHeight - slot.topOffset - slot.height : x + penInt + slot.originX;
        const int32_t top = vertical ? y + penInt + slot.originX : y + slot.topOffset;
        DrawGlyphSoft(f, slot, left, top, vertical != 0, dest, *clip, transparent, colours);
      }
    }
    pen += (slot.advance + f->spacing) * step;
  }
  const int32_t advance = DoubleToIntTrunc(pen);
  if (size != nullptr) {
    size[0] = vertical ? f->lineHeight : advance;
    size[1] = vertical ? advance : f->lineHeight;
  }
  return advance;
}

int G_D3D_DrawFontText(ObjectHandle font, int32_t x, int32_t y, const char* text, uint32_t colour,
                       uint32_t edgeColour, int32_t vertical) {
  if (const FontHandleRecord* f = GetFontHandleRecord(font); f != nullptr && f->cacheGraphsLost)
    CreateGlyphCacheGraphs(font);
  DrawFontTextCore(1, x, y, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 0, font, edgeColour, -1, vertical, nullptr);
  return 0;
}

int G_Soft_DrawFontText(ObjectHandle font, int32_t x, int32_t y, const char* text, uint32_t colour,
                        uint32_t edgeColour, int32_t vertical) {
  FontHandleRecord* f = GetFontHandleRecord(font);
  if (f == nullptr) return 0;
  const bool antialiased = (f->type & FontTypeAntialiased) != 0;
  if (!antialiased && (DrawBlendMode == 0 || (DrawBlendMode == 1 && DrawBlendParam == 255))) {
    // Written straight into the destination: the text's measure is not needed.
    DrawFontTextCore(1, x, y, 0, 1.0, 1.0, text, colour, SoftDrawDest(), &DrawClipRect, 1, font, edgeColour, -1,
                     vertical, nullptr);
    return 0;
  }
  MEMIMG* work = &GlyphWorkMemImg[antialiased ? 1 : 0];
  if (antialiased && !vertical && DrawAntialiasedTextDirect(f, font, x, y, text, colour, edgeColour, work)) return 0;
  int32_t size[2] = {0, 0};
  DrawFontTextCore(0, 0, 0, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 0, font, edgeColour, -1, vertical, size);
  if (!IsMemImgValid(work)) return 0;
  // The work image is screen-sized: text beyond it is cut there.
  const PixelRect measured = {0, 0, std::min(size[0], work->width), std::min(size[1], work->height)};
  if (measured.right <= 0 || measured.bottom <= 0) return 0;
  uint32_t key = 0;
  if (!antialiased) {
    // A transparent colour that the text and its edge do not use.
    uint32_t textScreen = 0, edgeScreen = 0, unused = 0;
    BrightColour(colour, &textScreen, &unused);
    BrightColour(edgeColour, &edgeScreen, &unused);
    const uint32_t black = MakeScreenColor(0, 0, 0);
    const uint32_t mask = work->buffer->format->bytesPerPixel == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    textScreen &= ~black & mask;
    edgeScreen &= ~black & mask;
    key = work->buffer->transColor & mask;
    while (key == textScreen || key == edgeScreen) key = (key + 1) & mask;
  }
  work->buffer->transColor = key;
  FillMemImgRect(work, &measured, key);
  DrawFontTextCore(1, 0, 0, 0, 1.0, 1.0, text, colour, work, &measured, 1, font, edgeColour, -1, vertical, nullptr);

  const PixelRect savedArea = DrawClipRect;
  const DrawBrightBytes savedBright = DrawBright;
  PixelRect area = {x + measured.left, y + measured.top, x + measured.right, y + measured.bottom};
  ClipRectToArea(&area, &savedArea);
  DrawClipRect = area;
  SetDrawBrightnessPacked(0xFFFFFF);
  SoftBlit(SoftDrawDest(), work, x, y, 1, BlendMaskMemImg);
  DrawClipRect = savedArea;
  SetDrawBrightnessPacked(static_cast<uint32_t>(savedBright.red) << 16 | static_cast<uint32_t>(savedBright.green) << 8 |
                          savedBright.blue);
  return 0;
}
