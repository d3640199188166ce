// Glyphs rendered with FreeType directly, as the GDI font stand-in should
// give them: the same font file and pixel size, the glyph hinted from its
// outline for the monochrome target (plain) or the normal one (grey),
// emboldened by one pixel and sheared for italic, and grey coverage scaled
// to the format's levels.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi_font.h"

// One pixel a byte: 0 or 1 for plain glyphs, the level for grey ones.
struct ReferenceGlyph {
  int32_t width = 0, height = 0;
  int32_t left = 0, top = 0;  // black box from the pen on the baseline, y up
  int32_t advance = 0;
  bool blank = false;  // no outline: a 1 x 1 box without pixels
  std::vector<uint8_t> pixels;
  uint8_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class FreeTypeReference {
 public:
  FreeTypeReference(const char* faceName, int height, bool bold = false, bool italic = false)
      : bold_(bold), italic_(italic) {
    EXPECT_EQ(FT_Init_FreeType(&library_), 0);
    EXPECT_EQ(FT_New_Face(library_, PlatformFontFileForFace(faceName), 0, &face_), 0);
    if (face_ != nullptr) {
      EXPECT_EQ(FT_Set_Char_Size(face_, 0, PlatformFontCharSize26_6(faceName, height), 72, 72), 0);
    }
  }
  ~FreeTypeReference() {
    if (face_ != nullptr) FT_Done_Face(face_);
    FT_Done_FreeType(library_);
  }
  FreeTypeReference(const FreeTypeReference&) = delete;
  FreeTypeReference& operator=(const FreeTypeReference&) = delete;

  // levels 0: one bit a pixel; else coverage scaled to 0..levels. A code
  // point of 0 renders the default glyph.
  ReferenceGlyph Render(uint32_t codePoint, int levels) const {
    ReferenceGlyph g;
    const FT_UInt index = codePoint == 0 ? 0 : FT_Get_Char_Index(face_, codePoint);
    const bool mono = levels == 0;
    EXPECT_EQ(FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL)), 0);
    FT_GlyphSlot slot = face_->glyph;
    if (bold_) FT_Outline_EmboldenXY(&slot->outline, 64, 0);
    if (italic_) {
      FT_Matrix shear = {0x10000, 0x366A, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
    g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6) + (bold_ ? 1 : 0);
    if (slot->outline.n_contours == 0) {
      g.blank = true;
      return g;
    }
    EXPECT_EQ(FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL), 0);
    const FT_Bitmap& b = slot->bitmap;
    g.width = static_cast<int32_t>(b.width);
    g.height = static_cast<int32_t>(b.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.pixels.resize(static_cast<size_t>(g.width) * g.height);
    for (int32_t y = 0; y < g.height; ++y)
      for (int32_t x = 0; x < g.width; ++x) {
        const uint8_t* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
        g.pixels[static_cast<size_t>(y) * g.width + x] =
            mono ? (row[x >> 3] >> (7 - (x & 7)) & 1) : static_cast<uint8_t>((row[x] * levels + 127) / 255);
      }
    return g;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  bool bold_, italic_;
};
