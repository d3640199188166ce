// Sound inside the library: started and ended with it on a host without an
// audio device, and stream sounds refilled by the message pump when there is
// no sound thread (one processor).
#include <gtest/gtest.h>

#include "library/core/system_report.h"
#include "library/sound/sound_handle.h"
#include "tests/core/library_fixture.h"
#include "tests/sound/sound_media.h"
#include "tests/support/test_support.h"

namespace {

using namespace sound_media;

TEST_F(LibraryTest, SoundStartsAndEndsWithTheLibraryOnTheNullDevice) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_NE(DirectSoundObject, nullptr);
  EXPECT_STREQ(PlatformSoundDeviceName(), "null");
  EXPECT_EQ(SoundThreadRunning(), ProcessorCount > 1);
  const int threads = PlatformLiveThreadCount();
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(DirectSoundObject, nullptr);
  EXPECT_FALSE(SoundThreadRunning());
  EXPECT_EQ(PlatformLiveThreadCount(), threads - (ProcessorCount > 1 ? 1 : 0));
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
}

TEST_F(LibraryTest, OnOneProcessorThePumpRefillsStreamSounds) {
  ASSERT_EQ(InitLibrary(), 0);
  // One processor: sound starts again without its thread.
  ASSERT_EQ(EndSoundSystem(), 0);
  ProcessorCount = 1;
  ASSERT_EQ(InitSoundSystem(), 0);
  ASSERT_FALSE(SoundThreadRunning());

  // Three seconds: three times the stream buffer.
  WriteFileBytes(TestScratchDir() + "/long.wav", MakeWave(1, 22050, 16, Bytes(Tone(22050 * 3, 1, 22050))));
  ASSERT_EQ(SetSoundLoadType(2), 0);
  const int h = LoadSoundFile("long.wav", 1, -1);
  ASSERT_NE(h, -1);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  const uint32_t start = timeGetTime();
  int32_t at2500 = -1;
  uint32_t ended = 0;
  while (timeGetTime() - start < 5000) {
    ASSERT_EQ(ProcessWindowMessages(), 0);
    Sleep(10);  // ten milliseconds of the virtual clock a frame
    const uint32_t now = timeGetTime() - start;
    if (at2500 < 0 && now >= 2500) at2500 = GetSoundCurrentTime(h);
    if (CheckSoundHandle(h) == 0) {
      ended = now;
      break;
    }
  }
  EXPECT_NEAR(at2500, 2500, 40);
  // The data ran out at three seconds: the sound stopped once the cursor had
  // passed its end, which only refills could bring about.
  EXPECT_GE(ended, 3000u);
  EXPECT_LE(ended, 3400u);
}

}  // namespace
