#include "library/graphics/mem_img.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "library/core/memory.h"
#include "library/graphics/color_format.h"
#include "library/graphics/graphics_system.h"

namespace {

uint32_t Pixel32(const MEMIMG& view, int x, int y) {
  uint32_t v;
  std::memcpy(&v, view.pixels + y * view.buffer->pitch + x * 4, 4);
  return v;
}

// An XRGB32 base image filled by a function of the position.
template <class F>
GraphImage MakeImage(int w, int h, F pixel) {
  GraphImage image{};
  EXPECT_EQ(CreateGraphImage(w, h, &image), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixel(x, y);
      std::memcpy(image.pixels + y * image.pitch + x * 4, &v, 4);
    }
  return image;
}

TEST(MemImg, LayoutOfNewImages) {
  struct Case {
    int32_t width, height, kind, paletted, alpha, pitch, shift;
  } cases[] = {
      // clang-format off
      {640, 480, MemImgDepth16, 0, 0, 1280, -1},
      {256, 256, MemImgDepth32, 0, 0, 1024, 10},
      {3, 2, MemImgDepth32, 0, 0, 16, 4},
      {5, 1, MemImgDepth16, 0, 1, 32, 5},
      {16, 4, MemImgDepth32, 1, 0, 16, 4},
      {7, 7, MemImgDepthSingle8, 1, 1, 16, -1},
      // clang-format on
  };
  for (const Case& c : cases) {
    MEMIMG view{};
    ASSERT_EQ(SetupMemImg(&view, c.width, c.height, -1, 0, c.kind, c.paletted, c.alpha, 0, nullptr), 0);
    const MemImgBuffer* b = view.buffer;
    EXPECT_EQ(b->pitch, c.pitch) << c.width << "x" << c.height;
    EXPECT_EQ(b->pitchShift, c.shift) << c.width << "x" << c.height;
    EXPECT_EQ(b->format->bytesPerPixel, MemImgBytesPerPixel(c.kind, b->paletted, b->alpha));
    EXPECT_EQ(b->paletted == 1, c.paletted == 1 && c.kind <= MemImgDepth32);
    EXPECT_EQ(b->alpha, 0 + (c.alpha == 1 && c.paletted == 0 && c.kind <= MemImgDepth32));
    EXPECT_EQ(b->palette != nullptr, b->paletted == 1);
    EXPECT_EQ(view.pixels, b->pixels);
    EXPECT_EQ(SetupMemImg(&view, 4, 4, -1, 0, MemImgDepth32, 0, 0, 0, nullptr), -1) << "already live";
    EXPECT_EQ(ReleaseMemImg(&view), 0);
    EXPECT_EQ(IsMemImgValid(&view), 0);
  }
  // Screen family by the screen depth.
  ScreenColorBits = 32;
  MEMIMG screen{};
  ASSERT_EQ(CreateMemImg(&screen, 8, 8, -1), 0);
  EXPECT_EQ(screen.buffer->depthKind, MemImgDepth32);
  ReleaseMemImg(&screen);
  ScreenColorBits = 0;
  ASSERT_EQ(CreateMemImg(&screen, 8, 8, -1), 0);
  EXPECT_EQ(screen.buffer->depthKind, MemImgDepth16);
  ReleaseMemImg(&screen);
  EXPECT_EQ(SetupMemImg(&screen, -1, 8, -1, 0, MemImgDepth32, 0, 0, 0, nullptr), -1);
}

TEST(MemImg, ViewsShareTheBufferAndTheLastReleaseFreesIt) {
  const int32_t blocksBefore = TrackedBlockCount();
  MEMIMG whole{};
  ASSERT_EQ(SetupMemImg(&whole, 10, 10, -1, 0, MemImgDepth32, 0, 1, 1, nullptr), 0);
  MEMIMG part{};
  ASSERT_EQ(CreateMemImgView(&part, &whole, 2, 3, 4, 5), 0);
  EXPECT_EQ(part.buffer, whole.buffer);
  EXPECT_EQ(whole.buffer->refCount, 2u);
  EXPECT_EQ(part.pixels, whole.pixels + 3 * whole.buffer->pitch + 2 * 4);
  EXPECT_EQ(part.premultipliedPixels, whole.premultipliedPixels + 3 * whole.buffer->pitch + 2 * 4);

  MEMIMG refused{};
  refused.width = 77;
  EXPECT_EQ(CreateMemImgView(&refused, &whole, 8, 8, 3, 3), -1);
  EXPECT_EQ(CreateMemImgView(&refused, &whole, -1, 0, 3, 3), -1);
  EXPECT_EQ(refused.width, 77) << "a refused view keeps what it held";
  EXPECT_EQ(refused.magic, 0u);

  const int32_t blocksHeld = TrackedBlockCount();
  EXPECT_EQ(ReleaseMemImg(&whole), 0);
  EXPECT_EQ(TrackedBlockCount(), blocksHeld) << "the other view still holds the buffer";
  EXPECT_EQ(ReleaseMemImg(&part), 0);
  EXPECT_EQ(TrackedBlockCount(), blocksBefore);
  EXPECT_EQ(ReleaseMemImg(&part), -1) << "released twice";

  std::vector<uint8_t> external(64 * 4);
  MEMIMG outside{};
  ASSERT_EQ(SetupMemImg(&outside, 8, 8, 32, 0, MemImgDepth16, 0, 0, 0, external.data()), 0);
  EXPECT_EQ(outside.pixels, external.data());
  EXPECT_EQ(outside.buffer->pitchShift, 5);
  ReleaseMemImg(&outside);  // the caller's block is not freed
  EXPECT_EQ(TrackedBlockCount(), blocksBefore);
}

TEST(MemImg, FillFromAnImageBuildsTheRunTable) {
  MEMIMG view{};
  ASSERT_EQ(SetupMemImg(&view, 100, 2, -1, 0x00FF00FF, MemImgDepth32, 0, 0, 1, nullptr), 0);
  GraphImage image =
      MakeImage(100, 2, [](int x, int y) { return y == 0 && x < 70 ? 0x00FF00FFu : 0x00123456u; });
  ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 100, 2, 0, 0, 0), 0);
  EXPECT_EQ(view.buffer->hasRunTable, 1);
  const uint8_t expected[] = {0x3F, 0x05, 0x5D, 0xC0, 0x7F, 0x63, 0xC0};
  EXPECT_EQ(std::memcmp(MemImgRunTable(&view), expected, sizeof expected), 0);
  EXPECT_EQ(Pixel32(view, 70, 0), 0x00123456u);

  // A partial fill leaves the table and clears its flag.
  ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 10, 1, 5, 1, 0), 0);
  EXPECT_EQ(view.buffer->hasRunTable, 0);
  EXPECT_EQ(Pixel32(view, 5, 1), 0x00FF00FFu);
  // Rectangles outside either image are refused.
  EXPECT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 95, 0, 10, 1, 0, 0, 0), -1);
  EXPECT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 10, 1, 95, 0, 0), -1);
  ReleaseMemImg(&view);

  // The table is made when first asked for, but always of the filled
  // pixels: writes after the fill do not show in it.
  ASSERT_EQ(SetupMemImg(&view, 100, 2, -1, 0x00FF00FF, MemImgDepth32, 0, 0, 1, nullptr), 0);
  ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 100, 2, 0, 0, 0), 0);
  ASSERT_EQ(FillMemImgRect(&view, nullptr, 0x00FF00FF), 0);
  EXPECT_EQ(view.buffer->hasRunTable, 1);
  EXPECT_EQ(std::memcmp(MemImgRunTable(&view), expected, sizeof expected), 0);
  ReleaseGraphImage(&image);
  ReleaseMemImg(&view);
}

