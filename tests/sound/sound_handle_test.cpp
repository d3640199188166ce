#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library/graphics/object_handle.h"
#include "platform/win32/sjis.h"
#include "tests/sound/sound_module_fixture.h"

namespace {

using namespace sound_media;

std::vector<int16_t> Constant(size_t frames, int16_t value) { return std::vector<int16_t>(frames, value); }

std::vector<int16_t> Ramp(size_t frames) {
  std::vector<int16_t> v(frames);
  for (size_t i = 0; i < frames; ++i) v[i] = static_cast<int16_t>(static_cast<int>(i * 37 % 20000) - 10000);
  return v;
}

// A 16-bit mono WAVE at 44.1 kHz (the output rate: nothing is resampled).
std::vector<uint8_t> Wave(const std::vector<int16_t>& samples, uint32_t rate = 44100) {
  return MakeWave(1, rate, 16, Bytes(samples));
}

class NullDeviceTest : public SoundModuleTest {};

class ManualDeviceTest : public SoundModuleTest {
 public:
  ManualDeviceTest() { manualDevice_ = true; }
};

TEST(SoundHandles, NothingWorksBeforeStartUp) {
  EXPECT_EQ(LoadSoundFile("a.wav", 1, -1), -1);
  EXPECT_EQ(CreateSoundFromMemory("x", 1, 1, -1), -1);
  EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
  EXPECT_EQ(StopSoundHandle(0x10000000), -1);
  EXPECT_EQ(CheckSoundHandle(0x10000000), -1);
  EXPECT_EQ(DeleteSoundHandle(0x10000000, 0), -1);
  EXPECT_EQ(DeleteAllSoundHandles(0), -1);
  EXPECT_EQ(SetSoundHandleVolume(255, 0x10000000), -1);
  EXPECT_EQ(GetSoundTotalTime(0x10000000), -1);
  EXPECT_EQ(EndSoundSystem(), -1);
  // Volumes: 255 and more full, 0 and less silent, and the logarithm between.
  const struct {
    int32_t volume, db;
  } volumes[] = {{255, 0}, {300, 0}, {0, -10000}, {-5, -10000}, {1, -2406}, {128, -299}, {254, -1}};
  for (const auto& v : volumes) EXPECT_EQ(SoundVolumeToDecibels(v.volume), v.db) << v.volume;
  // Load types: 1 is 0; above 3 refused.
  EXPECT_EQ(SetSoundLoadType(1), 0);
  EXPECT_EQ(GetSoundLoadType(), 0);
  EXPECT_EQ(SetSoundLoadType(4), -1);
  EXPECT_EQ(SetSoundLoadType(2), 0);
  EXPECT_EQ(GetSoundLoadType(), 2);
  EXPECT_EQ(SetSoundLoadType(0), 0);
}

TEST_F(NullDeviceTest, StartUpLogsTheDeviceAndRefusesASecondStart) {
  EXPECT_EQ(InitSoundSystem(), -1);
  const std::string log = Log();
  EXPECT_NE(log.find("DirectSound の初期化は正常に終了しました"), std::string::npos);
  EXPECT_NE(log.find("モジュール名:           null"), std::string::npos);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1);  // the silent buffer
}

TEST(SoundStartUp, FailuresLeaveTheModuleUnstarted) {
  StartScratchLog();
  CoInitialize(nullptr);
  const struct {
    uint32_t fault;
    const char* line;
  } cases[] = {
      {PlatformDsCreateObject, "DirectSoundインターフェースの作成に失敗しました"},
      {PlatformDsInitialize, "初期化に失敗しました"},
      {PlatformDsPrimary, "DirectSoundのプライマリサウンドバッファの作成に失敗しました"},
  };
  for (const auto& c : cases) {
    PlatformSetDirectSoundFaults(c.fault);
    EXPECT_EQ(InitSoundSystem(), -1);
    EXPECT_NE(ReadScratchLog().find(c.line), std::string::npos) << c.line;
    EXPECT_EQ(DirectSoundObject, nullptr);
    EXPECT_EQ(LoadSoundFile("a.wav", 1, -1), -1);
  }
  // A format the primary buffer refuses is only logged; without the silent
  // buffer the module still runs.
  PlatformSetDirectSoundFaults(PlatformDsSetFormat | PlatformDsSecondaryOnce);
  ASSERT_EQ(InitSoundSystem(), 0);
  EXPECT_NE(ReadScratchLog().find("フォーマット設定に失敗しました"), std::string::npos);
  EXPECT_NE(ReadScratchLog().find("無音バッファの作成に失敗しました"), std::string::npos);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
  EXPECT_EQ(EndSoundSystem(), 0);
  PlatformSetDirectSoundFaults(0);
  CoUninitialize();
  EndScratchLog();
}

