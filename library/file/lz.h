// The library's byte-oriented LZ format, used by packed archive members and
// the shader pack. A block is a 9-byte head (u32 unpacked size, u32 packed
// size with the head, u8 escape byte E) and a code stream: a byte other than
// E is itself; E E is the byte E; E K (K != E) is a back-reference. K is
// lowered by one when above E; its bits 3-7 are the length's low five bits,
// bit 2 says a byte with the length's upper bits follows, bits 0-1 give the
// size of the distance field that comes next (one to three bytes,
// little-endian). The copy is length + 4 bytes from distance field + 1 bytes
// back, forward, so a length above the distance repeats the last bytes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t LzHeadSize = 9;
constexpr uint32_t LzMinMatch = 4;
constexpr uint32_t LzMaxMatch = 8195;

// The largest unpacked size a block of packedSize bytes (head included) can
// stand for: every four bytes of code stream one reference of LzMaxMatch bytes.
constexpr uint64_t LzMaxUnpackedSize(uint32_t packedSize) {
  return packedSize < LzHeadSize ? 0 : static_cast<uint64_t>(packedSize - LzHeadSize) * ((LzMaxMatch + 3) / 4);
}

// Unpacks the block of sourceSize bytes at source into destination, which
// holds destinationSize bytes; with a null destination only reads the head.
// Returns the unpacked size from the head, or -1 for a corrupt block: a head
// cut short, a packed size beyond the source, an unpacked size no code stream
// of that length can give, a code stream cut short or with distance-field
// size 3, a reference before the start of the output, output beyond the
// unpacked size or the destination, or output short of the unpacked size.
int64_t DecompressArchiveData(const void* source, size_t sourceSize, void* destination,
                              size_t destinationSize);
