// The message text renderer through the real loop, one call a frame: the
// typing timing, the codes, the waits on A, the wrap, and hostile texts that
// must neither overrun the line buffers nor read past their end; the text
// file loader; the window shapes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"

namespace {

// ---------------------------------------------------------------- the renderer

struct Area {
  int right, left, top, bottom, size;
};
// The most common window: 13 columns (24 bytes a line), 3 rows.
constexpr Area kCommon{501, 294, 150, 200, 16};
// The explanation window: 37 columns, 5 rows.
constexpr Area kExplanation{608, 32, 368, 448, 16};

struct TextCase {
  const char* name;
  std::string text;
  Area area;
  int calls;
  // Calls during which the speaker's A is held ([from, to], 1-based).
  std::vector<std::pair<int, int>> held;
  // A press from before the text still holds the latch.
  bool latched;
  // Every call brings a new text id.
  bool newIdEachCall;
  // The result of each call: '0', '1', or '-' for -1.
  std::string results;
  // After call k the lines, joined with '|' (empty lines at the end left out).
  std::vector<std::pair<int, std::string>> lines;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string JoinedLines() {
  int last = -1;
  for (int i = 0; i < kMessageLineCount; ++i)
    if (MessageLines[i][0] != '\0') last = i;
  std::string out;
  for (int i = 0; i <= last; ++i) {
    if (i > 0) out += '|';
    out += std::string(MessageLines[i], strnlen(MessageLines[i], kMessageLineBytes));
  }
  return out;
}

// The case the scene below types, and what each call gave.
const TextCase* running = nullptr;
int callCount = 0;
std::string results;
std::vector<std::string> linesAfterCall;  // [k] after call k (1-based; [0] unused)

int TextScene() {
  ++callCount;
  const TextCase& c = *running;
  int id = c.newIdEachCall ? 1000 + callCount : 7;
  int r = DrawMessageText(c.area.right, id, c.area.left, c.area.top, c.area.bottom, c.area.size, c.text.c_str(), 1);
  results += r == 1 ? '1' : r == -1 ? '-' : r == 0 ? '0' : '?';
  linesAfterCall.push_back(JoinedLines());
  return 0;
}

const std::string kLongLine = "@A" + Repeat("x", 500) + "@N";
const std::string kLongLineLines = Repeat(Repeat("x", 64) + "|", 7) + Repeat("x", 52);
const std::string kPastTheTable = "@A" + Repeat("y", 700) + "@N";
const std::string kPastTheTableLines = Repeat(Repeat("y", 64) + "|", 9) + Repeat("y", 60);

const TextCase kCases[] = {
    // The first character on the fourth call after the clearing one, then
    // one every third call; a two-byte character is one step.
    {"typing", "あB@F", kCommon, 10, {}, false, false, "0000000000",
     {{4, ""}, {5, "あ"}, {7, "あ"}, {8, "あB"}, {10, "あB"}}},
    // A held from an earlier press neither skips nor confirms: '@F' waits
    // for the release and a new press; the call after returns 1 and the next
    // starts the text again.
    {"@F needs a release and a new press", "AB@F", kCommon, 14, {{1, 10}, {12, 12}}, true, false,
     "000000000000" "1" "0", {{8, "AB"}, {12, "AB"}, {13, "AB"}, {14, ""}}},
    // A fresh press while typing shows the rest at once, up to the wait.
    {"a press skips to the wait", "ABCDE@CFG@N", kCommon, 6, {{3, 3}}, false, false, "000000",
     {{3, ""}, {4, "ABCDE"}, {6, "ABCDE"}}},
    {"@A to @N shown whole", "@Aこんにちは@Rです@N", kCommon, 5, {}, false, false, "000--",
     {{2, ""}, {3, "こんにちは|です"}, {5, "こんにちは|です"}}},
    {"a new text id every call types nothing", "AB@F", kCommon, 12, {}, false, true, "000000000000", {{12, ""}}},
    // Three columns break a line after 4 bytes.
    {"width-3 wrap", "あいう@N", Area{32, 0, 0, 48, 16}, 12, {}, false, false, "00000000000-",
     {{8, "あい"}, {11, "あい|う"}}},
    {"@C stops the instant display and waits", "@AAB@CCD@N", kCommon, 12, {{5, 5}}, false, false, "00000000000-",
     {{3, "AB"}, {4, "AB"}, {8, "ABC"}, {11, "ABCD"}}},
    // An unknown code stops the instant display as '@C' does, then goes on
    // after its character.
    {"unknown code", "@AAB@ZCD@N", kCommon, 12, {{5, 5}}, false, false, "00000000000-", {{4, "AB"}, {11, "ABCD"}}},
    {"ignored codes and typed letters", "@A@B12@S3,45@EX@V@I" "Q@R@RZ@N", kCommon, 4, {}, false, false, "000-",
     {{3, "Q||Z"}}},
    // '@P' turns the page on the menu record's press.
    {"@P new page", "@AAB@PCD@N", kCommon, 12, {{5, 5}}, false, false, "000000000000", {{4, "AB"}, {5, ""}, {9, "C"}}},
    // Hostile texts.
    {"no end code", "ABC", kCommon, 13, {}, false, false, "00000000000--", {{13, "ABC"}}},
    {"empty text", "", kCommon, 3, {}, false, false, "0--", {{3, ""}}},
    {"ends inside a two-byte character", "AB\x82", kCommon, 10, {}, false, false, "00000000--", {{10, "AB"}}},
    {"ends right after @", "@AAB@", kCommon, 4, {}, false, false, "000-", {{4, "AB"}}},
    {"ends after an unknown code's lead byte", "A@\x82", kCommon, 7, {}, false, false, "00000--", {{7, "A"}}},
    {"a 500-byte line in the explanation window", kLongLine, kExplanation, 4, {}, false, false, "000-",
     {{3, kLongLineLines}}},
    {"a two-byte character never passes the buffer", "@A" + Repeat("x", 63) + "あ@N", kExplanation, 4, {}, false,
     false, "000-", {{3, Repeat("x", 63) + "|あ"}}},
    {"typing past line 9", kPastTheTable, kExplanation, 4, {}, false, false, "000-", {{3, kPastTheTableLines}}},
    {"@M 200", "@A@M200AB@N", kCommon, 4, {}, false, false, "000-", {{3, "AB"}}},
    {"twelve @R", "@A" + Repeat("@R", 12) + "Z@N", kCommon, 4, {}, false, false, "000-",
     {{3, Repeat("|", 9) + "Z"}}},
    // Sizes outside 1..24 and rows past the table use the font table's range.
    {"size 0 and 200 rows", "@AAB@N", Area{600, 0, 0, 4000, 0}, 4, {}, false, false, "000-", {{3, "AB"}}},
    {"size 99", "@AAB@N", Area{600, 0, 0, 4000, 99}, 4, {}, false, false, "000-", {{3, "AB"}}},
};

TEST(MessageText, TypesEachCaseAsTheCodesSay) {
  RunGame({}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);  // the fonts draw every line
    ASSERT_TRUE(h.Frame());     // boot
    SceneHandlers[SceneState] = &TextScene;
    for (const TextCase& c : kCases) {
      SCOPED_TRACE(c.name);
      running = &c;
      callCount = 0;
      results.clear();
      linesAfterCall.assign(1, "");
      ClearMessageLines();
      MessageTextId = -1;
      MessageTextState = 0;
      // The latch as the case wants it (the frames after the last case released A).
      KeyLatchTable[1].a = c.latched ? 1 : 0;
      int extra = 0;
      for (const auto& [k, lines] : c.lines) extra = std::max(extra, k - c.calls);
      for (int call = 1; call <= c.calls + extra; ++call) {
        for (const auto& [from, to] : c.held)
          if (call >= from && call <= to) h.HoldButton(1, kButtonA, 1);
        ASSERT_TRUE(h.Frame());
      }
      EXPECT_EQ(results.substr(0, c.calls), c.results);
      for (const auto& [k, lines] : c.lines)
        EXPECT_EQ(SjisForPrint(linesAfterCall[k]), SjisForPrint(lines)) << "after call " << k;
      for (const auto& line : MessageLines) EXPECT_LE(strnlen(line, kMessageLineBytes), 64u);
      // Release everything before the next case.
      MessageTextId = -1;
      ASSERT_TRUE(h.Frames(2));
    }
    // The text without an end code was named in the log.
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("終了コード") != std::string::npos;
    EXPECT_TRUE(logged);
  });
}

