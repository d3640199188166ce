#include "library/core/memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "library/core/log.h"
#include "platform/win32/win32_system.h"

int32_t TrackedWatchSize = 0;
int32_t TrackedLogAll = 0;
int32_t TrackedLogTotals = 0;
int32_t TrackedCheckAlways = 0;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer checks the blocks of its own heap only.
int32_t TrackedBlocksOfTheirOwn = 0;
#else
int32_t TrackedBlocksOfTheirOwn = 1;
#endif

namespace {

// The header in front of every block. The first six fields are checked
// against their copy, renewed whenever they change.
struct TrackedBlockHeader {
  char name[16];
  uint16_t serial;
  int16_t line;
  uint32_t size;
  TrackedBlockHeader* older;
  TrackedBlockHeader* newer;
  uint8_t check[40];
};
constexpr size_t kCheckedBytes = offsetof(TrackedBlockHeader, check);
static_assert(kCheckedBytes == 40, "checked fields");
static_assert(sizeof(TrackedBlockHeader) % 16 == 0, "user bytes stay 16-byte aligned");
constexpr size_t kHeaderSize = sizeof(TrackedBlockHeader);

struct TrackedHeap {
  TrackedBlockHeader* head = nullptr;
  TrackedBlockHeader listEnd = {};
  uint16_t serial = 0;
  int32_t totalSize = 0;
  int32_t blockCount = 0;
  // The blocks handed out, so a free of anything else is refused instead of
  // corrupting the list.
  std::unordered_set<const TrackedBlockHeader*>* live = nullptr;
};

TrackedHeap Heap;

std::recursive_mutex& HeapMutex() {
  static std::recursive_mutex* mutex = new std::recursive_mutex();
  return *mutex;
}

std::unordered_set<const TrackedBlockHeader*>& LiveBlocks() {
  if (Heap.live == nullptr) Heap.live = new std::unordered_set<const TrackedBlockHeader*>();
  return *Heap.live;
}

TrackedBlockHeader* HeaderOf(void* pointer) {
  return reinterpret_cast<TrackedBlockHeader*>(static_cast<char*>(pointer) - kHeaderSize);
}

void* UserOf(TrackedBlockHeader* header) { return reinterpret_cast<char*>(header) + kHeaderSize; }

void RenewCheck(TrackedBlockHeader* header) {
  if (header != nullptr) memcpy(header->check, header, kCheckedBytes);
}

void SetName(TrackedBlockHeader* header, const char* name, int line) {
  memset(header->name, 0, sizeof header->name);
  if (name != nullptr) {
    size_t n = strlen(name);
    const char* tail = n > 15 ? name + n - 15 : name;
    memcpy(header->name, tail, strlen(tail));
  }
  header->line = static_cast<int16_t>(line);
}

bool Watched(uint32_t size) {
  return TrackedWatchSize < 0 || static_cast<uint32_t>(TrackedWatchSize) == size || TrackedLogAll;
}

void LogBlock(const TrackedBlockHeader* header) {
  char text[512];
  int n = snprintf(text, sizeof text,
                   "\tsize:%d(%.3fkb)  file:%.15s  line:%d  ID:%d  addr:%08llx  data:<",
                   static_cast<int>(header->size), header->size / 1024.0, header->name,
                   static_cast<int>(static_cast<uint16_t>(header->line)), static_cast<int>(header->serial),
                   static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(
                       reinterpret_cast<const char*>(header) + kHeaderSize)));
  const auto* data = reinterpret_cast<const uint8_t*>(header) + kHeaderSize;
  // A damaged header may claim more bytes than the block holds: show no more
  // than both the size and its checked copy allow.
  uint32_t copiedSize;
  memcpy(&copiedSize, header->check + offsetof(TrackedBlockHeader, size), sizeof copiedSize);
  uint32_t shown = header->size < copiedSize ? header->size : copiedSize;
  if (shown > 16) shown = 16;
  for (uint32_t i = 0; i < shown; ++i)
    text[n++] = static_cast<int8_t>(data[i]) < 32 ? '.' : static_cast<char>(data[i]);
  n += snprintf(text + n, sizeof text - static_cast<size_t>(n), "> [");
  for (uint32_t i = 0; i < shown; ++i)
    n += snprintf(text + n, sizeof text - static_cast<size_t>(n), "%02x ", data[i]);
  if (shown > 0) --n;  // the last space gives way to the closing bracket
  snprintf(text + n, sizeof text - static_cast<size_t>(n), "]\n");
  WriteErrorLog(text);
}

