// Minigame 17, gun sight ("media\mini\gunshooting"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int GunShootingMain() { return 1; }
