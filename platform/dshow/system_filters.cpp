// The renderers of the stand-in (the audio renderer the graph builder ends
// PCM streams in, the null renderer) and the table of filters the builder
// inserts.
#include <cstring>

#include "platform/dshow/filters_internal.h"
#include "platform/dsound/dsound.h"

HRESULT CreateAvSplitter(IBaseFilter** filter);
HRESULT CreateAvVideoDecoder(IBaseFilter** filter);
HRESULT CreateAvAudioDecoder(IBaseFilter** filter);
HRESULT CreateMpegParser(IBaseFilter** filter);
HRESULT CreateMpegAudioDecoder(IBaseFilter** filter);

namespace {

// ---------------------------------------------------------------- null renderer

class NullRenderer : public D_CBaseRenderer {
 public:
  NullRenderer(HRESULT* result) : D_CBaseRenderer(CLSID_NullRenderer, "NullRenderer", nullptr, result) {}
  HRESULT CheckMediaType(const D_CMediaType*) override { return S_OK; }
  HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};

// ---------------------------------------------------------------- audio renderer

// Plays PCM through a looping DirectSound buffer of one second. Samples are
// written a little ahead of their time; the bytes after the last ones
// written are kept silent, so an underrun or the end of the stream plays
// silence rather than old sound.
class AudioRenderer : public D_CBaseRenderer, public IBasicAudio {
 public:
  static const CLSID kClassId;
  explicit AudioRenderer(HRESULT* result) : D_CBaseRenderer(kClassId, "AudioRenderer", nullptr, result) {}
  ~AudioRenderer() override { ReleaseBuffer(); }
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IBasicAudio) return D_GetInterface(static_cast<IBasicAudio*>(this), out);
    return D_CBaseRenderer::NonDelegatingQueryInterface(iid, out);
  }

  HRESULT CheckMediaType(const D_CMediaType* t) override {
    if (t->majortype != MEDIATYPE_Audio || t->subtype != MEDIASUBTYPE_PCM || t->formattype != FORMAT_WaveFormatEx ||
        t->cbFormat < sizeof(WAVEFORMATEX)) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    WAVEFORMATEX w;
    memcpy(&w, t->pbFormat, sizeof w);
    const bool ok = w.wFormatTag == WAVE_FORMAT_PCM && (w.nChannels == 1 || w.nChannels == 2) &&
                    (w.wBitsPerSample == 8 || w.wBitsPerSample == 16) &&
                    w.nBlockAlign == w.nChannels * w.wBitsPerSample / 8 && w.nSamplesPerSec >= DSBFREQUENCY_MIN &&
                    w.nSamplesPerSec <= DSBFREQUENCY_MAX;
    return ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

  HRESULT SetMediaType(const D_CMediaType* t) override {
    memcpy(&format_, t->pbFormat, sizeof format_);
    format_.cbSize = 0;
    return S_OK;
  }

  // The sound object and its buffer: a machine without a sound device
  // cannot render audio.
  HRESULT CompleteConnect(IPin*) override {
    ReleaseBuffer();
    void* made = nullptr;
    if (FAILED(CreateDirectSoundClassObject(CLSID_DirectSound, IID_IDirectSound, &made))) return E_FAIL;
    sound_ = static_cast<IDirectSound*>(made);
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    size_ = format_.nAvgBytesPerSec - format_.nAvgBytesPerSec % format_.nBlockAlign;
    d.dwBufferBytes = size_;
    d.lpwfxFormat = &format_;
    if (FAILED(sound_->Initialize(nullptr)) || FAILED(sound_->CreateSoundBuffer(&d, &buffer_, nullptr))) {
      ReleaseBuffer();
      return E_FAIL;
    }
    buffer_->SetVolume(volume_);
    return S_OK;
  }

  HRESULT BreakConnect() override {
    ReleaseBuffer();
    return S_OK;
  }

  void OnStateChanged(FILTER_STATE state) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer_ == nullptr) return;
    if (state == State_Running) {
      buffer_->Play(0, 0, DSBPLAY_LOOPING);
      return;
    }
    buffer_->Stop();
    if (state == State_Stopped) {
      buffer_->SetCurrentPosition(0);
      Silence(0, size_);
      write_ = queued_ = lastPlay_ = 0;
    }
  }

  REFERENCE_TIME RenderLead() override { return UNITS / 5; }

  HRESULT DoRenderSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    DWORD left = static_cast<DWORD>(sample->GetActualDataLength());
    left -= left % format_.nBlockAlign;
    while (left > 0) {
      DWORD room = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (buffer_ == nullptr) return S_OK;
        Consume();
        room = size_ - queued_ - format_.nBlockAlign;
        room -= room % format_.nBlockAlign;
        if (room > 0) {
          const DWORD piece = left < room ? left : room;
          Write(data, piece);
          data += piece;
          left -= piece;
          continue;
        }
      }
      if (RenderAborted()) return S_OK;
      WaitForChange(10);
    }
    return S_OK;
  }

  HRESULT put_Volume(long volume) override {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = volume;
    if (buffer_ != nullptr) buffer_->SetVolume(volume);
    return S_OK;
  }
  HRESULT get_Volume(long* volume) override {
    if (volume == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *volume = volume_;
    return S_OK;
  }

 private:
  void ReleaseBuffer() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer_ != nullptr) buffer_->Release();
    if (sound_ != nullptr) sound_->Release();
    buffer_ = nullptr;
    sound_ = nullptr;
  }

  // Takes what the buffer has played off the queued bytes; an underrun
  // starts writing again at the write cursor.
  void Consume() {
    DWORD play = 0, cursor = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &cursor))) return;
    const DWORD played = (play + size_ - lastPlay_) % size_;
    lastPlay_ = play;
    if (played >= queued_) {
      queued_ = 0;
      write_ = cursor;
    } else {
      queued_ -= played;
    }
  }

  void Write(const BYTE* data, DWORD bytes) {
    CopyIn(write_, data, bytes);
    write_ = (write_ + bytes) % size_;
    queued_ += bytes;
    // What follows stays silent until it is written.
    Silence(write_, size_ - queued_ < size_ / 4 ? size_ - queued_ : size_ / 4);
  }

  void CopyIn(DWORD offset, const BYTE* data, DWORD bytes) {
    void *part1, *part2;
    DWORD bytes1, bytes2;
    if (FAILED(buffer_->Lock(offset, bytes, &part1, &bytes1, &part2, &bytes2, 0))) return;
    if (data != nullptr) {
      memcpy(part1, data, bytes1);
      if (part2 != nullptr) memcpy(part2, data + bytes1, bytes2);
    } else {
      const int silence = format_.wBitsPerSample == 8 ? 0x80 : 0;
      memset(part1, silence, bytes1);
      if (part2 != nullptr) memset(part2, silence, bytes2);
    }
    buffer_->Unlock(part1, bytes1, part2, bytes2);
  }

  void Silence(DWORD offset, DWORD bytes) {
    bytes -= bytes % format_.nBlockAlign;
    if (bytes > 0) CopyIn(offset, nullptr, bytes);
  }

  std::mutex mutex_;
  WAVEFORMATEX format_{};
  IDirectSound* sound_ = nullptr;
  IDirectSoundBuffer* buffer_ = nullptr;
  DWORD size_ = 0;
  DWORD write_ = 0;     // where the next bytes go
  DWORD queued_ = 0;    // bytes written and not played yet
  DWORD lastPlay_ = 0;  // the play cursor when last looked at
  long volume_ = 0;
};

