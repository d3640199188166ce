// GDI fonts over FreeType: logical fonts, their text metrics, glyph bitmaps
// and text extents, selected into the memory contexts of gdi.h.
//
// Every face name maps to Debian's IPA Gothic fonts: a proportional name
// (one holding a full-width or ASCII "P" before its family, such as
// "ＭＳ Ｐゴシック" or "MS PGothic", or "UI Gothic") to the proportional face
// ipagp.ttf, every other name (and none) to the fixed face ipag.ttf.
//
// Sizes follow GDI's rules: a positive height is the cell height (the
// text-metric height, ascent plus descent, the face's Windows ascent and
// descent scaled to it), a negative one the em height, 0 the default of 16
// pixels. A weight of 600 or more on the regular face is emboldened (one
// pixel wider strokes and advances), italic is a shear of the outline.
// Character codes are in the code page of the font's character set (128 and
// the ANSI and default sets: 932; 129: 949; 136: 950; 134: 936), a double-byte
// character given as lead byte x 256 + trail byte. A code that does not
// convert, or whose character the face lacks, gives the face's default glyph.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/win32/win32_window.h"

struct HFONT__;
typedef HFONT__* HFONT;

// Character sets.
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD HANGUL_CHARSET = 129;
constexpr DWORD GB2312_CHARSET = 134;
constexpr DWORD CHINESEBIG5_CHARSET = 136;

constexpr int FW_NORMAL = 400;
constexpr int FW_SEMIBOLD = 600;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD FIXED_PITCH = 1;

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

struct GLYPHMETRICS {
  UINT gmBlackBoxX;
  UINT gmBlackBoxY;
  POINT gmptGlyphOrigin;  // the black box's left and top, from the pen on the baseline (y up)
  short gmCellIncX;
  short gmCellIncY;
};

struct FIXED {
  WORD fract;
  short value;
};

struct MAT2 {
  FIXED eM11;
  FIXED eM12;
  FIXED eM21;
  FIXED eM22;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

// GetGlyphOutlineA formats. GGO_BITMAP: one bit a pixel, most significant
// first. The grey formats: one byte a pixel, 0 to 4, 0 to 16 or 0 to 64.
// Rows of every format are padded to 4 bytes.
constexpr UINT GGO_METRICS = 0;
constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_GRAY2_BITMAP = 4;
constexpr UINT GGO_GRAY4_BITMAP = 5;
constexpr UINT GGO_GRAY8_BITMAP = 6;
constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;

// Null when the font file of the face cannot be opened
// (PlatformMissingFontFile names it).
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
// Selects the font into a memory context and returns the font selected
// before (a context starts with its own default font, which can be selected
// back but not deleted); null for a context or font that is not live. A font
// deleted while selected lives on until it is selected out or its context is
// deleted; selecting it back is refused.
HFONT SelectObject(HDC dc, HFONT font);
BOOL DeleteObject(HFONT font);
// The metrics of the font selected in the context; FALSE without one.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// The glyph of a character of the selected font, through the transform
// (which must be given). With a buffer of size 0 (or null) the size the
// bitmap needs; else the bitmap, and its size. A blank glyph answers a
// 1 x 1 box with no pixels (size 0). GDI_ERROR without a font, for another
// format, or for a buffer too small for the bitmap.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                       void* buffer, const MAT2* transform);
// The advance of count bytes of text (double-byte characters whole) and
// the text-metric height.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);

// ---------------------------------------------------------------- host and tests

// The folder of the font files (null: Debian's IPA Gothic folder).
void PlatformSetFontDirectory(const char* directory);
// The path of the font file the last failed CreateFontA could not open,
// or null.
const char* PlatformMissingFontFile();
// The font file a face name maps to (for tests and benchmarks that render
// the same glyphs themselves), and the pixel size (26.6 fixed point) that
// FreeType is given for a height.
const char* PlatformFontFileForFace(LPCSTR faceName);
long PlatformFontCharSize26_6(LPCSTR faceName, int height);
// The number of live fonts.
int PlatformLiveFontCount();
// Code-page converters open for the fonts' characters; the last font's
// deletion closes them.
int PlatformOpenCodeConverterCount();