// ---------------------------------------------------------------- the text file loader

const GameOptions kNoMedia = {.pads = 0, .media = ""};

std::string LineAt(const std::vector<char>& buffer, int k) { return std::string(&buffer[100 * k]); }

TEST(LoadTextFile, ReadsFiveLinesOfAtMost99Bytes) {
  RunGame(kNoMedia, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Case {
      const char* name;
      std::string file;
      std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"five lines and more", "one@N\ntwo@N\r\nthree\n\nfive\nsix\n", {"one@N", "two@N\r", "three", "", "five"}},
        {"no line feed at the end", "a\nb", {"a", "b", "", "", ""}},
        {"a line of 150 bytes", Repeat("z", 150) + "\nnext\n", {Repeat("z", 99), "next", "", "", ""}},
        {"0xFF ends the file", "a\n\xFF" "b\nc\n", {"a", "", "", "", ""}},
        {"empty", "", {"", "", "", "", ""}},
    };
    for (const Case& c : cases) {
      WriteFileText(h.workDir() + "/t.txt", c.file);
      std::vector<char> buffer(500, 0);
      LoadTextFile("t.txt", buffer.data());
      for (int k = 0; k < 5; ++k) EXPECT_EQ(LineAt(buffer, k), c.lines[k]) << c.name << ", line " << k;
    }
  });
}

