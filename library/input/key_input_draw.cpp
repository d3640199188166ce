#include "library/input/key_input_draw.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/text_helpers.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "platform/imm/imm.h"

KeyInputColorTable KeyInputColors = {};

namespace {

// The font a field is drawn with and its measures.
struct FieldFont {
  ObjectHandle handle;
  int32_t size;        // font size: the height of boxes and the caret
  int32_t lineHeight;  // size + (size / 10) x 3
};

int32_t Width(const char* text, int32_t bytes, const FieldFont& font) {
  if (bytes <= 0) return 0;
  const int32_t w = GetTextWidthToHandle(text, bytes, font.handle, 0);
  return w > 0 ? w : 0;
}

int32_t CharBytes(const char* text) { return IsDoubleByteAt(text) ? 2 : 1; }

// Where the character that ends at pos starts.
int32_t PreviousCharStart(const char* text, int32_t pos) {
  if (pos <= 0) return 0;
  return GetByteKindInString(text, pos - 1, LibraryCharSet) == 2 ? pos - 2 : pos - 1;
}

// Keeps the cursor in view: from byte 0 when the whole text fits, else the
// first byte shown at or before the cursor and, when the text from it to
// the cursor is too wide, moved back from the cursor as far as it fits.
void ScrollField(KeyInputRecord& field, int32_t room, const FieldFont& font) {
  const int32_t cursor = static_cast<int32_t>(std::min(field.cursor, field.length));
  if (Width(field.text, static_cast<int32_t>(field.length), font) + 4 <= room) {
    field.firstShown = 0;
    return;
  }
  if (field.firstShown < 0 || field.firstShown > cursor) field.firstShown = cursor;
  if (Width(field.text + field.firstShown, cursor - field.firstShown, font) <= room) return;
  int32_t first = cursor;
  while (first > 0) {
    const int32_t before = PreviousCharStart(field.text, first);
    if (Width(field.text + before, cursor - before, font) > room) break;
    first = before;
  }
  field.firstShown = first;
}

// The input method's composition at the caret: the text over a black box,
// its clauses underlined, the clause being converted boxed, and its own caret.
void DrawComposition(int32_t x, int32_t y, const FieldFont& font) {
  const char* text = Ime.composition;
  const int32_t length = static_cast<int32_t>(strnlen(text, sizeof Ime.composition));
  const KeyInputColorTable& c = KeyInputColors;
  const int32_t s = font.size;
  FillRectangleShape(x, y, x + Width(text, length, font), y + s, MakeScreenColor(0, 0, 0));
  DrawTextToHandle(x, y, text, c.text, font.handle, c.compositionEdge, 0);
  // The cursor counts characters.
  int32_t cursorByte = 0;
  for (int32_t i = 0; i < Ime.cursor && cursorByte < length; ++i) cursorByte += CharBytes(text + cursorByte);
  cursorByte = std::min(cursorByte, length);
  for (int32_t i = 0; i + 1 < Ime.clauseCount && i + 1 < static_cast<int32_t>(std::size(Ime.clauses)); ++i) {
    const int32_t from = std::min(static_cast<int32_t>(Ime.clauses[i]), length);
    const int32_t to = std::min(static_cast<int32_t>(Ime.clauses[i + 1]), length);
    if (to <= from) continue;
    const int32_t x0 = x + Width(text, from, font), x1 = x + Width(text, to, font);
    FillRectangleShape(x0 + 1, y + s, x1 - 1, y + s + 1, c.clauseUnderline);
    if (cursorByte >= from && cursorByte < to) FrameRectangleShape(x0, y, x1, y + s, c.convertedClause);
  }
  const int32_t caretX = x + Width(text, cursorByte, font);
  FillRectangleShape(caretX, y, caretX + 2, y + s, c.imeCaret);
}

// The candidate at index i of the list, or null when the list does not
// hold it whole.
const char* Candidate(const CANDIDATELIST* list, uint32_t size, uint32_t i) {
  const size_t header = offsetof(CANDIDATELIST, dwOffset);
  if (i >= list->dwCount || header + (static_cast<size_t>(i) + 1) * sizeof(DWORD) > size) return nullptr;
  DWORD offset = 0;
  std::memcpy(&offset, reinterpret_cast<const char*>(list) + header + static_cast<size_t>(i) * sizeof(DWORD),
              sizeof offset);
  if (offset >= size) return nullptr;
  const char* text = reinterpret_cast<const char*>(list) + offset;
  return std::memchr(text, '\0', size - offset) != nullptr ? text : nullptr;
}

// The open candidate list in a box below the field (above it, or moved left,
// where the area ends): the page that holds the selection as "%d:%s" lines,
// then "%d/%d".
void DrawCandidates(int32_t caretX, int32_t caretY, const FieldFont& font) {
  const CANDIDATELIST* list = Ime.candidates;
  const uint32_t size = Ime.candidateSize;
  if (list == nullptr || size < sizeof(CANDIDATELIST) || list->dwCount == 0) return;
  const KeyInputColorTable& c = KeyInputColors;
  const uint32_t selection = list->dwSelection < list->dwCount ? list->dwSelection : 0;
  const uint32_t pageStart = selection / kCandidatePageSize * kCandidatePageSize;
  const uint32_t pageEnd = std::min<uint32_t>(pageStart + kCandidatePageSize, list->dwCount);
  if (HIMC context = ImmGetContext(MainHwnd); context != nullptr) {
    ImmNotifyIME(context, NI_SETCANDIDATE_PAGESIZE, 0, kCandidatePageSize);
    ImmNotifyIME(context, NI_SETCANDIDATE_PAGESTART, 0, pageStart);
    ImmReleaseContext(MainHwnd, context);
  }

  char lines[kCandidatePageSize + 1][256];
  int32_t count = 0, width = 0;
  for (uint32_t i = pageStart; i < pageEnd; ++i) {
    const char* candidate = Candidate(list, size, i);
    FormatString(lines[count], sizeof lines[count], "%d:%s", static_cast<int>(i - pageStart + 1),
                 candidate != nullptr ? candidate : "");
    width = std::max(width, Width(lines[count], static_cast<int32_t>(std::strlen(lines[count])), font));
    ++count;
  }
  FormatString(lines[count], sizeof lines[count], "%d/%d", static_cast<int>(selection + 1),
               static_cast<int>(list->dwCount));
  width = std::max(width, Width(lines[count], static_cast<int32_t>(std::strlen(lines[count])), font));
  ++count;

  const int32_t boxW = width + 4, boxH = count * font.lineHeight + 4;
  const PixelRect area = DrawClipRect;
  int32_t left = caretX, top = caretY + font.lineHeight;
  if (top + boxH > area.bottom) top = caretY - boxH;
  if (left + boxW > area.right) left = area.right - boxW;
  FillRectangleShape(left, top, left + boxW, top + boxH, c.candidateFill);
  FrameRectangleShape(left, top, left + boxW, top + boxH, c.candidateFrame);
  for (int32_t i = 0; i < count; ++i) {
    const bool selected = i + 1 < count && pageStart + static_cast<uint32_t>(i) == selection;
    DrawTextToHandle(left + 2, top + 2 + i * font.lineHeight, lines[i], selected ? c.convertedClause : c.text,
                     font.handle, selected ? c.selectedCandidateEdge : c.textEdge, 0);
  }
}

}  // namespace

