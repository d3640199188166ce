#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/core/text_helpers.h"
#include "library/graphics/image_load.h"
#include "library/graphics/mem_img.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class GraphCreateTest : public GraphicsTest {};

Bytes Bmp24(int width, int height, uint32_t seed) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixels = PackRows(width, height, 24, false, [&](int x, int y) { return Hash(x, y, seed) & 0xFFFFFF; });
  return MakeBmp(layout);
}
Rgba Bmp24Colour(int x, int y, uint32_t seed) {
  uint32_t v = Hash(x, y, seed);
  return {static_cast<int>(v >> 16 & 255), static_cast<int>(v >> 8 & 255), static_cast<int>(v & 255), 0};
}

// Every pixel of the graph against the colour the pattern gives at
// (originX + x, originY + y), as the graph's depth keeps it.
void ExpectGraphPixels(ObjectHandle graph, int originX, int originY, const std::function<Rgba(int, int)>& colour) {
  const GraphRecord* record = GetGraphRecordChecked(graph);
  ASSERT_NE(record, nullptr);
  int failures = 0;
  for (int y = 0; y < record->height && failures < 5; ++y) {
    for (int x = 0; x < record->width && failures < 5; ++x) {
      Rgba want = Quantised(colour(originX + x, originY + y), record->image.buffer->depthKind);
      Rgba got = MemImgColour(&record->image, x, y);
      if (!record->image.buffer->alpha) want.a = 0;
      if (!(got == want)) {
        ADD_FAILURE() << "graph pixel " << x << "," << y << " is " << got << ", expected " << want;
        ++failures;
      }
    }
  }
}

TEST_F(GraphCreateTest, FilesFromDiskAndArchivesAtBothDepths) {
  WriteFileBytes("face.bmp", Bmp24(7, 5, 1));
  ArchiveNode tree = FolderNode("", {FolderNode("chara", {FileNode("Face.bmp", Bmp24(6, 3, 2))})});
  WriteFileBytes("pack.dat", BuildImage(tree));
  for (int bits : {16, 32}) {
    StartGraphics(bits);
    ObjectHandle disk = LoadGraphFile("face.bmp", 0);
    ObjectHandle packed = LoadGraphFile("pack\\chara\\face.bmp", 0);
    ASSERT_NE(disk, -1);
    ASSERT_NE(packed, -1);
    const GraphRecord* record = GetGraphRecordChecked(disk);
    EXPECT_EQ(record->width, 7);
    EXPECT_EQ(record->height, 5);
    EXPECT_EQ(record->image.buffer->depthKind, bits == 16 ? MemImgDepth16 : MemImgDepth32);
    EXPECT_EQ(record->surface->request.memoryImage, 1);
    EXPECT_EQ(record->surface->request.drawable, 1);
    ExpectGraphPixels(disk, 0, 0, [](int x, int y) { return Bmp24Colour(x, y, 1); });
    ExpectGraphPixels(packed, 0, 0, [](int x, int y) { return Bmp24Colour(x, y, 2); });

    // The name kept for the restore is the absolute path.
    char expected[1024];
    ASSERT_EQ(MakeFullPath("face.bmp", expected, nullptr), 0);
    EXPECT_STREQ(record->fileName->Path(), expected);
    StopGraphics();
  }
  // The creation depth overrides the screen's.
  StartGraphics(16);
  SetGraphCreateBitDepth(32);
  ObjectHandle wide = LoadGraphFile("face.bmp", 0);
  EXPECT_EQ(GetGraphRecordChecked(wide)->image.buffer->depthKind, MemImgDepth32);
}

