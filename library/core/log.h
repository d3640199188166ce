// The library log: Shift-JIS lines appended to "Log.txt" in the directory that
// was current at library start-up, copied to the debugger output. Every line
// starts with the milliseconds since the log was started, a colon and one tab
// per indent level. The write functions always return -1, so failure paths
// can end with `return WriteErrorLog(...)`.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Deletes and recreates "Log.txt" in the current directory; indent 0.
int StartLogFile();
int WriteErrorLog(const char* text);
// The same log, the entry the sound and movie modules use.
int WriteLogMessage(const char* text);
// printf-style; the result (cut to 1023 bytes at a character boundary) gets a
// line feed appended.
int WriteErrorLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int PushLogIndent();
int PopLogIndent();

// printf-style formatting into a buffer of the given size, cut at a character
// boundary when the text does not fit. Return 0 / the formatter's length.
int FormatString(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatStringV(char* buffer, size_t size, const char* format, va_list args);

// The on-screen log: 80 lines of 255 bytes, prepared at start-up and hidden
// (nothing sets the display flag or writes lines into the buffer).
struct OnScreenLogState {
  char lines[80][255];
  int32_t lineHeight;
  int32_t fontHandle = -1;
  int32_t fontLost;
  int32_t prepared;
  int32_t display;
};
extern OnScreenLogState OnScreenLog;

int InitOnScreenLog();
int DrawOnScreenLog();
