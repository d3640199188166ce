// The archive-aware set of the file function table. A path whose folder (or
// a folder above it) has an archive beside it, named after the folder with
// the archive extension, is read from that archive, and the archive hides
// the folder on disk; any other path is read from disk. Open archives are
// shared by path with reference counts; up to 512 archives and 512 files.
#pragma once

#include <cstdint>

#include "library/file/archive.h"
#include "library/file/file_table.h"

constexpr int32_t MaxSharedArchives = 512;
constexpr int32_t MaxArchiveOpenFiles = 512;
// File ids of the set: the slot with these bits set.
constexpr uint32_t ArchiveFileIdTag = 0xF0000000u;

struct SharedArchiveEntry {
  uint32_t refCount;
  ArchiveObject object;
  char path[ArchivePathSize];
};

struct SharedArchiveTable {
  SharedArchiveEntry* entries[MaxSharedArchives];
  int32_t count;
};
extern SharedArchiveTable SharedArchives;

struct OpenFileRecord {
  uint32_t inArchive;
  FileId diskFile;
  uint32_t archiveIndex;
  ArchiveMemberStream member;
};

struct OpenFileTable {
  OpenFileRecord* files[MaxArchiveOpenFiles];
  int32_t count;
};
extern OpenFileTable ArchiveOpenFiles;

// A search of find first under this set: in an archive or on disk.
struct ArchiveSearchRecord {
  ArchiveObject* object;
  char pattern[ArchivePathSize];  // upper-cased
  uint32_t directory;
  uint32_t next;  // the next candidate: "." (and ".." below the root), then the entries
};

struct ArchiveFindRecord {
  uint32_t inArchive;
  uint32_t archiveIndex;
  ArchiveSearchRecord search;
  FindHandle diskFind;
};

// Slots 0 to 11.
FileId ArchiveFileOpen(const char* path, int32_t useCache, int32_t reserved, int32_t async);
int ArchiveFileClose(FileId file);
int32_t ArchiveFileTell(FileId file);
int ArchiveFileSeek(FileId file, int32_t offset, int32_t origin);
uint32_t ArchiveFileRead(void* buffer, uint32_t elementSize, uint32_t count, FileId file);
int ArchiveFileEof(FileId file);
int ArchiveFileIdle(FileId file);
int ArchiveSetCurrentDir(const char* path);
int ArchiveGetCurrentDir(char* buffer);
FindHandle ArchiveFindFirst(const char* pattern, FileFindInfo* info);
int ArchiveFindNext(FindHandle find, FileFindInfo* info);
int ArchiveFindClose(FindHandle find);

extern const FileFunctionTable ArchiveFileFunctions;

// Stores an extension of 1 to 63 chars; an empty or longer one clears it
// (archives are then looked for with "ZRA"). Returns 0.
int ArchiveSetExtension(const char* extension);
// Closes every archive no file or search holds. Returns 0.
int CleanupArchives();
int CloseUnusedArchives();

// The index of the shared archive of path, opened when needed (one more
// reference), or -1.
int32_t OpenSharedArchive(int32_t hint, const char* path, int32_t wholeFile, int32_t async);
// Gives one reference back (never below 0).
void ReleaseSharedArchive(int32_t index);

// The absolute, upper-cased form of path. 0, or -1 when it does not fit.
int NormalizeArchivePath(const char* path, char* out, size_t outSize);
// Finds the archive that holds path. 0 with the archive's index (one more
// reference), its path and the path inside it (either out may be null, else
// holds ArchivePathSize bytes); -1 when no archive applies.
int OpenArchiveForPath(const char* path, int32_t* index, char* archivePath, char* innerPath);

// Splits path at its last '\', '/' or ':' into folder and pattern, both
// upper-cased. Each out holds ArchivePathSize bytes.
void SplitArchivePath(const char* path, char* folder, char* pattern);
// '?' matches one byte, a run of '*' up to the first occurrence of the
// pattern's next character; a double-byte character matches both its bytes.
// 0 on a match, else -1.
int MatchArchiveWildcard(const char* name, size_t nameLength, const char* pattern, int32_t charSet);
int ArchiveSearchFirst(ArchiveSearchRecord* search, ArchiveObject* object, const char* path, FileFindInfo* info);
int ArchiveSearchNext(ArchiveSearchRecord* search, FileFindInfo* info);
