// Minigame 10, best shot ("media\mini\bestshot"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int BestShotMain() { return 1; }
