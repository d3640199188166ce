#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/gdi/dc_font.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/win32_window.h"

namespace {

struct Channel {
  uint32_t mask;
  int32_t shift, width;
};

// What a pixel routine needs to know of a DIB.
struct DibLayout {
  int32_t width, height;  // height positive
  bool bottomUp;
  int32_t bits;
  int64_t rowBytes;
  Channel channel[3];  // 16 and 32 bits
  const RGBQUAD* colors;
  int32_t colorCount;
};

}  // namespace

struct HBITMAP__ {
  BITMAPINFOHEADER header;  // as created, with the 40-byte size
  DWORD masks[3];           // the channel masks of 16 and 32-bit sections
  RGBQUAD colors[256];
  DibLayout layout;         // its colours are the ones above
  uint8_t* bits;
  int selectedIn;  // number of contexts holding it
  bool deleted;    // DeleteObject ran while it was selected
};

namespace {

// A memory device context; its HDC is the record's address.
struct MemoryDc {
  HBITMAP selected = nullptr;
  std::shared_ptr<HFONT__> font;  // null: the context's own default
};

std::mutex& GdiMutex() {
  static std::mutex mutex;
  return mutex;
}
std::set<MemoryDc*>& LiveDcs() {
  static std::set<MemoryDc*> set;
  return set;
}
std::set<HBITMAP>& LiveBitmaps() {
  static std::set<HBITMAP> set;
  return set;
}

MemoryDc* FindDc(HDC dc) {
  auto* record = reinterpret_cast<MemoryDc*>(dc);
  return LiveDcs().count(record) != 0 ? record : nullptr;
}

bool IsLive(HBITMAP bitmap) { return bitmap != nullptr && LiveBitmaps().count(bitmap) != 0 && !bitmap->deleted; }

void FreeBitmap(HBITMAP bitmap) {
  LiveBitmaps().erase(bitmap);
  free(bitmap->bits);
  delete bitmap;
}

// Drops one selection of the bitmap, freeing it when it was deleted meanwhile.
void Unselect(HBITMAP bitmap) {
  if (bitmap == nullptr) return;
  --bitmap->selectedIn;
  if (bitmap->deleted && bitmap->selectedIn == 0) FreeBitmap(bitmap);
}

// ---------------------------------------------------------------- layouts

Channel MakeChannel(uint32_t mask) {
  Channel c{mask, 0, 0};
  if (mask == 0) return c;
  while (((mask >> c.shift) & 1u) == 0) ++c.shift;
  while (c.shift + c.width < 32 && ((mask >> (c.shift + c.width)) & 1u) != 0) ++c.width;
  return c;
}

// A channel value as 8 bits: wide channels keep their top bits, narrow ones
// stretch so that full scale stays full scale.
uint32_t ChannelTo8(uint32_t value, const Channel& c) {
  if (c.width == 0) return 0;
  uint32_t v = (value & c.mask) >> c.shift;
  if (c.width >= 8) return (v >> (c.width - 8)) & 0xFFu;
  return v * 255u / ((1u << c.width) - 1u);
}

uint32_t ChannelFrom8(uint32_t v8, const Channel& c) {
  if (c.width == 0) return 0;
  uint32_t v = c.width >= 8 ? v8 << (c.width - 8) : v8 >> (8 - c.width);
  return (v << c.shift) & c.mask;
}

int64_t DibRowBytes(int64_t width, int32_t bits) { return (width * bits + 31) / 32 * 4; }

// The layout of a header with its colour table or masks right behind the
// 40-byte header; false for a layout the blits do not handle.
bool DescribeDib(const BITMAPINFO* info, DibLayout* out) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  int32_t bits = h.biBitCount;
  bool bitfields = h.biCompression == BI_BITFIELDS;
  if (h.biCompression == BI_RGB) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  } else if (!bitfields || (bits != 16 && bits != 32)) {
    return false;
  }
  out->width = h.biWidth;
  out->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  out->bottomUp = h.biHeight > 0;
  out->bits = bits;
  out->rowBytes = DibRowBytes(h.biWidth, bits);
  out->colors = info->bmiColors;
  out->colorCount = 0;
  if (bits <= 8) {
    int32_t full = 1 << bits;
    out->colorCount = h.biClrUsed != 0 && h.biClrUsed < static_cast<DWORD>(full) ? static_cast<int32_t>(h.biClrUsed) : full;
  }
  uint32_t masks[3] = {0x7C00, 0x3E0, 0x1F};
  if (bits == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }
  if (bitfields) std::memcpy(masks, info->bmiColors, sizeof masks);
  for (int i = 0; i < 3; ++i) out->channel[i] = MakeChannel(masks[i]);
  return true;
}

