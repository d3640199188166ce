// The sound module's own side: the record behind a sound handle and its
// table, the DirectSound buffer layer, stream sounds and the sound thread,
// and the module's start-up and shut-down.
#pragma once

#include <cstdint>

#include "library/core/text_helpers.h"
#include "library/graphics/object_handle.h"
#include "library/sound/sound.h"
#include "library/sound/sound_decoder.h"
#include "platform/dsound/dsound.h"
#include "platform/win32/win32_sync.h"

constexpr int32_t SoundMaxBuffers = 10;
constexpr int32_t SoundMaxStreamSources = 3;

struct SoundPlayBuffer {
  uint32_t created;  // 1 while the slot holds a buffer
  IDirectSoundBuffer* buffer;
};

// One source of a stream sound.
struct StreamSource {
  uint8_t repeatCount;  // extra plays before the next source; 255 loops for ever
  uint32_t loadType;    // 2 memory copy, 3 the open file
  uint8_t* data;        // the memory copy (load type 2)
  uint32_t dataSize;
  StreamInterface stream;  // what the decoder reads: a memory stream over data, or the file
  uintptr_t streamHandle;
  uint32_t loopStart;  // samples
  int32_t playEnd;     // samples, -1 none
  SoundDecoder decoder;
};

struct SoundHandleRecord {
  uint32_t checkNumber;
  SoundPlayBuffer buffers[SoundMaxBuffers];
  WAVEFORMATEX format;
  uint32_t streamFlag;        // 0 buffered, 1 stream
  uint32_t streamPlayType;    // play type of the last play of a stream sound
  int32_t shareSource;        // the stream sound whose buffer this one uses, -1 none
  int32_t userCount;          // stream sounds using this one as their share source
  int32_t currentBufferUser;  // which sharer holds the stream buffer, -1 none
  uint32_t deletePending;

  // Stream state.
  uint32_t streamBufferSize;  // one second, whole blocks
  int32_t writePosition;      // -800: nothing written yet
  int32_t guardPosition;      // -1 before the first fill
  StreamSource sources[SoundMaxStreamSources];
  uint8_t fileOwned[SoundMaxStreamSources];
  int32_t sourceCount;
  int32_t currentSource;
  int32_t repeatCounter;
  int32_t sourcePosition;  // bytes into the current source
  int32_t totalSamples;
  int32_t playedBytes;
  uint32_t lastCursor;
  uint8_t streamActive;
  uint8_t endReached;
  uint8_t loopJumpPending;
  uint8_t endedOnce;
  uint32_t loopJumpDataPosition;
  uint32_t endWriteOffset;
  uint32_t endCursor;     // the play cursor when the end was written, then as each refill found it
  uint32_t endBytesLeft;  // bytes from endCursor on to the end of the data
  uint32_t loopJumpWriteOffset;
  HandleListNode listNode;

  // Buffered sound.
  uint32_t pcmSize;
  void* pcmData;
  int32_t* sharedCount;
  uint32_t fillFlags[SoundMaxBuffers];
  int32_t bufferCount;
  int32_t currentBuffer;
  int32_t volume;  // hundredths of a decibel
  int32_t pan;
  uint32_t frequency;
  uint32_t nextVolumeSet, nextPanSet, nextFrequencySet;
  int32_t nextVolume, nextPan;
  uint32_t nextFrequency;
};

constexpr uint32_t SoundHandleCapacity = 32768;
using SoundHandleTableType = HandleTable<SoundHandleRecord, HandleKindSound, SoundHandleCapacity>;
extern SoundHandleTableType SoundHandleTable;

// Module state.
extern IDirectSound* DirectSoundObject;
extern IDirectSoundBuffer* PrimarySoundBuffer;
extern IDirectSoundBuffer* SilentSoundBuffer;
// Guards the table, the records and the stream list between the main thread
// and the sound thread. Recursive.
extern CRITICAL_SECTION SoundLock;
struct SoundLockScope {
  SoundLockScope() { EnterCriticalSection(&SoundLock); }
  ~SoundLockScope() { LeaveCriticalSection(&SoundLock); }
  SoundLockScope(const SoundLockScope&) = delete;
  SoundLockScope& operator=(const SoundLockScope&) = delete;
};
extern int32_t SoundLoadType;
extern HandleListNode SoundStreamListHead, SoundStreamListTail;

