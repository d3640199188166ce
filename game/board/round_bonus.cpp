// The round bonus.
#include "game/board/round_bonus.h"

char* RoundBonusText = nullptr;
int32_t RoundBonusState = 0;
int32_t RoundBonusPortrait = 0;

// empty step: built with its module
int RunRoundBonus(int32_t) { return 1; }
// empty step: built with its module
void LoadRoundBonusText() {}
