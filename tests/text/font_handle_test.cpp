#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "tests/text/font_fixture.h"

// The program's calls of calloc come here (the test program is linked with
// --wrap=calloc): while armed, the next request of FailingCallocBytes bytes
// and a block header (at most 256 bytes more) fails.
size_t FailingCallocBytes = 0;
extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void* __wrap_calloc(size_t count, size_t size) {
  if (FailingCallocBytes != 0 && count == 1 && size >= FailingCallocBytes &&
      size <= FailingCallocBytes + 256) {
    FailingCallocBytes = 0;
    return nullptr;
  }
  return __real_calloc(count, size);
}

namespace {

TEST_F(FontTest, TheHandleValidityRule) {
  const ObjectHandle font = Font(16, 0);
  const FontHandleRecord* record = GetFontHandleRecord(font);
  ASSERT_NE(record, nullptr);
  const uint32_t slot = static_cast<uint32_t>(font) & 0xFFFF;
  EXPECT_EQ(font, static_cast<ObjectHandle>(((record->checkNumber | 0x2000) << 16) | slot));
  const struct {
    ObjectHandle handle;
    bool valid;
    const char* what;
  } cases[] = {
      {font, true, "as made"},
      {-1, false, "none"},
      {static_cast<ObjectHandle>(font | 0x80000000u), false, "negative"},
      {(font & ~HandleKindBits) | HandleKindGraph, false, "another kind"},
      {(font & ~0xFFFF) | 40, false, "slot past the table"},
      {(font & ~0xFFFF) | 39, false, "a free slot"},
      {static_cast<ObjectHandle>(font ^ 0x00010000), false, "another check number"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidFontHandle(c.handle), c.valid ? 1 : 0) << c.what;
    EXPECT_EQ(GetFontHandleSize(c.handle), c.valid ? 16 : -1) << c.what;
    EXPECT_EQ(SetFontSpacingToHandle(1, c.handle), c.valid ? 0 : -1) << c.what;
    if (!c.valid) {
      EXPECT_EQ(DeleteFontHandle(c.handle), -1) << c.what;
    }
  }
  // The check counter is stamped, then advances, wrapping after 2047.
  FontHandleTable.checkCounter = 2047;
  const ObjectHandle last = Font(16, 0), first = Font(16, 0);
  EXPECT_EQ((last >> 16) & 0x7FF, 2047);
  EXPECT_EQ((first >> 16) & 0x7FF, 0);
  EXPECT_EQ(DeleteFontHandle(font), 0);
  EXPECT_EQ(IsValidFontHandle(font), 0);
  EXPECT_EQ(DeleteFontHandle(font), -1);
}

TEST_F(FontTest, CreationDefaultsAndLimits) {
  const ObjectHandle font = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, -1, -1);
  const FontHandleRecord* f = GetFontHandleRecord(font);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->size, 16);
  EXPECT_EQ(f->thickness, 6);
  EXPECT_EQ(f->type, 0u);
  EXPECT_EQ(f->charSet, LibraryCharSet);
  EXPECT_EQ(f->edgeSize, 1);
  EXPECT_EQ(f->italic, 0);
  EXPECT_EQ(f->spacing, 0);
  EXPECT_EQ(f->textureCache, 0);
  EXPECT_EQ(f->lineHeight, 16);
  char face[256] = "x";
  int32_t size = 0, thickness = 0;
  EXPECT_EQ(GetFontHandleInfo(face, &size, &thickness, font), 0);
  EXPECT_STREQ(face, "");
  EXPECT_EQ(size, 16);
  EXPECT_EQ(thickness, 6);
  EXPECT_EQ(GetFontHandleInfo(nullptr, nullptr, nullptr, font), 0);

  // A named face is kept; an edge above 1 makes the font edged.
  const ObjectHandle edged = CreateFontToHandle("ＭＳ Ｐゴシック", 20, 5, 0, -1, 2, -1, -1, -1);
  EXPECT_EQ(GetFontHandleInfo(face, nullptr, nullptr, edged), 0);
  EXPECT_STREQ(face, "ＭＳ Ｐゴシック");
  EXPECT_EQ(GetFontHandleRecord(edged)->type, FontTypeEdge);

  // The deleted flag.
  int32_t deleted = 7;
  EXPECT_EQ(SetFontDeletedFlagPointer(edged, &deleted), 0);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(DeleteFontHandle(edged), 0);
  EXPECT_EQ(deleted, 1);

  // A wanted slot must be free.
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, -1, font & 0xFFFF, -1), -1);

  // Forty handles in all, the default font among them.
  std::vector<ObjectHandle> fonts;
  while (FontHandleTable.count < kMaxFontHandles) fonts.push_back(Font(8, 0));
  const std::string before = Log();
  EXPECT_EQ(CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_NE(Log().find("作成できるフォントハンドル数 40 の限界を超えました\r\n", before.size()), std::string::npos);
}

