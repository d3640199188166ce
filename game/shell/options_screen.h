// Scene 7, the options screen: the music and effect volumes, window or
// full-screen display and the key assignment. Both settings files are saved
// when the screen is left; a changed window mode is switched then, the
// images and fonts are loaded again and the game passes through scene 0.
#pragma once

#include <cstdint>

extern int32_t OptionsStep;       // the screen's row or phase (2 between visits)
extern int32_t OptionsSceneStep;  // the scene's step (2 between visits)
extern int32_t WindowModeChoice;  // 1 window, 0 full screen, applied when the screen is left
extern int32_t OptionsSampleCounter;  // 0 to 29: the effect sample plays on 0

// The handler of scene 7: 0 running, 1 back to the main menu, 2 to scene 0
// (after a change of window mode).
int RunOptionsScene();
// One frame of the screen: 0 running, 1 left with the window mode unchanged,
// 2 open the key configuration for KeyConfigTarget, 3 left after a change of
// window mode.
int RunOptionsScreen();
