// Minigame 3, leisure ("media\mini\leisure"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int LeisureMain() { return 1; }
