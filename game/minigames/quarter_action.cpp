// Minigame 12, quarter action ("media\mini\quarteraction"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int QuarterActionMain() { return 1; }