TEST_F(FontTest, ARecordThatCannotBeAllocatedIsLogged) {
  // The record is a large zeroed block: from calloc, where the failure is
  // made, only while such blocks are not taken from the system directly.
  const int32_t ownBlocks = TrackedBlocksOfTheirOwn;
  TrackedBlocksOfTheirOwn = 0;
  FailingCallocBytes = sizeof(FontHandleRecord);
  EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, -1, -1, -1), -1);
  TrackedBlocksOfTheirOwn = ownBlocks;
  EXPECT_EQ(FailingCallocBytes, 0u);
  EXPECT_NE(Log().find("フォント管理用メモリ領域の確保に失敗しました\r\n"), std::string::npos);
}

TEST_F(FontTest, TheCacheIsSizedForTheGamesFonts) {
  // A worked case: IPA Gothic at 16 pixels is at most 15 pixels wide.
  const FontHandleRecord* f = GetFontHandleRecord(Font(16, 0));
  EXPECT_EQ(f->cellSize, 24);
  EXPECT_EQ(f->lineHeight, 16);
  EXPECT_EQ(f->slotCount, 327680 / (24 * 24));
  EXPECT_EQ(f->cacheBits, 1);
  EXPECT_EQ(f->cachePitch, 3);
  EXPECT_EQ(f->cacheHeight, f->slotCount * 24);

  for (int size = 16; size <= 40; size += 4)
    for (int thickness : {4, 5, 6})
      for (int type = 0; type <= 3; ++type) {
        const std::string what = std::to_string(size) + "/" + std::to_string(thickness) + "/" + std::to_string(type);
        const ObjectHandle font = Font(size, type, thickness);
        const FontHandleRecord* r = GetFontHandleRecord(font);
        ASSERT_NE(r, nullptr) << what;
        const TEXTMETRICA tm = GdiMetrics(size, thickness);
        const int e2 = (type & 1) ? 2 : 0;
        const int lineHeight = (tm.tmHeight + e2 + 1) / 2 * 2;
        const int cell = std::max((tm.tmMaxCharWidth + 2 + e2 + 7) / 8 * 8, lineHeight);
        EXPECT_EQ(r->lineHeight, lineHeight) << what;
        EXPECT_EQ(r->cellSize, cell) << what;
        EXPECT_EQ(r->slotCount, std::clamp(327680 / (cell * cell), 20, 2024)) << what;
        EXPECT_EQ(r->cacheBits, type == 0 ? 1 : 8) << what;
        EXPECT_EQ(r->cachePitch, (cell * r->cacheBits + 7) / 8) << what;
        EXPECT_EQ(r->cellsPerColumn, r->slotCount) << what;
        EXPECT_EQ(r->cacheHeight, r->slotCount * cell) << what;
        DeleteFontHandle(font);
      }

  // The texture cache: 512 x 512, grown until it holds ten cells, at most 2024 slots.
  const struct {
    int maxWidth, height;
    int cell, slots, width, textureHeight;
  } textures[] = {{15, 16, 24, 21 * 21, 512, 512},
                  {200, 200, 208, 16, 1024, 1024},   // 4 cells, then 8 at 1024 x 512, then 16
                  {300, 300, 304, 18, 2048, 1024},  // 1, 3, 9, then 18 cells
                  {4, 6, 8, 2024, 512, 512}};
  for (const auto& t : textures) {
    const GlyphCacheLayout l = ComputeGlyphCacheLayout(t.maxWidth, t.height, 0, 1, 1);
    EXPECT_EQ(l.cellSize, t.cell) << t.maxWidth;
    EXPECT_EQ(l.slotCount, t.slots) << t.maxWidth;
    EXPECT_EQ(l.width, t.width) << t.maxWidth;
    EXPECT_EQ(l.height, t.textureHeight) << t.maxWidth;
  }
}

