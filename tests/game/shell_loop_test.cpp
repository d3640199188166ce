// The main loop through the harness: the scene table, the fades, the frame
// pacing against the virtual clock, the new-press latches and the pad
// directions, and the harness's own input, hooks and watchdog.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "library/graphics/draw_state.h"
#include "library/input/key_input.h"
#include "library/zrlib.h"
#include "platform/win32/win32.h"
#include "tests/game/harness/game_harness.h"

namespace {

// Keyboard scan codes.
constexpr int kKeyZ = 0x2C;  // pad 1's button A on device 1
constexpr int kKeyLeft = 0xCB, kKeyRight = 0xCD, kKeyUp = 0xC8, kKeyDown = 0xD0;
constexpr int kKeyEnter = 0x1C;

// A game started on the generated media, or the test skipped without them.
#define START_GAME(h)                                                 \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)
// The loop and the input alone need no pictures.
#define START_LOOP(h) ASSERT_EQ((h).StartUpWithoutMedia(), 0)

// Scene handlers of the tests (plain functions, as the table holds).
int frameCalls = 0;
int result2 = 0;
std::vector<int> seen;
int ReturnOne() { return 1; }
int ReturnResult2() { return result2; }
int CountCalls() {
  ++frameCalls;
  return 0;
}

TEST(SceneSwitch, ResultsMoveTheSceneAsTheTableSays) {
  struct Case {
    int scene, result, next;
  };
  const Case cases[] = {
      {0, 1, 1},  {1, 0, 1},  {1, 1, 2},   {1, -1, 2}, {2, 0, 2},  {2, 1, 4},  {2, 2, 4},   {2, 3, 7},
      {2, 4, 15}, {2, 5, 2},  {2, 6, 12},  {2, 7, 11}, {3, 1, 2},  {3, 2, 3},  {4, -1, 2},  {4, 1, 8},
      {4, 2, 3},  {4, 3, 4},  {7, 1, 2},   {7, 2, 0},  {7, -1, 7}, {8, 1, 2},  {8, -1, 8},  {11, 1, 2},
      {11, 2, 11}, {12, 1, 2}, {12, -1, 2}, {12, 0, 12},
  };
  RunGame({.pads = 0, .media = ""}, [&](GameHarness&) {
    for (const Case& c : cases) {
      for (auto& handler : SceneHandlers)
        if (handler != nullptr) handler = &ReturnResult2;
      result2 = c.result;
      SceneState = c.scene;
      MainMenuChoice = 9;
      RunCurrentScene();
      EXPECT_EQ(SceneState, c.next) << "scene " << c.scene << " result " << c.result;
      if (c.scene == 2) {
        EXPECT_EQ(MainMenuChoice, c.result);
      }
      if (c.scene == 0) {
        EXPECT_EQ(MainMenuChoice, 0);
      }
    }
    // Scenes without a handler do nothing.
    for (int scene : {5, 6, 9, 10, 13, 14, 15, 16, -1}) {
      SceneState = scene;
      RunCurrentScene();
      EXPECT_EQ(SceneState, scene);
    }
  });
}

TEST(MainLoop, BootLeadsToTheTitleInOneFrameAndUnknownScenesIdle) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &CountCalls;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 1);
    EXPECT_EQ(frameCalls, 0);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(frameCalls, 3);
    SceneState = 9;
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(SceneState, 9);
    EXPECT_EQ(frameCalls, 3);
  });
}

TEST(MainLoop, ExitFromTheMenuEndsTheLoopWithoutPacingOrPresenting) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &ReturnOne;
    result2 = 4;
    SceneHandlers[2] = &ReturnResult2;
    ASSERT_TRUE(h.Frames(2));  // boot, title
    EXPECT_EQ(SceneState, 2);
    int32_t frameIndex = FrameIndex;
    uint32_t before = static_cast<uint32_t>(GetMillisecondCount(0));
    EXPECT_FALSE(h.Frame());
    EXPECT_TRUE(h.loopEnded());
    EXPECT_EQ(SceneState, 15);
    EXPECT_EQ(FrameIndex, frameIndex);
    EXPECT_EQ(static_cast<uint32_t>(GetMillisecondCount(0)), before);
  });
}

TEST(MainLoop, ClosingTheWindowEndsTheLoopAtTheNextPump) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    ASSERT_TRUE(h.Frames(5));
    h.CloseWindow();
    EXPECT_FALSE(h.Frame());
    EXPECT_TRUE(h.loopEnded());
  });
}

