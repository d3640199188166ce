// Process-wide facts that several core modules read.
#pragma once

#include <cstdint>

// 1 between a successful library start-up and its shut-down.
extern int32_t LibraryInitialised;

// The directory that was current at library start-up (Windows form,
// Shift-JIS); empty before start-up saves it. The log file lives there.
extern char SavedCurrentDirectory[1024];
