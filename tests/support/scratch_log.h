// The library log written into the test's scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Starts "Log.txt" in the scratch directory with the debugger output silenced.
void StartScratchLog();
// Stops logging (later texts are dropped) and restores the debugger output.
void EndScratchLog();
// The bytes of the scratch directory's "Log.txt".
std::string ReadScratchLog();

// A fixture with the log started for each test.
class ScratchLogTest : public testing::Test {
 protected:
  void SetUp() override { StartScratchLog(); }
  void TearDown() override { EndScratchLog(); }
  static std::string Log() { return ReadScratchLog(); }
};
