// The minigame runner and the explanation screen on the generated media: the
// music loaded by the first minigame only and played between the
// explanation and the end, the alternating text ids, the start button,
// explain.txt and the screenshot, numbers without an entry, missing music,
// and a minigame whose load fails part-way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_runner.h"
#include "game/minigames/minigame_screens.h"
#include "game/minigames/renda.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/minigame_table.h"
#include "game/shell/shared_media.h"
#include "library/graphics/graph_handle.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

// The program's calls of calloc come here (the test program is linked with
// --wrap=calloc): while armed, a request of exactly kExplanationTextBytes
// single bytes fails, FailingCallocs times.
int FailingCallocs = 0;
extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void* __wrap_calloc(size_t count, size_t size) {
  if (FailingCallocs > 0 && count == kExplanationTextBytes && size == 1) {
    --FailingCallocs;
    return nullptr;
  }
  return __real_calloc(count, size);
}

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

// Button mashing, cut short: ten frames of play, and A on record 1 leaves
// its result screen.
void ShortenRenda(GameHarness& h) {
  h.AddFrameHook([](GameHarness&) {
    if (RendaPlayStep == 2 && RendaCountdown > 10) RendaCountdown = 10;
  });
  h.PressWhile([] { return RendaOutcomeStep == 1 && RendaOutcomeWait == 0; }, 1, kButtonA);
}

TEST(MinigameRunner, MusicOnceTextIdsAlternateAndTheMusicPlaysBetweenExplanationAndEnd) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    START_GAME(h);
    ShortenRenda(h);
    EXPECT_EQ(MinigameRunnerStep, 0);
    EXPECT_EQ(ExplanationTextId, 25);
    EnterMinigame(h, 1, {});
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MinigameRunnerStep, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MinigameRunnerStep, 2) << "the music is loaded";
    const int32_t music = MusicHandles[5];
    EXPECT_EQ(CheckSoundHandle(music), 0);
    ASSERT_TRUE(h.RunUntil([] { return ExplanationStep == 3; }, 10));
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MessageTextId, 25) << "the first explanation types text 25";
    EXPECT_EQ(CheckSoundHandle(music), 0) << "no minigame music during the explanation";
    ASSERT_TRUE(h.RunUntil([] { return MinigameRunnerStep == 4; }, 200));
    EXPECT_EQ(ExplanationTextId, 26);
    EXPECT_EQ(CurrentBgmIndex, 5);
    EXPECT_EQ(CheckSoundHandle(music), 1) << "started when the explanation ended";
    EXPECT_EQ(ExplanationText, nullptr) << "the text buffer is freed";
    EXPECT_EQ(QueryGraphSize(ExplanationScreenshot, nullptr, nullptr), -1) << "the screenshot is freed";
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 1000));
    EXPECT_EQ(MinigameTestResult, 1);
    EXPECT_EQ(MinigameRunnerStep, 2);
    EXPECT_EQ(CheckSoundHandle(music), 0) << "stopped after the minigame";
    EXPECT_EQ(CurrentBgmIndex, 0);

    // The second minigame starts with the participants' reset and does not
    // load the music again.
    ParticipantTable[1].award = 99;
    EnterMinigame(h, 1, {});
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MinigameRunnerStep, 3);
    EXPECT_EQ(ParticipantTable[1].award, 0);
    EXPECT_EQ(MusicHandles[5], music);
    ASSERT_TRUE(h.RunUntil([] { return ExplanationStep == 3; }, 10));
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MessageTextId, 26) << "the second explanation types text 26 from its start";
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 1200));
    EXPECT_EQ(ExplanationTextId, 25);
  });
}

