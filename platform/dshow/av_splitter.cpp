// The demultiplexer: libavformat reads a stream of unknown kind through the
// IAsyncReader of the pin it connects to, and each video or audio stream
// whose codec libavcodec can decode gets an output pin. Its thread reads
// packets and queues them, with times relative to the current position, on
// the output pins, each of which delivers from a thread of its own (so a
// renderer that holds one stream does not hold up the others); the first
// output pin answers the seeking calls for the whole filter.
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/dshow/av_codec.h"

const GUID MEDIASUBTYPE_ZRCodec = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'C', 'O', 'D', 'E', 'C', 1}};
const GUID FORMAT_ZRCodec = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'C', 'O', 'D', 'E', 'C', 2}};

bool MakeCodecMediaType(const AVCodecParameters* p, AVRational frameRate, D_CMediaType* mediaType) {
  if (p->extradata_size < 0 || p->extradata_size > (1 << 24)) return false;
  BYTE* block = mediaType->AllocFormatBuffer(static_cast<ULONG>(sizeof(CodecFormat) + p->extradata_size));
  if (block == nullptr) return false;
  CodecFormat f{};
  f.codecId = p->codec_id;
  f.mediaKind = p->codec_type;
  f.codecTag = static_cast<int32_t>(p->codec_tag);
  f.width = p->width;
  f.height = p->height;
  f.pixelFormat = p->format;
  f.sampleRate = p->sample_rate;
  f.channels = p->ch_layout.nb_channels;
  f.channelMask = p->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? p->ch_layout.u.mask : 0;
  f.sampleFormat = p->format;
  f.blockAlign = p->block_align;
  f.bitsPerCodedSample = p->bits_per_coded_sample;
  f.frameSize = p->frame_size;
  f.bitRate = p->bit_rate;
  f.profile = p->profile;
  f.level = p->level;
  f.frameRateNumerator = frameRate.num;
  f.frameRateDenominator = frameRate.den;
  f.extradataSize = p->extradata_size;
  memcpy(block, &f, sizeof f);
  if (p->extradata_size > 0) memcpy(block + sizeof f, p->extradata, static_cast<size_t>(p->extradata_size));
  mediaType->SetType(p->codec_type == AVMEDIA_TYPE_VIDEO ? MEDIATYPE_Video : MEDIATYPE_Audio);
  mediaType->SetSubtype(MEDIASUBTYPE_ZRCodec);
  mediaType->SetFormatType(FORMAT_ZRCodec);
  mediaType->bFixedSizeSamples = FALSE;
  mediaType->bTemporalCompression = TRUE;
  mediaType->lSampleSize = 0;
  return true;
}

bool ReadCodecMediaType(const AM_MEDIA_TYPE& mediaType, AVCodecParameters* p, CodecFormat* format) {
  if (mediaType.subtype != MEDIASUBTYPE_ZRCodec || mediaType.formattype != FORMAT_ZRCodec ||
      mediaType.pbFormat == nullptr || mediaType.cbFormat < sizeof(CodecFormat)) {
    return false;
  }
  CodecFormat f;
  memcpy(&f, mediaType.pbFormat, sizeof f);
  if (f.extradataSize < 0 || mediaType.cbFormat - sizeof f < static_cast<ULONG>(f.extradataSize)) return false;
  if (format != nullptr) *format = f;
  if (p == nullptr) return true;
  p->codec_type = static_cast<AVMediaType>(f.mediaKind);
  p->codec_id = static_cast<AVCodecID>(f.codecId);
  p->codec_tag = static_cast<uint32_t>(f.codecTag);
  p->width = f.width;
  p->height = f.height;
  p->format = f.mediaKind == AVMEDIA_TYPE_VIDEO ? f.pixelFormat : f.sampleFormat;
  p->sample_rate = f.sampleRate;
  av_channel_layout_uninit(&p->ch_layout);
  if (f.channelMask != 0 && av_channel_layout_from_mask(&p->ch_layout, f.channelMask) == 0 &&
      p->ch_layout.nb_channels == f.channels) {
  } else if (f.channels > 0) {
    av_channel_layout_default(&p->ch_layout, f.channels);
  }
  p->block_align = f.blockAlign;
  p->bits_per_coded_sample = f.bitsPerCodedSample;
  p->frame_size = f.frameSize;
  p->bit_rate = f.bitRate;
  p->profile = f.profile;
  p->level = f.level;
  av_freep(&p->extradata);
  p->extradata_size = 0;
  if (f.extradataSize > 0) {
    p->extradata = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(f.extradataSize) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (p->extradata == nullptr) return false;
    memcpy(p->extradata, mediaType.pbFormat + sizeof f, static_cast<size_t>(f.extradataSize));
    p->extradata_size = f.extradataSize;
  }
  return true;
}