TEST(MemImg, AlphaImagesGetPremultipliedCopiesAndAlphaRuns) {
  MEMIMG view{};
  ASSERT_EQ(SetupMemImg(&view, 3, 1, -1, 0, MemImgDepth32, 0, 1, 1, nullptr), 0);
  GraphImage image{};
  ASSERT_EQ(CreateGraphImageARGB(3, 1, &image), 0);
  const uint32_t pixels[3] = {0x80FF8040, 0x00FFFFFF, 0xFF102030};
  std::memcpy(image.pixels, pixels, sizeof pixels);
  ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 3, 1, 0, 0, 0), 0);
  EXPECT_EQ(view.buffer->hasPremultiplied, 1);
  uint32_t premultiplied[3];
  std::memcpy(premultiplied, MemImgPremultipliedPixels(&view), sizeof premultiplied);
  EXPECT_EQ(premultiplied[0], 0x807F4020u);
  EXPECT_EQ(premultiplied[1], 0x00000000u);
  EXPECT_EQ(premultiplied[2], 0xFF0F1F2Fu);
  const uint8_t runs[] = {0x80, 0x00, 0x40, 0xC0};
  EXPECT_EQ(std::memcmp(MemImgRunTable(&view), runs, sizeof runs), 0);
  ReleaseGraphImage(&image);
  ReleaseMemImg(&view);

  // 16-bit with alpha: each field multiplied within its own bits.
  ASSERT_EQ(SetupMemImg(&view, 1, 1, -1, 0, MemImgDepth16, 0, 1, 1, nullptr), 0);
  const uint32_t pixel = 0x0080FFFF;
  std::memcpy(view.pixels, &pixel, 4);
  ASSERT_EQ(CreateGraphImageARGB(1, 1, &image), 0);
  const uint32_t white = 0x80FFFFFF;
  std::memcpy(image.pixels, &white, 4);
  ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 1, 1, 0, 0, 0), 0);
  uint32_t stored, premultiplied16;
  std::memcpy(&stored, view.pixels, 4);
  std::memcpy(&premultiplied16, MemImgPremultipliedPixels(&view), 4);
  EXPECT_EQ(stored & 0x00FFFFFF, 0x0080FFFFu);
  EXPECT_EQ(premultiplied16 & 0x00FFFFFF, 0x00807BEFu);  // 31 -> 15, 63 -> 31
  ReleaseGraphImage(&image);
  ReleaseMemImg(&view);
}

