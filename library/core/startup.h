// Library start-up and shut-down, and the fatal-error exit.
#pragma once

// 0 at once when already started; otherwise takes the library lock and starts
// every module in order. -1 when start-up fails.
int InitLibrary();
int InitLibrary_Unlocked();
// 0 at once when not started; otherwise takes the library lock, shuts every
// module down in order, and destroys the lock.
int EndLibrary();
int EndLibrary_Unlocked();
// Logs the text and a line break, shuts the library down without taking the
// lock, and ends the process with exit code -1.
[[noreturn]] void FatalErrorExit(const char* text);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
