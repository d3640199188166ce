// Key-input strings: one-line text fields. The window procedure puts typed
// characters and editing keys into the character-code buffer; each message
// pump hands them to the active field, which edits its text with the cursor
// keys, Backspace, Delete, Home and End, selects with Shift, copies and pastes
// through the clipboard, and ends with Enter (or Esc, when cancelling is
// allowed). Japanese text arrives through the input method, whose
// composition and candidate list the library keeps to draw them itself.
#pragma once

#include <cstdint>

#include "library/graphics/object_handle.h"
#include "platform/imm/imm.h"
#include "platform/win32/win32_window.h"

// ---------------------------------------------------------------- the character-code buffer

// A ring of 1025 bytes: equal indices mean empty, and it is full with 1024
// bytes in it.
constexpr int kCharCodeBufferSize = 1025;
struct CharCodeBufferState {
  uint8_t bytes[kCharCodeBufferSize];
  int32_t read;
  int32_t write;
};
extern CharCodeBufferState CharCodeBuffer;

// Control codes the editing keys put into the buffer.
constexpr int kCodeCopy = 3;
constexpr int kCodeBackspace = 8;
constexpr int kCodeTab = 9;
constexpr int kCodeEnter = 13;
constexpr int kCodeDelete = 16;
constexpr int kCodePageDown = 21;
constexpr int kCodePaste = 22;
constexpr int kCodePageUp = 23;
constexpr int kCodeCut = 24;
constexpr int kCodeEnd = 25;
constexpr int kCodeHome = 26;
constexpr int kCodeEscape = 27;
constexpr int kCodeRight = 28;
constexpr int kCodeLeft = 29;
constexpr int kCodeUp = 30;
constexpr int kCodeDown = 31;

// Empties the buffer and the key-input table, and sets the fields' defaults.
// Library start-up calls it.
int InitCharCodeBuffer();
// Appends one byte; -1 when the buffer is full.
int PutCharCode(int code);
// Takes one character into out: one byte, or two for a double-byte lead byte
// (a lead byte whose second byte has not arrived yet stays, giving 0).
// Returns the bytes taken; without consume they stay in the buffer.
int GetCharCode(char out[2], int consume);
// Pumps messages while reading the buffer empty, then resets it.
int ClearCharCodeBuffer();

// ---------------------------------------------------------------- key-input handles

// Handles of kind HandleKindKeyInput; the records are kept in the table itself.
constexpr int kMaxKeyInputs = 256;

struct KeyInputRecord {
  uint32_t inUse;
  uint32_t check;
  uint32_t finished;
  uint32_t cancelled;
  uint32_t length;     // bytes
  uint32_t maxLength;  // bytes
  int32_t selectionStart;  // -1 when there is no selection; either end may be the larger
  int32_t selectionEnd;
  int32_t firstShown;  // the first byte shown (horizontal scroll)
  uint32_t cursor;     // bytes
  char* text;          // maxLength + 1 bytes, NUL-terminated
  uint32_t cancelAllowed;
  uint32_t singleByteOnly;
  uint32_t numbersOnly;
};
extern KeyInputRecord KeyInputTable[kMaxKeyInputs];

struct KeyInputModuleState {
  int32_t active;       // the handle receiving characters, -1 none
  int32_t fontHandle;   // -1: the default font
  uint32_t checkCounter;  // the check number the next handle receives, 0 to 2047
  // The caret: always shown unless blinking is on.
  int32_t blinkOn;
  int32_t blinkPeriod;  // milliseconds
  uint32_t blinkLastChange;
  int32_t caretVisible;
};
extern KeyInputModuleState KeyInputs;

// A field of at most maxLength bytes; -1 when the table is full or the text
// cannot be allocated. Switches the input method on.
int CreateKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int numbersOnly);
// The handle that receives characters from now on (-1: none).
int ActivateKeyInputHandle(int handle);
// 2 cancelled, 1 finished, 0 editing, -1 invalid.
int GetKeyInputStatus(int handle);
// The text as a number: with a '.' read as a real and truncated toward zero.
int GetKeyInputValue(int handle);
int DrawKeyInputText(int x, int y, int handle);
int DeleteKeyInputHandle(int handle);
int DeleteAllKeyInputHandles();
// The caret shows again and its blinking starts over (on every key and IME message).
void RestartCaretBlink();
// The record of a valid handle, else null.
KeyInputRecord* GetKeyInputRecord(int handle);
// The message pump's step: hands the buffered characters to the active field.
int UpdateKeyInputs();

// ---------------------------------------------------------------- the input method

struct ImeModuleState {
  int32_t enabled;  // while key-input handles exist
  int32_t open;
  int32_t composing;
  char composition[1024];
  int32_t cursor;  // characters
  uint32_t clauses[256];  // byte offsets of the clause starts, the length last
  int32_t clauseCount;
  CANDIDATELIST* candidates;  // tracked copy of the system's list, or null
  uint32_t candidateSize;
  // Composition limits, both off: the room left in the field, or a fixed length.
  int32_t limitToRoom;
  int32_t fixedLimit;
  // Reopening after the application comes back: 0 idle, 1 to 4.
  int32_t restartStep;
  char savedComposition[1024];
  int32_t openStatusBusy;
};
extern ImeModuleState Ime;

int SetImeEnabled(int flag);
int IsImeEnabled();
// The window procedure's IME messages; the result is the message's answer.
LRESULT HandleImeMessage(WPARAM wParam, UINT message, LPARAM lParam, HWND window);
// The window procedure: the application became active again. An enabled,
// open input method is closed and reopened over the next pumps.
int NoteImeActivation();
// The steps of the pump: the reopening sequence and the composition limit.
void RunImeRestartStep();
void LimitImeComposition(const KeyInputRecord& field);
void FreeImeCandidates();
// Drops the candidate list and the composition.
void ClearImeState();
