// Tracked memory: every library allocation carries a header with its size,
// source name, line and serial number, and all live blocks form one list, so
// that what the library still holds can be written to the log.
#pragma once

#include <cstddef>
#include <cstdint>

// Null on failure. name may be null; line is for the caller's record.
void* TrackedAlloc(size_t size, const char* name = nullptr, int line = 0);
void* TrackedCalloc(size_t size, const char* name = nullptr, int line = 0);
// A null pointer allocates; on failure the old block stays valid and null is returned.
void* TrackedRealloc(void* pointer, size_t size, const char* name = nullptr, int line = 0);
// Null is ignored; a pointer the allocator never gave out (or already freed)
// is logged and left alone.
void TrackedFree(void* pointer);

// 0 when every header is intact, -1 at the first that is not (logged).
int CheckTrackedHeap();
// Writes "Alloc memory dump" with every live block, newest first, and the totals.
void DumpTrackedHeap();
void LogTrackedTotal();

// Switches: a block of exactly TrackedWatchSize bytes (every block when it is
// negative, or with TrackedLogAll) is logged on allocation, re-allocation and
// free; TrackedLogTotals logs the totals after each; TrackedCheckAlways checks
// every header on each operation.
extern int32_t TrackedWatchSize;
extern int32_t TrackedLogAll;
extern int32_t TrackedLogTotals;
extern int32_t TrackedCheckAlways;

// Totals of the live blocks.
int32_t TrackedTotalSize();
int32_t TrackedBlockCount();
