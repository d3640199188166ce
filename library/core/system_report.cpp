#include "library/core/system_report.h"

#include <cstdint>
#include <cstring>

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/input/input_devices.h"
#include "platform/win32/win32.h"

int32_t ProcessorCount = 0;
int32_t OsVersionCode = 0;
int32_t DirectXLevel = 0;
int32_t MmxFlag = 0;
int32_t SseFlag = 0;
int32_t Sse2Flag = 0;
int32_t ProcessorClockMhz = 0;
char ProcessorName[256] = "";
char OsVersionText[256] = "";

namespace {

constexpr char kLibraryVersion[] = "3.04d";

void LogOperatingSystem() {
  WriteErrorLog("ＯＳ  ");
  char name[64] = "Windows";
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  const char* service = info.szCSDVersion;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      strcat(name, "3.1");
      OsVersionCode = 0;
      break;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (info.dwMinorVersion == 0) {
        strcat(name, "95");
        if (service[0] == 'C') strcat(name, "OSR2");
        OsVersionCode = 1;
      } else if (info.dwMinorVersion == 10) {
        strcat(name, "98");
        if (service[0] == 'A') strcat(name, "SE");
        OsVersionCode = 2;
      } else if (info.dwMinorVersion == 90) {
        strcat(name, "Me");
        OsVersionCode = 3;
      }
      break;
    case VER_PLATFORM_WIN32_NT:
      if (info.dwMajorVersion == 3) {
        strcat(name, "NT 3.51");
        OsVersionCode = 0x104;
      } else if (info.dwMajorVersion == 4) {
        strcat(name, "4.0");
        OsVersionCode = 0x105;
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) {
        strcat(name, "2000");
        OsVersionCode = 0x106;
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) {
        strcat(name, "XP");
        OsVersionCode = 0x107;
      } else if (info.dwMajorVersion == 6 && info.dwMinorVersion == 0) {
        strcat(name, "Vista");
        OsVersionCode = 0x108;
      } else if (info.dwMajorVersion == 6 && info.dwMinorVersion == 1) {
        strcat(name, "7");
        OsVersionCode = 0x109;
      }
      break;
    default:
      break;
  }
  FormatString(OsVersionText, sizeof OsVersionText, "%s ( Build %d %s )", name,
               static_cast<int>(info.dwBuildNumber), service);
  WriteErrorLogFormat("%s", OsVersionText);
}

// The time-stamp counter's rate against the performance counter. The
// performance counter counts nanoseconds, and each end of the measurement
// reads the time-stamp counter between two readings of it (the closest pair
// of a few tries, at its middle), so 2 ms of it measure the rate to a few
// parts in a hundred thousand: more closely than 100 ms of the millisecond
// clock would, in a fiftieth of the time. The wait sleeps rather than spins,
// so a clock that only moves while the program sleeps (the tests' virtual
// clock) still ends it; it gives up after 400 sleeps when the clock does not
// move at all.
constexpr int64_t kClockMeasureMicroseconds = 2000;

struct ClockReading {
  uint64_t ticks;  // the time-stamp counter
  int64_t count;   // the performance counter
};

ClockReading ReadClocks() {
  ClockReading best{};
  int64_t bestGap = INT64_MAX;
  for (int i = 0; i < 3; ++i) {
    LARGE_INTEGER before{}, after{};
    QueryPerformanceCounter(&before);
    const uint64_t ticks = ReadTimeStampCounter();
    QueryPerformanceCounter(&after);
    const int64_t gap = after.QuadPart - before.QuadPart;
    if (gap < bestGap) {
      bestGap = gap;
      best = {ticks, before.QuadPart + gap / 2};
    }
  }
  return best;
}

