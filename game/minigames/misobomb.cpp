// Minigame 26, beam team ("media\mini\misobomb"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int MisobombMain() { return 1; }
