// What the party tests share: the four players as the set-up leaves them,
// and the opening played through as the players would.
#pragma once

#include <cstring>

#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

// A party of four as the set-up leaves it, without the set-up's screens:
// characters 0, 2, 3 and 5, players 3 and 4 CPU players, turn order 2, 4, 1, 3.
inline void PokePlayers() {
  const char* names[4] = {"タヴィシャ", "クェンドリ", "ファリッセ", "ジュレール"};
  const int32_t characters[4] = {0, 2, 3, 5};
  const int32_t order[4] = {2, 4, 1, 3};
  memset(PlayerTable, 0, sizeof PlayerTable);
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    StrCopy(r.name, names[p]);
    r.cpuFlag = p >= 2 ? 1 : 0;
    r.cpuLevel = p >= 2 ? 1 : 0;
    r.character = characters[p];
    r.turnOrder = order[p];
  }
}

// Every input record presses A on every other frame while the opening runs
// (the texts go on, the humans stop their dice).
inline void PressThroughOpening(GameHarness& h) {
  for (int record = 1; record <= 4; ++record)
    h.PressWhile([] { return SceneState == 8 && PartySceneState == 2; }, record, kButtonA);
}