TEST_F(NullDeviceTest, LoadsMeasuresAndRefuses) {
  const int h = LoadSoundFile(Put("se.wav", Wave(Constant(22050, 100), 22050)).c_str(), 3, -1);
  ASSERT_NE(h, -1);
  EXPECT_EQ(h & HandleKindBits, HandleKindSound);
  EXPECT_EQ(GetSoundTotalSample(h), 22050);
  EXPECT_EQ(GetSoundTotalTime(h), 1000);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1 + 3);
  SoundHandleRecord* r = FindSoundRecord(h);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->frequency, 22050u);
  EXPECT_EQ(r->streamFlag, 0u);

  // 25 buffers become 10; handles of other kinds, stale ones and -1 fail.
  const int ten = CreateSoundFromFile("se.wav", 25, -1);
  ASSERT_NE(ten, -1);
  EXPECT_EQ(FindSoundRecord(ten)->bufferCount, 10);
  EXPECT_EQ(CreateSoundFromMemory(nullptr, 0, 11, -1), -1);
  EXPECT_EQ(DeleteSoundHandle(ten, 0), 0);
  for (int bad : {-1, ten, (ten & ~HandleKindBits) | HandleKindGraph, h + 1}) {
    EXPECT_EQ(PlaySoundHandle(bad, 1, 1), -1) << bad;
    EXPECT_EQ(CheckSoundHandle(bad), -1) << bad;
    EXPECT_EQ(DeleteSoundHandle(bad, 0), -1) << bad;
  }

  // Failed loads log and leave nothing behind.
  EXPECT_EQ(LoadSoundFile("missing.wav", 1, -1), -1);
  EXPECT_EQ(LoadSoundFile(Put("bad.wav", std::vector<uint8_t>(300, 7)).c_str(), 1, -1), -1);
  const std::string log = Log();
  EXPECT_NE(log.find("右記のファイルのオープンに失敗しました：missing.wav"), std::string::npos);
  EXPECT_NE(log.find("右記の音声ファイルのロードに失敗しました_1：missing.wav"), std::string::npos);
  EXPECT_NE(log.find("音声ファイルのＰＣＭへの変換に失敗しました右記の音声ファイルのロードに失敗しました_2：bad.wav"),
            std::string::npos);
  EXPECT_EQ(SoundHandleTable.count, 1u);

  // A sound without buffers loads but does not play.
  const int none = LoadSoundFile("se.wav", 0, -1);
  ASSERT_NE(none, -1);
  EXPECT_EQ(PlaySoundHandle(none, 1, 1), -1);
  EXPECT_EQ(DeleteAllSoundHandles(0), 0);
  EXPECT_EQ(SoundHandleTable.count, 0u);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1);
}

TEST_F(NullDeviceTest, BackgroundPlayEndsWithItsDataAndNormalPlayWaitsForIt) {
  const int h = LoadSoundFile(Put("se.wav", Wave(Constant(11025, 100), 22050)).c_str(), 1, -1);  // 0.5 s
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  EXPECT_EQ(CheckSoundHandle(h), 1);
  PlatformAdvanceVirtualClock(250000);
  EXPECT_EQ(CheckSoundHandle(h), 1);
  EXPECT_NEAR(GetSoundCurrentTime(h), 250, 1);  // whole frames of 22,050 Hz
  PlatformAdvanceVirtualClock(240000);
  EXPECT_EQ(CheckSoundHandle(h), 1);
  PlatformAdvanceVirtualClock(20000);
  EXPECT_EQ(CheckSoundHandle(h), 0);

  const uint32_t start = NowMs();
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
  const uint32_t waited = NowMs() - start;
  EXPECT_GE(waited, 500u);
  EXPECT_LE(waited, 502u);
  EXPECT_EQ(CheckSoundHandle(h), 0);

  // Stopped half-way, a play from where it is resumes there (one buffer).
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  PlatformAdvanceVirtualClock(300000);
  ASSERT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(CheckSoundHandle(h), 0);
  ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
  PlatformAdvanceVirtualClock(190000);
  EXPECT_EQ(CheckSoundHandle(h), 1);
  PlatformAdvanceVirtualClock(20000);
  EXPECT_EQ(CheckSoundHandle(h), 0);
}

