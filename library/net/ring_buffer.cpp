#include "library/net/ring_buffer.h"

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"

namespace {

int32_t Wrapped(const RingBuffer* ring, int32_t position) { return position >= ring->capacity ? 0 : position; }

}  // namespace

int ReserveRingBuffer(RingBuffer* ring, int32_t n) {
  if (n >= 0 && static_cast<int64_t>(ring->capacity) >= static_cast<int64_t>(ring->dataLength) + n) return 0;
  int64_t need = static_cast<int64_t>(ring->dataLength) + n;
  int64_t size = static_cast<int64_t>(ring->dataLength) * 3 / 2 + n + 1000;
  auto* block = n >= 0 && need <= RingBufferLimit
                    ? static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(std::min<int64_t>(size, RingBufferLimit))))
                    : nullptr;
  if (block == nullptr) {
    WriteErrorLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %lld byte)",
                        static_cast<long long>(n >= 0 ? size : n));
    return -1;
  }
  if (ring->dataLength > 0) RingBufferRead(ring, block, ring->dataLength, 1);
  TrackedFree(ring->data);
  ring->data = block;
  ring->capacity = static_cast<int32_t>(std::min<int64_t>(size, RingBufferLimit));
  ring->readPosition = 0;
  ring->writePosition = ring->dataLength;
  return 0;
}

int RingBufferWrite(RingBuffer* ring, const void* bytes, int32_t n) {
  if (ReserveRingBuffer(ring, n) != 0) {
    WriteErrorLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", n);
    return -1;
  }
  if (n == 0) return 0;
  int32_t position = Wrapped(ring, ring->writePosition);
  int32_t first = std::min(n, ring->capacity - position);
  memcpy(ring->data + position, bytes, static_cast<size_t>(first));
  memcpy(ring->data, static_cast<const uint8_t*>(bytes) + first, static_cast<size_t>(n - first));
  ring->writePosition = first == n ? position + n : n - first;
  ring->dataLength += n;
  return 0;
}

int RingBufferRead(RingBuffer* ring, void* destination, int32_t n, int32_t peek) {
  if (n < 0 || n > ring->dataLength) return -1;
  if (n == 0) return 0;
  int32_t position = Wrapped(ring, ring->readPosition);
  int32_t first = std::min(n, ring->capacity - position);
  memcpy(destination, ring->data + position, static_cast<size_t>(first));
  memcpy(static_cast<uint8_t*>(destination) + first, ring->data, static_cast<size_t>(n - first));
  if (!peek) {
    ring->readPosition = first == n ? position + n : n - first;
    ring->dataLength -= n;
  }
  return 0;
}

void DropRingBufferTail(RingBuffer* ring, int32_t n) {
  n = std::clamp(n, 0, ring->dataLength);
  ring->dataLength -= n;
  int32_t position = Wrapped(ring, ring->readPosition) + ring->dataLength;
  ring->writePosition = position >= ring->capacity ? position - ring->capacity : position;
}

void ReleaseRingBuffer(RingBuffer* ring) {
  TrackedFree(ring->data);
  *ring = RingBuffer{};
}
