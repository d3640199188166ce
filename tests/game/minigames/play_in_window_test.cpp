// Not a test but a way to play one minigame by hand, or with xdotool, in a
// window at 60 frames a second: the runner from the explanation screen (start
// is Space) to the winner text, with the keyboard on input record 1 (arrows,
// Z = A, X = B, C = C, A = D). Under an X server (Xvfb works), from the build
// folder, with SDL_VIDEODRIVER unset:
//
//   ZR_PLAY_MINIGAME=1 ZR_PLAY_HUMANS=1 ./tests/test_game_minigames
//       --gtest_also_run_disabled_tests --gtest_filter=MinigameWindow.DISABLED_Play
//
// ZR_PLAY_MINIGAME is the minigame number, ZR_PLAY_HUMANS the human players
// (digits 1 to 4; the others are CPU players), ZR_PLAY_TEAMS the four teams
// as digits (default 0000). The keyboard is read once a frame, so a key
// must stay down for a frame or more (xdotool keydown, sleep 0.1, keyup;
// "xdotool key" is too short). The game ends with the minigame or when the
// window is closed, and prints the awards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/win32_time.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

TEST(MinigameWindow, DISABLED_Play) {
  const char* number = getenv("ZR_PLAY_MINIGAME");
  const char* humans = getenv("ZR_PLAY_HUMANS");
  const char* teams = getenv("ZR_PLAY_TEAMS");
  RunGame({.stallFrames = 0, .windowPictures = true}, [&](GameHarness& h) {
    PlatformUseVirtualClock(false);
    ASSERT_EQ(h.StartUp(), 0);
    MinigameSeats seats;
    for (const char* c = humans != nullptr ? humans : "1"; *c != '\0'; ++c)
      if (*c >= '1' && *c <= '4') seats.cpuLevel[*c - '1'] = 0;
    for (int p = 0; teams != nullptr && p < 4 && teams[p] != '\0'; ++p) seats.team[p] = teams[p] - '0';
    EnterMinigame(h, number != nullptr ? atoi(number) : 1, seats);
    while (!MinigameEnded() && h.Frame()) {
    }
    MinigameOutcome out = ReadMinigameOutcome();
    for (int p = 1; p <= 4; ++p) printf("participant %d: award %d, won %d\n", p, out.award[p], out.won[p]);
  });
}

}  // namespace
