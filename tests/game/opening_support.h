// The party opening played through as the players would: every input
// record presses A on every other frame while the opening runs (the texts
// go on, the humans stop their dice).
#pragma once

#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "tests/game/harness/game_harness.h"

inline void PressThroughOpening(GameHarness& h) {
  for (int record = 1; record <= 4; ++record)
    h.PressWhile([] { return SceneState == 8 && PartySceneState == 2; }, record, kButtonA);
}
