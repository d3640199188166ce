#include "library/text/font_handle.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/text/glyph_cells.h"

FontHandleTableType FontHandleTable;
FontModuleState FontModule = {-1, {}, 0};
int32_t ForceTextureGlyphCache = 0;

namespace {

// "ＭＳ ゴシック", the face of fonts made without one.
constexpr const char* kDefaultFace = "ＭＳ ゴシック";

// GDI character sets by character-set code.
constexpr DWORD kGdiCharSets[5] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET, CHINESEBIG5_CHARSET,
                                   GB2312_CHARSET};

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// The default font's settings, kept across a screen mode change.
struct RememberedDefaultFont {
  int32_t valid;
  char face[256];
  int32_t size, thickness;
};
RememberedDefaultFont Remembered;

int32_t EdgeOf(const FontHandleRecord* font) { return (font->type & FontTypeEdge) != 0 ? font->edgeSize : 0; }

int32_t RoundUp(int32_t value, int32_t step) { return (value + step - 1) / step * step; }

// A memory context with the font selected, and the font it held before.
struct FontContext {
  HDC dc = nullptr;
  HFONT old = nullptr;
  bool Open(HFONT font) {
    dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return false;
    old = SelectObject(dc, font);
    if (old == nullptr) {
      DeleteDC(dc);
      dc = nullptr;
      return false;
    }
    return true;
  }
  void Close() {
    if (dc == nullptr) return;
    SelectObject(dc, old);
    DeleteDC(dc);
    dc = nullptr;
  }
};

// The glyph's box at the cell, and its edge twin, into the cache graphs.
void TransferGlyphCell(FontHandleRecord* font, const GlyphSlot& slot) {
  if (font->glyphGraph == -1 || slot.width <= 0 || slot.height <= 0) return;
  int32_t x = 0, y = 0;
  GlyphCellOrigin(font, slot.cellIndex, &x, &y);
  // Each box lands at its own place: the edge image is the right half of
  // both the base image and the glyph graph.
  auto transfer = [&](const PixelRect& box) {
    ReloadGraphFromImageData(nullptr, font->basePixels, font->basePitch, &font->cacheFormat, font->baseWidth,
                             font->baseHeight, &box, nullptr, font->glyphGraph);
  };
  transfer({x, y, x + slot.width, y + slot.height});
  if ((font->type & FontTypeEdge) != 0)
    transfer({x + font->cacheWidth, y, x + font->cacheWidth + slot.width, y + slot.height});
}

