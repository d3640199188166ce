// Archive files: a folder tree packed into one file, every byte scrambled
// with a 12-byte key by its file position, members stored as they are or
// packed in the library's LZ format.
//
// Layout (little-endian): the head (magic "ZR", u16 version below 5, u32
// head-table size, u32 data start, u32 head-table offset, u32 file-table and
// u32 directory-table offsets relative to the head table, and from version 4
// a u32 code page of the names), the head table (name records from its
// offset 0, the file table, the directory table) and the member data.
//
// Every table access is checked against the head table and every member
// against the archive's size, so a damaged archive is refused, never read
// out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/file_table.h"
#include "platform/win32/win32_types.h"

constexpr uint32_t ArchiveMaxVersion = 4;
constexpr uint32_t ArchiveDirectoryAttribute = 0x10;
constexpr uint32_t ArchiveStoredMark = 0xFFFFFFFFu;  // packed size of a stored member
constexpr uint32_t ArchiveNoParent = 0xFFFFFFFFu;    // parent of the root directory
constexpr uint32_t ArchiveDirectoryRecordSize = 16;
constexpr size_t ArchiveKeySize = 12;
constexpr size_t ArchivePathSize = 1024;
// The longest name component, in bytes.
constexpr size_t ArchiveMaxNameLength = 255;

// Head sizes: versions 0 to 3 have no code page.
constexpr uint32_t ArchiveHeadSize(uint32_t version) { return version >= 4 ? 28 : 24; }
// File-table entries: versions 0 and 1 have no packed size.
constexpr uint32_t ArchiveEntrySize(uint32_t version) { return version >= 2 ? 44 : 40; }

struct ArchiveHead {
  uint16_t magic;
  uint16_t version;
  uint32_t headTableSize;
  uint32_t dataStart;
  uint32_t headTableOffset;
  uint32_t fileTableOffset;
  uint32_t directoryTableOffset;
  uint32_t codePage;  // 0 before version 4
};

// One file-table entry, decoded.
struct ArchiveFileEntry {
  uint32_t nameOffset;
  uint32_t attributes;
  FILETIME creationTime;
  FILETIME accessTime;  // not read
  FILETIME lastWriteTime;
  uint32_t dataOffset;  // a file's from the data start; a directory's record in the directory table
  uint32_t size;
  uint32_t packedSize;  // ArchiveStoredMark for stored members
};

struct ArchiveDirectoryRecord {
  uint32_t ownEntry;  // not read
  uint32_t parent;    // offset of the parent's record, ArchiveNoParent for the root
  uint32_t entryCount;
  uint32_t firstEntry;  // file-table offset of the first entry
};

// The search form of one name: upper-cased a to z (double-byte characters as
// they are), NUL-padded to units x 4 bytes, with the 16-bit sum of its bytes.
struct ArchiveName {
  uint16_t units;
  uint16_t checkSum;
  uint8_t bytes[(ArchiveMaxNameLength + 4) / 4 * 4];
};

// One open archive: streamed (the head table in memory, members read from
// the file through its access thread) or with its whole image in memory.
// Look-ups start from the root directory.
struct ArchiveObject {
  ArchiveHead head;
  int32_t charSet;  // double-byte test of the names: 0 and 1 Shift-JIS, 2 to 4 any byte from 0x80
  uint8_t* image;   // the whole archive, unscrambled
  FileId file;      // streamed: the archive's disk file
  uint8_t* headTable;
  uint32_t archiveSize;  // bytes of the file or image
  uint8_t key[ArchiveKeySize];
  uint32_t imageInMemory;
  uint32_t imageBelongsToCaller;
  uint32_t imageSize;
  uint32_t loadPending;  // whole-file mode: the image is still being read
  FileId loadFile;
};

// The names' character set of a version 4 archive's code page.
int32_t ArchiveCharSetOfCodePage(uint32_t codePage);

// The key of the key string (null or empty: the fixed key).
void MakeArchiveKey(const char* keyString, uint8_t key[ArchiveKeySize]);
// The second key, tried when the first does not give the magic.
void MakeArchiveSecondKey(uint8_t key[ArchiveKeySize]);
// XORs byte i of buffer with key[(filePosition + i) mod 12]: scrambles and unscrambles.
void ScrambleArchiveBytes(uint32_t size, void* buffer, uint32_t filePosition,
                          const uint8_t key[ArchiveKeySize]);
