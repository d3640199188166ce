// A small fixture for the board steps that run on their own: a scene
// handler that calls the step under test once a frame, a party of four
// poked in place, and the frames a step takes to end.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "game/board/board_map.h"
#include "game/shell/game_main.h"
#include "game/shell/player_table.h"
#include "library/core/text_helpers.h"
#include "tests/game/harness/game_harness.h"

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

namespace shop_fixture {

// The step under test and what it returned last.
inline std::function<int()> Step;
inline int LastResult = 0;
inline int Calls = 0;

inline int StepScene() {
  ++Calls;
  LastResult = Step ? Step() : 0;
  return 0;
}

// The step runs from the next frame on, in place of the current scene.
inline void Install(std::function<int()> step) {
  Step = std::move(step);
  LastResult = 0;
  Calls = 0;
  SceneHandlers[SceneState] = &StepScene;
}

// Runs the step until it returns `done`: the frames that took (the frame of
// the result included), or -1 after a test failure when the budget ran out.
inline int RunToEnd(GameHarness& h, std::function<int()> step, int budget, int done = 1) {
  Install(std::move(step));
  int start = h.frame();
  if (!h.RunUntil([done] { return LastResult == done; }, budget)) return -1;
  Step = nullptr;
  return h.frame() - start;
}

// A test of the game's globals that needs no game: run in a process of its
// own, so that the test program's globals (and its count of random draws)
// stay as a program start leaves them for the games of later tests.
inline void InOwnProcess(const std::function<void()>& body) {
  RunGame({.media = ""}, [&body](GameHarness&) { body(); });
}

// Four players on square 1 of map 1, the given ones CPU players, with
// characters 0 to 3 and turn order 1 to 4; 10 coins each, no stars, no items.
inline void PokeParty(bool cpu1, bool cpu2, bool cpu3, bool cpu4) {
  const char* names[4] = {"タヴィシャ", "ベルノーラ", "クェンドリ", "ファリッセ"};
  const bool cpu[4] = {cpu1, cpu2, cpu3, cpu4};
  memset(PlayerTable, 0, sizeof PlayerTable);
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    StrCopy(r.name, names[p]);
    r.cpuFlag = cpu[p] ? 1 : 0;
    r.cpuLevel = cpu[p] ? 1 : 0;
    r.character = p;
    r.turnOrder = p + 1;
    r.coins = 10;
    r.facing = 2;
    r.square = 1;
    r.prevSquare = 24;
  }
}

// From now on, on every other frame, the button that decide() names (-1:
// none) is pressed on the record, so that every press is a new one.
inline void Autopilot(GameHarness& h, int record, std::function<int()> decide) {
  auto frames = std::make_shared<int>(0);
  h.AddInputRule([=](FrameInput& in) {
    if ((*frames)++ % 2 != 0) return;
    int button = decide();
    if (button < 0) return;
    GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
    if (b.pad > 0) in.pads[b.pad - 1] |= b.mask;
  });
}

inline int CountSquares(int32_t kind) {
  int n = 0;
  for (const SquareRecord& s : SquareTable) n += s.kind == kind ? 1 : 0;
  return n;
}

}  // namespace shop_fixture
