#include "library/file/disk_file.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "platform/win32/win32.h"

namespace {

DiskFileRecord* AsRecord(FileId file) { return reinterpret_cast<DiskFileRecord*>(file); }

HANDLE OpenForReading(const char* path, DWORD share) {
  return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Waits for the previous command, lets fill store the parameters, then hands
// the command to the access thread.
template <typename Fill>
void IssueCommand(DiskFileThreadPart* t, uint32_t command, Fill fill) {
  WaitForSingleObject(t->doneEvent, INFINITE);
  t->command = command;
  fill();
  ResetEvent(t->doneEvent);
  SetEvent(t->commandEvent);
}

void IssueCommand(DiskFileThreadPart* t, uint32_t command) {
  IssueCommand(t, command, [] {});
}

// Frees what an open with a thread made; the thread has ended or never ran.
void ReleaseThreadPart(DiskFileThreadPart* t) {
  TrackedFree(t->cache);
  t->cache = nullptr;
  if (t->commandEvent != nullptr) CloseHandle(t->commandEvent);
  if (t->doneEvent != nullptr) CloseHandle(t->doneEvent);
  if (t->thread != nullptr) CloseHandle(t->thread);
}

// ---------------------------------------------------------------- access thread

void Prefetch(DiskFileThreadPart* t) {
  if (t->cacheValid >= DiskFileCacheSize) return;
  SetFilePointer(t->threadFile, static_cast<LONG>(t->cacheOffset + t->cacheValid), nullptr, FILE_BEGIN);
  DWORD got = 0;
  ReadFile(t->threadFile, t->cache + t->cacheValid, DiskFileCacheSize - t->cacheValid, &got, nullptr);
  t->cacheValid += got;
}

void ServeRead(DiskFileThreadPart* t) {
  auto* destination = static_cast<uint8_t*>(t->readDestination);
  uint32_t position = t->readPosition;
  uint32_t left = t->readCount;
  uint32_t served = 0;
  if (t->cache != nullptr && position == t->cacheOffset && t->cacheValid > 0) {
    uint32_t n = left < t->cacheValid ? left : t->cacheValid;
    memcpy(destination, t->cache, n);
    destination += n;
    position += n;
    left -= n;
    served = n;
    t->cacheOffset += n;
    t->cacheValid -= n;
    memmove(t->cache, t->cache + n, t->cacheValid);
  }
  if (left > 0) {
    DWORD got = 0;
    SetFilePointer(t->threadFile, static_cast<LONG>(position), nullptr, FILE_BEGIN);
    ReadFile(t->threadFile, destination, left, &got, nullptr);
    served += got;
    if (t->cache != nullptr) {
      t->cacheOffset = position + got;
      t->cacheValid = 0;
    }
  }
  t->readCount = served;
}

}  // namespace

DWORD FileAccessThreadProc(void* threadPart) {
  auto* t = static_cast<DiskFileThreadPart*>(threadPart);
  for (;;) {
    DWORD wait = WaitForSingleObject(t->commandEvent, t->cache != nullptr ? 100 : INFINITE);
    if (wait == WAIT_TIMEOUT) {
      if (t->threadFile != nullptr) Prefetch(t);
      continue;
    }
    ResetEvent(t->commandEvent);
    ResetEvent(t->doneEvent);
    switch (t->command) {
      case DiskCommandOpen:
        t->threadFile = OpenForReading(t->path, 0);
        if (t->threadFile == INVALID_HANDLE_VALUE) {
          t->threadFile = nullptr;
          t->openFailed = 1;
          t->threadEnded = 1;
          SetEvent(t->doneEvent);
          return 1;
        }
        break;
      case DiskCommandClose:
        if (t->threadFile != nullptr) CloseHandle(t->threadFile);
        t->threadFile = nullptr;
        break;
      case DiskCommandRead:
        ServeRead(t);
        break;
      case DiskCommandSeek:
        SetFilePointer(t->threadFile, static_cast<LONG>(t->seekPosition), nullptr, FILE_BEGIN);
        if (t->cache != nullptr) {
          t->cacheValid = 0;
          t->cacheOffset = t->seekPosition;
        }
        break;
      default:  // DiskCommandExit
        if (t->threadFile != nullptr) CloseHandle(t->threadFile);
        t->threadFile = nullptr;
        t->threadEnded = 1;
        SetEvent(t->doneEvent);
        return 1;
    }
    SetEvent(t->doneEvent);
  }
}

FileId DiskFileOpen(const char* path, int32_t useCache, int32_t, int32_t async) {
  if (path == nullptr) return 0;
  auto* record = static_cast<DiskFileRecord*>(TrackedCalloc(sizeof(DiskFileRecord)));
  if (record == nullptr) return 0;
  record->useCache = useCache != 0;
  record->async = async != 0;
  record->hasThread = record->useCache || record->async;

  HANDLE file = OpenForReading(path, FILE_SHARE_READ);
  if (file == INVALID_HANDLE_VALUE) {
    TrackedFree(record);
    return 0;
  }
  record->size = GetFileSize(file, nullptr);
  if (!record->hasThread) {
    record->file = file;
    return reinterpret_cast<FileId>(record);
  }
  CloseHandle(file);

  DiskFileThreadPart* t = &record->thread;
  if (strlen(path) >= sizeof t->path) {
    TrackedFree(record);
    return 0;
  }
  if (record->useCache) {
    t->cache = static_cast<uint8_t*>(TrackedAlloc(DiskFileCacheSize));
    if (t->cache == nullptr) {
      TrackedFree(record);
      WriteErrorLog("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
      return 0;
    }
  }
  t->commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  t->doneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (t->commandEvent != nullptr && t->doneEvent != nullptr)
    t->thread = CreateThread(nullptr, 0, FileAccessThreadProc, t, 0, &t->threadId);
  if (t->thread == nullptr) {
    ReleaseThreadPart(t);
    TrackedFree(record);
    WriteErrorLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
    return 0;
  }

  IssueCommand(t, DiskCommandOpen, [&] { strcpy(t->path, path); });
  WaitForSingleObject(t->doneEvent, INFINITE);
  if (t->openFailed) {
    WaitForSingleObject(t->thread, INFINITE);
    ReleaseThreadPart(t);
    TrackedFree(record);
    WriteErrorLog("ファイルのオープンに失敗しました\n");
    return 0;
  }
  return reinterpret_cast<FileId>(record);
}

int DiskFileClose(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  if (record == nullptr) return -1;
  int result = 0;
  if (record->hasThread) {
    DiskFileThreadPart* t = &record->thread;
    IssueCommand(t, DiskCommandExit);
    WaitForSingleObject(t->doneEvent, INFINITE);
    WaitForSingleObject(t->thread, INFINITE);
    ReleaseThreadPart(t);
  } else if (!CloseHandle(record->file)) {
    result = -1;
  }
  TrackedFree(record);
  return result;
}

int32_t DiskFileTell(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  return record == nullptr ? -1 : static_cast<int32_t>(record->position);
}

int DiskFileSeek(FileId id, int32_t offset, int32_t origin) {
  DiskFileRecord* record = AsRecord(id);
  if (record == nullptr) return -1;
  int64_t position = SeekTarget(record->position, record->size, offset, origin);
  if (position < 0) return -1;
  if (record->hasThread) {
    DiskFileThreadPart* t = &record->thread;
    IssueCommand(t, DiskCommandSeek, [&] { t->seekPosition = static_cast<uint32_t>(position); });
  } else if (SetFilePointer(record->file, static_cast<LONG>(position), nullptr, FILE_BEGIN) ==
             INVALID_SET_FILE_POINTER) {
    return -1;
  }
  record->position = static_cast<uint32_t>(position);
  record->eof = 0;
  return 0;
}

uint32_t DiskFileRead(void* buffer, uint32_t elementSize, uint32_t count, FileId id) {
  DiskFileRecord* record = AsRecord(id);
  if (record == nullptr || elementSize == 0 || count == 0) return 0;
  uint64_t left = record->position < record->size ? record->size - record->position : 0;
  count = WholeElementsLeft(elementSize, count, left);
  if (count == 0) {
    record->eof = 1;
    return 0;
  }
  uint32_t bytes = elementSize * count;  // fits: at most what is left of the file

  uint32_t got = 0;
  if (!record->hasThread) {
    DWORD read = 0;
    BOOL ok = ReadFile(record->file, buffer, bytes, &read, nullptr);
    got = ok ? read : 0;
  } else {
    DiskFileThreadPart* t = &record->thread;
    uint32_t position = record->position;
    IssueCommand(t, DiskCommandRead, [&] {
      t->readDestination = buffer;
      t->readPosition = position;
      t->readCount = bytes;
    });
    if (record->async) {
      got = bytes;
    } else {
      WaitForSingleObject(t->doneEvent, INFINITE);
      got = t->readCount;
    }
  }
  uint32_t whole = got / elementSize;
  record->position += whole * elementSize;
  if (whole > 0) record->eof = 0;
  // A short or failed read may leave the file pointer anywhere: put it back
  // where the position says.
  if (!record->hasThread && got != bytes)
    SetFilePointer(record->file, static_cast<LONG>(record->position), nullptr, FILE_BEGIN);
  return whole;
}

int DiskFileEof(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  return record == nullptr || record->eof ? -1 : 0;
}

int DiskFileIdle(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  if (record == nullptr) return -1;
  if (!record->hasThread) return 1;
  return WaitForSingleObject(record->thread.doneEvent, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

void WaitDiskFileIdle(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  if (record != nullptr && record->hasThread) WaitForSingleObject(record->thread.doneEvent, INFINITE);
}

uint32_t DiskFileSize(FileId id) {
  DiskFileRecord* record = AsRecord(id);
  return record == nullptr ? 0 : record->size;
}

int DiskSetCurrentDir(const char* path) { return SetCurrentDirectoryA(path); }

int DiskGetCurrentDir(char* buffer) {
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  if (length > 0 && length < MAX_PATH) return static_cast<int>(length);
  buffer[0] = '\0';  // failed, or too long for the buffer: nothing was written
  return 0;
}

FileDateTime LocalFileDateTime(const FILETIME& time) {
  FileDateTime out{};
  FILETIME local;
  SYSTEMTIME parts;
  if (FileTimeToLocalFileTime(&time, &local) && FileTimeToSystemTime(&local, &parts))
    out = {parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
  return out;
}

namespace {

void FillFindInfo(const WIN32_FIND_DATAA& data, FileFindInfo* info) {
  if (info == nullptr) return;
  StrCopy(info->name, data.cFileName);
  info->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
  info->sizeLow = data.nFileSizeLow;
  info->sizeHigh = data.nFileSizeHigh;
  info->creationTime = LocalFileDateTime(data.ftCreationTime);
  info->lastWriteTime = LocalFileDateTime(data.ftLastWriteTime);
}

}  // namespace

FindHandle DiskFindFirst(const char* pattern, FileFindInfo* info) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  FillFindInfo(data, info);
  return reinterpret_cast<FindHandle>(find);
}

int DiskFindNext(FindHandle find, FileFindInfo* info) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &data)) return -1;
  FillFindInfo(data, info);
  return 0;
}

int DiskFindClose(FindHandle find) { return FindClose(reinterpret_cast<HANDLE>(find)) ? 0 : -1; }

const FileFunctionTable DiskFileFunctions = {
    DiskFileOpen,  DiskFileClose,     DiskFileTell,      DiskFileSeek,
    DiskFileRead,  DiskFileEof,       DiskFileIdle,      DiskSetCurrentDir,
    DiskGetCurrentDir, DiskFindFirst, DiskFindNext,      DiskFindClose,
};