void AfterChange(const char* what, const TrackedBlockHeader* header) {
  if (Watched(header->size)) {
    WriteErrorLog(what);
    LogBlock(header);
  }
  if (TrackedLogTotals) LogTrackedTotal();
}

}  // namespace

namespace {

// ---------------------------------------------------------------- where blocks come from

// Zeroed blocks of this size or more, and blocks that may stay untouched,
// come from the system on their own, as
// the Windows heap takes its large blocks: pages of zeros made only when
// first touched (a font's code table is mostly never touched, a picture's
// run table only once it is drawn), given back when the block is freed.
// calloc would clear them again whenever it hands out memory that was used
// before, and blocks left untouched inside the heap would push the next
// blocks onto fresh pages.
constexpr size_t kMappedZeroedBlock = 64 << 10;

// Pixel blocks of this size or more are packed into one span of address
// space that the system backs with huge pages where it can.
constexpr size_t kSpanPixelBlock = 64 << 10;
constexpr size_t kPixelSpanBytes = size_t{1} << 30;
constexpr size_t kSpanGrain = 64;  // keeps the headers and pixels aligned

// The span of pixel blocks: first fit by address among the free ranges, else
// from the top. Under the heap mutex.
struct PixelSpan {
  uint8_t* base = nullptr;
  bool reserved = false;
  size_t top = 0;                      // bytes above it never handed out
  std::map<size_t, size_t>* free = nullptr;  // offset -> length, no two adjacent

  size_t high = 0;  // bytes below it handed out or made ahead of use at some time

