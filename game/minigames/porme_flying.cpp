// Minigame 11, porme flying ("media\mini\flyingporme"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int PormeFlyingMain() { return 1; }
