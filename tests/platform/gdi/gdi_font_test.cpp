#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_font.h"
#include "tests/text/glyph_reference.h"

namespace {

constexpr const char* kGothic = "ＭＳ ゴシック";
constexpr const char* kPGothic = "ＭＳ Ｐゴシック";
const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

HFONT MakeFont(int height, const char* face = kGothic, int weight = 400, bool italic = false) {
  return CreateFontA(height, 0, 0, 0, weight, italic ? 1 : 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                     FIXED_PITCH, face);
}

// A memory context with a font selected, released afterwards.
class Selected {
 public:
  explicit Selected(HFONT font) : font_(font), dc_(CreateCompatibleDC(nullptr)) { old_ = SelectObject(dc_, font_); }
  ~Selected() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(font_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  HDC dc() const { return dc_; }
  TEXTMETRICA Metrics() const {
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc_, &tm));
    return tm;
  }

 private:
  HFONT font_;
  HDC dc_;
  HFONT old_;
};

struct Answer {
  DWORD size = 0;
  GLYPHMETRICS gm{};
  std::vector<uint8_t> bits;
};

Answer Fetch(HDC dc, UINT code, UINT format) {
  Answer a;
  a.size = GetGlyphOutlineA(dc, code, format, &a.gm, 0, nullptr, &kIdentity);
  if (a.size == GDI_ERROR || a.size == 0) return a;
  a.bits.assign(a.size, 0xCD);
  GLYPHMETRICS again{};
  EXPECT_EQ(GetGlyphOutlineA(dc, code, format, &again, a.size, a.bits.data(), &kIdentity), a.size);
  EXPECT_EQ(std::memcmp(&again, &a.gm, sizeof again), 0);
  return a;
}

// The answer against FreeType's own glyph: box, origin, advance, pixels and
// zero padding in rows of 4-byte multiples.
void ExpectSameGlyph(const Answer& a, const ReferenceGlyph& r, UINT format, const std::string& what) {
  ASSERT_NE(a.size, GDI_ERROR) << what;
  EXPECT_EQ(a.gm.gmCellIncX, r.advance) << what;
  EXPECT_EQ(a.gm.gmCellIncY, 0) << what;
  if (r.blank) {
    EXPECT_EQ(a.size, 0u) << what;
    EXPECT_EQ(a.gm.gmBlackBoxX, 1u) << what;
    EXPECT_EQ(a.gm.gmBlackBoxY, 1u) << what;
    return;
  }
  ASSERT_EQ(a.gm.gmBlackBoxX, static_cast<UINT>(r.width)) << what;
  ASSERT_EQ(a.gm.gmBlackBoxY, static_cast<UINT>(r.height)) << what;
  EXPECT_EQ(a.gm.gmptGlyphOrigin.x, r.left) << what;
  EXPECT_EQ(a.gm.gmptGlyphOrigin.y, r.top) << what;
  const size_t pitch = format == GGO_BITMAP ? (r.width + 31) / 32 * 4 : (r.width + 3) / 4 * 4;
  ASSERT_EQ(a.size, pitch * r.height) << what;
  int mismatches = 0;
  for (int y = 0; y < r.height; ++y)
    for (size_t x = 0; x < pitch * (format == GGO_BITMAP ? 8 : 1); ++x) {
      const uint8_t* row = a.bits.data() + y * pitch;
      const int got = format == GGO_BITMAP ? (row[x >> 3] >> (7 - (x & 7)) & 1) : row[x];
      const int want = static_cast<int>(x) < r.width ? r.At(static_cast<int>(x), y) : 0;
      if (got != want && mismatches++ < 3) ADD_FAILURE() << what << ": pixel " << x << "," << y << " " << got << " != " << want;
    }
}

