// Minigame 27, stone climbing ("media\mini\repeatup"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int RepeatUpMain() { return 1; }
