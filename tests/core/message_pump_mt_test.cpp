#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/core/library_fixture.h"

namespace {

// An inactive program stays inside the pump until another thread's message
// activates it.
TEST_F(LibraryTest, InactivePumpWaitsForActivationFromAnotherThread) {
  PlatformUseVirtualClock(false);
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  SendMessageA(MainHwnd, WM_ACTIVATEAPP, 0, 0);
  ASSERT_EQ(AppActive, 0);
  std::atomic<bool> posted{false};
  std::thread activator([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    posted = true;
    PostMessageA(MainHwnd, WM_ACTIVATEAPP, 1, 0);
  });
  EXPECT_EQ(ProcessWindowMessages(), 0);
  EXPECT_TRUE(posted);
  EXPECT_EQ(AppActive, 1);
  activator.join();
}

}  // namespace