TEST_F(GraphCreateTest, AlphaImagesAndPalettes) {
  StartGraphics(32);
  PngLayout png;
  png.width = 3;
  png.height = 2;
  png.colorType = 6;
  for (int i = 0; i < 6; ++i) png.rows.insert(png.rows.end(), {uint8_t(40 * i), 7, 9, uint8_t(50 * i)});
  WriteFileBytes("glow.png", MakePng(png));
  ObjectHandle glow = LoadGraphFile("glow.png", 0);
  ASSERT_NE(glow, -1);
  EXPECT_EQ(GetGraphRecordChecked(glow)->image.buffer->alpha, 1);
  ExpectGraphPixels(glow, 0, 0, [](int x, int y) {
    int i = y * 3 + x;
    return Rgba{40 * i, 7, 9, 50 * i};
  });

  // An alpha image beside a plain image gives the graph its alpha.
  WriteFileBytes("pic.bmp", Bmp24(3, 2, 3));
  PngLayout grey;
  grey.width = 3;
  grey.height = 2;
  grey.colorType = 0;
  grey.rows = {0, 10, 20, 30, 40, 250};
  WriteFileBytes("pic_a.bmp", MakePng(grey));
  ObjectHandle pic = LoadGraphFile("pic.bmp", 0);
  ExpectGraphPixels(pic, 0, 0, [](int x, int y) {
    Rgba c = Bmp24Colour(x, y, 3);
    c.a = y * 30 + x * 10 + (x == 2 && y == 1 ? 200 : 0);
    return c;
  });

  // An 8-bit image keeps its indices; its transparent colour is the index
  // whose entry is the transparent colour (black).
  BmpLayout bmp;
  bmp.width = 4;
  bmp.height = 2;
  bmp.bits = 8;
  for (uint32_t i = 0; i < 256; ++i) bmp.colors.push_back(i == 5 ? 0 : 0x010203u * (i + 1));
  bmp.pixels = PackRows(4, 2, 8, false, [](int x, int y) { return static_cast<uint32_t>(x + 4 * y); });
  WriteFileBytes("indexed.bmp", MakeBmp(bmp));
  ObjectHandle indexed = LoadGraphFile("indexed.bmp", 0);
  const MEMIMG* image = &GetGraphRecordChecked(indexed)->image;
  EXPECT_EQ(image->buffer->paletted, 1);
  EXPECT_EQ(image->buffer->transColor, 5u);
  EXPECT_EQ(RawPixel(image, 3, 1), 7u);
}

TEST_F(GraphCreateTest, DividedGraphsAreCutRowByRowAndShareOneSurface) {
  StartGraphics(16);
  WriteFileBytes("cells.bmp", Bmp24(16, 12, 4));
  ObjectHandle cells[10];
  ASSERT_EQ(LoadDividedGraph("cells.bmp", 10, 4, 3, 4, 4, cells, 0), 0);
  EXPECT_EQ(GraphHandleTable.count, 10u);  // the whole-image graph is gone
  const GraphRecord* first = GetGraphRecordChecked(cells[0]);
  for (int n = 0; n < 10; ++n) {
    const GraphRecord* cell = GetGraphRecordChecked(cells[n]);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->surface, first->surface);
    EXPECT_EQ(cell->fileName, first->fileName);
    EXPECT_EQ(cell->sourceX, n % 4 * 4);
    EXPECT_EQ(cell->sourceY, n / 4 * 4);
    ExpectGraphPixels(cells[n], n % 4 * 4, n / 4 * 4, [](int x, int y) { return Bmp24Colour(x, y, 4); });
  }
  EXPECT_EQ(first->surface->referenceCount, 10u);
  EXPECT_EQ(first->fileName->referenceCount, 10u);

  // Asking for more cells than the grid holds fills the grid; the rest read -1.
  ObjectHandle more[14];
  std::fill(std::begin(more), std::end(more), 12345);
  ASSERT_EQ(LoadDividedGraph("cells.bmp", 14, 4, 3, 4, 4, more, 0), 0);
  for (int n = 0; n < 14; ++n) EXPECT_EQ(IsGraphHandleValid(more[n]), n < 12 ? 1 : 0) << n;
  EXPECT_EQ(more[12], -1);
  EXPECT_EQ(more[13], -1);
}

TEST_F(GraphCreateTest, MirroredDivisionKeepsCellNumbers) {
  StartGraphics(32);
  // 10 pixels across, cut into two cells of 4: the mirrored image starts its
  // first cell at its right end, so cell 0 is the mirror of columns 0 to 3.
  GraphImage rgb{};
  WriteFileBytes("strip.bmp", Bmp24(10, 2, 5));
  GraphImage alpha{};
  ASSERT_EQ(LoadGraphImageFile("strip.bmp", nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0, &alpha), 1);
  MirrorGraphImage(&rgb);
  ObjectHandle cells[2];
  ASSERT_EQ(CreateDivGraphFromGraphImage(&rgb, nullptr, 2, 2, 1, 4, 2, cells, 1, 1, 0), 0);
  for (int n = 0; n < 2; ++n) {
    ExpectGraphPixels(cells[n], 0, 0, [n](int x, int y) { return Bmp24Colour(4 * n + 3 - x, y, 5); });
  }
  ReleaseGraphImage(&rgb);
}

