#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "library/core/text_helpers.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/mask_screen.h"
#include "library/softrender/blit_kernels.h"
#include "library/softrender/soft_blit.h"
#include "library/text/glyph_blend.h"
#include "library/text/text_cache.h"
#include "library/text/text_draw.h"
#include "platform/win32/sjis.h"
#include "tests/text/font_fixture.h"

namespace {

// One string drawn in the scene.
struct TextSample {
  const char* text;  // Shift-JIS
  int32_t x, y;
  int32_t size, type, thickness, edge, spacing;
  int32_t mode, param;
  uint8_t bright[3];    // red, green, blue
  uint8_t colour[3];    // red, green, blue
  uint8_t edgeRgb[3];
  int32_t vertical;
};

// The characters of a Shift-JIS text: bytes and code point (0: none).
struct Character {
  uint8_t first, second;
  uint32_t codePoint;
};

std::vector<Character> Characters(const char* text) {
  std::vector<Character> out;
  for (size_t i = 0; text[i] != '\0';) {
    Character c{static_cast<uint8_t>(text[i]), 0, 0};
    size_t n = 1;
    if (CheckDoubleByteLead(text + i, CharSetShiftJis)) {
      if (text[i + 1] == '\0') break;
      c.second = static_cast<uint8_t>(text[i + 1]);
      n = 2;
    }
    std::string utf8;
    if (SjisToUtf8(std::string(text + i, n), utf8)) {
      const auto* u = reinterpret_cast<const unsigned char*>(utf8.data());
      c.codePoint = u[0] < 0x80 ? u[0]
                    : u[0] < 0xE0 ? (u[0] & 0x1Fu) << 6 | (u[1] & 0x3Fu)
                                  : (u[0] & 0x0Fu) << 12 | (u[1] & 0x3Fu) << 6 | (u[2] & 0x3Fu);
    }
    out.push_back(c);
    i += n;
  }
  return out;
}

bool IsWide() { return GetScreenColorBits() == 32; }

// The pixel a cell value of the type becomes by the text cache's rules: false when nothing is written.
bool ReferencePixel(int type, int value, uint32_t text, uint32_t edge, uint32_t* out) {
  const bool wide = IsWide();
  const int shift = wide ? 28 : 20;
  switch (type) {
    case 0:
      *out = text;
      return value != 0;
    case 1:
      *out = value == 1 ? text : edge;
      return value != 0;
    case 2:
      *out = static_cast<uint32_t>(value) << shift | text;
      return value != 0;
    default: {
      const int g = value & 15, e = value >> 4;
      if (g == 0 && e == 0) return false;
      if (g == 0) {
        *out = static_cast<uint32_t>(e) << shift | edge;
        return true;
      }
      if (g == 15) {
        *out = (wide ? 0xFF000000u : 0xFF0000u) | text;
        return true;
      }
      const int a = 16 * g + (15 - g) * e, t = g * 4096 / a;
      auto mix = [t](int tc, int ec) { return ec + (((tc - ec) * t) >> 8); };
      if (wide) {
        *out = static_cast<uint32_t>(a) << 24;
        for (int s : {0, 8, 16})
          *out |= static_cast<uint32_t>(mix(static_cast<int>(text >> s & 0xFF), static_cast<int>(edge >> s & 0xFF)) & 0xFF) << s;
      } else {
        *out = static_cast<uint32_t>(a) << 16 |
               static_cast<uint32_t>(mix(text >> 11 & 0x1F, edge >> 11 & 0x1F) & 0x1F) << 11 |
               static_cast<uint32_t>(mix(text >> 5 & 0x3F, edge >> 5 & 0x3F) & 0x3F) << 5 |
               static_cast<uint32_t>(mix(text & 0x1F, edge & 0x1F) & 0x1F);
      }
      return true;
    }
  }
}

void PutPixel(MEMIMG* image, int x, int y, uint32_t v) {
  const int bytes = image->buffer->format->bytesPerPixel;
  std::memcpy(image->pixels + static_cast<int64_t>(y) * image->buffer->pitch + x * bytes, &v, bytes);
}

// Draws a sample into the expected image glyph by glyph from FreeType's
// bitmaps: written straight in for plain fonts in copy mode, else composed
// in a work image and blitted from there under the draw state.
void ComposeReference(const TextSample& s, const FontHandleRecord* f, MEMIMG* expected) {
  const int e = (f->type & FontTypeEdge) ? f->edgeSize : 0;
  const int type = static_cast<int>(f->type & 3);
  FreeTypeReference reference(kGothicFace, s.size, s.thickness >= 6);
  const TEXTMETRICA tm = GdiMetrics(s.size, s.thickness);

  const uint32_t black = MakeScreenColor(0, 0, 0);
  // The colour is split from its screen value, then scaled by the brightness.
  auto bright = [&](const uint8_t* rgb) {
    int32_t r = 0, g = 0, b = 0;
    SplitScreenColor(MakeScreenColor(rgb[0], rgb[1], rgb[2]), &r, &g, &b);
    return MakeScreenColor(r * s.bright[0] / 255, g * s.bright[1] / 255, b * s.bright[2] / 255) & ~black;
  };
  const uint32_t text = bright(s.colour), edge = bright(s.edgeRgb);
  const bool direct = type <= 1 && (s.mode == 0 || (s.mode == 1 && s.param == 255));
  const bool antialiased = type >= 2;

  // The measure: the advances, and the line height.
  int advanceSum = 0;
  for (const Character& c : Characters(s.text))
    advanceSum += reference.Render(c.codePoint, antialiased ? 16 : 0).advance + 2 * e + f->spacing;
  const int width = s.vertical ? f->lineHeight : advanceSum, height = s.vertical ? advanceSum : f->lineHeight;

  MEMIMG work{};
  MEMIMG* target = expected;
  PixelRect clip = DrawClipRect;
  int ox = s.x, oy = s.y;
  if (!direct) {
    uint32_t key = 0;
    while (!antialiased && (key == text || key == edge)) ++key;
    SetupMemImg(&work, expected->width, expected->height, -1, key, expected->buffer->depthKind, 0, antialiased ? 1 : 0,
                0, nullptr);
    clip = {0, 0, std::min(width, work.width), std::min(height, work.height)};
    FillMemImgRect(&work, &clip, key);
    target = &work;
    ox = oy = 0;
  }
  int pen = 0;
  for (const Character& c : Characters(s.text)) {
    const ReferenceGlyph g = reference.Render(c.codePoint, antialiased ? 16 : 0);
    const bool blank = (c.first == 0x20 && c.second == 0) || (c.first == 0x81 && c.second == 0x40);
    if (!blank && !g.blank) {
      const std::vector<uint8_t> cell = ExpectedMemoryCell(g, f->type & 3, e, f->cellSize, f->cellSize);
      const int w = std::min(g.width + 2 * e, f->cellSize), h = std::min(g.height + 2 * e, f->cellSize);
      const int top = tm.tmAscent - g.top;
      for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w; ++gx) {
          uint32_t pixel = 0;
          if (!ReferencePixel(type, cell[gy * f->cellSize + gx], text, edge, &pixel)) continue;
          // Vertical text turns the cell a quarter turn clockwise.
          const int px = s.vertical ? ox + f->lineHeight - top - h + (h - 1 - gy) : ox + pen + g.left + gx;
          const int py = s.vertical ? oy + pen + g.left + gx : oy + top + gy;
          if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) continue;
          PutPixel(target, px, py, pixel);
        }
    }
    pen += g.advance + 2 * e + f->spacing;
  }
  if (!direct) {
    const PixelRect saved = DrawClipRect;
    const DrawBrightBytes savedBright = DrawBright;
    PixelRect area = {s.x, s.y, s.x + clip.right, s.y + clip.bottom};
    ClipRectToArea(&area, &saved);
    DrawClipRect = area;
    DrawBright = {255, 255, 255};
    SoftBlit(expected, &work, s.x, s.y, 1, nullptr);
    DrawClipRect = saved;
    DrawBright = savedBright;
    ReleaseMemImg(&work);
  }
}

