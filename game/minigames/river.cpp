// Minigame 2, river crossing ("media\mini\river"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int RiverMain() { return 1; }
