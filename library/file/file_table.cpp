#include "library/file/file_table.h"

#include "library/file/archive_files.h"
#include "library/file/disk_file.h"
#include "library/file/memory_stream.h"
#include "platform/win32/win32_time.h"

FileFunctionTable ActiveFileFunctions = {
    ArchiveFileOpen,      ArchiveFileClose, ArchiveFileTell, ArchiveFileSeek,
    ArchiveFileRead,      ArchiveFileEof,   ArchiveFileIdle, ArchiveSetCurrentDir,
    ArchiveGetCurrentDir, ArchiveFindFirst, ArchiveFindNext, ArchiveFindClose,
};
int32_t ArchiveSupportOff = 0;

int SetFileFunctionTable(const FileFunctionTable* table) {
  if (table != nullptr)
    ActiveFileFunctions = *table;
  else
    ActiveFileFunctions = ArchiveSupportOff ? DiskFileFunctions : ArchiveFileFunctions;
  return 0;
}

FileId FileStreamOpen(const char* path, int32_t useCache, int32_t reserved, int32_t async) {
  return ActiveFileFunctions.Open(path, useCache, reserved, async);
}
int FileStreamClose(FileId file) { return ActiveFileFunctions.Close(file); }
int32_t FileStreamTell(FileId file) { return ActiveFileFunctions.Tell(file); }
int FileStreamSeek(FileId file, int32_t offset, int32_t origin) {
  return ActiveFileFunctions.Seek(file, offset, origin);
}
uint32_t FileStreamRead(void* buffer, uint32_t elementSize, uint32_t count, FileId file) {
  return ActiveFileFunctions.Read(buffer, elementSize, count, file);
}
int FileStreamEof(FileId file) { return ActiveFileFunctions.Eof(file); }
int FileStreamIdle(FileId file) { return ActiveFileFunctions.Idle(file); }

FileId FileStreamOpenRead(const char* path, int32_t async) {
  return ActiveFileFunctions.Open(path, 0, 1, async != 0 ? 1 : 0);
}

char FileStreamGetChar(FileId file) {
  if (ActiveFileFunctions.Eof(file) != 0) return static_cast<char>(0xFF);
  unsigned char byte = 0xFF;
  uint32_t read = ActiveFileFunctions.Read(&byte, 1, 1, file);
  while (ActiveFileFunctions.Idle(file) == 0) Sleep(0);
  return read == 0 ? static_cast<char>(0xFF) : static_cast<char>(byte);
}

namespace {

const StreamInterface FileStreamFunctions = {
    FileStreamTell, FileStreamSeek, FileStreamRead, FileStreamEof, FileStreamIdle, FileStreamClose,
};

const StreamInterface MemoryStreamFunctions = {
    MemoryStreamTell, MemoryStreamSeek, MemoryStreamRead, MemoryStreamEof, MemoryStreamIdle, CloseMemoryStream,
};

}  // namespace

const StreamInterface* GetFileStreamInterface() { return &FileStreamFunctions; }
const StreamInterface* GetMemoryStreamInterface() { return &MemoryStreamFunctions; }
