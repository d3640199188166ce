// Object handles: every object the library hands out (graph, sound, movie,
// font, mask, network connection...) is a signed 32-bit handle made of its
// kind, a check number and the slot of its record in the kind's table. Each
// module keeps one HandleTable for its kind and tests every handle it is given
// against it (Find), so a stale handle, whose slot has since been reused,
// and a handle of another kind are refused.
#pragma once

#include <cstdint>

// Bit 31 is 0 (any negative value is no handle, -1 = none or failure), bits
// 27 to 30 the kind, bits 16 to 26 the check number, bits 0 to 15 the slot.
using ObjectHandle = int32_t;

// HandleKind values.
constexpr int32_t HandleKindGraph = 0x08000000;
constexpr int32_t HandleKindSound = 0x10000000;
constexpr int32_t HandleKindMovie = 0x18000000;
constexpr int32_t HandleKindFont = 0x20000000;
constexpr int32_t HandleKindMask = 0x28000000;
constexpr int32_t HandleKindNetwork = 0x30000000;
constexpr int32_t HandleKindKeyInput = 0x38000000;
constexpr int32_t HandleKindMusic = 0x40000000;
constexpr int32_t HandleKindLight = 0x48000000;
constexpr int32_t HandleKindTextureSet = 0x50000000;
constexpr int32_t HandleKindGraphImage = 0x58000000;
constexpr int32_t HandleKindShader = 0x60000000;
constexpr int32_t HandleKindSoftSound = 0x68000000;
constexpr int32_t HandleKindVertexBuffer = 0x70000000;
constexpr int32_t HandleKindIndexBuffer = 0x78000000;

constexpr int32_t HandleKindBits = 0x78000000;
constexpr int32_t HandleCheckBits = 0x07FF0000;
constexpr int32_t HandleSlotBits = 0xFFFF;
constexpr uint32_t HandleCheckMax = 2047;

constexpr ObjectHandle MakeObjectHandle(int32_t kind, uint32_t check, uint32_t slot) {
  return static_cast<ObjectHandle>(((check | static_cast<uint32_t>(kind) >> 16) << 16) | slot);
}

// The bookkeeping of one kind: record pointers (null = free slot), the number
// in use, the top (one past the highest slot in use) and the check number the
// next handle gets (0 to 2047, then 0 again). Record must have a u32
// `checkNumber`. The table only keeps the slots; each module allocates, fills
// and frees its own records.
template <typename Record, int32_t Kind, uint32_t Capacity>
struct HandleTable {
  static_assert(Capacity >= 1 && Capacity <= 0x10000, "a slot is 16 bits");

  Record* records[Capacity];
  uint32_t count;
  uint32_t top;
  uint32_t checkCounter;

  static constexpr int32_t kind = Kind;
  static constexpr uint32_t capacity = Capacity;

  // The validity test: the record of a live handle of this kind, else null.
  Record* Find(ObjectHandle handle) const {
    if (handle < 0 || (handle & HandleKindBits) != Kind) return nullptr;
    uint32_t slot = static_cast<uint32_t>(handle) & HandleSlotBits;
    if (slot >= Capacity) return nullptr;
    Record* record = records[slot];
    if (record == nullptr) return nullptr;
    if ((static_cast<uint64_t>(record->checkNumber) << 16) != static_cast<uint32_t>(handle & HandleCheckBits)) {
      return nullptr;
    }
    return record;
  }

  bool Full() const { return count >= Capacity; }

  // The slot a new handle takes: the top, or, once the top has reached the
  // capacity, the first free slot from 0. -1 when every slot is in use.
  int32_t FreeSlot() const {
    if (Full()) return -1;
    if (top < Capacity) return static_cast<int32_t>(top);
    for (uint32_t slot = 0; slot < Capacity; ++slot) {
      if (records[slot] == nullptr) return static_cast<int32_t>(slot);
    }
    return -1;
  }

  // Puts a record into a free slot (from FreeSlot), stamps it with the next
  // check number and returns its handle.
  ObjectHandle Insert(int32_t slot, Record* record) {
    uint32_t check = checkCounter;
    checkCounter = check >= HandleCheckMax ? 0 : check + 1;
    record->checkNumber = check;
    records[slot] = record;
    ++count;
    if (static_cast<uint32_t>(slot) == top) ++top;
    return MakeObjectHandle(Kind, check, static_cast<uint32_t>(slot));
  }

  // Gives up a slot in use: the count goes down, the top comes down past the
  // free slots below it when the slot was the highest, the slot is cleared.
  // The record itself is the caller's to free.
  void Remove(uint32_t slot) {
    records[slot] = nullptr;
    --count;
    if (slot + 1 == top) {
      while (top > 0 && records[top - 1] == nullptr) --top;
    }
  }

  // The handle of the record in a slot, rebuilt from its check number.
  ObjectHandle HandleAt(uint32_t slot) const {
    return MakeObjectHandle(Kind, records[slot]->checkNumber, slot);
  }

  // Forgets every slot (count and top 0), as at module start-up; the check
  // counter runs on.
  void Reset() {
    for (uint32_t slot = 0; slot < top; ++slot) records[slot] = nullptr;
    count = 0;
    top = 0;
  }
};
