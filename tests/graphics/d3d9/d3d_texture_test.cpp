// Texture pieces: sizes cut into power-of-two textures within the device's
// limit, the pieces a graph's rectangle overlaps, and image pixels written
// into them (edge texels, block-compressed data, mip levels).
#include <cstring>

#include "library/graphics/d3d9/d3d_texture.h"
#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

class D3DTextureTest : public D3DTest {
 protected:
  // The raw texel of a piece's texture (read through its staging copy).
  static uint32_t Texel(const TexturePiece* p, int x, int y, UINT level = 0) {
    IDirect3DTexture9* t = p->staging != nullptr ? p->staging : p->texture;
    D3DLOCKED_RECT locked{};
    EXPECT_GE(t->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), 0);
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(level, &desc);
    const int bytes = desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8 ? 4 : 2;
    uint32_t v = 0;
    std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(y) * locked.Pitch + x * bytes, bytes);
    t->UnlockRect(level);
    return v;
  }
  // The texel a pixel of the image becomes in the surface's format.
  static uint32_t Expected(const GraphSurface* s, GraphImage* image, int x, int y) {
    int32_t r, g, b, a;
    GetGraphImagePixel(image, x, y, &r, &g, &b, &a);
    const ColorFormat* f = SurfaceTextureColorFormat(s);
    const bool key = s->request.transparentColor && (static_cast<uint32_t>(r) << 16 | g << 8 | b) == s->transparentColor;
    return MakeFormatColor(f, r, g, b, key ? 0 : 255);
  }
  // An XRGB image of a pattern without black pixels.
  static void Pattern(GraphImage* image, int w, int h, uint32_t seed) {
    ASSERT_EQ(CreateGraphImage(w, h, image), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t v = Hash(x, y, seed) | 0x808080;
        SetGraphImagePixel(image, x, y, v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF, 255);
      }
  }
  static D3D9AdapterSetup Limited(DWORD side) {
    D3D9AdapterSetup a = D3D9FullAdapter();
    a.caps.MaxTextureWidth = a.caps.MaxTextureHeight = side;
    return a;
  }
};

TEST_F(D3DTextureTest, SizesAreCutIntoPowerOfTwoPieces) {
  struct Case {
    int32_t limit, size, single;
    std::vector<int32_t> pieces;
  };
  const Case cases[] = {
      {256, 5, 0, {8}},
      {256, 9, 0, {16}},
      {256, 200, 0, {256}},
      {256, 300, 0, {256, 32, 16}},
      {256, 300, 1, {256, 32, 16}},
      {256, 600, 0, {256, 256, 64, 16, 8}},
      {256, 640, 0, {256, 256, 128}},
      {256, 1000, 0, {256, 256, 256, 256}},
      {2048, 300, 0, {512}},
      {2048, 640, 0, {512, 128}},
      {2048, 640, 1, {1024}},
      {2048, 1000, 0, {1024}},
      // A limit that is no power of two is taken as the power of two below it.
      {3000, 1000, 0, {1024}},
      {3000, 5000, 0, {2048, 2048, 1024}},
  };
  const int32_t limit = MaxTextureSize, width = ScreenWidth;
  ScreenWidth = 640;
  for (const Case& c : cases) {
    MaxTextureSize = c.limit;
    int32_t out[32];
    const int32_t n = SplitTextureSize(c.size, out, c.single);
    EXPECT_EQ(std::vector<int32_t>(out, out + n), c.pieces) << c.limit << " " << c.size;
    int32_t largest = 0;
    for (int32_t i = 0; i < n; ++i) largest = std::max(largest, out[i]);
    EXPECT_LE(largest, c.limit);
  }
  MaxTextureSize = limit;
  ScreenWidth = width;
}

// A 640 x 480 image with textures up to 2048 on a 640 x 480 screen: 512 x
// 512 and 128 x 512 (the width is not below the screen's and is cut).
TEST_F(D3DTextureTest, AScreenSizedImageTakesTwoPieces) {
  StartOn(Limited(2048), 16, 640, 480);
  const ObjectHandle graph = CreateEmptyGraph(640, 480);
  const GraphSurface* s = GetGraphRecordChecked(graph)->surface;
  ASSERT_EQ(s->pieceCount, 2);
  EXPECT_EQ(s->pieces[0].textureWidth, 512);
  EXPECT_EQ(s->pieces[0].textureHeight, 512);
  EXPECT_EQ(s->pieces[1].textureWidth, 128);
  EXPECT_EQ(s->pieces[1].x, 512);
  EXPECT_EQ(s->pieces[1].width, 128);
  EXPECT_EQ(s->pieces[1].height, 480);
}

