// Clocks of the library: milliseconds, microseconds and the local date and
// time, and the 128-bit helpers the microsecond count uses.
#pragma once

#include <cstdint>

// Time-source facts, filled by the system report and window creation.
extern int32_t ProcessorHasTsc;              // 1 when the time-stamp counter exists
extern uint64_t TscFrequency;                // its ticks per second
extern int32_t UsePerformanceCounter;        // 1: performance counter, 0: multimedia timer
extern uint64_t PerformanceCounterFrequency; // performance counter ticks per second

// timeGetTime() with bit 31 cleared.
int32_t GetMillisecondCount(int32_t unused);
int64_t GetMicrosecondCount(int32_t useTsc);
// Year, month, day, hour, minute, second of the local time. Returns 0.
int GetLocalDateTime(int32_t out[6]);

// The 128-bit unsigned product a x b, little-endian into out.
void Mul64To128(uint64_t a, uint64_t b, void* out);
// The 64-bit quotient of the 128-bit little-endian dividend by the divisor.
// A zero divisor or a quotient that does not fit 64 bits gives UINT64_MAX.
void Div128By64(uint64_t* out, uint64_t divisor, const void* dividend);
