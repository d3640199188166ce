// Font handles: one GDI font at one size, thickness and style, with its own
// glyph cache of the characters drawn with it so far. The cache is a grid of
// square cells, either in memory (the software renderer reads it) or in a
// cache graph of 16-bit texture pixels (Direct3D), rendered from the font's
// glyph outlines plain, anti-aliased, and with or without an edge. The
// library keeps one default font beside the handles the game makes.
#pragma once

#include <cstdint>

#include "library/graphics/color_format.h"
#include "library/graphics/object_handle.h"
#include "platform/gdi/gdi_font.h"

// Type flags of a font.
constexpr uint32_t FontTypeEdge = 1;
constexpr uint32_t FontTypeAntialiased = 2;

constexpr uint32_t kMaxFontHandles = 40;
constexpr int32_t kMinGlyphSlots = 20;
constexpr int32_t kMaxGlyphSlots = 2024;
// The bytes of the memory cache a font is sized for.
constexpr int64_t kMemoryGlyphCacheBytes = 327680;
constexpr int32_t kTextureGlyphCacheSide = 512;
constexpr int32_t kMinTextureGlyphSlots = 10;

struct GlyphCodeEntry;

// Inked glyphs: the software path keeps the glyphs of an edged anti-aliased
// font that it has coloured for a text and edge colour and a screen depth,
// for the next draws in those colours. Entry e holds one of the slots whose
// number is e modulo the entry count (a power of two).
constexpr int32_t kMaxGlyphInks = 64;
struct GlyphInkEntry {
  int32_t slot;  // the slot inked
  int32_t bits;  // the screen depth it was inked for (16, 32); 0 while the entry holds nothing
  uint32_t text, edge;
};

// One cache cell and the metrics of the glyph in it.
struct GlyphSlot {
  uint8_t inUse;
  int16_t originX;    // the glyph's left bearing
  int16_t topOffset;  // the bitmap's top below the line's top
  int16_t advance;    // with twice the edge size
  int32_t cellIndex;  // the slot's own number; -1 in the record after the last slot
  int16_t width;      // the bitmap, with twice the edge size, within the cell
  int16_t height;
  GlyphCodeEntry* codeEntry;
};

struct GlyphCodeEntry {
  uint32_t cached;
  GlyphSlot* slot;
};

struct FontHandleRecord {
  uint32_t checkNumber;
  int32_t* deletedFlag;  // set to 1 when the font is deleted, or null
  GlyphSlot slots[kMaxGlyphSlots + 1];
  // Indexed by the character code: c for a single-byte character, lead +
  // 256 x trail for a double-byte one.
  GlyphCodeEntry codes[65536];
  int32_t nextSlot;  // taken in turn, wrapping after the last
  int32_t slotCount;
  uint8_t* cachePixels;  // memory cache
  int32_t cachePitch;
  int32_t cacheBits;  // 1 (plain) or 8
  char face[256];     // empty: the default face
  int32_t thickness;  // the GDI weight is thickness x 100
  int32_t size;       // the character height given to GDI
  int32_t lineHeight;
  int32_t italic;
  int32_t spacing;   // pixels added to every advance
  int32_t cellSize;  // side of a square cell
  HFONT font;
  uint32_t type;     // FontTypeEdge | FontTypeAntialiased
  int32_t charSet;   // a LibraryCharSet value
  int32_t edgeSize;  // pixels
  int32_t cacheWidth, cacheHeight;
  int32_t cellsPerColumn;
  // The texture cache: the glyph graph (twice the cache width for an edged
  // font) and the edge graph, its right half; -1 when none.
  ObjectHandle glyphGraph;
  ObjectHandle edgeGraph;
  int32_t cacheGraphsLost;  // 1 while the cache graphs must be (re)made
  ColorFormat cacheFormat;
  // The image of the texture cache in which glyphs are rendered before they
  // go into the cache graphs.
  int32_t baseWidth, baseHeight, basePitch;
  uint8_t* basePixels;
  int32_t textureCache;  // 1 texture cache, 0 memory cache
  // The inked glyphs: inkCount entries of kInkBytesPerPixel x cellSize x
  // cellSize bytes (made by the text draw when first needed; null before).
  uint8_t* inkPixels;
  int32_t inkCount;
  GlyphInkEntry inks[kMaxGlyphInks];
};

