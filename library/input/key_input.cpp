// Key-input handles and the editing of their text.
#include "library/input/key_input.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/text_helpers.h"
#include "library/graphics/draw_state.h"
#include "library/input/input_devices.h"
#include "library/input/key_input_draw.h"
#include "platform/win32/win32.h"

KeyInputRecord KeyInputTable[kMaxKeyInputs] = {};
KeyInputModuleState KeyInputs = {-1, -1, 0, 0, 500, 0, 1};

namespace {

constexpr int kKeyLeftShift = 0x2A;
constexpr int kKeyRightShift = 0x36;

int MakeHandle(uint32_t check, int slot) {
  return MakeObjectHandle(HandleKindKeyInput, check, static_cast<uint32_t>(slot));
}

bool ShiftHeld() { return CheckKeyDown(kKeyLeftShift) || CheckKeyDown(kKeyRightShift); }

bool HasSelection(const KeyInputRecord& r) { return r.selectionStart != -1; }

void ClearSelection(KeyInputRecord& r) { r.selectionStart = r.selectionEnd = -1; }

// The selection's byte range, smaller end first.
void SelectionRange(const KeyInputRecord& r, uint32_t* from, uint32_t* to) {
  uint32_t a = std::min(static_cast<uint32_t>(std::max(r.selectionStart, 0)), r.length);
  uint32_t b = std::min(static_cast<uint32_t>(std::max(r.selectionEnd, 0)), r.length);
  *from = std::min(a, b);
  *to = std::max(a, b);
}

// Bytes of the character at pos: 2 for a whole double-byte character, else 1.
uint32_t CharSizeAt(const KeyInputRecord& r, uint32_t pos) { return IsDoubleByteAt(r.text + pos) ? 2 : 1; }

// Where the character ending at pos starts.
uint32_t PreviousCharStart(const KeyInputRecord& r, uint32_t pos) {
  uint32_t i = 0, start = 0;
  while (i < pos) {
    start = i;
    i += CharSizeAt(r, i);
  }
  return start;
}

// The start of the character that holds pos, within the text.
uint32_t CharBoundaryAt(const KeyInputRecord& r, uint32_t pos) {
  if (pos >= r.length) return r.length;
  uint32_t i = 0;
  while (i + CharSizeAt(r, i) <= pos) i += CharSizeAt(r, i);
  return i;
}

// The cursor and the selection's ends stand on character boundaries within
// the text, whatever the editing before did, so no position is ever past the
// text or inside a double-byte character.
void KeepOnBoundaries(KeyInputRecord& r) {
  r.cursor = CharBoundaryAt(r, r.cursor);
  if (HasSelection(r)) {
    r.selectionStart = static_cast<int32_t>(CharBoundaryAt(r, static_cast<uint32_t>(std::max(r.selectionStart, 0))));
    r.selectionEnd = static_cast<int32_t>(CharBoundaryAt(r, static_cast<uint32_t>(std::max(r.selectionEnd, 0))));
  }
}

void RemoveBytes(KeyInputRecord& r, uint32_t from, uint32_t to) {
  to = std::min(to, r.length);
  if (from >= to) return;
  memmove(r.text + from, r.text + to, r.length - to + 1);
  r.length -= to - from;
}

void DeleteSelection(KeyInputRecord& r) {
  uint32_t from, to;
  SelectionRange(r, &from, &to);
  RemoveBytes(r, from, to);
  r.cursor = from;
  ClearSelection(r);
  if (r.firstShown > static_cast<int32_t>(r.length)) r.firstShown = static_cast<int32_t>(r.length);
}

void CopySelection(const KeyInputRecord& r) {
  if (!HasSelection(r)) return;
  uint32_t from, to;
  SelectionRange(r, &from, &to);
  char* copy = static_cast<char*>(TrackedAlloc(to - from + 1));
  if (copy == nullptr) return;
  memcpy(copy, r.text + from, to - from);
  copy[to - from] = '\0';
  SetClipboardText(copy);
  TrackedFree(copy);
}

// The clipboard text goes into the buffer to be typed. A paste code inside it
// is left out: typed again it would paste once more, without end.
void PasteClipboard() {
  if (!OpenClipboard(MainHwnd)) return;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data != nullptr) {
    const char* text = static_cast<const char*>(GlobalLock(data));
    size_t size = GlobalSize(data);
    for (size_t i = 0; text != nullptr && i < size && text[i] != '\0'; ++i) {
      if (text[i] == kCodePaste) continue;
      if (PutCharCode(static_cast<uint8_t>(text[i])) < 0) break;
    }
    GlobalUnlock(data);
  }
  CloseClipboard();
}

