#include <cstring>
#include <string>
#include <vector>

#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/input/key_input_draw.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "tests/input/input_fixture.h"

namespace {

// The screen's 16-bit pixels.
std::vector<uint16_t> Screen() {
  std::vector<uint16_t> out;
  for (int y = 0; y < ScreenMemImg.height; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(ScreenMemImg.pixels + y * ScreenMemImg.buffer->pitch);
    out.insert(out.end(), row, row + ScreenMemImg.width);
  }
  return out;
}

// Where two screens differ first, for messages.
std::string FirstDifference(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i])
      return "pixel " + std::to_string(i % ScreenMemImg.width) + "," + std::to_string(i / ScreenMemImg.width);
  return "";
}

// Fields drawn on the back screen of a started library (16 bits, default
// font of 16 pixels), typed into through SDL's text input and the
// input-method stand-in.
class KeyInputDrawTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    ASSERT_EQ(InitLibrary(), 0);
    SelectDrawTarget(BackScreenHandle);
    font_ = QueryDefaultFontHandle();
  }
  static void Clear() { FillMemImgRect(&ScreenMemImg, nullptr, 0); }
  int Width(const std::string& text) const { return GetTextWidthToHandle(text.c_str(), -1, font_, 0); }
  // The text as the text calls draw it, in the fields' text colours.
  void Text(int x, int y, const std::string& text, uint32_t colour, uint32_t edge) const {
    DrawTextToHandle(x, y, text.c_str(), colour, font_, edge, 0);
  }
  static uint32_t Pixel(int x, int y) {
    uint16_t v;
    std::memcpy(&v, ScreenMemImg.pixels + y * ScreenMemImg.buffer->pitch + x * 2, 2);
    return v;
  }
  int ActiveField(int maxLength) {
    const int handle = CreateKeyInputHandle(maxLength, 0, 0, 0);
    EXPECT_EQ(ActivateKeyInputHandle(handle), 0);
    return handle;
  }

  ObjectHandle font_ = -1;
};

TEST_F(KeyInputDrawTest, TypedTextItsCaretAndTheSelection) {
  const int handle = ActiveField(20);
  PushText("ab");
  Frame();
  PushText(U8(u8"日本"));
  Frame();
  ASSERT_STREQ(GetKeyInputRecord(handle)->text, "ab日本");
  const KeyInputColorTable& c = KeyInputColors;
  EXPECT_EQ(c.text, MakeScreenColor(255, 255, 255));
  EXPECT_EQ(c.selectedTextEdge, MakeScreenColor(128, 128, 128));

  Clear();
  EXPECT_EQ(DrawKeyInputText(10, 10, handle), 0);
  const std::vector<uint16_t> drawn = Screen();
  // The text, then the caret after it: 2 pixels wide, the font size high.
  Clear();
  Text(10, 10, "ab日本", c.text, c.textEdge);
  const int end = 10 + Width("ab日本");
  FillRectangleShape(end, 10, end + 2, 26, c.caret);
  EXPECT_EQ(Screen(), drawn) << "text and caret: " << FirstDifference(Screen(), drawn);
  EXPECT_EQ(Pixel(end, 10), c.caret);
  EXPECT_EQ(Pixel(end + 1, 25), c.caret);

  // The caret follows the cursor; a field that is not active has none.
  KeyInputRecord* r = GetKeyInputRecord(handle);
  r->cursor = 2;
  r->selectionStart = 0;
  r->selectionEnd = 2;
  Clear();
  DrawKeyInputText(10, 10, handle);
  const std::vector<uint16_t> selected = Screen();
  Clear();
  FillRectangleShape(10, 10, 10 + Width("ab"), 26, c.selectionBox);
  Text(10, 10, "a", c.selectedText, c.selectedTextEdge);
  Text(10 + Width("a"), 10, "b", c.selectedText, c.selectedTextEdge);
  Text(10 + Width("ab"), 10, "日本", c.text, c.textEdge);
  FillRectangleShape(10 + Width("ab"), 10, 12 + Width("ab"), 26, c.caret);
  EXPECT_EQ(Screen(), selected) << "selection: " << FirstDifference(Screen(), selected);

  ActivateKeyInputHandle(-1);
  Clear();
  DrawKeyInputText(10, 10, handle);
  EXPECT_EQ(Pixel(10 + Width("ab日本"), 20), 0u);
}