// The run table of a filled buffer, written from the rule: each pixel classed
// by its alpha byte (alpha buffers) or by the transparent colour, runs of one
// class of at most 64 pixels, 0xC0 after each row.
std::vector<uint8_t> ReferenceRunTable(const MEMIMG& view) {
  const MemImgBuffer* b = view.buffer;
  const int bytes = b->format->bytesPerPixel;
  std::vector<uint8_t> table;
  for (int y = 0; y < view.height; ++y) {
    std::vector<int> kinds;
    for (int x = 0; x < view.width; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, view.pixels + y * b->pitch + x * bytes, bytes);
      if (b->alpha) {
        const uint32_t a = b->depthKind == MemImgDepth16 ? (v >> 16) & 0xFF : v >> 24;
        kinds.push_back(a == 0 ? 0 : a == 255 ? 1 : 2);
      } else {
        kinds.push_back(v == b->transColor ? 0 : 1);
      }
    }
    for (size_t x = 0; x < kinds.size();) {
      size_t n = 1;
      while (n < 64 && x + n < kinds.size() && kinds[x + n] == kinds[x]) ++n;
      table.push_back(static_cast<uint8_t>(kinds[x] << 6 | (n - 1)));
      x += n;
    }
    table.push_back(0xC0);
  }
  return table;
}

uint32_t ReferencePremultiplied(uint32_t v, int32_t kind) {
  if (kind == MemImgDepth16) {
    const uint32_t a = (v >> 16) & 0xFF;
    return ((v & 0xF800) * a >> 8 & 0xF800) | ((v & 0x07E0) * a >> 8 & 0x07E0) | ((v & 0x001F) * a >> 8) |
           (v & 0x00FF0000);
  }
  const uint32_t a = v >> 24;
  uint32_t out = v & 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) out |= (((v >> shift) & 0xFF) * a >> 8) << shift;
  return out;
}

