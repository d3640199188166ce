// Small movie clips for the DirectShow tests, made in memory with
// libavcodec's encoders and libavformat's muxers, and libavcodec's own
// decode of a clip's pictures (converted to RGB24 as the stand-in's video
// decoder converts them) to hold the graph's frames against.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace avclip {

using Bytes = std::vector<uint8_t>;

struct ClipOptions {
  int width = 48;
  int height = 32;
  int frames = 10;
  int fps = 25;
  AVCodecID video = AV_CODEC_ID_MPEG4;  // AV_CODEC_ID_NONE: no video stream
  AVCodecID audio = AV_CODEC_ID_NONE;   // AV_CODEC_ID_MP2 and friends
  int sampleRate = 44100;
  int channels = 2;
  const char* container = "avi";
  int gop = 5;
};

// One picture: rows of width x 3 bytes (B, G, R), top row first, and its
// presentation time in 100-nanosecond units.
struct Picture {
  int width = 0, height = 0;
  int64_t time = 0;
  Bytes pixels;
};

namespace detail {

struct MemoryFile {
  Bytes bytes;
  int64_t position = 0;
};

inline int Write(void* opaque, uint8_t* data, int size) {
  auto* f = static_cast<MemoryFile*>(opaque);
  if (f->position + size > static_cast<int64_t>(f->bytes.size())) f->bytes.resize(static_cast<size_t>(f->position + size));
  memcpy(f->bytes.data() + f->position, data, static_cast<size_t>(size));
  f->position += size;
  return size;
}

inline int Read(void* opaque, uint8_t* data, int size) {
  auto* f = static_cast<MemoryFile*>(opaque);
  const int64_t left = static_cast<int64_t>(f->bytes.size()) - f->position;
  if (left <= 0) return AVERROR_EOF;
  const int n = static_cast<int>(left < size ? left : size);
  memcpy(data, f->bytes.data() + f->position, static_cast<size_t>(n));
  f->position += n;
  return n;
}

inline int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(opaque);
  const int64_t size = static_cast<int64_t>(f->bytes.size());
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return size;
    case SEEK_SET:
      f->position = offset;
      return f->position;
    case SEEK_CUR:
      f->position += offset;
      return f->position;
    case SEEK_END:
      f->position = size + offset;
      return f->position;
  }
  return -1;
}

// The picture the clip maker gives the encoder for frame f: stripes that
// move and a square that crosses the frame.
inline void FillPicture(AVFrame* frame, int f) {
  for (int y = 0; y < frame->height; ++y) {
    for (int x = 0; x < frame->width; ++x) {
      const bool square = x / 8 == f % (frame->width / 8) && y >= 8 && y < 16;
      frame->data[0][y * frame->linesize[0] + x] =
          static_cast<uint8_t>(square ? 235 : 40 + (x * 4 + y * 2 + f * 12) % 160);
    }
  }
  for (int y = 0; y < frame->height / 2; ++y) {
    for (int x = 0; x < frame->width / 2; ++x) {
      frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(96 + (x * 6 + f * 5) % 64);
      frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(160 - (y * 8 + f * 3) % 64);
    }
  }
}

inline void FillSound(AVFrame* frame, int64_t first) {
  for (int i = 0; i < frame->nb_samples; ++i) {
    const double t = static_cast<double>(first + i) / frame->sample_rate;
    for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
      const double v = 0.4 * std::sin(2 * M_PI * (440.0 + 220.0 * c) * t);
      switch (frame->format) {
        case AV_SAMPLE_FMT_S16:
          reinterpret_cast<int16_t*>(frame->data[0])[i * frame->ch_layout.nb_channels + c] =
              static_cast<int16_t>(v * 32767);
          break;
        case AV_SAMPLE_FMT_S16P:
          reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(v * 32767);
          break;
        case AV_SAMPLE_FMT_FLTP:
          reinterpret_cast<float*>(frame->data[c])[i] = static_cast<float>(v);
          break;
        default:
          break;
      }
    }
  }
}