const uint8_t* RowOf(const DibLayout& d, const uint8_t* bits, int32_t visualRow) {
  int32_t memoryRow = d.bottomUp ? d.height - 1 - visualRow : visualRow;
  return bits + memoryRow * d.rowBytes;
}

uint32_t RgbOf(const RGBQUAD& q) { return static_cast<uint32_t>(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue; }

// The colour-table index of a pixel of 1, 4 or 8 bits.
uint32_t ReadDibIndex(const DibLayout& d, const uint8_t* row, int32_t x) {
  switch (d.bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    default: return row[x];
  }
}

// The colour of a table index; indices past the table are black.
uint32_t IndexColor(const DibLayout& d, uint32_t index) {
  return static_cast<int32_t>(index) < d.colorCount ? RgbOf(d.colors[index]) : 0;
}

// The pixel as 0x00RRGGBB.
uint32_t ReadDibPixel(const DibLayout& d, const uint8_t* row, int32_t x) {
  switch (d.bits) {
    case 1:
    case 4:
    case 8: return IndexColor(d, ReadDibIndex(d, row, x));
    case 24: return static_cast<uint32_t>(row[3 * x]) | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    default: {
      uint32_t v = d.bits == 16 ? static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8)
                                : static_cast<uint32_t>(row[4 * x]) | row[4 * x + 1] << 8 |
                                      row[4 * x + 2] << 16 | static_cast<uint32_t>(row[4 * x + 3]) << 24;
      return ChannelTo8(v, d.channel[0]) << 16 | ChannelTo8(v, d.channel[1]) << 8 | ChannelTo8(v, d.channel[2]);
    }
  }
}

// The entry of the table nearest to the colour, the first of equals.
uint32_t NearestIndex(const DibLayout& d, uint32_t rgb) {
  int32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  uint32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (int32_t i = 0; i < d.colorCount; ++i) {
    const RGBQUAD& q = d.colors[i];
    int32_t dr = q.rgbRed - r, dg = q.rgbGreen - g, db = q.rgbBlue - b;
    int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<uint32_t>(i);
    }
  }
  return best;
}