TEST(MemImg, RunTablesAndPremultipliedCopiesFollowTheRuleForEveryLayout) {
  struct Layout {
    int32_t kind, paletted, alpha;
    uint32_t key;
  } layouts[] = {
      {MemImgDepth16, 0, 0, 0xF81F},     {MemImgDepth16, 0, 1, 0},  {MemImgDepth32, 0, 0, 0x00FF00FF},
      {MemImgDepth32, 0, 1, 0},          {MemImgDepth32, 1, 0, 7},  {MemImgDepth16, 0, 0, 0x10000},
  };
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (const Layout& l : layouts) {
    for (int width : {1, 3, 15, 16, 17, 63, 64, 65, 130, 301}) {
      const int height = 3;
      MEMIMG view{};
      ASSERT_EQ(SetupMemImg(&view, width, height, -1, l.key, l.kind, l.paletted, l.alpha, 1, nullptr), 0);
      const MemImgBuffer* b = view.buffer;
      const int bytes = b->format->bytesPerPixel;
      // Pixels in runs of random lengths: the key, alpha 0 or 255, or anything.
      GraphImage image{};
      image.format = *b->format;
      image.width = width;
      image.height = height;
      image.pitch = b->pitch;
      std::vector<uint8_t> pixels(static_cast<size_t>(b->pitch) * height);
      image.pixels = pixels.data();
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width;) {
          const uint32_t choice = next() % 4;
          uint32_t v = next() | next() << 24;
          if (choice == 0) v = l.alpha ? v & (l.kind == MemImgDepth16 ? 0xFF00FFFFu : 0x00FFFFFFu) : l.key;
          if (choice == 1 && l.alpha) v |= l.kind == MemImgDepth16 ? 0x00FF0000u : 0xFF000000u;
          if (l.kind == MemImgDepth16 && l.alpha) v &= 0x00FFFFFF;
          const int run = 1 + static_cast<int>(next() % (next() % 2 ? 4 : 90));
          for (int i = 0; i < run && x < width; ++i, ++x) std::memcpy(&pixels[y * b->pitch + x * bytes], &v, bytes);
        }
      }
      ASSERT_GE(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, width, height, 0, 0, 0), 0);
      for (int y = 0; y < height; ++y)
        ASSERT_EQ(std::memcmp(view.pixels + y * b->pitch, &pixels[y * b->pitch], width * bytes), 0);
      ASSERT_EQ(b->hasRunTable, 1);
      const std::vector<uint8_t> table = ReferenceRunTable(view);
      const uint8_t* runs = MemImgRunTable(&view);
      EXPECT_EQ(std::vector<uint8_t>(runs, runs + table.size()), table)
          << "kind " << l.kind << " alpha " << l.alpha << " paletted " << l.paletted << " width " << width;
      if (l.alpha) {
        ASSERT_EQ(b->hasPremultiplied, 1);
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x) {
            uint32_t v, p;
            std::memcpy(&v, view.pixels + y * b->pitch + x * 4, 4);
            std::memcpy(&p, MemImgPremultipliedPixels(&view) + y * b->pitch + x * 4, 4);
            ASSERT_EQ(p, ReferencePremultiplied(v, l.kind)) << std::hex << v << " kind " << l.kind;
          }
      }
      ReleaseMemImg(&view);
    }
  }
}

TEST(MemImg, PalettedFillCountsTheIndicesAndConvertsThePalette) {
  GraphImage model{};
  SetColorFormatPal8(&model.format);
  model.format.palette[5][0] = 0x18;  // blue
  model.format.palette[5][1] = 0x84;  // green
  model.format.palette[5][2] = 0xFF;  // red
  GraphImage image{};
  ASSERT_EQ(CreateGraphImageWithFormat(4, 1, &model, &image), 0);
  const uint8_t indices[4] = {1, 5, 2, 0};
  std::memcpy(image.pixels, indices, 4);
  for (int32_t kind : {MemImgDepth16, MemImgDepth32}) {
    MEMIMG view{};
    ASSERT_EQ(SetupMemImg(&view, 4, 1, -1, 0, kind, 1, 0, 0, nullptr), 0);
    ASSERT_EQ(FillMemImgFromGraphImage(&image, nullptr, &view, 0, 0, 4, 1, 0, 0, 0), 0);
    EXPECT_EQ(view.buffer->paletteCount, 6);
    EXPECT_EQ(std::memcmp(view.pixels, indices, 4), 0);
    if (kind == MemImgDepth16) {
      EXPECT_EQ(static_cast<const uint16_t*>(view.buffer->palette)[5],
                (0xF8 << 8) | (0x84 << 3) | (0x18 >> 3));
    } else {
      EXPECT_EQ(static_cast<const uint32_t*>(view.buffer->palette)[5], 0x00FF8418u);
    }
    EXPECT_EQ(std::memcmp(view.buffer->palette, view.buffer->workingPalette, 1024), 0);
    ReleaseMemImg(&view);
  }
  ReleaseGraphImage(&image);
}

