// A whole party of four CPU players driven through the real program, for the
// party replay test and its benchmark: the set-up pressed through by record
// 1 (the turn count and the map chosen by their cursors, player 1 made a CPU
// once the players are chosen), then every frame of the party until the
// program is back at the main menu.
//
// Record 1 presses A (and start on a minigame's explanation screen) on every
// other frame throughout, as a player leaning on the button would: the CPUs
// play alone, the presses only move the texts and screens that wait for any
// player.
#pragma once

#include <cstdint>
#include <functional>

#include "game/board/party_scene.h"
#include "game/minigames/minigame_runner.h"
#include "game/shell/game_main.h"
#include "game/shell/party_setup.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

namespace party_replay {

// After h.StartUpWithoutMedia(): from the next frame the set-up of a party
// of `turns` rounds (one of kTurnCounts) on the map, all four players CPUs.
// Without `draw` the drawing is clipped to one pixel before every frame (a
// replay that looks at the game's state, not at its pictures, is spared
// most of the drawing's cost).
inline void StartCpuParty(GameHarness& h, int32_t map, int32_t turns, bool draw = true) {
  SetWaitVSync(0);  // frames without waiting for the display
  if (!draw) h.AddFrameHook([](GameHarness&) { SetDrawClipArea(0, 0, 1, 1); });
  int32_t choice = 1;
  for (int i = 0; i < 6; ++i)
    if (kTurnCounts[i] == turns) choice = i + 1;
  h.PressWhile([] { return SceneState == 4 || SceneState == 8; }, 1, kButtonA);
  h.PressWhile([] { return SceneState == 8 && ExplanationStep == 3 && FadeInDone == 1; }, 1, kButtonStart);
  h.When([] { return TurnCountStep == 1; }, [choice] { TurnChoice = choice; });
  h.When([] { return MapChoiceStep == 1; }, [map] { MapCursor = map; });
  h.When([] { return ConfirmStep == 1; }, [] { ConfirmCursor = 0; });
  h.When([] { return SceneState == 8; }, [] {
    PlayerTable[0].cpuFlag = 1;
    PlayerTable[0].cpuLevel = 1;
  });
  MainMenuChoice = 1;
  SceneState = 4;
}

// Frames until the party has been played and the program has left its
// scene, at most maxFrames; `afterFrame` sees each frame of the party scene
// with the party's state before it. False when the game ended or the frames
// ran out first.
inline bool PlayCpuParty(GameHarness& h, int maxFrames,
                         const std::function<void(int32_t partyStateBefore)>& afterFrame = nullptr) {
  bool reachedParty = false;
  while (h.frame() < maxFrames) {
    const int32_t before = SceneState == 8 ? PartySceneState : -1;
    if (!h.Frame()) return false;
    if (SceneState == 8) {
      reachedParty = true;
      if (afterFrame) afterFrame(before);
    } else if (reachedParty) {
      return true;
    }
  }
  return false;
}

}  // namespace party_replay