AVCodecContext* OpenCodecContext(const AM_MEDIA_TYPE& mediaType) {
  AVCodecParameters* p = avcodec_parameters_alloc();
  if (p == nullptr) return nullptr;
  AVCodecContext* context = nullptr;
  const AVCodec* codec = nullptr;
  if (ReadCodecMediaType(mediaType, p, nullptr) && (codec = avcodec_find_decoder(p->codec_id)) != nullptr &&
      (context = avcodec_alloc_context3(codec)) != nullptr) {
    context->pkt_timebase = AVRational{1, static_cast<int>(UNITS)};
    context->thread_count = 1;
    if (avcodec_parameters_to_context(context, p) < 0 || avcodec_open2(context, codec, nullptr) < 0)
      avcodec_free_context(&context);
  }
  avcodec_parameters_free(&p);
  return context;
}

namespace {

constexpr int kIoBufferSize = 32768;
constexpr REFERENCE_TIME kEndless = 0x7FFFFFFFFFFFFFFF;

class AvSplitter;

class SplitterInputPin : public ReaderInputPin {
 public:
  SplitterInputPin(AvSplitter* filter, D_CCritSec* lock);
  ~SplitterInputPin() override { SplitterInputPin::BreakConnect(); }
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override {
    return mediaType->majortype == MEDIATYPE_Stream && mediaType->subtype == MEDIASUBTYPE_NULL ? S_OK : S_FALSE;
  }
  HRESULT CompleteConnect(IPin* pin) override;
  HRESULT BreakConnect() override;

 private:
  AvSplitter* splitter_;
};

class SplitterOutputPin : public D_CBaseOutputPin, public IMediaSeeking {
 public:
  SplitterOutputPin(D_CBaseFilter* filter, AvSplitter* splitter, D_CCritSec* lock, const char16_t* name, int stream,
                    bool seeking, const D_CMediaType& mediaType, LONG bufferSize, LONG bufferCount)
      : D_CBaseOutputPin("SplitterOutputPin", filter, lock, nullptr, name),
        splitter_(splitter),
        stream_(stream),
        seeking_(seeking),
        offered_(mediaType),
        bufferSize_(bufferSize),
        bufferCount_(bufferCount) {}
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IMediaSeeking && seeking_) return D_GetInterface(static_cast<IMediaSeeking*>(this), out);
    return D_CBaseOutputPin::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override {
    return *mediaType == offered_ ? S_OK : S_FALSE;
  }
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *mediaType = offered_;
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    ALLOCATOR_PROPERTIES wanted = {bufferCount_, bufferSize_, request->cbAlign > 0 ? request->cbAlign : 1, 0};
    ALLOCATOR_PROPERTIES actual;
    const HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= bufferSize_ && actual.cBuffers >= 1 ? S_OK : E_FAIL;
  }

  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;

  int Stream() const { return stream_; }
  bool first = true;  // the next sample starts a discontinuity (the reading thread's)

  // The pin's own delivery thread: samples, the end of the stream and new
  // segments go downstream in the order queued.
  void StartQueue() {
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      stopping_ = false;
    }
    failed_ = false;
    queueThread_.Start([](void* self) { static_cast<SplitterOutputPin*>(self)->Deliveries(); }, this);
  }
  // Takes the sample's reference.
  void Queue(IMediaSample* sample) { Push({sample, kSample, 0, 0}); }
  void QueueEndOfStream() { Push({nullptr, kEndOfStream, 0, 0}); }
  void QueueNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop) { Push({nullptr, kNewSegment, start, stop}); }
  // Drops what waits and ends the thread once the delivery under way has
  // returned (a flush or a stop downstream makes it return).
  void StopQueue() {
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      stopping_ = true;
      for (Item& item : items_)
        if (item.sample != nullptr) item.sample->Release();
      items_.clear();
    }
    queueChanged_.notify_all();
    queueThread_.Join();
  }
  // Delivery was refused: nothing more goes to this pin this run.
  bool Failed() const { return failed_.load(); }

 private:
  enum Kind { kSample, kEndOfStream, kNewSegment };
  struct Item {
    IMediaSample* sample;
    Kind kind;
    REFERENCE_TIME start, stop;
  };

  void Push(const Item& item) {
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (stopping_) {
        if (item.sample != nullptr) item.sample->Release();
        return;
      }
      items_.push_back(item);
    }
    queueChanged_.notify_all();
  }

  void Deliveries() {
    for (;;) {
      Item item;
      {
        std::unique_lock<std::mutex> lock(queueMutex_);
        queueChanged_.wait(lock, [&] { return stopping_ || !items_.empty(); });
        if (stopping_) return;
        item = items_.front();
        items_.pop_front();
      }
      switch (item.kind) {
        case kSample:
          if (!failed_.load() && FAILED(Deliver(item.sample))) failed_ = true;
          item.sample->Release();
          break;
        case kEndOfStream:
          if (!failed_.load()) DeliverEndOfStream();
          break;
        case kNewSegment:
          DeliverNewSegment(item.start, item.stop, 1.0);
          break;
      }
    }
  }

  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<Item> items_;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};
  StreamingThread queueThread_;

  AvSplitter* splitter_;
  int stream_;
  bool seeking_;
  D_CMediaType offered_;
  LONG bufferSize_, bufferCount_;
};

