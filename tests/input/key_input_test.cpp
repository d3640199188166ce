#include <cstring>
#include <string>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/text_helpers.h"
#include "library/graphics/draw_state.h"
#include "tests/input/input_fixture.h"

namespace {

const std::string kCopy = "\x03";
const std::string kBackspace = "\x08";
const std::string kTab = "\x09";
const std::string kEnter = "\x0D";
const std::string kDelete = "\x10";
const std::string kPaste = "\x16";
const std::string kCut = "\x18";
const std::string kEnd = "\x19";
const std::string kHome = "\x1A";
const std::string kEscape = "\x1B";
const std::string kRight = "\x1C";
const std::string kLeft = "\x1D";
const std::string kUp = "\x1E";
const std::string kDown = "\x1F";

void Put(const std::string& bytes) {
  for (char c : bytes) ASSERT_EQ(PutCharCode(static_cast<uint8_t>(c)), 0);
}

std::string Take() {
  std::string taken;
  char c[2];
  int n;
  while ((n = GetCharCode(c, 1)) > 0) taken.append(c, static_cast<size_t>(n));
  return taken;
}

TEST(CharCodeBuffer, HoldsTenTwentyFourBytesAndWrapsAround) {
  CharCodeBuffer = CharCodeBufferState{};
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(PutCharCode('a' + i % 26), 0) << i;
  EXPECT_EQ(PutCharCode('x'), -1);
  std::string all = Take();
  ASSERT_EQ(all.size(), 1024u);
  EXPECT_EQ(all.substr(0, 3), "abc");
  EXPECT_EQ(all.back(), 'a' + 1023 % 26);

  // Now both indices stand near the end of the ring: the next bytes wrap.
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(PutCharCode('0' + i % 10), 0) << i;
  EXPECT_EQ(PutCharCode('x'), -1);
  char c[2];
  EXPECT_EQ(GetCharCode(c, 0), 1);  // a look leaves it
  EXPECT_EQ(c[0], '0');
  all = Take();
  ASSERT_EQ(all.size(), 1024u);
  EXPECT_EQ(all.substr(1020), "0123");
  EXPECT_EQ(GetCharCode(c, 1), 0);
}

TEST(CharCodeBuffer, ALeadByteWaitsForItsTrail) {
  CharCodeBuffer = CharCodeBufferState{};
  PutCharCode(0x82);
  char c[2];
  EXPECT_EQ(GetCharCode(c, 1), 0);
  PutCharCode(0xA0);
  EXPECT_EQ(GetCharCode(c, 0), 2);
  EXPECT_EQ(GetCharCode(c, 1), 2);
  EXPECT_EQ(std::string(c, 2), "あ");
  // An editing key's code is never a lead byte, whatever the character set.
  LibraryCharSet = CharSetKorean;
  PutCharCode(kCodeLeft);
  PutCharCode(0xB0);
  EXPECT_EQ(GetCharCode(c, 1), 1);
  EXPECT_EQ(GetCharCode(c, 1), 0);  // 0xB0 is a lead byte in Korean
  LibraryCharSet = CharSetShiftJis;
}

class KeyInputTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    ASSERT_EQ(InitLibrary(), 0);
    DrawClipRect = PixelRect{0, 0, 640, 480};  // as graphics' start-up leaves it
  }
  // Types the bytes into the active field without the pump (which would read
  // the keyboard again), with Shift held as given.
  static void Type(const std::string& bytes, bool shift = false) {
    KeyStateTable[0x2A] = shift ? 0x80 : 0;
    Put(bytes);
    UpdateKeyInputs();
    KeyStateTable[0x2A] = 0;
  }
  static int MakeActive(int maxLength, int cancel = 0, int singleByte = 0, int numbers = 0) {
    int handle = CreateKeyInputHandle(maxLength, cancel, singleByte, numbers);
    EXPECT_NE(handle, -1);
    EXPECT_EQ(ActivateKeyInputHandle(handle), 0);
    return handle;
  }
};

