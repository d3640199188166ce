// Minigame 16, balloon climb ("media\mini\pooyan"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int PooyanMain() { return 1; }
