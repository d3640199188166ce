#include "library/file/archive_files.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/file/disk_file.h"
#include "platform/win32/win32_misc.h"

SharedArchiveTable SharedArchives;
OpenFileTable ArchiveOpenFiles;

namespace {

char Extension[64];

// The archive OpenArchiveForPath found last: its path, the length of the
// folder it stands for and its index.
struct LastArchiveMemory {
  char path[ArchivePathSize];
  size_t prefixLength;
  int32_t index;
} LastArchive;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Bytes of the character at p under the library's character set.
size_t CharLength(const char* p) { return IsDoubleByteAt(p) ? 2 : 1; }

OpenFileRecord* RecordOf(FileId id) {
  if ((id & ~static_cast<FileId>(0x0FFFFFFF)) != ArchiveFileIdTag) return nullptr;
  FileId slot = id & 0x0FFFFFFF;
  return slot < MaxArchiveOpenFiles ? ArchiveOpenFiles.files[slot] : nullptr;
}

ArchiveFindRecord* FindRecordOf(FindHandle find) {
  return find == 0 || find == -1 ? nullptr : reinterpret_cast<ArchiveFindRecord*>(find);
}

// Appends text to out (size bytes); false when it does not fit.
bool Append(char* out, size_t size, size_t* length, const char* text, size_t n) {
  if (*length + n >= size) return false;
  memcpy(out + *length, text, n);
  *length += n;
  out[*length] = '\0';
  return true;
}

}  // namespace

// ---------------------------------------------------------------- shared archives

int32_t OpenSharedArchive(int32_t hint, const char* path, int32_t wholeFile, int32_t async) {
  if (hint >= 0 && hint < MaxSharedArchives && SharedArchives.entries[hint] != nullptr &&
      strcmp(SharedArchives.entries[hint]->path, path) == 0) {
    ++SharedArchives.entries[hint]->refCount;
    return hint;
  }
  int32_t free = -1;
  // (Every open entry looked at, and a free slot found: no further slot can hold the path.)
  for (int32_t i = 0, seen = 0; i < MaxSharedArchives && (seen < SharedArchives.count || free < 0); ++i) {
    SharedArchiveEntry* entry = SharedArchives.entries[i];
    if (entry == nullptr) {
      if (free < 0) free = i;
      continue;
    }
    ++seen;
    if (strcmp(entry->path, path) == 0) {
      ++entry->refCount;
      return i;
    }
  }
  if (SharedArchives.count >= MaxSharedArchives) {
    CloseUnusedArchives();
    if (SharedArchives.count >= MaxSharedArchives) return -1;
    for (free = 0; SharedArchives.entries[free] != nullptr; ++free) {
    }
  }
  if (strlen(path) >= ArchivePathSize) return -1;
  auto* entry = static_cast<SharedArchiveEntry*>(TrackedCalloc(sizeof(SharedArchiveEntry)));
  if (entry == nullptr) return -1;
  int opened = wholeFile ? OpenArchiveWholeFile(&entry->object, path, nullptr, async)
                         : OpenArchiveFile(&entry->object, path, nullptr);
  if (opened != 0) {
    TrackedFree(entry);
    return -1;
  }
  entry->refCount = 1;
  strcpy(entry->path, path);
  SharedArchives.entries[free] = entry;
  ++SharedArchives.count;
  return free;
}

void ReleaseSharedArchive(int32_t index) {
  if (index < 0 || index >= MaxSharedArchives) return;
  SharedArchiveEntry* entry = SharedArchives.entries[index];
  if (entry != nullptr && entry->refCount > 0) --entry->refCount;
}

int CloseUnusedArchives() {
  for (SharedArchiveEntry*& entry : SharedArchives.entries) {
    if (entry == nullptr || entry->refCount >= 1) continue;
    ReleaseArchiveObject(&entry->object);
    TrackedFree(entry);
    entry = nullptr;
    --SharedArchives.count;
  }
  return 0;
}

int CleanupArchives() { return CloseUnusedArchives(); }

int ArchiveSetExtension(const char* extension) {
  size_t length = extension != nullptr ? strlen(extension) : 0;
  if (length >= 1 && length <= 63)
    memcpy(Extension, extension, length + 1);
  else
    Extension[0] = '\0';
  return 0;
}

int SetArchiveExtension(const char* extension) { return ArchiveSetExtension(extension); }

// ---------------------------------------------------------------- paths

