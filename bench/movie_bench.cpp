// Theora movies: a 640 x 480 clip played through the player (the decode
// thread filling its ring, each frame converted to 32-bit RGB on the
// caller's side) beside its peer doing the same work: libtheora decoding
// every frame of the same Ogg bytes (read through libogg as ours are) and
// libswscale converting every frame to the same RGB format, in frames per
// second. A smooth clip and one with fine panning detail.
//
// The peer runs in each of its set-ups and its column shows the fastest:
// one thread; a decoding thread that hands copies of its frames to the
// converting one (the decoder's own buffers are overwritten by the next
// frame), copied after each frame is decoded or band by band as libtheora
// finishes them; one decoding thread with libswscale's slice threads. Run
// the program on one core and on two (taskset): ours always has its decode
// thread, and the peer's threaded set-ups have as many threads.
//
// Before timing, every frame of each clip is played through both: ours must
// equal libtheora's frames converted with our tables (a hash of all frames),
// and libswscale's rounding differs from the tables', so the lines after the
// table count the pixels that differ and the largest difference.
#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <sched.h>
#include <theora/theoradec.h>
extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "library/file/file_table.h"
#include "library/file/memory_stream.h"
#include "library/movie/theora_player.h"
#include "library/movie/yuv_tables.h"
#include "tools/theoraclip/theora_clip.h"

namespace {

constexpr int kFrames = 120;
// Loops of the clip in each timing: one, a fifth of a second, so that a stall
// of the machine (tens of milliseconds, about once a second on a shared host)
// falls in few of the repetitions and their median leaves it out.
constexpr int kLoopsTimed = 1;

struct Clip {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<Clip>& Clips() {
  static std::vector<Clip> clips;
  return clips;
}

Clip MakeClip(const std::string& name, int32_t texture) {
  TheoraClipOptions o;
  o.width = 640;
  o.height = 480;
  o.frames = kFrames;
  o.keyFrameInterval = 30;
  o.quality = 40;
  o.texture = texture;
  return Clip{name, MakeTheoraClip(o)};
}

// ---------------------------------------------------------------- the peer

// libtheora's decoder over the Theora stream of the clip's bytes, read
// through libogg; past the last frame it starts over from the first (a key
// frame), as the player does when its movie loops.
class PeerDecoder {
 public:
  explicit PeerDecoder(const Clip& clip) : clip_(clip) {
    ogg_sync_init(&sync_);
    th_info_init(&info_);
    th_comment_init(&comment_);
    Rewind();
    ogg_packet packet;
    int headers = 0;
    while (headers < 3 && NextPacket(&packet)) {
      if (th_decode_headerin(&info_, &comment_, &setup_, &packet) > 0) ++headers;
    }
    decoder_ = th_decode_alloc(&info_, setup_);
  }
  ~PeerDecoder() {
    if (decoder_ != nullptr) th_decode_free(decoder_);
    th_setup_free(setup_);
    th_comment_clear(&comment_);
    th_info_clear(&info_);
    if (streamReady_) ogg_stream_clear(&stream_);
    ogg_sync_clear(&sync_);
  }
  PeerDecoder(const PeerDecoder&) = delete;
  PeerDecoder& operator=(const PeerDecoder&) = delete;

  bool ok() const { return decoder_ != nullptr; }
  const th_info& info() const { return info_; }
  // libtheora's report of each band of rows it finishes.
  void ReportBands(th_stripe_decoded_func report, void* context) {
    th_stripe_callback callback = {context, report};
    th_decode_ctl(decoder_, TH_DECCTL_SET_STRIPE_CB, &callback, sizeof callback);
  }

  // The next frame's planes (the decoder's own, valid until the next call).
  void Next(th_ycbcr_buffer planes) {
    ogg_packet packet;
    for (;;) {
      if (!NextPacket(&packet)) {
        Rewind();
        continue;
      }
      if (th_packet_isheader(&packet)) continue;
      break;
    }
    th_decode_packetin(decoder_, &packet, nullptr);
    th_decode_ycbcr_out(decoder_, planes);
  }