TEST(GdiFontTest, TextMetricsFollowTheHostRules) {
  for (int height : {12, 16, 20, 24, 32, 40, 64}) {
    Selected s(MakeFont(height));
    const TEXTMETRICA tm = s.Metrics();
    EXPECT_EQ(tm.tmHeight, height);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, height);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_GE(tm.tmInternalLeading, 0);
    EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
    EXPECT_LE(tm.tmMaxCharWidth, height);
    EXPECT_GE(tm.tmMaxCharWidth, height * 9 / 10);
  }
  // A negative height is the em: the cell is taller; 0 is 16.
  EXPECT_GT(Selected(MakeFont(-16)).Metrics().tmHeight, 16);
  EXPECT_EQ(Selected(MakeFont(0)).Metrics().tmHeight, 16);
  // Weights of 600 and more are emboldened: one pixel wider.
  EXPECT_EQ(Selected(MakeFont(16, kGothic, 600)).Metrics().tmMaxCharWidth,
            Selected(MakeFont(16, kGothic, 500)).Metrics().tmMaxCharWidth + 1);
  EXPECT_EQ(PlatformLiveFontCount(), 0);
}

TEST(GdiFontTest, GlyphsMatchFreeTypeInEveryFormat) {
  struct Case {
    UINT code;
    uint32_t codePoint;  // 0: the face's default glyph
  };
  const Case cases[] = {
      {'A', 0x41},      {'g', 0x67},          {0x5C, 0x5C},     // backslash, not the yen sign
      {0x82A0, 0x3042},  // hiragana a
      {0x8ABF, 0x6F22},  // a kanji
      {0xB1, 0xFF71},    // half-width katakana a
      {0xF040, 0},       // user-defined area: the face lacks it
      {0x8540, 0},       // no character of code page 932
      {0x81, 0},         // a lead byte alone
      {0x20, 0x20},      {0x8140, 0x3000},  // blanks
  };
  const struct {
    UINT format;
    int levels;
  } formats[] = {{GGO_BITMAP, 0}, {GGO_GRAY2_BITMAP, 4}, {GGO_GRAY4_BITMAP, 16}, {GGO_GRAY8_BITMAP, 64}};
  const struct {
    int height, weight;
    bool italic;
  } styles[] = {{16, 400, false}, {32, 500, false}, {24, 600, false}, {20, 400, true}, {40, 600, true}};
  for (const auto& style : styles) {
    Selected s(MakeFont(style.height, kGothic, style.weight, style.italic));
    FreeTypeReference reference(kGothic, style.height, style.weight >= 600, style.italic);
    for (const auto& format : formats)
      for (const Case& c : cases) {
        const std::string what = "height " + std::to_string(style.height) + " weight " + std::to_string(style.weight) +
                                 (style.italic ? " italic" : "") + " format " + std::to_string(format.format) +
                                 " code " + std::to_string(c.code);
        ExpectSameGlyph(Fetch(s.dc(), c.code, format.format), reference.Render(c.codePoint, format.levels),
                        format.format, what);
      }
  }
}

TEST(GdiFontTest, GreyFormatsReachTheirTopLevel) {
  Selected s(MakeFont(32));
  for (const auto& [format, top] : {std::pair{GGO_GRAY2_BITMAP, 4}, {GGO_GRAY4_BITMAP, 16}, {GGO_GRAY8_BITMAP, 64}}) {
    const Answer a = Fetch(s.dc(), 0x8ABF, format);
    int highest = 0;
    for (uint8_t v : a.bits) highest = std::max<int>(highest, v);
    EXPECT_EQ(highest, top) << format;
  }
}

