#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "library/core/text_helpers.h"

namespace {

class CharSetScope {
 public:
  explicit CharSetScope(int32_t set) : saved_(LibraryCharSet) { LibraryCharSet = set; }
  ~CharSetScope() { LibraryCharSet = saved_; }

 private:
  int32_t saved_;
};

TEST(DoubleByteLead, ByCharacterSet) {
  struct Case {
    int32_t set;
    unsigned char byte;
    int lead;
  } cases[] = {
      {CharSetShiftJis, 0x80, 0}, {CharSetShiftJis, 0x81, 1}, {CharSetShiftJis, 0x9F, 1},
      {CharSetShiftJis, 0xA0, 0}, {CharSetShiftJis, 0xDF, 0}, {CharSetShiftJis, 0xE0, 1},
      {CharSetShiftJis, 0xFC, 1}, {CharSetShiftJis, 0xFD, 0}, {CharSetShiftJis, 0x41, 0},
      {0, 0x81, 1},               {0, 0xA5, 0},               {CharSetKorean, 0x80, 1},
      {CharSetKorean, 0xA5, 1},   {CharSetKorean, 0x7F, 0},   {CharSetBig5, 0xFF, 1},
      {CharSetSimplified, 0x80, 1}, {CharSetSimplified, 0x41, 0},
  };
  for (const Case& c : cases) {
    char text[3] = {static_cast<char>(c.byte), 'x', 0};
    EXPECT_EQ(CheckDoubleByteLead(text, c.set), c.lead) << c.set << " " << int(c.byte);
  }
}

TEST(StringRoutines, FindCharStepsOverDoubleByteCharacters) {
  CharSetScope sjis(CharSetShiftJis);
  // 0x95 0x5C is one character whose trail byte is a backslash.
  const char text[] = "\x95\x5C" "a\\b";
  const char* hit = StrFindChar(text, '\\');
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit - text, 3);
  EXPECT_EQ(StrFindChar("\x95\x5C", '\\'), nullptr);
  EXPECT_EQ(StrFindChar("", 'a'), nullptr);
  EXPECT_EQ(StrFindChar("abc", 'z'), nullptr);
  // A lead byte cut off by the terminator is not stepped over with it.
  std::unique_ptr<char[]> cut(new char[3]{'x', '\x95', 0});
  EXPECT_EQ(StrFindChar(cut.get(), 'q'), nullptr);
}

TEST(StringRoutines, CopiesAreBoundedAndKeepCharactersWhole) {
  CharSetScope sjis(CharSetShiftJis);
  char small[5];
  memset(small, 'z', sizeof small);
  StrCopy(small, "abcdefgh");
  EXPECT_STREQ(small, "abcd");
  // "ab" then a double-byte character that would need bytes 2..3, then "c":
  // in 4 bytes the character fits, "c" does not.
  char four[4];
  StrCopy(four, "ab\x82\xA0" "c");
  EXPECT_STREQ(four, "ab");
  char five[5];
  StrCopy(five, "ab\x82\xA0" "c");
  EXPECT_STREQ(five, "ab\x82\xA0");
  char one[1] = {'x'};
  StrCopy(one, "abc");
  EXPECT_STREQ(one, "");

  char n[8];
  EXPECT_STREQ(StrCopyN(n, "abcdef", 3), "abc");
  EXPECT_STREQ(StrCopyN(n, "ab", 5), "ab");
  EXPECT_STREQ(StrCopyN(n, "ab", 0), "");
  EXPECT_STREQ(StrCopyN(n, "ab", -4), "");
}