class AvSplitter : public D_CBaseFilter {
 public:
  static const CLSID kClassId;
  AvSplitter() : D_CBaseFilter("AvSplitter", nullptr, &lock_, kClassId) { input_ = new SplitterInputPin(this, &lock_); }
  ~AvSplitter() override {
    StopThread();
    delete input_;
    for (SplitterOutputPin* pin : outputs_) delete pin;
    for (SplitterOutputPin* pin : retired_) delete pin;
    Close();
  }

  int GetPinCount() override { return 1 + static_cast<int>(outputs_.size()); }
  D_CBasePin* GetPin(int index) override {
    if (index == 0) return input_;
    if (index > 0 && index <= static_cast<int>(outputs_.size())) return outputs_[static_cast<size_t>(index - 1)];
    return nullptr;
  }

  HRESULT Pause() override {
    D_CAutoLock lock(&lock_);
    const bool starting = state_.load() == State_Stopped;
    const HRESULT hr = D_CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    if (starting && format_ != nullptr) StartThread();
    return S_OK;
  }

  HRESULT Stop() override {
    D_CAutoLock lock(&lock_);
    stopRequested_ = true;
    // Decommitted allocators release a thread that waits for a buffer.
    const HRESULT hr = D_CBaseFilter::Stop();
    StopThread();
    return hr;
  }

  // ---------------------------------------------------------------- connection

