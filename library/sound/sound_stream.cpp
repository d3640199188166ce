// Stream sounds: one buffer of one second, refilled while it plays from up
// to three sources in turn (repeat counts, loop points, endless looping),
// by the sound thread every 30 ms, or by the message pump on one processor.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/file/memory_stream.h"
#include "library/sound/sound_handle.h"
#include "platform/win32/win32.h"

namespace {

constexpr int32_t kNothingWritten = -800;
constexpr uint8_t kLoopForever = 255;
constexpr int kStopWaitSteps = 1000;  // of 2 ms: two seconds

std::atomic<int32_t> soundThreadStop{0};  // 1: asked to stop, 2: stopped
HANDLE soundThread = nullptr;
HANDLE soundThreadWake = nullptr;
DWORD soundThreadId = 0;

uint32_t FloorBlocks(uint64_t bytes, uint32_t block) { return static_cast<uint32_t>(bytes / block * block); }
uint32_t CeilBlocks(uint64_t bytes, uint32_t block) {
  return static_cast<uint32_t>((bytes + block - 1) / block * block);
}

// One second of the format in whole blocks: the stream buffer's size.
uint32_t StreamBufferBytes(const WAVEFORMATEX& f) {
  uint32_t bytes = f.nAvgBytesPerSec & 0xFFFFFF;
  return f.nBlockAlign == 0 ? bytes : CeilBlocks(bytes, f.nBlockAlign);
}

// The two parts of a lock, addressed as one range.
struct LockedParts {
  uint8_t* part1;
  uint32_t bytes1;
  uint8_t* part2;
  uint32_t bytes2;