TEST_F(NullDeviceTest, LongSoundsBecomeStreamSounds) {
  // 8 kHz 8-bit mono: a second is 8000 bytes.
  const std::vector<uint8_t> quiet180(8000 * 180 + 7999, 0x80);
  const std::vector<uint8_t> quiet181(8000 * 181, 0x80);
  const int kept = LoadSoundFile(Put("180.wav", MakeWave(1, 8000, 8, quiet180)).c_str(), 1, -1);
  const int streamed = LoadSoundFile(Put("181.wav", MakeWave(1, 8000, 8, quiet181)).c_str(), 1, -1);
  ASSERT_NE(kept, -1);
  ASSERT_NE(streamed, -1);
  EXPECT_EQ(FindSoundRecord(kept)->streamFlag, 0u);
  EXPECT_EQ(FindSoundRecord(streamed)->streamFlag, 1u);
  EXPECT_EQ(GetSoundTotalTime(streamed), 181000);
  EXPECT_EQ(GetSoundLoadType(), 0);  // put back after the stream load
}

TEST_F(ManualDeviceTest, ThreeBuffersSoundThreeTimesAtOnce) {
  const int h = LoadSoundFile(Put("se.wav", Wave(Constant(1000, 1000))).c_str(), 3, -1);
  ASSERT_NE(h, -1);
  std::vector<int16_t> out;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    std::vector<int16_t> part = LeftOf(Render(100));
    out.insert(out.end(), part.begin(), part.end());
  }
  EXPECT_EQ(out[50], 1000);
  EXPECT_EQ(out[150], 2000);
  EXPECT_EQ(out[250], 3000);
  // All three play: a fourth play from where it is changes nothing (the
  // turn still passes to the next buffer)...
  ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
  EXPECT_EQ(LeftOf(Render(10))[5], 3000);
  // ...a fifth from the top starts the buffer whose turn it is again (the
  // one started at frame 100, now at 310): the first ends at 1000, the
  // third at 1200, the restarted one at 1310.
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  std::vector<int16_t> after = LeftOf(Render(990));
  EXPECT_EQ(after[0], 3000);
  EXPECT_EQ(after[680], 3000);
  EXPECT_EQ(after[700], 2000);
  EXPECT_EQ(after[900], 1000);
  EXPECT_EQ(CheckSoundHandle(h), 1);
  Render(10);
  EXPECT_EQ(CheckSoundHandle(h), 0);
}

TEST_F(ManualDeviceTest, LoopPlayWrapsExactlyAtTheEndOfTheData) {
  const std::vector<int16_t> ramp = Ramp(300);
  const int h = LoadSoundFile(Put("loop.wav", Wave(ramp)).c_str(), 1, -1);
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  std::vector<int16_t> out = LeftOf(Render(1000));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], ramp[i % 300]) << i;
  ASSERT_EQ(SetSoundHandleVolume(128, h), 0);  // -2.99 dB, now and for later plays
  out = LeftOf(Render(1));
  EXPECT_NEAR(out[0], ramp[1000 % 300] * std::pow(10.0, -299 / 2000.0), 1);
  ASSERT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(LeftOf(Render(5))[0], 0);
}

// ---------------------------------------------------------------- stream sounds

