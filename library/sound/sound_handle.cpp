// Sound handles over DirectSound buffers: start-up and shut-down, the handle
// table, buffered sounds (their PCM in one to ten buffers), play, stop,
// volume and deletion.
#include "library/sound/sound_handle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/system_report.h"
#include "library/file/memory_stream.h"
#include "platform/win32/win32.h"

SoundHandleTableType SoundHandleTable;
IDirectSound* DirectSoundObject = nullptr;
IDirectSoundBuffer* PrimarySoundBuffer = nullptr;
IDirectSoundBuffer* SilentSoundBuffer = nullptr;
CRITICAL_SECTION SoundLock;
int32_t SoundLoadType = 0;
HandleListNode SoundStreamListHead, SoundStreamListTail;

namespace {

constexpr uint32_t kMaxBufferedSeconds = 180;
constexpr DWORD kBufferedFlags =
    DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC;
constexpr DWORD kBufferedFallbackFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC;
constexpr DWORD kStreamFlags = DSBCAPS_GETCURRENTPOSITION2 | kBufferedFlags;

WAVEFORMATEX PcmFormat(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
  f.nAvgBytesPerSec = f.nBlockAlign * rate;
  return f;
}

int32_t MillisecondsOf(int64_t samples, uint32_t rate) {
  return rate == 0 ? 0 : static_cast<int32_t>(samples * 1000 / rate);
}

// ---------------------------------------------------------------- start-up

void ReleaseDirectSound(IDirectSound* ds) {
  ds->Release();
  DeleteCriticalSection(&SoundLock);
}

void CreateSilentBuffer() {
  WAVEFORMATEX f = PcmFormat(2, 44100, 16);
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS;
  d.dwBufferBytes = 400;
  d.lpwfxFormat = &f;
  if (FAILED(DirectSoundObject->CreateSoundBuffer(&d, &SilentSoundBuffer, nullptr))) {
    WriteLogMessage("無音バッファの作成に失敗しました");
    SilentSoundBuffer = nullptr;
    return;
  }
  void *p1, *p2;
  DWORD n1, n2;
  if (FAILED(SilentSoundBuffer->Lock(0, 400, &p1, &n1, &p2, &n2, 0))) {
    WriteLogMessage("無音バッファのロックに失敗しました");
    SilentSoundBuffer->Release();
    SilentSoundBuffer = nullptr;
    return;
  }
  memset(p1, 0, n1);
  if (p2 != nullptr) memset(p2, 0, n2);
  SilentSoundBuffer->Unlock(p1, n1, p2, n2);
  SilentSoundBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

BOOL LogSoundDevice(GUID*, LPCSTR description, LPCSTR module, LPVOID) {
  char line[512];
  FormatString(line, sizeof line, "モジュール名:%15s  ドライバ記述:%s ", module, description);
  WriteLogMessage(line);
  return TRUE;
}

void LogDeviceReport() {
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  PushLogIndent();
  DirectSoundObject->GetCaps(&caps);
  WriteLogMessage("DirectSound デバイスを列挙します\n");
  PushLogIndent();
  HMODULE library = LoadLibraryA("DSOUND.DLL");
  if (library == nullptr) {
    WriteLogMessage("DSOUND.DLL のロードに失敗しました\n");
    PopLogIndent();
    PopLogIndent();
    return;
  }
  auto enumerate =
      reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, LPVOID)>(GetProcAddress(library, "DirectSoundEnumerateA"));
  if (enumerate == nullptr) {
    FreeLibrary(library);
    WriteLogMessage("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
    PopLogIndent();
    PopLogIndent();
    return;
  }
  enumerate(LogSoundDevice, nullptr);
  PopLogIndent();
  char line[256];
  FormatString(line, sizeof line, "最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
               caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
  WriteLogMessage(line);
  FormatString(line, sizeof line, "総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n",
               caps.dwTotalHwMemBytes / 1024.0, caps.dwFreeHwMemBytes / 1024.0);
  WriteLogMessage(line);
  auto ok = [&](DWORD bit) { return (caps.dwFlags & bit) ? "OK" : "NO"; };
  WriteLogMessage("利用可能サンプリング精度\n");
  FormatString(line, sizeof line, " プライマリ １６bit = %s  ８bit = %s ", ok(DSCAPS_PRIMARY16BIT),
               ok(DSCAPS_PRIMARY8BIT));
  WriteLogMessage(line);
  FormatString(line, sizeof line, " セカンダリ １６bit = %s  ８bit = %s \n", ok(DSCAPS_SECONDARY16BIT),
               ok(DSCAPS_SECONDARY8BIT));
  WriteLogMessage(line);
  WriteLogMessage("利用可能チャンネル\n");
  FormatString(line, sizeof line, " プライマリ MONO = %s  STEREO = %s ", ok(DSCAPS_PRIMARYMONO),
               ok(DSCAPS_PRIMARYSTEREO));
  WriteLogMessage(line);
  FormatString(line, sizeof line, " セカンダリ MONO = %s  STEREO = %s \n", ok(DSCAPS_SECONDARYMONO),
               ok(DSCAPS_SECONDARYSTEREO));
  WriteLogMessage(line);
  PopLogIndent();
  FreeLibrary(library);
}

// The whole file through the file function table into a tracked block.
int LoadFileImage(const char* fileName, void** data, uint32_t* size) {
  FileId file = FileStreamOpen(fileName, 0, 1, 0);
  if (file == 0) {
    WriteErrorLogFormat("右記のファイルのオープンに失敗しました：%s", fileName);
    return -1;
  }
  int result = ReadWholeStream(GetFileStreamInterface(), file, data, size);
  FileStreamClose(file);
  if (result == -2) WriteErrorLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", fileName);
  return result == 0 ? 0 : -1;
}

// Creates a buffered sound's first buffer: all controls, else volume and
// pan only.
int CreateFirstBuffer(SoundPlayBuffer* slot, DSBUFFERDESC* d) {
  d->dwFlags = kBufferedFlags;
  if (SoundBufferCreate(slot, d) == 0) return 0;
  d->dwFlags = kBufferedFallbackFlags;
  return SoundBufferCreate(slot, d);
}

// Copies the PCM into every buffer that is to be filled. 0, or -1 logged.
int FillBuffers(SoundHandleRecord* r) {
  for (int32_t i = 0; i < r->bufferCount; ++i) {
    if (r->fillFlags[i] == 1) continue;
    void *p1, *p2;
    DWORD n1, n2;
    if (SoundBufferLock(&r->buffers[i], 0, r->pcmSize, &p1, &n1, &p2, &n2) != 0) {
      WriteLogMessage("サウンドデータの転送に失敗しました_1");
      return -1;
    }
    memcpy(p1, r->pcmData, n1);
    if (p2 != nullptr) memcpy(p2, static_cast<uint8_t*>(r->pcmData) + n1, n2);
    if (SoundBufferUnlock(&r->buffers[i], p1, n1, p2, n2) != 0) {
      WriteLogMessage("サウンドデータの転送に失敗しました_2");
      return -1;
    }
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- buffer layer

int SoundBufferCreate(SoundPlayBuffer* slot, const DSBUFFERDESC* description) {
  if (FAILED(DirectSoundObject->CreateSoundBuffer(description, &slot->buffer, nullptr))) return -1;
  slot->created = 1;
  return 0;
}

int SoundBufferDuplicate(SoundPlayBuffer* slot, const SoundPlayBuffer* source) {
  if (!source->created) return -1;
  if (FAILED(DirectSoundObject->DuplicateSoundBuffer(source->buffer, &slot->buffer))) return -1;
  slot->created = 1;
  return 0;
}

int SoundBufferRelease(SoundPlayBuffer* slot) {
  if (!slot->created) return -1;
  slot->buffer->Release();
  slot->buffer = nullptr;
  slot->created = 0;
  return 0;
}

int SoundBufferPlay(SoundPlayBuffer* slot, int32_t looping) {
  if (!slot->created) return -1;
  return static_cast<int>(slot->buffer->Play(0, 0, looping ? DSBPLAY_LOOPING : 0));
}

int SoundBufferStop(SoundPlayBuffer* slot) {
  if (!slot->created) return -1;
  slot->buffer->Stop();
  return 0;
}

int SoundBufferGetStatus(SoundPlayBuffer* slot, DWORD* status) {
  if (!slot->created || FAILED(slot->buffer->GetStatus(status))) return -1;
  return 0;
}

int SoundBufferLock(SoundPlayBuffer* slot, DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                    DWORD* bytes2) {
  if (!slot->created || FAILED(slot->buffer->Lock(offset, bytes, part1, bytes1, part2, bytes2, 0))) return -1;
  return 0;
}

int SoundBufferUnlock(SoundPlayBuffer* slot, void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
  if (!slot->created || FAILED(slot->buffer->Unlock(part1, bytes1, part2, bytes2))) return -1;
  return 0;
}

int SoundBufferSetFrequency(SoundPlayBuffer* slot, DWORD frequency) {
  if (!slot->created) return -1;
  slot->buffer->SetFrequency(frequency);
  return 0;
}

int SoundBufferSetPan(SoundPlayBuffer* slot, LONG pan) {
  if (!slot->created) return -1;
  slot->buffer->SetPan(pan);
  return 0;
}

int SoundBufferSetVolume(SoundPlayBuffer* slot, LONG volume) {
  if (!slot->created) return -1;
  slot->buffer->SetVolume(volume);
  return 0;
}

int SoundBufferSetPosition(SoundPlayBuffer* slot, DWORD position) {
  if (!slot->created) return -1;
  slot->buffer->SetCurrentPosition(position);
  return 0;
}

int32_t SoundBufferGetPosition(SoundPlayBuffer* slot) {
  DWORD play = 0;
  if (!slot->created || FAILED(slot->buffer->GetCurrentPosition(&play, nullptr))) return -1;
  return static_cast<int32_t>(play);
}

void ApplySoundSettings(SoundHandleRecord* r, SoundPlayBuffer* slot) {
  // The one-shot settings of the next play: nothing sets them, each play
  // clears them and uses the handle's own.
  r->nextVolumeSet = r->nextPanSet = r->nextFrequencySet = 0;
  SoundBufferSetVolume(slot, r->volume);
  SoundBufferSetPan(slot, r->pan);
  SoundBufferSetFrequency(slot, r->frequency);
}

// ---------------------------------------------------------------- start-up and shut-down

int InitSoundSystem() {
  if (DirectSoundObject != nullptr) return -1;
  InitializeCriticalSection(&SoundLock);
  WriteLogMessage("DirectSound の初期化を行います\n");
  WriteLogMessage("DirectSound インターフェースの取得を行います....  ");
  IDirectSound* ds = nullptr;
  if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr,
                              CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IDirectSound,
                              reinterpret_cast<void**>(&ds)))) {
    WriteLogMessage("DirectSoundインターフェースの作成に失敗しました\n");
    DeleteCriticalSection(&SoundLock);
    return -1;
  }
  WriteLogMessage("成功\n");
  WriteLogMessage("引き続きインターフェースの初期化処理...  ");
  if (FAILED(ds->Initialize(nullptr))) {
    WriteLogMessage("初期化に失敗しました\n");
    ReleaseDirectSound(ds);
    return -1;
  }
  WriteLogMessage("成功\n");
  if (FAILED(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY))) {
    WriteLogMessage("DirectSoundの協調レベルの設定に失敗しました\n");
    ReleaseDirectSound(ds);
    return -1;
  }
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  if (FAILED(ds->CreateSoundBuffer(&d, &PrimarySoundBuffer, nullptr))) {
    WriteLogMessage("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    PrimarySoundBuffer = nullptr;
    ReleaseDirectSound(ds);
    return -1;
  }
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  ds->GetCaps(&caps);
  WAVEFORMATEX primary =
      PcmFormat((caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1, std::min<DWORD>(caps.dwMaxSecondarySampleRate, 44100),
                (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8);
  if (FAILED(PrimarySoundBuffer->SetFormat(&primary)))
    WriteLogMessage("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");

  DirectSoundObject = ds;
  CreateSilentBuffer();
  SoundLoadType = 0;
  InitHandleList(&SoundStreamListHead, &SoundStreamListTail);
  LogDeviceReport();
  DeleteAllSoundHandles();
  if (ProcessorCount > 1) StartSoundThread();
  WriteLogMessage("DirectSound の初期化は正常に終了しました\n");
  return 0;
}

int EndSoundSystem() {
  if (DirectSoundObject == nullptr) return -1;
  // A sound thread that did not stop may yet go on with its refill: the
  // lock, the sounds, their buffers and the sound object stay as they are,
  // the module still started, and the caller's shut-down goes on.
  if (StopSoundThread() != 0) return -1;
  DeleteAllSoundHandles();
  DeleteCriticalSection(&SoundLock);
  if (PrimarySoundBuffer != nullptr) {
    PrimarySoundBuffer->Stop();
    PrimarySoundBuffer->Release();
    PrimarySoundBuffer = nullptr;
  }
  if (SilentSoundBuffer != nullptr) {
    SilentSoundBuffer->Stop();
    SilentSoundBuffer->Release();
    SilentSoundBuffer = nullptr;
  }
  DirectSoundObject->Release();
  DirectSoundObject = nullptr;
  WriteLogMessage("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

// ---------------------------------------------------------------- handles

SoundHandleRecord* FindSoundRecord(int32_t handle) {
  if (DirectSoundObject == nullptr) return nullptr;
  return SoundHandleTable.Find(handle);
}

int AddSoundData() {
  SoundLockScope held;
  const int32_t slot = SoundHandleTable.FreeSlot();
  if (slot < 0) {
    WriteLogMessage("サウンドの数が許容量を越えました\n");
    return -1;
  }
  auto* r = static_cast<SoundHandleRecord*>(TrackedCalloc(sizeof(SoundHandleRecord), __FILE__, __LINE__));
  if (r == nullptr) {
    WriteLogMessage("メモリ領域の確保に失敗しました in AddSoundData");
    return -1;
  }
  r->shareSource = -1;
  r->currentBufferUser = -1;
  return SoundHandleTable.Insert(slot, r);
}

int CreateSoundBuffers(int32_t share, const WAVEFORMATEX* format, uint32_t dataSize, uint32_t streamFlag,
                       int32_t bufferCount, int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  SoundHandleRecord* shared = nullptr;
  if (share != -1) {
    shared = FindSoundRecord(share);
    if (shared == nullptr || streamFlag != 0) return -1;
    dataSize = shared->pcmSize;
    format = &shared->format;
  }
  WAVEFORMATEX f = *format;
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.lpwfxFormat = &f;
  if (streamFlag == 1) {
    // One second, whole blocks.
    uint32_t bytes = f.nAvgBytesPerSec & 0xFFFFFF;
    if (f.nBlockAlign != 0) bytes = (bytes + f.nBlockAlign - 1) / f.nBlockAlign * f.nBlockAlign;
    d.dwFlags = kStreamFlags;
    d.dwBufferBytes = bytes;
    if (SoundBufferCreate(&r->buffers[0], &d) != 0) {
      // The caller refuses the sound; the program goes on.
      WriteLogMessage("ストリーム風サウンドバッファの作成に失敗しました");
      return -1;
    }
    r->bufferCount = 1;
  } else if (bufferCount >= 1) {
    d.dwBufferBytes = dataSize;
    int32_t made = 0;
    for (int32_t i = 0; i < bufferCount; ++i) {
      bool ok;
      if (i == 0 && shared == nullptr) {
        ok = CreateFirstBuffer(&r->buffers[0], &d) == 0;
      } else {
        ok = SoundBufferDuplicate(&r->buffers[i], shared != nullptr ? &shared->buffers[0] : &r->buffers[0]) == 0;
        if (!ok && i == 0) ok = CreateFirstBuffer(&r->buffers[0], &d) == 0;
        if (!ok && i > 0) break;
      }
      if (!ok) {
        for (int32_t j = 0; j < made; ++j) SoundBufferRelease(&r->buffers[j]);
        WriteLogMessage("DirectSoundBuffer の作成に失敗しました\n");
        return -1;
      }
      r->fillFlags[i] = 0;
      ++made;
    }
    r->bufferCount = made;
  } else {
    r->bufferCount = bufferCount;
  }
  r->streamFlag = streamFlag;
  if (streamFlag) AddHandleListNode(&SoundStreamListHead, &r->listNode, handle, r);
  return 0;
}

int CreateSoundFromFile(const char* fileName, int32_t bufferCount, int32_t share) {
  if (DirectSoundObject == nullptr) return -1;
  SoundLockScope held;
  if (SoundLoadType == 0) {
    void* image = nullptr;
    uint32_t size = 0;
    if (LoadFileImage(fileName, &image, &size) != 0) {
      WriteErrorLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", fileName);
      return -1;
    }
    int handle = CreateSoundFromMemory(image, size, std::min(bufferCount, SoundMaxBuffers), -1);
    TrackedFree(image);
    if (handle == -1) WriteErrorLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", fileName);
    return handle;
  }
  int handle = AddSoundData();
  if (handle == -1) return -1;
  if (AddStreamSoundFile(fileName, 0, handle, SoundLoadType, share) != 0 || PrepareStreamSound(handle) != 0) {
    DeleteSoundHandle(handle);
    return -1;
  }
  return handle;
}

int LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t share) {
  return CreateSoundFromFile(fileName, bufferCount, share);
}

int CreateSoundFromMemory(const void* image, uint32_t size, int32_t bufferCount, int32_t) {
  if (DirectSoundObject == nullptr || bufferCount > SoundMaxBuffers) return -1;
  SoundLockScope held;
  const int handle = AddSoundData();
  if (handle == -1) return -1;
  if (SoundLoadType == 0) {
    MemoryStream* stream = OpenMemoryStream(image, size);
    SoundDecoder decoder;
    if (stream == nullptr ||
        OpenSoundDecoder(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), &decoder) != 0) {
      WriteLogMessage("音声ファイルのＰＣＭへの変換に失敗しました");
      if (stream != nullptr) CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
      DeleteSoundHandle(handle);
      return -1;
    }
    WAVEFORMATEX format{};
    void* pcm = nullptr;
    uint32_t pcmSize = 0;
    const int decoded = DecodeWholeSound(&decoder, &format, &pcm, &pcmSize);
    CloseSoundDecoder(&decoder);
    CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
    if (decoded != 0) {
      WriteLogMessage("音声ファイルを格納するメモリ領域の確保に失敗しました");
      DeleteSoundHandle(handle);
      return -1;
    }
    if (format.nAvgBytesPerSec != 0 && pcmSize / format.nAvgBytesPerSec <= kMaxBufferedSeconds &&
        CreateSoundBuffers(-1, &format, pcmSize, 0, bufferCount, handle) == 0) {
      SoundHandleRecord* r = FindSoundRecord(handle);
      r->frequency = format.nSamplesPerSec;
      r->sharedCount = static_cast<int32_t*>(TrackedAlloc(sizeof(int32_t), __FILE__, __LINE__));
      if (r->sharedCount == nullptr) {
        WriteLogMessage("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
        TrackedFree(pcm);
        DeleteSoundHandle(handle);
        return -1;
      }
      *r->sharedCount = 1;
      r->format = format;
      r->pcmSize = pcmSize;
      r->pcmData = pcm;
      if (FillBuffers(r) != 0) {
        DeleteSoundHandle(handle);
        return -1;
      }
      return handle;
    }
    TrackedFree(pcm);
  }
  // Long sounds, sounds without buffers of their own and the stream load
  // types play as stream sounds over a copy of the image.
  const int32_t saved = SoundLoadType;
  SoundLoadType = 2;
  const bool made = AddStreamSoundMemory(image, size, 0, handle, 2, -1) == 0 && PrepareStreamSound(handle) == 0;
  SoundLoadType = saved;
  if (!made) {
    DeleteSoundHandle(handle);
    return -1;
  }
  return handle;
}

void WaitWhileSoundPlays(int32_t handle) {
  if (MainWindowClosed) return;
  while (CheckSoundHandle(handle) == 1) {
    Sleep(1);
    if (ProcessWindowMessages_Unlocked() != 0) break;
  }
}

int PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromTop) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->streamFlag) return PlayStreamSound(handle, playType, fromTop);
  if (r->bufferCount < 1) return -1;
  int32_t cursor = 0;
  if (r->buffers[r->currentBuffer].created) cursor = std::max(SoundBufferGetPosition(&r->buffers[r->currentBuffer]), 0);
  r->currentBuffer = (r->currentBuffer + 1) % r->bufferCount;
  SoundPlayBuffer* slot = &r->buffers[r->currentBuffer];
  if (!slot->created) return -1;
  DWORD status = 0;
  if (SoundBufferGetStatus(slot, &status) == 0 && (status & DSBSTATUS_PLAYING)) {
    if (!fromTop) return 0;
    SoundBufferStop(slot);
  }
  SoundBufferSetPosition(slot, fromTop ? 0 : static_cast<DWORD>(cursor));
  ApplySoundSettings(r, slot);
  if (SoundBufferPlay(slot, playType == 3) != 0) return -1;
  if (playType == 0) WaitWhileSoundPlays(handle);
  return 0;
}

int StopSoundHandle(int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->streamFlag) return StopStreamSound(handle);
  for (int32_t i = 0; i < SoundMaxBuffers; ++i) {
    if (!r->buffers[i].created) continue;
    DWORD status = 0;
    if (SoundBufferGetStatus(&r->buffers[i], &status) != 0) return -1;
    if (status & DSBSTATUS_PLAYING) SoundBufferStop(&r->buffers[i]);
  }
  return 0;
}

int CheckSoundHandle(int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->streamFlag) return CheckStreamSound(handle);
  for (int32_t i = 0; i < SoundMaxBuffers; ++i) {
    DWORD status = 0;
    if (r->buffers[i].created && SoundBufferGetStatus(&r->buffers[i], &status) == 0 && (status & DSBSTATUS_PLAYING))
      return 1;
  }
  return 0;
}

