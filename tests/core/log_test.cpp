#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "platform/win32/win32.h"
#include "tests/support/scratch_log.h"

namespace {

// A started log in the test's scratch directory on the virtual clock.
class LogTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    PlatformUseVirtualClock(true, 1000000);
    ScratchLogTest::SetUp();
  }
  void TearDown() override {
    ScratchLogTest::TearDown();
    PlatformUseVirtualClock(false);
  }
};

TEST_F(LogTest, TimePrefixLineBreaksAndContinuation) {
  Sleep(5);
  EXPECT_EQ(WriteErrorLog("abc\n"), -1);
  Sleep(12);
  WriteErrorLog("def");
  WriteErrorLog("ghi\n");
  EXPECT_EQ(Log(), "5:abc\r\n17:defghi\r\n");
}

TEST_F(LogTest, IndentTabsAndPopNeverBelowZero) {
  PushLogIndent();
  PushLogIndent();
  WriteErrorLog("x\n");
  PopLogIndent();
  PopLogIndent();
  PopLogIndent();
  WriteErrorLog("y\n");
  PushLogIndent();
  WriteErrorLog("z\n");
  PopLogIndent();
  EXPECT_EQ(Log(), "0:\t\tx\r\n0:y\r\n0:\tz\r\n");
}

TEST_F(LogTest, ConversionStopsAtALineFeedThatHasItsCarriageReturn) {
  WriteErrorLog("a\r\nb\nc\n");
  WriteErrorLog("p\nq\r\nr\n");
  EXPECT_EQ(Log(), "0:a\r\nb\nc\n0:p\r\nq\r\nr\n");
}

TEST_F(LogTest, EmptyTextWritesThePrefixAndStaysMidLine) {
  WriteErrorLog("");
  WriteErrorLog("next\n");
  EXPECT_EQ(Log(), "0:next\r\n");
}

TEST_F(LogTest, ShiftJisTextAndTrailByteTen) {
  LibraryCharSet = CharSetKorean;  // every byte from 0x80 leads: 0x81 0x0A is one character
  WriteErrorLog("\x81\x0A" "x\n");
  LibraryCharSet = CharSetShiftJis;
  WriteErrorLog("成功しました\n");
  EXPECT_EQ(Log(), std::string("0:\x81\x0A" "x\r\n0:") + "成功しました" + "\r\n");
  EXPECT_EQ(std::string("成"), "\x90\xAC");  // the source text is Shift-JIS in the binary
}

TEST_F(LogTest, LongTextUsesATemporaryBufferThatIsFreedAgain) {
  int32_t before = TrackedBlockCount();
  std::string line(299, 'x');
  line += '\n';
  WriteErrorLog(line.c_str());
  EXPECT_EQ(TrackedBlockCount(), before);
  EXPECT_EQ(Log(), "0:" + std::string(299, 'x') + "\r\n");
}

TEST_F(LogTest, NothingIsWrittenBeforeTheDirectoryIsSaved) {
  SavedCurrentDirectory[0] = '\0';
  WriteErrorLog("lost\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(LogTest, FormattedTextIsCutAtACharacterBoundary) {
  // A long path of double-byte characters: the 1024-byte buffer cuts it, and
  // never in the middle of a character.
  std::string path;
  for (int i = 0; i < 700; ++i) path += "表";
  WriteErrorLogFormat("x%s", path.c_str());
  std::string log = Log();
  ASSERT_EQ(log.substr(0, 2), "0:");
  std::string body = log.substr(2, log.size() - 4);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  EXPECT_EQ(body.size(), 1 + 2 * 510u);  // 1022 bytes at most, whole characters only
  EXPECT_EQ(body.substr(1, 2), "表");
  EXPECT_EQ(body.substr(body.size() - 2), "表");

  char small[6];
  FormatString(small, sizeof small, "%s", "ab表表");
  EXPECT_STREQ(small, "ab表");
  FormatString(small, sizeof small, "%d", 1234567);
  EXPECT_STREQ(small, "12345");
}

TEST_F(LogTest, StartLogFileRecreatesTheFile) {
  WriteErrorLog("old\n");
  Sleep(40);
  StartLogFile();
  Sleep(3);
  WriteErrorLog("new\n");
  EXPECT_EQ(Log(), "3:new\r\n");
}

}  // namespace
