// The field reader shared by the game's CSV tables ("minidata.csv",
// "item.csv", "mapdata.csv" and the board square files): read one byte at a
// time through the library's file layer (so a table may sit in an archive),
// a header line skipped, fields separated by ',' and rows by a line feed,
// no quoting. A carriage return is dropped wherever it stands, so CR LF and
// LF files read alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/zrlib.h"

struct CsvReader {
  FileId file = 0;
  bool ended = false;  // the end of the file was met
};

// How a field ended.
enum CsvFieldEnd : int32_t {
  kCsvComma = 0,
  kCsvLineEnd = 1,
  kCsvFileEnd = 2,
};

// Opens the table and skips its header line. False when it does not open.
bool OpenCsvTable(CsvReader* reader, const char* path);
void CloseCsvTable(CsvReader* reader);

// Reads the next field into out (size bytes, NUL-terminated). A longer field
// keeps size - 1 bytes at most, cut before a double-byte character that
// would not fit whole, and the rest of it is skipped.
CsvFieldEnd ReadCsvField(CsvReader* reader, char* out, size_t size);
// Skips to the start of the next line.
void SkipCsvLine(CsvReader* reader);
// True when anything but line ends is left to read (used to note rows past
// a table's end); reads to the end of the file.
bool CsvHasMoreRows(CsvReader* reader);

// A decimal number: leading blanks skipped, an optional sign, the digits up
// to the first other character; no digits read 0. Beyond the 32-bit range
// the value is held at its bound.
int32_t CsvFieldToInt(const char* field);
