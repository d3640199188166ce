// The report of the machine written to the log at start-up, the facts it
// records for the other modules, and the wait for a fresh input press.
#pragma once

#include <cstdint>

// Operating-system codes: 0 Win32s, 1 Windows 95, 2 98, 3 Me, 0x104 NT 3.51,
// 0x105 NT 4.0, 0x106 2000, 0x107 XP, 0x108 Vista, 0x109 Windows 7.
extern int32_t ProcessorCount;
extern int32_t OsVersionCode;
extern int32_t DirectXLevel;  // 0x70000 once the report has run
extern int32_t MmxFlag;
extern int32_t SseFlag;
extern int32_t Sse2Flag;
extern int32_t ProcessorClockMhz;
extern char ProcessorName[256];
extern char OsVersionText[256];

int LogSystemReport();
int GetMmxFlag();
// Waits until no key, pad button or mouse button is held, then for a press;
// returns the any-input value of that press, or 0 once the window is closed.
int WaitAnyInputPress();
// Tests only: a hook that answers WaitAnyInputPress in place of the wait (null: none).
extern int (*WaitAnyInputPressHook)();
