// Minigame 9, catching ("media\mini\springset"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int SpringsetMain() { return 1; }
