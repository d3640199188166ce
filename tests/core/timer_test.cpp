#include <gtest/gtest.h>

#include <cstring>

#include "library/core/timer.h"
#include "platform/win32/win32_time.h"

namespace {

TEST(Timer, Mul64To128AndDiv128By64) {
  struct Case {
    uint64_t a, b, divisor, quotient;
  } cases[] = {
      {0, 0, 1, 0},
      {UINT64_MAX, UINT64_MAX, UINT64_MAX, UINT64_MAX},
      {1ull << 63, 4, 8, 1ull << 62},
      {123456789123ull, 1000000, 3000000000ull, 41152263ull},
  };
  for (const Case& c : cases) {
    unsigned char product[16];
    Mul64To128(c.a, c.b, product);
    unsigned __int128 expected = static_cast<unsigned __int128>(c.a) * c.b;
    EXPECT_EQ(memcmp(product, &expected, 16), 0);
    uint64_t q = 0;
    Div128By64(&q, c.divisor, product);
    EXPECT_EQ(q, c.quotient);
  }
  // A zero divisor or a quotient beyond 64 bits saturates instead of faulting.
  unsigned char product[16];
  Mul64To128(UINT64_MAX, 4, product);
  uint64_t q = 0;
  Div128By64(&q, 2, product);
  EXPECT_EQ(q, UINT64_MAX);
  Div128By64(&q, 0, product);
  EXPECT_EQ(q, UINT64_MAX);
}

TEST(Timer, ClocksFollowTheVirtualClock) {
  PlatformUseVirtualClock(true, 0x80000000ull * 1000u + 5000u);  // past bit 31 of the ms count
  int32_t ms = GetMillisecondCount(0);
  EXPECT_EQ(ms, 5);  // bit 31 cleared, never negative
  UsePerformanceCounter = 0;
  int64_t before = GetMicrosecondCount(0);
  Sleep(20);  // on the clock's own thread this moves virtual time only
  EXPECT_EQ(GetMillisecondCount(0) - ms, 20);
  EXPECT_EQ(GetMicrosecondCount(0) - before, 20000);

  UsePerformanceCounter = 1;
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  PerformanceCounterFrequency = static_cast<uint64_t>(f.QuadPart);
  before = GetMicrosecondCount(1);  // the library is not started: no time-stamp counter
  PlatformAdvanceVirtualClock(1234);
  EXPECT_EQ(GetMicrosecondCount(1) - before, 1234);
  PlatformUseVirtualClock(false);
}

TEST(Timer, LocalDateTimeIsPlausible) {
  int32_t t[6];
  EXPECT_EQ(GetLocalDateTime(t), 0);
  EXPECT_GE(t[0], 2024);
  EXPECT_GE(t[1], 1);
  EXPECT_LE(t[1], 12);
  EXPECT_GE(t[2], 1);
  EXPECT_LE(t[2], 31);
  EXPECT_LE(t[3], 23);
  EXPECT_LE(t[4], 59);
  EXPECT_LE(t[5], 59);
}

}  // namespace