TEST_F(KeyInputTest, EditingCases) {
  struct Step {
    std::string bytes;
    bool shift;
  };
  struct Case {
    const char* what;
    int maxLength;
    int singleByte;
    int numbers;
    std::vector<Step> steps;
    std::string text;
    uint32_t cursor;
    int32_t selectionStart;
    int32_t selectionEnd;
  };
  const Case cases[] = {
      {"insert at the cursor", 10, 0, 0, {{"abc" + kLeft + kLeft + "X", false}}, "aXbc", 2, -1, -1},
      {"Home and End", 10, 0, 0, {{"abc" + kHome + "X" + kEnd + "Y", false}}, "XabcY", 5, -1, -1},
      {"Right stops at the end, Left at 0", 10, 0, 0,
       {{"ab" + kRight + kLeft + kLeft + kLeft + "Z", false}}, "Zab", 1, -1, -1},
      {"Backspace removes a double-byte character whole", 10, 0, 0, {{"aあ" + kBackspace, false}}, "a", 1, -1, -1},
      {"Backspace at 0 does nothing", 10, 0, 0, {{"a" + kHome + kBackspace, false}}, "a", 0, -1, -1},
      {"Left steps over a double-byte character", 10, 0, 0, {{"あい" + kLeft + "x", false}}, "あxい", 3, -1, -1},
      {"Right steps over a double-byte character", 10, 0, 0, {{"あい" + kHome + kRight + "x", false}}, "あxい", 3, -1, -1},
      {"Delete removes the character at the cursor", 10, 0, 0, {{"あb" + kHome + kDelete, false}}, "b", 0, -1, -1},
      {"Delete at the end does nothing", 10, 0, 0, {{"ab" + kDelete, false}}, "ab", 2, -1, -1},
      {"Shift+Home selects back to 0", 10, 0, 0, {{"abc", false}, {kHome, true}}, "abc", 0, 3, 0},
      {"Shift+End selects to the end", 10, 0, 0, {{"abc" + kHome + kRight, false}, {kEnd, true}}, "abc", 3, 1, 3},
      {"Shift+Right over a double-byte character", 10, 0, 0, {{"あz" + kHome, false}, {kRight, true}}, "あz", 2, 0, 2},
      {"Shift+Left twice, then Backspace deletes the selection", 10, 0, 0,
       {{"abcd", false}, {kLeft + kLeft, true}, {kBackspace, false}}, "ab", 2, -1, -1},
      {"a move without Shift ends the selection", 10, 0, 0, {{"abc", false}, {kLeft, true}, {kLeft, false}}, "abc",
       1, -1, -1},
      {"typing replaces the selection", 10, 0, 0, {{"abc", false}, {kHome, true}, {"x", false}}, "x", 1, -1, -1},
      {"Delete removes the selection", 10, 0, 0, {{"abc", false}, {kLeft + kLeft, true}, {kDelete, false}}, "a", 1,
       -1, -1},
      {"Tab, Up and Down do nothing", 10, 0, 0, {{"a" + kTab + kUp + kDown + "b", false}}, "ab", 2, -1, -1},
      {"Page Up and Page Down are typed", 10, 0, 0, {{"a\x17\x15", false}}, "a\x17\x15", 3, -1, -1},
      {"numbers: digits, a leading minus and one point", 10, 0, 1, {{"-12.5", false}}, "-12.5", 5, -1, -1},
      {"numbers: a minus after the start is refused", 10, 0, 1, {{"1-2", false}}, "12", 2, -1, -1},
      {"numbers: a second point is refused", 10, 0, 1, {{"1.2.3", false}}, "1.23", 4, -1, -1},
      {"numbers: letters and double-byte digits are refused", 10, 0, 1, {{"a1\x82\x4F", false}}, "1", 1, -1, -1},
      {"single-byte: double-byte characters are refused", 10, 1, 0, {{"aあb", false}}, "ab", 2, -1, -1},
      {"a full field drops its last character", 5, 0, 0, {{"abcde" "f", false}}, "abcdf", 5, -1, -1},
      {"a double-byte character drops two", 5, 0, 0, {{"abcdeあ", false}}, "abcあ", 5, -1, -1},
      {"a double-byte character never fits one byte", 1, 0, 0, {{"あ", false}}, "", 0, -1, -1},
      {"nor a field full of one byte", 1, 0, 0, {{"aあ", false}}, "a", 1, -1, -1},
      {"dropping past the cursor brings it back", 4, 0, 0, {{"abcd" + kLeft + "あ", false}}, "abあ", 4, -1, -1},
      {"dropping takes a double-byte character whole", 4, 0, 0, {{"abあ" "c", false}}, "abc", 3, -1, -1},
  };
  for (const Case& c : cases) {
    int handle = MakeActive(c.maxLength, 0, c.singleByte, c.numbers);
    for (const Step& step : c.steps) Type(step.bytes, step.shift);
    const KeyInputRecord* r = GetKeyInputRecord(handle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->text), c.text) << c.what;
    EXPECT_EQ(r->length, c.text.size()) << c.what;
    EXPECT_EQ(r->cursor, c.cursor) << c.what;
    EXPECT_EQ(r->selectionStart, c.selectionStart) << c.what;
    EXPECT_EQ(r->selectionEnd, c.selectionEnd) << c.what;
    EXPECT_EQ(GetKeyInputStatus(handle), 0) << c.what;
    EXPECT_EQ(DeleteKeyInputHandle(handle), 0);
  }
}