void WriteDibPixel(const DibLayout& d, uint8_t* row, int32_t x, uint32_t rgb) {
  switch (d.bits) {
    case 8: row[x] = static_cast<uint8_t>(NearestIndex(d, rgb)); return;
    case 24:
      row[3 * x] = static_cast<uint8_t>(rgb);
      row[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
      return;
    default: {
      uint32_t v = ChannelFrom8((rgb >> 16) & 0xFF, d.channel[0]) | ChannelFrom8((rgb >> 8) & 0xFF, d.channel[1]) |
                   ChannelFrom8(rgb & 0xFF, d.channel[2]);
      for (int i = 0; i < d.bits / 8; ++i) row[d.bits / 8 * x + i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
}

// How the indices of a source with a colour table become entries of an 8-bit
// target's table, worked out once a blit: an index whose entry holds the same
// colour in both tables stays as it is (so a source drawn into a section of
// its own palette is copied by index), any other goes to the nearest entry.
struct IndexMap {
  bool active = false;    // a source with a colour table into an 8-bit target
  bool identity = false;  // every index stays
  uint8_t entry[256] = {};
};

IndexMap MakeIndexMap(const DibLayout& src, const DibLayout& dest) {
  IndexMap map;
  if (dest.bits != 8 || src.bits > 8) return map;
  map.active = true;
  map.identity = true;
  const uint32_t indices = 1u << src.bits;
  for (uint32_t i = 0; i < indices; ++i) {
    const uint32_t rgb = IndexColor(src, i);
    const bool same = static_cast<int32_t>(i) < dest.colorCount && RgbOf(dest.colors[i]) == rgb;
    map.entry[i] = static_cast<uint8_t>(same ? i : NearestIndex(dest, rgb));
    map.identity = map.identity && map.entry[i] == i;
  }
  return map;
}

// One axis of a blit: source and destination start (already the lowest
// coordinate), their lengths and whether the axis is mirrored.
struct Axis {
  int64_t src, srcLength, dest, destLength;
  bool flip;
};

Axis MakeAxis(int64_t dest, int64_t destLength, int64_t src, int64_t srcLength) {
  Axis a{src, srcLength, dest, destLength, false};
  if (destLength < 0) {
    a.destLength = -destLength;
    a.dest = dest + destLength + 1;
    a.flip = !a.flip;
  }
  if (srcLength < 0) {
    a.srcLength = -srcLength;
    a.src = src + srcLength + 1;
    a.flip = !a.flip;
  }
  return a;
}

// The source offset (0 .. srcLength-1 within the rectangle) for a destination offset.
int64_t SourceOffset(const Axis& a, int64_t i) {
  int64_t j = i * a.srcLength / a.destLength;
  return a.flip ? a.srcLength - 1 - j : j;
}

// Rows that hold the same pixels in both images, unscaled and unmirrored, are
// copied whole: the bytes of a pixel (32 bits of the same layout, or 8 bits
// whose indices stay), else 0.
int WholePixelBytes(const DibLayout& src, const DibLayout& dest, const Axis& x, const Axis& y, const IndexMap& map) {
  if (x.flip || y.flip || x.srcLength != x.destLength || y.srcLength != y.destLength) return 0;
  if (src.bits == 8 && dest.bits == 8) return map.identity ? 1 : 0;
  if (src.bits != 32 || dest.bits != 32) return 0;
  for (int i = 0; i < 3; ++i)
    if (src.channel[i].mask != dest.channel[i].mask) return 0;
  return 4;
}

// The per-pixel colour work of a blit between 16- and 32-bit layouts with
// contiguous masks, done once a blit into tables from the same routines a
// single pixel uses (so every pixel comes out as it would one by one): each
// source channel value to 8 bits, and each 8-bit value to the target's bits
// in place.
struct PixelTables {
  uint32_t to8[3][1u << 12];
  uint32_t from8[3][256];
  // A 16-bit source: every pixel value's result, made from the tables above
  // (the window's frame is 640 x 480 of them sixty times a second).
  std::vector<uint32_t> direct;
};

bool TableChannel(const Channel& c) {
  return c.width > 0 && c.width <= 12 && c.mask == ((1u << c.width) - 1u) << c.shift;
}

std::unique_ptr<PixelTables> MakePixelTables(const DibLayout& src, const DibLayout& dest) {
  if ((src.bits != 16 && src.bits != 32) || (dest.bits != 16 && dest.bits != 32)) return nullptr;
  for (int i = 0; i < 3; ++i)
    if (!TableChannel(src.channel[i]) || !TableChannel(dest.channel[i])) return nullptr;
  auto t = std::make_unique<PixelTables>();
  for (int i = 0; i < 3; ++i) {
    const Channel& c = src.channel[i];
    for (uint32_t v = 0; v < (1u << c.width); ++v) t->to8[i][v] = ChannelTo8(v << c.shift, c);
    for (uint32_t v = 0; v < 256; ++v) t->from8[i][v] = ChannelFrom8(v, dest.channel[i]);
  }
  return t;
}

// The tables with the direct table of a 16-bit source, made once for each
// pair of layouts a thread blits between (the last pair kept); null where the
// channels take no tables.
const PixelTables* DirectTables(const DibLayout& src, const DibLayout& dest) {
  struct Kept {
    uint32_t key[7] = {};
    std::unique_ptr<PixelTables> tables;
  };
  thread_local Kept kept;
  const uint32_t key[7] = {src.channel[0].mask,  src.channel[1].mask,  src.channel[2].mask,
                           dest.channel[0].mask, dest.channel[1].mask, dest.channel[2].mask,
                           static_cast<uint32_t>(dest.bits)};
  if (kept.tables != nullptr && std::memcmp(kept.key, key, sizeof key) == 0) return kept.tables.get();
  kept.tables = MakePixelTables(src, dest);
  if (kept.tables == nullptr) return nullptr;
  std::memcpy(kept.key, key, sizeof key);
  PixelTables& t = *kept.tables;
  const Channel* sc = src.channel;
  t.direct.resize(1u << 16);
  for (uint32_t v = 0; v < (1u << 16); ++v)
    t.direct[v] = t.from8[0][t.to8[0][(v & sc[0].mask) >> sc[0].shift]] |
                  t.from8[1][t.to8[1][(v & sc[1].mask) >> sc[1].shift]] |
                  t.from8[2][t.to8[2][(v & sc[2].mask) >> sc[2].shift]];
  return kept.tables.get();
}

// Columns first .. last-1 of an unscaled, unmirrored row through the tables.
void ConvertRowByTables(const DibLayout& src, const uint8_t* srcRow, int64_t srcX, const DibLayout& dest,
                        uint8_t* destRow, int64_t destX, int64_t count, const PixelTables& t) {
  const Channel* sc = src.channel;
  if (!t.direct.empty()) {
    const uint32_t* direct = t.direct.data();
    const uint8_t* from = srcRow + 2 * srcX;
    if (dest.bits == 32) {
      auto* to = reinterpret_cast<uint8_t*>(reinterpret_cast<uint32_t*>(destRow) + destX);
      int64_t k = 0;
      auto one = [&](int64_t i) {
        uint16_t p;
        std::memcpy(&p, from + 2 * i, 2);
        const uint32_t out = direct[p];
        std::memcpy(to + 4 * i, &out, 4);
      };
#if defined(__SSE2__)
      // Four pixels a store past the cache: the window's pixels are written
      // here and read next by the display server, so reading their lines in
      // first (as plain stores do) only doubles the memory traffic.
      for (; k < count && (reinterpret_cast<uintptr_t>(to + 4 * k) & 15) != 0; ++k) one(k);
      for (; k + 4 <= count; k += 4) {
        uint16_t p[4];
        std::memcpy(p, from + 2 * k, 8);
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + 4 * k),
                         _mm_setr_epi32(static_cast<int>(direct[p[0]]), static_cast<int>(direct[p[1]]),
                                        static_cast<int>(direct[p[2]]), static_cast<int>(direct[p[3]])));
      }
      _mm_sfence();
#endif
      for (; k < count; ++k) one(k);
    } else {
      for (int64_t k = 0; k < count; ++k) {
        uint16_t p;
        std::memcpy(&p, from + 2 * k, 2);
        const uint16_t out = static_cast<uint16_t>(direct[p]);
        std::memcpy(destRow + 2 * (destX + k), &out, 2);
      }
    }
    return;
  }
  for (int64_t k = 0; k < count; ++k) {
    uint32_t v;
    if (src.bits == 16) {
      uint16_t p;
      std::memcpy(&p, srcRow + 2 * (srcX + k), 2);
      v = p;
    } else {
      std::memcpy(&v, srcRow + 4 * (srcX + k), 4);
    }
    const uint32_t out = t.from8[0][t.to8[0][(v & sc[0].mask) >> sc[0].shift]] |
                         t.from8[1][t.to8[1][(v & sc[1].mask) >> sc[1].shift]] |
                         t.from8[2][t.to8[2][(v & sc[2].mask) >> sc[2].shift]];
    if (dest.bits == 16) {
      const uint16_t p = static_cast<uint16_t>(out);
      std::memcpy(destRow + 2 * (destX + k), &p, 2);
    } else {
      std::memcpy(destRow + 4 * (destX + k), &out, 4);
    }
  }
}

// Draws into the target rows (dest describes them, top-down rows when not
// bottomUp); returns the rows drawn and the rectangle written.
int BlitRows(const DibLayout& src, const uint8_t* srcBits, int64_t available, const DibLayout& dest,
             uint8_t* destBits, const Axis& x, const Axis& y, RECT* written) {
  // Source rows are counted up from the bottom: the rectangle's top row.
  int64_t srcTop = src.height - (y.src + y.srcLength);
  const IndexMap map = MakeIndexMap(src, dest);
  const int whole = WholePixelBytes(src, dest, x, y, map);
  // Tables pay off over a few thousand pixels; a 16-bit source's whole
  // table over a frame's worth, and it is kept for the next blit of the same
  // layouts.
  std::unique_ptr<PixelTables> tables;
  const PixelTables* use = nullptr;
  const bool tabled =
      !whole && !map.active && !x.flip && x.srcLength == x.destLength && x.destLength * y.destLength >= 4096;
  if (tabled && src.bits == 16 && x.destLength * y.destLength >= 65536) {
    use = DirectTables(src, dest);
  } else if (tabled) {
    tables = MakePixelTables(src, dest);
    use = tables.get();
  }
  int drawn = 0;
  *written = RECT{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int64_t i = 0; i < y.destLength; ++i) {
    int64_t dy = y.dest + i;
    int64_t sy = srcTop + SourceOffset(y, i);
    if (dy < 0 || dy >= dest.height || sy < 0 || sy >= src.height) continue;
    int64_t memoryRow = src.bottomUp ? src.height - 1 - sy : sy;
    if (memoryRow >= available) continue;
    const uint8_t* srcRow = RowOf(src, srcBits, static_cast<int32_t>(sy));
    uint8_t* destRow = destBits + (dest.bottomUp ? dest.height - 1 - dy : dy) * dest.rowBytes;
    // The columns that land inside both images.
    int64_t first = 0, last = x.destLength;
    if (x.dest < 0) first = -x.dest;
    if (x.dest + last > dest.width) last = dest.width - x.dest;
    if (whole) {
      if (x.src + first < 0) first = -x.src;
      if (x.src + last > src.width) last = src.width - x.src;
      if (first < last)
        std::memcpy(destRow + whole * (x.dest + first), srcRow + whole * (x.src + first),
                    static_cast<size_t>(whole * (last - first)));
    } else if (use != nullptr) {
      // The columns whose source lies inside the source image.
      const int64_t from = std::max(first, -x.src), to = std::min(last, src.width - x.src);
      if (from < to) ConvertRowByTables(src, srcRow, x.src + from, dest, destRow, x.dest + from, to - from, *use);
    } else if (map.active) {
      for (int64_t k = first; k < last; ++k) {
        int64_t sx = x.src + SourceOffset(x, k);
        if (sx < 0 || sx >= src.width) continue;
        destRow[x.dest + k] = map.entry[ReadDibIndex(src, srcRow, static_cast<int32_t>(sx))];
      }
    } else {
      for (int64_t k = first; k < last; ++k) {
        int64_t sx = x.src + SourceOffset(x, k);
        if (sx < 0 || sx >= src.width) continue;
        WriteDibPixel(dest, destRow, static_cast<int32_t>(x.dest + k), ReadDibPixel(src, srcRow, static_cast<int32_t>(sx)));
      }
    }
    if (first < last) {
      written->left = std::min<LONG>(written->left, static_cast<LONG>(x.dest + first));
      written->right = std::max<LONG>(written->right, static_cast<LONG>(x.dest + last));
      written->top = std::min<LONG>(written->top, static_cast<LONG>(dy));
      written->bottom = std::max<LONG>(written->bottom, static_cast<LONG>(dy + 1));
    }
    ++drawn;
  }
  return drawn;
}

std::atomic<bool> skipWindowBlits{false};

int Blit(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
         int srcHeight, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  if (dc == nullptr || bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS || startScan != 0) return 0;
  if (destWidth == 0 || destHeight == 0 || srcWidth == 0 || srcHeight == 0) return 0;
  DibLayout src{};
  if (!DescribeDib(info, &src)) return 0;
  const int64_t available = lines < static_cast<UINT>(src.height) ? lines : src.height;
  const Axis x = MakeAxis(xDest, destWidth, xSrc, srcWidth);
  const Axis y = MakeAxis(yDest, destHeight, ySrc, srcHeight);
  const auto* srcBits = static_cast<const uint8_t*>(bits);
  RECT written;
  {
    std::lock_guard<std::mutex> lock(GdiMutex());
    if (MemoryDc* memory = FindDc(dc); memory != nullptr) {
      if (memory->selected == nullptr) return 0;
      HBITMAP target = memory->selected;
      return BlitRows(src, srcBits, available, target->layout, target->bits, x, y, &written);
    }
  }
  // A window's context: its client area.
  if (skipWindowBlits.load()) return static_cast<int>(std::min<int64_t>(available, y.destLength));
  PlatformWindowPixels window;
  if (!PlatformLockWindowPixels(dc, &window)) return 0;
  DibLayout dest{};
  dest.width = window.width;
  dest.height = window.height;
  dest.bottomUp = false;
  dest.bits = window.bits;
  dest.rowBytes = window.pitch;
  for (int i = 0; i < 3; ++i) dest.channel[i] = MakeChannel(window.masks[i]);
  const int drawn = BlitRows(src, srcBits, available, dest, window.pixels, x, y, &written);
  PlatformUnlockWindowPixels(dc, drawn > 0 ? &written : nullptr);
  return drawn;
}

}  // namespace

HDC CreateCompatibleDC(HDC dc) {
  (void)dc;
  std::lock_guard<std::mutex> lock(GdiMutex());
  auto* record = new MemoryDc;
  LiveDcs().insert(record);
  return reinterpret_cast<HDC>(record);
}

BOOL DeleteDC(HDC dc) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  MemoryDc* record = FindDc(dc);
  if (record == nullptr) return FALSE;
  Unselect(record->selected);
  LiveDcs().erase(record);
  delete record;
  return TRUE;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  (void)dc;
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr || offset != 0) return nullptr;
  DibLayout layout{};
  if (!DescribeDib(info, &layout) || layout.bits < 8) return nullptr;
  int64_t size = layout.rowBytes * layout.height;
  if (size > 0x7FFFFFFF) return nullptr;
  auto* bitmap = new HBITMAP__{};
  bitmap->bits = static_cast<uint8_t*>(calloc(static_cast<size_t>(size), 1));
  if (bitmap->bits == nullptr) {
    delete bitmap;
    return nullptr;
  }
  bitmap->header = info->bmiHeader;
  bitmap->header.biSize = sizeof(BITMAPINFOHEADER);
  if (layout.bits == 16 || layout.bits == 32) {
    for (int i = 0; i < 3; ++i) bitmap->masks[i] = layout.channel[i].mask;
  }
  if (layout.colorCount != 0) std::memcpy(bitmap->colors, info->bmiColors, sizeof(RGBQUAD) * layout.colorCount);
  bitmap->layout = layout;
  bitmap->layout.colors = bitmap->colors;
  std::lock_guard<std::mutex> lock(GdiMutex());
  LiveBitmaps().insert(bitmap);
  if (bits != nullptr) *bits = bitmap->bits;
  return bitmap;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  MemoryDc* record = FindDc(dc);
  if (record == nullptr || (bitmap != nullptr && !IsLive(bitmap))) return nullptr;
  HBITMAP previous = record->selected;
  if (bitmap != nullptr) ++bitmap->selectedIn;
  record->selected = bitmap;
  Unselect(previous);
  return previous != nullptr && !IsLive(previous) ? nullptr : previous;
}