TEST_F(GraphCreateTest, FailedCreationsLeaveNoGraphs) {
  StartGraphics(16);
  WriteFileBytes("cells.bmp", Bmp24(16, 12, 4));
  WriteFileBytes("notes.txt", TextBytes(100));
  ObjectHandle keep = LoadGraphFile("cells.bmp", 0);
  const uint32_t live = GraphHandleTable.count;

  EXPECT_EQ(LoadGraphFile("missing.png", 0), -1);
  EXPECT_NE(Log().find("グラフィックファイル missing.png がありません"), std::string::npos);
  EXPECT_EQ(LoadGraphFile("notes.txt", 0), -1);
  EXPECT_NE(Log().find("右記のグラフィックファイルのロードに失敗しました：notes.txt \r\n"), std::string::npos);

  // A failed division writes -1 to every handle, made or not.
  struct Case {
    const char* file;
    int count, xcount, ycount, w, h;
  } cases[] = {{"missing.bmp", 3, 3, 1, 4, 4}, {"cells.bmp", 16, 4, 4, 4, 4}, {"cells.bmp", 2, 2, 1, 4, 99}};
  for (const Case& c : cases) {
    std::vector<ObjectHandle> handles(c.count, keep);
    EXPECT_EQ(LoadDividedGraph(c.file, c.count, c.xcount, c.ycount, c.w, c.h, handles.data(), 0),
              c.h == 99 ? 0 : -1);
    if (c.h == 99) continue;  // cells cut at the image's bottom
    for (ObjectHandle h : handles) EXPECT_EQ(h, -1) << c.file;
    EXPECT_EQ(GraphHandleTable.count, live);
  }
  FreeAllGraphs(0);

  // A surface that cannot be made takes its graph with it.
  EXPECT_EQ(CreateEmptyGraph(200000, 200000), -1);
  EXPECT_EQ(CreateEmptyGraph(-1, 5), -1);
  EXPECT_EQ(GraphHandleTable.count, 0u);
  GraphicsInitialised = 0;
  EXPECT_EQ(LoadGraphFile("cells.bmp", 0), -1);
  GraphicsInitialised = 1;
}

TEST_F(GraphCreateTest, PartGraphsShareTheirSourcesPixels) {
  StartGraphics(32);
  WriteFileBytes("pic.bmp", Bmp24(10, 8, 6));
  ObjectHandle source = LoadGraphFile("pic.bmp", 0);
  ObjectHandle part = CreateGraphPart(6, 2, 9, 3, source);
  ASSERT_NE(part, -1);
  const GraphRecord* record = GetGraphRecordChecked(part);
  EXPECT_EQ(record->width, 4);  // cut at the source's right edge
  EXPECT_EQ(record->height, 3);
  EXPECT_EQ(CreateGraphPart(10, 0, 1, 1, source), -1);
  EXPECT_EQ(CreateGraphPart(0, -1, 1, 1, source), -1);
  ObjectHandle inner = CreateGraphPart(1, 1, 2, 2, part);
  EXPECT_EQ(GetGraphRecordChecked(inner)->surfaceX, 7);
  EXPECT_EQ(GetGraphRecordChecked(inner)->sourceY, 3);

  // Pixels written through the source show in the part, which outlives it.
  MEMIMG* whole = &GetGraphRecordChecked(source)->image;
  const PixelRect cell = {7, 3, 8, 4};
  FillMemImgRect(whole, &cell, 0x00ABCDEF);
  FreeGraph(source);
  EXPECT_EQ(RawPixel(&record->image, 1, 1), 0x00ABCDEFu);
  EXPECT_EQ(RawPixel(&GetGraphRecordChecked(inner)->image, 0, 0), 0x00ABCDEFu);
  ExpectGraphPixels(part, 6, 2, [](int x, int y) {
    return x == 7 && y == 3 ? Rgba{0xAB, 0xCD, 0xEF, 0} : Bmp24Colour(x, y, 6);
  });
}

TEST_F(GraphCreateTest, EmptyGraphsAndReloads) {
  StartGraphics(16);
  ObjectHandle empty = CreateEmptyGraph(5, 4);
  ASSERT_NE(empty, -1);
  ExpectGraphPixels(empty, 0, 0, [](int, int) { return Rgba{0, 0, 0, 0}; });
  SetEmptyGraphAlphaFlag(1);
  EXPECT_EQ(GetGraphRecordChecked(CreateEmptyGraph(2, 2))->image.buffer->alpha, 1);

  Bytes file = Bmp24(5, 4, 7);
  EXPECT_EQ(ReloadGraphFromMemoryImage(file.data(), static_cast<int32_t>(file.size()), empty, 0), 0);
  ExpectGraphPixels(empty, 0, 0, [](int x, int y) { return Bmp24Colour(x, y, 7); });
  EXPECT_EQ(ReloadGraphFromMemoryImage(file.data(), static_cast<int32_t>(file.size()), empty, 1), 0);
  ExpectGraphPixels(empty, 0, 0, [](int x, int y) { return Bmp24Colour(4 - x, y, 7); });
  Bytes other = Bmp24(4, 4, 7);
  EXPECT_EQ(ReloadGraphFromMemoryImage(other.data(), static_cast<int32_t>(other.size()), empty, 0), -1);
  EXPECT_EQ(ReloadGraphFromMemoryImage(file.data(), 10, empty, 0), -1);
  EXPECT_EQ(ReloadGraphFromMemoryImage(file.data(), static_cast<int32_t>(file.size()), BackScreenHandle, 0), -1);
}