 private:
  // The whole clip handed to the sync state at once.
  void Rewind() {
    ogg_sync_reset(&sync_);
    char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(clip_.bytes.size()));
    std::memcpy(buffer, clip_.bytes.data(), clip_.bytes.size());
    ogg_sync_wrote(&sync_, static_cast<long>(clip_.bytes.size()));
    if (streamReady_) ogg_stream_reset(&stream_);
  }
  bool NextPacket(ogg_packet* packet) {
    for (;;) {
      if (streamReady_ && ogg_stream_packetout(&stream_, packet) > 0) return true;
      ogg_page page;
      if (ogg_sync_pageout(&sync_, &page) <= 0) return false;
      if (!streamReady_) {
        ogg_stream_init(&stream_, ogg_page_serialno(&page));
        streamReady_ = true;
      }
      ogg_stream_pagein(&stream_, &page);
    }
  }

  const Clip& clip_;
  ogg_sync_state sync_;
  ogg_stream_state stream_;
  bool streamReady_ = false;
  th_info info_;
  th_comment comment_;
  th_setup_info* setup_ = nullptr;
  th_dec_ctx* decoder_ = nullptr;
};

// A picture's three planes in memory the peer owns.
struct PeerPicture {
  std::vector<uint8_t> y, cb, cr;
  int32_t lumaStride = 0, chromaStride = 0;
};

// The picture rectangle of the decoder's planes.
void PictureRect(const th_info& info, th_ycbcr_buffer planes, const uint8_t* data[3], int stride[3]) {
  const int32_t x = static_cast<int32_t>(info.pic_x), y = static_cast<int32_t>(info.pic_y);
  data[0] = planes[0].data + static_cast<intptr_t>(y) * planes[0].stride + x;
  data[1] = planes[1].data + static_cast<intptr_t>(y / 2) * planes[1].stride + x / 2;
  data[2] = planes[2].data + static_cast<intptr_t>(y / 2) * planes[2].stride + x / 2;
  for (int i = 0; i < 3; ++i) stride[i] = planes[i].stride;
}

// libswscale from 4:2:0 to bytes B, G, R, 0xFF, in its fastest set-up for
// this conversion (its unscaled YUV to RGB path); `threads` > 1 gives it
// slice threads.
class PeerConverter {
 public:
  PeerConverter(int32_t width, int32_t height, int threads) : width_(width), height_(height) {
    context_ = sws_alloc_context();
    av_opt_set_int(context_, "srcw", width, 0);
    av_opt_set_int(context_, "srch", height, 0);
    av_opt_set_int(context_, "src_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(context_, "dstw", width, 0);
    av_opt_set_int(context_, "dsth", height, 0);
    av_opt_set_int(context_, "dst_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(context_, "sws_flags", SWS_POINT, 0);
    av_opt_set_int(context_, "threads", threads, 0);
    if (sws_init_context(context_, nullptr, nullptr) < 0) {
      sws_freeContext(context_);
      context_ = nullptr;
    }
    threads_ = threads;
    if (threads_ > 1) {
      source_ = av_frame_alloc();
      dest_ = av_frame_alloc();
      dest_->format = AV_PIX_FMT_BGRA;
      dest_->width = width;
      dest_->height = height;
      av_frame_get_buffer(dest_, 64);
    }
  }
  ~PeerConverter() {
    av_frame_free(&source_);
    av_frame_free(&dest_);
    sws_freeContext(context_);
  }
  PeerConverter(const PeerConverter&) = delete;
  PeerConverter& operator=(const PeerConverter&) = delete;
  bool ok() const { return context_ != nullptr && (threads_ == 1 || dest_->buf[0] != nullptr); }

  // Converts into `out` (rows width * 4 bytes apart), or, with slice
  // threads, into the converter's own frame (Output()).
  void Convert(const uint8_t* const data[3], const int stride[3], uint8_t* out) {
    if (threads_ == 1) {
      uint8_t* const dest[4] = {out, nullptr, nullptr, nullptr};
      const int destStride[4] = {width_ * 4, 0, 0, 0};
      sws_scale(context_, data, stride, 0, height_, dest, destStride);
      return;
    }
    // The threaded entry takes reference-counted frames: the planes are
    // wrapped without a copy.
    av_frame_unref(source_);
    source_->format = AV_PIX_FMT_YUV420P;
    source_->width = width_;
    source_->height = height_;
    for (int i = 0; i < 3; ++i) {
      source_->data[i] = const_cast<uint8_t*>(data[i]);
      source_->linesize[i] = stride[i];
    }
    source_->buf[0] = av_buffer_create(const_cast<uint8_t*>(data[0]), 1, [](void*, uint8_t*) {}, nullptr, 0);
    sws_scale_frame(context_, dest_, source_);
  }
  const uint8_t* Output() const { return dest_->data[0]; }
  int OutputPitch() const { return dest_->linesize[0]; }

 private:
  int32_t width_, height_;
  int threads_ = 1;
  SwsContext* context_ = nullptr;
  AVFrame* source_ = nullptr;
  AVFrame* dest_ = nullptr;
};

void SetFps(benchmark::State& state) {
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One thread: each frame decoded, then converted.
void PeerOneThread(benchmark::State& state, const Clip& clip) {
  PeerDecoder decoder(clip);
  const int32_t w = static_cast<int32_t>(decoder.info().pic_width), h = static_cast<int32_t>(decoder.info().pic_height);
  PeerConverter converter(w, h, 1);
  if (!decoder.ok() || !converter.ok()) {
    state.SkipWithError("the peer does not start");
    return;
  }
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  for (auto _ : state) {
    th_ycbcr_buffer planes;
    decoder.Next(planes);
    const uint8_t* data[3];
    int stride[3];
    PictureRect(decoder.info(), planes, data, stride);
    converter.Convert(data, stride, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  SetFps(state);
}

// One decoding thread with libswscale's slice threads converting.
void PeerSliceThreads(benchmark::State& state, const Clip& clip) {
  PeerDecoder decoder(clip);
  const int32_t w = static_cast<int32_t>(decoder.info().pic_width), h = static_cast<int32_t>(decoder.info().pic_height);
  PeerConverter converter(w, h, 2);
  if (!decoder.ok() || !converter.ok()) {
    state.SkipWithError("the peer does not start");
    return;
  }
  for (auto _ : state) {
    th_ycbcr_buffer planes;
    decoder.Next(planes);
    const uint8_t* data[3];
    int stride[3];
    PictureRect(decoder.info(), planes, data, stride);
    converter.Convert(data, stride, nullptr);
    benchmark::DoNotOptimize(converter.Output());
  }
  SetFps(state);
}

// Luma rows from..to of a picture (and their chroma rows) from the decoder's
// planes into a picture of the peer's.
void CopyPictureRows(const th_info& info, th_ycbcr_buffer planes, PeerPicture* p, int32_t from, int32_t to) {
  const uint8_t* data[3];
  int stride[3];
  PictureRect(info, planes, data, stride);
  const int32_t w = static_cast<int32_t>(info.pic_width);
  for (int32_t row = from; row < to; ++row)
    std::memcpy(&p->y[static_cast<size_t>(row) * w], data[0] + static_cast<intptr_t>(row) * stride[0],
                static_cast<size_t>(w));
  for (int32_t row = from / 2; row < to / 2; ++row) {
    std::memcpy(&p->cb[static_cast<size_t>(row) * (w / 2)], data[1] + static_cast<intptr_t>(row) * stride[1],
                static_cast<size_t>(w / 2));
    std::memcpy(&p->cr[static_cast<size_t>(row) * (w / 2)], data[2] + static_cast<intptr_t>(row) * stride[2],
                static_cast<size_t>(w / 2));
  }
}

// The picture of the frame being decoded, copied band by band as libtheora
// reports each band finished (while it is still in the cache).
struct BandCopy {
  const th_info* info = nullptr;
  PeerPicture* target = nullptr;
  int32_t top = 0;  // picture rows from here down are copied
};

void OnPeerBand(void* context, th_ycbcr_buffer planes, int firstFragmentRow, int endFragmentRow) {
  auto* c = static_cast<BandCopy*>(context);
  const int32_t picY = static_cast<int32_t>(c->info->pic_y), h = static_cast<int32_t>(c->info->pic_height);
  const int32_t from = std::max(firstFragmentRow * 8 - picY, 0), to = std::min(endFragmentRow * 8 - picY, h);
  if (from >= to || to != c->top) return;
  CopyPictureRows(*c->info, planes, c->target, from, to);
  c->top = from;
}

// Two threads: a decoding thread copies each frame's picture into a ring of
// four pictures (after decoding it, or band by band while it decodes), and
// the benchmark's thread converts them in order. The waits spin briefly,
// then yield.
void PeerPipelined(benchmark::State& state, const Clip& clip, bool bands) {
  constexpr uint64_t kRing = 4;
  PeerDecoder decoder(clip);
  const th_info& info = decoder.info();
  const int32_t w = static_cast<int32_t>(info.pic_width), h = static_cast<int32_t>(info.pic_height);
  PeerConverter converter(w, h, 1);
  if (!decoder.ok() || !converter.ok()) {
    state.SkipWithError("the peer does not start");
    return;
  }
  PeerPicture ring[kRing];
  for (PeerPicture& p : ring) {
    p.lumaStride = w;
    p.chromaStride = w / 2;
    p.y.resize(static_cast<size_t>(w) * h);
    p.cb.resize(static_cast<size_t>(w / 2) * (h / 2));
    p.cr.resize(static_cast<size_t>(w / 2) * (h / 2));
  }
  BandCopy bandCopy;
  bandCopy.info = &info;
  if (bands) decoder.ReportBands(OnPeerBand, &bandCopy);
  std::atomic<uint64_t> produced{0}, consumed{0};
  std::atomic<bool> stop{false};
  auto wait = [](auto&& ready) {
    for (int spin = 0; !ready(); ++spin) {
      if (spin < 64) {
        __builtin_ia32_pause();
      } else {
        std::this_thread::yield();
      }
    }
  };
  std::thread decoding([&] {
    for (uint64_t n = 0;; ++n) {
      wait([&] { return stop.load(std::memory_order_acquire) || n - consumed.load(std::memory_order_acquire) < kRing; });
      if (stop.load(std::memory_order_acquire)) return;
      PeerPicture& p = ring[n % kRing];
      bandCopy.target = &p;
      bandCopy.top = h;
      th_ycbcr_buffer planes;
      decoder.Next(planes);
      // What no band brought (all of it without bands, or a repeated frame).
      CopyPictureRows(info, planes, &p, 0, bandCopy.top);
      produced.store(n + 1, std::memory_order_release);
    }
  });
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  uint64_t n = 0;
  for (auto _ : state) {
    wait([&] { return produced.load(std::memory_order_acquire) > n; });
    const PeerPicture& p = ring[n % kRing];
    const uint8_t* data[3] = {p.y.data(), p.cb.data(), p.cr.data()};
    const int stride[3] = {p.lumaStride, p.chromaStride, p.chromaStride};
    converter.Convert(data, stride, out.data());
    benchmark::DoNotOptimize(out.data());
    consumed.store(++n, std::memory_order_release);
  }
  stop.store(true, std::memory_order_release);
  decoding.join();
  SetFps(state);
}

// ---------------------------------------------------------------- ours

// The player: the frame moved on by one and converted, as a movie graph
// asks for it at each draw.
void Ours(benchmark::State& state, const Clip& clip) {
  MemoryStream* stream = OpenMemoryStream(clip.bytes.data(), static_cast<uint32_t>(clip.bytes.size()));
  TheoraMovieState* player = TheoraOpen(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), 10);
  if (player == nullptr) {
    state.SkipWithError("the clip does not open");
    return;
  }
  for (auto _ : state) {
    TheoraAdvance(player, 1);
    benchmark::DoNotOptimize(ConvertTheoraFrame(player, 1, 0));
  }
  TheoraClose(player);
  CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
  SetFps(state);
}

// ---------------------------------------------------------------- for scale

// libtheora decoding alone.
void DecodeOnly(benchmark::State& state, const Clip& clip) {
  PeerDecoder decoder(clip);
  for (auto _ : state) {
    th_ycbcr_buffer planes;
    decoder.Next(planes);
    benchmark::DoNotOptimize(planes[0].data);
  }
  SetFps(state);
}

// The conversion of one decoded frame alone: ours (the tables') and
// libswscale's.
void ConvertOnly(benchmark::State& state, const Clip& clip, bool ours) {
  PeerDecoder decoder(clip);
  th_ycbcr_buffer planes;
  decoder.Next(planes);
  const int32_t w = static_cast<int32_t>(decoder.info().pic_width), h = static_cast<int32_t>(decoder.info().pic_height);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  const uint8_t* data[3];
  int stride[3];
  PictureRect(decoder.info(), planes, data, stride);
  PeerConverter converter(w, h, 1);
  const YuvPlanes yuv = {planes[0].data, planes[1].data, planes[2].data, planes[0].stride, planes[1].stride, 1, 1};
  for (auto _ : state) {
    if (ours) {
      ConvertYuvToXrgb(yuv, static_cast<int32_t>(decoder.info().pic_x), static_cast<int32_t>(decoder.info().pic_y), w,
                       h, out.data(), w * 4);
    } else {
      converter.Convert(data, stride, out.data());
    }
    benchmark::ClobberMemory();
  }
}

// ---------------------------------------------------------------- sameness

struct Sameness {
  int frames = 0;
  int oursEqualTables = 0;     // frames where ours equals libtheora's through our tables
  uint64_t oursHash = 0, tablesHash = 0;
  uint64_t pixels = 0, differingPixels = 0;  // swscale's against ours
  int largestDifference = 0;
  bool threadedAlike = true;  // the slice-threaded set-up gives the one-thread pixels
  bool bandsAlike = true;     // the band copies give the decoder's pictures
};

uint64_t Fnv(uint64_t h, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

// Every frame of the clip through ours and the peer, compared.
Sameness Compare(const Clip& clip) {
  Sameness s;
  s.oursHash = s.tablesHash = 0xcbf29ce484222325ull;
  MemoryStream* stream = OpenMemoryStream(clip.bytes.data(), static_cast<uint32_t>(clip.bytes.size()));
  TheoraMovieState* player = TheoraOpen(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), 10);
  PeerDecoder decoder(clip);
  if (player == nullptr || !decoder.ok()) return s;
  const th_info& info = decoder.info();
  const int32_t w = static_cast<int32_t>(info.pic_width), h = static_cast<int32_t>(info.pic_height);
  PeerConverter converter(w, h, 1), threaded(w, h, 2);
  std::vector<uint8_t> tables(static_cast<size_t>(w) * h * 4), scaled(tables.size());
  PeerDecoder banded(clip);
  PeerPicture bandPicture;
  bandPicture.y.resize(static_cast<size_t>(w) * h);
  bandPicture.cb.resize(static_cast<size_t>(w / 2) * (h / 2));
  bandPicture.cr.resize(static_cast<size_t>(w / 2) * (h / 2));
  BandCopy bandCopy;
  bandCopy.info = &banded.info();
  bandCopy.target = &bandPicture;
  banded.ReportBands(OnPeerBand, &bandCopy);
  for (int f = 0; f < kFrames; ++f) {
    if (f > 0) TheoraAdvance(player, 1);
    ConvertTheoraFrame(player, 1, 0);
    const GraphImage* image = GetTheoraRgbImage(player);
    th_ycbcr_buffer planes;
    decoder.Next(planes);
    const YuvPlanes yuv = {planes[0].data, planes[1].data, planes[2].data, planes[0].stride, planes[1].stride, 1, 1};
    ConvertYuvToXrgb(yuv, static_cast<int32_t>(info.pic_x), static_cast<int32_t>(info.pic_y), w, h, tables.data(),
                     w * 4);
    const uint8_t* data[3];
    int stride[3];
    PictureRect(info, planes, data, stride);
    converter.Convert(data, stride, scaled.data());
    threaded.Convert(data, stride, nullptr);
    bandCopy.top = h;
    th_ycbcr_buffer bandPlanes;
    banded.Next(bandPlanes);
    if (bandCopy.top != 0) s.bandsAlike = false;  // every band reported
    for (int32_t y = 0; y < h; ++y) {
      if (std::memcmp(&bandPicture.y[static_cast<size_t>(y) * w], data[0] + static_cast<intptr_t>(y) * stride[0],
                      static_cast<size_t>(w)) != 0 ||
          (y < h / 2 && (std::memcmp(&bandPicture.cb[static_cast<size_t>(y) * (w / 2)],
                                     data[1] + static_cast<intptr_t>(y) * stride[1], static_cast<size_t>(w / 2)) != 0 ||
                         std::memcmp(&bandPicture.cr[static_cast<size_t>(y) * (w / 2)],
                                     data[2] + static_cast<intptr_t>(y) * stride[2], static_cast<size_t>(w / 2)) != 0))) {
        s.bandsAlike = false;
      }
    }
    bool equal = true;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = image->pixels + static_cast<intptr_t>(y) * image->pitch;
      const uint8_t* want = &tables[static_cast<size_t>(y) * w * 4];
      const uint8_t* peer = &scaled[static_cast<size_t>(y) * w * 4];
      if (std::memcmp(row, want, static_cast<size_t>(w) * 4) != 0) equal = false;
      if (std::memcmp(peer, threaded.Output() + static_cast<intptr_t>(y) * threaded.OutputPitch(),
                      static_cast<size_t>(w) * 4) != 0) {
        s.threadedAlike = false;
      }
      s.oursHash = Fnv(s.oursHash, row, static_cast<size_t>(w) * 4);
      s.tablesHash = Fnv(s.tablesHash, want, static_cast<size_t>(w) * 4);
      for (int32_t x = 0; x < w; ++x) {
        int largest = 0;
        for (int c = 0; c < 4; ++c) largest = std::max(largest, std::abs(row[x * 4 + c] - peer[x * 4 + c]));
        s.largestDifference = std::max(s.largestDifference, largest);
        if (largest > 0) ++s.differingPixels;
        ++s.pixels;
      }
    }
    if (equal) ++s.oursEqualTables;
    ++s.frames;
  }
  TheoraClose(player);
  CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
  return s;
}

// ---------------------------------------------------------------- the table

// The median frames per second of every benchmark over its repetitions.
class FpsReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::vector<double>> runs;
  void ReportRuns(const std::vector<Run>& list) override {
    for (const Run& run : list) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      runs[run.run_name.function_name].push_back(1e6 / run.GetAdjustedRealTime());  // real time in microseconds
    }
    ConsoleReporter::ReportRuns(list);
  }
  double Median(const std::string& name) const {
    auto it = runs.find(name);
    if (it == runs.end() || it->second.empty()) return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
};

const char* const kPeerSetUps[] = {"peer one thread", "peer pipelined", "peer pipelined by bands",
                                   "peer slice threads"};

}  // namespace

int main(int argc, char** argv) {
  BuildYuvToRgbTables();
  // --yuv-loops=sse2 or avx2: our conversion with narrower vectors than the
  // processor's widest, as on a processor without AVX-512 (or AVX2).
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--yuv-loops=", 0) == 0) {
      const std::string loops = arg.substr(12);
      const int32_t asked = loops == "sse2" ? YuvLoopsSse2 : loops == "avx2" ? YuvLoopsAvx2 : YuvLoopsAvx512;
      YuvConvertLoops = std::min(asked, YuvWidestLoops());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  Clips().push_back(MakeClip("smooth", 0));
  Clips().push_back(MakeClip("detailed", 40));
  for (const Clip& clip : Clips()) {
    const Clip* c = &clip;
    // The rows that decode play whole loops of the clip, so that each decodes
    // the same frames (its key frames cost more than the others).
    auto add = [&](const char* what, void (*fn)(benchmark::State&, const Clip&), bool decodes = true) {
      auto* b = benchmark::RegisterBenchmark((clip.name + "/" + what).c_str(),
                                             [c, fn](benchmark::State& s) { fn(s, *c); })
                    ->Unit(benchmark::kMicrosecond)
                    ->UseRealTime();
      if (decodes) b->Iterations(kFrames * kLoopsTimed);
    };
    add("ours", Ours);
    add(kPeerSetUps[0], PeerOneThread);
    add(kPeerSetUps[1], [](benchmark::State& s, const Clip& cl) { PeerPipelined(s, cl, false); });
    add(kPeerSetUps[2], [](benchmark::State& s, const Clip& cl) { PeerPipelined(s, cl, true); });
    add(kPeerSetUps[3], PeerSliceThreads);
    add("decode only", DecodeOnly);
    add("convert ours", [](benchmark::State& s, const Clip& cl) { ConvertOnly(s, cl, true); }, false);
    add("convert swscale", [](benchmark::State& s, const Clip& cl) { ConvertOnly(s, cl, false); }, false);
  }
  benchmark::Initialize(&argc, argv);
  std::map<std::string, Sameness> same;
  for (const Clip& clip : Clips()) same[clip.name] = Compare(clip);
  FpsReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  sched_getaffinity(0, sizeof cpus, &cpus);
  const char* const loopNames[] = {"SSE2", "AVX2", "AVX-512"};
  std::printf("\n640 x 480, frames per second (median of the repetitions), on %d core(s); our conversion with %s\n",
              CPU_COUNT(&cpus), loopNames[YuvConvertLoops]);
  std::printf("%-10s %8s %8s  %-20s %10s %12s %14s %16s\n", "clip", "ours", "peer", "(its fastest set-up)",
              "ours/peer", "decode only", "convert ours", "convert swscale");
  for (const Clip& clip : Clips()) {
    const double ours = reporter.Median(clip.name + "/ours");
    double peer = 0;
    const char* fastest = "-";
    for (const char* setUp : kPeerSetUps) {
      const double fps = reporter.Median(clip.name + "/" + setUp);
      if (fps > peer) peer = fps, fastest = setUp + 5;
    }
    std::printf("%-10s %8.0f %8.0f  %-20s %10.2f %12.0f %14.0f %16.0f\n", clip.name.c_str(), ours, peer, fastest,
                ours > 0 ? peer / ours : 0.0, reporter.Median(clip.name + "/decode only"),
                reporter.Median(clip.name + "/convert ours"), reporter.Median(clip.name + "/convert swscale"));
  }
  std::printf("\n(ours/peer is ours' time over the peer's: at or under 1.00, ours is at or ahead of it.)\n");
  for (const Clip& clip : Clips()) {
    const Sameness& s = same[clip.name];
    std::printf("%s: ours equals libtheora's frames through our tables in %d of %d frames (hash %016llx, %s); "
                "libswscale's pixels: %llu of %llu differ from ours, by at most %d in a channel%s\n",
                clip.name.c_str(), s.oursEqualTables, s.frames, static_cast<unsigned long long>(s.oursHash),
                s.oursHash == s.tablesHash ? "the same" : "DIFFERENT",
                static_cast<unsigned long long>(s.differingPixels), static_cast<unsigned long long>(s.pixels),
                s.largestDifference, s.threadedAlike ? "" : " (its slice threads give other pixels!)");
    if (!s.bandsAlike) std::printf("%s: the peer's band copies differ from the decoder's pictures!\n", clip.name.c_str());
  }
  benchmark::Shutdown();
  return 0;
}
