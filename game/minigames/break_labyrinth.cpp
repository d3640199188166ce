// Minigame 14, labyrinth ("media\mini\breaklabyrinth"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int BreakLabyrinthMain() { return 1; }
