#include "tests/support/scratch_log.h"

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32.h"
#include "tests/support/test_support.h"

void StartScratchLog() {
  PlatformSetDebugOutput(false);
  std::string dir = HostPathToWindows(TestScratchDir());
  ASSERT_LT(dir.size(), sizeof SavedCurrentDirectory);
  dir.copy(SavedCurrentDirectory, dir.size());
  SavedCurrentDirectory[dir.size()] = '\0';
  StartLogFile();
}

void EndScratchLog() {
  SavedCurrentDirectory[0] = '\0';
  PlatformSetDebugOutput(true);
}

std::string ReadScratchLog() {
  std::vector<uint8_t> bytes = ReadFileBytes(TestScratchDir() + "/Log.txt");
  return std::string(bytes.begin(), bytes.end());
}
