// Minigame 22, sequence memory ("media\mini\megnosmemory"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int MegnosMemoryMain() { return 1; }
