// Theora movies: a 640 x 480 clip decoded through the player (the decode
// thread filling its ring, each frame converted to 32-bit RGB on the
// caller's side) beside libtheora decoding the same packets directly, in
// frames per second, and, for scale, the RGB conversion of a frame alone. A
// smooth clip and one with fine panning detail.
#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "library/file/file_table.h"
#include "library/file/memory_stream.h"
#include "library/movie/theora_player.h"
#include "library/movie/yuv_tables.h"
#include "tools/theoraclip/theora_clip.h"

namespace {

constexpr int kFrames = 120;

struct Clip {
  std::string name;
  std::vector<uint8_t> bytes;
  std::vector<ogg_packet> packets;  // the Theora packets, headers first
  std::vector<std::vector<uint8_t>> packetBytes;
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
  Clip clip{name, MakeTheoraClip(o), {}, {}};
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(clip.bytes.size()));
  std::copy(clip.bytes.begin(), clip.bytes.end(), buffer);
  ogg_sync_wrote(&sync, static_cast<long>(clip.bytes.size()));
  ogg_stream_state stream;
  ogg_page page;
  bool started = false;
  while (ogg_sync_pageout(&sync, &page) > 0) {
    if (!started) {
      ogg_stream_init(&stream, ogg_page_serialno(&page));
      started = true;
    }
    if (ogg_stream_pagein(&stream, &page) != 0) continue;
    ogg_packet packet;
    while (ogg_stream_packetout(&stream, &packet) > 0) {
      clip.packetBytes.emplace_back(packet.packet, packet.packet + packet.bytes);
      clip.packets.push_back(packet);
    }
  }
  for (size_t i = 0; i < clip.packets.size(); ++i) clip.packets[i].packet = clip.packetBytes[i].data();
  ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return clip;
}

// libtheora's decoder set up from the clip's headers; `first` is the first
// frame's packet.
struct DirectDecoder {
  th_info info;
  th_comment comment;
  th_setup_info* setup = nullptr;
  th_dec_ctx* decoder = nullptr;
  size_t first = 0;
  explicit DirectDecoder(const Clip& clip) {
    th_info_init(&info);
    th_comment_init(&comment);
    while (first < clip.packets.size() &&
           th_decode_headerin(&info, &comment, &setup, const_cast<ogg_packet*>(&clip.packets[first])) > 0) {
      ++first;
    }
    decoder = th_decode_alloc(&info, setup);
  }
  ~DirectDecoder() {
    th_decode_free(decoder);
    th_setup_free(setup);
    th_comment_clear(&comment);
    th_info_clear(&info);
  }
  DirectDecoder(const DirectDecoder&) = delete;
  DirectDecoder& operator=(const DirectDecoder&) = delete;
  void Decode(const ogg_packet& from, th_ycbcr_buffer planes) {
    ogg_packet packet = from;
    th_decode_packetin(decoder, &packet, nullptr);
    th_decode_ycbcr_out(decoder, planes);
  }
};

// libtheora alone: every frame's packet in, its planes out, the clip over and over.
void DecodeDirect(benchmark::State& state, const Clip& clip) {
  DirectDecoder direct(clip);
  size_t next = direct.first;
  for (auto _ : state) {
    if (next == clip.packets.size()) next = direct.first;
    th_ycbcr_buffer planes;
    direct.Decode(clip.packets[next++], planes);
    benchmark::DoNotOptimize(planes[0].data);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// For scale: our YUV to RGB conversion of one decoded frame alone.
void ConvertOnly(benchmark::State& state, const Clip& clip) {
  DirectDecoder direct(clip);
  th_ycbcr_buffer planes;
  direct.Decode(clip.packets[direct.first], planes);
  const th_info& info = direct.info;
  const int32_t w = static_cast<int32_t>(info.pic_width), h = static_cast<int32_t>(info.pic_height);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  const YuvPlanes yuv = {planes[0].data, planes[1].data, planes[2].data, planes[0].stride, planes[1].stride, 1, 1};
  for (auto _ : state) {
    ConvertYuvToXrgb(yuv, static_cast<int32_t>(info.pic_x), static_cast<int32_t>(info.pic_y), w, h, out.data(), w * 4);
    benchmark::ClobberMemory();
  }
}

// The player: the frame moved on by one and converted, as a movie graph
// asks for it at each draw.
void DecodeThroughPlayer(benchmark::State& state, const Clip& clip) {
  MemoryStream* stream = OpenMemoryStream(clip.bytes.data(), static_cast<uint32_t>(clip.bytes.size()));
  TheoraMovieState* player =
      TheoraOpen(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), 10);
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
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The best frames per second of every benchmark.
class FpsReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> best;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double fps = 1e9 / (run.GetAdjustedRealTime() * 1000.0);  // real time in microseconds
      double& b = best[run.run_name.function_name];
      if (fps > b) b = fps;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  BuildYuvToRgbTables();
  Clips().push_back(MakeClip("smooth", 0));
  Clips().push_back(MakeClip("detailed", 40));
  for (const Clip& clip : Clips()) {
    benchmark::RegisterBenchmark((clip.name + "/ours").c_str(), [&clip](benchmark::State& s) {
      DecodeThroughPlayer(s, clip);
    })->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark((clip.name + "/libtheora").c_str(), [&clip](benchmark::State& s) {
      DecodeDirect(s, clip);
    })->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark((clip.name + "/convert").c_str(), [&clip](benchmark::State& s) {
      ConvertOnly(s, clip);
    })->Unit(benchmark::kMicrosecond)->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  FpsReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-30s %10s %10s %18s %14s\n", "640 x 480, frames per second", "ours", "libtheora",
              "time ours / peer", "(RGB only)");
  for (const Clip& clip : Clips()) {
    const double ours = reporter.best[clip.name + "/ours"], peer = reporter.best[clip.name + "/libtheora"];
    std::printf("%-30s %10.0f %10.0f %18.2f %14.0f\n", clip.name.c_str(), ours, peer, ours > 0 ? peer / ours : 0.0,
                reporter.best[clip.name + "/convert"]);
  }
  benchmark::Shutdown();
  return 0;
}
