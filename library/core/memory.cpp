#include "library/core/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "library/core/log.h"
#include "platform/win32/win32_system.h"

int32_t TrackedWatchSize = 0;
int32_t TrackedLogAll = 0;
int32_t TrackedLogTotals = 0;
int32_t TrackedCheckAlways = 0;
// Off under AddressSanitizer (GCC names it; clang tells it through
// __has_feature).
#if defined(__SANITIZE_ADDRESS__)
#define ZR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZR_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(ZR_ADDRESS_SANITIZER)
size_t TrackedOwnPagesFrom = 0;
#else
size_t TrackedOwnPagesFrom = 64 * 1024;
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

// The blocks on pages of their own (under the heap's lock).
std::unordered_set<const TrackedBlockHeader*>& OwnPageBlocks() {
  static auto* set = new std::unordered_set<const TrackedBlockHeader*>();
  return *set;
}

// A block of `bytes`, header included; null on failure.
void* NewBlock(size_t bytes, bool zeroed) {
  if (zeroed && TrackedOwnPagesFrom != 0 && bytes >= TrackedOwnPagesFrom) {
    void* pages = PlatformAllocZeroedPages(bytes);
    if (pages != nullptr) OwnPageBlocks().insert(static_cast<const TrackedBlockHeader*>(pages));
    return pages;
  }
  return zeroed ? calloc(1, bytes) : malloc(bytes);
}

void DeleteBlock(TrackedBlockHeader* header) {
  if (OwnPageBlocks().erase(header) != 0)
    PlatformFreePages(header, header->size + sizeof(TrackedBlockHeader));
  else
    free(header);
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

// A block from malloc, or zeroed: from calloc, or on pages of its own when
// it is large (see NewBlock).
void* AllocBlock(size_t size, const char* name, int line, bool zeroed) {
  std::lock_guard<std::recursive_mutex> lock(HeapMutex());
  void* raw = size > 0x7FFFFFFFu - kHeaderSize ? nullptr : NewBlock(size + kHeaderSize, zeroed);
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

void* TrackedAlloc(size_t size, const char* name, int line) { return AllocBlock(size, name, line, false); }

void* TrackedCalloc(size_t size, const char* name, int line) { return AllocBlock(size, name, line, true); }

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
    if (OwnPageBlocks().count(old) != 0) {
      // Moved whole into a new zeroed block (on pages of its own again when
      // it is still that large).
      raw = NewBlock(size + kHeaderSize, true);
      if (raw != nullptr) {
        memcpy(raw, old, kHeaderSize + (size < oldSize ? size : oldSize));
        DeleteBlock(old);
      }
    } else {
      raw = realloc(old, size + kHeaderSize);
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
  DeleteBlock(header);
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