TEST_F(FontTest, GlyphsOfEveryTypeAreFreeTypesBitmapsInTheirCells) {
  const struct {
    CharRecord record;
    uint32_t codePoint;
  } characters[] = {{Record('A'), 0x41},
                    {Record(0x82, 0xA0), 0x3042},  // hiragana a
                    {Record(0x8A, 0xBF), 0x6F22},  // a kanji
                    {Record(0xB1), 0xFF71},        // half-width katakana a
                    {Record(0xF0, 0x40), 0},       // lacking: the face's default glyph
                    {Record(0x85, 0x40), 0}};      // no character at all
  const struct {
    int size, type, thickness, edge;
  } fonts[] = {{16, 0, 4, -1}, {16, 1, 4, -1}, {16, 2, 4, -1}, {16, 3, 4, -1}, {32, 0, 6, -1}, {32, 1, 5, 2},
               {32, 2, 6, -1}, {32, 3, 4, 3},  {24, 1, 4, 4},  {24, 3, 6, 6}};
  for (const auto& sample : fonts) {
    const ObjectHandle font = Font(sample.size, sample.type, sample.thickness, sample.edge);
    const FontHandleRecord* f = GetFontHandleRecord(font);
    ASSERT_NE(f, nullptr);
    const int e = (f->type & FontTypeEdge) ? f->edgeSize : 0;
    FreeTypeReference reference(kGothicFace, sample.size, sample.thickness >= 6);
    const TEXTMETRICA tm = GdiMetrics(sample.size, sample.thickness);
    for (const auto& c : characters) {
      const std::string what = "size " + std::to_string(sample.size) + " type " + std::to_string(sample.type) + " edge " +
                               std::to_string(e) + " code " + std::to_string(c.record.bytes[0]) + "," +
                               std::to_string(c.record.bytes[1]);
      const GlyphSlot* slot = CacheGlyphs(font, 1, c.record.bytes);
      ASSERT_NE(slot, nullptr) << what;
      EXPECT_EQ(CachedSlot(font, c.record.bytes[0], c.record.bytes[1]), slot) << what;
      const ReferenceGlyph g = reference.Render(c.codePoint, sample.type >= 2 ? 16 : 0);
      EXPECT_EQ(slot->originX, g.left) << what;
      EXPECT_EQ(slot->topOffset, tm.tmAscent - g.top) << what;
      EXPECT_EQ(slot->advance, g.advance + 2 * e) << what;
      EXPECT_EQ(slot->width, g.width + 2 * e) << what;
      EXPECT_EQ(slot->height, g.height + 2 * e) << what;
      const std::vector<uint8_t> want =
          ExpectedMemoryCell(g, static_cast<uint32_t>(sample.type) | (e > 1 ? 1 : 0), e, f->cellSize, f->cellSize);
      const std::vector<uint8_t> got = MemoryCell(f, slot->cellIndex);
      EXPECT_EQ(got, want) << what << " " << FirstCellDifference(got, want, f->cellSize);
    }
    DeleteFontHandle(font);
  }
}

TEST_F(FontTest, BlanksTakeASlotWithoutPixels) {
  const ObjectHandle font = Font(24, 3);
  FreeTypeReference reference(kGothicFace, 24);
  for (const CharRecord& r : {Record(0x20), Record(0x81, 0x40)}) {
    const GlyphSlot* slot = CacheGlyphs(font, 1, r.bytes);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->inUse, 1);
    EXPECT_EQ(slot->width, 0);
    EXPECT_EQ(slot->height, 0);
    EXPECT_EQ(slot->advance, reference.Render(r.bytes[1] ? 0x3000 : 0x20, 16).advance + 2);
    const std::vector<uint8_t> cell = MemoryCell(GetFontHandleRecord(font), slot->cellIndex);
    EXPECT_EQ(std::count(cell.begin(), cell.end(), 0), static_cast<long>(cell.size()));
  }
  EXPECT_EQ(GetFontHandleRecord(font)->nextSlot, 2);
}