HFONT MakeGdiFont(int32_t size, int32_t weight, int32_t italic, DWORD charSet, const char* face) {
  return CreateFontA(size, 0, 0, 0, weight, static_cast<DWORD>(italic != 0), 0, 0, charSet, 0, 0,
                     NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

// Puts a record into a slot with a check number, as the handle table's own
// insertion does.
ObjectHandle PlaceRecord(int32_t slot, uint32_t check, FontHandleRecord* record) {
  record->checkNumber = check;
  FontHandleTable.records[slot] = record;
  ++FontHandleTable.count;
  if (static_cast<uint32_t>(slot) >= FontHandleTable.top) FontHandleTable.top = static_cast<uint32_t>(slot) + 1;
  return MakeObjectHandle(HandleKindFont, check, static_cast<uint32_t>(slot));
}

FontSettings SettingsOf(const FontHandleRecord* f) {
  FontSettings s{};
  StrCopy(s.face, f->face);
  s.size = f->size;
  s.thickness = f->thickness;
  s.type = f->type;
  s.charSet = f->charSet;
  s.edgeSize = f->edgeSize;
  s.italic = f->italic;
  s.spacing = f->spacing;
  return s;
}

ObjectHandle MakeFont(const FontSettings& s, int32_t slot, int32_t check) {
  const int32_t edge = (s.type & FontTypeEdge) != 0 ? s.edgeSize : -1;
  return CreateFontToHandle(s.face[0] != '\0' ? s.face : nullptr, s.size, s.thickness, static_cast<int32_t>(s.type),
                            s.charSet, edge, s.italic, slot, check);
}

ObjectHandle MakeDefaultFont(const FontSettings& d) {
  const ObjectHandle handle = MakeFont(d, -1, -1);
  if (handle != -1) SetFontSpacingToHandle(d.spacing, handle);
  return handle;
}

void SetDefaultSettings() {
  FontSettings& d = FontModule.defaults;
  d = FontSettings{};
  d.size = 16;
  d.thickness = 6;
  d.type = 0;
  d.charSet = LibraryCharSet;
  d.edgeSize = 1;
  d.italic = 0;
  d.spacing = 0;
}

// Every slot its cell index, -1 after the last, the next slot the first: the
// rest of a glyph cache empty is all zero.
void NumberGlyphSlots(FontHandleRecord* f) {
  for (int32_t i = 0; i < f->slotCount; ++i) f->slots[i].cellIndex = i;
  f->slots[f->slotCount].cellIndex = -1;
  f->nextSlot = 0;
}

}  // namespace

// ---------------------------------------------------------------- cache geometry

GlyphCacheLayout ComputeGlyphCacheLayout(int32_t maxCharWidth, int32_t textHeight, uint32_t type, int32_t edgeSize,
                                         int32_t textureCache) {
  GlyphCacheLayout l{};
  const int32_t edge2 = (type & FontTypeEdge) != 0 ? edgeSize * 2 : 0;
  l.cellSize = RoundUp(maxCharWidth + 2 + edge2, 8);
  l.lineHeight = RoundUp(textHeight + edge2, 2);
  if (l.lineHeight > l.cellSize) l.cellSize = l.lineHeight;
  if (l.cellSize < 8) l.cellSize = 8;
  if (textureCache) {
    l.width = l.height = kTextureGlyphCacheSide;
    int64_t slots = static_cast<int64_t>(l.width / l.cellSize) * (l.height / l.cellSize);
    while (slots < kMinTextureGlyphSlots) {
      if (l.width > l.height)
        l.height *= 2;
      else
        l.width *= 2;
      slots = static_cast<int64_t>(l.height / l.cellSize) * (l.width / l.cellSize);
    }
    l.slotCount = static_cast<int32_t>(slots > kMaxGlyphSlots ? kMaxGlyphSlots : slots);
  } else {
    int64_t slots = kMemoryGlyphCacheBytes / (static_cast<int64_t>(l.cellSize) * l.cellSize);
    if (slots < kMinGlyphSlots) slots = kMinGlyphSlots;
    if (slots > kMaxGlyphSlots) slots = kMaxGlyphSlots;
    l.slotCount = static_cast<int32_t>(slots);
    l.width = l.cellSize;
    l.height = static_cast<int32_t>(slots * l.cellSize);
  }
  return l;
}

void GlyphCellOrigin(const FontHandleRecord* font, int32_t cellIndex, int32_t* x, int32_t* y) {
  // (The memory cache is one column.)
  const bool first = cellIndex >= 0 && cellIndex < font->cellsPerColumn;
  const int32_t column = first ? 0 : cellIndex / font->cellsPerColumn;
  const int32_t row = first ? cellIndex : cellIndex % font->cellsPerColumn;
  *x = column * font->cellSize + (font->textureCache ? 1 : 0);
  *y = row * font->cellSize + (font->textureCache ? 1 : 0);
}

// ---------------------------------------------------------------- handles

FontHandleRecord* GetFontHandleRecord(ObjectHandle handle) { return FontHandleTable.Find(handle); }

int IsValidFontHandle(ObjectHandle handle) { return GetFontHandleRecord(handle) != nullptr ? 1 : 0; }

ObjectHandle CreateFontToHandle(const char* face, int32_t size, int32_t thickness, int32_t type, int32_t charSet,
                                int32_t edgeSize, int32_t italic, int32_t wantedSlot, int32_t wantedCheck) {
  if (MainWindowClosed) return -1;
  if (size == -1) size = 16;
  if (thickness == -1) thickness = 6;
  if (type == -1) type = 0;
  if (charSet == -1) charSet = LibraryCharSet;
  // A character-set code the table does not hold counts as the default.
  if (charSet < 0 || charSet > 4) charSet = 0;
  if (edgeSize < 0) edgeSize = 1;
  if (italic == -1) italic = 0;
  uint32_t typeFlags = static_cast<uint32_t>(type) & 3;
  if (edgeSize > 1) typeFlags |= FontTypeEdge;

  int32_t slot = -1;
  if (wantedSlot != -1) {
    if (wantedSlot < 0 || wantedSlot >= static_cast<int32_t>(kMaxFontHandles) ||
        FontHandleTable.records[wantedSlot] != nullptr)
      return -1;
    slot = wantedSlot;
  } else {
    for (uint32_t i = 0; i < kMaxFontHandles && slot == -1; ++i)
      if (FontHandleTable.records[i] == nullptr) slot = static_cast<int32_t>(i);
    if (slot == -1) {
      return WriteErrorLogFormat("作成できるフォントハンドル数 %d の限界を超えました", static_cast<int>(kMaxFontHandles));
    }
  }

  auto* f = static_cast<FontHandleRecord*>(TrackedCalloc(sizeof(FontHandleRecord), __FILE__, __LINE__));
  if (f == nullptr) return WriteErrorLog("フォント管理用メモリ領域の確保に失敗しました\n");
  f->glyphGraph = -1;
  f->edgeGraph = -1;
  f->edgeSize = edgeSize;
  f->type = typeFlags;
  f->size = size;
  f->thickness = thickness;
  f->italic = italic;
  f->spacing = 0;
  f->textureCache = HardwareActive || ForceTextureGlyphCache ? 1 : 0;
  const uint32_t counterBefore = FontHandleTable.checkCounter;
  uint32_t check;
  if (wantedCheck != -1) {
    check = static_cast<uint32_t>(wantedCheck) & HandleCheckMax;
  } else {
    check = FontHandleTable.checkCounter;
    FontHandleTable.checkCounter = check >= HandleCheckMax ? 0 : check + 1;
  }
  const ObjectHandle handle = PlaceRecord(slot, check, f);
  // A creation that fails takes its record out again and leaves the table
  // (check counter included) as it was.
  auto fail = [&](const char* message) {
    WriteErrorLog(message);
    DeleteFontHandle(handle);
    FontHandleTable.checkCounter = counterBefore;
    return -1;
  };

  const DWORD gdiCharSet = kGdiCharSets[charSet];
  const int32_t weight = thickness * 100 > 0 ? thickness * 100 : 0;
  if (face != nullptr && face[0] != '\0') {
    StrCopy(f->face, face);
    const DWORD tries[3] = {gdiCharSet, DEFAULT_CHARSET, SHIFTJIS_CHARSET};
    for (DWORD cs : tries)
      if (f->font == nullptr) f->font = MakeGdiFont(size, weight, italic, cs, face);
    if (f->font == nullptr) return fail("指定のフォントの作成に失敗しました\n");
  } else {
    f->font = MakeGdiFont(size, weight, italic, gdiCharSet, kDefaultFace);
    if (f->font == nullptr) f->font = MakeGdiFont(size, weight, 0, DEFAULT_CHARSET, kDefaultFace);
    if (f->font == nullptr) f->font = MakeGdiFont(size, weight, 0, DEFAULT_CHARSET, nullptr);
    if (f->font == nullptr) return fail("フォントの作成に失敗しました\n");
  }

  FontContext context;
  if (!context.Open(f->font)) return fail("ＤＣの取得に失敗しました\n");
  TEXTMETRICA tm{};
  GetTextMetricsA(context.dc, &tm);
  context.Close();

  GlyphCacheLayout layout = ComputeGlyphCacheLayout(tm.tmMaxCharWidth, tm.tmHeight, typeFlags, edgeSize, f->textureCache);
  f->cellSize = layout.cellSize;
  f->lineHeight = layout.lineHeight;

  if (f->textureCache) {
    f->cacheWidth = layout.width;
    f->cacheHeight = layout.height;
    f->slotCount = layout.slotCount;
    f->cellsPerColumn = layout.height / layout.cellSize;
    f->cacheGraphsLost = 1;
    if (CreateGlyphCacheGraphs(handle) != 0) {
      WriteErrorLog("テクスチャ文字キャッシュの作成に失敗しました\n");
      f->textureCache = 0;
      layout = ComputeGlyphCacheLayout(tm.tmMaxCharWidth, tm.tmHeight, typeFlags, edgeSize, 0);
    } else {
      const int32_t antialiased = (typeFlags & FontTypeAntialiased) != 0;
      f->cacheFormat = *GetTextureColorFormat(static_cast<uint8_t>(antialiased), static_cast<uint8_t>(!antialiased), 0, 0);
      f->baseWidth = f->cacheWidth * ((typeFlags & FontTypeEdge) != 0 ? 2 : 1);
      f->baseHeight = f->cacheHeight;
      f->basePitch = f->cacheFormat.bytesPerPixel * f->baseWidth;
      f->basePixels = static_cast<uint8_t*>(
          TrackedCalloc(static_cast<size_t>(f->basePitch) * static_cast<size_t>(f->baseHeight), __FILE__, __LINE__));
      if (f->basePixels == nullptr) return fail("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
    }
  }
  if (!f->textureCache) {
    f->cacheBits = (typeFlags & 3) == 0 ? 1 : 8;
    f->slotCount = layout.slotCount;
    f->cacheWidth = layout.width;
    f->cacheHeight = layout.height;
    f->cellsPerColumn = layout.slotCount;
    f->cachePitch = (layout.cellSize * f->cacheBits + 7) / 8;
    const int64_t bytes = static_cast<int64_t>(f->cacheHeight) * f->cachePitch;
    f->cachePixels = bytes <= 0x7FFFFFFF ? static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(bytes), __FILE__,
                                                                                __LINE__))
                                         : nullptr;
    if (f->cachePixels == nullptr)
      return fail("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle\n");
  }

  // The record came zeroed: its code table (a megabyte, of which a font
  // touches the few pages its characters fall in) and its slots are left
  // untouched but for the slots' numbers.
  NumberGlyphSlots(f);
  f->charSet = charSet;
  f->deletedFlag = nullptr;
  return handle;
}