BOOL DeleteObject(HBITMAP bitmap) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  if (!IsLive(bitmap)) return FALSE;
  if (bitmap->selectedIn > 0) {
    bitmap->deleted = true;
  } else {
    FreeBitmap(bitmap);
  }
  return TRUE;
}

int GetObjectA(HBITMAP bitmap, int size, void* out) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  if (!IsLive(bitmap) || out == nullptr || size < static_cast<int>(sizeof(BITMAP))) return 0;
  DIBSECTION ds{};
  const BITMAPINFOHEADER& h = bitmap->header;
  ds.dsBm.bmWidth = h.biWidth;
  ds.dsBm.bmHeight = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  ds.dsBm.bmWidthBytes = static_cast<LONG>(bitmap->layout.rowBytes);
  ds.dsBm.bmPlanes = 1;
  ds.dsBm.bmBitsPixel = h.biBitCount;
  ds.dsBm.bmBits = bitmap->bits;
  ds.dsBmih = h;
  std::memcpy(ds.dsBitfields, bitmap->masks, sizeof ds.dsBitfields);
  int written = size >= static_cast<int>(sizeof(DIBSECTION)) ? static_cast<int>(sizeof(DIBSECTION))
                                                              : static_cast<int>(sizeof(BITMAP));
  std::memcpy(out, &ds, static_cast<size_t>(written));
  return written;
}

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
  if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return 0;
  return Blit(dc, xDest, yDest, static_cast<int>(width), static_cast<int>(height), xSrc, ySrc,
              static_cast<int>(width), static_cast<int>(height), startScan, lines, bits, info, usage);
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
  if (rop != SRCCOPY || info == nullptr) return 0;
  int32_t h = info->bmiHeader.biHeight;
  UINT lines = h < 0 ? static_cast<UINT>(-static_cast<int64_t>(h)) : static_cast<UINT>(h);
  return Blit(dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, 0, lines, bits,
              info, usage);
}

bool SwapMemoryDcFont(HDC dc, std::shared_ptr<HFONT__>& font) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  MemoryDc* record = FindDc(dc);
  if (record == nullptr) return false;
  record->font.swap(font);
  return true;
}

std::shared_ptr<HFONT__> MemoryDcFont(HDC dc) {
  std::lock_guard<std::mutex> lock(GdiMutex());
  MemoryDc* record = FindDc(dc);
  return record != nullptr ? record->font : nullptr;
}

void PlatformSkipWindowBlits(bool skip) { skipWindowBlits.store(skip); }

int PlatformLiveGdiObjectCount() {
  std::lock_guard<std::mutex> lock(GdiMutex());
  return static_cast<int>(LiveDcs().size() + LiveBitmaps().size());
}
