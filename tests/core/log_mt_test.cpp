#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "platform/win32/win32.h"
#include "tests/support/test_support.h"

namespace {

TEST(LogThreads, LinesFromSeveralThreadsNeverInterleave) {
  PlatformSetDebugOutput(false);
  ASSERT_NE(GetCurrentDirectoryA(sizeof SavedCurrentDirectory, SavedCurrentDirectory), 0u);
  StartLogFile();
  constexpr int kThreads = 4, kLines = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        std::string line = "thread" + std::to_string(t) + " line" + std::to_string(i) + " " +
                           std::string(40 + (i % 7) * 60, static_cast<char>('a' + t)) + "\n";
        WriteErrorLog(line.c_str());
        if (i % 10 == 0) WriteErrorLogFormat("thread%d format%d", t, i);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  SavedCurrentDirectory[0] = '\0';
  PlatformSetDebugOutput(true);

  std::vector<uint8_t> bytes = ReadFileBytes("Log.txt");
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::string line;
  std::set<std::string> seen;
  int count = 0;
  while (std::getline(in, line)) {
    ++count;
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos);
    std::string text = line.substr(colon + 1);
    ASSERT_EQ(text.compare(0, 6, "thread"), 0) << text;
    int t = text[6] - '0';
    std::string rest = text.substr(8);
    if (rest.compare(0, 6, "format") == 0) continue;
    // "lineN " then one run of the thread's own letter.
    size_t space = rest.find(' ');
    ASSERT_NE(space, std::string::npos);
    std::string run = rest.substr(space + 1);
    ASSERT_EQ(run.find_first_not_of(static_cast<char>('a' + t)), std::string::npos) << text;
    seen.insert(text.substr(0, 8 + space));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
  EXPECT_EQ(count, kThreads * kLines + kThreads * (kLines / 10));
}

}  // namespace