TEST_F(FontTest, TheOldestGlyphIsEvictedOnceEverySlotIsUsed) {
  // A font small enough for 2024 slots.
  const ObjectHandle font = Font(6, 0);
  const FontHandleRecord* f = GetFontHandleRecord(font);
  ASSERT_EQ(f->slotCount, 2024);
  std::vector<uint8_t> records;
  for (int lead = 0x88; lead <= 0x9F && records.size() < 2025 * 3; ++lead)
    for (int trail = 0x40; trail <= 0xFC && records.size() < 2025 * 3; ++trail)
      if (trail != 0x7F) records.insert(records.end(), {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail), 0});
  ASSERT_NE(CacheGlyphs(font, 2024, records.data()), nullptr);
  EXPECT_NE(CachedSlot(font, 0x88, 0x40), nullptr);
  EXPECT_EQ(f->nextSlot, 0);
  // The 2025th takes the first slot; the first character is no longer cached.
  const GlyphSlot* newest = CacheGlyphs(font, 1, &records[2024 * 3]);
  EXPECT_EQ(newest->cellIndex, 0);
  EXPECT_EQ(CachedSlot(font, 0x88, 0x40), nullptr);
  EXPECT_EQ(CachedSlot(font, records[2024 * 3], records[2024 * 3 + 1]), newest);
  // Cached again, it takes the next slot and evicts the second.
  const GlyphSlot* again = CacheGlyphs(font, 1, records.data());
  EXPECT_EQ(again->cellIndex, 1);
  EXPECT_EQ(CachedSlot(font, 0x88, 0x41), nullptr);
  EXPECT_EQ(f->slots[2024].cellIndex, -1);  // the terminator after the last slot
}

TEST_F(FontTest, ResetAndRestoreKeepHandlesAndGlyphs) {
  const ObjectHandle plain = Font(20, 1, 5, 2);
  const ObjectHandle smooth = Font(28, 3);
  SetFontSpacingToHandle(3, smooth);
  const CharRecord text[] = {Record(0x82, 0xA0), Record('Q'), Record(0xB6)};
  auto cells = [&](ObjectHandle font) {
    std::vector<std::vector<uint8_t>> out;
    for (const CharRecord& r : text) {
      const GlyphSlot* slot = CacheGlyphs(font, 1, r.bytes);
      out.push_back(MemoryCell(GetFontHandleRecord(font), slot->cellIndex));
      out.push_back({static_cast<uint8_t>(slot->width), static_cast<uint8_t>(slot->height),
                     static_cast<uint8_t>(slot->advance), static_cast<uint8_t>(slot->topOffset)});
    }
    return out;
  };
  const auto plainCells = cells(plain), smoothCells = cells(smooth);

  EXPECT_EQ(ResetGlyphCache(smooth), 0);
  EXPECT_EQ(CachedSlot(smooth, 'Q'), nullptr);
  EXPECT_EQ(GetFontHandleRecord(smooth)->nextSlot, 0);
  EXPECT_EQ(cells(smooth), smoothCells);

  // After a device restore every handle is made again in place.
  const ObjectHandle defaultFont = QueryDefaultFontHandle();
  EXPECT_EQ(RestoreFontHandles(), 0);
  for (ObjectHandle h : {plain, smooth, defaultFont}) EXPECT_EQ(IsValidFontHandle(h), 1);
  EXPECT_EQ(CachedSlot(plain, 'Q'), nullptr);  // the caches start empty
  EXPECT_EQ(GetFontHandleRecord(smooth)->spacing, 3);
  EXPECT_EQ(GetFontHandleRecord(plain)->edgeSize, 2);
  EXPECT_EQ(cells(plain), plainCells);
  EXPECT_EQ(cells(smooth), smoothCells);

  // Resetting every font leaves only the default font, with its settings.
  SetDefaultFontSizeThick(0, 24, 4);
  EXPECT_EQ(GetFontHandleSize(QueryDefaultFontHandle()), 24);
  EXPECT_EQ(ResetAllFontHandles(), 0);
  EXPECT_EQ(IsValidFontHandle(plain), 0);
  EXPECT_EQ(IsValidFontHandle(smooth), 0);
  EXPECT_EQ(FontHandleTable.count, 1u);
  EXPECT_EQ(GetFontHandleSize(QueryDefaultFontHandle()), 24);
  const std::string log = Log();
  EXPECT_NE(log.find("フォントの初期化を行います\r\n"), std::string::npos);
  EXPECT_NE(log.find("フォントの初期化は正常に終了しました\r\n"), std::string::npos);
}

