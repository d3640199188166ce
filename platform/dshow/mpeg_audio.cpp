// MPEG audio streams (MEDIATYPE_Stream / MEDIASUBTYPE_MPEG1Audio): a parser
// that takes the stream when it begins (after an ID3v2 tag) with MPEG audio
// frames and passes its bytes on, read through the source's request queue,
// and a decoder of MPEG-1, 2 and 2.5 audio, layers I to III, over
// libmpg123. The decoder keeps every sample: no gapless trimming, and an
// information frame decodes as the (silent) frame it is.
#include <mpg123.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dshow/filters_internal.h"

namespace {

// ---------------------------------------------------------------- frames

struct FrameHeader {
  int version;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  int layer;    // 1 to 3
  int channels;
  int sampleRate;
  int bitRate;  // kbit/s
  int size;     // bytes
};

bool ParseFrameHeader(const uint8_t* b, FrameHeader* h) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  static const int kVersions[4] = {2, -1, 1, 0};
  h->version = kVersions[(b[1] >> 3) & 3];
  h->layer = 4 - ((b[1] >> 1) & 3);
  const int bitIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  if (h->version < 0 || h->layer == 4 || bitIndex == 0 || bitIndex == 15 || rateIndex == 3) return false;
  static const int kBitRates[2][3][14] = {
      {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  h->bitRate = kBitRates[h->version == 0 ? 0 : 1][h->layer - 1][bitIndex - 1];
  h->sampleRate = kRates[h->version][rateIndex];
  h->channels = (b[3] & 0xC0) == 0xC0 ? 1 : 2;
  const int padding = (b[2] >> 1) & 1;
  if (h->layer == 1)
    h->size = (12000 * h->bitRate / h->sampleRate + padding) * 4;
  else if (h->layer == 3 && h->version != 0)
    h->size = 72000 * h->bitRate / h->sampleRate + padding;
  else
    h->size = 144000 * h->bitRate / h->sampleRate + padding;
  return h->size > 4;
}

// The first frame of three that follow each other with the same version,
// layer and rate, within the first 64 KB after an ID3v2 tag.
bool FindFrames(const std::vector<uint8_t>& data, FrameHeader* first) {
  size_t start = 0;
  if (data.size() >= 10 && memcmp(data.data(), "ID3", 3) == 0) {
    start = 10 + ((static_cast<size_t>(data[6] & 0x7F) << 21) | (static_cast<size_t>(data[7] & 0x7F) << 14) |
                  (static_cast<size_t>(data[8] & 0x7F) << 7) | static_cast<size_t>(data[9] & 0x7F));
    if (data[3] == 4 && (data[5] & 0x10)) start += 10;
  }
  for (size_t at = start; at + 4 <= data.size() && at < start + 65536; ++at) {
    FrameHeader h[3];
    size_t p = at;
    int chained = 0;
    while (chained < 3 && p + 4 <= data.size() && ParseFrameHeader(&data[p], &h[chained]) &&
           (chained == 0 || (h[chained].version == h[0].version && h[chained].layer == h[0].layer &&
                             h[chained].sampleRate == h[0].sampleRate))) {
      p += static_cast<size_t>(h[chained].size);
      ++chained;
    }
    // A short stream may hold fewer frames, ending exactly at its end.
    if (chained == 3 || (chained > 0 && p == data.size())) {
      *first = h[0];
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- parser

class MpegParser;

class ParserInputPin : public ReaderInputPin {
 public:
  ParserInputPin(D_CBaseFilter* filter, MpegParser* parser, D_CCritSec* lock)
      : ReaderInputPin("MpegParserInput", filter, lock), parser_(parser) {}
  ~ParserInputPin() override { ParserInputPin::BreakConnect(); }
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override {
    return mediaType->majortype == MEDIATYPE_Stream && mediaType->subtype == MEDIASUBTYPE_MPEG1Audio ? S_OK : S_FALSE;
  }
  HRESULT CompleteConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  IMemAllocator* PullAllocator() const { return allocator_; }

 private:
  MpegParser* parser_;
  IMemAllocator* allocator_ = nullptr;  // of the requests, agreed with the reader
};

class ParserOutputPin : public D_CBaseOutputPin {
 public:
  ParserOutputPin(D_CBaseFilter* filter, MpegParser* parser, D_CCritSec* lock)
      : D_CBaseOutputPin("MpegParserOutput", filter, lock, nullptr, u"Audio"), parser_(parser) {}
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
    ALLOCATOR_PROPERTIES wanted = {4, kPiece, 1, 0}, actual;
    const HRESULT hr = allocator->SetProperties(&wanted, &actual);
    return FAILED(hr) ? hr : (actual.cbBuffer >= kPiece ? S_OK : E_FAIL);
  }
  static constexpr LONG kPiece = 32768;

 private:
  MpegParser* parser_;
};

class MpegParser : public D_CBaseFilter {
 public:
  static const CLSID kClassId;
  MpegParser() : D_CBaseFilter("MpegParser", nullptr, &lock_, kClassId) {
    input_ = new ParserInputPin(this, this, &lock_);
    output_ = new ParserOutputPin(this, this, &lock_);
  }
  ~MpegParser() override {
    StopThread();
    delete output_;
    delete input_;
  }
  int GetPinCount() override { return 2; }
  D_CBasePin* GetPin(int index) override {
    return index == 0 ? static_cast<D_CBasePin*>(input_) : index == 1 ? output_ : nullptr;
  }

  HRESULT Pause() override {
    D_CAutoLock lock(&lock_);
    const bool starting = state_.load() == State_Stopped;
    if (starting && input_->PullAllocator() != nullptr) {
      const HRESULT hr = input_->PullAllocator()->Commit();
      if (FAILED(hr)) return hr;
    }
    const HRESULT hr = D_CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    if (starting && input_->Reader() != nullptr && output_->IsConnected()) {
      stopRequested_ = false;
      input_->Reader()->EndFlush();
      thread_.Start([](void* self) { static_cast<MpegParser*>(self)->Stream(); }, this);
    }
    return S_OK;
  }

  HRESULT Stop() override {
    D_CAutoLock lock(&lock_);
    // The output's allocator decommitted first releases a thread that waits
    // for a buffer.
    const HRESULT hr = D_CBaseFilter::Stop();
    StopThread();
    return hr;
  }

  // Checks the start of the stream; S_OK keeps its first frame's format.
  HRESULT Probe(IAsyncReader* reader) {
    LONGLONG total = 0, available = 0;
    if (FAILED(reader->Length(&total, &available)) || total <= 0) return VFW_E_UNKNOWN_FILE_TYPE;
    std::vector<uint8_t> head(static_cast<size_t>(total < 262144 ? total : 262144));
    if (reader->SyncRead(0, static_cast<LONG>(head.size()), head.data()) != S_OK) return VFW_E_UNKNOWN_FILE_TYPE;
    if (!FindFrames(head, &first_)) return VFW_E_UNSUPPORTED_STREAM;
    total_ = total;
    return S_OK;
  }

  const FrameHeader& First() const { return first_; }

 private:
  void StopThread() {
    stopRequested_ = true;
    IAsyncReader* reader = input_->Reader();
    if (reader != nullptr) reader->BeginFlush();
    if (input_->PullAllocator() != nullptr) input_->PullAllocator()->Decommit();
    thread_.Join();
    if (reader == nullptr) return;
    // Requests the flush sent back unserved still hold their buffers.
    for (;;) {
      IMediaSample* sample = nullptr;
      DWORD_PTR user = 0;
      reader->WaitForNext(0, &sample, &user);
      if (sample == nullptr) break;
      sample->Release();
    }
    reader->EndFlush();
  }

  // The streaming thread: the stream's bytes in order, through requests.
  void Stream() {
    IAsyncReader* reader = input_->Reader();
    IMemAllocator* allocator = input_->PullAllocator();
    output_->DeliverNewSegment(0, 0x7FFFFFFFFFFFFFFF, 1.0);
    LONGLONG position = 0;
    bool ended = false;
    while (!stopRequested_.load() && !ended) {
      IMediaSample* request = nullptr;
      if (FAILED(allocator->GetBuffer(&request, nullptr, nullptr, 0))) return;
      REFERENCE_TIME start = position * UNITS, stop = (position + request->GetSize()) * UNITS;
      request->SetTime(&start, &stop);
      if (FAILED(reader->Request(request, 0))) {
        request->Release();
        break;
      }
      IMediaSample* done = nullptr;
      DWORD_PTR user = 0;
      HRESULT hr;
      for (;;) {
        hr = reader->WaitForNext(100, &done, &user);
        if (hr != VFW_E_TIMEOUT || stopRequested_.load()) break;
      }
      if (done == nullptr) {
        // Flushed or stopped: the request comes back (or was dropped) without data.
        return;
      }
      const LONG got = SUCCEEDED(hr) ? done->GetActualDataLength() : 0;
      if (got > 0 && Forward(done, got) != S_OK) {
        done->Release();
        return;
      }
      position += got;
      ended = FAILED(hr) || got < done->GetSize() || position >= total_;
      done->Release();
    }
    if (!stopRequested_.load()) output_->DeliverEndOfStream();
  }

  HRESULT Forward(IMediaSample* from, LONG length) {
    BYTE* bytes = nullptr;
    from->GetPointer(&bytes);
    for (LONG offset = 0; offset < length;) {
      IMediaSample* out = nullptr;
      HRESULT hr = output_->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
      if (FAILED(hr)) return hr;
      BYTE* to = nullptr;
      out->GetPointer(&to);
      const LONG piece = length - offset < out->GetSize() ? length - offset : out->GetSize();
      memcpy(to, bytes + offset, static_cast<size_t>(piece));
      out->SetActualDataLength(piece);
      out->SetDiscontinuity(first_piece_);
      first_piece_ = false;
      hr = output_->Deliver(out);
      out->Release();
      if (hr != S_OK) return hr;
      offset += piece;
    }
    return S_OK;
  }

  D_CCritSec lock_;
  ParserInputPin* input_;
  ParserOutputPin* output_;
  FrameHeader first_{};
  LONGLONG total_ = 0;
  bool first_piece_ = true;
  StreamingThread thread_;
  std::atomic<bool> stopRequested_{false};
};

const CLSID MpegParser::kClassId = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'M', 'P', 'A', 'R', 'S', 1}};

HRESULT ParserInputPin::CompleteConnect(IPin*) {
  HRESULT hr = parser_->Probe(Reader());
  if (FAILED(hr)) return hr;
  // The requests' buffers: one of the parser's own unless the reader wants its own.
  HRESULT made = S_OK;
  auto* own = new D_CMemAllocator("MpegParserRequests", nullptr, &made);
  own->AddRef();
  ALLOCATOR_PROPERTIES wanted = {2, ParserOutputPin::kPiece, 1, 0};
  IMemAllocator* actual = nullptr;
  hr = Reader()->RequestAllocator(own, &wanted, &actual);
  own->Release();
  if (FAILED(hr)) return hr;
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = actual;
  return S_OK;
}

HRESULT ParserInputPin::BreakConnect() {
  if (allocator_ != nullptr) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  return ReaderInputPin::BreakConnect();
}

bool MakeMpegType(const FrameHeader& h, D_CMediaType* mediaType) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = h.layer == 3 ? WAVE_FORMAT_MPEGLAYER3 : WAVE_FORMAT_MPEG;
  wave.nChannels = static_cast<WORD>(h.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(h.sampleRate);
  wave.nAvgBytesPerSec = static_cast<DWORD>(h.bitRate) * 1000 / 8;
  wave.nBlockAlign = 1;
  mediaType->Clear();
  mediaType->SetType(MEDIATYPE_Audio);
  mediaType->SetSubtype(h.layer == 3 ? MEDIASUBTYPE_MP3 : MEDIASUBTYPE_MPEG1AudioPayload);
  mediaType->SetFormatType(FORMAT_WaveFormatEx);
  mediaType->bFixedSizeSamples = FALSE;
  mediaType->lSampleSize = 0;
  return mediaType->SetFormat(&wave, sizeof wave);
}

HRESULT ParserOutputPin::CheckMediaType(const D_CMediaType* mediaType) {
  D_CMediaType mine;
  if (GetMediaType(0, &mine) != S_OK) return E_UNEXPECTED;
  return mediaType->majortype == mine.majortype && mediaType->subtype == mine.subtype ? S_OK : S_FALSE;
}

HRESULT ParserOutputPin::GetMediaType(int position, D_CMediaType* mediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (parser_->GetPin(0) == nullptr || !parser_->GetPin(0)->IsConnected()) return E_UNEXPECTED;
  return MakeMpegType(parser_->First(), mediaType) ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------- decoder

class MpegAudioDecoder : public D_CTransformFilter {
 public:
  static const CLSID kClassId;
  MpegAudioDecoder() : D_CTransformFilter("MpegAudioDecoder", nullptr, kClassId) {}
  ~MpegAudioDecoder() override { Close(); }

  HRESULT CheckInputType(const D_CMediaType* mediaType) override {
    if (mediaType->majortype != MEDIATYPE_Audio ||
        (mediaType->subtype != MEDIASUBTYPE_MP3 && mediaType->subtype != MEDIASUBTYPE_MPEG1AudioPayload) ||
        mediaType->formattype != FORMAT_WaveFormatEx || mediaType->cbFormat < sizeof(WAVEFORMATEX)) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    WAVEFORMATEX wave;
    memcpy(&wave, mediaType->pbFormat, sizeof wave);
    return (wave.nChannels == 1 || wave.nChannels == 2) && wave.nSamplesPerSec >= 8000 &&
                   wave.nSamplesPerSec <= 48000
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }

  HRESULT SetMediaType(PIN_DIRECTION direction, const D_CMediaType* mediaType) override {
    if (direction == PINDIR_INPUT) memcpy(&input_, mediaType->pbFormat, sizeof input_);
    return S_OK;
  }

  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return MakePcmMediaType(Pcm(), mediaType);
  }

  HRESULT CheckTransform(const D_CMediaType*, const D_CMediaType* out) override {
    return CheckPcmMediaType(out, Pcm());
  }

  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
    return SetPcmBuffers(allocator, Pcm(), 4, 5, 4608);
  }

  HRESULT StartStreaming() override { return Open() ? S_OK : E_OUTOFMEMORY; }
  HRESULT StopStreaming() override {
    Close();
    return S_OK;
  }

  HRESULT Receive(IMediaSample* sample) override {
    if (decoder_ == nullptr) return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const LONG length = sample->GetActualDataLength();
    if (length > 0 && mpg123_feed(decoder_, data, static_cast<size_t>(length)) != MPG123_OK) return E_OUTOFMEMORY;
    return Drain();
  }

  HRESULT EndOfStream() override {
    if (decoder_ != nullptr) Drain();
    return D_CTransformFilter::EndOfStream();
  }

  HRESULT EndFlush() override {
    // What was fed before the flush is dropped: a fresh decoder.
    if (decoder_ != nullptr) Open();
    return D_CTransformFilter::EndFlush();
  }

 private:
  WAVEFORMATEX Pcm() const { return PcmFormat(input_.nSamplesPerSec, input_.nChannels); }

  bool Open() {
    Close();
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = 0;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (h == nullptr) return false;
    if (mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK ||
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0) != MPG123_OK ||
        mpg123_format_none(h) != MPG123_OK ||
        mpg123_format(h, static_cast<long>(input_.nSamplesPerSec), input_.nChannels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(h) != MPG123_OK) {
      mpg123_delete(h);
      return false;
    }
    decoder_ = h;
    frames_ = 0;
    return true;
  }

  void Close() {
    if (decoder_ != nullptr) mpg123_delete(decoder_);
    decoder_ = nullptr;
  }

  // Everything the bytes fed so far decode to, delivered.
  HRESULT Drain() {
    const WAVEFORMATEX wave = Pcm();
    for (;;) {
      IMediaSample* out = nullptr;
      HRESULT hr = OutputPin()->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
      if (FAILED(hr)) return hr;
      BYTE* bytes = nullptr;
      out->GetPointer(&bytes);
      size_t done = 0;
      const size_t room = static_cast<size_t>(out->GetSize()) / wave.nBlockAlign * wave.nBlockAlign;
      const int result = mpg123_read(decoder_, bytes, room, &done);
      done -= done % wave.nBlockAlign;
      if (done > 0) {
        out->SetActualDataLength(static_cast<LONG>(done));
        REFERENCE_TIME start = frames_ * UNITS / wave.nSamplesPerSec;
        frames_ += static_cast<int64_t>(done / wave.nBlockAlign);
        REFERENCE_TIME stop = frames_ * UNITS / wave.nSamplesPerSec;
        out->SetTime(&start, &stop);
        out->SetSyncPoint(TRUE);
        hr = OutputPin()->Deliver(out);
      }
      out->Release();
      if (FAILED(hr) || hr == S_FALSE) return hr;
      if (result == MPG123_OK || result == MPG123_NEW_FORMAT) continue;
      return S_OK;  // wants more bytes, or the stream is done
    }
  }

  WAVEFORMATEX input_{};
  mpg123_handle* decoder_ = nullptr;
  int64_t frames_ = 0;
};

const CLSID MpegAudioDecoder::kClassId = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'M', 'D', 'E', 'C', 0, 1}};

}  // namespace

HRESULT CreateMpegParser(IBaseFilter** filter) {
  auto* made = new MpegParser();
  *filter = made;
  made->AddRef();
  return S_OK;
}

HRESULT CreateMpegAudioDecoder(IBaseFilter** filter) {
  auto* made = new MpegAudioDecoder();
  *filter = made;
  made->AddRef();
  return S_OK;
}
