// Minigame 25, versus shooting ("media\mini\shooting"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int ShootingMain() { return 1; }
