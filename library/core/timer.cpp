#include "library/core/timer.h"

#include <cstring>

#include "library/core/library_state.h"
#include "platform/win32/win32.h"

int32_t ProcessorHasTsc = 0;
uint64_t TscFrequency = 0;
int32_t UsePerformanceCounter = 0;
uint64_t PerformanceCounterFrequency = 0;

int32_t GetMillisecondCount(int32_t) { return static_cast<int32_t>(timeGetTime() & 0x7FFFFFFFu); }

namespace {

// count x 1000000 / frequency through a 128-bit intermediate.
int64_t ScaleToMicroseconds(uint64_t count, uint64_t frequency) {
  unsigned char product[16];
  uint64_t quotient;
  Mul64To128(count, 1000000u, product);
  Div128By64(&quotient, frequency, product);
  return static_cast<int64_t>(quotient);
}

}  // namespace

int64_t GetMicrosecondCount(int32_t useTsc) {
  if (ProcessorHasTsc && useTsc == 1 && LibraryInitialised && TscFrequency != 0)
    return ScaleToMicroseconds(ReadTimeStampCounter(), TscFrequency);
  if (!UsePerformanceCounter) return static_cast<int64_t>(static_cast<uint64_t>(timeGetTime()) * 1000u);
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return ScaleToMicroseconds(static_cast<uint64_t>(count.QuadPart), PerformanceCounterFrequency);
}

int GetLocalDateTime(int32_t out[6]) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  out[0] = t.wYear;
  out[1] = t.wMonth;
  out[2] = t.wDay;
  out[3] = t.wHour;
  out[4] = t.wMinute;
  out[5] = t.wSecond;
  return 0;
}

void Mul64To128(uint64_t a, uint64_t b, void* out) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  memcpy(out, &product, 16);
}

void Div128By64(uint64_t* out, uint64_t divisor, const void* dividend) {
  unsigned __int128 value;
  memcpy(&value, dividend, 16);
  if (divisor == 0 || (value >> 64) >= divisor) {
    *out = UINT64_MAX;
    return;
  }
  *out = static_cast<uint64_t>(value / divisor);
}
