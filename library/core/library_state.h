// Process-wide facts that several core modules read.
#pragma once

#include <cstdint>

// 1 between a successful library start-up and its shut-down.
extern int32_t LibraryInitialised;
