// The quiz's question file reader on files made in memory: the checks that
// refuse a file (missing lines and fields, stray CRs, question bytes the
// message window would misread, too many rows), the cuts of long answers and
// questions at character boundaries, line ends, and the skip that stops at
// the end of the file.
#include "game/minigames/quiz_questions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct MemorySource {
  std::string bytes;
  size_t at = 0;
  size_t reads = 0;
  static uint8_t Next(void* context) {
    MemorySource* m = static_cast<MemorySource*>(context);
    ++m->reads;
    return m->at < m->bytes.size() ? static_cast<uint8_t>(m->bytes[m->at++]) : 0xFF;
  }
  QuizByteSource source() { return {Next, this}; }
};

std::string Line(int n, const std::string& question = "", const std::string& eol = "\n") {
  return std::to_string(n) + ",right" + std::to_string(n) + ",w1,w2,w3," +
         (question.empty() ? "question " + std::to_string(n) : question) + eol;
}

// A header and 19 good lines; line `bad` (1..19) replaced by `replacement`.
std::string File(int bad = 0, const std::string& replacement = "", int lines = kQuizQuestionLines) {
  std::string out = "id,right,wrong1,wrong2,wrong3,question\n";
  for (int n = 1; n <= lines; ++n) out += n == bad ? replacement : Line(n);
  return out;
}

QuizFileCheck Check(const std::string& bytes) {
  MemorySource m{bytes};
  return CheckQuizFile(m.source());
}

QuizQuestionLine ReadLine(const std::string& line, QuizLineFault* fault = nullptr) {
  MemorySource m{line};
  QuizQuestionLine out;
  bool ended = false;
  QuizLineFault f = ReadQuizQuestionLine(m.source(), &out, &ended);
  if (fault != nullptr) *fault = f;
  return out;
}

const std::string kA = "\x82\xA0";  // a double-byte character

TEST(QuizQuestions, GoodFilesAreAccepted) {
  EXPECT_EQ(Check(File()).fault, kQuizLineOk);
  // CR LF line ends, no line end after the last line, lines after the 19th,
  // the generated file's kind of question with a line break.
  std::string crlf = "head\r\n";
  for (int n = 1; n <= kQuizQuestionLines; ++n) crlf += Line(n, "", "\r\n");
  EXPECT_EQ(Check(crlf).fault, kQuizLineOk);
  std::string open = File();
  open.pop_back();
  EXPECT_EQ(Check(open).fault, kQuizLineOk);
  EXPECT_EQ(Check(File() + "extra line\n,,\n").fault, kQuizLineOk);
  EXPECT_EQ(Check(File(16, Line(16, kA + kA + "@R" + kA + "!"))).fault, kQuizLineOk);
  // Empty answers and an empty question are shown as they are.
  EXPECT_EQ(Check(File(3, "3,,,,,\n")).fault, kQuizLineOk);
}

TEST(QuizQuestions, HostileFilesAreRefusedWithTheirLine) {
  struct Case {
    const char* what;
    std::string bytes;
    QuizLineFault fault;
    int32_t line;
  };
  const std::string header = "id,right,wrong1,wrong2,wrong3,question\n";
  std::string ffInLine = File(10, "10,a,b\xFF,c,d,q\n");
  const std::vector<Case> cases = {
      {"empty", "", kQuizLineMissing, 1},
      {"a header without its line end", "id,right", kQuizLineMissing, 1},
      {"the header alone", header, kQuizLineMissing, 1},
      {"18 questions", File(0, "", 18), kQuizLineMissing, 19},
      {"18 questions, the last open", File(0, "", 18).substr(0, File(0, "", 18).size() - 1), kQuizLineMissing, 19},
      {"five fields", File(5, "5,a,b,c,d\r\n"), kQuizTooFewFields, 5},
      {"an empty line", File(2, "\n"), kQuizTooFewFields, 2},
      {"seven fields", File(7, "7,a,b,c,d,q,extra\n"), kQuizTooManyFields, 7},
      {"a CR ending a middle field", File(8, "8,a\r,b,c,d,q\n"), kQuizTooFewFields, 8},
      {"a CR inside the question", File(9, "9,a,b,c,d,q\rq\n"), kQuizStrayCarriageReturn, 9},
      {"0xFF inside a line", ffInLine, kQuizTooFewFields, 10},
      {"a tab", File(11, Line(11, "a\tb")), kQuizControlByte, 11},
      {"a NUL", File(11, Line(11, std::string("a\0b", 3))), kQuizControlByte, 11},
      {"DEL", File(11, Line(11, "a\x7F")), kQuizControlByte, 11},
      {"half-width katakana", File(12, Line(12, "\xB1\xB2")), kQuizHalfWidthKana, 12},
      {"a lead byte at the end", File(13, Line(13, "ab\x82")), kQuizBrokenCharacter, 13},
      {"a lead byte before a space", File(13, Line(13, "\x82 x")), kQuizBrokenCharacter, 13},
      {"a byte 0x80", File(13, Line(13, "\x80")), kQuizBrokenCharacter, 13},
      {"a byte 0xFD", File(13, Line(13, "a\xFD")), kQuizBrokenCharacter, 13},
      {"an end code", File(14, Line(14, "q@Nmore")), kQuizMessageCode, 14},
      {"a wait code", File(14, Line(14, "q@C")), kQuizMessageCode, 14},
      {"a music code", File(14, Line(14, "@M5")), kQuizMessageCode, 14},
      {"a lone @ at the end", File(14, Line(14, "q@")), kQuizMessageCode, 14},
      {"a small r", File(14, Line(14, "q@rq")), kQuizMessageCode, 14},
      {"five rows by breaks", File(15, Line(15, "a@Rb@Rc@Rd@Re")), kQuizTooManyRows, 15},
      {"five rows by length", File(15, Line(15, std::string(209, 'x'))), kQuizTooManyRows, 15},
      {"a long question", File(19, Line(19, std::string(400, 'x'))), kQuizTooManyRows, 19},
  };
  for (const Case& c : cases) {
    QuizFileCheck check = Check(c.bytes);
    EXPECT_EQ(check.fault, c.fault) << c.what << ": " << QuizLineFaultText(check.fault);
    EXPECT_EQ(check.line, c.line) << c.what;
  }
}

