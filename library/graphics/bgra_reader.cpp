// The library's raw format: "BGRA", a depth code, width and height, then the
// pixels top-down, 8 or 16 bits a channel in the order blue, green, red, alpha.
#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/image_decoders.h"

namespace {
constexpr uint32_t kDepth8 = 0x08080808u;
constexpr uint32_t kDepth16 = 0x10101010u;
}  // namespace

int ReadBgraImage(DecoderStream* stream, GraphImage* image) {
  uint8_t header[16];
  if (!DecoderStreamReadAll(stream, header, sizeof header) || std::memcmp(header, "BGRA", 4) != 0) return -1;
  uint32_t depth = ReadLe32(header + 4);
  int64_t width = ReadLe32(header + 8), height = ReadLe32(header + 12);
  if ((depth != kDepth8 && depth != kDepth16) || !DecodedSizeAllowed(width, height)) return -1;
  // No more pixels than the stream holds are asked for.
  int64_t channelBytes = depth == kDepth8 ? 1 : 2;
  if (DecoderStreamRemaining(stream) < width * height * 4 * channelBytes) return -1;

  int32_t pitch = static_cast<int32_t>(width * 4);
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch * height), __FILE__, __LINE__));
  if (pixels == nullptr) return -1;
  bool ok = true;
  if (depth == kDepth8) {
    ok = DecoderStreamReadAll(stream, pixels, static_cast<uint32_t>(pitch * height));
  } else {
    auto* row = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch) * 2, __FILE__, __LINE__));
    ok = row != nullptr;
    for (int64_t y = 0; ok && y < height; ++y) {
      ok = DecoderStreamReadAll(stream, row, static_cast<uint32_t>(pitch * 2));
      // Each channel keeps its high byte.
      for (int64_t i = 0; ok && i < width * 4; ++i) pixels[y * pitch + i] = row[2 * i + 1];
    }
    TrackedFree(row);
  }
  if (!ok) {
    TrackedFree(pixels);
    return -1;
  }
  SetColorFormatARGB32(&image->format);
  image->width = static_cast<int32_t>(width);
  image->height = static_cast<int32_t>(height);
  image->pitch = pitch;
  image->pixels = pixels;
  return 0;
}
