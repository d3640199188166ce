#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "library/core/lock.h"
#include "platform/win32/win32.h"

namespace {

// Polls until the predicate holds (the threads below reach their wait).
template <typename Predicate>
void WaitUntil(Predicate done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(LibraryLock, HolderNeedsAsManyLeavesAsEnters) {
  EnterLibraryLock();
  EnterLibraryLock();
  EnterLibraryLock();
  std::atomic<bool> got{false};
  std::thread other([&] {
    EnterLibraryLock();
    got = true;
    LeaveLibraryLock();
  });
  WaitUntil([] { return LibraryLockWaitingCount() == 1; });
  LeaveLibraryLock();
  LeaveLibraryLock();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(got.load());  // still held once
  EXPECT_EQ(LibraryLockWaitingCount(), 1);
  LeaveLibraryLock();
  other.join();
  EXPECT_TRUE(got.load());
  DestroyLibraryLock();
}

// Threads that queue one after another are served in that order, and a
// newcomer that finds the lock free while others wait queues behind them.
TEST(LibraryLock, FirstInFirstOutHandOver) {
  std::mutex orderMutex;
  std::vector<int> order;
  EnterLibraryLock();
  auto worker = [&](int id) {
    EnterLibraryLock();
    {
      std::lock_guard<std::mutex> g(orderMutex);
      order.push_back(id);
    }
    LeaveLibraryLock();
  };
  std::vector<std::thread> threads;
  for (int id = 1; id <= 3; ++id) {
    threads.emplace_back(worker, id);
    // Each thread queues before the next starts.
    WaitUntil([&] { return LibraryLockWaitingCount() == id; });
  }
  LeaveLibraryLock();
  for (std::thread& t : threads) t.join();
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], 1);
  EXPECT_EQ(order[1], 2);
  EXPECT_EQ(order[2], 3);
  DestroyLibraryLock();
}

TEST(LibraryLock, MutualExclusionUnderStress) {
  constexpr int kThreads = 6, kRounds = 2000;
  long counter = 0;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        EnterLibraryLock();
        if (i % 3 == 0) EnterLibraryLock();
        if (inside.fetch_add(1) != 0) overlap = true;
        ++counter;
        inside.fetch_sub(1);
        if (i % 3 == 0) LeaveLibraryLock();
        LeaveLibraryLock();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  DestroyLibraryLock();
}

TEST(LibraryLock, FirstUseFromManyThreadsAtOnce) {
  // The lock is created by whichever thread arrives first, exactly once.
  for (int round = 0; round < 5; ++round) {
    std::atomic<bool> go{false};
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        while (!go.load()) {
        }
        EnterLibraryLock();
        ++counter;
        LeaveLibraryLock();
      });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 4);
    DestroyLibraryLock();
  }
}

}  // namespace
