// The character-code buffer between the window procedure and the key-input
// fields.
#include <cstring>

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/text_helpers.h"
#include "library/input/key_input.h"
#include "library/input/key_input_draw.h"

CharCodeBufferState CharCodeBuffer = {};

namespace {

int Next(int index) { return (index + 1) % kCharCodeBufferSize; }

// The editing keys' codes are never the first byte of a double-byte character.
bool IsKeyControlCode(uint8_t code) {
  switch (code) {
    case kCodeDelete:
    case kCodeLeft:
    case kCodeRight:
    case kCodeUp:
    case kCodeDown:
    case kCodeHome:
    case kCodeEnd:
    case kCodePageUp:
    case kCodePageDown:
      return true;
    default:
      return false;
  }
}

}  // namespace

int PutCharCode(int code) {
  CharCodeBufferState& b = CharCodeBuffer;
  if (Next(b.write) == b.read) return -1;
  b.bytes[b.write] = static_cast<uint8_t>(code);
  b.write = Next(b.write);
  return 0;
}

int GetCharCode(char out[2], int consume) {
  CharCodeBufferState& b = CharCodeBuffer;
  if (b.read == b.write) return 0;
  char first = static_cast<char>(b.bytes[b.read]);
  int count = 1;
  if (CheckDoubleByteLead(&first, LibraryCharSet) && !IsKeyControlCode(static_cast<uint8_t>(first))) {
    if (Next(b.read) == b.write) return 0;  // the second byte has not arrived yet
    out[1] = static_cast<char>(b.bytes[Next(b.read)]);
    count = 2;
  }
  out[0] = first;
  if (consume) b.read = (b.read + count) % kCharCodeBufferSize;
  return count;
}

int ClearCharCodeBuffer() {
  while (ProcessWindowMessages_Unlocked() == 0) {
    char code[2];
    if (GetCharCode(code, 1) == 0) break;
    if (static_cast<uint8_t>(code[0]) == 255) WriteErrorLog("文字バッファエラー\n");
    if (code[0] == 0) break;
  }
  CharCodeBuffer.read = CharCodeBuffer.write = 0;
  return 0;
}

int InitCharCodeBuffer() {
  WriteErrorLog("文字コードバッファの初期化を行います... ");
  CharCodeBuffer = CharCodeBufferState{};
  ClearImeState();
  DeleteAllKeyInputHandles();
  SetDefaultKeyInputColors();
  KeyInputs.fontHandle = -1;
  KeyInputs.active = -1;
  KeyInputs.blinkOn = 0;
  KeyInputs.blinkPeriod = 500;
  KeyInputs.caretVisible = 1;
  WriteErrorLog("完了しました\n");
  return 0;
}
