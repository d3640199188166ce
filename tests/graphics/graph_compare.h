// Graphs compared field by field (record, surface, memory image, palette,
// pixels, and the run table and premultiplied copy they make), and PNG
// pictures of every kind the decoder turns out, for the tests of pictures
// decoded straight into their graphs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "library/graphics/graph_handle.h"
#include "library/graphics/mem_img.h"
#include "tests/graphics/image_fixtures.h"

// The transparent colour the tests set: some pixels of every picture have it.
constexpr uint32_t kKeyColour = 0xFF00FF;

// Every part of a graph that drawing reads, as labelled bytes; with extras,
// also the run table and premultiplied copy built from its pixels.
inline std::vector<std::pair<std::string, std::string>> DescribeGraph(ObjectHandle handle, bool extras = true) {
  std::vector<std::pair<std::string, std::string>> parts;
  const GraphRecord* g = GetGraphRecordChecked(handle);
  if (g == nullptr) {
    parts.push_back({"handle", "invalid"});
    return parts;
  }
  auto add = [&](const char* label, const void* data, size_t size) {
    parts.push_back({label, std::string(static_cast<const char*>(data), size)});
  };
  auto number = [&](const char* label, int64_t value) { parts.push_back({label, std::to_string(value)}); };
  number("width", g->width);
  number("height", g->height);
  number("surfaceX", g->surfaceX);
  number("surfaceY", g->surfaceY);
  number("sourceX", g->sourceX);
  number("sourceY", g->sourceY);
  number("loadFlag", g->loadFlag);
  number("movie", g->movie);
  parts.push_back({"file name", g->fileName != nullptr ? g->fileName->Path() : "(none)"});
  const GraphSurface* s = g->surface;
  add("request", &s->request, sizeof s->request);
  number("surface transparent colour", s->transparentColor);
  const MEMIMG& view = g->image;
  const MemImgBuffer* b = view.buffer;
  number("buffer width", b->width);
  number("buffer height", b->height);
  number("pitch", b->pitch);
  number("pitch shift", b->pitchShift);
  number("depth kind", b->depthKind);
  number("paletted", b->paletted);
  number("alpha", b->alpha);
  number("pixel transparent colour", b->transColor);
  add("format", b->format, sizeof *b->format);
  number("premultiplied copy", b->hasPremultiplied);
  number("run table", b->hasRunTable);
  number("premultiplied block", b->premultipliedPixels != nullptr);
  number("run table block", b->runTable != nullptr);
  if (b->paletted) {
    number("palette count", b->paletteCount);
    add("palette", b->palette, 1024);
    add("working palette", b->workingPalette, 1024);
  }
  const size_t rowBytes = static_cast<size_t>(view.width) * b->format->bytesPerPixel;
  std::string pixels;
  for (int y = 0; y < view.height; ++y)
    pixels.append(reinterpret_cast<const char*>(view.pixels + static_cast<int64_t>(y) * b->pitch), rowBytes);
  parts.push_back({"pixels", pixels});
  // What the blits build from the pixels on their first draw.
  MEMIMG whole{};
  whole.magic = MemImgMagic;
  whole.width = b->width;
  whole.height = b->height;
  whole.pixels = b->pixels;
  whole.premultipliedPixels = b->premultipliedPixels;
  whole.buffer = const_cast<MemImgBuffer*>(b);
  if (extras && b->hasRunTable) {
    const uint8_t* runs = MemImgRunTable(&whole);
    std::string table;
    for (int y = 0, at = 0; y < b->height; ++y) {
      do table.push_back(static_cast<char>(runs[at])); while (runs[at++] != MemImgRunEndOfRow);
    }
    parts.push_back({"runs", table});
  }
  if (extras && b->hasPremultiplied) {
    const uint8_t* premultiplied = MemImgPremultipliedPixels(&whole);
    std::string rows;
    for (int y = 0; y < b->height; ++y)
      rows.append(reinterpret_cast<const char*>(premultiplied + static_cast<int64_t>(y) * b->pitch),
                  static_cast<size_t>(b->width) * b->format->bytesPerPixel);
    parts.push_back({"premultiplied", rows});
  }
  return parts;
}

// The two graphs alike in every described part but their handles; the
// first part that differs is named.
inline void ExpectSameGraph(ObjectHandle expected, ObjectHandle actual) {
  const auto a = DescribeGraph(expected), b = DescribeGraph(actual);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].second == b[i].second) continue;
    size_t at = 0;
    while (at < a[i].second.size() && at < b[i].second.size() && a[i].second[at] == b[i].second[at]) ++at;
    ADD_FAILURE() << a[i].first << " differs (byte " << at << " of " << a[i].second.size() << " / "
                  << b[i].second.size() << ")";
    return;
  }
}

// ---------------------------------------------------------------- pictures

