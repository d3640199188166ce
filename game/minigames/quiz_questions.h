// The quiz's question file "QTA.csv": Shift-JIS text, a header line, then
// one question a line as six fields separated by ',' (an id never shown,
// the right answer, three wrong answers, the question text), each line
// ended by LF or CR LF (the last also by the end of the file). Lines are
// found by counting line feeds from the start of the file.
//
// The file is outside data: a line that lacks its six fields, or a question
// that the message window would misread or not hold, is a fault, and the
// game refuses a file with any fault among its 19 question lines. Answers
// longer than 39 bytes and questions longer than 297 bytes are cut, whole
// characters kept.
//
// The reader is pure (it reads bytes through a source and allocates
// nothing), so its tests and its fuzz target run without the game.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kQuizQuestionLines = 19;
// An answer slot holds 39 bytes and the NUL; the question buffer holds the
// question, the "@N" appended to it and the NUL.
constexpr size_t kQuizAnswerBytes = 40;
constexpr size_t kQuizQuestionBytes = 300;
constexpr size_t kQuizQuestionTextLimit = kQuizQuestionBytes - 3;

// The message window the question is typed into: right 560, left 32, top
// 80, bottom 176, characters of 20 pixels (4 rows of 52 bytes).
constexpr int32_t kQuizTextRight = 560;
constexpr int32_t kQuizTextLeft = 32;
constexpr int32_t kQuizTextTop = 80;
constexpr int32_t kQuizTextBottom = 176;
constexpr int32_t kQuizTextSize = 20;

// The file's bytes one at a time: next(context) gives the next byte, and
// 0xFF at the end of the file and for ever after (as the library's file
// stream does; a byte 0xFF inside the file reads as its end).
struct QuizByteSource {
  uint8_t (*next)(void* context);
  void* context;
};

// One question line as read: the right answer first, then the three wrong
// ones, each NUL-terminated; the question text (not NUL-terminated inside
// its length, but followed by a NUL).
struct QuizQuestionLine {
  char answers[4][kQuizAnswerBytes];
  char question[kQuizQuestionTextLimit + 1];
  size_t questionLength;
};

enum QuizLineFault : int32_t {
  kQuizLineOk = 0,
  kQuizLineMissing,           // the file ends before the line
  kQuizTooFewFields,          // the line ends before its sixth field
  kQuizTooManyFields,         // a ',' after the sixth field
  kQuizStrayCarriageReturn,   // a CR not followed by the line feed
  kQuizControlByte,           // a control byte in the question
  kQuizHalfWidthKana,         // a half-width katakana byte in the question
  kQuizBrokenCharacter,       // a lead byte without its second byte, or a byte no character starts with
  kQuizMessageCode,           // an '@' code other than "@R" in the question
  kQuizTooManyRows,           // the question needs more than the window's 4 rows
};

// A short English description of the fault, for log lines.
const char* QuizLineFaultText(QuizLineFault fault);

// Reads past `lines` line feeds. False when the file ended first (the
// reading stops there).
bool SkipQuizLines(const QuizByteSource& source, int32_t lines);
// Reads the question line that starts here, up to and including its line
// feed (or the end of the file, which *fileEnded then reports). The answers
// and the question are filled whatever the fault, as far as they were read.
QuizLineFault ReadQuizQuestionLine(const QuizByteSource& source, QuizQuestionLine* line, bool* fileEnded);
// The question as the message window would type it: only single-byte
// characters 0x20..0x7E, whole double-byte characters and the line-break
// code "@R", within 4 rows.
QuizLineFault CheckQuizQuestionText(const char* text, size_t length);

struct QuizFileCheck {
  QuizLineFault fault;
  int32_t line;  // the line (1 to 19) of the fault; 0 for none
};
// The whole file from its start: the header line and the 19 question lines
// (lines after them are not read).
QuizFileCheck CheckQuizFile(const QuizByteSource& source);
