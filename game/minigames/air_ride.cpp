// Minigame 7, air ride ("media\mini\airride"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int AirRideMain() { return 1; }