  void Silence(uint32_t from, uint32_t count, uint8_t value) {
    uint32_t in1 = from < bytes1 ? std::min(count, bytes1 - from) : 0;
    if (in1 != 0) memset(part1 + from, value, in1);
    if (count > in1) memset(part2 + (from + in1 - bytes1), value, count - in1);
  }
  // Reads up to count bytes of the decoder into the range from `from`.
  uint32_t Read(SoundDecoder* decoder, uint32_t from, uint32_t count) {
    uint32_t got = 0;
    while (got < count) {
      uint32_t at = from + got;
      uint8_t* dest = at < bytes1 ? part1 + at : part2 + (at - bytes1);
      uint32_t room = at < bytes1 ? bytes1 - at : bytes1 + bytes2 - at;
      uint32_t want = std::min(count - got, room);
      int n = ReadSoundDecoder(decoder, dest, want);
      if (n <= 0) break;
      got += static_cast<uint32_t>(n);
      if (static_cast<uint32_t>(n) < want) break;
    }
    return got;
  }
};

void ResetStreamPosition(SoundHandleRecord* r) {
  r->endedOnce = 0;
  r->sourcePosition = 0;
  r->playedBytes = 0;
  r->loopJumpPending = 0;
  r->repeatCounter = 0;
  r->currentSource = 0;
  r->streamActive = 0;
}

// The source gave nothing more: the next source, a repeat, a loop jump, or
// the end. `written` bytes of the locked range at write offset `at` are
// filled; the end fills up to an eighth of a second of silence after them.
void SwitchSource(SoundHandleRecord* r, SoundPlayBuffer* slot, LockedParts& parts, uint32_t at, uint32_t amount,
                  uint32_t* written) {
  const uint32_t block = r->format.nBlockAlign;
  const uint32_t size = r->streamBufferSize;
  const uint32_t writeOffset = (at + *written) % size;
  StreamSource* source = &r->sources[r->currentSource];
  ++r->repeatCounter;
  if (source->repeatCount != kLoopForever) {
    if (r->repeatCounter > source->repeatCount) {
      const bool last = r->currentSource == r->sourceCount - 1;
      if (last && r->streamPlayType == 3 && r->loopJumpPending) return;
      r->repeatCounter = 0;
      if (last) {
        r->endedOnce = 1;
        if (r->streamPlayType == 3) {
          r->currentSource = 0;
          r->loopJumpDataPosition = 0;
          r->loopJumpPending = 1;
          r->loopJumpWriteOffset = writeOffset;
        } else {
          r->endReached = 1;
          r->endWriteOffset = writeOffset;
          r->endCursor = static_cast<uint32_t>(std::max(SoundBufferGetPosition(slot), 0));
          r->endBytesLeft = (writeOffset + size - r->endCursor % size) % size;
          const uint32_t silence = std::min(amount - *written, FloorBlocks(r->format.nAvgBytesPerSec / 8, block));
          parts.Silence(*written, silence, r->format.wBitsPerSample == 8 ? 0x80 : 0);
          *written += silence;
          r->sourcePosition = 0;
          return;
        }
      } else {
        ++r->currentSource;
      }
    }
    r->sourcePosition = 0;
  } else if (!r->loopJumpPending) {
    r->sourcePosition = static_cast<int32_t>(source->loopStart * block);
    r->loopJumpDataPosition = static_cast<uint32_t>(r->sourcePosition);
    r->loopJumpPending = 1;
    r->loopJumpWriteOffset = writeOffset;
  }
  SeekSoundDecoder(&r->sources[r->currentSource].decoder, static_cast<uint32_t>(r->sourcePosition) / block);
}

// Decodes into the locked range from the sources: the current source once,
// and each source a switch makes current once. The bytes written.
uint32_t FillFromSources(SoundHandleRecord* r, SoundPlayBuffer* slot, LockedParts& parts, uint32_t at,
                         uint32_t amount) {
  const uint32_t block = r->format.nBlockAlign;
  uint32_t written = 0;
  for (;;) {
    StreamSource* source = &r->sources[r->currentSource];
    uint32_t want = amount - written;
    if (source->playEnd >= 0) {
      const int64_t left = static_cast<int64_t>(source->playEnd) * block - r->sourcePosition;
      want = static_cast<uint32_t>(std::clamp<int64_t>(left, 0, want));
    }
    const uint32_t got = want == 0 ? 0 : parts.Read(&source->decoder, written, want);
    r->sourcePosition += static_cast<int32_t>(got);
    written += got;
    if (got != 0) break;  // what is left waits for the next pass
    const int32_t before = r->currentSource;
    SwitchSource(r, slot, parts, at, amount, &written);
    if (r->endReached || written >= amount || r->currentSource == before) break;
  }
  return written;
}

// A source's stream and data go with it.
void ReleaseSource(SoundHandleRecord* r, int32_t index) {
  StreamSource* s = &r->sources[index];
  CloseSoundDecoder(&s->decoder);
  if (s->loadType == 3) {
    if (r->fileOwned[index] && s->stream.Close != nullptr) s->stream.Close(s->streamHandle);
  } else if (s->streamHandle != 0) {
    CloseMemoryStream(s->streamHandle);
  }
  TrackedFree(s->data);
  memset(s, 0, sizeof *s);
  r->fileOwned[index] = 0;
}

DWORD SoundThreadMain(LPVOID) {
  for (;;) {
    if (soundThreadStop.load() == 1) {
      soundThreadStop.store(2);
      return 0;
    }
    EnterCriticalSection(&SoundLock);
    if (DirectSoundObject != nullptr) UpdateStreamSounds();
    LeaveCriticalSection(&SoundLock);
    WaitForSingleObject(soundThreadWake, 30);  // 30 ms, or at once when asked to stop
  }
}

}  // namespace

// ---------------------------------------------------------------- sources