TEST(MainLoop, WinMainEndsWithZeroAfterTheExitEntry) {
  RunGame({}, [](GameHarness&) {
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    SceneHandlers[1] = &ReturnOne;
    result2 = 4;
    SceneHandlers[2] = &ReturnResult2;
    EXPECT_EQ(WinMain(), 0);
    EXPECT_EQ(SceneState, 15);
  });
}

// ---------------------------------------------------------------- fades

// A scene that runs the fade and fills the screen white: the picture shows
// the fade's brightness.
// The green channel in the middle of the screen (16-bit screens keep 6 bits).
int Green(const GameHarness& h) { return static_cast<int>((h.Pixel(100, 100) >> 8) & 0xFF); }

int fadeOutAt = -1;
int fadeFrames = 0;
int FadingWhiteScene() {
  if (fadeFrames == fadeOutAt) FadeOutRequest = 1;
  ++fadeFrames;
  int done = UpdateFade();
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(255, 255, 255), 1);
  seen.push_back(done);
  return 0;
}

TEST(Fade, FadesInAndOutOverSeventeenFrames) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &FadingWhiteScene;
    fadeOutAt = 30;
    ASSERT_TRUE(h.Frame());  // boot
    EXPECT_EQ(FadeInDone, 0);
    for (int k = 1; k <= 17; ++k) {
      ASSERT_TRUE(h.Frame());
      EXPECT_NEAR(Green(h), 15 * k, 8) << "fade-in frame " << k;
      EXPECT_EQ(FadeInDone, k == 17 ? 1 : 0);
    }
    EXPECT_EQ(FadeLevel, 0);
    ASSERT_TRUE(h.Frames(13));  // up to the request
    seen.clear();
    for (int k = 1; k <= 17; ++k) {
      ASSERT_TRUE(h.Frame());
      EXPECT_NEAR(Green(h), 255 - 15 * k, 8) << "fade-out frame " << k;
    }
    std::vector<int> completes(17, 0);
    completes[16] = 1;
    EXPECT_EQ(seen, completes) << "the fade-out completes on its 17th frame";
    EXPECT_EQ(FadeOutRequest, 0);
    EXPECT_EQ(FadeInDone, 0);
    // The next scene starts dark and fades in by itself.
    ASSERT_TRUE(h.Frame());
    EXPECT_NEAR(Green(h), 15, 8);
  });
}

}  // namespace