// A lead byte with a NUL as its second byte (PutCharCode(0) is public) once
// went into the text as two one-byte characters; Backspace on the NUL then
// joined the lead byte with the next byte around the cursor, and a full
// field dropping that character left the cursor past the text, so the next
// character moved some 4 GB. NULs are not typed, and the cursor stays on a
// character boundary within the text at every step.
TEST_F(KeyInputTest, TheCursorStaysOnACharacterBoundaryWithinTheText) {
  struct Case {
    const char* what;
    int maxLength;
    std::string bytes;
    std::string text;
    uint32_t cursor;
  };
  const Case cases[] = {
      {"a lead byte and a NUL, Backspace, then a full field", 3,
       std::string("\x81\x00", 2) + "a" + kLeft + kBackspace + "あcd", "あd", 3},
      {"a NUL alone is not typed", 4, std::string("a\x00" "b", 3), "ab", 2},
      {"a NUL second byte is not typed either", 4, std::string("x\x82\x00y", 4), "xy", 2},
  };
  for (const Case& c : cases) {
    int handle = MakeActive(c.maxLength);
    Type(c.bytes);
    const KeyInputRecord* r = GetKeyInputRecord(handle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->text), c.text) << c.what;
    EXPECT_EQ(r->length, c.text.size()) << c.what;
    EXPECT_EQ(r->cursor, c.cursor) << c.what;
    EXPECT_EQ(DeleteKeyInputHandle(handle), 0);
  }

  // The character set changes under a field: the byte pair around the cursor
  // becomes one character, and the next key puts the cursor before it.
  int handle = MakeActive(3);
  Type("\xA4" "A" + kLeft);  // a half-width katakana and A, cursor between them
  LibraryCharSet = CharSetBig5;
  Type("z");
  LibraryCharSet = CharSetShiftJis;
  const KeyInputRecord* r = GetKeyInputRecord(handle);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(r->text), "z\xA4" "A");
  EXPECT_EQ(r->cursor, 1u);
}