// A background that shows every blend.
void PaintBackground() {
  for (int y = 0; y < ScreenMemImg.height; ++y)
    for (int x = 0; x < ScreenMemImg.width; ++x) {
      const PixelRect one = {x, y, x + 1, y + 1};
      FillMemImgRect(&ScreenMemImg, &one, MakeScreenColor(x, y * 2, (x + y) & 0xFF));
    }
}

// Draws a sample with its own font and compares the screen with the
// reference.
void ExpectSampleDrawn(const TextSample& s, ObjectHandle font) {
  const FontHandleRecord* f = GetFontHandleRecord(font);
  SetDrawBlend(s.mode, s.param);
  SetDrawBrightness(s.bright[0], s.bright[1], s.bright[2]);
  ImageCopy expected(&ScreenMemImg);
  ComposeReference(s, f, &expected.image);
  const uint32_t colour = MakeScreenColor(s.colour[0], s.colour[1], s.colour[2]);
  const uint32_t edge = MakeScreenColor(s.edgeRgb[0], s.edgeRgb[1], s.edgeRgb[2]);
  EXPECT_EQ(DrawTextToHandle(s.x, s.y, s.text, colour, font, edge, s.vertical), 0);
  ExpectSameImage(&ScreenMemImg, &expected.image, s.text);
  SetDrawBlend(0, 255);
  SetDrawBrightness(255, 255, 255);
}

