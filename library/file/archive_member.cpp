#include <cstring>

#include "library/core/memory.h"
#include "library/file/archive.h"
#include "library/file/disk_file.h"
#include "library/file/lz.h"

namespace {

uint64_t MemberStart(const ArchiveMemberStream* stream) {
  return static_cast<uint64_t>(stream->object->head.dataStart) + stream->entry.dataOffset;
}

bool IsStored(const ArchiveObject* object, const ArchiveFileEntry& entry) {
  return object->head.version < 2 || entry.packedSize == ArchiveStoredMark;
}

// Unpacks the member's packed bytes into its unpacked copy; false unless
// they give exactly the member's size.
bool Unpack(ArchiveMemberStream* stream, const uint8_t* packed) {
  uint8_t none;
  void* destination = stream->unpacked != nullptr ? stream->unpacked : &none;
  return DecompressArchiveData(packed, stream->entry.packedSize, destination, stream->entry.size) ==
         static_cast<int64_t>(stream->entry.size);
}

// Completes a pending read whose bytes the access thread has delivered.
void FinishPendingRead(ArchiveMemberStream* stream) {
  const uint8_t* key = stream->object->key;
  if (stream->pendingRead == 1) {
    ScrambleArchiveBytes(stream->entry.packedSize, stream->packed, stream->pendingPosition, key);
    if (!Unpack(stream, stream->packed)) stream->failed = 1;
    TrackedFree(stream->packed);
    stream->packed = nullptr;
  } else if (stream->pendingRead == 2) {
    ScrambleArchiveBytes(stream->pendingCount, stream->pendingDestination, stream->pendingPosition, key);
  }
  stream->pendingRead = 0;
}

void WaitPendingRead(ArchiveMemberStream* stream) {
  if (stream->pendingRead == 0) return;
  WaitDiskFileIdle(stream->object->file);
  FinishPendingRead(stream);
}

void FreeBuffers(ArchiveMemberStream* stream) {
  TrackedFree(stream->unpacked);
  TrackedFree(stream->packed);
  stream->unpacked = nullptr;
  stream->packed = nullptr;
}

}  // namespace

int OpenArchiveMember(ArchiveMemberStream* stream, ArchiveObject* object, const char* path, int32_t async) {
  const uint8_t* image = static_cast<const uint8_t*>(GetArchiveImage(object));
  ArchiveFileEntry entry;
  if (FindArchiveFileEntry(object, path, &entry) != 0) return -1;
  bool stored = IsStored(object, entry);
  uint64_t start = static_cast<uint64_t>(object->head.dataStart) + entry.dataOffset;
  if (start + (stored ? entry.size : entry.packedSize) > object->archiveSize) return -1;
  if (!stored && entry.size > LzMaxUnpackedSize(entry.packedSize)) return -1;

  memset(stream, 0, sizeof *stream);
  stream->object = object;
  stream->entry = entry;
  stream->async = async != 0;
  if (stored) return 0;

  if (entry.size > 0) {
    stream->unpacked = static_cast<uint8_t*>(TrackedAlloc(entry.size));
    if (stream->unpacked == nullptr) return -1;
  }
  if (image != nullptr) {
    if (Unpack(stream, image + start)) return 0;
    FreeBuffers(stream);
    return -1;
  }
  stream->packed = static_cast<uint8_t*>(TrackedAlloc(entry.packedSize));
  bool ok = stream->packed != nullptr;
  if (ok && stream->async) {
    DiskFileSeek(object->file, static_cast<int32_t>(start), SeekFromStart);
    ok = DiskFileRead(stream->packed, entry.packedSize, 1, object->file) == 1;
    stream->pendingRead = ok ? 1 : 0;
    stream->pendingPosition = static_cast<uint32_t>(start);
    if (ok) return 0;
  } else if (ok) {
    ok = ReadArchiveBytes(static_cast<int64_t>(start), stream->packed, entry.packedSize, object->key,
                          object->file) == 0 &&
         Unpack(stream, stream->packed);
    TrackedFree(stream->packed);
    stream->packed = nullptr;
  }
  if (ok) return 0;
  FreeBuffers(stream);
  return -1;
}

uint32_t ReadArchiveMember(ArchiveMemberStream* stream, void* buffer, uint32_t size) {
  WaitPendingRead(stream);
  if (stream->failed || stream->position >= stream->entry.size) {
    stream->eof = 1;
    return 0;
  }
  uint32_t left = stream->entry.size - stream->position;
  uint32_t n = size < left ? size : left;
  if (n == 0) return 0;
  ArchiveObject* object = stream->object;
  if (stream->unpacked != nullptr) {
    memcpy(buffer, stream->unpacked + stream->position, n);
  } else if (object->imageInMemory) {
    memcpy(buffer, object->image + MemberStart(stream) + stream->position, n);
  } else {
    uint32_t at = static_cast<uint32_t>(MemberStart(stream) + stream->position);
    if (static_cast<uint32_t>(DiskFileTell(object->file)) != at)
      DiskFileSeek(object->file, static_cast<int32_t>(at), SeekFromStart);
    if (stream->async) {
      if (DiskFileRead(buffer, n, 1, object->file) != 1) return 0;
      stream->pendingRead = 2;
      stream->pendingPosition = at;
      stream->pendingDestination = buffer;
      stream->pendingCount = n;
    } else if (ReadArchiveBytes(-1, buffer, n, object->key, object->file) != 0) {
      return 0;
    }
  }
  stream->position += n;
  stream->eof = 0;
  return n;
}

int SeekArchiveMember(ArchiveMemberStream* stream, int32_t offset, int32_t origin) {
  WaitPendingRead(stream);
  int64_t position = SeekTarget(stream->position, stream->entry.size, offset, origin);
  if (position < 0) return -1;
  stream->position = static_cast<uint32_t>(position);
  stream->eof = 0;
  return 0;
}

int32_t TellArchiveMember(ArchiveMemberStream* stream) {
  WaitPendingRead(stream);
  return static_cast<int32_t>(stream->position);
}

int ArchiveMemberEof(ArchiveMemberStream* stream) {
  WaitPendingRead(stream);
  return stream->eof ? -1 : 0;
}

int IsArchiveMemberIdle(ArchiveMemberStream* stream) {
  if (!stream->async || stream->pendingRead == 0) return 1;
  if (DiskFileIdle(stream->object->file) == 0) return 0;
  FinishPendingRead(stream);
  return 1;
}

int CloseArchiveMember(ArchiveMemberStream* stream) {
  WaitPendingRead(stream);
  FreeBuffers(stream);
  memset(stream, 0, sizeof *stream);
  return 0;
}
