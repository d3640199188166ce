// Minigame 13, climbing race ("media\mini\fallclimb"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int FallClimbMain() { return 1; }