TEST(MemImg, FillAndCopyRectangles) {
  MEMIMG a{}, b{};
  ASSERT_EQ(SetupMemImg(&a, 6, 4, -1, 0, MemImgDepth32, 0, 0, 0, nullptr), 0);
  ASSERT_EQ(SetupMemImg(&b, 6, 4, -1, 0, MemImgDepth32, 0, 0, 0, nullptr), 0);
  ASSERT_EQ(FillMemImgRect(&a, nullptr, 0x11111111), 0);
  ASSERT_EQ(FillMemImgRect(&b, nullptr, 0), 0);
  const PixelRect rect = {4, -2, 9, 2};  // clipped to (4, 0)-(6, 2)
  ASSERT_EQ(FillMemImgRect(&a, &rect, 0x22222222), 0);
  EXPECT_EQ(Pixel32(a, 3, 0), 0x11111111u);
  EXPECT_EQ(Pixel32(a, 4, 0), 0x22222222u);
  EXPECT_EQ(Pixel32(a, 5, 1), 0x22222222u);
  EXPECT_EQ(Pixel32(a, 5, 2), 0x11111111u);
  const PixelRect outside = {7, 0, 9, 4};
  ASSERT_EQ(FillMemImgRect(&a, &outside, 0x33333333), 0);
  // A value whose bytes differ is written pixel by pixel.
  const PixelRect corner = {0, 3, 2, 4};
  ASSERT_EQ(FillMemImgRect(&a, &corner, 0xFF102030), 0);
  EXPECT_EQ(Pixel32(a, 0, 3), 0xFF102030u);
  EXPECT_EQ(Pixel32(a, 1, 3), 0xFF102030u);
  EXPECT_EQ(Pixel32(a, 2, 3), 0x11111111u);
  EXPECT_EQ(Pixel32(a, 1, 2), 0x11111111u);

  const PixelRect part = {3, 0, 6, 2};
  EXPECT_EQ(CopyMemImgRect(&b, &a, &part, 1, 1), 0);
  EXPECT_EQ(Pixel32(b, 1, 1), 0x11111111u);
  EXPECT_EQ(Pixel32(b, 2, 1), 0x22222222u);
  EXPECT_EQ(Pixel32(b, 0, 1), 0u);
  EXPECT_EQ(CopyMemImgRect(&b, &a, &part, 4, 0), -1) << "would run past the destination";
  const PixelRect tooBig = {0, 0, 7, 1};
  EXPECT_EQ(CopyMemImgRect(&b, &a, &tooBig, 0, 0), -1);
  ReleaseMemImg(&a);
  ReleaseMemImg(&b);
}

TEST(MemImg, ClipRectToArea) {
  const PixelRect area = {0, 0, 100, 50};
  struct Case {
    PixelRect in, out;
  } cases[] = {
      // clang-format off
      {{10, 10, 20, 20}, {10, 10, 20, 20}},
      {{-5, -5, 20, 20}, {0, 0, 20, 20}},
      {{90, 40, 120, 70}, {90, 40, 100, 50}},
      {{20, 20, 10, 10}, {20, 20, 20, 20}},
      {{-30, 10, -10, 20}, {0, 10, 0, 20}},
      {{10, 60, 20, 80}, {10, 50, 20, 50}},
      // clang-format on
  };
  for (const Case& c : cases) {
    PixelRect r = c.in;
    EXPECT_EQ(ClipRectToArea(&r, &area), 0);
    EXPECT_EQ(r.left, c.out.left);
    EXPECT_EQ(r.top, c.out.top);
    EXPECT_EQ(r.right, c.out.right);
    EXPECT_EQ(r.bottom, c.out.bottom);
  }
}

}  // namespace
