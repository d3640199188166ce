// The DirectSound objects: the sound object, its primary buffer and the
// secondary buffers, each a thin face over the mixer.
#include "platform/dsound/dsound.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/dsound/mixer.h"

namespace {

std::atomic<uint32_t> faults{0};
std::atomic<int> liveBuffers{0};

// Takes a fault that is set; a one-time fault clears itself.
bool Fault(uint32_t bit) {
  if ((faults.load() & bit) == 0) return false;
  if (bit == PlatformDsSecondaryOnce) faults.fetch_and(~bit);
  return true;
}

bool ValidPcm(const WAVEFORMATEX* f, bool primary) {
  if (f == nullptr || f->wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f->nChannels != 1 && f->nChannels != 2) return false;
  if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return false;
  if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return false;
  DWORD maxRate = primary ? 192000 : DSBFREQUENCY_MAX;
  return f->nSamplesPerSec >= DSBFREQUENCY_MIN && f->nSamplesPerSec <= maxRate;
}

template <class Interface, class Self>
HRESULT QueryFor(Self* self, const IID& wanted, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (!IsEqualGUID(iid, wanted) && !IsEqualGUID(iid, IID_IUnknown)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  self->AddRef();
  *out = static_cast<Interface*>(self);
  return S_OK;
}

// The mixer's mutex, held after the null device has caught up with the
// present: every buffer call takes it, so cursors and status are those of now.
struct CaughtUp {
  std::unique_lock<std::mutex> lock{Mixer().mutex};
  CaughtUp() { Mixer().CatchUp(); }
};

// ---------------------------------------------------------------- secondary buffers

class SecondaryBuffer final : public IDirectSoundBuffer {
 public:
  explicit SecondaryBuffer(SoundVoice* voice) : voice_(voice) {
    ++liveBuffers;
    SoundMixer& mixer = Mixer();
    std::lock_guard<std::mutex> lock(mixer.mutex);
    mixer.UpdateStep(*voice_);
    SoundMixer::UpdateGains(*voice_);
    mixer.voices.push_back(voice_);
  }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return QueryFor<IDirectSoundBuffer>(this, IID_IDirectSoundBuffer, iid, out);
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // The voice as it stands, for a duplicate. Mutex held.
  const SoundVoice& Voice() const { return *voice_; }

  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    CaughtUp held;
    const uint32_t frame = static_cast<uint32_t>(voice_->position >> 32);
    const uint32_t align = voice_->format.nBlockAlign;
    if (play != nullptr) *play = frame * align;
    if (write != nullptr) {
      uint32_t lead = voice_->playing ? std::max<uint32_t>(voice_->frequency / 100, 1) : 0;
      *write = (frame + lead) % voice_->frames * align;
    }
    return DS_OK;
  }

  HRESULT GetStatus(DWORD* status) override {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    CaughtUp held;
    *status = voice_->playing ? DSBSTATUS_PLAYING | (voice_->looping ? DSBSTATUS_LOOPING : 0) : 0;
    return DS_OK;
  }

  HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
               DWORD flags) override {
    if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
    CaughtUp held;
    SoundVoice& v = *voice_;
    if (Fault(PlatformDsLock)) return DSERR_GENERIC;
    if (v.locked) return DSERR_INVALIDCALL;
    std::vector<uint8_t>& data = v.data->bytes;
    const uint32_t size = static_cast<uint32_t>(data.size());
    if (flags & DSBLOCK_ENTIREBUFFER) {
      offset = 0;
      bytes = size;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
      uint32_t lead = v.playing ? std::max<uint32_t>(v.frequency / 100, 1) : 0;
      offset = (static_cast<uint32_t>(v.position >> 32) + lead) % v.frames * v.format.nBlockAlign;
    }
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    const uint32_t first = std::min(bytes, size - offset);
    const uint32_t second = bytes - first;
    if (second != 0 && (part2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
    v.staged = Mixer().DataAudible(v.data.get());
    if (v.staged) {
      v.staging.resize(bytes);
      memcpy(v.staging.data(), data.data() + offset, first);
      if (second != 0) memcpy(v.staging.data() + first, data.data(), second);
      v.lockPart1 = v.staging.data();
      v.lockPart2 = second != 0 ? v.staging.data() + first : nullptr;
    } else {
      v.lockPart1 = data.data() + offset;
      v.lockPart2 = second != 0 ? data.data() : nullptr;
    }
    v.locked = true;
    v.lockOffset = offset;
    v.lockFirst = first;
    v.lockSecond = second;
    *part1 = v.lockPart1;
    *bytes1 = first;
    if (part2 != nullptr) *part2 = v.lockPart2;
    if (bytes2 != nullptr) *bytes2 = second;
    return DS_OK;
  }

  HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override {
    CaughtUp held;
    SoundVoice& v = *voice_;
    if (!v.locked) return DSERR_INVALIDCALL;
    if (part1 != v.lockPart1 || bytes1 > v.lockFirst || (part2 != nullptr && part2 != v.lockPart2) ||
        (part2 == nullptr && bytes2 != 0) || bytes2 > v.lockSecond) {
      return DSERR_INVALIDPARAM;
    }
    if (v.staged) {
      std::vector<uint8_t>& data = v.data->bytes;
      memcpy(data.data() + v.lockOffset, v.staging.data(), bytes1);
      if (bytes2 != 0) memcpy(data.data(), v.staging.data() + v.lockFirst, bytes2);
    }
    v.locked = false;
    v.staged = false;
    return DS_OK;
  }

  HRESULT Play(DWORD reserved1, DWORD, DWORD flags) override {
    if (reserved1 != 0) return DSERR_INVALIDPARAM;
    CaughtUp held;
    voice_->playing = true;
    voice_->looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
  }

  HRESULT SetCurrentPosition(DWORD position) override {
    CaughtUp held;
    uint32_t frame = position / voice_->format.nBlockAlign;
    if (frame >= voice_->frames) return DSERR_INVALIDPARAM;
    voice_->position = static_cast<uint64_t>(frame) << 32;
    return DS_OK;
  }

  HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }

  HRESULT SetVolume(LONG volume) override {
    if ((voice_->flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    CaughtUp held;
    voice_->volume = volume;
    SoundMixer::UpdateGains(*voice_);
    return DS_OK;
  }

  HRESULT SetPan(LONG pan) override {
    if ((voice_->flags & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    CaughtUp held;
    voice_->pan = pan;
    SoundMixer::UpdateGains(*voice_);
    return DS_OK;
  }

  HRESULT SetFrequency(DWORD frequency) override {
    if ((voice_->flags & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
    if (frequency == DSBFREQUENCY_ORIGINAL) frequency = voice_->format.nSamplesPerSec;
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    CaughtUp held;
    voice_->frequency = frequency;
    Mixer().UpdateStep(*voice_);
    return DS_OK;
  }

  HRESULT Stop() override {
    CaughtUp held;
    voice_->playing = false;
    return DS_OK;
  }

 private:
  ~SecondaryBuffer() {
    {
      SoundMixer& mixer = Mixer();
      std::lock_guard<std::mutex> lock(mixer.mutex);
      mixer.voices.erase(std::remove(mixer.voices.begin(), mixer.voices.end(), voice_), mixer.voices.end());
    }
    delete voice_;
    --liveBuffers;
  }

  std::atomic<ULONG> references_{1};
  SoundVoice* voice_;
};

// ---------------------------------------------------------------- primary buffer

class PrimaryBuffer final : public IDirectSoundBuffer {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    return QueryFor<IDirectSoundBuffer>(this, IID_IDirectSoundBuffer, iid, out);
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    if (play != nullptr) *play = 0;
    if (write != nullptr) *write = 0;
    return DS_OK;
  }
  HRESULT GetStatus(DWORD* status) override {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
    return DS_OK;
  }
  HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
  HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT Play(DWORD reserved1, DWORD, DWORD) override { return reserved1 == 0 ? DS_OK : DSERR_INVALIDPARAM; }
  HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT SetFormat(const WAVEFORMATEX* format) override {
    if (!ValidPcm(format, true)) return DSERR_BADFORMAT;
    if (Fault(PlatformDsSetFormat)) return DSERR_GENERIC;
    {
      SoundMixer& mixer = Mixer();
      std::lock_guard<std::mutex> lock(mixer.mutex);
      mixer.CatchUp();
      WAVEFORMATEX f = *format;
      f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
      mixer.SetOutputFormat(f);
    }
    ReopenSoundDevice();
    return DS_OK;
  }
  HRESULT SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT Stop() override { return DS_OK; }

 private:
  ~PrimaryBuffer() = default;
  std::atomic<ULONG> references_{1};
};

// ---------------------------------------------------------------- the sound object

class DirectSound final : public IDirectSound {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    return QueryFor<IDirectSound>(this, IID_IDirectSound, iid, out);
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT Initialize(const GUID* device) override {
    if (initialised_) return DSERR_ALREADYINITIALIZED;
    if (device != nullptr) return DSERR_NODRIVER;
    if (Fault(PlatformDsInitialize)) return DSERR_NODRIVER;
    OpenSoundDevice();
    initialised_ = true;
    return DS_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
    if (!initialised_) return DSERR_UNINITIALIZED;
    if (window == nullptr || level < DSSCL_NORMAL || level > 3) return DSERR_INVALIDPARAM;
    return DS_OK;
  }

  HRESULT GetCaps(DSCAPS* caps) override {
    if (!initialised_) return DSERR_UNINITIALIZED;
    if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_CONTINUOUSRATE | DSCAPS_EMULDRIVER | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwTotalHwMemBytes = 0;
    caps->dwFreeHwMemBytes = 0;
    return DS_OK;
  }

  HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** out, IUnknown* outer) override {
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (!initialised_) return DSERR_UNINITIALIZED;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (d == nullptr || d->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (d->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (d->dwBufferBytes != 0 || d->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
      if (Fault(PlatformDsPrimary)) return DSERR_ALLOCATED;
      *out = new PrimaryBuffer();
      return DS_OK;
    }
    if (!ValidPcm(d->lpwfxFormat, false)) return DSERR_BADFORMAT;
    if (d->dwBufferBytes < DSBSIZE_MIN || d->dwBufferBytes > DSBSIZE_MAX ||
        d->dwBufferBytes < d->lpwfxFormat->nBlockAlign) {
      return DSERR_INVALIDPARAM;
    }
    if (Fault(PlatformDsSecondary) || Fault(PlatformDsSecondaryOnce)) return DSERR_OUTOFMEMORY;
    auto* voice = new (std::nothrow) SoundVoice();
    if (voice == nullptr) return DSERR_OUTOFMEMORY;
    try {
      voice->data = std::make_shared<SoundData>();
      voice->data->bytes.assign(d->dwBufferBytes, d->lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0);
    } catch (const std::bad_alloc&) {
      delete voice;
      return DSERR_OUTOFMEMORY;
    }
    voice->format = *d->lpwfxFormat;
    voice->format.cbSize = 0;
    voice->flags = d->dwFlags;
    voice->frames = d->dwBufferBytes / voice->format.nBlockAlign;
    voice->frequency = voice->format.nSamplesPerSec;
    *out = new SecondaryBuffer(voice);
    return DS_OK;
  }

  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* source, IDirectSoundBuffer** out) override {
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (!initialised_) return DSERR_UNINITIALIZED;
    auto* original = dynamic_cast<SecondaryBuffer*>(source);
    if (original == nullptr) return DSERR_INVALIDCALL;
    if (Fault(PlatformDsDuplicate)) return DSERR_OUTOFMEMORY;
    auto* voice = new (std::nothrow) SoundVoice();
    if (voice == nullptr) return DSERR_OUTOFMEMORY;
    {
      std::lock_guard<std::mutex> lock(Mixer().mutex);
      const SoundVoice& from = original->Voice();
      voice->data = from.data;
      voice->format = from.format;
      voice->flags = from.flags;
      voice->frames = from.frames;
      voice->volume = from.volume;
      voice->pan = from.pan;
      voice->frequency = from.frequency;
    }
    *out = new SecondaryBuffer(voice);
    return DS_OK;
  }

 private:
  ~DirectSound() {
    if (initialised_) CloseSoundDevice();
  }
  std::atomic<ULONG> references_{1};
  bool initialised_ = false;
};

}  // namespace

HRESULT CreateDirectSoundClassObject(const CLSID& classId, const IID& iid, void** out) {
  if (!IsEqualGUID(classId, CLSID_DirectSound)) return REGDB_E_CLASSNOTREG;
  if (!IsEqualGUID(iid, IID_IDirectSound) && !IsEqualGUID(iid, IID_IUnknown)) return E_NOINTERFACE;
  if (Fault(PlatformDsCreateObject)) return E_OUTOFMEMORY;
  *out = static_cast<IDirectSound*>(new DirectSound());
  return S_OK;
}

void PlatformSetDirectSoundFaults(uint32_t bits) { faults.store(bits); }

int PlatformLiveSoundBufferCount() { return liveBuffers.load(); }