int NormalizeArchivePath(const char* path, char* out, size_t outSize) {
  char current[ArchivePathSize];
  DWORD currentLength = GetCurrentDirectoryA(sizeof current, current);
  if (currentLength == 0 || currentLength >= sizeof current || outSize == 0) return -1;
  StrToUpper(current);

  size_t length = 0;
  size_t root = 2;  // what ".." never removes: the drive, or the two backslashes
  out[0] = '\0';
  const char* p = path;
  bool network = IsSeparator(p[0]) && IsSeparator(p[1]);
  bool ok;
  if (network) {
    ok = Append(out, outSize, &length, "\\\\", 2);
    p += 2;
  } else if (IsSeparator(p[0])) {
    ok = Append(out, outSize, &length, current, 2);
    p += 1;
  } else if (((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z')) && p[1] == ':') {
    char drive[2] = {static_cast<char>(p[0] >= 'a' ? p[0] - 'a' + 'A' : p[0]), ':'};
    ok = Append(out, outSize, &length, drive, 2);
    p += 2;
  } else {
    ok = Append(out, outSize, &length, current, strlen(current));
    while (length > root && out[length - 1] == '\\') out[--length] = '\0';
  }

  while (ok && *p != '\0') {
    const char* start = p;
    while (*p != '\0' && !IsSeparator(*p)) p += CharLength(p);
    size_t n = static_cast<size_t>(p - start);
    if (*p != '\0') ++p;
    if (n == 0 || (n == 1 && start[0] == '.')) continue;
    if (n == 2 && start[0] == '.' && start[1] == '.') {
      size_t cut = root;
      for (size_t i = root; i < length; i += CharLength(out + i))
        if (out[i] == '\\') cut = i;
      length = cut;
      out[length] = '\0';
      continue;
    }
    size_t at = length;
    bool first = network && length == root;  // right after the two backslashes
    ok = (first || Append(out, outSize, &length, "\\", 1)) && Append(out, outSize, &length, start, n);
    if (ok) StrToUpper(out + at);
  }
  if (!ok) out[0] = '\0';
  return ok ? 0 : -1;
}

int OpenArchiveForPath(const char* path, int32_t* index, char* archivePath, char* innerPath) {
  char full[ArchivePathSize];
  if (path == nullptr || NormalizeArchivePath(path, full, sizeof full) != 0) return -1;
  const char* extension = Extension[0] != '\0' ? Extension : "ZRA";

  int32_t found = -1;
  size_t prefix = 0;
  char candidate[ArchivePathSize];
  if (LastArchive.prefixLength > 0 && strncmp(full, LastArchive.path, LastArchive.prefixLength) == 0 &&
      full[LastArchive.prefixLength] == '\\') {
    found = OpenSharedArchive(LastArchive.index, LastArchive.path, 0, 0);
    prefix = LastArchive.prefixLength;
    strcpy(candidate, LastArchive.path);
  }
  // Otherwise every folder from the shortest, the file name never.
  size_t start = full[0] == '\\' ? 2 : 0;
  for (size_t i = start; found < 0 && full[i] != '\0'; i += CharLength(full + i)) {
    if (full[i] != '\\') continue;
    size_t length = 0;
    candidate[0] = '\0';
    if (!Append(candidate, sizeof candidate, &length, full, i) ||
        !Append(candidate, sizeof candidate, &length, ".", 1) ||
        !Append(candidate, sizeof candidate, &length, extension, strlen(extension)))
      break;
    found = OpenSharedArchive(-1, candidate, 0, 0);
    prefix = i;
  }
  if (found < 0) return -1;

  strcpy(LastArchive.path, candidate);
  LastArchive.prefixLength = prefix;
  LastArchive.index = found;
  *index = found;
  if (archivePath != nullptr) strcpy(archivePath, candidate);
  if (innerPath != nullptr) strcpy(innerPath, full + prefix + 1);
  return 0;
}

// ---------------------------------------------------------------- the set

FileId ArchiveFileOpen(const char* path, int32_t useCache, int32_t, int32_t async) {
  if (ArchiveOpenFiles.count >= MaxArchiveOpenFiles) {
    WriteErrorLog("同時に開けるファイルの数が限界を超えました\n");
    return 0;
  }
  int32_t slot = 0;
  while (ArchiveOpenFiles.files[slot] != nullptr) ++slot;
  auto* record = static_cast<OpenFileRecord*>(TrackedCalloc(sizeof(OpenFileRecord)));
  if (record == nullptr) {
    WriteErrorLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
    return 0;
  }
  int32_t index = -1;
  char inner[ArchivePathSize];
  if (OpenArchiveForPath(path, &index, nullptr, inner) == 0) {
    record->inArchive = 1;
    record->archiveIndex = static_cast<uint32_t>(index);
    // A missing member is missing: the archive hides the folder on disk.
    if (OpenArchiveMember(&record->member, &SharedArchives.entries[index]->object, inner, async) != 0) {
      ReleaseSharedArchive(index);
      TrackedFree(record);
      return 0;
    }
  } else {
    record->diskFile = DiskFileOpen(path, useCache, 1, async);
    if (record->diskFile == 0) {
      TrackedFree(record);
      return 0;
    }
  }
  ArchiveOpenFiles.files[slot] = record;
  ++ArchiveOpenFiles.count;
  return static_cast<FileId>(slot) | ArchiveFileIdTag;
}

int ArchiveFileClose(FileId id) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return -1;
  if (record->inArchive) {
    ReleaseSharedArchive(static_cast<int32_t>(record->archiveIndex));
    CloseArchiveMember(&record->member);
  } else {
    DiskFileClose(record->diskFile);
  }
  TrackedFree(record);
  ArchiveOpenFiles.files[id & 0x0FFFFFFF] = nullptr;
  --ArchiveOpenFiles.count;
  return 0;
}

int32_t ArchiveFileTell(FileId id) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return -1;
  return record->inArchive ? TellArchiveMember(&record->member) : DiskFileTell(record->diskFile);
}

