// Decoders over libavcodec for the demultiplexer's streams: video becomes
// RGB24 (rows bottom-up, padded to 4 bytes, bytes B, G, R) through
// libswscale, audio 16-bit interleaved PCM at the stream's rate (more than
// two channels mixed down to two) through libswresample. Frames whose time
// lies wholly before the segment start (the run-up after a seek) are
// decoded but not delivered.
extern "C" {
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>

#include "platform/dshow/av_codec.h"

namespace {

// The scaler flags of the RGB conversion (no scaling happens unless a
// stream changes its size midway).
constexpr int kScaleFlags = SWS_BILINEAR;

// Common to both decoders: the codec context and the packets in.
class AvDecoder : public D_CTransformFilter {
 public:
  AvDecoder(const char* name, const CLSID& classId, const GUID& major)
      : D_CTransformFilter(name, nullptr, classId), major_(major) {}
  ~AvDecoder() override { avcodec_free_context(&codec_); }

  HRESULT CheckInputType(const D_CMediaType* mediaType) override {
    AVCodecParameters* p = avcodec_parameters_alloc();
    bool ok = p != nullptr && mediaType->majortype == major_ && ReadCodecMediaType(*mediaType, p, nullptr) &&
              avcodec_find_decoder(p->codec_id) != nullptr;
    avcodec_parameters_free(&p);
    return ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

  HRESULT SetMediaType(PIN_DIRECTION direction, const D_CMediaType* mediaType) override {
    if (direction == PINDIR_INPUT) ReadCodecMediaType(*mediaType, nullptr, &format_);
    return S_OK;
  }

  HRESULT StartStreaming() override {
    avcodec_free_context(&codec_);
    codec_ = OpenCodecContext(InputPin()->CurrentMediaType());
    if (codec_ == nullptr) return VFW_E_UNSUPPORTED_STREAM;
    frame_ = av_frame_alloc();
    return frame_ != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT StopStreaming() override {
    avcodec_free_context(&codec_);
    av_frame_free(&frame_);
    return S_OK;
  }

  HRESULT Receive(IMediaSample* sample) override {
    if (codec_ == nullptr) return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) return E_OUTOFMEMORY;
    // The decoder copies the bytes it keeps (the packet does not own them).
    packet->data = data;
    packet->size = sample->GetActualDataLength();
    REFERENCE_TIME start, stop;
    if (sample->GetTime(&start, &stop) >= 0) {
      packet->pts = start;
      packet->duration = stop - start;
    }
    if (sample->IsSyncPoint() == S_OK) packet->flags |= AV_PKT_FLAG_KEY;
    // A packet the decoder refuses (damaged data) is passed over.
    const int sent = avcodec_send_packet(codec_, packet);
    av_packet_free(&packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return S_OK;
    return DeliverFrames();
  }

  HRESULT EndOfStream() override {
    if (codec_ != nullptr && avcodec_send_packet(codec_, nullptr) >= 0) DeliverFrames();
    return D_CTransformFilter::EndOfStream();
  }

  HRESULT EndFlush() override {
    if (codec_ != nullptr) avcodec_flush_buffers(codec_);
    last_ = AV_NOPTS_VALUE;
    return D_CTransformFilter::EndFlush();
  }

 protected:
  virtual HRESULT DeliverFrame(AVFrame* frame) = 0;

  // The frame's time, or the one after the last frame's.
  REFERENCE_TIME FrameStart(const AVFrame* frame, REFERENCE_TIME length) {
    REFERENCE_TIME start = frame->best_effort_timestamp;
    if (start == AV_NOPTS_VALUE) start = last_ != AV_NOPTS_VALUE ? last_ + length : 0;
    last_ = start;
    return start;
  }

  CodecFormat format_{};
  AVCodecContext* codec_ = nullptr;

 private:
  HRESULT DeliverFrames() {
    for (;;) {
      const int got = avcodec_receive_frame(codec_, frame_);
      if (got < 0) return S_OK;
      const HRESULT hr = DeliverFrame(frame_);
      av_frame_unref(frame_);
      if (FAILED(hr)) return hr;
    }
  }

  GUID major_;
  AVFrame* frame_ = nullptr;
  REFERENCE_TIME last_ = AV_NOPTS_VALUE;
};

// ---------------------------------------------------------------- video

class AvVideoDecoder : public AvDecoder {
 public:
  static const CLSID kClassId;
  AvVideoDecoder() : AvDecoder("AvVideoDecoder", kClassId, MEDIATYPE_Video) {}
  ~AvVideoDecoder() override { sws_freeContext(scaler_); }

  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    VIDEOINFOHEADER info{};
    info.rcSource = {0, 0, format_.width, format_.height};
    info.rcTarget = info.rcSource;
    if (format_.frameRateNumerator > 0 && format_.frameRateDenominator > 0)
      info.AvgTimePerFrame = UNITS * format_.frameRateDenominator / format_.frameRateNumerator;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = format_.width;
    info.bmiHeader.biHeight = format_.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(Stride() * format_.height);
    mediaType->Clear();
    mediaType->SetType(MEDIATYPE_Video);
    mediaType->SetSubtype(MEDIASUBTYPE_RGB24);
    mediaType->SetFormatType(FORMAT_VideoInfo);
    mediaType->lSampleSize = info.bmiHeader.biSizeImage;
    return mediaType->SetFormat(&info, sizeof info) ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT CheckTransform(const D_CMediaType*, const D_CMediaType* out) override {
    if (out->majortype != MEDIATYPE_Video || out->subtype != MEDIASUBTYPE_RGB24 ||
        out->formattype != FORMAT_VideoInfo || out->cbFormat < sizeof(VIDEOINFOHEADER)) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    VIDEOINFOHEADER info;
    memcpy(&info, out->pbFormat, sizeof info);
    const LONG height = info.bmiHeader.biHeight < 0 ? -info.bmiHeader.biHeight : info.bmiHeader.biHeight;
    if (info.bmiHeader.biWidth != format_.width || height != format_.height || info.bmiHeader.biBitCount != 24)
      return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }

  HRESULT SetMediaType(PIN_DIRECTION direction, const D_CMediaType* mediaType) override {
    AvDecoder::SetMediaType(direction, mediaType);
    if (direction == PINDIR_OUTPUT) {
      VIDEOINFOHEADER info;
      memcpy(&info, mediaType->pbFormat, sizeof info);
      topDown_ = info.bmiHeader.biHeight < 0;
      frameLength_ = info.AvgTimePerFrame > 0 ? info.AvgTimePerFrame : UNITS / 25;
    }
    return S_OK;
  }

  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    ALLOCATOR_PROPERTIES wanted = {1, static_cast<LONG>(Stride() * format_.height), 1, 0};
    if (request->cBuffers > wanted.cBuffers) wanted.cBuffers = request->cBuffers;
    ALLOCATOR_PROPERTIES actual;
    const HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
  }

 protected:
  HRESULT DeliverFrame(AVFrame* frame) override {
    const REFERENCE_TIME start = FrameStart(frame, frameLength_);
    const REFERENCE_TIME stop = start + frameLength_;
    if (stop <= 0) return S_OK;  // before the segment: the run-up of a seek
    scaler_ = sws_getCachedContext(scaler_, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                   format_.width, format_.height, AV_PIX_FMT_BGR24, kScaleFlags, nullptr, nullptr,
                                   nullptr);
    if (scaler_ == nullptr) return S_OK;
    IMediaSample* out = nullptr;
    HRESULT hr = OutputPin()->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* pixels = nullptr;
    out->GetPointer(&pixels);
    const int stride = Stride();
    uint8_t* rows[4] = {pixels, nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    if (!topDown_) {
      // Bottom-up: the first row written is the last row of the buffer.
      rows[0] = pixels + static_cast<ptrdiff_t>(stride) * (format_.height - 1);
      strides[0] = -stride;
    }
    sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, rows, strides);
    out->SetActualDataLength(stride * format_.height);
    REFERENCE_TIME s = start, e = stop;
    out->SetTime(&s, &e);
    out->SetSyncPoint(TRUE);
    hr = OutputPin()->Deliver(out);
    out->Release();
    return hr;
  }

 private:
  int Stride() const { return (format_.width * 3 + 3) & ~3; }

  SwsContext* scaler_ = nullptr;
  bool topDown_ = false;
  REFERENCE_TIME frameLength_ = UNITS / 25;
};

const CLSID AvVideoDecoder::kClassId = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'V', 'D', 'E', 'C', 0, 1}};

// ---------------------------------------------------------------- audio

class AvAudioDecoder : public AvDecoder {
 public:
  static const CLSID kClassId;
  AvAudioDecoder() : AvDecoder("AvAudioDecoder", kClassId, MEDIATYPE_Audio) {}
  ~AvAudioDecoder() override {
    swr_free(&resampler_);
    av_channel_layout_uninit(&inLayout_);
  }

  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return MakePcmMediaType(OutputFormat(), mediaType);
  }

  HRESULT CheckTransform(const D_CMediaType*, const D_CMediaType* out) override {
    return CheckPcmMediaType(out, OutputFormat());
  }

  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
    return SetPcmBuffers(allocator, OutputFormat(), 8, 4, 16384);
  }

  HRESULT StopStreaming() override {
    swr_free(&resampler_);
    return AvDecoder::StopStreaming();
  }

 protected:
  HRESULT DeliverFrame(AVFrame* frame) override {
    const WAVEFORMATEX wave = OutputFormat();
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0) return S_OK;
    const REFERENCE_TIME length = static_cast<REFERENCE_TIME>(frame->nb_samples) * UNITS / frame->sample_rate;
    REFERENCE_TIME start = FrameStart(frame, length);
    if (start + length <= 0) return S_OK;  // the run-up of a seek
    if (!PrepareResampler(frame)) return S_OK;
    const int capacity = swr_get_out_samples(resampler_, frame->nb_samples);
    if (capacity <= 0) return S_OK;
    std::vector<uint8_t> pcm(static_cast<size_t>(capacity) * wave.nBlockAlign);
    uint8_t* outs[1] = {pcm.data()};
    const int made = swr_convert(resampler_, outs, capacity, const_cast<const uint8_t**>(frame->extended_data),
                                 frame->nb_samples);
    if (made <= 0) return S_OK;
    // Out in pieces the buffers hold, each with its own times.
    size_t offset = 0;
    const size_t total = static_cast<size_t>(made) * wave.nBlockAlign;
    while (offset < total) {
      IMediaSample* out = nullptr;
      HRESULT hr = OutputPin()->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
      if (FAILED(hr)) return hr;
      BYTE* bytes = nullptr;
      out->GetPointer(&bytes);
      size_t piece = total - offset;
      const size_t room = static_cast<size_t>(out->GetSize()) / wave.nBlockAlign * wave.nBlockAlign;
      if (piece > room) piece = room;
      memcpy(bytes, pcm.data() + offset, piece);
      out->SetActualDataLength(static_cast<LONG>(piece));
      REFERENCE_TIME s = start + static_cast<REFERENCE_TIME>(offset / wave.nBlockAlign) * UNITS / wave.nSamplesPerSec;
      REFERENCE_TIME e = s + static_cast<REFERENCE_TIME>(piece / wave.nBlockAlign) * UNITS / wave.nSamplesPerSec;
      out->SetTime(&s, &e);
      out->SetSyncPoint(TRUE);
      hr = OutputPin()->Deliver(out);
      out->Release();
      if (hr != S_OK) return hr;
      offset += piece;
    }
    return S_OK;
  }

 private:
  // Two channels at the most (the sound device plays no more).
  WAVEFORMATEX OutputFormat() const {
    return PcmFormat(static_cast<DWORD>(format_.sampleRate), static_cast<WORD>(format_.channels >= 2 ? 2 : 1));
  }

  bool PrepareResampler(const AVFrame* frame) {
    if (resampler_ != nullptr && frame->format == inFormat_ && frame->sample_rate == inRate_ &&
        av_channel_layout_compare(&frame->ch_layout, &inLayout_) == 0) {
      return true;
    }
    swr_free(&resampler_);
    av_channel_layout_uninit(&inLayout_);
    if (av_channel_layout_copy(&inLayout_, &frame->ch_layout) < 0) return false;
    inFormat_ = frame->format;
    inRate_ = frame->sample_rate;
    AVChannelLayout out;
    av_channel_layout_default(&out, OutputFormat().nChannels);
    const int made = swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_S16, static_cast<int>(format_.sampleRate),
                                         &inLayout_, static_cast<AVSampleFormat>(frame->format),
                                         frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&out);
    if (made < 0 || swr_init(resampler_) < 0) {
      swr_free(&resampler_);
      return false;
    }
    return true;
  }

  SwrContext* resampler_ = nullptr;
  AVChannelLayout inLayout_{};
  int inFormat_ = -1, inRate_ = 0;
};

const CLSID AvAudioDecoder::kClassId = {0x5A524443, 0x4F44, 0x4543, {'Z', 'R', 'A', 'D', 'E', 'C', 0, 1}};

}  // namespace

HRESULT CreateAvVideoDecoder(IBaseFilter** filter) {
  auto* made = new AvVideoDecoder();
  *filter = made;
  made->AddRef();
  return S_OK;
}

HRESULT CreateAvAudioDecoder(IBaseFilter** filter) {
  auto* made = new AvAudioDecoder();
  *filter = made;
  made->AddRef();
  return S_OK;
}
