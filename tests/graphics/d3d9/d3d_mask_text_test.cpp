// The mask screen and the text cache on the Direct3D stand-in: the mask
// bytes in the mask texture's alpha, a draw through the mask screen and its
// write-back, and glyphs drawn from the font's cache graph, their pixels
// transferred into it from the cache's base image.
#include <cstring>

#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/mask_screen.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

class D3DMaskTextTest : public D3DTest {
 protected:
  void SetUp() override {
    D3DTest::SetUp();
    StartOnBackScreen();
  }
  // The top byte of a mask texel.
  static uint8_t MaskTexel(int x, int y) {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    IDirect3DTexture9* t = G_D3D_MaskImageTexture(&format);
    EXPECT_EQ(format, D3DFMT_A8R8G8B8);
    D3DLOCKED_RECT locked{};
    EXPECT_GE(t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), 0);
    const uint8_t v = static_cast<uint8_t*>(locked.pBits)[static_cast<int64_t>(y) * locked.Pitch + x * 4 + 3];
    t->UnlockRect(0);
    return v;
  }
};

TEST_F(D3DMaskTextTest, TheMaskBytesAreTheMaskTexturesAlpha) {
  D3D9ClearRecords();
  MakeMaskScreen();
  EXPECT_EQ(Sent(D3D9Call::CreateTexture, {1024, 512, 1, D3DFMT_A8R8G8B8}), 1);
  EXPECT_EQ(Sent(D3D9Call::CreateTexture, {1024, 512, 1, D3DFMT_X8R8G8B8}), 1);
  const ObjectHandle mask = CreateMaskData(5, 3);
  MaskRecord& record = MaskTable[mask & 0xFFFF];
  for (int i = 0; i < 5; ++i) record.bytes[record.pitch + i] = static_cast<uint8_t>(0x10 * (i + 1));
  // Partly outside the area: only the visible part, from its offset.
  SetDrawClipArea(0, 0, 102, 480);
  ASSERT_EQ(DrawMaskData(100, 200, mask, 2), 0);
  EXPECT_EQ(MaskTexel(100, 201), 0x10);
  EXPECT_EQ(MaskTexel(101, 201), 0x20);
  EXPECT_EQ(MaskTexel(102, 201), 0);
  EXPECT_EQ(MaskTexel(100, 200), 0);
  SetDrawClipArea(0, 0, 640, 480);
  PaintMaskScreen(1);
  EXPECT_EQ(MaskTexel(0, 0), 0xFF);
  EXPECT_EQ(MaskTexel(639, 479), 0xFF);
  EXPECT_EQ(MaskTexel(640, 0), 0) << "beyond the screen the texture stays clear";
  PaintMaskScreen(0);
  EXPECT_EQ(MaskTexel(639, 479), 0);
}

