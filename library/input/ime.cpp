// The input method: the composition and candidate list the library keeps for
// drawing, the result text typed into the character-code buffer, and the
// reopening sequence after the application comes back.
#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/input/key_input.h"
#include "platform/win32/win32.h"

ImeModuleState Ime = {};

namespace {

// How long the open-status notification pumps messages before reading the
// new status; a clock that stands still (a virtual clock) ends it after this
// many passes instead.
constexpr int64_t kOpenStatusWaitMicroseconds = 2000;
constexpr int kOpenStatusPasses = 100;

// Reads a text of the context into buffer (NUL-terminated, cut to fit).
int32_t ReadImeText(HIMC context, DWORD index, char* buffer, size_t size) {
  LONG n = ImmGetCompositionStringA(context, index, buffer, static_cast<DWORD>(size - 1));
  int32_t length = static_cast<int32_t>(std::clamp<LONG>(n, 0, static_cast<LONG>(size - 1)));
  buffer[length] = '\0';
  return length;
}

void ReadComposition(HIMC context) { ReadImeText(context, GCS_COMPSTR, Ime.composition, sizeof Ime.composition); }

void FetchCandidates(HWND window) {
  HIMC context = ImmGetContext(window);
  DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
  if (size == 0) {
    WriteErrorLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x",
                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(ImmGetDefaultIMEWnd(window))),
                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(context)));
  } else {
    FreeImeCandidates();
    Ime.candidates = static_cast<CANDIDATELIST*>(TrackedAlloc(size));
    if (Ime.candidates == nullptr)
      FatalErrorExitFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                           static_cast<int>(size));
    Ime.candidateSize = size;
    if (ImmGetCandidateListA(context, 0, Ime.candidates, size) == 0) {
      WriteErrorLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d", static_cast<int>(size));
      FreeImeCandidates();  // an unfilled list is never kept
    }
  }
  ImmReleaseContext(window, context);
}

LRESULT OnOpenStatus(HWND window, WPARAM wParam, LPARAM lParam) {
  if (Ime.openStatusBusy) return 0;
  Ime.openStatusBusy = 1;
  LRESULT result = DefWindowProcA(window, WM_IME_NOTIFY, wParam, lParam);
  int64_t start = GetMicrosecondCount(0);
  for (int pass = 0; pass < kOpenStatusPasses; ++pass) {
    if (ProcessWindowMessages_Unlocked() != 0) break;
    if (GetMicrosecondCount(0) - start >= kOpenStatusWaitMicroseconds) break;
  }
  HIMC context = ImmGetContext(window);
  Ime.open = ImmGetOpenStatus(context) ? 1 : 0;
  ImmReleaseContext(window, context);
  Ime.openStatusBusy = 0;
  return result;
}

}  // namespace

void FreeImeCandidates() {
  TrackedFree(Ime.candidates);
  Ime.candidates = nullptr;
  Ime.candidateSize = 0;
}

void ClearImeState() {
  FreeImeCandidates();
  Ime.composing = 0;
  Ime.composition[0] = '\0';
  Ime.cursor = 0;
  Ime.clauseCount = 0;
}

int SetImeEnabled(int flag) {
  int32_t enabled = flag ? 1 : 0;
  if (enabled == Ime.enabled) return 0;
  Ime.enabled = enabled;
  if (MainHwnd != nullptr) WINNLSEnableIME(MainHwnd, enabled);
  if (!enabled) ClearImeState();
  return 0;
}

int IsImeEnabled() { return Ime.enabled; }

int NoteImeActivation() {
  if (Ime.enabled && Ime.open) Ime.restartStep = 1;
  return 0;
}