int AddSreamSound(const StreamInterface* stream, uintptr_t streamHandle, int32_t repeatCount, int32_t handle,
                  int32_t loadType, int32_t* copied, int32_t share) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->sourceCount > 0) {
    if (r->streamFlag != 1) {
      WriteLogMessage("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
      return -1;
    }
    SoundPlayBuffer* slot = nullptr;
    DWORD status = 0;
    if (AcquireStreamBuffer(handle, r, &slot, 0) == 0 && SoundBufferGetStatus(slot, &status) == 0 &&
        (status & DSBSTATUS_PLAYING)) {
      WriteLogMessage("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
      return -1;
    }
    if (r->sourceCount >= SoundMaxStreamSources) {
      WriteLogMessage("ストリーム風サウンドの制御データ領域がいっぱいです\n");
      return -1;
    }
  }
  const int32_t index = r->sourceCount;
  StreamSource* s = &r->sources[index];
  memset(s, 0, sizeof *s);
  s->loadType = static_cast<uint32_t>(loadType);
  s->playEnd = -1;
  stream->Seek(streamHandle, 0, SeekFromStart);
  if (loadType == 3) {
    if (OpenSoundDecoder(stream, streamHandle, &s->decoder) != 0) {
      WriteLogMessage("音声データのオープンに失敗しました");
      return -1;
    }
    s->stream = *stream;
    s->streamHandle = streamHandle;
    if (copied != nullptr) *copied = 0;
  } else {
    void* data = nullptr;
    uint32_t size = 0;
    if (ReadStreamToMemory(stream, streamHandle, &data, &size) != 0) {
      WriteLogMessage("音声データの読み込みに失敗しました");
      return -1;
    }
    MemoryStream* copy = OpenMemoryStream(data, size);
    if (copy == nullptr ||
        OpenSoundDecoder(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(copy), &s->decoder) != 0) {
      if (copy != nullptr) CloseMemoryStream(reinterpret_cast<uintptr_t>(copy));
      TrackedFree(data);
      memset(s, 0, sizeof *s);
      WriteLogMessage("音声データのオープンに失敗しました");
      return -1;
    }
    s->data = static_cast<uint8_t*>(data);
    s->dataSize = size;
    s->stream = *GetMemoryStreamInterface();
    s->streamHandle = reinterpret_cast<uintptr_t>(copy);
    if (copied != nullptr) *copied = 1;
  }
  WAVEFORMATEX format{};
  GetSoundDecoderFormat(&s->decoder, &format);
  // A source refused from here on leaves the caller's stream to the caller,
  // who closes it.
  r->fileOwned[index] = 0;
  if (index > 0 && memcmp(&format, &r->format, sizeof format) != 0) {
    ReleaseSource(r, index);
    WriteLogMessage("フォーマットの違う音声データは同時に使うことは出来ません");
    return -1;
  }
  if (index == 0) {
    r->format = format;
    SoundHandleRecord* owner = share != -1 && share != handle ? FindSoundRecord(share) : nullptr;
    if (owner != nullptr && owner->streamFlag == 1 && owner->shareSource == -1 &&
        memcmp(&owner->format, &format, sizeof format) == 0) {
      r->streamFlag = 1;
      r->bufferCount = 1;
      AddHandleListNode(&SoundStreamListHead, &r->listNode, handle, r);
      r->shareSource = share;
      r->streamBufferSize = owner->streamBufferSize;
      ++owner->userCount;
    } else {
      if (CreateSoundBuffers(-1, &format, 0, 1, 1, handle) != 0) {
        ReleaseSource(r, index);
        return -1;
      }
      r->shareSource = -1;
      r->streamBufferSize = StreamBufferBytes(format);
      r->frequency = format.nSamplesPerSec;
    }
    r->userCount = 0;
    r->deletePending = 0;
    r->currentBufferUser = -1;
  }
  r->fileOwned[index] = loadType == 3 ? 1 : 0;
  s->repeatCount = static_cast<uint8_t>(repeatCount);
  ++r->sourceCount;
  int64_t samples = 0;
  for (int32_t i = 0; i < r->sourceCount; ++i)
    samples += GetSoundDecoderPcmSize(&r->sources[i].decoder) / r->format.nBlockAlign;
  r->totalSamples = static_cast<int32_t>(std::min<int64_t>(samples, INT32_MAX));
  return 0;
}

int AddStreamSoundFile(const char* fileName, int32_t repeatCount, int32_t handle, int32_t loadType, int32_t share) {
  char text[1024];
  FileId file = FileStreamOpen(fileName, 0, 1, 0);
  if (file == 0) {
    FormatString(text, sizeof text, "右記のＷＡＶファイルのロードに失敗しました：%s \n", fileName);
    WriteLogMessage(text);
    return -1;
  }
  int32_t copied = 0;
  if (AddSreamSound(GetFileStreamInterface(), file, repeatCount, handle, loadType, &copied, share) != 0) {
    FileStreamClose(file);
    FormatString(text, sizeof text, "右記のＷＡＶファイルのセットアップに失敗しました：%s \n", fileName);
    WriteLogMessage(text);
    return -1;
  }
  if (copied) FileStreamClose(file);
  return 0;
}

int AddStreamSoundMemory(const void* image, uint32_t size, int32_t repeatCount, int32_t handle, int32_t loadType,
                         int32_t share) {
  if (loadType == 3) loadType = 2;
  MemoryStream* stream = OpenMemoryStream(image, size);
  if (stream == nullptr) {
    WriteLogMessage("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    return -1;
  }
  int32_t copied = 0;
  const int result = AddSreamSound(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), repeatCount, handle,
                                   loadType, &copied, share);
  CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
  if (result != 0) {
    WriteLogMessage("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    return -1;
  }
  return 0;
}

void ReleaseStreamSound(SoundHandleRecord* r) {
  if (r->listNode.prev != nullptr) RemoveHandleListNode(&r->listNode);
  for (int32_t i = 0; i < r->sourceCount; ++i) ReleaseSource(r, i);
  r->sourceCount = 0;
  if (r->buffers[0].created) SoundBufferRelease(&r->buffers[0]);
}

// ---------------------------------------------------------------- the buffer

int AcquireStreamBuffer(int32_t handle, SoundHandleRecord* r, SoundPlayBuffer** slot, int32_t takeOver) {
  SoundHandleRecord* owner = r->shareSource != -1 ? FindSoundRecord(r->shareSource) : r;
  if (owner == nullptr) return -1;
  const int32_t holder = owner->currentBufferUser;
  if (holder != -1 && holder != handle && FindSoundRecord(holder) != nullptr) {
    if (!takeOver) return -1;
    StopStreamSound(holder);
  }
  owner->currentBufferUser = handle;
  *slot = &owner->buffers[0];
  return 0;
}

int UpdateStreamPlayPosition(int32_t handle, int32_t cursor) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  SoundPlayBuffer* slot = nullptr;
  if (r == nullptr || r->streamFlag != 1 || !r->streamActive || AcquireStreamBuffer(handle, r, &slot, 0) != 0) return 0;
  if (cursor == -1) cursor = SoundBufferGetPosition(slot);
  if (cursor < 0 || static_cast<uint32_t>(cursor) == r->lastCursor) return 0;
  const uint32_t now = static_cast<uint32_t>(cursor), last = r->lastCursor, size = r->streamBufferSize;
  if (r->loopJumpPending) {
    const uint32_t jump = r->loopJumpWriteOffset;
    const bool passed = last <= now ? (last < jump && jump <= now) : (jump > last || jump <= now);
    if (passed) {
      r->playedBytes = static_cast<int32_t>(r->loopJumpDataPosition + (now + size - jump) % size);
      r->loopJumpPending = 0;
      r->lastCursor = now;
      return 0;
    }
  }
  r->playedBytes += static_cast<int32_t>(now >= last ? now - last : now + size - last);
  r->lastCursor = now;
  return 0;
}

int RefillStreamSound(int32_t handle) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr || r->streamFlag != 1) return -1;
  SoundPlayBuffer* slot = nullptr;
  if (!r->streamActive || r->sourceCount == 0 || AcquireStreamBuffer(handle, r, &slot, 0) != 0) return 0;
  const uint32_t rate = r->format.nAvgBytesPerSec, block = r->format.nBlockAlign, size = r->streamBufferSize;
  if (rate == 0 || block == 0 || size == 0) return -1;
  UpdateStreamPlayPosition(handle, -1);
  const int32_t write = r->writePosition, guard = r->guardPosition;
  // The cursor must lie within the three quarters of a second behind the
  // write position; elsewhere nothing is written until it is back.
  auto outsideGuard = [&](int32_t cursor) {
    if (write < guard) return write < cursor && cursor < guard;
    if (write > guard) return cursor < guard || cursor > write;
    return false;
  };
  DWORD status = 0;
  SoundBufferGetStatus(slot, &status);
  uint32_t amount;
  bool silence = false;
  if (r->endReached) {
    const int32_t cursor = SoundBufferGetPosition(slot);
    const uint32_t now = static_cast<uint32_t>(std::max(cursor, 0)) % size;
    // The cursor's travel since the last look, counted against the bytes it
    // had still to play: the data has played out once it has travelled as
    // far, wherever in the ring the end lies. (Refills come far more often
    // than once a second, so the travel is never a whole turn of the ring.)
    const uint32_t travel = (now + size - r->endCursor % size) % size;
    if (travel >= r->endBytesLeft) {
      // The data has played out.
      SoundBufferStop(slot);
      r->endReached = 0;
      r->currentSource = 0;
      r->repeatCounter = 0;
      r->sourcePosition = 0;
      r->playedBytes = 0;
      r->loopJumpPending = 0;
      r->streamActive = 0;
      return 0;
    }
    r->endBytesLeft -= travel;
    r->endCursor = now;
    if (outsideGuard(cursor)) return -1;
    amount = FloorBlocks(rate / 8, block);
    silence = true;
  } else if ((status & DSBSTATUS_PLAYING) == 0) {
    if (write != kNothingWritten) return 0;
    amount = FloorBlocks(static_cast<uint64_t>(rate) * 192 / 256, block);
  } else {
    const int32_t cursor = SoundBufferGetPosition(slot);
    if (outsideGuard(cursor)) return -1;
    amount = FloorBlocks(rate / 8, block);
    int64_t w = write, p = cursor;
    if (write < guard) {
      if (p < w) p += size;
      w += size;
    }
    const int64_t lead = (w - p) * 512 / rate;  // in 1/512 s
    if (lead < 192) amount = FloorBlocks(static_cast<uint64_t>(192 - lead) * rate / 512, block);
  }
  amount = std::min(amount, size);
  if (amount == 0) return 0;
  const uint32_t at = write == kNothingWritten ? 0 : static_cast<uint32_t>(write);
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (SoundBufferLock(slot, at, amount, &p1, &n1, &p2, &n2) != 0) return -1;
  LockedParts parts{static_cast<uint8_t*>(p1), n1, static_cast<uint8_t*>(p2), n2};
  uint32_t written;
  if (silence) {
    parts.Silence(0, amount, r->format.wBitsPerSample == 8 ? 0x80 : 0);
    written = amount;
  } else {
    written = FillFromSources(r, slot, parts, at, amount);
  }
  const DWORD first = std::min<DWORD>(written, n1);
  SoundBufferUnlock(slot, p1, first, p2, written - first);
  if (write == kNothingWritten) {
    r->writePosition = static_cast<int32_t>(written);
    r->guardPosition = 0;
    return 0;
  }
  const int32_t next = static_cast<int32_t>((at + written) % size);
  int32_t nextGuard = next - static_cast<int32_t>(CeilBlocks(static_cast<uint64_t>(rate) * 192 / 256, block));
  if (nextGuard < 0) nextGuard += static_cast<int32_t>(size);
  r->writePosition = next;
  r->guardPosition = nextGuard;
  return 0;
}