TEST(MinigameRunner, TheExplanationEndsOnlyOnANewPressOfStartOnRecordOne) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    // A start button already held when the screen begins waiting starts at
    // once while its latch is 0.
    EnterMinigame(h, 1, {});
    const GameHarness::PadButton start = GameHarness::ButtonOf(1, kButtonStart);
    h.AddInputRule([start](FrameInput& in) {
      if (MinigameTestFrames < 8) in.pads[start.pad - 1] |= start.mask;
    });
    ASSERT_TRUE(h.RunUntil([] { return ExplanationStep == 3; }, 10));
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ExplanationStep, 4);
    ASSERT_TRUE(h.RunUntil([] { return MinigameRunnerStep == 4; }, 40));
    EXPECT_EQ(ExplanationStep, 0);

    // A start latched by an earlier screen must be released and pressed
    // again; other buttons and other records do nothing.
    RendaStep = 0;
    MinigameRunnerStep = 2;
    EnterMinigame(h, 1, {});
    KeyLatchTable[1].start = 1;
    h.HoldButton(1, kButtonStart, 60);
    ASSERT_TRUE(h.RunUntil([] { return ExplanationStep == 3; }, 10));
    for (int i = 0; i < 20; ++i) {
      if (i % 2 == 0) h.Tap(1, kButtonA);
      if (i % 2 == 0) h.Tap(2, kButtonStart);
      ASSERT_TRUE(h.Frame());
      ASSERT_EQ(ExplanationStep, 3);
    }
    ASSERT_TRUE(h.RunUntil([] { return KeyLatchTable[1].start == 0; }, 60)) << "released";
    EXPECT_EQ(ExplanationStep, 3);
    h.Tap(1, kButtonStart);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(ExplanationStep, 4);
    // The fade-out asked for in the next frame takes 17 frames; the runner
    // moves on in the frame it completes.
    int pressed = h.frame();
    ASSERT_TRUE(h.RunUntil([] { return MinigameRunnerStep == 4; }, 40));
    EXPECT_EQ(h.frame() - pressed, 18);
  });
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(MinigameRunner, ExplanationTextsAreReadWithoutLineBreaksAndWithinTheBuffer) {
  const std::string longText(400, 'x');
  const std::string exact(299, 'y');
  RunGame({.files = {{"media/t1/explain.txt", Bytes("ab\r\ncd\n\r@N")},
                     {"media/t2/explain.txt", Bytes(longText)},
                     {"media/t3/explain.txt", Bytes(exact + "\r\n")},
                     {"media/t4/explain.txt", Bytes(std::string("one\0two", 7))}}},
          [&](GameHarness& h) {
            ASSERT_EQ(h.StartUpWithoutMedia(), 0);
            auto read = [](const char* folder) {
              ExplanationText = static_cast<char*>(calloc(kExplanationTextBytes, 1));
              char buffer[kMinigameFolderBytes] = {};
              strcpy(buffer, folder);
              LoadMinigameExplanation(buffer);
              std::string text(ExplanationText, strnlen(ExplanationText, kExplanationTextBytes));
              EXPECT_EQ(ExplanationText[kExplanationTextBytes - 1], '\0');
              free(ExplanationText);
              ExplanationText = nullptr;
              return std::make_pair(text, std::string(buffer));
            };
            auto [crlf, path] = read("media\\t1");
            EXPECT_EQ(crlf, "abcd@N");
            EXPECT_EQ(path, "media\\t1\\explain.txt") << "the folder buffer receives the path";
            EXPECT_EQ(read("media\\t2").first, std::string(299, 'x'));
            EXPECT_TRUE(h.LogHas("media\\t2\\explain.txt")) << "the cut is logged";
            EXPECT_EQ(read("media\\t3").first, exact) << "299 bytes fit";
            EXPECT_FALSE(h.LogHas("media\\t3\\explain.txt"));
            EXPECT_EQ(read("media\\t4").first, "one") << "a zero byte ends the text";
            EXPECT_EQ(read("media\\none").first, "") << "a missing file is an empty text";
            EXPECT_TRUE(h.LogHas("media\\none\\explain.txt"));

            char folder[kMinigameFolderBytes] = "untouched";
            for (int32_t n : {0, 15, 23, 30, 32, -1}) {
              GetMinigameFolder(n, folder);
              EXPECT_STREQ(folder, "untouched") << n;
            }
            GetMinigameFolder(29, folder);
            EXPECT_STREQ(folder, "media\\mini\\tumbrick");
          });
}

TEST(MinigameRunner, TheTableHoldsAnEntryForEveryNumberThatHasOne) {
  for (int32_t n = 1; n <= kMinigameSlots; ++n)
    EXPECT_EQ(MinigameEntryTable[n - 1] != nullptr, MinigameNumberHasEntry(n)) << n;
  EXPECT_EQ(MinigameEntryTable[0], &RendaMain);
  EXPECT_EQ(CallMinigameEntry(14), 0) << "an empty entry";
  EXPECT_EQ(CallMinigameEntry(-1), 0);
  EXPECT_EQ(CallMinigameEntry(kMinigameSlots), 0);
}