// An inked glyph's pixels, cellSize a row: its cell's colours (RGB565 on
// 16-bit screens, work-image pixels with the alpha in byte 3 on 32-bit
// ones), then their weights (2 x alpha, 512 for alpha 255), two bytes each.
constexpr int32_t kInkBytesPerPixel = 6;

using FontHandleTableType = HandleTable<FontHandleRecord, HandleKindFont, kMaxFontHandles>;
extern FontHandleTableType FontHandleTable;

// The settings a font is made from (the default font's, or a font's own
// when it is made again).
struct FontSettings {
  char face[256];
  int32_t size;
  int32_t thickness;
  uint32_t type;
  int32_t charSet;
  int32_t edgeSize;
  int32_t italic;
  int32_t spacing;
};

struct FontModuleState {
  ObjectHandle defaultFont;  // -1 none
  FontSettings defaults;
  int32_t started;  // between InitFontSystem and EndFontSystem
};
extern FontModuleState FontModule;

// Tests only: fonts take the texture cache even without Direct3D (its cache
// graphs are then memory graphs).
extern int32_t ForceTextureGlyphCache;

// Every argument but the face may be -1 for its default: size 16, thickness
// 6, type 0, character set LibraryCharSet, edge size 1 (above 1 it makes the
// font edged); a null or empty face is "ＭＳ ゴシック". wantedSlot and
// wantedCheck (-1 none) re-create a handle in place. A handle, or -1.
ObjectHandle CreateFontToHandle(const char* face, int32_t size, int32_t thickness, int32_t type, int32_t charSet,
                                int32_t edgeSize, int32_t italic, int32_t wantedSlot, int32_t wantedCheck);
int DeleteFontHandle(ObjectHandle handle);
// flag is set to 0 now and to 1 when the font is deleted.
int SetFontDeletedFlagPointer(ObjectHandle handle, int32_t* flag);
// Copies the face (empty for the default face; 256 bytes), the size and the
// thickness; null pointers are skipped.
int GetFontHandleInfo(char* face, int32_t* size, int32_t* thickness, ObjectHandle handle);
int GetFontHandleSize(ObjectHandle handle);
int IsValidFontHandle(ObjectHandle handle);
FontHandleRecord* GetFontHandleRecord(ObjectHandle handle);
ObjectHandle QueryDefaultFontHandle();
int SetFontSpacingToHandle(int32_t spacing, ObjectHandle handle);

// 0 single-byte character at index, 1 lead byte, 2 trail byte; -1 for an
// empty string or an index at or past its end.
int GetByteKindInString(const char* text, int32_t index, int32_t charSet);

// Renders count characters given as 3-byte records (first byte, second
// byte or 0, 0) into the next slots. The last slot filled, or null when
// nothing was done.
GlyphSlot* CacheGlyphs(ObjectHandle handle, int32_t count, const uint8_t* records);
// Empties the cache.
int ResetGlyphCache(ObjectHandle handle);
// Makes the texture cache's graphs while they are marked lost (and empties
// the cache); 0 at once otherwise.
int CreateGlyphCacheGraphs(ObjectHandle handle);
// The cache's geometry: the cell size and line height from the text
// metrics, and the slot count and cache image size of the chosen cache.
struct GlyphCacheLayout {
  int32_t cellSize, lineHeight, slotCount, width, height;
};
GlyphCacheLayout ComputeGlyphCacheLayout(int32_t maxCharWidth, int32_t textHeight, uint32_t type, int32_t edgeSize,
                                         int32_t textureCache);
// The cell's top-left pixel in the cache image.
void GlyphCellOrigin(const FontHandleRecord* font, int32_t cellIndex, int32_t* x, int32_t* y);

// Graphics start-up: the module zeroed and the default font made. -1 when
// no font can be made because a font file is missing (logged).
int InitFontSystem();
// Every font deleted; nothing when the module has not started.
int EndFontSystem();
// Deletes every font and makes the default font again.
int ResetAllFontHandles();
// After the Direct3D device was restored: every font made again in its
// slot with its check number, so its handle stays valid.
int RestoreFontHandles();
// Makes the default font again when it differs from the settings.
int SyncDefaultFont();
int SetDefaultFontSizeThick(int32_t ignored, int32_t size, int32_t thickness);
// A screen mode change keeps the default font's face, size and thickness.
void RememberDefaultFont();
void RecreateDefaultFont();
