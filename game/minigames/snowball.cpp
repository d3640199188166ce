// Minigame 8, snowball fight ("media\mini\snowballfight"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int SnowballMain() { return 1; }
