// Minigame 5, number search ("media\mini\numbersearch"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int NumberSearchMain() { return 1; }
