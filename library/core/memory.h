// Tracked memory: every library allocation carries a header with its size,
// source name, line and serial number, and all live blocks form one list, so
// that what the library still holds can be written to the log.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Null on failure. name may be null; line is for the caller's record.
void* TrackedAlloc(size_t size, const char* name = nullptr, int line = 0);
// Zeroed. A large block (64 KB or more) comes from the system on its own:
// its pages are made only as they are first touched.
void* TrackedCalloc(size_t size, const char* name = nullptr, int line = 0);
// For a block written only when it is first needed, if ever (not zeroed): a
// large one (64 KB or more) comes from the system on its own as above, so
// that it takes no memory until then and the blocks made after it do not
// land on fresh pages beyond it.
void* TrackedAllocUntouched(size_t size, const char* name = nullptr, int line = 0);
// For pixels that are written right away (the memory images of pictures):
// a block of 64 KB or more is packed with the others into one span of
// address space that the system backs with huge pages where it can, which
// makes the first touch of a picture's pages far cheaper. Freed and
// reallocated as any other block.
void* TrackedAllocPixels(size_t size, const char* name = nullptr, int line = 0);
// The pixel span's pages for the next `bytes` of new pixel blocks (those
// above every block it has handed out) made ahead of their use, two
// megabytes at a time, until done or until `stop` is set: for time the
// process would otherwise spend waiting. Nothing when blocks of their own are
// off (see TrackedBlocksOfTheirOwn).
void PrefaultPixelSpan(size_t bytes, const std::atomic<bool>& stop);
// The pixel span's pages above every live pixel block (made ahead and never
// taken, or left by blocks freed there) go back to the system.
void ReturnUnusedPixelSpan();
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

// 1: large zeroed blocks and pixel blocks are placed as TrackedCalloc and
// TrackedAllocPixels say; 0: every block comes from malloc or calloc (the
// default under AddressSanitizer, whose checks cover its own heap only).
extern int32_t TrackedBlocksOfTheirOwn;

// Totals of the live blocks.
int32_t TrackedTotalSize();
int32_t TrackedBlockCount();
