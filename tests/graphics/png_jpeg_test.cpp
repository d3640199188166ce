#include <gtest/gtest.h>

#include "library/core/memory.h"
#include "library/softrender/simd_ops.h"
#include "tests/graphics/image_fixtures.h"

namespace {

// Samples packed into rows of `bits` bits each, rows padded to whole bytes.
Bytes PackSamples(int width, int height, int perPixel, int bits, const std::function<uint32_t(int, int, int)>& sample) {
  Bytes out;
  for (int y = 0; y < height; ++y) {
    uint32_t acc = 0;
    int filled = 0;
    for (int x = 0; x < width; ++x) {
      for (int s = 0; s < perPixel; ++s) {
        uint32_t v = sample(x, y, s);
        if (bits == 16) {
          out.push_back(static_cast<uint8_t>(v >> 8));
          out.push_back(static_cast<uint8_t>(v));
          continue;
        }
        acc = acc << bits | v;
        filled += bits;
        if (filled == 8) {
          out.push_back(static_cast<uint8_t>(acc));
          acc = 0;
          filled = 0;
        }
      }
    }
    if (filled != 0) out.push_back(static_cast<uint8_t>(acc << (8 - filled)));
  }
  return out;
}

struct PngCase {
  const char* name;
  uint8_t colorType, bitDepth;
  int perPixel;
  bool palette;
  Bytes trns;
  int pixelBytes;  // of the decoded image
  std::function<uint32_t(int, int, int)> sample;
  std::function<Rgba(int, int)> colour;
};

const uint8_t kPalette[] = {10, 20, 30, 200, 100, 50, 0, 255, 7};  // three entries

Rgba PaletteColour(int index, int alpha = 0) {
  return {kPalette[3 * index], kPalette[3 * index + 1], kPalette[3 * index + 2], alpha};
}

TEST(PngDecoder, EveryColourTypeAndDepth) {
  auto index = [](int x, int y, int) { return static_cast<uint32_t>((x + 2 * y) % 3); };
  auto grey2 = [](int x, int y, int) { return static_cast<uint32_t>((x + y) % 4); };
  auto wide = [](int x, int y, int s) { return Hash(x, y, s) & 0xFFFF; };
  auto bytes = [](int x, int y, int s) { return Hash(x, y, s + 10) & 0xFF; };
  const PngCase cases[] = {
      {"palette", 3, 8, 1, true, {}, 1, index, [&](int x, int y) { return PaletteColour(index(x, y, 0)); }},
      {"4-bit palette", 3, 4, 1, true, {}, 1, index, [&](int x, int y) { return PaletteColour(index(x, y, 0)); }},
      {"palette with transparency", 3, 8, 1, true, {0, 128}, 4, index,
       [&](int x, int y) {
         int i = static_cast<int>(index(x, y, 0));
         return PaletteColour(i, i == 0 ? 0 : i == 1 ? 128 : 255);
       }},
      {"16-bit RGB", 2, 16, 3, false, {}, 3, wide,
       [&](int x, int y) {
         return Rgba{static_cast<int>(wide(x, y, 0) >> 8), static_cast<int>(wide(x, y, 1) >> 8),
                     static_cast<int>(wide(x, y, 2) >> 8), 0};
       }},
      {"RGBA", 6, 8, 4, false, {}, 4, bytes,
       [&](int x, int y) {
         return Rgba{static_cast<int>(bytes(x, y, 0)), static_cast<int>(bytes(x, y, 1)),
                     static_cast<int>(bytes(x, y, 2)), static_cast<int>(bytes(x, y, 3))};
       }},
      {"RGB with a transparent colour", 2, 8, 3, false, {0, 7, 0, 8, 0, 9}, 4,
       [](int x, int, int s) { return x == 1 ? static_cast<uint32_t>(7 + s) : 50u; },
       [](int x, int) { return x == 1 ? Rgba{7, 8, 9, 0} : Rgba{50, 50, 50, 255}; }},
      {"2-bit grey", 0, 2, 1, false, {}, 1, grey2,
       [&](int x, int y) {
         int v = static_cast<int>(grey2(x, y, 0)) * 85;
         return Rgba{v, v, v, 0};
       }},
      {"16-bit grey", 0, 16, 1, false, {}, 1, wide,
       [&](int x, int y) {
         int v = static_cast<int>(wide(x, y, 0) >> 8);
         return Rgba{v, v, v, 0};
       }},
      // Grey pictures keep their transparency: the second byte is alpha.
      {"grey with alpha", 4, 8, 2, false, {}, 2, bytes,
       [&](int x, int y) {
         int v = static_cast<int>(bytes(x, y, 0));
         return Rgba{v, v, v, static_cast<int>(bytes(x, y, 1))};
       }},
      {"grey with a transparent level", 0, 8, 1, false, {0, 77}, 2,
       [](int x, int y, int) { return static_cast<uint32_t>((x + y) % 2 == 0 ? 77 : 200); },
       [](int x, int y) { return (x + y) % 2 == 0 ? Rgba{77, 77, 77, 0} : Rgba{200, 200, 200, 255}; }},
      {"4-bit grey with a transparent level", 0, 4, 1, false, {0, 3}, 2,
       [](int x, int, int) { return static_cast<uint32_t>(x % 2 == 0 ? 3 : 15); },
       [](int x, int) { return x % 2 == 0 ? Rgba{51, 51, 51, 0} : Rgba{255, 255, 255, 255}; }},
  };
  for (const PngCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int width = 5, height = 3;
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorType = c.colorType;
    layout.bitDepth = c.bitDepth;
    layout.rows = PackSamples(width, height, c.perPixel, c.bitDepth, c.sample);
    if (c.palette) layout.palette.assign(std::begin(kPalette), std::end(kPalette));
    layout.trns = c.trns;
    GraphImage image;
    ASSERT_EQ(DecodeBytes(ReadPngImage, MakePng(layout), &image), 0);
    EXPECT_EQ(image.format.bytesPerPixel, c.pixelBytes);
    EXPECT_EQ(image.pitch, width * c.pixelBytes);
    ExpectPixels(&image, width, height, c.colour);
    if (c.pixelBytes == 1 && c.palette) {  // a 256-entry palette, zero past the file's entries
      EXPECT_EQ(image.format.palette[3][0] | image.format.palette[3][1] | image.format.palette[255][2], 0);
    }
    ReleaseGraphImage(&image);
  }
}

// Colour pictures come out blue, green, red (and alpha) at every row length,
// interlaced or not, on both instruction sets.
TEST(PngDecoder, ColourRowsOfEveryLength) {
  auto bytes = [](int x, int y, int s) { return Hash(x, y, s + 20) & 0xFF; };
  const bool hadAvx2 = BlitUseAvx2;
  for (bool avx2 : {false, true}) {
    BlitUseAvx2 = avx2 && hadAvx2;
    for (int type : {2, 6, 22})  // RGB, RGBA, RGB with a transparent colour
      for (int width : {1, 5, 6, 7, 8, 9, 15, 16, 17, 33, 40})
        for (bool interlaced : {false, true}) {
          SCOPED_TRACE(testing::Message() << "type " << type << " width " << width << " interlaced " << interlaced
                                          << " avx2 " << BlitUseAvx2);
          const int height = 9, perPixel = type == 6 ? 4 : 3;
          PngLayout layout;
          layout.width = static_cast<uint32_t>(width);
          layout.height = height;
          layout.colorType = type == 6 ? 6 : 2;
          layout.interlaced = interlaced;
          layout.rows = PackSamples(width, height, perPixel, 8, bytes);
          if (type == 22) layout.trns = {0, static_cast<uint8_t>(bytes(2, 3, 0)), 0,
                                         static_cast<uint8_t>(bytes(2, 3, 1)), 0, static_cast<uint8_t>(bytes(2, 3, 2))};
          GraphImage image;
          ASSERT_EQ(DecodeBytes(ReadPngImage, MakePng(layout), &image), 0);
          EXPECT_EQ(image.format.bytesPerPixel, type == 2 ? 3 : 4);
          ExpectPixels(&image, width, height, [&](int x, int y) {
            const int alpha = type == 2 ? 0 : type == 6 ? static_cast<int>(bytes(x, y, 3))
                              : bytes(x, y, 0) == bytes(2, 3, 0) && bytes(x, y, 1) == bytes(2, 3, 1) &&
                                      bytes(x, y, 2) == bytes(2, 3, 2)
                                  ? 0
                                  : 255;
            return Rgba{static_cast<int>(bytes(x, y, 0)), static_cast<int>(bytes(x, y, 1)),
                        static_cast<int>(bytes(x, y, 2)), alpha};
          });
          ReleaseGraphImage(&image);
        }
  }
  BlitUseAvx2 = hadAvx2;
}

TEST(PngDecoder, DamagedFilesAreRefused) {
  PngLayout layout;
  layout.width = 4;
  layout.height = 4;
  layout.rows = PackSamples(4, 4, 3, 8, [](int x, int y, int s) { return Hash(x, y, s) & 0xFF; });
  Bytes good = MakePng(layout);
  GraphImage image;
  ASSERT_EQ(DecodeBytes(ReadPngImage, good, &image), 0);
  ReleaseGraphImage(&image);

  const int32_t blocks = TrackedBlockCount();
  Bytes badCrc = good;
  badCrc[29] ^= 1;  // the IHDR checksum
  Bytes cut(good.begin(), good.end() - 20);
  Bytes huge(good.begin(), good.begin() + 8);  // 100000 x 100000 with a matching checksum
  Bytes header;
  Put32Be(header, 100000);
  Put32Be(header, 100000);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(huge, "IHDR", header);
  huge.insert(huge.end(), good.begin() + 33, good.end());
  for (const Bytes* bytes : {&badCrc, &cut, &huge}) {
    EXPECT_EQ(DecodeBytes(ReadPngImage, *bytes, &image), -1);
  }
  EXPECT_EQ(DecodeBytes(ReadPngImage, Bytes{}, &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST(JpegDecoder, ColourGreyAndInk) {
  GraphImage image;
  // Colour: smooth ramps survive the compression nearly unchanged.
  const int width = 16, height = 8;
  auto ramp = [](int x, int y) { return Rgba{x * 16, y * 32, 128, 0}; };
  Bytes rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) rgb.insert(rgb.end(), {uint8_t(x * 16), uint8_t(y * 32), 128});
  }
  ASSERT_EQ(DecodeBytes(ReadJpegImage, MakeJpeg(width, height, 3, rgb), &image), 0);
  EXPECT_EQ(image.format.colorBits, 24);
  EXPECT_EQ(image.pitch, width * 3);
  ExpectPixels(&image, width, height, ramp, false, 4);
  ReleaseGraphImage(&image);

  // Grey of an odd width: the pitch is the width.
  Bytes grey;
  for (int i = 0; i < 5 * 3; ++i) grey.push_back(static_cast<uint8_t>(i * 17));
  ASSERT_EQ(DecodeBytes(ReadJpegImage, MakeJpeg(5, 3, 1, grey), &image), 0);
  EXPECT_EQ(image.format.colorBits, 8);
  EXPECT_EQ(image.format.bytesPerPixel, 1);
  EXPECT_EQ(image.pitch, 5);
  ExpectPixels(&image, 5, 3, [](int x, int y) { int v = (y * 5 + x) * 17; return Rgba{v, v, v, 0}; }, true, 3);
  ReleaseGraphImage(&image);

  // Four components are ink, stored inverted under the Adobe marker: they
  // come out as colour, not as 4-byte rows called RGB.
  Bytes ink;
  for (int i = 0; i < 8 * 8; ++i) ink.insert(ink.end(), {255, 0, 255, 255});
  ASSERT_EQ(DecodeBytes(ReadJpegImage, MakeJpeg(8, 8, 4, ink), &image), 0);
  EXPECT_EQ(image.format.colorBits, 24);
  EXPECT_EQ(image.pitch, 8 * 3);
  ExpectPixels(&image, 8, 8, [](int, int) { return Rgba{255, 0, 255, 0}; }, false, 3);
  ReleaseGraphImage(&image);
}

TEST(JpegDecoder, CutAndEmptyStreams) {
  Bytes rgb(32 * 32 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(Hash(static_cast<int>(i), 0, 1));
  Bytes good = MakeJpeg(32, 32, 3, rgb, 90);
  GraphImage image;
  // A cut file yields what it holds: the rest is decoded as if it ended there.
  Bytes cut(good.begin(), good.begin() + static_cast<long>(good.size() * 2 / 3));
  ASSERT_EQ(DecodeBytes(ReadJpegImage, cut, &image), 0);
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
  ReleaseGraphImage(&image);

  const int32_t blocks = TrackedBlockCount();
  EXPECT_EQ(DecodeBytes(ReadJpegImage, Bytes{}, &image), -1);
  EXPECT_EQ(DecodeBytes(ReadJpegImage, Bytes(good.begin(), good.begin() + 100), &image), -1);
  EXPECT_EQ(DecodeBytes(ReadJpegImage, MakeBgra(0x08080808, 1, 1, {1, 2, 3, 4}), &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

// The JPEG's frame size set to width x height, and the file cut right after
// the header of its first scan: no coded data at all.
Bytes DeclareAndCutAtScan(Bytes jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF) continue;
    const uint8_t marker = jpeg[i + 1];
    const size_t length = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
    if (marker == 0xC0 || marker == 0xC2) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
    } else if (marker == 0xDA) {
      jpeg.resize(i + 2 + length);
      return jpeg;
    }
    i += 1 + length;
  }
  ADD_FAILURE() << "no scan";
  return jpeg;
}

// A few hundred bytes declaring 65283 x 962 pixels with no coded data used to
// be accepted as a 188 MB picture after seconds of inserted end markers. A
// file whose data ends early is decoded on as if it ended there only while
// the picture is small beside the file (4 MB, or 64 bytes a file byte);
// otherwise it is refused as soon as its data runs out, having held memory
// only for the rows its data reached.
TEST(JpegDecoder, AFileEndingEarlyNeverStandsForAHugePicture) {
  Bytes rgb(16 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(Hash(static_cast<int>(i), 1, 2));
  const Bytes cut = DeclareAndCutAtScan(MakeJpeg(16, 16, 3, rgb, 50), 65283, 962);
  EXPECT_LT(cut.size(), 700u);
  const int32_t blocks = TrackedBlockCount();
  const int32_t bytes = TrackedTotalSize();
  GraphImage image;
  EXPECT_EQ(DecodeBytes(ReadJpegImage, cut, &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  EXPECT_EQ(TrackedTotalSize(), bytes);

  // The same cut with a picture small beside it still yields its picture.
  const Bytes small = DeclareAndCutAtScan(MakeJpeg(16, 16, 3, rgb, 50), 200, 120);
  ASSERT_EQ(DecodeBytes(ReadJpegImage, small, &image), 0);
  EXPECT_EQ(image.width, 200);
  EXPECT_EQ(image.height, 120);
  ReleaseGraphImage(&image);

  // A progressive picture keeps every coefficient until its last scan: the
  // whole-picture buffers are bounded too.
  const Bytes progressive = MakeJpeg(16, 16, 3, rgb, 50, true);
  EXPECT_EQ(DecodeBytes(ReadJpegImage, DeclareAndCutAtScan(progressive, 65283, 962), &image), -1);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

}  // namespace
