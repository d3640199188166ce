#include <errno.h>
#include <time.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <x86intrin.h>

#include "platform/win32/win32_time.h"
#include "platform/win32/win32_sync.h"

namespace {

std::atomic<bool> virtualOn{false};
std::atomic<uint64_t> virtualNanos{0};
std::atomic<DWORD> virtualOwner{0};

uint64_t MonotonicNanos() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t NowNanos() { return virtualOn.load() ? virtualNanos.load() : MonotonicNanos(); }

}  // namespace

int64_t PlatformCounterMicroseconds() { return static_cast<int64_t>(NowNanos() / 1000u); }

void PlatformSleepUntilMicroseconds(int64_t microseconds) {
  if (microseconds <= 0) return;
  timespec until;
  until.tv_sec = static_cast<time_t>(microseconds / 1000000);
  until.tv_nsec = static_cast<long>(microseconds % 1000000 * 1000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

DWORD timeGetTime() { return static_cast<DWORD>(NowNanos() / 1000000u); }

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (caps == nullptr || size < sizeof(TIMECAPS)) return 97;  // TIMERR_STRUCT
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

UINT timeBeginPeriod(UINT) { return 0; }
UINT timeEndPeriod(UINT) { return 0; }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (count == nullptr) return FALSE;
  count->QuadPart = static_cast<LONGLONG>(NowNanos());
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (frequency == nullptr) return FALSE;
  frequency->QuadPart = 1000000000;
  return TRUE;
}

void GetLocalTime(SYSTEMTIME* out) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local;
  localtime_r(&ts.tv_sec, &local);
  out->wYear = static_cast<WORD>(local.tm_year + 1900);
  out->wMonth = static_cast<WORD>(local.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  out->wDay = static_cast<WORD>(local.tm_mday);
  out->wHour = static_cast<WORD>(local.tm_hour);
  out->wMinute = static_cast<WORD>(local.tm_min);
  out->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
  out->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
}

void Sleep(DWORD milliseconds) {
  if (virtualOn.load() && GetCurrentThreadId() == virtualOwner.load()) {
    virtualNanos.fetch_add(static_cast<uint64_t>(milliseconds) * 1000000u);
    std::this_thread::yield();
    return;
  }
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t ReadTimeStampCounter() {
  if (virtualOn.load()) return virtualNanos.load();
  return __rdtsc();
}

void PlatformUseVirtualClock(bool on, uint64_t startMicroseconds) {
  if (on) {
    virtualNanos.store(startMicroseconds * 1000u);
    virtualOwner.store(GetCurrentThreadId());
  }
  virtualOn.store(on);
}

bool PlatformVirtualClockActive() { return virtualOn.load(); }

void PlatformAdvanceVirtualClock(uint64_t microseconds) {
  virtualNanos.fetch_add(microseconds * 1000u);
}
