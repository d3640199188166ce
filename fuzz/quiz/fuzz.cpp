// The quiz's question file "QTA.csv": the whole-file check the game makes at
// load, and every line read as the game reads a question (from the start of
// the file, skipping to the line).
//
// Input: the file's bytes.
//
// Besides memory safety: the check is the same twice over; it names a line 1
// to 19 exactly when it refuses; no read goes on past the end of the file;
// answers are NUL-terminated within 39 bytes and end on a whole character;
// questions stay within 297 bytes; and in a file the check accepts, every
// question line reads without a fault, as a text the message window types
// within its rows, that fits the question buffer with its "@N".
//
// The game library is not built for fuzzing (only the library is): the reader,
// which needs nothing of the game, is compiled into the target from its source.
#include "game/minigames/quiz_questions.cpp"

#include <cstring>
#include <string>

#include "fuzz/support/fuzz_support.h"

namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  size_t readsAtEnd = 0;
  static uint8_t Next(void* context) {
    MemorySource* m = static_cast<MemorySource*>(context);
    if (m->at < m->size) return m->data[m->at++];
    ++m->readsAtEnd;
    return 0xFF;
  }
  QuizByteSource source() { return {Next, this}; }
};

bool IsLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void CheckAnswer(const char* answer) {
  const size_t n = strnlen(answer, kQuizAnswerBytes);
  FUZZ_CHECK(n < kQuizAnswerBytes, "an answer without its NUL within its slot");
  for (size_t i = 0; i < n; ++i) {
    if (!IsLead(static_cast<uint8_t>(answer[i]))) continue;
    FUZZ_CHECK(i + 1 < n, "an answer ending in half a character");
    ++i;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource first{data, size};
  const QuizFileCheck check = CheckQuizFile(first.source());
  FUZZ_CHECK(first.readsAtEnd <= 1, "the check read on past the end of the file");
  MemorySource again{data, size};
  const QuizFileCheck second = CheckQuizFile(again.source());
  FUZZ_CHECK(second.fault == check.fault && second.line == check.line, "two checks of one file differ");
  if (check.fault == kQuizLineOk)
    FUZZ_CHECK(check.line == 0, "an accepted file with a faulty line");
  else
    FUZZ_CHECK(check.line >= 1 && check.line <= kQuizQuestionLines, "a refusal without its line");

  for (int32_t n = 0; n <= kQuizQuestionLines + 1; ++n) {
    MemorySource m{data, size};
    QuizQuestionLine line;
    bool ended = false;
    QuizLineFault fault = kQuizLineMissing;
    if (SkipQuizLines(m.source(), n)) fault = ReadQuizQuestionLine(m.source(), &line, &ended);
    FUZZ_CHECK(m.readsAtEnd <= 1, "a line read on past the end of the file");
    if (fault == kQuizLineMissing) continue;
    for (const char* answer : line.answers) CheckAnswer(answer);
    FUZZ_CHECK(line.questionLength <= kQuizQuestionTextLimit, "a question past its limit");
    FUZZ_CHECK(line.question[line.questionLength] == '\0', "a question without its NUL");
    if (check.fault != kQuizLineOk || n < 1 || n > kQuizQuestionLines) continue;
    FUZZ_CHECK(fault == kQuizLineOk, "a line of an accepted file reads with a fault");
    FUZZ_CHECK(strlen(line.question) == line.questionLength, "a NUL inside an accepted question");
    FUZZ_CHECK(CheckQuizQuestionText(line.question, line.questionLength) == kQuizLineOk,
               "an accepted question the window would misread");
    char buffer[kQuizQuestionBytes];
    FUZZ_CHECK(snprintf(buffer, sizeof buffer, "%s@N", line.question) < static_cast<int>(sizeof buffer),
               "an accepted question does not fit its buffer");
  }
  return 0;
}
