#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32/kernel_object.h"
#include "platform/win32/win32_sync.h"

KernelObject* KernelObjectFromHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return static_cast<KernelObject*>(handle);
}

HANDLE HandleFromKernelObject(KernelObject* object) { return static_cast<HANDLE>(object); }

BOOL CloseHandle(HANDLE handle) {
  KernelObject* object = KernelObjectFromHandle(handle);
  if (object == nullptr) return FALSE;
  delete object;
  return TRUE;
}

// ---------------------------------------------------------------- critical sections

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  section->impl = new std::recursive_mutex();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete static_cast<std::recursive_mutex*>(section->impl);
  section->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->impl)->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

// ---------------------------------------------------------------- waiting

namespace {

// Waits on the condition until the predicate holds or the time runs out.
template <typename Predicate>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD milliseconds,
             Predicate ready) {
  if (milliseconds == INFINITE) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

struct EventObject final : KernelObject {
  std::mutex mutex;
  std::condition_variable cv;
  bool manualReset = false;
  bool signalled = false;

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> lock(mutex);
    if (!WaitFor(cv, lock, milliseconds, [this] { return signalled; })) return WAIT_TIMEOUT;
    if (!manualReset) signalled = false;
    return WAIT_OBJECT_0;
  }
};

EventObject* AsEvent(HANDLE handle) {
  return dynamic_cast<EventObject*>(KernelObjectFromHandle(handle));
}

// State shared by a thread and its handle; whichever ends last frees it.
struct ThreadState {
  std::mutex mutex;
  std::condition_variable cv;
  bool started = false;
  bool idKnown = false;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD id = 0;
};

std::atomic<int> liveThreads{0};

struct ThreadObject final : KernelObject {
  std::shared_ptr<ThreadState> state;

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!WaitFor(state->cv, lock, milliseconds, [this] { return state->finished; }))
      return WAIT_TIMEOUT;
    return WAIT_OBJECT_0;
  }
};

ThreadObject* AsThread(HANDLE handle) {
  return dynamic_cast<ThreadObject*>(KernelObjectFromHandle(handle));
}

}  // namespace

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCSTR) {
  auto* event = new EventObject();
  event->manualReset = manualReset != FALSE;
  event->signalled = initialState != FALSE;
  return HandleFromKernelObject(event);
}

BOOL SetEvent(HANDLE handle) {
  EventObject* event = AsEvent(handle);
  if (event == nullptr) return FALSE;
  {
    std::lock_guard<std::mutex> lock(event->mutex);
    event->signalled = true;
  }
  if (event->manualReset)
    event->cv.notify_all();
  else
    event->cv.notify_one();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  EventObject* event = AsEvent(handle);
  if (event == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(event->mutex);
  event->signalled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  KernelObject* object = KernelObjectFromHandle(handle);
  if (object == nullptr) return WAIT_FAILED;
  return object->Wait(milliseconds);
}

// ---------------------------------------------------------------- threads

DWORD GetCurrentThreadId() {
  thread_local DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

HANDLE CreateThread(SECURITY_ATTRIBUTES*, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, DWORD* threadId) {
  if (start == nullptr) return nullptr;
  auto state = std::make_shared<ThreadState>();
  state->started = (flags & CREATE_SUSPENDED) == 0;
  liveThreads.fetch_add(1);
  try {
    std::thread([state, start, parameter] {
      {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->id = GetCurrentThreadId();
        state->idKnown = true;
        state->cv.notify_all();
        state->cv.wait(lock, [&] { return state->started; });
      }
      DWORD code = start(parameter);
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exitCode = code;
        state->finished = true;
        liveThreads.fetch_sub(1);
      }
      state->cv.notify_all();
    }).detach();
  } catch (...) {
    liveThreads.fetch_sub(1);
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> lock(state->mutex);
    state->cv.wait(lock, [&] { return state->idKnown; });
    if (threadId != nullptr) *threadId = state->id;
  }
  auto* object = new ThreadObject();
  object->state = std::move(state);
  return HandleFromKernelObject(object);
}

DWORD ResumeThread(HANDLE handle) {
  ThreadObject* thread = AsThread(handle);
  if (thread == nullptr) return 0xFFFFFFFFu;
  DWORD previous;
  {
    std::lock_guard<std::mutex> lock(thread->state->mutex);
    previous = thread->state->started ? 0 : 1;
    thread->state->started = true;
  }
  thread->state->cv.notify_all();
  return previous;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
  ThreadObject* thread = AsThread(handle);
  if (thread == nullptr || exitCode == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(thread->state->mutex);
  *exitCode = thread->state->finished ? thread->state->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int) { return AsThread(handle) != nullptr ? TRUE : FALSE; }

int PlatformLiveThreadCount() { return liveThreads.load(); }
