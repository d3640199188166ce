// Test main: every test process runs in a fresh scratch directory of its own,
// so tests that write files (the log among them) never meet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win32/win32_window.h"
#include "tests/support/test_support.h"

void SetTestScratchDir(const std::string& dir);

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string pattern = std::filesystem::temp_directory_path().string() + "/zrtestXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  SetTestScratchDir(pattern);
  // Windows of parallel test processes must not see one another.
  PlatformSetWindowScope(("test" + std::to_string(getpid())).c_str());
  if (chdir(pattern.c_str()) != 0) return 2;
  int result = RUN_ALL_TESTS();
  if (chdir("/") != 0) return 2;
  RemoveTree(pattern);
  return result;
}