int DeleteFontHandle(ObjectHandle handle) {
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  if (f->font != nullptr) DeleteObject(f->font);
  TrackedFree(f->cachePixels);
  TrackedFree(f->inkPixels);
  // The part first: it shares the glyph graph's pixels.
  if (f->edgeGraph != -1) FreeGraph(f->edgeGraph);
  if (f->glyphGraph != -1) FreeGraph(f->glyphGraph);
  TrackedFree(f->basePixels);
  if (f->deletedFlag != nullptr) *f->deletedFlag = 1;
  FontHandleTable.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  TrackedFree(f);
  return 0;
}

int SetFontDeletedFlagPointer(ObjectHandle handle, int32_t* flag) {
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  f->deletedFlag = flag;
  if (flag != nullptr) *flag = 0;
  return 0;
}

int GetFontHandleInfo(char* face, int32_t* size, int32_t* thickness, ObjectHandle handle) {
  const FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  if (face != nullptr) StrCopy(face, sizeof f->face, f->face);
  if (size != nullptr) *size = f->size;
  if (thickness != nullptr) *thickness = f->thickness;
  return 0;
}

int GetFontHandleSize(ObjectHandle handle) {
  const FontHandleRecord* f = GetFontHandleRecord(handle);
  return f != nullptr ? f->size : -1;
}

