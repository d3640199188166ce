// Truevision TGA: colour-mapped and true-colour pictures, plain or
// run-length encoded, of 16, 24 or 32 bits a pixel.
#include <algorithm>
#include <cstring>

#include "library/core/memory.h"
#include "library/graphics/image_decoders.h"

namespace {

constexpr int32_t kMaxSide = 8192;
constexpr uint32_t kFooterSize = 26;

bool IsColorMapped(uint8_t type) { return type == 1 || type == 9; }

// Run-length packets of `valueBytes`-byte values, each value written through
// `put` until `count` values are out. False when the data ends first.
template <typename Put>
bool DecodePackets(const uint8_t* data, size_t size, int32_t valueBytes, int64_t count, Put put) {
  size_t i = 0;
  int64_t done = 0;
  while (done < count) {
    if (i >= size) return false;
    uint8_t header = data[i++];
    int64_t n = std::min<int64_t>((header & 0x7F) + 1, count - done);
    if (header & 0x80) {
      if (size - i < static_cast<size_t>(valueBytes)) return false;
      for (int64_t k = 0; k < n; ++k) put(done++, data + i);
      i += valueBytes;
    } else {
      for (int64_t k = 0; k < n; ++k, i += valueBytes) {
        if (size - i < static_cast<size_t>(valueBytes)) return false;
        put(done++, data + i);
      }
      // Values of a packet cut at the end of the picture are passed over.
      i += static_cast<size_t>(((header & 0x7F) + 1) - n) * valueBytes;
      if (i > size) i = size;
    }
  }
  return true;
}

void FlipRows(uint8_t* pixels, int32_t pitch, int32_t height) {
  for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + static_cast<int64_t>(top) * pitch, pixels + static_cast<int64_t>(top + 1) * pitch,
                     pixels + static_cast<int64_t>(bottom) * pitch);
  }
}

// The pixel bytes of the picture, in file order; false on a short or bad read.
bool ReadPixels(DecoderStream* stream, const uint8_t* header, bool footer, const uint8_t* colorMap, int32_t bytes,
                uint8_t* pixels) {
  uint8_t type = header[2];
  int64_t count = static_cast<int64_t>(ReadLe16(header + 12)) * ReadLe16(header + 14);
  bool mapped = IsColorMapped(type);
  int32_t valueBytes = mapped ? 1 : bytes;
  auto put = [&](int64_t index, const uint8_t* value) {
    std::memcpy(pixels + index * bytes, mapped ? colorMap + *value * bytes : value, static_cast<size_t>(bytes));
  };
  int64_t remaining = DecoderStreamRemaining(stream);
  if (footer) remaining -= kFooterSize;
  if (type == 1 || type == 2) {
    if (remaining < count * valueBytes) return false;
    if (!mapped) return DecoderStreamReadAll(stream, pixels, static_cast<uint32_t>(count * bytes));
    remaining = count;
  }
  if (remaining <= 0) return false;
  auto* data = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(remaining), __FILE__, __LINE__));
  if (data == nullptr) return false;
  bool ok = DecoderStreamReadAll(stream, data, static_cast<uint32_t>(remaining));
  if (ok && type == 1) {
    for (int64_t i = 0; i < count; ++i) put(i, data + i);
  } else if (ok) {
    ok = DecodePackets(data, static_cast<size_t>(remaining), valueBytes, count, put);
  }
  TrackedFree(data);
  return ok;
}

}  // namespace

int ReadTgaImage(DecoderStream* stream, GraphImage* image) {
  int64_t length = DecoderStreamRemaining(stream);
  bool footer = false;
  if (length >= static_cast<int64_t>(kFooterSize)) {
    uint8_t tail[kFooterSize];
    if (DecoderStreamSeek(stream, -static_cast<int64_t>(kFooterSize), SeekFromEnd) != 0 ||
        !DecoderStreamReadAll(stream, tail, kFooterSize) || DecoderStreamSeek(stream, 0, SeekFromStart) != 0) {
      return -1;
    }
    footer = std::memcmp(tail + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(tail) == 0;
  }

  uint8_t header[18];
  if (!DecoderStreamReadAll(stream, header, sizeof header)) return -1;
  uint8_t mapType = header[1], type = header[2];
  uint32_t mapFirst = ReadLe16(header + 3), mapLength = ReadLe16(header + 5);
  uint8_t mapEntryBits = header[7];
  int32_t width = static_cast<int32_t>(ReadLe16(header + 12)), height = static_cast<int32_t>(ReadLe16(header + 14));
  uint8_t descriptor = header[17];
  bool mapped = IsColorMapped(type);
  int32_t pixelBits = mapped ? mapEntryBits : header[16];
  if (type != 1 && type != 2 && type != 9 && type != 10) return -1;
  if (ReadLe16(header + 8) != 0 || ReadLe16(header + 10) != 0) return -1;
  if (width > kMaxSide || height > kMaxSide || !DecodedSizeAllowed(width, height)) return -1;
  if (pixelBits != 16 && pixelBits != 24 && pixelBits != 32) return -1;
  int32_t bytes = pixelBits / 8;

  if (DecoderStreamSeek(stream, header[0], SeekFromCurrent) != 0) return -1;
  uint8_t colorMap[256 * 4] = {};
  if (mapped) {
    // The table holds 256 entries; a map reaching past them is refused.
    if (mapFirst + mapLength > 256) return -1;
    if (!DecoderStreamReadAll(stream, colorMap + mapFirst * bytes, mapLength * bytes)) return -1;
  } else if (mapType != 0) {
    if (DecoderStreamSeek(stream, static_cast<int64_t>(mapLength) * ((mapEntryBits + 7) / 8), SeekFromCurrent) != 0) {
      return -1;
    }
  }

  int32_t pitch = width * bytes;
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch) * height, __FILE__, __LINE__));
  if (pixels == nullptr) return -1;
  if (!ReadPixels(stream, header, footer, colorMap, bytes, pixels)) {
    TrackedFree(pixels);
    return -1;
  }

  if (pixelBits == 16) {
    SetColorFormatFromMasks(&image->format, 16, 0x7C00, 0x3E0, 0x1F, 0);
  } else if (pixelBits == 24) {
    SetColorFormatRGB24(&image->format);
  } else {
    SetColorFormatARGB32(&image->format);
  }
  image->width = width;
  image->height = height;
  image->pitch = pitch;
  image->pixels = pixels;
  // Rows stored bottom-up are turned over; rows stored right to left mirrored.
  if ((descriptor & 0x20) == 0) FlipRows(pixels, pitch, height);
  if (descriptor & 0x10) MirrorGraphImage(image);
  return 0;
}
