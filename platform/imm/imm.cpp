#include "platform/imm/imm.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/input_sources.h"
#include "platform/win32/sjis.h"

struct HIMC__ {
  HWND window = nullptr;
  bool composing = false;
  std::string composition;       // Shift-JIS
  DWORD cursor = 0;              // characters
  std::vector<uint32_t> clauses;  // byte offsets, 0 first and the length last
  std::string result;            // the last committed text
  BOOL open = FALSE;
  std::vector<std::string> candidates;
  DWORD selection = 0;
  DWORD pageStart = 0;
  DWORD pageSize = 0;
};

namespace {

constexpr LPARAM kCompositionFlags = GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE;
constexpr DWORD kDefaultPageSize = 9;

// The contexts of the windows, touched on the window thread only.
std::map<HWND, std::unique_ptr<HIMC__>> contexts;

HIMC__* Find(HWND window) {
  auto it = contexts.find(window);
  return it != contexts.end() ? it->second.get() : nullptr;
}

HIMC__* ContextOf(HWND window) {
  HIMC__* c = Find(window);
  if (c != nullptr || !IsWindow(window)) return c;
  auto made = std::make_unique<HIMC__>();
  made->window = window;
  c = made.get();
  contexts[window] = std::move(made);
  return c;
}

bool Known(HIMC c) {
  return c != nullptr && std::any_of(contexts.begin(), contexts.end(),
                                     [c](const auto& entry) { return entry.second.get() == c; });
}

bool IsSjisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

DWORD CountCharacters(const std::string& sjis) {
  DWORD n = 0;
  for (size_t i = 0; i < sjis.size(); ++n)
    i += IsSjisLead(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
  return n;
}

// The Shift-JIS form of UTF-8 text, character by character (a character
// without one is left out). For each character of the UTF-8 text, and for its
// end, where it lands in the Shift-JIS text: the byte offset and the number of
// characters before it.
struct ConvertedText {
  std::string sjis;
  std::vector<uint32_t> offsets;
  std::vector<int> characters;
};

ConvertedText ConvertByCharacter(const char* utf8) {
  ConvertedText out;
  int converted = 0;
  size_t length = strlen(utf8);
  for (size_t i = 0; i < length;) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    n = std::min(n, length - i);
    out.offsets.push_back(static_cast<uint32_t>(out.sjis.size()));
    out.characters.push_back(converted);
    std::string piece;
    if (Utf8ToSjis(std::string_view(utf8 + i, n), piece) && !piece.empty()) {
      out.sjis += piece;
      ++converted;
    }
    i += n;
  }
  out.offsets.push_back(static_cast<uint32_t>(out.sjis.size()));
  out.characters.push_back(converted);
  return out;
}

LONG CopyOut(const void* data, size_t size, void* buffer, DWORD length) {
  if (buffer == nullptr || length == 0) return static_cast<LONG>(size);
  size_t n = std::min(size, static_cast<size_t>(length));
  memcpy(buffer, data, n);
  return static_cast<LONG>(n);
}

// Drops the composition and tells the window so. The window procedure may
// destroy the window meanwhile, so the context is looked up again after each
// message.
void EndComposition(HWND window) {
  HIMC__* c = Find(window);
  if (c == nullptr || !c->composing) return;
  c->composition.clear();
  c->cursor = 0;
  c->clauses.clear();
  SendMessageA(window, WM_IME_COMPOSITION, 0, kCompositionFlags);
  c = Find(window);
  if (c == nullptr) return;
  c->composing = false;
  SendMessageA(window, WM_IME_ENDCOMPOSITION, 0, 0);
}

void SetComposition(HIMC__* c, std::string text, DWORD cursor, std::vector<uint32_t> clauses) {
  HWND window = c->window;
  bool begin = !c->composing;
  c->composing = true;
  c->composition = std::move(text);
  c->cursor = cursor;
  c->clauses = std::move(clauses);
  if (begin) {
    SendMessageA(window, WM_IME_STARTCOMPOSITION, 0, 0);
    if (Find(window) == nullptr) return;
  }
  SendMessageA(window, WM_IME_COMPOSITION, 0, kCompositionFlags);
}

}  // namespace

// ---------------------------------------------------------------- from the window stand-in