TEST_F(ManualDeviceTest, AStreamedOggPlaysAsItsWholeDecodeSampleForSample) {
  const std::vector<uint8_t> ogg = EncodeOgg(MakeWave(2, 44100, 16, Bytes(Tone(44100 * 5 / 2, 2, 44100))));
  ASSERT_FALSE(ogg.empty()) << "oggenc missing or failed";
  const std::vector<uint8_t> decoded = VorbisDecode(ogg);
  std::vector<int16_t> reference(decoded.size() / 2);
  memcpy(reference.data(), decoded.data(), decoded.size());

  ASSERT_EQ(SetSoundLoadType(2), 0);
  const int h = LoadSoundFile(Put("bgm.ogg", ogg).c_str(), 1, -1);
  ASSERT_EQ(SetSoundLoadType(0), 0);
  ASSERT_NE(h, -1);
  EXPECT_EQ(FindSoundRecord(h)->streamFlag, 1u);
  EXPECT_EQ(GetSoundTotalSample(h), static_cast<int>(reference.size() / 2));
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  const uint32_t frames = static_cast<uint32_t>(reference.size() / 2);
  std::vector<int16_t> out = RenderRefilling(frames);
  ASSERT_EQ(out.size(), reference.size());
  size_t firstDifference = 0;
  while (firstDifference < out.size() && out[firstDifference] == reference[firstDifference]) ++firstDifference;
  EXPECT_EQ(firstDifference, out.size()) << "first difference at sample " << firstDifference;
  EXPECT_EQ(GetSoundCurrentTime(h), GetSoundTotalTime(h));

  // Silence follows until the cursor has passed the end; then it stops.
  EXPECT_EQ(CheckSoundHandle(h), 1);
  std::vector<int16_t> tail = RenderRefilling(44100);
  EXPECT_EQ(tail[1000], 0);
  EXPECT_EQ(CheckSoundHandle(h), 0);
  EXPECT_EQ(FindSoundRecord(h)->streamActive, 0);
}

// A stream sound of a constant level, in one of its load types, played in
// the background on the manual device: 10 ms of output a step and a refill
// every third step (the sound thread's period) until the refills stop it.
// `last` is the output frame at which the play cursor has played its last
// sample, `edge` the frames on either side that mix the level with silence.
struct StreamEnd {
  uint64_t stoppedAt = 0;  // output frames rendered when a refill found it stopped; 0: it went on
  int16_t level = 0;       // the first output frame's left channel
  int64_t wrongAt = -1;    // the first output frame that was not the level before the end or silence after it
};

StreamEnd PlayStreamToItsEnd(const std::vector<uint8_t>& file, int32_t loadType, double last, double edge) {
  StreamEnd end;
  WriteFileBytes(TestScratchDir() + "/end.wav", file);
  EXPECT_EQ(SetSoundLoadType(loadType), 0);
  const int h = LoadSoundFile("end.wav", 1, -1);
  EXPECT_EQ(SetSoundLoadType(0), 0);
  EXPECT_NE(h, -1);
  EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
  std::vector<int16_t> block(441 * 2);
  const uint64_t limit = static_cast<uint64_t>(last) + 44100 * 2;
  for (uint64_t done = 0, step = 0; done <= limit; ++step) {
    if (step % 3 == 0) {
      UpdateStreamSounds();
      if (CheckSoundHandle(h) == 0) {
        end.stoppedAt = done;
        break;
      }
    }
    EXPECT_EQ(PlatformSoundRender(block.data(), 441), 0);
    if (done == 0) end.level = block[0];
    for (uint64_t i = 0; i < 441 && end.wrongAt < 0; ++i) {
      const double at = static_cast<double>(done + i);
      const int16_t left = block[i * 2];
      if ((at + edge < last && left != end.level) || (at > last + edge && left != 0))
        end.wrongAt = static_cast<int64_t>(done + i);
    }
    done += 441;
  }
  EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
  return end;
}

