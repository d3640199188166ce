// The plain-disk set of the file function table: files read straight from
// disk, optionally through an access thread of their own (opened with async
// or useCache), which with useCache prefetches into a 128 KB cache while idle.
#pragma once

#include <cstdint>

#include "library/file/file_table.h"
#include "platform/win32/win32_types.h"

constexpr uint32_t DiskFileCacheSize = 131072;

// Commands to the access thread.
enum DiskFileCommand : uint32_t {
  DiskCommandOpen = 0,
  DiskCommandClose = 1,
  DiskCommandRead = 2,
  DiskCommandSeek = 3,
  DiskCommandExit = 4,
};

// What the issuing thread and the access thread share. The issuer writes the
// command fields only once the done event is set and before it sets the
// command event; the thread reads them after the command event and signals
// completion with the done event.
struct DiskFileThreadPart {
  DWORD threadId;
  HANDLE thread;
  HANDLE threadFile;    // the access thread's own handle of the file, or null
  HANDLE commandEvent;  // manual reset, created clear
  HANDLE doneEvent;     // manual reset, created set
  uint32_t command;
  uint32_t threadEnded;
  uint32_t openFailed;
  char path[1024];
  // Read request; count becomes the number of bytes actually read.
  void* readDestination;
  uint32_t readPosition;
  uint32_t readCount;
  uint32_t seekPosition;
  // Only with useCache: DiskFileCacheSize bytes holding cacheValid bytes of
  // the file from cacheOffset on.
  uint8_t* cache;
  uint32_t cacheOffset;
  uint32_t cacheValid;
};

// One file of the plain-disk set; its FileId is the record's address.
struct DiskFileRecord {
  HANDLE file;  // used when the file has no access thread
  uint32_t hasThread;
  uint32_t useCache;
  uint32_t async;
  uint32_t eof;
  uint32_t position;
  uint32_t size;  // taken at open
  DiskFileThreadPart thread;
};

FileId DiskFileOpen(const char* path, int32_t useCache, int32_t reserved, int32_t async);
int DiskFileClose(FileId file);
int32_t DiskFileTell(FileId file);
// Clamps the new position to 0..size and clears end of file.
int DiskFileSeek(FileId file, int32_t offset, int32_t origin);
// With an async access thread the read only starts: its count is the one
// requested, and the bytes are the caller's once idle reports 1.
uint32_t DiskFileRead(void* buffer, uint32_t elementSize, uint32_t count, FileId file);
int DiskFileEof(FileId file);
int DiskFileIdle(FileId file);
int DiskSetCurrentDir(const char* path);
int DiskGetCurrentDir(char* buffer);
FindHandle DiskFindFirst(const char* pattern, FileFindInfo* info);
int DiskFindNext(FindHandle find, FileFindInfo* info);
int DiskFindClose(FindHandle find);

// Waits until the file's pending command (an async read) has finished.
void WaitDiskFileIdle(FileId file);
// The size taken at open.
uint32_t DiskFileSize(FileId file);
// A file time as the local date and time find reports (zeros when it does not convert).
FileDateTime LocalFileDateTime(const FILETIME& time);

// The plain-disk set in slot order.
extern const FileFunctionTable DiskFileFunctions;

// The body of a disk file's access thread; the argument is its DiskFileThreadPart.
DWORD FileAccessThreadProc(void* threadPart);