TEST_F(KeyInputTest, EnterFinishesAndEscCancelsWhenAllowed) {
  int handle = MakeActive(10);
  Type("ab" + kEscape + kEnter + "cd");
  EXPECT_EQ(GetKeyInputStatus(handle), 1);
  EXPECT_STREQ(GetKeyInputRecord(handle)->text, "ab");
  EXPECT_EQ(Take(), "cd");  // what follows Enter waits in the buffer
  EXPECT_EQ(DrawKeyInputText(0, 0, handle), -1);  // a finished field is not drawn

  int cancellable = MakeActive(10, 1);
  Type("x" + kEscape + "y");
  EXPECT_EQ(GetKeyInputStatus(cancellable), 2);
  EXPECT_STREQ(GetKeyInputRecord(cancellable)->text, "x");

  // Making it active again starts it over.
  EXPECT_EQ(ActivateKeyInputHandle(cancellable), 0);
  EXPECT_EQ(GetKeyInputStatus(cancellable), 0);
  EXPECT_EQ(DrawKeyInputText(0, 0, cancellable), 0);
  DrawClipRect = PixelRect{10, 10, 10, 20};
  EXPECT_EQ(DrawKeyInputText(0, 0, cancellable), -1);
}

TEST_F(KeyInputTest, TheValueIsTheTextAsANumber) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"12.9", 12}, {"-7", -7}, {"-3.9", -3}, {"0.5", 0}, {"123", 123}, {"", -1}};  // no digits at all reads as -1
  for (const auto& c : cases) {
    int handle = MakeActive(10, 0, 0, 1);
    Type(c.text);
    EXPECT_EQ(GetKeyInputValue(handle), c.value) << c.text;
    DeleteKeyInputHandle(handle);
  }
}

TEST_F(KeyInputTest, CopyCutAndPasteGoThroughTheClipboardAsShiftJis) {
  auto clipboard = [] {
    char* text = SDL_GetClipboardText();
    std::string s = text != nullptr ? text : "";
    SDL_free(text);
    return s;
  };
  int handle = MakeActive(20);
  const KeyInputRecord* r = GetKeyInputRecord(handle);
  Type("日本x");
  Type(kLeft, true);
  Type(kCopy);
  EXPECT_EQ(clipboard(), "x");
  Type(kHome, true);
  Type(kCopy);
  EXPECT_EQ(clipboard(), U8(u8"日本x"));
  Type(kDelete);  // Delete without Shift leaves the clipboard alone
  EXPECT_STREQ(r->text, "");

  Type("abc");
  Type(kLeft, true);
  Type(kDelete, true);  // with Shift it cuts
  EXPECT_EQ(clipboard(), "c");
  Type(kLeft, true);
  Type(kCut);
  EXPECT_EQ(clipboard(), "b");
  EXPECT_STREQ(r->text, "a");
  Type(kCut);  // nothing selected: nothing happens
  EXPECT_EQ(clipboard(), "b");

  // A carriage return in pasted text finishes the field; the rest waits.
  SDL_SetClipboardText(U8(u8"あい\r\nz").c_str());
  Type(kPaste);
  EXPECT_STREQ(r->text, "aあい");
  EXPECT_EQ(GetKeyInputStatus(handle), 1);
  EXPECT_EQ(Take(), "\nz");

  // A paste code inside the pasted text would paste again without end.
  ActivateKeyInputHandle(handle);
  SDL_SetClipboardText("1\x16" "2");
  Type(kPaste);
  EXPECT_STREQ(r->text, "aあい12");
}

