#include <gtest/gtest.h>
#include <unistd.h>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/image_load.h"
#include "tests/file/archive_fixture.h"
#include "tests/graphics/image_fixtures.h"

namespace {

// The log started in the scratch folder, the archive-aware file set with the
// extension "dat", and no memory or GDI object left behind.
class ImageLoadTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    SetFileFunctionTable(nullptr);
    ArchiveSetExtension("dat");
    blocks_ = TrackedBlockCount();
    gdiObjects_ = PlatformLiveGdiObjectCount();
  }
  void TearDown() override {
    CleanupArchives();
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    EXPECT_EQ(PlatformLiveGdiObjectCount(), gdiObjects_);
    FileTest::TearDown();
  }

 private:
  int32_t blocks_ = 0;
  int gdiObjects_ = 0;
};

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

Bytes Bmp8(int width, int height) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bits = 8;
  for (uint32_t i = 0; i < 256; ++i) layout.colors.push_back(i * 0x010101u);
  layout.pixels = PackRows(width, height, 8, false, [](int x, int y) { return static_cast<uint32_t>(10 * y + x); });
  return MakeBmp(layout);
}

Bytes GreyPng(int width, int height, uint8_t level) {
  PngLayout layout;
  layout.width = width;
  layout.height = height;
  layout.colorType = 0;
  layout.rows.assign(static_cast<size_t>(width) * height, level);
  return MakePng(layout);
}

// A file that is a 2 x 2 BMP and at once a 1 x 40 TGA: the TGA header's
// fields fall on the BMP's size, reserved and offset fields.
Bytes BmpThatIsAlsoTga() {
  Bytes out = {'B', 'M'};
  Put32(out, 2);           // file size; as TGA: image type 2, no colour map
  Put32(out, 0);           // reserved; as TGA: map length 0, x origin 0
  Put32(out, 65536);       // pixel offset; as TGA: y origin 0, width 1
  Put32(out, 0x00180028);  // header size 40; as TGA: height 40, 24 bits, bottom-up
  Put32(out, 2);
  Put32(out, 2);
  Put16(out, 1);
  Put16(out, 24);
  out.resize(54, 0);
  out.resize(65536, 0x11);  // the TGA's pixels lie in here
  Append(out, PackRows(2, 2, 24, false, [](int x, int y) { return Hash(x, y, 4) & 0xFFFFFF; }));
  return out;
}

int DecodeStream(const Bytes& bytes, GraphImage* image) {
  return DecodeBytes(DecodeImageStream, bytes, image);
}

TEST_F(ImageLoadTest, DecoderTableOrder) {
  GraphImage image;
  Bytes both = BmpThatIsAlsoTga();
  ASSERT_EQ(DecodeBytes(ReadTgaImage, both, &image), 0);
  EXPECT_EQ(image.width, 1);
  ReleaseGraphImage(&image);
  ASSERT_EQ(DecodeBytes(ReadBmpImage, both, &image), 0);
  ReleaseGraphImage(&image);
  ASSERT_EQ(DecodeStream(both, &image), 0);
  ExpectPixels(&image, 2, 2, [](int x, int y) { return Bmp24Colour(x, y, 4); });
  ReleaseGraphImage(&image);

  // Each format finds its decoder through the table.
  DdsLayout dds;
  dds.width = 3;
  dds.height = 2;
  dds.pixelFlags = 0x41;
  dds.rgbBits = 16;
  dds.masks[0] = 0xF800;
  dds.data.assign(12, 0);
  TgaLayout tga;
  tga.width = 3;
  tga.height = 2;
  tga.pixelBits = 16;
  tga.data.assign(12, 0);
  Bytes grey(6, 50);
  struct Format {
    const char* name;
    Bytes bytes;
    int colorBits;
  } formats[] = {
      {"BMP", Bmp24(3, 2, 1), 24},
      {"JPEG", MakeJpeg(3, 2, 1, grey), 8},
      {"PNG", GreyPng(3, 2, 9), 8},
      {"BGRA", MakeBgra(0x08080808, 3, 2, Bytes(24, 1)), 32},
      {"TGA", MakeTga(tga), 16},
      {"DDS", MakeDds(dds), 16},
  };
  for (const Format& f : formats) {
    SCOPED_TRACE(f.name);
    ASSERT_EQ(DecodeStream(f.bytes, &image), 0);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.format.colorBits, f.colorBits);
    ReleaseGraphImage(&image);
  }
  EXPECT_EQ(DecodeStream(Bytes(100, 0x5A), &image), -1);
  EXPECT_EQ(DecodeStream(Bytes{}, &image), -1);
}

