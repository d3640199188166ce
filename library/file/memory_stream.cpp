#include "library/file/memory_stream.h"

#include <cstring>

#include "library/core/memory.h"
#include "library/file/file_table.h"

namespace {

MemoryStream* AsStream(uintptr_t stream) { return reinterpret_cast<MemoryStream*>(stream); }

}  // namespace

MemoryStream* OpenMemoryStream(const void* data, uint32_t size) {
  auto* stream = static_cast<MemoryStream*>(TrackedCalloc(sizeof(MemoryStream)));
  if (stream == nullptr) return nullptr;
  stream->data = static_cast<const uint8_t*>(data);
  stream->size = size;
  return stream;
}

int32_t MemoryStreamTell(uintptr_t handle) {
  MemoryStream* stream = AsStream(handle);
  return stream == nullptr ? -1 : static_cast<int32_t>(stream->position);
}

int MemoryStreamSeek(uintptr_t handle, int32_t offset, int32_t origin) {
  MemoryStream* stream = AsStream(handle);
  if (stream == nullptr) return -1;
  int64_t position = SeekTarget(stream->position, stream->size, offset, origin);
  if (position < 0) return -1;
  stream->position = static_cast<uint32_t>(position);
  stream->eof = 0;
  return 0;
}

uint32_t MemoryStreamRead(void* buffer, uint32_t elementSize, uint32_t count, uintptr_t handle) {
  MemoryStream* stream = AsStream(handle);
  if (stream == nullptr || elementSize == 0 || count == 0) return 0;
  count = WholeElementsLeft(elementSize, count, stream->size - stream->position);
  if (count == 0) {
    stream->eof = 1;
    return 0;
  }
  size_t bytes = static_cast<size_t>(elementSize) * count;
  memcpy(buffer, stream->data + stream->position, bytes);
  stream->position += static_cast<uint32_t>(bytes);
  stream->eof = 0;
  return count;
}

int MemoryStreamEof(uintptr_t handle) {
  MemoryStream* stream = AsStream(handle);
  return stream == nullptr ? -1 : static_cast<int>(stream->eof);
}

int MemoryStreamIdle(uintptr_t) { return 1; }

int CloseMemoryStream(uintptr_t handle) {
  TrackedFree(AsStream(handle));
  return 0;
}
