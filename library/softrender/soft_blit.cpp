#include "library/softrender/soft_blit.h"

#include <cstring>

#include "library/graphics/blend_tables.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/mem_img.h"
#include "library/core/memory.h"
#include "library/softrender/blit_entry.h"
#include "library/softrender/blit_spans.h"

alignas(16) uint8_t BlitPaletteCopy[1024];

namespace {

// Fixed once per call and read by the row loops.
struct BlitSetup {
  int32_t width, height;
  int32_t srcX, srcY;
  const uint8_t* srcStart;
  int32_t srcPitch;
  uint8_t* dstStart;
  int32_t dstPitch;
  const uint8_t* maskStart;
  int32_t maskPitch;
};

int32_t AddClamped(int32_t a, int32_t b) {
  int64_t sum = static_cast<int64_t>(a) + b;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

// ---- Drawing span by span ----
//
// A graph with transparent pixels (a transparent colour or an alpha
// channel) keeps the run table of its pixels as loaded (mem_img.h): each
// row's runs of transparent, opaque and (alpha) partly transparent pixels.
// From it a blit makes, once for each fill, the graph's spans: for each row
// the stretches of opaque pixels and of partly transparent ones, and where
// each row's spans start. While the run table describes the pixels (its
// flag: drawing into the graph or refilling a part of it clears it, a whole
// refill counts a new fill and so makes new spans), a blit with trans set
// whose variant leaves transparent pixels as they are draws the spans only,
// each by what its pixels are: an opaque span of a keyed source by the
// variant without trans (none of its pixels is the key), or copied in the
// white copy; of an alpha source copied whole in the white copy; every
// other span by the variant. Each pixel gets what the variant gives it.

// The spans of a graph: a header, a row start for each row (the index of
// its first span), then the spans, each a word of the first column (bits
// 0 to 15), the count (bits 16 to 29), bit 31 set for partly transparent
// pixels and bit 30 for such pixels that all have one alpha, each row's
// last followed by kEndOfSpans.
struct SpanTable {
  uint32_t fill;  // the fill the spans describe
  uint32_t key;   // the transparent colour they were made with
  int32_t rows, width;
  int32_t spans;
  const uint32_t* RowStarts() const { return reinterpret_cast<const uint32_t*>(this + 1); }
  const uint32_t* Spans() const { return RowStarts() + rows; }
};
constexpr uint32_t kSpanPartial = 0x80000000u;
constexpr uint32_t kSpanOneAlpha = 0x40000000u;
constexpr uint32_t kSpanCount = 0x3FFF;  // (after the shift by 16)
constexpr uint32_t kEndOfSpans = 0xFFFFFFFFu;
constexpr int32_t kWidestSpanRow = 16383;

// Spans shorter than this take the variant's pixel-by-pixel loop.
constexpr int32_t kShortestVectorSpan = 8;

// The view's column and row in the rectangle of the buffer's last whole
// fill; false when the view does not lie inside it.
bool PlaceInFill(const MEMIMG* view, int64_t* x, int64_t* y) {
  const MemImgBuffer* b = view->buffer;
  const int64_t bytes = b->format->bytesPerPixel, pitch = b->pitch, at = view->pixels - b->pixels;
  if (pitch <= 0 || at < 0 || b->pendingOffset < 0 || at % pitch % bytes != 0 || b->pendingOffset % pitch % bytes != 0)
    return false;
  const int64_t fillX = b->pendingOffset % pitch / bytes, fillY = b->pendingOffset / pitch;
  *x = at % pitch / bytes - fillX;
  *y = at / pitch - fillY;
  return *x >= 0 && *y >= 0 && *x + view->width <= b->pendingWidth && *y + view->height <= b->pendingHeight;
}

// kSpanOneAlpha when the pixels from..to of the filled rectangle's row all
// have one alpha (32-bit pixels), else 0.
uint32_t OneAlpha(const MemImgBuffer* b, int32_t row, uint32_t from, uint32_t to) {
  if (b->depthKind != MemImgDepth32) return 0;
  const uint8_t* p = b->pixels + b->pendingOffset + static_cast<int64_t>(row) * b->pitch + 3;
  for (uint32_t x = from + 1; x < to; ++x)
    if (p[4 * x] != p[4 * from]) return 0;
  return kSpanOneAlpha;
}

// The graph's spans, made now when the last fill has none; null when the
// run table does not describe the pixels (or, should the transparent colour
// have changed since, does not class them by it).
const SpanTable* SpansOf(MemImgBuffer* b) {
  if (b->runTable == nullptr || b->hasRunTable != 1) return nullptr;
  SettleMemImgExtras(b);
  if (b->hasRunTable != 1 || b->pendingWidth > kWidestSpanRow) return nullptr;
  const auto* table = reinterpret_cast<const SpanTable*>(b->blitSpans);
  if (table != nullptr && table->fill == b->fillCount) return table->key == b->transColor ? table : nullptr;
  // The spans first; a run of the table is at most 64 pixels, so runs of
  // one kind that follow each other are one.
  int64_t spans = 0;
  const uint8_t* p = b->runTable;
  for (int32_t r = 0; r < b->pendingHeight; ++r, ++p)
    for (uint32_t last = 3; *p != MemImgRunEndOfRow; ++p) {
      const uint32_t kind = *p >> 6;
      if (kind == last) continue;
      spans += kind != MemImgRunTransparent;
      last = kind;
    }
  const size_t bytes = sizeof(SpanTable) + 4 * (2 * static_cast<size_t>(b->pendingHeight) + static_cast<size_t>(spans));
  auto* made = static_cast<SpanTable*>(TrackedRealloc(b->blitSpans, bytes, __FILE__, __LINE__));
  if (made == nullptr) return nullptr;
  b->blitSpans = reinterpret_cast<uint8_t*>(made);
  made->fill = b->fillCount;
  made->key = b->transColor;
  made->rows = b->pendingHeight;
  made->width = b->pendingWidth;
  made->spans = static_cast<int32_t>(spans);
  auto* rowStarts = reinterpret_cast<uint32_t*>(made + 1);
  uint32_t* out = rowStarts + made->rows;
  uint32_t count = 0;
  p = b->runTable;
  for (int32_t r = 0; r < b->pendingHeight; ++r, ++p) {
    rowStarts[r] = count;
    uint32_t x = 0;
    while (*p != MemImgRunEndOfRow) {
      const uint32_t kind = *p >> 6, from = x;
      for (; *p >> 6 == kind; ++p) x += (*p & 63u) + 1;  // (the row's end, 0xC0, is kind 3)
      if (kind == MemImgRunOpaque) out[count++] = from | (x - from) << 16;
      if (kind == MemImgRunPartial) out[count++] = from | (x - from) << 16 | kSpanPartial | OneAlpha(b, r, from, x);
    }
    out[count++] = kEndOfSpans;
  }
  return made;
}

// Where the blit starts among the source's spans: the spans and the table
// row and column of the first pixel drawn; false when the spans cannot
// serve the blit (drawn with trans set, and for an alpha source by a
// variant that leaves its transparent pixels as they are).
bool FindSpans(const MEMIMG* src, const BlitSetup& s, const SpanTable** spans, int32_t* row, int32_t* column) {
  MemImgBuffer* b = src->buffer;
  if (b->runTable == nullptr || b->hasRunTable != 1) return false;
  const int32_t bytes = b->format->bytesPerPixel;
  // A key wider than the pixel: the table classes every pixel opaque,
  // while some loops compare the pixel with the key's low bytes.
  if (b->alpha != 1 && bytes < 4 && (b->transColor >> (8 * bytes)) != 0) return false;
  const SpanTable* table = SpansOf(b);
  if (table == nullptr) return false;
  // Spans cost about 20 operations each; a row of the vector loops about 40
  // and 12 a vector. Scattered transparent pixels go to the vector loops.
  const int64_t lanes = BlitUseAvx2 ? 32 / bytes : 16 / bytes;
  if (20 * int64_t{table->spans} > (40 + 12 * (table->width + lanes - 1) / lanes) * int64_t{table->rows}) return false;
  int64_t viewX = 0, viewY = 0;
  if (!PlaceInFill(src, &viewX, &viewY)) return false;
  *spans = table;
  *row = static_cast<int32_t>(viewY) + s.srcY;
  *column = static_cast<int32_t>(viewX) + s.srcX;
  return true;
}

// Whether the spans serve a variant: trans set, not the two-pixel loops
// (which pair a row's pixels from its first), and for an alpha source a
// variant that leaves its transparent pixels as they are.
bool SpansServe(const MemImgBuffer* b, int32_t trans, const BlitVariant& v) {
  if (trans == 0 || v.stretched) return false;
  if (b->depthKind == MemImgDepth16 && blit_detail::PairOp16(blit_detail::Canonical16(v))) return false;
  if (b->alpha == 1)
    return b->depthKind == MemImgDepth32 ? blit_detail::SkipsAlphaZero32(v) : blit_detail::SkipsAlphaZero16(v);
  return true;
}

// The destination rows a few rows below the one being drawn are asked for
// ahead (their cache lines are read before they are written): blits of
// sprites are mostly waiting for them.
// (Not for short rows such as a glyph's, which the asking would only slow.)
constexpr int32_t kPrefetchRows = 2;
constexpr size_t kPrefetchSpan = 256;
inline void PrefetchForWrite(const uint8_t* p, size_t bytes) {
  for (size_t k = 0; k < bytes; k += 64) __builtin_prefetch(p + k, 1);
}

// n bytes (a whole number of 2- or 4-byte pixels) copied, short spans by
// a few moves of their own.
inline void CopySpan(uint8_t* d, const uint8_t* s, size_t n) {
  if (n > 32) {
    std::memcpy(d, s, n);
  } else if (n >= 16) {
    uint8_t head[16], tail[16];
    std::memcpy(head, s, 16);
    std::memcpy(tail, s + n - 16, 16);
    std::memcpy(d, head, 16);
    std::memcpy(d + n - 16, tail, 16);
  } else if (n >= 8) {
    uint64_t head, tail;
    std::memcpy(&head, s, 8);
    std::memcpy(&tail, s + n - 8, 8);
    std::memcpy(d, &head, 8);
    std::memcpy(d + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, s, 4);
    std::memcpy(&tail, s + n - 4, 4);
    std::memcpy(d, &head, 4);
    std::memcpy(d + n - 4, &tail, 4);
  } else {
    uint16_t v;
    std::memcpy(&v, s, 2);
    std::memcpy(d, &v, 2);
  }
}

// One loop of a variant over a span of n pixels.
struct SpanLoop {
  BlitRowFn row;    // the variant's row loop
  BlitRowFn pixel;  // its pixel-by-pixel loop, for short spans (or null)
  const BlendContext* context;
  void operator()(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) const {
    (n < kShortestVectorSpan && pixel != nullptr ? pixel : row)(d, s, m, n, *context);
  }
};

// What the spans of a kind get.
enum class SpanAction : uint8_t {
  Copy,      // the source's pixels stored whole
  Loop,      // a loop of the variant (or of it without trans)
  MixAlpha,  // the white copy's mix of pixels of alpha below 255
  AddTerms,  // the add of the terms made beforehand
};

// How the opaque and the partly transparent spans of a source are drawn
// under a variant.
struct SpanPlan {
  SpanAction opaque, partial;
  SpanLoop opaqueLoop, partialLoop;
  bool merged;           // spans of both kinds that follow each other drawn as one
  const uint8_t* terms;  // the terms of the first source pixel drawn (AddTerms)
  const BlitSpanLoops* spans;
};

SpanPlan PlanSpans(const MemImgBuffer* sb, BlitRowFn row, const BlendContext& context, BlendContext* opaqueContext,
                   const BlitVariant& v, const uint8_t* terms) {
  const bool depth32 = sb->depthKind == MemImgDepth32;
  SpanPlan plan;
  plan.spans = &CurrentBlitSpanLoops();
  plan.terms = terms;
  plan.merged = false;
  plan.opaqueLoop = plan.partialLoop = {row, depth32 ? SelectPixelRow32(v) : SelectPixelRow16(v), &context};
  plan.opaque = plan.partial = SpanAction::Loop;
  const bool whiteCopy = v.mode == 0 && v.white && !v.masked;
  if (sb->alpha != 1) {
    // (A keyed source has no partly transparent spans.) No pixel of an
    // opaque span is the key: the variant without trans draws it.
    if (whiteCopy && sb->paletted != 1) {
      plan.opaque = SpanAction::Copy;
    } else {
      BlitVariant plain = v;
      plain.trans = false;
      *opaqueContext = context;
      plan.opaqueLoop.row = depth32 ? SelectRow32(plain, opaqueContext) : SelectRow16(plain, opaqueContext);
      plan.opaqueLoop.context = opaqueContext;
    }
  } else if (terms != nullptr) {
    plan.opaque = plan.partial = SpanAction::AddTerms;
    plan.merged = true;
  } else if (depth32 && whiteCopy) {
    // Alpha 255 stores the source pixel whole; the mix takes the others.
    plan.opaque = SpanAction::Copy;
    plan.partial = SpanAction::MixAlpha;
  }
  return plan;
}

// The white copy of a keyed source: its spans (all opaque) copied.
void CopySpans(const BlitSetup& s, const SpanTable& table, int32_t row, int32_t column, int32_t bytes) {
  const int32_t x0 = column, x1 = column + s.width;
  // Pointers to column 0 of the table's row.
  uint8_t* d = s.dstStart - static_cast<int64_t>(x0) * bytes;
  const uint8_t* p = s.srcStart - static_cast<int64_t>(x0) * bytes;
  const uint32_t* span = table.Spans() + table.RowStarts()[row];
  const int64_t ahead = static_cast<int64_t>(kPrefetchRows) * s.dstPitch;
  if (x0 == 0 && x1 == table.width) {  // whole rows
    for (int32_t r = 0; r < s.height; ++span) {
      const uint32_t word = *span;
      if (word == kEndOfSpans) {
        d += s.dstPitch;
        p += s.srcPitch;
        ++r;
        continue;
      }
      const int64_t from = word & 0xFFFF;
      const size_t n = static_cast<size_t>(word >> 16 & kSpanCount) * bytes;
      if (n >= kPrefetchSpan && r + kPrefetchRows < s.height) PrefetchForWrite(d + ahead + from * bytes, n);
      CopySpan(d + from * bytes, p + from * bytes, n);
    }
    return;
  }
  for (int32_t r = 0; r < s.height; ++r, d += s.dstPitch, p += s.srcPitch, ++span) {
    if (static_cast<size_t>(s.width) * bytes >= kPrefetchSpan && r + kPrefetchRows < s.height)
      PrefetchForWrite(d + ahead + static_cast<int64_t>(x0) * bytes, static_cast<size_t>(s.width) * bytes);
    for (; *span != kEndOfSpans; ++span) {
      int32_t from = static_cast<int32_t>(*span & 0xFFFF), to = from + static_cast<int32_t>(*span >> 16 & kSpanCount);
      if (to <= x0) continue;
      if (from >= x1) {
        while (*span != kEndOfSpans) ++span;
        break;
      }
      if (from < x0) from = x0;
      if (to > x1) to = x1;
      CopySpan(d + static_cast<int64_t>(from) * bytes, p + static_cast<int64_t>(from) * bytes,
               static_cast<size_t>(to - from) * bytes);
    }
  }
}

// The spans of the blit's rows drawn by the plan.
void DrawSpans(const BlitSetup& s, const SpanTable& table, int32_t row, int32_t column, const MemImgBuffer* sb,
               int32_t dstBytes, const SpanPlan& plan) {
  const int32_t srcBytes = sb->format->bytesPerPixel;
  const int32_t x0 = column, x1 = column + s.width;
  // The bits in which a span that follows must agree to be drawn as one.
  const uint32_t alikeMask = plan.merged ? 0 : kSpanPartial;
  const uint32_t* span = table.Spans() + table.RowStarts()[row];
  uint8_t* d = s.dstStart;
  const uint8_t* p = s.srcStart;
  const uint8_t* m = s.maskStart;
  const uint8_t* t = plan.terms;
  const int64_t ahead = static_cast<int64_t>(kPrefetchRows) * s.dstPitch;
  for (int32_t r = 0; r < s.height; ++r, ++span) {
    if (static_cast<size_t>(s.width) * dstBytes >= kPrefetchSpan && r + kPrefetchRows < s.height)
      PrefetchForWrite(d + ahead, static_cast<size_t>(s.width) * dstBytes);
    while (*span != kEndOfSpans) {
      const uint32_t word = *span++;
      int32_t from = static_cast<int32_t>(word & 0xFFFF);
      int32_t to = from + static_cast<int32_t>(word >> 16 & kSpanCount);
      // (The end of a row is no span that goes on from this one.)
      for (; static_cast<int32_t>(*span & 0xFFFF) == to && ((*span ^ word) & alikeMask) == 0; ++span)
        to += static_cast<int32_t>(*span >> 16 & kSpanCount);
      if (to <= x0) continue;
      if (from >= x1) {
        while (*span != kEndOfSpans) ++span;
        break;
      }
      if (from < x0) from = x0;
      if (to > x1) to = x1;
      const bool partial = (word & kSpanPartial) != 0;
      const int32_t i = from - x0, n = to - from;
      uint8_t* dp = d + static_cast<int64_t>(i) * dstBytes;
      const uint8_t* sp = p + static_cast<int64_t>(i) * srcBytes;
      switch (partial ? plan.partial : plan.opaque) {
        case SpanAction::Copy:
          CopySpan(dp, sp, static_cast<size_t>(n) * srcBytes);
          break;
        case SpanAction::Loop:
          (partial ? plan.partialLoop : plan.opaqueLoop)(dp, sp, m != nullptr ? m + i : nullptr, n);
          break;
        case SpanAction::MixAlpha:
          if ((word & kSpanOneAlpha) != 0)
            plan.spans->mixOneAlpha(dp, sp, n, sp[3]);
          else
            plan.spans->mixAlpha(dp, sp, n);
          break;
        case SpanAction::AddTerms:
          plan.spans->addTerms(dp, t + static_cast<int64_t>(i) * 4, n);
          break;
      }
    }
    d += s.dstPitch;
    p += s.srcPitch;
    if (m != nullptr) m += s.maskPitch;
    if (t != nullptr) t += s.srcPitch;
  }
}

// ---- Words made beforehand ----
//
// Two variants draw a 32-bit source with alpha under trans (no mask) from
// words that depend only on each source pixel and the draw state, made
// from the pixels of the last fill when a graph is drawn so twice in a row
// with one state and kept until its pixels change:
// - the add mode: the term added to the pixel, floor(x x p / 255) for
//   alpha 255, floor(x x a x p / 65536) below, each channel's x the source
//   channel under the brightness; alpha 0 leaves the pixel (byte 3 0xFF
//   marks it). One plane of the pixel block's size.
// - the white copy, for graphs drawn by the vector loops (their spans too
//   short): each channel's product q with its weight w, the pixel becoming
//   (d x w + q) >> 8: q = s x a and w = 256 - a below alpha 255, q = s x 256
//   and w = 0 at 255, q = 0 and w = 256 at 0. Two planes of the pixel
//   block's size: q of blue and red; q of green and w.
// The key of the words: the add mode's parameter and brightness, or 0 for
// the white copy (the add mode draws nothing at parameter 0).

uint32_t AddWordsKey(const BlendContext& c) {
  return static_cast<uint32_t>(c.param) | static_cast<uint32_t>(c.bright[0]) << 8 |
         static_cast<uint32_t>(c.bright[1]) << 16 | static_cast<uint32_t>(c.bright[2]) << 24;
}
constexpr uint32_t kCopyWordsKey = 0;
int32_t WordPlanes(uint32_t key) { return key == kCopyWordsKey ? 2 : 1; }

void BuildAddWords(MemImgBuffer* b, const BlendContext& c) {
  const uint32_t p = static_cast<uint32_t>(c.param);
  for (int32_t y = 0; y < b->pendingHeight; ++y) {
    const int64_t row = b->pendingOffset + static_cast<int64_t>(y) * b->pitch;
    const uint8_t* src = b->pixels + row;
    uint8_t* out = b->blitTerms + row;
    for (int32_t x = 0; x < b->pendingWidth; ++x) {
      const uint32_t s = LoadPixel32(src + 4 * x), a = s >> 24;
      uint32_t t = 0xFF000000u;
      if (a != 0) {
        t = 0;
        for (int ch = 0; ch < 3; ++ch) {
          const uint32_t x8 = static_cast<uint32_t>(c.scaleBright[ch][(s >> (8 * ch)) & 0xFF]);
          const uint32_t share = a == 255 ? static_cast<uint32_t>(c.scaleParam[x8]) : BlendPart<16>(x8, a * p);
          t |= share << (8 * ch);
        }
      }
      StorePixel32(out + 4 * x, t);
    }
  }
}

void BuildCopyWords(MemImgBuffer* b) {
  const int64_t plane = static_cast<int64_t>(b->pitch) * b->height;
  for (int32_t y = 0; y < b->pendingHeight; ++y) {
    const int64_t row = b->pendingOffset + static_cast<int64_t>(y) * b->pitch;
    const uint8_t* src = b->pixels + row;
    uint8_t* first = b->blitTerms + row;
    uint8_t* second = first + plane;
    for (int32_t x = 0; x < b->pendingWidth; ++x) {
      const uint32_t s = LoadPixel32(src + 4 * x), a = s >> 24;
      const uint32_t w = a == 0 ? 256 : a == 255 ? 0 : 256 - a, k = a == 255 ? 256 : a;
      StorePixel32(first + 4 * x, (s & 0xFF) * k | ((s >> 16) & 0xFF) * k << 16);
      StorePixel32(second + 4 * x, ((s >> 8) & 0xFF) * k | w << 16);
    }
  }
}

// The words of the view's first pixel for the key, or null when the graph
// has none (made here when asked for the same key twice in a row).
const uint8_t* KeptWords(const MEMIMG* src, uint32_t key, const BlendContext& c) {
  MemImgBuffer* b = src->buffer;
  if (b->depthKind != MemImgDepth32 || b->alpha != 1 || b->runTable == nullptr || b->hasRunTable != 1) return nullptr;
  SettleMemImgExtras(b);
  int64_t viewX = 0, viewY = 0;
  if (b->hasRunTable != 1 || !PlaceInFill(src, &viewX, &viewY)) return nullptr;
  if (b->blitTerms == nullptr || b->blitTermsKey != key || b->blitTermsFill != b->fillCount) {
    if (b->blitTermsAsked != key) {
      b->blitTermsAsked = key;
      return nullptr;
    }
    const size_t plane = static_cast<size_t>(b->pitch) * static_cast<size_t>(b->height);
    if (b->blitTerms == nullptr || WordPlanes(b->blitTermsKey) != WordPlanes(key)) {
      void* grown = TrackedRealloc(b->blitTerms, plane * WordPlanes(key), __FILE__, __LINE__);
      if (grown == nullptr) return nullptr;
      b->blitTerms = static_cast<uint8_t*>(grown);
    }
    if (key == kCopyWordsKey)
      BuildCopyWords(b);
    else
      BuildAddWords(b, c);
    b->blitTermsKey = key;
    b->blitTermsFill = b->fillCount;
  }
  return b->blitTerms + (src->pixels - b->pixels);
}

// The add mode's terms of the view's first pixel for this draw, or null.
const uint8_t* AddTermsOf(const MEMIMG* src, const BlendContext& c, const BlitVariant& v) {
  if (v.mode != 2 || v.src != BlitSource::Alpha || !v.trans || v.masked || v.stretched) return nullptr;
  return KeptWords(src, AddWordsKey(c), c);
}

}  // namespace

const BlitSpanLoops& CurrentBlitSpanLoops() {
  return BlitUseAvx2 ? WideBlitSpanLoops() : blit_spans::kLoops<Sse2Ops>;
}

bool BlitRecordsFit(const MEMIMG* dst, const MEMIMG* src, const MEMIMG* mask) {
  if (dst == nullptr || src == nullptr || dst->buffer == nullptr || src->buffer == nullptr) return false;
  const MemImgBuffer* db = dst->buffer;
  const MemImgBuffer* sb = src->buffer;
  if (sb->depthKind != db->depthKind || db->paletted == 1 || db->alpha == 1) return false;
  if (db->format == nullptr || sb->format == nullptr ||
      db->format->bytesPerPixel != MemImgBytesPerPixel(db->depthKind, 0, 0) ||
      sb->format->bytesPerPixel != MemImgBytesPerPixel(sb->depthKind, sb->paletted, sb->alpha))
    return false;
  if (mask != nullptr && (mask->buffer == nullptr || mask->width < src->width || mask->height < src->height))
    return false;
  return true;
}

BlendContext MakeBlendContext(const MemImgBuffer* src, const uint8_t* paletteCopy) {
  // The setter keeps the parameter in 0..255; a stray value must not index
  // outside the tables.
  const int32_t p = DrawBlendParam < 0 ? 0 : DrawBlendParam > 255 ? 255 : DrawBlendParam;
  BlendContext c;
  c.param = p;
  c.scaleParam = BlendScaleTable[p];
  c.scaleBright[0] = BlendScaleTable[DrawBright.blue];
  c.scaleBright[1] = BlendScaleTable[DrawBright.green];
  c.scaleBright[2] = BlendScaleTable[DrawBright.red];
  c.bright[0] = DrawBright.blue;
  c.bright[1] = DrawBright.green;
  c.bright[2] = DrawBright.red;
  c.diffRow = &BlendDiffTable[p][255];
  c.sixRow = &Blend6BitTable[p / 4][0][0];
  c.transColor = src->transColor;
  if (src->paletted == 1)
    c.transWide = (src->transColor & 0xFF) * 0x01010101u;
  else if (src->depthKind == MemImgDepth16)
    c.transWide = src->transColor | (src->transColor << 16);
  else
    c.transWide = src->transColor;
  c.palette = paletteCopy;
  return c;
}

void CopySourcePalette(uint8_t* copy, const MemImgBuffer* src) {
  const int32_t entryBytes = src->depthKind == MemImgDepth16 ? 2 : 4;
  int32_t count = src->palette == nullptr || src->paletteCount < 0 ? 0 : src->paletteCount;
  if (count > 256) count = 256;
  if (count > 0) std::memcpy(copy, src->palette, static_cast<size_t>(count * entryBytes));
  std::memset(copy + count * entryBytes, 0, static_cast<size_t>((256 - count) * entryBytes));
}

int32_t EffectiveBlendMode(bool paletted) {
  const uint32_t mode = static_cast<uint32_t>(DrawBlendMode);
  if (mode > 11 || (mode >= 5 && mode <= 9)) return -1;
  const int32_t p = DrawBlendParam;
  switch (mode) {
    case 1:
      return p <= 0 ? -1 : p >= 255 ? 0 : 1;
    case 2:
      return p <= 0 ? -1 : 2;
    case 3:
      return p <= 0 && !paletted ? -1 : 3;
    default:
      return static_cast<int32_t>(mode);
  }
}

BlitSource SourceKindOf(const MemImgBuffer* src) {
  return src->paletted == 1 ? BlitSource::Palette : src->alpha == 1 ? BlitSource::Alpha : BlitSource::Plain;
}

BlitRowFn PrepareBlitRow(const MemImgBuffer* src, bool masked, int32_t trans, bool stretched,
                         uint8_t* paletteCopy, BlendContext* context, BlitVariant* variant) {
  const bool paletted = src->paletted == 1;
  if (paletted) CopySourcePalette(paletteCopy, src);
  if (src->depthKind != MemImgDepth16 && src->depthKind != MemImgDepth32) return nullptr;
  const int32_t mode = EffectiveBlendMode(paletted);
  if (mode < 0) return nullptr;

  *context = MakeBlendContext(src, paletteCopy);
  BlitVariant& v = *variant;
  v.mode = mode;
  v.masked = masked;
  v.white = IsDrawBrightWhite();
  v.trans = trans != 0;
  v.src = SourceKindOf(src);
  // (A case without loops of its own, such as 128 in a stretched draw, runs
  // the general ones: the tables map it there.)
  v.param = context->param == 128   ? BlitParam::Half
            : context->param == 255 ? BlitParam::Full
                                    : BlitParam::General;
  v.stretched = stretched;
  return src->depthKind == MemImgDepth32 ? SelectRow32(v, context) : SelectRow16(v, context);
}

void SoftBlit(MEMIMG* dst, const MEMIMG* src, int32_t x, int32_t y, int32_t trans, const MEMIMG* mask) {
  if (!BlitRecordsFit(dst, src, mask)) return;
  const MemImgBuffer* sb = src->buffer;
  const MemImgBuffer* db = dst->buffer;

  PixelRect rect = {x, y, AddClamped(x, src->width), AddClamped(y, src->height)};
  ClipRectToArea(&rect, &DrawClipRect);
  BlitSetup s;
  s.width = rect.right - rect.left;
  s.height = rect.bottom - rect.top;
  if (s.width == 0 || s.height == 0) return;
  s.srcX = rect.left - x;
  s.srcY = rect.top - y;

  const int32_t srcBytes = sb->format->bytesPerPixel;
  const int32_t dstBytes = db->format->bytesPerPixel;
  s.srcPitch = sb->pitch;
  s.srcStart =
      src->pixels + static_cast<int64_t>(s.srcY) * sb->pitch + static_cast<int64_t>(s.srcX) * srcBytes;
  s.dstPitch = db->pitch;
  s.dstStart =
      dst->pixels + static_cast<int64_t>(rect.top) * db->pitch + static_cast<int64_t>(rect.left) * dstBytes;
  s.maskStart = nullptr;
  s.maskPitch = 0;
  if (mask != nullptr) {
    s.maskPitch = mask->buffer->pitch;
    s.maskStart = mask->pixels + static_cast<int64_t>(s.srcY) * s.maskPitch + s.srcX;
  }

  // The white copy of a keyed direct source without mask (mode 0, or mode
  // 1 at 255), its spans at hand: each copied.
  const SpanTable* spans = nullptr;
  int32_t spanRow = 0, spanColumn = 0;
  if (trans != 0 && mask == nullptr && sb->alpha != 1 && sb->paletted != 1 &&
      (sb->depthKind == MemImgDepth16 || sb->depthKind == MemImgDepth32) &&
      (DrawBlendMode == 0 || (DrawBlendMode == 1 && DrawBlendParam >= 255)) && IsDrawBrightWhite() &&
      FindSpans(src, s, &spans, &spanRow, &spanColumn)) {
    CopySpans(s, *spans, spanRow, spanColumn, srcBytes);
    return;
  }

  BlendContext context;
  BlitVariant v;
  const BlitRowFn row = PrepareBlitRow(sb, mask != nullptr, trans, false, BlitPaletteCopy, &context, &v);
  if (row == nullptr) return;

  const uint8_t* terms = AddTermsOf(src, context, v);
  if (terms != nullptr) terms += s.srcStart - src->pixels;
  if (SpansServe(sb, trans, v) && FindSpans(src, s, &spans, &spanRow, &spanColumn)) {
    BlendContext opaqueContext;
    DrawSpans(s, *spans, spanRow, spanColumn, sb, dstBytes, PlanSpans(sb, row, context, &opaqueContext, v, terms));
    return;
  }
  const BlitSpanLoops& loops = CurrentBlitSpanLoops();
  const int64_t ahead = static_cast<int64_t>(kPrefetchRows) * s.dstPitch;
  const size_t rowBytes = static_cast<size_t>(s.width) * dstBytes;
  if (terms != nullptr) {
    for (int32_t r = 0; r < s.height; ++r) {
      uint8_t* d = s.dstStart + static_cast<int64_t>(r) * s.dstPitch;
      if (rowBytes >= kPrefetchSpan && r + kPrefetchRows < s.height) PrefetchForWrite(d + ahead, rowBytes);
      loops.addMarkedTerms(d, terms + static_cast<int64_t>(r) * s.srcPitch, s.width);
    }
    return;
  }
  if (v.mode == 0 && v.white && v.src == BlitSource::Alpha && v.trans && !v.masked && sb->depthKind == MemImgDepth32) {
    if (const uint8_t* words = KeptWords(src, kCopyWordsKey, context); words != nullptr) {
      words += s.srcStart - src->pixels;
      const int64_t plane = static_cast<int64_t>(sb->pitch) * sb->height;
      for (int32_t r = 0; r < s.height; ++r) {
        uint8_t* d = s.dstStart + static_cast<int64_t>(r) * s.dstPitch;
        if (rowBytes >= kPrefetchSpan && r + kPrefetchRows < s.height) PrefetchForWrite(d + ahead, rowBytes);
        loops.mixKept(d, words + static_cast<int64_t>(r) * s.srcPitch, words + plane + static_cast<int64_t>(r) * s.srcPitch,
                      s.width);
      }
      return;
    }
  }

  // Rows that follow each other without a gap in every image are one long
  // row (not for the two-pixel loops when a row's width is odd: each row's
  // pairs start at its first pixel).
  if (s.srcPitch == s.width * srcBytes && s.dstPitch == s.width * dstBytes &&
      (mask == nullptr || s.maskPitch == s.width) && (sb->depthKind == MemImgDepth32 || s.width % 2 == 0) &&
      static_cast<int64_t>(s.width) * s.height <= INT32_MAX) {
    s.width *= s.height;
    s.height = 1;
  }

  if (context.rect != nullptr) {  // the vector loops take every row at once
    context.rect(s.dstStart, s.dstPitch, s.srcStart, s.srcPitch, s.width, s.height, context);
    return;
  }
  uint8_t* d = s.dstStart;
  const uint8_t* p = s.srcStart;
  const uint8_t* m = s.maskStart;
  for (int32_t r = 0;;) {
    row(d, p, m, s.width, context);
    if (++r == s.height) break;
    d += s.dstPitch;
    p += s.srcPitch;
    if (m != nullptr) m += s.maskPitch;
  }
}
