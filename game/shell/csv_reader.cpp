// The shared CSV field reader.
#include "game/shell/csv_reader.h"

namespace {

constexpr int kEnd = -1;

int NextByte(CsvReader* reader) {
  if (reader->ended) return kEnd;
  char c = FileStreamGetChar(reader->file);
  if (static_cast<unsigned char>(c) == 0xFF) {
    reader->ended = true;
    return kEnd;
  }
  return static_cast<unsigned char>(c);
}

bool IsLeadByte(int c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

bool OpenCsvTable(CsvReader* reader, const char* path) {
  reader->ended = false;
  reader->file = FileStreamOpenRead(path, 0);
  if (reader->file == 0) return false;
  SkipCsvLine(reader);
  return true;
}

void CloseCsvTable(CsvReader* reader) {
  if (reader->file != 0) FileStreamClose(reader->file);
  reader->file = 0;
}

CsvFieldEnd ReadCsvField(CsvReader* reader, char* out, size_t size) {
  size_t length = 0;
  bool full = size == 0;
  bool leadKept = false;  // the last byte kept is a lead byte still waiting for its second byte
  bool leadSeen = false;  // the last byte read is a lead byte (kept or not)
  for (;;) {
    int c = NextByte(reader);
    if (leadSeen && c >= 0x40 && c != 0x7F) {  // the second byte of a double-byte character
      if (leadKept) out[length++] = static_cast<char>(c);
      leadKept = leadSeen = false;
      continue;
    }
    if (leadKept) --length;  // a lead byte without its second byte is not kept
    leadKept = leadSeen = false;
    if (c == kEnd || c == '\n' || c == ',') {
      if (size > 0) out[length] = '\0';
      return c == kEnd ? kCsvFileEnd : c == '\n' ? kCsvLineEnd : kCsvComma;
    }
    if (c == '\r') continue;
    size_t need = IsLeadByte(c) ? 2 : 1;
    if (!full && length + need > size - 1) full = true;
    if (need == 2) leadSeen = true;
    if (!full) {
      out[length++] = static_cast<char>(c);
      leadKept = need == 2;
    }
  }
}

void SkipCsvLine(CsvReader* reader) {
  for (;;) {
    int c = NextByte(reader);
    if (c == kEnd || c == '\n') return;
  }
}

bool CsvHasMoreRows(CsvReader* reader) {
  for (;;) {
    int c = NextByte(reader);
    if (c == kEnd) return false;
    if (c != '\n' && c != '\r') {
      while (NextByte(reader) != kEnd) {
      }
      return true;
    }
  }
}

int32_t CsvFieldToInt(const char* field) {
  const char* p = field;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}
