// The input method manager over SDL2's text editing.
//
// Every window has one input context. While the window's input method is
// enabled (WINNLSEnableIME), SDL's composition text reaches it as the IME
// messages, sent to the window procedure as Windows sends them:
// WM_IME_STARTCOMPOSITION when a composition begins, WM_IME_COMPOSITION with
// GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE when it changes, with
// GCS_RESULTSTR when text is committed, and WM_IME_ENDCOMPOSITION when it
// ends. Text arrives in Shift-JIS; the cursor counts characters; the clauses
// are the run SDL reports as being edited and the text before and after it.
// SDL reports no candidate lists; tests can give one (below).
#pragma once

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"

struct HIMC__;
typedef HIMC__* HIMC;

// ImmGetCompositionStringA indices (and WM_IME_COMPOSITION flags).
constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_COMPCLAUSE = 0x0020;
constexpr DWORD GCS_CURSORPOS = 0x0080;
constexpr DWORD GCS_RESULTSTR = 0x0800;
constexpr LONG IMM_ERROR_NODATA = -1;
constexpr LONG IMM_ERROR_GENERAL = -2;

// ImmSetCompositionStringA.
constexpr DWORD SCS_SETSTR = 0x0009;

// ImmNotifyIME actions and their values.
constexpr DWORD NI_COMPOSITIONSTR = 0x0015;
constexpr DWORD NI_SETCANDIDATE_PAGESTART = 0x0016;
constexpr DWORD NI_SETCANDIDATE_PAGESIZE = 0x0017;
constexpr DWORD CPS_CANCEL = 0x0004;

// WM_IME_NOTIFY notifications (wParam).
constexpr WPARAM IMN_CHANGECANDIDATE = 0x0003;
constexpr WPARAM IMN_CLOSECANDIDATE = 0x0004;
constexpr WPARAM IMN_OPENCANDIDATE = 0x0005;
constexpr WPARAM IMN_SETOPENSTATUS = 0x0008;
constexpr WPARAM IMN_SETCANDIDATEPOS = 0x0009;

// A candidate list: the header, dwCount offsets from the list's start, then
// the candidates as Shift-JIS strings, each NUL-terminated.
struct CANDIDATELIST {
  DWORD dwSize;  // bytes of the whole list
  DWORD dwStyle;
  DWORD dwCount;
  DWORD dwSelection;
  DWORD dwPageStart;
  DWORD dwPageSize;
  DWORD dwOffset[1];
};
constexpr DWORD IME_CAND_READ = 1;

// Null for a window that does not exist.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// The window that stands for the input method's own (the window itself here).
HWND ImmGetDefaultIMEWnd(HWND window);

// With a null buffer or a length of 0 the size in bytes; else the bytes
// copied (at most length). GCS_CURSORPOS answers the cursor itself.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD length);
// SCS_SETSTR replaces the composition text (the cursor goes to its end).
BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition, DWORD compositionLength,
                              const void* reading, DWORD readingLength);
// NI_COMPOSITIONSTR with the index CPS_CANCEL drops the composition;
// NI_SETCANDIDATE_PAGESTART and NI_SETCANDIDATE_PAGESIZE set the page of
// candidate list 0 to the value.
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);
// A change of the open status sends WM_IME_NOTIFY with IMN_SETOPENSTATUS.
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// With a length of 0 the list's size in bytes (0 when none is open); else the
// size when the list fits the length and was copied, 0 when not.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, CANDIDATELIST* list, DWORD length);

// ---------------------------------------------------------------- tests only

// Opens (or changes) the window's candidate list with the Shift-JIS
// candidates and the selection, sending IMN_OPENCANDIDATE or
// IMN_CHANGECANDIDATE; a count of 0 closes it (IMN_CLOSECANDIDATE).
void PlatformImeSetCandidates(HWND window, const char* const* candidates, int count, int selection);
