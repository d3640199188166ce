// The file function table: every file the library or the game reads goes
// through ActiveFileFunctions, filled with the archive-aware set (a path whose
// folder is packed is read from the archive file) or the plain-disk set.
// Loaders hold an opened file together with a StreamInterface; the game reads
// its text and data files byte by byte with FileStreamOpenRead,
// FileStreamGetChar and FileStreamClose.
//
// Every read of every set takes whole elements only: it copies and counts as
// many whole elements as are left, up to the count asked for, and moves the
// position past them. Bytes too few for one more element stay unread (the
// position stays before them), and a read that finds no whole element left
// returns 0 and sets end of file; one that reads something clears it. A read
// of element size 0 or count 0 does nothing and returns 0. So a count below the one asked for always
// means the end was reached, and no byte is passed over uncounted.
#pragma once

#include <cstddef>
#include <cstdint>

// A file opened through the table: an opaque nonzero value, 0 = none.
using FileId = uintptr_t;
// A search of find first / next / close; -1 = none.
using FindHandle = intptr_t;

// Local time of a file, as find reports it.
struct FileDateTime {
  uint32_t year;
  uint32_t month;
  uint32_t day;
  uint32_t hour;
  uint32_t minute;
  uint32_t second;
};

struct FileFindInfo {
  char name[260];
  uint32_t isDirectory;
  uint32_t sizeLow;
  uint32_t sizeHigh;
  FileDateTime creationTime;
  FileDateTime lastWriteTime;
};

// Seek origins.
constexpr int32_t SeekFromStart = 0;
constexpr int32_t SeekFromCurrent = 1;
constexpr int32_t SeekFromEnd = 2;

struct FileFunctionTable {
  // reserved is always passed as 1 and ignored. File id, or 0.
  FileId (*Open)(const char* path, int32_t useCache, int32_t reserved, int32_t async);
  int (*Close)(FileId file);
  int32_t (*Tell)(FileId file);
  int (*Seek)(FileId file, int32_t offset, int32_t origin);
  // The number of whole elements read.
  uint32_t (*Read)(void* buffer, uint32_t elementSize, uint32_t count, FileId file);
  // Nonzero once a read has found nothing left.
  int (*Eof)(FileId file);
  // 1 when no asynchronous operation of the file is pending.
  int (*Idle)(FileId file);
  int (*SetCurrentDir)(const char* path);
  // buffer holds at least 260 chars.
  int (*GetCurrentDir)(char* buffer);
  // info may be null. The search, or -1 when nothing matches.
  FindHandle (*FindFirst)(const char* pattern, FileFindInfo* info);
  int (*FindNext)(FindHandle find, FileFindInfo* info);
  int (*FindClose)(FindHandle find);
};

// The live table. Its static contents are the archive-aware set, so files
// can be read before start-up.
extern FileFunctionTable ActiveFileFunctions;

// When set, SetFileFunctionTable(nullptr) installs the plain-disk set. Off by
// default.
extern int32_t ArchiveSupportOff;

// Copies table into ActiveFileFunctions; null installs the archive-aware set
// (the plain-disk set with ArchiveSupportOff). Returns 0.
int SetFileFunctionTable(const FileFunctionTable* table);

// Each goes through the slot of ActiveFileFunctions installed at the time of
// the call. Library loaders open with (path, 0, 1, 0).
FileId FileStreamOpen(const char* path, int32_t useCache, int32_t reserved, int32_t async);
int FileStreamClose(FileId file);
int32_t FileStreamTell(FileId file);
int FileStreamSeek(FileId file, int32_t offset, int32_t origin);
uint32_t FileStreamRead(void* buffer, uint32_t elementSize, uint32_t count, FileId file);
int FileStreamEof(FileId file);
int FileStreamIdle(FileId file);

// The extension under which a folder may be packed into one archive file
// beside it ("dat" for the game); set before start-up. Returns 0.
int SetArchiveExtension(const char* extension);

// Opens path for reading, from an archive when its folder is packed. File id, or 0.
FileId FileStreamOpenRead(const char* path, int32_t async);
// The next byte; char -1 (0xFF) at the end of the file, on a failed read and
// for file id 0, so a data byte 0xFF also ends a reader that stops at -1.
char FileStreamGetChar(FileId file);

// The stream operations loaders use on an opened file or a block of memory.
// The handle is a FileId or a MemoryStream pointer; the arguments and results
// are those of the table's slots 2, 3, 4, 5, 6 and 1.
struct StreamInterface {
  int32_t (*Tell)(uintptr_t stream);
  int (*Seek)(uintptr_t stream, int32_t offset, int32_t origin);
  uint32_t (*Read)(void* buffer, uint32_t elementSize, uint32_t count, uintptr_t stream);
  int (*Eof)(uintptr_t stream);
  int (*Idle)(uintptr_t stream);
  int (*Close)(uintptr_t stream);
};

// Over the file table (the FileStream* functions).
const StreamInterface* GetFileStreamInterface();
// Over MemoryStream.
const StreamInterface* GetMemoryStreamInterface();

// How many whole elements a read of count elements may take with `left`
// bytes before the end: count, cut to what is left. Element size must be nonzero.
inline uint32_t WholeElementsLeft(uint32_t elementSize, uint32_t count, uint64_t left) {
  uint64_t fit = left / elementSize;
  return fit < count ? static_cast<uint32_t>(fit) : count;
}

// Where a seek lands in a file of `size` bytes read up to `current`: clamped
// to 0..size in every set, or -1 for an unknown origin.
inline int64_t SeekTarget(int64_t current, int64_t size, int32_t offset, int32_t origin) {
  if (origin < SeekFromStart || origin > SeekFromEnd) return -1;
  int64_t base = origin == SeekFromStart ? 0 : origin == SeekFromCurrent ? current : size;
  int64_t position = base + offset;
  return position < 0 ? 0 : position > size ? size : position;
}
