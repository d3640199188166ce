#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/imm/imm.h"
#include "platform/win32/win32.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message >= WM_IME_STARTCOMPOSITION && message <= WM_IME_COMPOSITION) || message == WM_IME_NOTIFY ||
      message == WM_CHAR)
    seen.push_back({message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr LPARAM kChanged = GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE;

// A window of its own class, its messages recorded.
class ImmTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "ImmTest";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window = CreateWindowExA(0, "ImmTest", "t", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    context = ImmGetContext(window);
    ASSERT_NE(context, nullptr);
    Pump();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    UnregisterClassA("ImmTest", nullptr);
  }
  // Delivers what is queued; returns the messages seen, then forgets them.
  std::vector<Seen> Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    std::vector<Seen> out;
    out.swap(seen);
    return out;
  }
  void Editing(const char* utf8, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    e.edit.windowID = PlatformSdlWindowId(window);
    SDL_strlcpy(e.edit.text, utf8, sizeof e.edit.text);
    e.edit.start = start;
    e.edit.length = length;
    SDL_PushEvent(&e);
  }
  void Text(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = PlatformSdlWindowId(window);
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    SDL_PushEvent(&e);
  }
  std::string Read(DWORD index) {
    LONG size = ImmGetCompositionStringA(context, index, nullptr, 0);
    std::string text(static_cast<size_t>(size), '\0');
    EXPECT_EQ(ImmGetCompositionStringA(context, index, text.data(), static_cast<DWORD>(size)), size);
    return text;
  }
  std::vector<uint32_t> Clauses() {
    std::string bytes = Read(GCS_COMPCLAUSE);
    std::vector<uint32_t> clauses(bytes.size() / 4);
    memcpy(clauses.data(), bytes.data(), bytes.size());
    return clauses;
  }
  HWND window = nullptr;
  HIMC context = nullptr;
};

TEST_F(ImmTest, CompositionsBecomeImeMessages) {
  // "あ", an emoji without a Shift-JIS form, "い": the edited run is "い".
  Editing("\xE3\x81\x82\xF0\x9F\x98\x80\xE3\x81\x84", 2, 1);
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0},
                                       {WM_IME_STARTCOMPOSITION, 0, 0},
                                       {WM_IME_COMPOSITION, 0, kChanged}}));
  EXPECT_TRUE(ImmGetOpenStatus(context));
  EXPECT_EQ(Read(GCS_COMPSTR), "あい");
  EXPECT_EQ(ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0), 1);
  EXPECT_EQ(Clauses(), (std::vector<uint32_t>{0, 2, 4}));
  char two[2];
  EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, two, 2), 2);  // cut to the buffer
  EXPECT_EQ(ImmGetCompositionStringA(context, 0x4000, two, 2), IMM_ERROR_GENERAL);

  // Committed text is the composition's result, not characters.
  Text("\xE4\xBA\x9C");  // "亜"
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_COMPOSITION, 0, GCS_RESULTSTR}, {WM_IME_ENDCOMPOSITION, 0, 0}}));
  EXPECT_EQ(Read(GCS_RESULTSTR), "亜");
  EXPECT_EQ(Read(GCS_COMPSTR), "");
  Text("a");
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_CHAR, 'a', 1}}));

  // An empty composition ends one that runs; with the input method switched
  // off nothing is composed.
  Editing("x", 1, 0);
  Editing("", 0, 0);
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_STARTCOMPOSITION, 0, 0},
                                       {WM_IME_COMPOSITION, 0, kChanged},
                                       {WM_IME_COMPOSITION, 0, kChanged},
                                       {WM_IME_ENDCOMPOSITION, 0, 0}}));
  WINNLSEnableIME(window, FALSE);
  Editing("x", 1, 0);
  Text("b");
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_CHAR, 'b', 1}}));
}

TEST_F(ImmTest, TheLibrarySetsCancelsAndOpens) {
  EXPECT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));  // nothing to cancel
  EXPECT_TRUE(ImmSetCompositionStringA(context, SCS_SETSTR, "日本x", 5, nullptr, 0));
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_STARTCOMPOSITION, 0, 0}, {WM_IME_COMPOSITION, 0, kChanged}}));
  EXPECT_EQ(Read(GCS_COMPSTR), "日本x");
  EXPECT_EQ(ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0), 3);
  EXPECT_FALSE(ImmNotifyIME(context, NI_COMPOSITIONSTR, 1, 0));
  EXPECT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_COMPOSITION, 0, kChanged}, {WM_IME_ENDCOMPOSITION, 0, 0}}));
  EXPECT_EQ(Read(GCS_COMPSTR), "");

  EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));
  EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));  // no change, no message
  EXPECT_TRUE(ImmSetOpenStatus(context, FALSE));
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0}, {WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0}}));
  EXPECT_FALSE(ImmGetOpenStatus(context));

  // A destroyed window's context is gone.
  EXPECT_EQ(ImmGetDefaultIMEWnd(window), window);
  DestroyWindow(window);
  EXPECT_EQ(ImmGetContext(window), nullptr);
  EXPECT_FALSE(ImmSetOpenStatus(context, TRUE));
  EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0), IMM_ERROR_GENERAL);
}

TEST_F(ImmTest, CandidateListsAreLaidOutWithTheirStrings) {
  EXPECT_EQ(ImmGetCandidateListA(context, 0, nullptr, 0), 0u);
  const char* candidates[] = {"日本", "二本", "x"};
  PlatformImeSetCandidates(window, candidates, 3, 5);
  PlatformImeSetCandidates(window, candidates, 2, 1);
  PlatformImeSetCandidates(window, nullptr, 0, 0);
  EXPECT_EQ(Pump(), (std::vector<Seen>{{WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1},
                                       {WM_IME_NOTIFY, IMN_CHANGECANDIDATE, 1},
                                       {WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1}}));
  EXPECT_FALSE(ImmNotifyIME(context, NI_SETCANDIDATE_PAGESIZE, 0, 5));  // no list open

  PlatformImeSetCandidates(window, candidates, 3, 5);
  EXPECT_TRUE(ImmNotifyIME(context, NI_SETCANDIDATE_PAGESTART, 0, 2));
  EXPECT_TRUE(ImmNotifyIME(context, NI_SETCANDIDATE_PAGESIZE, 0, 4));
  DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
  ASSERT_EQ(size, offsetof(CANDIDATELIST, dwOffset) + 3 * sizeof(DWORD) + 5 + 5 + 2);
  std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
  auto* list = reinterpret_cast<CANDIDATELIST*>(buffer.data());
  EXPECT_EQ(ImmGetCandidateListA(context, 0, list, size - 1), 0u);
  ASSERT_EQ(ImmGetCandidateListA(context, 0, list, size), size);
  EXPECT_EQ(list->dwSize, size);
  EXPECT_EQ(list->dwCount, 3u);
  EXPECT_EQ(list->dwSelection, 2u);  // the selection kept inside the list
  EXPECT_EQ(list->dwPageStart, 2u);
  EXPECT_EQ(list->dwPageSize, 4u);
  const char* base = reinterpret_cast<const char*>(list);
  EXPECT_STREQ(base + list->dwOffset[0], "日本");
  EXPECT_STREQ(base + list->dwOffset[2], "x");
  EXPECT_EQ(list->dwOffset[2] + 2, size);
}

}  // namespace
