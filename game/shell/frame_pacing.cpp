// Frame pacing at 60 frames a second and the frame-rate display.
#include "game/shell/game_main.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_time.h"

int32_t FrameIndex = 0;
uint32_t CycleStartMs = 0;
uint32_t LastFrameMs = 0;
uint32_t FrameDurationsMs[60] = {};
double AverageFrameMs = 0.0;

namespace {

// The millisecond clock has 31 bits: differences are taken modulo 2^31.
constexpr uint32_t kClockMask = 0x7FFFFFFFu;

// a - b on the 31-bit clock, as a signed value in -2^30 .. 2^30 - 1.
int32_t ClockDifference(uint32_t a, uint32_t b) {
  uint32_t d = (a - b) & kClockMask;
  return d >= 0x40000000u ? static_cast<int32_t>(d) - 0x80000000LL : static_cast<int32_t>(d);
}

// A whole frame rounded up: the most any frame waits, whatever the clock did.
constexpr int32_t kLongestWaitMs = 17;

void SleepUpTo(int32_t wait) {
  if (wait <= 0) return;
  if (wait > kLongestWaitMs) wait = kLongestWaitMs;
  Sleep(static_cast<DWORD>(wait));
}

}  // namespace

void WaitNextFrame() {
  int32_t n = FrameIndex;
  uint32_t now = static_cast<uint32_t>(GetMillisecondCount(0));
  int32_t elapsed = ClockDifference(now, CycleStartMs);
  if (n > 0) {
    SleepUpTo(static_cast<int32_t>(n * kFrameMs) - elapsed);
  } else if (LastFrameMs != 0) {
    SleepUpTo(1000 - elapsed);
  }
  now = static_cast<uint32_t>(GetMillisecondCount(0));
  if (n == 0) CycleStartMs = now;
  FrameDurationsMs[n] = (now - LastFrameMs) & kClockMask;
  LastFrameMs = now;
  if (n == 59) {
    double sum = 0.0;
    for (uint32_t d : FrameDurationsMs) sum += d;
    AverageFrameMs = sum / 60.0;
  }
  FrameIndex = (n + 1) % 60;
}

void DrawFrameRate() {
  if (AverageFrameMs == 0.0) return;
  DrawFormatTextToHandle(608, 8, MakeScreenColor(255, 255, 255), FontHandlesBySize[15], "%d",
                         static_cast<int32_t>(1000.0 / AverageFrameMs));
}
