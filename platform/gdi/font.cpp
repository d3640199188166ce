// GDI fonts over FreeType (see gdi_font.h).
//
// A glyph is loaded hinted from its outline (embedded bitmaps are not used),
// for the monochrome target in GGO_BITMAP and the normal target otherwise;
// an emboldened font's outline is widened by one pixel
// (FT_Outline_EmboldenXY with 64, 0) and an italic one sheared by
// FT_Outline_Transform with {1, 0x366A / 65536, 0, 1}, in that order, before
// the transform given and the rendering. Grey levels are FreeType's coverage
// c (0 to 255) scaled to n levels as (c x n + 127) / 255.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <iconv.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/dc_font.h"
#include "platform/gdi/gdi_font.h"
#include "platform/win32/sjis.h"

namespace {

constexpr const char* kDefaultFontDirectory = "/usr/share/fonts/opentype/ipafont-gothic";
constexpr const char* kFixedFile = "ipag.ttf";
constexpr const char* kProportionalFile = "ipagp.ttf";
constexpr FT_Fixed kItalicShear = 0x366A;

std::mutex& FontMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return library;
}

std::string& FontDirectory() {
  static std::string* directory = new std::string(kDefaultFontDirectory);
  return *directory;
}

std::string& MissingFile() {
  static std::string* path = new std::string();
  return *path;
}

// One opened font file; faces stay open for the life of the process.
struct FaceFile {
  FT_Face face = nullptr;
  int32_t winAscent = 0, winDescent = 0;  // font units
  int32_t averageWidth = 0;
};

FaceFile* OpenFaceFile(const std::string& path) {
  static std::map<std::string, FaceFile*>* files = new std::map<std::string, FaceFile*>();
  auto found = files->find(path);
  if (found != files->end()) return found->second;
  FT_Face face = nullptr;
  if (Library() == nullptr || FT_New_Face(Library(), path.c_str(), 0, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto* file = new FaceFile;
  file->face = face;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    file->winAscent = os2->usWinAscent;
    file->winDescent = os2->usWinDescent;
    file->averageWidth = os2->xAvgCharWidth;
  } else {
    file->winAscent = face->ascender;
    file->winDescent = -face->descender;
    file->averageWidth = face->max_advance_width / 2;
  }
  if (file->winAscent + file->winDescent <= 0) {
    file->winAscent = face->units_per_EM;
    file->winDescent = 0;
  }
  (*files)[path] = file;
  return file;
}

// Compared as UTF-8 (the program's own literals are Shift-JIS).
bool Contains(const std::string& utf8, const char8_t* part) {
  return utf8.find(reinterpret_cast<const char*>(part)) != std::string::npos;
}

bool IsProportionalName(LPCSTR faceName) {
  if (faceName == nullptr) return false;
  std::string name;
  SjisToUtf8(faceName, name);
  for (const char8_t* part : {u8"Ｐ", u8"PGothic", u8"PMincho", u8"Pゴシック", u8"P明朝", u8"UI Gothic"})
    if (Contains(name, part)) return true;
  return false;
}

std::string FontPath(LPCSTR faceName) {
  return FontDirectory() + "/" + (IsProportionalName(faceName) ? kProportionalFile : kFixedFile);
}

// The em height, 26.6 fixed point, and the cell height of a CreateFontA height.
void ScaleFor(const FaceFile& file, int height, long* em26_6, int32_t* cell) {
  const int64_t units = file.winAscent + file.winDescent;
  const int64_t upem = file.face->units_per_EM;
  if (height == 0) height = 16;
  if (height > 0) {
    *cell = height;
    *em26_6 = static_cast<long>((static_cast<int64_t>(height) * 64 * upem + units / 2) / units);
  } else {
    const int64_t em = -static_cast<int64_t>(height);
    *em26_6 = static_cast<long>(em * 64);
    *cell = static_cast<int32_t>((em * units + upem / 2) / upem);
  }
  if (*em26_6 < 64) *em26_6 = 64;
}

int32_t Scaled(int64_t units, long em26_6, int64_t upem) {
  return static_cast<int32_t>((units * em26_6 + upem * 32) / (upem * 64));
}

// ---------------------------------------------------------------- code pages

int CodePageOf(DWORD charSet) {
  switch (charSet) {
    case HANGUL_CHARSET:
      return 949;
    case CHINESEBIG5_CHARSET:
      return 950;
    case GB2312_CHARSET:
      return 936;
    default:
      return 932;
  }
}

constexpr uint32_t kUnknown = 0xFFFFFFFFu;
constexpr uint32_t kNoCharacter = 0xFFFFFFFEu;

// The characters of one code page as far as they were asked for, and the
// converter that answers the others (open while fonts exist).
struct CodeTable {
  iconv_t converter = reinterpret_cast<iconv_t>(-1);
  std::vector<uint32_t> characters = std::vector<uint32_t>(65536, kUnknown);
};

std::unordered_map<int, CodeTable>& CodeTables() {
  static auto* tables = new std::unordered_map<int, CodeTable>();
  return *tables;
}

// Closes the converters once the last font is gone (the characters stay
// remembered; a later font opens its converter again).
void CloseCodeConverters() {
  for (auto& [codePage, table] : CodeTables()) {
    if (table.converter != reinterpret_cast<iconv_t>(-1)) iconv_close(table.converter);
    table.converter = reinterpret_cast<iconv_t>(-1);
  }
}

// The character of a code of the code page, or kNoCharacter; remembered.
uint32_t CodeToCharacter(int codePage, UINT code) {
  if (code > 0xFFFF) return kNoCharacter;
  CodeTable& table = CodeTables()[codePage];
  uint32_t& memo = table.characters[code];
  if (memo != kUnknown) return memo;
  memo = kNoCharacter;
  if (table.converter == reinterpret_cast<iconv_t>(-1)) {
    const std::string name = "CP" + std::to_string(codePage);
    table.converter = iconv_open("UTF-32LE", name.c_str());
    if (table.converter == reinterpret_cast<iconv_t>(-1)) return memo;
  }
  char in[2];
  size_t inLeft = 0;
  if (code > 0xFF) {
    in[0] = static_cast<char>(code >> 8);
    in[1] = static_cast<char>(code);
    inLeft = 2;
  } else {
    in[0] = static_cast<char>(code);
    inLeft = 1;
  }
  uint32_t out[2] = {};
  char* src = in;
  char* dst = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  iconv(table.converter, nullptr, nullptr, nullptr, nullptr);
  const size_t r = iconv(table.converter, &src, &inLeft, &dst, &outLeft);
  if (r != static_cast<size_t>(-1) && inLeft == 0 && outLeft == sizeof out - 4) memo = out[0];
  return memo;
}

bool IsIdentity(const MAT2& m) {
  return m.eM11.value == 1 && m.eM11.fract == 0 && m.eM12.value == 0 && m.eM12.fract == 0 &&
         m.eM21.value == 0 && m.eM21.fract == 0 && m.eM22.value == 1 && m.eM22.fract == 0;
}

FT_Fixed ToFixed(FIXED f) { return static_cast<FT_Fixed>(f.value) * 65536 + f.fract; }

// A glyph as GetGlyphOutlineA answers it.
struct Rendered {
  GLYPHMETRICS metrics{};
  std::vector<uint8_t> bits;
};

}  // namespace

