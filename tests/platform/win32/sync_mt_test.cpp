#include <gtest/gtest.h>

#include <atomic>

#include "platform/win32/win32.h"

namespace {

TEST(Events, ManualResetStaysSignalledAutoResetReleasesOne) {
  HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 5), WAIT_TIMEOUT);

  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(manual));
  EXPECT_TRUE(CloseHandle(automatic));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

struct Handshake {
  HANDLE go;
  HANDLE done;
  std::atomic<int> value{0};
};

DWORD Worker(LPVOID p) {
  auto* h = static_cast<Handshake*>(p);
  WaitForSingleObject(h->go, INFINITE);
  h->value.store(42);
  SetEvent(h->done);
  return 7;
}

TEST(Threads, ExitCodeStillActiveAndSuspendedStart) {
  Handshake h;
  h.go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  h.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  int before = PlatformLiveThreadCount();
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Worker, &h, CREATE_SUSPENDED, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(PlatformLiveThreadCount(), before + 1);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  SetEvent(h.go);
  // Suspended: the event is set but the thread has not run.
  EXPECT_EQ(WaitForSingleObject(h.done, 20), WAIT_TIMEOUT);
  ResumeThread(thread);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(h.value.load(), 42);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(PlatformLiveThreadCount(), before);
  CloseHandle(thread);
  CloseHandle(h.go);
  CloseHandle(h.done);
}

struct Counter {
  CRITICAL_SECTION section;
  long value = 0;
};

DWORD Increment(LPVOID p) {
  auto* c = static_cast<Counter*>(p);
  for (int i = 0; i < 20000; ++i) {
    EnterCriticalSection(&c->section);
    EnterCriticalSection(&c->section);  // re-entrant
    ++c->value;
    LeaveCriticalSection(&c->section);
    LeaveCriticalSection(&c->section);
  }
  return 0;
}

TEST(CriticalSections, RecursiveAndExclusive) {
  Counter c;
  InitializeCriticalSection(&c.section);
  HANDLE threads[4];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, Increment, &c, 0, nullptr);
  for (HANDLE t : threads) {
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    CloseHandle(t);
  }
  EXPECT_EQ(c.value, 80000);
  DeleteCriticalSection(&c.section);
}

TEST(Threads, HandleClosedWhileRunning) {
  Handshake h;
  h.go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  h.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, Worker, &h, 0, nullptr);
  CloseHandle(thread);  // the thread goes on without its handle
  SetEvent(h.go);
  EXPECT_EQ(WaitForSingleObject(h.done, 5000), WAIT_OBJECT_0);
  while (PlatformLiveThreadCount() != 0) Sleep(1);
  CloseHandle(h.go);
  CloseHandle(h.done);
}

}  // namespace
