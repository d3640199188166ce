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

// Zeroed blocks of this many bytes or more (header included) take pages of
// their own from the system, as a Windows heap serves its largest blocks,
// and give them back when freed; 0: none. Such blocks are mostly sparse: a
// font's table of 65536 character codes, of which it touches the few pages
// its characters fall in; glyph caches filled as text is drawn; the
// premultiplied copy and run table of a picture, built only if it is drawn
// in a way that needs them. Fresh pages take memory only where they are
// written, while a block zeroed where freed blocks lay (pictures dropped by
// a screen-mode change, say) would have all its pages written by the
// zeroing. 64 KB; 0 under AddressSanitizer, whose allocator serves large
// blocks from fresh pages itself and guards their edges.
extern size_t TrackedOwnPagesFrom;

// Totals of the live blocks.
int32_t TrackedTotalSize();
int32_t TrackedBlockCount();
