// Minigame 20, boss shooting ("media\mini\shootingboss"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int BossShootingMain() { return 1; }
