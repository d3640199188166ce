// Clocks and sleeping: the multimedia timer, the performance counter, local
// time and the time-stamp counter.
//
// Tests can switch the process to a virtual clock. While it is on, every clock
// below reads the virtual time; Sleep on the thread that switched it on
// advances the virtual time instead of sleeping, Sleep on any other thread
// sleeps for real without moving it.
#pragma once

#include "platform/win32/win32_types.h"

DWORD timeGetTime();
struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};
constexpr UINT TIMERR_NOERROR = 0;
// The multimedia timer's period range in milliseconds: 1 to 1000000.
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void GetLocalTime(SYSTEMTIME* time);
void Sleep(DWORD milliseconds);
// The performance counter's time in microseconds (the virtual time while the
// virtual clock is on), for the stand-ins that keep time by it.
int64_t PlatformCounterMicroseconds();
// Sleeps until PlatformCounterMicroseconds() reaches the given time, on the
// real clock (the caller moves the virtual clock itself).
void PlatformSleepUntilMicroseconds(int64_t microseconds);

// The processor's time-stamp counter (ticks of an unspecified rate; one tick
// per nanosecond under the virtual clock).
uint64_t ReadTimeStampCounter();

// Virtual clock control (tests only). Turning it on sets the virtual time to
// the given start, so runs are repeatable.
void PlatformUseVirtualClock(bool on, uint64_t startMicroseconds = 0);
bool PlatformVirtualClockActive();
void PlatformAdvanceVirtualClock(uint64_t microseconds);