  bool Reserve() {
    if (!reserved) {
      reserved = true;
      base = static_cast<uint8_t*>(PlatformReserveHugePageSpan(kPixelSpanBytes));
      if (base != nullptr) free = new std::map<size_t, size_t>();
    }
    return base != nullptr;
  }
  void* Take(size_t bytes) {
    if (!Reserve()) return nullptr;
    bytes = (bytes + kSpanGrain - 1) / kSpanGrain * kSpanGrain;
    for (auto it = free->begin(); it != free->end(); ++it) {
      if (it->second < bytes) continue;
      const size_t offset = it->first, left = it->second - bytes;
      free->erase(it);
      if (left > 0) free->emplace(offset + bytes, left);
      return base + offset;
    }
    if (bytes > kPixelSpanBytes - top) return nullptr;
    top += bytes;
    high = std::max(high, top);
    return base + top - bytes;
  }
  void Give(void* p, size_t bytes) {
    size_t offset = static_cast<size_t>(static_cast<uint8_t*>(p) - base);
    bytes = (bytes + kSpanGrain - 1) / kSpanGrain * kSpanGrain;
    auto next = free->lower_bound(offset);
    if (next != free->begin()) {
      auto before = std::prev(next);
      if (before->first + before->second == offset) {
        offset = before->first;
        bytes += before->second;
        free->erase(before);
      }
    }
    if (next != free->end() && offset + bytes == next->first) {
      bytes += next->second;
      free->erase(next);
    }
    if (offset + bytes == top) {
      top = offset;  // (its pages stay with the process for the next pictures)
    } else {
      free->emplace(offset, bytes);
    }
  }
};

PixelSpan Span;

constexpr size_t kPrefaultStep = 2 << 20;  // a huge page

// The blocks that came from a mapping of their own or from the span, with
// the bytes they were given (their headers may be damaged by the time they
// are freed).
struct OwnBlock {
  size_t bytes;
  bool mapped;
};
std::unordered_map<const TrackedBlockHeader*, OwnBlock>& OwnBlocks() {
  static auto* blocks = new std::unordered_map<const TrackedBlockHeader*, OwnBlock>();
  return *blocks;
}

size_t Rounded(size_t bytes) {
  const size_t page = PlatformPageSize();
  return (bytes + page - 1) / page * page;
}

void ReleaseRaw(TrackedBlockHeader* header) {
  auto own = OwnBlocks().find(header);
  if (own == OwnBlocks().end()) {
    free(header);
    return;
  }
  const OwnBlock block = own->second;
  OwnBlocks().erase(own);
  if (block.mapped)
    PlatformUnmapBlock(header, block.bytes);
  else
    Span.Give(header, block.bytes);
}

enum class BlockKind { Plain, Zeroed, Untouched, Pixels };

// A block from malloc, zeroed from calloc or a mapping of its own, or for
// pixels from the span.
void* AllocBlock(size_t size, const char* name, int line, BlockKind kind) {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  void* raw = nullptr;
  if (size <= 0x7FFFFFFFu - kHeaderSize) {
    const size_t bytes = size + kHeaderSize;
    if (TrackedBlocksOfTheirOwn && (kind == BlockKind::Zeroed || kind == BlockKind::Untouched) &&
        size >= kMappedZeroedBlock) {
      raw = PlatformMapBlock(Rounded(bytes));
      if (raw != nullptr) OwnBlocks()[static_cast<TrackedBlockHeader*>(raw)] = {Rounded(bytes), true};
    } else if (TrackedBlocksOfTheirOwn && kind == BlockKind::Pixels && size >= kSpanPixelBlock) {
      raw = Span.Take(bytes);
      if (raw != nullptr) OwnBlocks()[static_cast<TrackedBlockHeader*>(raw)] = {bytes, false};
    }
    if (raw == nullptr) raw = kind == BlockKind::Zeroed ? calloc(1, bytes) : malloc(bytes);
  }
  if (raw == nullptr) {
    DumpTrackedHeap();
    CheckTrackedHeap();
    return nullptr;
  }
  auto* header = static_cast<TrackedBlockHeader*>(raw);
  SetName(header, name, line);
  header->size = static_cast<uint32_t>(size);
  header->serial = Heap.serial++;
  if (Heap.head == nullptr) Heap.head = &Heap.listEnd;
  TrackedBlockHeader* oldHead = Heap.head;
  oldHead->newer = header;
  header->older = oldHead;
  header->newer = nullptr;
  Heap.head = header;
  RenewCheck(header);
  RenewCheck(oldHead);
  LiveBlocks().insert(header);
  Heap.totalSize += static_cast<int32_t>(size);
  ++Heap.blockCount;
  AfterChange("mem alloc  ", header);
  if (TrackedCheckAlways) CheckTrackedHeap();
  return UserOf(header);
}

}  // namespace

void* TrackedAlloc(size_t size, const char* name, int line) { return AllocBlock(size, name, line, BlockKind::Plain); }

void* TrackedCalloc(size_t size, const char* name, int line) { return AllocBlock(size, name, line, BlockKind::Zeroed); }

void* TrackedAllocUntouched(size_t size, const char* name, int line) {
  return AllocBlock(size, name, line, BlockKind::Untouched);
}

void* TrackedAllocPixels(size_t size, const char* name, int line) {
  return AllocBlock(size, name, line, BlockKind::Pixels);
}

void PrefaultPixelSpan(size_t bytes, const std::atomic<bool>& stop) {
  size_t from, to;
  uint8_t* base;
  {
    std::lock_guard<std::recursive_mutex> lock(HeapMutex());
    if (!TrackedBlocksOfTheirOwn || !Span.Reserve()) return;
    base = Span.base;
    from = Span.top;
    to = std::min(Span.top + bytes, kPixelSpanBytes);
  }
  for (size_t at = from; at < to && !stop.load(); at += kPrefaultStep) {
    const size_t step = std::min(kPrefaultStep, to - at);
    PlatformPrefaultMemory(base + at, step);
    std::lock_guard<std::recursive_mutex> lock(HeapMutex());
    Span.high = std::max(Span.high, at + step);
  }
}

