// Minigame 18, three-stage rocket ("media\mini\threerocket"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int ThreeRocketMain() { return 1; }