// A graph larger than the device's largest texture is cut into pieces no
// larger than it, each written with its own part of the image and its edge
// texels; a part graph draws only the pieces it overlaps.
TEST_F(D3DTextureTest, ALargeGraphIsCutAndEveryPieceHoldsItsPart) {
  StartOn(Limited(256), 16, 640, 480);
  GraphImage image{};
  Pattern(&image, 600, 300, 7);
  const ObjectHandle graph = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
  ASSERT_NE(graph, -1);
  for (const D3D9CallRecord& r : D3D9JournalOf(D3D9Call::CreateTexture)) {
    EXPECT_LE(r.args[0], 256u);
    EXPECT_LE(r.args[1], 256u);
    EXPECT_EQ(r.result, D3D_OK);
  }
  const GraphRecord* g = GetGraphRecordChecked(graph);
  const GraphSurface* s = g->surface;
  ASSERT_EQ(s->pieceCount, 15);  // widths 256, 256, 64, 16, 8; heights 256, 32, 16
  EXPECT_EQ(g->drawPieceCount, 15);
  for (int32_t i = 0; i < s->pieceCount; ++i) {
    const TexturePiece* p = &s->pieces[i];
    SCOPED_TRACE(testing::Message() << "piece at " << p->x << "," << p->y);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{p->width - 1, 0}, std::pair{p->width / 2, p->height - 1},
                               std::pair{p->width - 1, p->height - 1}})
      EXPECT_EQ(Texel(p, x, y), Expected(s, &image, p->x + x, p->y + y));
    // The edge texels repeat the last column and row.
    if (p->width < p->textureWidth) {
      EXPECT_EQ(Texel(p, p->width, 1), Expected(s, &image, p->x + p->width - 1, p->y + 1));
    }
    if (p->height < p->textureHeight) {
      EXPECT_EQ(Texel(p, 1, p->height), Expected(s, &image, p->x + 1, p->y + p->height - 1));
    }
    if (p->width < p->textureWidth && p->height < p->textureHeight) {
      EXPECT_EQ(Texel(p, p->width, p->height), Expected(s, &image, p->x + p->width - 1, p->y + p->height - 1));
    }
  }

  // A part across the first seam: two draw pieces, the first from inside its texture.
  const ObjectHandle part = CreateGraphPart(250, 10, 20, 5, graph);
  const GraphRecord* pr = GetGraphRecordChecked(part);
  ASSERT_EQ(pr->drawPieceCount, 2);
  const GraphDrawPiece& a = pr->drawPieces[0];
  const GraphDrawPiece& b = pr->drawPieces[1];
  EXPECT_EQ(a.destX, 0);
  EXPECT_EQ(a.srcX, 250);
  EXPECT_EQ(a.srcY, 10);
  EXPECT_EQ(a.width, 6);
  EXPECT_EQ(b.destX, 6);
  EXPECT_EQ(b.srcX, 0);
  EXPECT_EQ(b.width, 14);
  EXPECT_FLOAT_EQ(a.corners[0].u, 250.0f / 256.0f);
  EXPECT_FLOAT_EQ(b.corners[3].x, 20.0f);
  EXPECT_FLOAT_EQ(b.corners[3].v, 15.0f / 256.0f);
  ReleaseGraphImage(&image);
}

// A 30 x 30 image in a 32 x 32 texture: column 29 repeated into column 30,
// row 29 into row 30, the corner from the last pixel.
TEST_F(D3DTextureTest, EdgeTexelsRepeatTheImagesLastPixels) {
  StartOn(D3D9FullAdapter(), 32, 640, 480);
  GraphImage image{};
  Pattern(&image, 30, 30, 3);
  const ObjectHandle graph = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
  const GraphSurface* s = GetGraphRecordChecked(graph)->surface;
  const TexturePiece* p = &s->pieces[0];
  ASSERT_EQ(p->textureWidth, 32);
  for (int y = 0; y < 30; y += 7) EXPECT_EQ(Texel(p, 30, y), Texel(p, 29, y));
  for (int x = 0; x < 30; x += 7) EXPECT_EQ(Texel(p, x, 30), Texel(p, x, 29));
  EXPECT_EQ(Texel(p, 30, 30), Texel(p, 29, 29));
  EXPECT_EQ(Texel(p, 31, 31), 0u) << "beyond the edge texels the texture stays cleared";
  ReleaseGraphImage(&image);
}

// DXT1 data of 4 x 4 blocks, two colours each.
void Dxt1Image(GraphImage* image, int w, int h) {
  std::memset(image, 0, sizeof *image);
  SetColorFormatFromMasks(&image->format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  image->format.colorBits = 4;
  image->format.compression = 1;
  image->width = w;
  image->height = h;
  const int64_t size = CompressedLevelSize(1, w, h);
  image->pixels = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(size), __FILE__, __LINE__));
  for (int64_t i = 0; i < size; i += 8) {
    const uint16_t c0 = static_cast<uint16_t>(0xF800 | (i & 0x7E0)), c1 = 0x001F;
    std::memcpy(image->pixels + i, &c0, 2);
    std::memcpy(image->pixels + i + 2, &c1, 2);
    image->pixels[i + 4] = 0x1B;  // indices 3, 2, 1, 0 in the first row
  }
}