class TextSceneTest : public GraphicsTest, public testing::WithParamInterface<int> {};

TEST_P(TextSceneTest, TheGamesKindsOfTextMatchAGlyphByGlyphReference) {
  StartGraphics(GetParam(), 256, 120);
  SetDrawBlend(0, 255);
  PaintBackground();
  const TextSample samples[] = {
      // Half- and full-width characters, a half-width katakana, a code the
      // face lacks, a line break (drawn as a character: nothing breaks the
      // line) and both spaces.
      {"Aあ\xB1漢 g\x81\x40\xF0\x40\nZ", 2, 2, 16, 0, 4, -1, 0, 0, 255, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, 0},
      {"Edgeエッジ", 2, 20, 16, 1, 5, 2, 0, 1, 255, {255, 255, 255}, {255, 255, 0}, {0, 0, 255}, 0},
      {"Add加算", 120, 20, 20, 0, 4, -1, 1, 2, 200, {255, 255, 255}, {40, 200, 90}, {0, 0, 0}, 0},
      {"半透明 ｶﾀｶﾅ", 2, 44, 24, 2, 4, -1, 0, 1, 128, {200, 150, 100}, {250, 250, 250}, {0, 0, 0}, 0},
      {"縁取りAA", 2, 70, 24, 3, 6, -1, -2, 0, 0, {255, 255, 255}, {255, 255, 255}, {30, 60, 200}, 0},
      {"重なり", 140, 70, 24, 3, 5, 2, -6, 1, 160, {255, 255, 255}, {250, 40, 40}, {20, 20, 20}, 0},
      {"縦書き", 236, 2, 16, 0, 4, -1, 0, 0, 255, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, 1},
      {"縦A", 210, 40, 16, 3, 4, -1, 0, 0, 255, {255, 255, 255}, {255, 200, 0}, {0, 0, 160}, 1},
  };
  for (const TextSample& s : samples) {
    const ObjectHandle font = CreateFontToHandle(nullptr, s.size, s.thickness, s.type, -1, s.edge, -1, -1, -1);
    ASSERT_NE(font, -1);
    SetFontSpacingToHandle(s.spacing, font);
    const FontHandleRecord* f = GetFontHandleRecord(font);
    ExpectSampleDrawn(s, font);

    // The width is the advances with the spacing; the drawn pixels lie
    // within it (and the line's height) give or take the glyphs' bearings.
    int advances = 0;
    for (const Character& c : Characters(s.text)) {
      const uint8_t r[3] = {c.first, c.second, 0};
      advances += CacheGlyphs(font, 1, r)->advance + f->spacing;
    }
    EXPECT_EQ(GetTextWidthToHandle(s.text, -1, font, s.vertical), advances) << s.text;
    int32_t size[2] = {0, 0};
    DrawFontTextCore(0, 0, 0, 0, 1.0, 1.0, s.text, 0, nullptr, nullptr, 0, font, 0, -1, s.vertical, size);
    EXPECT_EQ(size[s.vertical ? 1 : 0], advances);
    EXPECT_EQ(size[s.vertical ? 0 : 1], f->lineHeight);
    DeleteFontHandle(font);
  }
  SetDrawBlend(0, 255);
  SetDrawBrightness(255, 255, 255);
}

INSTANTIATE_TEST_SUITE_P(Depths, TextSceneTest, testing::Values(16, 32));