struct Encoder {
  AVCodecContext* context = nullptr;
  AVStream* stream = nullptr;
};

inline void Drain(AVFormatContext* out, Encoder& e, AVFrame* frame) {
  if (avcodec_send_frame(e.context, frame) < 0) return;
  AVPacket* packet = av_packet_alloc();
  while (avcodec_receive_packet(e.context, packet) == 0) {
    av_packet_rescale_ts(packet, e.context->time_base, e.stream->time_base);
    packet->stream_index = e.stream->index;
    av_interleaved_write_frame(out, packet);
  }
  av_packet_free(&packet);
}

}  // namespace detail

// The clip, or empty when the encoder or muxer is missing.
inline Bytes MakeClip(const ClipOptions& o) {
  using namespace detail;
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, o.container, nullptr) < 0) return {};
  out->flags |= AVFMT_FLAG_BITEXACT;
  MemoryFile file;
  auto* ioBuffer = static_cast<uint8_t*>(av_malloc(65536));
  out->pb = avio_alloc_context(ioBuffer, 65536, 1, &file, nullptr, Write, Seek);
  Encoder video, audio;
  bool ok = true;
  if (o.video != AV_CODEC_ID_NONE) {
    const AVCodec* codec = avcodec_find_encoder(o.video);
    ok = codec != nullptr;
    if (ok) {
      video.context = avcodec_alloc_context3(codec);
      AVCodecContext* c = video.context;
      c->width = o.width;
      c->height = o.height;
      c->time_base = AVRational{1, o.fps};
      c->framerate = AVRational{o.fps, 1};
      c->pix_fmt = AV_PIX_FMT_YUV420P;
      c->gop_size = o.gop;
      c->max_b_frames = 0;
      c->bit_rate = 400000;
      c->thread_count = 1;
      c->flags |= AV_CODEC_FLAG_BITEXACT;
      if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      ok = avcodec_open2(c, codec, nullptr) == 0;
      video.stream = avformat_new_stream(out, nullptr);
      avcodec_parameters_from_context(video.stream->codecpar, c);
      video.stream->time_base = c->time_base;
    }
  }
  if (ok && o.audio != AV_CODEC_ID_NONE) {
    const AVCodec* codec = avcodec_find_encoder(o.audio);
    ok = codec != nullptr;
    if (ok) {
      audio.context = avcodec_alloc_context3(codec);
      AVCodecContext* c = audio.context;
      c->sample_rate = o.sampleRate;
      av_channel_layout_default(&c->ch_layout, o.channels);
      c->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
      c->bit_rate = 64000 * o.channels;
      c->time_base = AVRational{1, o.sampleRate};
      c->thread_count = 1;
      c->flags |= AV_CODEC_FLAG_BITEXACT;
      if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      ok = avcodec_open2(c, codec, nullptr) == 0;
      audio.stream = avformat_new_stream(out, nullptr);
      avcodec_parameters_from_context(audio.stream->codecpar, c);
      audio.stream->time_base = c->time_base;
    }
  }
  if (ok) ok = avformat_write_header(out, nullptr) >= 0;
  if (ok) {
    AVFrame* picture = av_frame_alloc();
    AVFrame* sound = av_frame_alloc();
    if (video.context != nullptr) {
      picture->format = AV_PIX_FMT_YUV420P;
      picture->width = o.width;
      picture->height = o.height;
      av_frame_get_buffer(picture, 0);
    }
    int64_t soundDone = 0;
    const int64_t soundTotal = static_cast<int64_t>(o.frames) * o.sampleRate / o.fps;
    if (audio.context != nullptr) {
      sound->format = audio.context->sample_fmt;
      sound->sample_rate = o.sampleRate;
      av_channel_layout_copy(&sound->ch_layout, &audio.context->ch_layout);
      sound->nb_samples = audio.context->frame_size > 0 ? audio.context->frame_size : 1152;
      av_frame_get_buffer(sound, 0);
    }
    for (int f = 0; f < o.frames; ++f) {
      if (video.context != nullptr) {
        av_frame_make_writable(picture);
        FillPicture(picture, f);
        picture->pts = f;
        Drain(out, video, picture);
      }
      // The sound up to the end of this frame's time.
      while (audio.context != nullptr && soundDone * o.fps < static_cast<int64_t>(f + 1) * o.sampleRate &&
             soundDone < soundTotal) {
        av_frame_make_writable(sound);
        FillSound(sound, soundDone);
        sound->pts = soundDone;
        Drain(out, audio, sound);
        soundDone += sound->nb_samples;
      }
    }
    if (video.context != nullptr) Drain(out, video, nullptr);
    if (audio.context != nullptr) Drain(out, audio, nullptr);
    av_write_trailer(out);
    av_frame_free(&picture);
    av_frame_free(&sound);
  }
  avcodec_free_context(&video.context);
  avcodec_free_context(&audio.context);
  avio_flush(out->pb);
  av_freep(&out->pb->buffer);
  avio_context_free(&out->pb);
  avformat_free_context(out);
  return ok ? file.bytes : Bytes();
}

