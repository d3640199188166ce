#include "library/graphics/graph_direct_load.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "library/core/memory.h"
#include "library/file/file_table.h"
#include "library/file/memory_stream.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/image_load.h"
#include "platform/win32/win32_system.h"

int32_t GraphDirectLoadOff = 0;
int32_t GraphReadAheadThreads = -1;
int32_t GraphDirectLoads = 0;
int32_t GraphReadAheadTaken = 0;

namespace {

// Files of this size or more are left to the general path.
constexpr int32_t kLargestListedFile = 64 << 20;
// Listed files are read, and decoded, at most this many entries beyond the
// last one a load has taken.
constexpr size_t kWindow = 16;

bool HasAlphaImageFile(const char* fileName) {
  char alphaName[260];
  if (MakeAlphaImageFileName(fileName, alphaName) != 0) return false;
  const FileId file = FileStreamOpen(alphaName, 0, 1, 0);
  if (file == 0) return false;
  FileStreamClose(file);
  return true;
}

// ---------------------------------------------------------------- the list

enum class EntryState {
  Listed,    // its file not yet read
  Read,      // ready to decode
  Decoding,  // a thread decodes it
  Done,      // decoded (or refused: no surface)
  Taken,     // a load took it, or passed it by
};

struct Entry {
  std::string name;
  EntryState state = EntryState::Listed;
  // Written by the loading thread while Listed, read by the decoding thread.
  bool decodable = false;  // the file was read, and it has no alpha image
  std::vector<uint8_t> bytes;  // the file's bytes first (a buffer used before may be longer)
  uint32_t byteCount = 0;
  // Written by the decoding thread while Decoding.
  GraphSurface* surface = nullptr;
  int32_t width = 0, height = 0;
};

// The one list. Its entries are made and freed by the loading thread while
// no decoding thread runs; between, their states and the counters below are
// read and changed under the mutex.
struct ReadAhead {
  std::mutex mutex;
  std::condition_variable work;     // an entry was read, the window moved, or stop
  std::condition_variable decoded;  // an entry is Done
  bool active = false;
  bool stop = false;
  std::vector<Entry> entries;
  size_t firstOpen = 0;  // the first entry not Taken
  // One past the last entry a load has taken: the window of entries read
  // and decoded starts here (entries passed over before it stay for loads
  // that come out of order, or are freed at the end).
  size_t cursor = 0;
  SurfaceSettings settings{};
  std::vector<std::thread> threads;
  // The byte buffers of decoded entries, for the next files read.
  std::vector<std::vector<uint8_t>> spare;
};

ReadAhead& List() {
  // Never destroyed: its threads are joined by EndGraphReadAhead, also at exit.
  static ReadAhead* list = new ReadAhead;
  return *list;
}

int32_t DecodingThreads() {
  if (GraphReadAheadThreads >= 0) return GraphReadAheadThreads;
  // Blocks logged as they are made or freed must be made in the loads' order.
  if (TrackedLogAll || TrackedWatchSize != 0 || TrackedLogTotals || TrackedCheckAlways) return 0;
  const int32_t processors = PlatformUsableProcessorCount();
  return processors <= 1 ? 0 : processors - 1 < 3 ? processors - 1 : 3;
}

// Reads the file of an entry (on the loading thread, through the file table).
void ReadEntryFile(Entry* entry, std::vector<uint8_t> buffer) {
  entry->decodable = false;
  entry->byteCount = 0;
  entry->bytes = std::move(buffer);
  const FileId file = FileStreamOpen(entry->name.c_str(), 0, 1, 0);
  if (file == 0) return;
  int32_t size = -1;
  if (FileStreamSeek(file, 0, SeekFromEnd) == 0) size = FileStreamTell(file);
  if (size > 0 && size < kLargestListedFile && FileStreamSeek(file, 0, SeekFromStart) == 0) {
    try {
      // (A buffer only ever grows: its bytes are not cleared again.)
      if (entry->bytes.size() < static_cast<size_t>(size)) entry->bytes.resize(static_cast<size_t>(size));
      entry->byteCount = static_cast<uint32_t>(size);
      entry->decodable = FileStreamRead(entry->bytes.data(), 1, entry->byteCount, file) == entry->byteCount;
    } catch (const std::bad_alloc&) {
      // No room: the load takes the general path.
    }
  }
  FileStreamClose(file);
  // A picture with an alpha image beside it takes the general path.
  if (entry->decodable && HasAlphaImageFile(entry->name.c_str())) entry->decodable = false;
}

size_t WindowEnd(const ReadAhead& list) { return std::min(list.entries.size(), list.cursor + kWindow); }

// Reads the files of the window's entries not yet read (loading thread).
void ReadWindow(ReadAhead& list) {
  std::vector<size_t> toRead;
  std::vector<std::vector<uint8_t>> buffers;
  {
    std::lock_guard<std::mutex> lock(list.mutex);
    for (size_t i = list.cursor; i < WindowEnd(list); ++i)
      if (list.entries[i].state == EntryState::Listed) toRead.push_back(i);
    while (buffers.size() < toRead.size() && !list.spare.empty()) {
      buffers.push_back(std::move(list.spare.back()));
      list.spare.pop_back();
    }
  }
  if (toRead.empty()) return;
  // Listed entries are this thread's alone: no lock while their files are read.
  for (size_t i : toRead) {
    std::vector<uint8_t> buffer;
    if (!buffers.empty()) {
      buffer = std::move(buffers.back());
      buffers.pop_back();
    }
    ReadEntryFile(&list.entries[i], std::move(buffer));
  }
  {
    std::lock_guard<std::mutex> lock(list.mutex);
    for (size_t i : toRead) list.entries[i].state = EntryState::Read;
  }
  list.work.notify_all();
}

// The first entry of the window that waits to be decoded, claimed; or null.
// Under the mutex.
Entry* ClaimNext(ReadAhead& list) {
  for (size_t i = list.cursor; i < WindowEnd(list); ++i) {
    if (list.entries[i].state == EntryState::Read) {
      list.entries[i].state = EntryState::Decoding;
      return &list.entries[i];
    }
  }
  return nullptr;
}

// Decodes a claimed entry (any thread, without the mutex).
void Decode(const SurfaceSettings& settings, Entry* entry) {
  if (!entry->decodable) return;
  MemoryStream* memory = OpenMemoryStream(entry->bytes.data(), entry->byteCount);
  if (memory == nullptr) return;
  DecoderStream stream{*GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(memory)};
  entry->surface = DecodePngIntoSurface(&stream, settings, &entry->width, &entry->height);
  CloseMemoryStream(stream.handle);
}

// After Decode, under the mutex.
void MarkDecoded(ReadAhead& list, Entry* entry) {
  entry->state = EntryState::Done;
  try {
    list.spare.push_back(std::move(entry->bytes));
  } catch (const std::bad_alloc&) {
    // (The buffer goes with the entry's.)
  }
  entry->bytes = {};
}

void DecodingThread(ReadAhead* list) {
  std::unique_lock<std::mutex> lock(list->mutex);
  while (!list->stop) {
    Entry* entry = ClaimNext(*list);
    if (entry == nullptr) {
      list->work.wait(lock);
      continue;
    }
    lock.unlock();
    Decode(list->settings, entry);
    lock.lock();
    MarkDecoded(*list, entry);
    list->decoded.notify_all();
  }
}

enum class Taken { NotListed, Refused, Surface };

// The listed picture of the file (loading thread): decoded by a thread, or
// now by this one (which decodes the next entries while a thread still has
// the file's).
Taken TakeListed(const char* fileName, GraphSurface** surface, int32_t* width, int32_t* height) {
  ReadAhead& list = List();
  if (!list.active) return Taken::NotListed;
  ReadWindow(list);
  std::unique_lock<std::mutex> lock(list.mutex);
  size_t index = list.firstOpen;
  while (index < list.entries.size() &&
         (list.entries[index].state == EntryState::Taken || list.entries[index].name != fileName))
    ++index;
  if (index == list.entries.size()) return Taken::NotListed;
  Entry& entry = list.entries[index];
  if (entry.state == EntryState::Listed) {
    // Outside the window: beyond it (the loads passed over the entries
    // before it), the window moves on to it; before it, it is read alone.
    // (Listed entries are this thread's alone.)
    list.cursor = std::max(list.cursor, index);
    lock.unlock();
    ReadWindow(list);
    lock.lock();
    if (entry.state == EntryState::Listed) {
      lock.unlock();
      ReadEntryFile(&entry, {});
      lock.lock();
      entry.state = EntryState::Read;
    }
  }
  Taken result;
  {
    // Decoded by a thread, or now by this one; while a thread has it, this
    // one decodes the window's next entries.
    while (entry.state != EntryState::Done) {
      Entry* next = entry.state == EntryState::Read ? &entry : nullptr;
      if (next != nullptr)
        next->state = EntryState::Decoding;
      else
        next = ClaimNext(list);
      if (next == nullptr) {
        list.decoded.wait(lock);
        continue;
      }
      lock.unlock();
      Decode(list.settings, next);
      lock.lock();
      MarkDecoded(list, next);
      list.decoded.notify_all();
    }
    *surface = entry.surface;
    *width = entry.width;
    *height = entry.height;
    entry.surface = nullptr;
    result = *surface != nullptr ? Taken::Surface : Taken::Refused;
    // Made for the settings of the time the list was given: kept only if
    // they still hold (else the picture is decoded again).
    if (result == Taken::Surface && !SameSurfaceSettings(list.settings, CurrentSurfaceSettings())) {
      ReleaseGraphSurface(*surface);
      *surface = nullptr;
      result = Taken::NotListed;
    }
  }
  entry.state = EntryState::Taken;
  list.cursor = std::max(list.cursor, index + 1);
  while (list.firstOpen < list.entries.size() && list.entries[list.firstOpen].state == EntryState::Taken)
    ++list.firstOpen;
  const bool finished = list.firstOpen == list.entries.size();
  lock.unlock();
  list.work.notify_all();
  if (finished) EndGraphReadAhead();
  return result;
}

}  // namespace