// Anti-aliased text in copy mode is laid straight onto the screen glyph by
// glyph, and edged plain text is written many pixels at a time: both still
// give the reference's picture, with glyphs cut by the screen's edges and by
// the draw area, narrow glyphs at the right edge, several sizes, and glyphs
// coloured anew after they were drawn in other colours or their slots were
// given to other characters, and two glyphs of one text whose slots share an
// ink entry. Run with each set of loops the processor has: AVX-512 (inked
// glyphs on 32-bit screens), AVX2 and SSE2.
class DirectTextTest : public GraphicsTest, public testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(DirectTextTest, GlyphsLaidStraightOntoTheScreenMatchTheReference) {
  const auto [bits, loops] = GetParam();  // 2 AVX-512, 1 AVX2, 0 SSE2
  // The processor's loops again when the test ends.
  struct Restored {
    bool avx2 = BlitUseAvx2, avx512 = GlyphUseAvx512;
    ~Restored() {
      BlitUseAvx2 = avx2;
      GlyphUseAvx512 = avx512;
    }
  } restored;
  if (loops == 2 && !restored.avx512) GTEST_SKIP() << "no AVX-512";
  if (loops == 1 && !restored.avx2) GTEST_SKIP() << "no AVX2";
  GlyphUseAvx512 = loops == 2;
  BlitUseAvx2 = loops >= 1;
  StartGraphics(bits, 200, 64);
  PaintBackground();
  struct Place {
    const char* text;
    int32_t x, y, size;
    PixelRect area;
  };
  const Place places[] = {
      {"Aあ漢字 ﾃｷｽﾄ", 3, 2, 16, {0, 0, 200, 64}},
      {"右端で切れる", 130, 20, 16, {0, 0, 200, 64}},  // past the screen's right edge
      {"左と下へ", -13, 50, 24, {0, 0, 200, 64}},      // past its left and bottom edges
      {".|'ｰ、i!", 2, 40, 16, {0, 0, 200, 64}},        // narrow glyphs
      {".|'i!:;", 176, 40, 12, {0, 0, 200, 64}},       // narrow glyphs without room beside them
      {"切り取り", 60, 2, 24, {70, 8, 118, 20}},       // cut by the draw area on every side
      {"Wide幅のある行 text", 4, 24, 12, {0, 0, 200, 64}},
      // Wider than the screen-sized work image: cut where the image ends.
      {"この行は作業画像より長いので途中で切れる", -40, 8, 16, {0, 0, 200, 64}},
  };
  struct Ink {
    uint8_t bright[3], colour[3], edge[3];
  };
  const Ink inks[] = {{{255, 255, 255}, {255, 255, 255}, {0, 0, 0}}, {{200, 150, 100}, {250, 40, 40}, {20, 60, 200}}};
  // Copy mode draws straight onto the screen; half-transparent text goes
  // through the work image (plain text too).
  for (int mode : {0, 1})
    for (int type : {2, 3, 1})
      for (const Place& p : places)
        for (const Ink& ink : inks) {
          const ObjectHandle font = CreateFontToHandle(nullptr, p.size, 4, type, -1, -1, -1, -1, -1);
          ASSERT_NE(font, -1);
          SetDrawClipArea(p.area.left, p.area.top, p.area.right, p.area.bottom);
          TextSample s = {p.text, p.x, p.y, p.size, type, 4, -1, 0, mode, mode == 0 ? 255 : 128, {}, {}, {}, 0};
          std::memcpy(s.bright, ink.bright, 3);
          std::memcpy(s.colour, ink.colour, 3);
          std::memcpy(s.edgeRgb, ink.edge, 3);
          ExpectSampleDrawn(s, font);
          SetDrawClipArea(0, 0, 200, 64);
          DeleteFontHandle(font);
        }

  // A big edged anti-aliased font has 20 slots. "AB" is drawn white on
  // black, then in another text colour, then with another edge colour; then
  // twenty other characters take every slot, the first two of them drawn
  // white on black where "AB" was; then "AB" again, white on black, in the
  // slots of those two.
  const ObjectHandle big = CreateFontToHandle(nullptr, 130, 4, 3, -1, -1, -1, -1, -1);
  ASSERT_EQ(GetFontHandleRecord(big)->slotCount, 20);
  const TextSample white = {"AB", -20, -40, 130, 3, 4, -1, 0, 0, 255, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, 0};
  TextSample s = white;
  ExpectSampleDrawn(s, big);
  s.colour[1] = 90;
  ExpectSampleDrawn(s, big);
  s.edgeRgb[2] = 120;
  ExpectSampleDrawn(s, big);
  TextSample others = white;
  others.text = "CDEFGHIJKLMNOPQRSTUV";
  ExpectSampleDrawn(others, big);
  ExpectSampleDrawn(white, big);
  DeleteFontHandle(big);

