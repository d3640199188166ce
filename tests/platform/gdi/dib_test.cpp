#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

// A BITMAPINFO with room for a full colour table.
struct Info {
  BITMAPINFOHEADER header{};
  RGBQUAD colors[256]{};
  Info(int32_t width, int32_t height, uint16_t bits, uint32_t compression = BI_RGB) {
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = compression;
  }
  void SetMasks(uint32_t r, uint32_t g, uint32_t b) {
    uint32_t masks[3] = {r, g, b};
    std::memcpy(colors, masks, sizeof masks);
  }
  const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// A memory context with a section selected, released at the end.
struct Target {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP section = nullptr;
  uint8_t* bits = nullptr;
  HBITMAP old = nullptr;
  explicit Target(const Info& info) {
    void* p = nullptr;
    section = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint8_t*>(p);
    old = SelectObject(dc, section);
  }
  ~Target() {
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
  }
  uint32_t Pixel24(int x, int y, int rowBytes) const {
    const uint8_t* p = bits + y * rowBytes + 3 * x;
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
  }
};

TEST(Dib, SectionsTheirLayoutsAndLifetimes) {
  const int live = PlatformLiveGdiObjectCount();
  {
    Info info(5, -3, 24);
    Target t(info);
    ASSERT_NE(t.section, nullptr);
    EXPECT_EQ(t.old, nullptr);
    for (int i = 0; i < 16 * 3; ++i) EXPECT_EQ(t.bits[i], 0);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectA(t.section, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidth, 5);
    EXPECT_EQ(ds.dsBm.bmHeight, 3);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(ds.dsBm.bmBits, t.bits);
    EXPECT_EQ(ds.dsBmih.biHeight, -3);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(t.section, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(GetObjectA(t.section, sizeof bm - 1, &bm), 0);
  }
  Info bitfields16(2, 2, 16, BI_BITFIELDS);
  bitfields16.SetMasks(0xF800, 0x7E0, 0x1F);
  Info refused[] = {Info(0, 2, 24), Info(2, 0, 24), Info(2, 2, 1), Info(2, 2, 4), Info(2, 2, 24, BI_BITFIELDS),
                    Info(2, 2, 8, BI_RLE8), Info(2, 2, 12)};
  for (const Info& info : refused) {
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  // A bitmap deleted while selected stays usable until its context lets go.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, bitfields16.get(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  SelectObject(dc, bitmap);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(bitmap));
  uint8_t source[8] = {0, 0, 0xFF, 0};  // one 24-bit red pixel
  Info one(1, 1, 24);
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 1, 1, 0, 0, 0, 1, source + 0, one.get(), DIB_RGB_COLORS), 1);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(PlatformLiveGdiObjectCount(), live);
}

TEST(Dib, BlitsConvertEverySourceLayout) {
  // A 3 x 2 source in each layout, bottom-up, every pixel its own colour:
  // top row red, green, blue; bottom row white, black, grey.
  const uint32_t colours[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0x808080}};
  struct Source {
    const char* name;
    Info info;
    std::vector<uint8_t> bits;
    uint32_t grey;  // what grey arrives as
  };
  Info pal8(3, 2, 8);
  Info pal4(3, 2, 4);
  Info pal1(3, 2, 1);
  const uint32_t table[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
  for (int i = 0; i < 6; ++i) {
    RGBQUAD q{static_cast<BYTE>(table[i]), static_cast<BYTE>(table[i] >> 8), static_cast<BYTE>(table[i] >> 16), 0};
    pal8.colors[i] = pal4.colors[i] = q;
  }
  Info rgb555(3, 2, 16);
  Info rgb565(3, 2, 16, BI_BITFIELDS);
  rgb565.SetMasks(0xF800, 0x7E0, 0x1F);
  Info xrgb(3, 2, 32);
  Info xbgr(3, 2, 32, BI_BITFIELDS);
  xbgr.SetMasks(0xFF, 0xFF00, 0xFF0000);
  Source sources[] = {
      {"8-bit", pal8, {3, 4, 5, 0, 0, 1, 2, 0}, 0x808080},
      {"4-bit", pal4, {0x34, 0x50, 0, 0, 0x01, 0x20, 0, 0}, 0x808080},
      {"24-bit", Info(3, 2, 24), {255, 255, 255, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0},
       0x808080},
      {"16-bit 555", rgb555, {0xFF, 0x7F, 0, 0, 0x10, 0x42, 0, 0, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0, 0, 0}, 0x838383},
      {"16-bit 565", rgb565, {0xFF, 0xFF, 0, 0, 0x10, 0x84, 0, 0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0, 0, 0}, 0x838183},
      {"32-bit", xrgb, {255, 255, 255, 9, 0, 0, 0, 9, 0x80, 0x80, 0x80, 9, 0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9},
       0x808080},
      {"32-bit bit fields", xbgr, {255, 255, 255, 9, 0, 0, 0, 9, 0x80, 0x80, 0x80, 9, 255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9},
       0x808080},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    Info section(3, -2, 24);
    Target t(section);
    ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 3, 2, 0, 0, 0, 2, s.bits.data(), s.info.get(), DIB_RGB_COLORS), 2);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        uint32_t want = colours[y][x] == 0x808080 ? s.grey : colours[y][x];
        EXPECT_EQ(t.Pixel24(x, y, 12), want) << x << "," << y;
      }
    }
  }
  // A 1-bit source: its two entries.
  pal1.colors[1] = RGBQUAD{1, 2, 3, 0};
  uint8_t oneBit[8] = {0xA0, 0, 0, 0, 0x40, 0, 0, 0};  // bottom row 1 0 1, top row 0 1 0
  Info section(3, -2, 24);
  Target t(section);
  ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 3, 2, 0, 0, 0, 2, oneBit, pal1.get(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(t.Pixel24(1, 0, 12), 0x030201u);
  EXPECT_EQ(t.Pixel24(0, 0, 12), 0u);
  EXPECT_EQ(t.Pixel24(0, 1, 12), 0x030201u);
}

