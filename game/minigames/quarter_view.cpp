// Minigame 31, quarter view ("media\mini\quarterview"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int QuarterViewMain() { return 1; }