const CLSID AudioRenderer::kClassId = {0x79376820, 0x07D0, 0x11CF, {0xA2, 0x4D, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};

HRESULT CreateAudioRenderer(IBaseFilter** filter) {
  HRESULT hr = S_OK;
  auto* made = new AudioRenderer(&hr);
  *filter = made;
  made->AddRef();
  return S_OK;
}

}  // namespace

HRESULT CreateNullRendererFilter(IBaseFilter** filter) {
  HRESULT hr = S_OK;
  auto* made = new NullRenderer(&hr);
  *filter = made;
  made->AddRef();
  return S_OK;
}

const RegisteredFilter RegisteredFilters[] = {
    {u"MPEG-1 Stream Splitter", {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG1Audio}}, CreateMpegParser},
    {u"AV Splitter", {{&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL}}, CreateAvSplitter},
    {u"MPEG Audio Decoder",
     {{&MEDIATYPE_Audio, &MEDIASUBTYPE_MP3}, {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1AudioPayload}},
     CreateMpegAudioDecoder},
    {u"AV Video Decoder", {{&MEDIATYPE_Video, &MEDIASUBTYPE_ZRCodec}}, CreateAvVideoDecoder},
    {u"AV Audio Decoder", {{&MEDIATYPE_Audio, &MEDIASUBTYPE_ZRCodec}}, CreateAvAudioDecoder},
    {u"Default DirectSound Device", {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}}, CreateAudioRenderer},
};
const int RegisteredFilterCount = sizeof RegisteredFilters / sizeof RegisteredFilters[0];
