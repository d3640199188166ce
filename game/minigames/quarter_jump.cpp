// Minigame 19, quarter jump ("media\mini\quarterjump"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int QuarterJumpMain() { return 1; }