// Start-up and shut-down (library start-up and shut-down call them).
int InitSoundSystem();
int EndSoundSystem();

// A zeroed record in the table; the handle, or -1.
int AddSoundData();
// The record of a live handle while the module runs, else null.
SoundHandleRecord* FindSoundRecord(int32_t handle);
int CreateSoundBuffers(int32_t share, const WAVEFORMATEX* format, uint32_t dataSize, uint32_t streamFlag,
                       int32_t bufferCount, int32_t handle);
// hundredths of a decibel for a volume of 0 to 255.
int32_t SoundVolumeToDecibels(int32_t volume);
// Play type 0: waits (pumping messages) while the sound plays.
void WaitWhileSoundPlays(int32_t handle);

// The buffer layer: -1 for a slot without a buffer.
int SoundBufferCreate(SoundPlayBuffer* slot, const DSBUFFERDESC* description);
int SoundBufferDuplicate(SoundPlayBuffer* slot, const SoundPlayBuffer* source);
int SoundBufferRelease(SoundPlayBuffer* slot);
int SoundBufferPlay(SoundPlayBuffer* slot, int32_t looping);
int SoundBufferStop(SoundPlayBuffer* slot);
int SoundBufferGetStatus(SoundPlayBuffer* slot, DWORD* status);
int SoundBufferLock(SoundPlayBuffer* slot, DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                    DWORD* bytes2);
int SoundBufferUnlock(SoundPlayBuffer* slot, void* part1, DWORD bytes1, void* part2, DWORD bytes2);
int SoundBufferSetFrequency(SoundPlayBuffer* slot, DWORD frequency);
int SoundBufferSetPan(SoundPlayBuffer* slot, LONG pan);
int SoundBufferSetVolume(SoundPlayBuffer* slot, LONG volume);
int SoundBufferSetPosition(SoundPlayBuffer* slot, DWORD position);
// The play cursor, or -1.
int32_t SoundBufferGetPosition(SoundPlayBuffer* slot);
// Applies the record's volume, pan and frequency (or the next play's) to a buffer.
void ApplySoundSettings(SoundHandleRecord* record, SoundPlayBuffer* slot);

// Stream sounds (sound_stream.cpp).
int AddSreamSound(const StreamInterface* stream, uintptr_t streamHandle, int32_t repeatCount, int32_t handle,
                  int32_t loadType, int32_t* copied, int32_t share);
int AddStreamSoundFile(const char* fileName, int32_t repeatCount, int32_t handle, int32_t loadType, int32_t share);
int AddStreamSoundMemory(const void* image, uint32_t size, int32_t repeatCount, int32_t handle, int32_t loadType,
                         int32_t share);
int PrepareStreamSound(int32_t handle);
int PlayStreamSound(int32_t handle, int32_t playType, int32_t fromTop);
int StopStreamSound(int32_t handle);
int CheckStreamSound(int32_t handle);
int RefillStreamSound(int32_t handle);
int UpdateStreamPlayPosition(int32_t handle, int32_t cursor);
int GetStreamSoundCurrentTime(int32_t handle);
int UpdateStreamSounds();
int AcquireStreamBuffer(int32_t handle, SoundHandleRecord* record, SoundPlayBuffer** slot, int32_t takeOver);
// Frees the stream side of a record (sources, their streams and data, the
// stream buffer it owns) and takes it out of the stream list.
void ReleaseStreamSound(SoundHandleRecord* record);

// The sound thread (sound_stream.cpp): started when the machine has more
// than one processor. The stop waits some two seconds for it to go; a
// thread that has not gone by then is logged and left running (-1), with
// everything it works on.
int StartSoundThread();
int StopSoundThread();
bool SoundThreadRunning();

// A new empty file in the host's temporary folder, open for writing; its
// full path (Windows form, at most MAX_PATH bytes) goes to pathOut when
// given. 0 when no name could be made, INVALID_HANDLE_VALUE when the file
// could not be opened.
HANDLE CreateTempFile(char* pathOut);
