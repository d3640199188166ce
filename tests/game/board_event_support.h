// Running one board event in a game test: the event is called once a frame
// by a scene of its own (scene 5, which the game leaves empty), with the
// board drawn under it when the media are loaded, until it reports its end,
// as the movement runs it.
//
//   RunGame({.seed = 3}, [](GameHarness& h) {
//     EnterEventScene(h);
//     SeatPlayers({0, 1, 1, 1});          // player 1 human, 2 to 4 CPU
//     StartEvent(RunRoundBonus, 1);
//     PressFor(h, [] { return EventRunning() ? Press{1, kButtonA} : Press{}; });
//     ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
//   });
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/board/board_view.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

// The event the scene runs, its player, and what it gave back.
inline int (*EventUnderTest)(int32_t) = nullptr;
inline bool EventDrawsBoard = false;  // the board under the event (with the media)
inline int32_t EventPlayer = 1;
inline int32_t EventResult = 0;
inline int EventCalls = 0;

inline int EventTestScene() {
  if (EventUnderTest == nullptr || EventResult != 0) return 0;
  if (EventDrawsBoard) DrawBoard(EventPlayer);
  ++EventCalls;
  EventResult = EventUnderTest(EventPlayer);
  return 0;
}

inline bool EventEnded() { return EventResult != 0; }
inline bool EventRunning() { return EventUnderTest != nullptr && EventResult == 0; }

// Lets the boot scene read the tables, then runs the event scene.
inline void EnterEventScene(GameHarness& h, bool withMedia = false) {
  if (withMedia) {
    ASSERT_EQ(h.StartUp(), 0);
  } else {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
  }
  for (int guard = 0; guard < 10 && SceneState == 0; ++guard) ASSERT_TRUE(h.Frame());
  EventDrawsBoard = withMedia;
  SceneHandlers[5] = EventTestScene;
  SceneState = 5;
  FadeOutRequest = 0;
  FadeInDone = 1;
  FadeLevel = 0;
  SetDrawBrightness(255, 255, 255);
}

// From the next frame the scene runs the event for the player.
inline void StartEvent(int (*event)(int32_t), int32_t player) {
  EventUnderTest = event;
  EventPlayer = player;
  EventResult = 0;
  EventCalls = 0;
}

// Four players: cpu[p - 1] = 1 makes player p a CPU player; characters 0 to
// 3, turn order 1 to 4, the given coins, no stars or items.
inline void SeatPlayers(std::initializer_list<int> cpu, std::initializer_list<int> coins = {10, 10, 10, 10}) {
  static const char* const names[4] = {"タヴィシャ", "ベルノーラ", "クェンドリ", "ファリッセ"};
  memset(PlayerTable, 0, sizeof PlayerTable);
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    StrCopy(r.name, names[p]);
    r.cpuFlag = static_cast<uint8_t>(cpu.begin()[p]);
    r.cpuLevel = r.cpuFlag;
    r.character = p;
    r.turnOrder = p + 1;
    r.coins = coins.begin()[p];
    r.facing = 2;
  }
}

// A press the test wants on this frame: the button of an input record (0: none).
struct Press {
  int record = 0;
  int button = 0;
};

// Before every frame asks `want` which button to press, and presses it on
// every other frame (so that each press is new).
inline void PressFor(GameHarness& h, std::function<Press()> want) {
  auto pressedLast = std::make_shared<bool>(false);
  h.AddInputRule([want = std::move(want), pressedLast](FrameInput& in) {
    Press p = *pressedLast ? Press{} : want();
    *pressedLast = p.record != 0;
    if (p.record == 0) return;
    GameHarness::PadButton b = GameHarness::ButtonOf(p.record, p.button);
    if (b.pad != 0) in.pads[b.pad - 1] |= b.mask;
  });
}

// The next number GetRandomNumber(max) gives, without drawing it.
inline int32_t PeekRandom(int32_t max) {
  RandomState saved = Random;
  uint64_t count = RandomDrawCount;
  int32_t r = GetRandomNumber(max);
  Random = saved;
  RandomDrawCount = count;
  return r;
}

// The screen as "<name>.bmp" in the folder ZR_EVENT_SHOTS names (none: not saved).
inline void SaveShot(const GameHarness& h, const char* name) {
  if (const char* dir = getenv("ZR_EVENT_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name + ".bmp");
}

inline int Coins(int p) { return PlayerTable[p - 1].coins; }
inline int Stars(int p) { return PlayerTable[p - 1].stars; }
