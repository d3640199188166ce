// The sound thread refilling stream sounds while the game thread plays,
// stops, measures and deletes them, and an output thread mixing meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "library/core/main_window.h"
#include "library/file/memory_stream.h"
#include "tests/sound/sound_module_fixture.h"

namespace {

using namespace sound_media;

class SoundThreadTest : public SoundModuleTest {
 public:
  SoundThreadTest() {
    manualDevice_ = true;
    soundThread_ = true;
  }
};

// Mixes the manual device as an audio callback would, about in real time,
// until told to stop.
class OutputThread {
 public:
  OutputThread()
      : thread_([this] {
          std::vector<int16_t> block(441 * 2);
          while (!stop_.load()) {
            PlatformSoundRender(block.data(), 441);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        }) {}
  ~OutputThread() {
    stop_.store(true);
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(SoundThreadTest, TheGameThreadWorksOnStreamsWhileTheyAreRefilled) {
  ASSERT_TRUE(SoundThreadRunning());
  const std::vector<uint8_t> file = MakeWave(2, 44100, 16, Bytes(Tone(30000, 2, 44100)));
  const std::vector<uint8_t> shortFile = MakeWave(1, 22050, 16, Bytes(Tone(3000, 1, 22050)));
  OutputThread output;
  int streams[3] = {StreamFromMemory(file, 0), StreamFromMemory(file, 255), StreamFromMemory(shortFile, 2)};
  const int buffered = CreateSoundFromMemory(shortFile.data(), static_cast<uint32_t>(shortFile.size()), 3, -1);
  for (int h : streams) ASSERT_NE(h, -1);
  ASSERT_NE(buffered, -1);
  for (int round = 0; round < 40; ++round) {
    const int h = streams[round % 3];
    const int fromTop = round % 4 == 0 ? 0 : 1;
    const int played = PlaySoundHandle(h, round % 2 == 0 ? 3 : 1, fromTop);
    if (fromTop) {
      ASSERT_EQ(played, 0);  // from where it is: -1 while it already plays
    }
    PlaySoundHandle(buffered, 1, 1);
    EXPECT_GE(CheckSoundHandle(h), 0);
    EXPECT_GE(GetSoundCurrentTime(h), 0);
    SetSoundHandleVolume(round * 6, h);
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
    if (round % 5 == 4) StopSoundHandle(h);
    if (round % 9 == 8) {
      ASSERT_EQ(DeleteSoundHandle(h, 0), 0);
      streams[round % 3] = StreamFromMemory(round % 2 ? file : shortFile, round % 3);
      ASSERT_NE(streams[round % 3], -1);
    }
  }
  for (int h : streams) PlaySoundHandle(h, 3, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(DeleteAllSoundHandles(0), 0);
  EXPECT_EQ(SoundHandleTable.count, 0u);
}

TEST_F(SoundThreadTest, ShutDownJoinsTheThreadEvenWithTheWindowClosed) {
  const std::vector<uint8_t> file = MakeWave(1, 22050, 16, Bytes(Tone(30000, 1, 22050)));
  const int h = StreamFromMemory(file, 255);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  const int threads = PlatformLiveThreadCount();
  MainWindowClosed = 1;  // the pump already reports the window closed
  ASSERT_EQ(EndSoundSystem(), 0);
  MainWindowClosed = 0;
  EXPECT_FALSE(SoundThreadRunning());
  EXPECT_EQ(PlatformLiveThreadCount(), threads - 1);
  EXPECT_EQ(Log().find("サウンドスレッドが終了しませんでした"), std::string::npos);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}

// A stream over a file image whose reads, once armed, hold up the first
// thread other than the test's own that reads it, until it is let go or
// `deadline` has passed: the sound thread inside a refill that does not
// come back (holding the sound lock all the while).
struct StuckReads {
  static inline std::atomic<bool> armed{false}, stuck{false}, letGo{false}, deadlinePassed{false};
  static inline std::chrono::milliseconds deadline{0};
  static inline std::atomic<DWORD> tester{0};

  static void Arm(std::chrono::milliseconds after) {
    deadline = after;
    tester.store(GetCurrentThreadId());
    stuck.store(false);
    letGo.store(false);
    deadlinePassed.store(false);
    armed.store(true);
  }
  static uint32_t Read(void* buffer, uint32_t size, uint32_t count, uintptr_t stream) {
    if (GetCurrentThreadId() != tester.load() && armed.exchange(false)) {
      stuck.store(true);
      const auto until = std::chrono::steady_clock::now() + deadline;
      while (!letGo.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      deadlinePassed.store(!letGo.load());
    }
    return GetMemoryStreamInterface()->Read(buffer, size, count, stream);
  }
  // A stream sound over the image, decoded from this stream (load type 3),
  // played looping: a source of a few frames, so every other refill reads
  // the stream again.
  static int PlayLooping(const std::vector<uint8_t>& image) {
    StreamInterface reads = *GetMemoryStreamInterface();
    reads.Read = Read;
    MemoryStream* stream = OpenMemoryStream(image.data(), static_cast<uint32_t>(image.size()));
    const int h = AddSoundData();
    int32_t copied = -1;
    if (stream == nullptr || h == -1 ||
        AddSreamSound(&reads, reinterpret_cast<uintptr_t>(stream), 255, h, 3, &copied, -1) != 0 || copied != 0 ||
        PrepareStreamSound(h) != 0 || PlaySoundHandle(h, 3, 1) != 0) {
      return -1;
    }
    return h;
  }
  // Waits until the sound thread is held up; false after five seconds.
  static bool WaitUntilStuck() {
    for (int i = 0; i < 5000 && !stuck.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return stuck.load();
  }
};

TEST_F(SoundThreadTest, ShutDownWaitsForALateThreadAndFreesOnlyAfterIt) {
  const std::vector<uint8_t> image = MakeWave(1, 22050, 16, Bytes(Tone(100, 1, 22050)));
  ASSERT_NE(StuckReads::PlayLooping(image), -1);
  const int threads = PlatformLiveThreadCount();
  // The refill comes back after a tenth of a second, well within the
  // shut-down's wait.
  StuckReads::Arm(std::chrono::milliseconds(100));
  ASSERT_TRUE(StuckReads::WaitUntilStuck());
  ASSERT_EQ(EndSoundSystem(), 0);
  EXPECT_TRUE(StuckReads::deadlinePassed.load());
  EXPECT_FALSE(SoundThreadRunning());
  EXPECT_EQ(PlatformLiveThreadCount(), threads - 1);
  EXPECT_EQ(DirectSoundObject, nullptr);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
  EXPECT_EQ(Log().find("サウンドスレッドが終了しませんでした"), std::string::npos);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}

TEST_F(SoundThreadTest, ShutDownGoesOnWithoutAThreadThatDoesNotStopAndLeavesItsWorkAlone) {
  const std::vector<uint8_t> image = MakeWave(1, 22050, 16, Bytes(Tone(100, 1, 22050)));
  const int h = StuckReads::PlayLooping(image);
  ASSERT_NE(h, -1);
  const int threads = PlatformLiveThreadCount();
  const int buffers = PlatformLiveSoundBufferCount();
  const int32_t blocks = TrackedBlockCount();
  // The refill does not come back within the shut-down's wait (the read
  // gives up on its own after ten seconds).
  StuckReads::Arm(std::chrono::milliseconds(10000));
  ASSERT_TRUE(StuckReads::WaitUntilStuck());
  EXPECT_EQ(EndSoundSystem(), -1);
  EXPECT_FALSE(StuckReads::deadlinePassed.load()) << "the shut-down waited until the refill came back";
  EXPECT_NE(Log().find("サウンドスレッドが終了しませんでした"), std::string::npos);
  EXPECT_EQ(Log().find("DirectSound の終了処理は正常に終了しました"), std::string::npos);
  // Everything the refill works on is as it was: the module, the sound and
  // its stream, the buffers and the memory.
  EXPECT_TRUE(SoundThreadRunning());
  EXPECT_NE(DirectSoundObject, nullptr);
  EXPECT_NE(FindSoundRecord(h), nullptr);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), buffers);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  // Let go, the refill ends, the thread answers the stop request that stood
  // and goes; a shut-down now ends the module.
  StuckReads::letGo.store(true);
  for (int i = 0; i < 5000 && PlatformLiveThreadCount() != threads - 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(PlatformLiveThreadCount(), threads - 1);
  ASSERT_EQ(EndSoundSystem(), 0);
  EXPECT_FALSE(SoundThreadRunning());
  EXPECT_EQ(DirectSoundObject, nullptr);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}

}  // namespace