TEST(StringRoutines, CompareAndUpper) {
  CharSetScope sjis(CharSetShiftJis);
  EXPECT_EQ(StrCompare("abc", "abc"), 0);
  EXPECT_EQ(StrCompare("abc", "abd"), 1);
  EXPECT_EQ(StrCompareN("abcx", "abcy", 3), 0);
  EXPECT_EQ(StrCompareN("abcx", "abcy", 4), 1);
  EXPECT_EQ(StrCompareN("a", "b", 0), 0);
  EXPECT_EQ(StrCompareN("a", "a", -1), 1);
  // The trail byte 0x61 ('a') of a double-byte character stays as it is.
  char text[] = "ab\x82\x61" "cd";
  char* end = StrToUpper(text);
  EXPECT_STREQ(text, "AB\x82\x61" "CD");
  EXPECT_EQ(end, text + strlen(text));
}

TEST(MemoryRoutines, MoveHandlesOverlapBothWays) {
  char block[] = "0123456789";
  MemMove(block + 1, block, 9);
  EXPECT_STREQ(block, "0012345678");
  char block2[] = "0123456789";
  MemMove(block2, block2 + 1, 9);
  EXPECT_STREQ(block2, "1234567899");
  char fill[4] = {0, 0, 0, 0};
  EXPECT_EQ(MemFill(fill, 7, 3), 7);
  EXPECT_EQ(fill[2], 7);
  EXPECT_EQ(fill[3], 0);
  EXPECT_EQ(MemCompare("abc", "abd", 2), 0);
  EXPECT_EQ(MemCompare("abc", "abd", 3), 1);
}

TEST(NumberRoutines, StrToInt) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"abc-12", -12}, {"12-3", 12}, {"abc", -1}, {"", -1}, {"-x", 0}, {"  42", 42},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"4294967297", 1},  // wraps
  };
  for (const Case& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(NumberRoutines, StrToDouble) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"1.5", 1.5},   {"-.25", -0.25}, {"1.5e3", 1500.0}, {"1.5x", 0.0},   {"1..5", 0.0},
      {"+1", 0.0},    {"", 0.0},       {"-", 0.0},        {"12", 12.0},    {"2e-2", 0.02},
      {"3E+2", 300.0}, {"1e+-2", 0.0}, {"1e2e3", 0.0},    {".", 0.0},      {"0.125", 0.125},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(StrToDouble(c.text), c.value) << c.text;
  // A huge exponent ends quickly at infinity or zero.
  EXPECT_TRUE(std::isinf(StrToDouble("1e999999")));
  EXPECT_EQ(StrToDouble("1e-999999"), 0.0);
  std::string longDigits(128, '1');
  EXPECT_EQ(StrToDouble(longDigits.c_str()), 0.0);
}

TEST(NumberRoutines, IntToStr) {
  struct Case {
    int32_t value;
    int32_t radix;
    const char* text;
  } cases[] = {
      {255, 16, "ff"},
      {-10, 10, "-10"},
      {0, 10, "0"},
      {0, 2, "0"},
      {INT_MAX, 10, "2147483647"},
      {INT_MIN, 10, "-2147483648"},
      {INT_MIN, 2, "-10000000000000000000000000000000"},
      {INT_MAX, 36, "zik0zj"},
      {-35, 36, "-z"},
      {5, 0, ""},
      {5, 1, ""},
      {5, 37, ""},
  };
  for (const Case& c : cases) {
    char buffer[IntToStrBufferSize];
    EXPECT_STREQ(IntToStr(c.value, buffer, c.radix), c.text) << c.value << " radix " << c.radix;
  }
}

TEST(NumberRoutines, Conversions) {
  EXPECT_EQ(AbsInt(-5), 5);
  EXPECT_EQ(AbsInt(INT_MIN), INT_MIN);
  EXPECT_EQ(AbsFloat(-2.5f), 2.5f);
  EXPECT_EQ(FloatToIntTrunc(-2.9f), -2);
  EXPECT_EQ(DoubleToIntTrunc(2.9), 2);
  EXPECT_EQ(DoubleToIntTrunc(1e12), INT_MIN);
  EXPECT_EQ(FloatToIntTrunc(std::nanf("")), INT_MIN);
  int32_t rect[4];
  RectDoubleToInt(1.9, -1.9, 3.5, -0.5, rect);
  EXPECT_EQ(rect[0], 1);
  EXPECT_EQ(rect[1], -1);
  EXPECT_EQ(rect[2], 3);
  EXPECT_EQ(rect[3], 0);
  EXPECT_EQ(SqrtFloat(16.0f), 4.0f);
  EXPECT_EQ(PowFloat(2.0f, 10.0f), 1024.0);
  float s, c;
  ComputeSinCos(0.0f, &s, &c);
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(c, 1.0f);
}

