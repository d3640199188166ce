// The message text renderer: typing a text with its '@' codes into ten
// lines, and the loader of short text files.
#include "game/shell/message_text.h"

#include <cstdlib>
#include <cstring>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

char MessageLines[kMessageLineCount][kMessageLineBytes] = {};
int32_t MessageTextId = 0;
int32_t MessageTextState = 0;
int32_t MessageReadPos = 0;
int32_t MessageColumn = 0;
int32_t MessageLine = 0;
int32_t MessageTypingCounter = 0;
int32_t MessageTextEnded = 0;

namespace {

// A line holds at most 64 bytes and its NUL.
constexpr int32_t kLineLimit = kMessageLineBytes - 1;

// The layout of one call's text area.
struct TextArea {
  int32_t left, top;
  int32_t size;       // 1 to 24
  int32_t rows;       // 0 to 10
  int32_t lineLimit;  // a line ends once it holds this many bytes (at most 64)
};

TextArea MakeArea(int32_t right, int32_t left, int32_t top, int32_t bottom, int32_t size) {
  TextArea a{};
  a.left = left;
  a.top = top;
  a.size = size < 1 ? 1 : size > 24 ? 24 : size;
  // Computed in 64 bits: the area's corners may be any values.
  int64_t columns = (static_cast<int64_t>(right) - left + a.size) / a.size;
  int64_t rows = (static_cast<int64_t>(bottom) - top) / a.size;
  a.rows = rows < 0 ? 0 : rows > kMessageLineCount ? kMessageLineCount : static_cast<int32_t>(rows);
  int64_t limit = 2 * columns - 2;
  a.lineLimit = limit > kLineLimit ? kLineLimit : static_cast<int32_t>(limit < 0 ? 0 : limit);
  return a;
}

// 1 for a byte 0x20..0x7E, else 2 (the lead byte of a two-byte character).
int32_t CharacterLength(unsigned char b) { return b >= 0x20 && b <= 0x7E ? 1 : 2; }

void ZeroLines() { memset(MessageLines, 0, sizeof MessageLines); }

// The next line at column 0; the last line is kept (and written again from
// its start) rather than going past the table.
void NextLine() {
  if (MessageLine < kMessageLineCount - 1) ++MessageLine;
  MessageColumn = 0;
}

void DrawRows(const TextArea& a) {
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t font = FontHandlesBySize[a.size - 1];
  for (int32_t i = 0; i < a.rows; ++i) DrawTextToHandle(a.left, a.top + i * a.size, MessageLines[i], white, font, 0, 0);
}

// A new press of the record's A button (the latch holds it until released).
bool NewPressOfA(int32_t record) { return IsNewButtonPress(record, kButtonA); }

// The text's end: '@N', or a NUL where a text lacks its end code (the read
// position stays on it, so every later call ends here again). -1.
int EndOfText(bool missingCode) {
  if (missingCode && MessageTextEnded == 0)
    WriteErrorLogFormat("メッセージテキスト %d に終了コード(@F/@N)がありません", MessageTextId);
  MessageTextEnded = 1;
  return -1;
}

// Reads up to four decimal digits at the read position.
int32_t ReadDigits(const unsigned char* t) {
  int32_t n = 0;
  for (int i = 0; i < 4 && t[MessageReadPos] >= '0' && t[MessageReadPos] <= '9'; ++i)
    n = n * 10 + (t[MessageReadPos++] - '0');
  return n;
}

// One step of the typing counter at a character: when the counter is 3 the
// character is copied into the current line (a line that would pass its
// buffer is ended first; one that reaches the area's width is ended after)
// and the counter goes to 1, else the counter goes up. false when the text
// ends inside the character.
bool CharacterStep(const unsigned char* t, const TextArea& a) {
  int32_t length = CharacterLength(t[MessageReadPos]);
  if (length == 2 && t[MessageReadPos + 1] == 0) return false;
  if (MessageTypingCounter != 3) {
    ++MessageTypingCounter;
    return true;
  }
  if (MessageColumn + length > kLineLimit) NextLine();
  char* line = MessageLines[MessageLine];
  memcpy(line + MessageColumn, t + MessageReadPos, static_cast<size_t>(length));
  line[MessageColumn + length] = '\0';
  MessageReadPos += length;
  MessageColumn += length;
  if (MessageColumn >= a.lineLimit) NextLine();
  MessageTypingCounter = 1;
  return true;
}

// The codes that act the same while typing and in the instant display, with
// the read position on the letter; the position is left after the code.
// false for a code that is not one of them.
bool PlainCode(const unsigned char* t, unsigned char code) {
  switch (code) {
    case 'A':
      ++MessageReadPos;
      MessageTextState = 4;
      return true;
    case 'B':
      ++MessageReadPos;
      ReadDigits(t);
      return true;
    case 'E':
    case 'V':
      // The '@' is dropped; the letter is typed as a character.
      return true;
    case 'I':
      ZeroLines();
      MessageLine = 0;
      MessageColumn = 0;
      ++MessageReadPos;
      return true;
    case 'M': {
      ++MessageReadPos;
      int32_t slot = ReadDigits(t) % 256;
      PlayMusicSlotOnce(slot);
      return true;
    }
    case 'R':
      NextLine();
      ++MessageReadPos;
      return true;
    case 'S':
      ++MessageReadPos;
      ReadDigits(t);
      if (t[MessageReadPos] == ',') {
        ++MessageReadPos;
        ReadDigits(t);
      }
      return true;
    default:
      return false;
  }
}

// The typing step: one character step or one code. 0, or -1 at the end.
int TypingStep(const unsigned char* t, const TextArea& a, int32_t speaker) {
  unsigned char b = t[MessageReadPos];
  if (b == 0) return EndOfText(true);
  if (b != '@') return CharacterStep(t, a) ? 0 : EndOfText(true);
  unsigned char code = t[MessageReadPos + 1];
  if (code == 0) return EndOfText(true);
  ++MessageReadPos;  // onto the letter
  if (PlainCode(t, code)) return 0;
  switch (code) {
    case 'C':
      if (NewPressOfA(speaker))
        ++MessageReadPos;
      else
        --MessageReadPos;
      return 0;
    case 'F':
      if (NewPressOfA(speaker)) {
        ++MessageReadPos;
        MessageTextState = 6;
      } else {
        --MessageReadPos;
      }
      return 0;
    case 'N':
      --MessageReadPos;
      return EndOfText(false);
    case 'P':
      // A new page waits on the menu input.
      if (NewPressOfA(1)) {
        ZeroLines();
        MessageLine = 0;
        MessageColumn = 0;
        MessageTypingCounter = 0;
        ++MessageReadPos;
      } else {
        --MessageReadPos;
      }
      return 0;
    default: {
      // An unknown code waits as '@C' does, then goes on after its character.
      int32_t length = CharacterLength(code);
      if (length == 2 && t[MessageReadPos + 1] == 0) {
        --MessageReadPos;
        return EndOfText(true);
      }
      if (NewPressOfA(speaker))
        MessageReadPos += length;
      else
        --MessageReadPos;
      return 0;
    }
  }
}

// The instant display: characters and codes within this one call up to a
// wait code ('@C', '@F', '@P', '@N', or an unknown code) or the text's end,
// where the read position stays for the typing state to handle.
void InstantStep(const unsigned char* t, const TextArea& a) {
  for (;;) {
    unsigned char b = t[MessageReadPos];
    if (b == 0) break;
    if (b != '@') {
      if (!CharacterStep(t, a)) break;
      continue;
    }
    unsigned char code = t[MessageReadPos + 1];
    if (code == 0 || code == 'C' || code == 'F' || code == 'P' || code == 'N') break;
    ++MessageReadPos;
    if (!PlainCode(t, code)) {
      --MessageReadPos;
      break;
    }
  }
  MessageTextState = 3;
  DrawRows(a);
}

}  // namespace