int DeleteSoundHandle(int32_t handle, int32_t) {
  if (DirectSoundObject == nullptr) return -1;
  SoundLockScope held;
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  int32_t pendingOwner = -1;
  if (r->streamFlag) {
    StopStreamSound(handle);
    if (SoundHandleRecord* owner = r->shareSource != -1 ? FindSoundRecord(r->shareSource) : nullptr) {
      if (owner->currentBufferUser == handle) owner->currentBufferUser = -1;
      --owner->userCount;
      // A deleted source the others kept goes with its last user.
      if (owner != r && owner->deletePending && owner->userCount <= 0) pendingOwner = r->shareSource;
    }
    r->shareSource = -1;
    if (r->userCount > 0) {
      r->deletePending = 1;
      return 0;
    }
    ReleaseStreamSound(r);
  } else {
    if (r->buffers[0].created) StopSoundHandle(handle);
    for (SoundPlayBuffer& b : r->buffers)
      if (b.created) SoundBufferRelease(&b);
    if (r->sharedCount != nullptr && --*r->sharedCount == 0) {
      TrackedFree(r->pcmData);
      TrackedFree(r->sharedCount);
    }
  }
  TrackedFree(r);
  SoundHandleTable.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  if (pendingOwner != -1) DeleteSoundHandle(pendingOwner);
  return 0;
}