TEST_F(KeyInputTest, TypingThroughTheWindow) {
  int handle = MakeActive(10, 1);
  PushText("ab");
  PushText(U8(u8"漢"));
  PushKey(SDL_SCANCODE_LEFT, true);
  PushKey(SDL_SCANCODE_BACKSPACE, true);
  Frame();
  const KeyInputRecord* r = GetKeyInputRecord(handle);
  EXPECT_STREQ(r->text, "a漢");
  EXPECT_EQ(r->cursor, 1u);

  // Shift read from the keyboard as the keys arrive.
  PushKey(SDL_SCANCODE_LSHIFT, true);
  Frame();
  PushKey(SDL_SCANCODE_END, true);
  Frame();
  PushKey(SDL_SCANCODE_LSHIFT, false);
  EXPECT_EQ(r->selectionStart, 1);
  EXPECT_EQ(r->selectionEnd, 3);
  PushKey(SDL_SCANCODE_DELETE, true);
  PushKey(SDL_SCANCODE_RETURN, true);
  Frame();
  EXPECT_STREQ(r->text, "a");
  EXPECT_EQ(GetKeyInputStatus(handle), 1);

  ActivateKeyInputHandle(handle);
  PushKey(SDL_SCANCODE_ESCAPE, true);
  Frame();
  EXPECT_EQ(GetKeyInputStatus(handle), 2);
}

TEST_F(KeyInputTest, HandlesAreCheckedAndTheInputMethodFollowsThem) {
  EXPECT_EQ(IsImeEnabled(), 0);
  EXPECT_EQ(CreateKeyInputHandle(-1, 0, 0, 0), -1);
  int first = CreateKeyInputHandle(8, 0, 0, 0);
  ASSERT_NE(first, -1);
  EXPECT_EQ(first & 0x78000000, 0x38000000);
  EXPECT_EQ(IsImeEnabled(), 1);
  EXPECT_EQ(DeleteKeyInputHandle(first), 0);
  EXPECT_EQ(IsImeEnabled(), 0);

  int again = CreateKeyInputHandle(8, 0, 0, 0);
  EXPECT_EQ(again & 0xFFFF, first & 0xFFFF);  // the same slot, another check number
  EXPECT_NE(again, first);
  for (int stale : {first, -1, 0, 0x08000000 | (again & 0x07FFFFFF), again | 0xFF}) {
    EXPECT_EQ(GetKeyInputStatus(stale), -1) << stale;
    EXPECT_EQ(GetKeyInputValue(stale), -1) << stale;
    EXPECT_EQ(DrawKeyInputText(0, 0, stale), -1) << stale;
    EXPECT_EQ(DeleteKeyInputHandle(stale), -1) << stale;
    if (stale != -1) {
      EXPECT_EQ(ActivateKeyInputHandle(stale), -1) << stale;
    }
  }

  std::vector<int> handles{again};
  for (int i = 1; i < 256; ++i) handles.push_back(CreateKeyInputHandle(1, 0, 0, 0));
  EXPECT_EQ(std::count(handles.begin(), handles.end(), -1), 0);
  EXPECT_EQ(CreateKeyInputHandle(1, 0, 0, 0), -1);

  // Making another handle active ends the first one's selection.
  ActivateKeyInputHandle(again);
  Type("abc");
  Type(kLeft, true);
  EXPECT_EQ(GetKeyInputRecord(again)->selectionStart, 3);
  ActivateKeyInputHandle(handles[1]);
  EXPECT_EQ(GetKeyInputRecord(again)->selectionStart, -1);
  EXPECT_EQ(ActivateKeyInputHandle(-1), 0);
  Type("z");  // no field is active: the character waits
  EXPECT_EQ(GetKeyInputRecord(handles[1])->length, 0u);

  EXPECT_EQ(DeleteAllKeyInputHandles(), 0);
  EXPECT_EQ(GetKeyInputStatus(again), -1);
  EXPECT_EQ(IsImeEnabled(), 0);
  EXPECT_EQ(KeyInputs.active, -1);
}

TEST_F(KeyInputTest, ClearingTheBufferReportsBadBytes) {
  Put("ab\xFF" "c");
  EXPECT_EQ(ClearCharCodeBuffer(), 0);
  char c[2];
  EXPECT_EQ(GetCharCode(c, 1), 0);
  std::string log = LogText();
  EXPECT_NE(log.find("文字バッファエラー\n"), std::string::npos);
}

}  // namespace
