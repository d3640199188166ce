// The per-frame message pump and the wait while the application is inactive.
#pragma once

#include <cstdint>

// 1 while the key-input strings are updated at the end of a pump; a pump
// called meanwhile returns 0 at once.
extern int32_t PumpReentryGuard;

// Set by a screen-mode change: the next ProcessWindowMessages gives the
// pages of the heap's free blocks back to the system. By then the program
// has made again what the change took away (the game reloads its pictures
// and fonts right after the change), and the buffers its loading passed
// through are free again.
extern int32_t HeapReturnPending;

// Delivers at most five window messages, sleeps inside the call while the
// application is inactive, then polls the modules. -1 once the main window is
// closed, else 0. Takes the library lock.
int ProcessWindowMessages();
int ProcessWindowMessages_Unlocked();
// Pumps until the application is active again or the window is closed.
void WaitWhileInactive();
