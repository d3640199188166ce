// The quiz's question file reader.
#include "game/minigames/quiz_questions.h"

#include <cstring>

namespace {

constexpr uint8_t kEnd = 0xFF;

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// How a field ended.
enum FieldEnd { kComma, kLineFeed, kCarriageReturn, kFileEnd };

// Reads one field into out (limit bytes at most, whole characters: a
// double-byte character that would pass the limit is left out with the rest
// of the field). With dropLoneLeads a lead byte whose second byte does not
// follow is left out too. The length kept goes to *length; out is
// NUL-terminated (it holds limit + 1 bytes).
FieldEnd ReadField(const QuizByteSource& source, char* out, size_t limit, bool dropLoneLeads, size_t* length) {
  size_t n = 0;
  bool full = false;
  bool leadKept = false;  // the last byte kept is a lead byte waiting for its second byte
  FieldEnd end;
  for (;;) {
    uint8_t c = source.next(source.context);
    if (c == kEnd) {
      end = kFileEnd;
      break;
    }
    if (c == ',' || c == '\n' || c == '\r') {
      end = c == ',' ? kComma : c == '\n' ? kLineFeed : kCarriageReturn;
      break;
    }
    if (leadKept) {
      leadKept = false;
      if (IsTrailByte(c)) {
        out[n++] = static_cast<char>(c);  // its room was kept with the lead byte
        continue;
      }
      if (dropLoneLeads) --n;
    }
    if (full) continue;
    size_t need = IsLeadByte(c) ? 2 : 1;
    if (n + need > limit) {
      full = true;
      continue;
    }
    out[n++] = static_cast<char>(c);
    leadKept = need == 2;
  }
  if (leadKept && dropLoneLeads) --n;
  out[n] = '\0';
  *length = n;
  return end;
}

// A line's remaining bytes after a CR that ended its last field: the line
// feed, or the end of the file.
QuizLineFault AfterCarriageReturn(const QuizByteSource& source, bool* fileEnded) {
  uint8_t c = source.next(source.context);
  if (c == kEnd) *fileEnded = true;
  return c == '\n' || c == kEnd ? kQuizLineOk : kQuizStrayCarriageReturn;
}

}  // namespace

const char* QuizLineFaultText(QuizLineFault fault) {
  switch (fault) {
    case kQuizLineOk:
      return "no fault";
    case kQuizLineMissing:
      return "the file ends before this line";
    case kQuizTooFewFields:
      return "fewer than six fields";
    case kQuizTooManyFields:
      return "more than six fields";
    case kQuizStrayCarriageReturn:
      return "a carriage return inside the line";
    case kQuizControlByte:
      return "a control byte in the question";
    case kQuizHalfWidthKana:
      return "half-width katakana in the question";
    case kQuizBrokenCharacter:
      return "a broken double-byte character in the question";
    case kQuizMessageCode:
      return "a message code other than @R in the question";
    case kQuizTooManyRows:
      return "a question longer than four rows";
  }
  return "unknown fault";
}

bool SkipQuizLines(const QuizByteSource& source, int32_t lines) {
  for (int32_t seen = 0; seen < lines;) {
    uint8_t c = source.next(source.context);
    if (c == kEnd) return false;
    if (c == '\n') ++seen;
  }
  return true;
}

QuizLineFault ReadQuizQuestionLine(const QuizByteSource& source, QuizQuestionLine* line, bool* fileEnded) {
  memset(line, 0, sizeof *line);
  *fileEnded = false;
  // Field 0 goes where the question goes and is replaced by it.
  size_t length = 0;
  FieldEnd end = ReadField(source, line->question, kQuizQuestionTextLimit, false, &length);
  if (end == kFileEnd && length == 0) {
    *fileEnded = true;
    return kQuizLineMissing;
  }
  int32_t fields = 1;
  for (int32_t k = 0; k < 4 && end == kComma; ++k, ++fields)
    end = ReadField(source, line->answers[k], kQuizAnswerBytes - 1, true, &length);
  if (end == kComma) {
    end = ReadField(source, line->question, kQuizQuestionTextLimit, false, &line->questionLength);
    ++fields;
  } else {
    memset(line->question, 0, sizeof line->question);
  }
  if (end == kFileEnd) *fileEnded = true;
  // Every field but the sixth ends at a ','; the sixth at the line's end.
  if (fields < 6) return kQuizTooFewFields;
  if (end == kComma) return kQuizTooManyFields;
  if (end == kCarriageReturn) {
    QuizLineFault fault = AfterCarriageReturn(source, fileEnded);
    if (fault != kQuizLineOk) return fault;
  }
  return CheckQuizQuestionText(line->question, line->questionLength);
}

QuizLineFault CheckQuizQuestionText(const char* text, size_t length) {
  // The window's rows and its line width in bytes, as the message renderer
  // lays a text out: a line ends once it holds 2 x columns - 2 bytes (at
  // most 64, and a character that would pass 64 starts the next line).
  constexpr int32_t kRows = (kQuizTextBottom - kQuizTextTop) / kQuizTextSize;
  constexpr int32_t kColumns = (kQuizTextRight - kQuizTextLeft + kQuizTextSize) / kQuizTextSize;
  constexpr int32_t kLineBytes = 2 * kColumns - 2 < 64 ? 2 * kColumns - 2 : 64;
  const uint8_t* t = reinterpret_cast<const uint8_t*>(text);
  int32_t row = 0, column = 0;
  for (size_t i = 0; i < length;) {
    uint8_t b = t[i];
    if (b == '@') {
      if (i + 1 >= length || t[i + 1] != 'R') return kQuizMessageCode;
      ++row;
      column = 0;
      i += 2;
      continue;
    }
    int32_t width;
    if (b >= 0x20 && b <= 0x7E) {
      width = 1;
    } else if (b < 0x20 || b == 0x7F) {
      return kQuizControlByte;
    } else if (b >= 0xA1 && b <= 0xDF) {
      return kQuizHalfWidthKana;
    } else if (IsLeadByte(b) && i + 1 < length && IsTrailByte(t[i + 1])) {
      width = 2;
    } else {
      return kQuizBrokenCharacter;
    }
    if (column + width > 64) {
      ++row;
      column = 0;
    }
    if (row >= kRows) return kQuizTooManyRows;
    column += width;
    i += static_cast<size_t>(width);
    if (column >= kLineBytes) {
      ++row;
      column = 0;
    }
  }
  return kQuizLineOk;
}

QuizFileCheck CheckQuizFile(const QuizByteSource& source) {
  if (!SkipQuizLines(source, 1)) return {kQuizLineMissing, 1};
  QuizQuestionLine line;
  bool ended = false;
  for (int32_t n = 1; n <= kQuizQuestionLines; ++n) {
    if (ended) return {kQuizLineMissing, n};
    QuizLineFault fault = ReadQuizQuestionLine(source, &line, &ended);
    if (fault != kQuizLineOk) return {fault, n};
  }
  return {kQuizLineOk, 0};
}