// Wide blits between 16- and 32-bit layouts convert through tables made once
// a blit; every pixel must come out as the narrow blits (pixel by pixel) make
// it: every 16-bit value, and 32-bit values across every channel level, into
// sections of the other size, whole and in strips of 8 columns, with the
// source partly outside the target.
TEST(Dib, WideBlitsConvertEveryValueAsNarrowOnesDo) {
  struct Layout {
    const char* name;
    uint16_t bits;
    uint32_t masks[3];  // all zero: BI_RGB
  };
  const Layout layouts[] = {{"555", 16, {}},
                            {"565", 16, {0xF800, 0x7E0, 0x1F}},
                            {"xrgb", 32, {}},
                            {"xbgr", 32, {0xFF, 0xFF00, 0xFF0000}},
                            {"10-bit", 32, {0x3FF00000, 0xFFC00, 0x3FF}}};
  auto infoOf = [](const Layout& l, int32_t width, int32_t height) {
    Info info(width, height, l.bits, l.masks[0] != 0 ? BI_BITFIELDS : BI_RGB);
    if (l.masks[0] != 0) info.SetMasks(l.masks[0], l.masks[1], l.masks[2]);
    return info;
  };
  constexpr int kSize = 256;
  for (const Layout& from : layouts) {
    // Every 16-bit value once; 32-bit pixels spread over all bits.
    std::vector<uint8_t> source(static_cast<size_t>(kSize) * kSize * from.bits / 8);
    for (uint32_t i = 0; i < kSize * kSize; ++i) {
      const uint32_t v = from.bits == 16 ? i : i * 0x9E3779B1u;
      std::memcpy(&source[static_cast<size_t>(i) * from.bits / 8], &v, from.bits / 8);
    }
    const Info sourceInfo = infoOf(from, kSize, kSize);
    for (const Layout& to : layouts) {
      if (to.bits == from.bits) continue;
      SCOPED_TRACE(std::string(from.name) + " to " + to.name);
      const Info sectionInfo = infoOf(to, kSize, -kSize);
      Target wide(sectionInfo), narrow(sectionInfo);
      ASSERT_EQ(SetDIBitsToDevice(wide.dc, -3, 0, kSize, kSize, 0, 0, 0, kSize, source.data(), sourceInfo.get(),
                                  DIB_RGB_COLORS),
                kSize);
      for (int x = 0; x < kSize; x += 8)
        ASSERT_EQ(SetDIBitsToDevice(narrow.dc, x - 3, 0, 8, kSize, x, 0, 0, kSize, source.data(), sourceInfo.get(),
                                    DIB_RGB_COLORS),
                  kSize);
      const size_t bytes = static_cast<size_t>(kSize) * kSize * to.bits / 8;
      EXPECT_EQ(std::memcmp(wide.bits, narrow.bits, bytes), 0);
      // The three columns left of the target stay out; the last three stay black.
      const uint8_t* lastColumns = wide.bits + (kSize - 3) * to.bits / 8;
      for (int i = 0; i < 3 * to.bits / 8; ++i) EXPECT_EQ(lastColumns[i], 0) << i;
    }
  }
}