// Block data goes in as it is only where it is a whole texture: an image
// that is padded or cut takes the plain format of its kind and is decoded,
// never copied past a texture's size.
TEST_F(D3DTextureTest, BlockDataFitsATextureOnlyAsAWhole) {
  StartOn(Limited(256), 32, 640, 480);
  GraphImage exact{};
  Dxt1Image(&exact, 8, 8);
  std::vector<uint8_t> blocks(exact.pixels, exact.pixels + 32);
  const ObjectHandle a = BuildGraphFromGraphImage(&exact, nullptr, 0, 0, 0);
  const GraphSurface* sa = GetGraphRecordChecked(a)->surface;
  EXPECT_EQ(TextureD3DFormats[sa->textureFormatIndex], D3DFMT_DXT1);
  {
    IDirect3DTexture9* t = sa->pieces[0].staging;
    D3DLOCKED_RECT locked{};
    ASSERT_GE(t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), 0);
    EXPECT_EQ(std::memcmp(locked.pBits, blocks.data(), 16), 0);
    EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(locked.pBits) + locked.Pitch, blocks.data() + 16, 16), 0);
    t->UnlockRect(0);
  }
  // A plain image cannot go into a block texture: logged, contents kept.
  GraphImage plain{};
  Pattern(&plain, 8, 8, 1);
  const PixelRect whole = {0, 0, 8, 8};
  EXPECT_EQ(TransferImageToGraphTexture(a, &whole, 0, 0, &plain, nullptr, 1, 0), 0);
  EXPECT_TRUE(LogHas("DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません"));

  for (const auto& [w, h] : {std::pair{12, 12}, std::pair{520, 8}}) {
    SCOPED_TRACE(w);
    GraphImage image{}, decoded{};
    Dxt1Image(&image, w, h);
    Dxt1Image(&decoded, w, h);
    ASSERT_EQ(DecodeCompressedGraphImage(&decoded), 0);
    const ObjectHandle g = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
    ASSERT_NE(g, -1);
    const GraphSurface* s = GetGraphRecordChecked(g)->surface;
    EXPECT_EQ(TextureD3DFormats[s->textureFormatIndex], TextureD3DFormats[4]);
    for (int32_t i = 0; i < s->pieceCount; ++i) {
      const TexturePiece* p = &s->pieces[i];
      EXPECT_LE(p->textureWidth, 256);
      for (int y = 0; y < p->height; y += 3)
        for (int x = 0; x < p->width; x += 5) {
          int32_t r, gr, b, al;
          GetGraphImagePixel(&decoded, p->x + x, p->y + y, &r, &gr, &b, &al);
          int32_t r2, g2, b2, a2;
          SplitFormatColor(SurfaceTextureColorFormat(s), Texel(p, x, y), &r2, &g2, &b2, &a2);
          EXPECT_EQ(r2 >> 3, r >> 3) << x << "," << y;
          EXPECT_EQ(b2 >> 3, b >> 3) << x << "," << y;
        }
    }
    ReleaseGraphImage(&image);
    ReleaseGraphImage(&decoded);
  }
  ReleaseGraphImage(&exact);
  ReleaseGraphImage(&plain);
}

// An image with fewer levels than its texture: each further level is the
// half of the one before.
TEST_F(D3DTextureTest, MipLevelsAreReducedFromTheImage) {
  StartOn(D3D9FullAdapter(), 32, 640, 480);
  GraphImage image{};
  Pattern(&image, 16, 16, 9);
  const ObjectHandle graph = AllocGraphHandle();
  SetGraphTransColorFlag(0);
  ASSERT_EQ(SetupGraphSurface(3, graph, 16, 16, 0, 0, 0), 0);
  SetGraphTransColorFlag(1);
  const GraphSurface* s = GetGraphRecordChecked(graph)->surface;
  ASSERT_EQ(s->pieces[0].texture->GetLevelCount(), 3u);
  ASSERT_EQ(TransferGraphImageToGraph(nullptr, &image, nullptr, 0, 0, graph, 0), 0);
  const TexturePiece* p = &s->pieces[0];
  for (UINT level = 1; level < 3; ++level) {
    const int step = 1 << level;
    int32_t sum[3] = {0, 0, 0};
    const ColorFormat* f = SurfaceTextureColorFormat(s);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        int32_t c[3];
        SplitFormatColor(f, Texel(p, 2 + x, 2 + y, level - 1), &c[0], &c[1], &c[2], nullptr);
        for (int k = 0; k < 3; ++k) sum[k] += c[k];
      }
    int32_t got[3];
    SplitFormatColor(f, Texel(p, 1, 1, level), &got[0], &got[1], &got[2], nullptr);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(got[k], sum[k] / 4) << "level " << level << " step " << step;
  }
  ReleaseGraphImage(&image);
}

}  // namespace