TEST_F(KeyInputDrawTest, TheCompositionAndTheCandidateList) {
  const int handle = ActiveField(20);
  PushText("x");
  Frame();
  PushEditing(U8(u8"にほん"), 3, 0);
  Frame();
  ASSERT_EQ(Ime.composing, 1);
  const KeyInputColorTable& c = KeyInputColors;
  const int caret = 10 + Width("x");
  const int compositionEnd = caret + Width("にほん");

  Clear();
  DrawKeyInputText(10, 10, handle);
  // Over a black box the composition in the text colour, its one clause
  // underlined, and the input method's caret at its end.
  int inked = 0;
  for (int x = caret + 2; x < compositionEnd; ++x)
    for (int y = 10; y < 26; ++y) inked += Pixel(x, y) == c.text;
  EXPECT_GT(inked, 20);
  EXPECT_EQ(Pixel(caret + 3, 26), c.clauseUnderline);
  EXPECT_EQ(Pixel(compositionEnd - 2, 26), c.clauseUnderline);
  EXPECT_EQ(Pixel(compositionEnd, 12), c.imeCaret);
  EXPECT_EQ(Pixel(compositionEnd + 1, 25), c.imeCaret);

  // Converted: the clause being edited ("日", the first character) is boxed,
  // the caret stands at its start.
  PushEditing(U8(u8"日本ん"), 0, 1);
  Frame();
  Clear();
  DrawKeyInputText(10, 10, handle);
  const int clauseEnd = caret + Width("日");
  EXPECT_EQ(Pixel(caret + 5, 10), c.convertedClause);  // the box's top edge
  EXPECT_EQ(Pixel(clauseEnd - 1, 18), c.convertedClause);
  EXPECT_EQ(Pixel(caret, 18), c.imeCaret);
  EXPECT_EQ(Pixel(clauseEnd + 3, 26), c.clauseUnderline);  // the second clause's line

  // The candidates in a framed box below the field, the selected one in red,
  // then the count; the input method is told the page.
  const char* candidates[] = {"日本", "二本", "2本"};
  PlatformImeSetCandidates(MainHwnd, candidates, 3, 1);
  Frame();
  ASSERT_NE(Ime.candidates, nullptr);
  Clear();
  DrawKeyInputText(10, 10, handle);
  const int line = 16 + 16 / 10 * 3;
  EXPECT_EQ(Pixel(caret, 10 + line), c.candidateFrame);
  int red = 0, white = 0;
  for (int y = 12 + line; y < 12 + 5 * line; ++y)
    for (int x = caret; x < caret + 80; ++x) {
      const bool inSecond = y >= 12 + 2 * line && y < 12 + 3 * line;
      red += Pixel(x, y) == c.convertedClause && inSecond;
      white += Pixel(x, y) == c.text && !inSecond;
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(white, 40);
  HIMC context = ImmGetContext(MainHwnd);
  std::vector<uint8_t> list(ImmGetCandidateListA(context, 0, nullptr, 0));
  ASSERT_FALSE(list.empty());
  ImmGetCandidateListA(context, 0, reinterpret_cast<CANDIDATELIST*>(list.data()), static_cast<DWORD>(list.size()));
  ImmReleaseContext(MainHwnd, context);
  EXPECT_EQ(reinterpret_cast<CANDIDATELIST*>(list.data())->dwPageSize, static_cast<DWORD>(kCandidatePageSize));
  EXPECT_EQ(reinterpret_cast<CANDIDATELIST*>(list.data())->dwPageStart, 0u);

  // At the bottom of the area the box goes above the field.
  Clear();
  DrawKeyInputText(10, 480 - 20, handle);
  int frameAbove = 0;
  for (int y = 0; y < 460; ++y) frameAbove += Pixel(caret, y) == c.candidateFrame;
  EXPECT_GT(frameAbove, 0);
}

TEST_F(KeyInputDrawTest, LongTextScrollsToTheCursorAndFieldsKeepToTheArea) {
  const int handle = ActiveField(40);
  PushText("abcdefghijklmnopqrstuvwxyz");
  Frame();
  KeyInputRecord* r = GetKeyInputRecord(handle);
  ASSERT_EQ(r->cursor, 26u);
  SetDrawClipArea(0, 0, 100, 480);
  Clear();
  DrawKeyInputText(4, 4, handle);
  // The first bytes are scrolled out; the caret stays in the area.
  EXPECT_GT(r->firstShown, 0);
  const int caret = 4 + Width(std::string(r->text + r->firstShown));
  EXPECT_LE(caret + 2, 100);
  EXPECT_EQ(Pixel(caret, 10), KeyInputColors.caret);
  // The cursor moved back to the start scrolls back.
  r->cursor = 0;
  DrawKeyInputText(4, 4, handle);
  EXPECT_EQ(r->firstShown, 0);

  // A start beyond the area's right edge goes to the next line at its left.
  r->cursor = 0;
  Clear();
  DrawKeyInputText(150, 30, handle);
  EXPECT_EQ(Pixel(0, 30 + 16 + 16 / 10 * 3 + 8), KeyInputColors.caret);
  SetDrawClipArea(0, 0, 640, 480);
}

}  // namespace
