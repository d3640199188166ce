// The program's resident memory over changes of window mode. Each change
// drops every picture and font and the game loads them again; the memory
// they leave must go back, so that changes after the first two hold no more.
//
// This measures the C library's own heap, which the sanitizers replace with
// theirs: the folder runs in the build without sanitizers (see
// tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "game/shell/game_main.h"
#include "game/shell/title_menu.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"

namespace {

// The process's anonymous resident memory (the heap, blocks on pages of
// their own, stacks), in KB; -1 when it cannot be read.
long ResidentAnonymousKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("RssAnon:", 0) == 0) return std::strtol(line.c_str() + 8, nullptr, 10);
  return -1;
}

// The title shown with its picture, a few frames on.
void ReachTheTitle(GameHarness& h) {
  ASSERT_TRUE(h.RunUntil([] { return SceneState == 1 && TitleStep == 3; }, 20));
  ASSERT_TRUE(h.Frames(2));
}

// What leaving the options screen with the other mode does (the game's own
// steps, without the fades): the mode changes, the game loads its pictures
// and fonts again and goes through scene 0 to the title, whose picture is
// loaded as it starts.
void ChangeModeAsTheOptionsDo(GameHarness& h, int32_t mode) {
  ASSERT_EQ(ChangeWindowMode(mode), 0);
  ASSERT_EQ(InitGame(), 0);
  SceneState = 0;
  TitleStep = 0;
  ReachTheTitle(h);
}

TEST(WindowModeResidentMemory, ChangesAfterTheFirstTwoHoldNoMore) {
  ASSERT_TRUE(GeneratedMediaAvailable()) << "the game tests need the generated media (the media target)";
  const GameRunResult run = RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ReachTheTitle(h);
    const long start = ResidentAnonymousKb();
    ASSERT_GT(start, 0);
    // Room for what full screen may take beside the frame (a picture of the
    // desktop's size) and for the heap's own bookkeeping; the pages of the
    // pictures and fonts made once more than at the start (some 60 MB)
    // would be far past it.
    constexpr long kSlackKb = 8 * 1024;
    // Once the program has been in both modes, more changes take no more
    // than the heap's bookkeeping. (Pictures decoded on the read-ahead
    // threads in heaps of each thread's own took some 2 to 3 MB more over
    // twenty changes, scattered afresh on every reload.)
    constexpr long kAfterTheFirstTwoKb = 1536;
    constexpr int kChanges = 20;
    long afterTwo = 0;
    for (int change = 1; change <= kChanges; ++change) {
      const int32_t mode = change % 2 == 1 ? 0 : 1;
      ChangeModeAsTheOptionsDo(h, mode);
      const long now = ResidentAnonymousKb();
      h.Report(std::to_string(change) + (mode ? " window " : " full screen ") + std::to_string(now - start) + " KB");
      EXPECT_LE(now, start + kSlackKb) << "change " << change << (mode ? " to a window" : " to full screen") << ": "
                                       << (now - start) / 1024 << " MB more than at the start";
      if (change == 2) afterTwo = now;
      if (change == kChanges)
        EXPECT_LE(now, afterTwo + kAfterTheFirstTwoKb)
            << kChanges - 2 << " changes after the first two took " << now - afterTwo << " KB more";
    }
  });
  EXPECT_TRUE(run.completed);
  for (const std::string& line : run.reports) std::cout << "resident after change " << line << "\n";
}

}  // namespace