TEST_F(FontTest, TheDefaultFontFollowsItsSettings) {
  const ObjectHandle first = QueryDefaultFontHandle();
  EXPECT_EQ(GetFontHandleSize(first), 16);
  EXPECT_EQ(SyncDefaultFont(), 0);
  EXPECT_EQ(QueryDefaultFontHandle(), first);  // unchanged settings keep the font
  EXPECT_EQ(SetDefaultFontSizeThick(123, -1, 4), 0);
  const ObjectHandle second = QueryDefaultFontHandle();
  EXPECT_EQ(IsValidFontHandle(first), 0);
  int32_t size = 0, thickness = 0;
  GetFontHandleInfo(nullptr, &size, &thickness, second);
  EXPECT_EQ(size, 16);
  EXPECT_EQ(thickness, 4);
  // A default font deleted by hand is made again.
  DeleteFontHandle(second);
  SyncDefaultFont();
  EXPECT_EQ(IsValidFontHandle(QueryDefaultFontHandle()), 1);
}

TEST(GlyphByteKindTest, LeadTrailAndSingleBytes) {
  const char* text = "aあｱ";  // 'a', 0x82 0xA0, 0xB1
  const struct {
    int32_t index;
    int kind;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {4, -1}, {-1, -1}};
  for (const auto& c : cases) EXPECT_EQ(GetByteKindInString(text, c.index, CharSetShiftJis), c.kind) << c.index;
  EXPECT_EQ(GetByteKindInString("", 0, CharSetShiftJis), -1);
  // The other double-byte sets take any byte with the high bit as a lead byte.
  EXPECT_EQ(GetByteKindInString("\xB1\x41", 0, CharSetKorean), 1);
  EXPECT_EQ(GetByteKindInString("\xB1\x41", 1, CharSetShiftJis), 0);
}

// ---------------------------------------------------------------- faults

TEST_F(FontTest, AGlyphLargerThanItsCellIsCutToIt) {
  // Sheared glyphs stick out of their advance: a sheared full-width slash
  // at 48 pixels is wider than its cell.
  FreeTypeReference reference(kGothicFace, 48, true, true);
  for (int type : {0, 2}) {
    const ObjectHandle font = Font(48, type, 6, -1, 1);
    FontHandleRecord* f = GetFontHandleRecord(font);
    const ReferenceGlyph g = reference.Render(0xFF0F, type >= 2 ? 16 : 0);
    ASSERT_GT(g.width, f->cellSize) << type;
    // In the last cell, nothing may go past the cache's end.
    f->nextSlot = f->slotCount - 1;
    const GlyphSlot* slot = CacheGlyphs(font, 1, Record(0x81, 0x5E).bytes);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->cellIndex, f->slotCount - 1);
    EXPECT_EQ(slot->width, f->cellSize) << type;
    EXPECT_EQ(MemoryCell(f, slot->cellIndex), ExpectedMemoryCell(g, static_cast<uint32_t>(type), 0, f->cellSize, f->cellSize))
        << type;
    // The cell before it is untouched.
    const std::vector<uint8_t> before = MemoryCell(f, slot->cellIndex - 1);
    EXPECT_EQ(std::count(before.begin(), before.end(), 0), static_cast<long>(before.size())) << type;
    DeleteFontHandle(font);
  }
  // In the texture cache a glyph sits one pixel in: it is cut one pixel
  // before the next cell.
  ForceTextureGlyphCache = 1;
  const ObjectHandle font = Font(48, 2, 6, -1, 1);
  FontHandleRecord* f = GetFontHandleRecord(font);
  const GlyphSlot* slot = CacheGlyphs(font, 1, Record(0x81, 0x5E).bytes);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->width, f->cellSize - 1);
  for (int y = 0; y < f->cellSize; ++y) {
    uint16_t next = 0;
    std::memcpy(&next, f->basePixels + y * f->basePitch + f->cellSize * 2, 2);  // the cell to the right
    ASSERT_EQ(next, 0) << y;
  }
}