// The decoders say nothing on the way through the table: neither while the
// others refuse a file, nor about a damaged file of their own, nor about a
// movie tried as a picture.
TEST_F(ImageLoadTest, DecodersKeepTheirMessagesToThemselves) {
  Bytes png = GreyPng(5, 4, 9);
  Bytes cutPng(png.begin(), png.begin() + 40);
  Bytes damagedPng = png;
  damagedPng[damagedPng.size() - 20] ^= 0x55;
  Bytes jpeg = MakeJpeg(3, 2, 1, Bytes(6, 50));
  Bytes cutJpeg(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  Bytes movie = {'O', 'g', 'g', 'S', 0, 2};
  movie.resize(300, 0x41);
  struct Case {
    const char* name;
    Bytes bytes;
    int result;
  } cases[] = {
      {"PNG", png, 0},           {"cut PNG", cutPng, -1}, {"damaged PNG", damagedPng, -1},
      {"JPEG", jpeg, 0},         {"cut JPEG", cutJpeg, -1}, {"movie", movie, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphImage image;
    testing::internal::CaptureStderr();
    const int result = DecodeStream(c.bytes, &image);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(said, "");
    if (result == 0) ReleaseGraphImage(&image);
  }
}

TEST_F(ImageLoadTest, AlphaImagesBesideFilesAndInMemory) {
  WriteFileBytes("face.png", Bmp24(3, 2, 1));  // the content decides, not the name
  WriteFileBytes("face_a.png", GreyPng(3, 2, 99));
  GraphImage rgb, alpha;
  ASSERT_EQ(LoadGraphImageFile("face.png", nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0, &alpha), 0);
  ExpectPixels(&rgb, 3, 2, [](int x, int y) { return Bmp24Colour(x, y, 1); });
  ExpectPixels(&alpha, 3, 2, [](int, int) { return Rgba{99, 99, 99, 0}; });
  ReleaseGraphImage(&rgb);
  ReleaseGraphImage(&alpha);

  // A dot in a folder name does not take the "_a".
  ASSERT_EQ(mkdir("chara.v2", 0755), 0);
  WriteFileBytes("chara.v2/face.bmp", Bmp24(3, 2, 2));
  WriteFileBytes("chara.v2/face_a.bmp", Bmp8(3, 2));
  ASSERT_EQ(LoadGraphImageFile("chara.v2\\face.bmp", nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0, &alpha),
            0);
  EXPECT_EQ(alpha.format.colorBits, 8);
  ReleaseGraphImage(&rgb);
  ReleaseGraphImage(&alpha);

  // Without its alpha image (or without asking for one) the colour image alone.
  ASSERT_EQ(unlink("face_a.png"), 0);
  for (int32_t mode : {AlphaImageFromFile, 2}) {
    std::memset(&alpha, 0x5A, sizeof alpha);
    ASSERT_EQ(LoadGraphImageFile("face.png", nullptr, 0, 0, nullptr, 0, mode, &rgb, 0, &alpha), 1);
    EXPECT_EQ(alpha.pixels, nullptr);
    EXPECT_EQ(rgb.width, 3);
    ReleaseGraphImage(&rgb);
  }
  EXPECT_EQ(LoadGraphImageFile("missing.png", nullptr, 0, 0, nullptr, 0, 0, &rgb, 0, &alpha), -1);

  // Both from memory; an alpha block that is no image gives 1.
  Bytes colour = Bmp24(2, 2, 3), mask = GreyPng(2, 2, 7), junk(40, 1);
  auto size = [](const Bytes& b) { return static_cast<int32_t>(b.size()); };
  ASSERT_EQ(LoadGraphImageFile(nullptr, colour.data(), size(colour), 1, mask.data(), size(mask), AlphaImageFromMemory,
                               &rgb, 0, &alpha),
            0);
  EXPECT_EQ(PixelAt(&alpha, 1, 1), (Rgba{7, 7, 7, 0}));
  ReleaseGraphImage(&rgb);
  ReleaseGraphImage(&alpha);
  ASSERT_EQ(LoadGraphImageFile(nullptr, colour.data(), size(colour), 1, junk.data(), size(junk), AlphaImageFromMemory,
                               &rgb, 0, &alpha),
            1);
  ReleaseGraphImage(&rgb);
}

TEST_F(ImageLoadTest, MembersOfArchives) {
  ArchiveNode tree = FolderNode("", {FolderNode("chara.v2", {FileNode("face.png", Bmp24(3, 2, 5)),
                                                             FileNode("face_a.png", GreyPng(3, 2, 42))})});
  WriteFileBytes("pack.dat", BuildImage(tree));
  GraphImage rgb, alpha;
  ASSERT_EQ(LoadGraphImageFile("pack\\chara.v2\\face.png", nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0,
                               &alpha),
            0);
  ExpectPixels(&rgb, 3, 2, [](int x, int y) { return Bmp24Colour(x, y, 5); });
  ExpectPixels(&alpha, 3, 2, [](int, int) { return Rgba{42, 42, 42, 0}; });
  ReleaseGraphImage(&rgb);
  ReleaseGraphImage(&alpha);
}

TEST_F(ImageLoadTest, AlphaImageNames) {
  struct NameCase {
    const char* name;
    const char* alpha;
  } cases[] = {
      {"face.png", "face_a.png"},
      {"C:\\media\\chara.v2\\face.png", "C:\\media\\chara.v2\\face_a.png"},
      {"media/x.y/face.tar.png", "media/x.y/face_a.tar.png"},
      {"noext", "noext_a"},
      {"dir.x\\noext", "dir.x\\noext_a"},
      {"\x82\x2E.png", "\x82\x2E_a.png"},    // 0x2E as a second byte is no dot
      {"x.y\x95\x5Cz", "x_a.y\x95\x5Cz"},    // 0x5C as a second byte is no separator
      {"dir\\\x95\x5C.bmp", "dir\\\x95\x5C_a.bmp"},
  };
  char out[260];
  for (const NameCase& c : cases) {
    ASSERT_EQ(MakeAlphaImageFileName(c.name, out), 0) << c.name;
    EXPECT_STREQ(out, c.alpha);
  }
  std::string longest(257, 'n');  // with "_a" and the terminator: 260 bytes
  ASSERT_EQ(MakeAlphaImageFileName(longest.c_str(), out), 0);
  EXPECT_EQ(std::string(out), longest + "_a");
  longest += "n";
  EXPECT_EQ(MakeAlphaImageFileName(longest.c_str(), out), -1);
  EXPECT_STREQ(out, "");
}

TEST_F(ImageLoadTest, MirroredLoads) {
  GraphImage image;
  Bytes bmp = Bmp24(3, 2, 6);
  ASSERT_EQ(LoadGraphImageOnly(nullptr, bmp.data(), static_cast<int32_t>(bmp.size()), 1, &image, 1), 0);
  ExpectPixels(&image, 3, 2, [](int x, int y) { return Bmp24Colour(2 - x, y, 6); });
  ReleaseGraphImage(&image);

  Bytes pal = Bmp8(5, 2);
  ASSERT_EQ(LoadGraphImageOnly(nullptr, pal.data(), static_cast<int32_t>(pal.size()), 1, &image, 1), 0);
  ExpectPixels(&image, 5, 2, [](int x, int y) { int v = 10 * y + 4 - x; return Rgba{v, v, v, 0}; });
  ReleaseGraphImage(&image);

  // Block data is decoded first; the mirrored copy holds one level.
  auto block = [](uint16_t colour) {
    return Bytes{255, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8), 0, 0, 0, 0, 0, 0};
  };
  DdsLayout dds;
  dds.fourCC = "DXT5";
  dds.width = dds.height = 8;
  dds.flags |= 0x20000;
  dds.mipCount = 4;
  dds.caps |= 0x400008;
  for (uint16_t c : {0xF800, 0x001F, 0xF800, 0x001F, 0xF800, 0xF800, 0xF800}) Append(dds.data, block(c));
  Bytes file = MakeDds(dds);
  ASSERT_EQ(LoadGraphImageOnly(nullptr, file.data(), static_cast<int32_t>(file.size()), 1, &image, 1), 0);
  EXPECT_EQ(image.format.compression, 0u);
  EXPECT_EQ(image.mipLevels, 0u);
  ExpectPixels(&image, 8, 8, [](int x, int) { return x < 4 ? Rgba{0, 0, 255, 255} : Rgba{255, 0, 0, 255}; });
  ReleaseGraphImage(&image);
}

// An image over pixels of the given format and pitch, filled with a pattern.
GraphImage MakeImage(const ColorFormat& format, int width, int height, int pitch) {
  GraphImage image{};
  image.format = format;
  image.width = width;
  image.height = height;
  image.pitch = pitch;
  image.pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch) * height));
  for (int i = 0; i < pitch * height; ++i) image.pixels[i] = static_cast<uint8_t>(Hash(i, 0, 2));
  return image;
}