  // A size-16 edged font has more slots than ink entries: after 64 other
  // characters, "A" (slot 0) and "漢" (slot 64) of one text share an entry.
  const ObjectHandle small = CreateFontToHandle(nullptr, 16, 4, 3, -1, -1, -1, -1, -1);
  ASSERT_GT(GetFontHandleRecord(small)->slotCount, 64);
  const char* first64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-";
  GetTextWidthToHandle(first64, -1, small, 0);
  TextSample shared = {"A漢", 10, 10, 16, 3, 4, -1, 0, 0, 255, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, 0};
  ExpectSampleDrawn(shared, small);
  DeleteFontHandle(small);
}

INSTANTIATE_TEST_SUITE_P(DepthsAndLoops, DirectTextTest,
                         testing::Combine(testing::Values(16, 32), testing::Values(2, 1, 0)));

// ---------------------------------------------------------------- the text calls

class TextDrawTest : public FontTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartGraphics(16, 160, 64);
  }
  // Counts the pixels that differ from black.
  static int Inked(const PixelRect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += RawPixel(&ScreenMemImg, x, y) != 0;
    return n;
  }
  static void Clear() { FillMemImgRect(&ScreenMemImg, nullptr, 0); }
};

TEST_F(TextDrawTest, BadHandlesEmptyTextsAndTheMaskScreen) {
  const uint32_t white = MakeScreenColor(255, 255, 255);
  const std::string before = Log();
  EXPECT_EQ(DrawTextToHandle(0, 0, "", white, 12345, 0, 0), 0);
  EXPECT_EQ(DrawTextToHandle(0, 0, nullptr, white, 12345, 0, 0), 0);
  EXPECT_EQ(Log(), before);
  EXPECT_EQ(DrawTextToHandle(0, 0, "A", white, 12345, 0, 0), -1);
  EXPECT_NE(Log().find("フォントハンドル値が異常です\r\n", before.size()), std::string::npos);
  EXPECT_EQ(GetTextWidthToHandle("A", -1, 12345, 0), -1);
  EXPECT_EQ(GetTextWidthToHandle("", -1, QueryDefaultFontHandle(), 0), 0);
  DrawSuppressed = 1;
  EXPECT_EQ(GetTextWidthToHandle("A", -1, QueryDefaultFontHandle(), 0), -1);
  EXPECT_EQ(DrawTextToHandle(0, 0, "A", white, QueryDefaultFontHandle(), 0, 0), 0);
  DrawSuppressed = 0;
  EXPECT_EQ(Inked({0, 0, 160, 64}), 0);

  // With the mask screen active, a text starting at the area's right edge
  // draws nothing.
  ASSERT_EQ(CreateMaskScreen(1), 0);
  EnableMaskScreen(1);
  SetDrawClipArea(0, 0, 100, 64);
  EXPECT_EQ(DrawTextToHandle(100, 0, "AAAA", white, QueryDefaultFontHandle(), 0, 0), 0);
  EnableMaskScreen(0);
  SetDrawClipArea(0, 0, 160, 64);
  EXPECT_EQ(Inked({0, 0, 160, 64}), 0);
}

