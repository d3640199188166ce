// Process-wide facts that several core modules read.
#pragma once

#include <cstdint>

// 1 between a successful library start-up and its shut-down.
extern int32_t LibraryInitialised;

// The directory that was current at library start-up (Windows form,
// Shift-JIS); empty before start-up saves it. The log file lives there.
extern char SavedCurrentDirectory[1024];

// 1 while library start-up runs (modules hold work back meanwhile).
extern int32_t LibraryStarting;
// Set when shut-down begins (1), or to 4 when the window is closed outside it.
extern int32_t LibraryEnding;
// 1 after CoInitialize succeeded, until CoUninitialize.
extern int32_t ComInitialised;