TEST_F(FontTest, GlyphsWithoutPixelsLeaveTheirCellEmpty) {
  for (int type = 0; type <= 3; ++type)
    for (int texture : {0, 1}) {
      ForceTextureGlyphCache = texture;
      const ObjectHandle font = Font(16, type);
      FontHandleRecord* f = GetFontHandleRecord(font);
      // No bitmap at all: nothing is read or written.
      for (const GlyphBitmap& empty : {GlyphBitmap{nullptr, 0, 5, 0, type >= 2}, GlyphBitmap{nullptr, 7, 0, 8, type >= 2}}) {
        if (texture)
          WriteTextureCacheGlyph(f, 0, empty);
        else
          WriteMemoryCacheGlyph(f, 0, empty);
      }
      if (!texture) {
        const std::vector<uint8_t> cell = MemoryCell(f, 0);
        EXPECT_EQ(std::count(cell.begin(), cell.end(), 0), static_cast<long>(cell.size())) << type;
      } else {
        for (int y = 0; y < f->baseHeight; ++y)
          for (int x = 0; x < f->basePitch; ++x) ASSERT_EQ(f->basePixels[y * f->basePitch + x], 0) << type;
      }
      DeleteFontHandle(font);
    }
}

TEST_F(FontTest, AFailedAllocationLeavesTheTableAsItWas) {
  const ObjectHandle kept = Font(16, 0);
  const FontHandleTableType before = FontHandleTable;
  const int32_t blocks = TrackedBlockCount();
  const std::string log = Log();
  // A 12000-pixel anti-aliased font needs a cache of more than 2 GB.
  EXPECT_EQ(CreateFontToHandle(nullptr, 12000, 4, 2, -1, -1, -1, -1, -1), -1);
  EXPECT_EQ(std::memcmp(&FontHandleTable, &before, sizeof before), 0);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  EXPECT_NE(Log().find("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle", log.size()),
            std::string::npos);
  EXPECT_EQ(IsValidFontHandle(kept), 1);
  EXPECT_EQ(PlatformLiveFontCount(), static_cast<int>(FontHandleTable.count));
}

TEST_F(FontTest, WithoutItsFontFilesGraphicsDoNotStart) {
  StopGraphics();
  PlatformSetFontDirectory("/nonexistent/fonts");
  ScreenWidth = 64;
  ScreenHeight = 48;
  EXPECT_EQ(InitGraphicsSystem(), -1);
  PlatformSetFontDirectory(nullptr);
  EXPECT_EQ(GraphicsInitialised, 0);
  EXPECT_NE(Log().find("フォントファイル /nonexistent/fonts/ipag.ttf を開けません\r\n"), std::string::npos);
  EXPECT_NE(Log().find("フォントの作成に失敗しました\r\n"), std::string::npos);
  EXPECT_EQ(FontHandleTable.count, 0u);
  StartGraphics(16);
}

// ---------------------------------------------------------------- the texture cache