int ArchiveFileSeek(FileId id, int32_t offset, int32_t origin) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return -1;
  return record->inArchive ? SeekArchiveMember(&record->member, offset, origin)
                           : DiskFileSeek(record->diskFile, offset, origin);
}

uint32_t ArchiveFileRead(void* buffer, uint32_t elementSize, uint32_t count, FileId id) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return 0;
  if (!record->inArchive) return DiskFileRead(buffer, elementSize, count, record->diskFile);
  if (elementSize == 0 || count == 0) return 0;
  ArchiveMemberStream* member = &record->member;
  uint32_t position = static_cast<uint32_t>(TellArchiveMember(member));
  uint32_t left = position < member->entry.size ? member->entry.size - position : 0;
  count = WholeElementsLeft(elementSize, count, left);
  if (count == 0) {
    member->eof = 1;
    return 0;
  }
  return ReadArchiveMember(member, buffer, elementSize * count) / elementSize;
}

int ArchiveFileEof(FileId id) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return -1;
  return record->inArchive ? ArchiveMemberEof(&record->member) : DiskFileEof(record->diskFile);
}

int ArchiveFileIdle(FileId id) {
  OpenFileRecord* record = RecordOf(id);
  if (record == nullptr) return -1;
  return record->inArchive ? IsArchiveMemberIdle(&record->member) : DiskFileIdle(record->diskFile);
}

int ArchiveSetCurrentDir(const char* path) {
  SetCurrentDirectoryA(path);
  return 0;
}

int ArchiveGetCurrentDir(char* buffer) {
  DWORD length = GetCurrentDirectoryA(256, buffer);
  if (length == 0 || length >= 256) buffer[0] = '\0';  // nothing was written
  return 0;
}

// ---------------------------------------------------------------- searches

void SplitArchivePath(const char* path, char* folder, char* pattern) {
  size_t length = strnlen(path, ArchivePathSize - 1);
  size_t split = 0;
  bool found = false;
  for (size_t i = 0; i < length; i += CharLength(path + i)) {
    if (IsSeparator(path[i]) || path[i] == ':') {
      split = i;
      found = true;
    }
  }
  size_t folderLength = found ? split : 0;
  memcpy(folder, path, folderLength);
  folder[folderLength] = '\0';
  const char* rest = found ? path + split + 1 : path;
  size_t restLength = length - static_cast<size_t>(rest - path);
  memcpy(pattern, rest, restLength);
  pattern[restLength] = '\0';
  StrToUpper(folder);
  StrToUpper(pattern);
}

int MatchArchiveWildcard(const char* name, size_t nameLength, const char* pattern, int32_t charSet) {
  size_t at = 0;
  const char* p = pattern;
  while (*p != '\0') {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (*p == '\0') return 0;
      if (*p == '?') continue;
      // Up to the first occurrence of the next character.
      size_t width = CheckDoubleByteLead(p, charSet) && p[1] != '\0' ? 2 : 1;
      while (at < nameLength && !(at + width <= nameLength && memcmp(name + at, p, width) == 0))
        at += CheckDoubleByteLead(name + at, charSet) && at + 1 < nameLength ? 2 : 1;
      if (at >= nameLength) return -1;
    } else if (*p == '?') {
      if (at >= nameLength) return -1;
      ++at;
      ++p;
    } else {
      size_t width = CheckDoubleByteLead(p, charSet) && p[1] != '\0' ? 2 : 1;
      if (at + width > nameLength || memcmp(name + at, p, width) != 0) return -1;
      at += width;
      p += width;
    }
  }
  return at == nameLength ? 0 : -1;
}