// Moves the cursor; with Shift the selection runs from where it started to the cursor.
void MoveCursor(KeyInputRecord& r, uint32_t to, bool shift) {
  if (!shift) {
    ClearSelection(r);
  } else {
    if (!HasSelection(r)) r.selectionStart = static_cast<int32_t>(r.cursor);
    r.selectionEnd = static_cast<int32_t>(to);
  }
  r.cursor = to;
}

bool AcceptedInNumberField(const KeyInputRecord& r, const char* bytes, int count) {
  if (count != 1) return false;
  char c = bytes[0];
  if (c >= '0' && c <= '9') return true;
  if (c == '-') return r.cursor == 0;
  if (c == '.') return StrFindChar(r.text, '.') == nullptr;
  return false;
}

void TypeCharacter(KeyInputRecord& r, const char* bytes, int count) {
  // A NUL is no character: in the text it would end it early, and as the
  // second byte of a lead byte it would leave a lead byte alone, which the
  // next character typed after it would join.
  if (bytes[count - 1] == '\0') return;
  if (HasSelection(r)) DeleteSelection(r);
  if (r.numbersOnly && !AcceptedInNumberField(r, bytes, count)) return;
  if (r.singleByteOnly && count == 2) return;
  uint32_t n = static_cast<uint32_t>(count);
  // A character longer than the whole field never fits, however much is dropped.
  if (n > r.maxLength) return;
  // Whole characters are dropped from the end until this one fits; a cursor
  // that stood at the end, or in what was dropped, comes back to the end.
  while (r.length + n > r.maxLength) {
    bool atEnd = r.cursor >= r.length;
    r.length = PreviousCharStart(r, r.length);
    r.text[r.length] = '\0';
    if (atEnd || r.cursor > r.length) r.cursor = r.length;
  }
  memmove(r.text + r.cursor + n, r.text + r.cursor, r.length - r.cursor + 1);
  memcpy(r.text + r.cursor, bytes, n);
  r.cursor += n;
  r.length += n;
}

void HandleCode(KeyInputRecord& r, const char* bytes, int count) {
  KeepOnBoundaries(r);
  int code = count == 1 ? static_cast<uint8_t>(bytes[0]) : -1;
  switch (code) {
    case kCodeCopy:
      CopySelection(r);
      return;
    case kCodeBackspace:
      if (HasSelection(r)) {
        DeleteSelection(r);
      } else if (r.cursor > 0) {
        uint32_t start = PreviousCharStart(r, r.cursor);
        RemoveBytes(r, start, r.cursor);
        r.cursor = start;
      }
      return;
    case kCodeTab:
    case kCodeUp:
    case kCodeDown:
      return;
    case kCodeEnter:
      r.finished = 1;
      return;
    case kCodeDelete:
      if (HasSelection(r)) {
        if (ShiftHeld()) CopySelection(r);
        DeleteSelection(r);
      } else if (r.cursor < r.length) {
        RemoveBytes(r, r.cursor, std::min(r.cursor + CharSizeAt(r, r.cursor), r.length));
      }
      return;
    case kCodePaste:
      PasteClipboard();
      return;
    case kCodeCut:
      if (!HasSelection(r)) return;
      CopySelection(r);
      DeleteSelection(r);
      return;
    case kCodeEnd:
    case kCodeHome:
      MoveCursor(r, code == kCodeEnd ? r.length : 0, ShiftHeld());
      return;
    case kCodeEscape:
      if (r.cancelAllowed) r.cancelled = r.finished = 1;
      return;
    case kCodeRight:
      MoveCursor(r, std::min(r.cursor + (r.cursor < r.length ? CharSizeAt(r, r.cursor) : 0), r.length),
                 ShiftHeld());
      return;
    case kCodeLeft:
      MoveCursor(r, PreviousCharStart(r, r.cursor), ShiftHeld());
      return;
    default:
      TypeCharacter(r, bytes, count);
      return;
  }
}

}  // namespace

void RestartCaretBlink() {
  KeyInputs.caretVisible = 1;
  KeyInputs.blinkLastChange = timeGetTime();
}

KeyInputRecord* GetKeyInputRecord(int handle) {
  if (handle < 0 || (handle & HandleKindBits) != HandleKindKeyInput) return nullptr;
  int slot = handle & HandleSlotBits;
  if (slot >= kMaxKeyInputs) return nullptr;
  KeyInputRecord& r = KeyInputTable[slot];
  if (!r.inUse || r.check != static_cast<uint32_t>(handle & HandleCheckBits) >> 16) return nullptr;
  return &r;
}