int LoadMissingScene() {
  std::vector<char> buffer(500, 0);
  LoadTextFile("media\\text\\missing.txt", buffer.data());
  return 0;
}

TEST(LoadTextFile, AMissingFileEndsTheProgramAfterAMessageBox) {
  RunGame(kNoMedia, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SceneHandlers[1] = &LoadMissingScene;
    SceneState = 1;  // past the boot scene, which reads the data tables
    h.Frames(3);
    ASSERT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), -1);
    ASSERT_EQ(h.messageBoxes().size(), 1u);
    EXPECT_EQ(h.messageBoxes()[0].text, "テキストファイルが存在しません");
    EXPECT_EQ(h.messageBoxes()[0].caption, "読み込みエラー");
  });
}

// ---------------------------------------------------------------- windows

struct WindowRun {
  std::vector<int> results;
  std::vector<AnimatedWindowRecord> states;
};

WindowRun RunWindow(const std::function<int(int)>& call, int calls, const AnimatedWindowRecord& record) {
  WindowRun run;
  for (int i = 0; i < calls; ++i) {
    run.results.push_back(call(i));
    run.states.push_back(record);
  }
  return run;
}

TEST(AnimatedWindow, GrowsToTheRectangleHoldsAndShrinksBackToZero) {
  RunGame(kNoMedia, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    auto open = [](int) { return DrawAnimatedWindow(116, 308, 192, 448, 20, 1); };
    WindowRun o = RunWindow(open, 24, AnimatedWindow);
    EXPECT_EQ(o.states[0].halfWidth, 0) << "the first call resets";
    for (int g = 1; g <= 21; ++g) {
      EXPECT_EQ(o.states[g].halfWidth, 6 * g) << "growth " << g;
      EXPECT_EQ(o.states[g].halfHeight, 4 * g) << "growth " << g;
      EXPECT_EQ(o.results[g], 0);
    }
    EXPECT_EQ(o.states[22].halfWidth, 128) << "held at the full half width after the 22nd growth";
    EXPECT_EQ(o.results[22], 0);
    EXPECT_EQ(o.results[23], 1);
    EXPECT_EQ(DrawAnimatedWindow(116, 308, 192, 448, 20, 2), 1) << "holding";
    auto close = [](int) { return DrawAnimatedWindow(116, 308, 192, 448, 20, 3); };
    WindowRun c = RunWindow(close, 23, AnimatedWindow);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(c.results[i], 0) << "closing call " << i + 1;
    EXPECT_EQ(c.states[21].halfWidth, 0);
    EXPECT_EQ(c.states[21].halfHeight, 0);
    EXPECT_EQ(c.results[22], 1) << "the 23rd closing call";
    EXPECT_EQ(AnimatedWindow.state, 1) << "the next open starts from zero";
  });
}

TEST(AnimatedWindow, ZeroStepsOrATinyWindowStillOpenAndClose) {
  RunGame(kNoMedia, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Case {
      int top, bottom, left, right, steps, openCalls;
    };
    const Case cases[] = {
        {0, 200, 0, 300, 0, 3},      // zero steps: open in one growth
        {0, 200, 0, 300, -5, 3},     // negative steps likewise
        {0, 10, 0, 6, 20, 5},        // half sizes 3 and 5 below 20 steps: a pixel a call
        {100, 90, 300, 200, 4, 3},   // an upside-down rectangle
    };
    for (const Case& c : cases) {
      AnimatedWindow = AnimatedWindowRecord{};
      int calls = 0;
      while (DrawAnimatedWindow(c.top, c.bottom, c.left, c.right, c.steps, 1) == 0 && calls < 1000) ++calls;
      EXPECT_EQ(calls + 1, c.openCalls) << "steps " << c.steps;
      calls = 0;
      while (DrawAnimatedWindow(c.top, c.bottom, c.left, c.right, c.steps, 3) == 0 && calls < 1000) ++calls;
      EXPECT_LT(calls, 1000) << "steps " << c.steps << " never closed";
      EXPECT_EQ(AnimatedWindow.state, 1);
    }
  });
}

