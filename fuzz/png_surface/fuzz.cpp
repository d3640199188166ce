// PNG pictures decoded straight into a graph surface's memory image, a band
// of rows at a time (DecodePngIntoSurface), at each screen depth with and
// without the transparent colour: refused with nothing left allocated, or a
// memory image whose pixels, palette and palette count are those that the
// whole decoded picture (ReadPngImage) filled into an image of the same
// layout gives.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "library/core/memory.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/mem_img.h"

namespace {

void CompareWithTheWholePicture(const std::vector<uint8_t>& bytes, const GraphSurface* surface, int32_t width,
                                int32_t height) {
  DecoderStream stream = OpenMemoryDecoderStream(bytes);
  GraphImage whole;
  std::memset(&whole, 0, sizeof whole);
  const int decoded = ReadPngImage(&stream, &whole);
  CloseMemoryDecoderStream(&stream);
  FUZZ_CHECK(decoded == 0, "a picture the whole decoder refuses");
  FUZZ_CHECK(whole.width == width && whole.height == height, "another size");
  RecalcUnusedBitsMask(&whole.format);
  const MemImgBuffer* b = surface->image.buffer;
  MEMIMG reference;
  std::memset(&reference, 0, sizeof reference);
  FUZZ_CHECK(SetupMemImg(&reference, width, height, -1, b->transColor, b->depthKind, b->paletted, b->alpha, 0,
                         nullptr) == 0,
             "no memory for the reference");
  FUZZ_CHECK(FillMemImgFromGraphImage(&whole, nullptr, &reference, 0, 0, width, height, 0, 0, 0) == 0,
             "the whole picture does not fill");
  const MemImgBuffer* r = reference.buffer;
  const size_t rowBytes = static_cast<size_t>(width) * b->format->bytesPerPixel;
  for (int32_t y = 0; y < height; ++y)
    FUZZ_CHECK(std::memcmp(b->pixels + static_cast<size_t>(b->pitch) * y, r->pixels + static_cast<size_t>(r->pitch) * y,
                           rowBytes) == 0,
               "row " + std::to_string(y) + " differs");
  if (b->paletted) {
    FUZZ_CHECK(b->paletteCount == r->paletteCount, "another palette count");
    FUZZ_CHECK(std::memcmp(b->palette, r->palette, 1024) == 0, "another palette");
  }
  ReleaseMemImg(&reference);
  ReleaseGraphImage(&whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  const int32_t blocks = TrackedBlockCount();
  for (int32_t bits : {16, 32}) {
    for (int32_t transFlag : {0, 1}) {
      const SurfaceSettings settings = {{0, 0, transFlag, 0, 0, 0, 0, 0xFF00FF}, bits};
      DecoderStream stream = OpenMemoryDecoderStream(bytes);
      int32_t width = 0, height = 0;
      GraphSurface* surface = DecodePngIntoSurface(&stream, settings, &width, &height);
      CloseMemoryDecoderStream(&stream);
      if (surface == nullptr) continue;
      CompareWithTheWholePicture(bytes, surface, width, height);
      ReleaseGraphSurface(surface);
    }
  }
  FUZZ_CHECK(TrackedBlockCount() == blocks, "memory left behind");
  return 0;
}