TEST_F(ManualDeviceTest, EveryStreamEndsWithinARefillOfItsLastSample) {
  // The refills find the end by the play cursor passing the end of the data
  // in the one-second ring. Lengths whose data ends just before the ring
  // wraps are the hard ones: a refill may never see the cursor between the
  // end and the wrap. Each format is swept over lengths from a refill's
  // travel and more short of each wrap to a little past it, with short
  // sounds that end within the first fill beside them.
  struct Format {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    std::vector<uint32_t> lengths;  // besides the sweep
  };
  const Format formats[] = {
      {2, 44100, 16, {132297}},
      {1, 22050, 16, {21950, 44000}},
      {1, 8000, 8, {}},
  };
  constexpr uint64_t kRefill = 1323;  // output frames between refills
  int run = 0;
  for (const Format& f : formats) {
    std::vector<uint32_t> lengths = f.lengths;
    for (uint32_t n : {1u, 100u, f.rate * 3 / 4 - 1, f.rate * 3 / 4, f.rate * 3 / 4 + 1}) lengths.push_back(n);
    // From a refill's travel (30 ms) short of the wrap to 1 ms past it.
    const int32_t from = -static_cast<int32_t>(f.rate * 3 / 100), to = static_cast<int32_t>(f.rate / 1000);
    for (uint32_t wrap : {f.rate, 2 * f.rate}) {
      for (int32_t i = 0; i <= 24; ++i)
        lengths.push_back(static_cast<uint32_t>(static_cast<int32_t>(wrap) + from + (to - from) * i / 24));
    }
    for (uint32_t frames : lengths) {
      const int32_t loadType = 2 + run++ % 2;
      SCOPED_TRACE(std::to_string(f.channels) + " channel(s), " + std::to_string(f.rate) + " Hz, " +
                   std::to_string(f.bits) + " bits, " + std::to_string(frames) + " frames, load type " +
                   std::to_string(loadType));
      std::vector<uint8_t> pcm;
      if (f.bits == 8) {
        pcm.assign(frames * f.channels, 0xC0);
      } else {
        pcm = Bytes(Constant(frames * f.channels, 4000));
      }
      // The output frame at which the cursor has played the last sample.
      const double last = static_cast<double>(frames) * 44100 / f.rate;
      const StreamEnd end =
          PlayStreamToItsEnd(MakeWave(f.channels, f.rate, f.bits, pcm), loadType, last, 44100.0 / f.rate + 1);
      if (end.stoppedAt == 0) {
        ADD_FAILURE() << "still playing two seconds after its last sample";
        continue;
      }
      EXPECT_GE(static_cast<double>(end.stoppedAt), last);
      EXPECT_LE(static_cast<double>(end.stoppedAt), last + kRefill);
      // Every sample was heard, and silence followed.
      EXPECT_NE(end.level, 0);
      EXPECT_EQ(end.wrongAt, -1);
    }
  }
  EXPECT_EQ(SoundHandleTable.count, 0u);
}

TEST_F(ManualDeviceTest, StreamLoopsRepeatsAndSourcesFollowOneAnother) {
  const std::vector<int16_t> a = Ramp(66150);  // 1.5 s
  std::vector<int16_t> b = Constant(30000, 1234);

  // Looped: seamless, for ever.
  const int loop = StreamFromMemory(Wave(a), 0);
  ASSERT_NE(loop, -1);
  ASSERT_EQ(PlaySoundHandle(loop, 3, 1), 0);
  std::vector<int16_t> out = LeftOf(RenderRefilling(44100 * 4));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], a[i % a.size()]) << i;
  ASSERT_EQ(StopSoundHandle(loop), 0);

  // Source a twice more (repeat count 2), then source b, then the end.
  const int seq = StreamFromMemory(Wave(a), 2);
  ASSERT_NE(seq, -1);
  const std::vector<uint8_t> second = Wave(b);
  ASSERT_EQ(AddStreamSoundMemory(second.data(), static_cast<uint32_t>(second.size()), 0, seq, 2, -1), 0);
  EXPECT_EQ(GetSoundTotalSample(seq), 66150 + 30000);
  ASSERT_EQ(PlaySoundHandle(seq, 1, 1), 0);
  out = LeftOf(RenderRefilling(66150 * 3 + 30000 + 2000));
  for (size_t i = 0; i < 66150 * 3; ++i) ASSERT_EQ(out[i], a[i % a.size()]) << i;
  for (size_t i = 66150 * 3; i < 66150 * 3 + 30000; ++i) ASSERT_EQ(out[i], 1234) << i;
  EXPECT_EQ(out[66150 * 3 + 30000 + 100], 0);

  // A fourth source, and a source of another format, are refused.
  const int three = StreamFromMemory(second, 0);
  ASSERT_EQ(AddStreamSoundMemory(second.data(), static_cast<uint32_t>(second.size()), 0, three, 2, -1), 0);
  ASSERT_EQ(AddStreamSoundMemory(second.data(), static_cast<uint32_t>(second.size()), 0, three, 2, -1), 0);
  EXPECT_EQ(AddStreamSoundMemory(second.data(), static_cast<uint32_t>(second.size()), 0, three, 2, -1), -1);
  const std::vector<uint8_t> other = Wave(b, 22050);
  const int mixed = StreamFromMemory(second, 0);
  EXPECT_EQ(AddStreamSoundMemory(other.data(), static_cast<uint32_t>(other.size()), 0, mixed, 2, -1), -1);
  const std::string log = Log();
  EXPECT_NE(log.find("ストリーム風サウンドの制御データ領域がいっぱいです"), std::string::npos);
  EXPECT_NE(log.find("フォーマットの違う音声データは同時に使うことは出来ません"), std::string::npos);
  EXPECT_NE(log.find("ＷＡＶファイルのストリームイメージのセットアップに失敗しました"), std::string::npos);
}

