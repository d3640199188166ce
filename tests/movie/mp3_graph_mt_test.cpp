// MP3 through a DirectShow graph, the sound decoder's last format: MP3 data
// the frame decoder refuses (MPEG-2.5, whose sync it does not know) becomes
// the PCM libmpg123 decodes, through the memory reader, the graph's MPEG
// parser and decoder and the sample grabber; the PCM block grows in 1 MB
// steps; data that is no MPEG audio, and a window closed during the
// conversion, end it with their log lines.
#include <gtest/gtest.h>

#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/win32.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

namespace {

using namespace sound_media;

// 8 kHz is MPEG-2.5 for lame; 8 kbit/s makes its PCM more than ten times
// larger than the MP3.
std::vector<uint8_t> Mpeg25Mp3() {
  return EncodeMp3(MakeWave(1, 8000, 16, Bytes(Tone(8000 * 3, 1, 8000))), {"-b", "8"});
}

class Mp3GraphTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    CoInitialize(nullptr);
    MainWindowClosed = 0;  // a library ended before leaves it set
    blocks_ = TrackedBlockCount();
    objects_ = PlatformLiveDShowObjectCount();
    threads_ = PlatformLiveThreadCount();
  }
  void TearDown() override {
    SetSoundDecoderSkipMask(0);
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    EXPECT_EQ(PlatformLiveDShowObjectCount(), objects_);
    EXPECT_EQ(PlatformLiveThreadCount(), threads_);
    CoUninitialize();
    ScratchLogTest::TearDown();
  }

 private:
  int32_t blocks_ = 0;
  int objects_ = 0, threads_ = 0;
};

TEST_F(Mp3GraphTest, AnMp3TheFrameDecoderRefusesBecomesThePcmLibmpg123Decodes) {
  const std::vector<uint8_t> mp3 = Mpeg25Mp3();
  REQUIRE_ENCODED(mp3);
  long rate = 0;
  int channels = 0;
  const std::vector<uint8_t> reference = Mpg123Decode(mp3, &rate, &channels);
  ASSERT_EQ(rate, 8000);
  ASSERT_GT(reference.size(), 10 * mp3.size());

  // Without the graph nothing takes it.
  SetSoundDecoderSkipMask(SoundSkipDirectShowMp3);
  EXPECT_FALSE(MemoryDecoder(mp3).ok());
  SetSoundDecoderSkipMask(0);

  MemoryDecoder d(mp3);
  ASSERT_TRUE(d.ok()) << SjisForPrint(Log());
  const SoundDecoder* s = d.get();
  EXPECT_EQ(s->kind, SoundDecoderPcmMemory);
  EXPECT_EQ(s->format.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(s->format.nChannels, 1);
  EXPECT_EQ(s->format.nSamplesPerSec, 8000u);
  EXPECT_EQ(s->format.wBitsPerSample, 16);
  EXPECT_EQ(s->format.nBlockAlign, 2);
  EXPECT_EQ(s->format.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(s->bufferSize, 16000u);  // one second
  EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), reference.size());
  // Ten times the MP3's size first, then 1 MB more.
  EXPECT_EQ(s->pcmCapacity, 10 * mp3.size() + 1048576);
  EXPECT_TRUE(d.Whole() == reference);
  SeekSoundDecoder(d.get(), 0);
  EXPECT_TRUE(d.ReadAll(1000) == reference);
  EXPECT_EQ(Log(), "");
}

TEST_F(Mp3GraphTest, DataThatIsNoMpegAudioFailsToBuildTheGraph) {
  // A WAVE file with a chunk before its format: no other decoder takes it,
  // and its samples hold no MPEG sync.
  std::vector<uint8_t> pcm(8000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(0x10 + i * 7 % 0x60);
  const std::vector<uint8_t> wave =
      Riff({Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("fmt ", FormatBody(1, 1, 8000, 16, 2)), Chunk("data", pcm)});
  MemoryDecoder d(wave);
  EXPECT_FALSE(d.ok());
  EXPECT_NE(Log().find("グラフの構築に失敗しました"), std::string::npos) << SjisForPrint(Log());
}

TEST_F(Mp3GraphTest, AWindowClosedDuringTheConversionEndsIt) {
  const std::vector<uint8_t> mp3 = Mpeg25Mp3();
  REQUIRE_ENCODED(mp3);
  MainWindowClosed = 1;
  MemoryDecoder d(mp3);
  MainWindowClosed = 0;
  EXPECT_FALSE(d.ok());
  EXPECT_NE(Log().find("MP3変換の途中でソフトが終了しました"), std::string::npos) << SjisForPrint(Log());
}

}  // namespace