int PrepareStreamSound(int32_t handle) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr || r->streamFlag != 1) return -1;
  SoundPlayBuffer* slot = nullptr;
  DWORD status = 0;
  if (r->streamActive || r->sourceCount == 0 || AcquireStreamBuffer(handle, r, &slot, 0) != 0) return 0;
  if (SoundBufferGetStatus(slot, &status) == 0 && (status & DSBSTATUS_PLAYING)) return 0;
  SoundBufferSetPosition(slot, 0);
  SeekSoundDecoder(&r->sources[r->currentSource].decoder,
                   static_cast<uint32_t>(r->sourcePosition) / r->format.nBlockAlign);
  r->writePosition = kNothingWritten;
  r->guardPosition = -1;
  r->lastCursor = 0;
  r->endReached = 0;
  r->streamActive = 1;
  RefillStreamSound(handle);
  return 0;
}

int PlayStreamSound(int32_t handle, int32_t playType, int32_t fromTop) {
  {
    SoundLockScope held;
    SoundHandleRecord* r = FindSoundRecord(handle);
    if (r == nullptr || r->streamFlag != 1) return -1;
    SoundPlayBuffer* slot = nullptr;
    if (!fromTop && CheckStreamSound(handle) == 1) return -1;
    if (AcquireStreamBuffer(handle, r, &slot, 1) != 0) return -1;
    StopStreamSound(handle);
    if ((playType == 3) != (r->streamPlayType == 3) && r->endedOnce) ResetStreamPosition(r);
    if (fromTop) {
      r->endedOnce = 0;
      if (r->playedBytes != 0) ResetStreamPosition(r);
    }
    r->streamPlayType = static_cast<uint32_t>(playType);
    PrepareStreamSound(handle);
    if (AcquireStreamBuffer(handle, r, &slot, 1) != 0) return -1;
    ApplySoundSettings(r, slot);
    if (SoundBufferPlay(slot, 1) != 0) return -1;
  }
  // The wait runs without the lock, so the refills go on meanwhile.
  if (playType == 0) WaitWhileSoundPlays(handle);
  return 0;
}

