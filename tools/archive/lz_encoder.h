// Packs bytes into the library's LZ block format (library/file/lz.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/file/lz.h"

struct LzEncodeOptions {
  uint32_t maxDistance = 1u << 24;  // 1 to 16777216
  uint32_t maxLength = LzMaxMatch;  // LzMinMatch to LzMaxMatch
  int escape = -1;                  // the escape byte, or -1 for the least frequent one
  int chainLimit = 64;              // earlier positions tried per position
};

// The whole block, head included. Sizes must fit 32 bits.
std::vector<uint8_t> LzEncode(const uint8_t* data, size_t size, const LzEncodeOptions& options = {});