TEST_F(ManualDeviceTest, StreamStopResumesAndFromTopRestarts) {
  const std::vector<int16_t> a = Ramp(88200);  // 2 s
  const int h = StreamFromMemory(Wave(a), 0);
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  RenderRefilling(44100);
  ASSERT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(GetSoundCurrentTime(h), 1000);
  EXPECT_EQ(PlaySoundHandle(h, 1, 0), 0);
  EXPECT_EQ(PlaySoundHandle(h, 1, 0), -1);  // already playing: a stream sound says so
  std::vector<int16_t> out = LeftOf(RenderRefilling(441));
  EXPECT_EQ(out[0], a[44100]);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  out = LeftOf(RenderRefilling(441));
  EXPECT_EQ(out[0], a[0]);
  EXPECT_EQ(out[440], a[440]);
}

TEST_F(ManualDeviceTest, ASharedSourceStaysWhileItsUsersPlay) {
  const std::vector<int16_t> a = Ramp(88200);
  Put("a.wav", Wave(a));
  Put("b.wav", Wave(Constant(88200, 777)));
  ASSERT_EQ(SetSoundLoadType(2), 0);
  const int owner = LoadSoundFile("a.wav", 1, -1);
  const int user = LoadSoundFile("b.wav", 1, owner);
  const int second = LoadSoundFile("b.wav", 1, owner);
  ASSERT_EQ(SetSoundLoadType(0), 0);
  ASSERT_NE(owner, -1);
  ASSERT_NE(user, -1);
  ASSERT_NE(second, -1);
  EXPECT_EQ(FindSoundRecord(user)->shareSource, owner);
  EXPECT_EQ(FindSoundRecord(owner)->userCount, 2);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1 + 1);  // one stream buffer for all three

  ASSERT_EQ(PlaySoundHandle(owner, 3, 1), 0);
  RenderRefilling(4410);
  ASSERT_EQ(PlaySoundHandle(user, 3, 1), 0);  // takes the buffer over
  EXPECT_EQ(CheckSoundHandle(owner), 0);
  EXPECT_EQ(CheckSoundHandle(user), 1);
  EXPECT_EQ(LeftOf(RenderRefilling(4410))[100], 777);

  // The owner deleted while its users remain: it stays until the last goes.
  ASSERT_EQ(DeleteSoundHandle(owner, 0), 0);
  ASSERT_NE(FindSoundRecord(owner), nullptr);
  EXPECT_EQ(FindSoundRecord(owner)->deletePending, 1u);
  ASSERT_EQ(DeleteSoundHandle(second, 0), 0);
  ASSERT_NE(FindSoundRecord(owner), nullptr);
  EXPECT_EQ(FindSoundRecord(owner)->userCount, 1);
  EXPECT_EQ(LeftOf(RenderRefilling(44100))[40000], 777);
  EXPECT_EQ(CheckSoundHandle(user), 1);
  ASSERT_EQ(DeleteSoundHandle(user, 0), 0);
  EXPECT_EQ(FindSoundRecord(owner), nullptr);
  EXPECT_EQ(SoundHandleTable.count, 0u);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1);
}

TEST_F(ManualDeviceTest, DeleteAllWhileStreamsPlay) {
  const std::vector<uint8_t> file = Wave(Ramp(88200));
  const int a = StreamFromMemory(file, 0);
  const int b = StreamFromMemory(file, 255);
  const int c = LoadSoundFile(Put("c.wav", file).c_str(), 2, -1);
  ASSERT_NE(c, -1);
  ASSERT_EQ(PlaySoundHandle(a, 3, 1), 0);
  ASSERT_EQ(PlaySoundHandle(b, 1, 1), 0);
  ASSERT_EQ(PlaySoundHandle(c, 1, 1), 0);
  RenderRefilling(22050);
  ASSERT_EQ(DeleteAllSoundHandles(0), 0);
  EXPECT_EQ(SoundHandleTable.count, 0u);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 1);
  EXPECT_EQ(SoundStreamListHead.next, &SoundStreamListTail);
  EXPECT_EQ(UpdateStreamSounds(), 0);
  EXPECT_EQ(LeftOf(Render(100))[50], 0);
}