ObjectHandle QueryDefaultFontHandle() { return FontModule.defaultFont; }

int SetFontSpacingToHandle(int32_t spacing, ObjectHandle handle) {
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  f->spacing = spacing;
  return 0;
}

int GetByteKindInString(const char* text, int32_t index, int32_t charSet) {
  if (text == nullptr || index < 0) return -1;
  int32_t i = 0;
  while (text[i] != '\0') {
    const bool lead = CheckDoubleByteLead(text + i, charSet) && text[i + 1] != '\0';
    if (lead) {
      if (index == i) return 1;
      if (index == i + 1) return 2;
      i += 2;
    } else {
      if (index == i) return 0;
      i += 1;
    }
  }
  return -1;
}

// ---------------------------------------------------------------- the glyph cache

int ResetGlyphCache(ObjectHandle handle) {
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  std::memset(f->codes, 0, sizeof f->codes);
  std::memset(f->slots, 0, sizeof f->slots);
  NumberGlyphSlots(f);
  return 0;
}

int CreateGlyphCacheGraphs(ObjectHandle handle) {
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr) return -1;
  if (!f->cacheGraphsLost) return 0;
  f->cacheGraphsLost = 0;
  const GraphCreateSettingsState saved = GraphCreateSettings;
  const bool antialiased = (f->type & FontTypeAntialiased) != 0;
  const bool edged = (f->type & FontTypeEdge) != 0;
  SetEmptyGraphAlphaFlag(antialiased ? 1 : 0);
  SetGraphTransColorFlag(antialiased ? 0 : 1);
  SetGraphCreateBitDepth(16);
  // A graph lost with the device is gone already; its handle is no longer live.
  if (f->edgeGraph != -1) FreeGraph(f->edgeGraph);
  if (f->glyphGraph != -1) FreeGraph(f->glyphGraph);
  f->glyphGraph = f->edgeGraph = -1;
  ObjectHandle glyph = CreateEmptyGraph(f->cacheWidth * (edged ? 2 : 1), f->cacheHeight);
  ObjectHandle edge = -1;
  if (glyph != -1 && edged) {
    edge = CreateGraphPart(f->cacheWidth, 0, f->cacheWidth, f->cacheHeight, glyph);
    if (edge == -1) {
      FreeGraph(glyph);
      glyph = -1;
    }
  }
  GraphCreateSettings.emptyGraphAlphaFlag = saved.emptyGraphAlphaFlag;
  GraphCreateSettings.transColorFlag = saved.transColorFlag;
  GraphCreateSettings.bitDepth = saved.bitDepth;
  if (glyph == -1) return -1;
  f->glyphGraph = glyph;
  f->edgeGraph = edge;
  SetGraphDeleteNotify(glyph, &f->cacheGraphsLost);
  FillGraphWithColor(glyph, 255, 255, 255, 0);
  ResetGlyphCache(handle);
  return 0;
}

