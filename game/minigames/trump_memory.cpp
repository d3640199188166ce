// Minigame 28, pair-matching cards ("media\mini\trumpmemory"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int TrumpMemoryMain() { return 1; }
