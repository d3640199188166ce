// Minigame 4, stair race ("media\mini\stair"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int StairMain() { return 1; }
