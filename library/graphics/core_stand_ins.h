// Core entries that graphics calls but the core does not offer yet: the wait
// while the application is inactive and the fatal-error exit. They move to
// the core's message pump and start-up when those are built.
#pragma once

// Returns at once: without a message pump the application is always active.
void WaitWhileInactive();
// Logs the text and a line break and ends the process with exit code -1.
[[noreturn]] void FatalErrorExit(const char* text);
