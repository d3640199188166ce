// Shared set-up of the file tests: a started log in the test's scratch
// directory, the debugger output silenced, and helpers for host paths.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/file/file_table.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

class FileTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    saved_ = ActiveFileFunctions;
  }
  void TearDown() override {
    ActiveFileFunctions = saved_;
    ScratchLogTest::TearDown();
  }
  // The Windows form (Shift-JIS) of a host path.
  static std::string Win(const std::string& hostPath) { return HostPathToWindows(hostPath); }

 private:
  FileFunctionTable saved_{};
};

// Source texts are compiled to Shift-JIS; u8 literals stay UTF-8.
inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Bytes that differ from position to position.
inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}
