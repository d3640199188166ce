// Minigame 6, quiz ("media\mini\quizvemla"). Not built yet: its
// entry ends at once, nobody having won.
#include "game/minigames/minigame_entries.h"

int QuizMain() { return 1; }