// libavcodec's decode of the clip's video stream, every picture in the
// order shown, converted to RGB24 with the scaler flags of the stand-in's
// video decoder.
inline std::vector<Picture> DecodePictures(const Bytes& clip) {
  using namespace detail;
  std::vector<Picture> pictures;
  MemoryFile file{clip, 0};
  AVFormatContext* in = avformat_alloc_context();
  auto* ioBuffer = static_cast<uint8_t*>(av_malloc(32768));
  AVIOContext* io = avio_alloc_context(ioBuffer, 32768, 0, &file, Read, nullptr, Seek);
  in->pb = io;
  in->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_open_input(&in, nullptr, nullptr, nullptr) == 0 && avformat_find_stream_info(in, nullptr) >= 0) {
    const int index = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
      AVStream* stream = in->streams[index];
      const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
      AVCodecContext* c = avcodec_alloc_context3(codec);
      avcodec_parameters_to_context(c, stream->codecpar);
      c->thread_count = 1;
      c->pkt_timebase = stream->time_base;
      avcodec_open2(c, codec, nullptr);
      const int64_t origin = in->start_time != AV_NOPTS_VALUE ? av_rescale(in->start_time, 10000000, AV_TIME_BASE) : 0;
      AVPacket* packet = av_packet_alloc();
      AVFrame* frame = av_frame_alloc();
      SwsContext* scaler = nullptr;
      auto take = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
          Picture p;
          p.width = c->width;
          p.height = c->height;
          p.time = av_rescale_q(frame->best_effort_timestamp, stream->time_base, AVRational{1, 10000000}) - origin;
          p.pixels.resize(static_cast<size_t>(p.width) * p.height * 3);
          scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                        p.width, p.height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
          uint8_t* rows[4] = {p.pixels.data(), nullptr, nullptr, nullptr};
          int strides[4] = {p.width * 3, 0, 0, 0};
          sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, rows, strides);
          pictures.push_back(std::move(p));
        }
      };
      while (av_read_frame(in, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(c, packet) >= 0) take();
        av_packet_unref(packet);
      }
      avcodec_send_packet(c, nullptr);
      take();
      sws_freeContext(scaler);
      av_frame_free(&frame);
      av_packet_free(&packet);
      avcodec_free_context(&c);
    }
  }
  avformat_close_input(&in);
  av_freep(&io->buffer);
  avio_context_free(&io);
  return pictures;
}

// The rows of a top-down RGB24 buffer of the given pitch as a picture.
inline Picture PictureOfRows(const uint8_t* rows, int width, int height, int pitch) {
  Picture p{width, height, 0, Bytes(static_cast<size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    memcpy(&p.pixels[static_cast<size_t>(y) * width * 3], rows + static_cast<size_t>(y) * pitch,
           static_cast<size_t>(width) * 3);
  return p;
}

}  // namespace avclip
