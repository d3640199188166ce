// Minigame 29, falling block ("media\mini\tumbrick"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int FallingBlockMain() { return 1; }
