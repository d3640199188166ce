// Sound: decoding a 60-second MP3 and Ogg Vorbis file through the library's
// decoder beside the codec library decoding the same file directly, and the
// DirectSound stand-in's mixer with 16 voices of 22,050 Hz mono mixed into
// 44,100 Hz stereo, as a multiple of real time. A table follows the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "library/core/memory.h"
#include "library/file/memory_stream.h"
#include "library/sound/sound_decoder.h"
#include "platform/dsound/dsound.h"
#include "tests/sound/sound_media.h"

namespace {

using namespace sound_media;

constexpr uint32_t kSeconds = 60;

const std::vector<uint8_t>& SourceWave() {
  static const std::vector<uint8_t> wave = MakeWave(2, 44100, 16, Bytes(Tone(44100 * kSeconds, 2, 44100)));
  return wave;
}
const std::vector<uint8_t>& Mp3File() {
  static const std::vector<uint8_t> mp3 = EncodeMp3(SourceWave());
  return mp3;
}
const std::vector<uint8_t>& OggFile() {
  static const std::vector<uint8_t> ogg = EncodeOgg(SourceWave());
  return ogg;
}

// Opens the library's decoder over the file in memory and decodes it whole.
size_t LibraryDecode(const std::vector<uint8_t>& file) {
  MemoryStream* stream = OpenMemoryStream(file.data(), static_cast<uint32_t>(file.size()));
  SoundDecoder decoder;
  size_t bytes = 0;
  if (OpenSoundDecoder(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream), &decoder) == 0) {
    WAVEFORMATEX format;
    void* data = nullptr;
    uint32_t size = 0;
    if (DecodeWholeSound(&decoder, &format, &data, &size) == 0) {
      bytes = size;
      TrackedFree(data);
    }
    CloseSoundDecoder(&decoder);
  }
  CloseMemoryStream(reinterpret_cast<uintptr_t>(stream));
  return bytes;
}

// libmpg123 on the same bytes, fed whole, every sample kept, into one block.
size_t Mpg123Direct(const std::vector<uint8_t>& mp3) {
  int error = 0;
  mpg123_handle* h = mpg123_new(nullptr, &error);
  mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
  mpg123_format_none(h);
  mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  mpg123_open_feed(h);
  mpg123_feed(h, mp3.data(), mp3.size());
  std::vector<uint8_t> pcm(static_cast<size_t>(44100) * 4 * (kSeconds + 1));
  size_t total = 0;
  for (;;) {
    size_t done = 0;
    int result = mpg123_read(h, pcm.data() + total, pcm.size() - total, &done);
    total += done;
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
  }
  mpg123_delete(h);
  return total;
}

// libvorbisfile on the same bytes, 4096 bytes a read, into one block.
size_t VorbisDirect(const std::vector<uint8_t>& ogg) {
  std::vector<uint8_t> pcm = VorbisDecode(ogg);
  return pcm.size();
}

std::map<std::string, double>& Best() {
  static std::map<std::string, double> best;
  return best;
}

void Decode(benchmark::State& state, const std::vector<uint8_t>& (*file)(),
            size_t (*decode)(const std::vector<uint8_t>&)) {
  const std::vector<uint8_t>& bytes = file();
  if (bytes.empty()) {
    state.SkipWithError("encoder (lame/oggenc) missing");
    return;
  }
  size_t pcm = 0;
  for (auto _ : state) {
    pcm = decode(bytes);
    benchmark::DoNotOptimize(pcm);
  }
  state.counters["pcm_MB"] = static_cast<double>(pcm) / 1e6;
}

void BM_Mp3Library(benchmark::State& s) { Decode(s, Mp3File, LibraryDecode); }
void BM_Mp3Mpg123(benchmark::State& s) { Decode(s, Mp3File, Mpg123Direct); }
void BM_OggLibrary(benchmark::State& s) { Decode(s, OggFile, LibraryDecode); }
void BM_OggVorbisfile(benchmark::State& s) { Decode(s, OggFile, VorbisDirect); }

// 16 looping voices of 22,050 Hz mono on the manual device; each iteration
// mixes one second of 44,100 Hz stereo.
void BM_Mix16Voices(benchmark::State& state) {
  CoInitialize(nullptr);
  PlatformSoundUseManualClock(true);
  IDirectSound* sound = nullptr;
  CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&sound));
  sound->Initialize(nullptr);
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  sound->CreateSoundBuffer(&d, &primary, nullptr);
  WAVEFORMATEX out{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  primary->SetFormat(&out);
  WAVEFORMATEX voice{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  std::vector<int16_t> tone = Tone(22050, 1, 22050);
  std::vector<IDirectSoundBuffer*> voices;
  for (int i = 0; i < 16; ++i) {
    d.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
    d.dwBufferBytes = static_cast<DWORD>(tone.size() * 2) - static_cast<DWORD>(i * 2);
    d.lpwfxFormat = &voice;
    IDirectSoundBuffer* b = nullptr;
    sound->CreateSoundBuffer(&d, &b, nullptr);
    void *p1, *p2;
    DWORD n1, n2;
    b->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
    memcpy(p1, tone.data(), n1);
    b->Unlock(p1, n1, p2, n2);
    b->SetVolume(-100 * i);
    b->SetPan(i * 500 - 4000);
    b->Play(0, 0, DSBPLAY_LOOPING);
    voices.push_back(b);
  }
  std::vector<int16_t> mixed(44100 * 2);
  for (auto _ : state) {
    PlatformSoundRender(mixed.data(), 44100);
    benchmark::DoNotOptimize(mixed.data());
  }
  for (IDirectSoundBuffer* b : voices) b->Release();
  primary->Release();
  sound->Release();
  PlatformSoundUseManualClock(false);
  CoUninitialize();
}

BENCHMARK(BM_Mp3Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mp3Mpg123)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggVorbisfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix16Voices)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's best time (milliseconds) while printing as usual.
class BestReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double ms = run.GetAdjustedRealTime();  // in the benchmark's unit
      auto it = Best().find(run.benchmark_name());
      if (it == Best().end() || ms < it->second) Best()[run.benchmark_name()] = ms;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double Get(const char* name) {
  auto it = Best().find(name);
  return it == Best().end() ? -1 : it->second;
}

void PrintTable() {
  std::printf("\n%-40s %10s %10s %8s %8s\n", "row", "ours ms", "peer ms", "ratio", "target");
  auto line = [](const char* row, const char* ours, const char* peer, const char* target) {
    double o = Get(ours), p = Get(peer);
    if (o < 0 || p < 0) return;
    std::printf("%-40s %10.2f %10.2f %8.3f %8s\n", row, o, p, o / p, target);
  };
  line("decode 60 s MP3 (peer: libmpg123)", "BM_Mp3Library", "BM_Mp3Mpg123", "<= 1.1");
  line("decode 60 s Ogg (peer: libvorbisfile)", "BM_OggLibrary", "BM_OggVorbisfile", "<= 1.1");
  double mix = Get("BM_Mix16Voices");
  if (mix > 0)
    std::printf("%-40s %10.3f %10s %7.0fx %8s\n", "mix 16 x 22,050 Hz mono -> 44.1 kHz stereo", mix, "-", 1000.0 / mix,
                ">= 500x");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  BestReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable();
  benchmark::Shutdown();
  return 0;
}