struct HFONT__ {
  FaceFile* file = nullptr;
  FT_Size size = nullptr;
  long em26_6 = 0;
  bool bold = false;
  bool italic = false;
  int codePage = 932;
  TEXTMETRICA metrics{};
  // The last glyph rendered, so that the size query and the fetch that
  // follows it render once.
  bool memoValid = false;
  UINT memoCharacter = 0, memoFormat = 0;
  MAT2 memoTransform{};
  Rendered memo;

  ~HFONT__() {
    std::lock_guard<std::mutex> lock(FontMutex());
    if (size != nullptr) FT_Done_Size(size);
  }
};

namespace {

// What SelectObject answers for a context's own default font, and takes to
// select it back (the stock font of GDI): never live, never deleted.
HFONT StockFont() {
  static HFONT__* stock = new HFONT__;
  return stock;
}

std::unordered_map<HFONT, std::shared_ptr<HFONT__>>& LiveFonts() {
  static auto* fonts = new std::unordered_map<HFONT, std::shared_ptr<HFONT__>>();
  return *fonts;
}

std::shared_ptr<HFONT__> FindFont(HFONT font) {
  auto found = LiveFonts().find(font);
  return found != LiveFonts().end() ? found->second : nullptr;
}

// Loads, styles and (unless only the metrics are asked for) renders a glyph
// of the font, whose size is active. False when FreeType fails.
bool RenderGlyph(HFONT__& font, UINT character, UINT format, const MAT2& transform, Rendered* out) {
  FT_Face face = font.file->face;
  const uint32_t cp = CodeToCharacter(font.codePage, character);
  const FT_UInt index = cp == kNoCharacter ? 0 : FT_Get_Char_Index(face, cp);
  const bool mono = format == GGO_BITMAP;
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  if (font.bold) FT_Outline_EmboldenXY(&slot->outline, 64, 0);
  if (font.italic) {
    FT_Matrix shear = {0x10000, kItalicShear, 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &shear);
  }
  if (!IsIdentity(transform)) {
    FT_Matrix m = {ToFixed(transform.eM11), ToFixed(transform.eM21), ToFixed(transform.eM12), ToFixed(transform.eM22)};
    FT_Outline_Transform(&slot->outline, &m);
  }
  GLYPHMETRICS& gm = out->metrics;
  gm.gmCellIncX = static_cast<short>(((slot->advance.x + 32) >> 6) + (font.bold ? 1 : 0));
  gm.gmCellIncY = 0;
  out->bits.clear();
  if (slot->outline.n_contours == 0) {
    // A blank glyph: a 1 x 1 box and no pixels.
    gm.gmBlackBoxX = gm.gmBlackBoxY = 1;
    gm.gmptGlyphOrigin = {0, 0};
    return true;
  }
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.width == 0 || bitmap.rows == 0) {
    gm.gmBlackBoxX = gm.gmBlackBoxY = 1;
    gm.gmptGlyphOrigin = {0, 0};
    return true;
  }
  gm.gmBlackBoxX = bitmap.width;
  gm.gmBlackBoxY = bitmap.rows;
  gm.gmptGlyphOrigin = {slot->bitmap_left, slot->bitmap_top};
  if (format == GGO_METRICS) return true;
  const uint32_t w = bitmap.width, h = bitmap.rows;
  const uint32_t pitch = mono ? (w + 31) / 32 * 4 : (w + 3) & ~3u;
  out->bits.assign(static_cast<size_t>(pitch) * h, 0);
  const int levels = format == GGO_GRAY2_BITMAP ? 4 : format == GGO_GRAY4_BITMAP ? 16 : 64;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    uint8_t* dst = out->bits.data() + static_cast<size_t>(y) * pitch;
    if (mono) {
      std::memcpy(dst, src, (w + 7) / 8);
    } else {
      for (uint32_t x = 0; x < w; ++x) dst[x] = static_cast<uint8_t>((src[x] * levels + 127) / 255);
    }
  }
  return true;
}

}  // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  // The width, angles, precisions, quality and pitch are not used: every
  // font has its face's own proportions, upright, and is rendered by the
  // caller's choice of format.
  (void)width, (void)escapement, (void)orientation, (void)outPrecision, (void)clipPrecision, (void)quality,
      (void)pitchAndFamily;
  auto font = std::make_shared<HFONT__>();
  std::lock_guard<std::mutex> lock(FontMutex());
  const std::string path = FontPath(faceName);
  FaceFile* file = OpenFaceFile(path);
  if (file == nullptr) {
    MissingFile() = path;
    return nullptr;
  }
  MissingFile().clear();
  FT_Face face = file->face;
  if (FT_New_Size(face, &font->size) != 0) return nullptr;
  int32_t cell = 0;
  ScaleFor(*file, height, &font->em26_6, &cell);
  FT_Activate_Size(font->size);
  if (FT_Set_Char_Size(face, 0, font->em26_6, 72, 72) != 0) return nullptr;
  font->file = file;
  font->bold = weight >= FW_SEMIBOLD;
  font->italic = italic != 0;
  font->codePage = CodePageOf(charSet);

  const int64_t upem = face->units_per_EM;
  const int64_t units = file->winAscent + file->winDescent;
  TEXTMETRICA& tm = font->metrics;
  tm.tmHeight = cell;
  tm.tmAscent = static_cast<LONG>((static_cast<int64_t>(cell) * file->winAscent + units / 2) / units);
  tm.tmDescent = cell - tm.tmAscent;
  tm.tmInternalLeading = cell - static_cast<LONG>((font->em26_6 + 32) / 64);
  if (tm.tmInternalLeading < 0) tm.tmInternalLeading = 0;
  tm.tmExternalLeading = 0;
  tm.tmAveCharWidth = Scaled(file->averageWidth, font->em26_6, upem);
  tm.tmMaxCharWidth = Scaled(face->max_advance_width, font->em26_6, upem) + (font->bold ? 1 : 0);
  tm.tmWeight = weight != 0 ? weight : FW_NORMAL;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFC;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = italic != 0 ? 1 : 0;
  tm.tmUnderlined = underline != 0 ? 1 : 0;
  tm.tmStruckOut = strikeOut != 0 ? 1 : 0;
  // TMPF_FIXED_PITCH set means a variable pitch; vector, TrueType, modern.
  tm.tmPitchAndFamily = static_cast<BYTE>(0x36 | (IsProportionalName(faceName) ? 1 : 0));
  tm.tmCharSet = static_cast<BYTE>(charSet);

  HFONT handle = font.get();
  LiveFonts()[handle] = std::move(font);
  return handle;
}

