// Sound handle tests: the sound module started on its own (COM, the
// virtual clock, no sound thread unless asked for) over the null device, or
// the manual device when the test mixes the output itself.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/core/memory.h"
#include "library/core/system_report.h"
#include "library/sound/sound_handle.h"
#include "platform/win32/win32.h"
#include "tests/sound/sound_media.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

class SoundModuleTest : public ScratchLogTest {
 protected:
  // Set before SetUp runs (in the test class's constructor).
  bool manualDevice_ = false;
  bool soundThread_ = false;

  void SetUp() override {
    ScratchLogTest::SetUp();
    PlatformUseVirtualClock(true, 1000000);
    CoInitialize(nullptr);
    PlatformSoundUseManualClock(manualDevice_);
    ProcessorCount = soundThread_ ? 2 : 1;
    blocks_ = TrackedBlockCount();
    ASSERT_EQ(InitSoundSystem(), 0);
  }
  void TearDown() override {
    EndSoundSystem();
    EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    PlatformSetDirectSoundFaults(0);
    PlatformSoundUseManualClock(false);
    CoUninitialize();
    SetSoundDecoderSkipMask(0);
    PlatformUseVirtualClock(false);
    ScratchLogTest::TearDown();
  }

  // A file in the working folder (the scratch directory); the name to load it by.
  static std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFileBytes(TestScratchDir() + "/" + name, bytes);
    return name;
  }

  // The next frames of the manual device (16-bit stereo at 44.1 kHz).
  static std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    EXPECT_EQ(PlatformSoundRender(out.data(), frames), 0);
    return out;
  }

  // Plays the output in steps of 10 ms, refilling the stream sounds every
  // third step as the sound thread would, until `frames` are out.
  static std::vector<int16_t> RenderRefilling(uint32_t frames) {
    std::vector<int16_t> out;
    for (uint32_t done = 0, step = 0; done < frames; ++step) {
      if (step % 3 == 0) UpdateStreamSounds();
      uint32_t n = std::min<uint32_t>(441, frames - done);
      std::vector<int16_t> part = Render(n);
      out.insert(out.end(), part.begin(), part.end());
      done += n;
    }
    return out;
  }

  static uint32_t NowMs() { return timeGetTime(); }

  int32_t blocks_ = 0;
};

// A stream sound from a file image in memory (load type 2) with a repeat
// count, prepared as the loaders prepare theirs; -1 when refused.
inline int StreamFromMemory(const std::vector<uint8_t>& file, int32_t repeat) {
  const int h = AddSoundData();
  if (h == -1) return -1;
  if (AddStreamSoundMemory(file.data(), static_cast<uint32_t>(file.size()), repeat, h, 2, -1) != 0 ||
      PrepareStreamSound(h) != 0) {
    DeleteSoundHandle(h, 0);
    return -1;
  }
  return h;
}

// Left channel of interleaved stereo.
inline std::vector<int16_t> LeftOf(const std::vector<int16_t>& stereo) {
  std::vector<int16_t> left(stereo.size() / 2);
  for (size_t i = 0; i < left.size(); ++i) left[i] = stereo[i * 2];
  return left;
}