TEST(HandleList, NewestFirstAndUnlink) {
  HandleListNode head, tail, a, b, c;
  InitHandleList(&head, &tail);
  int ra = 1, rb = 2, rc = 3;
  AddHandleListNode(&head, &a, 10, &ra);
  AddHandleListNode(&head, &b, 11, &rb);
  AddHandleListNode(&head, &c, 12, &rc);
  int order[3], count = 0;
  for (HandleListNode* n = head.next; n != &tail; n = n->next) order[count++] = n->handle;
  ASSERT_EQ(count, 3);
  EXPECT_EQ(order[0], 12);
  EXPECT_EQ(order[2], 10);
  RemoveHandleListNode(&b);
  EXPECT_EQ(c.next, &a);
  EXPECT_EQ(a.prev, &c);
  EXPECT_EQ(tail.prev, &a);
  EXPECT_EQ(head.handle, -1);
  EXPECT_EQ(tail.record, nullptr);
}

TEST(Paths, MakeFullPath) {
  CharSetScope sjis(CharSetShiftJis);
  struct Case {
    const char* path;
    const char* base;
    const char* out;
  } cases[] = {
      {"data\\..\\img\\a.png", "D:\\game", "D:\\game\\img\\a.png"},
      {"\\x.txt", "D:\\game", "D:\\x.txt"},
      {"E:y", "D:\\game", "E:\\y"},
      {"E:", "D:\\game", "E:"},
      {"E:\\", "D:\\game", "E:"},
      {"a/./b/c/..", "D:\\game", "D:\\game\\a\\b"},
      {"a\\..\\..\\..\\..", "D:\\game", "D:"},
      {".", "D:\\game\\", "D:\\game"},
      {"//server/share/x", "D:\\game", "\\\\server\\share\\x"},
      {"//server/..", "D:\\game", "\\"},
      // A double-byte character whose trail byte is 0x5C stays one component.
      {"\x95\x5C\\b", "C:\\w", "C:\\w\\\x95\x5C\\b"},
      {"\x95\x5C\\..\\c", "C:\\w", "C:\\w\\c"},
      {"..", "C:\\w\\\x95\x5C", "C:\\w"},
  };
  for (const Case& c : cases) {
    char out[260];
    EXPECT_EQ(MakeFullPath(c.path, out, c.base), 0) << c.path;
    EXPECT_STREQ(out, c.out) << c.path;
  }
  char out[260];
  EXPECT_EQ(MakeFullPath(nullptr, out, "D:\\game"), 0);
  EXPECT_STREQ(out, "D:\\game");
}

TEST(Paths, MakeFullPathRefusesWhatDoesNotFit) {
  char out[12];
  EXPECT_EQ(MakeFullPath("abcdefgh\\ijk", out, "D:\\game"), -1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MakeFullPath("ab", out, "D:\\game"), 0);
  EXPECT_STREQ(out, "D:\\game\\ab");
}

TEST(Paths, MakeFullPathWithoutBaseUsesTheCurrentDirectory) {
  char cwd[1024], out[1024];
  ASSERT_EQ(QueryCurrentDirectory(cwd, sizeof cwd), 0);
  ASSERT_EQ(strncmp(cwd, "C:\\", 3), 0) << cwd;
  ASSERT_EQ(MakeFullPath("x\\y.txt", out, nullptr), 0);
  EXPECT_EQ(std::string(out), std::string(cwd) + "\\x\\y.txt");
}

}  // namespace