int ReadAheadGraphFiles(const char* const* fileNames, int32_t count) {
  EndGraphReadAhead();
  if (!GraphicsInitialised || HardwareActive || GraphDirectLoadOff || fileNames == nullptr || count <= 0) return 0;
  static const bool joinAtExit = std::atexit([] { EndGraphReadAhead(); }) == 0;
  (void)joinAtExit;
  ReadAhead& list = List();
  list.entries.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) list.entries[i].name = fileNames[i] != nullptr ? fileNames[i] : "";
  list.firstOpen = list.cursor = 0;
  list.stop = false;
  list.settings = CurrentSurfaceSettings();
  list.active = true;
  ReadWindow(list);
  try {
    for (int32_t i = DecodingThreads(); i > 0; --i) list.threads.emplace_back(DecodingThread, &list);
  } catch (const std::system_error&) {
    // Fewer threads: the loads decode what none of them takes.
  }
  return 0;
}

int EndGraphReadAhead() {
  ReadAhead& list = List();
  if (!list.active) return 0;
  {
    std::lock_guard<std::mutex> lock(list.mutex);
    list.stop = true;
  }
  list.work.notify_all();
  for (std::thread& thread : list.threads) thread.join();
  list.threads.clear();
  for (Entry& entry : list.entries) ReleaseGraphSurface(entry.surface);
  list.entries.clear();
  list.spare.clear();
  list.active = false;
  return 0;
}

GraphSurface* LoadDirectSurface(const char* fileName, int32_t* width, int32_t* height) {
  if (GraphDirectLoadOff || HardwareActive || fileName == nullptr) return nullptr;
  GraphSurface* surface = nullptr;
  switch (TakeListed(fileName, &surface, width, height)) {
    case Taken::Surface:
      ++GraphDirectLoads;
      ++GraphReadAheadTaken;
      return surface;
    case Taken::Refused: return nullptr;
    case Taken::NotListed: break;
  }
  DecoderStream stream{*GetFileStreamInterface(), FileStreamOpen(fileName, 0, 1, 0)};
  if (stream.handle == 0) return nullptr;
  surface = DecodePngIntoSurface(&stream, CurrentSurfaceSettings(), width, height);
  stream.ops.Close(stream.handle);
  if (surface != nullptr && HasAlphaImageFile(fileName)) {
    ReleaseGraphSurface(surface);
    return nullptr;
  }
  if (surface != nullptr) ++GraphDirectLoads;
  return surface;
}