  HRESULT Open(IAsyncReader* reader) {
    Close();
    reader_ = reader;
    LONGLONG total = 0, available = 0;
    if (FAILED(reader->Length(&total, &available)) || total <= 0) return VFW_E_UNKNOWN_FILE_TYPE;
    total_ = total;
    position_ = 0;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr) return E_OUTOFMEMORY;
    io_ = avio_alloc_context(buffer, kIoBufferSize, 0, this, ReadPacket, nullptr, SeekPacket);
    if (io_ == nullptr) {
      av_free(buffer);
      return E_OUTOFMEMORY;
    }
    format_ = avformat_alloc_context();
    if (format_ == nullptr) {
      Close();
      return E_OUTOFMEMORY;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) {
      format_ = nullptr;  // freed by libavformat
      Close();
      return VFW_E_UNKNOWN_FILE_TYPE;
    }
    if (avformat_find_stream_info(format_, nullptr) < 0) {
      Close();
      return VFW_E_INVALID_FILE_FORMAT;
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i) AddOutput(static_cast<int>(i));
    if (outputs_.empty()) {
      Close();
      return VFW_E_UNSUPPORTED_STREAM;
    }
    origin_ = format_->start_time != AV_NOPTS_VALUE ? av_rescale(format_->start_time, UNITS, AV_TIME_BASE) : 0;
    duration_ = format_->duration != AV_NOPTS_VALUE && format_->duration > 0
                    ? av_rescale(format_->duration, UNITS, AV_TIME_BASE)
                    : 0;
    start_ = 0;
    // Without a known length the stream plays to its end.
    stop_ = duration_ > 0 ? duration_ : kEndless;
    readSinceStart_ = false;
    return S_OK;
  }

  void Close() {
    // Output pins that are still connected stay alive until the filter goes.
    for (SplitterOutputPin* pin : outputs_) retired_.push_back(pin);
    outputs_.clear();
    if (format_ != nullptr) avformat_close_input(&format_);
    if (io_ != nullptr) {
      av_freep(&io_->buffer);
      avio_context_free(&io_);
    }
    reader_ = nullptr;
  }

  // ---------------------------------------------------------------- seeking

  HRESULT GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    *duration = duration_;
    return S_OK;
  }
  HRESULT GetStopPosition(LONGLONG* stop) {
    if (stop == nullptr) return E_POINTER;
    *stop = stop_;
    return S_OK;
  }
  HRESULT GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    *current = start_;
    return S_OK;
  }
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    D_CAutoLock lock(&lock_);
    REFERENCE_TIME newStart = start_, newStop = stop_;
    if (!NewPosition(current, currentFlags, &newStart) || !NewPosition(stop, stopFlags, &newStop)) return E_POINTER;
    if (newStart < 0) newStart = 0;
    const bool moves = (currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
    if (!moves) {
      stop_ = newStop;
      return S_OK;
    }
    const bool streaming = thread_.Running();
    if (streaming) {
      stopRequested_ = true;
      for (SplitterOutputPin* pin : outputs_)
        if (pin->IsConnected()) pin->DeliverBeginFlush();
      StopThread();
      for (SplitterOutputPin* pin : outputs_)
        if (pin->IsConnected()) pin->DeliverEndFlush();
    }
    start_ = newStart;
    stop_ = newStop;
    readSinceStart_ = true;  // seek before reading again
    if (streaming && !IsStopped()) StartThread();
    return S_OK;
  }

 private:
  bool NewPosition(LONGLONG* value, DWORD flags, REFERENCE_TIME* position) {
    switch (flags & AM_SEEKING_PositioningBitsMask) {
      case AM_SEEKING_NoPositioning:
        return true;
      case AM_SEEKING_AbsolutePositioning:
        if (value == nullptr) return false;
        *position = *value;
        return true;
      default:
        if (value == nullptr) return false;
        *position += *value;
        return true;
    }
  }

  void AddOutput(int index) {
    AVStream* stream = format_->streams[index];
    const AVCodecParameters* p = stream->codecpar;
    if (avcodec_find_decoder(p->codec_id) == nullptr) return;
    LONG size, count;
    if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (p->width <= 0 || p->height <= 0 || p->width > 16384 || p->height > 16384) return;
      const int64_t frame = static_cast<int64_t>(p->width) * p->height * 4 + 65536;
      size = static_cast<LONG>(frame > (2 << 20) ? frame : (2 << 20));
      count = 3;
    } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
      if (p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0) return;
      size = 1 << 20;
      count = 8;
    } else {
      return;
    }
    D_CMediaType type;
    if (!MakeCodecMediaType(p, av_guess_frame_rate(format_, stream, nullptr), &type)) return;
    char16_t name[32];
    const char* kind = p->codec_type == AVMEDIA_TYPE_VIDEO ? "Video " : "Audio ";
    char text[32];
    snprintf(text, sizeof text, "%s%d", kind, index);
    size_t n = 0;
    for (; text[n] != 0 && n < 31; ++n) name[n] = static_cast<char16_t>(text[n]);
    name[n] = 0;
    outputs_.push_back(new SplitterOutputPin(this, this, &lock_, name, index, outputs_.empty(), type, size, count));
  }

  static int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<AvSplitter*>(opaque);
    if (self->position_ >= self->total_) return AVERROR_EOF;
    const LONGLONG left = self->total_ - self->position_;
    const LONG n = static_cast<LONG>(left < size ? left : size);
    if (self->reader_->SyncRead(self->position_, n, buffer) != S_OK) return AVERROR(EIO);
    self->position_ += n;
    return n;
  }

  static int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<AvSplitter*>(opaque);
    int64_t to;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE:
        return self->total_;
      case SEEK_SET:
        to = offset;
        break;
      case SEEK_CUR:
        to = self->position_ + offset;
        break;
      case SEEK_END:
        to = self->total_ + offset;
        break;
      default:
        return -1;
    }
    if (to < 0) return -1;
    self->position_ = to;
    return to;
  }

  void StartThread() {
    stopRequested_ = false;
    for (SplitterOutputPin* pin : outputs_)
      if (pin->IsConnected()) pin->StartQueue();
    thread_.Start([](void* self) { static_cast<AvSplitter*>(self)->Stream(); }, this);
  }

  // The queues go first: their buffers come back to a reading thread that
  // waits for one.
  void StopThread() {
    stopRequested_ = true;
    for (SplitterOutputPin* pin : outputs_) pin->StopQueue();
    thread_.Join();
  }

  SplitterOutputPin* PinOfStream(int stream) {
    for (SplitterOutputPin* pin : outputs_)
      if (pin->Stream() == stream) return pin;
    return nullptr;
  }

  // The streaming thread.
  void Stream() {
    const REFERENCE_TIME segmentStart = start_, segmentStop = stop_;
    for (SplitterOutputPin* pin : outputs_) {
      pin->first = true;
      if (pin->IsConnected()) pin->QueueNewSegment(segmentStart, segmentStop);
    }
    if (readSinceStart_) {
      const int64_t target = av_rescale(segmentStart + origin_, AV_TIME_BASE, UNITS);
      if (av_seek_frame(format_, -1, target, AVSEEK_FLAG_BACKWARD) < 0 && segmentStart == 0)
        av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
    }
    readSinceStart_ = true;
    AVPacket* packet = av_packet_alloc();
    while (packet != nullptr && !stopRequested_.load()) {
      if (av_read_frame(format_, packet) < 0) break;  // the end, or data it cannot read past
      SplitterOutputPin* pin = PinOfStream(packet->stream_index);
      const bool deliver = pin != nullptr && pin->IsConnected() && !pin->Failed();
      const bool buffered = !deliver || QueuePacket(pin, packet, segmentStart);
      av_packet_unref(packet);
      bool anyLeft = false;
      for (SplitterOutputPin* p : outputs_)
        if (p->IsConnected() && !p->Failed()) anyLeft = true;
      if (!anyLeft || !buffered) break;
    }
    av_packet_free(&packet);
    if (stopRequested_.load()) return;
    for (SplitterOutputPin* pin : outputs_)
      if (pin->IsConnected()) pin->QueueEndOfStream();
  }

  // The packet in one of the pin's buffers, queued; false when no buffer
  // can be had any more (the filter stops).
  bool QueuePacket(SplitterOutputPin* pin, const AVPacket* packet, REFERENCE_TIME segmentStart) {
    IMediaSample* sample = nullptr;
    if (FAILED(pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return false;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (packet->size <= 0 || packet->size > sample->GetSize()) {
      sample->Release();
      return true;
    }
    memcpy(buffer, packet->data, static_cast<size_t>(packet->size));
    sample->SetActualDataLength(packet->size);
    const AVRational base = format_->streams[packet->stream_index]->time_base;
    const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (stamp != AV_NOPTS_VALUE) {
      REFERENCE_TIME start = av_rescale_q(stamp, base, AVRational{1, static_cast<int>(UNITS)}) - origin_ - segmentStart;
      REFERENCE_TIME length =
          packet->duration > 0 ? av_rescale_q(packet->duration, base, AVRational{1, static_cast<int>(UNITS)}) : 1;
      REFERENCE_TIME stop = start + (length > 0 ? length : 1);
      sample->SetTime(&start, &stop);
    }
    sample->SetSyncPoint((packet->flags & AV_PKT_FLAG_KEY) != 0);
    sample->SetDiscontinuity(pin->first);
    pin->first = false;
    pin->Queue(sample);
    return true;
  }

  D_CCritSec lock_;
  SplitterInputPin* input_;
  std::vector<SplitterOutputPin*> outputs_;
  std::vector<SplitterOutputPin*> retired_;
  IAsyncReader* reader_ = nullptr;  // the input pin's
  AVFormatContext* format_ = nullptr;
  AVIOContext* io_ = nullptr;
  LONGLONG total_ = 0;
  LONGLONG position_ = 0;  // of the reads of libavformat
  REFERENCE_TIME origin_ = 0, duration_ = 0;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  bool readSinceStart_ = false;
  StreamingThread thread_;
  std::atomic<bool> stopRequested_{false};
};

const CLSID AvSplitter::kClassId = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'S', 'P', 'L', 'I', 'T', 1}};

SplitterInputPin::SplitterInputPin(AvSplitter* filter, D_CCritSec* lock)
    : ReaderInputPin("SplitterInputPin", filter, lock), splitter_(filter) {}

HRESULT SplitterInputPin::CompleteConnect(IPin*) { return splitter_->Open(Reader()); }

HRESULT SplitterInputPin::BreakConnect() {
  splitter_->Close();
  return ReaderInputPin::BreakConnect();
}

HRESULT SplitterOutputPin::GetDuration(LONGLONG* duration) { return splitter_->GetDuration(duration); }
HRESULT SplitterOutputPin::GetStopPosition(LONGLONG* stop) { return splitter_->GetStopPosition(stop); }
HRESULT SplitterOutputPin::GetCurrentPosition(LONGLONG* current) { return splitter_->GetCurrentPosition(current); }
HRESULT SplitterOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  return splitter_->SetPositions(current, currentFlags, stop, stopFlags);
}

}  // namespace

HRESULT CreateAvSplitter(IBaseFilter** filter) {
  auto* made = new AvSplitter();
  *filter = made;
  made->AddRef();
  return S_OK;
}
