#include "library/core/log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "library/core/library_state.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "platform/win32/win32.h"

namespace {

struct ErrorLogState {
  char fileName[256] = "Log.txt";
  int32_t indent = 0;
  int32_t midLine = 0;
  DWORD startTime = 0;
};

ErrorLogState ErrorLog;

// Writes come from the main thread and from the sound, file-access and movie
// threads: each write runs whole under this lock, so lines never interleave.
// Nothing under it allocates tracked memory (the tracked allocator logs while
// holding its own lock).
std::recursive_mutex& LogMutex() {
  static std::recursive_mutex* mutex = new std::recursive_mutex();
  return *mutex;
}

// Length of text cut back to a whole character (never ending inside a
// double-byte character) within limit bytes.
size_t CharBoundaryWithin(const char* text, size_t length, size_t limit) {
  size_t i = 0;
  while (i < length) {
    size_t step = CheckDoubleByteLead(text + i, LibraryCharSet) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

void WriteBoth(HANDLE file, const char* text, size_t length) {
  if (length == 0) return;
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
  }
  char piece[512];
  while (length > 0) {
    size_t n = CharBoundaryWithin(text, length, sizeof piece - 1);
    if (n == 0) n = 1;
    memcpy(piece, text, n);
    piece[n] = '\0';
    OutputDebugStringA(piece);
    text += n;
    length -= n;
  }
}

// Converts every lone line feed to CR LF, up to the first line feed that
// already has its carriage return; the rest is copied unchanged.
size_t ConvertLineBreaks(const char* text, size_t length, char* out) {
  size_t in = 0, o = 0;
  const char* lf = StrFindChar(text, '\n');
  while (lf != nullptr) {
    size_t at = static_cast<size_t>(lf - text);
    if (at > 0 && text[at - 1] == '\r') break;
    memcpy(out + o, text + in, at - in);
    o += at - in;
    out[o++] = '\r';
    out[o++] = '\n';
    in = at + 1;
    if (in >= length) break;
    lf = StrFindChar(text + in, '\n');
  }
  memcpy(out + o, text + in, length - in);
  o += length - in;
  out[o] = '\0';
  return o;
}

}  // namespace

int StartLogFile() {
  std::lock_guard<std::recursive_mutex> lock(LogMutex());
  DeleteFileA(ErrorLog.fileName);
  HANDLE file = CreateFileA(ErrorLog.fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  ErrorLog.indent = 0;
  ErrorLog.midLine = 0;
  ErrorLog.startTime = timeGetTime();
  return 0;
}

int WriteErrorLog(const char* text) {
  if (text == nullptr) return -1;
  size_t length = strlen(text);

  // Texts of up to 255 bytes convert on the stack, longer ones in a tracked
  // buffer; conversion happens before the log lock is taken.
  char stackBuffer[512];
  char* converted = stackBuffer;
  bool allocated = false;
  if (length > 255) {
    converted = static_cast<char*>(TrackedAlloc(length * 2 + 1, nullptr, -1));
    if (converted == nullptr) return -1;
    allocated = true;
  }
  size_t convertedLength = ConvertLineBreaks(text, length, converted);

  {
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    if (SavedCurrentDirectory[0] != '\0') {
      char path[sizeof SavedCurrentDirectory + 300];
      size_t dirLength = strlen(SavedCurrentDirectory);
      bool slash = dirLength > 0 && SavedCurrentDirectory[dirLength - 1] == '\\';
      snprintf(path, sizeof path, "%s%s%s", SavedCurrentDirectory, slash ? "" : "\\",
               ErrorLog.fileName);
      HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
      if (file != INVALID_HANDLE_VALUE) SetFilePointer(file, 0, nullptr, FILE_END);
      if (ErrorLog.midLine == 0) {
        char prefix[32];
        int n = snprintf(prefix, sizeof prefix, "%d:",
                         static_cast<int>(timeGetTime() - ErrorLog.startTime));
        WriteBoth(file, prefix, static_cast<size_t>(n));
        for (int i = 0; i < ErrorLog.indent; ++i) WriteBoth(file, "\t", 1);
      }
      WriteBoth(file, converted, convertedLength);
      ErrorLog.midLine = (convertedLength == 0 || converted[convertedLength - 1] != '\n') ? 1 : 0;
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
  }

  if (allocated) TrackedFree(converted);
  return -1;
}

int WriteLogMessage(const char* text) { return WriteErrorLog(text); }

int WriteErrorLogFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  FormatStringV(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  strcat(buffer, "\n");
  return WriteErrorLog(buffer);
}

int PushLogIndent() {
  std::lock_guard<std::recursive_mutex> lock(LogMutex());
  ++ErrorLog.indent;
  return 0;
}

int PopLogIndent() {
  std::lock_guard<std::recursive_mutex> lock(LogMutex());
  if (ErrorLog.indent > 0) --ErrorLog.indent;
  return 0;
}

int FormatStringV(char* buffer, size_t size, const char* format, va_list args) {
  if (size == 0) return 0;
  int n = vsnprintf(buffer, size, format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return n;
  }
  if (static_cast<size_t>(n) >= size) {
    // Cut: never end inside a double-byte character.
    size_t kept = CharBoundaryWithin(buffer, size - 1, size - 1);
    buffer[kept] = '\0';
  }
  return n;
}

int FormatString(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatStringV(buffer, size, format, args);
  va_end(args);
  return 0;
}

// ---------------------------------------------------------------- on-screen log

OnScreenLogState OnScreenLog;

namespace {

// The on-screen log needs the graphics module's DirectDraw object and the
// main window.
bool OnScreenLogTargetsExist() { return GetDirectDrawObject() != nullptr && GetMainHwnd() != nullptr; }

void CreateOnScreenLogFont() {
  OnScreenLog.fontHandle = CreateFontToHandle(nullptr, 16, 4, 1, -1, -1, -1, -1, -1);
  OnScreenLog.fontLost = 1;  // made again on the next draw while there is none
  if (OnScreenLog.fontHandle != -1) SetFontDeletedFlagPointer(OnScreenLog.fontHandle, &OnScreenLog.fontLost);
}

// Line i at (0, 16 i), white with a black edge, as many lines as the screen
// holds.
void DrawOnScreenLogLines() {
  if (OnScreenLog.fontLost || OnScreenLog.lineHeight <= 0) return;
  int32_t height = 0;
  GetScreenSizeOrDefault(nullptr, &height);
  int32_t count = height / OnScreenLog.lineHeight;
  if (count > 80) count = 80;
  const uint32_t white = MakeScreenColor(255, 255, 255), black = MakeScreenColor(0, 0, 0);
  for (int32_t i = 0; i < count; ++i) {
    char line[sizeof OnScreenLog.lines[0] + 1];
    memcpy(line, OnScreenLog.lines[i], sizeof OnScreenLog.lines[i]);
    line[sizeof OnScreenLog.lines[0]] = '\0';
    DrawTextToHandle(0, OnScreenLog.lineHeight * i, line, white, OnScreenLog.fontHandle, black, 0);
  }
}

}  // namespace

int InitOnScreenLog() {
  if (!OnScreenLogTargetsExist()) return -1;
  if (OnScreenLog.prepared) return 0;
  OnScreenLog.prepared = 1;
  OnScreenLog.lineHeight = 16;
  CreateOnScreenLogFont();
  OnScreenLog.display = 0;
  memset(OnScreenLog.lines, 0, sizeof OnScreenLog.lines);
  return 0;
}

int DrawOnScreenLog() {
  if (OnScreenLog.fontLost) CreateOnScreenLogFont();
  DrawOnScreenLogLines();
  return 0;
}
