// Test main: every test process runs in a fresh scratch directory of its own,
// and every test in a fresh folder inside it (its current directory and
// TestScratchDir() while it runs, removed after it), so tests that write
// files (the log among them) never meet, neither in parallel processes nor
// one after another in one process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win32/win32_window.h"
#include "tests/support/test_support.h"

void SetTestScratchDir(const std::string& dir);

namespace {

class FolderPerTest : public testing::EmptyTestEventListener {
 public:
  explicit FolderPerTest(std::string processDir) : processDir_(std::move(processDir)) {}

  void OnTestStart(const testing::TestInfo&) override {
    std::string folder = processDir_ + "/testXXXXXX";
    if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) {
      ADD_FAILURE() << "no folder for the test in " << processDir_;
      return;
    }
    testDir_ = folder;
    SetTestScratchDir(testDir_);
  }

  void OnTestEnd(const testing::TestInfo&) override {
    if (chdir(processDir_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << processDir_;
    SetTestScratchDir(processDir_);
    if (!testDir_.empty()) RemoveTree(testDir_);
    testDir_.clear();
  }

 private:
  std::string processDir_;
  std::string testDir_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string pattern = std::filesystem::temp_directory_path().string() + "/zrtestXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  SetTestScratchDir(pattern);
  // Windows of parallel test processes must not see one another.
  PlatformSetWindowScope(("test" + std::to_string(getpid())).c_str());
  if (chdir(pattern.c_str()) != 0) return 2;
  testing::UnitTest::GetInstance()->listeners().Append(new FolderPerTest(pattern));
  int result = RUN_ALL_TESTS();
  if (chdir("/") != 0) return 2;
  RemoveTree(pattern);
  return result;
}
