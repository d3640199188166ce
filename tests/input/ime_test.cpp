#include <cstring>
#include <string>
#include <vector>

#include "tests/input/input_fixture.h"

namespace {

class ImeTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    ASSERT_EQ(InitLibrary(), 0);
  }
  static std::vector<uint32_t> Clauses() { return {Ime.clauses, Ime.clauses + Ime.clauseCount}; }
  static std::string Candidate(int i) {
    const char* base = reinterpret_cast<const char*>(Ime.candidates);
    return base + Ime.candidates->dwOffset[i];
  }
};

TEST_F(ImeTest, CompositionIsKeptAndItsResultIsTyped) {
  int handle = CreateKeyInputHandle(10, 0, 0, 0);
  ActivateKeyInputHandle(handle);
  PushEditing(U8(u8"にほん"), 3, 0);
  Frame();
  EXPECT_EQ(Ime.composing, 1);
  EXPECT_EQ(Ime.open, 1);
  EXPECT_STREQ(Ime.composition, "にほん");
  EXPECT_EQ(Ime.cursor, 3);
  EXPECT_EQ(Clauses(), (std::vector<uint32_t>{0, 6}));

  // Converted: the first character is the clause being edited.
  PushEditing(U8(u8"日本ん"), 0, 1);
  Frame();
  EXPECT_STREQ(Ime.composition, "日本ん");
  EXPECT_EQ(Ime.cursor, 0);
  EXPECT_EQ(Clauses(), (std::vector<uint32_t>{0, 2, 6}));
  EXPECT_EQ(GetKeyInputRecord(handle)->length, 0u);

  PushText(U8(u8"日本"));
  Frame();
  EXPECT_EQ(Ime.composing, 0);
  EXPECT_STREQ(Ime.composition, "");
  EXPECT_STREQ(GetKeyInputRecord(handle)->text, "日本");

  // With the last handle gone the input method is off: compositions are not
  // seen and typed text arrives as characters.
  DeleteKeyInputHandle(handle);
  PushEditing(U8(u8"か"), 1, 0);
  PushText(U8(u8"か"));
  Frame();
  EXPECT_EQ(Ime.composing, 0);
  char c[2];
  ASSERT_EQ(GetCharCode(c, 1), 2);
  EXPECT_EQ(std::string(c, 2), "か");
}

TEST_F(ImeTest, TheCandidateListIsCopiedAndFreed) {
  CreateKeyInputHandle(10, 0, 0, 0);
  const char* candidates[] = {"日本", "二本", "２本"};
  PlatformImeSetCandidates(MainHwnd, candidates, 3, 1);
  ASSERT_NE(Ime.candidates, nullptr);
  EXPECT_EQ(Ime.candidates->dwCount, 3u);
  EXPECT_EQ(Ime.candidates->dwSelection, 1u);
  EXPECT_EQ(Ime.candidateSize, Ime.candidates->dwSize);
  EXPECT_EQ(Candidate(0), "日本");
  EXPECT_EQ(Candidate(2), "２本");

  const char* fewer[] = {"日"};
  PlatformImeSetCandidates(MainHwnd, fewer, 1, 0);
  EXPECT_EQ(Ime.candidates->dwCount, 1u);
  EXPECT_EQ(Candidate(0), "日");
  PlatformImeSetCandidates(MainHwnd, nullptr, 0, 0);
  EXPECT_EQ(Ime.candidates, nullptr);

  // A notification without a list is logged and keeps nothing.
  SendMessageA(MainHwnd, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1);
  EXPECT_EQ(Ime.candidates, nullptr);
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(MatchesPattern(lines.back(), "漢字変換候補のデータサイズが０でした  DefHWND:* IMC:*"))
      << SjisForPrint(lines.back());

  // Deleting every handle frees an open list.
  PlatformImeSetCandidates(MainHwnd, candidates, 3, 0);
  EXPECT_NE(Ime.candidates, nullptr);
  DeleteAllKeyInputHandles();
  EXPECT_EQ(Ime.candidates, nullptr);
}

TEST_F(ImeTest, ComingBackReopensTheInputMethodAndKeepsTheComposition) {
  ActivateKeyInputHandle(CreateKeyInputHandle(10, 0, 0, 0));
  PushEditing(U8(u8"にほ"), 2, 0);
  Frame();
  ASSERT_EQ(Ime.open, 1);

  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = PlatformSdlWindowId(MainHwnd);
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
  e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&e);
  auto pump = [] {
    Sleep(1);
    ProcessWindowMessages();
  };
  pump();
  EXPECT_EQ(AppActive, 1);
  // The pump that saw the activation began the sequence: the composition
  // saved and dropped, the input method closed (and opened again).
  EXPECT_NE(Ime.restartStep, 0);
  EXPECT_EQ(Ime.composing, 0);
  EXPECT_STREQ(Ime.savedComposition, "にほ");
  for (int i = 0; i < 4 && Ime.restartStep != 0; ++i) pump();
  EXPECT_EQ(Ime.restartStep, 0);
  EXPECT_EQ(Ime.open, 1);
  EXPECT_EQ(Ime.composing, 1);
  EXPECT_STREQ(Ime.composition, "にほ");
}

TEST_F(ImeTest, TheCompositionCanBeLimited) {
  int handle = CreateKeyInputHandle(4, 0, 0, 0);
  ActivateKeyInputHandle(handle);
  PushText("ab");
  Frame();
  const struct {
    int room;
    int fixed;
    const char* kept;
  } cases[] = {{0, 0, "あいう"}, {1, 0, "あ"}, {0, 3, "あ"}, {0, 4, "あい"}, {1, 1, ""}, {0, 6, "あいう"}};
  for (const auto& c : cases) {
    Ime.limitToRoom = c.room;
    Ime.fixedLimit = c.fixed;
    PushEditing(U8(u8"あいう"), 3, 0);
    Frame();
    EXPECT_STREQ(Ime.composition, c.kept) << c.room << " " << c.fixed;
  }
  Ime.limitToRoom = Ime.fixedLimit = 0;
  EXPECT_STREQ(GetKeyInputRecord(handle)->text, "ab");
}

}  // namespace
