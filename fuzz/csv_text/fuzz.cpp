// The game's CSV field reader (the tables "minidata.csv", "item.csv",
// "mapdata.csv" and the board square files) and its text-file line reader
// (LoadTextFile and the party opening's order text), each over a file in the
// working folder read through the library's file layer.
//
// Input: a mode byte (even: CSV; odd: text lines, 1 + (mode >> 1) % 6 of
// them), a byte of the room of a field (CSV) or of a line (text), then the
// file.
//
// Besides memory safety, against a plain reading of the bytes (the file ends
// at its end or at its first 0xFF): every field is the file's field, carriage
// returns dropped (and parting a lead byte from its second), cut on a whole character to its room with a lead byte
// missing its second byte left out, NUL-terminated, with the end (comma, line
// feed, file end) the file has there; fields after the header line; the
// number of a field is its decimal value held within 32 bits; a table with
// anything but line ends left is seen to have more rows. Text lines are the
// file's lines up to their first NUL, cut to their room less one, the lines
// past the file's end left as they were, and a cut is reported exactly when
// a line read was longer. Read as the item table "item.csv", a CSV file
// keeps no price below 0 (its row is refused and left empty), so no shop
// can offer an item that pays its buyer.
//
// The game library is not built for fuzzing (only the library is): the
// readers, which need only the library's file layer, are compiled into the
// target from their sources.
#include "game/shell/csv_reader.cpp"
#include "game/shell/item_table.cpp"
#include "game/shell/text_lines.cpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

bool IsLead(int c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The file up to its first 0xFF.
std::vector<uint8_t> Content(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out;
  for (uint8_t b : file) {
    if (b == 0xFF) break;
    out.push_back(b);
  }
  return out;
}

// A field as the plain reading gives it in `room` bytes: characters in turn,
// each of one byte or a lead byte and its second (0x40 or above but 0x7F); a
// lead byte without one takes room as a pair would but is left out; once a
// character does not fit nothing more is kept.
std::string CutField(const std::vector<uint8_t>& raw, size_t room) {
  std::string out;
  bool full = room == 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    const int c = raw[i];
    if (c == '\r') continue;  // never kept, and never a second byte
    const bool pair = IsLead(c) && i + 1 < raw.size() && raw[i + 1] >= 0x40 && raw[i + 1] != 0x7F;
    const size_t need = IsLead(c) ? 2 : 1;
    if (!full && out.size() + need > room - 1) full = true;
    if (!full && (pair || !IsLead(c))) out.append(reinterpret_cast<const char*>(&raw[i]), pair ? 2 : 1);
    if (pair) ++i;
  }
  return out;
}

int32_t PlainNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min<int64_t>(value * 10 + (text[i] - '0'), 1LL << 40);
  if (negative) value = -value;
  return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

void CheckCsv(size_t room, const std::vector<uint8_t>& file) {
  WriteScratchFile("table.csv", file);
  const std::vector<uint8_t> content = Content(file);
  // Past the header line.
  size_t at = 0;
  while (at < content.size() && content[at] != '\n') ++at;
  const std::vector<uint8_t> rest(content.begin() + static_cast<std::ptrdiff_t>(std::min(at + 1, content.size())),
                                  content.end());

  CsvReader reader;
  FUZZ_CHECK(OpenCsvTable(&reader, "table.csv"), "a table in the working folder does not open");
  std::vector<char> out(room + 8, 0x5A);
  size_t pos = 0;
  for (int fields = 0;; ++fields) {
    FUZZ_CHECK(fields <= static_cast<int>(rest.size()) + 1, "more fields than the file holds");
    std::fill(out.begin(), out.end(), 0x5A);
    const CsvFieldEnd end = ReadCsvField(&reader, out.data(), room);
    size_t stop = pos;
    while (stop < rest.size() && rest[stop] != ',' && rest[stop] != '\n') ++stop;
    const CsvFieldEnd expectedEnd = stop == rest.size() ? kCsvFileEnd : rest[stop] == ',' ? kCsvComma : kCsvLineEnd;
    FUZZ_CHECK(end == expectedEnd, "a field ends otherwise than the file says");
    for (size_t i = room; i < out.size(); ++i) FUZZ_CHECK(out[i] == 0x5A, "a field written past its room");
    if (room > 0) {
      const std::vector<uint8_t> raw(rest.begin() + static_cast<std::ptrdiff_t>(pos), rest.begin() + static_cast<std::ptrdiff_t>(stop));
      const std::string expected = CutField(raw, room);
      FUZZ_CHECK(memchr(out.data(), 0, room) != nullptr, "a field without its NUL within its room");
      const std::string got(out.data(), expected.size());
      FUZZ_CHECK(got == expected && out[expected.size()] == '\0', "a field other than the file's");
      FUZZ_CHECK(CsvFieldToInt(out.data()) == PlainNumber(std::string(out.data())), "a number other than the field's");
    }
    pos = stop + 1;
    if (end == kCsvFileEnd) break;
    if (fields % 7 == 6 && end == kCsvComma) {
      SkipCsvLine(&reader);
      while (pos < rest.size() && rest[pos] != '\n') ++pos;
      pos = std::min(pos + 1, rest.size());
    }
    if (fields == 40) {
      bool more = false;
      for (size_t i = pos; i < rest.size(); ++i) more |= rest[i] != '\n' && rest[i] != '\r';
      FUZZ_CHECK(CsvHasMoreRows(&reader) == more, "rows left seen otherwise than the file holds them");
      break;
    }
  }
  CloseCsvTable(&reader);
}