// A draw through the mask screen: the target's rectangle copied onto the
// mask screen, the draw made there, and the rectangle drawn back where the
// mask's alpha is 0 (nested brackets copy and write back once).
TEST_F(D3DMaskTextTest, DrawsGoThroughTheMaskScreen) {
  MakeMaskScreen();
  D3D9ClearRecords();
  BeginMaskScreenDraw({0, 0, 640, 480});  // an outer bracket: the inner ones do nothing
  EndMaskScreenDraw({0, 0, 640, 480});
  D3D9ClearRecords();
  ASSERT_EQ(FillRectangleShape(40, 30, 80, 50, MakeScreenColor(255, 0, 0)), 0);
  EXPECT_EQ(Sent(D3D9Call::StretchRect, {}), 1);
  const std::vector<D3D9DrawRecord>& draws = D3D9Draws();
  ASSERT_EQ(draws.size(), 2u);
  const uint32_t backBuffer = D3D9ObjectId(D3DBackBuffer);
  EXPECT_NE(draws[0].state.renderTarget, backBuffer) << "the box goes into the mask screen";
  const D3D9DrawRecord& back = draws[1];
  EXPECT_EQ(back.state.renderTarget, backBuffer);
  EXPECT_EQ(back.type, D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(back.primitiveCount, 2u);
  EXPECT_EQ(back.state.renderStates[D3DRS_ALPHATESTENABLE], 1u);
  EXPECT_EQ(back.state.renderStates[D3DRS_ALPHAFUNC], D3DCMP_EQUAL);
  EXPECT_EQ(back.state.renderStates[D3DRS_ALPHAREF], 0u);
  EXPECT_EQ(back.state.renderStates[D3DRS_ALPHABLENDENABLE], 0u);
  D3DFORMAT format;
  EXPECT_EQ(back.state.textures[1], D3D9ObjectId(G_D3D_MaskImageTexture(&format)));
  EXPECT_NE(back.state.textures[0], 0u);
  EXPECT_EQ(back.state.textureStageStates[1][D3DTSS_ALPHAOP], D3DTOP_SELECTARG1);
  EXPECT_EQ(back.state.textureStageStates[1][D3DTSS_ALPHAARG1], D3DTA_TEXTURE);
  BatchVertexTextured v[4];
  std::memcpy(v, back.vertices.data(), sizeof v);
  EXPECT_EQ(v[0].x, 39.5f);
  EXPECT_EQ(v[3].y, 49.5f);
  EXPECT_FLOAT_EQ(v[0].u, 40.0f / 1024.0f);
  EXPECT_FLOAT_EQ(v[3].v, 50.0f / 512.0f);
  // The states come back for the next draw, into the mask screen again.
  EXPECT_EQ(D3D9CurrentState()->renderStates[D3DRS_ALPHATESTENABLE], 0u);
  EXPECT_EQ(D3D9CurrentState()->textures[1], 0u);
  EXPECT_EQ(CurrentRenderTarget, D3D9CurrentState() != nullptr ? CurrentRenderTarget : nullptr);
  EXPECT_NE(D3D9CurrentState()->renderTarget, backBuffer);
  EnableMaskScreen(0);
  EXPECT_EQ(D3D9CurrentState()->renderTarget, backBuffer);
}

// Glyphs come from the font's cache graph: transferred from its base image
// into the texture at their cells, then drawn as regions of it.
TEST_F(D3DMaskTextTest, TextIsDrawnFromTheCacheGraph) {
  const ObjectHandle font = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, -1, -1, -1);
  const FontHandleRecord* f = GetFontHandleRecord(font);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->textureCache, 1);
  D3D9ClearRecords();
  ASSERT_EQ(DrawTextToHandle(10, 20, "A", MakeScreenColor(255, 128, 0), font, 0, 0), 0);
  G_D3D_FlushVertexBatch();
  const GlyphSlot* slot = f->codes['A'].slot;
  ASSERT_NE(slot, nullptr);
  const GraphRecord* sheet = GetGraphRecordChecked(f->glyphGraph);
  const TexturePiece* piece = sheet->drawPieces[0].piece;
  ASSERT_EQ(D3D9Draws().size(), 1u);
  const D3D9DrawRecord& d = D3D9Draws()[0];
  EXPECT_EQ(d.state.textures[0], D3D9ObjectId(piece->texture));
  BatchVertexTextured v[6];
  std::memcpy(v, d.vertices.data(), sizeof v);
  EXPECT_EQ(v[0].diffuse, 0xFFFF8000u) << "the text colour as the brightness";
  int32_t cx = 0, cy = 0;
  GlyphCellOrigin(f, slot->cellIndex, &cx, &cy);
  // The sheet is cut by the area narrowed to the glyph: its left edge lands
  // on the glyph's first pixel with the centre of the cell's first texel.
  EXPECT_FLOAT_EQ(v[0].u, (static_cast<float>(cx) + 0.5f) / static_cast<float>(piece->textureWidth));
  EXPECT_FLOAT_EQ(v[3].x - v[0].x, static_cast<float>(slot->width));
  // The cell's texels are the base image's.
  const ColorFormat* format = SurfaceTextureColorFormat(sheet->surface);
  D3DLOCKED_RECT locked{};
  ASSERT_GE(piece->staging->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), 0);
  int covered = 0;
  for (int y = 0; y < slot->height; ++y)
    for (int x = 0; x < slot->width; ++x) {
      uint16_t texel = 0, base = 0;
      std::memcpy(&texel, static_cast<uint8_t*>(locked.pBits) + (cy + y) * locked.Pitch + (cx + x) * 2, 2);
      std::memcpy(&base, f->basePixels + (cy + y) * f->basePitch + (cx + x) * 2, 2);
      EXPECT_EQ(texel, base) << x << "," << y;
      covered += (texel & format->alphaMask) != 0;
    }
  piece->staging->UnlockRect(0);
  EXPECT_GT(covered, 10);
}

}  // namespace