GlyphSlot* CacheGlyphs(ObjectHandle handle, int32_t count, const uint8_t* records) {
  if (DrawSuppressed) return nullptr;
  FontHandleRecord* f = GetFontHandleRecord(handle);
  if (f == nullptr || records == nullptr || count <= 0) return nullptr;
  FontContext context;
  if (!context.Open(f->font)) FatalErrorExit("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
  TEXTMETRICA tm{};
  GetTextMetricsA(context.dc, &tm);
  const int32_t e = EdgeOf(f);
  const UINT format = (f->type & FontTypeAntialiased) != 0 ? GGO_GRAY4_BITMAP : GGO_BITMAP;
  const int32_t room = GlyphCellRoom(f);
  GlyphSlot* last = nullptr;

  for (int32_t i = 0; i < count; ++i) {
    const uint8_t first = records[i * 3], second = records[i * 3 + 1];
    const int32_t slotIndex = f->nextSlot;
    GlyphSlot& slot = f->slots[slotIndex];
    if (slot.inUse) {
      if (slot.codeEntry != nullptr) *slot.codeEntry = GlyphCodeEntry{};
      slot.inUse = 0;
      slot.codeEntry = nullptr;
    }
    ClearGlyphCell(f, slot.cellIndex);

    const UINT gdiCode = second != 0 ? static_cast<UINT>(first) * 256 + second : first;
    const bool blank = (first == 0x20 && second == 0) || (first == 0x81 && second == 0x40);
    GLYPHMETRICS gm{};
    const DWORD bytes = GetGlyphOutlineA(context.dc, gdiCode, format, &gm, 0, nullptr, &kIdentity);
    if (bytes == GDI_ERROR) {
      WriteErrorLog("GetGlyphOutline 関数が失敗しました\n");
      continue;
    }
    slot.originX = static_cast<int16_t>(gm.gmptGlyphOrigin.x);
    slot.topOffset = static_cast<int16_t>(tm.tmAscent - gm.gmptGlyphOrigin.y);
    slot.advance = gm.gmCellIncX;
    slot.width = static_cast<int16_t>(gm.gmBlackBoxX);
    slot.height = static_cast<int16_t>(gm.gmBlackBoxY);
    if (blank || bytes == 0 || gm.gmBlackBoxX == 0 || gm.gmBlackBoxY == 0) {
      // Not rasterised: only the advance counts; a glyph without pixels
      // keeps an empty cell.
      slot.width = slot.height = 0;
    } else {
      auto* buffer = static_cast<uint8_t*>(TrackedCalloc(bytes, __FILE__, __LINE__));
      if (buffer == nullptr) FatalErrorExit("アンチエイリアス文字取得用バッファの確保に失敗しました");
      if (GetGlyphOutlineA(context.dc, gdiCode, format, &gm, bytes, buffer, &kIdentity) == GDI_ERROR) {
        TrackedFree(buffer);
        continue;
      }
      const int32_t pitch = static_cast<int32_t>(bytes / gm.gmBlackBoxY) & ~3;
      const GlyphBitmap glyph = {buffer, static_cast<int32_t>(gm.gmBlackBoxX), static_cast<int32_t>(gm.gmBlackBoxY),
                                 pitch, format != GGO_BITMAP};
      if (f->textureCache)
        WriteTextureCacheGlyph(f, slot.cellIndex, glyph);
      else
        WriteMemoryCacheGlyph(f, slot.cellIndex, glyph);
      TrackedFree(buffer);
      // The box with its edge, within the cell.
      slot.width = static_cast<int16_t>(slot.width + 2 * e > room ? room : slot.width + 2 * e);
      slot.height = static_cast<int16_t>(slot.height + 2 * e > room ? room : slot.height + 2 * e);
    }
    slot.advance = static_cast<int16_t>(slot.advance + 2 * e);
    if (f->textureCache && !blank) TransferGlyphCell(f, slot);

    GlyphCodeEntry& entry = f->codes[first | second << 8];
    entry.cached = 1;
    entry.slot = &slot;
    slot.inUse = 1;
    slot.codeEntry = &entry;
    f->nextSlot = slotIndex + 1 >= f->slotCount ? 0 : slotIndex + 1;
    last = &slot;
  }
  context.Close();
  return last;
}

// ---------------------------------------------------------------- module

int ResetAllFontHandles() {
  WriteErrorLog("フォントの初期化を行います\n");
  PushLogIndent();
  // The live default font's settings, with the default spacing.
  const FontHandleRecord* live = GetFontHandleRecord(FontModule.defaultFont);
  FontSettings settings = live != nullptr ? SettingsOf(live) : FontModule.defaults;
  settings.spacing = FontModule.defaults.spacing;
  for (uint32_t slot = 0; slot < kMaxFontHandles; ++slot)
    if (FontHandleTable.records[slot] != nullptr) DeleteFontHandle(FontHandleTable.HandleAt(slot));
  FontModule.defaultFont = MakeDefaultFont(settings);
  PopLogIndent();
  WriteErrorLog("フォントの初期化は正常に終了しました\n");
  return 0;
}

int InitFontSystem() {
  FontHandleTable = FontHandleTableType{};
  FontModule.defaultFont = -1;
  FontModule.started = 1;
  SetDefaultSettings();
  ResetAllFontHandles();
  if (FontModule.defaultFont == -1 && PlatformMissingFontFile() != nullptr) {
    return WriteErrorLogFormat("フォントファイル %s を開けません", PlatformMissingFontFile());
  }
  return 0;
}

int EndFontSystem() {
  if (!FontModule.started) return 0;
  ResetAllFontHandles();
  DeleteFontHandle(FontModule.defaultFont);
  FontModule.defaultFont = -1;
  FontModule.started = 0;
  return 0;
}

int RestoreFontHandles() {
  for (uint32_t slot = 0; slot < kMaxFontHandles; ++slot) {
    const FontHandleRecord* f = FontHandleTable.records[slot];
    if (f == nullptr) continue;
    const FontSettings s = SettingsOf(f);
    const uint32_t check = f->checkNumber;
    DeleteFontHandle(FontHandleTable.HandleAt(slot));
    const ObjectHandle handle = MakeFont(s, static_cast<int32_t>(slot), static_cast<int32_t>(check));
    if (handle != -1) SetFontSpacingToHandle(s.spacing, handle);
  }
  return 0;
}

int SyncDefaultFont() {
  const FontSettings& d = FontModule.defaults;
  const FontHandleRecord* f = GetFontHandleRecord(FontModule.defaultFont);
  if (f != nullptr && std::strcmp(f->face, d.face) == 0 && f->type == d.type && f->size == d.size &&
      f->thickness == d.thickness && f->charSet == d.charSet && f->edgeSize == d.edgeSize && f->italic == d.italic)
    return 0;
  DeleteFontHandle(FontModule.defaultFont);
  FontModule.defaultFont = MakeDefaultFont(d);
  return 0;
}

int SetDefaultFontSizeThick(int32_t, int32_t size, int32_t thickness) {
  FontModule.defaults.size = size == -1 ? 16 : size;
  FontModule.defaults.thickness = thickness == -1 ? 6 : thickness;
  SyncDefaultFont();
  return 0;
}

void RememberDefaultFont() {
  const FontHandleRecord* f = GetFontHandleRecord(FontModule.defaultFont);
  Remembered.valid = f != nullptr ? 1 : 0;
  if (f == nullptr) return;
  StrCopy(Remembered.face, f->face);
  Remembered.size = f->size;
  Remembered.thickness = f->thickness;
}

void RecreateDefaultFont() {
  if (!Remembered.valid) return;
  Remembered.valid = 0;
  StrCopy(FontModule.defaults.face, Remembered.face);
  FontModule.defaults.size = Remembered.size;
  FontModule.defaults.thickness = Remembered.thickness;
  SyncDefaultFont();
}
