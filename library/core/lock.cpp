#include "library/core/lock.h"

#include <atomic>
#include <mutex>

#include "platform/win32/win32.h"

namespace {

constexpr int kMaxWaiters = 4096;
constexpr DWORD kFree = 0xFFFFFFFFu;

struct Waiter {
  DWORD threadId;
  HANDLE event;
};

struct LibraryLockState {
  int32_t nesting = 0;
  int32_t held = 0;
  DWORD holder = kFree;
  Waiter waiters[kMaxWaiters] = {};
  std::atomic<int32_t> initialised{0};
  int32_t waitingCount = 0;
  CRITICAL_SECTION guard;
};

LibraryLockState LibraryLock;

// Creation and destruction are serialised, so two threads that both arrive
// first never create the events twice.
std::mutex& CreationMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

void CreateLockIfNeeded() {
  if (LibraryLock.initialised.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> creation(CreationMutex());
  if (LibraryLock.initialised.load(std::memory_order_relaxed)) return;
  for (Waiter& w : LibraryLock.waiters) {
    w.threadId = 0;
    w.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  InitializeCriticalSection(&LibraryLock.guard);
  LibraryLock.nesting = 0;
  LibraryLock.held = 0;
  LibraryLock.holder = kFree;
  LibraryLock.waitingCount = 0;
  LibraryLock.initialised.store(1, std::memory_order_release);
}

// Takes the lock for the calling thread; the guard is held on entry and left here.
void TakeLock(DWORD self, bool dequeue) {
  LibraryLockState& l = LibraryLock;
  if (dequeue) {
    HANDLE first = l.waiters[0].event;
    if (l.waitingCount > 1) {
      for (int i = 0; i < l.waitingCount - 1; ++i) l.waiters[i] = l.waiters[i + 1];
      l.waiters[l.waitingCount - 1] = {0, first};
    } else {
      l.waiters[0].threadId = 0;
    }
    --l.waitingCount;
  }
  ++l.nesting;
  l.held = 1;
  l.holder = self;
  LeaveCriticalSection(&l.guard);
}

}  // namespace

void EnterLibraryLock() {
  CreateLockIfNeeded();
  LibraryLockState& l = LibraryLock;
  DWORD self = GetCurrentThreadId();
  for (;;) {
    EnterCriticalSection(&l.guard);
    if (!l.held) {
      if (l.waitingCount == 0) {
        TakeLock(self, false);
        return;
      }
      if (l.waiters[0].threadId == self) {
        TakeLock(self, true);
        return;
      }
    } else if (l.holder == self) {
      TakeLock(self, false);
      return;
    }
    if (l.waitingCount < kMaxWaiters) {
      // Queue at the end and wait on that entry's event; the event moves with
      // the entry as the queue shifts, so it stays this thread's.
      Waiter& entry = l.waiters[l.waitingCount];
      entry.threadId = self;
      HANDLE event = entry.event;
      ++l.waitingCount;
      LeaveCriticalSection(&l.guard);
      WaitForSingleObject(event, INFINITE);
      ResetEvent(event);
    } else {
      LeaveCriticalSection(&l.guard);
      Sleep(1);
    }
  }
}

void LeaveLibraryLock() {
  LibraryLockState& l = LibraryLock;
  EnterCriticalSection(&l.guard);
  bool wake = false;
  if (l.nesting == 1) {
    l.held = 0;
    l.holder = kFree;
    wake = l.waitingCount > 0;
  }
  --l.nesting;
  HANDLE next = wake ? l.waiters[0].event : nullptr;
  LeaveCriticalSection(&l.guard);
  if (wake) {
    SetEvent(next);
    Sleep(0);
  }
}

int LibraryLockWaitingCount() {
  if (!LibraryLock.initialised.load(std::memory_order_acquire)) return 0;
  EnterCriticalSection(&LibraryLock.guard);
  int count = LibraryLock.waitingCount;
  LeaveCriticalSection(&LibraryLock.guard);
  return count;
}

bool LibraryLockHeldByCaller() {
  if (!LibraryLock.initialised.load(std::memory_order_acquire)) return false;
  EnterCriticalSection(&LibraryLock.guard);
  bool mine = LibraryLock.held && LibraryLock.holder == GetCurrentThreadId();
  LeaveCriticalSection(&LibraryLock.guard);
  return mine;
}

void DestroyLibraryLock() {
  std::lock_guard<std::mutex> creation(CreationMutex());
  if (!LibraryLock.initialised.load(std::memory_order_acquire)) return;
  LibraryLock.initialised.store(0, std::memory_order_release);
  for (Waiter& w : LibraryLock.waiters) {
    CloseHandle(w.event);
    w = {0, nullptr};
  }
  DeleteCriticalSection(&LibraryLock.guard);
}