namespace {

// ---------------------------------------------------------------- pacing

// The virtual clock's milliseconds as the game reads them.
uint32_t Now() { return static_cast<uint32_t>(GetMillisecondCount(0)); }

// Runs frames whose own work takes work(f) ms; returns the clock after each.
std::vector<uint32_t> PacedFrames(int count, const std::function<uint32_t(int)>& work) {
  std::vector<uint32_t> ends;
  for (int f = 0; f < count; ++f) {
    PlatformAdvanceVirtualClock(static_cast<uint64_t>(work(f)) * 1000);
    WaitNextFrame();
    ends.push_back(Now());
  }
  return ends;
}

TEST(FramePacing, SixtyFramesLastASecondAndFrameZeroRebasesTheCycle) {
  RunGame({.pads = 0, .media = ""}, [](GameHarness&) {
    std::vector<uint32_t> ends = PacedFrames(121, [](int) { return 5; });
    uint32_t start = ends[0];
    for (int n = 1; n < 60; ++n) EXPECT_EQ(ends[n] - start, static_cast<uint32_t>(n * kFrameMs)) << n;
    EXPECT_EQ(ends[60] - start, 1000u);
    for (int n = 61; n < 120; ++n) EXPECT_EQ(ends[n] - ends[60], static_cast<uint32_t>((n - 60) * kFrameMs)) << n;
    EXPECT_EQ(ends[120] - ends[60], 1000u);
    // The second cycle's durations average a frame's time.
    EXPECT_DOUBLE_EQ(AverageFrameMs, 1000.0 / 60.0);
  });
}

TEST(FramePacing, NoFrameRateBeforeSixtyFrames) {
  RunGame({.pads = 0, .media = ""}, [](GameHarness&) {
    PacedFrames(59, [](int) { return 1; });
    EXPECT_EQ(AverageFrameMs, 0.0);
    PacedFrames(1, [](int) { return 1; });
    EXPECT_NE(AverageFrameMs, 0.0);
  });
}

TEST(FramePacing, LateFramesCatchUpWithTheScheduleInsteadOfShiftingIt) {
  RunGame({.pads = 0, .media = ""}, [](GameHarness&) {
    // Frames 10 to 14 take 40 ms each; the others 3 ms.
    auto work = [](int f) -> uint32_t { return f >= 10 && f < 15 ? 40 : 3; };
    std::vector<uint32_t> ends = PacedFrames(61, work);
    uint32_t start = ends[0];
    uint32_t end = ends[0];
    for (int n = 1; n < 60; ++n) {
      uint32_t ready = end + work(n);
      uint32_t due = start + static_cast<uint32_t>(n * kFrameMs);
      end = ready > due ? ready : due;  // no sleep while late
      EXPECT_EQ(ends[n], end) << n;
    }
    EXPECT_GT(ends[14] - start, static_cast<uint32_t>(14 * kFrameMs));  // late here...
    EXPECT_EQ(ends[40] - start, static_cast<uint32_t>(40 * kFrameMs));  // ...and back on time later
    EXPECT_EQ(ends[60] - start, 1000u);  // frame 0 waits for the previous frame 0 + 1000 ms
  });
}

TEST(FramePacing, AClockThatWrapsOrJumpsNeverStallsAFrame) {
  RunGame({.pads = 0, .media = ""}, [](GameHarness&) {
    // The 31-bit millisecond clock wraps 400 ms from here.
    PlatformUseVirtualClock(true, (0x80000000ull - 400) * 1000);
    uint32_t last = Now();
    for (int f = 0; f < 150; ++f) {
      if (f == 100) PlatformUseVirtualClock(true, 5000ull * 1000);  // the clock jumps back
      if (f == 120) PlatformAdvanceVirtualClock(3600ull * 1000 * 1000);  // and an hour forward
      uint32_t before = Now();
      PlatformAdvanceVirtualClock(2000);
      WaitNextFrame();
      uint32_t slept = (Now() - before - 2) & 0x7FFFFFFF;
      EXPECT_LE(slept, 17u) << "frame " << f;
      if (f > 0 && f < 100) {
        uint32_t step = (Now() - last) & 0x7FFFFFFF;
        EXPECT_GE(step, 16u) << "frame " << f;
        EXPECT_LE(step, 17u) << "frame " << f;
      }
      last = Now();
    }
  });
}

// ---------------------------------------------------------------- latches and directions

int newPresses = 0;
int LeaveOnNewA() { return IsNewButtonPress(1, kButtonA) ? 1 : 0; }
int CountNewA() {
  if (IsNewButtonPress(1, kButtonA)) ++newPresses;
  return 0;
}

TEST(KeyLatch, AButtonHeldAcrossASceneChangeIsNoNewPress) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &LeaveOnNewA;
    SceneHandlers[2] = &CountNewA;
    ASSERT_TRUE(h.Frame());  // boot
    h.HoldButton(1, kButtonA, 10);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 2) << "the title took the press";
    ASSERT_TRUE(h.Frames(9));
    EXPECT_EQ(newPresses, 0) << "still held in the new scene";
    ASSERT_TRUE(h.Frame());  // released
    h.HoldButton(1, kButtonA, 3);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(newPresses, 1);
    ASSERT_TRUE(h.Frame());  // released
    // The keyboard's Z is button A of device 1: the same latch.
    h.HoldKey(kKeyZ, 2);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(newPresses, 2);
    h.HoldKey(kKeyZ, 2);
    h.HoldButton(1, kButtonA, 4);  // key and pad together, then the pad alone: one press
    ASSERT_TRUE(h.Frames(5));
    EXPECT_EQ(newPresses, 3);
  });
}

TEST(KeyLatch, PressWhilePressesOnEveryOtherFrame) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &CountNewA;
    ASSERT_TRUE(h.Frame());
    h.PressWhile([&h] { return h.frame() < 11; }, 1, kButtonA);
    // A set-up made from the test at a given point of the run.
    h.When([] { return newPresses == 3; }, [] { KeyConfigTable[1].a = 0; });
    ASSERT_TRUE(h.Frames(20));
    EXPECT_EQ(newPresses, 3) << "button A of record 1 was taken away after three presses";
  });
}

int directionRecord = 1;
int RecordDirection() {
  seen.push_back(GetPadDirection(directionRecord));
  if (IsNewButtonPress(directionRecord, kButtonA)) ++newPresses;
  return 0;
}