HFONT SelectObject(HDC dc, HFONT font) {
  std::shared_ptr<HFONT__> object;
  if (font != StockFont()) {
    std::lock_guard<std::mutex> lock(FontMutex());
    object = FindFont(font);
    if (object == nullptr) return nullptr;
  }
  if (!SwapMemoryDcFont(dc, object)) return nullptr;
  HFONT previous = object != nullptr ? object.get() : StockFont();
  object.reset();  // a font deleted while selected goes now
  return previous;
}

BOOL DeleteObject(HFONT font) {
  std::shared_ptr<HFONT__> object;
  {
    std::lock_guard<std::mutex> lock(FontMutex());
    auto found = LiveFonts().find(font);
    if (found == LiveFonts().end()) return FALSE;
    object = std::move(found->second);
    LiveFonts().erase(found);
    if (LiveFonts().empty()) CloseCodeConverters();
  }
  object.reset();  // freed here unless a context still holds it
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  std::shared_ptr<HFONT__> font = MemoryDcFont(dc);
  if (font == nullptr || metrics == nullptr) return FALSE;
  *metrics = font->metrics;
  return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                       void* buffer, const MAT2* transform) {
  std::shared_ptr<HFONT__> font = MemoryDcFont(dc);
  if (font == nullptr || metrics == nullptr || transform == nullptr) return GDI_ERROR;
  if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY2_BITMAP && format != GGO_GRAY4_BITMAP &&
      format != GGO_GRAY8_BITMAP)
    return GDI_ERROR;
  std::lock_guard<std::mutex> lock(FontMutex());
  HFONT__& f = *font;
  if (!(f.memoValid && f.memoCharacter == character && f.memoFormat == format &&
        std::memcmp(&f.memoTransform, transform, sizeof(MAT2)) == 0)) {
    f.memoValid = false;
    FT_Activate_Size(f.size);
    if (!RenderGlyph(f, character, format, *transform, &f.memo)) return GDI_ERROR;
    f.memoValid = true;
    f.memoCharacter = character;
    f.memoFormat = format;
    f.memoTransform = *transform;
  }
  *metrics = f.memo.metrics;
  const auto size = static_cast<DWORD>(f.memo.bits.size());
  if (format == GGO_METRICS || bufferSize == 0 || buffer == nullptr) return size;
  if (bufferSize < size) return GDI_ERROR;
  if (size != 0) std::memcpy(buffer, f.memo.bits.data(), size);
  return size;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  std::shared_ptr<HFONT__> font = MemoryDcFont(dc);
  if (font == nullptr || size == nullptr || (text == nullptr && count > 0) || count < 0) return FALSE;
  std::lock_guard<std::mutex> lock(FontMutex());
  HFONT__& f = *font;
  FT_Activate_Size(f.size);
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  LONG width = 0;
  Rendered glyph;
  for (int i = 0; i < count;) {
    UINT code = bytes[i];
    // A lead byte of the code page takes its trail byte with it.
    const bool lead = f.codePage == 932 ? (code >= 0x81 && code <= 0x9F) || (code >= 0xE0 && code <= 0xFC)
                                        : code >= 0x81 && code <= 0xFE;
    if (lead && i + 1 < count) {
      code = code << 8 | bytes[i + 1];
      i += 2;
    } else {
      i += 1;
    }
    if (RenderGlyph(f, code, GGO_METRICS, identity, &glyph)) width += glyph.metrics.gmCellIncX;
  }
  f.memoValid = false;  // the face's slot holds another glyph now
  size->cx = width;
  size->cy = f.metrics.tmHeight;
  return TRUE;
}

