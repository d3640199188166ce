#include "library/file/lz.h"

#include <cstring>

namespace {

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

int64_t DecompressArchiveData(const void* source, size_t sourceSize, void* destination,
                              size_t destinationSize) {
  const auto* in = static_cast<const uint8_t*>(source);
  if (in == nullptr || sourceSize < LzHeadSize) return -1;
  const uint32_t unpacked = LoadU32(in);
  const uint32_t packed = LoadU32(in + 4);
  const uint8_t escape = in[8];
  if (packed < LzHeadSize || packed > sourceSize) return -1;
  if (unpacked > LzMaxUnpackedSize(packed)) return -1;
  if (destination == nullptr) return unpacked;
  if (destinationSize < unpacked) return -1;

  auto* out = static_cast<uint8_t*>(destination);
  size_t at = LzHeadSize;
  size_t written = 0;
  while (at < packed) {
    uint8_t byte = in[at];
    if (byte != escape || (at + 1 < packed && in[at + 1] == escape)) {
      if (written >= unpacked) return -1;
      out[written++] = byte;
      at += byte == escape ? 2 : 1;
      continue;
    }
    if (at + 1 >= packed) return -1;
    uint32_t code = in[at + 1];
    at += 2;
    if (code > escape) --code;
    uint32_t length = code >> 3;
    if ((code & 4) != 0) {
      if (at >= packed) return -1;
      length |= static_cast<uint32_t>(in[at++]) << 5;
    }
    length += LzMinMatch;
    uint32_t fieldSize = (code & 3) + 1;
    if (fieldSize == 4 || at + fieldSize > packed) return -1;
    size_t distance = 1;
    for (uint32_t i = 0; i < fieldSize; ++i) distance += static_cast<size_t>(in[at + i]) << (8 * i);
    at += fieldSize;
    if (distance > written || length > unpacked - written) return -1;

    // Copy in chunks that double: each copies whole periods of the
    // repeated bytes, so the result is that of a byte-by-byte forward copy.
    uint8_t* to = out + written;
    size_t left = length;
    size_t step = distance;
    while (left > step) {
      memcpy(to, to - step, step);
      to += step;
      left -= step;
      step *= 2;
    }
    memcpy(to, to - step, left);
    written += length;
  }
  return written == unpacked ? static_cast<int64_t>(unpacked) : -1;
}
