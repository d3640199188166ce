// The sound thread refilling stream sounds while the game thread plays,
// stops, measures and deletes them, and an output thread mixing meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "library/core/main_window.h"
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
  EXPECT_EQ(Log().find("サウンドスレッドの終了を待っています"), std::string::npos);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}

TEST_F(SoundThreadTest, ShutDownWaitsForAThreadThatIsLateAndFreesOnlyThen) {
  const std::vector<uint8_t> file = MakeWave(1, 22050, 16, Bytes(Tone(30000, 1, 22050)));
  const int h = StreamFromMemory(file, 255);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  const int threads = PlatformLiveThreadCount();
  // Another thread holds the sound lock, so the sound thread cannot answer
  // the stop request within the shut-down's wait; it lets go once the
  // shut-down has logged that it goes on waiting (or, without that line,
  // that it gave up).
  std::atomic<bool> held{false};
  std::thread holder([&] {
    EnterCriticalSection(&SoundLock);
    held.store(true);
    for (;;) {
      const std::string log = Log();
      if (log.find("サウンドスレッドの終了を待っています") != std::string::npos ||
          log.find("サウンドスレッドが終了しませんでした") != std::string::npos) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    LeaveCriticalSection(&SoundLock);
  });
  while (!held.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // the sound thread now waits for the lock
  ASSERT_EQ(EndSoundSystem(), 0);
  holder.join();
  // The thread had ended before anything it uses was freed.
  EXPECT_FALSE(SoundThreadRunning());
  EXPECT_EQ(PlatformLiveThreadCount(), threads - 1);
  EXPECT_NE(Log().find("サウンドスレッドの終了を待っています"), std::string::npos);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}

}  // namespace
