// Scene 11, the spotlight scene: the four players' pieces stand in front of
// the final result picture while three spotlight beams sweep across them,
// until A is pressed on the menu input; then back to the main menu. The
// results' ranking sweeps the same beams.
#pragma once

#include <cstdint>

// One sweeping beam: it swings out half a sine, slides to one side, swings
// out the other half, slides back, and so on.
struct SpotlightBeam {
  float offset;       // sideways, -100 to 100
  int32_t direction;  // sliding: 0 rightwards, 1 leftwards
  float phase;        // swing phase, radians
  float swing;        // 100 sin(phase)
  int32_t motion;     // 0 swinging, 1 sliding
  int32_t half;       // 0 while the phase runs 0 to pi, 1 from pi to 2 pi
};

extern int32_t SpotlightSceneStep;
// "spotlightver0.8.png", "0.7", "0.9_2_2", "0.9_3", "0.9_4" of the media
// folder, loaded on entry and deleted on exit.
extern int32_t SpotlightScenePictures[5];
extern SpotlightBeam SpotlightBeams[3];

// One frame of the scene: 1 on the call that finishes, else 0.
int RunSpotlightScene();
// One frame of beam i's motion (i = 0, 1, 2 sets its speeds).
void MoveSpotlightBeam(SpotlightBeam* beam, int32_t index);
// Player p's board piece (the first picture facing down) centred at (x, y);
// nothing for a player without a character (a set-up left unfinished).
void DrawPlayerPiece(int32_t player, int32_t x, int32_t y);
// The beam over the stage: the wide picture at additive 80, then the narrow
// one at additive 200.
void DrawSpotlightBeam(const SpotlightBeam& beam, int32_t widePicture, int32_t narrowPicture);
