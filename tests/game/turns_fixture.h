// Set-ups for the tests of the turn machine, the movement and the landing
// effects: four players placed on a board map's squares, and a scene that
// runs one board step a frame through the real main loop.
#pragma once

#include <cstring>
#include <functional>

#include "game/board/board_map.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

namespace turns_fixture {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// The squares of a board map (its square file), as the set-up loads them.
inline void LoadMap(int32_t map) {
  CurrentMapId = map;
  LoadBoardSquares(map);
}

// Four players in turn order 1 to 4; cpu[p - 1] makes player p a CPU of level 1.
inline void SetPlayers(std::initializer_list<bool> cpu) {
  const char* names[4] = {"タヴィシャ", "ベルノーラ", "クェンドリ", "ファリッセ"};
  memset(PlayerTable, 0, sizeof PlayerTable);
  int p = 0;
  for (bool isCpu : cpu) {
    PlayerRecord& r = PlayerTable[p];
    StrCopy(r.name, names[p]);
    r.cpuFlag = isCpu ? 1 : 0;
    r.cpuLevel = isCpu ? 1 : 0;
    r.character = p;
    r.turnOrder = p + 1;
    r.facing = 2;
    ++p;
  }
}

// Player p stands on the square (its centre), having come from `previous`.
inline void Place(int32_t player, int32_t square, int32_t previous) {
  PlayerRecord& r = PlayerTable[player - 1];
  r.square = square;
  r.prevSquare = previous;
  r.x = SquareTable[square].x;
  r.y = SquareTable[square].y;
}

// The board step the test scene runs once a frame.
inline std::function<int()>& SceneStep() {
  static std::function<int()> step;
  return step;
}
inline int TestScene() {
  if (SceneStep()) SceneStep()();
  return 0;
}
// From the next frame on, scene 8 runs the step once a frame.
inline void RunInScene(std::function<int()> step) {
  SceneStep() = std::move(step);
  SceneHandlers[8] = &TestScene;
  SceneState = 8;
}

// Frames until the step (run by the scene) returns non-zero; its result, or
// 0 when maxFrames pass first. `frames` receives the frames it took.
inline int RunStep(GameHarness& h, std::function<int()> step, int maxFrames, int* frames = nullptr) {
  int result = 0, count = 0;
  RunInScene([&] {
    if (result == 0) {
      ++count;
      result = step();
    }
    return 0;
  });
  for (int i = 0; i < maxFrames && result == 0; ++i)
    if (!h.Frame()) break;
  SceneStep() = nullptr;
  if (frames != nullptr) *frames = count;
  return result;
}

}  // namespace turns_fixture