TEST(MinigameRunner, NumbersWithoutAnEntryEndAtOnceWithNoWinners) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    for (int32_t n : {15, 23, 30, 0, 32, -1}) {
      EnterMinigame(h, n, {});
      ASSERT_TRUE(h.RunUntil(MinigameEnded, 5)) << n;
      EXPECT_EQ(MinigameTestResult, 1);
      EXPECT_EQ(ExplanationStep, 0) << "no explanation screen";
      EXPECT_EQ(MinigameRunnerStep, 2);
      for (int p = 1; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].won | ParticipantTable[p].award, 0);
      EXPECT_TRUE(h.LogHas("ミニゲーム " + std::to_string(n) + " はありません")) << n;
    }
  });
}

TEST(MinigameRunner, AMissingScreenshotEndsTheProgram) {
  RunGame({.hiddenMedia = {"mini/renda/screenshot.png"}}, [](GameHarness& h) {
    START_GAME(h);
    EnterMinigame(h, 1, {});
    for (int i = 0; i < 10 && h.Frame(); ++i) {
    }
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), 1);
    EXPECT_TRUE(h.LogHas("media\\mini\\renda\\screenshot.png"));
  });
}

TEST(MinigameRunner, WithoutItsMusicTheMinigameStillRuns) {
  RunGame({.hiddenMedia = {"sound/BGM/楓-Remake.Ver-.ogg"}}, [](GameHarness& h) {
    START_GAME(h);
    ShortenRenda(h);
    EnterMinigame(h, 1, {});
    PressStartOnExplanation(h);
    std::vector<int32_t> results;
    h.AddFrameHook([&results](GameHarness&) {
      if (MinigameTestResult != 0) results.push_back(MinigameTestResult);
    });
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 1500));
    EXPECT_EQ(MinigameTestResult, 1);
    EXPECT_TRUE(results.empty()) << "never -1";
    EXPECT_EQ(MusicHandles[5], -1);
    EXPECT_EQ(WinnerTextStep, 2) << "the minigame ran to its winner text";
    EXPECT_TRUE(h.LogHas("media\\sound\\BGM\\楓-Remake.Ver-.ogg"));
  });
}

TEST(MinigameRunner, AMinigameWhoseLoadFailsFreesWhatItLoadedAndEndsWithNobodyWinning) {
  RunGame({.hiddenMedia = {"mini/renda/ライト.png"}}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_TRUE(h.Frame());
    const uint32_t graphs = GraphHandleTable.count;
    for (int attempt = 0; attempt < 2; ++attempt) {
      EnterMinigame(h, 1, {});
      PressStartOnExplanation(h);
      ASSERT_TRUE(h.RunUntil([] { return MinigameRunnerStep == 4; }, 300));
      int entered = h.frame();
      ASSERT_TRUE(h.RunUntil(MinigameEnded, 10));
      // Its steps 0 and 1 the first time, step 1 on the retry; the load fails
      // and the runner ends in the next frame.
      EXPECT_EQ(h.frame() - entered, attempt == 0 ? 3 : 2);
      EXPECT_EQ(RendaStep, 1) << "the next start loads again";
      EXPECT_EQ(RendaBackground, -1);
      EXPECT_EQ(RendaPartnerCells[0], -1);
      EXPECT_EQ(RendaPartnerCells[3], -1);
      EXPECT_EQ(GraphHandleTable.count, graphs) << "attempt " << attempt << ": nothing stays loaded";
      EXPECT_EQ(WinnerTextStep, 0) << "no winner text";
      for (int p = 1; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].won | ParticipantTable[p].award, 0);
    }
    EXPECT_TRUE(h.LogHas("media\\mini\\renda\\ライト.png"));
  });
}

TEST(MinigameRunner, TheExplanationBufferIsAskedForAFewTimesThenTheGameEnds) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    // Two failures: the third request gives the buffer.
    EnterMinigame(h, 1, {});
    h.When([] { return ExplanationStep == 1; }, [] { FailingCallocs = 2; });
    ASSERT_TRUE(h.RunUntil([] { return ExplanationStep == 3; }, 10));
    EXPECT_NE(ExplanationText, nullptr);
    EXPECT_EQ(FailingCallocs, 0);
    EXPECT_TRUE(h.messageBoxes().empty());
    // Always failing: the message, then the end of the program.
    ExplanationStep = 1;
    free(ExplanationText);
    FailingCallocs = 1000;
    h.Frame();
    EXPECT_EQ(FailingCallocs, 997) << "three requests";
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), 1);
    ASSERT_EQ(h.messageBoxes().size(), 1u);
    EXPECT_EQ(h.messageBoxes()[0].text, "メモリ確保に失敗しました");
    EXPECT_EQ(h.messageBoxes()[0].caption, "メモリ不足");
  });
}

}  // namespace