TEST_F(ManualDeviceTest, AFailedStreamBufferIsRefusedAndTheProgramGoesOn) {
  const std::vector<uint8_t> file = Wave(Ramp(1000));
  PlatformSetDirectSoundFaults(PlatformDsSecondaryOnce);
  EXPECT_EQ(StreamFromMemory(file, 0), -1);
  EXPECT_NE(Log().find("ストリーム風サウンドバッファの作成に失敗しました"), std::string::npos);
  EXPECT_EQ(SoundHandleTable.count, 0u);
  EXPECT_NE(StreamFromMemory(file, 0), -1);
}

TEST_F(ManualDeviceTest, EveryLinkOfAChainedOggPlaysInEveryLoadType) {
  // Two small links (a chain vorbisfile leaves standing at its last link).
  const std::vector<uint8_t> a = EncodeOgg(MakeWave(2, 44100, 16, Bytes(Tone(11025, 2, 44100, 1))), {"-s", "1"});
  const std::vector<uint8_t> b = EncodeOgg(MakeWave(2, 44100, 16, Bytes(Tone(5512, 2, 44100, 2))), {"-s", "2"});
  ASSERT_FALSE(a.empty() || b.empty()) << "oggenc missing or failed";
  std::vector<uint8_t> decoded = VorbisDecode(a), second = VorbisDecode(b);
  decoded.insert(decoded.end(), second.begin(), second.end());
  std::vector<int16_t> reference(decoded.size() / 2);
  memcpy(reference.data(), decoded.data(), decoded.size());
  std::vector<uint8_t> chain = a;
  chain.insert(chain.end(), b.begin(), b.end());
  Put("chain.ogg", chain);
  for (int32_t loadType : {0, 2, 3}) {
    ASSERT_EQ(SetSoundLoadType(loadType), 0);
    const int h = LoadSoundFile("chain.ogg", 1, -1);
    ASSERT_EQ(SetSoundLoadType(0), 0);
    ASSERT_NE(h, -1) << loadType;
    EXPECT_EQ(GetSoundTotalSample(h), 11025 + 5512) << loadType;
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = RenderRefilling(static_cast<uint32_t>(reference.size() / 2));
    ASSERT_EQ(out.size(), reference.size());
    size_t firstDifference = 0;
    while (firstDifference < out.size() && out[firstDifference] == reference[firstDifference]) ++firstDifference;
    EXPECT_EQ(firstDifference, out.size()) << "load type " << loadType << ": first difference at sample "
                                           << firstDifference;
    EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
  }
}

// The pages of an Ogg file up to (not with) the first page that carries
// samples: the file cut right after its headers.
std::vector<uint8_t> OggHeadersOnly(const std::vector<uint8_t>& ogg) {
  size_t at = 0;
  while (at + 27 <= ogg.size() && memcmp(&ogg[at], "OggS", 4) == 0) {
    int64_t granule = 0;
    memcpy(&granule, &ogg[at + 6], 8);
    if (granule > 0) break;
    const size_t segments = ogg[at + 26];
    size_t length = 27 + segments;
    for (size_t i = 0; i < segments && at + 27 + i < ogg.size(); ++i) length += ogg[at + 27 + i];
    at += length;
  }
  return std::vector<uint8_t>(ogg.begin(), ogg.begin() + static_cast<std::ptrdiff_t>(std::min(at, ogg.size())));
}