void PlatformSetFontDirectory(const char* directory) {
  std::lock_guard<std::mutex> lock(FontMutex());
  FontDirectory() = directory != nullptr ? directory : kDefaultFontDirectory;
}

const char* PlatformMissingFontFile() {
  std::lock_guard<std::mutex> lock(FontMutex());
  return MissingFile().empty() ? nullptr : MissingFile().c_str();
}

const char* PlatformFontFileForFace(LPCSTR faceName) {
  static thread_local std::string path;
  std::lock_guard<std::mutex> lock(FontMutex());
  path = FontPath(faceName);
  return path.c_str();
}

long PlatformFontCharSize26_6(LPCSTR faceName, int height) {
  std::lock_guard<std::mutex> lock(FontMutex());
  FaceFile* file = OpenFaceFile(FontPath(faceName));
  if (file == nullptr) return 0;
  long em = 0;
  int32_t cell = 0;
  ScaleFor(*file, height, &em, &cell);
  return em;
}

int PlatformOpenCodeConverterCount() {
  std::lock_guard<std::mutex> lock(FontMutex());
  int open = 0;
  for (const auto& [codePage, table] : CodeTables()) open += table.converter != reinterpret_cast<iconv_t>(-1);
  return open;
}

int PlatformLiveFontCount() {
  std::lock_guard<std::mutex> lock(FontMutex());
  return static_cast<int>(LiveFonts().size());
}