void ReturnUnusedPixelSpan() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  if (Span.base == nullptr || Span.high <= Span.top) return;
  PlatformDiscardPages(Span.base + Span.top, Span.high - Span.top);
  Span.high = Span.top;
}

void* TrackedRealloc(void* pointer, size_t size, const char* name, int line) {
  if (pointer == nullptr) return TrackedAlloc(size, name, line);
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  TrackedBlockHeader* old = HeaderOf(pointer);
  if (LiveBlocks().count(old) == 0) {
    WriteErrorLogFormat("確保していないメモリの再確保が要求されました addr:%p in TrackedRealloc",
                        pointer);
    return nullptr;
  }
  uint32_t oldSize = old->size;
  void* raw = nullptr;
  if (size <= 0x7FFFFFFFu - kHeaderSize) {
    if (OwnBlocks().count(old) == 0) {
      raw = realloc(old, size + kHeaderSize);
    } else {
      // Moved into an ordinary block; what it grows by reads zeros, as the
      // untouched pages of the old one did.
      raw = malloc(size + kHeaderSize);
      if (raw != nullptr) {
        memcpy(raw, old, kHeaderSize + (size < oldSize ? size : oldSize));
        if (size > oldSize) memset(static_cast<uint8_t*>(raw) + kHeaderSize + oldSize, 0, size - oldSize);
        ReleaseRaw(old);
      }
    }
  }
  if (raw == nullptr) {
    DumpTrackedHeap();
    return nullptr;
  }
  auto* header = static_cast<TrackedBlockHeader*>(raw);
  if (size > oldSize) memset(reinterpret_cast<char*>(header) + kHeaderSize + oldSize, 0, size - oldSize);
  LiveBlocks().erase(old);
  LiveBlocks().insert(header);
  SetName(header, name, line);
  header->serial = Heap.serial++;
  header->older->newer = header;
  if (header->newer != nullptr) header->newer->older = header;
  if (Heap.head == old) Heap.head = header;
  Heap.totalSize += static_cast<int32_t>(size) - static_cast<int32_t>(oldSize);
  header->size = static_cast<uint32_t>(size);
  RenewCheck(header);
  RenewCheck(header->older);
  RenewCheck(header->newer);
  AfterChange("mem realloc  ", header);
  if (TrackedCheckAlways) CheckTrackedHeap();
  return UserOf(header);
}

void TrackedFree(void* pointer) {
  if (pointer == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  TrackedBlockHeader* header = HeaderOf(pointer);
  if (LiveBlocks().count(header) == 0) {
    WriteErrorLogFormat("確保していないメモリの解放が要求されました addr:%p in TrackedFree", pointer);
    return;
  }
  Heap.totalSize -= static_cast<int32_t>(header->size);
  --Heap.blockCount;
  if (TrackedCheckAlways) CheckTrackedHeap();
  header->older->newer = header->newer;
  if (header->newer != nullptr) header->newer->older = header->older;
  if (Heap.head == header) Heap.head = header->older;
  RenewCheck(header->older);
  RenewCheck(header->newer);
  LiveBlocks().erase(header);
  AfterChange("mem free  ", header);
  ReleaseRaw(header);
}

int CheckTrackedHeap() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  for (TrackedBlockHeader* h = Heap.head; h != nullptr && h != &Heap.listEnd; h = h->older) {
    if (memcmp(h, h->check, kCheckedBytes) != 0) {
      WriteErrorLog("以下のメモリ確保情報が破損しました");
      LogBlock(h);
      return -1;
    }
  }
  return 0;
}

void LogTrackedTotal() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  WriteErrorLogFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", Heap.totalSize,
                      Heap.totalSize / 1024.0, Heap.blockCount);
}

void DumpTrackedHeap() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  WriteErrorLog("\n");
  WriteErrorLog("Alloc memory dump\n");
  for (TrackedBlockHeader* h = Heap.head; h != nullptr && h != &Heap.listEnd; h = h->older)
    LogBlock(h);
  LogTrackedTotal();
  WriteErrorLog("\n");
}

int32_t TrackedTotalSize() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  return Heap.totalSize;
}

int32_t TrackedBlockCount() {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  return Heap.blockCount;
}