TEST(GdiFontTest, FaceNamesMapToTheFixedOrProportionalFace) {
  const std::string fixed = PlatformFontFileForFace(nullptr);
  EXPECT_NE(fixed.find("ipag.ttf"), std::string::npos);
  for (const char* face : {kGothic, "Arial", "ＭＳ 明朝", ""}) EXPECT_EQ(PlatformFontFileForFace(face), fixed) << face;
  for (const char* face : {kPGothic, "MS PGothic", "MS UI Gothic", "ＭＳ Ｐ明朝"})
    EXPECT_NE(std::string(PlatformFontFileForFace(face)).find("ipagp.ttf"), std::string::npos) << face;
  // The proportional face's narrow letters advance less.
  Selected fixedFont(MakeFont(32, kGothic));
  Selected proportional(MakeFont(32, kPGothic));
  EXPECT_LT(Fetch(proportional.dc(), 'i', GGO_BITMAP).gm.gmCellIncX, Fetch(fixedFont.dc(), 'i', GGO_BITMAP).gm.gmCellIncX);
}

TEST(GdiFontTest, ExtentsAddTheAdvances) {
  Selected s(MakeFont(24));
  const int a = Fetch(s.dc(), 'A', GGO_METRICS).gm.gmCellIncX;
  const int hiragana = Fetch(s.dc(), 0x82A0, GGO_METRICS).gm.gmCellIncX;
  const int fallback = Fetch(s.dc(), 0x81, GGO_METRICS).gm.gmCellIncX;
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), "Aあ", 3, &size));
  EXPECT_EQ(size.cx, a + hiragana);
  EXPECT_EQ(size.cy, 24);
  // A lead byte at the end stands alone.
  const char cut[] = {'A', static_cast<char>(0x82)};
  ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), cut, 2, &size));
  EXPECT_EQ(size.cx, a + fallback);
  ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), "", 0, &size));
  EXPECT_EQ(size.cx, 0);
}

TEST(GdiFontTest, SelectionDeletionAndBadCalls) {
  const int before = PlatformLiveGdiObjectCount();
  HDC dc = CreateCompatibleDC(nullptr);
  TEXTMETRICA tm{};
  GLYPHMETRICS gm{};
  EXPECT_FALSE(GetTextMetricsA(dc, &tm));  // the context's own font is not one of ours
  EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);

  HFONT font = MakeFont(16);
  HFONT stock = SelectObject(dc, font);
  ASSERT_NE(stock, nullptr);
  EXPECT_FALSE(DeleteObject(stock));
  EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);  // no transform
  EXPECT_EQ(GetGlyphOutlineA(dc, 'A', 3, &gm, 0, nullptr, &kIdentity), GDI_ERROR);        // no such format
  const DWORD size = GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> small(size - 1);
  EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, size - 1, small.data(), &kIdentity), GDI_ERROR);

  // A character met for the first time opens the code page's converter.
  GetGlyphOutlineA(dc, 0x9A40, GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
  EXPECT_GE(PlatformOpenCodeConverterCount(), 1);

  // Deleted while selected: the font serves the context until it is selected out.
  // The last font gone, its character converter is closed.
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(PlatformLiveFontCount(), 0);
  EXPECT_EQ(PlatformOpenCodeConverterCount(), 0);
  EXPECT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), size);
  EXPECT_EQ(SelectObject(dc, stock), font);
  EXPECT_FALSE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(SelectObject(dc, font), nullptr);  // gone now
  EXPECT_EQ(SelectObject(nullptr, stock), nullptr);

  // A context deleted with a font still selected lets it go.
  HFONT other = MakeFont(20);
  SelectObject(dc, other);
  DeleteObject(other);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(PlatformLiveGdiObjectCount(), before);
}

TEST(GdiFontTest, AMissingFontFileFailsTheCreation) {
  PlatformSetFontDirectory("/nonexistent/fonts");
  EXPECT_EQ(MakeFont(16), nullptr);
  ASSERT_NE(PlatformMissingFontFile(), nullptr);
  EXPECT_STREQ(PlatformMissingFontFile(), "/nonexistent/fonts/ipag.ttf");
  PlatformSetFontDirectory(nullptr);
  HFONT font = MakeFont(16);
  EXPECT_NE(font, nullptr);
  EXPECT_EQ(PlatformMissingFontFile(), nullptr);
  DeleteObject(font);
}

}  // namespace