namespace {

void FillDotInfo(const char* name, FileFindInfo* info) {
  memset(info, 0, sizeof *info);
  strcpy(info->name, name);
  info->isDirectory = 1;
}

}  // namespace

int ArchiveSearchNext(ArchiveSearchRecord* search, FileFindInfo* info) {
  const ArchiveObject* object = search->object;
  ArchiveDirectoryRecord directory;
  if (ReadArchiveDirectory(object, search->directory, &directory) != 0) return -1;
  const uint32_t dots = directory.parent == ArchiveNoParent ? 1 : 2;
  for (uint32_t index = search->next;; ++index) {
    if (index < dots) {
      const char* dot = index == 0 ? "." : "..";
      if (MatchArchiveWildcard(dot, strlen(dot), search->pattern, object->charSet) != 0) continue;
      if (info != nullptr) FillDotInfo(dot, info);
    } else {
      uint32_t i = index - dots;
      if (i >= directory.entryCount) return -1;
      ArchiveFileEntry entry;
      const uint8_t* form;
      size_t formSize;
      const char* written;
      if (ReadArchiveDirectoryEntry(object, directory, i, &entry) != 0 ||
          GetArchiveEntryName(object, entry, &form, &formSize, &written) != 0)
        return -1;
      const char* formText = reinterpret_cast<const char*>(form);
      if (MatchArchiveWildcard(formText, strnlen(formText, formSize), search->pattern, object->charSet) != 0)
        continue;
      if (info != nullptr) {
        memset(info, 0, sizeof *info);
        StrCopy(info->name, written);
        info->isDirectory = (entry.attributes & ArchiveDirectoryAttribute) != 0 ? 1 : 0;
        info->sizeLow = entry.size;
        info->creationTime = LocalFileDateTime(entry.creationTime);
        info->lastWriteTime = LocalFileDateTime(entry.lastWriteTime);
      }
    }
    search->next = index + 1;
    return 0;
  }
}

int ArchiveSearchFirst(ArchiveSearchRecord* search, ArchiveObject* object, const char* path, FileFindInfo* info) {
  char folder[ArchivePathSize];
  GetArchiveImage(object);  // finishes a pending load
  search->object = object;
  SplitArchivePath(path, folder, search->pattern);
  if (FindArchiveEntry(object, folder, strlen(folder), &search->directory) != 0) return -1;
  search->next = 0;
  return ArchiveSearchNext(search, info);
}

FindHandle ArchiveFindFirst(const char* pattern, FileFindInfo* info) {
  auto* record = static_cast<ArchiveFindRecord*>(TrackedCalloc(sizeof(ArchiveFindRecord)));
  if (record == nullptr) return -1;
  int32_t index = -1;
  char inner[ArchivePathSize];
  if (OpenArchiveForPath(pattern, &index, nullptr, inner) == 0) {
    record->inArchive = 1;
    record->archiveIndex = static_cast<uint32_t>(index);
    if (ArchiveSearchFirst(&record->search, &SharedArchives.entries[index]->object, inner, info) != 0) {
      ReleaseSharedArchive(index);
      TrackedFree(record);
      return -1;
    }
  } else {
    record->diskFind = DiskFindFirst(pattern, info);
    if (record->diskFind == -1) {
      TrackedFree(record);
      return -1;
    }
  }
  return reinterpret_cast<FindHandle>(record);
}

int ArchiveFindNext(FindHandle find, FileFindInfo* info) {
  ArchiveFindRecord* record = FindRecordOf(find);
  if (record == nullptr) return -1;
  return record->inArchive ? ArchiveSearchNext(&record->search, info) : DiskFindNext(record->diskFind, info);
}

int ArchiveFindClose(FindHandle find) {
  ArchiveFindRecord* record = FindRecordOf(find);
  if (record == nullptr) return -1;
  if (record->inArchive)
    ReleaseSharedArchive(static_cast<int32_t>(record->archiveIndex));
  else
    DiskFindClose(record->diskFind);
  TrackedFree(record);
  return 0;
}

const FileFunctionTable ArchiveFileFunctions = {
    ArchiveFileOpen, ArchiveFileClose,     ArchiveFileTell,      ArchiveFileSeek,
    ArchiveFileRead, ArchiveFileEof,       ArchiveFileIdle,      ArchiveSetCurrentDir,
    ArchiveGetCurrentDir, ArchiveFindFirst, ArchiveFindNext,     ArchiveFindClose,
};