TEST_F(TextDrawTest, WidthsSpacingAndCutText) {
  const ObjectHandle font = Font(16, 2);
  const int a = GetTextWidthToHandle("A", -1, font, 0), ka = GetTextWidthToHandle("あ", -1, font, 0);
  EXPECT_GT(a, 0);
  EXPECT_EQ(GetTextWidthToHandle("Aあ", -1, font, 0), a + ka);
  SetFontSpacingToHandle(3, font);
  EXPECT_EQ(GetTextWidthToHandle("Aあ", -1, font, 0), a + ka + 6);
  EXPECT_EQ(GetFormatTextWidthToHandle(font, "%s%d", "A", 7), GetTextWidthToHandle("A7", -1, font, 0));
  SetFontSpacingToHandle(0, font);
  // A length that ends inside a double-byte character, and a text that ends
  // in a lead byte, stop before it.
  EXPECT_EQ(GetTextWidthToHandle("Aあ", 2, font, 0), a);
  EXPECT_EQ(GetTextWidthToHandle("A\x82", -1, font, 0), a);
  EXPECT_EQ(GetTextWidthToHandle("Aあ", 0, font, 0), 0);
  // Vertical measures give the line height across.
  int32_t size[2] = {0, 0};
  DrawFontTextCore(0, 0, 0, 0, 1.0, 1.0, "Aあ", 0, nullptr, nullptr, 0, font, 0, -1, 1, size);
  EXPECT_EQ(size[0], GetFontHandleRecord(font)->lineHeight);
  EXPECT_EQ(size[1], a + ka);

  // A formatted text longer than its buffer is cut at a character boundary.
  std::string many;
  for (int i = 0; i < 1500; ++i) many += "あ";
  const std::string fits = many.substr(0, kFormatTextBufferSize - 2);  // 1023 whole characters
  EXPECT_EQ(GetFormatTextWidthToHandle(font, "%s", many.c_str()), GetTextWidthToHandle(fits.c_str(), -1, font, 0));
  EXPECT_EQ(GetFormatTextWidthToHandle(font, "A%s", many.c_str()),
            GetTextWidthToHandle(("A" + fits).c_str(), -1, font, 0));
  EXPECT_EQ(DrawFormatTextToHandle(0, 0, MakeScreenColor(255, 255, 255), font, "%s", many.c_str()), 0);
}

TEST_F(TextDrawTest, FormattedAndDefaultFontTextDrawLikeTheirCharacters) {
  const uint32_t colour = MakeScreenColor(255, 200, 100);
  const ObjectHandle font = Font(16, 1);
  DrawTextToHandle(3, 5, "No.12 です", colour, font, 0, 0);
  ImageCopy plain(&ScreenMemImg);
  Clear();
  DrawFormatTextToHandle(3, 5, colour, font, "No.%d %s", 12, "です");
  ExpectSameImage(&ScreenMemImg, &plain.image, "formatted");
  Clear();
  DrawTextToHandle(3, 5, "No.12 です", colour, QueryDefaultFontHandle(), 0, 0);
  ImageCopy byDefault(&ScreenMemImg);
  Clear();
  DrawTextWithDefaultFont(3, 5, "No.12 です", colour, 0);
  ExpectSameImage(&ScreenMemImg, &byDefault.image, "default font");
  Clear();
  DrawFormatTextWithDefaultFont(3, 5, colour, "No.%d %s", 12, "です");
  ExpectSameImage(&ScreenMemImg, &byDefault.image, "formatted, default font");
}

TEST_F(TextDrawTest, AStringWithMoreCharactersThanSlotsDrawsWhole) {
  // 20 slots; 30 distinct characters.
  StopGraphics();
  StartGraphics(16, 2048, 160);
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  const uint32_t white = MakeScreenColor(255, 255, 255);
  const ObjectHandle big = Font(130, 0);
  ASSERT_EQ(GetFontHandleRecord(big)->slotCount, 20);
  EXPECT_EQ(DrawTextToHandle(0, 0, text.c_str(), white, big, 0, 0), 0);
  ImageCopy whole(&ScreenMemImg);
  Clear();
  // The same characters drawn in pieces that fit the cache.
  int x = 0;
  for (size_t i = 0; i < text.size(); i += 10) {
    const std::string piece = text.substr(i, 10);
    DrawTextToHandle(x, 0, piece.c_str(), white, big, 0, 0);
    x += GetTextWidthToHandle(piece.c_str(), -1, big, 0);
  }
  ExpectSameImage(&ScreenMemImg, &whole.image, "pieces");
  EXPECT_GT(Inked({0, 0, 2048, 160}), 0);
}

TEST_F(TextDrawTest, BlendedTextIsOneImage) {
  // Glyphs pulled into each other by a negative spacing overlap; at blend
  // parameter 128 their overlap is blended once, not twice.
  const ObjectHandle font = Font(24, 0);
  SetFontSpacingToHandle(-8, font);
  FillMemImgRect(&ScreenMemImg, nullptr, MakeScreenColor(0, 0, 200));
  SetDrawBlend(1, 128);
  DrawTextToHandle(0, 0, "■■", MakeScreenColor(255, 255, 255), font, 0, 0);
  SetDrawBlend(0, 255);
  const uint32_t once = RawPixel(&ScreenMemImg, 12, 12);  // inside the first square only
  EXPECT_NE(once, MakeScreenColor(0, 0, 200));
  int overlap = 0;
  for (int x = 0; x < 60; ++x) {
    const uint32_t v = RawPixel(&ScreenMemImg, x, 12);
    EXPECT_TRUE(v == once || v == MakeScreenColor(0, 0, 200)) << x;
    overlap += v == once;
  }
  EXPECT_GT(overlap, 24);
}

