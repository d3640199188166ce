// Playing a minigame in a game test, through the real runner, as the party
// and minigame mode run it: the explanation screen, the minigame's entry
// with its banners and winner text, and the awards the coin tally reads.
//
//   TEST(River, FirstAcrossWins) {
//     RunGame({.seed = 7}, [](GameHarness& h) {
//       ASSERT_EQ(h.StartUp(), 0);
//       MinigameSeats seats = HumanSeats({1});         // player 1 human, 2 to 4 CPU
//       h.PressWhile([] { return RiverStep == 5; }, 1, kButtonA);
//       MinigameOutcome out = PlayMinigame(h, 2, seats);
//       ASSERT_TRUE(out.ended);
//       EXPECT_EQ(out.award[1], 10);
//     });
//   }
//
// It runs after h.StartUp(), or after h.StartUpWithoutMedia() when the test
// needs no pictures or fonts (a tenth of the start-up's time; the minigame's
// own files still load from the media folder).
// PlayMinigame presses start on input record 1 whenever the explanation
// screen waits for it; anything else the minigame needs (the A press that
// leaves a result screen, a human's play) the test scripts with the
// harness's input before or during the run. For frame-by-frame checks, use
// the pieces: EnterMinigame, PressStartOnExplanation, then h.Frame() or
// h.RunUntil(...) and MinigameEnded(); ReadMinigameOutcome at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "game/minigames/minigame_runner.h"
#include "game/minigames/participants.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "tests/game/harness/game_harness.h"

// Who plays: per player 1..4 (index p - 1) the CPU level (0: a human on
// input record p), the team and the character.
struct MinigameSeats {
  int32_t cpuLevel[4] = {1, 1, 1, 1};
  int32_t team[4] = {0, 0, 0, 0};
  int32_t character[4] = {0, 1, 2, 3};
};

// The listed players (1..4) human, the others CPU players of level 1.
inline MinigameSeats HumanSeats(std::initializer_list<int> humans) {
  MinigameSeats seats;
  for (int p : humans) seats.cpuLevel[p - 1] = 0;
  return seats;
}

struct MinigameOutcome {
  bool ended = false;      // the runner returned non-zero within the frames
  int32_t result = 0;      // its last result
  int32_t award[5] = {};   // participant p's award (index 0 unused)
  uint8_t won[5] = {};     // participant p's won flag
  int frames = 0;          // frames the runner was called, its last one included
};

// The minigame scene's state.
inline int32_t MinigameTestNumber = 0;
inline int32_t MinigameTestResult = 0;
inline int MinigameTestFrames = 0;

// The handler of scene 3 while a test plays a minigame: one call of the
// runner a frame; the scene ends (to the main menu) once the runner has.
inline int MinigameTestScene() {
  ++MinigameTestFrames;
  MinigameTestResult = RunMinigame(MinigameTestNumber);
  return MinigameTestResult != 0 ? 1 : 0;
}

inline bool MinigameEnded() { return MinigameTestResult != 0; }

// Lets the boot scene run (it reads the minigame table), seats the players
// and from the next frame runs minigame n, starting dark as every scene
// after another's fade-out. Call after h.StartUp() (or StartUpWithoutMedia).
inline void EnterMinigame(GameHarness& h, int32_t n, const MinigameSeats& seats) {
  for (int guard = 0; guard < 10 && SceneState == 0; ++guard) ASSERT_TRUE(h.Frame());
  for (int p = 0; p < 4; ++p) {
    PlayerTable[p].cpuLevel = seats.cpuLevel[p];
    PlayerTable[p].cpuFlag = seats.cpuLevel[p] != 0 ? 1 : 0;
    PlayerTable[p].team = seats.team[p];
    PlayerTable[p].character = seats.character[p];
  }
  MinigameTestNumber = n;
  MinigameTestResult = 0;
  MinigameTestFrames = 0;
  SceneHandlers[3] = MinigameTestScene;
  SceneState = 3;
  FadeOutRequest = 0;
  FadeInDone = 0;
  FadeLevel = 0;
}

// Presses start on input record 1 whenever the explanation screen waits.
inline void PressStartOnExplanation(GameHarness& h) {
  h.PressWhile([] { return ExplanationStep == 3 && FadeInDone == 1; }, 1, kButtonStart);
}

inline MinigameOutcome ReadMinigameOutcome() {
  MinigameOutcome out;
  out.ended = MinigameEnded();
  out.result = MinigameTestResult;
  out.frames = MinigameTestFrames;
  for (int p = 1; p <= 4; ++p) {
    out.award[p] = ParticipantTable[p].award;
    out.won[p] = ParticipantTable[p].won;
  }
  return out;
}

// Plays minigame n from its explanation screen to its end (at most
// maxFrames frames; the runner's stall limit follows) and hands back the
// awards.
inline MinigameOutcome PlayMinigame(GameHarness& h, int32_t n, const MinigameSeats& seats = {},
                                    int maxFrames = 6000) {
  h.SetStallLimit("RunMinigame", maxFrames);
  EnterMinigame(h, n, seats);
  PressStartOnExplanation(h);
  h.RunUntil(MinigameEnded, maxFrames);
  return ReadMinigameOutcome();
}