TEST_F(ImageLoadTest, ImagesAsDibs) {
  ColorFormat pal8{}, rgb24{}, argb32{};
  SetColorFormatPal8(&pal8);
  for (int i = 0; i < 256; ++i) pal8.palette[i][0] = static_cast<uint8_t>(i);
  SetColorFormatRGB24(&rgb24);
  SetColorFormatARGB32(&argb32);
  struct DibCase {
    const char* name;
    const ColorFormat* format;
    int width, pitch, forceCopy, force24;
    int result, bitCount, rowBytes;
  } cases[] = {
      {"8-bit width 5", &pal8, 5, 5, 0, 0, 1, 8, 8},
      {"8-bit of the DIB's pitch", &pal8, 5, 8, 0, 0, 0, 8, 8},
      {"8-bit copy forced", &pal8, 8, 8, 1, 0, 1, 8, 8},
      {"8-bit as 24", &pal8, 3, 4, 0, 1, 1, 24, 12},
      {"RGB24 of the DIB's pitch", &rgb24, 4, 12, 0, 0, 0, 24, 12},
      {"RGB24 of a short pitch", &rgb24, 3, 9, 0, 0, 1, 24, 12},
      {"RGB24 of a wide pitch", &rgb24, 2, 20, 0, 0, 1, 24, 8},
      {"ARGB32", &argb32, 3, 12, 0, 0, 1, 24, 12},
  };
  for (const DibCase& c : cases) {
    SCOPED_TRACE(c.name);
    GraphImage image = MakeImage(*c.format, c.width, 3, c.pitch);
    DibHeaderBlock header;
    std::memset(&header, 0x77, sizeof header);
    void* bits = nullptr;
    ASSERT_EQ(GraphImageToDIB(&image, &header, &bits, c.forceCopy, c.force24), c.result);
    EXPECT_EQ(bits == image.pixels, c.result == 0);
    EXPECT_EQ(header.header.biSize, 40u);
    EXPECT_EQ(header.header.biWidth, c.width);
    EXPECT_EQ(header.header.biHeight, -3);
    EXPECT_EQ(header.header.biBitCount, c.bitCount);
    EXPECT_EQ(header.header.biCompression, BI_RGB);
    EXPECT_EQ(header.header.biClrUsed, 0u);
    if (c.bitCount == 8) {
      EXPECT_EQ(header.colors[200].rgbBlue, 200);
    }
    // Every pixel arrives in the DIB's rows.
    const auto* dib = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < c.width; ++x) {
        Rgba want = PixelAt(&image, x, y);
        const uint8_t* p = dib + y * c.rowBytes + x * (c.bitCount / 8);
        Rgba got = c.bitCount == 8 ? Rgba{pal8.palette[*p][2], pal8.palette[*p][1], pal8.palette[*p][0], 0}
                                   : Rgba{p[2], p[1], p[0], 0};
        want.a = 0;
        EXPECT_EQ(got, want) << x << "," << y;
      }
    }
    if (c.result == 1) TrackedFree(bits);
    ReleaseGraphImage(&image);
  }
  GraphImage blocks = MakeImage(argb32, 4, 4, 0);
  blocks.format.compression = 1;
  DibHeaderBlock header;
  void* bits = nullptr;
  EXPECT_EQ(GraphImageToDIB(&blocks, &header, &bits, 0, 0), -1);
  ReleaseGraphImage(&blocks);
}