TEST(PadDirection, KeysAndPadsGiveKeypadDigits) {
  struct Case {
    std::vector<int> keys;
    int digit;
  };
  const Case keyCases[] = {
      {{}, 5},
      {{kKeyLeft}, 4},
      {{kKeyRight}, 6},
      {{kKeyUp}, 8},
      {{kKeyDown}, 2},
      {{kKeyLeft, kKeyRight}, 7},
      {{kKeyUp, kKeyDown}, 5},
      {{kKeyLeft, kKeyDown}, 1},
      {{kKeyLeft, kKeyUp}, 7},
      {{kKeyRight, kKeyDown}, 3},
      {{kKeyRight, kKeyUp}, 9},
      {{kKeyLeft, kKeyRight, kKeyDown}, 1},
      {{kKeyUp, kKeyDown, kKeyRight}, 3},
  };
  RunGame({}, [&](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &RecordDirection;
    ASSERT_TRUE(h.Frame());
    for (const Case& c : keyCases) {
      for (int key : c.keys) h.HoldKey(key, 1);
      seen.clear();
      ASSERT_TRUE(h.Frames(2));  // held, then released
      EXPECT_EQ(seen, (std::vector<int>{c.digit, 5})) << "keys " << testing::PrintToString(c.keys);
    }
    // Pad 2 serves record 2.
    directionRecord = 2;
    for (auto [bits, digit] : {std::pair{0x2u, 4}, {0x1u | 0x4u, 3}, {0x8u | 0x2u, 7}}) {
      h.HoldPad(2, bits, 1);
      seen.clear();
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(seen, std::vector<int>{digit}) << "bits " << bits;
    }
    // A record without a device never reports input.
    KeyConfigTable[2].device = 0;
    h.HoldPad(2, 0x2 | 0x10, 2);
    seen.clear();
    newPresses = 0;
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(seen, (std::vector<int>{5, 5}));
    EXPECT_EQ(newPresses, 0);
  });
}

// ---------------------------------------------------------------- the harness's own hooks

int keyInput = -1;
int status = 0;
int TypeIntoAField() {
  if (keyInput == -1) {
    keyInput = CreateKeyInputHandle(10, 1, 0, 1);
    ActivateKeyInputHandle(keyInput);
  }
  status = GetKeyInputStatus(keyInput);
  return 0;
}

TEST(Harness, TypedCharactersReachAKeyInputField) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &TypeIntoAField;
    ASSERT_TRUE(h.Frames(2));
    h.Type("123");
    ASSERT_TRUE(h.Frame());
    h.HoldKey(kKeyEnter, 1);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(GetKeyInputValue(keyInput), 123);
  });
}

int hookStep = 0;
int CallTheHooks() {
  ++hookStep;
  if (hookStep == 1) MessageBoxA(nullptr, "本文", "見出し", 0x10);
  if (hookStep == 2) seen.push_back(WaitAnyInputPress());
  if (hookStep == 3) ExitGame(1, "テストの終了");
  return 0;
}

TEST(Harness, MessageBoxesTheAnyInputWaitAndTheExitReachTheTest) {
  RunGame({}, [](GameHarness& h) {
    START_LOOP(h);
    SceneHandlers[1] = &CallTheHooks;
    h.SetWaitAnyInputAnswer(0x39);
    ASSERT_TRUE(h.Frames(3));
    ASSERT_EQ(h.messageBoxes().size(), 1u);
    EXPECT_EQ(h.messageBoxes()[0].text, "本文");
    EXPECT_EQ(h.messageBoxes()[0].caption, "見出し");
    EXPECT_EQ(h.messageBoxes()[0].frame, 1);
    EXPECT_EQ(h.waitAnyInputCalls(), 1);
    EXPECT_EQ(seen, std::vector<int>{0x39});
    EXPECT_FALSE(h.Frame());
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), 1);
    std::vector<std::string> log = h.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "テストの終了 のため終了します (終了コード 1)"), log.end());
  });
}

GameHarness* watched = nullptr;
int RunKeyConfig() { return RunKeyConfigScreen(); }

TEST(Harness, TheWatchdogNamesTheMachineAndStepThatStall) {
  RunGame({.stallFrames = 30}, [](GameHarness& h) {
    START_LOOP(h);
    watched = &h;
    SceneHandlers[1] = &RunKeyConfig;
    EXPECT_NONFATAL_FAILURE(watched->Frames(100), "RunKeyConfigScreen (KeyConfigStep) stayed on step 2 for 31 frames");
    EXPECT_TRUE(h.ended());
    EXPECT_NE(h.Dump().find("machine RunKeyConfigScreen.KeyConfigStep 2\n"), std::string::npos) << h.Dump();
  });
}

TEST(Harness, RunsAreRepeatableAndReportBack) {
  auto run = [] {
    return RunGame({.seed = 99}, [](GameHarness& h) {
      START_GAME(h);
      ASSERT_TRUE(h.Frames(30));
      GetRandomNumber(100);
      h.Report(h.Dump());
      h.Report(std::to_string(h.ScreenHash()));
    });
  };
  GameRunResult first = run();
  if (!first.completed || first.reports.empty()) return;
  EXPECT_EQ(first.reports, run().reports);
  EXPECT_NE(first.reports[0].find("random draws 1\n"), std::string::npos) << first.reports[0];
}

}  // namespace