// The texture cache runs on the software renderer too when forced: its
// graphs are then memory graphs.
TEST_F(FontTest, TheTextureCacheHoldsWhiteGlyphsWithAlpha) {
  ForceTextureGlyphCache = 1;
  for (int type = 0; type <= 3; ++type) {
    const ObjectHandle font = Font(24, type);
    FontHandleRecord* f = GetFontHandleRecord(font);
    ASSERT_EQ(f->textureCache, 1);
    ASSERT_NE(f->glyphGraph, -1);
    EXPECT_EQ(f->cacheWidth, 512);
    EXPECT_EQ(f->baseWidth, 512 * ((type & 1) ? 2 : 1));
    EXPECT_EQ(f->cacheFormat.colorBits, 16);
    EXPECT_EQ(f->cacheFormat.alphaWidth, type >= 2 ? 4 : 1);
    EXPECT_EQ((f->edgeGraph != -1), (type & 1) != 0);
    FreeTypeReference reference(kGothicFace, 24);
    const ReferenceGlyph g = reference.Render(0x3042, type >= 2 ? 16 : 0);
    const uint8_t records[] = {'A', 0, 0, 0x82, 0xA0, 0};
    const GlyphSlot* slot = CacheGlyphs(font, 2, records);
    ASSERT_NE(slot, nullptr);
    const int e = type & 1;
    int32_t cx = 0, cy = 0;
    GlyphCellOrigin(f, slot->cellIndex, &cx, &cy);
    EXPECT_EQ(cx, 1);  // the second cell (cells run down the columns), one pixel in
    EXPECT_EQ(cy, f->cellSize + 1);
    const GraphRecord* graph = GetGraphRecordChecked(f->glyphGraph);
    ASSERT_NE(graph, nullptr);
    int mismatches = 0;
    for (int y = 0; y < g.height + 2 * e; ++y)
      for (int x = 0; x < g.width + 2 * e; ++x) {
        const int gx = x - e, gy = y - e;
        const int level = gx >= 0 && gy >= 0 && gx < g.width && gy < g.height
                              ? (type >= 2 ? g.At(gx, gy) : g.At(gx, gy) * 16)
                              : 0;
        // White with alpha: level - 1 in four bits; plain pixels opaque.
        uint32_t want = type >= 2 ? (level > 0 ? 0x0FFFu | static_cast<uint32_t>(level - 1) << 12 : 0x0FFFu)
                                  : (level > 0 ? 0xFFFFu : 0u);
        uint32_t got = 0;
        std::memcpy(&got, f->basePixels + (cy + y) * f->basePitch + (cx + x) * 2, 2);
        if (got != want && mismatches++ < 3) ADD_FAILURE() << "type " << type << " at " << x << "," << y;
        // The cache graph holds the same alpha.
        const Rgba c = MemImgColour(&graph->image, cx + x, cy + y);
        if (type >= 2 && level > 0 && c.a != (level - 1) * 17 && mismatches++ < 3)
          ADD_FAILURE() << "graph alpha, type " << type << " at " << x << "," << y << ": " << c.a;
      }
    DeleteFontHandle(font);
  }
}

TEST_F(FontTest, WithoutCacheGraphsTheMemoryCacheIsTaken) {
  // With Direct3D in use but no textures to be had, the font falls back.
  const std::string log = Log();
  HardwareActive = 1;
  const ObjectHandle font = Font(16, 2);
  HardwareActive = 0;
  const FontHandleRecord* f = GetFontHandleRecord(font);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->textureCache, 0);
  EXPECT_EQ(f->glyphGraph, -1);
  EXPECT_EQ(f->cacheBits, 8);
  EXPECT_EQ(f->slotCount, 327680 / (f->cellSize * f->cellSize));
  EXPECT_NE(Log().find("テクスチャ文字キャッシュの作成に失敗しました", log.size()), std::string::npos);
}

}  // namespace

namespace {

TEST_F(FontTest, AScreenModeChangeKeepsTheDefaultFontsSizeAndThickness) {
  SetDefaultFontSizeThick(0, 24, 4);
  const ObjectHandle game = Font(20, 2);
  EXPECT_EQ(ApplyScreenModeChange(64, 48, 32, 1, -1), 0);
  EXPECT_EQ(ScreenColorBits, 32);
  int32_t size = 0, thickness = 0;
  EXPECT_EQ(GetFontHandleInfo(nullptr, &size, &thickness, QueryDefaultFontHandle()), 0);
  EXPECT_EQ(size, 24);
  EXPECT_EQ(thickness, 4);
  EXPECT_EQ(IsValidFontHandle(game), 0);  // graphics ended: every other font is gone
}

}  // namespace