// The section's pixel at (x, y) as bytes.
const uint8_t* SectionPixel(HBITMAP section, int x, int y, DIBSECTION* ds) {
  EXPECT_EQ(GetObjectA(section, sizeof *ds, ds), static_cast<int>(sizeof *ds));
  return static_cast<uint8_t*>(ds->dsBm.bmBits) + y * ds->dsBm.bmWidthBytes + x * ds->dsBm.bmBitsPixel / 8;
}

TEST_F(ImageLoadTest, FilesAsDibSections) {
  WriteFileBytes("grey.bmp", Bmp8(3, 2));
  WriteFileBytes("colour.bmp", Bmp24(3, 2, 8));
  DIBSECTION ds{};
  // 8-bit pictures stay 8-bit without a format.
  HBITMAP section = LoadImageFileToDIBSection("grey.bmp", 0, nullptr);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(*SectionPixel(section, 2, 1, &ds), 12);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 8);
  EXPECT_EQ(ds.dsBmih.biHeight, -2);
  DeleteObject(section);

  // A 16-bit format gives 565 bit fields; mirrored here.
  ColorFormat rgb565{};
  SetColorFormatFromMasks(&rgb565, 16, 0xF800, 0x7E0, 0x1F, 0);
  section = LoadImageFileToDIBSection("colour.bmp", 1, &rgb565);
  ASSERT_NE(section, nullptr);
  const uint8_t* p = SectionPixel(section, 0, 1, &ds);
  EXPECT_EQ(ds.dsBitfields[1], 0x7E0u);
  Rgba want = Bmp24Colour(2, 1, 8);
  EXPECT_EQ(p[0] | p[1] << 8, (want.r >> 3) << 11 | (want.g >> 2) << 5 | want.b >> 3);
  DeleteObject(section);

  // A 32-bit format with a 24-bit picture: the section is 24-bit and the
  // format says so; with an 8-bit picture it is 32-bit.
  ColorFormat xrgb{};
  SetColorFormatXRGB32(&xrgb);
  section = LoadImageFileToDIBSection("colour.bmp", 0, &xrgb);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(xrgb.colorBits, 24);
  p = SectionPixel(section, 1, 0, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  want = Bmp24Colour(1, 0, 8);
  EXPECT_EQ((Rgba{p[2], p[1], p[0], 0}), want);
  DeleteObject(section);
  SetColorFormatXRGB32(&xrgb);
  section = LoadImageFileToDIBSection("grey.bmp", 0, &xrgb);
  ASSERT_NE(section, nullptr);
  p = SectionPixel(section, 1, 1, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(p[0], 11);
  DeleteObject(section);

  Bytes memory = Bmp24(2, 2, 9);
  section = LoadImageToDIBSection(nullptr, memory.data(), static_cast<int32_t>(memory.size()), 1, 0, nullptr);
  ASSERT_NE(section, nullptr);
  DeleteObject(section);

  EXPECT_EQ(LoadImageFileToDIBSection("missing.bmp", 0, nullptr), nullptr);
  DibHeaderBlock empty{};
  empty.header.biSize = 40;
  empty.header.biBitCount = 24;
  uint8_t none[4] = {};
  EXPECT_EQ(CreateDIBGraph(&empty, none, 0, nullptr), nullptr);
  EXPECT_NE(Log().find("ＤＩＢの作成に失敗しました3"), std::string::npos);
}

}  // namespace