void ClearMessageLines() {
  ZeroLines();
  MessageReadPos = 0;
  MessageColumn = 0;
  MessageLine = 0;
  MessageTypingCounter = 0;
}

int DrawMessageText(int32_t right, int32_t textId, int32_t left, int32_t top, int32_t bottom, int32_t size,
                    const char* text, int32_t speaker) {
  TextArea area = MakeArea(right, left, top, bottom, size);
  if (textId != MessageTextId) {
    MessageTextId = textId;
    MessageTextState = 2;
  } else if (MessageTextState > 6) {
    return 0;
  }
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
  switch (MessageTextState) {
    case 0:
    case 1:
      MessageTextState = 2;
      return 0;
    case 2:
      ClearMessageLines();
      MessageTextEnded = 0;
      MessageTextState = 3;
      return 0;
    case 3: {
      DrawRows(area);
      if (TypingStep(t, area, speaker) == -1) return -1;
      // The speaker's new press of A shows the rest at once.
      if (NewPressOfA(speaker)) MessageTextState = 4;
      return 0;
    }
    case 4:
      InstantStep(t, area);
      return 0;
    case 6:
      MessageTextState = 2;
      return 1;
    default:
      return 0;
  }
}

void LoadTextFile(const char* path, char* buffer) {
  FileId file = FileStreamOpenRead(path, 0);
  if (file == 0) {
    MessageBoxA(nullptr, "テキストファイルが存在しません", "読み込みエラー", MB_OK);
    ExitGame(-1, path);
  }
  char* work = static_cast<char*>(calloc(kTextFileLineBytes, 1));
  if (work == nullptr) {
    MessageBoxA(nullptr, "メモリ確保に失敗しました", "メモリ不足", MB_OK);
    ExitGame(-1, "LoadTextFile");
  }
  if (ReadTextLines(file, buffer, kTextFileLines, kTextFileLineBytes, work))
    WriteErrorLogFormat("%s: 99 バイトを超える行を切り詰めました", path);
  free(work);
  FileStreamClose(file);
}