int CreateKeyInputHandle(int maxLength, int cancelAllowed, int singleByteOnly, int numbersOnly) {
  if (maxLength < 0) return -1;
  int slot = 0;
  while (slot < kMaxKeyInputs && KeyInputTable[slot].inUse) ++slot;
  if (slot == kMaxKeyInputs) return -1;
  char* text = static_cast<char*>(TrackedCalloc(static_cast<size_t>(maxLength) + 1));
  if (text == nullptr) return -1;
  KeyInputRecord& r = KeyInputTable[slot];
  r = KeyInputRecord{};
  r.inUse = 1;
  r.check = KeyInputs.checkCounter;
  KeyInputs.checkCounter = KeyInputs.checkCounter >= HandleCheckMax ? 0 : KeyInputs.checkCounter + 1;
  r.maxLength = static_cast<uint32_t>(maxLength);
  r.text = text;
  ClearSelection(r);
  r.cancelAllowed = cancelAllowed ? 1 : 0;
  r.singleByteOnly = singleByteOnly ? 1 : 0;
  r.numbersOnly = numbersOnly ? 1 : 0;
  SetImeEnabled(1);
  ClearCharCodeBuffer();
  return MakeHandle(r.check, slot);
}

int ActivateKeyInputHandle(int handle) {
  RestartCaretBlink();
  KeyInputRecord* r = nullptr;
  if (handle != -1) {
    r = GetKeyInputRecord(handle);
    if (r == nullptr) return -1;
    if (handle == KeyInputs.active && !r->finished) return 0;
  }
  if (KeyInputRecord* previous = GetKeyInputRecord(KeyInputs.active)) ClearSelection(*previous);
  if (r == nullptr) {
    KeyInputs.active = -1;
    return 0;
  }
  ClearCharCodeBuffer();
  KeyInputs.active = handle;
  r->finished = r->cancelled = 0;
  return 0;
}

int GetKeyInputStatus(int handle) {
  const KeyInputRecord* r = GetKeyInputRecord(handle);
  if (r == nullptr) return -1;
  return r->cancelled ? 2 : r->finished ? 1 : 0;
}

int GetKeyInputValue(int handle) {
  const KeyInputRecord* r = GetKeyInputRecord(handle);
  if (r == nullptr) return -1;
  if (StrFindChar(r->text, '.') != nullptr) return DoubleToIntTrunc(StrToDouble(r->text));
  return StrToInt(r->text);
}

int DrawKeyInputText(int x, int y, int handle) {
  WaitWhileInactive();
  KeyInputRecord* r = GetKeyInputRecord(handle);
  if (r == nullptr || r->finished) return -1;
  if (DrawClipRect.right <= DrawClipRect.left || DrawClipRect.bottom <= DrawClipRect.top) return -1;
  if (KeyInputs.blinkOn) {
    DWORD now = timeGetTime();
    if (now - KeyInputs.blinkLastChange > static_cast<DWORD>(KeyInputs.blinkPeriod)) {
      KeyInputs.caretVisible ^= 1;
      KeyInputs.blinkLastChange = now;
    }
  } else {
    KeyInputs.caretVisible = 1;
  }
  return DrawKeyInputField(x, y, *r, handle == KeyInputs.active);
}

int DeleteKeyInputHandle(int handle) {
  KeyInputRecord* r = GetKeyInputRecord(handle);
  if (r == nullptr) return -1;
  TrackedFree(r->text);
  *r = KeyInputRecord{};
  if (KeyInputs.active == handle) KeyInputs.active = -1;
  bool anyLeft = std::any_of(std::begin(KeyInputTable), std::end(KeyInputTable),
                             [](const KeyInputRecord& k) { return k.inUse != 0; });
  if (!anyLeft) SetImeEnabled(0);
  return 0;
}

int DeleteAllKeyInputHandles() {
  for (int slot = 0; slot < kMaxKeyInputs; ++slot)
    if (KeyInputTable[slot].inUse) DeleteKeyInputHandle(MakeHandle(KeyInputTable[slot].check, slot));
  FreeImeCandidates();
  KeyInputs.active = -1;
  return 0;
}

int UpdateKeyInputs() {
  RunImeRestartStep();
  if (KeyInputs.active == -1) return 0;
  KeyInputRecord* r = GetKeyInputRecord(KeyInputs.active);
  if (r == nullptr) return -1;
  if (r->finished) return 0;
  LimitImeComposition(*r);
  char bytes[2];
  int count;
  while (!r->finished && (count = GetCharCode(bytes, 1)) > 0) {
    RestartCaretBlink();
    HandleCode(*r, bytes, count);
  }
  KeepOnBoundaries(*r);
  return 0;
}