// Reads size bytes at position (-1: the current one) of the disk file,
// waits for them and unscrambles them. 0, or -1 when the file is too short.
int ReadArchiveBytes(int64_t position, void* buffer, uint32_t size, const uint8_t key[ArchiveKeySize],
                     FileId file);

// The search form of the first component of text (up to '\', '/' or the
// end); consumed gets its length in bytes. -1 for a component longer than
// ArchiveMaxNameLength.
int MakeArchiveName(int32_t charSet, const char* text, ArchiveName* out, size_t* consumed);

void InitArchiveObject(ArchiveObject* object);
// Streamed mode, through a disk file with an access thread. 0 or -1.
int OpenArchiveFile(ArchiveObject* object, const char* path, const char* keyString);
// Reads the whole file into memory, in the background with async. 0 or -1.
int OpenArchiveWholeFile(ArchiveObject* object, const char* path, const char* keyString, int32_t async);
// Over an image the caller holds, unscrambled in place while open and
// scrambled back when refused or released. 0 or -1.
int OpenArchiveFromMemory(ArchiveObject* object, void* image, uint32_t size, const char* keyString);
// 1 once a whole-file load has ended (the image is then unscrambled), else 0.
int IsArchiveImageLoaded(ArchiveObject* object);
// The image after any pending load, or null in streamed mode.
void* GetArchiveImage(ArchiveObject* object);
// Offset in the image (data start + data offset) and unpacked size of a
// member of an in-memory archive. 0, or -1 when there is no such member or
// its bytes lie outside the image.
int GetArchiveMemberInMemory(ArchiveObject* object, const char* path, uint32_t* offset, uint32_t* size);
void ReleaseArchiveObject(ArchiveObject* object);
int CloseArchiveObject(ArchiveObject* object);

// Look-ups. Paths are relative to the root; '\' or '/' separate components;
// "." stays and ".." goes up. The directory is given as the offset of its
// record in the directory table.
int ReadArchiveDirectory(const ArchiveObject* object, uint32_t directory, ArchiveDirectoryRecord* out);
// Entry index of the directory; -1 past its count or outside the table.
int ReadArchiveDirectoryEntry(const ArchiveObject* object, const ArchiveDirectoryRecord& directory, uint32_t index,
                              ArchiveFileEntry* out);
// The entry's search-form bytes (units x 4) and its name as written, or -1.
int GetArchiveEntryName(const ArchiveObject* object, const ArchiveFileEntry& entry, const uint8_t** searchForm,
                        size_t* searchFormSize, const char** written);
// The subdirectory of directory with the name. 0 or -1.
int EnterArchiveSubdirectory(const ArchiveObject* object, uint32_t directory, const ArchiveName& name,
                             uint32_t* subdirectory);
// Walks the first length bytes of path from the root, every component a
// directory. 0 with the directory reached, or -1.
int FindArchiveEntry(const ArchiveObject* object, const char* path, size_t length, uint32_t* directory);
// The file (not directory) entry of path. 0 or -1.
int FindArchiveFileEntry(const ArchiveObject* object, const char* path, ArchiveFileEntry* entry);

// The bytes of one member opened for reading.
struct ArchiveMemberStream {
  ArchiveObject* object;
  ArchiveFileEntry entry;
  uint8_t* unpacked;  // a packed member's bytes, unpacked
  uint8_t* packed;    // a packed member's bytes while an async read of them runs
  uint32_t eof;
  uint32_t position;
  uint32_t async;
  uint32_t pendingRead;  // 0 none, 1 packed bytes, 2 stored bytes into the caller's buffer
  uint32_t pendingPosition;
  void* pendingDestination;
  uint32_t pendingCount;
  uint32_t failed;  // the packed bytes did not unpack: the member reads as empty
};

// 0, or -1 when the member is missing, lies outside the archive or does not unpack.
int OpenArchiveMember(ArchiveMemberStream* stream, ArchiveObject* object, const char* path, int32_t async);
// Reads up to size bytes; the count read (with async, the count started).
uint32_t ReadArchiveMember(ArchiveMemberStream* stream, void* buffer, uint32_t size);
int SeekArchiveMember(ArchiveMemberStream* stream, int32_t offset, int32_t origin);
int32_t TellArchiveMember(ArchiveMemberStream* stream);
int ArchiveMemberEof(ArchiveMemberStream* stream);
int IsArchiveMemberIdle(ArchiveMemberStream* stream);
int CloseArchiveMember(ArchiveMemberStream* stream);