void RunImeRestartStep() {
  if (Ime.restartStep == 0) return;
  HIMC context = ImmGetContext(MainHwnd);
  if (context == nullptr) {
    Ime.restartStep = 0;
    return;
  }
  switch (Ime.restartStep) {
    case 1:
      ReadImeText(context, GCS_COMPSTR, Ime.savedComposition, sizeof Ime.savedComposition);
      ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
      ImmSetOpenStatus(context, FALSE);
      Ime.restartStep = 3;
      break;
    case 2:
      ImmSetOpenStatus(context, FALSE);
      Ime.restartStep = 3;
      break;
    case 3:
      ImmSetOpenStatus(context, TRUE);
      Ime.restartStep = 4;
      break;
    default:
      ImmSetOpenStatus(context, TRUE);
      ImmSetCompositionStringA(context, SCS_SETSTR, Ime.savedComposition,
                               static_cast<DWORD>(strlen(Ime.savedComposition)), nullptr, 0);
      Ime.restartStep = 0;
      break;
  }
  ImmReleaseContext(MainHwnd, context);
}

void LimitImeComposition(const KeyInputRecord& field) {
  int32_t composed = static_cast<int32_t>(strlen(Ime.composition));
  int32_t limit = -1;
  if (Ime.limitToRoom) limit = static_cast<int32_t>(field.maxLength - field.length);
  if (Ime.fixedLimit > 0 && Ime.fixedLimit < composed) limit = limit < 0 ? Ime.fixedLimit : std::min(limit, Ime.fixedLimit);
  if (limit < 0 || composed <= limit) return;
  // Cut after the last whole character that fits.
  int32_t cut = 0;
  while (cut < composed) {
    int32_t step = IsDoubleByteAt(Ime.composition + cut) ? 2 : 1;
    if (cut + step > limit) break;
    cut += step;
  }
  char kept[sizeof Ime.composition];
  memcpy(kept, Ime.composition, static_cast<size_t>(cut));
  kept[cut] = '\0';
  HIMC context = ImmGetContext(MainHwnd);
  ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
  ImmSetCompositionStringA(context, SCS_SETSTR, kept, static_cast<DWORD>(cut), nullptr, 0);
  ImmReleaseContext(MainHwnd, context);
}

LRESULT HandleImeMessage(WPARAM wParam, UINT message, LPARAM lParam, HWND window) {
  RestartCaretBlink();
  switch (message) {
    case WM_IME_SETCONTEXT:
      // The system shows none of its own input method windows.
      return DefWindowProcA(window, message, wParam, 0);
    case WM_IME_STARTCOMPOSITION:
      Ime.composing = 1;
      Ime.cursor = 0;
      return 0;
    case WM_IME_ENDCOMPOSITION:
      Ime.composition[0] = '\0';
      Ime.clauseCount = 0;
      Ime.composing = 0;
      return 0;
    case WM_IME_COMPOSITION: {
      HIMC context = ImmGetContext(window);
      if (lParam & GCS_COMPSTR) ReadComposition(context);
      if (lParam & GCS_RESULTSTR) {
        char result[1024];
        int32_t length = ReadImeText(context, GCS_RESULTSTR, result, sizeof result);
        for (int32_t i = 0; i < length; ++i) PutCharCode(static_cast<uint8_t>(result[i]));
        ReadComposition(context);
      }
      if (lParam & GCS_CURSORPOS) Ime.cursor = std::max<LONG>(ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0), 0);
      if (lParam & GCS_COMPCLAUSE) {
        LONG bytes = ImmGetCompositionStringA(context, GCS_COMPCLAUSE, Ime.clauses, sizeof Ime.clauses);
        Ime.clauseCount = bytes > 0 ? static_cast<int32_t>(bytes / sizeof Ime.clauses[0]) : 0;
      }
      ImmReleaseContext(window, context);
      return 0;
    }
    case WM_IME_NOTIFY:
      switch (wParam) {
        case IMN_CHANGECANDIDATE:
        case IMN_OPENCANDIDATE:
        case IMN_SETCANDIDATEPOS:
          FetchCandidates(window);
          return 0;
        case IMN_CLOSECANDIDATE:
          FreeImeCandidates();
          return 0;
        case IMN_SETOPENSTATUS:
          return OnOpenStatus(window, wParam, lParam);
        default:
          return DefWindowProcA(window, message, wParam, lParam);
      }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