TEST_F(TextDrawTest, TheWorkImageIsCutToItsSize) {
  // A line far wider than the screen-sized work image, anti-aliased and
  // edged, at a point that pushes it past the screen too.
  std::string text;
  for (int i = 0; i < 120; ++i) text += "縁";
  for (int type : {2, 3, 1}) {
    const ObjectHandle font = Font(16, type);
    SetDrawBlend(type == 1 ? 2 : 0, 200);
    EXPECT_EQ(DrawTextToHandle(-30, 40, text.c_str(), MakeScreenColor(255, 255, 255), font, 0, 0), 0);
    EXPECT_EQ(DrawTextToHandle(10, 10, text.c_str(), MakeScreenColor(255, 255, 255), font, 0, 1), 0);
    SetDrawBlend(0, 255);
    EXPECT_GT(Inked({0, 40, 160, 64}), 0) << type;
    DeleteFontHandle(font);
  }
}

TEST_F(TextDrawTest, TheTextureCachePathDrawsThroughTheCacheGraphs) {
  // On the software renderer the texture cache's graphs are memory graphs:
  // its draw of cell regions gives the memory cache's picture for a plain
  // white font in copy mode.
  const uint32_t white = MakeScreenColor(255, 255, 255);
  const ObjectHandle memory = Font(16, 0);
  DrawTextToHandle(4, 4, "Aあ漢", white, memory, 0, 0);
  ImageCopy expected(&ScreenMemImg);
  Clear();
  ForceTextureGlyphCache = 1;
  const ObjectHandle texture = Font(16, 0);
  ASSERT_EQ(GetFontHandleRecord(texture)->textureCache, 1);
  EXPECT_EQ(DrawTextToHandle(4, 4, "Aあ漢", white, texture, 0, 0), 0);
  ExpectSameImage(&ScreenMemImg, &expected.image, "texture cache");
  // Lost cache graphs are made again (and the cache emptied) by the next draw.
  FreeGraph(GetFontHandleRecord(texture)->glyphGraph);
  EXPECT_EQ(GetFontHandleRecord(texture)->cacheGraphsLost, 1);
  Clear();
  EXPECT_EQ(DrawTextToHandle(4, 4, "Aあ漢", white, texture, 0, 0), 0);
  EXPECT_EQ(GetFontHandleRecord(texture)->cacheGraphsLost, 0);
  ExpectSameImage(&ScreenMemImg, &expected.image, "texture cache made again");
  // The colour tints the white glyphs through the brightness, which is put
  // back afterwards.
  Clear();
  SetDrawBrightness(200, 255, 255);
  DrawTextToHandle(4, 4, "A", MakeScreenColor(255, 0, 255), texture, 0, 0);
  EXPECT_EQ(DrawBright.red, 200);
  EXPECT_EQ(DrawBright.green, 255);
  int tinted = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const Rgba c = MemImgColour(&ScreenMemImg, x, y);
      if (c.r == 0 && c.g == 0 && c.b == 0) continue;
      ++tinted;
      EXPECT_NEAR(c.r, 200, 8);
      EXPECT_EQ(c.g, 0);
      EXPECT_NEAR(c.b, 255, 8);
    }
  EXPECT_GT(tinted, 10);

  // Vertical text draws the turned cache graph cut to each glyph's box: its
  // ink stays in the column of the text.
  SetDrawBrightness(255, 255, 255);
  Clear();
  const int lineHeight = GetFontHandleRecord(texture)->lineHeight;
  const int length = GetTextWidthToHandle("縦A", -1, texture, 1);
  EXPECT_EQ(DrawTextToHandle(100, 2, "縦A", white, texture, 0, 1), 0);
  EXPECT_GT(Inked({100, 2, 100 + lineHeight, 2 + length}), 20);
  EXPECT_EQ(Inked({0, 0, 98, 64}) + Inked({102 + lineHeight, 0, 160, 64}) + Inked({0, 2 + length, 160, 64}), 0);
  EXPECT_EQ(DrawClipRect.right, 160);  // the area is put back
}

}  // namespace
