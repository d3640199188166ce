#include "library/file/archive.h"

#include <cstdint>
#include <cstring>

#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/file/disk_file.h"

namespace {

// The fill byte of the key made without a key string, and of the second key.
// Archives written unscrambled are read with the second key.
constexpr uint8_t KeyFillByte = 0xD6;
constexpr uint8_t SecondKeyFillByte = 0x00;

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

FILETIME LoadFileTime(const uint8_t* p) { return FILETIME{LoadU32(p), LoadU32(p + 4)}; }

uint8_t RotateLeft(uint8_t value, int bits) {
  return static_cast<uint8_t>(value << bits | value >> (8 - bits));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Bytes of the character at p under the names' character set.
size_t CharLength(const char* p, int32_t charSet) {
  return CheckDoubleByteLead(p, charSet) && p[1] != '\0' ? 2 : 1;
}

bool HasMagic(const uint8_t* head) { return head[0] == 'Z' && head[1] == 'R'; }

// Fills the head from its bytes; false for a version the reader refuses.
bool ParseHead(const uint8_t* bytes, ArchiveHead* head, int32_t* charSet) {
  head->magic = LoadU16(bytes);
  head->version = LoadU16(bytes + 2);
  if (head->version > ArchiveMaxVersion) return false;
  head->headTableSize = LoadU32(bytes + 4);
  head->dataStart = LoadU32(bytes + 8);
  head->headTableOffset = LoadU32(bytes + 12);
  head->fileTableOffset = LoadU32(bytes + 16);
  head->directoryTableOffset = LoadU32(bytes + 20);
  head->codePage = head->version >= 4 ? LoadU32(bytes + 24) : 0;
  *charSet = ArchiveCharSetOfCodePage(head->codePage);
  return true;
}

// The head table lies inside the archive and holds the root directory.
bool HeadTableFits(const ArchiveHead& head, uint32_t archiveSize) {
  return static_cast<uint64_t>(head.headTableOffset) + head.headTableSize <= archiveSize &&
         head.fileTableOffset <= head.headTableSize &&
         static_cast<uint64_t>(head.directoryTableOffset) + ArchiveDirectoryRecordSize <= head.headTableSize;
}

// size bytes of the head table from offset, or null when they are not all in it.
const uint8_t* HeadBytes(const ArchiveObject* object, uint64_t offset, uint64_t size) {
  if (object->headTable == nullptr || offset + size > object->head.headTableSize) return nullptr;
  return object->headTable + offset;
}

void FinishImageLoad(ArchiveObject* object) {
  if (!object->loadPending) return;
  WaitDiskFileIdle(object->loadFile);
  IsArchiveImageLoaded(object);
}

// Opens the file and reads the head and the head table. 0 with the file and
// the head table in the object, or -1 with nothing held.
int OpenHeadFromFile(ArchiveObject* object, const char* path, const char* keyString, FileId* fileOut) {
  if (object->image != nullptr || object->file != 0 || object->loadPending) return -1;
  memset(&object->head, 0, sizeof object->head);
  FileId file = DiskFileOpen(path, 0, 1, 1);
  if (file == 0) return -1;
  uint32_t size = DiskFileSize(file);  // positions are 32-bit signed: 2 GB at most
  uint8_t head[28];
  uint8_t* headTable = nullptr;
  MakeArchiveKey(keyString, object->key);
  bool ok = size <= INT32_MAX && ReadArchiveBytes(0, head, 8, object->key, file) == 0;
  if (ok && !HasMagic(head)) {
    MakeArchiveSecondKey(object->key);
    ok = ReadArchiveBytes(0, head, 8, object->key, file) == 0 && HasMagic(head);
  }
  ok = ok && LoadU16(head + 2) <= ArchiveMaxVersion;
  ok = ok && ReadArchiveBytes(-1, head + 8, ArchiveHeadSize(LoadU16(head + 2)) - 8, object->key, file) == 0;
  ok = ok && ParseHead(head, &object->head, &object->charSet) && HeadTableFits(object->head, size);
  if (ok) {
    headTable = static_cast<uint8_t*>(TrackedAlloc(object->head.headTableSize));
    ok = headTable != nullptr && ReadArchiveBytes(object->head.headTableOffset, headTable,
                                                  object->head.headTableSize, object->key, file) == 0;
  }
  if (!ok) {
    DiskFileClose(file);
    TrackedFree(headTable);
    memset(&object->head, 0, sizeof object->head);
    return -1;
  }
  object->headTable = headTable;
  object->archiveSize = size;
  *fileOut = file;
  return 0;
}

}  // namespace

int32_t ArchiveCharSetOfCodePage(uint32_t codePage) {
  switch (codePage) {
    case 932:
      return 1;
    case 949:
      return 2;
    case 950:
      return 3;
    case 936:
      return 4;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------- scrambling

void MakeArchiveKey(const char* keyString, uint8_t key[ArchiveKeySize]) {
  size_t length = keyString != nullptr ? strlen(keyString) : 0;
  for (size_t i = 0; i < ArchiveKeySize; ++i)
    key[i] = length > 0 ? static_cast<uint8_t>(keyString[i % length]) : KeyFillByte;
  key[0] = static_cast<uint8_t>(~key[0]);
  key[1] = RotateLeft(key[1], 4);
  key[2] ^= 0x8A;
  key[3] = static_cast<uint8_t>(~RotateLeft(key[3], 3));
  key[4] = RotateLeft(key[4], 3);
  key[5] ^= 0x2C;
  key[6] = static_cast<uint8_t>(~key[6] ^ 0x65);
  key[7] = RotateLeft(key[7], 4) ^ 0x97;
  key[8] = static_cast<uint8_t>(~key[8]);
  key[9] = RotateLeft(key[9], 3) ^ 0xD1;
  key[10] ^= 0x4F;
  key[11] = static_cast<uint8_t>(~RotateLeft(key[11], 4));
}

void MakeArchiveSecondKey(uint8_t key[ArchiveKeySize]) { memset(key, SecondKeyFillByte, ArchiveKeySize); }

void ScrambleArchiveBytes(uint32_t size, void* buffer, uint32_t filePosition, const uint8_t key[ArchiveKeySize]) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint32_t k = filePosition % ArchiveKeySize;
  for (uint32_t i = 0; i < size; ++i) {
    bytes[i] ^= key[k];
    if (++k == ArchiveKeySize) k = 0;
  }
}

int ReadArchiveBytes(int64_t position, void* buffer, uint32_t size, const uint8_t key[ArchiveKeySize], FileId file) {
  if (position >= 0) {
    if (position > DiskFileSize(file)) return -1;
    DiskFileSeek(file, static_cast<int32_t>(position), SeekFromStart);
  }
  uint32_t at = static_cast<uint32_t>(DiskFileTell(file));
  if (size == 0) return 0;
  if (DiskFileRead(buffer, size, 1, file) != 1) return -1;
  WaitDiskFileIdle(file);
  ScrambleArchiveBytes(size, buffer, at, key);
  return 0;
}

// ---------------------------------------------------------------- names

int MakeArchiveName(int32_t charSet, const char* text, ArchiveName* out, size_t* consumed) {
  size_t length = 0;
  uint16_t sum = 0;
  memset(out->bytes, 0, sizeof out->bytes);
  while (text[length] != '\0' && !IsSeparator(text[length])) {
    size_t n = CharLength(text + length, charSet);
    if (length + n > ArchiveMaxNameLength) return -1;
    for (size_t i = 0; i < n; ++i) {
      auto byte = static_cast<uint8_t>(text[length + i]);
      if (n == 1 && byte >= 'a' && byte <= 'z') byte = static_cast<uint8_t>(byte - 'a' + 'A');
      out->bytes[length + i] = byte;
      sum = static_cast<uint16_t>(sum + byte);
    }
    length += n;
  }
  out->units = static_cast<uint16_t>((length + 4) / 4);
  out->checkSum = sum;
  if (consumed != nullptr) *consumed = length;
  return 0;
}

// ---------------------------------------------------------------- objects

void InitArchiveObject(ArchiveObject* object) { memset(object, 0, sizeof *object); }

int OpenArchiveFile(ArchiveObject* object, const char* path, const char* keyString) {
  FileId file = 0;
  if (OpenHeadFromFile(object, path, keyString, &file) != 0) return -1;
  object->file = file;
  object->imageInMemory = 0;
  object->imageBelongsToCaller = 0;
  return 0;
}

int OpenArchiveWholeFile(ArchiveObject* object, const char* path, const char* keyString, int32_t async) {
  FileId file = 0;
  if (OpenHeadFromFile(object, path, keyString, &file) != 0) return -1;
  uint32_t size = object->archiveSize;
  auto* image = static_cast<uint8_t*>(TrackedAlloc(size));
  if (image == nullptr || DiskFileSeek(file, 0, SeekFromStart) != 0 || DiskFileRead(image, size, 1, file) != 1) {
    DiskFileClose(file);
    TrackedFree(image);
    TrackedFree(object->headTable);
    InitArchiveObject(object);
    return -1;
  }
  object->image = image;
  object->imageSize = size;
  object->imageBelongsToCaller = 0;
  object->loadFile = file;
  object->loadPending = 1;
  if (!async) FinishImageLoad(object);
  return 0;
}

int IsArchiveImageLoaded(ArchiveObject* object) {
  if (!object->loadPending) return 1;
  if (DiskFileIdle(object->loadFile) == 0) return 0;
  DiskFileClose(object->loadFile);
  object->loadFile = 0;
  ScrambleArchiveBytes(object->imageSize, object->image, 0, object->key);
  object->loadPending = 0;
  object->imageInMemory = 1;
  return 1;
}

int OpenArchiveFromMemory(ArchiveObject* object, void* image, uint32_t size, const char* keyString) {
  if (object->image != nullptr || object->file != 0 || image == nullptr || size < 8) return -1;
  auto* bytes = static_cast<uint8_t*>(image);
  uint8_t head[28];
  MakeArchiveKey(keyString, object->key);
  memcpy(head, bytes, 8);
  ScrambleArchiveBytes(8, head, 0, object->key);
  if (!HasMagic(head)) {
    MakeArchiveSecondKey(object->key);
    memcpy(head, bytes, 8);
    ScrambleArchiveBytes(8, head, 0, object->key);
    if (!HasMagic(head)) return -1;
  }
  ScrambleArchiveBytes(size, bytes, 0, object->key);
  if (size < ArchiveHeadSize(LoadU16(bytes + 2)) || !ParseHead(bytes, &object->head, &object->charSet) ||
      !HeadTableFits(object->head, size)) {
    ScrambleArchiveBytes(size, bytes, 0, object->key);
    InitArchiveObject(object);
    return -1;
  }
  object->image = bytes;
  object->headTable = bytes + object->head.headTableOffset;
  object->archiveSize = size;
  object->imageSize = size;
  object->imageInMemory = 1;
  object->imageBelongsToCaller = 1;
  return 0;
}

void* GetArchiveImage(ArchiveObject* object) {
  FinishImageLoad(object);
  return object->imageInMemory ? object->image : nullptr;
}

int GetArchiveMemberInMemory(ArchiveObject* object, const char* path, uint32_t* offset, uint32_t* size) {
  FinishImageLoad(object);
  ArchiveFileEntry entry;
  if (!object->imageInMemory || FindArchiveFileEntry(object, path, &entry) != 0) return -1;
  uint64_t start = static_cast<uint64_t>(object->head.dataStart) + entry.dataOffset;
  uint64_t extent = entry.packedSize == ArchiveStoredMark ? entry.size : entry.packedSize;
  if (start + extent > object->imageSize) return -1;
  if (offset != nullptr) *offset = static_cast<uint32_t>(start);
  if (size != nullptr) *size = entry.size;
  return 0;
}

void ReleaseArchiveObject(ArchiveObject* object) {
  if (object->image == nullptr && object->file == 0 && !object->loadPending) return;
  FinishImageLoad(object);
  if (object->file != 0) {
    DiskFileClose(object->file);
    TrackedFree(object->headTable);
  } else if (object->imageBelongsToCaller) {
    ScrambleArchiveBytes(object->imageSize, object->image, 0, object->key);
  } else {
    TrackedFree(object->image);
    TrackedFree(object->headTable);
  }
  InitArchiveObject(object);
}

int CloseArchiveObject(ArchiveObject* object) {
  ReleaseArchiveObject(object);
  return 0;
}

// ---------------------------------------------------------------- look-ups

int ReadArchiveDirectory(const ArchiveObject* object, uint32_t directory, ArchiveDirectoryRecord* out) {
  const uint8_t* p = HeadBytes(object, static_cast<uint64_t>(object->head.directoryTableOffset) + directory,
                               ArchiveDirectoryRecordSize);
  if (p == nullptr) return -1;
  *out = {LoadU32(p), LoadU32(p + 4), LoadU32(p + 8), LoadU32(p + 12)};
  return 0;
}

int ReadArchiveDirectoryEntry(const ArchiveObject* object, const ArchiveDirectoryRecord& directory, uint32_t index,
                              ArchiveFileEntry* out) {
  if (index >= directory.entryCount) return -1;
  uint32_t size = ArchiveEntrySize(object->head.version);
  const uint8_t* p = HeadBytes(
      object, static_cast<uint64_t>(object->head.fileTableOffset) + directory.firstEntry + static_cast<uint64_t>(index) * size,
      size);
  if (p == nullptr) return -1;
  out->nameOffset = LoadU32(p);
  out->attributes = LoadU32(p + 4);
  out->creationTime = LoadFileTime(p + 8);
  out->accessTime = LoadFileTime(p + 16);
  out->lastWriteTime = LoadFileTime(p + 24);
  out->dataOffset = LoadU32(p + 32);
  out->size = LoadU32(p + 36);
  out->packedSize = object->head.version >= 2 ? LoadU32(p + 40) : ArchiveStoredMark;
  return 0;
}

namespace {

bool NameMatches(const ArchiveObject* object, const ArchiveFileEntry& entry, const ArchiveName& name) {
  const uint8_t* head = HeadBytes(object, entry.nameOffset, 4);
  if (head == nullptr || LoadU16(head) != name.units || LoadU16(head + 2) != name.checkSum) return false;
  const uint8_t* bytes = HeadBytes(object, entry.nameOffset + 4ull, name.units * 4ull);
  return bytes != nullptr && memcmp(bytes, name.bytes, name.units * 4ull) == 0;
}

// The entry of the directory with the name whose directory flag is as asked.
int FindInDirectory(const ArchiveObject* object, uint32_t directory, const ArchiveName& name, bool wantDirectory,
                    ArchiveFileEntry* out) {
  ArchiveDirectoryRecord record;
  if (ReadArchiveDirectory(object, directory, &record) != 0) return -1;
  ArchiveFileEntry entry;
  for (uint32_t i = 0; ReadArchiveDirectoryEntry(object, record, i, &entry) == 0; ++i) {
    bool isDirectory = (entry.attributes & ArchiveDirectoryAttribute) != 0;
    if (isDirectory == wantDirectory && NameMatches(object, entry, name)) {
      *out = entry;
      return 0;
    }
  }
  return -1;
}

// Bytes of the component at path, up to a separator or max.
size_t ComponentLength(const char* path, size_t max, int32_t charSet) {
  size_t n = 0;
  while (n < max && !IsSeparator(path[n])) n += CharLength(path + n, charSet);
  return n < max ? n : max;
}

bool IsDots(const char* p, size_t length, size_t dots) {
  return length == dots && strncmp(p, "..", dots) == 0;
}

}  // namespace

int GetArchiveEntryName(const ArchiveObject* object, const ArchiveFileEntry& entry, const uint8_t** searchForm,
                        size_t* searchFormSize, const char** written) {
  const uint8_t* head = HeadBytes(object, entry.nameOffset, 4);
  if (head == nullptr) return -1;
  uint64_t formSize = LoadU16(head) * 4ull;
  uint64_t writtenAt = entry.nameOffset + 4ull + formSize;
  const uint8_t* form = HeadBytes(object, entry.nameOffset + 4ull, formSize);
  if (form == nullptr || writtenAt >= object->head.headTableSize) return -1;
  const uint8_t* text = object->headTable + writtenAt;
  if (memchr(text, 0, object->head.headTableSize - writtenAt) == nullptr) return -1;
  *searchForm = form;
  *searchFormSize = static_cast<size_t>(formSize);
  *written = reinterpret_cast<const char*>(text);
  return 0;
}

int EnterArchiveSubdirectory(const ArchiveObject* object, uint32_t directory, const ArchiveName& name,
                             uint32_t* subdirectory) {
  ArchiveFileEntry entry;
  ArchiveDirectoryRecord record;
  if (FindInDirectory(object, directory, name, true, &entry) != 0 ||
      ReadArchiveDirectory(object, entry.dataOffset, &record) != 0)
    return -1;
  *subdirectory = entry.dataOffset;
  return 0;
}

int FindArchiveEntry(const ArchiveObject* object, const char* path, size_t length, uint32_t* directory) {
  uint32_t current = 0;  // the root
  size_t at = 0;
  if (length > 0 && IsSeparator(path[0])) at = 1;
  while (at < length) {
    size_t n = ComponentLength(path + at, length - at, object->charSet);
    if (n == 0) {
      current = 0;  // an empty component goes to the root
    } else if (IsDots(path + at, n, 2)) {
      ArchiveDirectoryRecord record, parent;
      if (ReadArchiveDirectory(object, current, &record) != 0 || record.parent == ArchiveNoParent ||
          ReadArchiveDirectory(object, record.parent, &parent) != 0)
        return -1;
      current = record.parent;
    } else if (!IsDots(path + at, n, 1)) {
      ArchiveName name;
      size_t consumed = 0;
      if (MakeArchiveName(object->charSet, path + at, &name, &consumed) != 0 || consumed != n ||
          EnterArchiveSubdirectory(object, current, name, &current) != 0)
        return -1;
    }
    at += n + 1;
  }
  *directory = current;
  return 0;
}

int FindArchiveFileEntry(const ArchiveObject* object, const char* path, ArchiveFileEntry* entry) {
  size_t length = strlen(path);
  size_t folder = 0;  // bytes before the last separator
  bool hasFolder = false;
  for (size_t i = 0; i < length; i += CharLength(path + i, object->charSet)) {
    if (IsSeparator(path[i])) {
      folder = i;
      hasFolder = true;
    }
  }
  const char* name = hasFolder ? path + folder + 1 : path;
  size_t nameLength = length - static_cast<size_t>(name - path);
  uint32_t directory = 0;
  if (nameLength == 0 || IsDots(name, nameLength, 1) || IsDots(name, nameLength, 2)) return -1;
  if (hasFolder && FindArchiveEntry(object, path, folder == 0 ? 1 : folder, &directory) != 0) return -1;
  ArchiveName search;
  if (MakeArchiveName(object->charSet, name, &search, nullptr) != 0) return -1;
  return FindInDirectory(object, directory, search, false, entry);
}
