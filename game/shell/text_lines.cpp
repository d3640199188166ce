// The line reader of the game's text files, standing alone (it needs only
// the library's file layer).
#include <cstring>

#include "game/shell/message_text.h"

bool ReadTextLines(FileId file, char* buffer, int32_t lines, int32_t lineBytes, char* work) {
  bool end = false;
  bool cut = false;
  for (int32_t k = 0; k < lines && !end; ++k) {
    memset(work, 0, static_cast<size_t>(lineBytes));
    int32_t length = 0;
    for (;;) {
      char c = FileStreamGetChar(file);
      if (c == '\n') break;
      if (c == static_cast<char>(0xFF)) {
        end = true;
        break;
      }
      // A longer line keeps its first lineBytes - 1 bytes; the rest is skipped.
      if (length < lineBytes - 1)
        work[length++] = c;
      else
        cut = true;
    }
    memcpy(buffer + static_cast<size_t>(lineBytes) * k, work, strlen(work) + 1);
  }
  return cut;
}
