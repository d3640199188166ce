// A stream over a block of memory that the caller owns.
#pragma once

#include <cstdint>

struct MemoryStream {
  const uint8_t* data;
  uint32_t size;
  uint32_t position;
  uint32_t eof;
};

// A zeroed record over the data (tracked allocation), or null.
MemoryStream* OpenMemoryStream(const void* data, uint32_t size);

// The memory stream interface; the handle is the MemoryStream pointer.
int32_t MemoryStreamTell(uintptr_t stream);
// Clamps the new position to 0..size and clears end of file.
int MemoryStreamSeek(uintptr_t stream, int32_t offset, int32_t origin);
uint32_t MemoryStreamRead(void* buffer, uint32_t elementSize, uint32_t count, uintptr_t stream);
int MemoryStreamEof(uintptr_t stream);
int MemoryStreamIdle(uintptr_t stream);
// Frees the record, never the data. Returns 0.
int CloseMemoryStream(uintptr_t stream);