int StopStreamSound(int32_t handle) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr || r->streamFlag != 1) return -1;
  UpdateStreamPlayPosition(handle, -1);
  SoundPlayBuffer* slot = nullptr;
  if (AcquireStreamBuffer(handle, r, &slot, 0) != 0) return 0;
  if (r->shareSource != -1) {
    if (SoundHandleRecord* owner = FindSoundRecord(r->shareSource)) owner->currentBufferUser = -1;
  }
  DWORD status = 0;
  if (SoundBufferGetStatus(slot, &status) == 0 && (status & DSBSTATUS_PLAYING)) SoundBufferStop(slot);
  return 0;
}

int CheckStreamSound(int32_t handle) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr || r->streamFlag != 1) return -1;
  SoundHandleRecord* owner = r->shareSource != -1 ? FindSoundRecord(r->shareSource) : r;
  if (owner == nullptr) return 0;
  if (owner->currentBufferUser != -1 && owner->currentBufferUser != handle) return 0;
  DWORD status = 0;
  if (SoundBufferGetStatus(&owner->buffers[0], &status) != 0) return 0;
  return (status & DSBSTATUS_PLAYING) ? 1 : 0;
}

int GetStreamSoundCurrentTime(int32_t handle) {
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr || r->streamFlag != 1 || r->format.nBlockAlign == 0 || r->format.nSamplesPerSec == 0) return -1;
  UpdateStreamPlayPosition(handle, -1);
  const int64_t played = static_cast<int64_t>(r->playedBytes / r->format.nBlockAlign) * 1000 / r->format.nSamplesPerSec;
  const int64_t total = static_cast<int64_t>(r->totalSamples) * 1000 / r->format.nSamplesPerSec;
  return static_cast<int>(std::min(played, total));
}