void SetDefaultKeyInputColors() {
  KeyInputColorTable& c = KeyInputColors;
  c.text = MakeScreenColor(255, 255, 255);
  c.textEdge = MakeScreenColor(0, 0, 0);
  c.caret = MakeScreenColor(255, 255, 255);
  c.selectionBox = MakeScreenColor(255, 255, 255);
  c.selectedText = MakeScreenColor(0, 0, 0);
  c.selectedTextEdge = MakeScreenColor(-128, -128, -128);
  c.compositionEdge = MakeScreenColor(255, 255, 0);
  c.imeCaret = MakeScreenColor(0, 255, 255);
  c.clauseUnderline = MakeScreenColor(255, 255, 255);
  c.convertedClause = MakeScreenColor(255, 0, 0);
  c.selectedCandidateEdge = MakeScreenColor(0, 0, 0);
  c.candidateFrame = MakeScreenColor(255, 255, 0);
  c.candidateFill = MakeScreenColor(0, 0, 0);
}

int DrawKeyInputField(int32_t x, int32_t y, KeyInputRecord& field, bool active) {
  FieldFont font{};
  font.handle = IsValidFontHandle(KeyInputs.fontHandle) ? KeyInputs.fontHandle : QueryDefaultFontHandle();
  font.size = GetFontHandleSize(font.handle);
  if (font.size < 0) return -1;
  font.lineHeight = font.size + (font.size / 10) * 3;
  const PixelRect area = DrawClipRect;
  const KeyInputColorTable& c = KeyInputColors;

  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  if (x >= area.right) {
    x = area.left;
    y += font.lineHeight;
  }
  ScrollField(field, area.right - x, font);

  uint32_t selFrom = 0, selTo = 0;
  if (field.selectionStart != -1 && field.selectionEnd != -1) {
    const uint32_t a = std::min(static_cast<uint32_t>(field.selectionStart), field.length);
    const uint32_t b = std::min(static_cast<uint32_t>(field.selectionEnd), field.length);
    selFrom = std::min(a, b);
    selTo = std::max(a, b);
  }
  const int32_t cursor = static_cast<int32_t>(std::min(field.cursor, field.length));
  int32_t penX = x, penY = y, caretX = x, caretY = y;
  int32_t i = field.firstShown;
  while (i < static_cast<int32_t>(field.length)) {
    const int32_t n = std::min(CharBytes(field.text + i), static_cast<int32_t>(field.length) - i);
    const int32_t w = Width(field.text + i, n, font);
    if (penX + w > area.right && penX > area.left) {
      penX = area.left;
      penY += font.lineHeight;
    }
    if (i == cursor) {
      caretX = penX;
      caretY = penY;
    }
    if (penY >= area.bottom) break;
    const char character[3] = {field.text[i], n == 2 ? field.text[i + 1] : '\0', '\0'};
    if (static_cast<uint32_t>(i) >= selFrom && static_cast<uint32_t>(i) < selTo) {
      FillRectangleShape(penX, penY, penX + w, penY + font.size, c.selectionBox);
      DrawTextToHandle(penX, penY, character, c.selectedText, font.handle, c.selectedTextEdge, 0);
    } else {
      DrawTextToHandle(penX, penY, character, c.text, font.handle, c.textEdge, 0);
    }
    penX += w;
    i += n;
  }
  if (cursor >= i) {
    caretX = penX;
    caretY = penY;
  }
  if (!active) return 0;
  if (KeyInputs.caretVisible) FillRectangleShape(caretX, caretY, caretX + 2, caretY + font.size, c.caret);
  if (Ime.enabled && Ime.composing && Ime.composition[0] != '\0') DrawComposition(caretX, caretY, font);
  if (Ime.enabled && Ime.candidates != nullptr) DrawCandidates(caretX, caretY, font);
  return 0;
}