void CheckTextLines(int32_t lines, int32_t lineBytes, const std::vector<uint8_t>& file) {
  WriteScratchFile("text.txt", file);
  const std::vector<uint8_t> content = Content(file);
  FileId f = FileStreamOpenRead("text.txt", 0);
  FUZZ_CHECK(f != 0, "a text in the working folder does not open");
  std::vector<char> buffer(static_cast<size_t>(lines) * lineBytes + 8, 0x5A);
  std::vector<char> work(static_cast<size_t>(lineBytes));
  const bool cut = ReadTextLines(f, buffer.data(), lines, lineBytes, work.data());
  FileStreamClose(f);
  bool longer = false;
  size_t at = 0;
  bool ended = false;
  for (int32_t k = 0; k < lines; ++k) {
    const char* line = buffer.data() + static_cast<size_t>(lineBytes) * k;
    if (ended) {
      for (int32_t i = 0; i < lineBytes; ++i) FUZZ_CHECK(line[i] == 0x5A, "a line past the end written");
      continue;
    }
    size_t stop = at;
    while (stop < content.size() && content[stop] != '\n') ++stop;
    ended = stop == content.size();
    std::string expected(content.begin() + static_cast<std::ptrdiff_t>(at), content.begin() + static_cast<std::ptrdiff_t>(stop));
    longer |= expected.size() > static_cast<size_t>(lineBytes - 1);
    expected = expected.substr(0, static_cast<size_t>(lineBytes - 1));
    expected = expected.substr(0, strnlen(expected.c_str(), expected.size()));
    FUZZ_CHECK(std::string(line, strnlen(line, static_cast<size_t>(lineBytes))) == expected &&
                   line[expected.size()] == '\0',
               "a line other than the file's");
    at = stop + 1;
  }
  for (size_t i = static_cast<size_t>(lines) * lineBytes; i < buffer.size(); ++i)
    FUZZ_CHECK(buffer[i] == 0x5A, "lines written past the buffer");
  FUZZ_CHECK(cut == longer, "a cut reported otherwise than a line was longer");
}

void CheckItemTable(const std::vector<uint8_t>& file) {
  WriteScratchFile("media/data/item.csv", file);
  memset(ItemTable, 0x5A, sizeof ItemTable);
  LoadItemTable();
  const ItemRecord empty{};
  FUZZ_CHECK(memcmp(&ItemTable[0], &empty, sizeof empty) == 0, "item 0 filled");
  for (const ItemRecord& item : ItemTable) {
    FUZZ_CHECK(item.price >= 0, "a price below 0 kept");
    FUZZ_CHECK(memchr(item.name, 0, sizeof item.name) != nullptr &&
                   memchr(item.description, 0, sizeof item.description) != nullptr,
               "an item text without its end");
  }
}

}  // namespace

// The item table's reader ends the game when its file is missing; the target
// always writes it.
void ExitGame(int32_t, const char* cause) {
  fprintf(stderr, "the game would end: %s\n", cause);
  abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint8_t mode = in.Byte();
  const uint8_t shape = in.Byte();
  const std::vector<uint8_t> file = in.Rest();
  if (mode & 1) {
    CheckTextLines(1 + (mode >> 1) % 6, 1 + shape % 128, file);
  } else {
    CheckCsv(shape % 70, file);
    CheckItemTable(file);
  }
  return 0;
}