// The run table describes the pixels as loaded; once the graph is drawn
// into, filled or reloaded in part, it must not be used again.
TEST_F(GraphCreateTest, WritesDropTheRunTable) {
  StartGraphics(16);
  WriteFileBytes("pic.bmp", Bmp24(8, 8, 8));
  ObjectHandle target = LoadGraphFile("pic.bmp", 0);
  ObjectHandle brush = LoadGraphFile("pic.bmp", 0);
  MemImgBuffer* buffer = GetGraphRecordChecked(target)->image.buffer;
  ASSERT_EQ(buffer->hasRunTable, 1);
  ASSERT_EQ(SelectDrawTarget(target), 0);
  G_Soft_DrawGraph(2, 2, 1, GetGraphRecordChecked(brush));
  EXPECT_EQ(buffer->hasRunTable, 0);
  EXPECT_EQ(GetGraphRecordChecked(brush)->image.buffer->hasRunTable, 1);

  // A whole reload builds it again.
  Bytes file = Bmp24(8, 8, 9);
  ASSERT_EQ(ReloadGraphFromMemoryImage(file.data(), static_cast<int32_t>(file.size()), target, 0), 0);
  EXPECT_EQ(buffer->hasRunTable, 1);
}

// A graph with a transparent colour is drawn span by span from what it
// keeps of its pixels as loaded; once it has been drawn into, it is drawn
// from its pixels as they are.
TEST_F(GraphCreateTest, KeyedGraphsDrawnIntoAreDrawnFromTheirNewPixels) {
  StartGraphics(32);
  GraphCreateSettings.transColor = 0xFF00FF;
  // 64 x 6: the left half the transparent colour, the right half a pattern.
  BmpLayout keyed;
  keyed.width = 64;
  keyed.height = 6;
  keyed.pixels = PackRows(64, 6, 24, false, [](int x, int y) { return x < 32 ? 0xFF00FFu : Hash(x, y, 3) | 0x010000; });
  WriteFileBytes("keyed.bmp", MakeBmp(keyed));
  WriteFileBytes("cover.bmp", Bmp24(64, 6, 4));
  ObjectHandle sprite = LoadGraphFile("keyed.bmp", 0);
  ObjectHandle cover = LoadGraphFile("cover.bmp", 0);
  ASSERT_NE(sprite, -1);
  ASSERT_NE(cover, -1);
  ASSERT_EQ(SelectDrawTarget(BackScreenHandle), 0);
  G_Soft_DrawGraph(0, 0, 1, GetGraphRecordChecked(sprite));
  G_Soft_DrawGraph(0, 10, 1, GetGraphRecordChecked(sprite));
  // Drawn into: every pixel of the sprite now the cover's (none the key).
  ASSERT_EQ(SelectDrawTarget(sprite), 0);
  G_Soft_DrawGraph(0, 0, 0, GetGraphRecordChecked(cover));
  ASSERT_EQ(SelectDrawTarget(BackScreenHandle), 0);
  G_Soft_DrawGraph(0, 20, 1, GetGraphRecordChecked(sprite));
  const MEMIMG* screen = DrawDestMemImg;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 64; ++x) {
      Rgba want = Bmp24Colour(x, y, 4);
      want.a = 0;
      Rgba got = MemImgColour(screen, x, 20 + y);
      got.a = 0;
      ASSERT_EQ(got, want) << x << "," << y;
    }
}

TEST_F(GraphCreateTest, TextureColourFormats) {
  const struct {
    uint8_t alpha, trans;
    int wide;
    uint8_t drawable;
    uint16_t bits;
    uint32_t alphaMask, redMask;
  } cases[] = {
      {0, 0, 0, 0, 16, 0, 0xF800},      {0, 0, 1, 0, 32, 0, 0xFF0000},      {1, 0, 0, 0, 16, 0xF000, 0x0F00},
      {1, 1, 1, 0, 32, 0xFF000000, 0xFF0000}, {0, 1, 0, 0, 16, 0x8000, 0x7C00},
      {0, 0, 0, 1, 16, 0, 0xF800},      {0, 1, 0, 1, 32, 0xFF000000, 0xFF0000},
  };
  for (const auto& c : cases) {
    const ColorFormat* f = GetTextureColorFormat(c.alpha, c.trans, c.wide, c.drawable);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->colorBits, c.bits);
    EXPECT_EQ(f->alphaMask, c.alphaMask);
    EXPECT_EQ(f->redMask, c.redMask);
  }
  GraphFormatRequest dxt{};
  dxt.compression = 3;
  EXPECT_EQ(ChooseTextureColorFormat(&dxt), GetTextureColorFormat14(8));
  EXPECT_EQ(GetTextureColorFormat14(14), nullptr);
}

}  // namespace