TEST_F(ManualDeviceTest, AStreamThatDeliversNothingEndsAsAnyOtherDoesOrIsRefused) {
  // A WAVE file with an empty data chunk opens and ends without a sample; an
  // Ogg Vorbis file cut after its headers gives no length and is refused.
  const std::vector<uint8_t> ogg = EncodeOgg(MakeWave(2, 44100, 16, Bytes(Tone(44100, 2, 44100))));
  ASSERT_FALSE(ogg.empty()) << "oggenc (vorbis-tools) is needed";
  Put("empty.wav", MakeWave(2, 44100, 16, {}));
  Put("cut.ogg", OggHeadersOnly(ogg));
  const struct {
    const char* file;
    int32_t loadType;
    bool plays;
  } cases[] = {{"empty.wav", 2, true}, {"empty.wav", 3, true}, {"cut.ogg", 2, false}, {"cut.ogg", 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ", load type " + std::to_string(c.loadType));
    const size_t logged = Log().size();
    ASSERT_EQ(SetSoundLoadType(c.loadType), 0);
    const int h = LoadSoundFile(c.file, 1, -1);
    ASSERT_EQ(SetSoundLoadType(0), 0);
    if (!c.plays) {
      EXPECT_EQ(h, -1);
      const std::string log = Log().substr(logged);
      EXPECT_NE(log.find("音声データのオープンに失敗しました"), std::string::npos);
      EXPECT_NE(log.find(std::string("右記のＷＡＶファイルのセットアップに失敗しました：") + c.file), std::string::npos);
      EXPECT_EQ(SoundHandleTable.count, 0u);
      continue;
    }
    ASSERT_NE(h, -1);
    EXPECT_EQ(FindSoundRecord(h)->streamFlag, 1u);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = RenderRefilling(22050);
    EXPECT_EQ(out[20000], 0);
    EXPECT_EQ(CheckSoundHandle(h), 0);
    EXPECT_EQ(FindSoundRecord(h)->streamActive, 0);
    // Played again, it ends again.
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    RenderRefilling(22050);
    EXPECT_EQ(CheckSoundHandle(h), 0);
    EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
  }
  EXPECT_EQ(SoundHandleTable.count, 0u);
}

TEST_F(NullDeviceTest, ASourceRefusedOnAnOpenFileLeavesTheFileToItsCaller) {
  // Three channels: no stream buffer takes them.
  Put("three.wav", MakeWave(3, 22050, 16, Bytes(Tone(2205, 3, 22050))));
  Put("mono.wav", MakeWave(1, 22050, 16, Bytes(Tone(2205, 1, 22050))));
  Put("stereo.wav", MakeWave(2, 22050, 16, Bytes(Tone(2205, 2, 22050))));
  // The plain-disk set frees a file's record as it closes.
  ArchiveSupportOff = 1;
  SetFileFunctionTable(nullptr);
  ASSERT_EQ(SetSoundLoadType(3), 0);
  EXPECT_EQ(LoadSoundFile("three.wav", 1, -1), -1);
  ASSERT_EQ(SetSoundLoadType(0), 0);
  // A second source of another format on its open file.
  const int h = AddSoundData();
  ASSERT_NE(h, -1);
  ASSERT_EQ(AddStreamSoundFile("mono.wav", 0, h, 3, -1), 0);
  EXPECT_EQ(AddStreamSoundFile("stereo.wav", 0, h, 3, -1), -1);
  EXPECT_EQ(FindSoundRecord(h)->sourceCount, 1);
  EXPECT_EQ(DeleteSoundHandle(h, 0), 0);
  ArchiveSupportOff = 0;
  SetFileFunctionTable(nullptr);
  const std::string log = Log();
  EXPECT_NE(log.find("右記のＷＡＶファイルのセットアップに失敗しました：three.wav"), std::string::npos);
  EXPECT_NE(log.find("フォーマットの違う音声データは同時に使うことは出来ません"), std::string::npos);
  EXPECT_NE(log.find("右記のＷＡＶファイルのセットアップに失敗しました：stereo.wav"), std::string::npos);
  EXPECT_EQ(SoundHandleTable.count, 0u);
}

TEST(TempFiles, EachCallMakesANewFileInTheTemporaryFolder) {
  TempDir dir;
  const char* old = getenv("TMPDIR");
  std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", dir.path().c_str(), 1);  // no trailing slash
  char first[MAX_PATH], second[MAX_PATH];
  HANDLE a = CreateTempFile(first);
  HANDLE b = CreateTempFile(second);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  EXPECT_STRNE(first, second);
  EXPECT_EQ(std::string(first, 3), "C:\\");
  const std::string host = dir.path() + "/";
  std::string name(first);
  EXPECT_EQ(name.find(HostPathToWindows(host)), 0u) << name;
  EXPECT_NE(name.find("\\tmp"), std::string::npos);
  DWORD wrote = 0;
  EXPECT_TRUE(WriteFile(a, "abc", 3, &wrote, nullptr));
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_EQ(ReadFileBytes(MapPathToHost(first)).size(), 3u);
  EXPECT_TRUE(DeleteFileA(first));
  EXPECT_TRUE(DeleteFileA(second));
  HANDLE unnamed = CreateTempFile(nullptr);
  EXPECT_NE(unnamed, INVALID_HANDLE_VALUE);
  CloseHandle(unnamed);
  if (old != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