int UpdateStreamSounds() {
  if (DirectSoundObject == nullptr) return -1;
  SoundLockScope held;
  for (HandleListNode* n = SoundStreamListHead.next; n != &SoundStreamListTail; n = n->next) {
    auto* r = static_cast<SoundHandleRecord*>(n->record);
    if (r->streamActive) RefillStreamSound(n->handle);
  }
  return 0;
}

// ---------------------------------------------------------------- the sound thread

int StartSoundThread() {
  if (soundThread != nullptr) return 0;
  soundThreadStop.store(0);
  soundThreadWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  soundThread = CreateThread(nullptr, 0, SoundThreadMain, nullptr, CREATE_SUSPENDED, &soundThreadId);
  if (soundThread == nullptr) {
    CloseHandle(soundThreadWake);
    soundThreadWake = nullptr;
    return -1;
  }
  SetThreadPriority(soundThread, THREAD_PRIORITY_TIME_CRITICAL);
  ResumeThread(soundThread);
  return 0;
}

int StopSoundThread() {
  if (soundThread == nullptr) return 0;
  soundThreadStop.store(1);
  SetEvent(soundThreadWake);
  // The window is kept answering meanwhile, as long as it is there; the
  // thread is waited for even once it is closed, for some two seconds.
  bool ended = false;
  for (int step = 0; step < kStopWaitSteps && !ended; ++step) {
    if (!MainWindowClosed) ProcessWindowMessages_Unlocked();
    ended = WaitForSingleObject(soundThread, 2) == WAIT_OBJECT_0;
  }
  if (!ended) {
    // Still inside a refill, or waiting for the lock: the thread keeps its
    // stop request, its handle and wake event, and all it works on.
    WriteLogMessage("サウンドスレッドが終了しませんでした\n");
    return -1;
  }
  CloseHandle(soundThread);
  CloseHandle(soundThreadWake);
  soundThread = nullptr;
  soundThreadWake = nullptr;
  soundThreadStop.store(0);
  return 0;
}

bool SoundThreadRunning() { return soundThread != nullptr; }
