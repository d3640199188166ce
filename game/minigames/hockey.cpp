// Minigame 24, paddle hockey ("media\mini\hockey"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int HockeyMain() { return 1; }