void ImeTranslateEditing(HWND window, bool enabled, const char* utf8, int start, int length) {
  if (!enabled) return;
  HIMC__* c = ContextOf(window);
  if (c == nullptr) return;
  ConvertedText text = ConvertByCharacter(utf8);
  if (text.sjis.empty()) {
    EndComposition(window);
    return;
  }
  if (!c->open) {
    // A composition shows the input method is on.
    c->open = TRUE;
    SendMessageA(window, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    c = Find(window);
    if (c == nullptr) return;
  }
  int characters = static_cast<int>(text.offsets.size()) - 1;
  int first = std::clamp(start, 0, characters);
  int last = std::clamp(first + std::max(length, 0), first, characters);
  std::vector<uint32_t> clauses{0};
  for (uint32_t offset : {text.offsets[first], text.offsets[last], text.offsets.back()})
    if (offset != clauses.back()) clauses.push_back(offset);
  SetComposition(c, std::move(text.sjis), static_cast<DWORD>(text.characters[first]), std::move(clauses));
}

bool ImeTranslateText(HWND window, bool enabled, const char* utf8) {
  HIMC__* c = Find(window);
  if (!enabled || c == nullptr || !c->composing) return false;
  c->result = ConvertByCharacter(utf8).sjis;
  c->composition.clear();
  c->cursor = 0;
  c->clauses.clear();
  SendMessageA(window, WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
  c = Find(window);
  if (c == nullptr) return true;
  c->composing = false;
  SendMessageA(window, WM_IME_ENDCOMPOSITION, 0, 0);
  return true;
}

void ImeForgetWindow(HWND window) { contexts.erase(window); }

// ---------------------------------------------------------------- the manager's functions

HIMC ImmGetContext(HWND window) { return ContextOf(window); }

BOOL ImmReleaseContext(HWND, HIMC context) { return Known(context) ? TRUE : FALSE; }

HWND ImmGetDefaultIMEWnd(HWND window) { return IsWindow(window) ? window : nullptr; }

LONG ImmGetCompositionStringA(HIMC c, DWORD index, void* buffer, DWORD length) {
  if (!Known(c)) return IMM_ERROR_GENERAL;
  switch (index) {
    case GCS_COMPSTR:
      return CopyOut(c->composition.data(), c->composition.size(), buffer, length);
    case GCS_RESULTSTR:
      return CopyOut(c->result.data(), c->result.size(), buffer, length);
    case GCS_CURSORPOS:
      return static_cast<LONG>(c->cursor);
    case GCS_COMPCLAUSE:
      return CopyOut(c->clauses.data(), c->clauses.size() * sizeof(uint32_t), buffer, length);
    default:
      return IMM_ERROR_GENERAL;
  }
}

BOOL ImmSetCompositionStringA(HIMC c, DWORD index, const void* composition, DWORD compositionLength,
                              const void*, DWORD) {
  if (!Known(c) || index != SCS_SETSTR) return FALSE;
  std::string text;
  if (composition != nullptr) {
    const char* bytes = static_cast<const char*>(composition);
    text.assign(bytes, strnlen(bytes, compositionLength));
  }
  if (text.empty()) {
    EndComposition(c->window);
    return TRUE;
  }
  DWORD characters = CountCharacters(text);
  std::vector<uint32_t> clauses{0, static_cast<uint32_t>(text.size())};
  SetComposition(c, std::move(text), characters, std::move(clauses));
  return TRUE;
}

BOOL ImmNotifyIME(HIMC c, DWORD action, DWORD index, DWORD value) {
  if (!Known(c)) return FALSE;
  switch (action) {
    case NI_COMPOSITIONSTR:
      if (index != CPS_CANCEL) return FALSE;
      // The system's own input method drops its composition as well.
      if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ClearComposition();
      EndComposition(c->window);
      return TRUE;
    case NI_SETCANDIDATE_PAGESTART:
    case NI_SETCANDIDATE_PAGESIZE:
      if (index != 0 || c->candidates.empty()) return FALSE;
      (action == NI_SETCANDIDATE_PAGESTART ? c->pageStart : c->pageSize) = value;
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL ImmSetOpenStatus(HIMC c, BOOL open) {
  if (!Known(c)) return FALSE;
  BOOL now = open ? TRUE : FALSE;
  if (c->open == now) return TRUE;
  c->open = now;
  SendMessageA(c->window, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
  return TRUE;
}

BOOL ImmGetOpenStatus(HIMC c) { return Known(c) ? c->open : FALSE; }

DWORD ImmGetCandidateListA(HIMC c, DWORD index, CANDIDATELIST* list, DWORD length) {
  if (!Known(c) || index != 0 || c->candidates.empty()) return 0;
  DWORD count = static_cast<DWORD>(c->candidates.size());
  size_t header = offsetof(CANDIDATELIST, dwOffset) + count * sizeof(DWORD);
  size_t size = header;
  for (const std::string& s : c->candidates) size += s.size() + 1;
  if (length == 0) return static_cast<DWORD>(size);
  if (list == nullptr || length < size) return 0;
  auto* bytes = reinterpret_cast<char*>(list);
  list->dwSize = static_cast<DWORD>(size);
  list->dwStyle = IME_CAND_READ;
  list->dwCount = count;
  list->dwSelection = c->selection;
  list->dwPageStart = c->pageStart;
  list->dwPageSize = c->pageSize;
  size_t at = header;
  for (DWORD i = 0; i < count; ++i) {
    DWORD offset = static_cast<DWORD>(at);
    memcpy(bytes + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD), &offset, sizeof offset);
    memcpy(bytes + at, c->candidates[i].c_str(), c->candidates[i].size() + 1);
    at += c->candidates[i].size() + 1;
  }
  return static_cast<DWORD>(size);
}

// ---------------------------------------------------------------- tests only

void PlatformImeSetCandidates(HWND window, const char* const* candidates, int count, int selection) {
  HIMC__* c = ContextOf(window);
  if (c == nullptr) return;
  bool wasOpen = !c->candidates.empty();
  c->candidates.clear();
  for (int i = 0; i < count; ++i) c->candidates.emplace_back(candidates[i]);
  if (count <= 0) {
    if (wasOpen) SendMessageA(window, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1);
    return;
  }
  c->selection = static_cast<DWORD>(std::clamp(selection, 0, count - 1));
  if (!wasOpen) {
    c->pageStart = 0;
    c->pageSize = kDefaultPageSize;
  }
  SendMessageA(window, WM_IME_NOTIFY, wasOpen ? IMN_CHANGECANDIDATE : IMN_OPENCANDIDATE, 1);
}