// Rows of the pattern, with the key colour where the pattern's low bits are
// 0 (and a run of it along the first row).
inline Bytes PatternRows(uint32_t width, uint32_t height, int channels, uint32_t seed) {
  Bytes rows;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t v = Hash(static_cast<int>(x), static_cast<int>(y), seed);
      const bool key = (v & 7) == 0 || (y == 0 && x < width / 2);
      const uint8_t r = key ? 0xFF : static_cast<uint8_t>(v >> 16), g = key ? 0 : static_cast<uint8_t>(v >> 8),
                    b = key ? 0xFF : static_cast<uint8_t>(v);
      if (channels >= 3) rows.insert(rows.end(), {r, g, b});
      if (channels == 4) rows.push_back(static_cast<uint8_t>((v >> 24) % 3 == 0 ? 0 : (v >> 24) % 3 == 1 ? 255 : v >> 24));
    }
  }
  return rows;
}

inline PngLayout GreyLayout(uint32_t width, uint32_t height, uint32_t seed) {
  PngLayout l;
  l.width = width;
  l.height = height;
  l.colorType = 0;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      l.rows.push_back(static_cast<uint8_t>(Hash(static_cast<int>(x), static_cast<int>(y), seed)));
  return l;
}

struct PngPicture {
  std::string file;
  PngLayout layout;
  bool direct;  // decoded straight into its graph
};

// Every layout the PNG decoder gives: RGB, RGBA, a palette with and without
// transparency, grey at 8 and 2 bits, grey with alpha, 16-bit channels; a
// picture of many bands of rows (a last one partly filled) and one of rows
// wider than a band; a palette over two bands; and an interlaced picture, which takes the general path.
inline std::vector<PngPicture> PngPictures() {
  std::vector<PngPicture> cases;
  auto add = [&](const std::string& file, PngLayout layout, bool direct = true) {
    cases.push_back({file, std::move(layout), direct});
  };
  PngLayout rgb;
  rgb.width = 19;
  rgb.height = 13;
  rgb.colorType = 2;
  rgb.rows = PatternRows(19, 13, 3, 1);
  add("rgb.png", rgb);
  PngLayout rgba = rgb;
  rgba.colorType = 6;
  rgba.rows = PatternRows(19, 13, 4, 2);
  add("rgba.png", rgba);
  PngLayout palette;
  palette.width = 17;
  palette.height = 9;
  palette.colorType = 3;
  for (int i = 0; i < 40; ++i) {
    const uint32_t v = Hash(i, 0, 3);
    if (i == 7)
      palette.palette.insert(palette.palette.end(), {0xFF, 0x00, 0xFF});  // the key colour
    else
      palette.palette.insert(palette.palette.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                                     static_cast<uint8_t>(v >> 16)});
  }
  for (uint32_t i = 0; i < 17 * 9; ++i) palette.rows.push_back(static_cast<uint8_t>(Hash(static_cast<int>(i), 1, 4) % 40));
  add("palette.png", palette);
  // 64-byte rows: two bands, the highest index in the first only.
  PngLayout tallPalette = palette;
  tallPalette.width = 64;
  tallPalette.height = 1100;
  tallPalette.rows.clear();
  for (uint32_t i = 0; i < 64 * 1100; ++i)
    tallPalette.rows.push_back(static_cast<uint8_t>(i == 5 ? 39 : Hash(static_cast<int>(i), 5, 12) % 30));
  add("tall_palette.png", tallPalette);
  PngLayout paletteAlpha = palette;
  paletteAlpha.trns = {0, 128, 255, 9};
  add("palette_alpha.png", paletteAlpha);
  add("grey.png", GreyLayout(16, 10, 5));
  PngLayout grey2;
  grey2.width = 21;
  grey2.height = 8;
  grey2.colorType = 0;
  grey2.bitDepth = 2;
  for (uint32_t i = 0; i < 6 * 8; ++i) grey2.rows.push_back(static_cast<uint8_t>(Hash(static_cast<int>(i), 2, 6)));
  add("grey2.png", grey2);
  PngLayout greyAlpha;
  greyAlpha.width = 16;
  greyAlpha.height = 8;
  greyAlpha.colorType = 4;
  for (uint32_t i = 0; i < 16 * 8; ++i) {
    const uint32_t v = Hash(static_cast<int>(i), 3, 7);
    greyAlpha.rows.insert(greyAlpha.rows.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v % 3 == 0 ? 0 : v >> 8)});
  }
  add("grey_alpha.png", greyAlpha);
  PngLayout rgb16;
  rgb16.width = 16;
  rgb16.height = 8;
  rgb16.colorType = 2;
  rgb16.bitDepth = 16;
  for (uint32_t i = 0; i < 16 * 8 * 3; ++i) {
    const uint32_t v = Hash(static_cast<int>(i), 4, 8);
    rgb16.rows.insert(rgb16.rows.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  }
  add("rgb16.png", rgb16);
  // 111-byte rows: 590 of them a band, so three bands, the last one short.
  PngLayout tall;
  tall.width = 37;
  tall.height = 1300;
  tall.colorType = 2;
  tall.rows = PatternRows(37, 1300, 3, 9);
  add("tall.png", tall);
  // Rows of 12000 bytes: five a band.
  PngLayout wide;
  wide.width = 3000;
  wide.height = 13;
  wide.colorType = 6;
  wide.rows = PatternRows(3000, 13, 4, 10);
  add("wide.png", wide);
  PngLayout interlaced = rgb;
  interlaced.interlaced = true;
  add("interlaced.png", interlaced, false);
  return cases;
}