// A source with a colour table drawn into an 8-bit section: an index whose
// entry holds the same colour in both tables stays (duplicate entries
// included), any other takes the section's nearest entry. The map is made
// once a blit; a picture drawn into a section of its own palette used to
// search the table for every pixel (seconds for a wide run-length picture).
TEST(Dib, PalettedSourcesKeepTheirIndicesOrTakeTheNearestEntry) {
  Info pal(4, -2, 8);
  pal.header.biClrUsed = 6;
  const RGBQUAD table[6] = {{0, 0, 0, 0}, {0, 0, 200, 0}, {0, 200, 0, 0}, {0, 0, 0, 0}, {200, 0, 0, 0}, {9, 9, 9, 0}};
  std::memcpy(pal.colors, table, sizeof table);
  // Index 3 repeats black; 7 lies past the table and reads as black.
  const uint8_t indices[8] = {0, 1, 3, 5, 4, 7, 2, 3};
  {
    Target t(pal);
    ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 4, 2, 0, 0, 0, 2, indices, pal.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(std::vector<uint8_t>(t.bits, t.bits + 8), (std::vector<uint8_t>{0, 1, 3, 5, 4, 0, 2, 3}));
    // Mirrored: pixel by pixel through the same map.
    ASSERT_EQ(StretchDIBits(t.dc, 0, 0, 4, 2, 3, 0, -4, 2, indices, pal.get(), DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(std::vector<uint8_t>(t.bits, t.bits + 8), (std::vector<uint8_t>{5, 3, 1, 0, 3, 2, 0, 4}));
  }
  // Another table: every index to the nearest entry of the section's.
  Info other(4, -2, 8);
  other.header.biClrUsed = 3;
  const RGBQUAD near[3] = {{10, 10, 10, 0}, {0, 0, 180, 0}, {190, 0, 0, 0}};
  std::memcpy(other.colors, near, sizeof near);
  {
    Target t(other);
    ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 4, 2, 0, 0, 0, 2, indices, pal.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(std::vector<uint8_t>(t.bits, t.bits + 8), (std::vector<uint8_t>{0, 1, 0, 0, 2, 0, 0, 0}));
  }
  // A 4-bit source into a section of the same colours.
  Info nibbles(4, -1, 4);
  nibbles.header.biClrUsed = 6;
  std::memcpy(nibbles.colors, table, sizeof table);
  const uint8_t packed[4] = {0x14, 0x52, 0, 0};
  {
    Target t(pal);
    ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 4, 1, 0, 0, 0, 1, packed, nibbles.get(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(std::vector<uint8_t>(t.bits, t.bits + 4), (std::vector<uint8_t>{1, 4, 5, 2}));
  }
}

TEST(Dib, SectionLayoutsRectanglesAndStretches) {
  // 2 x 2 top-down 24-bit source: a b / c d.
  Info source(2, -2, 24);
  const uint8_t bits[16] = {1, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 4, 0, 0, 0, 0};
  // Into an 8-bit section: the nearest entries of its own table.
  Info pal(2, -2, 8);
  for (int i = 0; i < 5; ++i) pal.colors[i] = RGBQUAD{static_cast<BYTE>(i), 0, 0, 0};
  {
    Target t(pal);
    ASSERT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 2, 2, 0, 0, 0, 2, bits, source.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(std::vector<uint8_t>(t.bits, t.bits + 8), (std::vector<uint8_t>{1, 2, 0, 0, 3, 4, 0, 0}));
  }
  // Into 565 and 32-bit bit-field sections.
  Info rgb565(1, 1, 16, BI_BITFIELDS);
  rgb565.SetMasks(0xF800, 0x7E0, 0x1F);
  const uint8_t orange[4] = {0x00, 0x80, 0xFF, 0};
  Info one(1, 1, 24);
  {
    Target t(rgb565);
    SetDIBitsToDevice(t.dc, 0, 0, 1, 1, 0, 0, 0, 1, orange, one.get(), DIB_RGB_COLORS);
    EXPECT_EQ(t.bits[0] | t.bits[1] << 8, 0xFC00);
  }
  {
    Target t(Info(1, 1, 32));
    SetDIBitsToDevice(t.dc, 0, 0, 1, 1, 0, 0, 0, 1, orange, one.get(), DIB_RGB_COLORS);
    EXPECT_EQ(t.bits[0] | t.bits[1] << 8 | t.bits[2] << 16, 0xFF8000);
  }
  Info wide(4, -4, 24);
  auto at = [](const Target& t, int x, int y) { return t.Pixel24(x, y, 12); };
  {
    // Mirrored left-right; the source y counts up from the bottom row.
    Target t(wide);
    ASSERT_EQ(StretchDIBits(t.dc, 0, 0, 2, 2, 1, 0, -2, 2, bits, source.get(), DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(at(t, 0, 0), 2u);
    EXPECT_EQ(at(t, 1, 0), 1u);
    EXPECT_EQ(at(t, 0, 1), 4u);
    // Doubled, and the bottom row alone placed at (3, 3), clipped.
    ASSERT_EQ(StretchDIBits(t.dc, 0, 0, 4, 4, 0, 0, 2, 2, bits, source.get(), DIB_RGB_COLORS, SRCCOPY), 4);
    EXPECT_EQ(at(t, 1, 1), 1u);
    EXPECT_EQ(at(t, 2, 1), 2u);
    EXPECT_EQ(at(t, 3, 3), 4u);
    EXPECT_EQ(SetDIBitsToDevice(t.dc, 2, 3, 2, 1, 0, 0, 0, 2, bits, source.get(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(at(t, 2, 3), 3u);
    EXPECT_EQ(at(t, 3, 3), 4u);
    EXPECT_EQ(at(t, 3, 2), 4u);  // untouched
    EXPECT_EQ(StretchDIBits(t.dc, 0, 0, 4, 4, 0, 0, 2, 2, bits, source.get(), DIB_RGB_COLORS, 0), 0);
  }
  // Without a section, or with a context that is no memory context, nothing is drawn.
  HDC empty = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SetDIBitsToDevice(empty, 0, 0, 2, 2, 0, 0, 0, 2, bits, source.get(), DIB_RGB_COLORS), 0);
  DeleteDC(empty);
  EXPECT_EQ(SetDIBitsToDevice(empty, 0, 0, 2, 2, 0, 0, 0, 2, bits, source.get(), DIB_RGB_COLORS), 0);
}

}  // namespace