TEST(QuizQuestions, QuestionsAreLaidOutAsTheMessageWindowTypesThem) {
  struct Case {
    std::string text;
    QuizLineFault fault;
  };
  const std::string x52(52, 'x');
  std::string a26;  // 26 double-byte characters: 52 bytes, one full row
  for (int i = 0; i < 26; ++i) a26 += kA;
  const std::vector<Case> cases = {
      {std::string(208, 'x'), kQuizLineOk},  // four full rows of 52 bytes
      {std::string(208, 'x') + "@R", kQuizLineOk},
      {std::string(209, 'x'), kQuizTooManyRows},
      {a26 + a26 + a26 + a26, kQuizLineOk},
      {a26 + a26 + a26 + a26 + "x", kQuizTooManyRows},
      // A double-byte character from column 51 fills the row to 53.
      {std::string(51, 'x') + kA + std::string(156, 'y'), kQuizLineOk},
      {std::string(51, 'x') + kA + std::string(157, 'y'), kQuizTooManyRows},
      // A break after a full row leaves an empty row.
      {x52 + "@R" + x52 + "y", kQuizLineOk},
      {x52 + "@R" + x52 + "@Ry", kQuizTooManyRows},
      {"@R@R@Rx", kQuizLineOk},
      {"@R@R@R@Rx", kQuizTooManyRows},
      {"@R@R@R@R@R@R", kQuizLineOk},  // breaks alone type nothing
      // '@' as the second byte of a double-byte character is no code.
      {"\x83@\x83@", kQuizLineOk},
      {"", kQuizLineOk},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckQuizQuestionText(c.text.data(), c.text.size()), c.fault) << "\"" << c.text << "\"";
}

TEST(QuizQuestions, LongAnswersAndQuestionsAreCutAtCharacterBoundaries) {
  std::string a25;
  for (int i = 0; i < 25; ++i) a25 += kA;
  struct Case {
    std::string answer, kept;
  };
  const std::vector<Case> answers = {
      {std::string(50, 'a'), std::string(39, 'a')},
      {std::string(39, 'b'), std::string(39, 'b')},
      {a25, a25.substr(0, 38)},               // 19 whole characters
      {"x" + a25, "x" + a25.substr(0, 38)},   // 39 bytes
      {"xy\x82", "xy"},                        // a lead byte without its second byte
      {"\x82!", "!"},
      {"", ""},
  };
  for (const Case& c : answers) {
    QuizQuestionLine line = ReadLine("1," + c.answer + ",w,w,w,q\n");
    EXPECT_EQ(std::string(line.answers[0]), c.kept) << c.answer;
  }
  std::string a150;
  for (int i = 0; i < 150; ++i) a150 += kA;
  struct QuestionCase {
    std::string question;
    size_t kept;
  };
  const std::vector<QuestionCase> questions = {
      {std::string(400, 'q'), kQuizQuestionTextLimit},
      {"x" + a150, 297},
      {"xx" + a150, 296},
      {std::string(297, 'q'), 297},
  };
  for (const QuestionCase& c : questions) {
    QuizLineFault fault;
    QuizQuestionLine line = ReadLine("1,a,b,c,d," + c.question + "\n", &fault);
    EXPECT_EQ(line.questionLength, c.kept);
    EXPECT_EQ(std::string(line.question, line.questionLength), c.question.substr(0, c.kept));
    EXPECT_EQ(line.question[line.questionLength], '\0');
    EXPECT_EQ(fault, kQuizTooManyRows) << "and too long for the window";
  }
  // The id field does not stand for the question, even when longer.
  QuizQuestionLine line = ReadLine(std::string(500, 'i') + ",a,b,c,d,what?\r\n");
  EXPECT_EQ(std::string(line.question), "what?");
  EXPECT_EQ(std::string(line.answers[3]), "d");
}

TEST(QuizQuestions, SkippingToALineStopsAtTheEndOfTheFile) {
  MemorySource m{"a\nb\nc"};
  EXPECT_FALSE(SkipQuizLines(m.source(), 19));
  EXPECT_EQ(m.reads, 6u) << "the five bytes and the end";
  MemorySource n{File()};
  ASSERT_TRUE(SkipQuizLines(n.source(), 7));
  QuizQuestionLine line;
  bool ended = true;
  EXPECT_EQ(ReadQuizQuestionLine(n.source(), &line, &ended), kQuizLineOk);
  EXPECT_FALSE(ended);
  EXPECT_EQ(std::string(line.answers[0]), "right7");
  EXPECT_EQ(std::string(line.question), "question 7");
}

}  // namespace