void MeasureProcessorClock() {
  LARGE_INTEGER frequency{};
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return;
  const ClockReading start = ReadClocks();
  const int64_t wanted = kClockMeasureMicroseconds * frequency.QuadPart / 1000000;
  int64_t elapsed = 0;
  uint64_t ticks = 0;
  for (int sleeps = 0; sleeps <= 400; ++sleeps) {
    if (sleeps > 0) Sleep(1);
    const ClockReading now = ReadClocks();
    ticks = now.ticks - start.ticks;
    elapsed = now.count - start.count;
    if (elapsed >= wanted) break;
  }
  if (elapsed <= 0) return;
  TscFrequency = static_cast<uint64_t>(static_cast<unsigned __int128>(ticks) *
                                       static_cast<uint64_t>(frequency.QuadPart) / static_cast<uint64_t>(elapsed));
  ProcessorClockMhz = static_cast<int32_t>(TscFrequency / 1000000u);
  WriteErrorLogFormat("ＣＰＵ動作速度：大体%.2fGHz", ProcessorClockMhz / 1000.0);
}

}  // namespace

int LogSystemReport() {
  WriteErrorLog("システムの情報を出力します\n");
  PushLogIndent();
  WriteErrorLogFormat("ＺＲライブラリ Ver%s", kLibraryVersion);

  SYSTEM_INFO system;
  GetSystemInfo(&system);
  ProcessorCount = static_cast<int32_t>(system.dwNumberOfProcessors);
  WriteErrorLogFormat("論理プロセッサの数 : %d", ProcessorCount);

  LogOperatingSystem();
  DirectXLevel = 0x70000;

  TIMECAPS caps;
  if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) timeBeginPeriod(caps.wPeriodMin);

  uint32_t regs[4];
  bool identify = ReadCpuId(0, regs);
  char vendor[13] = "";
  int level = 0;
  char brand[49] = "";
  if (identify) {
    memcpy(vendor, &regs[1], 4);
    memcpy(vendor + 4, &regs[3], 4);
    memcpy(vendor + 8, &regs[2], 4);
    level = 1;
    if (ReadCpuId(1, regs)) {
      ProcessorHasTsc = (regs[3] >> 4) & 1;
      if (regs[3] & (1u << 23)) {
        level = 3;
        if (regs[3] & (1u << 25)) level = (regs[3] & (1u << 26)) ? 5 : 4;
      }
    }
    uint32_t extended[4];
    if (ReadCpuId(0x80000000u, extended) && extended[0] >= 0x80000004u) {
      for (uint32_t f = 0; f < 3; ++f)
        if (ReadCpuId(0x80000002u + f, regs)) memcpy(brand + 16 * f, regs, 16);
    }
  }

  if (ProcessorHasTsc) MeasureProcessorClock();

  switch (level) {
    case 0:
      WriteErrorLog("ＣＰＵＩＤ命令は使えません\n");
      break;
    case 1:
      WriteErrorLog("ＭＭＸは使えません\n");
      break;
    default:
      WriteErrorLog("ＭＭＸ命令を使用します\n");
      MmxFlag = 1;
      if (level >= 4) {
        WriteErrorLog("ＳＳＥ命令が使用可能です\n");
        SseFlag = 1;
      }
      if (level >= 5) {
        WriteErrorLog("ＳＳＥ２命令が使用可能です\n");
        Sse2Flag = 1;
      }
      break;
  }

  if (identify) {
    WriteErrorLog("ＣＰＵベンダ：");
    WriteErrorLogFormat("%.4s%.4s%.4s", vendor, vendor + 4, vendor + 8);
    if (brand[0] != '\0') {
      WriteErrorLogFormat("ＣＰＵ名：%s", brand);
      StrCopy(ProcessorName, brand);
    }
  }

  PopLogIndent();
  return 0;
}

int GetMmxFlag() { return MmxFlag; }

int (*WaitAnyInputPressHook)() = nullptr;

int WaitAnyInputPress() {
  if (WaitAnyInputPressHook != nullptr) return WaitAnyInputPressHook();
  // First until nothing is held.
  while (ProcessWindowMessages() == 0 && CheckAnyInput(7) != 0) Sleep(1);
  if (ProcessWindowMessages() != 0) return 0;
  int input = 0;
  for (;;) {
    input = CheckAnyInput(7);
    if (input != 0) return input;
    Sleep(1);
    if (ProcessWindowMessages() != 0) return input;
  }
}
