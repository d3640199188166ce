// The coin tally after every board minigame: each player's stars, coins and
// the coins won, the awards added to the coins, and the new standings, to
// the victory music; it ends with a fade-out back to the party scene.
#pragma once

#include <cstdint>

extern int32_t TallyState;      // 0 to 9; 2 once the victory music is loaded
extern int32_t TallySlide[4];   // by row: horizontal offset in pixels
extern int32_t TallyAlpha[4];   // by row: blend alpha, 0 to 255
extern int32_t TallyLeaving;    // 1 once A was pressed on the award screen
// The victory music: MusicHandles slot 2.
extern int32_t& VictoryMusic;

// By character (0 to 5): the x of the character within its background picture.
constexpr int32_t kCharacterFocusX[6] = {430, 325, 420, 320, 530, 200};

// One frame of the tally: 1 when done, -1 for a frame in which the victory
// music failed to load (tried again next frame), else 0.
int RunCoinTally();
