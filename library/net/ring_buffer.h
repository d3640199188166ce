// Byte rings: the receive and send queues of a network connection. The
// data run from the read position, wrapping at the capacity, for data length
// bytes; writing grows the block when it lacks room.
#pragma once

#include <cstdint>

struct RingBuffer {
  uint8_t* data;
  int32_t readPosition;  // a position equal to the capacity counts as 0
  int32_t writePosition;
  int32_t dataLength;
  int32_t capacity;
};

// No ring grows beyond this many bytes: a peer cannot make the library
// allocate without bound, and no size computed for a ring overflows.
constexpr int32_t RingBufferLimit = 16 * 1024 * 1024;

// Makes room for n more bytes. A new block holds the data (in order, from its
// start) with room for n more, plus half the data and 1000 bytes to spare. -1
// (logged) when n is negative, the ring would pass RingBufferLimit or memory
// runs out; the ring is then left as it was.
int ReserveRingBuffer(RingBuffer* ring, int32_t n);
// Appends n bytes, growing the ring as needed. 0 or -1 (logged; nothing added).
int RingBufferWrite(RingBuffer* ring, const void* bytes, int32_t n);
// Copies the first n bytes out; without peek they leave the ring. -1 when
// fewer than n bytes are held.
int RingBufferRead(RingBuffer* ring, void* destination, int32_t n, int32_t peek);
// Takes back the last n bytes written (no more than are held).
void DropRingBufferTail(RingBuffer* ring, int32_t n);
// Frees the block and zeroes the ring.
void ReleaseRingBuffer(RingBuffer* ring);