TEST(ChoiceWindows, OpenToTheirFixedSizesAndCloseAgain) {
  RunGame(kNoMedia, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Case {
      const char* name;
      std::function<int(int)> call;
      AnimatedWindowRecord* record;
      int halfWidth;
    };
    const Case cases[] = {
        {"choice", [](int command) { return DrawChoiceWindow(command, 5); }, &ChoiceWindow, 192},
        {"wide", [](int command) { return DrawWideChoiceWindow(command, 11); }, &WideChoiceWindow, 304},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(c.call(1), 0);  // reset
      for (int i = 1; i <= 16; ++i) EXPECT_EQ(c.call(1), 0) << c.name << " growth " << i;
      EXPECT_EQ(c.record->halfWidth, c.halfWidth) << c.name;
      EXPECT_EQ(c.record->halfHeight, 96) << c.name;
      EXPECT_EQ(c.call(1), 1) << c.name;
      for (int i = 1; i <= 16; ++i) EXPECT_EQ(c.call(3), 0) << c.name << " shrink " << i;
      EXPECT_EQ(c.call(3), 1) << c.name;
      EXPECT_EQ(c.record->state, 1);
    }
  });
}

// ---------------------------------------------------------------- the frame, on screen

int frameResult = 0;
struct FrameBox {
  int32_t left, top, right, bottom;
};
FrameBox frameBox = {0, 0, 128, 96};
int FrameScene() {
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(0, 0, 0), 1);
  frameResult = DrawWindowFrame(frameBox.left, frameBox.top, frameBox.right, frameBox.bottom);
  return 0;
}

bool Reddish(uint32_t rgb) { return (rgb >> 16 & 0xFF) > 150 && (rgb >> 8 & 0xFF) < 100; }
bool Black(uint32_t rgb) { return rgb == 0; }

TEST(WindowFrame, CornersAndEdgesSitOnEachSideAndSmallWindowsDrawNothing) {
  RunGame({}, [](GameHarness& h) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    ASSERT_EQ(h.StartUp(), 0);
    EXPECT_EQ(DrawWindowFrame(0, 0, 32, 100), -1);
    EXPECT_EQ(DrawWindowFrame(0, 0, 100, 32), -1);
    EXPECT_EQ(DrawWindowFrame(50, 50, 10, 200), -1);
    ASSERT_TRUE(h.Frame());  // boot
    SceneHandlers[SceneState] = &FrameScene;
    frameBox = {0, 0, 128, 96};
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(frameResult, 1);
    // The corner tile's red knob, turned with each corner.
    for (auto [x, y] : {std::pair{6, 6}, std::pair{121, 6}, std::pair{121, 89}, std::pair{6, 89}})
      EXPECT_TRUE(Reddish(h.Pixel(x, y))) << x << "," << y << ": " << std::hex << h.Pixel(x, y);
    // Edge bands along each side, none inside.
    for (auto [x, y] : {std::pair{48, 3}, std::pair{80, 92}, std::pair{3, 48}, std::pair{124, 48}})
      EXPECT_FALSE(Black(h.Pixel(x, y))) << x << "," << y;
    EXPECT_TRUE(Black(h.Pixel(64, 48)));
    EXPECT_TRUE(Black(h.Pixel(140, 48)));
  });
}

// The band runs unbroken along every side, corners included: sides of whole
// tiles (where the last edge tile ends where the far corner begins, and a
// turned corner drawn a pixel off left a one-pixel seam) and sides of part
// tiles.
TEST(WindowFrame, TheBandRunsUnbrokenAlongEverySide) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_TRUE(GeneratedMediaAvailable()) << "the test build makes the media";
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());  // boot
    SceneHandlers[SceneState] = &FrameScene;
    const FrameBox boxes[] = {{0, 0, 128, 96}, {16, 16, 624, 288}, {192, 262, 448, 438}, {20, 30, 170, 150}};
    for (const FrameBox& box : boxes) {
      frameBox = box;
      ASSERT_TRUE(h.Frame());
      ASSERT_EQ(frameResult, 1);
      SCOPED_TRACE(testing::Message() << "frame " << box.left << "," << box.top << " to " << box.right << ","
                                      << box.bottom);
      // The middle line of each side's band, five pixels in from its edge.
      std::vector<std::string> gaps;
      auto look = [&](const char* side, int32_t x, int32_t y) {
        if (Black(h.Pixel(x, y))) gaps.push_back(std::string(side) + " " + std::to_string(x) + "," + std::to_string(y));
      };
      for (int32_t x = box.left; x < box.right; ++x) {
        look("top", x, box.top + 5);
        look("bottom", x, box.bottom - 5);
      }
      for (int32_t y = box.top; y < box.bottom; ++y) {
        look("left", box.left + 5, y);
        look("right", box.right - 5, y);
      }
      EXPECT_TRUE(gaps.empty()) << gaps.size() << " pixels of the band missing, the first at "
                                << (gaps.empty() ? "" : gaps[0]);
    }
  });
}

}  // namespace