int DeleteAllSoundHandles(int32_t) {
  if (DirectSoundObject == nullptr) return -1;
  SoundLockScope held;
  for (uint32_t slot = 0; slot < SoundHandleTable.top; ++slot)
    if (SoundHandleTable.records[slot] != nullptr) DeleteSoundHandle(SoundHandleTable.HandleAt(slot));
  // Sources whose users all went in the pass above are gone with them; what
  // is left still counted users that no longer exist.
  for (uint32_t slot = 0; slot < SoundHandleTable.top; ++slot) {
    if (SoundHandleRecord* r = SoundHandleTable.records[slot]) {
      r->userCount = 0;
      DeleteSoundHandle(SoundHandleTable.HandleAt(slot));
    }
  }
  return 0;
}

int32_t SoundVolumeToDecibels(int32_t volume) {
  if (volume > 255) volume = 255;
  if (volume <= 0) return DSBVOLUME_MIN;
  const int32_t db = static_cast<int32_t>(std::log10(volume / 255.0) * 10.0 * 100.0);
  return std::max(db, DSBVOLUME_MIN);
}

int SetSoundHandleVolume(int32_t volume, int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  const int32_t db = SoundVolumeToDecibels(volume);
  for (SoundPlayBuffer& b : r->buffers)
    if (b.created) SoundBufferSetVolume(&b, db);
  r->volume = db;
  return 0;
}

int SetSoundLoadType(int32_t loadType) {
  if (loadType < 0 || loadType > 3) return -1;
  SoundLoadType = loadType == 1 ? 0 : loadType;
  return 0;
}

int GetSoundLoadType() { return SoundLoadType; }

int GetSoundTotalSample(int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->streamFlag == 0) return r->format.nBlockAlign == 0 ? 0 : static_cast<int>(r->pcmSize / r->format.nBlockAlign);
  if (r->streamFlag == 1) return r->totalSamples;
  return 0;
}

int GetSoundTotalTime(int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  return MillisecondsOf(GetSoundTotalSample(handle), r->format.nSamplesPerSec);
}

int GetSoundCurrentTime(int32_t handle) {
  SoundHandleRecord* r = FindSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->streamFlag) return GetStreamSoundCurrentTime(handle);
  if (r->bufferCount < 1 || r->format.nBlockAlign == 0) return 0;
  const int32_t cursor = SoundBufferGetPosition(&r->buffers[r->currentBuffer]);
  if (cursor < 0) return -1;
  return MillisecondsOf(cursor / r->format.nBlockAlign, r->format.nSamplesPerSec);
}
