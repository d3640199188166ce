// Minigame 21, high shooting ("media\mini\highshooting"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int HighShotMain() { return 1; }
